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
// its default image, and its first entry's code and text.
struct ChipRow {
    std::uint8_t id;
    bool canRead;
    std::size_t selectByte;
    std::uint8_t keep, set;
    std::size_t resize;
    TSMBBlockData defaultImage;
    std::uint8_t firstCode;
    const char* firstText;
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
    {12, true, 0, 0x0B, 0x08, 0, {}, 0xE4, "CPU : 133.00MHz  PCI : 26.60MHz"},
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
    ASSERT_EQ(clock->GetEntry(0).Text, chip.firstText);

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
    EXPECT_EQ(clock->SetClock(0), wrote);
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
        {17, {0xED}, 2},                          // 6Dh: 460 MHz
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
    ASSERT_TRUE(Make(3)->SetClock(1));
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
    ASSERT_TRUE(clock->SetClock(2));  // 7Ch
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
    ASSERT_EQ(clock->EntryCount(), 3);
    EXPECT_EQ(clock->GetEntry(2).Text, "CPU : 200.1MHz  PCI : 33.3MHz  SDRAM : 200.1MHz  AGP : 66.7MHz");
    struct Case {
        std::uint8_t byte4, byte5, byte24;
        int index;
    };
    for (const Case& c : {Case{0xEC, 0x00, 0x80, 2},   // E + 10h + 0: 1Eh
                          Case{0x08, 0x00, 0x60, 0},   // 60h
                          Case{0x6C, 0x00, 0x20, -1},  // 36h: no entry
                          Case{0x60, 0x1E, 0x60, 2},   // bit 3 clear: byte 5 and 1Fh
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
    EXPECT_EQ(clock->ReadClock(), 2);
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
    EXPECT_EQ(clock->ReadClock(), 2) << "200 MHz once all 25 bytes came";
    ASSERT_TRUE(clock->SetClock(0));
    EXPECT_EQ(clock->ReadClock(), 0) << "100 MHz, code 60h";
    EXPECT_EQ(BusLockCount(false), 0);
}

}  // namespace
