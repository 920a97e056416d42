// Translation data comes from form data that other tools write: any bytes
// must read without harm, write back and read again to the same table, and
// apply to a form without touching what does not exist.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "i18n/fakehost.h"  // tests/i18n
#include "i18n/sicomp.h"
#include "support/testmachine.h"

namespace {

struct Environment {
    Environment() {
        auto& label = form->Component("Label1", "TLabel");
        label.Str("Caption", "Fan");
        auto& view = form->Component("LVSmartAttrs", "TListView");
        auto& columns = view.Object("Columns", "TListColumns", {THostClass::Collection});
        columns.NewItem("TListColumn").Str("Caption", "c");
        auto& combo = form->Component("CBChartElements", "TComboBox", {THostClass::Control, THostClass::ListControl});
        combo.Int("ItemIndex", 0);
        combo.Object("Items", "TStrings", {THostClass::Strings}).Lines = {"a"};
    }
    testsupport::TestMachine machine;
    std::unique_ptr<i18ntest::TFakeObject> form = i18ntest::MakeForm();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Environment env;
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    TsiLangRT scratch{nullptr};
    scratch.SetNumOfLanguages(1 + data[0] % 18);
    scratch.ReadTranslationData(bytes);
    const std::string written = scratch.WriteTranslationData();
    TsiLangRT again{nullptr};
    again.SetNumOfLanguages(scratch.NumOfLanguages());
    again.ReadTranslationData(written);
    if (again.WriteTranslationData() != written) std::abort();

    TsiLangRT lang{env.form.get()};
    lang.BeginLoading();
    lang.SetNumOfLanguages(18);
    lang.IsInheritedOwner = data[0] & 0x80;
    lang.ReadTranslationData(bytes);
    lang.Loaded();
    lang.SetActiveLanguage(2 + data[0] % 17);
    return 0;
}
