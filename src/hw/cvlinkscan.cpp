#include "hw/cvlinkscan.h"

#include <exception>
#include <set>
#include <tuple>
#include <vector>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/cvlink.h"
#include "hw/cvnvidiasources.h"
#include "hw/cvpci.h"
#include "hw/cvsbhandlers.h"

using cvformat::Format;

namespace {

constexpr std::uint32_t NoFunction = 0xFFFFFFFFu;
constexpr std::uint8_t NVidiaI2CCode = 91;

bool Absent(std::uint32_t id) { return id == NoFunction || id == 0; }

void Info(const TLinkScanContext& ctx, const std::string& msg) {
    if (ctx.LogMessage) ctx.LogMessage(msg);
}
void LogEx(const TLinkScanContext& ctx, const std::string& msg, bool toBoth = false) {
    if (ctx.LogMessageEx) ctx.LogMessageEx(msg, toBoth);
}

// The graphics I2C buses, by the architecture ranges that have them.
struct TNVidiaBusRow {
    const char* Name;
    std::uint32_t Lines;
    bool (*Has)(int arch);
};
const TNVidiaBusRow NVidiaBuses[] = {
    {"nVidiaI2C0", 0x3D403E3F, [](int a) { return (a >= 1 && a <= 3) || (a >= 5 && a <= 28); }},
    {"nVidiaI2C1", 0x3D403637, [](int a) { return (a >= 2 && a <= 3) || (a >= 5 && a <= 28); }},
    {"nVidiaI2C2", 0x3D405051, [](int a) { return (a >= 8 && a <= 9) || (a >= 11 && a <= 28); }},
};

constexpr const char* NVidiaHintText =
    "You seem to have an NVIDIA graphic card.\rWith some of them, Caldavor is able to report temperatures, "
    "voltages and so on.\rThis feature needs extensive testing and might interfere with other drivers.\r\rYou can "
    "enable it by using the command line switch /DONVIDIAI2C when running Caldavor.";

void AddNVidiaI2CLink(TLinkScanContext& ctx, const TNVidiaBusRow& bus, int b, int d, int f, const TGeForceCard* card) {
    AddLink(bus.Name, NVidiaI2CCode, LinkKinds::SMBus, HostKinds::I2CNVidia, bus.Lines, 1, b, d, f);
    TLink& link = *Links().back();
    if (card) link.AttachNVAPIGpu(card->NvapiIndex(), 1);
    if (link.IsReady()) return;
    const std::uint32_t base = link.BaseAddress();
    const std::uint32_t result = link.LastError();
    Links().pop_back();
    LogEx(ctx, Format("NVidia I2C at $%.4x test failed ($%.2x)", {base, result}));
    LogEx(ctx, "SMBus removed!");
}

struct TSeenCard {
    std::string Vendor, Device;
    int Bus, Dev;
};

void LinkNVidiaCard(TLinkScanContext& ctx, TNvidiaCardServices& cards, int b, int d, int f, std::uint32_t id) {
    std::uint8_t arch = 0;
    std::string name;
    cards.LookupNVidiaCard(static_cast<std::uint16_t>(id >> 16), arch, name);
    const bool inNvapi = cards.FindInNVApiCards(b, d, f, false, id) >= 0;
    if (arch == 0 && !inNvapi) return;
    LogEx(ctx, "Found nVidia " + name, true);
    LogEx(ctx, Format(" --> bus : %d  dev : %d  func : %d  r=$%.8x", {b, d, f, id}));
    const bool direct = arch >= 20 && arch <= 31 && !ctx.IsWin9x;
    TGeForceCard* card = nullptr;
    if (direct || inNvapi) {
        card = &cards.AddGeForceCard(b, d, f, ctx.LogMessage);
        if (ctx.NVidiaTemp && card->HasTemperature() && ctx.AddSensor) {
            TDiscoveredSensor sensor;
            sensor.LinkIndex = PciLinkIndex();
            sensor.Address = cards.GeForceCardCount() - 1;
            sensor.ChipCode = 200;
            ctx.AddSensor(sensor);
        }
    }
    if (ctx.NVidiaI2C) {
        bool any = false;
        for (const auto& bus : NVidiaBuses) any = any || bus.Has(arch);
        for (const auto& bus : NVidiaBuses) {
            if (!any || bus.Has(arch)) AddNVidiaI2CLink(ctx, bus, b, d, f, card);
        }
    } else if (!ctx.NoMoreTip0004 && !ctx.StartupHide && ctx.ShowHintDialog) {
        if (ctx.ShowHintDialog("nVidia Graphic Card Found!", NVidiaHintText)) {
            ctx.NoMoreTip0004 = true;
            if (ctx.NeverShowNVidiaHint) ctx.NeverShowNVidiaHint();
        }
    }
    WriteDebugLog("Finished linking nVidia I2C BUSes");
}

}  // namespace

int PciLinkIndex() {
    const auto& links = Links();
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (links[i]->LinkKind() == LinkKinds::PCI) return static_cast<int>(i);
    }
    return -1;
}

void DetectLinks(TLinkScanContext& ctx) {
    AddLink("ISA BUS", 2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0, 0, 0, 0);
    if (!ctx.NoPCIScan) {
        AddLink("PCI BUS", 1, LinkKinds::PCI, HostKinds::None, 0, 0, 0, 0, 0);
        SCANPCI(ctx);
    }
    if (Links().size() <= (ctx.NoPCIScan ? 1u : 2u)) Info(ctx, "WARNING : NO SUPPORTED SOUTHBRIDGE DETECTED");
    if (ctx.NVidiaCards) ctx.NVidiaCards->EnumerateNVApi();
    if (ctx.NoPCIScan)
        WriteDebugLog("INFO : NVIDIA I2C DISABLED because PCI SCAN DISABLED by user");
    else
        LinkNVidiaGraphicsI2C(ctx);
}

void SCANPCI(TLinkScanContext& ctx) {
    LogEx(ctx, "Starting PCI scan...");
    TSBScan scan(ctx);
    const auto& table = SBDispatchTable();
    std::set<std::tuple<int, int, int>> handled;
    bool restart = true;
    bool restarted = false;
    while (restart) {
        restart = false;
        for (int bus = 0; bus < 16 && !restart; ++bus) {
            for (int dev = 0; dev < 32 && !restart; ++dev) {
                for (int func = 0; func < 8 && !restart; ++func) {
                    const std::uint32_t id = ReadPCIConfigDWord(bus, dev, func, 0);
                    if (Absent(id)) continue;
                    for (const auto& row : table) {
                        if (row.Vendor != (id & 0xFFFF) || row.Device != id >> 16) continue;
                        scan.Bus = bus, scan.Device = dev, scan.Function = func, scan.Id = id;
                        scan.SecondPass = !handled.insert({bus, dev, func}).second;
                        try {
                            row.Handler(scan, row.Argument, row.Text);
                        } catch (const std::exception&) {
                            LogEx(ctx, Format("Exception in SCANPCI BUS=$%x DEV=$%x FUNC=$%x R=$%x",
                                              {bus, dev, func, id}));
                        }
                        if (id == 0x244C8086u && !restarted) restart = restarted = true;
                        break;
                    }
                }
            }
        }
    }
    LogEx(ctx, "PCI scan done!");
}

void LinkNVidiaGraphicsI2C(TLinkScanContext& ctx) {
    if (ctx.NoPCIScan || !ctx.NVidiaCards) return;
    std::vector<TSeenCard> seen;
    for (int bus = 0; bus < 16; ++bus) {
        for (int dev = 0; dev < 32; ++dev) {
            for (int func = 0; func < 8; ++func) {
                const std::uint32_t id = ReadPCIConfigDWord(bus, dev, func, 0);
                if (Absent(id) || (id & 0xFFFF) != 0x10DE) continue;
                const TSeenCard card{Format("%.4x", {id & 0xFFFF}), Format("%.4x", {id >> 16}), bus, dev};
                bool known = false;
                for (const auto& s : seen)
                    known = known || (s.Vendor == card.Vendor && s.Device == card.Device && s.Bus == bus && s.Dev == dev);
                if (known) continue;
                seen.push_back(card);
                LinkNVidiaCard(ctx, *ctx.NVidiaCards, bus, dev, func, id);
            }
        }
    }
}

bool FindSiSHostBridge(const std::function<void(const std::string& msg, bool toBoth)>& logMessageEx) {
    static const std::pair<std::uint16_t, const char*> bridges[] = {
        {0x0540, "SiS540 Host-to-PCI Bridge"},
        {0x0550, "SiS550 Host-to-PCI Bridge"},
        {0x0630, "SiS630 Host-to-PCI Bridge"},
        {0x0635, "SiS635"},
        {0x0730, "SiS730"},
        {0x0735, "SiS735"},
        {0x0741, "SiS741"},
        {0x0760, "SiS760"},
        {0x5511, "SiS5511/5512 PCI/ISA Memory Controller"},
        {0x5597, "SiS5597 Host-to-PCI Bridge"},
        {0x5598, "SiS5598 Host-to-PCI Bridge"},
    };
    bool found = false;
    for (int bus = 0; bus < 16; ++bus) {
        for (int dev = 0; dev < 32; ++dev) {
            for (int func = 0; func < 8; ++func) {
                const std::uint32_t id = ReadPCIConfigDWord(bus, dev, func, 0);
                if ((id & 0xFFFF) != 0x1039) continue;
                for (const auto& [device, name] : bridges) {
                    if (device != id >> 16) continue;
                    if (logMessageEx) logMessageEx(std::string(name) + " ", false);
                    found = true;
                }
            }
        }
    }
    return found;
}

// ---- the dispatch table -------------------------------------------------------

const std::vector<TSBDispatchRow>& SBDispatchTable() {
    static const std::vector<TSBDispatchRow> table = [] {
        std::vector<TSBDispatchRow> rows;
        const auto add = [&rows](std::uint16_t vendor, std::initializer_list<std::uint16_t> devices,
                                 TSBHandler handler) {
            for (auto device : devices) rows.push_back({vendor, device, handler, 0, ""});
        };
        const auto addArgs = [&rows](std::uint16_t vendor, TSBHandler handler,
                                     std::initializer_list<std::pair<std::uint16_t, int>> devices) {
            for (const auto& [device, argument] : devices) rows.push_back({vendor, device, handler, argument, ""});
        };
        const auto addTexts = [&rows](std::uint16_t vendor, TSBHandler handler,
                                      std::initializer_list<std::pair<std::uint16_t, const char*>> devices) {
            for (const auto& [device, text] : devices) rows.push_back({vendor, device, handler, 0, text});
        };
        add(0x1166, {0x0200, 0x0201, 0x0205}, HANDLEPIIX4);
        add(0x8086, {0x7113, 0x719B}, HANDLEPIIX4);
        add(0x8086, {0x2410, 0x2420, 0x2440, 0x244C, 0x2480, 0x248C, 0x24C0, 0x24CC, 0x24D0, 0x25A1}, UnhideICHSMBus);
        add(0x8086,
            {0x2640, 0x2641, 0x2670, 0x27B8, 0x27B9, 0x27BC, 0x2810, 0x2811, 0x2815, 0x2916, 0x2917, 0x2919, 0x3A16,
             0x3A18},
            UnhideICHSMBusRCBA);
        addArgs(0x8086, HandleIntelICH,
                {{0x2413, 54}, {0x2423, 55}, {0x2443, 56}, {0x2483, 57}, {0x24C3, 58}, {0x24D3, 59},
                 {0x266A, 60}, {0x25A4, 61}, {0x27DA, 62}, {0x283E, 63}, {0x2930, 64}, {0x3A60, 65},
                 {0x3A30, 66}, {0x1D22, 67}, {0x269B, 68}, {0x3B30, 69}, {0x1C22, 70}, {0x1E22, 71},
                 {0x8C22, 72}, {0x9C22, 73}, {0x8CA2, 74}, {0x8D22, 75}});
        add(0x8086, {0x3A32, 0x8C24}, HandleIntelThermal);
        rows.push_back({0x1022, 0x740B, HandleAMD756, 9, "AMD 756"});
        rows.push_back({0x1022, 0x746B, HandleAMD756, 12, "AMD 8111"});
        add(0x1022, {0x7413}, HandleAMD766);
        add(0x1022, {0x7443}, HandleAMD768);
        add(0x1022, {0x2080}, HandleAMDCS5536);
        add(0x10DE, {0x01B4}, HandleNForce1);
        addArgs(0x10DE, HandleNForce,
                {{0x0064, 2}, {0x0084, 2}, {0x00D4, 3}, {0x00E4, 4}, {0x0052, 5}, {0x0264, 6}, {0x0034, 7},
                 {0x0368, 8}, {0x03EB, 9}, {0x0446, 10}, {0x0542, 11}, {0x07D8, 12}, {0x0752, 13}, {0x0AA2, 14}});
        addTexts(0x1106, HandleVIA823x,
                 {{0x8235, "8231"}, {0x3074, "8233"}, {0x8324, "CX700/VX700"}, {0x3147, "8233A"}, {0x3177, "8235"},
                  {0x3227, "8237"}, {0x3337, "8237A"}, {0x3372, "8237S"}, {0x3287, "8251"}});
        add(0x1106, {0x3057}, HandleVIA686);
        addTexts(0x1106, HandleVIA596, {{0x3050, ""}, {0x3051, "B"}});
        add(0x1106, {0x3040}, HandleVIA586B);
        add(0x10B9, {0x1533}, HandleALiM7101);
        add(0x10B9, {0x1563}, HandleALiM1563);
        addArgs(0x10B9, HandleALiM1573, {{0x1573, 31}, {0x1575, 32}});
        add(0x1039, {0x0008, 0x0018, 0x0961, 0x0962, 0x0963}, HandleSiSBridge);
        addArgs(0x1039, HandleSiS96x, {{0x0964, 4}, {0x0965, 5}, {0x0966, 6}, {0x0968, 8}});
        addTexts(0x1002, HandleATISMBus, {{0x4353, "IGP"}, {0x4363, "SB300"}, {0x4372, "SB400"}, {0x4385, "SBx00"}});
        addTexts(0x1022, HandleATISMBus, {{0x780B, "Hudson-2"}});
        return rows;
    }();
    return table;
}
