// The language dispatcher: keeps every linked form on one language.

#include <algorithm>
#include <exception>

#include "base/cvformat.h"
#include "i18n/sicomp.h"

TsiLangDispatcher::TsiLangDispatcher() = default;

TsiLangDispatcher::~TsiLangDispatcher() {
    while (!Linked_.empty()) Linked_.back()->SetLangDispatcher(nullptr);
}

std::unique_ptr<TsiLangDispatcher> TsiLangDispatcher::CreateSystem() {
    auto dispatcher = std::make_unique<TsiLangDispatcher>();
    dispatcher->BeginLoading();
    dispatcher->SetLangNames(TStringList(siconsts::LanguageNames.begin(), siconsts::LanguageNames.end()));
    dispatcher->SetLanguageName("English");
    dispatcher->Loaded();
    return dispatcher;
}

void TsiLangDispatcher::LinkComponent(TsiCustomLang& c) {
    if (std::find(Linked_.begin(), Linked_.end(), &c) != Linked_.end()) return;
    Linked_.push_back(&c);
    c.SetNumOfLanguages(NumOfLanguages_);
    c.LangNames_ = LangNames_;
    c.Language_ = Language_;
    if (c.Designing()) {
        c.SetActiveLanguage(ActiveLanguage_);
    } else {
        if (OnLinkToDispatcher) OnLinkToDispatcher(*this, c);
        // No translation file is named in this program: the table of the form is the one to apply.
        c.SetActiveLanguage(ActiveLanguage_);
    }
    c.UpdateCurrentCharset();
}

void TsiLangDispatcher::UnlinkComponent(TsiCustomLang& c) { std::erase(Linked_, &c); }

void TsiLangDispatcher::SetActiveLanguage(int value) {
    if (value == ActiveLanguage_) return;
    // The range first: nothing changes for a language no form has.
    if (value < 1 || value > NumOfLanguages_)
        throw ELanguageError(cvformat::Format(siconsts::LoadMessage(siconsts::TMessage::NotValidValue), {value, NumOfLanguages_}));
    bool allow = true;
    if (OnLanguageChanging) OnLanguageChanging(*this, value, allow);
    for (TsiCustomLang* c : Linked_) {
        if (!allow) break;
        if (c->OnLanguageChanging) c->OnLanguageChanging(*c, value, allow);
    }
    if (!allow) return;
    ActiveLanguage_ = value;
    // Every form is switched; the first failure is reported afterwards.
    std::exception_ptr failure;
    const std::vector<TsiCustomLang*> linked = Linked_;
    for (TsiCustomLang* c : linked) {
        c->DispatcherPropagating = true;
        try {
            c->SetActiveLanguage(value);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
        c->DispatcherPropagating = false;
    }
    if (!Loading_ && static_cast<int>(LangNames_.size()) >= value) Language_ = LangNames_[static_cast<std::size_t>(value - 1)];
    if (OnLanguageChanged) OnLanguageChanged(*this);
    if (failure) std::rethrow_exception(failure);
}

void TsiLangDispatcher::SetLanguageName(const std::string& value) {
    if (value == Language_) return;
    const int index = IndexOfText(LangNames_, value);
    if (!LangNames_.empty() && index < 0) throw ELanguageError(siconsts::LoadMessage(siconsts::TMessage::LanguageNotInNames));
    Language_ = value;
    if (Loading_ || LangNames_.empty()) return;
    SetActiveLanguage(index + 1);
}

void TsiLangDispatcher::SetNumOfLanguages(int value) {
    NumOfLanguages_ = value;
    while (static_cast<int>(LangNames_.size()) < value) LangNames_.push_back("Language N" + std::to_string(LangNames_.size() + 1));
    LangNames_.resize(static_cast<std::size_t>(std::max(value, 0)));
    for (TsiCustomLang* c : Linked_) c->SetNumOfLanguages(value);
}

void TsiLangDispatcher::SetLangNames(const TStringList& names) {
    if (&names == &LangNames_) return;
    LangNames_ = names;
    if (ActiveLanguage_ >= 1 && static_cast<int>(LangNames_.size()) >= ActiveLanguage_)
        Language_ = LangNames_[static_cast<std::size_t>(ActiveLanguage_ - 1)];
    for (TsiCustomLang* c : Linked_) {
        c->LangNames_ = LangNames_;
        c->SetLanguage(Language_);
    }
    SetNumOfLanguages(LangNames_.empty() ? 1 : static_cast<int>(LangNames_.size()));
}

void TsiLangDispatcher::SetDefaultLanguage(int value) {
    if (value < 1 || value > NumOfLanguages_ || value == DefaultLanguage_) return;
    DefaultLanguage_ = value;
    for (TsiCustomLang* c : Linked_) c->SetDefaultLanguage(value);
}

void TsiLangDispatcher::SetUseDefaultLanguage(bool value) {
    if (value == UseDefaultLanguage_) return;
    UseDefaultLanguage_ = value;
    for (TsiCustomLang* c : Linked_) c->SetUseDefaultLanguage(value);
}
