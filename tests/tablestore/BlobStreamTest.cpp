// The blob stream of the memory table: reading, writing back, the compression hooks and the
// buffer's blocks across post and cancel.

#include "MemTableTestSupport.h"

#include "platform/rtl/Classes.h"
#include "platform/rtl/Streams.h"
#include "tablestore/zelBlobStream.h"

namespace {

std::unique_ptr<TzelMemTable> MakeMemoTable()
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Numero", ftInteger);
    table->FieldDefs().Add("Note", ftMemo);
    table->CreateTable();
    table->Open();
    table->Append();
    table->FieldByName("Numero")->SetAsInteger(1);
    table->FieldByName("Note")->SetAsString("vecchio");
    table->Post();
    return table;
}

std::string ReadStream(TDataSet& table, TField* field)
{
    std::unique_ptr<TStream> stream(table.CreateBlobStream(field, bmRead));
    std::string bytes(static_cast<std::size_t>(stream->Size()), '\0');
    if (!bytes.empty())
        stream->ReadBuffer(bytes.data(), static_cast<int>(bytes.size()));
    return bytes;
}

void WriteStream(TDataSet& table, TField* field, const std::string& bytes)
{
    std::unique_ptr<TStream> stream(table.CreateBlobStream(field, bmWrite));
    if (!bytes.empty())
        stream->WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
}

std::string StoredNote(TzelMemTable& table)
{
    return table.StoredBlobValue(table.Common()->Records(0), table.FieldByName("Note"));
}

} // namespace

TEST(BlobStream, EmptyWriteMakesTheFieldNull)
{
    auto table = MakeMemoTable();
    TField* note = table->FieldByName("Note");
    table->Edit();
    WriteStream(*table, note, "");
    table->Post();
    EXPECT_TRUE(note->IsNull());
}

TEST(BlobStream, BufferAndStoredRecordUntilThePost)
{
    auto table = MakeMemoTable();
    TField* note = table->FieldByName("Note");
    EXPECT_EQ(ReadStream(*table, note), "vecchio");
    table->Edit();
    WriteStream(*table, note, "nuovo");
    EXPECT_TRUE(table->Modified());
    EXPECT_EQ(ReadStream(*table, note), "nuovo");
    EXPECT_EQ(StoredNote(*table), "vecchio");
    table->Cancel();
    EXPECT_EQ(note->AsString(), "vecchio");
    EXPECT_EQ(StoredNote(*table), "vecchio");
    table->Edit();
    note->SetAsString("nuovo");
    table->Post();
    EXPECT_EQ(StoredNote(*table), "nuovo");
    EXPECT_EQ(note->AsString(), "nuovo");
}

TEST(BlobStream, WriteChecks)
{
    auto table = MakeMemoTable();
    TField* note = table->FieldByName("Note");
    ExpectFailure([&] { std::unique_ptr<TStream>(table->CreateBlobStream(note, bmWrite)); },
                  "EDatabaseError", "Dataset is not in edit mode.");
    ExpectFailure([&] { std::unique_ptr<TStream>(table->CreateBlobStream(note, bmReadWrite)); },
                  "EDatabaseError", "Dataset is not in edit mode.");
    note->SetReadOnly(true);
    table->Edit();
    ExpectFailure([&] { std::unique_ptr<TStream>(table->CreateBlobStream(note, bmWrite)); },
                  "EDatabaseError", "Field Note is read only");
    table->SetIgnoreReadOnly(true);
    WriteStream(*table, note, "caricato");
    table->Post();
    table->SetIgnoreReadOnly(false);
    EXPECT_EQ(note->AsString(), "caricato");
}

TEST(BlobStream, CompressionHooks)
{
    auto table = MakeMemoTable();
    TField* note = table->FieldByName("Note");
    auto xorCopy = [](TDataSet*, TStream* source, TStream* target) {
        source->SetPosition(0);
        std::string bytes(static_cast<std::size_t>(source->Size()), '\0');
        if (!bytes.empty())
            source->ReadBuffer(bytes.data(), static_cast<int>(bytes.size()));
        for (char& c : bytes)
            c = static_cast<char>(c ^ 0x5A);
        if (!bytes.empty())
            target->WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    };
    table->OnCompressBlobStream = xorCopy;
    table->OnDecompressBlobStream = xorCopy;
    table->Edit();
    note->SetAsString("abc");
    table->Post();
    std::string expected = "abc";
    for (char& c : expected)
        c = static_cast<char>(c ^ 0x5A);
    table->OnDecompressBlobStream = nullptr;
    EXPECT_EQ(ReadStream(*table, note), expected);
    table->OnDecompressBlobStream = xorCopy;
    EXPECT_EQ(note->AsString(), "abc");

    // A failing hook is shown, not raised, when the stream is freed.
    std::vector<std::string> shown;
    const TApplicationExceptionHandler previous = SetApplicationExceptionHandler(
        [&](TObject*, const Exception& e) { shown.push_back(e.Message); });
    table->OnCompressBlobStream = [](TDataSet*, TStream*, TStream*) {
        throw EMemTableError("compressione fallita");
    };
    table->Edit();
    EXPECT_NO_THROW(WriteStream(*table, note, "xyz"));
    SetApplicationExceptionHandler(previous);
    table->Cancel();
    EXPECT_EQ(shown, (std::vector<std::string>{"compressione fallita"}));
}

TEST(BlobStream, CancelFreesTheBuffersBlock)
{
    auto table = MakeMemoTable();
    TField* note = table->FieldByName("Note");
    table->Append();
    WriteStream(*table, note, std::string(1000, 'x'));
    table->Cancel();
    table->Edit();
    WriteStream(*table, note, std::string(1000, 'y'));
    table->CloseBlob(note);
    EXPECT_EQ(note->AsString(), std::string(1000, 'y'));
    table->Cancel();
    EXPECT_EQ(StoredNote(*table), "vecchio");
    EXPECT_EQ(table->RecordCount(), 1);
    // An insert cancelled on an empty table leaves no block behind either.
    auto empty = std::make_unique<TzelMemTable>(nullptr);
    empty->FieldDefs().Add("Note", ftMemo);
    empty->CreateTable();
    empty->Open();
    empty->Append();
    WriteStream(*empty, empty->FieldByName("Note"), "perso");
    empty->Cancel();
    EXPECT_EQ(empty->RecordCount(), 0);
}
