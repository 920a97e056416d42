#include "cpu/cvclocks.h"

#include <algorithm>
#include <array>

#include "base/cvformat.h"
#include "core/cvvars.h"
#include "cpu/cvclockchips.h"
#include "cpu/cvnforce2clock.h"
#include "hw/cvbuslocks.h"
#include "platform/platform.h"

namespace {

constexpr std::uint8_t SetRead = ClockCapabilities::CanSet | ClockCapabilities::CanRead;
constexpr std::uint8_t SetOnly = ClockCapabilities::CanSet;

// Lookups go by id: the ids are not in row order.
constexpr std::array<TClockInfo, 24> ClockChips{{
    {2, "ICS", "9148B-04", SetOnly, 2},
    {3, "ICS", "9248-39", SetRead, 2},
    {4, "ICS", "9248-73", SetRead, 4},
    {5, "ICS", "9248-90", SetRead, 2},
    {6, "ICS", "9248-98", SetOnly, 0},
    {7, "ICS", "9248-171", SetRead, 2},
    {8, "ICS", "9248(ABC)F-199", SetRead, 2},
    {9, "ICS", "9250-08", SetRead, 0},
    {10, "ICS", "9250-18", SetRead, 2},
    {11, "ICS", "9250-25", SetRead, 0},
    {12, "ICS", "9250-37", SetRead, 2},
    {13, "ICS", "94203", SetRead, 0},
    {14, "ICS", "94225", SetRead, 2},
    {15, "ICS", "94229", SetRead, 4},
    {16, "ICS", "952005", SetRead, 2},
    {17, "ICS", "952607", SetRead, 2},
    {18, "IMI", "C9835", SetOnly, 0},
    {25, "nVidia", "nForce2", SetRead, 2},
    {19, "PhaseLink", "205-03", SetRead, 2},
    {20, "Realtek", "RTM520-39D", SetRead, 0},
    {24, "Cypress", "W48S111-14", SetOnly, 0},
    {21, "Cypress", "W230", SetRead, 0},
    {23, "Cypress", "W311", SetRead, 2},
    {22, "Cypress", "W230-03", SetOnly, 0},
}};

constexpr std::array<TMBClock, 43> Boards{{
    {"ABIT", "AN7", 25, 2},
    {"ABIT", "BP6", 5, 2},
    {"ABIT", "BX133 RAID", 20, 0},
    {"ABIT", "KT7A", 19, 2},
    {"ABIT", "KT7A-RAID", 19, 2},
    {"ABIT", "SE6", 11, 0},
    {"ABIT", "NF7-S", 25, 2},
    {"AMPTRON", "K7VZA", 22, 0},
    {"AOPEN", "AK79D-400 Max", 25, 2},
    {"AOPEN", "AK79G-Max", 25, 2},
    {"ASUS", "A7N8X", 25, 2},
    {"ASUS", "A7N8X-X", 25, 2},
    {"ASUS", "A7N8X-E DeLuxe", 25, 2},
    {"ASUS", "P2B-F", 9, 0},
    {"ASUS", "P3B-F", 9, 0},
    {"ASUS", "CUV4X", 6, 0},
    {"ASUS", "P4P800 DeLuxe", 17, 2},
    {"ASUS", "P4T", 12, 2},
    {"BIOSTAR", "IDEQ 200N", 25, 2},
    {"CHAINTECH", "CT-6BJM", 10, 2},
    {"DELTA", "MP2-BX-X", 24, 0},
    {"DFI", "CS60-EC", 13, 0},
    {"DFI", "AK-76SN", 14, 2},
    {"ECS", "K7S5A", 8, 2},
    {"ECS", "K7S6A", 8, 2},
    {"GIGABYTE", "GA-7N400-L", 25, 2},
    {"GIGABYTE", "GA-7N400 Pro 2", 25, 2},
    {"IWILL", "P4R533-N", 12, 2},
    {"LEADTEK", "WinFast K7NCR18DLM", 25, 2},
    {"LUCKY STAR", "6LX2", 2, 2},
    {"MEDION", "MD5000", 16, 2},
    {"MSI", "865PE-NEO2-P", 17, 2},
    {"MSI", "MS-6701", 16, 2},
    {"MSI", "K7N2 Delta-L", 25, 2},
    {"MSI", "K7N2G", 25, 2},
    {"MSI", "K7N2GM2-LSR", 25, 2},
    {"PCCHIPS", "M817", 7, 2},
    {"PCCHIPS", "M830L", 8, 2},
    {"QDI", "Advance 10B", 3, 2},
    {"SHUTTLE", "SN45", 25, 2},
    {"SOYO", "7IWM-L", 4, 2},
    {"SOYO", "K7V DRAGON", 15, 0},
    {"VIA", "EPIA M9000", 23, 2},
}};

}  // namespace

std::span<const TClockInfo> ClockChipTable() { return ClockChips; }
std::span<const TMBClock> BoardClockTable() { return Boards; }

const TClockInfo* FindClockChip(std::uint8_t chipId) {
    for (const TClockInfo& row : ClockChips)
        if (row.Id == chipId) return &row;
    return nullptr;
}

bool IsOffered(std::uint8_t state) { return state == 1 || state == 2; }

// ---- TClock ------------------------------------------------------------------

TClock::TClock(TLink* link, std::uint8_t chipId, int address) : chipId_(chipId), link_(link), address_(address) {
    if (link_) {
        link_->RegisterAddress(address_);
        linkName_ = link_->DisplayName();
    }
    if (const TClockInfo* row = FindClockChip(chipId_)) {
        name_ = std::string(row->Vendor) + " " + row->Model;
        capabilities_ = row->Capabilities;
    }
}

TClkEntry TClock::GetEntry(int index) const { return InRange(index) ? entries_[static_cast<std::size_t>(index)] : TClkEntry{}; }

void TClock::Log(const std::string& msg, bool show) {
    if (onLog_) onLog_(*this, msg, show);
}

TClock::TBusHold::TBusHold(const TClock& clock)
    : held_(clock.link_ != nullptr), isISA_(held_ && clock.link_->HostKind() == HostKinds::ISA) {
    if (held_) AcquireBusLock(isISA_);
}

TClock::TBusHold::~TBusHold() {
    if (held_) ReleaseBusLock(isISA_);
}

bool TClock::GetCurrentRegisters(TSMBBlockData& image) {
    if (!link_) return false;
    TBusHold hold(*this);
    return link_->ReadBlock(address_, image);
}

bool TClock::SetDefaultRegisters(TSMBBlockData&) { return false; }

bool TClock::AlterToNewClock(TSMBBlockData&, int) { return false; }

int TClock::ReadClock() { return -1; }

bool TClock::WriteBlock(const TSMBBlockData& image) { return link_ && link_->WriteBlock(address_, image); }

bool TClock::ReadByteData(int address, std::uint8_t command, std::uint8_t& value) {
    return link_ && link_->ReadByteData(address, command, value);
}

int TClock::FindSelect(std::uint8_t code) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].Select == code && !entries_[i].IsHole()) return static_cast<int>(i);
    return -1;
}

bool TClock::SetClock(int index) {
    Log("About to SETCLOCK", true);
    bool result = false;
    if (!InRange(index)) {
        Log(cvformat::Format("Index out of bounds (%d)", {index}), true);
    } else if (GetEntry(index).IsHole()) {
        Log(cvformat::Format("No known setting at index (%d)", {index}), true);
    } else {
        TBusHold hold(*this);
        TSMBBlockData image;
        bool haveImage = false;
        // A chip that can be read is only ever written with its own image:
        // a default image could undo settings the board made.
        if (CanRead()) {
            haveImage = GetCurrentRegisters(image);
            if (haveImage) Log("GetCurrentRegisters OK <" + FormatRegisterImage(image) + ">", true);
        } else if ((haveImage = SetDefaultRegisters(image))) {
            Log("SetDefaultRegisters OK", true);
        }
        if (!haveImage) {
            Log("Unable to Set Default Registers", true);
        } else if (AlterToNewClock(image, index)) {
            Log(cvformat::Format("AlterToNewClock OK <%s> (%s)", {FormatRegisterImage(image), GetEntry(index).Text}),
                true);
            if (WriteBlock(image)) {
                Log("WriteBlock OK", true);
                result = true;
            }
        }
    }
    Log("End of SETCLOCK", true);
    return result;
}

std::string FormatRegisterImage(const TSMBBlockData& image) {
    std::string text;
    for (std::uint8_t byte : image) text += cvformat::Format("$%.2x ", {static_cast<unsigned>(byte)});
    return text;
}

// ---- factory -----------------------------------------------------------------

std::unique_ptr<TClock> CreateClock(std::uint8_t chipId, TLink* link, int address) {
    if (!FindClockChip(chipId)) return nullptr;
    if (chipId == TNForce2::Id) return std::make_unique<TNForce2>(link, chipId, address);
    return CreateClockChip(chipId, link, address);
}

std::unique_ptr<TClock> CreateClockForPage(std::uint8_t chipId) {
    if (chipId == TNForce2::Id) return CreateClock(chipId, nullptr, 0);
    TLink* smbus = nullptr;
    for (const auto& link : Links()) {
        if (link->LinkKind() == LinkKinds::SMBus) {
            smbus = link.get();
            break;
        }
    }
    return CreateClock(chipId, smbus, 0x69);
}

// ---- processor clock ---------------------------------------------------------

namespace {

// Raises the process and the thread to real-time priority through the
// platform and restores what they had, on every path.
class TPriorityBoost {
public:
    explicit TPriorityBoost(platform::Platform& machine) : machine_(machine), saved_(machine.schedulingPriority()) {
        machine_.setSchedulingPriority(
            {platform::SchedulingPriority::RealtimeClass, platform::SchedulingPriority::ThreadTimeCritical});
    }
    ~TPriorityBoost() { machine_.setSchedulingPriority(saved_); }
    TPriorityBoost(const TPriorityBoost&) = delete;
    TPriorityBoost& operator=(const TPriorityBoost&) = delete;

private:
    platform::Platform& machine_;
    platform::SchedulingPriority saved_;
};

// Reads the tick count, then spins until it changes: the edge the counter is
// read at.
std::uint32_t TickBeforeNextEdge(platform::Platform& machine) {
    const std::uint32_t tick = machine.tickCount();
    while (machine.tickCount() == tick) {
    }
    return tick;
}

}  // namespace

float MeasureCpuClock(int milliseconds) {
    if (!HasTSC) return 1.0f;
    platform::Platform& machine = platform::current();
    std::uint32_t a = 0, b = 0;
    std::uint64_t t0 = 0, t1 = 0;
    {
        TPriorityBoost boost(machine);
        a = TickBeforeNextEdge(machine);
        t0 = machine.timeStampCounter();
        machine.clock().sleepMs(static_cast<std::uint32_t>(std::max(milliseconds, 0)));
        b = TickBeforeNextEdge(machine);
        t1 = machine.timeStampCounter();
    }
    // Unsigned 32-bit: the tick count's wrap does no harm.
    const std::uint32_t elapsedMs = b - a;
    return static_cast<float>(static_cast<double>(t1 - t0) / (1000.0 * elapsedMs));
}
