#pragma once
// The values of the PDF file syntax kept in memory: null, booleans, integers, reals, texts,
// names, arrays, dictionaries, streams and raw bytes. Each writes its own textual form; an
// object registered in a cross-reference table is written elsewhere by its number and appears
// inside containers only as a reference.

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

TESS_EXCEPTION(EPdfInvalidValue, Exception)
TESS_EXCEPTION(EPdfInvalidOperation, Exception)

enum TPdfObjectKind { okDirect, okIndirect, okVirtual };

class TPdfObjectMgr;

class TPdfObject : public TObject {
    TESS_CLASS(TPdfObject, TObject)
public:
    TPdfObject() = default;
    TPdfObject(const TPdfObject&) = delete;
    TPdfObject& operator=(const TPdfObject&) = delete;

    // A reference ("12 0 R") for an indirect or virtual object, the value itself otherwise.
    void Write(TStream& stream);
    // The definition of an indirect object: "12 0 obj", the value, "endobj".
    void WriteObject(TStream& stream);

    int ObjectNumber() const { return FObjectNumber; }
    int GenerationNumber() const { return FGenerationNumber; }
    TPdfObjectKind ObjectType() const { return FObjectType; }
    // Only an object manager calls it: a number above 0 makes the object indirect.
    void SetObjectNumber(int number);

protected:
    virtual void WriteValue(TStream& /*stream*/) {}
    void SetObjectType(TPdfObjectKind kind) { FObjectType = kind; }

private:
    TPdfObjectKind FObjectType = okDirect;
    int FObjectNumber = -1;
    int FGenerationNumber = 0;
};

class TPdfNull : public TPdfObject {
    TESS_CLASS(TPdfNull, TPdfObject)
protected:
    void WriteValue(TStream& stream) override;
};

class TPdfBoolean : public TPdfObject {
    TESS_CLASS(TPdfBoolean, TPdfObject)
public:
    explicit TPdfBoolean(bool value = false) : FValue(value) {}
    bool Value() const { return FValue; }
    void SetValue(bool value) { FValue = value; }

protected:
    void WriteValue(TStream& stream) override;

private:
    bool FValue;
};

class TPdfNumber : public TPdfObject {
    TESS_CLASS(TPdfNumber, TPdfObject)
public:
    explicit TPdfNumber(std::int32_t value = 0) : FValue(value) {}
    std::int32_t Value() const { return FValue; }
    void SetValue(std::int32_t value) { FValue = value; }

protected:
    void WriteValue(TStream& stream) override;

private:
    std::int32_t FValue;
};

// Written in fixed notation: PDF has no exponent syntax. A value that is not finite raises
// EPdfInvalidValue when written.
class TPdfReal : public TPdfObject {
    TESS_CLASS(TPdfReal, TPdfObject)
public:
    explicit TPdfReal(double value = 0) : FValue(value) {}
    double Value() const { return FValue; }
    void SetValue(double value) { FValue = value; }

protected:
    void WriteValue(TStream& stream) override;

private:
    double FValue;
};

// A Windows-1252 text, written as a literal string.
class TPdfText : public TPdfObject {
    TESS_CLASS(TPdfText, TPdfObject)
public:
    explicit TPdfText(std::string value = {}) : FValue(std::move(value)) {}
    const std::string& Value() const { return FValue; }
    void SetValue(const std::string& value) { FValue = value; }

protected:
    void WriteValue(TStream& stream) override;

private:
    std::string FValue;
};

// A name, kept without its slash.
class TPdfName : public TPdfObject {
    TESS_CLASS(TPdfName, TPdfObject)
public:
    explicit TPdfName(std::string value = {}) : FValue(std::move(value)) {}
    const std::string& Value() const { return FValue; }
    void SetValue(const std::string& value) { FValue = value; }

protected:
    void WriteValue(TStream& stream) override;

private:
    std::string FValue;
};

// A reference to an indirect object by its number; made only by CreateVirtual.
class TPdfVirtualObject : public TPdfObject {
    TESS_CLASS(TPdfVirtualObject, TPdfObject)
public:
    static std::unique_ptr<TPdfVirtualObject> CreateVirtual(int number);

private:
    // Raises "virtualObject must be create by CreateVirtual method.": a reference without a
    // number would point nowhere.
    TPdfVirtualObject();
    explicit TPdfVirtualObject(int number);
};

// Direct values are handed over with their ownership; indirect objects stay with their manager
// and the container keeps a reference to them.
class TPdfArray : public TPdfObject {
    TESS_CLASS(TPdfArray, TPdfObject)
public:
    explicit TPdfArray(TPdfObjectMgr* manager = nullptr) : FManager(manager) {}

    // Adding an instance that is already an item does nothing.
    void Add(std::unique_ptr<TPdfObject> value);
    // Appends a new reference to an indirect object; raises EPdfInvalidOperation for an object
    // that is not registered.
    void Add(const TPdfObject& indirect);

    // The item at a 0-based index, references resolved through the manager (nullptr without
    // one); nullptr for an index out of range.
    TPdfObject* Items(int index) const;
    int ItemCount() const { return static_cast<int>(FItems.size()); }
    // The first item that is a name equal to text, or nullptr.
    TPdfName* FindName(const std::string& text) const;
    TPdfObjectMgr* ObjectMgr() const { return FManager; }

    static std::unique_ptr<TPdfArray> CreateNumberArray(TPdfObjectMgr* manager,
                                                        const std::vector<int>& numbers);

protected:
    void WriteValue(TStream& stream) override;

private:
    std::vector<std::unique_ptr<TPdfObject>> FItems;
    TPdfObjectMgr* FManager;
};

// One entry of a dictionary. Internal entries are kept and looked up but never written.
class TPdfDictionaryElement : public TObject {
    TESS_CLASS(TPdfDictionaryElement, TObject)
public:
    TPdfDictionaryElement(const std::string& key, std::unique_ptr<TPdfObject> value,
                          bool isInternal);

    const std::string& Key() const { return FKey->Value(); }
    const TPdfName& KeyName() const { return *FKey; }
    TPdfObject* Value() const { return FValue.get(); }
    bool IsInternal() const { return FIsInternal; }

private:
    std::unique_ptr<TPdfName> FKey;
    std::unique_ptr<TPdfObject> FValue;
    bool FIsInternal;
};

class TPdfStream;

class TPdfDictionary : public TPdfObject {
    TESS_CLASS(TPdfDictionary, TPdfObject)
public:
    explicit TPdfDictionary(TPdfObjectMgr* manager = nullptr) : FManager(manager) {}

    // Replaces an entry of the same key (the new one goes to the end). A value that is already
    // the value of that key is left where it is.
    void Add(const std::string& key, std::unique_ptr<TPdfObject> value);
    // Stores a reference to an indirect object; raises EPdfInvalidOperation for an object that
    // is not registered.
    void Add(const std::string& key, const TPdfObject& indirect);
    void AddInternal(const std::string& key, std::unique_ptr<TPdfObject> value);
    void Remove(const std::string& key);

    // The value of the key (case matters), references resolved through the manager; nullptr
    // when the key is absent. The typed forms also give nullptr for a value of another type.
    TPdfObject* ValueOf(const std::string& key) const;
    TPdfNumber* NumberOf(const std::string& key) const;
    TPdfReal* RealOf(const std::string& key) const;
    TPdfName* NameOf(const std::string& key) const;
    TPdfDictionary* DictionaryOf(const std::string& key) const;
    TPdfArray* ArrayOf(const std::string& key) const;

    int ItemCount() const { return static_cast<int>(FElements.size()); }
    const TPdfDictionaryElement& Items(int index) const { return *FElements.at(index); }
    TPdfObjectMgr* ObjectMgr() const { return FManager; }

protected:
    void WriteValue(TStream& stream) override;

private:
    void AddElement(const std::string& key, std::unique_ptr<TPdfObject> value, bool isInternal);
    const TPdfDictionaryElement* FindElement(const std::string& key) const;

    std::vector<std::unique_ptr<TPdfDictionaryElement>> FElements;
    TPdfObjectMgr* FManager;
};

// Data with its attribute dictionary, which starts with "Length" 0 and an empty "Filter".
// When "Filter" names FlateDecode the data is deflated as it is written.
class TPdfStream : public TPdfObject {
    TESS_CLASS(TPdfStream, TPdfObject)
public:
    explicit TPdfStream(TPdfObjectMgr* manager = nullptr);

    TPdfDictionary& Attributes() const { return *FAttributes; }
    // The data, unencoded.
    TMemoryStream& Stream() const { return *FStream; }

protected:
    void WriteValue(TStream& stream) override;

private:
    std::unique_ptr<TPdfDictionary> FAttributes;
    std::unique_ptr<TMemoryStream> FStream;
};

// Bytes written as they are.
class TPdfBinary : public TPdfObject {
    TESS_CLASS(TPdfBinary, TPdfObject)
public:
    TPdfBinary() : FStream(std::make_unique<TMemoryStream>()) {}
    TMemoryStream& Stream() const { return *FStream; }

protected:
    void WriteValue(TStream& stream) override;

private:
    std::unique_ptr<TMemoryStream> FStream;
};

// Marks a stream as an external object a page can paint.
class TPdfXObject : public TPdfStream {
    TESS_CLASS(TPdfXObject, TPdfStream)
public:
    using TPdfStream::TPdfStream;
};

class TPdfImage : public TPdfXObject {
    TESS_CLASS(TPdfImage, TPdfXObject)
public:
    using TPdfXObject::TPdfXObject;
};

// Numbers the indirect objects and owns them.
class TPdfObjectMgr : public TObject {
    TESS_CLASS(TPdfObjectMgr, TObject)
public:
    // Registers a direct object as an indirect one; the manager owns it from then on.
    virtual void AddObject(std::unique_ptr<TPdfObject> object) = 0;
    // nullptr for a number that is not registered.
    virtual TPdfObject* ObjectByNumber(int number) const = 0;
};

// A rectangle in PDF user space.
struct TPdfRect {
    float Left = 0;
    float Top = 0;
    float Right = 0;
    float Bottom = 0;
};

namespace PdfObject {

TPdfRect MakePdfRect(float left, float top, float right, float bottom);

// Writes the bytes of text and nothing else.
void WriteString(const std::string& text, TStream& stream);
// Two decimals at most, a point as separator: trunc(x × 100 + 0.5) / 100.
std::string FormatReal(double value);
// "D:yyyymmddhhnnss".
std::string FormatPdfDate(double dateTime);
std::string EscapeText(const std::string& text);
// The name with its slash, every byte outside "!".."~" and each of # % ( ) / < > [ ] { } as
// "#" and two hexadecimal digits.
std::string EscapeName(const std::string& name);
std::string TextToHex(const std::string& text);
// The UTF-16 units of the Windows-1252 text, four hexadecimal digits each.
std::string TextToUnicodeHex(const std::string& text);
// Texts are single-byte Windows-1252, so never.
bool IsMultiByteText(const std::string& text);
std::string UnicodeLanguagePrefix();
// The text of the dictionary's "Type" name, empty when it has none.
std::string TypeOf(const TPdfDictionary* dictionary);

} // namespace PdfObject
