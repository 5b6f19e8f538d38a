#pragma once
// Disks and volumes under their Windows names. Linux has no drive letters: a volume is the mount
// point holding a path, and any existing path of a volume may be given as its root.

#include "platform/os/WinBase.h"

#include <memory>
#include <string>

constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
constexpr UINT SEM_NOGPFAULTERRORBOX = 0x0002;
constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;

constexpr DWORD FILE_CASE_SENSITIVE_SEARCH = 0x1;
constexpr DWORD FILE_CASE_PRESERVED_NAMES = 0x2;

// One mount as the system lists it.
struct TMountEntry {
    std::string MountPoint; // UTF-8, escapes decoded
    std::string FileSystem; // "ext4", "vfat", ...
    std::string Source;     // "/dev/sdb1", "//server/share", ...
    unsigned Major = 0;
    unsigned Minor = 0;
};

// Reads the mount table, the block devices' removable flags and the volume labels from the
// given roots; the defaults are the system's, tests pass fixture trees.
class TVolumeService {
public:
    explicit TVolumeService(std::string mountInfo = "/proc/self/mountinfo", std::string sysfsRoot = "/sys",
                            std::string byLabelRoot = "/dev/disk/by-label");

    // The mount holding an existing path (UTF-8); false when the path does not exist.
    bool MountOf(const std::string& nativePath, TMountEntry& mount) const;
    UINT DriveType(const std::string& rootPath) const;
    std::string VolumeLabel(const TMountEntry& mount) const;
    static std::string WindowsFileSystemName(const std::string& fileSystem);

private:
    bool Removable(const TMountEntry& mount) const;
    std::string mountInfo_;
    std::string sysfsRoot_;
    std::string byLabelRoot_;
};

// The service the functions below use; tests may install another.
TVolumeService& VolumeService();
void SetVolumeService(std::unique_ptr<TVolumeService> service);

UINT GetDriveTypeA(const char* rootPathName);
// Sectors of 512 bytes and clusters of the file system's fragment size; counts capped at 0xFFFFFFFF.
BOOL GetDiskFreeSpaceA(const char* rootPathName, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* numberOfFreeClusters, DWORD* totalNumberOfClusters);
BOOL GetDiskFreeSpaceExA(const char* directoryName, ULONGLONG* freeBytesAvailableToCaller,
                         ULONGLONG* totalNumberOfBytes, ULONGLONG* totalNumberOfFreeBytes);
BOOL GetVolumeInformationA(const char* rootPathName, char* volumeNameBuffer, DWORD volumeNameSize,
                           DWORD* volumeSerialNumber, DWORD* maximumComponentLength, DWORD* fileSystemFlags,
                           char* fileSystemNameBuffer, DWORD fileSystemNameSize);
// The mount point holding the path, with a final "/".
BOOL GetVolumePathNameA(const char* fileName, char* volumePathName, DWORD bufferLength);
// The same without buffers.
struct TVolumeInformation {
    std::string Label;
    DWORD SerialNumber = 0;
    DWORD MaximumComponentLength = 0;
    DWORD FileSystemFlags = 0;
    std::string FileSystemName;
};
bool GetVolumeInformation(const std::string& rootPath, TVolumeInformation& information);
bool GetVolumePathName(const std::string& fileName, std::string& volumePath);
// Labels cannot be changed here: FALSE with 50.
BOOL SetVolumeLabelA(const char* rootPathName, const char* volumeName);
// No drive letters: 0.
DWORD GetLogicalDrives();
// Stores and returns the previous mode; nothing else changes.
UINT SetErrorMode(UINT mode);
