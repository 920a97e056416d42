#include "detect/cvsensorfactory.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "chips/cvdummysensor.h"
#include "chips/cvfintek.h"
#include "chips/cvheuristicsensor.h"
#include "chips/cvnational.h"
#include "core/cvsmartdisk.h"
#include "detect/detectfixture.h"

namespace {

using platform::sim::SMBusFault;
using platform::sim::SMBusProtocol;

// ---- the chip-code table ----------------------------------------------------

TEST(ChipCodeTable, EveryClassRowAndThePlainCodes) {
    const std::vector<std::pair<int, std::string>> rows = {
        {2, "TUnusedSensor"},      {3, "THeuristicSensor"},   {4, "TACPISensor"},        {5, "TAMDK8Sensor"},
        {6, "TAMDK10Sensor"},      {10, "TAMDK10Sensor"},     {11, "TIntelCoreSensor"},  {12, "TIntel5500Sensor"},
        {13, "TSMARTSensor"},      {14, "TArecaSensor"},      {15, "TThreeWareSensor"},  {16, "TAdvSMARTSensor"},
        {17, "TSCSISensor"},       {18, "TDELLSensor"},       {19, "TToshibaSensor"},    {20, "TASUSSensor"},
        {21, "TJOYSensor"},        {22, "TNVCplSensor"},      {23, "TADM1021Sensor"},    {59, "TADM1021Sensor"},
        {121, "TADM1021Sensor"},   {140, "TADM1021Sensor"},   {25, "TWinbondSensor"},    {36, "TWinbondSensor"},
        {52, "TWinbondSensor"},    {234, "TWinbondSensor"},   {45, "TFintekSensor"},     {235, "TFintekSensor"},
        {47, "TLM75Sensor"},       {57, "TLM75Sensor"},       {191, "TLM75Sensor"},      {72, "TVIA686Sensor"},
        {78, "TITSensor"},         {91, "TITSensor"},         {92, "TGLSensor"},         {104, "TJedecJC424Sensor"},
        {216, "TJedecJC424Sensor"}, {117, "TAliSensor"},      {118, "TAliSensor"},       {119, "TSMSCSensor"},
        {177, "TSMSCSensor"},      {221, "TSMSCSensor"},      {143, "TNSSensor"},        {147, "TNSSensor"},
        {178, "TFujitsuSensor"},   {226, "TFujitsuSensor"},   {180, "TNForce2Sensor"},   {181, "TGMTSensor"},
        {198, "TUGuruSensor"},     {199, "TATIPMSensor"},     {200, "TGeForceSensor"},   {201, "TFBDimmSensor"},
        {202, "TIntelQSTSensor"},  {203, "TIntelQST2Sensor"}, {204, "TACPISonySensor"},  {205, "TSuperMicroSensor"},
        {217, "TATK0110Sensor"},   {218, "TDummySensor"},     {219, "TACPIAsusLaptopSensor"},
        {222, "TATIADLSensor"},    {232, "TECNuvotonSensor"}};
    for (const auto& [code, name] : rows) EXPECT_EQ(ChipClassName(static_cast<std::uint8_t>(code)), name) << code;

    std::vector<int> plain = {0, 1, 46, 66, 75, 76, 80, 84, 88, 142, 148, 149, 164, 174, 175, 176, 184, 196, 224, 225};
    for (int code = 236; code <= 255; ++code) plain.push_back(code);
    for (int code = 0; code < 256; ++code) {
        const bool isPlain = std::find(plain.begin(), plain.end(), code) != plain.end();
        EXPECT_EQ(ChipClassName(static_cast<std::uint8_t>(code)) == "TSensor", isPlain) << code;
    }
}

TEST(ChipCodeTable, LinkZeroSourcesAndBuiltClasses) {
    for (int code : {4, 11, 18, 19, 198, 204, 219, 222}) EXPECT_TRUE(IsLinkZeroSource(static_cast<std::uint8_t>(code)));
    for (int code : {2, 25, 218}) EXPECT_FALSE(IsLinkZeroSource(static_cast<std::uint8_t>(code)));
    for (int code = 0; code < 256; ++code) {
        const std::string name(ChipClassName(static_cast<std::uint8_t>(code)));
        EXPECT_NE(FindChipCreator(name), nullptr) << code << " " << name;
    }
    EXPECT_EQ(FindChipCreator("TNoSuchSensor"), nullptr);
}

class SensorFactory : public DetectTest {};

TEST_F(SensorFactory, BuiltAndPlainClasses) {
    const int pci = addLink(LinkKinds::PCI, 0, 0);
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    factory.AddSensor(pci, 0, 218);
    factory.AddSensor(isa, 0x295, 66);
    ASSERT_EQ(monitor.Sensors.size(), 2u);
    EXPECT_NE(dynamic_cast<TDummySensor*>(monitor.Sensors[0].get()), nullptr);
    const TSensor& plain = *monitor.Sensors[1];
    EXPECT_EQ(typeid(plain), typeid(TSensor));
    EXPECT_EQ(monitor.Sensors[1]->FChipCode, 66);
    EXPECT_EQ(monitor.Sensors[1]->GetTempCount(), 0);
    EXPECT_EQ(monitor.SensorInUse, (std::vector<bool>{true, true}));
    EXPECT_TRUE(registered(isa, 0x295));
    EXPECT_TRUE(traced("FOUND " + monitor.Sensors[1]->FChipName + " at $0295"));
}

TEST_F(SensorFactory, FintekAndNationalCodesMakeTheirClasses) {
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    factory.AddSensor(isa, 0x290, 228);
    factory.AddSensor(isa, 0x295, 187);
    factory.AddSensor(isa, 0xA00, 146);
    ASSERT_EQ(monitor.Sensors.size(), 3u);
    EXPECT_EQ(dynamic_cast<TFintekSensor&>(*monitor.Sensors[0]).FChipName, "F71808A");
    const auto& none = dynamic_cast<TFintekSensor&>(*monitor.Sensors[1]);
    EXPECT_EQ(none.FChipName, "none");
    EXPECT_EQ(none.GetTempCount() + none.GetFanCount() + none.GetPwmCount() + none.GetVoltCount(), 0);
    EXPECT_EQ(dynamic_cast<TNSSensor&>(*monitor.Sensors[2]).FChipName, "PC87366");
}

// The card and joystick sensors as the factory makes them on a board that
// has the card tool installed in its default folder and a joystick.
TEST_F(SensorFactory, CardLibraryAndJoystickSensorsFromABoard) {
    machine().loadFromJson(R"({
        "systemRegistry": {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion":
                               {"ProgramFilesDir": "C:\\Program Files"}},
        "cardLibrary": {"path": "C:\\Program Files\\ASUS\\SmartDoctor\\anvmi.dll",
                        "temperatures": {"1": 64, "2": 60, "3": 51}, "fanSpeeds": {"1": 3100},
                        "voltages": {"0": 1350}},
        "joysticks": {"0": {"x": 40000, "y": 20000}}
    })",
                           "card.json");
    const int link = addLink(LinkKinds::PCI, 0, 0);
    factory.AddSensor(link, 0, 20);
    factory.AddSensor(link, 0, 21);
    ASSERT_EQ(monitor.Sensors.size(), 2u);
    TSensor& card = *monitor.Sensors[0];
    TSensor& joystick = *monitor.Sensors[1];
    EXPECT_TRUE(traced("FOUND ASUS Card at $0000"));
    EXPECT_TRUE(traced("FOUND Joystick Sensor at $0000"));
    card.ReadTemps();
    card.ReadFans();
    card.ReadVolts();
    joystick.ReadTemps();
    EXPECT_DOUBLE_EQ(card.GetTemp(3).Stats->Last(), 51);
    EXPECT_DOUBLE_EQ(card.GetFan(1).Stats->Last(), 3100);
    EXPECT_FLOAT_EQ(card.GetVolt(1).Stats->Last(), 1.35);
    EXPECT_DOUBLE_EQ(joystick.GetTemp(1).Stats->Last(), 40000);
    EXPECT_DOUBLE_EQ(joystick.GetTemp(2).Stats->Last(), 20000);
}

TEST_F(SensorFactory, ABadLinkIndexAddsNothing) {
    addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    EXPECT_NO_THROW(factory.AddSensor(-1, 0x290, 66));
    EXPECT_NO_THROW(factory.AddSensor(5, 0x290, 66));
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST_F(SensorFactory, BoardIdentityReachesTheSensor) {
    TBoardIdentity board;
    board.BoardManufacturer = "Maker";
    board.BoardProduct = "Board";
    board.SystemProduct = "System";
    monitor.Board = &board;
    factory.AddSensor(addLink(LinkKinds::PCI, 0, 0), 0, 46);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FBoardVendor, "Maker");
    EXPECT_EQ(monitor.Sensors[0]->FBoardProduct, "Board");
    EXPECT_EQ(monitor.Sensors[0]->FSystemProduct, "System");
}

// Link kind x switches x DebugMode: the line written to both boxes, or silence.
TEST_F(SensorFactory, LinkKindFilter) {
    struct Case {
        std::uint8_t kind;
        bool useISA, useSMB;
        std::uint8_t code;
        bool added;
        std::string line;
    };
    const std::vector<Case> cases = {
        {LinkKinds::ISA, true, false, 46, true, ""},
        {LinkKinds::ISA, false, true, 46, false, "INFO : ISA sensors DISABLED by user"},
        {LinkKinds::ISA, false, true, 4, true, ""},  // a source placed on link 0
        {LinkKinds::ISAFlat, false, true, 46, false, "INFO : FLAT ISA sensors DISABLED by user"},
        {LinkKinds::ISAFlat, true, false, 46, true, ""},
        {LinkKinds::SMBus, true, false, 46, false, "INFO : SMBus sensors DISABLED by user"},
        {LinkKinds::SMBus, false, true, 46, true, ""},
        {0, false, false, 46, true, ""},
        {LinkKinds::SMART, false, false, 46, true, ""},
        {LinkKinds::ECNuvoton, false, false, 46, true, ""},
        {1, true, true, 46, false, "WARNING : UNKNOWN BUS (Unknown) sensors DISABLED by user"},
        {16, true, true, 46, false, "WARNING : UNKNOWN BUS (Unknown) sensors DISABLED by user"},
    };
    factory.SetCreator("TACPISensor", *FindChipCreator("TSensor"));
    for (bool debug : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "kind " << int(c.kind) << " debug " << debug << " code " << int(c.code));
            monitor.Sensors.clear();
            monitor.SensorInUse.clear();
            boxes.Readings.clear();
            boxes.Info.clear();
            monitor.Options.DebugMode = debug;
            monitor.Options.UseISA = c.useISA;
            monitor.Options.UseSMB = c.useSMB;
            const int link = addLink(c.kind, HostKinds::ISA, 0x290);
            factory.AddSensor(link, 0x2D, c.code);
            EXPECT_EQ(monitor.Sensors.size(), c.added ? 1u : 0u);
            EXPECT_EQ(monitor.SensorInUse.size(), monitor.Sensors.size());
            if (c.kind != LinkKinds::SMART) {
                EXPECT_TRUE(registered(link, 0x2D));
            }
            const bool refusedLine = !c.line.empty() && debug;
            EXPECT_EQ(has(boxes.Readings, c.line) && has(boxes.Info, c.line), refusedLine);
            if (!c.added && !debug) {
                EXPECT_TRUE(boxes.Info.empty());
            }
        }
    }
}

TEST_F(SensorFactory, SMBusChipAfterItsISATwinBecomesAPlaceholder) {
    useChip("TWinbondSensor", "W83627HF", 0x2D);
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    const int smbus = addSMBusLink();
    factory.AddSensor(isa, 0x290, 25);
    factory.AddSensor(smbus, 0x2D, 25);
    ASSERT_EQ(monitor.Sensors.size(), 2u);
    auto* placeholder = dynamic_cast<TUnusedSensor*>(monitor.Sensors[1].get());
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->FChipName, "W83627HF (not used)");
    EXPECT_EQ(placeholder->FLink, Links()[1].get());
    EXPECT_TRUE(has(boxes.Readings, "INFO : sensor already on ISA"));
    EXPECT_TRUE(registered(smbus, 0x2D));
}

TEST_F(SensorFactory, ISAChipAfterItsSMBusTwinIsRemoved) {
    useChip("TWinbondSensor", "W83627HF", 0x2D);
    const int smbus = addSMBusLink();
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    factory.AddSensor(smbus, 0x2D, 25);
    factory.AddSensor(isa, 0x290, 25);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.SensorInUse.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FLink, Links()[0].get());
    const std::string line = "DUPLICATE --> W83627HF from ISA at $0290 IS THE SAME AS W83627HF from SMBus at $0400";
    EXPECT_TRUE(has(boxes.Readings, line));
    EXPECT_TRUE(traced("About to remove W83627HF from ISA at $0290 (DUPLICATED)"));
    EXPECT_TRUE(traced("End of sensor removal"));
    EXPECT_TRUE(registered(isa, 0x290));
}

TEST_F(SensorFactory, TwoISATwinsKeepTheFirst) {
    monitor.Options.DebugMode = false;
    useChip("TWinbondSensor", "W83627HF");
    const int first = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    const int second = addLink(LinkKinds::ISA, HostKinds::ISA, 0x295);
    factory.AddSensor(first, 0x290, 25);
    factory.AddSensor(second, 0x290, 25);
    factory.AddSensor(second, 0x290, 26);  // another code is another chip
    ASSERT_EQ(monitor.Sensors.size(), 2u);
    EXPECT_EQ(monitor.Sensors[1]->FChipCode, 26);
    const std::string line = "DUPLICATE --> W83627HF from ISA at $0295 WAS ALREADY ADDED AS W83627HF from ISA at $0290";
    EXPECT_TRUE(has(boxes.Info, line));
    EXPECT_FALSE(has(boxes.Readings, line));  // DebugMode off: information box only
}

TEST_F(SensorFactory, ChipsThatReportNoSMBusAddressAreNoTwins) {
    useChip("TWinbondSensor", "W83627HF");  // reports $FFFF
    factory.AddSensor(addSMBusLink(), 0x2D, 25);
    factory.AddSensor(addLink(LinkKinds::ISA, HostKinds::ISA, 0x290), 0x290, 25);
    EXPECT_EQ(monitor.Sensors.size(), 2u);
}

TEST_F(SensorFactory, ARaisingConstructorLeavesNoEntry) {
    factory.SetCreator("TWinbondSensor", [](auto&&...) -> std::unique_ptr<TSensor> {
        throw std::runtime_error("no chip");
    });
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    factory.AddSensor(isa, 0x290, 46);
    EXPECT_THROW(factory.AddSensor(isa, 0x295, 25), std::runtime_error);
    EXPECT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.SensorInUse.size(), 1u);
    EXPECT_TRUE(registered(isa, 0x295));
}

TEST_F(SensorFactory, AddUnusedChip) {
    const int smbus = addSMBusLink();
    factory.AddUnusedChip(smbus, 0x50, "EEPROM", true);
    factory.AddUnusedChip(smbus, 0x51, "EEPROM", false);
    ASSERT_EQ(monitor.Sensors.size(), 2u);
    EXPECT_EQ(monitor.Sensors[0]->FChipName, "EEPROM (>>>need support<<<)");
    EXPECT_EQ(monitor.Sensors[1]->FChipName, "EEPROM (not used)");

    monitor.Options.UseSMB = false;
    useChip("TADM1021Sensor", "LM85");
    factory.AddSensor(addLink(LinkKinds::ISA, HostKinds::ISA, 0x290), 0x290, 23);
    factory.AddUnusedChip(smbus, 0x52, "EEPROM", false);
    ASSERT_EQ(monitor.Sensors.size(), 3u);
    EXPECT_EQ(monitor.Sensors[2]->FChipName, "LM85");  // the newest sensor is not renamed
    EXPECT_TRUE(registered(smbus, 0x52));
}

TEST_F(SensorFactory, PropertyDump) {
    class TBadProps : public TSensor {
    public:
        TBadProps(TLink* link, std::uint32_t address, std::uint8_t code, TSensorLogEvent onLog)
            : TSensor(link, address, code, std::move(onLog), "", "", "") {
            AddProp(1);
            AddProp(2);
        }
        std::string GetPropName(int index) override {
            if (index == 0) throw std::runtime_error("unreadable");
            return TSensor::GetPropName(index);
        }
    };
    factory.SetCreator("TSensor", [](TLink* link, std::uint32_t address, std::uint8_t code, TSensorLogEvent onLog,
                                     const std::string&, const std::string&, const std::string&) {
        auto sensor = CreateSensor<TBadProps>(link, address, code, std::move(onLog));
        return std::unique_ptr<TSensor>(std::move(sensor));
    });
    factory.AddSensor(addLink(LinkKinds::PCI, 0, 0), 7, 46);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    TSensor& sensor = *monitor.Sensors[0];
    ASSERT_GT(sensor.GetPropCount(), 1);
    EXPECT_TRUE(has(boxes.Readings, "GOTIT DEBUG 5 unreadable"));
    const std::string second = " -> " + sensor.GetPropName(1) + " : " + sensor.GetPropValue(1);
    EXPECT_TRUE(has(boxes.Info, second));
    EXPECT_FALSE(has(boxes.Readings, second));
    EXPECT_TRUE(traced("FOUND " + sensor.FChipName + " at $0007"));
}

// ---- disks --------------------------------------------------------------

class TTestDisk : public TSensor, public TSmartDisk {
public:
    TTestDisk(TLink* link, std::uint32_t address, std::uint8_t code, TSensorLogEvent onLog, std::string model)
        : TSensor(link, address, code, std::move(onLog), "", "", ""), model_(std::move(model)) {}
    std::optional<double> Fitness() const override { return 0.5; }
    std::optional<double> Performance() const override { return 0.5; }
    int GetDriveNumber() const override { return 0; }
    std::string NameText() const override { return model_; }
    std::span<const std::uint8_t> AttributePage() const override { return {}; }
    std::span<const std::uint8_t> ThresholdPage() const override { return {}; }
    std::string Model() const override { return model_; }
    std::string Firmware() const override { return "FW1"; }
    std::string Serial() const override { return "SN1"; }

private:
    std::string model_;
};

TEST_F(SensorFactory, DiskSensorsGetTheReadEventAndAreKnownByIdentity) {
    factory.SetCreator("TSMARTSensor", [](TLink* link, std::uint32_t address, std::uint8_t code, TSensorLogEvent onLog,
                                          const std::string&, const std::string&, const std::string&) {
        return std::unique_ptr<TSensor>(CreateSensor<TTestDisk>(link, address, code, std::move(onLog), "ST500"));
    });
    const int smart = addLink(LinkKinds::SMART, 0, 0);
    EXPECT_FALSE(monitor.IsSmartDriveKnown("ST500", "FW1", "SN1"));
    factory.AddSensor(smart, 0, 13);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    auto* disk = dynamic_cast<TTestDisk*>(monitor.Sensors[0].get());
    ASSERT_NE(disk, nullptr);
    EXPECT_TRUE(static_cast<bool>(disk->OnSmartRead));
    EXPECT_NO_THROW(disk->OnSmartRead(*disk, 0, 0.5));
    EXPECT_TRUE(monitor.IsSmartDriveKnown("ST500", "FW1", "SN1"));
    EXPECT_FALSE(monitor.IsSmartDriveKnown("st500", "FW1", "SN1"));
    EXPECT_FALSE(monitor.IsSmartDriveKnown("ST500", "FW1", "SN1 "));
}

// ---- pre-start sequences --------------------------------------------------

std::vector<std::string> Requests(const platform::sim::SMBusSegment& segment) {
    std::vector<std::string> out;
    for (const auto& r : segment.requests()) {
        if (r.protocol != SMBusProtocol::ByteData) continue;
        char text[16];
        if (r.read)
            std::snprintf(text, sizeof text, "r%02X", r.command);
        else
            std::snprintf(text, sizeof text, "w%02X=%02X", r.command, r.data0);
        out.emplace_back(text);
    }
    return out;
}

std::vector<std::string> LimitPairs(int n) {
    std::vector<std::string> out;
    char text[16];
    for (int i = 0; i < n; ++i) {
        std::snprintf(text, sizeof text, "w%02X=AA", 0x2C + 2 * i);
        out.emplace_back(text);
        std::snprintf(text, sizeof text, "w%02X=D2", 0x2B + 2 * i);
        out.emplace_back(text);
    }
    return out;
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class PreStart : public DetectTest {
protected:
    PreStart() {
        segment.attach(0x2D, slave);
        slave->registers().set(0x40, 0x08);
        slave->registers().set(0x47, 0x5F);
        for (const char* cls : {"TLM75Sensor", "TADM1021Sensor", "TITSensor"}) useChip(cls, "chip");
        link = addSMBusLink();
    }
    std::vector<std::string> run(std::uint8_t code) {
        segment.clearRequests();
        factory.AddSensor(link, 0x2D, code);
        return Requests(segment);
    }

    std::shared_ptr<platform::sim::SMBusSlave> slave = std::make_shared<platform::sim::SMBusSlave>();
    int link = -1;
};

TEST_F(PreStart, GoldenSequences) {
    const std::vector<std::string> lm81 = Join(
        {{"r40", "w40=80"}, LimitPairs(6), {"w3B=DC", "w3C=DC", "w39=3C", "w3A=32", "w4B=00", "w40=01"}});
    struct Case {
        std::uint8_t code;
        std::vector<std::string> requests;
        std::uint64_t waitedMs;
    };
    const std::vector<Case> cases = {
        {57, {"r40", "w40=01", "w40=01", "r47", "w47=AF"}, 400},
        {59, lm81, 0},
        {103, lm81, 0},
        {140, lm81, 0},
        {78, Join({{"r40", "w40=80"}, LimitPairs(7), {"w39=3C", "w3A=00", "w40=01"}}), 500},
        {96, Join({{"r40"}, LimitPairs(6), {"w37=3C", "w38=00", "w39=3C", "w3A=00", "w40=01"}}), 100},
    };
    auto& clock = platform::current().clock();
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.code));
        slave->registers().set(0x40, 0x08);
        slave->registers().set(0x47, 0x5F);
        boxes.Readings.clear();
        const std::uint64_t before = clock.monotonicMs();
        EXPECT_EQ(run(c.code), c.requests);
        EXPECT_GE(clock.monotonicMs() - before, c.waitedMs);
        EXPECT_LT(clock.monotonicMs() - before, c.waitedMs + 100);
        EXPECT_EQ(boxes.Readings, (std::vector<std::string>{"INFO: sensor is not (yet) monitoring",
                                                            "INFO: sensor started by CALDAVOR"}));
        EXPECT_EQ(monitor.Sensors.back()->FChipCode, c.code);
    }
}

TEST_F(PreStart, NoneWhenTheChipMonitorsOrForOtherCodes) {
    slave->registers().set(0x40, 0x01);
    EXPECT_EQ(run(59), (std::vector<std::string>{"r40"}));
    slave->registers().set(0x40, 0x00);
    EXPECT_TRUE(run(58).empty());
    EXPECT_EQ(monitor.Sensors.size(), 2u);
    EXPECT_TRUE(boxes.Readings.empty());
}

TEST_F(PreStart, SlaveFaultsStopBeforeAnyWrite) {
    slave->registers().set(0x40, 0x00);
    slave->setFault({SMBusFault::Kind::AllOnes, -1});  // 40h reads FFh: monitoring
    EXPECT_EQ(run(59), (std::vector<std::string>{"r40"}));
    slave->setFault({SMBusFault::Kind::Nack, -1});  // 40h unreadable
    for (const auto& request : run(59)) EXPECT_EQ(request, "r40");
    EXPECT_EQ(monitor.Sensors.size(), 2u);
    EXPECT_TRUE(boxes.Readings.empty());
}

// A host whose chip refuses every write to register 40h.
class TRefusingStartHost : public testsupport::SimProtocolHost {
public:
    using SimProtocolHost::SimProtocolHost;
    bool DecodeError(const TSMBusRequest& request) override {
        if (!request.Read && request.Command == 0x40) {
            Link().SetLastError(SMBusErrors::NoAck);
            return false;
        }
        return SimProtocolHost::DecodeError(request);
    }
};

TEST_F(PreStart, AFailedResetWriteEndsTheSequence) {
    Links().push_back(std::make_unique<TLink>(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, [this](TLink& l) {
        return std::make_unique<TRefusingStartHost>(l, segment);
    }));
    slave->registers().set(0x40, 0x00);
    monitor.Options.DebugMode = false;
    factory.AddSensor(static_cast<int>(Links().size() - 1), 0x2D, 59);
    const auto requests = Requests(segment);
    EXPECT_EQ(requests.front(), "r40");
    for (std::size_t i = 1; i < requests.size(); ++i) EXPECT_EQ(requests[i], "w40=80");
    EXPECT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_TRUE(has(boxes.Info, "INFO: sensor is not (yet) monitoring"));
    EXPECT_FALSE(has(boxes.Info, "INFO: sensor started by CALDAVOR"));
    EXPECT_TRUE(boxes.Readings.empty());
}

// A chip whose ports raise on every access.
class TRaisingPorts : public platform::sim::PortDevice {
public:
    std::uint32_t read(std::uint16_t, int) override { throw std::runtime_error("bus gone"); }
    void write(std::uint16_t, int, std::uint32_t) override { throw std::runtime_error("bus gone"); }
};

TEST_F(PreStart, ARaisingPreStartAppendsNothingAndTheNextChipIsAdded) {
    machine().ports().claim(0x295, 0x296, std::make_shared<TRaisingPorts>(), "raising");
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    slave->registers().set(0x40, 0x00);
    for (const std::uint8_t code : {57, 59, 78, 96, 103, 140}) {
        SCOPED_TRACE(int(code));
        const std::size_t sensors = monitor.Sensors.size();
        EXPECT_THROW(factory.AddSensor(isa, 0x290, code), std::runtime_error);
        EXPECT_EQ(monitor.Sensors.size(), sensors);
        EXPECT_EQ(monitor.SensorInUse.size(), sensors);
        EXPECT_TRUE(registered(isa, 0x290));

        factory.AddSensor(link, 0x2D, code);
        ASSERT_EQ(monitor.Sensors.size(), sensors + 1);
        EXPECT_EQ(monitor.SensorInUse.size(), sensors + 1);
        ASSERT_NE(monitor.Sensors.back(), nullptr);
        EXPECT_EQ(monitor.Sensors.back()->FChipCode, code);
    }
}

TEST_F(SensorFactory, ARaisingDuplicateTestLeavesNoEntry) {
    // the duplicate test asks the newest ISA sensor for its SMBus address
    class TRaisingChip : public TSensor {
    public:
        using TSensor::TSensor;
        std::uint16_t GetReportedSMBus() override { throw std::runtime_error("unreadable"); }
    };
    factory.SetCreator("TWinbondSensor", [](TLink* link, std::uint32_t address, std::uint8_t code,
                                            TSensorLogEvent onLog, const std::string& vendor,
                                            const std::string& product, const std::string& system) {
        return CreateSensor<TRaisingChip>(link, address, code, std::move(onLog), vendor, product, system);
    });
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    factory.AddSensor(isa, 0x290, 46);
    EXPECT_THROW(factory.AddSensor(isa, 0x295, 25), std::runtime_error);
    EXPECT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.SensorInUse.size(), 1u);
}

// ---- ISA bases --------------------------------------------------------------

TEST_F(SensorFactory, IsISABaseFree) {
    addLink(LinkKinds::ISAFlat, HostKinds::ISAFlat, 0x0A00);
    addLink(LinkKinds::ISA, HostKinds::ISA, 0x0290);
    EXPECT_TRUE(IsISABaseFree(0x0A00));
    EXPECT_FALSE(IsISABaseFree(0x0290));
    EXPECT_TRUE(IsISABaseFree(-1));
}

}  // namespace

namespace {

class AcpiFactory : public DetectTest {};

TEST_F(AcpiFactory, TheATK0110BoardReadsThroughTheFactory) {
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/acpi/atk0110-method3.json");
    IOPort = std::make_unique<TIOPort>();
    const int acpi = addLink(LinkKinds::ACPI, 0, 0);
    factory.AddSensor(acpi, 0, 217);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    TSensor& sensor = *monitor.Sensors[0];
    ASSERT_EQ(sensor.GetVoltCount(), 4);
    sensor.ReadVolts();
    EXPECT_EQ(sensor.GetVolt(4).Name, "+12V");
    EXPECT_NEAR(sensor.GetVolt(4).Stats->Last(), 13.2, 1e-4);
    EXPECT_EQ(machine().namespaceLog().openHandles, 0);
}

}  // namespace
