#include "ui/cvdebugsmbus.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/cvdatetime.h"
#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvmonitor.h"
#include "core/cvsensorsfile.h"
#include "detect/cvscanexceptions.h"
#include "detect/cvsmbusprobe.h"
#include "hw/cvlink.h"
#include "ui/uilanguage.h"
#include "ui/qtext.h"

using cvformat::Format;

namespace {

constexpr int FirstPassLast = 0x7E, LastAddress = 0x7F, RegisterCount = 256;
constexpr int HelpTopic = 1113;

// The device steps pass over 60h-72h, 74h-76h and 78h-7Fh.
bool IsDumpedAddress(int address) { return address <= 0x5F || address == 0x73 || address == 0x77; }

bool IsSMBus(int index) {
    const TLinksArray& links = Links();
    return index >= 0 && index < static_cast<int>(links.size()) &&
           links[static_cast<std::size_t>(index)]->LinkKind() == LinkKinds::SMBus;
}

std::string HeaderLines(const TBoardIdentity* board) {
    const TBoardIdentity identity = board ? *board : TBoardIdentity{};
    return Format("MBManufacturer : %s\r\nMBModel : %s\r\nMBVersion : %s\r\nBIOSVendor : %s\r\nBIOSVersion : %s\r\n",
                  {identity.BoardManufacturer, identity.BoardProduct, identity.BoardVersion, identity.BIOSVendor,
                   identity.BIOSVersion});
}

}  // namespace

void SMBDebugLog(const std::string& message, const TBoardIdentity* board) {
    const std::string path = ProgramDir + SMBusDumpFileName;
    std::error_code error;
    const bool isNew = !std::filesystem::exists(path, error);
    std::ofstream file(path, std::ios::binary | std::ios::app);
    if (!file) return;
    const std::string stamp = FormatDateTime("ddddd tt", Now(), platform::current().locale());
    file << (isNew ? HeaderLines(board) : std::string()) << stamp << " - " << message << "\r\n";
}

TSMBusDebugWalk::TButtons TSMBusDebugWalk::ButtonsOf(TPhase phase) {
    switch (phase) {
        case TPhase::Idle: return {true, false, false, true};
        case TPhase::DeviceChosen: return {false, true, false, true};
        case TPhase::Ended: return {false, false, true, true};
        case TPhase::FirstPass:
        case TPhase::Dumping: break;
    }
    return {false, false, false, false};
}

TSMBusDebugWalk::TSMBusDebugWalk(const TBoardIdentity* board, TView view) : board_(board), view_(std::move(view)) {
    std::remove((ProgramDir + SMBusDumpFileName).c_str());
}

bool TSMBusDebugWalk::LinkRemains() const { return LinkIndex < static_cast<int>(Links().size()); }

int TSMBusDebugWalk::NextSMBusLink(int from) const {
    for (int i = from + 1; i < static_cast<int>(Links().size()); ++i)
        if (IsSMBus(i)) return i;
    return -1;
}

void TSMBusDebugWalk::ShowLinkHeader() {
    const std::string text = Format("Scanning SMBus at $%.4x...", {LinkOf(LinkIndex).BaseAddress()});
    view_.ShowLink(text);
    Log(text);
}

void TSMBusDebugWalk::BTNStartClick() {
    if (phase_ != TPhase::Idle) return;
    phase_ = TPhase::FirstPass;
    passLink_ = NextSMBusLink(-1);
    passAddress_ = -1;
    if (passLink_ < 0) EndFirstPass();
}

bool TSMBusDebugWalk::Step() {
    if (phase_ == TPhase::FirstPass) return FirstPassStep();
    if (phase_ == TPhase::Dumping) return DumpStep();
    return false;
}

bool TSMBusDebugWalk::FirstPassStep() {
    TLink& link = LinkOf(passLink_);
    if (passAddress_ < 0) {
        LinkIndex = passLink_;
        ShowLinkHeader();
        // The pass holds the bus lock like the scan dialog, so other
        // programs never interleave with its probes.
        link.BeginAccess();
        lockedLink_ = passLink_;
        passAddress_ = 0;
        return true;
    }
    if (IsAddressExcluded(link, passAddress_, board_)) {
        const std::string line = Format(" - skipping $%.2x", {passAddress_});
        view_.AddLine(line);
        Log(line);
    } else if (AnswersPresence(link, static_cast<std::uint32_t>(passAddress_))) {
        view_.AddLine(Format(" - device found at $%.2x", {passAddress_}));
        Log(Format(" - device found at $%.2x (LastError=%s)", {passAddress_, SMBusResultText(link.LastError())}));
    }
    if (++passAddress_ <= FirstPassLast) return true;
    ReleaseLock();
    passLink_ = NextSMBusLink(passLink_);
    passAddress_ = -1;
    if (passLink_ >= 0) return true;
    EndFirstPass();
    return false;
}

void TSMBusDebugWalk::EndFirstPass() {
    LinkIndex = -1;
    Address = -1;
    Register = 0;
    NextLink();
    NextDevice();
    phase_ = TPhase::DeviceChosen;
}

void TSMBusDebugWalk::NextLink() {
    ++LinkIndex;
    while (LinkRemains() && !IsSMBus(LinkIndex)) ++LinkIndex;
    if (LinkRemains()) ShowLinkHeader();
}

void TSMBusDebugWalk::NextDevice() {
    for (;;) {
        DeviceDone = true;
        if (!LinkRemains()) return;
        TLink& link = LinkOf(LinkIndex);
        ++Address;
        bool found = false;
        link.BeginAccess();
        for (; Address <= LastAddress; ++Address) {
            if (IsDumpedAddress(Address) && !IsAddressExcluded(link, Address, board_) &&
                AnswersPresence(link, static_cast<std::uint32_t>(Address))) {
                found = true;
                break;
            }
        }
        link.EndAccess();
        if (found) {
            view_.ShowAddress(Format("$%.2x", {Address}));
            Log(Format("Scanning device at $%.2x", {Address}));
            return;
        }
        NextLink();
        Address = -1;
    }
}

void TSMBusDebugWalk::BTNScanNextFastClick() {
    if (phase_ != TPhase::DeviceChosen) return;
    phase_ = TPhase::Dumping;
    Register = 0;
    DeviceDone = false;
}

bool TSMBusDebugWalk::DumpStep() {
    if (!DeviceDone && LinkRemains()) {
        TLink& link = LinkOf(LinkIndex);
        std::uint8_t value = 0;
        link.BeginAccess();
        const bool read = link.ReadByteData(Address, static_cast<std::uint8_t>(Register), value);
        // A failed read has no value to show; "--" keeps the column.
        const std::string shown = read ? Format("%.2x", {value}) : std::string("--");
        Log(Format("SMB at $%.4x CHIP=$%.2x REG=$%.2x VALUE=$%s ERROR=%s",
                   {link.BaseAddress(), Address, Register, shown, SMBusResultText(link.LastError())}));
        link.EndAccess();
        ++Register;
        view_.ShowRegister(Format("$%.2x", {Register}));
        if (Register == RegisterCount) {
            NextDevice();
            Register = 0;
        }
        return true;
    }
    if (LinkRemains()) {
        phase_ = TPhase::DeviceChosen;
    } else {
        phase_ = TPhase::Ended;
        Log("Debug scan properly ended :-)");
    }
    return false;
}

void TSMBusDebugWalk::ReleaseLock() {
    if (lockedLink_ >= 0) LinkOf(lockedLink_).EndAccess();
    lockedLink_ = -1;
}

void TSMBusDebugWalk::Stop() {
    ReleaseLock();
    if (Running()) phase_ = TPhase::Ended;
}

namespace {

QLineEdit* AddEdit(QVBoxLayout& layout, const char* name, const char* labelName, const char* caption, bool readOnly) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(caption);
    label->setObjectName(labelName);
    label->setMinimumWidth(120);
    row->addWidget(label);
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setReadOnly(readOnly);
    row->addWidget(edit, 1);
    layout.addLayout(row);
    return edit;
}

QPushButton* AddButton(QHBoxLayout& row, const char* name, const char* caption) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    row.addWidget(button);
    return button;
}

}  // namespace

TDlgDebugSMBus::TDlgDebugSMBus(TMonitor& monitor, QWidget* owner)
    : QDialog(owner),
      monitor_(monitor),
      walk_(monitor.Board, {[this](const std::string& t) { currentLink_->setText(Q(t)); },
                            [this](const std::string& t) { address_->setText(Q(t)); },
                            [this](const std::string& t) { register_->setText(Q(t)); },
                            [this](const std::string& t) { info_->appendPlainText(Q(t)); }}) {
    setObjectName("DlgDebugSMBus");
    setWindowTitle("Debug SMBus");
    resize(460, 420);
    auto* layout = new QVBoxLayout(this);
    currentLink_ = AddEdit(*layout, "EDCurrentLink", "LABCurrentLink", "Currently debugging", true);
    address_ = AddEdit(*layout, "EDAddress", "LABAddress", "Scanning address", false);
    register_ = AddEdit(*layout, "EDRegister", "LABRegister", "Register", false);
    info_ = new QPlainTextEdit;
    info_->setObjectName("info");
    info_->setReadOnly(true);
    layout->addWidget(info_, 1);
    auto* buttons = new QHBoxLayout;
    start_ = AddButton(*buttons, "BTNStart", "Start");
    scanNextFast_ = AddButton(*buttons, "BTNScanNextFast", "Scan next address");
    end_ = AddButton(*buttons, "BTNEnd", "&Close");
    buttons->addStretch();
    help_ = AddButton(*buttons, "BTNHelp", "Help");
    layout->addLayout(buttons);

    connect(start_, &QPushButton::clicked, this, [this] { BTNStartClick(); });
    connect(scanNextFast_, &QPushButton::clicked, this, [this] { BTNScanNextFastClick(); });
    connect(end_, &QPushButton::clicked, this, &QDialog::accept);
    connect(help_, &QPushButton::clicked, this, [this] { BTNHelpClick(); });
    stepper_.setInterval(0);
    connect(&stepper_, &QTimer::timeout, this, [this] { step(); });
    showButtons();
    if (owner) move(owner->geometry().center() - rect().center());
    FormBuilt("TDlgDebugSMBus", *this);
}

TDlgDebugSMBus::~TDlgDebugSMBus() { walk_.Stop(); }

void TDlgDebugSMBus::showButtons() {
    const auto shown = TSMBusDebugWalk::ButtonsOf(walk_.Phase());
    start_->setVisible(shown.Start);
    scanNextFast_->setVisible(shown.ScanNextFast);
    end_->setVisible(shown.End);
    help_->setVisible(shown.Help);
}

void TDlgDebugSMBus::BTNStartClick() {
    walk_.BTNStartClick();
    showButtons();
    if (walk_.Running()) stepper_.start();
}

void TDlgDebugSMBus::BTNScanNextFastClick() {
    walk_.BTNScanNextFastClick();
    showButtons();
    if (walk_.Running()) stepper_.start();
}

void TDlgDebugSMBus::BTNHelpClick() {
    bool callHelp = false;
    monitor_.Help.HelpHandler(THelpLink::HelpContext, HelpTopic, callHelp);
}

void TDlgDebugSMBus::step() {
    if (walk_.Step()) return;
    stepper_.stop();
    showButtons();
}

void TDlgDebugSMBus::done(int result) {
    stepper_.stop();
    walk_.Stop();
    QDialog::done(result);
}
