#pragma once
// Named shared memory through POSIX shm: created for the user with mode 0644,
// so other users' programs may read it but never write it.

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace platform::native {

// `name` without the leading "/".
SharedMemoryOpenResult openPosixSharedMemory(const std::string& name, std::size_t size);

}  // namespace platform::native
