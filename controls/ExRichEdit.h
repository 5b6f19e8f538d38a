#pragma once
// The extended rich edit: a memo-like control over the layer's rich edit window ("RichEdit20A",
// or "RICHEDIT" when RichEditVersion is 1) with character and paragraph attributes, lines
// streamed as RTF or text, URL clicks, protected text, undo and redo, printing, find and replace,
// and the entry points of embedded objects. Its text and formats survive a new window.

#include "platform/gui/FindDialogs.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Menus.h"
#include "platform/gui/RichEdit.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Streams.h"

#include <functional>
#include <memory>
#include <string>

namespace ExRichEd {

enum TExAttributeType { atDefaultText, atSelected, atWord };
enum TSubscriptStyle { ssNone, ssSubscript, ssSuperscript };
enum TUnderlineType { utNone, utSolid, utWord, utDouble, utDotted, utWave };
enum TExConsistentAttribute {
    caBold, caColor, caFace, caItalic, caSize, caStrikeOut, caUnderline, caProtected, caOffset, caHidden, caLink,
    caBackColor, caDisabled, caWeight, caSubscript, caRevAuthor
};
using TExConsistentAttributes = TSet<TExConsistentAttribute>;
enum TExNumbering {
    nsNone, nsBullet, nsArabicNumbers, nsLoCaseLetter, nsUpCaseLetter, nsLoCaseRoman, nsUpCaseRoman
};
enum TExNumberingStyle { nsParenthesis, nsPeriod, nsEnclosed, nsSimple };
enum TParaAlignment { paLeftJustify, paRightJustify, paCenter, paJustify };
enum TLineSpacingRule { lsSingle, lsOneAndHalf, lsDouble, lsSpecifiedOrMore, lsSpecified, lsMultiple };
using THeadingStyle = int;
enum TParaTableStyle { tsNone, tsTableRow, tsTableCellEnd, tsTableCell };
enum TRichSelectionType { stText, stObject, stMultiChar, stMultiObject };
using TRichSelectionTypes = TSet<TRichSelectionType>;
enum TUndoName { unUnknown, unTyping, unDelete, unDragDrop, unCut, unPaste };
enum TRichLangOption { rlAutoKeyboard, rlAutoFont, rlImeCancelComplete, rlImeAlwaysSendNotify };
using TRichLangOptions = TSet<TRichLangOption>;
enum TRichStreamFormat { sfDefault, sfRichText, sfPlainText };
enum TRichStreamMode { smSelection, smPlainRtf, smNoObjects, smUnicode };
using TRichStreamModes = TSet<TRichStreamMode>;
enum TRichSearchType { stWholeWord, stMatchCase, stBackward, stSetSelection };
using TRichSearchTypes = TSet<TRichSearchType>;

// The clipboard formats the control registers when the first one is made.
struct TRichClipboardFormats {
    UINT EmbeddedObject = 0;
    UINT LinkSource = 0;
    UINT RichText = 0;
    UINT RichTextWithoutObjects = 0;
};
const TRichClipboardFormats& RichClipboardFormats();

} // namespace ExRichEd

// 1: the old control ("RICHEDIT", CR LF breaks, the short format records); 2 and 3: "RichEdit20A".
// The layer's control is always the complete one, so it starts at 3; tests may lower it before a
// control is made.
using TRichEditVersion = int;
extern TRichEditVersion RichEditVersion;

class TExTextAttributes;
class TExParaAttributes;
class TRichEditStrings;
class TRichEditOleCallback;

using TRichEditProtectChangeEx =
    std::function<void(TObject* Sender, const TMessage& Message, int StartPos, int EndPos, bool& AllowChange)>;
using TRichEditURLClickEvent = std::function<void(TObject* Sender, const std::string& URLText, TMouseButton Button)>;
using TRichEditFindErrorEvent = std::function<void(TObject* Sender, const std::string& FindText)>;
using TRichEditFindCloseEvent = std::function<void(TObject* Sender, TFindDialog* Dialog)>;

class TExCustomRichEdit : public TCustomMemo {
    TESS_CLASS(TExCustomRichEdit, TCustomMemo)
public:
    explicit TExCustomRichEdit(TComponent* AOwner);
    ~TExCustomRichEdit() override;

    TExTextAttributes* SelAttributes() const { return FSelAttributes.get(); }
    void SetSelAttributes(TExTextAttributes* value);
    TExTextAttributes* DefAttributes() const { return FDefAttributes.get(); }
    void SetDefAttributes(TExTextAttributes* value);
    TExTextAttributes* WordAttributes() const { return FWordAttributes.get(); }
    void SetWordAttributes(TExTextAttributes* value);
    TExParaAttributes* Paragraph() const { return FParagraph.get(); }
    TRichEditStrings* Lines() const { return FRichLines; }
    void SetLines(TStrings* value);

    bool AllowObjects() const { return FAllowObjects; }
    void SetAllowObjects(bool value);
    bool AllowInPlace = true;
    bool AutoVerbMenu = true;
    bool AutoURLDetect() const;
    void SetAutoURLDetect(bool value);
    bool HideScrollBars() const { return FHideScrollBars; }
    void SetHideScrollBars(bool value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    ExRichEd::TRichLangOptions LangOptions() const;
    void SetLangOptions(ExRichEd::TRichLangOptions value);
    bool PlainText() const { return FPlainText; }
    bool SelectionBar() const { return FSelectionBar; }
    void SetSelectionBar(bool value);
    ExRichEd::TRichStreamFormat StreamFormat() const;
    void SetStreamFormat(ExRichEd::TRichStreamFormat value);
    ExRichEd::TRichStreamModes StreamMode() const;
    void SetStreamMode(ExRichEd::TRichStreamModes value);
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& value);
    int UndoLimit() const { return FUndoLimit; }
    void SetUndoLimit(int value);
    bool WordSelection() const;
    void SetWordSelection(bool value);
    // The window's modified flag.
    bool Modified() const;
    void SetModified(bool value);
    // 0 means 16,777,215 characters.
    void SetMaxLength(int value);

    ExRichEd::TRichSelectionTypes SelectionType() const;
    bool CanRedo() const;
    bool CanPaste() const;
    ExRichEd::TUndoName UndoName() const;
    ExRichEd::TUndoName RedoName() const;
    // In printer pixels; empty means the whole page.
    TRect PageRect;
    // Makes the converter of a transfer when Lines has none of its own.
    TConversionClass DefaultConverter;

    std::string GetText() const override;
    int SelStart() const override;
    void SetSelStart(int value) override;
    int SelLength() const override;
    void SetSelLength(int value) override;
    std::string SelText() const;
    void SetSelText(const std::string& value);
    int GetSelTextBuf(char* Buffer, int BufSize) const;
    void SelectAll() override;
    // An end of -1 means the end of the text; a reversed range is read forwards.
    std::string GetTextRange(int StartPos, int EndPos) const;
    std::string WordAtCursor() const;
    int LineFromChar(int CharIndex) const;
    int GetLineIndex(int LineNo) const;
    int GetLineLength(int CharIndex) const;
    TPoint GetCharPos(int CharIndex) const;
    TPoint CaretPos() const;
    void Undo() override;
    bool CanUndo() const override;
    void ClearUndo() override;
    void Redo();
    void StopGroupTyping();
    void PasteFromClipboard() override;
    void Clear();
    virtual void SetPlainText(bool Value);
    virtual void Print(const std::string& Caption);
    static void RegisterConversionFormat(const std::string& AExtension, bool APlainText,
                                         TConversionClass AConversionClass);

    // Embedded objects: the layer has none, so the dialogs answer false and show nothing.
    bool InsertObjectDialog();
    bool PasteSpecialDialog();
    bool ObjectPropertiesDialog();
    void CloseObjects();
    void SetUIActive(bool Active);
    // The menu a right click shows: the verbs of a selected object, else the ordinary one.
    TPopupMenu* GetPopupMenu();
    TRichEditOleCallback* OleCallback() const { return FCallback.get(); }

    // The position of the match, or -1. stBackward searches from StartPos back over |Length|
    // characters; stSetSelection selects the match and scrolls to it.
    int FindText(const std::string& SearchStr, int StartPos, int Length, ExRichEd::TRichSearchTypes Options);
    TFindDialog* FindDialog(const std::string& SelectedText);
    TReplaceDialog* ReplaceDialog(const std::string& SelectedText, const std::string& ReplaceText);
    bool FindNext();
    bool CanFindNext() const;

    void Dispatch(TMessage& Message) override;

    TNotifyEvent OnSelectionChange;
    TRichEditResizeEvent OnResizeRequest;
    TRichEditProtectChange OnProtectChange;
    TRichEditProtectChangeEx OnProtectChangeEx;
    TRichEditSaveClipboard OnSaveClipboard;
    TRichEditURLClickEvent OnURLClick;
    TRichEditFindErrorEvent OnTextNotFound;
    TRichEditFindCloseEvent OnCloseFindDialog;

protected:
    void CreateParams(TCreateParams& Params) override;
    IHostWidget* CreateHost(const TCreateParams& Params, void* parentWidget) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void ReplaceSelection(const std::string& text, bool limit) override;
    void SetEditorText(const std::string& text) override;

    virtual void TextNotFound(TFindDialog* Dialog);
    virtual void RequestSize(const TRect& Rect);
    virtual void CloseFindDialog(TFindDialog* Dialog);
    virtual void SelectionChange();
    virtual bool ProtectChange(const TMessage& Message, int StartPos, int EndPos);
    virtual bool SaveClipboard(int NumObjects, int NumChars);
    virtual void URLClick(const std::string& URLText, TMouseButton Button);

    void FindDialogFind(TObject* Sender);
    void ReplaceDialogReplace(TObject* Sender);
    void FindDialogClose(TObject* Sender);
    bool FindEditText(TFindDialog* Dialog, bool AdjustPos, bool Events);
    void AdjustFindDialogPosition(TFindDialog* Dialog);
    void SetupFindDialog(TFindDialog* Dialog, const std::string& SearchStr, const std::string& ReplaceStr);

private:
    friend class TExTextAttributes;
    friend class TExParaAttributes;
    friend class TRichEditStrings;

    // Sends to the window, made first when the control has a parent; 0 without a window.
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const;
    bool WindowReady() const;
    CHARRANGE Selection() const;
    void SetSelection(int start, int end, bool scroll);
    int TextLength() const;
    void ApplyTextMode();
    void SetEventMask(DWORD clear, DWORD add);
    void ReplaceAll(TFindDialog* Dialog);
    void HandleNotify(TMessage& Message);
    void HandleLink(const ENLINK& link);

    std::unique_ptr<TExTextAttributes> FSelAttributes;
    std::unique_ptr<TExTextAttributes> FDefAttributes;
    std::unique_ptr<TExTextAttributes> FWordAttributes;
    std::unique_ptr<TExParaAttributes> FParagraph;
    TRichEditStrings* FRichLines = nullptr;
    bool FHideScrollBars = true;
    bool FSelectionBar = true;
    bool FAutoURLDetect = true;
    bool FWordSelection = true;
    bool FPlainText = false;
    bool FHideSelection = true;
    bool FAllowObjects = true;
    int FScreenLogPixels = 96;
    int FUndoLimit = 100;
    ExRichEd::TRichLangOptions FLangOptions{ExRichEd::rlAutoFont};
    std::string FTitle;
    // The text while the window is made again: one byte (1 at design time), then the text.
    std::unique_ptr<TMemoryStream> FSavedText;
    bool FSavedModified = false;
    bool FLinesUpdating = false;
    CHARRANGE FClickRange{-1, -1};
    TMouseButton FClickButton = mbLeft;
    TFindDialog* FFindDialog = nullptr;
    TReplaceDialog* FReplaceDialog = nullptr;
    TFindDialog* FLastFind = nullptr;
    std::unique_ptr<TRichEditOleCallback> FCallback;
};

class TExRichEdit : public TExCustomRichEdit {
    TESS_CLASS(TExRichEdit, TExCustomRichEdit)
public:
    explicit TExRichEdit(TComponent* AOwner);
};
