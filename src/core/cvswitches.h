#pragma once
// The scan and feature flags that detection and the report read, and the
// command-line switches that turn them off or on for one run.

#include <string>
#include <vector>

struct TScanFlags {
    bool NoPCIScan = false;
    bool NoSMBScan = false;
    bool ScanSuperIO = true;
    bool SlowDetect = false;
    bool TigerMP = false;
    bool TimerEnabled = true;
    bool ScanSMART = true;
    bool ScanAdvSMART = true;
    bool ScanCSMI = true;
    bool ScanSCSI = true;
    bool ScanAreca = true;
    bool Scan3ware = true;
    bool ScanACPI = true;
    bool ScanATK0110 = true;
    bool ScanAMDK8 = true;
    bool ScanIntelCore = true;
    bool ScanUGuru = true;
    bool ScanToshiba = true;
    bool ScanATIADL = true;
    bool ScanNVCpl = true;
    bool ScanIntelQST = true;
    bool ScanDELL = true;
    bool ScanJoystick = true;
    bool ScanASUS = true;
    bool NVidiaI2C = true;
    bool NVidiaTemp = true;
    bool SMBusDebug = false;
    bool UseHeuristic = false;
    bool DoSummaryLogScan = false;
    bool SMBWordScan = false;
    bool DoNostrelScan = false;

    bool operator==(const TScanFlags&) const = default;
};

// Whether the graphics-card sources may read the card's BIOS image from
// physical memory; cleared by "/NOGEFORCEROM".
extern bool GraphicsRomAccess;

// Applies the program's parameters (argv[1..]) in order: each is upper-cased
// and must equal a switch exactly; anything else is ignored. Also sets the
// globals DriverStartFlags.UseGiveIO and GraphicsRomAccess.
void ParseCommandLine(const std::vector<std::string>& params, TScanFlags& flags);
