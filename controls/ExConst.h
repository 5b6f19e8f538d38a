#pragma once
// The control library's texts by number, and its two extra cursors.

#include "controls/ExCConst.h"

#include <string>

constexpr int SInvalidFloatOperation1 = 61150;
constexpr int SInvalidFloatOperation2 = 61151;
constexpr int SInvalidFloatOperation3 = 61152;
constexpr int SDivideByZero = 61153;
constexpr int SInvalidCondition = 61154;
constexpr int SSyntaxError = 61155;
constexpr int SSpeedbarEditHint = 61157;
constexpr int SSpeedbarCategories = 61158;
constexpr int SSpeedbarAvailButtons = 61159;
constexpr int SCustomizeSpeedbar = 61160;
constexpr int SClipboardEmpty = 61161;
constexpr int SClipboardUnknownFormat = 61162;
constexpr int SDestination = 61163;
constexpr int SSource = 61164;

// Cursor numbers of the screen's cursor table (TCursor values).
constexpr int crHandCursor = 14000; // a pointing hand
constexpr int crDragCursor = 14001; // a hand dragging

// The library's text of a number; "" for a number the library has no text for.
std::string ExLoadStr(int id);

// Puts the hand cursors into the screen's cursor table under crHandCursor and crDragCursor. Only
// the first call does anything; the program calls it at start, and every control that shows
// these cursors calls it first. Needs the application's Qt side (Application->Initialize()).
void InstallExCursors();
