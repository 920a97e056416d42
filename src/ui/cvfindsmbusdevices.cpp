#include "ui/cvfindsmbusdevices.h"

#include <cstdint>

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/cvformat.h"
#include "core/cvmonitor.h"
#include "core/cvvars.h"
#include "detect/cvscanexceptions.h"
#include "detect/cvsmbusprobe.h"
#include "hw/cvlink.h"
#include "ui/uiprompts.h"
#include "ui/uilanguage.h"

using cvformat::Format;

namespace {

constexpr int FirstAddress = 0x10, LastAddress = 0x7F;

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
    return text;
}

// "WriteQ" or "ReadRegB" for what answered; empty when nothing did. EEPROM
// addresses get only the byte read: a quick write may lock or corrupt them.
const char* Probe(TLink& link, int address) {
    std::uint8_t value = 0;
    if (!IsEepromAddress(static_cast<std::uint32_t>(address)) && link.WriteQuick(address, 0)) return "WriteQ";
    return link.ReadByteData(address, 0, value) ? "ReadRegB" : "";
}

}  // namespace

void TSMBusScan::Start() {
    if (Running()) return;
    moveToLink(-1);
    if (!Running()) finish();
}

void TSMBusScan::moveToLink(int from) {
    const TLinksArray& links = Links();
    link_ = -1;
    for (int i = from + 1; i < static_cast<int>(links.size()); ++i) {
        if (links[static_cast<std::size_t>(i)]->LinkKind() == LinkKinds::SMBus) {
            link_ = i;
            break;
        }
    }
    address_ = -1;
}

bool TSMBusScan::Step() {
    if (!Running()) return false;
    TLink& link = LinkOf(link_);
    if (address_ < 0) {
        addLine(Format("Scanning SMBus at $%.4x...", {link.BaseAddress()}));
        address_ = FirstAddress;
        return true;
    }
    if (!locked_) {
        link.BeginAccess();
        locked_ = true;
    }
    if (!IsAddressExcluded(link, address_, board_)) {
        if (const std::string answer = Probe(link, address_); !answer.empty())
            addLine(Format(" - device found at $%.2x (%s)", {address_, answer}));
    }
    if (++address_ <= LastAddress) return true;
    link.EndAccess();
    locked_ = false;
    moveToLink(link_);
    if (Running()) return true;
    finish();
    return false;
}

void TSMBusScan::Stop() {
    if (locked_) LinkOf(link_).EndAccess();
    locked_ = false;
    link_ = -1;
}

void TSMBusScan::finish() { SMBusScanResult = JoinLines(lines_); }

void TSMBusScan::addLine(const std::string& line) {
    lines_.push_back(line);
    if (OnLine) OnLine(line);
}

TDlgFindSMBusDevices::TDlgFindSMBusDevices(TMonitor& monitor, QWidget* owner)
    : QDialog(owner), scan_(monitor.Board), storage_(*this, "TDlgFindSMBusDevices") {
    setObjectName("DlgFindSMBusDevices");
    setWindowTitle("Find SMBus Devices");
    resize(420, 400);
    auto* layout = new QVBoxLayout(this);
    auto* warning = new QLabel(
        "Close all running programs.\n\nThis test might hang the SMBus. It should not hurt your PC. I ran it first on "
        "my main computer and it worked fine :-)");
    warning->setObjectName("Label1");
    warning->setWordWrap(true);
    layout->addWidget(warning);
    doScan_ = new QPushButton("Start scanning");
    doScan_->setObjectName("BTNDoScan");
    layout->addWidget(doScan_, 0, Qt::AlignLeft);
    info_ = new QListWidget;
    info_->setObjectName("info");
    layout->addWidget(info_, 1);
    auto* buttons = new QDialogButtonBox;
    QPushButton* close = buttons->addButton("&Close", QDialogButtonBox::RejectRole);
    close->setObjectName("BTNClose");
    layout->addWidget(buttons);

    connect(doScan_, &QPushButton::clicked, this, [this] { BTNDoScanClick(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    stepper_.setInterval(0);
    connect(&stepper_, &QTimer::timeout, this, [this] { step(); });
    scan_.OnLine = [this](const std::string& line) { info_->addItem(QString::fromStdString(line)); };

    if (owner) move(owner->geometry().center() - rect().center());
    storage_.RestorePosition();
    FormBuilt("TDlgFindSMBusDevices", *this);
}

TDlgFindSMBusDevices::~TDlgFindSMBusDevices() { scan_.Stop(); }

void TDlgFindSMBusDevices::BTNDoScanClick() {
    doScan_->setEnabled(false);
    scan_.Start();
    if (scan_.Running())
        stepper_.start();
    else
        doScan_->setEnabled(true);
}

void TDlgFindSMBusDevices::step() {
    if (scan_.Step()) return;
    stepper_.stop();
    doScan_->setEnabled(true);
}

void TDlgFindSMBusDevices::done(int result) {
    stepper_.stop();
    scan_.Stop();
    doScan_->setEnabled(true);
    storage_.SavePosition();
    QDialog::done(result);
}

void BTNFindSMBusDevicesClick(TMonitor& monitor, TUiPrompts& prompts, QWidget* owner) {
    TDlgFindSMBusDevices dialog(monitor, owner);
    prompts.RunModal(dialog);
}
