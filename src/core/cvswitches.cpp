#include "core/cvswitches.h"

#include <array>
#include <string_view>

#include "core/cvtext.h"
#include "core/cvvars.h"

bool GraphicsRomAccess = true;

namespace {

struct TSwitch {
    std::string_view Name;
    bool* (*Target)(TScanFlags&);
    bool Value;
};

// clang-format off
const std::array<TSwitch, 36> Switches{{
    {"/NOPCISCAN", [](TScanFlags& f) { return &f.NoPCIScan; }, true},
    {"/NOSMBSCAN", [](TScanFlags& f) { return &f.NoSMBScan; }, true},
    {"/NOSUPERIO", [](TScanFlags& f) { return &f.ScanSuperIO; }, false},
    {"/SLOWDETECT", [](TScanFlags& f) { return &f.SlowDetect; }, true},
    {"/TIGERMP", [](TScanFlags& f) { return &f.TigerMP; }, true},
    {"/NOTIMER", [](TScanFlags& f) { return &f.TimerEnabled; }, false},
    {"/NOSMARTSCAN", [](TScanFlags& f) { return &f.ScanSMART; }, false},
    {"/NOSCSISCAN", [](TScanFlags& f) { return &f.ScanSCSI; }, false},
    {"/DOSCSISCAN", [](TScanFlags& f) { return &f.ScanSCSI; }, true},
    {"/NOARECASCAN", [](TScanFlags& f) { return &f.ScanAreca; }, false},
    {"/NO3WARESCAN", [](TScanFlags& f) { return &f.Scan3ware; }, false},
    {"/NOACPISCAN", [](TScanFlags& f) { return &f.ScanACPI; }, false},
    {"/NOAMDK8SCAN", [](TScanFlags& f) { return &f.ScanAMDK8; }, false},
    {"/DOUGURUSCAN", [](TScanFlags& f) { return &f.ScanUGuru; }, true},
    {"/NOUGURUSCAN", [](TScanFlags& f) { return &f.ScanUGuru; }, false},
    {"/NOJOYSCAN", [](TScanFlags& f) { return &f.ScanJoystick; }, false},
    {"/NOTOSHIBA", [](TScanFlags& f) { return &f.ScanToshiba; }, false},
    {"/NOASUSSCAN", [](TScanFlags& f) { return &f.ScanASUS; }, false},
    {"/DONVIDIAI2C", [](TScanFlags& f) { return &f.NVidiaI2C; }, true},
    {"/NONVIDIAI2C", [](TScanFlags& f) { return &f.NVidiaI2C; }, false},
    {"/DONVIDIATEMP", [](TScanFlags& f) { return &f.NVidiaTemp; }, true},
    {"/NONVIDIATEMP", [](TScanFlags& f) { return &f.NVidiaTemp; }, false},
    {"/NOGEFORCEROM", [](TScanFlags&) { return &GraphicsRomAccess; }, false},
    {"/NOGIVEIO", [](TScanFlags&) { return &DriverStartFlags.UseGiveIO; }, false},
    {"/SMBDEBUG", [](TScanFlags& f) { return &f.SMBusDebug; }, true},
    {"/HEURISTIC", [](TScanFlags& f) { return &f.UseHeuristic; }, true},
    {"/NODELLSCAN", [](TScanFlags& f) { return &f.ScanDELL; }, false},
    {"/NOSUMMARYLOGSCAN", [](TScanFlags& f) { return &f.DoSummaryLogScan; }, false},
    {"/DOSUMMARYLOGSCAN", [](TScanFlags& f) { return &f.DoSummaryLogScan; }, true},
    {"/NOADVSMARTSCAN", [](TScanFlags& f) { return &f.ScanAdvSMART; }, false},
    {"/NOCSMISMARTSCAN", [](TScanFlags& f) { return &f.ScanCSMI; }, false},
    {"/DOSMBWORDSCAN", [](TScanFlags& f) { return &f.SMBWordScan; }, true},
    {"/DONOSTRELSCAN", [](TScanFlags& f) { return &f.DoNostrelScan; }, true},
    {"/NOATK0110SCAN", [](TScanFlags& f) { return &f.ScanATK0110; }, false},
    {"/NOATIADLSCAN", [](TScanFlags& f) { return &f.ScanATIADL; }, false},
    {"/NOINTELQST", [](TScanFlags& f) { return &f.ScanIntelQST; }, false},
}};
// clang-format on

}  // namespace

void ParseCommandLine(const std::vector<std::string>& params, TScanFlags& flags) {
    for (const auto& param : params) {
        const std::string upper = UpperCase(param);
        for (const auto& sw : Switches) {
            if (sw.Name == upper) *sw.Target(flags) = sw.Value;
        }
    }
}
