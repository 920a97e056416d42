#include "core/cvconfigvalue.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(ConfigValues, IntegersAndBooleans) {
    const struct {
        const char* text;
        std::int32_t value;
    } good[] = {{"42", 42}, {" 42 ", 42}, {"\t50\r", 50}, {"-7", -7}, {"+7", 7}, {"$1fffffff", 0x1FFFFFFF}, {"$FFFFFFFF", -1},
                {"-2147483648", INT32_MIN}};
    for (const auto& c : good) EXPECT_EQ(ParseConfigInteger(c.text), c.value) << c.text;
    for (const char* bad : {"", "$", "2147483648", "$100000000", "99999999999", "12a", "4x", "0x10", "1.5", "- 1",
                            "+-7"})
        EXPECT_FALSE(ParseConfigInteger(bad)) << bad;

    EXPECT_TRUE(ParseConfigBoolean("\tTrue "));
    EXPECT_TRUE(ParseConfigBoolean(" TRUE "));
    EXPECT_FALSE(ParseConfigBoolean("1"));
    EXPECT_FALSE(ParseConfigBoolean("yes"));
    EXPECT_EQ(BoolToTrueFalse(true), "true");
}

}  // namespace
