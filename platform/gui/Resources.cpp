#include "platform/gui/Resources.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Icon.h"
#include "platform/gui/IcoCodec.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/IconTable.h"
#include "platform/os/Libraries.h"
#include "platform/rtl/TextUtils.h"

#include <QPainter>

#include <map>
#include <mutex>

namespace {

struct TResourceEntry {
    std::vector<std::uint8_t> Bytes;
};

struct TResourceRegistry {
    std::mutex Mutex;
    std::map<std::tuple<HINSTANCE, int, std::string>, TResourceEntry> Entries;
    std::map<std::pair<HINSTANCE, std::string>, HICON> LoadedIcons;
    std::map<std::pair<HINSTANCE, std::string>, HICON> LoadedCursors;
};

TResourceRegistry& Registry()
{
    static TResourceRegistry registry;
    return registry;
}

constexpr std::uintptr_t SystemCursorBase = 0x50000000;

int CursorShapeOf(int id)
{
    switch (id) {
    case IDC_ARROW:
        return 0;
    case IDC_UPARROW:
        return 1;
    case IDC_CROSS:
        return 2;
    case IDC_WAIT:
        return 3;
    case IDC_IBEAM:
        return 4;
    case IDC_SIZENS:
        return 5;
    case IDC_SIZEWE:
        return 6;
    case IDC_SIZENESW:
        return 7;
    case IDC_SIZENWSE:
        return 8;
    case IDC_SIZEALL:
        return 9;
    case IDC_HAND:
        return 13;
    case IDC_NO:
        return 14;
    case IDC_HELP:
        return 15;
    case IDC_APPSTARTING:
        return 16;
    default:
        return -1;
    }
}

HBITMAP MonoBitmap(int width, int height, const std::vector<const char*>& rows, int dx, int dy)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(0xFFFFFFFFu);
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (int x = 0; rows[y][x]; ++x)
            if (rows[y][x] == 'X')
                image.setPixel(x + dx, static_cast<int>(y) + dy, 0xFF000000u);
    return Gdi::CreateBitmapFromImage(image, true);
}

HBITMAP SystemBitmap(int id)
{
    if (id == OBM_COMBO)
        return MonoBitmap(7, 4, {"XXXXXXX", ".XXXXX.", "..XXX..", "...X..."}, 0, 0);
    if (id == OBM_CHECK)
        return MonoBitmap(13, 13, {"......X", ".....XX", "X...XXX", "XX.XXX.", "XXXXX..", ".XXX...", "..X...."}, 3, 3);
    return nullptr;
}

// The standard icons, drawn here at 32 x 32.
HICON SystemIcon(int id)
{
    QImage color(32, 32, QImage::Format_RGB32);
    color.fill(0xFF000000u);
    QImage shape(32, 32, QImage::Format_ARGB32_Premultiplied);
    shape.fill(0);
    QPainter painter(&shape);
    painter.setRenderHint(QPainter::Antialiasing, false);
    switch (id) {
    case IDI_APPLICATION:
        painter.fillRect(2, 4, 28, 24, Qt::black);
        painter.fillRect(3, 5, 26, 22, Qt::white);
        painter.fillRect(3, 5, 26, 4, QColor(0, 0, 128));
        break;
    case IDI_HAND:
        painter.setBrush(QColor(255, 0, 0));
        painter.setPen(Qt::black);
        painter.drawEllipse(2, 2, 27, 27);
        painter.setPen(QPen(Qt::white, 3));
        painter.drawLine(10, 10, 21, 21);
        painter.drawLine(21, 10, 10, 21);
        break;
    case IDI_QUESTION:
    case IDI_ASTERISK: {
        painter.setBrush(Qt::white);
        painter.setPen(Qt::black);
        painter.drawEllipse(2, 2, 27, 27);
        painter.setPen(QColor(0, 0, 255));
        QFont font("Liberation Serif");
        font.setPixelSize(20);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRect(2, 2, 28, 28), Qt::AlignCenter, id == IDI_QUESTION ? "?" : "i");
        break;
    }
    case IDI_EXCLAMATION: {
        painter.setBrush(QColor(255, 255, 0));
        painter.setPen(Qt::black);
        painter.drawPolygon(QPolygon({QPoint(15, 2), QPoint(29, 28), QPoint(1, 28)}));
        painter.fillRect(14, 10, 3, 11, Qt::black);
        painter.fillRect(14, 23, 3, 3, Qt::black);
        break;
    }
    default:
        return nullptr;
    }
    painter.end();
    TIcoImage image;
    image.Width = image.Height = 32;
    image.Bits = 4;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb pixel = shape.pixel(x, y);
            const bool clear = qAlpha(pixel) < 128;
            image.Pixels.push_back(clear ? 0xFF000000u : (pixel | 0xFF000000u));
            image.Transparent.push_back(clear ? 1 : 0);
        }
    return Icons::FromIco(image);
}

std::string Key(const TResourceName& name) { return name.Key(); }

} // namespace

TResourceName::TResourceName(const char* name) : FText(name ? name : "") {}

TResourceName TResourceName::FromId(int id)
{
    TResourceName name;
    name.FId = id;
    return name;
}

std::string TResourceName::Key() const { return IsId() ? "#" + std::to_string(FId) : UpperCase(FText); }

HINSTANCE MainInstance() { return GetModuleHandleA(nullptr); }

void RegisterResource(HINSTANCE module, int type, const TResourceName& name, std::vector<std::uint8_t> bytes)
{
    TResourceRegistry& registry = Registry();
    std::lock_guard lock(registry.Mutex);
    registry.Entries[{module, type, Key(name)}].Bytes = std::move(bytes);
    registry.LoadedIcons.erase({module, Key(name)});
    registry.LoadedCursors.erase({module, Key(name)});
}

void RegisterCursorResource(HINSTANCE module, const TResourceName& name, std::vector<std::uint8_t> icoBytes, int hotX,
                            int hotY)
{
    // Kept in the cursor form of an ICO file: type 2 and the hot spot in the directory entry.
    if (icoBytes.size() >= 22) {
        icoBytes[2] = 2;
        icoBytes[10] = static_cast<std::uint8_t>(hotX);
        icoBytes[11] = static_cast<std::uint8_t>(hotX >> 8);
        icoBytes[12] = static_cast<std::uint8_t>(hotY);
        icoBytes[13] = static_cast<std::uint8_t>(hotY >> 8);
    }
    RegisterResource(module, RT_CURSOR, name, std::move(icoBytes));
}

const std::vector<std::uint8_t>* ResourceBytes(HINSTANCE module, int type, const TResourceName& name)
{
    if (type == RT_ANICURSOR || type == RT_ANIICON)
        return nullptr;
    TResourceRegistry& registry = Registry();
    std::lock_guard lock(registry.Mutex);
    auto found = registry.Entries.find({module, type, Key(name)});
    return found == registry.Entries.end() ? nullptr : &found->second.Bytes;
}

HRSRC FindResourceA(HINSTANCE module, const TResourceName& name, int type)
{
    return const_cast<std::vector<std::uint8_t>*>(ResourceBytes(module, type, name));
}

HGLOBAL LoadResource(HINSTANCE, HRSRC resource) { return resource; }

const void* LockResource(HGLOBAL resource)
{
    return resource ? static_cast<const std::vector<std::uint8_t>*>(resource)->data() : nullptr;
}

DWORD SizeofResource(HINSTANCE, HRSRC resource)
{
    return resource ? static_cast<DWORD>(static_cast<const std::vector<std::uint8_t>*>(resource)->size()) : 0;
}

BOOL FreeResource(HGLOBAL) { return FALSE; }

HBITMAP LoadBitmapA(HINSTANCE module, const TResourceName& name)
{
    if (!module)
        return name.IsId() ? SystemBitmap(name.Id()) : nullptr;
    if (!ResourceBytes(module, RT_BITMAP, name))
        return nullptr;
    try {
        TBitmap bitmap;
        if (name.IsId())
            bitmap.LoadFromResourceID(module, name.Id());
        else
            bitmap.LoadFromResourceName(module, name.Text());
        return bitmap.ReleaseHandle();
    } catch (const Exception&) {
        return nullptr;
    }
}

static HICON LoadIconResource(HINSTANCE module, const TResourceName& name, bool cursor)
{
    TResourceRegistry& registry = Registry();
    const auto key = std::make_pair(module, Key(name));
    {
        std::lock_guard lock(registry.Mutex);
        auto& loaded = cursor ? registry.LoadedCursors : registry.LoadedIcons;
        auto found = loaded.find(key);
        if (found != loaded.end())
            return found->second;
    }
    const std::vector<std::uint8_t>* bytes = ResourceBytes(module, cursor ? RT_CURSOR : RT_ICON, name);
    if (!bytes && !cursor)
        bytes = ResourceBytes(module, RT_GROUP_ICON, name);
    if (!bytes && cursor)
        bytes = ResourceBytes(module, RT_GROUP_CURSOR, name);
    if (!bytes)
        return nullptr;
    HICON icon = nullptr;
    try {
        const std::vector<TIcoImage> images = IcoCodec::Read(bytes->data(), bytes->size(), true);
        icon = Icons::FromIco(images[IcoCodec::BestImage(images)], !cursor);
    } catch (const Exception&) {
        return nullptr;
    }
    std::lock_guard lock(registry.Mutex);
    (cursor ? registry.LoadedCursors : registry.LoadedIcons)[key] = icon;
    return icon;
}

HICON LoadIconA(HINSTANCE module, const TResourceName& name)
{
    if (!module) {
        if (!name.IsId())
            return nullptr;
        static std::mutex mutex;
        static std::map<int, HICON> icons;
        std::lock_guard lock(mutex);
        auto found = icons.find(name.Id());
        if (found != icons.end())
            return found->second;
        HICON icon = SystemIcon(name.Id());
        if (icon)
            icons[name.Id()] = icon;
        return icon;
    }
    return LoadIconResource(module, name, false);
}

HCURSOR LoadCursorA(HINSTANCE module, const TResourceName& name)
{
    if (!module) {
        const int shape = name.IsId() ? CursorShapeOf(name.Id()) : -1;
        return shape < 0 ? nullptr : reinterpret_cast<HCURSOR>(SystemCursorBase + static_cast<std::uintptr_t>(shape));
    }
    return reinterpret_cast<HCURSOR>(LoadIconResource(module, name, true));
}

HCURSOR LoadCursorFromFileA(const char*) { return nullptr; }

HANDLE LoadImageA(HINSTANCE module, const TResourceName& name, UINT type, int, int, UINT flags)
{
    if (flags & LR_LOADFROMFILE) {
        try {
            if (type == IMAGE_BITMAP) {
                TBitmap bitmap;
                bitmap.LoadFromFile(name.Text());
                return bitmap.ReleaseHandle();
            }
            if (type == IMAGE_ICON) {
                TIcon icon;
                icon.LoadFromFile(name.Text());
                return icon.ReleaseHandle();
            }
        } catch (const Exception&) {
        }
        return nullptr;
    }
    switch (type) {
    case IMAGE_BITMAP:
        return LoadBitmapA(module, name);
    case IMAGE_ICON:
        return LoadIconA(module, name);
    case IMAGE_CURSOR:
        return LoadCursorA(module, name);
    default:
        return nullptr;
    }
}

int SystemCursorShape(HCURSOR cursor)
{
    const auto value = reinterpret_cast<std::uintptr_t>(cursor);
    return value >= SystemCursorBase && value <= SystemCursorBase + 32 ? static_cast<int>(value - SystemCursorBase) : -1;
}

bool CursorImage(HCURSOR cursor, HICON& icon, int& hotX, int& hotY)
{
    TIconObject* object = Icons::Find(reinterpret_cast<HICON>(cursor));
    if (!object)
        return false;
    icon = reinterpret_cast<HICON>(cursor);
    hotX = object->HotX;
    hotY = object->HotY;
    return true;
}
