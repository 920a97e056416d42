// Every code of every register chip on an SMBus link whose registers fail
// one at a time: each reading of a tick is its healthy value or none, never
// a value converted from a register that did not answer.

#include <gtest/gtest.h>

#include <set>

#include "chips/chipcodes.h"
#include "chips/chipsfixture.h"

namespace {

using platform::sim::RegisterFault;
using platform::sim::SMBusProtocol;

class ChipFaults : public SMBusChipTest {
protected:
    // A fresh chip whose registers hold the pattern; varied values so a
    // divisor, mode or fraction that is lost shows in the converted value.
    platform::sim::RegisterFile& FreshChip(int pattern) {
        segment.detach(Chip);
        slave = std::make_shared<platform::sim::SMBusSlave>();
        segment.attach(Chip, slave);
        for (int reg = 0; reg < 256; ++reg)
            slave->registers().set(static_cast<std::uint8_t>(reg),
                                   static_cast<std::uint16_t>((reg * 0x9D + pattern) & 0xFF));
        return slave->registers();
    }

    struct Tick {
        std::vector<std::vector<double>> lists;
        std::set<int> readRegisters;
    };

    Tick ReadOnce(const TChipClass& chip, std::uint8_t code, int pattern, std::optional<int> failing) {
        auto& regs = FreshChip(pattern);
        auto sensor = chip.make(&smbus, Chip, code, Logger());
        if (failing) regs.setFault(static_cast<std::uint8_t>(*failing), RegisterFault{RegisterFault::Kind::Fail, -1});
        segment.clearRequests();
        Tick tick;
        for (TReadingList list : AllReadingLists) tick.lists.push_back(sensor->Raw(list));
        for (const auto& r : segment.requests()) {
            if (!r.read) continue;
            if (r.protocol == SMBusProtocol::ByteData) tick.readRegisters.insert(r.command);
            if (r.protocol == SMBusProtocol::WordData) {
                tick.readRegisters.insert(r.command);
                tick.readRegisters.insert((r.command + 1) & 0xFF);
            }
        }
        return tick;
    }
};

TEST_F(ChipFaults, AFailingRegisterGivesNoValueNeverAnother) {
    for (const TChipClass& chip : RegisterChipClasses()) {
        for (std::uint8_t code : chip.codes) {
            for (int pattern : {0x35, 0xCA}) {
                const Tick healthy = ReadOnce(chip, code, pattern, std::nullopt);
                for (int reg : healthy.readRegisters) {
                    const Tick faulty = ReadOnce(chip, code, pattern, reg);
                    for (std::size_t l = 0; l < faulty.lists.size(); ++l)
                        for (std::size_t i = 0; i < faulty.lists[l].size(); ++i) {
                            const double got = faulty.lists[l][i], want = healthy.lists[l][i];
                            EXPECT_TRUE(got == want || got == 0)
                                << chip.name << " code " << int(code) << " pattern " << pattern << " register " << reg
                                << ": " << ListName(AllReadingLists[l]) << " " << i + 1 << " reads " << got
                                << " instead of " << want << " or none";
                        }
                }
            }
        }
    }
}

}  // namespace
