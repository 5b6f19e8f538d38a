#pragma once
// A data set kept in arrays for the data-grid tests: Numero (integer), Cliente (string 40),
// Importo (float) and Pagato (boolean), record n holding n, "Cliente n", n * 1.5 and n even;
// with a picture column also Foto (graphic blob), empty until written. It counts the records
// fetched. Cliente can be edited and posted; the other fields are read only.

#include "platform/db/DB.h"

#include <string>
#include <unordered_map>
#include <vector>

class TGridDataSet : public TDataSet {
    TESS_CLASS(TGridDataSet, TDataSet)
public:
    TGridDataSet(TComponent* AOwner, int records, bool withPicture = false);
    // The framework's buffers are freed by closing; a data set deleted while open must close here.
    ~TGridDataSet() override;

    int Fetched = 0;
    // Leaves Importo out of the fields at the next open (a table whose structure changed).
    bool WithoutImporto = false;
    // Removes record number id without the data set knowing (as another user would).
    void DropRecord(int id);

    bool GetFieldData(TField* Field, void* Buffer) override;
    void SetFieldData(TField* Field, const void* Buffer) override;
    // Cliente as stored for record number id.
    std::string StoredCliente(int id) const;
    bool BookmarkValid(const TBookmark& bookmark) override;
    int CompareBookmarks(const TBookmark& bookmark1, const TBookmark& bookmark2) override;
    void SetRecNo(int Value) override;
    TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
    // The bytes of the current record's picture, and a way to put raw bytes there.
    std::string& BlobOfCurrent();

protected:
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& Buffer) override;
    void GetBookmarkData(TRecordBuffer Buffer, void* Data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override;
    void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
    void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
    TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
    void InternalAddRecord(TRecordBuffer Buffer, bool Append) override;
    void InternalClose() override;
    void InternalDelete() override;
    void InternalFirst() override;
    void InternalGotoBookmark(const TBookmark& Bookmark) override;
    void InternalInitFieldDefs() override;
    void InternalInitRecord(TRecordBuffer Buffer) override;
    void InternalLast() override;
    void InternalOpen() override;
    void InternalPost() override;
    void InternalSetToRecord(TRecordBuffer Buffer) override;
    bool IsCursorOpen() override { return FOpen; }
    int GetRecordCount() override { return static_cast<int>(FIds.size()); }
    int GetRecNo() override;

private:
    int Position(int id) const;
    void Reindex();

    std::vector<int> FIds;
    std::unordered_map<int, std::string> FBlobs;
    std::unordered_map<int, std::string> FClienti;
    // What each field number holds: 1 Numero, 2 Cliente, 3 Importo, 4 Pagato, 5 Foto.
    std::vector<int> FKinds;
    bool FWithPicture = false;
    std::unordered_map<int, int> FPositions;
    int FCursor = -1;
    int FNextId = 1;
    bool FOpen = false;
};
