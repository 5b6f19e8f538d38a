#include "PdfTestSupport.h"

#include "platform/rtl/DateTime.h"

#include <zlib.h>

#include <cmath>
#include <limits>

using namespace PdfTestSupport;

namespace {

struct TTextCase {
    std::string Input;
    std::string Expected;
};

TEST(PdfObjectText, EscapeTextEscapesTheEightSpecialBytesOnly)
{
    const TTextCase cases[] = {
        {"a(b)c\\", "a\\(b\\)c\\\\"},
        {"\r\n\t\b\f", "\\r\\n\\t\\b\\f"},
        {"", ""},
        {"\x80\xE8\xFF", "\x80\xE8\xFF"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"((", "\\(\\("},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeText(c.Input), c.Expected) << c.Input;
}

TEST(PdfObjectText, TextWritesAsLiteralString)
{
    TPdfText text("a(b)c\\");
    EXPECT_EQ(Written(text), "(a\\(b\\)c\\\\)");
    TPdfText empty;
    EXPECT_EQ(Written(empty), "()");
}

TEST(PdfObjectText, EscapeNameHexesEveryByteOutsideThePrintableRangeAndTheDelimiters)
{
    const TTextCase cases[] = {
        {"A B#1", "/A#20B#231"},
        {"#", "/#23"},
        {"%", "/#25"},
        {"(", "/#28"},
        {")", "/#29"},
        {"/", "/#2F"},
        {"<", "/#3C"},
        {">", "/#3E"},
        {"[", "/#5B"},
        {"]", "/#5D"},
        {"{", "/#7B"},
        {"}", "/#7D"},
        {std::string("\0\x1F!~\x7F\xE9", 6), "/#00#1F!~#7F#E9"},
        {"F0", "/F0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeName(c.Input), c.Expected) << c.Input;
    TPdfName name("A B#1");
    EXPECT_EQ(Written(name), "/A#20B#231");
}

TEST(PdfObjectText, HexForms)
{
    EXPECT_EQ(TextToHex(std::string("\x00\x7F\xAB", 3)), "007FAB");
    EXPECT_EQ(UnicodeLanguagePrefix(), "FEFF001B656E001B");
    // The euro sign and è of Windows-1252 become their UTF-16 units.
    EXPECT_EQ(TextToUnicodeHex("A\x80\xE8"), "004120AC00E8");
    EXPECT_FALSE(IsMultiByteText("\x80\xE8\xFF"));
}

TEST(PdfObjectNumbers, FormatRealRoundsHalfUpThenTruncatesTowardZero)
{
    const struct {
        double Value;
        std::string Expected;
    } cases[] = {
        {12.5, "12.5"},     {10, "10"},          {0.333, "0.33"},     {-1.234, "-1.22"},
        {0.004, "0"},       {-0.004, "0"},       {-0.006, "0"},       {-0.016, "-0.01"},
        {128.0 / 255, "0.5"}, {255.0 / 255, "1"}, {0, "0"},           {0.05, "0.05"},
        {-100, "-99.99"},     {1234567.891, "1234567.89"}, {0.999, "1"}, {-2.5, "-2.49"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatReal(c.Value), c.Expected) << c.Value;
}

TEST(PdfObjectNumbers, RealsAreWrittenInFixedNotationWithFifteenDigits)
{
    const struct {
        double Value;
        std::string Expected;
    } cases[] = {
        {0.00001, "0.00001"},
        {1e16, "10000000000000000"},
        {1.0 / 3, "0.333333333333333"},
        {-2.5, "-2.5"},
        {0, "0"},
        {12, "12"},
        {123456789.125, "123456789.125"},
        {-0.000123, "-0.000123"},
    };
    for (const auto& c : cases) {
        TPdfReal real(c.Value);
        EXPECT_EQ(Written(real), c.Expected) << c.Value;
    }
    TPdfReal notANumber(std::numeric_limits<double>::quiet_NaN());
    EXPECT_THROW(Written(notANumber), EPdfInvalidValue);
}

TEST(PdfObjectNumbers, SimpleValues)
{
    TPdfNull null;
    TPdfBoolean yes(true), no(false);
    TPdfNumber negative(-42), zero(0);
    EXPECT_EQ(Written(null), "null");
    EXPECT_EQ(Written(yes), "true");
    EXPECT_EQ(Written(no), "false");
    EXPECT_EQ(Written(negative), "-42");
    EXPECT_EQ(Written(zero), "0");
}

TEST(PdfObjectDates, FormatPdfDateHasNoTimeZone)
{
    EXPECT_EQ(FormatPdfDate(EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5, 0)), "D:20240102030405");
    EXPECT_EQ(FormatPdfDate(EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 59, 999)),
              "D:19991231235959");
}

// A small object manager for the container tests.
class TTestObjects : public TPdfObjectMgr {
public:
    void AddObject(std::unique_ptr<TPdfObject> object) override
    {
        object->SetObjectNumber(static_cast<int>(FObjects.size()) + 1);
        FObjects.push_back(std::move(object));
    }
    TPdfObject* ObjectByNumber(int number) const override
    {
        return number >= 1 && number <= static_cast<int>(FObjects.size())
                   ? FObjects[static_cast<std::size_t>(number - 1)].get()
                   : nullptr;
    }
    TPdfObject& Register(std::unique_ptr<TPdfObject> object)
    {
        TPdfObject& registered = *object;
        AddObject(std::move(object));
        return registered;
    }

private:
    std::vector<std::unique_ptr<TPdfObject>> FObjects;
};

TEST(PdfObjectContainers, EmptyFormsAndInternalEntries)
{
    TPdfArray array;
    EXPECT_EQ(Written(array), "[]");
    TPdfDictionary dictionary;
    EXPECT_EQ(Written(dictionary), "<<\r\n>>");
    dictionary.AddInternal("Widths", std::make_unique<TPdfNumber>(3));
    EXPECT_EQ(Written(dictionary), "<<\r\n>>");
    ASSERT_NE(dictionary.NumberOf("Widths"), nullptr);
    EXPECT_EQ(dictionary.NumberOf("Widths")->Value(), 3);

    auto numbers = TPdfArray::CreateNumberArray(nullptr, {0, 0});
    EXPECT_EQ(Written(*numbers), "[0 0 ]");
}

TEST(PdfObjectContainers, IndirectObjectsAreReferencedAndDirectOnesOwned)
{
    TTestObjects objects;
    TPdfObject& font = objects.Register(std::make_unique<TPdfName>("Indirect"));
    EXPECT_EQ(font.ObjectType(), okIndirect);

    TPdfArray array(&objects);
    array.Add(font);
    array.Add(font); // two references: each Add makes a new one
    auto number = std::make_unique<TPdfNumber>(7);
    TPdfNumber* direct = number.get();
    array.Add(std::move(number));
    array.Add(std::unique_ptr<TPdfObject>(direct)); // the same instance again: kept once
    EXPECT_EQ(Written(array), "[1 0 R 1 0 R 7 ]");
    EXPECT_EQ(array.Items(0), &font);
    EXPECT_EQ(array.Items(2), direct);
    EXPECT_EQ(array.Items(3), nullptr);
    EXPECT_EQ(array.FindName("Indirect"), &font);
    EXPECT_EQ(array.FindName("indirect"), nullptr);

    TPdfArray withoutManager;
    withoutManager.Add(font);
    EXPECT_EQ(withoutManager.Items(0), nullptr);

    TPdfNumber unregistered(1);
    EXPECT_THROW(array.Add(unregistered), EPdfInvalidOperation);
    TPdfDictionary dictionary(&objects);
    EXPECT_THROW(dictionary.Add("Key", unregistered), EPdfInvalidOperation);
}

TEST(PdfObjectContainers, DictionaryAddReplacesAndMovesTheKeyToTheEnd)
{
    TTestObjects objects;
    TPdfObject& pages = objects.Register(std::make_unique<TPdfDictionary>(&objects));
    TPdfDictionary dictionary(&objects);
    dictionary.Add("Type", std::make_unique<TPdfName>("Catalog"));
    dictionary.Add("Pages", pages);
    dictionary.Add("Count", std::make_unique<TPdfNumber>(1));
    dictionary.Add("Type", std::make_unique<TPdfName>("Other"));
    EXPECT_EQ(Written(dictionary), "<<\r\n/Pages 1 0 R\r\n/Count 1\r\n/Type /Other\r\n>>");

    // A value that is already the value of its key stays, in its place.
    TPdfNumber* count = dictionary.NumberOf("Count");
    dictionary.Add("Count", std::unique_ptr<TPdfObject>(count));
    EXPECT_EQ(dictionary.NumberOf("Count"), count);
    EXPECT_EQ(dictionary.Items(1).Key(), "Count");

    EXPECT_EQ(dictionary.ValueOf("Pages"), &pages);
    EXPECT_EQ(dictionary.DictionaryOf("Pages"), &pages);
    EXPECT_EQ(dictionary.ValueOf("pages"), nullptr); // keys are case-sensitive
    // Typed lookups of a value of another type give nothing.
    EXPECT_EQ(dictionary.NumberOf("Type"), nullptr);
    EXPECT_EQ(dictionary.ArrayOf("Count"), nullptr);
    EXPECT_EQ(dictionary.RealOf("Count"), nullptr);
    EXPECT_EQ(TypeOf(&dictionary), "Other");
    EXPECT_EQ(TypeOf(nullptr), "");

    dictionary.Remove("Pages");
    dictionary.Remove("Absent");
    EXPECT_EQ(Written(dictionary), "<<\r\n/Count 1\r\n/Type /Other\r\n>>");
}

TEST(PdfObjectContainers, IndirectObjectsWriteTheirDefinition)
{
    TTestObjects objects;
    TPdfObject& number = objects.Register(std::make_unique<TPdfNumber>(5));
    EXPECT_EQ(Written(number), "1 0 R");
    TMemoryStream stream;
    number.WriteObject(stream);
    EXPECT_EQ(std::string(stream.Memory(), static_cast<std::size_t>(stream.Size())),
              "1 0 obj\r\n5\r\nendobj\r\n");

    TPdfNumber direct(5);
    try {
        direct.WriteObject(stream);
        FAIL() << "a direct object has no definition";
    } catch (const EPdfInvalidOperation& e) {
        EXPECT_EQ(e.Message, "internal error wrong object type");
    }

    auto reference = TPdfVirtualObject::CreateVirtual(12);
    EXPECT_EQ(reference->ObjectType(), okVirtual);
    EXPECT_EQ(Written(*reference), "12 0 R");
}

TEST(PdfObjectStreams, StreamWithoutDataOrFilter)
{
    TPdfStream stream;
    EXPECT_EQ(Written(stream), "<<\r\n/Length 0\r\n/Filter []\r\n>>\r\nstream\r\n\nendstream");
    TPdfBinary binary;
    EXPECT_EQ(Written(binary), "");
    binary.Stream().WriteBuffer("<00 ff>", 7);
    EXPECT_EQ(Written(binary), "<00 ff>");
}

TEST(PdfObjectStreams, FlateDecodeDeflatesTheWholeDataAndSetsTheLength)
{
    TPdfStream stream;
    std::string data;
    for (int i = 0; i < 200; ++i)
        data += "0 0 m 100 100 l S\n";
    stream.Stream().WriteBuffer(data.data(), static_cast<int>(data.size()));
    stream.Attributes().ArrayOf("Filter")->Add(std::make_unique<TPdfName>("FlateDecode"));

    std::string written = Written(stream);
    int length = stream.Attributes().NumberOf("Length")->Value();
    std::string head = "<<\r\n/Length " + std::to_string(length) +
                       "\r\n/Filter [/FlateDecode ]\r\n>>\r\nstream\r\n";
    ASSERT_EQ(written.substr(0, head.size()), head);
    ASSERT_EQ(written.size(), head.size() + static_cast<std::size_t>(length) + 10);
    EXPECT_EQ(written.substr(written.size() - 10), "\nendstream");

    std::string unpacked(data.size(), '\0');
    uLongf unpackedSize = static_cast<uLongf>(unpacked.size());
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(unpacked.data()), &unpackedSize,
                         reinterpret_cast<const Bytef*>(written.data() + head.size()),
                         static_cast<uLong>(length)),
              Z_OK);
    EXPECT_EQ(unpacked, data);
    EXPECT_LT(length, static_cast<int>(data.size()));
}

} // namespace
