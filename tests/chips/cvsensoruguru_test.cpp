// The uGuru sensor against the simulated chip: readings from the uGuru3 block
// and item by item on an older board, and the dump of each generation.

#include "chips/cvsensoruguru.h"

#include "chipsfixture.h"
#include "firmware/cvsmbios.h"
#include "readingcheck.h"
#include "support/testmachine.h"

namespace {

using platform::sim::PortAccess;

// An older board: items 1 (SYS) and 5 (3.3V), fan item 1 (the table's 17,
// NB), the settings of item 0, the configuration number and block 0.
const char* OlderChip = R"({"banks": {
    "0": {"0x01": "0x28", "0x05": "0xC1"},
    "1": {"0x00": "0x01", "0x01": "0x02", "0x02": "0x03"},
    "2": {"0x01": "0x32"},
    "4": {"0x00": "0x02"},
    "5": {"0x00": "0x10", "0x08": "0x18"}}})";

class UGuruSensorTest : public ChipTest {
protected:
    ~UGuruSensorTest() override { ResetCvsmbios(); }

    void LoadBoard(const std::string& product, const std::string& uguru) {
        machine().loadFromJson(R"({"smbios": {"structures": [{"type": 2, "manufacturer": "http://www.abit.com.tw/",
                                   "product": ")" + product + R"("}]}, "uguru": )" + uguru + "}",
                               "uguru-sensor.json");
        InitializeCvsmbios();
    }
    std::unique_ptr<TUGuruSensor> Make() {
        return CreateSensor<TUGuruSensor>(nullptr, 0u, TUGuruSensor::ChipCode, Logger(), "", "", "");
    }
    std::size_t Writes(std::uint16_t port, std::uint8_t value) {
        const auto& all = machine().ports().recorder().accesses();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), PortAccess{port, 1, value, true}));
    }
};

TEST_F(UGuruSensorTest, AUGuru3BoardReadsItsItemsFromOneBlockPerSecond) {
    machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR) + "/uguru3.json");
    InitializeCvsmbios();
    auto sensor = Make();
    EXPECT_EQ(sensor->FChipName, "uGuruIN9-32X-MAX");
    ASSERT_EQ(sensor->GetTempCount(), 7);
    ASSERT_EQ(sensor->GetFanCount(), 5);
    ASSERT_EQ(sensor->GetVoltCount(), 12);
    EXPECT_EQ(sensor->GetTemp(2).Name, "System");
    EXPECT_EQ(sensor->GetTemp(2).Stats->FName, "uGuruIN9-32X-MAX System");
    EXPECT_EQ(sensor->GetFan(2).Name, "SYS FAN");

    const auto temps = SampledTemps(*sensor);
    const auto fans = SampledFans(*sensor);
    const auto volts = SampledVolts(*sensor);
    EXPECT_DOUBLE_EQ(temps[1], 35);                // block[25] = 23h
    EXPECT_DOUBLE_EQ(fans[0], 2400);               // block[32] = 40 x 60
    EXPECT_NEAR(volts[0], 1.3, 1e-5);  // block[7] = 130 x 10 / 1000
    EXPECT_NEAR(volts[1], 1.8, 1e-5);  // block[13] = 90 x 20 / 1000
    EXPECT_NEAR(volts[7], 12.0, 1e-5);  // block[12] = 200 x 60 / 1000
    EXPECT_GT(temps[0], 25) << "the CPU follows the thermal model";
    EXPECT_GT(fans[1], 0) << "the SYS fan follows the thermal model";
    EXPECT_EQ(Writes(0xE0, 0x08), 1u) << "three lists, one block";
    machine().simClock().advance(1500);
    sensor->ReadTemps();
    EXPECT_EQ(Writes(0xE0, 0x08), 2u);

    const auto dump = testsupport::splitLines(sensor->GetDebugInfo(), "\r\n");
    ASSERT_EQ(dump.size(), 2u + 6);
    EXPECT_EQ(dump[0], "Abit uGuru BoardId=$0019");
    EXPECT_EQ(dump[1], "Abit uGuru LastSensorData -->");
    EXPECT_EQ(dump[2], "[00]: 00 00 00 00 00 00 00 82");
    EXPECT_EQ(dump[3], "[08]: 00 00 00 00 C8 5A 00 00");
}

TEST_F(UGuruSensorTest, AnOlderBoardReadsItemByItemWithFansLoweredBy16) {
    LoadBoard("AG8", OlderChip);
    auto sensor = Make();
    EXPECT_EQ(sensor->FChipName, "uGuruAG8");
    ASSERT_EQ(sensor->GetFanCount(), 5);
    EXPECT_EQ(sensor->GetFan(2).Name, "NB");
    EXPECT_DOUBLE_EQ(SampledTemps(*sensor)[1], 40);      // item 1 = 28h
    EXPECT_DOUBLE_EQ(SampledFans(*sensor)[1], 3000);     // table index 17 read as fan item 1: 50 x 60
    EXPECT_NEAR(SampledVolts(*sensor)[3], 3.3003, 1e-5); // item 5: 193 x 171 / 10000
    // Four temperatures, five fans, ten voltages: three transactions each.
    EXPECT_EQ(Writes(0xE4, 0x00), 3u * (4 + 5 + 10));
}

TEST_F(UGuruSensorTest, AGeneration2DumpShowsItemsFansAndConfigurations) {
    LoadBoard("AG8", OlderChip);
    const auto older = testsupport::splitLines(Make()->GetDebugInfo(), "\r\n");
    ASSERT_GE(older.size(), 22u + 1 + 7 * 5);
    EXPECT_EQ(older[0], "I00=$00 (01 02 03)");
    EXPECT_EQ(older[1], "I01=$28 (00 00 00)");
    EXPECT_EQ(older[16], "F00=$00 (00 00)");
    EXPECT_EQ(older[22], "Current configuration is #02");
    EXPECT_EQ(older[23], "OC#0 len is 32");
    EXPECT_EQ(older[24], "OC[+000]=10 00 00 00 00 00 00 00");
    EXPECT_EQ(older[25], "OC[+008]=18 00 00 00 00 00 00 00");
    EXPECT_EQ(older[28], "OC#1 len is 32");
}

TEST_F(UGuruSensorTest, AGeneration1DumpHasNoConfigurationLines) {
    LoadBoard("AN7", OlderChip);
    EXPECT_EQ(testsupport::splitLines(Make()->GetDebugInfo(), "\r\n").size(), 22u);
}

TEST_F(UGuruSensorTest, WithoutAMatchTheSensorIsEmpty) {
    LoadBoard("XY9 Unknown", "{}");
    auto sensor = Make();
    EXPECT_EQ(sensor->FChipName, "none");
    EXPECT_EQ(sensor->GetTempCount() + sensor->GetFanCount() + sensor->GetVoltCount(), 0);
    EXPECT_EQ(sensor->GetDebugInfo(), "");
    EXPECT_TRUE(machine().ports().recorder().accesses().empty());
}

}  // namespace
