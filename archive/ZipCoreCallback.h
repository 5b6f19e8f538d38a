#pragma once
// The engines' side of the callback record: fills it for one action, calls the component and
// reads the answers back without ever reading past the text field.

#include "archive/ZipCoreApi.h"

#include <cstdint>
#include <string>

class TZipCoreCallback {
public:
    TZipCoreCallback(TZipCallback callback, void* handle, void* caller);

    bool Assigned() const { return FCallback != nullptr; }
    // Calls the callback for one action; true when it answered 1 (stop), which is remembered.
    bool Notify(std::uint32_t action, std::uint32_t errorCode = 0, std::uint32_t size = 0,
                const std::string& text = {});
    // Action 4.
    bool Message(std::uint32_t errorCode, const std::string& text);
    // Action 12: the name in the text, the current comment at ZCallBackCommentOffset.
    bool NotifyComment(const std::string& name, const std::string& comment);
    // Action 2, every 64 KiB of bytes done, and the rest with Flush.
    bool BytesDone(std::uint64_t count);
    bool FlushBytesDone();

    bool Stopped() const { return FStopped; }
    std::uint32_t AnswerCode() const { return FRecord.ErrorCode; }
    std::uint32_t AnswerSize() const { return FRecord.Size; }
    // The text field up to its NUL, or all of it when there is none.
    std::string AnswerText() const;

private:
    static constexpr std::uint64_t BytesDoneStep = 64 * 1024;

    TZipCallback FCallback;
    TZCallBackStruct FRecord;
    bool FStopped = false;
    std::uint64_t FBytesPending = 0;
};

// The texts of action 4 (Windows-1252).
namespace ZipCoreTexts {
std::string Added(const std::string& name, int percent);
std::string Updated(const std::string& name);
std::string Deleted(const std::string& name);
std::string Extracted(const std::string& name);
std::string Tested(const std::string& name);
std::string NameAdapted(const std::string& name);
std::string CannotRead(const std::string& path);
std::string BadArchive(const std::string& archive);
std::string CannotWriteArchive(const std::string& archive);
std::string NoMemory();
std::string NothingToDo();
std::string Stopped();
std::string Password(const std::string& name);
std::string Crc(const std::string& name);
std::string Method(int method, const std::string& name);
std::string UnsafeName(const std::string& name);
std::string CannotWriteFile(const std::string& path);
std::string BadRecord();
} // namespace ZipCoreTexts
