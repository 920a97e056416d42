#pragma once
// The disk search: finds every disk that answers S.M.A.R.T. commands and the
// path that reaches it (physical, USB or FireWire bridge, 3ware port, SCSI
// miniport, CSMI), writing everything it tries into its indented search log.

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/cvformat.h"
#include "disks/cvadvsmart.h"
#include "platform/wmi.h"

struct TExtDriveInfo {
    std::string Name;  // the disk device's name, which is the disk's model
    std::int32_t VID = -1;
    std::int32_t PID = -1;
    std::uint8_t BusKind = 0;  // AccessUSB or AccessFireWire
};

enum TVendorType : std::uint8_t {
    vtUnknown = 0,
    vtCypress = 1,
    vtJMicron = 2,
    vtSunPlus = 3,
    vtIoData = 4,
    vtLogitech = 5,
    vtSat = 6,
};
// Bit n enables kind n.
using TVendorTypes = std::uint8_t;
constexpr TVendorTypes VendorTypeBit(TVendorType kind) { return static_cast<TVendorTypes>(1u << kind); }
constexpr TVendorTypes AllVendorTypes = 0x7E;  // kinds 1 to 6

extern std::vector<TExtDriveInfo> ExtDrives;
// Shared with the sensors made for them: a later run never destroys a disk
// that is still read.
extern std::vector<std::shared_ptr<TSmartHardDisk>> FoundDisks;
extern TVendorTypes VendorTypes;
extern bool UsbVendorGuessing;

// A bridge kind's disk class and the vendor id used when guessing it.
struct TBridgeKindRow {
    TVendorType kind;
    std::string_view name;
    std::uint16_t guessVendorId;
    std::unique_ptr<TSmartHardDisk> (*make)(const std::string& path, std::uint8_t busKind, std::uint16_t vid,
                                            std::uint16_t pid);
};
extern const std::array<TBridgeKindRow, 6> BridgeKinds;
// The bridge make of a vendor id; vtUnknown when it is none of the five.
TVendorType VendorTypeOfVendorId(std::int32_t vid);

struct TUsbEnclosureRow {
    std::uint16_t vid, pid;
    TVendorType kind;
    std::string_view vendor, model;
};
struct TUsbBlacklistRow {
    std::uint16_t vid, pid;
    std::string_view vendor, model;
};
extern const std::array<TUsbEnclosureRow, 25> UsbEnclosureTable;
extern const std::array<TUsbBlacklistRow, 22> UsbBlacklistTable;
// The last matching row, or none.
const TUsbBlacklistRow* FindBlacklisted(std::int32_t vid, std::int32_t pid);
// Logs every matching row; the last one's kind, vtUnknown without one.
TVendorType LookupEnclosure(std::int32_t vid, std::int32_t pid);

std::string VendorTypeName(int kind);
void AddVendorType(TVendorType kind);

// The search log.
using TSearchLogCallback = std::function<void(const std::string&)>;
void SetSearchLogCallback(TSearchLogCallback callback);
// Empty before the first run.
const std::optional<std::vector<std::string>>& GetSearchLog();
void AddSearchLogLine(const std::string& msg);
void AddSearchLogFormat(std::string_view picture, std::initializer_list<cvformat::FormatArg> args);

// Raises the search log's indentation for its lifetime.
class TSearchLogIndent {
public:
    explicit TSearchLogIndent(int by);
    ~TSearchLogIndent();
    TSearchLogIndent(const TSearchLogIndent&) = delete;
    TSearchLogIndent& operator=(const TSearchLogIndent&) = delete;

private:
    int by_;
};
int SearchLogIndentation();

int FindInExtDrives(const std::string& model);
// False when a disk with the same model, serial and firmware is listed.
bool AddFoundDisk(std::shared_ptr<TSmartHardDisk> disk);
void FreeDisk(std::unique_ptr<TSmartHardDisk>& disk, const std::string& msg);

// Whether the disk identifies and gives attribute and threshold pages; dumps
// them, the log directory and, with readLogs, the error and self-test logs.
bool TestDiskSmart(TSmartHardDisk* disk, bool readLogs);
// True when the disk's controller answers as a 3ware one.
bool CheckFor3ware(TSmartHardDisk& disk);
void Add3wareDrives(const std::string& devicePath, std::uint32_t portMap, bool readLogs);
void TestCSMIDrivesSMARTSupport(bool readLogs);

// A WMI property value as the search log prints it; arrays as "[a,b]".
std::string VariantToText(const platform::WmiValue& value);
// Runs a WQL query and logs how long it took.
std::vector<platform::WmiObject> ExecTimedQuery(platform::Wmi& wmi, const std::string& label,
                                                const std::string& query);
void FindUsbDrives(platform::Wmi& wmi);
void Find1394Drives(platform::Wmi& wmi);
void FindDiskDrives(platform::Wmi& wmi, bool readLogs);
// Runs the whole search; always false (the outcome is FoundDisks).
bool FindHardDisks(bool readLogs);
