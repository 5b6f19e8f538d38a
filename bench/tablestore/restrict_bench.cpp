// Restrictions, versions and guards of the memory table: a range walk, a master-detail walk,
// edits rolled back or committed, a checkpoint, blob stream writes and an uncontended lock.

#include "platform/db/DataSource.h"
#include "platform/rtl/Streams.h"
#include "tablestore/zelMemTable.h"
#include "tablestore/zelThreadDataSet.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

std::unique_ptr<TzelMemTable> MakeIntegerTable(int rows, bool indexed)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Numero", ftInteger);
    table->FieldDefs().Add("Nome", ftString, 20);
    if (indexed)
        table->IndexDefs().Add("ByNumero", "Numero", {});
    table->CreateTable();
    table->Open();
    TField* numero = table->FieldByName("Numero");
    TField* nome = table->FieldByName("Nome");
    table->DisableControls();
    for (int row = 0; row < rows; ++row) {
        table->Append();
        numero->SetAsInteger((row * 7919) % rows);
        nome->SetAsString("Riga");
        table->Post();
    }
    table->EnableControls();
    if (indexed)
        table->SetIndexFieldNames("Numero");
    return table;
}

void RangeWalk(benchmark::State& state)
{
    auto table = MakeIntegerTable(100000, true);
    for (auto _ : state) {
        table->SetRange({50000}, {50999});
        int count = 0;
        table->First();
        while (!table->Eof()) {
            ++count;
            table->Next();
        }
        benchmark::DoNotOptimize(count);
        table->CancelRange();
    }
}
BENCHMARK(RangeWalk)->Unit(benchmark::kMillisecond);

void MasterDetailWalk(benchmark::State& state)
{
    auto master = MakeIntegerTable(100, false);
    auto detail = std::make_unique<TzelMemTable>(nullptr);
    detail->FieldDefs().Add("IdMaster", ftInteger);
    detail->FieldDefs().Add("Riga", ftInteger);
    detail->CreateTable();
    detail->Open();
    for (int row = 0; row < 10000; ++row) {
        detail->Append();
        detail->FieldByName("IdMaster")->SetAsInteger(row % 100);
        detail->FieldByName("Riga")->SetAsInteger(row);
        detail->Post();
    }
    TDataSource source(nullptr);
    source.SetDataSet(master.get());
    detail->SetDetailFields("IdMaster");
    detail->SetMasterSource(&source);
    detail->SetMasterFields("Numero");
    for (auto _ : state) {
        int total = 0;
        master->First();
        while (!master->Eof()) {
            total += detail->RecordCount();
            master->Next();
        }
        benchmark::DoNotOptimize(total);
    }
    detail->SetMasterSource(nullptr);
}
BENCHMARK(MasterDetailWalk)->Unit(benchmark::kMillisecond);

void EditsInTransaction(benchmark::State& state, bool commit)
{
    auto table = MakeIntegerTable(10000, false);
    table->SetVersioningMode(mtvmAllSinceCheckPoint);
    table->SetEnableVersioning(true);
    TField* nome = table->FieldByName("Nome");
    for (auto _ : state) {
        table->StartTransaction();
        table->First();
        while (!table->Eof()) {
            table->Edit();
            nome->SetAsString("Cambiata");
            table->Post();
            table->Next();
        }
        if (commit)
            table->Commit();
        else
            table->Rollback();
        state.PauseTiming();
        table->CheckPoint();
        state.ResumeTiming();
    }
}
BENCHMARK_CAPTURE(EditsInTransaction, Rollback, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EditsInTransaction, Commit, true)->Unit(benchmark::kMillisecond);

void CheckPointOfDeletes(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto table = MakeIntegerTable(100000, false);
        table->SetEnableVersioning(true);
        table->First();
        for (int i = 0; i < 10000; ++i) {
            table->Delete();
            table->MoveBy(8);
        }
        state.ResumeTiming();
        table->CheckPoint();
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(CheckPointOfDeletes)->Unit(benchmark::kMillisecond)->Iterations(3);

void BlobStreamWrites(benchmark::State& state)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Note", ftMemo);
    table->CreateTable();
    table->Open();
    table->Append();
    table->Post();
    TField* note = table->FieldByName("Note");
    const std::string bytes(4096, 'n');
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i) {
            table->Edit();
            {
                std::unique_ptr<TStream> stream(table->CreateBlobStream(note, bmWrite));
                stream->WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
            }
            table->Post();
        }
    }
}
BENCHMARK(BlobStreamWrites)->Unit(benchmark::kMillisecond);

void UncontendedLock(benchmark::State& state)
{
    auto table = MakeIntegerTable(1, false);
    TzelThreadDataSet guard(nullptr);
    guard.SetDataset(table.get());
    for (auto _ : state) {
        benchmark::DoNotOptimize(guard.TryLock(0));
        guard.Unlock();
    }
}
BENCHMARK(UncontendedLock);

} // namespace
