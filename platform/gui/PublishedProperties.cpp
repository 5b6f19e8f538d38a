#include "platform/gui/PublishedProperties.h"

#include "platform/gui/Label.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/gui/ScrollBar.h"

#include <mutex>

namespace {

using PublishedPropertiesOrd = std::int64_t;

PTypeInfo PublishedColorType() { return IntegerTypeInfo("TColor"); }
PTypeInfo PublishedAlignmentType()
{
    return EnumTypeInfo("TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"});
}
PTypeInfo PublishedBevelType() { return EnumTypeInfo("TBevelCut", {"bvNone", "bvLowered", "bvRaised", "bvSpace"}); }

template <class C>
TPropInfo PublishedBool(const std::string& name, bool (C::*get)() const, void (C::*set)(bool))
{
    return OrdProp<C>(
        name, TypeInfoBoolean(), [get](C& c) -> PublishedPropertiesOrd { return (c.*get)() ? 1 : 0; },
        [set](C& c, PublishedPropertiesOrd v) { (c.*set)(v != 0); });
}

template <class C>
TPropInfo PublishedInt(const std::string& name, PTypeInfo type, int (C::*get)() const, void (C::*set)(int))
{
    return OrdProp<C>(
        name, type, [get](C& c) -> PublishedPropertiesOrd { return (c.*get)(); },
        [set](C& c, PublishedPropertiesOrd v) { (c.*set)(static_cast<int>(v)); });
}

template <class C>
TPropInfo PublishedCaption(const std::string& name)
{
    return StrProp<C>(
        name, [](C& c) { return c.GetText(); }, [](C& c, const std::string& v) { c.SetText(v); });
}

void RegisterControlProperties()
{
    RegisterPropInfos(
        "TControl", "",
        {PublishedInt<TControl>("Left", TypeInfoInteger(), &TControl::Left, &TControl::SetLeft),
         PublishedInt<TControl>("Top", TypeInfoInteger(), &TControl::Top, &TControl::SetTop),
         PublishedInt<TControl>("Width", TypeInfoInteger(), &TControl::Width, &TControl::SetWidth),
         PublishedInt<TControl>("Height", TypeInfoInteger(), &TControl::Height, &TControl::SetHeight),
         OrdProp<TControl>(
             "Align", TypeInfoTAlign(), [](TControl& c) -> PublishedPropertiesOrd { return c.Align(); },
             [](TControl& c, PublishedPropertiesOrd v) { c.SetAlign(static_cast<TAlign>(v)); }),
         OrdProp<TControl>(
             "Anchors", TypeInfoTAnchors(),
             [](TControl& c) { return static_cast<PublishedPropertiesOrd>(c.Anchors().Bits()); },
             [](TControl& c, PublishedPropertiesOrd v) { c.SetAnchors(TAnchors::FromBits(v & 0xF)); }),
         PublishedBool<TControl>("Visible", &TControl::Visible, &TControl::SetVisible),
         PublishedBool<TControl>("Enabled", &TControl::Enabled, &TControl::SetEnabled),
         PublishedInt<TControl>("Color", PublishedColorType(), &TControl::Color, &TControl::SetColor),
         ObjectProp<TControl>(
             "Font", "TFont", [](TControl& c) -> TObject* { return c.Font(); },
             [](TControl& c, TObject* v) {
                 auto* font = dynamic_cast<TFont*>(v);
                 if (!font)
                     TypInfoDetail::RaiseInvalidProperty();
                 c.SetFont(font);
             }),
         PublishedBool<TControl>("ParentFont", &TControl::ParentFont, &TControl::SetParentFont),
         PublishedBool<TControl>("ParentColor", &TControl::ParentColor, &TControl::SetParentColor),
         StrProp<TControl>(
             "Hint", [](TControl& c) { return c.Hint(); }, [](TControl& c, const std::string& v) { c.SetHint(v); }),
         PublishedBool<TControl>("ShowHint", &TControl::ShowHint, &TControl::SetShowHint),
         PublishedBool<TControl>("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint),
         PublishedInt<TControl>("Cursor", IntegerTypeInfo("TCursor"), &TControl::Cursor, &TControl::SetCursor),
         OrdProp<TControl>(
             "Tag", TypeInfoInteger(), [](TControl& c) -> PublishedPropertiesOrd { return c.Tag; },
             [](TControl& c, PublishedPropertiesOrd v) { c.Tag = static_cast<std::intptr_t>(v); })});

    RegisterPropInfos("TWinControl", "TControl",
                      {PublishedBool<TWinControl>("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop),
                       PublishedInt<TWinControl>("TabOrder", IntegerTypeInfo("TTabOrder"), &TWinControl::TabOrder,
                                                 &TWinControl::SetTabOrder)});
}

void RegisterFontProperties()
{
    RegisterPropInfos(
        "TFont", "",
        {OrdProp<TFont>(
             "Charset", IntegerTypeInfo("TFontCharset"),
             [](TFont& f) -> PublishedPropertiesOrd { return f.Charset(); },
             [](TFont& f, PublishedPropertiesOrd v) { f.SetCharset(static_cast<TFontCharset>(v)); }),
         PublishedInt<TFont>("Color", PublishedColorType(), &TFont::Color, &TFont::SetColor),
         PublishedInt<TFont>("Height", TypeInfoInteger(), &TFont::Height, &TFont::SetHeight),
         StrProp<TFont>(
             "Name", [](TFont& f) { return f.Name(); }, [](TFont& f, const std::string& v) { f.SetName(v); }),
         OrdProp<TFont>(
             "Pitch", EnumTypeInfo("TFontPitch", {"fpDefault", "fpVariable", "fpFixed"}),
             [](TFont& f) -> PublishedPropertiesOrd { return f.Pitch(); },
             [](TFont& f, PublishedPropertiesOrd v) { f.SetPitch(static_cast<TFontPitch>(v)); }),
         PublishedInt<TFont>("Size", TypeInfoInteger(), &TFont::Size, &TFont::SetSize),
         OrdProp<TFont>(
             "Style", TypeInfoTFontStyles(),
             [](TFont& f) { return static_cast<PublishedPropertiesOrd>(f.Style().Bits()); },
             [](TFont& f, PublishedPropertiesOrd v) { f.SetStyle(TFontStyles::FromBits(v & 0xF)); })});
}

void RegisterStandardControlProperties()
{
    RegisterPropInfos(
        "TCustomPanel", "TWinControl",
        {OrdProp<TCustomPanel>(
             "Alignment", PublishedAlignmentType(),
             [](TCustomPanel& p) -> PublishedPropertiesOrd { return p.Alignment(); },
             [](TCustomPanel& p, PublishedPropertiesOrd v) { p.SetAlignment(static_cast<TAlignment>(v)); }),
         OrdProp<TCustomPanel>(
             "BevelInner", PublishedBevelType(),
             [](TCustomPanel& p) -> PublishedPropertiesOrd { return p.BevelInner(); },
             [](TCustomPanel& p, PublishedPropertiesOrd v) { p.SetBevelInner(static_cast<TPanelBevel>(v)); }),
         OrdProp<TCustomPanel>(
             "BevelOuter", PublishedBevelType(),
             [](TCustomPanel& p) -> PublishedPropertiesOrd { return p.BevelOuter(); },
             [](TCustomPanel& p, PublishedPropertiesOrd v) { p.SetBevelOuter(static_cast<TPanelBevel>(v)); }),
         PublishedInt<TCustomPanel>("BevelWidth", IntegerTypeInfo("TBevelWidth"), &TCustomPanel::BevelWidth,
                                    &TCustomPanel::SetBevelWidth),
         PublishedInt<TCustomPanel>("BorderWidth", IntegerTypeInfo("TBorderWidth"), &TCustomPanel::BorderWidth,
                                    &TCustomPanel::SetBorderWidth),
         PublishedCaption<TCustomPanel>("Caption")});

    RegisterPropInfos("TCustomEdit", "TWinControl",
                      {PublishedCaption<TCustomEdit>("Text"),
                       PublishedInt<TCustomEdit>("MaxLength", TypeInfoInteger(), &TCustomEdit::MaxLength,
                                                 &TCustomEdit::SetMaxLength),
                       PublishedBool<TCustomEdit>("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly)});

    RegisterPropInfos("TCustomMemo", "TCustomEdit",
                      {ObjectProp<TCustomMemo>(
                          "Lines", "TStrings", [](TCustomMemo& m) -> TObject* { return m.Lines(); },
                          [](TCustomMemo& m, TObject* v) {
                              auto* lines = dynamic_cast<TStrings*>(v);
                              if (!lines)
                                  TypInfoDetail::RaiseInvalidProperty();
                              m.SetLines(lines);
                          })});

    RegisterPropInfos("TCustomLabel", "TControl",
                      {PublishedCaption<TCustomLabel>("Caption"),
                       ObjectProp<TCustomLabel>(
                           "FocusControl", "TWinControl",
                           [](TCustomLabel& l) -> TObject* { return l.FocusControl(); },
                           [](TCustomLabel& l, TObject* v) {
                               auto* control = dynamic_cast<TWinControl*>(v);
                               if (v && !control)
                                   TypInfoDetail::RaiseInvalidProperty();
                               l.SetFocusControl(control);
                           })});

    RegisterPropInfos(
        "TProgressBar", "TWinControl",
        {PublishedInt<TProgressBar>("Max", TypeInfoInteger(), &TProgressBar::Max, &TProgressBar::SetMax),
         PublishedInt<TProgressBar>("Min", TypeInfoInteger(), &TProgressBar::Min, &TProgressBar::SetMin),
         PublishedInt<TProgressBar>("Position", TypeInfoInteger(), &TProgressBar::Position,
                                    &TProgressBar::SetPosition)});

    // Collections publish nothing of their own; they are listed so that their descendants'
    // properties follow the class library's chain.
    RegisterPropInfos("TCollection", "", {});
    RegisterPropInfos("TCollectionItem", "", {});
}

} // namespace

PTypeInfo TypeInfoTAlign()
{
    return EnumTypeInfo("TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"});
}

PTypeInfo TypeInfoTAnchors()
{
    return SetTypeInfo("TAnchors", EnumTypeInfo("TAnchorKind", {"akLeft", "akTop", "akRight", "akBottom"}));
}

PTypeInfo TypeInfoTFontStyles()
{
    return SetTypeInfo("TFontStyles",
                       EnumTypeInfo("TFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}));
}

void RegisterPublishedProperties()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterControlProperties();
        RegisterFontProperties();
        RegisterStandardControlProperties();
    });
}
