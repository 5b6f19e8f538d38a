// RTF written by the document, read by real RTF readers: pandoc finds the text, the emphasis and
// the bullet list, unrtf shows the centred paragraph centred.

#include "GuiTestSupport.h"
#include "RtfTestSupport.h"

#include "platform/rtl/Codepage.h"
#include "tests/TestFixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fstream>

namespace {

void SetEffect(TRichDocument& document, const std::string& word, DWORD effect)
{
    const int at = PositionOf(document, word);
    ASSERT_GE(at, 0) << word;
    CHARFORMAT2A format;
    format.dwMask = effect == CFE_BOLD ? CFM_BOLD : effect == CFE_ITALIC ? CFM_ITALIC : CFM_UNDERLINE;
    format.dwEffects = effect;
    const CHARRANGE range{at, at + static_cast<int>(word.size())};
    ASSERT_TRUE(document.SetCharFormat(&range, format));
}

// The sample every peer reads: emphasis, a centred paragraph, a bullet list, "€ àèìòù".
std::string WrittenSample()
{
    TRichDocument document;
    document.Replace(0, 0, "Hello Bold world, corsivo e sottolineato.\rCentrato\runo\rdue\rtre\r"
                           "\x80 \xE0\xE8\xEC\xF2\xF9");
    SetEffect(document, "Bold", CFE_BOLD);
    SetEffect(document, "corsivo", CFE_ITALIC);
    SetEffect(document, "sottolineato", CFE_UNDERLINE);
    PARAFORMAT2 centred;
    centred.dwMask = PFM_ALIGNMENT;
    centred.wAlignment = PFA_CENTER;
    const int centre = PositionOf(document, "Centrato");
    EXPECT_TRUE(document.SetParaFormat({centre, centre}, centred));
    PARAFORMAT2 bullets;
    bullets.dwMask = PFM_NUMBERING | PFM_STARTINDENT | PFM_OFFSET;
    bullets.wNumbering = PFN_BULLET;
    bullets.dxOffset = 360;
    EXPECT_TRUE(document.SetParaFormat({PositionOf(document, "uno"), PositionOf(document, "tre") + 1}, bullets));
    return document.SaveRtf(nullptr, false);
}

std::string WrittenSampleFile()
{
    const std::string path = std::string(TestBinaryDir()) + "/rich-peers.rtf";
    std::ofstream(path, std::ios::binary) << WrittenSample();
    return path;
}

// The strings of an inline list, joined by spaces.
std::string InlineText(const QJsonArray& inlines)
{
    std::string text;
    for (const QJsonValue& value : inlines) {
        const QJsonObject element = value.toObject();
        const QString type = element["t"].toString();
        if (type == "Str")
            text += element["c"].toString().toStdString();
        else if (type == "Space" || type == "SoftBreak")
            text += " ";
        else if (element["c"].isArray())
            text += InlineText(element["c"].toArray());
    }
    return text;
}

// Every inline element of a type anywhere in the blocks, as text.
void Collect(const QJsonValue& value, const QString& type, std::vector<std::string>& found)
{
    if (value.isArray()) {
        for (const QJsonValue& item : value.toArray())
            Collect(item, type, found);
        return;
    }
    if (!value.isObject())
        return;
    const QJsonObject element = value.toObject();
    if (element["t"].toString() == type)
        found.push_back(element["c"].isArray() ? InlineText(element["c"].toArray()) : "");
    Collect(element["c"], type, found);
}

} // namespace

TEST(RtfPeers, PandocFindsTheTextEmphasisAndList)
{
    const std::string json = RunCommand("sh -c 'pandoc -f rtf -t json \"" + WrittenSampleFile() + "\" 2>/dev/null'");
    const QJsonDocument parsed = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    ASSERT_TRUE(parsed.isObject()) << json;
    const QJsonValue blocks = parsed.object()["blocks"];
    auto all = [&](const char* type) {
        std::vector<std::string> found;
        Collect(blocks, type, found);
        return found;
    };
    EXPECT_EQ(all("Strong"), std::vector<std::string>{"Bold"});
    EXPECT_EQ(all("Emph"), std::vector<std::string>{"corsivo"});
    EXPECT_EQ(all("Underline"), std::vector<std::string>{"sottolineato"});
    const std::vector<std::string> lists = all("BulletList");
    ASSERT_EQ(lists.size(), 1u);
    const QJsonArray paragraphs = blocks.toArray();
    std::string text;
    for (const QJsonValue& block : paragraphs) {
        const QJsonObject element = block.toObject();
        if (element["t"].toString() == "BulletList") {
            ASSERT_EQ(element["c"].toArray().size(), 3);
            for (const QJsonValue& item : element["c"].toArray())
                text += InlineText(item.toArray()[0].toObject()["c"].toArray()) + "|";
        } else {
            text += InlineText(element["c"].toArray()) + "|";
        }
    }
    EXPECT_EQ(text, "Hello Bold world, corsivo e sottolineato.|Centrato|uno|due|tre|" +
                        AnsiToUtf8("\x80 \xE0\xE8\xEC\xF2\xF9") + "|");
}

TEST(RtfPeers, UnrtfShowsTheCentredParagraphCentred)
{
    const std::string html = RunCommand("sh -c 'unrtf --html \"" + WrittenSampleFile() + "\" 2>/dev/null'");
    EXPECT_NE(html.find("<center>Centrato"), std::string::npos) << html;
    EXPECT_EQ(html.find("<center>Hello"), std::string::npos);
}
