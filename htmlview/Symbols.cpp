#include "htmlview/Symbols.h"

namespace PaneUn2 {

// The 49 tags with an end symbol come first, then the 17 without one.
const std::array<TagEntry, TagCount> TagTable = {{
    {"HTML", Symb::HtmlSy, Symb::HtmlEndSy},
    {"TITLE", Symb::TitleSy, Symb::TitleEndSy},
    {"BODY", Symb::BodySy, Symb::BodyEndSy},
    {"HEAD", Symb::HeadSy, Symb::HeadEndSy},
    {"B", Symb::BSy, Symb::BEndSy},
    {"I", Symb::ISy, Symb::IEndSy},
    {"H", Symb::HeadingSy, Symb::HeadingEndSy},
    {"EM", Symb::EmSy, Symb::EmEndSy},
    {"STRONG", Symb::StrongSy, Symb::StrongEndSy},
    {"U", Symb::USy, Symb::UEndSy},
    {"CITE", Symb::CiteSy, Symb::CiteEndSy},
    {"VAR", Symb::VarSy, Symb::VarEndSy},
    {"TT", Symb::TTSy, Symb::TTEndSy},
    {"CODE", Symb::CodeSy, Symb::CodeEndSy},
    {"KBD", Symb::KbdSy, Symb::KbdEndSy},
    {"SAMP", Symb::SampSy, Symb::SampEndSy},
    {"OL", Symb::OLSy, Symb::OLEndSy},
    {"UL", Symb::ULSy, Symb::ULEndSy},
    {"DIR", Symb::DirSy, Symb::DirEndSy},
    {"MENU", Symb::MenuSy, Symb::MenuEndSy},
    {"DL", Symb::DLSy, Symb::DLEndSy},
    {"A", Symb::ASy, Symb::AEndSy},
    {"ADDRESS", Symb::AddressSy, Symb::AddressEndSy},
    {"BLOCKQUOTE", Symb::BlockQuoteSy, Symb::BlockQuoteEndSy},
    {"PRE", Symb::PreSy, Symb::PreEndSy},
    {"CENTER", Symb::Centersy, Symb::CenterEndSy},
    {"TABLE", Symb::TableSy, Symb::TableEndSy},
    {"TD", Symb::TDSy, Symb::TDEndSy},
    {"TH", Symb::THSy, Symb::THEndSy},
    {"CAPTION", Symb::CaptionSy, Symb::CaptionEndSy},
    {"FORM", Symb::FormSy, Symb::FormEndSy},
    {"TEXTAREA", Symb::TextAreaSy, Symb::TextAreaEndSy},
    {"SELECT", Symb::SelectSy, Symb::SelectEndSy},
    {"OPTION", Symb::OptionSy, Symb::OptionEndSy},
    {"FONT", Symb::FontSy, Symb::FontEndSy},
    {"SUB", Symb::SubSy, Symb::SubEndSy},
    {"SUP", Symb::SupSy, Symb::SupEndSy},
    {"BIG", Symb::BigSy, Symb::BigEndSy},
    {"SMALL", Symb::SmallSy, Symb::SmallEndSy},
    {"P", Symb::PSy, Symb::PEndSy},
    {"MAP", Symb::MapSy, Symb::MapEndSy},
    {"FRAMESET", Symb::FrameSetSy, Symb::FrameSetEndSy},
    {"NOFRAMES", Symb::NoFramesSy, Symb::NoFramesEndSy},
    {"SCRIPT", Symb::ScriptSy, Symb::ScriptEndSy},
    {"DIV", Symb::DivSy, Symb::DivEndSy},
    {"S", Symb::SSy, Symb::SEndSy},
    {"STRIKE", Symb::StrikeSy, Symb::StrikeEndSy},
    {"TR", Symb::TRSy, Symb::TREndSy},
    {"NOBR", Symb::NoBrSy, Symb::NoBrEndSy},
    {"LI", Symb::LISy, std::nullopt},
    {"BR", Symb::BRSy, std::nullopt},
    {"HR", Symb::HRSy, std::nullopt},
    {"DD", Symb::DDSy, std::nullopt},
    {"DT", Symb::DTSy, std::nullopt},
    {"IMG", Symb::ImageSy, std::nullopt},
    {"BASE", Symb::BaseSy, std::nullopt},
    {"BUTTON", Symb::ButtonSy, std::nullopt},
    {"INPUT", Symb::InputSy, std::nullopt},
    {"SELECTED", Symb::SelectedSy, std::nullopt},
    {"BASEFONT", Symb::BaseFontSy, std::nullopt},
    {"AREA", Symb::AreaSy, std::nullopt},
    {"FRAME", Symb::FrameSy, std::nullopt},
    {"BGSOUND", Symb::BgSoundSy, std::nullopt},
    {"WRAP", Symb::WrapSy, std::nullopt},
    {"META", Symb::MetaSy, std::nullopt},
    {"WBR", Symb::WbrSy, std::nullopt},
}};

// VALUE is listed twice; the look-up takes the first.
const std::array<AttributeEntry, AttributeCount> AttributeTable = {{
    {"HREF", Symb::HrefSy},
    {"NAME", Symb::NameSy},
    {"SRC", Symb::SrcSy},
    {"ALT", Symb::AltSy},
    {"ALIGN", Symb::AlignSy},
    {"TEXT", Symb::TextSy},
    {"BGCOLOR", Symb::BGColorSy},
    {"LINK", Symb::LinkSy},
    {"BACKGROUND", Symb::BackgroundSy},
    {"COLSPAN", Symb::ColSpanSy},
    {"ROWSPAN", Symb::RowSpanSy},
    {"BORDER", Symb::BorderSy},
    {"CELLPADDING", Symb::CellPaddingSy},
    {"CELLSPACING", Symb::CellSpacingSy},
    {"VALIGN", Symb::VAlignSy},
    {"WIDTH", Symb::WidthSy},
    {"START", Symb::StartSy},
    {"VALUE", Symb::ValueSy},
    {"TYPE", Symb::TypeSy},
    {"CHECKBOX", Symb::CheckBoxSy},
    {"RADIO", Symb::RadioSy},
    {"METHOD", Symb::MethodSy},
    {"ACTION", Symb::ActionSy},
    {"CHECKED", Symb::CheckedSy},
    {"SIZE", Symb::SizeSy},
    {"MAXLENGTH", Symb::MaxLengthSy},
    {"COLS", Symb::ColsSy},
    {"ROWS", Symb::RowsSy},
    {"MULTIPLE", Symb::MultipleSy},
    {"VALUE", Symb::ValueSy},
    {"SELECTED", Symb::SelectedSy},
    {"FACE", Symb::FaceSy},
    {"COLOR", Symb::ColorSy},
    {"TRANSP", Symb::TranspSy},
    {"CLEAR", Symb::ClearSy},
    {"ISMAP", Symb::IsMapSy},
    {"BORDERCOLOR", Symb::BorderColorSy},
    {"USEMAP", Symb::UseMapSy},
    {"SHAPE", Symb::ShapeSy},
    {"COORDS", Symb::CoordsSy},
    {"NOHREF", Symb::NoHrefSy},
    {"HEIGHT", Symb::HeightSy},
    {"PLAIN", Symb::PlainSy},
    {"TARGET", Symb::TargetSy},
    {"NORESIZE", Symb::NoResizeSy},
    {"SCROLLING", Symb::ScrollingSy},
    {"HSPACE", Symb::HSpaceSy},
    {"LANGUAGE", Symb::LanguageSy},
    {"FRAMEBORDER", Symb::FrameBorderSy},
    {"MARGINWIDTH", Symb::MarginWidthSy},
    {"MARGINHEIGHT", Symb::MarginHeightSy},
    {"LOOP", Symb::LoopSy},
    {"ONCLICK", Symb::OnClickSy},
    {"WRAP", Symb::WrapSy},
    {"NOSHADE", Symb::NoShadeSy},
    {"HTTP-EQUIV", Symb::HttpEqSy},
    {"CONTENT", Symb::ContentSy},
    {"ENCTYPE", Symb::EncTypeSy},
    {"VLINK", Symb::VLinkSy},
    {"OLINK", Symb::OLinkSy},
    {"ACTIVE", Symb::ActiveSy},
    {"VSPACE", Symb::VSpaceSy},
    {"NOWRAP", Symb::NoWrapSy},
}};

const TagEntry* FindTag(std::string_view Name)
{
    for (const TagEntry& entry : TagTable)
        if (Name == entry.Name)
            return &entry;
    return nullptr;
}

bool FindAttribute(std::string_view Name, Symb& Sym)
{
    for (const AttributeEntry& entry : AttributeTable) {
        if (Name == entry.Name) {
            Sym = entry.Sym;
            return true;
        }
    }
    return false;
}

} // namespace PaneUn2
