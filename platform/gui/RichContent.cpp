#include "platform/gui/private/RichContent.h"

#include "platform/gui/GdiObjects.h"

CHARFORMAT2A DefaultRichCharFormat()
{
    CHARFORMAT2A format;
    format.dwMask = RichCharMask;
    format.dwEffects = CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR;
    format.yHeight = 200;
    format.bCharSet = ANSI_CHARSET;
    format.bPitchAndFamily = FF_SWISS;
    std::strcpy(format.szFaceName, "Arial");
    format.wWeight = FW_NORMAL;
    return format;
}

PARAFORMAT2 DefaultRichParaFormat()
{
    PARAFORMAT2 format;
    format.dwMask = RichParaMask;
    format.wAlignment = PFA_LEFT;
    return format;
}

bool SameCharFormat(const CHARFORMAT2A& a, const CHARFORMAT2A& b)
{
    return (a.dwEffects & RichCharEffects) == (b.dwEffects & RichCharEffects) && a.yHeight == b.yHeight &&
           a.yOffset == b.yOffset && a.bCharSet == b.bCharSet && a.bPitchAndFamily == b.bPitchAndFamily &&
           std::strncmp(a.szFaceName, b.szFaceName, sizeof a.szFaceName) == 0 && a.wWeight == b.wWeight &&
           a.bUnderlineType == b.bUnderlineType && a.bRevAuthor == b.bRevAuthor &&
           ((a.dwEffects & CFE_AUTOCOLOR) != 0 || a.crTextColor == b.crTextColor) &&
           ((a.dwEffects & CFE_AUTOBACKCOLOR) != 0 || a.crBackColor == b.crBackColor);
}

bool SameParaFormat(const PARAFORMAT2& a, const PARAFORMAT2& b)
{
    if (a.cTabCount != b.cTabCount)
        return false;
    for (int i = 0; i < a.cTabCount && i < MAX_TAB_STOPS; ++i)
        if (a.rgxTabs[i] != b.rgxTabs[i])
            return false;
    return a.wNumbering == b.wNumbering && (a.wEffects & RichTableBits) == (b.wEffects & RichTableBits) &&
           a.dxStartIndent == b.dxStartIndent && a.dxRightIndent == b.dxRightIndent && a.dxOffset == b.dxOffset &&
           a.wAlignment == b.wAlignment && a.dySpaceBefore == b.dySpaceBefore && a.dySpaceAfter == b.dySpaceAfter &&
           a.dyLineSpacing == b.dyLineSpacing && a.sStyle == b.sStyle && a.bLineSpacingRule == b.bLineSpacingRule &&
           a.wNumberingStart == b.wNumberingStart && a.wNumberingStyle == b.wNumberingStyle &&
           a.wNumberingTab == b.wNumberingTab;
}

namespace RichContentUnit {

void AppendNumber(std::string& key, long long value)
{
    key += std::to_string(value);
    key += ',';
}

// A text that two styles share exactly when they are the same.
std::string StyleKey(const TRichCharStyle& style)
{
    const CHARFORMAT2A& f = style.Format;
    std::string key;
    AppendNumber(key, f.dwEffects & RichCharEffects);
    AppendNumber(key, f.yHeight);
    AppendNumber(key, f.yOffset);
    AppendNumber(key, (f.dwEffects & CFE_AUTOCOLOR) ? -1 : static_cast<long long>(f.crTextColor));
    AppendNumber(key, (f.dwEffects & CFE_AUTOBACKCOLOR) ? -1 : static_cast<long long>(f.crBackColor));
    AppendNumber(key, f.bCharSet);
    AppendNumber(key, f.bPitchAndFamily);
    AppendNumber(key, f.wWeight);
    AppendNumber(key, f.bUnderlineType);
    AppendNumber(key, f.bRevAuthor);
    AppendNumber(key, style.FieldId);
    key.append(f.szFaceName, strnlen(f.szFaceName, sizeof f.szFaceName));
    key += '\0';
    key += style.FieldInstruction;
    return key;
}

} // namespace RichContentUnit

int TRichContent::StyleIndex(const TRichCharStyle& style)
{
    if (!Styles.empty() && Styles.back() == style)
        return static_cast<int>(Styles.size()) - 1;
    const auto [where, added] = FStyleIndexes.try_emplace(RichContentUnit::StyleKey(style),
                                                           static_cast<int>(Styles.size()));
    if (added)
        Styles.push_back(style);
    return where->second;
}
