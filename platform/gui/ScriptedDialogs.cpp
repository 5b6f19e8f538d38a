#include "platform/gui/ScriptedDialogs.h"

namespace {

const char* KindName(TDialogKind kind)
{
    switch (kind) {
    case TDialogKind::MessageBox:
        return "MessageBox";
    case TDialogKind::MessageDlg:
        return "MessageDlg";
    case TDialogKind::InputQuery:
        return "InputQuery";
    case TDialogKind::OpenFile:
        return "OpenFile";
    case TDialogKind::SaveFile:
        return "SaveFile";
    case TDialogKind::SelectFolder:
        return "SelectFolder";
    case TDialogKind::ChooseFont:
        return "ChooseFont";
    case TDialogKind::ChooseColor:
        return "ChooseColor";
    case TDialogKind::Print:
        return "Print";
    default:
        return "PrinterSetup";
    }
}

} // namespace

TScriptedDialogs& TScriptedDialogs::Expect(TDialogKind kind, TDialogAnswer answer, const std::string& contains)
{
    std::lock_guard<std::mutex> lock(FLock);
    FExpectations.push_back({kind, std::move(answer), contains});
    return *this;
}

TScriptedDialogs& TScriptedDialogs::AnswerAll(TDialogKind kind, TDialogAnswer answer)
{
    std::lock_guard<std::mutex> lock(FLock);
    FStanding.emplace_back(kind, std::move(answer));
    return *this;
}

std::vector<TDialogRequestRecord> TScriptedDialogs::Requests() const
{
    std::lock_guard<std::mutex> lock(FLock);
    return FRequests;
}

std::vector<std::string> TScriptedDialogs::Failures() const
{
    std::lock_guard<std::mutex> lock(FLock);
    return FFailures;
}

bool TScriptedDialogs::Satisfied() const
{
    std::lock_guard<std::mutex> lock(FLock);
    return FExpectations.empty() && FFailures.empty();
}

bool TScriptedDialogs::Take(TDialogRequestRecord& record, TDialogAnswer& answer)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (!FExpectations.empty()) {
        const TExpectation& next = FExpectations.front();
        const bool matches = next.Kind == record.Kind &&
                             (next.Contains.empty() || record.Text.find(next.Contains) != std::string::npos ||
                              record.Caption.find(next.Contains) != std::string::npos);
        if (matches) {
            answer = next.Answer;
            FExpectations.pop_front();
            record.Expected = true;
            FRequests.push_back(record);
            return true;
        }
    }
    for (const auto& standing : FStanding)
        if (standing.first == record.Kind) {
            answer = standing.second;
            record.Expected = true;
            FRequests.push_back(record);
            return true;
        }
    FFailures.push_back(std::string("unexpected ") + KindName(record.Kind) + ": \"" + record.Caption + "\" \"" +
                        record.Text + "\"");
    FRequests.push_back(record);
    return false;
}

int TScriptedDialogs::MessageBox(HWND, const std::string& text, const std::string& caption, UINT flags)
{
    TDialogRequestRecord record;
    record.Kind = TDialogKind::MessageBox;
    record.Caption = caption;
    record.Text = text;
    record.Icon = flags & MB_ICONMASK;
    record.Buttons = flags & MB_TYPEMASK;
    record.DefaultButton = flags & MB_DEFMASK;
    TDialogAnswer answer;
    if (!Take(record, answer))
        return IDCANCEL;
    return answer.Result;
}

int TScriptedDialogs::MessageDlg(const MessageDlgRequest& request)
{
    TDialogRequestRecord record;
    record.Kind = TDialogKind::MessageDlg;
    record.Caption = request.Caption.empty() ? MessageDlgCaption(request.Type) : request.Caption;
    record.Text = request.Text;
    record.DlgType = request.Type;
    record.DlgButtons = request.Buttons;
    record.DlgDefault = MessageDlgDefaultResult(request.Buttons);
    TDialogAnswer answer;
    if (!Take(record, answer))
        return 2; // mrCancel
    return answer.Result;
}

bool TScriptedDialogs::InputQuery(const std::string& caption, const std::string& prompt, std::string& value)
{
    TDialogRequestRecord record;
    record.Kind = TDialogKind::InputQuery;
    record.Caption = caption;
    record.Text = prompt;
    record.Value = value;
    TDialogAnswer answer;
    if (!Take(record, answer) || !answer.Accepted)
        return false;
    value = answer.Value;
    return true;
}

bool TScriptedDialogs::FileDialog(TDialogKind kind, FileDialogRequest& request)
{
    TDialogRequestRecord record;
    record.Kind = kind;
    record.Caption = request.Title;
    record.Text = request.FileName;
    record.File = request;
    TDialogAnswer answer;
    if (!Take(record, answer) || !answer.Accepted)
        return false;
    request.FileName = answer.FileName;
    request.FilterIndex = answer.FilterIndex;
    request.Files = answer.Files.empty() ? std::vector<std::string>{answer.FileName} : answer.Files;
    return true;
}

bool TScriptedDialogs::OpenFile(FileDialogRequest& request) { return FileDialog(TDialogKind::OpenFile, request); }

bool TScriptedDialogs::SaveFile(FileDialogRequest& request) { return FileDialog(TDialogKind::SaveFile, request); }

bool TScriptedDialogs::SelectFolder(FolderDialogRequest& request)
{
    TDialogRequestRecord record;
    record.Kind = TDialogKind::SelectFolder;
    record.Caption = request.Title;
    record.Text = request.Folder;
    TDialogAnswer answer;
    if (!Take(record, answer) || !answer.Accepted)
        return false;
    request.Folder = answer.Folder;
    return true;
}

bool TScriptedDialogs::ChooseFont(FontDialogRequest& request)
{
    TDialogRequestRecord record;
    record.Kind = TDialogKind::ChooseFont;
    record.Text = request.Font.Name();
    TDialogAnswer answer;
    if (!Take(record, answer) || !answer.Accepted)
        return false;
    if (answer.Font)
        request.Font.Assign(&*answer.Font);
    return true;
}

bool TScriptedDialogs::ChooseColor(ColorDialogRequest& request)
{
    TDialogRequestRecord record;
    record.Kind = TDialogKind::ChooseColor;
    TDialogAnswer answer;
    if (!Take(record, answer) || !answer.Accepted)
        return false;
    request.Color = answer.Color;
    return true;
}

bool TScriptedDialogs::Print(PrintDialogRequest& request)
{
    TDialogRequestRecord record;
    record.Kind = TDialogKind::Print;
    record.Text = request.PrinterName;
    TDialogAnswer answer;
    if (!Take(record, answer) || !answer.Accepted)
        return false;
    if (!answer.PrinterName.empty())
        request.PrinterName = answer.PrinterName;
    if (answer.Copies > 0)
        request.Copies = answer.Copies;
    if (answer.Collate)
        request.Collate = *answer.Collate;
    return true;
}

bool TScriptedDialogs::PrinterSetup(PrinterSetupRequest& request)
{
    TDialogRequestRecord record;
    record.Kind = TDialogKind::PrinterSetup;
    record.Text = request.PrinterName;
    TDialogAnswer answer;
    if (!Take(record, answer) || !answer.Accepted)
        return false;
    if (!answer.PrinterName.empty())
        request.PrinterName = answer.PrinterName;
    if (!answer.Paper.empty())
        request.Paper = answer.Paper;
    if (answer.Orientation)
        request.Orientation = *answer.Orientation;
    return true;
}
