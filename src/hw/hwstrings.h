#pragma once
// Text helpers of the hardware layer, with Delphi's rules: Trim removes
// characters up to the blank from both ends; case changes touch ASCII only.

#include <string>

namespace hw {

std::string Trim(const std::string& s);
std::string UpperCase(std::string s);
std::string LowerCase(std::string s);

}  // namespace hw
