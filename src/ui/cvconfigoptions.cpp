#include "ui/cvconfigoptions.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/cvformat.h"
#include "core/cvsensorsfile.h"
#include "ui/addbtn95.h"
#include "ui/cvcontrolbinder.h"
#include "ui/qtext.h"

namespace {

QSpinBox* SpinEdit(const char* name, int low, int high) {
    auto* edit = Named(name, new QSpinBox);
    edit->setRange(low, high);
    return edit;
}

TCheckBox95* LongCheckBox(const char* name, const char* caption) {
    auto* box = Named(name, new TCheckBox95(caption));
    box->SetAlignment(TAlignment::taLeftJustify);
    box->SetAlignmentBtn(TAlignment::taLeftJustify);
    box->SetLikePushButton(false);
    box->SetVerticalAlignment(TVAlignment::vaTop);
    box->SetWordWrap(true);
    return box;
}

}  // namespace

QWidget* BuildOptionsTab(TDlgConfigModel& model, TControlBinder& binder) {
    TOptionsTab& o = model.Options;
    auto* page = new QWidget;
    auto* columns = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    auto* tray = Named("GBTrayBar", new QGroupBox("Tray bar"));
    auto* trayLayout = new QGridLayout(tray);
    auto* small = Named("RBFontSmall", new QRadioButton("small"));
    auto* large = Named("RBFontLarge", new QRadioButton("large"));
    trayLayout->addWidget(Named("LABTrayFont", new QLabel("Use font")), 0, 0);
    trayLayout->addWidget(small, 0, 1);
    trayLayout->addWidget(large, 0, 2);
    binder.Choice(large, small, o.FontLarge);
    auto* startMinimized = Named("CBStartMinimized", new QCheckBox("start minimized"));
    trayLayout->addWidget(startMinimized, 1, 0, 1, 3);
    binder.Check(startMinimized, o.StartupHide);
    auto* iconBack = Named("CBIconBack", new QComboBox);
    auto* iconText = Named("CBIconText", new QComboBox);
    trayLayout->addWidget(Named("LABIconBack", new QLabel("Icon background")), 2, 0);
    trayLayout->addWidget(iconBack, 2, 1, 1, 2);
    trayLayout->addWidget(Named("LABIconText", new QLabel("Icon text")), 3, 0);
    trayLayout->addWidget(iconText, 3, 1, 1, 2);
    binder.Colour(iconBack, o.IconBack);
    binder.Colour(iconText, o.IconText);
    auto* staticIcon = Named("CBStaticIcon", new QCheckBox("static icon"));
    trayLayout->addWidget(staticIcon, 4, 0, 1, 3);
    binder.Check(staticIcon, o.ShowStaticIcon);
    left->addWidget(tray);

    auto* delta = new QFormLayout;
    auto* fanDelta = SpinEdit("EDFanDelta", 1, 99);
    delta->addRow(Named("LABFanDelta", new QLabel("Delta value for fan speeds")), fanDelta);
    binder.Spin(fanDelta, o.FanDelta);
    left->addLayout(delta);
    auto* debugMode = Named("CBDebugMode", new QCheckBox("debug mode"));
    binder.Check(debugMode, o.DebugMode);
    left->addWidget(debugMode);

    auto* access = Named("GBSensorAccess", new QGroupBox("Let Caldavor access sensors through"));
    auto* accessLayout = new QVBoxLayout(access);
    auto* useIsa = Named("CBUseISA", new QCheckBox("ISA BUS"));
    auto* useSmb = Named("CBUseSMB", new QCheckBox("SMBus"));
    accessLayout->addWidget(useIsa);
    accessLayout->addWidget(useSmb);
    binder.Check(useIsa, o.UseISA);
    binder.Check(useSmb, o.UseSMB);
    left->addWidget(access);
    auto* dell = LongCheckBox("CBDellFans", "Enable DELL support (use this function only on DELL notebooks)");
    binder.Check(dell, o.DellFans);
    left->addWidget(dell);
    left->addStretch();

    auto* use = Named("GBTempUnit", new QGroupBox("Use"));
    auto* useLayout = new QHBoxLayout(use);
    auto* celsius = Named("RBUseCelsius", new QRadioButton("Celsius"));
    auto* fahrenheit = Named("RBUseFahrenheit", new QRadioButton("Fahrenheit"));
    useLayout->addWidget(celsius);
    useLayout->addWidget(fahrenheit);
    binder.Choice(celsius, fahrenheit, o.Celsius);
    right->addWidget(use);
    auto* language = new QFormLayout;
    auto* languages = Named("CBLanguage", new QComboBox);
    language->addRow(Named("LABLanguage", new QLabel("Language")), languages);
    binder.List(languages, o.Languages, o.LanguageIndex);
    right->addLayout(language);
    auto* fullOnExit = LongCheckBox("CBFullOnExit", "Set fans to 100% on program exit");
    binder.Check(fullOnExit, o.FullOnExit);
    right->addWidget(fullOnExit);
    auto* minimizeOnClose = Named("CBMinimizeOnClose", new QCheckBox("Minimize on close"));
    binder.Check(minimizeOnClose, o.MinimizeOnClose);
    right->addWidget(minimizeOnClose);
    auto* summary = Named("CBDoSmartSummaryLogScan", new QCheckBox("Do SMART Summary Error Log scan on startup"));
    binder.Check(summary, o.DoSummaryLogScan);
    right->addWidget(summary);
    right->addStretch();
    return page;
}

QWidget* BuildLogTab(TDlgConfigModel& model, TControlBinder& binder, std::function<void(int)> help) {
    TLogOptions& log = model.Log;
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* enabled = Named("CBLogEnabled", new QCheckBox("Enabled"));
    layout->addWidget(enabled);
    auto* panel = Named("PANLogOptions", new QWidget);
    panel->setProperty("helpContext", 1115);
    auto* form = new QFormLayout(panel);
    auto* header = Named("CBLogAddHeader", new QCheckBox("Add header to the file"));
    form->addRow(header);
    auto* decSep = Named("EDLogDecSep", new QLineEdit);
    decSep->setMaxLength(1);
    decSep->setMaximumWidth(40);
    form->addRow(Named("LABLogDecSep", new QLabel("Decimal separator")), decSep);
    auto* maxDecs = SpinEdit("EDLogMaxDecs", 1, 5);
    form->addRow(Named("LABLogMaxDecs", new QLabel("Max decimals")), maxDecs);
    auto* maxDays = SpinEdit("EDLogMaxDays", 3, 99);
    form->addRow(Named("LABLogMaxDays", new QLabel("Days to keep")), maxDays);
    form->addRow(Named("LABLogNote", new QLabel("NOTE: remember to select what readings you want to log.")));
    auto* helpButton = Named("BTNSmartHelp", new QPushButton("Help"));
    QObject::connect(helpButton, &QPushButton::clicked, helpButton, [help] {
        if (help) help(1115);
    });
    form->addRow(helpButton);
    layout->addWidget(panel);
    layout->addStretch();

    const auto showPanel = [panel, &log] { panel->setVisible(log.Enabled); };
    binder.Check(enabled, log.Enabled, showPanel);
    binder.Check(header, log.AddHeader);
    binder.Edit(decSep, log.DecSep);
    binder.Spin(maxDecs, log.MaxDecs);
    binder.Spin(maxDays, log.MaxDays);
    binder.OnRefresh(showPanel);
    return page;
}

// ---- Advanced -----------------------------------------------------------------

std::vector<std::string> TAdvancedProps::ChipLines() const {
    std::vector<std::string> lines;
    for (const auto& sensor : sensors_)
        lines.push_back(cvformat::Format("%s at $%x on %s", {sensor->FChipName, sensor->FAddress, sensor->FLinkText}));
    return lines;
}

TSensor* TAdvancedProps::chosen() const {
    if (Chip < 0 || Chip >= static_cast<int>(sensors_.size())) return nullptr;
    return sensors_[static_cast<std::size_t>(Chip)].get();
}

void TAdvancedProps::CBAdvChipChange(int chip) {
    Chip = chip;
    Rows.clear();
    Row = -1;
    Options.clear();
    Option = -1;
    RememberEnabled = false;
    TSensor* sensor = chosen();
    if (!sensor) return;
    for (int i = 0; i < sensor->GetPropCount(); ++i) Rows.push_back({sensor->GetPropName(i), sensor->GetPropValue(i)});
}

void TAdvancedProps::LVPropsClick(int row) {
    TSensor* sensor = chosen();
    if (!sensor || row < 0 || row >= static_cast<int>(Rows.size())) return;
    Updating = true;
    Row = row;
    Options = sensor->GetPropOptions(row);
    const auto at = std::find(Options.begin(), Options.end(), sensor->GetPropValue(row));
    Option = at == Options.end() ? -1 : static_cast<int>(at - Options.begin());
    const bool remembered = FindStickyProp(sensor->FDisplayName, sensor->GetPropId(row), false);
    RememberEnabled = !Options.empty();
    Updating = false;
    // The box's own handler has no guard: a changed state re-records.
    if (remembered != Remember) CBRestorePropClick(remembered);
}

void TAdvancedProps::CBEditPropertyChange(int option) {
    if (Updating) return;
    TSensor* sensor = chosen();
    if (!sensor || Row < 0 || option < 0 || option >= static_cast<int>(Options.size())) return;
    Option = option;
    sensor->SetPropValue(Row, Options[static_cast<std::size_t>(option)]);
    Rows[static_cast<std::size_t>(Row)].Value = sensor->GetPropValue(Row);
    UpdateStickyProp();
}

void TAdvancedProps::CBRestorePropClick(bool checked) {
    Remember = checked;
    UpdateStickyProp();
}

bool TAdvancedProps::FindStickyProp(const std::string& sensorUid, int propId, bool remove) {
    const auto at = std::find_if(StickyProps.begin(), StickyProps.end(), [&](const TStickyProp& prop) {
        return prop.SensorUid == sensorUid && prop.PropId == propId;
    });
    if (at == StickyProps.end()) return false;
    if (remove) StickyProps.erase(at);
    return true;
}

void TAdvancedProps::UpdateStickyProp() {
    TSensor* sensor = chosen();
    if (!sensor || Option < 0 || Row < 0) return;
    const int propId = sensor->GetPropId(Row);
    while (FindStickyProp(sensor->FDisplayName, propId, true)) {
    }
    if (Remember)
        StickyProps.push_back({sensor->FDisplayName, propId, sensor->GetPropName(Row), sensor->GetPropValue(Row)});
}

TAdvancedPage::TAdvancedPage(TAdvancedProps& props, QWidget* parent) : QWidget(parent), props_(props) {
    setProperty("helpContext", 1106);
    auto* layout = new QVBoxLayout(this);
    auto* chip = new QFormLayout;
    chips_ = Named("CBAdvChip", new QComboBox);
    chip->addRow(Named("LABAdvChip", new QLabel("Chip")), chips_);
    layout->addLayout(chip);
    list_ = Named("LVProps", new QTreeWidget);
    list_->setHeaderLabels({"Property", "Value"});
    list_->setColumnWidth(0, 150);
    list_->setColumnWidth(1, 250);
    list_->setRootIsDecorated(false);
    layout->addWidget(list_, 1);
    auto* panel = new QHBoxLayout;
    setTo_ = Named("CBEditProperty", new QComboBox);
    remember_ = Named("CBRestoreProp", new QCheckBox("remember it"));
    panel->addWidget(Named("LABEditProperty", new QLabel("Set to")));
    panel->addWidget(setTo_, 1);
    panel->addWidget(remember_);
    layout->addLayout(panel);
    layout->addWidget(Named("LABAdvHint", new QLabel("Select a sensor and a property to change its settings")));

    connect(chips_, &QComboBox::currentIndexChanged, this, [this](int chip) {
        props_.CBAdvChipChange(chip);
        Refresh();
    });
    connect(list_, &QTreeWidget::currentItemChanged, this, [this] {
        props_.LVPropsClick(list_->currentIndex().row());
        Refresh();
    });
    connect(setTo_, &QComboBox::currentIndexChanged, this, [this](int option) {
        props_.CBEditPropertyChange(option);
        Refresh();
    });
    connect(remember_, &QCheckBox::toggled, this, [this](bool on) {
        props_.CBRestorePropClick(on);
        Refresh();
    });
}

void TAdvancedPage::Refresh() {
    const QSignalBlocker a(chips_), b(list_), c(setTo_), d(remember_);
    if (chips_->count() != static_cast<int>(props_.ChipLines().size())) {
        chips_->clear();
        for (const auto& line : props_.ChipLines()) chips_->addItem(Q(line));
    }
    chips_->setCurrentIndex(props_.Chip);
    list_->clear();
    for (const auto& row : props_.Rows) list_->addTopLevelItem(new QTreeWidgetItem({Q(row.Name), Q(row.Value)}));
    if (props_.Row >= 0) list_->setCurrentItem(list_->topLevelItem(props_.Row));
    setTo_->clear();
    for (const auto& option : props_.Options) setTo_->addItem(Q(option));
    setTo_->setCurrentIndex(props_.Option);
    remember_->setChecked(props_.Remember);
    remember_->setEnabled(props_.RememberEnabled);
}
