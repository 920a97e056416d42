#include "disks/cvadvsmart.h"

#include <algorithm>
#include <cstring>

namespace disk = platform::disk;

std::optional<std::vector<std::string>> DiskAccessLog;

void DiskAccessLogAdd(const std::string& line) {
    if (DiskAccessLog && !line.empty()) DiskAccessLog->push_back(line);
}

void DiskAccessLogFormat(std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
    if (DiskAccessLog) DiskAccessLogAdd(cvformat::Format(picture, args));
}

namespace diskio {

void clear(std::span<std::uint8_t> buffer) { std::fill(buffer.begin(), buffer.end(), 0); }

void copyAnswer(std::span<std::uint8_t> buffer, std::span<const std::uint8_t> answer, std::size_t offset,
                std::uint32_t returned) {
    const std::size_t delivered = std::min<std::size_t>(returned, answer.size());
    if (delivered <= offset) return;
    const std::size_t count = std::min(buffer.size(), delivered - offset);
    // A command without data has no buffer: nothing to copy.
    if (count == 0) return;
    std::memcpy(buffer.data(), answer.data() + offset, count);
}

}  // namespace diskio

TSmartHardDisk::TSmartHardDisk(std::string devicePath, std::uint8_t accessKind)
    : DevicePath(std::move(devicePath)), AccessKind(accessKind) {}

int TSmartHardDisk::SendIDECommand(const TSmartTaskFile&, std::uint32_t, std::span<std::uint8_t> buffer) {
    diskio::clear(buffer);
    return DiskNoTransport;
}

int TSmartHardDisk::SMARTGetVersion(disk::GetVersionInParams& version) {
    version = {};
    return DiskNoTransport;
}

int TSmartHardDisk::Identify(std::span<std::uint8_t, 512> data) {
    const int status = SendIDECommand(smarttask::Identify, disk::miniport::Identify, data);
    IdentifyDone = true;
    if (status != DiskOk) return status;
    auto identity = ReadDriveIdentity(data);
    Model = std::move(identity.model);
    Firmware = std::move(identity.firmware);
    Serial = std::move(identity.serial);
    deriveFeatures(data);
    return DiskOk;
}

namespace {

// One feature state from one IDENTIFY bit.
struct FeatureBit {
    TFeatureState TSmartHardDisk::*field;
    int word;
    int bit;
    bool enabledKind;  // enabled/disabled rather than supported/unsupported
};

constexpr FeatureBit featureBits[] = {
    {&TSmartHardDisk::AAMEnabled, 86, 9, true},       {&TSmartHardDisk::AAMSupported, 83, 9, false},
    {&TSmartHardDisk::LBA48Supported, 83, 10, false}, {&TSmartHardDisk::APMEnabled, 86, 3, true},
    {&TSmartHardDisk::APMSupported, 83, 3, false},    {&TSmartHardDisk::NCQSupported, 76, 8, false},
    {&TSmartHardDisk::PMEnabled, 85, 3, true},        {&TSmartHardDisk::PMSupported, 82, 3, false},
    {&TSmartHardDisk::SATA300Supported, 76, 2, false}, {&TSmartHardDisk::SATA150Supported, 76, 1, false},
    {&TSmartHardDisk::SMARTEnabled, 85, 0, true},     {&TSmartHardDisk::SMARTSupported, 82, 0, false},
};

bool reported(std::uint16_t word) { return word != 0 && word != 0xFFFF; }

TFeatureState stateOf(std::uint16_t word, int bit, bool enabledKind) {
    const bool set = (word >> bit) & 1;
    if (enabledKind) return set ? fsEnabled : fsDisabled;
    return set ? fsSupported : fsUnsupported;
}

}  // namespace

void TSmartHardDisk::deriveFeatures(std::span<const std::uint8_t, 512> identify) {
    const auto word = [&](int n) { return IdentifyWord(identify, n); };
    for (const auto& row : featureBits)
        if (reported(word(row.word))) this->*row.field = stateOf(word(row.word), row.bit, row.enabledKind);
    if (reported(word(75))) QueueDepth = (word(75) & 0x1F) + 1u;
    ATAVersion.fill(fsUnknown);
    if (reported(word(80)))
        for (int n = 4; n <= 8; ++n) ATAVersion[n - 4] = stateOf(word(80), n, false);
    UDMAActive.fill(fsUnknown);
    UDMASupport.fill(fsUnknown);
    if (reported(word(88))) {
        for (int n = 0; n <= 6; ++n) {
            UDMAActive[n] = stateOf(word(88), n + 8, true);
            UDMASupport[n] = stateOf(word(88), n, false);
        }
    }
    const bool ata6Up = std::any_of(ATAVersion.begin() + 2, ATAVersion.end(),
                                    [](TFeatureState s) { return s == fsSupported; });
    if (ata6Up && reported(word(84))) SMARTErrorLogSupported = stateOf(word(84), 0, false);
}

int TSmartHardDisk::ReadAttributes(std::span<std::uint8_t, 512> data) {
    return SendIDECommand(smarttask::ReadData, disk::miniport::ReadAttributes, data);
}

int TSmartHardDisk::ReadThresholds(std::span<std::uint8_t, 512> data) {
    return SendIDECommand(smarttask::ReadThresholds, disk::miniport::ReadThresholds, data);
}

int TSmartHardDisk::IdentifyDrive(std::span<std::uint8_t, 512> data) {
    diskio::clear(data);
    return Identify(data);
}

int TSmartHardDisk::ReadAttributePage(std::span<std::uint8_t, 512> data) {
    diskio::clear(data);
    const int status = ReadAttributes(data);
    if (status == DiskOk) std::copy(data.begin(), data.end(), AttributeData.begin());
    return status;
}

int TSmartHardDisk::ReadThresholdPage(std::span<std::uint8_t, 512> data) {
    diskio::clear(data);
    const int status = ReadThresholds(data);
    if (status == DiskOk) std::copy(data.begin(), data.end(), ThresholdData.begin());
    return status;
}

int TSmartHardDisk::ReadLog(std::uint8_t logAddress, std::uint8_t sectors, std::span<std::uint8_t> buffer) {
    diskio::clear(buffer);
    return SendIDECommand(smarttask::ReadLog(logAddress, sectors), disk::miniport::ReadLog, buffer);
}

int TSmartHardDisk::StartSelfTest(int kind, bool captive) {
    const std::uint8_t subCommand = (kind >= 1 && kind <= 3) ? static_cast<std::uint8_t>(kind) : 0;
    const auto task = smarttask::ExecuteOffline(static_cast<std::uint8_t>(subCommand | (captive ? 0x80 : 0)));
    return SendIDECommand(task, disk::miniport::ExecuteOffline, {});
}

TFeatureState TSmartHardDisk::GetATAVersionSupport(int n) const {
    return n >= 4 && n <= 8 ? ATAVersion[n - 4] : fsUnknown;
}
TFeatureState TSmartHardDisk::GetUDMAActive(int n) const { return n >= 0 && n <= 6 ? UDMAActive[n] : fsUnknown; }
TFeatureState TSmartHardDisk::GetUDMASupport(int n) const { return n >= 0 && n <= 6 ? UDMASupport[n] : fsUnknown; }
