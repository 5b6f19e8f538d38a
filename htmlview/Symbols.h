#pragma once
// The viewer's vocabulary: the symbols of tags, end tags, attributes and special tokens, sets of
// them, the small enumerations every part of the viewer shares, and the tables that turn a tag
// or attribute name into its symbol.

#include <array>
#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

// One byte a symbol. The parser tests symbols by ordinal ranges (BSy..IEndSy, TTSy..SampEndSy),
// so the order below is part of the meaning. Members ending in EndSy are end tags; TextSy is both
// a run of text and the BODY attribute TEXT; SelectedSy and WrapSy are both tags and attributes.
enum class Symb : std::uint8_t {
    HtmlSy, TitleSy, BodySy, HeadSy, PSy, PEndSy, BSy, BEndSy, ISy, IEndSy, HtmlEndSy, TitleEndSy,
    BodyEndSy, HeadEndSy, BRSy, HeadingSy, HeadingEndSy, EmSy, EmEndSy, StrongSy, StrongEndSy, USy, UEndSy,
    HRSy, CiteSy, VarSy, CiteEndSy, VarEndSy, BaseSy, TTSy, CodeSy, KbdSy, SampSy, TTEndSy, CodeEndSy,
    KbdEndSy, SampEndSy, OLSy, OLEndSy, LISy, ULSy, ULEndSy, DirSy, DirEndSy, MenuSy, MenuEndSy, DLSy,
    DLEndSy, DDSy, DTSy, AddressSy, AddressEndSy, BlockQuoteSy, BlockQuoteEndSy, PreSy, PreEndSy, ImageSy,
    Centersy, CenterEndSy, OtherAttribute, ASy, AEndSy, HrefSy, NameSy, SrcSy, AltSy, AlignSy, OtherChar,
    OtherSy, CommandSy, TextSy, EofSy, LinkSy, BGColorSy, BackgroundSy, TableSy, TableEndSy, TDSy, TDEndSy,
    TRSy, TREndSy, THSy, THEndSy, ColSpanSy, RowSpanSy, BorderSy, CellPaddingSy, CellSpacingSy, VAlignSy,
    WidthSy, CaptionSy, CaptionEndSy, StartSy, ButtonSy, InputSy, ValueSy, TypeSy, CheckBoxSy, RadioSy,
    FormSy, FormEndSy, MethodSy, ActionSy, CheckedSy, SizeSy, MaxLengthSy, TextAreaSy, TextAreaEndSy,
    ColsSy, RowsSy, SelectSy, SelectEndSy, OptionSy, OptionEndSy, SelectedSy, MultipleSy, FontSy,
    FontEndSy, ColorSy, FaceSy, BaseFontSy, TranspSy, SubSy, SubEndSy, SupSy, SupEndSy, ClearSy, IsMapSy,
    BigSy, BigEndSy, SmallSy, SmallEndSy, BorderColorSy, MapSy, MapEndSy, AreaSy, ShapeSy, CoordsSy,
    NoHrefSy, UseMapSy, HeightSy, PlainSy, FrameSetSy, FrameSetEndSy, FrameSy, TargetSy, NoFramesSy,
    NoFramesEndSy, NoResizeSy, ScrollingSy, HSpaceSy, VSpaceSy, ScriptSy, ScriptEndSy, LanguageSy, DivSy,
    DivEndSy, SSy, SEndSy, StrikeSy, StrikeEndSy, FrameBorderSy, MarginWidthSy, MarginHeightSy, BgSoundSy,
    LoopSy, OnClickSy, WrapSy, NoShadeSy, MetaSy, HttpEqSy, ContentSy, EncTypeSy, VLinkSy, OLinkSy,
    ActiveSy, NoBrSy, NoBrEndSy, WbrSy, NoWrapSy, EolSy
};

constexpr int SymbCount = static_cast<int>(Symb::EolSy) + 1;

// A set of symbols: the terminator and classification sets of the parser.
class SymbSet {
public:
    SymbSet() = default;
    SymbSet(std::initializer_list<Symb> members)
    {
        for (Symb member : members)
            Include(member);
    }
    // Every symbol from first to last by ordinal, both included.
    static SymbSet Range(Symb first, Symb last)
    {
        SymbSet set;
        for (int i = static_cast<int>(first); i <= static_cast<int>(last); ++i)
            set.FBits.set(static_cast<std::size_t>(i));
        return set;
    }

    bool Contains(Symb member) const { return FBits.test(Index(member)); }
    void Include(Symb member) { FBits.set(Index(member)); }
    void Exclude(Symb member) { FBits.reset(Index(member)); }
    bool Empty() const { return FBits.none(); }
    int Count() const { return static_cast<int>(FBits.count()); }

    SymbSet operator+(const SymbSet& other) const { return FromBits(FBits | other.FBits); }
    SymbSet operator-(const SymbSet& other) const { return FromBits(FBits & ~other.FBits); }
    SymbSet operator*(const SymbSet& other) const { return FromBits(FBits & other.FBits); }
    bool operator==(const SymbSet& other) const { return FBits == other.FBits; }

private:
    using TBitsOfSymbols = std::bitset<SymbCount>;
    static std::size_t Index(Symb member) { return static_cast<std::size_t>(member); }
    static SymbSet FromBits(const TBitsOfSymbols& bits)
    {
        SymbSet set;
        set.FBits = bits;
        return set;
    }
    TBitsOfSymbols FBits;
};

namespace PaneUn2 {

enum JustifyType { NoJustify, Left, Centered, Right };
enum AlignmentType { ATop, AMiddle, ABottom, ALeft, ARight };
enum Transparency { NotTransp, LLCorner, TGif, TPng };

// A tag name (upper case), its start symbol and, for the tags that have one, its end symbol.
struct TagEntry {
    const char* Name;
    Symb StartSym;
    std::optional<Symb> EndSym;
};

struct AttributeEntry {
    const char* Name;
    Symb Sym;
};

constexpr int TagCount = 66;
constexpr int TagsWithEnd = 49;
constexpr int AttributeCount = 63;

extern const std::array<TagEntry, TagCount> TagTable;
extern const std::array<AttributeEntry, AttributeCount> AttributeTable;

// The entry of an upper-case tag name, compared exactly and in full; nullptr for an unknown name.
const TagEntry* FindTag(std::string_view Name);
// The symbol of an upper-case attribute name, the first entry that matches; false when unknown.
bool FindAttribute(std::string_view Name, Symb& Sym);

} // namespace PaneUn2

using PaneUn2::AlignmentType;
using PaneUn2::JustifyType;
using PaneUn2::Transparency;
