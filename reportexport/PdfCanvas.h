#pragma once
// The content of the current page of a PDF document: graphics state, paths, colours, text and
// external objects, one operator a line. The canvas keeps the text state, measures text with the
// widths of the standard fonts and lays text out in a rectangle. A virtual canvas measures and
// keeps its state but writes nothing.

#include "reportexport/PdfObject.h"

#include <cstdint>
#include <string>
#include <vector>

class TPdfDoc;
class TPdfFont;

// The text state. Each setter checks its range and raises EPdfInvalidValue before storing;
// a value that is not a number is out of every range.
class TPdfCanvasAttribute : public TObject {
    TESS_CLASS(TPdfCanvasAttribute, TObject)
public:
    float WordSpace() const { return FWordSpace; }
    float CharSpace() const { return FCharSpace; }
    float FontSize() const { return FFontSize; }
    TPdfFont* Font() const { return FFont; }
    float Leading() const { return FLeading; }
    int HorizontalScaling() const { return FHorizontalScaling; }

    void SetWordSpace(float value);        // 0 or more
    void SetCharSpace(float value);        // -30 to 300
    void SetFontSize(float value);         // 0 to 300
    void SetFont(TPdfFont* font) { FFont = font; }
    void SetLeading(float value);          // 0 to 300
    void SetHorizontalScaling(int value);  // 10 to 300 percent

    // Raises the error of SetFontSize for a size out of its range, without storing it.
    static void CheckFontSize(float value);

private:
    float FWordSpace = 0;
    float FCharSpace = 0;
    float FFontSize = 0;
    TPdfFont* FFont = nullptr;
    float FLeading = 0;
    std::uint16_t FHorizontalScaling = 100;
};

class TPdfCanvas : public TObject {
    TESS_CLASS(TPdfCanvas, TObject)
public:
    explicit TPdfCanvas(TPdfDoc* doc) : FPdfDoc(doc) {}
    TPdfCanvas(const TPdfCanvas&) = delete;
    TPdfCanvas& operator=(const TPdfCanvas&) = delete;

    // ---- State and page
    // Raise EPdfInvalidOperation when there is no page / no document.
    TPdfDictionary& Page() const;
    TPdfDoc& Doc() const;
    TPdfStream* Contents() const { return FContents; }
    TPdfCanvasAttribute& Attribute() { return FAttribute; }
    bool IsVirtual() const { return FIsVirtual; }

    // Makes page current. The text state of the page left travels with it, and comes back when
    // the canvas returns to it; a page seen for the first time starts with Arial at 10 points.
    void SetPage(TPdfDictionary& page);
    void SetPageWidth(int value);
    void SetPageHeight(int value);
    // Appends text to the page's content, unless the canvas is virtual or has no content.
    void WriteContent(const std::string& text);

    // ---- Operators
    void SaveState();
    void RestoreState();
    void ConcatMatrix(float a, float b, float c, float d, float e, float f);
    // An empty list, or one starting with 0, is a solid line.
    void SetDash(const std::vector<std::uint8_t>& values, std::uint8_t phase);
    void SetLineWidth(float width);
    void MoveTo(float x, float y);
    void LineTo(float x, float y);
    void Rectangle(float x, float y, float w, float h);
    void ClosePath();
    void NewPath();
    void Stroke();
    void ClosePathStroke();
    void Fill();
    void ClosePathFillStroke();
    void Clip();
    void BeginText();
    void EndText();
    void MoveTextPosition(float tx, float ty);
    void MoveToNextLine();
    // fontKey with its slash: "/F0".
    void SetFontAndSize(const std::string& fontKey, float size);
    void ShowText(const std::string& text);
    void PaintXObject(const std::string& name);
    // colour: a class-library colour value, red in the lowest byte; negative counts as black.
    void SetRGBFillColor(std::int32_t colour);
    void SetRGBStrokeColor(std::int32_t colour);

    // ---- Text state
    void SetCharSpace(float value);
    void SetWordSpace(float value);
    void SetLeading(float value);
    // Selects one of the registered standard fonts (EClassNotFound for another name).
    void SetFont(const std::string& fontName, float size);

    // Widths in points with the current text state.
    float TextWidth(const std::string& text);
    // How many characters fit in width.
    int MeasureText(const std::string& text, float width);
    // The word starting at the 1-based index, up to a blank, a CR LF or the end of the text;
    // index moves past it.
    std::string NextWord(const std::string& text, int& index);

    // ---- Drawing
    // Lines end at CR LF and, with word wrap, before a word that passes the right edge; each
    // line is cut at the right edge and the lines stop at the bottom.
    void WriteTextBlock(const TPdfRect& rect, const std::string& text, bool wordWrap);
    // Paints a registered external object scaled to w × h with its lower left corner at x, y.
    void DrawXObject(float x, float y, float w, float h, const std::string& name);
    // The same, clipped to the clip rectangle.
    void DrawXObjectEx(float x, float y, float w, float h, float clipX, float clipY,
                       float clipW, float clipH, const std::string& name);

private:
    friend class TPdfDoc;
    // The document's calls: a virtual canvas for measuring, and forgetting the page when the
    // document frees its objects.
    void SetIsVirtual(bool value) { FIsVirtual = value; }
    void ForgetPage();

    float CharWidth(const std::string& text, int position);
    void StoreTextState(TPdfDictionary& page);
    void RestoreTextState(TPdfDictionary& page);
    void ShowFittedLine(const std::string& line, float width);
    TPdfDictionary& ResourceDictionary(const std::string& kind);
    const std::string& RegisteredXObjectName(const std::string& name, const char* operation);

    TPdfStream* FContents = nullptr;
    TPdfDictionary* FPage = nullptr;
    TPdfDoc* FPdfDoc;
    TPdfCanvasAttribute FAttribute;
    bool FIsVirtual = false;
};
