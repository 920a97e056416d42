#pragma once
// Configuration files are replaced whole: the new text goes to a temporary
// file in the same folder, created owner-only, which is then renamed over the
// old file, so a failed write (full disk, read-only folder) leaves the old
// file as it was.

#include <string>
#include <string_view>

// False when anything failed; the old file is then untouched.
bool ReplaceFileContents(const std::string& path, std::string_view content);
