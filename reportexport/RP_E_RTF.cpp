#include "reportexport/RP_E_RTF.h"

#include "reportexport/MetafileWriter.h"

#include "report/rpPictureView.h"

#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"

#include <algorithm>
#include <cstdio>

namespace {

// Page pixels to twips.
std::int64_t Twips(int pixels) { return Round(pixels / 1.3 * 20); }

std::string RtfText(const std::string& text)
{
    static const char digits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '{' || c == '}') {
            escaped += '\\';
            escaped += c;
        } else if (byte >= 0x80) {
            escaped += "\\'";
            escaped += digits[byte >> 4];
            escaped += digits[byte & 15];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string HexLE(std::uint32_t value, int bytes)
{
    std::string hex;
    char pair[3];
    for (int i = 0; i < bytes; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", (value >> (8 * i)) & 0xFF);
        hex += pair;
    }
    return hex;
}

std::string HexBytes(const std::string& bytes)
{
    std::string hex;
    for (char c : bytes)
        hex += HexLE(static_cast<unsigned char>(c), 1);
    return hex;
}

std::uint32_t ReadLE32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// The entries gathered into lines of at most 254 characters.
std::string WrappedTable(std::string gathered, const std::vector<std::string>& entries)
{
    std::string table;
    for (const std::string& entry : entries) {
        if (gathered.size() + entry.size() > 254) {
            table += gathered + "\r\n";
            gathered.clear();
        }
        gathered += entry;
    }
    return table + gathered + "}\r\n";
}

// The style attributes that change between two pieces; those that go off are switched off.
std::string StyleChange(int previous, int style)
{
    struct TAttribute {
        int Bit;
        const char* On;
        const char* Off;
    };
    static const TAttribute attributes[] = {{1, "\\i", "\\i0"}, {2, "\\b", "\\b0"}, {4, "\\ul", "\\ulnone"}};
    std::string change;
    for (const TAttribute& attribute : attributes) {
        if (style & attribute.Bit)
            change += attribute.On;
        else if (previous & attribute.Bit)
            change += attribute.Off;
    }
    return change;
}

} // namespace

TrpRTFExportFilter::TrpRTFExportFilter(TStream* stream) : TrpTextExportFilter(stream)
{
    WriteText("{\\rtf1\\ansi\r\n");
}

void TrpRTFExportFilter::OnData(int x, int y, TrpView* view)
{
    auto* pictureView = dynamic_cast<TrpPictureView*>(view);
    if (!pictureView)
        return;
    TGraphic* graphic = pictureView->Picture->Graphic();
    if (!rpPictureView::Drawable(graphic))
        return;
    TMemoryStream bitmap;
    rpPictureView::WriteAsBitmap(graphic, bitmap);
    TPagePicture picture;
    picture.X = x;
    picture.Y = y;
    picture.Width = view->Width;
    picture.Height = view->Height;
    picture.PictureWidth = graphic->Width();
    picture.PictureHeight = graphic->Height();
    picture.Bitmap.assign(bitmap.Memory(), static_cast<std::size_t>(bitmap.Size()));
    Pictures.push_back(std::move(picture));
}

void TrpRTFExportFilter::OnEndPage()
{
    // A section break rather than \page: a page break char would sit in the paragraph that the
    // next page's first picture frame opens, and word processors then drop the frame's position.
    if (PageWritten)
        Body += "\\sect\r\n";
    for (const TPagePicture& picture : Pictures)
        WritePicture(picture);
    const int lastLine = LastTextLine();
    for (int line = 0; line <= lastLine; ++line)
        WriteTextLine(FirstItem(line));
    PageWritten = true;
    Pictures.clear();
}

// The bitmap goes into a metafile of one stretched-DIB record, as word processors expect.
void TrpRTFExportFilter::WritePicture(const TPagePicture& picture)
{
    constexpr std::size_t FileHeaderSize = 14;
    if (picture.Bitmap.size() <= FileHeaderSize)
        return;
    Body += "\\pard\\phmrg\\posx" + std::to_string(Twips(picture.X)) + "\\posy" + std::to_string(Twips(picture.Y)) +
            "\\absh" + std::to_string(Twips(picture.Height)) + "\\absw" + std::to_string(Twips(picture.Width)) +
            "{\\pict\\wmetafile8\\picw" + std::to_string(Round(picture.Width * 26.46875)) + "\\pich" +
            std::to_string(Round(picture.Height * 26.46875)) + " \\picbmp\\picbpp4\r\n";

    const std::size_t dibSize = picture.Bitmap.size() - FileHeaderSize;
    const std::uint32_t fileSize = ReadLE32(picture.Bitmap, 2);
    const std::uint32_t words = fileSize / 2 + 7;
    const std::string h = HexLE(static_cast<std::uint32_t>(picture.PictureHeight), 2);
    const std::string w = HexLE(static_cast<std::uint32_t>(picture.PictureWidth), 2);
    Body += "010009000003" + HexLE(words + 36, 4) + "0000" + HexLE(words, 4) + "0000" +
            "050000000b0200000000" + "050000000c02" + h + w +
            "05000000090200000000" + "050000000102ffffff00" + "0400000007010300" +
            HexBytes(MetafileWriter::StretchDibRecordHead(static_cast<std::uint32_t>(dibSize), picture.PictureWidth,
                                                          picture.PictureHeight)) +
            "\r\n";

    static const char digits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < dibSize; ++i) {
        const auto byte = static_cast<unsigned char>(picture.Bitmap[FileHeaderSize + i]);
        Body += digits[byte >> 4];
        Body += digits[byte & 15];
        if (i % 64 == 63)
            Body += "\r\n";
    }
    Body += "030000000000}\\par\r\n";
}

void TrpRTFExportFilter::WriteTextLine(const TextLineItem* first)
{
    std::string tabStops = "\\pard";
    std::string body;
    std::string previousFont;
    int previousSize = -1;
    int previousStyle = -1;
    TColor previousColor = -1;
    for (const TextLineItem* item = first; item; item = static_cast<const TextLineItem*>(item->Next)) {
        tabStops += "\\tx" + std::to_string(Twips(item->X));
        const TColor color = item->FontColor == clWhite ? 0 : item->FontColor;
        std::string format;
        if (item->FontName != previousFont)
            format += "\\f" + std::to_string(FontIndex(item->FontName));
        if (item->FontSize != previousSize)
            format += "\\fs" + std::to_string(2 * static_cast<std::int64_t>(item->FontSize));
        if (item->FontStyle != previousStyle)
            format += StyleChange(previousStyle < 0 ? 0 : previousStyle, item->FontStyle);
        if (color != previousColor)
            format += "\\cf" + std::to_string(ColorIndex(color) + 1);
        body += "\\tab" + format + " " + RtfText(item->Text);
        previousFont = item->FontName;
        previousSize = item->FontSize;
        previousStyle = item->FontStyle;
        previousColor = color;
    }
    Body += tabStops + "{" + body + "\\par}\r\n";
}

int TrpRTFExportFilter::FontIndex(const std::string& name)
{
    const auto found = std::find(FontList.begin(), FontList.end(), name);
    if (found != FontList.end())
        return static_cast<int>(found - FontList.begin());
    FontList.push_back(name);
    return static_cast<int>(FontList.size()) - 1;
}

int TrpRTFExportFilter::ColorIndex(TColor color)
{
    const auto found = std::find(ColorList.begin(), ColorList.end(), color);
    if (found != ColorList.end())
        return static_cast<int>(found - ColorList.begin());
    ColorList.push_back(color);
    return static_cast<int>(ColorList.size()) - 1;
}

std::string TrpRTFExportFilter::FontTable() const
{
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < FontList.size(); ++i)
        entries.push_back("{\\f" + std::to_string(i) + " " + RtfText(FontList[i]) + "}");
    return WrappedTable("{\\fonttbl", entries);
}

std::string TrpRTFExportFilter::ColorTable() const
{
    std::vector<std::string> entries;
    for (TColor color : ColorList) {
        const auto value = static_cast<std::uint32_t>(color);
        entries.push_back("\\red" + std::to_string(value & 0xFF) + "\\green" + std::to_string((value >> 8) & 0xFF) +
                          "\\blue" + std::to_string((value >> 16) & 0xFF) + ";");
    }
    return WrappedTable("{\\colortbl;", entries);
}

void TrpRTFExportFilter::OnEndDoc()
{
    Body += "\\par}";
    WriteText(FontTable());
    WriteText(ColorTable());
    WriteText(Body);
}

TrpExportFilterClass TrpRTFExportFilter::ClassEntry()
{
    return {"TrpRTFExportFilter", [](TStream* stream) { return new TrpRTFExportFilter(stream); }};
}
