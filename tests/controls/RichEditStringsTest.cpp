// The extended rich edit's lines, its RTF and text transfers, conversion objects and the
// extension registry.

#include "ExRichEditTestSupport.h"

#include "ControlsTestSupport.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

namespace RichEditStringsTest {

using RichEditLines = ExRichEditFixture;
using Lines = std::vector<std::string>;

TEST_F(RichEditLines, LogicalLinesKeepEmptyOnesAndAppendAfterTheLast)
{
    TExRichEdit* edit = Make();
    edit->SetText("a\rb\r");
    EXPECT_EQ(edit->Lines()->Count(), 2);

    edit->SetText("a");
    edit->Lines()->Add("");
    edit->Lines()->Add("b");
    EXPECT_EQ(LinesOf(edit), (Lines{"a", "", "b"}));
    edit->Lines()->Add("c");
    EXPECT_EQ(LinesOf(edit), (Lines{"a", "", "b", "c"}));
    edit->Lines()->Insert(0, "zero");
    edit->Lines()->Insert(2, "due");
    EXPECT_EQ(LinesOf(edit), (Lines{"zero", "a", "due", "", "b", "c"}));

    edit->Lines()->SetStrings(1, "x");
    edit->Lines()->Delete(3);
    EXPECT_EQ(LinesOf(edit), (Lines{"zero", "x", "due", "b", "c"}));
    edit->Lines()->Delete(4);
    EXPECT_EQ(LinesOf(edit), (Lines{"zero", "x", "due", "b"}));

    // Indexes outside the lines change nothing.
    const std::string before = edit->GetText();
    edit->Lines()->Insert(-1, "no");
    edit->Lines()->Insert(9, "no");
    edit->Lines()->Delete(-1);
    edit->Lines()->Delete(40);
    edit->Lines()->SetStrings(-2, "no");
    edit->Lines()->SetStrings(40, "no");
    EXPECT_EQ(edit->Lines()->Strings(-1), "");
    EXPECT_EQ(edit->Lines()->Strings(40), "");
    EXPECT_EQ(edit->GetText(), before);

    edit->Lines()->Clear();
    EXPECT_EQ(edit->Lines()->Count(), 0);
    edit->Lines()->Add("");
    edit->Lines()->Add("");
    EXPECT_EQ(LinesOf(edit), (Lines{"", ""}));
}

TEST_F(RichEditLines, OldControlBreaksLinesWithCrLf)
{
    TExRichEdit* edit = Make(1);
    edit->Lines()->Add("uno");
    edit->Lines()->Add("due");
    edit->Lines()->Insert(1, "mezzo");
    EXPECT_EQ(LinesOf(edit), (Lines{"uno", "mezzo", "due"}));
    EXPECT_EQ(edit->GetText(), "uno\r\nmezzo\r\ndue\r\n");
}

TEST_F(RichEditLines, ALongLineReadsBackWhole)
{
    TExRichEdit* edit = Make();
    edit->SetWordWrap(false);
    std::string line;
    for (int i = 0; line.size() < 5000; ++i)
        line += std::to_string(i % 10);
    edit->Lines()->Add("prima");
    edit->Lines()->Add(line);
    edit->Lines()->Add("[Totale]");
    EXPECT_EQ(edit->Lines()->Strings(1), line);
    edit->Lines()->SetStrings(1, edit->Lines()->Strings(1) + "!");
    EXPECT_EQ(edit->Lines()->Strings(1).size(), 5001u);
    EXPECT_EQ(edit->Lines()->Strings(2), "[Totale]");
}

TEST_F(RichEditLines, TextAndAddStringsNotifyOnce)
{
    TExRichEdit* edit = Make();
    int changes = 0, selections = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    edit->OnSelectionChange = [&](TObject*) { ++selections; };
    edit->Lines()->SetText("uno\r\ndue\r\ntre\r\n");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(LinesOf(edit), (Lines{"uno", "due", "tre"}));

    TStringList more;
    more.Add("quattro");
    more.Add("cinque");
    selections = 0;
    edit->Lines()->AddStrings(&more);
    EXPECT_EQ(selections, 0);
    EXPECT_EQ(edit->Lines()->Count(), 5);
    ASSERT_TRUE(edit->OnSelectionChange);
}

// --- Transfers -----------------------------------------------------------------------------------

using RichEditStreams = ExRichEditFixture;

// Counts its reads; registered for an extension to show which class a load used.
class TCountingConversion : public TConversion {
    TESS_CLASS(TCountingConversion, TConversion)
public:
    static inline int Reads = 0;
    int ConvertReadStream(TStream& Stream, char* Buffer, int BufSize) override
    {
        ++Reads;
        return TConversion::ConvertReadStream(Stream, Buffer, BufSize);
    }
};

// Answers as told, whatever the stream holds.
class TLyingConversion : public TConversion {
    TESS_CLASS(TLyingConversion, TConversion)
public:
    explicit TLyingConversion(int answer) : FAnswer(answer) {}
    int ConvertReadStream(TStream& Stream, char* Buffer, int BufSize) override
    {
        TConversion::ConvertReadStream(Stream, Buffer, BufSize);
        return FAnswer == 0 ? BufSize + 1 : FAnswer;
    }

private:
    int FAnswer;
};

class TFailingConversion : public TConversion {
    TESS_CLASS(TFailingConversion, TConversion)
public:
    int ConvertReadStream(TStream&, char*, int) override { RAISE(EReadError("disco non leggibile")); }
};

TEST_F(RichEditStreams, PlainTextOfferedAsRtfLoadsAsText)
{
    TExRichEdit* edit = Make();
    edit->SetStreamFormat(ExRichEd::sfRichText);
    Load(edit, "Semplice testo\r\nsenza formati");
    EXPECT_EQ(LinesOf(edit), (Lines{"Semplice testo", "senza formati"}));
    EXPECT_EQ(edit->StreamFormat(), ExRichEd::sfRichText);
    EXPECT_EQ(edit->SelStart(), 0);
}

TEST_F(RichEditStreams, LineEndsOfEveryKindLoadAsLines)
{
    TExRichEdit* edit = Make();
    edit->SetWordWrap(false);
    const std::string folder = TestFolder();
    // Lines long enough that breaks fall on the 2048-byte reads and the 4096-byte blocks.
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i)
        expected.push_back(std::string(static_cast<std::size_t>(i == 0 ? 2047 : 100 + i), static_cast<char>('a' + i % 26)));
    for (const std::string breakText : {"\n", "\r\n", "\r"}) {
        std::string bytes;
        for (const std::string& line : expected)
            bytes += line + breakText;
        const std::string path = folder + "/righe.txt";
        WriteBytes(path, bytes);
        edit->Lines()->LoadFromFile(path);
        EXPECT_EQ(LinesOf(edit), expected) << "break of " << breakText.size() << " bytes";
    }
    // A CR as the last byte of the stream still ends its line.
    Load(edit, std::string(2047, 'x') + "\r" + "y\r");
    EXPECT_EQ(LinesOf(edit), (Lines{std::string(2047, 'x'), "y"}));
}

TEST_F(RichEditStreams, FilesChooseTheirFormatByExtension)
{
    TExRichEdit* edit = Make();
    const std::string folder = TestFolder();
    const std::string rtfText = "{\\rtf1\\ansi {\\b nero}\\par}";
    WriteBytes(folder + "/X.TXT", rtfText);
    edit->Lines()->LoadFromFile(folder + "/X.TXT");
    EXPECT_EQ(LinesOf(edit), (Lines{rtfText}));
    EXPECT_EQ(edit->StreamFormat(), ExRichEd::sfDefault);
    EXPECT_FALSE(edit->PlainText());

    WriteBytes(folder + "/doc.rtf", rtfText);
    TExRichEdit* fresh = Make();
    TExCustomRichEdit::RegisterConversionFormat("RTF", false, [] { return std::make_unique<TCountingConversion>(); });
    TCountingConversion::Reads = 0;
    fresh->Lines()->LoadFromFile(folder + "/doc.rtf");
    EXPECT_GT(TCountingConversion::Reads, 0);
    EXPECT_EQ(LinesOf(fresh), (Lines{"nero"}));

    // Saved as text by extension, read back as the same lines.
    fresh->Lines()->SaveToFile(folder + "/copia.txt");
    TExRichEdit* reader = Make();
    reader->Lines()->LoadFromFile(folder + "/copia.txt");
    EXPECT_EQ(LinesOf(reader), (Lines{"nero"}));
}

TEST_F(RichEditStreams, OemConversionReadsCodePage850)
{
    TExCustomRichEdit::RegisterConversionFormat("txt", true, [] { return std::make_unique<TOEMConversion>(); });
    TExRichEdit* edit = Make();
    const std::string path = TestFolder() + "/oem.txt";
    WriteBytes(path, "perch\x8A citt\x85\r\n");
    edit->Lines()->LoadFromFile(path);
    EXPECT_EQ(LinesOf(edit), (Lines{"perch\xE8 citt\xE0"}));
    ASSERT_NE(dynamic_cast<TOEMConversion*>(edit->Lines()->Converter()), nullptr);
    edit->Lines()->SaveToFile(path);
    EXPECT_EQ(RunShell("cat " + path), std::string("perch\x8A citt\x85\r\n"));
    // The plain "txt" entry is back in front for the tests that follow.
    TExCustomRichEdit::RegisterConversionFormat("txt", true, [] { return std::make_unique<TConversion>(); });
}

TEST_F(RichEditStreams, RtfBytesPassUnchangedIntoTheReader)
{
    TExRichEdit* edit = Make();
    // Four bytes of binary data, a lone LF among them: made CR LF, they would take one byte of
    // the text after the group.
    Load(edit, std::string("{\\rtf1\\ansi {\\*\\dati\\bin4 \n}}}}Dopo\\par}"));
    EXPECT_EQ(LinesOf(edit), (Lines{"Dopo"}));
}

TEST_F(RichEditStreams, AConverterThatFailsEndsTheLoadCleanly)
{
    TExRichEdit* edit = Make();
    edit->SetText("resta");
    const std::pair<const char*, TConversionClass> converters[] = {
        {"raises", [] { return std::make_unique<TFailingConversion>(); }},
        {"more than asked", [] { return std::make_unique<TLyingConversion>(0); }},
        {"negative", [] { return std::make_unique<TLyingConversion>(-5); }},
    };
    for (const auto& [name, converter] : converters) {
        edit->DefaultConverter = converter;
        TStringStream stream("{\\rtf1 testo\\par}");
        try {
            edit->Lines()->LoadFromStream(stream);
            ADD_FAILURE() << name << ": no error";
        } catch (const EOutOfResources& e) {
            EXPECT_EQ(e.Message, "Failed to Load Stream") << name;
        }
    }
    edit->DefaultConverter = [] { return std::make_unique<TConversion>(); };

    // A missing file raises its own error and leaves the list as it was.
    TExRichEdit* fresh = Make();
    EXPECT_THROW(fresh->Lines()->LoadFromFile(TestFolder() + "/manca.rtf"), Exception);
    EXPECT_EQ(fresh->Lines()->Converter(), nullptr);
    EXPECT_EQ(fresh->StreamFormat(), ExRichEd::sfDefault);
}

TEST_F(RichEditStreams, HostileStreamsGiveADocumentOrAnError)
{
    TExRichEdit* edit = Make();
    const std::pair<const char*, std::string> streams[] = {
        {"empty", ""},
        {"one byte", "{"},
        {"NUL bytes", std::string(4096, '\0')},
        {"cut group", "{\\rtf1\\ansi {\\b grassetto "},
        {"cut bin", "{\\rtf1\\ansi {\\*\\x\\bin100000 abc"},
        {"many CRs", std::string(20000, '\r')},
    };
    for (const auto& [name, bytes] : streams) {
        TStringStream stream(bytes);
        try {
            edit->Lines()->LoadFromStream(stream);
        } catch (const EOutOfResources& e) {
            EXPECT_EQ(e.Message, "Failed to Load Stream") << name;
        }
        EXPECT_LE(stream.Position(), static_cast<std::int64_t>(bytes.size())) << name;
    }
    EXPECT_EQ(edit->Lines()->Count(), 20000);
}

TEST_F(RichEditStreams, StreamFormatAndModesReachTheWindow)
{
    TExRichEdit* edit = Make();
    Load(edit, "{\\rtf1\\ansi prima {\\b seconda}\\par terza\\par}");
    edit->SetStreamFormat(ExRichEd::sfPlainText);
    TMemoryStream text;
    edit->Lines()->SaveToStream(text);
    EXPECT_EQ(std::string(text.Memory(), static_cast<std::size_t>(text.Size())), "prima seconda\r\nterza");

    // Only the selection goes out, and comes back in its place.
    edit->SetSelStart(6);
    edit->SetSelLength(7);
    edit->SetStreamMode({ExRichEd::smSelection});
    TMemoryStream part;
    edit->Lines()->SaveToStream(part);
    EXPECT_EQ(std::string(part.Memory(), static_cast<std::size_t>(part.Size())), "seconda");
    edit->SetSelStart(0);
    edit->SetSelLength(5);
    part.SetPosition(0);
    edit->Lines()->LoadFromStream(part);
    EXPECT_EQ(edit->Lines()->Strings(0), "seconda seconda");
}

} // namespace RichEditStringsTest
