#pragma once
// TUnZip extracts the members of a ZIP archive into a folder, walking the local headers from
// the start of the archive. It reads methods 0 (stored), 1 (shrunk), 2 to 5 (reduced) and
// 6 (imploded). Every member is written under a temporary name and renamed over its target only
// when it came out whole, with its length and CRC right: a damaged member never replaces a file.

#include "archive/Zip.h"

#include <string>
#include <vector>

class TUnZip : public TComponent {
    TESS_CLASS(TUnZip, TComponent)
public:
    explicit TUnZip(TComponent* AOwner);
    ~TUnZip() override;

    const std::string& ArcName() const { return FArcName; }
    void SetArcName(const std::string& value) { FArcName = value; }
    const std::string& ExtrPath() const { return FExtrPath; }
    // A non-empty value that ends in neither "\" nor "/" gets a "\".
    void SetExtrPath(const std::string& value);
    // Masks of the members to extract; empty means every member ("*.*").
    TStringList* Files() const { return FFiles.get(); }
    bool Overwrite = false;
    // True when ExtrPath only holds scratch copies (a staging folder): nothing is flushed to the
    // disk. Otherwise the members are renamed into place unflushed and the file system is flushed
    // once, before Extract answers true.
    bool StagingFolder = false;
    TZipProgress OnProgress;
    // Without a handler the reports of one Extract are shown together at its end, in one box.
    TZipError OnError;

    // False only when the work could not be done (folder not creatable, archive unreadable, a
    // write error, the final flush refused); members left out are reported and counted. Never
    // lets an exception out.
    bool Extract();
    // Members the last Extract reported and left out: damaged or cut-short data, an unknown
    // method, a name that leaves the folder, a file that could not be written, a sub-folder.
    int DamagedCount() const { return FDamagedCount; }
    // The names, as stored, of the members counted above whose header could be read.
    const std::vector<std::string>& DamagedMembers() const { return FDamagedMembers; }
    // The files the last Extract wrote, full paths.
    const std::vector<std::string>& ExtractedFiles() const { return FExtractedFiles; }

private:
    class TWalker;

    void Report(const std::string& message);
    void ShowHeldReports();

    std::string FArcName;
    std::string FExtrPath;
    std::unique_ptr<TStringList> FFiles;
    int FDamagedCount = 0;
    std::vector<std::string> FDamagedMembers;
    std::vector<std::string> FExtractedFiles;
    std::vector<std::string> FHeldReports;
};
