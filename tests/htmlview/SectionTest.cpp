#include "HtmlTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class SectionTest : public testing::Test {
protected:
    TFixedMetricsScope FMetrics;
    TTestDocument FDoc;
};

struct TTextRuleCase {
    const char* Name;
    std::function<void(TTestDocument&, TSection&)> Build;
    const char* Expected;
};

TEST_F(SectionTest, WhiteSpaceRules)
{
    const TTextRuleCase cases[] = {
        {"leading space dropped only at the start",
         [](TTestDocument&, TSection& s) {
             AddText(s, " a", 0);
             AddText(s, " b", 2);
         },
         "a b"},
        {"lone space after a space",
         [](TTestDocument&, TSection& s) {
             AddText(s, "a ", 0);
             AddText(s, " ", 2);
         },
         "a "},
        {"no-break blank between letters",
         [](TTestDocument&, TSection& s) {
             AddText(s,
                     "a\x05"
                     "b",
                     0, true);
         },
         "a«nb»b"},
        {"no-break blanks next to a space vanish",
         [](TTestDocument&, TSection& s) {
             AddText(s,
                     "a\x05 \x05"
                     "b",
                     0, true);
         },
         "a b"},
        {"runs of no-break blanks collapse",
         [](TTestDocument&, TSection& s) {
             AddText(s,
                     "a\x05\x05\x05"
                     "b\x05\x05",
                     0, true);
         },
         "a«nb»b«nb»"},
        {"leading no-break blank of an empty section",
         [](TTestDocument&, TSection& s) {
             AddText(s,
                     "\x05"
                     "a",
                     0, true);
         },
         "a"},
        {"leading no-break blank after a space",
         [](TTestDocument&, TSection& s) {
             AddText(s, "a ", 0);
             AddText(s,
                     "\x05"
                     "b",
                     2, true);
         },
         "a b"},
        {"ordinary spaces stay in no-break text", [](TTestDocument&, TSection& s) { AddText(s, "a  b", 0, true); },
         "a  b"},
        {"leading blank after only floating images",
         [](TTestDocument& d, TSection& s) {
             s.AddImage(d.Attrs("<IMG ALIGN=left>"), &d.Doc, 0, false);
             s.AddImage(d.Attrs("<IMG ALIGN=RIGHT>"), &d.Doc, 1, false);
             AddText(s, " x", 2);
         },
         "«4»«4»x"},
        {"leading non-breaking space after only floating images",
         [](TTestDocument& d, TSection& s) {
             s.AddImage(d.Attrs("<IMG ALIGN=left>"), &d.Doc, 0, true);
             AddText(s, "\xA0x", 1);
         },
         "«7»x"},
        {"leading blank after an inline image stays",
         [](TTestDocument& d, TSection& s) {
             s.AddImage(d.Attrs("<IMG>"), &d.Doc, 0, false);
             AddText(s, " x", 1);
         },
         "«4» x"},
        {"a non-breaking space starts an empty section", [](TTestDocument&, TSection& s) { AddText(s, "\xA0x", 0); },
         "«nb»x"},
        {"line break on an empty section",
         [](TTestDocument&, TSection& s) { EXPECT_EQ(s.BreakInfo(0, false), PaneUn2::Centered); }, " "},
        {"line break on a section with text",
         [](TTestDocument&, TSection& s) {
             AddText(s, "ab", 0);
             s.BreakInfo(2, false);
         },
         "ab"},
        {"a word break inside no-break text",
         [](TTestDocument&, TSection& s) {
             AddText(s, "a", 0, true);
             s.AddChar(' ', 1, true);
             AddText(s,
                     "\x05"
                     "b",
                     2, true);
         },
         "a b"},
    };
    for (const TTextRuleCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestDocument doc;
        std::unique_ptr<TSection> section(new TSection(&doc.Doc, 0, &doc.BaseFont, nullptr, PaneUn2::Centered));
        c.Build(doc, *section);
        EXPECT_EQ(ShownChars(section->Chars), c.Expected);
        EXPECT_EQ(section->CharCount, static_cast<int>(section->Chars.size()));
    }
}

TEST_F(SectionTest, DroppedCharactersTakeTheirSourcePositionsWithThem)
{
    TSection* section = FDoc.NewSection();
    AddText(*section, "a ", 10);
    AddText(*section, " ", 12);
    AddText(*section,
            "b\x05\x05"
            "c",
            13, true);
    FDoc.Doc.Add(section);
    ASSERT_EQ(ShownChars(section->Chars), "a b«nb»c");
    const int expected[] = {10, 11, 13, 15, 16};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(section->FindSourcePos(i), expected[i]) << i;
}

TEST_F(SectionTest, ClearAttribute)
{
    const struct {
        const char* Tag;
        ClearAttrType Expected;
    } cases[] = {{"<BR CLEAR=LEFT>", clLeft},
                 {"<BR CLEAR=right>", clRight},
                 {"<BR CLEAR=all>", clAll},
                 {"<BR CLEAR=xyz>", clAll},
                 {"<BR>", clrNone}};
    for (const auto& c : cases) {
        std::unique_ptr<TSection> section(FDoc.NewSection());
        section->DoClearAttribute(FDoc.Attrs(c.Tag));
        EXPECT_EQ(section->ClearKind, c.Expected) << c.Tag;
    }
}

TEST_F(SectionTest, FontChangesAtOnePositionLeaveOneRun)
{
    TSection* section = FDoc.NewSection();
    AddText(*section, "ab", 0);
    auto bigger = FDoc.FontOf(14);
    auto biggest = FDoc.FontOf(18, "Times New Roman");
    section->ChangeFont(&FDoc.Doc, bigger.get());
    section->ChangeFont(&FDoc.Doc, biggest.get());
    AddText(*section, "cd", 2);
    FDoc.Doc.Add(section);
    EXPECT_EQ(DumpDocument(FDoc.Doc), "TSection level=0 indent=0 align=left clear=none\n"
                                      "  text \"abcd\"\n"
                                      "  run 0 Arial rel=12 pt=12 ---- 02000000\n"
                                      "  run 2 Times New Roman rel=18 pt=18 ---- 02000000\n");
}

TEST_F(SectionTest, LinksCarryOverFontChangesAndEndWithTheEndTag)
{
    TSection* section = FDoc.NewSection();
    AddText(*section, "ab", 0);
    FDoc.Parser.StyleSet.Include(fsUnderline);
    TUrlTarget link;
    link.Assign("page.htm", "main");
    auto linkFont = FDoc.FontOf(12);
    section->HRef(Symb::HrefSy, &FDoc.Doc, &link, linkFont.get());
    AddText(*section, "cd", 2);
    FDoc.Parser.StyleSet.Include(fsBold);
    section->ChangeFont(&FDoc.Doc, linkFont.get());
    AddText(*section, "ef", 4);
    FDoc.Parser.StyleSet = TFontStyles();
    section->HRef(Symb::AEndSy, &FDoc.Doc, nullptr, &FDoc.BaseFont);
    AddText(*section, "gh", 6);
    FDoc.Doc.Add(section);
    EXPECT_EQ(DumpDocument(FDoc.Doc), "TSection level=0 indent=0 align=left clear=none\n"
                                      "  text \"abcdefgh\"\n"
                                      "  run 0 Arial rel=12 pt=12 ---- 02000000\n"
                                      "  run 2 Arial rel=12 pt=12 --U- 02000000 link=\"page.htm\" target=\"main\"\n"
                                      "  run 4 Arial rel=12 pt=12 B-U- 02000000 link=\"page.htm\" target=\"main\"\n"
                                      "  run 6 Arial rel=12 pt=12 ---- 02000000\n");
    // Both pieces of the link are link runs of the document, so that marking it visited or
    // hovering it reaches the whole link.
    ASSERT_EQ(FDoc.Doc.Links->Count(), 2);
    EXPECT_EQ(FDoc.Doc.Links->Items(0), static_cast<TObject*>(section->FontRuns->Run(1)));
    EXPECT_EQ(FDoc.Doc.Links->Items(1), static_cast<TObject*>(section->FontRuns->Run(2)));
}

TEST_F(SectionTest, AFreedSectionTakesItsLinksOutOfTheDocument)
{
    TUrlTarget link;
    link.Assign("x.htm", "");
    TSection* kept = FDoc.NewSection(0, PaneUn2::Left, &link);
    TSection* dropped = FDoc.NewSection(0, PaneUn2::Left, &link);
    AddText(*dropped, "ab", 0);
    dropped->ChangeFont(&FDoc.Doc, &FDoc.BaseFont);
    ASSERT_EQ(FDoc.Doc.Links->Count(), 3);
    delete dropped;
    ASSERT_EQ(FDoc.Doc.Links->Count(), 1);
    EXPECT_EQ(FDoc.Doc.Links->Items(0), static_cast<TObject*>(kept->FontRuns->Run(0)));
    FDoc.Doc.Add(kept);
}

TEST_F(SectionTest, ALinkGivenToTheConstructorIsADocumentLink)
{
    TUrlTarget link;
    link.Assign("x.htm", "");
    std::unique_ptr<TSection> section(FDoc.NewSection(0, PaneUn2::Left, &link));
    EXPECT_EQ(section->FontRuns->Run(0)->GetURL(), "x.htm");
    ASSERT_EQ(FDoc.Doc.Links->Count(), 1);
    TUrlTarget empty;
    std::unique_ptr<TSection> plain(FDoc.NewSection(0, PaneUn2::Left, &empty));
    EXPECT_EQ(FDoc.Doc.Links->Count(), 1);
}

TEST_F(SectionTest, SubAndSuperscriptsTakeThreeQuartersAndANewSectionEndsThem)
{
    TSection* section = FDoc.NewSection();
    AddText(*section, "H", 0);
    FDoc.Parser.SubSupState = SubSc;
    section->ChangeFont(&FDoc.Doc, &FDoc.BaseFont);
    AddText(*section, "2", 1);
    FDoc.Parser.SubSupState = SupSc;
    auto big = FDoc.FontOf(24);
    section->ChangeFont(&FDoc.Doc, big.get());
    FDoc.Doc.Add(section);
    EXPECT_EQ(section->FontRuns->Run(1)->ScriptShift, SubSc);
    EXPECT_EQ(section->FontRuns->Run(1)->RunFont->RelativeSize, 9);
    EXPECT_EQ(section->FontRuns->Run(1)->RunFont->Size(), 9);
    EXPECT_EQ(section->FontRuns->Run(2)->ScriptShift, SupSc);
    EXPECT_EQ(section->FontRuns->Run(2)->RunFont->Size(), 18);
    std::unique_ptr<TSection> next(FDoc.NewSection());
    EXPECT_EQ(FDoc.Parser.SubSupState, Normal);
}

TEST_F(SectionTest, TheParsersStylesGoIntoTheFirstRunAndTheMarkerFont)
{
    FDoc.Parser.StyleSet.Include(fsItalic);
    std::unique_ptr<TSection> section(FDoc.NewSection(2));
    EXPECT_TRUE(section->FontRuns->Run(0)->RunFont->Style().Contains(fsItalic));
    EXPECT_TRUE(section->MarkerFont->Style().Contains(fsItalic));
    EXPECT_EQ(section->LevelIndent, 70);
    EXPECT_FALSE(FDoc.BaseFont.Style().Contains(fsItalic));
}

TEST_F(SectionTest, ChangeStyleWithoutTheParser)
{
    TSection* section = FDoc.NewSection();
    section->ChangeStyle(Symb::BSy);
    AddText(*section, "ab", 0);
    section->ChangeStyle(Symb::EmSy);
    section->ChangeStyle(Symb::UEndSy);
    AddText(*section, "c", 2);
    section->ChangeStyle(Symb::StrongEndSy);
    section->ChangeStyle(Symb::TableSy);
    FDoc.Doc.Add(section);
    ASSERT_EQ(section->FontRuns->Count(), 3);
    EXPECT_EQ(StyleText(section->FontRuns->Run(0)->RunFont->Style()), "B---");
    EXPECT_EQ(StyleText(section->FontRuns->Run(1)->RunFont->Style()), "BI--");
    EXPECT_EQ(StyleText(section->FontRuns->Run(2)->RunFont->Style()), "-I--");
}

TEST_F(SectionTest, SourcePositionsSnapOverMarkup)
{
    TSection* section = FDoc.NewSection();
    AddText(*section, "abcde", 10);
    AddText(*section, "fgh", 20);
    FDoc.Doc.Add(section);
    section->FirstPos = 100;
    ASSERT_EQ(section->SourceRuns->Count(), 2);
    EXPECT_EQ(section->GetIndexObj(1)->FirstChar, 5);
    EXPECT_EQ(section->GetIndexObj(1)->FirstSource, 20);
    EXPECT_EQ(section->FindDocPos(17, true), 104);
    EXPECT_EQ(section->FindDocPos(17, false), 105);
    EXPECT_EQ(section->FindDocPos(12, true), 102);
    EXPECT_EQ(section->FindDocPos(21, false), 106);
    EXPECT_EQ(section->FindDocPos(9, true), -1);
    EXPECT_EQ(section->FindDocPos(9, false), 100);
    EXPECT_EQ(section->FindDocPos(23, false), -1);
    EXPECT_EQ(section->FindDocPos(23, true), 107);
    EXPECT_EQ(section->FindSourcePos(104), 14);
    EXPECT_EQ(section->FindSourcePos(105), 20);
    EXPECT_EQ(section->FindSourcePos(107), 22);
    EXPECT_EQ(section->FindSourcePos(108), -1);
    EXPECT_EQ(section->FindSourcePos(99), -1);
    EXPECT_EQ(section->SourceIndex, nullptr);
}

TEST_F(SectionTest, CellsAskTheirSectionsInOrder)
{
    TSection* first = FDoc.NewSection();
    AddText(*first, "abcdefgh", 10);
    TSection* empty = FDoc.NewSection();
    TSection* second = FDoc.NewSection();
    AddText(*second, "ijklmn", 30);
    FDoc.Doc.Add(first);
    FDoc.Doc.Add(nullptr);
    FDoc.Doc.Add(empty);
    FDoc.Doc.Add(second);
    ASSERT_EQ(FDoc.Doc.Count(), 3);
    second->FirstPos = 8;
    EXPECT_EQ(FDoc.Doc.FindSourcePos(9), 31);
    EXPECT_EQ(FDoc.Doc.FindSourcePos(3), 13);
    EXPECT_EQ(FDoc.Doc.FindSourcePos(14), -1);
    // Between the sections: backward reaches the first section's end, forward the second's start.
    EXPECT_EQ(FDoc.Doc.FindDocPos(20, true), 7);
    EXPECT_EQ(FDoc.Doc.FindDocPos(20, false), 8);
    EXPECT_EQ(FDoc.Doc.FindDocPos(40, true), 13);
    EXPECT_EQ(FDoc.Doc.FindDocPos(40, false), -1);
    EXPECT_EQ(FDoc.Doc.FindDocPos(5, true), -1);
}

TEST_F(SectionTest, FormControlPlaceholders)
{
    struct TCase {
        const char* Tag;
        bool NoBreak;
        const char* Chars;
        const char* Class;
    };
    const TCase cases[] = {
        {"<INPUT TYPE=\"HiDdEn\" NAME=h>", false, "", "THiddenFormControlObj"},
        {"<INPUT TYPE=image SRC=b.gif>", false, "«4»", "TImageFormControlObj"},
        {"<INPUT TYPE=IMAGE SRC=b.gif>", true, "«7»", "TImageFormControlObj"},
        {"<INPUT TYPE=text>", false, "«2»", "TEditFormControlObj"},
        {"<INPUT TYPE=password>", true, "«6»", "TEditFormControlObj"},
        {"<INPUT TYPE=unknown>", false, "«2»", "TEditFormControlObj"},
        {"<INPUT>", false, "«2»", "TEditFormControlObj"},
        {"<INPUT TYPE=checkbox>", false, "«2»", "TCheckBoxFormControlObj"},
        {"<INPUT TYPE=Radio>", true, "«6»", "TRadioButtonFormControlObj"},
        {"<INPUT TYPE=reset>", false, "«2»", "TButtonFormControlObj"},
        {"<SELECT SIZE=1>", false, "«2»", "TComboFormControlObj"},
        {"<SELECT SIZE=2>", false, "«2»", "TListBoxFormControlObj"},
        {"<SELECT MULTIPLE>", false, "«2»", "TListBoxFormControlObj"},
        {"<TEXTAREA>", false, "«2»", "TTextAreaFormControlObj"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Tag);
        TTestDocument doc;
        TSection* section = doc.NewSection();
        AddText(*section, "a", 0);
        TFormControlObj* control = doc.AddControl(*section, c.Tag, 1, c.NoBreak);
        doc.Doc.Add(section);
        EXPECT_EQ(ShownChars(section->Chars), std::string("a") + c.Chars);
        EXPECT_EQ(control->ClassName(), c.Class);
        EXPECT_EQ(control->SrcPos, 1);
        EXPECT_EQ(doc.Doc.FormControls->Count(), 1);
        const bool anchored = std::string(c.Chars) == "«2»" || std::string(c.Chars) == "«6»";
        EXPECT_EQ(section->Controls->FindControl(1), anchored ? control : nullptr);
        if (auto* button = dynamic_cast<TImageFormControlObj*>(control)) {
            ASSERT_EQ(section->ImageObjs->Count(), 1);
            EXPECT_EQ(section->ImageObjs->Image(0)->InputControl, button);
            EXPECT_EQ(section->ImageObjs->Image(0)->SrcPos, 1);
            EXPECT_EQ(section->ImageObjs->Image(0)->SourceName, "b.gif");
        }
        if (auto* radio = dynamic_cast<TRadioButtonFormControlObj*>(control)) {
            EXPECT_EQ(radio->OwnerCell, &doc.Doc);
        }
    }
}

TEST_F(SectionTest, ImagesRecordTheirCellAndPosition)
{
    TSection* section = FDoc.NewSection();
    AddText(*section, "ab", 0);
    TCell cell(&FDoc.Doc);
    TImageObj* image = section->AddImage(FDoc.Attrs("<IMG SRC=a.gif>"), &cell, 2, false);
    AddText(*section, "c", 3);
    TImageObj* second = section->AddImage(FDoc.Attrs("<IMG SRC=b.gif>"), &cell, 4, true);
    FDoc.Doc.Add(section);
    EXPECT_EQ(image->OwnerCell, &cell);
    EXPECT_EQ(ShownChars(section->Chars), "ab«4»c«7»");
    EXPECT_EQ(section->ImageObjs->FindImage(2), image);
    EXPECT_EQ(section->ImageObjs->FindImage(4), second);
    EXPECT_EQ(section->ImageObjs->FindImage(3), nullptr);
}

TEST_F(SectionTest, LongSectionsGrowWithoutLosingAnything)
{
    TSection* section = FDoc.NewSection();
    const std::string piece(100, 'x');
    const int tokens = 100000;
    for (int i = 0; i < tokens; ++i)
        AddText(*section, piece, i * 100);
    EXPECT_EQ(section->CharCount, tokens * 100);
    EXPECT_GE(section->Capacity, section->CharCount + 1);
    EXPECT_LT(section->Capacity, 3 * section->CharCount);
    FDoc.Doc.Add(section);
    EXPECT_EQ(section->SourceRuns->Count(), 1);
    EXPECT_EQ(section->FindSourcePos(9999999), 9999999);
}

} // namespace
