// The extended rich edit's embedded-object entry points. The layer's window has no object
// interface (EM_GETOLEINTERFACE gives none) and refuses the callback, so every entry point takes
// the path it takes without one: nothing is shown, nothing is inserted.

#include "controls/RichEditOle.h"

#include "platform/gui/Form.h"

// --- TRichEditOleCallback -------------------------------------------------------------------------

HRESULT TRichEditOleCallback::GetInPlaceContext() const
{
    // In-place activation needs AllowInPlace, a parent form and its frame; this layer's forms
    // offer no frame for object servers.
    return E_NOTIMPL;
}

HRESULT TRichEditOleCallback::ShowContainerUI(bool Show)
{
    if (GetParentForm(FRichEdit) == nullptr)
        return E_NOTIMPL;
    FRichEdit->SetUIActive(!Show);
    return S_OK;
}

// --- The control's entry points ---------------------------------------------------------------------
// Each dialog needs the window's object interface before it shows anything; without one it
// answers false, as it does on a system without object support.

bool TExCustomRichEdit::InsertObjectDialog() { return false; }

bool TExCustomRichEdit::PasteSpecialDialog() { return false; }

bool TExCustomRichEdit::ObjectPropertiesDialog() { return false; }

void TExCustomRichEdit::CloseObjects()
{
    // Objects read from RTF stay in the text as single characters; none is ever open.
}

void TExCustomRichEdit::SetUIActive(bool /*Active*/)
{
    // No object of this control is ever active in place: the form and the focus stay as they are.
}

TPopupMenu* TExCustomRichEdit::GetPopupMenu()
{
    // A verb menu needs a selected object and the object interface; without them the ordinary menu.
    return PopupMenu;
}
