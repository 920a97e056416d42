#pragma once
// HKEY_CURRENT_USER held in memory: the simulated machine's registry and the
// working copy of the native backend's registry file. Keys and value names
// are matched without regard to case and keep the spelling first written.

#include <cstdint>
#include <map>
#include <string>
#include <variant>

#include "platform/platform.h"

namespace platform {

class MemoryRegistry : public Registry {
public:
    using Value = std::variant<std::string, std::uint32_t>;
    struct NamedValue {
        std::string name;
        Value value;
    };
    struct Key {
        std::string name;
        std::map<std::string, NamedValue> values;  // by lower-case name
    };

    bool keyExists(const std::string& key) override;
    std::optional<std::string> readString(const std::string& key, const std::string& name) override;
    std::optional<std::uint32_t> readInteger(const std::string& key, const std::string& name) override;
    bool writeString(const std::string& key, const std::string& name, const std::string& value) override;
    bool writeInteger(const std::string& key, const std::string& name, std::uint32_t value) override;
    bool deleteValue(const std::string& key, const std::string& name) override;

    void createKey(const std::string& key);
    void write(const std::string& key, const std::string& name, Value value);
    // By normalised key name.
    const std::map<std::string, Key>& keys() const { return keys_; }

private:
    const Value* find(const std::string& key, const std::string& name) const;
    Key& keyFor(const std::string& key);

    std::map<std::string, Key> keys_;
};

// "\Software\X\" and "software/x" name the same key: "software\x".
std::string normaliseRegistryKey(const std::string& key);

}  // namespace platform
