#include "htmlview/SectionList.h"

#include "htmlview/FormControls.h"
#include "htmlview/ImageObj.h"
#include "htmlview/panegif1.h"
#include "platform/gui/WinControl.h"
#include "platform/gui/Timer.h"

#include <algorithm>

TSectionList::TSectionList(TViewerServices* AViewer, TWinControl* APaintSurface)
    : TCell(this), Viewer(AViewer), PaintSurface(APaintSurface), Forms(std::make_unique<TFreeList>()),
      AnimatedImages(std::make_unique<TList>()), ImageMaps(std::make_unique<TFreeList>()),
      FormControls(std::make_unique<TList>()), PendingImages(std::make_unique<TStringList>()),
      Links(std::make_unique<TList>())
{
    PendingImages->SetSorted(false);
    LinkFontStyle.Include(fsUnderline);
}

TSectionList::~TSectionList()
{
    Clear();
    TComponent::Free(AnimationTimer);
}

void TSectionList::Clear()
{
    ReleaseBackground();
    BackgroundName.clear();
    BackgroundFetched = false;
    // The list forgets the controls before the forms free them.
    FormControls->Clear();
    Forms->Clear();
    AnimatedImages->Clear();
    TComponent::Free(AnimationTimer);
    AnimationTimer = nullptr;
    SelStart = 0;
    SelEnd = 0;
    ImageMaps->Clear();
    PendingImages->Clear();
    Links->Clear();
    HoverLink = nullptr;
    HoverImage = nullptr;
    TFreeList::Clear();
}

void TSectionList::SetFonts(const std::string& Name, const std::string& FixedName, int Size, TColor Color,
                            TColor ALinkColor, TColor VisitedColor, TColor HoverColor, TColor Background,
                            bool HoverLinks)
{
    BaseFontName = Name.substr(0, MaxFontNameLength);
    FixedFontName = FixedName.substr(0, MaxFontNameLength);
    BaseFontSize = Size;
    TextColor = Color;
    LinkColor = ALinkColor;
    VisitedLinkColor = VisitedColor;
    HoverLinkColor = HoverColor;
    HoverLinksOn = HoverLinks;
    SetBackground(Background);
    UpdateFonts();
}

void TSectionList::SetBackground(TColor Color)
{
    BackgroundColor = Color;
    if (BackgroundChanged)
        BackgroundChanged(this);
}

void TSectionList::SetBackgroundBitmap(const std::string& Name)
{
    ReleaseBackground();
    BackgroundName = Name;
    BackgroundFetched = false;
}

void TSectionList::AddMissingImage(const std::string& Name, TObject* Image) { PendingImages->AddObject(Name, Image); }

int TSectionList::DoLogic(TCanvas* Canvas, int Y, int Width, int& MaxWidth, int& Pos, int FirstY, int FirstIndex)
{
    ++LayoutPass;
    if (AnimationTimer != nullptr)
        AnimationTimer->SetEnabled(false);
    for (int i = 0; i < Forms->Count(); ++i)
        static_cast<ThtmlForm*>(static_cast<TObject*>(Forms->Items(i)))->SetSizes(Canvas);
    const int height = TCell::DoLogic(Canvas, Y, Width, MaxWidth, Pos, FirstY, FirstIndex);
    for (int i = 0; i < AnimatedImages->Count(); ++i) {
        auto* gif = static_cast<TGIFImage*>(static_cast<TObject*>(AnimatedImages->Items(i)));
        gif->SetCurrentFrame(1);
        gif->SetAnimate(false);
        gif->SetAnimate(true);
    }
    if (AnimationTimer == nullptr) {
        AnimationTimer = new TTimer(Viewer != nullptr ? Viewer->ViewerComponent() : nullptr);
        AnimationTimer->SetEnabled(false);
        AnimationTimer->SetInterval(AnimationInterval);
        AnimationTimer->OnTimer = [this](TObject* Sender) { CheckGIFList(Sender); };
    }
    AnimationTimer->SetEnabled(AnimatedImages->Count() > 0);
    AdjustFormControls();
    return height;
}

int TSectionList::Draw(TCanvas* Canvas, const TRect& Clip, int ClipWidth, int X, int Y)
{
    PaintedBottom = ScrollTop + Clip.Bottom;
    if (AnimationTimer != nullptr)
        AnimationTimer->SetEnabled(false);
    for (int i = 0; i < AnimatedImages->Count(); ++i)
        static_cast<TGIFImage*>(static_cast<TObject*>(AnimatedImages->Items(i)))->FShowIt = false;
    // A paint that fails must not stop the animations for good.
    const auto restartAnimation = [this] {
        if (AnimationTimer != nullptr && AnimatedImages->Count() > 0)
            AnimationTimer->SetEnabled(true);
    };
    int bottom = 0;
    try {
        bottom = TCell::Draw(Canvas, Clip, ClipWidth, X, Y);
    } catch (...) {
        restartAnimation();
        throw;
    }
    if (ScrollChanged) {
        AdjustFormControls();
        ScrollChanged = false;
    }
    restartAnimation();
    return bottom;
}

void TSectionList::InvalidateSurface()
{
    if (PaintSurface != nullptr)
        PaintSurface->Invalidate();
}

bool TSectionList::GetURL(TCanvas* Canvas, int X, int Y, TUrlTarget*& Link, TImageFormControlObj*& ImageControl)
{
    TFontObj* oldLink = HoverLink;
    TImageObj* oldImage = HoverImage;
    HoverLink = nullptr;
    HoverImage = nullptr;
    const bool found = TCell::GetURL(Canvas, X, Y, Link, ImageControl);
    if (HoverLinksOn && HoverLink != oldLink) {
        if (oldLink != nullptr)
            oldLink->SetHover(false);
        if (HoverLink != nullptr)
            HoverLink->SetHover(true);
        InvalidateSurface();
    }
    if (HoverImage != oldImage) {
        if (oldImage != nullptr)
            oldImage->SetHover(false);
        if (HoverImage != nullptr)
            HoverImage->SetHover(true);
        InvalidateSurface();
    }
    return found;
}

void TSectionList::CancelActives()
{
    if (HoverLink == nullptr && HoverImage == nullptr)
        return;
    InvalidateSurface();
    if (HoverLink != nullptr)
        HoverLink->SetHover(false);
    if (HoverImage != nullptr)
        HoverImage->SetHover(false);
    HoverLink = nullptr;
    HoverImage = nullptr;
}

void TSectionList::SetYOffset(int Y)
{
    if (Y == ScrollTop)
        return;
    ScrollTop = Y;
    ScrollChanged = true;
    for (int i = 0; i < Forms->Count(); ++i) {
        const TFreeList& members = *static_cast<ThtmlForm*>(static_cast<TObject*>(Forms->Items(i)))->Members;
        for (int k = 0; k < members.Count(); ++k)
            static_cast<TFormControlObj*>(static_cast<TObject*>(members.Items(k)))->ShownInPaint = false;
    }
}

int TSectionList::CopySelection(SelTextCount& Buffer)
{
    SelectionBuffer = &Buffer;
    try {
        CopyToClipboard();
    } catch (...) {
        SelectionBuffer = nullptr;
        throw;
    }
    SelectionBuffer = nullptr;
    return Buffer.Terminate();
}

int TSectionList::GetSelLength()
{
    if (SelStart >= SelEnd)
        return 0;
    SelTextCount counter;
    return CopySelection(counter);
}

int TSectionList::GetSelTextBuf(char* Buffer, int Size)
{
    if (Size >= 1 && Buffer != nullptr)
        Buffer[0] = '\0';
    if (SelStart >= SelEnd)
        return Size >= 1 ? 1 : 0;
    SelTextBuf writer(Buffer, Size);
    return CopySelection(writer);
}

int TSectionList::FindPositionByIndex(int Index) const
{
    Index = std::min(Index, Count() - 1);
    int top = 0;
    for (int i = 0; i < Index; ++i)
        top += Section(i)->FlowHeight;
    return top;
}
