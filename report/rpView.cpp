#include "report/rpView.h"

#include "report/rpEngine.h"
#include "report/rpPages.h"
#include "report/rpReport.h"
#include "report/rpResources.h"
#include "report/rpStreams.h"

#include "platform/gui/Menus.h"
#include "platform/gui/Regions.h"
#include "platform/rtl/FormatSettings.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_set>

namespace rpView {
namespace {

constexpr int GeometryBlockSize = 30;
constexpr std::uint8_t AddInType = 10;
constexpr int MaxUniqueNumber = 10000;

std::int32_t ClampToInt32(double value)
{
    if (!(value == value))
        return 0;
    if (value <= std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    if (value >= std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(Round(value));
}

// Whole widths up to 10 are stored as they are; every other width as thousandths, so that a
// whole width above 10 is not read back as thousandths.
std::int32_t EncodeFrameWidth(float width)
{
    const double w = width;
    if (std::isfinite(w) && w == std::trunc(w) && w <= 10)
        return ClampToInt32(w);
    return ClampToInt32(w * 1000);
}

float DecodeFrameWidth(std::int32_t code)
{
    if (code <= 10)
        return static_cast<float>(code);
    return static_cast<float>(code / 1000.0);
}

void PutInt32(char* at, std::int32_t value) { std::memcpy(at, &value, 4); }
void PutUInt16(char* at, std::uint16_t value) { std::memcpy(at, &value, 2); }

std::int32_t GetInt32(const char* at)
{
    std::int32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

std::uint16_t GetUInt16(const char* at)
{
    std::uint16_t value;
    std::memcpy(&value, at, 2);
    return value;
}

TPenStyle PenStyleOf(std::uint16_t frameStyle)
{
    return frameStyle <= psDashDotDot ? static_cast<TPenStyle>(frameStyle) : psSolid;
}

} // namespace
} // namespace rpView

TrpView::TrpView()
    : Memo(std::make_unique<TStringList>()), WorkMemo(std::make_unique<TStringList>()),
      Script(std::make_unique<TStringList>())
{
    Format = (2u << 8) | static_cast<unsigned char>(FormatSettings().DecimalSeparator);
    ID = rpObjectCounter++;
}

TrpView::~TrpView()
{
    if (CurView == this)
        CurView = nullptr;
}

void TrpView::Assign(TrpView* from)
{
    Name = from->Name;
    ObjectType = from->ObjectType;
    Selected = from->Selected;
    Left = from->Left;
    Top = from->Top;
    Width = from->Width;
    Height = from->Height;
    Flags = from->Flags;
    FrameTyp = from->FrameTyp;
    FrameWidth = from->FrameWidth;
    FrameColor = from->FrameColor;
    FrameStyle = from->FrameStyle;
    FillColor = from->FillColor;
    Format = from->Format;
    FormatText = from->FormatText;
    Visible = from->Visible;
    Memo->Assign(from->Memo.get());
    Script->Assign(from->Script.get());
}

void TrpView::SetBounds(int left, int top, int width, int height)
{
    Left = left;
    Top = top;
    Width = width;
    Height = height;
}

void TrpView::BeginDraw(TCanvas* canvas)
{
    Canvas = canvas;
    CurView = this;
}

// Summed as reals: a damaged record's position plus its size may pass the integer range.
int TrpView::ScaledRight() const
{
    return static_cast<int>(Round((static_cast<double>(SavedLeft) + SavedWidth) * ScaleX + OriginX));
}

int TrpView::ScaledBottom() const
{
    return static_cast<int>(Round((static_cast<double>(SavedTop) + SavedHeight) * ScaleY + OriginY));
}

void TrpView::CalcGaps()
{
    SavedLeft = Left;
    SavedTop = Top;
    SavedWidth = Width;
    SavedHeight = Height;
    SavedFrameWidth = FrameWidth;
    if (DocMode == dmDesigning) {
        ScaleX = ScaleY = 1.0;
        OriginX = OriginY = 0;
    }
    Left = static_cast<int>(Round(Left * ScaleX)) + OriginX;
    Top = static_cast<int>(Round(Top * ScaleY)) + OriginY;
    Width = static_cast<int>(Round(Width * ScaleX));
    Height = static_cast<int>(Round(Height * ScaleY));

    const double w = SavedFrameWidth;
    const int bx = static_cast<int>(Round((w * ScaleX - 1) / 2));
    const int bx1 = static_cast<int>(Round(w * ScaleX / 2));
    const int by = static_cast<int>(Round((w * ScaleY - 1) / 2));
    const int by1 = static_cast<int>(Round(w * ScaleY / 2));
    FrameWidth = static_cast<float>(w * ScaleX);
    GapX = bx1 + 2;
    GapY = by1 / 2 + 1;

    int right = ScaledRight(), bottom = ScaledBottom(), left = Left, top = Top;
    if (FrameTyp & rpFrameRight)
        right -= bx1;
    if (FrameTyp & rpFrameBottom)
        bottom -= by1;
    if (FrameTyp & rpFrameLeft)
        left += bx;
    if (FrameTyp & rpFrameTop)
        top += by;
    DrawRect = {left, top, right + 1, bottom + 1};
}

void TrpView::RestoreCoord()
{
    Left = SavedLeft;
    Top = SavedTop;
    Width = SavedWidth;
    Height = SavedHeight;
    FrameWidth = SavedFrameWidth;
}

void TrpView::ShowBackGround()
{
    if (DisableDrawing || (DocMode == dmPrinting && FillColor == clNone))
        return;
    TBrush* brush = Canvas->Brush();
    brush->SetBitmap(nullptr);
    brush->SetStyle(bsSolid);
    brush->SetColor(FillColor == clNone ? clWhite : FillColor);
    if (DocMode == dmDesigning)
        Canvas->FillRect(DrawRect);
    else
        Canvas->FillRect({Left, Top, ScaledRight(), ScaledBottom()});
}

void TrpView::ShowFrame()
{
    if (DisableDrawing || (DocMode == dmPrinting && (FrameTyp & rpFrameAll) == 0))
        return;
    TPen* pen = Canvas->Pen();
    Canvas->Brush()->SetStyle(bsClear);
    pen->SetStyle(psSolid);
    if (DocMode == dmDesigning && Width > 0 && Height > 0) {
        const int x = Left, y = Top, w = Width, h = Height;
        pen->SetColor(clBlack);
        pen->SetWidth(1);
        Canvas->MoveTo(x, y + 3);
        Canvas->LineTo(x, y);
        Canvas->LineTo(x + 4, y);
        Canvas->MoveTo(x, y + h - 3);
        Canvas->LineTo(x, y + h);
        Canvas->LineTo(x + 4, y + h);
        Canvas->MoveTo(x + w - 3, y);
        Canvas->LineTo(x + w, y);
        Canvas->LineTo(x + w, y + 4);
        Canvas->MoveTo(x + w - 3, y + h);
        Canvas->LineTo(x + w, y + h);
        Canvas->LineTo(x + w, y + h - 4);
    }
    pen->SetColor(FrameColor);
    pen->SetWidth(static_cast<int>(Round(FrameWidth)));
    if (FrameStyle != rpDoubleFrame)
        pen->SetStyle(rpView::PenStyleOf(FrameStyle));

    const int right = ScaledRight(), bottom = ScaledBottom();
    if ((FrameTyp & rpFrameAll) == rpFrameAll && FrameStyle == 0) {
        Canvas->Rectangle(Left, Top, right + 1, bottom + 1);
        return;
    }
    if (FrameTyp & rpFrameRight)
        DrawFrameLine(right, Top, right, bottom);
    if (FrameTyp & rpFrameLeft)
        DrawFrameLine(Left, Top, Left, bottom);
    if (FrameTyp & rpFrameBottom)
        DrawFrameLine(Left, bottom, right, bottom);
    if (FrameTyp & rpFrameTop)
        DrawFrameLine(Left, Top, right, Top);
}

void TrpView::DrawFrameLine(int x1, int y1, int x2, int y2)
{
    TPen* pen = Canvas->Pen();
    const bool vertical = x1 == x2;
    auto line = [&](int shift) {
        if (vertical) {
            Canvas->MoveTo(x1 + shift, y1);
            Canvas->LineTo(x2 + shift, y2);
        } else {
            Canvas->MoveTo(x1, y1 + shift);
            Canvas->LineTo(x2, y2 + shift);
        }
    };
    if (pen->Style() != psSolid) {
        // A patterned line of width p is drawn as p parallel lines, which keep the pattern.
        const int width = pen->Width();
        pen->SetWidth(1);
        Canvas->Brush()->SetColor(FillColor);
        for (int k = 0; k < width; ++k)
            line(k - width / 2);
        pen->SetWidth(width);
    } else if (FrameStyle == rpDoubleFrame) {
        const int d = static_cast<int>(Round(FrameWidth));
        line(-d);
        // The gap between the two lines shows the fill; a transparent fill leaves it alone.
        if (FillColor != clNone) {
            pen->SetColor(FillColor);
            line(0);
            pen->SetColor(FrameColor);
        }
        line(d);
    } else {
        line(0);
    }
}

HRGN TrpView::GetClipRgn(TrpRgnType rgnType)
{
    const double w = FrameWidth;
    int a, b;
    if (FrameStyle == rpDoubleFrame) {
        a = static_cast<int>(Round(w * 1.5));
        b = static_cast<int>(Round(w + (w - 1) / 2));
    } else {
        a = static_cast<int>(Round(w / 2));
        b = static_cast<int>(Round((w - 1) / 2));
    }
    const int left = (FrameTyp & rpFrameLeft) ? Left - a : Left;
    const int top = (FrameTyp & rpFrameTop) ? Top - a : Top;
    const int right = Left + Width + ((FrameTyp & rpFrameRight) ? b + 1 : 1);
    const int bottom = Top + Height + ((FrameTyp & rpFrameBottom) ? b + 1 : 1);
    if (rgnType == rtExtended)
        return CreateRectRgn(left - 10, top - 10, right + 10, bottom + 10);
    return CreateRectRgn(left, top, right, bottom);
}

void TrpView::GetBlob(TField*) {}

void TrpView::OnHook(TrpView*) {}

void TrpView::Resized() {}

void TrpView::Print(TStream& stream)
{
    BeginDraw(Canvas);
    WorkMemo->Assign(Memo.get());
    if (CurReport)
        CurReport->InternalOnEnterRect(WorkMemo.get(), this);
    rpDoScript(Script.get());
    if (!Visible)
        return;
    stream.WriteUInt8(ObjectType);
    if (ObjectType == rpView::AddInType)
        rpWriteString(stream, ClassName());
    SaveToStream(stream);
}

void TrpView::ExportData()
{
    if (CurReport)
        CurReport->InternalOnExportData(this);
}

void TrpView::WriteCommonPart(TStream& stream)
{
    using namespace rpView;
    char block[GeometryBlockSize];
    PutInt32(block, Left);
    PutInt32(block + 4, Top);
    PutInt32(block + 8, Width);
    PutInt32(block + 12, Height);
    PutUInt16(block + 16, Flags);
    PutUInt16(block + 18, FrameTyp);
    PutInt32(block + 20, EncodeFrameWidth(FrameWidth));
    PutInt32(block + 24, FrameColor);
    PutUInt16(block + 28, FrameStyle);
    stream.WriteBuffer(block, GeometryBlockSize);
    stream.WriteInt32(FillColor);
}

void TrpView::ReadCommonPart(TStream& stream)
{
    using namespace rpView;
    char block[GeometryBlockSize];
    stream.ReadBuffer(block, GeometryBlockSize);
    Left = GetInt32(block);
    Top = GetInt32(block + 4);
    Width = GetInt32(block + 8);
    Height = GetInt32(block + 12);
    Flags = GetUInt16(block + 16);
    FrameTyp = GetUInt16(block + 18);
    FrameWidth = DecodeFrameWidth(GetInt32(block + 20));
    FrameColor = GetInt32(block + 24);
    FrameStyle = GetUInt16(block + 28);
    FillColor = stream.ReadInt32();
}

void TrpView::SaveToStream(TStream& stream)
{
    if (StreamMode == smPrinting) {
        WriteCommonPart(stream);
        rpWriteMemo(stream, WorkMemo.get());
        return;
    }
    rpWriteString(stream, Name);
    WriteCommonPart(stream);
    stream.WriteUInt32(Format);
    rpWriteString(stream, FormatText);
    rpWriteMemo(stream, Memo.get());
    rpWriteMemo(stream, Script.get());
    stream.WriteInt16(Visible);
}

void TrpView::LoadFromStream(TStream& stream)
{
    using namespace rpView;
    if (StreamMode == smPrinting) {
        ReadCommonPart(stream);
        rpReadVersionMemo(stream, Memo.get(), rpVersion);
        return;
    }
    if (rpVersion >= 23)
        Name = rpReadString(stream);
    else
        CreateUniqueName();
    ReadCommonPart(stream);
    Format = stream.ReadUInt32();
    FormatText = rpReadVersionString(stream, rpVersion);
    rpReadVersionMemo(stream, Memo.get(), rpVersion);
    if (rpVersion > 22) {
        rpReadMemo(stream, Script.get());
        Visible = stream.ReadInt16();
    }
}

void TrpView::CreateUniqueName()
{
    Name.clear();
    std::unordered_set<std::string> taken;
    if (CurReport)
        for (int p = 0; p < CurReport->DesignPages->Count(); ++p)
            for (const auto& view : CurReport->DesignPages->Pages(p)->Objects)
                taken.insert(AnsiUpperCase(view->Name));
    for (int i = 1; i <= rpView::MaxUniqueNumber; ++i) {
        const std::string candidate = NamePrefix + IntToStr(i);
        if (!taken.count(AnsiUpperCase(candidate))) {
            Name = candidate;
            return;
        }
    }
}

void TrpView::SetCaptionFont()
{
    TFont* font = Canvas->Font();
    font->SetName("Arial");
    font->SetSize(8);
    font->SetColor(clBlack);
    font->SetStyle({});
    font->SetCharset(rpCharset);
}

void TrpView::AddSeparator(TPopupMenu* menu)
{
    auto* item = new TMenuItem(menu);
    item->SetCaption("-");
    menu->Items()->Add(item);
}

TMenuItem* TrpView::AddFlagItem(TPopupMenu* menu, int captionId, std::uint16_t bit, bool selectedObjects)
{
    auto* item = new TMenuItem(menu);
    item->SetCaption(rpLoadStr(captionId));
    item->SetChecked((Flags & bit) != 0);
    item->OnClick = [this, bit, selectedObjects](TObject* sender) {
        auto* clicked = static_cast<TMenuItem*>(sender);
        clicked->SetChecked(!clicked->Checked());
        const bool on = clicked->Checked();
        auto apply = [bit, on](TrpView* view) {
            view->Flags = on ? (view->Flags | bit) : (view->Flags & ~bit);
        };
        if (rpDesigner)
            rpDesigner->BeforeChange();
        if (selectedObjects && rpDesigner && rpDesigner->Page) {
            for (const auto& view : rpDesigner->Page->Objects)
                if (view->Selected)
                    apply(view.get());
        } else {
            apply(this);
        }
        if (rpDesigner)
            rpDesigner->AfterChange();
    };
    menu->Items()->Add(item);
    return item;
}

void TrpView::DefinePopupMenu(TPopupMenu* menu)
{
    AddSeparator(menu);
    AddFlagItem(menu, 55190, 1);
}

void TrpObjEditorForm::ShowEditor(TrpView*) {}

TrpFunctionLibrary::TrpFunctionLibrary() : List(std::make_unique<TStringList>()) { List->SetSorted(true); }

TrpFunctionLibrary::~TrpFunctionLibrary() = default;

bool TrpFunctionLibrary::OnFunction(const std::string& name, const Variant& p1, const Variant& p2,
                                    const Variant& p3, std::string& val)
{
    int index = 0;
    if (!List->Find(name, index))
        return false;
    DoFunction(index, p1, p2, p3, val);
    return true;
}
