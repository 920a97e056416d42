#pragma once
// The GL518SM and GL520SM SMBus monitors. A GL518SM of revision 00h cannot
// read three of its inputs; they are found by a binary search over its limit
// registers, watching the limit alarms, one step every 1450 ms on the GUI
// thread. The found values show once a search ends.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "core/cvpacedstep.h"
#include "core/cvsensors.h"

class TGLSensor : public TSensor {
public:
    static constexpr std::uint8_t GL518SM = 92;
    static constexpr std::uint8_t GL520SM = 93;
    static constexpr std::uint32_t SearchPaceMs = PacedStepIntervalMs;

    TGLSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
              std::string boardVendor, std::string boardProduct, std::string systemProduct);
    ~TGLSensor() override;

    // One step of the voltage search: start, narrow or finish.
    void VoltageSearchStep();
    static double GlFanRpm(int count, int divisor);

    bool Searching() const { return FPacer != nullptr; }

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;

private:
    std::optional<std::uint8_t> Read(std::uint8_t reg);
    void WriteLimit(int input, std::uint16_t word);
    void StartSearch(std::uint8_t alarms);

    std::unique_ptr<TPacedStep> FPacer;
    std::array<std::uint8_t, 3> SearchLow{};
    std::array<std::uint8_t, 3> SearchHigh{};
    std::array<std::optional<std::uint16_t>, 3> SavedLimits{};
    std::array<std::uint8_t, 3> SearchStep{};
    std::array<std::uint8_t, 3> SearchResult{};
    bool SearchActive = false;
    bool SearchDone = false;
    bool SearchFirstResult = true;
    std::optional<std::uint8_t> SavedReg10;
    std::optional<std::uint8_t> SavedReg11;
};
