#pragma once
// Simulated physical memory: regions of bytes at fixed addresses below 4 GiB.
// Everything outside the regions is not memory: reads of it copy nothing and
// writes to it are lost.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace platform::sim {

class PhysicalMemory {
public:
    // Throws std::invalid_argument for an empty region, one that passes 4 GiB
    // or one that overlaps another (the message names both).
    void addRegion(std::uint32_t base, std::vector<std::uint8_t> bytes, std::string name = {});
    // Takes away every region of that name.
    void removeRegions(const std::string& name);
    // Reads touching the region at `base` from its byte `readable` on fail,
    // as a firmware range that faults.
    void limitReadable(std::uint32_t base, std::size_t readable);
    // Reads of more than `count` bytes touching the region at `base` copy
    // nothing, as a device that refuses long transfers.
    void limitTransfer(std::uint32_t base, std::size_t count);
    // Calls `hook` with every dword written at `address` (a device register).
    void onDWordWrite(std::uint32_t address, std::function<void(std::uint32_t value)> hook);

    struct ReadRecord {
        std::uint32_t address;
        std::size_t count, copied;
        bool operator==(const ReadRecord&) const = default;
    };
    // Reads are recorded only while a test asks, so a long run keeps nothing.
    void recordReads(bool on) { recording_ = on; readLog_.clear(); }
    const std::vector<ReadRecord>& readLog() const { return readLog_; }

    // Copies the whole range and returns its size, or copies nothing and
    // returns 0 when any byte of it lies outside the regions.
    std::size_t read(std::uint32_t address, std::span<std::uint8_t> buffer) const;
    // False, and nothing written, unless all four bytes are memory.
    bool writeDWord(std::uint32_t address, std::uint32_t value);
    // The bytes behind [address, address + size) when one region holds them
    // all; nullptr otherwise.
    std::uint8_t* window(std::uint32_t address, std::uint32_t size);

private:
    struct Region {
        std::uint64_t base;
        std::vector<std::uint8_t> bytes;
        std::string name;
        std::size_t readable;
        std::size_t largestTransfer = SIZE_MAX;
        std::uint64_t end() const { return base + bytes.size(); }
        std::string describe() const;
    };
    // Index of the region holding the address, or -1.
    int regionAt(std::uint64_t address) const;
    std::size_t copy(std::uint32_t address, std::span<std::uint8_t> buffer) const;
    bool covered(std::uint64_t address, std::uint64_t size) const;

    std::vector<Region> regions_;
    std::map<std::uint32_t, std::function<void(std::uint32_t)>> writeHooks_;
    bool recording_ = false;
    mutable std::vector<ReadRecord> readLog_;
};

}  // namespace platform::sim
