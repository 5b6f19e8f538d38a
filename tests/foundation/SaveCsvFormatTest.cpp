// The data module's CSV format: bare values separated by ';', no definitions.

#include "DataModuleTestUtils.h"

#include "platform/rtl/Streams.h"
#include "tablestore/zelMemCSVStreamFormat.h"

using SaveCsvFormatTest = DataModuleFixture;

TEST_F(SaveCsvFormatTest, WritesAndReadsTheExampleTable)
{
    TDC& dc = Avvia();
    ASSERT_EQ(dc.FindComponent("SaveCsvFormat"), dc.SaveCsvFormat);
    TzelCSVStreamFormat& format = *dc.SaveCsvFormat;
    EXPECT_EQ(format.CSVQuote(), '\0');
    EXPECT_EQ(format.CSVFieldDelimiter(), ';');
    EXPECT_EQ(format.CSVRecordDelimiter(), ';');
    EXPECT_EQ(format.CSVTrueString(), "True");
    EXPECT_EQ(format.CSVFalseString(), "False");
    EXPECT_EQ(format.sfDef, TzelFormatDefOptions{});
    EXPECT_EQ(format.sfIndexDef, TzelFormatIndexDefOptions{});
    EXPECT_EQ(format.sfData, (TzelFormatDataOptions{sfSaveData, sfLoadData}));
    EXPECT_EQ(format.Version(), "3.00");

    TzelMemTable table(nullptr);
    table.FieldDefs().Add("Nome", ftString, 5);
    table.FieldDefs().Add("Numero", ftInteger);
    table.CreateTable();
    table.Open();
    table.AppendRecord({Variant("Ab"), Variant(300)});
    table.AppendRecord({Variant(), Variant(-1)});
    TMemoryStream stream;
    table.SaveToStreamViaFormat(&stream, &format);
    EXPECT_EQ(std::string(stream.Memory(), static_cast<std::size_t>(stream.Size())),
              "Nome;Numero;\r\nAb;300;\r\n;-1;\r\n");

    table.EmptyTable();
    table.LoadFromStreamViaFormat(&stream, &format);
    table.First();
    EXPECT_EQ(table.FieldByName("Nome")->AsString(), "Ab");
    EXPECT_EQ(table.FieldByName("Numero")->AsInteger(), 300);
    table.Next();
    EXPECT_TRUE(table.FieldByName("Nome")->IsNull());
    EXPECT_EQ(table.FieldByName("Numero")->AsInteger(), -1);
}
