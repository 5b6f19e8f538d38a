#include "DataModuleTestUtils.h"

#include "archive/UnZip.h"
#include "foundation/Contesto.h"
#include "platform/db/DB.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The designed tables, in the order the data module lists them: name and fields as
// name/type/size, types S string, I integer, F float, B boolean, D date, T time.
struct TTabellaAttesa {
    const char* Nome;
    const char* Campi;
};

const TTabellaAttesa TABELLE_ATTESE[] = {
    {"TabellaArticoliInFattura",
     "Nome/S/64 Descrizione/S/1024 Descrittivo/B Quantita/F Misura/S/5 Valuta/S/4 Prezzo/F "
     "ScontoPercentuale/B Sconto/F IVA/F Ivato/B CodiceIva/S/16 DicituraIva/S/128 NoContributi/B "
     "NoRitenuta/B NoRitenutaEnasarco/B"},
    {"TabellaClienteInFattura",
     "Denominazione/S/128 CodiceFiscale/S/24 PartitaIVA/S/24 Indirizzo/S/128 Citta/S/32 CAP/S/5 "
     "Provincia/S/2 Stato/S/16 IndirizzoMail/S/64 Telefono/S/24 TelefonoAlternativo/S/24 Fax/S/24 "
     "BancaAppoggio/S/128 Destinazione/S/1024 Iva/F IvaSuContributi/B Aliquota/F Ritenuta/F "
     "RitenutaSul/F RitenutaTotale/F RitenutaSuContributi/B RitenutaEnasarco/F "
     "RitenutaEnasarcoSul/F RitenutaEnasarcoTotale/F RitenutaEnasarcoSuContributi/B Numero/I "
     "Modificatore/S/5 Data/D Commenti/S/512 IdContributo/I Dicitura/S/24 "
     "ContributiCorpoFattura/B ImportoTotale/F ScontoTotale/F AliquotaTotale/F IVATotale/F "
     "Accompagnatoria/B NumeroColli/I Peso/F UnitaPeso/S/4 AspettoEsteriore/S/128 "
     "ModalitaPagamento/S/128 CuratoreTrasporto/S/24 CausaleTrasporto/S/64 DataTrasporto/D "
     "OraTrasporto/T DataRitiro/D OraRitiro/T Vettore/S/128 Tipologia/S/2 DataScadenza/D"},
    {"TabellaStampaArticoli",
     "Nome/S/30 Descrizione/S/1024 Descrittivo/B Quantita/F Misura/S/5 Prezzo/F PrezzoScontato/F "
     "PrezzoIvato/F ScontoPercentuale/B Sconto/F Valuta/S/4 CodiceIva/S/16 IVA/F Ivato/B"},
    {"TabellaAppunti",
     "Appunto/S/128 MemoAppunto/S/2048 Priorita/I DataScadenza/D OraScadenza/T Allarme/B "
     "OrePreavviso/I MinutiPreavviso/I"},
    {"TabellaDitta",
     "Denominazione/S/192 CodiceFiscale/S/24 PartitaIVA/S/24 Indirizzo/S/128 Citta/S/32 CAP/S/5 "
     "Provincia/S/2 NumeroTelefono/S/16 NumeroFax/S/16 NumeroCellulare/S/16 IndirizzoMail/S/64 "
     "Banca/S/64 IBAN/S/34 BIC/S/11"},
    {"TabellaContributi",
     "IdContributo/I DescContributo/S/64 LabelContributo/S/20 Dicitura/S/24 Aliquota/F "
     "IvaSuContributi/B Ritenuta/F RitenutaSul/F RitenutaSuContributi/B RitenutaEnasarco/F "
     "RitenutaEnasarcoSul/F RitenutaEnasarcoSuContributi/B ContributiCorpoFattura/B"},
    {"TabellaAliquoteIva", "CodiceIva/S/16 IVA/F DicituraIva/S/128"},
    {"TabellaUnitaMisura", "Unita/S/6 Descrizione/S/32"},
    {"TabellaAltroFatture", "Tipologia/S/2 Fattura/I Modificatore/S/5 Data/D DataInvioMail/D"},
    {"TabellaArticoli",
     "Nome/S/64 Descrizione/S/1024 Descrittivo/B Misura/S/4 Prezzo/F ScontoPercentuale/B Sconto/F "
     "CodiceIva/S/16 IVA/F Ivato/B DicituraIva/S/128 NoContributi/B NoRitenuta/B "
     "NoRitenutaEnasarco/B"},
    {"TabellaClienti",
     "Denominazione/S/128 CodiceFiscale/S/24 PartitaIVA/S/24 Indirizzo/S/128 Citta/S/32 CAP/S/5 "
     "Provincia/S/2 Stato/S/16 Telefono/S/24 TelefonoAlternativo/S/24 Fax/S/24 "
     "IndirizzoMail/S/64 BancaAppoggio/S/128 Destinazione/S/1024"},
    {"TabellaFatture",
     "Fattura/I Modificatore/S/5 Data/D Denominazione/S/128 Aliquota/F IVA/F Ritenuta/F "
     "ImportoTotale/F ScontoTotale/F AliquotaTotale/F IVATotale/F RitenutaTotale/F "
     "RitenutaEnasarcoTotale/F DataScadenza/D Pagato/B DataPagamento/D Tipologia/S/2 Protetta/B"},
    {"TabellaFattureReport",
     "Fattura/I Modificatore/S/5 Data/D Denominazione/S/128 Aliquota/F IVA/F Ritenuta/F "
     "ImportoTotale/F ScontoTotale/F AliquotaTotale/F IVATotale/F RitenutaTotale/F "
     "RitenutaEnasarcoTotale/F DataScadenza/D Pagato/B DataPagamento/D Tipologia/S/2 Protetta/B"},
    {"TabellaFattureFiltrate",
     "Fattura/I Modificatore/S/5 Data/D Denominazione/S/128 Aliquota/F IVA/F Ritenuta/F "
     "ImportoTotale/F ScontoTotale/F AliquotaTotale/F IVATotale/F RitenutaTotale/F "
     "RitenutaEnasarcoTotale/F DataScadenza/D Pagato/B DataPagamento/D Tipologia/S/2 Protetta/B "
     "ImportoComplessivo/F"},
    {"TabellaDocumenti",
     "Fattura/I Data/D Denominazione/S/128 Aliquota/F IVA/F Ritenuta/F ImportoTotale/F "
     "ScontoTotale/F AliquotaTotale/F IVATotale/F RitenutaTotale/F Pagato/B DataPagamento/D "
     "Tipologia/S/2"},
    {"TabellaMastrino", "Data/D Descrizione/S/128 Dare/F Avere/F Totale/F Cliente/S/128 Valuta/S/4"},
    {"TabellaRiepilogo", "Descrizione/S/128 Importo/F"},
    {"TabellaRiepilogoIva", "CodiceIva/S/16 DescrizioneIva/S/128 Imponibile/F Aliquota/F Importo/F"},
    {"TabellaRiepilogoContributi", "ImportoContributo/F CodiceIva/S/16 Iva/F DicituraIva/S/28"},
    {"TabellaDettaglioCalcolo", "Descrizione/S/96 Importo/F"},
};

std::string TipoBreve(TFieldType tipo)
{
    switch (tipo) {
    case ftString: return "S";
    case ftInteger: return "I";
    case ftFloat: return "F";
    case ftBoolean: return "B";
    case ftDate: return "D";
    case ftTime: return "T";
    default: return "?";
    }
}

std::string DescriviCampi(TDataSet& tabella)
{
    std::string testo;
    for (int i = 0; i < tabella.Fields().Count(); ++i) {
        TField* campo = tabella.Fields()[i];
        testo += (i > 0 ? " " : "") + campo->FieldName() + "/" + TipoBreve(campo->DataType());
        if (campo->DataType() == ftString)
            testo += "/" + std::to_string(campo->Size());
    }
    return testo;
}

std::string Sha1Di(const std::string& percorso)
{
    const std::string comando = "sha1sum '" + percorso + "' | cut -c1-40";
    std::string risultato;
    if (FILE* uscita = popen(comando.c_str(), "r")) {
        char riga[64] = {};
        if (fgets(riga, sizeof riga, uscita) != nullptr)
            risultato = riga;
        pclose(uscita);
    }
    while (!risultato.empty() && (risultato.back() == '\n' || risultato.back() == ' '))
        risultato.pop_back();
    return risultato;
}

std::string DaEsadecimale(const std::string& esadecimale)
{
    std::string byte;
    for (size_t i = 0; i + 1 < esadecimale.size(); i += 2)
        byte += static_cast<char>(std::stoi(esadecimale.substr(i, 2), nullptr, 16));
    return byte;
}

std::set<std::string> FileNellaCartella(const std::string& cartella)
{
    std::set<std::string> nomi;
    for (const auto& voce : fs::directory_iterator(cartella))
        nomi.insert(voce.path().filename().string());
    return nomi;
}

class TTabellaDerivata : public TzelMemTable {
    TESS_CLASS(TTabellaDerivata, TzelMemTable)
public:
    explicit TTabellaDerivata(TComponent* owner) : TzelMemTable(owner) {}
};

} // namespace

// --- Structure ---------------------------------------------------------------------------------

TEST_F(DataModuleFixture, TheTwentyTablesHaveTheirDesignedFieldsAndStartEmpty)
{
    TDC& dc = Avvia();
    const int conteggi[] = {16, 51, 14, 8, 14, 13, 3, 2, 5, 14, 14, 18, 18, 19, 14, 7, 2, 5, 4, 2};
    int i = 0;
    for (const TTabellaAttesa& attesa : TABELLE_ATTESE) {
        SCOPED_TRACE(attesa.Nome);
        auto* tabella = dynamic_cast<TzelMemTable*>(dc.FindComponent(attesa.Nome));
        ASSERT_NE(tabella, nullptr);
        EXPECT_EQ(tabella->Owner(), &dc);
        EXPECT_TRUE(tabella->Active());
        EXPECT_EQ(tabella->RecordCount(), 0);
        EXPECT_EQ(DescriviCampi(*tabella), attesa.Campi);
        EXPECT_EQ(tabella->FieldCount(), conteggi[i++]);
    }
    EXPECT_EQ(dc.CampiArticoliInFattura->Count(), 16);
    EXPECT_EQ(dc.CampiClienteInFattura->Count(), 51);
    EXPECT_EQ(dc.CampiClienteInFattura->Strings(50), "DataScadenza");
}

TEST_F(DataModuleFixture, SpecialPropertiesSourcesAndFormat)
{
    TDC& dc = Avvia();
    EXPECT_EQ(dc.TabellaStampaArticoli->FieldByName("Quantita")->DisplayLabel(), "QUANTc");
    for (const char* importo : {"Dare", "Avere", "Totale"})
        EXPECT_EQ(static_cast<TFloatField*>(dc.TabellaMastrino->FieldByName(importo))->DisplayFormat(),
                  "0.00");
    TField* complessivo = dc.TabellaFattureFiltrate->FieldByName("ImportoComplessivo");
    EXPECT_EQ(complessivo->FieldKind(), fkCalculated);
    EXPECT_EQ(static_cast<TFloatField*>(complessivo)->DisplayFormat(), "0.00");
    EXPECT_FALSE(dc.TabellaFattureFiltrate->AutoCalcFields());
    EXPECT_TRUE(static_cast<bool>(dc.TabellaFattureFiltrate->OnCalcFields));
    for (TzelMemTable* t : {dc.TabellaFatture, dc.TabellaDocumenti, dc.TabellaAltroFatture})
        EXPECT_TRUE(t->Filtered()) << t->Name();
    EXPECT_FALSE(dc.TabellaArticoli->Filtered());
    for (TzelMemTable* t : {dc.TabellaFatture, dc.TabellaDocumenti}) {
        ASSERT_EQ(t->IndexDefs().Count(), 1);
        EXPECT_EQ(t->IndexDefs().Items(0)->Name(), "TabellaFattureIndex0");
        EXPECT_EQ(t->IndexDefs().Items(0)->Fields(), "Tipologia");
    }
    EXPECT_EQ(dc.TabellaAppunti->Tag, 1);
    EXPECT_EQ(dc.TabellaArticoli->Tag, 0);

    const std::pair<const char*, TzelMemTable*> sorgenti[] = {
        {"SourceArticoliInFattura", dc.TabellaArticoliInFattura},
        {"SourceClienti", dc.TabellaClienti},
        {"SourceArticoli", dc.TabellaArticoli},
        {"SourceFatture", dc.TabellaFatture},
        {"SourceClienteInFattura", dc.TabellaClienteInFattura},
        {"SourceDitta", dc.TabellaDitta},
        {"SourceFattureReport", dc.TabellaFattureReport},
        {"SourceFattureFiltrate", dc.TabellaFattureFiltrate},
        {"SourceStampaArticoli", dc.TabellaStampaArticoli},
        {"SourceContributi", dc.TabellaContributi},
        {"SourceMastrino", dc.TabellaMastrino},
        {"SourceRiepilogo", dc.TabellaRiepilogo},
        {"SourceDocumenti", dc.TabellaDocumenti},
        {"SourceAliquoteIva", dc.TabellaAliquoteIva},
        {"SourceDettaglioCalcolo", dc.TabellaDettaglioCalcolo},
    };
    for (const auto& [nome, tabella] : sorgenti) {
        auto* sorgente = dynamic_cast<TDataSource*>(dc.FindComponent(nome));
        ASSERT_NE(sorgente, nullptr) << nome;
        EXPECT_EQ(sorgente->Owner(), &dc);
        EXPECT_EQ(sorgente->DataSet(), tabella) << nome;
    }

    ASSERT_EQ(dc.FindComponent("SaveFormat"), dc.SaveFormat);
    ASSERT_NE(dc.FindComponent("SaveCsvFormat"), nullptr);
    const TzelBinaryStreamFormat& f = *dc.SaveFormat;
    EXPECT_EQ(const_cast<TzelBinaryStreamFormat&>(f).Version(), "3.00");
    EXPECT_EQ(f.BufferSize(), 16384);
    EXPECT_EQ(f.sfUsingIndex, TzelFormatUsingIndexOptions{sfSaveUsingIndex});
    EXPECT_EQ(f.sfData, (TzelFormatDataOptions{sfSaveData, sfLoadData}));
    EXPECT_EQ(f.sfCalculated, TzelFormatCalculatedOptions{});
    EXPECT_EQ(f.sfLookup, TzelFormatLookupOptions{});
    EXPECT_EQ(f.sfNonVisible, (TzelFormatNonVisibleOptions{sfSaveNonVisible, sfLoadNonVisible}));
    EXPECT_EQ(f.sfBlobs, (TzelFormatBlobOptions{sfSaveBlobs, sfLoadBlobs}));
    EXPECT_EQ(f.sfDef, (TzelFormatDefOptions{sfSaveDef, sfLoadDef}));
    EXPECT_EQ(f.sfIndexDef, (TzelFormatIndexDefOptions{sfSaveIndexDef, sfLoadIndexDef}));
    EXPECT_EQ(f.sfFiltered, TzelFormatFilteredOptions{sfSaveFiltered});
    EXPECT_EQ(f.sfIgnoreRange, TzelFormatIgnoreRangeOptions{sfSaveIgnoreRange});
    EXPECT_EQ(f.sfIgnoreMasterDetail, TzelFormatIgnoreMasterDetailOptions{sfSaveIgnoreMasterDetail});
    EXPECT_EQ(f.sfDeltas, TzelFormatDeltaOptions{});
    EXPECT_EQ(f.sfDontFilterDeltas, TzelFormatDontFilterDeltaOptions{});
    EXPECT_EQ(f.sfAppend, TzelFormatAppendOptions{});
    EXPECT_EQ(f.sfFieldKind, TzelFormatFieldKindOptions{sfSaveFieldKind});
    EXPECT_EQ(f.sfFromStart, TzelFormatFromStartOptions{sfLoadFromStart});

    EXPECT_EQ(DC, &dc);
    ASSERT_NE(FormExceptMessage, nullptr);
    EXPECT_EQ(FormExceptMessage->Owner(), &dc);
    EXPECT_EQ(FormExceptMessage->SogliaRapporto, 0);
    EXPECT_EQ(FormExceptMessage->SogliaMessaggio, 1);
    ASSERT_NE(dc.ContestoStampa, nullptr);
    EXPECT_EQ(dc.ContestoStampa->Nome, "ContestoStampa");
    EXPECT_GE(dc.MsgApriFattura, 0xC000u);
    EXPECT_GE(dc.MsgAggiornaTabella, 0xC000u);
    EXPECT_NE(dc.MsgApriFattura, dc.MsgAggiornaTabella);

    Modulo.reset();
    EXPECT_EQ(DC, nullptr);
    EXPECT_EQ(FormExceptMessage, nullptr);
}

TEST_F(DataModuleFixture, ImportoComplessivoAddsTheFiveTotals)
{
    TDC& dc = Avvia();
    struct {
        double Importo, Iva, Aliquota, Ritenuta, Enasarco, Atteso;
    } casi[] = {{100, 22, 4, 0, 0, 126}, {100, 22, 4, -20, 0, 106}, {100, 22, 4, -20, -5, 101}};
    TzelMemTable& t = *dc.TabellaFattureFiltrate;
    for (const auto& caso : casi) {
        t.Append();
        t.FieldByName("ImportoTotale")->SetAsFloat(caso.Importo);
        t.FieldByName("IVATotale")->SetAsFloat(caso.Iva);
        t.FieldByName("AliquotaTotale")->SetAsFloat(caso.Aliquota);
        t.FieldByName("RitenutaTotale")->SetAsFloat(caso.Ritenuta);
        t.FieldByName("RitenutaEnasarcoTotale")->SetAsFloat(caso.Enasarco);
        t.Post();
    }
    t.First();
    for (const auto& caso : casi) {
        EXPECT_DOUBLE_EQ(t.FieldByName("ImportoComplessivo")->AsFloat(), caso.Atteso);
        t.Next();
    }
}

// --- Saving and loading ------------------------------------------------------------------------

TEST_F(DataModuleFixture, SalvaTabellaWritesTheBinaryFormatAndCaricaTabellaReadsItBack)
{
    ImpostaDati(Nel("dati"));
    ImpostaVersione("3.0.18");
    TDC& dc = Avvia();
    TzelMemTable tabella(nullptr);
    tabella.FieldDefs().Add("Nome", ftString, 5);
    tabella.FieldDefs().Add("Numero", ftInteger);
    tabella.CreateTable();
    tabella.Open();
    AggiungiRiga(tabella, {{"Nome", "Ab"}, {"Numero", "300"}});
    tabella.Append();
    tabella.FieldByName("Numero")->SetAsInteger(-1);
    tabella.Post();

    dc.SalvaTabella(&tabella, "Prova", "Esempio");
    const std::string file = Nel("dati/Prova/Esempio.DAT");
    EXPECT_EQ(ContenutoDi(file),
              DaEsadecimale("5450463003fb000106044e6f6d650606537472696e67020506044e6f6d650600020508"
                            "08060444617461060006064e756d65726f0607496e7465676572020006064e756d65"
                            "726f0600020a0808060444617461060000010001010200080602416208032c010001"
                            "0200090802ff0000"));
    EXPECT_EQ(Sha1Di(file), "21c0443a81c937f40e95e01662aba6b7e1c2c90f");

    TzelMemTable letta(nullptr);
    letta.FieldDefs().Add("Altro", ftInteger);
    letta.CreateTable();
    letta.Open();
    dc.CaricaTabella(&letta, "Prova", "Esempio");
    ASSERT_EQ(letta.RecordCount(), 2);
    EXPECT_EQ(ValoriDi(letta, "Nome"), (std::vector<std::string>{"Ab", ""}));
    letta.Last();
    EXPECT_TRUE(letta.FieldByName("Nome")->IsNull());
    EXPECT_EQ(letta.FieldByName("Numero")->AsInteger(), -1);

    dc.SalvaTabella(dc.TabellaStampaArticoli, "TableSamples", "StampaArticoli");
    const std::string stampa = ContenutoDi(Nel("dati/TableSamples/StampaArticoli.DAT"));
    EXPECT_NE(stampa.find(std::string("\x06\x06QUANTc", 8)), std::string::npos);
}

TEST_F(DataModuleFixture, SavesAndLoadsThatDoNothing)
{
    ImpostaDati(Nel("dati"));
    ImpostaVersione("3.0.18");
    TDC& dc = Avvia();
    // A sort text without a file sorts the rows in any case.
    for (const char* nome : {"m", "kg", "pz"})
        AggiungiRiga(*dc.TabellaUnitaMisura, {{"Unita", nome}});
    dc.CaricaTabella(dc.TabellaUnitaMisura, "Data", "Unita", "NonEsiste");
    EXPECT_EQ(ValoriDi(*dc.TabellaUnitaMisura, "Unita"), (std::vector<std::string>{"kg", "m", "pz"}));

    dc.SalvaTabella(dc.TabellaUnitaMisura, "Data", "Unita", 0);
    EXPECT_FALSE(fs::exists(Nel("dati/Data/Unita.DAT")));

    // A descendant of the memory table is neither written nor read.
    TTabellaDerivata derivata(nullptr);
    derivata.FieldDefs().Add("Unita", ftString, 6);
    derivata.CreateTable();
    derivata.Open();
    AggiungiRiga(derivata, {{"Unita", "x"}});
    dc.SalvaTabella(&derivata, "Data", "Derivata");
    EXPECT_FALSE(fs::exists(Nel("dati/Data/Derivata.DAT")));
    dc.SalvaTabella(dc.TabellaUnitaMisura, "Data", "Derivata");
    ASSERT_TRUE(fs::exists(Nel("dati/Data/Derivata.DAT")));
    dc.CaricaTabella(&derivata, "Data", "Derivata");
    EXPECT_EQ(ValoriDi(derivata, "Unita"), std::vector<std::string>{"x"});
}

TEST_F(DataModuleFixture, AFilteredTableIsSavedWhole)
{
    ImpostaDati(Nel("dati"));
    ImpostaVersione("3.0.18");
    TDC& dc = Avvia();
    TzelMemTable& altro = *dc.TabellaAltroFatture;
    for (const char* tipo : {"FT", "PV", "FT"})
        AggiungiRiga(altro, {{"Tipologia", tipo}, {"Fattura", "1"}});
    altro.OnFilterRecord = [](TDataSet* d, bool& accetta) {
        accetta = d->FieldByName("Tipologia")->AsString() == "PV";
    };
    altro.SetFiltered(false);
    altro.SetFiltered(true);
    ASSERT_EQ(altro.RecordCount(), 1);
    dc.SalvaTabella(&altro, "Data", "AltroFatture");
    altro.OnFilterRecord = nullptr;
    altro.SetFiltered(false);
    altro.EmptyTable();
    dc.CaricaTabella(&altro, "Data", "AltroFatture");
    // Start-up sorted the table, so the rows come in that order.
    EXPECT_EQ(ValoriDi(altro, "Tipologia"), (std::vector<std::string>{"FT", "FT", "PV"}));
}

TEST_F(DataModuleFixture, CopiaCampiAggiuntiviCopiesOnlyPrefixedUserFields)
{
    TDC& dc = Avvia();
    auto crea = [](TzelMemTable& t) {
        t.FieldDefs().Add("Nome", ftString, 10);
        t.FieldDefs().Add("CstTs_Colore", ftString, 10);
        t.FieldDefs().Add("CstTs_Fragile", ftBoolean);
        t.FieldDefs().Add("cstts_x", ftString, 10);
        t.CreateTable();
        t.Open();
    };
    TzelMemTable sorgente(nullptr), destinazione(nullptr);
    crea(sorgente);
    crea(destinazione);
    AggiungiRiga(sorgente, {{"Nome", "vite"}, {"CstTs_Colore", "rosso"}, {"CstTs_Fragile", "True"},
                            {"cstts_x", "no"}});
    destinazione.Append();
    dc.CopiaCampiAggiuntivi(&sorgente, &destinazione);
    destinazione.Post();
    EXPECT_EQ(destinazione.FieldByName("CstTs_Colore")->AsString(), "rosso");
    EXPECT_TRUE(destinazione.FieldByName("CstTs_Fragile")->AsBoolean());
    EXPECT_TRUE(destinazione.FieldByName("cstts_x")->IsNull());
    EXPECT_TRUE(destinazione.FieldByName("Nome")->IsNull());
}

// --- Command line, versions, data folder -------------------------------------------------------

TEST(DataModuleStatic, LuogoUsbPen)
{
    const struct {
        std::vector<std::string> Argomenti;
        const char* Luogo;
    } casi[] = {
        {{}, "Disco"},
        {{"TESSELLARIUM_USBPEN:Chiavetta"}, "Chiavetta"},
        {{"  TESSELLARIUM_USBPEN:  Chiavetta  "}, "Chiavetta"},
        {{"TESSELLARIUM_USBPEN:Disco", "TESSELLARIUM_USBPEN: \"Chiavetta\""}, "Chiavetta"},
        {{"TESSELLARIUM_USBPEN:\"Chia\"\"vetta\"x"}, "Chia\"vetta"},
        {{"TESSELLARIUM_USBPEN:chiavetta"}, "chiavetta"},
        {{"tessellarium_usbpen:Chiavetta"}, "Disco"},
        {{"TESSELLARIUM_USBPEN:\"Chiavetta"}, "Chiavetta"},
        {{"-x", "TESSELLARIUM_USBPEN:"}, ""},
    };
    for (const auto& caso : casi)
        EXPECT_EQ(TDC::LuogoUsbPen(caso.Argomenti), caso.Luogo) << caso.Argomenti.size();
}

TEST(DataModuleStatic, VersionNumbersAndComparison)
{
    const std::pair<const char*, int> numeri[] = {{"3.0.18", 3018}, {"1.0.0", 100}, {"3.1", 31},
                                                  {"b", 1},         {"B", -31},     {"3B", -1},
                                                  {"", -1},         {"99999999999", -1}};
    for (const auto& [testo, numero] : numeri)
        EXPECT_EQ(TDC::VersioneInNumero(testo), numero) << testo;

    const std::vector<std::string> crescenti = {"", "3.0.9", "3.0.17", "3.0.18", "3.0.18b", "3.1",
                                                "4.0.0", "99999999999999999999.0"};
    for (size_t i = 0; i < crescenti.size(); ++i)
        for (size_t j = 0; j < crescenti.size(); ++j)
            EXPECT_EQ(TDC::ConfrontaVersioni(crescenti[i], crescenti[j]), i < j ? -1 : (i > j ? 1 : 0))
                << crescenti[i] << " " << crescenti[j];
    EXPECT_EQ(TDC::ConfrontaVersioni("3.0.18.0", "3.0.18"), 0);
    EXPECT_EQ(TDC::ConfrontaVersioni(" 3.0.18 ", "3.0.18"), 0);
    EXPECT_EQ(TDC::ConfrontaVersioni("abc", ""), 0);
    EXPECT_EQ(TDC::ConfrontaVersioni("abc", "0"), -1);
    std::string lunga = "1";
    for (int i = 0; i < 50; ++i)
        lunga += ".99999999999999999999999";
    EXPECT_EQ(TDC::ConfrontaVersioni(lunga, "3.0.18"), -1);
}

TEST_F(DataModuleFixture, TheUpgradeQuestionDependsOnTheStoredVersion)
{
    const struct {
        const char* Versione; // nullptr: absent
        bool Chiesto;
    } casi[] = {{nullptr, true}, {"", true},        {"1.0.0", true},    {"2.9.0", true},
                {"3.0.9", true}, {"3.0.17", true},  {"abc", true},      {"3.0.18", false},
                {" 3.0.18 ", false}, {"3.0.18.0", false}, {"3.1", false}, {"4.0.0", false}};
    for (const auto& caso : casi) {
        SCOPED_TRACE(caso.Versione ? caso.Versione : "(assente)");
        fs::remove_all(Nel("Config"));
        ImpostaDati(Nel("dati"));
        if (caso.Versione != nullptr)
            ImpostaVersione(caso.Versione);
        Box.Box.clear();
        Box.Risposta = IDNO;
        TDC& dc = Avvia();
        EXPECT_EQ(Box.Box.size(), caso.Chiesto ? 1u : 0u);
        EXPECT_EQ(dc.ModalitaProvvisoria, caso.Chiesto);
    }
}

TEST_F(DataModuleFixture, FirstStartOnAnEmptyFolder)
{
    Box.Risposta = IDYES;
    TDC& dc = Avvia();
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_EQ(Box.Box[0].Testo,
              "E' stata installata una versione pi\xF9 aggiornata di Tessellarium. Prima di poter "
              "utilizzare Tessellarium \xE8 necessario importare le tabelle. Procedere con "
              "l'importazione delle tabelle?");
    EXPECT_EQ(Box.Box[0].Titolo, "Aggiornamento tabelle");
    EXPECT_EQ(Box.Box[0].Tipo, MB_YESNO | MB_ICONQUESTION);
    EXPECT_FALSE(dc.ModalitaProvvisoria);
    EXPECT_EQ(ModoConfigurazione(), 1);
    EXPECT_TRUE(fs::is_directory(Nel("Shared")));
    EXPECT_EQ(dc.PercorsoDati, CartellaApplicazione() + "Shared\\");
    for (int i = 0; i < dc.ComponentCount(); ++i) {
        if (auto* t = dynamic_cast<TzelMemTable*>(dc.Components(i))) {
            EXPECT_EQ(t->RecordCount(), 0) << t->Name();
        }
    }
    EXPECT_EQ(LeggiImpostazione("Ventisca,Tessellarium,Versioning", "Database", ""), "3.0.18");
    const std::string ini = ContenutoDi(Nel("Config/Ventisca/Tessellarium.ini"));
    EXPECT_NE(ini.find("Database=3.0.18\r\n"), std::string::npos);
}

TEST_F(DataModuleFixture, WhatAnArchiveBoxLeavesOutGoesToTheDailyLog)
{
    ImpostaDati(Nel("dati"));
    ImpostaVersione("3.0.18");
    Avvia();
    // Twelve deflated members: twelve reports of a method the reader does not handle.
    const std::string archivio = Nel("dodici.zip");
    ASSERT_EQ(std::system(("python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1], 'w', "
                           "zipfile.ZIP_DEFLATED); [z.writestr('m%02d' % i, 'x' * 100) for i in range(12)]\" '" +
                           archivio + "'").c_str()),
              0);
    TUnZip unzip(nullptr);
    unzip.SetArcName(archivio);
    unzip.SetExtrPath(Nel("estratti"));
    unzip.Overwrite = true;
    EXPECT_TRUE(unzip.Extract());
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_NE(Box.Box[0].Testo.find("... e altri 2 messaggi"), std::string::npos) << Box.Box[0].Testo;

    const std::set<std::string> registri = FileNellaCartella(Nel("Debug"));
    ASSERT_EQ(registri.size(), 1u);
    const std::string righe = ContenutoDi(Nel("Debug/" + *registri.begin()));
    EXPECT_NE(righe.find(": " + archivio + ": Unknown compress method (8) use on m10 ! Skip next...\r\r\n"),
              std::string::npos) << righe;
    EXPECT_NE(righe.find("use on m11 "), std::string::npos) << righe;
    EXPECT_EQ(righe.find("use on m09 "), std::string::npos) << righe;
}

TEST_F(DataModuleFixture, SharedPathValues)
{
    ImpostaDati("Dati");
    ImpostaVersione("3.0.18");
    EXPECT_EQ(Avvia().PercorsoDati, CartellaApplicazione() + "Dati\\");
    EXPECT_TRUE(fs::is_directory(Nel("Dati")));

    ImpostaDati(Nel("a/b/c/"));
    EXPECT_EQ(Avvia().PercorsoDati, Nel("a/b/c/"));
    EXPECT_TRUE(fs::is_directory(Nel("a/b/c")));

    Modulo.reset();
    ImpostaDati("Z:\\Dati");
    try {
        TDC dc(nullptr, {"TESSELLARIUM_USBPEN:Chiavetta"});
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Percorso dati non valido: 'Z:\\Dati' (impostazione SharedPath).");
    }
    EXPECT_EQ(DC, nullptr);
    EXPECT_EQ(FormExceptMessage, nullptr);

    { std::ofstream(Nel("unfile")) << "x"; }
    ImpostaDati(Nel("unfile/sotto"));
    try {
        TDC dc(nullptr, {"TESSELLARIUM_USBPEN:Chiavetta"});
        ADD_FAILURE() << "no exception";
    } catch (const EInOutError& e) {
        EXPECT_NE(e.Message.find("unfile"), std::string::npos) << e.Message;
    }
}

TEST_F(DataModuleFixture, RegistryModeWhenThePlaceIsNotChiavetta)
{
    TDC& dc = Avvia({"TESSELLARIUM_USBPEN:chiavetta"});
    EXPECT_EQ(ModoConfigurazione(), 0);
    EXPECT_EQ(ChiaveRegistro(), "Software\\Ventisca\\Tessellarium\\");
    EXPECT_EQ(dc.PercorsoDati, CartellaApplicazione() + "Shared\\");
}

// --- Start-up on a data folder -----------------------------------------------------------------

class DataModuleStartup : public DataModuleFixture {
protected:
    void SetUp() override
    {
        DataModuleFixture::SetUp();
        ImpostaDati(Nel("dati"));
        ImpostaVersione("3.0.18");
    }

    // Fills dati/DATA and dati/TableSamples through the table store.
    void PreparaDati()
    {
        TDC& dc = Avvia();
        for (const char* nome : {"vite", "Bullone", "dado", "Chiodo", "ancora"})
            AggiungiRiga(*dc.TabellaArticoli, {{"Nome", nome}, {"Prezzo", "1,5"}});
        for (const char* nome : {"Zeta srl", "alfa snc", "Beta spa"})
            AggiungiRiga(*dc.TabellaClienti, {{"Denominazione", nome}});
        for (const char* data : {"10/03/2009", "01/01/2009", "05/02/2009"})
            AggiungiRiga(*dc.TabellaAppunti, {{"Appunto", data}, {"DataScadenza", data}});
        for (const char* id : {"3", "1", "2"})
            AggiungiRiga(*dc.TabellaContributi, {{"IdContributo", id}});
        for (const auto& [tipo, numero] : {std::pair{"PV", "2"}, {"FT", "10"}, {"FT", "2"}})
            AggiungiRiga(*dc.TabellaAltroFatture, {{"Tipologia", tipo}, {"Fattura", numero}});
        for (const char* unita : {"pz", "kg", "m"})
            AggiungiRiga(*dc.TabellaUnitaMisura, {{"Unita", unita}});
        AggiungiRiga(*dc.TabellaAliquoteIva,
                     {{"CodiceIva", "22"}, {"IVA", "22"}, {"DicituraIva", "Aliquota ordinaria"}});
        AggiungiRiga(*dc.TabellaAliquoteIva,
                     {{"CodiceIva", "4"}, {"IVA", "4"}, {"DicituraIva", "Aliquota minima"}});
        const std::pair<TzelMemTable*, const char*> salvate[] = {
            {dc.TabellaArticoli, "Articoli"},     {dc.TabellaClienti, "Clienti"},
            {dc.TabellaAppunti, "Appunti"},       {dc.TabellaContributi, "Contributi"},
            {dc.TabellaAltroFatture, "AltroFatture"}, {dc.TabellaUnitaMisura, "UnitaMisura"},
            {dc.TabellaAliquoteIva, "AliquoteIva"}};
        for (const auto& [tabella, nome] : salvate)
            dc.SalvaTabella(tabella, "Data", nome);
        dc.SalvaTabella(dc.TabellaStampaArticoli, "TableSamples", "StampaArticoli");

        TzelMemTable righe(nullptr);
        for (int i = 0; i < dc.TabellaArticoliInFattura->FieldDefs().Count(); ++i) {
            TFieldDef* d = dc.TabellaArticoliInFattura->FieldDefs().Items(i);
            righe.FieldDefs().Add(d->Name(), d->DataType(), d->Size());
        }
        righe.FieldDefs().Add("CstTs_Colore", ftString, 20);
        righe.CreateTable();
        righe.Open();
        righe.SaveToFileViaFormat(Nel("dati/TableSamples/Articoli.aft"), dc.SaveFormat);
        dc.TabellaClienteInFattura->SaveToFileViaFormat(Nel("dati/TableSamples/Cliente.cft"),
                                                        dc.SaveFormat);
        Modulo.reset();
        fs::rename(Nel("dati/Data"), Nel("dati/DATA"));
        fs::rename(Nel("dati/DATA/UnitaMisura.DAT"), Nel("dati/DATA/UnitaMisura.dat"));
        Box.Box.clear();
        TFormExceptMessage::AzzeraRapporti();
    }

    // A valid 50-article file cut to 60% of its length.
    void DanneggiaArticoli()
    {
        TDC& dc = Avvia();
        dc.TabellaArticoli->EmptyTable();
        for (int i = 0; i < 50; ++i)
            AggiungiRiga(*dc.TabellaArticoli,
                         {{"Nome", "art" + std::to_string(i)}, {"Descrizione", std::string(40, 'd')}});
        dc.SalvaTabella(dc.TabellaArticoli, "Data", "Articoli");
        Modulo.reset();
        Tronca(Nel("dati/DATA/Articoli.DAT"));
        Box.Box.clear();
        TFormExceptMessage::AzzeraRapporti();
    }

    static void Tronca(const std::string& file)
    {
        fs::resize_file(file, fs::file_size(file) * 6 / 10);
    }
};

TEST_F(DataModuleStartup, LoadsEveryTableInItsOrder)
{
    PreparaDati();
    TDC& dc = Avvia({"TESSELLARIUM_USBPEN:Disco", "TESSELLARIUM_USBPEN: \"Chiavetta\""});
    EXPECT_EQ(ModoConfigurazione(), 1);
    EXPECT_EQ(dc.PercorsoDati, Nel("dati") + "\\");
    EXPECT_TRUE(Box.Box.empty());
    EXPECT_TRUE(TFormExceptMessage::RapportiRegistrati().empty());
    EXPECT_FALSE(dc.ModalitaProvvisoria);
    EXPECT_EQ(ValoriDi(*dc.TabellaArticoli, "Nome"),
              (std::vector<std::string>{"ancora", "Bullone", "Chiodo", "dado", "vite"}));
    EXPECT_EQ(ValoriDi(*dc.TabellaClienti, "Denominazione"),
              (std::vector<std::string>{"alfa snc", "Beta spa", "Zeta srl"}));
    EXPECT_EQ(ValoriDi(*dc.TabellaAppunti, "DataScadenza"),
              (std::vector<std::string>{"01/01/2009", "05/02/2009", "10/03/2009"}));
    EXPECT_EQ(ValoriDi(*dc.TabellaContributi, "IdContributo"),
              (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(ValoriDi(*dc.TabellaAltroFatture, "Tipologia"),
              (std::vector<std::string>{"FT", "FT", "PV"}));
    EXPECT_EQ(ValoriDi(*dc.TabellaAltroFatture, "Fattura"),
              (std::vector<std::string>{"2", "10", "2"}));
    ASSERT_NE(dc.ElencoUnita, nullptr);
    EXPECT_EQ(dc.ElencoUnita->CommaText(), "pz,kg,m");
    EXPECT_EQ(dc.TabellaDitta->RecordCount(), 0);
    EXPECT_EQ(dc.TabellaAliquoteIva->RecordCount(), 2);
    EXPECT_EQ(dc.TabellaArticoliInFattura->FieldCount(), 17);
    EXPECT_EQ(dc.CampiArticoliInFattura->Count(), 16);
    EXPECT_EQ(dc.TabellaStampaArticoli->FieldByName("Quantita")->DisplayLabel(), "QUANTc");
}

TEST_F(DataModuleStartup, DecliningTheUpgradeLoadsNothingAndSavesNothing)
{
    PreparaDati();
    ImpostaVersione("2.9.0");
    const std::string altro = Nel("dati/DATA/AltroFatture.DAT");
    const std::string prima = Sha1Di(altro);
    Box.Risposta = IDNO;
    TDC& dc = Avvia();
    EXPECT_TRUE(dc.ModalitaProvvisoria);
    for (TzelMemTable* t : {dc.TabellaArticoli, dc.TabellaClienti, dc.TabellaAltroFatture,
                            dc.TabellaAppunti, dc.TabellaUnitaMisura, dc.TabellaContributi})
        EXPECT_EQ(t->RecordCount(), 0) << t->Name();
    dc.SalvaTabella(dc.TabellaAltroFatture, "Data", "AltroFatture");
    EXPECT_EQ(Sha1Di(altro), prima);
    EXPECT_EQ(FileNellaCartella(Nel("dati/DATA")).count("AltroFatture.DAT"), 1u);
}

TEST_F(DataModuleStartup, AcceptingTheUpgradeLoadsAndStoresTheVersion)
{
    PreparaDati();
    ImpostaVersione("2.9.0");
    const std::string articoli = Nel("dati/DATA/Articoli.DAT");
    const std::string prima = Sha1Di(articoli);
    Box.Risposta = IDYES;
    TDC& dc = Avvia();
    EXPECT_EQ(Box.Box.size(), 1u);
    EXPECT_FALSE(dc.ModalitaProvvisoria);
    EXPECT_EQ(dc.TabellaArticoli->RecordCount(), 5);
    EXPECT_EQ(dc.TabellaClienti->RecordCount(), 3);
    EXPECT_EQ(dc.TabellaArticoliInFattura->FieldCount(), 17);
    EXPECT_EQ(Sha1Di(articoli), prima);
    EXPECT_EQ(LeggiImpostazione("Ventisca,Tessellarium,Versioning", "Database", ""), "3.0.18");
}

// --- Damaged files -----------------------------------------------------------------------------

TEST_F(DataModuleStartup, ADamagedFileIsReportedOnceAndKeptOnTheFirstSave)
{
    PreparaDati();
    DanneggiaArticoli();
    const std::string articoli = Nel("dati/DATA/Articoli.DAT");
    const std::string tagliato = ContenutoDi(articoli);

    TDC& dc = Avvia();
    EXPECT_EQ(dc.TabellaArticoli->RecordCount(), 0);
    EXPECT_EQ(DescriviCampi(*dc.TabellaArticoli), TABELLE_ATTESE[9].Campi);
    EXPECT_EQ(ValoriDi(*dc.TabellaClienti, "Denominazione"),
              (std::vector<std::string>{"alfa snc", "Beta spa", "Zeta srl"}));
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_EQ(Box.Box[0].Titolo, "Errore nell'applicazione");
    EXPECT_EQ(Box.Box[0].Tipo, MB_OK | MB_ICONERROR);
    const std::string& testo = Box.Box[0].Testo;
    const auto rapporti = TFormExceptMessage::RapportiRegistrati();
    ASSERT_EQ(rapporti.size(), 1u);
    EXPECT_EQ(rapporti[0].Funzione, "DCCreate");
    EXPECT_EQ(rapporti[0].Livello, 1);
    EXPECT_NE(testo.find(rapporti[0].TestoEccezione), std::string::npos);
    EXPECT_FALSE(rapporti[0].TestoEccezione.empty());
    EXPECT_EQ(testo, "Impossibile caricare alcune tabelle:\r\n" + dc.PercorsoDati +
                         "Data\\Articoli.DAT: " + rapporti[0].TestoEccezione +
                         "\r\n\r\nLe tabelle indicate restano vuote. Il file originale non viene "
                         "sovrascritto: al primo salvataggio della tabella viene conservato con "
                         "l'estensione aggiuntiva \".danneggiato\".");
    EXPECT_EQ(rapporti[0].Messaggio, testo);
    EXPECT_EQ(dc.FileCaricamentoFallito(dc.TabellaArticoli), dc.PercorsoDati + "Data\\Articoli.DAT");

    AggiungiRiga(*dc.TabellaArticoli, {{"Nome", "nuovo"}});
    dc.SalvaTabella(dc.TabellaArticoli, "Data", "Articoli");
    EXPECT_EQ(ContenutoDi(articoli + ".danneggiato"), tagliato);
    dc.SalvaTabella(dc.TabellaArticoli, "Data", "Articoli");
    EXPECT_FALSE(fs::exists(articoli + ".danneggiato2"));

    TzelMemTable letta(nullptr);
    dc.CaricaTabella(&letta, "Data", "Articoli");
    EXPECT_EQ(ValoriDi(letta, "Nome"), std::vector<std::string>{"nuovo"});

    Tronca(articoli);
    TDC& dopo = Avvia();
    dopo.SalvaTabella(dopo.TabellaArticoli, "Data", "Articoli");
    EXPECT_TRUE(fs::exists(articoli + ".danneggiato2"));
    EXPECT_EQ(ContenutoDi(articoli + ".danneggiato"), tagliato);
}

TEST_F(DataModuleStartup, TwoDamagedFilesGiveOneBoxNamingBoth)
{
    PreparaDati();
    // A foreign file and a truncated one.
    std::ofstream(Nel("dati/DATA/Appunti.DAT"), std::ios::trunc) << "Appunti del 2009\n";
    DanneggiaArticoli();
    TDC& dc = Avvia();
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_NE(Box.Box[0].Testo.find("Appunti.DAT: "), std::string::npos);
    EXPECT_NE(Box.Box[0].Testo.find("Articoli.DAT: "), std::string::npos);
    EXPECT_EQ(dc.TabellaAppunti->RecordCount(), 0);
    EXPECT_EQ(dc.TabellaArticoli->RecordCount(), 0);
    EXPECT_EQ(dc.TabellaClienti->RecordCount(), 3);
    EXPECT_EQ(dc.TabellaContributi->RecordCount(), 3);
    EXPECT_EQ(dc.TabellaAltroFatture->RecordCount(), 3);
    EXPECT_EQ(dc.ElencoUnita->Count(), 3);
}

TEST_F(DataModuleStartup, AFailedSortKeepsTheRowsAndIsReported)
{
    PreparaDati();
    {
        TzelMemTable appunti(nullptr);
        appunti.FieldDefs().Add("Appunto", ftString, 128);
        appunti.CreateTable();
        appunti.Open();
        for (const char* testo : {"c", "a", "b"})
            AggiungiRiga(appunti, {{"Appunto", testo}});
        TzelBinaryStreamFormat formato(nullptr);
        appunti.SaveToFileViaFormat(Nel("dati/DATA/Appunti.DAT"), &formato);
    }
    TDC& dc = Avvia();
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_NE(Box.Box[0].Testo.find("Appunti.DAT: "), std::string::npos);
    EXPECT_EQ(ValoriDi(*dc.TabellaAppunti, "Appunto"), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(dc.FileCaricamentoFallito(dc.TabellaAppunti), "");
    dc.SalvaTabella(dc.TabellaAppunti, "Data", "Appunti");
    EXPECT_FALSE(fs::exists(Nel("dati/DATA/Appunti.DAT.danneggiato")));
}

TEST_F(DataModuleStartup, ALaterFailedLoadRaisesAndEmptiesTheTable)
{
    PreparaDati();
    TDC& dc = Avvia();
    ASSERT_EQ(dc.TabellaClienti->RecordCount(), 3);
    Tronca(Nel("dati/DATA/Clienti.DAT"));
    EXPECT_THROW(dc.LoadTabellaClienti(), Exception);
    EXPECT_EQ(dc.TabellaClienti->RecordCount(), 0);
    EXPECT_EQ(DescriviCampi(*dc.TabellaClienti), TABELLE_ATTESE[10].Campi);
    EXPECT_TRUE(dc.TabellaClienti->Active());
}

TEST_F(DataModuleStartup, AFailedSaveLeavesTheOldFile)
{
    PreparaDati();
    const std::string clienti = Nel("dati/DATA/Clienti.DAT");
    const std::string prima = ContenutoDi(clienti);
    const auto fileprima = FileNellaCartella(Nel("dati/DATA"));
    const pid_t figlio = fork();
    ASSERT_GE(figlio, 0);
    if (figlio == 0) {
        int esito = 2;
        try {
            TDC dc(nullptr, {"TESSELLARIUM_USBPEN:Chiavetta"});
            for (int i = 0; i < 1100; ++i)
                AggiungiRiga(*dc.TabellaClienti, {{"Denominazione", "c" + std::to_string(i)},
                                                  {"Destinazione", std::string(1000, 'x')}});
            rlimit limite{64 * 1024, 64 * 1024};
            signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &limite);
            try {
                dc.SalvaTabella(dc.TabellaClienti, "Data", "Clienti");
                esito = 1;
            } catch (const Exception&) {
                esito = 0;
            }
        } catch (...) {
            esito = 3;
        }
        _exit(esito);
    }
    int stato = 0;
    ASSERT_EQ(waitpid(figlio, &stato, 0), figlio);
    ASSERT_TRUE(WIFEXITED(stato));
    EXPECT_EQ(WEXITSTATUS(stato), 0) << "1: the save did not fail; 3: set-up failed";
    EXPECT_EQ(ContenutoDi(clienti), prima);
    EXPECT_EQ(FileNellaCartella(Nel("dati/DATA")), fileprima);
}

TEST_F(DataModuleStartup, ASaveReplacesTheFileWhateverItsLetterCase)
{
    PreparaDati();
    fs::rename(Nel("dati/DATA/Clienti.DAT"), Nel("dati/DATA/clienti.dat"));
    fs::rename(Nel("dati/DATA"), Nel("dati/data"));
    TDC& dc = Avvia();
    ASSERT_EQ(dc.TabellaClienti->RecordCount(), 3);
    AggiungiRiga(*dc.TabellaClienti, {{"Denominazione", "Nuovo"}});
    dc.SalvaTabella(dc.TabellaClienti, "Data", "Clienti");
    int trovati = 0;
    for (const std::string& nome : FileNellaCartella(Nel("dati/data")))
        if (AnsiSameText(nome, "clienti.dat"))
            ++trovati;
    EXPECT_EQ(trovati, 1);
    TzelMemTable letta(nullptr);
    dc.CaricaTabella(&letta, "DATA", "CLIENTI");
    EXPECT_EQ(letta.RecordCount(), 4);
}

// --- Leftovers of saves cut short ----------------------------------------------------------------

class DataModuleLeftovers : public DataModuleStartup {
protected:
    // The program's own files beside the leftovers, with their bytes.
    std::map<std::string, std::string> Propri;
    std::set<std::string> Avanzi;

    // Begins an atomic save of the target in a child process and kills it with SIGKILL after
    // quanti bytes, as a power cut or kill -9 would end the save.
    void SalvataggioUcciso(const std::string& bersaglio, const std::string& byte, size_t quanti)
    {
        const std::set<std::string> prima = FileNellaCartella(fs::path(bersaglio).parent_path());
        const pid_t figlio = fork();
        ASSERT_GE(figlio, 0);
        if (figlio == 0) {
            auto* flusso = new TAtomicFileStream(bersaglio);
            flusso->WriteBuffer(byte.data(), static_cast<int>(quanti));
            raise(SIGKILL);
            _exit(3);
        }
        int stato = 0;
        ASSERT_EQ(waitpid(figlio, &stato, 0), figlio);
        ASSERT_TRUE(WIFSIGNALED(stato));
        for (const std::string& nome : FileNellaCartella(fs::path(bersaglio).parent_path()))
            if (!prima.count(nome))
                Avanzi.insert((fs::path(bersaglio).parent_path() / nome).string());
    }

    void Proprio(const std::string& percorso, const std::string& byte)
    {
        fs::create_directories(fs::path(percorso).parent_path());
        ScriviFile(percorso, byte);
        Propri[percorso] = byte;
    }

    // A partial and a complete temporary of a table, of a register and of a document, both
    // temporaries of a document save cut between its renames, the visible temporary an earlier
    // document save left, the staged members in Temp, and the user's own files that only look
    // temporary.
    void PreparaAvanzi()
    {
        PreparaDati();
        TDC& dc = Avvia();
        AggiungiRiga(*dc.TabellaFatture, {{"Fattura", "7"}, {"Denominazione", "Rossi Srl"}});
        dc.SalvaTabella(dc.TabellaFatture, "Data", "FT2009");
        Modulo.reset();
        for (const char* nome : {"DATA/Clienti.DAT", "DATA/Articoli.DAT", "DATA/FT2009.DAT"})
            Propri[Nel(std::string("dati/") + nome)] = ContenutoDi(Nel(std::string("dati/") + nome));
        const std::string documento = Nel("dati/FT/Doc7 - Rossi Srl (5-3-2009).tsd");
        Proprio(documento, "PK\x03\x04 un documento");
        for (const char* nome : {"dati/DATA/x.tmp", "dati/DATA/.notes.tmp.txt", "dati/FT/x.tmp",
                                 "dati/FT/.notes.tmp.txt", "Temp/x.tmp", "dati/FT/Doc7.tsd.tmp"})
            Proprio(Nel(nome), "mio");

        const std::string clienti = Propri[Nel("dati/DATA/Clienti.DAT")];
        const std::string registro = Propri[Nel("dati/DATA/FT2009.DAT")];
        SalvataggioUcciso(Nel("dati/DATA/Clienti.DAT"), clienti, clienti.size() / 2);
        SalvataggioUcciso(Nel("dati/DATA/Clienti.DAT"), clienti, clienti.size());
        SalvataggioUcciso(Nel("dati/DATA/FT2009.DAT"), registro, registro.size() / 2);
        SalvataggioUcciso(Nel("dati/DATA/FT2009.DAT"), registro, registro.size());
        // The document is packed beside itself, then moved over it.
        const std::string pacco = Nel("dati/FT/") + AtomicTemporaryName(fs::path(documento).filename().string());
        SalvataggioUcciso(pacco, "PK\x03\x04 nuovo", 6);
        SalvataggioUcciso(pacco, "PK\x03\x04 nuovo", 12);
        ScriviFile(pacco, "PK\x03\x04 nuovo");
        Avanzi.insert(pacco);
        for (const char* nome : {"dati/FT/Doc7 - Rossi Srl (5-3-2009).tsd.1F2E3D4C5B6A71.tmp",
                                 "Temp/Articoli.aft", "Temp/Cliente.cft"}) {
            fs::create_directories(fs::path(Nel(nome)).parent_path());
            ScriviFile(Nel(nome), "scarto");
            Avanzi.insert(Nel(nome));
        }
        SalvataggioUcciso(Nel("Temp/Articoli.aft"), "scarto", 3);
        ASSERT_EQ(Avanzi.size(), 11u);
    }

    std::set<std::string> FileRimasti() const
    {
        std::set<std::string> rimasti;
        for (const char* cartella : {"dati/DATA", "dati/FT", "Temp"})
            for (const std::string& nome : FileNellaCartella(Nel(cartella)))
                rimasti.insert(Nel(cartella) + "/" + nome);
        return rimasti;
    }

    std::vector<std::string> RigheDelRegistro() const
    {
        std::vector<std::string> righe;
        if (!fs::exists(Nel("Debug")))
            return righe;
        for (const std::string& file : FileNellaCartella(Nel("Debug"))) {
            std::istringstream testo(ContenutoDi(Nel("Debug/" + file)));
            for (std::string riga; std::getline(testo, riga);)
                righe.push_back(riga);
        }
        return righe;
    }
};

TEST_F(DataModuleLeftovers, AreRemovedAtStartAndNothingElseIs)
{
    PreparaAvanzi();
    const std::set<std::string> prima = FileRimasti();
    TDC& dc = Avvia();

    std::set<std::string> attesi;
    std::set_difference(prima.begin(), prima.end(), Avanzi.begin(), Avanzi.end(),
                        std::inserter(attesi, attesi.end()));
    EXPECT_EQ(FileRimasti(), attesi);
    for (const auto& [percorso, byte] : Propri)
        EXPECT_EQ(ContenutoDi(percorso), byte) << percorso;
    EXPECT_EQ(dc.TabellaClienti->RecordCount(), 3);
    EXPECT_EQ(dc.TabellaArticoli->RecordCount(), 5);

    const std::vector<std::string> righe = RigheDelRegistro();
    EXPECT_EQ(righe.size(), Avanzi.size());
    for (const std::string& avanzo : Avanzi) {
        const std::string nome = fs::path(avanzo).filename().string();
        EXPECT_EQ(std::count_if(righe.begin(), righe.end(),
                                [&](const std::string& riga) {
                                    return riga.find("Rimosso il file temporaneo di un salvataggio "
                                                     "interrotto: ") != std::string::npos &&
                                           riga.find(nome + "\r") != std::string::npos;
                                }),
                  1)
            << nome;
    }
}

TEST_F(DataModuleLeftovers, StayWhileAnotherCopyHoldsTheDataFolder)
{
    PreparaAvanzi();
    const std::set<std::string> prima = FileRimasti();
    // Another process holds the lock a running copy takes, until its input is closed.
    const std::string pronto = Nel("pronto");
    FILE* altro = popen(("python3 -c \"import fcntl, sys; f = open(sys.argv[1], 'a+'); "
                         "fcntl.lockf(f, fcntl.LOCK_EX); open(sys.argv[2], 'w').close(); "
                         "sys.stdin.read()\" '" +
                         Nel("dati/.Tessellarium.lock") + "' '" + pronto + "'")
                            .c_str(),
                        "w");
    ASSERT_NE(altro, nullptr);
    for (int attesa = 0; attesa < 1000 && !fs::exists(pronto); ++attesa)
        usleep(10000);
    ASSERT_TRUE(fs::exists(pronto));
    TDC& dc = Avvia();
    EXPECT_EQ(FileRimasti(), prima);
    EXPECT_TRUE(RigheDelRegistro().empty());
    EXPECT_EQ(dc.TabellaClienti->RecordCount(), 3);
    pclose(altro);

    // Alone, the program cleans up and holds the folder: a second copy cleans nothing.
    Modulo.reset();
    Avvia();
    EXPECT_EQ(FileRimasti().size(), prima.size() - Avanzi.size());
    const std::string avanzo = *Avanzi.begin();
    ScriviFile(avanzo, "scarto");
    {
        TDC secondo(nullptr, std::vector<std::string>{"TESSELLARIUM_USBPEN:Chiavetta"});
        EXPECT_TRUE(fs::exists(avanzo));
    }
    DC = Modulo.get(); // the second copy made itself the global while it lived
}
