#pragma once
// The readings published to other processes: a named shared block of 402
// bytes with a small header (the number that names the command channel) and
// the temperatures, fan speeds and voltages of the reading slots. Readers
// get no lock; the block is rewritten in place on every main tick. All
// fields are little-endian at fixed offsets.

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "core/cvreadingslots.h"
#include "platform/platform.h"

class ESharedMemoryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSharedMemory {
public:
    // Closes the block, stores the value, opens again; opening waits until
    // both a size and a name are set. Raises ESharedMemoryError.
    void SetBlockSize(std::uint32_t value);
    void SetBlockName(const std::string& value);
    std::uint32_t BlockSize() const { return size_; }
    const std::string& BlockName() const { return name_; }
    // The block existed before this process opened it.
    bool BlockExists() const { return exists_; }
    bool IsOpen() const { return block_ != nullptr; }
    // Empty while no block is open.
    std::span<std::uint8_t> Bytes();

    void OpenBlock();
    void CloseBlock();
    // At the end of the run: a block whose window field is `window` says
    // "no readings" (flag and window cleared), and one this run created is
    // removed; then the block is closed.
    void Withdraw(std::uint32_t window);

private:
    std::uint32_t size_ = 0;
    std::string name_;
    bool exists_ = false;
    std::unique_ptr<platform::SharedMemory> block_;
};

namespace SharedLayout {
inline constexpr std::uint32_t BlockSize = 402;
inline constexpr const char* BlockName = "CVSharedMemory_NOS";
inline constexpr std::size_t Version = 0, Flags = 2, Size = 4, Window = 8;
inline constexpr std::size_t TempCount = 12, FanCount = 14, VoltCount = 16;
inline constexpr std::size_t Temps = 18, Fans = 146, Volts = 274;
inline constexpr std::size_t Entries = 32;  // per array
}  // namespace SharedLayout

// FormCreate's header: version 1, flags 0, the size, the window field, counts 0.
void WriteSharedHeader(TSharedMemory& block, std::uint32_t window);
// The main tick's update: flags bit 0, the counts and every slot's newest
// value (Celsius and volts times 100, fans as they are), at most 32 each.
void UpdateSharedReadings(TSharedMemory& block, const TReadingSlots& slots, const TSensorList& sensors);
