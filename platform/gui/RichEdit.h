#pragma once
// The class library's rich edit over the "RICHEDIT" window class: character and paragraph
// attributes read and written through the control's format messages, lines with RTF and text
// streaming, search, printing through the format range, and the control's notifications.

#include "platform/gui/Memo.h"
#include "platform/gui/RichEditApi.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Streams.h"

#include <functional>
#include <memory>
#include <string>

class TCustomRichEdit;

// Moves raw bytes between a stream and the control's transfer buffers.
class TConversion : public TObject {
    TESS_CLASS(TConversion, TObject)
public:
    virtual int ConvertReadStream(TStream& Stream, char* Buffer, int BufSize);
    virtual int ConvertWriteStream(TStream& Stream, const char* Buffer, int BufSize);
};
// Makes a converter: the class reference of the class library.
using TConversionClass = std::function<std::unique_ptr<TConversion>()>;

enum TAttributeType { atSelected, atDefaultText };
enum TConsistentAttribute { caBold, caColor, caFace, caItalic, caSize, caStrikeOut, caUnderline, caProtected };
using TConsistentAttributes = TSet<TConsistentAttribute>;
enum TNumberingStyle { nsNone, nsBullet };
enum TSearchType { stWholeWord, stMatchCase };
using TSearchTypes = TSet<TSearchType>;

class TTextAttributes : public TPersistent {
    TESS_CLASS(TTextAttributes, TPersistent)
public:
    TTextAttributes(TCustomRichEdit* AOwner, TAttributeType AttributeType);
    void Assign(TPersistent* Source) override;

    BYTE Charset() const;
    void SetCharset(BYTE value);
    TColor Color() const;
    void SetColor(TColor value);
    TConsistentAttributes ConsistentAttributes() const;
    std::string Name() const;
    void SetName(const std::string& value);
    TFontPitch Pitch() const;
    void SetPitch(TFontPitch value);
    bool Protected() const;
    void SetProtected(bool value);
    int Size() const;
    void SetSize(int value);
    TFontStyles Style() const;
    void SetStyle(TFontStyles value);
    int Height() const;
    void SetHeight(int value);

protected:
    void AssignTo(TPersistent* Dest) override;

private:
    CHARFORMATA Read() const;
    void Write(CHARFORMATA& format) const;
    TCustomRichEdit* FRichEdit;
    TAttributeType FType;
};

class TParaAttributes : public TPersistent {
    TESS_CLASS(TParaAttributes, TPersistent)
public:
    explicit TParaAttributes(TCustomRichEdit* AOwner);
    void Assign(TPersistent* Source) override;

    TAlignment Alignment() const;
    void SetAlignment(TAlignment value);
    int FirstIndent() const;
    void SetFirstIndent(int value);
    int LeftIndent() const;
    void SetLeftIndent(int value);
    int RightIndent() const;
    void SetRightIndent(int value);
    TNumberingStyle Numbering() const;
    void SetNumbering(TNumberingStyle value);
    int Tab(int Index) const;
    void SetTab(int Index, int value);
    int TabCount() const;
    void SetTabCount(int value);

private:
    PARAFORMAT Read() const;
    void Write(PARAFORMAT& format) const;
    TCustomRichEdit* FRichEdit;
};

using TRichEditResizeEvent = std::function<void(TObject* Sender, const TRect& Rect)>;
using TRichEditProtectChange = std::function<void(TObject* Sender, int StartPos, int EndPos, bool& AllowChange)>;
using TRichEditSaveClipboard =
    std::function<void(TObject* Sender, int NumObjects, int NumChars, bool& SaveClipboard)>;

class TCustomRichEdit : public TCustomMemo {
    TESS_CLASS(TCustomRichEdit, TCustomMemo)
public:
    explicit TCustomRichEdit(TComponent* AOwner);
    ~TCustomRichEdit() override;

    TTextAttributes* DefAttributes() const { return FDefAttributes.get(); }
    void SetDefAttributes(TTextAttributes* value) { FDefAttributes->Assign(value); }
    TTextAttributes* SelAttributes() const { return FSelAttributes.get(); }
    void SetSelAttributes(TTextAttributes* value) { FSelAttributes->Assign(value); }
    TParaAttributes* Paragraph() const { return FParagraph.get(); }

    bool PlainText() const { return FPlainText; }
    void SetPlainText(bool value);
    bool HideScrollBars() const { return FHideScrollBars; }
    void SetHideScrollBars(bool value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    // In printer pixels; empty is the whole page.
    TRect PageRect;
    TConversionClass DefaultConverter;

    // The position of the first match in [StartPos, StartPos + Length), -1 when none.
    int FindText(const std::string& SearchStr, int StartPos, int Length, TSearchTypes Options);
    virtual void Print(const std::string& Caption);
    static void RegisterConversionFormat(const std::string& AExtension, bool APlainText,
                                         TConversionClass AConversionClass);

    std::string GetText() const override;
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

    // The window's handle for reading (the window is not made here).
    HWND WindowHandle() const { return FHandle; }

    TNotifyEvent OnSelectionChange;
    TRichEditProtectChange OnProtectChange;
    TRichEditResizeEvent OnResizeRequest;
    TRichEditSaveClipboard OnSaveClipboard;

protected:
    void CreateParams(TCreateParams& Params) override;
    IHostWidget* CreateHost(const TCreateParams& Params, void* parentWidget) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void ReplaceSelection(const std::string& text, bool limit) override;
    void SetEditorText(const std::string& text) override;
    virtual void RequestSize(const TRect& Rect);
    virtual void SelectionChange();
    virtual bool ProtectChange(int StartPos, int EndPos);
    virtual bool SaveClipboard(int NumObjects, int NumChars);

private:
    friend class TRichEditStrings;
    void SetSelection(int start, int end, bool scroll);
    CHARRANGE Selection() const;

    std::unique_ptr<TTextAttributes> FSelAttributes;
    std::unique_ptr<TTextAttributes> FDefAttributes;
    std::unique_ptr<TParaAttributes> FParagraph;
    bool FPlainText = false;
    bool FHideScrollBars = true;
    bool FHideSelection = true;
    bool FModifiedSaved = false;
    // The text and formats while the window is recreated.
    std::unique_ptr<TMemoryStream> FSavedText;
};

// The Qt host of a rich edit window for a memo-like control (scroll bars, border and tabs from the
// control); the window processing gives it the document to show and edit.
IHostWidget* CreateRichEditHost(TCustomMemo* control, void* parentWidget, bool hideScrollBars);

class TRichEdit : public TCustomRichEdit {
    TESS_CLASS(TRichEdit, TCustomRichEdit)
public:
    explicit TRichEdit(TComponent* AOwner) : TCustomRichEdit(AOwner) {}
};
