// The icon list's stream, the choice and building of real-size icons, and icons on the
// clipboard; icon files come from a python3 writer and are checked with icotool.

#include "ControlsTestSupport.h"

#include "controls/ClipIcon.h"
#include "controls/IcoList.h"
#include "fuzz/IconsFuzzCase.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/Resources.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "tests/TestScale.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {

// Writes 32 x 32 icon files: "a.ico" holds a 16-colour image (colour count 16, red) and a
// 256-colour one (colour count 0, green); "b.ico" the same in the other order; "c.ico" a
// two-colour image (colour count 2, blue) before a 16-colour one; "d.ico" an entry whose offset
// lies past the end before a good 256-colour one.
const char* const IconWriter = R"PY(
import os, struct, sys
folder = open(sys.argv[1]).read()

def image(bpp, palette):
    w = h = 32
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, bpp, 0, 0, 0, 0, len(palette), 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
    if bpp == 1:
        row = bytes([0xFF] * (w // 8))
    elif bpp == 4:
        row = bytes([0x11] * (w // 2))
    else:
        row = bytes([1] * w)
    return header + colours + row * h + bytes(4) * h

def palette(n, special):
    p = [(0, 0, 0)] * n
    p[1] = special
    return p

def ico(entries):
    count = len(entries)
    start = 6 + 16 * count
    head = struct.pack('<HHH', 0, 1, count)
    body = b''
    for bpp, colours, data, offset in entries:
        head += struct.pack('<BBBBHHII', 32, 32, colours, 0, 1, bpp, len(data), start + len(body) if offset is None else offset)
        body += data
    return head + body

red = (4, 16, image(4, palette(16, (255, 0, 0))), None)
green = (8, 0, image(8, palette(256, (0, 255, 0))), None)
blue = (1, 2, image(1, palette(2, (0, 0, 255))), None)
lost = (4, 16, image(4, palette(16, (255, 0, 0))), 1 << 30)
files = {'a.ico': [red, green], 'b.ico': [green, red], 'c.ico': [blue, red], 'd.ico': [lost, green]}
for name, entries in files.items():
    with open(os.path.join(folder, name), 'wb') as out:
        out.write(ico(entries))
print('ok')
)PY";

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> StreamBytes(TMemoryStream& stream)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(stream.Memory());
    return std::vector<std::uint8_t>(data, data + stream.Size());
}

std::vector<std::uint8_t> IconBytesOf(TIcon* icon)
{
    TMemoryStream stream;
    icon->SaveToStream(stream);
    return StreamBytes(stream);
}

class IconFiles : public testing::Test {
protected:
    void SetUp() override
    {
        folder = TestFolder();
        ASSERT_EQ(RunPython(IconWriter, folder), "ok\n");
    }
    std::vector<std::uint8_t> File(const std::string& name) { return ReadBytes(folder + "/" + name); }
    std::unique_ptr<TIcon> Icon(const std::string& name)
    {
        auto icon = std::make_unique<TIcon>();
        icon->LoadFromFile(folder + "/" + name);
        return icon;
    }
    std::string folder;
};

} // namespace

TEST_F(IconFiles, EntryChoiceFollowsTheScreenDepth)
{
    struct TCase {
        const char* File;
        int Depth;
        int Entry;
    };
    // a: [16 colours, 256 colours]; b: [256, 16]; c: [2, 16]; d: [unreadable, 256].
    const TCase cases[] = {
        {"a.ico", 4, 0},  {"a.ico", 8, 0},  {"a.ico", 16, 1}, {"a.ico", 24, 1}, {"a.ico", 32, 1},
        {"b.ico", 4, 1},  {"b.ico", 8, 1},  {"b.ico", 16, 0}, {"b.ico", 24, 0}, {"b.ico", 32, 0},
        {"c.ico", 1, 0},  {"c.ico", 8, 1},  {"c.ico", 24, 0}, {"c.ico", 32, 0},
        {"d.ico", 4, 1},  {"d.ico", 32, 1},
    };
    for (const TCase& c : cases) {
        const std::vector<std::uint8_t> bytes = File(c.File);
        EXPECT_EQ(ChooseRealSizeIconEntry(bytes.data(), bytes.size(), c.Depth), c.Entry)
            << c.File << " at " << c.Depth << " bits";
    }
}

TEST_F(IconFiles, RealSizeIconIsTheChosenImageAtItsOwnSize)
{
    // The layer's screen has 32 bits a pixel: the 256-colour (green) image is drawn.
    for (const char* name : {"a.ico", "b.ico", "d.ico"}) {
        std::unique_ptr<TIcon> icon = Icon(name);
        HICON real = CreateRealSizeIcon(icon.get());
        ASSERT_NE(real, nullptr) << name;
        int width = 0, height = 0;
        GetIconSize(real, width, height);
        EXPECT_EQ(width, 32);
        EXPECT_EQ(height, 32);
        DestroyIcon(real);
        TBitmap bitmap;
        bitmap.SetSize(40, 40);
        bitmap.Canvas()->Brush()->SetColor(clWhite);
        bitmap.Canvas()->FillRect(Rect(0, 0, 40, 40));
        DrawRealSizeIcon(bitmap.Canvas(), icon.get(), 4, 4);
        EXPECT_EQ(bitmap.Canvas()->Pixels(10, 10), static_cast<TColor>(0x00FF00)) << name;
        EXPECT_EQ(bitmap.Canvas()->Pixels(37, 37), clWhite) << name;
    }
}

TEST(RealSizeIcons, DamagedBytesAndOtherTypesFallBack)
{
    // Truncated headers, a count of 65,535 images with no directory, offsets past the end and
    // sizes of 2 GB: nothing is usable.
    std::vector<std::vector<std::uint8_t>> damaged = {
        {},
        {0, 0, 1},
        {0, 0, 1, 0, 0xFF, 0xFF},
        {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0x80, 22, 0, 0, 0},
        {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 32, 0, 40, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0x7F},
    };
    for (const auto& bytes : damaged)
        EXPECT_EQ(ChooseRealSizeIconEntry(bytes.data(), bytes.size(), 32), -1);

    // A handle-made icon is a real one-image file; a cursor-type file gives a copy of the handle.
    TIcon application;
    application.SetHandle(CopyIcon(LoadIcon(nullptr, MAKEINTRESOURCE(IDI_APPLICATION))));
    HICON real = CreateRealSizeIcon(&application);
    ASSERT_NE(real, nullptr);
    EXPECT_NE(real, application.Handle());
    DestroyIcon(real);
    EXPECT_EQ(CreateRealSizeIcon(nullptr), nullptr);
}

TEST(RealSizeIcons, MaskOnlyIconReportsHalfTheMaskHeight)
{
    ICONINFO info;
    info.hbmMask = CreateBitmap(24, 48, 1, 1, nullptr);
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(info.hbmMask);
    ASSERT_NE(icon, nullptr);
    int width = 0, height = 0;
    GetIconSize(icon, width, height);
    EXPECT_EQ(width, 24);
    EXPECT_EQ(height, 24);
    DestroyIcon(icon);
    GetIconSize(nullptr, width, height);
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 32);
}

TEST_F(IconFiles, IconsStreamKeepsEntriesAndBytes)
{
    TIconList list;
    int changes = 0;
    list.OnChange = [&](TObject*) { ++changes; };
    std::unique_ptr<TIcon> first = Icon("a.ico");
    list.Add(first.get());
    list.AddIcon(nullptr);
    TIcon application;
    application.SetHandle(CopyIcon(LoadIcon(nullptr, MAKEINTRESOURCE(IDI_APPLICATION))));
    list.Add(&application);
    EXPECT_EQ(changes, 3);

    TMemoryStream stream;
    list.SaveToStream(stream);
    const std::vector<std::uint8_t> saved = StreamBytes(stream);
    const std::vector<std::uint8_t> icoA = File("a.ico");
    ASSERT_GE(saved.size(), 12u + icoA.size());
    auto int32At = [&](std::size_t at) {
        return saved[at] | (saved[at + 1] << 8) | (saved[at + 2] << 16) | (saved[at + 3] << 24);
    };
    EXPECT_EQ(int32At(0), 3);
    EXPECT_EQ(int32At(4), static_cast<int>(icoA.size()));
    EXPECT_TRUE(std::equal(icoA.begin(), icoA.end(), saved.begin() + 8));
    const std::size_t second = 8 + icoA.size();
    EXPECT_EQ(int32At(second), 0);
    const int thirdSize = int32At(second + 4);
    ASSERT_GT(thirdSize, 0);
    ASSERT_EQ(saved.size(), second + 8 + thirdSize);

    // icotool reads each stored entry as an icon file.
    WriteBytes(folder + "/entry0.ico", std::vector<std::uint8_t>(saved.begin() + 8, saved.begin() + second));
    WriteBytes(folder + "/entry2.ico", std::vector<std::uint8_t>(saved.begin() + second + 8, saved.end()));
    const std::string listing0 = RunShell("icotool -l '" + folder + "/entry0.ico' 2>&1");
    EXPECT_NE(listing0.find("--width=32 --height=32 --bit-depth=4 --palette-size=16"), std::string::npos) << listing0;
    EXPECT_NE(listing0.find("--width=32 --height=32 --bit-depth=8"), std::string::npos) << listing0;
    const std::string listing2 = RunShell("icotool -l '" + folder + "/entry2.ico' 2>&1");
    EXPECT_NE(listing2.find("--width=32 --height=32 --bit-depth="), std::string::npos) << listing2;

    // Save, load and save again give the same bytes; the empty entry stays in its place.
    TIconList loaded;
    stream.SetPosition(0);
    loaded.LoadFromStream(stream);
    ASSERT_EQ(loaded.Count(), 3);
    EXPECT_NE(loaded[0], nullptr);
    EXPECT_EQ(loaded[1], nullptr);
    EXPECT_NE(loaded[2], nullptr);
    TMemoryStream again;
    loaded.SaveToStream(again);
    EXPECT_EQ(StreamBytes(again), saved);
}

TEST_F(IconFiles, DamagedIconsStreamLeavesTheListEmpty)
{
    const std::vector<std::uint8_t> icoA = File("a.ico");
    // The numbers, with the icon's bytes after the second one when asked.
    auto streamOf = [&](std::vector<std::int32_t> head, bool withIcon) {
        auto stream = std::make_unique<TMemoryStream>();
        for (std::size_t i = 0; i < head.size(); ++i) {
            stream->WriteInt32(head[i]);
            if (i == 1 && withIcon)
                stream->WriteBuffer(icoA.data(), static_cast<int>(icoA.size()));
        }
        stream->SetPosition(0);
        return stream;
    };
    struct TCase {
        const char* What;
        std::vector<std::int32_t> Head;
        bool WithIcon;
    };
    const TCase failing[] = {
        {"a size beyond the stream", {2, static_cast<std::int32_t>(icoA.size()), 1000000}, true},
        {"a size of 2 GB", {1, 0x7FFFFFFF}, false},
        {"65,535 entries in 4 bytes", {65535}, false},
        {"a truncated count", {}, false},
    };
    for (const TCase& c : failing) {
        TIconList list;
        std::unique_ptr<TIcon> icon = Icon("a.ico");
        list.Add(icon.get());
        auto stream = streamOf(c.Head, c.WithIcon);
        EXPECT_THROW(list.LoadFromStream(*stream), EReadError) << c.What;
        EXPECT_EQ(list.Count(), 0) << c.What;
    }
    // Negative and zero sizes are empty entries; bytes that are no icon raise the icon's error.
    TIconList list;
    auto empties = streamOf({2, -5, 0}, false);
    list.LoadFromStream(*empties);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0], nullptr);
    TMemoryStream garbageStream;
    garbageStream.WriteInt32(1);
    garbageStream.WriteInt32(8);
    garbageStream.WriteInt64(0x0102030405060708);
    garbageStream.SetPosition(0);
    TMemoryStream* garbage = &garbageStream;
    EXPECT_THROW(list.LoadFromStream(*garbage), EInvalidGraphic);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(IconFiles, ClipboardCarriesTheIconBytes)
{
    std::unique_ptr<TIcon> original = Icon("b.ico");
    CopyIconToClipboard(original.get(), clYellow);
    EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
    TIcon restored;
    AssignClipboardIcon(&restored);
    EXPECT_EQ(IconBytesOf(&restored), File("b.ico"));
    std::unique_ptr<TIcon> created = CreateIconFromClipboard();
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(IconBytesOf(created.get()), File("b.ico"));
    TBitmap pasted;
    pasted.Assign(Clipboard());
    EXPECT_EQ(pasted.Width(), 32);
    EXPECT_EQ(pasted.Canvas()->Pixels(3, 3), static_cast<TColor>(0x00FF00));

    // With only a bitmap the icon stays; with nothing there is no icon.
    TBitmap bitmap;
    bitmap.SetSize(8, 8);
    Clipboard()->Assign(&bitmap);
    AssignClipboardIcon(&restored);
    EXPECT_EQ(IconBytesOf(&restored), File("b.ico"));
    Clipboard()->Clear();
    EXPECT_EQ(CreateIconFromClipboard(), nullptr);

    // Bytes in the icon format that are not an icon: the icon's load error, the icon unchanged.
    HGLOBAL junk = GlobalAlloc(GMEM_MOVEABLE, 10);
    std::memset(GlobalLock(junk), 7, 10);
    GlobalUnlock(junk);
    Clipboard()->SetAsHandle(static_cast<WORD>(IconClipboardFormat()), junk);
    EXPECT_THROW(AssignClipboardIcon(&restored), EInvalidGraphic);
    EXPECT_EQ(IconBytesOf(&restored), File("b.ico"));
    EXPECT_THROW(CreateIconFromClipboard(), EInvalidGraphic);
    Clipboard()->Clear();
}

TEST_F(IconFiles, FuzzReplayOverSeedsAndMutations)
{
    std::vector<std::vector<std::uint8_t>> seeds;
    for (const char* name : {"a.ico", "b.ico", "c.ico", "d.ico"}) {
        std::unique_ptr<TIcon> icon = Icon(name);
        TIconList list;
        list.Add(icon.get());
        list.AddIcon(nullptr);
        TMemoryStream stream;
        list.SaveToStream(stream);
        seeds.push_back(StreamBytes(stream));
        seeds.push_back(File(name));
    }
    for (const auto& seed : seeds)
        RunIconsFuzzCase(seed.data(), seed.size());
    std::mt19937 random(47);
    auto below = [&](std::size_t n) { return n == 0 ? std::size_t{0} : static_cast<std::size_t>(random() % n); };
    const int rounds = 400 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        std::vector<std::uint8_t> bytes = seeds[below(seeds.size())];
        const int steps = 1 + static_cast<int>(below(4));
        for (int step = 0; step < steps; ++step) {
            switch (random() % 4) {
            case 0:
                if (!bytes.empty())
                    bytes[below(bytes.size())] = static_cast<std::uint8_t>(random());
                break;
            case 1:
                // A field of the stream, directory or bitmap header set to an extreme value.
                if (bytes.size() >= 4) {
                    static const std::uint32_t extremes[] = {0, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 40, 64};
                    const std::uint32_t value = extremes[below(std::size(extremes))];
                    const std::size_t at = below(bytes.size() - 3);
                    for (int k = 0; k < 4; ++k)
                        bytes[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
                }
                break;
            case 2:
                bytes.resize(below(bytes.size() + 1));
                break;
            default:
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(below(bytes.size() + 1)), below(40),
                             static_cast<std::uint8_t>(random()));
                break;
            }
        }
        RunIconsFuzzCase(bytes.data(), bytes.size());
    }
}
