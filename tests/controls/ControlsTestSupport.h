#pragma once
// Shared pieces of the control library's tests: the application under Qt's offscreen platform,
// a scratch folder and python3 as the reference the results are compared with.

#include <string>

// A folder of its own for this test run, removed at the end.
std::string ControlsScratchDir();
// A fresh empty folder named after the running test, inside the scratch folder.
std::string TestFolder();
// Where pictures for a person to look at go: TESS_SCREENSHOT_DIR, else the scratch folder.
std::string ControlsPictureDir();
// Writes script and input to the scratch folder, runs python3 on them (the input's path is the
// script's first argument) and returns what the script printed. Empty when python3 fails.
std::string RunPython(const std::string& script, const std::string& input);
// The standard output of a shell command.
std::string RunShell(const std::string& command);
