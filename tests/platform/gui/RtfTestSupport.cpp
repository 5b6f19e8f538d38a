#include "RtfTestSupport.h"

#include "tests/TestFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

const char* const WindowsDialectSample =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
    "{\\f1\\fnil\\fcharset2 Symbol;}}\r\n"
    "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
    "\\viewkind4\\uc1\\pard\\f0\\fs20 Testo \\b grassetto\\b0 , \\i corsivo\\i0 , \\ul sottolineato\\ulnone  e "
    "\\cf1 rosso\\cf0 .\\par\r\n"
    "\\pard\\qc Centrato\\par\r\n"
    "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-720\\li720 Punto\\par\r\n"
    "\\pard Prezzo:\\tab\\'80 10, caff\\'e8\\par\r\n"
    "}\r\n";

const char* const ObjectSample =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
    "\\viewkind4\\uc1\\pard\\f0\\fs20 Foto {\\pict\\pngblip\\picw1\\pich1\\picwgoal300\\pichgoal150 "
    "89504e470d0a1a0a0000000d49484452000000010000000108020000009077\r\n"
    "53de0000000c4944415408d763f8cfc000000301010018dd8db00000000049454e44ae426082}"
    " e oggetto {\\object\\objemb{\\*\\objclass Paint.Picture}\\objw2000\\objh1000{\\*\\objdata "
    "0105000002000000}{\\result{\\pict\\wmetafile8\\picw100\\pich50\\picwgoal2000\\pichgoal1000 "
    "0100090000}}} fine.\\par\r\n"
    "}\r\n";

std::string RtfSampleFile(const std::string& name)
{
    std::ifstream file(std::string(TestFixtureDir()) + "/rtf/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::unique_ptr<TRichDocument> LoadRtfDocument(const std::string& rtf, TBreakCount breaks)
{
    auto document = std::make_unique<TRichDocument>(breaks);
    std::string error;
    EXPECT_TRUE(document->LoadRtf(rtf, nullptr, error)) << error;
    return document;
}

CHARFORMAT2A CharFormatAt(const TRichDocument& document, int from, int to)
{
    CHARFORMAT2A format;
    const CHARRANGE range{from, to};
    EXPECT_TRUE(document.GetCharFormat(&range, format, sizeof format));
    return format;
}

PARAFORMAT2 ParaFormatAt(const TRichDocument& document, int pos)
{
    PARAFORMAT2 format;
    EXPECT_TRUE(document.GetParaFormat({pos, pos}, format, sizeof format));
    return format;
}

int PositionOf(const TRichDocument& document, const std::string& text)
{
    const std::size_t found = document.Text().find(text);
    return found == std::string::npos ? -1 : static_cast<int>(found);
}

std::string DifferenceBetween(const TRichDocument& a, const TRichDocument& b)
{
    if (a.Text() != b.Text())
        return "text \"" + a.Text() + "\" against \"" + b.Text() + "\"";
    const int length = a.TextLength();
    for (int pos = 0; pos < length; ++pos) {
        const CHARFORMAT2A x = CharFormatAt(a, pos, pos + 1);
        const CHARFORMAT2A y = CharFormatAt(b, pos, pos + 1);
        if (!SameCharFormat(x, y))
            return "character format at " + std::to_string(pos);
    }
    for (int paragraph = 0; paragraph < a.ParagraphCount(); ++paragraph) {
        const int pos = a.ParagraphStart(paragraph);
        PARAFORMAT2 x = ParaFormatAt(a, pos);
        PARAFORMAT2 y = ParaFormatAt(b, pos);
        if (!SameParaFormat(x, y))
            return "paragraph format of paragraph " + std::to_string(paragraph);
    }
    return "";
}
