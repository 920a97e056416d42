#include "platform/memoryregistry.h"

#include "platform/asciicase.h"

namespace platform {

std::string normaliseRegistryKey(const std::string& key) {
    std::string out;
    for (char c : asciiLower(key)) {
        if (c == '/') c = '\\';
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

MemoryRegistry::Key& MemoryRegistry::keyFor(const std::string& key) {
    auto [it, added] = keys_.try_emplace(normaliseRegistryKey(key));
    if (added) it->second.name = key;
    return it->second;
}

void MemoryRegistry::createKey(const std::string& key) { keyFor(key); }

bool MemoryRegistry::keyExists(const std::string& key) { return keys_.count(normaliseRegistryKey(key)) != 0; }

const MemoryRegistry::Value* MemoryRegistry::find(const std::string& key, const std::string& name) const {
    const auto k = keys_.find(normaliseRegistryKey(key));
    if (k == keys_.end()) return nullptr;
    const auto v = k->second.values.find(asciiLower(name));
    return v == k->second.values.end() ? nullptr : &v->second.value;
}

std::optional<std::string> MemoryRegistry::readString(const std::string& key, const std::string& name) {
    const Value* v = find(key, name);
    if (!v || !std::holds_alternative<std::string>(*v)) return std::nullopt;
    return std::get<std::string>(*v);
}

std::optional<std::uint32_t> MemoryRegistry::readInteger(const std::string& key, const std::string& name) {
    const Value* v = find(key, name);
    if (!v || !std::holds_alternative<std::uint32_t>(*v)) return std::nullopt;
    return std::get<std::uint32_t>(*v);
}

void MemoryRegistry::write(const std::string& key, const std::string& name, Value value) {
    auto [it, added] = keyFor(key).values.try_emplace(asciiLower(name), NamedValue{name, {}});
    it->second.value = std::move(value);
}

bool MemoryRegistry::writeString(const std::string& key, const std::string& name, const std::string& value) {
    write(key, name, value);
    return true;
}

bool MemoryRegistry::writeInteger(const std::string& key, const std::string& name, std::uint32_t value) {
    write(key, name, value);
    return true;
}

bool MemoryRegistry::deleteValue(const std::string& key, const std::string& name) {
    const auto k = keys_.find(normaliseRegistryKey(key));
    return k != keys_.end() && k->second.values.erase(asciiLower(name)) != 0;
}

}  // namespace platform
