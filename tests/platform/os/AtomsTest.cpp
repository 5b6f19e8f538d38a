#include "platform/os/Atoms.h"

#include "platform/rtl/SysErrors.h"

#include <gtest/gtest.h>

#include <string>

TEST(Atoms, RegisteredMessagesShareIdsByNameWithoutCase)
{
    const UINT open = RegisterWindowMessageA("TESSELLARIUM_OPEN_THIS_FATTURA");
    EXPECT_GE(open, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageA("tessellarium_open_this_fattura"), open);
    EXPECT_NE(RegisterWindowMessageA("TESSELLARIUM_UPDATE_TABLE"), open);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(GetLastError(), 87u);
}

TEST(Atoms, LongNamesRoundTripAndBuffersAreRespected)
{
    const std::string path = "/home/utente/" + std::string(600, 'p') + ".fat";
    const ATOM atom = GlobalAddAtomA(path.c_str());
    ASSERT_GE(atom, 0xC000);
    EXPECT_EQ(GlobalFindAtomA(path.c_str()), atom);
    std::string buffer(1024, '\0');
    EXPECT_EQ(GlobalGetAtomNameA(atom, buffer.data(), 1024), path.size());
    EXPECT_EQ(buffer.c_str(), path);

    const std::string longer(2000, 'L');
    const ATOM big = GlobalAddAtomA(longer.c_str());
    EXPECT_EQ(GlobalGetAtomNameA(big, buffer.data(), 1024), 1023u);
    EXPECT_EQ(std::string(buffer.c_str()), std::string(1023, 'L'));

    // References: two adds need two deletes.
    EXPECT_EQ(GlobalAddAtomA(path.c_str()), atom);
    EXPECT_EQ(GlobalDeleteAtom(atom), 0);
    EXPECT_EQ(GlobalFindAtomA(path.c_str()), atom);
    EXPECT_EQ(GlobalDeleteAtom(atom), 0);
    EXPECT_EQ(GlobalFindAtomA(path.c_str()), 0);
    EXPECT_EQ(GlobalDeleteAtom(big), 0);
}

TEST(Atoms, IntegerAtomsAndSeparateTables)
{
    EXPECT_EQ(GlobalAddAtomA("#123"), 123);
    char buffer[16];
    EXPECT_EQ(GlobalGetAtomNameA(123, buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "#123");
    EXPECT_GE(GlobalAddAtomA("#49152"), 0xC000); // too large for an integer atom: a string atom
    RegisterWindowMessageA("SOLO_MESSAGGIO");
    EXPECT_EQ(GlobalFindAtomA("SOLO_MESSAGGIO"), 0);
}
