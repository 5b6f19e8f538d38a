#pragma once
// Path helpers of the CAB archiver. Paths use "\" as the cabinet does; "/" is accepted too.

#include <cstdint>
#include <string>

// Drops one leading backslash unless the path starts with two, and one trailing backslash.
std::string NormalizePath(const std::string& path);
// The normalized folder + "\" + the normalized name.
std::string JoinPath(const std::string& folder, const std::string& name);
// The size of the file (any attributes), or -1 when nothing is found.
std::int64_t FileSizeOf(const std::string& fileName);
// Creates every folder level of the normalized path and the path itself; failures are left to the
// caller, which checks that the folder exists. Always true.
bool CreateFolderPath(const std::string& path);
