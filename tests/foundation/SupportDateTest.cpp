#include "foundation/SupportDate.h"

#include "FoundationTestUtils.h"
#include "platform/rtl/Exceptions.h"

#include <gtest/gtest.h>

TEST(SupportDate, LastDayOfEveryMonthMatchesPythonCalendar)
{
    EXPECT_EQ(UltimoDelMese(2, 2008), EncodeDate(2008, 2, 29));
    EXPECT_EQ(UltimoDelMese(2, 2009), EncodeDate(2009, 2, 28));

    const auto righe = RigheDi(FileDiPeer("giorni_mese.txt"));
    ASSERT_EQ(righe.size(), 201u * 12u);
    for (const std::string& riga : righe) {
        int anno = 0, mese = 0, giorni = 0;
        ASSERT_EQ(std::sscanf(riga.c_str(), "%d %d %d", &anno, &mese, &giorni), 3);
        const TDateTime ultimo = UltimoDelMese(mese, anno);
        EXPECT_EQ(GiornoDi(ultimo), giorni) << riga;
        EXPECT_EQ(MeseDi(ultimo), mese) << riga;
        EXPECT_EQ(AnnoDi(ultimo), anno) << riga;
    }
}

TEST(SupportDate, FirstDayAndPartsOfADate)
{
    EXPECT_EQ(PrimoDelMese(3, 2009), EncodeDate(2009, 3, 1));
    const TDateTime fineSecolo = EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 0, 0);
    EXPECT_EQ(AnnoDi(fineSecolo), 1999);
    EXPECT_EQ(MeseDi(fineSecolo), 12);
    EXPECT_EQ(GiornoDi(fineSecolo), 31);
    EXPECT_THROW(UltimoDelMese(13, 2009), EConvertError);
    EXPECT_THROW(UltimoDelMese(0, 2009), EConvertError);
}

TEST(SupportDate, TypedDatesAndTimes)
{
    struct Caso {
        std::string Testo;
        bool Data;
        bool Ora;
    };
    const std::vector<Caso> casi = {
        {"29/02/2008", true, false},
        {"29/02/2009", false, false},
        {"31/04/2009", false, false},
        {"12/13/2009", false, false},
        {"", false, false},
        {"  /  /    ", false, false},
        {"abc", false, false},
        {"ab", false, false},
        {"23.59.59", false, true},
        {"24.00", false, false},
        {std::string(10000, '1'), false, false},
        {std::string(10000, '/'), false, false},
        {std::string("1\0/2/2009", 9), false, false},
    };
    for (const Caso& caso : casi) {
        EXPECT_EQ(DataValida(caso.Testo), caso.Data) << caso.Testo.substr(0, 20);
        EXPECT_EQ(OraValida(caso.Testo), caso.Ora) << caso.Testo.substr(0, 20);
    }
}
