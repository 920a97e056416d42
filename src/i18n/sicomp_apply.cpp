// The apply-language pass: every line's text of the active language goes
// into the property the line names.

#include <algorithm>
#include <filesystem>

#include "core/cvtext.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"

namespace {

bool OwnerPublishesString(const TPropertyHost& owner, std::string_view name) {
    const auto prop = owner.FindProperty(name);
    return prop && IsStringKind(prop->Kind);
}

bool PublishesFont(const TPropertyHost& host) {
    const auto prop = host.FindProperty("Font");
    return prop && prop->Kind == TTypeKind::tkClass && SameText(prop->TypeName, "TFont");
}

bool ParentFontOn(const TPropertyHost& target) {
    if (!target.Is(THostClass::Control)) return false;
    const auto prop = target.FindProperty("ParentFont");
    return prop && target.GetOrd("ParentFont") != 0;
}

// A relative path that already expands to the current value.
bool PointsAtCurrent(const std::string& text, const std::string& current) {
    if (text.find("..") == std::string::npos && text.find(".\\") == std::string::npos) return false;
    std::string path = text;
    std::replace(path.begin(), path.end(), '\\', '/');
    std::error_code ec;
    const auto full = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return !ec && full.string() == current;
}

}  // namespace

bool TsiCustomLang::IsOwnerTranslated() const { return IndexOfText(DoNotTranslate_, OwnerClassName()) < 0; }

std::string TsiCustomLang::GetLineTranslation(int section, int lineIndex, bool useFirstLanguage) const {
    const TStringList* lines = GetSectionStrings(section);
    if (section == stLocales || section == stDlgsCaptions)
        if ((Options & loUseExtCommonStrings)) {
            if (!Dispatcher_) return {};
            if (const TStringList* other = CommonSection(section, loUseExtCommonStrings)) lines = other;
        }
    if (!lines || lineIndex < 0 || static_cast<std::size_t>(lineIndex) >= lines->size()) return {};
    const std::string& line = (*lines)[static_cast<std::size_t>(lineIndex)];
    std::string text = ExtractField(line, LangDelim_, static_cast<unsigned>(std::max(ActiveLanguage_, 0)));
    if (text.empty() && useFirstLanguage) text = ExtractField(line, LangDelim_, 1);
    if (StoreAsUTF8_ && !text.empty()) text = Utf8ToAnsiByCharset(text, CurrentCharset_);
    return text;
}

void TsiCustomLang::AssignPropertyText(TPropertyHost* instance, const TsiPropInfo& prop, const std::string& text) const {
    if (!instance) return;
    if (prop.Kind == TTypeKind::tkWString)
        instance->SetWide(prop.Name, StoreAsUTF8_ ? Utf8ToWide(text) : AnsiToWideByCharset(text, CurrentCharset_));
    else
        instance->SetStr(prop.Name, StoreAsUTF8_ ? Utf8ToAnsiByCharset(text, DEFAULT_CHARSET) : text);
}

std::string TsiCustomLang::LineText(int section, std::size_t index, bool testMode) const {
    const std::string& line = Sections_[static_cast<std::size_t>(section)][index];
    std::string text = GetFieldWithDefault(line, ActiveLanguage_);
    if (text.empty() && testMode && ActiveLanguage_ > 1 && section != stFonts && section != stLocales && section != stCharSets)
        text = TestModeField(line);
    if (text.empty() && TranslateType == TTranslateType::ttGetDefault)
        text = GetLineTranslation(section, static_cast<int>(index), true);
    return text;
}

void TsiCustomLang::ApplyOwnerText(int section, std::string_view property, bool testMode) {
    const TStringList& lines = Sections_[static_cast<std::size_t>(section)];
    const std::string ownerClass = OwnerClassName();
    if (lines.empty() || !IsOwnerTranslated() || IndexOfText(SmartExcludeProps, ownerClass + "." + std::string(property)) >= 0 ||
        !OwnerPublishesString(*Owner_, property))
        return;
    if (CompareTextAscii(ExtractField(lines[0], LangDelim_, 0), ownerClass) != 0) return;
    try {
        std::string text = GetFieldWithDefault(lines[0], ActiveLanguage_);
        if (text.empty() && testMode && ActiveLanguage_ > 1) text = TestModeField(lines[0]);
        if (text.empty() && TranslateType == TTranslateType::ttGetDefault) text = GetLineTranslation(section, 0, true);
        if (!text.empty()) AssignPropertyText(Owner_, *Owner_->FindProperty(property), text);
    } catch (const std::exception&) {
        // the owner keeps its text
    }
}

void TsiCustomLang::ApplyOwnerFont() {
    const TStringList& fonts = Sections_[stFonts];
    const std::string ownerClass = OwnerClassName();
    if (fonts.empty() || !IsOwnerTranslated() || IndexOfText(SmartExcludeProps, ownerClass + ".Font") >= 0 ||
        !PublishesFont(*Owner_) || CompareTextAscii(ExtractField(fonts[0], LangDelim_, 0), ownerClass) != 0)
        return;
    TPropertyHost* font = Owner_->GetObject("Font");
    if (!font) return;
    std::string name = ExtractField(fonts[0], LangDelim_, static_cast<unsigned>(ActiveLanguage_));
    if (name.empty() && TranslateType == TTranslateType::ttGetDefault) name = GetLineTranslation(stFonts, 0, true);
    if (!name.empty()) font->SetFaceName(name);
    if (const auto charset = CharsetByName(FindField(stCharSets, ownerClass, ActiveLanguage_), false))
        font->SetCharset(*charset);
}

void TsiCustomLang::ApplyLanguage() {
    if (ScratchCopy || !Owner_) return;
    const bool testMode = TestModeOn();
    UpdateCurrentCharset();
    if (TranslateExtendedFirst && SectionInUpdate == -1) ApplyExtendedTranslations();
    ApplyOwnerText(stCaptions, "Caption", testMode);
    ApplyOwnerText(stHints, "Hint", testMode);
    const auto wanted = [&](int s) { return SectionInUpdate == -1 || SectionInUpdate == s; };
    if (wanted(stCaptions)) ApplySection(stCaptions);
    if (wanted(stHints)) ApplySection(stHints);
    if (wanted(stDisplayLabels)) ApplySection(stDisplayLabels);
    if ((wanted(stFonts) || SectionInUpdate == stCharSets) && !OwnerLacksFont()) ApplySection(stFonts);
    ApplyOwnerFont();
    if (wanted(stMultiLines)) ApplySection(stMultiLines);
    if (wanted(stOtherStrings)) ApplySection(stOtherStrings);
    if (wanted(stLocales) && ChangeLocales_) ApplySection(stLocales);
    if (wanted(stCollections)) ApplySection(stCollections);
    if (!TranslateExtendedFirst && SectionInUpdate == -1) ApplyExtendedTranslations();
    if (OnChangeLanguage) OnChangeLanguage(*this);
}

bool TsiCustomLang::OwnerLacksFont() const { return Owner_ && !PublishesFont(*Owner_); }

void TsiCustomLang::ApplySection(int ordinal) {
    if (!GetSectionStrings(ordinal)) return;
    CompactSection(ordinal);
    if (ordinal == stCollections) {
        ApplyCollections();
        return;
    }
    const TStringList& lines = Sections_[static_cast<std::size_t>(ordinal)];
    std::size_t start = 0;
    if ((ordinal == stCaptions || ordinal == stHints || ordinal == stFonts) && Owner_->Is(THostClass::Form) &&
        IsOwnerTranslated() && !lines.empty() && lines[0].find(OwnerClassName() + LangDelim_) != std::string::npos)
        start = 1;
    const bool testMode = TestModeOn();
    for (std::size_t i = start; i < lines.size(); ++i) ApplyLine(ordinal, i, testMode);
}

void TsiCustomLang::ApplyLine(int ordinal, std::size_t index, bool testMode) {
    const std::string& line = Sections_[static_cast<std::size_t>(ordinal)][index];
    const std::string id = ExtractField(line, LangDelim_, 0);
    std::string name = id, property, sub;
    if (ordinal == stMultiLines || ordinal == stOtherStrings) {
        const std::size_t dot = id.find('.');
        name = id.substr(0, dot);
        property = dot == std::string::npos ? std::string() : id.substr(dot + 1);
        if (const std::size_t dot2 = property.find('.'); dot2 != std::string::npos) {
            sub = property.substr(dot2 + 1);
            property.resize(dot2);
        }
    } else {
        property = std::string(siconsts::SectionProperties[static_cast<std::size_t>(ordinal)]);
    }
    if (IndexOfText(DoNotTranslate_, name) >= 0) return;
    const std::string text = LineText(ordinal, index, testMode);

    if (ordinal == stLocales) {
        for (int i = 0; i < siconsts::LocaleLineCount; ++i)
            if (id == siconsts::LocaleLineNames[static_cast<std::size_t>(i)]) ApplyLocaleLine(i, text);
        return;
    }
    TPropertyHost* target = Owner_->FindComponent(name);
    if (!target && (name == OwnerClassName() || name == Owner_->Name())) target = Owner_;
    if (!target) return;
    const auto prop = target->FindProperty(property);
    if (!prop || !prop->Readable || !prop->Writable) return;

    if (ordinal == stFonts) {
        TPropertyHost* font = target->GetObject(prop->Name);
        if (!font || !font->Is(THostClass::Font)) return;
        const bool parentFont = ParentFontOn(*target);
        if (const auto charset = CharsetByName(FindField(stCharSets, name, ActiveLanguage_), true); charset && !parentFont)
            font->SetCharset(*charset);
        if (!text.empty() && !parentFont) {
            font->SetFaceName(text);
            target->SetObject(prop->Name, font);
        }
        return;
    }
    if (ordinal == stMultiLines) {
        if (text.empty()) return;
        TPropertyHost* list = target->GetObject(prop->Name);
        if (!sub.empty()) list = list && list->FindProperty(sub) ? list->GetObject(sub) : nullptr;
        if (!list || !list->Is(THostClass::Strings) || text == CommaText(HostLines(*list))) return;
        const bool keepIndex = sub.empty() && target->Is(THostClass::ListControl);
        const bool unwrap = sub.empty() && target->Is(THostClass::Memo) && target->FindProperty("WordWrap") && target->GetOrd("WordWrap");
        const std::int64_t itemIndex = keepIndex ? target->GetOrd("ItemIndex") : 0;
        if (unwrap) target->SetOrd("WordWrap", 0);
        ReplaceHostLines(*list, ParseCommaText(text));
        if (keepIndex) target->SetOrd("ItemIndex", itemIndex);
        if (unwrap) target->SetOrd("WordWrap", 1);
        return;
    }
    try {
        if (ordinal == stOtherStrings && !sub.empty()) {
            TPropertyHost* obj = target->GetObject(prop->Name);
            const auto subProp = obj ? obj->FindProperty(sub) : std::nullopt;
            if (subProp && !text.empty() && text != GetStringPropText(obj, sub)) AssignPropertyText(obj, *subProp, text);
            return;
        }
        if (text.empty() || !IsStringKind(prop->Kind)) return;
        const std::string current = GetStringPropText(target, prop->Name);
        if (text == current) return;
        if ((ordinal == stDisplayLabels || ordinal == stOtherStrings) && PointsAtCurrent(text, current)) return;
        AssignPropertyText(target, *prop, text);
    } catch (const std::exception&) {
        // one line that cannot be written is passed over
    }
}

void TsiCustomLang::ApplyCollections() {
    TStringList& lines = Sections_[stCollections];
    const bool testMode = TestModeOn();
    for (std::size_t i = 0; i < lines.size();) {
        const std::string id = ExtractField(lines[i], LangDelim_, 0);
        const std::size_t dot = id.find('.'), open = id.find('['), close = id.find(']');
        const std::string name = id.substr(0, dot);
        if (IndexOfText(DoNotTranslate_, name) >= 0 || dot == std::string::npos || open == std::string::npos ||
            close == std::string::npos || open < dot || close < open) {
            ++i;
            continue;
        }
        std::string collection = id.substr(dot + 1, open - dot - 1), sub;
        if (const std::size_t d = collection.find('.'); d != std::string::npos) {
            sub = collection.substr(d + 1);
            collection.resize(d);
        }
        const int index = BracketIndex(id).value_or(-1);
        const std::string itemPath = close + 2 <= id.size() ? id.substr(close + 2) : std::string();
        const std::string text = LineText(stCollections, i, testMode);
        const auto erase = [&] { lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i)); };

        TPropertyHost* target = Owner_->FindComponent(name);
        const auto p = target ? target->FindProperty(collection) : std::nullopt;
        if (!p) {
            erase();
            continue;
        }
        TPropertyHost* holder = target->GetObject(p->Name);
        if (!sub.empty()) {
            // A sub-property that holds no collection is passed over.
            holder = holder && holder->FindProperty(sub) ? holder->GetObject(sub) : nullptr;
        }
        TPropertyHost* item = holder && holder->Is(THostClass::Collection) && index >= 0 && index < holder->ItemCount()
                                  ? holder->Item(index)
                                  : nullptr;
        if (!item) {
            ++i;
            continue;
        }
        std::string itemProperty = itemPath;
        if (sub.empty() && itemPath.find('.') != std::string::npos) {
            const std::string first = itemPath.substr(0, itemPath.find('.'));
            const std::string second = itemPath.substr(itemPath.find('.') + 1);
            const auto q = item->FindProperty(first);
            TPropertyHost* obj = q && q->Readable && q->Writable ? item->GetObject(first) : nullptr;
            const auto r = obj ? obj->FindProperty(second) : std::nullopt;
            if (!r || !r->Readable || !r->Writable) {
                erase();
                continue;
            }
            std::string current;
            try {
                current = GetStringPropText(obj, second);
            } catch (const std::exception&) {
            }
            if (!text.empty() && text != current) AssignPropertyText(obj, *r, text);
            ++i;
            continue;
        }
        const auto q = item->FindProperty(itemProperty);
        if (!q) {
            erase();
            continue;
        }
        if (q->Kind == TTypeKind::tkClass) {
            TPropertyHost* obj = item->GetObject(q->Name);
            if (!obj) {
                erase();
                continue;
            }
            if (obj->Is(THostClass::Strings) && !text.empty() && text != JoinTexts(HostLines(*obj), "\r\n", false))
                ReplaceHostLines(*obj, SplitTextLines(text));
            ++i;
            continue;
        }
        std::string current;
        try {
            current = GetStringPropText(item, q->Name);
        } catch (const std::exception&) {
        }
        if (!q->Readable || !q->Writable) {
            erase();
            continue;
        }
        if (!text.empty() && text != current) AssignPropertyText(item, *q, text);
        ++i;
    }
}
