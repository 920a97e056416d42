#include "ui/cvconfigevents.h"

#include <algorithm>
#include <cctype>

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/cvformat.h"
#include "core/cvparser.h"
#include "core/cvreadingslots.h"
#include "core/cvsmartdisk.h"
#include "disks/cvsmart.h"
#include "ui/cvcontrolbinder.h"
#include "ui/textfit.h"
#include "ui/qtext.h"

using cvformat::Format;

namespace {

// The S.M.A.R.T. disk sensors: classic, Areca, 3ware and advanced.
constexpr std::uint8_t FirstSmartChip = 13;
constexpr std::uint8_t LastSmartChip = 16;

struct TSourceKind {
    TEventSource Source;
    TReadingKind Reading;
    const char* Name;
};
constexpr std::array<TSourceKind, 3> ReadingSources{{
    {TEventSource::Temp, TReadingKind::Temp, "temp"},
    {TEventSource::Fan, TReadingKind::Fan, "fan"},
    {TEventSource::Volt, TReadingKind::Volt, "volt"},
}};

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

TEventsTab::TEventsTab(TDlgConfigModel& model, const TSensorList& sensors, TEvents& events)
    : model_(model), sensors_(sensors), events_(events) {}

std::vector<std::string> TEventsTab::BuildSensorLabels() const {
    const std::size_t count = sensors_.size();
    std::array<std::vector<std::string>, 3> details;
    for (const auto& sensor : sensors_) {
        const std::string atAddress = Format("%s at $%x", {sensor->FChipName, sensor->FAddress});
        details[0].push_back(sensor->FChipName);
        details[1].push_back(atAddress);
        details[2].push_back(Format("%s on %s", {atAddress, sensor->FLinkText}));
    }
    const auto unique = [&](const std::vector<std::string>& texts, std::size_t i) {
        for (std::size_t j = 0; j < count; ++j)
            if (j != i && Upper(texts[j]) == Upper(texts[i])) return false;
        return true;
    };
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < count; ++i)
        labels.push_back(unique(details[0], i) ? details[0][i] : unique(details[1], i) ? details[1][i] : details[2][i]);
    return labels;
}

std::string TEventsTab::sensorLabel(int origin) const {
    return Within(origin, sensors_.size()) ? BuildSensorLabels()[static_cast<std::size_t>(origin)] : UnknownSensor;
}

std::string TEventsTab::SlotNameFor(int origin, TEventSource type, int readingIdx) const {
    if (!Within(origin, sensors_.size())) return UnknownSensor;
    const std::vector<TUsedData>& slotList = type == TEventSource::Fan    ? model_.Fans
                                          : type == TEventSource::Volt ? model_.Volts
                                                                       : model_.Temps;
    const auto last = std::find_if(slotList.rbegin(), slotList.rend(), [&](const TUsedData& data) {
        return data.SensorIndex == origin && data.ReadingIndex == readingIdx;
    });
    if (last != slotList.rend()) return last->Name;
    const TReadingKind kind = type == TEventSource::Fan    ? TReadingKind::Fan
                              : type == TEventSource::Volt ? TReadingKind::Volt
                                                           : TReadingKind::Temp;
    return GetReading(*sensors_[static_cast<std::size_t>(origin)], kind, readingIdx).Name;
}

void TEventsTab::TSEventsShow() {
    AddEnabled = IsEventValid();
    SourceItems.clear();
    EventSources.clear();
    const std::vector<std::string> labels = BuildSensorLabels();
    for (int s = 0; s < static_cast<int>(sensors_.size()); ++s) {
        const TSensor& sensor = *sensors_[static_cast<std::size_t>(s)];
        const std::string& label = labels[static_cast<std::size_t>(s)];
        for (const auto& kind : ReadingSources)
            for (int r = 1; r <= ReadingCount(sensor, kind.Reading); ++r) {
                SourceItems.push_back(
                    Format("%s (%s) from %s", {SlotNameFor(s, kind.Source, r), std::string(kind.Name), label}));
                EventSources.push_back({s, kind.Source, r});
            }
    }
    for (int s = 0; s < static_cast<int>(sensors_.size()); ++s) {
        const TSensor& sensor = *sensors_[static_cast<std::size_t>(s)];
        const auto* disk = dynamic_cast<const TSmartDisk*>(&sensor);
        if (sensor.FChipCode < FirstSmartChip || sensor.FChipCode > LastSmartChip || !disk) continue;
        const std::string& label = labels[static_cast<std::size_t>(s)];
        const auto add = [&](const std::string& name, int id) {
            SourceItems.push_back(Format("%s (SMART) from %s", {name, label}));
            EventSources.push_back({s, TEventSource::Smart, id});
        };
        const auto page = disk->AttributePage();
        for (int entry = 0; entry < TSmartDisk::PageEntries; ++entry) {
            const std::size_t at = TSmartDisk::EntryOffset(entry);
            if (at < page.size() && page[at] != 0) add(SmartAttributeName(page[at]), page[at]);
        }
        add("Fitness", SmartFitnessIndex);
        add("Performance", SmartPerformanceIndex);
    }
    if (!Within(Editor.Source, SourceItems.size())) Editor.Source = -1;
    notify(true);
}

TEventRow TEventsTab::FillEventRow(const TEventDef& def) const {
    TEventRow row;
    if (def.SourceType == TEventSource::Smart) {
        row[0] = SmartAttributeName(def.ReadingIdx);
        row[1] = "SMART";
    } else {
        row[0] = SlotNameFor(def.Origin, def.SourceType, def.ReadingIdx);
        const auto kind = std::find_if(ReadingSources.begin(), ReadingSources.end(),
                                       [&](const TSourceKind& k) { return k.Source == def.SourceType; });
        row[1] = kind != ReadingSources.end() ? kind->Name : "";
    }
    row[2] = sensorLabel(def.Origin);
    row[3] = def.CheckType + def.CheckValue;
    switch (def.Action) {
    case TEventAction::Execute:
        row[4] = "EXEC \"" + def.ActionPar1 + (def.ActionPar2.empty() ? "" : "," + def.ActionPar2) + "\"";
        break;
    case TEventAction::PopupMsg: row[4] = "POPUP \"" + def.ActionPar1 + "\""; break;
    case TEventAction::Beep: row[4] = "BEEP"; break;
    case TEventAction::SendMail: row[4] = "SENDMAIL \"" + def.ActionPar1 + "\",\"" + def.ActionPar2 + "\""; break;
    }
    return row;
}

TEventDef TEventsTab::ReadEventEditor() const {
    TEventDef def;
    if (Within(Editor.Source, EventSources.size())) {
        const TEventSourceItem& source = EventSources[static_cast<std::size_t>(Editor.Source)];
        def.Origin = source.Origin;
        def.SourceType = source.SourceType;
        def.ReadingIdx = source.ReadingIdx;
    }
    def.CheckType = Within(Editor.Comparison, Comparisons.size()) ? Comparisons[static_cast<std::size_t>(Editor.Comparison)] : "";
    def.CheckValue = EventLimitFromEditor(Editor.Value, cvformat::UserFormat().decimalSeparator).value_or(Editor.Value);
    def.Action = static_cast<TEventAction>(std::max(Editor.Action, 0));
    def.ActionPar1 = Editor.Param1;
    def.ActionPar2 = Editor.Param2;
    def.AllowEvery = Editor.AllowEvery;
    def.VerifiedFor = Editor.VerifiedFor;
    return def;
}

std::optional<std::string> EventLimitFromEditor(std::string_view text, char decimalSeparator) {
    std::string limit;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        if (text.front() == '-') limit += '-';
        text.remove_prefix(1);
    }
    bool digits = false;
    bool separator = false;
    for (const char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits = true;
            limit += c;
        } else if (c == decimalSeparator && !separator) {
            separator = true;
            limit += digits ? "." : "0.";
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    if (limit.back() == '.') limit.pop_back();
    return limit;
}

std::string EventLimitForEditor(const std::string& checkValue, char decimalSeparator) {
    if (!EventLimitFromEditor(checkValue, '.')) return checkValue;
    std::string shown = checkValue;
    std::replace(shown.begin(), shown.end(), '.', decimalSeparator);
    return shown;
}

bool TEventsTab::TestEventDef(const TEventDef& def) {
    TCVParser parser;
    parser.SetText(EventToCondition(def));
    TCVExprItems items;
    parser.CompileExpression(items);
    if (!parser.ErrorText().empty()) {
        Validity = Format("ERROR parsing expression : %s", {parser.ErrorText()});
        return false;
    }
    TCVEvaluator evaluator;
    evaluator.AddIdProc(
        [this](const TCVIdParams& params, TCVStack& stack) { return events_.ResolveEventVariable(params, stack); });
    try {
        evaluator.EvaluateExpression(items);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool TEventsTab::IsEventValid() {
    Validity.clear();
    const char separator = cvformat::UserFormat().decimalSeparator;
    const bool number = EventLimitFromEditor(Editor.Value, separator).has_value();
    if (!Editor.Value.empty() && !number)
        Validity = Format("ERROR : the value must be a number, such as 60 or -2%s5", {std::string(1, separator)});
    const bool complete = Within(Editor.Source, EventSources.size()) && Within(Editor.Comparison, Comparisons.size()) &&
                          Within(Editor.Action, Actions.size()) && number &&
                          (Editor.Action == static_cast<int>(TEventAction::Beep) || !Editor.Param1.empty());
    return complete && TestEventDef(ReadEventEditor());
}

void TEventsTab::CheckValidEvent() {
    AddEnabled = IsEventValid();
    UpdateEnabled = model_.SelectedEvent != -1 && IsEventValid();
    notify(false);
}

void TEventsTab::clearEditor() {
    Editor = TEventEditor{};
    CheckValidEvent();
}

void TEventsTab::BTNAddEventClick() {
    model_.Events.push_back(ReadEventEditor());
    notify(true);
    clearEditor();
}

void TEventsTab::BTNUpdateEventClick() {
    if (!Within(model_.SelectedEvent, model_.Events.size())) return;
    model_.Events[static_cast<std::size_t>(model_.SelectedEvent)] = ReadEventEditor();
    model_.SelectedEvent = -1;
    notify(true);
    clearEditor();
}

void TEventsTab::BTNDelEventClick(int row) {
    if (!Within(row, model_.Events.size())) return;
    model_.Events.erase(model_.Events.begin() + row);
    model_.SelectedEvent = -1;
    UpdateEnabled = false;
    RemoveEnabled = false;
    notify(true);
}

void TEventsTab::BTNClearEventClick() {
    model_.SelectedEvent = -1;
    clearEditor();
}

void TEventsTab::LVEventsClick(int row) {
    if (!Within(row, model_.Events.size())) return;
    const TEventDef& def = model_.Events[static_cast<std::size_t>(row)];
    Editor.Source = -1;
    const TEventSourceItem wanted{def.Origin, def.SourceType, def.ReadingIdx};
    for (int i = 0; i < static_cast<int>(EventSources.size()); ++i)
        if (EventSources[static_cast<std::size_t>(i)] == wanted) Editor.Source = i;
    if (Editor.Source >= 0) {
        const auto comparison = std::find(Comparisons.begin(), Comparisons.end(), def.CheckType);
        Editor.Comparison = comparison == Comparisons.end() ? -1 : static_cast<int>(comparison - Comparisons.begin());
        Editor.Value = EventLimitForEditor(def.CheckValue, cvformat::UserFormat().decimalSeparator);
        const int action = static_cast<int>(def.Action);
        Editor.Action = Within(action, Actions.size()) ? action : -1;
        Editor.Param1 = def.ActionPar1;
        Editor.Param2 = def.ActionPar2;
        Editor.AllowEvery = def.AllowEvery;
        Editor.VerifiedFor = def.VerifiedFor;
        AddEnabled = IsEventValid();
        UpdateEnabled = AddEnabled;  // a stored limit that is no number must be mended first
        model_.SelectedEvent = row;
    }
    notify(false);
}

void TEventsTab::notify(bool rowsChanged) const {
    if (Changed) Changed(rowsChanged);
}

// ---- TEventsPage

TEventsPage::TEventsPage(TEventsTab& tab, TDlgConfigModel& model, std::function<void()> help, QWidget* parent)
    : QWidget(parent), tab_(tab), model_(model) {
    auto* layout = new QVBoxLayout(this);
    auto* editor = new QGridLayout;
    editor->setObjectName("PanEventEdit");
    source_ = new QComboBox;
    source_->setObjectName("CBEvtSensorID");
    comparison_ = new QComboBox;
    comparison_->setObjectName("CBEvtComp1");
    for (const char* text : TEventsTab::Comparisons) comparison_->addItem(text);
    value_ = new QLineEdit;
    value_->setObjectName("EDEvtComp1");
    value_->setMaximumWidth(60);
    action_ = new QComboBox;
    action_->setObjectName("CBEvtAction");
    for (const char* text : TEventsTab::Actions) action_->addItem(text);
    param1_ = new QLineEdit;
    param1_->setObjectName("EDEvtParam1");
    param2_ = new QLineEdit;
    param2_->setObjectName("EDEvtParam2");
    allowEvery_ = new QSpinBox;
    allowEvery_->setObjectName("EDEvtAllowEvery");
    allowEvery_->setRange(0, 99999);
    verifiedFor_ = new QSpinBox;
    verifiedFor_->setObjectName("EDEvtVerifiedFor");
    verifiedFor_->setRange(1, 9999);

    // The source and the first parameter take the width the line leaves.
    auto* ifLine = new QHBoxLayout;
    ifLine->addWidget(source_, 1);
    ifLine->addWidget(comparison_);
    ifLine->addWidget(value_);
    auto* thenLine = new QHBoxLayout;
    thenLine->addWidget(action_);
    thenLine->addWidget(param1_, 2);
    thenLine->addWidget(param2_, 1);
    auto* timesLine = new QHBoxLayout;
    timesLine->addWidget(Named("LABEvtAllowEvery", new QLabel("Allow every")));
    timesLine->addWidget(allowEvery_);
    timesLine->addWidget(Named("LABEvtSeconds", new QLabel("seconds")));
    timesLine->addSpacing(12);
    timesLine->addWidget(Named("LABEvtFor", new QLabel("For ")));
    timesLine->addWidget(verifiedFor_);
    timesLine->addWidget(Named("LABEvtTimes", new QLabel("times")));
    timesLine->addStretch();
    editor->addWidget(Named("LABEvtIf", new QLabel("If")), 0, 0);
    editor->addLayout(ifLine, 0, 1);
    editor->addWidget(Named("LABEvtThen", new QLabel("Then")), 1, 0);
    editor->addLayout(thenLine, 1, 1);
    editor->addLayout(timesLine, 2, 1);
    layout->addLayout(editor);

    validity_ = new QLabel;
    validity_->setObjectName("LABEvtValidity");
    layout->addWidget(validity_);

    auto* buttons = new QHBoxLayout;
    auto* howTo = new QLabel("<a href=\"help\">How to use events</a>");
    howTo->setObjectName("LABEventsHowTo");
    buttons->addWidget(howTo);
    buttons->addStretch();
    add_ = new QPushButton("Add");
    add_->setObjectName("BTNAddEvent");
    auto* clear = new QPushButton("Clear");
    clear->setObjectName("BTNClearEvent");
    update_ = new QPushButton("Update");
    update_->setObjectName("BTNUpdateEvent");
    remove_ = new QPushButton("Remove");
    remove_->setObjectName("BTNDelEvent");
    for (QPushButton* button : {add_, clear, update_, remove_}) buttons->addWidget(button);
    layout->addLayout(buttons);

    list_ = new QTreeWidget;
    list_->setObjectName("LVEvents");
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({"Reading", "Kind", "Origin", "Check", "Action"});
    const int widths[] = {60, 50, 80, 50, 250};
    for (int i = 0; i < 5; ++i) list_->setColumnWidth(i, widths[i]);
    fitter_ = new TColumnFitter(*list_);
    layout->addWidget(list_, 1);

    connect(howTo, &QLabel::linkActivated, this, [help = std::move(help)] {
        if (help) help();
    });
    connect(source_, &QComboBox::currentIndexChanged, this, [this](int i) {
        tab_.Editor.Source = i;
        editorChanged(true);
    });
    connect(comparison_, &QComboBox::currentIndexChanged, this, [this](int i) {
        tab_.Editor.Comparison = i;
        editorChanged(true);
    });
    connect(action_, &QComboBox::currentIndexChanged, this, [this](int i) {
        tab_.Editor.Action = i;
        editorChanged(true);
    });
    connect(value_, &QLineEdit::textChanged, this, [this](const QString& text) {
        tab_.Editor.Value = text.toStdString();
        editorChanged(true);
    });
    connect(param1_, &QLineEdit::textChanged, this, [this](const QString& text) {
        tab_.Editor.Param1 = text.toStdString();
        editorChanged(true);
    });
    connect(param2_, &QLineEdit::textChanged, this, [this](const QString& text) {
        tab_.Editor.Param2 = text.toStdString();
        editorChanged(false);
    });
    connect(allowEvery_, &QSpinBox::valueChanged, this, [this](int value) {
        tab_.Editor.AllowEvery = value;
        editorChanged(false);
    });
    connect(verifiedFor_, &QSpinBox::valueChanged, this, [this](int value) {
        tab_.Editor.VerifiedFor = value;
        editorChanged(false);
    });
    connect(add_, &QPushButton::clicked, this, [this] { tab_.BTNAddEventClick(); });
    connect(update_, &QPushButton::clicked, this, [this] { tab_.BTNUpdateEventClick(); });
    connect(clear, &QPushButton::clicked, this, [this] { tab_.BTNClearEventClick(); });
    connect(remove_, &QPushButton::clicked, this,
            [this] { tab_.BTNDelEventClick(list_->indexOfTopLevelItem(list_->currentItem())); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        tab_.LVEventsChange(!list_->selectedItems().isEmpty());
        remove_->setEnabled(tab_.RemoveEnabled);
    });
    connect(list_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { tab_.LVEventsClick(list_->indexOfTopLevelItem(item)); });

    tab_.Changed = [this](bool rows) { Refresh(rows); };
    Refresh(true);
}

void TEventsPage::editorChanged(bool recheck) {
    if (recheck) tab_.CheckValidEvent();
}

void TEventsPage::Refresh(bool rows) {
    const QSignalBlocker blockSource(source_), blockComparison(comparison_), blockValue(value_),
        blockAction(action_), blockParam1(param1_), blockParam2(param2_), blockAllow(allowEvery_),
        blockVerified(verifiedFor_), blockList(list_);
    if (source_->count() != static_cast<int>(tab_.SourceItems.size()) || rows) {
        source_->clear();
        for (const auto& item : tab_.SourceItems) source_->addItem(Q(item));
    }
    const TEventEditor& e = tab_.Editor;
    source_->setCurrentIndex(e.Source);
    comparison_->setCurrentIndex(e.Comparison);
    if (value_->text().toStdString() != e.Value) value_->setText(Q(e.Value));
    action_->setCurrentIndex(e.Action);
    if (param1_->text().toStdString() != e.Param1) param1_->setText(Q(e.Param1));
    if (param2_->text().toStdString() != e.Param2) param2_->setText(Q(e.Param2));
    allowEvery_->setValue(e.AllowEvery);
    verifiedFor_->setValue(e.VerifiedFor);
    validity_->setText(Q(tab_.Validity));
    add_->setEnabled(tab_.AddEnabled);
    update_->setEnabled(tab_.UpdateEnabled);
    if (rows) {
        list_->clear();
        for (const auto& def : model_.Events) {
            const TEventRow row = tab_.FillEventRow(def);
            list_->addTopLevelItem(new QTreeWidgetItem(
                QStringList{Q(row[0]), Q(row[1]), Q(row[2]), Q(row[3]), Q(row[4])}));
        }
        fitter_->Fit();
        tab_.LVEventsChange(false);
    }
    remove_->setEnabled(tab_.RemoveEnabled);
    if (UpdateOkButton) UpdateOkButton(tab_.OkEnabled());
}

void TEventsPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    tab_.TSEventsShow();
}
