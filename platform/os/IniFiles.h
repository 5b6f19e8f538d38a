#pragma once
// INI files with the Windows profile rules, written through at once and replaced atomically.

#include "platform/os/OsPaths.h"
#include "platform/rtl/Exceptions.h"

#include <string>
#include <unordered_map>
#include <vector>

class TStrings;

TESS_EXCEPTION(EIniFileException, Exception)

class TIniFile : public TObject {
    TESS_CLASS(TIniFile, TObject)
public:
    // A name without a folder part lives in the Windows folder, as the profile functions place it.
    explicit TIniFile(const std::string& fileName);

    const std::string& FileName() const { return fileName_; }

    std::string ReadString(const std::string& section, const std::string& ident,
                           const std::string& defaultValue);
    void WriteString(const std::string& section, const std::string& ident, const std::string& value);
    int ReadInteger(const std::string& section, const std::string& ident, int defaultValue);
    void WriteInteger(const std::string& section, const std::string& ident, int value);
    bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue);
    void WriteBool(const std::string& section, const std::string& ident, bool value);

    void ReadSection(const std::string& section, TStrings& idents);
    void ReadSections(TStrings& sections);
    void ReadSectionValues(const std::string& section, TStrings& values);
    std::vector<std::string> SectionIdents(const std::string& section);
    std::vector<std::string> SectionNames();
    std::vector<std::string> SectionValues(const std::string& section); // "ident=value"

    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& ident);
    bool SectionExists(const std::string& section);
    bool ValueExists(const std::string& section, const std::string& ident);
    // Writes are already on disk; nothing is left to do.
    void UpdateFile() {}

private:
    enum class TLineKind { Other, Section, Key };
    struct TLine {
        std::string Text; // the bytes of the line, without its end
        TLineKind Kind = TLineKind::Other;
        std::string Name;  // section name or key, trimmed
        std::string Value; // key value, trimmed and unquoted
    };
    struct TSectionIndex {
        size_t Header = 0;   // line of the header
        size_t LastLine = 0; // last line before the next section
        size_t LastKey = 0;  // last key line, or the header when it has none
        std::unordered_map<std::string, size_t> Keys; // upper-case key -> first line
        std::vector<std::string> KeyOrder;
    };

    void Refresh();
    void Parse(const std::string& bytes);
    void BuildIndex();
    const TSectionIndex* FindSection(const std::string& section) const;
    const TLine* FindKey(const std::string& section, const std::string& ident) const;
    // Replaces Count lines from First by Insert, on disk first and then in memory.
    struct TEdit {
        size_t First = 0;
        size_t Count = 0;
        std::vector<TLine> Insert;
    };
    void Save(const TEdit& edit);
    [[noreturn]] void RaiseUnableToWrite() const;

    std::string fileName_;
    std::string nativePath_;
    TFileIdentity identity_;
    bool loaded_ = false;
    bool unreadable_ = false;
    std::vector<TLine> lines_;
    std::vector<TSectionIndex> sections_;
    std::unordered_map<std::string, size_t> sectionByName_; // upper-case name -> sections_ index
};
