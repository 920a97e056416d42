// The translation editor's default fonts, read from and written to the registry.

#include "i18n/deffonts.h"
#include "support/testmachine.h"

#include <gtest/gtest.h>

namespace {

const char* const Key = TDefFontsList::RegistryKey;

class DefaultFonts : public ::testing::Test {
protected:
    void Store(int i, const std::string& lang, const std::string& font, std::uint32_t charset) {
        registry.writeString(Key, "FontInfoLang" + std::to_string(i), lang);
        registry.writeString(Key, "FontInfoFont" + std::to_string(i), font);
        registry.writeInteger(Key, "FontInfoCharset" + std::to_string(i), charset);
    }

    testsupport::TestMachine machine;
    platform::Registry& registry = machine->registry();
};

TEST_F(DefaultFonts, IncompleteTriplesAreDroppedAndAnUnchangedListIsNotWritten) {
    registry.writeInteger(Key, "FontInfoCount", 3);
    Store(0, "Russian", "DejaVu Sans", 204);
    Store(1, "Greek", "DejaVu Sans", 161);
    registry.deleteValue(Key, "FontInfoCharset1");
    Store(2, "Japanese", "WenQuanYi Micro Hei", 128);
    {
        TDefFontsList list(registry);
        ASSERT_EQ(list.Items().size(), 2u);
        EXPECT_EQ(list.Items()[0].LanguageName, "Russian");
        EXPECT_EQ(list.Items()[1].FontName, "WenQuanYi Micro Hei");
        EXPECT_EQ(list.Items()[1].Charset, 128);
        EXPECT_FALSE(list.Modified);
    }
    EXPECT_EQ(registry.readInteger(Key, "FontInfoCount"), 3u);  // not written back
    EXPECT_EQ(registry.readString(Key, "FontInfoLang1"), "Greek");
}

TEST_F(DefaultFonts, SavingTwoOverFourRemovesTheRest) {
    registry.writeInteger(Key, "FontInfoCount", 4);
    for (int i = 0; i < 4; ++i) Store(i, "L" + std::to_string(i), "F", 1);
    {
        TDefFontsList list(registry);
        list.Clear();
        list.AddFont("Korean", "WenQuanYi Micro Hei", 129);
        list.AddFont("English", "DejaVu Sans", 0);
    }
    EXPECT_EQ(registry.readInteger(Key, "FontInfoCount"), 2u);
    EXPECT_EQ(registry.readString(Key, "FontInfoLang0"), "Korean");
    EXPECT_EQ(registry.readInteger(Key, "FontInfoCharset1"), 0u);
    for (const char* gone : {"FontInfoLang2", "FontInfoFont2", "FontInfoLang3", "FontInfoFont3"})
        EXPECT_FALSE(registry.readString(Key, gone)) << gone;
    EXPECT_FALSE(registry.readInteger(Key, "FontInfoCharset3"));
}

TEST_F(DefaultFonts, ANewUserHasNoKeyAndNoList) {
    { TDefFontsList list(registry); }
    EXPECT_FALSE(registry.keyExists(Key));
}

}  // namespace
