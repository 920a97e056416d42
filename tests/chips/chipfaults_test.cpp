// Every code of every register chip on an SMBus link whose registers fail
// one at a time: each reading of a tick is its healthy value or none, never
// a value converted from a register that did not answer.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

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

TEST_F(ChipFaults, AllOnesWordOfAThermometerIsNoValue) {
    struct Case {
        const TChipClass* chip;
        std::uint8_t code, reg;
        double belowZero;  // the word FFF0h
    };
    const auto& classes = RegisterChipClasses();
    auto named = [&](const std::string& name) {
        return &*std::find_if(classes.begin(), classes.end(), [&](const TChipClass& c) { return c.name == name; });
    };
    const Case cases[] = {
        {named("LM75"), 54, 0x00, -0.0625},  // LM75: 12 bits, left aligned
        {named("LM75"), 55, 0x00, -0.125},   // LM76: 13 bits above three flags
        {named("LM75"), 114, 0x00, -0.0625},
        {named("JC42"), 207, 0x05, -1.0},    // 13 bits below three flags
        {named("JC42"), 104, 0x05, -1.0},
    };
    for (const Case& c : cases) {
        for (auto [high, low, want] : {std::tuple{0xFF, 0xF0, c.belowZero}, std::tuple{0xFF, 0xFF, 0.0}}) {
            auto& regs = FreshChip(0);
            regs.set(c.reg, static_cast<std::uint16_t>(high));
            regs.set(static_cast<std::uint8_t>(c.reg + 1), static_cast<std::uint16_t>(low));
            auto sensor = c.chip->make(&smbus, Chip, c.code, Logger());
            EXPECT_DOUBLE_EQ(sensor->Raw(TReadingList::Temps).at(0), want) << int(c.code) << " " << low;
        }
    }
}

}  // namespace
