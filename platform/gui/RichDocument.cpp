#include "platform/gui/private/RichDocument.h"

#include "platform/gui/GdiObjects.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/RtfReader.h"
#include "platform/gui/private/RtfWriter.h"
#include "platform/rtl/Codepage.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace RichDocumentUnit {

constexpr double TwipsPerPixel = 15.0; // 1440 twips an inch at 96 pixels an inch

int IntProperty(const QTextFormat& format, int property, int otherwise = 0)
{
    const QVariant value = format.property(property);
    return value.isValid() ? value.toInt() : otherwise;
}

void SetOrClear(QTextFormat& format, int property, int value, int otherwise = 0)
{
    if (value == otherwise)
        format.clearProperty(property);
    else
        format.setProperty(property, value);
}

QColor QColorOf(COLORREF color) { return QColor(GetRValue(color), GetGValue(color), GetBValue(color)); }
COLORREF ColorRefOf(const QColor& color) { return RGB(color.red(), color.green(), color.blue()); }

QTextCharFormat::UnderlineStyle QtUnderline(BYTE type)
{
    switch (type) {
    case CFU_UNDERLINEDOTTED: return QTextCharFormat::DotLine;
    case CFU_UNDERLINEDASH: return QTextCharFormat::DashUnderline;
    case CFU_UNDERLINEDASHDOT: return QTextCharFormat::DashDotLine;
    case CFU_UNDERLINEDASHDOTDOT: return QTextCharFormat::DashDotDotLine;
    case CFU_UNDERLINEWAVE: return QTextCharFormat::WaveUnderline;
    default: return QTextCharFormat::SingleUnderline;
    }
}

// The object properties of a content object on a character format.
void ApplyObject(QTextCharFormat& format, const TRichObject& object)
{
    format.setObjectType(RichObjectType);
    format.setProperty(rpObjectKind, static_cast<int>(object.Kind));
    format.setProperty(rpObjectGroup, QByteArray(object.Group.data(), static_cast<qsizetype>(object.Group.size())));
    if (!object.ResultGroup.empty())
        format.setProperty(rpObjectResult, QByteArray(object.ResultGroup.data(),
                                                      static_cast<qsizetype>(object.ResultGroup.size())));
    format.setProperty(rpPictureType, static_cast<int>(object.PictureType));
    format.setProperty(rpObjectWidth, static_cast<int>(object.Width));
    format.setProperty(rpObjectHeight, static_cast<int>(object.Height));
}

bool IsObject(const QTextCharFormat& format) { return format.objectType() == RichObjectType; }

TRichObject ObjectOf(const QTextCharFormat& format)
{
    TRichObject object;
    object.Kind = static_cast<TRichObjectKind>(IntProperty(format, rpObjectKind));
    const QByteArray group = format.property(rpObjectGroup).toByteArray();
    object.Group.assign(group.constData(), static_cast<std::size_t>(group.size()));
    const QByteArray result = format.property(rpObjectResult).toByteArray();
    object.ResultGroup.assign(result.constData(), static_cast<std::size_t>(result.size()));
    object.PictureType = static_cast<TRichPictureType>(IntProperty(format, rpPictureType));
    object.Width = IntProperty(format, rpObjectWidth);
    object.Height = IntProperty(format, rpObjectHeight);
    return object;
}

// A format without the object and field properties, for text typed over an object.
QTextCharFormat WithoutObject(QTextCharFormat format)
{
    if (IsObject(format)) {
        format.setObjectType(QTextFormat::NoObject);
        for (int property : {rpObjectKind, rpObjectGroup, rpObjectResult, rpPictureType, rpObjectWidth, rpObjectHeight})
            format.clearProperty(property);
    }
    return format;
}

// Windows-1252 text with Qt's separators: paragraph separators between paragraphs, the line
// separator for "\v".
QString QtText(const std::string& text)
{
    QString result = ToQString(text);
    result.replace(QChar(u'\v'), QChar::LineSeparator);
    return result;
}

std::string AnsiText(QString text)
{
    text.replace(QChar::LineSeparator, QChar(u'\v'));
    text.replace(QChar::ObjectReplacementCharacter, QChar(u' '));
    return ToAnsi(text);
}

// Splits Windows-1252 text at CR LF, CR and LF.
std::vector<std::string> SplitParagraphs(const std::string& text)
{
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// The hex digits (or \bin bytes) of a picture group, outside its words and inner groups.
QByteArray PictureBytes(const QByteArray& group)
{
    QByteArray bytes;
    int depth = 0;
    int high = -1;
    for (qsizetype i = 0; i < group.size(); ++i) {
        const char c = group[i];
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            --depth;
        } else if (c == '\\') {
            qsizetype j = i + 1;
            while (j < group.size() && std::isalpha(static_cast<unsigned char>(group[j])))
                ++j;
            const QByteArray word = group.mid(i + 1, j - i - 1);
            const qsizetype digits = j;
            if (j < group.size() && group[j] == '-')
                ++j;
            while (j < group.size() && std::isdigit(static_cast<unsigned char>(group[j])))
                ++j;
            const long long parameter = group.mid(digits, j - digits).toLongLong();
            if (j < group.size() && group[j] == ' ')
                ++j;
            if (word.isEmpty() && j < group.size())
                ++j;
            if (word == "bin" && depth == 1 && parameter > 0 && parameter <= group.size() - j) {
                bytes += group.mid(j, parameter);
                j += parameter;
            }
            i = j - 1;
        } else if (depth == 1 && std::isxdigit(static_cast<unsigned char>(c))) {
            const int value = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10);
            if (high < 0) {
                high = value;
            } else {
                bytes += static_cast<char>(high * 16 + value);
                high = -1;
            }
        }
    }
    return bytes;
}

// A device-independent bitmap with the file header that image readers expect before it.
QByteArray BmpFileOf(const QByteArray& dib)
{
    if (dib.size() < 16)
        return {};
    auto u32 = [&](int at) {
        return static_cast<quint32>(static_cast<unsigned char>(dib[at])) |
               static_cast<quint32>(static_cast<unsigned char>(dib[at + 1])) << 8 |
               static_cast<quint32>(static_cast<unsigned char>(dib[at + 2])) << 16 |
               static_cast<quint32>(static_cast<unsigned char>(dib[at + 3])) << 24;
    };
    const quint32 headerSize = u32(0);
    if (headerSize < 12 || headerSize > static_cast<quint32>(dib.size()))
        return {};
    quint32 colors = 0;
    quint32 masks = 0;
    if (headerSize >= 40) {
        const int bits = static_cast<unsigned char>(dib[14]) | static_cast<unsigned char>(dib[15]) << 8;
        colors = u32(32);
        if (colors == 0 && bits <= 8)
            colors = 1u << bits;
        if (headerSize == 40 && u32(16) == 3)
            masks = 12;
    } else {
        const int bits = static_cast<unsigned char>(dib[10]) | static_cast<unsigned char>(dib[11]) << 8;
        colors = bits <= 8 ? (1u << bits) : 0;
    }
    const quint32 offset = 14 + headerSize + masks + colors * (headerSize >= 40 ? 4 : 3);
    const quint32 size = 14 + static_cast<quint32>(dib.size());
    QByteArray file("BM", 2);
    for (quint32 value : {size, 0u, offset})
        for (int shift = 0; shift < 32; shift += 8)
            file += static_cast<char>((value >> shift) & 0xFF);
    return file + dib;
}

} // namespace RichDocumentUnit

// --- Records and formats ---------------------------------------------------------------------------

void ApplyCharRecord(QTextCharFormat& format, const CHARFORMAT2A& r)
{
    const std::string face(r.szFaceName, strnlen(r.szFaceName, sizeof r.szFaceName));
    format.setFontFamilies(QStringList{ToQString(face)});
    format.setFontPointSize(r.yHeight / 20.0);
    const bool bold = r.dwEffects & CFE_BOLD;
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    RichDocumentUnit::SetOrClear(format, rpWeight, r.wWeight, bold ? FW_BOLD : FW_NORMAL);
    format.setFontItalic(r.dwEffects & CFE_ITALIC);
    const bool underline = r.dwEffects & CFE_UNDERLINE;
    format.setUnderlineStyle(underline ? RichDocumentUnit::QtUnderline(r.bUnderlineType)
                                       : QTextCharFormat::NoUnderline);
    RichDocumentUnit::SetOrClear(format, rpUnderlineType, r.bUnderlineType);
    format.setFontStrikeOut(r.dwEffects & CFE_STRIKEOUT);
    if (r.dwEffects & CFE_AUTOCOLOR)
        format.clearForeground();
    else
        format.setForeground(RichDocumentUnit::QColorOf(r.crTextColor));
    if (r.dwEffects & CFE_AUTOBACKCOLOR)
        format.clearBackground();
    else
        format.setBackground(RichDocumentUnit::QColorOf(r.crBackColor));
    format.setVerticalAlignment(r.dwEffects & CFE_SUPERSCRIPT ? QTextCharFormat::AlignSuperScript
                                : r.dwEffects & CFE_SUBSCRIPT ? QTextCharFormat::AlignSubScript
                                                              : QTextCharFormat::AlignNormal);
    RichDocumentUnit::SetOrClear(format, rpOffset, r.yOffset);
    RichDocumentUnit::SetOrClear(format, rpProtected, (r.dwEffects & CFE_PROTECTED) != 0);
    RichDocumentUnit::SetOrClear(format, rpHidden, (r.dwEffects & CFE_HIDDEN) != 0);
    RichDocumentUnit::SetOrClear(format, rpDisabled, (r.dwEffects & CFE_DISABLED) != 0);
    RichDocumentUnit::SetOrClear(format, rpLink, (r.dwEffects & CFE_LINK) != 0);
    RichDocumentUnit::SetOrClear(format, rpRevAuthor, r.bRevAuthor);
    RichDocumentUnit::SetOrClear(format, rpCharset, r.bCharSet);
    RichDocumentUnit::SetOrClear(format, rpPitchAndFamily, r.bPitchAndFamily);
}

CHARFORMAT2A TRichDocument::RecordOf(const QTextCharFormat& format) const
{
    CHARFORMAT2A r = FDefaultFormat;
    r.dwMask = RichCharMask;
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty()) {
        const std::string face = ToAnsi(families.front()).substr(0, sizeof r.szFaceName - 1);
        std::memset(r.szFaceName, 0, sizeof r.szFaceName);
        std::memcpy(r.szFaceName, face.data(), face.size());
    }
    if (format.hasProperty(QTextFormat::FontPointSize))
        r.yHeight = static_cast<LONG>(std::lround(format.fontPointSize() * 20));
    DWORD effects = 0;
    const bool bold = format.fontWeight() >= QFont::DemiBold;
    if (bold)
        effects |= CFE_BOLD;
    r.wWeight = static_cast<WORD>(RichDocumentUnit::IntProperty(format, rpWeight, bold ? FW_BOLD : FW_NORMAL));
    if (format.fontItalic())
        effects |= CFE_ITALIC;
    r.bUnderlineType = static_cast<BYTE>(RichDocumentUnit::IntProperty(format, rpUnderlineType));
    if (format.underlineStyle() != QTextCharFormat::NoUnderline) {
        effects |= CFE_UNDERLINE;
        if (r.bUnderlineType == 0)
            r.bUnderlineType = CFU_UNDERLINE;
    }
    if (format.fontStrikeOut())
        effects |= CFE_STRIKEOUT;
    if (format.hasProperty(QTextFormat::ForegroundBrush))
        r.crTextColor = RichDocumentUnit::ColorRefOf(format.foreground().color());
    else
        effects |= CFE_AUTOCOLOR, r.crTextColor = 0;
    if (format.hasProperty(QTextFormat::BackgroundBrush))
        r.crBackColor = RichDocumentUnit::ColorRefOf(format.background().color());
    else
        effects |= CFE_AUTOBACKCOLOR, r.crBackColor = 0;
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        effects |= CFE_SUPERSCRIPT;
    else if (format.verticalAlignment() == QTextCharFormat::AlignSubScript)
        effects |= CFE_SUBSCRIPT;
    r.yOffset = RichDocumentUnit::IntProperty(format, rpOffset);
    if (RichDocumentUnit::IntProperty(format, rpProtected))
        effects |= CFE_PROTECTED;
    if (RichDocumentUnit::IntProperty(format, rpHidden))
        effects |= CFE_HIDDEN;
    if (RichDocumentUnit::IntProperty(format, rpDisabled))
        effects |= CFE_DISABLED;
    if (RichDocumentUnit::IntProperty(format, rpLink))
        effects |= CFE_LINK;
    r.bRevAuthor = static_cast<BYTE>(RichDocumentUnit::IntProperty(format, rpRevAuthor));
    r.bCharSet = static_cast<BYTE>(RichDocumentUnit::IntProperty(format, rpCharset));
    r.bPitchAndFamily = static_cast<BYTE>(RichDocumentUnit::IntProperty(format, rpPitchAndFamily));
    r.dwEffects = effects;
    return r;
}

const CHARFORMAT2A& TRichDocument::RecordOfIndex(int formatIndex, const QTextCharFormat& format) const
{
    const std::size_t index = static_cast<std::size_t>(std::max(0, formatIndex));
    if (index >= FRecords.size())
        FRecords.resize(index + 1);
    TCachedRecord& cached = FRecords[index];
    if (!(cached.Format == format) || cached.Format.type() == QTextFormat::InvalidFormat) {
        cached.Format = format;
        cached.Record = RecordOf(format);
    }
    return cached.Record;
}

DWORD SameCharMask(const CHARFORMAT2A& a, const CHARFORMAT2A& b)
{
    DWORD mask = 0;
    auto same = [&](DWORD bits, bool equal) {
        if (equal)
            mask |= bits;
    };
    const DWORD effects = a.dwEffects ^ b.dwEffects;
    for (DWORD effect : {CFE_BOLD, CFE_ITALIC, CFE_UNDERLINE, CFE_STRIKEOUT, CFE_PROTECTED, CFE_LINK, CFE_HIDDEN,
                         CFE_DISABLED})
        same(effect, (effects & effect) == 0);
    same(CFM_SUBSCRIPT, (effects & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT)) == 0);
    same(CFM_COLOR,
         (effects & CFE_AUTOCOLOR) == 0 && ((a.dwEffects & CFE_AUTOCOLOR) || a.crTextColor == b.crTextColor));
    same(CFM_BACKCOLOR, (effects & CFE_AUTOBACKCOLOR) == 0 &&
                            ((a.dwEffects & CFE_AUTOBACKCOLOR) || a.crBackColor == b.crBackColor));
    same(CFM_SIZE, a.yHeight == b.yHeight);
    same(CFM_OFFSET, a.yOffset == b.yOffset);
    same(CFM_FACE, std::strncmp(a.szFaceName, b.szFaceName, sizeof a.szFaceName) == 0);
    same(CFM_CHARSET, a.bCharSet == b.bCharSet);
    same(CFM_WEIGHT, a.wWeight == b.wWeight);
    same(CFM_UNDERLINETYPE, a.bUnderlineType == b.bUnderlineType);
    same(CFM_REVAUTHOR, a.bRevAuthor == b.bRevAuthor);
    return mask;
}

void MergeCharRecord(CHARFORMAT2A& r, const CHARFORMAT2A& c, DWORD mask)
{
    auto effect = [&](DWORD maskBit, DWORD effects) {
        if (mask & maskBit)
            r.dwEffects = (r.dwEffects & ~effects) | (c.dwEffects & effects);
    };
    effect(CFM_BOLD, CFE_BOLD);
    if (mask & CFM_BOLD)
        r.wWeight = (c.dwEffects & CFE_BOLD) ? FW_BOLD : FW_NORMAL;
    effect(CFM_ITALIC, CFE_ITALIC);
    effect(CFM_STRIKEOUT, CFE_STRIKEOUT);
    effect(CFM_PROTECTED, CFE_PROTECTED);
    effect(CFM_LINK, CFE_LINK);
    effect(CFM_HIDDEN, CFE_HIDDEN);
    effect(CFM_DISABLED, CFE_DISABLED);
    if (mask & CFM_SUBSCRIPT) {
        // Superscript wins when both are asked for.
        const DWORD wanted = c.dwEffects & mask & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT);
        r.dwEffects &= ~(CFE_SUBSCRIPT | CFE_SUPERSCRIPT);
        r.dwEffects |= (wanted & CFE_SUPERSCRIPT) ? CFE_SUPERSCRIPT : wanted;
    }
    if (mask & CFM_UNDERLINETYPE) {
        r.bUnderlineType = c.bUnderlineType;
        if (!(mask & CFM_UNDERLINE))
            r.dwEffects = c.bUnderlineType ? (r.dwEffects | CFE_UNDERLINE) : (r.dwEffects & ~CFE_UNDERLINE);
    }
    if (mask & CFM_UNDERLINE) {
        r.dwEffects = (r.dwEffects & ~CFE_UNDERLINE) | (c.dwEffects & CFE_UNDERLINE);
        if (!(c.dwEffects & CFE_UNDERLINE))
            r.bUnderlineType = CFU_UNDERLINENONE;
        else if (!(mask & CFM_UNDERLINETYPE) || r.bUnderlineType == CFU_UNDERLINENONE)
            r.bUnderlineType = (mask & CFM_UNDERLINETYPE) && c.bUnderlineType ? c.bUnderlineType
                               : r.bUnderlineType ? r.bUnderlineType
                                                  : CFU_UNDERLINE;
    }
    if (mask & CFM_COLOR) {
        effect(CFM_COLOR, CFE_AUTOCOLOR);
        r.crTextColor = (c.dwEffects & CFE_AUTOCOLOR) ? 0 : c.crTextColor;
    }
    if (mask & CFM_BACKCOLOR) {
        r.dwEffects = (r.dwEffects & ~CFE_AUTOBACKCOLOR) | (c.dwEffects & CFE_AUTOBACKCOLOR);
        r.crBackColor = (c.dwEffects & CFE_AUTOBACKCOLOR) ? 0 : c.crBackColor;
    }
    if ((mask & CFM_SIZE) && c.yHeight > 0)
        r.yHeight = std::min<LONG>(c.yHeight, yHeightCharPtsMost * 20);
    if (mask & CFM_OFFSET)
        r.yOffset = c.yOffset;
    if (mask & CFM_FACE) {
        std::memset(r.szFaceName, 0, sizeof r.szFaceName);
        std::memcpy(r.szFaceName, c.szFaceName, strnlen(c.szFaceName, sizeof c.szFaceName - 1));
        r.bPitchAndFamily = c.bPitchAndFamily;
    }
    if (mask & CFM_CHARSET)
        r.bCharSet = c.bCharSet;
    if (mask & CFM_WEIGHT) {
        r.wWeight = c.wWeight;
        r.dwEffects = c.wWeight >= FW_SEMIBOLD ? (r.dwEffects | CFE_BOLD) : (r.dwEffects & ~CFE_BOLD);
    }
    if (mask & CFM_REVAUTHOR)
        r.bRevAuthor = c.bRevAuthor;
}

PARAFORMAT2 ParaRecordOf(const QTextBlockFormat& format)
{
    PARAFORMAT2 r = DefaultRichParaFormat();
    r.wNumbering = static_cast<WORD>(RichDocumentUnit::IntProperty(format, rpNumbering));
    r.wNumberingStart = static_cast<WORD>(RichDocumentUnit::IntProperty(format, rpNumberingStart));
    r.wNumberingStyle = static_cast<WORD>(RichDocumentUnit::IntProperty(format, rpNumberingStyle));
    r.wNumberingTab = static_cast<WORD>(RichDocumentUnit::IntProperty(format, rpNumberingTab));
    r.dxStartIndent = RichDocumentUnit::IntProperty(format, rpStartIndent);
    r.dxRightIndent = RichDocumentUnit::IntProperty(format, rpRightIndent);
    r.dxOffset = RichDocumentUnit::IntProperty(format, rpParaOffset);
    r.dySpaceBefore = RichDocumentUnit::IntProperty(format, rpSpaceBefore);
    r.dySpaceAfter = RichDocumentUnit::IntProperty(format, rpSpaceAfter);
    r.dyLineSpacing = RichDocumentUnit::IntProperty(format, rpLineSpacing);
    r.bLineSpacingRule = static_cast<BYTE>(RichDocumentUnit::IntProperty(format, rpLineSpacingRule));
    r.sStyle = static_cast<SHORT>(RichDocumentUnit::IntProperty(format, rpHeadingStyle));
    r.wEffects = static_cast<WORD>(RichDocumentUnit::IntProperty(format, rpTableBits));
    const Qt::Alignment alignment = format.alignment() & Qt::AlignHorizontal_Mask;
    r.wAlignment = alignment & Qt::AlignRight    ? PFA_RIGHT
                   : alignment & Qt::AlignHCenter ? PFA_CENTER
                   : alignment & Qt::AlignJustify ? PFA_JUSTIFY
                                                  : PFA_LEFT;
    const QList<QVariant> tabs = format.property(rpTabs).toList();
    for (const QVariant& tab : tabs)
        if (r.cTabCount < MAX_TAB_STOPS)
            r.rgxTabs[r.cTabCount++] = tab.toInt();
    return r;
}

void ApplyParaRecord(QTextBlockFormat& format, const PARAFORMAT2& r)
{
    RichDocumentUnit::SetOrClear(format, rpNumbering, r.wNumbering);
    RichDocumentUnit::SetOrClear(format, rpNumberingStart, r.wNumberingStart);
    RichDocumentUnit::SetOrClear(format, rpNumberingStyle, r.wNumberingStyle);
    RichDocumentUnit::SetOrClear(format, rpNumberingTab, r.wNumberingTab);
    RichDocumentUnit::SetOrClear(format, rpStartIndent, r.dxStartIndent);
    RichDocumentUnit::SetOrClear(format, rpRightIndent, r.dxRightIndent);
    RichDocumentUnit::SetOrClear(format, rpParaOffset, r.dxOffset);
    RichDocumentUnit::SetOrClear(format, rpSpaceBefore, r.dySpaceBefore);
    RichDocumentUnit::SetOrClear(format, rpSpaceAfter, r.dySpaceAfter);
    RichDocumentUnit::SetOrClear(format, rpLineSpacing, r.dyLineSpacing);
    RichDocumentUnit::SetOrClear(format, rpLineSpacingRule, r.bLineSpacingRule);
    RichDocumentUnit::SetOrClear(format, rpHeadingStyle, r.sStyle);
    RichDocumentUnit::SetOrClear(format, rpTableBits, r.wEffects & RichTableBits);
    QList<QVariant> tabs;
    QList<QTextOption::Tab> qtTabs;
    for (int i = 0; i < r.cTabCount && i < MAX_TAB_STOPS; ++i) {
        tabs.append(static_cast<int>(r.rgxTabs[i]));
        qtTabs.append(QTextOption::Tab(r.rgxTabs[i] / RichDocumentUnit::TwipsPerPixel, QTextOption::LeftTab));
    }
    if (tabs.isEmpty())
        format.clearProperty(rpTabs);
    else
        format.setProperty(rpTabs, tabs);
    // What Qt's own layout shows while editing.
    static const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter,
                                               Qt::AlignJustify};
    format.setAlignment(alignments[r.wAlignment <= PFA_JUSTIFY ? r.wAlignment : 0] | Qt::AlignAbsolute);
    format.setLeftMargin((r.dxStartIndent + r.dxOffset) / RichDocumentUnit::TwipsPerPixel);
    format.setTextIndent(-r.dxOffset / RichDocumentUnit::TwipsPerPixel);
    format.setRightMargin(r.dxRightIndent / RichDocumentUnit::TwipsPerPixel);
    format.setTopMargin(r.dySpaceBefore / RichDocumentUnit::TwipsPerPixel);
    format.setBottomMargin(r.dySpaceAfter / RichDocumentUnit::TwipsPerPixel);
    if (qtTabs.isEmpty())
        format.clearProperty(QTextFormat::TabPositions);
    else
        format.setTabPositions(qtTabs);
    switch (r.bLineSpacingRule) {
    case 1: format.setLineHeight(150, QTextBlockFormat::ProportionalHeight); break;
    case 2: format.setLineHeight(200, QTextBlockFormat::ProportionalHeight); break;
    case 3:
        format.setLineHeight(r.dyLineSpacing / RichDocumentUnit::TwipsPerPixel, QTextBlockFormat::MinimumHeight);
        break;
    case 4:
        format.setLineHeight(r.dyLineSpacing / RichDocumentUnit::TwipsPerPixel, QTextBlockFormat::FixedHeight);
        break;
    case 5: format.setLineHeight(r.dyLineSpacing * 5.0, QTextBlockFormat::ProportionalHeight); break;
    default:
        format.clearProperty(QTextFormat::LineHeight);
        format.clearProperty(QTextFormat::LineHeightType);
        break;
    }
}

DWORD SameParaMask(const PARAFORMAT2& a, const PARAFORMAT2& b)
{
    DWORD mask = 0;
    auto same = [&](DWORD bits, bool equal) {
        if (equal)
            mask |= bits;
    };
    same(PFM_STARTINDENT, a.dxStartIndent == b.dxStartIndent);
    same(PFM_RIGHTINDENT, a.dxRightIndent == b.dxRightIndent);
    same(PFM_OFFSET, a.dxOffset == b.dxOffset);
    same(PFM_ALIGNMENT, a.wAlignment == b.wAlignment);
    const int tabs = std::clamp<int>(a.cTabCount, 0, MAX_TAB_STOPS);
    same(PFM_TABSTOPS, a.cTabCount == b.cTabCount && std::equal(a.rgxTabs, a.rgxTabs + tabs, b.rgxTabs));
    same(PFM_NUMBERING, a.wNumbering == b.wNumbering);
    same(PFM_SPACEBEFORE, a.dySpaceBefore == b.dySpaceBefore);
    same(PFM_SPACEAFTER, a.dySpaceAfter == b.dySpaceAfter);
    same(PFM_LINESPACING, a.dyLineSpacing == b.dyLineSpacing && a.bLineSpacingRule == b.bLineSpacingRule);
    same(PFM_STYLE, a.sStyle == b.sStyle);
    same(PFM_NUMBERINGSTYLE, a.wNumberingStyle == b.wNumberingStyle);
    same(PFM_NUMBERINGTAB, a.wNumberingTab == b.wNumberingTab);
    same(PFM_NUMBERINGSTART, a.wNumberingStart == b.wNumberingStart);
    same(PFM_TABLE, (a.wEffects & RichTableBits) == (b.wEffects & RichTableBits));
    return mask;
}

bool MergeParaRecord(PARAFORMAT2& r, const PARAFORMAT2& c, DWORD mask)
{
    if ((mask & PFM_ALIGNMENT) && (c.wAlignment < PFA_LEFT || c.wAlignment > PFA_JUSTIFY))
        return false;
    if ((mask & PFM_NUMBERING) && c.wNumbering > PFN_UCROMAN)
        return false;
    if ((mask & PFM_LINESPACING) && c.bLineSpacingRule > 5)
        return false;
    if (mask & PFM_OFFSETINDENT)
        r.dxStartIndent = std::max<LONG>(0, r.dxStartIndent + c.dxStartIndent);
    else if (mask & PFM_STARTINDENT)
        r.dxStartIndent = c.dxStartIndent;
    if (mask & PFM_RIGHTINDENT)
        r.dxRightIndent = c.dxRightIndent;
    if (mask & PFM_OFFSET)
        r.dxOffset = c.dxOffset;
    if (mask & PFM_ALIGNMENT)
        r.wAlignment = c.wAlignment;
    if (mask & PFM_TABSTOPS) {
        r.cTabCount = static_cast<SHORT>(std::clamp<int>(c.cTabCount, 0, MAX_TAB_STOPS));
        std::copy(c.rgxTabs, c.rgxTabs + r.cTabCount, r.rgxTabs);
        std::fill(r.rgxTabs + r.cTabCount, r.rgxTabs + MAX_TAB_STOPS, 0);
    }
    if (mask & PFM_NUMBERING)
        r.wNumbering = c.wNumbering;
    if (mask & PFM_SPACEBEFORE)
        r.dySpaceBefore = std::max<LONG>(0, c.dySpaceBefore);
    if (mask & PFM_SPACEAFTER)
        r.dySpaceAfter = std::max<LONG>(0, c.dySpaceAfter);
    if (mask & PFM_LINESPACING) {
        r.bLineSpacingRule = c.bLineSpacingRule;
        r.dyLineSpacing = c.dyLineSpacing;
    }
    if (mask & PFM_STYLE)
        r.sStyle = c.sStyle;
    if (mask & PFM_NUMBERINGSTYLE)
        r.wNumberingStyle = c.wNumberingStyle;
    if (mask & PFM_NUMBERINGTAB)
        r.wNumberingTab = c.wNumberingTab;
    if (mask & PFM_NUMBERINGSTART)
        r.wNumberingStart = c.wNumberingStart;
    if (mask & PFM_TABLE)
        r.wEffects = static_cast<WORD>((r.wEffects & ~RichTableBits) | (c.wEffects & RichTableBits));
    return true;
}

// --- The document -------------------------------------------------------------------------------

TRichDocument::TRichDocument(TBreakCount breaks)
    : FDocument(std::make_unique<QTextDocument>()), FBreaks(breaks), FTextLimit(RichMaxTextLimit),
      FDefaultFormat(DefaultRichCharFormat())
{
    FDocument->setUndoRedoEnabled(true);
    Clear();
}

TRichDocument::~TRichDocument() = default;

void TRichDocument::SetTextLimit(int limit)
{
    FTextLimit = limit <= 0 || limit > RichMaxTextLimit ? RichMaxTextLimit : limit;
}

void TRichDocument::Clear()
{
    FDocument->clear();
    QTextCursor cursor(FDocument.get());
    QTextCharFormat format;
    ApplyCharRecord(format, FDefaultFormat);
    QTextBlockFormat block;
    ApplyParaRecord(block, DefaultRichParaFormat());
    cursor.setBlockFormat(block);
    cursor.setBlockCharFormat(format);
}

// --- Positions -------------------------------------------------------------------------------------

int TRichDocument::ToQt(int pos) const
{
    const int qtLength = FDocument->characterCount() - 1;
    if (pos <= 0)
        return 0;
    if (FBreaks == TBreakCount::Cr)
        return std::min(pos, qtLength);
    // The paragraph whose first position (its Qt position plus one per earlier break) is the
    // last one at or before pos.
    int low = 0, high = FDocument->blockCount() - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (FDocument->findBlockByNumber(middle).position() + middle <= pos)
            low = middle;
        else
            high = middle - 1;
    }
    const QTextBlock block = FDocument->findBlockByNumber(low);
    const int offset = std::min(pos - (block.position() + low), block.length() - 1);
    return std::min(block.position() + offset, qtLength);
}

int TRichDocument::FromQt(int qtPos) const
{
    qtPos = std::clamp(qtPos, 0, FDocument->characterCount() - 1);
    if (FBreaks == TBreakCount::Cr)
        return qtPos;
    return qtPos + FDocument->findBlock(qtPos).blockNumber();
}

int TRichDocument::TextLength() const
{
    return FromQt(FDocument->characterCount() - 1);
}

TRichDocument::TQtRange TRichDocument::QtRange(const CHARRANGE* range) const
{
    const int end = FDocument->characterCount() - 1;
    if (range == nullptr)
        return {0, end};
    int from = range->cpMin < 0 ? 0 : ToQt(range->cpMin);
    int to = range->cpMax < 0 ? end : ToQt(range->cpMax);
    if (range->cpMin < 0 && range->cpMax < 0)
        from = to = end;
    if (from > to)
        std::swap(from, to);
    return {from, to};
}

std::string TRichDocument::TextRange(int from, int to) const
{
    const CHARRANGE range{from, to};
    const TQtRange qt = QtRange(&range);
    if (qt.From >= qt.To)
        return {};
    QTextCursor cursor(FDocument.get());
    cursor.setPosition(qt.From);
    cursor.setPosition(qt.To, QTextCursor::KeepAnchor);
    const QStringList paragraphs = cursor.selectedText().split(QChar::ParagraphSeparator);
    const char* const separator = FBreaks == TBreakCount::CrLf ? "\r\n" : "\r";
    std::string text;
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            text += separator;
        text += RichDocumentUnit::AnsiText(paragraphs[i]);
    }
    return text;
}

int TRichDocument::ParagraphCount() const { return FDocument->blockCount(); }

int TRichDocument::ParagraphOf(int pos) const { return FDocument->findBlock(ToQt(pos)).blockNumber(); }

int TRichDocument::ParagraphStart(int paragraph) const
{
    const QTextBlock block = FDocument->findBlockByNumber(std::clamp(paragraph, 0, ParagraphCount() - 1));
    return FromQt(block.position());
}

int TRichDocument::ParagraphLength(int paragraph) const
{
    const QTextBlock block = FDocument->findBlockByNumber(paragraph);
    return block.isValid() ? block.length() - 1 : 0;
}

// --- Formats ---------------------------------------------------------------------------------------

QTextCharFormat TRichDocument::FormatAt(int qtPos) const
{
    // The character at qtPos, or the paragraph mark of an empty paragraph.
    const QTextBlock block = FDocument->findBlock(qtPos);
    int position = block.position();
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        position += fragment.length();
        if (qtPos < position)
            return fragment.charFormat();
    }
    return block.charFormat();
}

bool TRichDocument::GetCharFormat(const CHARRANGE* range, CHARFORMAT2A& format, UINT recordSize) const
{
    if (recordSize != sizeof(CHARFORMATA) && recordSize != sizeof(CHARFORMAT2A))
        return false;
    CHARFORMAT2A result = FDefaultFormat;
    result.dwMask = RichCharMask;
    if (range != nullptr) {
        const TQtRange qt = QtRange(range);
        if (qt.From == qt.To) {
            // The caret: the character before it, or at a paragraph's start the one after it.
            const QTextBlock block = FDocument->findBlock(qt.From);
            result = RecordOf(FormatAt(qt.From > block.position() ? qt.From - 1 : qt.From));
        } else {
            bool first = true;
            int lastIndex = -1;
            for (QTextBlock block = FDocument->findBlock(qt.From); block.isValid() && block.position() < qt.To;
                 block = block.next()) {
                // Fragments follow one another: their positions are summed rather than looked up.
                int position = block.position();
                for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                    const QTextFragment fragment = it.fragment();
                    const int start = position;
                    position += fragment.length();
                    if (position <= qt.From)
                        continue;
                    if (start >= qt.To)
                        break;
                    if (fragment.charFormatIndex() == lastIndex)
                        continue;
                    lastIndex = fragment.charFormatIndex();
                    const CHARFORMAT2A& record = RecordOfIndex(lastIndex, fragment.charFormat());
                    if (first) {
                        result = record;
                        first = false;
                    } else {
                        result.dwMask &= SameCharMask(result, record);
                    }
                }
            }
            if (first)
                result = RecordOf(FDocument->findBlock(qt.From).charFormat());
        }
    }
    if (recordSize == sizeof(CHARFORMATA)) {
        result.dwMask &= CFM_ALL;
        result.dwEffects &= CFM_EFFECTS | CFE_AUTOCOLOR;
    }
    result.cbSize = recordSize;
    std::memcpy(&format, &result, recordSize);
    return true;
}

bool TRichDocument::SetCharFormat(const CHARRANGE* range, const CHARFORMAT2A& format)
{
    if (format.cbSize != sizeof(CHARFORMATA) && format.cbSize != sizeof(CHARFORMAT2A))
        return false;
    CHARFORMAT2A change;
    std::memcpy(&change, &format, format.cbSize);
    DWORD mask = change.dwMask & RichCharMask;
    if (format.cbSize == sizeof(CHARFORMATA))
        mask &= CFM_ALL;
    if (range == nullptr) {
        MergeCharRecord(FDefaultFormat, change, mask);
        if (FDocument->isEmpty()) {
            QTextCursor cursor(FDocument.get());
            QTextCharFormat mark = cursor.blockCharFormat();
            ApplyCharRecord(mark, FDefaultFormat);
            cursor.setBlockCharFormat(mark);
        }
        return true;
    }
    const TQtRange qt = QtRange(range);
    QTextCursor cursor(FDocument.get());
    cursor.beginEditBlock();
    if (qt.From == qt.To) {
        // At the caret only an empty paragraph's mark changes; the window keeps the typing format.
        const QTextBlock block = FDocument->findBlock(qt.From);
        if (block.length() == 1) {
            cursor.setPosition(block.position());
            QTextCharFormat mark = block.charFormat();
            CHARFORMAT2A record = RecordOf(mark);
            MergeCharRecord(record, change, mask);
            ApplyCharRecord(mark, record);
            cursor.setBlockCharFormat(mark);
        }
    }
    // Each run keeps what the mask does not name.
    struct TPiece {
        int From, To;
        QTextCharFormat Format;
    };
    std::vector<TPiece> pieces;
    for (QTextBlock block = FDocument->findBlock(qt.From); block.isValid() && block.position() < qt.To;
         block = block.next()) {
        int position = block.position();
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = std::max(position, qt.From);
            position += fragment.length();
            const int to = std::min(position, qt.To);
            if (from < to)
                pieces.push_back({from, to, fragment.charFormat()});
        }
    }
    for (TPiece& piece : pieces) {
        CHARFORMAT2A record = RecordOf(piece.Format);
        MergeCharRecord(record, change, mask);
        ApplyCharRecord(piece.Format, record);
        cursor.setPosition(piece.From);
        cursor.setPosition(piece.To, QTextCursor::KeepAnchor);
        cursor.setCharFormat(piece.Format);
    }
    cursor.endEditBlock();
    return true;
}

bool TRichDocument::GetParaFormat(const CHARRANGE& range, PARAFORMAT2& format, UINT recordSize) const
{
    if (recordSize != sizeof(PARAFORMAT) && recordSize != sizeof(PARAFORMAT2))
        return false;
    const TQtRange qt = QtRange(&range);
    const QTextBlock last = FDocument->findBlock(qt.To > qt.From ? qt.To - 1 : qt.To);
    QTextBlock block = FDocument->findBlock(qt.From);
    PARAFORMAT2 result = ParaRecordOf(block.blockFormat());
    for (block = block.next(); block.isValid() && block.blockNumber() <= last.blockNumber(); block = block.next())
        result.dwMask &= SameParaMask(result, ParaRecordOf(block.blockFormat()));
    if (recordSize == sizeof(PARAFORMAT))
        result.dwMask &= PFM_ALL;
    result.cbSize = recordSize;
    std::memcpy(&format, &result, recordSize);
    return true;
}

bool TRichDocument::SetParaFormat(const CHARRANGE& range, const PARAFORMAT2& format)
{
    if (format.cbSize != sizeof(PARAFORMAT) && format.cbSize != sizeof(PARAFORMAT2))
        return false;
    PARAFORMAT2 change;
    std::memcpy(&change, &format, format.cbSize);
    DWORD mask = change.dwMask & (RichParaMask | PFM_OFFSETINDENT);
    if (format.cbSize == sizeof(PARAFORMAT))
        mask &= PFM_ALL;
    const TQtRange qt = QtRange(&range);
    const int lastNumber = FDocument->findBlock(qt.To > qt.From ? qt.To - 1 : qt.To).blockNumber();
    std::vector<std::pair<int, QTextBlockFormat>> changes;
    for (QTextBlock block = FDocument->findBlock(qt.From); block.isValid() && block.blockNumber() <= lastNumber;
         block = block.next()) {
        PARAFORMAT2 record = ParaRecordOf(block.blockFormat());
        if (!MergeParaRecord(record, change, mask))
            return false;
        QTextBlockFormat blockFormat = block.blockFormat();
        ApplyParaRecord(blockFormat, record);
        changes.emplace_back(block.position(), blockFormat);
    }
    QTextCursor cursor(FDocument.get());
    cursor.beginEditBlock();
    for (const auto& [position, blockFormat] : changes) {
        cursor.setPosition(position);
        cursor.setBlockFormat(blockFormat);
    }
    cursor.endEditBlock();
    return true;
}

// --- Editing ---------------------------------------------------------------------------------------

void TRichDocument::Replace(int from, int to, const std::string& text)
{
    const CHARRANGE range{from, to};
    const TQtRange qt = QtRange(&range);
    QTextCursor cursor(FDocument.get());
    cursor.setPosition(qt.From);
    const QTextBlock block = cursor.block();
    QTextCharFormat format;
    if (qt.From < qt.To)
        format = FormatAt(qt.From);
    else
        format = FormatAt(qt.From > block.position() ? qt.From - 1 : qt.From);
    format = RichDocumentUnit::WithoutObject(format);
    cursor.beginEditBlock();
    cursor.setPosition(qt.To, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    const std::vector<std::string> paragraphs = RichDocumentUnit::SplitParagraphs(text);
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            cursor.insertBlock(cursor.blockFormat(), format);
        if (!paragraphs[i].empty())
            cursor.insertText(RichDocumentUnit::QtText(paragraphs[i]), format);
    }
    cursor.endEditBlock();
}

// --- Content ---------------------------------------------------------------------------------------

TRichContent TRichDocument::Extract(int qtFrom, int qtTo) const
{
    TRichContent content;
    std::unordered_map<int, int> styles; // format index -> style
    auto styleOf = [&](const QTextCharFormat& format, int formatIndex) {
        const auto found = styles.find(formatIndex);
        if (found != styles.end())
            return found->second;
        TRichCharStyle style;
        style.Format = RecordOf(format);
        const QByteArray instruction = format.property(rpFieldInstruction).toByteArray();
        style.FieldInstruction.assign(instruction.constData(), static_cast<std::size_t>(instruction.size()));
        style.FieldId = RichDocumentUnit::IntProperty(format, rpFieldId);
        const int index = content.StyleIndex(style);
        styles.emplace(formatIndex, index);
        return index;
    };
    for (QTextBlock block = FDocument->findBlock(qtFrom); block.isValid(); block = block.next()) {
        // A paragraph that starts where the range ends belongs to it only as the document's last.
        const bool atEnd = qtTo >= FDocument->characterCount() - 1;
        if (block.position() > qtTo || (block.position() == qtTo && !content.Paragraphs.empty() && !atEnd))
            break;
        TRichParagraph& paragraph = content.Paragraphs.emplace_back();
        paragraph.Format = ParaRecordOf(block.blockFormat());
        paragraph.MarkStyle = styleOf(block.charFormat(), block.charFormatIndex());
        int position = block.position();
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int start = position;
            position += fragment.length();
            const int from = std::max(start, qtFrom);
            const int to = std::min(position, qtTo);
            if (from >= to)
                continue;
            const QTextCharFormat format = fragment.charFormat();
            const int style = styleOf(format, fragment.charFormatIndex());
            const QString text = fragment.text().mid(from - start, to - from);
            if (RichDocumentUnit::IsObject(format)) {
                for (QChar c : text) {
                    TRichRun& run = paragraph.Runs.emplace_back();
                    run.Style = style;
                    if (c == QChar::ObjectReplacementCharacter) {
                        run.Object = static_cast<int>(content.Objects.size());
                        content.Objects.push_back(RichDocumentUnit::ObjectOf(format));
                    } else {
                        run.Text = RichDocumentUnit::AnsiText(QString(c));
                    }
                }
                continue;
            }
            if (!paragraph.Runs.empty() && paragraph.Runs.back().Style == style && paragraph.Runs.back().Object < 0)
                paragraph.Runs.back().Text += RichDocumentUnit::AnsiText(text);
            else
                paragraph.Runs.push_back({style, RichDocumentUnit::AnsiText(text), -1});
        }
    }
    if (content.Paragraphs.empty())
        content.Paragraphs.emplace_back();
    return content;
}

void TRichDocument::Insert(const TRichContent& content, int qtPos, bool wholeDocument)
{
    std::vector<QTextCharFormat> formats;
    formats.reserve(content.Styles.size());
    for (const TRichCharStyle& style : content.Styles) {
        QTextCharFormat& format = formats.emplace_back();
        ApplyCharRecord(format, style.Format);
        if (style.FieldId != 0) {
            format.setProperty(rpFieldInstruction, QByteArray(style.FieldInstruction.data(),
                                                              static_cast<qsizetype>(style.FieldInstruction.size())));
            format.setProperty(rpFieldId, style.FieldId);
        }
    }
    auto blockFormatOf = [](const TRichParagraph& paragraph) {
        QTextBlockFormat format;
        ApplyParaRecord(format, paragraph.Format);
        return format;
    };
    QTextCursor cursor(FDocument.get());
    cursor.setPosition(qtPos);
    const QTextBlockFormat original = cursor.blockFormat();
    const std::size_t count = content.Paragraphs.size();
    if (wholeDocument || count > 1)
        cursor.setBlockFormat(blockFormatOf(content.Paragraphs.front()));
    for (std::size_t i = 0; i < count; ++i) {
        const TRichParagraph& paragraph = content.Paragraphs[i];
        if (i > 0) {
            const bool last = i + 1 == count;
            const QTextCharFormat mark = paragraph.MarkStyle >= 0
                                             ? formats[static_cast<std::size_t>(paragraph.MarkStyle)]
                                             : cursor.blockCharFormat();
            cursor.insertBlock(last && !wholeDocument ? original : blockFormatOf(paragraph), mark);
        } else if (wholeDocument && paragraph.MarkStyle >= 0) {
            cursor.setBlockCharFormat(formats[static_cast<std::size_t>(paragraph.MarkStyle)]);
        }
        for (const TRichRun& run : paragraph.Runs) {
            const QTextCharFormat& format = formats[static_cast<std::size_t>(run.Style)];
            if (run.Object >= 0) {
                QTextCharFormat objectFormat = format;
                RichDocumentUnit::ApplyObject(objectFormat, content.Objects[static_cast<std::size_t>(run.Object)]);
                cursor.insertText(QString(QChar::ObjectReplacementCharacter), objectFormat);
            } else if (!run.Text.empty()) {
                cursor.insertText(RichDocumentUnit::QtText(run.Text), format);
            }
        }
    }
}

// --- Streams ---------------------------------------------------------------------------------------

bool TRichDocument::LoadText(const std::string& bytes, bool unicode, const CHARRANGE* range)
{
    std::string text;
    if (unicode) {
        std::u16string wide(bytes.size() / 2, u'\0');
        for (std::size_t i = 0; i < wide.size(); ++i)
            wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                            static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
        if (!wide.empty() && wide.front() == u'\xFEFF')
            wide.erase(0, 1);
        text = Utf16ToAnsi(wide);
    } else {
        text = bytes;
    }
    if (range == nullptr) {
        FDocument->setUndoRedoEnabled(false);
        Clear();
    }
    const TQtRange qt = QtRange(range);
    const int room = FTextLimit - (FDocument->characterCount() - 1 - (qt.To - qt.From));
    if (static_cast<int>(text.size()) > std::max(0, room))
        text.resize(static_cast<std::size_t>(std::max(0, room)));
    const CHARRANGE replaced{FromQt(qt.From), FromQt(qt.To)};
    Replace(replaced.cpMin, replaced.cpMax, text);
    if (range == nullptr)
        FDocument->setUndoRedoEnabled(true);
    return true;
}

std::string TRichDocument::SaveText(const CHARRANGE* range, bool unicode) const
{
    const TQtRange qt = QtRange(range);
    std::string text;
    if (qt.From < qt.To) {
        QTextCursor cursor(FDocument.get());
        cursor.setPosition(qt.From);
        cursor.setPosition(qt.To, QTextCursor::KeepAnchor);
        QString selected = cursor.selectedText();
        selected.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
        text = RichDocumentUnit::AnsiText(selected);
    }
    if (!unicode)
        return text;
    const std::u16string wide = AnsiToUtf16(text);
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (char16_t c : wide) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

bool TRichDocument::LoadRtf(const std::string& bytes, const CHARRANGE* range, std::string& error)
{
    const TQtRange qt = QtRange(range);
    const int kept = range == nullptr ? 0 : FDocument->characterCount() - 1 - (qt.To - qt.From);
    TRichContent content;
    if (!ReadRtf(bytes, content, std::max(0, FTextLimit - kept), error))
        return false;
    if (range == nullptr) {
        FDocument->setUndoRedoEnabled(false);
        FDocument->clear();
        Insert(content, 0, true);
        FDocument->setUndoRedoEnabled(true);
        return true;
    }
    QTextCursor cursor(FDocument.get());
    cursor.beginEditBlock();
    cursor.setPosition(qt.From);
    cursor.setPosition(qt.To, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    Insert(content, qt.From, false);
    cursor.endEditBlock();
    return true;
}

std::string TRichDocument::SaveRtf(const CHARRANGE* range, bool noObjects) const
{
    const TQtRange qt = QtRange(range);
    return WriteRtf(Extract(qt.From, qt.To), noObjects);
}

QImage TRichDocument::ObjectImage(const QTextCharFormat& format)
{
    if (!RichDocumentUnit::IsObject(format))
        return {};
    const TRichObject object = RichDocumentUnit::ObjectOf(format);
    const std::string& group = object.Kind == TRichObjectKind::Object ? object.ResultGroup : object.Group;
    const QByteArray bytes(group.data(), static_cast<qsizetype>(group.size()));
    const QByteArray data = RichDocumentUnit::PictureBytes(bytes);
    switch (object.PictureType) {
    case TRichPictureType::Png: return QImage::fromData(data, "PNG");
    case TRichPictureType::Jpeg: return QImage::fromData(data, "JPEG");
    case TRichPictureType::Dib: return QImage::fromData(RichDocumentUnit::BmpFileOf(data), "BMP");
    default: return {};
    }
}
