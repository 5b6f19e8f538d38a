#pragma once
// THlCustomMemo: a self-drawn fixed-pitch text editor. The text is a list of Windows-1252 lines
// addressed by (row, column), one column per character; the caret may stand past the end of a
// line. The control paints every visible row itself into a row bitmap, keeps its own scroll bars
// and a line-number gutter, and offers hooks (OnDrawLine, the drop list) through which a companion
// component takes over drawing and completion. Include widgets/HlMemo.h rather than this header.

#include "platform/gui/Bitmap.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/Messages.h"
#include "platform/gui/WinControl.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <string>

class THlGutter;
class THlMemoEnvironment;
class THlGutterOptions;
class TRegExpHlMemo;
class TListBox;
class THintWindow;
class TTimer;

// The values of the memo's enumerations live in the unit's namespace: the layer's scroll-bar kinds
// already take sbHorizontal and sbVertical.
namespace HlMemo {
enum THlScrolls { sbNone, sbBoth, sbHorizontal, sbVertical };
enum THlKeyEvent { k_Down, k_Press, k_Up, k_Mouse1, k_Mouse2, k_Mouse3, k_DoubleClick, k_None };
enum THlFindOption { foMatchCase, foWholeWords, foEntireScope };
} // namespace HlMemo
namespace HlMemo {
// A pixel offset from columns or rows that may lie far out of range, kept within what drawing
// and window coordinates can take.
inline int Pixels(long long value)
{
    constexpr long long limit = 1000000000;
    return static_cast<int>(value < -limit ? -limit : value > limit ? limit : value);
}
// Draws text in rect as a row of the memo: single line, vertically centred, no prefix, in the
// canvas's font, its cells filled with the canvas's brush.
void DrawRowText(TCanvas* canvas, const std::string& text, const TRect& rect, UINT alignment = 0);
// Word characters of the memo: "#", the digits and the letters A-Z and a-z.
bool IsWordChar(char c);
// Registers the cursor images "SELDRAG", "SELDRAGCOPY", "HANDPOINT" and "LINESEL" once per program.
void RegisterCursors();
} // namespace HlMemo
using HlMemo::THlFindOption;
using HlMemo::THlKeyEvent;
using HlMemo::THlScrolls;
using THlFindOptions = TSet<THlFindOption>;

using THlDrawLineEvent = std::function<void(TObject* Sender, const std::string& LineText, int LineIndxe,
                                            TBitmap* LineGlyph, TRect& TextRect, bool& AllowSelfDraw)>;
using THlHyperlinkClickEvent = std::function<void(TObject* Sender, const std::string& Hyperlink)>;
// CaretPos: X is the row, Y the column.
using THlMemoEvents = std::function<void(TObject* Sender, TShiftState Shift, THlKeyEvent KeyEvent, WORD Key,
                                         TPoint CaretPos, TPoint MousePos)>;
// FindPos: X is the column, Y the row.
using THlFindText = std::function<void(TObject* Sender, TPoint FindPos, bool& ScrollToWord)>;
using THlReplaceText =
    std::function<void(TObject* Sender, TPoint FindPos, bool& ScrollToWord, bool& ReplaceText)>;
using THlOnSearchEnd = std::function<void(TObject* Sender, bool FindIt, bool ReplaceMode)>;
using TTextScroledEvent =
    std::function<void(TObject* Sender, int TopRow, int BottomRow, int LeftCol, int MaxCols)>;

// Indexes of the memo's cursors in the screen's cursor table.
constexpr TCursor crSELDRAG = 1, crSELDRAGCOPY = 2, crHANDPOINT = 3, crLINESEL = 4;

class THlCustomMemo : public TCustomControl {
    TESS_CLASS(THlCustomMemo, TCustomControl)
    friend class THlGutter;
    friend class THlGutterOptions;

public:
    explicit THlCustomMemo(TComponent* AOwner);
    ~THlCustomMemo() override;

    void Dispatch(TMessage& Message) override;

    // --- Options and properties ---
    bool Tracking() const { return FTracking; }
    void SetTracking(bool value) { FTracking = value; }
    bool FullRedraw() const { return FFullRedraw; }
    void SetFullRedraw(bool value) { FFullRedraw = value; }
    THlScrolls ScrollBars() const { return FScrollBars; }
    void SetScrollBars(THlScrolls value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    bool RightEdge() const { return FRightEdge; }
    void SetRightEdge(bool value);
    int RightEdgeCol() const { return FRightEdgeCol; }
    // Kept within 20..160.
    void SetRightEdgeCol(int value);
    bool ShowHyperlinks() const { return FShowHyperlinks; }
    void SetShowHyperlinks(bool value);
    THlGutter* Gutter() const { return FGutter; }
    THlMemoEnvironment* EnvironmentOptions() const { return FEnvironment.get(); }
    THlGutterOptions* GutterOptions() const { return FGutterOptions.get(); }
    TStrings* Lines() const { return FLines.get(); }
    void SetLines(TStrings* value);
    int TabWidth() const { return FTabWidth; }
    // A width below 1 keeps the old one.
    void SetTabWidth(int value);
    TStrings* GetDropList() const;
    void SetDropList(TStrings* value);
    int DropListCharWidth() const { return FDropListCharWidth; }
    void SetDropListCharWidth(int value) { FDropListCharWidth = value; }
    int DropListCharHeight() const { return FDropListCharHeight; }
    void SetDropListCharHeight(int value) { FDropListCharHeight = value; }
    int DropListColumnCharWidth() const { return FDropListColumnCharWidth; }
    void SetDropListColumnCharWidth(int value) { FDropListColumnCharWidth = value; }
    int DropListTimeDelay() const { return FDropListTimeDelay; }
    // Kept within 0..10.
    void SetDropTime(int value);
    TListBox* DropList() const { return FDropList; }

    // --- Coordinates and selection ---
    int GetCaretVPos() const { return FCaretRow; }
    int GetCaretHPos() const { return FCaretCol; }
    // Points of the selection anchors: X is the row, Y the column. The setters clamp the row to
    // the lines (0 without lines) and the column to at least 0; they neither mark a selection
    // nor redraw.
    TPoint GetSelBegin() const { return Point(FSelAnchorRow, FSelAnchorCol); }
    void SetSelBegin(TPoint value);
    TPoint GetSelEnd() const { return Point(FSelEndRow, FSelEndCol); }
    void SetSelEnd(TPoint value);
    bool SelectionPresent() const { return FSelected; }
    void SetSelectionPresent(bool value) { FSelected = value; }
    // The anchors in reading order.
    void GetSelBounds(int& StartRow, int& EndRow, int& StartCol, int& EndCol) const;

    // --- Metrics and scrolling ---
    int CharWidth() const { return FCharWidth; }
    int LineHeight() const { return FLineHeight; }
    int TopRow() const { return FTopRow; }
    int LeftCol() const { return FHScrollPos; }
    int VisibleRows() const { return FVisibleRows; }
    int VisibleCols() const { return FVisibleCols; }
    int MaxLineLength() const { return FMaxLineLength; }
    int GetVScrollPos() const { return FVScrollPos; }
    void SetVScrollPos(int value) { SetVPos(value); }
    int GetHScrollPos() const { return FHScrollPos; }
    void SetHScrollPos(int value) { SetHPos(value); }
    int GetVScrollMax();
    int GetHScrollMax();
    // Scrolls so that the pixel (X, Y) of the text is at the top-left corner.
    void ScrollTo(int X, int Y);
    void UpdateCharBounds();
    void UpdateScrollBars();
    void UpdateChildren();
    void ScrollChildren(int DX, int DY);
    void SetVPos(int Value);
    void SetHPos(int Value);

    // --- Drawing ---
    void DrawVisible();
    void DrawLine(TCanvas* Canvas, int Row, int Y);
    void FormatLine(int Row, TBitmap* Bitmap);
    void DrawCaret(int Row, int Col, bool Show);
    // Draws the links of a formatted row over it.
    void MarkHyperlinks(const std::string& Text, TBitmap* Bitmap);
    // One tick of the caret timer.
    void BlinkCaret();
    // One tick of the auto-scroll timer while the mouse selects.
    void ScrollOnTimer();

    // --- Find and replace, links, hints and the drop list ---
    void FindText(const std::string& Text, THlFindOptions Options, bool Backward);
    void ReplaceText(const std::string& FindText, const std::string& ReplaceWith, THlFindOptions Options,
                     bool Backward);
    // True when the client point lies on a web or e-mail address; Hyperlink is then the address.
    bool GetHyperlinksAtPos(int X, int Y, std::string& Hyperlink);
    // Shows Text in the memo's hint window near the client point, unless one is already shown.
    void ShowTextHint(int X, int Y, const std::string& Text);
    void ShowDropWindow();
    // The memo's one hint window (owned by the memo whoever shows it), or none.
    THintWindow* HintWindow() const { return FHintWindow; }
    void SetHintWindow(THintWindow* value);
    void DestroyHintWindow();
    bool ColorHintShown() const { return FColorHintShown; }
    void SetColorHintShown(bool value) { FColorHintShown = value; }
    TPoint MousePos() const { return FMousePos; }
    bool DraggingSelection() const { return FDraggingSelection; }

    // --- Text operations ---
    // (X, Y) already include the scroll offsets.
    void GetRowColAtPos(int X, int Y, int& Row, int& Col);
    // Word is empty and Pos -1 when there is no word at or left of the position.
    void GetWordAtPos(int Col, int Row, std::string& Word, int& Pos);
    std::string GetSelText();
    void DeleteSelection();
    void InsertTextAtPos(const std::string& Text, int Col, int Row);
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    void Clear();
    // A missing file changes nothing; read errors of the lines propagate.
    void LoadFromFile(const std::string& FileName);
    // Writes the lines without their trailing blanks, CR LF ended, atomically; Lines stays as is.
    void SaveToFile(const std::string& FileName);

    // --- Events ---
    TNotifyEvent OnScrolled_V;
    TNotifyEvent OnScrolled_H;
    TTextScroledEvent OnTextScrolled;
    TNotifyEvent OnPaint;
    TNotifyEvent OnDropListDown;
    THlDrawLineEvent OnDrawLine;
    THlHyperlinkClickEvent OnHyperlinkClick;
    THlMemoEvents OnMemoEvents;
    THlFindText OnFindText;
    THlReplaceText OnReplaceText;
    THlOnSearchEnd OnSearchEnd;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    void WMHScroll(TMessage& Message);
    void WMVScroll(TMessage& Message);
    void WMGetDlgCode(TMessage& Message);
    void WMKeyDown(TMessage& Message);
    void WMKeyUp(TMessage& Message);
    void KeyboardCaretNav(TShiftState Shift, WORD Key);
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DblClick() override;
    // Moves (or copies) the selection to Target (X is the row, Y the column).
    void DragDropSelection(TPoint Target, bool Copy);
    bool FindReplaceProc(const std::string& Text, THlFindOptions Options, bool Backward, bool ReplaceMode,
                         bool& ReplaceFlag);
    void DropListKeyPress(TObject* Sender, char& Key);
    void DropListExit(TObject* Sender);
    void DropListDrawItem(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State);
    void BindDropList();
    void InitMemoObjects();
    void CaretBlinkingTimeProc(TMessage& Message);
    void UpdateTimer();
    // Hides the drop list and forgets where it was shown.
    void ResetDropList();
    // The gutter's width when it is shown, else 0.
    int GutterOffset() const;
    // Editing helpers: the row's text and length (empty past the lines), redrawing one row or the
    // visible rows, scrolling the caret into view, and OnMemoEvents.
    std::string RowText(int Row) const;
    int RowLength(int Row) const;
    void RedrawRow(int Row);
    void RedrawVisible();
    void MakeCaretVisible();
    void RaiseMemoEvent(THlKeyEvent KeyEvent, WORD Key, TPoint Mouse);
    // The text position under a client point, scroll offsets added.
    void PositionAtClientPoint(int X, int Y, int& Row, int& Col);
    // The column of the next word start of a row from Col on (word characters are skipped first),
    // or -1 when the row has none.
    int NextWordStartInRow(int Row, int Col) const;
    void NavigateLeft(TShiftState Shift);
    void NavigateRight(TShiftState Shift);
    void NavigatePage(TShiftState Shift, bool Up);
    void TypeTab();
    void TypeEnter();
    void TypeBackspace();
    void TypeCharacter(char Key);
    void DeleteAtCaret();
    bool PressInsideSelection(int Row, int Col) const;
    bool DropInsideSelection(int Row, int Col) const;
    // The engines of the two link patterns, compiled on first use.
    TRegExpHlMemo* WebEngine();
    TRegExpHlMemo* MailEngine();
    // The run of link characters around the column, empty when the character there is none.
    std::string LinkRunAt(const std::string& Line, int Col) const;
    // "Image: " or "Link to: " and the link, near the last mouse position.
    void ShowLinkHint(const std::string& Link);
    // The new scroll position a scroll message asks for, or false to ignore the message.
    bool ScrollTarget(TMessage& Message, int bar, int current, int& target);
    // Stores value through the bar (which clamps it) and returns the stored position.
    int StoreBarPosition(int bar, int value);
    void RaiseTextScrolled(int BottomRow);
    // Fills the part of a row right of its text (x from X0) by the selection rules; length is the
    // row's length after tab expansion.
    void FillRowRemainder(TCanvas* Canvas, int Row, int Y, int X0, int TextX, int length);
    void DrawSelectedText(int Row, const std::string& Text, TBitmap* Bitmap);
    std::string ExpandTabs(const std::string& line) const;

    // caret timer window
    HWND FCaretWindow = nullptr;
    bool FTracking = true;
    bool FFullRedraw = false;
    bool FVertBarShown = true;
    bool FHorzBarShown = true;
    THlScrolls FScrollBars = HlMemo::sbBoth;
    TBorderStyle FBorderStyle = bsSingle;
    bool FRightEdge = false;
    int FRightEdgeCol = 80;
    bool FShowHyperlinks = false;
    THlGutter* FGutter = nullptr;
    std::unique_ptr<THlMemoEnvironment> FEnvironment;
    std::unique_ptr<THlGutterOptions> FGutterOptions;
    std::unique_ptr<TStringList> FLines;
    int FTabWidth = 8;
    int FCharWidth = 1;
    int FLineHeight = 1;
    int FTopRow = 0;
    int FVisibleRows = 1;
    int FVisibleCols = 0;
    int FMaxLineLength = 0;
    int FSelAnchorRow = 0;
    int FSelEndRow = 0;
    int FSelAnchorCol = 0;
    int FSelEndCol = 0;
    bool FSelected = false;
    bool FMouseSelecting = false;
    int FAutoScrollRows = 0;
    int FAutoScrollCols = 0;
    TPoint FAutoScrollPos;
    TTimer* FAutoScrollTimer = nullptr;
    int FHScrollPos = 0;
    int FVScrollPos = 0;
    // The selection in reading order, computed before each full redraw.
    int FSelFirstRow = 0;
    int FSelLastRow = 0;
    int FSelFirstCol = 0;
    int FSelLastCol = 0;
    int FCaretRow = 0;
    int FCaretCol = 0;
    TPoint FMousePos;
    TShiftState FShiftState;
    bool FCaretPhase = false;
    bool FCaretBlinking = true;
    bool FJustDoubleClicked = false;
    bool FDraggingSelection = false;
    bool FColorHintShown = false;
    std::unique_ptr<TRegExpHlMemo> FRegExp;
    std::unique_ptr<TRegExpHlMemo> FMailRegExp;
    THintWindow* FHintWindow = nullptr;
    TListBox* FDropList = nullptr;
    int FDropListCharWidth = 20;
    int FDropListCharHeight = 4;
    int FDropListTimeDelay = 3;
    int FDropCountdown = 0;
    int FDropListColumnCharWidth = 10;
    int FDropRow = 0;
    int FDropCol = 0;
    // Measures the font and carries each row while it is formatted.
    TBitmap FRowBitmap;
    // Of the row last formatted: its first column in the bitmap (0 but for rows too long for one
    // bitmap) and its length after tab expansion.
    int FRowFirstColumn = 0;
    int FRowLength = 0;
};
