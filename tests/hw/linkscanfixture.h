#pragma once
// A simulated chipset from a board file or a few lines of JSON, scanned the
// way the start-up scans it, with every line and registration recorded.

#include <string>
#include <vector>

#include "hw/cvlink.h"
#include "hw/cvlinkscan.h"
#include "hwfixture.h"

struct TLinkRow {
    std::string Host;
    std::uint8_t ChipsetCode;
    std::uint32_t Base;
    std::uint8_t Flag;
    int Bus, Device, Function;
    bool operator==(const TLinkRow&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const TLinkRow& r) {
    return os << r.Host << " code " << int(r.ChipsetCode) << " base " << std::hex << r.Base << std::dec << " flag "
              << int(r.Flag) << " at " << r.Bus << ":" << r.Device << "." << r.Function;
}

class LinkScanTest : public HwTest {
protected:
    LinkScanTest() { Links().clear(); }
    ~LinkScanTest() override { Links().clear(); }

    void load(const std::string& json) {
        machine().loadFromJson(json, "chipset.json");
        open();
    }
    void loadFile(const std::string& name) {
        machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR) + "/" + name);
        open();
    }
    void open() {
        IOPort = std::make_unique<TIOPort>();
        ctx.LogMessage = [this](const std::string& msg) { info.push_back(msg); log.push_back(msg); };
        ctx.LogMessageEx = [this](const std::string& msg, bool toBoth) {
            log.push_back(msg);
            if (toBoth) info.push_back(msg);
        };
        ctx.AddSensor = [this](const TDiscoveredSensor& s) { sensors.push_back(s); };
        ctx.Display = &display;
        ctx.SMBusChipset = &chipset;
    }

    void scan() { DetectLinks(ctx); }

    // The SMBus links after the ISA and PCI links.
    std::vector<TLinkRow> smbusLinks() const {
        std::vector<TLinkRow> rows;
        for (const auto& l : Links()) {
            if (l->LinkKind() != LinkKinds::SMBus) continue;
            rows.push_back({l->HostText(), l->ChipsetCode(), l->BaseAddress(), l->Flag(), l->PciBus(), l->PciDevice(),
                            l->PciFunction()});
        }
        return rows;
    }
    bool logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
    int count(const std::string& line) const {
        return static_cast<int>(std::count(log.begin(), log.end(), line));
    }
    std::uint8_t configByte(unsigned bus, unsigned dev, unsigned func, unsigned reg) {
        return (*machine().pci().function({bus, dev, func}))[reg];
    }

    TLinkScanContext ctx;
    TChipsetDisplay display;
    std::uint8_t chipset = 0;
    std::vector<std::string> log, info;
    std::vector<TDiscoveredSensor> sensors;
};
