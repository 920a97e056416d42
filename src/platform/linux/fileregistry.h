#pragma once
// HKEY_CURRENT_USER kept in a text file of the user's own:
//   [\Software\Caldavor]
//   s Name=text
//   i Count=42
// One section per key, one line per value ("s" string, "i" integer). Names
// encode "%", "=" and control characters as %XX, values "%" and control
// characters, keys "%", "]" and control characters. Lines that cannot be
// read are skipped. Every change rewrites the file through a temporary file
// and a rename, owner-only, so a failed write keeps the previous file.

#include <string>

#include "platform/memoryregistry.h"

namespace platform::native {

class FileRegistry : public Registry {
public:
    // Reads `path` when it exists; its folder is created on the first write.
    explicit FileRegistry(std::string path);

    bool keyExists(const std::string& key) override;
    std::optional<std::string> readString(const std::string& key, const std::string& name) override;
    std::optional<std::uint32_t> readInteger(const std::string& key, const std::string& name) override;
    // False when the file could not be written; the value is kept in memory.
    bool writeString(const std::string& key, const std::string& name, const std::string& value) override;
    bool writeInteger(const std::string& key, const std::string& name, std::uint32_t value) override;
    // The file is rewritten only when the value existed.
    bool deleteValue(const std::string& key, const std::string& name) override;

    const std::string& path() const { return path_; }

private:
    void load();
    bool save() const;

    std::string path_;
    MemoryRegistry values_;
};

}  // namespace platform::native
