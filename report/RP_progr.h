#pragma once
// The progress window inside which the report engine builds, prints or exports a report: the work
// runs from a message the window posts to itself before it shows modally, so that it runs inside
// the window's modal loop with the window on screen; its button stops the work.

#include "platform/gui/Form.h"

#include <string>

class TButton;
class TLabel;
class TrpReport;

// The window's own message that starts the work (the first user message + 1).
constexpr UINT CM_BeforeModal = WM_USER + 1;

class TrpProgressForm : public TForm {
    TESS_CLASS(TrpProgressForm, TForm)
public:
    explicit TrpProgressForm(TComponent* AOwner);

    // Keeps the report, posts CM_BeforeModal to the window and shows it modally; returns the modal
    // result. Raises EInvalidOperation while the window is already shown.
    int Show_Modal(TrpReport* report);
    void Dispatch(TMessage& Message) override;

    TLabel* Label1 = nullptr;
    TButton* Button1 = nullptr;

    // Set by the report: the report being processed, its work (called with the window) and the
    // text shown in Label1 before the page number.
    TrpReport* ProgressReport = nullptr;
    TNotifyEvent BeforeModalHandler;
    std::string BaseCaption;

private:
    void CreateComponents();
    // Runs the work; a work that fails closes the window with Cancel before its error goes on.
    void CMBeforeModal();
    void Button1Click();
};

// The engine's one progress window, made when the engine starts and freed when it ends.
extern TrpProgressForm* rpProgressForm;
