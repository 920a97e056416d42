#pragma once
// ASCII case and blank helpers for the texts the program reads: keys, names
// and keywords compare without regard to case, never by locale rules.

#include <string>
#include <string_view>

inline char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCase(std::string_view s);
std::string UpperCase(std::string_view s);

bool SameText(std::string_view a, std::string_view b);
// True when text begins with prefix, compared without regard to case.
bool StartsText(std::string_view prefix, std::string_view text);

// Blanks and control characters: everything up to the space.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
std::string Trim(std::string_view s);
