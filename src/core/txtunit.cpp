#include "core/txtunit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <mutex>
#include <new>
#include <vector>

namespace {

struct TxtSlot {
    bool Open = false;
    int Fd = -1;
    std::vector<char> Buffer;
    std::int64_t BufStart = 0;
    int BytesInBuffer = 0;
    int Cursor = 1;  // 1-based position of the next character in Buffer
    bool Eof = false;
};

constexpr std::size_t SlotCount = 10;

std::mutex TxtLock;
std::array<TxtSlot, SlotCount> TxtSlots;

TxtSlot* OpenSlot(std::uint16_t handle) {
    if (handle < 1 || handle > SlotCount) return nullptr;
    TxtSlot& slot = TxtSlots[handle - 1];
    return slot.Open ? &slot : nullptr;
}

void Fill(TxtSlot& slot, std::int64_t pos) {
    ssize_t n;
    do {
        n = ::pread(slot.Fd, slot.Buffer.data(), slot.Buffer.size(), static_cast<off_t>(pos));
    } while (n < 0 && errno == EINTR);
    slot.BufStart = pos;
    slot.BytesInBuffer = n > 0 ? static_cast<int>(n) : 0;
    slot.Cursor = 1;
    slot.Eof = slot.BytesInBuffer == 0;
}

// The next character without consuming it, refilling the buffer when it is used up.
bool Peek(TxtSlot& slot, char& c) {
    if (slot.Cursor > slot.BytesInBuffer) {
        Fill(slot, slot.BufStart + slot.BytesInBuffer);
        if (slot.BytesInBuffer == 0) return false;
    }
    c = slot.Buffer[slot.Cursor - 1];
    return true;
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::uint16_t TxtOpen(const std::string& fileName, std::uint16_t bufSize) {
    std::lock_guard lock(TxtLock);
    auto free = std::find_if(TxtSlots.begin(), TxtSlots.end(), [](const TxtSlot& s) { return !s.Open; });
    if (free == TxtSlots.end() || bufSize == 0) return 0;

    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return 0;
    }
    try {
        free->Buffer.assign(bufSize, 0);
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return 0;
    }
    free->Fd = fd;
    free->Open = true;
    Fill(*free, 0);
    return static_cast<std::uint16_t>(free - TxtSlots.begin() + 1);
}

void TxtClose(std::uint16_t handle) {
    std::lock_guard lock(TxtLock);
    TxtSlot* slot = OpenSlot(handle);
    if (!slot) return;
    ::close(slot->Fd);
    *slot = TxtSlot{};
}

bool TxtEof(std::uint16_t handle) {
    std::lock_guard lock(TxtLock);
    const TxtSlot* slot = OpenSlot(handle);
    return !slot || slot->Eof;
}

std::int32_t TxtPos(std::uint16_t handle) {
    std::lock_guard lock(TxtLock);
    const TxtSlot* slot = OpenSlot(handle);
    return slot ? static_cast<std::int32_t>(slot->BufStart + slot->Cursor - 1) : -1;
}

void TxtSeek(std::uint16_t handle, std::int32_t pos) {
    std::lock_guard lock(TxtLock);
    TxtSlot* slot = OpenSlot(handle);
    if (!slot || pos < 0) return;
    if (pos >= slot->BufStart && pos <= slot->BufStart + slot->BytesInBuffer - 1)
        slot->Cursor = static_cast<int>(pos - slot->BufStart) + 1;
    else
        Fill(*slot, pos);
}

std::uint16_t TxtReadLn(std::uint16_t handle, std::span<char> dest, std::uint16_t maxLen) {
    std::lock_guard lock(TxtLock);
    TxtSlot* slot = OpenSlot(handle);
    if (!slot) return 0;
    const std::size_t limit = std::min<std::size_t>(maxLen, dest.size());
    std::size_t count = 0;
    char c;
    while (Peek(*slot, c)) {
        ++slot->Cursor;
        if (IsLineEnd(c)) {
            if (Peek(*slot, c) && IsLineEnd(c)) ++slot->Cursor;
            // Look ahead once more so that end of file shows right after the last line.
            Peek(*slot, c);
            break;
        }
        if (count < limit) dest[count++] = c;
    }
    return static_cast<std::uint16_t>(count);
}

std::optional<std::vector<std::string>> TxtReadLines(const std::string& fileName, std::uint16_t bufSize,
                                                     std::uint16_t maxLen) {
    const std::uint16_t handle = TxtOpen(fileName, bufSize);
    if (handle == 0) return std::nullopt;
    std::vector<std::string> lines;
    std::vector<char> buffer(maxLen);
    while (!TxtEof(handle)) lines.emplace_back(buffer.data(), TxtReadLn(handle, buffer, maxLen));
    TxtClose(handle);
    return lines;
}
