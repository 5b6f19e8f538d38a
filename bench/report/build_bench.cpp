// Building reports: a 10,000-record list with a group, totals and page numbers in two passes, and
// the one-sheet invoice the main window rebuilds each time a document is shown.

#include "report/RP_Class.h"
#include "report/RP_DBSet.h"

#include "platform/db/StdFields.h"
#include "platform/gui/Application.h"
#include "platform/gui/PrinterDevice.h"
#include "tablestore/zelMemTable.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace build_bench {

constexpr int ListRecords = 10000, GroupKeys = 20, InvoiceLines = 30, HostNames = 40;

void StartEngine()
{
    static const bool started = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        TPrinterCatalogue none;
        none.VirtualWhenEmpty = false;
        SetPrinterCatalogue(none);
        rpInitEngine();
        return true;
    }();
    (void)started;
}

// A report on a window with one table behind the report data set "Dati".
struct TBuildSetup {
    explicit TBuildSetup(int records)
    {
        StartEngine();
        Table = new TzelMemTable(Owner.get());
        Table->SetName("Tabella");
        Table->FieldDefs().Add("Numero", ftInteger);
        Table->FieldDefs().Add("Chiave", ftInteger);
        Table->FieldDefs().Add("Nome", ftString, 30);
        Table->FieldDefs().Add("Prezzo", ftFloat);
        Table->FieldDefs().Add("Qta", ftFloat);
        Table->CreateTable();
        Table->Open();
        for (int i = 0; i < records; ++i) {
            Table->Append();
            Table->FieldByName("Numero")->SetAsInteger(i + 1);
            Table->FieldByName("Chiave")->SetAsInteger(i * GroupKeys / records);
            Table->FieldByName("Nome")->SetAsString("Articolo " + std::to_string(i + 1));
            Table->FieldByName("Prezzo")->SetAsFloat(1.25 * (i % 97));
            Table->FieldByName("Qta")->SetAsFloat(i % 7 + 1);
            Table->Post();
        }
        Table->First();
        auto* data = new TrpDBDataSet(Owner.get());
        data->SetName("Dati");
        data->SetDataSet(Table);
        Report = new TrpReport(Owner.get());
        Report->SetName("Elenco");
        Report->ShowProgress = false;
        Page = Report->DesignPages->Add();
        Page->UseMargins = -1;
        Page->Margins = TRect{0, 0, 0, 0};
    }

    void Band(TrpBandType type, int top, int height, const std::string& source = "")
    {
        auto band = std::make_unique<TrpBandView>();
        band->SetBandType(type);
        band->SetBounds(0, top, 700, height);
        band->FormatText = source;
        band->Flags = type == btPageFooter ? 16 + 32 : 0;
        band->Name = "Band" + std::to_string(Page->Objects.size());
        Page->Objects.push_back(std::move(band));
    }

    void Text(const std::string& text, int top, int left, int width = 120)
    {
        auto memo = std::make_unique<TrpMemoView>();
        memo->SetBounds(left, top, width, 16);
        memo->Memo->SetText(text);
        memo->Flags = 0;
        memo->Name = "Memo" + std::to_string(Page->Objects.size());
        Page->Objects.push_back(std::move(memo));
    }

    std::unique_ptr<TComponent> Owner = std::make_unique<TComponent>(nullptr);
    TzelMemTable* Table = nullptr;
    TrpReport* Report = nullptr;
    TrpPage* Page = nullptr;
};

std::int64_t PreparedBytes(TrpReport& report)
{
    std::int64_t bytes = 0;
    for (int i = 0; i < report.PreparedPages->Count(); ++i)
        bytes += report.PreparedPages->Pages(i)->Stream->Size();
    return bytes;
}

void BM_PrepareListReport(benchmark::State& state)
{
    TBuildSetup setup(ListRecords);
    setup.Band(btGroupHeader, 40, 20, "[Chiave]");
    setup.Text("Gruppo [Chiave]", 40, 20);
    setup.Band(btMasterData, 100, 18, "Dati");
    setup.Text("[Numero]", 100, 20, 60);
    setup.Text("[Nome]", 100, 90, 200);
    setup.Text("[Qta]", 100, 300, 60);
    setup.Text("[Prezzo #N2,2]", 100, 370, 100);
    setup.Text("[Prezzo * Qta #N2,2]", 100, 480, 120);
    setup.Band(btMasterFooter, 200, 20);
    setup.Text("[SUM([Prezzo])] [COUNT(Dati)]", 200, 20, 300);
    setup.Band(btGroupFooter, 300, 20);
    setup.Text("[SUM([Prezzo])] [COUNT(Dati)]", 300, 20, 300);
    setup.Band(btPageFooter, 900, 20);
    setup.Text("Pagina [PAGE#]", 900, 20);
    setup.Report->TwoPass = true;
    for (auto _ : state) {
        if (!setup.Report->PrepareReport())
            state.SkipWithError("the build failed");
    }
    state.counters["sheets"] = setup.Report->PreparedPages->Count();
    state.counters["prepared_bytes"] = static_cast<double>(PreparedBytes(*setup.Report));
}
BENCHMARK(BM_PrepareListReport)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PrepareInvoice(benchmark::State& state)
{
    TBuildSetup setup(InvoiceLines);
    setup.Report->OnGetValue = [](const std::string& name, Variant& value) {
        if (name.rfind("Ditta", 0) == 0)
            value = Variant("Valore di " + name);
    };
    setup.Band(btReportTitle, 20, 2 * 20 * 10);
    for (int i = 0; i < HostNames; ++i)
        setup.Text("[Ditta" + std::to_string(i) + "]", 20 + (i / 2) * 20, 20 + (i % 2) * 350, 300);
    setup.Band(btMasterData, 500, 18, "Dati");
    setup.Text("[Nome]", 500, 20, 200);
    setup.Text("[Qta]", 500, 230, 60);
    setup.Text("[Prezzo #N2,2]", 500, 300, 100);
    setup.Text("[Prezzo * Qta #N2,2]", 500, 410, 120);
    setup.Band(btMasterFooter, 600, 60);
    setup.Text("Imponibile [SUM([Prezzo] * [Qta]) #N2,2]", 600, 20, 300);
    setup.Text("IVA 22% [SUM([Prezzo] * [Qta] * 0.22) #N2,2]", 620, 20, 300);
    setup.Text("Totale [SUM([Prezzo] * [Qta] * 1.22) #N2,2]", 640, 20, 300);
    for (auto _ : state) {
        if (!setup.Report->PrepareReport())
            state.SkipWithError("the build failed");
    }
    state.counters["sheets"] = setup.Report->PreparedPages->Count();
}
BENCHMARK(BM_PrepareInvoice)->Unit(benchmark::kMillisecond);

} // namespace build_bench
