// Link addresses as local paths, trimming and text measuring.

#include "htmlview/PaneUtils.h"

#include "HtmlTestSupport.h"

#include "platform/gui/TextOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace PaneUn2;

namespace {

TEST(HTMLToDos, EscapesPrefixesAndSeparators)
{
    const std::pair<std::string, std::string> cases[] = {
        {"file:///C|/dir/a%20b.htm", "C:\\dir\\a b.htm"},
        {"file://server/x.htm", "server\\x.htm"},
        {"/img/a.gif", "\\img\\a.gif"},
        {"a%2", "a%2"},
        {"%41bc", "%41bc"},
        {"a%zzb", "a%zzb"},
        {"a%2541", "aA"},
        {"file:///home/u/a.htm", "\\home\\u\\a.htm"},
        {"FILE:///d:/x/y.htm", "d:\\x\\y.htm"},
        {"a%00b", "a%00b"},
        {"a%41%00%41", "aA%00%41"},
        {"x%2Fy", "x\\y"},
        {"pagina.htm", "pagina.htm"},
        {"a|b", "a|b"},
        {"c|/x|y", "c:\\x:y"},
        {"", ""},
        {"%", "%"},
        {"a%", "a%"},
        {"a% 1", "a% 1"},
        {"a%-1b", "a%-1b"},
    };
    for (const auto& [name, path] : cases)
        EXPECT_EQ(HTMLToDos(name), path) << name;
}

TEST(HTMLToDos, ServerRootGoesBeforeRootedNamesOnly)
{
    EXPECT_EQ(HTMLServerToDos("/img/a.gif", "C:\\site"), "C:\\site\\img\\a.gif");
    EXPECT_EQ(HTMLServerToDos("img/a.gif", "C:\\site"), "img\\a.gif");
    EXPECT_EQ(HTMLServerToDos("file:///home/u/a.htm", "/srv"), "/srv\\home\\u\\a.htm");
    EXPECT_EQ(HTMLServerToDos("", "C:\\site"), "");
}

TEST(PaneUtils, TrimKeepsTheNoBreakSpace)
{
    const std::pair<std::string, std::string> cases[] = {
        {std::string("\t\r\n\0 a b \0\n\t", 12), "a b"},
        {"\xA0 x \xA0", "\xA0 x \xA0"},
        {" \xA0x", "\xA0x"},
        {std::string("\0\0", 2), ""},
    };
    for (const auto& [text, trimmed] : cases)
        EXPECT_EQ(Trim(text), trimmed);
    EXPECT_EQ(IntMin(-3, 2), -3);
    EXPECT_EQ(IntMax(-3, 2), 2);
}

TEST(PaneUtils, GetXExtentMeasuresTheFirstCharacters)
{
    auto bitmap = NewFilledBitmap(50, 20, clWhite);
    TCanvas* canvas = bitmap->Canvas();
    canvas->Font()->SetName("Arial");
    canvas->Font()->SetSize(10);
    const std::string text = "Fattura n. 12";
    EXPECT_EQ(GetXExtent(canvas->Handle(), text.data(), 7), canvas->TextWidth("Fattura"));
    EXPECT_EQ(GetXExtent(canvas->Handle(), text.data(), static_cast<int>(text.size())), canvas->TextWidth(text));
    EXPECT_GT(canvas->TextWidth(text), canvas->TextWidth("Fattura"));
    EXPECT_EQ(GetXExtent(canvas->Handle(), text.data(), 0), 0);
}

} // namespace
