#pragma once
// The viewer's HTML parser: reads the document text (or a text an include handler returned) one
// character at a time, drops comments and declarations, and hands out one symbol at a time: a tag
// with its attributes, a run of text, a decoded character entity, a stray character or the end of
// the input.

#include "htmlview/PaneUn2.h"
#include "platform/gui/Font.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string>

class TSection;
class TCell;
class TListBoxFormControlObj;
class TTextAreaFormControlObj;
class TSectionList;
class TMyFont;
class ThtmlForm;
class TParseThread;
// Normal, subscript or superscript; the font unit lists the members.
enum SubSuperType : int;

// Raised by the reader: "Terminated" when the parse is stopped while it waits for text, "Open
// Comment at End of HTML File" when the input ends inside a comment or declaration.
TESS_EXCEPTION(EParseError, Exception)

enum LoadStyleType { lsPrimary, lsInclude };
// The kind of the previous raw character, so that CR LF and LF CR count as one line end.
enum LineEndStateType { lcOther, lcCR, lcLF };

using TIncludeType =
    std::function<void(TObject* Sender, const std::string& Command, TStrings* Params, std::string& IString)>;
using TSoundType = std::function<void(TObject* Sender, const std::string& SRC, int Loop, bool Terminate)>;
using TMetaType = std::function<void(TObject* Sender, const std::string& HttpEq, const std::string& Name,
                                     const std::string& Content)>;
// Script is the SCRIPT element's zero-terminated text, its lines joined by CR LF; it is valid only
// during the call and the parser frees it afterwards.
using TScriptEvent =
    std::function<void(TObject* Sender, const std::string& Name, const std::string& Language, const char* Script)>;

// Normal font sizes in points of the HTML sizes 1 to 7 (index 0 is size 1), in running text and
// in preformatted text.
extern const std::array<int, 7> FontConv;
extern const std::array<int, 7> PreFontConv;

// The end-of-input character.
constexpr char EofChar = 26;
// Text runs are handed out in pieces of at most this many characters.
constexpr std::size_t MaxTextRun = 100;

class ThlParser : public TObject {
    TESS_CLASS(ThlParser, TObject)
public:
    ThlParser();
    ~ThlParser() override;
    ThlParser(const ThlParser&) = delete;
    ThlParser& operator=(const ThlParser&) = delete;

    // Builds the document from the HTML text the parser thread holds. Never rejects a document:
    // any failure ends the parse quietly with what was built so far. Without a document the text
    // is only read, symbol by symbol (the tokenizer's own tests and benchmarks read it so).
    void HtmlParseString(TSectionList* ASectionList, TStringList* ANameList, TIncludeType AIncludeHandler,
                         TSoundType ASoundHandler, TMetaType AMetaHandler);
    // Shows the text the parser thread holds as plain preformatted text.
    void HtmlParseTextString(TSectionList* ASectionList, TStringList* ANameList);
    // Resets the parser for one parse: the reader, and with a document the builder's state.
    void ParseInit(TSectionList* ASectionList, TStringList* ANameList, TIncludeType AIncludeHandler);

    // --- The document builder ---
    // Consumes symbols until one in TermSet (left current) or the end of the input.
    void DoBody(int Level, const SymbSet& TermSet);
    // One symbol of the common set, then the next symbol.
    void DoCommonSy(int Level);
    // One list or BLOCKQUOTE whose start tag Sym is current; returns at its end tag (left
    // current), at the end of the input, or at a symbol of TermSet.
    void DoLists(int Level, Symb Sym, const SymbSet& TermSet);
    // PRE up to its end tag, one section a source line; ends with the next symbol.
    void DoPreformatted(int Level);
    // The plain-text reader: every line one preformatted section, no tags, no entities.
    void DoText();
    bool PushNewFont();
    void PopFont();
    JustifyType FindAlignment();
    void DoAEnd();
    // The TABLE whose start tag is current, up to and including its end tag.
    void DoTable(int Level);
    void GetOptions(TListBoxFormControlObj* Control);
    void DoTextArea(TTextAreaFormControlObj* Control);
    // The MAP whose start tag is current, up to its end tag (left current).
    void DoMap();
    // The SCRIPT whose start tag is current, up to and including "</script>".
    void DoScript(const TScriptEvent& Handler);
    void DoTitle();
    void DoBase();
    void DoMeta(TObject* Sender);
    void DoSound();
    static TFontCharset TranslateCharset(TFontCharset DefaultCharset, const std::string& Content);
    // Run on the GUI thread.
    void DoMetaEvent();
    void DoSoundEvent();

    // Nesting deeper than this (CENTER, DIV, lists, BLOCKQUOTE, TABLE together) is not opened:
    // every level is a frame on the parser's stack and later in layout and painting.
    static constexpr int MaxNesting = 200;
    // A table inside this many open tables is not opened: laying out a cell measures it twice,
    // so the cost doubles with every level.
    static constexpr int MaxTableNesting = 16;
    // Takes the parser thread's read and end positions as the document text to read.
    void ReadThreadRange();

    // Advances to the next character, dropping comments and declarations and running include
    // directives.
    void GetCh();
    void SkipWhiteSpace();
    // Reads the next symbol into CurSym (with TextToken, TagAttrs, TagPos and HeadingLevel).
    void Next();
    bool GetTag();
    bool IsOddChar();
    bool IsText();
    bool GetAttribute(Symb& Sym, std::string& Name, int& Number, std::string& Text);
    bool GetID(std::string& Name);
    bool GetQuotedStr(std::string& Text, int& Number);
    bool GetValue(std::string& Text, int& Number);
    bool GetSomething(std::string& Text);
    // Calls IncludeHandler; runs on the GUI thread.
    void DoIncludeEvent();

    Symb CurSym = Symb::EofSy;
    bool InPre = false;
    JustifyType Justify = PaneUn2::Left;
    int BaseHtmlSize = 3;
    bool InScript = false;
    bool ParaSpaceDone = false;
    int TagPos = 0;
    TSection* CurSection = nullptr;
    TCell* CurCell = nullptr;
    TSectionList* SectionList = nullptr;
    TStringList* NameList = nullptr;
    // Entries 1 to 25; FontTop indexes the top one.
    std::array<TMyFont*, 26> FontStack{};
    int FontTop = 0;
    TUrlTarget* LinkTarget = nullptr;
    bool InLink = false;
    TAttributeList* TagAttrs = nullptr;
    char RawChar = EofChar;
    char UpChar = EofChar;
    int CharPos = -1;
    LineEndStateType LineEndState = lcOther;
    int HeadingLevel = 0;
    TokenObj TextToken;
    LoadStyleType LoadStyle = lsPrimary;
    // Offsets into the parser thread's text: next unread and end of what was handed over so far.
    std::size_t PrimaryNext = 0, PrimaryEnd = 0;
    // Offsets into IncludeText.
    std::size_t IncludeNext = 0, IncludeEnd = 0;
    std::string IncludeText;
    TIncludeType IncludeHandler;
    TObject* EventSender = nullptr;
    LoadStyleType SavedLoadStyle = lsPrimary;
    TSoundType SoundHandler;
    TMetaType MetaHandler;
    bool NoBreak = false;
    int SoundLoop = 0;
    std::string EventName;
    std::string MetaHttpEq, MetaContent;
    // The parameters of the include directive being run, set only while its handler runs; the
    // parser owns and frees them.
    TStringList* IncludeParams = nullptr;
    std::string IncludeCommand;
    std::string Title, Base, BaseTarget;
    // More text may follow: at the end of the text, wait for the parser thread to get more.
    bool Threaded = false;
    TParseThread* ParseThread = nullptr;
    TFontStyles StyleSet;
    int NestingDepth = 0;
    int TableDepth = 0;
    SubSuperType SubSupState{};
    ThtmlForm* CurrentForm = nullptr;

    // Called at the end of every Next, on the thread that parses; unassigned normally.
    std::function<void(const ThlParser&)> OnSymbol;

private:
    // The builder's small steps: finish the current section into the current cell, make sure
    // there is one, give it the top font, start a section in the top font.
    void FinishSection();
    void EnsureSection(int Level);
    void ApplyFont();
    TSection* NewSection(int Level, JustifyType Justify);
    TMyFont* TopFont() const { return FontStack[static_cast<std::size_t>(FontTop)]; }
    bool NestingAllowed(Symb Sym) const;
    void ChangeStyle(Symb Sym);
    bool IsStyleSymbol(Symb Sym) const;
    void DoBodyTag();
    void DoCenterOrDiv(int Level, const SymbSet& TermSet);
    void DoStrayListItem();
    void DoParagraph(int Level);
    void DoAnchor(int Level, bool InPreformatted);
    bool DoFontTag(bool IsBaseFont, const std::array<int, 7>& Sizes);
    bool DoBigSmall();
    void PushHeadingFont();
    // Returns with the symbol after the field read only outside preformatted text.
    void DoFormField(Symb Sym, int Level);
    void CleanUpParse();
    // The piece readers of TEXTAREA and SCRIPT content.
    void NextTextAreaPiece(Symb& Sym);
    void NextScriptPiece(Symb& Sym);

    char ReadRawChar();
    char PeekRawChar();
    bool WaitForMoreText();
    void ReadCh();
    bool SkipDeclaration();
    bool SkipComment();
    bool RunIncludeDirective();
    void DecodeEntity(TokenObj& Into);
    void AppendNumericReference(TokenObj& Into, TokenObj& Literal, int StartPos);
    void AppendNamedReference(TokenObj& Into, TokenObj& Literal, int StartPos);

    // The parser thread's text, re-read after every wait.
    const char* FPrimaryText = nullptr;
    // Set while a comment, declaration or include directive is read.
    bool FInComment = false;
    // The input ended inside a comment: the symbols read so far are handed out, then the next
    // Next raises.
    bool FOpenCommentAtEnd = false;
    TokenObj FLiteral;
    TokenObj FEntity;
    std::string FName;
};
