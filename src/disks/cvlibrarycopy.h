#pragma once
// Copies of the vendor libraries the program carries: each is written once
// per run, under a numbered name in a private folder of the temporary
// folder, and loaded from there.

#include <string>

struct TLibraryCopy {
    const char* NamePattern;     // "%s" the folder, "%.5d" the number
    const char* ImageBlock;      // the platform's image
    const char* NoTempPathLine;  // traced when the system has no temporary folder
    std::string Remembered;      // the file written this run
};

// The temporary folder as the system reports it; empty when it has none.
std::string GetTempDir();
// The remembered file, or a new copy; empty when none could be made (the
// build carries no image, no usable folder, every number taken).
std::string CreateUniqueDLL(TLibraryCopy& copy);
// Program end: the copy is removed and forgotten.
void RemoveLibraryCopy(TLibraryCopy& copy);
