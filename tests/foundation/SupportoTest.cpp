#include "foundation/Supporto.h"

#include "FoundationTestUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Supporto, SettingANameKeepsOneLineWithTheLastValue)
{
    struct Passo {
        std::string Nome, Valore, Riga;
    };
    const std::vector<Passo> passi = {
        {"A", "1", "A=1"}, {"A", "", "A="}, {"A", "2", "A=2"}, {"a", "3", "a=3"}, {"a", "", "a="},
    };
    TStringList elenco;
    for (const Passo& passo : passi) {
        ImpostaValore(elenco, passo.Nome, passo.Valore);
        ASSERT_EQ(elenco.Count(), 1) << passo.Riga;
        EXPECT_EQ(elenco.Strings(0), passo.Riga);
        EXPECT_EQ(elenco.Values("A"), passo.Valore);
    }
    ImpostaValore(elenco, "B", "x=y");
    EXPECT_EQ(elenco.Count(), 2);
    EXPECT_EQ(elenco.Values("B"), "x=y");
}

TEST(Supporto, RoundingThroughFifteenSignificantDigits)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Caso {
        double Numero;
        int Decimali;
        double Risultato;
    };
    const std::vector<Caso> casi = {
        {2.5, 0, 3},          {-2.5, 0, -3},         {12.345, 1, 12.3},
        {1.005, 2, 1.01},     {2.675, 2, 2.68},      {0.125, 2, 0.13},
        {-0.125, 2, -0.13},   {99.995, 2, 100},      {1.0005, 3, 1.001},
        {-0.004, 2, 0},       {inf, 2, inf},         {-inf, 2, -inf},
        {1.23456, -3, 1},     {0.1234567890123, 40, 0.1234567890123},
        {1e20, 2, 1e20},      {-1e300, 2, -1e300},   {5e-324, 2, 0},
    };
    for (const Caso& caso : casi) {
        const double risultato = Arrotonda(caso.Numero, caso.Decimali);
        EXPECT_EQ(risultato, caso.Risultato) << caso.Numero << " " << caso.Decimali;
        if (caso.Risultato == 0) {
            EXPECT_FALSE(std::signbit(risultato)) << caso.Numero;
        }
    }
    EXPECT_TRUE(std::isnan(Arrotonda(nan, 2)));
}

TEST(Supporto, RoundingAgreesWithPythonDecimal)
{
    const auto righe = RigheDi(FileDiPeer("arrotondamenti.txt"));
    ASSERT_EQ(righe.size(), 10000u);
    for (const std::string& riga : righe) {
        long long k = 0;
        int n = 0;
        double atteso = 0;
        ASSERT_EQ(std::sscanf(riga.c_str(), "%lld %d %lf", &k, &n, &atteso), 3);
        const double x = static_cast<double>(k) / std::pow(10.0, n + 1);
        ASSERT_EQ(Arrotonda(x, n), atteso + 0.0) << riga;
    }
}
