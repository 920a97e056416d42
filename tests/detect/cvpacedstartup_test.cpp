// A GL518SM of revision 00h through the program's real path: detection makes
// the sensor, and the monitor's own timers pace its voltage search, so the
// three searched inputs read values once a search ends; the shutdown in the
// middle of a search gives the chip back its limits.

#include <gtest/gtest.h>

#include <array>

#include "detectfixture.h"
#include "startupfixture.h"
#include "platform/sim/machine.h"

namespace {

// An ICH9 SMBus host with a GL518SM at 2Ch: chip id 80h, revision 00h. The
// limit words (low byte the low limit, high byte the high one) hold windows
// around the true counts of the inputs.
const char* const Board = R"({
  "os": {"major": 10, "minor": 0, "build": 19045, "platformId": 2, "csdVersion": "", "productType": 1, "isWow64": false},
  "driver": {"installed": true, "major": 2, "minor": 3, "servicePath": "\\SystemRoot\\System32\\drivers\\Caldavor.sys"},
  "pci": [{"bus": 0, "device": 31, "function": 3, "vendorId": "0x8086", "deviceId": "0x2930",
           "registers": {"0x04": "0x01", "0x08": "0x02", "0x20": "0x01", "0x21": "0x04", "0x40": "0x01"}}],
  "chips": [{"name": "gl518",
             "registers": {"0x00": "0x80", "0x01": "0x00", "0x10": "0x5F", "0x11": "0xAB",
                           "0x0C": {"word": true, "value": "0xE7BD"},
                           "0x09": {"word": true, "value": "0xBF9D"},
                           "0x0A": {"word": true, "value": "0xAE8E"}}}],
  "smbus": [{"name": "ich", "family": "Intel", "pci": "00:1F.3", "slaves": [{"address": "0x2C", "chip": "gl518"}]}]
})";

// Searched input i: its limit word and true count (+5V 210, +3.3V 174, +12V 158).
constexpr std::array<std::uint8_t, 3> LimitRegs = {0x0C, 0x09, 0x0A};
constexpr std::array<std::uint16_t, 3> SavedLimits = {0xE7BD, 0xBF9D, 0xAE8E};
constexpr std::array<int, 3> TrueCounts = {210, 174, 158};

class PacedSearchStartup : public ProgramStartupTest {
protected:
    PacedSearchStartup() {
        machine().loadFromJson(Board, "gl518 board");
        chip = machine().registerFile("gl518");
        // The data sheet's limit comparators: alarm bit i of 12h is set while
        // input i is outside its window.
        for (std::uint8_t reg : LimitRegs) chip->addWriteHook(reg, [this](std::uint16_t) { Compare(); });
        Compare();
        startProgram();
    }
    // The chip's hooks call back here while a GL518SM is freed.
    ~PacedSearchStartup() override { monitor.Sensors.clear(); }
    void Compare() {
        std::uint8_t alarms = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            const std::uint16_t limits = chip->peekWord(LimitRegs[i]);
            if (TrueCounts[i] > limits >> 8 || TrueCounts[i] < (limits & 0xFF)) alarms |= static_cast<std::uint8_t>(1 << i);
        }
        chip->set(0x12, alarms);
    }
    // The program's loop on virtual time: every timer that falls due.
    void RunFor(std::uint64_t ms) {
        for (std::uint64_t t = 0; t < ms; t += 10) {
            machine().simClock().advance(10);
            timers.RunDue();
        }
    }
    TSensor* GL518() {
        for (const auto& sensor : monitor.Sensors)
            if (sensor->FChipName == "GL518SM") return sensor.get();
        return nullptr;
    }
    double Volt(const char* name) {
        TSensor& sensor = *GL518();
        for (int i = 1; i <= sensor.GetVoltCount(); ++i)
            if (sensor.GetVolt(i).Name == name) return sensor.GetVolt(i).Stats->Last();
        ADD_FAILURE() << "no reading " << name;
        return -1;
    }

    std::shared_ptr<platform::sim::RegisterFile> chip;
};

TEST_F(PacedSearchStartup, TheProgramsTimersFindTheSearchedVoltages) {
    ASSERT_NE(GL518(), nullptr);
    // The first voltage tick comes before the search has ended.
    RunFor(3080);
    for (const char* name : {"+3.3V", "+12V", "+5V"}) EXPECT_EQ(Volt(name), 0) << name;

    // Six steps of 1450 ms (start, four narrowing, finish), shown by the
    // voltage read of the fifth main tick at 15.4 s. Start halves each
    // window (high = low + (high - low) / 2, step = (high - low) / 2), then
    // each step moves high by step toward the count and halves the step:
    //   +5V  189-231: 210/10 -> 200/5 -> 205/2 -> 207/1 -> 208/0, alarm: 209
    //   +3.3V 157-191: 174/8 -> 166/4 -> 170/2 -> 172/1 -> 173/0, alarm: 174
    //   +12V 142-174: 158/8 -> 150/4 -> 154/2 -> 156/1 -> 157/0, alarm: 158
    // Readings are kept in single precision.
    RunFor(12500);
    EXPECT_FLOAT_EQ(Volt("+3.3V"), 174 * 0.019);
    EXPECT_FLOAT_EQ(Volt("+12V"), 158 * 0.019 / 3 * 12);
    EXPECT_FLOAT_EQ(Volt("+5V"), 209 * 0.019 / 4 * 5);
}

TEST_F(PacedSearchStartup, ClosingMidSearchGivesTheChipItsLimitsBack) {
    EXPECT_EQ(chip->peek(0x10), 0x50);
    EXPECT_EQ(chip->peek(0x11), 0xA0);
    RunFor(3000);  // two steps: the search has moved the limits
    EXPECT_NE(chip->peekWord(0x0C), SavedLimits[0]);
    monitor.FormDestroy();
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(chip->peekWord(LimitRegs[i]), SavedLimits[i]);
    EXPECT_EQ(chip->peek(0x10), 0x5F);
    EXPECT_EQ(chip->peek(0x11), 0xAB);
    // Nothing is paced any more.
    RunFor(3000);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(chip->peekWord(LimitRegs[i]), SavedLimits[i]);
}

}  // namespace
