#pragma once
// A file descriptor that closes with its owner, and the small file reads the
// native backend makes.

#include <unistd.h>

#include <optional>
#include <string>

namespace platform::native {

class FileHandle {
public:
    explicit FileHandle(int fd = -1) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    ~FileHandle() { reset(); }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_;
};

// The system's words for an errno ("No such file or directory").
std::string systemReason(int error);

// A whole small file (procfs, sysfs); nullopt with errno set when it cannot be read.
std::optional<std::string> readSmallFile(const std::string& path);

}  // namespace platform::native
