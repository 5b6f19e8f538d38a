// Selection text buffers, link targets and client-side image maps.

#include "htmlview/MapItem.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace PaneUn2;

namespace {

TEST(SelText, CountingSkipsObjectPlaceholders)
{
    const std::string text = std::string("ab\x02") + "c\x04\xA0" + "d";
    SelTextCount counter;
    counter.AddText(text.data(), static_cast<int>(text.size()));
    EXPECT_EQ(counter.Terminate(), 5);
    counter.AddTextCR("xy", 2);
    EXPECT_EQ(counter.Terminate(), 9);
}

TEST(SelText, BufferWritesNoBreakSpacesAsSpacesAndEndsWithZero)
{
    const std::string text = std::string("a\x02\xA0") + "b\x04";
    std::vector<char> buffer(10, 'z');
    SelTextBuf writer(buffer.data(), 10);
    writer.AddText(text.data(), static_cast<int>(text.size()));
    writer.AddTextCR("c", 1);
    EXPECT_EQ(writer.Terminate(), 7);
    EXPECT_EQ(std::string(buffer.data()), "a bc\r\n");
}

TEST(SelText, FullBufferDropsTheRest)
{
    struct TBufferCase {
        int Size;
        int Offered;
        std::string Kept;
        int Terminated;
    };
    const TBufferCase cases[] = {
        {5, 10, "0123", 5},
        {1, 3, "", 1},
        {11, 10, "0123456789", 11},
        {0, 10, "", 0},
        {-3, 10, "", 0},
    };
    for (const TBufferCase& c : cases) {
        std::vector<char> buffer(16, 'z');
        SelTextBuf writer(buffer.data(), c.Size);
        writer.AddText("0123456789", c.Offered);
        writer.AddTextCR("ab", 2);
        EXPECT_EQ(writer.Terminate(), c.Terminated) << c.Size;
        const std::size_t written = c.Size >= 1 ? static_cast<std::size_t>(c.Size) : 0;
        if (c.Size >= 1) {
            EXPECT_EQ(std::string(buffer.data()), c.Kept) << c.Size;
        }
        // Nothing lands beyond the buffer, and a buffer without room gets not even the zero.
        EXPECT_EQ(buffer[written], 'z') << c.Size;
    }
}

TEST(TUrlTarget, AssignAndClear)
{
    TUrlTarget link;
    EXPECT_TRUE(link.Url.empty() && link.Target.empty());
    link.Assign("a.htm", "_blank");
    EXPECT_EQ(link.Url, "a.htm");
    EXPECT_EQ(link.Target, "_blank");
    link.Clear();
    EXPECT_TRUE(link.Url.empty() && link.Target.empty());
}

TEST(ReadAreaCoords, SeparatorsAndPieces)
{
    const std::pair<std::string, std::vector<int>> cases[] = {
        {"10, 20 ,30,40", {10, 20, 30, 40}},
        {"10 20 30 40", {10, 20, 30, 40}},
        {"1,2,x,4", {1, 2, 0, 4}},
        {"  7 ,, 8 \t", {7, 8}},
        {"$1F,-5", {31, -5}},
        {",1,2", {}},
        {"", {}},
        {"1\t2,3", {0, 3}},
        {"00000000000000000001234,5", {1, 5}},
        {"99999999999,2", {0, 2}},
    };
    for (const auto& [text, numbers] : cases)
        EXPECT_EQ(ReadAreaCoords(text), numbers) << text;
}

TEST(ReadAreaCoords, StopsAfter301Numbers)
{
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += std::to_string(i) + ",";
    const std::vector<int> numbers = ReadAreaCoords(text);
    ASSERT_EQ(numbers.size(), 301u);
    EXPECT_EQ(numbers.back(), 300);
    EXPECT_EQ(ReadAreaCoords(std::string(100000, '7')), std::vector<int>{0});
    EXPECT_EQ(ReadAreaCoords(std::string(100000, ',')), std::vector<int>{});
}

// The attributes of one AREA tag, in the order written.
std::unique_ptr<TAttributeList> Area(const std::vector<std::pair<Symb, std::string>>& attributes)
{
    auto list = std::make_unique<TAttributeList>();
    for (const auto& [symbol, text] : attributes)
        list->Add(new TAttribute(symbol, 0, text));
    return list;
}

void AddArea(TMapItem& map, const std::vector<std::pair<Symb, std::string>>& attributes)
{
    map.AddArea(Area(attributes).get());
}

// The address at the point, "" for none.
std::string UrlAt(const TMapItem& map, int x, int y, std::string* target = nullptr)
{
    TUrlTarget* link = nullptr;
    if (!map.GetURL(x, y, link))
        return "";
    std::unique_ptr<TUrlTarget> owned(link);
    if (target)
        *target = owned->Target;
    return owned->Url;
}

struct TShapeCase {
    const char* Shape; // nullptr: no SHAPE attribute
    const char* Coords;
    int Areas;
    std::vector<std::pair<int, int>> Inside, Outside;
};

TEST(TMapItem, ShapesAndTheirHits)
{
    const TShapeCase cases[] = {
        {"circle", "50,50,10", 1, {{50, 50}, {50, 42}, {57, 50}}, {{50, 38}, {61, 61}, {0, 0}}},
        {"CIRC", "50,50,10", 1, {{50, 50}}, {{70, 70}}},
        {"rectangle", "0,0,9,9", 1, {{0, 0}, {9, 9}, {5, 0}}, {{10, 10}, {10, 5}, {-1, 0}}},
        {"default", "0,0,9,9", 1, {{9, 9}}, {{10, 10}}},
        {nullptr, "0,0,9,9", 1, {{9, 9}}, {{10, 10}}},
        {"rect", "0,0,9", 0, {}, {{5, 5}}},
        {"circle", "50,50", 0, {}, {{50, 50}}},
        {"polygon", "0,0,30,0,30", 0, {}, {{10, 1}}},
        // A U: two posts and the bar across the top; the notch between the posts is outside.
        {"poly", "0,0,30,0,30,30,20,30,20,10,10,10,10,30,0,30", 1,
         {{5, 20}, {25, 20}, {15, 5}}, {{15, 20}, {15, 29}, {35, 5}, {5, 35}}},
        {"POLYGON", "10 10 90 10 50 90", 1, {{50, 40}, {20, 12}}, {{15, 50}, {85, 50}, {50, 95}}},
    };
    for (const TShapeCase& c : cases) {
        TMapItem map;
        std::vector<std::pair<Symb, std::string>> attributes = {{Symb::HrefSy, "go.htm"}, {Symb::CoordsSy, c.Coords}};
        if (c.Shape)
            attributes.emplace_back(Symb::ShapeSy, c.Shape);
        AddArea(map, attributes);
        EXPECT_EQ(map.Regions->Count(), c.Areas) << c.Coords;
        EXPECT_EQ(map.RegionTargets->Count(), c.Areas) << c.Coords;
        for (const auto& [x, y] : c.Inside)
            EXPECT_EQ(UrlAt(map, x, y), "go.htm") << c.Coords << " at " << x << "," << y;
        for (const auto& [x, y] : c.Outside)
            EXPECT_EQ(UrlAt(map, x, y), "") << c.Coords << " at " << x << "," << y;
    }
}

TEST(TMapItem, AreasWithoutAddressHideTheAreasBelow)
{
    TMapItem map;
    AddArea(map, {{Symb::HrefSy, "hidden.htm"}, {Symb::NoHrefSy, ""}, {Symb::CoordsSy, "0,0,9,9"}});
    AddArea(map, {{Symb::CoordsSy, "20,0,29,9"}});
    AddArea(map, {{Symb::NoHrefSy, ""}, {Symb::HrefSy, "back.htm"}, {Symb::CoordsSy, "0,0,39,9"},
                  {Symb::TargetSy, "_blank"}});
    ASSERT_EQ(map.Regions->Count(), 3);
    EXPECT_EQ(map.Regions->Strings(0), "");
    EXPECT_EQ(UrlAt(map, 5, 5), "");
    EXPECT_EQ(UrlAt(map, 25, 5), "");
    std::string target;
    EXPECT_EQ(UrlAt(map, 15, 5, &target), "back.htm");
    EXPECT_EQ(target, "_blank");
    EXPECT_EQ(UrlAt(map, 35, 5), "back.htm");
    EXPECT_EQ(UrlAt(map, 35, 10), "");
}

TEST(TMapItem, HostileGeometryStaysCheapAndHarmless)
{
    TMapItem map;
    std::string huge;
    for (int i = 0; i < 150; ++i)
        huge += (i % 2 ? "-2000000000," : "2000000000,") + std::string(i % 3 ? "2000000000," : "-2000000000,");
    AddArea(map, {{Symb::HrefSy, "far.htm"}, {Symb::ShapeSy, "poly"}, {Symb::CoordsSy, huge}});
    AddArea(map, {{Symb::HrefSy, "big.htm"}, {Symb::ShapeSy, "circle"}, {Symb::CoordsSy, "0,0,2000000000"}});
    AddArea(map, {{Symb::HrefSy, "wide.htm"}, {Symb::CoordsSy, "-2147483648,-2147483648,2147483647,2147483647"}});
    AddArea(map, {{Symb::HrefSy, "inside.htm"}, {Symb::ShapeSy, "circle"}, {Symb::CoordsSy, "0,0,-5"}});
    AddArea(map, {{Symb::HrefSy, "long.htm"}, {Symb::ShapeSy, "circle" + std::string(10000, 'x')},
                  {Symb::CoordsSy, std::string(100000, ' ') + "5,5,3" + std::string(99990, ',')}});
    ASSERT_EQ(map.Regions->Count(), 5);
    EXPECT_EQ(UrlAt(map, 0, 0), "wide.htm");
    EXPECT_EQ(UrlAt(map, 1000000, -1000000), "wide.htm");
    TMapItem small;
    AddArea(small, {{Symb::HrefSy, "inverted.htm"}, {Symb::ShapeSy, "circle"}, {Symb::CoordsSy, "20,20,-5"}});
    AddArea(small, {{Symb::HrefSy, "long.htm"}, {Symb::ShapeSy, "circle" + std::string(10000, 'x')},
                    {Symb::CoordsSy, std::string(100000, ' ') + "50,50,3" + std::string(99990, ',')}});
    EXPECT_EQ(UrlAt(small, 50, 50), "long.htm");
    UrlAt(small, 20, 20); // whatever the layer makes of the inverted box, it answers
}

} // namespace
