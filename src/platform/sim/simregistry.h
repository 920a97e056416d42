#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <variant>

#include "platform/platform.h"

namespace platform::sim {

// HKEY_CURRENT_USER held in memory; the board file may preset it.
class SimRegistry : public Registry {
public:
    using Value = std::variant<std::string, std::uint32_t>;

    bool keyExists(const std::string& key) override;
    std::optional<std::string> readString(const std::string& key, const std::string& name) override;
    std::optional<std::uint32_t> readInteger(const std::string& key, const std::string& name) override;
    bool writeString(const std::string& key, const std::string& name, const std::string& value) override;
    bool writeInteger(const std::string& key, const std::string& name, std::uint32_t value) override;

    void createKey(const std::string& key);

private:
    const Value* find(const std::string& key, const std::string& name) const;
    std::map<std::string, std::map<std::string, Value>> keys_;  // by normalised key, then lower-case name
};

// "\Software\X\" and "software\x" name the same key.
std::string normaliseRegistryKey(const std::string& key);

}  // namespace platform::sim
