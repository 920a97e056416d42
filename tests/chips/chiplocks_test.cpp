// Every public operation of every code of every register chip, on an ISA
// link and on an SMBus link, under the machine's lock recorder: each port
// access holds the ISA bus lock, each SMBus request the SMBus lock, and no
// lock is left taken after any operation.

#include <gtest/gtest.h>

#include <functional>

#include "chips/chipcodes.h"
#include "chips/chipsfixture.h"
#include "platform/sim/indexdataport.h"
#include "support/simsmbushost.h"

namespace {

constexpr int Chip = 0x2D;
constexpr std::uint16_t IsaBase = 0x290;
constexpr std::int32_t ConfigPort = 0x2E;

class ChipLocks : public ChipTest {
protected:
    ChipLocks() {
        for (int reg = 0; reg < 256; ++reg)
            registers->set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>((reg * 0x9D + 0x35) & 0xFF));
        platform::sim::IndexDataPort::install(machine().ports(), registers, IsaBase + 5, IsaBase + 6, "monitor");
        machine().protocolSMBus().attach(Chip, std::make_shared<platform::sim::SMBusSlave>(registers));
    }

    // Runs one operation and checks every access it made.
    void Check(const std::string& what, const std::function<void()>& operation) {
        auto& ports = machine().ports().recorder();
        auto& segment = machine().protocolSMBus();
        ports.clear();
        segment.clearRequests();
        try {
            operation();
        } catch (...) {
        }
        for (std::size_t i = 0; i < ports.accesses().size(); ++i)
            if (!ports.lockHeld(i, ISABusMutexName)) {
                ADD_FAILURE() << what << ": port " << std::hex << ports.accesses()[i].port << " without the ISA lock";
                break;
            }
        for (std::size_t i = 0; i < segment.requests().size(); ++i)
            if (!segment.locks().held(i, SMBusMutexName)) {
                ADD_FAILURE() << what << ": SMBus request " << i << " without the SMBus lock";
                break;
            }
        EXPECT_EQ(BusLockCount(true) + BusLockCount(false), 0) << what;
    }

    // Every public operation of one chip, construction and destruction included.
    void EveryOperation(const TChipClass& chip, std::uint8_t code, TLink& link, std::uint32_t address) {
        const std::string name = chip.name + " code " + std::to_string(code) + " on " + link.DisplayName();
        std::unique_ptr<TOpenChip> open;
        Check(name + " constructor", [&] { open = chip.make(&link, address, code, Logger()); });
        ASSERT_TRUE(open) << name;
        TSensor& s = open->Sensor();
        s.FAddress2 = ConfigPort;
        Check(name + " save", [&] { s.SaveInitialState(); });
        Check(name + " reads", [&] {
            s.ReadTemps();
            s.ReadFans();
            s.ReadPwms();
            s.ReadVolts();
        });
        for (int i = 1; i <= s.GetPwmCount(); ++i) Check(name + " set output", [&] { s.SetPwm(i, 60); });
        for (int i = 0; i < s.GetPropCount(); ++i) {
            const std::string prop = name + " property " + std::to_string(s.GetPropId(i));
            Check(prop + " options", [&] { s.GetPropOptions(i); });
            std::string value;
            Check(prop + " get", [&] { value = s.GetPropValue(i); });
            Check(prop + " set", [&] { s.SetPropValue(i, value); });
        }
        for (std::uint8_t fan = 0; fan < s.GetFanCount(); ++fan)
            Check(name + " divisor", [&] { s.SetFanDivisor(fan, s.GetFanDivisor(fan)); });
        Check(name + " reported address", [&] { s.GetReportedSMBus(); });
        Check(name + " dump", [&] { s.GetDebugInfo(); });
        Check(name + " suspend", [&] {
            s.PrepareForSuspend();
            s.ResumeFromSuspend();
        });
        Check(name + " restore", [&] { s.RestoreInitialState(); });
        Check(name + " destructor", [&] { open.reset(); });
    }

    std::shared_ptr<platform::sim::RegisterFile> registers = std::make_shared<platform::sim::RegisterFile>();
    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, IsaBase, 0};
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                testsupport::SimProtocolHost::On(machine().protocolSMBus())};
};

TEST_F(ChipLocks, EveryAccessOfEveryOperationHoldsItsBusLock) {
    for (const TChipClass& chip : RegisterChipClasses())
        for (std::uint8_t code : chip.codes) {
            EveryOperation(chip, code, isa, IsaBase);
            EveryOperation(chip, code, smbus, Chip);
        }
}

}  // namespace
