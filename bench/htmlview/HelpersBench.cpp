// The viewer's per-frame helpers: the image-map hit test that runs on every mouse move over a
// mapped picture, the margins that layout asks for at every line, and the COORDS reader on long
// values (its time should grow with the length only).

#include "htmlview/IndentManagerBasic.h"
#include "htmlview/MapItem.h"
#include "platform/gui/Application.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace HelpersBench {

void EnsureApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}

// Times the hit test at (x, y), which must find expected.
void TimeGetURL(benchmark::State& state, const TMapItem& map, int x, int y, const std::string& expected)
{
    TUrlTarget* probe = nullptr;
    const bool hit = map.GetURL(x, y, probe);
    const std::string found = hit ? probe->Url : "";
    delete probe;
    if (found != expected) {
        state.SkipWithError(("the point hits '" + found + "'").c_str());
        return;
    }
    for (auto _ : state) {
        TUrlTarget* link = nullptr;
        benchmark::DoNotOptimize(map.GetURL(x, y, link));
        delete link;
    }
}

void AddArea(TMapItem& map, const std::string& shape, const std::string& coords, const std::string& href)
{
    TAttributeList attributes;
    attributes.Add(new TAttribute(Symb::ShapeSy, 0, shape));
    attributes.Add(new TAttribute(Symb::CoordsSy, 0, coords));
    attributes.Add(new TAttribute(Symb::HrefSy, 0, href));
    map.AddArea(&attributes);
}

// A ring around (cx, cy) with a gap on the right: the outer arc one way, the inner arc back, 150
// vertices in all (a map reads at most 301 numbers). The centre lies inside the polygon's box
// but outside the polygon.
std::string RingCoords(int cx, int cy, int inner, int outer)
{
    std::string coords;
    const double pi = std::acos(-1.0);
    for (int ring = 0; ring < 2; ++ring) {
        const int radius = ring == 0 ? outer : inner;
        for (int i = 0; i < 75; ++i) {
            const double step = ring == 0 ? i : 74 - i;
            const double angle = 0.3 + step * (2 * pi - 0.6) / 74;
            coords += std::to_string(cx + static_cast<int>(radius * std::cos(angle))) + "," +
                      std::to_string(cy + static_cast<int>(radius * std::sin(angle))) + ",";
        }
    }
    return coords;
}

// A 300-vertex regular polygon inside the cell at (x, y); the map keeps the first 150 vertices,
// half of it.
std::string CellPolygonCoords(int x, int y, int size)
{
    std::string coords;
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 300; ++i) {
        const double angle = i * 2 * pi / 300;
        coords += std::to_string(x + size / 2 + static_cast<int>(size / 2 * std::cos(angle))) + "," +
                  std::to_string(y + size / 2 + static_cast<int>(size / 2 * std::sin(angle))) + ",";
    }
    return coords;
}

// 100 areas side by side in a 10 x 10 grid of 40-pixel cells: rectangles, circles and polygons.
void BM_MapGetURLSideBySide(benchmark::State& state)
{
    EnsureApplication();
    TMapItem map;
    for (int i = 0; i < 100; ++i) {
        const int x = (i % 10) * 40, y = (i / 10) * 40;
        const std::string href = "area" + std::to_string(i) + ".htm";
        if (i % 3 == 0)
            AddArea(map, "rect", std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(x + 35) + "," +
                                     std::to_string(y + 35), href);
        else if (i % 3 == 1)
            AddArea(map, "circle", std::to_string(x + 18) + "," + std::to_string(y + 18) + ",17", href);
        else
            AddArea(map, "poly", CellPolygonCoords(x, y, 36), href);
    }
    TimeGetURL(state, map, 9 * 40 + 18, 9 * 40 + 18, "area99.htm");
}
BENCHMARK(BM_MapGetURLSideBySide);

// The worst case: 99 rings whose boxes all hold the point, which only the last area contains.
void BM_MapGetURLNested(benchmark::State& state)
{
    EnsureApplication();
    TMapItem map;
    for (int i = 0; i < 99; ++i)
        AddArea(map, "poly", RingCoords(500, 500, 30 + 4 * i, 32 + 4 * i), "ring.htm");
    AddArea(map, "rect", "495,495,505,505", "centre.htm");
    TimeGetURL(state, map, 500, 500, "centre.htm");
}
BENCHMARK(BM_MapGetURLNested);

// 500 floats on each side, overlapping in steps of 10 pixels.
std::unique_ptr<IndentManagerBasic> CrowdedMargins()
{
    auto margins = std::make_unique<IndentManagerBasic>();
    margins->Reset(0, 2000);
    for (int i = 0; i < 500; ++i) {
        margins->UpdateTable(i * 10, 5 + i % 7, 60, PaneUn2::Left);
        margins->UpdateTable(i * 10, 5 + i % 5, 60, PaneUn2::Right);
    }
    return margins;
}

void BM_IndentLeftIndent(benchmark::State& state)
{
    const auto margins = CrowdedMargins();
    int y = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(margins->LeftIndent(y));
        y = (y + 37) % 5000;
    }
}
BENCHMARK(BM_IndentLeftIndent);

void BM_IndentRightSide(benchmark::State& state)
{
    const auto margins = CrowdedMargins();
    int y = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(margins->RightSide(y));
        y = (y + 37) % 5000;
    }
}
BENCHMARK(BM_IndentRightSide);

// A COORDS value of the given length: a few numbers, then separators only. The time should grow
// linearly with the length.
void BM_ReadAreaCoordsLong(benchmark::State& state)
{
    const std::string coords = "10,20,30,40" + std::string(static_cast<std::size_t>(state.range(0)), ',');
    for (auto _ : state)
        benchmark::DoNotOptimize(PaneUn2::ReadAreaCoords(coords));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadAreaCoordsLong)->RangeMultiplier(10)->Range(10000, 1000000)->Complexity(benchmark::oN);

// One AREA with a long SHAPE and a long COORDS, region and all.
void BM_AddAreaLong(benchmark::State& state)
{
    EnsureApplication();
    const std::size_t length = static_cast<std::size_t>(state.range(0));
    const std::string shape = "circle" + std::string(length, 'x');
    const std::string coords = "50,50,20" + std::string(length, ' ');
    for (auto _ : state) {
        TMapItem map;
        AddArea(map, shape, coords, "a.htm");
        benchmark::DoNotOptimize(map.Regions->Count());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_AddAreaLong)->RangeMultiplier(10)->Range(10000, 1000000)->Complexity(benchmark::oN);

// A polygon of 150 points at +-2,000,000,000: its box is far too large to paint, so the area is
// kept without pixels.
void BM_AddAreaFarPolygon(benchmark::State& state)
{
    EnsureApplication();
    std::string coords;
    for (int i = 0; i < 150; ++i)
        coords += (i % 2 ? "-2000000000," : "2000000000,") + std::string(i % 3 ? "2000000000," : "-2000000000,");
    for (auto _ : state) {
        TMapItem map;
        AddArea(map, "poly", coords, "far.htm");
        benchmark::DoNotOptimize(map.Regions->Count());
    }
}
BENCHMARK(BM_AddAreaFarPolygon);

} // namespace HelpersBench
