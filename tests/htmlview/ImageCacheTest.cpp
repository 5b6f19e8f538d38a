// The viewer's image cache and picture functions: aging and shared pictures, format sniffing,
// GIF and PNG transparency, loading with masks, drawing through a mask, device-independent
// copies, palettes, and the start-up with the viewer's own pictures and cursors.

#include "GifTestSupport.h"
#include "HtmlTestSupport.h"
#include "htmlview/ImageCache.h"
#include "htmlview/ViewerArt.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"
#include "tests/TestFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace PaneUn2;

namespace {

std::string CacheFixture(const std::string& name) { return std::string(TestFixtureDir()) + "/data/" + name; }

std::string ScratchFile(const std::string& name)
{
    const std::string folder = std::string(TestBinaryDir()) + "/imagecache";
    std::filesystem::create_directories(folder);
    return folder + "/" + name;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    TMemoryStream stream;
    StreamOf(stream, bytes);
    stream.SaveToFile(path);
}

// A 6 x 4 picture: green, a red lower-left pixel and a blue upper-right one.
std::unique_ptr<TBitmap> SmallPicture()
{
    auto picture = NewFilledBitmap(6, 4, clLime);
    picture->Canvas()->SetPixels(0, 3, clRed);
    picture->Canvas()->SetPixels(5, 0, clBlue);
    picture->Canvas()->SetPixels(2, 2, clRed);
    return picture;
}

TBitmapItem* NewItem(std::shared_ptr<TPersistent> picture = std::make_shared<TBitmap>())
{
    return new TBitmapItem(std::move(picture), nullptr, NotTransp);
}

TEST(ImageCache, EntriesAgeOutOnlyWithoutHolders)
{
    TStringBitmapList cache;
    cache.SetSorted(true);
    ASSERT_EQ(cache.CacheCount(), 4);
    cache.AddObject("b.gif", NewItem());
    const int index = cache.AddObject("A.BMP", NewItem());
    EXPECT_EQ(cache.Item(index)->Holders, 1) << "a new entry has its first holder";

    cache.DecUsage("a.bmp"); // names compare without case
    for (int pass = 0; pass < 4; ++pass)
        cache.BumpAndCheck();
    EXPECT_NE(cache.IndexOf("A.BMP"), -1) << "survives CacheCount passes";
    cache.BumpAndCheck();
    EXPECT_EQ(cache.IndexOf("A.BMP"), -1) << "goes in the next";
    for (int pass = 0; pass < 5; ++pass)
        cache.BumpAndCheck();
    int found = -1;
    ASSERT_TRUE(cache.Find("B.GIF", found)) << "held entries never go";

    // Fetching makes an entry fresh and adds a holder.
    EXPECT_NE(cache.GetImage(found), nullptr);
    EXPECT_EQ(cache.Item(found)->IdlePasses, 0);
    EXPECT_EQ(cache.Item(found)->Holders, 2);
    cache.DecUsage("nothing.gif");
    cache.IncUsage("nothing.gif");
}

TEST(ImageCache, SettingTheCountAndPurgingDropOnlyEntriesWithoutHolders)
{
    TStringBitmapList cache;
    cache.SetSorted(true);
    for (const char* name : {"fresh", "aged", "held"})
        cache.AddObject(name, NewItem());
    cache.DecUsage("aged");
    cache.BumpAndCheck();
    cache.DecUsage("fresh"); // no pass since it lost its holder, but one pass before
    cache.AddObject("new", NewItem());
    cache.DecUsage("new");
    cache.SetCacheCount(0);
    EXPECT_EQ(cache.CacheCount(), 0);
    EXPECT_EQ(cache.IndexOf("aged"), -1);
    EXPECT_EQ(cache.IndexOf("fresh"), -1);
    EXPECT_NE(cache.IndexOf("new"), -1) << "no aging pass yet";
    EXPECT_NE(cache.IndexOf("held"), -1);
    cache.PurgeCache();
    EXPECT_EQ(cache.IndexOf("new"), -1);
    EXPECT_NE(cache.IndexOf("held"), -1);
}

TEST(ImageCache, APictureStillHeldOutlivesItsEntry)
{
    TStringBitmapList cache;
    cache.SetSorted(true);
    std::shared_ptr<TBitmap> picture = NewFilledBitmap(4, 4, clBlue);
    cache.AddObject("pic", NewItem(picture));
    cache.AddObject("pic", NewItem()); // a second item under the same name is freed
    EXPECT_EQ(cache.Count(), 1);
    int index = -1;
    ASSERT_TRUE(cache.Find("pic", index));
    std::shared_ptr<TPersistent> held = cache.GetImage(index);
    picture.reset();
    cache.DecUsage("pic");
    cache.DecUsage("pic");
    cache.PurgeCache();
    cache.Clear();
    EXPECT_EQ(cache.Count(), 0);
    auto target = NewFilledBitmap(8, 8, clWhite);
    target->Canvas()->StretchDraw(Rect(0, 0, 8, 8), dynamic_cast<TBitmap*>(held.get()));
    EXPECT_EQ(target->Canvas()->Pixels(7, 7), clBlue);
}

TEST(ImageSniffing, KindsAndGifTransparency)
{
    const struct {
        std::string Bytes;
        ImageType Kind;
    } kinds[] = {
        {"GIF87a", Gif},          {"GIF89a", Gif89},       {"GIF8", Gif},         {"BM\x36\x00", Bmp},
        {"\x89PNG\r\n", Png},      {"\xFF\xD8\xFF\xE0", Jpg}, {"GIF", NoImage},       {"BM", Bmp},
        {"\x89PN", NoImage},      {std::string(), NoImage}, {"<html>", NoImage},
    };
    for (const auto& k : kinds)
        EXPECT_EQ(KindOfImage(k.Bytes.data(), k.Bytes.size()), k.Kind) << k.Bytes;

    const std::string transparent = HexBytes("47 49 46 38 39 61 01 00 01 00 80 00 00 FF FF FF 00 00 00 21 F9 04 01 00 "
                                             "00 00 00 2C 00 00 00 00 01 00 01 00 00 02 02 44 01 00 3B");
    TMemoryStream stream;
    StreamOf(stream, transparent);
    stream.SetPosition(5);
    TColor color = clNone;
    EXPECT_TRUE(IsTransparent(stream, color));
    EXPECT_EQ(color, 0xFFFFFFu);
    EXPECT_EQ(stream.Position(), 5);
    EXPECT_EQ(KindOfImage(stream.Memory(), 11), Gif89);

    // A comment block between the table and the graphic control block.
    std::string later = transparent;
    later.insert(19, HexBytes("21 FE 01 41 00"));
    StreamOf(stream, later);
    EXPECT_FALSE(IsTransparent(stream, color));
    // Without the flag, or an 87a file.
    StreamOf(stream, std::string(transparent).replace(22, 1, std::string(1, '\0')));
    EXPECT_FALSE(IsTransparent(stream, color));
    StreamOf(stream, std::string(transparent).replace(4, 1, "7"));
    EXPECT_FALSE(IsTransparent(stream, color));
    StreamOf(stream, "GIF89a");
    EXPECT_FALSE(IsTransparent(stream, color));

    const std::string file = ScratchFile("t.GIF");
    WriteFile(file, transparent);
    color = clNone;
    EXPECT_TRUE(TransparentGIF(file, color));
    EXPECT_FALSE(TransparentGIF(ScratchFile("missing.gif"), color));
}

TEST(ImageSniffing, PngTransparencyStaysInsideItsChunks)
{
    const struct {
        const char* Name;
        bool Transparent;
        TColor Color;
    } files[] = {
        {"t3.png", true, 70 | (80 << 8) | (90 << 16)},
        {"t2.png", true, clNone},
        {"t6.png", false, clNone},
        {"idatfirst.png", false, clNone},
        {"long.png", false, clNone}, // IHDR of 100 bytes, PLTE of 300 entries, tRNS index 299
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.Name);
        TMemoryStream stream;
        stream.LoadFromFile(CacheFixture(f.Name));
        stream.SetPosition(3);
        TColor color = clNone;
        EXPECT_EQ(IsTransparentPng(stream, color), f.Transparent);
        EXPECT_EQ(color, f.Color);
        EXPECT_EQ(stream.Position(), 3);
        EXPECT_EQ(TransparentPNG(CacheFixture(f.Name), color), f.Transparent);
    }
    // Cut inside a chunk (the last cut inside tRNS), and a length beyond the end.
    std::string t3 = ReadFileBytes(CacheFixture("t3.png"));
    for (std::size_t cut : {std::size_t{8}, std::size_t{20}, std::size_t{40}, std::size_t{66}}) {
        TMemoryStream stream;
        StreamOf(stream, t3.substr(0, cut));
        TColor color = clNone;
        EXPECT_FALSE(IsTransparentPng(stream, color)) << cut;
    }
    t3[33 + 0] = '\x7F'; // the length of PLTE
    TMemoryStream stream;
    StreamOf(stream, t3);
    TColor color = clNone;
    EXPECT_FALSE(IsTransparentPng(stream, color));
}

TEST(ImageLoading, FilesGiveBitmapsOnlyForBmpAndGif)
{
    const std::string bmp = ScratchFile("small.bmp");
    SmallPicture()->SaveToFile(bmp);
    std::unique_ptr<TBitmap> picture = GetImageFromFile(bmp);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Width(), 6);
    EXPECT_EQ(picture->Canvas()->Pixels(5, 0), clBlue);

    std::unique_ptr<TBitmap> gif = GetImageFromFile(CacheFixture("anim.gif"));
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->Width(), 40) << "the first frame only";
    EXPECT_EQ(gif->Height(), 30);

    const std::string jpg = ScratchFile("photo.jpg");
    WriteFile(jpg, HexBytes("FF D8 FF E0 00 10 4A 46 49 46 00 01 01 00 00 01"));
    const std::string renamed = ScratchFile("small.png");
    std::filesystem::copy_file(bmp, renamed, std::filesystem::copy_options::overwrite_existing);
    for (const std::string& name : {CacheFixture("t3.png"), jpg, ScratchFile("missing.bmp"), ScratchFile("")})
        EXPECT_EQ(GetImageFromFile(name), nullptr) << name;
    EXPECT_NE(GetImageFromFile(renamed), nullptr) << "the bytes decide, not the name";

    // A file whose signature promises a bitmap it does not hold: the sniff passes, the load fails.
    const std::string broken = ScratchFile("broken.bmp");
    WriteFile(broken, "BM" + std::string(30, '\x01'));
    std::unique_ptr<TBitmap> mask;
    Transparency transp = LLCorner;
    EXPECT_EQ(GetImageFromFile(broken), nullptr);
    EXPECT_EQ(GetImageAndMaskFromFile(broken, transp, mask), nullptr);
    EXPECT_EQ(mask, nullptr);
    transp = NotTransp;
    EXPECT_EQ(GetImageAndMaskFromFile(ScratchFile("gone.bmp"), transp, mask), nullptr);
    TMemoryStream stream;
    stream.LoadFromFile(broken);
    EXPECT_EQ(GetImageAndMaskFromStream(&stream, LLCorner, mask), nullptr);
    EXPECT_EQ(mask, nullptr);
}

TEST(ImageLoading, MasksFromTheLowerLeftPixelOrTheGifColour)
{
    const std::string bmp = ScratchFile("corner.bmp");
    SmallPicture()->SaveToFile(bmp);
    std::unique_ptr<TBitmap> mask;
    Transparency transp = LLCorner;
    std::unique_ptr<TBitmap> picture = GetImageAndMaskFromFile(bmp, transp, mask);
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(transp, LLCorner);
    EXPECT_TRUE(mask->Monochrome());
    EXPECT_EQ(mask->Canvas()->Pixels(0, 3), clWhite);
    EXPECT_EQ(mask->Canvas()->Pixels(2, 2), clWhite);
    EXPECT_EQ(mask->Canvas()->Pixels(1, 1), clBlack);
    EXPECT_EQ(mask->Canvas()->Pixels(5, 0), clBlack);

    transp = NotTransp;
    const std::string gif = ScratchFile("white.gif");
    WriteFile(gif, HexBytes("47 49 46 38 39 61 01 00 01 00 80 00 00 FF FF FF 00 00 00 21 F9 04 01 00 00 00 00 2C 00 00 "
                            "00 00 01 00 01 00 00 02 02 44 01 00 3B"));
    picture = GetImageAndMaskFromFile(gif, transp, mask);
    EXPECT_EQ(transp, PaneUn2::TGif);
    ASSERT_NE(mask, nullptr);

    std::unique_ptr<TBitmap> given = GetImageMask(*SmallPicture(), true, clBlue);
    ASSERT_NE(given, nullptr);
    EXPECT_EQ(given->Canvas()->Pixels(5, 0), clWhite);
    EXPECT_EQ(given->Canvas()->Pixels(0, 3), clBlack);
}

TEST(ImageLoading, StreamsGiveBitmapsOnlyForBitmapData)
{
    std::unique_ptr<TBitmap> mask;
    TMemoryStream stream;
    SmallPicture()->SaveToStream(stream);
    std::unique_ptr<TBitmap> picture = GetImageAndMaskFromStream(&stream, LLCorner, mask);
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->Canvas()->Pixels(0, 3), clWhite);
    EXPECT_EQ(GetImageAndMaskFromStream(&stream, NotTransp, mask)->Width(), 6);
    EXPECT_EQ(mask, nullptr);

    StreamOf(stream, "BM" + std::string(17, '\0'));
    EXPECT_EQ(GetImageAndMaskFromStream(&stream, LLCorner, mask), nullptr) << "shorter than 20 bytes";
    StreamOf(stream, HexBytes("FF D8 FF E0 00 10 4A 46 49 46 00 01 01 00 00 01 00 01 00 00 FF D9"));
    EXPECT_EQ(GetImageAndMaskFromStream(&stream, NotTransp, mask), nullptr) << "JPEG passes, then gives nothing";
    StreamOf(stream, ReadFileBytes(CacheFixture("anim.gif")));
    EXPECT_EQ(GetImageAndMaskFromStream(&stream, NotTransp, mask), nullptr);
    EXPECT_EQ(GetImageAndMaskFromStream(nullptr, NotTransp, mask), nullptr);
}

TEST(ImageDrawing, FinishTransparentBitmapKeepsTheBackgroundUnderWhiteMask)
{
    std::unique_ptr<TBitmap> picture = SmallPicture();
    std::unique_ptr<TBitmap> mask = GetImageMask(*picture, false, 0); // red is transparent
    ASSERT_NE(mask, nullptr);
    auto page = NewFilledBitmap(20, 12, clBlue);
    FinishTransparentBitmap(page->Canvas()->Handle(), picture.get(), mask.get(), 4, 2, 12, 8); // doubled
    TCanvas* c = page->Canvas();
    EXPECT_EQ(c->Pixels(4, 8), clBlue) << "the red lower-left pixel is transparent";
    EXPECT_EQ(c->Pixels(9, 7), clBlue) << "and the red pixel at (2, 2)";
    EXPECT_EQ(c->Pixels(6, 2), clLime);
    EXPECT_EQ(c->Pixels(15, 3), clBlue) << "an opaque blue pixel";
    EXPECT_EQ(c->Pixels(13, 3), clLime);
    EXPECT_EQ(c->Pixels(3, 2), clBlue) << "outside";
    EXPECT_EQ(InkIn(*page, Rect(4, 2, 16, 10), clBlue), 96 - 8 - 4) << "only the lime pixels changed";

    auto mono = NewFilledBitmap(20, 12, clWhite);
    mono->Canvas()->Brush()->SetColor(clWhite);
    mono->SetMonochrome(true);
    FinishTransparentBitmap(mono->Canvas()->Handle(), picture.get(), mask.get(), 0, 0, 6, 4);
    EXPECT_EQ(InkIn(*mono, Rect(0, 0, 20, 12), clWhite), 0) << "nothing on a monochrome destination";
}

TEST(ImageDrawing, DeviceIndependentCopiesAndMemoryBlocks)
{
    std::unique_ptr<TBitmap> picture = SmallPicture();
    HDC dc = CreateCompatibleDC(nullptr);
    {
        TDib dib(dc, picture.get());
        EXPECT_EQ(dib.InfoHeader->bmiHeader.biBitCount, 24);
        EXPECT_EQ(dib.BitsSize, 4 * 20);
        auto target = NewFilledBitmap(12, 8, clWhite);
        dib.DrawDIB(target->Canvas()->Handle(), 0, 0, 12, 8, SRCCOPY);
        EXPECT_EQ(target->Canvas()->Pixels(11, 0), clBlue);
        EXPECT_EQ(target->Canvas()->Pixels(0, 7), clRed);
        HBITMAP copy = dib.CreateDIBmp();
        ASSERT_NE(copy, nullptr);
        TBitmap fromHandle;
        fromHandle.SetHandle(copy);
        EXPECT_EQ(fromHandle.Canvas()->Pixels(2, 2), clRed);
    }
    DeleteDC(dc);

    std::unique_ptr<AllocRec> small = PaneUn2::Allocate(100);
    EXPECT_EQ(small->MemHandle, nullptr);
    EXPECT_NE(small->Memory, nullptr);
    std::unique_ptr<AllocRec> large = PaneUn2::Allocate(LargeBlockSize + 1);
    EXPECT_NE(large->MemHandle, nullptr);
    static_cast<char*>(large->Memory)[LargeBlockSize] = 1;
    PaneUn2::DeAllocate(large.get());
    PaneUn2::DeAllocate(small.get());
    EXPECT_EQ(large->Memory, nullptr);
}

TEST(ImagePalettes, TrueColourDisplayHasNoPalette)
{
    EXPECT_EQ(ColorBits(), 24);
    EXPECT_EQ(ThePalette(), nullptr);
    EXPECT_EQ(CopyPalette(nullptr), nullptr);
    SetGlobalPalette(nullptr);
    const int depths[][2] = {{1, 4}, {4, 4}, {8, 8}, {16, 24}, {24, 24}, {32, 24}};
    for (const auto& d : depths)
        EXPECT_EQ(ColorBitsOf(d[0]), d[1]) << d[0];

    std::array<PALETTEENTRY, 256> system{};
    system[0] = {1, 2, 3, 0};
    system[255] = {255, 255, 255, 0};
    system[100] = {9, 9, 9, 0};
    const std::array<PALETTEENTRY, 256> p = ViewerPaletteEntries(system);
    const auto same = [](const PALETTEENTRY& e, int r, int g, int b) {
        return e.peRed == r && e.peGreen == g && e.peBlue == b;
    };
    EXPECT_TRUE(same(p[0], 1, 2, 3));
    EXPECT_TRUE(same(p[255], 255, 255, 255));
    EXPECT_TRUE(same(p[10], 55, 55, 55));
    EXPECT_TRUE(same(p[11], 55, 55, 115)) << "blue varies fastest";
    EXPECT_TRUE(same(p[16], 55, 115, 55));
    EXPECT_TRUE(same(p[224], 255, 255, 235)) << "the cube without white";
    EXPECT_TRUE(same(p[225], 135, 135, 135));
    EXPECT_TRUE(same(p[231], 170, 170, 170)) << "165 left out";
    EXPECT_TRUE(same(p[245], 250, 250, 250));

    std::array<PALETTEENTRY, 256> full{};
    LOGPALETTE log;
    log.palPalEntry.assign(p.begin(), p.begin() + 40);
    HPALETTE palette = CreatePalette(&log);
    HPALETTE copy = CopyPalette(palette);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(GetPaletteEntries(copy, 0, 256, full.data()), 40u);
    EXPECT_TRUE(same(full[11], 55, 55, 115));
    DeleteObject(copy);
    DeleteObject(palette);
}

// The picture enlarged 8 times, saved as name.png in the screenshot folder when one is set.
void SaveEnlarged(TBitmap& picture, const std::string& name)
{
    auto large = NewFilledBitmap(picture.Width() * 8, picture.Height() * 8, clWhite);
    large->Canvas()->StretchDraw(Rect(0, 0, large->Width(), large->Height()), &picture);
    SavePicture(*large, name);
    const char* folder = std::getenv("TESS_SCREENSHOT_DIR");
    if (folder != nullptr && *folder != '\0') {
        const std::string base = std::string(folder) + "/" + name;
        EXPECT_EQ(RunCommand("convert '" + base + ".bmp' '" + base + ".png' && rm -f '" + base + ".bmp'"), 0);
    }
}

TEST(ViewerStartup, OwnPicturesResourcesAndCursors)
{
    HtmlViewStartup();
    HtmlViewStartup(); // once only
    ASSERT_NE(BitmapList(), nullptr);
    EXPECT_TRUE(BitmapList()->Sorted());
    ASSERT_NE(WaitStream(), nullptr);
    EXPECT_EQ(WaitStream()->Size(), 0);
    for (int id : {1001, 1002, 1005})
        EXPECT_NE(ResourceBytes(MainInstance(), RT_BITMAP, MAKEINTRESOURCE(id)), nullptr) << id;

    TBitmap& globe = *DefBitMap();
    ASSERT_EQ(globe.Width(), 16);
    ASSERT_EQ(globe.Height(), 16);
    EXPECT_EQ(globe.Canvas()->Pixels(0, 0), clSilver);
    EXPECT_EQ(globe.Canvas()->Pixels(2, 7), clBlue);
    EXPECT_EQ(globe.Canvas()->Pixels(6, 3), clOlive);

    TBitmap& error = *ErrorBitMap();
    ASSERT_EQ(error.Width(), 16);
    EXPECT_EQ(error.Canvas()->Pixels(3, 3), clYellow);
    EXPECT_EQ(error.Canvas()->Pixels(7, 5), clBlack) << "the stroke of the !";
    EXPECT_EQ(error.Canvas()->Pixels(8, 11), clBlack) << "its dot";
    EXPECT_EQ(error.Canvas()->Pixels(7, 10), clYellow);

    TBitmap& mask = *ErrorBitmapMask();
    ASSERT_EQ(mask.Width(), 16);
    EXPECT_TRUE(mask.Monochrome());
    for (const auto& corner : {TPoint{0, 0}, TPoint{15, 0}, TPoint{0, 15}, TPoint{15, 15}, TPoint{1, 0}, TPoint{0, 1}})
        EXPECT_EQ(mask.Canvas()->Pixels(corner.X, corner.Y), clWhite) << corner.X << "," << corner.Y;
    EXPECT_EQ(mask.Canvas()->Pixels(2, 0), clBlack);
    EXPECT_EQ(mask.Canvas()->Pixels(8, 8), clBlack);
    // The placeholder drawn through its mask keeps the page at the corners.
    auto page = NewFilledBitmap(16, 16, clBlue);
    FinishTransparentBitmap(page->Canvas()->Handle(), &error, &mask, 0, 0, 16, 16);
    EXPECT_EQ(page->Canvas()->Pixels(0, 0), clBlue);
    EXPECT_EQ(page->Canvas()->Pixels(3, 3), clYellow);

    SaveEnlarged(globe, "h02-defbitmap");
    SaveEnlarged(error, "h02-errorbitmap");
    SaveEnlarged(mask, "h02-errormask");

    // The table holds copies made for the screen (not readable here): every slot 1-5 is set.
    for (int index = 1; index <= 5; ++index)
        EXPECT_NE(Screen->Cursors(index), Screen->Cursors(crDefault)) << index;
    for (const char* name : {"UPDOWNCURSOR", "UPONLYCURSOR", "DOWNONLYCURSOR"}) {
        HICON icon = nullptr;
        int hotX = 0, hotY = 0;
        ASSERT_TRUE(CursorImage(LoadCursorA(MainInstance(), name), icon, hotX, hotY)) << name;
        EXPECT_EQ(hotX, 15);
        EXPECT_EQ(hotY, 15);
    }
    const std::vector<std::string> upOnly = ViewerArt::ScrollCursorRows(true, false);
    EXPECT_EQ(upOnly[3][15], '#') << "arrow tip";
    EXPECT_EQ(upOnly[15][15], '#') << "dot at the hot spot";
    EXPECT_EQ(upOnly[24][15], ' ') << "no down arrow";
}

} // namespace
