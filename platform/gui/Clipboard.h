#pragma once
// The clipboard: the Windows clipboard functions over the system clipboard, and TClipboard.
// Text travels as Unicode with LF line ends outside the program and as Windows-1252 with CR LF
// inside it; registered formats travel as MIME types "application/x-tessellarium-<name>".

#include "platform/gui/Bitmap.h"
#include "platform/gui/GlobalMemory.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Exceptions.h"

#include <string>

constexpr UINT CF_TEXT = 1, CF_UNICODETEXT = 13;

TESS_EXCEPTION(EClipboardException, Exception)

// FALSE while another thread holds the clipboard open.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
// The clipboard owns data afterwards; an unknown or freed handle gives nullptr and changes nothing.
HANDLE SetClipboardData(UINT format, HANDLE data);
// The clipboard's handle of the format (valid until the clipboard is emptied), nullptr when none.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
int CountClipboardFormats();
UINT EnumClipboardFormats(UINT format);
// The same numbering as registered window messages (0xC000 and up).
UINT RegisterClipboardFormatA(const char* name);
int GetClipboardFormatNameA(UINT format, char* buffer, int size);
std::string GetClipboardFormatName(UINT format);

class TClipboard : public TPersistent {
    TESS_CLASS(TClipboard, TPersistent)
public:
    // Nested: only the outermost Close closes; the first set inside an Open empties it once.
    void Open();
    void Close();
    void Clear();
    bool HasFormat(WORD format) const;
    std::string AsText();
    void SetAsText(const std::string& value);
    int GetTextBuf(char* buffer, int size);
    void SetTextBuf(const char* buffer);
    HANDLE GetAsHandle(WORD format);
    void SetAsHandle(WORD format, HANDLE value);
    int FormatCount() const;
    WORD Formats(int index) const;
    // A TBitmap, TPicture, TMetafile or TIcon.
    void Assign(TPersistent* Source) override;
    void AssignTo(TPersistent* Dest) override;

private:
    void Adding();
    int FOpenRefCount = 0;
    bool FEmptied = false;
};

TClipboard* Clipboard();
