// Every public operation of every code of every register chip, on an ISA
// link and on an SMBus link, under the machine's lock recorder: each port
// access holds the ISA bus lock, each SMBus request the SMBus lock, and no
// lock is left taken after any operation.

#include <gtest/gtest.h>

#include <functional>

#include "chips/chipcodes.h"
#include "chips/chipsfixture.h"

namespace {

class ChipLocks : public TwinLinkChipTest {
protected:
    ChipLocks() { AddPortBlock(RuntimeBlockBase, RuntimeBlockSize); }

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
        s.FAddress2 = TwinConfigPort;
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

};

TEST_F(ChipLocks, EveryAccessOfEveryOperationHoldsItsBusLock) {
    for (const TChipClass& chip : RegisterChipClasses())
        for (std::uint8_t code : chip.codes) {
            EveryOperation(chip, code, isa, chip.isaAddress.value_or(TwinIsaBase));
            EveryOperation(chip, code, smbus, TwinChip);
        }
}

}  // namespace
