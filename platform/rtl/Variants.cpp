#include "platform/rtl/Variants.h"

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <cmath>
#include <limits>

namespace {

const char* const InvalidConversion = "Invalid variant type conversion";
const char* const InvalidOperation = "Invalid variant operation";
const char* const NotAnArray = "Variant is not an array";
const char* const BadIndex = "Variant or safe array index out of bounds";
const char* const CreateArrayError = "Error creating variant or safe array";
const char* const Overflow = "Variant overflow";

[[noreturn]] void RaiseConversion()
{
    RAISE(EVariantError(InvalidConversion));
}

[[noreturn]] void RaiseOperation()
{
    RAISE(EVariantError(InvalidOperation));
}

[[noreturn]] void RaiseOverflow()
{
    RAISE(EVariantError(Overflow));
}

bool FitsInInt32(std::int64_t value)
{
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

// Currency keeps four decimals; the fifth is rounded as the floating-point unit does (to even).
double RoundCurrency(double value)
{
    return std::nearbyint(value * 10000.0) / 10000.0;
}

// A real converted to a 64-bit integer by `convert` (rounding or truncation), or an overflow.
std::int64_t RealToInt64(double value, double (*convert)(double))
{
    const double whole = convert(value);
    // 2^63 is exactly representable; anything at or above it does not fit.
    if (!(whole >= -9223372036854775808.0 && whole < 9223372036854775808.0))
        RaiseOverflow();
    return static_cast<std::int64_t>(whole);
}

bool IsIntegerKind(TVarType type)
{
    switch (type) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return true;
    default:
        return false;
    }
}

bool IsRealKind(TVarType type)
{
    return type == varSingle || type == varDouble || type == varCurrency || type == varDate;
}

bool IsSimpleElementKind(TVarType type)
{
    return IsIntegerKind(type) || IsRealKind(type) || type == varBoolean || type == varString ||
           type == varVariant;
}

// How an operand takes part in arithmetic and comparison. Kinds rank: integer, currency,
// double; a date is a double that date arithmetic keeps as a date.
enum class NumberKind { Integer, Currency, Double, Date };

struct Number {
    NumberKind Kind = NumberKind::Integer;
    bool Wide = false; // a 64-bit integer operand keeps a 64-bit result
    std::int64_t Int = 0;
    double Real = 0;

    double AsReal() const { return Kind == NumberKind::Integer ? static_cast<double>(Int) : Real; }
};

Number IntegerNumber(std::int64_t value, bool wide = false)
{
    Number number;
    number.Int = value;
    number.Wide = wide;
    return number;
}

Number RealNumber(double value, NumberKind kind)
{
    Number number;
    number.Kind = kind;
    number.Real = value;
    return number;
}

bool TextToBoolean(const std::string& text, bool& value)
{
    if (SameText(Trim(text), "True")) {
        value = true;
        return true;
    }
    if (SameText(Trim(text), "False")) {
        value = false;
        return true;
    }
    double number = 0;
    if (!TryStrToFloat(text, number))
        return false;
    value = number != 0;
    return true;
}

} // namespace

// The operations that need the inside of a Variant.
struct VariantOps {
    static Variant Make(TVarType type)
    {
        Variant value;
        value.type_ = type;
        return value;
    }

    static Variant MakeInteger(std::int64_t number, TVarType type)
    {
        Variant value = Make(type);
        value.int_ = number;
        return value;
    }

    static Variant MakeReal(double number, TVarType type)
    {
        Variant value = Make(type);
        value.real_ = type == varCurrency ? RoundCurrency(number) : number;
        return value;
    }

    // An integer result: 32 bits when it fits and no operand was 64-bit.
    static Variant MakeIntegerResult(std::int64_t number, bool wide)
    {
        return MakeInteger(number, wide || !FitsInInt32(number) ? varInt64 : varInteger);
    }

    static TVarType Type(const Variant& value) { return value.type_; }
    static bool IsArray(const Variant& value) { return (value.type_ & varArray) != 0; }
    static TVarType ElementType(const Variant& value) { return value.type_ & varTypeMask; }
    static bool IsByteArray(const Variant& value) { return value.type_ == (varArray | varByte); }
    static const std::string& Text(const Variant& value) { return value.text_; }

    // --- conversions -------------------------------------------------------------------------

    static std::int64_t ToInt64(const Variant& value)
    {
        switch (value.type_) {
        case varEmpty:
            return 0;
        case varBoolean:
            return value.int_ ? -1 : 0;
        case varString: {
            std::int64_t number = 0;
            if (TryStrToInt64(value.text_, number))
                return number;
            double real = 0;
            if (TryStrToFloat(value.text_, real))
                return RealToInt64(real, std::nearbyint);
            RaiseConversion();
        }
        default:
            if (IsIntegerKind(value.type_))
                return value.int_;
            if (IsRealKind(value.type_))
                return RealToInt64(value.real_, std::nearbyint);
            RaiseConversion();
        }
    }

    static double ToDouble(const Variant& value)
    {
        switch (value.type_) {
        case varEmpty:
            return 0;
        case varBoolean:
            return value.int_ ? -1 : 0;
        case varString: {
            double real = 0;
            if (!TryStrToFloat(value.text_, real))
                RaiseConversion();
            return real;
        }
        default:
            if (IsIntegerKind(value.type_))
                return static_cast<double>(value.int_);
            if (IsRealKind(value.type_))
                return value.real_;
            RaiseConversion();
        }
    }

    static bool ToBoolean(const Variant& value)
    {
        switch (value.type_) {
        case varEmpty:
            return false;
        case varBoolean:
            return value.int_ != 0;
        case varString: {
            bool result = false;
            if (!TextToBoolean(value.text_, result))
                RaiseConversion();
            return result;
        }
        default:
            if (IsIntegerKind(value.type_))
                return value.int_ != 0;
            if (IsRealKind(value.type_))
                return value.real_ != 0;
            RaiseConversion();
        }
    }

    static double ToDateTime(const Variant& value)
    {
        if (value.type_ == varString) {
            double result = 0;
            if (TryStrToDateTime(value.text_, result) || TryStrToFloat(value.text_, result))
                return result;
            RaiseConversion();
        }
        return ToDouble(value);
    }

    static std::string DateText(double dateTime)
    {
        const double datePart = std::trunc(dateTime);
        if (datePart == 0)
            return TimeToStr(dateTime);
        if (dateTime == datePart)
            return DateToStr(dateTime);
        return DateToStr(dateTime) + " " + TimeToStr(dateTime);
    }

    static std::string ToText(const Variant& value)
    {
        switch (value.type_) {
        case varEmpty:
        case varNull:
            return {};
        case varBoolean:
            return value.int_ ? "True" : "False";
        case varString:
            return value.text_;
        case varSingle:
            return FloatToStrF(value.real_, ffGeneral, 7, 0);
        case varDouble:
            return FloatToStr(value.real_);
        case varCurrency:
            return CurrToStr(value.real_);
        case varDate:
            return DateText(value.real_);
        default:
            if (IsIntegerKind(value.type_))
                return IntToStr(value.int_);
            RaiseConversion();
        }
    }

    static std::int64_t ToIntegerInRange(const Variant& value, std::int64_t low, std::int64_t high)
    {
        const std::int64_t number = ToInt64(value);
        if (number < low || number > high)
            RaiseOverflow();
        return number;
    }

    static Variant AsType(const Variant& value, TVarType type)
    {
        if (value.type_ == type || type == varVariant)
            return value;
        if (IsArray(value))
            RaiseConversion();
        if (value.type_ == varNull && type != varEmpty)
            RaiseConversion();
        switch (type) {
        case varEmpty:
            return Variant();
        case varNull:
            return Null();
        case varSmallint:
            return MakeInteger(ToIntegerInRange(value, -32768, 32767), type);
        case varInteger:
            return MakeInteger(ToIntegerInRange(value, INT32_MIN, INT32_MAX), type);
        case varShortInt:
            return MakeInteger(ToIntegerInRange(value, -128, 127), type);
        case varByte:
            return MakeInteger(ToIntegerInRange(value, 0, 255), type);
        case varWord:
            return MakeInteger(ToIntegerInRange(value, 0, 65535), type);
        case varLongWord:
            return MakeInteger(ToIntegerInRange(value, 0, UINT32_MAX), type);
        case varInt64:
            return MakeInteger(ToInt64(value), type);
        case varSingle:
            return MakeReal(static_cast<float>(ToDouble(value)), type);
        case varDouble:
        case varCurrency:
            return MakeReal(ToDouble(value), type);
        case varDate:
            return MakeReal(ToDateTime(value), type);
        case varBoolean:
            return Variant(ToBoolean(value));
        case varString:
            return Variant(ToText(value));
        default:
            RaiseConversion();
        }
    }

    // --- arithmetic and comparison -----------------------------------------------------------

    // The operand as a number. A text is read with the format settings; next to a date it may
    // also be a date and time.
    static Number ToNumber(const Variant& value, bool besideDate)
    {
        switch (value.type_) {
        case varEmpty:
            return IntegerNumber(0);
        case varBoolean:
            return IntegerNumber(value.int_ ? -1 : 0);
        case varCurrency:
            return RealNumber(value.real_, NumberKind::Currency);
        case varDate:
            return RealNumber(value.real_, NumberKind::Date);
        case varSingle:
        case varDouble:
            return RealNumber(value.real_, NumberKind::Double);
        case varString: {
            double real = 0;
            if (TryStrToFloat(value.text_, real) ||
                (besideDate && TryStrToDateTime(value.text_, real)))
                return RealNumber(real, NumberKind::Double);
            RaiseConversion();
        }
        default:
            if (IsIntegerKind(value.type_))
                return IntegerNumber(value.int_, value.type_ == varInt64);
            RaiseOperation();
        }
    }

    static void Operands(const Variant& left, const Variant& right, Number& a, Number& b)
    {
        a = ToNumber(left, right.type_ == varDate);
        b = ToNumber(right, left.type_ == varDate);
    }

    static bool IsTextLike(const Variant& value)
    {
        return value.type_ == varString || value.type_ == varEmpty;
    }

    // The kind of a + - * result other than integers and dates.
    static TVarType RealResultType(const Number& a, const Number& b)
    {
        if (a.Kind == NumberKind::Double || b.Kind == NumberKind::Double ||
            a.Kind == NumberKind::Date || b.Kind == NumberKind::Date)
            return varDouble;
        return varCurrency;
    }

    static Variant IntegerArithmetic(char op, const Number& a, const Number& b)
    {
        std::int64_t result = 0;
        bool overflow = false;
        switch (op) {
        case '+':
            overflow = __builtin_add_overflow(a.Int, b.Int, &result);
            break;
        case '-':
            overflow = __builtin_sub_overflow(a.Int, b.Int, &result);
            break;
        default:
            overflow = __builtin_mul_overflow(a.Int, b.Int, &result);
            break;
        }
        if (overflow)
            RaiseOverflow();
        return MakeIntegerResult(result, a.Wide || b.Wide);
    }

    static Variant Arithmetic(char op, const Variant& left, const Variant& right)
    {
        if (IsArray(left) || IsArray(right))
            RaiseOperation();
        if (left.type_ == varNull || right.type_ == varNull)
            return Null();
        if (op == '+' && IsTextLike(left) && IsTextLike(right) &&
            (left.type_ == varString || right.type_ == varString))
            return Variant(left.text_ + right.text_);

        Number a;
        Number b;
        Operands(left, right, a, b);
        if (op == '/') {
            if (b.AsReal() == 0)
                RAISE(EZeroDivide("Floating point division by zero"));
            const bool currency = (a.Kind == NumberKind::Currency || b.Kind == NumberKind::Currency) &&
                                  RealResultType(a, b) == varCurrency;
            return MakeReal(a.AsReal() / b.AsReal(), currency ? varCurrency : varDouble);
        }
        if (a.Kind == NumberKind::Integer && b.Kind == NumberKind::Integer)
            return IntegerArithmetic(op, a, b);

        const double x = a.AsReal();
        const double y = b.AsReal();
        const bool leftDate = a.Kind == NumberKind::Date;
        const bool rightDate = b.Kind == NumberKind::Date;
        switch (op) {
        case '+':
            return MakeReal(x + y, leftDate || rightDate ? varDate : RealResultType(a, b));
        case '-':
            if (leftDate && rightDate)
                return MakeReal(x - y, varDouble);
            return MakeReal(x - y, leftDate || rightDate ? varDate : RealResultType(a, b));
        default:
            return MakeReal(x * y, RealResultType(a, b));
        }
    }

    // div and mod work on the operands truncated to integers.
    static Variant IntegerDivision(bool remainder, const Variant& left, const Variant& right)
    {
        if (IsArray(left) || IsArray(right))
            RaiseOperation();
        if (left.type_ == varNull || right.type_ == varNull)
            return Null();
        Number a;
        Number b;
        Operands(left, right, a, b);
        const std::int64_t x = a.Kind == NumberKind::Integer ? a.Int : RealToInt64(a.Real, std::trunc);
        const std::int64_t y = b.Kind == NumberKind::Integer ? b.Int : RealToInt64(b.Real, std::trunc);
        if (y == 0)
            RAISE(EDivByZero("Division by zero"));
        if (y == -1) { // the lowest 64-bit value divided by -1 does not fit
            if (x == std::numeric_limits<std::int64_t>::min() && !remainder)
                RaiseOverflow();
            return MakeIntegerResult(remainder ? 0 : -x, a.Wide || b.Wide);
        }
        return MakeIntegerResult(remainder ? x % y : x / y, a.Wide || b.Wide);
    }

    static Variant Negate(const Variant& value)
    {
        if (IsArray(value))
            RaiseOperation();
        switch (value.type_) {
        case varNull:
            return Null();
        case varSingle:
        case varDouble:
        case varCurrency:
        case varDate:
            return MakeReal(-value.real_, value.type_);
        case varString:
            return MakeReal(-ToNumber(value, false).Real, varDouble);
        default: {
            const Number number = ToNumber(value, false);
            if (number.Int == std::numeric_limits<std::int64_t>::min())
                RaiseOverflow();
            return MakeIntegerResult(-number.Int, number.Wide);
        }
        }
    }

    static TVariantRelationship Relationship(int comparison)
    {
        if (comparison < 0)
            return vrLessThan;
        return comparison > 0 ? vrGreaterThan : vrEqual;
    }

    // The other operand is a boolean: a text may read "True" or "False".
    static Number BooleanSideNumber(const Variant& value)
    {
        if (value.type_ != varString)
            return ToNumber(value, false);
        bool flag = false;
        if (!TextToBoolean(value.text_, flag))
            RaiseConversion();
        return IntegerNumber(flag ? -1 : 0);
    }

    static TVariantRelationship Compare(const Variant& left, const Variant& right)
    {
        if (IsArray(left) || IsArray(right))
            RaiseOperation();
        const bool leftNull = left.type_ == varNull;
        const bool rightNull = right.type_ == varNull;
        if (leftNull || rightNull) {
            if (leftNull && rightNull)
                return vrEqual;
            return leftNull ? vrLessThan : vrGreaterThan;
        }
        if (IsTextLike(left) && IsTextLike(right))
            return Relationship(AnsiCompareStr(left.text_, right.text_));

        Number a;
        Number b;
        if (left.type_ == varBoolean || right.type_ == varBoolean) {
            a = BooleanSideNumber(left);
            b = BooleanSideNumber(right);
        } else {
            Operands(left, right, a, b);
        }
        if (a.Kind == NumberKind::Integer && b.Kind == NumberKind::Integer)
            return Relationship(a.Int < b.Int ? -1 : (a.Int > b.Int ? 1 : 0));
        const double x = a.AsReal();
        const double y = b.AsReal();
        if (x < y)
            return vrLessThan;
        if (x > y)
            return vrGreaterThan;
        return x == y ? vrEqual : vrNotEqual;
    }

    // --- arrays ------------------------------------------------------------------------------

    static void CheckArray(const Variant& value)
    {
        if (!IsArray(value))
            RAISE(EVariantError(NotAnArray));
    }

    static int Count(const Variant& array)
    {
        return static_cast<int>(IsByteArray(array) ? array.text_.size() : array.items_.size());
    }

    static int LowBound(const Variant& array) { return static_cast<int>(array.int_); }

    static std::size_t Slot(const Variant& array, int index)
    {
        CheckArray(array);
        const std::int64_t slot = static_cast<std::int64_t>(index) - array.int_;
        if (slot < 0 || slot >= Count(array))
            RAISE(EVariantError(BadIndex));
        return static_cast<std::size_t>(slot);
    }

    static Variant CreateArray(const std::vector<int>& bounds, TVarType elementType)
    {
        if (bounds.size() != 2 || !IsSimpleElementKind(elementType))
            RAISE(EVariantError(CreateArrayError));
        const std::int64_t count = static_cast<std::int64_t>(bounds[1]) - bounds[0] + 1;
        if (count < 0)
            RAISE(EVariantError(CreateArrayError));
        Variant array = Make(varArray | elementType);
        array.int_ = bounds[0];
        if (elementType == varByte) {
            array.text_.assign(static_cast<std::size_t>(count), '\0');
        } else {
            const Variant blank = elementType == varVariant ? Variant() : AsType(Variant(), elementType);
            array.items_.assign(static_cast<std::size_t>(count), blank);
        }
        return array;
    }

    static Variant CreateArrayOf(const std::vector<Variant>& values)
    {
        Variant array = Make(varArray | varVariant);
        array.items_ = values;
        return array;
    }

    static Variant Get(const Variant& array, int index)
    {
        const std::size_t slot = Slot(array, index);
        if (IsByteArray(array))
            return static_cast<unsigned char>(array.text_[slot]);
        return array.items_[slot];
    }

    static void Put(Variant& array, const Variant& value, int index)
    {
        const std::size_t slot = Slot(array, index);
        if (IsByteArray(array)) {
            array.text_[slot] = static_cast<char>(AsType(value, varByte).int_);
            return;
        }
        array.items_[slot] = AsType(value, ElementType(array));
    }

    static void* Lock(Variant& array)
    {
        CheckArray(array);
        if (IsByteArray(array))
            return array.text_.data();
        return array.items_.data();
    }

    static const void* Lock(const Variant& array)
    {
        CheckArray(array);
        if (IsByteArray(array))
            return array.text_.data();
        return array.items_.data();
    }
};

// --- construction ------------------------------------------------------------------------------

Variant::Variant(bool value) : type_(varBoolean), int_(value ? 1 : 0) {}
Variant::Variant(char value) : type_(varString), text_(1, value) {}
Variant::Variant(signed char value) : type_(varShortInt), int_(value) {}
Variant::Variant(unsigned char value) : type_(varByte), int_(value) {}
Variant::Variant(short value) : type_(varSmallint), int_(value) {}
Variant::Variant(unsigned short value) : type_(varWord), int_(value) {}
Variant::Variant(int value) : type_(varInteger), int_(value) {}
Variant::Variant(unsigned value) : type_(varLongWord), int_(value) {}
Variant::Variant(long value) : type_(varInt64), int_(value) {}
Variant::Variant(long long value) : type_(varInt64), int_(value) {}
Variant::Variant(float value) : type_(varSingle), real_(value) {}
Variant::Variant(double value) : type_(varDouble), real_(value) {}
Variant::Variant(const char* value) : type_(varString), text_(value ? value : "") {}
Variant::Variant(std::string value) : type_(varString), text_(std::move(value)) {}

// Values beyond the 64-bit signed range can only be kept as a real.
Variant::Variant(unsigned long value)
{
    if (value <= static_cast<unsigned long>(std::numeric_limits<std::int64_t>::max())) {
        type_ = varInt64;
        int_ = static_cast<std::int64_t>(value);
    } else {
        type_ = varDouble;
        real_ = static_cast<double>(value);
    }
}

Variant::operator bool() const
{
    return VariantOps::ToBoolean(*this);
}

Variant::operator int() const
{
    return static_cast<int>(VariantOps::ToIntegerInRange(*this, INT32_MIN, INT32_MAX));
}

Variant::operator std::int64_t() const
{
    return VariantOps::ToInt64(*this);
}

Variant::operator double() const
{
    return VariantOps::ToDouble(*this);
}

Variant::operator std::string() const
{
    if (type_ == varNull)
        RaiseConversion();
    return VariantOps::ToText(*this);
}

Variant Variant::operator[](int index) const
{
    return VariantOps::Get(*this, index);
}

Variant Null()
{
    return VariantOps::Make(varNull);
}

Variant Unassigned()
{
    return Variant();
}

Variant VarFromCurrency(double value)
{
    return VariantOps::MakeReal(value, varCurrency);
}

Variant VarFromDateTime(double value)
{
    return VariantOps::MakeReal(value, varDate);
}

// --- queries and conversions -------------------------------------------------------------------

TVarType VarType(const Variant& value)
{
    return VariantOps::Type(value);
}

bool VarIsNull(const Variant& value)
{
    return VariantOps::Type(value) == varNull;
}

bool VarIsEmpty(const Variant& value)
{
    return VariantOps::Type(value) == varEmpty;
}

bool VarIsArray(const Variant& value)
{
    return VariantOps::IsArray(value);
}

std::string VarToStr(const Variant& value)
{
    return VariantOps::ToText(value);
}

double VarToDateTime(const Variant& value)
{
    if (VarIsNull(value) || VarIsArray(value))
        RaiseConversion();
    return VariantOps::ToDateTime(value);
}

Variant VarAsType(const Variant& value, TVarType varType)
{
    return VariantOps::AsType(value, varType);
}

// --- operators ---------------------------------------------------------------------------------

Variant operator+(const Variant& left, const Variant& right)
{
    return VariantOps::Arithmetic('+', left, right);
}

Variant operator-(const Variant& left, const Variant& right)
{
    return VariantOps::Arithmetic('-', left, right);
}

Variant operator*(const Variant& left, const Variant& right)
{
    return VariantOps::Arithmetic('*', left, right);
}

Variant operator/(const Variant& left, const Variant& right)
{
    return VariantOps::Arithmetic('/', left, right);
}

Variant operator-(const Variant& value)
{
    return VariantOps::Negate(value);
}

Variant VarDiv(const Variant& left, const Variant& right)
{
    return VariantOps::IntegerDivision(false, left, right);
}

Variant VarMod(const Variant& left, const Variant& right)
{
    return VariantOps::IntegerDivision(true, left, right);
}

TVariantRelationship VarCompareValue(const Variant& left, const Variant& right)
{
    return VariantOps::Compare(left, right);
}

bool operator==(const Variant& left, const Variant& right)
{
    return VarCompareValue(left, right) == vrEqual;
}

bool operator!=(const Variant& left, const Variant& right)
{
    return VarCompareValue(left, right) != vrEqual;
}

bool operator<(const Variant& left, const Variant& right)
{
    return VarCompareValue(left, right) == vrLessThan;
}

bool operator<=(const Variant& left, const Variant& right)
{
    const TVariantRelationship relation = VarCompareValue(left, right);
    return relation == vrLessThan || relation == vrEqual;
}

bool operator>(const Variant& left, const Variant& right)
{
    return VarCompareValue(left, right) == vrGreaterThan;
}

bool operator>=(const Variant& left, const Variant& right)
{
    const TVariantRelationship relation = VarCompareValue(left, right);
    return relation == vrGreaterThan || relation == vrEqual;
}

// --- arrays ------------------------------------------------------------------------------------

Variant VarArrayCreate(const std::vector<int>& bounds, TVarType varType)
{
    return VariantOps::CreateArray(bounds, varType);
}

Variant VarArrayOf(const std::vector<Variant>& values)
{
    return VariantOps::CreateArrayOf(values);
}

int VarArrayDimCount(const Variant& value)
{
    return VarIsArray(value) ? 1 : 0;
}

int VarArrayLowBound(const Variant& array, int dim)
{
    VariantOps::CheckArray(array);
    if (dim != 1)
        RAISE(EVariantError(BadIndex));
    return VariantOps::LowBound(array);
}

int VarArrayHighBound(const Variant& array, int dim)
{
    return VarArrayLowBound(array, dim) + VariantOps::Count(array) - 1;
}

Variant VarArrayGet(const Variant& array, int index)
{
    return VariantOps::Get(array, index);
}

void VarArrayPut(Variant& array, const Variant& value, int index)
{
    VariantOps::Put(array, value, index);
}

void* VarArrayLock(Variant& array)
{
    return VariantOps::Lock(array);
}

const void* VarArrayLock(const Variant& array)
{
    return VariantOps::Lock(array);
}

void VarArrayUnlock(const Variant& array)
{
    VariantOps::CheckArray(array);
}
