#include "core/cvcipher.h"

#include <nettle/base64.h>
#include <nettle/blowfish.h>
#include <nettle/cfb.h>
#include <nettle/sha1.h>

#include <array>
#include <cstdint>
#include <vector>

#include "base/cvformat.h"

namespace {

// 21 bytes, some of them unprintable so the phrase does not show up as text.
constexpr char PassPhraseBytes[] = "\x13" "Cald" "\x02" "av0r" "\x1F" "~pRm" "\x07" "s#cfg";
constexpr std::string_view PassPhrase{PassPhraseBytes, sizeof(PassPhraseBytes) - 1};
static_assert(PassPhrase.size() == 21);

using TBlock = std::array<std::uint8_t, BLOWFISH_BLOCK_SIZE>;

class TValueCipher {
public:
    explicit TValueCipher(std::string_view passPhrase) {
        std::array<std::uint8_t, SHA1_DIGEST_SIZE> key{};
        sha1_ctx sha;
        sha1_init(&sha);
        sha1_update(&sha, passPhrase.size(), reinterpret_cast<const std::uint8_t*>(passPhrase.data()));
        sha1_digest(&sha, key.size(), key.data());
        // A weak key only makes Blowfish weaker; the schedule is complete either way.
        (void)blowfish_set_key(&ctx_, key.size(), key.data());
        iv_.fill(0);
        blowfish_encrypt(&ctx_, iv_.size(), iv_.data(), iv_.data());
    }

    std::vector<std::uint8_t> Encrypt(std::string_view plain) const {
        std::vector<std::uint8_t> out(plain.size());
        TBlock iv = iv_;
        cfb8_encrypt(&ctx_, Cipher(), iv.size(), iv.data(), plain.size(), out.data(),
                     reinterpret_cast<const std::uint8_t*>(plain.data()));
        return out;
    }

    std::string Decrypt(const std::vector<std::uint8_t>& cipher) const {
        std::string out(cipher.size(), '\0');
        TBlock iv = iv_;
        cfb8_decrypt(&ctx_, Cipher(), iv.size(), iv.data(), cipher.size(), reinterpret_cast<std::uint8_t*>(out.data()),
                     cipher.data());
        return out;
    }

private:
    static nettle_cipher_func* Cipher() { return reinterpret_cast<nettle_cipher_func*>(&blowfish_encrypt); }

    blowfish_ctx ctx_{};
    TBlock iv_{};
};

std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text) {
    std::vector<std::uint8_t> out(BASE64_DECODE_LENGTH(text.size()) + 1);
    base64_decode_ctx ctx;
    base64_decode_init(&ctx);
    std::size_t length = 0;
    if (!base64_decode_update(&ctx, &length, out.data(), text.size(), text.data()) || !base64_decode_final(&ctx))
        return std::nullopt;
    out.resize(length);
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The key schedule costs more than a value's whole encryption; the program's
// own phrase is scheduled once.
const TValueCipher& ProgramCipher() {
    static const TValueCipher cipher(PassPhrase);
    return cipher;
}

std::string EncryptWith(const TValueCipher& cipher, std::string_view plain) {
    std::string out;
    const std::vector<std::uint8_t> bytes = cipher.Encrypt(plain);
    for (unsigned char c : Base64Encode({reinterpret_cast<const char*>(bytes.data()), bytes.size()}))
        out += cvformat::Format("%.2x", {static_cast<unsigned>(c)}, cvformat::Invariant());
    return out;
}

std::optional<std::string> DecryptWith(const TValueCipher& cipher, std::string_view text) {
    std::string base64;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        base64 += static_cast<char>(high * 16 + low);
    }
    auto bytes = Base64Decode(base64);
    if (!bytes) return std::nullopt;
    return cipher.Decrypt(*bytes);
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string out(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
    base64_encode_raw(out.data(), bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    return out;
}

std::string EncryptOptionValue(std::string_view plain, std::string_view passPhrase) {
    return EncryptWith(TValueCipher(passPhrase), plain);
}

std::optional<std::string> DecryptOptionValue(std::string_view text, std::string_view passPhrase) {
    return DecryptWith(TValueCipher(passPhrase), text);
}

std::string EncryptOptionValue(std::string_view plain) { return EncryptWith(ProgramCipher(), plain); }

std::optional<std::string> DecryptOptionValue(std::string_view text) { return DecryptWith(ProgramCipher(), text); }
