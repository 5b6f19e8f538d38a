#include "foundation/ClassiSupporto.h"
#include "foundation/Contesto.h"
#include "foundation/SimpleDictionary.h"

#include <gtest/gtest.h>

TEST(SharedRecords, ContextKeepsOneLinePerName)
{
    TContesto contesto("ContestoStampa");
    EXPECT_EQ(contesto.Nome, "ContestoStampa");
    EXPECT_EQ(contesto.Leggi("X"), "");
    contesto.Scrivi("X", "1");
    contesto.Scrivi("Y", "a=b");
    contesto.Scrivi("x", "2");
    EXPECT_EQ(contesto.Leggi("X"), "2");
    EXPECT_EQ(contesto.Leggi("y"), "a=b");
    contesto.Scrivi("X", "");
    EXPECT_EQ(contesto.Leggi("x"), "");
    EXPECT_EQ(contesto.Leggi("ContestoStampa.Anno"), "");
}

TEST(SharedRecords, DictionaryOfObjectsAndValues)
{
    TSimpleDictionary dizionario;
    dizionario.SetValue("K", "1");
    dizionario.SetValue("K", "2");
    EXPECT_EQ(dizionario.GetValue("k"), "1");
    EXPECT_EQ(dizionario.GetObject("K"), nullptr);
    EXPECT_EQ(dizionario.GetValue("assente"), "");

    TOggettoStringa oggetto("cliente");
    TOggettoFloat secondo(2.5);
    dizionario.AddObject("O", &oggetto);
    dizionario.AddObject("o", &secondo);
    EXPECT_EQ(dizionario.GetObject("o"), &oggetto);
    EXPECT_EQ(dizionario.GetValue("O"), "");
    EXPECT_EQ(dizionario.GetObject("assente"), nullptr);
}

TEST(SharedRecords, ADictionaryLeavesItsObjectsAlive)
{
    auto oggetto = std::make_unique<TOggettoStringa>("resta");
    {
        TSimpleDictionary dizionario;
        dizionario.AddObject("ClienteSelezionato", oggetto.get());
    }
    EXPECT_EQ(oggetto->Valore, "resta");
}

TEST(SharedRecords, RecordsStartEmptyAndFreeWhatTheyOwn)
{
    TAggregazioneImporti totali;
    EXPECT_EQ(totali.ImportoScontato + totali.IvaTotale + totali.AliquotaTotale +
                  totali.RitenutaTotale + totali.RitenutaTotaleApplicataSu +
                  totali.RitenutaEnasarcoTotale + totali.RitenutaEnasarcoApplicataSu +
                  totali.ScontoTotale,
              0);
    EXPECT_TRUE(totali.RiepiloghiIva.empty());
    for (int i = 0; i < 3; ++i)
        totali.RiepiloghiIva.push_back(
            std::make_unique<TRiepilogoIva>(100.0 * i, 22, 22.0 * i, "22", "Aliquota ordinaria"));
    EXPECT_EQ(totali.RiepiloghiIva[2]->Imponibile, 200);
    EXPECT_EQ(totali.RiepiloghiIva[2]->DicituraIva, "Aliquota ordinaria");

    const TRiepilogoContributo contributo(4, "22", 22, "Rivalsa");
    EXPECT_EQ(contributo.ImportoContributo, 4);
    EXPECT_EQ(contributo.CodiceIva, "22");
    EXPECT_EQ(contributo.Iva, 22);

    TStrutturaMail mail;
    EXPECT_EQ(mail.StatoInvio, 0);
    EXPECT_TRUE(mail.Descrizione.empty());
    EXPECT_EQ(mail.Allegati, nullptr);
    EXPECT_EQ(mail.TestoMail, nullptr);
    mail.Allegati = std::make_unique<TStringList>();
    mail.Allegati->Add("Fattura.pdf");
    mail.TestoMail = std::make_unique<TStringList>();
    mail.TestoMail->Add("Buongiorno");

    // Boxed values ride in the object slot of list lines.
    TStringList calcolo;
    TOggettoFloat importo(9.41);
    calcolo.AddObject("IvaTotale", &importo);
    EXPECT_TRUE(calcolo.Objects(0)->InheritsFrom("TOggettoFloat"));
    EXPECT_EQ(static_cast<TOggettoFloat*>(calcolo.Objects(0))->Valore, 9.41);
}
