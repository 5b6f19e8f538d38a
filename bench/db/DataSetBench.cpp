// Scrolling a 100 000-record array-backed data set through the framework, with one data link of
// 20 buffers, and reading ten fields per record.

#include "platform/db/DB.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int RowCount = 100000;

// Records of fixed layout: per field a status byte and the native value. The buffer adds the
// record number and the bookmark flag.
class TArrayDataSet : public TDataSet {
public:
    explicit TArrayDataSet(TComponent* owner) : TDataSet(owner) {}
    ~TArrayDataSet() override { Close(); }

    void Fill()
    {
        InternalInitFieldDefs();
        Layout();
        FRows.assign(static_cast<std::size_t>(RowCount) * static_cast<std::size_t>(FRecordSize), 0);
        for (int row = 0; row < RowCount; ++row) {
            char* record = FRows.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(FRecordSize);
            for (int field = 0; field < 10; ++field) {
                char* slot = record + FOffsets[static_cast<std::size_t>(field)];
                slot[0] = 2;
                if (field % 2 == 0) {
                    const std::string text = "Text " + std::to_string(row);
                    std::memcpy(slot + 1, text.data(), text.size());
                } else {
                    const double value = row * 0.25 + field;
                    std::memcpy(slot + 1, &value, sizeof value);
                }
            }
        }
    }

    bool GetFieldData(TField* Field, void* Buffer) override
    {
        TRecordBuffer record = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
        if (!record || IsEmpty())
            return false;
        const char* slot = record + FOffsets[static_cast<std::size_t>(Field->FieldNo() - 1)];
        if (slot[0] == 0)
            return false;
        if (Buffer)
            std::memcpy(Buffer, slot + 1, static_cast<std::size_t>(Field->DataSize()));
        return true;
    }

protected:
    TRecordBuffer AllocRecordBuffer() override { return new char[static_cast<std::size_t>(FRecordSize + 5)](); }
    void FreeRecordBuffer(TRecordBuffer& Buffer) override
    {
        delete[] Buffer;
        Buffer = nullptr;
    }
    void GetBookmarkData(TRecordBuffer Buffer, void* Data) override
    {
        std::memcpy(Data, Buffer + FRecordSize, sizeof(int));
    }
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override
    {
        return static_cast<TBookmarkFlag>(Buffer[FRecordSize + 4]);
    }
    void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override
    {
        Buffer[FRecordSize + 4] = static_cast<char>(Value);
    }
    void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override
    {
        std::memcpy(Buffer + FRecordSize, Data, sizeof(int));
    }
    TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool) override
    {
        if (GetMode == gmNext)
            ++FCursor;
        else if (GetMode == gmPrior)
            --FCursor;
        if (FCursor < 0) {
            FCursor = -1;
            return grBOF;
        }
        if (FCursor >= RowCount) {
            FCursor = RowCount;
            return grEOF;
        }
        std::memcpy(Buffer, FRows.data() + static_cast<std::size_t>(FCursor) * static_cast<std::size_t>(FRecordSize),
                    static_cast<std::size_t>(FRecordSize));
        std::memcpy(Buffer + FRecordSize, &FCursor, sizeof(int));
        Buffer[FRecordSize + 4] = bfCurrent;
        return grOK;
    }
    void InternalAddRecord(TRecordBuffer, bool) override {}
    void InternalClose() override { FOpen = false; }
    void InternalDelete() override {}
    void InternalFirst() override { FCursor = -1; }
    void InternalGotoBookmark(const TBookmark& Bookmark) override
    {
        std::memcpy(&FCursor, Bookmark.data(), sizeof(int));
    }
    void InternalInitFieldDefs() override
    {
        FieldDefs().Clear();
        for (int field = 0; field < 10; ++field)
            FieldDefs().Add("F" + std::to_string(field), field % 2 == 0 ? ftString : ftFloat,
                            field % 2 == 0 ? 20 : 0);
    }
    void InternalInitRecord(TRecordBuffer Buffer) override
    {
        std::memset(Buffer, 0, static_cast<std::size_t>(FRecordSize));
    }
    void InternalLast() override { FCursor = RowCount; }
    void InternalOpen() override
    {
        InternalInitFieldDefs();
        Layout();
        SetBookmarkSize(sizeof(int));
        FCursor = -1;
        FOpen = true;
    }
    void InternalSetToRecord(TRecordBuffer Buffer) override
    {
        std::memcpy(&FCursor, Buffer + FRecordSize, sizeof(int));
    }
    bool IsCursorOpen() override { return FOpen; }

private:
    void Layout()
    {
        FOffsets.clear();
        FRecordSize = 0;
        for (int field = 0; field < 10; ++field) {
            FOffsets.push_back(FRecordSize);
            FRecordSize += 1 + (field % 2 == 0 ? 21 : 8);
        }
    }

    std::vector<char> FRows;
    std::vector<int> FOffsets;
    int FRecordSize = 0;
    int FCursor = -1;
    bool FOpen = false;
};

class TGridLink : public TDataLink {};

struct TFixture {
    TFixture()
    {
        Data->Fill();
        Link.SetBufferCount(20);
        Link.SetDataSource(&Source);
        Source.SetDataSet(Data);
        Data->Open();
    }
    std::unique_ptr<TComponent> Owner = std::make_unique<TComponent>(nullptr);
    TArrayDataSet* Data = new TArrayDataSet(Owner.get());
    TDataSource Source{nullptr};
    TGridLink Link;
};

void BM_ScrollFirstToLast(benchmark::State& state)
{
    TFixture fixture;
    for (auto _ : state) {
        int steps = 0;
        for (fixture.Data->First(); !fixture.Data->Eof(); fixture.Data->Next())
            ++steps;
        benchmark::DoNotOptimize(steps);
    }
}
BENCHMARK(BM_ScrollFirstToLast)->Unit(benchmark::kMillisecond);

void BM_ScrollReadingTenFields(benchmark::State& state)
{
    TFixture fixture;
    std::vector<TField*> fields;
    for (int i = 0; i < 10; ++i)
        fields.push_back(fixture.Data->Fields()[i]);
    for (auto _ : state) {
        std::size_t length = 0;
        double sum = 0;
        for (fixture.Data->First(); !fixture.Data->Eof(); fixture.Data->Next()) {
            for (int i = 0; i < 10; i += 2) {
                length += fields[static_cast<std::size_t>(i)]->AsString().size();
                sum += fields[static_cast<std::size_t>(i) + 1]->AsFloat();
            }
        }
        benchmark::DoNotOptimize(length);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ScrollReadingTenFields)->Unit(benchmark::kMillisecond);

} // namespace
