// Run-time libraries and joysticks: the simulated machine's libraries, the
// board sections that place them, and the native joystick query.

#include <gtest/gtest.h>
#include <linux/joystick.h>

#include <filesystem>
#include <fstream>

#include "platform/cardlibrary.h"
#include "platform/library.h"
#include "platform/linux/nativejoystick.h"
#include "platform/sim/machine.h"
#include "support/badboards.h"
#include "support/testmachine.h"

namespace {

namespace lib = platform::cardlibrary;
using platform::sim::Machine;

TEST(SimLibraries, LoadByPathBindTypedEntriesAndUnload) {
    Machine m;
    platform::sim::SimLibrary library;
    library.handle = 0x6A000000;
    library.add<int(int)>("Twice", [](int v) { return 2 * v; });
    m.simLibraries().place("C:\\Vendor\\Tool.dll", library);

    EXPECT_TRUE(m.libraries().exists("c:\\vendor\\TOOL.DLL"));
    EXPECT_FALSE(m.libraries().exists("C:\\Other\\Tool.dll"));
    EXPECT_EQ(m.libraries().load("C:\\Other\\Tool.dll"), nullptr);
    auto loaded = m.libraries().load("C:\\VENDOR\\tool.dll");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->handle(), 0x6A000000u);
    EXPECT_EQ(m.simLibraries().loaded("C:\\Vendor\\Tool.dll"), 1);
    EXPECT_EQ(loaded->entry<int(int)>("Twice")(21), 42);
    EXPECT_TRUE(loaded->exports("Twice"));
    // Another signature or name binds nothing.
    EXPECT_FALSE(loaded->entry<long(int)>("Twice"));
    EXPECT_FALSE(loaded->entry<int(int)>("Thrice"));
    EXPECT_FALSE(loaded->exports("Thrice"));
    loaded.reset();
    EXPECT_EQ(m.simLibraries().loaded("C:\\Vendor\\Tool.dll"), 0);
}

TEST(SimLibraries, TheCardLibraryAndJoysticksComeFromTheBoard) {
    Machine m;
    m.loadFromJson(R"({
        "cardLibrary": {"path": "C:\\Card\\anvmi.dll", "handle": "0x20000000",
                        "temperatures": {"1": 55, "3": -5}, "voltages": {"4": 12096},
                        "absent": ["V66MI_DetectVGACard"]},
        "joysticks": {"1": {"x": 32767, "y": 100, "buttons": 3}}
    })",
                   "card.json");
    auto card = m.libraries().load("C:\\Card\\anvmi.dll");
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->handle(), 0x20000000u);
    const auto temperature = card->entry<lib::Reader>(lib::GetTemperature);
    ASSERT_TRUE(temperature);
    EXPECT_EQ(temperature(1), 55);
    EXPECT_EQ(temperature(2), 0);  // an index not listed
    EXPECT_EQ(temperature(3), -5);
    EXPECT_EQ(card->entry<lib::Reader>(lib::GetVoltage)(4), 12096);
    EXPECT_TRUE(card->exports(lib::GetMemoryClock));
    EXPECT_FALSE(card->exports(lib::DetectCard));

    EXPECT_FALSE(m.joystickPosition(0));
    const auto position = m.joystickPosition(1);
    ASSERT_TRUE(position);
    EXPECT_EQ(position->x, 32767u);
    EXPECT_EQ(position->y, 100u);
    EXPECT_EQ(position->z, 0u);
    EXPECT_EQ(position->buttons, 3u);
}

TEST(SimLibraries, MalformedSectionsAreRefused) {
    const testsupport::BadBoard boards[] = {
        {R"({"cardLibrary": {}})", "/cardLibrary/path: missing"},
        {R"({"cardLibrary": {"path": "x.dll", "temperatures": {"one": 5}}})", "decimal index"},
        {R"({"cardLibrary": {"path": "x.dll", "absent": ["V66MI_Nothing"]}})", "entry points"},
        {R"({"cardLibrary": {"path": "x.dll", "speed": 1}})", "speed"},
        {R"({"joysticks": {"0": {"x": 65536}}})", "/joysticks/0/x"},
        {R"({"joysticks": {"-1": {"x": 1}}})", "decimal index"},
        {R"({"signatures": {"absent": ["wintrust"]}})", "signature libraries or entry points"},
        {R"({"signatures": {"files": {"a.exe": {"trust": "OK"}}}})", "/signatures/files/a.exe/trust"},
        {R"({"signatures": {"files": {"a.exe": {"blobs": [{"certificates": [{"name": "x"}]}]}}}})", "name"},
    };
    testsupport::expectRefused(boards);
}

TEST(PlatformDefaults, AMachineWithoutThemLoadsNoLibraryAndHasNoJoystick) {
    testsupport::TempDir dev;
    platform::NoLibraries none;
    EXPECT_FALSE(none.exists("C:\\Program Files\\ASUS\\SmartDoctor\\anvmi.dll"));
    EXPECT_EQ(none.load("anvmi.dll"), nullptr);
    EXPECT_FALSE(platform::native::readJoystick(dev.path().string(), 0));
}

TEST(NativeJoystick, TheReplayedStateGivesThePosition) {
    testsupport::TempDir dev;
    std::filesystem::create_directories(dev.path() / "input");
    {
        std::ofstream js(dev.path() / "input/js2", std::ios::binary);
        const js_event events[] = {
            {0, 0, JS_EVENT_BUTTON | JS_EVENT_INIT, 1},  {0, 1, JS_EVENT_BUTTON | JS_EVENT_INIT, 4},
            {0, -32767, JS_EVENT_AXIS | JS_EVENT_INIT, 0}, {0, 0, JS_EVENT_AXIS | JS_EVENT_INIT, 1},
            {0, 32767, JS_EVENT_AXIS | JS_EVENT_INIT, 2},  {0, 500, JS_EVENT_AXIS | JS_EVENT_INIT, 3},
            {5, 1000, JS_EVENT_AXIS, 1},                   {6, 1, JS_EVENT_BUTTON, 0},
        };
        js.write(reinterpret_cast<const char*>(events), sizeof events);
    }
    const auto position = platform::native::readJoystick(dev.path().string(), 2);
    ASSERT_TRUE(position);
    EXPECT_EQ(position->x, 1u);  // -32767 .. 32767 becomes 1 .. 65535
    EXPECT_EQ(position->y, 33768u);  // the latest event of an axis wins
    EXPECT_EQ(position->z, 65535u);
    EXPECT_EQ(position->buttons, 0x11u);
    EXPECT_FALSE(platform::native::readJoystick(dev.path().string(), 0));
}

}  // namespace
