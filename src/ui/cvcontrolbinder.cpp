#include "ui/cvcontrolbinder.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {

constexpr std::uint32_t NoColour = 0x1FFFFFFF;

struct TNamedColour {
    const char* Name;
    std::uint32_t Value;  // COLORREF: blue in the high byte
};

// The sixteen basic colours.
constexpr TNamedColour BasicColours[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080}, {"Green", 0x008000},  {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080}, {"Teal", 0x808000},   {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},    {"Lime", 0x00FF00},   {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF},
};

QColor FromColorRef(std::uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>(value >> 8 & 0xFF),
                  static_cast<int>(value >> 16 & 0xFF));
}

QIcon Swatch(std::uint32_t value) {
    QPixmap pixmap(16, 12);
    pixmap.fill(value == NoColour ? QColor(Qt::transparent) : FromColorRef(value));
    return QIcon(pixmap);
}

}  // namespace

void TControlBinder::Refresh() const {
    for (const auto& step : refreshers_) step();
}

void TControlBinder::Check(QCheckBox* box, bool& field, std::function<void()> changed) {
    QObject::connect(box, &QCheckBox::toggled, box, [&field, changed](bool on) {
        field = on;
        if (changed) changed();
    });
    OnRefresh([box, &field] {
        const QSignalBlocker blocker(box);
        box->setChecked(field);
    });
}

void TControlBinder::Choice(QRadioButton* first, QRadioButton* second, bool& field) {
    QObject::connect(first, &QRadioButton::toggled, first, [&field](bool on) { field = on; });
    OnRefresh([first, second, &field] {
        const QSignalBlocker a(first), b(second);
        (field ? first : second)->setChecked(true);
    });
}

void TControlBinder::Spin(QSpinBox* edit, int& field) {
    QObject::connect(edit, &QSpinBox::valueChanged, edit, [&field](int value) { field = value; });
    OnRefresh([edit, &field] {
        const QSignalBlocker blocker(edit);
        edit->setValue(field);
    });
}

void TControlBinder::Edit(QLineEdit* edit, std::string& field, std::function<void()> changed) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, [&field, changed](const QString& text) {
        field = text.toStdString();
        if (changed) changed();
    });
    OnRefresh([edit, &field] {
        const QSignalBlocker blocker(edit);
        edit->setText(QString::fromStdString(field));
    });
}

void TControlBinder::List(QComboBox* box, const std::vector<std::string>& items, int& index) {
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [&index](int chosen) { index = chosen; });
    OnRefresh([box, &items, &index] {
        const QSignalBlocker blocker(box);
        box->clear();
        for (const auto& item : items) box->addItem(QString::fromStdString(item));
        box->setCurrentIndex(index);
    });
}

void TControlBinder::Colour(QComboBox* box, std::uint32_t& field) {
    box->addItem(Swatch(NoColour), "None", QVariant::fromValue(NoColour));
    for (const auto& colour : BasicColours)
        box->addItem(Swatch(colour.Value), colour.Name, QVariant::fromValue(colour.Value));
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [box, &field](int chosen) {
        if (chosen >= 0) field = box->itemData(chosen).toUInt();
    });
    OnRefresh([box, &field] {
        const QSignalBlocker blocker(box);
        int at = box->findData(QVariant::fromValue(field));
        if (at < 0) {
            box->addItem(Swatch(field), QString("$%1").arg(field, 8, 16, QChar('0')).toUpper(),
                         QVariant::fromValue(field));
            at = box->count() - 1;
        }
        box->setCurrentIndex(at);
    });
}
