#include "chips/cvsensoruguru.h"

#include <algorithm>
#include <cstdint>

#include "base/cvformat.h"
#include "core/cvtext.h"

using cvformat::Format;

namespace {

constexpr std::uint8_t FanIndexShift = 16;  // older generations number fans from 16 in the tables
constexpr std::uint8_t CmdConfiguration = 0x65;
constexpr std::uint8_t CmdConfigurationBlock = 0x63;
constexpr int ConfigurationReply = 256;
constexpr int ConfigurationBlocks = 7;
constexpr std::size_t BytesPerLine = 8;

std::string HexBytes(const TMyByteArray& bytes, std::size_t first = 0, std::size_t count = SIZE_MAX) {
    std::string out;
    for (std::size_t i = first; i < bytes.size() && i - first < count; ++i) out += Format("%.2x ", {static_cast<int>(bytes[i])});
    return Trim(out);
}

void NameReadings(TTreadingArray& readings, const std::vector<TMyUGuruItemData>& items) {
    readings.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) readings[i].Name = items[i].Name;
}

}  // namespace

TUGuruSensor::TUGuruSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                           std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FGuru(std::make_unique<TUGuru>()) {
    if (!FGuru->Matched()) {
        FGuru.reset();
        FinishReadingSetup();
        return;
    }
    std::string model = FGuru->Model();
    std::replace(model.begin(), model.end(), ' ', '-');
    FChipName = "uGuru" + model;
    const bool olderGeneration = FGuru->Generation() < 3;
    for (int i = 0; i < FGuru->GetItemCount(); ++i) {
        const TUGItemParms& p = FGuru->GetItemParms(i);
        TMyUGuruItemData item{p.Index, p.Name, p.Multiplier, p.Divisor};
        switch (p.Kind) {
        case 1: FTempItems.push_back(item); break;
        case 2: FVoltItems.push_back(item); break;
        case 3:
            if (olderGeneration) item.Index = static_cast<std::uint8_t>(item.Index - FanIndexShift);
            FFanItems.push_back(item);
            break;
        default: break;
        }
    }
    NameReadings(FTemps, FTempItems);
    NameReadings(FFans, FFanItems);
    NameReadings(FVolts, FVoltItems);
    FinishReadingSetup();
}

TUGuruSensor::~TUGuruSensor() = default;

void TUGuruSensor::ReadItems(const std::vector<TMyUGuruItemData>& items, TItemRead how, bool scaled,
                             std::span<double> values) {
    if (!FGuru) return;
    const bool ver3 = FGuru->Generation() >= 3;
    const TMyByteArray block = ver3 ? FGuru->GetVer3SensorData() : TMyByteArray{};
    for (std::size_t k = 0; k < items.size() && k < values.size(); ++k) {
        const TMyUGuruItemData& item = items[k];
        std::int32_t raw = 0;
        if (ver3) {
            if (item.Index >= block.size()) continue;
            raw = block[item.Index];
        } else {
            TMyByteArray value, settings1, settings2;
            if (how == TItemRead::Fan) FGuru->ReadFanItem(item.Index, value, settings1, settings2);
            else FGuru->ReadSensorItem(item.Index, value, settings1, settings2);
            if (value.empty()) continue;
            raw = value[0];
        }
        values[k] = scaled ? static_cast<double>(raw * item.Multiplier) / item.Divisor : raw;
    }
}

void TUGuruSensor::ReadTempsInternal(std::span<double> values) {
    ReadItems(FTempItems, TItemRead::Sensor, false, values);
}

void TUGuruSensor::ReadFansInternal(std::span<double> values) { ReadItems(FFanItems, TItemRead::Fan, true, values); }

void TUGuruSensor::ReadVoltsInternal(std::span<double> values) {
    ReadItems(FVoltItems, TItemRead::Sensor, true, values);
}

void TUGuruSensor::AddOlderItemLines(std::vector<std::string>& lines, TItemRead how, int count, const char* picture) {
    for (int i = 0; i < count; ++i) {
        TMyByteArray value, settings1, settings2;
        const auto item = static_cast<std::uint8_t>(i);
        if (how == TItemRead::Fan) FGuru->ReadFanItem(item, value, settings1, settings2);
        else FGuru->ReadSensorItem(item, value, settings1, settings2);
        const int byte = value.empty() ? 0 : value[0];
        lines.push_back(Format(picture, {i, byte}) + HexBytes(settings2) + ")");
    }
}

void TUGuruSensor::AddConfigurationLines(std::vector<std::string>& lines) {
    TMyByteArray reply;
    FGuru->SendCommand(CmdConfiguration, {}, ConfigurationReply, reply);
    lines.push_back("Current configuration is #" + HexBytes(reply));
    for (int i = 0; i < ConfigurationBlocks; ++i) {
        FGuru->SendCommand(CmdConfigurationBlock, {static_cast<std::uint8_t>(i)}, ConfigurationReply, reply);
        lines.push_back(Format("OC#%d len is %d", {i, static_cast<int>(reply.size())}));
        for (std::size_t at = 0; at < reply.size(); at += BytesPerLine)
            lines.push_back(Format("OC[+%.3d]=", {static_cast<int>(at)}) + HexBytes(reply, at, BytesPerLine));
    }
}

void TUGuruSensor::AddBlockLines(std::vector<std::string>& lines) {
    const TMyByteArray block = FGuru->GetVer3SensorData();
    lines.push_back(Format("Abit uGuru BoardId=$%.4x", {static_cast<int>(FGuru->BoardId())}));
    lines.push_back("Abit uGuru LastSensorData -->");
    for (std::size_t at = 0; at < block.size(); at += BytesPerLine)
        lines.push_back(Format("[%.2x]: ", {static_cast<int>(at)}) + HexBytes(block, at, BytesPerLine));
}

std::string TUGuruSensor::GetDebugInfoInternal() {
    std::vector<std::string> lines;
    if (const std::string base = TSensor::GetDebugInfoInternal(); !base.empty()) lines.push_back(base);
    if (FGuru) {
        if (FGuru->Generation() < 3) {
            AddOlderItemLines(lines, TItemRead::Sensor, 16, "I%.2x=$%.2x (");
            AddOlderItemLines(lines, TItemRead::Fan, 6, "F%.2x=$%.2x (");
        }
        if (FGuru->Generation() == 2) AddConfigurationLines(lines);
        if (FGuru->Generation() == 3) AddBlockLines(lines);
    }
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i == 0 ? "" : "\r\n") + lines[i];
    return text;
}
