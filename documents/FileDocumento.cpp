#include "documents/FileDocumento.h"

#include "archive/UnZip.h"
#include "archive/Zip.h"
#include "foundation/DataModule.h"
#include "foundation/ExceptMessage.h"
#include "foundation/SupportFiles.h"
#include "platform/os/FileApi.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"
#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include <vector>

namespace {

const char* const ARTICOLI = "Articoli.aft";
const char* const CLIENTE = "Cliente.cft";

void SegnalaFileDocumento(const std::string& messaggio, const std::string& funzione, int riga,
             const Exception* eccezione)
{
    const TThrowSite& lancio = LastThrowSite();
    const bool conLancio = eccezione != nullptr && !lancio.ClassName.empty();
    TFormExceptMessage::MostraErrore(
        messaggio, eccezione != nullptr ? eccezione->Message : std::string(), funzione, riga,
        "FileDocumento", eccezione, nullptr, conLancio ? lancio.ClassName : std::string(),
        conLancio ? NomeFileSorgente(lancio.File) : std::string(),
        conLancio ? std::to_string(lancio.Line) : std::string(), 1);
}

void EliminaMembri(const std::string& cartella)
{
    DeleteFile(cartella + ARTICOLI);
    DeleteFile(cartella + CLIENTE);
}

void EliminaEstratti(const std::vector<std::string>& estratti, const std::string& cartella)
{
    for (const std::string& file : estratti)
        DeleteFile(file);
    EliminaMembri(cartella);
}

// The document file by its name and the members that could not be read from it.
std::string MessaggioDanneggiato(const std::string& archivio, const std::vector<std::string>& membri)
{
    std::string testo = "Impossibile caricare i dati della fattura.\nIl file \"" +
                        ExtractFileName(archivio) + "\" \xE8 danneggiato";
    for (size_t i = 0; i < membri.size(); ++i)
        testo += (i == 0 ? ": non si possono leggere " : ", ") + membri[i];
    return testo + ".";
}

void SegnalaDanneggiato(const std::string& messaggio, const std::string& segnalazioni, int riga)
{
    TFormExceptMessage::MostraErrore(messaggio, segnalazioni, "EstraiFileFattura", riga,
                                     "FileDocumento", nullptr, nullptr, "", "", "", 1);
}

// A staged file is scratch: it needs no flush to disk, only the document file does.
void SalvaInTemp(TzelMemTable* tabella, const std::string& percorso)
{
    TMemoryStream dati;
    tabella->SaveToStreamViaFormat(&dati, DC->SaveFormat);
    TFileStream file(percorso, fmCreate);
    file.WriteBuffer(dati.Memory(), static_cast<int>(dati.Size()));
}

} // namespace

bool EstraiFileFatturaInTemp(const std::string& percorsoFattura)
{
    return EstraiFileFattura(percorsoFattura, CartellaTemp(), true);
}

bool EstraiFileFattura(const std::string& archivio, const std::string& cartella, bool messaggi)
{
    const std::string messaggio = messaggi ? "Impossibile caricare i dati della fattura." : "";
    try {
        EliminaMembri(cartella);
        if (!FileExists(archivio))
            return true;
        TUnZip unzip(nullptr);
        unzip.SetArcName(archivio);
        unzip.SetExtrPath(cartella);
        unzip.Overwrite = true;
        unzip.StagingFolder = true;
        // The archive's own reports go into the one message of the load, not a box each.
        std::string segnalazioni;
        unzip.OnError = [&segnalazioni](TObject*, const std::string& testo) {
            segnalazioni += (segnalazioni.empty() ? "" : "\n") + testo;
        };
        const bool estratto = unzip.Extract();
        if (estratto && unzip.DamagedCount() == 0)
            return true;
        // A document with a damaged member must not be loaded in part: nothing of it stays.
        EliminaEstratti(unzip.ExtractedFiles(), cartella);
        const bool danneggiato = unzip.DamagedCount() > 0;
        SegnalaDanneggiato(messaggi && danneggiato ? MessaggioDanneggiato(archivio, unzip.DamagedMembers())
                                                   : messaggio,
                           segnalazioni, __LINE__);
        return false;
    } catch (const Exception& e) {
        EliminaMembri(cartella);
        SegnalaFileDocumento(messaggio, "EstraiFileFattura", __LINE__, &e);
    } catch (const std::exception&) {
        EliminaMembri(cartella);
        SegnalaFileDocumento(messaggio, "EstraiFileFattura", __LINE__, nullptr);
    }
    return false;
}

bool ComprimiFileFatturaDaTemp(const std::string& percorsoFattura)
{
    return ComprimiFileFattura(percorsoFattura, CartellaTemp(), true);
}

bool ComprimiFileFattura(const std::string& archivio, const std::string& cartella, bool messaggi)
{
    const std::string messaggio = messaggi ? "Impossibile salvare i dati della fattura." : "";
    // Hidden, so that it is never taken for a document.
    const std::string temporaneo = NomeTemporaneoAccanto(archivio);
    try {
        SalvaInTemp(DC->TabellaArticoliInFattura, cartella + ARTICOLI);
        SalvaInTemp(DC->TabellaClienteInFattura, cartella + CLIENTE);
        TZip zip(nullptr);
        zip.SetArcName(temporaneo);
        zip.Files()->Clear();
        zip.Files()->Add(cartella + ARTICOLI);
        zip.Files()->Add(cartella + CLIENTE);
        zip.Overwrite = true;
        // The document is replaced only by a complete archive.
        if (zip.Compress() &&
            MoveFileExA(temporaneo.c_str(), archivio.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            EliminaMembri(cartella);
            return true;
        }
        DeleteFile(temporaneo);
        SegnalaFileDocumento(messaggio, "ComprimiFileFattura", __LINE__, nullptr);
        return false;
    } catch (const Exception& e) {
        DeleteFile(temporaneo);
        SegnalaFileDocumento(messaggio, "ComprimiFileFattura", __LINE__, &e);
    } catch (const std::exception&) {
        DeleteFile(temporaneo);
        SegnalaFileDocumento(messaggio, "ComprimiFileFattura", __LINE__, nullptr);
    }
    return false;
}
