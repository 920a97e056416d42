#pragma once
// Sensors for chips the program does not drive: the placeholder detection
// lists for a chip it found, and the watcher that samples every register of
// an unknown SMBus device so the report shows which ones count.

#include <array>
#include <bitset>
#include <cstdint>
#include <deque>

#include "core/cvsensors.h"

class TUnusedSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 2;

    TUnusedSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                  std::string boardVendor, std::string boardProduct, std::string systemProduct);

    // The only sensor whose name may change.
    void SetName(const std::string& newName) override;
};

class THeuristicSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 3;
    // The recent sequence each register keeps; older changes are forgotten
    // so a counter register cannot grow for the whole run.
    static constexpr std::size_t RecentLimit = 64;

    THeuristicSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                     std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadFansInternal(std::span<double> values) override;
    std::string GetDebugInfoInternal() override;

private:
    // What one register showed: each change is a sample.
    struct THistory {
        std::int64_t samples = 0;
        std::bitset<256> seen;
        std::deque<std::uint8_t> recent;
        void Add(std::uint8_t value);
    };

    std::int32_t FSampleCount = 0;
    std::array<THistory, 256> FHistory;
};
