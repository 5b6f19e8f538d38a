#pragma once
// One block of a socket's send queue: a fixed amount of room for outgoing bytes, written at its
// end and read or removed from its start. The socket appends blocks when one is full and frees a
// block once it is empty.

#include "platform/rtl/System.h"

#include <memory>

class TBuffer : public TObject {
    TESS_CLASS(TBuffer, TObject)
public:
    // A size of 0 or less gives 1514 bytes.
    explicit TBuffer(int Size);
    ~TBuffer() override;

    // Gives the block another size. Unread data is kept; a size too small for it is refused and
    // the block stays as it was.
    void SetBufSize(int Size);
    int BufSize() const { return FBufSize; }
    // Stores as much of Data as there is room for at the end; returns the bytes stored.
    int Write(const void* Data, int Len);
    // Copies out and consumes up to Len unread bytes; returns their number.
    int Read(void* Data, int Len);
    // The unread bytes without consuming them: Len receives their number; nullptr when none.
    void* Peek(int& Len);
    // Consumes up to Len unread bytes without copying them; returns their number.
    int Remove(int Len);

private:
    // Once everything written was read, the block is used from its start again.
    void Consume(int count);

    std::unique_ptr<char[]> FBuf;
    int FBufSize = 0;
    int FWrCount = 0;
    int FRdCount = 0;
};
