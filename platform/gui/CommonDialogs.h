#pragma once
// The common dialogs as components: each fills the dialog service's request, calls it and takes
// the answer back. The Qt implementations of the file, folder, font and colour requests are here
// too, for the Qt dialog service.

#include "platform/gui/DialogService.h"
#include "platform/gui/Font.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Lists.h"

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

// The family a Windows program knows for a family Qt shows ("Liberation Sans" -> "Arial").
std::string WindowsFontFamily(const std::string& family);

// The Qt implementations of the dialog requests (widget dialogs with Italian labels).
bool QtOpenFileDialog(FileDialogRequest& request, bool save);
bool QtSelectFolderDialog(FolderDialogRequest& request);
bool QtChooseFontDialog(FontDialogRequest& request);
bool QtChooseColorDialog(ColorDialogRequest& request);
