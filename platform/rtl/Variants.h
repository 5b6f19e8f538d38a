#pragma once
// Variant: a value whose kind is decided at run time, with the class library's conversions,
// operators and one-dimensional arrays.
//
// Rules of the operators:
// - a boolean used as a number is -1 (true) or 0 (false); an empty value is 0 or "";
// - a string meeting a number in arithmetic or in a comparison is converted with the format
//   settings ("1,5"); a string that is not a number raises EVariantError;
// - string + string concatenates, strings compare with AnsiCompareStr;
// - null in arithmetic gives null; null compares equal to null and less than anything else;
// - integers stay integers (widening to 64 bits rather than overflowing); / always gives a real;
//   VarDiv and VarMod truncate their operands to integers;
// - a date plus or minus a number is a date, a date minus a date is a number of days.
// A failed conversion raises EVariantError "Invalid variant type conversion"; an operation the
// kinds do not allow (arrays in arithmetic, for one) "Invalid variant operation".

#include "platform/rtl/Exceptions.h"

#include <cstdint>
#include <string>
#include <vector>

using TVarType = std::uint16_t;

constexpr TVarType varEmpty = 0x0000;
constexpr TVarType varNull = 0x0001;
constexpr TVarType varSmallint = 0x0002;
constexpr TVarType varInteger = 0x0003;
constexpr TVarType varSingle = 0x0004;
constexpr TVarType varDouble = 0x0005;
constexpr TVarType varCurrency = 0x0006;
constexpr TVarType varDate = 0x0007;
constexpr TVarType varBoolean = 0x000B;
constexpr TVarType varVariant = 0x000C;
constexpr TVarType varShortInt = 0x0010;
constexpr TVarType varByte = 0x0011;
constexpr TVarType varWord = 0x0012;
constexpr TVarType varLongWord = 0x0013;
constexpr TVarType varInt64 = 0x0014;
constexpr TVarType varString = 0x0100;
constexpr TVarType varTypeMask = 0x0FFF;
constexpr TVarType varArray = 0x2000;

class Variant {
public:
    Variant() = default; // empty
    Variant(bool value);
    Variant(char value); // a one-character string
    Variant(signed char value);
    Variant(unsigned char value);
    Variant(short value);
    Variant(unsigned short value);
    Variant(int value);
    Variant(unsigned value);
    Variant(long value);
    Variant(unsigned long value);
    Variant(long long value);
    Variant(float value);
    Variant(double value);
    Variant(const char* value);
    Variant(std::string value);

    // Conversions as the class library's casts do them: a real becomes an integer rounded
    // (halves to even); null, arrays and texts that are no number raise EVariantError.
    explicit operator bool() const;
    explicit operator int() const;
    explicit operator std::int64_t() const;
    explicit operator double() const;
    explicit operator std::string() const;

    // Element of an array by its index (between the low and the high bound).
    Variant operator[](int index) const;

private:
    friend struct VariantOps;

    TVarType type_ = varEmpty;
    std::int64_t int_ = 0;  // integer kinds, boolean (0 or 1); low bound of an array
    double real_ = 0;       // single, double, currency, date
    std::string text_;      // string; the bytes of a byte array
    std::vector<Variant> items_; // elements of any other array
};

Variant Null();
Variant Unassigned();
// A currency value keeps four decimals; a date is a TDateTime.
Variant VarFromCurrency(double value);
Variant VarFromDateTime(double value);

TVarType VarType(const Variant& value);
bool VarIsNull(const Variant& value);
bool VarIsEmpty(const Variant& value);
bool VarIsArray(const Variant& value);

// Texts of the values: null and empty give "", a date with no time the date alone, a time with
// no date the time alone, a boolean "True" or "False", numbers with the format settings.
std::string VarToStr(const Variant& value);
// Numbers are taken as days, texts are read as a date and time or as a number.
double VarToDateTime(const Variant& value);
// The value converted to another simple kind.
Variant VarAsType(const Variant& value, TVarType varType);

Variant operator+(const Variant& left, const Variant& right);
Variant operator-(const Variant& left, const Variant& right);
Variant operator*(const Variant& left, const Variant& right);
Variant operator/(const Variant& left, const Variant& right);
Variant operator-(const Variant& value);
Variant VarDiv(const Variant& left, const Variant& right);
Variant VarMod(const Variant& left, const Variant& right);

enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };

TVariantRelationship VarCompareValue(const Variant& left, const Variant& right);
bool operator==(const Variant& left, const Variant& right);
bool operator!=(const Variant& left, const Variant& right);
bool operator<(const Variant& left, const Variant& right);
bool operator<=(const Variant& left, const Variant& right);
bool operator>(const Variant& left, const Variant& right);
bool operator>=(const Variant& left, const Variant& right);

// Arrays. bounds holds the low and the high bound of the one dimension; a high bound one below
// the low bound makes an empty array. varType is the elements' kind: varVariant for any value,
// varByte for a block of bytes.
Variant VarArrayCreate(const std::vector<int>& bounds, TVarType varType);
// An array of varVariant indexed from 0.
Variant VarArrayOf(const std::vector<Variant>& values);
int VarArrayDimCount(const Variant& value); // 1 for an array, 0 otherwise
int VarArrayLowBound(const Variant& array, int dim);
int VarArrayHighBound(const Variant& array, int dim);
Variant VarArrayGet(const Variant& array, int index);
// The value is converted to the elements' kind.
void VarArrayPut(Variant& array, const Variant& value, int index);
// The elements in memory: bytes for a byte array, Variant objects for any other.
void* VarArrayLock(Variant& array);
const void* VarArrayLock(const Variant& array);
void VarArrayUnlock(const Variant& array);
