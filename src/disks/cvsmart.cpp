#include "disks/cvsmart.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvtext.h"
#include "hw/cvosinfo.h"

namespace disk = platform::disk;

const std::array<std::string_view, 32> KnownModelPrefixes = {
    "Conner Peripherals", "Conner Technology", "EXCELSTOR TECHNOLOGY", "FUJITSU", "HDS", "HDT", "HEJ", "HEN",
    "HITACHI_", "Hitachi", "HP", "HTC", "HTE", "HTS", "IBM", "IC25", "IC35", "JTS C", "MAXTOR", "Maxtor", "MD",
    "NEC", "Nikimi", "OEM", "PLATINUM", "QUANTUM", "SAMSUNG", "Seagate Technology", "ST", "TOSHIBA", "WDC WD",
    "WDC AC",
};

const std::array<TSmartAttributeName, 61> SmartAttributeNames = {{
    {0, "No Attribute Here"}, {1, "Raw Read Error Rate"}, {2, "Throughput Performance"}, {3, "Spin Up Time"},
    {4, "Start/Stop Count"}, {5, "Reallocated Sector Count"}, {6, "Read Channel Margin"}, {7, "Seek Error Rate"},
    {8, "Seek Time Performance"}, {9, "Power On Hours Count"}, {10, "Spin Retry Count"},
    {11, "Calibration Retry Count"}, {12, "Power Cycle Count"}, {13, "Read Soft Error Rate"},
    {183, "SATA Downshift Error Count"}, {184, "End-to-End error"}, {185, "Head Stability"},
    {186, "Induced Op-Vibration Detection"}, {187, "Reported Uncorrectable Errors"}, {188, "Command Timeout"},
    {189, "High Fly Writes"}, {190, "Airflow Temperature"}, {191, "GSense Error Rate"},
    {192, "Power Off Retract Count"}, {193, "Load Cycle Count"}, {194, "Temperature"},
    {195, "Hardware ECC Recovered"}, {196, "Reallocated Event Count"}, {197, "Current Pending Sector Count"},
    {198, "Uncorrectable Sector Count"}, {199, "UltraATA CRC Error Rate"}, {200, "Write Error Rate"},
    {201, "Soft Read Error Rate"}, {202, "Data Address Mark Errors"}, {203, "Run Out Cancel"},
    {204, "Soft ECC Correction"}, {205, "Thermal Asperity Rate"}, {206, "Flying Height Measurement"},
    {207, "Spin High Current"}, {208, "Spin Buzz"}, {209, "Offline Seek Performance"},
    {211, "Vibration During Write"}, {212, "Shock During Write"}, {220, "Disk Shift"}, {221, "G-Sense Error Rate"},
    {222, "Loaded Hours"}, {223, "Load/Unload Retry Count"}, {224, "Load Friction"},
    {225, "Load/Unload Cycle Count"}, {226, "Load In Time"}, {227, "Torque Amplification count"},
    {228, "Power-off Retract Count"}, {230, "GMR Head amplitude"}, {231, "Temperature"},
    {240, "Head Flying Hours"}, {241, "Total LBAs Written"}, {242, "Total LBAs Read"},
    {250, "Read Error Retry Rate"}, {254, "Free Fall Protection"}, {513, "Fitness"}, {514, "Performance"},
}};

const char* const SmartDrivePathNT = "\\\\.\\PhysicalDrive%d";
const char* const SmartDriverPath9x = "\\\\.\\SMARTVSD";

TSMARTAttributeEntry SmartAttributeEntry(std::span<const std::uint8_t, 512> data, int index) {
    TSMARTAttributeEntry entry;
    std::memcpy(&entry, data.data() + SmartEntryOffset(index), sizeof entry);
    return entry;
}

TSMARTThresholdEntry SmartThresholdEntry(std::span<const std::uint8_t, 512> data, int index) {
    TSMARTThresholdEntry entry;
    std::memcpy(&entry, data.data() + SmartEntryOffset(index), sizeof entry);
    return entry;
}

std::uint32_t SmartPageChecksum(std::span<const std::uint8_t, 512> data) {
    return std::accumulate(data.begin(), data.end(), std::uint32_t{0});
}

std::string SmartAttributeName(int id) {
    for (const auto& row : SmartAttributeNames)
        if (row.id == id) return std::string(row.name);
    return "Unknown Attribute";
}

bool HasKnownModelPrefix(std::string_view model) {
    return std::any_of(KnownModelPrefixes.begin(), KnownModelPrefixes.end(),
                       [&](std::string_view prefix) { return model.starts_with(prefix); });
}

void SwapBytePairs(std::span<std::uint8_t> buffer) {
    for (std::size_t i = 0; i + 1 < buffer.size(); i += 2) std::swap(buffer[i], buffer[i + 1]);
}

std::string SwapStringPairs(std::string_view text) {
    std::string s(text);
    s += ' ';
    for (std::size_t i = 0; i + 1 < s.size(); i += 2) std::swap(s[i], s[i + 1]);
    return Trim(s);
}

bool FixDriveNameByteSwap(std::string& model, std::string& firmware, std::string& serial) {
    bool swapped = false;
    if (!HasKnownModelPrefix(model)) {
        std::string candidate = SwapStringPairs(model);
        if (HasKnownModelPrefix(candidate)) {
            model = std::move(candidate);
            firmware = SwapStringPairs(firmware);
            serial = SwapStringPairs(serial);
            swapped = true;
        }
    }
    model = TrimRight(model);
    firmware = TrimRight(firmware);
    serial = TrimRight(serial);
    return swapped;
}

namespace {

// A swapped ATA string field: text up to its first NUL, trimmed.
std::string identifyString(std::span<std::uint8_t, 512> identify, std::size_t offset, std::size_t length) {
    const auto field = identify.subspan(offset, length);
    SwapBytePairs(field);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return Trim(std::string(field.begin(), end));
}

}  // namespace

TDriveIdentity ReadDriveIdentity(std::span<std::uint8_t, 512> identify) {
    TDriveIdentity id;
    id.model = identifyString(identify, 54, 40);
    id.firmware = identifyString(identify, 46, 8);
    id.serial = identifyString(identify, 20, 20);
    id.swapped = FixDriveNameByteSwap(id.model, id.firmware, id.serial);
    return id;
}

std::uint16_t IdentifyWord(std::span<const std::uint8_t, 512> identify, int n) {
    return static_cast<std::uint16_t>(identify[2 * n] | identify[2 * n + 1] << 8);
}

bool ThresholdsFromAttributes(const TSmartPage& attributes, TSmartPage& thresholds) {
    const auto from = attributes.data();
    const auto to = thresholds.data();
    std::fill(to.begin(), to.end(), 0);
    to[0] = from[0];
    to[1] = from[1];
    for (int i = 0; i < SmartEntries; ++i) to[SmartEntryOffset(i)] = from[SmartEntryOffset(i)];
    to[511] = static_cast<std::uint8_t>(-static_cast<std::uint8_t>(SmartPageChecksum(to)));
    return true;
}

bool SmartIsNT() {
    if (OperatingSystem) return OperatingSystem->IsNT;
    return platform::current().osVersion().platformId == 2;
}

const char* const DiskAccessDeniedText =
    "Access denied to disk devices: reading S.M.A.R.T. data needs administrative rights";

namespace {

// A system that names the refused device and its reason says it better.
void noteDenied(std::uint32_t error) {
    static bool traced = false;
    if (error != platform::ErrorAccessDenied || traced || platform::current().namesDeviceRefusals()) return;
    traced = true;
    WriteDebugLog(DiskAccessDeniedText);
}

}  // namespace

platform::DeviceOpenResult OpenDiskDevice(const std::string& path) {
    auto opened = platform::current().openDevice(path);
    if (!opened.device) noteDenied(opened.error);
    return opened;
}

std::uint32_t DiskRequestError(const platform::Device& device) {
    const std::uint32_t error = device.lastError();
    noteDenied(error);
    return error;
}

TSmartHandle OpenSmartDrive(int drive) {
    const std::string path = SmartIsNT() ? cvformat::Format(SmartDrivePathNT, {drive}) : SmartDriverPath9x;
    return OpenDiskDevice(path).device;
}

bool GetSmartVersion(platform::Device& drive, disk::GetVersionInParams& version) {
    version = {};
    std::uint32_t returned = 0;
    return drive.control(disk::SmartGetVersion, {}, disk::bytesOf(version), returned);
}

namespace {

bool receive(platform::Device& drive, const TSmartTaskFile& task, int driveNumber, TSmartPage& page) {
    page = {};
    disk::SendCmdInParams in{};
    in.bufferSize = TSmartPage::DataSize;
    in.regs = task;
    in.regs.device = smarttask::DeviceOfDrive(driveNumber);
    in.driveNumber = static_cast<std::uint8_t>(driveNumber);
    std::uint32_t returned = 0;
    const auto input = disk::bytesOf(in).first(disk::SendCmdInSent);
    if (drive.control(disk::SmartRcvDriveData, input, page.bytes, returned)) return true;
    page = {};
    return false;
}

}  // namespace

bool SmartIdentifyDrive(platform::Device& drive, std::uint8_t command, int driveNumber, TSmartPage& page) {
    TSmartTaskFile task = smarttask::Identify;
    task.command = command;
    return receive(drive, task, driveNumber, page);
}

bool SmartReadData(platform::Device& drive, int driveNumber, TSmartPage& page) {
    return receive(drive, smarttask::ReadData, driveNumber, page);
}

bool SmartReadThresholds(platform::Device& drive, int driveNumber, TSmartPage& page) {
    if (receive(drive, smarttask::ReadThresholds, driveNumber, page)) return true;
    TSmartPage attributes;
    if (!SmartReadData(drive, driveNumber, attributes)) return false;
    return ThresholdsFromAttributes(attributes, page);
}

bool SmartEnableOperations(platform::Device& drive, int driveNumber, bool enable) {
    disk::SendCmdInParams in{};
    in.regs = smarttask::EnableOperations(enable);
    in.regs.device = smarttask::DeviceOfDrive(driveNumber);
    in.driveNumber = static_cast<std::uint8_t>(driveNumber);
    disk::SendCmdOutHeader out{};
    std::uint32_t returned = 0;
    return drive.control(disk::SmartSendDriveCommand, disk::bytesOf(in).first(disk::SendCmdInSent),
                         disk::bytesOf(out), returned);
}

bool GetDriveGeometry(platform::Device& drive, disk::DiskGeometry& geometry) {
    geometry = {};
    std::uint32_t returned = 0;
    if (drive.control(disk::DiskGetDriveGeometry, {}, disk::bytesOf(geometry), returned)) return true;
    geometry = {};
    return false;
}

std::uint64_t GetDriveSize(platform::Device* drive, std::span<const std::uint8_t, 512> identify) {
    const auto word = [&](int n) { return std::uint64_t{IdentifyWord(identify, n)}; };
    std::uint64_t bytes = (word(60) | word(61) << 16) * 512;
    if (word(83) & (1u << 10)) bytes = (word(102) << 32 | word(101) << 16 | word(100)) * 512;
    disk::DiskGeometry geometry;
    if (drive && SmartIsNT() && GetDriveGeometry(*drive, geometry)) {
        bytes = static_cast<std::uint64_t>(geometry.cylinders) * geometry.tracksPerCylinder *
                geometry.sectorsPerTrack * geometry.bytesPerSector;
    }
    return bytes;
}
