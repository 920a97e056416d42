#pragma once
// The driver device "\\.\caldavor" as a backend answers it: decodes the
// control requests of driverctl.h, refuses the requests a driver of its
// version would not know, and leaves the machine work to the backend.

#include <cstdint>
#include <map>
#include <optional>
#include <span>

#include "platform/driverctl.h"
#include "platform/platform.h"

namespace platform {

// The version number from which a driver answers a request.
std::uint32_t driverVersionNeeded(std::uint32_t code);

class DriverDevice : public Device {
public:
    DriverDevice(std::uint32_t major, std::uint32_t minor) : major_(major), minor_(minor) {}
    ~DriverDevice() override;

    bool control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::uint32_t& returned) final;

    // What the device really serves of what its version names: a backend
    // whose system refused a route (physical memory, MSRs) says so here.
    struct Routes {
        bool memory = true;   // physical memory can be read
        bool mapping = true;  // and mapped into the process
        bool msrs = true;
    };
    virtual Routes routes() const { return {}; }

protected:
    virtual std::optional<std::uint32_t> readPort(std::uint16_t port, int width) = 0;
    virtual bool writePort(std::uint16_t port, int width, std::uint32_t value) = 0;
    // Bytes copied: all of them, or 0 when the range cannot be read.
    virtual std::size_t readMemory(std::uint32_t address, std::span<std::uint8_t> buffer) = 0;
    virtual bool writeMemoryDWord(std::uint32_t address, std::uint32_t value) = 0;
    // The MSR of the processor the caller runs on.
    virtual std::optional<std::uint64_t> readMsr(std::uint32_t index) = 0;
    // Process memory that shows the physical range, or nullptr.
    virtual std::uint8_t* mapMemory(std::uint32_t address, std::uint32_t size) = 0;
    virtual void unmapMemory(std::uint8_t* mapped, std::uint32_t size) = 0;
    virtual std::optional<drv::SmiRegisters> dellSmi(const drv::SmiRegisters& in) = 0;
    virtual std::optional<drv::KernelOsVersionAnswer> kernelOsVersion() = 0;

    // Unmaps what the caller left mapped; a backend calls it from its own
    // destructor, while its unmapMemory still works.
    void unmapAll();

private:
    bool answer(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                std::uint32_t& returned);
    bool portRead(int width, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                  std::uint32_t& returned);
    bool portWrite(int width, std::span<const std::uint8_t> input);
    bool memoryRead(std::span<const std::uint8_t> input, std::uint32_t& returned);
    bool map(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, std::uint32_t& returned);
    bool unmap(std::span<const std::uint8_t> input);
    // The mapped byte at `address`, when a mapping of ours holds it.
    volatile std::uint8_t* mappedByte(std::uintptr_t address) const;

    std::uint32_t major_;
    std::uint32_t minor_;
    std::map<std::uintptr_t, std::uint32_t> mappings_;  // start -> size
};

}  // namespace platform
