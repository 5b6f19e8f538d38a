#pragma once
// The lines of the extended rich edit over the window's line messages, and its transfers: RTF
// or plain text through a conversion object, with a registry of file extensions.

#include "controls/ExRichEdit.h"

// Reads and writes through the OEM code page (850): the bytes of the stream are OEM, the text is
// Windows-1252.
class TOEMConversion : public TConversion {
    TESS_CLASS(TOEMConversion, TConversion)
public:
    int ConvertReadStream(TStream& Stream, char* Buffer, int BufSize) override;
    int ConvertWriteStream(TStream& Stream, const char* Buffer, int BufSize) override;
};

// One entry of the extension registry; the newest registration of an extension comes first.
struct TRichConversionFormat {
    TConversionClass ConversionClass;
    std::string Extension;
    bool PlainText = false;
    TRichConversionFormat* Next = nullptr;
};
using PRichConversionFormat = TRichConversionFormat*;

namespace ExRichEd {
// The first entry for the extension (without its dot, any case), or nullptr. Entries are added by
// TExCustomRichEdit::RegisterConversionFormat.
const TRichConversionFormat* FindConversionFormat(const std::string& AExtension);
} // namespace ExRichEd

class TRichEditStrings : public TStrings {
    TESS_CLASS(TRichEditStrings, TStrings)
public:
    explicit TRichEditStrings(TExCustomRichEdit* RichEdit) : FRichEdit(RichEdit) {}
    ~TRichEditStrings() override;

    void Clear() override;
    void Delete(int Index) override;
    void Insert(int Index, const std::string& S) override;
    void AddStrings(TStrings* Strings) override;
    // Replaces the whole text with one change notification.
    void SetText(const std::string& Text);
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) const override;
    void LoadFromFile(const std::string& FileName) override;
    void SaveToFile(const std::string& FileName) const override;

    ExRichEd::TRichStreamFormat Format() const { return FFormat; }
    void SetFormat(ExRichEd::TRichStreamFormat value) { FFormat = value; }
    ExRichEd::TRichStreamModes Mode() const { return FMode; }
    void SetMode(ExRichEd::TRichStreamModes value) { FMode = value; }
    // The list's own converter (made by LoadFromFile or SaveToFile), or nullptr.
    TConversion* Converter() const { return FConverter.get(); }

protected:
    std::string Get(int Index) const override;
    void Put(int Index, const std::string& S) override;
    int GetCount() const override;
    void SetUpdateState(bool Updating) override;

private:
    friend class TExCustomRichEdit;
    bool PlainFormat() const;
    // One transfer in; false when the window reports an error.
    bool StreamIn(TStream& Stream, bool Plain, bool Extras);
    // Runs a transfer with another format and mode, restoring both afterwards.
    void WithFormat(ExRichEd::TRichStreamFormat Format, ExRichEd::TRichStreamModes Mode,
                    const std::function<void()>& Transfer) const;
    // Replaces [from, to) without undo, as a lines update.
    void ReplaceRange(int From, int To, const std::string& S);
    std::string LineBreak() const;

    TExCustomRichEdit* FRichEdit;
    mutable ExRichEd::TRichStreamFormat FFormat = ExRichEd::sfDefault;
    mutable ExRichEd::TRichStreamModes FMode;
    mutable std::unique_ptr<TConversion> FConverter;
};
