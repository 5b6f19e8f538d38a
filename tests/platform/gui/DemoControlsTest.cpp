// The demonstration form with one of each standard control, grabbed to a PNG for a person to see.

#include "GuiTestSupport.h"

#include "platform/gui/Bevel.h"
#include "platform/gui/BitBtn.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/DateTimePicker.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Image.h"
#include "platform/gui/ListView.h"
#include "platform/gui/Menus.h"
#include "platform/gui/PageControl.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/SpeedButton.h"
#include "platform/gui/Splitter.h"
#include "platform/gui/StatusBar.h"
#include "platform/gui/TabSet.h"
#include "platform/gui/UpDown.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Label.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/MaskEdit.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/gui/RadioButton.h"

#include "platform/gui/private/QtBridge.h"

#include <QHeaderView>
#include <QImage>
#include <QStandardItemModel>
#include <QTreeView>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class TFormDemoControlli : public TForm {
    TESS_CLASS(TFormDemoControlli, TForm)
public:
    explicit TFormDemoControlli(TComponent* AOwner) : TForm(AOwner)
    {
        SetCaption("Dimostrazione controlli");
        SetClientWidth(800);
        SetClientHeight(600);
        SetLeft(50);
        SetTop(50);

        auto* label = Place(new TLabel(this), 8, 8);
        label->SetCaption("&Cliente:");
        Edit = Place(new TEdit(this), 8, 26);
        Edit->SetText("Rossi S.r.l.");
        label->SetFocusControl(Edit);

        auto* ok = Place(new TButton(this), 140, 24);
        ok->SetCaption("&Conferma");
        ok->SetDefault(true);

        Check = Place(new TCheckBox(this), 8, 56);
        Check->SetCaption("Fattura elettronica");
        Check->SetWidth(130);
        Check->SetChecked(true);
        auto* radio1 = Place(new TRadioButton(this), 8, 76);
        radio1->SetCaption("Privato");
        radio1->SetChecked(true);
        auto* radio2 = Place(new TRadioButton(this), 8, 96);
        radio2->SetCaption("Azienda");

        auto* group = Place(new TRadioGroup(this), 8, 120);
        group->SetCaption("Pagamento");
        group->SetBounds(8, 120, 200, 90);
        group->Items()->Add("Contanti");
        group->Items()->Add("Bonifico");
        group->Items()->Add("Ri.Ba.");
        group->SetItemIndex(1);

        auto* panel = Place(new TPanel(this), 220, 60);
        panel->SetBounds(220, 60, 150, 60);
        panel->SetBevelInner(bvLowered);
        panel->SetCaption("Pannello");

        auto* bevel = Place(new TBevel(this), 220, 130);
        bevel->SetBounds(220, 130, 150, 40);

        auto* mask = Place(new TMaskEdit(this), 8, 220);
        mask->SetEditMask("!99/99/0000;1;_");
        mask->SetText("15/03/2026");

        auto* memo = Place(new TMemo(this), 8, 250);
        memo->Lines()->Add("Prima riga");
        memo->Lines()->Add("Seconda riga");
        memo->Lines()->Add("Terza riga con l'euro \x80");

        List = Place(new TListBox(this), 220, 180);
        List->SetBounds(220, 180, 150, 120);
        for (int i = 1; i <= 10; ++i)
            List->Items()->Add("Articolo " + std::to_string(i));
        List->SetItemIndex(2);

        auto* bitBtn = Place(new TBitBtn(this), 220, 8);
        bitBtn->SetKind(bkOK);
        for (int i = 0; i < 3; ++i) {
            Speed[i] = Place(new TSpeedButton(this), 300 + 24 * i, 8);
            Speed[i]->SetGroupIndex(1);
            Speed[i]->SetCaption(std::string(1, static_cast<char>('A' + i)));
        }
        Speed[1]->SetDown(true);

        auto* pages = Place(new TPageControl(this), 380, 8);
        pages->SetBounds(380, 8, 200, 120);
        auto* sheet1 = new TTabSheet(this);
        sheet1->SetPageControl(pages);
        sheet1->SetCaption("Generale");
        auto* sheetLabel = new TLabel(this);
        sheetLabel->SetParent(sheet1);
        sheetLabel->SetBounds(8, 8, 100, 17);
        sheetLabel->SetCaption("Prima scheda");
        auto* sheet2 = new TTabSheet(this);
        sheet2->SetPageControl(pages);
        sheet2->SetCaption("Note");
        auto* tabs = Place(new TTabControl(this), 590, 8);
        tabs->SetBounds(590, 8, 200, 120);
        tabs->Tabs()->Add("Clienti");
        tabs->Tabs()->Add("Fornitori");
        auto* tabSet = Place(new TTabSet(this), 380, 134);
        tabSet->SetBounds(380, 134, 200, 21);
        tabSet->Tabs()->Add("Foglio1");
        tabSet->Tabs()->Add("Foglio2");
        tabSet->SetTabIndex(0);

        auto* view = View = Place(new TListView(this), 380, 162);
        view->SetBounds(380, 162, 410, 100);
        view->SetViewStyle(vsReport);
        for (const char* caption : {"Codice", "Descrizione", "Prezzo"})
            view->Columns()->Add()->SetCaption(caption);
        view->Columns()->Items(1)->SetWidth(200);
        view->Columns()->Items(2)->SetAlignment(taRightJustify);
        for (int i = 1; i <= 3; ++i) {
            TListItem* item = view->Items()->Add();
            item->SetCaption("A00" + std::to_string(i));
            item->SubItems()->Add("Articolo numero " + std::to_string(i));
            item->SubItems()->Add(std::to_string(i * 10) + ",00");
        }

        auto* combo = Place(new TComboBox(this), 380, 270);
        combo->SetWidth(150);
        combo->Items()->Add("Milano");
        combo->Items()->Add("Roma");
        combo->SetItemIndex(1);
        auto* drawn = Place(new TComboBox(this), 540, 270);
        drawn->SetWidth(150);
        drawn->SetStyle(csOwnerDrawFixed);
        drawn->Items()->Add("Rosso");
        drawn->Items()->Add("Verde");
        drawn->SetItemIndex(0);
        drawn->OnDrawItem = [drawn](TWinControl*, int index, TRect rect, TOwnerDrawState) {
            TCanvas* canvas = drawn->Canvas();
            canvas->FillRect(rect);
            canvas->Brush()->SetColor(index == 0 ? clRed : clGreen);
            canvas->Rectangle(rect.Left + 2, rect.Top + 2, rect.Left + 14, rect.Bottom - 2);
            canvas->Brush()->SetStyle(bsClear);
            canvas->TextOut(rect.Left + 18, rect.Top + 1, drawn->Items()->Strings(index));
        };

        auto* bar = Place(new TScrollBar(this), 380, 302);
        bar->SetBounds(380, 302, 200, 17);
        bar->SetPosition(30);
        auto* box = Place(new TScrollBox(this), 640, 302);
        box->SetBounds(640, 302, 150, 80);
        auto* inBox = new TButton(this);
        inBox->SetParent(box);
        inBox->SetBounds(150, 100, 75, 25);
        inBox->SetCaption("Lontano");

        auto* image = Place(new TImage(this), 380, 330);
        image->SetBounds(380, 330, 64, 64);
        TCanvas* picture = image->Canvas();
        picture->Brush()->SetColor(clYellow);
        picture->FillRect(Rect(0, 0, 64, 64));
        picture->Brush()->SetColor(clBlue);
        picture->Ellipse(8, 8, 56, 56);
        auto* paintBox = Place(new TPaintBox(this), 450, 330);
        paintBox->SetBounds(450, 330, 64, 64);
        paintBox->OnPaint = [paintBox](TObject*) {
            TCanvas* canvas = paintBox->Canvas();
            canvas->Brush()->SetColor(clWhite);
            canvas->Rectangle(0, 0, 64, 64);
            canvas->MoveTo(0, 0);
            canvas->LineTo(64, 64);
            canvas->MoveTo(63, 0);
            canvas->LineTo(0, 64);
        };
        auto* buddy = Place(new TEdit(this), 520, 330);
        buddy->SetWidth(50);
        auto* updown = Place(new TUpDown(this), 570, 330);
        updown->SetAssociate(buddy);
        updown->SetPosition(7);
        auto* picker = Place(new TDateTimePicker(this), 520, 362);
        picker->SetWidth(110);
        picker->SetDate(EncodeDate(2026, 3, 15));

        Progress = Place(new TProgressBar(this), 380, 400);
        Progress->SetBounds(380, 400, 200, 16);
        Progress->SetPosition(60);

        auto* frame = Place(new TPanel(this), 220, 430);
        frame->SetBounds(220, 430, 360, 100);
        frame->SetBevelOuter(bvLowered);
        auto* leftPane = new TPanel(this);
        leftPane->SetParent(frame);
        leftPane->SetAlign(alLeft);
        leftPane->SetWidth(150);
        leftPane->SetCaption("Sinistra");
        auto* splitter = new TSplitter(this);
        splitter->SetParent(frame);
        splitter->SetLeft(160);
        auto* rightPane = new TPanel(this);
        rightPane->SetParent(frame);
        rightPane->SetAlign(alClient);
        rightPane->SetCaption("Destra");

        auto* status = Status = Place(new TStatusBar(this), 0, 580);
        status->Panels()->Add()->SetWidth(200);
        status->Panels()->Items(0)->SetText("Pronto");
        status->Panels()->Add()->SetText("Utente: Mario");
        auto* onStatus = OnStatus = new TLabel(this);
        onStatus->SetParent(status);
        onStatus->SetBounds(420, 4, 80, 14);
        onStatus->SetCaption("NUM");
        onStatus->Font()->SetColor(clBlue);

        auto* mainMenu = new TMainMenu(this);
        mainMenu->SetOwnerDraw(true);
        TMenuItem* file = NewSubMenu("&File", 0, "", {NewItem("&Apri", ShortCut('O', TShiftState{ssCtrl}), false, true, nullptr, 0, ""),
                                                      NewLine(), NewItem("&Esci", 0, false, true, nullptr, 0, "")});
        mainMenu->Items()->Add(file);
        Menu = mainMenu;
    }

    template <typename T>
    T* Place(T* control, int left, int top)
    {
        control->SetParent(this);
        control->SetLeft(left);
        control->SetTop(top);
        return control;
    }

    TEdit* Edit = nullptr;
    TSpeedButton* Speed[3] = {};
    TProgressBar* Progress = nullptr;
    TCheckBox* Check = nullptr;
    TListBox* List = nullptr;
    TListView* View = nullptr;
    TStatusBar* Status = nullptr;
    TLabel* OnStatus = nullptr;
};

TEST(DemoControls, NoControlCoversAnother)
{
    auto* form = TForm::Create<TFormDemoControlli>(nullptr);
    for (int i = 0; i < form->ControlCount(); ++i)
        for (int j = i + 1; j < form->ControlCount(); ++j) {
            TControl* a = form->Controls(i);
            TControl* b = form->Controls(j);
            TRect common;
            EXPECT_FALSE(IntersectRect(common, a->BoundsRect(), b->BoundsRect()))
                << a->ClassName() << " at " << a->Left() << "," << a->Top() << " and " << b->ClassName() << " at "
                << b->Left() << "," << b->Top();
        }
    TComponent::Free(form);
}

TEST(DemoControls, FormWithOneOfEachControlIsGrabbed)
{
    auto* form = TForm::Create<TFormDemoControlli>(nullptr);
    ShowAndActivate(form);
    Pump(50);
    const std::string path = ScreenshotDir() + "/demo-controlli.png";
    ASSERT_TRUE(GrabToPng(form, path));
    QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    // The image holds the form's window with its frame: client pixels are found from the form's
    // client origin against the window's top-left corner.
    const TPoint clientOrigin = form->ClientOrigin();
    const QPoint windowOrigin = Widget(form)->mapToGlobal(QPoint(0, 0));
    auto pixelAt = [&](TControl* control, int x, int y) {
        const TPoint screen = control->ClientToScreen({x, y});
        (void)clientOrigin;
        return ToTColor(image.pixelColor(screen.X - windowOrigin.x(), screen.Y - windowOrigin.y()));
    };
    const TColor highlight = static_cast<TColor>(ColorToRGB(clHighlight));
    const TRect item = form->List->ItemRect(2);
    EXPECT_EQ(pixelAt(form->List, item.Left + 100, item.Top + 3), highlight);
    // The progress bar at 60 %: filled before 60 % of its width, empty after it.
    const int width = form->Progress->ClientWidth();
    EXPECT_EQ(pixelAt(form->Progress, width * 55 / 100, 8), highlight);
    EXPECT_NE(pixelAt(form->Progress, width * 65 / 100, 8), highlight);
    // The down speed button is sunken: dark top-left edge, where a raised one is white.
    EXPECT_EQ(pixelAt(form->Speed[1], 0, 10), static_cast<TColor>(ColorToRGB(clBtnShadow)));
    EXPECT_EQ(pixelAt(form->Speed[0], 0, 10), static_cast<TColor>(ColorToRGB(clBtnHighlight)));

    // The panel texts and the label laid on the status bar stand on one baseline: the lowest row
    // with text (none of them has descenders).
    auto baseline = [&](const TRect& area) {
        for (int y = area.Bottom - 1; y >= area.Top; --y)
            for (int x = area.Left; x < area.Right; ++x)
                if (pixelAt(form->Status, x, y) != static_cast<TColor>(ColorToRGB(clBtnFace)))
                    return y;
        return -1;
    };
    TRect first = form->Status->PanelRect(0), second = form->Status->PanelRect(1);
    InflateRect(first, -2, -2);
    InflateRect(second, -2, -2);
    second.Right = form->OnStatus->Left() - 1;
    const int labelBaseline = baseline(form->OnStatus->BoundsRect());
    EXPECT_NE(labelBaseline, -1);
    EXPECT_EQ(baseline(first), labelBaseline);
    EXPECT_EQ(baseline(second), labelBaseline);

    // The amounts stand at the right of their column.
    auto* tree = qobject_cast<QTreeView*>(Widget(form->View));
    ASSERT_NE(tree, nullptr);
    const QRect cell = tree->visualRect(tree->model()->index(2, 2));
    const QRect cellInImage(tree->viewport()->mapTo(Widget(form), cell.topLeft()), cell.size());
    int inkLeft = cellInImage.right(), inkRight = cellInImage.left();
    for (int y = cellInImage.top(); y <= cellInImage.bottom(); ++y)
        for (int x = cellInImage.left(); x <= cellInImage.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x);
            }
    EXPECT_GE(inkRight, cellInImage.right() - 8);
    EXPECT_GE(inkLeft, cellInImage.left() + 12);
    TComponent::Free(form);
}

} // namespace
