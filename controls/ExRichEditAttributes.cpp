// Character and paragraph attributes of the extended rich edit.

#include "controls/ExRichEditAttributes.h"

#include "platform/gui/GdiObjects.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr UINT CharFormatSizeV1 = sizeof(CHARFORMATA);
constexpr UINT ParaFormatSizeV1 = sizeof(PARAFORMAT);
constexpr DWORD TableMask = 0xC0000000;
constexpr WORD TableBits = 0xC000;

// Points to twips, kept inside what the record's field holds.
LONG Twips(int points) { return static_cast<LONG>(std::clamp<long long>(points * 20LL, INT_MIN, INT_MAX)); }

BYTE PitchBits(TFontPitch pitch) { return pitch == fpFixed ? 1 : pitch == fpVariable ? 2 : 0; }

TFontPitch PitchOf(BYTE bits)
{
    switch (bits & 3) {
    case 1:
        return fpFixed;
    case 2:
        return fpVariable;
    default:
        return fpDefault;
    }
}

DWORD StyleEffects(TFontStyles style)
{
    return (style.Contains(fsBold) ? CFE_BOLD : 0) | (style.Contains(fsItalic) ? CFE_ITALIC : 0) |
           (style.Contains(fsUnderline) ? CFE_UNDERLINE : 0) | (style.Contains(fsStrikeOut) ? CFE_STRIKEOUT : 0);
}

void SetFace(CHARFORMAT2A& format, const std::string& name)
{
    std::memset(format.szFaceName, 0, sizeof(format.szFaceName));
    std::memcpy(format.szFaceName, name.data(), std::min(name.size(), sizeof(format.szFaceName) - 1));
}

void SetColorOf(CHARFORMAT2A& format, TColor value)
{
    if (value == clWindowText || value == clDefault)
        format.dwEffects |= CFE_AUTOCOLOR;
    else
        format.crTextColor = ColorToRGB(value);
}

} // namespace

// --- TExTextAttributes ---------------------------------------------------------------------------

TExTextAttributes::TExTextAttributes(TExCustomRichEdit* AOwner, ExRichEd::TExAttributeType AttributeType)
    : FRichEdit(AOwner), FType(AttributeType)
{
}

WPARAM TExTextAttributes::Which() const
{
    switch (FType) {
    case ExRichEd::atSelected:
        return SCF_SELECTION;
    case ExRichEd::atWord:
        return SCF_SELECTION | SCF_WORD;
    default:
        return SCF_DEFAULT;
    }
}

CHARFORMAT2A TExTextAttributes::Blank() const
{
    CHARFORMAT2A format;
    format.cbSize = RichEditVersion == 1 ? CharFormatSizeV1 : sizeof(CHARFORMAT2A);
    return format;
}

CHARFORMAT2A TExTextAttributes::Read() const
{
    CHARFORMAT2A format = Blank();
    if (FRichEdit->HandleAllocated())
        SendMessageA(FRichEdit->Handle(), EM_GETCHARFORMAT, Which(), reinterpret_cast<LPARAM>(&format));
    return format;
}

void TExTextAttributes::Write(CHARFORMAT2A& format) const
{
    format.cbSize = RichEditVersion == 1 ? CharFormatSizeV1 : sizeof(CHARFORMAT2A);
    if (FRichEdit->HandleAllocated())
        SendMessageA(FRichEdit->Handle(), EM_SETCHARFORMAT, Which(), reinterpret_cast<LPARAM>(&format));
}

BYTE TExTextAttributes::Charset() const { return Read().bCharSet; }

void TExTextAttributes::SetCharset(BYTE value)
{
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_CHARSET;
    format.bCharSet = value;
    Write(format);
}

bool TExTextAttributes::Protected() const { return (Read().dwEffects & CFE_PROTECTED) != 0; }

void TExTextAttributes::SetProtected(bool value)
{
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_PROTECTED;
    format.dwEffects = value ? CFE_PROTECTED : 0;
    Write(format);
}

bool TExTextAttributes::Link() const { return RichEditVersion >= 2 && (Read().dwEffects & CFE_LINK) != 0; }

void TExTextAttributes::SetLink(bool value)
{
    if (RichEditVersion < 2)
        return;
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_LINK;
    format.dwEffects = value ? CFE_LINK : 0;
    Write(format);
}

BYTE TExTextAttributes::RevAuthorIndex() const { return Read().bRevAuthor; }

void TExTextAttributes::SetRevAuthorIndex(BYTE value)
{
    if (RichEditVersion < 2)
        return;
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_REVAUTHOR;
    format.bRevAuthor = value;
    Write(format);
}

bool TExTextAttributes::Hidden() const { return RichEditVersion >= 2 && (Read().dwEffects & CFE_HIDDEN) != 0; }

void TExTextAttributes::SetHidden(bool value)
{
    if (RichEditVersion < 2)
        return;
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_HIDDEN;
    format.dwEffects = value ? CFE_HIDDEN : 0;
    Write(format);
}

bool TExTextAttributes::Disabled() const { return RichEditVersion >= 2 && (Read().dwEffects & CFE_DISABLED) != 0; }

void TExTextAttributes::SetDisabled(bool value)
{
    if (RichEditVersion < 2)
        return;
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_DISABLED;
    format.dwEffects = value ? CFE_DISABLED : 0;
    Write(format);
}

TColor TExTextAttributes::Color() const
{
    const CHARFORMAT2A format = Read();
    return (format.dwEffects & CFE_AUTOCOLOR) ? clWindowText : static_cast<TColor>(format.crTextColor);
}

void TExTextAttributes::SetColor(TColor value)
{
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_COLOR;
    SetColorOf(format, value);
    Write(format);
}

TColor TExTextAttributes::BackColor() const
{
    if (RichEditVersion < 2)
        return clWindow;
    const CHARFORMAT2A format = Read();
    return (format.dwEffects & CFE_AUTOBACKCOLOR) ? clWindow : static_cast<TColor>(format.crBackColor);
}

void TExTextAttributes::SetBackColor(TColor value)
{
    if (RichEditVersion < 2)
        return;
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_BACKCOLOR;
    if (value == clWindow || value == clDefault)
        format.dwEffects = CFE_AUTOBACKCOLOR;
    else
        format.crBackColor = ColorToRGB(value);
    Write(format);
}

std::string TExTextAttributes::Name() const
{
    const CHARFORMAT2A format = Read();
    return std::string(format.szFaceName, strnlen(format.szFaceName, sizeof(format.szFaceName)));
}

void TExTextAttributes::SetName(const std::string& value)
{
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_FACE;
    SetFace(format, value);
    Write(format);
}

TFontStyles TExTextAttributes::Style() const
{
    const DWORD effects = Read().dwEffects;
    TFontStyles styles;
    if (effects & CFE_BOLD)
        styles.Include(fsBold);
    if (effects & CFE_ITALIC)
        styles.Include(fsItalic);
    if (effects & CFE_UNDERLINE)
        styles.Include(fsUnderline);
    if (effects & CFE_STRIKEOUT)
        styles.Include(fsStrikeOut);
    return styles;
}

void TExTextAttributes::SetStyle(TFontStyles value)
{
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    format.dwEffects = StyleEffects(value);
    Write(format);
}

ExRichEd::TUnderlineType TExTextAttributes::UnderlineType() const
{
    if (RichEditVersion < 2)
        return ExRichEd::utNone;
    const CHARFORMAT2A format = Read();
    if (!(format.dwEffects & CFE_UNDERLINE) || !(format.dwMask & CFM_UNDERLINETYPE))
        return ExRichEd::utNone;
    return static_cast<ExRichEd::TUnderlineType>(std::min<int>(format.bUnderlineType, ExRichEd::utWave));
}

void TExTextAttributes::SetUnderlineType(ExRichEd::TUnderlineType value)
{
    if (RichEditVersion < 2)
        return;
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_UNDERLINETYPE | CFM_UNDERLINE;
    format.bUnderlineType = static_cast<BYTE>(value);
    if (value != ExRichEd::utNone)
        format.dwEffects = CFE_UNDERLINE;
    Write(format);
}

int TExTextAttributes::Offset() const { return Read().yOffset / 20; }

void TExTextAttributes::SetOffset(int value)
{
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_OFFSET;
    format.yOffset = Twips(value);
    Write(format);
}

int TExTextAttributes::Size() const { return Read().yHeight / 20; }

void TExTextAttributes::SetSize(int value)
{
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_SIZE;
    format.yHeight = Twips(value);
    Write(format);
}

int TExTextAttributes::Height() const { return MulDiv(Size(), FRichEdit->FScreenLogPixels, 72); }

void TExTextAttributes::SetHeight(int value) { SetSize(MulDiv(value, 72, FRichEdit->FScreenLogPixels)); }

TFontPitch TExTextAttributes::Pitch() const { return PitchOf(Read().bPitchAndFamily); }

void TExTextAttributes::SetPitch(TFontPitch value)
{
    // No mask bit: the window keeps its pitch unless a face name comes with it.
    CHARFORMAT2A format = Blank();
    format.bPitchAndFamily = PitchBits(value);
    Write(format);
}

ExRichEd::TSubscriptStyle TExTextAttributes::SubscriptStyle() const
{
    if (RichEditVersion < 2)
        return ExRichEd::ssNone;
    const DWORD effects = Read().dwEffects;
    if (effects & CFE_SUBSCRIPT)
        return ExRichEd::ssSubscript;
    if (effects & CFE_SUPERSCRIPT)
        return ExRichEd::ssSuperscript;
    return ExRichEd::ssNone;
}

void TExTextAttributes::SetSubscriptStyle(ExRichEd::TSubscriptStyle value)
{
    if (RichEditVersion < 2)
        return;
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_SUBSCRIPT | CFM_SUPERSCRIPT;
    format.dwEffects = value == ExRichEd::ssSubscript ? CFE_SUBSCRIPT : value == ExRichEd::ssSuperscript ? CFE_SUPERSCRIPT : 0;
    Write(format);
}

ExRichEd::TExConsistentAttributes TExTextAttributes::ConsistentAttributes() const
{
    ExRichEd::TExConsistentAttributes result;
    if (FType == ExRichEd::atDefaultText || !FRichEdit->HandleAllocated())
        return result;
    const DWORD mask = Read().dwMask;
    const std::pair<DWORD, ExRichEd::TExConsistentAttribute> bits[] = {
        {CFM_BOLD, ExRichEd::caBold},         {CFM_COLOR, ExRichEd::caColor},         {CFM_FACE, ExRichEd::caFace},
        {CFM_ITALIC, ExRichEd::caItalic},     {CFM_SIZE, ExRichEd::caSize},           {CFM_STRIKEOUT, ExRichEd::caStrikeOut},
        {CFM_UNDERLINE, ExRichEd::caUnderline}, {CFM_PROTECTED, ExRichEd::caProtected}, {CFM_OFFSET, ExRichEd::caOffset},
        {CFM_HIDDEN, ExRichEd::caHidden}};
    for (const auto& [bit, attribute] : bits)
        if (mask & bit)
            result.Include(attribute);
    if (RichEditVersion >= 2) {
        const std::pair<DWORD, ExRichEd::TExConsistentAttribute> newer[] = {
            {CFM_LINK, ExRichEd::caLink},     {CFM_BACKCOLOR, ExRichEd::caBackColor},  {CFM_DISABLED, ExRichEd::caDisabled},
            {CFM_WEIGHT, ExRichEd::caWeight}, {CFM_SUBSCRIPT, ExRichEd::caSubscript}, {CFM_REVAUTHOR, ExRichEd::caRevAuthor}};
        for (const auto& [bit, attribute] : newer)
            if (mask & bit)
                result.Include(attribute);
    }
    return result;
}

void TExTextAttributes::AssignFont(TFont* Font)
{
    CHARFORMAT2A format = Blank();
    format.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT |
                    CFM_CHARSET;
    format.yHeight = Twips(Font->Size());
    format.dwEffects = StyleEffects(Font->Style());
    SetFace(format, Font->Name());
    SetColorOf(format, Font->Color());
    format.bCharSet = static_cast<BYTE>(Font->Charset());
    format.bPitchAndFamily = PitchBits(Font->Pitch());
    if (RichEditVersion >= 2) {
        LOGFONTA logical;
        if (GetObjectA(Font->Handle(), sizeof(logical), &logical) == static_cast<int>(sizeof(logical))) {
            format.dwMask |= CFM_WEIGHT;
            format.wWeight = static_cast<WORD>(logical.lfWeight);
        }
    }
    Write(format);
}

void TExTextAttributes::Assign(TPersistent* Source)
{
    if (auto* font = dynamic_cast<TFont*>(Source)) {
        AssignFont(font);
        return;
    }
    if (auto* attributes = dynamic_cast<TTextAttributes*>(Source)) {
        SetName(attributes->Name());
        SetCharset(attributes->Charset());
        SetStyle(attributes->Style());
        SetPitch(attributes->Pitch());
        SetColor(attributes->Color());
        return;
    }
    if (auto* other = dynamic_cast<TExTextAttributes*>(Source)) {
        CHARFORMAT2A format = other->Read();
        Write(format);
        return;
    }
    TPersistent::Assign(Source);
}

void TExTextAttributes::AssignTo(TPersistent* Dest)
{
    if (auto* font = dynamic_cast<TFont*>(Dest)) {
        font->SetColor(Color());
        font->SetName(Name());
        font->SetCharset(Charset());
        font->SetStyle(Style());
        font->SetSize(Size());
        font->SetPitch(Pitch());
        return;
    }
    if (auto* attributes = dynamic_cast<TTextAttributes*>(Dest)) {
        attributes->SetColor(Color());
        attributes->SetName(Name());
        attributes->SetCharset(Charset());
        attributes->SetStyle(Style());
        attributes->SetPitch(Pitch());
        return;
    }
    TPersistent::AssignTo(Dest);
}

// --- TExParaAttributes ---------------------------------------------------------------------------

TExParaAttributes::TExParaAttributes(TExCustomRichEdit* AOwner) : FRichEdit(AOwner) {}

PARAFORMAT2 TExParaAttributes::Blank() const
{
    PARAFORMAT2 format;
    format.cbSize = RichEditVersion == 1 ? ParaFormatSizeV1 : sizeof(PARAFORMAT2);
    return format;
}

PARAFORMAT2 TExParaAttributes::Read() const
{
    PARAFORMAT2 format = Blank();
    if (FRichEdit->HandleAllocated())
        SendMessageA(FRichEdit->Handle(), EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
    return format;
}

void TExParaAttributes::Write(PARAFORMAT2& format) const
{
    format.cbSize = RichEditVersion == 1 ? ParaFormatSizeV1 : sizeof(PARAFORMAT2);
    format.cTabCount = static_cast<SHORT>(std::clamp<int>(format.cTabCount, 0, MAX_TAB_STOPS));
    if (FRichEdit->HandleAllocated())
        SendMessageA(FRichEdit->Handle(), EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
}

ExRichEd::TParaAlignment TExParaAttributes::Alignment() const
{
    const int alignment = Read().wAlignment;
    return alignment >= PFA_LEFT && alignment <= PFA_JUSTIFY ? static_cast<ExRichEd::TParaAlignment>(alignment - 1)
                                                             : ExRichEd::paLeftJustify;
}

void TExParaAttributes::SetAlignment(ExRichEd::TParaAlignment value)
{
    PARAFORMAT2 format = Blank();
    format.dwMask = PFM_ALIGNMENT;
    format.wAlignment = static_cast<WORD>(value + 1);
    Write(format);
}

ExRichEd::TExNumbering TExParaAttributes::Numbering() const
{
    const WORD numbering = Read().wNumbering;
    if (RichEditVersion == 1)
        return numbering != 0 ? ExRichEd::nsBullet : ExRichEd::nsNone;
    return numbering <= ExRichEd::nsUpCaseRoman ? static_cast<ExRichEd::TExNumbering>(numbering) : ExRichEd::nsBullet;
}

void TExParaAttributes::SetNumbering(ExRichEd::TExNumbering value)
{
    if (value == ExRichEd::nsNone)
        SetLeftIndent(0);
    else if (LeftIndent() < 10)
        SetLeftIndent(10);
    PARAFORMAT2 format = Blank();
    format.dwMask = PFM_NUMBERING;
    format.wNumbering = static_cast<WORD>(RichEditVersion == 1 && value != ExRichEd::nsNone ? ExRichEd::nsBullet : value);
    Write(format);
}

ExRichEd::TExNumberingStyle TExParaAttributes::NumberingStyle() const
{
    if (RichEditVersion < 2)
        return ExRichEd::nsSimple;
    const WORD style = Read().wNumberingStyle;
    return style <= ExRichEd::nsSimple ? static_cast<ExRichEd::TExNumberingStyle>(style) : ExRichEd::nsSimple;
}

void TExParaAttributes::SetNumberingStyle(ExRichEd::TExNumberingStyle value)
{
    if (RichEditVersion < 2)
        return;
    PARAFORMAT2 format = Blank();
    format.dwMask = PFM_NUMBERINGSTYLE;
    format.wNumberingStyle = static_cast<WORD>(value);
    Write(format);
}

int TExParaAttributes::NumberingTab() const { return Read().wNumberingTab / 20; }

void TExParaAttributes::SetNumberingTab(int value)
{
    if (RichEditVersion < 2)
        return;
    PARAFORMAT2 format = Blank();
    format.dwMask = PFM_NUMBERINGTAB;
    format.wNumberingTab = static_cast<WORD>(std::clamp(value * 20, 0, 0xFFFF));
    Write(format);
}

int TExParaAttributes::FirstIndent() const { return Read().dxStartIndent / 20; }

void TExParaAttributes::SetFirstIndent(int value)
{
    PARAFORMAT2 format = Blank();
    format.dwMask = PFM_STARTINDENT;
    format.dxStartIndent = Twips(value);
    Write(format);
}

int TExParaAttributes::LeftIndent() const { return Read().dxOffset / 20; }

void TExParaAttributes::SetLeftIndent(int value)
{
    PARAFORMAT2 format = Blank();
    format.dwMask = PFM_OFFSET;
    format.dxOffset = Twips(value);
    Write(format);
}

int TExParaAttributes::RightIndent() const { return Read().dxRightIndent / 20; }

void TExParaAttributes::SetRightIndent(int value)
{
    PARAFORMAT2 format = Blank();
    format.dwMask = PFM_RIGHTINDENT;
    format.dxRightIndent = Twips(value);
    Write(format);
}

int TExParaAttributes::SpaceBefore() const { return Read().dySpaceBefore / 20; }

void TExParaAttributes::SetSpaceBefore(int value)
{
    if (RichEditVersion < 2)
        return;
    PARAFORMAT2 format = Blank();
    format.dwMask = PFM_SPACEBEFORE;
    format.dySpaceBefore = Twips(value);
    Write(format);
}

int TExParaAttributes::SpaceAfter() const { return Read().dySpaceAfter / 20; }

void TExParaAttributes::SetSpaceAfter(int value)
{
    if (RichEditVersion < 2)
        return;
    PARAFORMAT2 format = Blank();
    format.dwMask = PFM_SPACEAFTER;
    format.dySpaceAfter = Twips(value);
    Write(format);
}

int TExParaAttributes::LineSpacing() const { return Read().dyLineSpacing / 20; }

void TExParaAttributes::SetLineSpacing(int value)
{
    if (RichEditVersion < 2)
        return;
    PARAFORMAT2 format = Read();
    format.dwMask = PFM_LINESPACING;
    format.dyLineSpacing = Twips(value);
    Write(format);
}

ExRichEd::TLineSpacingRule TExParaAttributes::LineSpacingRule() const
{
    const BYTE rule = Read().bLineSpacingRule;
    return rule <= ExRichEd::lsMultiple ? static_cast<ExRichEd::TLineSpacingRule>(rule) : ExRichEd::lsSingle;
}

void TExParaAttributes::SetLineSpacingRule(ExRichEd::TLineSpacingRule value)
{
    if (RichEditVersion < 2)
        return;
    PARAFORMAT2 format = Read();
    format.dwMask = PFM_LINESPACING;
    format.bLineSpacingRule = static_cast<BYTE>(value);
    Write(format);
}

ExRichEd::THeadingStyle TExParaAttributes::HeadingStyle() const { return RichEditVersion < 3 ? 0 : Read().sStyle; }

void TExParaAttributes::SetHeadingStyle(ExRichEd::THeadingStyle value)
{
    if (RichEditVersion < 3)
        return;
    PARAFORMAT2 format = Blank();
    format.dwMask = PFM_STYLE;
    format.sStyle = static_cast<SHORT>(std::clamp(value, 0, 9));
    Write(format);
}

int TExParaAttributes::Tab(int Index) const
{
    if (Index < 0 || Index >= MAX_TAB_STOPS)
        return 0;
    return Read().rgxTabs[Index] / 20;
}

void TExParaAttributes::SetTab(int Index, int value)
{
    if (Index < 0 || Index >= MAX_TAB_STOPS)
        return;
    PARAFORMAT2 format = Read();
    format.dwMask = PFM_TABSTOPS;
    format.rgxTabs[Index] = Twips(value);
    // The stop just written counts, whatever the count was.
    format.cTabCount = static_cast<SHORT>(std::max<int>(format.cTabCount, Index + 1));
    Write(format);
}

int TExParaAttributes::TabCount() const { return Read().cTabCount; }

void TExParaAttributes::SetTabCount(int value)
{
    PARAFORMAT2 format = Read();
    format.dwMask = PFM_TABSTOPS;
    format.cTabCount = static_cast<SHORT>(std::clamp(value, 0, MAX_TAB_STOPS));
    Write(format);
}

ExRichEd::TParaTableStyle TExParaAttributes::TableStyle() const
{
    if (RichEditVersion < 2)
        return ExRichEd::tsNone;
    switch (Read().wEffects & TableBits) {
    case TableBits:
        return ExRichEd::tsTableRow;
    case PFE_TABLECELLEND:
        return ExRichEd::tsTableCellEnd;
    case PFE_TABLE:
        return ExRichEd::tsTableCell;
    default:
        return ExRichEd::tsNone;
    }
}

void TExParaAttributes::SetTableStyle(ExRichEd::TParaTableStyle value)
{
    if (RichEditVersion < 2)
        return;
    PARAFORMAT2 format = Blank();
    format.dwMask = TableMask;
    format.wEffects = value == ExRichEd::tsTableRow       ? TableBits
                      : value == ExRichEd::tsTableCellEnd ? PFE_TABLECELLEND
                      : value == ExRichEd::tsTableCell    ? PFE_TABLE
                                                : 0;
    Write(format);
}

void TExParaAttributes::Assign(TPersistent* Source)
{
    if (auto* paragraph = dynamic_cast<TParaAttributes*>(Source)) {
        const TAlignment alignment = paragraph->Alignment();
        SetAlignment(alignment == taRightJustify ? ExRichEd::paRightJustify : alignment == taCenter ? ExRichEd::paCenter : ExRichEd::paLeftJustify);
        SetFirstIndent(paragraph->FirstIndent());
        SetLeftIndent(paragraph->LeftIndent());
        SetRightIndent(paragraph->RightIndent());
        SetNumbering(paragraph->Numbering() == ::nsNone ? ExRichEd::nsNone : ExRichEd::nsBullet);
        for (int i = 0; i < MAX_TAB_STOPS; ++i)
            SetTab(i, paragraph->Tab(i));
        return;
    }
    if (auto* other = dynamic_cast<TExParaAttributes*>(Source)) {
        PARAFORMAT2 format = other->Read();
        Write(format);
        return;
    }
    TPersistent::Assign(Source);
}

void TExParaAttributes::AssignTo(TPersistent* Dest)
{
    if (auto* paragraph = dynamic_cast<TParaAttributes*>(Dest)) {
        const ExRichEd::TParaAlignment alignment = Alignment();
        paragraph->SetAlignment(alignment == ExRichEd::paRightJustify ? taRightJustify
                                : alignment == ExRichEd::paCenter     ? taCenter
                                                            : taLeftJustify);
        paragraph->SetFirstIndent(FirstIndent());
        paragraph->SetLeftIndent(LeftIndent());
        paragraph->SetRightIndent(RightIndent());
        paragraph->SetNumbering(Numbering() != ExRichEd::nsNone ? ::nsBullet : ::nsNone);
        for (int i = 0; i < MAX_TAB_STOPS; ++i)
            paragraph->SetTab(i, Tab(i));
        return;
    }
    TPersistent::AssignTo(Dest);
}
