#include "archive/ApiError.h"

#include "platform/os/TempFiles.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/SysErrors.h"

EApiError::EApiError(std::uint32_t code)
    : Exception(Format("Error %d: %s", {static_cast<int>(code), SysErrorMessage(code)})), ErrorCode(code)
{
}

void CheckApiResult(bool result)
{
    if (!result)
        throw EApiError(GetLastError());
}

std::string AddBackslash(const std::string& text)
{
    if (text.empty() || text.back() == '\\')
        return text;
    return text + "\\";
}

std::string ApiTempFileName(const std::string& folder, const std::string& prefix, unsigned unique)
{
    char name[MAX_PATH] = {};
    if (GetTempFileNameA(folder.c_str(), prefix.c_str(), unique, name) == 0)
        return {};
    return name;
}

std::string ApiTempFolder()
{
    char folder[MAX_PATH] = {};
    const DWORD length = GetTempPathA(259, folder);
    if (length == 0 || length >= 259)
        return {};
    return std::string(folder, length);
}
