#include "cpu/cvclockchips.h"

#include <array>

#include "base/cvformat.h"

namespace {

using F = TClkField;
using L = TReadClockLog;

constexpr const char* CpuPci = "CPU : %.1fMHz  PCI : %.1fMHz";
constexpr const char* CpuPciSdram = "CPU : %.1fMHz  PCI : %.1fMHz  SDRAM : %.1fMHz";
constexpr const char* CpuPciSpread = "CPU : %.1fMHz  PCI : %.1fMHz  SPREAD SPECTRUM : %s";

// Per chip: table, columns, SDRAM from CPU, format and its arguments, select
// byte and mask, keep and set masks, resize, default image, ReadClock lines.
const std::array<TClockChipDescription, 23>& Descriptions() {
    static const std::array<TClockChipDescription, 23> rows{{
        {2, ClockFrequencyTable(2), {F::Cpu, F::Pci}, false, CpuPci, {F::Cpu, F::Pci},
         0, 0x70, 0x8F, 0x08, 1, {0x00, 0xFF, 0xFF, 0xFF, 0xFF}, L::All},
        {3, ClockFrequencyTable(3), {F::Cpu, F::Pci}, false, CpuPci, {F::Cpu, F::Pci},
         0, 0x74, 0x83, 0x08, 0, {}, L::All},
        {4, ClockFrequencyTable(4), {F::Cpu, F::Pci, F::Sdram}, false, CpuPciSdram, {F::Cpu, F::Pci, F::Sdram},
         0, 0x74, 0x8B, 0x08, 0, {0x0A, 0xFD, 0xFF, 0xFF, 0x7F}, L::None},
        {5, ClockFrequencyTable(5), {F::Cpu, F::Pci}, false, CpuPci, {F::Cpu, F::Pci},
         0, 0xF4, 0x0B, 0x08, 0, {}, L::All},
        {6, ClockFrequencyTable(6), {F::Cpu, F::Pci}, false, CpuPci, {F::Cpu, F::Pci},
         0, 0xF4, 0x0B, 0x08, 6, {0x5A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x06}, L::None},
        {7, ClockFrequencyTable(7), {F::Cpu, F::Sdram, F::Pci, F::Agp}, false,
         "CPU : %.1fMHz  SDRAM : %.1fMHz  PCI : %.1fMHz  AGP : %.1fMHz", {F::Cpu, F::Sdram, F::Pci, F::Agp},
         0, 0xF4, 0x03, 0x08, 0, {}, L::All},
        {8, ClockFrequencyTable(8), {F::Cpu, F::Sdram, F::Pci}, false, CpuPciSdram, {F::Cpu, F::Pci, F::Sdram},
         4, 0xF4, 0x0B, 0x08, 5, {0xFF, 0xFF, 0xFF, 0xFF, 0x02}, L::None},
        {9, ClockFrequencyTable(9), {F::Cpu, F::Pci}, false, CpuPci, {F::Cpu, F::Pci},
         0, 0x74, 0x8B, 0x08, 0, {0x8A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, L::All},
        {10, ClockFrequencyTable(10), {F::Cpu, F::Pci}, false, CpuPci, {F::Cpu, F::Pci},
         0, 0xF4, 0x0B, 0x08, 0, {}, L::All},
        {11, ClockFrequencyTable(11), {F::Cpu, F::Pci, F::Sdram}, false, CpuPciSdram, {F::Cpu, F::Pci, F::Sdram},
         0, 0xF4, 0x0B, 0x08, 0, {}, L::All},
        {12, ClockFrequencyTable(12), {F::Cpu, F::Pci}, false, "CPU : %.2fMHz  PCI : %.2fMHz", {F::Cpu, F::Pci},
         0, 0xF4, 0x0B, 0x08, 0, {}, L::All},
        {13, ClockFrequencyTable(13), {F::Cpu, F::Pci, F::Sdram}, false, CpuPciSdram, {F::Cpu, F::Pci, F::Sdram},
         0, 0xF4, 0x0B, 0x08, 0, {}, L::None},
        {14, ClockFrequencyTable(14), {F::Cpu, F::Pci, F::Agp}, true,
         "CPU : %.1fMHz  PCI : %.1fMHz  SDRAM : %.1fMHz AGP : %.1fMHz", {F::Cpu, F::Pci, F::Sdram, F::Agp},
         6, 0x7C, 0x83, 0x02, 0, {}, L::None},
        {15, ClockFrequencyTable(15), {F::Cpu, F::Pci, F::Agp}, false,
         "CPU : %.1fMHz  PCI : %.1fMHz  AGP : %.1fMHz %s", {F::Cpu, F::Pci, F::Agp, F::Spread},
         0, 0x3F, 0xC0, 0xC0, 0, {}, L::None},
        // Its code and its alteration are its own (TICS952005).
        {16, ClockFrequencyTable(16), {F::Cpu, F::Sdram, F::Agp, F::Pci}, false,
         "CPU : %.1fMHz  PCI : %.1fMHz  SDRAM : %.1fMHz  AGP : %.1fMHz", {F::Cpu, F::Pci, F::Sdram, F::Agp},
         4, 0x00, 0x00, 0x00, 0, {}, L::OkOnly},
        {17, ClockFrequencyTable(17), {F::Cpu, F::Agp, F::Pci}, false,
         "CPU : %.2fMHz AGP : %.2fMHz PCI : %.2fMHz", {F::Cpu, F::Agp, F::Pci},
         0, 0x7F, 0x80, 0x80, 0, {0x00}, L::OkOnly},
        {18, ClockFrequencyTable(18), {F::Cpu}, false, "CPU : %.2fMHz", {F::Cpu},
         5, 0x03, 0xFC, 0x00, 0, {}, L::All},
        {19, ClockFrequencyTable(19), {F::Cpu, F::Pci}, false, CpuPci, {F::Cpu, F::Pci},
         0, 0xF4, 0x0B, 0x08, 0, {}, L::None},
        {20, ClockFrequencyTable(20), {F::Cpu, F::Pci}, true, "CPU : %.1fMHz  SDRAM : %.1fMHz  PCI : %.1fMHz",
         {F::Cpu, F::Sdram, F::Pci}, 0, 0x70, 0x8F, 0x08, 0, {}, L::All},
        {21, ClockFrequencyTable(21), {F::Cpu, F::Pci}, false, CpuPciSpread, {F::Cpu, F::Pci, F::Spread},
         0, 0x76, 0x89, 0x08, 0, {0x04}, L::None},
        {22, ClockFrequencyTable(22), {F::Cpu, F::Pci}, false, CpuPciSpread, {F::Cpu, F::Pci, F::Spread},
         0, 0x76, 0x89, 0x08, 0, {0x04, 0x0F, 0x5F, 0x37, 0x00, 0x13, 0x00, 0x00}, L::None},
        {23, ClockFrequencyTable(23), {F::Cpu, F::Pci}, false, CpuPci, {F::Cpu, F::Pci},
         0, 0x76, 0x89, 0x08, 0, {}, L::All},
        // Its setting cannot be read back (TW48S11114).
        {24, ClockFrequencyTable(24), {F::Cpu, F::Pci}, false, CpuPci, {F::Cpu, F::Pci},
         3, 0x00, 0x8F, 0x08, 0, {0x00, 0x00, 0x00, 0x02, 0x41, 0xEF, 0x23}, L::None},
    }};
    return rows;
}

// The entry's field, writable or not as the entry is.
template <class Entry>
auto& FieldOf(Entry& entry, TClkField field) {
    switch (field) {
        case TClkField::Pci: return entry.Pci;
        case TClkField::Sdram: return entry.Sdram;
        case TClkField::Agp: return entry.Agp;
        default: return entry.Cpu;
    }
}

// Arguments past the format's own are never read.
cvformat::FormatArg ArgumentOf(const TClkEntry& entry, const TClockRow& row, const std::vector<TClkField>& args,
                               std::size_t index) {
    if (index >= args.size()) return 0.0;
    if (args[index] == TClkField::Spread) return row.Spread;
    return FieldOf(entry, args[index]);
}

TClkEntry MakeEntry(const TClockChipDescription& description, const TClockRow& row) {
    TClkEntry entry;
    entry.Select = row.Select;
    if (row.Columns[0] == 0) return entry;  // a hole: its clocks and text are unknown
    for (std::size_t i = 0; i < description.Columns.size(); ++i) FieldOf(entry, description.Columns[i]) = row.Columns[i];
    if (description.SdramIsCpu) entry.Sdram = entry.Cpu;
    const auto& args = description.FormatArgs;
    entry.Text = cvformat::Format(description.Format,
                                  {ArgumentOf(entry, row, args, 0), ArgumentOf(entry, row, args, 1),
                                   ArgumentOf(entry, row, args, 2), ArgumentOf(entry, row, args, 3)});
    return entry;
}

}  // namespace

const TClockChipDescription* FindClockChipDescription(std::uint8_t chipId) {
    for (const TClockChipDescription& description : Descriptions())
        if (description.ChipId == chipId) return &description;
    return nullptr;
}

// ---- the table-driven chip ---------------------------------------------------------

TClockChip::TClockChip(TLink* link, std::uint8_t chipId, int address, const TClockChipDescription& description)
    : TClock(link, chipId, address), description_(description) {
    for (const TClockRow& row : description_.Table) AddEntry(MakeEntry(description_, row));
}

bool TClockChip::SetDefaultRegisters(TSMBBlockData& image) {
    if (description_.DefaultImage.empty()) return false;
    image = description_.DefaultImage;
    return true;
}

void TClockChip::AlterSelectByte(TSMBBlockData& image, int index) const {
    std::uint8_t& select = image[description_.SelectByte];
    select = static_cast<std::uint8_t>((select & description_.Keep) | description_.Set | GetEntry(index).Select);
}

bool TClockChip::AlterToNewClock(TSMBBlockData& image, int index) {
    if (description_.Resize > 0) image.resize(static_cast<std::size_t>(description_.Resize), 0);
    // A chip that answered too few bytes is not written past its image.
    if (image.size() <= description_.SelectByte) return false;
    AlterSelectByte(image, index);
    return true;
}

int TClockChip::MatchImage(TSMBBlockData& image) {
    if (image.size() <= description_.SelectByte) return -1;
    return FindSelect(image[description_.SelectByte] & description_.SelectMask);
}

int TClockChip::ReadClock() {
    const bool logAll = description_.ReadLog == TReadClockLog::All;
    if (logAll) Log("About to READCLOCK", true);
    int result = -1;
    {
        TBusHold hold(*this);
        TSMBBlockData image;
        if (GetCurrentRegisters(image)) {
            if (description_.ReadLog != TReadClockLog::None)
                Log("ReadClock OK <" + FormatRegisterImage(image) + ">", true);
            result = MatchImage(image);
        }
        AfterRead();
    }
    if (logAll) Log("End of READCLOCK", true);
    return result;
}

// ---- chips with registers of their own --------------------------------------------

TICS94225::TICS94225(TLink* link, std::uint8_t chipId, int address)
    : TClockChip(link, chipId, address, *FindClockChipDescription(Id)) {}

bool TICS94225::AlterToNewClock(TSMBBlockData& image, int index) {
    Log(cvformat::Format("Block length is %d", {static_cast<int>(image.size())}), true);
    if (image.size() <= Description().SelectByte) return false;
    if (image.size() > 10) {
        Log("Reverting to standard clock selection", true);
        image[10] &= 0x7F;
    }
    AlterSelectByte(image, index);
    return true;
}

TICS94229::TICS94229(TLink* link, std::uint8_t chipId, int address)
    : TClockChip(link, chipId, address, *FindClockChipDescription(Id)) {}

bool TICS94229::AlterToNewClock(TSMBBlockData& image, int index) {
    Log(cvformat::Format("Block length is %d", {static_cast<int>(image.size())}), true);
    if (image.size() > 8) Log("Reverting to standard clock selection", true);
    if (image.size() < 5) return false;
    image[4] &= 0xBF;
    AlterSelectByte(image, index);
    return true;
}

TICS952005::TICS952005(TLink* link, std::uint8_t chipId, int address)
    : TClockChip(link, chipId, address, *FindClockChipDescription(Id)) {}

namespace {
constexpr std::size_t ByteCountRegister = 8;
}

int TICS952005::MatchImage(TSMBBlockData& image) {
    // Writing the byte count needs the image to reach byte 8.
    if (image.size() < FullLength && image.size() > ByteCountRegister) {
        image[ByteCountRegister] = static_cast<std::uint8_t>(FullLength);
        if (WriteBlock(image)) {
            Log("Enabled reading all 25 bytes from clock", true);
            if (GetCurrentRegisters(image)) Log("ReadClock new size OK <" + FormatRegisterImage(image) + ">", true);
        } else {
            Log("Unable to read all 25 bytes from clock", true);
        }
    }
    if (image.size() < FullLength) return -1;
    const std::uint8_t code = (image[4] & 0x08) != 0
                                  ? static_cast<std::uint8_t>((image[4] >> 4) + ((image[4] & 0x04) << 2) + (image[24] & 0x60))
                                  : static_cast<std::uint8_t>(image[5] & 0x1F);
    return FindSelect(code);
}

bool TICS952005::AlterToNewClock(TSMBBlockData& image, int index) {
    if (image.size() < FullLength) return false;
    const std::uint8_t select = GetEntry(index).Select;
    image[4] &= 0x0B;
    image[24] &= 0x9F;
    image[4] |= 0x08;
    image[0] &= 0xFE;
    image[4] |= static_cast<std::uint8_t>(((select << 4) & 0xF0) | ((select >> 2) & 0x04));
    image[24] |= static_cast<std::uint8_t>(select & 0x60);
    return true;
}

TRTM52039D::TRTM52039D(TLink* link, std::uint8_t chipId, int address)
    : TClockChip(link, chipId, address, *FindClockChipDescription(Id)) {}

void TRTM52039D::AfterRead() {
    Log("Start of test", true);
    static constexpr std::uint8_t DumpedRegisters[] = {0x10, 0x11, 0x12, 0x13, 0x1A};
    for (std::uint8_t reg : DumpedRegisters) {
        std::uint8_t value = 0;
        // The chip answers at 69h wherever the object was placed.
        if (ReadByteData(0x69, reg, value))
            Log(cvformat::Format("CR%.2x=$%.2x", {static_cast<unsigned>(reg), static_cast<unsigned>(value)}), true);
    }
}

TW48S11114::TW48S11114(TLink* link, std::uint8_t chipId, int address)
    : TClockChip(link, chipId, address, *FindClockChipDescription(Id)) {}

// ---- factory --------------------------------------------------------------------

namespace {

template <class Chip>
std::unique_ptr<TClock> Make(TLink* link, std::uint8_t chipId, int address) {
    return std::make_unique<Chip>(link, chipId, address);
}

using TMaker = std::unique_ptr<TClock> (*)(TLink*, std::uint8_t, int);

struct TMakerRow {
    std::uint8_t ChipId;
    TMaker MakeChip;
};

constexpr TMakerRow Makers[] = {
    {2, Make<TICS9148B04>},     {3, Make<TICS924839>},   {4, Make<TICS924873>},  {5, Make<TICS924890>},
    {6, Make<TICS924898>},      {7, Make<TICS9248171>},  {8, Make<TICS9248199ABC>}, {9, Make<TICS925008>},
    {10, Make<TICS925018>},     {11, Make<TICS925025>},  {12, Make<TICS925037>}, {13, Make<TICS94203>},
    {14, Make<TICS94225>},      {15, Make<TICS94229>},   {16, Make<TICS952005>}, {17, Make<TICS952607>},
    {18, Make<TIMIC9835>},      {19, Make<TPLL20503>},   {20, Make<TRTM52039D>}, {21, Make<TW230>},
    {22, Make<TW23003>},        {23, Make<TW311>},       {24, Make<TW48S11114>},
};

}  // namespace

std::unique_ptr<TClock> CreateClockChip(std::uint8_t chipId, TLink* link, int address) {
    for (const TMakerRow& row : Makers)
        if (row.ChipId == chipId) return row.MakeChip(link, chipId, address);
    return nullptr;
}
