// Text translation files come from translators' tools: any text must load,
// merge and save without harm, and what a table saves must load again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "i18n/fakehost.h"  // tests/i18n
#include "i18n/sicomp.h"
#include "support/testmachine.h"

namespace {

struct Environment {
    Environment() {
        form->Component("Label1", "TLabel").Str("Caption", "Fan");
        auto& view = form->Component("LV", "TListView");
        view.Object("Columns", "TListColumns", {THostClass::Collection}).NewItem("TListColumn").Str("Caption", "c");
    }
    testsupport::TestMachine machine;
    std::unique_ptr<i18ntest::TFakeObject> form = i18ntest::MakeForm();
};

std::string SavedTable(TsiCustomLang& lang) {
    std::string file;
    lang.SaveAllToStream(file, "~!@#");
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Environment env;
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::string saved;
    {
        TsiLangRT lang{env.form.get()};
        lang.LoadAllFromStream(text, true, false);
        lang.MergeAllFromStreamAndApply(text);
        saved = SavedTable(lang);
    }
    TsiLangRT again{env.form.get()};
    again.LoadAllFromStream(saved, true, true);
    SavedTable(again);
    return 0;
}
