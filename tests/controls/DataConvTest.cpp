#include "controls/DataConv.h"

#include <gtest/gtest.h>

TEST(DataConv, RefusedTextsKeepTheOldOneAndRaiseOnlyWhenAsked)
{
    TConverter converter(nullptr);
    converter.SetDataType(dtFloat);
    int changes = 0;
    converter.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &converter);
        ++changes;
    };
    converter.SetText("2,25");
    EXPECT_EQ(changes, 1);
    for (const char* bad : {"", "abc", "1.5.5", "1e999999", "\xE8"}) {
        converter.SetAsString(bad);
        EXPECT_EQ(converter.Text(), "2,25") << bad;
    }
    EXPECT_EQ(changes, 1);
    converter.RaiseOnError = true;
    EXPECT_THROW(converter.SetAsString("abc"), EConvertError);
    EXPECT_EQ(converter.Text(), "2,25");
    EXPECT_EQ(converter.GetAsFloat(), 2.25);
    EXPECT_EQ(converter.GetAsString(), "2,25");
    EXPECT_TRUE(converter.IsValidChar(','));
    EXPECT_FALSE(converter.IsValidChar('.'));

    // Switching to a type the text does not fit empties it, and raises when asked.
    EXPECT_THROW(converter.SetDataType(dtDate), EConvertError);
    EXPECT_EQ(converter.Text(), "");
    EXPECT_EQ(converter.GetAsDate(), NullDate);
}

TEST(DataConv, MasksFollowTheFormatDescription)
{
    TDateTimeFormat format;
    format.DateSeparator = '/';
    format.TimeSeparator = ':';
    EXPECT_EQ(format.GetDateMask(), "d\"/\"m\"/\"yyyy");
    format.LeadingZero = true;
    format.DateOrder = doYMD;
    format.FourDigitYear = false;
    EXPECT_EQ(format.GetDateMask(), "yy\"/\"mm\"/\"dd");
    format.LongDate = true;
    format.DateOrder = doMDY;
    EXPECT_EQ(format.GetDateMask(), "mmmm dd yy");
    EXPECT_EQ(format.GetTimeMask(), "hh\":\"nn\":\"ss");
    format.TimeFormat = tfHMM;
    format.SetAMString("mattina lunga");
    format.SetPMString("sera");
    EXPECT_EQ(format.AMString(), "mattina");
    EXPECT_EQ(format.GetTimeMask(), "hh\":\"nn mattina/sera");
    TDateTimeFormat copy;
    copy.Assign(&format);
    EXPECT_EQ(copy.GetMask(), format.GetMask());

    TConverter converter(nullptr);
    converter.SetDataType(dtDate);
    converter.SetAsString("12/12/2005");
    EXPECT_EQ(converter.GetAsDate(), EncodeDate(2005, 12, 12));
    EXPECT_EQ(converter.GetAsString(), "12/12/2005");
    converter.SetDataType(dtBoolean);
    converter.SetAsBoolean(true);
    EXPECT_EQ(converter.Text(), "True");
    converter.SetDisplayFalse("Falso, ma con un testo troppo lungo");
    EXPECT_EQ(converter.DisplayFalse(), "Falso, ma con u");
}
