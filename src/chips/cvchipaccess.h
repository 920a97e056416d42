#pragma once
// How drivers reach their registers: every group of accesses inside one
// bracket of the link's access (the bus lock), and reads that answer no value
// when the link fails, so a conversion only ever runs on data.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>

#include "hw/cvlink.h"

// BeginAccess on construction, EndAccess on destruction, exceptions included.
// A null link brackets nothing.
class TChipAccess {
public:
    explicit TChipAccess(TLink* link) : link_(link) {
        if (link_) link_->BeginAccess();
    }
    ~TChipAccess() {
        if (link_) link_->EndAccess();
    }
    TChipAccess(const TChipAccess&) = delete;
    TChipAccess& operator=(const TChipAccess&) = delete;

private:
    TLink* link_;
};

// One byte register; nullopt when the link fails or is missing.
std::optional<std::uint8_t> ReadChipByte(TLink* link, int address, std::uint8_t reg);
// One word register (first byte on the bus high); nullopt on failure.
std::optional<std::uint16_t> ReadChipWord(TLink* link, int address, std::uint8_t reg);
// Two byte registers as one word, high register first.
std::optional<std::uint16_t> ReadChipBytePair(TLink* link, int address, std::uint8_t highReg, std::uint8_t lowReg);
// No value for a read that answered all ones, where a chip's Part calls
// that a failure (ISA reads of an absent chip, a vanished mailbox).
std::optional<std::uint8_t> UnlessAllOnes(std::optional<std::uint8_t> value);
std::optional<std::uint16_t> UnlessAllOnes(std::optional<std::uint16_t> value);
// A temperature word of an LM75-class or JC-42.4 thermometer: all ones is a
// floating or held bus, no value.
std::optional<std::uint16_t> ReadThermometerWord(TLink* link, int address, std::uint8_t reg);
// Answers whether the link took the write.
bool WriteChipByte(TLink* link, int address, std::uint8_t reg, std::uint8_t value);
// Reads the register, replaces the field (mask in place, shift its lowest
// bit) and writes it back. Writes nothing when the read fails; answers
// whether the new value was written.
bool UpdateChipField(TLink* link, int address, std::uint8_t reg, std::uint8_t mask, int shift, std::uint8_t field);

// A reading depends on every register it is computed from: the conversion
// runs only when all of its reads answered, else the reading has no value.
// A divisor, fraction, extension or mode register that failed never stands
// in as 0.
template <class Convert, class... T>
auto FromReads(Convert convert, const std::optional<T>&... reads)
    -> std::optional<std::invoke_result_t<Convert, const T&...>> {
    if (!(reads.has_value() && ...)) return std::nullopt;
    return convert(*reads...);
}
// A register's field, or none when the register did not answer.
std::optional<int> ReadField(std::optional<std::uint8_t> reg, std::uint8_t mask, int shift);
// Stores a reading that has a value; one without leaves the base's zero.
inline void PutReading(std::span<double> values, std::size_t index, std::optional<double> reading) {
    if (reading && index < values.size()) values[index] = *reading;
}
