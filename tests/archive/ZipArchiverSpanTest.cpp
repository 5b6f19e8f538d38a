// Spanned sets: part files on a fixed drive checked against zip's own join, joining them again,
// the component's Add and extraction over a set, the disk questions, a simulated removable drive
// with its format service, and sets that are damaged.

#include "ZipSpanTestSupport.h"

#include "platform/rtl/Files.h"

#include <latch>
#include <thread>

namespace {

class ZipSpan : public TZipArchiverTest {
protected:
    void SetUp() override
    {
        TZipArchiverTest::SetUp();
        Zip->SetMaxVolumeSize(100000);
        fs::create_directories(Dir / "set");
        Output = Dir / "set" / "name.zip";
    }
    void TearDown() override
    {
        SetZipFormatService(nullptr);
        TZipArchiverTest::TearDown();
    }

    // The 250,000-byte source of the examples: three stored entries and the directory.
    fs::path Source250k()
    {
        const fs::path source = StoredSource(Dir / "source.zip", {{"a.bin", 100000}, {"b.bin", 100000}, {"c.bin", 49720}});
        EXPECT_EQ(fs::file_size(source), 250000u);
        return source;
    }

    fs::path Part(int n) const
    {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%03d", n);
        return Dir / "set" / (std::string("name") + digits + ".zip");
    }

    std::vector<std::string> Files(const fs::path& folder) const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<TDialogRequestRecord> BoxesWith(const std::string& text) const
    {
        std::vector<TDialogRequestRecord> found;
        for (const TDialogRequestRecord& request : Dialogs->Requests())
            if (request.Text.find(text) != std::string::npos)
                found.push_back(request);
        return found;
    }

    fs::path Output;
};

// The central header's start disk of every entry of an archive.
std::vector<int> StartDisks(const fs::path& archive)
{
    TZipArchiveFile file(archive.string());
    TZipEndOfArchive end;
    std::vector<int> disks;
    if (FindZipEndRecord(file, end) != TZipDirectoryFailure::None)
        return disks;
    disks.push_back(end.Record.DiskNumber);
    disks.push_back(end.Record.DirectoryDisk);
    TBytes bytes = ReadBytes(archive);
    for (std::size_t at : HeadersOf(bytes, ZipCentralHeaderSignature, ZipCentralHeaderSize))
        disks.push_back(GetLE16(bytes.data() + at + 34));
    return disks;
}

} // namespace

TEST_F(ZipSpan, FixedDriveWritesNumberedPartsWithWholeBlocks)
{
    const fs::path source = Source250k();
    const TBytes before = ReadBytes(source);
    ASSERT_EQ(Zip->WriteSpan(source.string(), Output.string()), 0) << Zip->LastMessage;
    EXPECT_EQ(Files(Dir / "set"), (std::vector<std::string>{"name001.zip", "name002.zip", "name003.zip"}));
    for (const fs::path& part : SpanParts(Output))
        EXPECT_LE(fs::file_size(part), 100000u) << part;
    const TBytes first = ReadBytes(Part(1));
    EXPECT_EQ(TBytes(first.begin(), first.begin() + 4), FromHex("504b0708"));
    EXPECT_EQ(SpanLayoutFaults(SpanParts(Output)), "");
    EXPECT_EQ(ReadBytes(source), before);
    // DOS dates count two seconds at a time.
    EXPECT_NEAR(ModificationTime(Part(3)), ModificationTime(source), 1);
    EXPECT_TRUE(Boxes().empty());

    fs::remove_all(Dir / "set");
    fs::create_directories(Dir / "set");
    Zip->SetKeepFreeOnDisk1(10000);
    ASSERT_EQ(Zip->WriteSpan(source.string(), Output.string()), 0) << Zip->LastMessage;
    EXPECT_LE(fs::file_size(Part(1)), 90000u);
    EXPECT_GT(fs::file_size(Part(1)), 89000u);
    EXPECT_EQ(SpanLayoutFaults(SpanParts(Output)), "");
}

// zip joins the set once its parts carry zip's split names; entries and CRCs are the source's.
TEST_F(ZipSpan, ZipJoinsTheSetWhateverBlockIsPushedToTheNextPart)
{
    struct TLayout {
        const char* What;
        std::vector<TSpanEntry> Entries;
        std::uint32_t Pushed; // the signature the second part begins with, 0 for any
        // zip looks for a Zip64 locator in front of the end record, which it cannot seek to when
        // the end record begins the last part.
        bool ZipJoins = true;
    };
    const std::vector<TLayout> layouts = {
        {"data split", {{"a.bin", 100000}, {"b.bin", 100000}, {"c.bin", 49720}}, 0},
        // 4 + 35 + 99,941 leaves 20 bytes: the next local header goes on.
        {"local header pushed", {{"a.bin", 99941}, {"b.bin", 50000}}, ZipLocalHeaderSignature},
        // 4 + 35 + 99,931 leaves 30 bytes: the central header goes on.
        {"central header pushed", {{"a.bin", 99931}}, ZipCentralHeaderSignature},
        // 4 + 35 + 99,850 + 36 + 51 leaves 24 bytes: the second central header goes on.
        {"second central header pushed", {{"a.bin", 99850}, {"b.bin", 1}}, ZipCentralHeaderSignature},
        // 4 + 35 + 99,900 + 51 leaves 10 bytes: the end record with its comment goes on.
        {"end record pushed", {{"a.bin", 99900}}, ZipEndRecordSignature, false},
    };
    for (const TLayout& layout : layouts) {
        SCOPED_TRACE(layout.What);
        fs::remove_all(Dir / "set");
        fs::create_directories(Dir / "set");
        const fs::path source = StoredSource(Dir / "layout.zip", layout.Entries, "commento");
        ASSERT_EQ(Zip->WriteSpan(source.string(), Output.string()), 0) << Zip->LastMessage;
        const std::vector<fs::path> parts = SpanParts(Output);
        ASSERT_GE(parts.size(), 2u);
        EXPECT_EQ(SpanLayoutFaults(parts), "");
        if (layout.Pushed != 0) {
            const TBytes second = ReadBytes(parts[1]);
            ASSERT_GE(second.size(), 4u);
            EXPECT_EQ(GetLE32(second.data()), layout.Pushed);
        }
        std::string joined = (Dir / "set").string() + "/rejoined.zip";
        ASSERT_EQ(Zip->ReadSpan(parts.back().string(), joined), 0) << Zip->LastMessage;
        EXPECT_EQ(PythonEntries(joined), PythonEntries(source));
        fs::remove(joined);
        if (!layout.ZipJoins)
            continue;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, ".z%02zu", i + 1);
            fs::rename(parts[i], Dir / "set" / (i + 1 == parts.size() ? std::string("name.zip") : "name" + std::string(suffix)));
        }
        std::string output;
        EXPECT_EQ(RunCommand("cd " + Quoted(Dir / "set") + " && zip -s 0 name.zip --out joined.zip", &output), 0) << output;
        EXPECT_EQ(RunCommand("unzip -tq " + Quoted(Dir / "set" / "joined.zip"), &output), 0) << output;
        EXPECT_EQ(PythonEntries(Dir / "set" / "joined.zip"), PythonEntries(source));
        EXPECT_NE(PythonEntries(source), "");
    }
}

TEST_F(ZipSpan, ReadSpanJoinsFromTheLastPartOnly)
{
    const fs::path source = Source250k();
    ASSERT_EQ(Zip->WriteSpan(source.string(), Output.string()), 0);
    fs::create_directories(Dir / "out");
    Zip->TempDir = (Dir / "out").string();
    std::string joined = (Dir / "out").string() + "/";
    ASSERT_EQ(Zip->ReadSpan(Part(3).string(), joined), 0) << Zip->LastMessage;
    ASSERT_TRUE(FileExists(joined)) << joined;
    std::string output;
    EXPECT_EQ(RunCommand("unzip -tq " + Quoted(joined), &output), 0) << output;
    EXPECT_EQ(StartDisks(joined), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(RunCommand("zipinfo -v " + Quoted(joined), &output), 0) << output;
    EXPECT_NE(output.find("sole disk of a single-part archive"), std::string::npos) << output;
    std::size_t onFirstDisk = 0;
    for (std::size_t at = output.find("disk number on which file begins:"); at != std::string::npos;
         at = output.find("disk number on which file begins:", at + 1)) {
        const std::string line = output.substr(at, output.find('\n', at) - at);
        EXPECT_EQ(line.substr(line.size() - 6), "disk 1") << line;
        ++onFirstDisk;
    }
    EXPECT_EQ(onFirstDisk, 3u);
    EXPECT_EQ(PythonEntries(joined), PythonEntries(source));
    EXPECT_NEAR(ModificationTime(joined), ModificationTime(source), 1);
    EXPECT_EQ(Files(Dir / "out").size(), 1u);

    // An output with a name: that name with ".zip", and nothing else touched.
    WriteText(Dir / "out" / "copia.dat", "dati preziosi");
    std::string named = (Dir / "out" / "copia.dat").string();
    ASSERT_EQ(Zip->ReadSpan(Part(3).string(), named), 0) << Zip->LastMessage;
    EXPECT_EQ(named, (Dir / "out" / "copia.zip").string());
    EXPECT_EQ(ReadBytes(Dir / "out" / "copia.dat"), TextBytes("dati preziosi"));
    EXPECT_EQ(PythonEntries(Dir / "out" / "copia.zip"), PythonEntries(source));

    // Not the last part: nothing is written, and the existing joined archive stays.
    const TBytes kept = ReadBytes(Dir / "out" / "copia.zip");
    struct TCase {
        int Part;
        int Number;
    };
    for (const TCase& c : {TCase{2, 11038}, TCase{1, 11037}}) {
        std::string again = (Dir / "out" / "copia.dat").string();
        EXPECT_EQ(Zip->ReadSpan(Part(c.Part).string(), again), -7);
        EXPECT_EQ(Zip->ErrCode, c.Number);
        EXPECT_EQ(again, "");
        EXPECT_EQ(ReadBytes(Dir / "out" / "copia.zip"), kept);
    }
    EXPECT_EQ(Files(Dir / "out").size(), 3u);
}

TEST_F(ZipSpan, AddAndExtractThroughTheComponent)
{
    const fs::path tree = MakeSampleTree(Dir / "tree");
    fs::create_directories(Dir / "temp");
    Zip->TempDir = (Dir / "temp").string();
    Zip->SetMaxVolumeSize(65536);
    Zip->SetMinFreeVolumeSize(65536);
    Zip->SetRootDir(tree.string());
    Zip->SetZipFileName(Output.string());
    Zip->AddOptions = AddOpts{AddDirNames, AddRecurseDirs, AddDiskSpan};
    Zip->FSpecArgs()->Add(".\\");
    Zip->Add();
    EXPECT_EQ(Zip->SuccessCount, 4) << Zip->LastMessage;
    const std::vector<fs::path> parts = SpanParts(Output);
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(SpanLayoutFaults(parts), "");
    EXPECT_TRUE(fs::is_empty(Dir / "temp"));

    Zip->SetZipFileName(parts.back().string());
    EXPECT_NE(Zip->LastDiskNumber, 0);
    EXPECT_EQ(Zip->GetCount(), 4) << Zip->LastMessage;
    fs::create_directories(Dir / "restored");
    Zip->ExtrBaseDir = (Dir / "restored").string();
    Zip->ExtrOptions = ExtrOpts{ExtrDirNames, ExtrOverWrite};
    Zip->Extract();
    EXPECT_EQ(Zip->SuccessCount, 4) << Zip->LastMessage;
    EXPECT_EQ(FilesBelow(Dir / "restored"), FilesBelow(tree));
    EXPECT_TRUE(fs::is_empty(Dir / "temp"));
    EXPECT_TRUE(Boxes().empty());

    Zip->AddOptions = AddOpts{AddDiskSpan, AddUpdate};
    Zip->FSpecArgs()->Add("x");
    Zip->SetZipFileName(Output.string());
    Zip->Add();
    EXPECT_EQ(Zip->ErrCode, 10303);
    Zip->AddOptions = AddOpts{AddDiskSpanErase};
    Zip->FSpecArgs()->Add("x");
    // An existing self-extracting archive: no stub has to be made first.
    StoredSource(Dir / "auto.exe", {{"a.bin", 10}});
    Zip->SetZipFileName((Dir / "auto.exe").string());
    Zip->Add();
    EXPECT_EQ(Zip->ErrCode, 11041);
}

TEST_F(ZipSpan, AnExistingPartIsOverwrittenOnlyWhenTheUserSaysSo)
{
    const fs::path source = Source250k();
    struct TCase {
        const char* What;
        std::vector<int> Answers;
        int Result;
        bool Overwritten;
    };
    const std::string question = "Overwrite previous file " + Part(1).string();
    for (const TCase& c : {TCase{"yes", {IDYES}, 0, true}, TCase{"no, then cancel", {IDNO, IDCANCEL}, -7, false},
                           TCase{"cancel", {IDCANCEL}, -7, false}}) {
        SCOPED_TRACE(c.What);
        fs::remove_all(Dir / "set");
        fs::create_directories(Dir / "set");
        WriteText(Part(1), "vecchio");
        auto* dialogs = new TScriptedDialogs;
        for (int answer : c.Answers)
            dialogs->Expect(TDialogKind::MessageBox, TDialogAnswer::Code(answer), question);
        SetDialogService(std::unique_ptr<IDialogService>(dialogs));
        Dialogs = dialogs;
        EXPECT_EQ(Zip->WriteSpan(source.string(), Output.string()), c.Result);
        EXPECT_TRUE(Dialogs->Satisfied()) << ::testing::PrintToString(Dialogs->Failures());
        for (const TDialogRequestRecord& request : Dialogs->Requests()) {
            EXPECT_EQ(request.Caption, "Confirm");
            EXPECT_EQ(request.Buttons, MB_YESNOCANCEL);
            EXPECT_EQ(request.Icon, MB_ICONWARNING);
            EXPECT_EQ(request.DefaultButton, MB_DEFBUTTON2);
        }
        EXPECT_EQ(ReadBytes(Part(1)) != TextBytes("vecchio"), c.Overwritten);
        if (c.Result != 0) {
            EXPECT_EQ(Zip->ErrCode, 11007);
        }
    }

    fs::remove_all(Dir / "set");
    fs::create_directories(Dir / "set");
    WriteText(Part(1), "vecchio");
    Zip->Unattended = true;
    EXPECT_EQ(Zip->WriteSpan(source.string(), Output.string()), -7);
    EXPECT_EQ(Zip->ErrCode, 11025);
    EXPECT_EQ(ReadBytes(Part(1)), TextBytes("vecchio"));
}

// A block larger than a whole part fails instead of filling the folder with empty parts.
TEST_F(ZipSpan, ABlockLargerThanAPartFails)
{
    Zip->SetMaxVolumeSize(1000);
    Zip->SetMinFreeVolumeSize(1000);
    const fs::path source = StoredSource(Dir / "long.zip", {{std::string(1200, 'n'), 10}});
    EXPECT_EQ(Zip->WriteSpan(source.string(), Output.string()), -7);
    EXPECT_EQ(Zip->ErrCode, 11010);
    EXPECT_LE(SpanParts(Output).size(), 1u);
}

TEST_F(ZipSpan, RemovableDrivePromptsLabelsAndAsksAboutRoom)
{
    const fs::path source = Source250k();
    TSimulatedDrive drive;
    drive.File = Output;
    Zip->DriveServices = drive.Services();
    auto* dialogs = new TDiskChangingDialogs(drive);
    dialogs->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
    SetDialogService(std::unique_ptr<IDialogService>(dialogs));
    Dialogs = dialogs;
    ASSERT_EQ(Zip->WriteSpan(source.string(), Output.string()), 0) << Zip->LastMessage;
    drive.ChangeDisk();
    EXPECT_EQ(drive.LabelsWritten, (std::vector<std::string>{"PKBACK# 001", "PKBACK# 002", "PKBACK# 003"}));
    std::vector<std::string> prompts;
    for (const TDialogRequestRecord& request : Dialogs->Requests())
        prompts.push_back(request.Text);
    EXPECT_EQ(prompts, (std::vector<std::string>{"Please insert disk volume 1 of 3\nin drive: X",
                                                 "Please insert disk volume 2 of 3\nin drive: X",
                                                 "Please insert disk volume 3 of 3\nin drive: X"}));
    EXPECT_EQ(Dialogs->Requests()[0].Buttons, MB_OKCANCEL);
    EXPECT_EQ(Dialogs->Requests()[0].Caption, "Tessellarium");
    ASSERT_EQ(drive.DisksTakenOut.size(), 3u);
    std::vector<fs::path> parts;
    for (std::size_t i = 0; i < 3; ++i) {
        parts.push_back(Dir / ("disk" + std::to_string(i + 1) + ".zip"));
        WriteBytes(parts.back(), drive.DisksTakenOut[i]);
        EXPECT_LE(drive.DisksTakenOut[i].size(), 100000u);
    }
    EXPECT_EQ(SpanLayoutFaults(parts), "");

    // A disk with less room than MinFreeVolumeSize is refused with the free-space question.
    drive.DisksTakenOut.clear();
    drive.Free = 50000;
    Zip->SetMinFreeVolumeSize(65536);
    auto* refusing = new TDiskChangingDialogs(drive);
    refusing->Expect(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK), "Please insert disk volume 1");
    refusing->Expect(TDialogKind::MessageBox, TDialogAnswer::Code(IDCANCEL), "This disk has not enough free space available");
    SetDialogService(std::unique_ptr<IDialogService>(refusing));
    Dialogs = refusing;
    EXPECT_EQ(Zip->WriteSpan(source.string(), Output.string()), -7);
    EXPECT_TRUE(Dialogs->Satisfied()) << ::testing::PrintToString(Dialogs->Failures());
    ASSERT_EQ(Dialogs->Requests().size(), 2u);
    EXPECT_EQ(Dialogs->Requests()[1].Buttons, MB_RETRYCANCEL);
    EXPECT_EQ(Dialogs->Requests()[1].Icon, MB_ICONERROR);
    EXPECT_EQ(Dialogs->Requests()[1].Caption, "Tessellarium");
    EXPECT_FALSE(fs::exists(Output));

    Zip->Unattended = true;
    EXPECT_EQ(Zip->WriteSpan(source.string(), Output.string()), -7);
    EXPECT_EQ(Zip->ErrCode, 11025);
}

TEST_F(ZipSpan, ErasingDisksGoesThroughTheFormatService)
{
    const fs::path source = Source250k();
    TSimulatedDrive drive;
    drive.File = Output;
    drive.Formatted = false;
    Zip->DriveServices = drive.Services();
    Zip->AddOptions = AddOpts{AddDiskSpanErase};
    struct TCall {
        int Index;
        std::string Label;
        bool WithoutUser;
    };
    struct TCase {
        int FormatResult;
        int Result;
        bool ErrorBox;
    };
    for (const TCase& c : {TCase{-2, -7, false}, TCase{-1, -7, true}, TCase{-3, -7, true}, TCase{0, 0, false}}) {
        SCOPED_TRACE(c.FormatResult);
        std::vector<TCall> calls;
        SetZipFormatService([&](int index, const std::string& label, bool withoutUser) {
            calls.push_back({index, label, withoutUser});
            drive.Formatted = true;
            return c.FormatResult;
        });
        auto* dialogs = new TDiskChangingDialogs(drive);
        dialogs->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
        SetDialogService(std::unique_ptr<IDialogService>(dialogs));
        Dialogs = dialogs;
        drive.Formatted = false;
        EXPECT_EQ(Zip->WriteSpan(source.string(), Output.string()), c.Result);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls[0].Index, 23);
        EXPECT_EQ(calls[0].Label, "PKBACK# 001");
        EXPECT_FALSE(calls[0].WithoutUser);
        EXPECT_EQ(BoxNumbers(), c.ErrorBox ? std::vector<int>{11007} : std::vector<int>{});
        EXPECT_EQ(calls.size(), c.Result == 0 ? 3u : 1u);
        EXPECT_EQ(ZipFormatSlot(), nullptr);
    }
}

TEST_F(ZipSpan, OneFormatRunsAtATime)
{
    std::latch release(1);
    std::atomic<int> calls{0};
    SetZipFormatService([&](int, const std::string&, bool) {
        ++calls;
        release.wait();
        return 5;
    });
    TZipArchiver first(nullptr);
    TZipArchiver second(nullptr);
    (new TSHFormatThread(&first, true))->Start();
    while (calls == 0)
        std::this_thread::yield();
    EXPECT_EQ(ZipFormatSlot(), &first);
    EXPECT_EQ(second.ZipFormat(), -1);
    EXPECT_EQ(calls, 1);
    release.count_down();
    for (int i = 0; i < 5000 && (first.FormatState != 2 || ZipFormatSlot() != nullptr); ++i)
        Sleep(1);
    EXPECT_EQ(first.FormatResult, 5);
    EXPECT_EQ(ZipFormatSlot(), nullptr);
    // The slot is free again: the next format runs.
    EXPECT_EQ(second.ZipFormat(), 5);
    EXPECT_EQ(ZipFormatSlot(), nullptr);
    SetZipFormatService(nullptr);
    EXPECT_EQ(second.ZipFormat(), -1);
}

TEST_F(ZipSpan, DamagedSetsFailAndLeaveNothingBehind)
{
    const fs::path source = Source250k();
    ASSERT_EQ(Zip->WriteSpan(source.string(), Output.string()), 0);
    const std::vector<TBytes> good = {ReadBytes(Part(1)), ReadBytes(Part(2)), ReadBytes(Part(3))};
    auto unsigned1 = good;
    PutLE32(unsigned1[0].data(), 0x12345678);
    auto truncated = good;
    truncated[1].resize(truncated[1].size() - 100);
    auto swapped = good;
    std::swap(swapped[0], swapped[1]);
    // The directory names an entry whose local header is not there.
    auto renamed = good;
    for (TBytes& part : renamed)
        for (std::size_t at : HeadersOf(part, ZipCentralHeaderSignature, ZipCentralHeaderSize))
            if (part[at + 46] == 'b')
                part[at + 46] = 'x';
    // The end record puts the directory on a disk beyond the set.
    auto beyond = good;
    PutLE16(beyond[2].data() + beyond[2].size() - ZipEndRecordSize + 6, 7);
    struct TCase {
        const char* What;
        std::vector<TBytes> Parts; // empty ones are left out
        int Number;
    };
    const std::vector<TCase> cases = {
        {"missing middle part", {good[0], {}, good[2]}, 11001},
        {"no span signature", unsigned1, 11031},
        {"truncated part", truncated, 0},
        {"parts swapped", swapped, 0},
        {"entry without local header", renamed, 11026},
        {"disk beyond the set", beyond, 11001},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        fs::remove_all(Dir / "set");
        fs::remove_all(Dir / "out");
        fs::create_directories(Dir / "set");
        fs::create_directories(Dir / "out");
        for (std::size_t i = 0; i < c.Parts.size(); ++i)
            if (!c.Parts[i].empty())
                WriteBytes(Part(static_cast<int>(i + 1)), c.Parts[i]);
        const std::vector<std::string> before = Files(Dir / "set");
        Zip->TempDir = (Dir / "out").string();
        std::string joined = (Dir / "out").string() + "/";
        EXPECT_EQ(Zip->ReadSpan(Part(3).string(), joined), -7);
        if (c.Number != 0) {
            EXPECT_EQ(Zip->ErrCode, c.Number) << Zip->LastMessage;
        }
        EXPECT_EQ(joined, "");
        EXPECT_TRUE(fs::is_empty(Dir / "out"));
        EXPECT_EQ(Files(Dir / "set"), before);
    }
}

// A set of about a thousand parts joins, and one missing part stops the join at its number.
TEST_F(ZipSpan, ManyPartsJoinAndAMissingOneStopsTheJoin)
{
    Zip->SetMaxVolumeSize(200);
    Zip->SetMinFreeVolumeSize(100);
    const fs::path source = StoredSource(Dir / "many.zip", {{"a.bin", 120000}, {"b.bin", 77000}});
    ASSERT_EQ(Zip->WriteSpan(source.string(), Output.string()), 0) << Zip->LastMessage;
    const std::vector<fs::path> parts = SpanParts(Output);
    ASSERT_GE(parts.size(), 950u);
    ASSERT_LE(parts.size(), 999u);
    fs::create_directories(Dir / "out");
    Zip->TempDir = (Dir / "out").string();
    std::string joined = (Dir / "out").string() + "/";
    ASSERT_EQ(Zip->ReadSpan(parts.back().string(), joined), 0) << Zip->LastMessage;
    EXPECT_EQ(PythonEntries(joined), PythonEntries(source));
    fs::remove(joined);

    fs::remove(parts[499]);
    joined = (Dir / "out").string() + "/";
    EXPECT_EQ(Zip->ReadSpan(parts.back().string(), joined), -7);
    EXPECT_EQ(Zip->ErrCode, 11001);
    EXPECT_EQ(Zip->DiskNumber, 499);
    EXPECT_TRUE(fs::is_empty(Dir / "out"));
}

// Entries whose sizes follow their data carry none in their local headers: the directory's
// sizes tell how much to copy, and the set still joins whole.
TEST_F(ZipSpan, EntriesWithDataDescriptorsKeepTheirData)
{
    const fs::path source = PythonStreamedArchive(MakeSampleTree(Dir / "tree"), Dir / "streamed.zip");
    const TBytes bytes = ReadBytes(source);
    ASSERT_EQ(GetLE16(bytes.data() + 6) & 8, 8);
    ASSERT_EQ(GetLE32(bytes.data() + 18), 0u);
    Zip->SetMaxVolumeSize(65536);
    ASSERT_EQ(Zip->WriteSpan(source.string(), Output.string()), 0) << Zip->LastMessage;
    EXPECT_EQ(SpanLayoutFaults(SpanParts(Output)), "");
    fs::create_directories(Dir / "out");
    std::string joined = (Dir / "out" / "unito.zip").string();
    ASSERT_EQ(Zip->ReadSpan(SpanParts(Output).back().string(), joined), 0) << Zip->LastMessage;
    std::string output;
    EXPECT_EQ(RunCommand("unzip -tq " + Quoted(joined), &output), 0) << output;
    EXPECT_EQ(PythonEntries(joined), PythonEntries(source));
}
