// What the disk sensors cost on their reading ticks, against simulated
// disks: the advanced sensor's read (two pages, rating, temperature) and the
// SCSI sensor's read (one LOG SENSE).

#include <benchmark/benchmark.h>

#include "chips/cvsensorscsi.h"
#include "chips/cvsensorssmart.h"
#include "disks/cvadvsmart.h"
#include "disks/cvhdfinder.h"
#include "platform/sim/machine.h"
#include "platform/sim/simdisk.h"

namespace {

void BM_AdvSmartSensorRead(benchmark::State& state) {
    platform::sim::Machine machine;
    platform::ScopedPlatform scope(machine);
    machine.loadFromJson(R"({"disks": {"d0": {"model": "ST3500418AS", "serial": "9VM1ABCD", "sectors": 976773168,
        "lba48": true, "attributes": [{"id": 1, "value": 117}, {"id": 5, "value": 100, "raw": "0x2"},
        {"id": 9, "value": 82}, {"id": 194, "value": 36, "raw": "0x24"}],
        "thresholds": [6, 36, 0, 0], "temperature": [36, 37, 38], "physical": {"drive": 0}}}})",
                         "bench.json");
    FoundDisks.push_back(std::make_shared<TSmartHardDiskPhysical>("\\\\.\\PhysicalDrive0", AccessPhysical));
    const auto sensor = CreateSensor<TAdvSMARTSensor>(nullptr, 0, TAdvSMARTSensor::ChipCode, TSensorLogEvent{}, "", "", "");
    auto& recorder = machine.disks().recorder();
    for (auto _ : state) {
        sensor->ReadTemps();
        recorder.clear();  // a bench run is not a test: keep the recorder small
    }
    FoundDisks.clear();
}
BENCHMARK(BM_AdvSmartSensorRead);

void BM_ScsiSensorRead(benchmark::State& state) {
    platform::sim::Machine machine;
    platform::ScopedPlatform scope(machine);
    machine.loadFromJson(R"({"disks": {"s": {"model": "", "physical": {"drive": 0, "smartCodes": false,
        "ataPassThrough": false}, "scsiTarget": {"vendor": "SEAGATE", "product": "ST336753LW", "revision": "0006",
        "pages": {"0x0D": {"parameters": [{"code": "0x0000", "size": 2, "value": "0x29"},
                                          {"code": "0x0001", "size": 2, "value": "0x41"}]}}}}}})",
                         "bench.json");
    const auto sensor = CreateSensor<TSCSISensor>(nullptr, 0, TSCSISensor::ChipCode, TSensorLogEvent{}, "", "", "");
    auto& recorder = machine.disks().recorder();
    for (auto _ : state) {
        sensor->ReadTemps();
        recorder.clear();
    }
}
BENCHMARK(BM_ScsiSensorRead);

}  // namespace
