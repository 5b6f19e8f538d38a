#include "foundation/ScreenCapture.h"

#include "platform/gui/Application.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/RasterOps.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/rtl/Threads.h"

namespace ScreenCapture {

constexpr int VociPaletteSistema = 256;

// Restores the application on the way out of a capture that minimised it, whatever happened.
class TRipristinoApplicazione {
public:
    explicit TRipristinoApplicazione(bool attivo) : FAttivo(attivo)
    {
        if (FAttivo && Application != nullptr) {
            Application->Minimize();
            Application->ProcessMessages();
        }
    }
    ~TRipristinoApplicazione()
    {
        if (!FAttivo || Application == nullptr)
            return;
        try {
            Application->Restore();
        } catch (...) {
        }
    }
    TRipristinoApplicazione(const TRipristinoApplicazione&) = delete;
    TRipristinoApplicazione& operator=(const TRipristinoApplicazione&) = delete;

private:
    bool FAttivo;
};

// The desktop's device context, released with the object.
class TContestoDesktop {
public:
    TContestoDesktop() : Finestra(GetDesktopWindow()), Contesto(GetDC(Finestra)) {}
    ~TContestoDesktop()
    {
        if (Contesto != nullptr)
            ReleaseDC(Finestra, Contesto);
    }
    TContestoDesktop(const TContestoDesktop&) = delete;
    TContestoDesktop& operator=(const TContestoDesktop&) = delete;

    HWND Finestra;
    HDC Contesto;
};

} // namespace ScreenCapture

TScreenCapture::TScreenCapture(TComponent* owner) : TComponent(owner) {}

TScreenCapture::~TScreenCapture() = default;

const std::string& TScreenCapture::Version() const
{
    static const std::string versione = "TScreenCapture v1.0";
    return versione;
}

std::unique_ptr<TBitmap> TScreenCapture::Capture()
{
    ScreenCapture::TRipristinoApplicazione ripristino(Minimize);
    if (Delay > 0)
        Sleep(static_cast<std::uint32_t>(Delay));

    auto schermo = std::make_unique<TBitmap>();
    CopiaSchermo(*schermo);
    FBitmap = std::move(schermo);

    auto copia = std::make_unique<TBitmap>();
    copia->Assign(FBitmap.get());
    if (Auto)
        Clipboard()->Assign(copia.get());
    if (OnCapture)
        OnCapture(this);
    return copia;
}

void TScreenCapture::CopiaSchermo(TBitmap& bitmap)
{
    ScreenCapture::TContestoDesktop desktop;
    TRect area;
    if (desktop.Contesto == nullptr || !GetWindowRect(desktop.Finestra, area) || area.Width() <= 0 ||
        area.Height() <= 0)
        RAISE(EInvalidGraphicOperation("Impossibile leggere l'immagine dello schermo."));

    // A display with a palette shows its colours through the system palette; the bitmap takes it.
    if ((GetDeviceCaps(desktop.Contesto, RASTERCAPS) & RC_PALETTE) != 0) {
        LOGPALETTE palette;
        palette.palVersion = 0x300;
        palette.palPalEntry.resize(ScreenCapture::VociPaletteSistema);
        GetSystemPaletteEntries(desktop.Contesto, 0, ScreenCapture::VociPaletteSistema,
                                palette.palPalEntry.data());
        bitmap.SetPalette(CreatePalette(&palette));
    }

    bitmap.SetSize(area.Width(), area.Height());
    if (!BitBlt(bitmap.Canvas()->Handle(), 0, 0, area.Width(), area.Height(), desktop.Contesto, area.Left,
                area.Top, SRCCOPY))
        RAISE(EInvalidGraphicOperation("Impossibile leggere l'immagine dello schermo."));
}
