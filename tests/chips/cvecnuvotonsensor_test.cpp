// The NCT6683D behind the EC mailbox: the register dump, the slot scan and
// its lines, the readings of the slots found, and a mailbox that never frees.

#include <gtest/gtest.h>

#include <algorithm>

#include "chips/chipsfixture.h"
#include "chips/cvecnuvotonsensor.h"
#include "platform/sim/ecmailbox.h"

namespace {

constexpr std::uint16_t MailboxBase = 0x0380;

class ECNuvotonTest : public ChipTest {
protected:
    ECNuvotonTest() {
        auto& page1 = *ram;
        page1.set(0xA0, 0x81, 1);  // source 01h, bit 7 ignored
        page1.set(0xA1, 0x66, 1);  // VIN0
        page1.set(0xA2, 0x19, 1);  // undefined
        page1.set(0xA3, 0x4A, 1);  // reserved
        page1.set(0xC0, 0x80, 1);  // fan slot 0 in use
        page1.set(0xC1, 0x7F, 1);  // not in use
        page1.set(0xC2, 0xE0, 1);  // fan slot 2 in use, 4 pulses
        page1.set(0x00, 0x2A, 1);
        page1.set(0x01, 0x80, 1);
        page1.set(0x02, 100, 1);
        page1.set(0x40, 0x04, 1);
        page1.set(0x41, 0xB0, 1);
        page1.set(0x10, 0x5A, 0x0A);
        mailbox = platform::sim::ECMailbox::install(machine().ports(), ram, MailboxBase, "ec");
    }

    std::unique_ptr<TECNuvotonSensor> Make() {
        return CreateSensor<TECNuvotonSensor>(&link, 0, TECNuvotonSensor::ChipNCT6683D, Logger(), "", "", "");
    }
    static double Last(const TReading& r) { return r.Stats->Last(); }
    bool Logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }

    std::shared_ptr<platform::sim::RegisterFile> ram = std::make_shared<platform::sim::RegisterFile>(13);
    std::shared_ptr<platform::sim::ECMailbox> mailbox;
    TLink link{0, LinkKinds::ECNuvoton, HostKinds::ECNuvoton, MailboxBase, 0};
};

TEST(ECNuvotonSources, RowsByCode) {
    const auto& rows = ECNuvotonSources();
    ASSERT_EQ(rows.size(), 128u);
    EXPECT_FALSE(rows[0x00].Used);
    EXPECT_EQ(rows[0x08].Name, "Thermistor 14");
    EXPECT_EQ(rows[0x18].Name, "Thermistor 13");
    EXPECT_EQ(rows[0x2C].Name, "Undefined");
    EXPECT_TRUE(rows[0x2C].Defined);
    EXPECT_FALSE(rows[0x19].Defined);
    EXPECT_EQ(rows[0x49].Name, "AMD TSI Address 9Dh");
    EXPECT_TRUE(rows[0x4B].Reserved);
    EXPECT_EQ(rows[0x57].Name, "Virtual Input 7");
    EXPECT_FALSE(rows[0x60].IsTemperature);
    EXPECT_DOUBLE_EQ(rows[0x67].Factor, 5.02);
    EXPECT_DOUBLE_EQ(rows[0x6A].Factor, 1.5);
    EXPECT_EQ(rows[0x76].Name, "VIN16");
    EXPECT_FALSE(rows[0x7F].Defined);
    EXPECT_TRUE(std::all_of(rows.begin() + 1, rows.end(), [](const auto& r) { return r.Used; }));
}

TEST_F(ECNuvotonTest, DumpScanAndReadings) {
    mailbox->holdFor(5);  // busy for a few polls at start
    auto sensor = Make();
    EXPECT_EQ(sensor->FChipName, "NCT6683D");
    ASSERT_GE(log.size(), 3u + 3 * 17);
    EXPECT_EQ(log[0], "0 Nuvoton EC (NCT6683D) debug -->");
    EXPECT_EQ(log[1], "0   Page $01");
    EXPECT_EQ(log[2], "0     00: 2A 80 64 00 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(log[18], "0   Page $0A");
    EXPECT_EQ(log[20], "0     10: 5A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(log[35], "0   Page $0C");
    EXPECT_TRUE(Logged("0 Temp/Volt[ 0] sensor is temperature <Local>"));
    EXPECT_TRUE(Logged("0 Temp/Volt[ 1] sensor is voltage <VIN0>"));
    EXPECT_TRUE(Logged("0 Temp/Volt[ 2] sensor is undefined"));
    EXPECT_TRUE(Logged("0 Temp/Volt[ 3] sensor is reserved"));
    EXPECT_FALSE(Logged("0 Temp/Volt[ 4] sensor is temperature <Disable>"));
    EXPECT_TRUE(Logged("0 Fan[ 0] sensor is in use"));
    EXPECT_FALSE(Logged("0 Fan[ 1] sensor is in use"));
    EXPECT_TRUE(Logged("0 Fan[ 2] sensor is in use"));

    ASSERT_EQ(sensor->GetTempCount(), 1);
    ASSERT_EQ(sensor->GetVoltCount(), 1);
    ASSERT_EQ(sensor->GetFanCount(), 2);
    EXPECT_EQ(sensor->GetTemp(1).Name, "Temp");
    EXPECT_EQ(sensor->GetVolt(1).Name, "VIN0");
    EXPECT_EQ(sensor->GetFan(1).Name, "CPU Fan");
    EXPECT_EQ(sensor->GetFan(2).Name, "Rear Fan");
    sensor->ReadTemps();
    sensor->ReadVolts();
    sensor->ReadFans();
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(1)), 42.5);
    EXPECT_NEAR(Last(sensor->GetVolt(1)), 19.2, 1e-5);
    EXPECT_DOUBLE_EQ(Last(sensor->GetFan(1)), 1200.0);
    EXPECT_DOUBLE_EQ(Last(sensor->GetFan(2)), 0.0);

    ram->set(0x00, 0xD8, 1);
    ram->set(0x01, 0x00, 1);
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(1)), -40.0);
    EXPECT_EQ(BusLockCount(true) + BusLockCount(false), 0);
}

TEST_F(ECNuvotonTest, MailboxThatNeverFreesGivesNoValues) {
    auto sensor = Make();
    sensor->ReadTemps();
    sensor->ReadFans();
    mailbox->holdForever();
    ram->set(0x40, 0x09, 1);
    sensor->ReadTemps();
    sensor->ReadFans();
    sensor->ReadVolts();
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(1)), 0.0);
    EXPECT_DOUBLE_EQ(Last(sensor->GetFan(1)), 0.0);
    EXPECT_DOUBLE_EQ(Last(sensor->GetVolt(1)), 0.0);
    EXPECT_EQ(BusLockCount(true) + BusLockCount(false), 0);
}

}  // namespace
