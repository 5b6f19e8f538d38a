#pragma once
// Image lists: images of one size with their masks, drawn normal, transparent, blended, masked
// or embossed when disabled; the list functions by handle; the system image lists 1 (32 x 32)
// and 2 (16 x 16) whose images are the shell's icons.

#include "platform/gui/Bitmap.h"
#include "platform/gui/Icon.h"
#include "platform/rtl/Classes.h"

#include <memory>
#include <vector>

using HIMAGELIST = void*;

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };

constexpr UINT ILC_MASK = 0x1, ILC_COLOR = 0, ILC_COLORDDB = 0xFE, ILC_COLOR4 = 4, ILC_COLOR8 = 8,
               ILC_COLOR16 = 16, ILC_COLOR24 = 24, ILC_COLOR32 = 32;
constexpr UINT ILD_NORMAL = 0, ILD_TRANSPARENT = 1, ILD_MASK = 0x10, ILD_IMAGE = 0x20, ILD_BLEND25 = 2,
               ILD_FOCUS = 2, ILD_BLEND50 = 4, ILD_SELECTED = 4, ILD_BLEND = 4;
constexpr COLORREF CLR_NONE = 0xFFFFFFFF, CLR_DEFAULT = 0xFF000000;

class TCustomImageList;

class TChangeLink : public TObject {
    TESS_CLASS(TChangeLink, TObject)
public:
    TChangeLink() = default;
    ~TChangeLink() override;
    TChangeLink(const TChangeLink&) = delete;
    TChangeLink& operator=(const TChangeLink&) = delete;
    TCustomImageList* Sender = nullptr;
    TNotifyEvent OnChange;
    void Change();
};

class TCustomImageList : public TComponent {
    TESS_CLASS(TCustomImageList, TComponent)
public:
    explicit TCustomImageList(TComponent* AOwner);
    TCustomImageList(int width, int height);
    ~TCustomImageList() override;

    void Assign(TPersistent* Source) override;

    int Width() const;
    int Height() const;
    // Changing the size clears the list.
    void SetWidth(int value);
    void SetHeight(int value);
    int Count() const;
    bool Masked() const { return FMasked; }
    void SetMasked(bool value) { FMasked = value; }
    TColor BkColor() const;
    void SetBkColor(TColor value);
    TColor BlendColor() const { return FBlendColor; }
    void SetBlendColor(TColor value) { FBlendColor = value; }
    TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle value);
    TImageType ImageType() const { return FImageType; }
    void SetImageType(TImageType value);
    bool ShareImages() const { return FShareImages; }
    void SetShareImages(bool value) { FShareImages = value; }
    int AllocBy = 4;

    HIMAGELIST Handle();
    // With ShareImages the list shows value and leaves it alone when freed; otherwise it takes
    // ownership.
    void SetHandle(HIMAGELIST value);
    bool HandleAllocated() const { return FHandle != nullptr; }

    // A bitmap wider than Width adds one image per Width pixels; mask (may be null) is white
    // where the image is transparent. Returns the index of the first image added. A null image
    // adds one empty, transparent cell.
    int Add(TBitmap* image, TBitmap* mask);
    // clDefault takes the bitmap's transparent colour.
    int AddMasked(TBitmap* image, TColor maskColor);
    int AddIcon(TIcon* icon);
    void Insert(int index, TBitmap* image, TBitmap* mask);
    void InsertMasked(int index, TBitmap* image, TColor maskColor);
    void Replace(int index, TBitmap* image, TBitmap* mask);
    void ReplaceMasked(int index, TBitmap* image, TColor maskColor);
    void ReplaceIcon(int index, TIcon* icon);
    void Delete(int index);
    void Clear();
    void Move(int currentIndex, int newIndex);
    // The bitmap is sized to the image, starts black and receives the image drawn normally.
    bool GetBitmap(int index, TBitmap* image);
    void GetIcon(int index, TIcon* icon);
    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
    void DrawOverlay(TCanvas* canvas, int x, int y, int imageIndex, int overlay, bool enabled = true);
    bool Overlay(int imageIndex, int overlay);

    void RegisterChanges(TChangeLink* value);
    void UnRegisterChanges(TChangeLink* value);
    void BeginUpdate();
    void EndUpdate();

    TNotifyEvent OnChange;

protected:
    virtual void Change();
    void CheckIndex(int index, bool allowCount = false) const;

private:
    HIMAGELIST FHandle = nullptr;
    bool FOwnsHandle = false;
    int FWidth = 16, FHeight = 16;
    bool FMasked = true;
    TColor FBlendColor = clNone;
    TDrawingStyle FDrawingStyle = dsNormal;
    TImageType FImageType = itImage;
    bool FShareImages = false;
    int FUpdateCount = 0;
    bool FChanged = false;
    std::vector<TChangeLink*> FLinks;
    std::vector<int> FOverlays;
};

class TImageList : public TCustomImageList {
    TESS_CLASS(TImageList, TCustomImageList)
public:
    using TCustomImageList::TCustomImageList;
};

HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
// mask may be 0; it is white where the image is transparent.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor);
// index -1 adds the icon.
int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon);
inline int ImageList_AddIcon(HIMAGELIST list, HICON icon) { return ImageList_ReplaceIcon(list, -1, icon); }
BOOL ImageList_Replace(HIMAGELIST list, int index, HBITMAP image, HBITMAP mask);
// index -1 removes every image.
BOOL ImageList_Remove(HIMAGELIST list, int index);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height);
BOOL ImageList_SetIconSize(HIMAGELIST list, int width, int height);
COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color);
COLORREF ImageList_GetBkColor(HIMAGELIST list);
HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT flags);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int width, int height, COLORREF background,
                      COLORREF foreground, UINT style);

// Makes SHGetFileInfoA's SHGFI_ICON answer icons drawn by this layer (called at start-up; the
// image list functions call it too).
void InstallShellIconFactory();
