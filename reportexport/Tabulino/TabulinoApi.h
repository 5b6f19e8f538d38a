#pragma once
// The spreadsheet library's six entry points, for the library that defines them and the program
// that looks them up by name. Rows and columns count from 1; texts are 8-bit and zero-terminated;
// the results carry no meaning for the caller.

extern "C" {

using TTabulinoXlsInit = int (*)(const char* fileName);
using TTabulinoAddStringCell = int (*)(int row, int column, const char* borders, const char* font,
                                       int format, const char* text);
using TTabulinoAddIntegerCell = int (*)(int row, int column, const char* borders, const char* font,
                                        int format, int value);
using TTabulinoAddDoubleCell = int (*)(int row, int column, const char* borders, const char* font,
                                       int format, double value);
using TTabulinoSaveToFile = int (*)(const char* fileName);
using TTabulinoXlsDeinit = int (*)();

// The names begin with an underscore and a capital, which C++ keeps for itself: the definitions
// carry other names and these labels give the exported symbols.
int TabulinoXlsInit(const char* fileName) __asm__("_XlsInit");
int TabulinoAddStringCell(int row, int column, const char* borders, const char* font, int format,
                          const char* text) __asm__("_AddStringCell");
int TabulinoAddIntegerCell(int row, int column, const char* borders, const char* font, int format,
                           int value) __asm__("_AddIntegerCell");
int TabulinoAddDoubleCell(int row, int column, const char* borders, const char* font, int format,
                          double value) __asm__("_AddDoubleCell");
int TabulinoSaveToFile(const char* fileName) __asm__("_SaveToFile");
int TabulinoXlsDeinit() __asm__("_XlsDeinit");
}
