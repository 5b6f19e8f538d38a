#include "platform/gui/ImageList.h"

#include "platform/gui/GdiDraw.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/GdiPaint.h"
#include "platform/gui/private/IconTable.h"
#include "platform/os/ShellFileInfo.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <map>
#include <mutex>

namespace {

struct TListImage {
    QImage Color; // Format_RGB32
    QImage Mask;  // Format_RGB32, white where transparent
};

struct TListData {
    int Width = 16, Height = 16;
    COLORREF Background = CLR_NONE;
    bool Masked = true;
    std::vector<TListImage> Images;
    int SystemSize = 0; // 32 or 16 for the system lists
    std::vector<bool> Loaded;
};

struct TListTable {
    std::recursive_mutex Mutex;
    std::map<std::uintptr_t, std::shared_ptr<TListData>> Lists;
    std::uintptr_t Next = 0x60000000;
};

TListTable& ListTable()
{
    static TListTable table;
    return table;
}

QImage PlainPicture(const std::string& name, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    if (name.rfind("folder", 0) == 0) {
        painter.setBrush(QColor(240, 200, 80));
        painter.drawRect(1, size / 4, size - 3, size * 2 / 3);
        painter.drawRect(1, size / 8, size / 3, size / 8);
    } else {
        painter.setBrush(Qt::white);
        painter.drawRect(size / 6, 1, size * 2 / 3, size - 3);
        painter.drawLine(size / 6 + 2, size / 3, size * 5 / 6 - 2, size / 3);
    }
    return image;
}

// The picture of an icon name: the desktop's theme, the style's standard icons, or a drawing.
QImage ShellPicture(const std::string& name, int size)
{
    QImage image;
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QIcon icon = QIcon::fromTheme(QString::fromStdString(name));
        if (icon.isNull() && QApplication::style()) {
            QStyle::StandardPixmap standard = QStyle::SP_FileIcon;
            if (name == "folder")
                standard = QStyle::SP_DirIcon;
            else if (name == "folder-open")
                standard = QStyle::SP_DirOpenIcon;
            else if (name == "application-x-executable")
                standard = QStyle::SP_ComputerIcon;
            icon = QApplication::style()->standardIcon(standard);
        }
        if (!icon.isNull())
            image = icon.pixmap(size, size).toImage();
    }
    if (image.isNull())
        image = PlainPicture(name, size);
    if (image.width() != size || image.height() != size)
        image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32);
}

TListImage FromArgb(const QImage& argb)
{
    TListImage result;
    result.Color = QImage(argb.size(), QImage::Format_RGB32);
    result.Mask = QImage(argb.size(), QImage::Format_RGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(argb.constScanLine(y));
        auto* color = reinterpret_cast<std::uint32_t*>(result.Color.scanLine(y));
        auto* mask = reinterpret_cast<std::uint32_t*>(result.Mask.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const bool clear = (in[x] >> 24) < 128;
            color[x] = clear ? 0xFF000000u : (in[x] | 0xFF000000u);
            mask[x] = clear ? 0xFFFFFFFFu : 0xFF000000u;
        }
    }
    return result;
}

std::shared_ptr<TListData> SystemList(int which)
{
    auto data = std::make_shared<TListData>();
    data->SystemSize = which == 1 ? 32 : 16;
    data->Width = data->Height = data->SystemSize;
    return data;
}

std::shared_ptr<TListData> FindList(HIMAGELIST handle)
{
    auto& table = ListTable();
    std::lock_guard lock(table.Mutex);
    const auto id = reinterpret_cast<std::uintptr_t>(handle);
    auto found = table.Lists.find(id);
    if (found != table.Lists.end())
        return found->second;
    if (id == SystemImageListLarge || id == SystemImageListSmall) {
        auto data = SystemList(static_cast<int>(id));
        table.Lists[id] = data;
        return data;
    }
    return nullptr;
}

// Brings the images of a system list up to date with the names handed out so far.
void Refresh(TListData& data)
{
    if (data.SystemSize == 0)
        return;
    const int count = SystemImageListCount();
    if (static_cast<int>(data.Images.size()) < count) {
        data.Images.resize(static_cast<std::size_t>(count));
        data.Loaded.resize(static_cast<std::size_t>(count), false);
    }
}

TListImage* ImageAt(TListData& data, int index)
{
    Refresh(data);
    if (index < 0 || index >= static_cast<int>(data.Images.size()))
        return nullptr;
    if (data.SystemSize && !data.Loaded[static_cast<std::size_t>(index)]) {
        data.Images[static_cast<std::size_t>(index)] =
            FromArgb(ShellPicture(SystemImageListIconName(index), data.SystemSize));
        data.Loaded[static_cast<std::size_t>(index)] = true;
    }
    return &data.Images[static_cast<std::size_t>(index)];
}

QImage Fit(const QImage& image, int width, int height, std::uint32_t fill)
{
    QImage result(width, height, QImage::Format_RGB32);
    result.fill(fill);
    for (int y = 0; y < std::min(height, image.height()); ++y)
        std::copy_n(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), std::min(width, image.width()),
                    reinterpret_cast<std::uint32_t*>(result.scanLine(y)));
    return result;
}

// The images of a strip of pixels, one per width.
std::vector<TListImage> Split(const TListData& data, const QImage& color, const QImage* mask)
{
    std::vector<TListImage> images;
    const int count = std::max(1, color.width() / std::max(1, data.Width));
    for (int i = 0; i < count; ++i) {
        TListImage image;
        image.Color = Fit(color.copy(i * data.Width, 0, data.Width, data.Height), data.Width, data.Height, 0xFF000000u);
        if (mask && !mask->isNull())
            image.Mask = Fit(mask->copy(i * data.Width, 0, data.Width, data.Height), data.Width, data.Height, 0xFFFFFFFFu);
        else
            image.Mask = Fit(QImage(), data.Width, data.Height, 0xFF000000u);
        for (int y = 0; y < data.Height; ++y) {
            auto* c = reinterpret_cast<std::uint32_t*>(image.Color.scanLine(y));
            auto* m = reinterpret_cast<std::uint32_t*>(image.Mask.scanLine(y));
            for (int x = 0; x < data.Width; ++x) {
                m[x] = Gdi::MonoPixel(m[x]);
                if (m[x] & 0xFFFFFF)
                    c[x] = 0xFF000000u; // transparent pixels are kept black, as Windows does
            }
        }
        images.push_back(std::move(image));
    }
    return images;
}

QImage MaskByColor(const QImage& color, COLORREF key)
{
    const std::uint32_t pixel = Gdi::ToPixel(key) & 0xFFFFFF;
    QImage mask(color.size(), QImage::Format_RGB32);
    for (int y = 0; y < color.height(); ++y) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(color.constScanLine(y));
        auto* out = reinterpret_cast<std::uint32_t*>(mask.scanLine(y));
        for (int x = 0; x < color.width(); ++x)
            out[x] = (in[x] & 0xFFFFFF) == pixel ? 0xFFFFFFFFu : 0xFF000000u;
    }
    return mask;
}

const QImage* BitmapImage(HBITMAP handle)
{
    TGdiBitmap* bitmap = Gdi::FindBitmap(handle);
    if (!bitmap)
        return nullptr;
    Gdi::SyncSectionIn(*bitmap);
    return &bitmap->Image;
}

std::uint32_t Blend(std::uint32_t pixel, std::uint32_t with, int percent)
{
    auto channel = [&](int shift) {
        const int a = (pixel >> shift) & 0xFF, b = (with >> shift) & 0xFF;
        return static_cast<std::uint32_t>((a * (100 - percent) + b * percent) / 100) << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

// Blits an image (Format_RGB32) with a raster operation, through a temporary memory context.
void Blit(HDC dc, int x, int y, int width, int height, const QImage& image, bool mono, DWORD rop)
{
    Gdi::BlitImage(dc, x, y, width, height, image, mono, rop);
}

} // namespace

HIMAGELIST ImageList_Create(int width, int height, UINT flags, int, int)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    auto data = std::make_shared<TListData>();
    data->Width = width;
    data->Height = height;
    data->Masked = (flags & ILC_MASK) != 0;
    auto& table = ListTable();
    std::lock_guard lock(table.Mutex);
    const std::uintptr_t id = table.Next;
    table.Next += 4;
    table.Lists[id] = data;
    return reinterpret_cast<HIMAGELIST>(id);
}

BOOL ImageList_Destroy(HIMAGELIST list)
{
    const auto id = reinterpret_cast<std::uintptr_t>(list);
    if (id == SystemImageListLarge || id == SystemImageListSmall)
        return FALSE; // the system lists live as long as the process
    auto& table = ListTable();
    std::lock_guard lock(table.Mutex);
    return table.Lists.erase(id) > 0;
}

static int AddImages(HIMAGELIST list, int index, std::vector<TListImage> images)
{
    auto data = FindList(list);
    if (!data || data->SystemSize)
        return -1;
    std::lock_guard lock(ListTable().Mutex);
    if (index < 0 || index > static_cast<int>(data->Images.size()))
        index = static_cast<int>(data->Images.size());
    data->Images.insert(data->Images.begin() + index, images.begin(), images.end());
    return index;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask)
{
    auto data = FindList(list);
    const QImage* color = BitmapImage(image);
    if (!data || !color)
        return -1;
    return AddImages(list, -1, Split(*data, *color, BitmapImage(mask)));
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor)
{
    auto data = FindList(list);
    const QImage* color = BitmapImage(image);
    if (!data || !color)
        return -1;
    const QImage mask = MaskByColor(*color, maskColor);
    return AddImages(list, -1, Split(*data, *color, &mask));
}

static TListImage IconImage(const TListData& data, HICON icon)
{
    TIconObject* object = Icons::Find(icon);
    TListImage image;
    if (!object)
        return image;
    QImage color = object->Color, mask = object->Mask;
    if (color.width() != data.Width || color.height() != data.Height) {
        color = color.scaled(data.Width, data.Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_RGB32);
        mask = mask.scaled(data.Width, data.Height).convertToFormat(QImage::Format_RGB32);
    }
    return Split(data, color, &mask).front();
}

int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon)
{
    auto data = FindList(list);
    if (!data || !Icons::Find(icon) || data->SystemSize)
        return -1;
    TListImage image = IconImage(*data, icon);
    std::lock_guard lock(ListTable().Mutex);
    if (index < 0) {
        data->Images.push_back(image);
        return static_cast<int>(data->Images.size()) - 1;
    }
    if (index >= static_cast<int>(data->Images.size()))
        return -1;
    data->Images[static_cast<std::size_t>(index)] = image;
    return index;
}

BOOL ImageList_Replace(HIMAGELIST list, int index, HBITMAP image, HBITMAP mask)
{
    auto data = FindList(list);
    const QImage* color = BitmapImage(image);
    if (!data || !color || index < 0 || index >= static_cast<int>(data->Images.size()))
        return FALSE;
    data->Images[static_cast<std::size_t>(index)] = Split(*data, *color, BitmapImage(mask)).front();
    return TRUE;
}

BOOL ImageList_Remove(HIMAGELIST list, int index)
{
    auto data = FindList(list);
    if (!data || data->SystemSize)
        return FALSE;
    std::lock_guard lock(ListTable().Mutex);
    if (index < 0) {
        data->Images.clear();
        return TRUE;
    }
    if (index >= static_cast<int>(data->Images.size()))
        return FALSE;
    data->Images.erase(data->Images.begin() + index);
    return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST list)
{
    auto data = FindList(list);
    if (!data)
        return 0;
    Refresh(*data);
    return static_cast<int>(data->Images.size());
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height)
{
    auto data = FindList(list);
    if (!data)
        return FALSE;
    if (width)
        *width = data->Width;
    if (height)
        *height = data->Height;
    return TRUE;
}

BOOL ImageList_SetIconSize(HIMAGELIST list, int width, int height)
{
    auto data = FindList(list);
    if (!data || data->SystemSize || width <= 0 || height <= 0)
        return FALSE;
    data->Width = width;
    data->Height = height;
    data->Images.clear();
    return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color)
{
    auto data = FindList(list);
    if (!data)
        return CLR_NONE;
    const COLORREF previous = data->Background;
    data->Background = color;
    return previous;
}

COLORREF ImageList_GetBkColor(HIMAGELIST list)
{
    auto data = FindList(list);
    return data ? data->Background : CLR_NONE;
}

HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT)
{
    auto data = FindList(list);
    if (!data)
        return nullptr;
    TListImage* image = ImageAt(*data, index);
    if (!image)
        return nullptr;
    TIconObject icon;
    icon.Color = image->Color;
    icon.Mask = image->Mask;
    return Icons::Add(std::move(icon));
}

BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int width, int height, COLORREF background,
                      COLORREF foreground, UINT style)
{
    auto data = FindList(list);
    if (!data || !Gdi::FindDC(dc))
        return FALSE;
    TListImage* image = ImageAt(*data, index);
    if (!image)
        return FALSE;
    if (width <= 0)
        width = data->Width;
    if (height <= 0)
        height = data->Height;
    if (style & ILD_MASK) {
        // The mask shows black and white whatever colours the context holds.
        const COLORREF oldText = SetTextColor(dc, 0x000000);
        const COLORREF oldBack = SetBkColor(dc, 0xFFFFFF);
        Blit(dc, x, y, width, height, image->Mask, true, SRCCOPY);
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBack);
        return TRUE;
    }
    QImage color = image->Color; // copied only when blended or filled below
    if (style & (ILD_BLEND25 | ILD_BLEND50)) {
        const COLORREF blend = (foreground == CLR_DEFAULT || foreground == CLR_NONE) ? GetSysColor(COLOR_HIGHLIGHT)
                                                                                       : foreground;
        const int percent = (style & ILD_BLEND50) ? 50 : 25;
        for (int row = 0; row < color.height(); ++row) {
            auto* c = reinterpret_cast<std::uint32_t*>(color.scanLine(row));
            const auto* m = reinterpret_cast<const std::uint32_t*>(image->Mask.constScanLine(row));
            for (int column = 0; column < color.width(); ++column)
                if (!(m[column] & 0xFFFFFF))
                    c[column] = Blend(c[column], Gdi::ToPixel(blend), percent);
        }
    }
    const COLORREF back = background == CLR_DEFAULT ? data->Background : background;
    const bool transparent = (style & ILD_TRANSPARENT) || back == CLR_NONE;
    if (transparent && data->Masked) {
        const COLORREF oldText = SetTextColor(dc, 0x000000);
        const COLORREF oldBack = SetBkColor(dc, 0xFFFFFF);
        if (width == color.width() && height == color.height()) {
            Gdi::BlitMasked(dc, x, y, color, image->Mask);
        } else {
            Blit(dc, x, y, width, height, image->Mask, true, SRCAND);
            Blit(dc, x, y, width, height, color, false, SRCPAINT);
        }
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBack);
        return TRUE;
    }
    if (back != CLR_NONE && data->Masked) {
        const std::uint32_t fill = Gdi::ToPixel(back & 0xFFFFFF);
        for (int row = 0; row < color.height(); ++row) {
            auto* c = reinterpret_cast<std::uint32_t*>(color.scanLine(row));
            const auto* m = reinterpret_cast<const std::uint32_t*>(image->Mask.constScanLine(row));
            for (int column = 0; column < color.width(); ++column)
                if (m[column] & 0xFFFFFF)
                    c[column] = fill;
        }
    }
    Blit(dc, x, y, width, height, color, false, SRCCOPY);
    return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style)
{
    return ImageList_DrawEx(list, index, dc, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}

void InstallShellIconFactory()
{
    static std::once_flag once;
    std::call_once(once, [] {
        SetShellIconFactory([](const std::string& name, bool small) -> HICON {
            TListImage image = FromArgb(ShellPicture(name, small ? 16 : 32));
            TIconObject icon;
            icon.Color = image.Color;
            icon.Mask = image.Mask;
            return Icons::Add(std::move(icon));
        });
    });
}

// ---- TChangeLink

TChangeLink::~TChangeLink()
{
    if (Sender)
        Sender->UnRegisterChanges(this);
}

void TChangeLink::Change()
{
    if (OnChange)
        OnChange(Sender);
}

// ---- TCustomImageList

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(int width, int height) : TComponent(nullptr), FWidth(width), FHeight(height) {}

TCustomImageList::~TCustomImageList()
{
    for (TChangeLink* link : FLinks)
        link->Sender = nullptr;
    if (FHandle && FOwnsHandle)
        ImageList_Destroy(FHandle);
}

void TCustomImageList::Assign(TPersistent* Source)
{
    auto* source = dynamic_cast<TCustomImageList*>(Source);
    if (!source) {
        TComponent::Assign(Source);
        return;
    }
    SetWidth(source->Width());
    SetHeight(source->Height());
    Clear();
    auto from = FindList(source->Handle());
    auto to = FindList(Handle());
    if (from && to)
        for (int i = 0; i < source->Count(); ++i)
            if (TListImage* image = ImageAt(*from, i))
                to->Images.push_back(*image);
    FMasked = source->FMasked;
    FDrawingStyle = source->FDrawingStyle;
    FImageType = source->FImageType;
    FBlendColor = source->FBlendColor;
    SetBkColor(source->BkColor());
    Change();
}

int TCustomImageList::Width() const
{
    auto data = FHandle ? FindList(FHandle) : nullptr;
    return data ? data->Width : FWidth;
}

int TCustomImageList::Height() const
{
    auto data = FHandle ? FindList(FHandle) : nullptr;
    return data ? data->Height : FHeight;
}

void TCustomImageList::SetWidth(int value)
{
    if (value <= 0 || value == Width())
        return;
    FWidth = value;
    if (FHandle)
        ImageList_SetIconSize(FHandle, FWidth, Height());
    Change();
}

void TCustomImageList::SetHeight(int value)
{
    if (value <= 0 || value == Height())
        return;
    FHeight = value;
    if (FHandle)
        ImageList_SetIconSize(FHandle, Width(), FHeight);
    Change();
}

int TCustomImageList::Count() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

TColor TCustomImageList::BkColor() const
{
    const COLORREF color = FHandle ? ImageList_GetBkColor(FHandle) : CLR_NONE;
    return color == CLR_NONE ? clNone : static_cast<TColor>(color);
}

void TCustomImageList::SetBkColor(TColor value)
{
    ImageList_SetBkColor(Handle(), value == clNone ? CLR_NONE : ColorToRGB(value));
    Change();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle value)
{
    FDrawingStyle = value;
    Change();
}

void TCustomImageList::SetImageType(TImageType value)
{
    FImageType = value;
    Change();
}

HIMAGELIST TCustomImageList::Handle()
{
    if (!FHandle) {
        FHandle = ImageList_Create(FWidth, FHeight, FMasked ? ILC_MASK : 0, AllocBy, AllocBy);
        FOwnsHandle = true;
    }
    return FHandle;
}

void TCustomImageList::SetHandle(HIMAGELIST value)
{
    if (FHandle && FOwnsHandle && FHandle != value)
        ImageList_Destroy(FHandle);
    FHandle = value;
    FOwnsHandle = value && !FShareImages;
    if (value)
        InstallShellIconFactory();
    Change();
}

void TCustomImageList::CheckIndex(int index, bool allowCount) const
{
    if (index < 0 || index > Count() || (!allowCount && index == Count()))
        RAISE(EInvalidOperation("Invalid ImageList Index"));
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask)
{
    if (!image) {
        // No picture: one empty cell, transparent throughout, for a later Replace.
        auto data = FindList(Handle());
        TListImage blank;
        blank.Color = Fit(QImage(), data->Width, data->Height, 0xFF000000u);
        blank.Mask = Fit(QImage(), data->Width, data->Height, 0xFFFFFFFFu);
        const int index = AddImages(FHandle, -1, {blank});
        Change();
        return index;
    }
    if (image->Empty())
        return -1;
    auto data = FindList(Handle());
    const QImage* color = static_cast<const QImage*>(image->PixelImage());
    const QImage* maskImage = mask && !mask->Empty() ? static_cast<const QImage*>(mask->PixelImage()) : nullptr;
    const int index = AddImages(FHandle, -1, Split(*data, *color, maskImage));
    Change();
    return index;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor)
{
    if (!image || image->Empty())
        return -1;
    auto data = FindList(Handle());
    const TColor key = maskColor == clDefault ? image->TransparentColor() : maskColor;
    const QImage* color = static_cast<const QImage*>(image->PixelImage());
    const QImage mask = MaskByColor(*color, ColorToRGB(key));
    const int index = AddImages(FHandle, -1, Split(*data, *color, &mask));
    Change();
    return index;
}

int TCustomImageList::AddIcon(TIcon* icon)
{
    if (!icon || icon->Empty())
        return -1;
    const int index = ImageList_ReplaceIcon(Handle(), -1, icon->Handle());
    Change();
    return index;
}

void TCustomImageList::Insert(int index, TBitmap* image, TBitmap* mask)
{
    CheckIndex(index, true);
    auto data = FindList(Handle());
    const QImage* maskImage = mask && !mask->Empty() ? static_cast<const QImage*>(mask->PixelImage()) : nullptr;
    AddImages(FHandle, index, Split(*data, *static_cast<const QImage*>(image->PixelImage()), maskImage));
    Change();
}

void TCustomImageList::InsertMasked(int index, TBitmap* image, TColor maskColor)
{
    CheckIndex(index, true);
    auto data = FindList(Handle());
    const QImage* color = static_cast<const QImage*>(image->PixelImage());
    const QImage mask = MaskByColor(*color, ColorToRGB(maskColor == clDefault ? image->TransparentColor() : maskColor));
    AddImages(FHandle, index, Split(*data, *color, &mask));
    Change();
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask)
{
    CheckIndex(index);
    auto data = FindList(Handle());
    const QImage* maskImage = mask && !mask->Empty() ? static_cast<const QImage*>(mask->PixelImage()) : nullptr;
    data->Images[static_cast<std::size_t>(index)] =
        Split(*data, *static_cast<const QImage*>(image->PixelImage()), maskImage).front();
    Change();
}

void TCustomImageList::ReplaceMasked(int index, TBitmap* image, TColor maskColor)
{
    CheckIndex(index);
    auto data = FindList(Handle());
    const QImage* color = static_cast<const QImage*>(image->PixelImage());
    const QImage mask = MaskByColor(*color, ColorToRGB(maskColor == clDefault ? image->TransparentColor() : maskColor));
    data->Images[static_cast<std::size_t>(index)] = Split(*data, *color, &mask).front();
    Change();
}

void TCustomImageList::ReplaceIcon(int index, TIcon* icon)
{
    CheckIndex(index);
    if (icon && !icon->Empty())
        ImageList_ReplaceIcon(Handle(), index, icon->Handle());
    Change();
}

void TCustomImageList::Delete(int index)
{
    CheckIndex(index);
    ImageList_Remove(Handle(), index);
    Change();
}

void TCustomImageList::Clear()
{
    if (FHandle)
        ImageList_Remove(FHandle, -1);
    Change();
}

void TCustomImageList::Move(int currentIndex, int newIndex)
{
    if (currentIndex == newIndex)
        return;
    CheckIndex(currentIndex);
    CheckIndex(newIndex);
    auto data = FindList(Handle());
    TListImage image = data->Images[static_cast<std::size_t>(currentIndex)];
    data->Images.erase(data->Images.begin() + currentIndex);
    data->Images.insert(data->Images.begin() + newIndex, image);
    Change();
}

bool TCustomImageList::GetBitmap(int index, TBitmap* image)
{
    if (!image || index < 0 || index >= Count())
        return false;
    image->SetSize(Width(), Height());
    TCanvas* canvas = image->Canvas();
    canvas->Brush()->SetColor(clBlack);
    canvas->FillRect(Rect(0, 0, Width(), Height()));
    ImageList_Draw(FHandle, index, canvas->Handle(), 0, 0, ILD_NORMAL);
    return true;
}

void TCustomImageList::GetIcon(int index, TIcon* icon)
{
    if (icon && index >= 0 && index < Count())
        icon->SetHandle(ImageList_GetIcon(FHandle, index, ILD_NORMAL));
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled)
{
    if (!canvas || !FHandle || index < 0 || index >= Count())
        return;
    HDC dc = canvas->Handle();
    if (enabled) {
        UINT style = ILD_NORMAL;
        if (FDrawingStyle == dsFocus)
            style = ILD_FOCUS;
        else if (FDrawingStyle == dsSelected)
            style = ILD_SELECTED;
        else if (FDrawingStyle == dsTransparent)
            style = ILD_TRANSPARENT;
        if (FImageType == itMask)
            style |= ILD_MASK;
        const COLORREF blend = FBlendColor == clNone ? CLR_DEFAULT : ColorToRGB(FBlendColor);
        ImageList_DrawEx(FHandle, index, dc, x, y, 0, 0, CLR_DEFAULT, blend, style);
        return;
    }
    // Disabled: the image's shape (its opaque pixels that are not white) embossed in the
    // highlight colour one pixel down and right, then in the shadow colour in place.
    auto data = FindList(FHandle);
    TListImage* image = ImageAt(*data, index);
    if (!image)
        return;
    QImage shape(image->Color.size(), QImage::Format_RGB32);
    for (int row = 0; row < shape.height(); ++row) {
        const auto* c = reinterpret_cast<const std::uint32_t*>(image->Color.constScanLine(row));
        const auto* m = reinterpret_cast<const std::uint32_t*>(image->Mask.constScanLine(row));
        auto* s = reinterpret_cast<std::uint32_t*>(shape.scanLine(row));
        for (int column = 0; column < shape.width(); ++column) {
            const bool opaque = !(m[column] & 0xFFFFFF) && (c[column] & 0xFFFFFF) != 0xFFFFFF;
            s[column] = opaque ? 0xFF000000u : 0xFFFFFFFFu;
        }
    }
    const int level = SaveDC(dc);
    SetTextColor(dc, 0xFFFFFF);
    ::SetBkColor(dc, 0x000000);
    HBRUSH highlight = CreateSolidBrush(ColorToRGB(clBtnHighlight));
    HBRUSH shadow = CreateSolidBrush(ColorToRGB(clBtnShadow));
    SelectObject(dc, highlight);
    Blit(dc, x + 1, y + 1, shape.width(), shape.height(), shape, true, 0x00E20746);
    SelectObject(dc, shadow);
    Blit(dc, x, y, shape.width(), shape.height(), shape, true, 0x00E20746);
    RestoreDC(dc, level);
    DeleteObject(highlight);
    DeleteObject(shadow);
}

bool TCustomImageList::Overlay(int imageIndex, int overlay)
{
    if (overlay < 0 || overlay > 3 || imageIndex < 0 || imageIndex >= Count())
        return false;
    if (FOverlays.size() < 4)
        FOverlays.resize(4, -1);
    FOverlays[static_cast<std::size_t>(overlay)] = imageIndex;
    return true;
}

void TCustomImageList::DrawOverlay(TCanvas* canvas, int x, int y, int imageIndex, int overlay, bool enabled)
{
    Draw(canvas, x, y, imageIndex, enabled);
    if (overlay >= 0 && overlay < static_cast<int>(FOverlays.size()) && FOverlays[static_cast<std::size_t>(overlay)] >= 0)
        Draw(canvas, x, y, FOverlays[static_cast<std::size_t>(overlay)], enabled);
}

void TCustomImageList::RegisterChanges(TChangeLink* value)
{
    if (!value)
        return;
    value->Sender = this;
    if (std::find(FLinks.begin(), FLinks.end(), value) == FLinks.end())
        FLinks.push_back(value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* value)
{
    FLinks.erase(std::remove(FLinks.begin(), FLinks.end(), value), FLinks.end());
    if (value && value->Sender == this)
        value->Sender = nullptr;
}

void TCustomImageList::BeginUpdate() { ++FUpdateCount; }

void TCustomImageList::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FChanged)
        Change();
}

void TCustomImageList::Change()
{
    if (FUpdateCount > 0) {
        FChanged = true;
        return;
    }
    FChanged = false;
    const std::vector<TChangeLink*> links = FLinks;
    for (TChangeLink* link : links)
        link->Change();
    if (OnChange)
        OnChange(this);
}
