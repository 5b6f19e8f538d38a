#pragma once
// Fonts of a viewer document: a font that knows its size relative to the
// document's base size, a font run (from a character position on, this font,
// with its metrics and its link) and the list of a text section's runs with the
// position look-ups that layout and painting ask.

#include "htmlview/PaneUn2.h"
#include "platform/gui/Font.h"

#include <memory>

class TSection;
class TSectionList;

// Declared as an opaque type by the parser, which keeps the current state.
enum SubSuperType : int { Normal, SubSc, SupSc };

class TMyFont : public TFont {
    TESS_CLASS(TMyFont, TFont)
public:
    // From another TMyFont also RelativeSize and FixedPitch.
    void Assign(TPersistent* Source) override;
    // RelativeSize := Value and the size that gives at the document's base size.
    void SetNormalSize(TSectionList* List, int Value);
    // Takes the document's faces, charset and base size again, and Color as a
    // palette colour.
    void UpdateFont(TSectionList* List, TColor Color);

    // 12 stands for the document's base size.
    int RelativeSize = 0;
    // The document's fixed-pitch face is meant, not the proportional one.
    bool FixedPitch = false;
};

// The flag that marks a colour as palette-relative; ColorToRGB strips it.
constexpr TColor PaletteRelative = 0x02000000;

// Font size of a relative size at a base size, rounded as MulDiv rounds.
int ScaledFontSize(int BaseSize, int RelativeSize);

class TFontObj : public TObject {
    TESS_CLASS(TFontObj, TObject)
public:
    // Takes ownership of Font and measures it.
    TFontObj(TSection* Section, TMyFont* Font, int Position);
    ~TFontObj() override;
    TFontObj(const TFontObj&) = delete;
    TFontObj& operator=(const TFontObj&) = delete;

    // Measures the run's font again; every change of the font calls it.
    void FontChanged(TObject* Sender);
    void SetVisited(bool Value);
    void SetHover(bool Value);
    const std::string& GetURL() const { return Link->Url; }
    // The document's settings again, in the link colour for a link run.
    void UpdateFont();
    int GetOverhang() const { return Overhang; }
    // LineHeight, with D := Descent.
    int GetHeight(int& D) const;

    TSection* OwnerSection;
    bool IsVisited = false;
    bool IsHovered = false;
    int StartPos;
    std::unique_ptr<TMyFont> RunFont;
    int LineHeight = 0;
    int CellHeight = 0;
    int Overhang = 0;
    int Descent = 0;
    SubSuperType ScriptShift = Normal;
    std::unique_ptr<TUrlTarget> Link;

private:
    void ShowLinkColor();
};

// The runs of one section in increasing StartPos order; the first starts at 0.
class TFontList : public TFreeList {
    TESS_CLASS(TFontList, TFreeList)
public:
    TFontObj* Run(int Index) const { return static_cast<TFontObj*>(static_cast<TObject*>(Items(Index))); }
    void UpDateFonts();
    // The font of the run that holds Pos (the last run for a Pos beyond it), O :=
    // its overhang.
    TMyFont* GetFontAt(int Pos, int& O) const;
    TFontObj* GetFontObjAt(int Pos, int& Index) const;
    // Characters from Pos to the start of the next run, or to TextLength.
    int GetFontCountAt(int Pos, int TextLength) const;

private:
    // Index of the run holding Pos; Next := index of the following run, Count()
    // when none.
    int RunIndexAt(int Pos, int& Next) const;
};
