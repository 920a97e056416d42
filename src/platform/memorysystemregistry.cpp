#include "platform/memorysystemregistry.h"

#include "platform/asciicase.h"
#include "platform/memoryregistry.h"

namespace platform {
namespace {

std::vector<std::uint8_t> bytesOf(const MemorySystemRegistry::Value& value) {
    std::vector<std::uint8_t> bytes;
    const auto addText = [&](const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    };
    if (const auto* text = std::get_if<std::string>(&value)) {
        addText(*text);
    } else if (const auto* multi = std::get_if<MemorySystemRegistry::MultiString>(&value)) {
        for (const auto& t : multi->texts) addText(t);
        bytes.push_back(0);
    } else if (const auto* number = std::get_if<std::uint32_t>(&value)) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(*number >> (8 * i)));
    } else {
        bytes = std::get<std::vector<std::uint8_t>>(value);
    }
    return bytes;
}

}  // namespace

void MemorySystemRegistry::createKey(const std::string& key) {
    std::string path;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= key.size(); ++i) {
        if (i < key.size() && key[i] != '\\' && key[i] != '/') continue;
        const std::string part = key.substr(start, i - start);
        start = i + 1;
        if (part.empty()) continue;
        path += "\\" + part;
        keys_.try_emplace(normaliseRegistryKey(path), Key{part, {}});
    }
}

void MemorySystemRegistry::setValue(const std::string& key, const std::string& name, Value value) {
    createKey(key);
    keys_[normaliseRegistryKey(key)].values[asciiLower(name)] = std::move(value);
}

bool MemorySystemRegistry::keyExists(const std::string& key) { return keys_.count(normaliseRegistryKey(key)) != 0; }

const MemorySystemRegistry::Value* MemorySystemRegistry::find(const std::string& key, const std::string& name) const {
    const auto k = keys_.find(normaliseRegistryKey(key));
    if (k == keys_.end()) return nullptr;
    const auto v = k->second.values.find(asciiLower(name));
    return v == k->second.values.end() ? nullptr : &v->second;
}

std::optional<std::string> MemorySystemRegistry::readString(const std::string& key, const std::string& name) {
    const Value* value = find(key, name);
    if (!value || !std::holds_alternative<std::string>(*value)) return std::nullopt;
    return std::get<std::string>(*value);
}

std::optional<std::vector<std::uint8_t>> MemorySystemRegistry::readBinary(const std::string& key,
                                                                          const std::string& name) {
    const Value* value = find(key, name);
    if (!value) return std::nullopt;
    return bytesOf(*value);
}

std::uint32_t MemorySystemRegistry::writeDWord(const std::string& key, const std::string& name,
                                               std::uint32_t value) {
    const auto k = keys_.find(normaliseRegistryKey(key));
    if (k == keys_.end()) return ErrorFileNotFound;
    if (refusal_ != 0) return refusal_;
    k->second.values[asciiLower(name)] = value;
    return 0;
}

std::vector<std::string> MemorySystemRegistry::subKeys(const std::string& key) {
    const std::string parent = normaliseRegistryKey(key);
    const std::string prefix = parent.empty() ? std::string{} : parent + "\\";
    std::vector<std::string> names;
    for (const auto& [path, k] : keys_) {
        if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) continue;
        if (path.find('\\', prefix.size()) == std::string::npos) names.push_back(k.name);
    }
    return names;
}

}  // namespace platform
