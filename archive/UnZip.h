#pragma once
// TUnZip extracts the members of a ZIP archive into a folder, walking the local headers from
// the start of the archive. It reads methods 0 (stored), 1 (shrunk), 2 to 5 (reduced) and
// 6 (imploded). Every member is written under a temporary name and renamed when it ends.

#include "archive/Zip.h"

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
    TZipProgress OnProgress;
    TZipError OnError;

    // False only when the work could not be done (folder not creatable, archive unreadable, a
    // write error); damaged members are reported and counted. Never lets an exception out.
    bool Extract();
    // Members reported as damaged by the last Extract.
    int DamagedCount() const { return FDamagedCount; }

private:
    class TWalker;

    void Report(const std::string& message);

    std::string FArcName;
    std::string FExtrPath;
    std::unique_ptr<TStringList> FFiles;
    int FDamagedCount = 0;
};
