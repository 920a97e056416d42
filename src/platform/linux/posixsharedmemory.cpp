#include "platform/linux/posixsharedmemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/linux/filehandle.h"

namespace platform::native {
namespace {

class PosixSharedMemory : public SharedMemory {
public:
    PosixSharedMemory(void* view, std::size_t size, bool existed) : view_(view), size_(size), existed_(existed) {}
    ~PosixSharedMemory() override { ::munmap(view_, size_); }
    std::span<std::uint8_t> bytes() override { return {static_cast<std::uint8_t*>(view_), size_}; }
    bool existed() const override { return existed_; }

private:
    void* view_;
    std::size_t size_;
    bool existed_;
};

SharedMemoryOpenResult failed(SharedMemoryOpenResult::Failure failure, const std::string& reason) {
    return {nullptr, failure, reason};
}

}  // namespace

// What shm_open does, in a folder tests can choose.
SharedMemoryOpenResult openPosixSharedMemory(const std::string& dir, const std::string& name, std::size_t size) {
    const std::string path = dir + "/" + name;
    constexpr int flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC;
    bool existed = false;
    FileHandle fd(::open(path.c_str(), flags | O_CREAT | O_EXCL, 0644));
    if (!fd && errno == EEXIST) {
        existed = true;
        fd = FileHandle(::open(path.c_str(), flags));
    }
    if (!fd) return failed(SharedMemoryOpenResult::Failure::Handle, path + ": " + systemReason(errno));
    if (!existed) {
        // The umask must not take the readers' bit away.
        ::fchmod(fd.get(), 0644);
        if (::ftruncate(fd.get(), static_cast<off_t>(size)) != 0)
            return failed(SharedMemoryOpenResult::Failure::Handle, systemReason(errno));
    } else {
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) return failed(SharedMemoryOpenResult::Failure::View, systemReason(errno));
        if (static_cast<std::size_t>(st.st_size) < size)
            return failed(SharedMemoryOpenResult::Failure::View,
                          "the existing block holds " + std::to_string(st.st_size) + " bytes");
    }
    void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (view == MAP_FAILED) return failed(SharedMemoryOpenResult::Failure::View, systemReason(errno));
    return {std::make_unique<PosixSharedMemory>(view, size, existed), SharedMemoryOpenResult::Failure::None, {}};
}

void removePosixSharedMemory(const std::string& dir, const std::string& name) { ::unlink((dir + "/" + name).c_str()); }

}  // namespace platform::native
