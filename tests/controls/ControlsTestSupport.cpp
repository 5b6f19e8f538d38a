#include "ControlsTestSupport.h"

#include "platform/gui/Application.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

class TControlsEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "controls_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
        Application->Initialize();
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(ControlsScratchDir(), ignored);
    }
};

const testing::Environment* const controlsEnvironment =
    testing::AddGlobalTestEnvironment(new TControlsEnvironment);

void WriteWholeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

} // namespace

// The font configuration library keeps its caches for the life of the process; the leak checker
// of the sanitizer builds would report them at exit.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

std::string ControlsScratchDir()
{
    static const std::string folder = [] {
        const auto path = std::filesystem::temp_directory_path() / ("controls_tests_" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path.string();
    }();
    return folder;
}

std::string TestFolder()
{
    const std::string folder =
        ControlsScratchDir() + "/" + testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

std::string ControlsPictureDir()
{
    const char* folder = std::getenv("TESS_SCREENSHOT_DIR");
    return folder && *folder ? folder : ControlsScratchDir();
}

std::string RunPython(const std::string& script, const std::string& input)
{
    static int counter = 0;
    const std::string base = ControlsScratchDir() + "/peer" + std::to_string(++counter);
    WriteWholeFile(base + ".py", script);
    WriteWholeFile(base + ".in", input);
    const std::string command = "python3 '" + base + ".py' '" + base + ".in'";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        if (pclose(pipe) != 0)
            return {};
    }
    return output;
}

std::string RunShell(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}
