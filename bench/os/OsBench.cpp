// Speed of the settings stores, process starts and file information, each beside a reference
// measured in the same run where the requirement is relative.

#include "platform/os/IniFiles.h"
#include "platform/os/Processes.h"
#include "platform/os/Registry.h"
#include "platform/os/ShellFileInfo.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// A private folder for the run, removed at exit.
struct TBenchFolder {
    std::string Path;
    TBenchFolder()
    {
        char pattern[] = "/tmp/tess-os-bench-XXXXXX";
        const char* made = mkdtemp(pattern);
        Path = made != nullptr ? made : "";
    }
    ~TBenchFolder()
    {
        std::error_code ignored;
        if (!Path.empty())
            std::filesystem::remove_all(Path, ignored);
    }
};

const std::string& BenchFolder()
{
    static const TBenchFolder folder;
    return folder.Path;
}

// Seconds python3 needs for a snippet, timed by python itself.
double PythonSeconds(const std::string& setup, const std::string& statement, int repeats)
{
    const std::string script = BenchFolder() + "/timing.py";
    std::ofstream(script) << "import time,configparser,subprocess\n"
                          << setup << "\n"
                          << "t=time.perf_counter()\n"
                          << "for _ in range(" << repeats << "):\n    " << statement << "\n"
                          << "print(time.perf_counter()-t)\n";
    FILE* pipe = popen(("python3 " + script).c_str(), "r");
    double seconds = 0;
    if (pipe != nullptr) {
        if (std::fscanf(pipe, "%lf", &seconds) != 1)
            seconds = 0;
        pclose(pipe);
    }
    return seconds;
}

void FillRegistry()
{
    static bool filled = false;
    if (filled)
        return;
    filled = true;
    SetRegistryFile(BenchFolder() + "/registry.reg");
    TRegistry reg;
    for (int k = 0; k < 1000; ++k) {
        const std::string key = "\\Software\\Ventisca\\Gruppo" + std::to_string(k / 100) + "\\Chiave" + std::to_string(k);
        reg.OpenKey(key, true);
        for (int v = 0; v < 10; ++v)
            reg.WriteString("Valore" + std::to_string(v), "contenuto numero " + std::to_string(k * 10 + v));
    }
    reg.CloseKey();
}

void RegistryOpenReadClose(benchmark::State& state)
{
    FillRegistry();
    TRegistry reg;
    int k = 0;
    for (auto _ : state) {
        const std::string key = "\\Software\\Ventisca\\Gruppo" + std::to_string(k / 100) + "\\Chiave" + std::to_string(k);
        reg.OpenKey(key, false);
        benchmark::DoNotOptimize(reg.ReadString("Valore3"));
        reg.CloseKey();
        k = (k + 1) % 1000;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RegistryOpenReadClose);

void RegistrySave(benchmark::State& state)
{
    FillRegistry();
    TRegistry reg;
    reg.OpenKey("\\Software\\Ventisca\\Gruppo1\\Chiave150", false);
    int n = 0;
    for (auto _ : state) {
        reg.WriteString("Contatore", std::to_string(++n));
        if (!TRegistryStore::Instance().Save())
            state.SkipWithError("save failed");
    }
    state.SetLabel("1,000 keys, 10,000 values, fsync included");
}
BENCHMARK(RegistrySave)->Unit(benchmark::kMillisecond);

const std::string& IniFile()
{
    static const std::string path = [] {
        const std::string file = BenchFolder() + "/grande.ini";
        std::ofstream out(file, std::ios::binary);
        for (int s = 0; s < 500; ++s) {
            out << "[Ventisca,Tessellarium,Sezione" << s << "]\r\n";
            for (int k = 0; k < 10; ++k)
                out << "Chiave" << k << "=valore " << s << "." << k << "\r\n";
            out << "\r\n";
        }
        return file;
    }();
    return path;
}

void IniReadString(benchmark::State& state)
{
    TIniFile ini(IniFile());
    int n = 0;
    for (auto _ : state) {
        const std::string section = "Ventisca,Tessellarium,Sezione" + std::to_string(n % 500);
        benchmark::DoNotOptimize(ini.ReadString(section, "Chiave7", ""));
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(IniReadString);

void IniParse(benchmark::State& state)
{
    const std::string file = IniFile();
    for (auto _ : state) {
        TIniFile ini(file);
        benchmark::DoNotOptimize(ini.ReadString("Ventisca,Tessellarium,Sezione1", "Chiave1", ""));
    }
    const int repeats = 20;
    const double python = PythonSeconds("", "c=configparser.ConfigParser(interpolation=None,strict=False,delimiters=('=',)); "
                                            "c.optionxform=str; c.read('" + file + "',encoding='cp1252')", repeats);
    state.counters["python_ms"] = python * 1000 / repeats;
}
BENCHMARK(IniParse)->Unit(benchmark::kMillisecond);

void IniWriteString(benchmark::State& state)
{
    const std::string file = BenchFolder() + "/scrittura.ini";
    std::filesystem::copy_file(IniFile(), file, std::filesystem::copy_options::overwrite_existing);
    TIniFile ini(file);
    int n = 0;
    for (auto _ : state)
        ini.WriteString("Ventisca,Tessellarium,Sezione250", "Chiave5", std::to_string(++n));
}
BENCHMARK(IniWriteString)->Unit(benchmark::kMillisecond);

void StartAndWaitTrue(benchmark::State& state)
{
    for (auto _ : state) {
        std::string commandLine = "/bin/true";
        PROCESS_INFORMATION info;
        STARTUPINFOA startup;
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            state.SkipWithError("start failed");
            break;
        }
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    const int repeats = 300;
    state.counters["python_ms"] = PythonSeconds("", "subprocess.run(['/bin/true'])", repeats) * 1000 / repeats;
}
BENCHMARK(StartAndWaitTrue)->Unit(benchmark::kMillisecond)->Iterations(1000);

void FileInformation(benchmark::State& state)
{
    const std::string folder = BenchFolder() + "/allegati";
    static const char* extensions[] = {"pdf", "txt", "doc", "xls", "jpg", "png", "zip", "html", "csv", "xml",
                                       "odt", "ods", "rtf", "gif", "bmp", "mp3", "eml", "json", "svg", "tar"};
    std::filesystem::create_directories(folder);
    std::vector<std::string> files;
    for (int i = 0; i < 1000; ++i) {
        files.push_back(folder + "/file" + std::to_string(i) + "." + extensions[i % 20]);
        std::ofstream(files.back()) << "x";
    }
    for (auto _ : state) {
        for (const std::string& file : files) {
            SHFILEINFOA info;
            benchmark::DoNotOptimize(SHGetFileInfoA(file.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_TYPENAME));
        }
    }
    state.SetLabel("1,000 files of 20 extensions per iteration");
}
BENCHMARK(FileInformation)->Unit(benchmark::kMillisecond);

} // namespace
