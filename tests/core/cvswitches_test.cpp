#include <gtest/gtest.h>

#include "core/cvswitches.h"
#include "core/cvvars.h"

namespace {

class Switches : public ::testing::Test {
protected:
    void SetUp() override {
        DriverStartFlags.UseGiveIO = true;
        GraphicsRomAccess = true;
    }
    void TearDown() override { SetUp(); }
};

struct TSwitchCase {
    const char* Param;
    bool* (*Target)(TScanFlags&);
    bool Expected;
};

// The switch table, written out from the documented list.
const TSwitchCase SwitchCases[] = {
    {"/nopciscan", [](TScanFlags& f) { return &f.NoPCIScan; }, true},
    {"/nosmbscan", [](TScanFlags& f) { return &f.NoSMBScan; }, true},
    {"/nosuperio", [](TScanFlags& f) { return &f.ScanSuperIO; }, false},
    {"/slowdetect", [](TScanFlags& f) { return &f.SlowDetect; }, true},
    {"/tigermp", [](TScanFlags& f) { return &f.TigerMP; }, true},
    {"/notimer", [](TScanFlags& f) { return &f.TimerEnabled; }, false},
    {"/nosmartscan", [](TScanFlags& f) { return &f.ScanSMART; }, false},
    {"/noscsiscan", [](TScanFlags& f) { return &f.ScanSCSI; }, false},
    {"/noarecascan", [](TScanFlags& f) { return &f.ScanAreca; }, false},
    {"/no3warescan", [](TScanFlags& f) { return &f.Scan3ware; }, false},
    {"/noacpiscan", [](TScanFlags& f) { return &f.ScanACPI; }, false},
    {"/noamdk8scan", [](TScanFlags& f) { return &f.ScanAMDK8; }, false},
    {"/nouguruscan", [](TScanFlags& f) { return &f.ScanUGuru; }, false},
    {"/nojoyscan", [](TScanFlags& f) { return &f.ScanJoystick; }, false},
    {"/notoshiba", [](TScanFlags& f) { return &f.ScanToshiba; }, false},
    {"/noasusscan", [](TScanFlags& f) { return &f.ScanASUS; }, false},
    {"/nonvidiai2c", [](TScanFlags& f) { return &f.NVidiaI2C; }, false},
    {"/nonvidiatemp", [](TScanFlags& f) { return &f.NVidiaTemp; }, false},
    {"/nogeforcerom", [](TScanFlags&) { return &GraphicsRomAccess; }, false},
    {"/nogiveio", [](TScanFlags&) { return &DriverStartFlags.UseGiveIO; }, false},
    {"/smbdebug", [](TScanFlags& f) { return &f.SMBusDebug; }, true},
    {"/heuristic", [](TScanFlags& f) { return &f.UseHeuristic; }, true},
    {"/nodellscan", [](TScanFlags& f) { return &f.ScanDELL; }, false},
    {"/dosummarylogscan", [](TScanFlags& f) { return &f.DoSummaryLogScan; }, true},
    {"/noadvsmartscan", [](TScanFlags& f) { return &f.ScanAdvSMART; }, false},
    {"/nocsmismartscan", [](TScanFlags& f) { return &f.ScanCSMI; }, false},
    {"/dosmbwordscan", [](TScanFlags& f) { return &f.SMBWordScan; }, true},
    {"/donostrelscan", [](TScanFlags& f) { return &f.DoNostrelScan; }, true},
    {"/noatk0110scan", [](TScanFlags& f) { return &f.ScanATK0110; }, false},
    {"/noatiadlscan", [](TScanFlags& f) { return &f.ScanATIADL; }, false},
    {"/nointelqst", [](TScanFlags& f) { return &f.ScanIntelQST; }, false},
};

// The "DO" switches that restore a default, applied over their "NO" twin.
const TSwitchCase RestoringCases[] = {
    {"/DOSCSISCAN", [](TScanFlags& f) { return &f.ScanSCSI; }, true},
    {"/DOUGURUSCAN", [](TScanFlags& f) { return &f.ScanUGuru; }, true},
    {"/DONVIDIAI2C", [](TScanFlags& f) { return &f.NVidiaI2C; }, true},
    {"/DONVIDIATEMP", [](TScanFlags& f) { return &f.NVidiaTemp; }, true},
    {"/NOSUMMARYLOGSCAN", [](TScanFlags& f) { return &f.DoSummaryLogScan; }, false},
};

TEST_F(Switches, EachSwitchSetsOnlyItsFlagWhateverTheCase) {
    for (const auto& c : SwitchCases) {
        SetUp();
        TScanFlags flags;
        ParseCommandLine({c.Param}, flags);
        EXPECT_EQ(*c.Target(flags), c.Expected) << c.Param;
        // Put the flag back: nothing else may have moved.
        *c.Target(flags) = !c.Expected;
        EXPECT_EQ(flags, TScanFlags{}) << c.Param;
        EXPECT_TRUE(DriverStartFlags.UseGiveIO) << c.Param;
        EXPECT_TRUE(GraphicsRomAccess) << c.Param;
    }
}

TEST_F(Switches, RestoringSwitchesUndoTheirTwinAndTheLaterWins) {
    for (const auto& c : RestoringCases) {
        TScanFlags flags;
        *c.Target(flags) = !c.Expected;
        ParseCommandLine({c.Param}, flags);
        EXPECT_EQ(*c.Target(flags), c.Expected) << c.Param;
    }
    TScanFlags flags;
    ParseCommandLine({"/NOSCSISCAN", "/DOSCSISCAN"}, flags);
    EXPECT_TRUE(flags.ScanSCSI);
    ParseCommandLine({"/DOSCSISCAN", "/NOSCSISCAN"}, flags);
    EXPECT_FALSE(flags.ScanSCSI);
}

TEST_F(Switches, ParametersThatAreNoExactSwitchChangeNothing) {
    TScanFlags flags;
    ParseCommandLine({"-NOPCISCAN", "/NOPCISCAN=1", "NOPCISCAN", "/NOPCISCAN ", "/NOPCI", "", "/"}, flags);
    EXPECT_EQ(flags, TScanFlags{});
}

}  // namespace
