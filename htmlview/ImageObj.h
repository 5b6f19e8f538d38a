#pragma once
// Images in the text flow: the object anchored at an image placeholder of a
// text section, with its attributes, the picture it fetches through the document,
// the size it takes and its painting, and a section's list of them with the
// position look-ups of the line layout and the hit tests.

#include "htmlview/PaneUn2.h"

#include <memory>
#include <string>

class TBitmap;
class TCanvas;
class TCell;
class TFontObj;
class TGIFImage;
class TMapItem;
class TSectionList;
class TImageFormControlObj;

// An object that takes room in a line or floats at a margin.
class TFloatingObj : public TObject {
    TESS_CLASS(TFloatingObj, TObject)
public:
    // The index of its placeholder character in the section text.
    int SrcPos = 0;
    int BoxHeight = 0;
    int BoxWidth = 0;
    AlignmentType Placement = PaneUn2::ABottom;
    int FloatX = 0;
    int HorzSpace = 0;
    int VertSpace = 0;
};

// Blank space beside and above an image is at most this many pixels.
constexpr int MaxImageSpace = 40;

class TImageObj : public TFloatingObj {
    TESS_CLASS(TImageObj, TFloatingObj)
public:
    // Reads the attributes of an IMG tag (or of an image button) in order; later
    // ones win.
    TImageObj(int Position, const TAttributeList* Attributes);
    ~TImageObj() override;
    TImageObj(const TImageObj&) = delete;
    TImageObj& operator=(const TImageObj&) = delete;

    bool IsFloating() const { return Placement == PaneUn2::ALeft || Placement == PaneUn2::ARight; }

    // Fetches the picture when needed and works out the size for this layout.
    void DrawLogic(TSectionList* ADocument, TCanvas* Canvas, TFontObj* FontRun, int AvailWidth);
    // Paints at window X; TopY (top of the text band, or of the line for a float)
    // and BaselineY are document Y values.
    void Draw(TCanvas* Canvas, int X, int TopY, int BaselineY, TFontObj* FontRun);
    // The mouse moved onto (true) or off the image: an ACTIVE animated picture
    // moves only meanwhile.
    void SetHover(bool Value);
    // Late data has come for a waiting image; Reformat asks for a new layout.
    bool InsertImage(const std::string& Name, bool& Reformat);
    bool InsertImageSRC(const std::string& Name, bool& Reformat, bool Force);
    // The current picture as a bitmap; nullptr for the missing picture.
    TBitmap* GetBitmap();

    std::unique_ptr<TBitmap> PaletteCopy;
    bool Hovered = false;
    bool HoverAnimates = false;
    int GivenHeight = 0;
    int GivenWidth = 0;
    bool WidthIsPercent = false;
    int PicHeight = 0;
    int PicWidth = 0;
    bool SizeSettled = false;
    std::string SourceName;
    std::string AltText;
    bool BorderOff = false;
    // A bitmap, an animated picture or one of the shared placeholders; nullptr
    // until fetched.
    std::shared_ptr<TPersistent> Picture;
    std::shared_ptr<TBitmap> PictureMask;
    TSectionList* Document = nullptr;
    Transparency TranspKind = PaneUn2::NotTransp;
    bool ServerMap = false;
    bool ClientMap = false;
    bool Framed = false;
    int PaintX = 0;
    int PaintY = 0;
    std::string ClientMapName;
    TImageFormControlObj* InputControl = nullptr;
    TCell* OwnerCell = nullptr;

private:
    void ReadAttribute(const TAttribute& Attribute, int& GivenHSpace);
    void ExpandSourceName();
    void FetchPicture();
    // Takes a fetched animated picture: a private copy when it is the cache's.
    std::shared_ptr<TGIFImage> TakeAnimated(const std::shared_ptr<TPersistent>& Gif, bool FromCache);
    // The same at layout: it animates now, or with ACTIVE only once hovered.
    void ShowAnimated(const std::shared_ptr<TPersistent>& Gif, bool FromCache);
    void ComputeSize(TPersistent* Measured, int AvailWidth);
    void DrawPicture(TCanvas* Canvas, TPersistent* Pic, TBitmap* Mask, int X, int Y);
    void ReleaseCacheUse();
    void LeaveAnimatedImages();

    // The cache entry of which the image holds one use; empty when none.
    std::string FCacheKey;
};

// A section's images in text order; owns them.
class TImageObjList : public TFreeList {
    TESS_CLASS(TImageObjList, TFreeList)
public:
    TImageObj* Image(int Index) const { return static_cast<TImageObj*>(static_cast<TObject*>(Items(Index))); }
    // The first image at Position, nullptr when none.
    TImageObj* FindImage(int Position) const;
    // The box height of the image at Position with Align := its placement; -1
    // when none.
    int GetHeightAt(int Position, AlignmentType& Align) const;
    int GetWidthAt(int Position, AlignmentType& Align, int& HSpace) const;
    // Characters from Position to the next image at or after it; 9999 when none.
    int GetImageCountAt(int Position) const;
    // The first image whose picture holds (X, Y), Y a document Y: IX, IY the point
    // in the picture, with its client-side map when it names one of the document.
    bool PtInImage(int X, int Y, int& IX, int& IY, int& Posn, bool& ServerMapHit, bool& ClientMapFound,
                   TMapItem*& MapItem, TImageObj*& Image) const;
    bool PtInObject(int X, int Y, TObject*& Obj, int& IX, int& IY) const;

private:
    TImageObj* ImageAt(int X, int Y, int& IX, int& IY) const;
    // The images are in text order: the index of the first at or after Position.
    int FirstAtOrAfter(int Position) const;
};

// The answer of the count look-ups when nothing follows.
constexpr int NoObjectAhead = 9999;
