// Measuring an owner-drawn pop-up of 500 items with shortcuts, as one popping up asks for each
// item, against the layer's plain pop-up menu whose text entries Qt measures.

#include "controls/ExMenus.h"
#include "platform/gui/Application.h"

#include <QMenu>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

constexpr int MenusBenchItems = 500;

// Forgets the widths of the last popping up, as Popup does.
class TMenusBenchPopup : public TExPopupMenu {
public:
    using TExPopupMenu::TExPopupMenu;
    using TExMenuLook::ForgetWidths;
};

std::string MenusBenchCaption(int i) { return "Voce di menu numero &" + std::to_string(i); }
TShortCut MenusBenchShortCut(int i) { return TextToShortCut(i % 2 ? "Ctrl+F" + std::to_string(i % 12 + 1) : "Ctrl+Shift+A"); }

void MenusBenchStart()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
}

void BM_MenusOwnerDrawnMeasure(benchmark::State& state)
{
    MenusBenchStart();
    TMenusBenchPopup menu(nullptr);
    menu.SetStyle(ExMenus::msOwnerDraw);
    for (int i = 0; i < MenusBenchItems; ++i)
        menu.Items()->Add(NewItem(MenusBenchCaption(i), MenusBenchShortCut(i), false, true, nullptr, 0, ""));
    menu.Refresh();
    for (auto _ : state) {
        menu.ForgetWidths();
        int total = 0;
        for (int i = 0; i < MenusBenchItems; ++i) {
            MEASUREITEMSTRUCT measure;
            measure.CtlType = ODT_MENU;
            measure.itemData = reinterpret_cast<std::uintptr_t>(menu.Items()->Items(i));
            TMessage message{WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure), 0};
            menu.WndMessage(message);
            total += static_cast<int>(measure.itemWidth);
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_MenusOwnerDrawnMeasure)->Unit(benchmark::kMillisecond);

void BM_MenusPlainTextMeasure(benchmark::State& state)
{
    MenusBenchStart();
    TPopupMenu menu(nullptr);
    for (int i = 0; i < MenusBenchItems; ++i)
        menu.Items()->Add(NewItem(MenusBenchCaption(i), MenusBenchShortCut(i), false, true, nullptr, 0, ""));
    HMENU handle = menu.Handle();
    for (auto _ : state) {
        state.PauseTiming();
        QMenu qmenu;
        for (int i = 0; i < GetMenuItemCount(handle); ++i)
            qmenu.addAction(QString::fromStdString(GetMenuString(handle, static_cast<UINT>(i), MF_BYPOSITION)));
        state.ResumeTiming();
        benchmark::DoNotOptimize(qmenu.sizeHint());
    }
}
BENCHMARK(BM_MenusPlainTextMeasure)->Unit(benchmark::kMillisecond);

} // namespace
