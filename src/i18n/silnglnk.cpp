#include "i18n/silnglnk.h"

#include <algorithm>

TsiLangLinked::~TsiLangLinked() {
    if (Container_) Container_->RemoveFreeNotification(*this);
}

void TsiLangLinked::SetCommonContainer(TsiCustomLang* container) {
    if (container == Container_ || container == this) return;
    if (Container_) Container_->RemoveFreeNotification(*this);
    Container_ = container;
    if (Container_) Container_->FreeNotification(*this);
    if (!Loading()) Loaded();
}

void TsiLangLinked::Loaded() {
    TsiCustomLang::Loaded();
    if (Designing()) {
        Section(stDlgsCaptions).clear();
        Section(stLocales).clear();
    } else if (Container_) {
        for (const int s : {stDlgsCaptions, stLocales}) {
            Section(s) = Container_->Section(s);
            for (std::string& line : Section(s)) std::replace(line.begin(), line.end(), Container_->LangDelim(), LangDelim());
        }
    }
}

void TsiLangLinked::NotificationOfLang(const TsiCustomLang& component) {
    TsiCustomLang::NotificationOfLang(component);
    if (&component == Container_) Container_ = nullptr;
}
