#include "net/cvwebservices.h"

#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "chips/cvsensorssmart.h"
#include "core/cvmonitor.h"
#include "core/cvvars.h"
#include "core/cvwebsite.h"
#include "hw/cvbuslocks.h"
#include "support/localhttpserver.h"
#include "support/testmachine.h"

namespace {

using testsupport::HttpRoute;
using testsupport::LocalHttpServer;
using testsupport::readFile;
using testsupport::writeFile;
using Lines = std::vector<std::string>;

// Answers the dialogs from the test's script and notes each step with the
// state of the web buttons at that moment.
class TScriptedWebDialogs : public TWebDialogs {
public:
    bool ConfirmSendInfo = true;
    std::string Email = "user@mail.example";
    std::optional<std::string> Notes = "my notes";
    std::optional<std::int64_t> Ticket = 42;
    bool ButtonsEnabled = true;

    Lines Steps, Warnings, Errors, Informations;
    std::string PreviewedReport;

    bool RunSendInfo() override { return Step("send info"), ConfirmSendInfo; }
    std::string SendInfoEmail() override { return Email; }
    void CloseSendInfo() override { Step("close send info"); }
    void ShowReportProgress() override { Step("progress"); }
    void CloseReportProgress() override { Step("close progress"); }
    std::optional<std::string> RunReportPreview(const std::string& report) override {
        Step("preview");
        PreviewedReport = report;
        return Notes;
    }
    std::optional<std::int64_t> RunGetConfig() override { return Step("get config"), Ticket; }
    void ShowWarning(const std::string& text) override { Step("warning"), Warnings.push_back(text); }
    void ShowError(const std::string& text) override { Step("error"), Errors.push_back(text); }
    void ShowInformation(const std::string& text) override { Step("information"), Informations.push_back(text); }

private:
    void Step(const std::string& name) { Steps.push_back(name + (ButtonsEnabled ? " (buttons on)" : "")); }
};

class TChosenDisk : public TSmartView {
public:
    int Index = -1;
    int GetHardDiskSelectedInCB() override { return Index; }
    void UpdateSmartPage(bool) override {}
    void SetDiskTileText(int, const std::string&) override {}
};

const std::string Support = std::string("\rPlease report this problem to ") + SupportAddress;

class WebServices : public ::testing::Test {
protected:
    WebServices() {
        ProxySettings = {};
        OriginalCfgId = 0;
        monitor.Caption = "Caldavor 3.2 beta";
        monitor.Log.SetBoxes(&boxes);
        monitor.SmartView = &chosenDisk;
    }
    ~WebServices() override { ProxySettings = {}; }

    TWebServices& Services(const std::string& url) {
        services = std::make_unique<TWebServices>(monitor, dialogs, TWebAddresses{url, url + "/hd"});
        services->BuildReport = [this] {
            dialogs.Steps.push_back(std::string("build") + (dialogs.ButtonsEnabled ? " (buttons on)" : ""));
            return report;
        };
        services->SetWebButtonsEnabled = [this](bool on) { dialogs.ButtonsEnabled = on; };
        return *services;
    }

    testsupport::TestMachine machine;
    TMonitor monitor;
    TLogBoxRecorder boxes;
    TChosenDisk chosenDisk;
    TScriptedWebDialogs dialogs;
    std::string report = "line one\r\nx=1 & y_2.-";
    std::unique_ptr<TWebServices> services;
};

// ---- the debug report ----------------------------------------------------

TEST_F(WebServices, SendReportPostsTheFormWithItsHeaders) {
    LocalHttpServer server({{"/cvdebug.php", {200, {"<html>", "Report sent.<br>"}}}});
    Services(server.url()).BTNSendDebugClick();

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& r = requests[0];
    EXPECT_EQ(r.requestLine, "POST /cvdebug.php HTTP/1.1");
    EXPECT_EQ(r.body,
              "senderemail=user%40mail%2Eexample&cvversion=Caldavor+3%2E2+beta"
              "&debugmessage=line+one%0D%0Ax%3D1+%26+y%5F2%2E%2D&notes=my+notes");
    EXPECT_EQ(r.headers.at("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(r.headers.at("user-agent"), "Mozilla/3.0 (compatible)");
    EXPECT_EQ(r.headers.at("accept"), "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    EXPECT_EQ(r.headers.count("proxy-authorization"), 0u);

    EXPECT_EQ(dialogs.PreviewedReport, report);
    EXPECT_EQ(dialogs.Steps, (Lines{"send info", "progress", "build", "close progress", "close send info", "preview"}))
        << "the buttons stay off from the click to the end";
    EXPECT_TRUE(dialogs.ButtonsEnabled);
    EXPECT_EQ(boxes.Readings, (Lines{"Report properly sent!", "Thank you for your support :-)"}));
    EXPECT_EQ(boxes.Info, (Lines{"Preparing report...", "Report built.", "HTTP state=waiting header",
                                 "HTTP state=waiting body", "HTTP state=ready", "Report properly sent!",
                                 "Thank you for your support :-)"}));
}

TEST_F(WebServices, AFailedReportAnswerIsListedAndReachesTheReadingsBoxInDebugMode) {
    for (const bool debugMode : {false, true}) {
        boxes = {};
        monitor.Options.DebugMode = debugMode;
        LocalHttpServer server({{"/cvdebug.php", {200, {"Database down<br>\r", "try later"}}}});
        Services(server.url()).BTNSendDebugClick();
        Lines readings{"WARNING: error sending report (1)"};
        if (debugMode) readings.insert(readings.end(), {"SEND REPORT answer -->", "  Database down", "  try later"});
        EXPECT_EQ(boxes.Readings, readings) << debugMode;
        const Lines tail(boxes.Info.end() - 4, boxes.Info.end());
        EXPECT_EQ(tail, (Lines{"WARNING: error sending report (1)", "SEND REPORT answer -->", "  Database down",
                               "  try later"}));
    }
}

TEST_F(WebServices, NothingIsPostedWhenTheUserStops) {
    LocalHttpServer server({{"/cvdebug.php", {200, {"REPORT SENT."}}}});
    dialogs.ConfirmSendInfo = false;
    Services(server.url()).BTNSendDebugClick();
    EXPECT_EQ(dialogs.Steps, (Lines{"send info", "close send info"}));
    dialogs.ConfirmSendInfo = true;
    dialogs.Notes.reset();
    services->BTNSendDebugClick();
    dialogs.Ticket.reset();
    services->BTNGetConfigClick();
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(dialogs.ButtonsEnabled);
}

TEST_F(WebServices, AFailingReportBuilderSendsItsExceptionLine) {
    LocalHttpServer server({{"/cvdebug.php", {200, {"REPORT SENT."}}}});
    Services(server.url()).BuildReport = []() -> std::string { throw std::runtime_error("bus gone"); };
    services->BTNSendDebugClick();
    EXPECT_EQ(dialogs.PreviewedReport, "\r\nException building SEND REPORT: <bus gone>");
}

// ---- HTTP failures and the proxy -------------------------------------------

TEST_F(WebServices, AnErrorStatusWarnsAfterTheAnswerIsParsed) {
    const struct {
        int status;
        std::string reason;
    } cases[] = {{400, "Bad Request"}, {404, "Not Found"}, {500, "Internal Server Error"}};
    for (const auto& c : cases) {
        dialogs.Warnings.clear();
        boxes = {};
        LocalHttpServer server({{"/cvdebug.php", {c.status, {"REPORT SENT."}}}});
        Services(server.url()).BTNSendDebugClick();
        EXPECT_EQ(boxes.Readings.front(), "Report properly sent!") << c.status;
        EXPECT_EQ(dialogs.Warnings, Lines{"An EXCEPTION has been raised trying to post:\r" + c.reason + Support});
    }
}

TEST_F(WebServices, AClosedPortGivesTheConnectionWarning) {
    int port = 0;
    {
        LocalHttpServer gone({});
        port = gone.port();
    }
    Services("http://127.0.0.1:" + std::to_string(port)).BTNGetConfigClick();
    EXPECT_EQ(dialogs.Warnings,
              Lines{"There was an error in the HTTP connection.\rPlease check proxy configuration or try to send again."});
    EXPECT_TRUE(dialogs.Errors.empty()) << "no answer is parsed";
    EXPECT_TRUE(dialogs.ButtonsEnabled);
}

TEST_F(WebServices, TheProxyCarriesTheRequestAndItsCredentials) {
    LocalHttpServer proxy({{"/cvgetconfig.php", {200, {"ERROR=1"}}}}, LocalHttpServer::ProxyCredentials{"ann", "s3cret"});
    ProxySettings = {"127.0.0.1", std::to_string(proxy.port()), "ann", "s3cret", true};
    Services("http://www.caldavor.example").BTNGetConfigClick();

    const auto requests = proxy.requests();
    ASSERT_FALSE(requests.empty());
    const auto& last = requests.back();
    EXPECT_EQ(last.requestLine, "POST http://www.caldavor.example/cvgetconfig.php HTTP/1.1");
    EXPECT_EQ(last.headers.at("proxy-authorization"), "Basic YW5uOnMzY3JldA==");
    EXPECT_EQ(last.body, "TokenID=42");
    EXPECT_EQ(dialogs.Errors, Lines{"Error receiving configuration (ticket number not found)"});

    // Switched off, the settings stay unused: the service is asked directly.
    ProxySettings.UseProxy = false;
    LocalHttpServer direct({{"/cvgetconfig.php", {200, {"ERROR=2"}}}});
    Services(direct.url()).BTNGetConfigClick();
    ASSERT_EQ(direct.requests().size(), 1u);
    EXPECT_EQ(direct.requests()[0].requestLine, "POST /cvgetconfig.php HTTP/1.1");
    EXPECT_EQ(proxy.requests().size(), requests.size());
}

// ---- the configuration by ticket -------------------------------------------

const std::string GoodConfig = "xxx Sensors board\r\nxxx OriginalCfgId=17\r\nxxx the end\r\n";
const std::string GoodData = "eHh4IFNlbnNvcnMgYm9hcmQNCnh4eCBPcmlnaW5hbENmZ0lkPTE3DQp4eHggdGhlIGVuZA0K";
const std::string GoodMD5 = "591db9fe0939d2986a119a7c58a1c5c3";
const std::string NoEndData = "eHh4IFNlbnNvcnMgYm9hcmQNCg==";
const std::string NoEndMD5 = "707852251fb26ef91f6b8b72ed72f496";

Lines ConfigAnswer(const std::string& data, const std::string& md5, const std::string& tail = "") {
    return {"TRANSMISSION COMPLETE<br>", "ConfigID=23" + tail, "ConfigMD5=" + md5 + tail, "EncodeLen=99" + tail,
            "ConfigData=" + data + tail};
}

TEST_F(WebServices, ConfigurationAnswers) {
    const std::string written = "xxx Sensors board\r\n\r\nxxx the end\r\n\r\nxxx OriginalCfgId=23\r\n";
    const std::string old = "xxx old configuration\r\n";
    const std::string unknown = "Error receiving configuration (unknown error (unable to connect?))";
    const struct {
        const char* name;
        Lines answer;
        std::string error, file;
    } cases[] = {
        {"good", ConfigAnswer(GoodData, GoodMD5), "", written},
        {"upper-case digest, break tags", ConfigAnswer(GoodData, "591DB9FE0939D2986A119A7C58A1C5C3", "<br>\r"), "",
         written},
        {"wrong digest", ConfigAnswer(GoodData, NoEndMD5), "Wrong config MD5", old},
        {"no end line", ConfigAnswer(NoEndData, NoEndMD5), "Invalid configuration data", old},
        {"bad Base64", ConfigAnswer("eHh4*", GoodMD5),
         "Error receiving configuration (Base64ToStr: illegal input length!)", old},
        {"bad Base64 character", ConfigAnswer("eHh4 IFNlbnN", GoodMD5),
         "Error receiving configuration (Base64ToStr: illegal character)", old},
        {"error 1", {"ERROR=1"}, "Error receiving configuration (ticket number not found)", old},
        {"error 2", {"x", "ERROR=2\r"}, "Error receiving configuration (invalid IP)", old},
        {"error 3 with a tag", {"ERROR=3<br>\r"}, "Error receiving configuration (invalid operation)", old},
        {"error 4", {"ERROR=4"}, "Error receiving configuration (ticket has expired)", old},
        {"error 5", {"ERROR=5"}, "Error receiving configuration (error accessing the database)", old},
        {"the last error wins", {"ERROR=1", "ERROR=77"}, "Error receiving configuration (unknown error '77')", old},
        {"no code", {"nothing here"}, unknown, old},
        {"complete forgets the error", {"ERROR=1", "transmission complete"},
         "Error receiving configuration (Base64ToStr: illegal input length!)", old},
    };
    const std::string path = machine.programDir() + "caldavorsens.cfg";
    for (const auto& c : cases) {
        writeFile(path, old);
        chmod(path.c_str(), 0600);
        std::filesystem::remove(path + ".bak");
        dialogs.Errors.clear();
        dialogs.Informations.clear();
        LocalHttpServer server({{"/cvgetconfig.php", {200, c.answer}}});
        Services(server.url()).BTNGetConfigClick();
        EXPECT_EQ(readFile(path), c.file) << c.name;
        if (c.error.empty()) {
            EXPECT_TRUE(dialogs.Errors.empty()) << c.name;
            EXPECT_EQ(dialogs.Informations, Lines{"Operation succeeded.\rPlease, restart Caldavor."}) << c.name;
            EXPECT_EQ(readFile(path + ".bak"), old) << c.name;
            struct stat info {};
            ASSERT_EQ(stat(path.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600u) << c.name;
        } else {
            EXPECT_EQ(dialogs.Errors, Lines{c.error}) << c.name;
            EXPECT_FALSE(std::filesystem::exists(path + ".bak")) << c.name;
        }
    }
}

TEST_F(WebServices, AConfigurationThatCannotBeWrittenKeepsTheOldFile) {
    const std::string path = machine.programDir() + "caldavorsens.cfg";
    writeFile(path, "old");
    LocalHttpServer server({{"/cvgetconfig.php", {200, ConfigAnswer(GoodData, GoodMD5)}}});
    std::filesystem::create_directory(path + ".bak");  // the old file cannot be kept
    Services(server.url()).BTNGetConfigClick();
    std::filesystem::remove(path + ".bak");
    if (geteuid() != 0) {  // root writes into any folder
        chmod(machine.programDir().c_str(), 0500);
        services->BTNGetConfigClick();
        chmod(machine.programDir().c_str(), 0700);
    }
    EXPECT_EQ(dialogs.Errors, Lines(geteuid() != 0 ? 2 : 1, "Unable to write to configuration file"));
    EXPECT_EQ(readFile(path), "old");
}

TEST(SetOriginalCfgId, EmptiesTheOldLineAndAppendsTheNewId) {
    const struct {
        std::string config;
        std::int32_t id;
        std::string result;
    } cases[] = {
        {"a\r\nXXX ORIGINALCFGID=17\r\nb", 23, "a\r\n\r\nb\r\nxxx OriginalCfgId=23\r\n"},
        {"a\r\nxxx OriginalCfgId=17", 0, "a\r\n"},
        {"a", 5, "a\r\nxxx OriginalCfgId=5\r\n"},
        {"a", 0, "a"},
    };
    for (const auto& c : cases) EXPECT_EQ(SetOriginalCfgId(c.config, c.id), c.result) << c.config;
}

// ---- the disk report -------------------------------------------------------

TEST(ParseDiskReportAnswer, TakesTheLastValueOfEachKey) {
    const struct {
        std::string answer;
        int code, answerCode;
        std::string verification;
    } cases[] = {
        {"ANSWER=0\r\nREPORTCODE=12<br>\r\nREPORTVERIFICATION=ab12<BR>\r\n", 12, 0, "ab12"},
        {"answer=3\nreportcode=x", -2, 3, ""},
        {"nothing", -1, -1, ""},
        {"ANSWER=\nANSWER=1\nANSWER=zz", -1, -2, ""},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseDiskReportAnswer(c.answer);
        EXPECT_EQ(parsed.ReportCode, c.code) << c.answer;
        EXPECT_EQ(parsed.Answer, c.answerCode) << c.answer;
        EXPECT_EQ(parsed.Verification, c.verification) << c.answer;
    }
}

TEST(BuildDiskReport, WritesTheHeaderAndTheAttributesOfTheFreshPage) {
    std::array<std::uint8_t, 528> identify{};
    identify[0] = 0x0A;
    identify[527] = 0xF0;
    std::array<std::uint8_t, 512> attributes{}, thresholds{};
    const std::uint8_t entry1[12] = {0xC2, 0x22, 0x00, 100, 95, 0x24, 0x00, 0x11, 0x00, 0x2B, 0x01, 0};
    const std::uint8_t entry3[12] = {0x05, 0x33, 0x01, 200, 199, 1, 2, 3, 4, 5, 6, 0};
    std::copy(std::begin(entry1), std::end(entry1), attributes.begin() + 2);
    std::copy(std::begin(entry3), std::end(entry3), attributes.begin() + 26);
    thresholds[2] = 0xC2;
    thresholds[3] = 0;
    thresholds[26] = 0x05;
    thresholds[27] = 36;

    TDiskReportFacts disk{" ST3250 ", "FW1 ", " SER9", {30401, 12, 255, 63, 512}, identify, attributes, thresholds, 36.5};
    const std::string text = BuildDiskReport(disk);
    const std::string idSector = "0A" + std::string(1052, '0') + "F0";
    EXPECT_EQ(text, "<--HEADER\nversion=1\ninterface=EIDE\nmodel=ST3250\nfirmware=FW1\nserial=SER9\n"
                    "cylinders=30401\ntracksxcyl=255\nsecsxtrack=63\nbytesxsec=512\nsizegb=250.06\n"
                    "temperature=36\nIDSector=" + idSector + "\nHEADER-->\n<--SMARTATTRS\n"
                    "C2 64 5F 012B00110024 00 0022\n05 C8 C7 060504030201 24 0133\nSMARTATTRS-->\n");

    disk.Attributes = {};
    disk.Temperature = 37.5;
    EXPECT_NE(BuildDiskReport(disk).find("temperature=38\nIDSector="), std::string::npos);
    EXPECT_NE(BuildDiskReport(disk).find("<--SMARTATTRS\nSMARTATTRS-->\n"), std::string::npos);
}

TEST_F(WebServices, TheDiskSizeKeepsItsPointUnderADecimalComma) {
    platform::LocaleInfo locale = machine->locale();
    locale.decimalSeparator = ',';
    machine->setLocale(locale);
    const std::array<std::uint8_t, 528> identify{};
    const TDiskReportFacts disk{"m", "f", "s", {30401, 12, 255, 63, 512}, identify, {}, {}, 0};
    EXPECT_NE(BuildDiskReport(disk).find("\nsizegb=250.06\n"), std::string::npos);
}

const char* const DiskBoard = R"({"disks": {"d": {"model": "ST3500418AS", "firmware": "CC38", "serial": "9VM1ABCD",
    "sectors": 976773168, "lba48": true,
    "geometry": {"cylinders": 60801, "tracksPerCylinder": 255, "sectorsPerTrack": 63, "bytesPerSector": 512},
    "attributes": [{"id": 194, "flags": "0x0022", "value": 64, "raw": "0x24"}],
    "thresholds": [45], "temperature": [36], "physical": {"drive": 0}}}})";

class DiskReport : public WebServices {
protected:
    DiskReport() {
        InitializeBusLocks();
        machine->loadFromJson(DiskBoard, "disk.json");
        monitor.Sensors.push_back(std::make_unique<TSensor>(nullptr, 0, 17, nullptr, "", "", ""));
        monitor.Sensors.push_back(CreateSensor<TSMARTSensor>(nullptr, 0, TSMARTSensor::ChipCode, nullptr, "", "", ""));
        chosenDisk.Index = 1;
    }
    ~DiskReport() override { FinalizeBusLocks(); }
};

TEST_F(DiskReport, PostsTheChosenDiskAndOpensTheResultPage) {
    LocalHttpServer server(
        {{"/hd/hdrepsend.php", {200, {"ANSWER=0<br>", "REPORTCODE=4711<br>\r", "REPORTVERIFICATION=Ab9z"}}}});
    Services(server.url()).BTNQuesselClick();
    ASSERT_EQ(server.requests().size(), 1u);
    const std::string body = server.requests()[0].body;
    EXPECT_EQ(body.rfind("software=Caldavor+3%2E2+beta&dataversion=1&checksum=", 0), 0u) << body;
    EXPECT_NE(body.find("&data=%3C%2D%2DHEADER%0Aversion%3D1%0Ainterface%3DEIDE%0Amodel%3DST3500418AS%0A"),
              std::string::npos);
    EXPECT_NE(body.find("sizegb%3D500%2E11%0Atemperature%3D36%0AIDSector%3D"), std::string::npos);
    EXPECT_NE(body.find("%0AC2+40+"), std::string::npos) << "attribute 194, value 64";
    EXPECT_EQ(machine->simDesktop().documents,
              Lines{server.url() + "/hd/hdrepshowreport.php?ReportCode=4711&ReportVerification=Ab9z"});
    EXPECT_TRUE(dialogs.Errors.empty());
}

TEST_F(DiskReport, AnswersThatOpenNothing) {
    const struct {
        Lines answer;
        Lines errors;
    } cases[] = {
        {{"REPORTCODE=1", "REPORTVERIFICATION=ab"}, {"Error #-1 receiving report answer"}},
        {{"ANSWER=7"}, {"Error #7 receiving report answer"}},
        {{"ANSWER=0", "REPORTCODE=1", "REPORTVERIFICATION=a&b=c"}, {}},
        {{"ANSWER=0", "REPORTCODE=-1", "REPORTVERIFICATION=ab"}, {}},
        {{"ANSWER=0", "REPORTCODE=1"}, {}},
    };
    for (const auto& c : cases) {
        dialogs.Errors.clear();
        LocalHttpServer server({{"/hd/hdrepsend.php", {200, c.answer}}});
        Services(server.url()).BTNQuesselClick();
        EXPECT_EQ(dialogs.Errors, c.errors) << c.answer.back();
        EXPECT_TRUE(machine->simDesktop().documents.empty()) << c.answer.back();
    }
}

TEST_F(DiskReport, AScsiDiskOrNoDiskPostsNothing) {
    LocalHttpServer server({{"/hd/hdrepsend.php", {200, {"ANSWER=0"}}}});
    for (const int index : {0, -1, 5}) {
        chosenDisk.Index = index;
        Services(server.url()).BTNQuesselClick();
    }
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(dialogs.ButtonsEnabled);
}

}  // namespace
