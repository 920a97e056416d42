#include "disks/cvhdfinder.h"

#include <algorithm>
#include <cctype>

#include "disks/csmi.h"
#include "disks/cvcsmi.h"
#include "disks/cvsmartdump.h"
#include "platform/asciicase.h"

using cvformat::Format;

std::vector<TExtDriveInfo> ExtDrives;
std::vector<std::shared_ptr<TSmartHardDisk>> FoundDisks;
TVendorTypes VendorTypes = AllVendorTypes;
bool UsbVendorGuessing = true;

namespace {

std::optional<std::vector<std::string>> searchLog;
bool csmiTested = false;  // in this run
int indentation = 0;
TSearchLogCallback logCallback;

template <class Disk>
std::unique_ptr<TSmartHardDisk> makeBridge(const std::string& path, std::uint8_t busKind, std::uint16_t vid,
                                           std::uint16_t pid) {
    return std::make_unique<Disk>(path, busKind, vid, pid);
}

}  // namespace

const std::array<TBridgeKindRow, 6> BridgeKinds{{
    {vtCypress, "Cypress", 0x04B4, makeBridge<TSmartHardDiskSatCypress>},
    {vtJMicron, "JMicron", 0x152D, makeBridge<TSmartHardDiskSatJMicron>},
    {vtSunPlus, "SunPlus", 0x04FC, makeBridge<TSmartHardDiskSatSunPlus>},
    {vtIoData, "IoData", 0x04BB, makeBridge<TSmartHardDiskSatIoData>},
    {vtLogitech, "Logitech", 0x0789, makeBridge<TSmartHardDiskSatLogitech>},
    {vtSat, "Sat", 0, makeBridge<TSmartHardDiskSat>},
}};

const std::array<TUsbEnclosureRow, 25> UsbEnclosureTable{{
    {0x0BC2, 0x3000, vtSat, "Seagate", "FreeAgentDesktop"},
    {0x0BC2, 0x3001, vtSat, "Seagate", "FreeAgent"},
    {0x0BC2, 0x50A1, vtSat, "Seagate", "FA GoFlex Desk"},
    {0x043E, 0x70F5, vtJMicron, "Generic", "No Name"},
    {0x04E8, 0x1F05, vtJMicron, "Samsung", "S2 Portable"},
    {0x04E8, 0x5F05, vtJMicron, "Samsung", "STORY Station"},
    {0x04E8, 0x5F07, vtJMicron, "Samsung", "STORY Station"},
    {0x059B, 0x0470, vtCypress, "Generic", "No Name"},
    {0x059B, 0x0475, vtJMicron, "Generic", "No Name"},
    {0x059B, 0x047A, vtJMicron, "Generic", "No Name"},
    {0x059F, 0x0951, vtJMicron, "Generic", "No Name"},
    {0x059F, 0x101A, vtJMicron, "Generic", "No Name"},
    {0x059F, 0x1029, vtJMicron, "Generic", "No Name"},
    {0x059F, 0x102A, vtJMicron, "Generic", "No Name"},
    {0x0766, 0x001B, vtJMicron, "Packard Bell", "Go"},
    {0x0BC2, 0x0503, vtCypress, "Generic", "No Name"},
    {0x0C0B, 0x0336, vtJMicron, "DMI", "External"},
    {0x0D49, 0x3100, vtJMicron, "Maxtor", "Personal Storage 3100"},
    {0x0DBF, 0x9001, vtCypress, "Generic", "No Name"},
    {0x125F, 0xA93A, vtCypress, "A-DATA", "HDD SH93"},
    {0x14CD, 0x6116, vtCypress, "Generic", "No Name"},
    {0x18A5, 0x022A, vtJMicron, "Generic", "No Name"},
    {0x18A5, 0x022B, vtJMicron, "Generic", "No Name"},
    {0x4971, 0xCE17, vtJMicron, "Generic", "No Name"},
    {0x4971, 0xCE23, vtJMicron, "Generic", "No Name"},
}};

const std::array<TUsbBlacklistRow, 22> UsbBlacklistTable{{
    {0x058F, 0x6361, "Generic", "USB SD Reader"},
    {0x058F, 0x6362, "Generic", "USB SD Reader"},
    {0x058F, 0x9360, "Generic", "USB SD Reader"},
    {0x058F, 0x9380, "Generic", "USB Flash Disk USB Device"},
    {0x05E3, 0x0716, "Generic", "STORAGE DEVICE"},
    {0x0781, 0xA7C1, "Sandisk", "SDDR-113"},
    {0x0951, 0x1603, "Kingston", "DataTraveler 2.0"},
    {0x0951, 0x1607, "Kingston", "DataTraveler 2.0"},
    {0x0951, 0x160F, "Kingston", "DT Mini Slim"},
    {0x0951, 0x1624, "Kingston", "DataTraveler G2"},
    {0x0951, 0x1625, "Kingston", "DT 101 II"},
    {0x0951, 0x1642, "Kingston", "DT 101 G2"},
    {0x0951, 0x1643, "Kingston", "DataTraveler G3"},
    {0x0BDA, 0x0111, "Generic", "SD Card"},
    {0x0BDA, 0x0138, "Generic", "SD Card"},
    {0x0BDA, 0x0158, "Generic", "SD Card"},
    {0x0BDA, 0x0159, "Generic", "SD Card"},
    {0x0BDA, 0x0186, "Generic", "SD Card"},
    {0x1516, 0x8628, "A-JET", "USB 2.0 0901"},
    {0x1687, 0x3257, "Kingmax", "USB2.0 FlashDisk"},
    {0x1687, 0x6211, "Kingmax", "USB2.0 FlashDisk"},
    {0x3538, 0x0058, "pqi", "IntelligentStick"},
}};

TVendorType VendorTypeOfVendorId(std::int32_t vid) {
    for (const auto& row : BridgeKinds)
        if (row.guessVendorId != 0 && row.guessVendorId == vid) return row.kind;
    return vtUnknown;
}

const TUsbBlacklistRow* FindBlacklisted(std::int32_t vid, std::int32_t pid) {
    const TUsbBlacklistRow* found = nullptr;
    for (const auto& row : UsbBlacklistTable)
        if (row.vid == vid && row.pid == pid) found = &row;
    return found;
}

TVendorType LookupEnclosure(std::int32_t vid, std::int32_t pid) {
    TVendorType kind = vtUnknown;
    for (const auto& row : UsbEnclosureTable) {
        if (row.vid != vid || row.pid != pid) continue;
        AddSearchLogFormat("Enclosure is %s %s", {row.vendor, row.model});
        kind = row.kind;
    }
    return kind;
}

std::string VendorTypeName(int kind) {
    for (const auto& row : BridgeKinds)
        if (row.kind == kind) return std::string(row.name);
    return Format("Unknown(%d)", {kind});
}

void AddVendorType(TVendorType kind) { VendorTypes = static_cast<TVendorTypes>(VendorTypes | VendorTypeBit(kind)); }

void SetSearchLogCallback(TSearchLogCallback callback) { logCallback = std::move(callback); }
const std::optional<std::vector<std::string>>& GetSearchLog() { return searchLog; }

void AddSearchLogLine(const std::string& msg) {
    const std::string line = std::string(static_cast<std::size_t>(indentation), ' ') + msg;
    if (logCallback) logCallback(line);
    if (searchLog) searchLog->push_back(line);
}

void AddSearchLogFormat(std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
    AddSearchLogLine(Format(picture, args));
}

TSearchLogIndent::TSearchLogIndent(int by) : by_(by) { indentation += by_; }
TSearchLogIndent::~TSearchLogIndent() { indentation -= by_; }
int SearchLogIndentation() { return indentation; }

int FindInExtDrives(const std::string& model) {
    int found = -1;
    for (std::size_t i = 0; i < ExtDrives.size() && found < 0; ++i)
        if (platform::asciiLower(ExtDrives[i].Name) == platform::asciiLower(model)) found = static_cast<int>(i);
    AddSearchLogFormat("FindInExtDrives: Found at %d - Searched for <%s>", {found, model});
    return found;
}

bool AddFoundDisk(std::shared_ptr<TSmartHardDisk> disk) {
    for (const auto& d : FoundDisks)
        if (d->Model == disk->Model && d->Serial == disk->Serial && d->Firmware == disk->Firmware) return false;
    FoundDisks.push_back(std::move(disk));
    return true;
}

void FreeDisk(std::unique_ptr<TSmartHardDisk>& disk, const std::string& msg) {
    AddSearchLogLine(msg);
    disk.reset();
}

namespace {

void addAccessLogLines() {
    if (!DiskAccessLog) return;
    for (const auto& line : *DiskAccessLog) AddSearchLogFormat("  DBG=%s", {line});
}

// The attribute page is usable when it is not all zero and has a revision.
bool checkSmartAttributes(TSmartBlock attributes) {
    TSearchLogIndent indent(4);
    if (IsAllZero(attributes)) {
        AddSearchLogLine("SMART attrs contain all zeroes");
        return false;
    }
    const unsigned revision = attributes[0] | (attributes[1] << 8);
    if (revision == 0) {
        AddSearchLogFormat("Invalid SMART Revision $%.4x", {revision});
        return false;
    }
    AddSearchLogFormat("SMART checksum is $%.2x", {SmartPageChecksum(attributes) & 0xFF});
    return true;
}

void readSmartLogs(TSmartHardDisk& disk, bool readLogs) {
    const std::string name(disk.ClassName());
    std::array<std::uint8_t, 512> directory{};
    if (DiskAccessLog) DiskAccessLog->clear();
    if (disk.ReadLog(0, 1, directory) != DiskOk) {
        AddSearchLogFormat("Error reading Smart Log Directory using %s", {name});
        addAccessLogLines();
    } else {
        DumpLogDirectory(directory);
    }
    if (disk.SMARTErrorLogSupported != fsSupported) {
        AddSearchLogLine("Not reading Summary Smart Error Log because it seems to be not supported");
        return;
    }
    AddSearchLogLine("Reading Summary Smart Error Log because it seems to be supported");
    if (!readLogs) {
        AddSearchLogLine("  - NOT Reading Summary Smart Error Log because disabled by flag");
        return;
    }
    std::array<std::uint8_t, 514> errorLog{};
    if (disk.ReadLog(1, 1, errorLog) != DiskOk)
        AddSearchLogFormat("Error reading Summary Smart Error Log using %s", {name});
    else
        DumpSummaryErrorLog(std::span(errorLog).first<512>());
    std::array<std::uint8_t, 512> selfTests{};
    if (disk.ReadLog(6, 1, selfTests) != DiskOk)
        AddSearchLogFormat("Error reading Smart Self-Test Log using %s", {name});
    else
        DumpSelfTestLog(selfTests);
}

}  // namespace

bool TestDiskSmart(TSmartHardDisk* disk, bool readLogs) {
    if (!disk) return false;
    const std::string name(disk->ClassName());
    AddSearchLogFormat("Using %s", {name});
    TSearchLogIndent indent(2);
    std::array<std::uint8_t, 512> identify{}, attributes{}, thresholds{};
    if (disk->IdentifyDrive(identify) != DiskOk) {
        AddSearchLogFormat("Error identifying using %s", {name});
        return false;
    }
    if (IsAllZero(identify)) {
        AddSearchLogFormat("ID Sector contains all zeroes using %s", {name});
        return false;
    }
    DumpIdentifySector(identify);
    if (disk->ReadAttributePage(attributes) != DiskOk) {
        AddSearchLogFormat("Error reading attrs using %s", {name});
        return false;
    }
    if (!checkSmartAttributes(attributes)) {
        AddSearchLogFormat("Bad attributes using %s", {name});
        return false;
    }
    if (disk->ReadThresholdPage(thresholds) != DiskOk) {
        AddSearchLogFormat("Error reading thrs using %s", {name});
        return false;
    }
    if (!DumpAttributePage(attributes)) {
        AddSearchLogFormat("Error checking attrs and thrs data using %s", {name});
        return false;
    }
    readSmartLogs(*disk, readLogs);
    return true;
}

bool CheckFor3ware(TSmartHardDisk& disk) {
    platform::disk::GetVersionInParams version{};
    if (disk.SMARTGetVersion(version) != DiskOk) {
        AddSearchLogFormat("Error checking SMART Version using %s", {disk.ClassName()});
        return false;
    }
    const std::uint32_t second = version.reserved2[1];
    AddSearchLogFormat("SMART Version %d.%d - IDE Map=$%.2x MapEx=$%.8x",
                       {unsigned{version.version}, unsigned{version.revision}, unsigned{version.ideDeviceMap},
                        version.reserved2[0]});
    AddSearchLogFormat("      Capabilities=$%.8x - Identifier=$%.4x - ControllerId=$%.4x",
                       {version.capabilities, second & 0xFFFF, second >> 16});
    if ((second & 0xFFFF) != platform::disk::ThreeWareIdentifier) return false;
    AddSearchLogFormat("Found 3ware controller on %s", {disk.DevicePath});
    return true;
}

namespace {
void keepDisk(std::unique_ptr<TSmartHardDisk>& disk) {
    std::shared_ptr<TSmartHardDisk> shared(std::move(disk));
    if (AddFoundDisk(shared)) return;
    disk.reset();
    AddSearchLogLine("Freeing HD as it was already found");
}
}  // namespace

void Add3wareDrives(const std::string& devicePath, std::uint32_t portMap, bool readLogs) {
    AddSearchLogFormat("Adding all drives for 3ware controller on %s (map=$%.8x)", {devicePath, portMap});
    for (unsigned n = 0; n < 32 && (portMap >> n) != 0; ++n) {
        if (!(portMap & (1u << n))) continue;
        AddSearchLogFormat("Checking port %d...", {n});
        std::unique_ptr<TSmartHardDisk> disk = std::make_unique<TSmartHardDisk3Ware>(devicePath, Access3ware, n);
        if (TestDiskSmart(disk.get(), readLogs)) {
            AddSearchLogFormat("  Port %d contains a drive", {n});
            keepDisk(disk);
        } else {
            FreeDisk(disk, Format("Freeing HD (3ware) as it reports no SMART (port=%d)", {n}));
        }
    }
    AddSearchLogLine("Added all drives for 3ware controller");
}

void TestCSMIDrivesSMARTSupport(bool readLogs) {
    csmiTested = true;
    for (std::size_t i = 0; i < CSMIDrives.size(); ++i) {
        const auto& entry = CSMIDrives[i];
        AddSearchLogFormat("TestCSMIDrivesSMARTSupport - drive#%d - device=%s - SASAddress=%s",
                           {i, entry.DeviceName, CsmiSASAddressText(entry.SASAddress)});
        AddSearchLogLine("Trying CSMI access...");
        if (DiskAccessLog) DiskAccessLog->clear();
        std::unique_ptr<TSmartHardDisk> disk =
            std::make_unique<TSmartHardDiskCSMI>(entry.DeviceName, AccessCSMI, entry.SASAddress);
        if (!TestDiskSmart(disk.get(), readLogs))
            FreeDisk(disk, "Freeing HD (CSMI) as it reports no SMART");
        else
            keepDisk(disk);
    }
}

namespace {

constexpr const char* CimNamespace = "root\\cimv2";

std::uint64_t nowMs() { return platform::current().clock().monotonicMs(); }

// Milliseconds since the last mark, which moves to now.
unsigned long long lap(std::uint64_t& mark) {
    const std::uint64_t now = nowMs();
    const auto elapsed = now - mark;
    mark = now;
    return elapsed;
}

bool named(const std::string& name, std::initializer_list<const char*> names) {
    const std::string lower = platform::asciiLower(name);
    for (const char* n : names)
        if (lower == platform::asciiLower(n)) return true;
    return false;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && platform::asciiLower(text.substr(0, prefix.size())) == platform::asciiLower(prefix);
}

// The hexadecimal number of the whole text, or -1.
std::int32_t hexOrMinusOne(const std::string& text) {
    if (text.empty() || text.size() > 8) return -1;
    std::uint32_t value = 0;
    for (char c : text) {
        const int digit = std::isxdigit(static_cast<unsigned char>(c))
                              ? (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::toupper(c) - 'A' + 10))
                              : -1;
        if (digit < 0) return -1;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value > 0x7FFFFFFF ? -1 : static_cast<std::int32_t>(value);
}

// "USB\VID_xxxx&PID_yyyy\..." into the vendor and product ids.
void parseUsbIds(const std::string& owner, std::int32_t& vid, std::int32_t& pid) {
    const std::string rest = owner.substr(8);
    const auto amp = platform::asciiLower(rest).find("&pid_");
    if (amp == std::string::npos) return;
    vid = hexOrMinusOne(rest.substr(0, amp));
    const std::string after = rest.substr(amp + 5);
    pid = hexOrMinusOne(after.substr(0, after.find('\\')));
}

std::string doubledBackslashes(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\\') out += c;
    }
    return out;
}

const platform::WmiValue* property(const platform::WmiObject& object, const char* name) {
    for (const auto& p : object)
        if (named(p.name, {name})) return &p.value;
    return nullptr;
}

std::string textProperty(const platform::WmiObject& object, const char* name) {
    const auto* value = property(object, name);
    return value && value->kind != platform::WmiValue::Kind::Null ? VariantToText(*value) : std::string{};
}

std::int32_t integerProperty(const platform::WmiObject& object, const char* name) {
    const auto* value = property(object, name);
    if (!value) return -1;
    if (value->kind == platform::WmiValue::Kind::Integer)
        return value->integer >= 0 && value->integer <= 0x7FFFFFFF ? static_cast<std::int32_t>(value->integer) : -1;
    if (value->kind != platform::WmiValue::Kind::Text || value->text.empty() || value->text.size() > 9) return -1;
    if (!std::all_of(value->text.begin(), value->text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return -1;
    return std::stoi(value->text);
}

struct TBusWalk {
    const char* controllerQuery;
    const char* controllerLabel;
    const char* controllerClass;
    const char* assocClass;
    const char* assocLabel;
    std::uint8_t busKind;
    bool logEverything;
};

void logProperty(const platform::WmiProperty& p, const char* picture) {
    if (p.value.kind != platform::WmiValue::Kind::Null)
        AddSearchLogFormat(picture, {p.name, VariantToText(p.value)});
}

void walkDevices(const std::vector<platform::WmiObject>& devices, const TBusWalk& walk) {
    std::string deviceId;
    for (const auto& device : devices) {
        std::string name;
        std::int32_t vid = -1, pid = -1;
        std::string owner;
        for (const auto& p : device) {
            if (walk.logEverything)
                logProperty(p, "%s=%s");
            else if (named(p.name, {"deviceid", "model", "name"}))
                logProperty(p, "  %s=%s");
            const std::string value =
                p.value.kind == platform::WmiValue::Kind::Null ? std::string{} : VariantToText(p.value);
            if (named(p.name, {"Name"})) name = value;
            if (named(p.name, {"DeviceID"})) {
                deviceId = value;
                if (startsWithNoCase(deviceId, "USBSTOR\\DISK")) {
                    AddSearchLogLine("    --> USB disk found");
                    AddSearchLogLine("        Owner Device Id is " + owner);
                    if (startsWithNoCase(owner, "USB\\VID_")) {
                        parseUsbIds(owner, vid, pid);
                        if (vid != -1 && pid != -1)
                            AddSearchLogFormat("        VID=$%.4x  PID=$%.4x", {vid, pid});
                    }
                }
            }
            owner = deviceId;
        }
        if (!name.empty() && vid != -1 && pid != -1) ExtDrives.push_back({name, vid, pid, walk.busKind});
    }
}

void findBusDrives(platform::Wmi& wmi, const TBusWalk& walk) {
    try {
        for (const auto& controller : ExecTimedQuery(wmi, walk.controllerLabel, walk.controllerQuery)) {
            for (const auto& p : controller)
                if (walk.logEverything || named(p.name, {"caption", "description", "deviceid", "name"}))
                    logProperty(p, "%s=%s");
            const std::string query = Format("associators of {%s.DeviceID=\"%s\"} where AssocClass=%s",
                                             {walk.controllerClass, doubledBackslashes(textProperty(controller, "DeviceId")),
                                              walk.assocClass});
            walkDevices(ExecTimedQuery(wmi, walk.assocLabel, query), walk);
        }
    } catch (const std::exception& e) {
        AddSearchLogFormat("EXCEPTION : %s", {e.what()});
    }
}

std::unique_ptr<TSmartHardDisk> makeKind(TVendorType kind, const std::string& path, std::uint8_t busKind,
                                         std::uint16_t vid, std::uint16_t pid) {
    for (const auto& row : BridgeKinds)
        if (row.kind == kind) return row.make(path, busKind, vid, pid);
    return nullptr;
}

bool enabled(TVendorType kind) { return kind != vtUnknown && (VendorTypes & VendorTypeBit(kind)); }

}  // namespace

std::string VariantToText(const platform::WmiValue& value) {
    using Kind = platform::WmiValue::Kind;
    switch (value.kind) {
    case Kind::Null: return {};
    case Kind::Boolean: return value.boolean ? "True" : "False";
    case Kind::Integer: return std::to_string(value.integer);
    case Kind::Text: return value.text;
    case Kind::Real: return std::to_string(value.real);
    case Kind::Array: break;
    }
    std::string text = "[";
    for (std::size_t i = 0; i < value.items.size(); ++i) text += (i ? "," : "") + VariantToText(value.items[i]);
    return text + "]";
}

std::vector<platform::WmiObject> ExecTimedQuery(platform::Wmi& wmi, const std::string& label,
                                                const std::string& query) {
    std::uint64_t mark = nowMs();
    auto result = wmi.query(CimNamespace, query);
    AddSearchLogFormat("%s took %d ms to execute", {label, lap(mark)});
    return result;
}

void FindUsbDrives(platform::Wmi& wmi) {
    findBusDrives(wmi, {"SELECT name,DeviceId FROM Win32_USBController", "Find USB Controllers", "Win32_USBController",
                        "Win32_USBControllerDevice", "Find USB Controllers' Associators", AccessUSB, false});
}

void Find1394Drives(platform::Wmi& wmi) {
    findBusDrives(wmi, {"SELECT name,DeviceId FROM Win32_1394Controller", "Find 1394 Controllers",
                        "Win32_1394Controller", "Win32_1394ControllerDevice", "Find 1394 Controllers' Associators",
                        AccessFireWire, true});
}

namespace {

void tryMatchedBridge(std::unique_ptr<TSmartHardDisk>& disk, const std::string& path, const std::string& model,
                      const TExtDriveInfo& drive, bool readLogs) {
    if (const auto* row = FindBlacklisted(drive.VID, drive.PID)) {
        std::string name = std::string(row->vendor) + " " + std::string(row->model);
        AddSearchLogFormat("Skipping blacklisted <%s> VID=$%.4x PID=$%.4x",
                           {name, unsigned{row->vid}, unsigned{row->pid}});
        return;
    }
    AddSearchLogFormat("%s (%s) - VID=$%.4x  PID=$%.4x", {path, model, drive.VID, drive.PID});
    TVendorType kind = VendorTypeOfVendorId(drive.VID);
    if (kind == vtUnknown) kind = LookupEnclosure(drive.VID, drive.PID);
    if (!enabled(kind)) return;
    AddSearchLogLine("Trying Matched USB access...");
    disk = makeKind(kind, path, drive.BusKind, static_cast<std::uint16_t>(drive.VID),
                    static_cast<std::uint16_t>(drive.PID));
    if (!TestDiskSmart(disk.get(), readLogs)) FreeDisk(disk, "Freeing HD (Matched USB) as it reports no SMART");
}

// Answers whether the 3ware controller scan replaced the physical disk.
bool tryPhysical(std::unique_ptr<TSmartHardDisk>& disk, const std::string& path, bool readLogs) {
    AddSearchLogLine("Trying Physical access...");
    disk = std::make_unique<TSmartHardDiskPhysical>(path, AccessPhysical);
    if (!CheckFor3ware(*disk)) {
        if (!TestDiskSmart(disk.get(), readLogs)) FreeDisk(disk, "Freeing HD (Physical) as it reports no SMART");
        return false;
    }
    FreeDisk(disk, "Freeing HD (Physical) to switch to 3ware");
    if (DiskAccessLog) DiskAccessLog->clear();
    auto controller = std::make_unique<TSmartHardDisk3Ware>(path, Access3ware, 0);
    const bool confirmed = controller->IsThreeWare;
    const std::uint32_t portMap = controller->PortMap;
    std::unique_ptr<TSmartHardDisk> probe(std::move(controller));
    if (!confirmed) {
        AddSearchLogLine("Inconsistency found in detection algo (3ware not 3ware??\?)");
        FreeDisk(probe, "Freeing HD (3ware) because of inconsistency");
        return false;
    }
    AddSearchLogLine("Confirmed this is a 3ware controller. Good.");
    FreeDisk(probe, "Freeing HD (3ware) to allow full controller drive scan");
    Add3wareDrives(path, portMap, readLogs);
    return true;
}

void tryGuessedBridge(std::unique_ptr<TSmartHardDisk>& disk, const std::string& path, int d, bool readLogs) {
    if (VendorTypes == 0 || !UsbVendorGuessing) {
        AddSearchLogLine("USB Vendor guessing is disabled");
        return;
    }
    if (d == -1) return;
    const TExtDriveInfo drive = ExtDrives[static_cast<std::size_t>(d)];
    if (FindBlacklisted(drive.VID, drive.PID)) return;
    AddSearchLogLine("Looking for Guessed USB access...");
    for (const auto& row : BridgeKinds) {
        if (!enabled(row.kind)) continue;
        disk = row.make(path, AccessUSB, row.guessVendorId, 0);
        if (TestDiskSmart(disk.get(), readLogs)) {
            AddSearchLogFormat("Guessed USB access OK: VID=%.4x  PID:%.4x  Vendor=%s",
                               {drive.VID, drive.PID, VendorTypeName(row.kind)});
            return;
        }
        FreeDisk(disk, "Freeing HD (Guessed USB) as it reports no SMART");
    }
    AddSearchLogFormat("Guessed USB access KO: VID=%.4x  PID:%.4x", {drive.VID, drive.PID});
}

void findDiskDrive(const platform::WmiObject& object, bool readLogs) {
    AddSearchLogLine(" ");
    for (const auto& p : object)
        if (named(p.name, {"BytesPerSector", "caption", "deviceid", "InterfaceType", "MediaLoaded", "model", "name",
                           "Partitions", "ScsiBus", "ScsiLogicalUnit", "ScsiPort", "ScsiTargetId"}))
            logProperty(p, "%s=%s");
    const std::string path = textProperty(object, "DeviceID");
    if (path.empty()) return;
    const std::string model = textProperty(object, "Model");
    const std::int32_t scsiPort = integerProperty(object, "ScsiPort");
    const std::int32_t scsiTarget = integerProperty(object, "ScsiTargetId");
    std::unique_ptr<TSmartHardDisk> disk;
    const int d = FindInExtDrives(model);
    if (d != -1) tryMatchedBridge(disk, path, model, ExtDrives[static_cast<std::size_t>(d)], readLogs);
    bool threeWare = false;
    if (!disk) threeWare = tryPhysical(disk, path, readLogs);
    if (!disk && !threeWare) tryGuessedBridge(disk, path, d, readLogs);
    if (!disk && !threeWare && scsiPort >= 0 && scsiTarget >= 0) {
        AddSearchLogLine("Trying SCSI access...");
        disk = std::make_unique<TSmartHardDiskSCSI>(path, AccessSCSI, static_cast<std::uint32_t>(scsiPort),
                                                    static_cast<std::uint32_t>(scsiTarget));
        if (!TestDiskSmart(disk.get(), readLogs)) FreeDisk(disk, "Freeing HD (SCSI) as it reports no SMART");
    }
    if (disk && !threeWare) keepDisk(disk);
}

}  // namespace

void FindDiskDrives(platform::Wmi& wmi, bool readLogs) {
    for (const auto& object : ExecTimedQuery(wmi, "Find Disk Drives", "SELECT * from Win32_DiskDrive"))
        findDiskDrive(object, readLogs);
    TestCSMIDrivesSMARTSupport(readLogs);
}

bool FindHardDisks(bool readLogs) {
    searchLog.emplace();
    ExtDrives.clear();
    FoundDisks.clear();
    std::uint64_t mark = nowMs();
    csmiTested = false;
    try {
        AddSearchLogLine("Start of CSMI drives scan");
        CsmiProbeLog.clear();
        ProbeCSMIDrives();
        for (const auto& line : CsmiProbeLog) AddSearchLogLine(line);
        AddSearchLogLine("End of CSMI drives scan");
        AddSearchLogFormat("CSMI Drive Search took %d ms to execute", {lap(mark)});
        platform::Wmi* wmi = platform::current().wmi();
        if (!wmi) throw platform::EWmiError("WMI is not available");
        AddSearchLogFormat("WBEM Locator creation took %d ms to execute", {lap(mark)});
        AddSearchLogFormat("Server Connect took %d ms to execute", {lap(mark)});
        FindUsbDrives(*wmi);
        AddSearchLogFormat("USB Drive Search took %d ms to execute", {lap(mark)});
        Find1394Drives(*wmi);
        AddSearchLogFormat("1394 Drive Search took %d ms to execute", {lap(mark)});
        FindDiskDrives(*wmi, readLogs);
        AddSearchLogFormat("Disk Objects Creation took %d ms to execute", {lap(mark)});
    } catch (const std::exception& e) {
        AddSearchLogFormat("EXCEPTION (create Locator) : %s", {e.what()});
    }
    // CSMI disks are kept whatever happened in the WMI steps.
    if (!csmiTested) {
        try {
            TestCSMIDrivesSMARTSupport(readLogs);
        } catch (const std::exception& e) {
            AddSearchLogFormat("EXCEPTION (create Locator) : %s", {e.what()});
        }
    }
    return false;
}
