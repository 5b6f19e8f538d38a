// Messages by number, the component's exception and the small file routines its own ZIP work
// shares.

#include "archive/ZipArchiver.h"

#include "platform/gui/Application.h"
#include "platform/gui/Screen.h"
#include "platform/os/FileApi.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ShellFileOperation.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <sys/stat.h>
#include <unistd.h>

const char* const ZipMessageFallback =
    "ZipMsgxx.res is probably not bound to the executable\nMissing String ID is: ";

namespace {

constexpr int ZipCopyChunk = 8192;

// The text of a number formatted with the arguments, or the fallback and the number alone when
// the program has no text for it.
std::string ZipBuilderText(int messageId, std::initializer_list<TVarRec> arguments)
{
    const std::string text = TZipArchiver::LoadZipStr(messageId, "");
    if (text.empty())
        return ZipMessageFallback + IntToStr(messageId);
    return arguments.size() == 0 ? text : Format(text, arguments);
}

std::int64_t ZipFileSizeOf(const std::string& fileName)
{
    struct stat info {};
    if (stat(ResolvePath(fileName).c_str(), &info) != 0)
        return -1;
    return info.st_size;
}

} // namespace

EZipBuilder::EZipBuilder(int messageId, bool showToUser)
    : Exception(ZipBuilderText(messageId, {})), ShowToUser(showToUser), MessageId(messageId)
{
}

EZipBuilder::EZipBuilder(int messageId, int argument)
    : Exception(ZipBuilderText(messageId, {argument})), MessageId(messageId)
{
}

EZipBuilder::EZipBuilder(int messageId, const std::string& argument)
    : Exception(ZipBuilderText(messageId, {argument})), MessageId(messageId)
{
}

EZipBuilder::EZipBuilder(int messageId, const std::string& argument1, const std::string& argument2)
    : Exception(ZipBuilderText(messageId, {argument1, argument2})), MessageId(messageId)
{
}

// The program binds no string table: every number reads its default.
std::string TZipArchiver::LoadZipStr(int, const std::string& defaultText) { return defaultText; }

void TZipArchiver::ShowZipMessage(int id, const std::string& appended)
{
    const std::string text = LoadZipStr(id, ZipMessageFallback + IntToStr(id)) + appended;
    ErrCode = id;
    LastMessage = text;
    if (!Unattended)
        MessageBoxA(ParentWindow, text, Application->Title(), MB_OK);
    if (OnMessage)
        OnMessage(this, 0, text);
}

void TZipArchiver::ShowExceptionError(const EZipBuilder& error)
{
    if (error.ShowToUser && !Unattended)
        MessageBoxA(ParentWindow, error.Message, Application->Title(), MB_OK);
    ErrCode = error.MessageId;
    LastMessage = error.Message;
    if (OnMessage)
        OnMessage(this, 0, error.Message);
}

std::string TZipArchiver::AppendSlash(const std::string& text)
{
    if (text.empty() || text.back() == '\\')
        return text;
    return text + "\\";
}

std::string TZipArchiver::ReplaceForwardSlash(const char* text)
{
    std::string result = text ? text : "";
    for (char& c : result)
        if (c == '/')
            c = '\\';
    return result;
}

int TZipArchiver::CopyBuffer(int inFile, int outFile, std::int64_t count)
{
    std::vector<char> buffer;
    try {
        buffer.resize(ZipCopyChunk);
    } catch (const std::bad_alloc&) {
        return -2;
    }
    for (;;) {
        int chunk = ZipCopyChunk;
        if (count >= 0 && count < chunk)
            chunk = static_cast<int>(count);
        const int got = std::max(FileRead(inFile, buffer.data(), chunk), 0);
        if (got > 0 && FileWrite(outFile, buffer.data(), got) != got)
            return -2;
        if (ShowCopyProgress && OnProgress)
            OnProgress(this, ProgressUpdate, "", got);
        if (count > 0)
            count -= got;
        Application->ProcessMessages();
        if (got < chunk || count == 0)
            return 0;
    }
}

// The copy goes to a temporary name beside the destination and is renamed over it only when
// whole, so a failed copy never costs the old destination.
int TZipArchiver::CopyFile(const std::string& source, const std::string& destination)
{
    ShowCopyProgress = false;
    if (!FileExists(source))
        return -3;
    const int in = FileOpen(source, fmOpenRead | fmShareDenyWrite);
    if (in < 0)
        return -3;
    const TCursor savedCursor = Screen ? Screen->Cursor() : crDefault;
    if (Screen)
        Screen->SetCursor(crHourGlass);
    std::string temporary;
    const int out = CreateAtomicTemporary(ResolvePath(destination), temporary);
    int result = -1;
    if (out >= 0) {
        result = CopyBuffer(in, out, -1);
        FileClose(out);
        if (result == 0 && FileSetDate(temporary, FileGetDate(in)) != 0)
            result = -4;
        const std::int64_t sourceSize = ZipFileSizeOf(source);
        if ((result == 0 || result == -4) && (sourceSize < 0 || sourceSize != ZipFileSizeOf(temporary)))
            result = -9;
        if (result == 0 || result == -4) {
            if (FileExists(destination))
                EraseFile(destination, HowToDelete);
            if (!MoveFileExA(temporary.c_str(), ResolvePath(destination).c_str(), MOVEFILE_REPLACE_EXISTING))
                result = -1;
        }
        if (result != 0 && result != -4)
            unlink(temporary.c_str());
    }
    FileClose(in);
    if (Screen)
        Screen->SetCursor(savedCursor);
    return result;
}

int TZipArchiver::EraseFile(const std::string& fileName, DeleteOpts how)
{
    std::string path = fileName;
    if (ExtractFilePath(path).empty())
        path = IncludeTrailingBackslash(GetCurrentDir()) + path;
    if (!FileExists(path))
        return -1;
    const std::string from = path + std::string(2, '\0');
    SHFILEOPSTRUCTA operation;
    operation.hwnd = ParentWindow;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    if (how == htdAllowUndo)
        operation.fFlags |= FOF_ALLOWUNDO;
    return SHFileOperationA(&operation);
}

// The name is created empty and so reserved; the caller overwrites it.
std::string TZipArchiver::MakeTempFileName(const std::string& prefix, const std::string& extension)
{
    std::string folder;
    if (!TempDir.empty()) {
        TempDir = AppendSlash(TempDir);
        folder = TempDir;
    } else {
        folder = GetTempPath();
    }
    return CreateTempFileWithSuffix(folder, prefix, extension);
}
