#pragma once
// Taking single members out of zip archives.

#include <cstdint>
#include <string>

enum TZipExtractResult : std::int32_t {
    ZipExtracted = 0,
    ZipCannotOpen = 1,
    ZipExtractFailed = 2,
    ZipMemberNotFound = 3,
};

// Writes the member (name compared with case) of archive to destination,
// replacing it only once the member was read whole, so a failed extraction
// leaves destination as it was.
std::int32_t ExtractFileFromZip(const std::string& archive, const std::string& member,
                                const std::string& destination);
