#pragma once
// The core speaks std::string and std::vector; the forms speak Qt.

#include <cstddef>
#include <string>

#include <QString>

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

// An index a form handed back lies within a list of the core.
inline bool Within(int index, std::size_t size) { return index >= 0 && index < static_cast<int>(size); }
