#include "platform/linux/sysfspci.h"

#include <fcntl.h>

#include <cstdio>

namespace platform::native {
namespace {

constexpr std::uint32_t EnableBit = 0x80000000u;

std::uint32_t allOnes(int width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

FileHandle openConfig(const std::string& path) {
    FileHandle file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!file) file = FileHandle(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return file;
}

}  // namespace

const FileHandle* SysfsPciConfig::selected(std::uint16_t port, std::uint32_t& offset) {
    if (port < DataPort || !(address_ & EnableBit)) return nullptr;
    offset = (address_ & 0xFCu) + (port - DataPort);
    const std::uint32_t function = (address_ >> 8) & 0xFFFFu;
    if (sightings_ && sightings_->rescans != rescansSeen_) {
        rescansSeen_ = sightings_->rescans;
        std::erase_if(files_, [](const auto& entry) { return !entry.second; });
    }
    auto found = files_.find(function);
    if (found == files_.end()) {
        char name[32];
        std::snprintf(name, sizeof name, "/0000:%02x:%02x.%x/config", function >> 8, (function >> 3) & 0x1Fu,
                      function & 7u);
        found = files_.emplace(function, openConfig(devicesDir_ + name)).first;
    }
    return found->second ? &found->second : nullptr;
}

bool SysfsPciConfig::selectsUnlisted(std::uint16_t port) {
    std::uint32_t offset = 0;
    return port >= DataPort && (address_ & EnableBit) && !selected(port, offset);
}

std::uint32_t SysfsPciConfig::read(std::uint16_t port, int width) {
    if (port == AddressPort && width == 4) return address_;
    std::uint32_t offset = 0;
    const FileHandle* file = selected(port, offset);
    std::uint32_t value = 0;
    if (!file || ::pread(file->get(), &value, static_cast<std::size_t>(width), offset) != width) return allOnes(width);
    return value;
}

bool SysfsPciConfig::write(std::uint16_t port, int width, std::uint32_t value) {
    if (port == AddressPort && width == 4) {
        address_ = value;
        return true;
    }
    std::uint32_t offset = 0;
    const FileHandle* file = selected(port, offset);
    return file && ::pwrite(file->get(), &value, static_cast<std::size_t>(width), offset) == width;
}

}  // namespace platform::native
