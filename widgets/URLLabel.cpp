#include "widgets/URLLabel.h"

#include "platform/gui/Form.h"
#include "platform/os/Shell.h"

TURLLabel::TURLLabel(TComponent* AOwner) : TLabel(AOwner)
{
    Font()->SetColor(clBlue);
    Font()->SetStyle({fsUnderline});
    SetCaption("Click me!");
    // A reserved example address that belongs to nobody.
    URL = "https://www.example.com/";
}

void TURLLabel::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_MOUSEENTER:
        Font()->SetColor(FPressed ? ColorClick : ColorMoveOver);
        break;
    case CM_MOUSELEAVE:
        Font()->SetColor(ColorNormal);
        break;
    default:
        break;
    }
    TLabel::Dispatch(Message);
}

void TURLLabel::MouseDown(TMouseButton, TShiftState, int, int)
{
    FPressed = true;
    Font()->SetColor(ColorClick);
}

void TURLLabel::MouseUp(TMouseButton, TShiftState, int X, int Y)
{
    if (X < 0 || Y < 0 || X > Width() || Y > Height()) {
        Font()->SetColor(ColorNormal);
    } else {
        if (FPressed) {
            TCustomForm* form = GetParentForm(this);
            HWND owner = form && form->HandleAllocated() ? form->Handle() : nullptr;
            const std::string target = URL.empty() ? Caption() : URL;
            // The result is not examined: a link that cannot be opened does nothing.
            ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, SW_SHOW);
        }
        Font()->SetColor(ColorMoveOver);
    }
    FPressed = false;
}
