// Typed fields: native buffer forms, text conversions and their failures, events, definitions.

#include "ReferenceDataSet.h"
#include "TestSupport.h"

#include "platform/rtl/DateTime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

class FieldsTest : public ::testing::Test {
protected:
    std::unique_ptr<TComponent> Owner = std::make_unique<TComponent>(nullptr);
    TReferenceDataSet* Data = new TReferenceDataSet(
        Owner.get(), {{"Text", ftString, 5},    {"Small", ftSmallint}, {"Number", ftInteger},
                      {"Unsigned", ftWord},     {"Flag", ftBoolean},   {"Real", ftFloat},
                      {"Money", ftCurrency},    {"Exact", ftBCD, 4},   {"Day", ftDate},
                      {"Hour", ftTime},         {"Moment", ftDateTime}, {"Raw", ftBytes, 4},
                      {"Var", ftVarBytes, 6},   {"Counter", ftAutoInc}, {"Big", ftLargeint}});

    void SetUp() override
    {
        Data->Open();
        Data->Append();
    }
    TField* F(const char* name) { return Data->FieldByName(name); }

    std::string Native(const char* name)
    {
        char buffer[64] = {};
        EXPECT_TRUE(F(name)->GetData(buffer));
        return std::string(buffer, static_cast<std::size_t>(F(name)->DataSize()));
    }
    template <typename T>
    T NativeAs(const char* name)
    {
        T value;
        std::memcpy(&value, Native(name).data(), sizeof value);
        return value;
    }
};

TEST_F(FieldsTest, DataSizesAndClasses)
{
    struct Case {
        const char* Name;
        const char* Class;
        int DataSize;
    };
    const Case cases[] = {
        {"Text", "TStringField", 6},     {"Small", "TSmallintField", 2},
        {"Number", "TIntegerField", 4},  {"Unsigned", "TWordField", 2},
        {"Flag", "TBooleanField", 2},    {"Real", "TFloatField", 8},
        {"Money", "TCurrencyField", 8},  {"Exact", "TBCDField", 34},
        {"Day", "TDateField", 8},        {"Hour", "TTimeField", 8},
        {"Moment", "TDateTimeField", 8}, {"Raw", "TBytesField", 4},
        {"Var", "TVarBytesField", 8},    {"Counter", "TAutoIncField", 4},
        {"Big", "TLargeintField", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(F(c.Name)->ClassName(), c.Class);
        EXPECT_EQ(F(c.Name)->DataSize(), c.DataSize);
    }
}

TEST_F(FieldsTest, DateAndTimeNativeForms)
{
    const TDateTime moment = EncodeDate(2026, 12, 10) + EncodeTime(14, 30, 15, 250);
    ASSERT_EQ(static_cast<int>(EncodeDate(2026, 12, 10)), 46366);
    F("Moment")->SetAsDateTime(moment);
    EXPECT_EQ(NativeAs<double>("Moment"), 63932596215250.0);
    F("Day")->SetAsDateTime(moment);
    EXPECT_EQ(NativeAs<std::int32_t>("Day"), 739960);
    F("Hour")->SetAsDateTime(moment);
    EXPECT_EQ(NativeAs<std::int32_t>("Hour"), 52215250);

    EXPECT_DOUBLE_EQ(F("Moment")->AsDateTime(), moment);
    EXPECT_DOUBLE_EQ(F("Day")->AsDateTime(), 46366.0);
    EXPECT_NEAR(F("Hour")->AsDateTime(), EncodeTime(14, 30, 15, 250), 1e-9);
    EXPECT_EQ(F("Day")->AsString(), "10/12/2026");
    EXPECT_EQ(F("Hour")->AsString(), "14.30.15");
    EXPECT_EQ(F("Moment")->AsString(), "10/12/2026 14.30.15");
    static_cast<TDateTimeField*>(F("Moment"))->SetDisplayFormat("yyyy-mm-dd hh.nn");
    EXPECT_EQ(F("Moment")->DisplayText(), "2026-12-10 14.30");
    EXPECT_EQ(F("Moment")->Text(), "10/12/2026 14.30.15");
}

TEST_F(FieldsTest, NumbersAndFlagsNativeForms)
{
    F("Small")->SetAsInteger(-2);
    EXPECT_EQ(NativeAs<std::int16_t>("Small"), -2);
    F("Unsigned")->SetAsInteger(65535);
    EXPECT_EQ(NativeAs<std::uint16_t>("Unsigned"), 65535);
    F("Number")->SetAsString("123456");
    EXPECT_EQ(NativeAs<std::int32_t>("Number"), 123456);
    F("Big")->SetAsString("9000000000");
    EXPECT_EQ(NativeAs<std::int64_t>("Big"), 9000000000LL);
    F("Flag")->SetAsBoolean(true);
    EXPECT_EQ(NativeAs<std::int16_t>("Flag"), 1);
    F("Flag")->SetAsBoolean(false);
    EXPECT_EQ(NativeAs<std::int16_t>("Flag"), 0);
    F("Real")->SetAsFloat(2.5);
    EXPECT_EQ(NativeAs<double>("Real"), 2.5);
    F("Var")->SetAsString("abc");
    EXPECT_EQ(Native("Var"), std::string("\x03\x00" "abc\0\0\0", 8));
    F("Raw")->SetAsString("abcdef");
    EXPECT_EQ(Native("Raw"), "abcd");
    EXPECT_EQ(F("Var")->AsString(), "abc");
}

TEST_F(FieldsTest, StringFieldCutsToItsSize)
{
    F("Text")->SetAsString("abcdefg");
    EXPECT_EQ(F("Text")->AsString(), "abcde");
    EXPECT_EQ(Native("Text"), std::string("abcde\0", 6));
    F("Text")->SetAsInteger(42);
    EXPECT_EQ(F("Text")->AsInteger(), 42);
}

TEST_F(FieldsTest, BooleanDisplayValues)
{
    auto* flag = static_cast<TBooleanField*>(F("Flag"));
    flag->SetDisplayValues("S\xEC;No");
    flag->SetAsBoolean(true);
    EXPECT_EQ(flag->DisplayText(), "S\xEC");
    EXPECT_EQ(flag->AsString(), "S\xEC");
    flag->SetAsString("n");
    EXPECT_FALSE(flag->AsBoolean());
    EXPECT_EQ(flag->DisplayText(), "No");
    flag->SetAsString("s\xEC");
    EXPECT_TRUE(flag->AsBoolean());
    ExpectDatabaseError([&] { flag->SetAsString("forse"); }, "Invalid value for field 'Flag'");
    EXPECT_TRUE(flag->AsBoolean());
    flag->SetDisplayValues("");
    EXPECT_EQ(flag->AsString(), "True");
}

TEST_F(FieldsTest, NumericDisplayAndEditFormats)
{
    auto* real = static_cast<TFloatField*>(F("Real"));
    real->SetAsFloat(1234.5);
    EXPECT_EQ(real->AsString(), "1234,5");
    real->SetDisplayFormat(",0.00");
    EXPECT_EQ(real->DisplayText(), "1.234,50");
    EXPECT_EQ(real->Text(), "1.234,50");
    real->SetEditFormat("0.0");
    EXPECT_EQ(real->Text(), "1234,5");
    F("Money")->SetAsFloat(1234.5);
    EXPECT_EQ(F("Money")->DisplayText(), "\x80 1.234,50");
    EXPECT_EQ(F("Money")->Text(), "1234,50");
    auto* number = static_cast<TIntegerField*>(F("Number"));
    number->SetAsInteger(1500);
    number->SetDisplayFormat("#,##0");
    EXPECT_EQ(number->DisplayText(), "1.500");
    EXPECT_EQ(number->AsString(), "1500");
}

TEST_F(FieldsTest, BcdValuesAreExact)
{
    F("Exact")->SetAsString("12345678901234567890,1234");
    EXPECT_EQ(F("Exact")->AsString(), "12345678901234567890,1234");
    F("Exact")->SetAsFloat(0.1);
    EXPECT_EQ(F("Exact")->AsString(), "0,1");
    EXPECT_DOUBLE_EQ(F("Exact")->AsFloat(), 0.1);
    F("Exact")->SetAsString("-3,50");
    const TBcd bcd = static_cast<TBCDField*>(F("Exact"))->AsBCD();
    EXPECT_EQ(bcd.Precision, 2);
    EXPECT_EQ(bcd.SignSpecialPlaces, 0x81);
    EXPECT_EQ(bcd.Fraction[0], 0x35);
    EXPECT_DOUBLE_EQ(F("Exact")->AsFloat(), -3.5);
}

TEST(BcdTest, ConversionsToAndFromText)
{
    struct Case {
        const char* Text;
        const char* Back;
    };
    const Case cases[] = {{"0", "0"},          {"-0,000", "0"},       {"007,50", "7,5"},
                          {"1.25", "1,25"},    {",5", "0,5"},         {"-123456,789", "-123456,789"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(BcdToStr(StrToBcd(c.Text)), c.Back);
    }
    TBcd value;
    EXPECT_FALSE(TryStrToBcd("1,2,3", value));
    EXPECT_FALSE(TryStrToBcd("", value));
    EXPECT_FALSE(TryStrToBcd(std::string(65, '9'), value));
    EXPECT_EQ(BcdToStr(DoubleToBcd(1e20)), "100000000000000000000");
    EXPECT_EQ(BcdToStr(DoubleToBcd(-0.000125)), "-0,000125");
    EXPECT_DOUBLE_EQ(BcdToDouble(DoubleToBcd(123.456)), 123.456);
}

TEST_F(FieldsTest, FailedConversionsRaiseTheClassLibraryMessages)
{
    F("Number")->SetAsInteger(5);
    struct Case {
        const char* Field;
        const char* Text;
        const char* Message;
    };
    const Case conversions[] = {
        {"Number", "12a", "'12a' is not a valid integer value"},
        {"Big", "1,5", "'1,5' is not a valid integer value"},
        {"Real", "1,2,3", "'1,2,3' is not a valid floating point value"},
        {"Moment", "31/02/2026 10.00", "'31/02/2026 10.00' is not a valid date and time"},
    };
    for (const Case& c : conversions) {
        SCOPED_TRACE(c.Field);
        try {
            F(c.Field)->SetAsString(c.Text);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, c.Message);
        }
    }
    EXPECT_EQ(F("Number")->AsInteger(), 5);

    ExpectDatabaseError([&] { F("Small")->SetAsInteger(70000); },
                        "70000 is not a valid value for field 'Small'. The allowed range is "
                        "-32768 to 32767");
    auto* number = static_cast<TIntegerField*>(F("Number"));
    number->SetMinValue(1);
    number->SetMaxValue(10);
    ExpectDatabaseError([&] { number->SetAsString("11"); },
                        "11 is not a valid value for field 'Number'. The allowed range is 1 to 10");
    auto* real = static_cast<TFloatField*>(F("Real"));
    real->SetMaxValue(1.5);
    ExpectDatabaseError([&] { real->SetAsFloat(2.25); },
                        "2,25 is not a valid value for field 'Real'. The allowed range is 0 to 1,5");
    ExpectDatabaseError([&] { (void)F("Flag")->AsDateTime(); },
                        "Cannot access field 'Flag' as type DateTime");
}

TEST_F(FieldsTest, NullsAndVariants)
{
    EXPECT_TRUE(F("Number")->IsNull());
    EXPECT_TRUE(VarIsNull(F("Number")->AsVariant()));
    EXPECT_EQ(F("Number")->AsString(), "");
    EXPECT_EQ(F("Number")->AsInteger(), 0);
    F("Number")->SetValue(Variant(17));
    EXPECT_EQ(VarType(F("Number")->Value()), varInteger);
    F("Number")->SetValue(Null());
    EXPECT_TRUE(F("Number")->IsNull());
    F("Moment")->SetValue(VarFromDateTime(46366.5));
    EXPECT_EQ(VarType(F("Moment")->Value()), varDate);
    F("Text")->SetValue(Variant("xyz"));
    EXPECT_EQ(VarToStr(F("Text")->Value()), "xyz");
    F("Var")->SetAsString("ab");
    const Variant bytes = F("Var")->Value();
    ASSERT_TRUE(VarIsArray(bytes));
    EXPECT_EQ(VarArrayHighBound(bytes, 1), 1);
    F("Number")->SetAsInteger(3);
    F("Big")->Assign(F("Number"));
    EXPECT_EQ(F("Big")->AsInteger(), 3);
}

TEST_F(FieldsTest, TextEventsValidationAndChange)
{
    TField* number = F("Number");
    number->OnGetText = [](TField* sender, std::string& text, bool displayText) {
        text = (displayText ? "show:" : "edit:") + sender->AsString();
    };
    number->OnSetText = [](TField* sender, const std::string& text) {
        sender->SetAsInteger(static_cast<int>(text.size()));
    };
    number->SetText("four");
    EXPECT_EQ(number->DisplayText(), "show:4");
    EXPECT_EQ(number->Text(), "edit:4");

    std::vector<int> validated;
    int changes = 0;
    number->OnValidate = [&](TField* sender) {
        validated.push_back(sender->AsInteger());
        if (sender->AsInteger() < 0)
            DatabaseError("negative");
    };
    number->OnChange = [&](TField*) { ++changes; };
    number->SetAsInteger(8);
    ExpectDatabaseError([&] { number->SetAsInteger(-1); }, "negative");
    EXPECT_EQ(validated, (std::vector<int>{8, -1}));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(number->AsInteger(), 8);
}

TEST_F(FieldsTest, FieldPropertiesAndDisplayNames)
{
    TField* text = F("Text");
    EXPECT_EQ(text->DisplayName(), "Text");
    text->SetDisplayLabel("Testo");
    EXPECT_EQ(text->DisplayName(), "Testo");
    EXPECT_EQ(text->DisplayWidth(), 5);
    EXPECT_EQ(F("Real")->Alignment(), taRightJustify);
    EXPECT_EQ(text->Alignment(), taLeftJustify);
    EXPECT_TRUE(text->CanModify());
    text->SetReadOnly(true);
    EXPECT_FALSE(text->CanModify());
    ExpectDatabaseError([&] { text->SetAsString("x"); }, "Field Testo is read only");
    EXPECT_EQ(text->Index(), 0);
    text->SetIndex(2);
    EXPECT_EQ(Data->Fields()[2], text);
    EXPECT_TRUE(Data->FindField("TEXT") == text);
}

TEST(FieldClassesTest, RegisteredByName)
{
    TComponent owner(nullptr);
    { TReferenceDataSet probe(&owner, {}); } // the first data set registers the classes
    for (const char* name : {"TStringField", "TIntegerField", "TSmallintField", "TWordField",
                             "TAutoIncField", "TLargeintField", "TBooleanField", "TFloatField",
                             "TCurrencyField", "TBCDField", "TDateField", "TTimeField",
                             "TDateTimeField", "TBytesField", "TVarBytesField", "TBlobField",
                             "TMemoField", "TGraphicField"}) {
        SCOPED_TRACE(name);
        TPersistent* made = FindClass(name).Create(&owner);
        EXPECT_EQ(made->ClassName(), name);
    }
}

TEST(FieldDefsTest, DefinitionsMakeFieldsAndCheckNames)
{
    TComponent owner(nullptr);
    TReferenceDataSet data(&owner, {});
    TFieldDefs& defs = data.FieldDefs();
    ExpectDatabaseError([&] { defs.Add("", ftString, 10); }, "Field name missing");
    TFieldDef* def = defs.Add("Codice", ftString, 12, true);
    EXPECT_EQ(def->FieldNo(), 1);
    EXPECT_EQ(defs.IndexOf("CODICE"), 0);
    ExpectDatabaseError([&] { defs.Find("Assente"); }, "Field 'Assente' not found");
    TField* field = def->CreateField(&owner);
    EXPECT_EQ(field->ClassName(), "TStringField");
    EXPECT_EQ(field->Size(), 12);
    EXPECT_TRUE(field->Required());
    EXPECT_EQ(field->DataSet(), &data);
    EXPECT_EQ(data.FieldCount(), 1);
    TFieldDef* cursor = defs.Add("Cursore", ftCursor);
    ExpectDatabaseError([&] { cursor->CreateField(&owner); }, "Field 'Cursore' is of an unknown type");

    TFieldDefs copy(nullptr);
    copy.Assign(&defs);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Items(0)->Size(), 12);
    EXPECT_TRUE(copy.Items(0)->Required());
}

TEST(IndexDefsTest, NamesAreUniqueAndFieldsFindTheirIndex)
{
    TIndexDefs defs(nullptr);
    defs.Add("ByName", "Nome", {});
    defs.Add("ByDate", "DataScadenza;OraScadenza", {ixCaseInsensitive});
    ExpectDatabaseError([&] { defs.Add("byname", "Altro", {}); }, "Duplicate index name 'byname'");
    ExpectDatabaseError([&] { defs.Items(1)->SetName("BYNAME"); }, "Duplicate index name 'BYNAME'");
    EXPECT_EQ(defs.IndexOf("BYDATE"), 1);
    EXPECT_EQ(defs.GetIndexForFields("Nome", false), defs.Items(0));
    EXPECT_EQ(defs.GetIndexForFields("DataScadenza", true), defs.Items(1));
    EXPECT_EQ(defs.GetIndexForFields("DataScadenza", false), nullptr);
    EXPECT_EQ(defs.GetIndexForFields("Data", true), nullptr);
    ExpectDatabaseError([&] { defs.Find("Nessuno"); }, "Index 'Nessuno' not found");
    TIndexDefs copy(nullptr);
    copy.Assign(&defs);
    EXPECT_EQ(copy.Items(1)->Fields(), "DataScadenza;OraScadenza");
    EXPECT_TRUE(copy.Items(1)->Options().Contains(ixCaseInsensitive));
}

} // namespace
