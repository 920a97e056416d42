#include "chips/cvsensorscsi.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "base/cvformat.h"
#include "disks/cvsmart.h"

using cvformat::Format;

namespace {

// The pages a full read asks for, in order.
constexpr std::uint8_t AllPages[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, scsipage::Temperature,
                                     scsipage::StartStop, scsipage::InformationalExceptions};

}  // namespace

TSCSISensor::TSCSISensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                         std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = Format("HD%d", {address});
    FDisplayName = FChipName;
    const auto drive = openDrive();
    if (!drive) return;
    std::vector<std::string> messages;
    GetAvailableLogPages(drive.get(), messages, FLogPages);
    auto data = std::make_unique<TSCSISmartData>();
    CollectData(drive.get(), true, true, true, *data);
    FChipName = Format("HD%d (%.1fGB)", {address, FSizeGB});
    FDisplayName = FModel + FVendorSpecific;
    if (!data->TemperatureFound) return;
    const std::string name = Format("HD%d", {address});
    TValueStats* stats = NewStats(8, FChipName + " " + name);
    stats->SetSpikeFilter(nullptr, 125.0);
    FTemps.push_back({name, stats});
}

std::unique_ptr<platform::Device> TSCSISensor::openDrive() const {
    return OpenDiskDevice(Format(SmartDrivePathNT, {FAddress})).device;
}

bool TSCSISensor::hasPage(std::uint8_t page) const {
    return std::find(FLogPages.begin(), FLogPages.end(), page) != FLogPages.end();
}

bool TSCSISensor::CollectData(platform::Device* drive, bool identify, bool wantTemperature, bool wantAll,
                              TSCSISmartData& data) {
    data.TemperatureFound = false;
    data.Temperature = data.Reference = 0;
    data.ASC = data.ASCQ = 0;
    data.Count = 0;
    if (!drive) return false;
    if (identify) {
        if (platform::disk::DiskGeometry g; GetDriveGeometry(*drive, g))
            FSizeGB = static_cast<double>(g.cylinders) * g.tracksPerCylinder * g.sectorsPerTrack * g.bytesPerSector / 1e9;
        if (const auto inquiry = SCSIInquiry(drive)) {
            FModel = inquiry->Vendor + " " + inquiry->Product;
            FRevision = inquiry->Revision;
            FVendorSpecific = inquiry->VendorSpecific;
        }
    }
    std::vector<std::uint8_t> pages;
    const auto choose = [&](std::uint8_t page) {
        if (hasPage(page) && std::find(pages.begin(), pages.end(), page) == pages.end()) pages.push_back(page);
    };
    if (wantTemperature) choose(hasPage(scsipage::InformationalExceptions) ? scsipage::InformationalExceptions
                                                                          : scsipage::Temperature);
    if (wantAll)
        for (const auto page : AllPages) choose(page);

    auto request = std::make_unique<TLogSenseRequest>();
    const auto read = [&](std::uint8_t page) {
        int length = 0;
        if (!LogSense(drive, page, *request, length)) return;
        if (std::string message; !CheckLogSensePage(*request, length, page, message)) {
            Log("TSCSISensor.CollectData WARNING : " + message, 1);
            return;
        }
        collectPage(page, *request, length, data);
    };
    for (const auto page : pages) read(page);
    // Many disks list page 2Fh but give their temperature in page 0Dh only.
    const bool temperatureRead = std::find(pages.begin(), pages.end(), scsipage::Temperature) != pages.end();
    if (wantTemperature && !data.TemperatureFound && !temperatureRead && hasPage(scsipage::Temperature))
        read(scsipage::Temperature);
    return true;
}

void TSCSISensor::collectPage(std::uint8_t page, const TLogSenseRequest& request, int length, TSCSISmartData& data) {
    if (page == scsipage::InformationalExceptions) {
        data.ASC = request.data[8];
        data.ASCQ = request.data[9];
        const std::uint8_t t = request.data[10];
        if (t != 0 && t != scsipage::NoTemperature) {
            data.TemperatureFound = true;
            data.Temperature = t;
            data.Reference = request.data[11];
        }
        return;
    }
    const std::uint8_t pageByte = request.data[0];
    ForEachLogParameter(request, length, [&](std::size_t offset, std::uint16_t code, std::uint8_t size) {
        if (data.Count < MaxSCSIAttrs) {
            data.Attrs[static_cast<std::size_t>(data.Count++)] = {pageByte, code,
                                                                  LogSenseParameterValue(request, pageByte, offset)};
        } else {
            Log("WARNING : TSCSISensor.CollectData exceeded MaxSCSIAttrs", 1);
        }
        if (pageByte != scsipage::Temperature || code > 1) return;
        // FFh in the temperature byte is "not available".
        if (size >= 2 && request.data[offset + 5] == scsipage::NoTemperature) return;
        const int value = LogSenseParameterInteger(request, pageByte, offset);
        if (value <= 0) return;
        if (code == 0) {
            data.TemperatureFound = true;
            data.Temperature = value;
        } else {
            data.Reference = value;
        }
    });
}

bool TSCSISensor::GetSmartData(TSCSISmartData& data) {
    const auto drive = openDrive();
    if (!drive) return false;
    return CollectData(drive.get(), true, true, true, data);
}

void TSCSISensor::ReadTempsInternal(std::span<double> values) {
    // No stand-in temperature: a failed read is no value.
    const auto drive = openDrive();
    if (!drive || values.empty()) return;
    auto data = std::make_unique<TSCSISmartData>();
    if (CollectData(drive.get(), false, true, false, *data) && data->TemperatureFound) values[0] = data->Temperature;
}
