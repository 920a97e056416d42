#include "detect/cvsuperio.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "detect/cvdetect.h"
#include "detect/detectfixture.h"
#include "hw/cvsuperioinfo.h"
#include "platform/sim/superioconfig.h"

using platform::sim::PortAccess;
using platform::sim::SuperIOConfig;

namespace {

PortAccess W(std::uint16_t port, std::uint32_t value) { return {port, 1, value, true}; }
PortAccess R(std::uint16_t port, std::uint32_t value) { return {port, 1, value, false}; }

// A register read through the pair: the index written, the data read.
std::vector<PortAccess> Reg(std::uint16_t port, std::uint8_t reg, std::uint8_t value) {
    return {W(port, reg), R(static_cast<std::uint16_t>(port + 1), value)};
}

std::vector<PortAccess> Join(std::initializer_list<std::vector<PortAccess>> parts) {
    std::vector<PortAccess> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<std::uint8_t> WinbondKey{0x87, 0x87};
const std::vector<std::uint8_t> SMSCKey{0x55, 0x55};
const std::vector<std::uint8_t> ITEKey{0x87, 0x01, 0x55, 0x55};
const std::vector<std::uint8_t> NoKey{};

using Registers = std::vector<std::pair<std::uint8_t, std::uint8_t>>;

// Configuration ports that stop answering: reads of the data port raise.
class VanishedChip : public platform::sim::PortDevice {
public:
    explicit VanishedChip(std::uint16_t dataPort) : data_(dataPort) {}
    std::uint32_t read(std::uint16_t port, int) override {
        if (port == data_) throw std::runtime_error("device gone");
        return 0xFF;
    }
    void write(std::uint16_t, int, std::uint32_t) override {}

private:
    std::uint16_t data_;
};

}  // namespace

class SuperIO : public DetectTest {
protected:
    SuperIO() {
        SuperIOInfo = {};
        firstLink = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    }
    ~SuperIO() override { SuperIOInfo = {}; }

    // A chip at Port with these global registers; the ITE chip leaves
    // configuration mode through register 02h, the others on AAh.
    std::shared_ptr<SuperIOConfig> chipAt(std::uint16_t port, const std::vector<std::uint8_t>& key,
                                          const Registers& globals) {
        const bool ite = key == ITEKey;
        std::optional<std::uint8_t> exit;
        if (!ite && !key.empty()) exit = 0xAA;
        auto chip = SuperIOConfig::install(machine().ports(), port, static_cast<std::uint16_t>(port + 1), key, exit,
                                           "chip" + std::to_string(port));
        if (ite) chip->setExitRegister({0x02, 0x02});
        for (const auto& [reg, value] : globals) chip->globals()->set(reg, value);
        return chip;
    }
    void vanishAt(std::uint16_t port) {
        machine().ports().claim(port, static_cast<std::uint16_t>(port + 1),
                                std::make_shared<VanishedChip>(static_cast<std::uint16_t>(port + 1)));
    }
    std::vector<PortAccess> accessesAt(std::uint16_t port) const {
        return const_cast<SuperIO*>(this)->machine().ports().recorder().accessesTo(port,
                                                                                   static_cast<std::uint16_t>(port + 1));
    }
    void clearAccesses() { machine().ports().recorder().clear(); }
    bool debugHas(const std::string& line) const { return has(boxes.Info, line); }
    bool readingsHas(const std::string& line) const { return has(boxes.Readings, line); }
    int countInDebug(const std::string& prefix) const {
        return static_cast<int>(std::count_if(boxes.Info.begin(), boxes.Info.end(),
                                              [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }

    int firstLink = -1;
    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};

// ---- keys ------------------------------------------------------------------------------

TEST_F(SuperIO, EntryAndExitKeysGoToTheIndexPort) {
    EXPECT_TRUE(EnterConfig55(0x4E));
    ExitConfigAA(0x4E);
    EXPECT_TRUE(EnterConfig87(0x4E));
    ExitConfigAA(0x4E);
    EXPECT_TRUE(EnterConfigITE(0x4E));
    ExitConfigITE(0x4E);
    EXPECT_EQ(accessesAt(0x4E), (std::vector<PortAccess>{W(0x4E, 0x55), W(0x4E, 0x55), W(0x4E, 0xAA), W(0x4E, 0x87),
                                                        W(0x4E, 0x87), W(0x4E, 0xAA), W(0x4E, 0x87), W(0x4E, 0x01),
                                                        W(0x4E, 0x55), W(0x4E, 0x55), W(0x4E, 0xAA), W(0x4E, 0x02),
                                                        W(0x4F, 0x02)}));
}

TEST_F(SuperIO, WithoutHardwareAccessEntriesFailAndExitsAreSwallowed) {
    IOPort.reset();
    EXPECT_FALSE(EnterConfig87(0x2E));
    EXPECT_FALSE(EnterConfigITE(0x2E));
    EXPECT_NO_THROW(ExitConfigITE(0x2E));
    EXPECT_NO_THROW({ TConfigExitGuard exit(0x2E, Key87); });
    EXPECT_THROW(ReadConfigRegister(0x2E, 0x20), EPortError);
}

// ---- register-dump identification -----------------------------------------------------

struct DumpCase {
    const char* what;
    Registers regs;  // over a block of FFh with 01h = 00h
    unsigned methods;
    std::optional<TSuperIOChip> expected;
};

TEST_F(SuperIO, ChipIdRowsOfTheRegisterDump) {
    const DumpCase cases[] = {
        {"nibble rule", {{0x20, 0xA0}, {0x21, 0x2F}}, MethodWinbondFamily, TSuperIOChip{"Winbond W83627DHG", 30}},
        {"nibble rule, other nibble", {{0x20, 0xA0}, {0x21, 0x3F}}, MethodWinbondFamily, std::nullopt},
        {"nibble or value", {{0x20, 0x52}, {0x21, 0x0D}}, MethodWinbondFamily, TSuperIOChip{"Winbond W83627HF", 0}},
        {"nibble or nibble", {{0x20, 0x88}, {0x21, 0x61}}, MethodWinbondFamily, TSuperIOChip{"Winbond W83627EHF", 0}},
        {"alternatives", {{0x20, 0x3C}, {0x21, 0x02}}, MethodWinbondFamily, TSuperIOChip{"VIA VT1211", 74}},
        {"F71889ED", {{0x20, 0x09}, {0x21, 0x09}}, MethodWinbondFamily, TSuperIOChip{"FINTEK F71889ED", 187}},
        {"NCT6683D by C", {{0x20, 0xC7}, {0x21, 0xC1}}, MethodWinbondFamily, TSuperIOChip{"Nuvoton NCT6683D", 232}},
        {"IT8711F needs 22h", {{0x20, 0x87}, {0x21, 0x11}, {0x22, 0x00}}, MethodWinbondFamily,
         TSuperIOChip{"ITE IT8711F", 0}},
        {"SMSC not 00h", {{0x20, 0x59}, {0x21, 0x02}}, MethodSMSC, TSuperIOChip{"SMSC LPC47m13x", 155}},
        {"SMSC 00h", {{0x20, 0x59}, {0x21, 0x00}}, MethodSMSC, TSuperIOChip{"SMSC LPC47m10x", 154}},
        {"SMSC old id before a newer row", {{0x0D, 0x28}, {0x20, 0x40}}, MethodSMSC,
         TSuperIOChip{"SMSC FDC37n769", 0}},
        {"SMSC table 2", {{0x0D, 0x65}, {0x0E, 0x82}}, MethodSMSC, TSuperIOChip{"SMSC FDC37C665IR", 0}},
        {"SMSC table 2, 669Q", {{0x0D, 0x03}, {0x0E, 0x03}}, MethodSMSC, TSuperIOChip{"SMSC FDC37C669Q", 0}},
        {"SiS 950", {{0x20, 0x87}, {0x21, 0x05}, {0x22, 0x00}}, MethodITE, TSuperIOChip{"SiS 950", 0}},
        {"ITE version range", {{0x20, 0x87}, {0x21, 0x12}, {0x22, 0x06}}, MethodITE, TSuperIOChip{"ITE IT8712F", 81}},
        {"ITE version past the range", {{0x20, 0x87}, {0x21, 0x12}, {0x22, 0x07}}, MethodITE,
         TSuperIOChip{"ITE IT8712F(I)", 82}},
        {"NS masked SRID", {{0x20, 0xEC}, {0x27, 0x3F}}, MethodNational, TSuperIOChip{"NS PC87591S", 149}},
        {"NS any other SRID", {{0x20, 0xEC}, {0x27, 0x40}}, MethodNational, TSuperIOChip{"NS PC87591", 149}},
        {"NS masked, no match", {{0x20, 0xF0}, {0x27, 0x20}}, MethodNational, std::nullopt},
        {"NS oldest by 08h nibble", {{0x20, 0x00}, {0x08, 0x5A}}, MethodNational, TSuperIOChip{"NS PC87334", 0}},
        {"NS oldest by 08h and F8h", {{0x20, 0x00}, {0x08, 0xB7}}, MethodNational, TSuperIOChip{"NS PC87338", 0}},
        {"method not asked for", {{0x20, 0xA0}, {0x21, 0x2F}}, MethodSMSC | MethodITE | MethodNational, std::nullopt},
        {"garbage", {{0x0D, 0x3B}, {0x0E, 0x9C}, {0x20, 0xD7}, {0x21, 0x5E}, {0x22, 0x19}, {0x27, 0x64}, {0x08, 0xC2}},
         AllSuperIOMethods, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TSuperIORegisters regs;
        regs.fill(0xFF);
        regs[0x01] = 0x00;
        for (const auto& [reg, value] : c.regs) regs[reg] = value;
        EXPECT_EQ(IdentifySuperIOChip(monitor.Log, 0x2E, regs, c.methods), c.expected);
    }
}

TEST_F(SuperIO, PresenceSkipsRegister20hAndComparesTheRestWithRegister01h) {
    TSuperIORegisters regs;
    regs.fill(0x00);
    regs[0x20] = 0xA0;  // a valid W83627DHG id
    regs[0x21] = 0x00;  // 21h and 25h read as 01h does
    EXPECT_EQ(IdentifySuperIOChip(monitor.Log, 0x2E, regs, MethodWinbondFamily), std::nullopt);
    EXPECT_TRUE(boxes.Info.empty());
    regs.fill(0xFF);  // an empty port fails every test
    EXPECT_EQ(IdentifySuperIOChip(monitor.Log, 0x2E, regs, AllSuperIOMethods), std::nullopt);
    EXPECT_TRUE(boxes.Info.empty());
}

TEST_F(SuperIO, EveryMatchIsLoggedAndTheLastOneIsAnswered) {
    TSuperIORegisters regs;
    regs.fill(0xFF);
    regs[0x01] = 0x00;
    regs[0x07] = 0x0B;
    regs[0x20] = 0x59;
    regs[0x21] = 0x50;  // W83627SF by the Winbond rows, LPC47m13x by the SMSC ones
    regs[0x25] = 0x00;
    const auto chip = IdentifySuperIOChip(monitor.Log, 0x3F0, regs, AllSuperIOMethods);
    EXPECT_EQ(chip, (TSuperIOChip{"SMSC LPC47m13x", 155}));
    const std::vector<std::string> expected = {
        "Winbond r[$20]=$59 r[$21]=$50 r[$23]=$FF r[$24]=$FF r[$07]=$0B ",
        "NEW --> SuperIO chip=Winbond W83627SF ($03F0)",
        "SMSC (1) r[$0D]=$FF r[$0E]=$FF r[$20]=$59 r[$21]=$50 r[$07]=$0B ",
        "NEW --> SuperIO chip=SMSC LPC47m13x ($03F0)",
        "ITE r[$20]=$59 r[$21]=$50 r[$22]=$FF r[$07]=$0B ",
        "SMSC (2) r[$0D]=$FF r[$0E]=$FF r[$20]=$59 r[$21]=$50 r[$07]=$0B ",
        "NS r[$08]=$FF r[$20]=$59 r[$21]=$50 r[$27]=$FF r[$07]=$0B ",
    };
    EXPECT_EQ(boxes.Info, expected);
    EXPECT_TRUE(boxes.Readings.empty());
}

TEST_F(SuperIO, FintekLogicalDeviceTestRestoresTheSelectedDevice) {
    for (const auto& [e1, name, code] : {std::tuple{0xFF, "FINTEK F71859", 196}, std::tuple{0x00, "FINTEK F71809", 195}}) {
        SCOPED_TRACE(name);
        auto chip = chipAt(0x4E, WinbondKey, {{0x07, 0x0A}});
        chip->device(0x01)->set(0xE1, static_cast<std::uint8_t>(e1));
        TSuperIORegisters regs;
        regs.fill(0xFF);
        regs[0x01] = 0x00;
        regs[0x20] = 0x04;
        regs[0x21] = 0x08;
        EXPECT_EQ(IdentifySuperIOChip(monitor.Log, 0x4E, regs, MethodWinbondFamily),
                  (TSuperIOChip{name, static_cast<std::uint8_t>(code)}));
        const auto golden = Join({{W(0x4E, 0x87), W(0x4E, 0x87)}, Reg(0x4E, 0x07, 0x0A),
                                  {W(0x4E, 0x07), W(0x4F, 0x01)}, Reg(0x4E, 0xE1, static_cast<std::uint8_t>(e1)),
                                  {W(0x4E, 0x07), W(0x4F, 0x0A), W(0x4E, 0xAA)}});
        EXPECT_EQ(accessesAt(0x4E), golden);
        EXPECT_EQ(chip->globals()->peek(0x07), 0x0A);
        EXPECT_FALSE(chip->inConfigMode());
        machine().ports().release(*chip);
        clearAccesses();
    }
}

TEST_F(SuperIO, RegisterDumpProbeFindsUnlockedChipsFirstThenTriesEachKey) {
    chipAt(0x2E, WinbondKey, {{0x01, 0x00}, {0x20, 0xB0}, {0x21, 0x73}, {0x25, 0x00}});  // locked W83627DHG-P
    chipAt(0x370, NoKey, {{0x01, 0x00}, {0x20, 0xE9}, {0x21, 0x01}, {0x27, 0x01}});      // a PC87366
    ProbeSuperIONew(monitor.Log);

    std::vector<std::string> found;
    for (const auto& line : boxes.Info)
        if (line.rfind("NEW -->", 0) == 0 || line == "Second pass...") found.push_back(line);
    // The PC87366 answers in both passes, but only the National method knows it.
    EXPECT_EQ(found, (std::vector<std::string>{"NEW --> SuperIO chip=NS PC87366 ($0370)", "Second pass...",
                                               "NEW --> SuperIO chip=Winbond W83627DHG-P ($002E)"}));
    EXPECT_EQ(SuperIOInfo.ChipCode, 1);  // identification only

    // Writes at 2Eh in the second pass: each key, the 40-register dump, its exit.
    std::vector<PortAccess> writes;
    for (const auto& a : accessesAt(0x2E))
        if (a.isWrite) writes.push_back(a);
    auto dump = [] {
        std::vector<PortAccess> d;
        for (std::uint8_t reg = 0; reg < 0x28; ++reg) d.push_back(W(0x2E, reg));
        return d;
    };
    const auto secondPass =
        Join({{W(0x2E, 0x55), W(0x2E, 0x55)}, dump(), {W(0x2E, 0xAA)}, {W(0x2E, 0x87), W(0x2E, 0x87)}, dump(),
              {W(0x2E, 0xAA)}, {W(0x2E, 0x87), W(0x2E, 0x01), W(0x2E, 0x55), W(0x2E, 0x55)}, dump(),
              {W(0x2E, 0xAA), W(0x2E, 0x02), W(0x2F, 0x02)}});
    ASSERT_EQ(writes.size(), 0x28 + secondPass.size());
    EXPECT_EQ(std::vector<PortAccess>(writes.begin() + 0x28, writes.end()), secondPass);
}

TEST_F(SuperIO, RegisterDumpProbeWithoutHardwareAccessFailsToItsCaller) {
    IOPort.reset();
    EXPECT_THROW(ProbeSuperIONew(monitor.Log), EPortError);
}

// ---- vendor detections ---------------------------------------------------------------

using Detection = std::optional<TSuperIOChip> (*)(TLogSinks&, std::uint16_t);

struct GoldenCase {
    const char* what;
    Detection detect;
    std::vector<std::uint8_t> key;
    Registers regs;
    std::optional<TSuperIOChip> expected;
    std::vector<PortAccess> golden;
    std::string line;  // the register line
};

TEST_F(SuperIO, VendorDetectionsTalkToTheChipInTheirOwnWay) {
    const GoldenCase cases[] = {
        {"Winbond", DetectWinbond, WinbondKey, {{0x20, 0x52}, {0x21, 0x13}, {0x25, 0x00}},
         TSuperIOChip{"Winbond W83627HF", 33},
         Join({{W(0x2E, 0x87), W(0x2E, 0x87)}, Reg(0x2E, 0x20, 0x52), Reg(0x2E, 0x21, 0x13), Reg(0x2E, 0x25, 0x00),
               {W(0x2E, 0xAA)}}),
         "WINBOND $002E --> Device ID=$52 Revision=$13"},
        {"SMSC", DetectSMSC, {0x55}, {{0x20, 0x78}, {0x21, 0x21}, {0x0D, 0x00}, {0x0E, 0x00}},
         TSuperIOChip{"SCH5027D", 168},
         Join({{W(0x2E, 0x55)}, Reg(0x2E, 0x20, 0x78), Reg(0x2E, 0x21, 0x21), Reg(0x2E, 0x0D, 0x00),
               Reg(0x2E, 0x0E, 0x00), {W(0x2E, 0xAA)}}),
         "SMSC1 Registers [$002E] : $78 $21 $00 $00"},
        {"SMSC2", DetectSMSC2, SMSCKey, {{0x20, 0x07}, {0x21, 0x01}, {0x0D, 0x00}, {0x0E, 0x00}},
         TSuperIOChip{"FDC37C957FR", 164},
         Join({{W(0x2E, 0x55), W(0x2E, 0x55), W(0x2E, 0x20), R(0x2E, 0x20)}, Reg(0x2E, 0x20, 0x07),
               Reg(0x2E, 0x21, 0x01), Reg(0x2E, 0x0D, 0x00), Reg(0x2E, 0x0E, 0x00), {W(0x2E, 0xAA)}}),
         "SMSC2 Registers [$002E] : $07 $01 $00 $00"},
        {"ITE", DetectITE, ITEKey, {{0x20, 0x87}, {0x21, 0x05}, {0x22, 0x00}}, TSuperIOChip{"SiS950", 0},
         Join({{W(0x2E, 0x87), W(0x2E, 0x01), W(0x2E, 0x55), W(0x2E, 0x55)}, Reg(0x2E, 0x20, 0x87),
               Reg(0x2E, 0x21, 0x05), Reg(0x2E, 0x22, 0x00), {W(0x2E, 0xAA), W(0x2E, 0x02), W(0x2F, 0x02)}}),
         "ITE Registers [$002E] : $87 $05 $00"},
        {"NS", DetectNS, NoKey, {{0x20, 0xF1}, {0x21, 0x05}, {0x27, 0x1F}, {0x08, 0x00}},
         TSuperIOChip{"NS PC8374L", 142},
         Join({{W(0x2E, 0x20), R(0x2E, 0x20)}, Reg(0x2E, 0x20, 0xF1), Reg(0x2E, 0x27, 0x1F), Reg(0x2E, 0x08, 0x00),
               Reg(0x2E, 0x21, 0x05)}),
         "NS [$002E] : 08=$00 20=$F1 21=$05 27=$1F "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto chip = chipAt(0x2E, c.key, c.regs);
        boxes.Info.clear();
        boxes.Readings.clear();
        EXPECT_EQ(c.detect(monitor.Log, 0x2E), c.expected);
        EXPECT_EQ(accessesAt(0x2E), c.golden);
        EXPECT_TRUE(debugHas(c.line));
        EXPECT_TRUE(readingsHas("SuperIO Chip=" + c.expected->Name));
        EXPECT_EQ(chip->inConfigMode(), c.key.empty());
        machine().ports().release(*chip);
        clearAccesses();
    }
    EXPECT_EQ(SuperIOInfo.ChipCode, 1);  // the wrapper records, not the detections
}

TEST_F(SuperIO, ARaisingPortEndsTheDetectionWithTheExitKeyWritten) {
    vanishAt(0x2E);
    EXPECT_EQ(DetectWinbond(monitor.Log, 0x2E), std::nullopt);
    EXPECT_EQ(accessesAt(0x2E), (std::vector<PortAccess>{W(0x2E, 0x87), W(0x2E, 0x87), W(0x2E, 0x20), W(0x2E, 0xAA)}));
    clearAccesses();
    EXPECT_EQ(DetectITE(monitor.Log, 0x2E), std::nullopt);
    EXPECT_EQ(accessesAt(0x2E), (std::vector<PortAccess>{W(0x2E, 0x87), W(0x2E, 0x01), W(0x2E, 0x55), W(0x2E, 0x55),
                                                        W(0x2E, 0x20), W(0x2E, 0xAA), W(0x2E, 0x02), W(0x2F, 0x02)}));
    clearAccesses();
    EXPECT_EQ(DetectSMSC(monitor.Log, 0x2E), std::nullopt);
    EXPECT_EQ(accessesAt(0x2E), (std::vector<PortAccess>{W(0x2E, 0x55), W(0x2E, 0x20), W(0x2E, 0xAA)}));
    EXPECT_TRUE(debugHas("ERROR in DetectSMSC.detect1 (device gone)"));
    EXPECT_EQ(countInDebug("ERROR"), 1);  // only DetectSMSC says so
}

struct NothingCase {
    const char* what;
    Detection detect;
    std::vector<std::uint8_t> key;
    Registers regs;
    std::string line;  // empty: no register line
};

TEST_F(SuperIO, NothingThereRules) {
    const NothingCase cases[] = {
        {"Winbond all equal", DetectWinbond, WinbondKey, {{0x20, 0x00}, {0x21, 0x00}, {0x25, 0x00}}, ""},
        {"SMSC all equal", DetectSMSC, {0x55}, {{0x20, 0x11}, {0x21, 0x11}, {0x0D, 0x11}, {0x0E, 0x11}}, ""},
        {"ITE logs even an empty port", DetectITE, ITEKey, {{0x20, 0x00}, {0x21, 0x00}, {0x22, 0x00}},
         "ITE Registers [$002E] : $00 $00 $00"},
        {"NS 20h as both 21h and 08h", DetectNS, NoKey, {{0x20, 0x00}, {0x21, 0x00}, {0x08, 0x00}, {0x27, 0x5A}}, ""},
        {"Winbond garbage", DetectWinbond, WinbondKey, {{0x20, 0x13}, {0x21, 0x57}, {0x25, 0x00}},
         "WINBOND $002E --> Device ID=$13 Revision=$57"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto chip = chipAt(0x2E, c.key, c.regs);
        boxes.Info.clear();
        EXPECT_EQ(c.detect(monitor.Log, 0x2E), std::nullopt);
        std::vector<std::string> expected = {boxes.Info.front()};  // the "Checking" line
        if (!c.line.empty()) expected.push_back(c.line);
        EXPECT_EQ(boxes.Info, expected);
        EXPECT_TRUE(boxes.Readings.empty());
        machine().ports().release(*chip);
    }
    // An empty port: the read-backs fail, nothing answers.
    boxes.Info.clear();
    EXPECT_EQ(DetectSMSC2(monitor.Log, 0x2E), std::nullopt);
    EXPECT_EQ(DetectNS(monitor.Log, 0x2E), std::nullopt);
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{"Checking $002E for SMSC (2)...", "Checking $002E for NS..."}));
}

struct VendorRowCase {
    const char* what;
    Detection detect;
    std::vector<std::uint8_t> key;
    Registers regs;
    std::optional<TSuperIOChip> expected;
};

TEST_F(SuperIO, VendorMethodRowsDifferFromTheDump) {
    const VendorRowCase cases[] = {
        {"W83627HF recorded as 33", DetectWinbond, WinbondKey, {{0x20, 0x52}, {0x21, 0x1A}},
         TSuperIOChip{"Winbond W83627HF", 33}},
        {"W83637HF", DetectWinbond, WinbondKey, {{0x20, 0x70}, {0x21, 0xA1}}, TSuperIOChip{"Winbond W83637HF", 38}},
        {"F71889ED as F71889F", DetectWinbond, WinbondKey, {{0x20, 0x09}, {0x21, 0x09}},
         TSuperIOChip{"FINTEK F71889ED", 188}},
        {"F71869F name", DetectWinbond, WinbondKey, {{0x20, 0x08}, {0x21, 0x14}},
         TSuperIOChip{"FINTEK F71869F (!DEVELOPMENT REQUIRED!)", 0}},
        {"NCT6683D by 3", DetectWinbond, WinbondKey, {{0x20, 0xC7}, {0x21, 0x31}}, TSuperIOChip{"Nuvoton NCT6683D", 232}},
        {"NCT6683D not by C", DetectWinbond, WinbondKey, {{0x20, 0xC7}, {0x21, 0xC1}}, std::nullopt},
        {"NCT6792D exactly 11h", DetectWinbond, WinbondKey, {{0x20, 0xC9}, {0x21, 0x12}}, std::nullopt},
        {"IT8512E added", DetectWinbond, WinbondKey, {{0x20, 0x85}, {0x21, 0x12}}, TSuperIOChip{"IT8512E", 76}},
        {"IT8703F-A without 22h", DetectWinbond, WinbondKey, {{0x20, 0x87}, {0x21, 0x01}, {0x22, 0x33}},
         TSuperIOChip{"IT8703F-A", 0}},
        {"no IT8711F row", DetectWinbond, WinbondKey, {{0x20, 0x87}, {0x21, 0x11}, {0x22, 0x00}}, std::nullopt},
        {"SMSC prefix dropped", DetectSMSC, {0x55}, {{0x20, 0x09}}, TSuperIOChip{"FDC37n958FR", 165}},
        {"SMSC Unknown kept", DetectSMSC, {0x55}, {{0x20, 0x32}, {0x21, 0x01}}, TSuperIOChip{"SMSC Unknown", 175}},
        {"ASUS A8000B", DetectSMSC, {0x55}, {{0x20, 0x77}, {0x21, 0x03}}, TSuperIOChip{"ASUS A8000B", 46}},
        {"Reserved", DetectSMSC, {0x55}, {{0x20, 0x7E}}, TSuperIOChip{"Reserved", 0}},
        {"LPC47b37x whatever 21h", DetectSMSC, {0x55}, {{0x20, 0x52}, {0x21, 0x07}}, TSuperIOChip{"LPC47b37x", 153}},
        {"20h rows before 0Dh rows", DetectSMSC, {0x55}, {{0x0D, 0x28}, {0x20, 0x40}}, TSuperIOChip{"FDC37c67x", 0}},
        {"0Dh row last", DetectSMSC, {0x55}, {{0x0D, 0x7A}, {0x0E, 0x00}, {0x20, 0x01}}, TSuperIOChip{"SIO1000", 0}},
        {"SMSC2 prefix dropped", DetectSMSC2, SMSCKey, {{0x0D, 0x66}, {0x0E, 0x02}},
         TSuperIOChip{"FDC37C666GT rev 2", 0}},
        {"no FDC37C669Q row", DetectSMSC2, SMSCKey, {{0x0D, 0x03}, {0x0E, 0x03}}, std::nullopt},
        {"ITE prefix dropped", DetectITE, ITEKey, {{0x20, 0x87}, {0x21, 0x12}, {0x22, 0x07}},
         TSuperIOChip{"IT8712F(I)", 82}},
        {"NS prefix dropped", DetectNS, NoKey, {{0x20, 0xE9}, {0x21, 0x01}}, TSuperIOChip{"PC87366", 146}},
        {"NS prefix kept", DetectNS, NoKey, {{0x20, 0xEC}, {0x21, 0x01}, {0x27, 0x80}}, TSuperIOChip{"NS PC87591L", 149}},
        {"NS oldest", DetectNS, NoKey, {{0x20, 0x00}, {0x21, 0x01}, {0x08, 0x71}}, TSuperIOChip{"PC87306", 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto chip = chipAt(0x2E, c.key, c.regs);
        EXPECT_EQ(c.detect(monitor.Log, 0x2E), c.expected);
        machine().ports().release(*chip);
    }
}

TEST_F(SuperIO, FintekTestRunsInsideTheOpenConfigurationMode) {
    auto chip = chipAt(0x2E, WinbondKey, {{0x07, 0x04}, {0x20, 0x04}, {0x21, 0x08}, {0x25, 0x00}});
    chip->device(0x01)->set(0xE1, 0x12);
    EXPECT_EQ(DetectWinbond(monitor.Log, 0x2E), (TSuperIOChip{"FINTEK F71809", 195}));
    const auto golden = Join({{W(0x2E, 0x87), W(0x2E, 0x87)}, Reg(0x2E, 0x20, 0x04), Reg(0x2E, 0x21, 0x08),
                              Reg(0x2E, 0x25, 0x00), Reg(0x2E, 0x07, 0x04), {W(0x2E, 0x07), W(0x2F, 0x01)},
                              Reg(0x2E, 0xE1, 0x12), {W(0x2E, 0x07), W(0x2F, 0x04), W(0x2E, 0xAA)}});
    EXPECT_EQ(accessesAt(0x2E), golden);
}

// ---- the vendor-method probe -----------------------------------------------------------

TEST_F(SuperIO, ITEAt2EhIsRecordedBeforeWinbondAt4Eh) {
    chipAt(0x2E, ITEKey, {{0x20, 0x87}, {0x21, 0x05}, {0x22, 0x00}});
    chipAt(0x4E, WinbondKey, {{0x20, 0xA0}, {0x21, 0x23}, {0x25, 0x00}});
    ProbeSuperIO(context, firstLink);
    EXPECT_EQ(SuperIOInfo.ChipCode, 0);
    EXPECT_EQ(SuperIOInfo.Name, "$002E SiS950");
    EXPECT_EQ(SuperIOInfo.ConfigPort, 0x2E);
    EXPECT_TRUE(accessesAt(0x4E).empty());
    EXPECT_EQ(countInDebug("Checking"), 1);
}

TEST_F(SuperIO, WinbondPortsAreTriedInOrderUpToTheFirstChip) {
    chipAt(0x370, WinbondKey, {{0x20, 0x52}, {0x21, 0x0D}, {0x25, 0x00}});
    chipAt(0x3F0, WinbondKey, {{0x20, 0xA0}, {0x21, 0x23}, {0x25, 0x00}});
    chipAt(0x4E, WinbondKey, {{0x20, 0x13}, {0x21, 0x57}, {0x25, 0x00}});  // answers, matches nothing
    ProbeSuperIO(context, firstLink);
    EXPECT_EQ(SuperIOInfo.ChipCode, 33);
    EXPECT_EQ(SuperIOInfo.ChipName, "Winbond W83627HF");
    EXPECT_EQ(SuperIOInfo.ConfigPort, 0x370);
    std::vector<std::string> checks;
    for (const auto& line : boxes.Info)
        if (line.rfind("Checking", 0) == 0) checks.push_back(line);
    EXPECT_EQ(checks, (std::vector<std::string>{"Checking $002E for ITE (1)...", "Checking $002E for WINBOND...",
                                                "Checking $004E for WINBOND...", "Checking $0250 for WINBOND...",
                                                "Checking $0370 for WINBOND..."}));
    EXPECT_TRUE(debugHas("WINBOND $004E --> Device ID=$13 Revision=$57"));
    ASSERT_FALSE(boxes.Readings.empty());
    EXPECT_EQ(boxes.Readings.front(), "SuperIO Chip=Winbond W83627HF");
    EXPECT_TRUE(accessesAt(0x3F0).empty());
}

TEST_F(SuperIO, SMSCAt2EhIsNotLookedForWhileHardwareAccessIsClosed) {
    IOPort.reset();
    ProbeSuperIO(context, firstLink);
    EXPECT_EQ(SuperIOInfo.ChipCode, 1);
    std::vector<std::string> checks;
    for (const auto& line : boxes.Info)
        if (line.rfind("Checking", 0) == 0 || line.rfind("ERROR", 0) == 0) checks.push_back(line);
    const std::string closed = "ERROR in DetectSMSC.detect1 (CALDAVOR Driver Not Installed)";
    EXPECT_EQ(checks, (std::vector<std::string>{
                          "Checking $002E for ITE (1)...", "Checking $002E for WINBOND...",
                          "Checking $004E for WINBOND...", "Checking $0250 for WINBOND...",
                          "Checking $0370 for WINBOND...", "Checking $03F0 for WINBOND...",
                          "Checking $0370 for SMSC (2)...", "Checking $0370 for SMSC (1)...", closed,
                          "Checking $03F0 for SMSC (2)...", "Checking $03F0 for SMSC (1)...", closed}));
}

TEST_F(SuperIO, SMSCAndNationalPortsInTheirOrder) {
    chipAt(0x4E, NoKey, {{0x20, 0xE1}, {0x21, 0x02}, {0x27, 0x00}});  // PC87360, always decoded
    ProbeSuperIO(context, firstLink);
    EXPECT_EQ(SuperIOInfo.ChipCode, 143);
    EXPECT_EQ(SuperIOInfo.Name, "$004E PC87360");
    std::vector<std::string> checks;
    for (const auto& line : boxes.Info)
        if (line.rfind("Checking", 0) == 0 && line.find("WINBOND") == std::string::npos) checks.push_back(line);
    EXPECT_EQ(checks, (std::vector<std::string>{
                          "Checking $002E for ITE (1)...", "Checking $0370 for SMSC (2)...",
                          "Checking $0370 for SMSC (1)...", "Checking $03F0 for SMSC (2)...",
                          "Checking $03F0 for SMSC (1)...", "Checking $002E for SMSC (1)...",
                          "Checking $004E for SMSC (1)...", "Checking $002E for NS...", "Checking $004E for NS..."}));
}

// The demo board's chip, through the configuration ports of the simulated
// machine, to the Winbond-family set-up.
TEST_F(SuperIO, DemoBoardRecordsItsW83627DHGAndItsMonitorBase) {
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
    ProbeSuperIO(context, firstLink);
    EXPECT_EQ(SuperIOInfo.ChipCode, 30);
    EXPECT_EQ(SuperIOInfo.Name, "$002E Winbond W83627DHG");
    EXPECT_EQ(SuperIOInfo.MonitorBase, 0x290);
    EXPECT_EQ(accessesAt(0x2E).back(), W(0x2E, 0xAA));
}

// A Linux hwmon driver holding the monitor: the chip is still identified,
// while writes that would change it are refused with one trace line.
TEST_F(SuperIO, KernelDriverOnTheMonitorLeavesIdentificationAlone) {
    machine().loadFromJson(
        R"({"kernelDrivers": [{ "driver": "w83627ehf", "ports": { "first": "0x295", "last": "0x296" } }]})",
        "claims.json");
    chipAt(0x2E, WinbondKey, {{0x20, 0xA0}, {0x21, 0x23}, {0x25, 0x00}});
    EXPECT_EQ(DetectWinbond(monitor.Log, 0x2E), (TSuperIOChip{"Winbond W83627DHG", 30}));
    EXPECT_FALSE(SuperIOHeldByKernel(0x2E, 0, "monitor activation"));
    EXPECT_FALSE(SuperIOHeldByKernel(0x2E, 0x2A0, "monitor activation"));
    EXPECT_TRUE(SuperIOHeldByKernel(0x2E, 0x290, "monitor activation"));
    EXPECT_TRUE(traced("Super I/O monitor activation skipped: ports $0290-$0297 held by kernel driver w83627ehf"));
}
