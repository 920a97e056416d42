#pragma once
// HKEY_LOCAL_MACHINE held in memory: preset by whoever builds the machine
// (a board file, or facts the native backend gathers), read only for the
// program.

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "platform/platform.h"

namespace platform {

class MemorySystemRegistry : public SystemRegistry {
public:
    struct MultiString {
        std::vector<std::string> texts;
    };
    using Value = std::variant<std::string, MultiString, std::uint32_t, std::vector<std::uint8_t>>;

    // Creates the key and every key above it.
    void setValue(const std::string& key, const std::string& name, Value value);
    void createKey(const std::string& key);

    bool keyExists(const std::string& key) override;
    std::optional<std::string> readString(const std::string& key, const std::string& name) override;
    std::optional<std::vector<std::uint8_t>> readBinary(const std::string& key, const std::string& name) override;
    std::vector<std::string> subKeys(const std::string& key) override;
    std::uint32_t writeDWord(const std::string& key, const std::string& name, std::uint32_t value) override;
    // Refuses every later write with the code (0 accepts them again).
    void refuseWrites(std::uint32_t error) { refusal_ = error; }

private:
    struct Key {
        std::string name;                     // as first written
        std::map<std::string, Value> values;  // by lower-case name
    };
    const Value* find(const std::string& key, const std::string& name) const;

    std::map<std::string, Key> keys_;  // by normalised path
    std::uint32_t refusal_ = 0;
};

}  // namespace platform
