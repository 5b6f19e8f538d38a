#include "platform/gui/Icon.h"

#include "platform/gui/Canvas.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/private/IconTable.h"

#include <mutex>
#include <unordered_map>

namespace {

struct TIconTableData {
    std::mutex Mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<TIconObject>> Icons;
    std::uintptr_t Next = 0x30000000;
};

TIconTableData& IconTable()
{
    static TIconTableData table;
    return table;
}

} // namespace

namespace Icons {

HICON Add(TIconObject icon)
{
    auto& table = IconTable();
    std::lock_guard lock(table.Mutex);
    const std::uintptr_t id = table.Next;
    table.Next += 4;
    table.Icons[id] = std::make_shared<TIconObject>(std::move(icon));
    return reinterpret_cast<HICON>(id);
}

TIconObject* Find(HICON handle)
{
    auto& table = IconTable();
    std::lock_guard lock(table.Mutex);
    auto found = table.Icons.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == table.Icons.end() ? nullptr : found->second.get();
}

bool Remove(HICON handle)
{
    auto& table = IconTable();
    std::lock_guard lock(table.Mutex);
    return table.Icons.erase(reinterpret_cast<std::uintptr_t>(handle)) > 0;
}

HICON FromIco(const TIcoImage& image, bool isIcon)
{
    TIconObject icon;
    icon.Color = QImage(image.Width, image.Height, QImage::Format_RGB32);
    icon.Mask = QImage(image.Width, image.Height, QImage::Format_RGB32);
    for (int y = 0; y < image.Height; ++y) {
        auto* color = reinterpret_cast<std::uint32_t*>(icon.Color.scanLine(y));
        auto* mask = reinterpret_cast<std::uint32_t*>(icon.Mask.scanLine(y));
        for (int x = 0; x < image.Width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * image.Width + x;
            color[x] = image.Pixels[i] | 0xFF000000u;
            mask[x] = image.Transparent[i] ? 0xFFFFFFFFu : 0xFF000000u;
        }
    }
    icon.Bits = image.Bits;
    icon.IsIcon = isIcon;
    icon.HotX = image.HotX;
    icon.HotY = image.HotY;
    return Add(std::move(icon));
}

TIcoImage ToIco(const TIconObject& icon)
{
    TIcoImage image;
    image.Width = icon.Color.width();
    image.Height = icon.Color.height();
    image.Bits = icon.Bits;
    image.HotX = icon.HotX;
    image.HotY = icon.HotY;
    for (int y = 0; y < image.Height; ++y) {
        const auto* color = reinterpret_cast<const std::uint32_t*>(icon.Color.constScanLine(y));
        const auto* mask = reinterpret_cast<const std::uint32_t*>(icon.Mask.constScanLine(y));
        for (int x = 0; x < image.Width; ++x) {
            image.Pixels.push_back(color[x]);
            image.Transparent.push_back((mask[x] & 0xFFFFFF) ? 1 : 0);
        }
    }
    return image;
}

} // namespace Icons

HICON CreateIconIndirect(const ICONINFO* info)
{
    if (!info)
        return nullptr;
    TGdiBitmap* mask = Gdi::FindBitmap(info->hbmMask);
    TGdiBitmap* color = Gdi::FindBitmap(info->hbmColor);
    if (!mask)
        return nullptr;
    Gdi::SyncSectionIn(*mask);
    TIconObject icon;
    if (color) {
        Gdi::SyncSectionIn(*color);
        icon.Color = color->Image.copy();
        icon.Mask = mask->Image.copy(0, 0, icon.Color.width(), icon.Color.height());
        icon.Bits = color->Mono ? 1 : color->Bits;
    } else {
        // A monochrome icon: the AND mask above the XOR image in one bitmap of doubled height.
        const int height = mask->Image.height() / 2;
        icon.Mask = mask->Image.copy(0, 0, mask->Image.width(), height);
        icon.Color = mask->Image.copy(0, height, mask->Image.width(), height);
        icon.Bits = 1;
    }
    for (int y = 0; y < icon.Mask.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(icon.Mask.scanLine(y));
        for (int x = 0; x < icon.Mask.width(); ++x)
            row[x] = Gdi::MonoPixel(row[x]);
    }
    icon.IsIcon = info->fIcon != FALSE;
    icon.HotX = static_cast<int>(info->xHotspot);
    icon.HotY = static_cast<int>(info->yHotspot);
    return Icons::Add(std::move(icon));
}

BOOL GetIconInfo(HICON handle, ICONINFO* info)
{
    TIconObject* icon = Icons::Find(handle);
    if (!icon || !info)
        return FALSE;
    info->fIcon = icon->IsIcon;
    info->xHotspot = static_cast<DWORD>(icon->IsIcon ? icon->Color.width() / 2 : icon->HotX);
    info->yHotspot = static_cast<DWORD>(icon->IsIcon ? icon->Color.height() / 2 : icon->HotY);
    info->hbmMask = Gdi::CreateBitmapFromImage(icon->Mask, true);
    info->hbmColor = Gdi::CreateBitmapFromImage(icon->Color, icon->Bits == 1);
    Gdi::FindBitmap(info->hbmColor)->Bits = icon->Bits;
    return TRUE;
}

BOOL DestroyIcon(HICON icon) { return Icons::Remove(icon) ? TRUE : FALSE; }

HICON CopyIcon(HICON handle)
{
    TIconObject* icon = Icons::Find(handle);
    return icon ? Icons::Add(*icon) : nullptr;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON handle, int width, int height, UINT, HBRUSH, UINT flags)
{
    TIconObject* icon = Icons::Find(handle);
    if (!icon || !Gdi::FindDC(dc))
        return FALSE;
    if (width == 0)
        width = (flags & DI_DEFAULTSIZE) ? 32 : icon->Color.width();
    if (height == 0)
        height = (flags & DI_DEFAULTSIZE) ? 32 : icon->Color.height();
    if ((flags & DI_NORMAL) == 0)
        flags |= DI_NORMAL;
    HDC source = CreateCompatibleDC(nullptr);
    HBITMAP mask = Gdi::CreateBitmapFromImage(icon->Mask, true);
    // Transparent pixels of the colour image are XORed onto the destination: keep them black.
    QImage colorImage = icon->Color.copy();
    if (flags & DI_MASK)
        for (int row = 0; row < colorImage.height(); ++row) {
            auto* pixels = reinterpret_cast<std::uint32_t*>(colorImage.scanLine(row));
            const auto* m = reinterpret_cast<const std::uint32_t*>(icon->Mask.constScanLine(row));
            for (int column = 0; column < colorImage.width(); ++column)
                if (m[column] & 0xFFFFFF)
                    pixels[column] = 0xFF000000u;
        }
    HBITMAP color = Gdi::CreateBitmapFromImage(colorImage, false);
    const COLORREF oldText = SetTextColor(dc, 0x000000);
    const COLORREF oldBack = SetBkColor(dc, 0xFFFFFF);
    HGDIOBJ old = SelectObject(source, mask);
    const int w = icon->Color.width(), h = icon->Color.height();
    if (flags & DI_MASK)
        StretchBlt(dc, x, y, width, height, source, 0, 0, w, h, (flags & DI_IMAGE) ? SRCAND : SRCCOPY);
    if (flags & DI_IMAGE) {
        SelectObject(source, color);
        StretchBlt(dc, x, y, width, height, source, 0, 0, w, h, (flags & DI_MASK) ? SRCINVERT : SRCCOPY);
    }
    SelectObject(source, old);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    DeleteDC(source);
    DeleteObject(mask);
    DeleteObject(color);
    return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) { return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL); }

// ---- TIcon

TIcon::TIcon() = default;

TIcon::~TIcon() { Clear(); }

void TIcon::Clear()
{
    if (FHandle)
        DestroyIcon(FHandle);
    FHandle = nullptr;
    FSource.clear();
}

bool TIcon::Empty() const { return FHandle == nullptr; }

int TIcon::Width() const
{
    TIconObject* icon = Icons::Find(FHandle);
    return icon ? icon->Color.width() : 0;
}

int TIcon::Height() const
{
    TIconObject* icon = Icons::Find(FHandle);
    return icon ? icon->Color.height() : 0;
}

HICON TIcon::Handle() { return FHandle; }

void TIcon::SetHandle(HICON value)
{
    if (value == FHandle)
        return;
    Clear();
    FHandle = value;
    Changed(this);
}

HICON TIcon::ReleaseHandle()
{
    HICON handle = FHandle;
    FHandle = nullptr;
    FSource.clear();
    Changed(this);
    return handle;
}

void TIcon::Assign(TPersistent* Source)
{
    if (!Source) {
        Clear();
        Changed(this);
        return;
    }
    if (auto* icon = dynamic_cast<TIcon*>(Source)) {
        if (icon == this)
            return;
        Clear();
        FHandle = icon->FHandle ? CopyIcon(icon->FHandle) : nullptr;
        FSource = icon->FSource;
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

void TIcon::LoadFromStream(TStream& stream)
{
    const std::int64_t remaining = stream.Size() - stream.Position();
    if (remaining <= 0)
        RAISE(EInvalidGraphic("Icon image is not valid"));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(remaining));
    stream.ReadBuffer(bytes.data(), static_cast<int>(remaining));
    const std::vector<TIcoImage> images = IcoCodec::Read(bytes.data(), bytes.size());
    HICON handle = Icons::FromIco(images[IcoCodec::BestImage(images)]);
    Clear();
    FHandle = handle;
    FSource = std::move(bytes);
    Changed(this);
}

void TIcon::SaveToStream(TStream& stream)
{
    if (!FSource.empty()) {
        stream.WriteBuffer(FSource.data(), static_cast<int>(FSource.size()));
        return;
    }
    TIconObject* icon = Icons::Find(FHandle);
    if (!icon)
        return;
    const std::vector<std::uint8_t> bytes = IcoCodec::Write(Icons::ToIco(*icon), icon->Bits, !icon->IsIcon);
    stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
}

void TIcon::Draw(TCanvas* canvas, const TRect& rect)
{
    if (FHandle)
        DrawIconEx(canvas->Handle(), rect.Left, rect.Top, FHandle, rect.Width(), rect.Height(), 0, nullptr, DI_NORMAL);
}
