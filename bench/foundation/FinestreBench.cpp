// The window helpers at the sizes a table window meets: a bound form's round trip at every
// navigation, a 20,000-row spreadsheet export through the real library, and glyphs from a warm
// bitmap cache.

#include "ProgrammaTemporaneo.h"

#include "controls/CurrEdit.h"
#include "controls/DateEdit.h"
#include "foundation/SupportAspetto.h"
#include "foundation/SupportExport.h"
#include "foundation/SupportFormDB.h"
#include "platform/db/DB.h"
#include "platform/gui/Application.h"
#include "platform/gui/BitBtn.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "tablestore/zelMemTable.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

void AvviaApplicazione()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
}

// 60 bound controls: 20 edits, 10 combo boxes, 10 check boxes, 10 date edits, 10 calculator edits.
void BM_RecordControlliAndata(benchmark::State& state)
{
    AvviaApplicazione();
    TzelMemTable tabella(nullptr);
    TForm form(nullptr);
    auto aggiungi = [&](const std::string& prefisso, const std::string& campo, TFieldType tipo, int dim,
                        TWinControl* controllo) {
        tabella.FieldDefs().Add(campo, tipo, dim);
        controllo->SetName(prefisso + campo);
        controllo->SetParent(&form);
    };
    for (int i = 0; i < 20; ++i) {
        auto* e = new TEdit(&form);
        aggiungi("EditS_", "Testo" + std::to_string(i), ftString, 40, e);
        e->SetText("valore " + std::to_string(i));
    }
    for (int i = 0; i < 10; ++i) {
        auto* c = new TComboBox(&form);
        c->Items()->Add("1 - Uno");
        c->Items()->Add("2 - Due");
        c->SetItemIndex(1);
        aggiungi("EditKS_", "Codice" + std::to_string(i), ftString, 5, c);
    }
    for (int i = 0; i < 10; ++i) {
        auto* c = new TCheckBox(&form);
        c->SetChecked(i % 2 == 0);
        aggiungi("EditB_", "Flag" + std::to_string(i), ftBoolean, 0, c);
    }
    for (int i = 0; i < 10; ++i) {
        auto* d = new TDateEdit(&form);
        d->SetText("0" + std::to_string(1 + i % 9) + "/03/2009");
        aggiungi("EditS_", "Data" + std::to_string(i), ftDate, 0, d);
    }
    for (int i = 0; i < 10; ++i) {
        auto* n = new TExCalcEdit(&form);
        n->SetValue(i + 0.5);
        aggiungi("EditS_", "Numero" + std::to_string(i), ftFloat, 0, n);
    }
    tabella.CreateTable();
    tabella.Open();
    tabella.Append();
    for (auto _ : state) {
        if (!RecordDaControlli(&tabella, &form, nullptr).empty())
            state.SkipWithError("a value was refused");
        ControlliDaRecord(&tabella, &form);
    }
    tabella.Cancel();
}
BENCHMARK(BM_RecordControlliAndata)->Unit(benchmark::kMillisecond);

void BM_EsportaXls(benchmark::State& state)
{
    AvviaApplicazione();
    TProgrammaTemporaneo programma;
    fs::create_directories(programma.Percorso + "/Libs");
    fs::create_symlink(TABULINO_SO, programma.Percorso + "/Libs/libtabulino.so");
    TzelMemTable tabella(nullptr);
    for (int c = 0; c < 14; ++c)
        tabella.FieldDefs().Add("Campo" + std::to_string(c), c % 3 == 0 ? ftInteger : (c % 3 == 1 ? ftFloat : ftString),
                                c % 3 == 2 ? 30 : 0);
    tabella.CreateTable();
    tabella.Open();
    for (int r = 0; r < 20000; ++r) {
        tabella.Append();
        for (int c = 0; c < 14; ++c)
            tabella.FieldByName("Campo" + std::to_string(c))->SetAsString(c % 3 == 2 ? "Testo " + std::to_string(r) : std::to_string(r + c));
        tabella.Post();
    }
    const std::string uscita = programma.Percorso + "/uscita.xls";
    for (auto _ : state)
        benchmark::DoNotOptimize(EsportaXls(&tabella, uscita));
}
BENCHMARK(BM_EsportaXls)->Unit(benchmark::kMillisecond);

void BM_ImpostaGlifoCacheCalda(benchmark::State& state)
{
    AvviaApplicazione();
    TProgrammaTemporaneo programma;
    fs::create_directories(programma.Percorso + "/pics");
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(32, 16);
    bitmap.SaveToFile(programma.Percorso + "/pics/BtnConferma.bmp");
    TForm form(nullptr);
    auto* bottone = new TBitBtn(&form);
    ImpostaGlifo(bottone, "BtnConferma", 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(ImpostaGlifo(bottone, "BtnConferma", 2));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ImpostaGlifoCacheCalda);

} // namespace
