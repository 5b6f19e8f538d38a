// Replays the prepared-report fuzz target over the test files and deterministic mutations of them.
// TESS_FUZZ_MUTATIONS sets how many mutations run; "report_tests --write-corpus <folder>" writes
// these starting files beside the templates.

#include "ReportTestSupport.h"

#include "ByteMutations.h"
#include "fuzz/PreparedFuzzCase.h"

#include "platform/gui/Metafile.h"

namespace {

constexpr int DefaultPreparedMutations = 3000;

TBytes SavedPages(TrpReport& report)
{
    TMemoryStream stream;
    report.PreparedPages->SaveToStream(stream);
    return TBytes(stream.Memory(), stream.Memory() + stream.Size());
}

// Two sheets: texts whole, wrapped and turned, a line, a framed picture and the stub add-in.
TBytes SheetsWithEveryKind()
{
    RegisterStubAddIn();
    TrpReport report(nullptr);
    TrpPage* page = report.DesignPages->Add();
    report.PreparedPages->Add(page);
    page->ChangePaper(11, 0, 0, poLandscape);
    report.PreparedPages->Add(page);
    TrpMemoView memo;
    memo.SetBounds(5, 5, 80, 40);
    memo.Memo->SetText("Totale documento 1.234,50\r\nCitt\xE0 di Perch\xE9");
    memo.Adjust = 3;
    memo.FrameTyp = rpFrameAll;
    PutPreparedObject(*report.PreparedPages->Pages(0), memo);
    TrpMemoView part;
    part.SetBounds(5, 50, 60, 30);
    part.Memo->Add(std::string("prima\x00\x28", 7));
    part.Memo->Add(std::string("fine\x01\x00\x1a", 7));
    part.Adjust = 16 + 2;
    PutPreparedObject(*report.PreparedPages->Pages(0), part);
    TrpMemoView turned;
    turned.SetBounds(90, 5, 20, 120);
    turned.Memo->Add("Girato in su");
    turned.Adjust = 4 + 2;
    turned.Flags |= 8;
    PutPreparedObject(*report.PreparedPages->Pages(1), turned);
    TrpLineView line;
    line.SetBounds(0, 100, 100, 0);
    PutPreparedObject(*report.PreparedPages->Pages(1), line);
    TBitmap bitmap;
    bitmap.SetSize(4, 3);
    TrpPictureView picture;
    picture.SetBounds(10, 10, 30, 20);
    picture.FrameTyp = rpFrameAll;
    picture.Picture->SetGraphic(&bitmap);
    PutPreparedObject(*report.PreparedPages->Pages(1), picture);
    TrpStubAddIn stub;
    PutPreparedObject(*report.PreparedPages->Pages(1), stub);
    return SavedPages(report);
}

// The older layout: a printer line and one metafile sheet.
TBytes OldLayoutSheet()
{
    const TMetafileWriter previous = SetMetafileWriter(true, WriteMinimalEmf);
    TMetafile metafile;
    metafile.SetWidth(50);
    metafile.SetHeight(70);
    {
        TMetafileCanvas canvas(&metafile, nullptr);
        canvas.TextOut(5, 5, "Foglio");
    }
    TMemoryStream picture;
    metafile.SaveToStream(picture);
    SetMetafileWriter(true, previous);
    TMemoryStream file;
    file.WriteBuffer("Ufficio\0", 8);
    file.WriteUInt32(1);
    file.WriteUInt32(static_cast<std::uint32_t>(8 + 4 + 16 + picture.Size()));
    file.WriteUInt16(9);
    file.WriteInt32(0);
    file.WriteInt32(0);
    file.WriteUInt16(0x0100);
    file.WriteBuffer(picture.Memory(), static_cast<int>(picture.Size()));
    return TBytes(file.Memory(), file.Memory() + file.Size());
}

} // namespace

std::vector<TBytes> StartingPreparedFiles()
{
    TrpReport empty(nullptr);
    return {FromHex("00 00 00 00 01 00 00 00 5e 00 00 00 09 00 34 08 00 00 9a 0b 00 00 00 01 17 00 0a 00 00 00 14 00 "
                    "00 00 64 00 00 00 12 00 00 00 03 00 00 00 01 00 00 00 00 00 00 00 00 00 ff ff ff 1f 01 00 05 00 31 "
                    "32 2c 35 30 00 05 00 41 72 69 61 6c 00 0a 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),
            SheetsWithEveryKind(), OldLayoutSheet(), SavedPages(empty)};
}

TEST(PreparedFuzzReplay, StartingFilesAndMutationsLoadAndDrawOrAreRefused)
{
    UseVirtualPrinterOnly();
    const std::vector<TBytes> files = StartingPreparedFiles();
    for (const TBytes& start : files)
        RunPreparedFuzzCase(start.data(), start.size());
    std::mt19937 random(20240611);
    const int mutations = MutationCount(DefaultPreparedMutations);
    for (int i = 0; i < mutations; ++i) {
        const TBytes mutated = MutateBytes(files[random() % files.size()], files, random);
        RunPreparedFuzzCase(mutated.data(), mutated.size());
    }
}
