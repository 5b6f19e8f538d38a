#include "report/rpMemoView.h"

#include "report/RP_Utils.h"
#include "report/rpEngine.h"
#include "report/rpPages.h"
#include "report/rpResources.h"
#include "report/rpStreams.h"

#include "platform/db/Field.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Streams.h"

namespace rpMemoView {
namespace {

constexpr std::uint16_t WordWrapBit = 2, WordBreakBit = 4, AutoWidthBit = 8;

} // namespace
} // namespace rpMemoView

TrpMemoView::TrpMemoView() : Font(std::make_unique<TFont>())
{
    NamePrefix = "Memo";
    ObjectType = 0;
    Flags = 3;
    Font->SetName("Arial");
    Font->SetSize(10);
    Font->SetColor(clBlack);
    Font->SetCharset(rpCharset);
}

TrpMemoView::~TrpMemoView() = default;

void TrpMemoView::SetFont(TFont* font) { Font->Assign(font); }

void TrpMemoView::Assign(TrpView* from)
{
    TrpView::Assign(from);
    auto* memo = dynamic_cast<TrpMemoView*>(from);
    if (!memo)
        return;
    SetFont(memo->Font.get());
    Adjust = memo->Adjust;
    Highlight = memo->Highlight;
    HighlightCondition = memo->HighlightCondition;
    LineSpacing = memo->LineSpacing;
}

void TrpMemoView::SaveToStream(TStream& stream)
{
    TrpView::SaveToStream(stream);
    rpWriteString(stream, Font->Name());
    stream.WriteInt32(Font->Size());
    stream.WriteUInt16(static_cast<std::uint16_t>(rpGetFontStyle(Font->Style())));
    stream.WriteInt32(Font->Color());
    stream.WriteInt32(Adjust);
    stream.WriteUInt16(Font->Charset());
    if (StreamMode == smPrinting)
        return;
    stream.WriteUInt16(Highlight.FontStyle);
    stream.WriteInt32(Highlight.FontColor);
    stream.WriteInt32(Highlight.FillColor);
    rpWriteString(stream, HighlightCondition);
}

void TrpMemoView::LoadFromStream(TStream& stream)
{
    TrpView::LoadFromStream(stream);
    Font->SetName(rpReadVersionString(stream, rpVersion));
    Font->SetSize(stream.ReadInt32());
    Font->SetStyle(rpSetFontStyle(stream.ReadUInt16()));
    Font->SetColor(stream.ReadInt32());
    Adjust = stream.ReadInt32();
    const std::uint16_t charset = stream.ReadUInt16();
    Font->SetCharset(rpVersion < 23 ? rpCharset : static_cast<TFontCharset>(charset & 0xFF));
    if (rpVersion == 21)
        Flags |= rpMemoView::WordWrapBit;
    if (StreamMode == smPrinting)
        return;
    Highlight.FontStyle = stream.ReadUInt16();
    Highlight.FontColor = stream.ReadInt32();
    Highlight.FillColor = stream.ReadInt32();
    HighlightCondition = rpReadVersionString(stream, rpVersion);
}

// Expanding, wrapping, measuring and drawing the text come with the building pass; until then a
// text object draws nothing and keeps its designed height.
void TrpMemoView::Draw(TCanvas* canvas) { BeginDraw(canvas); }

int TrpMemoView::CalcHeight() { return Height; }

int TrpMemoView::MinHeight() { return Height; }

int TrpMemoView::RemainHeight() { return Height; }

void TrpMemoView::GetBlob(TField* field) { WorkMemo->SetText(field->AsString()); }

void TrpMemoView::DefinePopupMenu(TPopupMenu* menu)
{
    using namespace rpMemoView;
    // The format window comes with the preview's dialogs; its entry does nothing until then.
    auto* format = new TMenuItem(menu);
    format->SetCaption(rpLoadStr(55334));
    menu->Items()->Add(format);
    auto* font = new TMenuItem(menu);
    font->SetCaption(rpLoadStr(55335));
    font->OnClick = [this](TObject*) { ChooseFont(); };
    menu->Items()->Add(font);

    TrpView::DefinePopupMenu(menu);
    AddFlagItem(menu, 55191, WordWrapBit);
    const std::string wordBreak = rpLoadStr(55192);
    if (!wordBreak.empty())
        AddFlagItem(menu, 55192, WordBreakBit)->SetEnabled((Flags & WordWrapBit) != 0);
    AddFlagItem(menu, 55193, AutoWidthBit);
}

void TrpMemoView::ChooseFont()
{
    TFontDialog dialog(nullptr);
    dialog.SetFont(Font.get());
    if (!dialog.Execute())
        return;
    // Only what the person changed reaches the selected texts; this one comes last, since the
    // changes are found against its font.
    const TFont& chosen = *dialog.Font();
    auto apply = [&](TrpMemoView* memo) {
        if (chosen.Name() != Font->Name())
            memo->Font->SetName(chosen.Name());
        if (chosen.Size() != Font->Size())
            memo->Font->SetSize(chosen.Size());
        if (chosen.Color() != Font->Color())
            memo->Font->SetColor(chosen.Color());
        if (!(chosen.Style() == Font->Style()))
            memo->Font->SetStyle(chosen.Style());
        if (chosen.Charset() != Font->Charset())
            memo->Font->SetCharset(chosen.Charset());
    };
    if (rpDesigner)
        rpDesigner->BeforeChange();
    if (rpDesigner && rpDesigner->Page) {
        for (const auto& view : rpDesigner->Page->Objects)
            if (auto* memo = dynamic_cast<TrpMemoView*>(view.get()); memo && memo != this && memo->Selected)
                apply(memo);
    }
    apply(this);
    if (rpDesigner)
        rpDesigner->AfterChange();
}
