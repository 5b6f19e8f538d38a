#pragma once
// The zip engine loaded as "ZIPCORE.DLL": adds files to a ZIP archive, or deletes entries from
// it, as a command record says. The new archive is written under a temporary name and replaces
// the old one only when it is complete; entries that stay are copied as they are.

#include "archive/ZipCoreApi.h"

// The number of files stored (or entries deleted). Keeps no state between calls.
int ZipCoreExec(TZipCmdRecord* record);
int GetZipCoreVersion();

// Registers "ZIPCORE.DLL" and "UNZCORE.DLL" with their entry points, so that LoadLibraryA and
// GetProcAddress find them as the Windows program found the two libraries beside it.
void RegisterZipCoreModules();
