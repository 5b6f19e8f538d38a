#include "report/Interpretator.h"

#include "report/RP_Utils.h"
#include "report/rpBand.h"
#include "report/rpEngine.h"
#include "report/rpMemoView.h"
#include "report/rpPages.h"

#include "platform/rtl/TextUtils.h"

#include <array>

namespace Interpretator {
namespace {

enum TProperty {
    prLeft, prTop, prWidth, prHeight, prFlags, prVisible, prFrameTyp, prFrameWidth, prFrameColor, prFillColor,
    prText, prFontName, prFontSize, prFontStyle, prFontColor, prAdjust, prNone
};

const std::array<const char*, prNone> PropertyNames = {
    "Left", "Top", "Width", "Height", "Flags", "Visible", "FrameTyp", "FrameWidth", "FrameColor", "FillColor",
    "Text", "FontName", "FontSize", "FontStyle", "FontColor", "Adjust"};

struct TColorName {
    const char* Name;
    TColor Value;
};

const std::array<TColorName, 17> ColorNames = {{{"clWhite", 0xFFFFFF},   {"clBlack", 0},
                                                {"clMaroon", 0x80},      {"clGreen", 0x8000},
                                                {"clOlive", 0x8080},     {"clNavy", 0x800000},
                                                {"clPurple", 0x800080},  {"clTeal", 0x808000},
                                                {"clGray", 0x808080},    {"clSilver", 0xC0C0C0},
                                                {"clRed", 0xFF},         {"clLime", 0xFF00},
                                                {"clYellow", 0xFFFF},    {"clBlue", 0xFF0000},
                                                {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
                                                {"clTransparent", 0x1FFFFFFF}}};

TProperty PropertyOf(const std::string& name)
{
    for (std::size_t i = 0; i < PropertyNames.size(); ++i)
        if (AnsiSameText(name, PropertyNames[i]))
            return static_cast<TProperty>(i);
    return prNone;
}

bool ColorOf(const std::string& name, Variant& value)
{
    for (const TColorName& color : ColorNames) {
        if (AnsiSameText(name, color.Name)) {
            value = Variant(static_cast<int>(color.Value));
            return true;
        }
    }
    return false;
}

// The object a name speaks of and the property name: "Object.Property" looks the object up on
// the current page, a bare name is a property of the current object.
TrpView* SplitName(const std::string& name, std::string& property)
{
    const std::size_t point = name.find('.');
    if (point == std::string::npos) {
        property = name;
        return CurView;
    }
    property = name.substr(point + 1);
    const std::string objectName = name.substr(0, point);
    if (!CurPage)
        return nullptr;
    for (const std::unique_ptr<TrpView>& view : CurPage->RunObjects)
        if (AnsiSameText(view->Name, objectName))
            return view.get();
    return nullptr;
}

// The run-time band made from a band object.
TrpBand* RunTimeBand(TrpView* view)
{
    if (!CurPage)
        return nullptr;
    for (int type = 0; type < rpBandTypeCount; ++type)
        for (TrpBand* band = CurPage->Bands(static_cast<TrpBandType>(type)); band; band = band->NextBand)
            if (band->View == view)
                return band;
    return nullptr;
}

void AskReport(const std::string& name, Variant& value)
{
    if (rpParser && rpParser->OnGetValue)
        rpParser->OnGetValue(name, value);
}

Variant BandProperty(TrpBand* band, TProperty property)
{
    switch (property) {
    case prLeft:
        return Variant(band->Left);
    case prTop:
        return Variant(band->Top);
    case prWidth:
        return Variant(band->Width);
    case prHeight:
        return Variant(band->Height);
    case prVisible:
        return Variant(band->Visible);
    default:
        return Variant(0);
    }
}

void SetBandProperty(TrpBand* band, TProperty property, const Variant& value)
{
    switch (property) {
    case prLeft:
        band->Left = static_cast<int>(value);
        break;
    case prTop:
        band->Top = static_cast<int>(value);
        break;
    case prWidth:
        band->Width = static_cast<int>(value);
        break;
    case prHeight:
        band->Height = static_cast<int>(value);
        break;
    case prVisible:
        band->Visible = static_cast<bool>(value);
        break;
    default:
        break;
    }
}

std::string JoinedText(TStrings* lines)
{
    std::string text;
    for (int i = 0; i < lines->Count(); ++i)
        text += (i > 0 ? "\r\n" : "") + lines->Strings(i);
    return text;
}

Variant ViewProperty(TrpView* view, TProperty property)
{
    auto* memo = dynamic_cast<TrpMemoView*>(view);
    switch (property) {
    case prLeft:
        return Variant(view->Left);
    case prTop:
        return Variant(view->Top);
    case prWidth:
        return Variant(view->Width);
    case prHeight:
        return Variant(view->Height);
    case prFlags:
        return Variant(static_cast<int>(view->Flags));
    case prVisible:
        return Variant(view->Visible != 0);
    case prFrameTyp:
        return Variant(static_cast<int>(view->FrameTyp));
    case prFrameWidth:
        return Variant(static_cast<double>(view->FrameWidth));
    case prFrameColor:
        return Variant(static_cast<int>(view->FrameColor));
    case prFillColor:
        return Variant(static_cast<int>(view->FillColor));
    case prText:
        return Variant(JoinedText(view->Memo.get()));
    case prFontName:
        return Variant(memo->Font->Name());
    case prFontSize:
        return Variant(memo->Font->Size());
    case prFontStyle:
        return Variant(rpGetFontStyle(memo->Font->Style()));
    case prFontColor:
        return Variant(static_cast<int>(memo->Font->Color()));
    case prAdjust:
        return Variant(memo->Adjust);
    default:
        return Variant(0);
    }
}

void SetViewProperty(TrpView* view, TProperty property, const Variant& value)
{
    auto* memo = dynamic_cast<TrpMemoView*>(view);
    if (property >= prFontName && !memo)
        return;
    switch (property) {
    case prLeft:
        view->Left = static_cast<int>(value);
        break;
    case prTop:
        view->Top = static_cast<int>(value);
        break;
    case prWidth:
        view->Width = static_cast<int>(value);
        break;
    case prHeight:
        view->Height = static_cast<int>(value);
        break;
    case prFlags:
        view->Flags = static_cast<std::uint16_t>(static_cast<int>(value));
        break;
    case prVisible:
        view->Visible = static_cast<bool>(value) ? -1 : 0;
        break;
    case prFrameTyp:
        view->FrameTyp = static_cast<std::uint16_t>(static_cast<int>(value));
        break;
    case prFrameWidth:
        view->FrameWidth = static_cast<float>(static_cast<double>(value));
        break;
    case prFrameColor:
        view->FrameColor = static_cast<TColor>(static_cast<int>(value));
        break;
    case prFillColor:
        view->FillColor = static_cast<TColor>(static_cast<int>(value));
        break;
    case prText:
        view->Memo->SetText(VarToStr(value));
        break;
    case prFontName:
        memo->Font->SetName(VarToStr(value));
        break;
    case prFontSize:
        memo->Font->SetSize(static_cast<int>(value));
        break;
    case prFontStyle:
        memo->Font->SetStyle(rpSetFontStyle(static_cast<int>(value)));
        break;
    case prFontColor:
        memo->Font->SetColor(static_cast<TColor>(static_cast<int>(value)));
        break;
    case prAdjust:
        memo->Adjust = static_cast<int>(value);
        break;
    default:
        break;
    }
}

} // namespace
} // namespace Interpretator

void TInterpretator::GetValue(const std::string& Name, Variant& Value)
{
    using namespace Interpretator;
    Value = Variant(0);
    if (rpVariables && rpVariables->IndexOf(Name) >= 0) {
        Value = rpVariables->GetVariable(Name);
        return;
    }
    if (AnsiSameText(Name, "FREESPACE")) {
        Value = Variant(CurPage ? IntToStr(CurPage->BottomLimit - CurPage->CurrentY) : std::string("0"));
        return;
    }
    std::string propertyName;
    TrpView* view = SplitName(Name, propertyName);
    if (!view) {
        AskReport(Name, Value);
        return;
    }
    const TProperty property = PropertyOf(propertyName);
    if (property == prNone) {
        if (!ColorOf(propertyName, Value))
            AskReport(Name, Value);
        return;
    }
    if (view->ObjectType == 2) {
        TrpBand* band = RunTimeBand(view);
        Value = band ? BandProperty(band, property) : Variant(0);
        return;
    }
    if (property >= prFontName && !dynamic_cast<TrpMemoView*>(view)) {
        AskReport(Name, Value);
        return;
    }
    Value = ViewProperty(view, property);
}

void TInterpretator::SetValue(const std::string& Name, const Variant& Value)
{
    using namespace Interpretator;
    std::string propertyName;
    TrpView* view = SplitName(Name, propertyName);
    const TProperty property = PropertyOf(propertyName);
    if (property == prNone || !view) {
        if (rpVariables)
            rpVariables->SetVariable(Name, Value);
        return;
    }
    if (view->ObjectType == 2) {
        if (TrpBand* band = RunTimeBand(view))
            SetBandProperty(band, property, Value);
        return;
    }
    SetViewProperty(view, property, Value);
}

void TInterpretator::DoFunction(const std::string& Name, const Variant& p1, const Variant& p2, const Variant& p3,
                                std::string& Val)
{
    if (AnsiSameText(Name, "NEWPAGE") || AnsiSameText(Name, "NEWCOLUMN")) {
        Val = "0";
        if (CurBand) {
            if (AnsiSameText(Name, "NEWPAGE"))
                CurBand->NewPageRequested = true;
            else
                CurBand->NewColumnRequested = true;
        }
        return;
    }
    if (rpParser && rpParser->OnFunction)
        rpParser->OnFunction(Name, p1, p2, p3, Val);
}
