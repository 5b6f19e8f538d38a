// Report values: the name chain of GetVariableValue with a host and a memory table, the
// expansion of one bracketed expression with its display format, the formats of every category,
// and the function hook.

#include "ReportTestSupport.h"

#include "report/RP_Intrp.h"

#include "platform/db/StdFields.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Formats.h"
#include "tablestore/zelMemTable.h"

#include <map>

namespace ValuesTest {

// A window with one report and the table "Articoli" (Nome, Prezzo) holding one record; the
// report's host answers the names of Answers and leaves the others unassigned.
class TValuesFixture : public testing::Test {
protected:
    TValuesFixture() : Owner(new TComponent(nullptr))
    {
        Table = new TzelMemTable(Owner);
        Table->SetName("Articoli");
        Table->FieldDefs().Add("Nome", ftString, 20);
        Table->FieldDefs().Add("Prezzo", ftFloat);
        Table->CreateTable();
        Table->Open();
        Table->Append();
        Table->FieldByName("Nome")->SetAsString("Vite");
        Table->FieldByName("Prezzo")->SetAsFloat(2.5);
        Table->Post();
        Report = new TrpReport(Owner);
        Report->OnGetValue = [this](const std::string& name, Variant& value) {
            if (const auto found = Answers.find(name); found != Answers.end())
                value = found->second;
        };
        Report->BeginPrepare();
        View.Format = 0;
    }
    ~TValuesFixture() override
    {
        CurView = nullptr;
        PageNo = 0;
        rpVariables->Clear();
        TComponent::Free(Owner);
    }

    Variant ValueOf(const std::string& name)
    {
        Variant value;
        Report->GetVariableValue(name, value);
        return value;
    }

    // The text of the name "V" holding value, through the current object's format.
    std::string Expand(const Variant& value, const std::string& suffix, std::uint32_t format = 0,
                       const std::string& formatText = "")
    {
        Answers["V"] = value;
        View.Format = format;
        View.FormatText = formatText;
        CurView = &View;
        std::string text;
        Report->InternalOnGetValue("V" + suffix, text);
        return text;
    }

    TrpValue& AddValue(const std::string& name, TrpValueType kind, const std::string& fieldText)
    {
        const int index = Report->Values->AddValue();
        Report->Values->Items->SetStrings(index, name);
        TrpValue& value = *Report->Values->GetValue(index);
        value.Kind = kind;
        value.FieldText = fieldText;
        return value;
    }

    TComponent* Owner;
    TzelMemTable* Table;
    TrpReport* Report;
    TrpMemoView View;
    std::map<std::string, Variant> Answers;
};

class TDoubleLibrary : public TrpFunctionLibrary {
    TESS_CLASS(TDoubleLibrary, TrpFunctionLibrary)
public:
    TDoubleLibrary() { List->Add("DOUBLE"); }
    void DoFunction(int, const Variant& p1, const Variant&, const Variant&, std::string& val) override
    {
        val = FloatToStr(static_cast<double>(rpParser->Calc(VarToStr(p1))) * 2);
    }
};

} // namespace ValuesTest

using namespace ValuesTest;

TEST_F(TValuesFixture, AHostThatLeavesANameUnassignedLetsTheEngineResolveIt)
{
    PageNo = 2;
    rpVariables->SetVariable("Totale", 42);
    EXPECT_TRUE(ValueOf("Articoli.Nome") == Variant("Vite"));
    EXPECT_TRUE(ValueOf("Articoli.\"Prezzo\"") == Variant(2.5));
    EXPECT_TRUE(ValueOf("PAGE#") == Variant(3));
    EXPECT_TRUE(ValueOf("TOTALPAGES") == Variant(0));
    EXPECT_TRUE(ValueOf("LINE#") == Variant(0));
    EXPECT_TRUE(ValueOf("totale") == Variant(42));
    EXPECT_TRUE(ValueOf("2 * [Totale]") == Variant(84));

    // A host answer stops the chain, an empty text too.
    Answers["Articoli.Nome"] = "dall'host";
    Answers["PAGE#"] = "";
    EXPECT_TRUE(ValueOf("Articoli.Nome") == Variant("dall'host"));
    EXPECT_TRUE(ValueOf("PAGE#") == Variant(""));
}

TEST_F(TValuesFixture, ReportValuesPointToFieldsExpressionsAndSpecialNames)
{
    PageNo = 4;
    TrpValue& price = AddValue("Costo", vtDBField, "prezzo");
    price.DataSetRef = Table;
    AddValue("Doppio", vtFRVar, "[Costo] * 2");
    AddValue("Formula", vtOther, "[Costo] + 1").OtherKind = 1;
    AddValue("Pagina", vtOther, "").OtherKind = 0;
    AddValue("Vuoto", vtNotAssigned, "");
    AddValue("Perso", vtDBField, "Prezzo").DataSetName = "Magazzino";

    EXPECT_TRUE(ValueOf("Costo") == Variant(2.5));
    Table->Edit();
    Table->FieldByName("Prezzo")->SetAsFloat(4);
    Table->Post();
    EXPECT_TRUE(ValueOf("doppio") == Variant(8));
    EXPECT_TRUE(ValueOf("Formula") == Variant(5));
    EXPECT_TRUE(ValueOf("Pagina") == Variant(5));
    EXPECT_TRUE(ValueOf("Vuoto") == Variant(""));
    try {
        ValueOf("Perso");
        ADD_FAILURE() << "a value without its data set did not raise";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message, "Archivio dati non trovato: Magazzino");
    }
    // A closed data set is opened for its field.
    Table->Close();
    EXPECT_TRUE(VarIsNull(ValueOf("Costo")));
    EXPECT_TRUE(Table->Active());
}

TEST_F(TValuesFixture, FieldsShowTheirDisplayTextAndValueIsTheLastExpansion)
{
    Table->FieldByName("Nome")->OnGetText = [](TField*, std::string& text, bool) { text = "mostrato"; };
    EXPECT_TRUE(ValueOf("Articoli.Nome") == Variant("mostrato"));
    Answers["Importo"] = 12.5;
    std::string text;
    Report->InternalOnGetValue("Importo", text);
    EXPECT_EQ(CurrentExpression, "Importo");
    EXPECT_TRUE(ValueOf("VALUE") == Variant(12.5));
    EXPECT_TRUE(ValueOf("VALUE * 2") == Variant(25));
}

TEST_F(TValuesFixture, UnknownAndSelfReferringNamesRaiseInsteadOfRecursing)
{
    const auto raised = [this](const std::string& name) {
        try {
            ValueOf(name);
        } catch (const EParserError& e) {
            return e.Message;
        }
        return std::string("no error");
    };
    EXPECT_EQ(raised("FOO"), "Undefined symbol \"FOO\"");
    EXPECT_EQ(raised("foo"), "Undefined symbol \"FOO\"");
    AddValue("X", vtFRVar, "[Y]");
    AddValue("Y", vtFRVar, "[X] + 1");
    AddValue("Z", vtOther, "[z] * 2").OtherKind = 1;
    EXPECT_EQ(raised("X"), "Undefined symbol \"X\"");
    EXPECT_EQ(raised("Z"), "Undefined symbol \"z\"");
    EXPECT_EQ(EvaluatingName, "");
    // Nothing is left over from the failures.
    AddValue("W", vtFRVar, "[Articoli.Prezzo] * 2");
    EXPECT_TRUE(ValueOf("W") == Variant(5));
}

TEST_F(TValuesFixture, DateAndTimeComeFromTheClockWhenTheBuildStarts)
{
    SetClock([] { return EncodeDate(1998, 11, 15) + EncodeTime(2, 43, 35, 0); });
    Report->BeginPrepare();
    SetClock([] { return EncodeDate(2001, 1, 1); });
    EXPECT_EQ(VarToStr(ValueOf("DATE")), "15/11/1998");
    EXPECT_EQ(VarToStr(ValueOf("TIME")), "02.43.35");
    EXPECT_EQ(VarType(ValueOf("DATE")), varDate);
    ResetClock();
}

TEST_F(TValuesFixture, FunctionsGoToTheLibrariesAndThenToTheHost)
{
    rpRegisterFunctionLibrary([] { return std::make_unique<TDoubleLibrary>(); });
    EXPECT_TRUE(rpParser->Calc("DOUBLE(2)") == Variant(4));
    EXPECT_TRUE(ValueOf("double(1 + 2) + 1") == Variant(7));
    EXPECT_TRUE(rpParser->Calc("Sconosciuta(1)") == Variant(0));
    std::vector<std::string> asked;
    Report->OnUserFunction = [&](const std::string& name, const Variant& p1, const Variant&, const Variant&,
                                 std::string& val) {
        asked.push_back(name + "(" + VarToStr(p1) + ")");
        val = "'utente'";
    };
    EXPECT_TRUE(rpParser->Calc("Sconosciuta([x])") == Variant("utente"));
    EXPECT_TRUE(rpParser->Calc("DOUBLE(3)") == Variant(6));
    EXPECT_EQ(asked, (std::vector<std::string>{"SCONOSCIUTA([x])"}));
    rpFunctions.pop_back();
}

TEST_F(TValuesFixture, DisplayFormatsGiveTheProgramsItalianTexts)
{
    const TDateTime day = EncodeDate(1998, 11, 15);
    const TDateTime time = EncodeTime(2, 43, 35, 0);
    const struct {
        Variant Value;
        const char* Suffix;
        std::uint32_t Format;
        const char* FormatText;
        const char* Text;
    } cases[] = {
        {1234.5, " #N2,2", 0, "", "1234,50"},
        {1234.5, " #2,2", 0, "", "1234,50"},
        {1234.5, " #N2-1", 0, "", "1234-5"},
        {1234.5, "", 0x0104022C, ",0.00", "1.234,50"},
        {1234.5, " #N#,##0.00", 0, "", "1,234.50"},
        {1234.5, " #n#,##0,00", 0, "", "1.234,50"},
        {1234.5, "", 0x0100022C, "", "1234,5"},
        {1234.5, "", 0x0101022C, "", "1234,50"},
        {1234.5, "", 0x0102022C, "", "1.234,5"},
        {1234.5, "", 0x0103022C, "", "1.234,50"},
        {1234.5, "", 0x01030200, "", "1.234,50"},
        {1234.5, "", 0x0103022E, "", "1,234.50"},
        {"1234,5", "", 0x0101022C, "", "1234,50"},
        {"abc", "", 0x0101022C, "", "abc"},
        {0, " #Bno;yes", 0, "", "no"},
        {1, " #Bno;yes", 0, "", "yes"},
        {true, " #bno;yes", 0, "", "yes"},
        {0, " #Bfalso", 0, "", "falso"},
        {1, " #Bfalso", 0, "", ""},
        {5, "", 0x04010000, "", "Si"},
        {0, "", 0x04030000, "", "Falso"},
        {"abc", "", 0x04010000, "", "abc"},
        {Null(), " #N2,2", 0x0104022C, ",0.00", " "},
        {VarFromDateTime(day), "", 0x02000000, "", "15/11/98"},
        {VarFromDateTime(day), "", 0x02010000, "", "15/11/1998"},
        {VarFromDateTime(day), "", 0x02020000, "", "15 nov 1998"},
        {VarFromDateTime(day), "", 0x02030000, "", "15 novembre 1998"},
        {VarFromDateTime(time), "", 0x03000000, "", "02.43.35"},
        {VarFromDateTime(time), "", 0x03010000, "", "2.43.35"},
        {VarFromDateTime(time), "", 0x03020000, "", "02.43"},
        {VarFromDateTime(time), "", 0x03030000, "", "2.43"},
        {VarFromDateTime(day), " #Ddd mmmm yyyy", 0, "", "15 novembre 1998"},
        {VarFromDateTime(day + time), " #thh:nn", 0, "", "02.43"},
        {"15/11/1998", " #Dd/m/yy", 0, "", "15/11/98"},
        {"domani", " #Dd/m/yy", 0, "", "domani"},
        {1234.5, " #xyz", 0x01010100, "", "1234,5"},
        {1234.5, "", 0x05000000, "", ""},
        {1234.5, "", 0, "", "1234,5"},
        {"testo", " #", 0, "", "testo"},
    };
    const char decimal = FormatSettings().DecimalSeparator;
    const char thousands = FormatSettings().ThousandSeparator;
    for (const auto& c : cases)
        EXPECT_EQ(Expand(c.Value, c.Suffix, c.Format, c.FormatText), c.Text) << VarToStr(c.Value) << c.Suffix;
    EXPECT_EQ(Report->FormatValue(Variant(), 0x01010000, ""), " ");
    // A date the calendar cannot show has no plain text either: the error reaches the build.
    EXPECT_THROW(Report->FormatValue(VarFromDateTime(1e300), 0x02000000, ""), Exception);
    EXPECT_EQ(FormatSettings().DecimalSeparator, decimal);
    EXPECT_EQ(FormatSettings().ThousandSeparator, thousands);
}
