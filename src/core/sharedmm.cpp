#include "core/sharedmm.h"

#include <algorithm>
#include <cmath>

#include "core/cvfancontrol.h"

namespace {

void PutU16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint16_t GetU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return GetU16(bytes, at) | std::uint32_t{GetU16(bytes, at + 2)} << 16;
}

// Not a number gives 0 and values past the 32-bit range their bound, so a
// reader never sees a wrapped value.
void PutValue(std::span<std::uint8_t> bytes, std::size_t at, double value) {
    PutU32(bytes, at, static_cast<std::uint32_t>(std::isfinite(value) ? RoundToInt32(value) : 0));
}

std::uint16_t Published(std::size_t count) {
    return static_cast<std::uint16_t>(std::min(count, SharedLayout::Entries));
}

}  // namespace

void TSharedMemory::SetBlockSize(std::uint32_t value) {
    CloseBlock();
    size_ = value;
    OpenBlock();
}

void TSharedMemory::SetBlockName(const std::string& value) {
    CloseBlock();
    name_ = value;
    OpenBlock();
}

std::span<std::uint8_t> TSharedMemory::Bytes() {
    return block_ ? block_->bytes() : std::span<std::uint8_t>{};
}

void TSharedMemory::OpenBlock() {
    if (size_ == 0 || name_.empty()) return;
    auto opened = platform::current().openSharedMemory(name_, size_);
    using Failure = platform::SharedMemoryOpenResult::Failure;
    // The system's reason goes with the error's own text, so the trace says why.
    const std::string reason = opened.reason.empty() ? std::string{} : " (" + opened.reason + ")";
    if (opened.failure == Failure::Handle) throw ESharedMemoryError("TSharedmemory.create handle error" + reason);
    if (opened.failure == Failure::View || !opened.block)
        throw ESharedMemoryError("Tfilemapping map view error" + reason);
    exists_ = opened.block->existed();
    block_ = std::move(opened.block);
}

void TSharedMemory::CloseBlock() {
    exists_ = false;
    block_.reset();
}

void TSharedMemory::Withdraw(std::uint32_t window) {
    const auto bytes = Bytes();
    // Another copy that took the block over keeps it as it is.
    if (bytes.size() >= SharedLayout::BlockSize && GetU32(bytes, SharedLayout::Window) == window) {
        PutU16(bytes, SharedLayout::Flags, static_cast<std::uint16_t>(GetU16(bytes, SharedLayout::Flags) & ~1u));
        PutU32(bytes, SharedLayout::Window, 0);
        if (!exists_) platform::current().removeSharedMemory(name_);
    }
    CloseBlock();
}

void WriteSharedHeader(TSharedMemory& block, std::uint32_t window) {
    const auto bytes = block.Bytes();
    if (bytes.size() < SharedLayout::BlockSize) return;
    using namespace SharedLayout;
    PutU16(bytes, Version, 1);
    PutU16(bytes, Flags, 0);
    PutU32(bytes, Size, block.BlockSize());
    PutU32(bytes, Window, window);
    for (const std::size_t count : {TempCount, FanCount, VoltCount}) PutU16(bytes, count, 0);
}

void UpdateSharedReadings(TSharedMemory& block, const TReadingSlots& slots, const TSensorList& sensors) {
    const auto bytes = block.Bytes();
    if (bytes.size() < SharedLayout::BlockSize) return;
    using namespace SharedLayout;
    PutU16(bytes, Flags, static_cast<std::uint16_t>(GetU16(bytes, Flags) | 1));
    struct TArray {
        TReadingKind Kind;
        std::size_t Count, Values;
        double Scale;
    };
    static constexpr TArray Arrays[] = {
        {TReadingKind::Temp, TempCount, Temps, 100},
        {TReadingKind::Fan, FanCount, Fans, 1},
        {TReadingKind::Volt, VoltCount, Volts, 100},
    };
    for (const auto& array : Arrays) PutU16(bytes, array.Count, Published(slots.SlotCount(array.Kind)));
    for (const auto& array : Arrays) {
        const std::size_t count = Published(slots.SlotCount(array.Kind));
        for (std::size_t i = 0; i < count; ++i) {
            const double value = SlotStats(sensors, array.Kind, slots.Slot(array.Kind, i)).Last();
            PutValue(bytes, array.Values + 4 * i, value * array.Scale);
        }
    }
}
