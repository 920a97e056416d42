#pragma once
// The encryption of the secret values of the options file (proxy, mail
// profiles): Blowfish keyed with the SHA-1 digest of a fixed pass phrase,
// 8-bit CFB from the encryption of a zero block, Base64, and each Base64
// character written as two upper-case hexadecimal digits.

#include <optional>
#include <string>
#include <string_view>

std::string EncryptOptionValue(std::string_view plain);
// Standard Base64 with padding.
std::string Base64Encode(std::string_view bytes);
// nullopt when the text is no hexadecimal pair list or no Base64.
std::optional<std::string> DecryptOptionValue(std::string_view text);

// The same with another pass phrase.
std::string EncryptOptionValue(std::string_view plain, std::string_view passPhrase);
std::optional<std::string> DecryptOptionValue(std::string_view text, std::string_view passPhrase);
