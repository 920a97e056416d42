#pragma once
// A translation component that takes its dialog captions and locale lines
// from another component, its common container.

#include "i18n/sicomp.h"

class TsiLangLinked : public TsiCustomLang {
public:
    using TsiCustomLang::TsiCustomLang;
    ~TsiLangLinked() override;

    TsiCustomLang* CommonContainer() const { return Container_; }
    void SetCommonContainer(TsiCustomLang* container);
    void Loaded() override;
    void NotificationOfLang(const TsiCustomLang& component) override;

private:
    TsiCustomLang* Container_ = nullptr;
};
