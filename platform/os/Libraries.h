#pragma once
// Dynamic libraries under their Windows names. "Libs\Name.dll" loads "Libs/libname.so"; the
// system libraries callers look up at run time are registered modules.

#include "platform/os/WinBase.h"
#include "platform/rtl/Exceptions.h"

#include <map>
#include <string>

// "…\Name.dll" loads "…/libname.so" from the same folder; a real shared object also loads by its
// own name. A bare name is looked up among the registered modules, then in the program's folder,
// then through the normal library search. Fails with NULL and 126 (missing) or 193 (not loadable).
HMODULE LoadLibraryA(const char* fileName);
// A missing function, or a lookup by ordinal, gives NULL with 127.
FARPROC GetProcAddress(HMODULE module, const char* procName);
// Drops one reference; the library is unloaded with the last. A registered module stays.
BOOL FreeLibrary(HMODULE module);
// null gives the program itself; a name gives an already loaded library, or NULL with 126.
HMODULE GetModuleHandleA(const char* moduleName);
// null gives the program's own path (ParamStr(0)).
DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size);
// The same without a buffer; "" for an unknown module.
std::string GetModuleFileName(HMODULE module);

// Makes name (case-insensitive, ".dll" optional) a system module with these functions.
void RegisterSystemModule(const std::string& name, const std::map<std::string, FARPROC>& functions);
// Forgets a registered module: loading its bare name then fails with 126, and a handle taken
// before no longer finds its functions.
void UnregisterSystemModule(const std::string& name);

struct TModuleSection {
    std::string ModulePath; // program text
    int Section = 0;        // the loadable segment holding the address, counted from 1
    std::uintptr_t Offset = 0;
};
// Where an address lies: module, loadable segment in program-header order, offset inside it.
bool FindModuleSection(const void* address, TModuleSection& result);

// The class library's description of an exception raised at an address: "Exception <class> in
// module <file> at <address>." and, on the next line, the message ending with a full stop. The
// module is the bare file name of the one holding the address, or the program's own file.
std::string ExceptionErrorMessage(const Exception& e, const void* address);
