#pragma once
// Keeps a form's window state and normal bounds in the user's registry
// between runs. The form is reached through its published "Left", "Top",
// "Height", "Width" and "WindowState" (wsNormal, wsMinimized, wsMaximized).

#include <cstdint>
#include <string>

#include "i18n/sipropertyhost.h"

enum class TMyHKeyType : std::uint8_t {
    siHKEY_CURRENT_USER, siHKEY_CLASSES_ROOT, siHKEY_LOCAL_MACHINE, siHKEY_USERS, siHKEY_CURRENT_CONFIG, siHKEY_DYN_DATA
};

class TsiFormStorage {
public:
    // Throws "Invalid class typecast" when the owner is not a form.
    explicit TsiFormStorage(TPropertyHost* owner);
    ~TsiFormStorage();
    TsiFormStorage(const TsiFormStorage&) = delete;
    TsiFormStorage& operator=(const TsiFormStorage&) = delete;

    // End of loading from form data.
    void Loaded() { RestoreState(); }
    void SaveState();
    void RestoreState();

    bool Active() const { return Active_; }
    void SetActive(bool value) { Active_ = value; }
    TMyHKeyType RegRootKey() const { return RegRootKey_; }
    void SetRegRootKey(TMyHKeyType value);
    std::uint32_t RootKey() const { return RootKey_; }
    const std::string& SubKey() const { return SubKey_; }
    void SetSubKey(const std::string& value) { SubKey_ = value; }
    TPropertyHost* StoredForm() const { return StoredForm_; }

private:
    // Only the current user's registry exists here: other roots open nothing.
    bool RootIsUsers() const { return RootKey_ == 0x80000001u; }
    bool Acts() const { return Active_ && StoredForm_ && !StoredForm_->Designing(); }

    TPropertyHost* StoredForm_;
    bool Active_ = true;
    TMyHKeyType RegRootKey_ = TMyHKeyType::siHKEY_CURRENT_USER;
    std::uint32_t RootKey_ = 0x80000001u;
    std::string SubKey_;
};
