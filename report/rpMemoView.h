#pragma once
// The text object: lines with bracketed expressions, its font, alignment and highlight.

#include "report/rpView.h"

#include "platform/gui/Font.h"

#include <cstdint>
#include <memory>
#include <string>

// The look of a text object while its highlight condition holds.
struct TrpHighlightAttr {
    std::uint16_t FontStyle = 2; // the engine's style code: bold
    TColor FontColor = clBlack;
    TColor FillColor = clWhite;
};

// Adjust: bits 0-1 horizontal alignment (left, right, centre, justified), bit 2 turned text,
// bits 3-4 vertical alignment (top, middle 8, bottom 16).
class TrpMemoView : public TrpStretcheable {
    TESS_CLASS(TrpMemoView, TrpStretcheable)
public:
    // Arial 10 black in the engine's character set, Flags 3 (stretch and word wrap).
    TrpMemoView();
    ~TrpMemoView() override;

    void Assign(TrpView* from) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void Draw(TCanvas* canvas) override;
    int CalcHeight() override;
    int MinHeight() override;
    int RemainHeight() override;
    // The blob field's text becomes the working text.
    void GetBlob(TField* field) override;
    void DefinePopupMenu(TPopupMenu* menu) override;
    // Takes name, size, style, colour and character set of font.
    void SetFont(TFont* font);

    const std::unique_ptr<TFont> Font;
    int Adjust = 0;
    TrpHighlightAttr Highlight;
    std::string HighlightCondition;
    // Extra pixels between lines and between characters; not stored in streams.
    int LineSpacing = 2;
    int CharacterSpacing = 0;
    int LineHeight = 0;
    int LinesDrawn = 0;
    bool StopAtBottom = false;
    bool Exporting = false;

private:
    void ChooseFont();
};
