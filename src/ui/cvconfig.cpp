#include "ui/cvconfig.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/cvmailqueue.h"
#include "core/cvmonitor.h"
#include "platform/platform.h"
#include "ui/cvconfignet.h"
#include "ui/uiprompts.h"
#include "ui/uilanguage.h"

namespace {
const char* const HelpProperty = "helpContext";
}  // namespace

TDlgConfig::TDlgConfig(TMonitor& monitor, QWidget* parent, TUiPrompts* prompts)
    : QDialog(parent),
      monitor_(monitor),
      ownPrompts_(prompts ? nullptr : std::make_unique<TQtPrompts>()),
      prompts_(prompts ? *prompts : *ownPrompts_),
      advanced_(monitor.Sensors),
      fans_(model_, monitor.Sensors, prompts_, this),
      events_(model_, monitor.Sensors, monitor.Events),
      storage_(*this, "TDlgConfig") {
    setObjectName("DlgConfig");
    setWindowTitle("Configure");
    setProperty(HelpProperty, 1100);
    resize(Width, Height);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget;
    tabs_->setObjectName("PageControl1");
    tabs_->setProperty(HelpProperty, 1115);
    layout->addWidget(tabs_);

    const auto slotTab = [this](TSlotTree tree, const char* name, const char* caption, int help) {
        auto* page = new TSlotsPage(slots_, tree);
        slotPages_[static_cast<std::size_t>(tree)] = page;
        addTab(page, name, caption, help);
    };
    slotTab(TSlotTree::Temps, "TSTemps", "Temperatures", 1101);
    slotTab(TSlotTree::Fans, "TSFans", "Fans", 1102);
    slotTab(TSlotTree::Volts, "TSVolts", "Voltages", 1104);
    slotTab(TSlotTree::Pwms, "TSSpeeds", "Speeds", 1103);

    auto* fanControl = new TFanControlPage(fans_, model_);
    binder_.OnRefresh([this] { fans_.ReloadControllers(); });
    addTab(fanControl, "TSFanControl", "Fan Control");

    addTab(BuildOptionsTab(model_, binder_), "TSOptions", "Options", 1105);
    addTab(BuildLogTab(model_, binder_, [this](int context) {
               bool callHelp = false;
               monitor_.Help.HelpHandler(THelpLink::HelpContext, context, callHelp);
           }),
           "TSLogging", "Log");
    advancedPage_ = new TAdvancedPage(advanced_);
    addTab(advancedPage_, "TSAdvanced", "Advanced", 1106);
    auto* events = new TEventsPage(events_, model_, [this] {
        bool callHelp = false;
        monitor_.Help.HelpHandler(THelpLink::HelpContext, TEventsPage::EventsHelpContext, callHelp);
    });
    binder_.OnRefresh([events] { events->Refresh(true); });
    addTab(events, "TSEvents", "Events");
    addTab(BuildInternetTab(model_, binder_), "TSInternet", "Internet");
    addTab(BuildMailTab(model_, binder_, monitor.Events.Mail, *this, [this] { ShowModel(); }), "TSMail", "Mail");
    addTab(BuildXapTab(model_, binder_), "TSXap", "xAP");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName("BTNOk");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("BTNCancel");
    events->UpdateOkButton = [ok](bool enabled) { ok->setEnabled(enabled); };
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    if (parent) move(parent->geometry().center() - rect().center());
    storage_.RestorePosition();

    // FormCreate: the first tab, empty working data, the TLS library's name.
    tabs_->setCurrentIndex(0);
    model_.FormCreate(monitor.Events.Mail ? monitor.Events.Mail->TlsLibraryText() : std::string());
    FormBuilt("TDlgConfig", *this);
}

// The pages call the tabs' handlers, so they go before the tabs.
TDlgConfig::~TDlgConfig() { delete tabs_; }

void TDlgConfig::addTab(QWidget* page, const char* name, const char* caption, int helpContext) {
    page->setObjectName(name);
    if (helpContext) page->setProperty(HelpProperty, helpContext);
    tabs_->addTab(page, caption);
}

QWidget* TDlgConfig::Tab(const char* name) const { return tabs_->findChild<QWidget*>(name); }

void TDlgConfig::ShowModel() {
    for (TSlotTree tree : {TSlotTree::Temps, TSlotTree::Fans, TSlotTree::Volts, TSlotTree::Pwms})
        slots_.Model(tree).Reload();
    advancedPage_->Refresh();
    binder_.Refresh();
}

void TDlgConfig::ShowHelp() {
    for (QObject* at = focusWidget() ? static_cast<QObject*>(focusWidget()) : this; at; at = at->parent()) {
        const QVariant context = at->property(HelpProperty);
        if (!context.isValid()) continue;
        bool callHelp = false;
        monitor_.Help.HelpHandler(THelpLink::HelpContext, context.toInt(), callHelp);
        return;
    }
}

void TDlgConfig::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        ShowHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDlgConfig::done(int result) {
    storage_.SavePosition();
    QDialog::done(result);
}
