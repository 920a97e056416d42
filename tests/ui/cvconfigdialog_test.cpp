#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include "configfixture.h"
#include "core/cvmailqueue.h"
#include "core/cvsensorsfile.h"
#include "ui/cvconfig.h"
#include "ui/cvconfigexchange.h"
#include "ui/cvconfignet.h"
#include "support/testmachine.h"
#include "ui/uiprompts.h"

namespace {

using uitest::ConfigFixture;

// Property 1 takes "diode" only; property 2 offers nothing.
class TPropSensor : public coretest::TFakeSensor {
public:
    TPropSensor() : TFakeSensor("Props", 0x2E, {{"T"}, {}, {}, {}}) {
        AddProp(1);
        AddProp(2);
    }
    std::string Mode = "diode";

protected:
    TPropStringArray GetPropOptionsInternal(int id) override {
        return id == 1 ? TPropStringArray{"diode", "thermistor"} : TPropStringArray{};
    }
    std::string GetPropValueInternal(int id) override { return id == 1 ? Mode : "fixed"; }
    bool SetPropValueInternal(int id, const std::string& value) override {
        if (id != 1 || value != "diode") return false;
        Mode = value;
        return true;
    }
};

class TFakeMail : public TMailQueue {
public:
    int QueueMail(const TMailProfile& profile, const std::string& subject, const std::vector<std::string>& body,
                  TMailCompletion completion) override {
        Profiles.push_back(profile);
        Subjects.push_back(subject);
        Bodies.push_back(body);
        Completions.push_back(std::move(completion));
        return static_cast<int>(Completions.size());
    }
    void Resume() override { ++Resumed; }
    std::string TlsLibraryText() const override { return "TLS 3.0"; }

    std::vector<TMailProfile> Profiles;
    std::vector<std::string> Subjects;
    std::vector<std::vector<std::string>> Bodies;
    std::vector<TMailCompletion> Completions;
    int Resumed = 0;
};

class Advanced : public ConfigFixture {
protected:
    Advanced() {
        sensor = &static_cast<TPropSensor&>(*monitor.Sensors.emplace_back(CreateSensor<TPropSensor>()));
        StickyProps.clear();
    }
    ~Advanced() override { StickyProps.clear(); }
    TPropSensor* sensor = nullptr;
    TAdvancedProps props{monitor.Sensors};
};

TEST_F(Advanced, ASetValueActsAtOnceAndIsRememberedOnRequest) {
    EXPECT_EQ(props.ChipLines()[1], "Props at $2E on none");
    props.CBAdvChipChange(1);
    ASSERT_GE(props.Rows.size(), 2u);  // the chip's own first, then the readings'
    EXPECT_EQ(props.Rows[0].Value, "diode");
    EXPECT_FALSE(props.RememberEnabled);
    props.LVPropsClick(0);
    EXPECT_EQ(props.Options, (std::vector<std::string>{"diode", "thermistor"}));
    EXPECT_EQ(props.Option, 0);
    EXPECT_TRUE(props.RememberEnabled);

    props.CBRestorePropClick(true);
    props.CBEditPropertyChange(1);  // refused by the chip
    EXPECT_EQ(props.Rows[0].Value, "diode");
    ASSERT_EQ(StickyProps.size(), 1u);
    EXPECT_EQ(StickyProps[0].SensorUid, sensor->FDisplayName);
    EXPECT_EQ(StickyProps[0].Value, "diode");

    // Re-recording moves the entry to the end.
    StickyProps.push_back({"other", 5, "x", "y"});
    props.UpdateStickyProp();
    ASSERT_EQ(StickyProps.size(), 2u);
    EXPECT_EQ(StickyProps[1].SensorUid, sensor->FDisplayName);
    EXPECT_TRUE(TAdvancedProps::FindStickyProp(sensor->FDisplayName, sensor->GetPropId(0), true));
    EXPECT_EQ(StickyProps.size(), 1u);
    EXPECT_FALSE(TAdvancedProps::FindStickyProp(sensor->FDisplayName, sensor->GetPropId(0), false));
}

TEST_F(Advanced, APropertyWithoutOptionsCannotBeRemembered) {
    props.CBAdvChipChange(1);
    props.LVPropsClick(1);
    EXPECT_TRUE(props.Options.empty());
    EXPECT_FALSE(props.RememberEnabled);
    props.CBRestorePropClick(true);
    EXPECT_TRUE(StickyProps.empty());  // nothing chosen in "Set to"
}

TEST_F(Advanced, ARememberedValueSurvivesCancel) {
    sensor->Mode = "thermistor";
    TScriptedPrompts prompts;
    prompts.OnModal = [](QDialog& shown) {
        auto& dialog = static_cast<TDlgConfig&>(shown);
        TAdvancedProps& advanced = dialog.Advanced();
        advanced.CBAdvChipChange(1);
        advanced.LVPropsClick(0);
        advanced.CBRestorePropClick(true);
        advanced.CBEditPropertyChange(0);
        return TUiPrompts::Rejected;
    };
    BTNConfigClick(monitor, prompts, nullptr);
    EXPECT_EQ(sensor->Mode, "diode");
    ASSERT_EQ(StickyProps.size(), 1u);
    EXPECT_FALSE(exists(SensorsFileName));
}

class Mail : public ConfigFixture {
protected:
    Mail() { monitor.Events.Mail = &mail; }
    TFakeMail mail;
};

TEST_F(Mail, Pop3EditsFollowTheBoxAndKeepTheirTexts) {
    TMailProfile stored;
    stored.ProfileName = "home";
    stored.PopBeforeSmtp = true;
    stored.PopHost = "pop.local";
    MailProfileList = {stored};
    TDlgConfigModel model;
    model.FormCreate(mail.TlsLibraryText());
    EXPECT_FALSE(model.Mail.Pop3Enabled);
    EXPECT_EQ(model.Mail.SslInterface, "TLS 3.0");
    FillConfigDialog(monitor, model);
    EXPECT_TRUE(model.Mail.Pop3Enabled);
    EXPECT_EQ(model.Mail.ProfileNames, (std::vector<std::string>{"home"}));
    model.CBPriorPOP3Click(false);
    EXPECT_FALSE(model.Mail.Pop3Enabled);
    EXPECT_EQ(model.Mail.Edits.PopHost, "pop.local");
    model.FormCloseQuery();
    EXPECT_FALSE(model.MailProfiles[0].PopBeforeSmtp);
    EXPECT_EQ(model.MailProfiles[0].ProfileName, "home");
    EXPECT_TRUE(MailProfileList[0].PopBeforeSmtp);  // the working copy only
}

TEST_F(Mail, TheTestMailUsesTheEditsAndReportsItsCompletion) {
    auto dialog = std::make_unique<TDlgConfig>(monitor);
    TDlgConfigModel& model = dialog->Model();
    FillConfigDialog(monitor, model);
    model.Mail.Edits.SmtpHost = "127.0.0.1";
    int shown = 0;
    BTNSendMailClick(model, mail, *dialog, [&shown] { ++shown; });
    EXPECT_FALSE(model.Mail.SendEnabled);
    EXPECT_EQ(model.Mail.Info, (std::vector<std::string>{"Sending..."}));
    ASSERT_EQ(mail.Profiles.size(), 1u);
    EXPECT_EQ(mail.Profiles[0].SmtpHost, "127.0.0.1");
    EXPECT_EQ(model.MailProfiles[0].SmtpHost, "127.0.0.1");
    EXPECT_EQ(mail.Subjects[0].rfind("Caldavor test message ", 0), 0u);
    EXPECT_EQ(mail.Bodies[0], (std::vector<std::string>{"This is a test message sent by Caldavor",
                                                         "to verify the proper configuration of",
                                                         "the mail service."}));
    EXPECT_EQ(mail.Resumed, 1);

    mail.Completions[0](1, true, {"250 OK"});
    EXPECT_EQ(model.Mail.Info, (std::vector<std::string>{"Received async completion for mail id 1", "250 OK"}));
    EXPECT_TRUE(model.Mail.SendEnabled);
    EXPECT_EQ(shown, 2);

    BTNSendMailClick(model, mail, *dialog, [&shown] { ++shown; });
    dialog.reset();
    mail.Completions[1](2, false, {"late"});  // the dialog is gone: dropped
    EXPECT_EQ(shown, 3);
}

TEST_F(Mail, CancelLeavesTheStoredProfilesAlone) {
    TScriptedPrompts prompts;
    prompts.OnModal = [](QDialog& shown) {
        shown.findChild<QLineEdit*>("EDMailTo")->setText("someone@example.org");
        return TUiPrompts::Rejected;
    };
    BTNConfigClick(monitor, prompts, nullptr);
    EXPECT_TRUE(MailProfileList.empty());
}

class Dialog : public ConfigFixture {};

TEST_F(Dialog, EveryTabOpensAndItsControlsReachTheModel) {
    TDlgConfig dialog(monitor);
    FillConfigDialog(monitor, dialog.Model());
    dialog.ShowModel();
    dialog.show();
    EXPECT_EQ(dialog.size(), QSize(TDlgConfig::Width, TDlgConfig::Height));
    const QStringList names{"TSTemps",   "TSFans",     "TSVolts",  "TSSpeeds",   "TSFanControl", "TSOptions",
                            "TSLogging", "TSAdvanced", "TSEvents", "TSInternet", "TSMail",       "TSXap"};
    ASSERT_EQ(dialog.Tabs().count(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        dialog.Tabs().setCurrentIndex(i);
        EXPECT_EQ(dialog.Tabs().currentWidget()->objectName(), names[i]);
        EXPECT_TRUE(dialog.Tabs().currentWidget()->isVisible());
    }

    // The log options show while logging is on; their values stay.
    auto* logPanel = dialog.findChild<QWidget*>("PANLogOptions");
    dialog.Tabs().setCurrentWidget(dialog.Tab("TSLogging"));
    EXPECT_FALSE(logPanel->isVisible());
    dialog.findChild<QCheckBox*>("CBLogEnabled")->click();
    EXPECT_TRUE(logPanel->isVisible());
    EXPECT_TRUE(dialog.Model().Log.Enabled);
    dialog.findChild<QCheckBox*>("CBLogEnabled")->click();
    EXPECT_FALSE(logPanel->isVisible());

    dialog.Tabs().setCurrentWidget(dialog.Tab("TSXap"));
    auto* uid = dialog.findChild<QLineEdit*>("EDXapUID");
    dialog.findChild<QCheckBox*>("CBXapEnabled")->click();
    EXPECT_TRUE(dialog.findChild<QWidget*>("PANXapOptions")->isVisible());
    uid->clear();
    QTest::keyClicks(uid, "abcdefghij");
    EXPECT_EQ(dialog.Model().Xap.UID, "ABCDEFGH");  // eight, upper case

    // The temperature panel opens for one slot row only.
    dialog.Tabs().setCurrentIndex(0);
    TSlotsPage& temps = dialog.SlotsPage(TSlotTree::Temps);
    QTreeView& view = temps.TreeView();
    view.setCurrentIndex(view.model()->index(1, 0));
    EXPECT_TRUE(temps.PanelVisible());
    view.setCurrentIndex(view.model()->index(0, 0, view.model()->index(1, 0)));
    EXPECT_FALSE(temps.PanelVisible());
}

TEST_F(Dialog, F1OpensTheNearestHelpContext) {
    std::filesystem::create_directories(file("help"));
    for (const char* page : {"help/1100.html", "help/1106.html"}) testsupport::writeFile(file(page), "<html/>");
    std::vector<std::string> opened;
    monitor.Help.LinkHelpFile([&opened](const std::string& path) {
        opened.push_back(path);
        return true;
    });
    TDlgConfig dialog(monitor);
    dialog.show();
    dialog.Tabs().setCurrentWidget(dialog.Tab("TSAdvanced"));
    dialog.findChild<QWidget*>("CBAdvChip")->setFocus();
    dialog.ShowHelp();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], monitor.Help.PageFor(1106));
}

}  // namespace
