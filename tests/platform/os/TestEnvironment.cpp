#include "TestEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace {

struct TPrivateTree {
    std::string Root;
    int Counter = 0;

    TPrivateTree()
    {
        // A child started by a test inherits the tree of its parent.
        if (const char* inherited = std::getenv("TESS_OS_TEST_ROOT")) {
            Root = inherited;
            return;
        }
        char pattern[] = "/tmp/tess-os-test-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            throw std::runtime_error("cannot create the test folder");
        Root = pattern;
        owner = true;
        const char* folders[][2] = {{"HOME", "/home"},
                                    {"XDG_CONFIG_HOME", "/home/.config"},
                                    {"XDG_DATA_HOME", "/home/.local/share"},
                                    {"XDG_CACHE_HOME", "/home/.cache"},
                                    {"TMPDIR", "/tmp"}};
        for (const auto& folder : folders) {
            const std::string path = Root + folder[1];
            std::filesystem::create_directories(path);
            setenv(folder[0], path.c_str(), 1);
        }
        unsetenv("TESSELLARIUM_REGISTRY");
        setenv("TESS_OS_TEST_ROOT", Root.c_str(), 1);
    }

    ~TPrivateTree()
    {
        if (owner) {
            std::error_code ignored;
            std::filesystem::permissions(Root, std::filesystem::perms::owner_all, ignored);
            std::filesystem::remove_all(Root, ignored);
        }
    }

    bool owner = false;
};

TPrivateTree& Tree()
{
    static TPrivateTree tree;
    return tree;
}

// Set the environment up before any test or static object of the layer reads it.
const bool treeReady = (Tree(), true);

} // namespace

const std::string& TestRoot()
{
    return Tree().Root;
}

std::string NewTestFolder(const std::string& name)
{
    const std::string path =
        TestRoot() + "/work/" + name + "-" + std::to_string(getpid()) + "-" + std::to_string(++Tree().Counter);
    std::filesystem::create_directories(path);
    return path;
}

void WriteTestFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadTestFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    pclose(pipe);
    return output;
}
