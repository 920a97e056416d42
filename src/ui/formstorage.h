#pragma once
// Keeps a window's position in the platform registry under
// "\Software\Caldavor\<form class>" as "Left" and "Top", restored when the
// window is built and saved when it goes.

#include <string>

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
    std::string Key() const;

private:
    QWidget& form_;
    std::string formClass_;
};
