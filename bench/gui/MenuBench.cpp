// An owner-drawn popup menu of 500 items from Popup to its first painted items, beside a plain Qt
// menu of 500 actions from exec to its first paint. Each run closes the menu as soon as it painted.

#include "BenchApplication.h"

#include "platform/gui/Application.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/Menus.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int ItemCount = 500;

void CloseOpenPopupSoon()
{
    QTimer::singleShot(0, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    });
}

void BM_OwnerDrawnPopup500(benchmark::State& state)
{
    EnsureBenchApplication();
    auto popup = std::make_unique<TPopupMenu>(nullptr);
    bool closing = false;
    for (int i = 0; i < ItemCount; ++i) {
        auto* item = new TMenuItem(popup.get());
        item->SetCaption("Voce di menu " + std::to_string(i));
        item->OnMeasureItem = [](TObject*, TCanvas*, int& width, int& height) {
            width = 160;
            height = 18;
        };
        item->OnAdvancedDrawItem = [&closing](TObject* sender, TCanvas* canvas, TRect rect, TOwnerDrawState) {
            canvas->FillRect(rect);
            canvas->TextOut(rect.Left + 4, rect.Top + 2, static_cast<TMenuItem*>(sender)->Caption());
            if (!closing) {
                closing = true;
                CloseOpenPopupSoon();
            }
        };
        popup->Items()->Add(item);
    }
    popup->SetOwnerDraw(true);
    for (auto _ : state) {
        closing = false;
        popup->Popup(10, 10);
    }
}
BENCHMARK(BM_OwnerDrawnPopup500)->Unit(benchmark::kMillisecond);

class TFirstPaintCloser : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !Closing) {
            Closing = true;
            CloseOpenPopupSoon();
        }
        return false;
    }
    bool Closing = false;
};

void BM_QtMenu500(benchmark::State& state)
{
    EnsureBenchApplication();
    QMenu menu;
    for (int i = 0; i < ItemCount; ++i)
        menu.addAction(QString("Voce di menu %1").arg(i));
    TFirstPaintCloser closer;
    menu.installEventFilter(&closer);
    for (auto _ : state) {
        closer.Closing = false;
        menu.exec(QPoint(10, 10));
    }
}
BENCHMARK(BM_QtMenu500)->Unit(benchmark::kMillisecond);

} // namespace
