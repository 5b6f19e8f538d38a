#pragma once
// Number formatting and parsing, and Format, with the class library's rules.

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/FormatSettings.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// One argument of Format: an integer, a real, a text, a character or a pointer.
struct TVarRec {
    enum TKind { vtInteger, vtInt64, vtExtended, vtString, vtChar, vtPointer, vtBoolean };

    TVarRec(int value) : Kind(vtInteger), Int(value) {}
    TVarRec(unsigned value) : Kind(vtInt64), Int(value) {}
    TVarRec(long value) : Kind(vtInt64), Int(value) {}
    TVarRec(unsigned long value) : Kind(vtInt64), Int(static_cast<std::int64_t>(value)) {}
    TVarRec(long long value) : Kind(vtInt64), Int(value) {}
    TVarRec(unsigned long long value) : Kind(vtInt64), Int(static_cast<std::int64_t>(value)) {}
    TVarRec(double value) : Kind(vtExtended), Real(value) {}
    TVarRec(char value) : Kind(vtChar), Text(&CharValue, 1), CharValue(value) {}
    TVarRec(bool value) : Kind(vtBoolean), Int(value) {}
    TVarRec(const char* value) : Kind(vtString), Text(value ? value : "") {}
    TVarRec(const std::string& value) : Kind(vtString), Text(value) {}
    TVarRec(std::string_view value) : Kind(vtString), Text(value) {}
    TVarRec(const void* value) : Kind(vtPointer), Pointer(value) {}

    TVarRec(const TVarRec& other) { *this = other; }
    TVarRec& operator=(const TVarRec& other)
    {
        Kind = other.Kind;
        Int = other.Int;
        Real = other.Real;
        Pointer = other.Pointer;
        CharValue = other.CharValue;
        Text = Kind == vtChar ? std::string_view(&CharValue, 1) : other.Text;
        return *this;
    }

    TKind Kind;
    std::int64_t Int = 0;
    double Real = 0;
    std::string_view Text; // refers to the caller's text, valid for the call
    const void* Pointer = nullptr;
    char CharValue = 0;
};

// Directives %d %u %e %f %g %n %m %p %s %x with [index:] [-] [width] [.precision], '*' taking
// width or precision from the arguments, and %% for a percent sign. A directive that does not
// fit its argument raises EConvertError "Format '...' invalid or incompatible with argument".
std::string Format(const std::string& format, std::initializer_list<TVarRec> args,
                   const TFormatSettings& settings = FormatSettings());
std::string Format(const std::string& format, const std::vector<TVarRec>& args,
                   const TFormatSettings& settings = FormatSettings());

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Decimal output rounds half away from zero on the value's decimal expansion taken to the
// precision in force: 15 significant digits, or the precision given (up to 17).
std::string FloatToStr(double value, const TFormatSettings& settings = FormatSettings());
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& settings = FormatSettings());
std::string FormatFloat(const std::string& format, double value,
                        const TFormatSettings& settings = FormatSettings());

// Currency values keep four decimals, rounded to the nearest (halves to even) before output.
std::string CurrToStr(double value, const TFormatSettings& settings = FormatSettings());
std::string CurrToStrF(double value, TFloatFormat format, int digits,
                       const TFormatSettings& settings = FormatSettings());

// Text to number: blanks around it allowed, the settings' decimal separator, no thousands
// separators, an optional exponent. StrToFloat raises EConvertError
// "'...' is not a valid floating point value".
bool TextToFloat(const std::string& text, double& value,
                 const TFormatSettings& settings = FormatSettings());
bool TryStrToFloat(const std::string& text, double& value,
                   const TFormatSettings& settings = FormatSettings());
double StrToFloat(const std::string& text, const TFormatSettings& settings = FormatSettings());
double StrToFloatDef(const std::string& text, double defaultValue,
                     const TFormatSettings& settings = FormatSettings());
bool TryStrToCurr(const std::string& text, double& value,
                  const TFormatSettings& settings = FormatSettings());
double StrToCurr(const std::string& text, const TFormatSettings& settings = FormatSettings());
double StrToCurrDef(const std::string& text, double defaultValue,
                    const TFormatSettings& settings = FormatSettings());

// Round halves to even; Trunc cuts toward zero.
std::int64_t Round(double value);
std::int64_t Trunc(double value);
double Int(double value);
double Frac(double value);
