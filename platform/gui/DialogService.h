#pragma once
// The one service every modal interaction passes through: message boxes, message dialogs, input
// prompts and (with the later layers) the file, folder, font, colour and print dialogs. Tests
// install the scripted service; the program uses the Qt one.

#include "platform/gui/Font.h"
#include "platform/gui/Messages.h"
#include "platform/os/MessageBox.h"

#include <memory>
#include <string>
#include <vector>

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = TSet<TMsgDlgBtn>;
inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbYesNo{mbYes, mbNo};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

struct MessageDlgRequest {
    std::string Text;
    std::string Caption; // filled from the type when empty
    TMsgDlgType Type = mtInformation;
    TMsgDlgButtons Buttons{mbOK};
    int HelpContext = 0;
    int X = -1; // -1: centred
    int Y = -1;
};

// File dialogs: Filter is "description|mask;mask|...", FilterIndex counts from 1.
struct FileDialogRequest {
    std::string Title;
    std::string Filter;
    int FilterIndex = 1;
    std::string InitialDir;
    std::string FileName;
    std::vector<std::string> Files;
    std::string DefaultExt;
    unsigned Options = 0;
};

struct FolderDialogRequest {
    std::string Title;
    std::string Folder;
    unsigned Options = 0;
};

struct FontDialogRequest {
    TFont Font;
    unsigned Options = 0;
    int MinFontSize = 0;
    int MaxFontSize = 0;
};

struct ColorDialogRequest {
    TColor Color = clBlack;
    std::vector<std::string> CustomColors;
    unsigned Options = 0;
};

struct PrintDialogRequest {
    int Copies = 1;
    bool Collate = false;
    int FromPage = 0;
    int ToPage = 0;
    int MinPage = 0;
    int MaxPage = 0;
    enum TRange { prAllPages, prSelection, prPageNums } PrintRange = prAllPages;
    std::string PrinterName;
    unsigned Options = 0;
};

struct PrinterSetupRequest {
    std::string PrinterName;
    enum TOrientation { poPortrait, poLandscape } Orientation = poPortrait;
    std::string Paper;
};

class IDialogService {
public:
    virtual ~IDialogService() = default;
    virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) = 0;
    virtual int MessageDlg(const MessageDlgRequest& request) = 0;
    virtual bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) = 0;
    virtual bool OpenFile(FileDialogRequest& request) = 0;
    virtual bool SaveFile(FileDialogRequest& request) = 0;
    virtual bool SelectFolder(FolderDialogRequest& request) = 0;
    virtual bool ChooseFont(FontDialogRequest& request) = 0;
    virtual bool ChooseColor(ColorDialogRequest& request) = 0;
    virtual bool Print(PrintDialogRequest& request) = 0;
    virtual bool PrinterSetup(PrinterSetupRequest& request) = 0;
};

// The installed service (the Qt one until another is installed).
IDialogService& Dialogs();
// Installs service and returns the previous one; a null service restores the Qt one. The
// operating-system layer's MessageBoxA goes through the installed service.
std::unique_ptr<IDialogService> SetDialogService(std::unique_ptr<IDialogService> service);

// The service that shows Qt dialogs with the Italian texts.
class TQtDialogService : public IDialogService {
public:
    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
    int MessageDlg(const MessageDlgRequest& request) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    bool OpenFile(FileDialogRequest& request) override;
    bool SaveFile(FileDialogRequest& request) override;
    bool SelectFolder(FolderDialogRequest& request) override;
    bool ChooseFont(FontDialogRequest& request) override;
    bool ChooseColor(ColorDialogRequest& request) override;
    bool Print(PrintDialogRequest& request) override;
    bool PrinterSetup(PrinterSetupRequest& request) override;
};

int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);
int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext);
int MessageDlgPos(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext, int x, int y);
void ShowMessage(const std::string& text);
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);
std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue);

// The caption of a message dialog type ("Attenzione", "Errore", "Informazione", "Conferma").
std::string MessageDlgCaption(TMsgDlgType type);
// The default and the Escape answers of a message dialog, as mr... values.
int MessageDlgDefaultResult(TMsgDlgButtons buttons);
int MessageDlgCancelResult(TMsgDlgButtons buttons);
// The answer Escape gives a message box of these flags, 0 when Escape is disabled.
int MessageBoxCancelAnswer(UINT flags);
