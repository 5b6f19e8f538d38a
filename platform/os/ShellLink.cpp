#include "platform/os/ShellLink.h"

#include "platform/os/OsPaths.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <QString>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

namespace {

const char* const linkHeader = "[Desktop Entry]";

std::string ReadHead(const std::string& nativePath, size_t limit)
{
    const int fd = open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "";
    std::string bytes(limit, '\0');
    const ssize_t got = read(fd, bytes.data(), limit);
    close(fd);
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return bytes;
}

// Desktop entry values escape the backslash and line breaks.
std::string EscapeValue(const std::string& utf8)
{
    std::string out;
    for (const char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

std::string UnescapeValue(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next == 's' ? ' ' : next;
    }
    return out;
}

// The value of a key of the [Desktop Entry] group; false when absent.
bool EntryValue(const std::string& content, const std::string& key, std::string& value)
{
    size_t pos = 0;
    bool inGroup = false;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inGroup = line == linkHeader;
            continue;
        }
        if (!inGroup || line.compare(0, key.size() + 1, key + "=") != 0)
            continue;
        value = UnescapeValue(line.substr(key.size() + 1));
        return true;
    }
    return false;
}

} // namespace

HRESULT TShellLink::SetPath(const std::string& path)
{
    path_ = path.empty() ? path : AnsiFromNative(NativePath(ExpandFileName(path)));
    return S_OK;
}

HRESULT TShellLink::SetDescription(const std::string& description)
{
    description_ = description;
    return S_OK;
}

HRESULT TShellLink::SetArguments(const std::string& arguments)
{
    arguments_ = arguments;
    return S_OK;
}

HRESULT TShellLink::SetWorkingDirectory(const std::string& directory)
{
    workingDirectory_ = directory;
    return S_OK;
}

HRESULT TShellLink::SetIconLocation(const std::string& iconPath, int)
{
    iconLocation_ = iconPath;
    return S_OK;
}

HRESULT TShellLink::Save(const std::string& fileName)
{
    if (path_.empty() || fileName.empty())
        return E_FAIL;
    std::string name = description_;
    if (name.empty()) {
        name = ExtractFileName(fileName);
        if (UpperCase(name).ends_with(".LNK"))
            name.resize(name.size() - 4);
    }
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(NativePath(path_)));
    std::string text = std::string(linkHeader) + "\n";
    text += "Version=1.0\n";
    text += "Type=Link\n";
    text += "Name=" + EscapeValue(AnsiToUtf8(name)) + "\n";
    text += "URL=" + url.toEncoded(QUrl::FullyEncoded).toStdString() + "\n";
    if (!iconLocation_.empty())
        text += "Icon=" + EscapeValue(AnsiToUtf8(iconLocation_)) + "\n";
    return ReplaceFileContents(NativePath(fileName), text) ? S_OK : E_FAIL;
}

HRESULT TShellLink::Load(const std::string& fileName)
{
    const std::string native = NativePath(fileName);
    if (!IsShellLinkFile(native))
        return E_FAIL;
    const std::string content = ReadHead(native, 64 * 1024);
    std::string url;
    if (!EntryValue(content, "URL", url))
        return E_FAIL;
    const QUrl parsed = QUrl::fromEncoded(QByteArray::fromStdString(url));
    if (!parsed.isLocalFile())
        return E_FAIL;
    path_ = AnsiFromNative(parsed.toLocalFile().toStdString());
    std::string value;
    description_ = EntryValue(content, "Name", value) ? Utf8ToAnsi(value) : "";
    iconLocation_ = EntryValue(content, "Icon", value) ? Utf8ToAnsi(value) : "";
    return S_OK;
}

bool ResolveShellLink(const std::string& fileName, std::string& target)
{
    TShellLink link;
    if (link.Load(fileName) != S_OK)
        return false;
    target = link.GetPath();
    return true;
}

bool IsShellLinkFile(const std::string& nativePath)
{
    const std::string head = ReadHead(nativePath, 64);
    return head.compare(0, std::string(linkHeader).size(), linkHeader) == 0 && head.find("\nType=Link") != std::string::npos;
}
