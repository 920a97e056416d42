// The translation component: construction, end of loading, the language
// switch of one form and the write accessors.

#include <set>

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"

namespace {
// The owners that have a translation component: one per form.
std::set<const TPropertyHost*>& Owners() {
    static std::set<const TPropertyHost*> owners;
    return owners;
}

TPropertyHost* ClaimOwner(TPropertyHost* owner) {
    if (owner && !Owners().insert(owner).second)
        throw ELanguageError(siconsts::LoadMessage(siconsts::TMessage::OnlyOneComponent));
    return owner;
}
}  // namespace

TsiCustomLang::TsiCustomLang(TPropertyHost* owner) : Owner_(ClaimOwner(owner)) {
    FillDefaultDialogCaptions();
    CapturedLocale_ = CaptureLocale();
    ExcludedProperties_.assign(siconsts::DefaultExcludedProperties.begin(), siconsts::DefaultExcludedProperties.end());
}

TsiCustomLang::~TsiCustomLang() {
    ForgetResourceStringComponent(*this);
    for (TsiCustomLang* other : std::vector<TsiCustomLang*>(FreeNotified_)) other->NotificationOfLang(*this);
    if (Dispatcher_) {
        for (TsiCustomLang* other : Dispatcher_->Linked()) other->NotificationOfLang(*this);
        Dispatcher_->UnlinkComponent(*this);
    }
    if (Owner_) Owners().erase(Owner_);
}

void TsiCustomLang::Loaded() {
    Loading_ = false;
    if (ScratchCopy || !Owner_) return;
    UpdateDialogCaptions();
    if (Options & loUseExtCommonStrings) {
        Sections_[stDlgsCaptions].clear();
        Sections_[stLocales].clear();
    }
    if (LangDelim_ == TabDelimiter) {
        SetLangDelim('\x01');
        ReplaceDelimiter(TabDelimiter, '\x01');
    }
    if (HasTabDelimitedLines()) {
        ReplaceDelimiter(LangDelim_, TabDelimiter);
        ReplaceDelimiter(TabDelimiter, LangDelim_);
    }
    if (Sections_[stLocales].size() == 11)
        for (int i = 11; i < siconsts::LocaleLineCount; ++i)
            Sections_[stLocales].push_back(std::string(siconsts::LocaleLineNames[static_cast<std::size_t>(i)]) + LangDelim_ +
                                           CapturedLocale_[static_cast<std::size_t>(i)] + LangDelim_);
    PurgeExcludedLines();
    if (Designing()) PadStringSections();
    else StringsTable_.Fill(Sections_[stStrings], NumOfLanguages_, LangDelim_, 0);
    if (Dispatcher_) Dispatcher_->LinkComponent(*this);
    if (IsInheritedOwner) ApplyLanguage();
    else UpdateCurrentCharset();
    if (!Designing() && HandleResourceStrings) InstallResourceStringHook(*this);
}

void TsiCustomLang::SetActiveLanguage(int value) {
    if (value == ActiveLanguage_) return;
    if (value < 1 || value > NumOfLanguages_) {
        if (Loading_) return;
        if (Owner_)
            throw ELanguageError(cvformat::Format(siconsts::LoadMessage(siconsts::TMessage::NotValidValueWithOwner),
                                                  {OwnerClassName(), value, NumOfLanguages_}));
        throw ELanguageError(
            cvformat::Format(siconsts::LoadMessage(siconsts::TMessage::NotValidValue), {value, NumOfLanguages_}));
    }
    SectionInUpdate = -1;
    if (!Loading_) {
        bool allow = true;
        if (!DispatcherPropagating && OnLanguageChanging) OnLanguageChanging(*this, value, allow);
        if (!allow) return;
    }
    ActiveLanguage_ = value;
    if (Loading_) return;
    if (static_cast<int>(LangNames_.size()) >= value) Language_ = LangNames_[static_cast<std::size_t>(value - 1)];
    ApplyLanguage();
}

void TsiCustomLang::SetLanguage(const std::string& value) {
    if (value == Language_) return;
    int index = IndexOfText(LangNames_, value);
    if (index < 0) {
        if (!Loading_) throw ELanguageError(siconsts::LoadMessage(siconsts::TMessage::LanguageNotInNames));
        LangNames_.push_back(value);
        index = static_cast<int>(LangNames_.size()) - 1;
    }
    Language_ = value;
    if (Loading_ || ScratchCopy) return;
    SetActiveLanguage(index + 1);
}

void TsiCustomLang::SetLangDispatcher(TsiLangDispatcher* dispatcher) {
    if (Dispatcher_ && Dispatcher_ != dispatcher) Dispatcher_->UnlinkComponent(*this);
    Dispatcher_ = dispatcher;
    if (!dispatcher) return;
    if (Loading_) {
        NumOfLanguages_ = dispatcher->NumOfLanguages();
        DefaultLanguage_ = dispatcher->DefaultLanguage();
        UseDefaultLanguage_ = dispatcher->UseDefaultLanguage();
    } else if (Owner_ && !ScratchCopy) {
        dispatcher->LinkComponent(*this);
    }
}

void TsiCustomLang::SetSection(int ordinal, const TStringList& lines) {
    TStringList* section = GetSectionStrings(ordinal);
    if (!section || section == &lines) return;
    *section = lines;
    if (ordinal == stDlgsCaptions) return;
    SectionInUpdate = ordinal;
    ApplyLanguage();
}

void TsiCustomLang::SetLangNames(const TStringList& names) {
    LangNames_ = names;
    if (ActiveLanguage_ >= 1 && static_cast<int>(LangNames_.size()) >= ActiveLanguage_)
        Language_ = LangNames_[static_cast<std::size_t>(ActiveLanguage_ - 1)];
    NumOfLanguages_ = static_cast<int>(LangNames_.size());
}

void TsiCustomLang::SetDoNotTranslate(const TStringList& lines) {
    DoNotTranslate_ = lines;
    if (Loading_ || !Owner_) return;
    for (const auto& name : lines) {
        const TPropertyHost* component = name == OwnerClassName() ? Owner_ : Owner_->FindComponent(name);
        for (int s = 0; s < siconsts::SectionCount; ++s) RemoveComponentLines(s, component, true);
    }
}

void TsiCustomLang::SetExcludedProperties(const TStringList& lines) {
    ExcludedProperties_ = lines;
    if (!Loading_) PurgeExcludedLines();
}

void TsiCustomLang::SetNeedAllDlgs(bool value) {
    if (value == NeedAllDlgs_) return;
    NeedAllDlgs_ = value;
    if (!Loading_) UpdateDialogCaptions();
}

void TsiCustomLang::Notification(const TPropertyHost& component) {
    std::erase_if(DoNotTranslate_, [&](const std::string& n) { return SameText(n, component.Name()); });
    for (int s : {int(stCaptions), int(stHints), int(stDisplayLabels), int(stFonts), int(stMultiLines), int(stOtherStrings),
                  int(stCharSets), int(stCollections)})
        RemoveComponentLines(s, &component, true);
    const std::string prefix = component.Name() + ".";
    std::erase_if(Extended_.All(), [&](const TsiExtendedItem& item) { return item.Identifier.starts_with(prefix); });
}

void TsiCustomLang::NotificationOfLang(const TsiCustomLang& component) {
    if (CharsetSource_ == &component) CharsetSource_ = nullptr;
}
