// The Dell SMM sensor against a simulated firmware responder.

#include <gtest/gtest.h>

#include <map>

#include "chips/chipsfixture.h"
#include "chips/cvdellsensor.h"
#include "firmware/cvsmbios.h"

namespace {

using V = std::vector<int>;

TEST(DellIndexSets, ModelRowsNarrowTheTestedIndices) {
    const TDellIndexSets defaults = DellIndexSets(std::nullopt);
    EXPECT_EQ(defaults.temps, (V{0, 1, 2, 3, 4, 5, 6}));
    const TDellIndexSets t7500 = DellIndexSets(TDellIdentity{"", " dell inc. ", "Precision WorkStation T7500 "});
    EXPECT_EQ(t7500.temps, V{0});
    EXPECT_EQ(t7500.fans, (V{0, 1, 2, 3, 4}));
    EXPECT_EQ(t7500.pwms, (V{0, 1, 2, 3, 4}));
    const TDellIndexSets xps = DellIndexSets(TDellIdentity{"", "Dell Inc.", "Dell System XPS L502X"});
    EXPECT_EQ(xps.temps, V{});
    EXPECT_EQ(xps.fans, V{});
    EXPECT_EQ(xps.pwms, V{0});
    // The board row changes temperatures only; a later system row overrides it.
    const TDellIndexSets board = DellIndexSets(TDellIdentity{"Latitude CPT S500GT", "Other", "Inspiron 1525"});
    EXPECT_EQ(board.temps, V{0});
    EXPECT_EQ(board.fans.size(), 7u);
    EXPECT_EQ(DellIndexSets(TDellIdentity{"Latitude CPT S500GT", "Dell Inc.", "Inspiron 1525"}).temps, (V{0, 1, 2, 3}));
}

class DellSensor : public ChipTest {
protected:
    DellSensor() {
        machine().setDellSmiResponder([this](const TSMIRegisters& in) -> std::optional<TSMIRegisters> {
            ++calls;
            const std::uint32_t index = in.ebx & 0xFF;
            if (in.eax == 0x01A3) {
                levels[index] = in.ebx >> 8;
                return TSMIRegisters{0, in.ebx, 0, 0};
            }
            if (in.eax == 0x00A3 && levels.count(index)) return TSMIRegisters{levels[index], in.ebx, 0, 0};
            if (in.eax == 0xFEA3) return TSMIRegisters{0x0102, 0, 0, 0};
            const auto it = answers.find({in.eax, index});
            if (it == answers.end()) return in;  // unchanged registers: the call failed
            return TSMIRegisters{it->second, in.ebx, 0, 0};
        });
    }
    ~DellSensor() override { ResetCvsmbios(); }
    std::unique_ptr<TDELLSensor> make() {
        return CreateSensor<TDELLSensor>(nullptr, 0u, TDELLSensor::ChipCode, Logger(), "", "", "");
    }
    // The firmware tables name the machine; the sensor asks the explorer.
    void identify(const std::string& maker, const std::string& product) {
        machine().loadFromJson(R"({"smbios": {"structures": [{"type": 1, "manufacturer": ")" + maker +
                                   R"(", "product": ")" + product + R"("}]}})",
                               "dell-identity.json");
        InitializeCvsmbios();
    }

    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> answers;
    std::map<std::uint32_t, std::uint32_t> levels;
    int calls = 0;
};

TEST_F(DellSensor, KeepsThePresentIndicesAndNamesThem) {
    for (std::uint32_t i : {0u, 2u, 3u, 5u}) answers[{0x10A3, i}] = 40 + i;
    answers[{0x02A3, 1}] = 0x0064;
    answers[{0x02A3, 4}] = 0x0BB8;
    answers[{0x02A3, 6}] = 0x0100;
    levels[1] = 1;
    levels[3] = 3;
    auto s = make();
    ASSERT_EQ(s->GetTempCount(), 4);
    EXPECT_EQ(s->GetTemp(1).Name, "CPU");
    EXPECT_EQ(s->GetTemp(3).Name, "DIMM");
    EXPECT_EQ(s->GetTemp(4).Name, "Temp4");
    EXPECT_EQ(s->GetFan(3).Name, "Fan3");
    EXPECT_EQ(s->GetPwmCount(), 2);
    EXPECT_NE(std::find(log.begin(), log.end(), "1 Tested temps : 0 1 2 3 4 5 6"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "0 info ver : OK - CMD=$0102  DATA=$0000  S1=$0000  S2=$0000"),
              log.end());

    s->ReadTemps();
    s->ReadFans();
    s->ReadPwms();
    EXPECT_DOUBLE_EQ(s->GetTemp(4).Stats->Last(), 45);
    EXPECT_DOUBLE_EQ(s->GetFan(1).Stats->Last(), 3000);  // 64h x 30
    EXPECT_DOUBLE_EQ(s->GetFan(2).Stats->Last(), 3000);  // BB8h RPM
    EXPECT_DOUBLE_EQ(s->GetFan(3).Stats->Last(), 256);
    EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), 50);
    EXPECT_DOUBLE_EQ(s->GetPwm(2).Stats->Last(), 0);  // status 3

    answers.erase({0x10A3, 5});  // the firmware stops answering
    s->ReadTemps();
    EXPECT_DOUBLE_EQ(s->GetTemp(4).Stats->Last(), 0);
    EXPECT_EQ(log.back(), "0 TDELLSensor : ERROR reading temperature 5 - CMD=$10A3  DATA=$0005  S1=$0000  S2=$0000");
}

TEST_F(DellSensor, SetsLevelsAndAnswersWhatWasDone) {
    levels[2] = 0;
    identify("Dell Inc.", "Dell System XPS L502X");
    auto s = make();  // only output 0 is tested
    EXPECT_EQ(s->GetPwmCount(), 0);
    EXPECT_NE(std::find(log.begin(), log.end(), "1 Tested temps : "), log.end());
    levels[0] = 0;
    s = make();
    ASSERT_EQ(s->GetPwmCount(), 1);
    struct Case {
        double percent;
        std::uint32_t level;
        double answer;
    };
    for (const Case& c : {Case{33, 0, 0}, Case{34, 1, 50}, Case{67, 2, 100}}) {
        EXPECT_TRUE(s->SetPwm(1, c.percent));
        EXPECT_EQ(levels[0], c.level);
        EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), c.answer);
    }
    // One call for the set, one for the information query on resume.
    const int before = calls;
    EXPECT_TRUE(s->SetPwm(1, 60));
    s->ResumeFromSuspend();
    EXPECT_EQ(log.back(), "0 resuming");
    EXPECT_EQ(calls, before + 2);
}

}  // namespace
