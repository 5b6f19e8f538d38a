#pragma once
// The scripted dialog service for tests: records every request and answers from a queue of
// expectations; an unexpected request is recorded as a failure and answered "cancelled".

#include "platform/gui/DialogService.h"

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

enum class TDialogKind { MessageBox, MessageDlg, InputQuery, OpenFile, SaveFile, SelectFolder, ChooseFont,
                         ChooseColor, Print, PrinterSetup };

struct TDialogAnswer {
    int Result = 0;          // IDxx for a message box, mrXxx for a message dialog
    bool Accepted = true;    // the other kinds: OK (true) or cancelled
    std::string Value;       // InputQuery
    std::string FileName;    // file dialogs
    int FilterIndex = 1;
    std::vector<std::string> Files;
    std::string Folder;
    TColor Color = clBlack;
    std::optional<TFont> Font;  // ChooseFont: the font chosen; none keeps the one offered
    // Print and PrinterSetup: what the person chose; an empty name or paper, zero copies and an
    // unset collation or orientation keep what the request offered.
    std::string PrinterName;
    int Copies = 0;
    std::optional<bool> Collate;
    std::string Paper;
    std::optional<PrinterSetupRequest::TOrientation> Orientation;

    static TDialogAnswer Code(int result)
    {
        TDialogAnswer answer;
        answer.Result = result;
        return answer;
    }
    static TDialogAnswer Input(const std::string& value, bool accepted = true)
    {
        TDialogAnswer answer;
        answer.Value = value;
        answer.Accepted = accepted;
        return answer;
    }
    static TDialogAnswer File(const std::string& fileName, int filterIndex = 1)
    {
        TDialogAnswer answer;
        answer.FileName = fileName;
        answer.FilterIndex = filterIndex;
        return answer;
    }
};

struct TDialogRequestRecord {
    TDialogKind Kind = TDialogKind::MessageBox;
    std::string Caption;
    std::string Text;
    UINT Icon = 0;               // MB_ICON... of a message box
    UINT Buttons = 0;            // MB_OK... of a message box
    UINT DefaultButton = 0;      // MB_DEFBUTTONn of a message box
    TMsgDlgType DlgType = mtCustom;
    TMsgDlgButtons DlgButtons;
    int DlgDefault = 0;          // the mr... of the default button
    std::string Value;           // InputQuery: the value offered
    FileDialogRequest File;
    bool Expected = false;
};

class TScriptedDialogs : public IDialogService {
public:
    // The next request must be of this kind and, when given, contain the text in its text or
    // caption; it is answered with answer.
    TScriptedDialogs& Expect(TDialogKind kind, TDialogAnswer answer, const std::string& contains = {});
    // Every request of the kind that no expectation takes gets this answer.
    TScriptedDialogs& AnswerAll(TDialogKind kind, TDialogAnswer answer);

    std::vector<TDialogRequestRecord> Requests() const;
    std::vector<std::string> Failures() const;
    // True when every expectation was used and no request was unexpected.
    bool Satisfied() const;

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

private:
    struct TExpectation {
        TDialogKind Kind;
        TDialogAnswer Answer;
        std::string Contains;
    };
    // Finds the answer for a request and records it; false when nothing answers it.
    bool Take(TDialogRequestRecord& record, TDialogAnswer& answer);
    bool FileDialog(TDialogKind kind, FileDialogRequest& request);

    mutable std::mutex FLock;
    std::deque<TExpectation> FExpectations;
    std::vector<std::pair<TDialogKind, TDialogAnswer>> FStanding;
    std::vector<TDialogRequestRecord> FRequests;
    std::vector<std::string> FFailures;
};
