#include "platform/os/MessageBox.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

TEST(MessageBox, ScriptedHandlerReceivesTheBoxAndAnswers)
{
    std::vector<std::tuple<std::string, std::string, UINT>> seen;
    TMessageBoxHandler previous = SetMessageBoxHandler(
        [&](HWND, const std::string& text, const std::string& caption, UINT type) {
            seen.emplace_back(text, caption, type);
            return IDYES;
        });
    EXPECT_EQ(MessageBoxA(nullptr, "testo", "titolo", MB_YESNO | MB_ICONQUESTION), IDYES);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::make_tuple(std::string("testo"), std::string("titolo"), MB_YESNO | MB_ICONQUESTION));
    SetMessageBoxHandler(previous);
}

TEST(MessageBox, WithoutHandlerAnswersTheDefaultButtonOnStandardError)
{
    SetMessageBoxHandler({});
    testing::internal::CaptureStderr();
    const int answer = MessageBoxA(nullptr, "Continuare?", "Domanda", MB_YESNO | MB_DEFBUTTON2);
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(written, "Domanda: Continuare?\n");

    struct Case {
        UINT Type;
        int Answer;
    };
    const Case cases[] = {
        {MB_OK, IDOK},
        {MB_OK | MB_DEFBUTTON2, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_YESNO | MB_DEFBUTTON3, IDYES},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
        {MB_RETRYCANCEL | MB_DEFBUTTON2, IDCANCEL},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DefaultMessageBoxAnswer(c.Type), c.Answer) << c.Type;
}

TEST(MessageBox, StandardErrorTextIsUtf8)
{
    SetMessageBoxHandler({});
    testing::internal::CaptureStderr();
    MessageBoxA(nullptr, std::string("Caff\xE8"), std::string("Avviso"), MB_OK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Avviso: Caff\xC3\xA8\n");
}
