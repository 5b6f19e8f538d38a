// The check list box: toggling by mouse and keys, radio buttons, states across a new window, the
// check pictures as drawn, the states in INI files, the registry and a form placement, and the
// "Strings" form data.

#include "ControlsTestSupport.h"

#include "controls/AppUtils.h"
#include "controls/ExCheckListBox.h"
#include "controls/Placemnt.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Colors.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Messages.h"
#include "platform/os/IniFiles.h"
#include "platform/os/Registry.h"
#include "platform/os/RegistryStore.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TypInfo.h"
#include "tablestore/Filer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ExCheckListBoxTest {

LRESULT Send(TWinControl* control, UINT msg, WPARAM w = 0, LPARAM l = 0)
{
    return SendMessageA(control->Handle(), msg, w, l);
}

class CheckListFixture : public testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(0, 0, 420, 260);
        box = Make(10, 10);
    }
    TExCheckListBox* Make(int left, int top)
    {
        auto* made = new TExCheckListBox(form.get());
        made->SetParent(form.get());
        made->SetBounds(left, top, 130, 130);
        return made;
    }
    void Fill(TExCheckListBox* target, std::initializer_list<const char*> texts)
    {
        for (const char* text : texts)
            target->Items()->Add(text);
    }
    // A left click in the check column of the item, or on its text.
    void Click(int index, bool onCheck = true)
    {
        const TRect rect = box->ItemRect(index);
        const int x = onCheck ? rect.Left + 3 : rect.Left + box->CheckWidth() + 10;
        const LPARAM at = MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>((rect.Top + rect.Bottom) / 2));
        Send(box, WM_LBUTTONDOWN, MK_LBUTTON, at);
        Send(box, WM_LBUTTONUP, 0, at);
    }
    std::unique_ptr<TForm> form;
    TExCheckListBox* box = nullptr;
};

TEST_F(CheckListFixture, ClicksInTheCheckColumnToggleTheStates)
{
    struct {
        TCheckKind Kind;
        bool AllowGrayed;
        std::vector<TCheckBoxState> Sequence;
    } cases[] = {
        {ckCheckBoxes, false, {cbChecked, cbUnchecked, cbChecked}},
        {ckCheckBoxes, true, {cbGrayed, cbChecked, cbUnchecked, cbGrayed}},
        {ckCheckMarks, true, {cbGrayed, cbChecked, cbUnchecked}},
        // Grayed does not exist for radio buttons, and the checked one cannot be unchecked.
        {ckRadioButtons, true, {cbChecked, cbChecked}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Kind) + (c.AllowGrayed ? " grayed allowed" : ""));
        box->Clear();
        Fill(box, {"Uno", "Due", "Tre"});
        box->SetCheckKind(c.Kind);
        box->SetAllowGrayed(c.AllowGrayed);
        box->SetState(0, cbChecked);
        int clicks = 0;
        box->OnClickCheck = [&](TObject*) { ++clicks; };
        for (TCheckBoxState expected : c.Sequence) {
            Click(1);
            EXPECT_EQ(box->State(1), expected);
        }
        EXPECT_EQ(clicks, static_cast<int>(c.Sequence.size()));
        if (c.Kind == ckRadioButtons)
            EXPECT_EQ(box->CheckedIndex(), 1) << "checking one radio button unchecks the other";
        Click(2, false);
        EXPECT_EQ(box->State(2), cbUnchecked) << "a click on the text only selects";
        EXPECT_EQ(box->ItemIndex(), 2);
        box->OnClickCheck = nullptr;
    }
}

TEST_F(CheckListFixture, KeysToggleTheCurrentItemAndSetEveryEnabledOne)
{
    Fill(box, {"Uno", "Due", "Tre", "Quattro"});
    box->SetItemEnabled(2, false);
    box->SetState(2, cbGrayed);
    box->SetItemIndex(1);
    Send(box, WM_CHAR, ' ');
    EXPECT_EQ(box->State(1), cbChecked);
    Send(box, WM_CHAR, ' ');
    EXPECT_EQ(box->State(1), cbUnchecked);
    EXPECT_EQ(box->ItemIndex(), 1) << "space is not a search key";
    Send(box, WM_CHAR, '+');
    EXPECT_EQ(box->State(0), cbChecked);
    EXPECT_EQ(box->State(1), cbChecked);
    EXPECT_EQ(box->State(2), cbGrayed) << "a disabled item keeps its state";
    EXPECT_EQ(box->State(3), cbChecked);
    Send(box, WM_CHAR, '-');
    EXPECT_EQ(box->State(3), cbUnchecked);
    EXPECT_EQ(box->State(2), cbGrayed);
    box->SetItemIndex(2);
    Send(box, WM_CHAR, ' ');
    EXPECT_EQ(box->State(2), cbGrayed) << "a disabled item does not toggle";
}

TEST_F(CheckListFixture, RadioButtonsKeepExactlyOneItemChecked)
{
    box->SetCheckKind(ckRadioButtons);
    Fill(box, {"Contanti", "Bonifico", "Ri.Ba."});
    EXPECT_EQ(box->CheckedIndex(), -1);
    box->Loaded();
    EXPECT_EQ(box->CheckedIndex(), 0) << "loading with none checked checks the first";
    box->SetChecked(0, false);
    EXPECT_TRUE(box->Checked(0)) << "the checked radio button cannot be unchecked";
    box->SetCheckedIndex(2);
    EXPECT_FALSE(box->Checked(0));
    EXPECT_EQ(box->CheckedIndex(), 2);
    box->SetState(1, cbGrayed);
    EXPECT_EQ(box->State(1), cbUnchecked) << "radio buttons have no grayed state";
    box->ApplyState(cbChecked, false);
    EXPECT_EQ(box->CheckedIndex(), 2) << "applying a state is for check boxes and marks";

    auto* other = Make(150, 10);
    Fill(other, {"A", "B"});
    other->SetState(0, cbChecked);
    other->SetState(1, cbChecked);
    other->SetCheckKind(ckRadioButtons);
    EXPECT_TRUE(other->Checked(0));
    EXPECT_FALSE(other->Checked(1)) << "changing the kind leaves one checked";
}

TEST_F(CheckListFixture, ANewWindowKeepsStatesEnabledFlagsAndUserData)
{
    Fill(box, {"Delta", "Alfa", "Charlie", "Bravo"});
    box->SetState(0, cbChecked);
    box->SetState(2, cbGrayed);
    box->SetItemEnabled(0, false);
    box->SetItemEnabled(1, false);
    std::vector<TObject> tags(4);
    for (int i = 0; i < 4; ++i)
        box->Items()->SetObjects(i, &tags[static_cast<std::size_t>(i)]);
    box->SetSorted(true);
    ASSERT_EQ(box->Items()->Count(), 4);
    struct {
        const char* Text;
        TCheckBoxState State;
        bool Enabled;
        int Tag;
    } expected[] = {{"Alfa", cbUnchecked, false, 1}, {"Bravo", cbUnchecked, true, 3},
                    {"Charlie", cbGrayed, true, 2}, {"Delta", cbChecked, false, 0}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(expected[i].Text);
        EXPECT_EQ(box->Items()->Strings(i), expected[i].Text);
        EXPECT_EQ(box->State(i), expected[i].State);
        EXPECT_EQ(box->ItemEnabled(i), expected[i].Enabled);
        EXPECT_EQ(box->Items()->Objects(i), &tags[static_cast<std::size_t>(expected[i].Tag)]);
    }
    box->Items()->Exchange(0, 3);
    EXPECT_EQ(box->Items()->Strings(0), "Delta");
    EXPECT_EQ(box->State(0), cbChecked) << "exchanged items take their states along";
    EXPECT_FALSE(box->ItemEnabled(0));
    EXPECT_EQ(box->State(3), cbUnchecked);
    EXPECT_EQ(box->Items()->Objects(0), &tags[0]);
}

// The check column of each item shows the cell 6 x kind + state (+ 3 disabled) of the picture,
// with the picture's transparent colour replaced by the list box colour.
TEST_F(CheckListFixture, TheGrabShowsEachKindInItsStatesFromThePicture)
{
    std::vector<TExCheckListBox*> boxes = {box, Make(145, 10), Make(280, 10)};
    for (int kind = 0; kind < 3; ++kind) {
        TExCheckListBox* target = boxes[static_cast<std::size_t>(kind)];
        target->SetColor(clInfoBk);
        for (int i = 0; i < 6; ++i) {
            target->Items()->Add("Voce " + std::to_string(i));
            if (kind == ckRadioButtons)
                continue;
            target->SetState(i, static_cast<TCheckBoxState>(i % 3));
            target->SetItemEnabled(i, i < 3);
        }
        target->SetCheckKind(static_cast<TCheckKind>(kind));
    }
    // The radio buttons: item 1 checked, item 4 checked but disabled is not possible at once, so
    // item 4 shows the disabled unchecked cell.
    boxes[1]->SetCheckedIndex(1);
    for (int i = 3; i < 6; ++i)
        boxes[1]->SetItemEnabled(i, false);
    form->Show();
    ASSERT_TRUE(GrabToPng(form.get(), ControlsPictureDir() + "/checklistbox-kinds.png"));

    TBitmap* picture = CheckBitmap();
    ASSERT_EQ(picture->Width(), 96);
    ASSERT_EQ(picture->Height(), 39);
    EXPECT_EQ(picture->PixelFormat(), pf4bit);
    const TColor transparent = picture->TransparentColor() & ~0x02000000;
    // Each cell of a row is a picture of its own, not the background.
    const auto cellPixels = [&](int cell) {
        std::string pixels;
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 16; ++x)
                pixels += std::to_string(picture->Canvas()->Pixels((cell % 6) * 16 + x, (cell / 6) * 13 + y)) + ",";
        return pixels;
    };
    for (int kind = 0; kind < 3; ++kind)
        for (int column = 1; column < 6; ++column)
            EXPECT_NE(cellPixels(6 * kind + column), cellPixels(6 * kind + column - 1)) << kind << "," << column;
    for (int kind = 0; kind < 3; ++kind) {
        TExCheckListBox* target = boxes[static_cast<std::size_t>(kind)];
        TBitmap grab;
        ASSERT_TRUE(GrabToBitmap(target, &grab));
        const TRect client = target->ClientRectInWindow();
        for (int i = 0; i < 6; ++i) {
            const int cell = 6 * kind + static_cast<int>(target->State(i)) + (target->ItemEnabled(i) ? 0 : 3);
            const TRect item = target->ItemRect(i);
            const int left = client.Left + item.Left + (target->CheckWidth() - 16) / 2;
            const int top = client.Top + item.Top + (item.Bottom - item.Top - 13) / 2;
            int differences = 0;
            for (int y = 0; y < 13; ++y)
                for (int x = 0; x < 16; ++x) {
                    TColor expected = picture->Canvas()->Pixels((cell % 6) * 16 + x, (cell / 6) * 13 + y);
                    if (ColorToRGB(expected) == ColorToRGB(transparent))
                        expected = clInfoBk;
                    if (ColorToRGB(grab.Canvas()->Pixels(left + x, top + y)) != ColorToRGB(expected))
                        ++differences;
                }
            EXPECT_EQ(differences, 0) << "kind " << kind << " item " << i << " cell " << cell;
        }
    }
}

TEST_F(CheckListFixture, ThePublishedPropertiesAreReachedByName)
{
    Fill(box, {"Uno", "Due"});
    SetOrdProp(box, "CheckKind", ckRadioButtons);
    SetOrdProp(box, "CheckedIndex", 1);
    SetOrdProp(box, "AllowGrayed", 1);
    EXPECT_EQ(box->CheckKind(), ckRadioButtons);
    EXPECT_EQ(GetOrdProp(box, "CheckedIndex"), 1);
    EXPECT_TRUE(box->AllowGrayed());
    EXPECT_EQ(GetOrdProp(box, "AutoScroll"), 1) << "the check list box scrolls to its widest item";
    auto* placement = new TFormPlacement(form.get());
    SetObjectProp(box, "IniStorage", placement);
    EXPECT_EQ(box->IniStorage(), placement);
}

class CheckListStorage : public CheckListFixture {
protected:
    void SetUp() override
    {
        CheckListFixture::SetUp();
        Folder = TestFolder();
        SetRegistryFile(Folder + "/registry.reg");
        box->SetName("Scelte");
        Fill(box, {"Uno", "Due", "Tre"});
    }
    void TearDown() override { SetRegistryFile(""); }
    std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string Folder;
};

TEST_F(CheckListStorage, TheIniSectionHoldsCountAndTheStateOfEachItem)
{
    const std::string section = GetDefaultSection(box);
    EXPECT_EQ(section, "TFormScelte");
    const std::string path = Folder + "/stati.ini";
    {
        TIniFile ini(path);
        ini.WriteString(section, "Vecchia", "da togliere");
        box->SetState(0, cbChecked);
        box->SetState(2, cbGrayed);
        box->SaveStates(&ini);
    }
    EXPECT_EQ(Read(path), "[TFormScelte]\r\nCount=3\r\nItem0=1\r\nItem1=0\r\nItem2=2\r\n");

    struct {
        const char* Name;
        const char* Section;
        std::vector<TCheckBoxState> Expected;
    } cases[] = {
        {"more items than the list", "Count=5\nItem0=2\nItem1=1\nItem2=0\nItem3=1\nItem4=1\n",
         {cbGrayed, cbChecked, cbUnchecked}},
        {"states out of range are ignored", "Count=3\nItem0=7\nItem1=-1\nItem2=x\n",
         {cbChecked, cbChecked, cbUnchecked}},
        {"a negative count", "Count=-5\nItem0=0\n", {cbChecked, cbChecked, cbChecked}},
        {"a huge count", "Count=1000000\nItem0=0\nItem2=2\n", {cbUnchecked, cbUnchecked, cbGrayed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        box->ApplyState(cbChecked, false);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << "[TFormScelte]\n" << c.Section;
        TIniFile ini(path);
        EXPECT_NO_THROW(box->RestoreStates(&ini));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(box->State(i), c.Expected[static_cast<std::size_t>(i)]) << "item " << i;
    }

    box->SetCheckKind(ckRadioButtons);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "[TFormScelte]\nCount=3\nItem0=0\nItem1=1\nItem2=1\n";
    TIniFile ini(path);
    box->RestoreStates(&ini);
    EXPECT_EQ(box->CheckedIndex(), 1) << "restoring radio buttons stops at the first checked";
}

TEST_F(CheckListStorage, TheRegistryHoldsTheSameValues)
{
    const std::string key = "Software\\Ventisca\\Tessellarium\\";
    box->SetState(1, cbChecked);
    box->SetState(2, cbGrayed);
    {
        TRegIniFile registry(key);
        registry.WriteInteger("TFormScelte", "Item9", 1);
        box->SaveStatesReg(&registry);
    }
    {
        TRegIniFile registry(key);
        EXPECT_EQ(registry.ReadInteger("TFormScelte", "Count", -1), 3);
        EXPECT_EQ(registry.ReadInteger("TFormScelte", "Item0", -1), 0);
        EXPECT_EQ(registry.ReadInteger("TFormScelte", "Item1", -1), 1);
        EXPECT_EQ(registry.ReadInteger("TFormScelte", "Item2", -1), 2);
        EXPECT_EQ(registry.ReadInteger("TFormScelte", "Item9", -1), -1) << "saving erases the section first";
    }
    box->ApplyState(cbUnchecked, false);
    TRegIniFile registry(key);
    box->RestoreStatesReg(&registry);
    EXPECT_EQ(box->State(0), cbUnchecked);
    EXPECT_EQ(box->State(1), cbChecked);
    EXPECT_EQ(box->State(2), cbGrayed);
}

TEST_F(CheckListStorage, AFormPlacementSavesAndRestoresTheStatesWithThePlacement)
{
    const std::string path = Folder + "/finestra.ini";
    auto* placement = new TFormPlacement(form.get());
    placement->SetIniFileName(path);
    placement->SetIniSection("Scelte");
    box->SetIniStorage(placement);
    // A placement saves only after it has been restored once.
    placement->RestoreFormPlacement();
    box->SetState(0, cbGrayed);
    box->SetState(2, cbChecked);
    placement->SaveFormPlacement();
    {
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadInteger("Scelte\\TFormScelte", "Count", -1), 3);
        EXPECT_EQ(ini.ReadInteger("Scelte\\TFormScelte", "Item0", -1), 2);
        EXPECT_EQ(ini.ReadInteger("Scelte\\TFormScelte", "Item2", -1), 1);
    }
    box->ApplyState(cbUnchecked, false);
    placement->RestoreFormPlacement();
    EXPECT_EQ(box->State(0), cbGrayed);
    EXPECT_EQ(box->State(1), cbUnchecked);
    EXPECT_EQ(box->State(2), cbChecked);

    // Without a name the control is not stored; the freed placement is forgotten.
    auto* unnamed = Make(150, 10);
    Fill(unnamed, {"X"});
    unnamed->SetIniStorage(placement);
    unnamed->SetState(0, cbChecked);
    placement->SaveFormPlacement();
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Scelte\\TForm", "Count", -1), -1);
    delete placement;
    EXPECT_EQ(box->IniStorage(), nullptr);
    EXPECT_EQ(unnamed->IniStorage(), nullptr);
}

// --- "Strings" -----------------------------------------------------------------------------------

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}

std::string StreamBytes(TMemoryStream& stream) { return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size())); }

TEST_F(CheckListFixture, StringsWriteTheCurrentLayoutAndReadEveryLayout)
{
    Fill(box, {"Uno", "Due", "Tre"});
    box->SetState(0, cbChecked);
    box->SetState(2, cbGrayed);
    box->SetItemEnabled(1, false);
    TMemoryStream stream;
    {
        TWriter writer(&stream, 1024);
        box->WriteStrings(writer);
    }
    // A list, then per item a string, a small integer and a boolean, and the end of the list.
    EXPECT_EQ(Hex(StreamBytes(stream)), "01 06 03 55 6E 6F 02 01 09 06 03 44 75 65 02 00 08 "
                                        "06 03 54 72 65 02 02 09 00 ");

    auto* copy = Make(150, 10);
    Fill(copy, {"da togliere"});
    stream.SetPosition(0);
    {
        TReader reader(&stream, 1024);
        copy->ReadStrings(reader);
    }
    ASSERT_EQ(copy->Items()->Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(copy->Items()->Strings(i), box->Items()->Strings(i));
        EXPECT_EQ(copy->State(i), box->State(i));
        EXPECT_EQ(copy->ItemEnabled(i), box->ItemEnabled(i));
    }

    struct {
        const char* Name;
        int Version;
        std::string Bytes;
        std::vector<TCheckBoxState> States;
        std::vector<bool> Enabled;
    } layouts[] = {
        // Version 0: text, checked, enabled.
        {"version 0", 0, std::string("\x01\x06\x01" "A\x09\x08\x06\x01" "B\x08\x09\x00", 12),
         {cbChecked, cbUnchecked}, {false, true}},
        // Versions 1 to 201: text, checked, enabled, state.
        {"version 1", 1, std::string("\x01\x06\x01" "A\x08\x09\x02\x02\x06\x01" "B\x09\x08\x02\x01\x00", 16),
         {cbGrayed, cbChecked}, {true, false}},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.Name);
        TMemoryStream old;
        old.WriteBuffer(layout.Bytes.data(), static_cast<int>(layout.Bytes.size()));
        old.SetPosition(0);
        TReader reader(&old, 1024);
        copy->ReadStrings(reader, layout.Version);
        ASSERT_EQ(copy->Items()->Count(), 2);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(copy->State(i), layout.States[static_cast<std::size_t>(i)]);
            EXPECT_EQ(copy->ItemEnabled(i), layout.Enabled[static_cast<std::size_t>(i)]);
        }
    }
}

TEST_F(CheckListFixture, DamagedStringsRaiseTheReadErrorAndLeaveTheListEmpty)
{
    // A million whole items whose end of list never comes.
    std::string many = "\x01";
    for (int i = 0; i < 1000000; ++i)
        many += std::string("\x06\x01" "x\x02\x01\x09", 6);
    struct {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"truncated", std::string("\x01\x06\x03" "Uno\x02\x01\x09\x06\x03" "Du", 14)},
        {"an item without a state", std::string("\x01\x06\x03" "Uno\x02\x01\x09\x06\x03" "Due\x00", 16)},
        {"a million items and no end", many},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        box->Clear();
        Fill(box, {"prima"});
        TMemoryStream stream;
        stream.WriteBuffer(c.Bytes.data(), static_cast<int>(c.Bytes.size()));
        stream.SetPosition(0);
        TReader reader(&stream, 1024);
        EXPECT_THROW(box->ReadStrings(reader), EReadError);
        EXPECT_EQ(box->Items()->Count(), 0);
    }
}

} // namespace ExCheckListBoxTest
