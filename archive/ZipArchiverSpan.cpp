// Spanned sets: not available yet. These answer as a failure would, so that a caller that meets
// a spanned set reports it instead of reading a part as a whole archive.

#include "archive/ZipArchiver.h"

#include "archive/ZipDirectory.h"

int TZipArchiver::WriteSpan(const std::string&, const std::string&)
{
    ShowZipMessage(11024, "");
    return -9;
}

int TZipArchiver::ReadSpan(const std::string&, std::string&)
{
    ShowZipMessage(11024, "");
    return -9;
}

void TZipArchiver::GetNewDisk(int diskNumber)
{
    InHandle.reset();
    DiskNumber = diskNumber;
    throw EZipBuilder(11001, true);
}
