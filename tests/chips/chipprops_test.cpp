// Every property of every code of every register chip: its option texts
// are unique whatever their case, every text a setter takes reads back as
// itself, and a text that is no option is refused with the chip untouched.

#include <gtest/gtest.h>


#include "chips/chipcodes.h"
#include "chips/chipsfixture.h"
#include "core/cvtext.h"

namespace {

class ChipProps : public TwinLinkChipTest {
protected:
    ChipProps() { AddPortBlock(RuntimeBlockBase, RuntimeBlockSize); }

    std::vector<std::uint8_t> Snapshot() const {
        std::vector<std::uint8_t> bytes;
        for (const auto* file : {registers.get(), portBlock.get()})
            for (int reg = 0; reg < 256; ++reg) bytes.push_back(file->peek(static_cast<std::uint8_t>(reg)));
        return bytes;
    }

    // Registers whose data sheet gives a separate write address.
    void WriteAddresses(std::uint8_t code) {
        // MAX6657: the limits read at 05h and 07h are written at 0Bh and 0Dh.
        for (auto [write, read] : {std::pair{0x0B, 0x05}, std::pair{0x0D, 0x07}}) {
            auto b = platform::sim::RegisterBehaviour::plain();
            if (code == 136) b.writeTo = static_cast<std::uint8_t>(read);
            registers->setBehaviour(static_cast<std::uint8_t>(write), b);
        }
    }

    // The corrections every sensor offers are the base class's: checked once per class.
    void EveryProperty(const TChipClass& chip, std::uint8_t code, TLink& link, std::uint32_t address) {
        const bool baseToo = code == chip.codes.front();
        WriteAddresses(code);
        auto open = chip.make(&link, address, code, Logger());
        TSensor& s = open->Sensor();
        s.FAddress2 = TwinConfigPort;
        for (int i = 0; i < s.GetPropCount(); ++i) {
            const int id = s.GetPropId(i);
            if (id >= PropFanMultFirst && id <= PropBaseLast && !baseToo) continue;
            const std::string what =
                chip.name + " code " + std::to_string(code) + " on " + link.DisplayName() + " property " +
                std::to_string(s.GetPropId(i));
            const TPropStringArray options = s.GetPropOptions(i);
            for (std::size_t a = 0; a < options.size(); ++a)
                for (std::size_t b = a + 1; b < options.size(); ++b)
                    EXPECT_FALSE(SameText(options[a], options[b]))
                        << what << ": options " << a << " and " << b << " are both \"" << options[a] << "\"";

            const std::string before = s.GetPropValue(i);
            const auto chipBefore = Snapshot();
            EXPECT_FALSE(s.SetPropValue(i, "no such option")) << what;
            EXPECT_EQ(s.GetPropValue(i), before) << what << ": an unknown text changed the value";
            EXPECT_TRUE(Snapshot() == chipBefore) << what << ": an unknown text changed the chip";

            // Long lists (clock tables) by the ends of each run of sixteen, where their specials sit.
            for (std::size_t k = 0; k < options.size(); ++k) {
                if (options.size() > 32 && k % 16 != 0 && k % 16 != 15) continue;
                const std::string& text = options[k];
                if (s.SetPropValue(i, text)) {
                    EXPECT_EQ(s.GetPropValue(i), text) << what << ": set \"" << text << "\"";
                }
            }
        }
    }
};

TEST_F(ChipProps, OptionsUniqueRoundTripAndUnknownTextsRefused) {
    for (const TChipClass& chip : RegisterChipClasses())
        for (std::uint8_t code : chip.codes) {
            EveryProperty(chip, code, smbus, TwinChip);
            EveryProperty(chip, code, isa, chip.isaAddress.value_or(TwinIsaBase));
        }
}

}  // namespace
