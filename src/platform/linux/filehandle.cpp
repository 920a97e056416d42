#include "platform/linux/filehandle.h"

#include <fcntl.h>

#include <cerrno>
#include <system_error>

namespace platform::native {

std::string systemReason(int error) { return std::system_category().message(error); }

std::optional<std::string> readSmallFile(const std::string& path) {
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file) return std::nullopt;
    std::string text;
    char buffer[4096];
    // Kernel files tell their size only by being read; a cap keeps a wrong path harmless.
    while (text.size() < (1u << 20)) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

}  // namespace platform::native
