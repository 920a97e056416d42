#pragma once
// CSMI probing: walks the SCSI port devices, asks each CSMI driver for its
// identity and PHYs, records one drive entry per PHY and tries IDENTIFY,
// SMART ENABLE and the two S.M.A.R.T. reads through STP pass-through.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/diskctl.h"
#include "platform/platform.h"

struct TCSMI_DRIVE_DATA {
    std::string DeviceName;                  // the port device it was found on
    platform::Device* DriveHandle = nullptr;  // the open port, only during the probe
    std::array<std::uint8_t, 8> SASAddress{};  // of the device attached to the PHY
};
using TCSMIDriveList = std::vector<TCSMI_DRIVE_DATA>;

// The entries of the last probe.
extern TCSMIDriveList CSMIDrives;
// The probe's lines; every line added also goes to the debug trace.
extern std::vector<std::string> CsmiProbeLog;

struct TCsmiResult {
    bool Success = true;
    std::uint32_t LastError = 0;
    std::uint32_t ReturnCode = 0;
};

constexpr int CsmiMaxPorts = 22;

void CsmiIoctlHeader(platform::disk::SrbIoControl& header, std::uint32_t controlCode, std::string_view signature,
                     std::uint32_t dataLength, std::uint32_t totalLength);
// Switches CSMI support on in the Intel storage driver's parameters.
TCsmiResult FixRegistry();
void ProbeCSMIDrives();

TCsmiResult DoCSMIIoctl(std::string_view operation, std::size_t drive, std::uint8_t command,
                        std::span<std::uint8_t> buffer, std::uint8_t features);
TCsmiResult CsmiSmartEnable(std::size_t drive);
TCsmiResult CsmiReadSmartAttrs(std::size_t drive, std::span<std::uint8_t, 512> buffer);
TCsmiResult CsmiReadSmartThrs(std::size_t drive, std::span<std::uint8_t, 512> buffer);
TCsmiResult CsmiIdentify(std::size_t drive, std::span<std::uint8_t, 512> buffer);

bool CsmiIdentifyDrive(std::size_t drive);
bool DriveSupportsSmart(std::size_t drive);
void CsmiReadSmartData(std::size_t drive);
