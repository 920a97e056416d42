#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QMimeData>

#include "ui/cvconfigslots.h"

namespace {

TUsedData Slot(const std::string& name, std::vector<bool> links = {}) {
    TUsedData data;
    data.Name = name;
    data.Active = true;
    data.ControlsSpeed = std::move(links);
    return data;
}

class SlotTrees : public ::testing::Test {
protected:
    SlotTrees() {
        model.Temps = {Slot("T1", {true, false, false}), Slot("T2", {false, true, false}),
                       Slot("T3", {false, false, true})};
        model.Speeds = {Slot("S1"), Slot("S2"), Slot("S3")};
        model.Fans = {Slot("F1"), Slot("F2")};
        model.DataReady = true;
    }
    std::vector<std::string> Names(const std::vector<TUsedData>& rows) {
        std::vector<std::string> names;
        for (const auto& row : rows) names.push_back(row.Name);
        return names;
    }
    TDlgConfigModel model;
    TConfigSlots tabs{model};
};

TEST_F(SlotTrees, ModelsPassTheItemModelTester) {
    for (TSlotTree tree : {TSlotTree::Temps, TSlotTree::Fans, TSlotTree::Volts, TSlotTree::Pwms}) {
        QAbstractItemModelTester tester(&tabs.Model(tree), QAbstractItemModelTester::FailureReportingMode::Fatal);
        tabs.Model(tree).Reload();
    }
    auto& temps = tabs.Model(TSlotTree::Temps);
    EXPECT_EQ(temps.rowCount(temps.index(0, 0)), 3);  // one child per speed slot
    EXPECT_EQ(temps.columnCount(), 6);
    EXPECT_EQ(tabs.Model(TSlotTree::Pwms).columnCount(), 5);  // no sample
    EXPECT_EQ(tabs.Model(TSlotTree::Fans).rowCount(tabs.Model(TSlotTree::Fans).index(0, 0)), 0);
}

TEST_F(SlotTrees, ChecksBoldLabelsAndEditing) {
    auto& temps = tabs.Model(TSlotTree::Temps);
    const QModelIndex t2 = temps.index(1, 0);
    const QModelIndex child3 = temps.index(2, 0, t2);
    EXPECT_EQ(temps.data(child3, Qt::DisplayRole).toString(), "S3");
    EXPECT_TRUE(temps.setData(child3, Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(model.Temps[1].ControlsSpeed, (std::vector<bool>{false, true, true}));
    EXPECT_TRUE(temps.setData(t2, Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(model.Temps[1].Active);

    EXPECT_TRUE(temps.data(t2, Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(temps.data(temps.index(1, 1), Qt::FontRole).isValid());
    EXPECT_FALSE(temps.data(child3, Qt::FontRole).isValid());
    EXPECT_TRUE(temps.flags(t2) & Qt::ItemIsEditable);
    EXPECT_FALSE(temps.flags(temps.index(1, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(temps.flags(child3) & Qt::ItemIsEditable);
    EXPECT_TRUE(temps.setData(t2, "Case", Qt::EditRole));
    EXPECT_EQ(model.Temps[1].Name, "Case");
}

struct TMoveCase {
    int D, T;
    std::vector<std::string> Order;
};

TEST_F(SlotTrees, MovesShiftTheRowsBetweenAndTakeTheChildrenAlong) {
    for (const TMoveCase& c : {TMoveCase{2, 0, {"T3", "T1", "T2"}}, TMoveCase{0, 2, {"T2", "T3", "T1"}},
                               TMoveCase{1, 1, {"T1", "T2", "T3"}}}) {
        model.Temps = {Slot("T1", {true, false, false}), Slot("T2", {false, true, false}),
                       Slot("T3", {false, false, true})};
        EXPECT_EQ(tabs.Model(TSlotTree::Temps).MoveSlot(c.D, c.T), c.D != c.T);
        EXPECT_EQ(Names(model.Temps), c.Order) << c.D << " onto " << c.T;
        for (const auto& temp : model.Temps) {
            const int own = temp.Name[1] - '1';  // each temperature keeps its own link
            EXPECT_TRUE(temp.ControlsSpeed[static_cast<std::size_t>(own)]) << temp.Name;
        }
    }
}

TEST_F(SlotTrees, ASpeedMoveKeepsEveryTemperatureOnItsFan) {
    auto& speeds = tabs.Model(TSlotTree::Pwms);
    auto* data = speeds.mimeData({speeds.index(2, 0)});
    ASSERT_TRUE(speeds.canDropMimeData(data, Qt::MoveAction, -1, -1, speeds.index(0, 0)));
    EXPECT_TRUE(speeds.dropMimeData(data, Qt::MoveAction, -1, -1, speeds.index(0, 0)));
    delete data;
    EXPECT_EQ(Names(model.Speeds), (std::vector<std::string>{"S3", "S1", "S2"}));
    // T3 drove S3, now first; T1 drove S1, now second.
    EXPECT_EQ(model.Temps[2].ControlsSpeed, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(model.Temps[0].ControlsSpeed, (std::vector<bool>{false, true, false}));
    auto& temps = tabs.Model(TSlotTree::Temps);
    EXPECT_EQ(temps.data(temps.index(0, 0, temps.index(2, 0)), Qt::DisplayRole).toString(), "S3");
    // A child row is no drop target for the temperature tree.
    auto* child = temps.mimeData({temps.index(0, 0)});
    EXPECT_FALSE(temps.canDropMimeData(child, Qt::MoveAction, -1, -1, temps.index(0, 0, temps.index(1, 0))));
    delete child;
}

TEST_F(SlotTrees, PanelHandlersKeepTheirGuards) {
    model.Temps[0].InTray = true;
    tabs.CBShowInTrayClick(2, true);
    EXPECT_FALSE(model.Temps[0].InTray);
    EXPECT_TRUE(model.Temps[2].InTray);
    model.Updating = true;
    tabs.CBShowInTrayClick(0, true);  // the dialog setting its own box
    EXPECT_TRUE(model.Temps[2].InTray);
    model.Updating = false;
    tabs.CBShowInTrayClick(2, false);
    EXPECT_FALSE(model.Temps[2].InTray);

    model.Speeds[0].MaxPercent = 40;
    tabs.EDMinPwmChange(0, "80");
    EXPECT_EQ(model.Speeds[0].MinPercent, 80);  // above the maximum, as typed
    tabs.EDMinPwmChange(0, "abc");
    EXPECT_EQ(model.Speeds[0].MinPercent, 0);
    tabs.EDWantedTempChange(1, 54.5);
    EXPECT_EQ(model.Temps[1].Wanted, 54);  // half to even
    tabs.EDWantedTempChange(-1, 70);       // no single slot chosen
    model.DataReady = false;
    tabs.CBTempLoggedClick(1, true);
    EXPECT_FALSE(model.Temps[1].Logged);
    EXPECT_EQ(TConfigSlots::FahrenheitLabel(100), "C (212F)");
    EXPECT_EQ(TConfigSlots::FahrenheitLabel(-40), "C (-40F)");
}

TEST_F(SlotTrees, OnlyOneSlotRowOpensThePanel) {
    auto& temps = tabs.Model(TSlotTree::Temps);
    EXPECT_EQ(TConfigSlots::SelectedSlot({temps.index(1, 0)}), 1);
    EXPECT_EQ(TConfigSlots::SelectedSlot({}), -1);
    EXPECT_EQ(TConfigSlots::SelectedSlot({temps.index(0, 0), temps.index(1, 0)}), -1);
    EXPECT_EQ(TConfigSlots::SelectedSlot({temps.index(0, 0, temps.index(1, 0))}), -1);
}

}  // namespace
