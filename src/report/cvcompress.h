#pragma once
// Packing byte strings into zip archives in memory, for the report's
// firmware tables.

#include <string>

// A standard zip archive holding Data as its one deflated entry "t".
// Throws std::runtime_error when the zip library fails.
std::string ZipString(const std::string& data);
// Every entry's content, one after the other. Throws on a damaged archive.
std::string UnzipString(const std::string& archive);
