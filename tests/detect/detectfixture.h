#pragma once
// A monitor, its log boxes and a sensor factory over a fresh global link
// list, with SMBus links answered by a protocol-level segment.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/cvmonitor.h"
#include "detect/cvsensorfactory.h"
#include "hw/cvbuslocks.h"
#include "hw/cvdriver.h"
#include "hw/hwfixture.h"
#include "hw/cvsuperioinfo.h"
#include "platform/sim/smbussegment.h"
#include "support/simsmbushost.h"

// A chip class of the tests: a name, a reported SMBus address and properties.
class TTestChip : public TSensor {
public:
    TTestChip(TLink* link, std::uint32_t address, std::uint8_t code, TSensorLogEvent onLog, const std::string& vendor,
              const std::string& product, const std::string& system, std::string name, std::uint16_t reported)
        : TSensor(link, address, code, std::move(onLog), vendor, product, system), reported_(reported) {
        FChipName = std::move(name);
    }
    std::uint16_t GetReportedSMBus() override { return reported_; }

private:
    std::uint16_t reported_;
};

class DetectTest : public HwTest {
protected:
    DetectTest() {
        InitializeBusLocks();
        IOPort = std::make_unique<TIOPort>();
        Links().clear();
        SuperIOInfo = TSuperIOInfo{};  // the chip an earlier detection recorded
        monitor.Log.SetBoxes(&boxes);
        SetLinkRegistration(monitor.LinkRegistration());
    }
    ~DetectTest() override {
        monitor.Sensors.clear();
        Links().clear();
        SetLinkRegistration({});
        FinalizeBusLocks();
    }

    int addLink(std::uint8_t kind, std::uint8_t hostKind, std::uint32_t base) {
        Links().push_back(std::make_unique<TLink>(0, kind, hostKind, base, 0, TSMBusHostFactory{}));
        return static_cast<int>(Links().size() - 1);
    }
    int addSMBusLink() {
        Links().push_back(std::make_unique<TLink>(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                                                  testsupport::SimProtocolHost::On(segment)));
        return static_cast<int>(Links().size() - 1);
    }
    // Every code of Class makes a TTestChip with this name and reported address.
    void useChip(const std::string& className, const std::string& name, std::uint16_t reported = 0xFFFF) {
        factory.SetCreator(className, [name, reported](TLink* link, std::uint32_t address, std::uint8_t code,
                                                       TSensorLogEvent onLog, const std::string& vendor,
                                                       const std::string& product, const std::string& system) {
            return CreateSensor<TTestChip>(link, address, code, std::move(onLog), vendor, product, system, name,
                                           reported);
        });
    }
    bool registered(int linkIndex, int address) const {
        return !Links()[static_cast<std::size_t>(linkIndex)]->IsUnregisteredAddress(address);
    }
    static bool has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    bool tracedAll(const std::vector<std::string>& lines) const {
        return std::all_of(lines.begin(), lines.end(), [this](const std::string& l) { return traced(l); });
    }

    TMonitor monitor;
    TLogBoxRecorder boxes;
    TSensorFactory factory{monitor};
    platform::sim::SMBusSegment segment;
};
