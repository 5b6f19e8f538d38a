#pragma once
// The registry under its Windows names, the class library's TRegistry and TRegIniFile.
// Everything lives in the file-backed store of RegistryStore.

#include "platform/os/RegistryStore.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/SysErrors.h"

#include <string>
#include <vector>

class TStrings;

using REGSAM = DWORD;
using PHKEY = HKEY*;

// The root keys are handle values, as on Windows.
#define TESS_ROOT_KEY(value) (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(value)))
#define HKEY_CLASSES_ROOT TESS_ROOT_KEY(0x80000000u)
#define HKEY_CURRENT_USER TESS_ROOT_KEY(0x80000001u)
#define HKEY_LOCAL_MACHINE TESS_ROOT_KEY(0x80000002u)
#define HKEY_USERS TESS_ROOT_KEY(0x80000003u)
#define HKEY_PERFORMANCE_DATA TESS_ROOT_KEY(0x80000004u)
#define HKEY_CURRENT_CONFIG TESS_ROOT_KEY(0x80000005u)
#define HKEY_DYN_DATA TESS_ROOT_KEY(0x80000006u)

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = KEY_READ;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM desired, PHKEY result);
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                     REGSAM desired, void* securityAttributes, PHKEY result, DWORD* disposition);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueA(HKEY key, const char* valueName);
// As on Windows NT: a key that still has subkeys is refused with 5.
LONG RegDeleteKeyA(HKEY key, const char* subKey);
LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* keyClass,
                   DWORD* classSize, FILETIME* lastWriteTime);
LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameSize, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* dataSize);
LONG RegQueryInfoKeyA(HKEY key, char* keyClass, DWORD* classSize, DWORD* reserved, DWORD* subKeys,
                      DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values,
                      DWORD* maxValueNameLength, DWORD* maxValueLength, DWORD* securityDescriptor,
                      FILETIME* lastWriteTime);
LONG RegFlushKey(HKEY key);
// Removes the key with everything below it.
LONG RegDeleteTreeA(HKEY key, const char* subKey);

// --- TRegistry ----------------------------------------------------------------------------------

TESS_EXCEPTION(ERegistryException, Exception)

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegKeyInfo {
    int NumSubKeys = 0;
    int MaxSubKeyLen = 0;
    int NumValues = 0;
    int MaxValueLen = 0;
    int MaxDataLen = 0;
};

class TRegistry : public TObject {
    TESS_CLASS(TRegistry, TObject)
public:
    TRegistry();
    explicit TRegistry(REGSAM access);
    ~TRegistry() override;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return rootKey_; }
    // Changing the root closes the current key.
    void SetRootKey(HKEY root);
    HKEY CurrentKey() const { return currentKey_; }
    const std::string& CurrentPath() const { return currentPath_; }
    REGSAM Access = KEY_ALL_ACCESS;
    // When false, closing a key that was written flushes it at once; saves happen on close anyway.
    bool LazyWrite = true;

    // key is relative to the current key, or to the root when it starts with "\".
    // A failed open returns false and keeps the current key.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    // Raises ERegistryException "Failed to create key %s" when the key cannot be created.
    bool CreateKey(const std::string& key);
    // Removes the key with its whole subtree.
    bool DeleteKey(const std::string& key);
    bool KeyExists(const std::string& key);
    bool HasSubKeys();
    bool GetKeyInfo(TRegKeyInfo& info);
    void GetKeyNames(TStrings& names);
    void GetValueNames(TStrings& names);
    std::vector<std::string> KeyNames();
    std::vector<std::string> ValueNames();
    bool ValueExists(const std::string& name);
    TRegDataType GetDataType(const std::string& name);
    int GetDataSize(const std::string& name); // -1 when absent
    bool DeleteValue(const std::string& name);
    void CloseKey();

    std::string ReadString(const std::string& name); // "" when absent
    int ReadInteger(const std::string& name);
    bool ReadBool(const std::string& name);
    double ReadFloat(const std::string& name);
    TDateTime ReadDateTime(const std::string& name);
    TDateTime ReadDate(const std::string& name);
    TDateTime ReadTime(const std::string& name);
    // Returns the size of the data (0 when absent).
    int ReadBinaryData(const std::string& name, void* buffer, int bufferSize);

    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int value);
    void WriteBool(const std::string& name, bool value);
    void WriteFloat(const std::string& name, double value);
    void WriteDateTime(const std::string& name, TDateTime value);
    void WriteDate(const std::string& name, TDateTime value);
    void WriteTime(const std::string& name, TDateTime value);
    void WriteBinaryData(const std::string& name, const void* buffer, int bufferSize);

protected:
    // The handle and path a key name reaches from the current key; absolute tells if it began with "\".
    HKEY BaseKeyFor(const std::string& key, std::string& relative, bool& absolute) const;
    void ChangeKey(HKEY key, const std::string& path);
    bool ReadData(const std::string& name, DWORD& type, std::string& data);
    void WriteData(const std::string& name, DWORD type, const std::string& data);
    double ReadDouble(const std::string& name);

private:
    HKEY rootKey_ = nullptr;
    HKEY currentKey_ = nullptr;
    std::string currentPath_;
    bool closeRootKey_ = false;
};

// An INI file kept in the registry: the file name is a key under HKEY_CURRENT_USER, a section
// a subkey ("" the key itself, "\" nesting deeper), an ident a value. Reads never raise.
class TRegIniFile : public TRegistry {
    TESS_CLASS(TRegIniFile, TRegistry)
public:
    explicit TRegIniFile(const std::string& fileName);
    TRegIniFile(const std::string& fileName, REGSAM access);

    const std::string& FileName() const { return fileName_; }

    using TRegistry::DeleteKey;
    using TRegistry::ReadBool;
    using TRegistry::ReadInteger;
    using TRegistry::ReadString;
    using TRegistry::WriteBool;
    using TRegistry::WriteInteger;
    using TRegistry::WriteString;

    std::string ReadString(const std::string& section, const std::string& ident, const std::string& defaultValue);
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
    std::vector<std::string> SectionValues(const std::string& section);
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& ident);

private:
    // Opens the section's key below the file's key; nullptr when it is missing or cannot be made.
    HKEY OpenSection(const std::string& section, bool create);
    // The data of a value as text (strings, and DWORDs as decimal); false for absent or other types.
    bool ReadText(const std::string& section, const std::string& ident, std::string& text, bool& isNumber, int& number);
    std::string fileName_;
};
