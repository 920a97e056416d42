#include "platform/sim/physmemory.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace platform::sim {

std::string PhysicalMemory::Region::describe() const {
    char text[48];
    std::snprintf(text, sizeof text, "0x%llX-0x%llX", static_cast<unsigned long long>(base),
                  static_cast<unsigned long long>(end() - 1));
    return name.empty() ? text : std::string(text) + " (" + name + ")";
}

void PhysicalMemory::addRegion(std::uint32_t base, std::vector<std::uint8_t> bytes, std::string name) {
    const std::size_t size = bytes.size();
    Region region{base, std::move(bytes), std::move(name), size};
    if (region.bytes.empty()) throw std::invalid_argument("empty memory region at " + std::to_string(base));
    if (region.end() > 0x100000000ull)
        throw std::invalid_argument("memory region " + region.describe() + " passes 4 GiB");
    for (const auto& other : regions_) {
        if (region.base < other.end() && other.base < region.end())
            throw std::invalid_argument("memory region " + region.describe() + " overlaps " + other.describe());
    }
    regions_.push_back(std::move(region));
}

int PhysicalMemory::regionAt(std::uint64_t address) const {
    for (std::size_t i = 0; i < regions_.size(); ++i) {
        if (address >= regions_[i].base && address < regions_[i].end()) return static_cast<int>(i);
    }
    return -1;
}

void PhysicalMemory::removeRegions(const std::string& name) {
    std::erase_if(regions_, [&](const Region& r) { return r.name == name; });
}

void PhysicalMemory::limitReadable(std::uint32_t base, std::size_t readable) {
    const int region = regionAt(base);
    if (region < 0) throw std::invalid_argument("no memory region at " + std::to_string(base));
    regions_[region].readable = std::min(readable, regions_[region].bytes.size());
}

void PhysicalMemory::limitTransfer(std::uint32_t base, std::size_t count) {
    const int region = regionAt(base);
    if (region < 0) throw std::invalid_argument("no memory region at " + std::to_string(base));
    regions_[region].largestTransfer = count;
}

void PhysicalMemory::onDWordWrite(std::uint32_t address, std::function<void(std::uint32_t value)> hook) {
    writeHooks_[address] = std::move(hook);
}

bool PhysicalMemory::covered(std::uint64_t address, std::uint64_t size) const {
    const std::uint64_t end = address + size;
    while (address < end) {
        const int region = regionAt(address);
        if (region < 0) return false;
        const Region& r = regions_[region];
        if (std::min<std::uint64_t>(end, r.end()) > r.base + r.readable) return false;
        if (size > r.largestTransfer) return false;
        address = r.end();
    }
    return true;
}

std::size_t PhysicalMemory::read(std::uint32_t address, std::span<std::uint8_t> buffer) const {
    const std::size_t copied = copy(address, buffer);
    if (recording_) readLog_.push_back({address, buffer.size(), copied});
    return copied;
}

std::size_t PhysicalMemory::copy(std::uint32_t address, std::span<std::uint8_t> buffer) const {
    if (buffer.empty() || !covered(address, buffer.size())) return 0;
    std::uint64_t at = address;
    std::size_t done = 0;
    while (done < buffer.size()) {
        const Region& region = regions_[regionAt(at)];
        const std::size_t offset = static_cast<std::size_t>(at - region.base);
        const std::size_t n = std::min(buffer.size() - done, region.bytes.size() - offset);
        std::copy_n(region.bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, buffer.begin() + done);
        done += n;
        at += n;
    }
    return done;
}

bool PhysicalMemory::writeDWord(std::uint32_t address, std::uint32_t value) {
    if (!covered(address, 4)) return false;
    for (int i = 0; i < 4; ++i) {
        const std::uint64_t at = std::uint64_t{address} + i;
        Region& region = regions_[regionAt(at)];
        region.bytes[static_cast<std::size_t>(at - region.base)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    if (const auto hook = writeHooks_.find(address); hook != writeHooks_.end()) hook->second(value);
    return true;
}

std::uint8_t* PhysicalMemory::window(std::uint32_t address, std::uint32_t size) {
    const int index = regionAt(address);
    if (index < 0 || size == 0 || std::uint64_t{address} + size > regions_[index].end()) return nullptr;
    Region& region = regions_[index];
    return region.bytes.data() + (address - region.base);
}

}  // namespace platform::sim
