// A window's placement saved and restored in an INI file with two links attached, against writing
// and reading the same keys straight through TIniFile; and a message sent to a control watched
// by two hooks, against the same message to a control without hooks.

#include "controls/AppUtils.h"
#include "controls/ExHook.h"
#include "controls/Placemnt.h"
#include "platform/gui/Application.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/Formats.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr UINT PlacementBenchProbe = WM_USER + 31;

std::string PlacementBenchFile(const char* name)
{
    const auto folder = std::filesystem::temp_directory_path() / ("placement_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

void PlacementBenchStart()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
}

// A form with its placement and two links that keep two values each, as the check list box and
// the speed bar do.
struct TPlacementBenchForm {
    TForm* Form;
    TFormPlacement* Placement;
    TIniLink First;
    TIniLink Second;

    TPlacementBenchForm()
    {
        PlacementBenchStart();
        Form = new TForm(nullptr);
        Form->AfterConstruction();
        Form->SetBounds(100, 120, 640, 480);
        Placement = new TFormPlacement(Form);
        Placement->SetIniFileName(PlacementBenchFile("placement.ini"));
        Placement->SetIniSection("Form1");
        Form->Show();
        for (TIniLink* link : {&First, &Second}) {
            link->SetStorage(Placement);
            const std::string section = link == &First ? "Form1\\Lista" : "Form1\\Barra";
            link->OnSave = [link, section](TObject*) {
                IniWriteInteger(link->GetIniObject(), section, "Count", 3);
                IniWriteString(link->GetIniObject(), section, "Item0", "1,0,1");
            };
            link->OnLoad = [link, section](TObject*) {
                benchmark::DoNotOptimize(IniReadInteger(link->GetIniObject(), section, "Count", 0));
                benchmark::DoNotOptimize(IniReadString(link->GetIniObject(), section, "Item0", ""));
            };
        }
        Placement->RestoreFormPlacement();
    }
};

void BM_PlacementSaveRestore(benchmark::State& state)
{
    static TPlacementBenchForm bench;
    for (auto _ : state) {
        bench.Placement->SaveFormPlacement();
        bench.Placement->RestoreFormPlacement();
    }
}
BENCHMARK(BM_PlacementSaveRestore)->Unit(benchmark::kMicrosecond);

// The same keys, written and read straight through TIniFile.
void BM_PlacementSameKeysThroughIniFile(benchmark::State& state)
{
    PlacementBenchStart();
    const std::string path = PlacementBenchFile("direct.ini");
    const std::string suffix = Format("(%dx%d)", {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    for (auto _ : state) {
        {
            TIniFile ini(path);
            ini.WriteInteger("Form1", "FormVersion", 0);
            ini.WriteInteger("Form1", "Flags", 0);
            ini.WriteInteger("Form1", "ShowCmd", 1);
            ini.WriteInteger("Form1", "PixelsPerInch", 96);
            ini.WriteString("Form1", "MinMaxPos" + suffix, "-1,-1,-1,-1");
            ini.WriteString("Form1", "MinMaxPos", "-1,-1,-1,-1");
            ini.WriteString("Form1", "NormPos" + suffix, "100,120,740,600");
            ini.WriteString("Form1", "NormPos", "100,120,740,600");
            ini.WriteBool("Form1", "Visible", false);
            for (const char* section : {"Form1\\Lista", "Form1\\Barra"}) {
                ini.WriteInteger(section, "Count", 3);
                ini.WriteString(section, "Item0", "1,0,1");
            }
        }
        {
            TIniFile ini(path);
            benchmark::DoNotOptimize(ini.ReadInteger("Form1", "FormVersion", 0));
            benchmark::DoNotOptimize(ini.ReadInteger("Form1", "Flags", 0));
            benchmark::DoNotOptimize(ini.ReadString("Form1", "MinMaxPos" + suffix, ""));
            benchmark::DoNotOptimize(ini.ReadString("Form1", "NormPos" + suffix, ""));
            benchmark::DoNotOptimize(ini.ReadInteger("Form1", "PixelsPerInch", 96));
            benchmark::DoNotOptimize(ini.ReadInteger("Form1", "ShowCmd", 0));
            for (const char* section : {"Form1\\Lista", "Form1\\Barra"}) {
                benchmark::DoNotOptimize(ini.ReadInteger(section, "Count", 0));
                benchmark::DoNotOptimize(ini.ReadString(section, "Item0", ""));
            }
        }
    }
}
BENCHMARK(BM_PlacementSameKeysThroughIniFile)->Unit(benchmark::kMicrosecond);

// Two controls on one form; the first is watched by two hooks that handle nothing.
struct TPlacementBenchControls {
    TForm* Form;
    TCustomControl* Hooked;
    TCustomControl* Plain;
    TExWindowHook* First;
    TExWindowHook* Second;

    TPlacementBenchControls()
    {
        PlacementBenchStart();
        Form = new TForm(nullptr);
        Form->AfterConstruction();
        Hooked = new TCustomControl(Form);
        Hooked->SetParent(Form);
        Plain = new TCustomControl(Form);
        Plain->SetParent(Form);
        Form->Show();
        First = new TExWindowHook(Form);
        Second = new TExWindowHook(Form);
        int seen = 0;
        for (TExWindowHook* hook : {First, Second}) {
            hook->BeforeMessage = [seen](TObject*, TMessage& Msg, bool&) mutable { seen += Msg.Msg == 0; };
            hook->AfterMessage = [seen](TObject*, TMessage& Msg, bool&) mutable { seen += Msg.Msg == 0; };
            hook->SetWinControl(Hooked);
        }
    }
};

TPlacementBenchControls& PlacementBenchControls()
{
    static TPlacementBenchControls controls;
    return controls;
}

void BM_MessageToHookedControl(benchmark::State& state)
{
    HWND handle = PlacementBenchControls().Hooked->Handle();
    for (auto _ : state)
        benchmark::DoNotOptimize(SendMessage(handle, PlacementBenchProbe, 1, 2));
}
BENCHMARK(BM_MessageToHookedControl);

void BM_MessageToPlainControl(benchmark::State& state)
{
    HWND handle = PlacementBenchControls().Plain->Handle();
    for (auto _ : state)
        benchmark::DoNotOptimize(SendMessage(handle, PlacementBenchProbe, 1, 2));
}
BENCHMARK(BM_MessageToPlainControl);

} // namespace
