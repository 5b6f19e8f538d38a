#include "controls/ClipIcon.h"

#include "platform/gui/Clipboard.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/GlobalMemory.h"
#include "platform/gui/IcoCodec.h"
#include "platform/gui/Resources.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

#include <cstring>
#include <vector>

namespace ClipIconUnit {

constexpr const char* IconFormatName = "Tessellarium Icon";

std::uint16_t Word(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t DWord(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct TIconEntry {
    int Width = 0;
    int Height = 0;
    std::uint16_t Colors = 0; // the colour count and reserved bytes read as one value
    std::uint32_t Size = 0;
    std::uint32_t Offset = 0;
};

std::size_t RowBytes(std::uint64_t width, std::uint64_t bits) { return static_cast<std::size_t>(((width * bits + 31) / 32) * 4); }

// Whether the entry's bytes lie inside the data and its bitmap header agrees with the entry.
bool UsableEntry(const TIconEntry& entry, const std::uint8_t* data, std::size_t size)
{
    if (std::uint64_t{entry.Offset} + entry.Size > size || entry.Size < 8)
        return false;
    const std::uint8_t* image = data + entry.Offset;
    static const std::uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (std::memcmp(image, png, 8) == 0)
        return true;
    if (entry.Size < 40)
        return false;
    const std::uint32_t headerSize = DWord(image);
    const auto width = static_cast<std::int32_t>(DWord(image + 4));
    const auto height = static_cast<std::int32_t>(DWord(image + 8));
    const std::uint16_t bits = Word(image + 14);
    if (headerSize < 40 || headerSize > entry.Size || width != entry.Width || height != 2 * entry.Height)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return false;
    const std::uint64_t palette = bits <= 8 ? (std::uint64_t{1} << bits) * 4 : 0;
    const std::uint64_t needed = headerSize + palette + (RowBytes(width, bits) + RowBytes(width, 1)) * entry.Height;
    return needed <= entry.Size;
}

// The usable entries of icon-file bytes (type 1), in directory order with their positions.
std::vector<std::pair<int, TIconEntry>> UsableEntries(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::pair<int, TIconEntry>> entries;
    if (data == nullptr || size < 6 || Word(data + 2) != 1)
        return entries;
    const std::size_t declared = Word(data + 4);
    const std::size_t present = (size - 6) / 16;
    for (std::size_t i = 0; i < declared && i < present; ++i) {
        const std::uint8_t* p = data + 6 + i * 16;
        TIconEntry entry;
        entry.Width = p[0] == 0 ? 256 : p[0];
        entry.Height = p[1] == 0 ? 256 : p[1];
        entry.Colors = Word(p + 2);
        entry.Size = DWord(p + 8);
        entry.Offset = DWord(p + 12);
        if (UsableEntry(entry, data, size))
            entries.emplace_back(static_cast<int>(i), entry);
    }
    return entries;
}

std::uint16_t DesiredColors(int screenDepth)
{
    if (screenDepth >= 24)
        return 0;
    return static_cast<std::uint16_t>(std::uint32_t{1} << (static_cast<unsigned>(screenDepth) % 32));
}

int ScreenDepth()
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        RAISE(EOutOfResources("Out of system resources"));
    const int depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return depth;
}

// Icon-file bytes holding only the chosen image.
std::vector<std::uint8_t> SingleImageFile(const std::uint8_t* data, int index, const TIconEntry& entry)
{
    std::vector<std::uint8_t> file(6 + 16);
    file[2] = 1;
    file[4] = 1;
    std::memcpy(file.data() + 6, data + 6 + index * 16, 12);
    const std::uint32_t offset = 22;
    for (int i = 0; i < 4; ++i)
        file[18 + i] = static_cast<std::uint8_t>(offset >> (8 * i));
    file.insert(file.end(), data + entry.Offset, data + entry.Offset + entry.Size);
    return file;
}

HICON IconFromImage(const TIcoImage& image)
{
    std::vector<std::uint32_t> color(image.Pixels.size());
    std::vector<std::uint32_t> mask(image.Transparent.size());
    for (std::size_t i = 0; i < color.size(); ++i)
        color[i] = image.Pixels[i] & 0xFFFFFFu;
    for (std::size_t i = 0; i < mask.size(); ++i)
        mask[i] = image.Transparent[i] ? 0xFFFFFFu : 0u;
    ICONINFO info;
    info.fIcon = TRUE;
    info.hbmColor = CreateBitmap(image.Width, image.Height, 1, 32, color.data());
    info.hbmMask = CreateBitmap(image.Width, image.Height, 1, 32, mask.data());
    HICON icon = info.hbmColor && info.hbmMask ? CreateIconIndirect(&info) : nullptr;
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (!icon)
        RAISE(EOutOfResources("Out of system resources"));
    return icon;
}

HICON CopyOfHandle(TIcon* Icon)
{
    HICON handle = Icon ? Icon->Handle() : nullptr;
    return handle ? CopyIcon(handle) : nullptr;
}

std::vector<std::uint8_t> IconBytes(TIcon* Icon)
{
    TMemoryStream stream;
    Icon->SaveToStream(stream);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.Memory());
    return std::vector<std::uint8_t>(bytes, bytes + stream.Size());
}

} // namespace ClipIconUnit

using namespace ClipIconUnit;

UINT IconClipboardFormat()
{
    static const UINT format = RegisterClipboardFormatA(IconFormatName);
    return format;
}

int ChooseRealSizeIconEntry(const std::uint8_t* data, std::size_t size, int screenDepth)
{
    const auto entries = UsableEntries(data, size);
    if (entries.empty())
        return -1;
    const std::uint16_t desired = DesiredColors(screenDepth);
    int candidate = -1;
    std::uint16_t remembered = 0;
    for (const auto& [index, entry] : entries) {
        if (entry.Colors == desired)
            return index;
        if (candidate < 0) {
            if (entry.Colors <= desired) {
                candidate = index;
                remembered = entry.Colors;
            }
        } else if (entry.Colors > remembered) {
            candidate = index;
        }
    }
    return candidate >= 0 ? candidate : entries.front().first;
}

HICON CreateRealSizeIcon(TIcon* Icon)
{
    if (!Icon || Icon->Empty())
        return nullptr;
    const std::vector<std::uint8_t> bytes = IconBytes(Icon);
    if (bytes.size() < 6)
        return CopyOfHandle(Icon);
    const std::uint16_t type = Word(bytes.data() + 2);
    if (type == 0) {
        HICON shared = LoadIcon(nullptr, MAKEINTRESOURCE(IDI_APPLICATION));
        return shared ? CopyIcon(shared) : nullptr;
    }
    if (type != 1)
        return CopyOfHandle(Icon);
    const int index = ChooseRealSizeIconEntry(bytes.data(), bytes.size(), ScreenDepth());
    if (index < 0)
        return CopyOfHandle(Icon);
    TIconEntry entry;
    for (const auto& [position, usable] : UsableEntries(bytes.data(), bytes.size()))
        if (position == index)
            entry = usable;
    std::vector<TIcoImage> images;
    try {
        const std::vector<std::uint8_t> single = SingleImageFile(bytes.data(), index, entry);
        images = IcoCodec::Read(single.data(), single.size());
    } catch (const EInvalidGraphic&) {
        return CopyOfHandle(Icon);
    }
    return IconFromImage(images.front());
}

void GetIconSize(HICON IconHandle, int& Width, int& Height)
{
    Width = GetSystemMetrics(SM_CXICON);
    Height = GetSystemMetrics(SM_CYICON);
    ICONINFO info;
    if (!IconHandle || !GetIconInfo(IconHandle, &info))
        return;
    BITMAP bitmap;
    if (info.hbmColor && GetObject(info.hbmColor, sizeof bitmap, &bitmap)) {
        Width = bitmap.bmWidth;
        Height = bitmap.bmHeight;
    } else if (info.hbmMask && GetObject(info.hbmMask, sizeof bitmap, &bitmap)) {
        Width = bitmap.bmWidth;
        Height = bitmap.bmHeight / 2;
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
}

void DrawRealSizeIcon(TCanvas* Canvas, TIcon* Icon, int X, int Y)
{
    HICON icon = CreateRealSizeIcon(Icon);
    if (!icon)
        return;
    DrawIconEx(Canvas->Handle(), X, Y, icon, 0, 0, 0, nullptr, DI_NORMAL);
    DestroyIcon(icon);
}

void CopyIconToClipboard(TIcon* Icon, TColor BackColor)
{
    Clipboard()->Open();
    try {
        EmptyClipboard();
        TBitmap bitmap;
        HICON real = CreateRealSizeIcon(Icon);
        int width = 0, height = 0;
        GetIconSize(real, width, height);
        bitmap.SetSize(width, height);
        bitmap.Canvas()->Brush()->SetColor(BackColor);
        bitmap.Canvas()->FillRect(Rect(0, 0, width, height));
        if (real) {
            DrawIconEx(bitmap.Canvas()->Handle(), 0, 0, real, 0, 0, 0, nullptr, DI_NORMAL);
            DestroyIcon(real);
        }
        Clipboard()->Assign(&bitmap);
        const std::vector<std::uint8_t> bytes = IconBytes(Icon);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes.size());
        if (memory) {
            try {
                void* target = GlobalLock(memory);
                if (!target)
                    RAISE(EOutOfResources("Out of system resources"));
                std::memcpy(target, bytes.data(), bytes.size());
                GlobalUnlock(memory);
                if (!SetClipboardData(IconClipboardFormat(), memory))
                    RAISE(EClipboardException("Cannot put the icon on the clipboard"));
            } catch (...) {
                GlobalFree(memory);
                throw;
            }
        }
    } catch (...) {
        Clipboard()->Close();
        throw;
    }
    Clipboard()->Close();
}

void AssignClipboardIcon(TIcon* Icon)
{
    Clipboard()->Open();
    try {
        HGLOBAL data = Clipboard()->HasFormat(static_cast<WORD>(IconClipboardFormat()))
                           ? GetClipboardData(IconClipboardFormat())
                           : nullptr;
        if (data) {
            TMemoryStream stream;
            const std::size_t size = GlobalSize(data);
            stream.SetSize(static_cast<std::int64_t>(size));
            if (const void* source = GlobalLock(data)) {
                std::memcpy(stream.Memory(), source, size);
                GlobalUnlock(data);
            }
            stream.SetPosition(0);
            Icon->LoadFromStream(stream);
        }
    } catch (...) {
        Clipboard()->Close();
        throw;
    }
    Clipboard()->Close();
}

std::unique_ptr<TIcon> CreateIconFromClipboard()
{
    if (!Clipboard()->HasFormat(static_cast<WORD>(IconClipboardFormat())))
        return nullptr;
    auto icon = std::make_unique<TIcon>();
    AssignClipboardIcon(icon.get());
    return icon;
}
