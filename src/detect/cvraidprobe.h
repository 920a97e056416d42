#pragma once
// Discovery of the drives behind 3ware and Areca RAID controllers: the
// controllers' identity is logged, each drive's S.M.A.R.T. data dumped and
// each new drive linked as a RAID disk sensor.

#include <cstdint>
#include <span>

#include "disks/cvarecaraid.h"

struct TDetectionContext;
class TLogSinks;

int GetAmccLink();
int GetArecaLink();
void DumpThreewareSmart(TLogSinks& log, std::span<const std::uint8_t, 512> attributes,
                        std::span<const std::uint8_t, 512> thresholds);
void ProbeAMCC(TDetectionContext& context);

// "ProbeArecaRAID: " to the trace, "ARECA : " to the debug box.
void ArecaLog(TLogSinks& log, const std::string& msg);
void LogArecaSysInfo(TLogSinks& log, const TARCSystemInfo& info);
void LogArecaHWMon(TLogSinks& log, const ArecaHWMonData& data);
void LogArecaDrive(TLogSinks& log, const TARCPhyDriveInfo& drive);
void ProbeArecaRAID(TDetectionContext& context);
// The main window's end: the Areca object goes, then both library copies.
void ReleaseRaidSupport();
