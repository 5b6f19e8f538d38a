#include "HtmlTestSupport.h"

#include "platform/gui/Application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {

// One application for the whole run, on Qt's offscreen platform.
class THtmlViewEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
    }
};

const testing::Environment* const htmlViewEnvironment =
    testing::AddGlobalTestEnvironment(new THtmlViewEnvironment);

} // namespace

// The font configuration library keeps its caches for the life of the process; the leak checker
// of the sanitizer builds would report them at exit. Qt also gives each thread that measures text
// a font cache of its own; the parser thread's cache is torn down by the thread's exit handlers,
// and on a loaded machine the checker can run at process exit while that is under way. The
// stacks of those blocks lie wholly inside Qt, FreeType and HarfBuzz (Qt's frames have no frame
// pointers, so only the library names are seen).
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n"
           "leak:libfreetype.so\n"
           "leak:libharfbuzz.so\n"
           "leak:libQt6Gui.so\n"
           "leak:libQt6Core.so\n";
}

std::unique_ptr<TBitmap> NewFilledBitmap(int width, int height, TColor background, TPixelFormat format)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(width, height);
    bitmap->Canvas()->Brush()->SetColor(background);
    bitmap->Canvas()->FillRect(Rect(0, 0, width, height));
    return bitmap;
}

int InkIn(TBitmap& bitmap, const TRect& area, TColor background)
{
    const TColor plain = static_cast<TColor>(ColorToRGB(background));
    int ink = 0;
    for (int y = std::max(area.Top, 0); y < std::min(area.Bottom, bitmap.Height()); ++y)
        for (int x = std::max(area.Left, 0); x < std::min(area.Right, bitmap.Width()); ++x)
            if (bitmap.Canvas()->Pixels(x, y) != plain)
                ++ink;
    return ink;
}

void SavePicture(TBitmap& bitmap, const std::string& name)
{
    const char* folder = std::getenv("TESS_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0')
        return;
    std::filesystem::create_directories(folder);
    bitmap.SaveToFile((std::filesystem::path(folder) / (name + ".bmp")).string());
}

std::string MutateText(std::string text, std::mt19937& random, const char* const* pieces, std::size_t pieceCount)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    const int steps = 1 + static_cast<int>(below(4));
    for (int i = 0; i < steps; ++i) {
        switch (random() % 4) {
        case 0:
            if (!text.empty())
                text[below(text.size())] ^= static_cast<char>(1 + below(255));
            break;
        case 1: {
            const char* piece = pieces[below(pieceCount)];
            text.insert(below(text.size() + 1), piece, std::max<std::size_t>(std::strlen(piece), 1));
            break;
        }
        case 2:
            text.resize(below(text.size() + 1));
            break;
        default:
            if (text.size() < 4096)
                text += text.substr(below(text.size() + 1));
            break;
        }
    }
    return text;
}

// --- The document model ---------------------------------------------------------------------------

TPaneFontMetrics TFixedPaneMetrics::FontMetrics(TFont* /*Font*/)
{
    ++Measured;
    return {Height, 0, Descent, 0};
}

int TFixedPaneMetrics::TextWidth(HDC /*DC*/, const char* /*P*/, int N) { return N > 0 ? N * CharWidth : 0; }

int TFixedPaneMetrics::FitCount(HDC /*DC*/, const char* /*P*/, int N, int MaxWidth)
{
    return std::clamp(MaxWidth / CharWidth, 0, std::max(N, 0));
}

std::unique_ptr<TAttributeList> TagAttributes(const std::string& html)
{
    auto list = std::make_unique<TAttributeList>();
    for (const TRecordedSymbol& symbol : TokenizeHere(html)) {
        if (!IsTagSymbol(symbol.Sym))
            continue;
        for (const TRecordedAttribute& attribute : symbol.Attributes)
            list->Add(new TAttribute(attribute.Sym, attribute.Number, attribute.Text));
        break;
    }
    return list;
}

TTestDocument::TTestDocument()
{
    Doc.SetFonts("Arial", "Courier New", 12, clBlack, clBlue, clPurple, clRed, clWhite, false);
    Doc.CurrentParser = &Parser;
    BaseFont.SetName(Doc.BaseFontName);
    BaseFont.SetColor(Doc.TextColor | PaletteRelative);
    BaseFont.SetNormalSize(&Doc, 12);
}

TSection* TTestDocument::NewSection(int Level, JustifyType Justify, const TUrlTarget* Link)
{
    return new TSection(&Doc, Level, &BaseFont, Link, Justify);
}

std::unique_ptr<TMyFont> TTestDocument::FontOf(int RelativeSize, const std::string& Face)
{
    auto font = std::make_unique<TMyFont>();
    font->Assign(&BaseFont);
    font->SetName(Face);
    font->SetNormalSize(&Doc, RelativeSize);
    return font;
}

const TAttributeList* TTestDocument::Attrs(const std::string& html)
{
    FKeptAttributes.push_back(TagAttributes(html));
    return FKeptAttributes.back().get();
}

TFormControlObj* TTestDocument::AddControl(TSection& Section, const std::string& Tag, int SourcePos, bool NoBreak)
{
    const Symb which = Tag.rfind("<INPUT", 0) == 0    ? Symb::InputSy
                       : Tag.rfind("<SELECT", 0) == 0 ? Symb::SelectSy
                                                      : Symb::TextAreaSy;
    return Section.AddFormControl(which, &Doc, Attrs(Tag), &Doc, SourcePos, NoBreak);
}

void TDocumentHost::Show(TSectionList* Doc)
{
    Document = Doc;
    LaidOut = false;
    Invalidate();
}

void TDocumentHost::Paint()
{
    ++Paints;
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Document != nullptr ? Document->BackgroundColor : clWhite);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(Rect(0, 0, Width(), Height()));
    if (Document == nullptr)
        return;
    if (!LaidOut) {
        int position = 0;
        MaxWidth = 0;
        DocumentHeight = Document->DoLogic(canvas, Margin, Width() - 2 * Margin, MaxWidth, position, 0, 0);
        LaidOut = true;
    }
    Document->Draw(canvas, Rect(0, 0, Width(), Height()), 6000, Margin, Margin);
}

TokenObj TokenAt(const std::string& Text, int FirstSource)
{
    TokenObj token;
    for (std::size_t i = 0; i < Text.size(); ++i)
        token.AddChar(Text[i], FirstSource + static_cast<int>(i));
    return token;
}

void AddText(TSection& Section, const std::string& Text, int FirstSource, bool NoBreak)
{
    Section.AddTokenObj(TokenAt(Text, FirstSource), NoBreak);
}


