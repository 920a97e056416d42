#pragma once
// One ATA disk that answers S.M.A.R.T. commands, with the path its commands
// take. Every command is a register image plus a miniport operation code;
// each transport turns that pair into its own control request.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/cvformat.h"
#include "disks/cvsmart.h"
#include "platform/diskctl.h"

enum TFeatureState : std::uint8_t {
    fsUnknown = 0,
    fsEnabled = 1,
    fsSupported = 2,
    fsDisabled = 3,
    fsUnsupported = 4,
};

// Disk operation results.
enum : int {
    DiskOk = 0,
    DiskNoTransport = 1,
    DiskOpenFailed = 3,
    DiskCommandFailed = 4,
};

// How the disk search found a disk.
enum : std::uint8_t {
    AccessPhysical = 1, AccessUSB = 2, AccessFireWire = 3, AccessSCSI = 4, AccessSAT = 5, AccessCSMI = 6,
    Access3ware = 7,
};

// The disk classes' diagnostic lines; only kept while the list exists.
extern std::optional<std::vector<std::string>> DiskAccessLog;
void DiskAccessLogAdd(const std::string& line);
void DiskAccessLogFormat(std::string_view picture, std::initializer_list<cvformat::FormatArg> args);

class TSmartHardDisk {
public:
    TSmartHardDisk(std::string devicePath, std::uint8_t accessKind);
    virtual ~TSmartHardDisk() = default;
    TSmartHardDisk(const TSmartHardDisk&) = delete;
    TSmartHardDisk& operator=(const TSmartHardDisk&) = delete;

    virtual std::string_view ClassName() const { return "TSmartHardDisk"; }

    // Slots 0-4.
    virtual int Identify(std::span<std::uint8_t, 512> data);
    virtual int ReadAttributes(std::span<std::uint8_t, 512> data);
    virtual int ReadThresholds(std::span<std::uint8_t, 512> data);
    // The buffer's size is the command's data length.
    virtual int SendIDECommand(const TSmartTaskFile& task, std::uint32_t operation, std::span<std::uint8_t> buffer);
    virtual int SMARTGetVersion(platform::disk::GetVersionInParams& version);

    int IdentifyDrive(std::span<std::uint8_t, 512> data);
    int ReadAttributePage(std::span<std::uint8_t, 512> data);
    int ReadThresholdPage(std::span<std::uint8_t, 512> data);
    int ReadLog(std::uint8_t logAddress, std::uint8_t sectors, std::span<std::uint8_t> buffer);
    // Kinds 1 short, 2 extended, 3 conveyance, else off-line (00h).
    int StartSelfTest(int kind, bool captive);

    TFeatureState GetATAVersionSupport(int n) const;  // 4..8
    TFeatureState GetUDMAActive(int n) const;         // 0..6
    TFeatureState GetUDMASupport(int n) const;        // 0..6

    std::string DevicePath;
    std::uint8_t AccessKind;
    bool IdentifyDone = false;
    std::string Model, Firmware, Serial;
    TFeatureState AAMEnabled = fsUnknown;
    TFeatureState AAMSupported = fsUnknown;
    TFeatureState LBA48Supported = fsUnknown;
    TFeatureState APMEnabled = fsUnknown;
    TFeatureState APMSupported = fsUnknown;
    std::array<TFeatureState, 5> ATAVersion{};  // ATA/ATAPI-4 .. -8
    std::uint32_t QueueDepth = 0;
    TFeatureState NCQSupported = fsUnknown;
    TFeatureState PMEnabled = fsUnknown;
    TFeatureState PMSupported = fsUnknown;
    TFeatureState SATA300Supported = fsUnknown;
    TFeatureState SATA150Supported = fsUnknown;
    TFeatureState SMARTEnabled = fsUnknown;
    TFeatureState SMARTSupported = fsUnknown;
    TFeatureState SMARTErrorLogSupported = fsUnknown;
    std::array<TFeatureState, 7> UDMAActive{};
    std::array<TFeatureState, 7> UDMASupport{};
    std::array<std::uint8_t, 512> AttributeData{};
    std::array<std::uint8_t, 512> ThresholdData{};

private:
    void deriveFeatures(std::span<const std::uint8_t, 512> identify);
};

// The system's S.M.A.R.T. codes on a disk device, ATA pass-through after a refusal.
class TSmartHardDiskPhysical : public TSmartHardDisk {
public:
    using TSmartHardDisk::TSmartHardDisk;
    std::string_view ClassName() const override { return "TSmartHardDiskPhysical"; }
    int SendIDECommand(const TSmartTaskFile& task, std::uint32_t operation, std::span<std::uint8_t> buffer) override;
    int SMARTGetVersion(platform::disk::GetVersionInParams& version) override;
};

// The "SCSIDISK" miniport requests of a SCSI port device.
class TSmartHardDiskSCSI : public TSmartHardDisk {
public:
    TSmartHardDiskSCSI(std::string devicePath, std::uint8_t accessKind, std::uint32_t port, std::uint32_t targetId);
    std::string_view ClassName() const override { return "TSmartHardDiskSCSI"; }
    int SendIDECommand(const TSmartTaskFile& task, std::uint32_t operation, std::span<std::uint8_t> buffer) override;

    std::uint32_t PortNumber;
    std::uint32_t TargetId;
};

// SCSI pass-through carrying the bridge's command block.
class TSmartHardDiskSat : public TSmartHardDisk {
public:
    TSmartHardDiskSat(std::string devicePath, std::uint8_t accessKind, std::uint16_t vendorId,
                      std::uint16_t productId);
    std::string_view ClassName() const override { return "TSmartHardDiskSat"; }
    int SendIDECommand(const TSmartTaskFile& task, std::uint32_t operation, std::span<std::uint8_t> buffer) override;
    // Slot 5: writes the block length and fixed bytes; the task file's index.
    virtual int BuildPassThroughCdb(platform::disk::ScsiPassThroughRequest& request);

    std::uint16_t VendorId;
    std::uint16_t ProductId;

protected:
    TSmartHardDiskSat(std::string devicePath, std::uint8_t accessKind, std::uint16_t vendorId,
                      std::uint16_t productId, platform::disk::Bridge bridge);

private:
    platform::disk::Bridge bridge_;
};

// The USB bridges that want their vendor's block.
template <platform::disk::Bridge B, const char* Name>
class TSmartHardDiskSatBridge : public TSmartHardDiskSat {
public:
    TSmartHardDiskSatBridge(std::string devicePath, std::uint8_t accessKind, std::uint16_t vendorId,
                            std::uint16_t productId)
        : TSmartHardDiskSat(std::move(devicePath), accessKind, vendorId, productId, B) {}
    std::string_view ClassName() const override { return Name; }
};
inline constexpr char SatSunPlusName[] = "TSmartHardDiskSatSunPlus";
inline constexpr char SatCypressName[] = "TSmartHardDiskSatCypress";
inline constexpr char SatIoDataName[] = "TSmartHardDiskSatIoData";
inline constexpr char SatLogitechName[] = "TSmartHardDiskSatLogitech";
inline constexpr char SatJMicronName[] = "TSmartHardDiskSatJMicron";
using TSmartHardDiskSatSunPlus = TSmartHardDiskSatBridge<platform::disk::Bridge::SunPlus, SatSunPlusName>;
using TSmartHardDiskSatCypress = TSmartHardDiskSatBridge<platform::disk::Bridge::Cypress, SatCypressName>;
using TSmartHardDiskSatIoData = TSmartHardDiskSatBridge<platform::disk::Bridge::IoData, SatIoDataName>;
using TSmartHardDiskSatLogitech = TSmartHardDiskSatBridge<platform::disk::Bridge::Logitech, SatLogitechName>;
using TSmartHardDiskSatJMicron = TSmartHardDiskSatBridge<platform::disk::Bridge::JMicron, SatJMicronName>;

// A disk on a 3ware controller port: the S.M.A.R.T. codes tagged with the
// port, then the controller's own miniport request.
class TSmartHardDisk3Ware : public TSmartHardDisk {
public:
    TSmartHardDisk3Ware(std::string devicePath, std::uint8_t accessKind, std::uint32_t port);
    std::string_view ClassName() const override { return "TSmartHardDisk3Ware"; }
    int SendIDECommand(const TSmartTaskFile& task, std::uint32_t operation, std::span<std::uint8_t> buffer) override;
    int SMARTGetVersion(platform::disk::GetVersionInParams& version) override;
    void UpdateDeviceMap(platform::Device& controller);

    std::uint32_t Port;
    bool IsThreeWare = false;
    std::uint32_t PortMap = 0;
    std::uint16_t Identifier = 0;
    std::uint16_t ControllerId = 0;

private:
    int sendMiniport(const TSmartTaskFile& task, std::span<std::uint8_t> buffer);
};

// STP pass-through to a SATA disk on a CSMI port.
class TSmartHardDiskCSMI : public TSmartHardDisk {
public:
    TSmartHardDiskCSMI(std::string devicePath, std::uint8_t accessKind, std::array<std::uint8_t, 8> sasAddress);
    std::string_view ClassName() const override { return "TSmartHardDiskCSMI"; }
    int SendIDECommand(const TSmartTaskFile& task, std::uint32_t operation, std::span<std::uint8_t> buffer) override;

    std::array<std::uint8_t, 8> SASAddress;
};

// Helpers the transports share.
namespace diskio {
// Copies what the answer holds of `buffer.size()` bytes from `offset`.
void copyAnswer(std::span<std::uint8_t> buffer, std::span<const std::uint8_t> answer, std::size_t offset,
                std::uint32_t returned);
void clear(std::span<std::uint8_t> buffer);
// One command by the S.M.A.R.T. codes (data-in by the sector count), `tag`
// in the reserved bytes after the drive number; the answer's driver status
// is left in `status`.
bool sendSmartCodes(platform::Device& device, const TSmartTaskFile& task, std::span<std::uint8_t> buffer,
                    std::array<std::uint8_t, 3> tag, platform::disk::DriverStatus& status);
}  // namespace diskio
