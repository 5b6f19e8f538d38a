// Images and form controls of a viewer document: the layout of 1,000 images of one GIF file from a
// warm cache, drawing a frame of an animated picture stretched through its mask beside Qt's
// QPainter::drawImage of the same frame, and sizing a form of 200 controls.

#include "htmlview/FormControls.h"
#include "htmlview/ImageObj.h"
#include "htmlview/SectionList.h"
#include "htmlview/panegif1.h"
#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/Panel.h"
#include "tests/TestFixtures.h"
#include "tests/htmlview/GifTestSupport.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace ImageObjBench {

void EnsureApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        PaneUn2::HtmlViewStartup();
        return true;
    }();
    (void)initialized;
}

class TBenchViewer : public TViewerServices {
public:
    TComponent* ViewerComponent() override { return nullptr; }
    std::string HTMLExpandFilename(const std::string& Filename) override { return Filename; }
    int ViewerClientHeight() override { return 600; }
    int MarginHeight() override { return 0; }
    void SetDocumentMarginWidth(int) override {}
    void SetDocumentMarginHeight(int) override {}
};

std::string Fixture(const std::string& name)
{
    return std::string(TestFixtureDir()) + "/../../tests/htmlview/data/" + name;
}

// Layout of 1,000 images of one file, each a cache hit (a copy sharing the strip for an animated
// file). Creating and freeing the images is not timed.
void LayOutThousandImages(benchmark::State& state, const std::string& file)
{
    EnsureApplication();
    TBenchViewer viewer;
    TSectionList doc(&viewer, nullptr);
    doc.ImagesOn = true;
    TAttributeList attributes;
    attributes.Add(new TAttribute(Symb::SrcSy, 0, file));
    TBitmap canvas;
    canvas.SetSize(10, 10);
    {
        TImageObj warm(0, &attributes);
        warm.DrawLogic(&doc, canvas.Canvas(), nullptr, 600);
        if (warm.Picture == PaneUn2::ErrorBitMap()) {
            state.SkipWithError("the picture did not load");
            return;
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<TImageObj>> images;
        for (int i = 0; i < 1000; ++i)
            images.push_back(std::make_unique<TImageObj>(i, &attributes));
        state.ResumeTiming();
        for (auto& image : images)
            image->DrawLogic(&doc, canvas.Canvas(), nullptr, 600);
        state.PauseTiming();
        images.clear();
        doc.AnimatedImages->Clear();
        state.ResumeTiming();
    }
}

void BM_DrawLogic1000AnimatedGif(benchmark::State& state) { LayOutThousandImages(state, Fixture("anim.gif")); }
void BM_DrawLogic1000StillGif(benchmark::State& state) { LayOutThousandImages(state, Fixture("big.gif")); }
BENCHMARK(BM_DrawLogic1000AnimatedGif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawLogic1000StillGif)->Unit(benchmark::kMillisecond);

// 320 x 240, three frames of stripes in four colours, index 3 transparent.
const std::string& StripedAnimation()
{
    static const std::string bytes = [] {
        TTestGif gif;
        gif.Width = 320;
        gif.Height = 240;
        gif.Palette = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
        gif.Loops = 0;
        for (int f = 0; f < 3; ++f) {
            TTestGifFrame frame;
            frame.Width = 320;
            frame.Height = 240;
            frame.Delay = 10;
            frame.Transparent = 3;
            for (int y = 0; y < 240; ++y)
                for (int x = 0; x < 320; ++x)
                    frame.Pixels.push_back(static_cast<std::uint8_t>(((x + y) / 8 + f) % 4));
            gif.Frames.push_back(frame);
        }
        return MakeGif(gif);
    }();
    return bytes;
}

void BM_DrawFrame3Stretched(benchmark::State& state)
{
    EnsureApplication();
    TMemoryStream stream;
    stream.WriteBuffer(StripedAnimation().data(), static_cast<int>(StripedAnimation().size()));
    bool nonAnimated = true;
    std::unique_ptr<TGIFImage> gif = CreateAGifFromStream(nonAnimated, stream);
    if (!gif || nonAnimated) {
        state.SkipWithError("the animation did not decode");
        return;
    }
    gif->SetCurrentFrame(3);
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    target.SetSize(640, 480);
    for (auto _ : state)
        gif->Draw(target.Canvas(), nullptr, nullptr, 0, 0, 640, 480);
}
BENCHMARK(BM_DrawFrame3Stretched)->Unit(benchmark::kMicrosecond);

void BM_DrawFrame3StretchedQt(benchmark::State& state)
{
    EnsureApplication();
    QByteArray data(StripedAnimation().data(), static_cast<int>(StripedAnimation().size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    QImage frame;
    for (int i = 0; i < 3; ++i)
        frame = reader.read();
    if (frame.isNull()) {
        state.SkipWithError("Qt did not read the frame");
        return;
    }
    frame = frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage target(640, 480, QImage::Format_RGB32);
    target.fill(Qt::white);
    for (auto _ : state) {
        QPainter painter(&target);
        painter.drawImage(QRect(0, 0, 640, 480), frame);
    }
}
BENCHMARK(BM_DrawFrame3StretchedQt)->Unit(benchmark::kMicrosecond);

// A form of 200 controls of every kind, on a painting surface.
class TFormPage {
public:
    TFormPage()
    {
        EnsureApplication();
        FSurface->SetParent(FHost.get());
        FDoc.FixedFontName = "Courier New";
        FCanvas.SetSize(10, 10);
        FAttributes.Add(new TAttribute(Symb::NameSy, 0, "field"));
        for (int i = 0; i < 200; ++i) {
            switch (i % 5) {
            case 0:
                new TEditFormControlObj(&FDoc, &FAttributes, i, "text");
                break;
            case 1:
                new TCheckBoxFormControlObj(&FDoc, &FAttributes, i);
                break;
            case 2:
                new TButtonFormControlObj(&FDoc, &FAttributes, i, "submit");
                break;
            case 3: {
                auto* list = new TComboFormControlObj(&FDoc, &FAttributes, i);
                list->AddStr("One", "", false);
                list->AddStr("Two", "", true);
                break;
            }
            default:
                new TTextAreaFormControlObj(&FDoc, &FAttributes, i);
            }
        }
    }
    ~TFormPage() { FDoc.Clear(); }
    void SetSizes()
    {
        for (int i = 0; i < FDoc.Forms->Count(); ++i)
            static_cast<ThtmlForm*>(static_cast<TObject*>(FDoc.Forms->Items(i)))->SetSizes(FCanvas.Canvas());
    }

private:
    TBenchViewer FViewer;
    std::unique_ptr<TForm> FHost = std::make_unique<TForm>(nullptr);
    TPanel* FSurface = new TPanel(FHost.get());
    TSectionList FDoc{&FViewer, FSurface};
    TAttributeList FAttributes;
    TBitmap FCanvas;
};

void BM_SetSizes200FirstCall(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto page = std::make_unique<TFormPage>();
        state.ResumeTiming();
        page->SetSizes();
        state.PauseTiming();
        page.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SetSizes200FirstCall)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SetSizes200LaterCalls(benchmark::State& state)
{
    TFormPage page;
    page.SetSizes();
    for (auto _ : state)
        page.SetSizes();
}
BENCHMARK(BM_SetSizes200LaterCalls)->Unit(benchmark::kMillisecond);

} // namespace ImageObjBench
