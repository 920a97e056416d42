// Binary translation files come from an external editor: any bytes must be
// read or refused without reading outside the data. The input's entries are
// looked up for "TForm1"; a valid header is prefixed for half the inputs so
// the entries and the component stream get reached.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "i18n/fakehost.h"  // tests/i18n
#include "i18n/sisibfile.h"
#include "support/testmachine.h"

namespace {

struct Environment {
    Environment() { form->Component("Label1", "TLabel").Str("Caption", "Fan").Int("Width", 10); }
    testsupport::TestMachine machine;
    std::unique_ptr<i18ntest::TFakeObject> form = i18ntest::MakeForm();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Environment env;
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) bytes = TSIBFileManager::SibHeader + bytes;
    TsiLangRT lang{env.form.get()};
    try {
        TSIBFileManager().LoadFromStream(lang, "TForm1", bytes);
        lang.ApplyLanguage();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
