#include "detect/cvfbdimm.h"

#include <array>
#include <exception>
#include <optional>
#include <string>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvfbdimmsensor.h"
#include "core/cvmonitor.h"
#include "detect/cvlinklookups.h"
#include "detect/cvsensorfactory.h"
#include "hw/cvdriver.h"
#include "hw/cvlink.h"
#include "hw/cvpci.h"

using cvformat::Format;

namespace {

constexpr int MaxPolls = 10000;
constexpr std::uint16_t StatusBusy = 0x1000;
constexpr std::uint16_t StatusDataValid = 0x8000;
constexpr int SpdSlots = 4;
constexpr std::uint8_t FirstSpdSlave = 0x50;
constexpr std::uint8_t MCHSPDChipset = 90;

struct TSpdController {
    int Command;
    int Status;
};
constexpr TSpdController SpdControllers[] = {{0x78, 0x74}, {0x7C, 0x76}};

constexpr std::uint32_t SpdInterfaceIds[] = {0x25F58086, 0x25F68086};
constexpr int SpdInterfaceDevices[] = {21, 22};
constexpr std::uint32_t AmbBaseIds[] = {0x40308086, 0x25F08086};
constexpr int AmbBaseDevice = 16;

// The AMB window of DIMM d on channel c.
constexpr std::uint64_t ChannelStride = 0x8000;
constexpr std::uint64_t DimmStride = 0x800;

template <std::size_t N>
bool Contains(const std::uint32_t (&ids)[N], std::uint32_t id) {
    for (std::uint32_t known : ids)
        if (known == id) return true;
    return false;
}

// ---- the SPD dump ---------------------------------------------------------------

std::uint32_t CommandFor(std::uint32_t current, std::uint8_t offset, std::uint8_t slave) {
    current &= ~(0xF0000000u | 0x07000000u | 0x00FF0000u | 1u);
    return current | std::uint32_t{static_cast<std::uint32_t>(slave >> 4) << 29} |
           std::uint32_t{(slave & 0x0Fu) << 24} | std::uint32_t{offset} << 16;
}

// One dump line: the offset, each byte or its failure code, then the text.
std::string DumpLine(int first, const std::array<int, 16>& results, const std::array<std::uint8_t, 16>& bytes) {
    std::string line = first == 0 ? "    00: " : Format("    %.2x: ", {first});
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (results[i] != MCHSPDOk) {
            line += Format("-%d ", {results[i]});
            text += ' ';
            continue;
        }
        line += Format("%.2x ", {bytes[i]});
        text += bytes[i] >= 0x20 && bytes[i] <= 0x7E ? static_cast<char>(bytes[i]) : '.';
    }
    return line + " " + text;
}

// ---- the AMB walk ---------------------------------------------------------------

// A field of an AMB register shown by name.
struct TAmbField {
    const char* Picture;
    std::uint16_t Register;
    int Shift;
    int Bits;
    std::array<const char*, 4> Names;
};

constexpr std::uint16_t LinkFrequency = 0x152;
constexpr std::uint16_t Debug1 = 0x160;
constexpr std::uint16_t DramGeometry = 0x377;
constexpr std::uint16_t Debug2 = 0x378;
constexpr std::uint16_t Debug3 = 0x37C;
constexpr std::uint16_t Temperature = TFBDimmSensor::TemperatureOffset;

constexpr std::array<const char*, 4> DelayNames = {"6", "5", "4", "3"};

constexpr TAmbField AmbFields[] = {
    {"      Current link frequency -> %s", LinkFrequency, 0, 2, {"<reserved>", "DDR2-533", "DDR2-667", "DDR2-800"}},
    {"      DRAM data width : %s", DramGeometry, 6, 1, {"4 bits", "8 bits"}},
    {"      Number of ranks : %s", DramGeometry, 5, 1, {"single", "double"}},
    {"      Number of banks : %s", DramGeometry, 4, 1, {"4 banks", "8 banks"}},
    {"      Number of rows : %s", DramGeometry, 2, 2, {"8192", "16384", "32768", "65536"}},
    {"      Number of columns : %s", DramGeometry, 0, 2, {"1024", "2048", "4096", "8192"}},
    {"      tRAS min clock delays : %s", Debug2, 29, 2,
     {"18 for DDR2 800 MHz", "15 for DDR2 667 MHz", "12 for DDR2 533 MHz", "<reserved>"}},
    {"      tRTP clocks delay : %s", Debug2, 27, 2, {"2", "3", "4", "5"}},
    {"      RAS# to CAS# delay : %s", Debug2, 10, 2, DelayNames},
    {"      RAS# to precharge delay : %s", Debug2, 8, 2, DelayNames},
};

// DEBUG1's supported speeds, fastest first.
struct TAmbSpeed {
    int Bit;
    const char* Name;
};
constexpr TAmbSpeed AmbSpeeds[] = {{13, "DDR2-800"}, {12, "DDR2-667"}, {11, "DDR2-533"}};

// Little-endian bytes of the window; a read that copies nothing answers nothing.
bool ReadWindow(std::uint64_t address, std::uint32_t size, std::uint32_t& value) {
    std::array<std::uint8_t, 4> bytes{};
    value = 0;
    if (address + size > 0x100000000ull ||
        IOPort->ReadPhysicalMemory(static_cast<std::uint32_t>(address), bytes.data(), size) != size)
        return false;
    for (std::uint32_t i = 0; i < size; ++i) value |= std::uint32_t{bytes[i]} << (8 * i);
    return true;
}

// A register of the window; 0 when it cannot be read.
std::uint32_t ReadAmb(std::uint64_t window, std::uint16_t reg, std::uint32_t size) {
    std::uint32_t value = 0;
    ReadWindow(window + reg, size, value);
    return value;
}

std::string SupportedSpeeds(std::uint32_t debug1) {
    std::string text;
    for (const TAmbSpeed& speed : AmbSpeeds)
        if (debug1 >> speed.Bit & 1) text += std::string(text.empty() ? "" : " ") + speed.Name;
    return text;
}

class TAmbWalk {
public:
    TAmbWalk(TDetectionContext& context, std::uint32_t ambase) : context_(context), ambase_(ambase) {}

    void Walk(int channels, int dimms) {
        for (int c = 0; c < channels; ++c) {
            Trace(Format("  Exploring channel #%d", {c}));
            for (int d = 0; d < dimms; ++d) ExploreDimm(c, d);
        }
    }

private:
    void Trace(const std::string& msg) { context_.Monitor.Log.TraceMessage(msg, 0); }

    void TraceFields(std::uint16_t reg, std::uint32_t value) {
        for (const TAmbField& field : AmbFields)
            if (field.Register == reg)
                Trace(Format(field.Picture, {field.Names[value >> field.Shift & ((1u << field.Bits) - 1)]}));
    }

    void ExploreDimm(int channel, int dimm) {
        const std::uint64_t window = ambase_ + channel * ChannelStride + dimm * DimmStride;
        std::uint32_t presence = 0;
        // A window that copies nothing holds no module.
        if (!ReadWindow(window, 4, presence) || presence == 0xFFFFFFFF) return;
        Trace(Format("    Exploring DIMM #%d", {dimm}));
        Trace(Format("      PresenceId=$%.8x", {presence}));
        Trace(Format("      Temperature=%.1f", {ReadAmb(window, Temperature, 1) / 2.0}, cvformat::Invariant()));
        const std::uint32_t debug1 = ReadAmb(window, Debug1, 4);
        Trace(Format("      DEBUG1=$%.8x", {debug1}));
        Trace(Format("      DDR2 frequencies supported -> %s", {SupportedSpeeds(debug1)}));
        TraceFields(LinkFrequency, ReadAmb(window, LinkFrequency, 2));
        TraceFields(DramGeometry, ReadAmb(window, DramGeometry, 1));
        const std::uint32_t debug2 = ReadAmb(window, Debug2, 4);
        Trace(Format("      DEBUG2=$%.8x", {debug2}));
        TraceFields(Debug2, debug2);
        const std::uint32_t debug3 = ReadAmb(window, Debug3, 4);
        Trace(Format("      DEBUG3=$%.8x", {debug3}));
        Trace(Format("      Additive latency : %d", {debug3 >> 4 & 0x0F}));
        Trace(Format("      CAS latency : %d", {debug3 & 0x0F}));
        AddDimmSensor(channel, dimm, window);
    }

    void AddDimmSensor(int channel, int dimm, std::uint64_t window) {
        context_.Monitor.Log.LogMessage(Format("FB-DIMM #%d found on channel #%d", {dimm, channel}));
        const int pciLink = FindPCILink();
        if (pciLink < 0) {
            Trace(Format("INFO : no PCI link for FB-DIMM #%d on channel #%d", {dimm, channel}));
            return;
        }
        const auto address = static_cast<std::uint32_t>(channel + dimm * 256);
        if (TSensor* sensor = context_.Factory.AddSensorOfCode(pciLink, address, TFBDimmSensor::ChipCode))
            sensor->FAddress2 = static_cast<std::int32_t>(static_cast<std::uint32_t>(window));
        else
            Trace("GOTIT didn't add the FB-DIMM");
    }

    TDetectionContext& context_;
    std::uint64_t ambase_;
};

void ProbeAmbFunction(TDetectionContext& context, int bus) {
    TLogSinks& log = context.Monitor.Log;
    const std::uint32_t low = ReadPCIConfigDWord(bus, AmbBaseDevice, 0, 0x48);
    const std::uint32_t high = ReadPCIConfigDWord(bus, AmbBaseDevice, 0, 0x4C);
    const std::uint64_t ambase = std::uint64_t{high} << 32 | low;
    log.TraceMessage(Format("  AMBASE=$%.16x (hi=$%.8x - lo=$%.8x)", {ambase, high, low}), 0);
    if (high != 0) {
        log.TraceMessage("  !!!AMBASE uses more than 32 bit...", 0);
        return;
    }
    try {
        log.TraceMessage(Format("  Region range=$%.8x", {ReadPCIConfigDWord(bus, AmbBaseDevice, 0, 0x50)}), 0);
        const std::uint8_t channels = ReadPCIConfigByte(bus, AmbBaseDevice, 0, 0x56);
        const std::uint8_t dimms = ReadPCIConfigByte(bus, AmbBaseDevice, 0, 0x57);
        log.TraceMessage(Format("  Supported channels=$%.2x", {channels}), 0);
        log.TraceMessage(Format("  Supported DIMMs per channel=$%.2x", {dimms}), 0);
        TAmbWalk(context, low).Walk(channels, dimms);
    } catch (const std::exception& e) {
        log.TraceMessage(Format("Unable to fully access FB-DIMMs (%s)", {e.what()}), 0);
    }
}

}  // namespace

int ReadMCHSPDByte(TLogSinks& log, int bus, int device, int function, std::uint8_t& value, std::uint8_t offset,
                   std::uint8_t slave, int commandRegister, int statusRegister) {
    value = 0xFF;
    const auto pollUntil = [&](auto done) {
        for (int poll = 0; poll < MaxPolls; ++poll) {
            const std::uint16_t status = ReadPCIConfigWord(bus, device, function, statusRegister);
            if (done(status)) return std::optional<std::uint16_t>(status);
        }
        return std::optional<std::uint16_t>();
    };
    if (!pollUntil([](std::uint16_t s) { return (s & StatusBusy) == 0; })) {
        log.TraceMessage("   !!! SMBus is busy", 0);
        return MCHSPDBusy;
    }
    const std::uint32_t command = ReadPCIConfigDWord(bus, device, function, commandRegister);
    WritePCIConfigDWord(bus, device, function, commandRegister, CommandFor(command, offset, slave));
    if (const auto status = pollUntil([](std::uint16_t s) { return (s & StatusDataValid) != 0; })) {
        value = static_cast<std::uint8_t>(*status);
        return MCHSPDOk;
    }
    log.TraceMessage("   !!! Timeout waiting for data", 0);
    return MCHSPDNoData;
}

void DumpMCHSPD(TDetectionContext& context, int bus, int device, int function, int commandRegister,
                int statusRegister) {
    TLogSinks& log = context.Monitor.Log;
    log.TraceMessage(Format("  Testing SMBus[%.2x%.2x%.2x]", {bus, device, function}), 0);
    // After the controller's first failure its bytes carry that failure unasked.
    int failure = MCHSPDOk;
    for (int slot = 0; slot < SpdSlots; ++slot) {
        log.TraceMessage(Format("  DIMM#%d", {slot}), 0);
        const auto slave = static_cast<std::uint8_t>(FirstSpdSlave + slot);
        for (int first = 0; first < 256; first += 16) {
            std::array<int, 16> results{};
            std::array<std::uint8_t, 16> bytes{};
            for (int i = 0; i < 16; ++i) {
                if (failure != MCHSPDOk) {
                    results[i] = failure;
                    continue;
                }
                results[i] = ReadMCHSPDByte(log, bus, device, function, bytes[i], static_cast<std::uint8_t>(first + i),
                                            slave, commandRegister, statusRegister);
                failure = results[i];
            }
            log.TraceMessage(DumpLine(first, results, bytes), 0);
        }
    }
}

void AddMCHSPDLinks(TDetectionContext& context, int bus, int device, int function) {
    // The command writes would disturb a kernel driver that owns the hub.
    if (!KernelHoldsPCIFunction(bus, device, function))
        for (const TSpdController& controller : SpdControllers)
            DumpMCHSPD(context, bus, device, function, controller.Command, controller.Status);
    for (const TSpdController& controller : SpdControllers) {
        const auto base = static_cast<std::uint32_t>(controller.Status << 16 | controller.Command);
        AddLink("MCHSPD", MCHSPDChipset, LinkKinds::SMBus, HostKinds::IntelMCH, base, 1, bus, device, function);
    }
}

void ProbeIntelFBDimm(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    log.TraceMessage("About to probe Intel FB-DIMM support...", 0);
    // The SPD pass needs configuration space only; the AMB windows need memory.
    const bool canReadMemory = IOPort && IOPort->CanReadMemory;
    if (!canReadMemory) log.TraceMessage("  I can't read memory. Sorry.", 0);
    for (int bus = 0; bus <= 15; ++bus)
        for (int device : SpdInterfaceDevices) {
            if (!Contains(SpdInterfaceIds, ReadPCIConfigDWord(bus, device, 0, 0))) continue;
            log.TraceMessage("  Found Intel MCH SPD interface", 0);
            AddMCHSPDLinks(context, bus, device, 0);
            log.TraceMessage("  End of Intel MCH SPD interface test", 0);
        }
    if (canReadMemory)
        for (int bus = 0; bus <= 15; ++bus)
            if (Contains(AmbBaseIds, ReadPCIConfigDWord(bus, AmbBaseDevice, 0, 0))) ProbeAmbFunction(context, bus);
    log.TraceMessage("End of Intel FB-DIMM support probing", 0);
}
