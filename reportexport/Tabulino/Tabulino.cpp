// The spreadsheet library the export commands load as Libs\Tabulino.dll: one workbook at a time,
// written by the report exporter's worksheet writer. No exception leaves the library; a call that
// fails answers 0.

#include "reportexport/Tabulino/TabulinoApi.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "reportexport/mxNativeExcel.h"

#include <memory>
#include <sstream>

#define TABULINO_EXPORT __attribute__((visibility("default")))

namespace {

std::unique_ptr<TmxNativeExcel>& Cartella()
{
    static std::unique_ptr<TmxNativeExcel> cartella;
    return cartella;
}

// The borders and shading of a comma-separated list of style words.
void ImpostaStile(TmxNativeExcel& foglio, const char* stile)
{
    foglio.Borders = mxNativeExcel::TmxExcelBorderSet();
    foglio.Shading = false;
    std::istringstream parole(stile ? stile : "");
    for (std::string parola; std::getline(parole, parola, ',');) {
        if (parola == "BorderLeft")
            foglio.Borders.Include(mxNativeExcel::ebLeft);
        else if (parola == "BorderRight")
            foglio.Borders.Include(mxNativeExcel::ebRight);
        else if (parola == "BorderTop")
            foglio.Borders.Include(mxNativeExcel::ebTop);
        else if (parola == "BorderBottom")
            foglio.Borders.Include(mxNativeExcel::ebBottom);
        else if (parola == "Shaded")
            foglio.Shading = true;
    }
}

template <class TScrittura>
int Cella(int row, int column, const char* borders, TScrittura scrivi)
{
    TmxNativeExcel* foglio = Cartella().get();
    if (!foglio)
        return 0;
    try {
        ImpostaStile(*foglio, borders);
        scrivi(*foglio, row, column);
        return 1;
    } catch (...) {
        return 0;
    }
}

} // namespace

// The font descriptor and the format argument are accepted and left unused: the writer has no
// font or format records.

TABULINO_EXPORT int TabulinoXlsInit(const char*)
{
    try {
        Cartella() = std::make_unique<TmxNativeExcel>(nullptr);
        Cartella()->BeginFile();
        return 1;
    } catch (...) {
        Cartella().reset();
        return 0;
    }
}

TABULINO_EXPORT int TabulinoAddStringCell(int row, int column, const char* borders, const char*, int,
                                          const char* text)
{
    return Cella(row, column, borders, [text](TmxNativeExcel& foglio, int r, int c) {
        foglio.WriteTextCell(r, c, text ? text : "");
    });
}

TABULINO_EXPORT int TabulinoAddIntegerCell(int row, int column, const char* borders, const char*, int,
                                           int value)
{
    return Cella(row, column, borders, [value](TmxNativeExcel& foglio, int r, int c) {
        foglio.WriteNumberCell(r, c, value);
    });
}

TABULINO_EXPORT int TabulinoAddDoubleCell(int row, int column, const char* borders, const char*, int,
                                          double value)
{
    return Cella(row, column, borders, [value](TmxNativeExcel& foglio, int r, int c) {
        foglio.WriteNumberCell(r, c, value);
    });
}

TABULINO_EXPORT int TabulinoSaveToFile(const char* fileName)
{
    TmxNativeExcel* foglio = Cartella().get();
    if (!foglio || !fileName)
        return 0;
    try {
        foglio->EndFile();
        TMemoryStream* dati = foglio->Buffer();
        WriteFileAtomically(fileName, std::string_view(static_cast<const char*>(dati->Memory()),
                                                       static_cast<std::size_t>(dati->Size())));
        return 1;
    } catch (...) {
        return 0;
    }
}

TABULINO_EXPORT int TabulinoXlsDeinit()
{
    Cartella().reset();
    return 1;
}
