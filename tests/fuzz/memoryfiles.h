#pragma once
// Targets whose code under test reads and writes real files keep them in a
// memory file system where the system has one: a synced write to disk costs
// more than everything else an input does. Call before the first temporary
// folder is made.
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fuzzsupport {

inline void KeepTempFilesInMemory() {
    std::error_code error;
    if (!std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm", error)) ::setenv("TMPDIR", "/dev/shm", 0);
}

}  // namespace fuzzsupport
