#include "platform/gui/DialogService.h"

#include "platform/gui/Application.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/PrintDialogs.h"
#include "platform/gui/Screen.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/gui/private/QtBridge.h"

#include <QApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include <mutex>

namespace {

std::mutex serviceLock;

std::unique_ptr<IDialogService>& Service()
{
    static std::unique_ptr<IDialogService> service;
    return service;
}

void InstallMessageBoxHandler()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    SetMessageBoxHandler([](HWND owner, const std::string& text, const std::string& caption, UINT type) {
        if (!IsGuiThread() && QCoreApplication::instance()) {
            int answer = IDCANCEL;
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [&] { answer = Dialogs().MessageBox(owner, text, caption, type); },
                Qt::BlockingQueuedConnection);
            return answer;
        }
        return Dialogs().MessageBox(owner, text, caption, type);
    });
}

QWidget* OwnerWidget(HWND owner)
{
    if (std::shared_ptr<TWindowRecord> record = HandleTable::Find(owner); record && record->Widget)
        return record->Widget->window();
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

// Keeps Escape and the close box from answering a box that has no cancelling button.
class TNoEscape : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            return true;
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

struct TButtonSpec {
    const char* Text;
    int Answer;
};

void SetIcon(QMessageBox& box, UINT icon)
{
    switch (icon) {
    case MB_ICONSTOP:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
}

int RunBox(QMessageBox& box, const std::vector<TButtonSpec>& buttons, int defaultIndex, int escapeAnswer)
{
    std::vector<QPushButton*> pushButtons;
    QPushButton* escape = nullptr;
    for (const TButtonSpec& spec : buttons) {
        QPushButton* button = box.addButton(ToQString(spec.Text), QMessageBox::ActionRole);
        pushButtons.push_back(button);
        if (spec.Answer == escapeAnswer)
            escape = button;
    }
    if (defaultIndex >= 0 && defaultIndex < static_cast<int>(pushButtons.size()))
        box.setDefaultButton(pushButtons[static_cast<std::size_t>(defaultIndex)]);
    TNoEscape noEscape;
    if (escape)
        box.setEscapeButton(escape);
    else
        box.installEventFilter(&noEscape);
    if (QApplication::instance()) {
        if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
            box.setWindowIcon(app->windowIcon());
    }
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (std::size_t i = 0; i < pushButtons.size(); ++i)
        if (pushButtons[i] == clicked)
            return buttons[i].Answer;
    return escapeAnswer;
}

} // namespace

IDialogService& Dialogs()
{
    InstallMessageBoxHandler();
    std::lock_guard<std::mutex> lock(serviceLock);
    std::unique_ptr<IDialogService>& service = Service();
    if (!service)
        service = std::make_unique<TQtDialogService>();
    return *service;
}

std::unique_ptr<IDialogService> SetDialogService(std::unique_ptr<IDialogService> service)
{
    InstallMessageBoxHandler();
    std::lock_guard<std::mutex> lock(serviceLock);
    std::unique_ptr<IDialogService> previous = std::move(Service());
    Service() = service ? std::move(service) : std::make_unique<TQtDialogService>();
    return previous;
}

int MessageBoxCancelAnswer(UINT flags)
{
    switch (flags & MB_TYPEMASK) {
    case MB_OK:
        return IDOK;
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL:
        return IDCANCEL;
    default:
        return 0;
    }
}

int TQtDialogService::MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags)
{
    std::vector<TButtonSpec> buttons;
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        buttons = {{"OK", IDOK}, {"Annulla", IDCANCEL}};
        break;
    case MB_ABORTRETRYIGNORE:
        buttons = {{"&Interrompi", IDABORT}, {"&Riprova", IDRETRY}, {"&Ignora", IDIGNORE}};
        break;
    case MB_YESNOCANCEL:
        buttons = {{"&S\xEC", IDYES}, {"&No", IDNO}, {"Annulla", IDCANCEL}};
        break;
    case MB_YESNO:
        buttons = {{"&S\xEC", IDYES}, {"&No", IDNO}};
        break;
    case MB_RETRYCANCEL:
        buttons = {{"&Riprova", IDRETRY}, {"Annulla", IDCANCEL}};
        break;
    default:
        buttons = {{"OK", IDOK}};
        break;
    }
    QMessageBox box(OwnerWidget(owner));
    box.setWindowTitle(ToQString(caption));
    box.setText(ToQString(text));
    box.setTextFormat(Qt::PlainText);
    SetIcon(box, flags & MB_ICONMASK);
    if (flags & (MB_TOPMOST | MB_SYSTEMMODAL))
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    const int defaultIndex = static_cast<int>((flags & MB_DEFMASK) >> 8);
    return RunBox(box, buttons, defaultIndex, MessageBoxCancelAnswer(flags));
}

std::string MessageDlgCaption(TMsgDlgType type)
{
    switch (type) {
    case mtWarning:
        return "Attenzione";
    case mtError:
        return "Errore";
    case mtInformation:
        return "Informazione";
    case mtConfirmation:
        return "Conferma";
    default:
        return Application ? Application->Title() : std::string();
    }
}

namespace {

const struct {
    TMsgDlgBtn Button;
    const char* Text;
    int Result;
} dialogButtons[] = {
    {mbYes, "&S\xEC", 6},        {mbNo, "&No", 7},           {mbOK, "OK", 1},
    {mbCancel, "Annulla", 2},     {mbAbort, "&Interrompi", 3}, {mbRetry, "&Riprova", 4},
    {mbIgnore, "&Ignora", 5},     {mbAll, "&Tutti", 8},       {mbNoToAll, "N&o a tutti", 9},
    {mbYesToAll, "S\xEC a t&utti", 10}, {mbHelp, "&Guida", 0},
};

int ResultOf(TMsgDlgBtn button)
{
    for (const auto& spec : dialogButtons)
        if (spec.Button == button)
            return spec.Result;
    return 0;
}

} // namespace

int MessageDlgDefaultResult(TMsgDlgButtons buttons)
{
    if (buttons.Contains(mbOK))
        return ResultOf(mbOK);
    if (buttons.Contains(mbYes))
        return ResultOf(mbYes);
    for (const auto& spec : dialogButtons)
        if (buttons.Contains(spec.Button))
            return spec.Result;
    return ResultOf(mbOK);
}

int MessageDlgCancelResult(TMsgDlgButtons buttons)
{
    if (buttons.Contains(mbCancel))
        return ResultOf(mbCancel);
    if (buttons.Contains(mbNo))
        return ResultOf(mbNo);
    if (buttons.Contains(mbOK))
        return ResultOf(mbOK);
    return ResultOf(mbCancel);
}

int TQtDialogService::MessageDlg(const MessageDlgRequest& request)
{
    std::vector<TButtonSpec> buttons;
    int defaultIndex = 0;
    const int defaultResult = MessageDlgDefaultResult(request.Buttons);
    for (const auto& spec : dialogButtons) {
        if (!request.Buttons.Contains(spec.Button))
            continue;
        if (spec.Result == defaultResult)
            defaultIndex = static_cast<int>(buttons.size());
        buttons.push_back({spec.Text, spec.Result});
    }
    QMessageBox box(OwnerWidget(nullptr));
    box.setWindowTitle(ToQString(request.Caption.empty() ? MessageDlgCaption(request.Type) : request.Caption));
    box.setText(ToQString(request.Text));
    box.setTextFormat(Qt::PlainText);
    switch (request.Type) {
    case mtWarning:
        box.setIcon(QMessageBox::Warning);
        break;
    case mtError:
        box.setIcon(QMessageBox::Critical);
        break;
    case mtInformation:
        box.setIcon(QMessageBox::Information);
        break;
    case mtConfirmation:
        box.setIcon(QMessageBox::Question);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if (request.X >= 0 && request.Y >= 0)
        box.move(request.X, request.Y);
    return RunBox(box, buttons, defaultIndex, MessageDlgCancelResult(request.Buttons));
}

bool TQtDialogService::InputQuery(const std::string& caption, const std::string& prompt, std::string& value)
{
    QInputDialog dialog(OwnerWidget(nullptr));
    dialog.setWindowTitle(ToQString(caption));
    dialog.setLabelText(ToQString(prompt));
    dialog.setTextValue(ToQString(value));
    dialog.setOkButtonText("OK");
    dialog.setCancelButtonText("Annulla");
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = ToAnsi(dialog.textValue());
    return true;
}

bool TQtDialogService::OpenFile(FileDialogRequest& request) { return QtOpenFileDialog(request, false); }

bool TQtDialogService::SaveFile(FileDialogRequest& request) { return QtOpenFileDialog(request, true); }

bool TQtDialogService::SelectFolder(FolderDialogRequest& request) { return QtSelectFolderDialog(request); }

bool TQtDialogService::ChooseFont(FontDialogRequest& request) { return QtChooseFontDialog(request); }

bool TQtDialogService::ChooseColor(ColorDialogRequest& request) { return QtChooseColorDialog(request); }

bool TQtDialogService::Print(PrintDialogRequest& request) { return ExecuteQtPrintDialog(request); }

bool TQtDialogService::PrinterSetup(PrinterSetupRequest& request) { return ExecuteQtPrinterSetupDialog(request); }

// --- The free functions ----------------------------------------------------------------------------------------

int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags)
{
    return Dialogs().MessageBox(owner, text, caption, flags);
}

int MessageDlgPos(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext, int x, int y)
{
    MessageDlgRequest request;
    request.Text = text;
    request.Type = type;
    request.Caption = MessageDlgCaption(type);
    request.Buttons = buttons;
    request.HelpContext = helpContext;
    request.X = x;
    request.Y = y;
    return Dialogs().MessageDlg(request);
}

int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext)
{
    return MessageDlgPos(text, type, buttons, helpContext, -1, -1);
}

void ShowMessage(const std::string& text)
{
    MessageDlgRequest request;
    request.Text = text;
    request.Type = mtCustom;
    request.Caption = Application ? Application->Title() : std::string();
    request.Buttons = {mbOK};
    Dialogs().MessageDlg(request);
}

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value)
{
    return Dialogs().InputQuery(caption, prompt, value);
}

std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue)
{
    std::string value = defaultValue;
    if (!Dialogs().InputQuery(caption, prompt, value))
        return defaultValue;
    return value;
}
