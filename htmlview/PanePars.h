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

    // Parses the text the parser thread holds. Until the document builder exists these only run
    // the tokenizer: they reset the reader, then read symbols up to the end of the input.
    void HtmlParseString(TSectionList* ASectionList, TStringList* ANameList, TIncludeType AIncludeHandler,
                         TSoundType ASoundHandler, TMetaType AMetaHandler);
    void HtmlParseTextString(TSectionList* ASectionList, TStringList* ANameList);
    // Resets the parser for one parse (the reader's part of it).
    void ParseInit(TSectionList* ASectionList, TStringList* ANameList, TIncludeType AIncludeHandler);
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
    SubSuperType SubSupState{};
    ThtmlForm* CurrentForm = nullptr;

    // Called at the end of every Next, on the thread that parses; unassigned normally.
    std::function<void(const ThlParser&)> OnSymbol;

private:
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
