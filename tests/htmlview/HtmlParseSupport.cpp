// The document dump and the parse through the parser thread, without the test runner, so that
// the fuzz targets can use them too.

#include "HtmlTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

std::string Hex8(TColor Color)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(Color));
    return text;
}

std::string ColorText(bool Has, TColor Color) { return Has ? Hex8(Color) : "none"; }

const char* YesNo(bool Value) { return Value ? "yes" : "no"; }

const char* JustifyText(JustifyType Justify)
{
    static const char* const names[] = {"none", "left", "centre", "right"};
    return names[Justify];
}

const char* AlignText(AlignmentType Align)
{
    static const char* const names[] = {"top", "middle", "bottom", "left", "right"};
    return names[Align];
}

const char* ClearText(ClearAttrType Clear)
{
    static const char* const names[] = {"none", "left", "right", "all"};
    return names[Clear];
}

class TDocumentDumper {
public:
    explicit TDocumentDumper(TSectionList& Doc) : FDoc(Doc) {}

    std::string Dump()
    {
        DumpCell(FDoc, 0);
        for (int i = 0; i < FDoc.Forms->Count(); ++i)
            DumpForm(*static_cast<ThtmlForm*>(static_cast<TObject*>(FDoc.Forms->Items(i))), i);
        for (int i = 0; i < FDoc.ImageMaps->Count(); ++i) {
            const auto* map = static_cast<const TMapItem*>(static_cast<TObject*>(FDoc.ImageMaps->Items(i)));
            Line(0) << "map \"" << map->MapKey << "\" areas=" << map->Regions->Count() << '\n';
        }
        return FOut.str();
    }

private:
    std::ostream& Line(int Indent) { return FOut << std::string(static_cast<std::size_t>(Indent) * 2, ' '); }

    void DumpCell(TCell& Cell, int Indent)
    {
        for (int i = 0; i < Cell.Count(); ++i)
            DumpSection(*Cell.Section(i), Indent);
    }

    void DumpSection(TSectionBase& Item, int Indent)
    {
        if (auto* section = dynamic_cast<TSection*>(&Item))
            DumpText(*section, Indent);
        else if (auto* table = dynamic_cast<ThtmlTable*>(&Item))
            DumpTable(*table, Indent);
        else if (auto* rule = dynamic_cast<THorzLine*>(&Item))
            Line(Indent) << "THorzLine height=" << rule->FlowHeight << " thickness=" << rule->Thickness
                         << " width=" << rule->RuleWidth << " percent=" << YesNo(rule->WidthIsPercent)
                         << " align=" << static_cast<int>(rule->RuleAlign)
                         << " color=" << ColorText(rule->ColorGiven, rule->RuleColor)
                         << " noshade=" << YesNo(rule->Unshaded) << '\n';
        else if (auto* heading = dynamic_cast<THeadingSpace*>(&Item))
            Line(Indent) << "THeadingSpace level=" << heading->HeadingLevel << " height=" << heading->FlowHeight
                         << '\n';
        else
            Line(Indent) << Item.ClassName() << " height=" << Item.FlowHeight << '\n';
    }

    void DumpText(TSection& Section, int Indent)
    {
        Line(Indent) << Section.ClassName() << " level=" << Section.Level << " indent=" << Section.LevelIndent
                     << " align=" << JustifyText(Section.Alignment) << " clear=" << ClearText(Section.ClearKind);
        if (auto* ordered = dynamic_cast<TOListItem*>(&Section))
            FOut << " number=" << ordered->ItemNumber << " style=" << ordered->NumberStyle;
        else if (auto* item = dynamic_cast<TUListItem*>(&Section))
            FOut << " plain=" << YesNo(item->PlainItem);
        FOut << '\n';
        Line(Indent + 1) << "text \"" << ShownChars(Section.Chars) << "\"\n";
        for (int i = 0; i < Section.FontRuns->Count(); ++i)
            DumpRun(*Section.FontRuns->Run(i), Indent + 1);
        for (int i = 0; i < Section.ImageObjs->Count(); ++i)
            DumpImage(*Section.ImageObjs->Image(i), Indent + 1);
        for (int i = 0; i < Section.Controls->Count(); ++i)
            DumpControl(*Section.Controls->Control(i), Indent + 1);
    }

    void DumpRun(const TFontObj& Run, int Indent)
    {
        const TMyFont& font = *Run.RunFont;
        Line(Indent) << "run " << Run.StartPos << ' ' << font.Name() << " rel=" << font.RelativeSize
                     << " pt=" << font.Size() << ' ' << StyleText(font.Style()) << ' ' << Hex8(font.Color());
        if (font.Charset() != DEFAULT_CHARSET)
            FOut << " charset=" << static_cast<int>(font.Charset());
        if (Run.ScriptShift != Normal)
            FOut << (Run.ScriptShift == SubSc ? " sub" : " sup");
        if (!Run.Link->Url.empty() || !Run.Link->Target.empty())
            FOut << " link=\"" << Run.Link->Url << "\" target=\"" << Run.Link->Target << '"';
        FOut << '\n';
    }

    void DumpImage(const TImageObj& Image, int Indent)
    {
        Line(Indent) << "image at=" << Image.SrcPos << " src=\"" << Image.SourceName << "\" alt=\"" << Image.AltText
                     << "\" align=" << AlignText(Image.Placement) << " width=" << Image.GivenWidth
                     << (Image.WidthIsPercent ? "%" : "") << " height=" << Image.GivenHeight
                     << " hspace=" << Image.HorzSpace << " vspace=" << Image.VertSpace
                     << " borderoff=" << YesNo(Image.BorderOff) << " ismap=" << YesNo(Image.ServerMap)
                     << " usemap=" << (Image.ClientMap ? "\"" + Image.ClientMapName + "\"" : "no")
                     << " active=" << YesNo(Image.HoverAnimates) << " transp=" << static_cast<int>(Image.TranspKind)
                     << " button=" << YesNo(Image.InputControl != nullptr) << '\n';
    }

    void DumpControl(const TFormControlObj& Control, int Indent)
    {
        Line(Indent) << "control at=" << Control.SrcPos << ' ' << ControlText(Control) << '\n';
        if (auto* list = dynamic_cast<const TListBoxFormControlObj*>(&Control))
            for (int i = 0; i < list->OptionList->Count(); ++i)
                Line(Indent + 1) << "option \"" << list->OptionList->Strings(i) << "\" value=\""
                                 << list->Option(i)->OptionValue
                                 << "\" selected=" << YesNo(list->Option(i)->OptionSelected) << '\n';
        if (auto* area = dynamic_cast<const TTextAreaFormControlObj*>(&Control))
            for (int i = 0; i < area->InitialLines->Count(); ++i)
                Line(Indent + 1) << "line \"" << area->InitialLines->Strings(i) << "\"\n";
    }

    std::string ControlText(const TFormControlObj& Control)
    {
        std::ostringstream text;
        text << Control.ClassName() << " name=\"" << Control.FieldName << "\" value=\"" << Control.InitialValue
             << "\" form=" << FDoc.Forms->IndexOf(static_cast<TObject*>(Control.OwnerForm));
        if (!Control.OnClickText.empty())
            text << " onclick=\"" << Control.OnClickText << '"';
        if (auto* edit = dynamic_cast<const TEditFormControlObj*>(&Control))
            text << " size=" << edit->SizeChars << " maxlength=" << edit->MaxLength
                 << " password=" << YesNo(edit->Password);
        else if (auto* button = dynamic_cast<const TButtonFormControlObj*>(&Control))
            text << " kind=" << static_cast<int>(button->ButtonKind);
        else if (auto* check = dynamic_cast<const TCheckBoxFormControlObj*>(&Control))
            text << " checked=" << YesNo(check->InitiallyChecked);
        else if (auto* radio = dynamic_cast<const TRadioButtonFormControlObj*>(&Control))
            text << " checked=" << YesNo(radio->InitiallyChecked);
        else if (auto* list = dynamic_cast<const TListBoxFormControlObj*>(&Control))
            text << " rows=" << list->VisibleRows << " widest=" << list->WidestOption
                 << " multi=" << YesNo(list->MultiSelect);
        else if (auto* area = dynamic_cast<const TTextAreaFormControlObj*>(&Control))
            text << " rows=" << area->RowCount << " cols=" << area->ColCount << " wrap=" << YesNo(area->WordWrap);
        else if (auto* image = dynamic_cast<const TImageFormControlObj*>(&Control))
            text << " click=" << image->ClickX;
        return text.str();
    }

    void DumpTable(ThtmlTable& Table, int Indent)
    {
        Line(Indent) << "ThtmlTable level=" << Table.Level << " justify=" << JustifyText(Table.Justify)
                     << " float=" << YesNo(Table.Float) << " border=" << YesNo(Table.Border)
                     << " spacing=" << Table.CellSpacing << " padding=" << Table.CellPadding
                     << " width=" << Table.SpecWidth << (Table.WidthAsPercent ? "%" : "")
                     << " height=" << Table.SpecHeight << (Table.HeightAsPercent ? "%" : "")
                     << " hspace=" << Table.HSpace << " vspace=" << Table.VSpace
                     << " color=" << ColorText(Table.HasBackColor, Table.BackColor)
                     << " bordercolor=" << ColorText(Table.HasBorderColor, Table.BorderColor)
                     << " cols=" << Table.NumCols << " grid=" << YesNo(Table.GridReady) << '\n';
        for (int r = 0; r < Table.Rows->Count(); ++r) {
            TCellList& row = *Table.Row(r);
            Line(Indent + 1) << "row " << r << " color=" << ColorText(row.HasBackColor, row.BackColor) << '\n';
            for (int c = 0; c < row.Count(); ++c)
                DumpEntry(row.CellObj(c), c, Indent + 2);
        }
        if (Table.Caption->Cell->Count() > 0) {
            Line(Indent + 1) << "caption " << (Table.CaptionAtTop ? "top" : "bottom") << '\n';
            DumpCell(*Table.Caption->Cell, Indent + 2);
        }
    }

    void DumpEntry(TCellObj* Entry, int Column, int Indent)
    {
        if (Entry == nullptr) {
            Line(Indent) << "nil " << Column << '\n';
            return;
        }
        if (Entry->ColSpan == 0) {
            Line(Indent) << "dummy " << Column << " rowspan=" << Entry->RowSpan << '\n';
            return;
        }
        Line(Indent) << "cell " << Column << " span=" << Entry->ColSpan << 'x' << Entry->RowSpan
                     << " color=" << ColorText(Entry->Cell->HasBackColor, Entry->Cell->BackColor)
                     << " width=" << Entry->SpecWidth << (Entry->WidthAsPercent ? "%" : "")
                     << " height=" << Entry->SpecHeight << " valign=" << AlignText(Entry->VAlign) << '\n';
        DumpCell(*Entry->Cell, Indent + 1);
    }

    void DumpForm(const ThtmlForm& Form, int Index)
    {
        Line(0) << "form " << Index << " method=\"" << Form.FormMethod << "\" action=\"" << Form.FormAction
                << "\" target=\"" << Form.FormTarget << "\" enctype=\"" << Form.FormEncType << "\"\n";
        for (int i = 0; i < Form.Members->Count(); ++i) {
            const auto* member = static_cast<const TFormControlObj*>(static_cast<TObject*>(Form.Members->Items(i)));
            Line(1) << member->ClassName() << " name=\"" << member->FieldName << "\"\n";
        }
    }

    TSectionList& FDoc;
    std::ostringstream FOut;
};

} // namespace

std::string StyleText(TFontStyles Style)
{
    std::string text;
    text += Style.Contains(fsBold) ? 'B' : '-';
    text += Style.Contains(fsItalic) ? 'I' : '-';
    text += Style.Contains(fsUnderline) ? 'U' : '-';
    text += Style.Contains(fsStrikeOut) ? 'S' : '-';
    return text;
}

std::string ShownChars(const std::string& Chars)
{
    std::string shown;
    for (char c : Chars) {
        const unsigned char code = static_cast<unsigned char>(c);
        if (code == 160)
            shown += "«nb»";
        else if (code < 32)
            shown += "«" + std::to_string(code) + "»";
        else
            shown += c;
    }
    return shown;
}

std::string DumpDocument(TSectionList& Doc) { return TDocumentDumper(Doc).Dump(); }

std::unique_ptr<TParsedPage> ParseHtmlInBatches(const std::string& html, const std::vector<std::size_t>& cuts,
                                                const TParseHandlers& handlers, bool plainText)
{
    auto page = std::make_unique<TParsedPage>();
    page->Doc.SetFonts("Arial", "Courier New", 12, clBlack, clBlue, clPurple, clRed, clWhite, false);
    page->Doc.ScriptHandler = handlers.Script;
    ThlParser& parser = page->Parser;
    bool done = false;
    auto* thread = new TParseThread(true);
    thread->FParser = &parser;
    thread->FSectionList = &page->Doc;
    thread->FNameList = &page->Names;
    thread->FOnInclude = handlers.Include;
    thread->FOnMeta = handlers.Meta;
    thread->FOnSound = handlers.Sound;
    thread->FPlainText = plainText;
    thread->OnTerminate = [&done](TObject*) { done = true; };
    parser.ParseThread = thread;
    parser.Threaded = true;
    thread->Resume();
    WaitForParse(*thread, done);
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size() && !done; ++i) {
        const std::size_t to = i < cuts.size() ? std::clamp(cuts[i], from, html.size()) : html.size();
        thread->AddString(html.substr(from, to - from));
        parser.Threaded = i < cuts.size();
        from = to;
        thread->Resume();
        WaitForParse(*thread, done);
    }
    while (!done)
        WaitForParse(*thread, done);
    return page;
}

std::unique_ptr<TParsedPage> ParseHtml(const std::string& html, std::size_t batchSize, const TParseHandlers& handlers,
                                       bool plainText)
{
    std::vector<std::size_t> cuts;
    for (std::size_t at = batchSize; batchSize > 0 && at < html.size(); at += batchSize)
        cuts.push_back(at);
    return ParseHtmlInBatches(html, cuts, handlers, plainText);
}

std::string CustomerCard(int documents)
{
    std::string card = "<HEAD></HEAD>\r\n<BODY>\r\n<STRONG>Cliente:</STRONG> Rossi<P>\r\n";
    for (int i = 0; i < documents; ++i) {
        const std::string number = std::to_string(12 + i);
        const std::string modifier = i % 3 == 0 ? "bis" : "";
        const std::string date = "01/02/2024";
        card += "<HR/>\r\n";
        card += "<STRONG>Fatturan. </STRONG> " + number + modifier + "<STRONG> del </STRONG>" + date + "<BR/>\r\n";
        if (i % 2 == 0)
            card += "<STRONG>Stato:</STRONG> Pagato il 15/02/2024<BR/>\r\n";
        else
            card += "<STRONG>Stato:</STRONG> Non pagato <BR/>\r\n";
        card += "<STRONG>Importo:</STRONG> " + std::to_string(1000 + i) + ",56<P>\r\n";
        card += "<A HREF='FT?" + number + "?" + modifier + "?Rossi?" + date + "'>Apri</A>\r\n";
    }
    card += "<HR/>\r\n</BODY>\r\n";
    return card;
}

std::unique_ptr<TParsedPage> ParseHtmlHere(const std::string& html, const TParseHandlers& handlers)
{
    auto page = std::make_unique<TParsedPage>();
    page->Doc.SetFonts("Arial", "Courier New", 12, clBlack, clBlue, clPurple, clRed, clWhite, false);
    page->Doc.ScriptHandler = handlers.Script;
    std::unique_ptr<TParseThread> holder(new TParseThread(true)); // never started: it only holds the text
    holder->AddString(html);
    page->Parser.ParseThread = holder.get();
    page->Parser.Threaded = false;
    page->Parser.HtmlParseString(&page->Doc, &page->Names, handlers.Include, handlers.Sound, handlers.Meta);
    page->Parser.ParseThread = nullptr;
    return page;
}

namespace {

void AppendCellText(TCell& Cell, std::string& Text);

void AppendSectionText(TSectionBase& Item, std::string& Text)
{
    if (auto* section = dynamic_cast<TSection*>(&Item)) {
        Text += ' ';
        for (char c : section->Chars)
            if (static_cast<unsigned char>(c) >= 32 || c == '\r' || c == '\n' || c == '\t')
                Text += c;
    } else if (auto* table = dynamic_cast<ThtmlTable*>(&Item)) {
        for (int r = 0; r < table->Rows->Count(); ++r)
            for (int c = 0; c < table->Row(r)->Count(); ++c)
                if (TCellObj* cell = table->Row(r)->CellObj(c); cell != nullptr)
                    AppendCellText(*cell->Cell, Text);
        AppendCellText(*table->Caption->Cell, Text);
    }
}

void AppendCellText(TCell& Cell, std::string& Text)
{
    for (int i = 0; i < Cell.Count(); ++i)
        AppendSectionText(*Cell.Section(i), Text);
}

} // namespace

std::string DocumentText(TSectionList& Doc)
{
    std::string text;
    AppendCellText(Doc, text);
    return text;
}

std::string DetailsPage()
{
    return "<HTML>\r\n<HEAD><TITLE>Dettaglio</TITLE></HEAD>\r\n<BODY>\r\n"
           "<H3>Fattura n. 12bis del 01/02/2024</H3>\r\n"
           "<P><B>Cliente:</B> Rossi &amp; Figli</P>\r\n"
           "<TABLE BORDER=1 WIDTH=\"100%\">\r\n"
           "<TR><TD>Invio mail</TD><TD ALIGN=right>-</TD></TR>\r\n"
           "<TR><TD>Scadenza</TD><TD ALIGN=right>28/02/2024</TD></TR>\r\n"
           "<TR><TD>Pagamento</TD><TD ALIGN=right>-</TD></TR>\r\n"
           "<TR><TD>Imponibile</TD><TD ALIGN=right>1000,00</TD></TR>\r\n"
           "<TR><TD>Contributi</TD><TD ALIGN=right>40,00</TD></TR>\r\n"
           "<TR><TD>Sconto</TD><TD ALIGN=right>0,00</TD></TR>\r\n"
           "<TR><TD>IVA</TD><TD ALIGN=right>228,80</TD></TR>\r\n"
           "<TR><TD>Ritenuta</TD><TD ALIGN=right>200,00</TD></TR>\r\n"
           "<TR><TD>Ritenuta Enasarco</TD><TD ALIGN=right>0,00</TD></TR>\r\n"
           "<TR><TH>Totale</TH><TH ALIGN=right>1068,80</TH></TR>\r\n"
           "</TABLE>\r\n</BODY>\r\n</HTML>\r\n";
}

std::vector<std::string> PeerCorpus()
{
    std::vector<std::string> pages = {
        "<HTML><HEAD><TITLE>Titolo</TITLE></HEAD><BODY>\nUna riga di testo.\n</BODY></HTML>",
        "<P>Primo paragrafo.\n<P>Secondo paragrafo con <B>grassetto</B> e <I>corsivo</I>.\n",
        "riga uno<BR>\nriga due<BR>\nriga tre\n",
        "<UL>\n<LI>mele\n<LI>pere\n<LI>banane e kiwi\n</UL>\n",
        "<OL>\n<LI>uno\n<LI>due\n</OL>\ndopo la lista\n",
        "<TABLE BORDER=1>\n<TR>\n<TD>a1</TD>\n<TD>b1</TD>\n</TR>\n<TR>\n<TD>a2</TD>\n<TD>b2</TD>\n</TR>\n</TABLE>\n",
        "Prezzi &amp; sconti: 10 &lt; 20 &gt; 5 &quot;citato&quot;\n",
        "Caff&egrave; e perch&eacute; &agrave; &ograve; &ugrave; &igrave;\n",
        "<H1>Capitolo</H1>\n<P>testo del capitolo\n<H2>Sezione</H2>\ntesto\n",
        "<P>codice &#65;&#66;&#67; e &#233;t&#233;\n",
        "<DL>\n<DT>termine\n<DD>definizione lunga\n</DL>\n",
        "<CENTER>al centro</CENTER>\n<DIV ALIGN=right>a destra</DIV>\n",
        "<P>uno <EM>due</EM> <STRONG>tre</STRONG> <U>quattro</U> <TT>cinque</TT>\n",
        "<TABLE>\n<TR>\n<TH>Nome</TH>\n<TH>Valore</TH>\n</TR>\n<TR>\n<TD>x</TD>\n<TD>1,5</TD>\n</TR>\n</TABLE>\n",
        "<UL>\n<LI>esterno\n<UL>\n<LI>interno uno\n<LI>interno due\n</UL>\n<LI>ancora\n</UL>\n",
        "<HEAD><SCRIPT>var x = 1;</SCRIPT></HEAD>\n<BODY>visibile\n</BODY>\n",
        "&copy; 2024 &reg; marchio &sect; 3 &deg; &plusmn; &micro;\n",
        "<BLOCKQUOTE>\ncitazione lunga\n</BLOCKQUOTE>\nfine\n",
        "<P>a<BR>\nb<BR>\n<B>c</B>\n<P>d e f\n",
        "<TABLE>\n<TR>\n<TD>\n<UL>\n<LI>in cella\n</UL>\n</TD>\n<TD>accanto</TD>\n</TR>\n</TABLE>\nsotto\n",
    };
    return pages;
}

