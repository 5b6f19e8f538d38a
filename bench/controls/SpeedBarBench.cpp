// The speed bar: restoring a 60-item layout against reading the same keys from the same INI file
// without applying them; and repainting a bar of 40 flat items with glyphs against a panel holding
// 40 of the layer's flat speed buttons with the same glyph.

#include "controls/AppUtils.h"
#include "controls/SpeedBar.h"
#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/Panel.h"
#include "platform/gui/SpeedButton.h"
#include "platform/os/IniFiles.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

constexpr int SpeedBarBenchItems = 60;
constexpr int SpeedBarBenchPainted = 40;

std::unique_ptr<TBitmap> SpeedBarBenchGlyph()
{
    auto glyph = std::make_unique<TBitmap>();
    glyph->SetSize(16, 16);
    TCanvas* canvas = glyph->Canvas();
    canvas->Brush()->SetColor(static_cast<TColor>(0xFF00FF));
    canvas->FillRect(Rect(0, 0, 16, 16));
    canvas->Brush()->SetColor(clBlack);
    canvas->FillRect(Rect(3, 3, 13, 13));
    canvas->Brush()->SetColor(clRed);
    canvas->FillRect(Rect(4, 4, 12, 12));
    return glyph;
}

class TSpeedBarBenchForm : public TForm {
    TESS_CLASS(TSpeedBarBenchForm, TForm)
public:
    explicit TSpeedBarBenchForm(TComponent* AOwner) : TForm(AOwner) {}
};

// A shown form with a named bar on top.
struct TSpeedBarBenchScene {
    TSpeedBarBenchForm* Form;
    TSpeedBar* Bar;
    TSpeedBarBenchScene()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        Form = TForm::Create<TSpeedBarBenchForm>(nullptr);
        Form->SetBounds(0, 0, 1040, 300);
        Bar = new TSpeedBar(Form);
        Bar->SetName("BarraPulsanti");
        Bar->SetParent(Form);
        Form->Show();
        Application->ProcessMessages();
    }
    ~TSpeedBarBenchScene()
    {
        TComponent::Free(Form);
        Application->ProcessMessages();
    }
};

// A layout file of 60 visible items in two sections, written by the bar itself.
struct TLayoutFile {
    std::string Path;
    explicit TLayoutFile(TSpeedBar* Bar)
    {
        char folder[] = "/tmp/speedbarbenchXXXXXX";
        Path = std::string(mkdtemp(folder)) + "/layout.ini";
        Bar->SetHeight(2 * 3 + 4 * 23);
        Bar->AddSection("Documenti");
        Bar->AddSection("Stampa");
        for (int i = 0; i < SpeedBarBenchItems; ++i) {
            TSpeedItem* item = Bar->NewItem(Bar->Owner(), i % 2, "Pulsante" + std::to_string(i));
            item->SetLeft(3 + 24 * (i % 30));
            item->SetTop(3 + 23 * (i / 30));
            item->SetVisible(true);
        }
        TIniFile ini(Path);
        Bar->SaveLayout(&ini);
    }
    ~TLayoutFile()
    {
        std::remove(Path.c_str());
        rmdir(Path.substr(0, Path.rfind('/')).c_str());
    }
};

void BM_RestoreSpeedBarLayout(benchmark::State& state)
{
    TSpeedBarBenchScene scene;
    TLayoutFile file(scene.Bar);
    TIniFile ini(file.Path);
    for (auto _ : state)
        scene.Bar->RestoreLayout(&ini);
    state.SetItemsProcessed(state.iterations() * SpeedBarBenchItems);
}
BENCHMARK(BM_RestoreSpeedBarLayout)->Unit(benchmark::kMicrosecond);

void BM_ReadSpeedBarLayoutKeys(benchmark::State& state)
{
    TSpeedBarBenchScene scene;
    TLayoutFile file(scene.Bar);
    TIniFile ini(file.Path);
    const std::string section = GetDefaultSection(scene.Bar);
    const std::vector<std::string> keys = ini.SectionIdents(section);
    for (auto _ : state)
        for (const std::string& key : keys)
            benchmark::DoNotOptimize(ini.ReadString(section, key, ""));
    state.SetItemsProcessed(state.iterations() * SpeedBarBenchItems);
    state.counters["keys"] = static_cast<double>(keys.size());
}
BENCHMARK(BM_ReadSpeedBarLayoutKeys)->Unit(benchmark::kMicrosecond);

void BM_RepaintSpeedBar(benchmark::State& state)
{
    TSpeedBarBenchScene scene;
    auto glyph = SpeedBarBenchGlyph();
    scene.Bar->SetOptions(scene.Bar->Options() + TSpeedbarOptions{sbFlatBtns});
    scene.Bar->AddSection("Tessellarium");
    for (int i = 0; i < SpeedBarBenchPainted; ++i) {
        TSpeedItem* item = scene.Bar->NewItem(scene.Form, 0, "Pulsante" + std::to_string(i));
        item->SetGlyph(glyph.get());
        item->SetLeft(1 + 24 * i);
        item->SetVisible(true);
    }
    Application->ProcessMessages();
    for (auto _ : state) {
        scene.Bar->Repaint();
        Application->ProcessMessages();
    }
    state.SetItemsProcessed(state.iterations() * SpeedBarBenchPainted);
}
BENCHMARK(BM_RepaintSpeedBar)->Unit(benchmark::kMillisecond);

void BM_RepaintPanelOfSpeedButtons(benchmark::State& state)
{
    TSpeedBarBenchScene scene;
    auto glyph = SpeedBarBenchGlyph();
    scene.Bar->SetVisible(false);
    auto* panel = new TPanel(scene.Form);
    panel->SetParent(scene.Form);
    panel->SetBounds(0, 0, scene.Bar->Width(), scene.Bar->Height());
    panel->SetAlign(alTop);
    for (int i = 0; i < SpeedBarBenchPainted; ++i) {
        auto* button = new TSpeedButton(scene.Form);
        button->SetParent(panel);
        button->SetBounds(1 + 24 * i, 1, 24, 23);
        button->SetFlat(true);
        button->SetGlyph(glyph.get());
    }
    Application->ProcessMessages();
    for (auto _ : state) {
        panel->Repaint();
        Application->ProcessMessages();
    }
    state.SetItemsProcessed(state.iterations() * SpeedBarBenchPainted);
}
BENCHMARK(BM_RepaintPanelOfSpeedButtons)->Unit(benchmark::kMillisecond);

} // namespace
