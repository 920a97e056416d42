#include "platform/linux/fileregistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace platform::native {
namespace {

std::string encode(std::string_view text, std::string_view special) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '%' || special.find(c) != std::string_view::npos) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> decode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexDigit(text[i + 1]), low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<std::uint32_t> parseInteger(std::string_view text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

// Writes the whole file next to its final place, then renames it over.
bool replaceFile(const std::string& path, const std::string& content) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec) return false;
        ::chmod(folder.c_str(), 0700);
    }
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // owner-only
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool written = done == content.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

FileRegistry::FileRegistry(std::string path) : path_(std::move(path)) { load(); }

void FileRegistry::load() {
    std::ifstream in(path_);
    std::optional<std::string> key;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            key = decode(std::string_view(line).substr(1, line.size() - 2));
            if (key) values_.createKey(*key);
            continue;
        }
        const auto equals = line.find('=');
        if (!key || line.size() < 3 || line[1] != ' ' || equals == std::string::npos) continue;
        const auto name = decode(std::string_view(line).substr(2, equals - 2));
        const std::string_view text = std::string_view(line).substr(equals + 1);
        if (!name) continue;
        if (line[0] == 's') {
            if (auto value = decode(text)) values_.write(*key, *name, *value);
        } else if (line[0] == 'i') {
            if (auto value = parseInteger(text)) values_.write(*key, *name, *value);
        }
    }
}

bool FileRegistry::save() const {
    std::string out;
    for (const auto& [normalised, key] : values_.keys()) {
        // Appended piecewise: "literal" + std::string&& trips a GCC 12 -Wrestrict false positive.
        out.append("[").append(encode(key.name, "]")).append("]\n");
        for (const auto& [lowerName, value] : key.values) {
            if (const auto* text = std::get_if<std::string>(&value.value))
                out.append("s ").append(encode(value.name, "=")).append("=").append(encode(*text, "")).append("\n");
            else
                out.append("i ").append(encode(value.name, "=")).append("=")
                    .append(std::to_string(std::get<std::uint32_t>(value.value))).append("\n");
        }
    }
    return replaceFile(path_, out);
}

bool FileRegistry::keyExists(const std::string& key) { return values_.keyExists(key); }

std::optional<std::string> FileRegistry::readString(const std::string& key, const std::string& name) {
    return values_.readString(key, name);
}

std::optional<std::uint32_t> FileRegistry::readInteger(const std::string& key, const std::string& name) {
    return values_.readInteger(key, name);
}

bool FileRegistry::writeString(const std::string& key, const std::string& name, const std::string& value) {
    values_.write(key, name, value);
    return save();
}

bool FileRegistry::writeInteger(const std::string& key, const std::string& name, std::uint32_t value) {
    values_.write(key, name, value);
    return save();
}

bool FileRegistry::deleteValue(const std::string& key, const std::string& name) {
    if (!values_.deleteValue(key, name)) return false;
    save();
    return true;
}

}  // namespace platform::native
