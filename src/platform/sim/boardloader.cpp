#include "platform/sim/boardloader.h"

#include <nlohmann/json.hpp>

#include "platform/sim/boarddisks.h"
#include "platform/sim/boardfirmware.h"
#include "platform/sim/boardgraphics.h"
#include "platform/sim/boardcpus.h"
#include "platform/sim/boardhardware.h"
#include "platform/sim/boardi2c.h"
#include "platform/sim/boardkernel.h"
#include "platform/sim/boardsmbus.h"
#include "platform/sim/boardchips.h"
#include "platform/sim/boardisa.h"
#include "platform/sim/boardsuperio.h"
#include "platform/sim/nationalblocks.h"
#include "platform/sim/boardthermal.h"
#include "platform/sim/boarduguru.h"
#include "platform/sim/boardheci.h"
#include "platform/sim/boardperipherals.h"
#include "platform/sim/boardraid.h"
#include "platform/sim/simsignatures.h"
#include "platform/sim/boardsystem.h"
#include "platform/sim/simwmi.h"

namespace platform::sim {
namespace {

// One line per section; a new section is its loader's header and a line here.
constexpr BoardSection sections[] = {
    {"os", loadOsSection},
    {"windowsDir", loadWindowsDirSection},
    {"systemFiles", loadSystemFilesSection},
    {"locale", loadLocaleSection},
    {"clock", loadClockSection},
    {"registry", loadRegistrySection},
    {"power", loadPowerSection},
    {"thermal", loadThermalSection},
    {"isaDevices", loadIsaDevicesSection},
    {"cpuModels", loadCpuModelsSection},
    {"chips", loadChipsSection},
    {"superIO", loadSuperIOSection},
    {"nationalSuperIO", loadNationalSection},
    {"cpus", loadCpusSection},
    {"cpuLoad", loadCpuLoadSection},
    {"physicalMemory", loadPhysicalMemorySection},
    {"smbios", loadSmbiosSection},
    {"acpiTables", loadAcpiTablesSection},
    {"pci", loadPciSection},
    {"smbus", loadSMBusSection},
    {"driver", loadDriverSection},
    {"dellSmi", loadDellSmiSection},
    {"devices", loadDevicesSection},
    {"systemRegistry", loadSystemRegistrySection},
    {"identity", loadIdentitySection},
    {"kernelDrivers", loadKernelDriversSection},
    {"crtc", loadCrtcSection},
    {"accessBus", loadAccessBusSection},
    {"mchSpd", loadMchSpdSection},
    {"nforce2Pll", loadNForce2PllSection},
    {"disks", loadDisksSection},
    {"raidControllers", loadRaidControllersSection},
    {"wmi", loadWmiSection},
    {"heci", loadHeciSection},
    {"uguru", loadUGuruSection},
    {"cardLibrary", loadCardLibrarySection},
    {"joysticks", loadJoysticksSection},
    {"graphics", loadGraphicsSection},
    {"signatures", loadSignaturesSection},
};

std::string sectionList() {
    std::string out;
    for (const auto& s : sections) out += (out.empty() ? "\"" : ", \"") + std::string(s.name) + "\"";
    return out;
}

}  // namespace

std::span<const BoardSection> boardSections() { return sections; }

void loadBoard(const std::string& text, const std::string& source, Machine& machine) {
    nlohmann::json board;
    try {
        board = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {  // syntax, and numbers past a double
        // The library's text starts with its own error code in brackets.
        std::string what = e.what();
        if (const auto end = what.find("] "); end != std::string::npos) what.erase(0, end + 2);
        throw BoardError(source + ": not valid JSON: " + what);
    }
    const BoardNode root(&board, source, "");
    for (const auto& [name, node] : root.members()) {
        bool known = false;
        for (const auto& s : sections) known = known || s.name == name;
        if (!known) node.fail("unknown section, expected one of " + sectionList());
    }
    for (const auto& s : sections) {
        if (auto node = root.optionalField(s.name)) s.load(*node, machine);
    }
}

}  // namespace platform::sim
