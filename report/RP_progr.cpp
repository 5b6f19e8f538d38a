#include "report/RP_progr.h"

#include "report/RP_Utils.h"
#include "report/rpReport.h"
#include "report/rpResources.h"

#include "platform/gui/Button.h"
#include "platform/gui/Label.h"
#include "platform/gui/MessageQueue.h"

TrpProgressForm* rpProgressForm = nullptr;

TrpProgressForm::TrpProgressForm(TComponent* AOwner) : TForm(AOwner)
{
    SetName("rpProgressForm");
    SetBorderStyle(bsDialog);
    SetBorderIcons({});
    Position = poScreenCenter;
    SetClientWidth(250);
    SetClientHeight(80);
    CreateComponents();
}

void TrpProgressForm::CreateComponents()
{
    Label1 = rpCreateControl<TLabel>(this, this, "Label1", Bounds(6, 16, 237, 13));
    Label1->SetAutoSize(false);
    Label1->SetAlignment(taCenter);
    Button1 = rpCreateControl<TButton>(this, this, "Button1", Bounds(88, 44, 75, 25));
    Button1->SetCancel(true);
    Button1->SetModalResult(mrCancel);
    Button1->SetCaption(rpLoadStr(55001));
    Button1->OnClick = [this](TObject*) { Button1Click(); };
}

int TrpProgressForm::Show_Modal(TrpReport* report)
{
    if (Visible() || Modal())
        RAISE(EInvalidOperation("Cannot make a visible window modal"));
    ProgressReport = report;
    PostMessage(Handle(), CM_BeforeModal, 0, 0);
    const int result = ShowModal();
    ProgressReport = nullptr;
    return result;
}

void TrpProgressForm::Dispatch(TMessage& Message)
{
    if (Message.Msg == CM_BeforeModal) {
        CMBeforeModal();
        return;
    }
    TForm::Dispatch(Message);
}

void TrpProgressForm::CMBeforeModal()
{
    // A message left over from a window closed before it arrived starts nothing.
    if (!Modal() || !BeforeModalHandler)
        return;
    try {
        BeforeModalHandler(this);
    } catch (...) {
        SetModalResult(mrCancel);
        throw;
    }
}

void TrpProgressForm::Button1Click()
{
    if (ProgressReport)
        ProgressReport->Terminated = true;
    SetModalResult(mrCancel);
}
