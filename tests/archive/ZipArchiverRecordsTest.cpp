// What the component hands the engines (seen by fake engines), and its rules around the calls.

#include "ZipArchiverTestSupport.h"

namespace {

std::string Shown(const std::optional<std::string>& text) { return text ? *text : "(null)"; }

// The fields of a zip record by name, as text.
std::map<std::string, std::string> ZipFields(const TSeenZipCall& call)
{
    const TZipCmdRecord& r = call.Record;
    std::map<std::string, std::string> fields = {
        {"Handle", std::to_string(reinterpret_cast<std::uintptr_t>(r.Handle))},
        {"Caller", std::to_string(reinterpret_cast<std::uintptr_t>(r.Caller))},
        {"Version", std::to_string(r.Version)},
        {"Callback", std::to_string(reinterpret_cast<std::uintptr_t>(r.Callback))},
        {"Trace", std::to_string(r.Trace)},
        {"Password", Shown(call.Password)},
        {"StoreSuffixes", Shown(call.Suffixes)},
        {"Encrypt", std::to_string(r.Encrypt)},
        {"AddHiddenFiles", std::to_string(r.AddHiddenFiles)},
        {"AddVolume", std::to_string(r.AddVolume)},
        {"NoDirEntries", std::to_string(r.NoDirEntries)},
        {"Verbose", std::to_string(r.Verbose)},
        {"Reserved3", std::to_string(r.Reserved3)},
        {"Level", std::to_string(r.Level)},
        {"NoDirNames", std::to_string(r.NoDirNames)},
        {"Recurse", std::to_string(r.Recurse)},
        {"Grow", std::to_string(r.Grow)},
        {"ForceDOS", std::to_string(r.ForceDOS)},
        {"Move", std::to_string(r.Move)},
        {"DeleteEntries", std::to_string(r.DeleteEntries)},
        {"Update", std::to_string(r.Update)},
        {"Freshen", std::to_string(r.Freshen)},
        {"ZipTime", std::to_string(r.ZipTime)},
        {"FileSpecCount", std::to_string(r.FileSpecCount)},
        {"ArchiveName", Shown(call.Archive)},
    };
    if (call.Old) {
        fields["Seven"] = std::to_string(call.OldSeven);
        return fields;
    }
    fields["TempDir"] = Shown(call.TempDir);
    fields["RawComment"] = Shown(call.Comment);
    fields["ArchiveOnly"] = std::to_string(r.ArchiveOnly);
    fields["ResetArchive"] = std::to_string(r.ResetArchive);
    fields["ExcludeCount"] = std::to_string(r.ExcludeCount);
    fields["Seven"] = std::to_string(r.Seven);
    for (std::size_t i = 0; i < call.Specs.size(); ++i) {
        const TSeenZipCall::TSpec& spec = call.Specs[i];
        const std::string at = "Spec" + std::to_string(i) + ".";
        fields[at + "FileSpec"] = spec.FileSpec;
        fields[at + "Password"] = Shown(spec.Password);
        fields[at + "Encrypt"] = std::to_string(spec.Encrypt);
        fields[at + "Recurse"] = std::to_string(spec.Recurse);
        fields[at + "RootDir"] = Shown(spec.RootDir);
    }
    for (std::size_t i = 0; i < call.Excludes.size(); ++i)
        fields["Exclude" + std::to_string(i)] = call.Excludes[i];
    return fields;
}

std::string Address(const void* p) { return std::to_string(reinterpret_cast<std::uintptr_t>(p)); }

class ZipArchiverRecords : public TZipArchiverTest {
protected:
    // An archive with the backup's comment, made by python.
    fs::path CommentedArchive()
    {
        const fs::path archive = Dir / "backup.aft";
        std::string output;
        EXPECT_EQ(RunPython("import sys, zipfile\n"
                            "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                            "    z.comment = b\"Tessellarium_3.0.18\"\n"
                            "    z.writestr(\"a.txt\", \"a\")\n",
                            {archive.string()}, &output),
                  0)
            << output;
        return archive;
    }

    void FormOptions()
    {
        Zip->AddOptions = {AddDirNames, AddRecurseDirs, AddUpdate};
        Zip->ExtrOptions = {ExtrDirNames, ExtrOverWrite};
    }
};

class ZipArchiverRules : public ZipArchiverRecords {};

} // namespace

TEST_F(ZipArchiverRecords, AddFillsTheRecordAsTheMainWindowSetsIt)
{
    TFakeCores::Register();
    FormOptions();
    Zip->Verbose = true;
    Zip->Password = std::string(90, 'p');
    Zip->SetRootDir("C:\\Dati");
    Zip->TempDir = "provvisori\\";
    const fs::path archive = CommentedArchive();
    Zip->SetZipFileName(archive.string());
    for (const char* spec : {">x", "|y", "z<pw", "w<"})
        Zip->FSpecArgs()->Add(spec);
    Zip->FSpecArgsExcl()->Add("*.tmp");
    Zip->Add();
    ASSERT_EQ(TFakeCores::ZipCalls.size(), 1u);
    const std::string password(81, 'p');
    const std::map<std::string, std::string> expected = {
        {"Handle", Address(Application->Handle())}, {"Caller", Address(Zip.get())}, {"Version", "160"},
        {"Callback", Address(reinterpret_cast<void*>(&TZipArchiver::ZCallback))}, {"Trace", "0"},
        {"Password", password}, {"StoreSuffixes", ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha"},
        {"Encrypt", "0"}, {"AddHiddenFiles", "0"}, {"AddVolume", "0"}, {"NoDirEntries", "1"}, {"Verbose", "1"},
        {"Reserved3", "1"}, {"Level", "9"}, {"NoDirNames", "0"}, {"Recurse", "1"}, {"Grow", "1"},
        {"ForceDOS", "0"}, {"Move", "0"}, {"DeleteEntries", "0"}, {"Update", "1"}, {"Freshen", "0"},
        {"ZipTime", "0"}, {"FileSpecCount", "4"}, {"ArchiveName", archive.string()},
        {"TempDir", "provvisori\\"}, {"RawComment", "Tessellarium_3.0.18"}, {"ArchiveOnly", "0"},
        {"ResetArchive", "0"}, {"ExcludeCount", "1"}, {"Exclude0", "*.tmp"}, {"Seven", "7"},
        {"Spec0.FileSpec", "x"}, {"Spec0.Password", password}, {"Spec0.Encrypt", "0"}, {"Spec0.Recurse", "1"},
        {"Spec0.RootDir", "C:\\Dati\\"},
        {"Spec1.FileSpec", "y"}, {"Spec1.Password", password}, {"Spec1.Encrypt", "0"}, {"Spec1.Recurse", "0"},
        {"Spec1.RootDir", "C:\\Dati\\"},
        {"Spec2.FileSpec", "z"}, {"Spec2.Password", "pw"}, {"Spec2.Encrypt", "1"}, {"Spec2.Recurse", "1"},
        {"Spec2.RootDir", "C:\\Dati\\"},
        {"Spec3.FileSpec", "w"}, {"Spec3.Password", "(null)"}, {"Spec3.Encrypt", "0"}, {"Spec3.Recurse", "1"},
        {"Spec3.RootDir", "C:\\Dati\\"},
    };
    EXPECT_EQ(ZipFields(TFakeCores::ZipCalls[0]), expected);
    // The call empties both lists; one file processed lists the archive again.
    EXPECT_EQ(Zip->FSpecArgs()->Count(), 0);
    EXPECT_EQ(Zip->FSpecArgsExcl()->Count(), 0);
    EXPECT_EQ(Zip->SuccessCount, 1);
    EXPECT_FALSE(Zip->ZipBusy);
}

TEST_F(ZipArchiverRecords, StoredSuffixesFollowTheSet)
{
    TFakeCores::Register();
    const std::vector<std::pair<AddStoreExts, std::string>> cases = {
        {Zip->AddStoreSuffixes, ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha"},
        {{assZIP, assEXE}, ".zip:.exe"},
        {{}, "(null)"},
    };
    for (const auto& [suffixes, text] : cases) {
        Zip->AddStoreSuffixes = suffixes;
        Zip->SetZipFileName((Dir / "nuovo.zip").string());
        Zip->FSpecArgs()->Add("a");
        Zip->Add();
        ASSERT_FALSE(TFakeCores::ZipCalls.empty());
        EXPECT_EQ(Shown(TFakeCores::ZipCalls.back().Suffixes), text);
    }
}

TEST_F(ZipArchiverRecords, AnOldEngineGetsTheOldRecord)
{
    TFakeCores::Register();
    TFakeCores::ZipVersion = 150;
    FormOptions();
    Zip->SetZipFileName((Dir / "nuovo.zip").string());
    for (const char* spec : {">x", "z<pw"})
        Zip->FSpecArgs()->Add(spec);
    Zip->Add();
    ASSERT_EQ(TFakeCores::ZipCalls.size(), 1u);
    const TSeenZipCall& call = TFakeCores::ZipCalls[0];
    ASSERT_TRUE(call.Old);
    const std::map<std::string, std::string> fields = ZipFields(call);
    EXPECT_EQ(fields.at("Seven"), "7");
    EXPECT_EQ(fields.at("Version"), "160");
    EXPECT_EQ(fields.at("Level"), "9");
    EXPECT_EQ(fields.at("Update"), "1");
    EXPECT_EQ(fields.at("FileSpecCount"), "2");
    EXPECT_EQ(fields.at("ArchiveName"), (Dir / "nuovo.zip").string());
    EXPECT_EQ(call.OldSpecs, (std::vector<std::string>{">x", "z<pw"}));
}

TEST_F(ZipArchiverRecords, DeleteOverridesTheAddOptions)
{
    TFakeCores::Register();
    Zip->AddOptions = {AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddEncrypt};
    Zip->Password = "segreto";
    Zip->SetRootDir("C:\\Dati");
    Zip->SetZipFileName(CommentedArchive().string());
    Zip->FSpecArgs()->Add(">a.txt<pw");
    Zip->Delete();
    ASSERT_EQ(TFakeCores::ZipCalls.size(), 1u);
    const std::map<std::string, std::string> fields = ZipFields(TFakeCores::ZipCalls[0]);
    const std::map<std::string, std::string> overridden = {
        {"DeleteEntries", "1"}, {"Grow", "0"}, {"NoDirNames", "0"}, {"Move", "0"},   {"Freshen", "0"},
        {"Update", "0"},        {"Recurse", "0"}, {"Encrypt", "0"},  {"Spec0.FileSpec", ">a.txt<pw"},
        {"Spec0.Password", "(null)"}, {"Spec0.RootDir", "(null)"},   {"Spec0.Recurse", "0"}};
    for (const auto& [field, value] : overridden)
        EXPECT_EQ(fields.at(field), value) << field;
    EXPECT_EQ(Zip->FSpecArgs()->Count(), 0);
}

TEST_F(ZipArchiverRecords, MemoryExtractionNeedsVersion160)
{
    TFakeCores::Register();
    TFakeCores::UnzVersion = 159;
    Zip->SetZipFileName(CommentedArchive().string());
    EXPECT_EQ(Zip->ExtractFileToStream("a.txt"), nullptr);
    EXPECT_EQ(Zip->ErrCode, 10503);
    EXPECT_EQ(BoxNumbers(), std::vector<int>{10503});
    EXPECT_TRUE(TFakeCores::UnzipCalls.empty());
}

TEST_F(ZipArchiverRules, SettersKeepTheirRules)
{
    Zip->SetPasswordReqCount(20);
    EXPECT_EQ(Zip->PasswordReqCount(), 15u);
    Zip->SetDLLDirectory("x\\");
    EXPECT_EQ(Zip->DLLDirectory(), "x");
    Zip->SetRootDir("x");
    EXPECT_EQ(Zip->RootDir(), "x\\");
    Zip->SetRootDir("");
    EXPECT_EQ(Zip->RootDir(), "");
    Zip->SetKeepFreeOnDisk1(-1);
    Zip->SetMaxVolumeSize(-1);
    Zip->SetMinFreeVolumeSize(0);
    EXPECT_EQ(Zip->KeepFreeOnDisk1(), 0);
    EXPECT_EQ(Zip->MaxVolumeSize(), 0);
    EXPECT_EQ(Zip->MinFreeVolumeSize(), 65536);
    Zip->SetVersionInfo("9.99");
    EXPECT_EQ(Zip->VersionInfo(), "1.60 L");
}

TEST_F(ZipArchiverRules, AddWithoutSpecificationsChangesNothing)
{
    TFakeCores::Register();
    Zip->SetZipFileName((Dir / "nuovo.zip").string());
    Zip->FSpecArgsExcl()->Add("*.tmp");
    Zip->Add();
    EXPECT_EQ(Zip->ErrCode, 10301);
    EXPECT_EQ(Boxes(), std::vector<std::string>{Fallback(10301)});
    EXPECT_EQ(Zip->FSpecArgsExcl()->Count(), 1);
    EXPECT_TRUE(TFakeCores::ZipCalls.empty());
}

TEST_F(ZipArchiverRules, MemoryExtractionOfAnUnknownNameCallsNoEngine)
{
    TFakeCores::Register();
    Zip->SetZipFileName(CommentedArchive().string());
    EXPECT_EQ(Zip->ExtractFileToStream("manca.txt"), nullptr);
    EXPECT_TRUE(TFakeCores::UnzipCalls.empty());
    EXPECT_EQ(Zip->SuccessCount, 0);
}

TEST_F(ZipArchiverRules, UnattendedExtractionWithoutPasswordAsksForNone)
{
    TFakeCores::Register();
    Zip->SetPasswordReqCount(3);
    Zip->Unattended = true;
    Zip->SetZipFileName(CommentedArchive().string());
    Zip->Extract();
    EXPECT_EQ(Zip->ErrCode, 10502);
    ASSERT_EQ(TFakeCores::UnzipCalls.size(), 1u);
    EXPECT_EQ(TFakeCores::UnzipCalls[0].Record.PasswordReqCount, 0u);
    EXPECT_EQ(TFakeCores::UnzipCalls[0].Record.FileSpecCount, 0u); // every entry
    EXPECT_EQ(Zip->PasswordReqCount(), 3u);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ZipArchiverRules, AnAddThatProcessedNothingDoesNotListAgain)
{
    TFakeCores::Register();
    int listings = 0;
    Zip->OnDirUpdate = [&](TObject*) { ++listings; };
    Zip->SetZipFileName(CommentedArchive().string());
    for (int result : {0, 1}) {
        TFakeCores::Result = result;
        Zip->FSpecArgs()->Add("a");
        Zip->Add();
    }
    EXPECT_EQ(listings, 2); // the name, then the Add that stored a file
}

TEST_F(ZipArchiverRules, MissingEnginesAndEntryPointsAreReported)
{
    UnregisterSystemModule("ZIPCORE.DLL");
    UnregisterSystemModule("UNZCORE.DLL");
    Zip->SetZipFileName(CommentedArchive().string());
    Zip->FSpecArgs()->Add("a");
    Zip->Add();
    Zip->Extract();
    EXPECT_EQ(BoxNumbers(), (std::vector<int>{10604, 10704}));
    // An extraction that ends for want of its engine still gives the request count back.
    Zip->SetPasswordReqCount(3);
    Zip->Unattended = true;
    Zip->Extract();
    EXPECT_EQ(Zip->ErrCode, 10704);
    EXPECT_EQ(Zip->PasswordReqCount(), 3u);
    Zip->Unattended = false;

    TFakeCores::Register(false);
    Zip->FSpecArgs()->Add("a");
    Zip->Add();
    EXPECT_EQ(BoxNumbers(), (std::vector<int>{10604, 10704, 10602, 10101}));
    EXPECT_FALSE(Zip->ZipBusy);
    EXPECT_EQ(Zip->SuccessCount, 0);
}

TEST_F(ZipArchiverRules, ABackupOntoATextFileWritesNothing)
{
    const fs::path text = Dir / "appunti.aft";
    WriteText(text, "non un archivio\n");
    const TBytes before = ReadBytes(text);
    Zip->SetRootDir((Dir / "dati").string());
    Zip->SetZipFileName(text.string());
    EXPECT_EQ(Zip->ErrCode, 11036);
    Zip->FSpecArgs()->Add(".\\");
    Zip->Add();
    EXPECT_EQ(Zip->ErrCode, 10102);
    Zip->SetZipComment("Tessellarium_3.0.18");
    EXPECT_EQ(Zip->ErrCode, 11001);
    EXPECT_EQ(BoxNumbers(), (std::vector<int>{11036, 10102, 11001}));
    EXPECT_EQ(ReadBytes(text), before);
}

namespace {

TZCallBackStruct CallbackRecord(TZipArchiver* zip, std::uint32_t action, std::uint32_t code, std::uint32_t size,
                                const std::string& text)
{
    TZCallBackStruct record;
    record.Caller = zip;
    record.ActionCode = action;
    record.ErrorCode = code;
    record.Size = size;
    std::memcpy(record.Text, text.data(), std::min(text.size(), sizeof record.Text - 1));
    return record;
}

} // namespace

TEST_F(ZipArchiverRecords, TheCallbackAnswersEachAction)
{
    using namespace ZipCoreApi;
    std::vector<std::string> events;
    Zip->OnProgress = [&](TObject*, ProgressType type, const std::string& name, std::int64_t size) {
        events.push_back("progress " + std::to_string(type) + " " + name + " " + std::to_string(size));
    };
    Zip->OnMessage = [&](TObject*, int code, const std::string& text) {
        events.push_back("message " + std::to_string(code) + " " + text);
    };
    Zip->OnSetNewName = [&](TObject*, std::string& name, bool& changed) {
        name = "nuovo/" + name;
        changed = true;
    };
    Zip->OnCRC32Error = [&](TObject*, const std::string& name, unsigned found, unsigned expected, bool& extract) {
        events.push_back("crc " + name + " " + std::to_string(found) + " " + std::to_string(expected));
        extract = false;
    };
    Zip->OnExtractOverwrite = [&](TObject*, const std::string& name, bool older, bool& overwrite) {
        events.push_back("overwrite " + name + " " + std::to_string(older) + " " + std::to_string(overwrite));
        overwrite = false;
    };
    Zip->OnExtractSkipped = [&](TObject*, const std::string& name, UnZipSkipTypes type, int code) {
        events.push_back("skipped " + name + " " + std::to_string(type) + " " + std::to_string(code));
    };
    Zip->OnFileComment = [&](TObject*, const std::string& name, std::string& comment, bool& changed) {
        events.push_back("comment " + name + " " + comment);
        comment = "nota nuova";
        changed = true;
    };
    Zip->OnPasswordError = [&](TObject*, std::string& password, const std::string& name, unsigned& repeat) {
        events.push_back("password " + name + " " + std::to_string(repeat));
        password = std::string(100, 'k');
        repeat = 40;
    };
    auto call = [&](std::uint32_t action, std::uint32_t code, std::uint32_t size, const std::string& text) {
        TZCallBackStruct record = CallbackRecord(Zip.get(), action, code, size, text);
        EXPECT_EQ(TZipArchiver::ZCallback(&record), 0);
        return record;
    };
    call(zcaFileBegins, 0, 1500, "Data/Clienti.DAT \r\n");
    call(zcaBytesToDo, 0, 90000, "");
    EXPECT_EQ(Zip->TotalSize, 90000u);
    call(zcaMessage, 0x1FE, 0, "errore/grave");
    EXPECT_EQ(Zip->ErrCode, -2);
    EXPECT_EQ(Zip->FullErrorCode, 0x1FE);
    EXPECT_EQ(Zip->LastMessage, "errore\\grave");
    TZCallBackStruct renamed = call(zcaNewName, 0, 0, "a/b.txt");
    EXPECT_STREQ(renamed.Text, "nuovo/a/b.txt");
    EXPECT_EQ(renamed.ErrorCode, 1u);
    EXPECT_EQ(call(zcaCrcError, 11, 22, "c.txt").ErrorCode, 0u);
    EXPECT_EQ(call(zcaOverwrite, 1, 1, "d.txt").Size, 0u);
    call(zcaSkipped, 7, 0x103, "e.txt");
    EXPECT_EQ(Zip->ErrCode, 7);
    TZCallBackStruct comment = CallbackRecord(Zip.get(), zcaFileComment, 0, 0, "f.txt");
    std::strcpy(comment.Text + ZCallBackCommentOffset, "nota");
    EXPECT_EQ(TZipArchiver::ZCallback(&comment), 0);
    EXPECT_STREQ(comment.Text, "nota nuova");
    EXPECT_EQ(comment.ErrorCode, 1u);
    EXPECT_EQ(comment.Size, 10u);
    TZCallBackStruct password = call(zcaPassword, 0, 3, "g.txt");
    EXPECT_EQ(std::string(password.Text), std::string(81, 'k'));
    EXPECT_EQ(password.ErrorCode, 1u);
    EXPECT_EQ(password.Size, 15u);
    EXPECT_TRUE(Zip->StorePassword);
    const std::vector<std::string> expected = {
        "progress 0 Data\\Clienti.DAT 1500", "progress 4  90000", "message 510 errore\\grave",
        "crc c.txt 11 22", "overwrite d.txt 1 1", "skipped e.txt 3 7", "comment f.txt nota", "password g.txt 3"};
    EXPECT_EQ(events, expected);

    Zip->CancelRequested = true;
    TZCallBackStruct stop = CallbackRecord(Zip.get(), zcaBytesDone, 0, 10, "");
    EXPECT_EQ(TZipArchiver::ZCallback(&stop), 1);
    Zip->OnCRC32Error = nullptr;
    TZCallBackStruct keep = CallbackRecord(Zip.get(), zcaCrcError, 1, 2, "h.txt");
    TZipArchiver::ZCallback(&keep);
    EXPECT_EQ(keep.ErrorCode, 2u);
}

TEST_F(ZipArchiverRules, OddSpecificationsReachTheEngineAsTheyStand)
{
    const std::vector<std::string> specs = {std::string(10000, 'a'), "con\x01trollo\t", "dati\\*.dat"};
    TFakeCores::Register();
    Zip->SetZipFileName((Dir / "nuovo.zip").string());
    for (const std::string& spec : specs)
        Zip->FSpecArgs()->Add(spec);
    Zip->Add();
    ASSERT_EQ(TFakeCores::ZipCalls.size(), 1u);
    std::vector<std::string> seen;
    for (const TSeenZipCall::TSpec& spec : TFakeCores::ZipCalls[0].Specs)
        seen.push_back(spec.FileSpec);
    EXPECT_EQ(seen, specs);

    // The real engine finds nothing by those names and writes no archive.
    UnregisterSystemModule("ZIPCORE.DLL");
    UnregisterSystemModule("UNZCORE.DLL");
    RegisterZipCoreModules();
    MakeFileAt(Dir / "dati" / "a.txt", TextBytes("a"));
    Zip->SetRootDir((Dir / "dati").string());
    Zip->Unattended = true;
    for (const std::string& spec : specs)
        Zip->FSpecArgs()->Add(spec);
    Zip->Add();
    EXPECT_EQ(Zip->SuccessCount, 0);
    EXPECT_FALSE(fs::exists(Dir / "nuovo.zip"));
    EXPECT_FALSE(Zip->ZipBusy);
}
