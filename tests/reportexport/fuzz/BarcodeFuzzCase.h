#pragma once
// One run of the barcode fuzz target: the first byte picks the symbology (its low four bits; 15
// is no symbology), the check flag (bit 4) and the module (1 + the top three bits); the other
// bytes are the text. Making the bars either gives a bar string of known characters whose width
// is positive, or raises one of the engine's own errors for that symbology; anything else aborts
// the run.

#include "reportexport/Barcode.h"

#include "platform/rtl/Exceptions.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace BarcodeFuzz {

inline bool IsBarCharacter(char c)
{
    return (c >= '0' && c <= '3') || (c >= '5' && c <= '8') || (c >= 'A' && c <= 'D');
}

inline bool IsEan(int type)
{
    return type == Barcode::bcCodeEAN8 || type == Barcode::bcCodeEAN13;
}

inline bool ExpectedError(const Exception& error, int type, const std::string& text)
{
    const std::string message = error.Message;
    if (error.ClassName() == "EConvertError")
        return IsEan(type) && message.size() == 32 && message[0] == '\'' &&
               message.compare(2, std::string::npos, "' is not a valid integer value") == 0;
    if (error.ClassName() != "Exception")
        return false;
    if (type == 15)
        return message == "TBarcode: wrong BarcodeType";
    if (type == Barcode::bcCode93)
        return message == "TBarcode:Code93 bad Data <" + text + ">";
    return type != Barcode::bcCode39 && type != Barcode::bcCode39Extended && type != Barcode::bcCode128A &&
           type != Barcode::bcCode128B && type != Barcode::bcCode93Extended &&
           message == "TBarcode: bad Data <" + text + ">";
}

} // namespace BarcodeFuzz

inline void RunBarcodeFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return;
    const int type = data[0] & 15;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    TBarcode barcode(nullptr);
    barcode.SetTyp(static_cast<TBarcodeType>(type));
    barcode.SetChecksum((data[0] & 16) != 0);
    barcode.SetModul(1 + (data[0] >> 5));
    barcode.SetText(text);
    try {
        const std::string bars = barcode.MakeData();
        for (char c : bars)
            if (!BarcodeFuzz::IsBarCharacter(c))
                std::abort();
        if (bars.empty() || barcode.GetWidth() <= 0)
            std::abort();
    } catch (const Exception& error) {
        if (!BarcodeFuzz::ExpectedError(error, type, text))
            std::abort();
    }
    if (barcode.Text() != text)
        std::abort();
}
