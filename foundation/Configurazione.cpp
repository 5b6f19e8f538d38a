#include "foundation/Configurazione.h"

#include "foundation/SecHash.h"
#include "foundation/SimpleCrypt.h"
#include "foundation/SupportFiles.h"
#include "platform/os/IniFiles.h"
#include "platform/rtl/Files.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

namespace {

const char* const ChiaveFissa = "Kq47VdT#u9Xe&mPr";

// One store per process: exactly one of the two accessors exists once it is initialised.
struct TStatoConfigurazione {
    uint8_t Modo = 0;
    std::string Nome;
    std::string FileIni;
    std::string Chiave;
    std::string FileChiave = "Support.dat";
    std::unique_ptr<TIniFile> Ini;
    std::unique_ptr<TRegistry> Registro;
};

// Calls do not interleave: the registry accessor keeps one open key between its steps.
std::recursive_mutex& Guardia()
{
    static std::recursive_mutex guardia;
    return guardia;
}

TStatoConfigurazione& Stato()
{
    static TStatoConfigurazione stato;
    return stato;
}

std::vector<std::string> PartiDelPercorso(const std::string& percorso)
{
    std::vector<std::string> parti;
    size_t inizio = 0;
    for (;;) {
        const size_t virgola = percorso.find(',', inizio);
        parti.push_back(percorso.substr(inizio, virgola - inizio));
        if (virgola == std::string::npos)
            return parti;
        inizio = virgola + 1;
    }
}

std::string Esadecimale8(uint32_t valore)
{
    char testo[9];
    std::snprintf(testo, sizeof testo, "%08X", static_cast<unsigned>(valore));
    return testo;
}

// The key file's words, each 0x0A byte written as 0D 0A as a text-mode file stores it.
std::string ContenutoFileSupporto()
{
    std::random_device casuale;
    std::uniform_int_distribution<uint32_t> numeroParole(0, 511);
    std::uniform_int_distribution<uint32_t> parola(0, 23653);
    const uint32_t parole = 1024 + numeroParole(casuale);
    std::string byte;
    byte.reserve(parole * 6);
    for (uint32_t i = 0; i < parole; ++i) {
        const uint32_t valore = 50 + parola(casuale);
        for (int b = 0; b < 4; ++b) {
            const char c = static_cast<char>((valore >> (8 * b)) & 0xFF);
            if (c == '\n')
                byte += '\r';
            byte += c;
        }
    }
    return byte;
}

} // namespace

void InizializzaConfigurazione(const std::string& nome, uint8_t modo)
{
    std::lock_guard<std::recursive_mutex> blocco(Guardia());
    TStatoConfigurazione& stato = Stato();
    stato = TStatoConfigurazione{};
    stato.Modo = modo;
    stato.Nome = nome;
    if (modo == 1) {
        const std::string percorso = SottocartellaApplicazione("Config") + nome + ".ini";
        const std::string cartella = ExtractFilePath(percorso);
        if (!DirectoryExists(cartella))
            ForceDirectoriesOrRaise(cartella);
        stato.Ini = std::make_unique<TIniFile>(percorso);
        stato.FileIni = percorso;
    } else {
        stato.Chiave = "Software\\" + nome + "\\";
        stato.Registro = std::make_unique<TRegistry>();
        stato.Registro->SetRootKey(HKEY_CURRENT_USER);
    }
    CreaFileSupporto(stato.FileChiave);
}

uint8_t ModoConfigurazione()
{
    std::lock_guard<std::recursive_mutex> blocco(Guardia());
    return Stato().Modo;
}

std::string PercorsoFileIni()
{
    std::lock_guard<std::recursive_mutex> blocco(Guardia());
    return Stato().FileIni;
}

std::string ChiaveRegistro()
{
    std::lock_guard<std::recursive_mutex> blocco(Guardia());
    return Stato().Chiave;
}

std::string LeggiImpostazione(const std::string& sezione, const std::string& nome, const std::string& predefinito)
{
    std::lock_guard<std::recursive_mutex> blocco(Guardia());
    TStatoConfigurazione& stato = Stato();
    try {
        if (stato.Ini) {
            const std::string valore = stato.Ini->ReadString(sezione, nome, "");
            return valore.empty() ? predefinito : valore;
        }
        if (stato.Registro)
            return LeggiDaRegistro(sezione, nome, predefinito);
    } catch (...) {
    }
    return predefinito;
}

bool ScriviImpostazione(const std::string& sezione, const std::string& nome, const std::string& valore)
{
    std::lock_guard<std::recursive_mutex> blocco(Guardia());
    TStatoConfigurazione& stato = Stato();
    try {
        if (stato.Ini) {
            stato.Ini->WriteString(sezione, nome, valore);
            return true;
        }
        if (stato.Registro)
            return ScriviInRegistro(sezione, nome, valore);
    } catch (...) {
    }
    return false;
}

int ApriChiaviRegistro(const std::string& percorso, HKEY radice, bool creaChiavi)
{
    std::lock_guard<std::recursive_mutex> blocco(Guardia());
    TRegistry* registro = Stato().Registro.get();
    if (registro == nullptr)
        return 0;
    registro->CloseKey();
    registro->SetRootKey(radice);
    if (!registro->OpenKey("Software", creaChiavi))
        return 0;
    int aperte = 0;
    for (const std::string& parte : PartiDelPercorso(percorso))
        if (registro->OpenKey(parte, creaChiavi))
            ++aperte;
    return aperte;
}

void ChiudiChiaviRegistro(int /*chiaviAperte*/)
{
    std::lock_guard<std::recursive_mutex> blocco(Guardia());
    // Only the last key opened is ever open.
    if (TRegistry* registro = Stato().Registro.get())
        registro->CloseKey();
}

std::string LeggiDaRegistro(const std::string& percorso, const std::string& nome, const std::string& predefinito)
{
    std::lock_guard<std::recursive_mutex> blocco(Guardia());
    TRegistry* registro = Stato().Registro.get();
    if (registro == nullptr)
        return predefinito;
    std::string valore;
    try {
        const int aperte = ApriChiaviRegistro(percorso, HKEY_CURRENT_USER);
        // Without Software nothing of ours exists; the root itself is never read.
        if (registro->CurrentKey() != nullptr)
            valore = registro->ReadString(nome);
        ChiudiChiaviRegistro(aperte);
    } catch (...) {
        ChiudiChiaviRegistro(0);
        return predefinito;
    }
    return valore.empty() ? predefinito : valore;
}

bool ScriviInRegistro(const std::string& percorso, const std::string& nome, const std::string& valore)
{
    std::lock_guard<std::recursive_mutex> blocco(Guardia());
    TRegistry* registro = Stato().Registro.get();
    if (registro == nullptr)
        return false;
    try {
        // Every part becomes its own key, so that a value never lands in a shallower key where
        // later reads, once the full path exists, would no longer find it.
        const int aperte = ApriChiaviRegistro(percorso, HKEY_CURRENT_USER, true);
        if (aperte != static_cast<int>(PartiDelPercorso(percorso).size())) {
            ChiudiChiaviRegistro(aperte);
            return false;
        }
        registro->WriteString(nome, valore);
        const bool salvato = RegFlushKey(registro->CurrentKey()) == 0;
        ChiudiChiaviRegistro(aperte);
        return salvato;
    } catch (...) {
        ChiudiChiaviRegistro(0);
        return false;
    }
}

void CreaFileSupporto(const std::string& nomeFile)
{
    const std::string percorso = CartellaApplicazione() + nomeFile;
    if (FileExists(percorso))
        return;
    WriteFileAtomically(percorso, ContenutoFileSupporto());
}

std::string ChiaveDerivata()
{
    std::string fileChiave;
    {
        std::lock_guard<std::recursive_mutex> blocco(Guardia());
        fileChiave = Stato().FileChiave;
    }
    TSecHash hash(nullptr);
    const std::array<uint32_t, 5> h = hash.HashFile(CartellaApplicazione() + fileChiave);
    const std::string testo = Esadecimale8(h[3]) + Esadecimale8(h[2]) + Esadecimale8(h[1]) + Esadecimale8(h[4]);
    return testo.substr(1, 15);
}

std::string LeggiImpostazioneCifrata(const std::string& sezione, const std::string& nome,
                                     const std::string& predefinito)
{
    const std::string lettere = LeggiImpostazione(sezione, nome, "");
    if (lettere.empty())
        return predefinito;
    TSimpleCrypt cifrario(nullptr);
    const std::string intermedio =
        cifrario.Decrypt(ChiaveDerivata(), lettere, static_cast<int>(lettere.size()));
    return cifrario.Decrypt(ChiaveFissa, intermedio, static_cast<int>(intermedio.size()));
}

bool ScriviImpostazioneCifrata(const std::string& sezione, const std::string& nome, const std::string& valore)
{
    const std::string chiave = ChiaveDerivata();
    TSimpleCrypt cifrario(nullptr);
    const std::string intermedio = cifrario.Encrypt(ChiaveFissa, valore, static_cast<int>(valore.size()));
    const std::string lettere = cifrario.Encrypt(chiave, intermedio, static_cast<int>(intermedio.size()));
    return ScriviImpostazione(sezione, nome, lettere);
}
