#include "reportexport/PdfCanvas.h"

#include "reportexport/PdfDoc.h"

#include "platform/rtl/Formats.h"

using PdfObject::EscapeName;
using PdfObject::EscapeText;
using PdfObject::FormatReal;
using PdfObject::IsMultiByteText;
using PdfObject::TextToHex;
using PdfObject::WriteString;

namespace {

// The three bytes of a colour as fractions of 255: "1 0.5 0".
std::string PdfCanvasColourTriple(std::int32_t colour)
{
    if (colour < 0)
        colour = 0;
    auto fraction = [colour](int shift) {
        return FormatReal(static_cast<double>((colour >> shift) & 0xFF) / 255);
    };
    return fraction(0) + " " + fraction(8) + " " + fraction(16);
}

// Range tests written so that NaN fails them.
bool PdfCanvasInRange(float value, float low, float high)
{
    return value >= low && value <= high;
}

float StoredPdfCanvasReal(const TPdfDictionary& page, const std::string& key, float fallback)
{
    TPdfReal* value = page.RealOf(key);
    return value ? static_cast<float>(value->Value()) : fallback;
}

} // namespace

// ---- TPdfCanvasAttribute -------------------------------------------------------------------

void TPdfCanvasAttribute::SetWordSpace(float value)
{
    if (!(value >= 0))
        RAISE(EPdfInvalidValue("SetWordSpace --invalid word space"));
    FWordSpace = value;
}

void TPdfCanvasAttribute::SetCharSpace(float value)
{
    if (!PdfCanvasInRange(value, -30, 300))
        RAISE(EPdfInvalidValue("SetCharSpace --invalid char space"));
    FCharSpace = value;
}

void TPdfCanvasAttribute::CheckFontSize(float value)
{
    if (!PdfCanvasInRange(value, 0, 300))
        RAISE(EPdfInvalidValue("SetCharSpace --invalid font size"));
}

void TPdfCanvasAttribute::SetFontSize(float value)
{
    CheckFontSize(value);
    FFontSize = value;
}

void TPdfCanvasAttribute::SetLeading(float value)
{
    if (!PdfCanvasInRange(value, 0, 300))
        RAISE(EPdfInvalidValue("SetLeading --invalid font size"));
    FLeading = value;
}

void TPdfCanvasAttribute::SetHorizontalScaling(int value)
{
    if (value < 10 || value > 300)
        RAISE(EPdfInvalidValue("SetHorizontalScaling --invalid font size"));
    FHorizontalScaling = static_cast<std::uint16_t>(value);
}

// ---- State and page ------------------------------------------------------------------------

TPdfDictionary& TPdfCanvas::Page() const
{
    if (!FPage)
        RAISE(EPdfInvalidOperation("GetPage --the Page is nil"));
    return *FPage;
}

TPdfDoc& TPdfCanvas::Doc() const
{
    if (!FPdfDoc)
        RAISE(EPdfInvalidOperation("ERROR: GetDoc documant is nil."));
    return *FPdfDoc;
}

void TPdfCanvas::ForgetPage()
{
    FPage = nullptr;
    FContents = nullptr;
    FAttribute.SetFont(nullptr);
}

void TPdfCanvas::StoreTextState(TPdfDictionary& page)
{
    if (FAttribute.Font())
        page.AddInternal("_Font", std::make_unique<TPdfName>(FAttribute.Font()->Name()));
    page.AddInternal("_Font_Size", std::make_unique<TPdfReal>(FAttribute.FontSize()));
    page.AddInternal("_Word_Space", std::make_unique<TPdfReal>(FAttribute.WordSpace()));
    page.AddInternal("_Char_Space", std::make_unique<TPdfReal>(FAttribute.CharSpace()));
    page.AddInternal("_HScalling", std::make_unique<TPdfNumber>(FAttribute.HorizontalScaling()));
    page.AddInternal("_Leading", std::make_unique<TPdfReal>(FAttribute.Leading()));
}

void TPdfCanvas::RestoreTextState(TPdfDictionary& page)
{
    FAttribute.SetFont(&Doc().GetFont(page.NameOf("_Font")->Value()));
    FAttribute.SetFontSize(StoredPdfCanvasReal(page, "_Font_Size", 10));
    FAttribute.SetWordSpace(StoredPdfCanvasReal(page, "_Word_Space", 0));
    FAttribute.SetCharSpace(StoredPdfCanvasReal(page, "_Char_Space", 0));
    TPdfNumber* scaling = page.NumberOf("_HScalling");
    FAttribute.SetHorizontalScaling(scaling ? scaling->Value() : 100);
    FAttribute.SetLeading(StoredPdfCanvasReal(page, "_Leading", 0));
}

void TPdfCanvas::SetPage(TPdfDictionary& page)
{
    if (FPage)
        StoreTextState(*FPage);
    FPage = &page;
    FContents = dynamic_cast<TPdfStream*>(page.ValueOf("Contents"));
    if (page.NameOf("_Font")) {
        RestoreTextState(page);
        return;
    }
    FAttribute.SetFont(nullptr);
    SetFont("Arial", 10);
    FAttribute.SetCharSpace(0);
    FAttribute.SetWordSpace(0);
    FAttribute.SetHorizontalScaling(100);
    FAttribute.SetLeading(0);
}

void TPdfCanvas::SetPageWidth(int value)
{
    TPdfArray* mediaBox = Page().ArrayOf("MediaBox");
    auto* width = mediaBox ? dynamic_cast<TPdfNumber*>(mediaBox->Items(2)) : nullptr;
    if (!width)
        RAISE(EPdfInvalidOperation("Can not chenge width of this page.."));
    width->SetValue(value);
}

void TPdfCanvas::SetPageHeight(int value)
{
    TPdfArray* mediaBox = Page().ArrayOf("MediaBox");
    auto* height = mediaBox ? dynamic_cast<TPdfNumber*>(mediaBox->Items(3)) : nullptr;
    if (!height)
        RAISE(EPdfInvalidOperation("Can not chenge width of this page.."));
    height->SetValue(value);
}

void TPdfCanvas::WriteContent(const std::string& text)
{
    if (!FIsVirtual && FContents)
        WriteString(text, FContents->Stream());
}

// ---- Operators -----------------------------------------------------------------------------

void TPdfCanvas::SaveState()
{
    WriteContent("q\n");
}

void TPdfCanvas::RestoreState()
{
    WriteContent("Q\n");
}

void TPdfCanvas::ConcatMatrix(float a, float b, float c, float d, float e, float f)
{
    WriteContent(FormatReal(a) + " " + FormatReal(b) + " " + FormatReal(c) + " " + FormatReal(d) +
                 " " + FormatReal(e) + " " + FormatReal(f) + " cm\n");
}

void TPdfCanvas::SetDash(const std::vector<std::uint8_t>& values, std::uint8_t phase)
{
    std::string line = "[";
    if (!values.empty() && values[0] != 0) {
        for (std::uint8_t value : values)
            line += std::to_string(value) + " ";
    }
    WriteContent(line + "] " + std::to_string(phase) + " d\n");
}

void TPdfCanvas::SetLineWidth(float width)
{
    WriteContent(FormatReal(width) + " w\n");
}

void TPdfCanvas::MoveTo(float x, float y)
{
    WriteContent(FormatReal(x) + " " + FormatReal(y) + " m\n");
}

void TPdfCanvas::LineTo(float x, float y)
{
    WriteContent(FormatReal(x) + " " + FormatReal(y) + " l\n");
}

void TPdfCanvas::Rectangle(float x, float y, float w, float h)
{
    WriteContent(FormatReal(x) + " " + FormatReal(y) + " " + FormatReal(w) + " " + FormatReal(h) +
                 " re\n");
}

void TPdfCanvas::ClosePath()
{
    WriteContent("h\n");
}

void TPdfCanvas::NewPath()
{
    WriteContent("n\n");
}

void TPdfCanvas::Stroke()
{
    WriteContent("S\n");
}

void TPdfCanvas::ClosePathStroke()
{
    WriteContent("s\n");
}

void TPdfCanvas::Fill()
{
    WriteContent("f\n");
}

void TPdfCanvas::ClosePathFillStroke()
{
    WriteContent("b\n");
}

void TPdfCanvas::Clip()
{
    WriteContent("W\n");
}

void TPdfCanvas::BeginText()
{
    WriteContent("BT\n");
}

void TPdfCanvas::EndText()
{
    WriteContent("ET\n");
}

void TPdfCanvas::MoveTextPosition(float tx, float ty)
{
    WriteContent(FormatReal(tx) + " " + FormatReal(ty) + " Td\n");
}

void TPdfCanvas::MoveToNextLine()
{
    WriteContent("T*\n");
}

void TPdfCanvas::SetFontAndSize(const std::string& fontKey, float size)
{
    WriteContent(fontKey + " " + FormatReal(size) + " Tf\n");
}

void TPdfCanvas::ShowText(const std::string& text)
{
    if (IsMultiByteText(text))
        WriteContent("<" + TextToHex(text) + "> Tj\n");
    else
        WriteContent("(" + EscapeText(text) + ") Tj\n");
}

void TPdfCanvas::PaintXObject(const std::string& name)
{
    // Escaped like the key of the page's resources, so any name reaches its object.
    WriteContent(EscapeName(name) + " Do\n");
}

void TPdfCanvas::SetRGBFillColor(std::int32_t colour)
{
    WriteContent(PdfCanvasColourTriple(colour) + " rg\n");
}

void TPdfCanvas::SetRGBStrokeColor(std::int32_t colour)
{
    WriteContent(PdfCanvasColourTriple(colour) + " RG\n");
}

// ---- Text state ----------------------------------------------------------------------------

void TPdfCanvas::SetCharSpace(float value)
{
    if (value == FAttribute.CharSpace())
        return;
    FAttribute.SetCharSpace(value);
    if (FContents)
        WriteContent(FormatReal(value) + " Tc\n");
}

void TPdfCanvas::SetWordSpace(float value)
{
    if (value == FAttribute.WordSpace())
        return;
    FAttribute.SetWordSpace(value);
    if (FContents)
        WriteContent(FormatReal(value) + " Tw\n");
}

void TPdfCanvas::SetLeading(float value)
{
    if (value == FAttribute.Leading())
        return;
    FAttribute.SetLeading(value);
    WriteContent(FormatReal(value) + " TL\n");
}

TPdfDictionary& TPdfCanvas::ResourceDictionary(const std::string& kind)
{
    TPdfDictionary& page = Page();
    TPdfDictionary* resources = page.DictionaryOf("Resources");
    if (!resources) {
        auto created = std::make_unique<TPdfDictionary>(page.ObjectMgr());
        resources = created.get();
        page.Add("Resources", std::move(created));
    }
    TPdfDictionary* dictionary = resources->DictionaryOf(kind);
    if (!dictionary) {
        auto created = std::make_unique<TPdfDictionary>(page.ObjectMgr());
        dictionary = created.get();
        resources->Add(kind, std::move(created));
    }
    return *dictionary;
}

void TPdfCanvas::SetFont(const std::string& fontName, float size)
{
    // Every check comes before the first change: a refused size or font name leaves the page
    // and the text state as they were.
    TPdfCanvasAttribute::CheckFontSize(size);
    Page();
    TPdfFont& font = Doc().GetFont(fontName);
    if (&font == FAttribute.Font() && size == FAttribute.FontSize())
        return;
    const std::string& key = font.Data()->NameOf("Name")->Value();
    TPdfDictionary& fonts = ResourceDictionary("Font");
    if (!fonts.ValueOf(key))
        fonts.Add(key, *font.Data());
    if (FContents)
        SetFontAndSize("/" + key, size);
    FAttribute.SetFont(&font);
    FAttribute.SetFontSize(size);
}

float TPdfCanvas::CharWidth(const std::string& text, int position)
{
    TPdfFont* font = FAttribute.Font();
    float width = font ? font->GetCharWidth(text, position) * FAttribute.FontSize() / 1000 : 0;
    if (FAttribute.HorizontalScaling() != 100)
        width = FAttribute.HorizontalScaling() * width / 100;
    if (width > 0)
        width += FAttribute.CharSpace();
    else
        width = 0;
    if (text[static_cast<std::size_t>(position - 1)] == ' ' && FAttribute.WordSpace() > 0 &&
        position != static_cast<int>(text.size()))
        width += FAttribute.WordSpace();
    return width;
}

float TPdfCanvas::TextWidth(const std::string& text)
{
    float width = 0;
    for (int i = 1; i <= static_cast<int>(text.size()); ++i)
        width += CharWidth(text, i);
    // The spacing after the last character does not count.
    return width - FAttribute.CharSpace();
}

int TPdfCanvas::MeasureText(const std::string& text, float width)
{
    float running = 0;
    for (int i = 1; i <= static_cast<int>(text.size()); ++i) {
        running += CharWidth(text, i);
        if (running > width)
            return i - 1;
    }
    return static_cast<int>(text.size());
}

std::string TPdfCanvas::NextWord(const std::string& text, int& index)
{
    int length = static_cast<int>(text.size());
    if (index < 1 || index > length)
        return {};
    int end = index;
    while (end < length) {
        char c = text[static_cast<std::size_t>(end - 1)];
        if (c == ' ')
            break;
        if (c == '\n' && end > 1 && text[static_cast<std::size_t>(end - 2)] == '\r')
            break;
        ++end;
    }
    std::string word = text.substr(static_cast<std::size_t>(index - 1),
                                   static_cast<std::size_t>(end - index + 1));
    index = end + 1;
    return word;
}

// ---- Drawing -------------------------------------------------------------------------------

void TPdfCanvas::ShowFittedLine(const std::string& line, float width)
{
    if (!line.empty())
        ShowText(line.substr(0, static_cast<std::size_t>(MeasureText(line, width))));
}

void TPdfCanvas::WriteTextBlock(const TPdfRect& rect, const std::string& text, bool wordWrap)
{
    float top = rect.Top;
    float width = rect.Right - rect.Left;
    BeginText();
    MoveTextPosition(rect.Left, top - FAttribute.FontSize() * 0.85f);

    int index = 1;
    std::string line = NextWord(text, index);
    float x = rect.Left + TextWidth(line);
    if (!line.empty() && line.back() == ' ')
        x += FAttribute.WordSpace();

    while (index <= static_cast<int>(text.size())) {
        bool forcedBreak = false;
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) {
            line.resize(line.size() - 2);
            forcedBreak = true;
        }
        std::string word = NextWord(text, index);
        float wordWidth = TextWidth(word);
        if ((wordWrap && x + wordWidth > rect.Right) || forcedBreak) {
            ShowFittedLine(line, width);
            line.clear();
            MoveToNextLine();
            top -= FAttribute.Leading();
            if (rect.Bottom + FAttribute.FontSize() > top)
                break;
            x = rect.Left;
        }
        x += wordWidth;
        if (word.back() == ' ')
            x += FAttribute.WordSpace();
        line += word;
    }
    ShowFittedLine(line, width);
    EndText();
}

const std::string& TPdfCanvas::RegisteredXObjectName(const std::string& name, const char* operation)
{
    TPdfXObject* object = Doc().FindXObject(name);
    if (!object)
        RAISE(EPdfInvalidValue(Format("%s --XObject not found: %s", {operation, name})));
    TPdfDictionary& xObjects = ResourceDictionary("XObject");
    if (!xObjects.ValueOf(name))
        xObjects.Add(name, *object);
    return object->Attributes().NameOf("Name")->Value();
}

void TPdfCanvas::DrawXObject(float x, float y, float w, float h, const std::string& name)
{
    const std::string& objectName = RegisteredXObjectName(name, "DrawXObject");
    SaveState();
    ConcatMatrix(w, 0, 0, h, x, y);
    PaintXObject(objectName);
    RestoreState();
}

void TPdfCanvas::DrawXObjectEx(float x, float y, float w, float h, float clipX, float clipY,
                               float clipW, float clipH, const std::string& name)
{
    const std::string& objectName = RegisteredXObjectName(name, "DrawXObjectEx");
    SaveState();
    Rectangle(clipX, clipY, clipW, clipH);
    Clip();
    NewPath();
    ConcatMatrix(w, 0, 0, h, x, y);
    PaintXObject(objectName);
    RestoreState();
}
