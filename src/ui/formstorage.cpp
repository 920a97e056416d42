#include "ui/formstorage.h"

#include <cstdint>

#include <QWidget>

#include "platform/platform.h"

TFormStorage::TFormStorage(QWidget& form, std::string formClass) : form_(form), formClass_(std::move(formClass)) {}

std::string TFormStorage::Key() const { return "\\Software\\Caldavor\\" + formClass_; }

void TFormStorage::RestorePosition() {
    auto& registry = platform::current().registry();
    const auto left = registry.readInteger(Key(), "Left");
    const auto top = registry.readInteger(Key(), "Top");
    // Registry values are unsigned: a window left of the primary screen is negative.
    if (left && top) form_.move(static_cast<std::int32_t>(*left), static_cast<std::int32_t>(*top));
}

void TFormStorage::SavePosition() {
    if (!Active) return;
    auto& registry = platform::current().registry();
    registry.writeInteger(Key(), "Left", static_cast<std::uint32_t>(form_.x()));
    registry.writeInteger(Key(), "Top", static_cast<std::uint32_t>(form_.y()));
}
