// The clipboard.

#include "platform/gui/Clipboard.h"

#include "platform/gui/GdiObjects.h"
#include "platform/gui/Graphic.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/os/Atoms.h"
#include "platform/rtl/TextUtils.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace {

struct TClipboardState {
    std::recursive_mutex Mutex;
    bool Open = false;
    std::thread::id Thread;
    bool Changed = false;
    std::map<UINT, HANDLE> Data;     // what the program set
    std::map<UINT, HANDLE> Imported; // what was read from another program
    const QMimeData* Published = nullptr;
    std::map<UINT, std::string> Names;
};

TClipboardState& State()
{
    static TClipboardState state;
    return state;
}

bool IsRegistered(UINT format) { return format >= 0xC000; }

QString MimeOf(UINT format)
{
    // Rich text travels under the type the other desktop programs read and write.
    if (AnsiLowerCase(GetClipboardFormatName(format)) == "rich text format")
        return QStringLiteral("text/rtf");
    return QStringLiteral("application/x-tessellarium-") + ToQString(AnsiLowerCase(GetClipboardFormatName(format)));
}

void FreeHandle(UINT format, HANDLE handle)
{
    if (!handle)
        return;
    if (format == CF_BITMAP || format == CF_PALETTE)
        DeleteObject(static_cast<HGDIOBJ>(handle));
    else if (format != CF_ENHMETAFILE)
        GlobalFree(handle);
}

void FreeAll(std::map<UINT, HANDLE>& data)
{
    for (auto& [format, handle] : data)
        FreeHandle(format, handle);
    data.clear();
}

bool Ours()
{
    TClipboardState& state = State();
    return state.Published && QGuiApplication::clipboard()->mimeData() == state.Published;
}

HGLOBAL GlobalFromBytes(const void* bytes, std::size_t size)
{
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, size);
    if (size > 0)
        std::memcpy(GlobalLock(handle), bytes, size);
    GlobalUnlock(handle);
    return handle;
}

QByteArray BytesOf(HANDLE handle)
{
    const std::size_t size = GlobalSize(handle);
    const void* bytes = GlobalLock(handle);
    QByteArray result(static_cast<const char*>(bytes), static_cast<qsizetype>(size));
    GlobalUnlock(handle);
    return result;
}

std::string ZeroTerminated(HANDLE handle)
{
    const QByteArray bytes = BytesOf(handle);
    const qsizetype end = bytes.indexOf('\0');
    return std::string(bytes.constData(), static_cast<std::size_t>(end < 0 ? bytes.size() : end));
}

// Puts what the program set on the system clipboard.
void Publish()
{
    TClipboardState& state = State();
    auto* mime = new QMimeData;
    for (const auto& [format, handle] : state.Data) {
        if (format == CF_TEXT) {
            QString text = ToQString(ZeroTerminated(handle));
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            mime->setText(text);
        } else if (format == CF_UNICODETEXT && !state.Data.count(CF_TEXT)) {
            const QByteArray bytes = BytesOf(handle);
            QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
            text.truncate(text.indexOf(QChar(0)) < 0 ? text.size() : text.indexOf(QChar(0)));
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            mime->setText(text);
        } else if (format == CF_BITMAP) {
            if (TGdiBitmap* bitmap = Gdi::FindBitmap(static_cast<HBITMAP>(handle)))
                mime->setImageData(bitmap->Image);
        } else if (IsRegistered(format)) {
            mime->setData(MimeOf(format), BytesOf(handle));
        }
    }
    state.Published = mime;
    QGuiApplication::clipboard()->setMimeData(mime);
}

HANDLE Import(UINT format)
{
    TClipboardState& state = State();
    auto cached = state.Imported.find(format);
    if (cached != state.Imported.end())
        return cached->second;
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime)
        return nullptr;
    HANDLE handle = nullptr;
    if ((format == CF_TEXT || format == CF_UNICODETEXT) && mime->hasText()) {
        QString text = mime->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        if (format == CF_TEXT) {
            const std::string ansi = ToAnsi(text);
            handle = GlobalFromBytes(ansi.c_str(), ansi.size() + 1);
        } else {
            handle = GlobalFromBytes(text.utf16(), static_cast<std::size_t>(text.size() + 1) * 2);
        }
    } else if (format == CF_BITMAP && mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData()).convertToFormat(QImage::Format_RGB32);
        handle = Gdi::CreateBitmapFromImage(image, false);
    } else if (IsRegistered(format) && mime->hasFormat(MimeOf(format))) {
        const QByteArray bytes = mime->data(MimeOf(format));
        handle = GlobalFromBytes(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    if (handle)
        state.Imported[format] = handle;
    return handle;
}

std::vector<UINT> AvailableFormats()
{
    TClipboardState& state = State();
    std::vector<UINT> formats;
    if (Ours()) {
        for (const auto& [format, handle] : state.Data)
            formats.push_back(format);
        return formats;
    }
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime)
        return formats;
    if (mime->hasText()) {
        formats.push_back(CF_TEXT);
        formats.push_back(CF_UNICODETEXT);
    }
    if (mime->hasImage())
        formats.push_back(CF_BITMAP);
    for (const auto& [format, name] : state.Names)
        if (mime->hasFormat(MimeOf(format)))
            formats.push_back(format);
    return formats;
}

} // namespace

BOOL OpenClipboard(HWND)
{
    TClipboardState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Mutex);
    if (state.Open && state.Thread != std::this_thread::get_id())
        return FALSE;
    state.Open = true;
    state.Thread = std::this_thread::get_id();
    return TRUE;
}

BOOL CloseClipboard()
{
    TClipboardState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Mutex);
    if (!state.Open || state.Thread != std::this_thread::get_id())
        return FALSE;
    state.Open = false;
    if (state.Changed) {
        state.Changed = false;
        Publish();
    }
    return TRUE;
}

BOOL EmptyClipboard()
{
    TClipboardState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Mutex);
    if (!state.Open || state.Thread != std::this_thread::get_id())
        return FALSE;
    FreeAll(state.Data);
    FreeAll(state.Imported);
    state.Changed = true;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data)
{
    TClipboardState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Mutex);
    if (!state.Open || state.Thread != std::this_thread::get_id() || !data || format == 0)
        return nullptr;
    bool valid = false;
    if (format == CF_BITMAP)
        valid = GetObjectType(static_cast<HGDIOBJ>(data)) == OBJ_BITMAP;
    else if (format == CF_PALETTE)
        valid = GetObjectType(static_cast<HGDIOBJ>(data)) == OBJ_PAL;
    else if (format == CF_ENHMETAFILE)
        valid = GetEnhMetaFileHeader(data, 0, nullptr) != 0;
    else
        valid = IsGlobalHandle(data);
    if (!valid)
        return nullptr;
    auto it = state.Data.find(format);
    if (it != state.Data.end() && it->second != data)
        FreeHandle(format, it->second);
    state.Data[format] = data;
    state.Changed = true;
    return data;
}

HANDLE GetClipboardData(UINT format)
{
    TClipboardState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Mutex);
    if (!state.Open || state.Thread != std::this_thread::get_id())
        return nullptr;
    if (state.Changed || Ours()) {
        auto it = state.Data.find(format);
        return it == state.Data.end() ? nullptr : it->second;
    }
    return Import(format);
}

BOOL IsClipboardFormatAvailable(UINT format)
{
    TClipboardState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Mutex);
    if (state.Changed)
        return state.Data.count(format) ? TRUE : FALSE;
    const auto formats = AvailableFormats();
    return std::find(formats.begin(), formats.end(), format) != formats.end() ? TRUE : FALSE;
}

int CountClipboardFormats()
{
    std::lock_guard<std::recursive_mutex> lock(State().Mutex);
    return static_cast<int>(AvailableFormats().size());
}

UINT EnumClipboardFormats(UINT format)
{
    std::lock_guard<std::recursive_mutex> lock(State().Mutex);
    const auto formats = AvailableFormats();
    if (format == 0)
        return formats.empty() ? 0 : formats.front();
    auto it = std::find(formats.begin(), formats.end(), format);
    if (it == formats.end() || ++it == formats.end())
        return 0;
    return *it;
}

UINT RegisterClipboardFormatA(const char* name)
{
    const UINT format = RegisterWindowMessageA(name);
    if (format != 0) {
        std::lock_guard<std::recursive_mutex> lock(State().Mutex);
        State().Names.emplace(format, name);
    }
    return format;
}

std::string GetClipboardFormatName(UINT format)
{
    std::lock_guard<std::recursive_mutex> lock(State().Mutex);
    auto it = State().Names.find(format);
    return it == State().Names.end() ? "" : it->second;
}

int GetClipboardFormatNameA(UINT format, char* buffer, int size)
{
    const std::string name = GetClipboardFormatName(format);
    if (name.empty() || !buffer || size <= 0)
        return 0;
    const std::size_t count = std::min<std::size_t>(name.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, name.data(), count);
    buffer[count] = 0;
    return static_cast<int>(count);
}

// --- TClipboard ------------------------------------------------------------------------------------------

TClipboard* Clipboard()
{
    static TClipboard clipboard;
    return &clipboard;
}

void TClipboard::Open()
{
    if (FOpenRefCount == 0) {
        if (!OpenClipboard(nullptr))
            RAISE(EClipboardException("Cannot open clipboard"));
        FEmptied = false;
    }
    ++FOpenRefCount;
}

void TClipboard::Close()
{
    if (FOpenRefCount == 0)
        return;
    if (--FOpenRefCount == 0)
        CloseClipboard();
}

void TClipboard::Adding()
{
    if (FOpenRefCount > 0 && !FEmptied) {
        EmptyClipboard();
        FEmptied = true;
    }
}

void TClipboard::Clear()
{
    Open();
    EmptyClipboard();
    FEmptied = true;
    Close();
}

bool TClipboard::HasFormat(WORD format) const { return IsClipboardFormatAvailable(format) != FALSE; }

std::string TClipboard::AsText()
{
    Open();
    std::string text;
    if (HANDLE handle = GetClipboardData(CF_TEXT))
        text = ZeroTerminated(handle);
    Close();
    return text;
}

void TClipboard::SetAsText(const std::string& value)
{
    Open();
    try {
        Adding();
        SetClipboardData(CF_TEXT, GlobalFromBytes(value.c_str(), value.size() + 1));
    } catch (...) {
        Close();
        throw;
    }
    Close();
}

int TClipboard::GetTextBuf(char* buffer, int size)
{
    const std::string text = AsText();
    if (!buffer || size <= 0)
        return 0;
    const std::size_t count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), count);
    buffer[count] = 0;
    return static_cast<int>(count);
}

void TClipboard::SetTextBuf(const char* buffer) { SetAsText(buffer ? buffer : ""); }

HANDLE TClipboard::GetAsHandle(WORD format)
{
    Open();
    HANDLE handle = GetClipboardData(format);
    Close();
    return handle;
}

void TClipboard::SetAsHandle(WORD format, HANDLE value)
{
    Open();
    Adding();
    SetClipboardData(format, value);
    Close();
}

int TClipboard::FormatCount() const { return CountClipboardFormats(); }

WORD TClipboard::Formats(int index) const
{
    const auto formats = AvailableFormats();
    if (index < 0 || index >= static_cast<int>(formats.size()))
        RAISE(EListError("List index out of bounds (" + std::to_string(index) + ")"));
    return static_cast<WORD>(formats[static_cast<std::size_t>(index)]);
}

void TClipboard::Assign(TPersistent* Source)
{
    WORD format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    if (auto* picture = dynamic_cast<TPicture*>(Source))
        picture->SaveToClipboardFormat(format, data, palette);
    else if (auto* graphic = dynamic_cast<TGraphic*>(Source))
        graphic->SaveToClipboardFormat(format, data, palette);
    else {
        TPersistent::Assign(Source);
        return;
    }
    Open();
    Adding();
    SetClipboardData(format, data);
    if (palette)
        SetClipboardData(CF_PALETTE, palette);
    Close();
}

void TClipboard::AssignTo(TPersistent* Dest)
{
    Open();
    try {
        if (auto* picture = dynamic_cast<TPicture*>(Dest)) {
            for (UINT format : AvailableFormats())
                if (TPicture::SupportsClipboardFormat(static_cast<WORD>(format))) {
                    picture->LoadFromClipboardFormat(static_cast<WORD>(format), GetClipboardData(format), nullptr);
                    break;
                }
        } else if (auto* graphic = dynamic_cast<TGraphic*>(Dest)) {
            const UINT format = dynamic_cast<TBitmap*>(Dest) ? CF_BITMAP : CF_ENHMETAFILE;
            graphic->LoadFromClipboardFormat(static_cast<WORD>(format), GetClipboardData(format), nullptr);
        } else {
            Close();
            TPersistent::AssignTo(Dest);
            return;
        }
    } catch (...) {
        Close();
        throw;
    }
    Close();
}
