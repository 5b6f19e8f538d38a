// The class library's rich edit.

#include "platform/gui/RichEdit.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/FontEngine.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/Printer.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <QTextEdit>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int AttributePixelsPerInch = 96;
constexpr int LineBufferSize = 4096;

enum TRichStreamFormat { sfDefault, sfRichText, sfPlainText };

struct TConversionFormat {
    std::string Extension;
    bool PlainText;
    TConversionClass ConversionClass;
};

std::vector<TConversionFormat>& ConversionFormats()
{
    static std::vector<TConversionFormat> formats{
        {"rtf", false, [] { return std::make_unique<TConversion>(); }},
        {"txt", true, [] { return std::make_unique<TConversion>(); }},
    };
    return formats;
}

const TConversionFormat* FindConversionFormat(const std::string& fileName)
{
    std::string extension = LowerCase(ExtractFileExt(fileName));
    if (!extension.empty() && extension[0] == '.')
        extension.erase(0, 1);
    // The newest registration comes last and wins.
    const auto& formats = ConversionFormats();
    for (auto it = formats.rbegin(); it != formats.rend(); ++it)
        if (it->Extension == extension)
            return &*it;
    return nullptr;
}

// What a read callback works with: the stream, the converter and a CR held back from the end of
// the previous block, so that a CR LF pair split between blocks stays one break.
struct TReadCookie {
    TStream* Stream;
    TConversion* Converter;
    bool PendingCr = false;
    bool Ended = false;
};

struct TWriteCookie {
    TStream* Stream;
    TConversion* Converter;
};

DWORD ReadCallback(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* transferred)
{
    auto* read = reinterpret_cast<TReadCookie*>(cookie);
    *transferred = 0;
    try {
        if (read->Ended)
            return 0;
        // At most half a block, less one for a held CR: the breaks' expansion at most doubles it.
        const int want = std::max<int>(cb / 2 - 1, 1);
        std::vector<char> raw(static_cast<std::size_t>(want));
        const int got = read->Converter->ConvertReadStream(*read->Stream, raw.data(), want);
        std::string out;
        bool pending = read->PendingCr;
        if (got <= 0) {
            read->Ended = true;
            if (pending)
                out = "\r\n";
            read->PendingCr = false;
        } else {
            for (int i = 0; i < got; ++i) {
                const char c = raw[static_cast<std::size_t>(i)];
                if (pending) {
                    out += "\r\n";
                    pending = false;
                    if (c == '\n')
                        continue;
                }
                if (c == '\r')
                    pending = true;
                else if (c == '\n')
                    out += "\r\n";
                else
                    out += c;
            }
            read->PendingCr = pending;
        }
        const LONG count = static_cast<LONG>(std::min<std::size_t>(out.size(), static_cast<std::size_t>(cb)));
        std::memcpy(buffer, out.data(), static_cast<std::size_t>(count));
        *transferred = count;
        // A block of only a held CR hands nothing yet: ask again rather than end the transfer.
        if (count == 0 && got > 0)
            return ReadCallback(cookie, buffer, cb, transferred);
        return 0;
    } catch (...) {
        return 1;
    }
}

DWORD WriteCallback(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* transferred)
{
    auto* write = reinterpret_cast<TWriteCookie*>(cookie);
    try {
        *transferred = write->Converter->ConvertWriteStream(*write->Stream, reinterpret_cast<const char*>(buffer), cb);
        return 0;
    } catch (...) {
        *transferred = 0;
        return 1;
    }
}

// The lines of the class library's rich edit, over the control's line and stream messages.
class TRichEditStrings : public TStrings {
    TESS_CLASS(TRichEditStrings, TStrings)
public:
    explicit TRichEditStrings(TCustomRichEdit* richEdit) : FRichEdit(richEdit) {}

    void Clear() override { FRichEdit->Clear(); }
    void Delete(int index) override;
    void Insert(int index, const std::string& s) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;
    void LoadFromFile(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName) const override;

protected:
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    int GetCount() const override;

private:
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const
    {
        return SendMessageA(FRichEdit->WindowHandle(), message, wParam, lParam);
    }
    bool Plain() const { return FFormat == sfPlainText || (FFormat == sfDefault && FRichEdit->PlainText()); }
    std::unique_ptr<TConversion> MakeConverter() const
    {
        return FRichEdit->DefaultConverter ? FRichEdit->DefaultConverter() : std::make_unique<TConversion>();
    }
    bool StreamIn(TStream& stream, bool plain);
    int LineCount() const { return static_cast<int>(Send(EM_GETLINECOUNT, 0, 0)); }
    std::string LineWithBreak(int index) const;

    TCustomRichEdit* FRichEdit;
    mutable TRichStreamFormat FFormat = sfDefault;
    mutable std::unique_ptr<TConversion> FConverter;
};

std::string TRichEditStrings::LineWithBreak(int index) const
{
    std::vector<char> buffer(LineBufferSize + 1, 0);
    const WORD size = LineBufferSize;
    std::memcpy(buffer.data(), &size, sizeof(size));
    const auto count = static_cast<std::size_t>(Send(EM_GETLINE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data())));
    return std::string(buffer.data(), std::min<std::size_t>(count, LineBufferSize));
}

std::string TRichEditStrings::Get(int index) const
{
    std::string line = LineWithBreak(index);
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
        line.resize(line.size() - 2);
    else if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

int TRichEditStrings::GetCount() const
{
    const int lines = LineCount();
    if (lines > 0 && Send(EM_LINELENGTH, static_cast<WPARAM>(Send(EM_LINEINDEX, static_cast<WPARAM>(lines - 1), 0)), 0) == 0)
        return lines - 1;
    return lines;
}

void TRichEditStrings::Put(int index, const std::string& s)
{
    const auto start = static_cast<int>(Send(EM_LINEINDEX, static_cast<WPARAM>(index), 0));
    if (start < 0)
        return;
    const auto length = static_cast<int>(Send(EM_LINELENGTH, static_cast<WPARAM>(start), 0));
    CHARRANGE range{start, start + length};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(s.c_str()));
}

void TRichEditStrings::Insert(int index, const std::string& s)
{
    if (index < 0)
        return;
    int at;
    std::string text;
    const auto start = static_cast<int>(Send(EM_LINEINDEX, static_cast<WPARAM>(index), 0));
    if (start >= 0) {
        at = start;
        text = s + "\r\n";
    } else {
        const auto previous = index > 0 ? static_cast<int>(Send(EM_LINEINDEX, static_cast<WPARAM>(index - 1), 0)) : -1;
        if (previous < 0)
            return;
        const auto length = static_cast<int>(Send(EM_LINELENGTH, static_cast<WPARAM>(previous), 0));
        if (length == 0)
            return;
        at = previous + length;
        text = "\r\n" + s;
    }
    CHARRANGE range{at, at};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
    Send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    if (range.cpMax != at + static_cast<LONG>(text.size()))
        RAISE(EOutOfResources("RichEdit line insertion error"));
}

void TRichEditStrings::Delete(int index)
{
    const auto start = static_cast<int>(Send(EM_LINEINDEX, static_cast<WPARAM>(index), 0));
    if (start < 0)
        return;
    auto end = static_cast<int>(Send(EM_LINEINDEX, static_cast<WPARAM>(index + 1), 0));
    if (end < 0)
        end = start + static_cast<int>(Send(EM_LINELENGTH, static_cast<WPARAM>(start), 0));
    CHARRANGE range{start, end};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(""));
}

bool TRichEditStrings::StreamIn(TStream& stream, bool plain)
{
    std::unique_ptr<TConversion> own;
    TConversion* converter = FConverter.get();
    if (!converter) {
        own = MakeConverter();
        converter = own.get();
    }
    TReadCookie cookie{&stream, converter};
    EDITSTREAM edit;
    edit.dwCookie = reinterpret_cast<DWORD_PTR>(&cookie);
    edit.pfnCallback = ReadCallback;
    Send(EM_STREAMIN, plain ? SF_TEXT : SF_RTF, reinterpret_cast<LPARAM>(&edit));
    return edit.dwError == 0;
}

void TRichEditStrings::LoadFromStream(TStream& stream)
{
    const std::int64_t position = stream.Position();
    const bool plain = Plain();
    if (!StreamIn(stream, plain)) {
        stream.SetPosition(position);
        if (!StreamIn(stream, !plain))
            RAISE(EOutOfResources("Failed to Load Stream"));
    }
    CHARRANGE start{0, 0};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
    Send(EM_SCROLLCARET, 0, 0);
}

void TRichEditStrings::SaveToStream(TStream& stream) const
{
    std::unique_ptr<TConversion> own;
    TConversion* converter = FConverter.get();
    if (!converter) {
        own = MakeConverter();
        converter = own.get();
    }
    TWriteCookie cookie{&stream, converter};
    EDITSTREAM edit;
    edit.dwCookie = reinterpret_cast<DWORD_PTR>(&cookie);
    edit.pfnCallback = WriteCallback;
    Send(EM_STREAMOUT, Plain() ? SF_TEXT : SF_RTF, reinterpret_cast<LPARAM>(&edit));
    if (edit.dwError != 0)
        RAISE(EOutOfResources("Failed to Save Stream"));
}

void TRichEditStrings::LoadFromFile(const std::string& fileName)
{
    const TRichStreamFormat saved = FFormat;
    const TConversionFormat* format = FindConversionFormat(fileName);
    if (format) {
        if (!FConverter)
            FConverter = format->ConversionClass();
        FFormat = format->PlainText ? sfPlainText : sfRichText;
    }
    try {
        TStrings::LoadFromFile(fileName);
    } catch (...) {
        FConverter.reset();
        FFormat = saved;
        throw;
    }
    FFormat = saved;
}

void TRichEditStrings::SaveToFile(const std::string& fileName) const
{
    const TRichStreamFormat saved = FFormat;
    const TConversionFormat* format = FindConversionFormat(fileName);
    if (format) {
        if (!FConverter)
            FConverter = format->ConversionClass();
        FFormat = format->PlainText ? sfPlainText : sfRichText;
    }
    try {
        TStrings::SaveToFile(fileName);
    } catch (...) {
        FConverter.reset();
        FFormat = saved;
        throw;
    }
    FFormat = saved;
}

// The rich edit's window: a Qt text edit that the window processing gives the document to.
class TRichEditHost : public TControlHost<QTextEdit> {
public:
    TRichEditHost(TControl* control, QWidget* parent) : TControlHost<QTextEdit>(control, parent) {}
};

} // namespace

// --- TConversion ---------------------------------------------------------------------------------

int TConversion::ConvertReadStream(TStream& Stream, char* Buffer, int BufSize) { return Stream.Read(Buffer, BufSize); }

int TConversion::ConvertWriteStream(TStream& Stream, const char* Buffer, int BufSize)
{
    return Stream.Write(Buffer, BufSize);
}

// --- TTextAttributes -------------------------------------------------------------------------------

TTextAttributes::TTextAttributes(TCustomRichEdit* AOwner, TAttributeType AttributeType)
    : FRichEdit(AOwner), FType(AttributeType)
{
}

CHARFORMATA TTextAttributes::Read() const
{
    CHARFORMATA format;
    format.cbSize = sizeof(format);
    if (FRichEdit->HandleAllocated())
        SendMessageA(FRichEdit->WindowHandle(), EM_GETCHARFORMAT, FType == atSelected ? SCF_SELECTION : SCF_DEFAULT,
                     reinterpret_cast<LPARAM>(&format));
    return format;
}

void TTextAttributes::Write(CHARFORMATA& format) const
{
    format.cbSize = sizeof(format);
    if (!FRichEdit->HandleAllocated() && FRichEdit->Parent())
        FRichEdit->HandleNeeded();
    if (FRichEdit->HandleAllocated())
        SendMessageA(FRichEdit->WindowHandle(), EM_SETCHARFORMAT, FType == atSelected ? SCF_SELECTION : SCF_DEFAULT,
                     reinterpret_cast<LPARAM>(&format));
}

BYTE TTextAttributes::Charset() const { return Read().bCharSet; }

void TTextAttributes::SetCharset(BYTE value)
{
    CHARFORMATA format;
    format.dwMask = CFM_CHARSET;
    format.bCharSet = value;
    Write(format);
}

TColor TTextAttributes::Color() const
{
    const CHARFORMATA format = Read();
    return (format.dwEffects & CFE_AUTOCOLOR) ? clWindowText : static_cast<TColor>(format.crTextColor);
}

void TTextAttributes::SetColor(TColor value)
{
    CHARFORMATA format;
    format.dwMask = CFM_COLOR;
    if (value == clWindowText || value == clDefault)
        format.dwEffects = CFE_AUTOCOLOR;
    else
        format.crTextColor = ColorToRGB(value);
    Write(format);
}

TConsistentAttributes TTextAttributes::ConsistentAttributes() const
{
    TConsistentAttributes result;
    if (FType == atDefaultText || !FRichEdit->HandleAllocated())
        return result;
    const DWORD mask = Read().dwMask;
    const std::pair<DWORD, TConsistentAttribute> bits[] = {
        {CFM_BOLD, caBold},   {CFM_COLOR, caColor},         {CFM_FACE, caFace},           {CFM_ITALIC, caItalic},
        {CFM_SIZE, caSize},   {CFM_STRIKEOUT, caStrikeOut}, {CFM_UNDERLINE, caUnderline}, {CFM_PROTECTED, caProtected}};
    for (const auto& [bit, attribute] : bits)
        if (mask & bit)
            result.Include(attribute);
    return result;
}

std::string TTextAttributes::Name() const
{
    const CHARFORMATA format = Read();
    return std::string(format.szFaceName, strnlen(format.szFaceName, sizeof(format.szFaceName)));
}

void TTextAttributes::SetName(const std::string& value)
{
    CHARFORMATA format;
    format.dwMask = CFM_FACE;
    std::strncpy(format.szFaceName, value.c_str(), sizeof(format.szFaceName) - 1);
    Write(format);
}

TFontPitch TTextAttributes::Pitch() const
{
    switch (Read().bPitchAndFamily & 3) {
    case 1:
        return fpFixed;
    case 2:
        return fpVariable;
    default:
        return fpDefault;
    }
}

void TTextAttributes::SetPitch(TFontPitch value)
{
    CHARFORMATA format = Read();
    format.dwMask = 0;
    format.bPitchAndFamily = static_cast<BYTE>((format.bPitchAndFamily & ~3) |
                                               (value == fpFixed ? 1 : value == fpVariable ? 2 : 0));
    Write(format);
}

bool TTextAttributes::Protected() const { return (Read().dwEffects & CFE_PROTECTED) != 0; }

void TTextAttributes::SetProtected(bool value)
{
    CHARFORMATA format;
    format.dwMask = CFM_PROTECTED;
    format.dwEffects = value ? CFE_PROTECTED : 0;
    Write(format);
}

int TTextAttributes::Size() const { return Read().yHeight / 20; }

void TTextAttributes::SetSize(int value)
{
    CHARFORMATA format;
    format.dwMask = CFM_SIZE;
    format.yHeight = value * 20;
    Write(format);
}

TFontStyles TTextAttributes::Style() const
{
    const DWORD effects = Read().dwEffects;
    TFontStyles styles;
    if (effects & CFE_BOLD)
        styles.Include(fsBold);
    if (effects & CFE_ITALIC)
        styles.Include(fsItalic);
    if (effects & CFE_UNDERLINE)
        styles.Include(fsUnderline);
    if (effects & CFE_STRIKEOUT)
        styles.Include(fsStrikeOut);
    return styles;
}

void TTextAttributes::SetStyle(TFontStyles value)
{
    CHARFORMATA format;
    format.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    if (value.Contains(fsBold))
        format.dwEffects |= CFE_BOLD;
    if (value.Contains(fsItalic))
        format.dwEffects |= CFE_ITALIC;
    if (value.Contains(fsUnderline))
        format.dwEffects |= CFE_UNDERLINE;
    if (value.Contains(fsStrikeOut))
        format.dwEffects |= CFE_STRIKEOUT;
    Write(format);
}

int TTextAttributes::Height() const { return MulDiv(Size(), AttributePixelsPerInch, 72); }

void TTextAttributes::SetHeight(int value) { SetSize(MulDiv(value, 72, AttributePixelsPerInch)); }

void TTextAttributes::Assign(TPersistent* Source)
{
    if (auto* font = dynamic_cast<TFont*>(Source)) {
        CHARFORMATA format;
        format.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT |
                        CFM_CHARSET;
        format.yHeight = font->Size() * 20;
        const TFontStyles style = font->Style();
        format.dwEffects = (style.Contains(fsBold) ? CFE_BOLD : 0) | (style.Contains(fsItalic) ? CFE_ITALIC : 0) |
                           (style.Contains(fsUnderline) ? CFE_UNDERLINE : 0) |
                           (style.Contains(fsStrikeOut) ? CFE_STRIKEOUT : 0);
        if (font->Color() == clWindowText || font->Color() == clDefault)
            format.dwEffects |= CFE_AUTOCOLOR;
        else
            format.crTextColor = ColorToRGB(font->Color());
        std::strncpy(format.szFaceName, font->Name().c_str(), sizeof(format.szFaceName) - 1);
        format.bCharSet = static_cast<BYTE>(font->Charset());
        Write(format);
        return;
    }
    if (auto* other = dynamic_cast<TTextAttributes*>(Source)) {
        CHARFORMATA format = other->Read();
        Write(format);
        return;
    }
    TPersistent::Assign(Source);
}

void TTextAttributes::AssignTo(TPersistent* Dest)
{
    if (auto* font = dynamic_cast<TFont*>(Dest)) {
        font->SetColor(Color());
        font->SetName(Name());
        font->SetCharset(Charset());
        font->SetStyle(Style());
        font->SetSize(Size());
        font->SetPitch(Pitch());
        return;
    }
    TPersistent::AssignTo(Dest);
}

// --- TParaAttributes -------------------------------------------------------------------------------

TParaAttributes::TParaAttributes(TCustomRichEdit* AOwner) : FRichEdit(AOwner) {}

PARAFORMAT TParaAttributes::Read() const
{
    PARAFORMAT format;
    format.cbSize = sizeof(format);
    if (FRichEdit->HandleAllocated())
        SendMessageA(FRichEdit->WindowHandle(), EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
    return format;
}

void TParaAttributes::Write(PARAFORMAT& format) const
{
    format.cbSize = sizeof(format);
    if (!FRichEdit->HandleAllocated() && FRichEdit->Parent())
        FRichEdit->HandleNeeded();
    if (FRichEdit->HandleAllocated())
        SendMessageA(FRichEdit->WindowHandle(), EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
}

TAlignment TParaAttributes::Alignment() const
{
    const WORD alignment = Read().wAlignment;
    return alignment == PFA_RIGHT ? taRightJustify : alignment == PFA_CENTER ? taCenter : taLeftJustify;
}

void TParaAttributes::SetAlignment(TAlignment value)
{
    PARAFORMAT format;
    format.dwMask = PFM_ALIGNMENT;
    format.wAlignment = static_cast<WORD>(static_cast<int>(value) + 1);
    Write(format);
}

int TParaAttributes::FirstIndent() const { return Read().dxStartIndent / 20; }

void TParaAttributes::SetFirstIndent(int value)
{
    PARAFORMAT format;
    format.dwMask = PFM_STARTINDENT;
    format.dxStartIndent = value * 20;
    Write(format);
}

int TParaAttributes::LeftIndent() const { return Read().dxOffset / 20; }

void TParaAttributes::SetLeftIndent(int value)
{
    PARAFORMAT format;
    format.dwMask = PFM_OFFSET;
    format.dxOffset = value * 20;
    Write(format);
}

int TParaAttributes::RightIndent() const { return Read().dxRightIndent / 20; }

void TParaAttributes::SetRightIndent(int value)
{
    PARAFORMAT format;
    format.dwMask = PFM_RIGHTINDENT;
    format.dxRightIndent = value * 20;
    Write(format);
}

TNumberingStyle TParaAttributes::Numbering() const { return Read().wNumbering != 0 ? nsBullet : nsNone; }

void TParaAttributes::SetNumbering(TNumberingStyle value)
{
    if (value == nsNone)
        SetLeftIndent(0);
    else if (LeftIndent() < 10)
        SetLeftIndent(10);
    PARAFORMAT format;
    format.dwMask = PFM_NUMBERING;
    format.wNumbering = value == nsNone ? 0 : PFN_BULLET;
    Write(format);
}

int TParaAttributes::Tab(int Index) const
{
    if (Index < 0 || Index >= MAX_TAB_STOPS)
        return 0;
    return (Read().rgxTabs[Index] & 0xFFFFFF) / 20;
}

void TParaAttributes::SetTab(int Index, int value)
{
    if (Index < 0 || Index >= MAX_TAB_STOPS)
        return;
    PARAFORMAT format = Read();
    format.dwMask = PFM_TABSTOPS;
    format.rgxTabs[Index] = value * 20;
    if (format.cTabCount < Index)
        format.cTabCount = static_cast<SHORT>(Index);
    Write(format);
}

int TParaAttributes::TabCount() const { return Read().cTabCount; }

void TParaAttributes::SetTabCount(int value)
{
    PARAFORMAT format = Read();
    format.dwMask = PFM_TABSTOPS;
    format.cTabCount = static_cast<SHORT>(std::clamp(value, 0, MAX_TAB_STOPS));
    Write(format);
}

void TParaAttributes::Assign(TPersistent* Source)
{
    if (auto* other = dynamic_cast<TParaAttributes*>(Source)) {
        PARAFORMAT format = other->Read();
        Write(format);
        return;
    }
    TPersistent::Assign(Source);
}

// --- TCustomRichEdit -------------------------------------------------------------------------------

TCustomRichEdit::TCustomRichEdit(TComponent* AOwner)
    : TCustomMemo(AOwner), FSelAttributes(std::make_unique<TTextAttributes>(this, atSelected)),
      FDefAttributes(std::make_unique<TTextAttributes>(this, atDefaultText)),
      FParagraph(std::make_unique<TParaAttributes>(this))
{
    SetLinesList(std::make_unique<TRichEditStrings>(this));
    DefaultConverter = [] { return std::make_unique<TConversion>(); };
}

TCustomRichEdit::~TCustomRichEdit() = default;

void TCustomRichEdit::RegisterConversionFormat(const std::string& AExtension, bool APlainText,
                                               TConversionClass AConversionClass)
{
    ConversionFormats().push_back({LowerCase(AExtension), APlainText, std::move(AConversionClass)});
}

void TCustomRichEdit::CreateParams(TCreateParams& Params)
{
    TCustomMemo::CreateParams(Params);
    Params.WinClassName = "RICHEDIT";
    Params.Style &= ~(WS_VSCROLL | WS_HSCROLL);
    Params.Style |= ES_SAVESEL | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (ScrollBars() == ssVertical || ScrollBars() == ssBoth)
        Params.Style |= WS_VSCROLL;
    if ((ScrollBars() == ssHorizontal || ScrollBars() == ssBoth) && !WordWrap())
        Params.Style |= WS_HSCROLL;
    if (!FHideScrollBars)
        Params.Style |= ES_DISABLENOSCROLL;
    if (!FHideSelection)
        Params.Style |= ES_NOHIDESEL;
}

IHostWidget* CreateRichEditHost(TCustomMemo* control, void* parentWidget, bool hideScrollBars)
{
    auto* host = new TRichEditHost(control, static_cast<QWidget*>(parentWidget));
    host->setFocusPolicy(Qt::ClickFocus);
    host->setContextMenuPolicy(Qt::NoContextMenu);
    host->setTabChangesFocus(!control->WantTabs);
    host->setAcceptRichText(true);
    const TScrollStyle bars = control->ScrollBars();
    const bool vertical = bars == ssVertical || bars == ssBoth;
    const bool horizontal = bars == ssHorizontal || bars == ssBoth;
    host->setVerticalScrollBarPolicy(vertical ? (hideScrollBars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn)
                                              : Qt::ScrollBarAlwaysOff);
    host->setHorizontalScrollBarPolicy(horizontal ? (hideScrollBars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn)
                                                  : Qt::ScrollBarAlwaysOff);
    host->setFrameShape(control->BorderStyle() == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
    return host;
}

IHostWidget* TCustomRichEdit::CreateHost(const TCreateParams&, void* parentWidget)
{
    return CreateRichEditHost(this, parentWidget, FHideScrollBars);
}

void TCustomRichEdit::CreateWnd()
{
    TCustomMemo::CreateWnd();
    Perform(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE | ENM_REQUESTRESIZE | ENM_PROTECTED);
    Perform(EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
    Perform(EM_EXLIMITTEXT, 0, MaxLength() > 0 ? MaxLength() : 0xFFFFFF);
    if (FSavedText) {
        FSavedText->SetPosition(0);
        Lines()->LoadFromStream(*FSavedText);
        FSavedText.reset();
        Perform(EM_SETMODIFY, FModifiedSaved ? 1 : 0, 0);
    } else {
        FDefAttributes->Assign(Font());
    }
}

void TCustomRichEdit::DestroyWnd()
{
    if (HandleAllocated()) {
        FModifiedSaved = Perform(EM_GETMODIFY, 0, 0) != 0;
        auto saved = std::make_unique<TMemoryStream>();
        try {
            Lines()->SaveToStream(*saved);
            FSavedText = std::move(saved);
        } catch (const Exception&) {
            FSavedText.reset();
        }
    }
    TCustomMemo::DestroyWnd();
}

void TCustomRichEdit::SetPlainText(bool value)
{
    if (FPlainText == value)
        return;
    FPlainText = value;
    if (!HandleAllocated())
        return;
    // The control takes a new text mode only while it is empty: carry the text across.
    TMemoryStream saved;
    Lines()->SaveToStream(saved);
    const DWORD mask = static_cast<DWORD>(Perform(EM_GETEVENTMASK, 0, 0));
    Perform(EM_SETEVENTMASK, 0, mask & ~ENM_CHANGE);
    Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    Perform(EM_SETTEXTMODE, (value ? TM_PLAINTEXT : TM_RICHTEXT) | TM_MULTILEVELUNDO, 0);
    saved.SetPosition(0);
    Lines()->LoadFromStream(saved);
    Perform(EM_SETEVENTMASK, 0, mask);
}

void TCustomRichEdit::SetHideScrollBars(bool value)
{
    if (FHideScrollBars == value)
        return;
    FHideScrollBars = value;
    RecreateWnd();
}

void TCustomRichEdit::SetHideSelection(bool value)
{
    if (FHideSelection == value)
        return;
    FHideSelection = value;
    if (HandleAllocated())
        Perform(EM_HIDESELECTION, value ? 1 : 0, 1);
}

CHARRANGE TCustomRichEdit::Selection() const
{
    CHARRANGE range;
    if (HandleAllocated())
        SendMessageA(WindowHandle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return range;
}

void TCustomRichEdit::SetSelection(int start, int end, bool scroll)
{
    if (!HandleAllocated() && Parent())
        HandleNeeded();
    if (!HandleAllocated())
        return;
    CHARRANGE range{start, end};
    Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    if (scroll)
        Perform(EM_SCROLLCARET, 0, 0);
}

std::string TCustomRichEdit::GetText() const
{
    if (!HandleAllocated())
        return {};
    const auto length = static_cast<std::size_t>(SendMessageA(WindowHandle(), WM_GETTEXTLENGTH, 0, 0));
    std::string text(length + 1, '\0');
    const auto copied = static_cast<std::size_t>(
        SendMessageA(WindowHandle(), WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())));
    text.resize(std::min(copied, length));
    return text;
}

int TCustomRichEdit::SelStart() const { return Selection().cpMin; }

void TCustomRichEdit::SetSelStart(int value) { SetSelection(value, value, false); }

int TCustomRichEdit::SelLength() const
{
    const CHARRANGE range = Selection();
    return range.cpMax - range.cpMin;
}

void TCustomRichEdit::SetSelLength(int value)
{
    const int start = SelStart();
    SetSelection(start, start + std::max(value, 0), true);
}

void TCustomRichEdit::SelectAll() { SetSelection(0, -1, false); }

void TCustomRichEdit::Undo()
{
    if (HandleAllocated())
        Perform(EM_UNDO, 0, 0);
}

bool TCustomRichEdit::CanUndo() const
{
    return HandleAllocated() && SendMessageA(WindowHandle(), EM_CANUNDO, 0, 0) != 0;
}

void TCustomRichEdit::ClearUndo()
{
    if (HandleAllocated())
        Perform(EM_EMPTYUNDOBUFFER, 0, 0);
}

void TCustomRichEdit::PasteFromClipboard()
{
    if (HandleAllocated())
        Perform(WM_PASTE, 0, 0);
}

void TCustomRichEdit::ReplaceSelection(const std::string& text, bool limit)
{
    if (!HandleAllocated() && Parent())
        HandleNeeded();
    if (HandleAllocated())
        Perform(EM_REPLACESEL, limit ? 1 : 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TCustomRichEdit::SetEditorText(const std::string& text)
{
    if (!HandleAllocated() && Parent())
        HandleNeeded();
    if (HandleAllocated())
        Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int TCustomRichEdit::FindText(const std::string& SearchStr, int StartPos, int Length, TSearchTypes Options)
{
    if (!HandleAllocated() && Parent())
        HandleNeeded();
    if (!HandleAllocated())
        return -1;
    FINDTEXTA find;
    find.chrg = {StartPos, StartPos + Length};
    find.lpstrText = SearchStr.c_str();
    WPARAM flags = FR_DOWN;
    if (Options.Contains(stWholeWord))
        flags |= FR_WHOLEWORD;
    if (Options.Contains(stMatchCase))
        flags |= FR_MATCHCASE;
    return static_cast<int>(Perform(EM_FINDTEXT, flags, reinterpret_cast<LPARAM>(&find)));
}

void TCustomRichEdit::Print(const std::string& Caption)
{
    if (!HandleAllocated() && Parent())
        HandleNeeded();
    TPrinter* printer = Printer();
    printer->Title = Caption;
    printer->BeginDoc();
    HDC dc = printer->Canvas()->Handle();
    const int dpiX = std::max(GetDeviceCaps(dc, LOGPIXELSX), 1);
    const int dpiY = std::max(GetDeviceCaps(dc, LOGPIXELSY), 1);
    FORMATRANGE range;
    range.hdc = dc;
    range.hdcTarget = dc;
    range.rcPage = {0, 0, MulDiv(printer->PageWidth(), 1440, dpiX), MulDiv(printer->PageHeight(), 1440, dpiY)};
    const RECT page = PageRect.Right > PageRect.Left && PageRect.Bottom > PageRect.Top
                          ? RECT{MulDiv(PageRect.Left, 1440, dpiX), MulDiv(PageRect.Top, 1440, dpiY),
                                 MulDiv(PageRect.Right, 1440, dpiX), MulDiv(PageRect.Bottom, 1440, dpiY)}
                          : range.rcPage;
    const auto length = static_cast<int>(Perform(WM_GETTEXTLENGTH, 0, 0));
    const int oldMode = SetMapMode(dc, MM_TEXT);
    Perform(EM_FORMATRANGE, 0, 0);
    try {
        int last = 0;
        for (;;) {
            // A new page may come with a new context.
            range.hdc = range.hdcTarget = printer->Canvas()->Handle();
            range.rc = page;
            range.chrg = {last, -1};
            const auto next = static_cast<int>(Perform(EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&range)));
            // The format range always moves on; a control that did not would print for ever.
            if (next >= length || next < 0 || next <= last)
                break;
            last = next;
            printer->NewPage();
        }
        printer->EndDoc();
    } catch (...) {
        Perform(EM_FORMATRANGE, 0, 0);
        SetMapMode(dc, oldMode);
        if (printer->Printing())
            printer->Abort();
        throw;
    }
    Perform(EM_FORMATRANGE, 0, 0);
}

void TCustomRichEdit::RequestSize(const TRect& Rect)
{
    if (OnResizeRequest)
        OnResizeRequest(this, Rect);
}

void TCustomRichEdit::SelectionChange()
{
    if (OnSelectionChange)
        OnSelectionChange(this);
}

bool TCustomRichEdit::ProtectChange(int StartPos, int EndPos)
{
    bool allow = false;
    if (OnProtectChange)
        OnProtectChange(this, StartPos, EndPos, allow);
    return allow;
}

bool TCustomRichEdit::SaveClipboard(int NumObjects, int NumChars)
{
    bool save = true;
    if (OnSaveClipboard)
        OnSaveClipboard(this, NumObjects, NumChars, save);
    return save;
}

void TCustomRichEdit::Dispatch(TMessage& Message)
{
    if (Message.Msg == CN_NOTIFY) {
        StdCtrl::MarkReflected();
        const auto* header = reinterpret_cast<const NMHDR*>(Message.LParam);
        Message.Result = 0;
        if (header == nullptr)
            return;
        switch (header->code) {
        case EN_SELCHANGE:
            SelectionChange();
            return;
        case EN_REQUESTRESIZE: {
            const RECT& rc = reinterpret_cast<const REQRESIZE*>(header)->rc;
            RequestSize(Rect(rc.Left, rc.Top, rc.Right, rc.Bottom));
            return;
        }
        case EN_PROTECTED: {
            const auto* change = reinterpret_cast<const ENPROTECTED*>(header);
            Message.Result = ProtectChange(change->chrg.cpMin, change->chrg.cpMax) ? 0 : 1;
            return;
        }
        case EN_SAVECLIPBOARD: {
            const auto* save = reinterpret_cast<const ENSAVECLIPBOARD*>(header);
            Message.Result = SaveClipboard(save->cObjectCount, save->cch) ? 0 : 1;
            return;
        }
        default:
            return;
        }
    }
    if (Message.Msg == CM_FONTCHANGED && HandleAllocated())
        FDefAttributes->Assign(Font());
    TCustomMemo::Dispatch(Message);
}
