#include "core/cvsensorsparser.h"

#include <gtest/gtest.h>

#include "support/testmachine.h"

using namespace sensorsfile;

namespace {

std::vector<std::string> Lines(const std::string& text) { return testsupport::splitLines(text, "\n"); }

struct Recorder : TSectionSink {
    std::vector<TSensorSection> sensors;
    std::vector<TSlotSection> slots;
    std::vector<TFanControllerSection> controllers;
    std::vector<TControllerInputSection> inputs;
    std::vector<std::int32_t> cfgIds;
    std::vector<std::string> trace;

    void Sensor(const TSensorSection& s) override { sensors.push_back(s); }
    void Slot(const TSlotSection& s) override { slots.push_back(s); }
    void FanController(const TFanControllerSection& s) override { controllers.push_back(s); }
    void ControllerInput(const TControllerInputSection& s) override { inputs.push_back(s); }
    void OriginalCfgId(std::int32_t id) override { cfgIds.push_back(id); }

    void Read(const std::string& text, std::int32_t version = 203, bool propertiesOnly = false) {
        ReadSections(Lines(text), version, propertiesOnly, *this, [this](const std::string& m) { trace.push_back(m); });
    }
};

TEST(SensorsFileText, VersionLine) {
    const struct {
        const char* text;
        std::int32_t version;
    } cases[] = {
        {"xxx version 2.03\n", 203},   {"\nXXX VERSION 1.01\n", 101}, {"xxx version 2.x\n", 200},
        {"xxx version \n", 0},         {"no version here\n", 0},       {"xxx version 99999999999.1\n", 1},
        {"xxx version 2\n", 200},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseCfgVersion(Lines(c.text)), c.version) << c.text;
}

TEST(SensorsFileText, SmallParsers) {
    const TReadingRef ref = ParseReadingRef("3 FROM  Chip@$290(onISA) ");
    EXPECT_EQ(ref.ReadingIndex, 3);
    EXPECT_EQ(ref.SensorId, "Chip@$290(onISA)");
    EXPECT_EQ(ParseReadingRef("x from y").ReadingIndex, 0);

    auto prop = ParsePropertyLine("66 |Reverse PWM01 logic| set to |ON|");
    ASSERT_TRUE(prop);
    EXPECT_EQ(prop->PropId, 66);
    EXPECT_EQ(prop->PropName, "Reverse PWM01 logic");
    EXPECT_EQ(prop->Value, "ON");
    for (const char* bad : {"", "|x| set to |y|", "66 x| set to |y|", "66 |x", "66 |x| to |y|", "99999999999 |x| set to |y|"})
        EXPECT_FALSE(ParsePropertyLine(bad)) << bad;
}

TEST(SensorsFileText, ControlPoints) {
    auto points = ParseControlPoints("10 20 30");
    ASSERT_TRUE(points);
    EXPECT_EQ((*points)[0], 10);
    EXPECT_EQ((*points)[1], 20);
    for (int k = 2; k < 16; ++k) EXPECT_EQ((*points)[k], 30) << k;

    points = ParseControlPoints("5 abc -1  7 nan 1e999 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14");
    ASSERT_TRUE(points);
    EXPECT_EQ((*points)[0], 5);
    EXPECT_EQ((*points)[1], 7);
    EXPECT_EQ((*points)[2], 0);
    EXPECT_EQ((*points)[15], 13);
    EXPECT_FALSE(ParseControlPoints("x -1 y"));
    EXPECT_FALSE(ParseControlPoints(""));
}

const char* const FullFile =
    "xxx version 2.03\n"
    "\n"
    "xxx SMBIOS info\nMBManufacturer=Maker\nxxx end\n"
    "xxx OriginalCfgId=17\n"
    "\n"
    "xxx Sensor UniqueID=ChipA@$290(onISA)\nName=ChipA\nUsedBUS=ISA bus\nAddress=$290\nLink=ISA\nStickyProps=2\n"
    "Property=66 |Reverse PWM01 logic| set to |ON|\nProperty=76 |Temperature 1 offset| set to |-5|\nxxx end\n"
    "\n"
    "xxx the end\n"
    "\n"
    "xxx Pwm 2 from ChipA@$290(onISA)\nname=Rear\nactive=true\nmin=30\nmax=90\nvariate=true\nlogged=true\nxxx end\n"
    "\n"
    "xxx Temp 1 from ChipA@$290(onISA)\nname=CPU\nactive=false\nwanted=45\nwarning=x\noffset=0\nintray=true\n"
    "UsedPwms=2\npwm=2 from ChipA@$290(onISA)\npwm=1 from Other\nlogged=true\nxxx end\n"
    "\n"
    "xxx Fan 1 from ChipA@$290(onISA)\nname=F1\nactive=true\nlogged=false\nxxx end\n"
    "\n"
    "xxx Volt 3 from ChipA@$290(onISA)\nname=V3\nactive=true\nlogged=true\nxxx end\n"
    "\n"
    "xxx FanController 0\nname=Case\npwm=2 from ChipA@$290(onISA)\nmethod=1\nenabled=true\nxxx end\n"
    "\n"
    "xxx FanControllerTemp from FanController 0\ntemp=1 from ChipA@$290(onISA)\nMinTemp=30\nMaxTemp=60\n"
    "hysteresis=3\nControlPoints=10 20 30\nxxx end\n";

TEST(SensorsFileText, ReadsEverySection) {
    Recorder r;
    r.Read(FullFile);
    ASSERT_EQ(r.cfgIds.size(), 1u);
    EXPECT_EQ(r.cfgIds[0], 17);

    ASSERT_EQ(r.sensors.size(), 1u);
    EXPECT_EQ(r.sensors[0].UniqueId, "ChipA@$290(onISA)");
    EXPECT_EQ(r.sensors[0].Address, "$290");
    ASSERT_EQ(r.sensors[0].Props.size(), 2u);
    EXPECT_EQ(r.sensors[0].Props[1].Value, "-5");

    ASSERT_EQ(r.slots.size(), 4u);
    const auto& pwm = r.slots[0];
    EXPECT_EQ(pwm.Kind, TSlotKind::Pwm);
    EXPECT_EQ(pwm.Ref.ReadingIndex, 2);
    EXPECT_EQ(pwm.MinPercent, 30);
    EXPECT_EQ(pwm.MaxPercent, 90);
    EXPECT_EQ(pwm.Variate, true);
    EXPECT_EQ(pwm.Logged, true);
    const auto& temp = r.slots[1];
    EXPECT_EQ(temp.Kind, TSlotKind::Temp);
    EXPECT_EQ(temp.Name, "CPU");
    EXPECT_EQ(temp.Active, false);
    EXPECT_EQ(temp.Wanted, 45);
    EXPECT_EQ(temp.Warning, 55);  // unreadable
    ASSERT_TRUE(temp.UsedPwms);
    ASSERT_EQ(temp.UsedPwms->size(), 2u);
    EXPECT_EQ((*temp.UsedPwms)[1].Ref.SensorId, "Other");
    EXPECT_EQ(temp.Logged, true);
    EXPECT_EQ(r.slots[2].Kind, TSlotKind::Fan);
    EXPECT_EQ(r.slots[3].Kind, TSlotKind::Volt);
    EXPECT_EQ(r.slots[3].Ref.ReadingIndex, 3);

    ASSERT_EQ(r.controllers.size(), 1u);
    EXPECT_EQ(r.controllers[0].Method, 1);
    EXPECT_TRUE(r.controllers[0].Enabled);
    ASSERT_EQ(r.inputs.size(), 1u);
    EXPECT_EQ(r.inputs[0].Hysteresis, 3);
    EXPECT_EQ(r.inputs[0].ControlPoints[15], 30);
    EXPECT_NE(std::find(r.trace.begin(), r.trace.end(), "CFG: xxx the end"), r.trace.end());
}

TEST(SensorsFileText, LoggedLinesFollowTheVersion) {
    const std::string text =
        "xxx Temp 1 from A\nname=T\nactive=true\nwanted=40\nwarning=50\noffset=0\nintray=false\nUsedPwms=0\n"
        "logged=true\nxxx end\n"
        "xxx Pwm 1 from A\nname=P\nactive=true\nmin=0\nmax=100\nvariate=false\nlogged=true\nxxx end\n";
    for (std::int32_t version : {200, 202, 203}) {
        Recorder r;
        r.Read(text, version);
        ASSERT_EQ(r.slots.size(), 2u);
        EXPECT_EQ(r.slots[0].Logged.has_value(), version >= 201) << version;
        EXPECT_EQ(r.slots[1].Logged.has_value(), version >= 203) << version;
    }
}

TEST(SensorsFileText, PropertiesOnlyReadsSensorsAlone) {
    Recorder r;
    r.Read(FullFile, 203, true);
    EXPECT_EQ(r.sensors.size(), 1u);
    EXPECT_TRUE(r.slots.empty());
    EXPECT_TRUE(r.controllers.empty());
    EXPECT_TRUE(r.inputs.empty());
    EXPECT_TRUE(r.cfgIds.empty());
}

TEST(SensorsFileText, BrokenSectionsNeverSwallowTheNext) {
    // A section cut short by the next header, an unexpected line, and a file
    // that ends inside a section.
    Recorder r;
    r.Read("xxx Temp 1 from A\nname=T\n"
           "xxx Fan 2 from A\nname=F\ncolour=red\nactive=true\nxxx end\n"
           "xxx OriginalCfgId=5\n"
           "xxx Sensor UniqueID=B\nName=B\nUsedBUS=x\nAddress=$1\nLink=y\nStickyProps=9\nProperty=bad\n"
           "Property=1 |A| set to |B|\n"
           "xxx Pwm 3 from A\nname=P\nactive=tr");
    ASSERT_EQ(r.slots.size(), 3u);
    EXPECT_EQ(r.slots[0].Name, "T");
    EXPECT_FALSE(r.slots[0].Active);
    EXPECT_FALSE(r.slots[0].UsedPwms);
    EXPECT_EQ(r.slots[1].Name, "F");
    EXPECT_FALSE(r.slots[1].Active);  // the unexpected line ends the fields
    EXPECT_EQ(r.slots[2].Active, false);
    EXPECT_FALSE(r.slots[2].MinPercent);
    ASSERT_EQ(r.sensors.size(), 1u);
    ASSERT_EQ(r.sensors[0].Props.size(), 1u);
    EXPECT_EQ(r.sensors[0].Props[0].PropName, "A");
    EXPECT_EQ(r.cfgIds, std::vector<std::int32_t>{5});
    EXPECT_NE(std::find(r.trace.begin(), r.trace.end(), "CFG: malformed line skipped: colour=red"), r.trace.end());
    EXPECT_NE(std::find(r.trace.begin(), r.trace.end(), "CFG: malformed line skipped: Property=bad"), r.trace.end());
}

TEST(SensorsFileText, MasksIgnoreCase) {
    Recorder r;
    r.Read("XXX TEMP 4 FROM A\nName=T\nxxx END\nxxx fancontroller 3\nNAME=c\nPWM=1 from A\n");
    ASSERT_EQ(r.slots.size(), 1u);
    EXPECT_EQ(r.slots[0].Ref.ReadingIndex, 4);
    EXPECT_EQ(r.slots[0].Name, "T");
    ASSERT_EQ(r.controllers.size(), 1u);
    EXPECT_EQ(r.controllers[0].Number, 3);
    EXPECT_EQ(r.controllers[0].Pwm->SensorId, "A");
}

TEST(SensorsFileText, LegacyLines) {
    const auto lines = ReadLegacyLines(Lines("xxx temp\nName=CPU\npwm=2\nXXX FAN\nxxx fan\nchip=1\nrubbish\n"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(lines[0].Opens);
    EXPECT_EQ(lines[0].Kind, TSlotKind::Temp);
    EXPECT_EQ(lines[1].Key, "name");
    EXPECT_EQ(lines[1].Value, "CPU");
    EXPECT_EQ(lines[3].Kind, TSlotKind::Fan);
    EXPECT_EQ(lines[4].Key, "chip");
}

}  // namespace
