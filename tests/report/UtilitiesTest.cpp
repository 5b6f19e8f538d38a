// The engine's helpers: data sets and fields by the names templates use, components of the
// application, control colours, the control under a point and font style codes.

#include "ReportTestSupport.h"

#include "report/RP_Utils.h"

#include "platform/gui/Button.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"
#include "tablestore/zelMemTable.h"

namespace {

TzelMemTable* AddTable(TComponent* owner, const std::string& name, std::initializer_list<const char*> fields)
{
    auto* table = new TzelMemTable(owner);
    table->SetName(name);
    for (const char* field : fields)
        table->FieldDefs().Add(field, ftInteger);
    table->CreateTable();
    table->Open();
    return table;
}

// A window with a report and its lines, and a data module with the articles.
class ReportUtilities : public testing::Test {
protected:
    void SetUp() override
    {
        Window.SetName("Finestra");
        Report = new TrpReport(&Window);
        Lines = AddTable(&Window, "Righe", {"Quantita"});
        Module.SetName("Magazzino");
        Articles = AddTable(&Module, "Articoli", {"Codice", "Prezzo unitario"});
        CurReport = Report;
    }
    void TearDown() override { CurReport = nullptr; }

    TComponent Window{nullptr};
    TDataModule Module{nullptr};
    TrpReport* Report = nullptr;
    TzelMemTable* Lines = nullptr;
    TzelMemTable* Articles = nullptr;
};

} // namespace

TEST_F(ReportUtilities, FieldsAreFoundByTheNamesTemplatesUse)
{
    struct TCase {
        std::string Name;
        TDataSet* Given;
        TDataSet* DataSet;
        std::string Field;
    };
    const TCase cases[] = {
        {"Quantita", Lines, Lines, "Quantita"},
        {"\"Quantita\"", Lines, Lines, "Quantita"},
        {"quantita", Lines, Lines, "Quantita"},
        {"Quantita", nullptr, nullptr, ""},
        {"Righe.\"Quantita\"", nullptr, Lines, "Quantita"},
        {"Righe.Quantita", Articles, Lines, "Quantita"},
        {"Magazzino.Articoli.\"Prezzo unitario\"", nullptr, Articles, "Prezzo unitario"},
        {"magazzino.articoli.Codice", Lines, Articles, "Codice"},
        {"Manca.Codice", Lines, nullptr, ""},
        {"Magazzino.Manca.Codice", Lines, nullptr, ""},
        {"Righe.Nessuno", nullptr, Lines, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TDataSet* dataSet = c.Given;
        TField* field = reinterpret_cast<TField*>(&Window);
        rpGetDataSetAndField(c.Name, dataSet, field);
        EXPECT_EQ(dataSet, c.DataSet);
        if (c.Field.empty()) {
            EXPECT_EQ(field, nullptr);
        } else {
            ASSERT_NE(field, nullptr);
            EXPECT_EQ(field->FieldName(), c.Field);
        }
    }
    EXPECT_EQ(rpGetDataSet("Righe"), Lines);
    EXPECT_EQ(rpGetDataSet("Magazzino.Articoli"), Articles);
    EXPECT_EQ(rpGetDataSet("Finestra"), nullptr);
    EXPECT_EQ(rpGetDataSet("Nessuno"), nullptr);
}

TEST_F(ReportUtilities, ComponentsOfTheApplication)
{
    EXPECT_EQ(rpFindComponent(&Window, "righe"), Lines);
    EXPECT_EQ(rpFindComponent(&Window, "Magazzino.Articoli"), Articles);
    EXPECT_EQ(rpFindComponent(&Window, "Altrove.Articoli"), nullptr);
    try {
        rpFindComponent(nullptr, "Righe");
        ADD_FAILURE() << "a name without an owner is found";
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(e.Message, "Otsutstvuyet Righe");
    }

    TDataModule second(nullptr);
    second.SetName("Archivio");
    AddTable(&second, "Storico", {"Anno"});
    auto* skipped = AddTable(&second, "Saltata", {"Anno"});
    TStringList names;
    names.Add("vecchio");
    rpGetComponents(&Module, "TDataSet", &names, skipped);
    EXPECT_EQ(names.CommaText(), "Articoli,Archivio.Storico");
    rpGetComponents(&Module, "TrpReport", &names, nullptr);
    EXPECT_EQ(names.Count(), 0);
}

TEST(ReportControls, EnablingColoursLabelsAndWindowControls)
{
    TLabel label(nullptr);
    TEdit edit(nullptr);
    rpEnableControls({&label, &edit}, false);
    EXPECT_EQ(label.Font()->Color(), clGrayText);
    EXPECT_EQ(edit.Color(), clBtnFace);
    EXPECT_FALSE(label.Enabled());
    EXPECT_FALSE(edit.Enabled());
    rpEnableControls({&label, &edit}, true);
    EXPECT_EQ(label.Font()->Color(), clWindowText);
    EXPECT_EQ(edit.Color(), clWindow);
    EXPECT_TRUE(label.Enabled());
    EXPECT_TRUE(edit.Enabled());
}

TEST(ReportControls, TheControlUnderAPointIsTheInnermost)
{
    TPanel outer(nullptr);
    outer.SetBounds(0, 0, 300, 200);
    auto place = [&](TControl* control, TWinControl* parent, int left, int top, int width, int height) {
        control->SetParent(parent);
        control->SetBounds(left, top, width, height);
        return control;
    };
    auto* inner = static_cast<TPanel*>(place(new TPanel(&outer), &outer, 10, 10, 100, 80));
    TControl* button = place(new TButton(&outer), inner, 5, 5, 30, 20);
    TControl* label = place(new TLabel(&outer), &outer, 150, 10, 40, 15);
    TControl* hidden = place(new TButton(&outer), &outer, 150, 50, 40, 20);
    hidden->SetVisible(false);
    TControl* empty = place(new TPanel(&outer), &outer, 10, 100, 50, 30);
    // A later control over an earlier one wins.
    TControl* over = place(new TLabel(&outer), &outer, 170, 10, 40, 15);

    struct TCase {
        TPoint Point;
        TControl* Expected;
    };
    for (const TCase& c : {TCase{{20, 20}, button}, TCase{{60, 60}, nullptr}, TCase{{155, 15}, label},
                           TCase{{175, 15}, over}, TCase{{160, 55}, nullptr}, TCase{{20, 110}, empty},
                           TCase{{110, 50}, nullptr}}) {
        SCOPED_TRACE(testing::Message() << c.Point.X << "," << c.Point.Y);
        EXPECT_EQ(rpControlAtPos(&outer, c.Point), c.Expected);
    }
}

TEST(ReportControls, FontStyleCodes)
{
    struct TCase {
        TFontStyles Style;
        int Code;
    };
    for (const TCase& c : {TCase{{}, 0}, TCase{{fsItalic}, 1}, TCase{{fsBold}, 2}, TCase{{fsUnderline}, 4},
                           TCase{{fsBold, fsItalic, fsUnderline}, 7}}) {
        EXPECT_EQ(rpGetFontStyle(c.Style), c.Code);
        EXPECT_EQ(rpSetFontStyle(c.Code), c.Style);
    }
    EXPECT_EQ(rpGetFontStyle({fsStrikeOut, fsBold}), 2);
    EXPECT_EQ(rpGetWindowsVersion(), "NT");
}
