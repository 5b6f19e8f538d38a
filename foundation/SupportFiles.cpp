#include "foundation/SupportFiles.h"

#include "foundation/DataModule.h"
#include "foundation/SupportString.h"
#include "platform/gui/Menus.h"
#include "platform/os/Libraries.h"
#include "platform/os/MessageBox.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

std::string& CartellaImpostata()
{
    static std::string cartella;
    return cartella;
}

// The folder with exactly one backslash at its end, whatever separators it ended with.
std::string ConBarraFinale(const std::string& cartella)
{
    std::string risultato = cartella;
    while (!risultato.empty() && (risultato.back() == '\\' || risultato.back() == '/'))
        risultato.pop_back();
    return risultato + '\\';
}

std::string Maiuscolo(std::string testo)
{
    for (char& c : testo)
        c = AnsiUpperChar(c);
    return testo;
}

// "*" matches any run of characters (none included), "?" exactly one; both texts upper-cased.
bool CorrispondeMaschera(const std::string& nome, const std::string& maschera)
{
    size_t n = 0, m = 0;
    size_t ultimoAsterisco = std::string::npos, ripresaNome = 0;
    while (n < nome.size()) {
        if (m < maschera.size() && (maschera[m] == '?' || maschera[m] == nome[n])) {
            ++n;
            ++m;
        } else if (m < maschera.size() && maschera[m] == '*') {
            ultimoAsterisco = m++;
            ripresaNome = n;
        } else if (ultimoAsterisco != std::string::npos) {
            m = ultimoAsterisco + 1;
            n = ++ripresaNome;
        } else {
            return false;
        }
    }
    while (m < maschera.size() && maschera[m] == '*')
        ++m;
    return m == maschera.size();
}

// Folders (and the "." and ".." entries) are never listed; a link counts as what it points to.
bool EFile(DIR* cartella, const dirent& voce)
{
    if (voce.d_type == DT_REG)
        return true;
    if (voce.d_type == DT_DIR)
        return false;
    struct stat info;
    if (fstatat(dirfd(cartella), voce.d_name, &info, 0) != 0)
        return false;
    return !S_ISDIR(info.st_mode);
}

} // namespace

std::string CartellaApplicazione()
{
    const std::string& impostata = CartellaImpostata();
    if (!impostata.empty())
        return impostata;
    // The string form of GetModuleFileNameA: a buffer would cut a long path.
    return ConBarraFinale(ExtractFilePath(GetModuleFileName(nullptr)));
}

void ImpostaCartellaApplicazione(const std::string& cartella)
{
    CartellaImpostata() = cartella.empty() ? std::string() : ConBarraFinale(cartella);
}

std::string SottocartellaApplicazione(const std::string& nome)
{
    const std::string cartella = CartellaApplicazione() + nome + '\\';
    if (!DirectoryExists(cartella))
        ForceDirectoriesOrRaise(cartella);
    return cartella;
}

std::string CartellaTemp()
{
    return SottocartellaApplicazione("Temp");
}

std::string CartellaCorrente()
{
    std::string cartella = GetCurrentDir();
    if (cartella.size() > 1 && cartella.back() == '/')
        cartella.pop_back();
    return cartella;
}

std::unique_ptr<TStringList> ElencoFile(const std::string& percorsoConMaschera)
{
    auto elenco = std::make_unique<TStringList>();
    const size_t separatore = percorsoConMaschera.find_last_of("\\/");
    const std::string cartella =
        separatore == std::string::npos ? std::string() : percorsoConMaschera.substr(0, separatore + 1);
    const std::string maschera = Maiuscolo(percorsoConMaschera.substr(cartella.size()));
    const bool tutti = maschera == "*.*";

    const std::string nativa = cartella.empty() ? std::string(".") : ResolvePath(cartella);
    DIR* dir = opendir(nativa.c_str());
    if (!dir)
        return elenco;
    std::vector<std::pair<std::string, std::string>> trovati; // upper-cased name, name on disk
    while (const dirent* voce = readdir(dir)) {
        std::string nome = Utf8ToAnsi(voce->d_name);
        std::string chiave = Maiuscolo(nome);
        if ((tutti || CorrispondeMaschera(chiave, maschera)) && EFile(dir, *voce))
            trovati.emplace_back(std::move(chiave), std::move(nome));
    }
    closedir(dir);

    // Ordered as the Windows file system lists a folder: by the upper-cased names, byte by byte.
    std::sort(trovati.begin(), trovati.end(), [](const auto& a, const auto& b) {
        return std::lexicographical_compare(
            a.first.begin(), a.first.end(), b.first.begin(), b.first.end(), [](char x, char y) {
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
            });
    });
    elenco->BeginUpdate();
    for (const auto& trovato : trovati)
        elenco->Add(cartella + trovato.second);
    elenco->EndUpdate();
    return elenco;
}

std::string NomeSenzaEstensione(const std::string& percorso)
{
    const size_t separatore = percorso.find_last_of("\\/");
    const std::string nome =
        separatore == std::string::npos ? percorso : percorso.substr(separatore + 1);
    const size_t punto = nome.rfind('.');
    return punto == std::string::npos ? nome : nome.substr(0, punto);
}

bool NomeFileNonValido(const std::string& nome)
{
    return ContieneCaratteri(nome, "\\/:*?\"<>") > 0;
}

std::string DataOraFile(const std::string& percorso)
{
    // A folder cannot be opened as a file.
    if (percorso.empty() || DirectoryExists(percorso))
        return {};
    const int handle = FileOpen(percorso, fmOpenRead | fmShareDenyNone);
    if (handle < 0)
        return {};
    const int dataFile = FileGetDate(handle);
    FileClose(handle);
    if (dataFile == -1)
        return {};
    const TDateTime data = FileDateToDateTime(dataFile);
    return DateToStr(data) + ' ' + TimeToStr(data);
}

std::string DataPerNomeFile(TDateTime data)
{
    int anno, mese, giorno;
    DecodeDate(data, anno, mese, giorno);
    return IntToStr(giorno) + '_' + IntToStr(mese) + '_' + IntToStr(anno);
}

std::string NomeTemporaneoAccanto(const std::string& percorso)
{
    return ExtractFilePath(percorso) + AtomicTemporaryName(ExtractFileName(percorso));
}

int CancellaFile(const TStrings& percorsi)
{
    int cancellati = 0;
    for (int i = 0; i < percorsi.Count(); ++i)
        if (DeleteFile(percorsi.Strings(i)))
            ++cancellati;
    return cancellati;
}

bool VerificaInterfaccia(const std::string& percorsoInterfaccia)
{
    if (FileExists(percorsoInterfaccia))
        return true;
    MessageBoxA(nullptr,
                "Nessuna interfaccia per CSV definita. Prima di procedere all'importazione \xE8 "
                "necessario impostare l'interfaccia CSV.",
                "Interfacce non impostate", MB_OK | MB_ICONERROR);
    return false;
}

std::string SottocartellaDati(const std::string& nome)
{
    const std::string cartella = DC->PercorsoDati + nome + '\\';
    if (!DirectoryExists(cartella))
        ForceDirectoriesOrRaise(cartella);
    return cartella;
}

void MenuDaFile(TMenuItem* voce, const std::string& percorsoConMaschera, int tag, TNotifyEvent clic)
{
    for (int i = voce->Count() - 1; i >= 0; --i)
        TComponent::Free(voce->Items(i));
    const std::string cartella = ExtractFilePath(percorsoConMaschera);
    if (!cartella.empty() && !DirectoryExists(cartella))
        ForceDirectories(cartella);
    const std::unique_ptr<TStringList> files = ElencoFile(percorsoConMaschera);
    for (int i = 0; i < files->Count(); ++i) {
        auto* nuova = new TMenuItem(voce);
        nuova->SetCaption(NomeSenzaEstensione(files->Strings(i)));
        nuova->Tag = tag;
        if (clic)
            nuova->OnClick = clic;
        voce->Add(nuova);
    }
}
