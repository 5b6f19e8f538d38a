// The picture export's costs against the libraries doing the bare work in the same run:
// - a 753 × 1072 page (the size of an A4 page at screen resolution) encoded as JPEG at quality 75
//   by TJPEGImage, from an 8-bit and from a 24-bit bitmap, against libjpeg driven directly over
//   the same RGB rows with the same settings;
// - a 50-page PDF of such pages as indexed pictures by TPrintPDF, saved to a file, against zlib's
//   compress2 at the default level over the same pixel bytes.

#include "reportexport/JpgImg.h"
#include "reportexport/tnpdf.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/os/TempFiles.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <zlib.h>

namespace {

constexpr int PageWidth = 753;
constexpr int PageHeight = 1072;

void EnsurePictureBenchApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}

// An invoice-like page: white, a shaded heading band, a frame and lines of "text".
std::unique_ptr<TBitmap> BenchPage(TPixelFormat format)
{
    EnsurePictureBenchApplication();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(PageWidth, PageHeight);
    for (int y = 0; y < PageHeight; ++y) {
        std::uint8_t* row = bitmap->ScanLine(y);
        for (int x = 0; x < PageWidth; ++x) {
            std::uint8_t* pixel = row + 3 * x;
            int red = 255, green = 255, blue = 255;
            if (y > 40 && y < 120) {
                red = 200 - y / 2;
                green = 220 - x / 8;
                blue = 250;
            }
            const bool frame = x == 30 || x == PageWidth - 30 || y == 30 || y == PageHeight - 30;
            const bool text = y > 160 && y % 18 < 9 && x > 50 && x < PageWidth - 50 && (x / 6 + y / 18) % 7 != 0;
            if (frame || text)
                red = green = blue = 0;
            pixel[0] = static_cast<std::uint8_t>(blue);
            pixel[1] = static_cast<std::uint8_t>(green);
            pixel[2] = static_cast<std::uint8_t>(red);
        }
    }
    bitmap->SetPixelFormat(format);
    return bitmap;
}

// The page's pixels as RGB rows, top first.
std::vector<std::uint8_t> RgbRows(TBitmap& page)
{
    TBitmap copy;
    copy.Assign(&page);
    copy.SetPixelFormat(pf24bit);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(PageWidth) * PageHeight * 3);
    for (int y = 0; y < PageHeight; ++y) {
        const std::uint8_t* in = copy.ScanLine(y);
        std::uint8_t* out = rgb.data() + static_cast<std::size_t>(y) * PageWidth * 3;
        for (int x = 0; x < PageWidth; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
    }
    return rgb;
}

void BM_EncodePageWithTJPEGImage(benchmark::State& state)
{
    auto page = BenchPage(state.range(0) == 8 ? pf8bit : pf24bit);
    TJPEGImage jpeg(nullptr);
    jpeg.Picture()->SetGraphic(page.get());
    std::int64_t size = 0;
    for (auto _ : state) {
        TMemoryStream out;
        jpeg.SaveToStream(&out);
        size = out.Size();
    }
    state.counters["jpeg_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_EncodePageWithTJPEGImage)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

// The peer: libjpeg with the component's settings (quality 75, optimised Huffman tables, the
// accurate integer DCT) over RGB rows already in memory, into memory.
void BM_EncodePageWithLibjpegDirectly(benchmark::State& state)
{
    auto page = BenchPage(state.range(0) == 8 ? pf8bit : pf24bit);
    const std::vector<std::uint8_t> rgb = RgbRows(*page);
    unsigned long size = 0;
    for (auto _ : state) {
        jpeg_compress_struct info;
        jpeg_error_mgr errors;
        info.err = jpeg_std_error(&errors);
        jpeg_create_compress(&info);
        unsigned char* buffer = nullptr;
        size = 0;
        jpeg_mem_dest(&info, &buffer, &size);
        info.image_width = PageWidth;
        info.image_height = PageHeight;
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&info);
        info.dct_method = JDCT_ISLOW;
        info.optimize_coding = TRUE;
        jpeg_set_quality(&info, 75, FALSE);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = const_cast<JSAMPLE*>(rgb.data() + static_cast<std::size_t>(info.next_scanline) * PageWidth * 3);
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        std::free(buffer);
    }
    state.counters["jpeg_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_EncodePageWithLibjpegDirectly)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

constexpr int PdfPages = 50;

void BM_PrintPdf50BitmapPages(benchmark::State& state)
{
    auto page = BenchPage(pf8bit);
    TTempFolder folder("tess-bench");
    const std::string target = folder.Path() + "/pagine.pdf";
    for (auto _ : state) {
        TPrintPDF pdf(nullptr);
        pdf.FileName = target;
        pdf.BeginDoc();
        for (int p = 0; p < PdfPages; ++p) {
            if (p > 0)
                pdf.NewPage();
            pdf.DrawBitmap(52, 0, page.get());
        }
        pdf.EndDoc();
    }
    std::FILE* file = std::fopen(target.c_str(), "rb");
    if (file) {
        std::fseek(file, 0, SEEK_END);
        state.counters["pdf_bytes"] = static_cast<double>(std::ftell(file));
        std::fclose(file);
    }
}
BENCHMARK(BM_PrintPdf50BitmapPages)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: the 50 pages' palette indices deflated as the writer deflates them.
void BM_Compress2Over50Pages(benchmark::State& state)
{
    auto page = BenchPage(pf8bit);
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < PageHeight; ++y) {
        const std::uint8_t* row = page->ScanLine(y);
        pixels.insert(pixels.end(), row, row + PageWidth);
    }
    std::vector<Bytef> packed(compressBound(static_cast<uLong>(pixels.size())));
    std::size_t total = 0;
    for (auto _ : state) {
        total = 0;
        for (int p = 0; p < PdfPages; ++p) {
            uLongf size = packed.size();
            compress2(packed.data(), &size, pixels.data(), static_cast<uLong>(pixels.size()), Z_DEFAULT_COMPRESSION);
            total += size;
        }
    }
    state.counters["packed_bytes"] = static_cast<double>(total);
}
BENCHMARK(BM_Compress2Over50Pages)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
