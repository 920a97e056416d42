#pragma once
// Named shared memory through POSIX shm (files of `dir`, /dev/shm): created
// for the user with mode 0644, so other users' programs may read it but
// never write it.

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace platform::native {

// `name` without the leading "/".
SharedMemoryOpenResult openPosixSharedMemory(const std::string& dir, const std::string& name, std::size_t size);
void removePosixSharedMemory(const std::string& dir, const std::string& name);

}  // namespace platform::native
