#include "platform/rtl/System.h"

#include "platform/rtl/Codepage.h"

#include <chrono>
#include <cstdint>
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
        return Utf8ToAnsi(path.string());
    return argv0 ? Utf8ToAnsi(argv0) : "";
}

} // namespace

// The system hands over UTF-8; inside the program every text is Windows-1252.
void SetCommandLine(int argc, const char* const* argv)
{
    auto& arguments = Arguments();
    arguments.clear();
    arguments.push_back(OwnExecutablePath(argc > 0 ? argv[0] : nullptr));
    for (int i = 1; i < argc; ++i)
        arguments.push_back(Utf8ToAnsi(argv[i] ? argv[i] : ""));
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

int RandSeed = 0;

void Randomize()
{
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch();
    RandSeed = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(ticks).count());
}

int Random(int range)
{
    // A linear congruential step on the 32-bit state; the high half of state * range is the result.
    auto state = static_cast<std::uint32_t>(RandSeed);
    state = state * 0x08088405u + 1u;
    RandSeed = static_cast<int>(state);
    if (range <= 0)
        return 0;
    return static_cast<int>((static_cast<std::uint64_t>(state) * static_cast<std::uint32_t>(range)) >> 32);
}
