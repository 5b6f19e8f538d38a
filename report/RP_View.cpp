#include "report/RP_View.h"

#include "report/RP_Ctrls.h"
#include "report/RP_PrDlg.h"
#include "report/RP_Srch.h"
#include "report/RP_Utils.h"
#include "report/rpEMFPages.h"
#include "report/rpEngine.h"
#include "report/rpReport.h"
#include "report/rpResources.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bevel.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Label.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/Printer.h"
#include "platform/gui/RadioButton.h"
#include "platform/gui/Regions.h"
#include "platform/gui/Screen.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <array>
#include <utility>

double SharedScale = 1.0;
TrpScaleMode SharedScaleMode = mdNone;

namespace rpView {
namespace {

// Frees a window made for one command.
struct TFormFree {
    void operator()(TComponent* component) const { TComponent::Free(component); }
};
template <class T>
using TOwnedForm = std::unique_ptr<T, TFormFree>;

constexpr TColor PageBoxGrey = static_cast<TColor>(0x808080);
// Pages whose top lies this far below the box are not shown, whatever the canvas says.
constexpr int CullLimit = 2000;

// The record count of the sheet being searched.
int RecordCounter = 0;

// Toolbar pictures, one character a pixel: '.' is the transparent olive of the bottom-left corner.
using TGlyphRows = std::array<const char*, 16>;

const TGlyphRows ZoomGlyph = {"................", ".....kkkk.......", "....kwwwwk......", "...kwwwwwwk.....",
                              "...kwwkkwwk.....", "...kwwkkwwk.....", "...kwwwwwwk.....", "....kwwwwk......",
                              ".....kkkkkk.....", "..........kk....", "...........kk...", "............kk..",
                              ".............k..", "................", "................", "................"};
const TGlyphRows LoadGlyph = {"................", "................", "..kkkkk.........", ".kyyyyyk........",
                              ".kyyyyyykkkkkk..", ".kyyyyyyyyyyyk..", ".kyykkkkkkkkkkkk", ".kyykgggggggggk.",
                              ".kykgggggggggk..", ".kykggggggggk...", ".kkgggggggggk...", ".kkggggggggk....",
                              ".kkkkkkkkkkk....", "................", "................", "................"};
const TGlyphRows SaveGlyph = {"................", ".kkkkkkkkkkkkk..", ".kbkwwwwwwwkbk..", ".kbkwwwwwwwkbk..",
                              ".kbkwwwwwwwkbk..", ".kbkwwwwwwwkbk..", ".kbbkkkkkkkbbk..", ".kbbbbbbbbbbbk..",
                              ".kbbkkkkkkkbbk..", ".kbbkggkwwkbbk..", ".kbbkggkwwkbbk..", ".kbbkggkwwkbbk..",
                              "..kkkkkkkkkkkk..", "................", "................", "................"};
const TGlyphRows PrintGlyph = {"................", "....kkkkkkkk....", "....kwwwwwwk....", "....kwkkkkwk....",
                               "....kwwwwwwk....", "..kkkkkkkkkkkk..", ".kggggggggggggk.", ".kggggggggggyyk.",
                               ".kggggggggggggk.", ".kkkkkkkkkkkkkk.", ".kggkwwwwwwkggk.", "..kkkwkkkkwkkk..",
                               "....kwwwwwwk....", "....kkkkkkkk....", "................", "................"};
const TGlyphRows FindGlyph = {"................", "..kkkk..........", ".kwwwwk.........", "kwwkkwwk........",
                              "kwkwwwwk........", "kwwwwwwk........", ".kwwwwkk........", "..kkkkkkk.......",
                              ".......kkk......", "........kkk.....", ".........kkk....", "..........kk....",
                              "................", "......kkkkkkkk..", "................", "................"};
const TGlyphRows HelpGlyph = {"................", ".....kkkkk......", "....kbbbbbk.....", "...kbbkkkbbk....",
                              "...kbk...kbk....", ".........kbk....", "........kbbk....", ".......kbbk.....",
                              "......kbbk......", "......kbbk......", "......kkkk......", "................",
                              "......kbbk......", "......kbbk......", "......kkkk......", "................"};
const TGlyphRows ExitGlyph = {"................", "..kkkkkkkkkk....", "..kggggggggk....", "..kggggrgggk....",
                              "..kgggggrggk....", "..kggrrrrrrrr...", "..kgggggrggk....", "..kggggrgggk....",
                              "..kggggggggk....", "..kggggggggk....", "..kggggggggk....", "..kggggggggk....",
                              "..kkkkkkkkkk....", "................", "................", "................"};
const TGlyphRows UpGlyph = {"................", "................", "................", "................",
                            "................", ".......k........", "......kkk.......", ".....kkkkk......",
                            "....kkkkkkk.....", "...kkkkkkkkk....", "................", "................",
                            "................", "................", "................", "................"};
const TGlyphRows DownGlyph = {"................", "................", "................", "................",
                              "................", "...kkkkkkkkk....", "....kkkkkkk.....", ".....kkkkk......",
                              "......kkk.......", ".......k........", "................", "................",
                              "................", "................", "................", "................"};

TColor GlyphColor(char c)
{
    switch (c) {
    case 'k': return clBlack;
    case 'w': return clWhite;
    case 'b': return clNavy;
    case 'y': return clYellow;
    case 'g': return clSilver;
    case 'r': return clMaroon;
    default: return clOlive;
    }
}

void SetGlyph(TrpSpeedButton* button, const TGlyphRows& rows)
{
    TBitmap glyph;
    glyph.SetSize(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            glyph.Canvas()->SetPixels(x, y, GlyphColor(rows[static_cast<std::size_t>(y)][x]));
    button->SetGlyph(&glyph);
}

} // namespace
} // namespace rpView

// --- Page box

TrpPBox::TrpPBox(TComponent* AOwner) : TPanel(AOwner)
{
    SetBevelInner(bvNone);
    SetBevelOuter(bvNone);
    SetColor(rpView::PageBoxGrey);
    Tag = 207;
}

void TrpPBox::Dispatch(TMessage& Message)
{
    // Every pixel is painted by Paint; the context menu is opened by MouseDown.
    if (Message.Msg == WM_ERASEBKGND) {
        Message.Result = 1;
        return;
    }
    if (Message.Msg == WM_CONTEXTMENU)
        return;
    TPanel::Dispatch(Message);
}

void TrpPBox::Paint()
{
    if (PreviewForm)
        PreviewForm->PaintPages(Canvas());
}

void TrpPBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TPanel::MouseDown(Button, Shift, X, Y);
    if (PreviewForm)
        PreviewForm->PageBoxMouseDown(Button, X, Y);
}

// --- Preview window

TrpPreviewForm::TrpPreviewForm(TComponent* AOwner) : TForm(AOwner)
{
    SetName("rpPreviewForm");
    SetClientWidth(640);
    SetClientHeight(480);
    KeyPreview = true;
    CreateComponents();
    OnKeyDown = [this](TObject*, WORD& key, TShiftState shift) { FormKeyDown(key, shift); };
    OnResize = [this](TObject*) { FormResize(); };
    OnActivate = [this](TObject*) {
        if (FStandalone)
            SavedHelpFile = Application->HelpFile;
    };
    OnDeactivate = [this](TObject*) {
        if (FStandalone)
            Application->HelpFile = SavedHelpFile;
    };
}

TrpPreviewForm::~TrpPreviewForm()
{
    if (FHelpMode)
        ReleaseCapture();
    HeldPages.reset();
}

void TrpPreviewForm::CreateComponents()
{
    CreateToolbar();
    CreatePageArea();
    CreateZoomMenu();
    OpenDialog = new TOpenDialog(this);
    SaveDialog = new TSaveDialog(this);
}

void TrpPreviewForm::CreateToolbar()
{
    TopPanel = rpCreateControl<TPanel>(this, this, "TopPanel", Bounds(0, 0, 640, 33));
    TopPanel->SetAlign(alTop);
    TopPanel->SetBevelOuter(bvNone);
    Bevel2 = rpCreateControl<TBevel>(this, TopPanel, "Bevel2", Bounds(0, 0, 640, 2));
    Bevel2->SetAlign(alTop);
    Bevel2->SetShape(bsTopLine);
    Panel1 = rpCreateControl<TrpTBPanel>(this, TopPanel, "Panel1", Bounds(0, 2, 640, 31));
    Panel1->SetAlign(alClient);
    int x = 0;
    auto button = [this, &x](const std::string& name, int width, int hintId, int tag) {
        auto* b = rpCreateControl<TrpTBButton>(this, Panel1, name, Bounds(x, 0, width, 24));
        b->SetFlat(true);
        b->SetHint(rpLoadStr(hintId));
        b->SetShowHint(true);
        b->Tag = tag;
        x += width;
        return b;
    };
    auto separator = [this, &x](const std::string& name) {
        auto* s = rpCreateControl<TrpTBSeparator>(this, Panel1, name, Bounds(x, 0, 8, 24));
        s->SetDrawBevel(false);
        x += 8;
        return s;
    };
    ZoomBtn = button("ZoomBtn", 53, 53024, 200);
    ZoomBtn->SetCaption("200%");
    ZoomBtn->SetMargin(3);
    ZoomBtn->OnClick = [this](TObject*) { ZoomBtnClick(); };
    rpTBSeparator1 = separator("rpTBSeparator1");
    LoadBtn = button("LoadBtn", 22, 53025, 201);
    LoadBtn->OnClick = [this](TObject*) { LoadBtnClick(); };
    SaveBtn = button("SaveBtn", 22, 53026, 202);
    SaveBtn->OnClick = [this](TObject*) { SaveBtnClick(); };
    PrintBtn = button("PrintBtn", 22, 53027, 203);
    PrintBtn->OnClick = [this](TObject*) { PrintBtnClick(); };
    rpTBSeparator2 = separator("rpTBSeparator2");
    FindBtn = button("FindBtn", 22, 53028, 204);
    FindBtn->OnClick = [this](TObject*) { FindBtnClick(); };
    HelpBtn = button("HelpBtn", 22, 53032, 0);
    HelpBtn->OnClick = [this](TObject*) { HelpBtnClick(); };
    rpTBSeparator3 = separator("rpTBSeparator3");
    ExitBtn = button("ExitBtn", 22, 53023, 205);
    ExitBtn->OnClick = [this](TObject*) { ExitBtnClick(); };
    const std::pair<TrpTBButton*, const rpView::TGlyphRows*> glyphs[] = {
        {ZoomBtn, &rpView::ZoomGlyph},   {LoadBtn, &rpView::LoadGlyph}, {SaveBtn, &rpView::SaveGlyph},
        {PrintBtn, &rpView::PrintGlyph}, {FindBtn, &rpView::FindGlyph}, {HelpBtn, &rpView::HelpGlyph},
        {ExitBtn, &rpView::ExitGlyph}};
    for (const auto& [glyphButton, rows] : glyphs)
        rpView::SetGlyph(glyphButton, *rows);
}

void TrpPreviewForm::CreatePageArea()
{
    PreviewPanel = rpCreateControl<TPanel>(this, this, "PreviewPanel", Bounds(0, 33, 640, 447));
    PreviewPanel->SetAlign(alClient);
    PreviewPanel->SetBevelOuter(bvNone);
    BPanel = rpCreateControl<TPanel>(this, PreviewPanel, "BPanel", Bounds(0, 429, 640, 18));
    BPanel->SetAlign(alBottom);
    BPanel->SetBevelOuter(bvNone);
    Bevel1 = rpCreateControl<TBevel>(this, BPanel, "Bevel1", Bounds(0, 0, 77, 17));
    Bevel1->Tag = 206;
    Label1 = rpCreateControl<TLabel>(this, BPanel, "Label1", Bounds(4, 3, 70, 13));
    Label1->Tag = 206;
    HScrollBar = rpCreateControl<TScrollBar>(this, BPanel, "HScrollBar", Bounds(80, 0, 544, 16));
    ScrollBox1 = rpCreateControl<TScrollBox>(this, PreviewPanel, "ScrollBox1", Bounds(0, 0, 640, 429));
    ScrollBox1->SetAlign(alClient);
    ScrollBox1->SetBorderStyle(bsNone);
    RPanel = rpCreateControl<TPanel>(this, ScrollBox1, "RPanel", Bounds(624, 0, 16, 429));
    RPanel->SetAlign(alRight);
    RPanel->SetBevelOuter(bvNone);
    VScrollBar = rpCreateControl<TScrollBar>(this, RPanel, "VScrollBar", Bounds(0, 0, 16, 396));
    VScrollBar->SetKind(sbVertical);
    PgUp = rpCreateControl<TrpSpeedButton>(this, RPanel, "PgUp", Bounds(0, 397, 16, 16));
    PgUp->OnClick = [this](TObject*) { PgUpClick(); };
    PgDown = rpCreateControl<TrpSpeedButton>(this, RPanel, "PgDown", Bounds(0, 413, 16, 16));
    PgDown->OnClick = [this](TObject*) { PgDownClick(); };
    rpView::SetGlyph(PgUp, rpView::UpGlyph);
    rpView::SetGlyph(PgDown, rpView::DownGlyph);
    for (TScrollBar* bar : {HScrollBar, VScrollBar}) {
        bar->SetParams(0, 0, 32000);
        bar->LargeChange = 200;
        bar->SmallChange = 10;
        bar->SetPageSize(0);
    }
    VScrollBar->OnChange = [this](TObject*) { VScrollBarChange(); };
    HScrollBar->OnChange = [this](TObject*) { HScrollBarChange(); };
    PageBox = new TrpPBox(this);
    PageBox->PreviewForm = this;
    PageBox->SetParent(ScrollBox1);
    PageBox->SetAlign(alClient);
}

TMenuItem* TrpPreviewForm::AddZoomItem(const std::string& name, int tag, const std::string& caption)
{
    auto* item = new TMenuItem(this);
    item->SetName(name);
    item->SetCaption(caption);
    item->Tag = tag;
    item->SetGroupIndex(1);
    item->SetRadioItem(true);
    item->OnClick = [this, item](TObject*) { ZoomItemClick(item); };
    ProcMenu->Items()->Add(item);
    return item;
}

void TrpPreviewForm::CreateZoomMenu()
{
    ProcMenu = new TPopupMenu(this);
    ProcMenu->SetName("ProcMenu");
    N2001 = AddZoomItem("N2001", 200, "200%");
    N1501 = AddZoomItem("N1501", 150, "150%");
    N1001 = AddZoomItem("N1001", 100, "100%");
    N751 = AddZoomItem("N751", 75, "75%");
    N501 = AddZoomItem("N501", 50, "50%");
    N251 = AddZoomItem("N251", 25, "25%");
    N101 = AddZoomItem("N101", 10, "10%");
    N1 = AddZoomItem("N1", 1, rpLoadStr(53020));
    N2 = AddZoomItem("N2", 2, rpLoadStr(53021));
    N3 = AddZoomItem("N3", 3, rpLoadStr(53022));
    N1001->SetChecked(true);
    // The page-editing items need a report designer; this program has none.
    int index = 0;
    for (TMenuItem** item : {&N4, &N5, &N6, &N7}) {
        static const int ids[] = {0, 53029, 53030, 53031};
        *item = new TMenuItem(this);
        (*item)->SetCaption(ids[index] ? rpLoadStr(ids[index]) : "-");
        (*item)->SetGroupIndex(1);
        (*item)->SetVisible(false);
        ProcMenu->Items()->Add(*item);
        ++index;
    }
}

void TrpPreviewForm::Notification(TComponent* AComponent, TOperation Operation)
{
    TForm::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == ConnectedReport) {
        // The sheets belong to the report that goes.
        HeldPages.reset();
        ConnectedReport = nullptr;
    }
}

void TrpPreviewForm::DoClose(TCloseAction& Action)
{
    TForm::DoClose(Action);
    if (FStandalone && !Modal())
        Action = caFree;
}

void TrpPreviewForm::Dispatch(TMessage& Message)
{
    if (Message.Msg == WM_GETMINMAXINFO) {
        TForm::Dispatch(Message);
        auto* info = reinterpret_cast<MINMAXINFO*>(Message.LParam);
        info->ptMaxSize = {Screen->Width(), Screen->Height()};
        info->ptMaxPosition = {0, 0};
        return;
    }
    if (FHelpMode && (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_RBUTTONDOWN)) {
        HelpModePress({static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))});
        Message.Result = 0;
        return;
    }
    TForm::Dispatch(Message);
}

// --- Connecting

void TrpPreviewForm::Connect(TrpReport* report)
{
    if (!report)
        return;
    if (ConnectedReport != report) {
        if (ConnectedReport)
            ConnectedReport->RemoveFreeNotification(this);
        report->FreeNotification(this);
    }
    HeldPages = std::move(report->PreparedPages);
    report->PreparedPages = std::make_unique<TrpEMFPages>(report);
    ConnectedReport = report;
}

void TrpPreviewForm::ConnectBack()
{
    if (!ConnectedReport || !HeldPages)
        return;
    ConnectedReport->PreparedPages = std::move(HeldPages);
}

void TrpPreviewForm::WithSheetsHandedBack(const std::function<void()>& work)
{
    ConnectBack();
    struct TReconnect {
        TrpPreviewForm& Form;
        ~TReconnect() { Form.Connect(Form.ConnectedReport); }
    } reconnect{*this};
    work();
}

void TrpPreviewForm::Show_Modal(TrpReport* report)
{
    FStandalone = true;
    Connect(report);
    const TrpPreviewButtons buttons = report->PreviewButtons;
    ZoomBtn->SetVisible(buttons.Contains(pbZoom));
    rpTBSeparator1->SetVisible(buttons.Contains(pbZoom));
    LoadBtn->SetVisible(buttons.Contains(pbLoad));
    SaveBtn->SetVisible(buttons.Contains(pbSave));
    PrintBtn->SetVisible(buttons.Contains(pbPrint));
    FindBtn->SetVisible(buttons.Contains(pbFind));
    HelpBtn->SetVisible(buttons.Contains(pbHelp));
    ExitBtn->SetVisible(buttons.Contains(pbExit));
    rpTBSeparator3->SetVisible(buttons.Contains(pbFind) || buttons.Contains(pbHelp));
    PrintBtn->SetEnabled(Printer()->Printers()->Count() > 0);
    for (TMenuItem* item : {N4, N5, N6, N7})
        item->SetVisible(false);
    switch (report->InitialZoom) {
    case pzPageWidth: SharedScaleMode = mdPageWidth; break;
    case pzOnePage: SharedScaleMode = mdOnePage; break;
    case pzTwoPages: SharedScaleMode = mdTwoPages; break;
    case pzDefault: break;
    }
    SetBounds(0, 0, Screen->Width(), Screen->Height());
    SetWindowState(wsMaximized);
    RedrawAll();
    HScrollBar->SetPosition(0);
    VScrollBar->SetPosition(0);
    SavedHelpFile = Application->HelpFile;
    if (report->ModalPreview)
        ShowModal();
    else
        Show();
}

// --- Layout and paging

void TrpPreviewForm::RedrawAll()
{
    if (!HeldPages)
        return;
    Scale = SharedScale;
    ScaleMode = SharedScaleMode;
    if (ScaleMode == mdPageWidth)
        N1->SetChecked(true);
    else if (ScaleMode == mdOnePage)
        N2->SetChecked(true);
    else if (ScaleMode == mdTwoPages)
        N3->SetChecked(true);
    else
        for (TMenuItem* item : {N2001, N1501, N1001, N751, N501, N251, N101})
            if (item->Tag == Scale * 100)
                item->SetChecked(true);
    CurrentPage = 1;
    ShowPageNum();
    ScrollX = ScrollY = PrevHPos = PrevVPos = 0;
    HScrollBar->SetPosition(0);
    VScrollBar->SetPosition(0);
    FormResize();
    for (int i = 0; i < HeldPages->Count(); ++i) {
        HeldPages->Pages(i)->Visible = false;
        HeldPages->Draw(i, PageBox->Canvas(), TRect());
    }
    PageBox->Repaint();
}

void TrpPreviewForm::FormResize()
{
    // An empty list (a prepared file without sheets) has nothing to lay out.
    if (!HeldPages || HeldPages->Count() == 0 || !PageBox)
        return;
    PaintEnabled = false;
    const int count = HeldPages->Count();
    CurrentPage = std::clamp(CurrentPage, 1, count);
    const int boxWidth = PageBox->ClientWidth(), boxHeight = PageBox->ClientHeight();
    const TrpPrnInfo& current = HeldPages->Pages(CurrentPage - 1)->PrinterInfo;
    const int w = std::max(current.PaperWidthPx, 1), h = std::max(current.PaperHeightPx, 1);
    if (ScaleMode == mdPageWidth)
        Scale = static_cast<double>(boxWidth - 20) / w;
    else if (ScaleMode == mdOnePage)
        Scale = static_cast<double>(boxHeight - 20) / h;
    else if (ScaleMode == mdTwoPages)
        Scale = static_cast<double>(boxWidth - 30) / (2 * w);
    ZoomBtn->SetCaption(IntToStr(static_cast<int>(Round(Scale * 100))) + "%");

    auto scaled = [this](int size) { return static_cast<int>(Round(size * Scale)); };
    int cols = 0, n = 0, x = 10;
    for (int i = 0; i < count; ++i) {
        const int d = x + scaled(HeldPages->Pages(i)->PrinterInfo.PaperWidthPx) + 10;
        if (d > boxWidth) {
            cols = std::max(cols, n);
            n = 0;
            x = 10;
        } else {
            x = d;
            ++n;
            if (i == count - 1)
                cols = std::max(cols, n);
        }
    }
    if (cols == 0 || ScaleMode == mdOnePage)
        cols = 1;
    if (ScaleMode == mdTwoPages)
        cols = 2;

    int y = 10, right = 0, bottom = 0;
    for (int first = 0; first < count; first += cols) {
        x = 10;
        int rowHeight = 0;
        for (int i = first; i < std::min(first + cols, count); ++i) {
            TrpPageInfo* page = HeldPages->Pages(i);
            const int sw = scaled(page->PrinterInfo.PaperWidthPx), sh = scaled(page->PrinterInfo.PaperHeightPx);
            const int left = cols == 1 && boxWidth > sw ? (boxWidth - sw) / 2 : x;
            page->Bounds = Rect(left, y, left + sw, y + sh);
            x += sw + 10;
            rowHeight = std::max(rowHeight, sh);
            right = std::max(right, page->Bounds.Right);
            bottom = std::max(bottom, page->Bounds.Bottom);
        }
        y += rowHeight + 10;
    }

    PgDown->SetTop(RPanel->Height() - 16);
    PgUp->SetTop(PgDown->Top() - 16);
    VScrollBar->SetHeight(std::max(PgUp->Top() - 1, 0));
    HScrollBar->SetWidth(
        std::max(BPanel->Width() - HScrollBar->Left() - (RPanel->Visible() ? VScrollBar->Width() : 0), 0));

    auto range = [](int extent) { return extent < 0 ? 0 : extent + 10; };
    const int hRange = range(right - boxWidth), vRange = range(bottom - boxHeight);
    HScrollBar->SetMax(hRange);
    HScrollBar->SetEnabled(hRange != 0);
    VScrollBar->SetMax(vRange);
    VScrollBar->SetEnabled(vRange != 0);
    SetToCurPage();
    PaintEnabled = true;
}

void TrpPreviewForm::SetToCurPage()
{
    if (!HeldPages || CurrentPage < 1 || CurrentPage > HeldPages->Count())
        return;
    VScrollBar->SetPosition(HeldPages->Pages(CurrentPage - 1)->Bounds.Top - 10);
}

void TrpPreviewForm::ShowPageNum()
{
    const int count = HeldPages ? HeldPages->Count() : 0;
    Label1->SetCaption(rpLoadStr(55004) + " " + IntToStr(CurrentPage) + "/" + IntToStr(count));
}

void TrpPreviewForm::VScrollBarChange()
{
    const int position = VScrollBar->Position();
    const int dy = PrevVPos - position;
    if (dy != 0 && PageBox->HandleAllocated())
        ScrollWindow(PageBox->Handle(), 0, dy, nullptr, nullptr);
    PrevVPos = position;
    ScrollY = -position;
    if (!HeldPages)
        return;
    for (int i = 0; i < HeldPages->Count(); ++i) {
        const TRect& bounds = HeldPages->Pages(i)->Bounds;
        if (bounds.Top < position + 11 && bounds.Bottom > position + 11) {
            CurrentPage = i + 1;
            break;
        }
    }
    ShowPageNum();
}

void TrpPreviewForm::HScrollBarChange()
{
    const int position = HScrollBar->Position();
    const int dx = PrevHPos - position;
    if (dx != 0 && PageBox->HandleAllocated())
        ScrollWindow(PageBox->Handle(), dx, 0, nullptr, nullptr);
    PrevHPos = position;
    ScrollX = -position;
}

void TrpPreviewForm::PgUpClick()
{
    if (!HeldPages)
        return;
    if (CurrentPage > 1)
        --CurrentPage;
    ShowPageNum();
    SetToCurPage();
}

void TrpPreviewForm::PgDownClick()
{
    if (!HeldPages)
        return;
    if (CurrentPage < HeldPages->Count())
        ++CurrentPage;
    ShowPageNum();
    SetToCurPage();
}

// --- Painting

void TrpPreviewForm::PaintPages(TCanvas* canvas)
{
    if (!PaintEnabled)
        return;
    const TRect box = PageBox->ClientRect();
    if (!HeldPages || HeldPages->Count() == 0) {
        canvas->Brush()->SetColor(clBtnFace);
        canvas->FillRect(box);
        return;
    }
    HDC dc = canvas->Handle();
    HRGN saved = CreateRectRgn(0, 0, box.Width(), box.Height());
    const bool hadClip = GetClipRgn(dc, saved) == 1;
    std::vector<TRect> shown(static_cast<std::size_t>(HeldPages->Count()));
    for (int i = 0; i < HeldPages->Count(); ++i) {
        TrpPageInfo* page = HeldPages->Pages(i);
        TRect r = page->Bounds;
        OffsetRect(r, ScrollX, ScrollY);
        shown[static_cast<std::size_t>(i)] = r;
        if (r.Top > rpView::CullLimit || r.Bottom < 0)
            page->Visible = false;
        else
            page->Visible = RectVisible(dc, &r) != FALSE;
        if (page->Visible)
            ExcludeClipRect(dc, r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
    }
    canvas->Brush()->SetColor(rpView::PageBoxGrey);
    canvas->FillRect(box);
    canvas->Pen()->SetColor(clBlack);
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetMode(pmCopy);
    canvas->Pen()->SetStyle(psSolid);
    canvas->Brush()->SetColor(clWhite);
    SelectClipRgn(dc, hadClip ? saved : nullptr);
    for (int i = 0; i < HeldPages->Count(); ++i) {
        if (!HeldPages->Pages(i)->Visible)
            continue;
        const TRect& r = shown[static_cast<std::size_t>(i)];
        canvas->Rectangle(r.Left, r.Top, r.Right, r.Bottom);
        canvas->Polyline({Point(r.Left + 1, r.Bottom), Point(r.Right, r.Bottom), Point(r.Right, r.Top + 1)});
    }
    for (int i = 0; i < HeldPages->Count(); ++i) {
        TrpPageInfo* page = HeldPages->Pages(i);
        if (!page->Visible) {
            HeldPages->Draw(i, canvas, TRect());
            continue;
        }
        const TRect& r = shown[static_cast<std::size_t>(i)];
        if (page->UseMargins) {
            HeldPages->Draw(i, canvas, r);
        } else {
            const TrpPrnInfo& info = page->PrinterInfo;
            const int left = r.Left + static_cast<int>(Round(info.OffsetX * Scale));
            const int top = r.Top + static_cast<int>(Round(info.OffsetY * Scale));
            HeldPages->Draw(i, canvas,
                            Rect(left, top, left + static_cast<int>(Round(info.PrintWidth * Scale)),
                                 top + static_cast<int>(Round(info.PrintHeight * Scale))));
        }
    }
    DeleteObject(saved);
}

// --- Mouse and keys

void TrpPreviewForm::PageBoxMouseDown(TMouseButton button, int x, int y)
{
    if (!HeldPages)
        return;
    if (button == mbLeft) {
        const TPoint point(x - ScrollX, y - ScrollY);
        for (int i = 0; i < HeldPages->Count(); ++i) {
            if (PtInRect(HeldPages->Pages(i)->Bounds, point)) {
                CurrentPage = i + 1;
                SetToCurPage();
                CurrentPage = i + 1;
                ShowPageNum();
                break;
            }
        }
    } else if (button == mbRight) {
        const TPoint screen = PageBox->ClientToScreen(TPoint(x, y));
        TWinControl* host = PreviewPanel->Parent();
        if (host && host->PopupMenu)
            host->PopupMenu->Popup(screen.X, screen.Y);
        else
            ProcMenu->Popup(screen.X, screen.Y);
    }
}

void TrpPreviewForm::FormKeyDown(WORD& key, TShiftState shift)
{
    if (!HeldPages)
        return;
    const bool ctrl = shift.Contains(ssCtrl);
    if ((key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN) && VScrollBar->Enabled() &&
        VScrollBar->CanFocus())
        VScrollBar->SetFocus();
    if ((key == VK_LEFT || key == VK_RIGHT) && HScrollBar->Enabled() && HScrollBar->CanFocus())
        HScrollBar->SetFocus();
    bool consumed = true;
    switch (key) {
    case VK_UP: VScrollBar->SetPosition(VScrollBar->Position() - VScrollBar->SmallChange); break;
    case VK_DOWN: VScrollBar->SetPosition(VScrollBar->Position() + VScrollBar->SmallChange); break;
    case VK_LEFT: HScrollBar->SetPosition(HScrollBar->Position() - HScrollBar->SmallChange); break;
    case VK_RIGHT: HScrollBar->SetPosition(HScrollBar->Position() + HScrollBar->SmallChange); break;
    case VK_PRIOR:
        if (ctrl)
            PgUpClick();
        else
            VScrollBar->SetPosition(VScrollBar->Position() - VScrollBar->LargeChange);
        break;
    case VK_NEXT:
        if (ctrl)
            PgDownClick();
        else
            VScrollBar->SetPosition(VScrollBar->Position() + VScrollBar->LargeChange);
        break;
    case VK_SPACE: ZoomBtnClick(); break;
    case VK_ESCAPE: ExitBtnClick(); break;
    case VK_F3:
        if (ctrl)
            break;
        if (!SearchText.empty()) {
            if (SearchPage != CurrentPage - 1) {
                SearchPage = CurrentPage - 1;
                SearchRecord = 0;
            }
            FindText();
        }
        break;
    default:
        consumed = ctrl;
        if (!ctrl)
            break;
        if (key == VK_HOME)
            VScrollBar->SetPosition(0);
        else if (key == VK_END) {
            CurrentPage = HeldPages->Count();
            SetToCurPage();
        } else if (key == 'O')
            LoadBtnClick();
        else if (key == 'S')
            SaveBtnClick();
        else if (key == 'F')
            FindBtnClick();
        else if (key == 'P' && PrintBtn->Enabled())
            PrintBtnClick();
        break;
    }
    if (consumed)
        key = 0;
}

// --- Commands

void TrpPreviewForm::ZoomBtnClick()
{
    for (TMenuItem* item : {N4, N5, N6, N7})
        item->SetVisible(false);
    const TPoint at = ZoomBtn->Parent()->ClientToScreen(TPoint(ZoomBtn->Left(), ZoomBtn->Top() + ZoomBtn->Height() + 2));
    ProcMenu->Popup(at.X + 4, at.Y + 6);
}

void TrpPreviewForm::ZoomItemClick(TMenuItem* item)
{
    ScrollX = 0;
    switch (item->Tag) {
    case 1: ScaleMode = mdPageWidth; break;
    case 2: ScaleMode = mdOnePage; break;
    case 3: ScaleMode = mdTwoPages; break;
    default:
        ScaleMode = mdNone;
        Scale = item->Tag / 100.0;
        break;
    }
    item->SetChecked(true);
    HScrollBar->SetPosition(0);
    FormResize();
    SharedScale = Scale;
    SharedScaleMode = ScaleMode;
    PageBox->Repaint();
}

void TrpPreviewForm::LoadBtnClick()
{
    if (!HeldPages)
        return;
    OpenDialog->Filter = rpLoadStr(55211) + " (*.frp)|*.frp";
    if (OpenDialog->Execute())
        LoadFromFile(OpenDialog->FileName);
}

void TrpPreviewForm::LoadFromFile(const std::string& fileName)
{
    if (!ConnectedReport)
        return;
    // The report loads into its own (empty) list, which keeps the old sheets here when the file
    // is damaged; only a complete load replaces them.
    ConnectedReport->LoadPreparedReport(fileName);
    Connect(ConnectedReport);
    CurrentPage = 1;
    FormResize();
    PaintEnabled = false;
    ShowPageNum();
    SetToCurPage();
    PaintEnabled = true;
    PageBox->Repaint();
}

void TrpPreviewForm::SaveBtnClick()
{
    if (!HeldPages)
        return;
    std::string filter = rpLoadStr(55211) + " (*.frp)|*.frp";
    for (const TrpExportFilterInfo& info : rpFilters)
        filter += "|" + info.FilterDesc + "|" + info.FilterExt;
    SaveDialog->Filter = filter;
    SaveDialog->FilterIndex = 1;
    if (!SaveDialog->Execute())
        return;
    const int index = SaveDialog->FilterIndex;
    if (index <= 1) {
        SaveToFile(SaveDialog->FileName);
        return;
    }
    if (index - 2 >= static_cast<int>(rpFilters.size()))
        return;
    const TrpExportFilterInfo& info = rpFilters[static_cast<std::size_t>(index - 2)];
    const std::string fileName = ChangeFileExt(SaveDialog->FileName, info.FilterExt.substr(1));
    WithSheetsHandedBack([this, &info, &fileName] { ConnectedReport->ExportTo(info.ClassRef, fileName); });
}

void TrpPreviewForm::SaveToFile(const std::string& fileName)
{
    if (!ConnectedReport)
        return;
    const std::string name = ChangeFileExt(fileName, ".frp");
    WithSheetsHandedBack([this, &name] { ConnectedReport->SavePreparedReport(name); });
}

void TrpPreviewForm::PrintBtnClick()
{
    if (!HeldPages || !ConnectedReport || Printer()->Printers()->Count() == 0)
        return;
    const int oldIndex = Printer()->PrinterIndex();
    rpView::TOwnedForm<TrpPrintForm> dialog(TForm::Create<TrpPrintForm>(nullptr));
    if (dialog->ShowModal() != mrOk)
        return;
    const int newIndex = Printer()->PrinterIndex();
    if (newIndex != oldIndex && ConnectedReport->CanRebuild) {
        if (!ConnectedReport->ChangePrinter(oldIndex, newIndex))
            return;
        HeldPages.reset();
        ConnectedReport->PrepareReport();
        Connect(ConnectedReport);
    }
    std::string pages;
    if (dialog->RB2->Checked())
        pages = IntToStr(CurrentPage);
    else if (!dialog->RB1->Checked())
        pages = dialog->E2->GetText();
    // Read while the preview still holds its sheets: a copies text that is no number leaves
    // them shown.
    const int copies = StrToInt(dialog->E1->GetText());
    WithSheetsHandedBack([this, &pages, copies] { ConnectedReport->PrintPreparedReport(pages, copies); });
    RedrawAll();
}

void TrpPreviewForm::FindBtnClick()
{
    if (!ConnectedReport)
        return;
    rpView::TOwnedForm<TrpPreviewSearchForm> dialog(TForm::Create<TrpPreviewSearchForm>(nullptr));
    if (dialog->ShowModal() != mrOk)
        return;
    SearchText = dialog->Edit1->GetText();
    FindNext(dialog->CB1->Checked(), dialog->RB1->Checked());
}

void TrpPreviewForm::HelpBtnClick()
{
    Screen->SetCursor(crHelp);
    SetCapture(Handle());
    FHelpMode = true;
    HelpBtn->Invalidate();
}

void TrpPreviewForm::HelpModePress(TPoint point)
{
    FHelpMode = false;
    ReleaseCapture();
    Screen->SetCursor(crDefault);
    TControl* control = rpControlAtPos(this, point);
    if (control && control != HelpBtn)
        Application->HelpCommand(HELP_CONTEXTPOPUP, control->Tag);
}

void TrpPreviewForm::ExitBtnClick()
{
    if (ConnectedReport && ConnectedReport->ModalPreview && Modal())
        SetModalResult(mrOk);
    else
        Close();
}

void TrpPreviewForm::EditBtnClick()
{
    // Editing a prepared sheet needs a report designer, which this program has not.
    if (!ConnectedReport || !HeldPages || !ConnectedReport->ModifyPrepared)
        return;
    WithSheetsHandedBack([] {});
    RedrawAll();
}

// --- Search

bool TrpPreviewForm::FindNext(bool matchCase, bool fromStart)
{
    if (!ConnectedReport || !HeldPages)
        return false;
    if (!matchCase)
        SearchText = AnsiUpperCase(SearchText);
    MatchCase = matchCase;
    if (fromStart) {
        SearchPage = 0;
        SearchRecord = 0;
    } else if (CurrentPage != SearchPage + 1) {
        SearchPage = CurrentPage - 1;
        SearchRecord = 0;
    }
    FindText();
    return MatchFound;
}

void TrpPreviewForm::FindText()
{
    PaintEnabled = false;
    MatchFound = false;
    for (int i = std::max(SearchPage, 0); HeldPages && i < HeldPages->Count(); ++i) {
        TrpPageInfo* page = HeldPages->Pages(i);
        const int width = page->PrinterInfo.PaperWidthPx, height = page->PrinterInfo.PaperHeightPx;
        TMetafile metafile;
        metafile.SetWidth(width);
        metafile.SetHeight(height);
        {
            TMetafileCanvas canvas(&metafile, nullptr);
            page->Visible = true;
            HeldPages->Draw(i, &canvas, Rect(0, 0, width, height));
        }
        FindInEMF(&metafile);
        if (MatchFound) {
            SearchPage = i;
            CurrentPage = i + 1;
            ShowPageNum();
            VScrollBar->SetPosition(static_cast<int>(Round(MatchRect.Top * Scale)) + page->Bounds.Top - 10);
            HScrollBar->SetPosition(static_cast<int>(Round(MatchRect.Left * Scale)) + page->Bounds.Left - 10);
            // A hit low on the last sheet cannot scroll to its top, and the scroll would name an
            // earlier sheet current: the next search would then find this hit again and again.
            CurrentPage = i + 1;
            ShowPageNum();
            SearchRecord = rpView::RecordCounter;
            break;
        }
        page->Visible = false;
        HeldPages->Draw(i, PageBox->Canvas(), TRect());
        SearchRecord = 0;
        SearchPage = i + 1;
    }
    PaintEnabled = true;
}

void TrpPreviewForm::FindInEMF(TMetafile* metafile)
{
    rpView::RecordCounter = 0;
    EnumEnhMetaFile(
        nullptr, metafile->Handle(),
        [this](HDC, const TEmrRecord& record, int, LPARAM) { return TextRecordCallback(record) ? 1 : 0; }, 0,
        nullptr);
}

bool TrpPreviewForm::TextRecordCallback(const TEmrRecord& record)
{
    bool hit = false;
    const DWORD type = EmrRecordType(record);
    if ((type == EMR_EXTTEXTOUTA || type == EMR_EXTTEXTOUTW) && !SearchText.empty()) {
        std::string text = Utf16ToAnsi(EmrRecordText(record));
        if (!MatchCase)
            text = AnsiUpperCase(text);
        if (text.find(SearchText) != std::string::npos && rpView::RecordCounter >= SearchRecord) {
            MatchRect = EmrRecordBounds(record);
            MatchFound = true;
            hit = true;
        }
    }
    ++rpView::RecordCounter;
    return !hit;
}

// --- Preview control

TrpPreview::TrpPreview(TComponent* AOwner) : TPanel(AOwner), PreviewForm(TForm::Create<TrpPreviewForm>(nullptr))
{
    SetBevelInner(bvNone);
    SetBevelOuter(bvLowered);
    SetScrollBars(ssBoth);
}

TrpPreview::~TrpPreview()
{
    // The window owns the page area this control shows.
    TComponent::Free(PreviewForm);
}

void TrpPreview::SetScrollBars(TScrollStyle value)
{
    FScrollBars = value;
    PreviewForm->RPanel->SetVisible(value == ssVertical || value == ssBoth);
    PreviewForm->BPanel->SetVisible(value == ssHorizontal || value == ssBoth);
}

void TrpPreview::Dispatch(TMessage& Message)
{
    TPanel::Dispatch(Message);
    if (Message.Msg == WM_WINDOWPOSCHANGED && PreviewForm->PreviewPanel->Parent() == this)
        PreviewForm->FormResize();
}

bool TrpPreview::HasPages() const { return PreviewForm->HeldPages != nullptr; }

void TrpPreview::Connect(TrpReport* report)
{
    PreviewForm->PreviewPanel->SetParent(this);
    PreviewForm->Connect(report);
    SetPage(1);
    PreviewForm->RedrawAll();
}

int TrpPreview::GetPage() const { return PreviewForm->CurrentPage; }

void TrpPreview::SetPage(int page)
{
    if (page < 1 || page > GetAllPages())
        return;
    PreviewForm->CurrentPage = page;
    PreviewForm->SetToCurPage();
    PreviewForm->ShowPageNum();
}

int TrpPreview::GetAllPages() const { return HasPages() ? PreviewForm->HeldPages->Count() : 0; }

double TrpPreview::GetZoom() const { return PreviewForm->Scale * 100; }

void TrpPreview::SetZoom(double percent)
{
    if (!HasPages())
        return;
    PreviewForm->Scale = percent / 100;
    SetScaleMode(mdNone);
}

void TrpPreview::SetScaleMode(TrpScaleMode mode)
{
    if (!HasPages())
        return;
    PreviewForm->ScaleMode = mode;
    PreviewForm->FormResize();
    PreviewForm->PageBox->Repaint();
}

void TrpPreview::PageWidth() { SetScaleMode(mdPageWidth); }
void TrpPreview::OnePage() { SetScaleMode(mdOnePage); }
void TrpPreview::TwoPages() { SetScaleMode(mdTwoPages); }
void TrpPreview::First() { SetPage(1); }
void TrpPreview::Next() { SetPage(GetPage() + 1); }
void TrpPreview::Prev() { SetPage(GetPage() - 1); }
void TrpPreview::Last() { SetPage(GetAllPages()); }
void TrpPreview::LoadFromFile() { PreviewForm->LoadBtnClick(); }
void TrpPreview::SaveToFile() { PreviewForm->SaveBtnClick(); }
void TrpPreview::Print() { PreviewForm->PrintBtnClick(); }
void TrpPreview::Find() { PreviewForm->FindBtnClick(); }
void TrpPreview::Edit() { PreviewForm->EditBtnClick(); }

bool TrpPreview::FindString(const std::string& text, bool matchCase, bool fromStart)
{
    PreviewForm->SearchText = text;
    return PreviewForm->FindNext(matchCase, fromStart);
}

TScrollBar* TrpPreview::GetHorizontalScrollBar() const { return PreviewForm->HScrollBar; }
TScrollBar* TrpPreview::GetVerticalScrollBar() const { return PreviewForm->VScrollBar; }
