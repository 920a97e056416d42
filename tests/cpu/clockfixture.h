#pragma once
// A clock chip at 69h on an SMBus segment answered at the protocol level, the
// link in front of it and a recorder of the clock's log lines. Each request
// on the segment notes how deep the SMBus lock was held.

#include <memory>
#include <string>
#include <vector>

#include "cpufixture.h"
#include "cpu/cvclocks.h"
#include "hw/cvbuslocks.h"
#include "platform/sim/smbussegment.h"
#include "support/simsmbushost.h"

class ClockTest : public CpuTest {
protected:
    static constexpr int Chip = 0x69;

    ClockTest() {
        InitializeBusLocks();
        segment.attach(Chip, slave);
        segment.setLockProbe([] { return std::vector<std::string>{std::to_string(BusLockCount(false))}; });
    }
    ~ClockTest() override { FinalizeBusLocks(); }

    std::unique_ptr<TClock> Make(std::uint8_t chipId, TLink* on) {
        auto clock = CreateClock(chipId, on, Chip);
        if (clock) clock->SetOnLog([this](TClock&, const std::string& msg, bool show) {
            log.push_back((show ? "+ " : "- ") + msg);
        });
        return clock;
    }
    std::unique_ptr<TClock> Make(std::uint8_t chipId) { return Make(chipId, &smbus); }

    // The blocks written to the chip, in order.
    std::vector<TSMBBlockData> Writes() const {
        std::vector<TSMBBlockData> writes;
        for (const auto& request : segment.requests())
            if (request.protocol == platform::sim::SMBusProtocol::Block && !request.read) writes.push_back(request.block);
        return writes;
    }
    // The SMBus lock's depth when request `index` started.
    int LockDepth(std::size_t index) const { return std::stoi(segment.locks().at(index).front()); }

    void FailBlocks() {
        slave->setFault({platform::sim::SMBusFault::Kind::Nack, -1}, platform::sim::SMBusProtocol::Block);
    }

    platform::sim::SMBusSegment segment;
    std::shared_ptr<platform::sim::SMBusSlave> slave = std::make_shared<platform::sim::SMBusSlave>();
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, testsupport::SimProtocolHost::On(segment)};
    std::vector<std::string> log;
};
