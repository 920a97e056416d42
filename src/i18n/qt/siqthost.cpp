#include "i18n/qt/siqthost.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>

#include "core/cvtext.h"
#include "i18n/sicomp.h"

namespace {

constexpr const char* CharsetProperty = "siCharset";
constexpr const char* FormProperty = "siForm";
// A text written from the table: its 8-bit bytes and what they showed as.
constexpr const char* RawPrefix = "si8_";

QString Decode(const std::string& text, std::uint8_t charset) {
    return QString::fromStdU16String(AnsiToWideByCharset(text, charset));
}
std::string Encode(const QString& text, std::uint8_t charset) {
    return WideToAnsiByCharset(text.toStdU16String(), charset);
}

QTabWidget* PageOwner(const QObject* o) {
    const auto* w = qobject_cast<const QWidget*>(o);
    auto* stack = w ? qobject_cast<QStackedWidget*>(w->parentWidget()) : nullptr;
    return stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
}

bool IsWindow(const QObject* o) {
    const auto* w = qobject_cast<const QWidget*>(o);
    return w && w->isWindow();
}

// A form's popup menus are windows too, but their actions are the form's.
bool IsOtherForm(const QObject* o) { return IsWindow(o) && !qobject_cast<const QMenu*>(o); }

// One text property of the mapping table: where Qt keeps it.
struct TTextAccess {
    std::function<QString()> Get;
    std::function<void(const QString&)> Set;
};

std::optional<TTextAccess> TextAccess(QObject* o, std::string_view name) {
    if (SameText(name, "Caption")) {
        if (auto* w = qobject_cast<QWidget*>(o); w && IsOtherForm(w))
            return TTextAccess{[w] { return w->windowTitle(); }, [w](const QString& t) { w->setWindowTitle(t); }};
        if (QTabWidget* tabs = PageOwner(o)) {
            auto* page = qobject_cast<QWidget*>(o);
            return TTextAccess{[tabs, page] { return tabs->tabText(tabs->indexOf(page)); },
                               [tabs, page](const QString& t) { tabs->setTabText(tabs->indexOf(page), t); }};
        }
        if (auto* b = qobject_cast<QAbstractButton*>(o))
            return TTextAccess{[b] { return b->text(); }, [b](const QString& t) { b->setText(t); }};
        if (auto* l = qobject_cast<QLabel*>(o))
            return TTextAccess{[l] { return l->text(); }, [l](const QString& t) { l->setText(t); }};
        if (auto* a = qobject_cast<QAction*>(o))
            return TTextAccess{[a] { return a->text(); }, [a](const QString& t) { a->setText(t); }};
        if (auto* g = qobject_cast<QGroupBox*>(o))
            return TTextAccess{[g] { return g->title(); }, [g](const QString& t) { g->setTitle(t); }};
        if (auto* m = qobject_cast<QMenu*>(o))
            return TTextAccess{[m] { return m->title(); }, [m](const QString& t) { m->setTitle(t); }};
        return std::nullopt;
    }
    if (SameText(name, "Hint")) {
        if (auto* w = qobject_cast<QWidget*>(o))
            return TTextAccess{[w] { return w->toolTip(); }, [w](const QString& t) { w->setToolTip(t); }};
        if (auto* a = qobject_cast<QAction*>(o))
            return TTextAccess{[a] { return a->toolTip(); }, [a](const QString& t) { a->setToolTip(t); }};
        return std::nullopt;
    }
    if (SameText(name, "Text"))
        if (auto* e = qobject_cast<QLineEdit*>(o))
            return TTextAccess{[e] { return e->text(); }, [e](const QString& t) { e->setText(t); }};
    return std::nullopt;
}

// The list a Delphi "Items" or "Lines" names.
struct TListAccess {
    std::function<QStringList()> Get;
    std::function<void(const QStringList&)> Set;
};

std::optional<TListAccess> ListAccess(QObject* o, std::string_view name) {
    if (SameText(name, "Items")) {
        if (auto* c = qobject_cast<QComboBox*>(o))
            return TListAccess{[c] {
                                   QStringList items;
                                   for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
                                   return items;
                               },
                               [c](const QStringList& items) {
                                   const int keep = c->currentIndex();
                                   const QSignalBlocker quiet(c);
                                   for (int i = 0; i < items.size(); ++i)
                                       if (i < c->count()) c->setItemText(i, items[i]);
                                       else c->addItem(items[i]);
                                   while (c->count() > items.size()) c->removeItem(c->count() - 1);
                                   c->setCurrentIndex(std::min(keep, c->count() - 1));
                               }};
        if (auto* l = qobject_cast<QListWidget*>(o))
            return TListAccess{[l] {
                                   QStringList items;
                                   for (int i = 0; i < l->count(); ++i) items << l->item(i)->text();
                                   return items;
                               },
                               [l](const QStringList& items) {
                                   for (int i = 0; i < items.size(); ++i)
                                       if (i < l->count()) l->item(i)->setText(items[i]);
                                       else l->addItem(items[i]);
                                   while (l->count() > items.size()) delete l->takeItem(l->count() - 1);
                               }};
    }
    // A read-only memo shows the program's output, never design text.
    if (SameText(name, "Lines"))
        if (auto* m = qobject_cast<QPlainTextEdit*>(o); m && !m->isReadOnly())
            return TListAccess{[m] { return m->toPlainText().isEmpty() ? QStringList() : m->toPlainText().split('\n'); },
                               [m](const QStringList& lines) { m->setPlainText(lines.join('\n')); }};
    return std::nullopt;
}

// The 8-bit bytes and the text they showed as, kept on the object under a key.
void KeepRaw(QObject* o, const std::string& key, const QVariant& raw, const QVariant& shown) {
    o->setProperty((RawPrefix + key).c_str(), QVariantList{raw, shown});
}

void SetText(QObject* o, const std::string& key, const TTextAccess& access, const std::string& value) {
    const QString text = Decode(value, EffectiveCharset(o));
    access.Set(text);
    KeepRaw(o, key, QByteArray::fromStdString(value), text);
}

// The items of a combo, list or memo as a Delphi string list.
class TQtStringsHost : public TPlainObjectHost {
public:
    TQtStringsHost(QObject* owner, std::string key, TListAccess access)
        : Owner_(owner), Key_(std::move(key)), Access_(std::move(access)) {}
    std::string ClassName() const override { return "TStrings"; }
    bool Is(THostClass c) const override { return c == THostClass::Strings; }

    int Count() const override { return Owner_ ? static_cast<int>(Access_.Get().size()) : 0; }
    std::string Get(int i) const override {
        const QStringList items = Owner_ ? Access_.Get() : QStringList();
        return i >= 0 && i < items.size() ? Encode(items[i], EffectiveCharset(Owner_)) : std::string();
    }
    void Put(int i, const std::string& text) override {
        Edit([&](std::vector<std::string>& raw) {
            if (i >= 0 && static_cast<std::size_t>(i) < raw.size()) raw[static_cast<std::size_t>(i)] = text;
        });
    }
    void Append(const std::string& text) override { Edit([&](std::vector<std::string>& raw) { raw.push_back(text); }); }
    void Delete(int i) override {
        Edit([&](std::vector<std::string>& raw) {
            if (i >= 0 && static_cast<std::size_t>(i) < raw.size()) raw.erase(raw.begin() + i);
        });
    }

private:
    void Edit(const std::function<void(std::vector<std::string>&)>& change) {
        if (!Owner_) return;
        const std::uint8_t charset = EffectiveCharset(Owner_);
        std::vector<std::string> raw;
        for (const QString& item : Access_.Get()) raw.push_back(Encode(item, charset));
        change(raw);
        QStringList shown;
        QVariantList bytes;
        for (const std::string& item : raw) {
            shown << Decode(item, charset);
            bytes << QByteArray::fromStdString(item);
        }
        Access_.Set(shown);
        KeepRaw(Owner_, Key_, bytes, shown);
    }

    QPointer<QObject> Owner_;
    std::string Key_;
    TListAccess Access_;
};

// A control's font: the face on the widget, the charset kept beside it.
class TQtFontHost : public TPlainObjectHost {
public:
    explicit TQtFontHost(QWidget* widget) : Widget_(widget) {}
    std::string ClassName() const override { return "TFont"; }
    bool Is(THostClass c) const override { return c == THostClass::Font; }

    std::string FaceName() const override { return Widget_ ? QFontInfo(Widget_->font()).family().toStdString() : std::string(); }
    void SetFaceName(const std::string& name) override {
        if (!Widget_) return;
        QFont font = Widget_->font();
        font.setFamily(QString::fromStdString(name));
        Widget_->setFont(font);
    }
    std::uint8_t Charset() const override {
        const QVariant v = Widget_ ? Widget_->property(CharsetProperty) : QVariant();
        return v.isValid() ? static_cast<std::uint8_t>(v.toUInt()) : DEFAULT_CHARSET;
    }
    void SetCharset(std::uint8_t charset) override {
        if (!Widget_ || Charset() == charset) return;
        Widget_->setProperty(CharsetProperty, charset);
        RedecodeTexts(Widget_);
    }

private:
    QPointer<QWidget> Widget_;
};

QAbstractItemModel* ViewModel(QObject* view) {
    auto* items = qobject_cast<QAbstractItemView*>(view);
    return items ? items->model() : nullptr;
}

// Tables, and trees over a model of the program's own (the sensor trees),
// have a header of wide column texts; list views have columns.
bool HasWideHeader(QObject* o) {
    return qobject_cast<QTableView*>(o) || (qobject_cast<QTreeView*>(o) && !qobject_cast<QTreeWidget*>(o));
}

// One column of a list view or table: "Caption" (8-bit) or, under a
// header, "Text" (wide).
class TQtColumnHost : public TPlainObjectHost {
public:
    TQtColumnHost(QObject* view, int index, bool wide) : View_(view), Index_(index), Wide_(wide) {}
    std::string ClassName() const override { return Wide_ ? "TVirtualTreeColumn" : "TListColumn"; }
    std::vector<TsiPropInfo> Properties() const override { return {*FindProperty(Wide_ ? "Text" : "Caption")}; }
    std::optional<TsiPropInfo> FindProperty(std::string_view name) const override {
        if (SameText(name, Wide_ ? "Text" : "Caption"))
            return TsiPropInfo{Wide_ ? "Text" : "Caption", Wide_ ? TTypeKind::tkWString : TTypeKind::tkLString, "", true, true};
        return std::nullopt;
    }
    std::string GetStr(std::string_view) const override { return Encode(Access().Get(), EffectiveCharset(View_)); }
    void SetStr(std::string_view, const std::string& value) override {
        if (View_) SetText(View_, "Col" + std::to_string(Index_), Access(), value);
    }
    std::u16string GetWide(std::string_view) const override { return Access().Get().toStdU16String(); }
    void SetWide(std::string_view, const std::u16string& value) override { Access().Set(QString::fromStdU16String(value)); }

    TTextAccess Access() const { return ColumnAccess(View_, Index_); }
    // Any item view's horizontal header, through its model.
    static TTextAccess ColumnAccess(QObject* view, int index) {
        auto* model = ViewModel(view);
        if (!model) return {[] { return QString(); }, [](const QString&) {}};
        return {[model, index] { return model->headerData(index, Qt::Horizontal).toString(); },
                [model, index](const QString& t) { model->setHeaderData(index, Qt::Horizontal, t); }};
    }

private:
    QPointer<QObject> View_;
    int Index_;
    bool Wide_;
};

int ColumnCount(QObject* view) {
    const QAbstractItemModel* model = ViewModel(view);
    return model ? model->columnCount() : 0;
}

// "Columns" of a view, or its "Header" holding them.
class TQtColumnsHost : public TPlainObjectHost {
public:
    TQtColumnsHost(QObject* view, bool header) : View_(view), Header_(header) {}
    std::string ClassName() const override { return Header_ ? "TVTHeader" : "TListColumns"; }
    bool Is(THostClass c) const override { return !Header_ && c == THostClass::Collection; }
    std::optional<TsiPropInfo> FindProperty(std::string_view name) const override {
        if (Header_ && SameText(name, "Columns")) return TsiPropInfo{"Columns", TTypeKind::tkClass, "TVirtualTreeColumns", true, true};
        return std::nullopt;
    }
    std::vector<TsiPropInfo> Properties() const override {
        return Header_ ? std::vector<TsiPropInfo>{*FindProperty("Columns")} : std::vector<TsiPropInfo>{};
    }
    TPropertyHost* GetObject(std::string_view name) const override {
        if (!Header_ || !SameText(name, "Columns")) return nullptr;
        if (!Wide_) Wide_.reset(new TQtColumnsHost(View_, false, true));
        return Wide_.get();
    }
    int ItemCount() const override { return View_ ? ColumnCount(View_) : 0; }
    TPropertyHost* Item(int i) const override {
        if (i < 0 || i >= ItemCount()) return nullptr;
        auto& slot = Columns_[i];
        if (!slot) slot = std::make_unique<TQtColumnHost>(View_, i, WideColumns_);
        return slot.get();
    }

private:
    TQtColumnsHost(QObject* view, bool header, bool wideColumns) : View_(view), Header_(header), WideColumns_(wideColumns) {}
    QPointer<QObject> View_;
    bool Header_;
    bool WideColumns_ = false;
    mutable std::unique_ptr<TQtColumnsHost> Wide_;
    mutable std::map<int, std::unique_ptr<TQtColumnHost>> Columns_;
};

// The Delphi names of properties this host maps, and what they are.
struct TMappedProperty {
    const char* Name;
    TTypeKind Kind;
    const char* TypeName;
};
constexpr TMappedProperty MappedProperties[] = {
    {"Caption", TTypeKind::tkLString, "TCaption"},   {"Hint", TTypeKind::tkLString, "string"},
    {"Text", TTypeKind::tkLString, "TCaption"},      {"Items", TTypeKind::tkClass, "TStrings"},
    {"Lines", TTypeKind::tkClass, "TStrings"},       {"Columns", TTypeKind::tkClass, "TListColumns"},
    {"Header", TTypeKind::tkClass, "TVTHeader"},     {"Left", TTypeKind::tkInteger, "Integer"},
    {"Width", TTypeKind::tkInteger, "Integer"},      {"Font", TTypeKind::tkClass, "TFont"},
    {"ParentFont", TTypeKind::tkEnumeration, "Boolean"}, {"Action", TTypeKind::tkClass, "TBasicAction"},
    {"ItemIndex", TTypeKind::tkInteger, "Integer"},  {"WordWrap", TTypeKind::tkEnumeration, "Boolean"},
};

bool Publishes(QObject* o, std::string_view name) {
    auto* w = qobject_cast<QWidget*>(o);
    if (SameText(name, "Caption") || SameText(name, "Hint") || SameText(name, "Text")) return TextAccess(o, name).has_value();
    if (SameText(name, "Items") || SameText(name, "Lines")) return ListAccess(o, name).has_value();
    // List views have columns; tables a header of wide column texts.
    if (SameText(name, "Columns")) return qobject_cast<QTreeWidget*>(o) != nullptr;
    if (SameText(name, "Header")) return HasWideHeader(o);
    if (SameText(name, "Left") || SameText(name, "Width") || SameText(name, "Font") || SameText(name, "ParentFont"))
        return w != nullptr;
    if (SameText(name, "Action")) return qobject_cast<QToolButton*>(o) != nullptr;
    if (SameText(name, "ItemIndex")) return qobject_cast<QComboBox*>(o) || qobject_cast<QListWidget*>(o);
    if (SameText(name, "WordWrap")) return qobject_cast<QLabel*>(o) || qobject_cast<QPlainTextEdit*>(o);
    return false;
}

}  // namespace

std::uint8_t EffectiveCharset(const QObject* object) {
    for (const QObject* p = object; p; p = p->parent()) {
        const QVariant v = p->property(CharsetProperty);
        if (v.isValid()) return static_cast<std::uint8_t>(v.toUInt());
        if (IsOtherForm(p)) break;
    }
    return DEFAULT_CHARSET;
}

void RedecodeTexts(QObject* root) {
    QList<QObject*> objects = root->findChildren<QObject*>();
    objects.prepend(root);
    for (QObject* o : objects)
        for (const QByteArray& name : o->dynamicPropertyNames()) {
            if (!name.startsWith(RawPrefix)) continue;
            const QVariantList kept = o->property(name).toList();
            if (kept.size() != 2) continue;
            const std::string key = name.mid(static_cast<int>(std::strlen(RawPrefix))).toStdString();
            const std::uint8_t charset = EffectiveCharset(o);
            if (kept[0].typeId() == QMetaType::QVariantList) {
                const auto list = ListAccess(o, key);
                if (!list || list->Get() != kept[1].toStringList()) continue;  // the program wrote since
                QStringList shown;
                for (const QVariant& item : kept[0].toList()) shown << Decode(item.toByteArray().toStdString(), charset);
                list->Set(shown);
                KeepRaw(o, key, kept[0], shown);
                continue;
            }
            const auto text = key.starts_with("Col")
                                  ? std::optional<TTextAccess>(TQtColumnHost::ColumnAccess(o, std::stoi(key.substr(3))))
                                  : TextAccess(o, key);
            if (!text || text->Get() != kept[1].toString()) continue;
            SetText(o, key, *text, kept[0].toByteArray().toStdString());
        }
}

TQtPropertyHost::TQtPropertyHost(QObject* object, std::string className)
    : Object_(object), ClassName_(std::move(className)) {
    if (!ClassName_.empty() && object) object->setProperty(FormProperty, true);
}

TQtPropertyHost::~TQtPropertyHost() = default;

std::string TQtPropertyHost::ClassName() const {
    if (!ClassName_.empty() || !Object_) return ClassName_;
    std::string name = Object_->metaObject()->className();
    if (name.starts_with('Q')) name[0] = 'T';
    return name;
}

std::string TQtPropertyHost::Name() const { return Object_ ? Object_->objectName().toStdString() : std::string(); }

bool TQtPropertyHost::Is(THostClass c) const {
    switch (c) {
        case THostClass::Form: return !ClassName_.empty();
        case THostClass::Control: return Object_ && Object_->isWidgetType();
        case THostClass::ListControl: return qobject_cast<QComboBox*>(Object_) || qobject_cast<QListWidget*>(Object_);
        case THostClass::Memo: return qobject_cast<QPlainTextEdit*>(Object_) != nullptr;
        case THostClass::Action: return qobject_cast<QAction*>(Object_) != nullptr;
        default: return false;
    }
}

TPropertyHost* TQtPropertyHost::FindComponent(std::string_view name) const {
    if (!Object_ || name.empty()) return nullptr;
    for (QObject* child : Object_->findChildren<QObject*>())
        if (SameText(child->objectName().toStdString(), name) && IsComponentOf(child)) return ComponentHost(child);
    return nullptr;
}

std::vector<TPropertyHost*> TQtPropertyHost::Components() const {
    std::vector<TPropertyHost*> components;
    if (!Object_) return components;
    for (QObject* child : Object_->findChildren<QObject*>())
        if (!child->objectName().isEmpty() && IsComponentOf(child)) components.push_back(ComponentHost(child));
    return components;
}

bool TQtPropertyHost::IsComponentOf(const QObject* child) const {
    // Qt's own helpers and the translation component are not the form's controls.
    if (IsOtherForm(child) || child->objectName().startsWith("qt_") || child->objectName() == "siLangRT1") return false;
    // A dialog's or frame's controls belong to it, not to the window holding it.
    for (const QObject* p = child->parent(); p; p = p->parent()) {
        if (p == Object_) return true;
        if (IsOtherForm(p) || p->property(FormProperty).isValid()) return false;
    }
    return false;
}

TPropertyHost* TQtPropertyHost::ComponentHost(QObject* child) const {
    return Held("c:" + std::to_string(reinterpret_cast<std::uintptr_t>(child)),
                [child] { return std::make_unique<TQtPropertyHost>(child); });
}

std::vector<TsiPropInfo> TQtPropertyHost::Properties() const {
    std::vector<TsiPropInfo> properties;
    for (const TMappedProperty& p : MappedProperties)
        if (Object_ && Publishes(Object_, p.Name)) properties.push_back(TsiPropInfo{p.Name, p.Kind, p.TypeName, true, true});
    return properties;
}

TPropertyHost* TQtPropertyHost::Held(const std::string& key, const std::function<std::unique_ptr<TPropertyHost>()>& make) const {
    auto& slot = Held_[key];
    if (auto* host = dynamic_cast<TQtPropertyHost*>(slot.get()); host && !host->Object()) slot.reset();
    if (!slot) slot = make();
    return slot.get();
}

std::optional<TsiPropInfo> TQtPropertyHost::FindProperty(std::string_view name) const {
    if (!Object_) return std::nullopt;
    for (const TMappedProperty& p : MappedProperties)
        if (SameText(p.Name, name) && Publishes(Object_, p.Name)) return TsiPropInfo{p.Name, p.Kind, p.TypeName, true, true};
    return std::nullopt;
}

std::int64_t TQtPropertyHost::GetOrd(std::string_view name) const {
    auto* w = qobject_cast<QWidget*>(Object_);
    if (!w) return 0;
    if (SameText(name, "Left")) return w->x();
    if (SameText(name, "Width")) return w->width();
    if (SameText(name, "ParentFont")) return w->testAttribute(Qt::WA_SetFont) ? 0 : 1;
    if (SameText(name, "ItemIndex")) {
        if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentIndex();
        if (auto* l = qobject_cast<QListWidget*>(w)) return l->currentRow();
    }
    if (SameText(name, "WordWrap")) {
        if (auto* l = qobject_cast<QLabel*>(w)) return l->wordWrap() ? 1 : 0;
        if (auto* m = qobject_cast<QPlainTextEdit*>(w)) return m->lineWrapMode() == QPlainTextEdit::WidgetWidth ? 1 : 0;
    }
    return 0;
}

void TQtPropertyHost::SetOrd(std::string_view name, std::int64_t value) {
    auto* w = qobject_cast<QWidget*>(Object_);
    if (!w) return;
    const int v = static_cast<int>(value);
    if (SameText(name, "Left")) w->move(v, w->y());
    else if (SameText(name, "Width")) w->resize(v, w->height());
    else if (SameText(name, "ParentFont")) {
        if (v) w->setFont(QFont());
    } else if (SameText(name, "ItemIndex")) {
        if (auto* c = qobject_cast<QComboBox*>(w)) c->setCurrentIndex(v);
        else if (auto* l = qobject_cast<QListWidget*>(w)) l->setCurrentRow(v);
    } else if (SameText(name, "WordWrap")) {
        if (auto* l = qobject_cast<QLabel*>(w)) l->setWordWrap(v != 0);
        else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
            m->setLineWrapMode(v ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    }
}

std::string TQtPropertyHost::GetStr(std::string_view name) const {
    const auto access = Object_ ? TextAccess(Object_, name) : std::nullopt;
    return access ? Encode(access->Get(), EffectiveCharset(Object_)) : std::string();
}

void TQtPropertyHost::SetStr(std::string_view name, const std::string& value) {
    if (const auto access = Object_ ? TextAccess(Object_, name) : std::nullopt)
        SetText(Object_, std::string(FindProperty(name)->Name), *access, value);
}

std::u16string TQtPropertyHost::GetWide(std::string_view name) const {
    const auto access = Object_ ? TextAccess(Object_, name) : std::nullopt;
    return access ? access->Get().toStdU16String() : std::u16string();
}

void TQtPropertyHost::SetWide(std::string_view name, const std::u16string& value) {
    if (const auto access = Object_ ? TextAccess(Object_, name) : std::nullopt) access->Set(QString::fromStdU16String(value));
}

TPropertyHost* TQtPropertyHost::GetObject(std::string_view name) const {
    if (!Object_ || !FindProperty(name)) return nullptr;
    QObject* o = Object_;
    if (SameText(name, "Font"))
        return Held("Font", [o] { return std::make_unique<TQtFontHost>(qobject_cast<QWidget*>(o)); });
    if (SameText(name, "Columns")) return Held("Columns", [o] { return std::make_unique<TQtColumnsHost>(o, false); });
    if (SameText(name, "Header")) return Held("Header", [o] { return std::make_unique<TQtColumnsHost>(o, true); });
    if (SameText(name, "Action")) {
        QAction* action = qobject_cast<QToolButton*>(o)->defaultAction();
        if (!action) return nullptr;
        return Held("Action", [action] { return std::make_unique<TQtPropertyHost>(action); });
    }
    const std::string key(FindProperty(name)->Name);
    return Held(key, [o, key] { return std::make_unique<TQtStringsHost>(o, key, *ListAccess(o, key)); });
}
