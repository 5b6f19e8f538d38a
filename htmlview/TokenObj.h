#pragma once
// A run of characters with the source position of each, one attribute of a tag, the viewer's
// owning list and the list of a tag's attributes, and the HTML colour parser.

#include "htmlview/Symbols.h"
#include "platform/gui/Colors.h"
#include "platform/rtl/Lists.h"

#include <cstdint>
#include <string>
#include <vector>

using IndexArray = std::vector<std::int32_t>;

// Characters of the document text together with where each one stands in that text, so that
// selection and search can map displayed text back to source positions.
class TokenObj : public TObject {
    TESS_CLASS(TokenObj, TObject)
public:
    TokenObj();

    // Appends one character with its source position.
    void AddChar(char Ch, int Ind);
    // Empties Chars; the positions storage stays for reuse.
    void Clear();
    // Appends all characters of T with their positions (T may be this token).
    void Concat(const TokenObj* T);

    std::string Chars;
    // Entry k is the source position of Chars[k]; Capacity entries, those beyond the length of
    // Chars are stale.
    IndexArray Positions;
    int Capacity = 0;

private:
    void GrowPositions(int NewCapacity);
};

class TAttribute : public TObject {
    TESS_CLASS(TAttribute, TObject)
public:
    TAttribute(Symb Sym, int ANumber, const std::string& AText)
        : Symbol(Sym), Number(ANumber), Text(AText)
    {
    }

    Symb Symbol;
    // The value read as a number, 0 when it is not one.
    int Number;
    // The value as read; empty when the attribute has none.
    std::string Text;
};

// A list that owns its objects: clearing or destroying it frees every item. Delete and Extract,
// inherited from TList, only take an item out and leave it to the caller.
class TFreeList : public TList {
    TESS_CLASS(TFreeList, TList)
public:
    TFreeList() = default;
    ~TFreeList() override;
    TFreeList(const TFreeList&) = delete;
    TFreeList& operator=(const TFreeList&) = delete;

    // Only objects go in, so that freeing sees them through their virtual destructor.
    int Add(TObject* Item) { return TList::Add(Item); }
    void Insert(int Index, TObject* Item) { TList::Insert(Index, Item); }
    // Frees every item, then empties the list.
    void Clear();

private:
    void FreeItems();
};

// The attributes of one tag in the order written, duplicates included.
class TAttributeList : public TFreeList {
    TESS_CLASS(TAttributeList, TFreeList)
public:
    TAttribute* Attribute(int Index) const
    {
        return static_cast<TAttribute*>(static_cast<TObject*>(Items(Index)));
    }
    // The first attribute whose symbol is Sy; false, with T untouched, when there is none.
    bool Find(Symb Sy, TAttribute*& T) const;
};

namespace PaneUn2 {

// An HTML colour value (a colour name or hexadecimal red-green-blue) as a plain TColor; false,
// with Value untouched, when S is no colour. Callers add the palette-relative flag themselves.
bool GetColor(const std::string& S, TColor& Value);

} // namespace PaneUn2
