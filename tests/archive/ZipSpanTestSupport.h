#pragma once
// Spanned sets in the tests: stored-only sources of exact sizes written by python's zipfile, a
// parse of a set's parts, and a removable drive simulated in memory.

#include "ZipArchiverTestSupport.h"

#include "archive/ZipShellFormat.h"
#include "platform/os/Volumes.h"

#include <sstream>

// One entry of a generated source: its name and the size of its (random, stored) data.
struct TSpanEntry {
    std::string Name;
    std::size_t Size = 0;
};

// A stored-only archive written by python's zipfile: every size in it is known in advance.
inline fs::path StoredSource(const fs::path& archive, const std::vector<TSpanEntry>& entries,
                             const std::string& comment = "")
{
    std::string list;
    for (const TSpanEntry& entry : entries)
        list += entry.Name + ":" + std::to_string(entry.Size) + ",";
    std::string output;
    EXPECT_EQ(RunPython("import random, sys, zipfile\n"
                        "rng = random.Random(7)\n"
                        "with zipfile.ZipFile(sys.argv[1], \"w\", zipfile.ZIP_STORED) as z:\n"
                        "    for item in sys.argv[2].split(\",\")[:-1]:\n"
                        "        name, size = item.rsplit(\":\", 1)\n"
                        "        info = zipfile.ZipInfo(name, (2020, 1, 2, 3, 4, 6))\n"
                        "        z.writestr(info, rng.randbytes(int(size)))\n"
                        "    z.comment = sys.argv[3].encode()\n",
                        {archive.string(), list, comment}, &output),
              0)
        << output;
    return archive;
}

// The name, CRC and bytes of every entry, as python's zipfile reads them; "" when it cannot.
inline std::string PythonEntries(const fs::path& archive)
{
    std::string output;
    if (RunPython("import hashlib, sys, zipfile\n"
                  "with zipfile.ZipFile(sys.argv[1]) as z:\n"
                  "    for i in z.infolist():\n"
                  "        print(i.filename, i.CRC, i.file_size, hashlib.sha1(z.read(i)).hexdigest())\n",
                  {archive.string()}, &output) != 0)
        return "";
    return output;
}

// The parts of a fixed-drive set: name001.zip, name002.zip, ... as long as they exist.
inline std::vector<fs::path> SpanParts(const fs::path& output)
{
    std::vector<fs::path> parts;
    for (int n = 1;; ++n) {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%03d", n);
        const fs::path part = output.parent_path() / (output.stem().string() + digits + output.extension().string());
        if (!fs::exists(part))
            return parts;
        parts.push_back(part);
    }
}

// Walks a set part by part: every block that must stay whole lies inside one part, and every
// disk number and offset of the directory and the end record points at its block. Returns the
// faults found, one a line.
inline std::string SpanLayoutFaults(const std::vector<fs::path>& partFiles)
{
    std::vector<TBytes> parts;
    for (const fs::path& file : partFiles)
        parts.push_back(ReadBytes(file));
    std::ostringstream faults;
    if (parts.empty() || parts[0].size() < 4 || GetLE32(parts[0].data()) != ZipSpanSignature)
        return "no span signature\n";
    std::size_t disk = 0;
    std::size_t at = 4;
    // Moves past n bytes that may cross parts.
    auto skip = [&](std::size_t n) {
        while (n > 0 && disk < parts.size()) {
            const std::size_t here = std::min(n, parts[disk].size() - at);
            at += here;
            n -= here;
            if (at == parts[disk].size() && n > 0) {
                ++disk;
                at = 0;
            }
        }
    };
    // A whole block of size n at the current place, which moves to the next part when the current
    // one has ended.
    auto block = [&](std::size_t n, std::uint32_t signature, const char* what) -> const std::uint8_t* {
        if (disk < parts.size() && at == parts[disk].size() && disk + 1 < parts.size()) {
            ++disk;
            at = 0;
        }
        if (disk >= parts.size() || parts[disk].size() - at < n || GetLE32(parts[disk].data() + at) != signature) {
            faults << what << " crosses a part or is missing at disk " << disk << " offset " << at << "\n";
            return nullptr;
        }
        const std::uint8_t* p = parts[disk].data() + at;
        return p;
    };
    auto nameAt = [&](std::size_t d, std::size_t o, std::size_t headerSize, std::size_t lengthAt) {
        const std::uint8_t* p = parts[d].data() + o;
        return std::string(reinterpret_cast<const char*>(p + headerSize), GetLE16(p + lengthAt));
    };
    // Entries whose sizes follow their data have them in the directory only.
    std::map<std::string, std::uint32_t> directorySizes;
    for (const TBytes& part : parts)
        for (std::size_t at : HeadersOf(part, ZipCentralHeaderSignature, ZipCentralHeaderSize))
            if (at + ZipCentralHeaderSize + GetLE16(part.data() + at + 28) <= part.size())
                directorySizes[nameAt(static_cast<std::size_t>(&part - parts.data()), at, ZipCentralHeaderSize, 28)] =
                    GetLE32(part.data() + at + 20);
    // Local entries until the first central header.
    while (true) {
        if (disk < parts.size() && at == parts[disk].size() && disk + 1 < parts.size()) {
            ++disk;
            at = 0;
        }
        if (disk >= parts.size() || parts[disk].size() - at < 4 || GetLE32(parts[disk].data() + at) != ZipLocalHeaderSignature)
            break;
        const std::uint8_t* p = block(ZipLocalHeaderSize, ZipLocalHeaderSignature, "local header");
        const std::size_t whole = ZipLocalHeaderSize + GetLE16(p + 26) + GetLE16(p + 28);
        if (parts[disk].size() - at < whole)
            faults << "local header with its name crosses a part at disk " << disk << "\n";
        std::uint32_t data = GetLE32(p + 18);
        if (GetLE16(p + 6) & 8) {
            if (data == 0)
                data = directorySizes[nameAt(disk, at, ZipLocalHeaderSize, 26)];
            data += 16;
        }
        skip(whole);
        skip(data);
    }
    const std::uint8_t* end = nullptr;
    std::size_t firstDisk = disk, firstOffset = at;
    bool first = true;
    while (true) {
        if (disk < parts.size() && at == parts[disk].size() && disk + 1 < parts.size()) {
            ++disk;
            at = 0;
        }
        if (disk >= parts.size() || parts[disk].size() - at < 4)
            break;
        const std::uint32_t signature = GetLE32(parts[disk].data() + at);
        if (signature == ZipEndRecordSignature) {
            end = block(ZipEndRecordSize, ZipEndRecordSignature, "end record");
            if (end && parts[disk].size() - at != ZipEndRecordSize + GetLE16(end + 20))
                faults << "end record with its comment does not end the last part\n";
            if (end && (GetLE16(end + 4) != disk || disk + 1 != parts.size()))
                faults << "end record says disk " << GetLE16(end + 4) << " but lies on " << disk << "\n";
            break;
        }
        const std::uint8_t* p = block(ZipCentralHeaderSize, ZipCentralHeaderSignature, "central header");
        if (!p)
            break;
        if (first) {
            firstDisk = disk;
            firstOffset = at;
            first = false;
        }
        const std::size_t whole = ZipCentralHeaderSize + GetLE16(p + 28) + GetLE16(p + 30) + GetLE16(p + 32);
        if (parts[disk].size() - at < whole)
            faults << "central header with its name, extra and comment crosses a part\n";
        const std::size_t localDisk = GetLE16(p + 34);
        const std::size_t localOffset = GetLE32(p + 42);
        const std::string name = nameAt(disk, at, ZipCentralHeaderSize, 28);
        if (localDisk >= parts.size() || parts[localDisk].size() < localOffset + ZipLocalHeaderSize ||
            GetLE32(parts[localDisk].data() + localOffset) != ZipLocalHeaderSignature ||
            nameAt(localDisk, localOffset, ZipLocalHeaderSize, 26) != name)
            faults << "central header of " << name << " points at disk " << localDisk << " offset " << localOffset
                   << " where its local header is not\n";
        skip(whole);
    }
    if (!end)
        return faults.str() + "no end record\n";
    if (GetLE16(end + 6) != firstDisk || GetLE32(end + 16) != firstOffset)
        faults << "end record puts the directory at disk " << GetLE16(end + 6) << " offset " << GetLE32(end + 16)
               << " instead of " << firstDisk << " offset " << firstOffset << "\n";
    return faults.str();
}

// A removable drive "X:\" whose disks live in memory: its label and free space, and the files
// of each disk taken out of the drive. The file written on the drive is a real file; taking a
// disk out moves it aside.
struct TSimulatedDrive {
    std::string Label;
    std::int64_t Free = 1457664;
    std::int64_t Total = 1457664;
    bool Formatted = true;
    std::vector<std::string> LabelsWritten;
    std::vector<TBytes> DisksTakenOut;
    fs::path File; // the name every disk holds

    TZipDriveServices Services()
    {
        TZipDriveServices services;
        services.VolumeRoot = [](const std::string&) { return std::string("X:\\"); };
        services.DriveType = [](const std::string&) -> UINT { return DRIVE_REMOVABLE; };
        services.FreeAndTotal = [this](const std::string&, std::int64_t& freeBytes, std::int64_t& totalBytes) {
            freeBytes = Free;
            totalBytes = Total;
            return true;
        };
        services.VolumeInformation = [this](const std::string&, std::string& label, DWORD& serial) -> DWORD {
            if (!Formatted)
                return ERROR_GEN_FAILURE;
            label = Label;
            serial = 1234;
            return 0;
        };
        services.SetLabel = [this](const std::string&, const std::string& label) {
            Label = label;
            LabelsWritten.push_back(label);
            return true;
        };
        return services;
    }

    // A new empty disk goes in; the one in the drive, if it holds the file, is kept aside.
    void ChangeDisk()
    {
        if (fs::exists(File)) {
            DisksTakenOut.push_back(ReadBytes(File));
            fs::remove(File);
        }
        Label.clear();
    }
};

// Scripted boxes that change the simulated drive's disk whenever a disk is asked for.
class TDiskChangingDialogs : public TScriptedDialogs {
public:
    explicit TDiskChangingDialogs(TSimulatedDrive& drive) : FDrive(drive) {}
    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) override
    {
        if (text.find("Please insert disk") != std::string::npos)
            FDrive.ChangeDisk();
        return TScriptedDialogs::MessageBox(owner, text, caption, flags);
    }

private:
    TSimulatedDrive& FDrive;
};
