#include "disks/cvthreewareraid.h"

#include <algorithm>

#include "base/cvformat.h"

using cvformat::Format;

std::unique_ptr<TAMCCRaid> AMCCRaid;
TLibraryCopy ThreewareCopy{"%scvamcc%.5d.dll", platform::raidlibraries::threeware::ImageBlock,
                           "cvthreewareraid.CreateUniqueDLL was unable to get the temporary path", {}};

namespace {

void trace(const std::string& line) { ReportThreewareError(line, false); }

template <class List>
auto* findValid(List& list, const TThreewareId& id) {
    const auto hex = ThreewareIdToHex(id);
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const auto& entry) { return entry.Valid && ThreewareIdToHex(entry.Id) == hex; });
    return it == list.end() ? &list.emplace_back() : &*it;
}

}  // namespace

double ThreewareSizeGB(std::uint64_t sectors, double base) { return static_cast<double>(sectors) / 2 / base; }

std::vector<std::string> ThreewareControllerLines(int index, const TAMCCControllerData& controller) {
    const auto& info = controller.Info;
    std::vector<std::string> lines{Format("Controller #%d (id=%s)", {index, ThreewareIdToHex(controller.Id)})};
    const auto text = [&](bool valid, const char* picture, const std::string& value) {
        if (valid) lines.push_back(Format(picture, {value}));
    };
    text(info.ModelValid, "  Model is <%s>", ThreewareText(info.Model));
    text(info.SerialValid, "  Serial number is <%s>", ThreewareText(info.Serial));
    text(true, "  Driver version is <%s>", ThreewareText(info.DriverVersion));
    text(info.Architecture.Valid, "  Architecture is <%s>", ThreewareArchName(info.Architecture.Value));
    text(info.FirmwareValid, "  Firmware version is <%s>", ThreewareText(info.Firmware));
    text(info.BiosValid, "  BIOS version is <%s>", ThreewareText(info.Bios));
    const std::pair<const TThreewareOptionalValue&, const char*> counts[] = {
        {info.PortsCount, "  Ports count is %d"},
        {info.DrivesCount, "  Drives count is %d"},
        {info.UnitsCount, "  Units count is %d"},
        {info.ActiveDrivesCount, "  Active drives count is %d"},
        {info.MaxUnits, "  Max units is %d"},
        {info.MaxActiveUnits, "  Max active units is %d"},
        {info.MaxActiveDrives, "  Max active drives is %d"},
        {info.MaxDrivesPerUnit, "  Max drives per unit is %d"},
        {info.MemorySize, "  Memory size is %d"},
    };
    for (const auto& [value, picture] : counts)
        if (value.Valid) lines.push_back(Format(picture, {value.Value}));
    return lines;
}

TAMCCRaid::TAMCCRaid() {
    LoadThreewareControllers();
    LoadThreewareDrives();
}

void TAMCCRaid::LoadThreewareControllers() {
    TThreewareControllerIdList ids{};
    if (ThreewareGetControllerIdList(ids) != 0) {
        ReportThreewareError("Error retrieving controllers count!!!", true);
        return;
    }
    const std::uint32_t count = ThreewareIdCount(ids);
    trace(Format("3ware Controllers found : %d", {count}));
    for (std::uint32_t k = 0; k < count; ++k) trace(Format("  -> %s", {ThreewareIdToHex(ids.Ids[k])}));
    for (std::uint32_t k = 0; k < count; ++k) {
        TAMCCControllerData read;
        read.Id = ids.Ids[k];
        if (ThreewareGetControllerInfo(read.Id, read.Info) != 0) {
            ReportThreewareError("Error retrieving controller info!!!", true);
            continue;
        }
        for (const auto& line : ThreewareControllerLines(static_cast<int>(k), read)) trace(line);
        read.Valid = true;
        *findValid(Controllers, read.Id) = read;
    }
}

void TAMCCRaid::LoadThreewareDrives() {
    for (std::size_t k = 0; k < Controllers.size(); ++k) {
        if (!Controllers[k].Valid) continue;
        TThreewareDriveIdList ids{};
        if (ThreewareGetDriveIdList(Controllers[k].Id, ids) != 0) {
            ReportThreewareError(Format("Error retrieving drive list for controller #%d!!!", {k}), true);
            continue;
        }
        const std::uint32_t count = ThreewareIdCount(ids);
        trace(Format("Drives connected to controller #%d : %d", {k, count}));
        for (std::uint32_t j = 0; j < count; ++j) {
            trace(Format("  -> %s", {ThreewareIdToHex(ids.Ids[j])}));
            TAMCCDriveData read;
            read.ControllerIndex = static_cast<std::int32_t>(k);
            read.Id = ids.Ids[j];
            if (ThreewareGetDriveInfo(read.Id, read.Info) != 0) {
                ReportThreewareError(Format("Error retrieving info for drive #%d!!!", {j}), true);
                continue;
            }
            const auto& info = read.Info;
            const std::string model = ThreewareText(info.Model);
            trace(Format("Found %s Firmware revision <%s> (%.1fGB) Serial <%s>",
                         {model, ThreewareText(info.Firmware), ThreewareSizeGB(info.Capacity, 1024.0 * 1024),
                          ThreewareText(info.Serial)}));
            trace(Format("  -> ID DATA VALID=%d  INTF DATA VALID=%d", {info.IdentifyValid, info.InterfaceValid}));
            trace(Format("    Model is <%s>", {model}));
            trace(Format("    Serial number is <%s>", {ThreewareText(info.Serial)}));
            trace(Format("    Firmware is <%s>", {ThreewareText(info.Firmware)}));
            trace(Format("    Capacity is <%d>", {info.Capacity}));
            read.Valid = true;
            *findValid(Drives, read.Id) = read;
        }
    }
}

const TAMCCDriveData* TAMCCRaid::validDrive(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= Drives.size()) return nullptr;
    const auto& drive = Drives[static_cast<std::size_t>(index)];
    return drive.Valid ? &drive : nullptr;
}

bool TAMCCRaid::ReadSmartAttributes(int index, std::span<std::uint8_t, 512> page) const {
    std::fill(page.begin(), page.end(), 0);
    const auto* drive = validDrive(index);
    return drive && ThreewareReadSmartData(drive->Id, page);
}

bool TAMCCRaid::ReadSmartThresholds(int index, std::span<std::uint8_t, 512> page) const {
    std::fill(page.begin(), page.end(), 0);
    const auto* drive = validDrive(index);
    return drive && ThreewareReadSmartThresholds(drive->Id, page);
}
