// Messages by number, the component's exception, and its file routines.

#include "ZipArchiverTestSupport.h"

#include "platform/rtl/Files.h"

namespace {

class ZipArchiverMessages : public TZipArchiverTest {};

// The bytes 0, 1, ... 255, 0, 1, ... of a length.
TBytes Counting(std::size_t size)
{
    TBytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i);
    return bytes;
}

} // namespace

TEST_F(ZipArchiverMessages, AMessageShowsTheFallbackWithItsNumber)
{
    std::vector<std::string> told;
    Zip->OnMessage = [&](TObject*, int code, const std::string& text) {
        EXPECT_EQ(code, 0);
        told.push_back(text);
    };
    Zip->ShowZipMessage(10301, "");
    const std::string text = "ZipMsgxx.res is probably not bound to the executable\nMissing String ID is: 10301";
    ASSERT_EQ(Dialogs->Requests().size(), 1u);
    EXPECT_EQ(Dialogs->Requests()[0].Text, text);
    EXPECT_EQ(Dialogs->Requests()[0].Caption, "Tessellarium");
    EXPECT_EQ(Dialogs->Requests()[0].Buttons, MB_OK);
    EXPECT_EQ(Zip->ErrCode, 10301);
    EXPECT_EQ(Zip->LastMessage, text);
    EXPECT_EQ(told, std::vector<std::string>{text});

    Zip->Unattended = true;
    Zip->ShowZipMessage(10102, "\naltro");
    EXPECT_EQ(Dialogs->Requests().size(), 1u);
    EXPECT_EQ(Zip->ErrCode, 10102);
    EXPECT_EQ(Zip->LastMessage, Fallback(10102) + "\naltro");

    const EZipBuilder error(11038, 3);
    EXPECT_EQ(error.Message, Fallback(11038));
    EXPECT_EQ(error.MessageId, 11038);
    EXPECT_TRUE(error.ShowToUser);
    const EZipBuilder stopped(11007, false);
    Zip->Unattended = false;
    Zip->ShowExceptionError(stopped);
    EXPECT_EQ(Dialogs->Requests().size(), 1u);
    EXPECT_EQ(Zip->ErrCode, 11007);
}

TEST_F(ZipArchiverMessages, SlashesAndBuffers)
{
    EXPECT_EQ(TZipArchiver::AppendSlash(""), "");
    EXPECT_EQ(TZipArchiver::AppendSlash("a\\"), "a\\");
    EXPECT_EQ(TZipArchiver::AppendSlash("a"), "a\\");
    EXPECT_EQ(TZipArchiver::ReplaceForwardSlash("a/b/c"), "a\\b\\c");

    const TBytes source = Counting(20000);
    WriteBytes(Dir / "in", source);
    for (std::int64_t count : {10000, -1}) {
        SCOPED_TRACE(count);
        const int in = FileOpen((Dir / "in").string(), fmOpenRead);
        const int out = FileCreate((Dir / "out").string());
        std::vector<std::int64_t> chunks;
        Zip->ShowCopyProgress = true;
        Zip->OnProgress = [&](TObject*, ProgressType type, const std::string&, std::int64_t size) {
            EXPECT_EQ(type, ProgressUpdate);
            chunks.push_back(size);
        };
        EXPECT_EQ(Zip->CopyBuffer(in, out, count), 0);
        FileClose(in);
        FileClose(out);
        const std::size_t copied = count < 0 ? source.size() : static_cast<std::size_t>(count);
        EXPECT_EQ(ReadBytes(Dir / "out"), TBytes(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(copied)));
        if (count == 10000) {
            EXPECT_EQ(chunks, (std::vector<std::int64_t>{8192, 1808}));
        }
    }
}

TEST_F(ZipArchiverMessages, FilesAreErasedToTheTrashOrForGood)
{
    // The trash of the home folder's volume: home and data folder on the test's volume.
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", Dir.c_str(), 1);
    setenv("XDG_DATA_HOME", (Dir / "xdg").c_str(), 1);
    fs::create_directories(Dir / "xdg");
    EXPECT_EQ(Zip->EraseFile((Dir / "manca.zip").string(), htdFinal), -1);
    WriteText(Dir / "vecchio.zip", "vecchio");
    EXPECT_EQ(Zip->EraseFile((Dir / "vecchio.zip").string(), htdAllowUndo), 0);
    EXPECT_FALSE(fs::exists(Dir / "vecchio.zip"));
    EXPECT_TRUE(fs::exists(Dir / "xdg" / "Trash" / "files" / "vecchio.zip"));
    WriteText(Dir / "finale.zip", "finale");
    EXPECT_EQ(Zip->EraseFile((Dir / "finale.zip").string(), htdFinal), 0);
    EXPECT_FALSE(fs::exists(Dir / "finale.zip"));
    EXPECT_FALSE(fs::exists(Dir / "xdg" / "Trash" / "files" / "finale.zip"));
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", home.c_str(), 1);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ZipArchiverMessages, TemporaryNamesAreReservedAndCopiesReplaceWhole)
{
    Zip->TempDir = Dir.string();
    const std::string first = Zip->MakeTempFileName("zip", ".zip");
    const std::string second = Zip->MakeTempFileName("zip", ".zip");
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_TRUE(fs::exists(name)) << name;
        EXPECT_EQ(fs::path(name).extension(), ".zip");
        EXPECT_EQ(fs::path(name).parent_path(), Dir);
    }
    EXPECT_EQ(Zip->TempDir, Dir.string() + "\\");

    const TBytes bytes = Counting(30000);
    MakeFileAt(Dir / "origine.dat", bytes, FixtureMoment);
    WriteText(Dir / "copia.dat", "vecchia");
    Zip->HowToDelete = htdFinal;
    EXPECT_EQ(Zip->CopyFile((Dir / "origine.dat").string(), (Dir / "copia.dat").string()), 0);
    EXPECT_EQ(ReadBytes(Dir / "copia.dat"), bytes);
    EXPECT_EQ(ModificationTime(Dir / "copia.dat") / 2, FixtureMoment / 2);
    EXPECT_EQ(Zip->CopyFile((Dir / "manca.dat").string(), (Dir / "copia.dat").string()), -3);
    EXPECT_EQ(ReadBytes(Dir / "copia.dat"), bytes);
}
