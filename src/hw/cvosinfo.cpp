#include "hw/cvosinfo.h"

#include <algorithm>
#include <vector>

#include "base/cvdatetime.h"
#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/hwstrings.h"
#include "platform/platform.h"

std::unique_ptr<TNosOperatingSystem> OperatingSystem;

namespace {

struct KindPair {
    std::uint8_t workstationKind;
    const char* workstationName;
    std::uint8_t serverKind;
    const char* serverName;
};

// NT 6.0 to 6.3 by minor version.
constexpr KindPair NT6Kinds[] = {
    {13, "Windows Vista", 15, "Windows Server 2008"},
    {16, "Windows 7", 18, "Windows Server 2008 R2"},
    {19, "Windows 8", 21, "Windows Server 2012"},
    {22, "Windows 8.1", 24, "Windows Server 2012 R2"},
};

constexpr const char* UnknownOS = "Unknown OS";

bool inRange(std::uint8_t kind, std::uint8_t low, std::uint8_t high) { return kind >= low && kind <= high; }

}  // namespace

TNosOperatingSystem::TNosOperatingSystem() {
    const platform::OsVersion os = platform::current().osVersion();
    if (os.answer == platform::OsVersion::Answer::Fails) return;

    Major = os.major;
    Minor = os.minor;
    Build = os.build;
    PlatformId = os.platformId;
    CSDVersion = os.csdVersion;
    if (os.answer == platform::OsVersion::Answer::Extended) {
        ServicePackMajor = os.servicePackMajor;
        ServicePackMinor = os.servicePackMinor;
        SuiteMask = os.suiteMask;
        ProductType = os.productType;
    }
    static const char* const platformNames[] = {"Windows 3.1x", "Windows 9x", "Windows NT"};
    if (PlatformId < 3) PlatformName = platformNames[PlatformId];
    IsWorkstation = ProductType == 1;
    IsDomainController = ProductType == 2;
    IsServer = ProductType == 2 || ProductType == 3;

    classify(os.serverR2);
    setFlags();
}

void TNosOperatingSystem::setKind(std::uint8_t kind, const char* name) {
    Kind = kind;
    KindName = name;
}

void TNosOperatingSystem::classify(bool serverR2) {
    if (PlatformId != 2) {
        const std::string servicePack = hw::Trim(CSDVersion);
        setKind(1, UnknownOS);
        if (Major == 4 && Minor == 0)
            servicePack == "B" ? setKind(2, "Windows 95 OSR2") : setKind(1, "Windows 95");
        else if (Major == 4 && Minor == 10)
            servicePack == "A" ? setKind(4, "Windows 98 SE") : setKind(3, "Windows 98");
        else if (Major == 4 && Minor == 90)
            setKind(8, "Windows ME");
        return;
    }
    switch (Major) {
        case 3: setKind(5, "Windows NT 3"); break;
        case 4: setKind(6, "Windows NT 4"); break;
        case 5: classifyNT5(serverR2); break;
        case 6: classifyNT6(); break;
        case 10: setKind(25, Minor == 0 ? "Windows 10" : UnknownOS); break;
        // Versions newer than the table count as the newest kinds it knows.
        case 7:
        case 8:
        case 9: setKind(22, UnknownOS); break;
        default: setKind(Major > 10 ? 25 : 5, UnknownOS);
    }
}

void TNosOperatingSystem::classifyNT5(bool serverR2) {
    setKind(7, UnknownOS);
    if (Minor == 0) {
        setKind(7, "Windows 2000");
    } else if (Minor == 1) {
        setKind(9, "Windows XP");
    } else if (Minor == 2) {
        if (IsWorkstation)
            setKind(9, "Windows XP Professional x64");
        else if (SuiteMask & 0x8000)
            setKind(12, "Windows Home Server");
        else if (serverR2)
            setKind(12, "Windows Server 2003 R2");
        else
            setKind(11, "Windows Server 2003");
    }
}

void TNosOperatingSystem::classifyNT6() {
    setKind(13, UnknownOS);
    if (Minor < std::size(NT6Kinds)) {
        const KindPair& pair = NT6Kinds[Minor];
        IsWorkstation ? setKind(pair.workstationKind, pair.workstationName) : setKind(pair.serverKind, pair.serverName);
    } else if (Minor == 4) {
        setKind(25, "Windows 10");
    }
}

void TNosOperatingSystem::setFlags() {
    IsNT = inRange(Kind, 5, 7) || inRange(Kind, 9, 26);
    IsXPOrLater = inRange(Kind, 9, 26);
    IsVistaOrLater = inRange(Kind, 13, 26);
    Is7OrLater = inRange(Kind, 16, 26);
    Is8OrLater = inRange(Kind, 19, 26);
    Is81OrLater = inRange(Kind, 22, 26);
    Is10OrLater = inRange(Kind, 25, 26);
}

void InitializeCvosinfo() {
    WriteDebugLog("Initializing CVOSINFO");
    OperatingSystem = std::make_unique<TNosOperatingSystem>();
    WriteDebugLog(cvformat::Format(
        "CVOSINFO detected OS is <%s> (%d.%d.%d)",
        {OperatingSystem->KindName, OperatingSystem->Major, OperatingSystem->Minor, OperatingSystem->Build}));
}

// ---- TNosMachine -------------------------------------------------------

namespace {

constexpr std::uint8_t VkCapital = 0x14;
constexpr std::uint8_t VkNumLock = 0x90;
constexpr std::uint8_t VkScroll = 0x91;

// A zero-terminated string of at most 255 characters at a linear address.
std::string stringAt(platform::DirectAccess& memory, std::uint32_t address) {
    std::string text;
    std::uint8_t c = 0;
    while (text.size() < 255 && memory.readMemory(address + static_cast<std::uint32_t>(text.size()), {&c, 1}) == 1 &&
           c != 0)
        text += static_cast<char>(c);
    return text;
}

}  // namespace

void TNosMachine::Refresh() {
    auto& machine = platform::current();
    const std::uint64_t uptimeMs = machine.uptimeMs();
    UptimeSeconds = static_cast<long double>(uptimeMs) / 1000;
    BootTime = Now() - static_cast<double>(uptimeMs) / 1000 / 86400;

    ComputerName = machine.computerName();
    if (auto name = machine.systemRegistry().readString(
            "\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName"))
        ComputerName = *name;
    UserName = machine.userName();

    const TNosOperatingSystem os;
    BiosExtendedInfo.clear();
    if (os.IsNT)
        readBiosFromRegistry(os.IsXPOrLater);
    else
        readBiosFromMemory();

    ScrollLock = machine.keyState(VkScroll) == 1;
    NumLock = machine.keyState(VkNumLock) == 1;
    CapsLock = machine.keyState(VkCapital) == 1;

    readComputerDescription(os.IsNT);
}

void TNosMachine::readBiosFromRegistry(bool xpOrLater) {
    auto& registry = platform::current().systemRegistry();
    const std::string key = "\\HARDWARE\\DESCRIPTION\\System";
    BiosName = registry.readString(key, "Identifier").value_or(std::string{});
    BiosDate = registry.readString(key, "SystemBiosDate").value_or(std::string{});

    // The value goes into a 255-byte buffer; the walk never leaves it.
    std::vector<std::uint8_t> buffer(255, 0);
    if (const auto bytes = registry.readBinary(key, "SystemBiosVersion"))
        std::copy_n(bytes->begin(), std::min(bytes->size(), buffer.size()), buffer.begin());
    BiosVersion.clear();
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        if (buffer[i] != 0) {
            BiosVersion += static_cast<char>(buffer[i]);
            continue;
        }
        // On XP and later the strings of the multi-string run together: a
        // zero ends the value only when another zero follows.
        if (!xpOrLater || i + 1 >= buffer.size() || buffer[i + 1] == 0) break;
    }
}

void TNosMachine::readBiosFromMemory() {
    platform::DirectAccess* memory = platform::current().directAccess();
    if (!memory) return;
    BiosName = stringAt(*memory, 0xFE061);
    BiosDate = stringAt(*memory, 0xFFFF5);
    BiosVersion = stringAt(*memory, 0xFE091);
    BiosExtendedInfo = stringAt(*memory, 0xFEC71);
}

void TNosMachine::readComputerDescription(bool isNT) {
    ComputerDescription.clear();
    auto& registry = platform::current().systemRegistry();
    const std::string root =
        isNT ? "SYSTEM\\CurrentControlSet\\Control\\Class" : "SYSTEM\\CurrentControlSet\\Services\\Class";
    for (const auto& classKey : registry.subKeys(root)) {
        const std::string key = root + "\\" + classKey;
        if (hw::LowerCase(registry.readString(key, "Class").value_or(std::string{})) != "computer") continue;
        std::string devicesKey = key;
        if (!isNT) {
            devicesKey = root + "\\" + hw::UpperCase(registry.readString(key, "Link").value_or(std::string{}));
            if (!registry.keyExists(devicesKey)) return;
        }
        for (const auto& device : registry.subKeys(devicesKey)) {
            const std::string description =
                registry.readString(devicesKey + "\\" + device, "DriverDesc").value_or(std::string{});
            if (!description.empty()) {
                ComputerDescription = description;
                return;
            }
        }
        return;
    }
}

std::string GetWindowsPaths() {
    auto& machine = platform::current();
    return machine.windowsDir() + ";" + machine.systemDir() + ";";
}
