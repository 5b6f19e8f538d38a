// Images of a viewer document with their pictures: fetching from files, the image request
// handler and the cache, sizing, drawing, hover, late data, the cache's use counts and the hit
// tests. Documents are built in code; pictures are written by the tests.

#include "GifTestSupport.h"
#include "HtmlTestSupport.h"
#include "htmlview/panegif1.h"
#include "platform/rtl/Threads.h"
#include "tests/TestFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace PaneUn2;

// Named: the test files may be compiled together.
namespace ImagePictureTests {

// Names stay as written: the tests give full paths.
class TPlainViewer : public TViewerServices {
public:
    TComponent* ViewerComponent() override { return &Component; }
    std::string HTMLExpandFilename(const std::string& Filename) override { return Filename; }
    int ViewerClientHeight() override { return 400; }
    int MarginHeight() override { return 0; }
    void SetDocumentMarginWidth(int) override {}
    void SetDocumentMarginHeight(int) override {}
    TComponent Component{nullptr};
};

std::string ScratchFile(const std::string& name)
{
    const std::string folder = std::string(TestBinaryDir()) + "/imageobj";
    std::filesystem::create_directories(folder);
    return folder + "/" + name;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    TMemoryStream stream;
    StreamOf(stream, bytes);
    stream.SaveToFile(path);
}

std::string BitmapBytes(TBitmap& bitmap)
{
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    return std::string(static_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}

// A w x h bitmap file of one colour with a blue top-left pixel.
std::string WriteBmp(const std::string& name, int w, int h, TColor color = clRed)
{
    auto bitmap = NewFilledBitmap(w, h, color);
    bitmap->Canvas()->SetPixels(0, 0, clBlue);
    const std::string path = ScratchFile(name);
    WriteBytes(path, BitmapBytes(*bitmap));
    return path;
}

// One frame of w x h in a single palette index.
TTestGifFrame Frame(int w, int h, std::uint8_t index, int transparent = -1)
{
    TTestGifFrame frame;
    frame.Width = w;
    frame.Height = h;
    frame.Pixels.assign(static_cast<std::size_t>(w * h), index);
    frame.Transparent = transparent;
    frame.Delay = 10;
    return frame;
}

// Palette: 0 red, 1 lime, 2 blue, 3 white.
TTestGif GifOf(std::vector<TTestGifFrame> frames, int w, int h)
{
    TTestGif gif;
    gif.Width = w;
    gif.Height = h;
    gif.Palette = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    gif.Frames = std::move(frames);
    gif.Loops = 0;
    return gif;
}

// 4 x 4, left half red, right half transparent.
std::string TransparentGif()
{
    TTestGifFrame frame = Frame(4, 4, 0, 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 2; x < 4; ++x)
            frame.Pixels[static_cast<std::size_t>(y * 4 + x)] = 3;
    return MakeGif(GifOf({frame}, 4, 4));
}

std::string TwoFrameGif() { return MakeGif(GifOf({Frame(4, 4, 0), Frame(4, 4, 1)}, 4, 4)); }
std::string ThreeFrameGif() { return MakeGif(GifOf({Frame(4, 4, 0), Frame(4, 4, 1), Frame(4, 4, 2)}, 4, 4)); }

int HoldersOf(const std::string& key)
{
    const int index = BitmapList()->IndexOf(key);
    return index < 0 ? 0 : BitmapList()->Item(index)->Holders;
}

constexpr TColor Fill = clTeal;

class ImagePictureTest : public testing::Test {
protected:
    ImagePictureTest()
    {
        HtmlViewStartup();
        FDoc.ImagesOn = true;
        FDoc.SetFonts("Arial", "Courier New", 12, clBlack, clBlue, clPurple, clRed, clWhite, false);
    }
    ~ImagePictureTest() override
    {
        FImages.clear();
        FDoc.Clear();
    }

    TImageObj* Image(const std::string& tag)
    {
        FAttributes.push_back(TagAttributes(tag));
        FImages.push_back(std::make_unique<TImageObj>(0, FAttributes.back().get()));
        return FImages.back().get();
    }
    TImageObj* Laid(const std::string& tag, int availWidth = 400, TFontObj* run = nullptr)
    {
        TImageObj* image = Image(tag);
        image->DrawLogic(&FDoc, FCanvas->Canvas(), run, availWidth);
        return image;
    }
    // A link run in red.
    TFontObj* LinkRun()
    {
        auto* font = new TMyFont;
        font->SetName("Arial");
        font->SetColor(clRed);
        FRun = std::make_unique<TFontObj>(nullptr, font, 0);
        FRun->Link->Url = "somewhere.htm";
        return FRun.get();
    }
    void Paint(TImageObj* image, int x = 0, int top = 0, TFontObj* run = nullptr)
    {
        image->Draw(FCanvas->Canvas(), x, top, top + 50, run);
    }
    TColor At(int x, int y) { return FCanvas->Canvas()->Pixels(x, y); }

    TPlainViewer FViewer;
    TSectionList FDoc{&FViewer, nullptr};
    std::unique_ptr<TBitmap> FCanvas = NewFilledBitmap(400, 300, Fill);
    std::vector<std::unique_ptr<TAttributeList>> FAttributes;
    std::unique_ptr<TFontObj> FRun;
    std::vector<std::unique_ptr<TImageObj>> FImages;
};

TEST_F(ImagePictureTest, Sizing)
{
    const std::string pic = WriteBmp("size.bmp", 40, 30);
    // A picture of no pixels, as the cache may hold one.
    BitmapList()->AddObject("ZERO.PIC", new TBitmapItem(std::make_shared<TBitmap>(), nullptr, NotTransp));
    const std::string missing = ScratchFile("nothing-here.bmp");
    TCanvas& canvas = *FCanvas->Canvas();
    canvas.Font()->SetName("Arial");
    canvas.Font()->SetSize(8);
    const int altWidth = canvas.TextWidth("No picture here") + 26;
    const int altHeight = canvas.TextHeight("No picture here");
    const int errorW = ErrorBitMap()->Width(), errorH = ErrorBitMap()->Height();
    const int defW = DefBitMap()->Width(), defH = DefBitMap()->Height();

    const struct {
        std::string Tag;
        bool Linked;
        int Width, Height;
        bool Settled;
    } cases[] = {
        {"<IMG SRC='" + pic + "'>", false, 40, 30, true},
        {"<IMG SRC='" + pic + "' WIDTH=80 HEIGHT=20>", false, 80, 20, true},
        {"<IMG SRC='" + pic + "' HEIGHT=60>", false, 80, 60, true},
        {"<IMG SRC='" + pic + "' WIDTH=20>", false, 20, 15, true},
        {"<IMG SRC='" + pic + "' WIDTH='50%'>", false, 200, 30, false},
        {"<IMG SRC=zero.pic WIDTH=10>", false, 10, 10, true},
        {"<IMG SRC=zero.pic HEIGHT=10>", false, 10, 10, true},
        {"<IMG SRC='" + missing + "' ALT='No picture here'>", false, std::max(errorW, altWidth),
         std::max({errorH, 24, altHeight}), false},
        {"<IMG SRC='" + missing + "'>", false, std::max(errorW, 24), std::max(errorH, 24), false},
        {"<IMG SRC='" + missing + "' WIDTH=10 HEIGHT=10>", false, 10, 10, true},
        {"<IMG SRC='" + pic + "'>", true, 42, 32, true},
        {"<IMG SRC='" + pic + "' BORDER=0>", true, 40, 30, true},
        {"<IMG SRC='" + pic + "' BORDER=5>", true, 42, 32, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Tag + (c.Linked ? " linked" : ""));
        TImageObj* image = Laid(c.Tag, 400, c.Linked ? LinkRun() : nullptr);
        EXPECT_EQ(image->BoxWidth, c.Width);
        EXPECT_EQ(image->BoxHeight, c.Height);
        EXPECT_EQ(image->SizeSettled, c.Settled);
    }

    TImageObj* percent = Laid("<IMG SRC='" + pic + "' WIDTH='50%'>", 400);
    percent->DrawLogic(&FDoc, FCanvas->Canvas(), nullptr, 300);
    EXPECT_EQ(percent->BoxWidth, 150) << "follows the narrower column";
    EXPECT_EQ(percent->BoxHeight, 30);

    FDoc.ImagesOn = false;
    TImageObj* off = Laid("<IMG SRC='" + pic + "'>");
    EXPECT_EQ(off->BoxWidth, std::max(defW, 24));
    EXPECT_EQ(off->BoxHeight, std::max(defH, 24));
    EXPECT_EQ(off->Picture, nullptr) << "nothing is fetched with images off";

    FImages.clear();
    BitmapList()->DecUsage("ZERO.PIC");
}

TEST_F(ImagePictureTest, FetchingFromFiles)
{
    const std::string bmp = WriteBmp("fetch.bmp", 6, 4);
    const std::string transparent = ScratchFile("fetch-transparent.gif");
    WriteBytes(transparent, TransparentGif());
    const std::string animated = ScratchFile("fetch-animated.gif");
    WriteBytes(animated, ThreeFrameGif());

    TImageObj* plain = Laid("<IMG SRC='" + bmp + "'>");
    ASSERT_NE(dynamic_cast<TBitmap*>(plain->Picture.get()), nullptr);
    EXPECT_EQ(plain->TranspKind, NotTransp);

    TImageObj* gif = Laid("<IMG SRC='" + transparent + "'>");
    ASSERT_NE(dynamic_cast<TBitmap*>(gif->Picture.get()), nullptr) << "one frame becomes a bitmap";
    EXPECT_EQ(gif->TranspKind, PaneUn2::TGif);
    EXPECT_NE(gif->PictureMask, nullptr);

    TImageObj* first = Laid("<IMG SRC='" + animated + "'>");
    TImageObj* second = Laid("<IMG SRC='" + animated + "'>");
    auto* firstGif = dynamic_cast<TGIFImage*>(first->Picture.get());
    auto* secondGif = dynamic_cast<TGIFImage*>(second->Picture.get());
    ASSERT_NE(firstGif, nullptr);
    ASSERT_NE(secondGif, nullptr);
    EXPECT_NE(firstGif, secondGif) << "the cached picture is copied";
    EXPECT_EQ(firstGif->FBitmap, secondGif->FBitmap) << "the copy shares the strip";
    EXPECT_GE(FDoc.AnimatedImages->IndexOf(static_cast<TObject*>(secondGif)), 0);
    EXPECT_TRUE(secondGif->Animate());

    // Whatever cannot be read shows the missing picture.
    const std::string truncated = ScratchFile("truncated.bmp");
    WriteBytes(truncated, BitmapBytes(*NewFilledBitmap(20, 20, clRed)).substr(0, 200));
    const std::string damaged = ScratchFile("damaged.gif");
    WriteBytes(damaged, ThreeFrameGif().substr(0, 40) + std::string(30, '\xFF'));
    const std::string folder = ScratchFile("a-folder.bmp");
    std::filesystem::create_directories(folder);
    for (const std::string& name : {ScratchFile("gone.bmp"), truncated, damaged, folder, std::string()}) {
        SCOPED_TRACE(name);
        TImageObj* image = Laid("<IMG SRC='" + name + "'>");
        EXPECT_EQ(image->Picture, ErrorBitMap());
        EXPECT_EQ(image->PictureMask, ErrorBitmapMask());
        EXPECT_EQ(image->TranspKind, LLCorner);
        EXPECT_NO_THROW(Paint(image));
    }
}

TEST_F(ImagePictureTest, FetchingThroughTheRequestHandler)
{
    const std::string bytes = BitmapBytes(*NewFilledBitmap(5, 3, clRed));
    TMemoryStream data, empty;
    StreamOf(data, bytes);
    data.SetPosition(data.Size()); // the document reads from the start whatever the position
    int calls = 0;
    std::vector<std::string> asked;
    FDoc.ImageRequest = [&](TObject*, const std::string& name, TMemoryStream*& stream) {
        ++calls;
        asked.push_back(name);
        if (name.find("later") != std::string::npos)
            stream = WaitStream();
        else if (name.find("empty") != std::string::npos)
            stream = &empty;
        else
            stream = &data;
    };

    TImageObj* streamed = Laid("<IMG SRC=req-stream.bmp>");
    ASSERT_NE(dynamic_cast<TBitmap*>(streamed->Picture.get()), nullptr);
    EXPECT_EQ(streamed->BoxWidth, 5);
    EXPECT_EQ(data.Size(), static_cast<std::int64_t>(bytes.size())) << "the handler's stream is left alone";

    TImageObj* waiting = Laid("<IMG SRC=req-later.bmp>");
    EXPECT_EQ(waiting->Picture, DefBitMap());
    EXPECT_EQ(FDoc.PendingImages->IndexOf("REQ-LATER.BMP"), 0);
    EXPECT_EQ(FDoc.PendingImages->Objects(0), waiting);

    TImageObj* nothing = Laid("<IMG SRC=req-empty.bmp>");
    EXPECT_EQ(nothing->Picture, ErrorBitMap());

    // Two spellings of one name share one cache entry and one request.
    calls = 0;
    TImageObj* lower = Laid("<IMG SRC='req-pic.bmp'>");
    TImageObj* upper = Laid("<IMG SRC=' REQ-PIC.BMP '>");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(lower->Picture, upper->Picture);
    EXPECT_EQ(HoldersOf("REQ-PIC.BMP"), 2);
}

TEST_F(ImagePictureTest, LateDataReachesEveryWaiterAndTheBackground)
{
    bool ready = false;
    TMemoryStream data;
    StreamOf(data, BitmapBytes(*NewFilledBitmap(8, 6, clRed)));
    FDoc.ImageRequest = [&](TObject*, const std::string&, TMemoryStream*& stream) {
        stream = ready ? &data : WaitStream();
    };
    TImageObj* sized = Laid("<IMG SRC=late.bmp WIDTH=30 HEIGHT=20>");
    TImageObj* natural = Laid("<IMG SRC=late.bmp>");
    FDoc.SetBackgroundBitmap("late.bmp");
    EXPECT_EQ(FDoc.GetBackgroundBitmap(), nullptr);
    EXPECT_EQ(FDoc.PendingImages->Count(), 3) << "two images and the background wait";
    EXPECT_TRUE(sized->SizeSettled);
    EXPECT_FALSE(natural->SizeSettled);

    bool relayout = false;
    FDoc.InsertImage("other.bmp", &data, relayout);
    EXPECT_FALSE(relayout) << "nobody waits for that name";
    EXPECT_EQ(BitmapList()->IndexOf("OTHER.BMP"), -1);

    FDoc.InsertImage(" Late.bmp", &data, relayout);
    EXPECT_TRUE(relayout) << "an image of unsettled size changes";
    EXPECT_EQ(FDoc.PendingImages->Count(), 0);
    EXPECT_NE(dynamic_cast<TBitmap*>(sized->Picture.get()), nullptr);
    EXPECT_EQ(sized->Picture, natural->Picture);
    EXPECT_FALSE(FDoc.BackgroundFetched);
    ready = true;
    ASSERT_NE(FDoc.GetBackgroundBitmap(), nullptr);
    EXPECT_EQ(FDoc.GetBackgroundBitmap()->Width(), 8);
    EXPECT_EQ(HoldersOf("LATE.BMP"), 3);

    // Only settled waiters: no new layout.
    ready = false;
    TImageObj* settled = Laid("<IMG SRC=late2.bmp WIDTH=5 HEIGHT=5>");
    EXPECT_EQ(settled->Picture, DefBitMap());
    FDoc.InsertImage("late2.bmp", &data, relayout);
    EXPECT_FALSE(relayout);
    EXPECT_NE(settled->Picture, DefBitMap());
}

TEST_F(ImagePictureTest, CacheUsesComeBackWhenTheDocumentIsCleared)
{
    const std::string names[] = {WriteBmp("count-a.bmp", 4, 4), WriteBmp("count-b.bmp", 4, 4)};
    const std::string gif = ScratchFile("count-c.gif");
    WriteBytes(gif, ThreeFrameGif());
    const std::string keys[] = {ImageCacheKey(names[0]), ImageCacheKey(names[1]), ImageCacheKey(gif)};
    int before[3];
    for (int i = 0; i < 3; ++i)
        before[i] = HoldersOf(keys[i]);

    const std::string files[] = {names[0], names[1], gif};
    for (int i = 0; i < 20; ++i)
        Laid("<IMG SRC='" + files[i % 3] + "'>");
    FDoc.SetBackgroundBitmap(names[0]);
    ASSERT_NE(FDoc.GetBackgroundBitmap(), nullptr);
    EXPECT_EQ(HoldersOf(keys[0]), before[0] + 8);
    FImages.clear();
    FDoc.Clear();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(HoldersOf(keys[i]), before[i]) << keys[i];

    // Images off: nothing taken, nothing given back.
    FDoc.ImagesOn = false;
    for (int i = 0; i < 6; ++i)
        Laid("<IMG SRC='" + files[i % 3] + "'>");
    FImages.clear();
    FDoc.Clear();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(HoldersOf(keys[i]), before[i]) << keys[i];
}

TEST_F(ImagePictureTest, APurgeLeavesThePictureOfAnotherDocument)
{
    const std::string name = WriteBmp("purged.bmp", 10, 10, clRed);
    TImageObj* kept = Laid("<IMG SRC='" + name + "' ALIGN=TOP>");
    {
        // A second document that shows the same picture and one that waits for it, both cleared.
        TPlainViewer viewer;
        TSectionList other(&viewer, nullptr);
        other.ImagesOn = true;
        TImageObj shown(0, FAttributes.emplace_back(TagAttributes("<IMG SRC='" + name + "'>")).get());
        shown.DrawLogic(&other, FCanvas->Canvas(), nullptr, 400);
        other.ImagesOn = false;
        TImageObj off(0, FAttributes.back().get());
        off.DrawLogic(&other, FCanvas->Canvas(), nullptr, 400);
    }
    BitmapList()->PurgeCache();
    EXPECT_GE(BitmapList()->IndexOf(ImageCacheKey(name)), 0);
    Paint(kept, 5, 5);
    EXPECT_EQ(At(6, 6), clRed);
}

TEST_F(ImagePictureTest, Pixels)
{
    const std::string transparent = ScratchFile("pixels-transparent.gif");
    WriteBytes(transparent, TransparentGif());
    TImageObj* gif = Laid("<IMG SRC='" + transparent + "' WIDTH=8 HEIGHT=8 ALIGN=TOP>");
    Paint(gif, 10, 10);
    EXPECT_EQ(At(11, 11), clRed);
    EXPECT_EQ(At(16, 11), Fill) << "the fill shows through the transparent pixels";
    EXPECT_EQ(gif->PaintX, 10);
    EXPECT_EQ(gif->PaintY, 10);

    const std::string bmp = WriteBmp("pixels-framed.bmp", 6, 6, clLime);
    TFontObj* run = LinkRun();
    TImageObj* framed = Laid("<IMG SRC='" + bmp + "' ALIGN=TOP>", 400, run);
    Paint(framed, 50, 10, run);
    EXPECT_EQ(At(50, 10), clRed) << "frame in the link colour";
    EXPECT_EQ(At(57, 17), clRed);
    EXPECT_EQ(At(52, 12), clLime);
    EXPECT_EQ(At(51, 11), clBlue) << "the picture starts inside the frame";

    TImageObj* missing =
        Laid("<IMG SRC='" + ScratchFile("pixels-missing.bmp") + "' ALT='Gone for good' ALIGN=TOP>");
    Paint(missing, 100, 100);
    const int w = missing->BoxWidth, h = missing->BoxHeight;
    EXPECT_NE(At(100, 100), Fill) << "sunken frame";
    EXPECT_NE(At(100 + w - 1, 100 + h - 1), Fill);
    EXPECT_EQ(At(104, 104), Fill) << "the missing picture's corner is transparent";
    const int cx = 104 + ErrorBitMap()->Width() / 4, cy = 104 + ErrorBitMap()->Height() / 2;
    const TColor centre = At(cx, cy);
    EXPECT_GT(GetRValue(ColorToRGB(centre)), 150) << "yellow";
    EXPECT_GT(GetGValue(ColorToRGB(centre)), 150) << "yellow";
    EXPECT_LT(GetBValue(ColorToRGB(centre)), 100) << "yellow";
    EXPECT_GT(InkIn(*FCanvas, TRect{124, 101, 100 + w - 2, 100 + h - 1}, Fill), 10) << "ALT text";
    SavePicture(*FCanvas, "image-pixels");

    // A placeholder below 24 pixels shows only its frame.
    TImageObj* tiny = Laid("<IMG SRC='" + ScratchFile("pixels-none.bmp") + "' WIDTH=10 HEIGHT=10 ALIGN=TOP>");
    Paint(tiny, 200, 100);
    EXPECT_EQ(InkIn(*FCanvas, TRect{201, 101, 209, 109}, Fill), 0);
}

TEST_F(ImagePictureTest, ActiveTwoFrameGifShowsFrameTwoWhileHovered)
{
    const std::string name = ScratchFile("hover.gif");
    WriteBytes(name, TwoFrameGif());
    TImageObj* image = Laid("<IMG SRC='" + name + "' ACTIVE ALIGN=TOP>");
    auto* gif = dynamic_cast<TGIFImage*>(image->Picture.get());
    ASSERT_NE(gif, nullptr);
    EXPECT_FALSE(gif->Animate());
    EXPECT_EQ(FDoc.AnimatedImages->IndexOf(static_cast<TObject*>(gif)), -1);
    Paint(image, 0, 0);
    EXPECT_EQ(At(1, 1), clRed);
    image->SetHover(true);
    Paint(image, 0, 0);
    EXPECT_EQ(At(1, 1), clLime);
    image->SetHover(false);
    Paint(image, 0, 0);
    EXPECT_EQ(At(1, 1), clRed);

    const std::string three = ScratchFile("hover3.gif");
    WriteBytes(three, ThreeFrameGif());
    TImageObj* moving = Laid("<IMG SRC='" + three + "' ACTIVE>");
    auto* movingGif = dynamic_cast<TGIFImage*>(moving->Picture.get());
    ASSERT_NE(movingGif, nullptr);
    moving->SetHover(true);
    EXPECT_TRUE(movingGif->Animate());
    EXPECT_GE(FDoc.AnimatedImages->IndexOf(static_cast<TObject*>(movingGif)), 0);
    moving->SetHover(false);
    EXPECT_FALSE(movingGif->Animate());
    EXPECT_EQ(FDoc.AnimatedImages->IndexOf(static_cast<TObject*>(movingGif)), -1);
}

TEST_F(ImagePictureTest, CheckGifListStepsOnlyPaintedImages)
{
    std::uint32_t now = 1000;
    SetTickSource([&now] { return now; });
    const std::string name = ScratchFile("timer.gif");
    WriteBytes(name, ThreeFrameGif());
    TImageObj* painted = Laid("<IMG SRC='" + name + "'>");
    TImageObj* hidden = Laid("<IMG SRC='" + name + "'>");
    auto* paintedGif = static_cast<TGIFImage*>(painted->Picture.get());
    auto* hiddenGif = static_cast<TGIFImage*>(hidden->Picture.get());
    paintedGif->FShowIt = hiddenGif->FShowIt = false;
    Paint(painted);
    now += 5000;
    FDoc.CheckGIFList(nullptr);
    EXPECT_EQ(paintedGif->CurrentFrame(), 2);
    EXPECT_EQ(hiddenGif->CurrentFrame(), 1);
    ResetTickSource();
}

TEST_F(ImagePictureTest, HitTests)
{
    const std::string name = WriteBmp("hit.bmp", 10, 10);
    TFontObj* run = LinkRun();
    TImageObjList list;
    auto* image = new TImageObj(7, FAttributes.emplace_back(TagAttributes("<IMG SRC='" + name +
                                                                          "' ALIGN=TOP USEMAP='#map1' ISMAP>"))
                                       .get());
    list.Add(image);
    auto* map = new TMapItem;
    map->MapKey = "MAP1";
    FDoc.ImageMaps->Add(new TMapItem);
    FDoc.ImageMaps->Add(map);
    FDoc.ScrollTop = 100;
    image->DrawLogic(&FDoc, FCanvas->Canvas(), run, 400);
    image->Draw(FCanvas->Canvas(), 10, 120, 150, run); // window top 20, picture at (11, 21)
    EXPECT_EQ(image->PaintY, 121) << "a document Y";

    int ix = -1, iy = -1, posn = -1;
    bool serverMap = false, clientMap = false;
    TMapItem* found = nullptr;
    TImageObj* hit = nullptr;
    EXPECT_FALSE(list.PtInImage(10, 120, ix, iy, posn, serverMap, clientMap, found, hit)) << "on the frame";
    EXPECT_FALSE(list.PtInImage(21, 131, ix, iy, posn, serverMap, clientMap, found, hit)) << "on the frame";
    ASSERT_TRUE(list.PtInImage(14, 129, ix, iy, posn, serverMap, clientMap, found, hit));
    EXPECT_EQ(ix, 3);
    EXPECT_EQ(iy, 8);
    EXPECT_EQ(posn, 7);
    EXPECT_TRUE(serverMap);
    EXPECT_TRUE(clientMap);
    EXPECT_EQ(found, map);
    EXPECT_EQ(hit, image);

    TObject* object = nullptr;
    EXPECT_TRUE(list.PtInObject(11, 121, object, ix, iy));
    EXPECT_EQ(object, image);
    EXPECT_EQ(ix, 0);
}

TEST_F(ImagePictureTest, HugeSizesDrawOnlyTheVisiblePart)
{
    const std::string bmp = WriteBmp("huge.bmp", 4, 4, clRed);
    const std::string transparent = ScratchFile("huge-transparent.gif");
    WriteBytes(transparent, TransparentGif());
    const std::string animated = ScratchFile("huge-animated.gif");
    WriteBytes(animated, ThreeFrameGif());
    const struct {
        std::string Name;
        TColor Expected;
    } cases[] = {{bmp, clBlue}, {transparent, clRed}, {animated, clRed}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto canvas = NewFilledBitmap(60, 40, Fill);
        TImageObj* image = Laid("<IMG SRC='" + c.Name + "' WIDTH=2000000000 HEIGHT=2000000000 ALIGN=TOP>");
        EXPECT_EQ(image->BoxWidth, 2000000000);
        image->Draw(canvas->Canvas(), 0, 0, 0, nullptr);
        // The whole bitmap shows the top-left source pixel.
        EXPECT_EQ(canvas->Canvas()->Pixels(0, 0), c.Expected);
        EXPECT_EQ(canvas->Canvas()->Pixels(59, 39), c.Expected);
    }
}

TEST_F(ImagePictureTest, LongAltTextStaysInsideItsBox)
{
    std::string alt;
    for (int i = 0; alt.size() < 100000; ++i)
        alt += "word" + std::to_string(i % 10) + " ";
    TImageObj* image = Laid("<IMG SRC='" + ScratchFile("long-alt.bmp") + "' ALT='" + alt +
                            "' WIDTH=120 HEIGHT=60 ALIGN=TOP>");
    Paint(image, 20, 20);
    EXPECT_GT(InkIn(*FCanvas, TRect{44, 24, 138, 79}, Fill), 50);
    const int all = InkIn(*FCanvas, TRect{0, 0, 400, 300}, Fill);
    EXPECT_EQ(InkIn(*FCanvas, TRect{20, 20, 140, 80}, Fill), all) << "nothing outside the box";
}

} // namespace ImagePictureTests
