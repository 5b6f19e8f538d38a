#include "HtmlTestSupport.h"

#include <gtest/gtest.h>

namespace {

class FormControlsTest : public testing::Test {
protected:
    TFixedMetricsScope FMetrics;
    TTestDocument FDoc;

    // Adds the control of tag to a new section of the document and returns it.
    TFormControlObj* Control(const std::string& tag)
    {
        TSection* section = FDoc.NewSection();
        TFormControlObj* control = FDoc.AddControl(*section, tag, 0);
        FDoc.Doc.Add(section);
        return control;
    }
};

TEST_F(FormControlsTest, Attributes)
{
    const struct {
        const char* Tag;
        const char* Dump;
    } cases[] = {
        {"<INPUT NAME=q VALUE=abc VALUE=second NAME=other ONCLICK=go()>",
         "TEditFormControlObj name=\"q\" value=\"abc\" form=0 onclick=\"go()\" size=20 maxlength=0 password=no"},
        {"<INPUT SIZE=\"30,5\">", "size=30 "},
        {"<INPUT SIZE=\"30 5\">", "size=30 "},
        {"<INPUT SIZE=\",5\">", "size=20 "},
        {"<INPUT SIZE=\"x,5\">", "size=20 "},
        {"<INPUT SIZE=12>", "size=12 "},
        {"<INPUT SIZE=0>", "size=20 "},
        {"<INPUT SIZE=2147483647 MAXLENGTH=-2147483648>", "size=2147483647 maxlength=-2147483648 "},
        {"<INPUT TYPE=PassWord MAXLENGTH=8>", "maxlength=8 password=yes"},
        {"<INPUT TYPE=submit>", "TButtonFormControlObj name=\"\" value=\"Submit\" form=0 kind=0"},
        {"<INPUT TYPE=reset VALUE=\"\">", "value=\"Reset\" form=0 kind=1"},
        {"<INPUT TYPE=button>", "value=\"Button\" form=0 kind=2"},
        {"<INPUT TYPE=submit VALUE=Send>", "value=\"Send\" form=0 kind=0"},
        {"<INPUT TYPE=checkbox NAME=c>", "TCheckBoxFormControlObj name=\"c\" value=\"on\" form=0 checked=no"},
        {"<INPUT TYPE=checkbox VALUE=x CHECKED>", "value=\"x\" form=0 checked=yes"},
        {"<INPUT TYPE=radio CHECKED>", "TRadioButtonFormControlObj name=\"\" value=\"\" form=0 checked=yes"},
        {"<SELECT NAME=s>", "TComboFormControlObj name=\"s\" value=\"\" form=0 rows=-1 widest=3 multi=no"},
        {"<SELECT SIZE=4 MULTIPLE>", "TListBoxFormControlObj name=\"\" value=\"\" form=0 rows=4 widest=3 multi=yes"},
        {"<SELECT SIZE=-2147483648>", "TComboFormControlObj name=\"\" value=\"\" form=0 rows=-2147483648 "},
        {"<TEXTAREA>", "TTextAreaFormControlObj name=\"\" value=\"\" form=0 rows=5 cols=30 wrap=no"},
        {"<TEXTAREA ROWS=2 COLS=2147483647 WRAP=Hard>", "rows=2 cols=2147483647 wrap=yes"},
        {"<TEXTAREA ROWS=-1 COLS=0 WRAP=soft>", "rows=-1 cols=0 wrap=yes"},
        {"<TEXTAREA WRAP=off>", "wrap=no"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Tag);
        TTestDocument doc;
        TSection* section = doc.NewSection();
        doc.AddControl(*section, c.Tag, 0);
        doc.Doc.Add(section);
        EXPECT_NE(DumpDocument(doc.Doc).find(c.Dump), std::string::npos) << DumpDocument(doc.Doc);
    }
}

TEST_F(FormControlsTest, FormAttributes)
{
    const struct {
        const char* Tag;
        const char* Method;
        const char* Action;
        const char* Target;
        const char* EncType;
    } cases[] = {
        {"<FORM>", "Get", "", "", ""},
        {"<FORM METHOD=POSTED>", "POST", "", "", ""},
        {"<FORM METHOD=post ACTION=a ACTION=b TARGET=t1 TARGET=t2 ENCTYPE=e1 ENCTYPE=e2>", "post", "b", "t2", "e2"},
    };
    for (const auto& c : cases) {
        auto* form = new ThtmlForm(&FDoc.Doc, FDoc.Attrs(c.Tag));
        EXPECT_EQ(FDoc.Doc.Forms->Items(FDoc.Doc.Forms->Count() - 1), static_cast<TObject*>(form));
        EXPECT_EQ(form->FormMethod, c.Method) << c.Tag;
        EXPECT_EQ(form->FormAction, c.Action) << c.Tag;
        EXPECT_EQ(form->FormTarget, c.Target) << c.Tag;
        EXPECT_EQ(form->FormEncType, c.EncType) << c.Tag;
    }
}

TEST_F(FormControlsTest, ControlsOutsideAnyFormShareOneImplicitForm)
{
    TFormControlObj* first = Control("<INPUT NAME=a>");
    TFormControlObj* hidden = Control("<INPUT TYPE=hidden NAME=b>");
    ASSERT_EQ(FDoc.Doc.Forms->Count(), 1);
    EXPECT_EQ(first->OwnerForm, hidden->OwnerForm);
    EXPECT_EQ(FDoc.Parser.CurrentForm, first->OwnerForm);
    EXPECT_EQ(first->OwnerForm->FormMethod, "Get");
    FDoc.Parser.CurrentForm = new ThtmlForm(&FDoc.Doc, FDoc.Attrs("<FORM ACTION=x>"));
    TFormControlObj* inForm = Control("<TEXTAREA NAME=c>");
    EXPECT_EQ(inForm->OwnerForm, FDoc.Parser.CurrentForm);
    FDoc.Parser.CurrentForm = nullptr;
    TFormControlObj* after = Control("<SELECT NAME=d>");
    EXPECT_EQ(FDoc.Doc.Forms->Count(), 3);
    EXPECT_NE(after->OwnerForm, first->OwnerForm);
    EXPECT_EQ(FDoc.Doc.FormControls->Count(), 4);
    EXPECT_NE(DumpDocument(FDoc.Doc).find("form 0 method=\"Get\" action=\"\" target=\"\" enctype=\"\"\n"
                                          "  TEditFormControlObj name=\"a\"\n"
                                          "  THiddenFormControlObj name=\"b\"\n"
                                          "form 1 method=\"Get\" action=\"x\" target=\"\" enctype=\"\"\n"
                                          "  TTextAreaFormControlObj name=\"c\"\n"
                                          "form 2"),
              std::string::npos)
        << DumpDocument(FDoc.Doc);
}

TEST_F(FormControlsTest, LongTextsAreKeptOrCutAsTheirRulesSay)
{
    const std::string text(10000, 'v');
    TFormControlObj* button = Control("<INPUT TYPE=submit NAME=\"" + text + "\" VALUE=\"" + text + "\">");
    EXPECT_EQ(button->FieldName, text);
    EXPECT_EQ(button->InitialValue, text);
    // TYPE counts only with its first 20 characters, which no kind has.
    TFormControlObj* typed = Control("<INPUT TYPE=\"submit" + text + "\">");
    EXPECT_EQ(typed->ClassName(), "TEditFormControlObj");
    auto* form = new ThtmlForm(&FDoc.Doc, FDoc.Attrs("<FORM METHOD=\"" + text + "\" ACTION=\"" + text + "\">"));
    EXPECT_EQ(form->FormMethod, "vvvv");
    EXPECT_EQ(form->FormAction, text);
}

TEST_F(FormControlsTest, OptionsAndLines)
{
    auto* list = static_cast<TListBoxFormControlObj*>(Control("<SELECT>"));
    list->AddStr("One", "1", true);
    EXPECT_EQ(list->WidestOption, 3);
    list->AddStr("A much longer option", "", false);
    EXPECT_EQ(list->WidestOption, 20);
    list->AddStr("ab", "", false);
    EXPECT_EQ(list->WidestOption, 20);
    ASSERT_EQ(list->OptionList->Count(), 3);
    EXPECT_EQ(list->Option(0)->OptionValue, "1");
    EXPECT_TRUE(list->Option(0)->OptionSelected);
    EXPECT_FALSE(list->Option(1)->OptionSelected);
    auto* area = static_cast<TTextAreaFormControlObj*>(Control("<TEXTAREA>"));
    area->AddStr("first");
    area->AddStr("");
    EXPECT_EQ(area->InitialLines->Count(), 2);
    EXPECT_EQ(area->InitialLines->Strings(0), "first");
}

TEST_F(FormControlsTest, ListLookUps)
{
    TSection* section = FDoc.NewSection();
    AddText(*section, "ab", 0);
    TFormControlObj* edit =
        section->AddFormControl(Symb::InputSy, &FDoc.Doc, FDoc.Attrs("<INPUT>"), &FDoc.Doc, 2, false);
    AddText(*section, "cd", 3);
    TFormControlObj* box =
        section->AddFormControl(Symb::InputSy, &FDoc.Doc, FDoc.Attrs("<INPUT TYPE=checkbox>"), &FDoc.Doc, 5, false);
    FDoc.Doc.Add(section);
    const TFormControlList& controls = *section->Controls;
    EXPECT_EQ(controls.FindControl(2), edit);
    EXPECT_EQ(controls.FindControl(5), box);
    EXPECT_EQ(controls.FindControl(3), nullptr);
    EXPECT_EQ(controls.GetControlCountAt(0), 2);
    EXPECT_EQ(controls.GetControlCountAt(3), 2);
    EXPECT_EQ(controls.GetControlCountAt(5), 0);
    EXPECT_EQ(controls.GetControlCountAt(6), NoObjectAhead);
    EXPECT_EQ(edit->WinControl, nullptr);
    EXPECT_TRUE(box->OnBaseline);
    EXPECT_FALSE(edit->OnBaseline);
}

} // namespace
