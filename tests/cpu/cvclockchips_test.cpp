// The SMBus clock chips against a simulated chip with a chosen register
// block: what SetClock writes and logs per chip and situation, what ReadClock
// finds, the chips with registers of their own, the bus lock, and one chip
// on a board file behind a real host controller.

#include <gmock/gmock.h>

#include "clockfixture.h"
#include "cpu/cvclockchips.h"

namespace {

using ::testing::ElementsAre;

// Per chip, from its register description: whether it can be read, the
// select byte, the keep and set masks, the length it writes (0: as read),
// its default image, and the code and text of the entry it sets (its first
// known one).
struct ChipRow {
    std::uint8_t id;
    bool canRead;
    std::size_t selectByte;
    std::uint8_t keep, set;
    std::size_t resize;
    TSMBBlockData defaultImage;
    std::uint8_t firstCode;
    const char* firstText;
    int entry = 0;
};

const ChipRow ChipRows[] = {
    {2, false, 0, 0x8F, 0x08, 1, {0x00, 0xFF, 0xFF, 0xFF, 0xFF}, 0x00, "CPU : 50.0MHz  PCI : 25.0MHz"},
    {3, true, 0, 0x83, 0x08, 0, {}, 0x30, "CPU : 66.8MHz  PCI : 33.4MHz"},
    {4, true, 0, 0x8B, 0x08, 0, {0x0A, 0xFD, 0xFF, 0xFF, 0x7F}, 0x30, "CPU : 66.9MHz  PCI : 33.4MHz  SDRAM : 100.3MHz"},
    {6, false, 0, 0x0B, 0x08, 6, {0x5A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x06}, 0x30, "CPU : 66.8MHz  PCI : 33.4MHz"},
    {7, true, 0, 0x03, 0x08, 0, {}, 0x00, "CPU : 66.7MHz  SDRAM : 66.7MHz  PCI : 33.3MHz  AGP : 66.7MHz"},
    {8, true, 4, 0x0B, 0x08, 5, {0xFF, 0xFF, 0xFF, 0xFF, 0x02}, 0x00, "CPU : 66.7MHz  PCI : 33.3MHz  SDRAM : 66.7MHz"},
    {9, true, 0, 0x8B, 0x08, 0, {0x8A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x30, "CPU : 66.8MHz  PCI : 33.4MHz"},
    {10, true, 0, 0x0B, 0x08, 0, {}, 0x30, "CPU : 66.9MHz  PCI : 33.5MHz"},
    {11, true, 0, 0x0B, 0x08, 0, {}, 0x00, "CPU : 55.0MHz  PCI : 27.5MHz  SDRAM : 82.5MHz"},
    {12, true, 0, 0x0B, 0x08, 0, {}, 0xE4, "CPU : 133.00MHz  PCI : 26.60MHz", 30},
    {13, true, 0, 0x0B, 0x08, 0, {}, 0x10, "CPU : 60.0MHz  PCI : 30.0MHz  SDRAM : 90.0MHz"},
    {17, true, 0, 0x80, 0x80, 0, {0x00}, 0x78, "CPU : 75.00MHz AGP : 50.00MHz PCI : 25.00MHz"},
    {18, false, 5, 0xFC, 0x00, 0, {}, 0x00, "CPU : 66.70MHz"},
    {19, true, 0, 0x0B, 0x08, 0, {}, 0x30, "CPU : 66.8MHz  PCI : 33.4MHz"},
    {20, true, 0, 0x8F, 0x08, 0, {}, 0x30, "CPU : 66.8MHz  SDRAM : 66.8MHz  PCI : 33.4MHz"},
    {21, true, 0, 0x89, 0x08, 0, {0x04}, 0x46, "CPU : 95.0MHz  PCI : 31.7MHz  SPREAD SPECTRUM : OFF"},
    {22, false, 0, 0x89, 0x08, 0, {0x04, 0x0F, 0x5F, 0x37, 0x00, 0x13, 0x00, 0x00}, 0x46,
     "CPU : 95.0MHz  PCI : 31.7MHz  SPREAD SPECTRUM : OFF"},
    {23, true, 0, 0x89, 0x08, 0, {}, 0x42, "CPU : 66.6MHz  PCI : 33.3MHz"},
    {24, false, 3, 0x8F, 0x08, 0, {0x00, 0x00, 0x00, 0x02, 0x41, 0xEF, 0x23}, 0x30, "CPU : 66.8MHz  PCI : 33.4MHz"},
};

enum class Situation { Readable, ReadFails, ShortImage };

const TSMBBlockData ChipImage{0xA5, 0x5A, 0xC3, 0x3C, 0x96, 0x69, 0xF0, 0x0F};

class SetClockPerChip : public ClockTest, public ::testing::WithParamInterface<std::tuple<ChipRow, Situation>> {};

std::string Dump(const TSMBBlockData& image) { return FormatRegisterImage(image); }

TEST_P(SetClockPerChip, WritesTheAlteredImageOrNothing) {
    const auto& [chip, situation] = GetParam();
    const TSMBBlockData image = situation == Situation::ShortImage ? TSMBBlockData{0xA5} : ChipImage;
    slave->setBlock(image);
    if (situation == Situation::ReadFails) FailBlocks();
    const auto clock = Make(chip.id);
    ASSERT_EQ(clock->GetEntry(chip.entry).Text, chip.firstText);

    // What the Part leads to: the chip's own image when it can be read, its
    // default image when it cannot; the select byte altered in place.
    std::vector<std::string> expected{"+ About to SETCLOCK"};
    std::optional<TSMBBlockData> source;
    if (chip.canRead) {
        if (situation != Situation::ReadFails) {
            source = image;
            expected.push_back("+ GetCurrentRegisters OK <" + Dump(image) + ">");
        }
    } else if (!chip.defaultImage.empty()) {
        source = chip.defaultImage;
        expected.push_back("+ SetDefaultRegisters OK");
    }
    std::optional<TSMBBlockData> written;
    if (!source) {
        expected.push_back("+ Unable to Set Default Registers");
    } else {
        TSMBBlockData altered = *source;
        if (chip.resize) altered.resize(chip.resize, 0);
        if (altered.size() > chip.selectByte) {
            std::uint8_t& select = altered[chip.selectByte];
            select = static_cast<std::uint8_t>((select & chip.keep) | chip.set | chip.firstCode);
            expected.push_back("+ AlterToNewClock OK <" + Dump(altered) + "> (" + chip.firstText + ")");
            written = altered;
            if (situation != Situation::ReadFails) expected.push_back("+ WriteBlock OK");
        }
    }
    expected.push_back("+ End of SETCLOCK");

    const bool wrote = written && situation != Situation::ReadFails;
    EXPECT_EQ(clock->SetClock(chip.entry), wrote);
    EXPECT_EQ(log, expected);
    if (wrote) {
        EXPECT_THAT(Writes(), ElementsAre(*written));
    } else if (!written) {
        EXPECT_TRUE(Writes().empty());
    }
    EXPECT_EQ(BusLockCount(false), 0);
}

std::string CaseName(const ::testing::TestParamInfo<SetClockPerChip::ParamType>& info) {
    static const char* const names[] = {"Readable", "ReadFails", "ShortImage"};
    return "Id" + std::to_string(std::get<0>(info.param).id) + names[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(EveryChip, SetClockPerChip,
                         ::testing::Combine(::testing::ValuesIn(ChipRows),
                                            ::testing::Values(Situation::Readable, Situation::ReadFails,
                                                              Situation::ShortImage)),
                         CaseName);

using Chips = ClockTest;

TEST_F(Chips, ReadClockMasksTheSelectByteAndTakesTheFirstMatch) {
    struct Case {
        std::uint8_t id;
        TSMBBlockData image;
        int index;
    };
    const Case cases[] = {
        {2, {0x7F}, 2},                           // 70h: 66.8 MHz
        {3, {0x04}, -1},                          // no entry has 04h
        {3, {0xFF}, -1},                          // 74h
        {3, {0x8B}, -1},
        {3, {0xB0}, 0},                           // 30h
        {17, {0xED}, 127},                        // 6Dh: 460 MHz
        {18, {0, 0, 0, 0, 0, 0x02}, 8},           // 73.3 MHz, the first of its group
        {18, {0, 0, 0, 0, 0, 0xFC}, 0},
        {20, {0x00}, 6},                          // 124 MHz
        {21, {0x76}, 1},                          // -0.5% spread
        {22, {0xF7}, 1},                          // the W230-03 alike
        {23, {0x46}, 1},
        {24, {0x00, 0x00, 0x00, 0x30}, -1},       // cannot be read back
        {8, {0xFF, 0xFF, 0xFF}, -1},              // too short for byte 4
        {18, {0x02}, -1},                         // too short for byte 5
    };
    for (const Case& c : cases) {
        slave->setBlock(c.image);
        EXPECT_EQ(Make(c.id)->ReadClock(), c.index) << int(c.id) << " " << Dump(c.image);
    }
    slave->setBlock({0x76});
    FailBlocks();
    EXPECT_EQ(Make(21)->ReadClock(), -1);
}

TEST_F(Chips, ReadClockLogsAsTheChipDoes) {
    slave->setBlock({0xB0});
    Make(3)->ReadClock();
    EXPECT_THAT(log, ElementsAre("+ About to READCLOCK", "+ ReadClock OK <$B0 >", "+ End of READCLOCK"));
    log.clear();
    Make(13)->ReadClock();
    EXPECT_TRUE(log.empty());
    Make(17)->ReadClock();
    EXPECT_THAT(log, ElementsAre("+ ReadClock OK <$B0 >"));
}

TEST_F(Chips, TheLockIsHeldFromTheReadToTheWrite) {
    slave->setBlock(ChipImage);
    ASSERT_TRUE(Make(3)->SetClock(3));
    ASSERT_EQ(segment.requests().size(), 2u);
    // The read nests in SetClock's hold, which lasts through the write.
    EXPECT_EQ(LockDepth(0), 2);
    EXPECT_EQ(LockDepth(1), 1);
    EXPECT_FALSE(segment.requests()[1].read);
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(Chips, ICS94225RevertsOnLongImages) {
    auto clock = Make(14);
    slave->setBlock({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF});
    ASSERT_TRUE(clock->SetClock(0));  // 64h
    EXPECT_EQ(log[2], "+ Block length is 7");
    EXPECT_EQ(log[3].rfind("+ AlterToNewClock OK", 0), 0u);
    EXPECT_EQ(Writes().back()[6], (0xFF & 0x83) | 0x02 | 0x64);

    log.clear();
    slave->setBlock({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF});
    ASSERT_TRUE(clock->SetClock(31));  // 7Ch
    EXPECT_EQ(log[2], "+ Block length is 11");
    EXPECT_EQ(log[3], "+ Reverting to standard clock selection");
    EXPECT_EQ(Writes().back(), (TSMBBlockData{0, 0, 0, 0, 0, 0, 0x7E, 0, 0, 0, 0x7F}));

    log.clear();
    slave->setBlock({0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_FALSE(clock->SetClock(0));
    EXPECT_THAT(log, ElementsAre("+ About to SETCLOCK", "+ GetCurrentRegisters OK <$00 $00 $00 $00 $00 $00 >",
                                 "+ Block length is 6", "+ End of SETCLOCK"));
}

TEST_F(Chips, ICS94229ClearsByte4Bit6WhateverItsLength) {
    auto clock = Make(15);
    slave->setBlock({0x3F, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00});
    ASSERT_TRUE(clock->SetClock(1));  // 0Eh
    EXPECT_EQ(log[2], "+ Block length is 9");
    EXPECT_EQ(log[3], "+ Reverting to standard clock selection");
    EXPECT_EQ(Writes().back(), (TSMBBlockData{0xCE, 0, 0, 0, 0xBF, 0, 0, 0, 0}));
    EXPECT_EQ(clock->GetEntry(1).Text, "CPU : 100.0MHz  PCI : 33.3MHz  AGP : 66.7MHz +/-0.25% spread (100MHz to SBridge)");

    log.clear();
    slave->setBlock({0x00, 0x00, 0x00, 0x00, 0x40});
    ASSERT_TRUE(clock->SetClock(0));  // 0Bh
    EXPECT_EQ(log[3].rfind("+ AlterToNewClock OK <$CB $00 $00 $00 $00 >", 0), 0u) << log[3];
}

// A 25-byte image of the ICS 952005 with bytes 4, 5 and 24 given.
TSMBBlockData Image952005(std::uint8_t byte4, std::uint8_t byte5, std::uint8_t byte24) {
    TSMBBlockData image(25, 0x00);
    image[4] = byte4;
    image[5] = byte5;
    image[24] = byte24;
    return image;
}

TEST_F(Chips, ICS952005SplitsItsCodeOverTwoRegisters) {
    auto clock = Make(16);
    ASSERT_EQ(clock->EntryCount(), 128);
    EXPECT_EQ(clock->GetEntry(127).Text, "CPU : 200.1MHz  PCI : 33.3MHz  SDRAM : 200.1MHz  AGP : 66.7MHz");
    struct Case {
        std::uint8_t byte4, byte5, byte24;
        int index;
    };
    for (const Case& c : {Case{0xEC, 0x00, 0x80, 127},  // E + 10h + 0: 1Eh
                          Case{0x08, 0x00, 0x60, 0},   // 60h
                          Case{0x6C, 0x00, 0x20, -1},  // 36h: no entry
                          Case{0x60, 0x1E, 0x60, 127},  // bit 3 clear: byte 5 and 1Fh
                          Case{0x60, 0xE0, 0x00, -1}}) {
        slave->setBlock(Image952005(c.byte4, c.byte5, c.byte24));
        EXPECT_EQ(clock->ReadClock(), c.index) << int(c.byte4);
    }
    EXPECT_TRUE(Writes().empty()) << "25 bytes came at once";

    TSMBBlockData image = Image952005(0xFF, 0x00, 0xFF);
    image[0] = 0xFF;
    slave->setBlock(image);
    ASSERT_TRUE(clock->SetClock(0));  // 60h: bits 3-0 and 4 clear, bits 6-5 set
    TSMBBlockData expected = Image952005((0xFF & 0x0B) | 0x08, 0x00, (0xFF & 0x9F) | 0x60);
    expected[0] = 0xFE;
    EXPECT_EQ(Writes().back(), expected);
}

TEST_F(Chips, ICS952005AsksForAll25Bytes) {
    auto clock = Make(16);
    TSMBBlockData full = Image952005(0xEC, 0x00, 0x00);
    full[8] = 0x0C;  // answers 12 bytes
    slave->setBlock(full);
    slave->setRegisterBlock(8);
    EXPECT_EQ(clock->ReadClock(), 127);
    ASSERT_EQ(Writes().size(), 1u);
    TSMBBlockData enable(full.begin(), full.begin() + 12);
    const std::string first = Dump(enable);
    enable[8] = 0x19;
    EXPECT_EQ(Writes()[0], enable);
    full[8] = 0x19;
    EXPECT_THAT(log, ElementsAre("+ ReadClock OK <" + first + ">",
                                 "+ Enabled reading all 25 bytes from clock",
                                 "+ ReadClock new size OK <" + Dump(full) + ">"));
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(Chips, ICS952005ShortImagesAreUnreadable) {
    auto clock = Make(16);
    slave->setBlock(TSMBBlockData(8, 0xEC));  // no byte 8 to write
    EXPECT_EQ(clock->ReadClock(), -1);
    EXPECT_TRUE(Writes().empty());
    EXPECT_FALSE(clock->SetClock(0));
    EXPECT_TRUE(Writes().empty());

    // The enabling write fails: the chip stops answering after the first read.
    log.clear();
    slave->setBlock(TSMBBlockData(12, 0xEC));
    int requests = 0;
    segment.setLockProbe([&] {
        if (++requests == 2) slave->setFault({platform::sim::SMBusFault::Kind::Nack, -1});
        return std::vector<std::string>{"0"};
    });
    EXPECT_EQ(clock->ReadClock(), -1);
    EXPECT_THAT(log, ElementsAre("+ ReadClock OK <" + Dump(TSMBBlockData(12, 0xEC)) + ">",
                                 "+ Unable to read all 25 bytes from clock"));
}

TEST_F(Chips, RealtekDumpsItsRegistersAfterTheRead) {
    slave->setBlock({0x30});
    auto& regs = slave->registers();
    regs.set(0x10, 0x12);
    regs.set(0x11, 0x34);
    regs.setFault(0x12, {platform::sim::RegisterFault::Kind::Fail});
    regs.set(0x13, 0x56);
    regs.set(0x1A, 0x78);
    EXPECT_EQ(Make(20)->ReadClock(), 0);
    EXPECT_THAT(log, ElementsAre("+ About to READCLOCK", "+ ReadClock OK <$30 >", "+ Start of test", "+ CR10=$12",
                                 "+ CR11=$34", "+ CR13=$56", "+ CR1A=$78", "+ End of READCLOCK"));
    // The dump runs whether or not the block read did.
    log.clear();
    FailBlocks();
    EXPECT_EQ(Make(20)->ReadClock(), -1);
    EXPECT_THAT(log, ElementsAre("+ About to READCLOCK", "+ Start of test", "+ CR10=$12", "+ CR11=$34", "+ CR13=$56",
                                 "+ CR1A=$78", "+ End of READCLOCK"));
}

// ---- the frequency tables ------------------------------------------------------------

// Rows per chip id, from the chips' class table.
TEST(ClockChipTables, EveryTableHasItsChipsRowCount) {
    const std::pair<std::uint8_t, std::size_t> counts[] = {
        {2, 8},   {3, 16},  {4, 16},  {5, 32},   {6, 32},   {7, 32},  {8, 32},  {9, 16},
        {10, 32}, {11, 32}, {12, 32}, {13, 32},  {14, 32},  {15, 32}, {16, 128}, {17, 128},
        {18, 16}, {19, 32}, {20, 8},  {21, 32},  {22, 32},  {23, 32}, {24, 8},
    };
    std::size_t total = 0;
    for (const auto& [id, rows] : counts) {
        EXPECT_EQ(ClockFrequencyTable(id).size(), rows) << int(id);
        total += ClockFrequencyTable(id).size();
    }
    EXPECT_EQ(total, 792u);
}

// A telling row: chip, index, select code, the clocks by field (0: no such
// column) and the spread text; then the select byte's value before the code
// is ORed in when SetClock alters a zero image (or, for a chip that cannot be
// read, its default image).
struct TellingRow {
    std::uint8_t id;
    int index;
    std::uint8_t code;
    float cpu, pci, sdram, agp;
    const char* spread;
    std::size_t selectByte;
    std::uint8_t base;
};

const TellingRow TellingRows[] = {
    {2, 0, 0x00, 50, 25, 0, 0, "", 0, 0x08},        {2, 1, 0x60, 60, 30, 0, 0, "", 0, 0x08},
    {2, 2, 0x70, 66.8f, 33.4f, 0, 0, "", 0, 0x08},  {2, 3, 0x30, 68.5f, 34.5f, 0, 0, "", 0, 0x08},
    {2, 4, 0x10, 75, 32, 0, 0, "", 0, 0x08},        {2, 5, 0x50, 75, 37.5f, 0, 0, "", 0, 0x08},
    {2, 6, 0x40, 83.3f, 33.3f, 0, 0, "", 0, 0x08},  {2, 7, 0x20, 83.3f, 41.65f, 0, 0, "", 0, 0x08},
    {20, 0, 0x30, 66.8f, 33.4f, 66.8f, 0, "", 0, 0x08}, {20, 1, 0x10, 75, 37.5f, 75, 0, "", 0, 0x08},
    {20, 2, 0x20, 83.3f, 41.7f, 83.3f, 0, "", 0, 0x08}, {20, 3, 0x70, 100, 33.3f, 100, 0, "", 0, 0x08},
    {20, 4, 0x40, 103, 34.3f, 103, 0, "", 0, 0x08},     {20, 5, 0x50, 112, 37.3f, 112, 0, "", 0, 0x08},
    {20, 6, 0x00, 124, 41.3f, 124, 0, "", 0, 0x08},     {20, 7, 0x60, 133.3f, 33.3f, 133.3f, 0, "", 0, 0x08},
    {24, 0, 0x30, 66.8f, 33.4f, 0, 0, "", 3, 0x0A}, {24, 1, 0x00, 68.5f, 34.25f, 0, 0, "", 3, 0x0A},
    {24, 2, 0x10, 75, 37.5f, 0, 0, "", 3, 0x0A},    {24, 3, 0x20, 83.3f, 41.6f, 0, 0, "", 3, 0x0A},
    {24, 4, 0x70, 100, 33.3f, 0, 0, "", 3, 0x0A},   {24, 5, 0x40, 103, 34.25f, 0, 0, "", 3, 0x0A},
    {24, 6, 0x50, 112, 37.3f, 0, 0, "", 3, 0x0A},   {24, 7, 0x60, 133.3f, 44.43f, 0, 0, "", 3, 0x0A},
    {3, 0, 0x30, 66.8f, 33.4f, 0, 0, "", 0, 0x08},  {3, 3, 0x70, 100.3f, 33.43f, 0, 0, "", 0, 0x08},
    {3, 7, 0x14, 115, 38.33f, 0, 0, "", 0, 0x08},   {3, 8, 0x50, 112, 37.33f, 0, 0, "", 0, 0x08},
    {3, 15, 0x54, 150, 37.5f, 0, 0, "", 0, 0x08},
    {9, 0, 0x30, 66.8f, 33.4f, 0, 0, "", 0, 0x08},  {9, 3, 0x70, 100.3f, 33.43f, 0, 0, "", 0, 0x08},
    {9, 7, 0x50, 112, 37.33f, 0, 0, "", 0, 0x08},   {9, 8, 0x14, 115, 38.33f, 0, 0, "", 0, 0x08},
    {9, 15, 0x54, 150, 37.5f, 0, 0, "", 0, 0x08},
    {4, 0, 0x30, 66.89f, 33.44f, 100.33f, 0, "", 0, 0x08}, {4, 6, 0x00, 100.23f, 33.41f, 100.23f, 0, "", 0, 0x08},
    {4, 15, 0x14, 150, 37.5f, 150, 0, "", 0, 0x08},
    {6, 0, 0x30, 66.82f, 33.41f, 0, 0, "", 0, 0x0A}, {6, 8, 0x70, 100.23f, 33.41f, 0, 0, "", 0, 0x0A},
    {6, 31, 0x84, 166, 41.5f, 0, 0, "", 0, 0x0A},
    {10, 0, 0x30, 66.9f, 33.45f, 0, 0, "", 0, 0x08}, {10, 8, 0x70, 100.7f, 33.57f, 0, 0, "", 0, 0x08},
    {10, 31, 0x84, 166, 41.5f, 0, 0, "", 0, 0x08},
    {7, 0, 0x00, 66.66f, 33.33f, 66.66f, 66.66f, "", 0, 0x08}, {7, 7, 0x40, 100, 33.33f, 133.33f, 66.66f, "", 0, 0x08},
    {7, 31, 0xF4, 146.66f, 36.66f, 146.66f, 73.33f, "", 0, 0x08},
    {8, 0, 0x00, 66.66f, 33.33f, 66.66f, 0, "", 4, 0x08}, {8, 17, 0x30, 133.33f, 33.33f, 133.33f, 0, "", 4, 0x08},
    {8, 31, 0xF4, 200, 33.33f, 200, 0, "", 4, 0x08},
    {11, 0, 0x00, 55, 27.5f, 82.5f, 0, "", 0, 0x08}, {11, 15, 0x84, 125, 31.3f, 93.75f, 0, "", 0, 0x08},
    {11, 31, 0x74, 153.33f, 38.3f, 153.33f, 0, "", 0, 0x08},
    {12, 30, 0xE4, 133, 26.6f, 0, 0, "", 0, 0x08},   {12, 31, 0xF4, 150, 30, 0, 0, "", 0, 0x08},
    {13, 0, 0x10, 60, 30, 90, 0, "", 0, 0x08}, {13, 16, 0x84, 132.9f, 33.21f, 99.65f, 0, "", 0, 0x08},
    {13, 31, 0xF0, 200, 50, 200, 0, "", 0, 0x08},
    {19, 0, 0x30, 66.8f, 33.4f, 0, 0, "", 0, 0x08}, {19, 7, 0x70, 100, 33.3f, 0, 0, "", 0, 0x08},
    {19, 31, 0xD4, 155, 38.7f, 0, 0, "", 0, 0x08},
    {14, 0, 0x64, 90, 30, 90, 60, "", 6, 0x02}, {14, 23, 0x00, 133.33f, 33.33f, 133.33f, 66.67f, "", 6, 0x02},
    {14, 31, 0x7C, 150, 37.5f, 150, 75, "", 6, 0x02},
    {15, 0, 0x0B, 66.67f, 33.33f, 0, 66.67f, "+/-0.25% spread", 0, 0xC0},
    {15, 1, 0x0E, 100, 33.33f, 0, 66.67f, "+/-0.25% spread (100MHz to SBridge)", 0, 0xC0},
    {15, 16, 0x21, 166.67f, 33.33f, 0, 66.67f, "0 to -0.5% spread", 0, 0xC0},
    {15, 31, 0x00, 233.33f, 38.88f, 0, 77.78f, "+/-0.25% spread", 0, 0xC0},
    {16, 0, 0x60, 100, 33.33f, 100, 66.66f, "", 4, 0},  {16, 1, 0x20, 100, 33.33f, 100, 66.66f, "", 4, 0},
    {16, 127, 0x1E, 200.05f, 33.34f, 200.05f, 66.68f, "", 4, 0},
    {17, 0, 0x78, 75, 25, 0, 50, "", 0, 0x80}, {17, 7, 0x00, 100, 33.33f, 0, 66.66f, "", 0, 0x80},
    {17, 127, 0x6D, 460, 40, 0, 79.99f, "", 0, 0x80},
    {21, 0, 0x46, 95, 31.7f, 0, 0, "OFF", 0, 0x08}, {21, 1, 0x76, 100, 33.3f, 0, 0, "-0.5%", 0, 0x08},
    {21, 3, 0x56, 100, 33.3f, 0, 0, "0.5%", 0, 0x08}, {21, 31, 0x00, 166, 41.6f, 0, 0, "OFF", 0, 0x08},
    {22, 0, 0x46, 95, 31.7f, 0, 0, "OFF", 0, 0x08}, {22, 1, 0x76, 100, 33.3f, 0, 0, "-0.5%", 0, 0x08},
    {22, 3, 0x56, 100, 33.3f, 0, 0, "0.5%", 0, 0x08}, {22, 31, 0x00, 166, 41.6f, 0, 0, "OFF", 0, 0x08},
    {23, 0, 0x42, 66.6f, 33.3f, 0, 0, "", 0, 0x08}, {23, 1, 0x46, 66.6f, 33.3f, 0, 0, "", 0, 0x08},
    {23, 31, 0x00, 200, 33.3f, 0, 0, "", 0, 0x08},
};

// The IMI C9835: four groups of four rows that share a code.
const float C9835Clocks[16] = {66.7f, 100, 133.3f, 133.3f, 70, 105, 140, 140,
                               73.3f, 110, 146.7f, 146.7f, 80, 120, 160, 160};

TEST_F(Chips, EveryTellingRowSitsAtItsIndex) {
    for (const TellingRow& row : TellingRows) {
        const TClkEntry entry = Make(row.id)->GetEntry(row.index);
        const std::string where = std::to_string(row.id) + "[" + std::to_string(row.index) + "]";
        EXPECT_EQ(entry.Select, row.code) << where;
        EXPECT_EQ(entry.Cpu, row.cpu) << where;
        EXPECT_EQ(entry.Pci, row.pci) << where;
        EXPECT_EQ(entry.Sdram, row.sdram) << where;
        EXPECT_EQ(entry.Agp, row.agp) << where;
        EXPECT_TRUE(entry.Text.ends_with(row.spread)) << where << " " << entry.Text;
        EXPECT_FALSE(entry.IsHole()) << where;
    }
    const auto imi = Make(18);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(imi->GetEntry(i).Select, i / 4) << i;
        EXPECT_EQ(imi->GetEntry(i).Cpu, C9835Clocks[i]) << i;
    }
}

TEST_F(Chips, EveryTellingRowsCodeReadsAsItsIndexAndSetsThePartsByte) {
    for (const TellingRow& row : TellingRows) {
        const std::string where = std::to_string(row.id) + "[" + std::to_string(row.index) + "]";
        TSMBBlockData image(row.id == 16 ? 25 : 8, 0x00);
        if (row.id == 16) {
            image[4] = static_cast<std::uint8_t>((row.code & 0x0F) << 4 | 0x08 | (row.code & 0x10) >> 2);
            image[24] = row.code & 0x60;
        } else {
            image[row.selectByte] = row.code;
        }
        slave->setBlock(image);
        const auto clock = Make(row.id);
        // The W48S111-14 cannot be read back.
        EXPECT_EQ(clock->ReadClock(), row.id == 24 ? -1 : row.index) << where;

        slave->setBlock(TSMBBlockData(row.id == 16 ? 25 : 8, 0x00));
        ASSERT_TRUE(clock->SetClock(row.index)) << where;
        const TSMBBlockData written = Writes().back();
        if (row.id == 16) {
            EXPECT_EQ(written[4], ((row.code << 4) & 0xF0) | 0x08 | ((row.code >> 2) & 0x04)) << where;
            EXPECT_EQ(written[24], row.code & 0x60) << where;
        } else {
            EXPECT_EQ(written.at(row.selectByte), row.base | row.code) << where;
        }
    }
    for (int i = 0; i < 16; ++i) {
        slave->setBlock({0, 0, 0, 0, 0, static_cast<std::uint8_t>(i / 4)});
        EXPECT_EQ(Make(18)->ReadClock(), i / 4 * 4) << "the first of its group";
    }
}

TEST_F(Chips, HolesAreNeverMatchedAndRefusedBySetWithALine) {
    // The 9248-90's 32 codes are known, none of its clocks.
    const auto ics924890 = Make(5);
    ASSERT_EQ(ics924890->EntryCount(), 32);
    for (int i = 0; i < 32; ++i) {
        const TClkEntry entry = ics924890->GetEntry(i);
        EXPECT_EQ(entry.Select, i < 16 ? i << 4 : (i - 16) << 4 | 0x04) << i;
        EXPECT_TRUE(entry.IsHole()) << i;
        EXPECT_EQ(entry.Text, "") << i;
    }
    slave->setBlock({0x10});
    EXPECT_EQ(ics924890->ReadClock(), -1) << "code 10h is row 1, a hole";

    // The 9250-37's holes carry their codes; the row at 00h is one of them.
    slave->setBlock({0x00});
    EXPECT_EQ(Make(12)->GetEntry(0).Select, 0x00);
    EXPECT_EQ(Make(12)->ReadClock(), -1);

    log.clear();
    slave->setBlock(ChipImage);
    const std::size_t requests = segment.requests().size();
    EXPECT_FALSE(Make(15)->SetClock(16 - 1));
    EXPECT_FALSE(Make(3)->SetClock(1));
    EXPECT_THAT(log, ElementsAre("+ About to SETCLOCK", "+ No known setting at index (15)", "+ End of SETCLOCK",
                                 "+ About to SETCLOCK", "+ No known setting at index (1)", "+ End of SETCLOCK"));
    EXPECT_EQ(segment.requests().size(), requests) << "a refused set touches no bus";
    EXPECT_TRUE(Make(15)->SetClock(16)) << "the ICS 94229's 166.67 MHz row";
}

// ---- through the board ---------------------------------------------------------------

class ClockBoard : public ClockTest {
protected:
    ClockBoard() {
        loadBoard("clock-ics952005.json");
        IOPort = std::make_unique<TIOPort>();
        Links().clear();
        // An ICH8, whose 32-byte block buffer the board turns on.
        AddLink("Intel", 63, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, 0, 31, 3);
    }
    ~ClockBoard() override { Links().clear(); }
};

TEST_F(ClockBoard, TheICS952005ReadsAndSetsThroughTheIntelHost) {
    auto clock = CreateClockForPage(16);
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ(clock->Name(), "ICS 952005");
    EXPECT_EQ(clock->ReadClock(), 127) << "200.05 MHz once all 25 bytes came";
    ASSERT_TRUE(clock->SetClock(0));
    EXPECT_EQ(clock->ReadClock(), 0) << "100 MHz, code 60h";
    EXPECT_EQ(BusLockCount(false), 0);
}

}  // namespace
