// Typing into a focused calculator edit against a plain edit: the same 2,000 keystrokes
// (digits, separators and backspaces) in each. The number edit checks every keystroke by
// rebuilding and converting its text.

#include "controls/CurrEdit.h"
#include "platform/gui/Application.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/private/ControlHost.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// 250 rounds of a number typed and taken back: "12345,67" with "." for the comma once in two,
// then eight backspaces.
std::string EditsBenchKeys()
{
    std::string keys;
    for (int round = 0; round < 250; ++round) {
        keys += round % 2 ? "12345.67" : "12345,67";
        keys += std::string(8, '\b');
    }
    return keys;
}

struct TEditsBenchForm {
    std::unique_ptr<TForm> Form;
    TEditsBenchForm()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(0, 0, 300, 100);
        Form->Show();
        Application->ProcessMessages();
    }
};

// A key pressed and released on the edit's widget, as the keyboard delivers it.
void EditsBenchPress(QWidget* widget, char key)
{
    const bool back = key == '\b';
    const int code = back ? Qt::Key_Backspace : key == '.' ? Qt::Key_Period : key == ',' ? Qt::Key_Comma : Qt::Key_0 + (key - '0');
    const QString text = back ? QString("\b") : QString(QChar(key));
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &release);
}

template <typename TEditor>
void TypeIntoFocusedEdit(benchmark::State& state)
{
    TEditsBenchForm scene;
    auto* edit = new TEditor(scene.Form.get());
    edit->SetParent(scene.Form.get());
    edit->SetBounds(10, 10, 200, 21);
    edit->SetFocus();
    Application->ProcessMessages();
    const std::string keys = EditsBenchKeys();
    QWidget* widget = WidgetOf(edit);
    for (char key : keys.substr(0, 8))
        EditsBenchPress(widget, key);
    if (edit->Text() != "12345,67")
        state.SkipWithError("the keystrokes did not reach the edit");
    for (char key : keys.substr(8, 8))
        EditsBenchPress(widget, key);
    for (auto _ : state) {
        for (char key : keys)
            EditsBenchPress(widget, key);
        benchmark::DoNotOptimize(edit->Text());
    }
    if (!edit->Text().empty())
        state.SkipWithError("the keystrokes did not take the text back to empty");
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(keys.size()));
}

void BM_TypeIntoCalcEdit(benchmark::State& state) { TypeIntoFocusedEdit<TExCalcEdit>(state); }
void BM_TypeIntoPlainEdit(benchmark::State& state) { TypeIntoFocusedEdit<TEdit>(state); }

BENCHMARK(BM_TypeIntoCalcEdit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeIntoPlainEdit)->Unit(benchmark::kMillisecond);

} // namespace
