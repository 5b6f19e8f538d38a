// Icons and the ICO codec, pictures and their registry, image lists, recording metafiles.

#include "platform/gui/GdiDraw.h"
#include "platform/gui/Graphic.h"
#include "platform/gui/IcoCodec.h"
#include "platform/gui/Icon.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/Regions.h"
#include "platform/gui/Resources.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/MetafileRecording.h"
#include "platform/os/ShellFileInfo.h"
#include "platform/rtl/Files.h"

#include <cstring>
#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, unsigned v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

Bytes Save(TGraphic& graphic)
{
    TMemoryStream stream;
    graphic.SaveToStream(stream);
    return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

void Load(TGraphic& graphic, const Bytes& bytes)
{
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    stream.SetPosition(0);
    graphic.LoadFromStream(stream);
}

std::filesystem::path TempFolder(const char* name)
{
    // Test runs of several builds may share the machine: each process has its own folder.
    const auto folder = std::filesystem::temp_directory_path() / (std::string(name) + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(IcoCodec, AFourBitIconWritesTheKnown766Bytes)
{
    TBitmap color;
    color.SetSize(32, 32);
    color.Canvas()->Brush()->SetColor(clRed);
    color.Canvas()->FillRect(Rect(0, 0, 32, 32));
    color.Canvas()->Brush()->SetColor(clBlue);
    color.Canvas()->FillRect(Rect(8, 8, 24, 24));
    color.SetPixelFormat(pf4bit);
    TBitmap mask;
    mask.SetSize(32, 32);
    mask.Canvas()->Brush()->SetColor(clBlack);
    mask.Canvas()->FillRect(Rect(0, 0, 32, 32));
    mask.Canvas()->Brush()->SetColor(clWhite);
    mask.Canvas()->FillRect(Rect(0, 0, 32, 4));
    mask.SetMonochrome(true);
    ICONINFO info;
    info.hbmColor = color.Handle();
    info.hbmMask = mask.Handle();
    TIcon icon;
    icon.SetHandle(CreateIconIndirect(&info));
    const Bytes bytes = Save(icon);
    ASSERT_EQ(bytes.size(), 766u);
    const Bytes head = {0, 0, 1, 0, 1, 0, 0x20, 0x20, 0x10, 0, 1, 0, 4, 0, 0xE8, 2, 0, 0, 0x16, 0, 0, 0,
                        40, 0, 0, 0, 32, 0, 0, 0, 64, 0, 0, 0, 1, 0, 4, 0, 0, 0, 0, 0, 0x80, 2, 0, 0,
                        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 62), head);

    const auto folder = TempFolder("gui2-ico");
    std::ofstream(folder / "icon.ico", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 766);
    const std::string script = R"PY(
import struct, sys
data = open(sys.argv[1], 'rb').read()
assert len(data) == 766
assert struct.unpack_from('<HHH', data, 0) == (0, 1, 1)
w, h, colors, res, planes, bits, size, offset = struct.unpack_from('<BBBBHHII', data, 6)
assert (w, h, colors, res, planes, bits, size, offset) == (32, 32, 16, 0, 1, 4, 744, 22)
hdr = struct.unpack_from('<IiiHHIIiiII', data, 22)
assert hdr == (40, 32, 64, 1, 4, 0, 640, 0, 0, 0, 0), hdr
vga = [0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
       0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF]
for i, rgb in enumerate(vga):
    b, g, r, z = struct.unpack_from('<BBBB', data, 62 + 4 * i)
    assert (r << 16 | g << 8 | b) == rgb and z == 0, i
colors = 62 + 64
top_row = colors + 31 * 16
assert data[top_row] == 0x99, hex(data[top_row])        # red, red
mask = colors + 512
assert data[mask + 31 * 4] == 0xFF and data[mask] == 0   # top rows transparent, bottom opaque
print('ok')
)PY";
    std::ofstream(folder / "check.py") << script;
    const std::string command = "python3 " + (folder / "check.py").string() + " " + (folder / "icon.ico").string() +
                                " > " + (folder / "out.txt").string() + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream out(folder / "out.txt");
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(out)), {}), "ok\n");
    std::filesystem::remove_all(folder);
}

// One BITMAPINFOHEADER icon image: colour rows (bits) of index(x, y), then a mask of clear(x, y).
Bytes IconImage(int size, int bits, const std::vector<COLORREF>& palette, const std::function<int(int, int)>& index,
                const std::function<bool(int, int)>& clear)
{
    Bytes b;
    const int colorRow = ((size * bits + 31) / 32) * 4, maskRow = ((size + 31) / 32) * 4;
    Put32(b, 40);
    Put32(b, static_cast<unsigned>(size));
    Put32(b, static_cast<unsigned>(size * 2));
    Put16(b, 1);
    Put16(b, static_cast<unsigned>(bits));
    Put32(b, 0);
    Put32(b, static_cast<unsigned>((colorRow + maskRow) * size));
    for (int i = 0; i < 4; ++i)
        Put32(b, 0);
    for (COLORREF c : palette) {
        b.push_back(GetBValue(c));
        b.push_back(GetGValue(c));
        b.push_back(GetRValue(c));
        b.push_back(0);
    }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(static_cast<std::size_t>(colorRow), 0);
        for (int x = 0; x < size; ++x) {
            const int value = index(x, y);
            if (bits == 8)
                row[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(value);
            else
                row[static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>(x % 2 ? value : value << 4);
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(static_cast<std::size_t>(maskRow), 0);
        for (int x = 0; x < size; ++x)
            if (clear(x, y))
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

TEST(IcoCodec, ACursorDrawnAsTextReadsBackPixelForPixel)
{
    const std::vector<std::string> drawing = {"#.", " #x.", "", std::string(40, '#')};
    const std::vector<std::uint8_t> bytes = IcoCodec::CursorFromDrawing(drawing);
    const std::vector<TIcoImage> images = IcoCodec::Read(bytes.data(), bytes.size(), true);
    ASSERT_EQ(images.size(), 1u);
    const TIcoImage& image = images[0];
    ASSERT_EQ(image.Width, 32);
    ASSERT_EQ(image.Height, 32);
    EXPECT_EQ(image.Bits, 1);
    auto at = [&](int x, int y) { return static_cast<std::size_t>(y * 32 + x); };
    const struct {
        int X, Y;
        bool Transparent;
        std::uint32_t Pixel;
    } cases[] = {
        {0, 0, false, 0xFF000000u}, {1, 0, false, 0xFFFFFFFFu}, {2, 0, true, 0}, {0, 1, true, 0},
        {1, 1, false, 0xFF000000u}, {2, 1, true, 0},            {3, 1, false, 0xFFFFFFFFu},
        {5, 2, true, 0},            {31, 3, false, 0xFF000000u}, {0, 31, true, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(image.Transparent[at(c.X, c.Y)] != 0, c.Transparent) << c.X << "," << c.Y;
        if (!c.Transparent) {
            EXPECT_EQ(image.Pixels[at(c.X, c.Y)], c.Pixel) << c.X << "," << c.Y;
        }
    }
}

TEST(IcoCodec, ReadsAMixedFileDrawsTheBestImageAndSavesItBack)
{
    const Bytes sixteen = IconImage(32, 4, VgaPalette(), [](int, int) { return 12; }, [](int, int) { return false; });
    std::vector<COLORREF> palette(256, 0);
    palette[7] = RGB(0, 200, 0);
    const Bytes many = IconImage(32, 8, palette, [](int, int) { return 7; }, [](int x, int) { return x < 2; });
    QImage png(16, 16, QImage::Format_ARGB32);
    png.fill(qRgba(255, 0, 0, 255));
    QByteArray pngBytes;
    QBuffer buffer(&pngBytes);
    buffer.open(QIODevice::WriteOnly);
    png.save(&buffer, "PNG");
    const std::vector<Bytes> images = {sixteen, many, Bytes(pngBytes.begin(), pngBytes.end())};
    const int sizes[3] = {32, 32, 16}, colors[3] = {16, 0, 0}, bits[3] = {4, 8, 32};
    Bytes file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, 3);
    unsigned offset = 6 + 16 * 3;
    for (int i = 0; i < 3; ++i) {
        file.push_back(static_cast<std::uint8_t>(sizes[i]));
        file.push_back(static_cast<std::uint8_t>(sizes[i]));
        file.push_back(static_cast<std::uint8_t>(colors[i]));
        file.push_back(0);
        Put16(file, 1);
        Put16(file, static_cast<unsigned>(bits[i]));
        Put32(file, static_cast<unsigned>(images[static_cast<std::size_t>(i)].size()));
        Put32(file, offset);
        offset += static_cast<unsigned>(images[static_cast<std::size_t>(i)].size());
    }
    for (const Bytes& image : images)
        file.insert(file.end(), image.begin(), image.end());

    TIcon icon;
    Load(icon, file);
    EXPECT_EQ(icon.Width(), 32);
    TBitmap target;
    target.SetSize(40, 40);
    target.Canvas()->Brush()->SetColor(clWhite);
    target.Canvas()->FillRect(Rect(0, 0, 40, 40));
    target.Canvas()->Draw(4, 4, &icon);
    EXPECT_EQ(static_cast<COLORREF>(target.Canvas()->Pixels(10, 10)), RGB(0, 200, 0));
    EXPECT_EQ(target.Canvas()->Pixels(4, 10), clWhite) << "transparent columns keep the background";
    EXPECT_EQ(Save(icon), file);

    // Damaged files: the icon keeps what it had.
    Bytes wrongType = file;
    wrongType[2] = 3;
    Bytes noImages = file;
    noImages[4] = 0;
    Bytes outside = file;
    outside[6 + 12] = 0xFF;
    outside[6 + 13] = 0xFF;
    outside[6 + 16 + 12] = 0xFF;
    outside[6 + 32 + 12] = 0xFF;
    Bytes tooLong = file; // every entry claims more bytes than the file has left
    for (int i = 0; i < 3; ++i)
        tooLong[static_cast<std::size_t>(6 + 16 * i + 11)] = 0x7F;
    Bytes disagreeAll = file; // every image header's width disagrees with its entry
    disagreeAll[static_cast<std::size_t>(6 + 16 * 3 + 4)] = 31;
    disagreeAll[static_cast<std::size_t>(6 + 16 * 3 + sixteen.size() + 4)] = 31;
    disagreeAll.resize(6 + 16 * 3 + sixteen.size() + many.size());
    disagreeAll[4] = 2;
    for (const Bytes& bad : {wrongType, noImages, outside, Bytes{0, 0}, tooLong, disagreeAll}) {
        try {
            Load(icon, bad);
            ADD_FAILURE();
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, "Icon image is not valid");
        }
        EXPECT_EQ(icon.Width(), 32);
    }
    // An entry that cannot be read is passed over for one that can: the 16-colour image shows.
    Bytes oneBad = file;
    oneBad[static_cast<std::size_t>(6 + 16 * 3 + sixteen.size() + 4)] = 31;
    TIcon second;
    Load(second, oneBad);
    target.Canvas()->Draw(4, 4, &second);
    EXPECT_EQ(static_cast<COLORREF>(target.Canvas()->Pixels(10, 10)), RGB(0, 0, 255));
}

TEST(Pictures, ClassesByExtensionAndTheFilter)
{
    const auto folder = TempFolder("gui2-pictures");
    TBitmap bitmap;
    bitmap.SetSize(3, 3);
    bitmap.SaveToFile((folder / "LOGO.BMP").string());
    TIcon icon;
    icon.SetHandle(LoadIconA(nullptr, MAKEINTRESOURCE(IDI_APPLICATION)) ? CopyIcon(LoadIconA(nullptr, MAKEINTRESOURCE(IDI_APPLICATION))) : nullptr);
    icon.SaveToFile((folder / "logo.ico").string());
    Bytes emf(108, 0);
    emf[0] = 1;
    emf[4] = 108;
    std::memcpy(emf.data() + 40, " EMF", 4);
    std::ofstream(folder / "x.Emf", std::ios::binary).write(reinterpret_cast<const char*>(emf.data()), 108);

    TPicture picture;
    picture.LoadFromFile((folder / "LOGO.BMP").string());
    EXPECT_EQ(picture.Graphic()->ClassName(), "TBitmap");
    picture.LoadFromFile((folder / "logo.ico").string());
    EXPECT_EQ(picture.Graphic()->ClassName(), "TIcon");
    picture.LoadFromFile((folder / "x.Emf").string());
    EXPECT_EQ(picture.Graphic()->ClassName(), "TMetafile");
    try {
        picture.LoadFromFile((folder / "x.abc").string());
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture file extension (.abc)");
    }
    try {
        picture.LoadFromFile((folder / "missing.bmp").string());
        ADD_FAILURE();
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message.find("missing.bmp"), std::string::npos) << e.Message;
    }
    std::ofstream(folder / "broken.bmp") << "BMnonsense";
    EXPECT_THROW(picture.LoadFromFile((folder / "broken.bmp").string()), EInvalidGraphic);
    EXPECT_EQ(picture.Graphic()->ClassName(), "TMetafile");
    EXPECT_EQ(picture.Bitmap()->ClassName(), "TBitmap");
    EXPECT_TRUE(picture.Bitmap()->Empty());

    EXPECT_EQ(GraphicFilter("TGraphic"), "All (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf|Bitmaps (*.bmp)|*.bmp|"
                                         "Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
    EXPECT_EQ(GraphicFileMask("TMetafile"), "*.emf;*.wmf");
    EXPECT_EQ(GraphicExtension("TBitmap"), "bmp");
    const std::uint8_t bm[] = {'B', 'M', 0}, ico[] = {0, 0, 1, 0}, wmf[] = {0xD7, 0xCD, 0xC6, 0x9A}, other[] = {1, 2, 3};
    EXPECT_EQ(GraphicClassForData(bm, 3), "TBitmap");
    EXPECT_EQ(GraphicClassForData(ico, 4), "TIcon");
    EXPECT_EQ(GraphicClassForData(emf.data(), emf.size()), "TMetafile");
    EXPECT_EQ(GraphicClassForData(wmf, 4), "TMetafile");
    EXPECT_EQ(GraphicClassForData(other, 3), "");
    std::filesystem::remove_all(folder);
}

struct TListFixture : testing::Test {
    TBitmap Strip;
    TImageList List{16, 16};
    TBitmap Target;
    void SetUp() override
    {
        Strip.SetSize(48, 16);
        TCanvas* c = Strip.Canvas();
        c->Brush()->SetColor(clFuchsia);
        c->FillRect(Rect(0, 0, 48, 16));
        c->Brush()->SetColor(clNavy);
        for (int i = 0; i < 3; ++i)
            c->FillRect(Rect(i * 16 + 4, 4, i * 16 + 12, 12));
        Target.SetSize(40, 40);
        Target.Canvas()->Brush()->SetColor(clWhite);
        Target.Canvas()->FillRect(Rect(0, 0, 40, 40));
    }
    TColor At(int x, int y) { return Target.Canvas()->Pixels(x, y); }
};

TEST_F(TListFixture, MaskedImagesDrawTheirShapesOnly)
{
    EXPECT_EQ(List.AddMasked(&Strip, clFuchsia), 0);
    EXPECT_EQ(List.Count(), 3);
    List.Draw(Target.Canvas(), 0, 0, 1);
    EXPECT_EQ(At(0, 0), clWhite);
    EXPECT_EQ(At(5, 5), clNavy);
    // The mask is black and white whatever text and background colours the context holds.
    HDC dc = Target.Canvas()->Handle();
    SetTextColor(dc, ColorToRGB(clRed));
    SetBkColor(dc, ColorToRGB(clYellow));
    Target.Canvas()->Brush()->SetColor(clGreen);
    Target.Canvas()->FillRect(Rect(20, 20, 36, 36));
    SetTextColor(dc, ColorToRGB(clRed));
    SetBkColor(dc, ColorToRGB(clYellow));
    ImageList_Draw(List.Handle(), 1, dc, 20, 20, ILD_MASK);
    EXPECT_EQ(At(20, 20), clWhite);
    EXPECT_EQ(At(25, 25), clBlack);
    EXPECT_EQ(GetTextColor(dc), ColorToRGB(clRed));

    Target.Canvas()->Brush()->SetColor(clGreen);
    Target.Canvas()->FillRect(Rect(0, 0, 40, 40));
    List.Draw(Target.Canvas(), 10, 10, 0, false);
    EXPECT_EQ(At(10 + 4 + 8, 10 + 4 + 8), ColorToRGB(clBtnHighlight)); // (+1, +1) of the shape's last pixel
    EXPECT_EQ(At(10 + 4, 10 + 4), ColorToRGB(clBtnShadow));
    EXPECT_EQ(At(10 + 11, 10 + 11), ColorToRGB(clBtnShadow));
    EXPECT_EQ(At(10, 10), clGreen);

    TBitmap copy;
    EXPECT_TRUE(List.GetBitmap(2, &copy));
    EXPECT_EQ(copy.Width(), 16);
    EXPECT_EQ(copy.Canvas()->Pixels(0, 0), clBlack);
    EXPECT_EQ(copy.Canvas()->Pixels(5, 5), clNavy);
}

TEST_F(TListFixture, AMaskedDrawIsTheMaskAndImageBlitsUnderViewportAndClip)
{
    List.AddMasked(&Strip, clFuchsia);
    TBitmap mask, image;
    mask.SetSize(16, 16);
    ImageList_Draw(List.Handle(), 1, mask.Canvas()->Handle(), 0, 0, ILD_MASK);
    ASSERT_TRUE(List.GetBitmap(1, &image));
    auto scene = [](TBitmap& target) {
        target.SetSize(40, 40);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                target.Canvas()->SetPixels(x, y, static_cast<TColor>(x * 6 | (y * 6) << 8 | 0x400000));
        HDC dc = target.Canvas()->Handle();
        SaveDC(dc);
        SetViewportOrgEx(dc, 3, 5, nullptr);
        IntersectClipRect(dc, 0, 0, 20, 14);
        return dc;
    };
    TBitmap drawn, expected;
    HDC dc = scene(drawn);
    List.Draw(drawn.Canvas(), 10, 2, 1);
    RestoreDC(dc, -1);
    dc = scene(expected);
    SetTextColor(dc, 0x000000);
    SetBkColor(dc, 0xFFFFFF);
    BitBlt(dc, 10, 2, 16, 16, mask.Canvas()->Handle(), 0, 0, SRCAND);
    BitBlt(dc, 10, 2, 16, 16, image.Canvas()->Handle(), 0, 0, SRCPAINT);
    RestoreDC(dc, -1);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(drawn.Canvas()->Pixels(x, y), expected.Canvas()->Pixels(x, y)) << x << "," << y;
    EXPECT_EQ(drawn.Canvas()->Pixels(3 + 10 + 5, 5 + 2 + 5), clNavy);
    EXPECT_NE(drawn.Canvas()->Pixels(3 + 10 + 5, 5 + 14 + 1), clNavy) << "clipped";
}

TEST_F(TListFixture, AnAddWithoutImageMakesAnEmptyCellThatReplaceFills)
{
    List.AddMasked(&Strip, clFuchsia);
    EXPECT_EQ(List.Add(nullptr, nullptr), 3);
    EXPECT_EQ(List.Count(), 4);
    List.Draw(Target.Canvas(), 0, 0, 3);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(At(x, y), clWhite) << x << "," << y;
    TBitmap cell;
    cell.SetSize(16, 16);
    cell.Canvas()->Brush()->SetColor(clNavy);
    cell.Canvas()->FillRect(Rect(0, 0, 16, 16));
    cell.Canvas()->SetPixels(0, 0, clFuchsia);
    List.ReplaceMasked(3, &cell, clFuchsia);
    List.Draw(Target.Canvas(), 0, 0, 3);
    EXPECT_EQ(At(0, 0), clWhite);
    EXPECT_EQ(At(8, 8), clNavy);
}

TEST_F(TListFixture, ChangeLinksHearChanges)
{
    int heard = 0;
    TChangeLink link;
    link.OnChange = [&](TObject*) { ++heard; };
    List.RegisterChanges(&link);
    List.BeginUpdate();
    List.AddMasked(&Strip, clDefault);
    List.Delete(0);
    EXPECT_EQ(heard, 0);
    List.EndUpdate();
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(List.Count(), 2);
    EXPECT_THROW(List.Delete(5), EInvalidOperation);
}

TEST(SystemImageList, ShellIconsDrawFromTheSharedLists)
{
    InstallShellIconFactory();
    SHFILEINFOA pdf1, pdf2, folder, open;
    const UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES;
    ASSERT_EQ(SHGetFileInfoA("a.pdf", 0x80, &pdf1, sizeof(pdf1), flags), SystemImageListSmall);
    SHGetFileInfoA("b.pdf", 0x80, &pdf2, sizeof(pdf2), flags);
    SHGetFileInfoA("cartella", 0x10, &folder, sizeof(folder), flags);
    SHGetFileInfoA("cartella", 0x10, &open, sizeof(open), flags | SHGFI_OPENICON);
    EXPECT_EQ(pdf1.iIcon, pdf2.iIcon);
    EXPECT_NE(pdf1.iIcon, folder.iIcon);
    EXPECT_NE(folder.iIcon, open.iIcon);

    auto draw = [](int index) {
        TBitmap bitmap;
        bitmap.SetSize(16, 16);
        bitmap.Canvas()->Brush()->SetColor(clWhite);
        bitmap.Canvas()->FillRect(Rect(0, 0, 16, 16));
        EXPECT_TRUE(ImageList_Draw(reinterpret_cast<HIMAGELIST>(SystemImageListSmall), index,
                                   bitmap.Canvas()->Handle(), 0, 0, ILD_TRANSPARENT));
        std::vector<TColor> pixels;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                pixels.push_back(bitmap.Canvas()->Pixels(x, y));
        return pixels;
    };
    EXPECT_NE(draw(pdf1.iIcon), draw(folder.iIcon));
    {
        TImageList shared(16, 16);
        shared.SetShareImages(true);
        shared.SetHandle(reinterpret_cast<HIMAGELIST>(SystemImageListSmall));
        EXPECT_GE(shared.Count(), 3);
    }
    EXPECT_FALSE(draw(folder.iIcon).empty());
    EXPECT_GE(ImageList_GetImageCount(reinterpret_cast<HIMAGELIST>(SystemImageListSmall)), 3);

    SHFILEINFOA withIcon;
    SHGetFileInfoA("a.pdf", 0x80, &withIcon, sizeof(withIcon), SHGFI_ICON | SHGFI_USEFILEATTRIBUTES);
    EXPECT_NE(withIcon.hIcon, nullptr);
    DestroyIcon(withIcon.hIcon);
}

// Draws the same page on any canvas: used directly and through a recording.
void DrawPage(TCanvas& canvas, TBitmap& picture)
{
    canvas.Pen()->SetColor(clBlack);
    canvas.Brush()->SetColor(clYellow);
    canvas.Rectangle(5, 5, 60, 40);
    canvas.Font()->SetName("Arial");
    canvas.Font()->SetHeight(-13);
    canvas.Brush()->SetStyle(bsClear);
    canvas.TextOut(10, 20, "Totale");
    RECT r{10, 50, 150, 90};
    DrawTextA(canvas.Handle(), "Prima riga\r\nSeconda riga", -1, &r, DT_LEFT);
    canvas.StretchDraw(Rect(100, 5, 120, 25), &picture);
}

TEST(Metafiles, RecordsEnumerateAndReplayExactly)
{
    TBitmap picture;
    picture.SetSize(10, 10);
    picture.Canvas()->Brush()->SetColor(clRed);
    picture.Canvas()->FillRect(Rect(0, 0, 10, 10));

    TMetafile metafile;
    metafile.SetWidth(160);
    metafile.SetHeight(100);
    int textWidth = 0, tmHeight = 0;
    {
        TMetafileCanvas canvas(&metafile, nullptr);
        DrawPage(canvas, picture);
        textWidth = canvas.TextWidth("Totale");
        tmHeight = canvas.TextHeight("Totale");
        canvas.TextOut(0, 70, "\x80 pi\xF9");
    }
    const std::vector<TEmrRecord>& records = metafile.Records();
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records.front().Type, EMR_HEADER);
    EXPECT_EQ(records.back().Type, EMR_EOF);
    std::vector<std::u16string> texts;
    const TEmrRecord* totale = nullptr;
    int firstText = -1;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].Type == EMR_EXTTEXTOUTW) {
            texts.push_back(records[i].Text);
            if (firstText < 0)
                firstText = static_cast<int>(i), totale = &records[i];
        }
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], u"Totale");
    EXPECT_EQ(texts[1], u"Prima riga");
    EXPECT_EQ(texts[2], u"Seconda riga");
    EXPECT_EQ(texts[3], (std::u16string{0x20AC, 0x20, 0x70, 0x69, 0xF9}));
    EXPECT_EQ(totale->Bounds, Rect(10, 20, 10 + textWidth, 20 + tmHeight));
    EXPECT_EQ(metafile.Width(), 160);

    int stoppedAt = -1;
    EXPECT_FALSE(EnumEnhMetaFile(nullptr, metafile.Handle(),
                                 [&](HDC, const TEmrRecord& record, int index, LPARAM) {
                                     stoppedAt = index;
                                     return record.Type == EMR_EXTTEXTOUTW ? 0 : 1;
                                 },
                                 0, nullptr));
    EXPECT_EQ(stoppedAt, firstText);

    // Replayed at its size the recording gives the pixels of drawing directly.
    TBitmap direct, replayed;
    for (TBitmap* b : {&direct, &replayed}) {
        b->SetSize(160, 100);
        b->Canvas()->Brush()->SetColor(clWhite);
        b->Canvas()->FillRect(Rect(0, 0, 160, 100));
    }
    DrawPage(*direct.Canvas(), picture);
    direct.Canvas()->TextOut(0, 70, "\x80 pi\xF9");
    replayed.Canvas()->Draw(0, 0, &metafile);
    int differences = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 160; ++x)
            differences += direct.Canvas()->Pixels(x, y) != replayed.Canvas()->Pixels(x, y) ? 1 : 0;
    EXPECT_EQ(differences, 0);

    TBitmap doubled;
    doubled.SetSize(320, 200);
    doubled.Canvas()->Brush()->SetColor(clWhite);
    doubled.Canvas()->FillRect(Rect(0, 0, 320, 200));
    doubled.Canvas()->StretchDraw(Rect(0, 0, 320, 200), &metafile);
    EXPECT_EQ(doubled.Canvas()->Pixels(10, 10), clBlack);
    EXPECT_EQ(doubled.Canvas()->Pixels(118, 78), clBlack);
    EXPECT_EQ(doubled.Canvas()->Pixels(9, 9), clWhite);
    EXPECT_EQ(doubled.Canvas()->Pixels(20, 20), clYellow);

    TMemoryStream stream;
    try {
        metafile.SaveToStream(stream);
        ADD_FAILURE();
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message, "Scrittura del metafile non disponibile");
    }
    EXPECT_EQ(stream.Size(), 0);
}

TEST(Metafiles, TheAccessorsGiveTypeBoundsAndTextOfEachRecord)
{
    TMetafile metafile;
    metafile.SetWidth(200);
    metafile.SetHeight(100);
    int width = 0, height = 0;
    {
        TMetafileCanvas canvas(&metafile, nullptr);
        canvas.Font()->SetName("Arial");
        canvas.Font()->SetHeight(-13);
        canvas.Brush()->SetStyle(bsClear);
        canvas.TextOut(10, 20, "Totale");
        canvas.Rectangle(0, 0, 5, 5);
        canvas.TextOut(40, 60, "pi\xF9");
        width = canvas.TextWidth("pi\xF9");
        height = canvas.TextHeight("pi\xF9");
    }
    std::vector<DWORD> types;
    std::vector<std::u16string> texts;
    std::vector<TRect> bounds;
    EnumEnhMetaFile(nullptr, metafile.Handle(),
                    [&](HDC, const TEmrRecord& record, int, LPARAM) {
                        types.push_back(EmrRecordType(record));
                        if (EmrRecordType(record) == EMR_EXTTEXTOUTW) {
                            texts.push_back(EmrRecordText(record));
                            bounds.push_back(EmrRecordBounds(record));
                        } else {
                            EXPECT_EQ(EmrRecordText(record), u"");
                        }
                        return 1;
                    },
                    0, nullptr);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], u"Totale");
    EXPECT_EQ(texts[1], u"pi\u00F9");
    EXPECT_EQ(bounds[1], Rect(40, 60, 40 + width, 60 + height));
    EXPECT_EQ(bounds[0].Left, 10);
    EXPECT_EQ(bounds[0].Top, 20);
    EXPECT_EQ(std::count(types.begin(), types.end(), EMR_EXTTEXTOUTA), 0);
    EXPECT_EQ(std::count(types.begin(), types.end(), DWORD{43}), 1); // the rectangle
}

TEST(Metafiles, APageTallerThanTheScreenIsVisibleToItsBottom)
{
    // Code that culls by RectVisible while it records a sheet must keep what lies below the
    // screen's height.
    TMetafile metafile;
    metafile.SetWidth(300);
    metafile.SetHeight(3000);
    TMetafileCanvas canvas(&metafile, nullptr);
    RECT box{};
    GetClipBox(canvas.Handle(), &box);
    EXPECT_GE(box.Bottom, 3000);
    EXPECT_GE(box.Right, 300);
    const RECT low{10, 2900, 50, 2950};
    EXPECT_TRUE(RectVisible(canvas.Handle(), &low));
}

TEST(Metafiles, LoadedFilesKeepTheirBytesAndShowAPlaceholder)
{
    // A header with a frame of 50.8 x 25.4 mm (192 x 96 pixels), one record and the end.
    Bytes emf;
    Put32(emf, 1);
    Put32(emf, 88);
    for (int v : {0, 0, 191, 95})
        Put32(emf, static_cast<unsigned>(v));
    for (int v : {0, 0, 5080, 2540})
        Put32(emf, static_cast<unsigned>(v));
    Put32(emf, 0x464D4520);
    Put32(emf, 0x10000);
    Put32(emf, 88 + 12 + 20);
    Put32(emf, 3);
    Put16(emf, 1);
    Put16(emf, 0);
    for (int i = 0; i < 7; ++i)
        Put32(emf, 0);
    Put32(emf, 18); // SETBKMODE
    Put32(emf, 12);
    Put32(emf, 1);
    Put32(emf, 14); // EOF
    Put32(emf, 20);
    for (int i = 0; i < 3; ++i)
        Put32(emf, 0);
    TMetafile metafile;
    Load(metafile, emf);
    EXPECT_EQ(metafile.Width(), 192);
    EXPECT_EQ(metafile.Height(), 96);
    EXPECT_EQ(Save(metafile), emf);
    TBitmap target;
    target.SetSize(192, 96);
    target.Canvas()->Brush()->SetColor(clWhite);
    target.Canvas()->FillRect(Rect(0, 0, 192, 96));
    target.Canvas()->Draw(0, 0, &metafile);
    EXPECT_EQ(target.Canvas()->Pixels(0, 50), clGray);
    EXPECT_EQ(target.Canvas()->Pixels(50, 25), clGray);
    EXPECT_EQ(target.Canvas()->Pixels(50, 30), clWhite);

    Bytes damaged = emf;
    damaged[88 + 4] = 0xF0; // a record running past the data
    const Bytes shortHeader(emf.begin(), emf.begin() + 60);
    // A frame from the lowest to the highest 32-bit value, and one running backwards.
    Bytes hugeFrame = emf, backwardFrame = emf;
    for (int i : {24, 28})
        std::memcpy(hugeFrame.data() + i, "\x00\x00\x00\x80", 4);
    for (int i : {32, 36})
        std::memcpy(hugeFrame.data() + i, "\xFF\xFF\xFF\x7F", 4);
    for (int i : {24, 28})
        std::memcpy(backwardFrame.data() + i, "\x00\x00\x01\x00", 4);
    for (const Bytes& bad : {damaged, shortHeader, hugeFrame, backwardFrame}) {
        Load(metafile, bad);
        EXPECT_EQ(metafile.Width(), 0);
        EXPECT_EQ(metafile.Height(), 0);
        EXPECT_EQ(Save(metafile), bad);
        target.Canvas()->FillRect(Rect(0, 0, 192, 96));
        target.Canvas()->Draw(0, 0, &metafile);
        EXPECT_EQ(target.Canvas()->Pixels(0, 50), clWhite) << "nothing drawn";
    }
}

TEST(Metafiles, AnEmfWrittenByPythonLoadsAndSavesBack)
{
    const auto folder = TempFolder("gui2-emf");
    const std::string script = R"PY(
import struct, sys
records = struct.pack('<IIi', 18, 12, 1)                          # SETBKMODE TRANSPARENT
records += struct.pack('<II4i', 43, 24, 10, 10, 100, 50)          # RECTANGLE
eof = struct.pack('<IIIII', 14, 20, 0, 0, 20)
size = 88 + len(records) + len(eof)
header = struct.pack('<II4i4iIIIIHHIII', 1, 88, 0, 0, 99, 49, 0, 0, 2540, 1270,
                     0x464D4520, 0x10000, size, 4, 1, 0, 0, 0, 0)
header += struct.pack('<4i', 1024, 768, 271, 203)
assert len(header) == 88
open(sys.argv[1], 'wb').write(header + records + eof)
)PY";
    std::ofstream(folder / "make.py") << script;
    const std::filesystem::path emf = folder / "logo.emf";
    const std::string command = "python3 " + (folder / "make.py").string() + " " + emf.string();
    ASSERT_EQ(std::system(command.c_str()), 0);

    TPicture picture;
    picture.LoadFromFile(emf.string());
    ASSERT_EQ(picture.Graphic()->ClassName(), "TMetafile");
    EXPECT_EQ(picture.Width(), 96);
    EXPECT_EQ(picture.Height(), 48);
    TBitmap target;
    target.SetSize(96, 48);
    target.Canvas()->Brush()->SetColor(clWhite);
    target.Canvas()->FillRect(Rect(0, 0, 96, 48));
    target.Canvas()->Draw(0, 0, picture.Graphic());
    EXPECT_EQ(target.Canvas()->Pixels(0, 20), clGray) << "the placeholder's frame";
    picture.SaveToFile((folder / "again.emf").string());
    std::ifstream a(emf, std::ios::binary), b(folder / "again.emf", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(a)), {}), std::string((std::istreambuf_iterator<char>(b)), {}));
    std::filesystem::remove_all(folder);
}

TEST(Resources, SystemAndProgramResources)
{
    HBITMAP combo = LoadBitmapA(nullptr, MAKEINTRESOURCE(OBM_COMBO));
    BITMAP info;
    ASSERT_EQ(GetObjectA(combo, sizeof(info), &info), static_cast<int>(sizeof(info)));
    EXPECT_EQ(info.bmWidth, 7);
    EXPECT_EQ(info.bmHeight, 4);
    EXPECT_EQ(info.bmBitsPixel, 1);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, combo);
    EXPECT_EQ(GetPixel(dc, 3, 3), 0u);
    EXPECT_EQ(GetPixel(dc, 2, 3), 0xFFFFFFu);
    DeleteDC(dc);
    DeleteObject(combo);
    EXPECT_NE(LoadCursorA(nullptr, MAKEINTRESOURCE(IDC_IBEAM)), nullptr);
    EXPECT_EQ(SystemCursorShape(LoadCursorA(nullptr, MAKEINTRESOURCE(IDC_WAIT))), 3);
    EXPECT_NE(LoadIconA(nullptr, MAKEINTRESOURCE(IDI_QUESTION)), nullptr);

    TBitmap bitmap;
    bitmap.SetSize(4, 2);
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    RegisterResource(MainInstance(), RT_BITMAP, "DEDITBMP", Bytes(stream.Memory(), stream.Memory() + stream.Size()));
    HRSRC resource = FindResourceA(MainInstance(), "deditbmp", RT_BITMAP);
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(SizeofResource(MainInstance(), resource), static_cast<DWORD>(stream.Size()));
    TBitmap loaded;
    loaded.LoadFromResourceName(MainInstance(), "DEDITBMP");
    EXPECT_EQ(loaded.Width(), 4);
    EXPECT_EQ(LoadBitmapA(MainInstance(), "MISSING"), nullptr);
    EXPECT_EQ(FindResourceA(MainInstance(), "DEDITBMP", RT_ANICURSOR), nullptr);
}

} // namespace
