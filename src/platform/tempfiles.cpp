#include "platform/tempfiles.h"

#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

std::string PosixTempFiles::folder() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir && *dir ? dir : "/tmp";
    if (path.back() != '/') path += '/';
    return path;
}

std::uint32_t PosixTempFiles::userId() { return static_cast<std::uint32_t>(::getuid()); }

std::string PosixTempFiles::usePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return "cannot be created";
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return "cannot be read";
    if (!S_ISDIR(info.st_mode)) return "is not a folder";
    if (info.st_uid != userId()) return "belongs to another user";
    if ((info.st_mode & 07777) != 0700) return "is open to other users";
    return {};
}

bool PosixTempFiles::exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool PosixTempFiles::remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool PosixTempFiles::createExclusive(const std::string& path, std::span<const std::uint8_t> data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool closed = ::close(fd) == 0;
    if (done == data.size() && closed) return true;
    ::unlink(path.c_str());  // a partial library must never be loaded
    return false;
}

}  // namespace platform

namespace platform {

TempFiles& Platform::tempFiles() {
    static NoTempFiles none;
    return none;
}

std::vector<std::uint8_t> Platform::libraryImage(const std::string&) { return {}; }

}  // namespace platform
