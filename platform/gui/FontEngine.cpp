#include "platform/gui/FontEngine.h"

#include "platform/gui/private/FontCache.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/TextUtils.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool FamilyInstalled(const QString& family)
{
    static std::mutex mutex;
    static std::map<QString, bool> known;
    std::lock_guard lock(mutex);
    auto found = known.find(family);
    if (found != known.end())
        return found->second;
    const bool installed = QFontDatabase::families().contains(family, Qt::CaseInsensitive);
    known[family] = installed;
    return installed;
}

BYTE FamilyBits(const QString& family)
{
    const QString lower = family.toLower();
    if (lower.contains("mono") || lower.contains("courier"))
        return FF_MODERN;
    if (lower.contains("serif") && !lower.contains("sans"))
        return FF_ROMAN;
    return FF_SWISS;
}

bool IsSymbolFamily(const std::string& name)
{
    const std::string lower = Lower(name);
    return lower == "symbol" || lower.rfind("wingdings", 0) == 0 || lower == "webdings" || lower == "marlett";
}

struct TFontCacheData {
    std::mutex Mutex;
    std::map<std::string, std::shared_ptr<const TRealizedFont>> Fonts;
    std::map<std::string, HFONT> Handles;
};

TFontCacheData& CacheData()
{
    static TFontCacheData data;
    return data;
}

std::string KeyOf(const LOGFONTA& font, int ppi)
{
    LOGFONTA copy = font;
    const std::string face = Lower(copy.lfFaceName);
    std::memset(copy.lfFaceName, 0, sizeof(copy.lfFaceName));
    std::string key(reinterpret_cast<const char*>(&copy), sizeof(copy));
    return key + face + "@" + std::to_string(ppi);
}

QFont BaseFont(const std::string& windowsName, double& stretch)
{
    stretch = 1.0;
    std::string family = SubstituteFontName(windowsName.empty() ? std::string("MS Sans Serif") : windowsName);
    if (Lower(windowsName) == "arial narrow") {
        if (FamilyInstalled("Liberation Sans Narrow"))
            family = "Liberation Sans Narrow";
        else {
            family = "Liberation Sans";
            stretch = 0.82;
        }
    }
    QFont font(QString::fromStdString(AnsiToUtf8(family)));
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias |
                                               QFont::PreferNoShaping));
    return font;
}

std::shared_ptr<TRealizedFont> Build(const LOGFONTA& logFont, int ppi)
{
    auto realized = std::make_shared<TRealizedFont>();
    realized->FaceName = logFont.lfFaceName;
    double stretch = 1.0;
    QFont font = BaseFont(logFont.lfFaceName, stretch);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(logFont.lfWeight == 0 ? 400 : int(logFont.lfWeight), 100, 900)));
    font.setItalic(logFont.lfItalic != 0);
    font.setUnderline(logFont.lfUnderline != 0);
    font.setStrikeOut(logFont.lfStrikeOut != 0);
    int height = logFont.lfHeight;
    if (height == 0)
        height = -MulDiv(8, ppi, 72);
    int em = 0;
    if (height < 0) {
        em = -height;
    } else {
        // A positive height is the cell: ascent + descent.
        QFont probe = font;
        probe.setPixelSize(200);
        QFontMetrics metrics(probe);
        em = std::max(1, static_cast<int>(std::lround(height * 200.0 / std::max(1, metrics.ascent() + metrics.descent()))));
    }
    em = std::max(1, em);
    font.setPixelSize(em);
    if (logFont.lfWidth != 0) {
        QFontMetrics plain(font);
        const int average = std::max(1, plain.averageCharWidth());
        stretch *= static_cast<double>(std::abs(logFont.lfWidth)) / average;
    }
    if (stretch != 1.0)
        font.setStretch(std::clamp(static_cast<int>(std::lround(stretch * 100)), 1, 4000));
    realized->Font = font;
    realized->EmSize = em;
    realized->StretchX = stretch;
    realized->Escapement = logFont.lfEscapement;
    realized->Raw = QRawFont::fromFont(font);

    QFontMetrics metrics(font);
    TEXTMETRICA& tm = realized->Metrics;
    tm.tmAscent = metrics.ascent();
    tm.tmDescent = metrics.descent();
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - em);
    tm.tmExternalLeading = std::max(0, metrics.leading());
    tm.tmAveCharWidth = metrics.averageCharWidth();
    tm.tmMaxCharWidth = metrics.maxWidth();
    tm.tmWeight = logFont.lfWeight >= FW_BOLD ? FW_BOLD : FW_NORMAL;
    tm.tmItalic = logFont.lfItalic ? 1 : 0;
    tm.tmUnderlined = logFont.lfUnderline ? 1 : 0;
    tm.tmStruckOut = logFont.lfStrikeOut ? 1 : 0;
    const bool fixed = QFontInfo(font).fixedPitch();
    tm.tmPitchAndFamily = static_cast<BYTE>((fixed ? 0 : 1) | 2 | 4 | FamilyBits(font.family()));
    tm.tmCharSet = IsSymbolFamily(logFont.lfFaceName) ? SYMBOL_CHARSET : ANSI_CHARSET;

    QString all;
    for (int c = 0; c < 256; ++c) {
        const char16_t u = c < 32 ? u' ' : AnsiCharToUnicode(static_cast<unsigned char>(c));
        realized->Unicode[static_cast<std::size_t>(c)] = u;
        all.append(QChar(u));
    }
    const QList<quint32> glyphs = realized->Raw.glyphIndexesForString(all);
    for (int c = 0; c < 256 && c < glyphs.size(); ++c)
        realized->Glyphs[static_cast<std::size_t>(c)] = glyphs[c];
    for (int c = 0; c < 256; ++c)
        realized->Advances[static_cast<std::size_t>(c)] =
            metrics.horizontalAdvance(QChar(realized->Unicode[static_cast<std::size_t>(c)]));
    return realized;
}

} // namespace

std::string SubstituteFontName(const std::string& windowsName)
{
    static const std::map<std::string, std::string> table = {
        {"arial", "Liberation Sans"},
        {"arial narrow", "Liberation Sans Narrow"},
        {"times new roman", "Liberation Serif"},
        {"times", "Liberation Serif"},
        {"ms serif", "Liberation Serif"},
        {"courier new", "Liberation Mono"},
        {"courier", "Liberation Mono"},
        {"fixedsys", "Liberation Mono"},
        {"terminal", "Liberation Mono"},
        {"lucida console", "Liberation Mono"},
        {"consolas", "Liberation Mono"},
        {"ms sans serif", "Liberation Sans"},
        {"microsoft sans serif", "Liberation Sans"},
        {"system", "Liberation Sans"},
        {"tahoma", "Liberation Sans"},
        {"verdana", "Liberation Sans"},
        {"segoe ui", "Liberation Sans"},
        {"helvetica", "Liberation Sans"},
        {"small fonts", "Liberation Sans"},
        {"default", "Liberation Sans"},
    };
    auto found = table.find(Lower(windowsName));
    return found == table.end() ? windowsName : found->second;
}

namespace FontCache {

const QRawFont& RawFontForThisThread(const TRealizedFont& font)
{
    if (font.RawThread == std::this_thread::get_id())
        return font.Raw;
    // Realised fonts stay in the cache for the life of the process, so their addresses are keys.
    thread_local std::map<const TRealizedFont*, QRawFont> own;
    auto found = own.find(&font);
    if (found == own.end())
        found = own.emplace(&font, QRawFont::fromFont(font.Font)).first;
    return found->second;
}

std::shared_ptr<const TRealizedFont> Realize(const LOGFONTA& logFont, int pixelsPerInch)
{
    TFontCacheData& data = CacheData();
    const std::string key = KeyOf(logFont, pixelsPerInch);
    {
        std::lock_guard lock(data.Mutex);
        auto found = data.Fonts.find(key);
        if (found != data.Fonts.end())
            return found->second;
    }
    std::shared_ptr<const TRealizedFont> realized = Build(logFont, pixelsPerInch);
    std::lock_guard lock(data.Mutex);
    return data.Fonts.emplace(key, realized).first->second;
}

} // namespace FontCache

LOGFONTA FontToLogFont(const TFont& font)
{
    LOGFONTA logFont;
    logFont.lfHeight = font.Height();
    logFont.lfWeight = font.Style().Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = font.Style().Contains(fsItalic) ? 1 : 0;
    logFont.lfUnderline = font.Style().Contains(fsUnderline) ? 1 : 0;
    logFont.lfStrikeOut = font.Style().Contains(fsStrikeOut) ? 1 : 0;
    logFont.lfCharSet = font.Charset();
    logFont.lfPitchAndFamily = font.Pitch() == fpFixed ? FIXED_PITCH : (font.Pitch() == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH);
    std::strncpy(logFont.lfFaceName, font.Name().c_str(), LF_FACESIZE - 1);
    return logFont;
}

void LogFontToFont(const LOGFONTA& logFont, TFont& font)
{
    TFontStyles style;
    if (logFont.lfWeight >= FW_BOLD)
        style.Include(fsBold);
    if (logFont.lfItalic)
        style.Include(fsItalic);
    if (logFont.lfUnderline)
        style.Include(fsUnderline);
    if (logFont.lfStrikeOut)
        style.Include(fsStrikeOut);
    font.SetName(logFont.lfFaceName);
    font.SetHeight(logFont.lfHeight);
    font.SetStyle(style);
    font.SetCharset(logFont.lfCharSet);
    const BYTE pitch = logFont.lfPitchAndFamily & 3;
    font.SetPitch(pitch == FIXED_PITCH ? fpFixed : (pitch == VARIABLE_PITCH ? fpVariable : fpDefault));
}

HFONT FontHandle(const TFont& font)
{
    const LOGFONTA logFont = FontToLogFont(font);
    const std::string key = KeyOf(logFont, 0);
    TFontCacheData& data = CacheData();
    {
        std::lock_guard lock(data.Mutex);
        auto found = data.Handles.find(key);
        if (found != data.Handles.end())
            return found->second;
    }
    HFONT handle = CreateFontIndirectA(logFont);
    Gdi::Find(handle)->Stock = true; // shared by every font of this description
    std::lock_guard lock(data.Mutex);
    return data.Handles.emplace(key, handle).first->second;
}

void SetFontHandle(TFont& font, HFONT handle)
{
    LOGFONTA logFont;
    if (GetObjectA(handle, sizeof(logFont), &logFont) == sizeof(logFont))
        LogFontToFont(logFont, font);
}

std::vector<std::string> ScreenFonts()
{
    std::vector<std::string> names = {"Arial", "Courier New", "Times New Roman"};
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        for (const QString& family : QFontDatabase::families())
            names.push_back(Utf8ToAnsi(family.toStdString()));
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    names.erase(std::unique(names.begin(), names.end(),
                            [](const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }),
                names.end());
    return names;
}

static int EnumFamilies(const char* family, const FONTENUMPROCA& proc, LPARAM data)
{
    if (!proc)
        return 0;
    int result = 1;
    for (const std::string& name : ScreenFonts()) {
        if (family && *family && CompareText(name, family) != 0)
            continue;
        LOGFONTA logFont;
        std::strncpy(logFont.lfFaceName, name.c_str(), LF_FACESIZE - 1);
        logFont.lfHeight = -11;
        auto realized = FontCache::Realize(logFont);
        logFont.lfCharSet = realized->Metrics.tmCharSet;
        logFont.lfPitchAndFamily = realized->Metrics.tmPitchAndFamily;
        const QString qtFamily = realized->Font.family();
        const DWORD type = QFontDatabase::isSmoothlyScalable(qtFamily) ? TRUETYPE_FONTTYPE : RASTER_FONTTYPE;
        result = proc(&logFont, &realized->Metrics, type, data);
        if (result == 0)
            break;
    }
    return result;
}

int EnumFontFamiliesA(HDC, const char* family, FONTENUMPROCA proc, LPARAM data)
{
    return EnumFamilies(family, proc, data);
}

int EnumFontFamiliesExA(HDC, const LOGFONTA* logFont, FONTENUMPROCA proc, LPARAM data, DWORD)
{
    return EnumFamilies(logFont ? logFont->lfFaceName : nullptr, proc, data);
}

LONG FontDialogBaseUnits()
{
    LOGFONTA logFont;
    logFont.lfHeight = -11;
    std::strcpy(logFont.lfFaceName, "MS Sans Serif");
    auto realized = FontCache::Realize(logFont);
    int total = 0;
    for (char c = 'A'; c <= 'Z'; ++c)
        total += realized->Advances[static_cast<unsigned char>(c)];
    for (char c = 'a'; c <= 'z'; ++c)
        total += realized->Advances[static_cast<unsigned char>(c)];
    return static_cast<LONG>(MAKELONG(static_cast<WORD>(total / 52), static_cast<WORD>(realized->Metrics.tmHeight)));
}
