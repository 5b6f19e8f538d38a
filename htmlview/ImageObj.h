#pragma once
// Images in the text flow: the object anchored at an image placeholder of a
// text section, with its attributes and the size it takes, and a section's list
// of them with the position look-ups of the line layout. Fetching, sizing and
// painting the picture come with the image side.

#include "htmlview/PaneUn2.h"

#include <memory>
#include <string>

class TBitmap;
class TCell;
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
    TPersistent* Picture = nullptr;
    TBitmap* PictureMask = nullptr;
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
};

// The answer of the count look-ups when nothing follows.
constexpr int NoObjectAhead = 9999;
