#include "archive/ZipCoreCallback.h"

#include <algorithm>
#include <cstring>

namespace {

void CopyText(char* to, std::size_t room, const std::string& text)
{
    const std::size_t length = std::min(text.size(), room - 1);
    std::memcpy(to, text.data(), length);
    std::memset(to + length, 0, room - length);
}

} // namespace

TZipCoreCallback::TZipCoreCallback(TZipCallback callback, void* handle, void* caller)
    : FCallback(callback)
{
    FRecord.Handle = handle;
    FRecord.Caller = caller;
}

bool TZipCoreCallback::Notify(std::uint32_t action, std::uint32_t errorCode, std::uint32_t size,
                              const std::string& text)
{
    FRecord.ActionCode = action;
    FRecord.ErrorCode = errorCode;
    FRecord.Size = size;
    CopyText(FRecord.Text, sizeof FRecord.Text, text);
    if (FCallback != nullptr && FCallback(&FRecord) == 1)
        FStopped = true;
    return FStopped;
}

bool TZipCoreCallback::Message(std::uint32_t errorCode, const std::string& text)
{
    return Notify(ZipCoreApi::zcaMessage, errorCode, 0, text);
}

bool TZipCoreCallback::NotifyComment(const std::string& name, const std::string& comment)
{
    FRecord.ActionCode = ZipCoreApi::zcaFileComment;
    FRecord.ErrorCode = 0;
    FRecord.Size = static_cast<std::uint32_t>(std::min<std::size_t>(comment.size(), ZCallBackTextSize - 1));
    CopyText(FRecord.Text, ZCallBackCommentOffset, name);
    CopyText(FRecord.Text + ZCallBackCommentOffset, ZCallBackTextSize - ZCallBackCommentOffset, comment);
    if (FCallback != nullptr && FCallback(&FRecord) == 1)
        FStopped = true;
    return FStopped;
}

bool TZipCoreCallback::BytesDone(std::uint64_t count)
{
    FBytesPending += count;
    while (FBytesPending >= BytesDoneStep) {
        FBytesPending -= BytesDoneStep;
        if (Notify(ZipCoreApi::zcaBytesDone, 0, static_cast<std::uint32_t>(BytesDoneStep)))
            return true;
    }
    return FStopped;
}

bool TZipCoreCallback::FlushBytesDone()
{
    if (FBytesPending == 0)
        return FStopped;
    const std::uint32_t rest = static_cast<std::uint32_t>(FBytesPending);
    FBytesPending = 0;
    return Notify(ZipCoreApi::zcaBytesDone, 0, rest);
}

std::string TZipCoreCallback::AnswerText() const
{
    return std::string(FRecord.Text, strnlen(FRecord.Text, sizeof FRecord.Text));
}

namespace ZipCoreTexts {

std::string Added(const std::string& name, int percent)
{
    return "  aggiunto: " + name + " (compresso " + std::to_string(percent) + "%)";
}

std::string Updated(const std::string& name)
{
    return "  aggiornato: " + name;
}

std::string Deleted(const std::string& name)
{
    return "  eliminato: " + name;
}

std::string Extracted(const std::string& name)
{
    return "  estratto: " + name;
}

std::string Tested(const std::string& name)
{
    return "  verificato: " + name + " OK";
}

std::string NameAdapted(const std::string& name)
{
    return "  nome adattato: " + name;
}

std::string CannotRead(const std::string& path)
{
    return "Impossibile leggere il file: " + path;
}

std::string BadArchive(const std::string& archive)
{
    return "Archivio non valido o danneggiato: " + archive;
}

std::string CannotWriteArchive(const std::string& archive)
{
    return "Impossibile scrivere l'archivio: " + archive;
}

std::string NoMemory()
{
    return "Memoria insufficiente";
}

std::string NothingToDo()
{
    return "Nessun file da elaborare";
}

std::string Stopped()
{
    return "Operazione annullata";
}

std::string Password(const std::string& name)
{
    return "Password mancante o errata: " + name;
}

std::string Crc(const std::string& name)
{
    return "Errore di CRC: " + name;
}

std::string Method(int method, const std::string& name)
{
    return "Metodo di compressione non supportato (" + std::to_string(method) + "): " + name;
}

std::string UnsafeName(const std::string& name)
{
    return "Nome non ammesso: " + name;
}

std::string CannotWriteFile(const std::string& path)
{
    return "Impossibile scrivere il file: " + path;
}

std::string BadRecord()
{
    return "Record di comando non valido";
}

} // namespace ZipCoreTexts
