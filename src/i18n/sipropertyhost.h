#pragma once
// What the translation library asks of a form and its objects: the run-time
// type information of published properties, by name. The forms implement it
// over their widgets; tests use a fake.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TTypeKind : std::uint8_t {
    tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod, tkWChar,
    tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray
};
std::string_view TypeKindName(TTypeKind kind);
std::optional<TTypeKind> TypeKindByName(std::string_view name);
inline bool IsStringKind(TTypeKind k) {
    return k == TTypeKind::tkString || k == TTypeKind::tkLString || k == TTypeKind::tkWString;
}

// Class tests the library makes (TForm, TControl, ...).
enum class THostClass : std::uint8_t { Form, Control, ListControl, Memo, Strings, Collection, Font, Action };

struct TsiPropInfo {
    std::string Name;
    TTypeKind Kind = TTypeKind::tkUnknown;
    std::string TypeName;  // "TFont", "TStrings", "Integer", ...
    bool Readable = true;
    bool Writable = true;
};

class TPropertyHost {
public:
    virtual ~TPropertyHost() = default;

    virtual std::string ClassName() const = 0;
    virtual std::string Name() const { return {}; }
    virtual bool Is(THostClass) const { return false; }

    // Owned components (forms and frames): found by name without regard to case.
    virtual TPropertyHost* FindComponent(std::string_view /*name*/) const { return nullptr; }
    virtual bool Designing() const { return false; }
    // The owned components in a stable order, and the published properties.
    virtual std::vector<TPropertyHost*> Components() const { return {}; }
    virtual std::vector<TsiPropInfo> Properties() const { return {}; }

    // Published properties, found by name without regard to case.
    virtual std::optional<TsiPropInfo> FindProperty(std::string_view name) const = 0;
    virtual std::int64_t GetOrd(std::string_view name) const = 0;
    virtual void SetOrd(std::string_view name, std::int64_t value) = 0;
    virtual double GetFloat(std::string_view name) const = 0;
    virtual void SetFloat(std::string_view name, double value) = 0;
    // 8-bit strings (tkString, tkLString, tkChar).
    virtual std::string GetStr(std::string_view name) const = 0;
    virtual void SetStr(std::string_view name, const std::string& value) = 0;
    virtual std::u16string GetWide(std::string_view name) const = 0;
    virtual void SetWide(std::string_view name, const std::u16string& value) = 0;
    virtual TPropertyHost* GetObject(std::string_view name) const = 0;
    // Writing an object back (a font) lets the control take it over.
    virtual void SetObject(std::string_view name, TPropertyHost* value) = 0;
    // The element names of an enumeration or set property, by ordinal.
    virtual std::vector<std::string> EnumNames(std::string_view /*name*/) const { return {}; }

    // String lists.
    virtual int Count() const { return 0; }
    virtual std::string Get(int /*index*/) const { return {}; }
    virtual void Put(int /*index*/, const std::string& /*text*/) {}
    virtual void Append(const std::string& /*text*/) {}
    virtual void Delete(int /*index*/) {}
    virtual bool Sorted() const { return false; }
    virtual void SetSorted(bool /*sorted*/) {}

    // Collections.
    virtual int ItemCount() const { return 0; }
    virtual TPropertyHost* Item(int /*index*/) const { return nullptr; }

    // Fonts.
    virtual std::string FaceName() const { return {}; }
    virtual void SetFaceName(const std::string& /*name*/) {}
    virtual std::uint8_t Charset() const { return 1; }
    virtual void SetCharset(std::uint8_t /*charset*/) {}
};

// An object without published properties of its own: a font, a list, a
// collection, or a form that only names its class.
class TPlainObjectHost : public TPropertyHost {
public:
    std::optional<TsiPropInfo> FindProperty(std::string_view) const override { return std::nullopt; }
    std::int64_t GetOrd(std::string_view) const override { return 0; }
    void SetOrd(std::string_view, std::int64_t) override {}
    double GetFloat(std::string_view) const override { return 0; }
    void SetFloat(std::string_view, double) override {}
    std::string GetStr(std::string_view) const override { return {}; }
    void SetStr(std::string_view, const std::string&) override {}
    std::u16string GetWide(std::string_view) const override { return {}; }
    void SetWide(std::string_view, const std::u16string&) override {}
    TPropertyHost* GetObject(std::string_view) const override { return nullptr; }
    void SetObject(std::string_view, TPropertyHost*) override {}
};

// String-list helpers over a host.
std::vector<std::string> HostLines(const TPropertyHost& list);
std::string CommaText(const std::vector<std::string>& items);
std::vector<std::string> ParseCommaText(std::string_view text);
// Replaces the list's lines in place, keeping its sorting switch.
void ReplaceHostLines(TPropertyHost& list, const std::vector<std::string>& lines);
