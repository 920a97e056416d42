#include "ui/cvconfignet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "base/cvdatetime.h"
#include "base/cvformat.h"
#include "core/cvmailqueue.h"
#include "platform/platform.h"
#include "ui/cvconfigmodel.h"
#include "ui/cvcontrolbinder.h"

namespace {

QLineEdit* LineEdit(const char* name, bool secret = false) {
    auto* edit = Named(name, new QLineEdit);
    if (secret) edit->setEchoMode(QLineEdit::Password);
    return edit;
}

}  // namespace

QWidget* BuildInternetTab(TDlgConfigModel& model, TControlBinder& binder) {
    TProxySettings& proxy = model.Proxy;
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* group = Named("GBProxy", new QGroupBox("Proxy"));
    auto* form = new QFormLayout(group);
    const auto row = [&](const char* labelName, const char* caption, QLineEdit* edit, std::string& field) {
        form->addRow(Named(labelName, new QLabel(caption)), edit);
        binder.Edit(edit, field);
    };
    row("LABProxyHost", "HTTP Proxy", LineEdit("EDProxy"), proxy.ProxyHost);
    row("LABProxyPort", "port", LineEdit("EDProxyPort"), proxy.ProxyPort);
    row("LABProxyUser", "Username", LineEdit("EDProxyUsername"), proxy.ProxyUsername);
    row("LABProxyPassword", "Password", LineEdit("EDProxyPassword", true), proxy.ProxyPassword);
    auto* use = Named("CBUseProxy", new QCheckBox("Use proxy"));
    form->addRow(use);
    binder.Check(use, proxy.UseProxy);
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

QWidget* BuildXapTab(TDlgConfigModel& model, TControlBinder& binder) {
    TXapTab& xap = model.Xap;
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* enabled = Named("CBXapEnabled", new QCheckBox("Enable"));
    layout->addWidget(enabled);
    auto* panel = Named("PANXapOptions", new QWidget);
    panel->setProperty("helpContext", 1115);
    auto* form = new QFormLayout(panel);
    const auto row = [&](const char* labelName, const char* caption, QLineEdit* edit, std::string& field) {
        form->addRow(Named(labelName, new QLabel(caption)), edit);
        binder.Edit(edit, field);
    };
    row("LABXapHostName", "Host name", LineEdit("EDXapHostName"), xap.HostName);
    row("LABXapHostIP", "Host IP", LineEdit("EDXapHostIP"), xap.HostIP);
    row("LABXapBroadcastIP", "Broadcast IP", LineEdit("EDXapBroadcastIP"), xap.BroadcastIP);
    auto* uid = LineEdit("EDXapUID");
    // Eight letters or digits, turned to upper case.
    uid->setInputMask(">NNNNNNNN;_");
    uid->setToolTip("'0'..'9' - 'A'..'F'");
    row("LABXapUID", "UID", uid, xap.UID);
    layout->addWidget(panel);
    layout->addStretch();
    const auto showPanel = [panel, &xap] { panel->setVisible(xap.Enabled); };
    binder.Check(enabled, xap.Enabled, showPanel);
    binder.OnRefresh(showPanel);
    return page;
}

QWidget* BuildMailTab(TDlgConfigModel& model, TControlBinder& binder, TMailQueue* mail, QObject& dialog,
                      std::function<void()> changed) {
    TMailTab& tab = model.Mail;
    TMailProfile& edits = tab.Edits;
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    auto* form = new QFormLayout;
    // Fourteen rows: tight enough for the dialog's starting height.
    form->setVerticalSpacing(4);
    layout->addLayout(form, 1);
    auto* profiles = Named("CBMailProfile", new QComboBox);
    profiles->setEnabled(false);
    form->addRow(Named("LABMailProfile", new QLabel("Profile")), profiles);
    binder.List(profiles, tab.ProfileNames, tab.Chosen);
    const auto row = [&](const char* labelName, const char* caption, QLineEdit* edit, std::string& field) {
        form->addRow(Named(labelName, new QLabel(caption)), edit);
        binder.Edit(edit, field);
        return edit;
    };
    row("LABMailFrom", "Mail from", LineEdit("EDMailFrom"), edits.MailFrom);
    row("LABMailTo", "Mail to", LineEdit("EDMailTo"), edits.MailTo);
    row("LABSMTPServerName", "SMTP server", LineEdit("EDSMTPServerName"), edits.SmtpHost);
    row("LABSMTPServerPort", "port", LineEdit("EDSMTPServerPort"), edits.SmtpPort);
    row("LABSMTPUserName", "UserName", LineEdit("EDSMTPUserName"), edits.SmtpUser);
    row("LABSMTPPassword", "Password", LineEdit("EDSMTPPassword", true), edits.SmtpPassword);
    auto* startTls = Named("CBStartTLS", new QCheckBox("Use StartTLS"));
    form->addRow(startTls);
    binder.Check(startTls, edits.AutoTLS);
    auto* prior = Named("CBPriorPOP3", new QCheckBox("Do a prior POP3 check"));
    form->addRow(prior);
    const std::vector<QLineEdit*> pop3{
        row("LABPOP3ServerName", "POP3 Server", LineEdit("EDPOP3ServerName"), edits.PopHost),
        row("LABPOP3ServerPort", "port", LineEdit("EDPOP3ServerPort"), edits.PopPort),
        row("LABPOP3UserName", "UserName", LineEdit("EDPOP3UserName"), edits.PopUser),
        row("LABPOP3Password", "Password", LineEdit("EDPOP3Password", true), edits.PopPassword)};
    QObject::connect(prior, &QCheckBox::toggled, prior, [&model, changed](bool on) {
        model.CBPriorPOP3Click(on);
        changed();
    });
    binder.OnRefresh([prior, pop3, &tab, &edits] {
        const QSignalBlocker blocker(prior);
        prior->setChecked(edits.PopBeforeSmtp);
        for (QLineEdit* edit : pop3) edit->setEnabled(tab.Pop3Enabled);
    });
    auto* ssl = LineEdit("EDSSLInterface");
    ssl->setReadOnly(true);
    form->addRow(Named("LABSSLInterface", new QLabel("SSL Interface")), ssl);
    binder.Edit(ssl, tab.SslInterface);

    auto* side = new QVBoxLayout;
    layout->addLayout(side, 1);
    auto* info = Named("MailInfo", new QPlainTextEdit);
    info->setReadOnly(true);
    side->addWidget(info, 1);
    auto* send = Named("BTNSendMail", new QPushButton("Send Test Mail"));
    side->addWidget(send);
    QObject::connect(send, &QPushButton::clicked, send, [&model, mail, &dialog, changed] {
        if (!mail) return;
        BTNSendMailClick(model, *mail, dialog, changed);
    });
    binder.OnRefresh([info, send, &tab, mail] {
        QStringList lines;
        for (const auto& line : tab.Info) lines << QString::fromStdString(line);
        info->setPlainText(lines.join('\n'));
        send->setEnabled(tab.SendEnabled && mail != nullptr);
    });
    return page;
}

void BTNSendMailClick(TDlgConfigModel& model, TMailQueue& mail, QObject& dialog, std::function<void()> changed) {
    TMailTab& tab = model.Mail;
    tab.SendEnabled = false;
    model.SyncMailProfile(tab.Chosen);
    tab.Info = {"Sending..."};
    if (changed) changed();
    const std::vector<std::string> body{"This is a test message sent by Caldavor", "to verify the proper configuration of",
                                        "the mail service."};
    const std::string subject = cvformat::Format(
        "Caldavor test message %s", {FormatDateTime("ddddd tt", Now(), platform::current().locale())});
    TMailProfile profile =
        tab.Chosen >= 0 && tab.Chosen < static_cast<int>(model.MailProfiles.size())
            ? model.MailProfiles[static_cast<std::size_t>(tab.Chosen)]
            : TMailProfile{};
    const QPointer<QObject> alive(&dialog);
    mail.QueueMail(profile, subject, body,
                   [alive, &model, changed](int mailId, bool, const std::vector<std::string>& log) {
                       if (!alive) return;
                       TestMailDone(model, mailId, log);
                       if (changed) changed();
                   });
    mail.Resume();
}

void TestMailDone(TDlgConfigModel& model, int mailId, const std::vector<std::string>& log) {
    TMailTab& tab = model.Mail;
    tab.Info = {cvformat::Format("Received async completion for mail id %d", {mailId})};
    tab.Info.insert(tab.Info.end(), log.begin(), log.end());
    tab.SendEnabled = true;
}
