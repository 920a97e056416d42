#pragma once
// Case changes for names the system compares without regard to case (device
// paths, registry keys, environment names): ASCII letters only.

#include <string>

namespace platform {

std::string asciiLower(std::string s);
std::string asciiUpper(std::string s);

}  // namespace platform
