#include "platform/gui/GdiObjects.h"

#include "platform/gui/private/DibLayout.h"
#include "platform/gui/private/GdiInternals.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

struct TObjectTable {
    std::mutex Mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<TGdiObject>> Objects;
    std::uintptr_t Next = 0x10000;
};

TObjectTable& ObjectTable()
{
    static TObjectTable table;
    return table;
}

std::vector<COLORREF> MakeVga()
{
    const unsigned rgb[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                              0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    std::vector<COLORREF> colors;
    for (unsigned value : rgb)
        colors.push_back(RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF));
    return colors;
}

std::vector<COLORREF> MakeHalftone()
{
    std::vector<COLORREF> colors = MakeVga();
    const int levels[6] = {0, 51, 102, 153, 204, 255};
    for (int r : levels)
        for (int g : levels)
            for (int b : levels)
                colors.push_back(RGB(r, g, b));
    for (int grey = 8; grey <= 238; grey += 10)
        colors.push_back(RGB(grey, grey, grey));
    return colors;
}

HGDIOBJ MakeStock(std::shared_ptr<TGdiObject> object)
{
    object->Stock = true;
    return Gdi::AddObject(std::move(object));
}

std::shared_ptr<TGdiObject> PenObject(UINT style, int width, COLORREF color)
{
    auto object = std::make_shared<TGdiObject>();
    object->Kind = TGdiKind::Pen;
    object->Pen.lopnStyle = style;
    object->Pen.lopnWidth = {width, 0};
    object->Pen.lopnColor = color;
    object->PenWidth = std::max(1, width);
    return object;
}

std::shared_ptr<TGdiObject> BrushObject(UINT style, COLORREF color, std::uintptr_t hatch)
{
    auto object = std::make_shared<TGdiObject>();
    object->Kind = TGdiKind::Brush;
    object->Brush.lbStyle = style;
    object->Brush.lbColor = color;
    object->Brush.lbHatch = hatch;
    return object;
}

std::shared_ptr<TGdiObject> FontObject(const char* face, int height, int pitch)
{
    auto object = std::make_shared<TGdiObject>();
    object->Kind = TGdiKind::Font;
    object->Font.lfHeight = height;
    object->Font.lfPitchAndFamily = static_cast<BYTE>(pitch);
    std::strncpy(object->Font.lfFaceName, face, LF_FACESIZE - 1);
    return object;
}

struct TStockObjects {
    HGDIOBJ Items[18] = {};
    TStockObjects()
    {
        Items[WHITE_BRUSH] = MakeStock(BrushObject(BS_SOLID, 0xFFFFFF, 0));
        Items[LTGRAY_BRUSH] = MakeStock(BrushObject(BS_SOLID, 0xC0C0C0, 0));
        Items[GRAY_BRUSH] = MakeStock(BrushObject(BS_SOLID, 0x808080, 0));
        Items[DKGRAY_BRUSH] = MakeStock(BrushObject(BS_SOLID, 0x404040, 0));
        Items[BLACK_BRUSH] = MakeStock(BrushObject(BS_SOLID, 0, 0));
        Items[NULL_BRUSH] = MakeStock(BrushObject(BS_NULL, 0, 0));
        Items[WHITE_PEN] = MakeStock(PenObject(PS_SOLID, 1, 0xFFFFFF));
        Items[BLACK_PEN] = MakeStock(PenObject(PS_SOLID, 1, 0));
        Items[NULL_PEN] = MakeStock(PenObject(PS_NULL, 1, 0));
        Items[OEM_FIXED_FONT] = MakeStock(FontObject("Terminal", -12, FIXED_PITCH | FF_MODERN));
        Items[ANSI_FIXED_FONT] = MakeStock(FontObject("Courier New", -13, FIXED_PITCH | FF_MODERN));
        Items[ANSI_VAR_FONT] = MakeStock(FontObject("MS Sans Serif", -11, VARIABLE_PITCH | FF_SWISS));
        Items[SYSTEM_FONT] = MakeStock(FontObject("System", -13, VARIABLE_PITCH | FF_SWISS));
        Items[DEVICE_DEFAULT_FONT] = MakeStock(FontObject("System", -13, VARIABLE_PITCH | FF_SWISS));
        auto palette = std::make_shared<TGdiObject>();
        palette->Kind = TGdiKind::Palette;
        palette->Palette = VgaPalette();
        palette->Palette.resize(20, 0);
        Items[DEFAULT_PALETTE] = MakeStock(palette);
        Items[SYSTEM_FIXED_FONT] = MakeStock(FontObject("Fixedsys", -12, FIXED_PITCH | FF_MODERN));
        Items[DEFAULT_GUI_FONT] = MakeStock(FontObject("MS Sans Serif", -11, VARIABLE_PITCH | FF_SWISS));
    }
};

TStockObjects& Stock()
{
    static TStockObjects stock;
    return stock;
}

} // namespace

const std::vector<COLORREF>& VgaPalette()
{
    static const std::vector<COLORREF> palette = MakeVga();
    return palette;
}

const std::vector<COLORREF>& HalftonePalette()
{
    static const std::vector<COLORREF> palette = MakeHalftone();
    return palette;
}

namespace Gdi {

HGDIOBJ AddObject(std::shared_ptr<TGdiObject> object)
{
    auto& table = ObjectTable();
    std::lock_guard lock(table.Mutex);
    const std::uintptr_t id = table.Next;
    table.Next += 4;
    table.Objects[id] = std::move(object);
    return reinterpret_cast<HGDIOBJ>(id);
}

TGdiObject* Find(HGDIOBJ handle)
{
    if (!handle)
        return nullptr;
    auto& table = ObjectTable();
    std::lock_guard lock(table.Mutex);
    auto found = table.Objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == table.Objects.end() ? nullptr : found->second.get();
}

TGdiObject* Find(HGDIOBJ handle, TGdiKind kind)
{
    TGdiObject* object = Find(handle);
    return object && object->Kind == kind ? object : nullptr;
}

COLORREF Resolve(COLORREF color) { return ColorToRGB(static_cast<TColor>(color)) & 0xFFFFFF; }

std::uint32_t MonoPixel(std::uint32_t pixel)
{
    const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    const int toBlack = r * r + g * g + b * b;
    const int toWhite = (255 - r) * (255 - r) + (255 - g) * (255 - g) + (255 - b) * (255 - b);
    return toWhite <= toBlack ? 0xFFFFFFFFu : 0xFF000000u;
}

HBITMAP CreateBitmapFromImage(const QImage& image, bool mono)
{
    auto object = std::make_shared<TGdiObject>();
    object->Kind = TGdiKind::Bitmap;
    object->Bitmap = std::make_shared<TGdiBitmap>();
    object->Bitmap->Image = image.convertToFormat(QImage::Format_RGB32);
    object->Bitmap->Mono = mono;
    return AddObject(std::move(object));
}

TGdiBitmap* FindBitmap(HBITMAP handle)
{
    TGdiObject* object = Find(handle, TGdiKind::Bitmap);
    return object ? object->Bitmap.get() : nullptr;
}

} // namespace Gdi

static void CheckBitmapSize(int width, int height)
{
    if (width > 32767 || height > 32767 || static_cast<std::int64_t>(width) * height > (std::int64_t(1) << 28))
        RAISE(EOutOfResources("Out of system resources"));
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    return Gdi::AddObject(PenObject(static_cast<UINT>(style), std::max(0, width), color));
}

HPEN CreatePenIndirect(const LOGPEN& pen) { return CreatePen(pen.lopnStyle, pen.lopnWidth.X, pen.lopnColor); }

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH& brush, DWORD, const DWORD*)
{
    auto object = PenObject(style & PS_STYLE_MASK, static_cast<int>(width), brush.lbColor);
    if (brush.lbStyle == BS_NULL)
        object->Pen.lopnStyle = PS_NULL;
    return Gdi::AddObject(object);
}

HBRUSH CreateSolidBrush(COLORREF color) { return Gdi::AddObject(BrushObject(BS_SOLID, color, 0)); }

HBRUSH CreateHatchBrush(int hatch, COLORREF color)
{
    return Gdi::AddObject(BrushObject(BS_HATCHED, color, static_cast<std::uintptr_t>(hatch)));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap)
{
    TGdiBitmap* source = Gdi::FindBitmap(bitmap);
    if (!source)
        return nullptr;
    Gdi::SyncSectionIn(*source);
    auto object = BrushObject(BS_PATTERN, 0, reinterpret_cast<std::uintptr_t>(bitmap));
    object->Pattern = std::make_shared<TGdiBitmap>();
    object->Pattern->Image = source->Image.copy();
    object->Pattern->Mono = source->Mono;
    return Gdi::AddObject(object);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH& brush)
{
    switch (brush.lbStyle) {
    case BS_SOLID:
        return CreateSolidBrush(brush.lbColor);
    case BS_NULL:
        return Gdi::AddObject(BrushObject(BS_NULL, brush.lbColor, 0));
    case BS_HATCHED:
        return CreateHatchBrush(static_cast<int>(brush.lbHatch), brush.lbColor);
    case BS_PATTERN:
        return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush.lbHatch));
    default:
        return nullptr;
    }
}

HFONT CreateFontIndirectA(const LOGFONTA& font)
{
    auto object = std::make_shared<TGdiObject>();
    object->Kind = TGdiKind::Font;
    object->Font = font;
    object->Font.lfFaceName[LF_FACESIZE - 1] = 0;
    return Gdi::AddObject(object);
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName)
{
    LOGFONTA font;
    font.lfHeight = height;
    font.lfWidth = width;
    font.lfEscapement = escapement;
    font.lfOrientation = orientation;
    font.lfWeight = weight;
    font.lfItalic = italic ? 1 : 0;
    font.lfUnderline = underline ? 1 : 0;
    font.lfStrikeOut = strikeOut ? 1 : 0;
    font.lfCharSet = static_cast<BYTE>(charSet);
    font.lfOutPrecision = static_cast<BYTE>(outPrecision);
    font.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    font.lfQuality = static_cast<BYTE>(quality);
    font.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (faceName)
        std::strncpy(font.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirectA(font);
}

// Reads rows of a device-bitmap layout (1 bit rows padded to 16 bits, 32 bits as B, G, R, x).
static void ReadDeviceBits(QImage& image, int bitsPerPixel, const void* bits)
{
    const auto* bytes = static_cast<const std::uint8_t*>(bits);
    const int width = image.width();
    if (bitsPerPixel == 1) {
        const int stride = ((width + 15) / 16) * 2;
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
            for (int x = 0; x < width; ++x) {
                const bool set = (bytes[y * stride + x / 8] >> (7 - x % 8)) & 1;
                row[x] = set ? 0xFFFFFFFFu : 0xFF000000u;
            }
        }
        return;
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        const auto* source = bytes + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x)
            row[x] = 0xFF000000u | source[x * 4] | (source[x * 4 + 1] << 8) | (source[x * 4 + 2] << 16);
    }
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    if (width < 0 || height < 0 || planes != 1)
        return nullptr;
    CheckBitmapSize(width, height);
    const bool mono = bitsPerPixel == 1;
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image.fill(mono ? 0xFF000000u : 0xFF000000u);
    if (width == 0 || height == 0)
        image = QImage(1, 1, QImage::Format_RGB32), image.fill(0xFF000000u);
    if (bits && width > 0 && height > 0 && (bitsPerPixel == 1 || bitsPerPixel == 32))
        ReadDeviceBits(image, static_cast<int>(bitsPerPixel), bits);
    return Gdi::CreateBitmapFromImage(image, mono);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height)
{
    bool mono = false;
    if (TDeviceContext* context = Gdi::FindDC(dc)) {
        if (context->Kind == TDcKind::Memory) {
            TGdiBitmap* selected = Gdi::FindBitmap(context->State.Bitmap);
            mono = selected && selected->Mono;
        }
    }
    return CreateBitmap(width, height, 1, mono ? 1 : 32, nullptr);
}

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT)
{
    if (!header)
        return nullptr;
    const int width = header->biWidth, height = std::abs(header->biHeight);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    if ((init & CBM_INIT) && bits && info) {
        QImage image;
        if (Dib::ToImage(info->bmiHeader, Dib::PaletteOf(info), Dib::MasksOf(info), bits, SIZE_MAX, image))
            Gdi::FindBitmap(bitmap)->Image = image;
    }
    return bitmap;
}

HPALETTE CreatePalette(const LOGPALETTE* palette)
{
    if (!palette)
        return nullptr;
    auto object = std::make_shared<TGdiObject>();
    object->Kind = TGdiKind::Palette;
    for (const PALETTEENTRY& entry : palette->palPalEntry)
        object->Palette.push_back(RGB(entry.peRed, entry.peGreen, entry.peBlue));
    return Gdi::AddObject(object);
}

HPALETTE CreateHalftonePalette(HDC)
{
    auto object = std::make_shared<TGdiObject>();
    object->Kind = TGdiKind::Palette;
    object->Palette = HalftonePalette();
    return Gdi::AddObject(object);
}

HGDIOBJ GetStockObject(int index)
{
    if (index < 0 || index > DEFAULT_GUI_FONT)
        return nullptr;
    return Stock().Items[index];
}

int GetObjectA(HGDIOBJ handle, int size, void* buffer)
{
    TGdiObject* object = Gdi::Find(handle);
    if (!object)
        return 0;
    auto copy = [&](const void* data, int needed) {
        if (!buffer)
            return needed;
        const int count = std::min(size, needed);
        std::memcpy(buffer, data, static_cast<std::size_t>(std::max(count, 0)));
        return count;
    };
    switch (object->Kind) {
    case TGdiKind::Pen:
        return copy(&object->Pen, sizeof(LOGPEN));
    case TGdiKind::Brush:
        return copy(&object->Brush, sizeof(LOGBRUSH));
    case TGdiKind::Font:
        return copy(&object->Font, sizeof(LOGFONTA));
    case TGdiKind::Palette: {
        const WORD count = static_cast<WORD>(object->Palette.size());
        return copy(&count, sizeof(WORD));
    }
    case TGdiKind::Bitmap: {
        TGdiBitmap& bitmap = *object->Bitmap;
        DIBSECTION section;
        section.dsBm.bmType = 0;
        section.dsBm.bmWidth = bitmap.Image.width();
        section.dsBm.bmHeight = bitmap.Image.height();
        const int bits = bitmap.IsSection ? bitmap.SectionHeader.biBitCount : (bitmap.Mono ? 1 : 32);
        section.dsBm.bmBitsPixel = static_cast<WORD>(bits);
        section.dsBm.bmWidthBytes = bitmap.IsSection ? ((section.dsBm.bmWidth * bits + 31) / 32) * 4
                                                     : ((section.dsBm.bmWidth * bits + 15) / 16) * 2;
        section.dsBm.bmBits = bitmap.IsSection ? bitmap.SectionBits.data() : nullptr;
        if (bitmap.IsSection) {
            section.dsBmih = bitmap.SectionHeader;
            const int wanted = size >= static_cast<int>(sizeof(DIBSECTION)) ? sizeof(DIBSECTION) : sizeof(BITMAP);
            return copy(&section, buffer ? wanted : static_cast<int>(sizeof(DIBSECTION)));
        }
        return copy(&section.dsBm, sizeof(BITMAP));
    }
    case TGdiKind::Region:
        return 0;
    }
    return 0;
}

DWORD GetObjectType(HGDIOBJ handle)
{
    if (TGdiObject* object = Gdi::Find(handle)) {
        switch (object->Kind) {
        case TGdiKind::Pen:
            return OBJ_PEN;
        case TGdiKind::Brush:
            return OBJ_BRUSH;
        case TGdiKind::Font:
            return OBJ_FONT;
        case TGdiKind::Bitmap:
            return OBJ_BITMAP;
        case TGdiKind::Palette:
            return OBJ_PAL;
        case TGdiKind::Region:
            return OBJ_REGION;
        }
    }
    if (TDeviceContext* dc = Gdi::FindDC(handle)) {
        if (dc->Kind == TDcKind::Memory)
            return OBJ_MEMDC;
        if (dc->Kind == TDcKind::Metafile)
            return OBJ_ENHMETADC;
        return OBJ_DC;
    }
    return 0;
}

BOOL DeleteObject(HGDIOBJ handle)
{
    TGdiObject* object = Gdi::Find(handle);
    if (!object)
        return FALSE;
    if (object->Stock)
        return TRUE;
    if (object->SelectCount > 0)
        return FALSE;
    auto& table = ObjectTable();
    std::lock_guard lock(table.Mutex);
    table.Objects.erase(reinterpret_cast<std::uintptr_t>(handle));
    return TRUE;
}

HBRUSH GetSysColorBrush(int index)
{
    static std::mutex mutex;
    static std::unordered_map<int, HBRUSH> brushes;
    std::lock_guard lock(mutex);
    auto found = brushes.find(index);
    if (found != brushes.end())
        return found->second;
    HBRUSH brush = MakeStock(BrushObject(BS_SOLID, GetSysColor(index), 0));
    brushes[index] = brush;
    return brush;
}

BOOL UnrealizeObject(HGDIOBJ handle) { return Gdi::Find(handle) ? TRUE : FALSE; }

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries)
{
    TGdiObject* object = Gdi::Find(palette, TGdiKind::Palette);
    if (!object)
        return 0;
    const UINT size = static_cast<UINT>(object->Palette.size());
    if (!entries)
        return size;
    UINT copied = 0;
    for (UINT i = start; i < size && copied < count; ++i, ++copied) {
        const COLORREF c = object->Palette[i];
        entries[copied] = {GetRValue(c), GetGValue(c), GetBValue(c), 0};
    }
    return copied;
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries)
{
    TGdiObject* object = Gdi::Find(palette, TGdiKind::Palette);
    if (!object || !entries || object->Stock)
        return 0;
    UINT copied = 0;
    for (UINT i = start; i < object->Palette.size() && copied < count; ++i, ++copied)
        object->Palette[i] = RGB(entries[copied].peRed, entries[copied].peGreen, entries[copied].peBlue);
    return copied;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color)
{
    TGdiObject* object = Gdi::Find(palette, TGdiKind::Palette);
    if (!object || object->Palette.empty())
        return CLR_INVALID;
    UINT best = 0;
    long bestDistance = -1;
    for (UINT i = 0; i < object->Palette.size(); ++i) {
        const COLORREF c = object->Palette[i];
        const long dr = long(GetRValue(c)) - GetRValue(color), dg = long(GetGValue(c)) - GetGValue(color),
                   db = long(GetBValue(c)) - GetBValue(color);
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    TGdiObject* object = Gdi::Find(handle);
    if (!context || !object)
        return nullptr;
    HGDIOBJ* slot = nullptr;
    switch (object->Kind) {
    case TGdiKind::Pen:
        slot = &context->State.Pen;
        break;
    case TGdiKind::Brush:
        slot = &context->State.Brush;
        break;
    case TGdiKind::Font:
        slot = &context->State.Font;
        break;
    case TGdiKind::Bitmap:
        if (context->Kind != TDcKind::Memory)
            return nullptr;
        slot = &context->State.Bitmap;
        break;
    case TGdiKind::Palette:
        return nullptr; // SelectPalette
    case TGdiKind::Region: {
        // Selecting a region sets the clip region and answers its kind.
        const QRegion region = object->Region;
        context->State.HasClip = true;
        context->State.Clip = region;
        return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(region.isEmpty() ? 1 : (region.rectCount() == 1 ? 2 : 3)));
    }
    }
    HGDIOBJ previous = *slot;
    if (previous == handle)
        return previous;
    if (TGdiObject* old = Gdi::Find(previous))
        --old->SelectCount;
    ++object->SelectCount;
    *slot = handle;
    return previous;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT kind)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return nullptr;
    switch (kind) {
    case OBJ_PEN:
        return context->State.Pen;
    case OBJ_BRUSH:
        return context->State.Brush;
    case OBJ_FONT:
        return context->State.Font;
    case OBJ_BITMAP:
        return context->State.Bitmap;
    case OBJ_PAL:
        return context->State.Palette;
    default:
        return nullptr;
    }
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD)
{
    if (bits)
        *bits = nullptr;
    if (!info)
        return nullptr;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    const int width = header.biWidth, height = std::abs(header.biHeight), bitCount = header.biBitCount;
    if (width <= 0 || height <= 0 || (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS))
        return nullptr;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return nullptr;
    CheckBitmapSize(width, height);
    auto object = std::make_shared<TGdiObject>();
    object->Kind = TGdiKind::Bitmap;
    object->Bitmap = std::make_shared<TGdiBitmap>();
    TGdiBitmap& bitmap = *object->Bitmap;
    bitmap.IsSection = true;
    bitmap.SectionHeader = header;
    bitmap.SectionHeader.biSizeImage = static_cast<DWORD>(Dib::RowSize(width, bitCount) * height);
    bitmap.SectionPalette = Dib::PaletteOf(info);
    if (header.biCompression == BI_BITFIELDS) {
        const DWORD* masks = Dib::MasksOf(info);
        bitmap.SectionPalette = {masks[0], masks[1], masks[2]};
    }
    bitmap.SectionBits.assign(bitmap.SectionHeader.biSizeImage, 0);
    bitmap.Mono = bitCount == 1 && bitmap.SectionPalette.size() == 2 && bitmap.SectionPalette[0] == 0 &&
                  bitmap.SectionPalette[1] == 0xFFFFFF;
    bitmap.Image = QImage(width, height, QImage::Format_RGB32);
    Gdi::SyncSectionIn(bitmap);
    if (bits)
        *bits = bitmap.SectionBits.data();
    return Gdi::AddObject(object);
}

namespace Gdi {

void SyncSectionIn(TGdiBitmap& bitmap)
{
    if (!bitmap.IsSection)
        return;
    const BITMAPINFOHEADER& header = bitmap.SectionHeader;
    const bool bitfields = header.biCompression == BI_BITFIELDS;
    const DWORD* masks = bitfields ? bitmap.SectionPalette.data() : nullptr;
    const std::vector<COLORREF> none;
    const int bits = header.biBitCount == 16 && !bitfields ? 15 : header.biBitCount;
    const int rowSize = Dib::RowSize(header.biWidth, header.biBitCount);
    const int height = bitmap.Image.height();
    for (int y = 0; y < height; ++y) {
        const int fileRow = header.biHeight > 0 ? height - 1 - y : y;
        Dib::DecodeRow(bitmap.SectionBits.data() + static_cast<std::size_t>(fileRow) * rowSize, header.biWidth, bits,
                       bitfields ? none : bitmap.SectionPalette, masks,
                       reinterpret_cast<std::uint32_t*>(bitmap.Image.scanLine(y)));
    }
}

void SyncSectionOut(TGdiBitmap& bitmap)
{
    if (!bitmap.IsSection)
        return;
    const BITMAPINFOHEADER& header = bitmap.SectionHeader;
    const bool bitfields = header.biCompression == BI_BITFIELDS;
    const int bits = header.biBitCount == 16 && !bitfields ? 15 : header.biBitCount;
    const int rowSize = Dib::RowSize(header.biWidth, header.biBitCount);
    const int height = bitmap.Image.height();
    for (int y = 0; y < height; ++y) {
        const int fileRow = header.biHeight > 0 ? height - 1 - y : y;
        Dib::EncodeRow(reinterpret_cast<const std::uint32_t*>(bitmap.Image.constScanLine(y)), header.biWidth, bits,
                       bitmap.SectionPalette, bitmap.SectionBits.data() + static_cast<std::size_t>(fileRow) * rowSize);
    }
}

} // namespace Gdi
