#include "core/cvevents.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "core/cvmailqueue.h"
#include "core/cvmonitor.h"
#include "core/cvsmartdisk.h"
#include "core/coretest.h"
#include "fakesensor.h"
#include "fakeservices.h"

namespace {

using platform::sim::Balloon;
using platform::sim::StartedProgram;
using platform::sim::Tone;

// A sensor with two temperatures, a fan, a speed and a voltage, whose next
// readings the test chooses.
class TTestSensor : public coretest::TFakeSensor {
public:
    TTestSensor(const std::string& displayName, TLink* link = nullptr)
        : TFakeSensor("Test", 0x290, {{"CPU", "Board"}, {"CPU Fan"}, {"Pwm1"}, {"Vcore"}}, {}, link) {
        FDisplayName = displayName;
    }

    void Sample(std::vector<double> temps, double fan = 0, double pwm = 0, double volt = 0) {
        TFakeSensor::Sample(TReadingKind::Temp, std::move(temps));
        TFakeSensor::Sample(TReadingKind::Fan, {fan});
        TFakeSensor::Sample(TReadingKind::Pwm, {pwm});
        TFakeSensor::Sample(TReadingKind::Volt, {volt});
    }
};

class TTestDisk : public TTestSensor, public TSmartDisk {
public:
    TTestDisk(const std::string& displayName, TLink* link) : TTestSensor(displayName, link) {}
    std::optional<double> Fitness() const override { return FitnessValue; }
    std::optional<double> Performance() const override { return PerformanceValue; }
    int GetDriveNumber() const override { return 1; }
    std::string NameText() const override { return "ST500"; }
    std::span<const std::uint8_t> AttributePage() const override { return Attributes; }
    std::span<const std::uint8_t> ThresholdPage() const override { return Thresholds; }
    std::string Model() const override { return "ST500"; }
    std::string Firmware() const override { return "1.0"; }
    std::string Serial() const override { return "S1"; }

    // Entry n (0-based) of a page starts at byte 2 + 12 n.
    void SetAttribute(int entry, std::uint8_t id, std::uint8_t current, std::uint8_t worst, std::uint8_t threshold) {
        const std::size_t at = 2 + 12 * static_cast<std::size_t>(entry);
        Attributes[at] = id;
        Attributes[at + 3] = current;
        Attributes[at + 4] = worst;
        Thresholds[at] = id;
        Thresholds[at + 1] = threshold;
    }

    std::optional<double> FitnessValue;
    std::optional<double> PerformanceValue;
    std::array<std::uint8_t, 512> Attributes{};
    std::array<std::uint8_t, 512> Thresholds{};
};

class TRecordingMail : public TMailQueue {
public:
    struct TMail {
        std::string Profile, Subject;
        std::vector<std::string> Body;
    };
    int QueueMail(const TMailProfile& profile, const std::string& subject, const std::vector<std::string>& body,
                  TMailCompletion completion) override {
        EXPECT_FALSE(completion);
        Mails.push_back({profile.ProfileName, subject, body});
        return static_cast<int>(Mails.size());
    }
    void Resume() override { ++Resumes; }
    std::string TlsLibraryText() const override { return "not found"; }
    std::vector<TMail> Mails;
    int Resumes = 0;
};

class EventsTest : public coretest::CoreTest {
protected:
    EventsTest() {
        monitor_.Log.SetBoxes(&boxes_);
        cpu_ = add<TTestSensor>("W83627HF@$290(onISA)");
        board_ = add<TTestSensor>("LM75@$48(onSMBus)");
        disk_ = add<TTestDisk>("Disk ST500@$1(onSMART)", &diskLink_);
    }
    template <class T>
    T* add(const std::string& name, TLink* link = nullptr) {
        return static_cast<T*>(&monitor_.AppendSensor(CreateSensor<T>(name, link)));
    }

    TEvents& events() { return monitor_.Events; }
    platform::sim::SimDesktop& desktop() { return machine_->simDesktop(); }
    std::string trace() { return testsupport::readFile(ProgramDir + "debug.nfo"); }

    TCVEventDef& addEvent(const TEventDef& def) {
        events().Events.emplace_back().Def = def;
        events().CompileSimpleEvents();
        return events().Events.back();
    }

    // One second of the events tick.
    void tick() {
        events().ProcessEvents();
        machine_->simClock().advance(1000);
    }

    TMonitor monitor_;
    TLogBoxRecorder boxes_;
    TLink diskLink_{0, LinkKinds::SMART, HostKinds::None, 0, 0};
    TTestSensor* cpu_ = nullptr;
    TTestSensor* board_ = nullptr;
    TTestDisk* disk_ = nullptr;
};

TEventDef Def(std::int32_t origin, TEventSource source, std::int32_t reading, std::string check, std::string value,
              TEventAction action = TEventAction::Beep, std::int32_t allowEvery = 0, std::int32_t verifiedFor = 0) {
    TEventDef def;
    def.Origin = origin;
    def.SourceType = source;
    def.ReadingIdx = reading;
    def.CheckType = std::move(check);
    def.CheckValue = std::move(value);
    def.Action = action;
    def.AllowEvery = allowEvery;
    def.VerifiedFor = verifiedFor;
    return def;
}

// ---- rules and the events file ----------------------------------------------------

TEST(EventToCondition, BuildsTheConditionText) {
    EXPECT_EQ(EventToCondition(Def(2, TEventSource::Temp, 1, ">", "50")), "sensor[2].temp[1].value>50");
    EXPECT_EQ(EventToCondition(Def(0, TEventSource::Fan, 3, "<", "500")), "sensor[0].fan[3].value<500");
    EXPECT_EQ(EventToCondition(Def(1, TEventSource::Volt, 2, "<=", "11.5")), "sensor[1].volt[2].value<=11.5");
    EXPECT_EQ(EventToCondition(Def(-2, TEventSource::Smart, 513, "<", "80")), "sensor[-2].smart[513].value<80");
}

TEST_F(EventsTest, FileRoundTrip) {
    TEventDef execute = Def(1, TEventSource::Temp, 2, ">", "50", TEventAction::Execute, 60, 3);
    execute.ActionPar1 = "/usr/bin/notify";
    execute.ActionPar2 = "-u critical";
    TEventDef mail = Def(-2, TEventSource::Smart, 513, "<", "80", TEventAction::SendMail, 3600, 1);
    mail.ActionPar1 = "Disk failing";
    mail.ActionPar2 = "home";
    events().Events.emplace_back().Def = execute;
    events().Events.emplace_back().Def = mail;
    const std::string eventsFile = file(EventsFileName);
    ASSERT_TRUE(events().SaveEvents(eventsFile));

    const std::vector<std::string> expected{
        "[parameters]", "CfgVersion=01.0001", "EventsVersion=01.0001",
        "[event]", "Origin=LM75@$48(onSMBus)", "ReadingIdx=2", "SourceType=temp", "CheckType=>", "CheckValue=50",
        "Action=execute", "ActionPar1=/usr/bin/notify", "ActionPar2=-u critical", "AllowEvery=60", "VerifiedFor=3",
        "[event]", "Origin=special2", "ReadingIdx=513", "SourceType=SMART", "CheckType=<", "CheckValue=80",
        "Action=sendmail", "ActionPar1=Disk failing", "ActionPar2=home", "AllowEvery=3600", "VerifiedFor=1",
    };
    EXPECT_EQ(testsupport::splitLines(testsupport::readFile(eventsFile), "\r\n"), expected);

    events().Events.clear();
    events().LOADEVENTS(eventsFile);
    ASSERT_EQ(events().Events.size(), 2u);
    EXPECT_EQ(events().Events[0].Def, execute);
    EXPECT_EQ(events().Events[1].Def, mail);
    EXPECT_EQ(events().Events[0].Condition, "sensor[1].temp[2].value>50");
    EXPECT_EQ(events().Events[0].CompileState, TEventCompileState::Compiled);
    EXPECT_EQ(boxes_.Readings.back(), "Loaded 2 events");
    EXPECT_NE(trace().find("Loaded event : sensor[1].temp[2].value>50 for 3 every 60"), std::string::npos);
}

TEST_F(EventsTest, TolerantReader) {
    const std::string eventsFile = file(EventsFileName);
    testsupport::writeFile(eventsFile,
                           "  # a comment\n"
                           "stray=line before any section\n"
                           "[parameters]\n"
                           "CfgVersion=01.0001\n"
                           "\n"
                           "[EVENT]\n"
                           "verifiedfor=2\n"
                           "  ACTION=PopupMsg\n"
                           "Origin=nobody\n"
                           "origin=w83627hf@$290(onisa)\n"
                           "SourceType=Fan\r\n"
                           "READINGIDX=1\n"
                           "CheckType=<\n"
                           "CheckValue=600 \n"
                           "ActionPar1=Fan stopped\n"
                           "AllowEvery=10\n"
                           "[event]\n"
                           "Origin=Gone@$2E(onISA)\n"
                           "SourceType=temp\n"
                           "[event]\n"
                           "Origin=SPECIAL7\n"
                           "SourceType=volt\n"
                           "ReadingIdx=1\n"
                           "CheckType=>\n"
                           "CheckValue=1\n"
                           "Action=beep\n"
                           "AllowEvery=0\n"
                           "VerifiedFor=0");
    events().LOADEVENTS(eventsFile);
    ASSERT_EQ(events().Events.size(), 2u);
    TEventDef popup = Def(0, TEventSource::Fan, 1, "<", "600 ", TEventAction::PopupMsg, 10, 2);
    popup.ActionPar1 = "Fan stopped";
    EXPECT_EQ(events().Events[0].Def, popup);
    EXPECT_EQ(events().Events[1].Def, Def(-7, TEventSource::Volt, 1, ">", "1"));
    const std::string compileError =
        "Error compiling SIMPLE EVENT (eval) : |sensor[-7].volt[1].value>1| -> "
        "Unable to parse identifier (sensor[-7].volt[1].value)";
    const std::vector<std::string> shown{"Error loading event -->", "  Origin=Gone@$2E(onISA)", "  SourceType=temp",
                                         "Loaded 2 events"};
    EXPECT_EQ(boxes_.Readings, shown);
    const std::vector<std::string> info{shown[0], shown[1], shown[2], compileError, shown[3]};
    EXPECT_EQ(boxes_.Info, info);
    EXPECT_NE(trace().find(compileError), std::string::npos);
}

TEST_F(EventsTest, ReadEventDefRefusesIncompleteRules) {
    const std::vector<std::string> valid{"Origin=LM75@$48(onSMBus)", "SourceType=volt", "ReadingIdx=1",
                                         "CheckType=<", "CheckValue=11", "Action=sendmail", "ActionPar1=",
                                         "AllowEvery=5", "VerifiedFor=1"};
    EXPECT_EQ(ReadEventDef(monitor_.Sensors, valid), Def(1, TEventSource::Volt, 1, "<", "11", TEventAction::SendMail, 5, 1));
    const struct {
        const char* replaced;
        const char* line;
    } cases[] = {
        {"Origin=", "Origin="},          {"Origin=", "Origin=special"},   {"Origin=", "Origin=SPECIALx"},
        {"Origin=", "Origin=special0"},  {"Origin=", "Origin=special-3"}, {"Origin=", "Origin=LM75"},
        {"SourceType=", "SourceType=pwm"}, {"ReadingIdx=", "ReadingIdx=-1"}, {"ReadingIdx=", "ReadingIdx=one"},
        {"CheckType=", "CheckType="},    {"CheckValue=", "CheckValue="},   {"Action=", "Action=shutdown"},
        {"AllowEvery=", "AllowEvery=-1"}, {"VerifiedFor=", "VerifiedFor="},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines;
        for (const auto& line : valid) lines.push_back(line.starts_with(c.replaced) ? c.line : line);
        EXPECT_EQ(ReadEventDef(monitor_.Sensors, lines).Origin, InvalidEventOrigin) << c.line;
    }
}

TEST_F(EventsTest, ParameterSectionsOnlyAndMissingFile) {
    events().Events.emplace_back().Def = Def(0, TEventSource::Temp, 1, ">", "1");
    events().LOADEVENTS(file("absent.cfg"));
    EXPECT_EQ(events().Events.size(), 1u);

    const std::string eventsFile = file(EventsFileName);
    testsupport::writeFile(eventsFile, "[parameters]\r\nCfgVersion=01.0001\r\n[Parameters]\r\nEventsVersion=01.0001\r\n");
    events().LOADEVENTS(eventsFile);
    EXPECT_TRUE(events().Events.empty());
    EXPECT_EQ(boxes_.Readings, std::vector<std::string>{"Loaded 0 events"});
}

TEST_F(EventsTest, SaveFailureKeepsTheOldFile) {
    const std::string missingFolder = file("no/such/folder/") + EventsFileName;
    EXPECT_FALSE(events().SaveEvents(missingFolder));
    EXPECT_EQ(boxes_.Readings.back(), "Unable to save events to " + missingFolder);

    coretest::TFakeDialogs dialogs;  // with a window: an error box
    monitor_.Dialogs = &dialogs;
    EXPECT_FALSE(events().SaveEvents(missingFolder));
    EXPECT_EQ(dialogs.Errors, std::vector<std::string>{"Unable to save events to " + missingFolder});
    EXPECT_TRUE(dialogs.Warnings.empty());
}

// ---- evaluation -------------------------------------------------------------------

TEST_F(EventsTest, ResolvesSensorPaths) {
    board_->Sample({40, 30}, 1500, 50, 1.25);
    board_->Sample({44, 30}, 1600, 50, 1.5);
    TEventDef def;
    const struct {
        const char* path;
        double value;
    } cases[] = {
        {"sensor[1].temp[1].value", 44},     {"sensor[1].temp[1].previous", 40}, {"sensor[1].temp[1].MEAN", 42},
        {"sensor[1].temp[1].min", 40},       {"sensor[1].temp[1].max", 44},      {"sensor[1].fan[1].value", 1600},
        {"sensor[1].volt[1].previous", 1.25}, {"SENSOR[\"lm7\"].temp[2].value", 30},
    };
    for (const auto& c : cases) {
        TCVParser parser;
        parser.SetText(c.path);
        TCVExprItems items;
        parser.CompileExpression(items);
        TCVEvaluator evaluator;
        evaluator.AddIdProc([this](const TCVIdParams& p, TCVStack& s) { return events().ResolveEventVariable(p, s); });
        evaluator.EvaluateExpression(items);
        ASSERT_EQ(evaluator.Stack().Count(), 1) << c.path;
        const TCVStackItem item = evaluator.Stack().GetItem(0);
        EXPECT_EQ(item.Type, TCVStackType::Float) << c.path;
        EXPECT_DOUBLE_EQ(ParserTextToFloat(std::get<std::string>(item.Value)), c.value) << c.path;
    }
}

TEST_F(EventsTest, ResolvesSmartAttributesAndRatings) {
    disk_->SetAttribute(4, 194, 38, 25, 0);
    disk_->SetAttribute(5, 5, 100, 99, 36);
    disk_->FitnessValue = 0.625;      // 62.5 rounds to the even 62
    disk_->PerformanceValue = 0.875;  // 87.5 to 88
    const struct {
        const char* field;
        std::int32_t reading;
        const char* check;
        const char* value;
        bool result;
    } cases[] = {
        {"value", 194, ">", "37", true},  {"value", 194, "<", "39", true}, {"value", 5, ">", "99", true},
        {"value", 5, "<", "101", true},   {"value", 513, ">", "61", true},  {"value", 513, "<", "63", true},
        {"value", 514, ">", "87", true},  {"value", 514, "<", "89", true},
    };
    for (const auto& c : cases) {
        events().Events.clear();
        TCVEventDef& event = addEvent(Def(2, TEventSource::Smart, c.reading, c.check, c.value));
        EXPECT_EQ(events().EvaluateEvent(0), c.result) << event.Condition;
    }
    // worst and warning through the language directly
    for (const auto& [path, value] : std::vector<std::pair<std::string, std::int64_t>>{
             {"sensor[2].smart[194].worst", 25}, {"sensor[2].smart[5].warning", 36}, {"sensor[2].smart[513].value", 62}}) {
        TCVParser parser;
        parser.SetText(path);
        TCVExprItems items;
        parser.CompileExpression(items);
        TCVEvaluator evaluator;
        evaluator.AddIdProc([this](const TCVIdParams& p, TCVStack& s) { return events().ResolveEventVariable(p, s); });
        evaluator.EvaluateExpression(items);
        EXPECT_EQ(evaluator.Stack().GetItem(0), (TCVStackItem{TCVStackType::Int, value})) << path;
    }
}

TEST_F(EventsTest, UnresolvedPathsAndWrongResultsAreReportedAsFalse) {
    disk_->SetAttribute(0, 9, 90, 90, 0);
    constexpr TEventCompileState Raised = TEventCompileState::EvalError;
    const struct {
        TEventDef def;
        const char* message;
        TEventCompileState state;
    } cases[] = {
        {Def(-2, TEventSource::Temp, 1, ">", "50"),
         "Error evaluating \"Unable to parse identifier (sensor[-2].temp[1].value)\": exception :", Raised},
        {Def(3, TEventSource::Temp, 1, ">", "50"),
         "Error evaluating \"Unable to parse identifier (sensor[3].temp[1].value)\": exception :", Raised},
        {Def(0, TEventSource::Temp, 3, ">", "50"),
         "Error evaluating \"Unable to parse identifier (sensor[0].temp[3].value)\": exception :", Raised},
        {Def(0, TEventSource::Smart, 9, ">", "50"),
         "Error evaluating \"Unable to parse identifier (sensor[0].smart[9].value)\": exception :", Raised},
        {Def(2, TEventSource::Smart, 513, ">", "50"),
         "Error evaluating \"Unable to parse identifier (sensor[2].smart[513].value)\": exception :", Raised},
        {Def(2, TEventSource::Smart, 515, ">", "50"),
         "Error evaluating \"Unable to parse identifier (sensor[2].smart[515].value)\": exception :", Raised},
        {Def(0, TEventSource::Temp, 1, "+", "1"), "Error evaluating \"sensor[0].temp[1].value+1\": stack contains FLOAT data",
         TEventCompileState::Compiled},
        {Def(0, TEventSource::Temp, 1, ">", "\"a\""),
         "Error evaluating \"Unsupported types for '>'\": exception :", Raised},
    };
    for (const auto& c : cases) {
        events().Events.clear();
        TCVEventDef& event = addEvent(c.def);
        EXPECT_EQ(event.CompileState, c.state) << c.message;
        boxes_.Readings.clear();
        EXPECT_FALSE(events().EvaluateEvent(0));
        EXPECT_EQ(boxes_.Readings, std::vector<std::string>{c.message});
    }

    events().Events.front().Items = {{TCVItemKind::IntLiteral, "1"}, {TCVItemKind::IntLiteral, "2"}};
    boxes_.Readings.clear();
    EXPECT_FALSE(events().EvaluateEvent(0));
    EXPECT_EQ(boxes_.Readings.back(), "Error evaluating \"sensor[0].temp[1].value>\"a\"\": returned 2 elements on stack");
    EXPECT_NE(trace().find("Error evaluating"), std::string::npos);
}

// ---- the tick -----------------------------------------------------------------------

TEST_F(EventsTest, VerifiedForAndAllowEveryOverTicks) {
    const struct {
        std::int32_t verifiedFor, allowEvery;
        std::string pattern;  // T: the condition holds on that tick
        std::vector<int> actingTicks;
    } cases[] = {
        {3, 60, std::string(130, 'T'), {3, 62, 121}},
        {3, 0, "TTFTTTT", {6, 7}},
        {0, 3600, "TT", {1}},
        {1, 1, "TFT", {1, 3}},
    };
    for (const auto& c : cases) {
        events().Events.clear();
        addEvent(Def(0, TEventSource::Temp, 1, ">", "50", TEventAction::Beep, c.allowEvery, c.verifiedFor));
        desktop().tones.clear();
        std::vector<int> acted;
        for (std::size_t i = 0; i < c.pattern.size(); ++i) {
            cpu_->Sample({c.pattern[i] == 'T' ? 60.0 : 40.0, 30});
            tick();
            if (!desktop().tones.empty()) acted.push_back(static_cast<int>(i + 1));
            desktop().tones.clear();
        }
        EXPECT_EQ(acted, c.actingTicks) << c.pattern << " " << c.verifiedFor << "/" << c.allowEvery;
        EXPECT_EQ(events().Events[0].EvalCount, static_cast<std::int64_t>(c.pattern.size()));
    }
}

TEST_F(EventsTest, OwnTickRunsOncePerSecond) {
    cpu_->Sample({60, 30});
    const TCVEventDef& event = addEvent(Def(0, TEventSource::Temp, 1, ">", "50"));
    for (const std::uint64_t ms : {0, 400, 600, 400, 2500, 100}) {
        machine_->simClock().advance(ms);
        events().Tick();
    }
    // Runs at 0, 1000 and 3900 ms.
    EXPECT_EQ(event.EvalCount, 3);
}

TEST_F(EventsTest, AConditionThatDidNotCompileNeverRuns) {
    cpu_->Sample({60, 30});
    TCVEventDef& event = addEvent(Def(0, TEventSource::Temp, 1, ">", "(50"));
    EXPECT_EQ(event.CompileState, TEventCompileState::ParseError);
    EXPECT_EQ(boxes_.Info,
              std::vector<std::string>{
                  "Error compiling SIMPLE EVENT (parse) : |sensor[0].temp[1].value>(50| -> Missing ')' "
                  "(sensor[0].temp[1].value>(50)"});
    EXPECT_TRUE(boxes_.Readings.empty());
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(boxes_.Info.size(), 1u);
    EXPECT_EQ(event.EvalCount, 0);
    EXPECT_TRUE(desktop().tones.empty());
}

// ---- actions ------------------------------------------------------------------------

TEST_F(EventsTest, ActionsGoThroughTheDesktop) {
    const std::string program = file("alarm.sh");
    const std::string document = file("alarm.wav");
    testsupport::writeFile(program, "#!/bin/sh\n");
    testsupport::writeFile(document, "RIFF");
    std::filesystem::permissions(program, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    const std::string folder = machine_.programDir().substr(0, machine_.programDir().size() - 1);

    cpu_->Sample({60, 30});
    TEventDef run = Def(0, TEventSource::Temp, 1, ">", "50", TEventAction::Execute);
    run.ActionPar1 = program;
    run.ActionPar2 = "-v \"too hot\" ; rm";
    TEventDef open = run;
    open.ActionPar1 = document;
    TEventDef popup = Def(0, TEventSource::Temp, 1, ">", "50", TEventAction::PopupMsg);
    popup.ActionPar1 = "CPU too hot";
    for (const auto& def : {run, open, popup, Def(0, TEventSource::Temp, 1, ">", "50", TEventAction::Beep)})
        events().Events.emplace_back().Def = def;
    events().CompileSimpleEvents();
    tick();

    const StartedProgram started{program, {"-v", "too hot", ";", "rm"}, folder};
    EXPECT_EQ(desktop().programs, std::vector<StartedProgram>{started});
    EXPECT_EQ(desktop().documents, std::vector<std::string>{document});
    const Balloon balloon{"Caldavor", "CPU too hot", 10000, platform::BalloonIcon::Warning};
    EXPECT_EQ(desktop().balloons, std::vector<Balloon>{balloon});
    EXPECT_EQ(desktop().tones, std::vector<Tone>(1, Tone{494, 250}));

    // What cannot be started is handed to the desktop as a document.
    events().Events.erase(events().Events.begin() + 1, events().Events.end());
    events().Events[0].Def.ActionPar1 = "https://example.org/alarm";
    desktop().programsStart = false;
    tick();
    EXPECT_EQ(desktop().documents.back(), "https://example.org/alarm");
}

TEST_F(EventsTest, MailActionQueuesTheBody) {
    TRecordingMail mail;
    events().Mail = &mail;
    MailProfileList.resize(2);
    MailProfileList[0].ProfileName = "Home";
    MailProfileList[1].ProfileName = "home";
    cpu_->Sample({60, 30});
    TEventDef send = Def(0, TEventSource::Temp, 1, ">", "50", TEventAction::SendMail);
    send.ActionPar1 = "Too hot";
    send.ActionPar2 = "HOME";
    TEventDef unknown = send;
    unknown.ActionPar2 = "work";
    events().Events.emplace_back().Def = send;
    events().Events.emplace_back().Def = unknown;
    events().CompileSimpleEvents();
    const std::vector<std::string> body = testsupport::splitLines(events().CreateMailBody(), "\r");
    tick();

    ASSERT_EQ(mail.Mails.size(), 1u);
    EXPECT_EQ(mail.Mails[0].Profile, "Home");
    EXPECT_EQ(mail.Mails[0].Subject, "Too hot");
    EXPECT_EQ(mail.Mails[0].Body, body);
    EXPECT_EQ(mail.Resumes, 1);
    EXPECT_EQ(boxes_.Readings, std::vector<std::string>{"Unable to find mail profile <work>"});
    EXPECT_NE(trace().find("Unable to find mail profile <work>"), std::string::npos);
}

TEST_F(EventsTest, MailBodyLineByLine) {
    machine_->identity().computerName = "OFFICE-PC";
    platform::LocaleInfo locale;
    locale.shortDateFormat = "dd/mm/yyyy";
    locale.longTimeFormat = "hh:nn:ss";
    machine_->setLocale(locale);
    cpu_->Sample({45.4, 30.6}, 1500, 62.4, 1.25);
    board_->Sample({20, 21}, 0, 0, 12.1);
    monitor_.BuildReadingSlots();
    monitor_.AutoAssociate();
    monitor_.Slots.TempSlots[1].Active = false;   // cpu "Board"
    monitor_.Slots.VoltSlots[1].Active = false;   // board "Vcore"
    disk_->FitnessValue = 0.97;

    const std::vector<std::string> expected{
        "Current time is 15/01/2026 10:00:00 - Machine name is OFFICE-PC",
        "",
        "Temperatures:",
        "CPU -> 45C",
        "CPU -> 20C",
        "Board -> 21C",
        "CPU -> 0C",
        "Board -> 0C",
        "",
        "Fans:",
        "CPU Fan -> 1500 RPM",
        "CPU Fan -> 0 RPM",
        "CPU Fan -> 0 RPM",
        "",
        "Voltages:",
        "Vcore -> 1.25V",
        "Vcore -> 0.00V",
        "",
        "Speeds:",
        "Pwm1 -> 62%",
        "Pwm1 -> 0%",
        "Pwm1 -> 0%",
        "",
        "Hard disks' status:",
        "ST500 (drive 1) : fitness=97%   performance=???%",
    };
    EXPECT_EQ(testsupport::splitLines(events().CreateMailBody(), "\r"), expected);
}

TEST_F(EventsTest, EvaluationTimesAtExit) {
    cpu_->Sample({60, 30});
    addEvent(Def(0, TEventSource::Temp, 1, ">", "50"));
    addEvent(Def(0, TEventSource::Temp, 1, ">", ")"));
    tick();
    events().TraceEvaluationTimes();
    EXPECT_NE(trace().find("EVENT sensor[0].temp[1].value>50 execution took 00:00:00.000 on the average"),
              std::string::npos);
    EXPECT_EQ(trace().find("EVENT sensor[0].temp[1].value>) execution"), std::string::npos);
}

}  // namespace
