#pragma once
// The detection fixture with a detection engine bound to the monitor's sinks,
// an SMBus link named as registration names it, and slaves built in code.

#include <memory>
#include <string>
#include <vector>

#include "detect/cvdetect.h"
#include "detect/cvdetectcontext.h"
#include "detect/detectfixture.h"

class ProbeTest : public DetectTest {
protected:
    ProbeTest() {
        smbus = addSMBusLink();
        Links()[static_cast<std::size_t>(smbus)]->UpdateName();
    }

    // A byte-register slave at Address with the registers given.
    std::shared_ptr<platform::sim::SMBusSlave> attach(std::uint8_t address,
                                                      std::vector<std::pair<std::uint8_t, std::uint16_t>> regs = {}) {
        auto slave = std::make_shared<platform::sim::SMBusSlave>();
        for (const auto& [reg, value] : regs) slave->registers().set(reg, value);
        segment.attach(address, slave);
        return slave;
    }
    TLink& link(int index) const { return *Links()[static_cast<std::size_t>(index)]; }
    std::string name(int index) const { return link(index).DisplayName(); }
    // Byte writes of one register, in order.
    std::vector<int> writesTo(std::uint8_t reg) const {
        std::vector<int> values;
        for (const auto& r : segment.requests()) {
            if (r.protocol == platform::sim::SMBusProtocol::ByteData && !r.read && r.command == reg)
                values.push_back(r.data0);
        }
        return values;
    }

    int smbus = -1;
    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};
