#include "foundation/SupportString.h"

#include "FoundationTestUtils.h"
#include "platform/rtl/Exceptions.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// The rule taken literally: every round searches again from the start.
std::string SostituisciLetterale(std::string testo, const std::string& cercato,
                                 const std::string& sostituto)
{
    for (;;) {
        const size_t p = testo.find(cercato);
        if (p == std::string::npos)
            return testo;
        testo.replace(p, cercato.size(), sostituto);
    }
}

} // namespace

TEST(SupportString, TextBeforeAndAfterASeparator)
{
    struct Caso {
        std::string Testo, Separatore, Prima, PrimaOVuoto, Dopo;
    };
    const std::vector<Caso> casi = {
        {"FT.FT", ".", "FT", "FT", "FT"},
        {"abc", ".", "abc", "", ""},
        {"a::b::c", "::", "a", "a", "b::c"},
        {".x", ".", "", "", "x"},
        {"abc", "", "abc", "", ""},
        {"", ".", "", "", ""},
        {std::string("a\0b", 3), std::string(1, '\0'), "a", "a", "b"},
    };
    for (const Caso& caso : casi) {
        EXPECT_EQ(TestoPrima(caso.Testo, caso.Separatore), caso.Prima) << caso.Testo;
        EXPECT_EQ(TestoPrimaOVuoto(caso.Testo, caso.Separatore), caso.PrimaOVuoto) << caso.Testo;
        EXPECT_EQ(TestoDopo(caso.Testo, caso.Separatore), caso.Dopo) << caso.Testo;
    }
}

TEST(SupportString, SplittingIntoItems)
{
    struct Caso {
        std::string Testo;
        std::vector<std::string> Elementi;
    };
    const std::vector<Caso> casi = {
        {"", {}},
        {"a;b;c", {"a", "b", "c"}},
        {"a;;b", {"a", "", "b"}},
        {";a", {"", "a"}},
        {"a;", {"a"}},
        {"a;;", {"a", ""}},
        {";", {""}},
    };
    for (const Caso& caso : casi)
        EXPECT_EQ(Righe(*DividiTesto(caso.Testo, ';')), caso.Elementi) << caso.Testo;
}

TEST(SupportString, ExtractingAnItem)
{
    struct Caso {
        std::string Testo;
        int Indice;
        std::string Elemento;
    };
    const std::vector<Caso> casi = {
        {"a;b;c", 0, "a"}, {"a;b;c", 1, "b"}, {"a;b;c", 3, "0"},
        {"a;b;c", 4, "0"}, {"a;b;", 2, "0"},  {"", 0, "0"},
    };
    for (const Caso& caso : casi)
        EXPECT_EQ(EstraiElemento(caso.Testo, ';', caso.Indice), caso.Elemento)
            << caso.Testo << " " << caso.Indice;
    EXPECT_THROW(EstraiElemento("a", ';', -1), EStringListError);
}

TEST(SupportString, CharacterSets)
{
    EXPECT_EQ(ContieneCaratteri("a:b/c", "/:"), 4);
    EXPECT_EQ(ContieneCaratteri("x>", "\\/:*?\"<>"), 2);
    EXPECT_EQ(ContieneCaratteri("abc", ""), 0);
    EXPECT_EQ(ContieneCaratteri("", "abc"), 0);
    EXPECT_EQ(ContieneCaratteri(std::string("ab\0", 3), std::string(1, '\0')), 3);
    EXPECT_EQ(RimuoviCaratteri("a/b\\c:d", "\\/:"), "abcd");
    EXPECT_EQ(RimuoviCaratteri("\xE0\xFF" "a", "\xFF"), "\xE0" "a");
}

TEST(SupportString, IndexOfTheFirstLineBeginningWithAText)
{
    TStringList elenco;
    elenco.Add("FT=1");
    elenco.Add("PV=2");
    EXPECT_EQ(IndiceElemento(elenco, "PV"), 1);
    EXPECT_EQ(IndiceElemento(elenco, "pv"), -1);
    EXPECT_EQ(IndiceElemento(elenco, "PV=22"), -1);
}

TEST(SupportString, ReplacingTexts)
{
    struct Caso {
        std::string Testo, Cercato, Sostituto, Risultato;
    };
    const std::vector<Caso> casi = {
        {"01-02-2009", "-", "/", "01/02/2009"},
        {"aabb", "ab", "", ""},
        {"x", "x", "xx", "xx"},
        {"abc", "", "z", "abc"},
        {"[A][A]", "[A]", "1", "11"},
        {"[[A]A]]", "[A]", "", "]"},
        {"nessuna", "[A]", "1", "nessuna"},
    };
    for (const Caso& caso : casi)
        EXPECT_EQ(SostituisciTesto(caso.Testo, caso.Cercato, caso.Sostituto), caso.Risultato)
            << caso.Testo << " " << caso.Cercato << " " << caso.Sostituto;

    TStringList elenco;
    elenco.Add("1-1");
    elenco.Add("-");
    elenco.Add("nulla");
    SostituisciInElenco(elenco, "-", "/");
    EXPECT_EQ(Righe(elenco), (std::vector<std::string>{"1/1", "/", "nulla"}));
}

// A shorter replacement must give what searching again from the start would give.
TEST(SupportString, ShorterReplacementAgreesWithTheLiteralRule)
{
    std::mt19937 caso(18);
    auto testoCasuale = [&](int massimo) {
        std::string testo(caso() % (massimo + 1), 'a');
        for (char& c : testo)
            c = "ab"[caso() % 2];
        return testo;
    };
    for (int i = 0; i < 5000; ++i) {
        const std::string cercato = testoCasuale(4);
        if (cercato.empty())
            continue;
        const std::string sostituto = testoCasuale(static_cast<int>(cercato.size()) - 1);
        const std::string testo = testoCasuale(30);
        ASSERT_EQ(SostituisciTesto(testo, cercato, sostituto),
                  SostituisciLetterale(testo, cercato, sostituto))
            << testo << " " << cercato << " " << sostituto;
    }
}

TEST(SupportString, AnyByteIsAccepted)
{
    std::string ogniByte;
    for (int c = 0; c < 256; ++c)
        ogniByte += static_cast<char>(c);
    const std::string testo = ogniByte + ogniByte;
    EXPECT_EQ(DividiTesto(testo, '\0')->Count(), 3);
    EXPECT_EQ(SostituisciTesto(testo, std::string(1, '\0'), ""), RimuoviCaratteri(testo, std::string(1, '\0')));
    EXPECT_EQ(SostituisciTesto(testo, "\xFF", "\xFE\xFE").size(), testo.size() + 2);
    EXPECT_EQ(TestoDopo(testo, "\xFF"), ogniByte);
    EXPECT_EQ(RimuoviCaratteri(testo, ogniByte), "");
    EXPECT_EQ(EstraiElemento(testo, '\xFF', 1), ogniByte.substr(0, 255));
}

TEST(SupportString, CleaningACustomerName)
{
    TRegistraBox registro;
    EXPECT_EQ(PulisciDenominazione("Rossi"), "Rossi");
    EXPECT_TRUE(registro.Box.empty());

    EXPECT_EQ(PulisciDenominazione("Rossi/Bianchi"), "RossiBianchi");
    EXPECT_EQ(PulisciDenominazione("R<o>s:s*i?\"\\"), "Rossi");
    ASSERT_EQ(registro.Box.size(), 2u);
    for (const TBoxMostrato& box : registro.Box) {
        EXPECT_EQ(box.Testo,
                  "I caratteri \\/:*?\"<> non sono ammessi nella denominazione cliente.");
        EXPECT_EQ(box.Titolo, "Carattere non valido");
        EXPECT_EQ(box.Tipo, MB_OK | MB_ICONERROR);
    }
}
