#include "reportexport/Barcode.h"

#include "platform/gui/Canvas.h"
#include "platform/rtl/Formats.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

namespace Barcode {
namespace {

// The five elements of each digit in the 2-of-5 symbologies, "1" for a wide one.
const char* const TwoOfFive[10] = {"00110", "10001", "01001", "11000", "00101",
                                   "10100", "01100", "00011", "10010", "01010"};

struct TCode39Row {
    char Character;
    const char* Bars; // bar string: "5"/"6" narrow/wide bar, "0"/"1" narrow/wide space
    int Value;        // check value
};

const TCode39Row Code39[44] = {
    {'0', "505160605", 0},  {'1', "605150506", 1},  {'2', "506150506", 2},  {'3', "606150505", 3},
    {'4', "505160506", 4},  {'5', "605160505", 5},  {'6', "506160505", 6},  {'7', "505150606", 7},
    {'8', "605150605", 8},  {'9', "506150605", 9},  {'A', "605051506", 10}, {'B', "506051506", 11},
    {'C', "606051505", 12}, {'D', "505061506", 13}, {'E', "605061505", 14}, {'F', "506061505", 15},
    {'G', "505051606", 16}, {'H', "605051605", 17}, {'I', "506051605", 18}, {'J', "505061605", 19},
    {'K', "605050516", 20}, {'L', "506050516", 21}, {'M', "606050515", 22}, {'N', "505060516", 23},
    {'O', "605060515", 24}, {'P', "506060515", 25}, {'Q', "505050616", 26}, {'R', "605050615", 27},
    {'S', "506050615", 28}, {'T', "505060615", 29}, {'U', "615050506", 30}, {'V', "516050506", 31},
    {'W', "616050505", 32}, {'X', "515060506", 33}, {'Y', "615060505", 34}, {'Z', "516060505", 35},
    {'-', "515050606", 36}, {'.', "615050605", 37}, {' ', "516050605", 38}, {'*', "515060605", 0},
    {'$', "515151505", 39}, {'/', "515150515", 40}, {'+', "515051515", 41}, {'%', "505151515", 42},
};

// The full-ASCII sequences of codes 0 to 127 written with the Code 39 shift characters $ % / +.
// Code 93 uses the same sequences with its own four shift characters.
const char* const FullAscii[128] = {
    "%U", "$A", "$B", "$C", "$D", "$E", "$F", "$G", "$H", "$I", "$J", "$K", "$L", "$M", "$N", "$O",
    "$P", "$Q", "$R", "$S", "$T", "$U", "$V", "$W", "$X", "$Y", "$Z", "%A", "%B", "%C", "%D", "%E",
    " ",  "/A", "/B", "/C", "/D", "/E", "/F", "/G", "/H", "/I", "/J", "/K", "/L", "-",  ".",  "/O",
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "/Z", "%F", "%G", "%H", "%I", "%J",
    "%V", "A",  "B",  "C",  "D",  "E",  "F",  "G",  "H",  "I",  "J",  "K",  "L",  "M",  "N",  "O",
    "P",  "Q",  "R",  "S",  "T",  "U",  "V",  "W",  "X",  "Y",  "Z",  "%K", "%L", "%M", "%N", "%O",
    "%W", "+A", "+B", "+C", "+D", "+E", "+F", "+G", "+H", "+I", "+J", "+K", "+L", "+M", "+N", "+O",
    "+P", "+Q", "+R", "+S", "+T", "+U", "+V", "+W", "+X", "+Y", "+Z", "%P", "%Q", "%R", "%S", "%T",
};

// Code 128 width patterns (bar first) in value order 0 to 102. Code set A reads the characters
// 32 to 95 as values 0 to 63, code set B the characters 32 to 126 as values 0 to 94, code set C
// the digit pairs 00 to 99 as their number; the other values are control and function codes.
const char* const Code128[103] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131",
};
const char* const Code128StartA = "211412";
const char* const Code128StartB = "211214";
const char* const Code128StartC = "211232";
const char* const Code128Stop = "2331112";

// Code 93 characters in value order; "[", "]", "{" and "}" stand for the shift characters ($),
// (%), (/) and (+).
const char Code93Characters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%[]{}";
const char* const Code93[47] = {
    "131112", "111213", "111312", "111411", "121113", "121212", "121311", "111114", "131211", "141111",
    "211113", "211212", "211311", "221112", "221211", "231111", "112113", "112212", "112311", "122112",
    "132111", "111123", "111222", "111321", "121122", "131121", "212112", "212211", "211122", "211221",
    "221121", "222111", "112122", "112221", "122121", "123111", "121131", "311112", "311211", "321111",
    "112131", "113121", "211131", "121221", "312111", "311121", "122211",
};
const char* const Code93Start = "111141";
const char* const Code93Stop = "1111411";

struct TCodabarRow {
    char Character;
    const char* Bars;
};

const TCodabarRow Codabar[20] = {
    {'1', "5050615"}, {'2', "5051506"}, {'3', "6150505"}, {'4', "5060515"}, {'5', "6050515"},
    {'6', "5150506"}, {'7', "5150605"}, {'8', "5160505"}, {'9', "6051505"}, {'0', "5050516"},
    {'-', "5051605"}, {'$', "5061505"}, {':', "6050606"}, {'/', "6060506"}, {'.', "6060605"},
    {'+', "5060606"}, {'A', "5061515"}, {'B', "5151506"}, {'C', "5051516"}, {'D', "5051615"},
};

// EAN/UPC code sets as bar strings: A (odd parity) and B (even parity) start with a space, C
// (right half) with a bar.
const char* const EanSetA[10] = {"2605", "1615", "1516", "0805", "0526", "0625", "0508", "0706", "0607", "2506"};
const char* const EanSetB[10] = {"0517", "0616", "1606", "0535", "1705", "0715", "3505", "1525", "2515", "1507"};
const char* const EanSetC[10] = {"7150", "6160", "6061", "5350", "5071", "5170", "5053", "5251", "5152", "7051"};

// The code sets of EAN-13 digits 2 to 7, chosen by the first digit.
const char* const EanParity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                   "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};

// PostNet digits: "1" for a full bar, "0" for a short one.
const char* const PostNet[10] = {"11000", "00011", "00101", "00110", "01001",
                                 "01010", "01100", "10001", "10010", "10100"};

const char* const TypeNames[15] = {
    "2_5_interleaved", "2_5_industrial", "2_5_matrix", "Code39",  "Code39 Extended",
    "Code128A",        "Code128B",       "Code128C",   "Code93",  "Code93 Extended",
    "MSI",             "PostNet",        "Codebar",    "EAN8",    "EAN13",
};

// Module width 1 stays within this, whatever Ratio a stored object brings, so that no sum of
// widths can overflow.
constexpr double MaxModuleWidth = 10000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitOf(char c) { return c - '0'; }

// Bar-string characters of a width pattern: odd positions are bars, even positions spaces, and
// the widths 1 to 4 select module widths 0 to 3.
std::string WidthsToBars(const char* widths)
{
    std::string bars;
    for (int i = 0; widths[i] != 0; ++i)
        bars += static_cast<char>(widths[i] - '1' + (i % 2 == 0 ? '5' : '0'));
    return bars;
}

const TCode39Row* FindCode39(char c)
{
    for (const TCode39Row& row : Code39)
        if (row.Character == c)
            return &row;
    return nullptr;
}

const TCodabarRow* FindCodabar(char c)
{
    for (const TCodabarRow& row : Codabar)
        if (row.Character == c)
            return &row;
    return nullptr;
}

int FindCode93(char c)
{
    const char* found = c == 0 ? nullptr : std::strchr(Code93Characters, c);
    return found ? static_cast<int>(found - Code93Characters) : -1;
}

// The value of a character in code set A or B; a character the set does not hold becomes the
// space (value 0).
int Code128Value(unsigned char c, bool setA)
{
    const int last = setA ? 95 : 126;
    return c >= 32 && c <= last ? c - 32 : 0;
}

// The full-ASCII expansion of text; characters from code 128 up are dropped. code93 writes the
// shift characters as Code 93 does.
std::string ExpandFullAscii(const std::string& text, bool code93)
{
    std::string expanded;
    for (char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= 128)
            continue;
        std::string sequence = FullAscii[code];
        if (code93 && sequence.size() == 2) {
            switch (sequence[0]) {
            case '$': sequence[0] = '['; break;
            case '%': sequence[0] = ']'; break;
            case '/': sequence[0] = '{'; break;
            default: sequence[0] = '}'; break;
            }
        }
        expanded += sequence;
    }
    return expanded;
}

// Digits weighted 3, 1, 3, ... from the rightmost leftwards.
char EanCheckDigit(const std::string& digits)
{
    int sum = 0;
    int weight = 3;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        sum += DigitOf(*it) * weight;
        weight = 4 - weight;
    }
    const int rest = sum % 10;
    return static_cast<char>('0' + (rest == 0 ? 0 : 10 - rest));
}

// The MSI modulo 10 check: from the rightmost digit leftwards every second digit, starting with
// the rightmost, is doubled; the digits of the products and the other digits are added.
char MsiCheckDigit(const std::string& digits)
{
    int sum = 0;
    bool doubled = true;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        const int value = DigitOf(*it) * (doubled ? 2 : 1);
        sum = (sum + value / 10 + value % 10) % 10;
        doubled = !doubled;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string MsiDigit(char digit)
{
    std::string bars;
    const int value = DigitOf(digit);
    for (int bit = 3; bit >= 0; --bit)
        bars += (value >> bit) & 1 ? "60" : "51";
    return bars;
}

// Restores the canvas's font, pen and brush when painting ends, also through an exception.
class TCanvasToolsKeeper {
public:
    explicit TCanvasToolsKeeper(TCanvas* canvas) : FCanvas(canvas)
    {
        FFont.Assign(canvas->Font());
        FPen.Assign(canvas->Pen());
        FBrush.Assign(canvas->Brush());
    }
    ~TCanvasToolsKeeper()
    {
        FCanvas->SetFont(&FFont);
        FCanvas->SetPen(&FPen);
        FCanvas->SetBrush(&FBrush);
    }
    TCanvasToolsKeeper(const TCanvasToolsKeeper&) = delete;
    TCanvasToolsKeeper& operator=(const TCanvasToolsKeeper&) = delete;

private:
    TCanvas* FCanvas;
    TFont FFont;
    TPen FPen;
    TBrush FBrush;
};

int ClampToInt(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// True when a polygon painted with the canvas's pen and brush, both of one colour, covers
// exactly the pixels inside and on its outline, which filling the rectangle does too.
bool PlainTools(TCanvas* canvas)
{
    TPen* pen = canvas->Pen();
    TBrush* brush = canvas->Brush();
    return pen->Style() == psSolid && pen->Mode() == pmCopy && pen->Width() <= 1 &&
           brush->Style() == bsSolid && brush->Bitmap() == nullptr;
}

struct TBarElement {
    int Width = 0;
    TBarLineType LineType = white;
};

using TBarCorners = std::array<TPoint, 4>;

// Where the elements land: x runs along the bars, y down them, both turned by the angle about
// the origin (the y axis points down, so a positive angle turns counter-clockwise on screen).
class TBarPlacement {
public:
    TBarPlacement(double angle, int left, int top)
        : FCos(std::cos(angle * std::numbers::pi / 180.0)), FSin(std::sin(angle * std::numbers::pi / 180.0)),
          FLeft(left), FTop(top)
    {
    }

    // The corners of the element from x to end (excluded), height rows tall. The outline is
    // painted too, so the far corners lie on the last column and row.
    TBarCorners Corners(std::int64_t x, std::int64_t end, int height) const
    {
        return {Corner(x, 0), Corner(x, height - 1), Corner(end - 1, height - 1), Corner(end - 1, 0)};
    }

private:
    TPoint Corner(std::int64_t x, std::int64_t y) const
    {
        const double dx = static_cast<double>(x);
        const double dy = static_cast<double>(y);
        return TPoint{ClampToInt(Round(dx * FCos + dy * FSin) + FLeft),
                      ClampToInt(Round(-dx * FSin + dy * FCos) + FTop)};
    }

    double FCos;
    double FSin;
    int FLeft;
    int FTop;
};

// The rectangle (right and bottom excluded) whose outline runs through the four corners, when
// they lie on the axes; empty otherwise.
TRect AxisAlignedBox(const TBarCorners& corners)
{
    const bool upright = corners[0].X == corners[1].X && corners[2].X == corners[3].X &&
                         corners[0].Y == corners[3].Y && corners[1].Y == corners[2].Y;
    const bool lying = corners[0].Y == corners[1].Y && corners[2].Y == corners[3].Y &&
                       corners[0].X == corners[3].X && corners[1].X == corners[2].X;
    if (!upright && !lying)
        return TRect{};
    const auto [left, right] = std::minmax(corners[0].X, corners[2].X);
    const auto [top, bottom] = std::minmax(corners[0].Y, corners[2].Y);
    if (right == INT_MAX || bottom == INT_MAX)
        return TRect{};
    return Rect(left, top, right + 1, bottom + 1);
}

} // namespace
} // namespace Barcode

using namespace Barcode;

TBarcode::TBarcode(TComponent* AOwner) : TComponent(AOwner) {}

void TBarcode::SetModul(int value)
{
    if (value >= 1 && value < 50)
        FModul = value;
}

std::string TBarcode::GetTypText() const
{
    const auto index = static_cast<unsigned>(FTyp);
    return index < 15 ? TypeNames[index] : "";
}

void TBarcode::MakeModules()
{
    double lowest = 0;
    switch (FTyp) {
    case bcCode_2_5_matrix:
        lowest = 2.25;
        break;
    case bcCode_2_5_interleaved:
    case bcCode_2_5_industrial:
    case bcCode39:
    case bcCode39Extended:
    case bcCodeCodabar:
    case bcCodeEAN8:
    case bcCodeEAN13:
        lowest = 2.0;
        break;
    default:
        break;
    }
    if (lowest > 0) {
        if (!(FRatio >= lowest)) // below, or not a number
            FRatio = lowest;
        else if (FRatio > 3.0)
            FRatio = 3.0;
    }
    double wide = FModul * FRatio;
    if (!(wide >= 0)) // negative or not a number
        wide = 0;
    wide = std::min(wide, MaxModuleWidth);
    FModules[0] = FModul;
    FModules[1] = static_cast<int>(Round(wide));
    FModules[2] = static_cast<int>(Trunc(FModules[1] * 3 / 2.0));
    FModules[3] = FModules[1] * 2;
}

void TBarcode::OneBarProps(char code, int& width, TBarLineType& lineType) const
{
    if (code >= '0' && code <= '3') {
        width = FModules[code - '0'];
        lineType = white;
    } else if (code >= '5' && code <= '8') {
        width = FModules[code - '5'];
        lineType = black;
    } else if (code >= 'A' && code <= 'D') {
        width = FModules[code - 'A'];
        lineType = black_half;
    } else {
        RAISE(Exception(Format("%s: internal Error", {ClassName()})));
    }
}

void TBarcode::BadData() const
{
    RAISE(Exception(Format("%s: bad Data <%s>", {ClassName(), FText})));
}

void TBarcode::RequireDigits() const
{
    for (char c : FText)
        if (!IsDigit(c))
            BadData();
}

std::string TBarcode::MakeData()
{
    MakeModules();
    switch (FTyp) {
    case bcCode_2_5_interleaved: return Code_2_5_interleaved();
    case bcCode_2_5_industrial: return Code_2_5_industrial();
    case bcCode_2_5_matrix: return Code_2_5_matrix();
    case bcCode39: return Code_39(FText);
    case bcCode39Extended: return Code_39Extended();
    case bcCode128A:
    case bcCode128B:
    case bcCode128C: return Code_128();
    case bcCode93: return Code_93(FText);
    case bcCode93Extended: return Code_93Extended();
    case bcCodeMSI: return Code_MSI();
    case bcCodePostNet: return Code_PostNet();
    case bcCodeCodabar: return Code_Codabar();
    case bcCodeEAN8: return Code_EAN8();
    case bcCodeEAN13: return Code_EAN13();
    }
    RAISE(Exception(Format("%s: wrong BarcodeType", {ClassName()})));
}

int TBarcode::GetWidth()
{
    std::int64_t total = 0;
    for (char code : MakeData()) {
        int width = 0;
        TBarLineType lineType = white;
        OneBarProps(code, width, lineType);
        total += width;
    }
    return ClampToInt(total);
}

std::string TBarcode::Code_2_5_interleaved() const
{
    RequireDigits();
    std::string data = "5050";
    for (std::size_t i = 0; i + 1 < FText.size(); i += 2) {
        const char* bars = TwoOfFive[DigitOf(FText[i])];
        const char* spaces = TwoOfFive[DigitOf(FText[i + 1])];
        for (int element = 0; element < 5; ++element) {
            data += bars[element] == '1' ? '6' : '5';
            data += spaces[element] == '1' ? '1' : '0';
        }
    }
    return data + "605";
}

std::string TBarcode::Code_2_5_industrial() const
{
    RequireDigits();
    std::string data = "606050";
    for (char c : FText)
        for (int element = 0; element < 5; ++element)
            data += TwoOfFive[DigitOf(c)][element] == '1' ? "60" : "50";
    return data + "605060";
}

std::string TBarcode::Code_2_5_matrix() const
{
    RequireDigits();
    std::string data = "705050";
    for (char c : FText) {
        const char* pattern = TwoOfFive[DigitOf(c)];
        for (int element = 0; element < 5; ++element) {
            const bool wide = pattern[element] == '1';
            if (element % 2 == 0)
                data += wide ? '6' : '5';
            else
                data += wide ? '1' : '0';
        }
        data += '0';
    }
    return data + "70505";
}

std::string TBarcode::Code_39(const std::string& text) const
{
    std::string data = std::string(FindCode39('*')->Bars) + "0";
    int checkSum = 0;
    for (char c : text) {
        const TCode39Row* row = FindCode39(c);
        if (row == nullptr)
            continue;
        data += row->Bars;
        data += '0';
        checkSum = (checkSum + row->Value) % 43;
    }
    if (FCheckSum) {
        for (const TCode39Row& row : Code39)
            if (row.Value == checkSum) {
                data += row.Bars;
                data += '0';
                break;
            }
    }
    return data + FindCode39('*')->Bars;
}

std::string TBarcode::Code_39Extended() const
{
    return Code_39(ExpandFullAscii(FText, false));
}

std::string TBarcode::Code_128() const
{
    std::string data;
    int checkSum = 0;
    if (FTyp == bcCode128C) {
        for (std::size_t i = 0; i + 1 < FText.size(); i += 2)
            if (!IsDigit(FText[i]) || !IsDigit(FText[i + 1]))
                BadData();
        data = WidthsToBars(Code128StartC);
        checkSum = 105;
        for (std::size_t i = 0; i + 1 < FText.size(); i += 2) {
            const int value = DigitOf(FText[i]) * 10 + DigitOf(FText[i + 1]);
            data += WidthsToBars(Code128[value]);
            checkSum += value * static_cast<int>(i / 2 + 1);
            checkSum %= 103;
        }
    } else {
        const bool setA = FTyp == bcCode128A;
        data = WidthsToBars(setA ? Code128StartA : Code128StartB);
        checkSum = setA ? 103 : 104;
        for (std::size_t i = 0; i < FText.size(); ++i) {
            const int value = Code128Value(static_cast<unsigned char>(FText[i]), setA);
            data += WidthsToBars(Code128[value]);
            // Reduced as it goes: the remainder is the same and long texts cannot overflow.
            checkSum = static_cast<int>((checkSum + value * ((i + 1) % 103)) % 103);
        }
    }
    data += WidthsToBars(Code128[checkSum % 103]);
    return data + WidthsToBars(Code128Stop);
}

std::string TBarcode::Code_93(const std::string& text) const
{
    std::vector<int> values;
    for (char c : text) {
        const int value = FindCode93(c);
        if (value < 0)
            RAISE(Exception(Format("%s:Code93 bad Data <%s>", {ClassName(), FText})));
        values.push_back(value);
    }
    int sumC = 0;
    int sumK = 0;
    int weightC = 1;
    int weightK = 2;
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        sumC = (sumC + *it * weightC) % 47;
        sumK = (sumK + *it * weightK) % 47;
        weightC = weightC == 20 ? 1 : weightC + 1;
        weightK = weightK == 15 ? 1 : weightK + 1;
    }
    const int checkC = sumC;
    const int checkK = (sumC + sumK) % 47;
    std::string data = WidthsToBars(Code93Start);
    for (int value : values)
        data += WidthsToBars(Code93[value]);
    data += WidthsToBars(Code93[checkC]);
    data += WidthsToBars(Code93[checkK]);
    return data + WidthsToBars(Code93Stop);
}

std::string TBarcode::Code_93Extended() const
{
    return Code_93(ExpandFullAscii(FText, true));
}

std::string TBarcode::Code_MSI() const
{
    RequireDigits();
    std::string data = "60";
    for (char c : FText)
        data += MsiDigit(c);
    data += MsiDigit(MsiCheckDigit(FText));
    return data + "515";
}

std::string TBarcode::Code_PostNet() const
{
    RequireDigits();
    std::string data = "51";
    for (char c : FText)
        for (int element = 0; element < 5; ++element) {
            data += PostNet[DigitOf(c)][element] == '1' ? '5' : 'A';
            data += '1';
        }
    return data + "5";
}

std::string TBarcode::Code_Codabar() const
{
    for (char c : FText)
        if (FindCodabar(c) == nullptr)
            BadData();
    std::string data = std::string(FindCodabar('A')->Bars) + "0";
    for (char c : FText) {
        data += FindCodabar(c)->Bars;
        data += '0';
    }
    return data + FindCodabar('B')->Bars;
}

std::string TBarcode::EanDigits(int length) const
{
    std::string digits = FText;
    if (FCheckSum) {
        digits = std::string(length, '0') + FText;
        digits = digits.substr(digits.size() - (length - 1));
    } else if (static_cast<int>(digits.size()) != length) {
        BadData();
    }
    for (char c : digits)
        if (!IsDigit(c))
            RAISE(EConvertError(Format("'%s' is not a valid integer value", {std::string(1, c)})));
    if (FCheckSum)
        digits += EanCheckDigit(digits);
    return digits;
}

std::string TBarcode::Code_EAN8() const
{
    const std::string digits = EanDigits(8);
    std::string data = "505";
    for (int i = 0; i < 4; ++i)
        data += EanSetA[DigitOf(digits[i])];
    data += "05050";
    for (int i = 4; i < 8; ++i)
        data += EanSetC[DigitOf(digits[i])];
    return data + "505";
}

std::string TBarcode::Code_EAN13() const
{
    const std::string digits = EanDigits(13);
    const char* parity = EanParity[DigitOf(digits[0])];
    std::string data = "505";
    for (int i = 1; i <= 6; ++i) {
        const char* const* set = parity[i - 1] == 'A' ? EanSetA : EanSetB;
        data += set[DigitOf(digits[i])];
    }
    data += "05050";
    for (int i = 7; i < 13; ++i)
        data += EanSetC[DigitOf(digits[i])];
    return data + "505";
}

void TBarcode::DrawBarcode(TCanvas* canvas)
{
    const std::string data = MakeData();
    TCanvasToolsKeeper keeper(canvas);
    DoLines(data, canvas);
    if (FShowText)
        DrawText(canvas);
}

void TBarcode::DoLines(const std::string& data, TCanvas* canvas)
{
    std::vector<TBarElement> elements;
    std::int64_t total = 0;
    bool shortBars = false;
    for (char code : data) {
        TBarElement element;
        OneBarProps(code, element.Width, element.LineType);
        elements.push_back(element);
        total += element.Width;
        shortBars = shortBars || element.LineType == black_half;
    }
    const TBarPlacement place(FAngle, FLeft, FTop);
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetColor(clWhite);
    canvas->Brush()->SetColor(clWhite);
    // Turned by quarters, the spaces and full bars tile one rectangle: painting it white and then
    // only the bars gives the same pixels with half the work.
    TRect whole;
    if (std::fmod(FAngle, 90.0) == 0 && !shortBars && total > 0 && FHeight > 0 && PlainTools(canvas))
        whole = AxisAlignedBox(place.Corners(0, total, FHeight));
    const bool spacesPainted = whole.Right > whole.Left;
    if (spacesPainted)
        canvas->FillRect(whole);
    std::int64_t x = 0;
    for (const TBarElement& element : elements) {
        x += element.Width;
        if (spacesPainted && element.LineType == white)
            continue;
        const TColor colour = element.LineType == white ? clWhite : clBlack;
        canvas->Pen()->SetColor(colour);
        canvas->Brush()->SetColor(colour);
        const int height = element.LineType == black_half ? FHeight * 2 / 5 : FHeight;
        if (element.Width <= 0 || height <= 0)
            continue;
        const TBarCorners corners = place.Corners(x - element.Width, x, height);
        // A polygon is drawn through a mask of its own; bars on the axes take the same pixels
        // far faster as rectangles.
        const TRect box = PlainTools(canvas) ? AxisAlignedBox(corners) : TRect{};
        if (box.Right > box.Left)
            canvas->FillRect(box);
        else
            canvas->Polygon({corners[0], corners[1], corners[2], corners[3]});
    }
}

void TBarcode::DrawText(TCanvas* canvas)
{
    canvas->Font()->SetSize(4);
    canvas->Pen()->SetColor(clBlack);
    canvas->Brush()->SetColor(clWhite);
    canvas->TextOut(FLeft, FTop, FText);
    canvas->TextOut(FLeft, FTop + 14, GetTypText());
}
