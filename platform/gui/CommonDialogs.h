#pragma once
// The common dialogs as components: each fills the dialog service's request, calls it and takes
// the answer back. The Qt implementations of the file, folder, font and colour requests are here
// too, for the Qt dialog service.

#include "platform/gui/DialogService.h"
#include "platform/gui/Font.h"
#include "platform/rtl/Classes.h"
#include "platform/os/ShellFolders.h"
#include "platform/rtl/Lists.h"

#include <functional>

#include <memory>
#include <string>

enum TOpenOption {
    ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
    ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
    ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks, ofEnableIncludeNotify,
    ofEnableSizing, ofDontAddToRecent, ofForceShowHidden
};
using TOpenOptions = TSet<TOpenOption>;

class TCommonDialog : public TComponent {
    TESS_CLASS(TCommonDialog, TComponent)
public:
    explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
    virtual bool Execute() = 0;
    bool Ctl3D = true;
    int HelpContext = 0;
    TNotifyEvent OnShow;
    TNotifyEvent OnClose;

protected:
    void DoShow();
    void DoClose();
};

class TOpenDialog : public TCommonDialog {
    TESS_CLASS(TOpenDialog, TCommonDialog)
public:
    explicit TOpenDialog(TComponent* AOwner);
    ~TOpenDialog() override;

    std::string Title;
    std::string Filter;
    int FilterIndex = 1;
    std::string InitialDir;
    std::string FileName;
    TOpenOptions Options{ofHideReadOnly, ofEnableSizing};
    TStrings* Files() const { return FFiles.get(); }
    const std::string& DefaultExt() const { return FDefaultExt; }
    // A leading "." or "*." is dropped.
    void SetDefaultExt(const std::string& value);
    bool Execute() override;

protected:
    virtual bool IsSave() const { return false; }
    virtual std::string DefaultTitle() const { return "Apri"; }

private:
    // Applies the default extension and checks the answer; false to ask again.
    bool AcceptAnswer(std::string& name);

    std::unique_ptr<TStringList> FFiles;
    std::string FDefaultExt;
};

class TSaveDialog : public TOpenDialog {
    TESS_CLASS(TSaveDialog, TOpenDialog)
public:
    explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}

protected:
    bool IsSave() const override { return true; }
    std::string DefaultTitle() const override { return "Salva con nome"; }
};

class TOpenPictureDialog : public TOpenDialog {
    TESS_CLASS(TOpenPictureDialog, TOpenDialog)
public:
    explicit TOpenPictureDialog(TComponent* AOwner);
};

class TSavePictureDialog : public TOpenPictureDialog {
    TESS_CLASS(TSavePictureDialog, TOpenPictureDialog)
public:
    explicit TSavePictureDialog(TComponent* AOwner) : TOpenPictureDialog(AOwner) {}

protected:
    bool IsSave() const override { return true; }
    std::string DefaultTitle() const override { return "Salva con nome"; }
};

enum TFontDialogDevice { fdScreen, fdPrinter, fdBoth };

class TFontDialog : public TCommonDialog {
    TESS_CLASS(TFontDialog, TCommonDialog)
public:
    explicit TFontDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
    TFont* Font() { return &FFont; }
    void SetFont(TFont* value) { FFont.Assign(value); }
    unsigned Options = 0;
    int MinFontSize = 0;
    int MaxFontSize = 0;
    TFontDialogDevice Device = fdScreen;
    bool Execute() override;

private:
    TFont FFont;
};

class TColorDialog : public TCommonDialog {
    TESS_CLASS(TColorDialog, TCommonDialog)
public:
    explicit TColorDialog(TComponent* AOwner);
    ~TColorDialog() override;
    TColor Color = clBlack;
    // "ColorA=BBGGRR" ... "ColorP=..." lines.
    TStrings* CustomColors() const { return FCustomColors.get(); }
    unsigned Options = 0;
    bool Execute() override;

private:
    std::unique_ptr<TStringList> FCustomColors;
};

enum TSelectDirOpt { sdAllowCreate, sdPerformCreate, sdPrompt };
using TSelectDirOpts = TSet<TSelectDirOpt>;

bool SelectDirectory(const std::string& caption, const std::string& root, std::string& directory);
bool SelectDirectory(std::string& directory, TSelectDirOpts options, int helpContext);

// The shell's folder dialog. The callback receives BFFM_INITIALIZED with a window to which it may
// send BFFM_SETSELECTION (WParam TRUE: LParam is a path; FALSE: an item list) and BFFM_ENABLEOK,
// then BFFM_SELCHANGED with the item list of the selection (null when there is none).
constexpr UINT BIF_RETURNONLYFSDIRS = 0x1, BIF_DONTGOBELOWDOMAIN = 0x2, BIF_STATUSTEXT = 0x4,
               BIF_RETURNFSANCESTORS = 0x8, BIF_EDITBOX = 0x10, BIF_VALIDATE = 0x20, BIF_NEWDIALOGSTYLE = 0x40,
               BIF_BROWSEFORCOMPUTER = 0x1000, BIF_BROWSEFORPRINTER = 0x2000, BIF_BROWSEINCLUDEFILES = 0x4000;
constexpr UINT BFFM_INITIALIZED = 1, BFFM_SELCHANGED = 2, BFFM_VALIDATEFAILED = 3;
constexpr UINT BFFM_SETSTATUSTEXT = WM_USER + 100, BFFM_ENABLEOK = WM_USER + 101, BFFM_SETSELECTION = WM_USER + 102;

using BFFCALLBACK = std::function<int(HWND window, UINT message, LPARAM lParam, LPARAM data)>;

struct BROWSEINFOA {
    HWND hwndOwner = nullptr;
    LPCITEMIDLIST pidlRoot = nullptr;
    // MAX_PATH bytes that receive the chosen folder's name; may be null.
    char* pszDisplayName = nullptr;
    const char* lpszTitle = nullptr;
    UINT ulFlags = 0;
    BFFCALLBACK lpfn;
    LPARAM lParam = 0;
    int iImage = 0;
};
using BROWSEINFO = BROWSEINFOA;

// The chosen folder as an item list (free it with ILFree, CoTaskMemFree or the allocator of
// SHGetMalloc), or null on cancel. Browsing for computers always gives null without asking:
// there is no network neighbourhood to browse.
LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info);
inline LPITEMIDLIST SHBrowseForFolder(BROWSEINFOA* info) { return SHBrowseForFolderA(info); }

// The family a Windows program knows for a family Qt shows ("Liberation Sans" -> "Arial").
std::string WindowsFontFamily(const std::string& family);

// The Qt implementations of the dialog requests (widget dialogs with Italian labels).
bool QtOpenFileDialog(FileDialogRequest& request, bool save);
bool QtSelectFolderDialog(FolderDialogRequest& request);
bool QtChooseFontDialog(FontDialogRequest& request);
bool QtChooseColorDialog(ColorDialogRequest& request);
