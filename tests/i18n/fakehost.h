#pragma once
// A form and its objects seen through published properties, as the
// translation library sees them: components, fonts, string lists and
// collections built in a few lines per test.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/cvtext.h"
#include "i18n/sipropertyhost.h"

namespace i18ntest {

class TFakeObject : public TPropertyHost {
public:
    TFakeObject(std::string className, std::string name = {}, std::set<THostClass> classes = {})
        : Class(std::move(className)), ObjName(std::move(name)), Classes(std::move(classes)) {}

    struct TProp {
        TsiPropInfo Info;
        std::int64_t Ord = 0;
        double Float = 0;
        std::string Str;
        std::u16string Wide;
        TFakeObject* Obj = nullptr;
        std::vector<std::string> Names;
    };

    std::string ClassName() const override { return Class; }
    std::string Name() const override { return ObjName; }
    bool Is(THostClass c) const override { return Classes.count(c) > 0; }
    bool Designing() const override { return IsDesigning; }
    TPropertyHost* FindComponent(std::string_view name) const override {
        for (TFakeObject* c : Components)
            if (SameText(c->ObjName, name)) return c;
        return nullptr;
    }
    std::optional<TsiPropInfo> FindProperty(std::string_view name) const override {
        const TProp* p = find(name);
        return p ? std::optional<TsiPropInfo>(p->Info) : std::nullopt;
    }
    std::int64_t GetOrd(std::string_view name) const override { return at(name).Ord; }
    void SetOrd(std::string_view name, std::int64_t value) override { at(name).Ord = value; }
    double GetFloat(std::string_view name) const override { return at(name).Float; }
    void SetFloat(std::string_view name, double value) override { at(name).Float = value; }
    std::string GetStr(std::string_view name) const override { return at(name).Str; }
    void SetStr(std::string_view name, const std::string& value) override { at(name).Str = value; }
    std::u16string GetWide(std::string_view name) const override { return at(name).Wide; }
    void SetWide(std::string_view name, const std::u16string& value) override { at(name).Wide = value; }
    TPropertyHost* GetObject(std::string_view name) const override { return at(name).Obj; }
    void SetObject(std::string_view name, TPropertyHost*) override { ++at(name).Ord; }  // counts write-backs
    std::vector<std::string> EnumNames(std::string_view name) const override { return at(name).Names; }

    int Count() const override { return static_cast<int>(Lines.size()); }
    std::string Get(int i) const override { return Lines.at(static_cast<std::size_t>(i)); }
    void Put(int i, const std::string& text) override {
        Lines.at(static_cast<std::size_t>(i)) = text;
        ++Puts;
    }
    void Append(const std::string& text) override { Lines.push_back(text); }
    void Delete(int i) override { Lines.erase(Lines.begin() + i); }
    bool Sorted() const override { return IsSorted; }
    void SetSorted(bool sorted) override { IsSorted = sorted; }

    int ItemCount() const override { return static_cast<int>(Items.size()); }
    TPropertyHost* Item(int i) const override { return Items.at(static_cast<std::size_t>(i)); }

    std::string FaceName() const override { return Face; }
    void SetFaceName(const std::string& name) override { Face = name; }
    std::uint8_t Charset() const override { return Cs; }
    void SetCharset(std::uint8_t charset) override { Cs = charset; }

    // ---- building ----
    TProp& Add(std::string name, TTypeKind kind, std::string typeName = {}) {
        TProp& p = Props.emplace_back();
        p.Info = TsiPropInfo{std::move(name), kind, std::move(typeName), true, true};
        return p;
    }
    TFakeObject& Str(std::string name, std::string value, TTypeKind kind = TTypeKind::tkLString) {
        Add(std::move(name), kind).Str = std::move(value);
        return *this;
    }
    TFakeObject& Int(std::string name, std::int64_t value) {
        Add(std::move(name), TTypeKind::tkInteger).Ord = value;
        return *this;
    }
    // A new object owned here and held by a class property.
    TFakeObject& Object(std::string name, std::string className, std::set<THostClass> classes = {}) {
        Owned.push_back(std::make_unique<TFakeObject>(className, "", std::move(classes)));
        Add(std::move(name), TTypeKind::tkClass, className).Obj = Owned.back().get();
        return *Owned.back();
    }
    // A component of this form.
    TFakeObject& Component(std::string name, std::string className, std::set<THostClass> classes = {THostClass::Control}) {
        Owned.push_back(std::make_unique<TFakeObject>(std::move(className), std::move(name), std::move(classes)));
        Components.push_back(Owned.back().get());
        return *Owned.back();
    }
    TFakeObject& Font() { return Object("Font", "TFont", {THostClass::Font}); }
    TFakeObject& NewItem(std::string className) {
        Owned.push_back(std::make_unique<TFakeObject>(std::move(className)));
        Items.push_back(Owned.back().get());
        return *Owned.back();
    }
    void Remove(const std::string& name) {
        std::erase_if(Components, [&](TFakeObject* c) { return c->ObjName == name; });
    }
    TProp& Prop(std::string_view name) { return at(name); }

    std::string Class, ObjName;
    std::set<THostClass> Classes;
    std::vector<TProp> Props;
    std::vector<std::unique_ptr<TFakeObject>> Owned;
    std::vector<TFakeObject*> Components;
    std::vector<std::string> Lines;
    bool IsSorted = false;
    bool IsDesigning = false;
    int Puts = 0;
    std::vector<TFakeObject*> Items;
    std::string Face = "Tahoma";
    std::uint8_t Cs = 1;

private:
    const TProp* find(std::string_view name) const {
        for (const auto& p : Props)
            if (SameText(p.Info.Name, name)) return &p;
        return nullptr;
    }
    TProp& at(std::string_view name) const {
        const TProp* p = find(name);
        if (!p) throw std::out_of_range("no property " + std::string(name));
        return const_cast<TProp&>(*p);
    }
};

// A form "TForm1" with a caption, a hint and a font.
inline std::unique_ptr<TFakeObject> MakeForm(const std::string& className = "TForm1") {
    auto form = std::make_unique<TFakeObject>(className, className.substr(1), std::set{THostClass::Form, THostClass::Control});
    form->Str("Caption", "Caldavor").Str("Hint", "");
    form->Font();
    return form;
}

inline std::string L(std::initializer_list<std::string> parts) {
    std::string line;
    for (const auto& p : parts) line += p + '\x01';
    return line;
}

}  // namespace i18ntest
