#pragma once
// Small value records exchanged between the amount computation, the print data and the mail
// queue.

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/System.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A text boxed for the object slot of a list line.
class TOggettoStringa : public TObject {
    TESS_CLASS(TOggettoStringa, TObject)
public:
    explicit TOggettoStringa(const std::string& valore) : Valore(valore) {}
    std::string Valore;
};

// A number boxed for the object slot of a list line.
class TOggettoFloat : public TObject {
    TESS_CLASS(TOggettoFloat, TObject)
public:
    explicit TOggettoFloat(double valore) : Valore(valore) {}
    double Valore;
};

// One row of a VAT summary.
class TRiepilogoIva : public TObject {
    TESS_CLASS(TRiepilogoIva, TObject)
public:
    TRiepilogoIva(double imponibile, double aliquota, double importo, const std::string& codiceIva,
                  const std::string& dicituraIva)
        : Imponibile(imponibile), Aliquota(aliquota), Importo(importo), CodiceIva(codiceIva),
          DicituraIva(dicituraIva)
    {
    }
    double Imponibile;
    double Aliquota; // percent
    double Importo;
    std::string CodiceIva;
    std::string DicituraIva;
};

// One row of a contribution summary.
class TRiepilogoContributo : public TObject {
    TESS_CLASS(TRiepilogoContributo, TObject)
public:
    TRiepilogoContributo(double importoContributo, const std::string& codiceIva, double iva,
                         const std::string& dicituraIva)
        : ImportoContributo(importoContributo), CodiceIva(codiceIva), Iva(iva),
          DicituraIva(dicituraIva)
    {
    }
    double ImportoContributo;
    std::string CodiceIva;
    double Iva; // VAT rate applied to the contribution, percent
    std::string DicituraIva;
};

// The totals of one document with its VAT summary rows, which it owns.
class TAggregazioneImporti : public TObject {
    TESS_CLASS(TAggregazioneImporti, TObject)
public:
    double ImportoScontato = 0;
    double IvaTotale = 0;
    double AliquotaTotale = 0;
    double RitenutaTotale = 0;
    double RitenutaTotaleApplicataSu = 0;
    double RitenutaEnasarcoTotale = 0;
    double RitenutaEnasarcoApplicataSu = 0;
    double ScontoTotale = 0;
    std::vector<std::unique_ptr<TRiepilogoIva>> RiepiloghiIva;
};

// One mail of the send queue.
class TStrutturaMail : public TObject {
    TESS_CLASS(TStrutturaMail, TObject)
public:
    std::string Testo;
    std::string Firma;
    std::string Mittente;
    std::string Destinatario;
    std::string IndirizzoDestinatario; // addresses separated by ";"
    std::string Descrizione;           // the key of the mail in the queue
    std::string Allegato;
    int32_t Numero = 0;
    std::string Tipologia;
    std::string Modificatore;
    TDateTime Data = 0;
    std::string Oggetto;
    std::string MessaggioStato;
    uint8_t StatoInvio = 0; // 0 waiting, 1 sending, 2 sent, 3 failed
    std::unique_ptr<TStringList> Allegati;
    std::unique_ptr<TStringList> TestoMail;
};
