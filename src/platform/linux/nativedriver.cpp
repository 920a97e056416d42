#include "platform/linux/nativedriver.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <map>
#include <string>

#include "platform/driverdevice.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define CALDAVOR_PORT_IO 1
#endif

namespace platform::native {

drv::VersionAnswer nativeDriverVersion(bool msrsReadable, bool memoryReadable) {
    const auto version = [](std::uint32_t number) { return drv::VersionAnswer{number / 1000, number % 1000}; };
    if (msrsReadable && memoryReadable) return version(drv::since::MapMemory);
    if (msrsReadable) return version(drv::since::ReadMsr);
    return version(drv::since::ReadMsr - 1);
}

#ifdef CALDAVOR_PORT_IO
namespace {

class FileHandle {
public:
    explicit FileHandle(int fd = -1) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileHandle& operator=(FileHandle&&) = delete;
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

FileHandle openMsr(int cpu) {
    return FileHandle(::open(("/dev/cpu/" + std::to_string(cpu) + "/msr").c_str(), O_RDONLY));
}

class NativeDriver : public DriverDevice {
public:
    NativeDriver(drv::VersionAnswer version, FileHandle memory)
        : DriverDevice(version.major, version.minor), memory_(std::move(memory)) {}
    ~NativeDriver() override { unmapAll(); }

protected:
    std::optional<std::uint32_t> readPort(std::uint16_t port, int width) override {
        switch (width) {
            case 1: return ::inb(port);
            case 2: return ::inw(port);
            default: return ::inl(port);
        }
    }
    bool writePort(std::uint16_t port, int width, std::uint32_t value) override {
        switch (width) {
            case 1: ::outb(static_cast<unsigned char>(value), port); break;
            case 2: ::outw(static_cast<unsigned short>(value), port); break;
            default: ::outl(value, port);
        }
        return true;
    }
    std::size_t readMemory(std::uint32_t address, std::span<std::uint8_t> buffer) override {
        if (!memory_) return 0;
        const ssize_t n = ::pread(memory_.get(), buffer.data(), buffer.size(), static_cast<off_t>(address));
        return n == static_cast<ssize_t>(buffer.size()) ? buffer.size() : 0;
    }
    bool writeMemoryDWord(std::uint32_t address, std::uint32_t value) override {
        return memory_ && ::pwrite(memory_.get(), &value, 4, static_cast<off_t>(address)) == 4;
    }
    std::optional<std::uint64_t> readMsr(std::uint32_t index) override {
        const int cpu = ::sched_getcpu();
        if (cpu < 0) return std::nullopt;
        auto found = msrFiles_.find(cpu);
        if (found == msrFiles_.end()) found = msrFiles_.emplace(cpu, openMsr(cpu)).first;
        std::uint64_t value = 0;
        if (!found->second || ::pread(found->second.get(), &value, 8, static_cast<off_t>(index)) != 8)
            return std::nullopt;
        return value;
    }
    std::uint8_t* mapMemory(std::uint32_t address, std::uint32_t size) override {
        if (!memory_) return nullptr;
        const std::uint32_t page = static_cast<std::uint32_t>(::sysconf(_SC_PAGESIZE));
        const std::uint32_t base = address / page * page;
        const std::size_t length = address - base + std::size_t{size};
        void* mapped =
            ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, memory_.get(), static_cast<off_t>(base));
        if (mapped == MAP_FAILED) return nullptr;
        auto* start = static_cast<std::uint8_t*>(mapped) + (address - base);
        mappings_[start] = {mapped, length};
        return start;
    }
    void unmapMemory(std::uint8_t* mapped, std::uint32_t) override {
        const auto found = mappings_.find(mapped);
        if (found == mappings_.end()) return;
        ::munmap(found->second.first, found->second.second);
        mappings_.erase(found);
    }
    std::optional<drv::SmiRegisters> dellSmi(const drv::SmiRegisters&) override { return std::nullopt; }
    std::optional<drv::KernelOsVersionAnswer> kernelOsVersion() override { return std::nullopt; }

private:
    FileHandle memory_;
    std::map<int, FileHandle> msrFiles_;
    std::map<std::uint8_t*, std::pair<void*, std::size_t>> mappings_;
};

}  // namespace

std::unique_ptr<Device> openNativeDriver() {
    // The right to raw I/O is what lets iopl raise the level; without it the
    // program runs without hardware access.
    if (::iopl(3) != 0) return nullptr;
    FileHandle memory(::open("/dev/mem", O_RDWR | O_SYNC));
    const drv::VersionAnswer version = nativeDriverVersion(bool(openMsr(0)), bool(memory));
    return std::make_unique<NativeDriver>(version, std::move(memory));
}
#else
std::unique_ptr<Device> openNativeDriver() { return nullptr; }
#endif

}  // namespace platform::native
