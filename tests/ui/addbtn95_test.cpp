#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>

#include "ui/addbtn95.h"
#include "ui/cvdlgselecttemp.h"

namespace {

using TA = TAlignment;
using TV = TVAlignment;

struct TStyleCase {
    TCheckBox95Props Props;
    std::uint32_t Inherited;
    std::uint32_t Style;
};

TEST(CheckBox95, StyleBitsComposeFromTheProperties) {
    const TStyleCase cases[] = {
        // The Options tab's two boxes.
        {{TA::taLeftJustify, TA::taLeftJustify, false, TV::vaTop, true}, 0, 0x2000 | 0x400 | 0x100},
        // Centre both ways, box right of the text, push-button look, no wrap.
        {{TA::taCenter, TA::taRightJustify, true, TV::vaCenter, false}, 0, 0x300 | 0x20 | 0x1000 | 0xC00},
        {{TA::taRightJustify, TA::taLeftJustify, false, TV::vaBottom, false}, 0, 0x200 | 0x800},
        // Inherited alignment and box-side bits are cleared, the rest kept.
        {{TA::taLeftJustify, TA::taLeftJustify, false, TV::vaTop, false}, 0x50000F23, 0x50000003 | 0x400 | 0x100},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckBox95Style(c.Inherited, c.Props), c.Style) << std::hex << c.Style;
}

TEST(CheckBox95, TheLookIsAppliedAgainOnlyOnAChange) {
    TCheckBox95 box("A long caption that wraps");
    const int first = box.LookApplied();
    box.SetWordWrap(true);
    box.SetAlignment(TA::taLeftJustify);
    EXPECT_EQ(box.LookApplied(), first);
    box.SetWordWrap(false);
    EXPECT_EQ(box.LookApplied(), first + 1);
    box.SetVerticalAlignment(TV::vaCenter);
    EXPECT_EQ(box.LookApplied(), first + 2);
    EXPECT_EQ(box.Caption(), "A long caption that wraps");
}

// The caption lives in a label, which translation finds by a name of its own.
TEST(CheckBox95, ItsCaptionLabelFollowsTheBoxName) {
    const std::pair<const char*, const char*> cases[] = {{"CBDellFans", "LABDellFans"}, {"Wide", "LABWide"}};
    for (const auto& [box, label] : cases) {
        TCheckBox95 check("Caption");
        check.setObjectName(box);
        const auto* caption = check.findChild<QLabel*>(label);
        ASSERT_NE(caption, nullptr) << box;
        EXPECT_EQ(caption->text(), check.Caption()) << box;
    }
}

TEST(SelectTemperature, ADoubleClickAcceptsOnlyWithAnEntry) {
    TDlgSelectTemperature picker;
    EXPECT_EQ(picker.size(), QSize(456, 282));
    EXPECT_EQ(picker.windowTitle(), "Select temperature");
    picker.show();
    picker.LBTemps().addItems({"CPU", "MB"});
    picker.LBTempsDblClick();
    EXPECT_TRUE(picker.isVisible());
    EXPECT_EQ(picker.result(), QDialog::Rejected);
    picker.LBTemps().setCurrentRow(1);
    picker.LBTempsDblClick();
    EXPECT_FALSE(picker.isVisible());
    EXPECT_EQ(picker.result(), QDialog::Accepted);
}

}  // namespace
