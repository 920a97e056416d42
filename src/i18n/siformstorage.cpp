#include "i18n/siformstorage.h"

#include <array>
#include <optional>
#include <stdexcept>

#include "platform/platform.h"

namespace {

constexpr std::array<std::uint32_t, 6> RootKeys = {0x80000001u, 0x80000000u, 0x80000002u,
                                                   0x80000003u, 0x80000005u, 0x80000006u};
constexpr std::array<const char*, 3> StateNames = {"Normal", "Minimized", "Maximized"};
constexpr std::array<const char*, 4> BoundNames = {"Top", "Left", "Height", "Width"};

}  // namespace

TsiFormStorage::TsiFormStorage(TPropertyHost* owner) : StoredForm_(owner) {
    if (owner && !owner->Is(THostClass::Form)) throw std::runtime_error("Invalid class typecast");
}

TsiFormStorage::~TsiFormStorage() { SaveState(); }

void TsiFormStorage::SetRegRootKey(TMyHKeyType value) {
    RegRootKey_ = value;
    RootKey_ = RootKeys[static_cast<std::size_t>(value)];
}

void TsiFormStorage::SaveState() {
    if (!Acts() || !RootIsUsers()) return;
    auto& registry = platform::current().registry();
    const auto state = static_cast<std::size_t>(StoredForm_->GetOrd("WindowState"));
    if (state >= StateNames.size() || !registry.writeString(SubKey_, "State", StateNames[state])) return;
    // A minimized or maximized form keeps its last normal bounds.
    if (state != 0) return;
    for (const char* name : BoundNames)
        registry.writeInteger(SubKey_, name, static_cast<std::uint32_t>(StoredForm_->GetOrd(name)));
}

void TsiFormStorage::RestoreState() {
    if (!Acts() || !RootIsUsers()) return;
    auto& registry = platform::current().registry();
    if (!registry.keyExists(SubKey_)) return;
    std::array<std::int64_t, BoundNames.size()> remembered{};
    for (std::size_t i = 0; i < BoundNames.size(); ++i) remembered[i] = StoredForm_->GetOrd(BoundNames[i]);
    const std::int64_t rememberedState = StoredForm_->GetOrd("WindowState");

    const auto state = registry.readString(SubKey_, "State");
    if (state && state->empty()) return;
    bool failed = !state;
    for (std::size_t i = 0; i < BoundNames.size() && !failed; ++i) {
        const auto value = registry.readInteger(SubKey_, BoundNames[i]);
        if (value) StoredForm_->SetOrd(BoundNames[i], static_cast<std::int32_t>(*value));  // negative left and top
        failed = !value;
    }
    if (failed) {
        for (std::size_t i = 0; i < BoundNames.size(); ++i) StoredForm_->SetOrd(BoundNames[i], remembered[i]);
        StoredForm_->SetOrd("WindowState", rememberedState);
        return;
    }
    const char third = state->size() >= 3 ? (*state)[2] : '\0';
    if (third == 'r') StoredForm_->SetOrd("WindowState", 0);
    else if (third == 'n') StoredForm_->SetOrd("WindowState", 1);
    else if (third == 'x') StoredForm_->SetOrd("WindowState", 2);
}
