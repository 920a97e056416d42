#pragma once
// Detection against simulated Super I/O chips: the first link ("ISA BUS" at
// 290h) as the start-up makes it, a detection context, an SMBus link on the
// machine's own segment, and the recorded Super I/O chip reset around each test.

#include <memory>
#include <string>
#include <vector>

#include "detect/cvdetect.h"
#include "detect/cvdetectcontext.h"
#include "detect/detectfixture.h"
#include "hw/cvsuperioinfo.h"

class SuperIOTest : public DetectTest {
protected:
    SuperIOTest() {
        SuperIOInfo = {};
        AddLink("ISA BUS", 2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0, 0, 0, 0);
        boxes.Info.clear();
        clearTrace();
    }
    ~SuperIOTest() override { SuperIOInfo = {}; }

    void load(const std::string& json) { machine().loadFromJson(json, "test board"); }
    platform::sim::RegisterFile& regs(const std::string& name) { return *machine().registerFile(name); }
    TLink& link(int index) const { return *Links().at(static_cast<std::size_t>(index)); }
    int lastLink() const { return static_cast<int>(Links().size()) - 1; }
    // An SMBus link over the machine's segment, where the board's twins sit.
    int addMachineSMBusLink() {
        Links().push_back(std::make_unique<TLink>(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                                                  testsupport::SimProtocolHost::On(machine().protocolSMBus())));
        link(lastLink()).UpdateName();
        return lastLink();
    }
    // Only the first link, no sensors, empty boxes: the next case starts clean.
    void restart() {
        monitor.Sensors.clear();
        monitor.SensorInUse.clear();
        Links().resize(1);
        link(0).UnregisterAddress(0x290);
        boxes.Info.clear();
        boxes.Readings.clear();
    }
    bool debugHas(const std::string& line) const { return has(boxes.Info, line); }
    bool bothHave(const std::string& line) const { return has(boxes.Info, line) && has(boxes.Readings, line); }
    // The configuration-port writes, as (port, value), in order.
    std::vector<std::pair<int, int>> configWrites(std::uint16_t port) {
        std::vector<std::pair<int, int>> writes;
        for (const auto& a : machine().ports().recorder().accessesTo(port, static_cast<std::uint16_t>(port + 1)))
            if (a.isWrite) writes.emplace_back(a.port, static_cast<int>(a.value));
        return writes;
    }

    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};
