// The graphics-card steps against fakes of the ADL wrapper and the NVIDIA
// control panel.

#include "detect/cvgpusources.h"

#include <gtest/gtest.h>

#include "detect/cvdetect.h"
#include "detect/detectfixture.h"
#include "hw/cvlink.h"

namespace {

class FakeAdl : public TAdlService {
public:
    bool GlobalExists() const override { return created; }
    void CreateGlobal(std::function<void(const std::string&)> onLog) override {
        created = true;
        onLog("Constructor completed");
    }
    int AdapterCount() override { return static_cast<int>(adapters.size()); }
    int CardCount() override { return static_cast<int>(cards.size()); }
    TAdlAdapterInfo GetAdapterInfo(int index) override { return adapters.at(static_cast<std::size_t>(index)); }
    TAdlCardInfo GetCardInfo(int index) override { return cards.at(static_cast<std::size_t>(index)); }
    double GetTemperature(int index) override { return temperatures.at(static_cast<std::size_t>(index)); }
    TAdlFanReading GetFanSpeed(int, bool) override { return {40, 1180, 1200}; }
    TAdlActivity GetActivity(int) override { return {50000, 90000, 1250, 12, 2, 5000, 16, 16}; }
    void ScanI2C() override { ++scans; }

    bool created = false;
    std::vector<TAdlAdapterInfo> adapters;
    std::vector<TAdlCardInfo> cards;
    std::vector<double> temperatures;
    int scans = 0;
};

TAdlCardInfo Card(const char* name, std::uint8_t temperature, std::uint8_t fanInfo, std::uint8_t vddc,
                  std::uint8_t percent, std::uint8_t activity = AdlFailed) {
    TAdlCardInfo card;
    card.Info.AdapterName = name;
    card.Info.BusNumber = 1;
    card.Info.VendorId = 0x1002;
    card.TemperatureState = temperature;
    card.FanInfoState = fanInfo;
    card.VddcState = vddc;
    card.PercentReadState = percent;
    card.ActivityState = activity;
    return card;
}

class GpuSources : public DetectTest {
protected:
    GpuSources() {
        addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
        useChip("TATIADLSensor", "ATI");
        useChip("TNVCplSensor", "NVCPL");
        context.Sources.Adl = &adl;
        context.Sources.NVCpl = &nvcpl;
    }
    std::vector<std::pair<int, std::uint32_t>> added() const {
        std::vector<std::pair<int, std::uint32_t>> list;
        for (const auto& s : monitor.Sensors) list.push_back({s->FChipCode, s->FAddress});
        return list;
    }

    FakeAdl adl;
    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};

    struct FakeNVCpl : TNVCplService {
        bool GlobalExists() const override { return exists; }
        std::string GetInitError() const override { return error; }
        TNVThermalSettings GetThermalSettings(int monitorIndex) override {
            return settings.count(monitorIndex) ? settings[monitorIndex] : TNVThermalSettings{};
        }
        bool exists = true;
        std::string error;
        std::map<int, TNVThermalSettings> settings;
    } nvcpl;
};

TEST_F(GpuSources, CardsWithTemperatureFanInformationOrVddcGetASensor) {
    adl.cards = {Card("temperature", AdlWorking, AdlFailed, AdlFailed, AdlFailed),
                 Card("fan info", AdlFailed, AdlWorking, AdlFailed, AdlFailed),
                 Card("vddc", AdlFailed, AdlFailed, AdlWorking, AdlFailed),
                 Card("fan percent only", AdlFailed, AdlFailed, AdlFailed, AdlWorking),
                 Card("nothing", AdlUnknown, AdlFailed, AdlFailed, AdlFailed)};
    adl.temperatures = {45.5, -999, -999, -999, -999};
    ProbeATIADL(context);
    EXPECT_EQ(added(), (std::vector<std::pair<int, std::uint32_t>>{{222, 0}, {222, 1}, {222, 2}}));
    EXPECT_TRUE(has(boxes.Info, "  No interesting data to show for fan percent only"));
    EXPECT_TRUE(has(boxes.Info, "  No interesting data to show for nothing"));
    EXPECT_TRUE(has(boxes.Readings, "Found temperature"));
    EXPECT_TRUE(has(boxes.Info, "  Temperature : 45.50"));
    EXPECT_TRUE(has(boxes.Info, "  Temperature : <unavailable>"));
    EXPECT_TRUE(has(boxes.Info, "  Fan speed : 1180 RPM - 40% - 1200 RPM"));
    EXPECT_TRUE(has(boxes.Info, "  Activity Info : <unavailable>"));
    EXPECT_TRUE(has(boxes.Info, "  Can read fan perc  : True"));
    EXPECT_TRUE(has(boxes.Info, "  Can read temp      : False"));
}

TEST_F(GpuSources, TheAdapterAndActivityLinesAndTheSecondRun) {
    TAdlAdapterInfo info;
    info.AdapterIndex = 3;
    info.UDID = "PCI_VEN_1002";
    info.VendorId = 0x1002;
    info.AdapterName = "Radeon";
    adl.adapters = {info};
    adl.cards = {Card("Radeon", AdlWorking, AdlWorking, AdlWorking, AdlWorking, AdlWorking)};
    adl.temperatures = {50};
    ProbeATIADL(context);
    const std::vector<std::string> expected = {
        "About to probe ATI ADL...", "Creating global ATI ADL interface object", "Constructor completed",
        "Global ATI ADL interface object properly created", "Adapters found : 1", "Cards found : 1", "Adapter #0",
        "  iAdapterIndex=3", "  strUDID=<PCI_VEN_1002>", "  iBusNumber=0", "  iDeviceNumber=0", "  iFunctionNumber=0",
        "  iVendorId=$00001002", "  strAdapterName=<Radeon>", "  strDisplayName=<>", "  iPresent=0", "  iExist=0",
        "  strDriverPath=<>", "  strDriverPathExt=<>", "  strPNPString=<>", "  iOSDisplayIndex=0", "Card #0",
        "  iBusNumber=1", "  iDeviceNumber=0", "  iFunctionNumber=0", "  iVendorId=$00001002",
        "  strAdapterName=<Radeon>", "  Temperature : 50.00", "  Fan speed : 1180 RPM - 40% - 1200 RPM",
        "  Activity Info : ", "    iEngineClock=500.00 MHz", "    iMemoryClock=900.00 MHz", "    iVddc=1.250V",
        "    iActivityPercent=12%", "    iCurrentPerformanceLevel=2", "    iCurrentBusSpeed=5000",
        "    iCurrentBusLanes=16", "    iMaximumBusLanes=16", "  Can read temp      : True",
        "  Can read fan       : True", "  Can read fan perc  : True", "  Can read activity  : True",
        "  Can read Vddc      : True", "Found Radeon"};
    ASSERT_GE(boxes.Info.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(boxes.Info.begin(), boxes.Info.begin() + static_cast<long>(expected.size())),
              expected);
    EXPECT_EQ(boxes.Info.back(), "End of ATI ADL probing");
    EXPECT_EQ(adl.scans, 0) << "not a beta build";

    boxes.Info.clear();
    monitor.Caption = "Caldavor 0.1 beta 2";
    ProbeATIADL(context);
    EXPECT_FALSE(has(boxes.Info, "Creating global ATI ADL interface object"));
    EXPECT_EQ(adl.scans, 1);
}

TEST_F(GpuSources, ControlPanelMonitorZeroAloneGetsTheSensor) {
    nvcpl.error = "Error creating NVControlPanel (boom)";
    nvcpl.settings = {{0, {0, 0, 0}}, {3, {55, 30, 100}}};
    ProbeNVControlPanel(context);
    EXPECT_TRUE(monitor.Sensors.empty()) << "monitor 0 answers zeros";
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{
                              "About to probe NVIDIA ControlPanel Sensors...",
                              "Error initializing NVCPL support: Error creating NVControlPanel (boom)",
                              "Thermal settings for monitor 3 are: CORE=55  AMBIENT=30  LIMIT=100",
                              "End of NVIDIA ControlPanel Sensors probing"}));

    nvcpl.settings[0] = {60, 0, 0};
    ProbeNVControlPanel(context);
    ProbeNVControlPanel(context);
    ASSERT_EQ(monitor.Sensors.size(), 2u);
    const auto nvcplLinks = std::count_if(Links().begin(), Links().end(),
                                          [](const auto& l) { return l->LinkKind() == LinkKinds::NVCPL; });
    EXPECT_EQ(nvcplLinks, 1);
    const TLink& link = *monitor.Sensors[0]->FLink;
    EXPECT_EQ(link.LinkKind(), LinkKinds::NVCPL);
    EXPECT_EQ(link.ChipsetCode(), 1);
    EXPECT_EQ(link.BaseAddress(), 0u);

    boxes.Info.clear();
    nvcpl.exists = false;
    ProbeNVControlPanel(context);
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{"About to probe NVIDIA ControlPanel Sensors...",
                                                    "ControlPanel not found.",
                                                    "End of NVIDIA ControlPanel Sensors probing"}));
}

}  // namespace
