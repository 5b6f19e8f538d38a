#pragma once
// Formatted text between the rich document and its streams: paragraphs of runs in Windows-1252,
// each run naming one of the content's character styles, and the pictures and embedded objects
// kept whole as their RTF groups. The RTF reader fills it, the RTF writer writes it, the document
// inserts it and extracts it.

#include "platform/gui/RichEditApi.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

// The attributes the document keeps; a full record carries all of them in its mask.
constexpr DWORD RichCharMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK |
                               CFM_HIDDEN | CFM_DISABLED | CFM_REVAUTHOR | CFM_SUBSCRIPT | CFM_WEIGHT |
                               CFM_UNDERLINETYPE | CFM_BACKCOLOR | CFM_CHARSET | CFM_OFFSET | CFM_FACE |
                               CFM_COLOR | CFM_SIZE;
constexpr DWORD RichCharEffects = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT | CFE_PROTECTED | CFE_LINK |
                                  CFE_HIDDEN | CFE_DISABLED | CFE_SUBSCRIPT | CFE_SUPERSCRIPT | CFE_AUTOCOLOR |
                                  CFE_AUTOBACKCOLOR;
constexpr DWORD RichParaMask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS |
                               PFM_NUMBERING | PFM_SPACEBEFORE | PFM_SPACEAFTER | PFM_LINESPACING | PFM_STYLE |
                               PFM_NUMBERINGSTYLE | PFM_NUMBERINGTAB | PFM_NUMBERINGSTART | PFM_TABLE;
constexpr WORD RichTableBits = PFE_TABLE | PFE_TABLECELLEND;

// The line separator inside a paragraph and the character that stands for an object.
constexpr char RichLineBreak = '\v';

// A new document's character format: Arial 10 points in the automatic colour.
CHARFORMAT2A DefaultRichCharFormat();
// A paragraph as RTF's \pard leaves it: left aligned, no indents, single spacing, no tabs.
PARAFORMAT2 DefaultRichParaFormat();

// The fields of two full records that the document keeps, compared.
bool SameCharFormat(const CHARFORMAT2A& a, const CHARFORMAT2A& b);
bool SameParaFormat(const PARAFORMAT2& a, const PARAFORMAT2& b);

struct TRichCharStyle {
    CHARFORMAT2A Format = DefaultRichCharFormat();
    // The instruction of the field whose result the run is part of ("HYPERLINK \"…\""), and a
    // number that tells two neighbouring fields apart; empty and 0 outside fields.
    std::string FieldInstruction;
    int FieldId = 0;
    bool operator==(const TRichCharStyle& other) const
    {
        return FieldId == other.FieldId && FieldInstruction == other.FieldInstruction &&
               SameCharFormat(Format, other.Format);
    }
};

enum class TRichObjectKind { Picture, Object };

// What a picture's bytes are, for drawing it; the bytes are written back as they came.
enum class TRichPictureType { Unknown, Png, Jpeg, Dib, Metafile, Bitmap };

struct TRichObject {
    TRichObjectKind Kind = TRichObjectKind::Picture;
    std::string Group;        // the whole RTF group, braces included, byte for byte
    std::string ResultGroup;  // an object's \result picture group, empty when it has none
    TRichPictureType PictureType = TRichPictureType::Unknown;
    LONG Width = 0;           // shown size in twips
    LONG Height = 0;
};

struct TRichRun {
    int Style = 0;        // index into TRichContent::Styles
    std::string Text;     // Windows-1252; RichLineBreak for a line break; empty for an object
    int Object = -1;      // index into TRichContent::Objects, or -1
};

struct TRichParagraph {
    PARAFORMAT2 Format = DefaultRichParaFormat();
    std::vector<TRichRun> Runs;
    // The style of the paragraph mark: what an empty paragraph shows and passes to typed text.
    int MarkStyle = -1;
};

struct TRichContent {
    std::vector<TRichCharStyle> Styles;
    std::vector<TRichObject> Objects;
    // Never empty once filled: an empty text is one empty paragraph.
    std::vector<TRichParagraph> Paragraphs;

    // The index of the style, added when the content has none like it.
    int StyleIndex(const TRichCharStyle& style);

private:
    std::unordered_map<std::string, int> FStyleIndexes;
};
