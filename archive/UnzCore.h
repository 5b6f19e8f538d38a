#pragma once
// The unzip engine loaded as "UNZCORE.DLL": extracts or tests the entries of a ZIP archive that a
// command record names, reading the archive through its central directory. Every file is
// decoded under a temporary name and renamed over its target; no name ever leaves the base
// folder. Registered with the zip engine by RegisterZipCoreModules (archive/ZipCore.h).

#include "archive/ZipCoreApi.h"

// The number of files extracted (or, when testing, found whole). Keeps no state between calls.
int UnzCoreExec(TUnzipCmdRecord* record);
int GetUnzCoreVersion();
