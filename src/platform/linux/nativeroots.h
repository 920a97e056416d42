#pragma once
// The folders the native backend reads the machine from. Tests point them at
// a temporary folder, so every route and every refusal runs on any machine.

#include <string>

namespace platform::native {

struct NativeRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
    std::string proc = "/proc";
};

}  // namespace platform::native
