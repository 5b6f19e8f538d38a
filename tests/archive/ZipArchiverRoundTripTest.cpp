// The component over the real engines, as the main window runs it: a backup of the data folder
// with its comment, a restore, one entry into memory, and calls from inside the progress event.

#include "ZipArchiverTestSupport.h"

#include <unistd.h>

namespace {

std::string CurrentFolder()
{
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? buffer : "";
}

class ZipArchiverRoundTrip : public TZipArchiverTest {
protected:
    void FormOptions()
    {
        Zip->AddOptions = {AddDirNames, AddRecurseDirs, AddUpdate};
        Zip->ExtrOptions = {ExtrDirNames, ExtrOverWrite};
    }

    // A zip -r archive of the sample tree with the backup's comment.
    fs::path ToolBackup()
    {
        const fs::path archive = ZipToolArchive(MakeSampleTree(Dir / "tree"), Dir / "backup.aft");
        std::string output;
        EXPECT_EQ(RunPython("import sys, zipfile\n"
                            "with zipfile.ZipFile(sys.argv[1], \"a\") as z: z.comment = b\"Tessellarium_3.0.18\"\n",
                            {archive.string()}, &output),
                  0)
            << output;
        return archive;
    }
};

} // namespace

TEST_F(ZipArchiverRoundTrip, TheDataFolderIsBackedUpWithItsComment)
{
    MakeSampleTree(Dir / "dati");
    const std::string folder = CurrentFolder();
    FormOptions();
    Zip->SetRootDir((Dir / "dati").string());
    const fs::path archive = Dir / "copia.aft";
    Zip->SetZipFileName(archive.string());
    Zip->FSpecArgs()->Clear();
    Zip->FSpecArgs()->Add(".\\");
    Zip->Add();
    EXPECT_EQ(Zip->SuccessCount, 4);
    EXPECT_EQ(Zip->GetCount(), 4);
    Zip->SetZipComment(Application->Title() + "_" + "3.0.18");
    EXPECT_TRUE(Boxes().empty());
    std::string output;
    ASSERT_EQ(RunCommand("unzip -tq " + Quoted(archive), &output), 0) << output;
    ASSERT_EQ(RunCommand("unzip -Z1 " + Quoted(archive) + " | sort", &output), 0) << output;
    EXPECT_EQ(output, "Data/Clienti.DAT\nData/vuoto.dat\nReport/Default/fattura.frf\nimmagine.bin\n");
    ASSERT_EQ(RunCommand("unzip -z " + Quoted(archive), &output), 0) << output;
    EXPECT_NE(output.find("Tessellarium_3.0.18"), std::string::npos) << output;
    EXPECT_EQ(CurrentFolder(), folder);
}

TEST_F(ZipArchiverRoundTrip, ABackupIsRestoredIntoTheDataFolder)
{
    const fs::path archive = ToolBackup();
    fs::create_directories(Dir / "ripristino");
    const std::string folder = CurrentFolder();
    FormOptions();
    Zip->SetZipFileName(archive.string());
    Zip->FSpecArgs()->Clear();
    Zip->ExtrBaseDir = (Dir / "ripristino").string();
    ASSERT_EQ(Zip->GetZipComment(), "Tessellarium_3.0.18");
    Zip->Extract();
    EXPECT_EQ(Zip->SuccessCount, 4);
    EXPECT_EQ(FilesBelow(Dir / "ripristino"), FilesBelow(Dir / "tree"));
    EXPECT_EQ(CurrentFolder(), folder);
    EXPECT_TRUE(Boxes().empty());

    TZipStream* stream = Zip->ExtractFileToStream("Data\\Clienti.DAT");
    ASSERT_NE(stream, nullptr);
    const TBytes expected = ReadBytes(Dir / "tree" / "Data" / "Clienti.DAT");
    ASSERT_EQ(stream->Size(), static_cast<std::int64_t>(expected.size()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), reinterpret_cast<const std::uint8_t*>(stream->Memory())));
}

TEST_F(ZipArchiverRoundTrip, TheProgressEventCanNeitherReenterNorIsIgnoredWhenItStops)
{
    MakeSampleTree(Dir / "dati");
    FormOptions();
    Zip->SetRootDir((Dir / "dati").string());
    Zip->SetZipFileName((Dir / "copia.aft").string());
    int calls = 0;
    Zip->OnProgress = [&](TObject*, ProgressType type, const std::string&, std::int64_t) {
        if (type != NewFile || calls++ > 0)
            return;
        // A second Add from a handler returns at once, without touching the running one.
        Zip->FSpecArgs()->Add("immagine.bin");
        Zip->Add();
        EXPECT_EQ(Zip->SuccessCount, 0);
        EXPECT_TRUE(Zip->ZipBusy);
        Zip->CancelRequested = true;
    };
    Zip->FSpecArgs()->Clear();
    Zip->FSpecArgs()->Add(".\\");
    Zip->Add();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Zip->SuccessCount, 0);
    EXPECT_FALSE(Zip->ZipBusy);
    EXPECT_FALSE(Zip->CancelRequested);
    EXPECT_FALSE(fs::exists(Dir / "copia.aft"));
}
