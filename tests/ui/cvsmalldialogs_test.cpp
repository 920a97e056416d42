// The report, configuration-download and hint dialogs: the ticket check,
// what they keep in the registry, and the hint's answer.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "core/coretest.h"
#include "core/cvhelp.h"
#include "core/cvvars.h"
#include "platform/platform.h"
#include "ui/cvdlggetconfig.h"
#include "ui/cvdlgpost.h"
#include "ui/cvreportpreview.h"
#include "ui/cvreportprogress.h"
#include "ui/cvshowhint.h"
#include "ui/uidialogs.h"
#include "ui/uiprompts.h"
#include "core/cvmonitor.h"

namespace {

class SmallDialogsTest : public coretest::CoreTest {
protected:
    static std::optional<std::string> Stored(const std::string& form, const std::string& value) {
        return platform::current().registry().readString("\\Software\\Caldavor\\" + form, value);
    }
    static std::optional<std::uint32_t> StoredNumber(const std::string& form, const std::string& value) {
        return platform::current().registry().readInteger("\\Software\\Caldavor\\" + form, value);
    }
};

TEST(TicketNumber, WholeNumbersAboveZeroOnly) {
    const struct {
        const char* text;
        std::int64_t number;
    } rows[] = {
        {"0000012345", 12345}, {"42", 42}, {"9999999999", 9999999999}, {"2147483648", 2147483648},
        {"0", 0}, {"0000000000", 0}, {"", -1}, {"12a45", -1}, {"-5", -1}, {" 12", -1}, {"+5", -1},
    };
    for (const auto& row : rows) EXPECT_EQ(TicketNumber(row.text), row.number) << row.text;
}

TEST_F(SmallDialogsTest, GetConfigEnablesOkForAValidTicketAndKeepsTheProxyButNotItsPassword) {
    ProxySettings = {"proxy.lan", "3128", "user", "secret", true};
    {
        TDlgGetConfig dialog;
        EXPECT_FALSE(dialog.BTNOk().isEnabled());
        EXPECT_EQ(dialog.EDTicket().maxLength(), 10);
        dialog.EDTicket().setText("0000000007");
        EXPECT_TRUE(dialog.BTNOk().isEnabled());
        dialog.EDTicket().setText("00000x0007");
        EXPECT_FALSE(dialog.BTNOk().isEnabled());
        EXPECT_TRUE(dialog.LABWebsiteURL().text().contains("http://www.caldavor.example/cvhandleconfig.php"));
        auto* password = dialog.findChild<QLineEdit*>("EDProxyPassword");
        EXPECT_EQ(password->text(), "secret");
        EXPECT_EQ(password->echoMode(), QLineEdit::Password);
        EXPECT_FALSE(dialog.findChild<QWidget*>("GBProxy")->isEnabled());
        dialog.reject();
    }
    EXPECT_EQ(Stored("TDlgGetConfig", "EDProxy_Text"), "proxy.lan");
    EXPECT_EQ(Stored("TDlgGetConfig", "EDProxyPort_Text"), "3128");
    EXPECT_EQ(Stored("TDlgGetConfig", "EDProxyUsername_Text"), "user");
    EXPECT_EQ(StoredNumber("TDlgGetConfig", "CBUseProxy_Checked"), 1u);
    EXPECT_FALSE(Stored("TDlgGetConfig", "EDProxyPassword_Text"));
}

TEST_F(SmallDialogsTest, SendInfoKeepsItsFieldsBetweenRuns) {
    THelpLink help;
    {
        TDlgPost dialog(help);
        EXPECT_TRUE(dialog.CBOkForBetaVersions().isChecked());
        EXPECT_EQ(dialog.Answer(TDlgPost::TQuestion::Smoothly), TDlgPost::TAnswer::DontKnow);
        dialog.EDEmail().setText("me@mail.example");
        dialog.EDMBModel().setText("DX38BT");
        dialog.CBOkForBetaVersions().setChecked(false);
        dialog.findChild<QRadioButton*>("RBCanStopNo")->setChecked(true);
        EXPECT_EQ(dialog.Answer(TDlgPost::TQuestion::CanStop), TDlgPost::TAnswer::No);
        dialog.accept();
    }
    EXPECT_EQ(Stored("TDlgPost", "EDEmail_Text"), "me@mail.example");
    TDlgPost again(help);
    EXPECT_EQ(again.EDEmail().text(), "me@mail.example");
    EXPECT_EQ(again.EDMBModel().text(), "DX38BT");
    EXPECT_FALSE(again.CBOkForBetaVersions().isChecked());
    EXPECT_EQ(again.Answer(TDlgPost::TQuestion::CanStop), TDlgPost::TAnswer::DontKnow);
}

TEST_F(SmallDialogsTest, ThePreviewKeepsItsSizeAndTheProgressListGrows) {
    {
        TDlgReportPreview preview;
        preview.resize(700, 500);
        preview.accept();
    }
    EXPECT_EQ(StoredNumber("TDlgReportPreview", "Width"), 700u);
    EXPECT_EQ(StoredNumber("TDlgReportPreview", "State"), 0u);
    TDlgReportPreview again;
    EXPECT_EQ(again.size(), QSize(700, 500));
    EXPECT_TRUE(again.EDReport().isReadOnly());

    TDlgReportProgress progress;
    progress.AddLine("Reading SMBIOS");
    progress.AddLine("Reading PCI");
    EXPECT_EQ(progress.lb().count(), 2);
}

TEST_F(SmallDialogsTest, TheHintShowsWhatItIsGivenAndAnswersOnlyWhenAllowed) {
    EXPECT_EQ(NormalizeLineBreaks("a\rb\nc\r\nd"), "a\nb\nc\nd");
    TMonitor monitor;
    TScriptedPrompts prompts;
    TUiDialogs dialogs(monitor, prompts);
    struct Seen {
        std::string label, memo;
        bool boxShown = false;
    } seen;
    prompts.OnModal = [&seen](QDialog& dialog) {
        seen.label = dialog.findChild<QLabel*>("LABInfo")->text().toStdString();
        seen.memo = dialog.findChild<QPlainTextEdit*>("memo")->toPlainText().toStdString();
        auto* box = dialog.findChild<QCheckBox*>("CBNeverAgain");
        seen.boxShown = box->isVisible();
        box->setChecked(true);
        return static_cast<int>(TUiPrompts::Rejected);
    };

    EXPECT_TRUE(dialogs.RunHintDialog({"Tip", "one\r\ntwo", true}));
    EXPECT_EQ(seen.label, "Tip");
    EXPECT_EQ(seen.memo, "one\ntwo");
    EXPECT_TRUE(seen.boxShown);

    EXPECT_FALSE(dialogs.RunHintDialog({std::string(), std::nullopt, false}));
    EXPECT_EQ(seen.label, "Did you know that...");  // an empty title leaves the label
    EXPECT_EQ(seen.memo, "");
    EXPECT_FALSE(seen.boxShown);

    prompts.OnModal = [](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QLabel*>("qt_msgbox_label")->text(), "careful\nnow");
        return static_cast<int>(TUiPrompts::Accepted);
    };
    dialogs.ShowWarning("careful\rnow");
    EXPECT_EQ(prompts.ModalRuns, 3);
}

}  // namespace
