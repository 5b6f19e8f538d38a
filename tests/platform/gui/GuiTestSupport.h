#pragma once
// Shared pieces of the visual layer's tests: the application under Qt's offscreen platform, the
// scripted dialog service, a recording custom control and message pumps.

#include "platform/gui/Application.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/gui/WinControl.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

class QWidget;

// Installs a fresh scripted dialog service for the lifetime of the object.
class TScriptedScope {
public:
    TScriptedScope();
    ~TScriptedScope();
    TScriptedDialogs& Dialogs() { return *FService; }

private:
    TScriptedDialogs* FService;
    std::unique_ptr<IDialogService> FPrevious;
};

// A custom control that records the messages it sees in WndProc.
class TRecorder : public TCustomControl {
    TESS_CLASS(TRecorder, TCustomControl)
public:
    explicit TRecorder(TComponent* AOwner) : TCustomControl(AOwner) {}

    struct TEntry {
        UINT Msg;
        WPARAM WParam;
        LPARAM LParam;
    };
    std::vector<TEntry> Log;
    // Messages recorded (none until WatchOnly is called); clears the log.
    void WatchOnly(std::set<UINT> messages)
    {
        Watch = std::move(messages);
        Log.clear();
    }
    std::set<UINT> Watch;
    LRESULT DlgCode = 0;
    TColor PaintColor = clNone;
    int PaintCount = 0;

    void WndProc(TMessage& Message) override;
    std::vector<UINT> Messages() const;
    void Clear() { Log.clear(); }

protected:
    void Paint() override;
};

// The pixel value a grabbed picture holds for a colour, without its alpha.
unsigned PictureRgb(TColor color);

// Processes messages for about ms milliseconds.
void Pump(int ms);
// Processes messages until condition holds or timeoutMs passes; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 3000);
QWidget* Widget(TControl* control);
// Shows the form and makes it the active window.
void ShowAndActivate(TCustomForm* form);
// The folder for screenshots: TESS_SCREENSHOT_DIR, else screenshots/ in the build folder.
std::string ScreenshotDir();

// Runs a shell command (the PDF tools that check printed files) and returns what it printed,
// standard error included.
std::string RunCommand(const std::string& command);

// The input messages a recorder should watch in key and mouse tests.
std::set<UINT> InputMessages();
