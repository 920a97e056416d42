// The video BIOS of a GeForce card (cache file, ROM window, BIT parse) and
// the GPU library's report on the card's first reading.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "cpu/cvgeforce.h"
#include "cpu/cvnvapi.h"
#include "hw/cvdriver.h"
#include "hw/cvpci.h"
#include "platform/platform.h"

namespace {

using cvformat::Format;
namespace nv = platform::nvapi;

// Reads refused past the image: the structure then counts as absent.
std::optional<std::uint8_t> ByteAt(const TVideoBios& image, std::size_t at) {
    if (at >= image.size()) return std::nullopt;
    return image[at];
}
std::optional<std::uint16_t> WordAt(const TVideoBios& image, std::size_t at) {
    if (at + 1 >= image.size()) return std::nullopt;
    return static_cast<std::uint16_t>(image[at] | image[at + 1] << 8);
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string ElapsedText(std::uint64_t ms) {
    return Format("%.2d:%.2d:%.2d.%.3d", {ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000});
}

std::string RamTypeText(std::uint32_t type) {
    constexpr const char* names[] = {nullptr, "SDRAM", "DDR", "DDR2", "GDDR2", "GDDR3", "GDDR4", "DDR3", "GDDR5"};
    return type >= 1 && type <= 8 ? names[type] : Format("unknown (%d)", {type});
}

std::optional<std::uint16_t> PcirVendor(const TVideoBios& image, int pcir) { return WordAt(image, static_cast<std::size_t>(pcir) + 4); }

}  // namespace

int FindBiosSignature(const TVideoBios& image, std::string_view text, int start) {
    if (start < 0 || text.empty() || image.size() < text.size()) return -1;
    for (std::size_t at = static_cast<std::size_t>(start); at + text.size() <= image.size(); ++at)
        if (std::equal(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(at))) return static_cast<int>(at);
    return -1;
}

std::string BinaryText16(std::uint16_t value) {
    std::string text;
    for (int bit = 15; bit >= 0; --bit) text += (value >> bit & 1) ? '1' : '0';
    return text;
}

bool TGeForcePciCard::ValidateVideoBios(const TVideoBios& image) {
    if (image.size() < 2 || image[0] != 0x55 || image[1] != 0xAA) {
        GeForceLog(Format("  Invalid Video BIOS Signature ($%.2x $%.2x)", {image.size() > 0 ? image[0] : 0, image.size() > 1 ? image[1] : 0}));
        return false;
    }
    const int pcir = FindBiosSignature(image, "PCIR", 0);
    if (pcir < 0) {
        GeForceLog("  PCIR PCI BIOS Signature Not Found");
        return false;
    }
    const auto vendor = PcirVendor(image, pcir);
    if (vendor != 0x10DE) {
        GeForceLog(Format("  Unexpected BIOS Manufacturer ID ($%.4x)", {vendor.value_or(0)}));
        return false;
    }
    return true;
}

std::string TGeForcePciCard::CacheFileName() const {
    return Format("%.2x%.2x%.2x%.8x%.8x.bios", {FBus, FDevice, FFunction, ReadPCIConfigDWord(FBus, FDevice, FFunction, 0),
                                                 ReadPCIConfigDWord(FBus, FDevice, FFunction, 0x2C)});
}

bool TGeForcePciCard::ReadVideoBios(TVideoBios& image) {
    image.assign(VideoBiosSize, 0);
    if (std::ifstream file(ProgramDir + CacheFileName(), std::ios::binary); file) {
        file.read(reinterpret_cast<char*>(image.data()), VideoBiosSize);
        const auto count = file.gcount();
        // A cache that is short or holds no valid image is ignored and rewritten.
        if (count == static_cast<std::streamsize>(VideoBiosSize) && ValidateVideoBios(image)) {
            GeForceLog("  BIOS read from file");
            return true;
        }
        if (count != static_cast<std::streamsize>(VideoBiosSize))
            GeForceLog(Format("  BIOS file returned %d bytes, but we expected %d", {count, VideoBiosSize}));
        image.assign(VideoBiosSize, 0);
    }
    if (!IOPort || !IOPort->CanReadMemory || !ReadGeForceRom) return false;
    if (FArchitecture != 0) IOPort->WritePhysicalDWord(FBar0 + 0x1850, 0);
    const bool valid = ReadRomWindow(image);
    if (FArchitecture != 0) IOPort->WritePhysicalDWord(FBar0 + 0x1850, 1);
    if (valid) WriteBiosCache(image);
    return valid;
}

bool TGeForcePciCard::ReadRomWindow(TVideoBios& image) {
    IOPort->ReadPhysicalMemory(FRomWindow, image.data(), VideoBiosSize);
    if (ValidateVideoBios(image)) return true;
    GeForceLog("  Reading BIOS using DWORD access");
    if (ReadRomByUnits(image, 4, 4) && ValidateVideoBios(image)) return true;
    GeForceLog("  Reading BIOS using BYTE access");
    return ReadRomByUnits(image, 1, 5) && ValidateVideoBios(image);
}

// One read per unit, `repeats` times (the last counts), with the checks on the way.
bool TGeForcePciCard::ReadRomByUnits(TVideoBios& image, std::uint32_t unit, int repeats) {
    const std::string suffix = unit == 4 ? " using DWORDs" : " using BYTEs";
    const std::uint64_t started = platform::current().clock().monotonicMs();
    image.assign(VideoBiosSize, 0);
    std::size_t check = VideoBiosSize;  // where the vendor can be checked, once the pointer is known
    std::uint16_t pointer = 0;
    bool ok = true;
    for (std::uint32_t offset = 0; offset < VideoBiosSize && ok; offset += unit) {
        for (int r = 0; r < repeats; ++r) IOPort->ReadPhysicalMemory(FRomWindow + offset, image.data() + offset, unit);
        const std::uint32_t last = offset + unit - 1;
        if (last == 1 || (unit == 4 && offset == 0)) {
            if (image[0] != 0x55 || image[1] != 0xAA) {
                GeForceLog(Format("  Invalid Video BIOS Signature ($%.2x $%.2x)" + suffix, {image[0], image[1]}));
                ok = false;
            }
        }
        if (last == 0x19 || (unit == 4 && offset == 0x1C)) {
            pointer = static_cast<std::uint16_t>(image[0x18] | image[0x19] << 8);
            check = unit == 4 ? (pointer + 5u) / 4 * 4 : pointer + 5u;
        }
        if (ok && offset == check) {
            const auto vendor = WordAt(image, pointer + 4u);
            if (vendor != 0x10DE) {
                GeForceLog(Format("  Unexpected BIOS Manufacturer ID ($%.4x)" + suffix, {vendor.value_or(0)}));
                ok = false;
            }
        }
    }
    const std::uint64_t elapsed = platform::current().clock().monotonicMs() - started;
    GeForceLog((unit == 4 ? "  DWORD access took " : "  BYTE access took ") + ElapsedText(elapsed));
    return ok;
}

void TGeForcePciCard::WriteBiosCache(const TVideoBios& image) {
    const std::string path = ProgramDir + CacheFileName();
    std::remove(path.c_str());
    const std::uint32_t id = ReadPCIConfigDWord(FBus, FDevice, FFunction, 0);
    const std::uint32_t sub = ReadPCIConfigDWord(FBus, FDevice, FFunction, 0x2C);
    GeForceLog(Format("  Device     ID=$%.4x Vendor     ID=$%.4x", {id >> 16, id & 0xFFFF}));
    GeForceLog(Format("  Sub Device ID=$%.4x Sub Vendor ID=$%.4x", {sub >> 16, sub & 0xFFFF}));
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

void TGeForcePciCard::ParseVideoBios(const TVideoBios& image) {
    FBiosInfo = {};
    FBiosInfo.DefaultModel = DefaultThermalModel(FArchitecture);
    if (!ValidateVideoBios(image)) return;
    const int pcir = FindBiosSignature(image, "PCIR", 0);
    const auto vendor = WordAt(image, static_cast<std::size_t>(pcir) + 4);
    const auto device = WordAt(image, static_cast<std::size_t>(pcir) + 6);
    FBiosInfo.VendorId = vendor.value_or(0);
    FBiosInfo.DeviceId = device.value_or(0);
    const bool found = LookupNVidiaCard(FBiosInfo.DeviceId, FBiosInfo.Architecture, FBiosInfo.Name);
    if (!found) {
        if (!FBiosInfo.Name.empty()) GeForceLog("  Found Untested nVidia Video Card (" + FBiosInfo.Name + ")");
        FBiosInfo.Parsed = true;
        return;
    }
    GeForceLog("  Video card is nVidia " + FBiosInfo.Name);
    if (FBiosInfo.Architecture < 20 || FBiosInfo.Architecture > 29) {
        FBiosInfo.Parsed = true;
        return;
    }
    const int bit = FindBiosSignature(image, "BIT", 0);
    if (bit < 0) {
        GeForceLog("  BIT Structure Not Found In BIOS");
        return;
    }
    WalkBitTokens(image, bit);
    FBiosInfo.Parsed = true;
}

void TGeForcePciCard::WalkBitTokens(const TVideoBios& image, int bit) {
    for (std::size_t token = static_cast<std::size_t>(bit) + 4;; token += 6) {
        const auto id = ByteAt(image, token), version = ByteAt(image, token + 1);
        const auto data = WordAt(image, token + 4);
        if (!id || !version || !data || (*id == 0 && *version == 0)) return;
        if (*id == 'B') {
            std::array<std::uint8_t, 5> v{};
            bool whole = true;
            for (std::size_t i = 0; i < 5; ++i) {
                const auto b = ByteAt(image, *data + i);
                whole = whole && b.has_value();
                v[i] = b.value_or(0);
            }
            if (!whole) continue;
            FBiosInfo.BiosVersion = Format("%.2x.%.2x.%.2x.%.2x", {v[3], v[2], v[1], v[0]});
            if (v[4] != 0) FBiosInfo.BiosVersion += Format(".%.2x", {v[4]});
            GeForceLog("  BIOS Version " + FBiosInfo.BiosVersion);
        } else if (*id == 'S') {
            for (std::size_t k = 0; k < 7; ++k) {
                const auto at = WordAt(image, *data + 3 * k);
                std::string text;
                for (std::size_t c = 0; at && c < 255; ++c) {
                    const auto ch = ByteAt(image, *at + c);
                    if (!ch || *ch == 0 || *ch == 0x0A || *ch == 0x0D) break;
                    text += static_cast<char>(*ch);
                }
                text = Trim(text);
                GeForceLog(Format("  String #%.2d : <%s>", {k + 1, text}));
                if (k == 0) FBiosInfo.BiosString1 = text;
                if (k == 1) FBiosInfo.BiosString2 = text;
            }
        } else if (*id == 'P') {
            if (const auto table = WordAt(image, *data + 12u)) ParseThermalTable(image, *table);
        }
    }
}

void TGeForcePciCard::ParseThermalTable(const TVideoBios& image, int table) {
    const auto at = static_cast<std::size_t>(table);
    const auto headerSize = ByteAt(image, at + 1), entrySize = ByteAt(image, at + 2), count = ByteAt(image, at + 3);
    if (!headerSize || !entrySize || !count) return;
    TThermalModel& model = FBiosInfo.BiosModel;
    std::uint8_t channel = 0xFF;
    for (std::size_t c = 0; c < *count; ++c) {
        const std::size_t entry = at + *headerSize + c * *entrySize;
        const auto id = ByteAt(image, entry);
        const auto value = WordAt(image, entry + 1);
        if (!id || !value) break;
        if (*id == 0xFF) continue;
        std::string text;
        switch (*id) {
            case 0x00:
                channel = *value & 0x7F;
                if (channel >= 2) GeForceLog(Format("  Unknown channel $%.2x", {channel}));
                break;
            case 0x01:
                if ((*value & 0x8F) == 0) model.Bias = *value >> 9;
                break;
            case 0x04: case 0x05: case 0x08:
                if (channel == 0 && FBiosInfo.ThresholdCount < 5)
                    FBiosInfo.Thresholds[static_cast<std::size_t>(FBiosInfo.ThresholdCount++)] = (*value >> 4) & 0xFF;
                break;
            case 0x10:
                model.OffsetNum = static_cast<std::int16_t>(*value);
                text = Format("%d", {model.OffsetNum});
                break;
            case 0x11: model.OffsetDen = *value; text = Format("%d", {model.OffsetDen}); break;
            case 0x12: model.SlopeNum = *value; text = Format("%d", {model.SlopeNum}); break;
            case 0x13: model.SlopeDen = *value; text = Format("%d", {model.SlopeDen}); break;
            case 0x33: text = Format("%.2f", {*value * FBiosInfo.DefaultModel.Slope + FBiosInfo.DefaultModel.Offset}); break;
            default: break;
        }
        GeForceLog(Format("  NVTemp Data $%.2x -> $%.4x - %s%s", {*id, *value, BinaryText16(*value), text.empty() ? "" : " - " + text}));
    }
    model.Derive();
}

void TGeForcePciCard::ReportNvApi(const std::vector<std::array<std::uint32_t, 5>>& sensors) {
    for (std::size_t i = 0; i < sensors.size(); ++i) {
        const auto& s = sensors[i];
        GeForceLog(Format("    Sensor %d -->", {i}));
        GeForceLog(Format("      Default min temp=%d", {static_cast<std::int32_t>(s[1])}));
        GeForceLog(Format("      Default max temp=%d", {static_cast<std::int32_t>(s[2])}));
        GeForceLog("      Target=" + NvThermalTargetText(s[4]));
        GeForceLog("      Controller=" + NvThermalControllerText(s[0]));
        GeForceLog(Format("      Current temp=%d", {static_cast<std::int32_t>(s[3])}));
    }
    const TNvApiFunctions& f = NvApi();
    const nv::Handle gpu = NVApiCards()[static_cast<std::size_t>(FNvApiIndex)].GpuHandle;
    namespace r = nv::record;
    if (f.GetTachReading) {
        std::uint32_t value = 0;
        const auto status = f.GetTachReading(gpu, &value);
        GeForceLog(Format("      Current fan speed=%d  (answer=%d)", {value, status}));
    }
    if (f.GetCoolerSettings) {
        std::vector<std::uint8_t> record(r::SizeOf(r::CoolerSettings), 0);
        platform::putDWord(record.data(), 0, r::CoolerSettings);
        const auto status = f.GetCoolerSettings(gpu, 7, record.data());
        GeForceLog(Format("    GetCoolerSettings (answer=%d)", {status}));
        if (status == 0) {
            const std::uint32_t count = std::min<std::uint32_t>(platform::getDWord(record.data(), r::CoolerCount), r::MaxCoolers);
            GeForceLog(Format("      Coolers=%d", {count}));
            for (std::uint32_t i = 0; i < count; ++i) {
                const auto field = [&](std::size_t k) { return platform::getDWord(record.data(), r::Coolers + i * r::CoolerSize + 4 * k); };
                GeForceLog(Format("      Cooler %d -->", {i}));
                GeForceLog("        Type=" + NvCoolerTypeText(field(0)));
                GeForceLog("        Controller=" + NvCoolerControllerText(field(1)));
                GeForceLog(Format("        Default min=%d%% - max=%d%%", {field(2), field(3)}));
                GeForceLog(Format("        Current min=%d%% - max=%d%% - now=%d%%", {field(4), field(5), field(6)}));
                GeForceLog("        Policy default=" + NvCoolerPolicyText(field(7)) + " - current=" + NvCoolerPolicyText(field(8)));
                GeForceLog("        Target=" + NvCoolerTargetText(field(9)));
            }
        }
    }
    if (f.GetRamType) {
        std::uint32_t type = 0;
        const auto status = f.GetRamType(gpu, &type);
        GeForceLog(Format("    GetRamType (answer=%d)", {status}));
        if (status == 0) GeForceLog("      RAM type=" + RamTypeText(type));
    }
    if (f.GetVoltages) {
        std::vector<std::uint8_t> record(r::SizeOf(r::Voltages), 0);
        platform::putDWord(record.data(), 0, r::Voltages);
        const auto status = f.GetVoltages(gpu, record.data());
        GeForceLog(Format("    GetVoltages (answer=%d)", {status}));
        if (status != 0) return;
        const std::uint32_t domains = std::min<std::uint32_t>(platform::getDWord(record.data(), r::VoltageDomainCount), r::MaxVoltageDomains);
        for (std::uint32_t d = 0; d < domains; ++d) {
            const std::uint8_t* domain = record.data() + r::VoltageDomains + d * r::VoltageDomainSize;
            const std::uint32_t id = platform::getDWord(domain, 0);
            GeForceLog("      Domain=" + (id == 0 ? std::string("core") : Format("unknown (%d)", {id})));
            const std::uint32_t entries = std::min<std::uint32_t>(platform::getDWord(domain, r::VoltageEntryCount), r::MaxVoltageEntries);
            for (std::uint32_t e = 0; e < entries; ++e)
                GeForceLog(Format("        Voltage=%d", {platform::getDWord(domain, r::VoltageEntries + e * r::VoltageEntrySize + 4)}));
        }
    }
}
