#pragma once
// The Events tab: the list of event definitions over the dialog's working
// copy Events, and the editor line that adds, updates and checks them.
// TEventsTab holds the handlers without widgets; TEventsPage shows it.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QWidget>

#include "core/cvevents.h"
#include "core/cvsensors.h"
#include "ui/cvconfigmodel.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class TColumnFitter;

// One entry of the source list: the reading an event watches.
struct TEventSourceItem {
    std::int32_t Origin = -1;
    TEventSource SourceType = TEventSource::Temp;
    std::int32_t ReadingIdx = 0;
    bool operator==(const TEventSourceItem&) const = default;
};

// The editor line, as its controls hold it.
struct TEventEditor {
    int Source = -1;
    int Comparison = -1;
    std::string Value;
    int Action = -1;
    std::string Param1;
    std::string Param2;
    int AllowEvery = 0;
    int VerifiedFor = 1;
};

using TEventRow = std::array<std::string, 5>;

// A limit the user typed, as the condition carries it ("." for decimals),
// when the whole text is a number: an optional sign, digits and at most one
// decimal separator. The expression parser stops at text it cannot read, so
// nothing else may reach the condition.
std::optional<std::string> EventLimitFromEditor(std::string_view text, char decimalSeparator);
// A stored limit as the editor shows it; one that is no number stays as stored.
std::string EventLimitForEditor(const std::string& checkValue, char decimalSeparator);

class TEventsTab {
public:
    static constexpr std::array<const char*, 4> Comparisons{"<", "<=", ">=", ">"};
    static constexpr std::array<const char*, 4> Actions{"execute", "popup message", "beep", "send mail"};
    // Shown for a sensor that is not in the sensor list.
    static constexpr const char* UnknownSensor = "?";

    TEventsTab(TDlgConfigModel& model, const TSensorList& sensors, TEvents& events);

    // The shortest label of every sensor that no other sensor shares,
    // letter case ignored.
    std::vector<std::string> BuildSensorLabels() const;
    std::string SlotNameFor(int origin, TEventSource type, int readingIdx) const;
    TEventRow FillEventRow(const TEventDef& def) const;
    TEventDef ReadEventEditor() const;
    // Empties Validity, then checks the editor; a condition that does not
    // compile names the parser's error there.
    bool IsEventValid();
    bool TestEventDef(const TEventDef& def);

    void TSEventsShow();
    void CheckValidEvent();
    void BTNAddEventClick();
    void BTNUpdateEventClick();
    void BTNDelEventClick(int row);
    void BTNClearEventClick();
    void LVEventsChange(bool anySelected) { RemoveEnabled = anySelected; }
    void LVEventsClick(int row);
    // OK is refused while a row is loaded for updating.
    bool OkEnabled() const { return model_.SelectedEvent == -1; }

    std::vector<std::string> SourceItems;
    std::vector<TEventSourceItem> EventSources;
    TEventEditor Editor;
    std::string Validity;
    bool AddEnabled = false;
    bool UpdateEnabled = false;
    bool RemoveEnabled = false;

    // The page shows the state again (rows too when RowsChanged).
    std::function<void(bool rowsChanged)> Changed;

private:
    std::string sensorLabel(int origin) const;
    void clearEditor();
    void notify(bool rowsChanged) const;

    TDlgConfigModel& model_;
    const TSensorList& sensors_;
    TEvents& events_;
};

class TEventsPage : public QWidget {
public:
    static constexpr int EventsHelpContext = 1116;

    // Help opens the events page of the local help.
    TEventsPage(TEventsTab& tab, TDlgConfigModel& model, std::function<void()> help, QWidget* parent = nullptr);
    void Refresh(bool rows);
    QTreeWidget& List() { return *list_; }
    // The dialog's OK follows UpdateOkButton.
    std::function<void(bool enabled)> UpdateOkButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void editorChanged(bool recheck);

    TEventsTab& tab_;
    TDlgConfigModel& model_;
    QComboBox* source_ = nullptr;
    QComboBox* comparison_ = nullptr;
    QLineEdit* value_ = nullptr;
    QComboBox* action_ = nullptr;
    QLineEdit* param1_ = nullptr;
    QLineEdit* param2_ = nullptr;
    QSpinBox* allowEvery_ = nullptr;
    QSpinBox* verifiedFor_ = nullptr;
    QLabel* validity_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* update_ = nullptr;
    QTreeWidget* list_ = nullptr;
    TColumnFitter* fitter_ = nullptr;
};
