#include "hw/cvpci.h"

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/cvdriver.h"
#include "platform/kernelclaims.h"
#include "platform/platform.h"

namespace {

constexpr std::uint16_t AddressPort = 0xCF8;
constexpr std::uint16_t DataPort = 0xCFC;

// Runs one configuration cycle with 0CF8h saved before and restored after.
template <class Cycle>
std::uint32_t configCycle(std::uint32_t address, Cycle cycle) {
    if (!IOPort) return 0xFFFFFFFFu;
    const std::uint32_t saved = IOPort->ReadPortDWord(AddressPort);
    IOPort->WritePortDWord(AddressPort, address);
    const std::uint32_t result = cycle(*IOPort);
    IOPort->WritePortDWord(AddressPort, saved);
    return result;
}

unsigned wordShift(int reg) { return (static_cast<unsigned>(reg) & 2u) * 8; }
unsigned byteShift(int reg) { return (static_cast<unsigned>(reg) & 3u) * 8; }

}  // namespace

std::uint32_t PCIConfigAddress(int bus, int device, int function, int reg) {
    return 0x80000000u | ((static_cast<std::uint32_t>(bus) & 0xFFu) << 16) |
           ((static_cast<std::uint32_t>(device) & 0x1Fu) << 11) | ((static_cast<std::uint32_t>(function) & 7u) << 8) |
           (static_cast<std::uint32_t>(reg) & 0xFCu);
}

std::uint32_t ReadPCIConfigDWord(int bus, int device, int function, int reg) {
    return configCycle(PCIConfigAddress(bus, device, function, reg),
                       [](TIOPort& port) { return port.ReadPortDWord(DataPort); });
}

void WritePCIConfigDWord(int bus, int device, int function, int reg, std::uint32_t value) {
    configCycle(PCIConfigAddress(bus, device, function, reg), [value](TIOPort& port) {
        port.WritePortDWord(DataPort, value);
        return 0u;
    });
}

std::uint16_t ReadPCIConfigWord(int bus, int device, int function, int reg) {
    return static_cast<std::uint16_t>(ReadPCIConfigDWord(bus, device, function, reg) >> wordShift(reg));
}

std::uint8_t ReadPCIConfigByte(int bus, int device, int function, int reg) {
    return static_cast<std::uint8_t>(ReadPCIConfigDWord(bus, device, function, reg) >> byteShift(reg));
}

void WritePCIConfigWord(int bus, int device, int function, int reg, std::uint16_t value) {
    const std::uint32_t old = ReadPCIConfigDWord(bus, device, function, reg);
    const unsigned shift = wordShift(reg);
    WritePCIConfigDWord(bus, device, function, reg, (old & ~(0xFFFFu << shift)) | (std::uint32_t{value} << shift));
}

void WritePCIConfigByte(int bus, int device, int function, int reg, std::uint8_t value) {
    const std::uint32_t old = ReadPCIConfigDWord(bus, device, function, reg);
    const unsigned shift = byteShift(reg);
    WritePCIConfigDWord(bus, device, function, reg, (old & ~(0xFFu << shift)) | (std::uint32_t{value} << shift));
}

bool FindPCIDevice(std::uint16_t vendorId, std::uint16_t deviceId, TPCILocation& location) {
    const std::uint32_t wanted = (std::uint32_t{deviceId} << 16) | vendorId;
    bool found = false;
    for (std::uint16_t bus = 0; bus <= 15; ++bus) {
        for (std::uint16_t device = 0; device <= 31; ++device) {
            for (std::uint16_t function = 0; function <= 7; ++function) {
                if (ReadPCIConfigDWord(bus, device, function, 0) != wanted) continue;
                location = {bus, device, function};
                found = true;
            }
        }
    }
    return found;
}

bool KernelHoldsPCIFunction(int bus, int device, int function) {
    const auto owner = platform::current().kernelClaims().pciOwner(static_cast<unsigned>(bus),
                                                                    static_cast<unsigned>(device),
                                                                    static_cast<unsigned>(function));
    if (!owner) return false;
    WriteDebugLog(cvformat::Format("INFO : %.2x:%.2x.%d is held by the kernel driver %s: configuration left alone",
                                   {bus, device, function, *owner}));
    return true;
}
