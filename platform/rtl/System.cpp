#include "platform/rtl/System.h"

#include <filesystem>
#include <vector>

namespace {

std::vector<std::string>& Arguments()
{
    static std::vector<std::string> arguments;
    return arguments;
}

std::string OwnExecutablePath(const char* argv0)
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        return path.string();
    return argv0 ? argv0 : "";
}

} // namespace

void SetCommandLine(int argc, const char* const* argv)
{
    auto& arguments = Arguments();
    arguments.clear();
    arguments.push_back(OwnExecutablePath(argc > 0 ? argv[0] : nullptr));
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
}

int ParamCount()
{
    const auto& arguments = Arguments();
    return arguments.empty() ? 0 : static_cast<int>(arguments.size()) - 1;
}

std::string ParamStr(int index)
{
    const auto& arguments = Arguments();
    if (index == 0 && arguments.empty())
        return OwnExecutablePath(nullptr);
    if (index < 0 || index >= static_cast<int>(arguments.size()))
        return "";
    return arguments[index];
}
