#pragma once
// Editors of paths: TFilenameEdit holds a file name (or, with multiple selection, a list) chosen
// through an open or save dialog, showing names with blanks in double quotes; TDirectoryEdit
// holds a folder (or several joined with ";") chosen through a folder dialog. Both accept files
// dropped from the desktop and keep the system's error boxes away while their dialog runs.

#include "controls/ComboEdit.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/rtl/Lists.h"

#include <functional>
#include <memory>
#include <string>

namespace FileDirEdit {
enum TFileDialogKind { dkOpen, dkSave, dkOpenPicture, dkSavePicture };
enum TDirDialogKind { dkVCL, dkWin32 };
enum TFileEditStyle { fsEdit, fsComboBox };
} // namespace FileDirEdit
using FileDirEdit::TDirDialogKind;
using FileDirEdit::TFileDialogKind;
using FileDirEdit::TFileEditStyle;

using TExecOpenDialogEvent = std::function<void(TObject* Sender, std::string& Name, bool& Action)>;
using TFileExt = std::string;

class TFileDirEdit : public TCustomComboEdit {
    TESS_CLASS(TFileDirEdit, TCustomComboEdit)
public:
    explicit TFileDirEdit(TComponent* AOwner);

    bool AcceptFiles() const { return FAcceptFiles; }
    // Registers the window as a drop target while it exists.
    void SetAcceptFiles(bool Value);
    TNotifyEvent OnDropFiles;
    TExecOpenDialogEvent OnBeforeDialog;
    TExecOpenDialogEvent OnAfterDialog;

    virtual std::string GetLongName() = 0;
    virtual std::string GetShortName() = 0;
    // A dropped file.
    virtual void ReceptFileDir(const std::string& AFileName) = 0;
    virtual void ClearFileList() {}

    void Dispatch(TMessage& Message) override;

protected:
    virtual void DoBeforeDialog(std::string& Name, bool& Action);
    virtual void DoAfterDialog(std::string& Name, bool& Action);
    TBitmap* GetDefaultBitmap(bool& DestroyNeeded) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void SetDragAccept(bool Value);
    void DisableSysErrors();
    void EnableSysErrors();
    // Runs the dialog with the system's error boxes suppressed (restored on every path), then
    // focuses the edit when it can take the focus; Execute's answer.
    bool RunDialog(const std::function<bool()>& Execute);

    bool FMultipleDirs = false;

private:
    void DropFiles(TMessage& Message);

    UINT FErrMode = 0;
    bool FAcceptFiles = false;
};

// S in double quotes when it holds a blank and does not start with a quote.
std::string QuoteFileNameText(const std::string& S);
// S when a file of that name exists, else the program part of S read as a command line.
std::string ClipFileNameText(const std::string& S);

class TFilenameEdit : public TFileDirEdit {
    TESS_CLASS(TFilenameEdit, TFileDirEdit)
public:
    explicit TFilenameEdit(TComponent* AOwner);
    ~TFilenameEdit() override;

    TFileDialogKind DialogKind() const { return FDialogKind; }
    // Makes a dialog of the new kind that keeps the old one's settings.
    void SetDialogKind(TFileDialogKind Value);
    TOpenDialog* Dialog() const { return FDialog.get(); }

    std::string DefaultExt() const { return FDialog->DefaultExt(); }
    void SetDefaultExt(const std::string& Value) { FDialog->SetDefaultExt(Value); }
    TFileEditStyle FileEditStyle = FileDirEdit::fsEdit;
    // The text without its quotes.
    std::string GetFileName();
    // Raises EComboEditError "Invalid file name - %s" for a name that is not valid.
    void SetFileName(const std::string& Value);
    const std::string& Filter() const { return FDialog->Filter; }
    void SetFilter(const std::string& Value) { FDialog->Filter = Value; }
    int FilterIndex() const { return FDialog->FilterIndex; }
    void SetFilterIndex(int Value) { FDialog->FilterIndex = Value; }
    const std::string& InitialDir() const { return FDialog->InitialDir; }
    void SetInitialDir(const std::string& Value) { FDialog->InitialDir = Value; }
    TStrings* HistoryList() const { return FHistoryList.get(); }
    TOpenOptions DialogOptions() const { return FDialog->Options; }
    // Multiple selection follows ofAllowMultiSelect; without it the file list is emptied.
    void SetDialogOptions(TOpenOptions Value);
    const std::string& DialogTitle() const { return FDialog->Title; }
    void SetDialogTitle(const std::string& Value) { FDialog->Title = Value; }
    TStrings* DialogFiles() const { return FDialog->Files(); }
    std::string LongName() { return GetLongName(); }
    std::string ShortName() { return GetShortName(); }

    std::string GetLongName() override;
    std::string GetShortName() override;
    void ReceptFileDir(const std::string& AFileName) override;
    void ClearFileList() override;

protected:
    void ButtonClick() override;

private:
    void CreateEditDialog();

    std::unique_ptr<TOpenDialog> FDialog;
    std::unique_ptr<TStringList> FHistoryList;
    TFileDialogKind FDialogKind = FileDirEdit::dkOpen;
};

class TDirectoryEdit : public TFileDirEdit {
    TESS_CLASS(TDirectoryEdit, TFileDirEdit)
public:
    explicit TDirectoryEdit(TComponent* AOwner) : TFileDirEdit(AOwner) {}

    TSelectDirOpts DialogOptions;
    std::string InitialDir;
    // Shown by the shell's folder browser.
    std::string DialogText;
    TDirDialogKind DialogKind = FileDirEdit::dkVCL;
    bool MultipleDirs() const { return FMultipleDirs; }
    void SetMultipleDirs(bool Value) { FMultipleDirs = Value; }
    std::string LongName() { return GetLongName(); }
    std::string ShortName() { return GetShortName(); }

    std::string GetLongName() override;
    std::string GetShortName() override;
    void ReceptFileDir(const std::string& AFileName) override;

protected:
    void ButtonClick() override;

private:
    std::string ConvertParts(std::string (*Convert)(const std::string&));
};

// The name the program's forms use for the file-name edit.
using TFileNameEdit = TFilenameEdit;
