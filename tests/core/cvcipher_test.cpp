#include <gtest/gtest.h>

#include "core/cvcipher.h"
#include "core/cvtext.h"

namespace {

const std::string ProxyPlain = std::string("1\x03proxy.example\x03" "8080\x03user\x03secret");

// Worked out apart from this code: key = SHA-1 of the phrase ("abc" gives the
// published digest A9993E36...), IV = Blowfish-ECB of a zero block, 8-bit CFB
// by its definition, Base64, then the hex codes of the Base64 characters.
TEST(OptionCipher, KnownAnswerWithAPublishedDigest) {
    const std::string expected =
        "4F6F687A6A6D395635524345596961765441632F36622B2B61326678735245376D7076514D55382B4643553D";
    EXPECT_EQ(EncryptOptionValue(ProxyPlain, "abc"), expected);
    EXPECT_EQ(DecryptOptionValue(expected, "abc"), ProxyPlain);
}

// The program's own phrase: files written by earlier runs must keep decoding.
TEST(OptionCipher, KnownAnswerWithTheProgramPhrase) {
    const std::string expected =
        "6E34765650684965357772373372357349773978396F6E514453592F72367754507730442F5454674136343D";
    EXPECT_EQ(EncryptOptionValue(ProxyPlain), expected);
    EXPECT_EQ(DecryptOptionValue(expected), ProxyPlain);
}

TEST(OptionCipher, DecodingToleratesCaseAndAnOddLastCharacter) {
    const std::string hex = EncryptOptionValue("x\x04");
    EXPECT_EQ(DecryptOptionValue(LowerCase(hex) + "7"), "x\x04");
    EXPECT_EQ(DecryptOptionValue(""), "");
}

TEST(OptionCipher, DamagedTextDoesNotDecode) {
    const std::string hex = EncryptOptionValue(ProxyPlain);
    std::string noHex = hex;
    noHex[0] = 'G';
    EXPECT_FALSE(DecryptOptionValue(noHex));
    std::string noBase64 = hex;
    noBase64.insert(0, "2A");  // "*"
    EXPECT_FALSE(DecryptOptionValue(noBase64));
    EXPECT_FALSE(DecryptOptionValue(hex.substr(0, hex.size() - 2)));  // Base64 cut short
    EXPECT_NE(DecryptOptionValue(hex, "another phrase"), ProxyPlain);
}

}  // namespace
