// Small helpers that several units of the operating-system layer share.
#pragma once

#include "platform/rtl/Lists.h"
#include "platform/rtl/TextUtils.h"

#include <string>
#include <vector>

namespace OsSupport {

// The predefined registry roots, in the order of their handles (HKEY_CLASSES_ROOT first).
inline constexpr const char* RegistryRootNames[] = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};

inline void FillStrings(TStrings& target, const std::vector<std::string>& items)
{
    target.Clear();
    for (const std::string& item : items)
        target.Add(item);
}

// The folder part of a native path: "." for a bare name, "/" for a file at the root.
inline std::string FolderOf(const std::string& nativePath)
{
    const auto slash = nativePath.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : nativePath.substr(0, slash);
}

// Whether a name ends in one of the extensions Windows starts as a program.
inline bool HasWindowsProgramExtension(const std::string& name)
{
    const std::string upper = UpperCase(name);
    return upper.ends_with(".EXE") || upper.ends_with(".COM") || upper.ends_with(".BAT");
}

} // namespace OsSupport
