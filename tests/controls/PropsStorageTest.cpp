// Published properties kept in the settings store: a form storage's chosen properties and named
// values in a scratch INI file, read back by python3's configparser and by a fresh form; the
// property engine's value formats, collections, references and the texts that do not convert.

#include "ControlsTestSupport.h"

#include "controls/AppUtils.h"
#include "controls/EXProps.h"
#include "controls/Placemnt.h"
#include "controls/StrUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Label.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/rtl/FormatSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>

namespace PropsStorageTest {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A component with float properties of two precisions.
class TGauge : public TComponent {
    TESS_CLASS(TGauge, TComponent)
public:
    explicit TGauge(TComponent* AOwner) : TComponent(AOwner)
    {
        static std::once_flag registered;
        std::call_once(registered, [] {
            RegisterPropInfos("TGauge", "",
                              {FloatProp<TGauge>(
                                   "Ratio", TypeInfoDouble(), [](TGauge& g) { return g.Ratio; },
                                   [](TGauge& g, double v) { g.Ratio = v; }),
                               FloatProp<TGauge>(
                                   "Scale", FloatTypeInfo("Single", ftSingle), [](TGauge& g) { return double(g.Scale); },
                                   [](TGauge& g, double v) { g.Scale = static_cast<float>(v); })});
        });
    }
    double Ratio = 1;
    float Scale = 1;
};

class TForm1 : public TForm {
    TESS_CLASS(TForm1, TForm)
public:
    TForm1(TComponent* AOwner, const std::string& IniFileName) : TForm(AOwner)
    {
        SetName("Form1");
        Panel1 = new TPanel(this);
        Panel1->SetName("Panel1");
        Panel1->SetParent(this);
        Panel1->SetWidth(120);
        Memo1 = new TMemo(this);
        Memo1->SetName("Memo1");
        Memo1->SetParent(this);
        Edit1 = new TEdit(this);
        Edit1->SetName("Edit1");
        Edit1->SetParent(this);
        Edit2 = new TEdit(this);
        Edit2->SetName("Edit2");
        Edit2->SetParent(this);
        Label1 = new TLabel(this);
        Label1->SetName("Label1");
        Label1->SetParent(this);
        Label1->SetFocusControl(Edit1);
        Gauge1 = new TGauge(this);
        Gauge1->SetName("Gauge1");
        Storage = new TFormStorage(this);
        Storage->SetIniFileName(IniFileName);
        Storage->SetIniSection("Form1");
        for (const char* line : {"Panel1.Align", "Panel1.Width", "Memo1.Font", "Panel1.Anchors", "Memo1.Lines",
                                 "Label1.FocusControl", "Gauge1.Ratio", "Gauge1.Scale", "Nessuno.Width", "Rotta"})
            Storage->StoredProps()->Add(line);
        auto* secret = static_cast<TStoredValue*>(Storage->StoredValues()->Add());
        secret->SetName("Parola");
        secret->KeyString = "k";
        auto* plain = static_cast<TStoredValue*>(Storage->StoredValues()->Add());
        plain->SetName("Conteggio");
        plain->Value = 0;
    }
    TPanel* Panel1;
    TMemo* Memo1;
    TEdit* Edit1;
    TEdit* Edit2;
    TLabel* Label1;
    TGauge* Gauge1;
    TFormStorage* Storage;
};

class StorageFixture : public testing::Test {
protected:
    void SetUp() override
    {
        Folder = TestFolder();
        IniPath = Folder + "/Tessellarium.ini";
    }
    TForm1* NewForm() { return TForm::Create<TForm1>(nullptr, IniPath); }

    // A form whose values were changed, shown and closed: everything is in the INI file.
    void SaveChangedForm()
    {
        TForm1* form = NewForm();
        form->Show();
        form->Panel1->SetAlign(alRight);
        form->Panel1->SetWidth(200);
        form->Memo1->Font()->SetColor(clRed);
        form->Memo1->Font()->SetStyle({fsBold});
        form->Memo1->Lines()->Add("uno");
        form->Memo1->Lines()->Add("due");
        form->Label1->SetFocusControl(form->Edit2);
        form->Gauge1->Ratio = 2.5;
        form->Gauge1->Scale = 0.1f;
        form->Storage->StoredValues()->GetValue("Parola")->Value = "segreto";
        form->Storage->StoredValues()->GetValue("Conteggio")->Value = 7;
        form->Close();
        TComponent::Free(form);
    }

    std::string Folder;
    std::string IniPath;
};

TEST_F(StorageFixture, ChosenPropertiesAndValuesAreKeptAndAFreshFormGetsThemBack)
{
    SaveChangedForm();
    const std::string script = R"(import configparser, sys
p = configparser.ConfigParser(interpolation=None)
p.optionxform = str
p.read(sys.argv[1], encoding='cp1252')
s = p['Form1']
for k in ['Panel1_Align', 'Panel1_Width', 'Memo1_FontColor', 'Memo1_FontStyle', 'Panel1_Anchors',
          'Label1_FocusControl', 'Gauge1_Ratio', 'Gauge1_Scale', 'Parola', 'Conteggio']:
    print(k + '=' + s.get(k, '<none>'))
l = p['Form1.Memo1_Lines']
print('Lines=' + l['Count'] + '|' + l['Item0'] + '|' + l['Item1'])
)";
    const std::string expected = "Panel1_Align=alRight\nPanel1_Width=200\nMemo1_FontColor=" +
                                 std::to_string(clRed) + "\nMemo1_FontStyle=[fsBold]\nPanel1_Anchors=[akLeft,akTop]\n"
                                 "Label1_FocusControl=Edit2\nGauge1_Ratio=2.5\nGauge1_Scale=0.1\nParola=" +
                                 XorEncode("k", "segreto") + "\nConteggio=7\nLines=2|uno|due\n";
    EXPECT_EQ(RunPython(script, ReadAll(IniPath)), expected);
    // Lines that name no component or do not parse are gone from the list.
    EXPECT_EQ(ReadAll(IniPath).find("Nessuno"), std::string::npos);

    TForm1* form = NewForm();
    EXPECT_EQ(form->Storage->StoredProps()->Count(), 8);
    form->Show();
    EXPECT_EQ(form->Panel1->Align(), alRight);
    EXPECT_EQ(form->Panel1->Width(), 200);
    EXPECT_EQ(form->Memo1->Font()->Color(), clRed);
    EXPECT_EQ(form->Memo1->Font()->Style(), TFontStyles{fsBold});
    EXPECT_EQ(form->Panel1->Anchors(), (TAnchors{akLeft, akTop}));
    ASSERT_EQ(form->Memo1->Lines()->Count(), 2);
    EXPECT_EQ(form->Memo1->Lines()->Strings(1), "due");
    EXPECT_EQ(form->Label1->FocusControl(), form->Edit2);
    EXPECT_DOUBLE_EQ(form->Gauge1->Ratio, 2.5);
    EXPECT_FLOAT_EQ(form->Gauge1->Scale, 0.1f);
    const Variant secret = form->Storage->StoredValues()->GetValue("Parola")->Value;
    EXPECT_EQ(VarType(secret), varString);
    EXPECT_EQ(VarToStr(secret), "segreto");
    EXPECT_EQ(VarToStr(form->Storage->StoredValues()->GetValue("Conteggio")->Value), "7");
    TComponent::Free(form);
}

TEST_F(StorageFixture, TextsThatDoNotConvertLeaveThePropertiesAsDesigned)
{
    SaveChangedForm();
    struct TCase {
        std::string Key;
        std::string Text;
    };
    const std::string bogus40 = [] {
        std::string names;
        for (int i = 0; i < 40; ++i)
            names += (i ? "," : "") + std::string("Bogus") + std::to_string(i);
        return "[" + names + "]";
    }();
    const TCase cases[] = {
        {"Panel1_Width", "wide"},
        {"Panel1_Align", "alNowhere"},
        {"Panel1_Anchors", bogus40},
        {"Label1_FocusControl", "Manca.Edit2"},
        {"Gauge1_Ratio", "due e mezzo"},
        {"Memo1_FontStyle", "grassetto"},
    };
    for (const TCase& c : cases) {
        TIniFile(IniPath).WriteString("Form1", c.Key, c.Text);
    }
    TForm1* form = NewForm();
    form->Show();
    EXPECT_EQ(form->Panel1->Width(), 120);
    EXPECT_EQ(form->Panel1->Align(), alNone);
    EXPECT_EQ(form->Panel1->Anchors(), (TAnchors{akLeft, akTop}));
    EXPECT_EQ(form->Label1->FocusControl(), form->Edit1);
    EXPECT_DOUBLE_EQ(form->Gauge1->Ratio, 1.0);
    EXPECT_EQ(form->Memo1->Font()->Style(), TFontStyles{});
    // What did convert still came back.
    EXPECT_EQ(form->Memo1->Font()->Color(), clRed);
    TComponent::Free(form);
}

// The engine alone, bound to an INI file.
class EngineFixture : public StorageFixture {
protected:
    void SetUp() override
    {
        StorageFixture::SetUp();
        Ini = std::make_unique<TIniFile>(IniPath);
    }
    void Bind(TPropsStorage& storage, TObject* object)
    {
        storage.AObject = object;
        storage.Section = "S";
        storage.OnReadString = [this](const std::string& s, const std::string& i, const std::string& d) {
            return Ini->ReadString(s, i, d);
        };
        storage.OnWriteString = [this](const std::string& s, const std::string& i, const std::string& v) {
            IniWriteString(Ini.get(), s, i, v);
        };
        storage.OnEraseSection = [this](const std::string& s) { Ini->EraseSection(s); };
    }
    std::unique_ptr<TIniFile> Ini;
};

TEST_F(EngineFixture, SetsLoadExactlyTheNamedElements)
{
    TPanel panel(nullptr);
    TPropsStorage storage;
    Bind(storage, &panel);
    TStringList names;
    names.Add("Anchors");
    const struct {
        std::string Text;
        TAnchors Expected;
    } cases[] = {
        {"[akLeft,Bogus]", {akLeft}},
        {"[akRight,akBottom]", {akRight, akBottom}},
        {"[ akTop , akLeft ]", {akLeft, akTop}},
        {"[]", {}},
        {"[Bogus]", {akLeft, akTop}},
    };
    for (const auto& c : cases) {
        panel.SetAnchors({akLeft, akTop});
        Ini->WriteString("S", "Anchors", c.Text);
        storage.LoadProperties(&names);
        EXPECT_EQ(panel.Anchors(), c.Expected) << c.Text;
    }
}

TEST_F(EngineFixture, AFloatWrittenUnderACommaReadsBackUnderAPoint)
{
    TGauge gauge(nullptr);
    TPropsStorage storage;
    Bind(storage, &gauge);
    TStringList names;
    names.Add("Ratio");
    names.Add("Scale");
    for (char writeSeparator : {',', '.'}) {
        TFormatSettingsSaver saved;
        FormatSettings().DecimalSeparator = writeSeparator;
        gauge.Ratio = -1234.0625;
        gauge.Scale = 0.3f;
        storage.StoreProperties(&names);
        EXPECT_EQ(Ini->ReadString("S", "Ratio", ""), "-1234.0625");
        EXPECT_EQ(Ini->ReadString("S", "Scale", ""), "0.3");
        FormatSettings().DecimalSeparator = writeSeparator == ',' ? '.' : ',';
        gauge.Ratio = 0;
        gauge.Scale = 0;
        storage.LoadProperties(&names);
        EXPECT_DOUBLE_EQ(gauge.Ratio, -1234.0625);
        EXPECT_FLOAT_EQ(gauge.Scale, 0.3f);
    }
}

TEST_F(EngineFixture, ACollectionIsRefilledWhenItsCountDiffersAndUpdatedInPlaceOtherwise)
{
    auto fill = [](TFormStorage& owner, std::vector<std::string> names) {
        owner.StoredValues()->Clear();
        for (const std::string& name : names) {
            auto* item = static_cast<TStoredValue*>(owner.StoredValues()->Add());
            item->SetName(name);
            item->Value = name + "!";
        }
    };
    TFormStorage source(nullptr);
    fill(source, {"a", "b", "c"});
    TPropsStorage storage;
    Bind(storage, &source);
    TStringList names;
    names.Add("StoredValues");
    storage.StoreProperties(&names);
    EXPECT_EQ(Ini->ReadString("S", "StoredValues.Count", ""), "3");
    EXPECT_EQ(Ini->ReadString("S.StoredValues", "Item1_Name", ""), "b");

    TFormStorage five(nullptr);
    fill(five, {"v", "w", "x", "y", "z"});
    Bind(storage, &five);
    storage.LoadProperties(&names);
    ASSERT_EQ(five.StoredValues()->Count(), 3);
    EXPECT_EQ(five.StoredValues()->GetItem(2)->Name(), "c");
    EXPECT_EQ(VarToStr(five.StoredValues()->GetItem(2)->Value), "c!");

    TFormStorage three(nullptr);
    fill(three, {"p", "q", "r"});
    TCollectionItem* first = three.StoredValues()->Items(0);
    Bind(storage, &three);
    storage.LoadProperties(&names);
    ASSERT_EQ(three.StoredValues()->Count(), 3);
    EXPECT_EQ(three.StoredValues()->Items(0), first);
    EXPECT_EQ(three.StoredValues()->GetItem(0)->Name(), "a");

    // A count edited beyond the stored items ends with them; lines likewise.
    Ini->WriteString("S", "StoredValues.Count", "1000000000");
    storage.LoadProperties(&names);
    EXPECT_EQ(three.StoredValues()->Count(), 3);
    TMemo memo(nullptr);
    Bind(storage, &memo);
    Ini->WriteString("S.Lines", "Count", "2000000000");
    Ini->WriteString("S.Lines", "Item0", "sola");
    TStringList lines;
    lines.Add("Lines");
    storage.LoadProperties(&lines);
    ASSERT_EQ(memo.Lines()->Count(), 1);
    EXPECT_EQ(memo.Lines()->Strings(0), "sola");
}

TEST(StoredValues, ADuplicateNameIsRefusedAndTheOldNameKept)
{
    TFormStorage storage(nullptr);
    auto* one = static_cast<TStoredValue*>(storage.StoredValues()->Add());
    auto* two = static_cast<TStoredValue*>(storage.StoredValues()->Add());
    one->SetName("Uno");
    two->SetName("Due");
    try {
        two->SetName("UNO");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "String list does not allow duplicates");
    }
    EXPECT_EQ(two->Name(), "Due");
    two->SetName("DUE");
    EXPECT_EQ(two->DisplayName(), "DUE");
    EXPECT_EQ(storage.StoredValues()->IndexOf("uno"), 0);
    EXPECT_EQ(storage.StoredValues()->GetValue("nessuno"), nullptr);

    TFormStorage other(nullptr);
    auto* copy = static_cast<TStoredValue*>(other.StoredValues()->Add());
    one->Value = 5;
    one->KeyString = "chiave";
    copy->Assign(one);
    EXPECT_EQ(copy->Name(), "Uno");
    EXPECT_EQ(copy->KeyString, "chiave");
    EXPECT_EQ(VarToStr(copy->Value), "5");
}

TEST(StoredItems, ParsingAndBuildingLines)
{
    std::string component, property;
    EXPECT_TRUE(ParseStoredItem(" Panel1 . Width ", component, property));
    EXPECT_EQ(component, "Panel1");
    EXPECT_EQ(property, "Width");
    EXPECT_TRUE(ParseStoredItem("Memo1.Font.Color", component, property));
    EXPECT_EQ(property, "Font.Color");
    for (const char* bad : {"Panel1", ".Width", "Panel1.", " . "})
        EXPECT_FALSE(ParseStoredItem(bad, component, property)) << bad;
    EXPECT_EQ(CreateStoredItem("Panel1", "Width"), "Panel1.Width");
    EXPECT_EQ(CreateStoredItem("", "Width"), "");
}

} // namespace PropsStorageTest
