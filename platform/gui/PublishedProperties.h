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

// An integer or boolean property read and written through a class's getter and setter.
template <class C>
TPropInfo IntProp(const char* Name, int (C::*Get)() const, void (C::*Set)(int))
{
    return OrdProp<C>(
        Name, TypeInfoInteger(), [Get](C& c) -> std::int64_t { return (c.*Get)(); },
        [Set](C& c, std::int64_t v) { (c.*Set)(static_cast<int>(v)); });
}

template <class C>
TPropInfo BoolProp(const char* Name, bool (C::*Get)() const, void (C::*Set)(bool))
{
    return OrdProp<C>(
        Name, TypeInfoBoolean(), [Get](C& c) -> std::int64_t { return (c.*Get)(); },
        [Set](C& c, std::int64_t v) { (c.*Set)(v != 0); });
}
