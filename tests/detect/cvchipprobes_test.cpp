#include "detect/cvchipprobes.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "base/cvformat.h"
#include "detect/cvsmbusprobe.h"
#include "detect/probefixture.h"
#include "hw/cvbuslocks.h"
#include "hw/cvsuperioinfo.h"
#include "platform/platform.h"
#include "platform/sim/flatportrange.h"
#include "platform/sim/indexdataport.h"

namespace {

using cvformat::Format;
using platform::sim::RegisterBehaviour;
using platform::sim::RegisterFile;
using Regs = std::vector<std::pair<std::uint8_t, std::uint16_t>>;

class ChipProbes : public ProbeTest {
protected:
    ChipProbes() {
        for (const char* cls : {"TLM75Sensor", "TITSensor", "TGLSensor", "TGMTSensor", "TSensor", "TAliSensor",
                                "TVIA686Sensor", "TADM1021Sensor", "TFujitsuSensor"})
            useChip(cls, cls);
    }
    ~ChipProbes() override { SuperIOInfo = {}; }

    std::shared_ptr<RegisterFile> chip(std::uint8_t address, const Regs& regs = {}) {
        segment.detach(address);
        auto file = std::make_shared<RegisterFile>();
        for (const auto& [reg, value] : regs) file->set(reg, value);
        segment.attach(address, std::make_shared<platform::sim::SMBusSlave>(file));
        return file;
    }
    static void wordAt(RegisterFile& file, std::uint8_t reg, std::uint16_t value) {
        RegisterBehaviour word;
        word.word = true;
        file.setBehaviour(reg, word);
        file.set(reg, value);
    }
    // Registers 80h-FFh answer those 128 below them.
    static void repeatAfter128(RegisterFile& file) {
        for (int reg = 0x80; reg <= 0xFF; ++reg) {
            RegisterBehaviour mirror;
            mirror.mirrorOf = static_cast<std::uint8_t>(reg - 0x80);
            file.setBehaviour(static_cast<std::uint8_t>(reg), mirror);
        }
    }
    std::vector<int> codes() const {
        std::vector<int> list;
        for (const auto& s : monitor.Sensors) list.push_back(s->FChipCode);
        return list;
    }
    void reset(std::uint8_t address) {
        monitor.Sensors.clear();
        monitor.SensorInUse.clear();
        while (registered(smbus, address)) link(smbus).UnregisterAddress(address);
        boxes.Readings.clear();
        boxes.Info.clear();
    }
};

// ---- ITE ----------------------------------------------------------------------------

std::shared_ptr<RegisterFile> ITEChip(std::uint8_t coreId, std::uint8_t ownAddress) {
    auto file = std::make_shared<RegisterFile>();
    file->set(0x58, 0x90);
    file->set(0x5B, coreId);
    file->set(0x00, 0x11);
    file->set(0x48, ownAddress);
    file->set(0xD8, 0x00);  // no mirror of 58h
    return file;
}

TEST_F(ChipProbes, ITEVariantsFirstMatchWins) {
    struct Case {
        const char* What;
        std::uint8_t CoreId;
        std::function<void(RegisterFile&)> Shape;
        std::uint8_t SuperIO;
        int Code;
        const char* Name;
    };
    const auto fill = [](std::uint8_t first, std::uint8_t last) {
        return [first, last](RegisterFile& f) {
            for (int r = first; r <= last; ++r) f.set(static_cast<std::uint8_t>(r), 0xFF);
        };
    };
    const auto none = [](RegisterFile&) {};
    const std::vector<Case> cases = {
        {"D8h mirrors 58h, core 00h", 0x00, [](RegisterFile& f) { f.set(0xD8, 0x90); }, 1, 80, "IT8705F"},
        {"D8h mirrors 58h, core 12h", 0x12, [](RegisterFile& f) { f.set(0xD8, 0x90); }, 77, 81, "IT8712F"},
        {"8Bh-8Fh all FFh", 0x12, fill(0x8B, 0x8F), 86, 82, "IT8712F(I)"},
        {"named IT8620E", 0x12, none, 77, 77, "IT8620E"},
        {"named IT8772F", 0x12, none, 90, 90, "IT8772F"},
        {"named IT8783F", 0x12, fill(0x98, 0x9F), 91, 91, "IT8783F"},
        {"named IT8728F", 0x12, none, 89, 89, "IT8728F"},
        {"named IT8720F", 0x12, none, 86, 86, "IT8720F"},
        {"named IT8721F", 0x12, none, 87, 87, "IT8721F"},
        {"98h-9Fh all FFh", 0x12, fill(0x98, 0x9F), 1, 85, "IT8718F"},
        {"otherwise", 0x12, none, 1, 83, "IT8712F(J)"},
    };
    for (const Case& c : cases) {
        reset(0x2D);
        auto file = ITEChip(c.CoreId, 0x2D);
        c.Shape(*file);
        segment.detach(0x2D);
        segment.attach(0x2D, std::make_shared<platform::sim::SMBusSlave>(file));
        SuperIOInfo.ChipCode = c.SuperIO;
        EXPECT_TRUE(ProbeITEOverSMBus(context, smbus, 0x2D)) << c.What;
        EXPECT_EQ(codes(), std::vector<int>{c.Code}) << c.What;
        EXPECT_TRUE(has(boxes.Readings, std::string(c.Name) + " found on SMBus at $2D")) << c.What;
        const bool named = std::string(c.What).rfind("named", 0) == 0;
        EXPECT_EQ(has(boxes.Info, std::string("SuperIO chip was already identified as an ") + c.Name), named) << c.What;
    }
}

TEST_F(ChipProbes, ITEIdentityAndTheOwnAddressRule) {
    struct Case {
        std::uint8_t Reg, Value;
    };
    // Each breaks one identity test; 48h naming another address is refused on SMBus.
    for (const Case& c : {Case{0x58, 0x91}, Case{0x5B, 0x13}, Case{0x00, 0x91}, Case{0x48, 0x2E}}) {
        reset(0x2D);
        auto file = ITEChip(0x12, 0x2D);
        file->set(c.Reg, c.Value);
        segment.detach(0x2D);
        segment.attach(0x2D, std::make_shared<platform::sim::SMBusSlave>(file));
        EXPECT_FALSE(ProbeITEOverSMBus(context, smbus, 0x2D)) << int(c.Reg);
        EXPECT_TRUE(monitor.Sensors.empty());
        EXPECT_TRUE(boxes.Readings.empty());
    }
    // The same chip behind an ISA link's index/data pair is accepted.
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    link(isa).UpdateName();
    machine().ports().claim(0x295, 0x296,
                            std::make_shared<platform::sim::IndexDataPort>(ITEChip(0x12, 0x2E), 0x295, 0x296));
    EXPECT_TRUE(ProbeITEOverSMBus(context, isa, 0x290));
    EXPECT_TRUE(has(boxes.Readings, "IT8712F(J) found on ISA at $290"));
}

TEST_F(ChipProbes, ITESensorIsAddedWithTheSMBusLockHeld) {
    segment.attach(0x2D, std::make_shared<platform::sim::SMBusSlave>(ITEChip(0x12, 0x2D)));
    int heldAtCreation = -1;
    factory.SetCreator("TITSensor", [&](TLink* l, std::uint32_t a, std::uint8_t code, TSensorLogEvent log,
                                        const std::string& v, const std::string& p, const std::string& s) {
        heldAtCreation = BusLockCount(false);
        return CreateSensor<TTestChip>(l, a, code, std::move(log), v, p, s, "ITE", 0xFFFF);
    });
    ProbeSmbusAddress(context, smbus, 0x2D);
    EXPECT_EQ(codes(), std::vector<int>{83});
    EXPECT_GT(heldAtCreation, 0);
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(ChipProbes, IT8702FNeedsTheFileRepeatedAfter128Bytes) {
    auto file = chip(0x2E, {{0x58, 0x90}, {0x00, 0x11}, {0x13, 0x05}, {0x14, 0x40}, {0x15, 0x7F}, {0x16, 0x20},
                            {0x17, 0x33}, {0x48, 0x2D}, {0x01, 0x02}, {0x0B, 0x09}, {0x59, 0x12}});
    repeatAfter128(*file);
    SuperIOInfo.ChipCode = 79;
    EXPECT_TRUE(ProbeIT8702F(context, smbus, 0x2E));
    EXPECT_TRUE(has(boxes.Readings, "IT8702F found on SMBus at $2E"));
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{
                              "Probing IT8702F at $2E : [$00]=$11", " --> reported SMBus base address is $2D",
                              "SuperIO chip was already identified as an IT8702F", "IT8702F found on SMBus at $2E",
                              "  --> [$13]=$05", "  --> [$14]=$40",
                              "  --> [$15]=$7F", "  --> [$16]=$20", "  --> [$17]=$33",
                              "  --> FAN_CTL1 is set to PWM=$7F", "  --> FAN_CTL2 is set to ON/OFF",
                              "  --> FAN_CTL3 is set to PWM=$33"}));

    reset(0x2E);
    file->setBehaviour(0xD9, {});  // 59h no longer repeats at D9h
    file->set(0xD9, 0x13);
    EXPECT_FALSE(ProbeIT8702F(context, smbus, 0x2E));
    EXPECT_TRUE(has(boxes.Info, " --> some registers are not replicated 128 bytes later"));
    EXPECT_TRUE(boxes.Readings.empty());
}

TEST_F(ChipProbes, IT8693FSelectsEachFanBankAndLeavesBank2) {
    auto file = std::make_shared<RegisterFile>(3);
    file->setBankSelector({0x51, 0xC0, 6, 0x52, 0x5C});
    for (int bank = 0; bank < 3; ++bank) file->set(0x58, 0x90, bank);  // 58h lies in the banked range
    file->set(0x48, 0x2F);
    file->set(0x51, 0x45);  // fans 1 and 3 controlled, bank 1 selected
    for (int bank = 0; bank < 3; ++bank) file->set(0x52, bank == 2 ? 0x80 : 0x22, bank);
    segment.attach(0x2F, std::make_shared<platform::sim::SMBusSlave>(file));
    EXPECT_TRUE(ProbeIT8693F(context, smbus, 0x2F));
    EXPECT_TRUE(has(boxes.Readings, "IT8693F found on SMBus at $2F"));
    EXPECT_EQ(writesTo(0x51), (std::vector<int>{0x05, 0x45, 0x85}));
    EXPECT_EQ(file->peek(0x51), 0x85);
    EXPECT_TRUE(has(boxes.Info, "  --> [$51]=$45"));
    EXPECT_TRUE(has(boxes.Info, "  FAN1 [$52]=$22"));
    EXPECT_TRUE(has(boxes.Info, "  --> FAN_CTL1 is set to PWM=$22"));
    EXPECT_TRUE(has(boxes.Info, "  --> FAN_CTL2 is set to ON/OFF mode"));
    EXPECT_TRUE(has(boxes.Info, "  --> FAN_CTL3 is set to SmartGuardian"));

    // 51h with bits 7-6 both set is no IT8693F.
    reset(0x2F);
    file->set(0x51, 0xC0);
    EXPECT_FALSE(ProbeIT8693F(context, smbus, 0x2F));
}

// ---- floating buses ---------------------------------------------------------------------

TEST_F(ChipProbes, FloatingBusesAddNothingAnywhere) {
    for (std::uint8_t value : {0xFF, 0x00}) {
        segment.setFloating(value);
        for (std::uint32_t address = 0x10; address <= 0x77; ++address) {
            if (IsUsefulSmbusAddress(address)) ProbeSmbusAddress(context, smbus, address);
        }
        EXPECT_TRUE(monitor.Sensors.empty()) << int(value) << " added code " << codes().front();
        EXPECT_EQ(BusLockCount(false), 0);
        const auto lines = boxes.Readings;
        EXPECT_TRUE(std::none_of(lines.begin(), lines.end(),
                                 [](const std::string& l) { return l.find("found") != std::string::npos; }))
            << int(value);
    }
}

TEST_F(ChipProbes, FloatingBusesAgainstEveryProbe) {
    using Probe = std::function<bool(std::uint8_t)>;
    const auto plain = [this](bool (*p)(TDetectionContext&, int, std::uint32_t)) {
        return Probe([this, p](std::uint8_t a) { return p(context, smbus, a); });
    };
    const auto named = [this](bool (*p)(TDetectionContext&, int, std::uint32_t, const std::string&)) {
        return Probe([this, p](std::uint8_t a) { return p(context, smbus, a, "X"); });
    };
    const std::vector<std::pair<const char*, Probe>> probes = {
        {"ITE", plain(ProbeITEOverSMBus)},
        {"IT8702F", plain(ProbeIT8702F)},
        {"IT8693F", plain(ProbeIT8693F)},
        {"Fujitsu", [this](std::uint8_t a) { return ProbeFujitsuChip(context, smbus, a, {0x41, 0x52, 0x47}, "X"); }},
        {"LM75", plain(ProbeLM75)},
        {"AD7416", plain(ProbeAD7416)},
        {"AD7417", plain(ProbeAD7417)},
        {"LM78", plain(ProbeLM78)},
        {"LM78J", plain(ProbeLM78J)},
        {"LM79", plain(ProbeLM79)},
        {"LM80", plain(ProbeLM80)},
        {"LM84", named(ProbeLM84)},
        {"LM87", named(ProbeLM87)},
        {"LM92", plain(ProbeLM92)},
        {"MAX6650", plain(ProbeMAX6650)},
        {"MAX6657", named(ProbeMAX6657)},
        {"M5879", plain(ProbeM5879)},
        {"GL518SM", [this](std::uint8_t a) { return ProbeGL518Family(context, smbus, a, 0x80, "GL518SM"); }},
        {"GL520SM", [this](std::uint8_t a) { return ProbeGL518Family(context, smbus, a, 0x20, "GL520SM"); }},
        {"GL523SM", plain(ProbeGL523SM)},
        {"GL525SM", plain(ProbeGL525SM)},
        {"G768B", plain(ProbeG768B)},
        {"G768D", plain(ProbeG768D)},
    };
    for (std::uint8_t value : {0xFF, 0x00}) {
        chip(0x2D);
        for (int r = 0; r < 256; ++r) segment.slave(0x2D)->registers().set(static_cast<std::uint8_t>(r), value);
        for (const auto& [name, probe] : probes) {
            EXPECT_FALSE(probe(0x2D)) << name << " on " << int(value);
            EXPECT_EQ(BusLockCount(false), 0) << name;
        }
    }
    EXPECT_TRUE(monitor.Sensors.empty());
    EXPECT_TRUE(boxes.Readings.empty());
}

TEST_F(ChipProbes, ReadsFailingMidProbeReleaseTheLink) {
    auto file = chip(0x48);
    wordAt(*file, 0x00, 0x1900);
    wordAt(*file, 0x02, 0x4B00);
    file->setFault(0x03, {platform::sim::RegisterFault::Kind::Fail, -1});
    EXPECT_FALSE(ProbeLM75(context, smbus, 0x48));
    EXPECT_EQ(BusLockCount(false), 0);
    EXPECT_TRUE(boxes.Readings.empty());
}

// ---- probes by register behaviour ------------------------------------------------------

std::shared_ptr<RegisterFile> LM75Chip() {
    auto file = std::make_shared<RegisterFile>();
    for (std::uint8_t reg : {0x00, 0x02, 0x03}) {
        RegisterBehaviour word;
        word.word = true;
        file->setBehaviour(reg, word);
    }
    file->set(0x00, 0x1900);
    file->set(0x02, 0x4B00);
    file->set(0x03, 0x5000);
    return file;
}

TEST_F(ChipProbes, LM75AndItsRejections) {
    monitor.Options.DebugMode = true;
    segment.attach(0x49, std::make_shared<platform::sim::SMBusSlave>(LM75Chip()));
    EXPECT_TRUE(ProbeLM75(context, smbus, 0x49));
    EXPECT_TRUE(has(boxes.Readings, "LM75 found on SMBus at $49"));
    EXPECT_TRUE(has(boxes.Info, "ProbeLM75 at $49 00=$1900 01=$00 02=$4B00 03=$5000"));
    segment.slave(0x49)->registers().set(0x01, 0x20);  // a reserved configuration bit
    EXPECT_FALSE(ProbeLM75(context, smbus, 0x49));
}

TEST_F(ChipProbes, AD7416IsTriedBeforeLM75) {
    // 01h, 02h and 03h repeat at +20h, +28h and +30h, not at 0Dh, 16h and 1Fh.
    auto file = LM75Chip();
    file->set(0x04, 0x12);
    for (auto [reg, copy] : {std::pair{0x01, 0x21}, {0x02, 0x2A}, {0x03, 0x33}}) {
        RegisterBehaviour mirror;
        mirror.mirrorOf = static_cast<std::uint8_t>(reg);
        file->setBehaviour(static_cast<std::uint8_t>(copy), mirror);
    }
    file->set(0x0D, 0x41);
    file->set(0x16, 0x01);
    file->set(0x1F, 0x02);
    segment.attach(0x4A, std::make_shared<platform::sim::SMBusSlave>(file));
    ProbeSmbusAddress(context, smbus, 0x4A);
    EXPECT_EQ(codes(), std::vector<int>{114});
    EXPECT_TRUE(has(boxes.Readings, "AD7416 found on SMBus at $4A"));
    EXPECT_TRUE(has(boxes.Info, " --> AD7416 check : 00:19 02:4B 03:50 04:12"));

    reset(0x4A);
    file->set(0x16, 0x4B);  // 02h shows again at 16h: not an AD7416, so the LM75 answers
    ProbeSmbusAddress(context, smbus, 0x4A);
    EXPECT_EQ(codes(), std::vector<int>{54});
}

TEST_F(ChipProbes, AD7417MirrorsAndMisdetections) {
    // 02h-04h are 16-bit; byte reads show their high bytes.
    auto file = chip(0x2B, {{0x00, 0x19}, {0x01, 0x20}, {0x05, 0x00}});
    wordAt(*file, 0x02, 0x4B00);
    wordAt(*file, 0x03, 0x5000);
    wordAt(*file, 0x04, 0x3300);
    for (auto [reg, copy] : {std::pair{0x01, 0x21}, {0x02, 0x2A}, {0x03, 0x33}, {0x04, 0x3C}, {0x05, 0x45}}) {
        RegisterBehaviour mirror;
        mirror.mirrorOf = static_cast<std::uint8_t>(reg);
        file->setBehaviour(static_cast<std::uint8_t>(copy), mirror);
    }
    EXPECT_TRUE(ProbeAD7417(context, smbus, 0x2B));
    EXPECT_TRUE(has(boxes.Readings, "AD7417 found on SMBus at $2B"));
    for (std::uint8_t reg : {0x02, 0x03, 0x04}) file->set(reg, 0x0080);
    EXPECT_FALSE(ProbeAD7417(context, smbus, 0x2B));
    EXPECT_TRUE(has(boxes.Info, " --> This appears to be a misdetected AD7417"));
}

TEST_F(ChipProbes, LM78FamilyOwnAddressOnSMBusAndOnISA) {
    struct Case {
        std::uint8_t Id;
        int Code;
        const char* Name;
    };
    for (const Case& c : {Case{0x80, 57, "LM79"}, Case{0x40, 56, "LM78-J"}, Case{0x00, 56, "LM78"}}) {
        reset(0x2D);
        chip(0x2D, {{0x40, 0x01}, {0x48, 0x2D}, {0x49, c.Id}, {0x27, 0x30}, {0x3D, 0x01}});
        ProbeSmbusAddress(context, smbus, 0x2D);
        EXPECT_EQ(codes(), std::vector<int>{c.Code}) << c.Name;
        EXPECT_TRUE(has(boxes.Readings, std::string(c.Name) + " found on SMBus at $2D")) << c.Name;
    }
    // 48h naming another address: refused on SMBus, accepted on ISA unless bit 7 is set there.
    reset(0x2D);
    auto twin = chip(0x2D, {{0x40, 0x01}, {0x48, 0x2C}, {0x49, 0x00}});
    EXPECT_FALSE(ProbeLM78(context, smbus, 0x2D));
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    link(isa).UpdateName();
    machine().ports().claim(0x295, 0x296, std::make_shared<platform::sim::IndexDataPort>(twin, 0x295, 0x296));
    EXPECT_TRUE(ProbeLM78(context, isa, 0x290));
    twin->set(0x48, 0xAC);
    EXPECT_FALSE(ProbeLM78(context, isa, 0x290));
    twin->set(0x49, 0x80);
    EXPECT_TRUE(ProbeLM79(context, isa, 0x290));  // the LM79 rule has no bit-7 test
}

// Six address bits decoded: every register shows again at +40h, +80h, +C0h.
std::shared_ptr<RegisterFile> LM80Chip() {
    auto file = std::make_shared<RegisterFile>();
    file->set(0x00, 0x01);
    file->set(0x27, 0x30);
    file->set(0x2A, 0x55);
    file->set(0x39, 0x46);
    for (int reg = 0x40; reg <= 0xFF; ++reg) {
        RegisterBehaviour mirror;
        mirror.mirrorOf = static_cast<std::uint8_t>(reg & 0x3F);
        file->setBehaviour(static_cast<std::uint8_t>(reg), mirror);
    }
    return file;
}

TEST_F(ChipProbes, LM80RedundancyAndItsFalseTwins) {
    auto file = LM80Chip();
    segment.attach(0x24, std::make_shared<platform::sim::SMBusSlave>(file));
    ProbeSmbusAddress(context, smbus, 0x24);
    EXPECT_EQ(codes(), std::vector<int>{58});
    EXPECT_TRUE(has(boxes.Readings, "LM80 found on SMBus at $24"));

    reset(0x24);
    file->setBehaviour(0xAA, {});
    file->set(0xAA, 0x56);
    EXPECT_FALSE(ProbeLM80(context, smbus, 0x24));
    EXPECT_TRUE(has(boxes.Info, " - false LM80 at $24 as it hasn't register redundancy"));
    file->set(0x00, 0x81);
    EXPECT_FALSE(ProbeLM80(context, smbus, 0x24));
    EXPECT_TRUE(has(boxes.Info, " - false LM80 at $24 as it unrealistically states it is initializing"));
    for (int reg = 0x00; reg <= 0x3F; ++reg) file->set(static_cast<std::uint8_t>(reg), 0x00);
    file->set(0xAA, 0x00);
    EXPECT_FALSE(ProbeLM80(context, smbus, 0x24));
    EXPECT_TRUE(has(boxes.Info, " - false LM80 at $24 as all regs are the same"));
}

TEST_F(ChipProbes, LM80At2DhWithAndWithoutTheVIA686BOnISA) {
    segment.attach(0x2D, std::make_shared<platform::sim::SMBusSlave>(LM80Chip()));
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    auto block = std::make_shared<RegisterFile>();
    block->set(0x3F, 0xA2);
    machine().ports().claim(0xE800, 0xE87F, std::make_shared<platform::sim::FlatPortRange>(block, 0xE800, 0x80));
    struct Case {
        bool ViaSensor, Disabled;
        std::vector<int> Codes;
        const char* Found;
    };
    const std::vector<Case> cases = {
        {false, false, {}, "LM80"},        // the LM80 line, nothing added at 2Dh
        {false, true, {72}, "LM80"},       // stands for the disabled VIA monitor
        {true, false, {72, 2}, "VIA686B"},  // a placeholder, no LM80
        {true, true, {72, 72}, "VIA686B"},
    };
    for (const Case& c : cases) {
        reset(0x2D);
        if (c.ViaSensor) factory.AddSensor(isa, 0xE800, 72);
        context.VIAMonitorDisabled = c.Disabled;
        ProbeSmbusAddress(context, smbus, 0x2D);
        EXPECT_EQ(codes(), c.Codes) << c.ViaSensor << c.Disabled;
        EXPECT_TRUE(has(boxes.Readings, std::string(c.Found) + " found on SMBus at $2D")) << c.ViaSensor << c.Disabled;
        if (c.Codes == std::vector<int>{72, 2} && monitor.Sensors.size() == 2) {
            EXPECT_EQ(monitor.Sensors[1]->FChipName, "VIA686B (not used)");
        }
        while (registered(isa, 0xE800)) link(isa).UnregisterAddress(0xE800);
    }
}

TEST_F(ChipProbes, LinesAndRejectionsOfTheSmallProbes) {
    struct Case {
        const char* What;
        std::uint8_t Address;
        Regs Image;
        std::vector<int> Codes;
        const char* Line;  // in the readings box
    };
    const std::vector<Case> cases = {
        {"LM84", 0x1A, {{0x00, 0x19}, {0x01, 0x2A}}, {60}, "LM84 found on SMBus at $1A"},
        {"LM84 manufacturer not 0", 0x1A, {{0x00, 0x19}, {0x04, 0x09}}, {}, nullptr},
        {"LM87", 0x2E, {{0x3E, 0x02}, {0x3F, 0x06}, {0x40, 0x01}, {0xC0, 0x05}}, {64}, "LM87 (REV=$06) found on SMBus at $2E"},
        {"MAX6650", 0x1B, {{0x00, 0x0F}, {0x04, 0x02}, {0x16, 0x08}}, {135}, "MAX6650/6651 found on SMBus at $1B"},
        {"MAX6657", 0x4C, {{0xFE, 0x4D}, {0x03, 0x00}, {0xFF, 0x7E}}, {136}, "MAX6657 found on SMBus at $4C"},
        {"MAX6659", 0x4E, {{0xFE, 0x4D}, {0x03, 0x00}, {0xFF, 0x7E}}, {137}, "MAX6659 found on SMBus at $4E"},
        {"MAX6657 busy", 0x4C, {{0xFE, 0x4D}, {0x03, 0x10}, {0x01, 0xE0}}, {}, nullptr},
        {"GL523SM", 0x4D, {{0xFE, 0x23}, {0xFC, 0xFF}, {0x0F, 0xFF}, {0x02, 0x01}}, {2}, "GL523SM found on SMBus at $4D"},
        {"GL525SM adds nothing", 0x2D, {{0x00, 0x25}, {0x0F, 0x2D}}, {}, "GL525SM found on SMBus at $2D"},
        {"GL518SM", 0x2C, {{0x00, 0x80}, {0x01, 0x00}}, {92}, "GL518SM found on SMBus at $2C"},
        {"GL518SM 99h set, then GL520SM", 0x2C, {{0x00, 0x80}, {0x99, 0x01}}, {},
         "Assuming false GL518SM on SMBus at $2C"},
        {"GL520SM", 0x2D, {{0x00, 0x20}, {0x25, 0x01}}, {93}, "GL520SM found on SMBus at $2D"},
    };
    for (const Case& c : cases) {
        reset(c.Address);
        chip(c.Address, c.Image);
        ProbeSmbusAddress(context, smbus, c.Address);
        EXPECT_EQ(codes(), c.Codes) << c.What;
        if (c.Line) {
            EXPECT_TRUE(has(boxes.Readings, c.Line)) << c.What;
        }
    }
}

TEST_F(ChipProbes, LM92ByItsManufacturerWord) {
    auto file = chip(0x4B, {{0x01, 0x08}});
    wordAt(*file, 0x07, 0x8001);
    ProbeSmbusAddress(context, smbus, 0x4B);
    EXPECT_EQ(codes(), std::vector<int>{66});
    EXPECT_TRUE(has(boxes.Readings, "LM92 found on SMBus at $4B"));
    EXPECT_TRUE(has(boxes.Info, "LM92[$01] = $08"));
}

TEST_F(ChipProbes, G768BFallsToG768DWhen20hTo22hReadAllOnes) {
    Regs image = {{0x04, 0x02}, {0x22, 0x35}};
    for (std::uint8_t reg : {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x13, 0x14, 0x15, 0x20, 0x21, 0x25, 0x26, 0x40, 0x80, 0xF6})
        image.push_back({reg, 0xFF});
    chip(0x3D, image);
    ProbeSmbusAddress(context, smbus, 0x3D);
    EXPECT_EQ(codes(), std::vector<int>{181});
    reset(0x3D);
    segment.slave(0x3D)->registers().set(0x22, 0xFF);
    ProbeSmbusAddress(context, smbus, 0x3D);
    EXPECT_EQ(codes(), std::vector<int>{182});
    EXPECT_TRUE(has(boxes.Readings, "G768D found on SMBus at $3D"));
}

TEST_F(ChipProbes, M5879WaitsOnThePlatformClockHoldingTheLink) {
    chip(0x2C, {{0x3F, 0x01}, {0x48, 0x2C}, {0x40, 0x01}, {0x49, 0x01}, {0x4A, 0x00}});
    auto& clock = platform::current().clock();
    const std::uint64_t before = clock.monotonicMs();
    ProbeSmbusAddress(context, smbus, 0x2C);
    EXPECT_GE(clock.monotonicMs() - before, 100u);
    EXPECT_EQ(codes(), std::vector<int>{117});
    EXPECT_TRUE(has(boxes.Info, "M5879 seems to be on SMBus at $2C"));
    EXPECT_TRUE(has(boxes.Info, "[$40]=$01"));
    EXPECT_TRUE(has(boxes.Readings, "M5879 found on SMBus at $2C"));
    EXPECT_EQ(BusLockCount(false), 0);
}

// ---- end to end -------------------------------------------------------------------------

TEST_F(ChipProbes, AnICHBusWithFourMonitorsThroughTheBoardFile) {
    machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR) + "/signatures/ichsignatures.json");
    Links().clear();
    AddLink("ich", 0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, 0, 31, 3);
    TSensorFactory builtClasses{monitor};
    TDetectionContext run{monitor, builtClasses, engine};
    for (std::uint32_t address = 0x14; address <= 0x7F; ++address) {
        if (IsUsefulSmbusAddress(address)) ProbeSmbusAddress(run, 0, address);
    }
    std::vector<std::pair<int, std::uint32_t>> added;
    for (const auto& s : monitor.Sensors) added.push_back({s->FChipCode, s->FAddress});
    EXPECT_EQ(added, (std::vector<std::pair<int, std::uint32_t>>{{213, 0x18}, {112, 0x2E}, {54, 0x48}, {179, 0x73}}));
    // The factory and each sensor register the address.
    const auto& addresses = link(0).RegisteredAddresses();
    EXPECT_EQ(std::set<int>(addresses.begin(), addresses.end()), (std::set<int>{0x18, 0x2E, 0x48, 0x73}));
    const std::string n = name(0);
    EXPECT_TRUE(has(boxes.Readings, "ADT7476 (ID=$76) found on " + n + " at $2E"));
    EXPECT_TRUE(has(boxes.Readings, "LM75 found on SMBus at $48"));
    EXPECT_TRUE(has(boxes.Readings, "FS Poseidon (REV=$02) found on SMBus at $73"));
    EXPECT_EQ(BusLockCount(false), 0);
}

}  // namespace
