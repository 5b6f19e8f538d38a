// Form fields with their platform controls: made at the first sizing on the GUI thread after the
// document was built on a worker thread, sized, reset, grouped, submitted, and hidden or parked
// when painting did not place them.

#include "HtmlTestSupport.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/gui/RadioButton.h"
#include "platform/gui/Screen.h"
#include "tests/TestFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

// Named: the test files may be compiled together.
namespace FormWindowTests {

class TSurfaceViewer : public TViewerServices {
public:
    TComponent* ViewerComponent() override { return &Component; }
    std::string HTMLExpandFilename(const std::string& Filename) override { return Filename; }
    int ViewerClientHeight() override { return 400; }
    int MarginHeight() override { return 0; }
    void SetDocumentMarginWidth(int) override {}
    void SetDocumentMarginHeight(int) override {}
    TComponent Component{nullptr};
};

struct TSubmission {
    std::string Action;
    std::vector<std::string> Results;
};

class FormWindowTest : public testing::Test {
protected:
    FormWindowTest()
    {
        FHost->SetBounds(0, 0, 500, 400);
        FSurface->SetParent(FHost);
        FSurface->SetBounds(0, 0, 500, 400);
        FSurface->SetTabStop(true);
        FDoc->SetFonts("Arial", "Courier New", 12, clBlack, clBlue, clPurple, clRed, clWhite, false);
        FDoc->CurrentParser = &FParser;
        FDoc->SubmitHandler = [this](TObject* Sender, const std::string& Action, const std::string&,
                                     const std::string&, const std::string&, std::unique_ptr<TStringList> Results) {
            EXPECT_EQ(Sender, &FViewer.Component);
            TSubmission submission{Action, {}};
            for (int i = 0; i < Results->Count(); ++i)
                submission.Results.push_back(Results->Strings(i));
            FSubmitted.push_back(submission);
        };
    }
    ~FormWindowTest() override
    {
        FDoc.reset();
        delete FHost;
    }

    // The fields, made as the parser makes them: on a worker thread.
    void BuildOnWorker(const std::function<void()>& build)
    {
        std::thread worker(build);
        worker.join();
    }
    const TAttributeList* Attrs(const std::string& tag)
    {
        FAttributes.push_back(TagAttributes(tag));
        return FAttributes.back().get();
    }
    // A new form for the fields that follow.
    void NewForm() { FParser.CurrentForm = new ThtmlForm(FDoc.get(), nullptr); }
    void SetSizes()
    {
        for (int i = 0; i < FDoc->Forms->Count(); ++i)
            static_cast<ThtmlForm*>(static_cast<TObject*>(FDoc->Forms->Items(i)))->SetSizes(FCanvas->Canvas());
    }
    static void PressEnter(TWinControl* control)
    {
        WORD key = VK_RETURN;
        ASSERT_TRUE(control->OnKeyDown);
        control->OnKeyDown(control, key, TShiftState());
        EXPECT_EQ(key, VK_RETURN) << "the key goes on";
    }

    TSurfaceViewer FViewer;
    TForm* FHost = new TForm(nullptr);
    // The painting surface, as the viewer's panel.
    TPanel* FSurface = new TPanel(FHost);
    ThlParser FParser;
    std::unique_ptr<TSectionList> FDoc = std::make_unique<TSectionList>(&FViewer, FSurface);
    std::unique_ptr<TBitmap> FCanvas = NewFilledBitmap(10, 10, clWhite);
    std::vector<std::unique_ptr<TAttributeList>> FAttributes;
    std::vector<TSubmission> FSubmitted;
};

TEST_F(FormWindowTest, ControlsAreMadeAtTheFirstSizingOnTheGuiThread)
{
    TEditFormControlObj* edit = nullptr;
    TTextAreaFormControlObj* memo = nullptr;
    TRadioButtonFormControlObj* radio = nullptr;
    const TAttributeList* editAttrs = Attrs("<INPUT NAME=q VALUE=abc SIZE=10 MAXLENGTH=5 TYPE=password>");
    const TAttributeList* memoAttrs = Attrs("<TEXTAREA NAME=t ROWS=3 COLS=2147483647>");
    const TAttributeList* radioAttrs = Attrs("<INPUT TYPE=radio NAME=r CHECKED>");
    BuildOnWorker([&] {
        edit = new TEditFormControlObj(FDoc.get(), editAttrs, 0, "password");
        memo = new TTextAreaFormControlObj(FDoc.get(), memoAttrs, 1);
        radio = new TRadioButtonFormControlObj(FDoc.get(), radioAttrs, 2, nullptr);
    });
    memo->AddStr("one");
    memo->AddStr("two");
    TFormControlList list;
    list.Add(edit);
    list.Add(memo);
    list.Add(radio);
    bool onBaseline = true;
    EXPECT_EQ(edit->WinControl, nullptr);
    EXPECT_EQ(list.GetHeightAt(0, onBaseline), -1) << "nothing before the first sizing";
    EXPECT_EQ(list.GetWidthAt(0), -1);

    SetSizes();
    auto* editBox = dynamic_cast<TEdit*>(edit->WinControl);
    ASSERT_NE(editBox, nullptr);
    EXPECT_EQ(editBox->Owner(), FSurface);
    EXPECT_EQ(editBox->Parent(), FSurface);
    EXPECT_EQ(editBox->Top(), OffScreenTop);
    EXPECT_EQ(editBox->GetText(), "abc");
    EXPECT_EQ(editBox->MaxLength(), 5);
    EXPECT_EQ(editBox->PasswordChar(), '*');
    EXPECT_EQ(editBox->Font()->Name(), "Courier New");
    EXPECT_EQ(editBox->Font()->Size(), 10);
    FCanvas->Canvas()->Font()->Assign(editBox->Font());
    EXPECT_EQ(list.GetWidthAt(0), FCanvas->Canvas()->TextWidth("A") * 10 + 5);
    EXPECT_EQ(list.GetHeightAt(0, onBaseline), 20);
    EXPECT_FALSE(onBaseline);

    auto* memoBox = dynamic_cast<TMemo*>(memo->WinControl);
    ASSERT_NE(memoBox, nullptr);
    EXPECT_EQ(memoBox->Lines()->Count(), 2);
    EXPECT_EQ(memoBox->ClientHeight(), FCanvas->Canvas()->TextHeight("A") * 3 + 5);
    EXPECT_EQ(memoBox->ClientWidth(), MaxControlSide) << "a huge COLS stops at the window limit";
    EXPECT_EQ(memoBox->ScrollBars(), ssBoth);
    EXPECT_FALSE(memoBox->WordWrap());

    auto* panel = dynamic_cast<TPanel*>(radio->WinControl);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Width(), 13);
    EXPECT_EQ(panel->Height(), 14);
    EXPECT_EQ(panel->BevelOuter(), bvNone);
    auto* radioButton = dynamic_cast<TRadioButton*>(radio->GetControl());
    ASSERT_NE(radioButton, nullptr);
    EXPECT_EQ(radioButton->Parent(), panel);
    EXPECT_TRUE(radioButton->Checked());
    EXPECT_EQ(list.GetHeightAt(2, onBaseline), 14);
    EXPECT_TRUE(onBaseline);

    TWinControl* first = edit->WinControl;
    SetSizes();
    EXPECT_EQ(edit->WinControl, first) << "made once";
}

TEST_F(FormWindowTest, SubmittingThePage)
{
    TEditFormControlObj* edit = nullptr;
    TButtonFormControlObj* button = nullptr;
    TTextAreaFormControlObj* memo = nullptr;
    TImageFormControlObj* image = nullptr;
    const TAttributeList* a[] = {Attrs("<INPUT NAME=q VALUE=abc>"), Attrs("<INPUT TYPE=checkbox NAME=c CHECKED>"),
                                 Attrs("<INPUT TYPE=submit NAME=go VALUE=Send>"), Attrs("<TEXTAREA NAME=m>"),
                                 Attrs("<INPUT TYPE=image NAME=map>")};
    BuildOnWorker([&] {
        edit = new TEditFormControlObj(FDoc.get(), a[0], 0, "text");
        new TCheckBoxFormControlObj(FDoc.get(), a[1], 1);
        button = new TButtonFormControlObj(FDoc.get(), a[2], 2, "submit");
        memo = new TTextAreaFormControlObj(FDoc.get(), a[3], 3);
        image = new TImageFormControlObj(FDoc.get(), a[4], 4);
    });
    memo->AddStr("first");
    memo->AddStr("second");
    SetSizes();

    button->WinControl->OnClick(button->WinControl);
    ASSERT_EQ(FSubmitted.size(), 1u);
    EXPECT_EQ(FSubmitted[0].Results,
              (std::vector<std::string>{"q=abc", "c=on", "m=first\r\nsecond", "go=Send"}));

    PressEnter(edit->WinControl);
    ASSERT_EQ(FSubmitted.size(), 2u);
    EXPECT_EQ(FSubmitted[1].Results, (std::vector<std::string>{"q=abc", "c=on", "m=first\r\nsecond"}));

    // Enter in the memo makes a new line and submits nothing.
    auto* memoBox = static_cast<TMemo*>(memo->WinControl);
    memoBox->Perform(WM_KEYDOWN, VK_RETURN, 0);
    memoBox->Perform(WM_CHAR, VK_RETURN, 0);
    EXPECT_EQ(memoBox->Lines()->Count(), 3);
    PressEnter(memoBox);
    EXPECT_EQ(FSubmitted.size(), 2u);
    memo->ResetToValue();

    image->HoverX = 10;
    image->HoverY = 20;
    image->ImageClick(nullptr);
    ASSERT_EQ(FSubmitted.size(), 3u);
    const std::vector<std::string>& clicked = FSubmitted[2].Results;
    EXPECT_EQ(std::vector<std::string>(clicked.end() - 2, clicked.end()),
              (std::vector<std::string>{"map.x=10", "map.y=20"}));
    PressEnter(edit->WinControl);
    ASSERT_EQ(FSubmitted.size(), 4u);
    EXPECT_EQ(FSubmitted[3].Results.size(), 3u) << "the click counts once";

    image->FieldName.clear();
    image->ImageClick(nullptr);
    EXPECT_EQ(FSubmitted[4].Results.back(), "y=20");

    // Without a submit handler nothing happens.
    FDoc->SubmitHandler = nullptr;
    button->WinControl->OnClick(button->WinControl);
    EXPECT_EQ(FSubmitted.size(), 5u);
}

TEST_F(FormWindowTest, ListsSubmitTheirChosenOptions)
{
    TListBoxFormControlObj* multi = nullptr;
    TListBoxFormControlObj* twelve = nullptr;
    TListBoxFormControlObj* none = nullptr;
    TComboFormControlObj* combo = nullptr;
    const TAttributeList* a[] = {Attrs("<SELECT NAME=m MULTIPLE>"), Attrs("<SELECT NAME=s SIZE=1>"),
                                 Attrs("<SELECT NAME=l MULTIPLE>"), Attrs("<SELECT NAME=e MULTIPLE>")};
    BuildOnWorker([&] {
        multi = new TListBoxFormControlObj(FDoc.get(), a[0], 0);
        multi->AddStr("A", "", true);
        multi->AddStr("B", "bee", true);
        multi->AddStr("C", "", false);
        combo = new TComboFormControlObj(FDoc.get(), a[1], 1);
        combo->AddStr("First", "1", false);
        combo->AddStr("Second", "2", false);
        twelve = new TListBoxFormControlObj(FDoc.get(), a[2], 2);
        for (int i = 0; i < 12; ++i)
            twelve->AddStr("Option " + std::to_string(i), "", false);
        none = new TListBoxFormControlObj(FDoc.get(), a[3], 3);
    });
    SetSizes();
    EXPECT_EQ(twelve->VisibleRows, 8);
    EXPECT_EQ(none->VisibleRows, 1);
    FCanvas->Canvas()->Font()->Assign(twelve->WinControl->Font());
    EXPECT_EQ(twelve->WinControl->ClientHeight(), FCanvas->Canvas()->TextHeight("A") * 8)
        << twelve->WinControl->Height() << " " << twelve->WinControl->HandleAllocated();
    EXPECT_EQ(twelve->WinControl->ClientWidth(), FCanvas->Canvas()->TextWidth("A") * 9 + 15);
    EXPECT_EQ(static_cast<TComboBox*>(combo->WinControl)->Style(), csDropDownList);

    ThtmlForm* form = multi->OwnerForm;
    form->SubmitTheForm("");
    ASSERT_EQ(FSubmitted.size(), 1u);
    EXPECT_EQ(FSubmitted[0].Results, (std::vector<std::string>{"m=A", "m=bee", "s=1"}))
        << "a single select with nothing marked gives its first option";

    // Changes and a reset.
    auto* list = static_cast<TListBox*>(multi->WinControl);
    list->SetSelected(0, false);
    list->SetSelected(2, true);
    static_cast<TComboBox*>(combo->WinControl)->SetItemIndex(1);
    form->SubmitTheForm("");
    EXPECT_EQ(FSubmitted[1].Results, (std::vector<std::string>{"m=bee", "m=C", "s=2"}));
    form->ResetControls();
    form->SubmitTheForm("");
    EXPECT_EQ(FSubmitted[2].Results, FSubmitted[0].Results);
}

TEST_F(FormWindowTest, ResetRestoresTextChecksAndLines)
{
    TEditFormControlObj* edit = nullptr;
    TCheckBoxFormControlObj* check = nullptr;
    TTextAreaFormControlObj* memo = nullptr;
    TButtonFormControlObj* reset = nullptr;
    const TAttributeList* a[] = {Attrs("<INPUT NAME=q VALUE=abc>"), Attrs("<INPUT TYPE=checkbox NAME=c>"),
                                 Attrs("<TEXTAREA NAME=t WRAP=soft>"), Attrs("<INPUT TYPE=reset>")};
    BuildOnWorker([&] {
        edit = new TEditFormControlObj(FDoc.get(), a[0], 0, "text");
        check = new TCheckBoxFormControlObj(FDoc.get(), a[1], 1);
        memo = new TTextAreaFormControlObj(FDoc.get(), a[2], 2);
        reset = new TButtonFormControlObj(FDoc.get(), a[3], 3, "reset");
    });
    memo->AddStr("line one");
    memo->AddStr("line two");
    SetSizes();
    EXPECT_EQ(static_cast<TMemo*>(memo->WinControl)->ScrollBars(), ssVertical);
    edit->WinControl->SetText("changed");
    static_cast<TCheckBox*>(check->WinControl)->SetChecked(true);
    static_cast<TMemo*>(memo->WinControl)->Lines()->Add("more");
    reset->WinControl->OnClick(reset->WinControl);
    EXPECT_EQ(edit->WinControl->GetText(), "abc");
    EXPECT_FALSE(static_cast<TCheckBox*>(check->WinControl)->Checked());
    EXPECT_EQ(static_cast<TMemo*>(memo->WinControl)->Lines()->Count(), 2);
    EXPECT_TRUE(FSubmitted.empty()) << "a reset submits nothing";
    edit->OwnerForm->SubmitTheForm("");
    EXPECT_EQ(FSubmitted[0].Results, (std::vector<std::string>{"q=abc", "t=line oneline two"}))
        << "wrapped lines are joined without a break";
}

TEST_F(FormWindowTest, RadiosOfOneNameExcludeEachOtherWithinOneForm)
{
    TRadioButtonFormControlObj* r[4] = {};
    const TAttributeList* big = Attrs("<INPUT TYPE=radio NAME=Size VALUE=big CHECKED>");
    const TAttributeList* small = Attrs("<INPUT TYPE=radio NAME=size VALUE=small>");
    BuildOnWorker([&] {
        r[0] = new TRadioButtonFormControlObj(FDoc.get(), big, 0, nullptr);
        r[1] = new TRadioButtonFormControlObj(FDoc.get(), small, 1, nullptr);
        NewForm();
        r[2] = new TRadioButtonFormControlObj(FDoc.get(), big, 2, nullptr);
        r[3] = new TRadioButtonFormControlObj(FDoc.get(), small, 3, nullptr);
    });
    SetSizes();
    auto radio = [&](int i) { return static_cast<TRadioButton*>(r[i]->GetControl()); };
    EXPECT_TRUE(radio(0)->Checked());
    EXPECT_TRUE(radio(2)->Checked());
    radio(1)->Perform(BM_CLICK, 0, 0);
    EXPECT_TRUE(radio(1)->Checked());
    EXPECT_FALSE(radio(0)->Checked()) << "same name in another case";
    EXPECT_TRUE(radio(2)->Checked()) << "another form";
    r[0]->OwnerForm->SubmitTheForm("");
    EXPECT_EQ(FSubmitted.back().Results, (std::vector<std::string>{"size=small"}));
}

TEST_F(FormWindowTest, ClicksReachTheObjectClickHandler)
{
    TCheckBoxFormControlObj* check = nullptr;
    const TAttributeList* attrs = Attrs("<INPUT TYPE=checkbox NAME=c ONCLICK=\"alert('hi')\">");
    BuildOnWorker([&] { check = new TCheckBoxFormControlObj(FDoc.get(), attrs, 0); });
    SetSizes();
    std::vector<std::string> clicks;
    FDoc->ObjectClickHandler = [&](TObject* Sender, TObject* Obj, const std::string& OnClick) {
        EXPECT_EQ(Sender, &FViewer.Component);
        EXPECT_EQ(Obj, check);
        clicks.push_back(OnClick);
    };
    static_cast<TCheckBox*>(check->WinControl)->Click();
    EXPECT_EQ(clicks, (std::vector<std::string>{"alert('hi')"}));
}

TEST_F(FormWindowTest, UnpaintedControlsAreParkedWhileOneHasTheFocus)
{
    TEditFormControlObj* edits[3] = {};
    const TAttributeList* attrs = Attrs("<INPUT NAME=q>");
    BuildOnWorker([&] {
        for (int i = 0; i < 3; ++i)
            edits[i] = new TEditFormControlObj(FDoc.get(), attrs, i, "text");
    });
    SetSizes();
    std::vector<TObject*> entered;
    FDoc->ControlEnterHandler = [&](TObject* Sender) { entered.push_back(Sender); };
    FHost->Show();
    for (TEditFormControlObj* edit : edits)
        edit->WinControl->SetBounds(10, 10, 100, 20);
    edits[0]->ShownInPaint = true;
    edits[0]->WinControl->SetFocus();
    Application->ProcessMessages();
    ASSERT_EQ(Screen->ActiveControl(), edits[0]->WinControl);
    EXPECT_EQ(entered, (std::vector<TObject*>{edits[0]}));
    EXPECT_EQ(edits[1]->WinControl->Left(), OffScreenLeft) << "entering parks the unpainted ones";

    edits[1]->WinControl->SetLeft(10);
    FDoc->AdjustFormControls();
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(edits[i]->WinControl->Left(), OffScreenLeft);
        EXPECT_TRUE(edits[i]->WinControl->Visible());
    }
    EXPECT_EQ(edits[0]->WinControl->Left(), 10) << "the painted one stays";

    // The focus goes elsewhere: the unpainted ones hide.
    auto* outside = new TEdit(FHost);
    outside->SetParent(FHost);
    outside->SetBounds(0, 350, 50, 20);
    outside->SetFocus();
    Application->ProcessMessages();
    ASSERT_EQ(Screen->ActiveControl(), outside);
    for (int i = 1; i < 3; ++i)
        EXPECT_FALSE(edits[i]->WinControl->Visible());
    EXPECT_TRUE(edits[0]->WinControl->Visible());

    // Cleared while a control has the focus: the focus moves to the painting surface.
    edits[0]->WinControl->SetFocus();
    Application->ProcessMessages();
    ASSERT_EQ(Screen->ActiveControl(), edits[0]->WinControl);
    FDoc->Clear();
    Application->ProcessMessages();
    EXPECT_EQ(Screen->ActiveControl(), FSurface);
}

TEST_F(FormWindowTest, AHugeSelectRefills)
{
    TListBoxFormControlObj* list = nullptr;
    TComboFormControlObj* combo = nullptr;
    const TAttributeList* listAttrs = Attrs("<SELECT NAME=l MULTIPLE>");
    const TAttributeList* comboAttrs = Attrs("<SELECT NAME=c>");
    BuildOnWorker([&] {
        list = new TListBoxFormControlObj(FDoc.get(), listAttrs, 0);
        combo = new TComboFormControlObj(FDoc.get(), comboAttrs, 1);
        for (int i = 0; i < 20000; ++i) {
            list->AddStr("Item " + std::to_string(i), "", i == 19999);
            combo->AddStr("Item " + std::to_string(i), "", i == 19999);
        }
    });
    SetSizes();
    EXPECT_EQ(static_cast<TListBox*>(list->WinControl)->Items()->Count(), 20000);
    EXPECT_TRUE(static_cast<TListBox*>(list->WinControl)->Selected(19999));
    EXPECT_EQ(static_cast<TComboBox*>(combo->WinControl)->ItemIndex(), 19999);
}

TEST_F(FormWindowTest, ALookAtEveryKindOfControl)
{
    const TAttributeList* a[] = {Attrs("<INPUT NAME=q VALUE='Some text' SIZE=15>"),
                                 Attrs("<INPUT TYPE=submit VALUE=Invia>"),
                                 Attrs("<INPUT TYPE=checkbox CHECKED>"),
                                 Attrs("<INPUT TYPE=radio CHECKED>"),
                                 Attrs("<SELECT MULTIPLE SIZE=3>"),
                                 Attrs("<SELECT>"),
                                 Attrs("<TEXTAREA ROWS=3 COLS=20>")};
    std::vector<TFormControlObj*> controls;
    BuildOnWorker([&] {
        controls.push_back(new TEditFormControlObj(FDoc.get(), a[0], 0, "text"));
        controls.push_back(new TButtonFormControlObj(FDoc.get(), a[1], 1, "submit"));
        controls.push_back(new TCheckBoxFormControlObj(FDoc.get(), a[2], 2));
        controls.push_back(new TRadioButtonFormControlObj(FDoc.get(), a[3], 3, nullptr));
        auto* list = new TListBoxFormControlObj(FDoc.get(), a[4], 4);
        auto* combo = new TComboFormControlObj(FDoc.get(), a[5], 5);
        for (const char* option : {"Uno", "Due", "Tre", "Quattro"}) {
            list->AddStr(option, "", false);
            combo->AddStr(option, "", false);
        }
        controls.push_back(list);
        controls.push_back(combo);
        auto* memo = new TTextAreaFormControlObj(FDoc.get(), a[6], 6);
        memo->AddStr("Prima riga");
        memo->AddStr("Seconda riga");
        controls.push_back(memo);
    });
    SetSizes();
    FSurface->SetColor(clWhite);
    FHost->Show();
    int y = 10;
    for (TFormControlObj* control : controls) {
        control->WinControl->SetLeft(10);
        control->WinControl->SetTop(y);
        control->ShownInPaint = true;
        y += control->WinControl->Height() + 8;
    }
    Application->ProcessMessages();
    const char* folder = std::getenv("TESS_SCREENSHOT_DIR");
    const std::string dir = folder != nullptr && *folder != '\0' ? folder : std::string(TestBinaryDir());
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(GrabToPng(FSurface, dir + "/h05-form-controls.png"));
}

} // namespace FormWindowTests
