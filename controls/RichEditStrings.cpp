// Lines and transfers of the extended rich edit.

#include "controls/RichEditStrings.h"

#include "platform/gui/GdiObjects.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The registry: "txt" (plain) before "rtf" (rich), both with the plain converter.
TRichConversionFormat*& ConversionFormats()
{
    static TRichConversionFormat rtf{[] { return std::make_unique<TConversion>(); }, "rtf", false, nullptr};
    static TRichConversionFormat txt{[] { return std::make_unique<TConversion>(); }, "txt", true, &rtf};
    static TRichConversionFormat* head = &txt;
    return head;
}

// Entries registered at run time live as long as the program.
std::vector<std::unique_ptr<TRichConversionFormat>>& RegisteredFormats()
{
    static std::vector<std::unique_ptr<TRichConversionFormat>> formats;
    return formats;
}

struct TReadCookie {
    TStream* Stream;
    TConversion* Converter;
    // Text has its line breaks made CR LF; RTF bytes pass as they are (\binN data among them).
    bool Plain;
    // A CR that ended the previous block: its LF may start the next one.
    bool PendingCr = false;
    bool Ended = false;
};

struct TWriteCookie {
    TStream* Stream;
    TConversion* Converter;
};

// Text bytes with every CR, LF and CR LF made CR LF; a final CR is held in pendingCr.
std::string NormaliseBreaks(const char* bytes, int count, bool& pendingCr)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(count) * 2 + 2);
    for (int i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (pendingCr) {
            out += "\r\n";
            pendingCr = false;
            if (c == '\n')
                continue;
        }
        if (c == '\r')
            pendingCr = true;
        else if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

DWORD ReadCallback(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* transferred)
{
    auto* read = reinterpret_cast<TReadCookie*>(cookie);
    *transferred = 0;
    try {
        while (!read->Ended) {
            // Half a block, less one for a held CR: the breaks' expansion at most doubles it.
            const int want = std::max<int>(cb / 2 - (read->PendingCr ? 1 : 0), 1);
            std::vector<char> raw(static_cast<std::size_t>(want));
            const int got = read->Converter->ConvertReadStream(*read->Stream, raw.data(), want);
            if (got < 0 || got > want)
                return 1;
            std::string out;
            if (got == 0) {
                read->Ended = true;
                if (read->PendingCr)
                    out = "\r\n";
                read->PendingCr = false;
            } else if (!read->Plain) {
                out.assign(raw.data(), static_cast<std::size_t>(got));
            } else {
                out = NormaliseBreaks(raw.data(), got, read->PendingCr);
            }
            if (out.size() > static_cast<std::size_t>(cb))
                return 1;
            std::memcpy(buffer, out.data(), out.size());
            *transferred = static_cast<LONG>(out.size());
            // A block that was only a held CR gives nothing yet: read on rather than end.
            if (!out.empty() || read->Ended)
                return 0;
        }
        return 0;
    } catch (...) {
        *transferred = 0;
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

std::string ExtensionOf(const std::string& fileName)
{
    std::string extension = ExtractFileExt(fileName);
    if (!extension.empty() && extension[0] == '.')
        extension.erase(0, 1);
    return extension;
}

} // namespace

const TRichConversionFormat* ExRichEd::FindConversionFormat(const std::string& AExtension)
{
    const std::string extension = LowerCase(AExtension);
    for (const TRichConversionFormat* format = ConversionFormats(); format; format = format->Next)
        if (format->Extension == extension)
            return format;
    return nullptr;
}

void TExCustomRichEdit::RegisterConversionFormat(const std::string& AExtension, bool APlainText,
                                                 TConversionClass AConversionClass)
{
    auto format = std::make_unique<TRichConversionFormat>();
    format->ConversionClass = std::move(AConversionClass);
    format->Extension = LowerCase(AExtension);
    format->PlainText = APlainText;
    format->Next = ConversionFormats();
    ConversionFormats() = format.get();
    RegisteredFormats().push_back(std::move(format));
}

// --- TOEMConversion ------------------------------------------------------------------------------

int TOEMConversion::ConvertReadStream(TStream& Stream, char* Buffer, int BufSize)
{
    TMemoryStream oem;
    oem.SetSize(std::max(BufSize, 0));
    const int count = TConversion::ConvertReadStream(Stream, static_cast<char*>(oem.Memory()), BufSize);
    if (count > 0)
        OemToCharBuffA(static_cast<const char*>(oem.Memory()), Buffer, static_cast<std::size_t>(count));
    return count;
}

int TOEMConversion::ConvertWriteStream(TStream& Stream, const char* Buffer, int BufSize)
{
    TMemoryStream oem;
    oem.SetSize(std::max(BufSize, 0));
    if (BufSize > 0)
        CharToOemBuffA(Buffer, static_cast<char*>(oem.Memory()), static_cast<std::size_t>(BufSize));
    return TConversion::ConvertWriteStream(Stream, static_cast<const char*>(oem.Memory()), BufSize);
}

// --- TRichEditStrings: lines ----------------------------------------------------------------------

TRichEditStrings::~TRichEditStrings() = default;

std::string TRichEditStrings::LineBreak() const { return RichEditVersion == 1 ? "\r\n" : "\r"; }

std::string TRichEditStrings::Get(int Index) const
{
    if (Index < 0)
        return {};
    const int start = FRichEdit->GetLineIndex(Index);
    if (start < 0)
        return {};
    // The whole line, however long: its length first, then its text.
    const int length = FRichEdit->GetLineLength(start);
    std::string line = FRichEdit->GetTextRange(start, start + length);
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
        line.resize(line.size() - 2);
    else if (RichEditVersion > 1 && !line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

int TRichEditStrings::GetCount() const
{
    const auto lines = static_cast<int>(FRichEdit->Send(EM_GETLINECOUNT, 0, 0));
    if (lines > 0 && FRichEdit->GetLineLength(FRichEdit->GetLineIndex(lines - 1)) == 0)
        return lines - 1;
    return lines;
}

void TRichEditStrings::ReplaceRange(int From, int To, const std::string& S)
{
    const bool updating = FRichEdit->FLinesUpdating;
    FRichEdit->FLinesUpdating = true;
    try {
        FRichEdit->SetSelection(From, To, false);
        FRichEdit->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(S.c_str()));
    } catch (...) {
        FRichEdit->FLinesUpdating = updating;
        throw;
    }
    FRichEdit->FLinesUpdating = updating;
}

void TRichEditStrings::Put(int Index, const std::string& S)
{
    if (Index < 0)
        return;
    const int start = FRichEdit->GetLineIndex(Index);
    if (start < 0)
        return;
    ReplaceRange(start, start + FRichEdit->GetLineLength(start), S);
}

void TRichEditStrings::Insert(int Index, const std::string& S)
{
    const int count = GetCount();
    if (Index < 0 || Index > count)
        return;
    int at;
    std::string text;
    if (Index < count) {
        at = FRichEdit->GetLineIndex(Index);
        text = S + LineBreak();
    } else {
        // After the last line: the logical lines gain S, whether or not the text ends in a break.
        at = FRichEdit->TextLength();
        const std::string last = at > 0 ? FRichEdit->GetTextRange(at - 1, at) : std::string();
        if (at == 0 || last == "\r" || last == "\n")
            text = S + LineBreak();
        else
            text = LineBreak() + S + (S.empty() ? LineBreak() : std::string());
    }
    if (at < 0)
        return;
    ReplaceRange(at, at, text);
    if (RichEditVersion == 1 && FRichEdit->Selection().cpMax != at + static_cast<int>(text.size()))
        RAISE(EOutOfResources("RichEdit line insertion error"));
}

void TRichEditStrings::Delete(int Index)
{
    if (Index < 0)
        return;
    const int start = FRichEdit->GetLineIndex(Index);
    if (start < 0)
        return;
    int end = FRichEdit->GetLineIndex(Index + 1);
    if (end < 0)
        end = start + FRichEdit->GetLineLength(start);
    ReplaceRange(start, end, "");
}

void TRichEditStrings::Clear() { FRichEdit->Clear(); }

void TRichEditStrings::SetText(const std::string& Text)
{
    BeginUpdate();
    try {
        FRichEdit->SetEventMask(ENM_CHANGE, 0);
        FRichEdit->SetEditorText(Text);
        FRichEdit->SetEventMask(0, ENM_CHANGE);
    } catch (...) {
        FRichEdit->SetEventMask(0, ENM_CHANGE);
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TRichEditStrings::AddStrings(TStrings* Strings)
{
    TNotifyEvent selectionChange = std::move(FRichEdit->OnSelectionChange);
    FRichEdit->OnSelectionChange = nullptr;
    try {
        TStrings::AddStrings(Strings);
    } catch (...) {
        FRichEdit->OnSelectionChange = std::move(selectionChange);
        throw;
    }
    FRichEdit->OnSelectionChange = std::move(selectionChange);
}

void TRichEditStrings::SetUpdateState(bool Updating)
{
    if (FRichEdit->Showing() && FRichEdit->HandleAllocated())
        FRichEdit->Perform(WM_SETREDRAW, Updating ? 0 : 1, 0);
    if (!Updating) {
        FRichEdit->Refresh();
        FRichEdit->Change();
    }
}

// --- TRichEditStrings: transfers -------------------------------------------------------------------

bool TRichEditStrings::PlainFormat() const
{
    return FFormat == ExRichEd::sfPlainText || (FFormat == ExRichEd::sfDefault && FRichEdit->PlainText());
}

void TRichEditStrings::WithFormat(ExRichEd::TRichStreamFormat Format, ExRichEd::TRichStreamModes Mode,
                                  const std::function<void()>& Transfer) const
{
    const ExRichEd::TRichStreamFormat format = FFormat;
    const ExRichEd::TRichStreamModes mode = FMode;
    FFormat = Format;
    FMode = Mode;
    try {
        Transfer();
    } catch (...) {
        FFormat = format;
        FMode = mode;
        throw;
    }
    FFormat = format;
    FMode = mode;
}

bool TRichEditStrings::StreamIn(TStream& Stream, bool Plain, bool Extras)
{
    std::unique_ptr<TConversion> own;
    TConversion* converter = FConverter.get();
    if (!converter) {
        own = FRichEdit->DefaultConverter ? FRichEdit->DefaultConverter() : std::make_unique<TConversion>();
        converter = own.get();
    }
    WPARAM format = Plain ? SF_TEXT : SF_RTF;
    if (Extras) {
        if (!Plain && FMode.Contains(ExRichEd::smPlainRtf))
            format |= SFF_PLAINRTF;
        if (Plain && FMode.Contains(ExRichEd::smUnicode) && RichEditVersion > 1)
            format |= SF_UNICODE;
        if (FMode.Contains(ExRichEd::smSelection))
            format |= SFF_SELECTION;
    }
    TReadCookie cookie{&Stream, converter, Plain};
    EDITSTREAM edit;
    edit.dwCookie = reinterpret_cast<DWORD_PTR>(&cookie);
    edit.pfnCallback = ReadCallback;
    FRichEdit->Perform(EM_STREAMIN, format, reinterpret_cast<LPARAM>(&edit));
    return edit.dwError == 0;
}

void TRichEditStrings::LoadFromStream(TStream& Stream)
{
    if (!FRichEdit->WindowReady())
        RAISE(EOutOfResources("Failed to Load Stream"));
    const std::int64_t position = Stream.Position();
    const bool plain = PlainFormat();
    if (!StreamIn(Stream, plain, true)) {
        // Not what the format said: try the other one from the same place.
        Stream.SetPosition(position);
        if (!StreamIn(Stream, !plain, false))
            RAISE(EOutOfResources("Failed to Load Stream"));
    }
    FRichEdit->SetSelection(0, 0, true);
}

void TRichEditStrings::SaveToStream(TStream& Stream) const
{
    if (!FRichEdit->WindowReady())
        RAISE(EOutOfResources("Failed to Save Stream"));
    std::unique_ptr<TConversion> own;
    TConversion* converter = FConverter.get();
    if (!converter) {
        own = FRichEdit->DefaultConverter ? FRichEdit->DefaultConverter() : std::make_unique<TConversion>();
        converter = own.get();
    }
    const bool plain = PlainFormat();
    WPARAM format = plain ? SF_TEXT : (FMode.Contains(ExRichEd::smNoObjects) ? SF_RTFNOOBJS : SF_RTF);
    if (!plain && FMode.Contains(ExRichEd::smPlainRtf))
        format |= SFF_PLAINRTF;
    if (plain && FMode.Contains(ExRichEd::smUnicode) && RichEditVersion > 1)
        format |= SF_UNICODE;
    if (FMode.Contains(ExRichEd::smSelection))
        format |= SFF_SELECTION;
    TWriteCookie cookie{&Stream, converter};
    EDITSTREAM edit;
    edit.dwCookie = reinterpret_cast<DWORD_PTR>(&cookie);
    edit.pfnCallback = WriteCallback;
    FRichEdit->Send(EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&edit));
    if (edit.dwError != 0)
        RAISE(EOutOfResources("Failed to Save Stream"));
}

void TRichEditStrings::LoadFromFile(const std::string& FileName)
{
    const ExRichEd::TRichStreamFormat saved = FFormat;
    if (const TRichConversionFormat* format = ExRichEd::FindConversionFormat(ExtensionOf(FileName))) {
        if (!FConverter)
            FConverter = format->ConversionClass();
        FFormat = format->PlainText ? ExRichEd::sfPlainText : ExRichEd::sfRichText;
    }
    try {
        TStrings::LoadFromFile(FileName);
    } catch (...) {
        FConverter.reset();
        FFormat = saved;
        throw;
    }
    FFormat = saved;
}

void TRichEditStrings::SaveToFile(const std::string& FileName) const
{
    const ExRichEd::TRichStreamFormat saved = FFormat;
    if (const TRichConversionFormat* format = ExRichEd::FindConversionFormat(ExtensionOf(FileName))) {
        if (!FConverter)
            FConverter = format->ConversionClass();
        FFormat = format->PlainText ? ExRichEd::sfPlainText : ExRichEd::sfRichText;
    }
    try {
        TStrings::SaveToFile(FileName);
    } catch (...) {
        FConverter.reset();
        FFormat = saved;
        throw;
    }
    FFormat = saved;
}
