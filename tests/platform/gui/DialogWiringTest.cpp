#include "GuiTestSupport.h"

#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Font.h"
#include "platform/gui/FontEngine.h"
#include "platform/gui/PdfPrinter.h"
#include "platform/gui/PrintDialogs.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Files.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

// Replaces the desktop opener with one that records its targets (nullptr restores the previous).
void RecordDesktopOpener(std::vector<std::string>* targets);

namespace {

LOGFONTA LogFontOf(HFONT handle)
{
    LOGFONTA logFont;
    EXPECT_EQ(GetObjectA(handle, sizeof(logFont), &logFont), static_cast<int>(sizeof(logFont)));
    return logFont;
}

} // namespace

TEST(FontAssignTest, ResolutionDecidesBetweenHeightAndSize)
{
    TFont screen;
    screen.SetName("Arial");
    screen.SetSize(10);
    ASSERT_EQ(screen.Height(), -13);

    // A screen font given to a printer canvas keeps its point size at the printer's resolution.
    TFont printer;
    printer.PixelsPerInch = 1200;
    printer.Assign(&screen);
    EXPECT_EQ(printer.PixelsPerInch, 1200);
    EXPECT_EQ(printer.Size(), 10);
    EXPECT_EQ(printer.Height(), -167);
    EXPECT_EQ(printer.Name(), "Arial");

    // Back to the screen: the size again, not the printer's pixel height.
    TFont back;
    back.Assign(&printer);
    EXPECT_EQ(back.PixelsPerInch, 96);
    EXPECT_EQ(back.Height(), -13);

    // At the same resolution the exact pixel height is kept, even one no point size gives.
    TFont odd;
    odd.SetHeight(-14);
    TFont copy;
    copy.Assign(&odd);
    EXPECT_EQ(copy.Height(), -14);
}

TEST(FontAssignTest, HandleCarriesTheEscapement)
{
    LOGFONTA logFont;
    logFont.lfHeight = -20;
    logFont.lfEscapement = 900;
    logFont.lfOrientation = 900;
    logFont.lfWeight = FW_BOLD;
    std::strcpy(logFont.lfFaceName, "Times New Roman");
    HFONT turned = CreateFontIndirectA(logFont);

    TFont font;
    font.SetHandle(turned);
    DeleteObject(turned);
    EXPECT_EQ(font.Orientation(), 900);
    EXPECT_EQ(font.Name(), "Times New Roman");
    EXPECT_TRUE(font.Style().Contains(fsBold));

    TFont assigned;
    assigned.Assign(&font);
    EXPECT_EQ(assigned, font);
    const LOGFONTA back = LogFontOf(assigned.Handle());
    EXPECT_EQ(back.lfEscapement, 900);
    EXPECT_EQ(back.lfHeight, -20);
    EXPECT_STREQ(back.lfFaceName, "Times New Roman");
    EXPECT_EQ(assigned.Handle(), font.Handle()); // shared, like the upright handles

    assigned.SetOrientation(0);
    EXPECT_EQ(LogFontOf(assigned.Handle()).lfEscapement, 0);
    EXPECT_EQ(assigned.Handle(), FontHandle(assigned));
}
