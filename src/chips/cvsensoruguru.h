#pragma once
// The uGuru sensor: the matched board's items as temperature, fan and voltage
// readings, read from the uGuru3 sensor block or item by item on the older
// generations, through the sensor's own uGuru access object.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/cvsensors.h"
#include "firmware/uguru.h"

struct TMyUGuruItemData {
    std::uint8_t Index = 0;  // uGuru3: offset in the sensor block; older: item number
    std::string Name;
    std::int32_t Multiplier = 1;
    std::int32_t Divisor = 1;
};

class TUGuruSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 198;
    TUGuruSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                 std::string boardVendor, std::string boardProduct, std::string systemProduct);
    ~TUGuruSensor() override;

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    std::string GetDebugInfoInternal() override;

private:
    enum class TItemRead { Sensor, Fan };
    // One value per item: block[index] on uGuru3, else the item's value byte;
    // scaled when asked. An item whose transaction brought no value byte is skipped.
    void ReadItems(const std::vector<TMyUGuruItemData>& items, TItemRead how, bool scaled, std::span<double> values);
    void AddOlderItemLines(std::vector<std::string>& lines, TItemRead how, int count, const char* picture);
    void AddConfigurationLines(std::vector<std::string>& lines);
    void AddBlockLines(std::vector<std::string>& lines);

    std::unique_ptr<TUGuru> FGuru;  // null when no board matched
    std::vector<TMyUGuruItemData> FTempItems;
    std::vector<TMyUGuruItemData> FVoltItems;
    std::vector<TMyUGuruItemData> FFanItems;
};
