#pragma once
// Files the program writes for itself in the system's temporary folder (the
// copies of the vendor libraries it loads). Every call names the file by its
// full path; nothing here follows a symbolic link or overwrites a file.

#include <cstdint>
#include <span>
#include <string>

namespace platform {

class TempFiles {
public:
    virtual ~TempFiles() = default;
    // The temporary folder ending in "/"; empty when the system has none.
    virtual std::string folder() = 0;
    // The user the private folder is named after and must belong to.
    virtual std::uint32_t userId() = 0;
    // Empty when `path` is a folder only this user may use: made mode 0700
    // when missing, or found as a real folder of the user's with mode 0700.
    // Else the reason it is refused.
    virtual std::string usePrivateFolder(const std::string& path) = 0;
    virtual bool exists(const std::string& path) = 0;
    // False when the file stays (in use, no rights).
    virtual bool remove(const std::string& path) = 0;
    // Creates the file only when nothing lies at `path`, then writes `data`.
    virtual bool createExclusive(const std::string& path, std::span<const std::uint8_t> data) = 0;
};

// A machine without a temporary folder: nothing is written.
class NoTempFiles : public TempFiles {
public:
    std::string folder() override { return {}; }
    std::uint32_t userId() override { return 0; }
    std::string usePrivateFolder(const std::string&) override { return "no temporary folder"; }
    bool exists(const std::string&) override { return false; }
    bool remove(const std::string&) override { return false; }
    bool createExclusive(const std::string&, std::span<const std::uint8_t>) override { return false; }
};

// The POSIX file system; the folder is $TMPDIR, else /tmp.
class PosixTempFiles : public TempFiles {
public:
    std::string folder() override;
    std::uint32_t userId() override;
    std::string usePrivateFolder(const std::string& path) override;
    bool exists(const std::string& path) override;
    bool remove(const std::string& path) override;
    bool createExclusive(const std::string& path, std::span<const std::uint8_t> data) override;
};

}  // namespace platform
