#pragma once
// Icons: HICON (a colour image and a mask) and TIcon with its ICO streams. An icon read from a
// stream writes its bytes back unchanged; one made from a handle writes one image in the depth
// of its colour bitmap.

#include "platform/gui/Graphic.h"

#include <memory>
#include <vector>

struct ICONINFO {
    BOOL fIcon = TRUE;
    DWORD xHotspot = 0;
    DWORD yHotspot = 0;
    HBITMAP hbmMask = nullptr;  // white where transparent
    HBITMAP hbmColor = nullptr;
};

// The bitmaps are copied.
HICON CreateIconIndirect(const ICONINFO* info);
// Fills info with new bitmaps owned by the caller.
BOOL GetIconInfo(HICON icon, ICONINFO* info);
BOOL DestroyIcon(HICON icon);
HICON CopyIcon(HICON icon);
inline BOOL DestroyCursor(HICON cursor) { return DestroyIcon(cursor); }

class TIcon : public TGraphic {
    TESS_CLASS(TIcon, TGraphic)
public:
    TIcon();
    ~TIcon() override;
    TIcon(const TIcon&) = delete;
    TIcon& operator=(const TIcon&) = delete;

    void Assign(TPersistent* Source) override;
    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    // Icons take their size from their image.
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    bool Transparent() const override { return true; }
    void SetTransparent(bool) override {}

    // The icon's handle (owned by the icon).
    HICON Handle();
    // Takes ownership of value.
    void SetHandle(HICON value);
    // Gives the handle to the caller; the icon becomes empty.
    HICON ReleaseHandle();

    // Raises EInvalidGraphic "Icon image is not valid" for malformed data, leaving the icon as it was.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;

protected:
    void Draw(TCanvas* canvas, const TRect& rect) override;

private:
    void Clear();
    HICON FHandle = nullptr;
    std::vector<std::uint8_t> FSource;
};
