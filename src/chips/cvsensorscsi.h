#pragma once
// A SCSI or SAS disk: its temperature from LOG SENSE (page 2Fh, else 0Dh) as
// its one reading, and its log parameters for the S.M.A.R.T. page. Each read
// opens the drive, reads what it needs and closes it.

#include <array>
#include <cstdint>
#include <string>

#include "core/cvsensors.h"
#include "disks/cvscsi.h"

constexpr int MaxSCSIAttrs = 100;

struct TSCSISmartAttrData {
    std::uint8_t Page = 0;
    std::uint32_t Code = 0;
    std::string Value;
};

struct TSCSISmartData {
    bool TemperatureFound = false;
    std::int32_t Temperature = 0;
    std::int32_t Reference = 0;
    std::uint8_t ASC = 0;
    std::uint8_t ASCQ = 0;
    std::int32_t Count = 0;
    std::array<TSCSISmartAttrData, MaxSCSIAttrs> Attrs;
};

class TSCSISensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 17;

    TSCSISensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                std::string boardVendor, std::string boardProduct, std::string systemProduct);

    // True whenever the handle is valid.
    bool CollectData(platform::Device* drive, bool identify, bool wantTemperature, bool wantAll, TSCSISmartData& data);
    // The whole page set; false when the drive does not open.
    bool GetSmartData(TSCSISmartData& data);

    int GetDriveNumber() const { return static_cast<int>(FAddress); }
    const std::string& Model() const { return FModel; }
    const std::string& Revision() const { return FRevision; }
    const std::string& VendorSpecific() const { return FVendorSpecific; }
    double SizeGB() const { return FSizeGB; }
    const TLogSensePagesArray& LogPages() const { return FLogPages; }

protected:
    void ReadTempsInternal(std::span<double> values) override;

private:
    std::unique_ptr<platform::Device> openDrive() const;
    bool hasPage(std::uint8_t page) const;
    void collectPage(std::uint8_t page, const TLogSenseRequest& request, int length, TSCSISmartData& data);

    std::string FRevision;
    std::string FModel;
    std::string FVendorSpecific;
    double FSizeGB = 0;
    TLogSensePagesArray FLogPages;
};
