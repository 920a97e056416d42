#include "i18n/silnglnk.h"

#include "i18ntest.h"

namespace {

using i18ntest::L;

class Linked : public i18ntest::FormTest {
protected:
    std::unique_ptr<i18ntest::TFakeObject> commonForm = i18ntest::MakeForm("TCommon");
};

TEST_F(Linked, TakesTheContainersDialogsAndLocalesInItsOwnDelimiter) {
    auto container = std::make_unique<TsiLangRT>(commonForm.get());
    container->BeginLoading();
    container->SetLangDelim('\t');  // stored so by an old form; loading keeps it
    container->Section(stDlgsCaptions) = {"Warning\tWarning\tAttenzione\t"};
    container->Section(stLocales) = {"Date Separator\t/\t.\t"};
    TsiLangLinked linked(form.get());
    linked.SetCommonContainer(container.get());
    EXPECT_EQ(linked.Section(stDlgsCaptions), TStringList{L({"Warning", "Warning", "Attenzione"})});
    EXPECT_EQ(linked.Section(stLocales), TStringList{L({"Date Separator", "/", "."})});

    linked.SetCommonContainer(&linked);  // itself: nothing changes
    EXPECT_EQ(linked.CommonContainer(), container.get());
    container.reset();
    EXPECT_EQ(linked.CommonContainer(), nullptr);
    EXPECT_EQ(linked.Section(stLocales), TStringList{L({"Date Separator", "/", "."})});
}

}  // namespace
