// Collecting the translatable properties of a form and its components into
// the table, keeping the texts other languages already have.

#include "core/cvtext.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"

namespace {

bool Excluded(const TStringList& list, std::string_view name) { return IndexOfText(list, name) >= 0; }

bool IsCollectedString(const TsiPropInfo& p) {
    return IsStringKind(p.Kind) && p.Readable && p.Writable && !SameText(p.Name, "Name") && !SameText(p.Name, "Caption") &&
           !SameText(p.Name, "Hint") && !SameText(p.Name, "DisplayLabel");
}

}  // namespace

bool TsiCustomLang::IsSameAsActionText(const TPropertyHost& component, int which) const {
    const char* property = which == 0 ? "Caption" : which == 1 ? "Hint" : nullptr;
    const auto action = property ? component.FindProperty("Action") : std::nullopt;
    const TPropertyHost* target = action ? component.GetObject("Action") : nullptr;
    return target && GetStringPropText(&component, property) == GetStringPropText(target, property);
}

void TsiCustomLang::CollectValue(int section, const std::string& identifier, const std::string& value, bool excluded) {
    TStringList& lines = Sections_[static_cast<std::size_t>(section)];
    const int index = FindLineByIdentifier(lines, identifier + LangDelim_, LangDelim_);
    if (excluded) {
        if (index >= 0) lines.erase(lines.begin() + index);
        return;
    }
    if (AutoSkipEmpties && value.empty()) return;
    if (index >= 0) {
        if (Designing() && ExtractField(lines[static_cast<std::size_t>(index)], LangDelim_, static_cast<unsigned>(ActiveLanguage_)) != value &&
            (!value.empty() || ActiveLanguage_ == 1)) {
            SetTranslation(section, value, ActiveLanguage_, identifier);
            if (OnTableChanged) OnTableChanged(*this);
        }
        return;
    }
    // A renamed component takes its former texts back.
    for (std::size_t i = 0; i < RemovedLines_.size(); ++i)
        if (ExtractField(RemovedLines_[i], LangDelim_, 1) == value) {
            const std::string line = RemovedLines_[i];
            lines.push_back(identifier + line.substr(line.find(LangDelim_)));
            RemovedLines_.erase(RemovedLines_.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    lines.push_back(identifier + LangDelim_ + BuildSingleLanguageLine(value, 1));
}

void TsiCustomLang::CollectComponent(const TPropertyHost& c) {
    const std::string name = c.Name();
    const auto excluded = [&](const std::string& property) {
        return Excluded(ExcludedProperties_, property) || Excluded(SmartExcludeProps, name + "." + property);
    };
    for (const TsiPropInfo& p : c.Properties()) {
        if (SameText(p.Name, "Caption") || SameText(p.Name, "Hint")) {
            const int section = SameText(p.Name, "Caption") ? stCaptions : stHints;
            const std::string text = GetStringPropText(&c, p.Name);
            if (section == stCaptions && text == "-") continue;
            if (!IsSameAsActionText(c, section)) CollectValue(section, name, text, excluded(p.Name));
        } else if (p.TypeName == "TFont") {
            const TPropertyHost* font = c.GetObject(p.Name);
            const auto parent = c.FindProperty("ParentFont");
            if (font && !(parent && c.GetOrd("ParentFont"))) {
                CollectValue(stFonts, name, font->FaceName(), excluded("Font"));
                CollectValue(stCharSets, name, CharsetName(font->Charset()), excluded("Charset"));
            }
        } else if (p.Kind == TTypeKind::tkClass) {
            const TPropertyHost* held = c.GetObject(p.Name);
            if (!held) continue;
            if (held->Is(THostClass::Strings)) {
                CollectValue(stMultiLines, name + "." + p.Name, CommaText(HostLines(*held)), excluded(p.Name));
                continue;
            }
            // A collection, or an object holding one ("Header.Columns").
            const TPropertyHost* collection = held;
            std::string path = p.Name;
            if (!held->Is(THostClass::Collection))
                for (const TsiPropInfo& q : held->Properties())
                    if (const TPropertyHost* inner = held->GetObject(q.Name); inner && inner->Is(THostClass::Collection)) {
                        collection = inner;
                        path += "." + q.Name;
                    }
            if (!collection->Is(THostClass::Collection)) continue;
            // The table's texts are 8-bit: wide column texts are extended items.
            for (int i = 0; i < collection->ItemCount(); ++i)
                for (const TsiPropInfo& q : collection->Item(i)->Properties())
                    if (IsStringKind(q.Kind) && q.Kind != TTypeKind::tkWString)
                        CollectValue(stCollections, name + "." + path + "[" + std::to_string(i) + "]." + q.Name,
                                     GetStringPropText(collection->Item(i), q.Name), excluded(path));
        } else if (IsCollectedString(p)) {
            CollectValue(stOtherStrings, name + "." + p.Name, GetStringPropText(&c, p.Name), excluded(p.Name));
        }
    }
}

void TsiCustomLang::CollectTranslatableProperties() {
    if (!Owner_ || FileLoadInProgress) return;
    const bool raise = DoRaiseExceptions;
    DoRaiseExceptions = false;
    const std::string ownerClass = OwnerClassName();
    const bool ownerSkipped = !IsOwnerTranslated();
    const auto ownerLine = [&](int section, const std::string& property, const std::string& value, bool present) {
        TStringList& lines = Sections_[static_cast<std::size_t>(section)];
        const bool excluded = ownerSkipped || Excluded(SmartExcludeProps, ownerClass + "." + property) ||
                              Excluded(ExcludedProperties_, property);
        if (!lines.empty() && CompareTextAscii(ExtractField(lines[0], LangDelim_, 0), Owner_->Name()) == 0)
            lines[0] = ownerClass + lines[0].substr(lines[0].find(LangDelim_));
        const bool has = !lines.empty() && CompareTextAscii(ExtractField(lines[0], LangDelim_, 0), ownerClass) == 0;
        if (excluded || !present) {
            if (has && excluded) lines.erase(lines.begin());
            return;
        }
        if (!has) {
            if (AutoSkipEmpties && value.empty()) return;
            lines.insert(lines.begin(), ownerClass + LangDelim_ + BuildSingleLanguageLine(value, 1));
        } else if (ExtractField(lines[0], LangDelim_, static_cast<unsigned>(ActiveLanguage_)) != value) {
            SetTranslation(section, value, ActiveLanguage_, ownerClass);
            if (OnTableChanged) OnTableChanged(*this);
        }
    };
    for (const auto& [section, property] : {std::pair{stCaptions, "Caption"}, std::pair{stHints, "Hint"}}) {
        const bool present = Owner_->FindProperty(property).has_value();
        const std::string value = present ? GetStringPropText(Owner_, property) : std::string();
        ownerLine(section, property, value, present && !(AutoSkipEmpties && value.empty()) && !IsSameAsActionText(*Owner_, section));
    }
    if (const TPropertyHost* font = OwnerLacksFont() ? nullptr : Owner_->GetObject("Font")) {
        ownerLine(stFonts, "Font", font->FaceName(), true);
        ownerLine(stCharSets, "Charset", CharsetName(font->Charset()), true);
    }
    RemovedLines_.clear();
    for (int s : {stCaptions, stHints, stFonts, stMultiLines, stOtherStrings, stCollections})
        if (s != stFonts || !OwnerLacksFont()) CompactSection(s);
    for (const TPropertyHost* c : Owner_->Components()) {
        if (!c || Excluded(DoNotTranslate_, c->Name()) || Excluded(DoNotTranslate_, "!" + c->ClassName())) continue;
        CollectComponent(*c);
    }
    for (const TsiPropInfo& p : Owner_->Properties())
        if (IsCollectedString(p) && !ownerSkipped)
            CollectValue(stOtherStrings, ownerClass + "." + p.Name, GetStringPropText(Owner_, p.Name),
                         Excluded(ExcludedProperties_, p.Name) || Excluded(SmartExcludeProps, ownerClass + "." + p.Name));
    CaptureExtendedValues();
    DoRaiseExceptions = raise;
}
