#include "platform/os/ShellFileInfo.h"

#include "platform/os/FileApi.h"
#include "platform/os/OsPaths.h"
#include "platform/os/ShellFolders.h"
#include "platform/os/ShellLink.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"

#include <QFile>
#include <QMimeDatabase>
#include <QMimeType>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::mutex infoMutex;
std::vector<std::string> iconNames;
std::map<std::string, int> iconIndexes;
std::map<std::string, std::string> comments; // MIME type -> Windows-1252 description
TShellIconFactory iconFactory;

int IconIndex(const std::string& name)
{
    const auto found = iconIndexes.find(name);
    if (found != iconIndexes.end())
        return found->second;
    iconNames.push_back(name);
    const int index = static_cast<int>(iconNames.size()) - 1;
    iconIndexes[name] = index;
    return index;
}

std::vector<std::string> MimeFolders()
{
    std::vector<std::string> folders{DataHomeFolder() + "/mime"};
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs != nullptr && dirs[0] != '\0' ? dirs : "/usr/local/share:/usr/share";
    size_t start = 0;
    while (start <= list.size()) {
        size_t colon = list.find(':', start);
        if (colon == std::string::npos)
            colon = list.size();
        if (colon > start)
            folders.push_back(list.substr(start, colon - start) + "/mime");
        start = colon + 1;
    }
    return folders;
}

// Reads the comments of one MIME type from its file in the shared database.
std::string ReadComment(const std::string& mimeType)
{
    for (const std::string& folder : MimeFolders()) {
        QFile file(QString::fromStdString(folder + "/" + mimeType + ".xml"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QXmlStreamReader xml(&file);
        QString italian;
        QString english;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("comment"))
                continue;
            const QString language = xml.attributes().value(QLatin1String("xml:lang")).toString();
            const QString text = xml.readElementText();
            if (language.isEmpty())
                english = text;
            else if (language == QLatin1String("it"))
                italian = text;
        }
        const QString chosen = italian.isEmpty() ? english : italian;
        if (!chosen.isEmpty())
            return Utf8ToAnsi(chosen.toStdString());
    }
    return "";
}

struct TFileFacts {
    bool Folder = false;
    bool Program = false;
    bool Link = false;
    bool Hidden = false;
    bool ReadOnly = false;
    std::string MimeType;
    std::string IconName;
};

QMimeType MimeOf(const std::string& native, bool mayReadContent)
{
    static QMimeDatabase database;
    QMimeType type = database.mimeTypeForFile(QString::fromStdString(native), QMimeDatabase::MatchExtension);
    if (type.isDefault() && mayReadContent)
        type = database.mimeTypeForFile(QString::fromStdString(native), QMimeDatabase::MatchContent);
    return type;
}

bool IsProgramType(const QMimeType& type)
{
    static const char* const programs[] = {"application/x-executable", "application/x-pie-executable",
                                           "application/x-sharedlib", "application/x-shellscript",
                                           "text/x-shellscript", "application/x-perl", "text/x-python3",
                                           "text/x-python"};
    for (const char* name : programs)
        if (type.inherits(QLatin1String(name)))
            return true;
    return false;
}

void DescribeFile(const std::string& native, bool onDisk, TFileFacts& facts)
{
    if (facts.Folder) {
        facts.MimeType = "inode/directory";
        return;
    }
    const QMimeType type = MimeOf(native, onDisk);
    facts.MimeType = type.name().toStdString();
    // An execute bit alone does not make a program: FAT keys and shares set it on every file.
    facts.Program = facts.Program && (type.isDefault() || IsProgramType(type));
    if (facts.Program) {
        facts.IconName = "application-x-executable";
        return;
    }
    facts.IconName = type.iconName().toStdString();
    if (facts.IconName.empty())
        facts.IconName = type.genericIconName().toStdString();
    if (facts.IconName.empty())
        facts.IconName = "text-x-generic";
}

// Looks at the entry on disk; false when it does not exist.
bool ExamineEntry(const std::string& native, TFileFacts& facts)
{
    struct stat info {};
    if (stat(native.c_str(), &info) != 0)
        return false;
    facts.Folder = S_ISDIR(info.st_mode);
    facts.ReadOnly = (info.st_mode & S_IWUSR) == 0;
    const auto slash = native.rfind('/');
    facts.Hidden = native.compare(slash == std::string::npos ? 0 : slash + 1, 1, ".") == 0;
    facts.Program = !facts.Folder && (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
    return true;
}

std::string DisplayName(const std::string& ansiPath)
{
    std::string path = ansiPath;
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
    const std::string name = ExtractFileName(path);
    return name.empty() ? path : name;
}

void CopyText(const std::string& text, char* buffer, size_t size)
{
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

} // namespace

std::string MimeTypeComment(const std::string& mimeType)
{
    std::lock_guard<std::mutex> lock(infoMutex);
    const auto found = comments.find(mimeType);
    if (found != comments.end())
        return found->second;
    const std::string comment = ReadComment(mimeType);
    comments[mimeType] = comment;
    return comment;
}

DWORD_PTR SHGetFileInfoA(const char* path, DWORD fileAttributes, SHFILEINFOA* info, UINT, UINT flags)
{
    if (path == nullptr)
        return 0;
    std::string ansiPath;
    bool virtualItem = false;
    if (flags & SHGFI_PIDL) {
        const auto* list = reinterpret_cast<LPCITEMIDLIST>(path);
        virtualItem = !PathFromIDList(list, ansiPath);
    } else {
        ansiPath = path;
    }

    TFileFacts facts;
    const bool useAttributes = (flags & SHGFI_USEFILEATTRIBUTES) != 0;
    std::string native;
    if (useAttributes) {
        native = AnsiToUtf8(ansiPath); // the name alone decides: no look at the disk
        std::replace(native.begin(), native.end(), '\\', '/');
    } else if (!virtualItem) {
        native = NativePath(ansiPath);
    }
    if (virtualItem) {
        facts.Folder = true;
    } else if (useAttributes) {
        facts.Folder = (fileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        facts.ReadOnly = (fileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        facts.Hidden = (fileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    } else {
        if (!ExamineEntry(native, facts))
            return 0;
        // A shortcut shows what it points to.
        if (!facts.Folder && IsShellLinkFile(native)) {
            std::string target;
            TFileFacts targetFacts;
            if (ResolveShellLink(ansiPath, target) && ExamineEntry(NativePath(target), targetFacts)) {
                native = NativePath(target);
                facts = targetFacts;
            }
            facts.Link = true;
        }
    }
    if (!virtualItem)
        DescribeFile(native, !useAttributes, facts);
    std::string iconName = facts.Folder ? ((flags & SHGFI_OPENICON) ? "folder-open" : "folder") : facts.IconName;
    const bool small = (flags & SHGFI_SMALLICON) != 0;

    SHFILEINFOA result;
    DWORD_PTR answer = 1;
    TShellIconFactory factory;
    {
        std::lock_guard<std::mutex> lock(infoMutex);
        if (flags & (SHGFI_SYSICONINDEX | SHGFI_ICON))
            result.iIcon = IconIndex(iconName);
        if (flags & SHGFI_SYSICONINDEX)
            answer = small ? SystemImageListSmall : SystemImageListLarge;
        if (flags & SHGFI_ICON)
            factory = iconFactory;
    }
    if (factory)
        result.hIcon = factory(iconName, small);
    if (flags & SHGFI_DISPLAYNAME)
        CopyText(virtualItem ? std::string() : DisplayName(ansiPath), result.szDisplayName, sizeof result.szDisplayName);
    if (flags & SHGFI_TYPENAME) {
        const std::string typeName = facts.Folder ? "Cartella di file" : MimeTypeComment(facts.MimeType);
        CopyText(typeName, result.szTypeName, sizeof result.szTypeName);
    }
    if (flags & SHGFI_ATTRIBUTES) {
        result.dwAttributes = virtualItem ? SFGAO_FOLDER : SFGAO_FILESYSTEM;
        if (facts.Folder)
            result.dwAttributes |= SFGAO_FOLDER;
        if (facts.Link)
            result.dwAttributes |= SFGAO_LINK;
        if (facts.ReadOnly)
            result.dwAttributes |= SFGAO_READONLY;
        if (facts.Hidden)
            result.dwAttributes |= SFGAO_HIDDEN;
    }
    if (info != nullptr)
        *info = result;
    return answer;
}

std::string SystemImageListIconName(int index)
{
    std::lock_guard<std::mutex> lock(infoMutex);
    return index >= 0 && index < static_cast<int>(iconNames.size()) ? iconNames[static_cast<size_t>(index)] : "";
}

int SystemImageListCount()
{
    std::lock_guard<std::mutex> lock(infoMutex);
    return static_cast<int>(iconNames.size());
}

TShellIconFactory SetShellIconFactory(TShellIconFactory factory)
{
    std::lock_guard<std::mutex> lock(infoMutex);
    TShellIconFactory previous = std::move(iconFactory);
    iconFactory = std::move(factory);
    return previous;
}
