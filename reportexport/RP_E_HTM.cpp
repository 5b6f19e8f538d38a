#include "reportexport/RP_E_HTM.h"

#include <cstdio>

namespace {

std::string HtmlText(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        default:
            // Control bytes have no place in HTML text; the mark shows where one was.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n')
                escaped += "&#xFFFD;";
            else
                escaped += c;
        }
    }
    return escaped;
}

// The HTML font size of a point size; 0 for the sizes the default size covers.
int HtmlFontSize(int points)
{
    if (points >= 10 && points <= 13)
        return 0;
    if (points == 6 || points == 7)
        return 1;
    if (points == 8 || points == 9)
        return 2;
    if (points >= 14 && points <= 17)
        return 4;
    if (points >= 18 && points <= 23)
        return 5;
    if (points >= 24 && points <= 35)
        return 6;
    return 7;
}

std::string HtmlFontTag(const TextLineItem& item)
{
    std::string attributes;
    TColor color = item.FontColor;
    if (color == clWhite || color == clNone)
        color = 0;
    if (color != 0) {
        char digits[7];
        std::snprintf(digits, sizeof digits, "%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
        attributes = std::string("Color=\"#") + digits + "\"";
    }
    // Pieces of other objects have no font, and so no size.
    const int size = item.FromMemo ? HtmlFontSize(item.FontSize) : 0;
    if (size != 0)
        attributes += " Size=" + std::to_string(size);
    return attributes.empty() ? std::string() : "<Font " + attributes + ">";
}

std::string HtmlStyleTags(int style)
{
    std::string tags;
    if (style & 1)
        tags += "<i>";
    if (style & 2)
        tags += "<b>";
    if (style & 4)
        tags += "<u>";
    return tags;
}

// The tags a cell opened, closed in reverse order so that the cell is well formed.
std::string HtmlClosingTags(int style, bool font)
{
    std::string tags;
    if (style & 4)
        tags += "</u>";
    if (style & 2)
        tags += "</b>";
    if (style & 1)
        tags += "</i>";
    if (font)
        tags += "</Font>";
    return tags;
}

} // namespace

TrpHTMExportFilter::TrpHTMExportFilter(TStream* stream) : TrpTextExportFilter(stream)
{
    WriteText("<HTML>\r\n<Body bgColor=\"#FFFFFF\">\r\n<Table>\r\n");
}

void TrpHTMExportFilter::OnEndPage()
{
    const int lastLine = LastTextLine();
    std::string page;
    for (int line = 0; line <= lastLine; ++line) {
        page += "<tr>";
        for (TextLineItem* item = FirstItem(line); item; item = static_cast<TextLineItem*>(item->Next)) {
            const std::string fontTag = HtmlFontTag(*item);
            page += "<td>" + fontTag + HtmlStyleTags(item->FontStyle) + HtmlText(item->Text) +
                    HtmlClosingTags(item->FontStyle, !fontTag.empty()) + "</td>";
        }
        page += "</tr>\r\n";
    }
    WriteText(page);
}

void TrpHTMExportFilter::OnEndDoc()
{
    WriteText("</Table>\r\n</Body>\r\n</HTML>\r\n");
}

TrpExportFilterClass TrpHTMExportFilter::ClassEntry()
{
    return {"TrpHTMExportFilter", [](TStream* stream) { return new TrpHTMExportFilter(stream); }};
}
