#include "platform/os/Volumes.h"

#include "platform/os/FileApi.h"
#include "platform/os/OsPaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <vector>

namespace {

std::mutex serviceMutex;
std::unique_ptr<TVolumeService> installedService;
std::atomic<UINT> errorMode{0};

// Mount table fields escape blanks and a few other bytes as \ooo.
std::string DecodeOctalEscapes(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(text[i + 2])) && std::isdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

// udev writes label names with \xHH escapes ("USB\x20KEY").
std::string DecodeHexEscapes(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) && std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<TMountEntry> ReadMounts(const std::string& mountInfo)
{
    std::vector<TMountEntry> mounts;
    std::ifstream in(mountInfo);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint, options, field;
        if (!(fields >> id >> parent >> device >> root >> mountPoint >> options))
            continue;
        while (fields >> field && field != "-") {
        }
        TMountEntry entry;
        if (!(fields >> entry.FileSystem >> entry.Source))
            continue;
        entry.MountPoint = DecodeOctalEscapes(mountPoint);
        entry.Source = DecodeOctalEscapes(entry.Source);
        std::sscanf(device.c_str(), "%u:%u", &entry.Major, &entry.Minor);
        mounts.push_back(entry);
    }
    return mounts;
}

bool IsBelow(const std::string& path, const std::string& mountPoint)
{
    if (mountPoint == "/")
        return true;
    return path == mountPoint || (path.size() > mountPoint.size() && path.compare(0, mountPoint.size(), mountPoint) == 0 &&
                                  path[mountPoint.size()] == '/');
}

bool IsDriveLetterRoot(const std::string& path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::string ReadFirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The system path for a root argument; "" for a drive letter or an empty name.
std::string VolumeArgument(const char* rootPathName)
{
    if (rootPathName == nullptr)
        return NativePath(GetCurrentDir());
    const std::string text = rootPathName;
    if (text.empty() || IsDriveLetterRoot(text))
        return "";
    return NativePath(text);
}

} // namespace

TVolumeService::TVolumeService(std::string mountInfo, std::string sysfsRoot, std::string byLabelRoot)
    : mountInfo_(std::move(mountInfo)), sysfsRoot_(std::move(sysfsRoot)), byLabelRoot_(std::move(byLabelRoot))
{
}

bool TVolumeService::MountOf(const std::string& nativePath, TMountEntry& mount) const
{
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(nativePath, error);
    if (error)
        return false;
    const std::string path = canonical.string();
    bool found = false;
    size_t bestLength = 0;
    // The last mount on the deepest mount point wins: later mounts hide earlier ones.
    for (const TMountEntry& entry : ReadMounts(mountInfo_)) {
        if (IsBelow(path, entry.MountPoint) && entry.MountPoint.size() >= bestLength) {
            bestLength = entry.MountPoint.size();
            mount = entry;
            found = true;
        }
    }
    return found;
}

bool TVolumeService::Removable(const TMountEntry& mount) const
{
    if (mount.Major == 0)
        return false;
    const std::string link = sysfsRoot_ + "/dev/block/" + std::to_string(mount.Major) + ":" + std::to_string(mount.Minor);
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(link, error);
    if (error)
        return false;
    // A partition has no flag of its own: its parent disk has.
    for (const std::filesystem::path& folder : {device, device.parent_path()}) {
        const std::string flag = ReadFirstLine((folder / "removable").string());
        if (!flag.empty())
            return flag == "1";
    }
    return false;
}

UINT TVolumeService::DriveType(const std::string& rootPath) const
{
    if (rootPath.empty() || IsDriveLetterRoot(rootPath))
        return DRIVE_NO_ROOT_DIR;
    TMountEntry mount;
    if (!MountOf(rootPath, mount))
        return DRIVE_NO_ROOT_DIR;
    static const char* const remote[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "ceph", "glusterfs", "davfs",
                                         "fuse.sshfs"};
    const std::string& type = mount.FileSystem;
    if (std::find(std::begin(remote), std::end(remote), type) != std::end(remote))
        return DRIVE_REMOTE;
    if (type == "iso9660" || type == "udf")
        return DRIVE_CDROM;
    if (type == "tmpfs" || type == "ramfs")
        return DRIVE_RAMDISK;
    return Removable(mount) ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

std::string TVolumeService::VolumeLabel(const TMountEntry& mount) const
{
    DIR* folder = opendir(byLabelRoot_.c_str());
    if (folder == nullptr)
        return "";
    std::error_code error;
    const std::filesystem::path source = std::filesystem::weakly_canonical(mount.Source, error);
    std::string label;
    while (dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::filesystem::path link = std::filesystem::path(byLabelRoot_) / name;
        const std::filesystem::path target = std::filesystem::weakly_canonical(link, error);
        struct stat info {};
        const bool sameDevice = stat(link.c_str(), &info) == 0 && S_ISBLK(info.st_mode) && mount.Major != 0 &&
                                major(info.st_rdev) == mount.Major && minor(info.st_rdev) == mount.Minor;
        if (sameDevice || (!error && target == source)) {
            label = DecodeHexEscapes(name);
            break;
        }
    }
    closedir(folder);
    return label;
}

std::string TVolumeService::WindowsFileSystemName(const std::string& fileSystem)
{
    if (fileSystem == "vfat")
        return "FAT32";
    if (fileSystem == "ntfs" || fileSystem == "ntfs3" || fileSystem == "fuseblk")
        return "NTFS";
    if (fileSystem == "exfat")
        return "exFAT";
    return UpperCase(fileSystem);
}

TVolumeService& VolumeService()
{
    std::lock_guard<std::mutex> lock(serviceMutex);
    if (!installedService)
        installedService = std::make_unique<TVolumeService>();
    return *installedService;
}

void SetVolumeService(std::unique_ptr<TVolumeService> service)
{
    std::lock_guard<std::mutex> lock(serviceMutex);
    installedService = std::move(service);
}

UINT GetDriveTypeA(const char* rootPathName)
{
    return VolumeService().DriveType(VolumeArgument(rootPathName));
}

namespace {

bool StatVolume(const char* name, struct statvfs& info)
{
    const std::string path = VolumeArgument(name);
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (statvfs(path.c_str(), &info) != 0) {
        SetLastErrorFromErrno(errno, path);
        return false;
    }
    return true;
}

DWORD Capped(unsigned long long value)
{
    return static_cast<DWORD>(std::min<unsigned long long>(value, 0xFFFFFFFFull));
}

} // namespace

BOOL GetDiskFreeSpaceA(const char* rootPathName, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* numberOfFreeClusters, DWORD* totalNumberOfClusters)
{
    struct statvfs info {};
    if (!StatVolume(rootPathName, info))
        return FALSE;
    if (bytesPerSector != nullptr)
        *bytesPerSector = 512;
    if (sectorsPerCluster != nullptr)
        *sectorsPerCluster = std::max<DWORD>(1, static_cast<DWORD>(info.f_frsize / 512));
    if (numberOfFreeClusters != nullptr)
        *numberOfFreeClusters = Capped(info.f_bavail);
    if (totalNumberOfClusters != nullptr)
        *totalNumberOfClusters = Capped(info.f_blocks);
    return TRUE;
}

BOOL GetDiskFreeSpaceExA(const char* directoryName, ULONGLONG* freeBytesAvailableToCaller,
                         ULONGLONG* totalNumberOfBytes, ULONGLONG* totalNumberOfFreeBytes)
{
    struct statvfs info {};
    if (!StatVolume(directoryName, info))
        return FALSE;
    if (freeBytesAvailableToCaller != nullptr)
        *freeBytesAvailableToCaller = static_cast<ULONGLONG>(info.f_bavail) * info.f_frsize;
    if (totalNumberOfBytes != nullptr)
        *totalNumberOfBytes = static_cast<ULONGLONG>(info.f_blocks) * info.f_frsize;
    if (totalNumberOfFreeBytes != nullptr)
        *totalNumberOfFreeBytes = static_cast<ULONGLONG>(info.f_bfree) * info.f_frsize;
    return TRUE;
}

bool GetVolumeInformation(const std::string& rootPath, TVolumeInformation& information)
{
    struct statvfs info {};
    if (!StatVolume(rootPath.c_str(), info))
        return false;
    TMountEntry mount;
    TVolumeService& service = VolumeService();
    if (!service.MountOf(VolumeArgument(rootPath.c_str()), mount)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    information.Label = AnsiFromNative(service.VolumeLabel(mount));
    information.FileSystemName = TVolumeService::WindowsFileSystemName(mount.FileSystem);
    const auto fsid = static_cast<unsigned long long>(info.f_fsid);
    information.SerialNumber = static_cast<DWORD>((fsid & 0xFFFFFFFFull) ^ (fsid >> 32));
    information.MaximumComponentLength = static_cast<DWORD>(info.f_namemax);
    information.FileSystemFlags = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES;
    return true;
}

BOOL GetVolumeInformationA(const char* rootPathName, char* volumeNameBuffer, DWORD volumeNameSize,
                           DWORD* volumeSerialNumber, DWORD* maximumComponentLength, DWORD* fileSystemFlags,
                           char* fileSystemNameBuffer, DWORD fileSystemNameSize)
{
    TVolumeInformation information;
    if (!GetVolumeInformation(rootPathName != nullptr ? rootPathName : GetCurrentDir(), information))
        return FALSE;
    if ((volumeNameBuffer != nullptr && information.Label.size() + 1 > volumeNameSize) ||
        (fileSystemNameBuffer != nullptr && information.FileSystemName.size() + 1 > fileSystemNameSize)) {
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    if (volumeNameBuffer != nullptr)
        CopyToBuffer(information.Label, volumeNameBuffer, volumeNameSize);
    if (fileSystemNameBuffer != nullptr)
        CopyToBuffer(information.FileSystemName, fileSystemNameBuffer, fileSystemNameSize);
    if (volumeSerialNumber != nullptr)
        *volumeSerialNumber = information.SerialNumber;
    if (maximumComponentLength != nullptr)
        *maximumComponentLength = information.MaximumComponentLength;
    if (fileSystemFlags != nullptr)
        *fileSystemFlags = information.FileSystemFlags;
    return TRUE;
}

bool GetVolumePathName(const std::string& fileName, std::string& volumePath)
{
    const std::string path = VolumeArgument(fileName.c_str());
    TMountEntry mount;
    if (path.empty() || !VolumeService().MountOf(path, mount)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    volumePath = AnsiFromNative(mount.MountPoint);
    if (volumePath.empty() || volumePath.back() != '/')
        volumePath += '/';
    return true;
}

BOOL GetVolumePathNameA(const char* fileName, char* volumePathName, DWORD bufferLength)
{
    std::string result;
    if (fileName == nullptr || !GetVolumePathName(fileName, result))
        return FALSE;
    if (volumePathName == nullptr || result.size() + 1 > bufferLength) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    CopyToBuffer(result, volumePathName, bufferLength);
    return TRUE;
}

BOOL SetVolumeLabelA(const char*, const char*)
{
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

DWORD GetLogicalDrives()
{
    return 0;
}

UINT SetErrorMode(UINT mode)
{
    return errorMode.exchange(mode);
}
