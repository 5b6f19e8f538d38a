#include "tests/TestFixtures.h"
#include "platform/os/Libraries.h"

#include "TestEnvironment.h"
#include "platform/os/Volumes.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"

#include <gtest/gtest.h>

#include <string>

TEST(Libraries, WindowsLibraryNameLoadsTheSharedObjectBesideIt)
{
    const std::string dll = std::string(TestBinaryDir()) + "\\Libs\\TabulinoTest.dll";
    const HMODULE module = LoadLibraryA(dll.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    auto init = reinterpret_cast<int (*)()>(GetProcAddress(module, "_XlsInit"));
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(init(), 42);
    EXPECT_EQ(LoadLibraryA(dll.c_str()), module); // counted, not loaded twice
    EXPECT_EQ(GetProcAddress(module, "_Manca"), nullptr);
    EXPECT_EQ(GetLastError(), 127u);
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<const char*>(1)), nullptr);
    EXPECT_EQ(GetLastError(), 127u);
    char path[1024];
    ASSERT_GT(GetModuleFileNameA(module, path, sizeof path), 0u);
    EXPECT_EQ(std::string(path), std::string(TestBinaryDir()) + "/Libs/libtabulinotest.so");
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Libraries, FailuresGiveTheirCodes)
{
    const std::string folder = NewTestFolder("libs");
    EXPECT_EQ(LoadLibraryA((folder + "\\Manca.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), 126u);
    WriteTestFile(folder + "/libtesto.so", "non sono una libreria\n");
    EXPECT_EQ(LoadLibraryA((folder + "\\Testo.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), 193u);
    EXPECT_EQ(LoadLibraryA("nessuna_libreria_cosi.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 126u);
}

TEST(Libraries, UnregisteredModuleNoLongerLoads)
{
    static int calls = 0;
    RegisterSystemModule("PROVAREG.DLL", {{"Conta", [] { ++calls; }}});
    const HMODULE module = LoadLibraryA("ProvaReg.dll");
    ASSERT_NE(module, nullptr);
    ASSERT_NE(GetProcAddress(module, "Conta"), nullptr);
    GetProcAddress(module, "Conta")();
    EXPECT_EQ(calls, 1);

    UnregisterSystemModule("provareg");
    EXPECT_EQ(LoadLibraryA("PROVAREG.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), 126u);
    EXPECT_EQ(GetProcAddress(module, "Conta"), nullptr);
    UnregisterSystemModule("provareg"); // a second time does nothing

    RegisterSystemModule("PROVAREG.DLL", {{"Conta", [] { ++calls; }}});
    const HMODULE again = LoadLibraryA("PROVAREG.DLL");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, module);
    UnregisterSystemModule("PROVAREG.DLL");
}

TEST(Libraries, SystemModulesAreRegisteredByName)
{
    const HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(LoadLibraryA("kernel32"), kernel);
    using TFreeSpace = BOOL (*)(const char*, ULONGLONG*, ULONGLONG*, ULONGLONG*);
    auto freeSpace = reinterpret_cast<TFreeSpace>(GetProcAddress(kernel, "GetDiskFreeSpaceExA"));
    ASSERT_NE(freeSpace, nullptr);
    ULONGLONG viaLibrary = 0, direct = 0;
    ASSERT_TRUE(freeSpace("/", nullptr, &viaLibrary, nullptr));
    ASSERT_TRUE(GetDiskFreeSpaceExA("/", nullptr, &direct, nullptr));
    EXPECT_EQ(viaLibrary, direct);
    const HMODULE shell = LoadLibraryA("shell32.dll");
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(GetProcAddress(shell, "SHFormatDrive"), nullptr);
    EXPECT_TRUE(FreeLibrary(shell));
    EXPECT_EQ(GetModuleHandleA("Shell32.dll"), shell);
}

TEST(Libraries, ModuleSectionOfAFunctionOfThisProgram)
{
    TModuleSection section;
    ASSERT_TRUE(FindModuleSection(reinterpret_cast<const void*>(&NewTestFolder), section));
    EXPECT_NE(section.ModulePath.find("platform_os_tests"), std::string::npos) << section.ModulePath;
    // Absolute, whatever folder the program was started from.
    EXPECT_EQ(section.ModulePath.front(), '/') << section.ModulePath;
    EXPECT_GE(section.Section, 1);
    char self[1024];
    EXPECT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
}

TEST(Libraries, ExceptionErrorMessageNamesClassModuleAndAddress)
{
    const void* here = reinterpret_cast<const void*>(&NewTestFolder);
    const std::string hex = IntToHex(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(here)), 8);
    EXPECT_EQ(ExceptionErrorMessage(EConvertError("Valore non valido"), here),
              "Exception EConvertError in module platform_os_tests at " + hex + ".\nValore non valido.");
    EXPECT_EQ(ExceptionErrorMessage(EFOpenError("Fine."), here),
              "Exception EFOpenError in module platform_os_tests at " + hex + ".\nFine.");
    // No module holds a null address: the program's own file is named.
    EXPECT_EQ(ExceptionErrorMessage(Exception(""), nullptr),
              "Exception Exception in module platform_os_tests at 00000000.\n.");

    const HMODULE module = LoadLibraryA((std::string(TestBinaryDir()) + "\\Libs\\TabulinoTest.dll").c_str());
    ASSERT_NE(module, nullptr);
    const void* inLibrary = reinterpret_cast<const void*>(GetProcAddress(module, "_XlsInit"));
    EXPECT_EQ(ExceptionErrorMessage(Exception("x"), inLibrary).rfind("Exception Exception in module libtabulinotest.so at ", 0),
              0u);
    FreeLibrary(module);
}
