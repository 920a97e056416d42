// SCSI log pages and identity: the page checks, parameter names and values,
// the informational-exception texts, the supported-pages list, INQUIRY and
// the temperature check, against simulated SCSI disks.

#include <gtest/gtest.h>

#include <memory>

#include "core/cvlogsinks.h"
#include "diskfixture.h"
#include "disks/cvscsi.h"
#include "disks/cvsmart.h"

namespace {

using diskfixture::DiskTest;

std::unique_ptr<TLogSenseRequest> pageOf(std::initializer_list<int> bytes, std::uint8_t status = 0) {
    auto r = std::make_unique<TLogSenseRequest>();
    std::size_t i = 0;
    for (int b : bytes) r->data[i++] = static_cast<std::uint8_t>(b);
    r->header.scsiStatus = status;
    return r;
}

TEST(LogSensePages, CheckNamesTheFirstFailingTest) {
    struct Case {
        std::unique_ptr<TLogSenseRequest> request;
        int length;
        const char* message;
    };
    Case cases[] = {
        {pageOf({0x0D, 0, 0, 4}, 0x02), 0, "ScsiStatus ($02) reports an error"},
        {pageOf({0x0D, 0, 0, 4}), 0, "no LogSense page data returned"},
        {pageOf({0x0D, 0, 0, 4}), -1, "negative LogSense page length returned"},
        {pageOf({0x4E, 0, 0, 4}), 8, "returned LogSense page code is $0E instead of $0D"},
        {pageOf({0x0D, 0, 0, 5}), 8, "page #$0D length 9 exceedes returned length (8)"},
        {pageOf({0x4D, 0, 0, 4}), 8, ""},
    };
    for (auto& c : cases) {
        std::string message = "stale";
        EXPECT_EQ(CheckLogSensePage(*c.request, c.length, 0x0D, message), *c.message == 0) << c.message;
        EXPECT_EQ(message, c.message);
    }
}

TEST(LogSensePages, ParameterNames) {
    const std::tuple<int, int, const char*> cases[] = {
        {0x02, 0, "Write Errors Without Substantial Delay Counter"},
        {0x02, 7, "Unknown $0007 Counter"},
        {0x03, 0x8002, "Read Total Hidden Media Errors Counter"},
        {0x43, 0x0001, "Read Errors With possible Delay Counter"},  // page byte with its flag bits
        {0x06, 0, "Non-Medium Error Counter"},
        {0x0D, 1, "Reference Temperature"},
        {0x0D, 2, "Unknown $0002"},
        {0x0E, 4, "Accumulated Start-Stop cycles"},
        {0x2F, 0, "Unknown $0000"},
    };
    for (const auto& [page, code, text] : cases)
        EXPECT_EQ(LogSenseParameterName(static_cast<std::uint8_t>(page), static_cast<std::uint16_t>(code)), text);
}

TEST(LogSensePages, ParameterValuesAreBigEndian) {
    const auto r = pageOf({0x03, 0, 0, 0x2E,
                           0x00, 0x00, 0x03, 0x02, 0x01, 0x02,                                      // 4: 258
                           0x00, 0x01, 0x03, 0x04, 0xFF, 0xFF, 0xFF, 0xFE,                          // 10: -2
                           0x00, 0x02, 0x03, 0x08, 0x00, 0x00, 0x00, 0x01, 0xDE, 0xAD, 0xBE, 0xEF,  // 18
                           0x00, 0x03, 0x03, 0x03, 0x01, 0x02, 0x03,                                // 30
                           0x00, 0x01, 0x03, 0x06, '2', '0', '0', '9', '1', '2'});                  // 37
    EXPECT_EQ(LogSenseParameterValue(*r, 0x03, 4), "258");
    EXPECT_EQ(LogSenseParameterValue(*r, 0x03, 10), "-2");
    EXPECT_EQ(LogSenseParameterValue(*r, 0x03, 18), "$00000001DEADBEEF");
    EXPECT_EQ(LogSenseParameterValue(*r, 0x03, 30), "<3 bytes data>");
    EXPECT_EQ(LogSenseParameterValue(*r, 0x0E, 37), "200912") << "dates are characters";
    EXPECT_EQ(LogSenseParameterInteger(*r, 0x03, 18), -1);
}

TEST(LogSensePages, TheParameterWalkStaysInsideThePageAndTheAnswer) {
    // Page length 12, but only 14 bytes came back: the second parameter runs past them.
    const auto r = pageOf({0x0D, 0, 0, 12, 0x00, 0x00, 0x03, 0x02, 0x00, 0x29, 0x00, 0x01, 0x03, 0x02, 0x00, 0x41});
    std::vector<std::uint16_t> codes;
    ForEachLogParameter(*r, 14, [&](std::size_t, std::uint16_t code, std::uint8_t) { codes.push_back(code); });
    EXPECT_EQ(codes, std::vector<std::uint16_t>{0});
    // A parameter length beyond the page ends the walk.
    const auto runaway = pageOf({0x0D, 0, 0, 6, 0x00, 0x00, 0x03, 0xF0, 0x00, 0x29});
    codes.clear();
    ForEachLogParameter(*runaway, 400, [&](std::size_t, std::uint16_t code, std::uint8_t) { codes.push_back(code); });
    EXPECT_TRUE(codes.empty());
}

TEST(ScsiWarnings, AllComposedTextsAndTheUnknowns) {
    const char* parts[] = {"hardware", "controller", "data channel", "servo", "spindle", "firmware"};
    const char* causes[] = {"general hard drive failure", "drive error rate too high", "data error rate too high",
                            "seek error rate too high", "too many block reassigns", "access times too high",
                            "start unit times too high", "channel parametrics", "controller detected",
                            "throughput performance", "seek time performance", "spin-up retry count",
                            "drive calibration retry count"};
    int composed = 0;
    for (int part = 1; part <= 6; ++part)
        for (int cause = 0; cause <= 0x0C; ++cause, ++composed)
            EXPECT_EQ(ScsiWarningText(0x5D, static_cast<std::uint8_t>(part << 4 | cause)),
                      std::string(parts[part - 1]) + " impending failure " + causes[cause]);
    EXPECT_EQ(composed, 78);
    EXPECT_EQ(ScsiWarningText(0x5D, 0x4A), "servo impending failure seek time performance");
    EXPECT_EQ(ScsiWarningText(0, 0), "No S.M.A.R.T. warning");
    EXPECT_EQ(ScsiWarningText(0, 1), "Temperature exceeded");
    EXPECT_EQ(ScsiWarningText(0x5D, 0x03), "spare area exhaustion prediction threshold exceeded");
    EXPECT_EQ(ScsiWarningText(0x5D, 0xFF), "Failure prediction threshold exceeded (false)");
    for (const auto& [asc, ascq] : {std::pair{0x5D, 0x6D}, {0x5D, 0x1D}, {0x5D, 0x70}, {0x5D, 0x04}, {0x0B, 0x01}})
        EXPECT_EQ(ScsiWarningText(static_cast<std::uint8_t>(asc), static_cast<std::uint8_t>(ascq)),
                  cvformat::Format("Unknown warning $%.2x", {ascq}));
}

class ScsiDiskTest : public DiskTest {
protected:
    // A SCSI disk with these target fields on the next physical drive.
    void loadScsi(const std::string& target) {
        const std::string n = std::to_string(next_++);
        load(R"({"disks": {"s)" + n + R"(": {"model": "", "physical": {"drive": )" + n +
             R"(, "smartCodes": false, "ataPassThrough": false}, "scsiTarget": {)" + target + "}}}}");
        drive = OpenSmartDrive(next_ - 1);
        ASSERT_TRUE(drive);
    }
    std::vector<std::string> pagesLines(TLogSensePagesArray& pages) {
        std::vector<std::string> lines;
        GetAvailableLogPages(drive.get(), lines, pages);
        return lines;
    }
    TSmartHandle drive;

private:
    int next_ = 0;
};

TEST_F(ScsiDiskTest, TheSupportedPagesList) {
    loadScsi(R"("pages": {"0x00": "00 00 00 03 00 0D 2F"})");
    TLogSensePagesArray pages;
    EXPECT_EQ(pagesLines(pages), (std::vector<std::string>{
                                     "after first LogSense (returned 7)", "returned ScsiStatus=$00",
                                     "finding available log pages", "count=3   len=7",
                                     "available LOG SENSE pages are 00 0D 2F", "end of scanning of available log pages"}));
    EXPECT_EQ(pages, (TLogSensePagesArray{0x00, 0x0D, 0x2F}));
}

TEST_F(ScsiDiskTest, BrokenListsAreEmptied) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"00 00 00 03 00 0D 0D", {"Log pages list contains duplicate entries"}},
        {"00 00 00 03 00 0D 40", {"Log pages list contains invalid page numbers"}},
        {"00 00 00 03 0D 0D 7F",
         {"Log pages list contains duplicate entries", "Log pages list contains invalid page numbers"}},
    };
    for (const auto& [bytes, complaints] : cases) {
        loadScsi(std::string(R"("pages": {"0x00": ")") + bytes + "\"}");
        TLogSensePagesArray pages;
        const auto lines = pagesLines(pages);
        EXPECT_TRUE(pages.empty()) << bytes;
        std::vector<std::string> tail(lines.end() - static_cast<long>(complaints.size()) - 2, lines.end());
        auto expected = complaints;
        expected.push_back("returned log pages list seems broken");
        expected.push_back("end of scanning of available log pages");
        EXPECT_EQ(tail, expected) << bytes;
    }
}

TEST_F(ScsiDiskTest, AListLongerThanTheAnswerIsRejected) {
    loadScsi(R"("pages": {"0x00": "00 00 00 08 00 0D 2F"})");
    TLogSensePagesArray pages;
    const auto lines = pagesLines(pages);
    EXPECT_TRUE(pages.empty());
    EXPECT_EQ(lines[2], "WARNING: page #$00 length 12 exceedes returned length (7)");
}

TEST_F(ScsiDiskTest, AFailedPageZeroGivesNoLines) {
    loadScsi(R"("status": {"0x00": "0x02"})");
    TLogSensePagesArray pages{1};
    EXPECT_TRUE(pagesLines(pages).empty());
    EXPECT_TRUE(pages.empty());
    auto request = std::make_unique<TLogSenseRequest>();
    int length = 5;
    EXPECT_FALSE(LogSense(nullptr, 0, *request, length));
    EXPECT_EQ(length, 0);
}

TEST_F(ScsiDiskTest, LogSenseSendsTheCumulativePageRequest) {
    loadScsi(R"("pages": {"0x0D": {"parameters": [{"code": "0x0000", "size": 2, "value": "0x29"}]}})");
    auto request = std::make_unique<TLogSenseRequest>();
    int length = 0;
    ASSERT_TRUE(LogSense(drive.get(), 0x0D, *request, length));
    EXPECT_EQ(length, 10);
    const auto sent = requests(platform::disk::ScsiPassThrough).back();
    ASSERT_EQ(sent.input.size(), 44u);
    EXPECT_EQ(sent.outputSize, 20560u);
    EXPECT_EQ(diskfixture::slice(sent.input, 28, 10),
              diskfixture::bytes({0x4D, 0x00, 0x4D, 0, 0, 0, 0, 0x50, 0, 0}));
    EXPECT_EQ(sent.input[6], 10);  // CDB length
    EXPECT_EQ(sent.input[8], 1);   // data in
}

TEST_F(ScsiDiskTest, InquiryFieldsComeOnlyFromTheBytesReturned) {
    const std::tuple<int, const char*, const char*, const char*, const char*> cases[] = {
        {96, "SEAGATE", "ST336753LW", "0006", "3HX0ABCD"},
        {20, "SEAGATE", "ST33", "", ""},
    };
    for (const auto& [length, vendor, product, revision, specific] : cases) {
        loadScsi(R"("vendor": "SEAGATE", "product": "ST336753LW", "revision": "0006", "vendorSpecific": "3HX0ABCD",
                    "inquiryLength": )" + std::to_string(length));
        const auto inquiry = SCSIInquiry(drive.get());
        ASSERT_TRUE(inquiry) << length;
        EXPECT_EQ(inquiry->Vendor, vendor);
        EXPECT_EQ(inquiry->Product, product);
        EXPECT_EQ(inquiry->Revision, revision);
        EXPECT_EQ(inquiry->VendorSpecific, specific);
    }
    loadScsi(R"("vendor": "SEAGATE", "inquiryLength": 14)");
    EXPECT_FALSE(SCSIInquiry(drive.get()));
    EXPECT_FALSE(SCSIInquiry(nullptr));
}

TEST_F(ScsiDiskTest, HasTemperatureTriesPage2FhThen0Dh) {
    struct Case {
        const char* pages;
        bool found;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {R"("0x2F": {"temperature": 38, "trip": 68})", true, {"--> Current drive temperature is 38C (method 2)"}},
        {R"("0x2F": {"temperature": 0}, "0x0D": {"parameters": [{"code": "0x0000", "size": 2, "value": "0x29"}]})",
         true, {"--> Current drive temperature is 41C (method 1)"}},
        {R"("0x2F": {"temperature": 255}, "0x0D": {"parameters": [{"code": "0x0000", "size": 2, "value": "0xFF"}]})",
         false, {"--> this drive does not report its temperature"}},
        {R"("0x0D": {"parameters": [{"code": "0x0000", "size": 2, "value": "0x00"}]})", false,
         {"--> this drive does not report its temperature"}},
        {R"("0x0D": {"parameters": [{"code": "0x0000", "size": 2, "value": "0x29"},
                                     {"code": "0x0000", "size": 2, "value": "0x2A"}]})",
         true, {"--> Current drive temperature is 41C (method 1)", "--> Current drive temperature is 42C (method 1)"}},
    };
    for (const auto& c : cases) {
        loadScsi(std::string(R"("pages": {)") + c.pages + "}");
        TLogSinks log;
        TLogBoxRecorder boxes;
        log.SetBoxes(&boxes);
        EXPECT_EQ(HasTemperature(*drive, log), c.found) << c.pages;
        ASSERT_EQ(boxes.Info.size(), c.lines.size()) << c.pages;
        for (std::size_t i = 0; i < c.lines.size(); ++i)
            EXPECT_EQ(boxes.Info[i].substr(13), c.lines[i]) << "after the hh:nn:ss.zzz stamp";
    }
}

}  // namespace
