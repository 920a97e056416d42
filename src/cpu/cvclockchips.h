#pragma once
// The SMBus clock generators: one description row per chip says where the
// chip keeps its frequency-select code, which bits go with a new code, its
// default image and its frequency table; one table-driven class does the
// rest. Only chips whose registers work differently add code of their own.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "cpu/cvclocks.h"

// Which entry field a frequency-table column fills, or a format argument names.
enum class TClkField : std::uint8_t { Cpu, Pci, Sdram, Agp, Spread };

// One row of a frequency table: the select code, then the chip's columns in
// order (unused ones 0), then the spread-spectrum text of chips that have one.
// The first column is always the CPU clock; 0 there marks a hole.
struct TClockRow {
    std::uint8_t Select;
    float Columns[4];
    const char* Spread = "";
};

enum class TReadClockLog : std::uint8_t { None, OkOnly, All };

struct TClockChipDescription {
    std::uint8_t ChipId;
    std::span<const TClockRow> Table;
    std::vector<TClkField> Columns;
    bool SdramIsCpu;  // the SDRAM clock is the CPU clock
    const char* Format;
    std::vector<TClkField> FormatArgs;
    std::uint8_t SelectByte;
    std::uint8_t SelectMask;
    std::uint8_t Keep;  // ANDed into the select byte
    std::uint8_t Set;   // ORed in with every new code
    int Resize;         // the image's length before altering; 0 keeps it
    std::vector<std::uint8_t> DefaultImage;  // empty: none
    TReadClockLog ReadLog;
};

// The frequency tables (cvclocktables.cpp), by chip id.
std::span<const TClockRow> ClockFrequencyTable(std::uint8_t chipId);

class TClockChip : public TClock {
public:
    TClockChip(TLink* link, std::uint8_t chipId, int address, const TClockChipDescription& description);

    bool SetDefaultRegisters(TSMBBlockData& image) override;
    bool AlterToNewClock(TSMBBlockData& image, int index) override;
    int ReadClock() override;

protected:
    const TClockChipDescription& Description() const { return description_; }
    // The select byte's alteration alone, on an image that holds it.
    void AlterSelectByte(TSMBBlockData& image, int index) const;
    // The entry of the image's select byte; -1 when the image lacks it.
    // Runs under the bus lock.
    virtual int MatchImage(TSMBBlockData& image);
    // Runs under the bus lock after the match (a register dump).
    virtual void AfterRead() {}

private:
    const TClockChipDescription& description_;
};

// The description row of a table-driven chip; nullptr for other ids.
const TClockChipDescription* FindClockChipDescription(std::uint8_t chipId);

// A chip that its description row says all about.
template <std::uint8_t ChipIdValue>
class TTableClock : public TClockChip {
public:
    static constexpr std::uint8_t Id = ChipIdValue;
    TTableClock(TLink* link, std::uint8_t chipId, int address)
        : TClockChip(link, chipId, address, *FindClockChipDescription(Id)) {}
};

using TICS9148B04 = TTableClock<2>;
using TICS924839 = TTableClock<3>;
using TICS924873 = TTableClock<4>;
using TICS924890 = TTableClock<5>;
using TICS924898 = TTableClock<6>;
using TICS9248171 = TTableClock<7>;
using TICS9248199ABC = TTableClock<8>;
using TICS925008 = TTableClock<9>;
using TICS925018 = TTableClock<10>;
using TICS925025 = TTableClock<11>;
using TICS925037 = TTableClock<12>;
using TICS94203 = TTableClock<13>;
using TICS952607 = TTableClock<17>;
using TIMIC9835 = TTableClock<18>;
using TPLL20503 = TTableClock<19>;
using TW230 = TTableClock<21>;
using TW23003 = TTableClock<22>;
using TW311 = TTableClock<23>;

// Its select code sits in byte 6; on images longer than 10 bytes bit 7 of
// byte 10 is cleared to return to the standard clock selection.
class TICS94225 : public TClockChip {
public:
    static constexpr std::uint8_t Id = 14;
    TICS94225(TLink* link, std::uint8_t chipId, int address);
    bool AlterToNewClock(TSMBBlockData& image, int index) override;
};

// Byte 4 bit 6 is cleared with every new code.
class TICS94229 : public TClockChip {
public:
    static constexpr std::uint8_t Id = 15;
    TICS94229(TLink* link, std::uint8_t chipId, int address);
    bool AlterToNewClock(TSMBBlockData& image, int index) override;
};

// The 7-bit code is spread over bytes 4 and 24; the chip answers all 25
// bytes only once its byte-count register (byte 8) says so.
class TICS952005 : public TClockChip {
public:
    static constexpr std::uint8_t Id = 16;
    static constexpr std::size_t FullLength = 25;
    TICS952005(TLink* link, std::uint8_t chipId, int address);
    bool AlterToNewClock(TSMBBlockData& image, int index) override;

protected:
    int MatchImage(TSMBBlockData& image) override;
};

// Dumps a few of its byte registers after every read.
class TRTM52039D : public TClockChip {
public:
    static constexpr std::uint8_t Id = 20;
    TRTM52039D(TLink* link, std::uint8_t chipId, int address);

protected:
    void AfterRead() override;
};

// Its setting cannot be read back.
class TW48S11114 : public TClockChip {
public:
    static constexpr std::uint8_t Id = 24;
    TW48S11114(TLink* link, std::uint8_t chipId, int address);
    int ReadClock() override { return TClock::ReadClock(); }
};

// The SMBus chip of that id; nullptr for an id that has none.
std::unique_ptr<TClock> CreateClockChip(std::uint8_t chipId, TLink* link, int address);
