#include "platform/sim/simregistry.h"

#include <algorithm>
#include <cctype>

namespace platform::sim {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

std::string normaliseRegistryKey(const std::string& key) {
    std::string out;
    for (char c : lower(key)) {
        if (c == '/') c = '\\';
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

void SimRegistry::createKey(const std::string& key) { keys_[normaliseRegistryKey(key)]; }

bool SimRegistry::keyExists(const std::string& key) { return keys_.count(normaliseRegistryKey(key)) != 0; }

const SimRegistry::Value* SimRegistry::find(const std::string& key, const std::string& name) const {
    const auto k = keys_.find(normaliseRegistryKey(key));
    if (k == keys_.end()) return nullptr;
    const auto v = k->second.find(lower(name));
    return v == k->second.end() ? nullptr : &v->second;
}

std::optional<std::string> SimRegistry::readString(const std::string& key, const std::string& name) {
    const Value* v = find(key, name);
    if (!v || !std::holds_alternative<std::string>(*v)) return std::nullopt;
    return std::get<std::string>(*v);
}

std::optional<std::uint32_t> SimRegistry::readInteger(const std::string& key, const std::string& name) {
    const Value* v = find(key, name);
    if (!v || !std::holds_alternative<std::uint32_t>(*v)) return std::nullopt;
    return std::get<std::uint32_t>(*v);
}

bool SimRegistry::writeString(const std::string& key, const std::string& name, const std::string& value) {
    keys_[normaliseRegistryKey(key)][lower(name)] = value;
    return true;
}

bool SimRegistry::writeInteger(const std::string& key, const std::string& name, std::uint32_t value) {
    keys_[normaliseRegistryKey(key)][lower(name)] = value;
    return true;
}

}  // namespace platform::sim
