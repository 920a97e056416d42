#include "platform/driverdevice.h"

namespace platform {

using namespace drv;

namespace {

// Puts an answer at the front of `output` and counts its bytes; false when it
// does not fit.
template <class T>
bool putAnswer(std::span<std::uint8_t> output, const T& answer, std::uint32_t& returned) {
    if (!writeLayout(output, answer)) return false;
    returned = sizeof(T);
    return true;
}

}  // namespace

std::uint32_t driverVersionNeeded(std::uint32_t code) {
    switch (code) {
        case ReadMsr: return since::ReadMsr;
        case MapPhysicalMemory:
        case UnmapPhysicalMemory:
        case ReadMappedByte:
        case WriteMappedByte:
        case ReadMappedByteAlt: return since::MapMemory;
        case DellSmiCall: return since::DellSmi;
        case RawThermalQuery: return since::RawThermal;
        case KernelOsVersion: return since::KernelOsVersion;
        default: return 0;
    }
}

DriverDevice::~DriverDevice() = default;

void DriverDevice::unmapAll() {
    for (const auto& [start, size] : mappings_) unmapMemory(reinterpret_cast<std::uint8_t*>(start), size);
    mappings_.clear();
}

bool DriverDevice::control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                           std::uint32_t& returned) {
    returned = 0;
    if (drv::versionNumber(major_, minor_) < driverVersionNeeded(code)) return false;
    return answer(code, input, output, returned);
}

bool DriverDevice::answer(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                          std::uint32_t& returned) {
    switch (code) {
        case drv::ReadPortByte: return portRead(1, input, output, returned);
        case drv::ReadPortWord: return portRead(2, input, output, returned);
        case drv::ReadPortDWord: return portRead(4, input, output, returned);
        case drv::WritePortByte: return portWrite(1, input);
        case drv::WritePortWord: return portWrite(2, input);
        case drv::WritePortDWord: return portWrite(4, input);
        case drv::ReadPhysicalMemory: return memoryRead(input, returned);
        case drv::WritePhysicalDWord: {
            MemoryWriteRequest request;
            return readLayout(input, request) && writeMemoryDWord(request.address, request.value);
        }
        case drv::DriverVersion: return putAnswer(output, VersionAnswer{major_, minor_}, returned);
        case drv::ReadMsr: {
            MsrRequest request;
            if (!readLayout(input, request)) return false;
            const auto value = readMsr(request.index);
            if (!value) return false;
            const MsrAnswer out{static_cast<std::uint32_t>(*value), static_cast<std::uint32_t>(*value >> 32)};
            return putAnswer(output, out, returned);
        }
        case drv::DellSmiCall: {
            SmiRegisters in;
            if (!readLayout(input, in) || output.size() < sizeof(SmiRegisters)) return false;
            const auto out = dellSmi(in);
            return out && putAnswer(output, *out, returned);
        }
        case drv::MapPhysicalMemory: return map(input, output, returned);
        case drv::UnmapPhysicalMemory: return unmap(input);
        case drv::ReadMappedByte:
        case drv::ReadMappedByteAlt: {
            MappedByteRequest request;
            if (!readLayout(input, request)) return false;
            volatile std::uint8_t* byte = mappedByte(request.address);
            return byte && putAnswer(output, MappedByteAnswer{*byte, 0}, returned);
        }
        case drv::WriteMappedByte: {
            MappedByteRequest request;
            if (!readLayout(input, request)) return false;
            volatile std::uint8_t* byte = mappedByte(request.address);
            if (!byte) return false;
            *byte = static_cast<std::uint8_t>(request.value);
            return true;
        }
        case drv::KernelOsVersion: {
            const auto version = kernelOsVersion();
            return version && putAnswer(output, *version, returned);
        }
        default: return false;
    }
}

bool DriverDevice::portRead(int width, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                            std::uint32_t& returned) {
    PortRequest request;
    if (!readLayout(input, request) || output.size() < sizeof(PortAnswer)) return false;
    const auto value = readPort(static_cast<std::uint16_t>(request.port), width);
    return value && putAnswer(output, PortAnswer{*value, 0}, returned);
}

bool DriverDevice::portWrite(int width, std::span<const std::uint8_t> input) {
    PortRequest request;
    if (!readLayout(input, request)) return false;
    const std::uint32_t mask = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    return writePort(static_cast<std::uint16_t>(request.port), width, request.value & mask);
}

bool DriverDevice::memoryRead(std::span<const std::uint8_t> input, std::uint32_t& returned) {
    MemoryReadRequest request;
    if (!readLayout(input, request) || request.buffer == 0) return false;
    auto* buffer = reinterpret_cast<std::uint8_t*>(request.buffer);
    const std::size_t copied = readMemory(request.address, {buffer, request.count});
    returned = static_cast<std::uint32_t>(copied);
    return copied != 0 || request.count == 0;
}

bool DriverDevice::map(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, std::uint32_t& returned) {
    MapRequest request;
    if (!readLayout(input, request) || output.size() < sizeof(MapAnswer) || request.size == 0) return false;
    std::uint8_t* mapped = mapMemory(request.address, request.size);
    if (!mapped) return false;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    mappings_[start] = request.size;
    return putAnswer(output, MapAnswer{start, {0, 0}}, returned);
}

bool DriverDevice::unmap(std::span<const std::uint8_t> input) {
    UnmapRequest request;
    if (!readLayout(input, request)) return false;
    const auto found = mappings_.find(request.mapped);
    if (found == mappings_.end()) return false;
    unmapMemory(reinterpret_cast<std::uint8_t*>(found->first), found->second);
    mappings_.erase(found);
    return true;
}

volatile std::uint8_t* DriverDevice::mappedByte(std::uintptr_t address) const {
    auto next = mappings_.upper_bound(address);
    if (next == mappings_.begin()) return nullptr;
    const auto& [start, size] = *std::prev(next);
    if (address - start >= size) return nullptr;
    return reinterpret_cast<volatile std::uint8_t*>(address);
}

}  // namespace platform
