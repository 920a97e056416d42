#include "ui/cvclockpage.h"

#include <array>
#include <exception>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/cvformat.h"
#include "core/cvmonitor.h"
#include "core/cvtext.h"
#include "cpu/cvclocks.h"
#include "ui/cvcontrolbinder.h"
#include "ui/qtext.h"

using cvformat::Format;

namespace {

std::string S(const QString& text) { return text.toStdString(); }

std::string ChipText(const TClockInfo& row) { return std::string(row.Vendor) + " " + row.Model; }

const TClockInfo* OfferedChipById(std::uint8_t id) {
    for (const TClockInfo& row : ClockChipTable())
        if (IsOffered(row.State) && row.Id == id) return &row;
    return nullptr;
}

const TClockInfo* OfferedChipByText(const std::string& text) {
    for (const TClockInfo& row : ClockChipTable())
        if (IsOffered(row.State) && SameText(ChipText(row), text)) return &row;
    return nullptr;
}

const TMBClock* OfferedBoard(const std::string& vendor, const std::string& model) {
    for (const TMBClock& row : BoardClockTable())
        if (IsOffered(row.State) && SameText(row.Maker, vendor) && SameText(row.Model, model)) return &row;
    return nullptr;
}

std::string ChosenText(const QComboBox& box) { return box.currentIndex() < 0 ? std::string() : S(box.currentText()); }

void SelectText(QComboBox& box, const std::string& text) {
    const QSignalBlocker blocker(&box);
    box.setCurrentIndex(box.findText(Q(text), Qt::MatchFixedString | Qt::MatchCaseSensitive));
}

QSpinBox* MakeSpin(QWidget* parent, const char* name, int low, int high, int value) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(low, high);
    spin->setValue(value);
    return spin;
}

}  // namespace

const char* const TClockPage::WarningText =
    "This is an advanced feature.\r\rBy setting the wrong motherboard or the wrong clock, you might hurt your "
    "system.\rUse it at your own risk and only if you really know what you are doing :-)";

int PageHelpContext(const std::string& pageName) {
    static constexpr std::array<std::pair<const char*, int>, 6> Contexts{{{"TSReadings", 1111},
                                                                          {"TSClock", TClockPage::HelpContext},
                                                                          {"TSInfo", 1109},
                                                                          {"TSExotics", 1108},
                                                                          {"TSSmart", 1107},
                                                                          {"TSCharts", 1114}}};
    for (const auto& [name, context] : Contexts)
        if (pageName == name) return context;
    return 0;
}

TClockPage::TClockPage(TMonitor& monitor, TCpuLoadTicker& ticker, QWidget* parent)
    : QWidget(parent), monitor_(monitor), ticker_(ticker) {
    setObjectName("TSClock");
    Build();
    Connect();
    ticker_.SetClock(this);
}

TClockPage::~TClockPage() { ticker_.SetClock(nullptr); }

void TClockPage::Build() {
    vendor_ = Named("CBMBVendor", new QComboBox(this));
    model_ = Named("CBMBModel", new QComboBox(this));
    chip_ = Named("CBMBClock", new QComboBox(this));
    useClockGen_ = Named("CBUseClockGen", new QCheckBox("Use this clock generator", this));
    readClock_ = Named("BTNReadClock", new QPushButton("Read clock", this));
    setClock_ = Named("BTNSetClock", new QPushButton("Set clock", this));
    readClock_->setEnabled(false);
    setClock_->setEnabled(false);
    clocks_ = Named("LBClocks", new QListWidget(this));
    clockLabel_ = Named("LABClock", new QLabel(this));
    lowSpeed_ = Named("CBLowSpeed", new QComboBox(this));
    highSpeed_ = Named("CBHighSpeed", new QComboBox(this));
    lowUsage_ = MakeSpin(this, "EDLowCPUUsage", 0, 99, 10);
    lowTime_ = MakeSpin(this, "EDLowCPUTime", 2, 999, 10);
    highUsage_ = MakeSpin(this, "EDHighCPUUsage", 0, 99, 40);
    highTime_ = MakeSpin(this, "EDHighCPUTime", 2, 999, 4);
    status_ = Named("LABClockStatus", new QLineEdit(this));
    status_->setReadOnly(true);
    wish_ = Named("LABClockWish", new QLabel(this));
    auto* realSpeed = Named("LABRealCPUSpeed", new QLabel(this));

    auto* board = new QGridLayout;
    board->addWidget(Named("LABMotherboard", new QLabel("Motherboard", this)), 0, 0);
    board->addWidget(vendor_, 0, 1);
    board->addWidget(model_, 0, 2);
    board->addWidget(Named("LABMBClock", new QLabel("Clock", this)), 1, 0);
    board->addWidget(chip_, 1, 1, 1, 2);
    board->addWidget(useClockGen_, 2, 1, 1, 2);
    board->setColumnStretch(1, 1);
    board->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(readClock_);
    buttons->addWidget(setClock_);
    buttons->addWidget(Named("LABComputed", new QLabel("Computed:", this)));
    buttons->addWidget(realSpeed, 1);

    auto* automatic = Named("GBAutoClock", new QGroupBox("Automatic CLOCK control", this));
    auto* rules = new QGridLayout(automatic);
    // Each rule's labels are named after its side, as its edits are.
    const auto addRule = [&](int row, const char* side, const char* text, QSpinBox* usage, QSpinBox* time,
                             QComboBox* speed) {
        const auto label = [&](const char* caption, const char* name) {
            auto* control = new QLabel(caption, this);
            control->setObjectName(QString("LAB") + side + name);
            return control;
        };
        rules->addWidget(label(text, "CPUUsage"), row, 0);
        rules->addWidget(usage, row, 1);
        rules->addWidget(label("% CPU usage for", "CPUUsageFor"), row, 2);
        rules->addWidget(time, row, 3);
        rules->addWidget(label("seconds", "Seconds"), row, 4);
        rules->addWidget(label("Set to", "SetTo"), row, 5);
        rules->addWidget(speed, row, 6);
    };
    addRule(0, "Low", "after running below", lowUsage_, lowTime_, lowSpeed_);
    addRule(1, "High", "after running above", highUsage_, highTime_, highSpeed_);
    rules->setColumnStretch(6, 1);
    auto* state = new QHBoxLayout;
    state->addWidget(Named("LABAutoClockStatus", new QLabel("Status", this)));
    state->addWidget(status_, 1);
    state->addWidget(wish_, 1);
    rules->addLayout(state, 2, 0, 1, 7);

    auto* page = new QVBoxLayout(this);
    page->addLayout(board);
    page->addLayout(buttons);
    page->addWidget(clockLabel_);
    page->addWidget(clocks_, 1);
    page->addWidget(automatic);
}

void TClockPage::Connect() {
    connect(vendor_, &QComboBox::activated, this, [this] { CBMBVendorClick(); });
    connect(model_, &QComboBox::activated, this, [this] { CBMBModelClick(); });
    connect(chip_, &QComboBox::activated, this, [this] { CBMBClockClick(); });
    connect(lowSpeed_, &QComboBox::activated, this, [this] { CBLowSpeedClick(); });
    connect(highSpeed_, &QComboBox::activated, this, [this] { CBHighSpeedClick(); });
    connect(readClock_, &QPushButton::clicked, this, [this] { BTNReadClockClick(); });
    connect(setClock_, &QPushButton::clicked, this, [this] { BTNSetClockClick(); });
    connect(clocks_, &QListWidget::currentRowChanged, this, [this] { LBClocksClick(); });
    connect(useClockGen_, &QCheckBox::clicked, this, [this] { ticker_.CBUseClockGenClick(); });
    connect(lowUsage_, &QSpinBox::valueChanged, this, [this](int v) { ticker_.EDLowCPUUsageChange(v); });
    connect(highUsage_, &QSpinBox::valueChanged, this, [this](int v) { ticker_.EDHighCPUUsageChange(v); });
    connect(lowTime_, &QSpinBox::valueChanged, this, [this](int v) { ticker_.EDLowCPUTimeChange(v); });
    connect(highTime_, &QSpinBox::valueChanged, this, [this](int v) { ticker_.EDHighCPUTimeChange(v); });
}

void TClockPage::SetClockItems(TClockCombo combo, const std::vector<std::string>& items) {
    QComboBox* box = combo == TClockCombo::Clock ? chip_ : combo == TClockCombo::Vendor ? vendor_ : model_;
    const QSignalBlocker blocker(box);
    box->clear();
    for (const auto& item : items) box->addItem(Q(item));
    box->setCurrentIndex(-1);
}

void TClockPage::SaveUnlessUpdating() {
    if (!monitor_.DutyEdits.SuppressPwmWrite) monitor_.SaveParams(true);
}

void TClockPage::CBMBVendorClick() {
    useClockGen_->setChecked(false);
    monitor_.FillClockModels(ChosenText(*vendor_));
    SaveUnlessUpdating();
}

void TClockPage::CBMBModelClick() {
    useClockGen_->setChecked(false);
    int entry = -1;
    const std::string vendor = ChosenText(*vendor_), model = ChosenText(*model_);
    if (!vendor.empty() && !model.empty()) {
        const TMBClock* board = OfferedBoard(vendor, model);
        const TClockInfo* chip = board ? OfferedChipById(board->ChipId) : nullptr;
        if (chip) entry = chip_->findText(Q(ChipText(*chip)), Qt::MatchFixedString | Qt::MatchCaseSensitive);
    }
    {
        const QSignalBlocker blocker(chip_);
        chip_->setCurrentIndex(entry);
    }
    CBMBClockClick();
    SaveUnlessUpdating();
}

void TClockPage::CBMBClockClick() {
    useClockGen_->setChecked(false);
    readClock_->setEnabled(false);
    setClock_->setEnabled(false);
    for (QComboBox* box : {lowSpeed_, highSpeed_}) {
        const QSignalBlocker blocker(box);
        box->clear();
    }
    {
        const QSignalBlocker blocker(clocks_);
        clocks_->clear();
    }
    const TClockInfo* row = chip_->currentIndex() < 0 ? nullptr : OfferedChipByText(S(chip_->currentText()));
    if (!row) return;
    readClock_->setEnabled((row->Capabilities & ClockCapabilities::CanRead) != 0);
    setClock_->setEnabled((row->Capabilities & ClockCapabilities::CanSet) != 0);

    generator_ = CreateClockForPage(row->Id);
    if (!generator_) return;
    generator_->SetOnLog([this](TClock& sender, const std::string& msg, bool show) {
        monitor_.Log.ClockLog(sender.Name(), static_cast<std::uint32_t>(sender.Address()), msg, show);
    });
    monitor_.Log.LogMessage(Format("CLOCK GENERATOR set to %s", {generator_->Name()}));
    const QSignalBlocker lowBlocker(lowSpeed_), highBlocker(highSpeed_), listBlocker(clocks_);
    // Holes are not offered; each item keeps its entry's index.
    for (int j = 0; j < generator_->EntryCount(); ++j) {
        const TClkEntry entry = generator_->GetEntry(j);
        if (entry.IsHole()) continue;
        const QString text = Q(entry.Text);
        lowSpeed_->addItem(text, j);
        highSpeed_->addItem(text, j);
        auto* item = new QListWidgetItem(text, clocks_);
        item->setData(Qt::UserRole, j);
    }
    lowSpeed_->setCurrentIndex(-1);
    highSpeed_->setCurrentIndex(-1);
}

void TClockPage::BTNReadClockClick() {
    int index = -1;
    try {
        if (generator_) index = generator_->ReadClock();
    } catch (const std::exception&) {
        index = -1;
    }
    clockLabel_->setText(index == -1 ? QString("Unable to read current clock")
                                     : Q(generator_->GetEntry(index).Text));
}

void TClockPage::LBClocksClick() { setClock_->setEnabled(clocks_->currentRow() >= 0); }

void TClockPage::BTNSetClockClick() {
    clockLabel_->clear();
    const QListWidgetItem* item = clocks_->currentItem();
    if (!item || !generator_) return;
    const int index = item->data(Qt::UserRole).toInt();
    try {
        if (generator_->SetClock(index) && monitor_.Window) monitor_.Window->PostMessage(WM_CPU_CLOCK, 0, 0);
    } catch (const std::exception&) {
        // A failed set shows nothing.
    }
}

int TClockPage::PagesChange(const std::string& pageName) {
    if (pageName == objectName().toStdString() && !monitor_.Options.NoMoreTip0003 &&
        monitor_.ShowHintDialog("", WarningText, true)) {
        monitor_.Options.NoMoreTip0003 = true;
        monitor_.SaveParams(true);
    }
    return PageHelpContext(pageName);
}

TClockSettings TClockPage::Current() const {
    TClockSettings settings;
    settings.Vendor = ChosenText(*vendor_);
    settings.Model = ChosenText(*model_);
    settings.Low = ChosenText(*lowSpeed_);
    settings.High = ChosenText(*highSpeed_);
    settings.LowCPUUsage = lowUsage_->value();
    settings.HighCPUUsage = highUsage_->value();
    settings.LowCPUTime = lowTime_->value();
    settings.HighCPUTime = highTime_->value();
    settings.AutoClockSet = useClockGen_->isChecked();
    return settings;
}

void TClockPage::SelectEntry(TClockList list, const std::string& text) {
    switch (list) {
    case TClockList::Vendor:
        SelectText(*vendor_, text);
        CBMBVendorClick();
        break;
    case TClockList::Model:
        SelectText(*model_, text);
        CBMBModelClick();
        break;
    case TClockList::Low: SelectText(*lowSpeed_, text); break;
    case TClockList::High: SelectText(*highSpeed_, text); break;
    }
}

QSpinBox* TClockPage::ThresholdEdit(TClockThreshold which) const {
    switch (which) {
    case TClockThreshold::LowCPUUsage: return lowUsage_;
    case TClockThreshold::HighCPUUsage: return highUsage_;
    case TClockThreshold::LowCPUTime: return lowTime_;
    case TClockThreshold::HighCPUTime: return highTime_;
    }
    return lowUsage_;
}

void TClockPage::SetThreshold(TClockThreshold which, int value) { ThresholdEdit(which)->setValue(value); }

void TClockPage::SetAutoClockSet(bool value) { useClockGen_->setChecked(value); }

bool TClockPage::UseClockGen() const { return useClockGen_->isChecked(); }
int TClockPage::LowSpeedIndex() const { return lowSpeed_->currentIndex() < 0 ? -1 : lowSpeed_->currentData().toInt(); }
int TClockPage::HighSpeedIndex() const {
    return highSpeed_->currentIndex() < 0 ? -1 : highSpeed_->currentData().toInt();
}
void TClockPage::ShowClockStatus(const std::string& text) { status_->setText(Q(text)); }
void TClockPage::ShowClockWish(const std::string& text) { wish_->setText(Q(text)); }
