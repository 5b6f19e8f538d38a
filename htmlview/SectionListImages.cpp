// The document's pictures: fetching them through the image cache, the image
// request handler or files, the background picture, late picture data, the
// animation timer; and the visibility of the form controls painting did not place.

#include "htmlview/FormControls.h"
#include "htmlview/ImageObj.h"
#include "htmlview/SectionList.h"
#include "htmlview/panegif1.h"
#include "platform/gui/Screen.h"
#include "platform/gui/Timer.h"
#include "platform/rtl/Files.h"

using namespace PaneUn2;

namespace {

bool IsGifData(TMemoryStream& Stream)
{
    const ImageType kind = KindOfImage(Stream.Memory(), static_cast<std::size_t>(Stream.Size()));
    return kind == Gif || kind == Gif89;
}

// A GIF of one frame as a plain bitmap, with the GIF's own mask when it has
// transparent pixels.
std::shared_ptr<TBitmap> SingleFrameBitmap(TGIFImage& Gif, Transparency& Transp, std::shared_ptr<TBitmap>& Mask)
{
    if (Gif.GetMaskedBitmap() == nullptr)
        return nullptr;
    std::shared_ptr<TBitmap> bitmap(std::move(Gif.FMaskedBitmap));
    if (Gif.FTransparent && Gif.FMask) {
        Mask = std::shared_ptr<TBitmap>(std::move(Gif.FMask));
        Transp = PaneUn2::TGif;
    }
    return bitmap;
}

// A decoded GIF: the animated picture itself, or the bitmap of a single frame.
// With LowerLeftMask, an opaque single frame gets the mask of its lower-left
// colour when the caller asked for that.
std::shared_ptr<TPersistent> FromGif(std::unique_ptr<TGIFImage> Gif, bool NonAnimated, Transparency& Transp,
                                     std::shared_ptr<TBitmap>& Mask, bool LowerLeftMask)
{
    if (!Gif)
        return nullptr;
    if (!NonAnimated)
        return std::shared_ptr<TGIFImage>(std::move(Gif));
    std::shared_ptr<TBitmap> bitmap = SingleFrameBitmap(*Gif, Transp, Mask);
    if (bitmap && !Mask && LowerLeftMask && Transp == LLCorner)
        Mask = GetImageMask(*bitmap, false, 0);
    return bitmap;
}

std::shared_ptr<TPersistent> DecodeStream(TMemoryStream& Stream, Transparency& Transp,
                                          std::shared_ptr<TBitmap>& Mask, bool LowerLeftMask)
{
    if (Stream.Size() <= 0 || Stream.Memory() == nullptr)
        return nullptr;
    if (IsGifData(Stream)) {
        bool nonAnimated = true;
        Stream.SetPosition(0);
        std::unique_ptr<TGIFImage> gif = CreateAGifFromStream(nonAnimated, Stream);
        if (auto picture = FromGif(std::move(gif), nonAnimated, Transp, Mask, LowerLeftMask))
            return picture;
    }
    std::unique_ptr<TBitmap> mask;
    std::shared_ptr<TBitmap> bitmap = GetImageAndMaskFromStream(&Stream, LowerLeftMask ? Transp : NotTransp, mask);
    Mask = std::move(mask);
    return bitmap;
}

std::shared_ptr<TPersistent> DecodeFile(const std::string& Name, Transparency& Transp,
                                        std::shared_ptr<TBitmap>& Mask)
{
    const std::string extension = ExtractFileExt(Name);
    if (extension.size() <= 10 && LowerCase(extension) == ".gif") {
        bool nonAnimated = true;
        std::unique_ptr<TGIFImage> gif = CreateAGif(Name, nonAnimated);
        if (auto picture = FromGif(std::move(gif), nonAnimated, Transp, Mask, true))
            return picture;
    }
    std::unique_ptr<TBitmap> mask;
    std::shared_ptr<TBitmap> bitmap = GetImageAndMaskFromFile(Name, Transp, mask);
    Mask = std::move(mask);
    return bitmap;
}

} // namespace

std::string ImageCacheKey(const std::string& Name) { return Trim(UpperCase(Name)); }

void TSectionList::ReleaseBackground()
{
    BackgroundPicture.reset();
    BackgroundPictureMask.reset();
    if (!BackgroundCacheKey.empty())
        BitmapList()->DecUsage(BackgroundCacheKey);
    BackgroundCacheKey.clear();
}

std::shared_ptr<TPersistent> TSectionList::GetTheBitmap(const std::string& Name, Transparency& Transp,
                                                        std::shared_ptr<TBitmap>& Mask, bool& FromCache,
                                                        bool& Delayed, bool& TookUse)
{
    Mask.reset();
    FromCache = false;
    Delayed = false;
    TookUse = false;
    if (Name.empty())
        return nullptr;
    TStringBitmapList* cache = BitmapList();
    const std::string key = ImageCacheKey(Name);
    const int index = cache->IndexOf(key);
    if (index >= 0) {
        std::shared_ptr<TPersistent> picture = cache->GetImage(index);
        FromCache = true;
        TookUse = true;
        TBitmapItem* item = cache->Item(index);
        if (auto* bitmap = dynamic_cast<TBitmap*>(picture.get())) {
            if (item->TranspKind == PaneUn2::TGif || item->TranspKind == TPng)
                Transp = item->TranspKind;
            else if (Transp == LLCorner && !item->MaskBitmap) {
                item->MaskBitmap = GetImageMask(*bitmap, false, 0);
                if (item->MaskBitmap)
                    item->TranspKind = LLCorner;
            }
            Mask = item->MaskBitmap;
        }
        return picture;
    }

    std::shared_ptr<TPersistent> picture;
    try {
        if (ImageRequest) {
            TMemoryStream* stream = nullptr;
            ImageRequest(Viewer != nullptr ? Viewer->ViewerComponent() : nullptr, Name, stream);
            if (stream != nullptr && stream == WaitStream()) {
                Delayed = true;
                return nullptr;
            }
            // The stream stays the handler's.
            if (stream != nullptr)
                picture = DecodeStream(*stream, Transp, Mask, true);
        } else
            picture = DecodeFile(Name, Transp, Mask);
    } catch (...) {
        // Whatever the loaders could not read is a missing picture.
        picture.reset();
    }
    if (!picture) {
        Mask.reset();
        return nullptr;
    }
    auto* item = new TBitmapItem(picture, Mask, Mask ? Transp : NotTransp);
    try {
        cache->AddObject(key, item);
        TookUse = true;
    } catch (...) {
        // The picture is still shown; only the cache goes without it.
        if (cache->IndexOf(key) < 0)
            delete item;
    }
    return picture;
}

TBitmap* TSectionList::GetBackgroundBitmap()
{
    if (!ImagesOn || BackgroundFetched || BackgroundName.empty() || BackgroundPicture)
        return BackgroundPicture.get();
    Transparency transp = NotTransp;
    if (!ImageRequest) {
        if (Viewer != nullptr)
            BackgroundName = Viewer->HTMLExpandFilename(BackgroundName);
    } else if (NameRequest) {
        std::string expanded = BackgroundName;
        NameRequest(Viewer != nullptr ? Viewer->ViewerComponent() : nullptr, BackgroundName, expanded);
        BackgroundName = expanded;
    }
    std::shared_ptr<TBitmap> mask;
    bool fromCache = false, delayed = false, tookUse = false;
    std::shared_ptr<TPersistent> picture = GetTheBitmap(BackgroundName, transp, mask, fromCache, delayed, tookUse);
    if (auto bitmap = std::dynamic_pointer_cast<TBitmap>(picture)) {
        BackgroundPicture = bitmap;
        BackgroundPictureMask = mask;
        if (tookUse)
            BackgroundCacheKey = ImageCacheKey(BackgroundName);
    } else {
        // An animated picture is no background; its use goes back at once.
        if (tookUse)
            BitmapList()->DecUsage(ImageCacheKey(BackgroundName));
        if (delayed)
            AddMissingImage(ImageCacheKey(BackgroundName), this);
    }
    BackgroundFetched = true;
    return BackgroundPicture.get();
}

void TSectionList::InsertImage(const std::string& Name, TMemoryStream* Stream, bool& Relayout)
{
    Relayout = false;
    TStringBitmapList* cache = BitmapList();
    const std::string key = ImageCacheKey(Name);
    bool available = cache->IndexOf(key) >= 0;
    if (!available && PendingImages->IndexOf(key) >= 0 && Stream != nullptr) {
        Transparency transp = NotTransp;
        std::shared_ptr<TBitmap> mask;
        std::shared_ptr<TPersistent> picture;
        try {
            picture = DecodeStream(*Stream, transp, mask, false);
        } catch (...) {
            picture.reset();
        }
        if (picture) {
            auto* item = new TBitmapItem(picture, mask, mask ? transp : NotTransp);
            try {
                cache->AddObject(key, item);
                // The waiters below take their own uses.
                cache->DecUsage(key);
                available = true;
            } catch (...) {
                if (cache->IndexOf(key) < 0)
                    delete item;
            }
        }
    }
    if (!available)
        return;
    for (int index = PendingImages->IndexOf(key); index >= 0; index = PendingImages->IndexOf(key)) {
        TObject* waiter = PendingImages->Objects(index);
        PendingImages->Delete(index);
        if (waiter == this)
            BackgroundFetched = false;
        else if (auto* image = dynamic_cast<TImageObj*>(waiter)) {
            bool reformat = false;
            image->InsertImage(key, reformat);
            Relayout = Relayout || reformat;
        }
    }
}

void TSectionList::CheckGIFList(TObject* /*Sender*/)
{
    for (int i = 0; i < AnimatedImages->Count(); ++i) {
        auto* gif = static_cast<TGIFImage*>(static_cast<TObject*>(AnimatedImages->Items(i)));
        if (gif->FShowIt)
            gif->CheckTime(PaintSurface);
    }
    if (AnimationTimer != nullptr)
        AnimationTimer->SetInterval(AnimationInterval);
}

void TSectionList::AdjustFormControls(TWinControl* Leaving)
{
    if (FormControls->Count() == 0)
        return;
    TWinControl* active = Screen->ActiveControl();
    if (active == Leaving)
        active = nullptr;
    bool focusInDocument = false;
    for (int i = 0; i < FormControls->Count() && active != nullptr && !focusInDocument; ++i) {
        auto* control = static_cast<TFormControlObj*>(static_cast<TObject*>(FormControls->Items(i)));
        focusInDocument = control->GetControl() == active;
    }
    for (int i = 0; i < FormControls->Count(); ++i) {
        auto* control = static_cast<TFormControlObj*>(static_cast<TObject*>(FormControls->Items(i)));
        if (control->WinControl == nullptr || control->ShownInPaint)
            continue;
        if (focusInDocument) {
            // The focused control keeps a window to move from.
            control->WinControl->SetLeft(OffScreenLeft);
            control->WinControl->SetVisible(true);
        } else
            control->WinControl->SetVisible(false);
    }
}
