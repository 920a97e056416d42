#include "detect/cvsuperio.h"

#include <algorithm>
#include <exception>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/cvdriver.h"
#include "platform/kernelclaims.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

TIOPort& Ports() {
    if (!IOPort) throw EPortError("CALDAVOR Driver Not Installed");
    return *IOPort;
}

std::uint16_t DataPort(std::uint16_t configPort) { return static_cast<std::uint16_t>(configPort + 1); }

}  // namespace

std::uint8_t ReadConfigRegister(std::uint16_t configPort, std::uint8_t reg) {
    TIOPort& ports = Ports();
    ports.WritePortByte(configPort, reg);
    return ports.ReadPortByte(DataPort(configPort));
}

void WriteConfigRegister(std::uint16_t configPort, std::uint8_t reg, std::uint8_t value) {
    TIOPort& ports = Ports();
    ports.WritePortByte(configPort, reg);
    ports.WritePortByte(DataPort(configPort), value);
}

void SelectLogicalDevice(std::uint16_t configPort, std::uint8_t ldn) { WriteConfigRegister(configPort, 0x07, ldn); }

bool IndexReadsBack(std::uint16_t configPort, std::uint8_t reg) {
    TIOPort& ports = Ports();
    ports.WritePortByte(configPort, reg);
    return ports.ReadPortByte(configPort) == reg;
}

void WriteEntryKey(std::uint16_t configPort, const TConfigKey& key) {
    TIOPort& ports = Ports();
    for (const std::uint8_t byte : key.EntryBytes()) ports.WritePortByte(configPort, byte);
}

bool EnterConfig(std::uint16_t configPort, const TConfigKey& key) {
    try {
        WriteEntryKey(configPort, key);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void ExitConfig(std::uint16_t configPort, const TConfigKey& key) noexcept {
    try {
        Ports().WritePortByte(configPort, ExitKeyByte);
        if (key.ExitResetsRegister02) WriteConfigRegister(configPort, 0x02, 0x02);
    } catch (const std::exception&) {
        // nothing to do: the chip stays awake until the next exit key
    }
}

bool EnterConfig55(std::uint16_t configPort) { return EnterConfig(configPort, Key55); }
bool EnterConfig87(std::uint16_t configPort) { return EnterConfig(configPort, Key87); }
bool EnterConfigITE(std::uint16_t configPort) { return EnterConfig(configPort, KeyITE); }
void ExitConfigAA(std::uint16_t configPort) noexcept { ExitConfig(configPort, Key87); }
void ExitConfigITE(std::uint16_t configPort) noexcept { ExitConfig(configPort, KeyITE); }

bool SuperIOHeldByKernel(std::uint16_t configPort, std::uint16_t monitorBase, const std::string& step) {
    platform::KernelClaims& claims = platform::current().kernelClaims();
    auto report = [&step](std::uint16_t first, std::uint16_t last, const std::string& owner) {
        WriteDebugLog(Format("Super I/O %s skipped: ports $%.4x-$%.4x held by kernel driver %s",
                             {step, static_cast<int>(first), static_cast<int>(last), owner}));
        return true;
    };
    if (const auto owner = claims.portOwner(configPort, DataPort(configPort)))
        return report(configPort, DataPort(configPort), *owner);
    if (monitorBase != 0) {
        const auto last = static_cast<std::uint16_t>(std::min(monitorBase + 7, 0xFFFF));
        if (const auto owner = claims.portOwner(monitorBase, last)) return report(monitorBase, last, *owner);
    }
    return false;
}
