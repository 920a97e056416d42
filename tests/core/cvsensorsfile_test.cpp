#include "core/cvsensorsfile.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "core/cvservices.h"
#include "hw/cvlink.h"
#include "fakeservices.h"
#include "fancontrol_fixture.h"

using fancontroltest::TTwoChips;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class RecordingEvents : public TEventsFile {
public:
    void LOADEVENTS(const std::string& fileName) override { Loaded.push_back(fileName); }
    bool SaveEvents(const std::string& fileName) override {
        Saved.push_back(fileName);
        return !Fail;
    }
    std::vector<std::string> Loaded, Saved;
    bool Fail = false;
};

class SensorsFileTest : public ::testing::Test, public TTwoChips {
protected:
    SensorsFileTest() {
        StickyProps.clear();
        OriginalCfgId = 0;
    }
    ~SensorsFileTest() override { StickyProps.clear(); }

    TSensorsFileContext Context() { return {Sensors, Slots, FanControllers, Log, Board, &Events, &Dialogs}; }
    std::string Path() const { return Machine.file(SensorsFileName); }
    bool Load(const std::string& text, bool propertiesOnly = false) {
        writeFile(Path(), text);
        return LOADASSOCIATIONS(Context(), Path(), propertiesOnly, false);
    }
    std::vector<std::string> TempNames() const {
        std::vector<std::string> names;
        for (const auto& slot : Slots.TempSlots) names.push_back(slot.Name);
        return names;
    }

    const TBoardIdentity* Board = nullptr;
    RecordingEvents Events;
    coretest::TFakeDialogs Dialogs;
};

const std::string A = "ChipA@$290(onISA@$290)";
const std::string B = "ChipB@$4C(onISA@$290)";

TEST_F(SensorsFileTest, WrittenFileReadsBackIntoFreshSlots) {
    // The user's work: renamed, reordered and reconfigured slots, a property,
    // a fan controller with one input.
    std::swap(Slots.TempSlots[0], Slots.TempSlots[3]);  // B's first temperature first
    Slots.TempSlots[0].Name = "CPU";
    Slots.TempSlots[0].Wanted = 45;
    Slots.TempSlots[0].Warning = 60;
    Slots.TempSlots[0].Offset = -3;
    Slots.TempSlots[0].InTray = false;
    Slots.TempSlots[0].Logged = true;
    Slots.TempSlots[0].AddUsedPwm(3);
    Slots.TempSlots[0].AddUsedPwm(1);
    std::swap(Slots.PwmSlots[0], Slots.PwmSlots[2]);
    Slots.PwmSlots[0].Variate = true;
    Slots.PwmSlots[0].MinPercent = 30;
    Slots.PwmSlots[0].MaxPercent = 90;
    Slots.PwmSlots[0].Logged = true;
    Slots.FanSlots[1].Active = false;
    Slots.VoltSlots[0].Name = "Core";
    ASSERT_TRUE(Sensors[0]->SetPropValue(0, "Manual"));
    StickyProps.push_back({A, 13, "PWM 1 mode", "Manual"});
    OriginalCfgId = 7;
    TFanCtrlTemp input = fancontroltest::Curve30To60();
    input.SensorIndex = 1;
    input.ReadingIndex = 1;
    input.Hysteresis = 3;
    TFanController fc = fancontroltest::CaseController(2, input);
    fc.ControlMethod = 1;
    FanControllers.push_back(fc);
    TBoardIdentity board{"Maker", "Board 1", "1.0", "Bios Co", "2.1", "Sys Co", "Box", "3"};
    Board = &board;

    ASSERT_TRUE(SaveSensorsConfig(Context(), Path()));
    const std::string text = readFile(Path());
    EXPECT_EQ(text.rfind("xxx version 2.03\r\n\r\nxxx SMBIOS info\r\nMBManufacturer=Maker\r\nMBModel=Board 1\r\n", 0), 0u);
    for (const std::string& line : std::vector<std::string>{
             "SysVersion=3\r\nxxx end\r\nxxx OriginalCfgId=7\r\n\r\nxxx Sensor UniqueID=" + A + "\r\n",
             "Name=ChipA\r\nUsedBUS=ISA\r\nAddress=$290\r\nLink=ISA\r\nStickyProps=1\r\n"
             "Property=13 |PWM 1 mode| set to |Manual|\r\nxxx end\r\n",
             "StickyProps=0\r\nxxx end\r\n\r\nxxx the end\r\n\r\nxxx Pwm 1 from " + B + "\r\n",
             "xxx Temp 1 from " + B + "\r\nname=CPU\r\nactive=true\r\nwanted=45\r\nwarning=60\r\noffset=-3\r\n"
             "intray=false\r\nUsedPwms=2\r\npwm=1 from " + A + "\r\npwm=1 from " + B + "\r\nlogged=true\r\nxxx end\r\n",
             "xxx FanController 0\r\nname=Case\r\npwm=2 from " + A + "\r\nmethod=1\r\nenabled=true\r\nxxx end\r\n",
             "\r\nxxx FanControllerTemp from FanController 0\r\ntemp=1 from " + B + "\r\nMinTemp=30\r\n"
             "MaxTemp=60\r\nhysteresis=3\r\nControlPoints=0 5 10 15 20 25 30 35 40 45 50 55 60 65 70 75\r\nxxx end\r\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_EQ(Events.Saved, std::vector<std::string>{ProgramDir + EventsFileName});

    // Read into slots as detection makes them.
    const TReadingSlots written = Slots;
    const TFanControllers writtenControllers = FanControllers;
    Slots = TReadingSlots();
    Slots.BuildReadingSlots(Sensors);
    Slots.AutoAssociate(Sensors);
    FanControllers.clear();
    Sensors[0]->SetPropValue(0, "Auto");
    StickyProps.clear();
    OriginalCfgId = 0;

    EXPECT_TRUE(LOADASSOCIATIONS(Context(), Path(), false, true));
    EXPECT_EQ(Events.Loaded, std::vector<std::string>{ProgramDir + EventsFileName});
    EXPECT_EQ(OriginalCfgId, 7);
    EXPECT_EQ(Chip(0).Mode, "Manual");
    ASSERT_EQ(StickyProps.size(), 1u);
    EXPECT_EQ(StickyProps[0].Value, "Manual");
    for (TReadingKind kind : {TReadingKind::Temp, TReadingKind::Fan, TReadingKind::Pwm, TReadingKind::Volt})
        for (std::size_t i = 0; i < Slots.SlotCount(kind); ++i) {
            const TReadingData& got = Slots.Slot(kind, i);
            const TReadingData& want = written.Slot(kind, i);
            EXPECT_EQ(got.Name, want.Name) << i;
            EXPECT_EQ(got.SensorIndex, want.SensorIndex) << i;
            EXPECT_EQ(got.ReadingIndex, want.ReadingIndex) << i;
            EXPECT_EQ(got.Active, want.Active) << i;
            EXPECT_EQ(got.Logged, want.Logged) << i;
        }
    const auto& temp = Slots.TempSlots[0];
    EXPECT_EQ(temp.Wanted, 45);
    EXPECT_EQ(temp.Warning, 60);
    EXPECT_EQ(temp.Offset, -3);
    EXPECT_FALSE(temp.InTray);
    EXPECT_EQ(temp.UsedPwms, (std::vector<int>{3, 1}));
    EXPECT_EQ(Slots.PwmSlots[0].MinPercent, 30);
    EXPECT_EQ(Slots.PwmSlots[0].MaxPercent, 90);
    EXPECT_TRUE(Slots.PwmSlots[0].Variate);
    ASSERT_EQ(FanControllers.size(), 1u);
    const auto& got = FanControllers[0];
    EXPECT_EQ(got.Name, "Case");
    EXPECT_EQ(got.SensorIndex, 0);
    EXPECT_EQ(got.PwmIndex, 2);
    EXPECT_EQ(got.ControlMethod, 1);
    EXPECT_TRUE(got.Enabled);
    ASSERT_EQ(got.Temps.size(), 1u);
    EXPECT_EQ(got.Temps[0].SensorIndex, 1);
    EXPECT_EQ(got.Temps[0].ReadingIndex, 1);
    EXPECT_EQ(got.Temps[0].Hysteresis, 3);
    EXPECT_EQ(got.Temps[0].ControlPoints, writtenControllers[0].Temps[0].ControlPoints);
}

TEST_F(SensorsFileTest, RegisteredLinksHaveSectionsBeforeTheSensors) {
    Links().clear();
    AddLink("ISA", 0, LinkKinds::ISA, HostKinds::ISA, 0x290, 0, 0, 0, 0);
    AddLink("SMBus", 0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, 0, 0x1F, 3);
    ASSERT_TRUE(SaveSensorsConfig(Context(), Path()));
    Links().clear();

    const std::string text = readFile(Path());
    EXPECT_NE(text.find("xxx version 2.03\r\n\r\n"
                        "\r\nxxx Link UniqueID=ISA@$290\r\nName=ISA\r\nAddress=$290\r\nxxx end\r\n"
                        "\r\nxxx Link UniqueID=SMBusIntel@$400\r\nName=SMBus\r\nAddress=$400\r\nxxx end\r\n"
                        "\r\nxxx Sensor UniqueID=" + A + "\r\n"),
              std::string::npos)
        << text;
}

TEST_F(SensorsFileTest, SectionsReorderTheSlots) {
    ASSERT_TRUE(Load("xxx version 2.03\r\n\r\n"
                     "xxx Temp 3 from " + A + "\r\nname=Third\r\nxxx end\r\n"
                     "XXX TEMP 1 FROM " + A + "\r\nNAME=First\r\nxxx END\r\n"
                     "xxx Temp 1 from " + A.substr(1) + "\r\nname=Nobody\r\nxxx end\r\n"));
    EXPECT_EQ(TempNames(), (std::vector<std::string>{"Third", "First", "Temp2", "Temp1", "Temp2"}));
    EXPECT_EQ(Slots.TempSlots[2].ReadingIndex, 2);
    EXPECT_EQ(Slots.TempSlots[3].SensorIndex, 1);
    EXPECT_TRUE(Logged("Temperature from UNKNOWN (" + A.substr(1) + ") -->"));
    EXPECT_TRUE(Logged("  not found in list"));
}

TEST_F(SensorsFileTest, ReadsVersion101Files) {
    ASSERT_TRUE(Load("xxx version 1.01\r\n"
                     "xxx temp\r\nname=Board\r\nchip=1\r\nindex=2\r\nwanted=35\r\nwarning=45\r\npwm=2\r\npwm=3\r\n"
                     "Logged=true\r\n"
                     "xxx temp\r\nname=Lost\r\nchip=9\r\nindex=7\r\n"
                     "xxx pwm\r\nname=Front\r\nmin=20\r\nmax=x\r\nvariate=true\r\n"
                     "xxx pwm\r\nxxx pwm\r\nxxx pwm\r\nname=Fourth\r\n"));  // three speed slots
    const auto& t0 = Slots.TempSlots[0];
    EXPECT_EQ(t0.Name, "Board");
    EXPECT_EQ(t0.SensorIndex, 1);
    EXPECT_EQ(t0.ReadingIndex, 2);
    EXPECT_EQ(t0.Wanted, 35);
    EXPECT_EQ(t0.Warning, 45);
    EXPECT_TRUE(t0.Logged);
    EXPECT_EQ(t0.UsedPwms, (std::vector<int>{2, 3}));
    // Bound to nothing that exists: the first sensor's first reading.
    EXPECT_EQ(Slots.TempSlots[1].SensorIndex, 0);
    EXPECT_EQ(Slots.TempSlots[1].ReadingIndex, 1);
    EXPECT_EQ(Slots.PwmSlots[0].MinPercent, 20);
    EXPECT_EQ(Slots.PwmSlots[0].MaxPercent, 0);
    EXPECT_TRUE(Slots.PwmSlots[0].Variate);
    EXPECT_TRUE(Logged("Reading Cfg Version 1.01"));
    EXPECT_TRUE(Logged("CFG: slot position 3 is past the slots, section ignored"));
}

TEST_F(SensorsFileTest, CutShortFileKeepsWhatItCouldRead) {
    Slots.TempSlots[0].AddUsedPwm(1);
    ASSERT_TRUE(Load("xxx version 2.02\r\n\r\n"
                     "xxx Pwm 1 from " + B + "\r\nname=Rear\r\nactive=false\r\nmin=10\r\nmax=70\r\nvariate=true\r\n"
                     "logged=true\r\nxxx end\r\n\r\n"
                     "xxx Temp 1 from " + A + "\r\nname=CPU\r\nactive=false\r\nwanted=4"));
    EXPECT_EQ(Slots.PwmSlots[0].Name, "Rear");
    EXPECT_EQ(Slots.PwmSlots[0].SensorIndex, 1);
    EXPECT_FALSE(Slots.PwmSlots[0].Logged);  // 2.02 has no "logged=" for speeds
    const auto& temp = Slots.TempSlots[0];
    EXPECT_EQ(temp.Name, "CPU");
    EXPECT_FALSE(temp.Active);
    EXPECT_EQ(temp.Wanted, 4);
    EXPECT_EQ(temp.Warning, 50);  // never read: unchanged
    EXPECT_EQ(temp.UsedPwms, std::vector<int>{1});
}

TEST_F(SensorsFileTest, DrivenSpeedsBeyondTheSlotsAreDropped) {
    Slots.TempSlots[1].AddUsedPwm(2);
    Slots.TempSlots[1].AddUsedPwm(9);
    Slots.TempSlots[2].AddUsedPwm(0);
    Slots.TempSlots[3].AddUsedPwm(3);
    EXPECT_TRUE(Load("xxx version 2.03\r\n"));
    EXPECT_TRUE(Slots.TempSlots[1].UsedPwms.empty());
    EXPECT_TRUE(Slots.TempSlots[2].UsedPwms.empty());
    EXPECT_EQ(Slots.TempSlots[3].UsedPwms, std::vector<int>{3});
}

TEST_F(SensorsFileTest, StickyPropertiesAreCheckedAgainstTheOptions) {
    const std::string sensor = "xxx Sensor UniqueID=" + A + "\r\nName=ChipA\r\nUsedBUS=ISA\r\nAddress=$290\r\n"
                               "Link=ISA\r\nStickyProps=3\r\n";
    ASSERT_TRUE(Load("xxx version 2.03\r\n" + sensor +
                     "Property=13 |PWM 1 mode| set to |Turbo|\r\nProperty=99 |PWM 4 Enable| set to |ON|\r\n"
                     "Property=76 |Temperature 1 offset| set to |-5|\r\nxxx end\r\n"));
    EXPECT_EQ(Chip(0).Mode, "Auto");
    EXPECT_TRUE(Logged("ERROR: Unable to set PWM 1 mode for ChipA"));
    EXPECT_TRUE(Logged("   Turbo is NOT valid for PWM 1 mode"));
    EXPECT_TRUE(Logged("NOT FOUND! PWM 4 Enable (99) = ON"));
    ASSERT_EQ(StickyProps.size(), 1u);
    EXPECT_EQ(StickyProps[0].PropId, 76);
    EXPECT_EQ(StickyProps[0].Value, "-5");

    // On resume only properties apply; slots stay as they are.
    Slots.TempSlots[0].Name = "Mine";
    ASSERT_TRUE(Load("xxx version 2.03\r\n" + sensor + "Property=13 |PWM 1 mode| set to |manual|\r\nxxx end\r\n"
                     "xxx Temp 1 from " + A + "\r\nname=Theirs\r\nxxx end\r\n",
                     true));
    EXPECT_EQ(Chip(0).Mode, "Manual");
    EXPECT_EQ(Slots.TempSlots[0].Name, "Mine");
    EXPECT_EQ(StickyProps.size(), 2u);
}

TEST_F(SensorsFileTest, ControllerInputsStayWithTheirController) {
    FanControllers.resize(3);  // emptied by the reader
    ASSERT_TRUE(Load("xxx version 2.03\r\n"
                     "xxx FanController 0\r\nname=Gone\r\npwm=5 from " + A + "\r\nmethod=0\r\nenabled=true\r\nxxx end\r\n"
                     "xxx FanController 1\r\nname=Kept\r\npwm=1 from " + B + "\r\nmethod=7\r\nenabled=true\r\nxxx end\r\n"
                     "xxx FanControllerTemp from FanController 0\r\ntemp=1 from " + A + "\r\nxxx end\r\n"
                     "xxx FanControllerTemp from FanController 1\r\ntemp=2 from " + A + "\r\nMinTemp=x\r\n"
                     "MaxTemp=70\r\nhysteresis=1\r\nControlPoints=\r\nxxx end\r\n"
                     "xxx FanControllerTemp from FanController -1\r\ntemp=1 from " + A + "\r\nxxx end\r\n"
                     "xxx FanControllerTemp from FanController 1\r\ntemp=9 from " + A + "\r\nxxx end\r\n"));
    ASSERT_EQ(FanControllers.size(), 1u);
    const auto& fc = FanControllers[0];
    EXPECT_EQ(fc.Name, "Kept");
    EXPECT_EQ(fc.SensorIndex, 1);
    EXPECT_EQ(fc.PwmIndex, 1);
    EXPECT_EQ(fc.ControlMethod, 7);
    ASSERT_EQ(fc.Temps.size(), 1u);
    EXPECT_EQ(fc.Temps[0].ReadingIndex, 2);
    EXPECT_EQ(fc.Temps[0].MinTemp, 30);
    EXPECT_EQ(fc.Temps[0].MaxTemp, 70);
    EXPECT_EQ(fc.Temps[0].Hysteresis, 1);
    EXPECT_EQ(fc.Temps[0].ControlPoints[0], 100);  // no curve: full speed
    EXPECT_EQ(fc.Temps[0].ControlPoints[15], 100);
    EXPECT_TRUE(Logged("ERROR: Fan Controller 0 can't find PWM (" + A + ")"));
    EXPECT_TRUE(Logged("ERROR: Can't find Fan Controller 0"));
    EXPECT_TRUE(Logged("ERROR: Can't find Fan Controller -1"));
    EXPECT_TRUE(Logged("Can't find temperature sensor (9 from " + A + ")"));
}

TEST_F(SensorsFileTest, VersionDecidesWhatIsRead) {
    Slots.TempSlots[0].Name = "Mine";
    EXPECT_TRUE(LOADASSOCIATIONS(Context(), Machine.file("absent.cfg"), false, false));
    EXPECT_EQ(READCFGVERSION(Log, Machine.file("absent.cfg")), -1);
    const std::string temp = "xxx Temp 1 from " + A + "\r\nname=Theirs\r\nxxx end\r\n";
    EXPECT_FALSE(Load("no version\r\n" + temp));
    EXPECT_TRUE(Logged("WARNING: Invalid Configuration File"));
    EXPECT_FALSE(Load("xxx version 3.00\r\n" + temp));
    EXPECT_TRUE(Logged("WARNING: Unknown Configuration File Version"));
    EXPECT_EQ(Slots.TempSlots[0].Name, "Mine");
    EXPECT_EQ(READCFGVERSION(Log, Path()), 300);
}

TEST_F(SensorsFileTest, FailedSaveLeavesTheOldFileAlone) {
    // A folder where the file should be: the temporary file cannot replace it.
    const std::string target = Machine.file("taken.cfg");
    std::filesystem::create_directory(target);
    writeFile(target + "/inside", "old");
    EXPECT_FALSE(SaveSensorsConfig(Context(), target));
    EXPECT_EQ(readFile(target + "/inside"), "old");
    EXPECT_EQ(Dialogs.Warnings, std::vector<std::string>{"Unable to save to " + target});
    EXPECT_TRUE(Boxes.Info.empty());  // a warning box, no log lines
    EXPECT_TRUE(Boxes.Readings.empty());
    EXPECT_TRUE(Events.Saved.empty());
    for (const auto& entry : std::filesystem::directory_iterator(Machine.programDir()))
        EXPECT_EQ(entry.path().filename().string().rfind("taken.cfg.", 0), std::string::npos) << entry.path();
}

TEST_F(SensorsFileTest, FailedSaveOfTheEventsFileIsAFailedSave) {
    Events.Fail = true;
    EXPECT_FALSE(SaveSensorsConfig(Context(), Path()));
    EXPECT_EQ(Events.Saved, std::vector<std::string>{ProgramDir + EventsFileName});
    EXPECT_TRUE(std::filesystem::exists(Path()));
}

TEST(BoardConfigName, EscapesAndJoins) {
    TBoardIdentity board;
    board.BoardManufacturer = " ACME/Co ";
    board.BoardProduct = "X\x01|Y";
    board.BoardVersion = "Rev\\1";
    board.SystemManufacturer = "Sys\xE9";
    board.SystemProduct = "";
    EXPECT_EQ(GetCfgFileName(board), "ACME%2FCo X%01%7CY Rev%5C1 Sys%E9");
    EXPECT_EQ(GetCfgFileName2(board), "ACME%2FCo X%01%7CY  Sys%E9");
}

// ---- pre-built configurations ----------------------------------------------

void MakeZip(const std::string& path, const std::string& member, const std::string& content) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
    ASSERT_GE(zip_file_add(zip, member.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
    ASSERT_EQ(zip_close(zip), 0);
}

class PrebuiltConfigTest : public SensorsFileTest {
protected:
    // A private temporary folder, so counting leftovers sees no other test's files.
    PrebuiltConfigTest() : tempDir(ProgramDir + "tmp") {
        Board = &board;
        std::filesystem::create_directories(tempDir);
        const char* old = std::getenv("TMPDIR");
        oldTmpDir = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("TMPDIR", tempDir.c_str(), 1);
    }
    ~PrebuiltConfigTest() override {
        if (oldTmpDir)
            setenv("TMPDIR", oldTmpDir->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    std::string tempDir;
    std::optional<std::string> oldTmpDir;
    std::string Zip() const { return ProgramDir + ConfigsZipName; }
    TBoardIdentity board{"Maker", "Board", "1.0", "", "", "SysMaker", "Box", ""};
    const std::string config = "xxx version 2.03\r\nxxx Temp 2 from " + A + "\r\nname=Prebuilt\r\nxxx end\r\n";
};

TEST_F(PrebuiltConfigTest, TakesTheBoardsMember) {
    MakeZip(Zip(), "Maker Board 1.0 SysMaker Box", config);
    LoadFineTunedAssociations(Context());
    EXPECT_EQ(Slots.TempSlots[0].Name, "Prebuilt");
    EXPECT_TRUE(Logged("LoadFineTunedAssociations: Pre-built configuration processing completed"));
    EXPECT_TRUE(Events.Loaded.empty());
}

TEST_F(PrebuiltConfigTest, FallsBackToTheNameWithoutVersion) {
    MakeZip(Zip(), "Maker Board  SysMaker Box", config);
    LoadFineTunedAssociations(Context());
    EXPECT_EQ(Slots.TempSlots[0].Name, "Prebuilt");
    EXPECT_TRUE(Logged("LoadFineTunedAssociations: CFG <Maker Board 1.0 SysMaker Box> not found in ZIP"));
    EXPECT_TRUE(Logged("LoadFineTunedAssociations: CfgFileName2=<Maker Board  SysMaker Box>"));
}

TEST_F(PrebuiltConfigTest, MissingOrBrokenArchivesChangeNothing) {
    const struct {
        const char* what;
        std::function<void()> make;
        std::string line;
    } cases[] = {
        {"missing", [] {}, "Error 1 while extracting CFG (Maker Board 1.0 SysMaker Box) from ZIP"},
        {"corrupt", [&] { writeFile(Zip(), "PK\x03\x04 not really a zip"); },
         "Error 1 while extracting CFG (Maker Board 1.0 SysMaker Box) from ZIP"},
        {"no member", [&] { MakeZip(Zip(), "maker board 1.0 sysmaker box", config); },
         "Error 3 while extracting CFG (Maker Board  SysMaker Box) from ZIP"},
    };
    const auto tempFiles = [] {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
            n += e.path().filename().string().rfind("CVC", 0) == 0;
        return n;
    };
    for (const auto& c : cases) {
        std::filesystem::remove(Zip());
        c.make();
        const int before = tempFiles();
        LoadFineTunedAssociations(Context());
        EXPECT_TRUE(Logged("LoadFineTunedAssociations: " + c.line)) << c.what;
        EXPECT_EQ(Slots.TempSlots[0].Name, "Temp1") << c.what;
        EXPECT_EQ(tempFiles(), before) << c.what;
    }
    // Without a board identity nothing is tried.
    Board = nullptr;
    Boxes.Info.clear();
    LoadFineTunedAssociations(Context());
    EXPECT_TRUE(Boxes.Info.empty());
}

}  // namespace
