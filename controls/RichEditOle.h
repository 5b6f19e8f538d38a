#pragma once
// The extended rich edit's callback for embedded objects. The layer's window has no objects: it
// never registers the callback nor asks it anything, so the answers below stand for what the
// control would tell a window that did.

#include "controls/ExRichEdit.h"

class TRichEditOleCallback : public TObject {
    TESS_CLASS(TRichEditOleCallback, TObject)
public:
    explicit TRichEditOleCallback(TExCustomRichEdit* RichEdit) : FRichEdit(RichEdit) {}

    // No compound storage: nothing to give.
    HRESULT GetNewStorage() const { return E_NOTIMPL; }
    // In-place activation needs a frame form and AllowInPlace.
    HRESULT GetInPlaceContext() const;
    HRESULT ShowContainerUI(bool Show);
    HRESULT QueryInsertObject() const { return S_OK; }
    HRESULT DeleteObject() const { return S_OK; }
    HRESULT QueryAcceptData() const { return S_OK; }
    HRESULT ContextSensitiveHelp() const { return S_OK; }
    HRESULT GetClipboardData() const { return E_NOTIMPL; }
    HRESULT GetDragDropEffect() const { return E_NOTIMPL; }
    HRESULT GetContextMenu() const { return E_NOTIMPL; }

private:
    TExCustomRichEdit* FRichEdit;
};
