#pragma once
// A component that lets a form handle the application's and the screen's events like those of
// its own components, and mirrors the application's hint and settings switches. Several may exist
// at once: one shared dispatcher owns the application's event slots while any exists and calls
// the components from the last created to the first.

#include "platform/gui/Application.h"
#include "platform/gui/Canvas.h"

#include <functional>
#include <memory>
#include <string>

using THelpEvent = std::function<bool(WORD Command, std::intptr_t Data, bool& CallHelp)>;

class TAppEvents : public TComponent {
    TESS_CLASS(TAppEvents, TComponent)
public:
    explicit TAppEvents(TComponent* AOwner);
    ~TAppEvents() override;

    void Loaded() override;

    // Whether dispatch goes on past this component to the ones created before it and to the
    // application's earlier handler.
    bool Chained = true;

    // Mirrors of the application's properties: at run time they read and write the application.
    TColor HintColor() const;
    void SetHintColor(TColor Value);
    int HintPause() const;
    void SetHintPause(int Value);
    bool ShowHint() const;
    void SetShowHint(bool Value);
    int HintShortPause() const;
    void SetHintShortPause(int Value);
    int HintHidePause() const;
    void SetHintHidePause(int Value);
    bool ShowMainForm() const;
    void SetShowMainForm(bool Value);
    bool UpdateFormatSettings() const;
    void SetUpdateFormatSettings(bool Value);
    bool UpdateMetricSettings() const;
    void SetUpdateMetricSettings(bool Value);

    // The canvas OnPaintIcon draws on; made on first request.
    TCanvas* Canvas();

    TNotifyEvent OnPaintIcon;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TExceptionEvent OnException;
    TIdleEvent OnIdle;
    THelpEvent OnHelp;
    TNotifyEvent OnHint;
    TMessageEvent OnMessage;
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;
    TShowHintEvent OnShowHint;
    TNotifyEvent OnSettingsChanged;
    TNotifyEvent OnActiveControlChange;
    TNotifyEvent OnActiveFormChange;

protected:
    virtual void PaintIcon();
    // Sees every message of the application window; true consumes it.
    virtual bool MessageHook(TMessage& Msg);
    virtual void SettingsChanged();

private:
    bool Designing() const { return ComponentState().Contains(csDesigning); }
    void UpdateAppProps();

    TColor FHintColor = clInfoBk;
    int FHintPause = 500;
    bool FShowHint = true;
    std::unique_ptr<TCanvas> FCanvas;
    bool FUpdateFormatSettings = true;
    int FHintShortPause = 50;
    int FHintHidePause = 2500;
    bool FShowMainForm = true;
    bool FUpdateMetricSettings = true;
    int FHookId = 0;
};
