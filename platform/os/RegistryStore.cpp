#include "platform/os/RegistryStore.h"

#include "platform/os/private/OsSupport.h"

#include "platform/os/OsPaths.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace {

const char* const fileHeader = "TESSELLARIUM REGISTRY 1";
struct TKey {
    std::string Name;
    std::map<std::string, std::unique_ptr<TKey>> Children; // by upper-case name
    std::vector<TRegValueData> Values;                     // creation order
};

struct TTree {
    std::map<std::string, std::unique_ptr<TKey>> Roots; // by upper-case name

    TTree()
    {
        for (const char* name : OsSupport::RegistryRootNames) {
            auto root = std::make_unique<TKey>();
            root->Name = name;
            Roots.emplace(name, std::move(root));
        }
        // As on every Windows installation, the two "Software" keys always exist.
        bool created = false;
        Create({"HKEY_CURRENT_USER", "Software"}, created);
        Create({"HKEY_LOCAL_MACHINE", "Software"}, created);
    }

    TKey* Find(const TRegPath& path) const
    {
        if (path.empty())
            return nullptr;
        const auto root = Roots.find(AnsiUpperCase(path[0]));
        if (root == Roots.end())
            return nullptr;
        TKey* key = root->second.get();
        for (size_t i = 1; i < path.size() && key != nullptr; ++i) {
            const auto child = key->Children.find(AnsiUpperCase(path[i]));
            key = child == key->Children.end() ? nullptr : child->second.get();
        }
        return key;
    }

    // Creates the missing keys of the path; nullptr when the root is unknown.
    TKey* Create(const TRegPath& path, bool& created)
    {
        created = false;
        if (path.empty())
            return nullptr;
        const auto root = Roots.find(AnsiUpperCase(path[0]));
        if (root == Roots.end())
            return nullptr;
        TKey* key = root->second.get();
        for (size_t i = 1; i < path.size(); ++i) {
            auto& slot = key->Children[AnsiUpperCase(path[i])];
            if (!slot) {
                slot = std::make_unique<TKey>();
                slot->Name = path[i];
                created = true;
            }
            key = slot.get();
        }
        return key;
    }

    // Removes the key and its subtree; roots cannot be removed.
    bool Remove(const TRegPath& path)
    {
        if (path.size() < 2)
            return false;
        TKey* parent = Find(TRegPath(path.begin(), path.end() - 1));
        if (parent == nullptr)
            return false;
        return parent->Children.erase(AnsiUpperCase(path.back())) > 0;
    }
};

TRegValueData* FindValue(TKey& key, const std::string& name)
{
    const std::string upper = AnsiUpperCase(name);
    for (TRegValueData& value : key.Values)
        if (value.Name.size() == name.size() && AnsiUpperCase(value.Name) == upper)
            return &value;
    return nullptr;
}

// One change of this process, replayed on a fresh copy of the file before saving.
struct TRegistryOperation {
    enum TKind { CreateKey, DeleteKey, SetValue, DeleteValue } Kind;
    TRegPath Path;
    TRegValueData Value; // the value set, or the name deleted
};

void Apply(TTree& tree, const TRegistryOperation& operation)
{
    bool created = false;
    switch (operation.Kind) {
    case TRegistryOperation::CreateKey:
        tree.Create(operation.Path, created);
        break;
    case TRegistryOperation::DeleteKey:
        tree.Remove(operation.Path);
        break;
    case TRegistryOperation::SetValue:
        if (TKey* key = tree.Create(operation.Path, created)) {
            if (TRegValueData* existing = FindValue(*key, operation.Value.Name))
                *existing = operation.Value;
            else
                key->Values.push_back(operation.Value);
        }
        break;
    case TRegistryOperation::DeleteValue:
        if (TKey* key = tree.Find(operation.Path)) {
            auto& values = key->Values;
            const std::string upper = AnsiUpperCase(operation.Value.Name);
            for (auto it = values.begin(); it != values.end(); ++it)
                if (AnsiUpperCase(it->Name) == upper) {
                    values.erase(it);
                    break;
                }
        }
        break;
    }
}

// --- The file format -------------------------------------------------------------------------

std::string Quote(const std::string& text)
{
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                out += "\\x";
                out += hex[byte >> 4];
                out += hex[byte & 15];
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

// Reads a quoted text starting at pos; moves pos past the closing quote.
bool Unquote(const std::string& line, size_t& pos, std::string& text)
{
    if (pos >= line.size() || line[pos] != '"')
        return false;
    text.clear();
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++pos >= line.size())
            return false;
        c = line[pos];
        switch (c) {
        case '\\': text += '\\'; break;
        case '"': text += '"'; break;
        case 'r': text += '\r'; break;
        case 'n': text += '\n'; break;
        case 't': text += '\t'; break;
        case 'x': {
            if (pos + 2 >= line.size())
                return false;
            const int high = HexDigitValue(line[pos + 1]);
            const int low = HexDigitValue(line[pos + 2]);
            if (high < 0 || low < 0)
                return false;
            text += static_cast<char>(high * 16 + low);
            pos += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

std::string FormatValue(const TRegValueData& value)
{
    static const char hex[] = "0123456789abcdef";
    std::string line = value.Name.empty() ? "@" : Quote(value.Name);
    line += "=";
    if (value.Type == REG_SZ) {
        line += "sz:" + Quote(value.Data);
    } else if (value.Type == REG_DWORD) {
        std::uint32_t number = 0;
        for (size_t i = 0; i < 4 && i < value.Data.size(); ++i)
            number |= static_cast<std::uint32_t>(static_cast<unsigned char>(value.Data[i])) << (8 * i);
        char text[16];
        std::snprintf(text, sizeof text, "%08x", number);
        line += "dword:";
        line += text;
    } else {
        line += "hex:";
        for (size_t i = 0; i < value.Data.size(); ++i) {
            const auto byte = static_cast<unsigned char>(value.Data[i]);
            if (i > 0)
                line += ',';
            line += hex[byte >> 4];
            line += hex[byte & 15];
        }
    }
    return line;
}

bool ParseValue(const std::string& line, TRegValueData& value)
{
    size_t pos = 0;
    if (line.compare(0, 2, "@=") == 0) {
        value.Name.clear();
        pos = 1;
    } else if (!Unquote(line, pos, value.Name) || !IsValidRegValueName(value.Name)) {
        return false;
    }
    if (pos >= line.size() || line[pos] != '=')
        return false;
    ++pos;
    const std::string rest = line.substr(pos);
    if (rest.compare(0, 3, "sz:") == 0) {
        size_t at = 3;
        value.Type = REG_SZ;
        return Unquote(rest, at, value.Data) && at == rest.size();
    }
    if (rest.compare(0, 6, "dword:") == 0) {
        if (rest.size() != 14)
            return false;
        std::uint32_t number = 0;
        for (size_t i = 6; i < 14; ++i) {
            const int digit = HexDigitValue(rest[i]);
            if (digit < 0)
                return false;
            number = number * 16 + static_cast<std::uint32_t>(digit);
        }
        value.Type = REG_DWORD;
        value.Data.clear();
        for (int i = 0; i < 4; ++i)
            value.Data += static_cast<char>((number >> (8 * i)) & 0xFF);
        return true;
    }
    if (rest.compare(0, 4, "hex:") == 0) {
        value.Type = REG_BINARY;
        value.Data.clear();
        size_t at = 4;
        while (at < rest.size()) {
            if (at + 2 > rest.size())
                return false;
            const int high = HexDigitValue(rest[at]);
            const int low = HexDigitValue(rest[at + 1]);
            if (high < 0 || low < 0)
                return false;
            value.Data += static_cast<char>(high * 16 + low);
            at += 2;
            if (at < rest.size()) {
                if (rest[at] != ',' || at + 1 == rest.size())
                    return false;
                ++at;
            }
        }
        return true;
    }
    return false;
}

bool ParseKeyLine(const std::string& line, TRegPath& path)
{
    if (line.size() < 3 || line.front() != '[' || line.back() != ']')
        return false;
    path.clear();
    const std::string inner = line.substr(1, line.size() - 2);
    size_t start = 0;
    for (;;) {
        const size_t slash = inner.find('\\', start);
        const std::string part = inner.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (path.empty()) {
            if (std::find(std::begin(OsSupport::RegistryRootNames), std::end(OsSupport::RegistryRootNames), AnsiUpperCase(part)) == std::end(OsSupport::RegistryRootNames))
                return false;
        } else if (!IsValidRegKeyPart(part)) {
            return false;
        }
        path.push_back(part);
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

void ParseFile(const std::string& bytes, TTree& tree, std::vector<std::string>& problems)
{
    size_t pos = 0;
    int lineNumber = 0;
    TKey* current = nullptr;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (lineNumber == 1 && line == fileHeader)
            continue;
        if (line.empty())
            continue;
        bool understood = false;
        if (line[0] == '[') {
            TRegPath path;
            bool created = false;
            if (ParseKeyLine(line, path)) {
                current = tree.Create(path, created);
                understood = true;
            } else {
                current = nullptr; // its values cannot be placed either
            }
        } else {
            TRegValueData value;
            if (current != nullptr && ParseValue(line, value)) {
                if (TRegValueData* existing = FindValue(*current, value.Name))
                    *existing = value;
                else
                    current->Values.push_back(value);
                understood = true;
            }
        }
        if (!understood)
            problems.push_back("line " + std::to_string(lineNumber) + ": " + line);
    }
}

void FormatKey(const TKey& key, const std::string& path, bool isRoot, std::string& out)
{
    if (!isRoot || !key.Values.empty()) {
        out += "[" + path + "]\r\n";
        for (const TRegValueData& value : key.Values)
            out += FormatValue(value) + "\r\n";
    }
    for (const auto& [upper, child] : key.Children)
        FormatKey(*child, path + "\\" + child->Name, false, out);
}

std::string FormatFile(const TTree& tree)
{
    std::string out = std::string(fileHeader) + "\r\n";
    for (const char* name : OsSupport::RegistryRootNames)
        FormatKey(*tree.Roots.at(name), name, true, out);
    return out;
}

std::string DefaultRegistryFile()
{
    const char* overridden = std::getenv("TESSELLARIUM_REGISTRY");
    if (overridden != nullptr && overridden[0] != '\0')
        return overridden;
    return ConfigHomeFolder() + "/Tessellarium/registry.reg";
}

} // namespace

bool IsValidRegKeyPart(const std::string& part)
{
    if (part.empty() || part.size() > 255)
        return false;
    for (const char c : part) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

bool IsValidRegValueName(const std::string& name)
{
    return name.size() <= MaxRegValueNameLength;
}

struct TRegistryStore::TImpl {
    std::recursive_mutex Mutex;
    std::string FilePath;
    bool Loaded = false;
    bool Unreadable = false;
    bool BackupPending = false; // the file had damaged lines: keep a copy before overwriting it
    std::string OriginalBytes;
    TFileIdentity Identity;
    TTree Tree;
    std::vector<TRegistryOperation> Pending;
    std::vector<std::string> Problems;

    void EnsureLoaded()
    {
        if (!Loaded) {
            if (FilePath.empty())
                FilePath = DefaultRegistryFile();
            Load();
        }
    }

    // Reads the file into a fresh tree and replays this process's pending changes on it.
    void Load()
    {
        Loaded = true;
        Identity = FileIdentityOf(FilePath);
        std::string bytes;
        const TReadResult result = ReadWholeFile(FilePath, bytes);
        TTree fresh;
        std::vector<std::string> problems;
        if (result == TReadResult::Failed) {
            Unreadable = true;
            return; // keep what we have; nothing will be written over that file
        }
        Unreadable = false;
        if (result == TReadResult::Ok)
            ParseFile(bytes, fresh, problems);
        BackupPending = !problems.empty();
        if (BackupPending)
            OriginalBytes = bytes;
        Problems = std::move(problems);
        for (const TRegistryOperation& operation : Pending)
            Apply(fresh, operation);
        Tree = std::move(fresh);
    }

    void RefreshIfChanged()
    {
        EnsureLoaded();
        if (!(FileIdentityOf(FilePath) == Identity))
            Load();
    }

    LONG Record(TRegistryOperation operation)
    {
        if (Unreadable)
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        Apply(Tree, operation);
        Pending.push_back(std::move(operation));
        return 0;
    }

    bool Save()
    {
        EnsureLoaded();
        if (Pending.empty())
            return true;
        if (Unreadable) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        const std::string folder = OsSupport::FolderOf(FilePath);
        if (!MakeFolders(folder, 0700)) {
            SetLastErrorFromErrno(errno);
            return false;
        }
        const std::string lockPath = folder + "/registry.lock";
        const int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lockFd < 0) {
            SetLastErrorFromErrno(errno);
            return false;
        }
        while (flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
        }
        bool ok = true;
        if (!(FileIdentityOf(FilePath) == Identity))
            Load();
        if (Unreadable) {
            SetLastError(ERROR_ACCESS_DENIED);
            ok = false;
        }
        if (ok && BackupPending) {
            ok = ReplaceFileContents(FilePath + ".bad", OriginalBytes, 0600);
            if (ok)
                BackupPending = false;
            else
                SetLastErrorFromErrno(errno);
        }
        if (ok) {
            ok = ReplaceFileContents(FilePath, FormatFile(Tree), 0600);
            if (ok) {
                Pending.clear();
                Identity = FileIdentityOf(FilePath);
            } else {
                SetLastErrorFromErrno(errno);
            }
        }
        flock(lockFd, LOCK_UN);
        close(lockFd);
        return ok;
    }
};

TRegistryStore& TRegistryStore::Instance()
{
    static TRegistryStore store;
    return store;
}

TRegistryStore::TRegistryStore() : impl_(std::make_unique<TImpl>()) {}

TRegistryStore::~TRegistryStore()
{
    // Normal process exit: whatever is still pending goes to the file.
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    if (impl_->Loaded)
        impl_->Save();
}

void TRegistryStore::RefreshIfChanged()
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->RefreshIfChanged();
}

bool TRegistryStore::KeyExists(const TRegPath& path)
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    return impl_->Tree.Find(path) != nullptr;
}

LONG TRegistryStore::CreateKey(const TRegPath& path, bool& created)
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    created = false;
    for (size_t i = 1; i < path.size(); ++i)
        if (!IsValidRegKeyPart(path[i]))
            return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    if (impl_->Tree.Find(path) != nullptr)
        return 0;
    if (path.empty() || impl_->Tree.Roots.count(AnsiUpperCase(path[0])) == 0)
        return static_cast<LONG>(ERROR_INVALID_HANDLE);
    const LONG result = impl_->Record({TRegistryOperation::CreateKey, path, {}});
    created = result == 0;
    return result;
}

LONG TRegistryStore::DeleteKey(const TRegPath& path, bool subtree)
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    TKey* key = impl_->Tree.Find(path);
    if (key == nullptr)
        return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    if (path.size() < 2 || (!subtree && !key->Children.empty()))
        return static_cast<LONG>(ERROR_ACCESS_DENIED);
    return impl_->Record({TRegistryOperation::DeleteKey, path, {}});
}

LONG TRegistryStore::SetValue(const TRegPath& path, const TRegValueData& value)
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    if (!IsValidRegValueName(value.Name))
        return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    if (impl_->Tree.Find(path) == nullptr)
        return static_cast<LONG>(ERROR_KEY_DELETED);
    return impl_->Record({TRegistryOperation::SetValue, path, value});
}

LONG TRegistryStore::QueryValue(const TRegPath& path, const std::string& name, TRegValueData& value)
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    TKey* key = impl_->Tree.Find(path);
    if (key == nullptr)
        return static_cast<LONG>(ERROR_KEY_DELETED);
    const TRegValueData* found = FindValue(*key, name);
    if (found == nullptr)
        return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    value = *found;
    return 0;
}

LONG TRegistryStore::DeleteValue(const TRegPath& path, const std::string& name)
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    TKey* key = impl_->Tree.Find(path);
    if (key == nullptr)
        return static_cast<LONG>(ERROR_KEY_DELETED);
    if (FindValue(*key, name) == nullptr)
        return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    TRegValueData named;
    named.Name = name;
    return impl_->Record({TRegistryOperation::DeleteValue, path, named});
}

LONG TRegistryStore::SubKeys(const TRegPath& path, std::vector<std::string>& names)
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    names.clear();
    TKey* key = impl_->Tree.Find(path);
    if (key == nullptr)
        return static_cast<LONG>(ERROR_KEY_DELETED);
    for (const auto& [upper, child] : key->Children)
        names.push_back(child->Name);
    return 0;
}

LONG TRegistryStore::Values(const TRegPath& path, std::vector<TRegValueData>& values)
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    TKey* key = impl_->Tree.Find(path);
    if (key == nullptr)
        return static_cast<LONG>(ERROR_KEY_DELETED);
    values = key->Values;
    return 0;
}

bool TRegistryStore::Save()
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    return impl_->Save();
}

bool TRegistryStore::HasPendingChanges()
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    return !impl_->Pending.empty();
}

void TRegistryStore::SetFile(const std::string& nativePath)
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    if (impl_->Loaded)
        impl_->Save();
    impl_->Pending.clear();
    impl_->Problems.clear();
    impl_->Tree = TTree();
    impl_->Loaded = false;
    impl_->Unreadable = false;
    impl_->BackupPending = false;
    impl_->FilePath = nativePath;
}

std::string TRegistryStore::File()
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    return impl_->FilePath;
}

std::vector<std::string> TRegistryStore::LoadProblems()
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    return impl_->Problems;
}

bool TRegistryStore::ReadOnly()
{
    std::lock_guard<std::recursive_mutex> lock(impl_->Mutex);
    impl_->EnsureLoaded();
    return impl_->Unreadable;
}

void SetRegistryFile(const std::string& path)
{
    TRegistryStore::Instance().SetFile(path.empty() ? std::string() : NativePath(path));
}

std::vector<std::string> LoadProblems()
{
    return TRegistryStore::Instance().LoadProblems();
}
