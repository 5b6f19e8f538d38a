#include "HtmlTestSupport.h"

#include "platform/rtl/Threads.h"

#include <gtest/gtest.h>

namespace {

class SectionListTest : public testing::Test {
protected:
    TFixedMetricsScope FMetrics;
    TTestDocument FDoc;
};

TEST_F(SectionListTest, SetFontsCutsTheFacesAndAnnouncesTheBackground)
{
    std::vector<TObject*> senders;
    FDoc.Doc.BackgroundChanged = [&senders](TObject* sender) { senders.push_back(sender); };
    const std::string longName(40, 'F');
    FDoc.Doc.SetFonts(longName, "Mono " + longName, 14, clMaroon, clNavy, clTeal, clOlive, clSilver, true);
    EXPECT_EQ(FDoc.Doc.BaseFontName, std::string(33, 'F'));
    EXPECT_EQ(FDoc.Doc.FixedFontName, "Mono " + std::string(28, 'F'));
    EXPECT_EQ(FDoc.Doc.BaseFontSize, 14);
    EXPECT_EQ(FDoc.Doc.TextColor, clMaroon);
    EXPECT_EQ(FDoc.Doc.LinkColor, clNavy);
    EXPECT_EQ(FDoc.Doc.VisitedLinkColor, clTeal);
    EXPECT_EQ(FDoc.Doc.HoverLinkColor, clOlive);
    EXPECT_TRUE(FDoc.Doc.HoverLinksOn);
    EXPECT_EQ(FDoc.Doc.BackgroundColor, clSilver);
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], &FDoc.Doc);
    FDoc.Doc.SetBackground(clAqua);
    EXPECT_EQ(senders.size(), 2u);
    EXPECT_EQ(FDoc.Doc.BackgroundColor, clAqua);
}

TEST_F(SectionListTest, StartsEmptyWithUnderlinedLinks)
{
    TFakeViewer viewer;
    TSectionList doc(&viewer, nullptr);
    EXPECT_EQ(doc.Document, &doc);
    EXPECT_EQ(doc.Viewer, &viewer);
    EXPECT_TRUE(doc.LinkFontStyle == TFontStyles{fsUnderline});
    EXPECT_FALSE(doc.PendingImages->Sorted());
    EXPECT_EQ(doc.Count() + doc.Forms->Count() + doc.Links->Count() + doc.ImageMaps->Count(), 0);
}

TEST_F(SectionListTest, ClearEmptiesEverything)
{
    TSection* section = FDoc.NewSection();
    TUrlTarget link;
    link.Assign("a.htm", "");
    AddText(*section, "text", 0);
    section->HRef(Symb::HrefSy, &FDoc.Doc, &link, &FDoc.BaseFont);
    AddText(*section, "link", 4);
    TImageObj* image = section->AddImage(FDoc.Attrs("<IMG SRC=late.gif>"), &FDoc.Doc, 8, false);
    section->AddFormControl(Symb::InputSy, &FDoc.Doc, FDoc.Attrs("<INPUT>"), &FDoc.Doc, 9, false);
    auto* list = static_cast<TListBoxFormControlObj*>(
        section->AddFormControl(Symb::SelectSy, &FDoc.Doc, FDoc.Attrs("<SELECT>"), &FDoc.Doc, 10, false));
    list->AddStr("one", "1", false);
    FDoc.Doc.Add(section);
    auto* table = new ThtmlTable(&FDoc.Doc, FDoc.Attrs("<TABLE>"), PaneUn2::Left, &FDoc.Doc, 0);
    auto* row = new TCellList;
    row->Add(new TCellObj(&FDoc.Doc, PaneUn2::AMiddle, FDoc.Attrs("<TD COLSPAN=2>")));
    table->Rows->Add(row);
    FDoc.Doc.Add(table);
    auto* map = new TMapItem;
    map->AddArea(FDoc.Attrs("<AREA SHAPE=rect COORDS=\"0,0,9,9\" HREF=x>"));
    FDoc.Doc.ImageMaps->Add(map);
    FDoc.Doc.AddMissingImage("LATE.GIF", image);
    FDoc.Doc.AddMissingImage("BACK.GIF", &FDoc.Doc);
    FDoc.Doc.SetBackgroundBitmap("back.gif");
    FDoc.Doc.SelStart = 2;
    FDoc.Doc.SelEnd = 5;
    FDoc.Doc.HoverLink = section->FontRuns->Run(1);
    FDoc.Doc.HoverImage = image;
    ASSERT_EQ(FDoc.Doc.PendingImages->Count(), 2);
    EXPECT_EQ(FDoc.Doc.PendingImages->Objects(0), image);
    EXPECT_EQ(FDoc.Doc.BackgroundName, "back.gif");

    FDoc.Doc.Clear();
    EXPECT_EQ(FDoc.Doc.Count(), 0);
    EXPECT_EQ(FDoc.Doc.Forms->Count(), 0);
    EXPECT_EQ(FDoc.Doc.FormControls->Count(), 0);
    EXPECT_EQ(FDoc.Doc.Links->Count(), 0);
    EXPECT_EQ(FDoc.Doc.ImageMaps->Count(), 0);
    EXPECT_EQ(FDoc.Doc.PendingImages->Count(), 0);
    EXPECT_EQ(FDoc.Doc.AnimatedImages->Count(), 0);
    EXPECT_EQ(FDoc.Doc.SelStart, 0);
    EXPECT_EQ(FDoc.Doc.SelEnd, 0);
    EXPECT_EQ(FDoc.Doc.HoverLink, nullptr);
    EXPECT_EQ(FDoc.Doc.HoverImage, nullptr);
    EXPECT_EQ(FDoc.Doc.BackgroundName, "");
    EXPECT_FALSE(FDoc.Doc.BackgroundFetched);
    EXPECT_EQ(DumpDocument(FDoc.Doc), "");
    // The document takes a new one after Clear.
    FDoc.Parser.CurrentForm = nullptr;
    TSection* next = FDoc.NewSection();
    next->AddFormControl(Symb::InputSy, &FDoc.Doc, FDoc.Attrs("<INPUT>"), &FDoc.Doc, 0, false);
    FDoc.Doc.Add(next);
    EXPECT_EQ(FDoc.Doc.Forms->Count(), 1);
}

// Builds one of every kind of block as the parser would, with links, images, controls and a
// table with a caption and spans.
void BuildEveryKind(TTestDocument& doc)
{
    TTestDocument& d = doc;
    TSectionList* list = &d.Doc;
    TSection* text = d.NewSection();
    AddText(*text, " Hello,", 0);
    d.Parser.StyleSet.Include(fsBold);
    auto big = d.FontOf(18);
    text->ChangeFont(list, big.get());
    AddText(*text,
            " world\x05"
            "again",
            8, true);
    d.Parser.StyleSet = TFontStyles();
    TUrlTarget link;
    link.Assign("next.htm", "_top");
    text->HRef(Symb::HrefSy, list, &link, &d.BaseFont);
    text->AddImage(d.Attrs("<IMG SRC=a.gif ALIGN=left HSPACE=3 USEMAP=#m>"), list, 20, false);
    text->HRef(Symb::AEndSy, list, nullptr, &d.BaseFont);
    const char* const controls[] = {"<INPUT NAME=t>",
                                    "<INPUT TYPE=password>",
                                    "<INPUT TYPE=submit>",
                                    "<INPUT TYPE=checkbox CHECKED>",
                                    "<INPUT TYPE=radio NAME=r>",
                                    "<INPUT TYPE=hidden NAME=h VALUE=1>",
                                    "<INPUT TYPE=image SRC=go.gif>"};
    int at = 30;
    for (const char* tag : controls)
        text->AddFormControl(Symb::InputSy, list, d.Attrs(tag), list, at++, false);
    auto* select = static_cast<TListBoxFormControlObj*>(
        text->AddFormControl(Symb::SelectSy, list, d.Attrs("<SELECT MULTIPLE>"), list, at++, false));
    select->AddStr("First", "1", true);
    auto* combo = static_cast<TListBoxFormControlObj*>(
        text->AddFormControl(Symb::SelectSy, list, d.Attrs("<SELECT>"), list, at++, true));
    combo->AddStr("Only", "", false);
    auto* area = static_cast<TTextAreaFormControlObj*>(
        text->AddFormControl(Symb::TextAreaSy, list, d.Attrs("<TEXTAREA ROWS=2>"), list, at++, false));
    area->AddStr("line");
    text->DoClearAttribute(d.Attrs("<BR CLEAR=all>"));
    list->Add(text);
    list->Add(new TParagraphSpace(list));
    list->Add(new THeadingSpace(list, 1));
    list->Add(new THorzLine(list, d.Attrs("<HR SIZE=4 WIDTH=\"50%\" NOSHADE>")));
    auto* pre = new TPreFormated(list, 0, &d.BaseFont, nullptr, PaneUn2::Left);
    AddText(*pre, "  code  ", 60);
    list->Add(pre);
    list->Add(new TOListItem(list, 1, 1, 'A', &d.BaseFont, nullptr));
    list->Add(new TUListItem(list, 1, &d.BaseFont, nullptr));
    list->Add(new TDListItem(list, 1, &d.BaseFont, nullptr));
    auto* table = new ThtmlTable(list, d.Attrs("<TABLE BORDER=1 BGCOLOR=silver>"), PaneUn2::Left, list, 0);
    auto* row = new TCellList;
    auto* cell = new TCellObj(list, PaneUn2::ATop, d.Attrs("<TD COLSPAN=2 ROWSPAN=2>"));
    TSection* inCell = d.NewSection();
    AddText(*inCell, "in a cell", 80);
    inCell->AddImage(d.Attrs("<IMG SRC=b.gif>"), cell->Cell.get(), 89, false);
    cell->Cell->Add(inCell);
    row->Add(cell);
    table->Rows->Add(row);
    auto* second = new TCellList;
    second->Add(new TCellObj(list, PaneUn2::AMiddle, d.Attrs("<TD>")));
    table->Rows->Add(second);
    TSection* caption = d.NewSection(0, PaneUn2::Centered);
    AddText(*caption, "Caption", 100);
    table->Caption->Cell->Add(caption);
    table->AddDummyCells();
    list->Add(table);
}

class TBuildThread : public TThread {
public:
    explicit TBuildThread(TTestDocument& doc) : TThread(true), FDoc(doc) {}
    bool Raised = false;

protected:
    void Execute() override
    {
        try {
            BuildEveryKind(FDoc);
        } catch (...) {
            Raised = true;
        }
    }

private:
    TTestDocument& FDoc;
};

// The parser thread builds the document while the GUI thread waits, measuring fonts with the
// screen context; the GUI thread then reads it.
TEST(SectionListThreadTest, ADocumentBuiltOnAWorkerThreadIsTheSameAsOneBuiltHere)
{
    TTestDocument onWorker;
    TBuildThread thread(onWorker);
    thread.Start();
    thread.WaitFor();
    EXPECT_FALSE(thread.Raised);
    EXPECT_FALSE(thread.FatalException);
    TTestDocument here;
    BuildEveryKind(here);
    const std::string dump = DumpDocument(onWorker.Doc);
    EXPECT_EQ(dump, DumpDocument(here.Doc));
    const char* const pieces[] = {
        "  text \"Hello, world«nb»again«4»«2»«2»«2»«2»«2»«4»«2»«6»«2»\"\n",
        "  run 6 Arial rel=18 pt=18 B--- 02000000\n",
        "  run 18 Arial rel=12 pt=12 ---- 02000000 link=\"next.htm\" target=\"_top\"\n",
        "TSection level=0 indent=0 align=left clear=all\n",
        "THeadingSpace level=1 height=16\n",
        "THorzLine height=22 thickness=4 width=50 percent=yes align=2 color=none noshade=yes\n",
        "TPreFormated level=0 indent=0 align=left clear=none\n  text \"  code  \"\n",
        "TOListItem level=1 indent=35 align=left clear=none number=1 style=A\n",
        "    cell 0 span=2x2 color=02C0C0C0",
        "    dummy 1 rowspan=2\n  row 1 color=none\n    dummy 0 rowspan=0\n    dummy 1 rowspan=0\n",
        "  caption top\n",
        "  TRadioButtonFormControlObj name=\"r\"\n  THiddenFormControlObj name=\"h\"\n",
    };
    for (const char* piece : pieces)
        EXPECT_NE(dump.find(piece), std::string::npos) << piece << "\n" << dump;
    EXPECT_GT(onWorker.Doc.Section(0)->FindSourcePos(0), 0);
}

} // namespace
