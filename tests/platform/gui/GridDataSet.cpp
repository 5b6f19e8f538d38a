#include "GridDataSet.h"

#include "platform/rtl/Streams.h"

#include <cstring>
#include <string>

namespace {

// A blob read from or written to a record; what is written is stored when the stream closes.
class TRecordBlobStream : public TStringStream {
public:
    TRecordBlobStream(std::string* target, std::string bytes, bool writing)
        : TStringStream(writing ? std::string() : std::move(bytes)), FTarget(target), FWriting(writing)
    {
    }
    ~TRecordBlobStream() override
    {
        if (FWriting)
            *FTarget = DataString();
    }

private:
    std::string* FTarget;
    bool FWriting;
};

struct TBufferData {
    int Id = 0;
    int Flag = bfCurrent;
    // Cliente while the record is edited.
    bool ClienteEdited = false;
    std::string Cliente;
};

TBufferData& Data(TRecordBuffer buffer) { return *reinterpret_cast<TBufferData*>(buffer); }

} // namespace

TGridDataSet::TGridDataSet(TComponent* AOwner, int records, bool withPicture)
    : TDataSet(AOwner), FWithPicture(withPicture)
{
    for (int i = 0; i < records; ++i)
        FIds.push_back(FNextId++);
    Reindex();
}

void TGridDataSet::Reindex()
{
    FPositions.clear();
    for (std::size_t i = 0; i < FIds.size(); ++i)
        FPositions[FIds[i]] = static_cast<int>(i);
}

int TGridDataSet::Position(int id) const
{
    auto found = FPositions.find(id);
    return found == FPositions.end() ? -1 : found->second;
}

void TGridDataSet::DropRecord(int id)
{
    const int position = Position(id);
    if (position < 0)
        return;
    FIds.erase(FIds.begin() + position);
    Reindex();
}

TRecordBuffer TGridDataSet::AllocRecordBuffer() { return reinterpret_cast<TRecordBuffer>(new TBufferData()); }

void TGridDataSet::FreeRecordBuffer(TRecordBuffer& Buffer)
{
    delete reinterpret_cast<TBufferData*>(Buffer);
    Buffer = nullptr;
}

void TGridDataSet::GetBookmarkData(TRecordBuffer Buffer, void* Data_)
{
    std::memcpy(Data_, &Data(Buffer).Id, sizeof(int));
}

TBookmarkFlag TGridDataSet::GetBookmarkFlag(TRecordBuffer Buffer)
{
    return static_cast<TBookmarkFlag>(Data(Buffer).Flag);
}

void TGridDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) { Data(Buffer).Flag = Value; }

void TGridDataSet::SetBookmarkData(TRecordBuffer Buffer, const void* Data_)
{
    std::memcpy(&Data(Buffer).Id, Data_, sizeof(int));
}

TGetResult TGridDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool)
{
    const int count = static_cast<int>(FIds.size());
    switch (GetMode) {
    case gmCurrent:
        if (FCursor < 0)
            return grBOF;
        if (FCursor >= count)
            return grEOF;
        break;
    case gmNext:
        if (FCursor + 1 >= count) {
            FCursor = count;
            return grEOF;
        }
        ++FCursor;
        break;
    case gmPrior:
        if (FCursor - 1 < 0) {
            FCursor = -1;
            return grBOF;
        }
        --FCursor;
        break;
    }
    ++Fetched;
    Data(Buffer) = TBufferData();
    Data(Buffer).Id = FIds[static_cast<std::size_t>(FCursor)];
    return grOK;
}

bool TGridDataSet::GetFieldData(TField* Field, void* Buffer)
{
    if (IsEmpty() || !ActiveBuffer())
        return false;
    const int id = Data(ActiveBuffer()).Id;
    if (id <= 0)
        return false;
    if (!Buffer)
        return true;
    const int number = Field->FieldNo();
    const int kind = number > 0 && number < static_cast<int>(FKinds.size()) ? FKinds[static_cast<std::size_t>(number)] : 0;
    switch (kind) {
    case 1: {
        const std::int32_t value = id;
        std::memcpy(Buffer, &value, sizeof value);
        break;
    }
    case 2: {
        const TBufferData& data = Data(ActiveBuffer());
        const std::string text = data.ClienteEdited ? data.Cliente : StoredCliente(id);
        std::memcpy(Buffer, text.c_str(), text.size() + 1);
        break;
    }
    case 3: {
        const double value = id * 1.5;
        std::memcpy(Buffer, &value, sizeof value);
        break;
    }
    case 4: {
        const std::int16_t value = id % 2 == 0 ? -1 : 0;
        std::memcpy(Buffer, &value, sizeof value);
        break;
    }
    default:
        return false;
    }
    return true;
}

std::string TGridDataSet::StoredCliente(int id) const
{
    auto found = FClienti.find(id);
    return found != FClienti.end() ? found->second : "Cliente " + std::to_string(id);
}

void TGridDataSet::SetFieldData(TField* Field, const void* Buffer)
{
    if (State() != dsEdit && State() != dsInsert)
        DatabaseError("Dataset is not in edit mode.", this);
    if (Field->FieldName() != "Cliente")
        DatabaseError("Field is read only", this);
    TBufferData& data = Data(ActiveBuffer());
    data.ClienteEdited = true;
    data.Cliente = Buffer ? static_cast<const char*>(Buffer) : "";
    DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(Field));
}

void TGridDataSet::InternalPost()
{
    const TBufferData& data = Data(ActiveBuffer());
    if (State() == dsEdit && data.ClienteEdited)
        FClienti[data.Id] = data.Cliente;
}

void TGridDataSet::InternalAddRecord(TRecordBuffer, bool Append)
{
    const int position = Append ? static_cast<int>(FIds.size()) : std::max(0, FCursor);
    FIds.insert(FIds.begin() + position, FNextId++);
    Reindex();
    FCursor = position;
}

TGridDataSet::~TGridDataSet()
{
    Close();
}

void TGridDataSet::InternalClose() { FOpen = false; }

void TGridDataSet::InternalDelete()
{
    FIds.erase(FIds.begin() + FCursor);
    Reindex();
}

void TGridDataSet::InternalFirst() { FCursor = -1; }
void TGridDataSet::InternalLast() { FCursor = static_cast<int>(FIds.size()); }

void TGridDataSet::InternalGotoBookmark(const TBookmark& Bookmark)
{
    int id = 0;
    std::memcpy(&id, Bookmark.data(), sizeof id);
    const int position = Position(id);
    if (position < 0)
        DatabaseError("Record not found", this);
    FCursor = position;
}

void TGridDataSet::InternalInitFieldDefs()
{
    FieldDefs().Clear();
    FKinds = {0, 1, 2};
    FieldDefs().Add("Numero", ftInteger);
    FieldDefs().Add("Cliente", ftString, 40);
    if (!WithoutImporto) {
        FieldDefs().Add("Importo", ftFloat);
        FKinds.push_back(3);
    }
    FieldDefs().Add("Pagato", ftBoolean);
    FKinds.push_back(4);
    if (FWithPicture) {
        FieldDefs().Add("Foto", ftGraphic);
        FKinds.push_back(5);
    }
}

void TGridDataSet::InternalInitRecord(TRecordBuffer Buffer) { Data(Buffer) = TBufferData(); }

void TGridDataSet::InternalOpen()
{
    InternalInitFieldDefs();
    if (DefaultFields())
        CreateFields();
    BindFields(true);
    SetBookmarkSize(sizeof(int));
    FCursor = -1;
    FOpen = true;
}

void TGridDataSet::InternalSetToRecord(TRecordBuffer Buffer)
{
    const int position = Position(Data(Buffer).Id);
    if (position >= 0)
        FCursor = position;
}

int TGridDataSet::GetRecNo()
{
    if (!Active() || IsEmpty())
        return -1;
    const int position = Position(Data(ActiveBuffer()).Id);
    return position < 0 ? -1 : position + 1;
}

void TGridDataSet::SetRecNo(int Value)
{
    const int current = RecNo();
    if (Value <= 0 || Value > static_cast<int>(FIds.size()) || Value == current)
        return;
    MoveBy(Value - current);
}

bool TGridDataSet::BookmarkValid(const TBookmark& bookmark)
{
    if (bookmark.size() != sizeof(int))
        return false;
    int id = 0;
    std::memcpy(&id, bookmark.data(), sizeof id);
    return Position(id) >= 0;
}

int TGridDataSet::CompareBookmarks(const TBookmark& bookmark1, const TBookmark& bookmark2)
{
    int id1 = 0, id2 = 0;
    if (bookmark1.size() == sizeof(int))
        std::memcpy(&id1, bookmark1.data(), sizeof id1);
    if (bookmark2.size() == sizeof(int))
        std::memcpy(&id2, bookmark2.data(), sizeof id2);
    // Ids grow with the position, so records that are gone still compare in order.
    return id1 < id2 ? -1 : id1 > id2 ? 1 : 0;
}

std::string& TGridDataSet::BlobOfCurrent() { return FBlobs[Data(ActiveBuffer()).Id]; }

TStream* TGridDataSet::CreateBlobStream(TField*, TBlobStreamMode Mode)
{
    std::string& blob = BlobOfCurrent();
    return new TRecordBlobStream(&blob, blob, Mode != bmRead);
}
