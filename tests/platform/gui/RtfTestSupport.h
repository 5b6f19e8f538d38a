#pragma once
// Shared pieces of the RTF tests: the sample files, loading them into a document, and the text
// and formats of a document compared character by character.

#include "platform/gui/private/RichDocument.h"

#include <string>

// The Windows rich edit control's dialect, written by hand: bold, italic, underline, a red word,
// a centred paragraph, a bullet, a tab, "€" and "è".
extern const char* const WindowsDialectSample;
// A picture and an embedded object with its result picture, in the control's dialect.
extern const char* const ObjectSample;

// A file of the tests' rtf folder.
std::string RtfSampleFile(const std::string& name);

// A document loaded from RTF; fails the test when the read fails.
std::unique_ptr<TRichDocument> LoadRtfDocument(const std::string& rtf, TBreakCount breaks = TBreakCount::Cr);

// The character record over [from, to) and the paragraph record at a position.
CHARFORMAT2A CharFormatAt(const TRichDocument& document, int from, int to);
PARAFORMAT2 ParaFormatAt(const TRichDocument& document, int pos);
// The position of text in the document's text, -1 when it is missing.
int PositionOf(const TRichDocument& document, const std::string& text);

// Empty when both documents hold the same text with the same formats, else what differs first.
std::string DifferenceBetween(const TRichDocument& a, const TRichDocument& b);
