// Extended translations: per-language values of any published property,
// reached by a dotted path.

#include <charconv>
#include <cmath>

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "i18n/memini.h"
#include "i18n/sicomp.h"

namespace {

std::int64_t ParseInt(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        throw std::invalid_argument("'" + std::string(text) + "' is not a valid integer value");
    return value;
}

double ParseFloat(std::string text) {
    const char decimal = cvformat::UserFormat().decimalSeparator;
    if (decimal != '.' && text.find('.') != std::string::npos) throw std::invalid_argument("not a valid floating point value");
    std::replace(text.begin(), text.end(), decimal, '.');
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        throw std::invalid_argument("'" + text + "' is not a valid floating point value");
    return value;
}

std::string LastSegment(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    return std::string(dot == std::string_view::npos ? path : path.substr(dot + 1));
}

}  // namespace

std::string ExtractValue(std::string_view values, char delimiter, int language) {
    if (language < 1) return {};
    // A placeholder identifier makes the first value field 1.
    return ExtractField("_" + std::string(1, delimiter) + std::string(values), delimiter, static_cast<unsigned>(language));
}

bool TsiExtendedItem::IsRoot(const TPropertyHost* owner) const {
    return owner && Identifier.starts_with(owner->ClassName() + ".");
}

TsiExtendedItem& TsiExtendedItems::Add() { return Items_.emplace_back(); }

TsiExtendedItem* TsiExtendedItems::ExtendedItemsByIdentifier(std::string_view identifier) {
    for (auto& item : Items_)
        if (CompareTextAscii(item.Identifier, identifier) == 0) return &item;
    return nullptr;
}

TPropertyHost* TsiCustomLang::ResolvePathObject(std::string_view path) const {
    if (!Owner_) return nullptr;
    TPropertyHost* obj = path.starts_with(OwnerClassName() + ".") ? Owner_ : Owner_->FindComponent(path.substr(0, path.find('.')));
    if (!obj || path.find('.') == std::string_view::npos) return nullptr;
    std::string_view rest = path.substr(path.find('.') + 1);
    while (rest.find('.') != std::string_view::npos) {
        if (!obj) return nullptr;  // an unresolved step skips the item
        std::string name(rest.substr(0, rest.find('[')));
        auto prop = obj->FindProperty(name);
        if (!prop) {
            name = std::string(rest.substr(0, rest.find('.')));
            prop = obj->FindProperty(name);
        }
        if (!prop) return nullptr;
        TPropertyHost* held = obj->GetObject(prop->Name);
        if (held && held->Is(THostClass::Collection)) {
            const auto index = BracketIndex(rest.substr(0, rest.find('.')));
            held = index && *index >= 0 && *index < held->ItemCount() ? held->Item(*index) : nullptr;
        }
        obj = held;
        rest = rest.substr(rest.find('.') + 1);
    }
    return obj;
}

void TsiCustomLang::SetPathPropertyText(std::string_view path, const std::string& text) const {
    try {
        TPropertyHost* obj = ResolvePathObject(path);
        if (!obj) return;
        const auto prop = obj->FindProperty(LastSegment(path));
        if (!prop) return;
        switch (prop->Kind) {
            case TTypeKind::tkInteger:
            case TTypeKind::tkInt64: obj->SetOrd(prop->Name, ParseInt(text)); break;
            case TTypeKind::tkChar:
            case TTypeKind::tkString:
            case TTypeKind::tkWChar:
            case TTypeKind::tkLString:
            case TTypeKind::tkWString: AssignPropertyText(obj, *prop, text); break;
            case TTypeKind::tkEnumeration: {
                // An unknown name leaves the property as it is.
                const int index = IndexOfText(obj->EnumNames(prop->Name), text);
                if (index >= 0) obj->SetOrd(prop->Name, index);
                break;
            }
            case TTypeKind::tkFloat: obj->SetFloat(prop->Name, ParseFloat(text)); break;
            case TTypeKind::tkSet: {
                const TStringList names = obj->EnumNames(prop->Name);
                std::int64_t bits = 0;
                for (const auto& element : SplitText(TrimDelimiters(text, "[]"), ",")) {
                    const int index = IndexOfText(names, Trim(element));
                    if (index < 0) throw std::invalid_argument("invalid set element");
                    bits |= std::int64_t{1} << index;
                }
                obj->SetOrd(prop->Name, bits);
                break;
            }
            case TTypeKind::tkClass:
                if (TPropertyHost* list = obj->GetObject(prop->Name); list && list->Is(THostClass::Strings))
                    ReplaceHostLines(*list, ParseCommaText(text));
                break;
            default: break;
        }
    } catch (const std::invalid_argument&) {
        // a value that does not parse leaves the property
    }
}

std::string TsiCustomLang::GetPathPropertyText(std::string_view path) const {
    TPropertyHost* obj = ResolvePathObject(path);
    if (!obj) return {};
    const auto prop = obj->FindProperty(LastSegment(path));
    if (!prop) return {};
    switch (prop->Kind) {
        case TTypeKind::tkInteger:
        case TTypeKind::tkInt64: return std::to_string(obj->GetOrd(prop->Name));
        case TTypeKind::tkChar:
        case TTypeKind::tkString:
        case TTypeKind::tkWChar:
        case TTypeKind::tkLString:
        case TTypeKind::tkWString: return GetStringPropText(obj, prop->Name);
        case TTypeKind::tkEnumeration: {
            const TStringList names = obj->EnumNames(prop->Name);
            const auto v = obj->GetOrd(prop->Name);
            return v >= 0 && static_cast<std::size_t>(v) < names.size() ? names[static_cast<std::size_t>(v)] : std::string();
        }
        case TTypeKind::tkFloat: return cvformat::Format("%g", {obj->GetFloat(prop->Name)});
        case TTypeKind::tkSet: {
            const TStringList names = obj->EnumNames(prop->Name);
            const auto bits = obj->GetOrd(prop->Name);
            TStringList elements;
            for (std::size_t i = 0; i < names.size() && i < 64; ++i)
                if (bits >> i & 1) elements.push_back(names[i]);
            return JoinTexts(elements, ",", false);
        }
        case TTypeKind::tkClass: {
            const TPropertyHost* list = obj->GetObject(prop->Name);
            return list && list->Is(THostClass::Strings) ? CommaText(HostLines(*list)) : std::string();
        }
        default: return {};
    }
}

TTypeKind TsiCustomLang::GetPathPropertyKind(std::string_view path) const {
    TPropertyHost* obj = ResolvePathObject(path);
    const auto prop = obj ? obj->FindProperty(LastSegment(path)) : std::nullopt;
    if (!prop) return TTypeKind::tkUnknown;
    if (prop->Kind != TTypeKind::tkClass) return prop->Kind;
    const TPropertyHost* held = obj->GetObject(prop->Name);
    return held && held->Is(THostClass::Strings) ? TTypeKind::tkClass : TTypeKind::tkUnknown;
}

void TsiCustomLang::ApplyExtendedTranslations() {
    for (const auto& item : Extended_.All()) {
        std::string text = ExtractValue(item.Values, LangDelim_, ActiveLanguage_);
        if (UseDefaultLanguage_ && text.empty() && ActiveLanguage_ != DefaultLanguage_)
            text = ExtractValue(item.Values, LangDelim_, DefaultLanguage_);
        const std::string first = ExtractValue(item.Values, LangDelim_, 1);
        if (text.empty() && TestModeOn() && ActiveLanguage_ > 1 && !first.empty())
            text = TestModeText(Dispatcher_->TestModeInfo, first, CurrentCharset_);
        if (text.empty() && TranslateType == TTranslateType::ttGetDefault) text = first;
        if (!text.empty()) SetPathPropertyText(item.Identifier, text);
    }
}

void TsiCustomLang::CaptureExtendedValues() {
    auto& items = Extended_.All();
    for (std::size_t i = items.size(); i-- > 0;) {
        TsiExtendedItem& item = items[i];
        if (!ResolvePathObject(item.Identifier)) {
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        const std::string current = ExtractValue(item.Values, LangDelim_, ActiveLanguage_);
        const std::string now = GetPathPropertyText(item.Identifier);
        if (current == now) continue;
        std::string values;
        for (int k = 1; k <= NumOfLanguages_; ++k)
            values += (k == ActiveLanguage_ ? now : ExtractValue(item.Values, LangDelim_, k)) + LangDelim_;
        item.Values = values;
    }
}
