#pragma once
// ASCII case and blank helpers for the texts the program reads: keys, names
// and keywords compare without regard to case, never by locale rules.

#include <string>
#include <string_view>

inline char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string LowerCase(std::string_view s) {
    std::string result(s);
    for (char& c : result) c = LowerChar(c);
    return result;
}

inline bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

// Blanks and control characters: everything up to the space.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

inline std::string TrimRight(std::string s) {
    while (!s.empty() && IsBlank(s.back())) s.pop_back();
    return s;
}

inline std::string TrimLeft(std::string s) {
    std::size_t first = 0;
    while (first < s.size() && IsBlank(s[first])) ++first;
    return s.erase(0, first);
}

inline std::string Trim(std::string s) { return TrimLeft(TrimRight(std::move(s))); }
