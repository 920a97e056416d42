#pragma once
// A link of one host family against that family's simulated controller,
// with a slave at 2Dh behind it, the port recorder and the link's log.

#include <memory>
#include <string>
#include <vector>

#include "hw/cvdriver.h"
#include "hw/cvlink.h"
#include "hwfixture.h"
#include "platform/sim/smbus/hostmodel.h"

namespace smbustest {

using platform::sim::PortAccess;
inline PortAccess In(std::uint16_t port, std::uint32_t value, int width = 1) { return {port, width, value, false}; }
inline PortAccess Out(std::uint16_t port, std::uint32_t value, int width = 1) { return {port, width, value, true}; }

constexpr int Chip = 0x2D;

class HostTest : public HwTest {
protected:
    HostTest() {
        IOPort = std::make_unique<TIOPort>();
        slave->registers().set(0x05, 0x42);
        slave->registers().set(0x06, 0x12);
        slave->registers().set(0x07, 0x34);
        slave->setBlock({0xA1, 0xA2, 0xA3});
        segment->attach(Chip, slave);
    }

    // Puts a model on the ports and makes the link that drives it.
    template <class Model>
    Model& Use(std::shared_ptr<Model> model, std::uint8_t hostKind, std::uint8_t chipsetCode = 0) {
        platform::sim::installSMBusHost(machine().ports(), model, "host");
        MakeLink(hostKind, model->base(), chipsetCode);
        return *model;
    }
    void MakeLink(std::uint8_t hostKind, std::uint32_t base, std::uint8_t chipsetCode = 0) {
        link = std::make_unique<TLink>(chipsetCode, LinkKinds::SMBus, hostKind, base, 0);
        link->SetOnLog([this](TLink&, const std::string& msg) { log.push_back(msg); });
        ClearAccesses();
    }

    const std::vector<PortAccess>& Accesses() { return machine().ports().recorder().accesses(); }
    std::vector<PortAccess> Writes() {
        std::vector<PortAccess> writes;
        for (const auto& access : Accesses())
            if (access.isWrite) writes.push_back(access);
        return writes;
    }
    void ClearAccesses() { machine().ports().recorder().clear(); }
    bool Logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
    std::uint64_t ElapsedMs() { return machine().simClock().monotonicMs(); }

    // One transaction straight through the engine (no retries).
    bool Transact(std::uint8_t protocol, bool read, std::uint8_t command = 0, std::uint8_t data0 = 0,
                  std::uint8_t data1 = 0, const TSMBBlockData& block = {}) {
        return link->Transaction(Chip, protocol, read, command, data0, data1, block);
    }

    std::shared_ptr<platform::sim::SMBusSegment> segment = std::make_shared<platform::sim::SMBusSegment>();
    std::shared_ptr<platform::sim::SMBusSlave> slave = std::make_shared<platform::sim::SMBusSlave>();
    std::unique_ptr<TLink> link;
    std::vector<std::string> log;
};

}  // namespace smbustest
