#pragma once
// What the PDF library's tests share: documents saved to bytes or files, the real PDF tools,
// and the library's registrations made once for the whole test program.

#include "reportexport/PdfDoc.h"
#include "reportexport/PdfObject.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace PdfTestSupport {

namespace fs = std::filesystem;

using PdfObject::EscapeName;
using PdfObject::EscapeText;
using PdfObject::FormatPdfDate;
using PdfObject::FormatReal;
using PdfObject::IsMultiByteText;
using PdfObject::MakePdfRect;
using PdfObject::TextToHex;
using PdfObject::TextToUnicodeHex;
using PdfObject::TypeOf;
using PdfObject::UnicodeLanguagePrefix;

// 2 January 2024 03:04:05 as the clock's time for the life of the object.
class TFixedClock {
public:
    TFixedClock();
    ~TFixedClock();
    TFixedClock(const TFixedClock&) = delete;
    TFixedClock& operator=(const TFixedClock&) = delete;
};

// The textual form of an object as Write gives it.
std::string Written(TPdfObject& object);
// The value of an object, also of a registered one.
std::string WrittenValue(TPdfObject& object);
// The file SaveToStream writes.
std::string SavedBytes(TPdfDoc& doc);
// The bytes of the current page's content stream.
std::string PageContent(TPdfDoc& doc);

// A folder of its own for one test, removed with the object.
class TTestFolder {
public:
    TTestFolder();
    ~TTestFolder();
    TTestFolder(const TTestFolder&) = delete;
    TTestFolder& operator=(const TTestFolder&) = delete;
    const fs::path& Path() const { return FPath; }
    fs::path Write(const std::string& name, const std::string& bytes) const;

private:
    fs::path FPath;
};

// Runs a shell command; returns its exit status, with stdout and stderr in output.
int RunCommand(const std::string& command, std::string* output = nullptr);
std::string Quoted(const fs::path& path);

// qpdf --check accepts the file.
void ExpectQpdfAccepts(const fs::path& file);

// A 2 × 1 RGB image (a red and a blue pixel), deflated, ready for AddImage.
std::unique_ptr<TPdfImage> SmallImage();

} // namespace PdfTestSupport
