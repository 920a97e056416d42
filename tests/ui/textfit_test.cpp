#include <QHeaderView>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "ui/textfit.h"

namespace {

int ContentWidth(QTreeWidget& tree, int column) {
    return std::max(static_cast<QAbstractItemView&>(tree).sizeHintForColumn(column),
                    tree.header()->sectionSizeHint(column));
}

// A 400-pixel list whose second column starts narrower than its text.
class ColumnFitter : public ::testing::Test {
protected:
    ColumnFitter() {
        tree.setColumnCount(3);
        tree.setHeaderLabels({"Label", "Chip", "Address"});
        tree.addTopLevelItem(new QTreeWidgetItem(QStringList{"CPU", "Winbond W83627DHG", "$290"}));
        tree.setColumnWidth(0, 60);
        tree.setColumnWidth(1, 40);
        tree.resize(400, 200);
    }
    QTreeWidget tree;
};

TEST_F(ColumnFitter, AColumnGrowsToItsTextWhenTheViewHasRoom) {
    new TColumnFitter(tree);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    EXPECT_GE(tree.columnWidth(1), ContentWidth(tree, 1));
    EXPECT_EQ(tree.columnWidth(0), 60);  // wide enough already
}

TEST_F(ColumnFitter, NoRoomOrAUsersWidthLeavesTheColumns) {
    auto* fitter = new TColumnFitter(tree);
    tree.resize(120, 200);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    EXPECT_EQ(tree.columnWidth(1), 40);
    tree.setColumnWidth(1, 30);  // as the user drags it
    tree.resize(400, 200);
    fitter->Fit();
    EXPECT_EQ(tree.columnWidth(1), 30);
}

TEST(ElidingComboBox, KeepsItsSizeAndShowsTheWholeTextAsTooltip) {
    TElidingComboBox box;
    box.addItem("Pwm1");
    const QSize before = box.minimumSizeHint();
    const QString longText = "Pwm1 - Pwm1 from Winbond W83627DHG @ $0290 on ISA and a good deal more";
    box.addItem(longText);
    box.setCurrentIndex(1);
    EXPECT_EQ(box.minimumSizeHint(), before);
    EXPECT_LE(box.sizeHint().width(), box.fontMetrics().horizontalAdvance(longText));
    box.resize(150, box.sizeHint().height());
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    box.repaint();
    EXPECT_EQ(box.toolTip(), longText);
}

}  // namespace
