#pragma once
// TScreenCapture: a picture of the whole screen, taken after a pause, optionally with the
// application minimised and optionally copied to the clipboard.

#include "platform/gui/Bitmap.h"
#include "platform/rtl/Classes.h"

#include <memory>
#include <string>

class TScreenCapture : public TComponent {
    TESS_CLASS(TScreenCapture, TComponent)
public:
    explicit TScreenCapture(TComponent* owner);
    ~TScreenCapture() override;

    // Copy each capture to the clipboard.
    bool Auto = true;
    // Milliseconds waited before the screen is read.
    int Delay = 500;
    // Minimise the application while capturing, so that the picture shows what lies below it.
    bool Minimize = true;
    TNotifyEvent OnCapture;

    const std::string& Version() const;
    // The version is fixed: writing it changes nothing.
    void SetVersion(const std::string&) {}

    // A new bitmap of the screen, owned by the caller. Raises EInvalidGraphicOperation when the
    // screen cannot be read; the application is restored in every case when it was minimised.
    std::unique_ptr<TBitmap> Capture();

private:
    void CopiaSchermo(TBitmap& bitmap);

    // The last capture.
    std::unique_ptr<TBitmap> FBitmap;
};
