// Monitor bases that would put a chip on the system board's own ports (DMA,
// interrupt controllers, CMOS, keyboard) or past FFFFh: the whole start-up
// refuses them, and no port below 100h but the configuration pairs is touched.

#include <gtest/gtest.h>

#include <string>

#include "core/cvdetectsensors.h"
#include "detectfixture.h"
#include "startupfixture.h"
#include "platform/sim/machine.h"

namespace {

struct BaseCase {
    const char* family;
    std::uint8_t code;  // the chip code the set-up would add
    std::string board;  // the Super I/O, its monitor device's base set by the test
    const char* device; // register file of the monitor device
};

void PrintTo(const BaseCase& c, std::ostream* os) { *os << c.family; }

std::string Space(const std::string& key, const std::string& globals, const std::string& device) {
    return R"({"superIO": [{"name": "sio", "indexPort": "0x2E", "dataPort": "0x2F", "enterKey": )" + key +
           R"(, "exitKey": "0xAA", "globals": )" + globals + R"(, "devices": {")" + device +
           R"(": {"0x30": "0x01"}}}]})";
}
const std::string Winbond = R"(["0x87", "0x87"])";
const std::string ITE = R"(["0x87", "0x01", "0x55", "0x55"])";
// The SMSC parts enter configuration on one 55h.
const std::string SMSCOnce = R"(["0x55"])";

const BaseCase Cases[] = {
    {"Winbond", 30, Space(Winbond, R"({"0x20": "0xA0", "0x21": "0x20"})", "0x0B"), "sio:0B"},
    {"Fintek", 186, Space(Winbond, R"({"0x20": "0x05", "0x21": "0x41"})", "0x04"), "sio:04"},
    {"ITE", 81, Space(ITE, R"({"0x20": "0x87", "0x21": "0x12", "0x22": "0x03"})", "0x04"), "sio:04"},
    {"SMSC type 1", 157, Space(SMSCOnce, R"({"0x20": "0x14", "0x21": "0x01"})", "0x04"), "sio:04"},
    {"SMSC type 3", 166, Space(SMSCOnce, R"({"0x20": "0x0E", "0x21": "0x01"})", "0x09"), "sio:09"},
    {"SMSC type 4", 169, Space(SMSCOnce, R"({"0x20": "0x7D"})", "0x0A"), "sio:0A"},
    {"SCH5127", 170, Space(SMSCOnce, R"({"0x20": "0x86"})", "0x0A"), "sio:0A"},
    {"LPC47M233", 163, Space(SMSCOnce, R"({"0x20": "0x6B", "0x21": "0x80"})", "0x0A"), "sio:0A"},
    {"LPC47B397", 162, Space(SMSCOnce, R"({"0x20": "0x6F", "0x21": "0x01"})", "0x08"), "sio:08"},
    {"National", 146,
     R"({"nationalSuperIO": [{"name": "pc87366", "configPort": "0x2E", "globals": {"0x20": "0xE9"},
         "blocks": [{"device": "0x09", "base": "0x0A00"}, {"device": "0x0D", "base": "0x0A20", "channels": 11},
                    {"device": "0x0E", "base": "0x0A40", "channels": 3}]}]})",
     "pc87366:09"},
};

class MonitorBases : public ProgramStartupTest, public ::testing::WithParamInterface<std::tuple<BaseCase, int>> {
protected:
    void setBase(const std::string& device, int base) {
        auto& regs = *machine().registerFile(device);
        regs.set(0x60, static_cast<std::uint16_t>(base >> 8));
        regs.set(0x61, static_cast<std::uint16_t>(base & 0xFF));
    }
    // Ports below 100h other than the configuration pairs that the start-up touched.
    std::vector<std::uint16_t> systemPortsTouched() {
        std::vector<std::uint16_t> ports;
        for (const auto& access : machine().ports().recorder().accessesTo(0x00, 0xFF))
            if (access.port != 0x2E && access.port != 0x2F && access.port != 0x4E && access.port != 0x4F)
                ports.push_back(access.port);
        return ports;
    }
    int refusals() const {
        return static_cast<int>(std::count_if(boxes.Info.begin(), boxes.Info.end(), [](const std::string& line) {
            return line.find("sensors (bad I/O BASE)") != std::string::npos;
        }));
    }
    bool onlyTheFirstLinkIsAPortWindow() const {
        for (const auto& link : Links()) {
            const auto kind = link->LinkKind();
            if ((kind == LinkKinds::ISA || kind == LinkKinds::ISAFlat || kind == LinkKinds::ECNuvoton) &&
                link->BaseAddress() != 0x290)
                return false;
        }
        return true;
    }
};

TEST_P(MonitorBases, RefusedWithoutTouchingTheSystemPorts) {
    const auto& [c, base] = GetParam();
    machine().loadFromJson(c.board, "test board");
    setBase(c.device, base);
    machine().ports().recorder().clear();
    startProgram();
    EXPECT_TRUE(systemPortsTouched().empty()) << "first: " << systemPortsTouched().front();
    EXPECT_TRUE(onlyTheFirstLinkIsAPortWindow());
    for (const auto& sensor : monitor.Sensors) EXPECT_NE(sensor->FChipCode, c.code) << sensor->FChipName;
    EXPECT_EQ(refusals(), 1);
    monitor.FormDestroy();
}

// The W83627HF whose BIOS left its monitor off: the set-up refuses the base,
// and so does the activation that follows the link walk.
class ActivationBases : public MonitorBases {};

TEST_P(ActivationBases, RefusedWithoutTouchingTheSystemPorts) {
    const int base = std::get<1>(GetParam());
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/w83627hf-asleep.json");
    setBase("w83627hf-config:0B", base);
    machine().ports().recorder().clear();
    startProgram();
    EXPECT_TRUE(systemPortsTouched().empty()) << "first: " << systemPortsTouched().front();
    EXPECT_TRUE(onlyTheFirstLinkIsAPortWindow());
    EXPECT_TRUE(std::find(boxes.Info.begin(), boxes.Info.end(), "msg030") != boxes.Info.end());
    EXPECT_EQ(refusals(), 1) << "the set-up's";
    for (const auto& sensor : monitor.Sensors) {
        if (IsLinkZeroSource(sensor->FChipCode)) continue;  // processor and firmware sources sit on link 0
        EXPECT_NE(sensor->FLink->LinkKind(), LinkKinds::ISA) << sensor->FChipName;
    }
    monitor.FormDestroy();
}

INSTANTIATE_TEST_SUITE_P(AsleepMonitor, ActivationBases,
                         ::testing::Combine(::testing::Values(Cases[0]), ::testing::Values(0x0000, 0xFFFF)),
                         [](const auto& info) { return std::get<1>(info.param) == 0 ? "Base0000" : "BaseFFFF"; });

INSTANTIATE_TEST_SUITE_P(EveryFamily, MonitorBases,
                         ::testing::Combine(::testing::ValuesIn(Cases), ::testing::Values(0x0000, 0xFFFF)),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).family;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name + (std::get<1>(info.param) == 0 ? "_Base0000" : "_BaseFFFF");
                         });

}  // namespace
