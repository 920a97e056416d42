// The graphics-card sensor through a simulated monitoring library, found
// through the simulated registries.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvasussensor.h"
#include "platform/sim/simcardlibrary.h"

namespace {

namespace lib = platform::cardlibrary;

constexpr const char* ToolKey = "SOFTWARE\\ASUS\\SmartDoctor";
constexpr const char* VersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* UserFolder = "D:\\Tools\\SmartDoctor";
constexpr const char* DefaultFolder = "C:\\Program Files\\ASUS\\SmartDoctor\\";

class ASUSSensor : public ChipTest {
protected:
    ASUSSensor() {
        card.temperatures = {{1, 61}, {2, 58}, {3, 47}};
        card.fanSpeeds = {{1, 2850}};
        card.voltages = {{0, 1350}, {1, 1500}, {2, 3312}, {3, 5040}, {4, 12096}};
        machine().simSystemRegistry().setValue(VersionKey, "ProgramFilesDir", std::string("C:\\Program Files"));
    }
    void place(const std::string& folder) {
        machine().simLibraries().place(folder + lib::FileName, platform::sim::makeCardLibrary(card));
    }
    std::unique_ptr<TASUSSensor> make(std::uint8_t code = TASUSSensor::ChipCode) {
        return CreateSensor<TASUSSensor>(nullptr, 0u, code, Logger(), "", "", "");
    }
    int loaded(const std::string& folder) { return machine().simLibraries().loaded(folder + lib::FileName); }

    platform::sim::CardLibraryConfig card;
};

TEST_F(ASUSSensor, ReadsEachListByIndexWithVoltsFromMillivolts) {
    card.handle = 0x10000000;
    place(DefaultFolder);
    auto s = make();
    EXPECT_EQ(log, (std::vector<std::string>{"0 ASUSCard : Properly linked (268435456)", "0 ASUSCard : Link ok"}));
    EXPECT_EQ(s->FChipName, "ASUS Card");
    ASSERT_EQ(s->GetTempCount(), 3);
    ASSERT_EQ(s->GetFanCount(), 1);
    ASSERT_EQ(s->GetVoltCount(), 5);
    EXPECT_EQ(s->GetTemp(2).Name, "GPU");
    EXPECT_EQ(s->GetTemp(3).Stats->FName, "ASUS Card VRAM");
    EXPECT_EQ(s->GetFan(1).Stats->FName, "ASUS Card Fan GPU");
    EXPECT_EQ(s->GetVolt(5).Name, "+12V");
    s->ReadTemps();
    s->ReadFans();
    s->ReadVolts();
    // Temperatures are indexes 1 to 3, the fan index 1, voltages 0 to 4.
    EXPECT_DOUBLE_EQ(s->GetTemp(1).Stats->Last(), 61);
    EXPECT_DOUBLE_EQ(s->GetTemp(2).Stats->Last(), 58);
    EXPECT_DOUBLE_EQ(s->GetTemp(3).Stats->Last(), 47);
    EXPECT_DOUBLE_EQ(s->GetFan(1).Stats->Last(), 2850);
    const double volts[] = {1.35, 1.5, 3.312, 5.04, 12.096};
    for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(s->GetVolt(i + 1).Stats->Last(), volts[i]) << i;
    EXPECT_EQ(loaded(DefaultFolder), 1);
    s.reset();
    EXPECT_EQ(loaded(DefaultFolder), 0);
}

TEST_F(ASUSSensor, TheUsersFolderComesFirstWhenItHoldsTheLibrary) {
    machine().simRegistry().writeString(ToolKey, "Path", UserFolder);
    EXPECT_EQ(GetSmartDoctorDir(), "");  // neither folder holds it yet
    place(DefaultFolder);
    EXPECT_EQ(GetSmartDoctorDir(), DefaultFolder);  // the setting names a folder without it
    place(std::string(UserFolder) + "\\");
    EXPECT_EQ(GetSmartDoctorDir(), std::string(UserFolder) + "\\");
    auto s = make();
    EXPECT_EQ(loaded(std::string(UserFolder) + "\\"), 1);
    EXPECT_EQ(loaded(DefaultFolder), 0);
}

TEST_F(ASUSSensor, AMissingEntryPointUnloadsTheLibrary) {
    for (const char* missing : lib::EntryPoints) {
        SCOPED_TRACE(missing);
        log.clear();
        card.absent = {missing};
        place(DefaultFolder);
        auto s = make();
        EXPECT_EQ(log, (std::vector<std::string>{"0 ASUSCard : Properly linked (268435456)",
                                                 "0 ASUSCard : Error linking procedures"}));
        EXPECT_EQ(s->FChipName, "none");
        EXPECT_EQ(s->GetTempCount() + s->GetFanCount() + s->GetVoltCount(), 0);
        EXPECT_EQ(loaded(DefaultFolder), 0);
    }
}

TEST_F(ASUSSensor, WithoutAFolderTheDriveRootIsNotTried) {
    machine().simLibraries().place("\\anvmi.dll", platform::sim::makeCardLibrary(card));
    auto s = make();
    EXPECT_EQ(log, std::vector<std::string>{"0 ASUSCard : Unable to link"});
    EXPECT_EQ(s->FChipName, "none");
    EXPECT_EQ(s->GetTempCount(), 0);
    EXPECT_TRUE(machine().simLibraries().loadRequests().empty());
}

TEST_F(ASUSSensor, AnotherChipCodeLoadsNothing) {
    place(DefaultFolder);
    auto s = make(21);
    EXPECT_EQ(s->FChipName, "none");
    EXPECT_EQ(s->GetTempCount(), 0);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(machine().simLibraries().loadRequests().empty());
}

}  // namespace
