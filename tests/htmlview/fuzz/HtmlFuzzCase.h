#pragma once
// One run of the HTML document fuzz target: any bytes are parsed as a page into a document, with
// every event handler assigned, and the document is dumped. Through the parser thread the text
// goes over in batches cut where the first bytes say. Crashes, bad reads, hangs and sanitizer
// reports are the faults looked for; a document that is not whole shows up as a bad read in the
// dump. The document is then laid out at three widths, painted at two scroll offsets and asked
// the hit-test, search and selection questions.

#include "HtmlTestSupport.h"

#include "platform/gui/ScriptedDialogs.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

// Up to four cuts, at offsets scaled from the bytes after the first.
inline std::vector<std::size_t> HtmlFuzzCuts(const std::string& html)
{
    std::vector<std::size_t> cuts;
    if (html.empty())
        return cuts;
    const std::size_t count = static_cast<unsigned char>(html[0]) % 5;
    for (std::size_t i = 1; i <= count; ++i)
        cuts.push_back(static_cast<unsigned char>(html[std::min(i, html.size() - 1)]) * html.size() / 256);
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

inline TParseHandlers HtmlFuzzHandlers()
{
    TParseHandlers handlers;
    handlers.Meta = [](TObject*, const std::string&, const std::string&, const std::string&) {};
    handlers.Sound = [](TObject*, const std::string&, int, bool) {};
    handlers.Script = [](TObject*, const std::string&, const std::string&, const char* script) {
        volatile char first = script[0];
        (void)first;
    };
    handlers.Include = [](TObject*, const std::string&, TStrings*, std::string& text) { text = "<B>incluso</B>"; };
    return handlers;
}

inline void LayOutAndPaintFuzzPage(TSectionList& Doc)
{
    // A table that cannot be laid out is reported in a message; nobody is there to close it.
    auto* dialogs = new TScriptedDialogs;
    dialogs->AnswerAll(TDialogKind::MessageDlg, TDialogAnswer::Code(mrOk));
    struct TRestore {
        std::unique_ptr<IDialogService> Previous;
        ~TRestore() { SetDialogService(std::move(Previous)); }
    } restore{SetDialogService(std::unique_ptr<IDialogService>(dialogs))};
    std::unique_ptr<TBitmap> bitmap = NewFilledBitmap(200, 200, clWhite);
    TCanvas* canvas = bitmap->Canvas();
    for (int width : {0, 50, 600}) {
        int maxWidth = 0, position = 0;
        Doc.DoLogic(canvas, 0, width, maxWidth, position, 0, 0);
        for (int scroll : {0, 10000}) {
            Doc.SetYOffset(scroll);
            Doc.Draw(canvas, Rect(0, 0, 200, 200), 6000, 0, 0);
        }
    }
    TUrlTarget* link = nullptr;
    TImageFormControlObj* control = nullptr;
    Doc.GetURL(canvas, 30, 20, link, control);
    delete link;
    int caretX = 0, caretY = 0, caretHeight = 0, x = 0, y = 0;
    TCell* cell = nullptr;
    bool inText = false;
    Doc.FindCursor(canvas, 30, 20, caretX, caretY, caretHeight, cell, inText);
    Doc.CursorToXY(canvas, 5, x, y);
    Doc.FindString(0, "a", false);
    Doc.SelStart = 2;
    Doc.SelEnd = 1000000;
    std::string text(static_cast<std::size_t>(Doc.GetSelLength()) + 1, ' ');
    Doc.GetSelTextBuf(text.data(), static_cast<int>(text.size()));
    Doc.CancelActives();
}

inline void RunHtmlFuzzCase(const std::uint8_t* data, std::size_t size, bool throughThread = true,
                            bool layOut = true)
{
    const std::string html(reinterpret_cast<const char*>(data), size);
    const TParseHandlers handlers = HtmlFuzzHandlers();
    std::unique_ptr<TParsedPage> page =
        throughThread ? ParseHtmlInBatches(html, HtmlFuzzCuts(html), handlers) : ParseHtmlHere(html, handlers);
    volatile std::size_t length = page->Dump().size();
    (void)length;
    if (layOut)
        LayOutAndPaintFuzzPage(page->Doc);
}
