#pragma once
// The window processing of the "RICHEDIT" and "RichEdit20A" classes: the rich document, the
// selection, the messages of the rich edit control and the notifications it sends its parent.
// When the control's host is a Qt text edit, the host shows and edits the same document.

#include "platform/gui/RichEditApi.h"
#include "platform/gui/private/RichDocument.h"
#include "platform/gui/private/RichLayout.h"

#include <QMetaObject>
#include <QPointer>
#include <QTextEdit>

#include <memory>
#include <string>
#include <vector>

class TWinControl;

class TRichEditWindow {
public:
    // className "RICHEDIT" counts a paragraph break as CR LF, "RichEdit20A" as CR.
    TRichEditWindow(TWinControl* control, const std::string& className, DWORD style);
    ~TRichEditWindow();
    TRichEditWindow(const TRichEditWindow&) = delete;
    TRichEditWindow& operator=(const TRichEditWindow&) = delete;

    // True when the message is the window's; Message.Result holds the answer.
    bool WindowMessage(TMessage& Message);
    // The window is going: EN_SAVECLIPBOARD when the clipboard still holds what it put there.
    void Destroying();

    TRichDocument& Document() { return FDocument; }

private:
    TWinControl* FControl;
    TRichDocument FDocument;
    TRichLayout FLayout;
    // The Qt host may go before the window processing does.
    QPointer<QTextEdit> FEditor;
    std::vector<QMetaObject::Connection> FConnections;
    bool FOldClass;
    // The selection when there is no editor; anchor and caret in the window's positions.
    int FAnchor = 0;
    int FCaret = 0;
    DWORD FEventMask = ENM_NONE;
    DWORD FOptions = 0;
    bool FReadOnly = false;
    bool FModified = false;
    bool FAutoUrl = false;
    DWORD FLangOptions = 0;
    UINT FTextMode = TM_RICHTEXT | TM_MULTILEVELUNDO;
    int FUndoLimit = 100;
    bool FHasFormatRect = false;
    RECT FFormatRect;
    bool FHideSelection = true;
    // The kind of each undo and redo step, as EM_GETUNDONAME answers it.
    std::vector<LRESULT> FUndoKinds;
    std::vector<LRESULT> FRedoKinds;
    LRESULT FEditKind = UID_UNKNOWN;
    bool FTypingGroup = false;
    // The display lines (window positions of their starts) for a revision and width.
    int FRevision = 0;
    mutable int FLinesRevision = -1;
    mutable int FLinesWidth = -1;
    mutable std::vector<int> FLineStarts;
    // The clipboard holds what this window put there.
    bool FClipboardOwned = false;
    CHARRANGE FLinkPressed{-1, -1};
    int FNotifying = 0;

    // Selection in window positions.
    CHARRANGE Selection() const;
    void SetSelection(int anchor, int caret, bool notify = true);
    void NotifySelChange();
    void NotifyChange();
    LRESULT Notify(NMHDR& header, UINT code);
    // False when the change of [from, to) touches protected text and the parent refuses it.
    bool ProtectionAllows(int from, int to, UINT message, WPARAM wParam, LPARAM lParam);
    // Replaces the selection as the user or a message does: limit, protection, undo kind.
    bool ReplaceSelection(const std::string& text, bool undoable, LRESULT kind, UINT message, WPARAM wParam,
                          LPARAM lParam);
    void RunUndoable(bool undoable, LRESULT kind, const std::function<void()>& edit);
    bool WordWrap() const;
    int WrapWidthTwips() const;
    const std::vector<int>& LineStarts() const;
    int LineFromChar(int pos) const;
    std::string LineText(int line, bool withBreak) const;
    CHARRANGE WordAt(int pos) const;
    LRESULT FindWordBreak(int code, int pos) const;
    LRESULT FindText(WPARAM flags, CHARRANGE range, const char* text, CHARRANGE* found) const;
    LRESULT StreamIn(WPARAM format, EDITSTREAM* stream);
    LRESULT StreamOut(WPARAM format, EDITSTREAM* stream);
    LRESULT GetCharFormat(WPARAM which, void* record);
    LRESULT SetCharFormat(WPARAM which, const void* record);
    LRESULT GetParaFormat(void* record);
    LRESULT SetParaFormat(const void* record);
    void Copy(bool cut);
    bool Paste(UINT format);
    LRESULT PosFromChar(int pos, POINTL* point) const;
    LRESULT CharFromPos(POINT point) const;
    bool LinkAt(int pos, CHARRANGE& link) const;
    bool KeyDown(WORD key);
    bool Char(unsigned char ch);
    void ApplyToEditor();
    void RequestResize();
};
