#include "platform/linux/lockfilemutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

namespace platform::native {
namespace {

bool flockRetrying(int fd, int operation) {
    int result;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

}  // namespace

std::string lockFileName(const std::string& mutexName) {
    std::string out;
    for (char c : mutexName) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x80 && std::isalnum(u)) || c == '.' || c == '-' || c == '_') {
            out += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", u);
            out += hex;
        }
    }
    return out + ".lock";
}

std::unique_ptr<LockFileMutex> LockFileMutex::open(const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + lockFileName(name);
    // Owner-only: a process that can open the file can hold the lock, and
    // so freeze our hardware access. No symlinks in shared folders.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return nullptr;
    auto mutex = std::unique_ptr<LockFileMutex>(new LockFileMutex(fd));
    // A file someone else left in a shared folder may be theirs to hold; an
    // older file of ours loses its other-user rights.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || !S_ISREG(st.st_mode)) return nullptr;
    if ((st.st_mode & 077) != 0 && ::fchmod(fd, 0600) != 0) return nullptr;
    return mutex;
}

LockFileMutex::~LockFileMutex() { ::close(fd_); }

void LockFileMutex::lock() { flockRetrying(fd_, LOCK_EX); }

bool LockFileMutex::tryLock() { return flockRetrying(fd_, LOCK_EX | LOCK_NB); }

void LockFileMutex::unlock() { flockRetrying(fd_, LOCK_UN); }

}  // namespace platform::native
