#include "foundation/DataWrappers.h"

#include "platform/db/DB.h"
#include "platform/rtl/Exceptions.h"
#include "tablestore/zelMemTable.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct TCampo {
    std::string Nome;
    TFieldType Tipo;
    int Misura;
};

std::unique_ptr<TzelMemTable> CreaTabella(const std::vector<TCampo>& campi)
{
    auto tabella = std::make_unique<TzelMemTable>(nullptr);
    for (const TCampo& campo : campi)
        tabella->FieldDefs().Add(campo.Nome, campo.Tipo, campo.Misura);
    tabella->CreateTable();
    tabella->Open();
    return tabella;
}

std::unique_ptr<TzelMemTable> Clienti()
{
    auto clienti = CreaTabella({{"IdCliente", ftInteger, 0},
                                {"Denominazione", ftString, 60},
                                {"Destinazione", ftString, 100}});
    clienti->Append();
    clienti->FieldByName("IdCliente")->SetAsString("7");
    clienti->FieldByName("Denominazione")->SetAsString("Rossi");
    clienti->FieldByName("Destinazione")->SetAsString("a=b");
    clienti->Post();
    return clienti;
}

} // namespace

TEST(DataWrappers, ASnapshotCarriesValuesHoldingEqualsSigns)
{
    auto clienti = Clienti();
    TDataWrapper snapshot(clienti.get());
    TStringList& righe = snapshot.Leggi();
    ASSERT_EQ(righe.Count(), 3);
    EXPECT_EQ(righe.Strings(0), "IdCliente=7");
    EXPECT_EQ(righe.Strings(1), "Denominazione=Rossi");
    EXPECT_EQ(righe.Strings(2), "Destinazione=a=b");

    // Another table with some of the fields, named in another case.
    auto intestazione = CreaTabella({{"DESTINAZIONE", ftString, 100}, {"idcliente", ftInteger, 0},
                                     {"Note", ftString, 20}});
    intestazione->Append();
    EXPECT_TRUE(snapshot.Scrivi(intestazione.get()));
    intestazione->Post();
    EXPECT_EQ(intestazione->FieldByName("Destinazione")->AsString(), "a=b");
    EXPECT_EQ(intestazione->FieldByName("IdCliente")->AsString(), "7");
    EXPECT_EQ(intestazione->FieldByName("Note")->AsString(), "");
}

TEST(DataWrappers, AppendingARecord)
{
    auto clienti = Clienti();
    TDataWrapper snapshot(clienti.get());
    snapshot.Leggi();
    auto intestazione = CreaTabella({{"Denominazione", ftString, 60}, {"IdCliente", ftInteger, 0}});
    EXPECT_TRUE(snapshot.AggiungiRecord(intestazione.get()));
    EXPECT_EQ(intestazione->RecordCount(), 1);
    EXPECT_EQ(intestazione->State(), dsBrowse);
    EXPECT_EQ(intestazione->FieldByName("Denominazione")->AsString(), "Rossi");
}

TEST(DataWrappers, AValueThatCannotBeConvertedAppendsNothing)
{
    auto sorgente = CreaTabella({{"Denominazione", ftString, 60}, {"IdCliente", ftString, 10}});
    sorgente->Append();
    sorgente->FieldByName("Denominazione")->SetAsString("Bianchi");
    sorgente->FieldByName("IdCliente")->SetAsString("abc");
    sorgente->Post();
    TDataWrapper snapshot(sorgente.get());
    snapshot.Leggi();

    auto destinazione =
        CreaTabella({{"Denominazione", ftString, 60}, {"IdCliente", ftInteger, 0}});
    EXPECT_THROW(snapshot.AggiungiRecord(destinazione.get()), EConvertError);
    EXPECT_EQ(destinazione->RecordCount(), 0);
    EXPECT_EQ(destinazione->State(), dsBrowse);

    // The table goes on working: the next append posts only its own record.
    destinazione->Append();
    destinazione->FieldByName("Denominazione")->SetAsString("Verdi");
    destinazione->Post();
    EXPECT_EQ(destinazione->RecordCount(), 1);
}
