#pragma once
// A Qt form seen through published properties: components by objectName, the
// Delphi property names mapped onto Qt's in one table. 8-bit texts are
// decoded with the code page of the charset the control's font carries.

#include <functional>
#include <map>
#include <memory>

#include <QPointer>

#include "i18n/sipropertyhost.h"

class QObject;
class QWidget;

class TQtPropertyHost : public TPropertyHost {
public:
    // The form's host names its class explicitly; its components take Qt's.
    explicit TQtPropertyHost(QObject* object, std::string className = {});
    ~TQtPropertyHost() override;

    QObject* Object() const { return Object_; }

    std::string ClassName() const override;
    std::string Name() const override;
    bool Is(THostClass c) const override;
    TPropertyHost* FindComponent(std::string_view name) const override;
    std::vector<TPropertyHost*> Components() const override;
    std::vector<TsiPropInfo> Properties() const override;

    std::optional<TsiPropInfo> FindProperty(std::string_view name) const override;
    std::int64_t GetOrd(std::string_view name) const override;
    void SetOrd(std::string_view name, std::int64_t value) override;
    double GetFloat(std::string_view) const override { return 0; }
    void SetFloat(std::string_view, double) override {}
    std::string GetStr(std::string_view name) const override;
    void SetStr(std::string_view name, const std::string& value) override;
    std::u16string GetWide(std::string_view name) const override;
    void SetWide(std::string_view name, const std::u16string& value) override;
    TPropertyHost* GetObject(std::string_view name) const override;
    void SetObject(std::string_view, TPropertyHost*) override {}

private:
    bool IsComponentOf(const QObject* child) const;
    TPropertyHost* ComponentHost(QObject* child) const;
    // Sub-objects (fonts, item lists, columns) made on demand, kept by name.
    TPropertyHost* Held(const std::string& key, const std::function<std::unique_ptr<TPropertyHost>()>& make) const;

    QPointer<QObject> Object_;
    std::string ClassName_;
    mutable std::map<std::string, std::unique_ptr<TPropertyHost>> Held_;
};

// The charset a control's text is drawn in: its own font's, else its parent's.
std::uint8_t EffectiveCharset(const QObject* object);
// Decodes the 8-bit texts kept on the controls of this subtree again, after
// a font's charset changed.
void RedecodeTexts(QObject* root);
