#pragma once
// Configuration files are replaced whole: the new text goes to a temporary
// file in the same folder, which is then renamed over the old file, so a
// failed write (full disk, read-only folder) leaves the old file as it was.
// The new file keeps the mode and owner of the one it replaces, so a run as
// root never leaves a file that the user's next run cannot read.

#include <string>
#include <string_view>

// Who may read a file that did not exist before.
enum class TNewFileAccess {
    Readable,   // 0644
    OwnerOnly,  // 0600: the file holds secrets
};

// False when anything failed; the old file is then untouched.
bool ReplaceFileContents(const std::string& path, std::string_view content,
                         TNewFileAccess access = TNewFileAccess::Readable);
