// GIF pictures: decoding and composing a large picture and a 100-frame animation, each beside
// Qt's own GIF reader on the same bytes, and fetching from an image cache of 1,000 entries.

#include "htmlview/ImageCache.h"
#include "htmlview/panegif1.h"
#include "tests/TestFixtures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace GifBench {

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// A picture made by ImageMagick from the tests' plasma picture, once per build folder (the
// animation takes ImageMagick about 40 s).
std::string Picture(const std::string& name, const std::string& conversion)
{
    const std::string path = std::string(TestBinaryDir()) + "/" + name;
    if (!std::filesystem::exists(path)) {
        const std::string source = std::string(TestFixtureDir()) + "/../../tests/htmlview/data/big.gif";
        const std::string command = "convert '" + source + "' " + conversion + " '" + path + "'";
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "could not run: %s\n", command.c_str());
    }
    return ReadAll(path);
}

const std::string& LargePicture()
{
    static const std::string bytes = Picture("gifbench-1024.gif", "-resize 1024x1024! -colors 256");
    return bytes;
}

const std::string& Animation()
{
    static const std::string bytes =
        Picture("gifbench-anim100.gif", "-sample 320x240! -duplicate 99 -virtual-pixel tile -interpolate "
                                        "nearest-neighbor -filter point -distort SRT '%[fx:t*3.6]' -delay 5");
    return bytes;
}

void DecodeWithViewer(benchmark::State& state, const std::string& bytes)
{
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    std::size_t stripBytes = 0;
    for (auto _ : state) {
        bool nonAnimated = false;
        std::unique_ptr<TGIFImage> gif = CreateAGifFromStream(nonAnimated, stream);
        if (!gif) {
            state.SkipWithError("the picture did not decode");
            return;
        }
        stripBytes = static_cast<std::size_t>(gif->FBitmap->Width()) * gif->FBitmap->Height() * 3;
        benchmark::DoNotOptimize(gif.get());
    }
    state.counters["strip_MB"] = static_cast<double>(stripBytes) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}

void DecodeWithQt(benchmark::State& state, const std::string& bytes)
{
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    int frames = 0;
    for (auto _ : state) {
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "gif");
        frames = 0;
        while (reader.canRead()) {
            QImage image = reader.read();
            if (image.isNull())
                break;
            benchmark::DoNotOptimize(image.constBits());
            ++frames;
        }
    }
    state.counters["frames"] = frames;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}

void BM_Gif1024Viewer(benchmark::State& state) { DecodeWithViewer(state, LargePicture()); }
void BM_Gif1024Qt(benchmark::State& state) { DecodeWithQt(state, LargePicture()); }
void BM_Gif100FramesViewer(benchmark::State& state) { DecodeWithViewer(state, Animation()); }
void BM_Gif100FramesQt(benchmark::State& state) { DecodeWithQt(state, Animation()); }

BENCHMARK(BM_Gif1024Viewer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif1024Qt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif100FramesViewer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif100FramesQt)->Unit(benchmark::kMillisecond);

// Find plus GetImage in a sorted cache of 1,000 names.
void BM_CacheFindAndGetImage(benchmark::State& state)
{
    TStringBitmapList cache;
    cache.SetSorted(true);
    auto picture = std::make_shared<TBitmap>();
    for (int i = 0; i < 1000; ++i)
        cache.AddObject("http://server/images/picture" + std::to_string(i) + ".gif",
                        new TBitmapItem(picture, nullptr, PaneUn2::NotTransp));
    int next = 0;
    for (auto _ : state) {
        const std::string name = "http://server/images/picture" + std::to_string(next) + ".gif";
        next = (next + 7) % 1000;
        int index = -1;
        if (cache.Find(name, index))
            benchmark::DoNotOptimize(cache.GetImage(index));
    }
}
BENCHMARK(BM_CacheFindAndGetImage);

} // namespace GifBench
