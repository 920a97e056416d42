#pragma once
// A sensor whose readings a test chooses: named readings of each kind, and
// the values the next read delivers.

#include <map>
#include <span>
#include <memory>
#include <string>
#include <vector>

#include "core/cvreadingslots.h"
#include "core/cvsensors.h"

namespace coretest {

struct TFakeReadings {
    std::vector<std::string> Temps, Fans, Pwms, Volts;
};

class TFakeSensor : public TSensor {
public:
    TFakeSensor(const std::string& chipName, std::uint32_t address, const TFakeReadings& readings,
                TSensorLogEvent onLog = {}, TLink* link = nullptr)
        : TSensor(link, address, 0, std::move(onLog), "", "", "") {
        FChipName = chipName;
        for (auto [list, names] : {std::pair{&FTemps, &readings.Temps}, std::pair{&FFans, &readings.Fans},
                                   std::pair{&FPwms, &readings.Pwms}, std::pair{&FVolts, &readings.Volts}}) {
            for (const auto& name : *names) list->push_back(TReading{name, nullptr});
        }
        FinishReadingSetup();
    }

    // One sample per reading of that kind.
    void Sample(TReadingKind kind, std::vector<double> values) {
        next_[kind] = std::move(values);
        switch (kind) {
        case TReadingKind::Temp: ReadTemps(); break;
        case TReadingKind::Fan: ReadFans(); break;
        case TReadingKind::Pwm: ReadPwms(); break;
        case TReadingKind::Volt: ReadVolts(); break;
        }
    }

protected:
    void ReadTempsInternal(std::span<double> values) override { Fill(TReadingKind::Temp, values); }
    void ReadFansInternal(std::span<double> values) override { Fill(TReadingKind::Fan, values); }
    void ReadPwmsInternal(std::span<double> values) override { Fill(TReadingKind::Pwm, values); }
    void ReadVoltsInternal(std::span<double> values) override { Fill(TReadingKind::Volt, values); }

private:
    void Fill(TReadingKind kind, std::span<double> values) {
        const auto& next = next_[kind];
        for (std::size_t i = 0; i < values.size() && i < next.size(); ++i) values[i] = next[i];
    }
    std::map<TReadingKind, std::vector<double>> next_;
};

inline TFakeSensor& AddFakeSensor(TSensorList& sensors, const std::string& chipName, const TFakeReadings& readings) {
    auto sensor = CreateSensor<TFakeSensor>(chipName, 0x290, readings);
    auto& ref = *sensor;
    sensors.push_back(std::move(sensor));
    return ref;
}

}  // namespace coretest
