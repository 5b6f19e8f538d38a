#include "platform/os/Atoms.h"

#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

struct TAtomEntry {
    std::string Name;
    int References = 0;
};

// One table of names: upper-case name -> id, id -> entry.
struct TAtomTable {
    std::mutex Mutex;
    std::map<std::string, unsigned> ByName;
    std::map<unsigned, TAtomEntry> ById;
    unsigned Next = 0xC000;

    unsigned Add(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(Mutex);
        const std::string key = AnsiUpperCase(name);
        const auto found = ByName.find(key);
        if (found != ByName.end()) {
            ++ById[found->second].References;
            return found->second;
        }
        if (Next > 0xFFFF) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        const unsigned id = Next++;
        ByName[key] = id;
        ById[id] = TAtomEntry{name, 1};
        return id;
    }

    unsigned Find(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(Mutex);
        const auto found = ByName.find(AnsiUpperCase(name));
        return found == ByName.end() ? 0 : found->second;
    }
};

TAtomTable& Messages()
{
    static TAtomTable table;
    return table;
}

TAtomTable& Atoms()
{
    static TAtomTable table;
    return table;
}

// "#nnn" with nnn from 1 to 0xBFFF: an integer atom.
bool IntegerAtom(const char* name, unsigned& value)
{
    if (name == nullptr || name[0] != '#' || name[1] == '\0')
        return false;
    unsigned number = 0;
    for (const char* p = name + 1; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        number = number * 10 + static_cast<unsigned>(*p - '0');
        if (number >= 0xC000)
            return false;
    }
    value = number;
    return true;
}

} // namespace

UINT RegisterWindowMessageA(const char* name)
{
    if (name == nullptr || name[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Messages().Add(name);
}

ATOM GlobalAddAtomA(const char* name)
{
    unsigned value = 0;
    if (IntegerAtom(name, value)) {
        if (value == 0)
            SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<ATOM>(value);
    }
    if (name == nullptr || name[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return static_cast<ATOM>(Atoms().Add(name));
}

ATOM GlobalFindAtomA(const char* name)
{
    unsigned value = 0;
    if (IntegerAtom(name, value))
        return static_cast<ATOM>(value);
    if (name == nullptr || name[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const unsigned atom = Atoms().Find(name);
    if (atom == 0)
        SetLastError(ERROR_FILE_NOT_FOUND);
    return static_cast<ATOM>(atom);
}

std::string GlobalGetAtomName(ATOM atom)
{
    if (atom > 0 && atom < 0xC000)
        return "#" + std::to_string(atom);
    TAtomTable& table = Atoms();
    std::lock_guard<std::mutex> lock(table.Mutex);
    const auto found = table.ById.find(atom);
    if (found == table.ById.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return "";
    }
    return found->second.Name;
}

UINT GlobalGetAtomNameA(ATOM atom, char* buffer, int size)
{
    if (buffer == nullptr || size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string name = GlobalGetAtomName(atom);
    if (name.empty())
        return 0;
    // Windows cuts the name here rather than answering the size needed.
    const size_t copied = std::min(name.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, name.data(), copied);
    buffer[copied] = '\0';
    return static_cast<UINT>(copied);
}

ATOM GlobalDeleteAtom(ATOM atom)
{
    if (atom > 0 && atom < 0xC000)
        return 0;
    TAtomTable& table = Atoms();
    std::lock_guard<std::mutex> lock(table.Mutex);
    const auto found = table.ById.find(atom);
    if (found == table.ById.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return atom;
    }
    if (--found->second.References == 0) {
        table.ByName.erase(AnsiUpperCase(found->second.Name));
        table.ById.erase(found);
    }
    return 0;
}
