#include "controls/AppEvent.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WindowFunctions.h"

#include <algorithm>
#include <vector>

namespace {

// The one dispatcher behind every TAppEvents: it takes over the application's and the screen's
// event slots when the first component registers and calls the components newest first.
class TAppEventList {
public:
    void AddEvents(TAppEvents* App);
    void RemoveEvents(TAppEvents* App);

private:
    void SaveAndHook();
    void ClearEvents();

    int Count() const { return static_cast<int>(FAppEvents.size()); }
    // The component at index i, or nullptr when a handler removed components meanwhile.
    TAppEvents* At(int i) const { return i < Count() ? FAppEvents[static_cast<std::size_t>(i)] : nullptr; }

    // Walks the components from the last registered to the first; call returns whether the walk
    // goes on after that component (its own stop rules), then the component's Chained decides.
    // True when the walk passed every component.
    template <typename Call>
    bool Walk(Call call)
    {
        for (int i = Count() - 1; i >= 0; --i) {
            TAppEvents* app = At(i);
            if (!app)
                continue;
            if (!call(app))
                return false;
            if (!app->Chained)
                return false;
        }
        return true;
    }

    void NotifyEvent(TNotifyEvent TAppEvents::*event, const TNotifyEvent& saved, TObject* Sender)
    {
        bool passed = Walk([&](TAppEvents* app) {
            if (app->*event)
                (app->*event)(Sender);
            return true;
        });
        if (passed && saved)
            saved(Sender);
    }

    void DoActivate(TObject* Sender) { NotifyEvent(&TAppEvents::OnActivate, FOnActivate, Sender); }
    void DoDeactivate(TObject* Sender) { NotifyEvent(&TAppEvents::OnDeactivate, FOnDeactivate, Sender); }
    void DoHint(TObject* Sender) { NotifyEvent(&TAppEvents::OnHint, FOnHint, Sender); }
    void DoMinimize(TObject* Sender) { NotifyEvent(&TAppEvents::OnMinimize, FOnMinimize, Sender); }
    void DoRestore(TObject* Sender) { NotifyEvent(&TAppEvents::OnRestore, FOnRestore, Sender); }
    void DoActiveControlChange(TObject* Sender)
    {
        NotifyEvent(&TAppEvents::OnActiveControlChange, FOnActiveControlChange, Sender);
    }
    void DoActiveFormChange(TObject* Sender)
    {
        NotifyEvent(&TAppEvents::OnActiveFormChange, FOnActiveFormChange, Sender);
    }
    void DoIdle(TObject* Sender, bool& Done);
    void DoException(TObject* Sender, Exception& E);
    bool DoHelp(WORD Command, std::intptr_t Data, bool& CallHelp);
    void DoMessage(TMsg& Msg, bool& Handled);
    void DoShowHint(std::string& HintStr, bool& CanShow, THintInfo& HintInfo);

    std::vector<TAppEvents*> FAppEvents;
    bool FHooked = false;
    TNotifyEvent FOnActivate;
    TNotifyEvent FOnDeactivate;
    TExceptionEvent FOnException;
    TIdleEvent FOnIdle;
    THelpEvent FOnHelp;
    TNotifyEvent FOnHint;
    TMessageEvent FOnMessage;
    TNotifyEvent FOnMinimize;
    TNotifyEvent FOnRestore;
    TShowHintEvent FOnShowHint;
    TNotifyEvent FOnActiveControlChange;
    TNotifyEvent FOnActiveFormChange;
};

std::unique_ptr<TAppEventList> AppList;

void TAppEventList::AddEvents(TAppEvents* App)
{
    if (!App || std::find(FAppEvents.begin(), FAppEvents.end(), App) != FAppEvents.end())
        return;
    FAppEvents.push_back(App);
    if (App->ComponentState().Contains(csDesigning))
        return;
    if (FAppEvents.size() == 1)
        SaveAndHook();
}

void TAppEventList::RemoveEvents(TAppEvents* App)
{
    auto it = std::find(FAppEvents.begin(), FAppEvents.end(), App);
    if (it != FAppEvents.end())
        FAppEvents.erase(it);
    // The saved handlers are not put back: the last component leaves the slots empty.
    if (!App->ComponentState().Contains(csDesigning) && FAppEvents.empty() && FHooked)
        ClearEvents();
}

void TAppEventList::SaveAndHook()
{
    if (!Application)
        return;
    FOnActivate = Application->OnActivate;
    FOnDeactivate = Application->OnDeactivate;
    FOnException = Application->OnException;
    FOnIdle = Application->OnIdle;
    FOnHelp = Application->OnHelp;
    FOnHint = Application->OnHint;
    FOnMessage = Application->OnMessage;
    FOnMinimize = Application->OnMinimize;
    FOnRestore = Application->OnRestore;
    FOnShowHint = Application->OnShowHint;
    Application->OnActivate = [this](TObject* Sender) { DoActivate(Sender); };
    Application->OnDeactivate = [this](TObject* Sender) { DoDeactivate(Sender); };
    Application->OnException = [this](TObject* Sender, Exception& E) { DoException(Sender, E); };
    Application->OnIdle = [this](TObject* Sender, bool& Done) { DoIdle(Sender, Done); };
    Application->OnHelp = [this](WORD Command, std::intptr_t Data, bool& CallHelp) {
        return DoHelp(Command, Data, CallHelp);
    };
    Application->OnHint = [this](TObject* Sender) { DoHint(Sender); };
    Application->OnMessage = [this](TMsg& Msg, bool& Handled) { DoMessage(Msg, Handled); };
    Application->OnMinimize = [this](TObject* Sender) { DoMinimize(Sender); };
    Application->OnRestore = [this](TObject* Sender) { DoRestore(Sender); };
    Application->OnShowHint = [this](std::string& HintStr, bool& CanShow, THintInfo& HintInfo) {
        DoShowHint(HintStr, CanShow, HintInfo);
    };
    if (Screen) {
        FOnActiveControlChange = Screen->OnActiveControlChange;
        FOnActiveFormChange = Screen->OnActiveFormChange;
        Screen->OnActiveControlChange = [this](TObject* Sender) { DoActiveControlChange(Sender); };
        Screen->OnActiveFormChange = [this](TObject* Sender) { DoActiveFormChange(Sender); };
    }
    FHooked = true;
}

void TAppEventList::ClearEvents()
{
    if (Application) {
        Application->OnActivate = nullptr;
        Application->OnDeactivate = nullptr;
        Application->OnException = nullptr;
        Application->OnIdle = nullptr;
        Application->OnHelp = nullptr;
        Application->OnHint = nullptr;
        Application->OnMessage = nullptr;
        Application->OnMinimize = nullptr;
        Application->OnRestore = nullptr;
        Application->OnShowHint = nullptr;
    }
    if (Screen) {
        Screen->OnActiveControlChange = nullptr;
        Screen->OnActiveFormChange = nullptr;
    }
}

void TAppEventList::DoIdle(TObject* Sender, bool& Done)
{
    bool passed = Walk([&](TAppEvents* app) {
        if (app->OnIdle)
            app->OnIdle(Sender, Done);
        return true;
    });
    if (passed && FOnIdle)
        FOnIdle(Sender, Done);
}

void TAppEventList::DoException(TObject* Sender, Exception& E)
{
    bool called = false;
    bool passed = Walk([&](TAppEvents* app) {
        if (app->OnException) {
            app->OnException(Sender, E);
            called = true;
        }
        return true;
    });
    if (passed && FOnException) {
        FOnException(Sender, E);
        called = true;
    }
    if (!called && Application)
        Application->ShowException(E);
}

bool TAppEventList::DoHelp(WORD Command, std::intptr_t Data, bool& CallHelp)
{
    bool result = false;
    bool passed = Walk([&](TAppEvents* app) {
        if (app->OnHelp)
            result = app->OnHelp(Command, Data, CallHelp);
        return true;
    });
    if (passed && FOnHelp)
        result = FOnHelp(Command, Data, CallHelp);
    return result;
}

void TAppEventList::DoMessage(TMsg& Msg, bool& Handled)
{
    bool passed = Walk([&](TAppEvents* app) {
        if (app->OnMessage)
            app->OnMessage(Msg, Handled);
        return !Handled;
    });
    if (passed && FOnMessage)
        FOnMessage(Msg, Handled);
}

void TAppEventList::DoShowHint(std::string& HintStr, bool& CanShow, THintInfo& HintInfo)
{
    bool passed = Walk([&](TAppEvents* app) {
        if (app->OnShowHint)
            app->OnShowHint(HintStr, CanShow, HintInfo);
        return true;
    });
    if (passed && FOnShowHint)
        FOnShowHint(HintStr, CanShow, HintInfo);
}

TAppEventList& AppEventList()
{
    if (!AppList)
        AppList = std::make_unique<TAppEventList>();
    return *AppList;
}

} // namespace

TAppEvents::TAppEvents(TComponent* AOwner) : TComponent(AOwner)
{
    AppEventList();
    if (!Designing() && Application)
        FHookId = Application->HookMainWindow([this](TMessage& Msg) { return MessageHook(Msg); });
    AppEventList().AddEvents(this);
}

TAppEvents::~TAppEvents()
{
    if (!Designing() && Application && FHookId != 0)
        Application->UnhookMainWindow(FHookId);
    AppEventList().RemoveEvents(this);
}

void TAppEvents::Loaded()
{
    TComponent::Loaded();
    UpdateAppProps();
}

void TAppEvents::UpdateAppProps()
{
    if (Designing() || !Application)
        return;
    Application->HintColor = FHintColor;
    Application->HintPause = FHintPause;
    Application->SetShowHint(FShowHint);
    Application->HintShortPause = FHintShortPause;
    Application->HintHidePause = FHintHidePause;
    Application->ShowMainForm = FShowMainForm;
    Application->UpdateFormatSettings = FUpdateFormatSettings;
    Application->UpdateMetricSettings = FUpdateMetricSettings;
}

TCanvas* TAppEvents::Canvas()
{
    if (!FCanvas)
        FCanvas = std::make_unique<TCanvas>();
    return FCanvas.get();
}

// The getters read the application at run time, so code that changed it directly is seen.
TColor TAppEvents::HintColor() const { return Designing() || !Application ? FHintColor : Application->HintColor; }
int TAppEvents::HintPause() const { return Designing() || !Application ? FHintPause : Application->HintPause; }
bool TAppEvents::ShowHint() const { return Designing() || !Application ? FShowHint : Application->ShowHint(); }
int TAppEvents::HintShortPause() const
{
    return Designing() || !Application ? FHintShortPause : Application->HintShortPause;
}
int TAppEvents::HintHidePause() const
{
    return Designing() || !Application ? FHintHidePause : Application->HintHidePause;
}
bool TAppEvents::ShowMainForm() const
{
    return Designing() || !Application ? FShowMainForm : Application->ShowMainForm;
}
bool TAppEvents::UpdateFormatSettings() const
{
    return Designing() || !Application ? FUpdateFormatSettings : Application->UpdateFormatSettings;
}
bool TAppEvents::UpdateMetricSettings() const
{
    return Designing() || !Application ? FUpdateMetricSettings : Application->UpdateMetricSettings;
}

void TAppEvents::SetHintColor(TColor Value)
{
    FHintColor = Value;
    if (!Designing() && Application)
        Application->HintColor = Value;
}

void TAppEvents::SetHintPause(int Value)
{
    FHintPause = Value;
    if (!Designing() && Application)
        Application->HintPause = Value;
}

void TAppEvents::SetShowHint(bool Value)
{
    FShowHint = Value;
    if (!Designing() && Application)
        Application->SetShowHint(Value);
}

void TAppEvents::SetHintShortPause(int Value)
{
    FHintShortPause = Value;
    if (!Designing() && Application)
        Application->HintShortPause = Value;
}

void TAppEvents::SetHintHidePause(int Value)
{
    FHintHidePause = Value;
    if (!Designing() && Application)
        Application->HintHidePause = Value;
}

void TAppEvents::SetShowMainForm(bool Value)
{
    FShowMainForm = Value;
    if (!Designing() && Application)
        Application->ShowMainForm = Value;
}

void TAppEvents::SetUpdateFormatSettings(bool Value)
{
    FUpdateFormatSettings = Value;
    if (!Designing() && Application)
        Application->UpdateFormatSettings = Value;
}

void TAppEvents::SetUpdateMetricSettings(bool Value)
{
    FUpdateMetricSettings = Value;
    if (!Designing() && Application)
        Application->UpdateMetricSettings = Value;
}

bool TAppEvents::MessageHook(TMessage& Msg)
{
    switch (Msg.Msg) {
    case WM_PAINT:
        if (OnPaintIcon && Application && IsIconic(Application->Handle())) {
            PaintIcon();
            return true;
        }
        return false;
    case WM_WININICHANGE:
        try {
            SettingsChanged();
        } catch (...) {
            if (Application)
                Application->HandleException(this);
        }
        return false;
    default:
        return false;
    }
}

void TAppEvents::PaintIcon()
{
    HWND window = Application->Handle();
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    try {
        FCanvas = std::make_unique<TCanvas>();
        try {
            FCanvas->SetHandle(paint.hdc);
            FCanvas->Brush()->SetColor(clBackground);
            if (paint.fErase)
                FCanvas->FillRect(paint.rcPaint);
            if (OnPaintIcon)
                OnPaintIcon(this);
        } catch (...) {
            FCanvas.reset();
            throw;
        }
        FCanvas.reset();
    } catch (...) {
        EndPaint(window, &paint);
        throw;
    }
    EndPaint(window, &paint);
}

void TAppEvents::SettingsChanged()
{
    if (OnSettingsChanged)
        OnSettingsChanged(this);
}
