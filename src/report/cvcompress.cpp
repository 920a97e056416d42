#include "report/cvcompress.h"

#include <zip.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

[[noreturn]] void Fail(const char* step, zip_error_t* error) {
    const std::string text = std::string(step) + ": " + zip_error_strerror(error);
    zip_error_fini(error);
    throw std::runtime_error(text);
}

std::string ReadWholeSource(zip_source_t* source) {
    std::string bytes;
    if (zip_source_open(source) < 0) throw std::runtime_error("zip: cannot reopen the archive");
    char chunk[65536];
    for (zip_int64_t n; (n = zip_source_read(source, chunk, sizeof chunk)) > 0;) bytes.append(chunk, static_cast<std::size_t>(n));
    zip_source_close(source);
    return bytes;
}

}  // namespace

std::string ZipString(const std::string& data) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!target) Fail("zip buffer", &error);
    const std::unique_ptr<zip_source_t, decltype(&zip_source_free)> targetOwner(target, zip_source_free);
    zip_source_keep(target);  // outlives the archive, which frees its reference at close
    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    if (!archive) Fail("zip open", &error);
    zip_source_t* entry = zip_source_buffer_create(data.data(), data.size(), 0, &error);
    if (!entry || zip_file_add(archive, "t", entry, ZIP_FL_OVERWRITE) < 0 ||
        zip_set_file_compression(archive, 0, ZIP_CM_DEFLATE, 9) < 0) {
        if (entry) zip_source_free(entry);
        zip_discard(archive);
        throw std::runtime_error("zip: cannot add the entry");
    }
    if (zip_close(archive) < 0) {
        const std::string text = zip_strerror(archive);
        zip_discard(archive);
        throw std::runtime_error("zip close: " + text);
    }
    zip_error_fini(&error);
    return ReadWholeSource(target);
}

std::string UnzipString(const std::string& packed) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(packed.data(), packed.size(), 0, &error);
    if (!source) Fail("unzip buffer", &error);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) {
        zip_source_free(source);
        Fail("unzip open", &error);
    }
    const std::unique_ptr<zip_t, decltype(&zip_discard)> owner(archive, zip_discard);
    std::string contents;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (!file) throw std::runtime_error("unzip: cannot open an entry");
        char chunk[65536];
        zip_int64_t n = 0;
        while ((n = zip_fread(file, chunk, sizeof chunk)) > 0) contents.append(chunk, static_cast<std::size_t>(n));
        zip_fclose(file);
        if (n < 0) throw std::runtime_error("unzip: damaged entry");
    }
    zip_error_fini(&error);
    return contents;
}
