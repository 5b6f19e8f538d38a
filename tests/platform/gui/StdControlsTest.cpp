// Standard controls: identity, the moments their events fire, the edit rules and the mask engine.

#include "GuiTestSupport.h"

#include "platform/gui/Bevel.h"
#include "platform/gui/BitBtn.h"
#include "platform/gui/SpeedButton.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Label.h"
#include "platform/gui/MaskEdit.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/gui/RadioButton.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/DateTimePicker.h"
#include "platform/gui/FindDialogs.h"
#include "platform/gui/Image.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/ListView.h"
#include "platform/gui/Menus.h"
#include "platform/gui/PageControl.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/Splitter.h"
#include "platform/gui/StatusBar.h"
#include "platform/gui/TabSet.h"
#include "platform/gui/UpDown.h"
#include "platform/gui/WindowFunctions.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class StdControls : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 400, 300);
    }
    void TearDown() override { TComponent::Free(form); }

    template <typename T>
    T* Make(int left = 10, int top = 10)
    {
        auto* control = new T(form);
        control->SetParent(form);
        control->SetLeft(left);
        control->SetTop(top);
        return control;
    }

    TForm* form = nullptr;
};

struct TIdentityCase {
    std::function<TObject*(TComponent*)> Create;
    const char* Name;
    std::vector<const char*> Ancestors;
    const char* NotAncestor;
};

template <typename T>
std::function<TObject*(TComponent*)> Maker()
{
    return [](TComponent* owner) { return new T(owner); };
}

TEST_F(StdControls, ClassNamesAndAncestry)
{
    const std::vector<TIdentityCase> cases = {
        {Maker<TEdit>(), "TEdit", {"TCustomEdit", "TWinControl", "TControl"}, "TCustomMemo"},
        {Maker<TMemo>(), "TMemo", {"TCustomMemo", "TCustomEdit", "TWinControl"}, "TCustomMaskEdit"},
        {Maker<TMaskEdit>(), "TMaskEdit", {"TCustomMaskEdit", "TCustomEdit"}, "TEdit"},
        {Maker<TComboBox>(), "TComboBox", {"TCustomComboBox", "TWinControl"}, "TCustomEdit"},
        {Maker<TButton>(), "TButton", {"TButtonControl", "TWinControl"}, "TCustomCheckBox"},
        {Maker<TBitBtn>(), "TBitBtn", {"TButton", "TButtonControl", "TWinControl"}, "TGraphicControl"},
        {Maker<TCheckBox>(), "TCheckBox", {"TCustomCheckBox", "TButtonControl"}, "TButton"},
        {Maker<TRadioButton>(), "TRadioButton", {"TButtonControl"}, "TCustomCheckBox"},
        {Maker<TListBox>(), "TListBox", {"TCustomListBox", "TWinControl"}, "TCustomComboBox"},
        {Maker<TScrollBar>(), "TScrollBar", {"TWinControl", "TControl"}, "TCustomControl"},
        {Maker<TLabel>(), "TLabel", {"TCustomLabel", "TGraphicControl"}, "TWinControl"},
        {Maker<TSpeedButton>(), "TSpeedButton", {"TGraphicControl"}, "TButtonControl"},
        {Maker<TBevel>(), "TBevel", {"TGraphicControl"}, "TCustomLabel"},
        {Maker<TImage>(), "TImage", {"TGraphicControl"}, "TPaintBox"},
        {Maker<TPaintBox>(), "TPaintBox", {"TGraphicControl"}, "TImage"},
        {Maker<TSplitter>(), "TSplitter", {"TGraphicControl"}, "TWinControl"},
        {Maker<TPanel>(), "TPanel", {"TCustomPanel", "TCustomControl"}, "TCustomGroupBox"},
        {Maker<TGroupBox>(), "TGroupBox", {"TCustomGroupBox", "TCustomControl"}, "TCustomPanel"},
        {Maker<TRadioGroup>(), "TRadioGroup", {"TCustomRadioGroup", "TCustomGroupBox"}, "TGroupBox"},
        {Maker<TScrollBox>(), "TScrollBox", {"TScrollingWinControl", "TWinControl"}, "TCustomControl"},
        {Maker<TPageControl>(), "TPageControl", {"TCustomTabControl", "TWinControl"}, "TTabControl"},
        {Maker<TTabControl>(), "TTabControl", {"TCustomTabControl", "TWinControl"}, "TPageControl"},
        {Maker<TTabSheet>(), "TTabSheet", {"TWinControl"}, "TCustomTabControl"},
        {Maker<TTabSet>(), "TTabSet", {"TCustomControl", "TWinControl"}, "TCustomTabControl"},
        {Maker<TStatusBar>(), "TStatusBar", {"TWinControl"}, "TCustomPanel"},
        {Maker<TProgressBar>(), "TProgressBar", {"TWinControl"}, "TScrollBar"},
        {Maker<TUpDown>(), "TUpDown", {"TCustomUpDown", "TWinControl"}, "TScrollBar"},
        {Maker<TListView>(), "TListView", {"TCustomListView", "TWinControl"}, "TCustomListBox"},
        {Maker<TDateTimePicker>(), "TDateTimePicker", {"TCommonCalendar", "TWinControl"}, "TCustomEdit"},
        {Maker<TMainMenu>(), "TMainMenu", {"TMenu", "TComponent"}, "TPopupMenu"},
        {Maker<TPopupMenu>(), "TPopupMenu", {"TMenu", "TComponent"}, "TMainMenu"},
        {Maker<TMenuItem>(), "TMenuItem", {"TComponent"}, "TMenu"},
        {Maker<TOpenDialog>(), "TOpenDialog", {"TCommonDialog", "TComponent"}, "TSaveDialog"},
        {Maker<TSaveDialog>(), "TSaveDialog", {"TOpenDialog", "TCommonDialog"}, "TOpenPictureDialog"},
        {Maker<TOpenPictureDialog>(), "TOpenPictureDialog", {"TOpenDialog"}, "TSaveDialog"},
        {Maker<TSavePictureDialog>(), "TSavePictureDialog", {"TOpenDialog", "TCommonDialog"}, "TSaveDialog"},
        {Maker<TFontDialog>(), "TFontDialog", {"TCommonDialog"}, "TOpenDialog"},
        {Maker<TColorDialog>(), "TColorDialog", {"TCommonDialog"}, "TFontDialog"},
        {Maker<TFindDialog>(), "TFindDialog", {"TCommonDialog"}, "TReplaceDialog"},
        {Maker<TReplaceDialog>(), "TReplaceDialog", {"TFindDialog", "TCommonDialog"}, "TOpenDialog"},
        {[](TComponent*) { return Clipboard(); }, "TClipboard", {"TPersistent", "TObject"}, "TComponent"},
    };
    for (const auto& c : cases) {
        TObject* object = c.Create(form);
        EXPECT_EQ(object->ClassName(), c.Name);
        for (const char* ancestor : c.Ancestors)
            EXPECT_TRUE(object->InheritsFrom(ancestor)) << c.Name << " from " << ancestor;
        EXPECT_FALSE(object->InheritsFrom(c.NotAncestor)) << c.Name << " from " << c.NotAncestor;
    }
}

TEST_F(StdControls, CheckBoxClickFiresOnEveryChangeAndOnlyThen)
{
    auto* box = Make<TCheckBox>();
    int clicks = 0;
    box->OnClick = [&](TObject*) { ++clicks; };
    box->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    box->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    ShowAndActivate(form);
    QTest::mouseClick(Widget(box), Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(box->Perform(BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_UNCHECKED));
    box->Perform(BM_CLICK, 0, 0);
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(clicks, 3);
}

TEST_F(StdControls, RadioButtonsOfAParentAreExclusive)
{
    TRadioButton* radios[3];
    int clicks[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        radios[i] = Make<TRadioButton>(10, 10 + 20 * i);
        radios[i]->OnClick = [&clicks, i](TObject*) { ++clicks[i]; };
    }
    radios[0]->SetChecked(true);
    radios[1]->SetChecked(true);
    EXPECT_FALSE(radios[0]->Checked());
    EXPECT_TRUE(radios[1]->Checked());
    EXPECT_EQ(clicks[0], 1);
    EXPECT_EQ(clicks[1], 1);
    ShowAndActivate(form);
    QTest::mouseClick(Widget(radios[2]), Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_TRUE(radios[2]->Checked());
    EXPECT_FALSE(radios[1]->Checked());
    EXPECT_EQ(clicks[2], 1);
}

TEST_F(StdControls, RadioGroupItemIndexByCodeFiresClick)
{
    auto* group = Make<TRadioGroup>();
    EXPECT_EQ(group->ItemIndex(), -1);
    group->Items()->Add("Uno");
    group->Items()->Add("Due");
    group->Items()->Add("Tre");
    int clicks = 0;
    group->OnClick = [&](TObject*) { ++clicks; };
    group->SetItemIndex(1);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(group->Buttons(1)->Checked());
    group->SetItemIndex(7);
    EXPECT_EQ(group->ItemIndex(), -1);
    EXPECT_FALSE(group->Buttons(1)->Checked());
    ShowAndActivate(form);
    QTest::mouseClick(Widget(group->Buttons(2)), Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_EQ(group->ItemIndex(), 2);
    EXPECT_EQ(clicks, 3);
}

TEST_F(StdControls, ButtonModalResultDefaultAndCancel)
{
    auto* edit = Make<TEdit>(10, 10);
    auto* ok = Make<TButton>(10, 50);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    auto* cancel = Make<TButton>(100, 50);
    cancel->SetCaption("Annulla");
    cancel->SetCancel(true);
    int okClicks = 0, cancelClicks = 0;
    ok->OnClick = [&](TObject*) { ++okClicks; };
    cancel->OnClick = [&](TObject*) { ++cancelClicks; };
    form->SetActiveControl(edit);
    SetModalStartHook([&](TCustomForm*) {
        edit->SetFocus();
        QTest::keyClick(Widget(edit), Qt::Key_Escape);
        QTest::keyClick(Widget(edit), Qt::Key_Return);
    });
    const int result = form->ShowModal();
    SetModalStartHook(nullptr);
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(cancelClicks, 1);
}

TEST_F(StdControls, LabelAutoSizeAndAccelerator)
{
    auto* label = Make<TLabel>();
    auto* edit = Make<TEdit>(10, 40);
    label->SetCaption("&Nome");
    const int narrow = label->Width();
    label->SetCaption("&Nome e cognome del cliente");
    EXPECT_GT(label->Width(), narrow);
    label->SetFocusControl(edit);
    auto* other = Make<TEdit>(10, 80);
    ShowAndActivate(form);
    other->SetFocus();
    QTest::keyClick(Widget(other), Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(edit->Focused());
}

class EditTyping : public StdControls {
protected:
    void SetUp() override
    {
        StdControls::SetUp();
        edit = Make<TEdit>();
        edit->OnChange = [this](TObject*) { ++changes; };
        ShowAndActivate(form);
        edit->SetFocus();
    }
    void Type(const QString& text)
    {
        for (QChar c : text) {
            if (c.unicode() < 128) {
                QTest::keyClick(Widget(edit), static_cast<char>(c.unicode()));
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(Widget(edit), &press);
            QApplication::sendEvent(Widget(edit), &release);
        }
    }

    TEdit* edit = nullptr;
    int changes = 0;
};

TEST_F(EditTyping, MaxLengthStopsTypingAndPastingButNotCode)
{
    edit->SetMaxLength(5);
    Type("abcdefg");
    EXPECT_EQ(edit->Text(), "abcde");
    EXPECT_EQ(changes, 5);
    EXPECT_TRUE(edit->Modified());
    edit->Clear();
    QGuiApplication::clipboard()->setText("1234567");
    QTest::keyClick(Widget(edit), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->Text(), "12345");
    edit->SetText("1234567");
    EXPECT_EQ(edit->Text(), "1234567");
    EXPECT_FALSE(edit->Modified());
}

TEST_F(EditTyping, UpperCaseConvertsTypedAndCodeText)
{
    edit->SetCharCase(ecUpperCase);
    Type(QString::fromUtf8("caff\xC3\xA8"));
    EXPECT_EQ(edit->Text(), "CAFF\xC8");
    edit->SetText("citt\xE0");
    EXPECT_EQ(edit->Text(), "CITT\xC0");
}

TEST_F(EditTyping, OnChangeForCodeAndEditMessages)
{
    edit->SetText("uno");
    EXPECT_EQ(changes, 1);
    edit->SetText("uno");
    EXPECT_EQ(changes, 1);
    edit->Perform(EM_SETSEL, 0, 1);
    edit->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("U"));
    EXPECT_EQ(edit->Text(), "Uno");
    EXPECT_EQ(changes, 2);
    edit->Perform(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(3, 20));
    EXPECT_EQ(edit->Perform(EM_GETMARGINS, 0, 0), MAKELRESULT(3, 20));
    EXPECT_EQ(edit->Perform(WM_GETTEXTLENGTH, 0, 0), 3);
}

// An edit whose window style aligns the text, as the program's numeric edits ask for it.
class TAlignedEdit : public TEdit {
    TESS_CLASS(TAlignedEdit, TEdit)
public:
    TAlignedEdit(TComponent* AOwner, DWORD alignment) : TEdit(AOwner), FAlignment(alignment) {}

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TEdit::CreateParams(Params);
        Params.Style |= FAlignment;
    }

private:
    DWORD FAlignment;
};

// The leftmost and rightmost columns holding text-coloured (dark) pixels, inside the frame.
std::pair<int, int> InkColumns(const QImage& image)
{
    int first = image.width(), last = -1;
    for (int y = 3; y < image.height() - 3; ++y)
        for (int x = 3; x < image.width() - 3; ++x)
            if (qGray(image.pixel(x, y)) < 96) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

TEST_F(StdControls, EditStyleAlignsTheTextInAGrab)
{
    struct TCase {
        DWORD Style;
        double MinFraction, MaxFraction; // where the text lies across the width
    };
    const TCase cases[] = {{ES_LEFT, 0.0, 0.3}, {ES_CENTER, 0.35, 0.65}, {ES_RIGHT, 0.7, 1.0}};
    std::vector<TAlignedEdit*> edits;
    for (const TCase& c : cases) {
        auto* edit = new TAlignedEdit(form, c.Style);
        edit->SetParent(form);
        edit->SetBounds(10, 10 + 30 * static_cast<int>(edits.size()), 200, 21);
        edit->SetText("1.234,50");
        edits.push_back(edit);
    }
    ShowAndActivate(form);
    for (std::size_t i = 0; i < edits.size(); ++i) {
        const QImage image = Widget(edits[i])->grab().toImage();
        const auto [first, last] = InkColumns(image);
        ASSERT_LT(first, last) << i;
        EXPECT_GE(first, cases[i].MinFraction * image.width()) << i;
        EXPECT_LE(last, cases[i].MaxFraction * image.width()) << i;
    }
}

TEST_F(EditTyping, PasswordCharShowsInAGrabWhileTextKeepsWhatWasTyped)
{
    edit->SetPasswordChar('*');
    Type("abc");
    EXPECT_EQ(edit->Text(), "abc");
    auto* shown = Make<TEdit>(10, 40);
    shown->SetText("***");
    auto* button = Make<TButton>(10, 80);
    button->SetFocus();
    // The stars look exactly like an edit holding three stars.
    const QImage typed = Widget(edit)->grab().toImage();
    const QImage plain = Widget(shown)->grab().toImage();
    EXPECT_EQ(InkColumns(typed), InkColumns(plain));
    EXPECT_TRUE(typed == plain);
}

struct TMaskCase {
    const char* Mask;
    const char* Keys; // "\b" is Backspace
    const char* EditText;
    const char* Text;
};

class MaskEditTyping : public StdControls, public testing::WithParamInterface<TMaskCase> {};

TEST_P(MaskEditTyping, KeystrokesGiveEditTextAndText)
{
    const TMaskCase& c = GetParam();
    auto* edit = Make<TMaskEdit>();
    edit->SetEditMask(c.Mask);
    ShowAndActivate(form);
    edit->SetFocus();
    for (const char* k = c.Keys; *k; ++k) {
        if (*k == '\b')
            QTest::keyClick(Widget(edit), Qt::Key_Backspace);
        else
            QTest::keyClick(Widget(edit), *k);
    }
    EXPECT_EQ(edit->EditText(), c.EditText);
    if (c.Text) {
        EXPECT_EQ(edit->Text(), c.Text);
    }
    EXPECT_EQ(edit->Modified(), *c.Keys != 0);
}

INSTANTIATE_TEST_SUITE_P(Masks, MaskEditTyping,
                         testing::Values(TMaskCase{"!99/99/0000;1;_", "", "__/__/____", "  /  /    "},
                                         TMaskCase{"!99/99/0000;1;_", "31122024", "31/12/2024", "31/12/2024"},
                                         TMaskCase{"!99/99/0000;1;_", "3a1", "31/__/____", nullptr},
                                         TMaskCase{"!99/99/0000;1;_", "31\b", "3_/__/____", nullptr},
                                         TMaskCase{"!90:00;1;_", "0930", "09.30", "09.30"},
                                         TMaskCase{"(999) 000-0000;0;_", "0612345678", "(061) 234-5678", "0612345678"},
                                         TMaskCase{">LL", "ab", "AB", "AB"}));

TEST(EditMaskEngine, BadFieldsFallBackToDefaults)
{
    TEditMaskEngine unclosed("00\\");
    EXPECT_EQ(unclosed.EmptyEditText(), "__\\");
    TEditMaskEngine blankField("00;1; ");
    EXPECT_EQ(blankField.Blank(), ' ');
    TEditMaskEngine emptyFields("00;;");
    EXPECT_TRUE(emptyFields.SaveLiterals());
    EXPECT_EQ(emptyFields.Blank(), '_');
    EXPECT_FALSE(TEditMaskEngine("").IsMasked());
}

TEST_F(StdControls, MaskEditLeavingWithBlankRequiredPositionRaisesAndEscapeRestores)
{
    auto* edit = Make<TMaskEdit>();
    auto* other = Make<TEdit>(10, 60);
    edit->SetEditMask("!99/99/0000;1;_");
    edit->SetText("01/02/2025");
    ShowAndActivate(form);
    edit->SetFocus();
    for (char k : std::string("311"))
        QTest::keyClick(Widget(edit), k);
    // Entering selected everything, so typing blanked it first.
    EXPECT_EQ(edit->EditText(), "31/1_/____");
    EXPECT_THROW(edit->ValidateEdit(), EDBEditError);
    try {
        edit->ValidateEdit();
    } catch (const EDBEditError& e) {
        EXPECT_EQ(e.Message, "Valore non valido. Premere Esc per annullare le modifiche.");
    }
    EXPECT_THROW(edit->Perform(CM_EXIT, 0, 0), EDBEditError);
    EXPECT_TRUE(edit->Focused());
    QTest::keyClick(Widget(edit), Qt::Key_Escape);
    EXPECT_EQ(edit->EditText(), "01/02/2025");
    (void)other;
}

// A masked edit whose changes a subclass allows or refuses, and which counts its resets.
class TGuardedMaskEdit : public TMaskEdit {
public:
    using TMaskEdit::TMaskEdit;
    bool Allow = false;
    int Asked = 0;
    int Resets = 0;
    bool EditCanModify() override
    {
        ++Asked;
        return Allow;
    }
    void Reset() override
    {
        ++Resets;
        TMaskEdit::Reset();
    }
};

TEST_F(StdControls, MaskEditAsksBeforeEveryChangeOfItsText)
{
    for (const char* mask : {"", "000;1;_"}) {
        auto* edit = Make<TGuardedMaskEdit>();
        edit->SetEditMask(mask);
        edit->SetText("123");
        ShowAndActivate(form);
        edit->SetFocus();
        edit->SetSelStart(1);
        const std::string before = edit->EditText();
        QGuiApplication::clipboard()->setText("9");
        QTest::keyClick(Widget(edit), Qt::Key_5);
        QTest::keyClick(Widget(edit), Qt::Key_Backspace);
        QTest::keyClick(Widget(edit), Qt::Key_Delete);
        QTest::keyClick(Widget(edit), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(Widget(edit), Qt::Key_Insert, Qt::ShiftModifier);
        edit->SelectAll();
        QTest::keyClick(Widget(edit), Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(Widget(edit), Qt::Key_Delete, Qt::ShiftModifier);
        for (UINT message : {WM_PASTE, WM_CUT, WM_CLEAR})
            edit->Perform(message, 0, 0);
        edit->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("7"));
        EXPECT_EQ(edit->EditText(), before) << "mask \"" << mask << "\"";
        EXPECT_GE(edit->Asked, 11) << mask;
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(Widget(edit), Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "123") << "copying changes nothing and is not asked";

        edit->Allow = true;
        edit->SetSelStart(0);
        edit->SetSelLength(0);
        QTest::keyClick(Widget(edit), Qt::Key_Delete);
        EXPECT_NE(edit->EditText(), before) << mask;
        TComponent::Free(edit);
    }
}

TEST_F(StdControls, EscapeRestoresAMaskEditThroughItsOverridableReset)
{
    auto* edit = Make<TGuardedMaskEdit>();
    edit->Allow = true;
    edit->SetEditMask("000;1;_");
    edit->SetText("123");
    ShowAndActivate(form);
    edit->SetFocus();
    edit->SetSelStart(0);
    edit->SetSelLength(0);
    QTest::keyClick(Widget(edit), Qt::Key_9);
    EXPECT_EQ(edit->Text(), "923");
    QTest::keyClick(Widget(edit), Qt::Key_Escape);
    EXPECT_EQ(edit->Resets, 1);
    EXPECT_EQ(edit->Text(), "123");
}

// A multi-line edit keeps Enter and Escape; a single-line one leaves them to the form's buttons.
class TMultiLineEdit : public TEdit {
public:
    using TEdit::TEdit;

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TEdit::CreateParams(Params);
        Params.Style |= ES_MULTILINE;
    }
};

TEST_F(StdControls, OnlyASingleLineEditPassesEnterToTheDefaultButton)
{
    auto* single = Make<TEdit>();
    auto* multi = Make<TMultiLineEdit>(10, 40);
    auto* button = Make<TButton>(10, 80);
    button->SetDefault(true);
    int clicks = 0;
    button->OnClick = [&clicks](TObject*) { ++clicks; };
    ShowAndActivate(form);
    EXPECT_TRUE(multi->Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
    EXPECT_FALSE(single->Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
    multi->SetFocus();
    QTest::keyClick(Widget(multi), Qt::Key_Return);
    EXPECT_EQ(clicks, 0);
    single->SetFocus();
    QTest::keyClick(Widget(single), Qt::Key_Return);
    EXPECT_EQ(clicks, 1);
}

TEST_F(StdControls, SpeedButtonsOfAGroupAreExclusive)
{
    TSpeedButton* buttons[3];
    for (int i = 0; i < 3; ++i) {
        buttons[i] = Make<TSpeedButton>(10 + 25 * i, 10);
        buttons[i]->SetGroupIndex(1);
    }
    buttons[0]->SetDown(true);
    ShowAndActivate(form);
    int clicks = 0;
    buttons[1]->OnClick = [&](TObject*) { ++clicks; };
    QTest::mouseClick(Widget(buttons[1]), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(buttons[1]->Down());
    EXPECT_FALSE(buttons[0]->Down());
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(Widget(buttons[1]), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(buttons[1]->Down());
    buttons[1]->SetAllowAllUp(true);
    QTest::mouseClick(Widget(buttons[1]), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(buttons[1]->Down());
}

TEST_F(StdControls, BitBtnKindsAndGlyphCells)
{
    auto* button = Make<TBitBtn>();
    button->SetKind(bkCancel);
    EXPECT_EQ(button->Caption(), "Annulla");
    EXPECT_EQ(button->ModalResult(), mrCancel);
    EXPECT_TRUE(button->Cancel());
    TBitmap glyph;
    glyph.SetSize(36, 18);
    glyph.Canvas()->Brush()->SetColor(clRed);
    glyph.Canvas()->FillRect(Rect(0, 0, 36, 18));
    button->SetGlyph(&glyph);
    EXPECT_EQ(button->NumGlyphs(), 2);
    button->SetEnabled(false);
    ShowAndActivate(form);
    Widget(button)->repaint();
    EXPECT_EQ(button->LastDrawnCell(), 1);
}

class MemoLines : public StdControls, public testing::WithParamInterface<bool> {};

TEST_P(MemoLines, LinesTextAndLineMessagesCountLineBreaksAsTwo)
{
    // With a parent the lines live in the Qt widget, without one in the control.
    auto* memo = new TMemo(form);
    if (GetParam())
        memo->SetParent(form);
    memo->Lines()->Add("a");
    memo->Lines()->Add("bb");
    memo->Lines()->Add("ccc");
    EXPECT_EQ(memo->Text(), "a\r\nbb\r\nccc");
    EXPECT_EQ(memo->Lines()->Count(), 3);
    EXPECT_EQ(memo->Perform(EM_LINEINDEX, 2, 0), 7);
    EXPECT_EQ(memo->Perform(EM_LINELENGTH, 7, 0), 3);
    EXPECT_EQ(memo->Perform(EM_LINEFROMCHAR, 4, 0), 1);
    memo->Lines()->Insert(1, "x");
    memo->Lines()->Delete(0);
    memo->Lines()->SetStrings(2, "CCC");
    EXPECT_EQ(memo->Text(), "x\r\nbb\r\nCCC");
    EXPECT_THROW(memo->Lines()->Delete(3), EStringListError);
    EXPECT_EQ(memo->Lines()->Count(), 3);
    const std::string longLine(5000, 'z');
    memo->Lines()->Add(longLine);
    EXPECT_EQ(memo->Lines()->Strings(3), longLine);
    memo->Lines()->Clear();
    EXPECT_EQ(memo->Lines()->Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutWindow, MemoLines, testing::Bool());

TEST_F(StdControls, MemoMaxLengthStopsTypingNotCode)
{
    auto* memo = Make<TMemo>();
    memo->SetMaxLength(10);
    ShowAndActivate(form);
    memo->SetFocus();
    for (char c : std::string("abcde"))
        QTest::keyClick(Widget(memo), c);
    QTest::keyClick(Widget(memo), Qt::Key_Return);
    for (char c : std::string("fghijkl"))
        QTest::keyClick(Widget(memo), c);
    EXPECT_EQ(memo->Text(), "abcde\r\nfgh");
    EXPECT_EQ(memo->Lines()->Count(), 2);
    memo->SetText("123456789012");
    EXPECT_EQ(memo->Text(), "123456789012");
}

TEST_F(StdControls, MemoTextSetWhileHiddenReachesTheWindowWhenShown)
{
    auto* memo = Make<TMemo>();
    memo->Lines()->SetText("uno\r\ndue\r\ntre");
    EXPECT_EQ(memo->Lines()->Count(), 3);
    EXPECT_EQ(memo->Lines()->Strings(1), "due");
    EXPECT_EQ(memo->Perform(EM_LINEINDEX, 2, 0), 10);
    memo->SetSelStart(5);
    memo->SetSelLength(3);
    auto* editor = qobject_cast<QPlainTextEdit*>(Widget(memo));
    ASSERT_NE(editor, nullptr);
    ShowAndActivate(form);
    EXPECT_EQ(editor->toPlainText(), QString("uno\ndue\ntre"));
    EXPECT_EQ(editor->textCursor().selectedText(), QString("due"));
    EXPECT_EQ(memo->SelStart(), 5);
    memo->SetFocus();
    QTest::keyClick(Widget(memo), 'X');
    EXPECT_EQ(memo->Text(), "uno\r\nX\r\ntre");
    EXPECT_EQ(memo->Lines()->Strings(1), "X");
    // Code that sets the text of a shown memo puts it on the window at once.
    memo->Lines()->SetText("uno");
    EXPECT_EQ(editor->toPlainText(), QString("uno"));
}


TEST_F(StdControls, MemoScrollBarsAreTheWindowsOwnAndFollowTheText)
{
    auto* memo = Make<TMemo>();
    memo->SetBounds(10, 10, 185, 89);
    memo->SetScrollBars(ssVertical);
    for (int i = 0; i < 50; ++i)
        memo->Lines()->Add("riga " + std::to_string(i));
    ShowAndActivate(form);
    auto* editor = qobject_cast<QPlainTextEdit*>(Widget(memo));
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->verticalScrollBar()->isVisible()) << "only the window's own bar shows";
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(memo->Handle(), SB_VERT, info));
    EXPECT_GT(info.nMax - static_cast<int>(info.nPage) + 1, 0) << "the text is longer than the window";
    EXPECT_EQ(info.nPos, 0);
    // The window's bar scrolls the text, and the text's scrolling moves the bar.
    memo->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
    const int first = static_cast<int>(memo->Perform(EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_GT(first, 0);
    ASSERT_TRUE(GetScrollInfo(memo->Handle(), SB_VERT, info));
    EXPECT_EQ(info.nPos, editor->verticalScrollBar()->value());
    memo->Perform(EM_LINESCROLL, 0, 5);
    ASSERT_TRUE(GetScrollInfo(memo->Handle(), SB_VERT, info));
    EXPECT_EQ(info.nPos, editor->verticalScrollBar()->value());
    memo->Perform(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(memo->Perform(EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    // The text keeps out of the bar's zone at the right edge.
    EXPECT_LE(editor->viewport()->geometry().right(), memo->Width() - 17);
}
} // namespace
