#include "platform/os/Registry.h"

#include "platform/os/private/OsSupport.h"

#include "platform/rtl/Lists.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

struct TOpenKey {
    TRegPath Path;
    REGSAM Access = 0;
    bool Wrote = false;
};

std::mutex handleMutex;
std::unordered_map<std::uintptr_t, TOpenKey> openKeys;
std::uintptr_t nextKeyHandle = 0x1000;

LONG Code(std::uint32_t code)
{
    return static_cast<LONG>(code);
}

bool IsRootKey(HKEY key, unsigned& index)
{
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    if (value < 0x80000000u || value > 0x80000006u)
        return false;
    index = static_cast<unsigned>(value - 0x80000000u);
    return true;
}

// The path and rights of a handle; false for an unknown handle.
bool LookUp(HKEY key, TOpenKey& result)
{
    unsigned root = 0;
    if (IsRootKey(key, root)) {
        result.Path = {OsSupport::RegistryRootNames[root]};
        result.Access = KEY_ALL_ACCESS;
        return true;
    }
    std::lock_guard<std::mutex> lock(handleMutex);
    const auto found = openKeys.find(reinterpret_cast<std::uintptr_t>(key));
    if (found == openKeys.end())
        return false;
    result = found->second;
    return true;
}

void MarkWritten(HKEY key)
{
    std::lock_guard<std::mutex> lock(handleMutex);
    const auto found = openKeys.find(reinterpret_cast<std::uintptr_t>(key));
    if (found != openKeys.end())
        found->second.Wrote = true;
}

HKEY NewHandle(const TRegPath& path, REGSAM access, bool wrote)
{
    std::lock_guard<std::mutex> lock(handleMutex);
    const std::uintptr_t id = nextKeyHandle++;
    openKeys[id] = TOpenKey{path, access, wrote};
    return reinterpret_cast<HKEY>(id);
}

// Appends the parts of subKey to path. Empty parts (a leading, doubled or final "\") are skipped.
bool AppendSubKey(TRegPath& path, const char* subKey)
{
    if (subKey == nullptr)
        return true;
    const std::string text = subKey;
    size_t start = 0;
    while (start <= text.size()) {
        size_t slash = text.find('\\', start);
        if (slash == std::string::npos)
            slash = text.size();
        const std::string part = text.substr(start, slash - start);
        if (!part.empty()) {
            if (!IsValidRegKeyPart(part))
                return false;
            path.push_back(part);
        }
        start = slash + 1;
    }
    return true;
}

std::string ValueBytes(const TRegValueData& value)
{
    return value.Type == REG_SZ || value.Type == REG_EXPAND_SZ ? value.Data + '\0' : value.Data;
}

// Copies bytes to a caller's buffer by the Windows contract.
LONG CopyOut(const std::string& bytes, BYTE* data, DWORD* dataSize)
{
    if (data != nullptr && dataSize == nullptr)
        return Code(ERROR_INVALID_PARAMETER);
    if (dataSize == nullptr)
        return 0;
    const auto needed = static_cast<DWORD>(bytes.size());
    if (data != nullptr && *dataSize < needed) {
        *dataSize = needed;
        return Code(ERROR_MORE_DATA);
    }
    if (data != nullptr)
        std::memcpy(data, bytes.data(), bytes.size());
    *dataSize = needed;
    return 0;
}

// Copies a name to a buffer of *size characters (zero included); *size becomes its length.
LONG CopyName(const std::string& name, char* buffer, DWORD* size)
{
    if (buffer == nullptr || size == nullptr)
        return Code(ERROR_INVALID_PARAMETER);
    if (name.size() + 1 > *size)
        return Code(ERROR_MORE_DATA);
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return 0;
}

std::string Str(const char* text)
{
    return text != nullptr ? text : "";
}

} // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD /*options*/, REGSAM desired, PHKEY result)
{
    if (result == nullptr)
        return Code(ERROR_INVALID_PARAMETER);
    TOpenKey base;
    if (!LookUp(key, base))
        return Code(ERROR_INVALID_HANDLE);
    TRegistryStore& store = TRegistryStore::Instance();
    store.RefreshIfChanged();
    if (!store.KeyExists(base.Path))
        return Code(ERROR_KEY_DELETED);
    TRegPath path = base.Path;
    if (!AppendSubKey(path, subKey))
        return Code(ERROR_INVALID_PARAMETER);
    if (!store.KeyExists(path))
        return Code(ERROR_FILE_NOT_FOUND);
    *result = NewHandle(path, desired, false);
    return 0;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD /*reserved*/, char* /*keyClass*/, DWORD /*options*/,
                     REGSAM desired, void* /*securityAttributes*/, PHKEY result, DWORD* disposition)
{
    if (result == nullptr)
        return Code(ERROR_INVALID_PARAMETER);
    TOpenKey base;
    if (!LookUp(key, base))
        return Code(ERROR_INVALID_HANDLE);
    TRegistryStore& store = TRegistryStore::Instance();
    store.RefreshIfChanged();
    if (!store.KeyExists(base.Path))
        return Code(ERROR_KEY_DELETED);
    TRegPath path = base.Path;
    if (!AppendSubKey(path, subKey))
        return Code(ERROR_INVALID_PARAMETER);
    bool created = false;
    if (!store.KeyExists(path)) {
        if ((base.Access & KEY_CREATE_SUB_KEY) == 0)
            return Code(ERROR_ACCESS_DENIED);
        const LONG code = store.CreateKey(path, created);
        if (code != 0)
            return code;
    }
    if (disposition != nullptr)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(path, desired, created);
    return 0;
}

LONG RegCloseKey(HKEY key)
{
    unsigned root = 0;
    if (IsRootKey(key, root))
        return 0;
    TOpenKey closed;
    {
        std::lock_guard<std::mutex> lock(handleMutex);
        const auto found = openKeys.find(reinterpret_cast<std::uintptr_t>(key));
        if (found == openKeys.end())
            return Code(ERROR_INVALID_HANDLE);
        closed = found->second;
        openKeys.erase(found);
    }
    // A failed save keeps the changes pending for the next one; closing still succeeds.
    if (closed.Wrote)
        TRegistryStore::Instance().Save();
    return 0;
}

LONG RegFlushKey(HKEY key)
{
    TOpenKey open;
    if (!LookUp(key, open))
        return Code(ERROR_INVALID_HANDLE);
    if (!TRegistryStore::Instance().Save())
        return Code(GetLastError() != 0 ? GetLastError() : ERROR_GEN_FAILURE);
    return 0;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* /*reserved*/, DWORD* type, BYTE* data,
                      DWORD* dataSize)
{
    TOpenKey open;
    if (!LookUp(key, open))
        return Code(ERROR_INVALID_HANDLE);
    TRegValueData value;
    const LONG code = TRegistryStore::Instance().QueryValue(open.Path, Str(valueName), value);
    if (code != 0)
        return code;
    if (type != nullptr)
        *type = value.Type;
    return CopyOut(ValueBytes(value), data, dataSize);
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD dataSize)
{
    TOpenKey open;
    if (!LookUp(key, open))
        return Code(ERROR_INVALID_HANDLE);
    if ((open.Access & KEY_SET_VALUE) == 0)
        return Code(ERROR_ACCESS_DENIED);
    if (data == nullptr && dataSize != 0)
        return Code(ERROR_INVALID_PARAMETER);
    TRegValueData value;
    value.Name = Str(valueName);
    value.Type = type;
    const char* bytes = reinterpret_cast<const char*>(data);
    switch (type) {
    case REG_SZ:
        // The size counts the terminating zero; the text ends at the first zero.
        value.Data.assign(bytes != nullptr ? bytes : "", dataSize);
        value.Data.resize(std::strlen(value.Data.c_str()));
        break;
    case REG_DWORD:
        if (dataSize != 4)
            return Code(ERROR_INVALID_PARAMETER);
        value.Data.assign(bytes, 4);
        break;
    case REG_BINARY:
        value.Data.assign(bytes != nullptr ? bytes : "", dataSize);
        break;
    default:
        return Code(ERROR_INVALID_PARAMETER);
    }
    const LONG code = TRegistryStore::Instance().SetValue(open.Path, value);
    if (code == 0)
        MarkWritten(key);
    return code;
}

LONG RegDeleteValueA(HKEY key, const char* valueName)
{
    TOpenKey open;
    if (!LookUp(key, open))
        return Code(ERROR_INVALID_HANDLE);
    if ((open.Access & KEY_SET_VALUE) == 0)
        return Code(ERROR_ACCESS_DENIED);
    const LONG code = TRegistryStore::Instance().DeleteValue(open.Path, Str(valueName));
    if (code == 0)
        MarkWritten(key);
    return code;
}

namespace {

LONG DeleteKeyBelow(HKEY key, const char* subKey, bool subtree)
{
    TOpenKey open;
    if (!LookUp(key, open))
        return Code(ERROR_INVALID_HANDLE);
    TRegPath path = open.Path;
    if (!AppendSubKey(path, subKey))
        return Code(ERROR_INVALID_PARAMETER);
    if (path.size() == open.Path.size())
        return Code(ERROR_INVALID_PARAMETER); // a key never deletes itself through an empty name
    TRegistryStore& store = TRegistryStore::Instance();
    store.RefreshIfChanged();
    const LONG code = store.DeleteKey(path, subtree);
    if (code == 0 && !store.Save())
        return Code(GetLastError());
    return code;
}

} // namespace

LONG RegDeleteKeyA(HKEY key, const char* subKey)
{
    return DeleteKeyBelow(key, subKey, false);
}

LONG RegDeleteTreeA(HKEY key, const char* subKey)
{
    return DeleteKeyBelow(key, subKey, true);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* /*reserved*/, char* keyClass,
                   DWORD* classSize, FILETIME* lastWriteTime)
{
    TOpenKey open;
    if (!LookUp(key, open))
        return Code(ERROR_INVALID_HANDLE);
    std::vector<std::string> names;
    const LONG code = TRegistryStore::Instance().SubKeys(open.Path, names);
    if (code != 0)
        return code;
    if (index >= names.size())
        return Code(ERROR_NO_MORE_ITEMS);
    if (keyClass != nullptr && classSize != nullptr && *classSize > 0) {
        keyClass[0] = '\0';
        *classSize = 0;
    }
    if (lastWriteTime != nullptr)
        *lastWriteTime = FILETIME{};
    return CopyName(names[index], name, nameSize);
}

LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameSize, DWORD* /*reserved*/,
                   DWORD* type, BYTE* data, DWORD* dataSize)
{
    TOpenKey open;
    if (!LookUp(key, open))
        return Code(ERROR_INVALID_HANDLE);
    std::vector<TRegValueData> values;
    const LONG code = TRegistryStore::Instance().Values(open.Path, values);
    if (code != 0)
        return code;
    if (index >= values.size())
        return Code(ERROR_NO_MORE_ITEMS);
    const LONG nameCode = CopyName(values[index].Name, valueName, valueNameSize);
    if (nameCode != 0)
        return nameCode;
    if (type != nullptr)
        *type = values[index].Type;
    return CopyOut(ValueBytes(values[index]), data, dataSize);
}

LONG RegQueryInfoKeyA(HKEY key, char* keyClass, DWORD* classSize, DWORD* /*reserved*/, DWORD* subKeys,
                      DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength,
                      DWORD* maxValueLength, DWORD* securityDescriptor, FILETIME* lastWriteTime)
{
    TOpenKey open;
    if (!LookUp(key, open))
        return Code(ERROR_INVALID_HANDLE);
    std::vector<std::string> names;
    std::vector<TRegValueData> data;
    TRegistryStore& store = TRegistryStore::Instance();
    LONG code = store.SubKeys(open.Path, names);
    if (code == 0)
        code = store.Values(open.Path, data);
    if (code != 0)
        return code;
    DWORD longestKey = 0, longestName = 0, longestData = 0;
    for (const std::string& name : names)
        longestKey = std::max(longestKey, static_cast<DWORD>(name.size()));
    for (const TRegValueData& value : data) {
        longestName = std::max(longestName, static_cast<DWORD>(value.Name.size()));
        longestData = std::max(longestData, static_cast<DWORD>(ValueBytes(value).size()));
    }
    if (keyClass != nullptr && classSize != nullptr && *classSize > 0)
        keyClass[0] = '\0';
    if (classSize != nullptr)
        *classSize = 0;
    if (subKeys != nullptr)
        *subKeys = static_cast<DWORD>(names.size());
    if (maxSubKeyLength != nullptr)
        *maxSubKeyLength = longestKey;
    if (maxClassLength != nullptr)
        *maxClassLength = 0;
    if (values != nullptr)
        *values = static_cast<DWORD>(data.size());
    if (maxValueNameLength != nullptr)
        *maxValueNameLength = longestName;
    if (maxValueLength != nullptr)
        *maxValueLength = longestData;
    if (securityDescriptor != nullptr)
        *securityDescriptor = 0;
    if (lastWriteTime != nullptr)
        *lastWriteTime = FILETIME{};
    return 0;
}

// --- TRegistry ----------------------------------------------------------------------------------

namespace {

[[noreturn]] void RaiseRegistry(const std::string& format, const std::string& name)
{
    const auto at = format.find("%s");
    RAISE(ERegistryException(format.substr(0, at) + name + format.substr(at + 2)));
}

std::string DwordBytes(std::uint32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

std::uint32_t DwordOf(const std::string& bytes)
{
    std::uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < bytes.size(); ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return value;
}

bool QueryValue(HKEY key, const std::string& name, DWORD& type, std::string& data)
{
    TOpenKey open;
    if (key == nullptr || !LookUp(key, open))
        return false;
    TRegValueData value;
    if (TRegistryStore::Instance().QueryValue(open.Path, name, value) != 0)
        return false;
    type = value.Type;
    data = std::move(value.Data);
    return true;
}

} // namespace

TRegistry::TRegistry() : rootKey_(HKEY_CURRENT_USER) {}

TRegistry::TRegistry(REGSAM access) : Access(access), rootKey_(HKEY_CURRENT_USER) {}

TRegistry::~TRegistry()
{
    CloseKey();
}

void TRegistry::SetRootKey(HKEY root)
{
    if (root != rootKey_) {
        CloseKey();
        rootKey_ = root;
    }
}

void TRegistry::CloseKey()
{
    if (currentKey_ != nullptr) {
        if (!LazyWrite)
            RegFlushKey(currentKey_);
        RegCloseKey(currentKey_);
        currentKey_ = nullptr;
        currentPath_.clear();
    }
}

void TRegistry::ChangeKey(HKEY key, const std::string& path)
{
    CloseKey();
    currentKey_ = key;
    currentPath_ = path;
}

HKEY TRegistry::BaseKeyFor(const std::string& key, std::string& relative, bool& absolute) const
{
    absolute = !key.empty() && key[0] == '\\';
    relative = absolute ? key.substr(1) : key;
    return absolute || currentKey_ == nullptr ? rootKey_ : currentKey_;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    std::string relative;
    bool absolute = false;
    const HKEY base = BaseKeyFor(key, relative, absolute);
    HKEY opened = nullptr;
    LONG code;
    if (canCreate)
        code = RegCreateKeyExA(base, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr,
                               &opened, nullptr);
    else
        code = RegOpenKeyExA(base, relative.c_str(), 0, Access, &opened);
    if (code != 0)
        return false;
    std::string path = relative;
    if (!absolute && base == currentKey_ && !currentPath_.empty())
        path = relative.empty() ? currentPath_ : currentPath_ + "\\" + relative;
    ChangeKey(opened, path);
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key)
{
    const REGSAM saved = Access;
    Access = KEY_READ;
    const bool opened = OpenKey(key, false);
    Access = saved;
    return opened;
}

bool TRegistry::CreateKey(const std::string& key)
{
    std::string relative;
    bool absolute = false;
    const HKEY base = BaseKeyFor(key, relative, absolute);
    HKEY created = nullptr;
    if (RegCreateKeyExA(base, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr, &created,
                        nullptr) != 0)
        RaiseRegistry("Failed to create key %s", key);
    RegCloseKey(created);
    return true;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    std::string relative;
    bool absolute = false;
    const HKEY base = BaseKeyFor(key, relative, absolute);
    return RegDeleteTreeA(base, relative.c_str()) == 0;
}

bool TRegistry::KeyExists(const std::string& key)
{
    std::string relative;
    bool absolute = false;
    const HKEY base = BaseKeyFor(key, relative, absolute);
    HKEY opened = nullptr;
    if (RegOpenKeyExA(base, relative.c_str(), 0, KEY_READ, &opened) != 0)
        return false;
    RegCloseKey(opened);
    return true;
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& info)
{
    info = TRegKeyInfo{};
    if (currentKey_ == nullptr)
        return false;
    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxData = 0;
    if (RegQueryInfoKeyA(currentKey_, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values,
                         &maxValueName, &maxData, nullptr, nullptr) != 0)
        return false;
    info.NumSubKeys = static_cast<int>(subKeys);
    info.MaxSubKeyLen = static_cast<int>(maxSubKey);
    info.NumValues = static_cast<int>(values);
    info.MaxValueLen = static_cast<int>(maxValueName);
    info.MaxDataLen = static_cast<int>(maxData);
    return true;
}

bool TRegistry::HasSubKeys()
{
    TRegKeyInfo info;
    return GetKeyInfo(info) && info.NumSubKeys > 0;
}

std::vector<std::string> TRegistry::KeyNames()
{
    std::vector<std::string> names;
    TOpenKey open;
    if (currentKey_ != nullptr && LookUp(currentKey_, open))
        TRegistryStore::Instance().SubKeys(open.Path, names);
    return names;
}

std::vector<std::string> TRegistry::ValueNames()
{
    std::vector<std::string> names;
    std::vector<TRegValueData> values;
    TOpenKey open;
    if (currentKey_ != nullptr && LookUp(currentKey_, open) &&
        TRegistryStore::Instance().Values(open.Path, values) == 0)
        for (const TRegValueData& value : values)
            names.push_back(value.Name);
    return names;
}

bool TRegistry::ValueExists(const std::string& name)
{
    DWORD type = 0;
    return currentKey_ != nullptr && RegQueryValueExA(currentKey_, name.c_str(), nullptr, &type, nullptr, nullptr) == 0;
}

TRegDataType TRegistry::GetDataType(const std::string& name)
{
    DWORD type = 0;
    if (currentKey_ == nullptr || RegQueryValueExA(currentKey_, name.c_str(), nullptr, &type, nullptr, nullptr) != 0)
        return rdUnknown;
    switch (type) {
    case REG_SZ:
        return rdString;
    case REG_EXPAND_SZ:
        return rdExpandString;
    case REG_DWORD:
        return rdInteger;
    case REG_BINARY:
        return rdBinary;
    default:
        return rdUnknown;
    }
}

int TRegistry::GetDataSize(const std::string& name)
{
    DWORD size = 0;
    if (currentKey_ == nullptr || RegQueryValueExA(currentKey_, name.c_str(), nullptr, nullptr, nullptr, &size) != 0)
        return -1;
    return static_cast<int>(size);
}

bool TRegistry::DeleteValue(const std::string& name)
{
    return currentKey_ != nullptr && RegDeleteValueA(currentKey_, name.c_str()) == 0;
}

bool TRegistry::ReadData(const std::string& name, DWORD& type, std::string& data)
{
    return QueryValue(currentKey_, name, type, data);
}

void TRegistry::WriteData(const std::string& name, DWORD type, const std::string& data)
{
    if (currentKey_ == nullptr ||
        RegSetValueExA(currentKey_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size())) != 0)
        RaiseRegistry("Failed to set data for '%s'", name);
}

std::string TRegistry::ReadString(const std::string& name)
{
    DWORD type = 0;
    std::string data;
    if (!ReadData(name, type, data) || (data.empty() && type != REG_SZ && type != REG_EXPAND_SZ))
        return "";
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        RaiseRegistry("Invalid data type for '%s'", name);
    return data;
}

int TRegistry::ReadInteger(const std::string& name)
{
    DWORD type = 0;
    std::string data;
    if (!ReadData(name, type, data))
        RaiseRegistry("Failed to get data for '%s'", name);
    if (type != REG_DWORD)
        RaiseRegistry("Invalid data type for '%s'", name);
    return static_cast<int>(DwordOf(data));
}

bool TRegistry::ReadBool(const std::string& name)
{
    return ReadInteger(name) != 0;
}

double TRegistry::ReadDouble(const std::string& name)
{
    DWORD type = 0;
    std::string data;
    if (!ReadData(name, type, data))
        RaiseRegistry("Failed to get data for '%s'", name);
    if (type != REG_BINARY || data.size() != sizeof(double))
        RaiseRegistry("Invalid data type for '%s'", name);
    double value = 0;
    std::memcpy(&value, data.data(), sizeof value);
    return value;
}

double TRegistry::ReadFloat(const std::string& name)
{
    return ReadDouble(name);
}

TDateTime TRegistry::ReadDateTime(const std::string& name)
{
    return ReadDouble(name);
}

TDateTime TRegistry::ReadDate(const std::string& name)
{
    return ReadDouble(name);
}

TDateTime TRegistry::ReadTime(const std::string& name)
{
    return ReadDouble(name);
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufferSize)
{
    DWORD type = 0;
    std::string data;
    if (!ReadData(name, type, data))
        return 0;
    if ((type != REG_BINARY && type != REG_NONE) || static_cast<int>(data.size()) > bufferSize)
        RaiseRegistry("Invalid data type for '%s'", name);
    if (!data.empty())
        std::memcpy(buffer, data.data(), data.size());
    return static_cast<int>(data.size());
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    WriteData(name, REG_SZ, value + '\0');
}

void TRegistry::WriteInteger(const std::string& name, int value)
{
    WriteData(name, REG_DWORD, DwordBytes(static_cast<std::uint32_t>(value)));
}

void TRegistry::WriteBool(const std::string& name, bool value)
{
    WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteFloat(const std::string& name, double value)
{
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    WriteData(name, REG_BINARY, bytes);
}

void TRegistry::WriteDateTime(const std::string& name, TDateTime value)
{
    WriteFloat(name, value);
}

void TRegistry::WriteDate(const std::string& name, TDateTime value)
{
    WriteFloat(name, value);
}

void TRegistry::WriteTime(const std::string& name, TDateTime value)
{
    WriteFloat(name, value);
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int bufferSize)
{
    WriteData(name, REG_BINARY, std::string(static_cast<const char*>(buffer), static_cast<size_t>(std::max(bufferSize, 0))));
}

// --- TRegIniFile --------------------------------------------------------------------------------

TRegIniFile::TRegIniFile(const std::string& fileName) : fileName_(fileName)
{
    OpenKey(fileName, true);
}

TRegIniFile::TRegIniFile(const std::string& fileName, REGSAM access) : TRegistry(access), fileName_(fileName)
{
    OpenKey(fileName, true);
}

HKEY TRegIniFile::OpenSection(const std::string& section, bool create)
{
    if (CurrentKey() == nullptr)
        return nullptr;
    HKEY key = nullptr;
    LONG code;
    if (create)
        code = RegCreateKeyExA(CurrentKey(), section.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr,
                               &key, nullptr);
    else
        code = RegOpenKeyExA(CurrentKey(), section.c_str(), 0, KEY_READ, &key);
    return code == 0 ? key : nullptr;
}

bool TRegIniFile::ReadText(const std::string& section, const std::string& ident, std::string& text, bool& isNumber,
                           int& number)
{
    const HKEY key = OpenSection(section, false);
    if (key == nullptr)
        return false;
    DWORD type = 0;
    std::string data;
    const bool found = QueryValue(key, ident, type, data);
    RegCloseKey(key);
    if (!found)
        return false;
    isNumber = type == REG_DWORD;
    if (isNumber) {
        number = static_cast<int>(DwordOf(data));
        text = std::to_string(number);
        return true;
    }
    text = data;
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& defaultValue)
{
    std::string text;
    bool isNumber = false;
    int number = 0;
    if (!ReadText(section, ident, text, isNumber, number) || isNumber)
        return defaultValue;
    return text;
}

int TRegIniFile::ReadInteger(const std::string& section, const std::string& ident, int defaultValue)
{
    std::string text;
    bool isNumber = false;
    int number = 0;
    if (!ReadText(section, ident, text, isNumber, number))
        return defaultValue;
    return isNumber ? number : StrToIntDef(text, defaultValue);
}

bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident, bool defaultValue)
{
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value)
{
    const HKEY key = OpenSection(section, true);
    const std::string data = value + '\0';
    const bool written = key != nullptr && RegSetValueExA(key, ident.c_str(), 0, REG_SZ,
                                                          reinterpret_cast<const BYTE*>(data.data()),
                                                          static_cast<DWORD>(data.size())) == 0;
    if (key != nullptr)
        RegCloseKey(key);
    if (!written)
        RaiseRegistry("Failed to set data for '%s'", ident);
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident, int value)
{
    WriteString(section, ident, std::to_string(value));
}

void TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value)
{
    WriteString(section, ident, value ? "1" : "0");
}

std::vector<std::string> TRegIniFile::SectionIdents(const std::string& section)
{
    std::vector<std::string> names;
    const HKEY key = OpenSection(section, false);
    if (key == nullptr)
        return names;
    TOpenKey open;
    std::vector<TRegValueData> values;
    if (LookUp(key, open) && TRegistryStore::Instance().Values(open.Path, values) == 0)
        for (const TRegValueData& value : values)
            names.push_back(value.Name);
    RegCloseKey(key);
    return names;
}

std::vector<std::string> TRegIniFile::SectionNames()
{
    return KeyNames();
}

std::vector<std::string> TRegIniFile::SectionValues(const std::string& section)
{
    std::vector<std::string> result;
    for (const std::string& ident : SectionIdents(section)) {
        std::string text;
        bool isNumber = false;
        int number = 0;
        if (ReadText(section, ident, text, isNumber, number))
            result.push_back(ident + "=" + text);
    }
    return result;
}

void TRegIniFile::EraseSection(const std::string& section)
{
    if (CurrentKey() != nullptr)
        RegDeleteTreeA(CurrentKey(), section.c_str());
}

void TRegIniFile::DeleteKey(const std::string& section, const std::string& ident)
{
    const HKEY key = OpenSection(section, false);
    if (key == nullptr)
        return;
    HKEY writable = nullptr;
    RegCloseKey(key);
    if (RegOpenKeyExA(CurrentKey(), section.c_str(), 0, KEY_ALL_ACCESS, &writable) == 0) {
        RegDeleteValueA(writable, ident.c_str());
        RegCloseKey(writable);
    }
}

// --- String-list forms --------------------------------------------------------------------------

namespace {
} // namespace

void TRegistry::GetKeyNames(TStrings& names)
{
    OsSupport::FillStrings(names, KeyNames());
}

void TRegistry::GetValueNames(TStrings& names)
{
    OsSupport::FillStrings(names, ValueNames());
}

void TRegIniFile::ReadSection(const std::string& section, TStrings& idents)
{
    OsSupport::FillStrings(idents, SectionIdents(section));
}

void TRegIniFile::ReadSections(TStrings& sections)
{
    OsSupport::FillStrings(sections, SectionNames());
}

void TRegIniFile::ReadSectionValues(const std::string& section, TStrings& values)
{
    OsSupport::FillStrings(values, SectionValues(section));
}
