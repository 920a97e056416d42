#pragma once
// Line reading of text files through ten numbered slots (handles 1 to 10).
// Nothing here throws: failures are answered by the results (handle 0,
// position -1, end of file true). One lock serialises every slot.
//
// A line ends at CR or LF; one more CR or LF right after it is consumed too,
// so CR LF, LF CR, CR CR and LF LF each end one line.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Opens fileName (UTF-8) with a read buffer of bufSize bytes; 0 when no slot
// is free, the file does not open or bufSize is 0.
std::uint16_t TxtOpen(const std::string& fileName, std::uint16_t bufSize);
void TxtClose(std::uint16_t handle);
// True once a read into the buffer delivered nothing; true for a handle not open.
bool TxtEof(std::uint16_t handle);
// File position of the next unread character; -1 for a handle not open.
std::int32_t TxtPos(std::uint16_t handle);
void TxtSeek(std::uint16_t handle, std::int32_t pos);
// Reads the next line into dest, storing at most maxLen characters (and never
// more than dest holds; the rest of the line is dropped), without a
// terminating zero. Answers the count stored; 0 for a handle not open.
std::uint16_t TxtReadLn(std::uint16_t handle, std::span<char> dest, std::uint16_t maxLen);

// Every line of fileName, each cut at maxLen as TxtReadLn does; nullopt when
// the file does not open.
std::optional<std::vector<std::string>> TxtReadLines(const std::string& fileName, std::uint16_t bufSize,
                                                     std::uint16_t maxLen);
