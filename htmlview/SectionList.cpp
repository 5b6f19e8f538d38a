#include "htmlview/SectionList.h"

#include "platform/gui/Timer.h"

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
