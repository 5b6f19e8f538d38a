// The template file: the sample file byte for byte, older versions, the shared encodings, damaged
// input and what the format cannot hold.

#include "ReportTestSupport.h"

#include "fuzz/TemplateFuzzCase.h"

#include "platform/os/MessageBox.h"

namespace {

// Offsets in the sample template.
constexpr std::size_t SampleHeaderEnd = 8, SamplePageEnd = 50, SamplePageIndex = 51, SampleFrameCode = 80,
                      SampleObjectEnd = 155;
// The flags of the text object in the version-22 sample.
constexpr std::size_t Sample22Flags = 72;

TBytes Sample() { return FromHex(SampleTemplateHex); }

TBytes Concat(std::initializer_list<TBytes> parts)
{
    TBytes all;
    for (const TBytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TBytes Slice(const TBytes& bytes, std::size_t from, std::size_t to)
{
    return TBytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

TBytes StringRecord(const std::string& s)
{
    TMemoryStream stream;
    rpWriteString(stream, s);
    return TBytes(stream.Memory(), stream.Memory() + stream.Size());
}

TBytes MemoBytes(TStringList& lines)
{
    TMemoryStream stream;
    rpWriteMemo(stream, &lines);
    return TBytes(stream.Memory(), stream.Memory() + stream.Size());
}

void ExpectSampleModel(TrpReport& report)
{
    EXPECT_TRUE(report.PrintToDefaultPrinter);
    EXPECT_FALSE(report.TwoPass);
    ASSERT_EQ(report.DesignPages->Count(), 1);
    TrpPage* page = report.DesignPages->Pages(0);
    EXPECT_EQ(page->PaperSize, 9);
    EXPECT_EQ(page->PaperWidth, 2100);
    EXPECT_EQ(page->PaperHeight, 2970);
    EXPECT_EQ(page->Orientation, poPortrait);
    EXPECT_TRUE(page->UseMargins);
    EXPECT_EQ(page->ColumnCount, 1);
    ASSERT_EQ(page->Objects.size(), 1u);
    auto* memo = dynamic_cast<TrpMemoView*>(page->Objects[0].get());
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->Name, "Memo1");
    EXPECT_EQ((std::vector<int>{memo->Left, memo->Top, memo->Width, memo->Height}), (std::vector<int>{10, 20, 100, 18}));
    EXPECT_EQ(memo->Flags, 3);
    EXPECT_EQ(memo->Memo->Text(), "[Price]\r\n");
    EXPECT_EQ(memo->Script->Count(), 0);
    EXPECT_TRUE(memo->Visible);
    EXPECT_EQ(memo->Format, 0x022Cu);
    EXPECT_EQ(memo->Font->Name(), "Arial");
    EXPECT_EQ(memo->Font->Size(), 10);
    EXPECT_EQ(memo->Highlight.FillColor, clWhite);
}

class TemplateFormat : public testing::Test {
protected:
    void SetUp() override { UseVirtualPrinterOnly(); }
};

} // namespace

TEST_F(TemplateFormat, SampleReportSavesAsTheKnownBytesAndLoadsBack)
{
    TrpReport built(nullptr);
    BuildSampleReport(built);
    const TBytes expected = Sample();
    ASSERT_EQ(expected.size(), 163u);
    EXPECT_EQ(ToHex(SaveToBytes(built)), ToHex(expected));

    TScratchFolder folder;
    WriteFileBytes(folder.File("sample.frf"), expected);
    TrpReport loaded(nullptr);
    ASSERT_TRUE(loaded.LoadFromFile(folder.File("sample.frf")));
    EXPECT_EQ(loaded.FileName, folder.File("sample.frf"));
    ExpectSampleModel(loaded);
    loaded.SaveToFile(folder.File("again.frf"));
    EXPECT_EQ(ReadFileBytes(folder.Path() / "again.frf"), expected);
}

TEST_F(TemplateFormat, OlderVersionsLoadAndSaveInTheCurrentForm)
{
    const TBytes v22 = FromHex(SampleTemplate22Hex);
    ASSERT_EQ(v22.size(), 142u);
    TrpReport report(nullptr);
    ASSERT_TRUE(LoadFromBytes(report, v22));
    ExpectSampleModel(report);
    EXPECT_EQ(ToHex(SaveToBytes(report)), ToHex(Sample()));

    // Version 21 turns word wrap on.
    TBytes v21 = v22;
    v21[0] = 21;
    v21[Sample22Flags] = 1;
    ASSERT_TRUE(LoadFromBytes(report, v21));
    EXPECT_EQ(report.DesignPages->Pages(0)->Objects[0]->Flags, 3);

    // Without a version byte the first byte is read again as the start of the header.
    TBytes bare(v22.begin() + 1, v22.end());
    bare[0] = bare[1] = 0;
    bare[Sample22Flags - 1] = 1;
    ASSERT_TRUE(LoadFromBytes(report, bare));
    EXPECT_FALSE(report.PrintToDefaultPrinter);
    EXPECT_EQ(report.DesignPages->Pages(0)->Objects[0]->Flags, 3);
    EXPECT_EQ(report.DesignPages->Pages(0)->Objects[0]->Name, "Memo1");
}

TEST_F(TemplateFormat, OldObjectsGetTheFirstFreeName)
{
    TBytes v22 = FromHex(SampleTemplate22Hex);
    // The same text object twice on the page.
    const TBytes object = Slice(v22, 54, v22.size() - 6);
    TBytes twice = Concat({Slice(v22, 0, v22.size() - 6), object, Slice(v22, v22.size() - 6, v22.size())});
    TrpReport report(nullptr);
    ASSERT_TRUE(LoadFromBytes(report, twice));
    const auto& objects = report.DesignPages->Pages(0)->Objects;
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0]->Name, "Memo1");
    EXPECT_EQ(objects[1]->Name, "Memo2");
}

TEST(StreamEncodings, LineListsAndStrings)
{
    TStringList lines;
    lines.Add("a");
    lines.Add("bc");
    EXPECT_EQ(ToHex(MemoBytes(lines)), ToHex(FromHex("02 00 01 00 61 0D 02 00 62 63 00")));
    TStringList none;
    EXPECT_EQ(ToHex(MemoBytes(none)), ToHex(FromHex("00 00 00")));
    EXPECT_EQ(ToHex(StringRecord("ab")), ToHex(FromHex("02 00 61 62 00")));

    const TBytes old = FromHex("61 0D 0D 62 00");
    TMemoryStream stream;
    stream.WriteBuffer(old.data(), static_cast<int>(old.size()));
    stream.SetPosition(0);
    TStringList read;
    rpReadMemo22(stream, &read);
    EXPECT_EQ(read.Text(), "a\r\n\r\nb\r\n");
    EXPECT_EQ(stream.Position(), 5);

    const TBytes oldString = FromHex("68 69 00 7A");
    TMemoryStream strings;
    strings.WriteBuffer(oldString.data(), 4);
    strings.SetPosition(0);
    EXPECT_EQ(rpReadString22(strings), "hi");
    EXPECT_EQ(strings.Position(), 3);
}

TEST(StreamEncodings, MoreLinesThanTheCountHoldsComeBackWhole)
{
    TStringList lines;
    for (int i = 0; i < 65536; ++i)
        lines.Add(i % 2 ? "x" : "");
    const TBytes bytes = MemoBytes(lines);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFF);
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    stream.SetPosition(0);
    TStringList read;
    rpReadMemo(stream, &read);
    EXPECT_EQ(read.Count(), 65536);
    EXPECT_TRUE(read.Equals(&lines));
    EXPECT_EQ(stream.Position(), stream.Size());
}

TEST_F(TemplateFormat, FrameWidthsKeepTheirValueThroughASave)
{
    struct TCase {
        float Width;
        const char* Code;
        float ReadBack;
    };
    const TCase cases[] = {
        {1.5f, "DC 05 00 00", 1.5f}, {2.0f, "02 00 00 00", 2.0f}, {0.5f, "F4 01 00 00", 0.5f},
        {12.0f, "E0 2E 00 00", 12.0f}, {10.0f, "0A 00 00 00", 10.0f}, {0.0f, "00 00 00 00", 0.0f},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Width);
        TrpReport report(nullptr);
        BuildSampleReport(report);
        report.DesignPages->Pages(0)->Objects[0]->FrameWidth = c.Width;
        const TBytes bytes = SaveToBytes(report);
        EXPECT_EQ(ToHex(Slice(bytes, SampleFrameCode, SampleFrameCode + 4)), ToHex(FromHex(c.Code)));
        TrpReport loaded(nullptr);
        ASSERT_TRUE(LoadFromBytes(loaded, bytes));
        EXPECT_FLOAT_EQ(loaded.DesignPages->Pages(0)->Objects[0]->FrameWidth, c.ReadBack);
    }
    // A stored whole number above 10 is thousandths.
    TBytes stored = Sample();
    stored[SampleFrameCode] = 12;
    TrpReport loaded(nullptr);
    ASSERT_TRUE(LoadFromBytes(loaded, stored));
    EXPECT_FLOAT_EQ(loaded.DesignPages->Pages(0)->Objects[0]->FrameWidth, 0.012f);
}

TEST_F(TemplateFormat, DamagedTemplatesGiveOneBoxAndOneEmptyPage)
{
    RegisterStubAddIn();
    const TBytes sample = Sample();
    struct TCase {
        std::string Name;
        TBytes Bytes;
    };
    std::vector<TCase> cases;
    for (std::size_t length = 0; length < sample.size(); ++length)
        if (length != SampleHeaderEnd && length != SamplePageEnd && length != SampleObjectEnd)
            cases.push_back({"prefix of " + std::to_string(length), Slice(sample, 0, length)});
    for (std::uint8_t tag : {0x0B, 0x07}) {
        TBytes bytes = sample;
        bytes[SampleObjectEnd] = tag;
        cases.push_back({"tag " + std::to_string(tag), bytes});
    }
    const TBytes afterClass = Slice(sample, SamplePageIndex, sample.size());
    cases.push_back({"unregistered add-in",
                     Concat({Slice(sample, 0, SamplePageEnd), {10}, StringRecord("TrpNonEsiste"), afterClass})});
    cases.push_back({"add-in in other letters",
                     Concat({Slice(sample, 0, SamplePageEnd), {10}, StringRecord("TRPSTUBADDIN"), afterClass})});
    TBytes farPage = sample;
    farPage[SamplePageIndex] = 1;
    cases.push_back({"page not read", farPage});

    TrpReport pictures(nullptr);
    pictures.DesignPages->Add()->Objects.push_back(std::make_unique<TrpPictureView>());
    const TBytes picture = SaveToBytes(pictures);
    // The picture's end position follows its kind byte, just before the variables block.
    const std::size_t endAt = picture.size() - 8 - 4;
    for (std::uint32_t end : {static_cast<std::uint32_t>(endAt - 20), static_cast<std::uint32_t>(picture.size() + 1)}) {
        TBytes bytes = picture;
        std::memcpy(bytes.data() + endAt, &end, 4);
        cases.push_back({"picture ending at " + std::to_string(end), bytes});
    }

    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBoxRecorder boxes;
        TrpReport report(nullptr);
        BuildSampleReport(report);
        EXPECT_FALSE(LoadFromBytes(report, c.Bytes));
        const auto shown = boxes.Boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].Text, "Unsupported FRF format");
        EXPECT_EQ(shown[0].Caption, "Errore");
        EXPECT_EQ(shown[0].Icon, static_cast<UINT>(MB_ICONERROR));
        ASSERT_EQ(report.DesignPages->Count(), 1);
        EXPECT_TRUE(report.DesignPages->Pages(0)->Objects.empty());
    }
}

TEST_F(TemplateFormat, RecordBoundariesNewerVersionsAndTheDataManagerTag)
{
    const TBytes sample = Sample();
    TBoxRecorder boxes;
    TrpReport report(nullptr);
    struct TCase {
        std::size_t Length;
        int Pages;
        std::size_t Objects;
    };
    for (const TCase& c : {TCase{SampleHeaderEnd, 0, 0}, TCase{SamplePageEnd, 1, 0}, TCase{SampleObjectEnd, 1, 1}}) {
        SCOPED_TRACE(c.Length);
        ASSERT_TRUE(LoadFromBytes(report, Slice(sample, 0, c.Length)));
        ASSERT_EQ(report.DesignPages->Count(), c.Pages);
        if (c.Pages) {
            EXPECT_EQ(report.DesignPages->Pages(0)->Objects.size(), c.Objects);
        }
    }

    // The data manager's tag ends reading, whatever follows.
    ASSERT_TRUE(LoadFromBytes(report, Concat({Slice(sample, 0, SampleObjectEnd), FromHex("FD 0B 07 FF 99 12")})));
    EXPECT_EQ(report.DesignPages->Pages(0)->Objects.size(), 1u);
    EXPECT_TRUE(boxes.Boxes().empty());

    // A newer version is refused and the report keeps what it had.
    TBytes newer = sample;
    newer[0] = 24;
    EXPECT_FALSE(LoadFromBytes(report, newer));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].Text, "Unsupported FRF format");
    EXPECT_EQ(report.FindObject("memo1"), report.DesignPages->Pages(0)->Objects[0].get());
}

TEST_F(TemplateFormat, SavesTheFormatCannotHoldAreRefusedAndKeepTheFile)
{
    TScratchFolder folder;
    const std::string file = folder.File("report.frf");
    const TBytes previous = Sample();
    WriteFileBytes(file, previous);

    TrpReport manyPages(nullptr);
    for (int i = 0; i < 257; ++i)
        manyPages.DesignPages->Add();
    manyPages.DesignPages->Pages(256)->Objects.push_back(std::make_unique<TrpLineView>());
    EXPECT_THROW(manyPages.SaveToFile(file), EWriteError);
    EXPECT_EQ(ReadFileBytes(file), previous);
    // Objects on the first 256 pages are fine.
    manyPages.DesignPages->Pages(255)->Objects.push_back(std::move(manyPages.DesignPages->Pages(256)->Objects[0]));
    manyPages.DesignPages->Pages(256)->Objects.clear();
    TMemoryStream fits;
    EXPECT_NO_THROW(manyPages.SaveToStream(fits));

    TrpReport longLine(nullptr);
    BuildSampleReport(longLine);
    longLine.DesignPages->Pages(0)->Objects[0]->Memo->Add(std::string(70000, 'x'));
    TMemoryStream target;
    target.WriteUInt8(7);
    EXPECT_THROW(longLine.SaveToStream(target), EWriteError);
    EXPECT_EQ(target.Size(), 1);
    EXPECT_THROW(longLine.SaveToFile(file), EWriteError);
    EXPECT_EQ(ReadFileBytes(file), previous);

    TrpReport longValue(nullptr);
    BuildSampleReport(longValue);
    longValue.Values->GetValue(longValue.Values->AddValue())->FieldText = std::string(256, 'v');
    EXPECT_THROW(longValue.SaveToFile(file), EWriteError);
    EXPECT_EQ(ReadFileBytes(file), previous);
}
