#pragma once
// The private folders every test of this folder runs in, so that no test touches the real
// user's files.

#include <string>

// The root of the private tree: HOME, the XDG folders and TMPDIR all live below it.
const std::string& TestRoot();
// A new empty folder below the root, for one test.
std::string NewTestFolder(const std::string& name);
// Writes bytes to a file (UTF-8 path), creating it.
void WriteTestFile(const std::string& path, const std::string& bytes);
std::string ReadTestFile(const std::string& path);
// Runs a shell command and returns its standard output.
std::string RunCommand(const std::string& command);
