#pragma once
// Multi-line edits over a Qt plain-text edit. Positions and lengths count a line break as two
// characters (CR LF), as the Windows edit control does.

#include "platform/gui/Edit.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <vector>

class TCustomMemo;
class QPlainTextEdit;

// The memo's lines: changing them changes the memo's text.
class TMemoStrings : public TStrings {
    TESS_CLASS(TMemoStrings, TStrings)
public:
    explicit TMemoStrings(TCustomMemo* memo) : FMemo(memo) {}
    void Clear() override;
    void Delete(int index) override;
    void Insert(int index, const std::string& s) override;

protected:
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    int GetCount() const override;
    void SetUpdateState(bool updating) override;

private:
    // Inside BeginUpdate/EndUpdate the lines are kept here and set on the memo once at the end.
    std::vector<std::string> FBuffer;
    bool FBuffering = false;
    TCustomMemo* FMemo;
};

class TCustomMemo : public TCustomEdit {
    TESS_CLASS(TCustomMemo, TCustomEdit)
public:
    explicit TCustomMemo(TComponent* AOwner);
    ~TCustomMemo() override;

    TStrings* Lines() const { return FLines.get(); }
    void SetLines(TStrings* value) { FLines->Assign(value); }
    std::string GetText() const override;
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    bool WantReturns = true;
    bool WantTabs = false;
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    // X: column, Y: line.
    TPoint CaretPos() const;
    void SetCaretPos(TPoint value);

    int SelStart() const override;
    void SetSelStart(int value) override;
    int SelLength() const override;
    void SetSelLength(int value) override;
    void SelectAll() override;
    void Undo() override;
    bool CanUndo() const override;
    void ClearUndo() override;
    void PasteFromClipboard() override;
    void Dispatch(TMessage& Message) override;

    // Line access in Windows units, used by the lines and the line messages.
    int LineCount() const;
    std::string LineText(int index) const;
    int LineIndex(int line) const;
    int LineFromChar(int pos) const;

    // For the layer's Qt pieces: gives the window the text that code set while it was hidden.
    void FlushPending() const;

protected:
    void CreateParams(TCreateParams& Params) override;
    IHostWidget* CreateHost(const TCreateParams& Params, void* parentWidget) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void ApplyEditorState() override;
    // A descendant whose window keeps the text itself supplies its own line list.
    void SetLinesList(std::unique_ptr<TStrings> lines) { FLines = std::move(lines); }
    void ReplaceSelection(const std::string& text, bool limit) override;
    void SetEditorText(const std::string& text) override;
    // The memo's window with the text up to date.
    QPlainTextEdit* Memo() const;
    // The memo's window exists (made when a parent allows it).
    QPlainTextEdit* EnsureMemo();

private:
    friend class TMemoStrings;
    // Qt position of a Windows position and back.
    int ToQtPos(int pos) const;
    int ToWinPos(int qtPos) const;
    void SetSelection(int start, int length);
    // The window's scroll bar shows the text's scroll position; its requests scroll the text.
    void ShowEditorScroll(int bar);
    void ScrollEditor(int bar, WPARAM request);
    // The window as it is, its text possibly behind FMemoText.
    QPlainTextEdit* HostMemo() const;
    // FMemoText holds the text: there is no window, or the window waits for it.
    bool TextHeldHere() const { return FPending || !HostMemo(); }
    void SetMemoText(const std::string& text);
    // Lines known to make up FMemoText, saving the split.
    void SeedLines(std::vector<std::string> lines);
    // FMemoText split into lines, made once per text.
    const std::vector<std::string>& CachedLines() const;

    std::unique_ptr<TStrings> FLines;
    // Text set by code while the window is hidden waits here until the window is shown or used:
    // a Qt document of many lines costs far more than the lines themselves.
    std::string FMemoText;
    mutable bool FPending = false;
    mutable std::vector<std::string> FLineCache;
    mutable bool FLineCacheValid = false;
    int FMemoSelStart = 0;
    int FMemoSelLength = 0;
    bool FWordWrap = true;
    TScrollStyle FScrollBars = ssNone;
    TAlignment FAlignment = taLeftJustify;
};

class TMemo : public TCustomMemo {
    TESS_CLASS(TMemo, TCustomMemo)
public:
    explicit TMemo(TComponent* AOwner) : TCustomMemo(AOwner) {}
};
