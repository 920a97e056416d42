#include "ui/formstorage.h"

#include <algorithm>
#include <cstdint>

#include <QCheckBox>
#include <QLineEdit>
#include <QWidget>

#include "platform/platform.h"

namespace {

// Delphi's window states.
enum : std::uint32_t { StateNormal = 0, StateMinimized = 1, StateMaximized = 2 };

std::string ValueName(std::string property) {
    std::replace(property.begin(), property.end(), '.', '_');
    return property;
}

}  // namespace

TFormStorage::TFormStorage(QWidget& form, std::string formClass) : form_(form), formClass_(std::move(formClass)) {}

std::string TFormStorage::Key() const { return "\\Software\\Caldavor\\" + formClass_; }

void TFormStorage::RestorePosition() {
    auto& registry = platform::current().registry();
    const auto left = registry.readInteger(Key(), "Left");
    const auto top = registry.readInteger(Key(), "Top");
    // Registry values are unsigned: a window left of the primary screen is negative.
    if (left && top) form_.move(static_cast<std::int32_t>(*left), static_cast<std::int32_t>(*top));
    if (!KeepSizeAndState) return;
    const auto width = registry.readInteger(Key(), "Width");
    const auto height = registry.readInteger(Key(), "Height");
    if (width && height && *width > 0 && *height > 0 && *width < 32768 && *height < 32768)
        form_.resize(static_cast<int>(*width), static_cast<int>(*height));
    if (registry.readInteger(Key(), "State") == StateMaximized) form_.setWindowState(Qt::WindowMaximized);
}

void TFormStorage::SavePosition() {
    if (!Active) return;
    auto& registry = platform::current().registry();
    // A maximised window keeps the place and size it returns to.
    const bool maximized = form_.isMaximized();
    const QPoint at = maximized ? form_.normalGeometry().topLeft() : form_.pos();
    const QSize size = maximized ? form_.normalGeometry().size() : form_.size();
    registry.writeInteger(Key(), "Left", static_cast<std::uint32_t>(at.x()));
    registry.writeInteger(Key(), "Top", static_cast<std::uint32_t>(at.y()));
    if (!KeepSizeAndState) return;
    registry.writeInteger(Key(), "Width", static_cast<std::uint32_t>(size.width()));
    registry.writeInteger(Key(), "Height", static_cast<std::uint32_t>(size.height()));
    registry.writeInteger(Key(), "State",
                          maximized ? StateMaximized : form_.isMinimized() ? StateMinimized : StateNormal);
}

void TFormStorage::StoreText(QLineEdit& edit, const std::string& property) {
    fields_.push_back({&edit, nullptr, ValueName(property)});
}

void TFormStorage::StoreCheck(QCheckBox& box, const std::string& property) {
    fields_.push_back({nullptr, &box, ValueName(property)});
}

void TFormStorage::RestoreFields() {
    auto& registry = platform::current().registry();
    for (const TField& field : fields_) {
        if (field.Edit) {
            if (const auto text = registry.readString(Key(), field.Value))
                field.Edit->setText(QString::fromStdString(*text));
        } else if (const auto checked = registry.readInteger(Key(), field.Value)) {
            field.Box->setChecked(*checked != 0);
        }
    }
}

void TFormStorage::SaveFields() {
    if (!Active) return;
    auto& registry = platform::current().registry();
    for (const TField& field : fields_) {
        if (field.Edit)
            registry.writeString(Key(), field.Value, field.Edit->text().toStdString());
        else
            registry.writeInteger(Key(), field.Value, field.Box->isChecked() ? 1 : 0);
    }
}
