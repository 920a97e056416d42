#include "report/base64.h"

#include <gtest/gtest.h>

namespace {

TEST(Base64ToStr, DecodesGroupsAndDropsOneByteForEachPad) {
    const struct {
        std::string text, bytes;
    } cases[] = {
        {"TWFu", "Man"},
        {"TWE=", "Ma"},
        {"TQ==", "M"},
        {"eHh4IHRoZSBlbmQ=", "xxx the end"},
        {"+/+/", "\xFB\xFF\xBF"},
        {"AAAA", std::string(3, '\0')},
    };
    for (const auto& c : cases) EXPECT_EQ(Base64ToStr(c.text), c.bytes) << c.text;
}

TEST(Base64ToStr, RefusesBadLengthsAndCharacters) {
    const std::string length = "Base64ToStr: illegal input length!";
    const std::string character = "Base64ToStr: illegal character";
    const struct {
        std::string text, message;
    } cases[] = {
        {"", length},
        {"TWE", length},
        {"TWFuT", length},
        {"TWFu\r\nTWFu", length},
        {"TW\r\n", character},
        {"TWFu<BR>", character},
        {"T=Fu", character},
        {"TWFu====", character},
        {"T===", character},
        {"TQ==TWFu", character},
        {"TW u", character},
    };
    for (const auto& c : cases) {
        try {
            Base64ToStr(c.text);
            ADD_FAILURE() << "accepted " << c.text;
        } catch (const EBase64Error& e) {
            EXPECT_EQ(e.what(), c.message) << c.text;
        }
    }
}

}  // namespace
