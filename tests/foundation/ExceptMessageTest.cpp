#include "foundation/ExceptMessage.h"
#include "foundation/SupportFiles.h"
#include "platform/rtl/DateTime.h"

#include "FoundationTestUtils.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class ExceptMessage : public ::testing::Test {
protected:
    // Full and silent reports write into the program's Debug folder: keep it out of the build.
    void SetUp() override
    {
        TFormExceptMessage::AzzeraRapporti();
        ImpostaCartellaApplicazione(Programma.Percorso());
    }
    void TearDown() override
    {
        TFormExceptMessage::AzzeraRapporti();
        ImpostaCartellaApplicazione("");
    }

    static void Mostra(const std::string& messaggio, const std::string& file, int riga, int8_t livello)
    {
        TFormExceptMessage::MostraErrore(messaggio, "testo", "Funzione", riga, file, nullptr, nullptr, "", "", "",
                                         livello);
    }

    TCartellaTemporanea Programma;
    TRegistraBox Box;
};

} // namespace

TEST_F(ExceptMessage, LevelDecidesTheBox)
{
    struct Caso {
        int Livello;
        const char* Messaggio;
        bool ConBox;
        const char* Titolo;
    };
    const Caso casi[] = {
        {0, "Errore", true, "Errore nell'applicazione - (X.cpp,75)"},
        {-1, "Errore", true, "Errore nell'applicazione - (X.cpp,75)"},
        {-128, "Errore", true, "Errore nell'applicazione - (X.cpp,75)"},
        {0, "", false, ""},
        {1, "Attenzione", true, "Errore nell'applicazione"},
        {1, "", false, ""},
        {2, "x", false, ""},
        {127, "x", false, ""},
    };
    for (const Caso& caso : casi) {
        SCOPED_TRACE(testing::Message() << caso.Livello << " '" << caso.Messaggio << "'");
        Box.Box.clear();
        Mostra(caso.Messaggio, "X.cpp", 75, static_cast<int8_t>(caso.Livello));
        ASSERT_EQ(Box.Box.size(), caso.ConBox ? 1u : 0u);
        if (caso.ConBox) {
            EXPECT_EQ(Box.Box[0].Testo, caso.Messaggio);
            EXPECT_EQ(Box.Box[0].Titolo, caso.Titolo);
            EXPECT_EQ(Box.Box[0].Tipo, MB_OK | MB_ICONERROR);
        }
    }
    EXPECT_EQ(TFormExceptMessage::RapportiRegistrati().size(), std::size(casi));
}

TEST_F(ExceptMessage, EveryCallIsRecordedWithItsElevenArgumentsAndOnlyTheLastHundredKept)
{
    EConvertError errore("conversione");
    int indirizzo = 0;
    TFormExceptMessage::MostraErrore("mostrato", "eccezione", "Fai", 12, "Unita.cpp", &errore, &indirizzo,
                                     "EConvertError", "Altro.cpp", "34", 2);
    auto rapporti = TFormExceptMessage::RapportiRegistrati();
    ASSERT_EQ(rapporti.size(), 1u);
    const auto& r = rapporti[0];
    EXPECT_EQ(r.Messaggio, "mostrato");
    EXPECT_EQ(r.TestoEccezione, "eccezione");
    EXPECT_EQ(r.Funzione, "Fai");
    EXPECT_EQ(r.Riga, 12);
    EXPECT_EQ(r.FileSorgente, "Unita.cpp");
    EXPECT_EQ(r.Eccezione, &errore);
    EXPECT_EQ(r.Indirizzo, &indirizzo);
    EXPECT_EQ(r.ClasseLanciata, "EConvertError");
    EXPECT_EQ(r.FileLancio, "Altro.cpp");
    EXPECT_EQ(r.RigaLancio, "34");
    EXPECT_EQ(r.Livello, 2);

    for (int i = 0; i < 150; ++i)
        Mostra("", "F.cpp", i, 2);
    rapporti = TFormExceptMessage::RapportiRegistrati();
    ASSERT_EQ(rapporti.size(), 100u);
    EXPECT_EQ(rapporti.front().Riga, 50);
    EXPECT_EQ(rapporti.back().Riga, 149);
}

TEST_F(ExceptMessage, TheInstancesThresholdsCountAndTheGlobalIsClearedWithIt)
{
    auto entry = std::make_unique<TFormExceptMessage>(nullptr);
    FormExceptMessage = entry.get();
    FormExceptMessage->SogliaRapporto = -1;
    FormExceptMessage->SogliaMessaggio = 2;
    Mostra("zero", "X.cpp", 1, 0);
    Mostra("due", "X.cpp", 1, 2);
    ASSERT_EQ(Box.Box.size(), 2u);
    EXPECT_EQ(Box.Box[0].Titolo, "Errore nell'applicazione");
    EXPECT_EQ(Box.Box[1].Titolo, "Errore nell'applicazione");
    entry.reset();
    EXPECT_EQ(FormExceptMessage, nullptr);
}

TEST_F(ExceptMessage, WithoutTheVisualApplicationAFullReportWritesItsFilesAndShowsTheBox)
{
    // A run of the whole program made windows possible: this case is for a process without them.
    if (Application->Initialized())
        GTEST_SKIP();
    auto finestra = std::unique_ptr<TFormExceptMessage>(TFormExceptMessage::Create(nullptr));
    ASSERT_NE(finestra, nullptr);
    EXPECT_EQ(FormExceptMessage, finestra.get());
    EXPECT_EQ(finestra->MemoErrore, nullptr);
    Mostra("Errore", "X.cpp", 75, 0);
    const std::string debug = Programma.Percorso() + "/Debug/";
    EXPECT_NE(ContenutoDi(debug + "ExcpText.txt").find("Catch: Modulo X.cpp, riga 75, funzione Funzione.\r\n"),
              std::string::npos);
    EXPECT_EQ(RigheDi(debug + "Log_" + DataPerNomeFile(Date()) + ".log").size(), 10u);
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_EQ(Box.Box[0].Titolo, "Errore nell'applicazione - (X.cpp,75)");
    EXPECT_FALSE(Application->Initialized());
}

TEST_F(ExceptMessage, NeverThrowsWhateverHappens)
{
    SetMessageBoxHandler([](HWND, const std::string&, const std::string&, UINT) -> int {
        throw std::runtime_error("box rotto");
    });
    EXPECT_NO_THROW(Mostra("Errore", "X.cpp", 1, 0));
    EXPECT_NO_THROW(Mostra("Errore", "", 1, 1));
    EXPECT_NO_THROW(Mostra(std::string(1 << 20, 'm'), "", -5, -128));
    EXPECT_EQ(TFormExceptMessage::RapportiRegistrati().size(), 3u);
}

TEST_F(ExceptMessage, MacroFillsTheHandlersPlaceAndTheLastThrow)
{
    int rigaLancio = 0;
    int rigaCatch = 0;
    try {
        rigaLancio = __LINE__ + 1;
        RAISE(EConvertError("'abc' non \xE8 un numero"));
    } catch (const Exception& e) {
        rigaCatch = __LINE__ + 1;
        MOSTRA_ERRORE("Valore non valido", e, 1);
        const auto rapporti = TFormExceptMessage::RapportiRegistrati();
        ASSERT_EQ(rapporti.size(), 1u);
        const auto& r = rapporti[0];
        EXPECT_EQ(r.Messaggio, "Valore non valido");
        EXPECT_EQ(r.TestoEccezione, "'abc' non \xE8 un numero");
        EXPECT_EQ(r.Funzione, "TestBody");
        EXPECT_EQ(r.Riga, rigaCatch);
        EXPECT_EQ(r.FileSorgente, "ExceptMessageTest.cpp");
        EXPECT_EQ(r.Eccezione, &e);
        // The code address of the raise travels with the throw site.
        EXPECT_EQ(r.Indirizzo, LastThrowSite().Address);
        EXPECT_NE(r.Indirizzo, nullptr);
        EXPECT_EQ(r.ClasseLanciata, "EConvertError");
        EXPECT_EQ(r.FileLancio, "ExceptMessageTest.cpp");
        EXPECT_EQ(r.RigaLancio, std::to_string(rigaLancio));
        EXPECT_EQ(r.Livello, 1);
    }
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_EQ(Box.Box[0].Testo, "Valore non valido");

    // A standard exception and no exception at all.
    try {
        throw std::runtime_error("standard");
    } catch (const std::exception& e) {
        MOSTRA_ERRORE("", e, 2);
    }
    MOSTRA_ERRORE("", nullptr, 2);
    const auto rapporti = TFormExceptMessage::RapportiRegistrati();
    ASSERT_EQ(rapporti.size(), 3u);
    EXPECT_EQ(rapporti[1].TestoEccezione, "standard");
    EXPECT_EQ(rapporti[1].Eccezione, nullptr);
    EXPECT_EQ(rapporti[2].TestoEccezione, "");
}

TEST(ExceptMessageNomi, SourceFileNameLosesItsFolders)
{
    EXPECT_EQ(NomeFileSorgente("/a/b/Supporto.cpp"), "Supporto.cpp");
    EXPECT_EQ(NomeFileSorgente("C:\\src\\X.cpp"), "X.cpp");
    EXPECT_EQ(NomeFileSorgente("X.cpp"), "X.cpp");
    EXPECT_EQ(NomeFileSorgente(nullptr), "");
}
