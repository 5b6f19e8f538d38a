#pragma once
// The viewer's document: the outermost cell with everything that belongs to the
// document as a whole: default fonts and colours, background, scroll offset,
// selection, links, forms, image maps, animated images and the images still
// waiting for their data.

#include "htmlview/FontObj.h"
#include "htmlview/PanePars.h"
#include "htmlview/SectionBase.h"
#include "platform/rtl/Lists.h"

#include <functional>
#include <memory>
#include <string>

class TBitmap;
class TFontObj;
class TImageObj;
class TMemoryStream;
class TTimer;
class TWinControl;
class ThlParser;

using TGetImageEvent = std::function<void(TObject* Sender, const std::string& SRC, TMemoryStream*& Stream)>;
using TExpandNameEvent = std::function<void(TObject* Sender, const std::string& SRC, std::string& Result)>;
using TObjectClickEvent = std::function<void(TObject* Sender, TObject* Obj, const std::string& OnClick)>;
// The handler takes Results over.
using TFormSubmitEvent =
    std::function<void(TObject* Sender, const std::string& Action, const std::string& Target,
                       const std::string& EncType, const std::string& Method,
                       std::unique_ptr<TStringList> Results)>;

// What the document asks of the viewer that shows it.
class TViewerServices {
public:
    virtual ~TViewerServices() = default;
    // The sender of the document's events and the owner of its animation timer.
    virtual TComponent* ViewerComponent() = 0;
    // A picture's name as a full file name.
    virtual std::string HTMLExpandFilename(const std::string& Filename) = 0;
    // The height of the viewing area, for tables whose height is a percentage of
    // it.
    virtual int ViewerClientHeight() = 0;
    virtual int MarginHeight() = 0;
    // The page margins of the document being built (BODY MARGINWIDTH and
    // MARGINHEIGHT).
    virtual void SetDocumentMarginWidth(int Value) = 0;
    virtual void SetDocumentMarginHeight(int Value) = 0;
};

// The animation timer's interval in milliseconds.
constexpr UINT AnimationInterval = 50;

// Face names longer than this are cut.
constexpr std::size_t MaxFontNameLength = 33;

// The image cache's key of a picture name: trimmed and upper-cased.
std::string ImageCacheKey(const std::string& Name);

class TSectionList : public TCell {
    TESS_CLASS(TSectionList, TCell)
public:
    TSectionList(TViewerServices* AViewer, TWinControl* APaintSurface);
    ~TSectionList() override;
    TSectionList(const TSectionList&) = delete;
    TSectionList& operator=(const TSectionList&) = delete;

    // Empties the document: sections, forms and their controls, image maps,
    // links, pending images, the selection, the background picture's name and the
    // animation timer.
    void Clear();
    void SetFonts(const std::string& Name, const std::string& FixedName, int Size, TColor Color, TColor ALinkColor,
                  TColor VisitedColor, TColor HoverColor, TColor Background, bool HoverLinks);
    void SetBackground(TColor Color);
    void SetBackgroundBitmap(const std::string& Name);
    // Image (a TImageObj, or the document for its background) waits for the data
    // of Name.
    void AddMissingImage(const std::string& Name, TObject* Image);

    // Disables the animation timer, sizes the form controls and lays the cell
    // out; the timer is made at the first layout and runs with animated images.
    int DoLogic(TCanvas* Canvas, int Y, int Width, int& MaxWidth, int& Pos, int FirstY, int FirstIndex) override;
    // Paints with the animation stopped; the controls a scroll left unpainted are
    // hidden or parked afterwards.
    int Draw(TCanvas* Canvas, const TRect& Clip, int ClipWidth, int X, int Y) override;
    // Also moves the hover highlight of links and images, repainting when it
    // changes.
    bool GetURL(TCanvas* Canvas, int X, int Y, TUrlTarget*& Link, TImageFormControlObj*& ImageControl) override;
    // The mouse left: no link or image stays highlighted.
    void CancelActives();
    void SetYOffset(int Y);
    // The characters of the selected text.
    int GetSelLength();
    // Copies the selected text into Buffer (Size bytes with the zero); returns the
    // bytes written with the zero.
    int GetSelTextBuf(char* Buffer, int Size);
    // The document Y of the top of section Index.
    int FindPositionByIndex(int Index) const;

    // Pictures (SectionListImages.cpp).
    // The background picture, fetched on the first call after its name is set.
    TBitmap* GetBackgroundBitmap();
    // The picture of Name (a TBitmap, or a TGIFImage when animated) from the image
    // cache, the image request handler or a file; nullptr when it is missing or
    // Delayed (the handler will send it later). A picture found takes one use of
    // its cache entry, under ImageCacheKey(Name); TookUse tells whether it did.
    std::shared_ptr<TPersistent> GetTheBitmap(const std::string& Name, Transparency& Transp,
                                              std::shared_ptr<TBitmap>& Mask, bool& FromCache, bool& Delayed,
                                              bool& TookUse);
    // Late data of Name for everything that waits for it; Relayout tells whether a
    // waiting image changes size.
    void InsertImage(const std::string& Name, TMemoryStream* Stream, bool& Relayout);
    // The animation timer's handler: steps the animated images painted since the
    // last paint.
    void CheckGIFList(TObject* Sender);
    // Hides the form controls the last paint did not place, or parks them off-screen
    // while one of the document's controls has the focus; a focus on Leaving (whose
    // focus is on its way out) does not count.
    void AdjustFormControls(TWinControl* Leaving = nullptr);

    int BaseFontSize = 12;
    // Counts the layouts of the whole document; measurements kept for one pass
    // compare it.
    int LayoutPass = 0;
    bool ImagesOn = false;
    int ScrollTop = 0;
    bool ScrollChanged = false;
    int SelStart = 0;
    int SelEnd = 0;
    std::string BaseFontName;
    std::string FixedFontName;
    TColor TextColor = clBlack;
    TColor VisitedLinkColor = clPurple;
    TColor HoverLinkColor = clBlue;
    TColor LinkColor = clBlue;
    TFontCharset FontCharset = DEFAULT_CHARSET;
    TFontStyles LinkFontStyle;
    TViewerServices* Viewer;
    TWinControl* PaintSurface;
    TGetImageEvent ImageRequest;
    TExpandNameEvent NameRequest;
    TObjectClickEvent ObjectClickHandler;
    TColor BackgroundColor = clWindow;
    TNotifyEvent BackgroundChanged;
    std::shared_ptr<TBitmap> BackgroundPicture;
    std::shared_ptr<TBitmap> BackgroundPictureMask;
    std::string BackgroundName;
    bool BackgroundFetched = false;
    // The cache entry of which the background holds one use; empty when none.
    std::string BackgroundCacheKey;
    // Of ThtmlForm, owned.
    std::unique_ptr<TFreeList> Forms;
    // Of TGIFImage, not owned.
    std::unique_ptr<TList> AnimatedImages;
    TFormSubmitEvent SubmitHandler;
    TScriptEvent ScriptHandler;
    SelTextCount* SelectionBuffer = nullptr;
    int PaintedBottom = 0;
    // Of TMapItem, owned.
    std::unique_ptr<TFreeList> ImageMaps;
    TTimer* AnimationTimer = nullptr;
    // Of TFormControlObj, not owned (the forms own them).
    std::unique_ptr<TList> FormControls;
    // Names waiting for data, each with the waiting TImageObj or the document as
    // its object.
    std::unique_ptr<TStringList> PendingImages;
    TNotifyEvent ControlEnterHandler;
    // Of TFontObj, the link runs; not owned.
    std::unique_ptr<TList> Links;
    TFontObj* HoverLink = nullptr;
    bool HoverLinksOn = false;
    TImageObj* HoverImage = nullptr;
    bool DrawEmptyCaret = false;
    ThlParser* CurrentParser = nullptr;

private:
    void InvalidateSurface();
    // Runs the cell's copy walk into Buffer.
    int CopySelection(SelTextCount& Buffer);
    // Drops the background picture and the use of its cache entry.
    void ReleaseBackground();
};
