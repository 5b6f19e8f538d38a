#include "platform/os/Processes.h"

#include "TestEnvironment.h"
#include "platform/rtl/SysErrors.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

class Processes : public testing::Test {
protected:
    void SetUp() override { folder = NewTestFolder("proc"); }
    std::string folder;

    // Runs a command line to its end and returns the exit code.
    DWORD Run(std::string commandLine, const char* directory = nullptr)
    {
        PROCESS_INFORMATION info;
        STARTUPINFOA startup;
        startup.cb = sizeof startup;
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &startup,
                            &info))
            return 0xDEAD0000 | GetLastError();
        EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return code;
    }

    void WriteScript(const std::string& path, const std::string& body)
    {
        WriteTestFile(path, "#!/bin/sh\n" + body);
        chmod(path.c_str(), 0755);
    }
};

std::string Unhex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 1; i + 1 < hex.size(); i += 2) // after the leading marker
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

} // namespace

TEST(CommandLines, HandVectors)
{
    struct Case {
        std::string Text;
        std::vector<std::string> Arguments;
    };
    const Case cases[] = {
        {R"("abc" d e)", {"abc", "d", "e"}},
        {R"(a\\b d"e f"g h)", {R"(a\\b)", "de fg", "h"}},
        {R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},
        {R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
        {R"(a"b"" c d)", {R"(ab" c d)"}},
        {R"("non chiusa  fino alla fine)", {"non chiusa  fino alla fine"}},
        {R"("" x)", {"", "x"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> expected{"prog"};
        expected.insert(expected.end(), c.Arguments.begin(), c.Arguments.end());
        EXPECT_EQ(SplitWindowsCommandLine("prog " + c.Text), expected) << c.Text;
    }
    EXPECT_EQ(SplitWindowsCommandLine(R"("C:\Program Files\a.exe" x)"),
              (std::vector<std::string>{R"(C:\Program Files\a.exe)", "x"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"(C:\dir\ "x")"), (std::vector<std::string>{R"(C:\dir\)", "x"}));
    EXPECT_TRUE(SplitWindowsCommandLine("   ").empty());
}

TEST(CommandLines, RoundTripWithPythonList2cmdline)
{
    const std::string folder = NewTestFolder("cmdline");
    const std::string script =
        "import random,subprocess\n"
        "random=random.Random(7)\n"
        "alphabet=[chr(c) for c in range(33,127)]+[' ',' ','\\t','\"','\"','\\\\','\\\\','\\\\']\n"
        "for _ in range(10000):\n"
        "    args=[]\n"
        "    for k in range(random.randint(1,5)):\n"
        "        a=''.join(random.choice(alphabet) for _ in range(random.randint(0,8)))\n"
        "        if k==0:\n"
        "            a=a.replace('\"','')\n"
        "            if a=='' or ((' ' in a or '\\t' in a) and a.endswith('\\\\')): a='prog'\n"
        "        args.append(a)\n"
        "    line=subprocess.list2cmdline(args)\n"
        "    print(str(len(args))+' '+' '.join('x'+x.encode().hex() for x in args+[line]))\n";
    WriteTestFile(folder + "/gen.py", script);
    std::istringstream cases(RunCommand("python3 '" + folder + "/gen.py'"));
    std::string row;
    int count = 0;
    while (std::getline(cases, row)) {
        std::istringstream fields(row);
        size_t n = 0;
        fields >> n;
        std::vector<std::string> arguments(n);
        for (std::string& argument : arguments) {
            std::string hex;
            fields >> hex;
            argument = Unhex(hex);
        }
        std::string lineHex;
        fields >> lineHex;
        const std::string line = Unhex(lineHex);
        ASSERT_EQ(JoinWindowsCommandLine(arguments), line);
        ASSERT_EQ(SplitWindowsCommandLine(line), arguments) << line;
        ++count;
    }
    EXPECT_EQ(count, 10000);
}

TEST_F(Processes, ExitCodesSignalsAndMissingPrograms)
{
    EXPECT_EQ(Run("sh -c \"exit 3\""), 3u);
    EXPECT_EQ(Run("sh -c \"kill -9 $$\""), 137u);
    EXPECT_EQ(Run("questo_programma_non_esiste_davvero"), 0xDEAD0000 | 2u);
    char text[64];
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, text, sizeof text, nullptr);
    EXPECT_STREQ(text, "Il file indicato non esiste.\r\n");
    EXPECT_EQ(Run(""), 0xDEAD0000 | 2u);
    EXPECT_EQ(Run(folder + "/manca/prog"), 0xDEAD0000 | 3u);
}

TEST_F(Processes, WindowsProgramNamesAndWorkingFolder)
{
    std::filesystem::create_directory(folder + "/Help");
    WriteScript(folder + "/Help/Guidello", "pwd > \"$1\"\n");
    const std::string output = folder + "/pagina.txt";
    EXPECT_EQ(Run(folder + "\\HELP\\Guidello.exe \"" + output + "\"", "/tmp"), 0u);
    EXPECT_EQ(ReadTestFile(output), "/tmp\n");

    WriteTestFile(folder + "/windows.exe", "MZ\x90\x00");
    chmod((folder + "/windows.exe").c_str(), 0755);
    EXPECT_EQ(Run(folder + "/windows.exe"), 0xDEAD0000 | 193u);
}

TEST_F(Processes, TheChildGetsTheEnvironmentBlock)
{
    const std::string output = folder + "/env.txt";
    std::string commandLine = "/bin/sh -c \"printf '%s|%s' \\\"$VALUTA\\\" \\\"$HOME\\\" > '" + output + "'\"";
    const char block[] = "VALUTA=\x80\0ALTRO=1\0";
    PROCESS_INFORMATION info;
    STARTUPINFOA startup;
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, const_cast<char*>(block),
                               nullptr, &startup, &info));
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    EXPECT_EQ(ReadTestFile(output), "\xE2\x82\xAC|");
}

TEST_F(Processes, WithoutInheritanceTheChildSeesOnlyTheStandardDescriptors)
{
    const int leaked = open("/dev/null", O_RDONLY); // deliberately without close-on-exec
    ASSERT_GE(leaked, 3);
    const std::string output = folder + "/fd.txt";
    EXPECT_EQ(Run("sh -c \"exec > '" + output + "'; ls /proc/$$/fd\""), 0u);
    EXPECT_EQ(ReadTestFile(output), "0\n1\n2\n");
    close(leaked);
}

TEST_F(Processes, AnUnquotedProgramPathWithBlanksIsReadAsWindowsReadsIt)
{
    const std::string base = folder + "/Mio Programma";
    std::filesystem::create_directories(base + "/Help");
    WriteScript(base + "/Help/Guidello", "printf '%s|' \"$@\" > \"$(dirname \"$0\")/argomenti.txt\"\n");
    const std::string page = base + "/Help/Form Prova.htm";
    EXPECT_EQ(Run(base + "\\Help\\Guidello.exe \"" + page + "\" secondo"), 0u);
    EXPECT_EQ(ReadTestFile(base + "/Help/argomenti.txt"), page + "|secondo|");

    // The shortest prefix that names a program wins.
    WriteScript(folder + "/Mio", "exit 7\n");
    EXPECT_EQ(Run(base + "/Help/Guidello \"x\""), 7u);
    // Nothing on the line names a program: the first token's error stands.
    EXPECT_EQ(Run(folder + "/Nessun Programma qui"), 0xDEAD0000 | 2u);
}

TEST_F(Processes, ClosingARunningChildLeavesNoZombie)
{
    std::string commandLine = "sleep 0.2";
    PROCESS_INFORMATION info;
    STARTUPINFOA startup;
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 10), WAIT_TIMEOUT);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(info.dwProcessId)));
}

TEST_F(Processes, WaitingKeepsTheEventLoopRunningWithoutSpinning)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    std::string commandLine = "sleep 1";
    PROCESS_INFORMATION info;
    STARTUPINFOA startup;
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    rusage before {};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForProcessWhileProcessingEvents(info.hProcess, [] { return false; }), 0u);
    const auto waited = std::chrono::steady_clock::now() - start;
    rusage after {};
    getrusage(RUSAGE_SELF, &after);
    const double userSeconds = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                               (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e6;
    EXPECT_GE(ticks, 5);
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(userSeconds, 0.4);
    CloseHandle(info.hProcess);

    commandLine = "sleep 5";
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    int calls = 0;
    EXPECT_EQ(WaitForProcessWhileProcessingEvents(info.hProcess, [&] { return ++calls > 3; }), 259u);
    CloseHandle(info.hProcess);
}
