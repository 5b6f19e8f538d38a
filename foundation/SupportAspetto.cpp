#include "foundation/SupportAspetto.h"

#include "controls/ExSpeedButton.h"
#include "controls/SpeedBar.h"
#include "foundation/SupportFiles.h"
#include "platform/gui/BitBtn.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Menus.h"
#include "platform/gui/SpeedButton.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"
#include "widgets/FlatButton.h"
#include "widgets/FlatSpeedButton.h"

#include <algorithm>
#include <map>
#include <memory>

namespace {

// Kept until the program ends; the bitmaps are freed with it at exit.
std::map<std::string, std::unique_ptr<TBitmap>>& CacheBitmap()
{
    static std::map<std::string, std::unique_ptr<TBitmap>> cache;
    return cache;
}

std::unique_ptr<TBitmap> LeggiBitmap(const std::string& percorso)
{
    if (!FileExists(percorso))
        return nullptr;
    auto bitmap = std::make_unique<TBitmap>();
    try {
        bitmap->LoadFromFile(percorso);
    } catch (...) {
        // A damaged image is treated like a missing one: the window is still made.
        return nullptr;
    }
    return bitmap;
}

template <class TPulsante>
void ImpostaGlifoDi(TComponent* pulsante, TBitmap* bitmap, int numeroGlifi)
{
    auto* p = static_cast<TPulsante*>(pulsante);
    p->SetGlyph(bitmap);
    p->SetNumGlyphs(numeroGlifi);
}

int Canale(int valore)
{
    return std::clamp(valore, 0, 255);
}

TColor SpostaCanali(TColor colore, int delta)
{
    const int rosso = Canale(static_cast<int>(colore & 0xFF) + delta);
    const int verde = Canale(static_cast<int>((colore >> 8) & 0xFF) + delta);
    const int blu = Canale(static_cast<int>((colore >> 16) & 0xFF) + delta);
    return static_cast<TColor>(rosso | (verde << 8) | (blu << 16));
}

} // namespace

TBitmap* CaricaBitmap(const std::string& nome)
{
    const std::string chiave = UpperCase(nome);
    auto& cache = CacheBitmap();
    auto trovato = cache.find(chiave);
    if (trovato != cache.end())
        return trovato->second.get();
    std::unique_ptr<TBitmap> bitmap =
        LeggiBitmap(CartellaApplicazione() + "pics\\" + nome + ".bmp");
    if (!bitmap)
        return nullptr;
    return (cache[chiave] = std::move(bitmap)).get();
}

TBitmap* ImpostaGlifo(TComponent* pulsante, const std::string& nome, int numeroGlifi)
{
    TBitmap* bitmap = CaricaBitmap(nome);
    if (!pulsante)
        return bitmap;
    const std::string classe = pulsante->ClassName();
    if (classe == "TBitBtn")
        ImpostaGlifoDi<TBitBtn>(pulsante, bitmap, numeroGlifi);
    else if (classe == "TSpeedButton")
        ImpostaGlifoDi<TSpeedButton>(pulsante, bitmap, numeroGlifi);
    else if (classe == "TExSpeedButton")
        ImpostaGlifoDi<TExSpeedButton>(pulsante, bitmap, numeroGlifi);
    else if (classe == "TFlatButton")
        ImpostaGlifoDi<TFlatButton>(pulsante, bitmap, numeroGlifi);
    else if (classe == "TFlatSpeedButton")
        ImpostaGlifoDi<TFlatSpeedButton>(pulsante, bitmap, numeroGlifi);
    else if (classe == "TSpeedItem")
        ImpostaGlifoDi<TSpeedItem>(pulsante, bitmap, numeroGlifi);
    return bitmap;
}

TColor SchiarisciColore(TColor colore)
{
    return SpostaCanali(colore, 120);
}

TColor ScurisciColore(TColor colore)
{
    return SpostaCanali(colore, -120);
}

void SvuotaMenu(TMenuItem* voce)
{
    for (int i = voce->Count() - 1; i >= 0; --i)
        TComponent::Free(voce->Items(i));
}

TMenuItem* CreaVoceMenu(TComponent* proprietario, TMenuItem* genitore, const std::string& nome,
                        const std::string& didascalia, TNotifyEvent clic, int tag)
{
    auto* voce = new TMenuItem(proprietario);
    try {
        if (IsValidIdent(nome))
            voce->SetName(nome);
        voce->SetCaption(didascalia);
        voce->Tag = tag;
        voce->OnClick = std::move(clic);
        genitore->Add(voce);
    } catch (...) {
        TComponent::Free(voce);
        throw;
    }
    return voce;
}

void CopiaMenu(TComponent* proprietario, TMenuItem* destinazione, TMenuItem* sorgente)
{
    for (int i = 0; i < sorgente->Count(); ++i) {
        TMenuItem* voce = sorgente->Items(i);
        const std::string nome =
            destinazione->Name() + (voce->Name().empty() ? std::to_string(i) : voce->Name());
        TMenuItem* copia = CreaVoceMenu(proprietario, destinazione, nome, voce->Caption(),
                                        voce->OnClick, static_cast<int>(voce->Tag));
        if (voce->Count() > 0)
            CopiaMenu(proprietario, copia, voce);
    }
}

void CopiaMenu(TComponent* proprietario, TMenuItem* destinazione, TMenuItem* sorgente, bool)
{
    CopiaMenu(proprietario, destinazione, sorgente);
}
