#include "foundation/Log.h"

#include "foundation/SupportFiles.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

#include <cstring>
#include <mutex>

namespace {

// The time stamp of a line: the short date, a blank and the long time.
std::string Timbro()
{
    const TDateTime adesso = Now();
    return DateToStr(adesso) + ' ' + TimeToStr(adesso);
}

// The log files were written through a text-mode stream, which turned every line feed, also the
// one after the carriage return ending a line, into CR LF; the log viewer reads them so.
void AggiungiRiga(std::string& buffer, const std::string& timbro, const std::string& testo)
{
    buffer += timbro;
    buffer += ": ";
    for (char c : testo) {
        if (c == '\n')
            buffer += '\r';
        buffer += c;
    }
    buffer += "\r\r\n";
}

// Appends the bytes in one write; the file is created when missing. Raises when it cannot be
// opened, before anything is written.
void Accoda(const std::string& percorso, const std::string& byte)
{
    const bool esiste = FileExists(percorso);
    TFileStream file(percorso, esiste ? fmOpenWrite | fmShareDenyNone : fmCreate);
    file.Seek(0, soFromEnd);
    file.WriteBuffer(byte.data(), static_cast<int>(byte.size()));
}

BOOL VersioneDalSistema(OSVERSIONINFOEXA& info)
{
    if (info.dwOSVersionInfoSize == sizeof(OSVERSIONINFOA)) {
        OSVERSIONINFOA base{};
        base.dwOSVersionInfoSize = sizeof base;
        const BOOL risposta = GetVersionExA(&base);
        info.dwMajorVersion = base.dwMajorVersion;
        info.dwMinorVersion = base.dwMinorVersion;
        info.dwBuildNumber = base.dwBuildNumber;
        info.dwPlatformId = base.dwPlatformId;
        std::memcpy(info.szCSDVersion, base.szCSDVersion, sizeof info.szCSDVersion);
        return risposta;
    }
    return GetVersionExA(&info);
}

struct TStatoVersione {
    std::mutex Blocco;
    bool Chiesta = false;
    TVersioneSistema Versione;
    TFonteVersione Fonte = VersioneDalSistema;
};

TStatoVersione& StatoVersione()
{
    static TStatoVersione stato;
    return stato;
}

// The record's texts are not always terminated within their 128 bytes.
std::string TestoLimitato(const char* testo, size_t massimo)
{
    return std::string(testo, strnlen(testo, massimo));
}

} // namespace

TLog::TLog(const std::string& cartella)
{
    if (!DirectoryExists(cartella))
        ForceDirectoriesOrRaise(cartella);
    std::string base = cartella;
    if (base.empty() || (base.back() != '\\' && base.back() != '/'))
        base += '\\';
    FPercorso = base + "Log_" + DataPerNomeFile(Date()) + ".log";
}

void TLog::Scrivi(const std::string& testo)
{
    std::string buffer;
    AggiungiRiga(buffer, Timbro(), testo);
    Accoda(FPercorso, buffer);
}

void TLog::ScriviElenco(const TStrings& testi)
{
    const std::string timbro = Timbro();
    std::string buffer;
    for (int i = 0; i < testi.Count(); ++i)
        AggiungiRiga(buffer, timbro, testi.Strings(i));
    Accoda(FPercorso, buffer);
}

void LeggiVersioneSistema()
{
    TStatoVersione& stato = StatoVersione();
    std::lock_guard<std::mutex> guardia(stato.Blocco);
    if (stato.Chiesta)
        return;
    stato.Chiesta = true;
    stato.Versione = TVersioneSistema();

    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!stato.Fonte(info))
        return;
    stato.Versione.Letta = true;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion > 4) {
        info = OSVERSIONINFOEXA{};
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
        stato.Fonte(info);
    }
    stato.Versione.Piattaforma = info.dwPlatformId;
    stato.Versione.Maggiore = info.dwMajorVersion;
    stato.Versione.Minore = info.dwMinorVersion;
    stato.Versione.Build = info.dwBuildNumber;
    stato.Versione.ServicePack = TestoLimitato(info.szCSDVersion, sizeof info.szCSDVersion);
}

const TVersioneSistema& VersioneSistema()
{
    LeggiVersioneSistema();
    return StatoVersione().Versione;
}

std::string NomeVersioneSistema()
{
    const TVersioneSistema& versione = VersioneSistema();
    return NomeVersioneWindows(versione.Piattaforma, versione.Maggiore, versione.Minore,
                               versione.Build);
}

std::string NomeVersioneWindows(uint32_t piattaforma, uint32_t maggiore, uint32_t minore,
                                uint32_t build)
{
    const std::string sconosciuta = "unknown Windows version";
    build &= 0xFFFF;
    switch (piattaforma) {
    case VER_PLATFORM_WIN32_WINDOWS:
        if (maggiore != 4)
            return sconosciuta;
        if (minore < 10) {
            if (build == 950)
                return "Windows 95";
            if (build > 950 && build <= 1080)
                return "Windows 95 SP1";
            if (build > 1080)
                return "Windows 95 OSR2";
            return sconosciuta;
        }
        if (minore == 10) {
            if (build == 1998)
                return "Windows 98";
            if (build > 1998 && build <= 2182)
                return "Windows 98 SP1";
            if (build > 2182)
                return "Windows 98 SE";
            return sconosciuta;
        }
        if (minore == 90)
            return "Windows ME";
        return sconosciuta;
    case VER_PLATFORM_WIN32_NT:
        if (maggiore == 3 && minore == 51)
            return "Windows NT 3.51";
        if (maggiore == 4 && minore == 0)
            return "Windows NT 4";
        if (maggiore == 5 && minore == 0)
            return "Windows 2000";
        if (maggiore == 5 && minore == 1)
            return "Windows XP";
        if (maggiore == 5 && minore == 2)
            return "Windows Server 2003";
        return sconosciuta;
    case 3: // Windows CE
        return "Windows CE";
    default:
        return sconosciuta;
    }
}

void ImpostaFonteVersione(TFonteVersione fonte)
{
    TStatoVersione& stato = StatoVersione();
    std::lock_guard<std::mutex> guardia(stato.Blocco);
    stato.Fonte = fonte ? std::move(fonte) : TFonteVersione(VersioneDalSistema);
    stato.Chiesta = false;
    stato.Versione = TVersioneSistema();
}
