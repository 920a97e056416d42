#include "ui/cvdlgpost.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/cvhelp.h"
#include "ui/cvcontrolbinder.h"
#include "ui/uilanguage.h"

namespace {

constexpr int HelpTopic = 1112;

struct TQuestionRow {
    const char* LabelName;
    const char* Caption;
    std::array<const char*, 3> Names;
};

constexpr TQuestionRow Questions[] = {
    {"LABCanChange", "Can you change fan speeds?", {"RBCanChangeYes", "RBCanChangeNo", "RBCanChangeDontKnow"}},
    {"LABSmoothly", "Smoothly?", {"RBSmoothlyYes", "RBSmoothlyNo", "RBSmoothlyDontKnow"}},
    {"LABCanStop", "Can you stop fans?", {"RBCanStopYes", "RBCanStopNo", "RBCanStopDontKnow"}},
};
constexpr std::array<const char*, 3> AnswerCaptions = {"yes", "no", "don't know"};

QLineEdit* AddEdit(QVBoxLayout& layout, const char* name, const char* labelName, const char* caption) {
    layout.addWidget(Named(labelName, new QLabel(caption)));
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    layout.addWidget(edit);
    return edit;
}

}  // namespace

TDlgPost::TDlgPost(THelpLink& help, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), help_(help),
      storage_(*this, "TDlgPost") {
    setObjectName("DlgPost");
    setWindowTitle("Send Info");
    auto* layout = new QVBoxLayout(this);
    mbModel_ = AddEdit(*layout, "EDMBModel", "LABMBModel", "Motherboard model");
    email_ = AddEdit(*layout, "EDEmail", "LABEmail", "Email address");
    auto* note = new QLabel(
        "Specify your email address if you would like to be contacted for further investigation about Caldavor.\n"
        "Your email address will be used for no other scope.");
    note->setObjectName("LABEmailNote");
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* speeds = new QGroupBox(" Fan speed changing ");
    speeds->setObjectName("GBSpeedChanging");
    auto* grid = new QGridLayout(speeds);
    for (std::size_t q = 0; q < std::size(Questions); ++q) {
        const int row = static_cast<int>(q);
        grid->addWidget(Named(Questions[q].LabelName, new QLabel(Questions[q].Caption)), row, 0);
        auto* group = new QButtonGroup(speeds);
        for (std::size_t a = 0; a < AnswerCaptions.size(); ++a) {
            auto* button = new QRadioButton(AnswerCaptions[a]);
            button->setObjectName(Questions[q].Names[a]);
            group->addButton(button);
            grid->addWidget(button, row, static_cast<int>(a) + 1);
            answers_[q][a] = button;
        }
        answers_[q][2]->setChecked(true);
    }
    layout->addWidget(speeds);

    auto* notSure = new QPushButton("I'm not sure how to answer...");
    notSure->setObjectName("BitBtn3");
    layout->addWidget(notSure, 0, Qt::AlignLeft);
    okForBeta_ = new QCheckBox("Yes, I agree to receive beta versions of Caldavor ");
    okForBeta_->setObjectName("CBOkForBetaVersions");
    okForBeta_->setChecked(true);
    layout->addWidget(okForBeta_);
    proxy_ = BuildProxyGroup();
    layout->addWidget(proxy_.Panel);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("BTNOk");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("BTNCancel");
    layout->addWidget(buttons);
    connect(notSure, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    storage_.KeepSizeAndState = true;
    storage_.StoreText(*email_, "EDEmail.Text");
    storage_.StoreText(*mbModel_, "EDMBModel.Text");
    storage_.StoreCheck(*okForBeta_, "CBOkForBetaVersions.Checked");
    if (owner) move(owner->geometry().center() - rect().center());
    storage_.Restore();
    setFixedSize(sizeHint());
    FormBuilt("TDlgPost", *this);
}

TDlgPost::TAnswer TDlgPost::Answer(TQuestion question) const {
    const auto& buttons = answers_[static_cast<std::size_t>(question)];
    if (buttons[0]->isChecked()) return TAnswer::Yes;
    return buttons[1]->isChecked() ? TAnswer::No : TAnswer::DontKnow;
}

TPostAnswers TDlgPost::Answers() const {
    static constexpr TFanAnswer FanAnswers[] = {TFanAnswer::Yes, TFanAnswer::No, TFanAnswer::DontKnow};
    const auto fan = [this](TQuestion question) { return FanAnswers[static_cast<std::size_t>(Answer(question))]; };
    return {email_->text().toStdString(), mbModel_->text().toStdString(), okForBeta_->isChecked(),
            fan(TQuestion::CanChange), fan(TQuestion::Smoothly), fan(TQuestion::CanStop)};
}

void TDlgPost::BitBtn3Click() {
    bool callHelp = false;
    help_.HelpHandler(THelpLink::HelpContext, HelpTopic, callHelp);
}

void TDlgPost::done(int result) {
    storage_.Save();
    QDialog::done(result);
}
