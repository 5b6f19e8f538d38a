// Drawing speed against plain Qt in the same binary: mixed canvas calls, blits, BMP streams,
// DrawText paragraphs, metafile recording and replay, font changes.

#include "platform/gui/Bitmap.h"
#include "platform/gui/BmpCodec.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/TextOutput.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

// The other benchmark files of this executable may have made the application already.
struct TQtStart {
    std::unique_ptr<QApplication> App;
    TQtStart()
    {
        if (QApplication::instance())
            return;
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "bench_platform_gui";
        static char* argv[] = {name, nullptr};
        App = std::make_unique<QApplication>(argc, argv);
    }
};
TQtStart& Qt() { static TQtStart start; return start; }

const std::string Twenty = "Fattura n. 12345/A-B";

void MixedOps(TCanvas& c, int i)
{
    const int x = (i * 37) % 1000, y = (i * 53) % 740;
    switch (i % 3) {
    case 0:
        c.FillRect(Rect(x, y, x + 20, y + 15));
        break;
    case 1:
        c.Rectangle(x, y, x + 20, y + 15);
        break;
    default:
        c.TextOut(x, y, Twenty);
        break;
    }
}

void BM_CanvasMixed(benchmark::State& state)
{
    Qt();
    TBitmap bitmap;
    bitmap.SetSize(1024, 768);
    TCanvas* c = bitmap.Canvas();
    c->Font()->SetName("Arial");
    c->Font()->SetSize(10);
    c->Brush()->SetColor(clYellow);
    for (auto _ : state)
        for (int i = 0; i < 10000; ++i)
            MixedOps(*c, i);
}
BENCHMARK(BM_CanvasMixed)->Unit(benchmark::kMillisecond);

void BM_QtMixed(benchmark::State& state)
{
    Qt();
    QImage image(1024, 768, QImage::Format_RGB32);
    QPainter painter(&image);
    QFont font("Liberation Sans");
    font.setPixelSize(13);
    painter.setFont(font);
    const QString text = QString::fromStdString(Twenty);
    for (auto _ : state)
        for (int i = 0; i < 10000; ++i) {
            const int x = (i * 37) % 1000, y = (i * 53) % 740;
            if (i % 3 == 0)
                painter.fillRect(x, y, 20, 15, Qt::yellow);
            else if (i % 3 == 1) {
                painter.setBrush(Qt::yellow);
                painter.drawRect(x, y, 19, 14);
            } else
                painter.drawText(x, y + 12, text);
        }
}
BENCHMARK(BM_QtMixed)->Unit(benchmark::kMillisecond);

void BM_BitBltMaskE20746(benchmark::State& state)
{
    Qt();
    TBitmap target;
    target.SetSize(1024, 1024);
    HDC dc = target.Canvas()->Handle();
    HDC mono = CreateCompatibleDC(nullptr);
    HBITMAP bits = CreateBitmap(1024, 1024, 1, 1, nullptr);
    SelectObject(mono, bits);
    HBRUSH brush = CreateSolidBrush(0x00FF00);
    SelectObject(dc, brush);
    for (auto _ : state)
        BitBlt(dc, 0, 0, 1024, 1024, mono, 0, 0, 0x00E20746);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
    DeleteDC(mono);
    DeleteObject(bits);
}
BENCHMARK(BM_BitBltMaskE20746)->Unit(benchmark::kMillisecond);

void BM_BitBltSrcCopy(benchmark::State& state)
{
    Qt();
    TBitmap source, target;
    source.SetSize(1024, 1024);
    target.SetSize(1024, 1024);
    HDC from = source.Canvas()->Handle(), to = target.Canvas()->Handle();
    for (auto _ : state)
        BitBlt(to, 0, 0, 1024, 1024, from, 0, 0, SRCCOPY);
}
BENCHMARK(BM_BitBltSrcCopy)->Unit(benchmark::kMillisecond);

void BM_QtDrawImage(benchmark::State& state)
{
    Qt();
    QImage source(1024, 1024, QImage::Format_RGB32), target(1024, 1024, QImage::Format_RGB32);
    source.fill(Qt::red);
    QPainter painter(&target);
    for (auto _ : state)
        painter.drawImage(0, 0, source);
}
BENCHMARK(BM_QtDrawImage)->Unit(benchmark::kMillisecond);

QImage BigPicture()
{
    QImage image(4096, 4096, QImage::Format_RGB32);
    for (int y = 0; y < 4096; ++y)
        for (int x = 0; x < 4096; ++x)
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
    return image;
}

void BM_BmpWriteRead(benchmark::State& state)
{
    Qt();
    const QImage picture = BigPicture();
    TDibImage dib;
    dib.Width = dib.Height = 4096;
    dib.Bits = 24;
    dib.Rows.resize(static_cast<std::size_t>(dib.RowSize()) * 4096);
    const QImage rows = picture.convertToFormat(QImage::Format_BGR888);
    for (int y = 0; y < 4096; ++y)
        std::memcpy(dib.Row(y), rows.constScanLine(y), 4096 * 3);
    for (auto _ : state) {
        const std::vector<std::uint8_t> bytes = BmpCodec::Write(dib);
        benchmark::DoNotOptimize(BmpCodec::Read(bytes.data(), bytes.size()));
    }
}
BENCHMARK(BM_BmpWriteRead)->Unit(benchmark::kMillisecond);

void BM_QtBmpWriteRead(benchmark::State& state)
{
    Qt();
    const QImage picture = BigPicture().convertToFormat(QImage::Format_RGB888);
    for (auto _ : state) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "BMP");
        QImage back;
        back.loadFromData(bytes, "BMP");
        benchmark::DoNotOptimize(back);
    }
}
BENCHMARK(BM_QtBmpWriteRead)->Unit(benchmark::kMillisecond);

std::string Paragraph()
{
    std::string text;
    const char* words[] = {"fattura", "importo", "cliente", "totale", "iva", "sconto", "pagamento", "riga"};
    for (int i = 0; i < 10000; ++i)
        text += std::string(words[i % 8]) + " ";
    return text;
}

void BM_DrawTextWordBreak(benchmark::State& state)
{
    Qt();
    TBitmap bitmap;
    bitmap.SetSize(400, 1000);
    HDC dc = bitmap.Canvas()->Handle();
    HFONT font = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    SelectObject(dc, font);
    const std::string text = Paragraph();
    for (auto _ : state) {
        RECT r{0, 0, 400, 1000};
        DrawTextA(dc, text, -1, &r, DT_WORDBREAK);
    }
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
}
BENCHMARK(BM_DrawTextWordBreak)->Unit(benchmark::kMillisecond);

void BM_QtDrawTextWordWrap(benchmark::State& state)
{
    Qt();
    QImage image(400, 1000, QImage::Format_RGB32);
    QPainter painter(&image);
    QFont font("Liberation Sans");
    font.setPixelSize(13);
    painter.setFont(font);
    const QString text = QString::fromStdString(Paragraph());
    for (auto _ : state)
        painter.drawText(QRect(0, 0, 400, 1000), Qt::TextWordWrap, text);
}
BENCHMARK(BM_QtDrawTextWordWrap)->Unit(benchmark::kMillisecond);

void BM_MetafileRecord(benchmark::State& state)
{
    Qt();
    for (auto _ : state) {
        TMetafile metafile;
        TMetafileCanvas canvas(&metafile, nullptr);
        for (int i = 0; i < 10000; ++i)
            MixedOps(canvas, i);
    }
}
BENCHMARK(BM_MetafileRecord)->Unit(benchmark::kMillisecond);

void BM_MetafileReplay(benchmark::State& state)
{
    Qt();
    TMetafile metafile;
    metafile.SetWidth(1024);
    metafile.SetHeight(768);
    {
        TMetafileCanvas canvas(&metafile, nullptr);
        canvas.Font()->SetName("Arial");
        for (int i = 0; i < 10000; ++i)
            MixedOps(canvas, i);
    }
    TBitmap bitmap;
    bitmap.SetSize(1024, 768);
    for (auto _ : state)
        bitmap.Canvas()->Draw(0, 0, &metafile);
}
BENCHMARK(BM_MetafileReplay)->Unit(benchmark::kMillisecond);

// The same calls as the replayed recording, drawn directly on the same bitmap: the yardstick of
// the replay.
void BM_MetafileDirect(benchmark::State& state)
{
    Qt();
    TBitmap bitmap;
    bitmap.SetSize(1024, 768);
    for (auto _ : state) {
        TCanvas* c = bitmap.Canvas();
        c->Font()->SetName("Arial");
        for (int i = 0; i < 10000; ++i)
            MixedOps(*c, i);
    }
}
BENCHMARK(BM_MetafileDirect)->Unit(benchmark::kMillisecond);

void BM_FontChanges(benchmark::State& state)
{
    Qt();
    TBitmap bitmap;
    bitmap.SetSize(10, 10);
    TCanvas* c = bitmap.Canvas();
    const char* faces[4] = {"Arial", "Times New Roman", "Courier New", "Tahoma"};
    for (auto _ : state)
        for (int i = 0; i < 100000; ++i) {
            c->Font()->SetName(faces[i % 4]);
            c->Font()->SetHeight(-(10 + i % 5));
            benchmark::DoNotOptimize(c->TextHeight("X"));
        }
}
BENCHMARK(BM_FontChanges)->Unit(benchmark::kMillisecond);

} // namespace
