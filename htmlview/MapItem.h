#pragma once
// Small value classes of the viewer: the two passes that copy the selected text (count, then
// write into the caller's buffer), a link's address with its target frame, and one client-side
// image map with its clickable areas.

#include "htmlview/TokenObj.h"
#include "platform/gui/WinTypes.h"

#include <memory>
#include <string>
#include <vector>

// Counts the selected characters that the sections hand over. Characters 2 and 4 stand for
// embedded objects in section text and are never selected text.
class SelTextCount : public TObject {
    TESS_CLASS(SelTextCount, TObject)
public:
    virtual void AddText(const char* P, int N);
    // AddText of P, then of a carriage return and line feed.
    void AddTextCR(const char* P, int N);
    // The characters counted.
    virtual int Terminate();

    // The destination and its size including the terminating zero (used by SelTextBuf only).
    char* Dest = nullptr;
    int DestSize = 0;
    int Count = 0;
};

// Writes the selected characters into a caller's buffer, a no-break space as a space, and drops
// what does not fit.
class SelTextBuf : public SelTextCount {
    TESS_CLASS(SelTextBuf, SelTextCount)
public:
    SelTextBuf(char* Buffer, int Size);
    void AddText(const char* P, int N) override;
    // Ends the text with a zero and returns its length including the zero; 0, with nothing
    // written, for a buffer without room even for the zero.
    int Terminate() override;
};

class TUrlTarget : public TObject {
    TESS_CLASS(TUrlTarget, TObject)
public:
    void Assign(const std::string& AUrl, const std::string& ATarget);
    void Clear();

    std::string Url;
    std::string Target;
};

// A named client-side image map: the areas of the MAP element in the order read, each a region
// with its address and target.
class TMapItem : public TObject {
    TESS_CLASS(TMapItem, TObject)
public:
    TMapItem();
    ~TMapItem() override;
    TMapItem(const TMapItem&) = delete;
    TMapItem& operator=(const TMapItem&) = delete;

    // Adds the area described by the attributes of an AREA tag; an area with too few
    // coordinates for its shape adds nothing.
    void AddArea(const TAttributeList* Attributes);
    // The link of the first area that contains (X, Y), as a new TUrlTarget the caller owns;
    // false when no area contains the point or that area has no address.
    bool GetURL(int X, int Y, TUrlTarget*& UrlTarget) const;

    // The map's NAME, upper-cased.
    std::string MapKey;
    // One line per area: its address, with its region handle (owned) as the line's object.
    std::unique_ptr<TStringList> Regions;
    // The TARGET of each area, parallel to Regions.
    std::unique_ptr<TStringList> RegionTargets;

private:
    HRGN RegionOf(int Index) const;
};

namespace PaneUn2 {

// At most this many numbers are read from one COORDS value.
constexpr int MaxAreaCoords = 301;

// The numbers of a COORDS value as AddArea reads them: the trimmed text is cut at the first comma
// or space, and the commas and spaces that follow are skipped; a piece (its first 20 characters)
// that is no number reads as 0, and an empty piece ends the list.
std::vector<int> ReadAreaCoords(const std::string& Text);

} // namespace PaneUn2
