#include "platform/gui/Application.h"

#include "platform/gui/DialogService.h"
#include "platform/gui/FontEngine.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/PublishedProperties.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/EventLoop.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/gui/private/HintManager.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/os/Libraries.h"
#include "platform/rtl/Files.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

#include <algorithm>

TApplication* Application = new TApplication(nullptr);

namespace {

int qtArgc = 1;
char qtProgram[] = "tessellarium";
char* qtArgv[] = {qtProgram, nullptr};

// The Qt palette of the classic desktop, from the layer's system colours: the 3-D edges Qt draws
// for edits, lists, scroll bars and tabs take the same four shades as the layer's own edges.
QPalette ApplicationClassicPalette()
{
    QPalette palette;
    const auto set = [&palette](QPalette::ColorRole role, TColor color) { palette.setColor(role, ToQColor(color)); };
    set(QPalette::Window, clBtnFace);
    set(QPalette::WindowText, clWindowText);
    set(QPalette::Base, clWindow);
    set(QPalette::AlternateBase, clBtnFace);
    set(QPalette::Text, clWindowText);
    set(QPalette::Button, clBtnFace);
    set(QPalette::ButtonText, clBtnText);
    set(QPalette::BrightText, clBtnHighlight);
    set(QPalette::Light, clBtnHighlight);
    set(QPalette::Midlight, cl3DLight);
    set(QPalette::Mid, clBtnShadow);
    set(QPalette::Dark, clBtnShadow);
    set(QPalette::Shadow, cl3DDkShadow);
    set(QPalette::Highlight, clHighlight);
    set(QPalette::HighlightedText, clHighlightText);
    set(QPalette::ToolTipBase, clInfoBk);
    set(QPalette::ToolTipText, clInfoText);
    set(QPalette::PlaceholderText, clGrayText);
    set(QPalette::Link, clHotLight);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, ToQColor(clGrayText));
    return palette;
}

// One look for every control Qt paints: the classic "Windows" style (sunken 2-pixel edges,
// square boxes, dotted focus rectangles) in the system colours.
void ApplyClassicLook(QApplication* app)
{
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        app->setStyle(style);
    app->setPalette(ApplicationClassicPalette());
}

} // namespace

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner)
{
    FTitle = "Tessellarium";
    RegisterPublishedProperties();
}

TApplication::~TApplication() = default;

void TApplication::Initialize()
{
    if (FInitialized)
        return;
    FInitialized = true;
    if (!QCoreApplication::instance())
        new QApplication(qtArgc, qtArgv);
    SetGuiThread();
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        ApplyClassicLook(app);
    EventLoop::Initialize();
    InstallFocusTracking();
    SetPostedMessageFilter([this](MSG& msg) { return FilterMessage(msg); });
    EventLoop::InputFilter() = [this](MSG& msg) { return FilterMessage(msg); };
    SetQuitHandler([this](int) { Terminate(); });
    SetApplicationExceptionHandler([this](TObject* Sender, const Exception& E) { ExceptionRaised(Sender, E); });
    Dialogs();
    InstallShellIconFactory();
    // The font list needs the running application's font database.
    if (Screen)
        Screen->Fonts = ScreenFonts();
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        QObject::connect(app, &QGuiApplication::applicationStateChanged, app,
                         [this](Qt::ApplicationState state) { SetActive(state == Qt::ApplicationActive); });
    const std::string exe = ExeName();
    if (!exe.empty()) {
        std::string name = ExtractFileName(exe);
        FTitle = ChangeFileExt(name, "");
    }
}

void TApplication::SetActive(bool value)
{
    if (value == FActive)
        return;
    FActive = value;
    try {
        if (value && OnActivate)
            OnActivate(this);
        if (!value && OnDeactivate)
            OnDeactivate(this);
    } catch (...) {
        HandleException(this);
    }
}

void TApplication::FormCreated(TComponent* instance)
{
    if (!FMainForm)
        if (auto* form = dynamic_cast<TCustomForm*>(instance))
            FMainForm = form;
}

HWND TApplication::Handle()
{
    if (!FHandle) {
        auto record = std::make_shared<TWindowRecord>();
        record->ClassName = "TApplication";
        record->Text = FTitle;
        record->Proc = WNDPROC([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            TMessage Message{message, wParam, lParam, 0};
            try {
                WndProc(Message);
            } catch (...) {
                HandleException(this);
            }
            return Message.Result;
        });
        FHandle = HandleTable::Allocate(record);
    }
    return FHandle;
}

void TApplication::WndProc(TMessage& Message)
{
    // Most recently added hook first; a hook returning true consumes the message.
    for (auto it = FHooks.rbegin(); it != FHooks.rend(); ++it) {
        TWindowHook hook = it->Hook;
        if (hook && hook(Message))
            return;
    }
    switch (Message.Msg) {
    case WM_WININICHANGE:
        for (int i = 0; Screen && i < Screen->CustomFormCount(); ++i)
            Screen->CustomForms(i)->Perform(CM_WININICHANGE, Message.WParam, Message.LParam);
        return;
    case WM_SYSCOLORCHANGE:
        for (int i = 0; Screen && i < Screen->CustomFormCount(); ++i)
            Screen->CustomForms(i)->Perform(CM_SYSCOLORCHANGE, 0, 0);
        return;
    case WM_ACTIVATEAPP:
        SetActive(Message.WParam != 0);
        return;
    case WM_SYSCOMMAND:
        switch (Message.WParam & 0xFFF0) {
        case SC_MINIMIZE:
            Minimize();
            return;
        case SC_RESTORE:
            Restore();
            return;
        default:
            break;
        }
        break;
    case WM_CLOSE:
        if (FMainForm)
            FMainForm->Close();
        return;
    default:
        break;
    }
    Message.Result = DefWindowProcA(FHandle, Message.Msg, Message.WParam, Message.LParam);
}

int TApplication::HookMainWindow(TWindowHook hook)
{
    const int id = FNextHookId++;
    FHooks.push_back({id, std::move(hook)});
    return id;
}

void TApplication::UnhookMainWindow(int hookId)
{
    FHooks.erase(std::remove_if(FHooks.begin(), FHooks.end(), [hookId](const THook& h) { return h.Id == hookId; }),
                 FHooks.end());
}

void TApplication::SetTitle(const std::string& value)
{
    FTitle = value;
    if (FHandle)
        if (auto record = HandleTable::Find(FHandle))
            record->Text = value;
}

std::string TApplication::ExeName() const { return GetModuleFileName(nullptr); }

void TApplication::SetHint(const std::string& value)
{
    if (value == FHint)
        return;
    FHint = value;
    if (OnHint) {
        try {
            OnHint(this);
        } catch (...) {
            HandleApplicationException(this);
        }
    }
}

void TApplication::SetShowHint(bool value)
{
    if (value == FShowHint)
        return;
    FShowHint = value;
    HintManager::Cancel();
    HintManager::Forget(nullptr);
}

void TApplication::SetHintWindowClass(THintWindowClass value)
{
    FHintWindowClass = std::move(value);
    HintManager::Forget(nullptr);
}

bool TApplication::FilterMessage(MSG& msg)
{
    if (!OnMessage)
        return false;
    bool handled = false;
    OnMessage(msg, handled);
    return handled;
}

void TApplication::Run()
{
    Initialize();
    FRunning = true;
    try {
        if (FMainForm && ShowMainForm)
            FMainForm->Show();
        while (!FTerminated)
            HandleMessageUntil([this] { return FTerminated; });
    } catch (...) {
        FRunning = false;
        throw;
    }
    FRunning = false;
    DestroyComponents();
}

void TApplication::Terminate()
{
    FTerminated = true;
    EventLoop::Wake();
}

bool TApplication::Idle()
{
    bool done = true;
    if (OnIdle) {
        try {
            OnIdle(this, done);
        } catch (...) {
            HandleException(this);
        }
    }
    return done;
}

void TApplication::ProcessMessages()
{
    CheckGuiThread();
    EventLoop::ProcessEvents(false);
    DispatchPostedMessages();
    EventLoop::ServeSynchronize();
}

void TApplication::ProcessMessagesExcludingInput()
{
    CheckGuiThread();
    ::ProcessMessagesExcludingInput();
}

void TApplication::HandleMessage()
{
    HandleMessageUntil([] { return false; });
}

void TApplication::HandleMessageUntil(const std::function<bool()>& stop)
{
    CheckGuiThread();
    EventLoop::ProcessEvents(false);
    if (stop())
        return;
    const bool done = Idle();
    if (stop() || !done)
        return;
    if (PostedMessageCount() == 0)
        EventLoop::ProcessEvents(true);
}

void TApplication::Minimize()
{
    if (FMainForm)
        if (QWidget* widget = WidgetOf(FMainForm))
            widget->showMinimized();
    if (OnMinimize)
        OnMinimize(this);
}

void TApplication::Restore()
{
    if (FMainForm)
        if (QWidget* widget = WidgetOf(FMainForm))
            widget->showNormal();
    if (OnRestore)
        OnRestore(this);
}

void TApplication::BringToFront()
{
    TCustomForm* form = Screen && Screen->ActiveCustomForm() ? Screen->ActiveCustomForm() : FMainForm;
    if (QWidget* widget = WidgetOf(form)) {
        RaiseWidget(widget);
        widget->activateWindow();
    }
}

void TApplication::HandleException(TObject* Sender) { HandleApplicationException(Sender); }

void TApplication::ExceptionRaised(TObject* Sender, const Exception& E)
{
    if (E.InheritsFrom("EAbort"))
        return;
    try {
        if (OnException)
            OnException(Sender, const_cast<Exception&>(E));
        else
            ShowException(E);
    } catch (...) {
        // An exception inside the handler itself has nowhere left to go.
    }
}

void TApplication::ShowException(const Exception& E)
{
    std::string text = E.Message;
    if (!text.empty() && text.back() != '.')
        text += '.';
    MessageBox(text, FTitle, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags)
{
    HWND owner = nullptr;
    if (Screen && Screen->ActiveCustomForm() && Screen->ActiveCustomForm()->HandleAllocated())
        owner = Screen->ActiveCustomForm()->Handle();
    return Dialogs().MessageBox(owner, text, caption, flags);
}

bool TApplication::HelpCommand(WORD command, std::intptr_t data)
{
    if (!OnHelp)
        return false;
    bool callHelp = true;
    return OnHelp(command, data, callHelp);
}

bool TApplication::HelpContext(int context) { return HelpCommand(HELP_CONTEXT, context); }

void TApplication::CancelHint() { HintManager::Cancel(); }

void TApplication::ActivateHint(TPoint cursorPos)
{
    if (TControl* control = FindDragTarget(cursorPos, false))
        HintManager::MouseMoved(control, cursorPos);
}
