#include "core/cvzipfile.h"

#include <zip.h>

#include <memory>

#include "core/cvsafefile.h"

namespace {

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

}  // namespace

std::int32_t ExtractFileFromZip(const std::string& archive, const std::string& member,
                                const std::string& destination) {
    int error = 0;
    std::unique_ptr<zip_t, ZipCloser> zip(zip_open(archive.c_str(), ZIP_RDONLY, &error));
    if (!zip) return ZipCannotOpen;
    const zip_int64_t index = zip_name_locate(zip.get(), member.c_str(), 0);
    if (index < 0) return ZipMemberNotFound;
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(zip.get(), static_cast<zip_uint64_t>(index), 0));
    if (!file) return ZipExtractFailed;

    // Members are configuration files: anything larger is not one of ours.
    constexpr std::size_t maxMemberSize = 16u << 20;
    std::string data;
    char buffer[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
        if (n < 0) return ZipExtractFailed;
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
        if (data.size() > maxMemberSize) return ZipExtractFailed;
    }
    return ReplaceFileContents(destination, data) ? ZipExtracted : ZipExtractFailed;
}
