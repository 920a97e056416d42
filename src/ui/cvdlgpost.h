#pragma once
// "Send Info": the questionnaire sent with the diagnostic report. Its e-mail
// address, board model and beta consent are kept between runs.

#include <array>

#include <QDialog>

#include "report/cvreport.h"
#include "ui/cvproxygroup.h"
#include "ui/formstorage.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class THelpLink;

class TDlgPost : public QDialog {
public:
    enum class TQuestion { CanChange, Smoothly, CanStop };
    enum class TAnswer { Yes, No, DontKnow };

    TDlgPost(THelpLink& help, QWidget* owner = nullptr);

    QLineEdit& EDMBModel() { return *mbModel_; }
    QLineEdit& EDEmail() { return *email_; }
    QCheckBox& CBOkForBetaVersions() { return *okForBeta_; }
    TAnswer Answer(TQuestion question) const;
    // What the diagnostic report reads of the questionnaire.
    TPostAnswers Answers() const;
    void BitBtn3Click();
    // The proxy controls are disabled: nothing to do.
    void CBUseProxyClick() {}

protected:
    void done(int result) override;

private:
    THelpLink& help_;
    QLineEdit* mbModel_ = nullptr;
    QLineEdit* email_ = nullptr;
    QCheckBox* okForBeta_ = nullptr;
    // Per question: yes, no, don't know.
    std::array<std::array<QRadioButton*, 3>, 3> answers_{};
    TProxyControls proxy_;
    TFormStorage storage_;
};
