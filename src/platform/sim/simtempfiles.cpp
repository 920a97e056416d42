#include "platform/sim/simtempfiles.h"

namespace platform::sim {

void SimTempFiles::setFolder(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    folder_ = std::move(folder);
}

std::uint32_t SimTempFiles::userId() { return userId_ ? *userId_ : PosixTempFiles::userId(); }

std::string SimTempFiles::usePrivateFolder(const std::string& path) {
    recorder_.push_back("folder " + path);
    return PosixTempFiles::usePrivateFolder(path);
}

bool SimTempFiles::exists(const std::string& path) {
    recorder_.push_back("exists " + path);
    return PosixTempFiles::exists(path);
}

bool SimTempFiles::remove(const std::string& path) {
    recorder_.push_back("remove " + path);
    return !held_.contains(path) && PosixTempFiles::remove(path);
}

bool SimTempFiles::createExclusive(const std::string& path, std::span<const std::uint8_t> data) {
    recorder_.push_back("create " + path);
    return PosixTempFiles::createExclusive(path, data);
}

}  // namespace platform::sim
