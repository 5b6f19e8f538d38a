// The clipboard: text both ways, private formats, bitmaps and the bad handles.

#include "GuiTestSupport.h"

#include "platform/gui/Clipboard.h"
#include "platform/gui/private/GdiInternals.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>

namespace {

TEST(ClipboardText, RoundTripInsideAndLineFeedsOutside)
{
    const std::string text = "Caff\xE8 \x80 10\r\nriga 2";
    Clipboard()->SetAsText(text);
    EXPECT_EQ(Clipboard()->AsText(), text);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("Caff\xC3\xA8 \xE2\x82\xAC 10\nriga 2"));
    // Text another program put there comes back with CR LF and "?" for what Windows-1252 lacks.
    QGuiApplication::clipboard()->setText(QString::fromUtf8("a\nb \xC5\x82"));
    EXPECT_EQ(Clipboard()->AsText(), "a\r\nb ?");
}

// Another program reads the clipboard: only under a real display (xvfb-run) with xclip installed.
TEST(ClipboardText, XclipReadsTheTextAndListsThePrivateType)
{
    if (QGuiApplication::platformName() != "xcb" || QStandardPaths::findExecutable("xclip").isEmpty())
        GTEST_SKIP() << "needs the xcb platform and xclip";
    const UINT format = RegisterClipboardFormatA("Tessellarium Icon");
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(data), "icon", 4);
    GlobalUnlock(data);
    Clipboard()->Open();
    Clipboard()->SetAsText("Caff\xE8 \x80 10\r\nriga 2");
    Clipboard()->SetAsHandle(static_cast<WORD>(format), data);
    Clipboard()->Close();
    // xclip asks this process for the data, so the event loop runs while it works.
    auto run = [](const QStringList& arguments) {
        QProcess xclip;
        xclip.start("xclip", arguments);
        PumpUntil([&] { return xclip.state() == QProcess::NotRunning; }, 5000);
        return QString::fromUtf8(xclip.readAllStandardOutput());
    };
    EXPECT_EQ(run({"-selection", "clipboard", "-o"}), QString::fromUtf8("Caff\xC3\xA8 \xE2\x82\xAC 10\nriga 2"));
    EXPECT_TRUE(run({"-selection", "clipboard", "-t", "TARGETS", "-o"})
                    .split('\n')
                    .contains("application/x-tessellarium-tessellarium icon"));
}

TEST(ClipboardFormats, PrivateFormatAndTextInOneOpening)
{
    const UINT format = RegisterClipboardFormatA("Tessellarium Icon");
    EXPECT_GE(format, 0xC000u);
    EXPECT_EQ(GetClipboardFormatName(format), "Tessellarium Icon");
    std::vector<unsigned char> bytes(766);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(data), bytes.data(), bytes.size());
    GlobalUnlock(data);
    Clipboard()->Open();
    Clipboard()->SetAsText("testo");
    Clipboard()->SetAsHandle(static_cast<WORD>(format), data);
    Clipboard()->Close();
    EXPECT_TRUE(IsClipboardFormatAvailable(format));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_EQ(Clipboard()->AsText(), "testo");
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat("application/x-tessellarium-tessellarium icon"));
    HANDLE back = Clipboard()->GetAsHandle(static_cast<WORD>(format));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(GlobalSize(back), 766u);
    EXPECT_EQ(std::memcmp(GlobalLock(back), bytes.data(), 766), 0);
    GlobalUnlock(back);
}

TEST(ClipboardFormats, BitmapKeepsItsPixels)
{
    TBitmap bitmap;
    bitmap.SetWidth(10);
    bitmap.SetHeight(10);
    bitmap.Canvas()->Brush()->SetColor(clRed);
    bitmap.Canvas()->FillRect(Rect(0, 0, 10, 10));
    Clipboard()->Assign(&bitmap);
    auto handle = static_cast<HBITMAP>(Clipboard()->GetAsHandle(CF_BITMAP));
    ASSERT_NE(handle, nullptr);
    TGdiBitmap* copy = Gdi::FindBitmap(handle);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Image.size(), QSize(10, 10));
    EXPECT_EQ(QColor(copy->Image.pixel(5, 5)), QColor(255, 0, 0));
}

TEST(ClipboardErrors, FreedHandleChangesNothingAndAnotherThreadBlocksOpening)
{
    Clipboard()->SetAsText("resta");
    HGLOBAL freed = GlobalAlloc(GMEM_MOVEABLE, 4);
    GlobalFree(freed);
    const UINT privateFormat = RegisterClipboardFormatA("Tessellarium Prova");
    auto* unknown = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x5A5A50));
    const struct {
        const char* Name;
        UINT Format;
        HANDLE Data;
    } cases[] = {
        {"freed text", CF_TEXT, freed},
        {"unknown text", CF_TEXT, unknown},
        {"unknown bitmap", CF_BITMAP, unknown},
        {"unknown metafile", CF_ENHMETAFILE, unknown},
        {"unknown private data", privateFormat, unknown},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EXPECT_EQ(SetClipboardData(c.Format, c.Data), nullptr) << c.Name;
        CloseClipboard();
        EXPECT_EQ(Clipboard()->AsText(), "resta") << c.Name;
        if (c.Format != CF_TEXT) {
            EXPECT_FALSE(IsClipboardFormatAvailable(c.Format)) << c.Name;
        }
    }

    std::atomic<int> stage{0};
    std::thread other([&] {
        OpenClipboard(nullptr);
        stage = 1;
        while (stage != 2)
            std::this_thread::yield();
        CloseClipboard();
    });
    while (stage != 1)
        std::this_thread::yield();
    try {
        Clipboard()->SetAsText("no");
        ADD_FAILURE() << "no exception";
    } catch (const EClipboardException& e) {
        EXPECT_EQ(e.Message, "Cannot open clipboard");
    }
    stage = 2;
    other.join();
}

} // namespace
