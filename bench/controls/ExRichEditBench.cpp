// Replace all in the extended rich edit against the same replacements made directly on a Qt text
// document: a word that occurs once per paragraph of about 100 bytes, 10,000 times in 1 MB and
// 20,000 times in 2 MB. Each search starts after the last replacement.

#include "controls/ExRichEd.h"
#include "platform/gui/Application.h"
#include "platform/gui/Form.h"

#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Paragraphs of about 100 bytes, each holding "fattura" once, broken by CR.
std::string ReplaceBenchText(int occurrences, char lineBreak)
{
    std::string text;
    text.reserve(static_cast<std::size_t>(occurrences) * 104);
    for (int i = 0; i < occurrences; ++i) {
        text += "Riga " + std::to_string(i) + " del documento con la fattura del cliente e un testo di riempimento";
        text.append(100 - text.size() % 100, '.');
        text += lineBreak;
    }
    return text;
}

struct TReplaceBenchForm {
    std::unique_ptr<TForm> Form;
    TExRichEdit* Edit;
    TReplaceDialog* Dialog;
    TReplaceBenchForm()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(0, 0, 640, 480);
        Edit = new TExRichEdit(Form.get());
        Edit->SetParent(Form.get());
        Edit->SetBounds(0, 0, 620, 460);
        Form->Show();
        Application->ProcessMessages();
        Dialog = Edit->ReplaceDialog("fattura", "nota");
        Dialog->Options = {frDown, frReplaceAll};
    }
};

void BM_ExRichEditReplaceAll(benchmark::State& state)
{
    TReplaceBenchForm scene;
    const std::string text = ReplaceBenchText(static_cast<int>(state.range(0)), '\r');
    for (auto _ : state) {
        state.PauseTiming();
        scene.Edit->SetText(text);
        scene.Edit->SetSelStart(0);
        state.ResumeTiming();
        scene.Dialog->OnReplace(scene.Dialog);
    }
    if (scene.Edit->FindText("fattura", 0, 0x7FFFFFFF, {}) >= 0)
        state.SkipWithError("occurrences left");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ExRichEditReplaceAll)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_QtDocumentReplaceAll(benchmark::State& state)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
    const QString text = QString::fromLatin1(ReplaceBenchText(static_cast<int>(state.range(0)), '\n'));
    for (auto _ : state) {
        state.PauseTiming();
        QTextDocument document;
        document.setPlainText(text);
        state.ResumeTiming();
        QTextCursor cursor(&document);
        for (;;) {
            cursor = document.find(QStringLiteral("fattura"), cursor);
            if (cursor.isNull())
                break;
            cursor.insertText(QStringLiteral("nota"));
        }
    }
}
BENCHMARK(BM_QtDocumentReplaceAll)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
