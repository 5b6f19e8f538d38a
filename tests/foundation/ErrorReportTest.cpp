// The error report with its window: the lines, the levels, the files, the buttons, a failing
// Debug folder and a report made while the window is open.

#include "foundation/ExceptMessage.h"

#include "FoundationTestUtils.h"
#include "archive/Zip.h"
#include "foundation/ScreenCapture.h"
#include "foundation/SupportFiles.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/os/Libraries.h"
#include "platform/os/Shell.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/SysErrors.h"
#include "widgets/HintBox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sys/utsname.h>

namespace {

namespace fs = std::filesystem;

std::string VersioneKernel()
{
    utsname sistema{};
    uname(&sistema);
    return sistema.release;
}

std::string UnisciConCrLf(const std::vector<std::string>& righe)
{
    std::string testo;
    for (const std::string& riga : righe)
        testo += riga + "\r\n";
    return testo;
}

std::vector<std::string> RigheMemo(TMemo* memo)
{
    std::vector<std::string> righe;
    for (int i = 0; i < memo->Lines()->Count(); ++i)
        righe.push_back(memo->Lines()->Strings(i));
    return righe;
}

class ErrorReport : public ::testing::Test {
protected:
    static void SetUpTestSuite() { AvviaApplicazioneVisuale(); }

    void SetUp() override
    {
        TFormExceptMessage::AzzeraRapporti();
        ImpostaCartellaApplicazione(Programma.Percorso());
        SetClock([] { return EncodeDate(2009, 3, 8) + EncodeTime(14, 5, 7, 0); });
        TitoloPrecedente = Application->Title();
        Application->SetTitle("Tessellarium");
        ApriturePrecedenti = SetDesktopOpener([this](const std::string& destinazione) {
            Aperture.push_back(destinazione);
            return DWORD{0};
        });
        Finestra = TFormExceptMessage::Create(nullptr);
        ASSERT_NE(Finestra, nullptr);
        ASSERT_EQ(FormExceptMessage, Finestra);
        Finestra->ScreenCapture->Delay = 0;
        SetModalStartHook([this](TCustomForm* form) {
            ++FinestreMostrate;
            if (MentreMostrata)
                MentreMostrata();
            if (form->Modal())
                Finestra->BtnChiudi->Click();
        });
    }

    void TearDown() override
    {
        SetModalStartHook(nullptr);
        TComponent::Free(Finestra);
        SetDesktopOpener(ApriturePrecedenti);
        Application->SetTitle(TitoloPrecedente);
        ResetClock();
        ImpostaCartellaApplicazione("");
        TFormExceptMessage::AzzeraRapporti();
    }

    std::string Debug(const std::string& nome = "") const { return Programma.Percorso() + "/Debug/" + nome; }

    static void Segnala(const std::string& messaggio, int8_t livello)
    {
        TFormExceptMessage::MostraErrore(messaggio, "Boom", "Prova", 75, "X.cpp", nullptr, nullptr, "", "", "",
                                         livello);
    }

    static TFormExceptMessage::Rapporto Esempio()
    {
        return {"Errore", "Boom", "Prova", 75, "X.cpp", nullptr, nullptr, "", "", "", 0};
    }

    TCartellaTemporanea Programma;
    TDialoghiScritti Dialoghi;
    TFormExceptMessage* Finestra = nullptr;
    int FinestreMostrate = 0;
    std::function<void()> MentreMostrata;
    std::vector<std::string> Aperture;
    TDesktopOpener ApriturePrecedenti;
    std::string TitoloPrecedente;
};

TEST_F(ErrorReport, LinesOfAReportWithoutExceptionObject)
{
    const std::vector<std::string> attese = {
        "Errore livello 0 in Tessellarium",
        "08/03/2009 - 14.05.07: 'Boom'.",
        "Messaggio visualizzato: 'Errore'.",
        "Eccezione: 'Boom'.",
        "Indirizzo: '00000000'.",
        "Eccezione estesa: 'No message'.",
        "Throw: , modulo , riga .",
        "Catch: Modulo X.cpp, riga 75, funzione Prova.",
        "AppVersion: 3.0.1 OS Version: unknown Windows version Linux " + VersioneKernel(),
    };
    EXPECT_EQ(TFormExceptMessage::ComponiRapporto(Esempio()), attese);
}

TEST_F(ErrorReport, LinesOfARaisedExceptionNameItsThrowAddressAndSegment)
{
    int rigaLancio = 0;
    std::vector<std::string> righe;
    try {
        rigaLancio = __LINE__ + 1;
        RAISE(EConvertError("'x' non \xE8 un numero"));
    } catch (const Exception& e) {
        MOSTRA_ERRORE("Valore non valido", e, 2);
        righe = TFormExceptMessage::ComponiRapporto(TFormExceptMessage::RapportiRegistrati().back());
    }
    ASSERT_EQ(righe.size(), 10u);
    EXPECT_EQ(righe[6], "Throw: EConvertError, modulo ErrorReportTest.cpp, riga " + std::to_string(rigaLancio) + ".");
    EXPECT_NE(righe[4], "Indirizzo: '00000000'.");
    const std::string programma = fs::read_symlink("/proc/self/exe").string();
    const std::string nome = ExtractFileName(programma);
    EXPECT_EQ(righe[5].rfind("Eccezione estesa: 'Exception EConvertError in module " + nome + " at ", 0), 0u)
        << righe[5];
    const std::string fine = ".\n'x' non \xE8 un numero.'.";
    EXPECT_EQ(righe[5].substr(righe[5].size() - fine.size()), fine);

    // "Map: <program> <segment> 0x<offset>": the offset lies inside that loadable segment, which
    // holds code.
    const std::string prefisso = "Map: " + programma + " ";
    ASSERT_EQ(righe[9].rfind(prefisso, 0), 0u) << righe[9];
    int segmento = 0;
    unsigned long long scostamento = 0;
    ASSERT_EQ(std::sscanf(righe[9].c_str() + prefisso.size(), "%d 0x%llx", &segmento, &scostamento), 2);
    std::istringstream intestazioni(UscitaDi("readelf -lW '" + programma + "'"));
    int caricabili = 0;
    bool trovato = false;
    for (std::string riga; std::getline(intestazioni, riga);) {
        std::istringstream campi(riga);
        std::string tipo, offset, virtuale, fisico, dimensioneFile, dimensioneMemoria, permessi;
        campi >> tipo >> offset >> virtuale >> fisico >> dimensioneFile >> dimensioneMemoria;
        std::getline(campi, permessi);
        if (tipo != "LOAD" || ++caricabili != segmento)
            continue;
        trovato = true;
        EXPECT_LT(scostamento, std::stoull(dimensioneMemoria, nullptr, 16));
        EXPECT_NE(permessi.find('E'), std::string::npos) << riga;
    }
    EXPECT_TRUE(trovato) << "segment " << segmento;
}

TEST_F(ErrorReport, TheLevelDecidesWindowBoxTextFileAndLog)
{
    struct Caso {
        int Livello;
        const char* Messaggio;
        bool Finestra;
        const char* TitoloBox; // nullptr: no box
        bool FileTesto;
        bool Log;
    };
    const char* const titoloRapporto = "Errore nell'applicazione - (X.cpp,75)";
    const Caso casi[] = {
        {0, "Errore", true, titoloRapporto, true, true},
        {-1, "Errore", true, titoloRapporto, true, true},
        {0, "", true, nullptr, true, true},
        {1, "Attenzione", false, "Errore nell'applicazione", false, false},
        {1, "", false, nullptr, false, false},
        {2, "x", false, nullptr, false, true},
    };
    const std::string timbro = "08/03/2009 14.05.07: ";
    for (const Caso& caso : casi) {
        SCOPED_TRACE(testing::Message() << caso.Livello << " '" << caso.Messaggio << "'");
        fs::remove_all(Debug());
        FinestreMostrate = 0;
        const size_t boxPrima = Dialoghi.Box().size();

        Segnala(caso.Messaggio, static_cast<int8_t>(caso.Livello));

        EXPECT_EQ(FinestreMostrate, caso.Finestra ? 1 : 0);
        const auto box = Dialoghi.Box();
        ASSERT_EQ(box.size() - boxPrima, caso.TitoloBox != nullptr ? 1u : 0u);
        if (caso.TitoloBox != nullptr) {
            EXPECT_EQ(box.back().Text, caso.Messaggio);
            EXPECT_EQ(box.back().Caption, caso.TitoloBox);
            EXPECT_EQ(box.back().Icon, MB_ICONERROR);
        }
        EXPECT_EQ(fs::exists(Debug("ExcpText.txt")), caso.FileTesto);
        EXPECT_EQ(fs::exists(Debug("Log_8_3_2009.log")), caso.Log);
        if (caso.Log) {
            auto rapporto = Esempio();
            rapporto.Messaggio = caso.Messaggio;
            rapporto.Livello = static_cast<int8_t>(caso.Livello);
            std::string atteso;
            for (const std::string& riga : TFormExceptMessage::ComponiRapporto(rapporto))
                atteso += timbro + riga + "\r\r\n";
            atteso += timbro + std::string(80, '-') + "\r\r\n";
            EXPECT_EQ(ContenutoDi(Debug("Log_8_3_2009.log")), atteso);
        }
    }
    EXPECT_EQ(TFormExceptMessage::RapportiRegistrati().size(), std::size(casi));
}

TEST_F(ErrorReport, AFullReportWritesTheTextTheScreenshotTheMemoAndThePath)
{
    Segnala("Errore", 0);
    const auto righe = TFormExceptMessage::ComponiRapporto(Esempio());
    EXPECT_EQ(ContenutoDi(Debug("ExcpText.txt")), UnisciConCrLf(righe));
    EXPECT_EQ(RigheMemo(Finestra->MemoErrore), righe);
    EXPECT_EQ(Finestra->PnlFileImmagine->Caption(), Debug("ExcpScreen.bmp"));

    const std::string bitmap = ContenutoDi(Debug("ExcpScreen.bmp"));
    ASSERT_GE(bitmap.size(), 26u);
    EXPECT_EQ(bitmap.substr(0, 2), "BM");
    const std::string misure = UscitaDi(
        "python3 -c \"import struct,sys; d=open(sys.argv[1],'rb').read(26); "
        "w,h=struct.unpack('<ii', d[18:26]); print(w, abs(h))\" '" + Debug("ExcpScreen.bmp") + "'");
    EXPECT_EQ(misure, std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " " +
                          std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "\n");
}

TEST_F(ErrorReport, TheButtonsSendSaveAndOpen)
{
    const std::string destinazione = Programma.Percorso() + "/salvato.exc";
    Dialoghi.Servizio().Expect(TDialogKind::SaveFile, TDialogAnswer::File(destinazione));
    Dialoghi.Servizio().Expect(TDialogKind::SaveFile, TDialogAnswer::File(destinazione));
    std::string elencoSenzaImmagine, provaSenzaImmagine, elencoCompleto;
    std::vector<std::string> salvati;
    MentreMostrata = [&] {
        Finestra->ChkAllegaImmagine->SetChecked(true);
        Finestra->BtnInvia->Click();
        elencoSenzaImmagine = UscitaDi("unzip -l '" + Debug("Excp.exc") + "'");
        provaSenzaImmagine = UscitaDi("unzip -t '" + Debug("Excp.exc") + "' 2>&1");

        Finestra->ChkAllegaImmagine->SetChecked(false);
        Finestra->BtnInvia->Click();
        elencoCompleto = UscitaDi("unzip -l '" + Debug("Excp.exc") + "'");

        for (int volta = 0; volta < 2; ++volta) {
            Finestra->BtnSalva->Click();
            salvati.push_back(ContenutoDi(destinazione));
            EXPECT_EQ(salvati.back(), ContenutoDi(Debug("Excp.exc")));
        }
        Finestra->BtnImmagine->Click();
    };
    Segnala("Errore", 0);

    EXPECT_EQ(FinestreMostrate, 1);
    EXPECT_FALSE(Finestra->Visible());
    EXPECT_NE(elencoSenzaImmagine.find("ExcpText.txt"), std::string::npos) << elencoSenzaImmagine;
    EXPECT_EQ(elencoSenzaImmagine.find("ExcpScreen.bmp"), std::string::npos) << elencoSenzaImmagine;
    EXPECT_NE(provaSenzaImmagine.find("No errors detected"), std::string::npos) << provaSenzaImmagine;
    EXPECT_NE(elencoCompleto.find("ExcpText.txt"), std::string::npos) << elencoCompleto;
    EXPECT_NE(elencoCompleto.find("ExcpScreen.bmp"), std::string::npos) << elencoCompleto;
    ASSERT_EQ(salvati.size(), 2u);
    EXPECT_FALSE(salvati[0].empty());
    // Only the saved package lies beside it: no temporary file was left.
    std::vector<std::string> accanto;
    for (const auto& voce : fs::directory_iterator(Programma.Percorso()))
        if (voce.is_regular_file())
            accanto.push_back(voce.path().filename().string());
    EXPECT_EQ(accanto, std::vector<std::string>{"salvato.exc"});
    EXPECT_EQ(Aperture, (std::vector<std::string>{"mailto:assistenza@ventisca.example",
                                                  "mailto:assistenza@ventisca.example",
                                                  Debug("ExcpScreen.bmp")}));
    EXPECT_TRUE(Dialoghi.Servizio().Satisfied());
}

TEST_F(ErrorReport, WithoutAMailProgramTheUserIsTold)
{
    SetDesktopOpener([](const std::string&) { return DWORD{ERROR_NO_ASSOCIATION}; });
    MentreMostrata = [&] { Finestra->BtnInvia->Click(); };
    Segnala("", 0);
    const auto box = Dialoghi.Box();
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(box[0].Text.rfind("Impossibile aprire \"mailto:assistenza@ventisca.example\".\r\n", 0), 0u)
        << box[0].Text;
    EXPECT_EQ(box[0].Icon, MB_ICONWARNING);
}

TEST_F(ErrorReport, SavingAPackageThatCannotBeWrittenSaysSoAndCopiesNothing)
{
    const std::string destinazione = Programma.Percorso() + "/salvato.exc";
    ScriviFile(destinazione, "precedente");
    Dialoghi.Servizio().Expect(TDialogKind::SaveFile, TDialogAnswer::File(destinazione));
    MentreMostrata = [&] {
        // The package's name is taken by a folder: the archive cannot be written.
        fs::create_directories(Debug("Excp.exc") + "/occupato");
        Finestra->BtnSalva->Click();
    };
    Segnala("", 0);
    EXPECT_EQ(ContenutoDi(destinazione), "precedente");
    const auto box = Dialoghi.Box();
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(box[0].Text, "Impossibile preparare il file dell'errore.");
    EXPECT_EQ(box[0].Caption, "Errore nell'applicazione");
    EXPECT_EQ(box[0].Icon, MB_ICONERROR);
}

TEST_F(ErrorReport, ADebugFolderThatIsAFileStillGivesTheWindowTheMemoAndTheBox)
{
    ScriviFile(Programma.Percorso() + "/Debug", "non una cartella");
    EXPECT_NO_THROW(Segnala("Errore", 0));
    EXPECT_EQ(FinestreMostrate, 1);
    EXPECT_EQ(RigheMemo(Finestra->MemoErrore), TFormExceptMessage::ComponiRapporto(Esempio()));
    const auto box = Dialoghi.Box();
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(box[0].Caption, "Errore nell'applicazione - (X.cpp,75)");
    EXPECT_EQ(ContenutoDi(Programma.Percorso() + "/Debug"), "non una cartella");
}

TEST_F(ErrorReport, AScreenThatCannotBeReadCostsOnlyTheScreenshot)
{
    Finestra->ScreenCapture->OnCapture = [](TObject*) { RAISE(EInvalidGraphicOperation("schermo illeggibile")); };
    EXPECT_NO_THROW(Segnala("Errore", 0));
    const auto righe = TFormExceptMessage::ComponiRapporto(Esempio());
    EXPECT_EQ(FinestreMostrate, 1);
    EXPECT_FALSE(fs::exists(Debug("ExcpScreen.bmp")));
    EXPECT_EQ(ContenutoDi(Debug("ExcpText.txt")), UnisciConCrLf(righe));
    EXPECT_EQ(RigheMemo(Finestra->MemoErrore), righe);
    EXPECT_NE(ContenutoDi(Debug("Log_8_3_2009.log")).find(std::string(80, '-')), std::string::npos);
    const auto box = Dialoghi.Box();
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(box[0].Caption, "Errore nell'applicazione - (X.cpp,75)");
}

TEST_F(ErrorReport, AReportMadeWhileTheWindowIsOpenOnlyLogsAndShowsItsBox)
{
    std::string testoDuranteIlPrimo;
    MentreMostrata = [&] {
        testoDuranteIlPrimo = ContenutoDi(Debug("ExcpText.txt"));
        TFormExceptMessage::MostraErrore("Secondo", "Di nuovo", "Timer", 12, "Y.cpp", nullptr, nullptr, "", "", "", 0);
        // The files on display stay those of the first report.
        EXPECT_EQ(ContenutoDi(Debug("ExcpText.txt")), testoDuranteIlPrimo);
    };
    Segnala("Primo", 0);
    EXPECT_EQ(FinestreMostrate, 1);
    const auto box = Dialoghi.Box();
    ASSERT_EQ(box.size(), 2u);
    EXPECT_EQ(box[0].Text, "Secondo");
    EXPECT_EQ(box[0].Caption, "Errore nell'applicazione - (Y.cpp,12)");
    EXPECT_EQ(box[1].Text, "Primo");
    const std::string log = ContenutoDi(Debug("Log_8_3_2009.log"));
    EXPECT_NE(log.find("Messaggio visualizzato: 'Primo'."), std::string::npos);
    EXPECT_NE(log.find("Messaggio visualizzato: 'Secondo'."), std::string::npos);
    size_t separatori = 0;
    for (size_t da = log.find(std::string(80, '-')); da != std::string::npos; da = log.find(std::string(80, '-'), da + 1))
        ++separatori;
    EXPECT_EQ(separatori, 2u);
}

TEST_F(ErrorReport, HugeTextsWithControlBytesAreWrittenAndShown)
{
    std::string enorme(1 << 20, 'a');
    for (size_t i = 0; i < enorme.size(); i += 4096) {
        enorme[i] = '\r';
        enorme[i + 1] = '\n';
        enorme[i + 2] = '\0';
        enorme[i + 3] = '\xE0';
    }
    std::string memo;
    MentreMostrata = [&] { memo = Finestra->MemoErrore->GetText(); };
    TFormExceptMessage::MostraErrore(enorme, enorme, "Prova", 1, "Unit\xE0.cpp", nullptr, nullptr, "", "", "", 0);
    const std::string testo = ContenutoDi(Debug("ExcpText.txt"));
    EXPECT_GT(testo.size(), 3u * enorme.size());
    EXPECT_NE(testo.find("Catch: Modulo Unit\xE0.cpp, riga 1"), std::string::npos);
    EXPECT_NE(memo.find("Catch: Modulo Unit\xE0.cpp, riga 1"), std::string::npos);
    EXPECT_GT(memo.size(), 2u * enorme.size() - 4096);
    ASSERT_EQ(Dialoghi.Box().size(), 1u);
    EXPECT_EQ(Dialoghi.Box()[0].Caption, "Errore nell'applicazione - (Unit\xE0.cpp,1)");
}

TEST_F(ErrorReport, TheWindowIsGrabbedForAPersonToLookAt)
{
    const std::string cartella = TestBinaryDir() + std::string("/screenshots");
    fs::create_directories(cartella);
    const std::string immagine = cartella + "/foundation-error-report.png";
    bool preso = false;
    MentreMostrata = [&] {
        Application->ProcessMessages();
        preso = GrabToPng(Finestra, immagine);
    };
    TFormExceptMessage::MostraErrore("Errore", "Impossibile aprire il file \"Clienti.DAT\"", "CaricaTabella", 412,
                                     "DataModule.cpp", nullptr, nullptr, "EFOpenError", "Streams.cpp", "88", 0);
    ASSERT_TRUE(preso);
    std::cout << "screenshot: " << immagine << std::endl;
    EXPECT_EQ(Finestra->Aiuto->Height(), 96);
    EXPECT_EQ(Finestra->TitoloErrore->Caption(), " Info errore");
    EXPECT_EQ(Finestra->Width(), 600);
    EXPECT_EQ(Finestra->Height(), 440);
}

} // namespace
