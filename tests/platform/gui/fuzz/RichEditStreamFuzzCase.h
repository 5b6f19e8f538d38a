#pragma once
// One fuzz input through a "RichEdit20A" window: streamed in as RTF and as text, then measured
// page after page in a 1440 x 1440 twips page until the end. Every page must advance.

#include "platform/gui/DeviceContext.h"
#include "platform/gui/Form.h"
#include "platform/gui/RichEditApi.h"
#include "platform/gui/WindowHandles.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

class TFuzzRichWindow : public TCustomControl {
    TESS_CLASS(TFuzzRichWindow, TCustomControl)
public:
    explicit TFuzzRichWindow(TComponent* AOwner) : TCustomControl(AOwner) {}

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TCustomControl::CreateParams(Params);
        Params.WinClassName = "RichEdit20A";
        Params.Style |= ES_MULTILINE;
    }
};

struct TFuzzBytes {
    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t At = 0;
};

inline DWORD FuzzRead(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* transferred)
{
    auto* bytes = reinterpret_cast<TFuzzBytes*>(cookie);
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(cb), bytes->Size - bytes->At);
    if (count > 0)
        std::memcpy(buffer, bytes->Data + bytes->At, count);
    bytes->At += count;
    *transferred = static_cast<LONG>(count);
    return 0;
}

inline void RunRichEditStreamFuzzCase(const std::uint8_t* data, std::size_t size)
{
    TForm* form = TForm::Create<TForm>(nullptr);
    auto* control = new TFuzzRichWindow(form);
    control->SetParent(form);
    control->SetBounds(0, 0, 300, 200);
    HWND window = control->Handle();
    HDC screen = GetDC(nullptr);
    for (UINT format : {SF_RTF, SF_TEXT}) {
        TFuzzBytes bytes{data, size};
        EDITSTREAM stream;
        stream.dwCookie = reinterpret_cast<DWORD_PTR>(&bytes);
        stream.pfnCallback = FuzzRead;
        SendMessageA(window, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
        const auto length = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
        int start = 0;
        while (start < length) {
            FORMATRANGE range;
            range.hdc = range.hdcTarget = screen;
            range.rc = range.rcPage = RECT{0, 0, 1440, 1440};
            range.chrg = {start, -1};
            const auto next = static_cast<int>(SendMessageA(window, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&range)));
            if (next <= start)
                std::abort();
            start = next;
        }
        SendMessageA(window, EM_FORMATRANGE, 0, 0);
    }
    ReleaseDC(nullptr, screen);
    TComponent::Free(form);
}
