// The extended rich edit: its window, notifications, undo, the old control's branches, and the
// character and paragraph attributes.

#include "ExRichEditTestSupport.h"

#include "platform/gui/Clipboard.h"

#include <cstring>

namespace ExRichEditTest {

const char* const BoldRtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\f0\\fs20 Prima {\\b grassetto} "
                            "riga\\par\\qc Centrata\\par}";

using ExRichEditControl = ExRichEditFixture;

// Inside the character whose top-left corner p is.
TPoint Shifted(TPoint p) { return TPoint{p.X + 2, p.Y + 4}; }

TEST_F(ExRichEditControl, ANewWindowKeepsTheTextWithItsFormats)
{
    TExRichEdit* edit = Make();
    Load(edit, BoldRtf);
    edit->SetModified(true);
    const std::string before = Rtf(edit);
    ASSERT_NE(before.find("\\b"), std::string::npos);
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"SelectionBar", [&] { edit->SetSelectionBar(false); }},
        {"HideScrollBars", [&] { edit->SetHideScrollBars(false); }},
        {"AllowObjects", [&] { edit->SetAllowObjects(false); }},
    };
    for (const auto& [name, change] : changes) {
        const HWND old = edit->Handle();
        change();
        edit->HandleNeeded();
        EXPECT_NE(edit->Handle(), old) << name;
        EXPECT_EQ(Rtf(edit), before) << name;
        EXPECT_TRUE(edit->Modified()) << name;
    }
    char className[32] = {};
    GetClassNameA(edit->Handle(), className, sizeof(className));
    EXPECT_STREQ(className, "RichEdit20A");
}

TEST_F(ExRichEditControl, PlainTextKeepsTheCharactersAndDropsTheFormats)
{
    TExRichEdit* edit = Make();
    Load(edit, BoldRtf);
    const std::string text = edit->GetText();
    edit->SetSelStart(6);
    edit->SetSelLength(9);
    ASSERT_TRUE(edit->SelAttributes()->Style().Contains(fsBold));
    edit->SetPlainText(true);
    EXPECT_TRUE(edit->PlainText());
    EXPECT_EQ(edit->GetText(), text);
    edit->SetSelStart(6);
    edit->SetSelLength(9);
    EXPECT_FALSE(edit->SelAttributes()->Style().Contains(fsBold));
    EXPECT_EQ(Send(edit, EM_GETTEXTMODE) & (TM_PLAINTEXT | TM_RICHTEXT), TM_PLAINTEXT);
}

TEST_F(ExRichEditControl, MaxLengthZeroAllowsTheWholeRange)
{
    TExRichEdit* edit = Make();
    EXPECT_EQ(Send(edit, EM_GETLIMITTEXT), 0xFFFFFF);
    edit->SetMaxLength(12);
    EXPECT_EQ(Send(edit, EM_GETLIMITTEXT), 12);
    edit->SetMaxLength(0);
    EXPECT_EQ(Send(edit, EM_GETLIMITTEXT), 0xFFFFFF);
}

TEST_F(ExRichEditControl, AUrlClickNeedsPressAndReleaseOfOneButtonOnTheUrl)
{
    TExRichEdit* edit = Make();
    form->Show();
    edit->SetText("vedi http://www.example.com/fattura qui");
    std::vector<std::pair<std::string, TMouseButton>> clicks;
    edit->OnURLClick = [&](TObject*, const std::string& url, TMouseButton button) { clicks.push_back({url, button}); };
    const TPoint onUrl = Shifted(edit->GetCharPos(12));
    const TPoint offUrl = Shifted(edit->GetCharPos(1));
    auto at = [](TPoint p) { return static_cast<LPARAM>(MAKELPARAM(p.X, p.Y)); };
    Send(edit, WM_LBUTTONDOWN, MK_LBUTTON, at(onUrl));
    Send(edit, WM_LBUTTONUP, 0, at(offUrl));
    EXPECT_TRUE(clicks.empty());
    Send(edit, WM_RBUTTONDOWN, MK_RBUTTON, at(onUrl));
    Send(edit, WM_RBUTTONUP, 0, at(onUrl));
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].first, "http://www.example.com/fattura");
    EXPECT_EQ(clicks[0].second, mbRight);
}

TEST_F(ExRichEditControl, ProtectedTextChangesOnlyWhenAHandlerAllows)
{
    TExRichEdit* edit = Make();
    edit->SetText("Totale fattura");
    edit->SelectAll();
    edit->SelAttributes()->SetProtected(true);
    edit->SetSelStart(3);
    Type(edit, "x");
    EXPECT_EQ(edit->GetText(), "Totale fattura");

    int asked = 0;
    edit->OnProtectChange = [&](TObject*, int, int, bool& allow) {
        ++asked;
        allow = true;
    };
    edit->SetSelStart(3);
    Type(edit, "x");
    EXPECT_EQ(edit->GetText(), "Totxale fattura");
    EXPECT_GT(asked, 0);
}

TEST_F(ExRichEditControl, CharPositionIsTheSameInBothMessageForms)
{
    TExRichEdit* edit = Make();
    form->Show();
    edit->SetText("prima riga\rseconda riga");
    const TPoint pointerForm = edit->GetCharPos(14);
    RichEditVersion = 2;
    const TPoint indexForm = edit->GetCharPos(14);
    EXPECT_EQ(pointerForm, indexForm);
    EXPECT_GT(pointerForm.Y, edit->GetCharPos(0).Y);
}

TEST_F(ExRichEditControl, WordAtCursorUndoNamesAndRedo)
{
    TExRichEdit* edit = Make();
    edit->SetText("alfa beta gamma");
    edit->SetSelStart(7);
    EXPECT_EQ(edit->WordAtCursor(), "beta");
    edit->SetSelStart(0);
    EXPECT_EQ(edit->WordAtCursor(), "alfa");

    edit->SetSelStart(15);
    Type(edit, "x");
    EXPECT_EQ(edit->UndoName(), ExRichEd::unTyping);
    Clipboard()->SetAsText(" incollato");
    edit->PasteFromClipboard();
    EXPECT_EQ(edit->UndoName(), ExRichEd::unPaste);
    const std::string pasted = edit->GetText();
    edit->Undo();
    EXPECT_EQ(edit->GetText(), "alfa beta gammax");
    EXPECT_TRUE(edit->CanRedo());
    EXPECT_EQ(edit->RedoName(), ExRichEd::unPaste);
    edit->Redo();
    EXPECT_EQ(edit->GetText(), pasted);
}

TEST_F(ExRichEditControl, SelTextReplacesUndoablyAndSelectsTheNewText)
{
    TExRichEdit* edit = Make();
    edit->SetText("uno due tre");
    edit->SetSelStart(4);
    edit->SetSelLength(3);
    edit->SetSelText("quattro");
    EXPECT_EQ(edit->GetText(), "uno quattro tre");
    EXPECT_EQ(edit->SelStart(), 4);
    EXPECT_EQ(edit->SelText(), "quattro");
    EXPECT_TRUE(edit->CanUndo());
    edit->Undo();
    EXPECT_EQ(edit->GetText(), "uno due tre");
}

TEST_F(ExRichEditControl, TextRangeTakesAnyRange)
{
    TExRichEdit* edit = Make();
    edit->SetText("0123456789");
    const std::tuple<int, int, std::string> cases[] = {
        {2, 5, "234"}, {5, 2, "234"}, {7, -1, "789"}, {-3, 2, "01"}, {8, 100, "89"}, {20, 30, ""}, {4, 4, ""}};
    for (const auto& [start, end, expected] : cases)
        EXPECT_EQ(edit->GetTextRange(start, end), expected) << start << ".." << end;
    char buffer[4];
    edit->SetSelStart(1);
    edit->SetSelLength(6);
    EXPECT_EQ(edit->GetSelTextBuf(buffer, sizeof(buffer)), 3);
    EXPECT_STREQ(buffer, "123");
}

TEST_F(ExRichEditControl, OldControlIgnoresTheNewerProperties)
{
    TExRichEdit* edit = Make(1);
    char className[32] = {};
    GetClassNameA(edit->Handle(), className, sizeof(className));
    EXPECT_STREQ(className, "RICHEDIT");
    edit->SetAutoURLDetect(false);
    edit->SetAutoURLDetect(true);
    edit->SetLangOptions({ExRichEd::rlAutoKeyboard, ExRichEd::rlAutoFont});
    edit->SetUndoLimit(1);
    EXPECT_EQ(Send(edit, EM_GETAUTOURLDETECT), 0);
    EXPECT_EQ(Send(edit, EM_GETLANGOPTIONS), 0);
    EXPECT_EQ(Send(edit, EM_GETTEXTMODE) & TM_SINGLELEVELUNDO, 0u);

    edit->SetText("uno\r\ndue");
    EXPECT_EQ(edit->GetLineIndex(1), 5);
    edit->SelectAll();
    TExTextAttributes* attributes = edit->SelAttributes();
    attributes->SetLink(true);
    attributes->SetHidden(true);
    attributes->SetSubscriptStyle(ExRichEd::ssSuperscript);
    EXPECT_FALSE(attributes->Link());
    EXPECT_FALSE(attributes->Hidden());
    EXPECT_EQ(attributes->SubscriptStyle(), ExRichEd::ssNone);
    RichEditVersion = 3;
    EXPECT_FALSE(edit->SelAttributes()->Link());
    EXPECT_FALSE(edit->SelAttributes()->Hidden());
    RichEditVersion = 1;
    edit->Paragraph()->SetNumbering(ExRichEd::nsUpCaseRoman);
    EXPECT_EQ(edit->Paragraph()->Numbering(), ExRichEd::nsBullet);
    PARAFORMAT2 para;
    Send(edit, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&para));
    EXPECT_EQ(para.wNumbering, PFN_BULLET);
}

// --- Attributes ----------------------------------------------------------------------------------

using ExRichEditAttributes = ExRichEditFixture;

CHARFORMAT2A CharFormat(TExRichEdit* edit)
{
    CHARFORMAT2A format;
    SendMessageA(edit->Handle(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return format;
}

PARAFORMAT2 ParaFormat(TExRichEdit* edit)
{
    PARAFORMAT2 format;
    SendMessageA(edit->Handle(), EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
    return format;
}

TEST_F(ExRichEditAttributes, PropertiesMeetTheirRecordFields)
{
    TExRichEdit* edit = Make();
    edit->SetText("Fattura numero 12 del 2024\rSeconda riga");
    edit->SetSelStart(0);
    edit->SetSelLength(7);
    TExTextAttributes* sel = edit->SelAttributes();
    TExParaAttributes* para = edit->Paragraph();

    sel->SetSize(12);
    EXPECT_EQ(CharFormat(edit).yHeight, 240);
    CHARFORMAT2A twips;
    twips.dwMask = CFM_SIZE;
    twips.yHeight = 250;
    Send(edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&twips));
    EXPECT_EQ(sel->Size(), 12);
    EXPECT_EQ(sel->Height(), 16);

    sel->SetColor(clRed);
    EXPECT_EQ(sel->Color(), clRed);
    sel->SetColor(clWindowText);
    EXPECT_TRUE(CharFormat(edit).dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(sel->Color(), clWindowText);

    sel->SetName(std::string(100, 'x'));
    EXPECT_EQ(sel->Name(), std::string(31, 'x'));
    sel->SetName("Times New Roman");
    EXPECT_EQ(sel->Name(), "Times New Roman");
    sel->SetOffset(-1000000);
    EXPECT_EQ(sel->Offset(), -1000000);
    sel->SetOffset(0);
    sel->SetUnderlineType(ExRichEd::utDouble);
    EXPECT_EQ(sel->UnderlineType(), ExRichEd::utDouble);
    EXPECT_TRUE(sel->Style().Contains(fsUnderline));
    sel->SetSubscriptStyle(ExRichEd::ssSubscript);
    EXPECT_EQ(sel->SubscriptStyle(), ExRichEd::ssSubscript);
    sel->SetBackColor(clYellow);
    EXPECT_EQ(sel->BackColor(), clYellow);
    sel->SetBackColor(clWindow);
    EXPECT_EQ(sel->BackColor(), clWindow);

    para->SetAlignment(ExRichEd::paJustify);
    EXPECT_EQ(ParaFormat(edit).wAlignment, 4);
    EXPECT_EQ(para->Alignment(), ExRichEd::paJustify);
    para->SetAlignment(ExRichEd::paCenter);
    EXPECT_EQ(ParaFormat(edit).wAlignment, PFA_CENTER);

    para->SetLeftIndent(0);
    para->SetNumbering(ExRichEd::nsBullet);
    EXPECT_EQ(para->LeftIndent(), 10);
    EXPECT_EQ(para->Numbering(), ExRichEd::nsBullet);
    para->SetNumbering(ExRichEd::nsArabicNumbers);
    EXPECT_EQ(para->Numbering(), ExRichEd::nsArabicNumbers);
    para->SetNumberingStyle(ExRichEd::nsPeriod);
    EXPECT_EQ(para->NumberingStyle(), ExRichEd::nsPeriod);
    para->SetNumbering(ExRichEd::nsNone);
    EXPECT_EQ(para->LeftIndent(), 0);

    para->SetTabCount(0);
    para->SetTab(0, 36);
    EXPECT_EQ(para->TabCount(), 1);
    para->SetTab(2, 108);
    EXPECT_EQ(para->TabCount(), 3);
    EXPECT_EQ(para->Tab(2), 108);
    EXPECT_EQ(para->Tab(0), 36);
    para->SetTab(40, 10);
    EXPECT_EQ(para->TabCount(), 3);
    EXPECT_EQ(para->Tab(40), 0);

    para->SetLineSpacingRule(ExRichEd::lsSpecified);
    para->SetLineSpacing(18);
    EXPECT_EQ(para->LineSpacingRule(), ExRichEd::lsSpecified);
    EXPECT_EQ(para->LineSpacing(), 18);
    para->SetSpaceBefore(6);
    EXPECT_EQ(para->SpaceBefore(), 6);
    para->SetHeadingStyle(3);
    EXPECT_EQ(para->HeadingStyle(), 3);

    PARAFORMAT2 table;
    table.dwMask = PFM_TABLE;
    table.wEffects = 0x8000;
    Send(edit, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&table));
    EXPECT_EQ(para->TableStyle(), ExRichEd::tsTableCellEnd);
    para->SetTableStyle(ExRichEd::tsTableRow);
    EXPECT_EQ(ParaFormat(edit).wEffects & 0xC000, 0xC000);
    EXPECT_EQ(para->TableStyle(), ExRichEd::tsTableRow);
}

TEST_F(ExRichEditAttributes, FontsAndMixedSelections)
{
    TExRichEdit* edit = Make();
    edit->SetText("grassetto normale");
    edit->SetSelStart(0);
    edit->SetSelLength(9);
    TFont font;
    font.SetName("Arial");
    font.SetSize(10);
    font.SetStyle({fsBold});
    font.SetColor(clWindowText);
    edit->SelAttributes()->Assign(&font);
    const CHARFORMAT2A format = CharFormat(edit);
    EXPECT_TRUE(format.dwEffects & CFE_BOLD);
    EXPECT_TRUE(format.dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(format.yHeight, 200);
    EXPECT_STREQ(format.szFaceName, "Arial");

    TFont back;
    back.Assign(edit->SelAttributes());
    EXPECT_EQ(back.Name(), "Arial");
    EXPECT_EQ(back.Size(), 10);
    EXPECT_TRUE(back.Style().Contains(fsBold));

    edit->SelectAll();
    const ExRichEd::TExConsistentAttributes same = edit->SelAttributes()->ConsistentAttributes();
    EXPECT_FALSE(same.Contains(ExRichEd::caBold));
    EXPECT_TRUE(edit->DefAttributes()->ConsistentAttributes().Empty());

    // The word attributes widen an empty selection to its word.
    edit->SetSelStart(12);
    edit->WordAttributes()->SetStyle({fsItalic});
    edit->SetSelStart(10);
    edit->SetSelLength(7);
    EXPECT_TRUE(edit->SelAttributes()->Style().Contains(fsItalic));
    EXPECT_TRUE(edit->SelAttributes()->ConsistentAttributes().Contains(ExRichEd::caItalic));
}

TEST_F(ExRichEditAttributes, ClassLibraryAttributesCopyBothWays)
{
    TExRichEdit* edit = Make();
    auto* plain = new TRichEdit(form);
    plain->SetParent(form);
    plain->SetBounds(10, 320, 300, 100);
    plain->SetText("riga del rich edit semplice");
    plain->SelectAll();
    plain->SelAttributes()->SetName("Courier New");
    plain->SelAttributes()->SetStyle({fsItalic});
    plain->SelAttributes()->SetColor(clBlue);
    plain->Paragraph()->SetAlignment(taCenter);
    plain->Paragraph()->SetFirstIndent(12);
    plain->Paragraph()->SetRightIndent(8);
    plain->Paragraph()->SetNumbering(::nsBullet);
    plain->Paragraph()->SetTabCount(1);
    plain->Paragraph()->SetTab(0, 72);

    edit->SetText("riga del rich edit esteso");
    edit->SelectAll();
    edit->SelAttributes()->Assign(plain->SelAttributes());
    edit->Paragraph()->Assign(plain->Paragraph());
    EXPECT_EQ(edit->SelAttributes()->Name(), "Courier New");
    EXPECT_EQ(edit->SelAttributes()->Style(), TFontStyles{fsItalic});
    EXPECT_EQ(edit->SelAttributes()->Color(), clBlue);
    EXPECT_EQ(edit->Paragraph()->Alignment(), ExRichEd::paCenter);
    EXPECT_EQ(edit->Paragraph()->FirstIndent(), 12);
    EXPECT_EQ(edit->Paragraph()->RightIndent(), 8);
    EXPECT_EQ(edit->Paragraph()->Numbering(), ExRichEd::nsBullet);
    EXPECT_EQ(edit->Paragraph()->Tab(0), 72);

    edit->SelAttributes()->SetName("Arial");
    edit->SelAttributes()->SetStyle({fsBold});
    edit->Paragraph()->SetAlignment(ExRichEd::paJustify);
    edit->Paragraph()->SetNumbering(ExRichEd::nsNone);
    plain->SelAttributes()->Assign(edit->SelAttributes());
    plain->Paragraph()->Assign(edit->Paragraph());
    EXPECT_EQ(plain->SelAttributes()->Name(), "Arial");
    EXPECT_EQ(plain->SelAttributes()->Style(), TFontStyles{fsBold});
    EXPECT_EQ(plain->Paragraph()->Alignment(), taLeftJustify);
    EXPECT_EQ(plain->Paragraph()->Numbering(), ::nsNone);
}

TEST_F(ExRichEditAttributes, WithoutAWindowEverythingReadsEmpty)
{
    RichEditVersion = 3;
    TExRichEdit edit(nullptr);
    TExTextAttributes* sel = edit.SelAttributes();
    sel->SetSize(30);
    sel->SetStyle({fsBold});
    EXPECT_EQ(sel->Size(), 0);
    EXPECT_EQ(sel->Name(), "");
    EXPECT_TRUE(sel->Style().Empty());
    EXPECT_FALSE(sel->Protected());
    EXPECT_EQ(sel->Color(), static_cast<TColor>(0));
    EXPECT_TRUE(sel->ConsistentAttributes().Empty());
    EXPECT_EQ(edit.Paragraph()->TabCount(), 0);
    EXPECT_EQ(edit.Paragraph()->LeftIndent(), 0);
    EXPECT_EQ(edit.Paragraph()->Numbering(), ExRichEd::nsNone);
    EXPECT_EQ(edit.Paragraph()->Alignment(), ExRichEd::paLeftJustify);
    EXPECT_TRUE(edit.SelectionType().Empty());
    EXPECT_EQ(edit.GetCharPos(3), (TPoint{0, 0}));
    EXPECT_EQ(edit.WordAtCursor(), "");
    EXPECT_FALSE(edit.HandleAllocated());
}

} // namespace ExRichEditTest
