#include "cpu/cvnforce2clock.h"

#include <cmath>

#include "base/cvformat.h"
#include "hw/cvpci.h"
#include "platform/platform.h"

namespace {

constexpr std::uint16_t NVidia = 0x10DE;
constexpr std::uint16_t HostBridge = 0x01E0;
constexpr std::uint16_t MemoryController = 0x01EF;
constexpr int LoadRegister = 0xA0;
constexpr int PllRegister = 0xA4;
constexpr int EnableRegister = 0xA8;
constexpr int BootClockRegister = 0x48;
constexpr int PllWrites = 64;
constexpr std::uint32_t StepPauseMs = 15;

int RoundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace

TNForce2::TNForce2(TLink* link, std::uint8_t chipId, int address) : TClock(link, chipId, address) {
    for (int mhz = FirstMHz; mhz <= LastMHz; ++mhz) {
        TClkEntry entry;
        entry.Cpu = static_cast<float>(mhz);
        entry.Text = cvformat::Format("CPU : %.0fMHz", {entry.Cpu});
        AddEntry(std::move(entry));
    }
}

int TNForce2::PllToFsb(std::uint32_t value) {
    const unsigned n = (value >> 8) & 0xFF;
    const unsigned m = value & 0xFF;
    return m == 0 ? 0 : RoundHalfEven(25.0 * n / m);
}

std::uint32_t TNForce2::MakePllValue(int n, int m) { return 0x100000u + static_cast<std::uint32_t>(n) * 256u + static_cast<std::uint32_t>(m); }

std::int64_t TNForce2::FindPllValue(int mhz) {
    for (int offset = 0; offset <= 3; ++offset) {
        int foundN = 0, foundM = 0;
        for (int m = 1; m <= 128; ++m)
            for (int n = 1; n <= 254; ++n)
                if (PllToFsb(MakePllValue(n, m)) == mhz + offset) foundN = n, foundM = m;
        if (foundM != 0) return MakePllValue(foundN, foundM);
    }
    return -1;
}

void TNForce2::WritePll(std::uint32_t value) {
    TPCILocation bridge;
    if (!FindPCIDevice(NVidia, HostBridge, bridge)) return;
    WritePCIConfigDWord(bridge.Bus, bridge.Device, bridge.Function, LoadRegister, 0);
    for (int i = 0; i < PllWrites; ++i) WritePCIConfigDWord(bridge.Bus, bridge.Device, bridge.Function, PllRegister, value);
}

int TNForce2::ReadFsb() {
    TPCILocation bridge;
    if (!FindPCIDevice(NVidia, HostBridge, bridge)) return 0;
    const std::uint8_t enable = ReadPCIConfigByte(bridge.Bus, bridge.Device, bridge.Function, EnableRegister);
    Log(cvformat::Format("PLL Enable=%d", {static_cast<int>(enable)}), false);
    if (enable != 0) {
        Log("PLL enabled", false);
        const int fsb = PllToFsb(ReadPCIConfigDWord(bridge.Bus, bridge.Device, bridge.Function, PllRegister) & 0xFFFF);
        Log(cvformat::Format("Current FSB (PLL)=%d", {fsb}), false);
        return fsb;
    }
    Log("PLL not enabled", false);
    TPCILocation memory;
    if (!FindPCIDevice(NVidia, MemoryController, memory)) return 0;
    Log("Found NForce2 Memory Controller 5", false);
    const double mhz = ReadPCIConfigDWord(memory.Bus, memory.Device, memory.Function, BootClockRegister) / 1e6;
    Log(cvformat::Format("Current FSB (boot)=%.2f", {mhz}, cvformat::Invariant()), false);
    return RoundHalfEven(mhz);
}

bool TNForce2::SetFsb(int targetMHz) {
    int current = ReadFsb();
    if (current < 1) {
        Log("ERROR getting the FSB", true);
        return false;
    }
    TPCILocation bridge;
    if (!FindPCIDevice(NVidia, HostBridge, bridge)) return false;
    if (KernelHoldsPCIFunction(bridge.Bus, bridge.Device, bridge.Function)) return false;
    if (ReadPCIConfigByte(bridge.Bus, bridge.Device, bridge.Function, EnableRegister) == 0) {
        // The PLL takes over at the clock the bus already runs at.
        const std::int64_t value = FindPllValue(current);
        if (value < 1) {
            Log("ERROR computing PLL value", true);
            return false;
        }
        WritePll(static_cast<std::uint32_t>(value));
    }
    auto& clock = platform::current().clock();
    while (current != targetMHz) {
        current += current < targetMHz ? 1 : -1;
        const std::int64_t value = FindPllValue(current);
        if (value < 1) {
            Log("ERROR in smooth transition to new FSB", true);
            return false;
        }
        WritePCIConfigByte(bridge.Bus, bridge.Device, bridge.Function, EnableRegister, 1);
        WritePll(static_cast<std::uint32_t>(value));
        WritePCIConfigByte(bridge.Bus, bridge.Device, bridge.Function, LoadRegister, 0x40);
        clock.sleepMs(StepPauseMs);
    }
    return true;
}

int TNForce2::ReadClock() {
    Log("About to READCLOCK", false);
    int result = -1;
    const int fsb = ReadFsb();
    if (fsb == 0) {
        Log("Unable to read FSB", true);
    } else if (fsb >= FirstMHz && fsb <= LastMHz) {
        result = fsb - FirstMHz;
    }
    Log("End of READCLOCK", false);
    return result;
}

bool TNForce2::SetClock(int index) {
    Log("About to SETCLOCK", false);
    bool result = false;
    if (!InRange(index)) {
        Log(cvformat::Format("Index out of bounds (%d)", {index}), true);
    } else if (!SetFsb(RoundHalfEven(GetEntry(index).Cpu))) {
        Log("ERROR setting new FSB", true);
    } else {
        result = true;
    }
    Log("End of SETCLOCK", false);
    return result;
}
