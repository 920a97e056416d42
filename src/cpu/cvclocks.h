#pragma once
// Clock generators: the chip on the SMBus (or, on nForce2 boards, the PLL in
// the host bridge) that makes the front-side-bus clock. A clock object reads
// the chip's register block, finds the setting it runs at and writes a new
// frequency-select code; the tables name the supported chips and the boards
// known to carry them. Also the processor clock measured against the tick
// count.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "hw/cvlink.h"

// One selectable setting of a chip; frequencies in MHz, 0 where the chip's
// table has no such column.
struct TClkEntry {
    std::uint8_t Select = 0;
    float Cpu = 0;
    float Pci = 0;
    float Sdram = 0;
    float Agp = 0;
    std::string Text;

    // A setting whose clocks are not known (its select code may be): never
    // offered, never matched by a read, refused by a set.
    bool IsHole() const { return Cpu == 0; }
};
using TClkEntries = std::vector<TClkEntry>;

namespace ClockCapabilities {
enum : std::uint8_t { CanSet = 1, CanRead = 2 };
}

// A row of either table is offered in the clock page when its state is 1 or 2.
struct TClockInfo {
    std::uint8_t Id;
    const char* Vendor;
    const char* Model;
    std::uint8_t Capabilities;
    std::uint8_t State;
};

struct TMBClock {
    const char* Maker;
    const char* Model;
    std::uint8_t ChipId;
    std::uint8_t State;
};

std::span<const TClockInfo> ClockChipTable();
std::span<const TMBClock> BoardClockTable();
// The first row with that id; nullptr when there is none.
const TClockInfo* FindClockChip(std::uint8_t chipId);
bool IsOffered(std::uint8_t state);

class TClock;
using TClockLogEvent = std::function<void(TClock& sender, const std::string& msg, bool show)>;

class TClock {
public:
    // Registers Address on Link (when given) and takes the name and the
    // capabilities from the chip's table row ("none" and none without one).
    TClock(TLink* link, std::uint8_t chipId, int address);
    virtual ~TClock() = default;
    TClock(const TClock&) = delete;
    TClock& operator=(const TClock&) = delete;

    std::uint8_t ChipId() const { return chipId_; }
    TLink* Link() const { return link_; }
    int Address() const { return address_; }
    const std::string& Name() const { return name_; }
    const std::string& LinkName() const { return linkName_; }
    std::uint8_t Capabilities() const { return capabilities_; }
    bool CanRead() const { return (capabilities_ & ClockCapabilities::CanRead) != 0; }
    bool CanSet() const { return (capabilities_ & ClockCapabilities::CanSet) != 0; }
    void SetOnLog(TClockLogEvent onLog) { onLog_ = std::move(onLog); }

    // An all-zero entry with an empty text when Index is out of range.
    TClkEntry GetEntry(int index) const;
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    void Log(const std::string& msg, bool show);

    // One SMBus block read of the chip under the bus lock; False without a link.
    virtual bool GetCurrentRegisters(TSMBBlockData& image);
    virtual bool SetDefaultRegisters(TSMBBlockData& image);
    virtual bool AlterToNewClock(TSMBBlockData& image, int index);
    // The index of the entry the chip runs at; -1 when unknown.
    virtual int ReadClock();
    // Reads (or, for a chip that cannot be read, rebuilds) the register
    // image, alters it and writes it back, all under one hold of the bus lock.
    virtual bool SetClock(int index);

protected:
    void AddEntry(TClkEntry entry) { entries_.push_back(std::move(entry)); }
    const TClkEntries& Entries() const { return entries_; }
    bool InRange(int index) const { return index >= 0 && index < EntryCount(); }
    // The first entry with that code that is no hole, -1 when none.
    int FindSelect(std::uint8_t code) const;
    bool WriteBlock(const TSMBBlockData& image);
    bool ReadByteData(int address, std::uint8_t command, std::uint8_t& value);

    // Holds the chip's bus lock (ISA when the link's host is ISA, else SMBus)
    // for its lifetime; nothing without a link.
    class TBusHold {
    public:
        explicit TBusHold(const TClock& clock);
        ~TBusHold();
        TBusHold(const TBusHold&) = delete;
        TBusHold& operator=(const TBusHold&) = delete;

    private:
        bool held_;
        bool isISA_;
    };

private:
    std::uint8_t chipId_;
    TLink* link_;
    int address_;
    std::string name_ = "none";
    std::string linkName_ = "none";
    std::uint8_t capabilities_ = 0;
    TClockLogEvent onLog_;
    TClkEntries entries_;
};

// "$04 $0F " for the bytes 04h and 0Fh; empty for an empty image.
std::string FormatRegisterImage(const TSMBBlockData& image);

// The object of the chip's class on that link and address; nullptr for an id
// the chip table lacks.
std::unique_ptr<TClock> CreateClock(std::uint8_t chipId, TLink* link, int address);
// As the clock page makes it: on the first SMBus link of the global list at
// 69h, the nForce2 PLL without a link at 0.
std::unique_ptr<TClock> CreateClockForPage(std::uint8_t chipId);

// The processor clock in MHz over about that many milliseconds, from the
// time-stamp counter against the tick count; 1.0 without a usable counter.
float MeasureCpuClock(int milliseconds);
