// The xAP status is built on every 10th main tick: with a full machine's
// slots it must stay far below a tick's budget.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "core/fakesensor.h"
#include "platform/sim/machine.h"
#include "net/cvxap.h"

namespace {

struct TBenchReadings {
    TBenchReadings() {
        coretest::TFakeReadings names;
        for (int i = 0; i < 40; ++i) names.Temps.push_back("Temperature " + std::to_string(i));
        for (int i = 0; i < 20; ++i) names.Fans.push_back("Fan " + std::to_string(i));
        auto& sensor = coretest::AddFakeSensor(sensors, "bench", names);
        sensor.Sample(TReadingKind::Temp, std::vector<double>(40, 41.5));
        sensor.Sample(TReadingKind::Fan, std::vector<double>(20, 2500));
        for (int i = 0; i < 40; ++i) {
            TTempReadingData& slot = readingSlots.TempSlots.emplace_back();
            slot.Name = names.Temps[static_cast<std::size_t>(i)];
            slot.SensorIndex = 0;
            slot.ReadingIndex = i + 1;
        }
        for (int i = 0; i < 20; ++i) {
            TReadingData& slot = readingSlots.FanSlots.emplace_back();
            slot.Name = names.Fans[static_cast<std::size_t>(i)];
            slot.SensorIndex = 0;
            slot.ReadingIndex = i + 1;
        }
    }
    platform::sim::Machine machine;
    platform::ScopedPlatform scope{machine};
    TSensorList sensors;
    TReadingSlots readingSlots;
};

void BM_BuildPCStatusMessage(benchmark::State& state) {
    int argc = 1;
    char name[] = "bench_report";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    TBenchReadings readings;
    TCaldavorXAP xap(readings.readingSlots, readings.sensors);
    for (auto _ : state) benchmark::DoNotOptimize(xap.BuildPCStatusMessage(3));
}
BENCHMARK(BM_BuildPCStatusMessage);

}  // namespace
