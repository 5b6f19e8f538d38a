// The image lists the button glyphs share.

#include "controls/private/ExGlyphCache.h"

#include <algorithm>

namespace exctrls {

namespace {
std::unique_ptr<TGlyphCache> theGlyphCache;
} // namespace

TGlyphList::TGlyphList(int AWidth, int AHeight) : TImageList(AWidth, AHeight) {}

int TGlyphList::AllocateIndex()
{
    const auto firstFree = std::find(FUsed.begin(), FUsed.end(), false);
    int index = static_cast<int>(firstFree - FUsed.begin());
    if (firstFree == FUsed.end()) {
        index = Add(nullptr, nullptr);
        FUsed.resize(static_cast<std::size_t>(Count()), false);
    }
    FUsed[static_cast<std::size_t>(index)] = true;
    return index;
}

int TGlyphList::AddGlyph(TBitmap* Image, TBitmap* Mask)
{
    const int index = AllocateIndex();
    Replace(index, Image, Mask);
    ++FUsedCount;
    return index;
}

int TGlyphList::AddGlyphMasked(TBitmap* Image, TColor MaskColor)
{
    const int index = AllocateIndex();
    ReplaceMasked(index, Image, MaskColor);
    ++FUsedCount;
    return index;
}

void TGlyphList::ReleaseGlyph(int Index)
{
    if (Index < 0 || Index >= static_cast<int>(FUsed.size()) || !FUsed[static_cast<std::size_t>(Index)])
        return;
    FUsed[static_cast<std::size_t>(Index)] = false;
    --FUsedCount;
}

TGlyphList* TGlyphCache::GetList(int AWidth, int AHeight)
{
    for (auto it = FGlyphLists.rbegin(); it != FGlyphLists.rend(); ++it)
        if ((*it)->Width() == AWidth && (*it)->Height() == AHeight)
            return it->get();
    FGlyphLists.push_back(std::make_unique<TGlyphList>(AWidth, AHeight));
    return FGlyphLists.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* List)
{
    if (!List || List->UsedCount() != 0)
        return;
    const auto found = std::find_if(FGlyphLists.begin(), FGlyphLists.end(),
                                    [List](const std::unique_ptr<TGlyphList>& held) { return held.get() == List; });
    if (found != FGlyphLists.end())
        FGlyphLists.erase(found);
}

TGlyphCache* GlyphCache() { return theGlyphCache.get(); }

TGlyphCache& NeedGlyphCache()
{
    if (!theGlyphCache)
        theGlyphCache = std::make_unique<TGlyphCache>();
    return *theGlyphCache;
}

void FreeGlyphCacheWhenEmpty()
{
    if (theGlyphCache && theGlyphCache->Empty())
        theGlyphCache.reset();
}

TGlyphCacheState QueryGlyphCache()
{
    TGlyphCacheState state;
    state.Exists = theGlyphCache != nullptr;
    if (theGlyphCache)
        for (int i = 0; i < theGlyphCache->ListCount(); ++i)
            state.UsedCounts.push_back(theGlyphCache->List(i)->UsedCount());
    return state;
}

} // namespace exctrls
