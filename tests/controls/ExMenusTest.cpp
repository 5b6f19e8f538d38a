// Owner-drawn menus: the menu-character answers, the default drawing grabbed from an open pop-up
// (shortcut column, two-colour separator, checked frame, embossed disabled text), images and
// pictures, the left margin, the program's own handlers, plain pop-ups through the shared window
// and a main menu drawn through its form's hook.

#include "ControlsTestSupport.h"

#include "controls/ExMenus.h"
#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Colors.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ExMenusTest {

using namespace ExMenus;

QColor Rgb(TColor color)
{
    const COLORREF rgb = ColorToRGB(color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

// Pops the menu up; once it shows, grabs it, lets inspect act on it, then closes it unless keys
// were given (they are pressed instead).
QImage PopupAndGrab(TPopupMenu* menu, const std::string& name, std::vector<Qt::Key> keys = {},
                    std::function<void(QMenu*)> inspect = nullptr)
{
    QImage grab;
    QTimer::singleShot(80, [&] {
        auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!open)
            return;
        for (Qt::Key key : keys)
            QTest::keyClick(open, key);
        if (auto* still = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            grab = still->grab().toImage();
            if (inspect)
                inspect(still);
            if (QApplication::activePopupWidget() == still)
                still->close();
        }
    });
    menu->Popup(120, 120);
    if (!grab.isNull())
        grab.save(QString::fromStdString(ControlsPictureDir() + "/" + name + ".png"));
    return grab;
}

TMenuItem* Item(const std::string& caption, const std::string& shortCut = {}, bool enabled = true)
{
    return NewItem(caption, shortCut.empty() ? 0 : TextToShortCut(shortCut), false, enabled, nullptr, 0, "");
}

// The item rectangles of the open menu, in the order of its actions.
std::vector<QRect> ItemRects(QMenu* menu)
{
    std::vector<QRect> rects;
    for (QAction* action : menu->actions())
        rects.push_back(menu->actionGeometry(action));
    return rects;
}

bool IsInk(QColor c) { return c.lightness() < 100; }

// The first column of the second run of ink in the row band (the shortcut), -1 without one.
int SecondRunStart(const QImage& image, const QRect& band)
{
    bool seenInk = false;
    int blank = 0;
    for (int x = band.left(); x <= band.right(); ++x) {
        bool ink = false;
        for (int y = band.top(); y <= band.bottom() && !ink; ++y)
            ink = IsInk(image.pixelColor(x, y));
        if (ink && seenInk && blank >= 12)
            return x;
        if (ink) {
            seenInk = true;
            blank = 0;
        } else {
            ++blank;
        }
    }
    return -1;
}

TEST(ExMenuChar, AnswersTable)
{
    TExPopupMenu menu(nullptr);
    menu.SetStyle(msOwnerDraw);
    for (TMenuItem* item : {Item("&Apri"), Item("&Aggiungi"), Item("&Salva"), Item("&Chiudi", "", false),
                            Item("Esci"), Item("Dati", "", false), NewLine(), Item("&Mostra")})
        menu.Items()->Add(item);
    menu.Refresh();
    HMENU handle = menu.Handle();
    auto highlight = [&](int position) {
        for (int i = 0; i < GetMenuItemCount(handle); ++i) {
            MENUITEMINFOA info;
            info.fMask = MIIM_STATE;
            GetMenuItemInfoA(handle, static_cast<UINT>(i), TRUE, &info);
            info.fState = i == position ? (info.fState | MFS_HILITE) : (info.fState & ~MFS_HILITE);
            SetMenuItemInfoA(handle, static_cast<UINT>(i), TRUE, &info);
        }
    };
    struct Case {
        char Key;
        int Highlighted;
        WORD Command;
        WORD Position;
    };
    const std::vector<Case> cases = {
        {'S', -1, MNC_EXECUTE, 2}, {'s', -1, MNC_EXECUTE, 2}, {'m', -1, MNC_EXECUTE, 7},
        {'A', -1, MNC_SELECT, 0},  {'A', 0, MNC_SELECT, 1},   {'a', 1, MNC_SELECT, 0},
        {'A', 4, MNC_SELECT, 0},   {'C', -1, MNC_CLOSE, 0},   {'e', -1, MNC_EXECUTE, 4},
        {'D', -1, MNC_CLOSE, 0},   {'Z', -1, MNC_IGNORE, 0},
    };
    for (const Case& c : cases) {
        highlight(c.Highlighted);
        const LRESULT answer = menu.MenuCharAnswer(handle, c.Key);
        EXPECT_EQ(HIWORD(static_cast<DWORD>(answer)), c.Command) << c.Key << " " << c.Highlighted;
        EXPECT_EQ(LOWORD(static_cast<DWORD>(answer)), c.Position) << c.Key << " " << c.Highlighted;
    }
}

TEST(ExPopupMenuDrawing, DefaultDrawingAlignsShortcutsAndDrawsSeparatorFrameAndEmbossedText)
{
    TExPopupMenu menu(nullptr);
    menu.SetStyle(msOwnerDraw);
    menu.SetShowCheckMarks(false);
    menu.SetMinTextOffset(16);
    for (TMenuItem* item : {Item("&Nuovo", "Ctrl+N"), Item("&Apri documento...", "Ctrl+O"), Item("&Salva", "Ctrl+S"),
                            Item("Salva con &nome", "Ctrl+Shift+S"), NewLine(), Item("Mostra &griglia"),
                            Item("Di&sabilitata", "", false)})
        menu.Items()->Add(item);
    menu.Items()->Items(5)->SetChecked(true);
    std::vector<QRect> rects;
    const QImage grab = PopupAndGrab(&menu, "ExPopupMenuOwnerDraw", {}, [&](QMenu* open) { rects = ItemRects(open); });
    ASSERT_FALSE(grab.isNull());
    ASSERT_EQ(rects.size(), 7u);

    std::set<int> shortcutColumns;
    for (int i = 0; i < 4; ++i)
        shortcutColumns.insert(SecondRunStart(grab, rects[static_cast<std::size_t>(i)]));
    EXPECT_EQ(shortcutColumns.size(), 1u) << "shortcut texts start at one column";
    EXPECT_GT(*shortcutColumns.begin(), rects[0].left() + 40);

    // The separator: a shadow line right above a highlight line, across the item.
    const QRect line = rects[4];
    const int middle = (line.top() + line.bottom() + 1) / 2;
    const int x = line.left() + line.width() / 2;
    EXPECT_EQ(grab.pixelColor(x, middle - 1), Rgb(clBtnShadow));
    EXPECT_EQ(grab.pixelColor(x, middle), Rgb(clBtnHighlight));

    // The checked item: a checkered column framed sunken.
    const QRect checked = rects[5];
    std::set<QRgb> columnColours;
    for (int y = checked.top() + 3; y < checked.bottom() - 3; ++y)
        for (int cx = checked.left() + 4; cx < checked.left() + 10; ++cx)
            columnColours.insert(grab.pixel(cx, y));
    EXPECT_TRUE(columnColours.count(Rgb(clMenu).rgb()) && columnColours.count(Rgb(clBtnHighlight).rgb()))
        << "checker of menu colour and highlight";
    bool shadowFrame = false;
    for (int cx = checked.left(); cx < checked.left() + 8; ++cx)
        shadowFrame = shadowFrame || grab.pixelColor(cx, checked.top() + 1) == Rgb(clBtnShadow);
    EXPECT_TRUE(shadowFrame) << "the frame's top edge in the gray colour";

    // The disabled item: gray text over a highlight copy one pixel down and right, no dark ink.
    const QRect disabled = rects[6];
    int shadow = 0, highlight = 0, dark = 0;
    for (int y = disabled.top(); y <= disabled.bottom(); ++y)
        for (int cx = disabled.left(); cx <= disabled.right(); ++cx) {
            const QColor c = grab.pixelColor(cx, y);
            shadow += c == Rgb(clBtnShadow);
            highlight += c == Rgb(clBtnHighlight);
            dark += c.lightness() < Rgb(clBtnShadow).lightness() - 30;
        }
    EXPECT_GT(shadow, 5);
    EXPECT_GT(highlight, 5);
    EXPECT_EQ(dark, 0);
}

TEST(ExPopupMenuDrawing, ImagesPicturesAndTheLeftMargin)
{
    TImageList images(16, 16);
    TBitmap one;
    one.SetSize(16, 16);
    one.Canvas()->Brush()->SetColor(clRed);
    one.Canvas()->FillRect(TRect(0, 0, 16, 16));
    images.Add(&one, nullptr);

    TExPopupMenu menu(nullptr);
    menu.Items()->Add(Item("&Immagine"));
    menu.Items()->Add(Item("&Figura"));
    EXPECT_FALSE(menu.IsOwnerDrawMenu());
    menu.SetImages(&images);
    EXPECT_TRUE(menu.IsOwnerDrawMenu()) << "one image makes a standard menu owner-drawn";
    MENUITEMINFOA info;
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu.Handle(), 0, TRUE, &info);
    EXPECT_NE(info.fType & MFT_OWNERDRAW, 0u);
    menu.SetImages(nullptr);

    // Three cells: red, green, blue. The item is checked: cell 3 does not exist, cell 0 is drawn.
    TBitmap cells;
    cells.SetSize(48, 16);
    const TColor colours[] = {clRed, clLime, clBlue};
    for (int i = 0; i < 3; ++i) {
        cells.Canvas()->Brush()->SetColor(colours[i]);
        cells.Canvas()->FillRect(TRect(i * 16, 0, i * 16 + 16, 16));
    }
    cells.SetTransparentColor(clFuchsia);
    menu.Items()->Items(1)->SetChecked(true);
    menu.OnGetItemParams = [&](TMenu*, TMenuItem* item, TMenuOwnerDrawState, TFont*, TColor&, TGraphic*& graphic,
                               int& glyphs) {
        if (item->Caption() == "&Figura") {
            graphic = &cells;
            glyphs = 3;
        }
    };
    menu.SetStyle(msOwnerDraw);
    menu.SetLeftMargin(20);
    std::vector<QRect> rects;
    const QImage grab = PopupAndGrab(&menu, "ExPopupMenuPictureMargin", {}, [&](QMenu* open) { rects = ItemRects(open); });
    ASSERT_FALSE(grab.isNull());
    ASSERT_EQ(rects.size(), 2u);
    int red = 0, green = 0, blue = 0;
    const QRect picture = rects[1];
    for (int y = picture.top(); y <= picture.bottom(); ++y)
        for (int x = picture.left() + 21; x < picture.left() + 60; ++x) {
            const QColor c = grab.pixelColor(x, y);
            red += c == QColor(255, 0, 0);
            green += c == QColor(0, 255, 0);
            blue += c == QColor(0, 0, 255);
        }
    EXPECT_GT(red, 100);
    EXPECT_EQ(green, 0);
    EXPECT_EQ(blue, 0);

    // The margin: from clBlue at the top down to RGB(0, 0, 63), beside the top-level items.
    const QRect first = rects[0];
    const QColor top = grab.pixelColor(first.left() + 5, first.top());
    const QColor bottom = grab.pixelColor(first.left() + 5, rects[1].bottom());
    EXPECT_EQ(top, QColor(0, 0, 255));
    EXPECT_EQ(bottom.red(), 0);
    EXPECT_LE(bottom.blue(), 63 + 8);
    EXPECT_EQ(grab.pixelColor(first.left() + 15, first.top() + 2), Rgb(clBtnShadow));
    EXPECT_EQ(grab.pixelColor(first.left() + 16, first.top() + 2), Rgb(clBtnHighlight));
}

TEST(ExPopupMenuDrawing, TheProgramsHandlersGetTheItemRectangleAndState)
{
    TExPopupMenu menu(nullptr);
    menu.SetStyle(msOwnerDraw);
    for (TMenuItem* item : {Item("Primo"), Item("Spento", "", false), Item("Segnato"), Item("Predefinito")})
        menu.Items()->Add(item);
    menu.Items()->Items(2)->SetChecked(true);
    menu.Items()->Items(3)->SetDefault(true);
    std::map<std::string, int> measured;
    std::map<std::string, TMenuOwnerDrawState> states;
    std::map<std::string, TRect> drawnRects;
    menu.OnMeasureItem = [&](TMenu* sender, TMenuItem* item, int& width, int& height) {
        EXPECT_EQ(sender, &menu);
        measured[item->Caption()] = width;
        width = 150;
        height = 24;
    };
    menu.OnDrawItem = [&](TMenu*, TMenuItem* item, const TRect& rect, TMenuOwnerDrawState state) {
        states[item->Caption()] = states[item->Caption()] + state;
        drawnRects[item->Caption()] = rect;
        menu.Canvas()->Brush()->SetColor(clTeal);
        menu.Canvas()->FillRect(rect);
    };
    std::vector<QRect> rects;
    const QImage grab = PopupAndGrab(&menu, "ExPopupMenuHandlers", {Qt::Key_Down},
                                     [&](QMenu* open) { rects = ItemRects(open); });
    ASSERT_FALSE(grab.isNull());
    EXPECT_EQ(measured.size(), 4u);
    EXPECT_GT(measured["Primo"], 0) << "the handler gets the computed width";
    ASSERT_EQ(rects.size(), 4u);
    EXPECT_EQ(rects[0].height(), 24);
    EXPECT_EQ(drawnRects["Primo"].Height(), 24);
    EXPECT_EQ(grab.pixelColor(rects[0].center()), Rgb(clTeal));
    EXPECT_TRUE(states["Primo"].Contains(mdSelected));
    EXPECT_EQ(states["Spento"].Bits() & 0x06, 0x06u) << "grayed and disabled";
    EXPECT_TRUE(states["Segnato"].Contains(mdChecked));
    EXPECT_TRUE(states["Predefinito"].Contains(mdDefault));
}

TEST(ExPopupMenuDispatch, StandardMenuCommandsAndHintsGoThroughTheSharedWindow)
{
    TExPopupMenu menu(nullptr);
    int clicks = 0;
    TMenuItem* first = NewItem("&Copia", 0, false, true, [&](TObject*) { ++clicks; }, 0, "");
    first->Hint = "Copia la selezione";
    menu.Items()->Add(first);
    menu.Items()->Add(Item("&Incolla"));
    std::string hintWhileOpen;
    PopupAndGrab(&menu, "ExPopupMenuStandard", {Qt::Key_Down},
                 [&](QMenu* open) {
                     hintWhileOpen = Application->Hint();
                     QTest::keyClick(open, Qt::Key_Return);
                 });
    Application->ProcessMessages();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(hintWhileOpen, "Copia la selezione");
    EXPECT_EQ(Application->Hint(), "") << "closing the menu clears the hint";

    // An owner-drawn menu runs the item of a typed accelerator.
    menu.SetStyle(msOwnerDraw);
    PopupAndGrab(&menu, "ExPopupMenuAccelerator", {Qt::Key_C});
    Application->ProcessMessages();
    EXPECT_EQ(clicks, 2);
}

TEST(ExPopupMenuDispatch, LargeAndOddMenusFinish)
{
    TExPopupMenu menu(nullptr);
    menu.SetStyle(msOwnerDraw);
    for (int i = 0; i < 2000; ++i)
        menu.Items()->Add(Item("Voce " + std::to_string(i) + (i % 3 == 0 ? "&" : ""), i % 2 ? "Ctrl+F2" : ""));
    menu.Items()->Add(Item(std::string(10000, 'x') + "&"));
    int ran = 0;
    TMenuItem* self = nullptr;
    self = NewItem("&Zeta", 0, false, true, [&](TObject*) {
        ++ran;
        menu.Items()->Remove(self);
        QTimer::singleShot(0, [&] { TComponent::Free(self); });
    }, 0, "");
    menu.Items()->Insert(0, self);
    const QImage grab = PopupAndGrab(&menu, "ExPopupMenuLarge", {Qt::Key_Z});
    Application->ProcessMessages();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(menu.Items()->IndexOf(self), -1);
    PopupAndGrab(&menu, "ExPopupMenuLargeAgain");
}

TEST(ExMainMenuDrawing, TheBarIsDrawnThroughTheFormsHookAndAnswersAccelerators)
{
    TForm* form = new TForm(nullptr);
    form->SetBounds(40, 40, 320, 160);
    auto* menu = new TExMainMenu(form);
    int opened = 0;
    TMenuItem* file = NewSubMenu("&File", 0, "", {Item("&Nuovo", "Ctrl+N"), NewLine(), Item("&Esci")});
    file->OnClick = [&](TObject*) { ++opened; };
    menu->Items()->Add(file);
    menu->Items()->Add(NewSubMenu("&Modifica", 0, "", {Item("&Copia", "Ctrl+C")}));
    form->Menu = menu;
    form->Show();
    menu->SetStyle(msBtnRaised);
    Application->ProcessMessages();
    EXPECT_EQ(menu->FindForm(), form);

    TBitmap picture;
    ASSERT_TRUE(GrabToBitmap(form, &picture));
    GrabToPng(form, ControlsPictureDir() + "/ExMainMenuBar.png");
    // The bar items are drawn on the menu colour by this unit: text ink within the bar's band.
    int ink = 0;
    for (int y = 0; y < GetMenuBarHeight(form->Handle()); ++y)
        for (int x = 0; x < 120; ++x)
            ink += IsInk(QColor::fromRgb(ColorToRGB(picture.Canvas()->Pixels(x, y)) & 0xFFFFFF)) ? 1 : 0;
    EXPECT_GT(ink, 20);

    const LRESULT answer = SendMessage(form->Handle(), WM_MENUCHAR, MAKEWPARAM('m', 0),
                                       reinterpret_cast<LPARAM>(menu->Handle()));
    EXPECT_EQ(HIWORD(static_cast<DWORD>(answer)), MNC_EXECUTE);
    EXPECT_EQ(LOWORD(static_cast<DWORD>(answer)), 1);
    EXPECT_TRUE(MenuBarHasAccelerator(form->Handle(), 'f'));

    // The drop-down of the bar is drawn through the hook too: its separator is two-coloured.
    QImage dropDown;
    QTimer::singleShot(80, [&] {
        if (QWidget* open = QApplication::activePopupWidget()) {
            dropDown = open->grab().toImage();
            QTest::keyClick(open, Qt::Key_Escape);
            QTest::keyClick(open, Qt::Key_Escape);
        }
    });
    MenuBarKey(form->Handle(), 'f');
    Application->ProcessMessages();
    EXPECT_EQ(opened, 1);
    ASSERT_FALSE(dropDown.isNull());
    dropDown.save(QString::fromStdString(ControlsPictureDir() + "/ExMainMenuDropDown.png"));
    bool twoColourLine = false;
    const int x = dropDown.width() / 2;
    for (int y = 1; y < dropDown.height() && !twoColourLine; ++y)
        twoColourLine = dropDown.pixelColor(x, y - 1) == Rgb(clBtnShadow) &&
                        dropDown.pixelColor(x, y) == Rgb(clBtnHighlight) &&
                        dropDown.pixelColor(x / 2, y - 1) == Rgb(clBtnShadow);
    EXPECT_TRUE(twoColourLine);
    TComponent::Free(form);
    Application->ProcessMessages();
}

} // namespace ExMenusTest
