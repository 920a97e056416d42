// Firmware sources: Intel QST behind a simulated HECI interface, a uGuru
// board through a fake service, and the test-mode sensor's marker file.

#include "detect/cvfirmwaresources.h"

#include <gtest/gtest.h>

#include <fstream>

#include "detect/cvdetect.h"
#include "detect/detectfixture.h"
#include "firmware/cvintelqst2.h"
#include "hw/cvlink.h"
#include "platform/sim/machine.h"

namespace {

constexpr const char* QSTFirmware = R"("qst": {"generation": %d,
      "temperatures": [{"index": 0, "usage": 1, "value": 41.5}],
      "fans": [{"index": 0, "usage": 1, "value": 1500}],
      "voltages": [{"index": 0, "usage": 1, "value": 12.096}],
      "controllers": [{"index": 0, "usage": 1, "duty": 40}]})";

std::string HeciBoard(const char* version, int generation) {
    char qst[1024];
    std::snprintf(qst, sizeof qst, QSTFirmware, generation);
    return std::string(R"({"driver": {"installed": true, "major": 2, "minor": 3}, "heci": {"version": ")") + version +
           "\", " + qst + "}}";
}

class FirmwareSources : public DetectTest {
protected:
    FirmwareSources() { ResetIntelQSTGlobals(); }
    ~FirmwareSources() override { ResetIntelQSTGlobals(); }

    void load(const std::string& board) {
        machine().loadFromJson(board, "firmware.json");
        IOPort = std::make_unique<TIOPort>();
    }
    int linksOfKind(std::uint8_t kind) const {
        return static_cast<int>(std::count_if(Links().begin(), Links().end(),
                                              [kind](const auto& l) { return l->LinkKind() == kind; }));
    }
    std::vector<int> codes() const {
        std::vector<int> list;
        for (const auto& s : monitor.Sensors) list.push_back(s->FChipCode);
        return list;
    }

    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};

TEST_F(FirmwareSources, TheHeciVersionPicksTheQSTGeneration) {
    struct Case {
        const char* version;  // null: no HECI interface
        int generation;
        std::vector<int> codes;
        bool qst1, qst2;  // the globals kept
        bool skipped2;    // "Skipping QST 2.x ..."
    };
    const Case cases[] = {
        {nullptr, 1, {}, false, false, false},
        {"1.0.0.1", 1, {202}, true, false, false},
        {"5.1.0.1", 1, {202}, true, false, false},
        {"6.0.0.1", 2, {203}, false, true, false},
        {"6.0.0.1", 1, {202}, true, false, true},
        {"7.0.0.1", 1, {}, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version ? c.version : "none") + " gen " + std::to_string(c.generation));
        load(c.version ? HeciBoard(c.version, c.generation) : R"({"driver": {"installed": true, "major": 2, "minor": 3}})");
        ProbeIntelQST(context);
        EXPECT_EQ(codes(), c.codes);
        EXPECT_EQ(IntelQST != nullptr, c.qst1);
        EXPECT_EQ(IntelQST2 != nullptr, c.qst2);
        EXPECT_EQ(has(boxes.Info, "Skipping QST 2.x because it returned no data"), c.skipped2);
        EXPECT_EQ(linksOfKind(LinkKinds::HECI), c.codes.empty() ? 0 : 1);
        EXPECT_EQ(boxes.Info.front(), "About to probe Intel QST...");
        EXPECT_EQ(boxes.Info.back(), "End of Intel QST probing");
        if (c.codes.empty()) {
            EXPECT_EQ(boxes.Info.size(), 2u) << "nothing between the first and last lines";
        }
        ResetIntelQSTGlobals();
        monitor.Sensors.clear();
        Links().clear();
        boxes.Info.clear();
        boxes.Readings.clear();
    }
}

TEST_F(FirmwareSources, AGenerationFoundTwiceSharesOneHeciLink) {
    load(HeciBoard("6.0.0.1", 2));
    ProbeIntelQST(context);
    ProbeIntelQST(context);
    EXPECT_EQ(codes(), (std::vector<int>{203, 203}));
    EXPECT_EQ(linksOfKind(LinkKinds::HECI), 1);
    EXPECT_TRUE(has(boxes.Readings, "Found Intel QST 2.x"));
    EXPECT_TRUE(has(boxes.Info, "  Temperatures ->"));
    EXPECT_TRUE(has(boxes.Info, "  PWMs ->"));
}

TEST_F(FirmwareSources, ReportsListTheReadingsAndTheControllerFlagsAsLetters) {
    load(R"({"driver": {"installed": true, "major": 2, "minor": 3}})");
    TCVIntelQST qst;  // no HECI interface: nothing configured
    EXPECT_FALSE(ReportQST2(context, qst));
    EXPECT_TRUE(boxes.Info.empty());

    qst.FConfigured = true;
    qst.FTemps.push_back({0, 1, "CPU", 41.5f});
    qst.FFans.push_back({0, 1, "CPU Fan", 1500.0f});
    qst.FVolts.push_back({0, 1, "12V", 12.096f});
    TIntelQSTPwmData pwm;
    pwm.Name = "CPU Fan";
    pwm.Value = 40;
    pwm.EN = 1;
    pwm.ST = 2;
    pwm.OV = 1;
    pwm.SL = 1;
    qst.FPwms.push_back(pwm);
    EXPECT_TRUE(ReportQST2(context, qst));
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{"Found QST 2.x", "  Temperatures ->", "    CPU is 41.50C",
                                                    "  Fan speeds ->", "    CPU Fan is 1500 RPM", "  Voltages ->",
                                                    "    12V is 12.096V", "  PWMs ->",
                                                    "    CPU Fan is 40% EN:Y ST:C SW:N OV:Y TM:N SL:Y",
                                                    "Found Intel QST 2.x", "Linked HECI"}));
    EXPECT_EQ(codes(), std::vector<int>{203});
}

class FakeUGuru : public TUGuruService {
public:
    TUGuruBoard ReadBoard() override { return board; }
    TUGuruBoard board;
};

TEST_F(FirmwareSources, AUGuruBoardListsItsItemsByKind) {
    addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    FakeUGuru uguru;
    uguru.board = {"http://www.abit.com.tw/", "AN8 32X", true, "AN8 32X(C51-CK804)",
                   {{1, "CPU"}, {2, "CPU Core"}, {3, "CPU Fan"}, {0, "<unused>"}, {7, "Odd"}}};
    context.Sources.UGuru = &uguru;
    ProbeUGuru(context);
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{"About to probe UGURU support...",
                                                    "Motherboard is http://www.abit.com.tw/ AN8 32X", "  Temp -> CPU",
                                                    "  Volt -> CPU Core", "  Fan -> CPU Fan", "  <unknown> -> Odd",
                                                    "Found UGURU (AN8 32X(C51-CK804))",
                                                    "End of UGURU support probing"}));
    EXPECT_TRUE(has(boxes.Readings, "Found UGURU (AN8 32X(C51-CK804))"));
    EXPECT_EQ(codes(), std::vector<int>{198});

    boxes.Info.clear();
    uguru.board = {"Other", "Board", false, "", {{1, "CPU"}}};
    ProbeUGuru(context);
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{"About to probe UGURU support...", "Motherboard is Other Board",
                                                    "End of UGURU support probing"}));
}

TEST_F(FirmwareSources, TheTestSensorNeedsItsMarkerAndAPCILink) {
    const std::string folder = ProgramDir;
    context.Sources.MarkerFolder = folder;
    monitor.Caption = "Caldavor 0.1 beta 1";
    ProbeDummySensors(context);
    EXPECT_TRUE(monitor.Sensors.empty()) << "no marker";

    std::ofstream(folder + "palette48x48.png.yyy") << "";
    ProbeDummySensors(context);
    EXPECT_TRUE(monitor.Sensors.empty()) << "no PCI link";
    EXPECT_TRUE(traced("INFO : no PCI link for the DUMMY sensor"));

    addLink(LinkKinds::PCI, HostKinds::None, 0);
    ProbeDummySensors(context);
    EXPECT_EQ(codes(), std::vector<int>{218});
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0u);
}

}  // namespace
