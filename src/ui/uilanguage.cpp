#include "ui/uilanguage.h"

namespace {
TFormBuiltHook& Hook() {
    static TFormBuiltHook hook;
    return hook;
}
}  // namespace

void SetFormBuiltHook(TFormBuiltHook hook) { Hook() = std::move(hook); }

void FormBuilt(const std::string& className, QWidget& form) {
    if (Hook()) Hook()(className, form);
}
