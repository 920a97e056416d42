#include "detect/cvdetect.h"

#include <gtest/gtest.h>

#include "base/cvformat.h"
#include "detect/probefixture.h"
#include "hw/cvbuslocks.h"
#include "hw/cvsuperioinfo.h"

namespace {

using cvformat::Format;
using platform::sim::RegisterBehaviour;
using platform::sim::RegisterFault;
using platform::sim::SMBusFault;

class DetectionEngine : public ProbeTest {
protected:
    ~DetectionEngine() override { SuperIOInfo = {}; }
    std::string on(std::uint32_t address) const { return Format("on %s at $%.2x", {name(smbus), address}); }
};

// ---- sinks ------------------------------------------------------------------------

TEST_F(DetectionEngine, OutputsGoToTheirSinksAndUnsetOnesDoNothing) {
    engine.Debug("quiet", 0);
    engine.Debug("loud", 1);
    engine.Found("found");
    engine.Log("logged", 0);
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{"quiet", "loud", "found", "logged"}));
    EXPECT_EQ(boxes.Readings, (std::vector<std::string>{"loud", "found"}));
    EXPECT_TRUE(traced("logged"));
    EXPECT_FALSE(traced("found"));

    TDetectionEngine silent({}, {}, {});
    silent.Debug("x", 1);
    silent.Found("x");
    silent.Log("x", 1);
    EXPECT_EQ(boxes.Info.size(), 4u);
}

// ---- Winbond bank-switched vendor word ------------------------------------------------

// A Winbond monitor: banks in 4Eh bits 2:0, vendor 5CA3h in 4Fh (high byte
// while 4Eh bit 7 is set), chip id in 58h of bank 0 only.
std::shared_ptr<platform::sim::SMBusSlave> WinbondMonitor(std::uint8_t bankRegister, std::uint8_t chipId) {
    auto slave = std::make_shared<platform::sim::SMBusSlave>(std::make_shared<platform::sim::RegisterFile>(4));
    auto& regs = slave->registers();
    regs.setBankSelector({0x4E, 0x07, 0, 0x50, 0x5F});
    regs.setByteSelector({0x4E, 0x80});
    RegisterBehaviour word;
    word.word = true;
    word.writeMask = 0;
    regs.setBehaviour(0x4F, word);
    regs.set(0x4F, 0x5CA3);
    regs.set(0x58, chipId, 0);
    regs.set(0x58, 0x99, 3);
    regs.set(0x4E, bankRegister);
    return slave;
}

TEST_F(DetectionEngine, WinbondType1BankWritesAreRestoredWhateverTheBankRegister) {
    struct Case {
        std::uint8_t bank;
        std::vector<int> writes;
    };
    const Case cases[] = {
        {0x80, {0x00, 0x80, 0x80}},
        {0x00, {0x80, 0x00, 0x00}},
        {0x83, {0x03, 0x83, 0x80, 0x83}},  // chip id read after switching to bank 0, bit 7 kept
    };
    for (const Case& c : cases) {
        segment.clearRequests();
        boxes.Readings.clear();
        segment.attach(0x2D, WinbondMonitor(c.bank, 0x21));
        EXPECT_TRUE(engine.ProbeWinbondType1(smbus, 0x2D, "W83627HF", 0x21, 0x5CA3)) << int(c.bank);
        EXPECT_EQ(writesTo(0x4E), c.writes) << int(c.bank);
        EXPECT_EQ(segment.slave(0x2D)->registers().peek(0x4E), c.bank);
        EXPECT_EQ(boxes.Readings, (std::vector<std::string>{"W83627HF (ID=$21) found " + on(0x2D)}));
    }
}

TEST_F(DetectionEngine, WinbondType1Refusals) {
    segment.attach(0x2D, WinbondMonitor(0x80, 0x21));
    EXPECT_FALSE(engine.ProbeWinbondType1(smbus, 0x2D, "X", 0x30, 0x5CA3));  // chip id
    EXPECT_TRUE(writesTo(0x4E).empty());
    EXPECT_FALSE(engine.ProbeWinbondType1(smbus, 0x2D, "X", 0x21, 0x5C12));  // second vendor byte
    EXPECT_EQ(writesTo(0x4E), (std::vector<int>{0x00, 0x80, 0x80}));
    EXPECT_TRUE(engine.ProbeWinbondType1(smbus, 0x2D, "", 0x21, 0x5CA3));
    EXPECT_TRUE(boxes.Readings.empty());

    // Bank 3, chip id unreadable after the switch: the internal error line.
    segment.attach(0x2E, WinbondMonitor(0x83, 0x21));
    segment.slave(0x2E)->registers().setFault(0x58, {RegisterFault::Kind::Fail}, 0);
    EXPECT_FALSE(engine.ProbeWinbondType1(smbus, 0x2E, "X", 0x21, 0x5CA3));
    EXPECT_EQ(boxes.Readings,
              (std::vector<std::string>{"!!!Serious internal detection error in ProbeWinbondType1 ($FFFF)!!! "}));
    EXPECT_EQ(segment.slave(0x2E)->registers().peek(0x4E), 0x83);
    EXPECT_FALSE(engine.ProbeWinbondType1(smbus, 0x2F, "X", 0x21, 0x5CA3));  // nobody there
}

// Types 3 and 4: bank register 00h, vendor word through bit 7 of it.
std::shared_ptr<platform::sim::SMBusSlave> BankedMonitor(std::uint8_t vendorReg, std::uint8_t idReg,
                                                         std::uint8_t revReg, std::uint16_t vendor,
                                                         std::uint8_t id, std::uint8_t rev) {
    auto slave = std::make_shared<platform::sim::SMBusSlave>();
    auto& regs = slave->registers();
    regs.setByteSelector({0x00, 0x80});
    RegisterBehaviour word;
    word.word = true;
    regs.setBehaviour(vendorReg, word);
    regs.set(vendorReg, vendor);
    regs.set(idReg, id);
    regs.set(revReg, rev);
    regs.set(0x00, 0x80);
    return slave;
}

TEST_F(DetectionEngine, WinbondTypes3And4SurveyAndFoundLines) {
    segment.attach(0x2C, BankedMonitor(0x0D, 0x0E, 0x0F, 0x5CA3, 0x41, 0x03));
    segment.attach(0x2D, BankedMonitor(0xFD, 0xFE, 0xFB, 0x1234, 0x52, 0x07));
    EXPECT_FALSE(engine.ProbeWinbondType3(smbus, 0x2C, true, "", false, true, 0, 0, 0));
    EXPECT_FALSE(engine.ProbeWinbondType3(smbus, 0x2C, true, "", false, false, 0, 0, 0));
    EXPECT_FALSE(engine.ProbeWinbondType4(smbus, 0x2D, true, "", true, true, 0, 0, 0));
    EXPECT_TRUE(engine.ProbeWinbondType3(smbus, 0x2C, false, "W83L784R", true, true, 0x03, 0x41, 0x5CA3));
    EXPECT_FALSE(engine.ProbeWinbondType3(smbus, 0x2C, false, "W83L784R", false, true, 0x04, 0x41, 0x5CA3));
    EXPECT_TRUE(engine.ProbeWinbondType4(smbus, 0x2D, false, "W83793G", false, false, 0, 0x52, 0x1234));
    EXPECT_EQ(boxes.Readings, (std::vector<std::string>{
                                  "Unknown Winbond3=$5CA3 ID=$41 REV=$03 " + on(0x2C),
                                  "Unknown Winbond3=$5CA3 ID=$41 " + on(0x2C),
                                  "Vendor : $1234",
                                  "ChipID : $52",
                                  "Unknown Winbond4=$1234 ID=$52 REV=$07 " + on(0x2D),
                                  "W83L784R (ID=$41 REV=$03) found " + on(0x2C),
                                  "Vendor : $1234",
                                  "ChipID : $52",
                                  "W83793G (ID=$52) found " + on(0x2D),
                              }));
    // The bank-0 flag selects bank 0 and puts the bank register back.
    EXPECT_EQ(segment.slave(0x2C)->registers().peek(0x00), 0x80);
    EXPECT_EQ(segment.slave(0x2D)->registers().peek(0x00), 0x80);
}

TEST_F(DetectionEngine, ReadsFailingMidProbeRestoreTheBankAndReleaseTheBus) {
    auto type3 = BankedMonitor(0x0D, 0x0E, 0x0F, 0x5CA3, 0x41, 0x03);
    type3->registers().setFault(0x0E, {RegisterFault::Kind::Fail});
    segment.attach(0x2C, type3);
    EXPECT_FALSE(engine.ProbeWinbondType3(smbus, 0x2C, false, "W83L784R", true, true, 0x03, 0x41, 0x5CA3));
    EXPECT_EQ(writesTo(0x00), (std::vector<int>{0x00, 0x80, 0x00, 0x80}));  // bank 0 selected, then put back
    auto type1 = WinbondMonitor(0x80, 0x21);
    type1->setFault({SMBusFault::Kind::Nack, -1});  // gone from the bus
    segment.attach(0x2D, type1);
    EXPECT_FALSE(engine.ProbeWinbondType1(smbus, 0x2D, "W83627HF", 0x21, 0x5CA3));
    attach(0x4C, {{0x3E, 0x41}});
    segment.slave(0x4C)->registers().setFault(0x3F, {RegisterFault::Kind::Fail});
    EXPECT_FALSE(engine.ProbeADM1(smbus, 0x4C, false, "ADM1021", 0x41, 0x00));
    EXPECT_EQ(engine.ProbeJedecJC424(smbus, 0x4C), 1);
    EXPECT_EQ(BusLockCount(false), 0);
    EXPECT_TRUE(boxes.Readings.empty());
}

TEST_F(DetectionEngine, WinbondType2AndChipIdReadWithoutWriting) {
    attach(0x2D, {{0x4E, 0x30}, {0x4C, 0xA3}, {0x4D, 0x5C}, {0x58, 0x30}, {0x4F, 0xA3}});
    EXPECT_TRUE(engine.ProbeWinbondType2(smbus, 0x2D, false, "W83781D", 0x30, 0x5CA3));
    EXPECT_FALSE(engine.ProbeWinbondType2(smbus, 0x2D, true, "", 0x00, 0x1234));
    EXPECT_FALSE(engine.ProbeWinbondType2(smbus, 0x2D, false, "W83781D", 0x31, 0x5CA3));
    EXPECT_FALSE(engine.ProbeWinbondChipId(smbus, 0x2D, "W83782D", 0x30, 0x5CA3));  // 4Eh is the high byte here
    EXPECT_TRUE(writesTo(0x4E).empty());
    EXPECT_EQ(boxes.Readings, (std::vector<std::string>{"W83781D (ID=$30) found " + on(0x2D),
                                                        "Unknown Winbond2=$5CA3 ID=$30 " + on(0x2D)}));
}

// ---- vendor, id and revision signatures ---------------------------------------------------

TEST_F(DetectionEngine, SurveyLinesOfEveryFamilyAndSilenceForBlankBytes) {
    struct Case {
        const char* family;
        std::vector<std::pair<std::uint8_t, std::uint16_t>> regs;  // the two bytes of the survey line: 12h, 34h
        std::function<bool(int, std::uint32_t)> probe;
    };
    const std::vector<Case> cases = {
        {"ADM1", {{0x3E, 0x12}, {0x3F, 0x34}}, [&](int l, std::uint32_t a) { return engine.ProbeADM1(l, a, true, "", 0, 0); }},
        {"ADM2", {{0xFE, 0x12}, {0xFF, 0x34}},
         [&](int l, std::uint32_t a) { return engine.ProbeADM2(l, a, true, "", 0x01, 0, 0, true, 0, true); }},
        {"ADM3", {{0x16, 0x12}, {0x17, 0x34}}, [&](int l, std::uint32_t a) { return engine.ProbeADM3(l, a, true, "", 0, 0); }},
        {"ADM4", {{0x3E, 0x12}, {0x3F, 0x34}}, [&](int l, std::uint32_t a) { return engine.ProbeADM4(l, a, true, "", 0); }},
        {"ADM5", {{0x3E, 0x12}, {0x3F, 0x34}},
         [&](int l, std::uint32_t a) { return engine.ProbeADM5(l, a, true, "", 0x40, 0x80, 0, 0, true, 0, true); }},
        {"ADM6", {{0x3E, 0x12}, {0x3D, 0x34}},
         [&](int l, std::uint32_t a) { return engine.ProbeADM6(l, a, true, "", 0x41, 0x80, 0, 0x34, 0, 0); }},
        {"ADM7", {{0x4E, 0x12}, {0x4D, 0x34}},
         [&](int l, std::uint32_t a) { return engine.ProbeADM7(l, a, true, "", 0, 0x34, 0, 0); }},
        {"SMSC", {{0xFE, 0x12}, {0xFD, 0x34}},
         [&](int l, std::uint32_t a) { return engine.ProbeSMSC(l, a, true, "", 0, 0x34, 0, 0); }},
    };
    for (const Case& c : cases) {
        boxes.Readings.clear();
        attach(0x4C, c.regs);
        const bool result = c.probe(smbus, 0x4C);
        EXPECT_EQ(boxes.Readings, (std::vector<std::string>{Format("Unknown %s Vendor=$12 ID=$34 ", {c.family}) + on(0x4C)}))
            << c.family;
        // The vendor test is dropped; the other conditions still decide.
        EXPECT_EQ(result, std::string(c.family) == "ADM2" || std::string(c.family) == "ADM5" ||
                              std::string(c.family) == "ADM6" || std::string(c.family) == "ADM7" ||
                              std::string(c.family) == "SMSC")
            << c.family;
        for (std::uint16_t blank : {0xFF, 0x00}) {
            boxes.Readings.clear();
            std::vector<std::pair<std::uint8_t, std::uint16_t>> regs;
            for (const auto& [reg, value] : c.regs) regs.push_back({reg, blank});
            attach(0x4D, regs);
            c.probe(smbus, 0x4D);
            EXPECT_TRUE(boxes.Readings.empty()) << c.family << " " << blank;
        }
    }
}

TEST_F(DetectionEngine, SignatureFoundLinesAndFailedReads) {
    attach(0x4C, {{0x3E, 0x41}, {0x3F, 0x30}, {0x16, 0x41}, {0x17, 0x45}, {0x02, 0x00}, {0xFE, 0x01}, {0xFF, 0x31}});
    EXPECT_TRUE(engine.ProbeADM1(smbus, 0x4C, false, "ADM1023", 0x41, 0x30));
    EXPECT_FALSE(engine.ProbeADM1(smbus, 0x4C, false, "ADM1023", 0x42, 0x30));
    EXPECT_TRUE(engine.ProbeADM2(smbus, 0x4C, false, "LM99", 0x01, 0x01, 0x31, false, 0x31, false));
    EXPECT_TRUE(engine.ProbeADM1026(smbus, 0x4C));
    EXPECT_FALSE(engine.ProbeChipIdRev(smbus, 0x4C, "X", 0x00, 0x55));
    segment.slave(0x4C)->registers().setFault(0x3F, {RegisterFault::Kind::Fail});
    EXPECT_FALSE(engine.ProbeADM1(smbus, 0x4C, true, "", 0, 0x30));
    EXPECT_EQ(boxes.Readings, (std::vector<std::string>{"ADM1023 (ID=$30) found " + on(0x4C),
                                                        "LM99 (ID=$31) found " + on(0x4C),
                                                        "ADM1026 (rev $05) found " + on(0x4C)}));
}

TEST_F(DetectionEngine, FixedProbesOfTheSMBusSections) {
    attach(0x2D, {{0x58, 0xAC}, {0x40, 0x01}, {0x48, 0x2D}});
    attach(0x2E, {{0x58, 0xAC}, {0x40, 0x01}, {0x48, 0x2D}});  // 48h names another address
    attach(0x1C, {{0x0F, 0x3B}, {0x8F, 0x3B}});
    attach(0x1D, {{0x0F, 0x3B}, {0x8F, 0x33}});
    attach(0x4C, {{0x03, 0x00}, {0x04, 0x07}, {0x02, 0x00}});
    attach(0x4D, {{0x03, 0x00}, {0x04, 0x08}, {0x02, 0x00}});
    EXPECT_TRUE(engine.ProbeMTP008(smbus, 0x2D));
    EXPECT_FALSE(engine.ProbeMTP008(smbus, 0x2E));
    EXPECT_TRUE(engine.ProbeLIS331DL(smbus, 0x1C));
    EXPECT_FALSE(engine.ProbeLIS331DL(smbus, 0x1D));
    EXPECT_TRUE(engine.ProbeMAX1617(smbus, 0x4C, "MAX1617"));
    EXPECT_FALSE(engine.ProbeMAX1617(smbus, 0x4D, "MAX1617"));
    EXPECT_EQ(boxes.Readings, (std::vector<std::string>{"MTP008 found " + on(0x2D), "LIS331DL found " + on(0x1C),
                                                        "MAX1617 found " + on(0x4C)}));
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{
                              "MTP008 found " + on(0x2D), "LIS331DL found " + on(0x1C),
                              "MAX1617 configuration byte=$00 ($4C)", "MAX1617 conversion rate=$07 ($4C)",
                              "MAX1617 status byte=$00 ($4C)", "MAX1617 found " + on(0x4C),
                              "MAX1617 configuration byte=$00 ($4D)", "MAX1617 conversion rate=$08 ($4D)"}));
}

// ---- Fintek ------------------------------------------------------------------------

TEST_F(DetectionEngine, F7188xFamilyVariants) {
    struct Case {
        const char* variant;
        bool e0Run, d0Run, fortyRun;
        std::uint8_t config;
        std::uint8_t code;
    };
    const Case cases[] = {
        {"F71882F", true, false, false, 0x80, 186},
        {"F71889A", false, true, true, 0x80, 197},
        {"F71889F", false, true, false, 0x80, 197},
        {nullptr, false, false, false, 0x80, 1},
        {nullptr, true, true, true, 0x00, 1},  // 00h bit 7 clear: not this family
    };
    for (const Case& c : cases) {
        boxes.Readings.clear();
        clearTrace();
        auto slave = attach(0x2E, {{0x5A, 0x03}, {0x5B, 0x04}, {0x5C, 0x10}, {0x5D, 0x19}, {0x5E, 0x34}, {0x00, c.config}});
        auto run = [&](int first, bool allOnes) {
            for (int r = first; r < first + 16; ++r) slave->registers().set(static_cast<std::uint8_t>(r), 0xFF);
            if (!allOnes) slave->registers().set(static_cast<std::uint8_t>(first), 0x12);  // the last one read
        };
        run(0xE0, c.e0Run);
        run(0xD0, c.d0Run);
        run(0x40, c.fortyRun);
        EXPECT_EQ(engine.ProbeF7188xFamily(smbus, 0x2E), c.code);
        EXPECT_EQ(boxes.Readings, c.variant ? std::vector<std::string>{std::string(c.variant) + " found " + on(0x2E)}
                                            : std::vector<std::string>{});
        EXPECT_TRUE(traced("F71882F or F71889F check found $03 $04 $10 $19 $34"));
        EXPECT_EQ(traced("F71882F or F71889F found " + on(0x2E)), c.config == 0x80);
    }
    EXPECT_TRUE(engine.ProbeFintekID(smbus, 0x2E, "F75375S", true, 0x03, 0x04, 0x10, 0x19, 0x34));
    EXPECT_FALSE(engine.ProbeFintekID(smbus, 0x2E, "F75375S", true, 0x03, 0x04, 0x11, 0x19, 0x34));
    EXPECT_TRUE(engine.ProbeF71872F(smbus, 0x2E));
}

TEST_F(DetectionEngine, IsaConfirmationsFollowTheSuperIOChip) {
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    link(isa).UpdateName();
    SuperIOInfo.ChipCode = 233;
    EXPECT_TRUE(engine.ProbeF71811U(isa, 0x290));
    EXPECT_FALSE(engine.ProbeF71811U(isa, 0x295));
    EXPECT_FALSE(engine.ProbeF71878A(isa, 0x290));
    EXPECT_FALSE(engine.ProbeF71811U(smbus, 0x400));
    SuperIOInfo.ChipCode = 195;
    EXPECT_TRUE(engine.ProbeF71809(isa, 0x290));
    EXPECT_EQ(boxes.Readings, (std::vector<std::string>{Format("F71811U found on %s at $290", {name(isa)}),
                                                        Format("F71809 found on %s at $290", {name(isa)})}));
}

// ---- JEDEC JC-42.4 ------------------------------------------------------------------

TEST_F(DetectionEngine, JedecRowsWithTheirDumpLines) {
    struct Case {
        std::uint16_t maker, device;
        std::uint8_t code;
        const char* name;
    };
    const Case cases[] = {
        {0x0054, 0x2001, 213, "MCP98242"},
        {0x0054, 0x2105, 214, "MCP98243"},
        {0x0054, 0x0012, 215, "MCP9843"},
        {0x104A, 0x0001, 210, "STTS424E"},
        {0x1B09, 0x081F, 216, "CAT34TS02"},
        {0x1234, 0x2001, 1, nullptr},
    };
    for (const Case& c : cases) {
        boxes.Info.clear();
        boxes.Readings.clear();
        auto slave = std::make_shared<platform::sim::SMBusSlave>();
        auto& regs = slave->registers();
        RegisterBehaviour word;
        word.word = true;
        for (std::uint8_t r = 0; r < 8; ++r) regs.setBehaviour(r, word);
        regs.set(0, 0x001F);
        regs.set(5, 0xC1A4);
        regs.set(6, c.maker);
        regs.set(7, c.device);
        regs.setFault(1, {RegisterFault::Kind::Fail});
        regs.setFault(3, {RegisterFault::Kind::Fail});
        segment.attach(0x18, slave);
        EXPECT_EQ(engine.ProbeJedecJC424(smbus, 0x18), c.code) << c.device;
        EXPECT_EQ(boxes.Info.front(), Format("ProbeJedecJC424 on %s at $18 :  001F ---- 0000 ---- 0000 C1A4 %.4x %.4x",
                                             {name(smbus), c.maker, c.device}));
        EXPECT_EQ(boxes.Readings, c.name ? std::vector<std::string>{Format("%s (ID=$%.4x) found ", {c.name, c.device}) +
                                                                    on(0x18)}
                                         : std::vector<std::string>{});
    }
}

// ---- vendor 5CA3h, chip id C1h ---------------------------------------------------------

// The same Winbond-style chip at ISA 290h and SMBus 2Dh.
std::string Chip5CA3(const std::string& extraRegisters) {
    return R"({"chips": [{"name": "nuvoton", "banks": 4,
        "bankSelect": {"register": "0x4E", "mask": "0x07", "first": "0x50", "last": "0x5F"},
        "byteSelect": {"register": "0x4E", "mask": "0x80"},
        "registers": {"0x4E": "0x80", "0x4F": {"value": "0x5CA3", "word": true, "writeMask": "0x00"},
                      "0x58": "0xC1")" +
           extraRegisters + R"(},
        "placements": [{"isa": "0x290"}, {"protocolSMBus": "0x2D"}]}]})";
}

TEST_F(DetectionEngine, Winbond5CA3ByRegistersSuperIOAndLinkKind) {
    machine().loadFromJson(Chip5CA3(""), "5ca3.json");
    auto file = machine().registerFile("nuvoton");
    Links().clear();
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    Links().push_back(std::make_unique<TLink>(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                                              testsupport::SimProtocolHost::On(machine().protocolSMBus())));
    const int sm = 1;
    link(isa).UpdateName();
    link(sm).UpdateName();
    enum class Chip { None, W83627DHG, W83677HGI };
    struct Case {
        std::uint8_t superIO;
        Chip chip;
        std::uint8_t isaCode, smbusCode;
        std::vector<std::string> isaLines, smbusLines;  // %s: the link name
    };
    const std::vector<Case> cases = {
        {1, Chip::None, 1, 1, {}, {}},
        {1, Chip::W83627DHG, 30, 30,
         {"W83627DHG (ID=$C1) found (using registers) on %s at $290"},
         {"W83627DHG (ID=$C1) found (using registers) on %s at $2D"}},
        {1, Chip::W83677HGI, 52, 52,
         {"W83677HG-I (ID=$C1) found (using registers) on %s at $290"},
         {"W83677HG-I (ID=$C1) found (using registers) on %s at $2D"}},
        {30, Chip::None, 30, 1,
         {"INFO: Winbond($5CA3,$C1) - $0290=$0290 - Address validated OK",
          "W83627DHG (ID=$C1) found (using SuperIO) on %s at $290"},
         {"WARNING: Winbond($5CA3,$C1) - unable to validate addresses $0400 and $002D"}},
        {30, Chip::W83627DHG, 30, 1,
         {"INFO: Winbond($5CA3,$C1) - $0290=$0290 - Address validated OK",
          "W83627DHG (ID=$C1) found (using SuperIO) on %s at $290"},
         {"WARNING: Winbond($5CA3,$C1) - unable to validate addresses $0400 and $002D"}},
        {30, Chip::W83677HGI, 30, 1,
         {"INFO: Winbond($5CA3,$C1) - $0290=$0290 - Address validated OK",
          "WARNING: bad Winbond($5CA3,$C1) identify (W83627DHG,W83677HG-I)",
          "W83627DHG (ID=$C1) found (using SuperIO) on %s at $290"},
         {"WARNING: Winbond($5CA3,$C1) - unable to validate addresses $0400 and $002D"}},
    };
    for (const Case& c : cases) {
        file->set(0x58, c.chip == Chip::None ? 0x00 : 0xC1);
        for (int r = 0x70; r <= 0x7F; ++r)
            file->set(static_cast<std::uint8_t>(r), c.chip == Chip::W83627DHG ? 0xFF : 0x00);
        file->set(0xCF, 0x00);
        SuperIOInfo.ChipCode = c.superIO;
        for (const auto& [index, address, code, lines] :
             {std::tuple{isa, 0x290u, c.isaCode, c.isaLines}, std::tuple{sm, 0x2Du, c.smbusCode, c.smbusLines}}) {
            boxes.Info.clear();
            EXPECT_EQ(engine.ProbeWinbond5CA3(index, address), code) << int(c.superIO) << " " << index;
            std::vector<std::string> expected;
            for (const auto& line : lines)
                expected.push_back(line.find("%s") == std::string::npos ? line : Format(line, {name(index)}));
            EXPECT_EQ(boxes.Info, expected) << int(c.superIO) << " " << index;
        }
    }
    EXPECT_EQ(WinbondChipName(0), "<unknown>");
    EXPECT_EQ(WinbondChipName(1), "<not found>");
    EXPECT_EQ(WinbondChipName(234), "NCT6106D");
    EXPECT_EQ(WinbondChipName(77), "unknown");
}

TEST_F(DetectionEngine, WinbondRegisterIdentificationLeavesBankZeroSelected) {
    machine().loadFromJson(Chip5CA3(R"(, "0xCF": "0x5C", "0x63": "0x01", "0x70": "0x02")"), "5ca3.json");
    Links().clear();
    Links().push_back(std::make_unique<TLink>(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                                              testsupport::SimProtocolHost::On(machine().protocolSMBus())));
    link(0).UpdateName();
    auto file = machine().registerFile("nuvoton");
    file->set(0x4E, 0x82);
    EXPECT_EQ(engine.ProbeWinbond5CA3(0, 0x2D), 50);  // W83667HG
    EXPECT_EQ(file->peek(0x4E), 0x80);
}

// ---- IPMI FRU ---------------------------------------------------------------------------

// An EEPROM image: the header with its checksum, then the areas at their offsets.
std::vector<std::uint8_t> FruImage(std::uint8_t chassis, std::uint8_t board, std::uint8_t product,
                                   const std::vector<std::pair<int, std::vector<std::uint8_t>>>& areas) {
    std::vector<std::uint8_t> image(256, 0);
    image[0] = 0x01;
    image[2] = chassis;
    image[3] = board;
    image[4] = product;
    int sum = 0;
    for (int i = 0; i < 7; ++i) sum += image[static_cast<std::size_t>(i)];
    image[7] = static_cast<std::uint8_t>(-sum);
    for (const auto& [offset, bytes] : areas) {
        for (std::size_t i = 0; i < bytes.size(); ++i) image[static_cast<std::size_t>(offset) + i] = bytes[i];
    }
    return image;
}

const std::vector<std::uint8_t> BoardArea = {
    0x01, 0x03, 0x19, 0x9D, 0xAE, 0x00,                // 44701 minutes after 1996-01-01 00:00
    0xC5, 'M',  'a',  'k',  'e',  'r',                 // 8-bit text
    0x83, 0xA1, 0x38, 0x92,                            // 6-bit packed "ABCD"
    0x42, 0x12, 0x3B,                                  // BCD plus "123-"
    0x02, 'P',  '1',                                   // raw bytes
    0xC0, 0xC1};
const std::vector<std::uint8_t> ProductArea = {
    0x01, 0x05, 0x19, 0xC5, 'M', 'a', 'k', 'e', 'r', 0xC3, 'P', 'S', 'U',
    0xCA, 'P',  'W',  'S',  '-', '8', '6', '5', '-', 'P',  'Q', 0x02, 'V', '1', 0xC2, 'S', '9', 0xC0, 0xC0,
    0xC2, 'C',  '1',  0xC1};

void AttachImage(platform::sim::SMBusSegment& segment, std::uint8_t address, const std::vector<std::uint8_t>& image) {
    auto slave = std::make_shared<platform::sim::SMBusSlave>();
    for (std::size_t i = 0; i < image.size(); ++i) slave->registers().set(static_cast<std::uint8_t>(i), image[i]);
    segment.attach(address, slave);
}

TEST_F(DetectionEngine, FruImageDecodedLineByLine) {
    AttachImage(segment, 0x38, FruImage(0, 1, 4, {{8, BoardArea}, {32, ProductArea}}));
    TIPMIFRU fru;
    ASSERT_TRUE(engine.ProbeIPMIFRU(smbus, 0x38, fru));
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{
                              "IPMI FRU found " + on(0x38), "  Board Info", "    Mfg Date=19960201 0101",
                              "    Manufacturer=Maker", "    Product Name=ABCD", "    Serial Number=123-",
                              "    Part Number=P1", "  Product Info", "    Language Code=25",
                              "    Manufacturer=Maker", "    Product Name=PSU", "    Part/Model Number=PWS-865-PQ",
                              "    Version=V1", "    Serial Number=S9", "    Asset Tag="}));
    EXPECT_EQ(fru.FormatVersion, 1);
    EXPECT_EQ(fru.Chassis.Present, 0);
    EXPECT_EQ(fru.Product.Custom, (std::vector<std::string>{"C1"}));
    EXPECT_TRUE(fru.Board.Custom.empty());
}

TEST_F(DetectionEngine, FruHeaderRefusals) {
    struct Case {
        const char* what;
        int byte;
        std::uint8_t value;
    };
    const Case cases[] = {{"pad not zero", 6, 0x01}, {"version 10h", 0, 0x10}, {"checksum", 7, 0x00}};
    for (const Case& c : cases) {
        auto image = FruImage(0, 1, 0, {{8, BoardArea}});
        image[static_cast<std::size_t>(c.byte)] = c.value;
        AttachImage(segment, 0x38, image);
        TIPMIFRU fru;
        fru.Board.Present = 1;
        EXPECT_FALSE(engine.ProbeIPMIFRU(smbus, 0x38, fru)) << c.what;
        EXPECT_EQ(fru.Board.Present, 0) << c.what;
    }
    TIPMIFRU fru;
    EXPECT_FALSE(engine.ProbeIPMIFRU(smbus, 0x39, fru));  // nothing answers
    EXPECT_TRUE(boxes.Info.empty());
}

TEST_F(DetectionEngine, FruAreasAtTheEndOfTheEeprom) {
    // Ends exactly at byte 255: read. One byte further: skipped, still an FRU.
    const std::vector<std::uint8_t> lastArea = {0x01, 0x01, 0x00, 0xC2, 'M', 'k', 0xFF, 0x3F};
    AttachImage(segment, 0x38, FruImage(31, 0, 0, {{248, lastArea}}));
    TIPMIFRU fru;
    ASSERT_TRUE(engine.ProbeIPMIFRU(smbus, 0x38, fru));
    EXPECT_EQ(fru.Chassis.Present, 1);
    EXPECT_EQ(fru.Chassis.ChassisType, 0xFF);
    EXPECT_EQ(fru.Chassis.PartNumber, "Mk");
    EXPECT_EQ(fru.Chassis.SerialNumber, "?");  // 63 bytes claimed, one left in the area
    EXPECT_TRUE(fru.Chassis.Custom.empty());

    auto oversized = lastArea;
    oversized[1] = 0x02;
    AttachImage(segment, 0x38, FruImage(0, 0, 31, {{248, oversized}}));
    EXPECT_TRUE(engine.ProbeIPMIFRU(smbus, 0x38, fru));
    EXPECT_EQ(fru.Product.Present, 0);
    EXPECT_EQ(fru.Chassis.Present, 0);
}

TEST_F(DetectionEngine, FruFieldsStayInsideTheirArea) {
    TFRUArea area;
    area.Length = 8;
    area.Bytes = {0x00, 0x01, 0xFF, 0x82, 0xA1, 0x38, 0xDF, 0x41};  // the packed field's last 4 bits are no character
    int pos = 3;
    EXPECT_EQ(TDetectionEngine::DecodeFRUField(area, pos), "AB");
    EXPECT_EQ(pos, 6);
    pos = 6;
    EXPECT_EQ(TDetectionEngine::DecodeFRUField(area, pos), "A");  // DFh: 31 bytes claimed, one left in the area
    EXPECT_EQ(pos, 38);
    EXPECT_EQ(TDetectionEngine::DecodeFRUField(area, pos), "");
    pos = 1;
    area.Bytes[1] = 0x40;  // BCD plus of length 0
    EXPECT_EQ(TDetectionEngine::DecodeFRUField(area, pos), "");
    EXPECT_EQ(pos, 2);
}

TEST_F(DetectionEngine, FruBoardDateOfZeroMinutes) {
    auto board = BoardArea;
    board[3] = board[4] = board[5] = 0;
    AttachImage(segment, 0x38, FruImage(0, 1, 0, {{8, board}}));
    TIPMIFRU fru;
    ASSERT_TRUE(engine.ProbeIPMIFRU(smbus, 0x38, fru));
    EXPECT_TRUE(has(boxes.Info, "    Mfg Date=19960101 0000"));
}

}  // namespace
