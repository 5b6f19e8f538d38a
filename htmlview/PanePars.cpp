#include "htmlview/PanePars.h"

#include "htmlview/PaneReadThd.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/TextUtils.h"

#include <memory>
#include <string_view>

namespace PanePars {

// The tags whose attributes are kept in TagAttrs.
const SymbSet AttributeKeepingTags = {
    Symb::BodySy,    Symb::PSy,        Symb::BRSy,        Symb::HeadingSy, Symb::HRSy,       Symb::BaseSy,
    Symb::OLSy,      Symb::ULSy,       Symb::ImageSy,     Symb::ASy,       Symb::TableSy,    Symb::TDSy,
    Symb::TRSy,      Symb::THSy,       Symb::CaptionSy,   Symb::InputSy,   Symb::FormSy,     Symb::TextAreaSy,
    Symb::SelectSy,  Symb::OptionSy,   Symb::FontSy,      Symb::BaseFontSy, Symb::MapSy,     Symb::AreaSy,
    Symb::FrameSetSy, Symb::FrameSy,   Symb::NoResizeSy,  Symb::ScrollingSy, Symb::ScriptSy, Symb::DivSy,
    Symb::BgSoundSy, Symb::WrapSy,     Symb::MetaSy};

// Producing one of these ends the chance to omit a paragraph space.
const SymbSet ContentSymbols = {Symb::BRSy,     Symb::HeadingSy, Symb::HRSy,       Symb::ImageSy,  Symb::TextSy,
                                Symb::TableSy,  Symb::InputSy,   Symb::TextAreaSy, Symb::SelectSy};

// Entity names, compared case-sensitively. The first eight have their own characters; the others
// are the Latin-1 letters from 160 on.
constexpr std::string_view EntityNames[] = {
    "amp",    "lt",     "gt",     "quot",   "rsquo",  "ndash",  "trade",  "hellip", "nbsp",   "iexcl",
    "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",   "laquo",
    "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest",
    "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute",
    "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute",
    "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute",
    "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",    "ntilde",
    "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave", "uacute", "ucirc",
    "uuml",   "yacute", "thorn",  "yuml"};
constexpr char SpecialEntityChars[] = {'&', '<', '>', '"', '\'', '-', '\x99'};
constexpr int HellipEntry = 7;
constexpr int FirstLatinEntry = 8;
constexpr std::size_t MaxEntityName = 6;
constexpr int MaxNumericDigits = 6;
constexpr std::size_t MaxTagName = 255;

bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }
bool IsLineSpace(char c) { return c == ' ' || c == '\r' || c == '\t' || c == '\n'; }

// Control characters (except CR), "&" and "<" end a run of text.
bool EndsText(char c)
{
    const unsigned char code = static_cast<unsigned char>(c);
    return (code < 32 && code != 13) || c == '&' || c == '<';
}

char UpCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// The character a numeric reference stands for; false for the values kept in their literal form.
bool NumericReferenceChar(int value, char& ch)
{
    if (value == 9)
        ch = ' ';
    else if (value == 10 || (value >= 32 && value <= 255))
        ch = static_cast<char>(value);
    else if (value > 255 && value <= 0xFFFF)
        ch = UnicodeToAnsiChar(static_cast<char32_t>(value));
    else
        return false;
    return true;
}

// The number in a quoted value: trimmed, without a final "%" when that is its first one.
int QuotedValueNumber(const std::string& text)
{
    std::string digits = Trim(text);
    if (!digits.empty() && digits.back() == '%' && digits.find('%') == digits.size() - 1)
        digits.pop_back();
    int number = 0;
    return TryStrToInt(digits, number) ? number : 0;
}

} // namespace PanePars

ThlParser::ThlParser() = default;

ThlParser::~ThlParser() { delete TagAttrs; }

// --- Parse entries ------------------------------------------------------------------------------

void ThlParser::ReadThreadRange()
{
    PrimaryNext = ParseThread->FReadPtr;
    PrimaryEnd = ParseThread->FEndPtr;
    FPrimaryText = ParseThread->FBuffer.data();
}

// --- Characters ---------------------------------------------------------------------------------

// Waits for the next batch. A batch that brings nothing and is not the last one is waited past,
// so that an empty batch cannot end the document early.
bool ThlParser::WaitForMoreText()
{
    while (Threaded && ParseThread != nullptr) {
        ParseThread->WaitForText(PrimaryNext);
        if (ParseThread->Terminated())
            throw EParseError("Terminated");
        ReadThreadRange();
        if (PrimaryNext < PrimaryEnd)
            return true;
    }
    return false;
}

char ThlParser::ReadRawChar()
{
    if (LoadStyle == lsInclude) {
        if (IncludeNext < IncludeEnd)
            return IncludeText[IncludeNext++];
        LoadStyle = SavedLoadStyle;
    }
    if (PrimaryNext >= PrimaryEnd && !WaitForMoreText())
        return EofChar;
    ++CharPos;
    return FPrimaryText[PrimaryNext++];
}

// The next raw character, not consumed. At the end of the text handed over so far it waits for
// more like the reader does, so that "<" and "!" in different batches still open a comment.
char ThlParser::PeekRawChar()
{
    if (LoadStyle == lsInclude) {
        if (IncludeNext < IncludeEnd)
            return IncludeText[IncludeNext];
        LoadStyle = SavedLoadStyle;
    }
    if (PrimaryNext >= PrimaryEnd && !WaitForMoreText())
        return EofChar;
    return FPrimaryText[PrimaryNext];
}

void ThlParser::ReadCh()
{
    char ch = ReadRawChar();
    if ((ch == '\n' && LineEndState == lcCR) || (ch == '\r' && LineEndState == lcLF))
        ch = ReadRawChar();
    if (ch == '\n') {
        ch = '\r';
        LineEndState = lcLF;
    } else if (ch == '\r') {
        LineEndState = lcCR;
    } else {
        LineEndState = lcOther;
        if (ch == '\t')
            ch = ' ';
    }
    RawChar = ch;
    UpChar = PanePars::UpCase(ch);
}

void ThlParser::GetCh()
{
    for (;;) {
        ReadCh();
        if (RawChar != '<' || InScript || PeekRawChar() != '!')
            return;
        const bool wasInComment = FInComment;
        FInComment = true;
        bool closed;
        ReadCh(); // the "!"
        ReadCh();
        if (RawChar != '-') {
            closed = SkipDeclaration();
        } else {
            ReadCh();
            if (RawChar != '-') {
                closed = SkipDeclaration();
            } else {
                ReadCh();
                if (RawChar == '#' && IncludeHandler && LoadStyle != lsInclude && !wasInComment)
                    closed = RunIncludeDirective();
                else
                    closed = SkipComment();
            }
        }
        FInComment = wasInComment;
        if (!closed) {
            FOpenCommentAtEnd = true;
            RawChar = UpChar = EofChar;
            return;
        }
    }
}

// From the current character to the next ">"; false when the input ends first.
bool ThlParser::SkipDeclaration()
{
    while (RawChar != '>') {
        if (RawChar == EofChar)
            return false;
        ReadCh();
    }
    return true;
}

// From the current character to a "--" followed by any further "-", spaces and line ends, and
// ">"; false when the input ends first.
bool ThlParser::SkipComment()
{
    for (;;) {
        if (RawChar == EofChar)
            return false;
        if (RawChar != '-') {
            ReadCh();
            continue;
        }
        ReadCh();
        if (RawChar != '-')
            continue;
        do
            ReadCh();
        while (RawChar == '-');
        while (RawChar == ' ' || RawChar == '\r')
            ReadCh();
        if (RawChar == '>')
            return true;
    }
}

// "<!--#command NAME=value ... -->" with the current character at "#": hands the command and its
// parameters to the include handler and reads the text it returns next.
bool ThlParser::RunIncludeDirective()
{
    IncludeCommand.clear();
    GetCh();
    while (PanePars::IsUpperLetter(UpChar)) {
        IncludeCommand += RawChar;
        GetCh();
    }
    auto params = std::make_unique<TStringList>();
    Symb sym;
    std::string name, text;
    int number;
    while (GetAttribute(sym, name, number, text))
        params->Add(name + "=\"" + text + "\"");
    if (!SkipComment())
        return false;
    IncludeText.clear();
    IncludeParams = params.get();
    try {
        TThread::Synchronize(ParseThread, [this] { DoIncludeEvent(); });
    } catch (...) {
        IncludeParams = nullptr;
        throw;
    }
    IncludeParams = nullptr;
    if (!IncludeText.empty()) {
        SavedLoadStyle = LoadStyle;
        LoadStyle = lsInclude;
        IncludeNext = 0;
        IncludeEnd = IncludeText.size();
    }
    return true;
}

void ThlParser::DoIncludeEvent()
{
    if (IncludeHandler)
        IncludeHandler(EventSender, IncludeCommand, IncludeParams, IncludeText);
}

void ThlParser::SkipWhiteSpace()
{
    while (PanePars::IsLineSpace(RawChar))
        GetCh();
}

// --- Symbols ------------------------------------------------------------------------------------

void ThlParser::Next()
{
    if (FOpenCommentAtEnd)
        throw EParseError("Open Comment at End of HTML File");
    TextToken.Clear();
    if (RawChar == EofChar) {
        CurSym = Symb::EofSy;
    } else if (!GetTag() && !IsOddChar() && !IsText()) {
        CurSym = Symb::OtherChar;
        TextToken.AddChar(RawChar, CharPos);
        GetCh();
    }
    if (ParaSpaceDone && PanePars::ContentSymbols.Contains(CurSym))
        ParaSpaceDone = false;
    if (OnSymbol)
        OnSymbol(*this);
}

bool ThlParser::GetTag()
{
    if (UpChar != '<')
        return false;
    TagPos = CharPos;
    GetCh();
    const bool endTag = RawChar == '/';
    if (endTag) {
        GetCh();
    } else if (!PanePars::IsUpperLetter(UpChar)) {
        CurSym = Symb::TextSy;
        TextToken.AddChar('<', TagPos);
        return true;
    }
    CurSym = Symb::CommandSy;
    FName.clear();
    while (PanePars::IsUpperLetter(UpChar)) {
        if (FName.size() < PanePars::MaxTagName)
            FName += UpChar;
        GetCh();
    }
    if (const PaneUn2::TagEntry* entry = PaneUn2::FindTag(FName)) {
        if (!endTag)
            CurSym = entry->StartSym;
        else if (entry->EndSym)
            CurSym = *entry->EndSym;
    }
    SkipWhiteSpace();
    HeadingLevel = 0;
    if ((CurSym == Symb::HeadingSy || CurSym == Symb::HeadingEndSy) && UpChar >= '1' && UpChar <= '6') {
        HeadingLevel = UpChar - '0';
        GetCh();
    }
    const bool keep = PanePars::AttributeKeepingTags.Contains(CurSym) && TagAttrs != nullptr;
    if (keep)
        TagAttrs->Clear();
    Symb sym;
    std::string name, text;
    int number;
    while (GetAttribute(sym, name, number, text))
        if (keep)
            TagAttrs->Add(new TAttribute(sym, number, text));
    while (RawChar != '>' && RawChar != EofChar)
        GetCh();
    if (RawChar == '>') {
        // Where the text handed over so far ends right after "</P>" or "<BR>", a space stands in
        // for the character that has not come yet.
        if (PrimaryNext == PrimaryEnd && (CurSym == Symb::PEndSy || CurSym == Symb::BRSy))
            RawChar = UpChar = ' ';
        else
            GetCh();
    }
    return true;
}

bool ThlParser::IsOddChar()
{
    if (UpChar != '&')
        return false;
    CurSym = Symb::TextSy;
    DecodeEntity(TextToken);
    return true;
}

// Reads an entity reference at "&" and appends what it stands for, or its literal form when it
// stands for nothing, to Into.
void ThlParser::DecodeEntity(TokenObj& Into)
{
    const int start = CharPos;
    FLiteral.Clear();
    FLiteral.AddChar('&', start);
    GetCh();
    if (RawChar == '#') {
        FLiteral.AddChar('#', CharPos);
        GetCh();
        AppendNumericReference(Into, FLiteral, start);
    } else {
        AppendNamedReference(Into, FLiteral, start);
    }
}

void ThlParser::AppendNumericReference(TokenObj& Into, TokenObj& Literal, int StartPos)
{
    int digits = 0, value = 0;
    while (digits < PanePars::MaxNumericDigits && PanePars::IsDigitChar(RawChar)) {
        Literal.AddChar(RawChar, CharPos);
        value = value * 10 + (RawChar - '0');
        ++digits;
        GetCh();
    }
    if (digits < PanePars::MaxNumericDigits && RawChar == ';') {
        Literal.AddChar(';', CharPos);
        GetCh();
    }
    char ch = 0;
    if (digits == 0 || digits == PanePars::MaxNumericDigits || !PanePars::NumericReferenceChar(value, ch))
        Into.Concat(&Literal);
    else
        Into.AddChar(ch, StartPos);
}

void ThlParser::AppendNamedReference(TokenObj& Into, TokenObj& Literal, int StartPos)
{
    FName.clear();
    while (PanePars::IsUpperLetter(UpChar) || PanePars::IsDigitChar(UpChar)) {
        Literal.AddChar(RawChar, CharPos);
        const bool tooLong = FName.size() == PanePars::MaxEntityName;
        FName += RawChar;
        GetCh();
        if (tooLong) {
            Into.Concat(&Literal);
            return;
        }
    }
    if (RawChar == ';') {
        Literal.AddChar(';', CharPos);
        GetCh();
    }
    int entry = 0;
    const int entries = static_cast<int>(std::size(PanePars::EntityNames));
    while (entry < entries && PanePars::EntityNames[entry] != FName)
        ++entry;
    if (entry == entries) {
        Into.Concat(&Literal);
    } else if (entry == PanePars::HellipEntry) {
        for (int i = 0; i < 3; ++i)
            Into.AddChar('.', StartPos + i);
    } else if (entry < PanePars::FirstLatinEntry) {
        Into.AddChar(PanePars::SpecialEntityChars[entry], StartPos);
    } else {
        Into.AddChar(static_cast<char>(entry + 152), StartPos);
    }
}

bool ThlParser::IsText()
{
    if (PanePars::EndsText(RawChar))
        return false;
    while (TextToken.Chars.size() < MaxTextRun && !PanePars::EndsText(RawChar)) {
        if (!InPre && (RawChar == ' ' || RawChar == '\r')) {
            TextToken.AddChar(NoBreak ? '\x05' : ' ', CharPos);
            SkipWhiteSpace();
        } else {
            TextToken.AddChar(RawChar, CharPos);
            GetCh();
        }
    }
    CurSym = Symb::TextSy;
    return true;
}

// --- Attributes ---------------------------------------------------------------------------------

bool ThlParser::GetAttribute(Symb& Sym, std::string& Name, int& Number, std::string& Text)
{
    Sym = Symb::OtherAttribute;
    SkipWhiteSpace();
    if (!GetID(Name))
        return false;
    PaneUn2::FindAttribute(Name, Sym);
    SkipWhiteSpace();
    Text.clear();
    Number = Sym == Symb::BorderSy ? 1 : 0;
    if (RawChar == '=') {
        GetCh();
        SkipWhiteSpace();
        if (!GetQuotedStr(Text, Number) && !GetValue(Text, Number))
            GetSomething(Text);
    }
    return true;
}

bool ThlParser::GetID(std::string& Name)
{
    Name.clear();
    if (!PanePars::IsUpperLetter(UpChar))
        return false;
    while (PanePars::IsUpperLetter(UpChar) || UpChar == '-') {
        Name += UpChar;
        GetCh();
    }
    return true;
}

bool ThlParser::GetQuotedStr(std::string& Text, int& Number)
{
    if (RawChar != '"' && RawChar != '\'')
        return false;
    const char quote = RawChar;
    const Symb savedSym = CurSym;
    GetCh();
    while (RawChar != quote && RawChar != EofChar) {
        if (RawChar == '\r') {
            GetCh();
        } else if (UpChar == '&') {
            FEntity.Clear();
            DecodeEntity(FEntity);
            Text += FEntity.Chars;
        } else {
            Text += RawChar;
            GetCh();
        }
    }
    if (RawChar == quote)
        GetCh();
    CurSym = savedSym;
    Number = PanePars::QuotedValueNumber(Text);
    return true;
}

bool ThlParser::GetValue(std::string& Text, int& Number)
{
    if (RawChar != '+' && RawChar != '-' && !PanePars::IsDigitChar(RawChar))
        return false;
    if (RawChar == '+' || RawChar == '-') {
        Text += RawChar;
        GetCh();
    }
    while (RawChar != ' ' && RawChar != '\r' && RawChar != EofChar && RawChar != '%' && RawChar != '>') {
        Text += UpChar;
        GetCh();
    }
    SkipWhiteSpace();
    if (!TryStrToInt(Text, Number))
        Number = 0;
    if (RawChar == '%') {
        Text += '%';
        GetCh();
    }
    return true;
}

bool ThlParser::GetSomething(std::string& Text)
{
    while (RawChar != ' ' && RawChar != '\r' && RawChar != EofChar && RawChar != '>') {
        Text += RawChar;
        GetCh();
    }
    return true;
}
