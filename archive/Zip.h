#pragma once
// TZip writes a ZIP archive from a list of files: each member shrunk (method 1), or stored
// (method 0) when shrinking does not make it smaller, then the central directory and the end
// record. The archive is written under a temporary name and replaces ArcName only when complete.

#include "archive/Shrink.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Lists.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

using TZipProgress = std::function<void(TObject* Sender, std::int16_t AProgress)>;
using TZipError = std::function<void(TObject* Sender, const std::string& ErrorMsg)>;

// Points where tests make the file system misbehave; all empty in the program.
struct TZipSeams {
    // True: the member file (full path) cannot be opened.
    std::function<bool(const std::string& path)> RefuseOpen;
    // May change the size the listing gave for a member (full path).
    std::function<void(const std::string& path, std::int64_t& listedSize)> ChangeListedSize;
    // Called before each write to the archive with the bytes written so far; true: it fails.
    std::function<bool(std::int64_t written)> FailWrite;
};

class TZip : public TComponent {
    TESS_CLASS(TZip, TComponent)
public:
    explicit TZip(TComponent* AOwner);
    ~TZip() override;

    const std::string& ArcName() const { return FArcName; }
    void SetArcName(const std::string& value) { FArcName = value; }
    // The files to store, one per line: a path or a mask with "*" and "?".
    TStringList* Files() const { return FFiles.get(); }
    bool Overwrite = false;
    TZipProgress OnProgress;
    TZipError OnError;

    // True only when ArcName holds every file the list names. Never lets an exception out.
    bool Compress();

    // What the Shrink encoder did in the last Compress.
    const TShrinkStatistics& ShrinkStatistics() const { return FStatistics; }
    TZipSeams Seams;

private:
    class TWriter;

    void Report(const std::string& message);

    std::string FArcName;
    std::unique_ptr<TStringList> FFiles;
    TShrinkStatistics FStatistics;
};
