#pragma once
// Shared pieces of the viewer's tests: the application under Qt's offscreen platform, bitmaps to
// draw on and read back, pictures of them for a person to look at, the parser's symbols as they
// come out, and documents built in code as the parser builds them, with a plain-text dump.

#include "htmlview/PanePars.h"
#include "htmlview/PaneReadThd.h"
#include "htmlview/PaneSbs1.h"
#include "htmlview/PaneSubs.h"
#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/WinControl.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

// A bitmap of the given size and format, filled with background.
std::unique_ptr<TBitmap> NewFilledBitmap(int width, int height, TColor background, TPixelFormat format = pf24bit);
// The pixels of the rectangle whose colour differs from background.
int InkIn(TBitmap& bitmap, const TRect& area, TColor background);
// Writes the bitmap as name.bmp into TESS_SCREENSHOT_DIR when that is set; nothing otherwise.
void SavePicture(TBitmap& bitmap, const std::string& name);
// One deterministic mutation for the fuzz replays: flipped bytes, inserted pieces (an empty piece
// inserts one zero byte), cuts and self-appends up to 4 KB.
std::string MutateText(std::string text, std::mt19937& random, const char* const* pieces, std::size_t pieceCount);

// --- The parser ---------------------------------------------------------------------------------
// Inline, so that the fuzz targets can use them without the test runner.

// Waits as the viewer does while a parser thread runs: handles messages (so that synchronised
// calls run) until the parse is done or the thread waits for more text. done is set by the
// thread's OnTerminate; it is tested first, so a finished thread is never touched.
inline void WaitForParse(TParseThread& thread, bool& done)
{
    const auto stop = [&thread, &done] { return done || thread.Waiting(); };
    while (!stop())
        Application->HandleMessageUntil(stop);
}

struct TRecordedAttribute {
    Symb Sym;
    int Number;
    std::string Text;
    bool operator==(const TRecordedAttribute&) const = default;
};

// One symbol as Next left it. Tags carry their position, heading level and the parser's kept
// attributes; an EParseError that ended the input is recorded as OtherSy with its message.
struct TRecordedSymbol {
    Symb Sym;
    std::string Text;
    std::vector<int> Positions;
    int TagPos = 0;
    int HeadingLevel = 0;
    std::vector<TRecordedAttribute> Attributes;
    bool operator==(const TRecordedSymbol&) const = default;
};

inline bool IsTagSymbol(Symb sym)
{
    return sym != Symb::TextSy && sym != Symb::OtherChar && sym != Symb::EofSy && sym != Symb::OtherSy;
}

inline TRecordedSymbol RecordSymbol(const ThlParser& parser)
{
    TRecordedSymbol symbol{parser.CurSym, parser.TextToken.Chars, {}, 0, 0, {}};
    const auto begin = parser.TextToken.Positions.begin();
    symbol.Positions.assign(begin, begin + static_cast<std::ptrdiff_t>(parser.TextToken.Chars.size()));
    if (IsTagSymbol(symbol.Sym)) {
        symbol.TagPos = parser.TagPos;
        symbol.HeadingLevel = parser.HeadingLevel;
        for (int i = 0; parser.TagAttrs != nullptr && i < parser.TagAttrs->Count(); ++i) {
            const TAttribute* attribute = parser.TagAttrs->Attribute(i);
            symbol.Attributes.push_back({attribute->Symbol, attribute->Number, attribute->Text});
        }
    }
    return symbol;
}

inline std::ostream& operator<<(std::ostream& out, const TRecordedSymbol& symbol)
{
    out << "{sym " << static_cast<int>(symbol.Sym) << " '";
    for (char c : symbol.Text) {
        const unsigned char code = static_cast<unsigned char>(c);
        if (code < 32 || code >= 127)
            out << "\\x" << std::hex << static_cast<int>(code) << std::dec;
        else
            out << c;
    }
    out << "' at";
    for (int position : symbol.Positions)
        out << ' ' << position;
    out << " tag@" << symbol.TagPos << " h" << symbol.HeadingLevel;
    for (const TRecordedAttribute& attribute : symbol.Attributes)
        out << " [" << static_cast<int>(attribute.Sym) << ' ' << attribute.Number << " '" << attribute.Text << "']";
    return out << '}';
}

struct TReaderModes {
    bool InScript = false;
    bool InPre = false;
    bool NoBreak = false;
};

// Reads the whole text on the calling thread (no more text follows) and records every symbol.
inline std::vector<TRecordedSymbol> TokenizeHere(const std::string& html, TReaderModes modes = {})
{
    ThlParser parser;
    std::unique_ptr<TParseThread> holder(new TParseThread(true)); // never started: it only holds the text
    holder->AddString(html);
    parser.ParseThread = holder.get();
    parser.Threaded = false;
    std::vector<TRecordedSymbol> stream;
    parser.OnSymbol = [&stream](const ThlParser& p) { stream.push_back(RecordSymbol(p)); };
    parser.LoadStyle = lsPrimary;
    parser.ParseInit(nullptr, nullptr, nullptr);
    parser.InScript = modes.InScript;
    parser.InPre = modes.InPre;
    parser.NoBreak = modes.NoBreak;
    parser.ReadThreadRange();
    try {
        parser.GetCh();
        do
            parser.Next();
        while (parser.CurSym != Symb::EofSy);
    } catch (const EParseError& error) {
        stream.push_back({Symb::OtherSy, error.Message, {}, 0, 0, {}});
    }
    return stream;
}

// Parses html on a parser thread as the viewer does: the text goes over in batches ending at the
// given offsets (ascending; equal offsets make empty batches), the GUI side waiting after each.
// The stream is what the worker's parser recorded.
inline std::vector<TRecordedSymbol> ParseInBatches(const std::string& html, const std::vector<std::size_t>& cuts,
                                                   const TIncludeType& include = nullptr, TObject* sender = nullptr)
{
    ThlParser parser;
    parser.EventSender = sender;
    std::vector<TRecordedSymbol> stream;
    parser.OnSymbol = [&stream](const ThlParser& p) { stream.push_back(RecordSymbol(p)); };
    bool done = false;
    auto* thread = new TParseThread(true);
    thread->FParser = &parser;
    thread->FOnInclude = include;
    thread->OnTerminate = [&done](TObject*) { done = true; };
    parser.ParseThread = thread;
    parser.Threaded = true;
    thread->Resume();
    WaitForParse(*thread, done);
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size() && !done; ++i) {
        const std::size_t to = i < cuts.size() ? std::min(cuts[i], html.size()) : html.size();
        thread->AddString(html.substr(from, to - from));
        parser.Threaded = i < cuts.size();
        from = to;
        thread->Resume();
        WaitForParse(*thread, done);
    }
    return stream;
}

// --- The document model ---------------------------------------------------------------------------

// Metrics that are the same on every machine: every character 7 pixels wide, height 13, descent
// 3, no leading, no overhang.
class TFixedPaneMetrics : public TPaneMetrics {
public:
    static constexpr int CharWidth = 7, Height = 13, Descent = 3;
    TPaneFontMetrics FontMetrics(TFont* Font) override;
    int TextWidth(HDC DC, const char* P, int N) override;
    int FitCount(HDC DC, const char* P, int N, int MaxWidth) override;
    // FontMetrics calls so far, from any thread.
    std::atomic<int> Measured{0};
};

// Installs fixed metrics for its lifetime.
class TFixedMetricsScope {
public:
    TFixedMetricsScope() { SetPaneMetrics(&Metrics); }
    ~TFixedMetricsScope() { SetPaneMetrics(nullptr); }
    TFixedMetricsScope(const TFixedMetricsScope&) = delete;
    TFixedMetricsScope& operator=(const TFixedMetricsScope&) = delete;
    TFixedPaneMetrics Metrics;
};

// A viewer for a document without a window: expands a name by putting "full/" in front and
// remembers the margins it is given.
class TFakeViewer : public TViewerServices {
public:
    TComponent* ViewerComponent() override { return &Component; }
    std::string HTMLExpandFilename(const std::string& Filename) override { return "full/" + Filename; }
    int ViewerClientHeight() override { return 400; }
    int MarginHeight() override { return 5; }
    void SetDocumentMarginWidth(int Value) override { MarginWidthSet = Value; }
    void SetDocumentMarginHeight(int Value) override { MarginHeightSet = Value; }

    TComponent Component{nullptr};
    int MarginWidthSet = -1;
    int MarginHeightSet = -1;
};

// The attributes of the first tag in html, read by the tokenizer.
std::unique_ptr<TAttributeList> TagAttributes(const std::string& html);

// A document, a parser whose state the model reads, and the parser's base font, set up as a
// parse sets them up: faces "Arial" and "Courier New", base size 12.
class TTestDocument {
public:
    TTestDocument();
    TTestDocument(const TTestDocument&) = delete;
    TTestDocument& operator=(const TTestDocument&) = delete;

    // A text section in the base font, as the parser creates one.
    TSection* NewSection(int Level = 0, JustifyType Justify = PaneUn2::Left, const TUrlTarget* Link = nullptr);
    // A font copied from the base font with another relative size and face.
    std::unique_ptr<TMyFont> FontOf(int RelativeSize, const std::string& Face = "Arial");
    // Keeps the attributes of html's first tag alive for the document's lifetime.
    const TAttributeList* Attrs(const std::string& html);
    // The form field of an INPUT, SELECT or TEXTAREA tag, added as the parser adds it, the
    // document being the cell.
    TFormControlObj* AddControl(TSection& Section, const std::string& Tag, int SourcePos, bool NoBreak = false);

    TFakeViewer Viewer;
    TSectionList Doc{&Viewer, nullptr};
    ThlParser Parser;
    TMyFont BaseFont;

private:
    std::vector<std::unique_ptr<TAttributeList>> FKeptAttributes;
};

// A token of text whose characters stand at source positions FirstSource, FirstSource + 1, ...
TokenObj TokenAt(const std::string& Text, int FirstSource);
// Appends text to a section as the parser does, one token.
void AddText(TSection& Section, const std::string& Text, int FirstSource, bool NoBreak = false);
// The characters of a section with the special ones shown as «2», «4», «5», «6», «7» and «nb».
std::string ShownChars(const std::string& Chars);
// Bold, italic, underline, strike-out as "BIUS", a dash for each one missing.
std::string StyleText(TFontStyles Style);
// One line per item of the document: sections, their runs, images and controls, gaps, rules,
// tables as a grid with each cell's content indented under it, and then the forms.
std::string DumpDocument(TSectionList& Doc);

// The painting surface of a test document: the first paint lays the document out at the control's
// width less the margins (as the viewer does, from Y = Margin), every paint fills the background
// and draws the document at the current scroll offset.
class TDocumentHost : public TCustomControl {
    TESS_CLASS(TDocumentHost, TCustomControl)
public:
    explicit TDocumentHost(TComponent* AOwner) : TCustomControl(AOwner) {}
    // Doc is not owned; the next paint lays it out again.
    void Show(TSectionList* Doc);

    TSectionList* Document = nullptr;
    int Margin = 10;
    bool LaidOut = false;
    int DocumentHeight = 0;
    int MaxWidth = 0;
    int Paints = 0;

protected:
    void Paint() override;
};

// --- Parsing into a document --------------------------------------------------------------------

struct TParseHandlers {
    TMetaType Meta;
    TSoundType Sound;
    TScriptEvent Script;
    TIncludeType Include;
};

// A document parsed by ParseHtml with what the parse left: the names of its anchors and the
// parser's TITLE and BASE.
struct TParsedPage {
    TFakeViewer Viewer;
    TSectionList Doc{&Viewer, nullptr};
    TStringList Names;
    ThlParser Parser;
    std::string Dump() { return DumpDocument(Doc); }
};

// Parses html into a new document on a parser thread with the viewer's batch handshake: the text
// goes over batchSize characters at a time (0: all at once), the GUI side waiting after each, the
// last batch telling the parser that no more follows. Faces "Arial" and "Courier New", base size 12.
std::unique_ptr<TParsedPage> ParseHtml(const std::string& html, std::size_t batchSize = 0,
                                       const TParseHandlers& handlers = {}, bool plainText = false);

// The same with the batches ending at the given offsets (ascending).
std::unique_ptr<TParsedPage> ParseHtmlInBatches(const std::string& html, const std::vector<std::size_t>& cuts,
                                                const TParseHandlers& handlers = {}, bool plainText = false);

// The same on the calling thread, all text at once; much cheaper than a thread under the
// sanitizers.
std::unique_ptr<TParsedPage> ParseHtmlHere(const std::string& html, const TParseHandlers& handlers = {});

// The characters of every text section, tables' cells and captions included, each section
// preceded by a blank, without placeholder characters.
std::string DocumentText(TSectionList& Doc);

// The customer card the program composes, for the customer "Rossi" with the given number of
// documents: invoices 12, 13, ... of 01/02/2024, every third with the modifier "bis", every other
// one paid.
std::string CustomerCard(int documents);

// The fixture of the document details page: its template with the placeholders filled.
std::string DetailsPage();
// Twenty simple pages: paragraphs, line breaks, styles, lists, tables and entities.
std::vector<std::string> PeerCorpus();
