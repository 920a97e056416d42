#include "chips/cvsensorssmart.h"

#include <algorithm>
#include <cmath>
#include <charconv>

#include "base/cvformat.h"
#include "disks/cvadvsmart.h"
#include "disks/cvarecaraid.h"
#include "disks/cvthreewareraid.h"
#include "disks/cvhdfinder.h"
#include "platform/asciicase.h"

using cvformat::Format;

namespace {

constexpr double BytesPerGB = 1e9;
constexpr int ReallocatedSectors = 5;
constexpr int PendingSectors = 197;
constexpr int UncorrectableSectors = 198;
constexpr int TemperatureIds[] = {194, 190, 231};
constexpr std::size_t SelfTestStatusByte = 363;  // self-test execution status in the attribute data

int roundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

std::uint16_t rawLow16(const TSMARTAttributeEntry& entry) {
    return static_cast<std::uint16_t>(entry.raw[0] | entry.raw[1] << 8);
}

// An ATA string field: blank-padded, the first character of a pair high.
void putAtaString(std::span<std::uint8_t> field, const std::string& text) {
    for (std::size_t i = 0; i < field.size(); ++i)
        field[i ^ 1] = static_cast<std::uint8_t>(i < text.size() ? text[i] : ' ');
}

void putWord(std::span<std::uint8_t, 512> data, int word, std::uint16_t value) {
    data[2 * word] = static_cast<std::uint8_t>(value);
    data[2 * word + 1] = static_cast<std::uint8_t>(value >> 8);
}

// NT sends every classic command to drive number 0 of the drive's own handle.
int classicDriveNumber(std::uint32_t address) { return SmartIsNT() ? 0 : static_cast<int>(address & 0xFF); }

}  // namespace

double RateSmartValue(int value, int threshold, int good, int fair, int best) {
    if (threshold == fair) fair = threshold + 1;
    if (fair == good) good = fair + 1;
    if (good == best) best = good + 1;
    if (good == 253 && fair == 253 && best == 253 && value <= 100) good = fair = best = 100;
    const auto share = [value](int from, int to) { return static_cast<double>(value - from) / (to - from); };
    if (threshold >= value) return 0.0;
    if (value < fair) return share(threshold, fair) * 90 / 100;
    if (value < good) return (share(fair, good) * 7 + 90) / 100;
    if (value < best) return (share(good, best) * 3 + 97) / 100;
    return 1.0;
}

TSmartRatings ComputeFitnessPerformance(const TSmartPage& attributes, const TSmartPage& thresholds) {
    TSmartRatings ratings;
    for (int i = 0; i < SmartEntries; ++i) {
        const auto entry = SmartAttributeEntry(attributes.data(), i);
        if (entry.id == 0) continue;
        bool prefailure = entry.flags & 0x01;
        const bool performance = entry.flags & 0x04;
        const int value = entry.value;
        const int threshold = SmartThresholdEntry(thresholds.data(), i).threshold;
        const int best = value <= 100 ? 100 : 253;
        const int fair = roundHalfEven(threshold + (best - threshold) / 3.0);
        const int good = roundHalfEven((fair + best) / 2.0);
        double rating = RateSmartValue(value, threshold, good, fair, best);
        if (entry.id == ReallocatedSectors) {
            const int equivalent = std::max(0, roundHalfEven((1000 - rawLow16(entry)) / 10.0));
            const double reallocated = RateSmartValue(equivalent, 50, 100, 99, 100);
            if (reallocated < rating) {
                rating = reallocated;
                prefailure = true;
            }
        }
        if ((entry.id == PendingSectors || entry.id == UncorrectableSectors) && rawLow16(entry) != 0) {
            rating = 0.0;
            prefailure = true;
        }
        if (prefailure) ratings.Fitness = std::min(ratings.Fitness, rating);
        if (performance) ratings.Performance = std::min(ratings.Performance, rating);
    }
    return ratings;
}

double GetSMARTTemperature(const TSmartPage& attributes) {
    for (const int id : TemperatureIds) {
        double found = -1;
        for (int i = 0; i < SmartEntries; ++i) {
            const auto entry = SmartAttributeEntry(attributes.data(), i);
            if (entry.id == id) found = entry.raw[0];
        }
        if (found >= 0) return found;
    }
    return -1;
}

void BuildIdentifyPage(TSmartPage& page, const std::string& model, const std::string& firmware,
                       const std::string& serial, std::uint64_t sectors) {
    const auto data = page.data();
    std::fill(data.begin(), data.end(), 0);
    putAtaString(data.subspan(54, 40), model);
    putAtaString(data.subspan(46, 8), firmware);
    putAtaString(data.subspan(20, 20), serial);
    const std::pair<int, std::uint16_t> words[] = {
        {47, 0x8001}, {50, 0x4000}, {53, 0},      {60, static_cast<std::uint16_t>(sectors)},
        {61, static_cast<std::uint16_t>(sectors >> 16)},           {80, 0x0008}, {82, 0x0001},
        {83, 0x4000}, {85, 0x0001}, {87, 0x4000},
    };
    for (const auto& [word, value] : words) putWord(data, word, value);
}

// ---- TSMARTSensor ------------------------------------------------------------------

TSMARTSensor::TSMARTSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                           std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {}

void TSMARTSensor::AfterConstruction() {
    TDriveInfo info;
    GetDriveInfo(info, FIdentifyPage);
    FChipName = info.Name;
    FModel = info.Model;
    FSerial = info.Serial;
    FFirmware = info.Firmware;
    FSize = info.Size;
    FGeometry = info.Geometry;
    FDisplayName = FModel + FSerial;

    TSmartPage attributes, thresholds;
    if (ReadSMART(attributes, thresholds) && GetSMARTTemperature(attributes) != -1) {
        const std::string name = Format("HD%d", {FAddress});
        TValueStats* stats = NewStats(8, FChipName + " " + name);
        stats->SetSpikeFilter(nullptr, 125);
        FTemps.push_back({Format("HD%d", {GetDriveNumber()}), stats});
    }
    TSensor::AfterConstruction();
}

bool TSMARTSensor::ReadSMART(TSmartPage& attributes, TSmartPage& thresholds) {
    attributes = {};
    thresholds = {};
    if (!ReadSMARTData(attributes, thresholds)) return false;
    FAttributePage = attributes;
    FThresholdPage = thresholds;
    FRatings = ComputeFitnessPerformance(attributes, thresholds);
    if (OnSmartRead) OnSmartRead(*this, GetDriveNumber(), Fitness());
    return true;
}

bool TSMARTSensor::ReadSMART() {
    TSmartPage attributes, thresholds;
    return ReadSMART(attributes, thresholds);
}

std::uint8_t TSMARTSensor::LinkKind() const { return FLink ? FLink->LinkKind() : 0; }

std::optional<double> TSMARTSensor::Fitness() const {
    return FRatings ? std::optional(FRatings->Fitness) : std::nullopt;
}

std::optional<double> TSMARTSensor::Performance() const {
    return FRatings ? std::optional(FRatings->Performance) : std::nullopt;
}

std::span<const std::uint8_t> TSMARTSensor::AttributePage() const {
    if (!FRatings) return {};
    return FAttributePage.data();
}

std::span<const std::uint8_t> TSMARTSensor::ThresholdPage() const {
    if (!FRatings) return {};
    return FThresholdPage.data();
}

void TSMARTSensor::ReadTempsInternal(std::span<double> values) {
    TSmartPage attributes, thresholds;
    if (!ReadSMART(attributes, thresholds)) return;
    const double t = GetSMARTTemperature(attributes);
    if (t >= 0 && !values.empty()) values[0] = t;
}

bool TSMARTSensor::ReadSMARTData(TSmartPage& attributes, TSmartPage& thresholds) {
    const auto drive = OpenSmartDrive(static_cast<int>(FAddress));
    if (!drive) return false;
    const int number = classicDriveNumber(FAddress);
    return SmartReadData(*drive, number, attributes) && SmartReadThresholds(*drive, number, thresholds);
}

void TSMARTSensor::GetDriveInfo(TDriveInfo& info, TSmartPage& identify) {
    info.Name = Format("Drive%d", {FAddress});
    const auto drive = OpenSmartDrive(static_cast<int>(FAddress));
    if (!drive) return;
    if (!SmartIdentifyDrive(*drive, platform::disk::ata::Identify, classicDriveNumber(FAddress), identify)) return;
    const TDriveIdentity id = ReadDriveIdentity(identify.data());
    info.Model = id.model;
    info.Firmware = id.firmware;
    info.Serial = id.serial;
    if (id.swapped) Log(Format("Drive%d needed name byte swapping", {FAddress}), 0);
    GetDriveGeometry(*drive, info.Geometry);
    info.Size = static_cast<double>(GetDriveSize(drive.get(), identify.data())) / BytesPerGB;
    info.Name = Format("HD%d (%.1fGB)", {FAddress, info.Size});
}

// ---- TAdvSMARTSensor ---------------------------------------------------------------

TAdvSMARTSensor::TAdvSMARTSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                                 std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSMARTSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
                   std::move(systemProduct)) {
    if (address < FoundDisks.size()) disk_ = FoundDisks[address];
}

int TAdvSMARTSensor::GetDriveNumber() const {
    const int address = static_cast<int>(FAddress);
    // A 3ware port's path is the controller's unit, shared by all its ports.
    if (!disk_ || disk_->AccessKind == Access3ware) return address;
    const std::string path = platform::asciiLower(disk_->DevicePath);
    constexpr std::string_view Marker = "physicaldrive";
    const auto at = path.find(Marker);
    if (at == std::string::npos) return address;
    const char* first = path.data() + at + Marker.size();
    const char* last = path.data() + path.size();
    int number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    return error == std::errc{} && end == last ? number : address;
}

bool TAdvSMARTSensor::ReadSMARTData(TSmartPage& attributes, TSmartPage& thresholds) {
    if (!disk_) return false;
    if (disk_->ReadAttributePage(attributes.data()) != DiskOk) {
        Log(Format("Error reading SMART attrs from drive %s", {FChipName}), 1);
        return false;
    }
    if (disk_->ReadThresholdPage(thresholds.data()) != DiskOk) {
        Log(Format("Error reading SMART thresholds from drive %s", {FChipName}), 1);
        return false;
    }
    return true;
}

void TAdvSMARTSensor::GetDriveInfo(TDriveInfo& info, TSmartPage& identify) {
    info.Name = Format("Drive%d", {GetDriveNumber()});
    if (!disk_) return;
    disk_->IdentifyDrive(identify.data());
    info.Model = disk_->Model;
    info.Serial = disk_->Serial;
    info.Firmware = disk_->Firmware;
    if (disk_->AccessKind == Access3ware) {
        // The unit's geometry is the whole array's; the disk's own size is in its identify data.
        info.Size = static_cast<double>(GetDriveSize(nullptr, identify.data())) / BytesPerGB;
    } else {
        const auto drive = OpenDiskDevice(disk_->DevicePath).device;
        if (!drive) return;
        GetDriveGeometry(*drive, info.Geometry);
        info.Size = static_cast<double>(GetDriveSize(drive.get(), identify.data())) / BytesPerGB;
    }
    info.Name = Format("HD%d (%.1fGB)", {GetDriveNumber(), info.Size});
}

std::uint8_t TAdvSMARTSensor::SelfTestStatus() const { return disk_ ? disk_->AttributeData[SelfTestStatusByte] : 0; }

int TAdvSMARTSensor::StartSelfTest(int kind, bool captive) { return disk_ ? disk_->StartSelfTest(kind, captive) : -1; }

TSmartHardDisk* GetAdvSMARTHardDisk(const TSensor& sensor) {
    const auto* advanced = dynamic_cast<const TAdvSMARTSensor*>(&sensor);
    return advanced ? advanced->Disk() : nullptr;
}

// ---- RAID drives -------------------------------------------------------------------

namespace {

// A RAID member has no geometry of its own: one sector per cylinder.
platform::disk::DiskGeometry builtGeometry(std::uint64_t sectors) {
    return {static_cast<std::int64_t>(sectors), platform::disk::MediaFixed, 1, 1, 512};
}

void fixNameSwap(TSensor& sensor, std::uint32_t address, std::string& model, std::string& firmware,
                 std::string& serial) {
    if (FixDriveNameByteSwap(model, firmware, serial))
        sensor.Log(Format("Drive%d needed name byte swapping", {address}), 0);
}

template <std::size_t N>
void copyPage(TSmartPage& page, const std::array<std::uint8_t, N>& from) {
    std::copy_n(from.begin(), TSmartPage::DataSize, page.data().begin());
}

}  // namespace

int TThreeWareSensor::controllerNumber() const {
    if (!AMCCRaid || FAddress >= AMCCRaid->Drives.size()) return 0;
    return AMCCRaid->Drives[FAddress].ControllerIndex;
}

void TThreeWareSensor::AfterConstruction() {
    TSMARTSensor::AfterConstruction();
    if (FTemps.empty()) return;
    FTemps[0].Name = Format("C%dHD%d", {controllerNumber(), FAddress});
    FTemps[0].Stats->FName = FChipName + " " + FTemps[0].Name;
}

bool TThreeWareSensor::ReadSMARTData(TSmartPage& attributes, TSmartPage& thresholds) {
    const int index = static_cast<int>(FAddress);
    if (!AMCCRaid || !AMCCRaid->ReadSmartAttributes(index, attributes.data())) {
        Log(Format("Error reading SMART attrs from drive %d on controller #%d", {index, controllerNumber()}), 1);
        return false;
    }
    if (!AMCCRaid->ReadSmartThresholds(index, thresholds.data())) {
        Log(Format("Error reading SMART thresholds from drive %d on controller #%d", {index, controllerNumber()}), 1);
        return false;
    }
    return true;
}

void TThreeWareSensor::GetDriveInfo(TDriveInfo& info, TSmartPage& identify) {
    info.Name = Format("C%dHD%d", {controllerNumber(), FAddress});
    if (!AMCCRaid || FAddress >= AMCCRaid->Drives.size()) return;
    const auto& drive = AMCCRaid->Drives[FAddress].Info;
    info.Model = ThreewareText(drive.Model);
    info.Serial = ThreewareText(drive.Serial);
    info.Firmware = ThreewareText(drive.Firmware);
    const std::uint64_t sectors = drive.Capacity;
    info.Size = ThreewareSizeGB(sectors, 1000.0 * 1000);
    fixNameSwap(*this, FAddress, info.Model, info.Firmware, info.Serial);
    info.Geometry = builtGeometry(sectors);
    info.Name = Format("C%dHD%d (%.1fGB)", {controllerNumber(), FAddress, info.Size});
    BuildIdentifyPage(identify, info.Model, info.Firmware, info.Serial, sectors);
}

TArecaSensor::TArecaSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                           std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSMARTSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
                   std::move(systemProduct)),
      controller_(static_cast<int>(address >> 8 & 0xFF)),
      drive_(static_cast<int>(address & 0xFF)) {}

void TArecaSensor::AfterConstruction() {
    TSMARTSensor::AfterConstruction();
    if (!FTemps.empty()) FTemps[0].Name = Format("C%dHD%d", {controller_, drive_});
}

bool TArecaSensor::ReadSMARTData(TSmartPage& attributes, TSmartPage& thresholds) {
    const TARCSmartAttributes read = ArecaRAID ? ArecaRAID->ReadSmartAttrs(controller_, drive_) : TARCSmartAttributes{};
    if (!read.Valid) {
        Log(Format("Error reading SMART attrs from drive %d on controller #%d", {drive_, controller_}), 1);
        return false;
    }
    const TARCSmartThresholds limits = ArecaRAID->ReadSmartThresholds(controller_, drive_);
    if (!limits.Valid) {
        Log(Format("Error reading SMART thresholds from drive %d on controller #%d", {drive_, controller_}), 1);
        return false;
    }
    copyPage(attributes, read.Page);
    copyPage(thresholds, limits.Page);
    return true;
}

void TArecaSensor::GetDriveInfo(TDriveInfo& info, TSmartPage& identify) {
    Log(Format("TArecaSensor.GetDriveInfo : ctrl %d encl %d drive %d", {controller_, enclosure_, drive_}), 0);
    const TARCPhyDriveInfo drive =
        ArecaRAID ? ArecaRAID->GetPhysicalDriveInfo(controller_, enclosure_, drive_) : TARCPhyDriveInfo{};
    info.Name = Format("C%dHD%d", {controller_, drive_});
    info.Model = drive.Model;
    info.Serial = drive.Serial;
    info.Firmware = drive.Firmware;
    info.Size = static_cast<double>(drive.Capacity) / 2 / 1024 / 1024;
    fixNameSwap(*this, FAddress, info.Model, info.Firmware, info.Serial);
    info.Geometry = builtGeometry(drive.Capacity);
    info.Name = Format("C%dHD%d (%.1fGB)", {controller_, drive_, info.Size});
    BuildIdentifyPage(identify, info.Model, info.Firmware, info.Serial, drive.Capacity);
}
