#pragma once
// Binds a dialog's controls to fields of its window-free model: a change of
// a control writes its field, and Refresh shows every field again without
// running the change handlers. Extra refresh steps show what depends on the
// fields (a panel visible while a box is checked).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QWidget;

// Names a new control, so localisation and tests find it.
template <typename Control>
Control* Named(const char* name, Control* control) {
    control->setObjectName(name);
    return control;
}

class TControlBinder {
public:
    void Check(QCheckBox* box, bool& field, std::function<void()> changed = {});
    // The pair of radio buttons of one Boolean: First checked means true.
    void Choice(QRadioButton* first, QRadioButton* second, bool& field);
    void Spin(QSpinBox* edit, int& field);
    void Edit(QLineEdit* edit, std::string& field, std::function<void()> changed = {});
    // A list of texts and the chosen entry (-1 none).
    void List(QComboBox* box, const std::vector<std::string>& items, int& index);
    // A colour box of COLORREF values ($00BBGGRR), with "no colour" for $1FFFFFFF.
    void Colour(QComboBox* box, std::uint32_t& field);
    void OnRefresh(std::function<void()> step) { refreshers_.push_back(std::move(step)); }
    void Refresh() const;

private:
    std::vector<std::function<void()>> refreshers_;
};
