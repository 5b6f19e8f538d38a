// The data module's report data sets: found by the names stored templates use and walking the
// table each one stands for.

#include "DataModuleTestUtils.h"

#include "report/RP_DBSet.h"
#include "report/RP_Utils.h"

TEST_F(DataModuleFixture, TheNineReportDataSetsWalkTheirTables)
{
    TDC& dc = Avvia();
    const std::vector<std::pair<std::string, TzelMemTable*>> attesi = {
        {"ReportDocumenti", dc.TabellaFattureReport},
        {"ReportMastrini", dc.TabellaMastrino},
        {"ReportArticoli", dc.TabellaArticoli},
        {"ReportClienti", dc.TabellaClienti},
        {"ReportSourceDocumenti", dc.TabellaFattureFiltrate},
        {"ReportArticoliInFattura", dc.TabellaStampaArticoli},
        {"ReportDitta", dc.TabellaDitta},
        {"ReportClienteInFattura", dc.TabellaClienteInFattura},
        {"ReportDettaglioCalcolo", dc.TabellaDettaglioCalcolo},
    };
    for (const auto& [nome, tabella] : attesi) {
        SCOPED_TRACE(nome);
        auto* dati = dynamic_cast<TrpDBDataSet*>(rpFindComponent(nullptr, "DC." + nome));
        ASSERT_NE(dati, nullptr);
        EXPECT_EQ(dati->GetDataSet(), tabella);
        for (int i = 0; i < 3; ++i)
            AggiungiRiga(*tabella, {});
        int righe = 0;
        dati->Init();
        dati->First();
        while (!dati->Eof() && righe < 10) {
            ++righe;
            dati->Next();
        }
        dati->Exit();
        EXPECT_EQ(righe, 3);
    }
    EXPECT_EQ(dc.ReportDitta, rpFindComponent(&dc, "ReportDitta"));
}
