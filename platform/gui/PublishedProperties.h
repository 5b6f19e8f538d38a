#pragma once
// The published properties of the visual layer's classes, for the functions of
// platform/rtl/TypInfo.h: controls, windowed controls, fonts, panels, edits, memos, labels,
// progress bars and collections.

#include "platform/rtl/TypInfo.h"

// Registers them; the application does it when it is made, and only the first call does anything.
void RegisterPublishedProperties();

// The enumeration and set types of those properties, for code that reads their names.
PTypeInfo TypeInfoTAlign();
PTypeInfo TypeInfoTAnchors();
PTypeInfo TypeInfoTFontStyles();
