#include "firmware/cvsmbios.h"

#include <algorithm>
#include <string>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvtext.h"
#include "firmware/physicalsearch.h"
#include "hw/cvdriver.h"

using cvformat::Format;

std::unique_ptr<TSMBiosExplorer> SMBiosExplorer;

namespace {

constexpr std::uint32_t SmbiosChunkSize = 10240;

constexpr const char* TypeNames[] = {
    "BIOS information", "System information", "Base board (or module) information", "System enclosure or chassis",
    "Processor information", "Memory controller information", "Memory module information", "Cache information",
    "Port connector information", "System slots", "On board devices information", "OEM strings",
    "System configuration options", "BIOS language information", "Group associations", "System event log",
    "Physical memory array", "Memory device", "32-bit memory error information", "Memory array mapped address",
    "Memory device mapped address", "Built-in pointing device", "Portable battery", "System reset",
    "Hardware security", "System power controls", "Voltage probe", "Cooling device", "Temperature probe",
    "Electrical current probe", "Out-of-band remote access", "Boot integrity services (BIS) entry point",
    "System boot information", "64-bit memory error information", "Management device",
    "Management device component", "Management device threshold data", "Memory channel",
    "IPMI device information", "System power supply", "Additional information",
    "Onboard devices extended information"};

std::uint16_t word(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t dword(const std::uint8_t* p) { return word(p) | static_cast<std::uint32_t>(word(p + 2)) << 16; }

}  // namespace

std::string SMBIOSTypeName(std::uint8_t type) {
    if (type < std::size(TypeNames)) return TypeNames[type];
    switch (type) {
    case 126: return "Inactive";
    case 127: return "End of table";
    case 129: return "Intel_ASF";
    default: return Format("Unknown (%d)", {static_cast<int>(type)});
    }
}

TSMBIOSStructures WalkSMBIOSTable(std::string_view table) {
    TSMBIOSStructures list;
    const std::size_t size = table.size();
    auto byteAt = [&](std::size_t at) { return at < size ? static_cast<std::uint8_t>(table[at]) : std::uint8_t{0}; };
    std::size_t pos = 0;
    bool ended = false;
    while (!ended && size > 0 && pos < size - 1) {
        TSMBIOSStructData s;
        s.StructType = byteAt(pos);
        s.LengthByte = byteAt(pos + 1);
        s.Handle = static_cast<std::uint16_t>(byteAt(pos + 2) | byteAt(pos + 3) << 8);
        s.DataLength = static_cast<std::uint8_t>(s.LengthByte - 4);
        s.TypeName = SMBIOSTypeName(s.StructType);
        s.HeaderCut = pos + 4 > size;
        if (!s.HeaderCut) s.Data = std::string(table.substr(pos + 4, std::min<std::size_t>(s.DataLength, size - pos - 4)));
        ended = s.StructType == 127;
        if (s.HeaderCut) {
            list.push_back(std::move(s));
            break;
        }
        pos += s.LengthByte;
        std::string current;
        bool lastWasZero = false;
        while (pos < size - 1) {
            const char c = table[pos++];
            if (c != 0) {
                current += c;
                lastWasZero = false;
                continue;
            }
            if (!current.empty()) s.Strings.push_back(std::move(current));
            current.clear();
            if (lastWasZero) break;
            lastWasZero = true;
        }
        list.push_back(std::move(s));
    }
    return list;
}

std::string TSMBiosExplorer::GetBIOSVendor() { return GetIdentity().BIOSVendor; }
std::string TSMBiosExplorer::GetBIOSVersion() { return GetIdentity().BIOSVersion; }
std::string TSMBiosExplorer::GetBoardManufacturer() { return GetIdentity().BoardManufacturer; }
std::string TSMBiosExplorer::GetBoardProduct() { return GetIdentity().BoardProduct; }
std::string TSMBiosExplorer::GetBoardVersion() { return GetIdentity().BoardVersion; }
std::string TSMBiosExplorer::GetSystemManufacturer() { return GetIdentity().SystemManufacturer; }
std::string TSMBiosExplorer::GetSystemProduct() { return GetIdentity().SystemProduct; }
std::string TSMBiosExplorer::GetSystemVersion() { return GetIdentity().SystemVersion; }
std::string TSMBiosExplorer::GetCfgFileName() { return ::GetCfgFileName(GetIdentity()); }
std::string TSMBiosExplorer::GetCfgFileName2() { return ::GetCfgFileName2(GetIdentity()); }

std::string TSMBiosExplorer::GetSystemSerial() {
    DoInitialize();
    return SystemSerial;
}

const TSMBIOSStructures& TSMBiosExplorer::GetStructures() {
    DoInitialize();
    return Structures;
}

TSMBIOSEntryPoint TSMBiosExplorer::GetEntryPoint() {
    DoInitialize();
    return EntryPoint;
}

const TBoardIdentity& TSMBiosExplorer::GetIdentity() {
    DoInitialize();
    return Identity;
}

std::string TSMBiosExplorer::GetSubString(int index, int number) const {
    const int string = number - 1;
    if (string < 0 || index < 0 || static_cast<std::size_t>(index) >= Structures.size()) return {};
    const auto& strings = Structures[static_cast<std::size_t>(index)].Strings;
    return static_cast<std::size_t>(string) < strings.size() ? Trim(strings[static_cast<std::size_t>(string)]) : std::string{};
}

void TSMBiosExplorer::DoInitialize() {
    if (Initialised_) return;
    std::unique_ptr<TIOPort> port;
    try {
        port = std::make_unique<TIOPort>();
    } catch (const std::exception&) {
        WriteDebugLog("ERROR creating local PortIO in TSMBiosExplorer.DoInitialize");
        return;
    }
    SearchEntryPoint(*port);
    Initialised_ = true;
}

void TSMBiosExplorer::SearchEntryPoint(TIOPort& port) {
    // One table gives the identity.
    SearchLegacySegment(port, SmbiosChunkSize, "_SM_",
                        [&](std::uint32_t address) { return ProcessEntryPoint(port, address); });
}

bool TSMBiosExplorer::ProcessEntryPoint(TIOPort& port, std::uint32_t address) {
    TSMBIOSEntryPoint ep{};
    if (!ReadPhysicalWhole(port, address, ep.data(), ep.size())) return false;
    EntryPoint = ep;
    const std::uint16_t tableLength = word(&ep[22]);
    const std::uint32_t tableAddress = dword(&ep[24]);
    WriteDebugLog(Format("DMI Header found at address $%.8x", {address}));
    WriteDebugLog("START OF DMI HEADER");
    WriteDebugLog("Anchor String=" + std::string(ep.begin(), ep.begin() + 4));
    WriteDebugLog(Format("Entry Point Length=%d", {ep[5]}));
    WriteDebugLog(Format("SMBIOS Major Version=%d", {ep[6]}));
    WriteDebugLog(Format("SMBIOS Minor Version=%d", {ep[7]}));
    WriteDebugLog(Format("Maximum Structure Size=%d", {word(&ep[8])}));
    WriteDebugLog(Format("Entry Point Revision=%d", {ep[10]}));
    WriteDebugLog("Intermediate Anchor String=" + std::string(ep.begin() + 16, ep.begin() + 21));
    WriteDebugLog(Format("Intermediate Checksum=%d", {ep[21]}));
    WriteDebugLog(Format("Structure Table Length=%d", {tableLength}));
    WriteDebugLog(Format("Structure Table Address=$%.8x", {tableAddress}));
    WriteDebugLog(Format("Number of SMBIOS Structures=%d", {word(&ep[28])}));
    WriteDebugLog(Format("SMBIOS BCD Revision=$%.2x", {ep[30]}));
    WriteDebugLog("END OF DMI HEADER");
    if (tableLength == 0) {
        WriteDebugLog("WARN : Skipping DMI tables (TableLen=0)");
        return true;
    }
    ReadTable(port, tableAddress, tableLength);
    return true;
}

void TSMBiosExplorer::ReadTable(TIOPort& port, std::uint32_t address, std::uint16_t length) {
    WriteDebugLog("About to read DMI tables...");
    std::vector<std::uint8_t> table(length);
    if (!ReadPhysicalWhole(port, address, table.data(), length)) {
        WriteDebugLog(Format("Error reading DMI tables: $%.4x bytes at address $%.8x (%s)",
                             {length, address, "physical memory read failed"}));
        WriteDebugLog("Trying to figure out how many bytes can be read from DMI without getting an error...");
        std::uint32_t readable = length - 1u;
        while (readable > 0 && !ReadPhysicalWhole(port, address, table.data(), readable)) --readable;
        WriteDebugLog(Format("  -> Could read at most %d bytes without getting an error", {readable}));
        return;
    }
    WriteDebugLog("DMI tables properly read");
    Walk(std::string_view(reinterpret_cast<const char*>(table.data()), table.size()));
    WriteDebugLog("DMI tables properly parsed");
    WriteDebugLog(" -> MB Manufacturer <" + Identity.BoardManufacturer + ">");
    WriteDebugLog(" -> MB Model <" + Identity.BoardProduct + ">");
    WriteDebugLog(" -> MB Version <" + Identity.BoardVersion + ">");
    WriteDebugLog(" -> MB Serial <" + BoardSerial + ">");
    WriteDebugLog(" -> SYS Manufacturer <" + Identity.SystemManufacturer + ">");
    WriteDebugLog(" -> SYS ProductName <" + Identity.SystemProduct + ">");
    WriteDebugLog(" -> SYS Version <" + Identity.SystemVersion + ">");
    WriteDebugLog(" -> SYS SerialNumber <" + SystemSerial + ">");
}

void TSMBiosExplorer::Walk(std::string_view table) {
    Structures = WalkSMBIOSTable(table);
    for (std::size_t i = 0; i < Structures.size(); ++i) {
        const auto& s = Structures[i];
        // The string number stored at structure offset 4 + n.
        auto text = [&](std::size_t n) { return GetSubString(static_cast<int>(i), static_cast<std::uint8_t>(s.Data[n])); };
        if (s.StructType == 0 && s.Data.size() >= 5) {
            Identity.BIOSVendor = text(0);
            Identity.BIOSVersion = text(1);
        } else if (s.StructType == 1 && s.Data.size() >= 4) {
            Identity.SystemManufacturer = text(0);
            Identity.SystemProduct = text(1);
            Identity.SystemVersion = text(2);
            SystemSerial = text(3);
        } else if (s.StructType == 2 && s.Data.size() >= 4) {
            Identity.BoardManufacturer = text(0);
            Identity.BoardProduct = text(1);
            Identity.BoardVersion = text(2);
            BoardSerial = text(3);
        }
    }
}

void InitializeCvsmbios() {
    WriteDebugLog("About to create SMBIOSExplorer object");
    try {
        SMBiosExplorer = std::make_unique<TSMBiosExplorer>();
        WriteDebugLog("SMBIOSExplorer object created");
    } catch (const std::exception& e) {
        WriteDebugLog(std::string("SMBIOSExplorer object NOT created (") + e.what() + ")");
    }
}

void ResetCvsmbios() { SMBiosExplorer.reset(); }
