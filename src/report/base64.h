#pragma once
// Decoding of the Base64 texts the maker's web services send.

#include <stdexcept>
#include <string>

class EBase64Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The bytes of one unbroken Base64 text. Only the alphabet is accepted, and
// "=" only as one or two final pads; anything else throws EBase64Error.
std::string Base64ToStr(const std::string& text);
