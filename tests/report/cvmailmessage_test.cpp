#include "report/cvmailmessage.h"

#include <gtest/gtest.h>

namespace {

TMailProfile Profile() {
    TMailProfile profile;
    profile.MailFrom = "caldavor@example.org";
    profile.MailTo = "admin@example.org";
    return profile;
}

const platform::LocalTime December9{2026, 12, 9, 14, 5, 9, 0, 60};

}  // namespace

TEST(MailTimeZone, OffsetInMinutesBecomesSignAndFourDigits) {
    const std::pair<int, const char*> cases[] = {{0, "+0000"},    {60, "+0100"},   {120, "+0200"}, {330, "+0530"},
                                                 {-300, "-0500"}, {-210, "-0330"}, {840, "+1400"}, {-720, "-1200"},
                                                 {345, "+0545"}};
    for (const auto& [offset, text] : cases) EXPECT_EQ(FormatMailTimeZone(offset), text) << offset;
}

TEST(MailDate, EnglishLowerCaseNamesAndTheWeekdayOfTheDate) {
    EXPECT_EQ(FormatMailDate(December9), "wed, 09 dec 2026 14:05:09 +0100");
    EXPECT_EQ(FormatMailDate({2027, 1, 3, 0, 0, 0, 0, -300}), "sun, 03 jan 2027 00:00:00 -0500");
    EXPECT_EQ(FormatMailDate({2024, 2, 29, 23, 59, 59, 999, 330}), "thu, 29 feb 2024 23:59:59 +0530");
}

TEST(MailMessage, PlainAsciiMailHasExactlyTheListedLines) {
    const std::string text = BuildMailMessage(Profile(), "Disk hot", {"line one", "", "line three"}, December9, 42);
    EXPECT_EQ(text,
              "Message-Id: <1000000042caldavor@example.org>\r\n"
              "X-mailer: Caldavor mailer\r\n"
              "Subject: Disk hot\r\n"
              "To: admin@example.org\r\n"
              "From: caldavor@example.org\r\n"
              "Date: wed, 09 dec 2026 14:05:09 +0100\r\n"
              "\r\n"
              "line one\r\n"
              "\r\n"
              "line three\r\n");
    EXPECT_NE(BuildMailMessage(Profile(), "s", {}, December9, 999'999'999).find("<1999999999caldavor@"),
              std::string::npos);
}

// A value must never start a header of its own.
TEST(MailMessage, LineBreaksInHeaderValuesAreRemoved) {
    TMailProfile profile = Profile();
    profile.MailTo = "admin@example.org\r\nBcc: victim@example.org";
    const std::string text = BuildMailMessage(profile, "Hot\r\nX-Evil: 1", {"body"}, December9, 1);
    EXPECT_NE(text.find("To: admin@example.orgBcc: victim@example.org\r\n"), std::string::npos);
    EXPECT_NE(text.find("Subject: HotX-Evil: 1\r\n"), std::string::npos);
    EXPECT_EQ(text.find("\r\nBcc:"), std::string::npos);
    EXPECT_EQ(text.find("\r\nX-Evil:"), std::string::npos);
}

TEST(MailMessage, NonAsciiTextIsDeclaredUtf8AndTheSubjectEncoded) {
    const std::string text = BuildMailMessage(Profile(), "Temp\xC3\xA9rature", {"ok"}, December9, 1);
    EXPECT_NE(text.find("Subject: =?UTF-8?B?VGVtcMOpcmF0dXJl?=\r\n"), std::string::npos);
    EXPECT_NE(text.find("Date: wed, 09 dec 2026 14:05:09 +0100\r\n"
                        "MIME-Version: 1.0\r\n"
                        "Content-Type: text/plain; charset=UTF-8\r\n"
                        "\r\n"
                        "ok\r\n"),
              std::string::npos);

    // An ASCII subject with a non-ASCII body: declared, the subject left plain.
    const std::string body = BuildMailMessage(Profile(), "Hot", {"40 \xC2\xB0" "C"}, December9, 1);
    EXPECT_NE(body.find("Subject: Hot\r\n"), std::string::npos);
    EXPECT_NE(body.find("MIME-Version: 1.0\r\n"), std::string::npos);
}

// Each encoded word stays short and holds whole characters only.
TEST(MailMessage, ALongSubjectIsFoldedIntoWordsOfWholeCharacters) {
    std::string subject;
    for (int i = 0; i < 40; ++i) subject += "\xC3\xA9";  // 80 bytes of two-byte characters
    const std::string text = BuildMailMessage(Profile(), subject, {}, December9, 1);
    const std::size_t start = text.find("Subject: ") + 9;
    const std::string header = text.substr(start, text.find("\r\nTo: ") - start);
    // 44 bytes (22 whole characters, not 45) then the other 36.
    EXPECT_EQ(header,
              "=?UTF-8?B?w6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6k=?=\r\n"
              " =?UTF-8?B?w6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOp?=");
}
