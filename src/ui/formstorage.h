#pragma once
// Keeps a window's position in the platform registry under
// "\Software\Caldavor\<form class>" as "Left" and "Top", restored when the
// window is built and saved when it goes. A form may also keep its size and
// state ("Width", "Height", "State") and some of its fields, each a value
// named after the property with "_" for "." ("EDProxy.Text" is "EDProxy_Text").

#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QWidget;

class TFormStorage {
public:
    TFormStorage(QWidget& form, std::string formClass);
    // Moves the form where it was last saved; a key without both values
    // leaves it where it is.
    void RestorePosition();
    void SavePosition();
    // Switched off, saving does nothing.
    bool Active = true;
    // Position, size and state together, as a sizeable form keeps them.
    bool KeepSizeAndState = false;
    std::string Key() const;

    // Stored fields: Property names the control and its property ("EDEmail.Text").
    void StoreText(QLineEdit& edit, const std::string& property);
    void StoreCheck(QCheckBox& box, const std::string& property);
    void RestoreFields();
    void SaveFields();
    // Position (with size and state when kept) and every stored field.
    void Restore() {
        RestorePosition();
        RestoreFields();
    }
    void Save() {
        SavePosition();
        SaveFields();
    }

private:
    struct TField {
        QLineEdit* Edit = nullptr;
        QCheckBox* Box = nullptr;
        std::string Value;  // the registry value's name
    };

    QWidget& form_;
    std::string formClass_;
    std::vector<TField> fields_;
};
