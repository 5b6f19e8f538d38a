#include "archive/myfile.h"

#include "platform/rtl/Files.h"

std::string NormalizePath(const std::string& path)
{
    std::string result = path;
    if (!result.empty() && result[0] == '\\' && !(result.size() > 1 && result[1] == '\\'))
        result.erase(0, 1);
    if (!result.empty() && result.back() == '\\')
        result.pop_back();
    return result;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return NormalizePath(folder) + "\\" + NormalizePath(name);
}

std::int64_t FileSizeOf(const std::string& fileName)
{
    TSearchRec found;
    if (FindFirst(fileName, 63, found) != 0)
        return -1;
    const std::int64_t size = found.Size;
    FindClose(found);
    return size;
}

bool CreateFolderPath(const std::string& path)
{
    const std::string normalized = NormalizePath(path);
    // Levels after the first separator: the part before it is a root, a drive or a server.
    const std::size_t first = normalized.find_first_of("\\/");
    if (first != std::string::npos)
        for (std::size_t at = normalized.find_first_of("\\/", first + 1); at != std::string::npos;
             at = normalized.find_first_of("\\/", at + 1))
            if (!DirectoryExists(normalized.substr(0, at)))
                CreateDir(normalized.substr(0, at));
    if (!normalized.empty() && !DirectoryExists(normalized))
        CreateDir(normalized);
    return true;
}
