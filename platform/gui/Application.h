#pragma once
// The application: the main loop, message pumps, the exception route, the application window
// and its hooks, OnMessage and OnIdle, hints and help.

#include "platform/gui/Form.h"
#include "platform/gui/HintWindow.h"
#include "platform/os/MessageBox.h"

#include <functional>
#include <string>
#include <vector>

using TMessageEvent = std::function<void(TMsg& Msg, bool& Handled)>;
using TExceptionEvent = std::function<void(TObject* Sender, Exception& E)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TShowHintEvent = std::function<void(std::string& HintStr, bool& CanShow, THintInfo& HintInfo)>;
// A hook on the application window's messages: true consumes the message.
using TWindowHook = std::function<bool(TMessage& Message)>;

constexpr WORD HELP_CONTEXT = 1, HELP_QUIT = 2, HELP_INDEX = 3, HELP_CONTENTS = 3, HELP_HELPONHELP = 4,
               HELP_CONTEXTPOPUP = 8, HELP_FINDER = 11;

class TApplication : public TComponent {
    TESS_CLASS(TApplication, TComponent)
public:
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;

    // Creates the QApplication when there is none yet and connects the layer to it: the posted
    // messages, the synchronisation of threads, the exception route and the dialog service.
    void Initialize();
    // True once Initialize has run: windows can be shown from then on.
    bool Initialized() const { return FInitialized; }

    // Constructs a form or data module of class T owned by the application; the first form
    // becomes MainForm.
    template <typename T>
    void CreateForm(T*& reference)
    {
        T* instance = new T(this);
        reference = instance;
        instance->AfterConstruction();
        FormCreated(instance);
    }
    template <typename T>
    void CreateForm(T** reference)
    {
        T* instance = nullptr;
        CreateForm(instance);
        if (reference)
            *reference = instance;
    }

    // Shows the main form and runs until Terminate or the main form closes; then frees every
    // form and data module the application owns, newest first.
    void Run();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    TCustomForm* MainForm() const { return FMainForm; }
    void ClearMainForm() { FMainForm = nullptr; }
    bool ShowMainForm = true;
    // The hidden application window, class "TApplication".
    HWND Handle();
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& value);
    std::string ExeName() const;
    bool Active() const { return FActive; }
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& value);
    TColor HintColor = clInfoBk;
    int HintPause = 500;
    int HintShortPause = 50;
    int HintHidePause = 2500;
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value);
    const THintWindowClass& HintWindowClass() const { return FHintWindowClass; }
    void SetHintWindowClass(THintWindowClass value);
    std::string HelpFile;
    bool UpdateFormatSettings = true;
    bool UpdateMetricSettings = true;
    void* Icon = nullptr;

    // Handles every pending event and message and returns.
    void ProcessMessages();
    // The same without user input: keys, mouse and close requests wait for a later pump.
    void ProcessMessagesExcludingInput();
    // Handles one round of messages, waiting (after OnIdle) when none is pending.
    void HandleMessage();
    // HandleMessage that does not wait once stop() is true.
    void HandleMessageUntil(const std::function<bool()>& stop);
    void Minimize();
    void Restore();
    void BringToFront();
    // Call inside a catch block: EAbort is dropped, others go to OnException or ShowException.
    void HandleException(TObject* Sender);
    void ShowException(const Exception& E);
    int MessageBox(const std::string& text, const std::string& caption, UINT flags = MB_OK);
    bool HelpCommand(WORD command, std::intptr_t data);
    bool HelpContext(int context);
    // Returns a number that UnhookMainWindow takes.
    int HookMainWindow(TWindowHook hook);
    void UnhookMainWindow(int hookId);
    void CancelHint();
    void ActivateHint(TPoint cursorPos);

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TExceptionEvent OnException;
    TIdleEvent OnIdle;
    std::function<bool(WORD Command, std::intptr_t Data, bool& CallHelp)> OnHelp;
    TNotifyEvent OnHint;
    TMessageEvent OnMessage;
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;
    TShowHintEvent OnShowHint;

    // The layer's own entry for exceptions that reached the run-time layer's hook.
    void ExceptionRaised(TObject* Sender, const Exception& E);
    bool FilterMessage(MSG& msg);

private:
    void FormCreated(TComponent* instance);
    void WndProc(TMessage& Message);
    bool Idle();
    void SetActive(bool value);

    bool FInitialized = false;
    bool FTerminated = false;
    bool FActive = false;
    bool FRunning = false;
    TCustomForm* FMainForm = nullptr;
    HWND FHandle = nullptr;
    std::string FTitle;
    std::string FHint;
    bool FShowHint = true;
    THintWindowClass FHintWindowClass;
    struct THook {
        int Id;
        TWindowHook Hook;
    };
    std::vector<THook> FHooks;
    int FNextHookId = 1;
};

extern TApplication* Application;
