#include "foundation/ContabilitaTools.h"

#include "FoundationTestUtils.h"
#include "platform/rtl/TextUtils.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ContabilitaTools, MasksOfAmounts)
{
    EXPECT_EQ(CreaMascheraImporti(2), ",0.00");
    EXPECT_EQ(CreaMascheraImporti(0), ",0.");
    EXPECT_EQ(CreaMascheraImporti(3), ",0.000");
    ImpostaDecimali(2);
    EXPECT_EQ(MascheraImporti(), ",0.00");
    ImpostaDecimali(40);
    EXPECT_EQ(MascheraImporti(), ",0.000000000000000000");
    ImpostaDecimali(-1);
    EXPECT_EQ(MascheraImporti(), ",0.");
}

TEST(ContabilitaTools, FormattingAndRoundingAmounts)
{
    struct Caso {
        int Decimali;
        double Importo;
        std::string Testo;
        double Arrotondato;
    };
    const std::vector<Caso> casi = {
        {2, 1234.5, "1234,50", 1234.5},   {2, -1234.5, "-1234,50", -1234.5},
        {2, -0.004, "0,00", 0},           {2, 1.005, "1,01", 1.01},
        {2, 0.125, "0,13", 0.13},         {2, -0.125, "-0,13", -0.13},
        {2, 42.75 * 0.22, "9,41", 9.41},  {0, 2.5, "3", 3},
        {0, 2.4, "2", 2},                 {0, -0.4, "0", 0},
        {3, 1234567.0005, "1234567,001", 1234567.001},
    };
    for (const Caso& caso : casi) {
        ImpostaDecimali(caso.Decimali);
        EXPECT_EQ(FormattaImporto(caso.Importo), caso.Testo) << caso.Importo;
        const double arrotondato = ArrotondaImporto(caso.Importo);
        EXPECT_EQ(arrotondato, caso.Arrotondato) << caso.Importo;
        EXPECT_FALSE(arrotondato == 0 && std::signbit(arrotondato)) << caso.Importo;
    }
    // A VAT row and the rounded VAT total of the same invoice print alike.
    ImpostaDecimali(2);
    EXPECT_EQ(FormattaImporto(42.75 * 0.22), FormattaImporto(ArrotondaImporto(42.75 * 0.22)));
    const double nan = std::nan("");
    EXPECT_TRUE(std::isnan(ArrotondaImporto(nan)));
    EXPECT_EQ(ArrotondaImporto(-INFINITY), -INFINITY);
}

TEST(ContabilitaTools, FormattingAgreesWithPythonDecimal)
{
    const auto righe = RigheDi(FileDiPeer("arrotondamenti.txt"));
    ASSERT_EQ(righe.size(), 10000u);
    for (const std::string& riga : righe) {
        long long k = 0;
        int n = 0;
        double atteso = 0;
        char testo[64] = {};
        ASSERT_EQ(std::sscanf(riga.c_str(), "%lld %d %lf %63s", &k, &n, &atteso, testo), 4);
        const double x = static_cast<double>(k) / std::pow(10.0, n + 1);
        ImpostaDecimali(n);
        ASSERT_EQ(StringReplace(FormattaImporto(x), ",", ".", rfReplaceAll), testo) << riga;
        ASSERT_EQ(ArrotondaImporto(x), atteso + 0.0) << riga;
    }
}

// The module state is checked in a child process, so that the other tests cannot have set it.
TEST(ContabilitaToolsDeathTest, BeforeTheDecimalsAreSetAmountsHaveNone)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const bool iniziale = FormattaImporto(2.4) == "2" && MascheraImporti().empty() &&
                                  ArrotondaImporto(2.5) == 3;
            std::exit(iniziale ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
