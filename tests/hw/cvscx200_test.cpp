// The ACCESS.bus state machine against the controller model: port sequences
// as the controller sees them, and the outcome codes a link makes of them.

#include "hw/cvscx200.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "hw/cvsmbushost.h"
#include "hwfixture.h"
#include "platform/sim/accessbus.h"

namespace {

using platform::sim::AccessBus;
using platform::sim::I2CSlaves;
using platform::sim::SMBusSlave;
using Sequence = std::vector<std::string>;

constexpr std::uint16_t Base = 0x6000;

class Geode : public HwTest {
protected:
    Geode() {
        IOPort = std::make_unique<TIOPort>();
        bus = AccessBus::install(machine().ports(), Base, slaves);
        slaves->attach(0x2C, std::make_shared<SMBusSlave>());
        slaves->attach(0x4C, sensor);
        sensor->registers().set(0x10, 0x5A);
        machine().ports().recorder().clear();
    }

    // "R1=42" reads port base+1 and got 42h; "W3=01" writes 01h to base+3.
    Sequence accesses() {
        Sequence out;
        for (const auto& a : machine().ports().recorder().accesses()) {
            if (a.port < Base || a.port > Base + 5) continue;
            char text[16];
            std::snprintf(text, sizeof text, "%c%d=%02X", a.isWrite ? 'W' : 'R', a.port - Base, a.value);
            out.push_back(text);
        }
        return out;
    }

    std::shared_ptr<I2CSlaves> slaves = std::make_shared<I2CSlaves>();
    std::shared_ptr<SMBusSlave> sensor = std::make_shared<SMBusSlave>();
    std::shared_ptr<AccessBus> bus;
    TSCx200 scx{Base};
};

const Sequence ResetTail = {"W5=70", "W3=00", "W4=00", "R5=70", "W5=71", "R3=00", "W3=00",
                            "R3=00", "W3=02", "W1=38", "R2=00", "W2=02"};

TEST_F(Geode, QuickWrite) {
    ASSERT_TRUE(scx.Transaction(0x2C, SMBusProtocols::Quick, false, 0, 0, 0, {}));
    EXPECT_EQ(scx.Result, 0);
    EXPECT_EQ(accesses(), (Sequence{"R3=00", "W3=01",          // start
                                    "R1=42", "W1=00", "W0=58",  // QUICK: address
                                    "R1=42", "W1=00",           // WRITE: nothing left
                                    "R3=00", "W3=02"}));        // stop
    EXPECT_EQ(scx.State, TSCx200::IDLE);
    EXPECT_FALSE(scx.Busy);
}

TEST_F(Geode, ByteDataRead) {
    ASSERT_TRUE(scx.Transaction(0x4C, SMBusProtocols::ByteData, true, 0x10, 0, 0, {}));
    EXPECT_EQ(scx.Buffer, (TSMBBlockData{0x5A}));
    EXPECT_EQ(accesses(), (Sequence{"R3=00", "W3=01",                    // start
                                    "R1=42", "W1=00", "W0=98",            // ADDRESS
                                    "R1=42", "W1=00", "W0=10",            // COMMAND
                                    "R1=42", "W1=00", "R3=00", "W3=01",   // REPEATSTART
                                    "R3=00", "W3=10", "W0=99",            // NACK the only byte
                                    "R1=42", "W1=00", "R3=10", "W3=10",   // READ
                                    "R0=5A", "R3=10", "W3=12"}));         // byte, stop
}

TEST_F(Geode, WordWriteSendsData0First) {
    ASSERT_TRUE(scx.Transaction(0x4C, SMBusProtocols::WordData, false, 0x20, 0x12, 0x34, {}));
    EXPECT_EQ(sensor->registers().peek(0x20), 0x12);
    EXPECT_EQ(sensor->registers().peek(0x21), 0x34);
    const Sequence seq = accesses();
    const Sequence data(seq.end() - 10, seq.end());
    EXPECT_EQ(data, (Sequence{"R1=42", "W1=00", "W0=12", "R1=42", "W1=00", "W0=34", "R1=42", "W1=00", "R3=00",
                              "W3=02"}));
}

TEST_F(Geode, AddressNackStopsWithoutReset) {
    EXPECT_FALSE(scx.Transaction(0x2D, SMBusProtocols::Quick, false, 0, 0, 0, {}));
    EXPECT_EQ(scx.Result, TSCx200::NoAcknowledge);
    EXPECT_EQ(accesses(), (Sequence{"R3=00", "W3=01", "R1=42", "W1=00", "W0=5A", "R1=12", "W1=00", "R3=00", "W3=02",
                                    "W1=18", "W1=00"}));
}

TEST_F(Geode, NoStatusTimesOutAndResets) {
    bus->setFault(AccessBus::Fault::NoStatus);
    EXPECT_FALSE(scx.Transaction(0x2C, SMBusProtocols::Quick, false, 0, 0, 0, {}));
    EXPECT_EQ(scx.Result, TSCx200::TimedOut);
    const Sequence seq = accesses();
    ASSERT_EQ(seq.size(), 2 + 2 * 10000 + ResetTail.size());
    EXPECT_EQ(Sequence(seq.end() - ResetTail.size(), seq.end()), ResetTail);
    EXPECT_FALSE(scx.Busy);
}

TEST_F(Geode, BusErrorAndLostMastershipReset) {
    for (const auto fault : {AccessBus::Fault::BusError, AccessBus::Fault::LostMastership}) {
        bus->setFault(fault, 1);
        IOPort->WritePortByte(Base + 2, 0);  // what the last reset set
        machine().ports().recorder().clear();
        EXPECT_FALSE(scx.Transaction(0x2C, SMBusProtocols::Quick, false, 0, 0, 0, {}));
        EXPECT_EQ(scx.Result, TSCx200::Failed);
        const Sequence seq = accesses();
        EXPECT_EQ(Sequence(seq.end() - ResetTail.size(), seq.end()), ResetTail);
        EXPECT_TRUE(scx.Transaction(0x2C, SMBusProtocols::Quick, false, 0, 0, 0, {})) << "usable after the reset";
    }
}

TEST_F(Geode, UnknownProtocolAndReentryTouchNothing) {
    EXPECT_FALSE(scx.Transaction(0x2C, 5, false, 0, 0, 0, {}));
    EXPECT_EQ(scx.Result, TSCx200::Unsupported);
    scx.Buffer = {0xAB};
    scx.Busy = true;  // a transaction is running
    EXPECT_FALSE(scx.Transaction(0x4C, SMBusProtocols::ByteData, true, 0x10, 0, 0, {}));
    EXPECT_EQ(scx.Result, TSCx200::Failed);
    EXPECT_EQ(scx.Buffer, (TSMBBlockData{0xAB})) << "the running transaction's buffer";
    EXPECT_TRUE(accesses().empty());
}

TEST_F(Geode, QuickReadEndsAfterTheAddress) {
    ASSERT_TRUE(scx.Transaction(0x2C, SMBusProtocols::Quick, true, 0, 0, 0, {}));
    EXPECT_TRUE(scx.Buffer.empty());
    EXPECT_EQ(accesses(), (Sequence{"R3=00", "W3=01", "R1=42", "W1=00", "R3=00", "W3=00", "W0=59", "R1=42", "W1=00",
                                    "R3=00", "W3=02"}));
}

// ---- through a link -------------------------------------------------------------------

struct GeodeOutcome {
    const char* name;
    int address;
    AccessBus::Fault fault;
    bool ok;
    std::uint8_t lastError;
    std::vector<std::string> log;
};

class GeodeLink : public Geode, public ::testing::WithParamInterface<GeodeOutcome> {};

TEST_P(GeodeLink, ResultIsMapped) {
    const GeodeOutcome& c = GetParam();
    TLink link(13, LinkKinds::SMBus, HostKinds::GeodeCompanion, Base, 1);
    std::vector<std::string> log;
    link.SetOnLog([&](TLink&, const std::string& msg) { log.push_back(msg); });
    bus->setFault(c.fault);
    EXPECT_EQ(link.Transaction(c.address, SMBusProtocols::ByteData, true, 0x10, 0, 0), c.ok);
    EXPECT_EQ(link.LastError(), c.lastError);
    EXPECT_EQ(log, c.log);
    if (c.ok) {
        EXPECT_EQ(link.ResultByte(), 0x5A);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeodeLink,
    ::testing::Values(GeodeOutcome{"Success", 0x4C, AccessBus::Fault::None, true, 0, {}},
                      GeodeOutcome{"Nack", 0x4D, AccessBus::Fault::None, false, SMBusErrors::Protocol, {}},
                      GeodeOutcome{"Timeout", 0x4C, AccessBus::Fault::NoStatus, false, SMBusErrors::Timeout,
                                   {"SMBus Timeout! $4C"}},
                      GeodeOutcome{"BusError", 0x4C, AccessBus::Fault::BusError, false, SMBusErrors::Unknown, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Geode, LinkWordReadGivesBothBytesAndCountsNoWait) {
    sensor->registers().set(0x11, 0xC3);
    TLink link(13, LinkKinds::SMBus, HostKinds::GeodeCompanion, Base, 1);
    std::uint16_t word = 0;
    ASSERT_TRUE(link.ReadWordData(0x4C, 0x10, word));
    EXPECT_EQ(word, 0x5AC3);
    EXPECT_EQ(link.PollCount(), 1u);
    EXPECT_EQ(link.MaxPolls(), TSMBusHost::PollLimit);
    EXPECT_EQ(machine().simClock().monotonicMs(), 0u) << "no sleep before the end step";
}

}  // namespace
