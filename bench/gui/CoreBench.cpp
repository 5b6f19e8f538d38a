// The visual layer's core: message dispatch, posted messages, key translation, building and
// resizing forms, each beside the plain Qt work it stands on.

#include "BenchApplication.h"

#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/ControlHost.h"

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWidget>

#include <benchmark/benchmark.h>

namespace {

void BM_PerformThroughReplacedProcedures(benchmark::State& state)
{
    EnsureBenchApplication();
    WNDPROC previous;
    long counted = 0;
    TForm form(nullptr);
    auto* control = new TCustomControl(&form);
    control->SetParent(&form);
    control->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_USER + 1)
            ++counted;
        control->WndProc(m);
    };
    HWND handle = control->Handle();
    previous = SetWindowLongPtrA(handle, GWL_WNDPROC, WNDPROC([&](HWND h, UINT msg, WPARAM w, LPARAM l) {
                                     return CallWindowProcA(previous, h, msg, w, l);
                                 }));
    for (auto _ : state)
        control->Perform(WM_USER + 1, 0, 0);
    benchmark::DoNotOptimize(counted);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PerformThroughReplacedProcedures);

void BM_PostAndDrainMessages(benchmark::State& state)
{
    EnsureBenchApplication();
    long delivered = 0;
    HWND window = AllocateHWnd([&](TMessage&) { ++delivered; });
    for (auto _ : state) {
        for (int i = 0; i < 100000; ++i)
            PostMessageA(window, WM_USER, 0, 0);
        Application->ProcessMessages();
    }
    DeallocateHWnd(window);
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_PostAndDrainMessages)->Unit(benchmark::kMillisecond);

class TCountingObject : public QObject {
public:
    long Count = 0;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) {
            ++Count;
            return true;
        }
        return QObject::event(e);
    }
};

void BM_PostAndDrainQtEvents(benchmark::State& state)
{
    EnsureBenchApplication();
    TCountingObject target;
    for (auto _ : state) {
        for (int i = 0; i < 100000; ++i)
            QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QCoreApplication::sendPostedEvents(&target);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_PostAndDrainQtEvents)->Unit(benchmark::kMillisecond);

void BM_KeyPressesThroughTheLayer(benchmark::State& state)
{
    EnsureBenchApplication();
    TForm form(nullptr);
    form.KeyPreview = true;
    auto* control = new TCustomControl(&form);
    control->SetParent(&form);
    control->SetTabStop(true);
    long counted = 0;
    control->OnKeyDown = [&](TObject*, WORD&, TShiftState) { ++counted; };
    control->OnKeyPress = [&](TObject*, char&) { ++counted; };
    control->OnKeyUp = [&](TObject*, WORD&, TShiftState) { ++counted; };
    form.Show();
    control->SetFocus();
    QWidget* widget = WidgetOf(control);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
    for (auto _ : state) {
        QCoreApplication::sendEvent(widget, &press);
        QCoreApplication::sendEvent(widget, &release);
    }
    benchmark::DoNotOptimize(counted);
    form.Hide();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyPressesThroughTheLayer);

class TCountingWidget : public QWidget {
public:
    long Count = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++Count; }
    void keyReleaseEvent(QKeyEvent*) override { ++Count; }
};

void BM_KeyPressesToAPlainWidget(benchmark::State& state)
{
    EnsureBenchApplication();
    TCountingWidget widget;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
    for (auto _ : state) {
        QCoreApplication::sendEvent(&widget, &press);
        QCoreApplication::sendEvent(&widget, &release);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyPressesToAPlainWidget);

void BM_FormWithThousandControls(benchmark::State& state)
{
    EnsureBenchApplication();
    for (auto _ : state) {
        auto* form = new TForm(nullptr);
        form->SetBounds(0, 0, 800, 600);
        form->DisableAlign();
        for (int p = 0; p < 10; ++p) {
            auto* panel = new TCustomControl(form);
            panel->SetParent(form);
            panel->SetHeight(60);
            panel->SetAlign(alTop);
            for (int c = 0; c < 100; ++c) {
                auto* control = new TCustomControl(form);
                control->SetParent(panel);
                control->SetWidth(8);
                control->SetAlign(alLeft);
            }
        }
        form->EnableAlign();
        form->Show();
        WidgetOf(form)->repaint();
        state.PauseTiming();
        TComponent::Free(form);
        // The freed widgets' deferred deletions would otherwise pile up over the iterations.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FormWithThousandControls)->Unit(benchmark::kMillisecond);

void BM_ThousandPlainWidgetsInLayouts(benchmark::State& state)
{
    EnsureBenchApplication();
    for (auto _ : state) {
        auto* window = new QWidget;
        window->resize(800, 600);
        auto* column = new QVBoxLayout(window);
        for (int p = 0; p < 10; ++p) {
            auto* panel = new QWidget;
            auto* row = new QVBoxLayout(panel);
            for (int c = 0; c < 100; ++c)
                row->addWidget(new QWidget);
            column->addWidget(panel);
        }
        window->show();
        window->repaint();
        state.PauseTiming();
        delete window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ThousandPlainWidgetsInLayouts)->Unit(benchmark::kMillisecond);

void BM_ResizeFormWithAlignedAndAnchoredControls(benchmark::State& state)
{
    EnsureBenchApplication();
    TForm form(nullptr);
    form.SetBounds(0, 0, 800, 600);
    for (int i = 0; i < 100; ++i) {
        auto* aligned = new TCustomControl(&form);
        aligned->SetParent(&form);
        aligned->SetHeight(2);
        aligned->SetAlign(i % 2 ? alTop : alBottom);
        auto* anchored = new TCustomControl(&form);
        anchored->SetParent(&form);
        anchored->SetBounds(10 + i, 300, 20, 10);
        anchored->SetAnchors({akRight, akBottom});
    }
    form.Show();
    int step = 0;
    for (auto _ : state) {
        ++step;
        form.SetBounds(0, 0, 800 + step % 50, 600 + step % 30);
    }
    form.Hide();
}
BENCHMARK(BM_ResizeFormWithAlignedAndAnchoredControls)->Unit(benchmark::kMicrosecond);

} // namespace
