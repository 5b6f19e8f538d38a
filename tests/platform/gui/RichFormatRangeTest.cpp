// The rich edit's format range measured and drawn on the screen, a printer and a metafile, and the
// class library's TRichEdit used as the report's rich-text object and its editor use it.
#include "GuiTestSupport.h"
#include "RtfTestSupport.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/PdfPrinter.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/gui/RichEdit.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/MetafileRecording.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <regex>

void RecordDesktopOpener(std::vector<std::string>* targets);

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// 200 paragraphs of words of varying length, some of them long enough to wrap many times.
std::string MixedText(int paragraphs)
{
    static const char* const words[] = {"fattura", "IVA", "imponibile", "totale", "cliente", "Spett.le",
                                        "pagamento", "bonifico", "scadenza", "€", "è", "precisazioneestremamentelunga"};
    std::string text;
    for (int p = 0; p < paragraphs; ++p) {
        if (p > 0)
            text += "\r\n";
        text += "Paragrafo " + IntToStr(p + 1) + ":";
        for (int w = 0; w < (p * 7) % 23; ++w)
            text += std::string(" ") + words[(p + w) % 12];
    }
    return text;
}

class RichFormatRange : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(50, 50, 600, 500);
        edit = new TRichEdit(form);
        edit->SetParent(form);
        edit->SetBounds(5, 5, 500, 400);
        edit->SetWordWrap(false);
        window = edit->Handle();
        screen = GetDC(nullptr);
    }
    void TearDown() override
    {
        ReleaseDC(nullptr, screen);
        TComponent::Free(form);
    }
    LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(window, msg, w, l); }
    int Length() { return static_cast<int>(Send(WM_GETTEXTLENGTH)); }
    std::string Range(int from, int to)
    {
        std::vector<char> buffer(static_cast<std::size_t>(std::max(to - from, 0)) + 1);
        TEXTRANGEA range;
        range.chrg = {from, to};
        range.lpstrText = buffer.data();
        const auto count = Send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
        return std::string(buffer.data(), static_cast<std::size_t>(count));
    }
    // One request: the next position, and the formatted bottom in bottom.
    int Format(HDC dc, bool render, int start, RECT rect, LONG* bottom = nullptr, int end = -1)
    {
        FORMATRANGE format;
        format.hdc = dc;
        format.hdcTarget = dc;
        format.rc = rect;
        format.rcPage = rect;
        format.chrg = {start, end};
        const auto next = static_cast<int>(Send(EM_FORMATRANGE, render ? 1 : 0, reinterpret_cast<LPARAM>(&format)));
        if (bottom)
            *bottom = format.rc.Bottom;
        return next;
    }
    // The next positions of measuring page after page from the start.
    std::vector<int> Pages(HDC dc, RECT page)
    {
        std::vector<int> starts{0};
        while (starts.back() < Length()) {
            const int next = Format(dc, false, starts.back(), page);
            if (next <= starts.back()) {
                ADD_FAILURE() << "a page did not advance at " << starts.back();
                break;
            }
            starts.push_back(next);
        }
        return starts;
    }
    void SetBoldWords()
    {
        CHARFORMAT2A bold;
        bold.dwMask = CFM_BOLD | CFM_SIZE;
        bold.dwEffects = CFE_BOLD;
        bold.yHeight = 280;
        for (int at = 0; at + 40 < Length(); at += 997) {
            CHARRANGE range{at, at + 40};
            Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
            Send(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&bold));
        }
    }

    TForm* form = nullptr;
    TRichEdit* edit = nullptr;
    HWND window = nullptr;
    HDC screen = nullptr;
};

TEST_F(RichFormatRange, PagesCoverTheTextExactlyOnce)
{
    edit->SetText(MixedText(200));
    SetBoldWords();
    const RECT page{0, 0, 1440, 4 * 1440};
    const std::vector<int> starts = Pages(screen, page);
    ASSERT_GT(starts.size(), 10u);
    std::string joined;
    for (std::size_t i = 0; i + 1 < starts.size(); ++i)
        joined += Range(starts[i], starts[i + 1]);
    EXPECT_EQ(joined, edit->GetText());
    EXPECT_EQ(starts.back(), Length());

    // Page breaks fall at line starts: each page but the first starts where a line starts.
    for (std::size_t i = 1; i + 1 < starts.size(); ++i) {
        const auto line = Send(EM_EXLINEFROMCHAR, 0, starts[i]);
        const int paragraphStart = static_cast<int>(Send(EM_LINEINDEX, static_cast<WPARAM>(line)));
        const std::string before = Range(paragraphStart, starts[i]);
        EXPECT_TRUE(before.empty() || before.back() == ' ' || before.back() == '-' || before.size() > 0)
            << before;
    }
}

TEST_F(RichFormatRange, TheBottomGrowsWithTheText)
{
    edit->SetText(MixedText(60));
    const RECT tall{0, 0, 1440 * 4, 1000000};
    LONG previous = 0;
    for (int end : {10, 200, 600, 1200, Length()}) {
        LONG bottom = 0;
        EXPECT_EQ(Format(screen, false, 0, tall, &bottom, end), end);
        EXPECT_GT(bottom, previous) << end;
        previous = bottom;
    }
}

TEST_F(RichFormatRange, PrinterAndMetafileBreakWhereTheScreenDoes)
{
    TTempFolder folder("tess-richfr");
    SetVirtualPrinterFolder(folder.Path());
    SetPrinterCatalogue(TPrinterCatalogue{});
    edit->SetText(MixedText(80));
    SetBoldWords();
    DEVMODEA mode;
    std::strcpy(mode.dmDeviceName, VirtualPrinterName);
    mode.dmFields = DM_PRINTQUALITY | DM_YRESOLUTION;
    mode.dmPrintQuality = 1200;
    mode.dmYResolution = 1200;
    HDC printer = CreateDCA("PDF", VirtualPrinterName, nullptr, &mode);
    ASSERT_NE(printer, nullptr);
    TMetafile metafile;
    metafile.SetWidth(400);
    metafile.SetHeight(600);
    auto canvas = std::make_unique<TMetafileCanvas>(&metafile, nullptr);

    const RECT page{720, 720, 720 + 3 * 1440, 720 + 5 * 1440};
    int start = 0;
    for (int round = 0; round < 4 && start < Length(); ++round) {
        LONG screenBottom = 0, printerBottom = 0, metafileBottom = 0;
        const int measured = Format(screen, false, start, page, &screenBottom);
        EXPECT_EQ(Format(printer, true, start, page, &printerBottom), measured);
        EXPECT_EQ(Format(canvas->Handle(), true, start, page, &metafileBottom), measured);
        EXPECT_EQ(printerBottom, screenBottom);
        EXPECT_EQ(metafileBottom, screenBottom);
        start = measured;
    }
    canvas.reset();
    int texts = 0;
    for (const TEmrRecord& record : metafile.Records())
        if (record.Type == EMR_EXTTEXTOUTW)
            ++texts;
    EXPECT_GT(texts, 20);
    DeleteDC(printer);
    ResetPrinterCatalogue();
    SetVirtualPrinterFolder("");
}

TEST_F(RichFormatRange, ATooTallFirstLineStillAdvancesAndTheCacheCanBeFreed)
{
    edit->SetText("Grande\r\npiccolo");
    CHARRANGE first{0, 6};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&first));
    edit->SelAttributes()->SetSize(72);
    const RECT low{0, 0, 4 * 1440, 300};
    LONG bottom = 0;
    EXPECT_EQ(Format(screen, false, 0, low, &bottom), 8);
    EXPECT_EQ(bottom, 300) << "the line is cut at the rectangle";
    EXPECT_EQ(Format(screen, false, 8, low), Length());
    // An empty rectangle still places one line.
    EXPECT_EQ(Format(screen, false, 0, RECT{0, 0, 4 * 1440, 0}), 8);

    const RECT page{0, 0, 2000, 1800};
    const int before = Format(screen, false, 0, page, &bottom);
    EXPECT_EQ(Send(EM_FORMATRANGE, 0, 0), 0);
    LONG after = 0;
    EXPECT_EQ(Format(screen, false, 0, page, &after), before);
    EXPECT_EQ(after, bottom);
}

class RichEditPrint : public RichFormatRange {
protected:
    void SetUp() override
    {
        RichFormatRange::SetUp();
        Folder = std::make_unique<TTempFolder>("tess-richprint");
        SetVirtualPrinterFolder(Folder->Path());
        SetPrinterCatalogue(TPrinterCatalogue{});
        FOldPrinter = SetPrinter(std::make_unique<TPrinter>());
        RecordDesktopOpener(&Opened);
    }
    void TearDown() override
    {
        SetPrinter(std::move(FOldPrinter));
        RecordDesktopOpener(nullptr);
        ResetPrinterCatalogue();
        SetVirtualPrinterFolder("");
        RichFormatRange::TearDown();
    }
    // The pages the measuring loop predicts for the printer's page.
    int PredictedPages()
    {
        HDC dc = Printer()->Handle();
        const RECT page{0, 0, MulDiv(Printer()->PageWidth(), 1440, GetDeviceCaps(dc, LOGPIXELSX)),
                        MulDiv(Printer()->PageHeight(), 1440, GetDeviceCaps(dc, LOGPIXELSY))};
        return std::max(static_cast<int>(Pages(screen, page).size()) - 1, 1);
    }
    std::unique_ptr<TTempFolder> Folder;
    std::vector<std::string> Opened;

private:
    std::unique_ptr<TPrinter> FOldPrinter;
};

TEST_F(RichEditPrint, ThreePagesOfTextPrintAsPredicted)
{
    std::string text;
    for (int p = 0; p < 250; ++p)
        text += "Riga " + IntToStr(p + 1) + " della fattura di prova con qualche parola in piu\r\n";
    edit->SetText(text);
    const int pages = PredictedPages();
    EXPECT_GE(pages, 3) << Printer()->PageWidth() << " x " << Printer()->PageHeight() << " at "
                        << GetDeviceCaps(Printer()->Handle(), LOGPIXELSY) << " dpi, " << Length() << " characters";
    edit->Print("Testo ricco");
    const std::string pdf = Printer()->LastOutputFile();
    ASSERT_FALSE(pdf.empty());
    const std::string info = RunCommand("pdfinfo " + Quoted(pdf));
    EXPECT_TRUE(std::regex_search(info, std::regex("Pages:\\s+" + IntToStr(pages) + "\n"))) << info;
    const std::string extracted = RunCommand("pdftotext " + Quoted(pdf) + " - | tr -s ' \\n\\f' ' '");
    EXPECT_NE(extracted.find("Riga 1 della fattura di prova"), std::string::npos) << extracted.substr(0, 300);
    EXPECT_NE(extracted.find("Riga 250 della fattura"), std::string::npos)
        << extracted.substr(extracted.size() > 300 ? extracted.size() - 300 : 0);
    EXPECT_EQ(RunCommand("qpdf --check " + Quoted(pdf) + " >/dev/null; echo $?"), "0\n");

    edit->Clear();
    edit->Print("Vuoto");
    const std::string empty = RunCommand("pdfinfo " + Quoted(Printer()->LastOutputFile()));
    EXPECT_TRUE(std::regex_search(empty, std::regex("Pages:\\s+1\n"))) << empty;
}

// The template the report's rich-text object holds: a bold name and a total in a second paragraph.
const char* const TemplateRtf =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n"
    "\\pard\\f0\\fs20 Spett.le {\\b [Cliente]}, ecco il riepilogo.\\par\r\n"
    "Totale da pagare: [Totale] euro.\\par\r\n"
    "Grazie per la fiducia accordata alla nostra ditta in tutti questi anni di lavoro insieme.\\par\r\n"
    "Riga quattro.\\par Riga cinque.\\par Riga sei.\\par Riga sette.\\par Riga otto.\\par\r\n"
    "Riga nove.\\par Riga dieci.\\par}";

TEST_F(RichFormatRange, AReportObjectExpandsMeasuresCutsAndDraws)
{
    auto* design = new TRichEdit(form);
    design->SetParent(form);
    design->SetWordWrap(false);
    design->SetVisible(false);
    TStringStream source(TemplateRtf);
    design->Lines()->LoadFromStream(source);

    // Copied into the layout control as the report object copies it.
    TMemoryStream copy;
    design->Lines()->SaveToStream(copy);
    copy.SetPosition(0);
    edit->Lines()->LoadFromStream(copy);
    EXPECT_EQ(edit->Lines()->Count(), design->Lines()->Count());

    // Each bracketed name replaced at the position the sum of (length + 2) gives.
    const std::map<std::string, std::string> values{{"Cliente", "Rossi Mario S.r.l."}, {"Totale", "1.234,56"}};
    for (int i = 0; i < edit->Lines()->Count(); ++i) {
        int base = 0;
        for (int j = 0; j < i; ++j)
            base += static_cast<int>(edit->Lines()->Strings(j).size()) + 2;
        std::string line = edit->Lines()->Strings(i);
        for (std::size_t p = line.find('['); p != std::string::npos; p = line.find('[', p)) {
            const std::size_t q = line.find(']', p);
            const std::string value = values.at(line.substr(p + 1, q - p - 1));
            edit->SetSelStart(base + static_cast<int>(p));
            edit->SetSelLength(static_cast<int>(q - p + 1));
            edit->SetSelText(value);
            line.replace(p, q - p + 1, value);
            p += value.size();
        }
    }
    EXPECT_EQ(edit->Lines()->Strings(0), "Spett.le Rossi Mario S.r.l., ecco il riepilogo.");
    EXPECT_EQ(edit->Lines()->Strings(1), "Totale da pagare: 1.234,56 euro.");

    // A page five lines high, at the object's width; the rest is cut away.
    HDC dc = screen;
    const int px = GetDeviceCaps(dc, LOGPIXELSY);
    const RECT page{0, 0, 300 * 1440 / px, 5 * 16 * 1440 / px};
    const int endChar = Format(dc, false, 0, page);
    Send(EM_FORMATRANGE, 0, 0);
    ASSERT_GT(endChar, 0);
    ASSERT_LT(endChar, Length());
    const std::string rest = Range(endChar, Length());
    edit->SetSelStart(endChar);
    edit->SetSelLength(Length() - endChar + 1);
    edit->SetSelText("");
    EXPECT_EQ(Length(), endChar) << "the part keeps its last break";

    // The part drawn into a metafile keeps the values as bold text records.
    TMetafile metafile;
    metafile.SetWidth(300);
    metafile.SetHeight(80);
    {
        TMetafileCanvas canvas(&metafile, nullptr);
        canvas.Brush()->SetStyle(bsClear);
        Format(canvas.Handle(), true, 0, RECT{0, 0, 300 * 1440 / px, 80 * 1440 / px});
    }
    std::string drawn;
    LONG weight = 0;
    bool boldName = false;
    for (const TEmrRecord& record : metafile.Records()) {
        if (record.Type == EMR_EXTCREATEFONTINDIRECTW)
            weight = record.Font.lfWeight;
        if (record.Type == EMR_EXTTEXTOUTW) {
            std::string text;
            for (char16_t c : record.Text)
                text += static_cast<char>(c);
            drawn += text + "|";
            if (text.find("Rossi Mario") != std::string::npos && weight >= FW_BOLD)
                boldName = true;
        }
    }
    EXPECT_TRUE(boldName) << drawn;
    EXPECT_NE(drawn.find("1.234,56"), std::string::npos) << drawn;

    // The remaining part measures the rest.
    auto* remaining = new TRichEdit(form);
    remaining->SetParent(form);
    remaining->SetBounds(0, 0, 300, 100);
    remaining->SetWordWrap(false);
    remaining->SetText(rest);
    EXPECT_GT(SendMessageA(remaining->Handle(), WM_GETTEXTLENGTH, 0, 0), 0);
    FORMATRANGE format;
    format.hdc = format.hdcTarget = dc;
    format.rc = format.rcPage = RECT{0, 0, 300 * 1440 / px, 1000000};
    format.chrg = {0, -1};
    EXPECT_EQ(SendMessageA(remaining->Handle(), EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&format)),
              SendMessageA(remaining->Handle(), WM_GETTEXTLENGTH, 0, 0));
}

TEST_F(RichFormatRange, TheEditorSetsAttributesParagraphsAndFiles)
{
    edit->SetText("Primo paragrafo\r\nSecondo paragrafo");
    edit->SelectAll();
    edit->SelAttributes()->SetName("Times New Roman");
    edit->SelAttributes()->SetSize(14);
    edit->SelAttributes()->SetStyle(TFontStyles{fsBold, fsItalic});
    EXPECT_EQ(edit->SelAttributes()->Name(), "Times New Roman");
    EXPECT_EQ(edit->SelAttributes()->Size(), 14);
    EXPECT_TRUE(edit->SelAttributes()->Style() == (TFontStyles{fsBold, fsItalic}));
    EXPECT_TRUE(edit->SelAttributes()->ConsistentAttributes().Contains(caBold));

    edit->SetSelStart(2);
    edit->Paragraph()->SetAlignment(taCenter);
    EXPECT_EQ(edit->Paragraph()->Alignment(), taCenter);
    edit->Paragraph()->SetFirstIndent(12);
    edit->Paragraph()->SetRightIndent(8);
    EXPECT_EQ(edit->Paragraph()->FirstIndent(), 12);
    EXPECT_EQ(edit->Paragraph()->RightIndent(), 8);
    EXPECT_EQ(edit->Paragraph()->LeftIndent(), 0);
    edit->Paragraph()->SetNumbering(nsBullet);
    EXPECT_EQ(edit->Paragraph()->Numbering(), nsBullet);
    EXPECT_EQ(edit->Paragraph()->LeftIndent(), 10);
    edit->Paragraph()->SetNumbering(nsNone);
    EXPECT_EQ(edit->Paragraph()->LeftIndent(), 0);
    edit->SetSelStart(20);
    EXPECT_EQ(edit->Paragraph()->Alignment(), taLeftJustify) << "only the first paragraph changed";

    // The editor's formatting rectangle narrows the lines of a wrapped control.
    edit->SetWordWrap(true);
    edit->SetText(std::string(60, 'x') + " " + std::string(60, 'y'));
    const auto wide = Send(EM_GETLINECOUNT);
    RECT narrow{6, 0, 120, 200};
    Send(EM_SETRECT, 0, reinterpret_cast<LPARAM>(&narrow));
    EXPECT_GT(Send(EM_GETLINECOUNT), wide);
    RECT read;
    Send(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&read));
    EXPECT_EQ(read, narrow);
    edit->SetWordWrap(false);

    TTempFolder folder("tess-richfiles");
    edit->SetText("Riga uno\r\nRiga due");
    const std::string txt = IncludeTrailingPathDelimiter(folder.Path()) + "x.txt";
    const std::string rtf = IncludeTrailingPathDelimiter(folder.Path()) + "x.rtf";
    edit->Lines()->SaveToFile(txt);
    edit->Lines()->SaveToFile(rtf);
    std::ifstream textFile(txt, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(textFile)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, "Riga uno\r\nRiga due");
    std::ifstream rtfFile(rtf, std::ios::binary);
    const std::string rich((std::istreambuf_iterator<char>(rtfFile)), std::istreambuf_iterator<char>());
    EXPECT_EQ(rich.rfind("{\\rtf1", 0), 0u);

    const std::string lf = IncludeTrailingPathDelimiter(folder.Path()) + "lf.TXT";
    std::ofstream(lf, std::ios::binary) << "alfa\nbeta\ngamma\n";
    edit->Lines()->LoadFromFile(lf);
    EXPECT_EQ(edit->GetText(), "alfa\r\nbeta\r\ngamma\r\n");
    EXPECT_EQ(edit->Lines()->Count(), 3);
    EXPECT_EQ(edit->Lines()->Strings(2), "gamma");
    // A CR LF split between two blocks stays one break; a lone CR at a block's end stays a break.
    std::string crs;
    for (int i = 0; i < 3000; ++i)
        crs += "ab\r";
    std::ofstream(lf, std::ios::binary) << crs;
    edit->Lines()->LoadFromFile(lf);
    EXPECT_EQ(edit->Lines()->Count(), 3000);
    EXPECT_EQ(edit->Lines()->Strings(2999), "ab");
}

TEST_F(RichFormatRange, LinesInsertPutAndDelete)
{
    edit->SetText("uno\r\ndue");
    edit->Lines()->Insert(1, "uno e mezzo");
    edit->Lines()->Add("tre");
    EXPECT_EQ(edit->GetText(), "uno\r\nuno e mezzo\r\ndue\r\ntre");
    edit->Lines()->SetStrings(0, "zero");
    edit->Lines()->Delete(2);
    EXPECT_EQ(edit->GetText(), "zero\r\nuno e mezzo\r\ntre");
    EXPECT_EQ(edit->Lines()->Count(), 3);
    EXPECT_EQ(edit->FindText("MEZZO", 0, Length(), {}), 12);
    EXPECT_EQ(edit->FindText("MEZZO", 0, Length(), {stMatchCase}), -1);
}

TEST_F(RichFormatRange, DemonstrationFormShowsTheDialect)
{
    edit->SetWordWrap(true);
    edit->SetScrollBars(ssNone);
    TStringStream source{std::string(WindowsDialectSample)};
    edit->Lines()->LoadFromStream(source);
    // The picture goes after the dialect's text, through a selection stream.
    edit->SetSelStart(Length());
    struct TBytes {
        std::string Data;
        std::size_t At = 0;
    } picture{ObjectSample};
    EDITSTREAM stream;
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&picture);
    stream.pfnCallback = [](DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* transferred) -> DWORD {
        auto* bytes = reinterpret_cast<TBytes*>(cookie);
        const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(cb), bytes->Data.size() - bytes->At);
        std::memcpy(buffer, bytes->Data.data() + bytes->At, count);
        bytes->At += count;
        *transferred = static_cast<LONG>(count);
        return 0;
    };
    Send(EM_STREAMIN, SF_RTF | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream));
    EXPECT_EQ(stream.dwError, 0u);
    ShowAndActivate(form);
    PumpUntil([&] { return Widget(edit)->isVisible(); });
    Pump(50);
    const std::string path = ScreenshotDir() + "/richedit.png";
    EXPECT_TRUE(GrabToPng(form, path));
}

} // namespace
