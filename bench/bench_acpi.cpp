// ACPI through the simulated ACPI driver: one evaluation (building the input
// block, the device's answer, decoding), and one tick of the ACPI sensors:
// two thermal zones, and a 12-item ATK0110 device.

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>

#include "chips/cvsensorsacpi.h"
#include "firmware/cvacpi.h"
#include "hw/cvdriver.h"
#include "hw/cvosinfo.h"
#include "platform/sim/boardreader.h"
#include "platform/sim/machine.h"
#include "platform/sim/simacpi.h"

namespace {

const std::string Boards = CALDAVOR_BOARDS_DIR "/acpi/";

// GGRP(6) lists four temperatures, four fans and four voltages.
std::shared_ptr<platform::sim::SimAcpiMethods> TwelveItems() {
    nlohmann::json methods, names = nlohmann::json::array(), gitm = nlohmann::json::array();
    const struct {
        int type, value, low, high;
    } kinds[] = {{3, 450, 0, 900}, {4, 2500, 600, 7200}, {2, 3300, 2970, 660}};
    for (const auto& k : kinds) {
        for (int i = 0; i < 4; ++i) {
            const int id = k.type << 16 | i;
            const std::string name = "I" + std::to_string(k.type) + "_" + std::to_string(i);
            names.push_back(name);
            methods[name] = {{"package", {id, name + " Item", 0, k.value, k.low, k.high, 1}}};
            const int v = k.value;
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "01 00 00 00 %02X %02X 00 00", v & 0xFF, v >> 8);
            gitm.push_back({{"args", {id}}, {"answer", {{"buffer", buffer}}}});
        }
    }
    methods["GGRP"] = {{"args", {6}}, {"answer", {{"package", names}}}};
    methods["GITM"] = gitm;
    const std::string source = "bench";
    return platform::sim::loadAcpiMethods(platform::sim::BoardNode(&methods, source, ""));
}

class AcpiBench {
public:
    explicit AcpiBench(const std::string& board) : scope_(machine_) {
        const auto path = std::filesystem::temp_directory_path() / "caldavor-bench-acpi";
        std::filesystem::create_directories(path);
        ProgramDir = path.string() + "/";
        machine_.loadFromFile(Boards + board);
        InitializeCvosinfo();
        IOPort = std::make_unique<TIOPort>();
    }
    ~AcpiBench() {
        IOPort.reset();
        OperatingSystem.reset();
    }
    platform::sim::Machine& machine() { return machine_; }

private:
    platform::sim::Machine machine_;
    platform::ScopedPlatform scope_;
};

void BM_AcpiEvaluation(benchmark::State& state) {
    AcpiBench bench("atk0110-method3.json");
    auto device = platform::current().openDevice("\\\\.\\caldavor\\Device\\00000045").device;
    TAcpiVariantArray results;
    for (auto _ : state) {
        EVAL(device.get(), "GGRP", {TAcpiVariant::OfInt(6)}, results, nullptr, false);
        benchmark::DoNotOptimize(results.data());
        bench.machine().namespaceLog().requests.clear();
    }
}
BENCHMARK(BM_AcpiEvaluation);

void BM_ThermalZonesTick(benchmark::State& state) {
    AcpiBench bench("thermalzones.json");
    auto sensor = CreateSensor<TACPISensor>(nullptr, 0, TACPISensor::ChipCode, nullptr, "", "", "");
    for (auto _ : state) {
        sensor->ReadTemps();
        bench.machine().namespaceLog().requests.clear();
    }
}
BENCHMARK(BM_ThermalZonesTick);

void BM_ATK0110Tick(benchmark::State& state) {
    AcpiBench bench("atk0110-method3.json");
    bench.machine().devices()[0].acpiMethods = TwelveItems();
    auto sensor = CreateSensor<TATK0110Sensor>(nullptr, 0, TATK0110Sensor::ChipCode, nullptr, "", "", "");
    if (sensor->Method != 3) state.SkipWithError("the ATK0110 did not take method 3");
    for (auto _ : state) {
        sensor->ReadTemps();
        sensor->ReadFans();
        sensor->ReadVolts();
        bench.machine().namespaceLog().requests.clear();
    }
}
BENCHMARK(BM_ATK0110Tick);

}  // namespace
