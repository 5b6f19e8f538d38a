// Icons of files and the about box of the shell.

#include "GuiTestSupport.h"

#include "platform/gui/ShellIcons.h"
#include "platform/gui/Resources.h"
#include "platform/os/ShellFileInfo.h"
#include "tests/TestFixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::uintptr_t Value(HICON icon) { return reinterpret_cast<std::uintptr_t>(icon); }

std::string Folder()
{
    const fs::path folder = fs::temp_directory_path() / ("shell_icons_" + std::to_string(getpid()));
    fs::create_directories(folder);
    return folder.string();
}

} // namespace

TEST(ShellIcons, ExtractIconTakesIcoImagesAndRefusesOtherFiles)
{
    const std::string folder = Folder();
    TIcon first, second;
    first.SetHandle(CopyIcon(LoadIcon(nullptr, MAKEINTRESOURCE(IDI_APPLICATION))));
    first.SaveToFile(folder + "/app.ico");
    std::ofstream(folder + "/nota.txt") << "testo";

    HICON icon = ExtractIconA(nullptr, (folder + "/app.ico").c_str(), 0);
    ASSERT_GT(Value(icon), 1u);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(icon, &info));
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
    EXPECT_EQ(Value(ExtractIconA(nullptr, (folder + "/app.ico").c_str(), static_cast<UINT>(-1))), 1u);
    EXPECT_EQ(ExtractIconA(nullptr, (folder + "/app.ico").c_str(), 1), nullptr);
    EXPECT_EQ(Value(ExtractIconA(nullptr, (folder + "/nota.txt").c_str(), 0)), 1u);
    EXPECT_EQ(Value(ExtractIconA(nullptr, "/bin/sh", 0)), 1u);
    EXPECT_EQ(ExtractIconA(nullptr, (folder + "/manca.ico").c_str(), 0), nullptr);

    // The associated icon: the file's own, else its type's through the desktop's icons.
    WORD index = 0;
    HICON own = ExtractAssociatedIconA(nullptr, (folder + "/app.ico").c_str(), &index);
    EXPECT_GT(Value(own), 1u);
    DestroyIcon(own);
    HICON typeIcon = ExtractAssociatedIconA(nullptr, (folder + "/nota.txt").c_str(), &index);
    EXPECT_GT(Value(typeIcon), 1u);
    DestroyIcon(typeIcon);
    EXPECT_EQ(ExtractAssociatedIconA(nullptr, (folder + "/manca.txt").c_str(), &index), nullptr);
    TShellIconFactory factory = SetShellIconFactory(nullptr);
    EXPECT_EQ(ExtractAssociatedIconA(nullptr, (folder + "/nota.txt").c_str(), &index), nullptr);
    SetShellIconFactory(factory);
    fs::remove_all(folder);
}

TEST(ShellIcons, AboutBoxGoesThroughTheDialogService)
{
    TScriptedScope scope;
    scope.Dialogs().Expect(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
    EXPECT_TRUE(ShellAboutA(nullptr, "Tessellarium", "Versione 3.0", nullptr));
    ASSERT_EQ(scope.Dialogs().Requests().size(), 1u);
    EXPECT_EQ(scope.Dialogs().Requests()[0].Caption, "About Tessellarium");
    EXPECT_EQ(scope.Dialogs().Requests()[0].Text, "Tessellarium\r\nVersione 3.0");
    EXPECT_EQ(scope.Dialogs().Requests()[0].Icon, MB_ICONINFORMATION);
}
