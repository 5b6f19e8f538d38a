// Line layout and painting of a viewer document: the customer card with 5,000 documents laid out
// at 400 pixels against Qt's QTextDocument layout of the same text, painting the last screen of
// it, the link hit test near its end, and one paragraph of 100,000 characters with 10,000 bold
// changes.

#include "htmlview/PanePars.h"
#include "tests/htmlview/HtmlTestSupport.h"

#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QString>
#include <QTextDocument>

#include <memory>
#include <string>

namespace TokenizerBench {
void EnsureApplication();
}

namespace SectionLayoutBench {

using TokenizerBench::EnsureApplication;

constexpr int CardWidth = 400;

std::unique_ptr<TBitmap> WhiteBitmap(int Width, int Height)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(Width, Height);
    bitmap->Canvas()->Brush()->SetColor(clWhite);
    bitmap->Canvas()->FillRect(Rect(0, 0, Width, Height));
    return bitmap;
}

// A viewer that only owns the timer.
class TBenchViewer : public TViewerServices {
public:
    TComponent* ViewerComponent() override { return &Component; }
    std::string HTMLExpandFilename(const std::string& Filename) override { return Filename; }
    int ViewerClientHeight() override { return 600; }
    int MarginHeight() override { return 0; }
    void SetDocumentMarginWidth(int) override {}
    void SetDocumentMarginHeight(int) override {}
    TComponent Component{nullptr};
};

// The customer card parsed once, in Liberation Sans 8 pt, with a canvas to lay it out on.
struct TCard {
    std::unique_ptr<TParsedPage> Page;
    std::unique_ptr<TBitmap> Canvas;
    int Height = 0;
};

TCard& Card()
{
    static TCard card = [] {
        TCard c;
        c.Page = ParseHtml(CustomerCard(5000));
        c.Page->Doc.SetFonts("Arial", "Courier New", 8, clBlack, clBlue, clPurple, clRed, clWhite, false);
        c.Canvas = WhiteBitmap(CardWidth, 600);
        int maxWidth = 0, position = 0;
        c.Height = c.Page->Doc.DoLogic(c.Canvas->Canvas(), 0, CardWidth, maxWidth, position, 0, 0);
        return c;
    }();
    return card;
}

void BM_LayoutCustomerCard5000(benchmark::State& state)
{
    EnsureApplication();
    TCard& card = Card();
    for (auto _ : state) {
        int maxWidth = 0, position = 0;
        benchmark::DoNotOptimize(
            card.Page->Doc.DoLogic(card.Canvas->Canvas(), 0, CardWidth, maxWidth, position, 0, 0));
    }
}

void BM_LayoutCustomerCard5000QTextDocument(benchmark::State& state)
{
    EnsureApplication();
    const QString html = QString::fromLatin1(CustomerCard(5000).c_str());
    QFont font("Liberation Sans");
    font.setPointSize(8);
    for (auto _ : state) {
        state.PauseTiming();
        auto document = std::make_unique<QTextDocument>();
        document->setDefaultFont(font);
        document->setHtml(html);
        state.ResumeTiming();
        document->setTextWidth(CardWidth);
        benchmark::DoNotOptimize(document->documentLayout()->documentSize());
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
}

void BM_PaintLastScreenOfTheCard(benchmark::State& state)
{
    EnsureApplication();
    TCard& card = Card();
    auto view = WhiteBitmap(CardWidth, 600);
    card.Page->Doc.SetYOffset(std::max(0, card.Height - 600));
    for (auto _ : state)
        benchmark::DoNotOptimize(card.Page->Doc.Draw(view->Canvas(), Rect(0, 0, CardWidth, 600), 6000, 0, 0));
}

void BM_GetURLNearTheEndOfTheCard(benchmark::State& state)
{
    EnsureApplication();
    TCard& card = Card();
    auto view = WhiteBitmap(CardWidth, 600);
    card.Page->Doc.SetYOffset(std::max(0, card.Height - 600));
    card.Page->Doc.Draw(view->Canvas(), Rect(0, 0, CardWidth, 600), 6000, 0, 0);
    for (auto _ : state) {
        TUrlTarget* link = nullptr;
        TImageFormControlObj* control = nullptr;
        benchmark::DoNotOptimize(card.Page->Doc.GetURL(view->Canvas(), 10, card.Height - 30, link, control));
        delete link;
    }
}

void BM_ParagraphWith10000BoldChanges(benchmark::State& state)
{
    EnsureApplication();
    TBenchViewer viewer;
    ThlParser parser;
    TSectionList doc(&viewer, nullptr);
    doc.SetFonts("Arial", "Courier New", 8, clBlack, clBlue, clPurple, clRed, clWhite, false);
    doc.CurrentParser = &parser;
    TMyFont font;
    font.SetName(doc.BaseFontName);
    font.SetNormalSize(&doc, 12);
    auto* section = new TSection(&doc, 0, &font, nullptr, PaneUn2::Left);
    for (int i = 0; i < 10000; ++i) {
        TokenObj token;
        const char* text = i % 2 == 0 ? "abcd efgh " : "ijkl mnop ";
        for (int k = 0; k < 10; ++k)
            token.AddChar(text[k], i * 10 + k);
        section->AddTokenObj(token, false);
        section->ChangeStyle(i % 2 == 0 ? Symb::BSy : Symb::BEndSy);
    }
    doc.Add(section);
    auto canvas = WhiteBitmap(10, 10);
    for (auto _ : state) {
        int maxWidth = 0, position = 0;
        benchmark::DoNotOptimize(doc.DoLogic(canvas->Canvas(), 0, CardWidth, maxWidth, position, 0, 0));
    }
    doc.Clear();
}

BENCHMARK(BM_LayoutCustomerCard5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayoutCustomerCard5000QTextDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintLastScreenOfTheCard)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetURLNearTheEndOfTheCard)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParagraphWith10000BoldChanges)->Unit(benchmark::kMillisecond);

} // namespace SectionLayoutBench
