#include "platform/rtl/Variants.h"

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Formats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t Int64Max = std::numeric_limits<std::int64_t>::max();
constexpr int Int32Min = std::numeric_limits<int>::min();
constexpr int Int32Max = std::numeric_limits<int>::max();

// Same kind and same value; texts compare byte for byte, never through conversion.
void ExpectSameVariant(const Variant& expected, const Variant& actual)
{
    ASSERT_EQ(VarType(expected), VarType(actual));
    if (VarIsNull(expected) || VarIsEmpty(expected))
        return;
    if (VarType(expected) == varString)
        EXPECT_EQ(static_cast<std::string>(expected), static_cast<std::string>(actual));
    else
        EXPECT_DOUBLE_EQ(static_cast<double>(expected), static_cast<double>(actual));
}

std::string VariantErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EVariantError& error) {
        return error.Message;
    }
    return "(no EVariantError)";
}

const std::string InvalidConversion = "Invalid variant type conversion";
const std::string InvalidOperation = "Invalid variant operation";

Variant Currency(double value)
{
    return VarFromCurrency(value);
}

Variant DateValue(double value)
{
    return VarFromDateTime(value);
}

struct OperatorCase {
    const char* Name;
    Variant Left;
    char Op; // + - * / d(iv) m(od)
    Variant Right;
    Variant Expected;
};

Variant Apply(char op, const Variant& left, const Variant& right)
{
    switch (op) {
    case '+':
        return left + right;
    case '-':
        return left - right;
    case '*':
        return left * right;
    case '/':
        return left / right;
    case 'd':
        return VarDiv(left, right);
    default:
        return VarMod(left, right);
    }
}

} // namespace

TEST(VariantOperators, TableOfResultsAndKinds)
{
    const double day = EncodeDate(2026, 1, 5);
    const std::vector<OperatorCase> cases = {
        {"int + int stays int", 2, '+', 3, 5},
        {"int + real is real", 2, '+', 0.5, 2.5},
        {"smallint + byte is int", short(300), '+', (unsigned char)200, 500},
        {"int64 keeps 64 bits", (long long)5, '+', 1, (long long)6},
        {"int overflow widens", Int32Max, '+', 1, (long long)Int32Max + 1},
        {"int underflow widens", Int32Min, '-', 1, (long long)Int32Min - 1},
        {"product widens", 100000, '*', 100000, (long long)10000000000},
        {"true is -1", true, '+', 1, 0},
        {"false is 0", false, '-', 1, -1},
        {"true times two", true, '*', 2, -2},
        {"string with number uses the settings", "1,5", '+', 1, 2.5},
        {"number with string", 2, '*', "3", 6.0},
        {"two numeric strings multiply", "2", '*', "3", 6.0},
        {"string + string concatenates", "12", '+', "3", "123"},
        {"string + empty concatenates", "a", '+', Unassigned(), "a"},
        {"empty + number", Unassigned(), '+', 1, 1},
        {"empty + empty", Unassigned(), '+', Unassigned(), 0},
        {"null + number", Null(), '+', 1, Null()},
        {"number * null", 2, '*', Null(), Null()},
        {"string + null", "x", '+', Null(), Null()},
        {"null / number", Null(), '/', 2, Null()},
        {"null div number", Null(), 'd', 2, Null()},
        {"int / int is real", 7, '/', 2, 3.5},
        {"exact int / int is still real", 6, '/', 3, 2.0},
        {"currency * int stays currency", Currency(1.5), '*', 2, Currency(3)},
        {"currency / int stays currency", Currency(10), '/', 4, Currency(2.5)},
        {"currency keeps four decimals", Currency(1), '/', 3, Currency(0.3333)},
        {"currency + real is real", Currency(1.5), '+', 0.25, 1.75},
        {"date + days is a date", DateValue(day), '+', 1, DateValue(day + 1)},
        {"days + date is a date", 1, '+', DateValue(day), DateValue(day + 1)},
        {"date - days is a date", DateValue(day), '-', 0.5, DateValue(day - 0.5)},
        {"date - date is days", DateValue(day + 3), '-', DateValue(day), 3.0},
        {"date * number is real", DateValue(2), '*', 2, 4.0},
        {"div of ints", 7, 'd', 2, 3},
        {"div truncates reals", 7.9, 'd', 2, 3},
        {"div truncates toward zero", -7.9, 'd', 2, -3},
        {"div reads strings", "7,9", 'd', 2, 3},
        {"mod truncates both sides", 7.9, 'm', 2.9, 1},
        {"mod keeps the dividend's sign", -7, 'm', 3, -1},
        {"div by -1", Int32Min, 'd', -1, (long long)Int32Max + 1},
        {"div of int64", (long long)10, 'd', 3, (long long)3},
    };
    for (const OperatorCase& test : cases) {
        SCOPED_TRACE(test.Name);
        ExpectSameVariant(test.Expected, Apply(test.Op, test.Left, test.Right));
    }
}

TEST(VariantOperators, TableOfFailures)
{
    struct FailureCase {
        const char* Name;
        Variant Left;
        char Op;
        Variant Right;
        std::string Message;
    };
    const std::vector<FailureCase> cases = {
        {"text that is no number", "abc", '+', 1, InvalidConversion},
        {"point is not the decimal separator", "1.5", '+', 1, InvalidConversion},
        {"empty text is no number", "", '*', 2, InvalidConversion},
        {"text minus text", "a", '-', "b", InvalidConversion},
        {"array in arithmetic", VarArrayOf({1}), '+', 1, InvalidOperation},
        {"array on the right", 1, '*', VarArrayOf({1}), InvalidOperation},
        {"array div", VarArrayOf({1}), 'd', 1, InvalidOperation},
        {"64-bit overflow", (long long)Int64Max, '+', 1, "Variant overflow"},
        {"real too large for div", 1e30, 'd', 1, "Variant overflow"},
    };
    for (const FailureCase& test : cases) {
        SCOPED_TRACE(test.Name);
        EXPECT_EQ(test.Message, VariantErrorOf([&] { Apply(test.Op, test.Left, test.Right); }));
    }
}

TEST(VariantOperators, DivisionByZeroRaises)
{
    EXPECT_THROW(Variant(1) / Variant(0), EZeroDivide);
    EXPECT_THROW(Variant(1.5) / Variant(0.0), EZeroDivide);
    EXPECT_THROW(VarDiv(1, 0), EDivByZero);
    EXPECT_THROW(VarMod(1, 0.5), EDivByZero); // 0.5 truncates to 0
}

TEST(VariantOperators, Negation)
{
    const std::vector<std::pair<Variant, Variant>> cases = {
        {5, -5},
        {true, 1},
        {false, 0},
        {Null(), Null()},
        {Unassigned(), 0},
        {"1,5", -1.5},
        {Currency(2.5), Currency(-2.5)},
        {DateValue(3), DateValue(-3)},
        {Int32Min, (long long)Int32Max + 1},
        {(long long)7, (long long)-7},
    };
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(VarToStr(value));
        ExpectSameVariant(expected, -value);
    }
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { -Variant("x"); }));
    EXPECT_EQ(InvalidOperation, VariantErrorOf([] { -VarArrayOf({1}); }));
}

TEST(VariantCompare, TableOfRelationships)
{
    const double day = EncodeDate(2026, 1, 5);
    struct CompareCase {
        const char* Name;
        Variant Left;
        Variant Right;
        TVariantRelationship Expected;
    };
    const std::vector<CompareCase> cases = {
        {"null equals null", Null(), Null(), vrEqual},
        {"null below zero", Null(), 0, vrLessThan},
        {"null below a negative number", Null(), -1e300, vrLessThan},
        {"zero above null", 0, Null(), vrGreaterThan},
        {"null below empty text", Null(), "", vrLessThan},
        {"null below empty", Null(), Unassigned(), vrLessThan},
        {"int equals real", 1, 1.0, vrEqual},
        {"number against numeric text", 2, "10", vrLessThan},
        {"numeric text against number", "1,5", 1.5, vrEqual},
        {"texts compare as texts", "2", "10", vrGreaterThan},
        {"texts by letters", "abc", "abd", vrLessThan},
        {"equal texts", "perch\xE9", "perch\xE9", vrEqual},
        {"true is -1", true, -1, vrEqual},
        {"false is 0", false, 0, vrEqual},
        {"true against its text", true, "True", vrEqual},
        {"empty is zero", Unassigned(), 0, vrEqual},
        {"empty is the empty text", Unassigned(), "", vrEqual},
        {"empty equals empty", Unassigned(), Unassigned(), vrEqual},
        {"date against its number", DateValue(day), day, vrEqual},
        {"later date", DateValue(day + 1), DateValue(day), vrGreaterThan},
        {"date against a date text", DateValue(day), "05/01/2026", vrEqual},
        {"large integers exactly", (long long)Int64Max, (long long)(Int64Max - 1), vrGreaterThan},
        {"currency against real", Currency(0.1), 0.1, vrEqual},
    };
    for (const CompareCase& test : cases) {
        SCOPED_TRACE(test.Name);
        EXPECT_EQ(test.Expected, VarCompareValue(test.Left, test.Right));
    }
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { VarCompareValue("abc", 1); }));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { VarCompareValue(true, "maybe"); }));
    EXPECT_EQ(InvalidOperation, VariantErrorOf([] { VarCompareValue(VarArrayOf({1}), 1); }));
}

TEST(VariantCompare, OperatorsFollowTheRelationship)
{
    EXPECT_TRUE(Null() < Variant(1));
    EXPECT_TRUE(Null() <= Null());
    EXPECT_TRUE(Null() == Null());
    EXPECT_FALSE(Null() > Variant(1));
    EXPECT_TRUE(Null() != Variant(1));
    EXPECT_TRUE(Variant(2) > Variant(1.5));
    EXPECT_TRUE(Variant(2) >= Variant(2.0));
    EXPECT_FALSE(Variant(2) < Variant(2));
    EXPECT_TRUE(Variant("a") == "a");
    EXPECT_TRUE(0 == Variant(false));
}

TEST(VariantConversion, ToIntegersRoundHalvesToEven)
{
    const std::vector<std::pair<Variant, int>> cases = {
        {2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.6, 3}, {"12", 12}, {" 12", 12}, {"1,6", 2},
        {true, -1}, {false, 0}, {Unassigned(), 0}, {Currency(7.5), 8}, {(long long)-9, -9},
    };
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(VarToStr(value));
        EXPECT_EQ(expected, static_cast<int>(value));
    }
    EXPECT_EQ(30000000000LL, static_cast<std::int64_t>(Variant(3e10)));
    EXPECT_EQ("Variant overflow", VariantErrorOf([] { (void)static_cast<int>(Variant(3e10)); }));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { (void)static_cast<int>(Variant("x")); }));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { (void)static_cast<int>(Null()); }));
    EXPECT_EQ(InvalidConversion,
              VariantErrorOf([] { (void)static_cast<std::int64_t>(VarArrayOf({1})); }));
}

TEST(VariantConversion, ToRealsBooleansAndTexts)
{
    EXPECT_DOUBLE_EQ(1.5, static_cast<double>(Variant("1,5")));
    EXPECT_DOUBLE_EQ(-1, static_cast<double>(Variant(true)));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { (void)static_cast<double>(Variant("1.5")); }));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { (void)static_cast<double>(Null()); }));

    EXPECT_TRUE(static_cast<bool>(Variant("true")));
    EXPECT_FALSE(static_cast<bool>(Variant("FALSE")));
    EXPECT_FALSE(static_cast<bool>(Variant("0")));
    EXPECT_TRUE(static_cast<bool>(Variant("2")));
    EXPECT_FALSE(static_cast<bool>(Variant(0.0)));
    EXPECT_TRUE(static_cast<bool>(Variant(-1)));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { (void)static_cast<bool>(Variant("forse")); }));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { (void)static_cast<bool>(Null()); }));

    // A cast to text refuses null; VarToStr gives "".
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { (void)static_cast<std::string>(Null()); }));
    EXPECT_EQ("", VarToStr(Null()));
    EXPECT_EQ("5", static_cast<std::string>(Variant(5)));
}

TEST(VariantConversion, VarToStrOfEachKind)
{
    const double day = EncodeDate(2026, 1, 5);
    const double time = EncodeTime(9, 7, 3, 0);
    const std::vector<std::pair<Variant, std::string>> cases = {
        {Unassigned(), ""},
        {Null(), ""},
        {true, "True"},
        {false, "False"},
        {42, "42"},
        {(long long)-9000000000, "-9000000000"},
        {(unsigned char)200, "200"},
        {1.5, "1,5"},
        {0.1, "0,1"},
        {0.1f, "0,1"},
        {Currency(1234.5), "1234,5"},
        {DateValue(day), "05/01/2026"},
        {DateValue(day + time), "05/01/2026 09.07.03"},
        {DateValue(time), "09.07.03"},
        {DateValue(0), "00.00.00"},
        {"perch\xE9", "perch\xE9"},
        {'x', "x"},
    };
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(expected);
        EXPECT_EQ(expected, VarToStr(value));
    }
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { VarToStr(VarArrayOf({1})); }));
}

TEST(VariantConversion, VarAsTypeAndVarToDateTime)
{
    ExpectSameVariant(12, VarAsType("12", varInteger));
    ExpectSameVariant((unsigned char)255, VarAsType(255.0, varByte));
    ExpectSameVariant(Currency(1.2346), VarAsType(1.23456, varCurrency));
    ExpectSameVariant("5", VarAsType(5, varString));
    ExpectSameVariant(true, VarAsType(1, varBoolean));
    ExpectSameVariant(DateValue(EncodeDate(2026, 1, 5)), VarAsType("05/01/2026", varDate));
    ExpectSameVariant(Null(), VarAsType(Null(), varNull));
    EXPECT_EQ("Variant overflow", VariantErrorOf([] { VarAsType(256, varByte); }));
    EXPECT_EQ("Variant overflow", VariantErrorOf([] { VarAsType(-1, varWord); }));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { VarAsType(Null(), varInteger); }));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { VarAsType(VarArrayOf({1}), varInteger); }));

    EXPECT_DOUBLE_EQ(EncodeDate(2026, 1, 5) + EncodeTime(9, 7, 0, 0),
                     VarToDateTime("05/01/2026 09.07"));
    EXPECT_DOUBLE_EQ(2.5, VarToDateTime(2.5));
    EXPECT_DOUBLE_EQ(0, VarToDateTime(Unassigned()));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { VarToDateTime(Null()); }));
    EXPECT_EQ(InvalidConversion, VariantErrorOf([] { VarToDateTime("ieri"); }));
}

TEST(VariantConversion, KindsOfTheConstructors)
{
    EXPECT_EQ(varEmpty, VarType(Variant()));
    EXPECT_EQ(varNull, VarType(Null()));
    EXPECT_EQ(varBoolean, VarType(Variant(true)));
    EXPECT_EQ(varShortInt, VarType(Variant((signed char)-1)));
    EXPECT_EQ(varByte, VarType(Variant((unsigned char)1)));
    EXPECT_EQ(varSmallint, VarType(Variant(short(1))));
    EXPECT_EQ(varWord, VarType(Variant((unsigned short)1)));
    EXPECT_EQ(varInteger, VarType(Variant(1)));
    EXPECT_EQ(varLongWord, VarType(Variant(1u)));
    EXPECT_EQ(varInt64, VarType(Variant(std::int64_t(1))));
    EXPECT_EQ(varInt64, VarType(Variant(std::size_t(1))));
    EXPECT_EQ(varSingle, VarType(Variant(1.0f)));
    EXPECT_EQ(varDouble, VarType(Variant(1.0)));
    EXPECT_EQ(varCurrency, VarType(Currency(1)));
    EXPECT_EQ(varDate, VarType(DateValue(1)));
    EXPECT_EQ(varString, VarType(Variant("a")));
    EXPECT_EQ(varString, VarType(Variant(std::string("a"))));
    EXPECT_EQ("", VarToStr(Variant(static_cast<const char*>(nullptr))));
    EXPECT_TRUE(VarIsEmpty(Unassigned()));
    EXPECT_TRUE(VarIsNull(Null()));
    EXPECT_FALSE(VarIsNull(Unassigned()));
    EXPECT_FALSE(VarIsArray(Variant("abc")));
}

TEST(VariantArrays, VarArrayOfHoldsAnyValues)
{
    const Variant array = VarArrayOf({1, "a", Null(), VarArrayOf({2, 3})});
    EXPECT_EQ(varArray | varVariant, VarType(array));
    EXPECT_TRUE(VarIsArray(array));
    EXPECT_EQ(1, VarArrayDimCount(array));
    EXPECT_EQ(0, VarArrayLowBound(array, 1));
    EXPECT_EQ(3, VarArrayHighBound(array, 1));
    ExpectSameVariant(1, array[0]);
    ExpectSameVariant("a", array[1]);
    EXPECT_TRUE(VarIsNull(array[2]));
    ExpectSameVariant(3, array[3][1]);
    EXPECT_EQ(0, VarArrayDimCount(5));
}

TEST(VariantArrays, TypedArrayConvertsWhatItIsGiven)
{
    Variant array = VarArrayCreate({1, 3}, varInteger);
    EXPECT_EQ(1, VarArrayLowBound(array, 1));
    EXPECT_EQ(3, VarArrayHighBound(array, 1));
    ExpectSameVariant(0, VarArrayGet(array, 1));
    VarArrayPut(array, "5", 3);
    ExpectSameVariant(5, array[3]);

    // Copies are independent values.
    const Variant copy = array;
    VarArrayPut(array, 7, 3);
    ExpectSameVariant(5, copy[3]);

    EXPECT_EQ(InvalidConversion, VariantErrorOf([&] { VarArrayPut(array, "x", 1); }));
    const std::string badIndex = "Variant or safe array index out of bounds";
    EXPECT_EQ(badIndex, VariantErrorOf([&] { array[0]; }));
    EXPECT_EQ(badIndex, VariantErrorOf([&] { VarArrayPut(array, 1, 4); }));
    EXPECT_EQ(badIndex, VariantErrorOf([&] { VarArrayLowBound(array, 2); }));

    Variant anything = VarArrayCreate({0, 1}, varVariant);
    EXPECT_TRUE(VarIsEmpty(anything[0]));
    VarArrayPut(anything, "x", 1);
    ExpectSameVariant("x", anything[1]);
}

TEST(VariantArrays, ByteArrayCarriesABlob)
{
    Variant blob = VarArrayCreate({0, 4}, varByte);
    EXPECT_EQ(varArray | varByte, VarType(blob));
    std::memcpy(VarArrayLock(blob), "a\0b\xFF" "c", 5);
    VarArrayUnlock(blob);
    ExpectSameVariant((unsigned char)0xFF, blob[3]);
    ExpectSameVariant((unsigned char)0, blob[1]);

    const Variant copy = blob;
    VarArrayPut(blob, 65, 0);
    const char* bytes = static_cast<const char*>(VarArrayLock(copy));
    EXPECT_EQ(std::string("a\0b\xFF" "c", 5), std::string(bytes, 5));
    EXPECT_EQ("Variant overflow", VariantErrorOf([&] { VarArrayPut(blob, 256, 0); }));

    // An empty stream makes an array whose high bound is one below the low bound.
    const Variant empty = VarArrayCreate({0, -1}, varByte);
    EXPECT_EQ(-1, VarArrayHighBound(empty, 1));
}

TEST(VariantArrays, BadCreationAndNonArrays)
{
    const std::string createError = "Error creating variant or safe array";
    EXPECT_EQ(createError, VariantErrorOf([] { VarArrayCreate({0}, varVariant); }));
    EXPECT_EQ(createError, VariantErrorOf([] { VarArrayCreate({0, 1, 0, 1}, varVariant); }));
    EXPECT_EQ(createError, VariantErrorOf([] { VarArrayCreate({3, 1}, varVariant); }));
    EXPECT_EQ(createError, VariantErrorOf([] { VarArrayCreate({0, 1}, varNull); }));

    const std::string notArray = "Variant is not an array";
    EXPECT_EQ(notArray, VariantErrorOf([] { VarArrayLowBound(5, 1); }));
    EXPECT_EQ(notArray, VariantErrorOf([] { VarArrayHighBound("abc", 1); }));
    EXPECT_EQ(notArray, VariantErrorOf([] { Variant(5)[0]; }));
    EXPECT_EQ(notArray, VariantErrorOf([] {
                  Variant value = 5;
                  VarArrayLock(value);
              }));
}
