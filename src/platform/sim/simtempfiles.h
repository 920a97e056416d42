#pragma once
// The simulated machine's temporary folder: real files in a folder the test
// names (none until then), with files another process holds in use, a user
// id a test may change, and a recorder of every file operation.

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/tempfiles.h"

namespace platform::sim {

class SimTempFiles : public PosixTempFiles {
public:
    // Empty: the machine has no temporary folder. Adds a trailing "/".
    void setFolder(std::string folder);
    void setUserId(std::uint32_t id) { userId_ = id; }
    // A file held in use cannot be removed.
    void hold(const std::string& path) { held_.insert(path); }
    // "exists <path>", "remove <path>", "create <path>", "folder <path>".
    const std::vector<std::string>& recorder() const { return recorder_; }

    std::string folder() override { return folder_; }
    std::uint32_t userId() override;
    std::string usePrivateFolder(const std::string& path) override;
    bool exists(const std::string& path) override;
    bool remove(const std::string& path) override;
    bool createExclusive(const std::string& path, std::span<const std::uint8_t> data) override;

private:
    std::string folder_;
    std::optional<std::uint32_t> userId_;
    std::set<std::string> held_;
    std::vector<std::string> recorder_;
};

}  // namespace platform::sim
