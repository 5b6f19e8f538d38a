#include "platform/gui/ShellIcons.h"

#include "platform/gui/DialogService.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/private/IconTable.h"
#include "platform/os/ShellFileInfo.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <vector>

namespace {

// The file's bytes; false when it cannot be opened.
bool ReadWholeFile(const std::string& fileName, std::vector<std::uint8_t>& bytes)
{
    if (fileName.empty() || !FileExists(fileName))
        return false;
    try {
        TFileStream stream(fileName, fmOpenRead);
        const std::int64_t size = stream.Size();
        // An icon file is small; a large file is read only as far as a directory could reach.
        const std::int64_t wanted = size < (64 << 20) ? size : (64 << 20);
        bytes.resize(static_cast<std::size_t>(wanted));
        if (wanted > 0)
            stream.ReadBuffer(bytes.data(), static_cast<int>(wanted));
        return true;
    } catch (const Exception&) {
        return false;
    }
}

HICON CountAsHandle(std::size_t count)
{
    return reinterpret_cast<HICON>(static_cast<std::uintptr_t>(count));
}

} // namespace

HICON ExtractIconA(HINSTANCE, const char* fileName, UINT index)
{
    std::vector<std::uint8_t> bytes;
    if (fileName == nullptr || !ReadWholeFile(fileName, bytes))
        return nullptr;
    std::vector<TIcoImage> images;
    try {
        images = IcoCodec::Read(bytes.data(), bytes.size());
    } catch (const Exception&) {
        return index == static_cast<UINT>(-1) ? nullptr : CountAsHandle(1);
    }
    if (index == static_cast<UINT>(-1))
        return CountAsHandle(images.size());
    if (index >= images.size())
        return nullptr;
    return Icons::FromIco(images[index]);
}

HICON ExtractAssociatedIconA(HINSTANCE instance, const char* fileName, WORD* index)
{
    if (fileName == nullptr)
        return nullptr;
    const UINT wanted = index != nullptr ? *index : 0;
    HICON own = ExtractIconA(instance, fileName, wanted);
    if (reinterpret_cast<std::uintptr_t>(own) > 1)
        return own;
    InstallShellIconFactory();
    SHFILEINFOA info;
    if (SHGetFileInfoA(fileName, 0, &info, sizeof info, SHGFI_ICON) == 0)
        return nullptr;
    return info.hIcon;
}

int ShellAboutA(HWND owner, const char* application, const char* otherText, HICON)
{
    const std::string name = application != nullptr ? application : "";
    const std::string other = otherText != nullptr ? otherText : "";
    Dialogs().MessageBox(owner, name + "\r\n" + other, "About " + name, MB_OK | MB_ICONINFORMATION);
    return TRUE;
}
