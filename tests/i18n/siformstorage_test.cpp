// A form's window state and bounds kept in the registry between runs.

#include "i18n/siformstorage.h"
#include "i18ntest.h"

namespace {

const std::string EditorKey = "\\Software\\Caldavor\\Tools\\Editor";
enum { wsNormal, wsMinimized, wsMaximized };

class FormStorage : public i18ntest::FormTest {
protected:
    FormStorage() { form->Int("Top", 10).Int("Left", 20).Int("Height", 300).Int("Width", 400).Int("WindowState", wsNormal); }

    void Place(std::int64_t top, std::int64_t left, std::int64_t height, std::int64_t width, std::int64_t state) {
        const std::pair<const char*, std::int64_t> values[] = {
            {"Top", top}, {"Left", left}, {"Height", height}, {"Width", width}, {"WindowState", state}};
        for (const auto& [name, value] : values) form->SetOrd(name, value);
    }
    std::vector<std::int64_t> Bounds() const {
        return {form->GetOrd("Top"), form->GetOrd("Left"), form->GetOrd("Height"), form->GetOrd("Width"),
                form->GetOrd("WindowState")};
    }
    // A form made, shown as `state`, and closed.
    void Run(std::int64_t state) {
        TsiFormStorage storage(form.get());
        storage.SetSubKey(EditorKey);
        storage.Loaded();
        form->SetOrd("WindowState", state);
    }
    // A form made and left without storing.
    void Reopen() {
        TsiFormStorage storage(form.get());
        storage.SetSubKey(EditorKey);
        storage.Loaded();
        storage.SetActive(false);
    }

    platform::Registry& registry = machine->registry();
};

TEST_F(FormStorage, AFormClosedMaximizedReopensMaximizedWithItsLastNormalBounds) {
    Run(wsNormal);
    EXPECT_EQ(registry.readString(EditorKey, "State"), "Normal");
    Run(wsMaximized);
    EXPECT_EQ(registry.readString(EditorKey, "State"), "Maximized");
    EXPECT_EQ(registry.readInteger(EditorKey, "Width"), 400u);

    Place(0, 0, 100, 100, wsNormal);
    Reopen();
    EXPECT_EQ(Bounds(), (std::vector<std::int64_t>{10, 20, 300, 400, wsMaximized}));
}

TEST_F(FormStorage, MissingOrEmptyValuesLeaveTheFormAsLoaded) {
    const struct {
        const char* name;
        std::function<void()> damage;
    } cases[] = {
        {"no Width", [&] { registry.deleteValue(EditorKey, "Width"); }},
        {"Width as text", [&] { registry.deleteValue(EditorKey, "Width"), registry.writeString(EditorKey, "Width", "400"); }},
        {"empty State", [&] { registry.writeString(EditorKey, "State", ""); }},
        {"no State", [&] { registry.deleteValue(EditorKey, "State"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        registry.writeString(EditorKey, "State", "Maximized");
        for (const char* name : {"Top", "Left", "Height", "Width"}) registry.writeInteger(EditorKey, name, 5);
        c.damage();
        Place(1, 2, 3, 4, wsMinimized);
        Reopen();
        EXPECT_EQ(Bounds(), (std::vector<std::int64_t>{1, 2, 3, 4, wsMinimized}));
    }
}

TEST_F(FormStorage, InactiveOrOtherRootsNeitherReadNorWrite) {
    registry.writeString(EditorKey, "State", "Maximized");
    for (auto root : {TMyHKeyType::siHKEY_LOCAL_MACHINE, TMyHKeyType::siHKEY_CURRENT_USER}) {
        {
            TsiFormStorage storage(form.get());
            storage.SetSubKey(EditorKey);
            storage.SetRegRootKey(root);
            storage.SetActive(root == TMyHKeyType::siHKEY_LOCAL_MACHINE);
            storage.Loaded();
        }
        EXPECT_EQ(form->GetOrd("WindowState"), wsNormal);
        EXPECT_EQ(registry.readString(EditorKey, "State"), "Maximized");
    }
    TsiFormStorage storage(form.get());
    storage.SetRegRootKey(TMyHKeyType::siHKEY_LOCAL_MACHINE);
    EXPECT_EQ(storage.RootKey(), 0x80000002u);
    storage.SetActive(false);
}

TEST_F(FormStorage, OnlyAFormCarriesOne) {
    i18ntest::TFakeObject label("TLabel", "Label1");
    EXPECT_THROW(TsiFormStorage{&label}, std::runtime_error);
}

}  // namespace
