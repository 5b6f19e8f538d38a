#pragma once
// The image lists the button glyphs share: one list per cell size, whose cells are handed out
// and taken back through a set of used bits, so that every glyph of one size lives in one list
// and a freed cell is reused by the next glyph. The names live in a namespace of their own: the
// report engine has classes with the same names.

#include "platform/gui/ImageList.h"

#include <memory>
#include <vector>

namespace exctrls {

class TGlyphList : public TImageList {
    TESS_CLASS(TGlyphList, TImageList)
public:
    TGlyphList(int AWidth, int AHeight);
    // Image in a free cell, with Mask white where it is transparent; returns the cell.
    int AddGlyph(TBitmap* Image, TBitmap* Mask);
    // Image in a free cell, transparent where it has MaskColor; returns the cell.
    int AddGlyphMasked(TBitmap* Image, TColor MaskColor);
    // Gives the cell back (nothing for a cell that is not in use).
    void ReleaseGlyph(int Index);
    int UsedCount() const { return FUsedCount; }

private:
    int AllocateIndex();
    std::vector<bool> FUsed;
    int FUsedCount = 0;
};

class TGlyphCache : public TObject {
    TESS_CLASS(TGlyphCache, TObject)
public:
    // The list of that cell size, made when there is none yet.
    TGlyphList* GetList(int AWidth, int AHeight);
    // Frees the list once no cell of it is in use.
    void ReturnList(TGlyphList* List);
    bool Empty() const { return FGlyphLists.empty(); }
    int ListCount() const { return static_cast<int>(FGlyphLists.size()); }
    const TGlyphList* List(int Index) const { return FGlyphLists.at(static_cast<std::size_t>(Index)).get(); }

private:
    std::vector<std::unique_ptr<TGlyphList>> FGlyphLists;
};

// The unit's cache: nullptr until a glyph object makes it.
TGlyphCache* GlyphCache();
// The cache, made on first need.
TGlyphCache& NeedGlyphCache();
// Frees the cache when it holds no list.
void FreeGlyphCacheWhenEmpty();

// What the cache holds, for tests: whether it exists and the used cells of each of its lists.
struct TGlyphCacheState {
    bool Exists = false;
    std::vector<int> UsedCounts;
};
TGlyphCacheState QueryGlyphCache();

} // namespace exctrls
