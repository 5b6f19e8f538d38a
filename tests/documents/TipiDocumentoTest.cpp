#include "DocumentiTestSupport.h"

#include "platform/rtl/TextUtils.h"

TEST(TipiDocumento, CodesDisplayNamesAndSeries)
{
    struct Caso {
        std::string Nome;
        std::string Codice;
    };
    const Caso casi[] = {
        {"ORDINI", "FT.FT"},
        {"fatture", "FT.FT"},
        {"fattura accompagnatoria", "FT.AC"},
        {"Accompagnatorie", "FT.AC"},
        {"Nota d'accredito", "FT.NA"},
        {"NOTE D'ACCREDITO", "FT.NA"},
        {"preventivi", "PV.PV"},
        {"DDT", "DT.DT"},
        {"documento di trasporto", "DT.DT"},
    };
    for (const Caso& caso : casi)
        EXPECT_EQ(CodiceTipologia(caso.Nome), caso.Codice) << caso.Nome;

    TArchivioDocumenti archivio;
    EXPECT_EQ(archivio.TabellaDocumento("ORDINI"), "FT");
    EXPECT_EQ(archivio.TipoDocumentoCorrente, "ORDINI");
    EXPECT_EQ(archivio.TabellaDocumento("preventivi"), "PV");
    EXPECT_EQ(archivio.ImpostaTipoDocumento("ddt"), "DT.DT");
    EXPECT_EQ(archivio.TipoDocumentoCorrente, "DDT");

    EXPECT_EQ(DescrizioneTipologia("na"), "Nota d'accredito");
    EXPECT_EQ(DescrizioneTipologia("XX"), "");
    EXPECT_EQ(DescrizioneTipologia(""), "");
    EXPECT_EQ(archivio.ImpostaTipoDaTipologia("AC"), "FATTURA ACCOMPAGNATORIA");
    EXPECT_EQ(archivio.TipoDocumentoCorrente, "FATTURA ACCOMPAGNATORIA");

    // Every display name leads back to its own code.
    for (const std::string tipologia : {"FT", "AC", "NA", "PV", "DT"}) {
        const std::string codice = CodiceTipologia(AnsiUpperCase(DescrizioneTipologia(tipologia)));
        EXPECT_EQ(codice.substr(codice.find('.') + 1), tipologia);
    }
}

TEST(TipiDocumento, FileNamesOfDocuments)
{
    struct Caso {
        std::string Prefisso;
        int Numero;
        std::string Modificatore;
        std::string Denominazione;
        TDateTime Data;
        std::string Nome;
    };
    const Caso casi[] = {
        {"Doc", 7, "", "Rossi Srl", EncodeDate(2009, 3, 5), "Doc7 - Rossi Srl (5-3-2009)"},
        {"Doc", 7, "bis", "Rossi Srl", EncodeDate(2009, 3, 5), "Doc7.bis - Rossi Srl (5-3-2009)"},
        {"Doc", 12, "", "Caff\xE8 Rossi & C.", EncodeDate(2009, 12, 18),
         "Doc12 - Caff\xE8 Rossi & C. (18-12-2009)"},
        {"Doc", 3, "", "Rossi/Bianchi: \"Srl\"", EncodeDate(2010, 1, 1),
         "Doc3 - RossiBianchi Srl (1-1-2010)"},
        {"Doc", 4, "", "A\\B*C?D<E>F\tG\x01", EncodeDate(2010, 1, 1), "Doc4 - ABCDEFG (1-1-2010)"},
        {"Tmp", 1, "", "X", EncodeDate(2010, 1, 1), "Tmp1 - X (1-1-2010)"},
    };
    for (const Caso& caso : casi)
        EXPECT_EQ(NomeFileDocumento(caso.Prefisso, caso.Numero, caso.Modificatore,
                                    caso.Denominazione, caso.Data),
                  caso.Nome);
    TArchivioDocumenti archivio;
    EXPECT_EQ(archivio.NomeFileFattura(7, "", "Rossi Srl", EncodeDate(2009, 3, 5)),
              "Doc7 - Rossi Srl (5-3-2009)");
}

TEST(TipiDocumento, YearTexts)
{
    EXPECT_EQ(AnnoDaTesto("2009"), 2009);
    EXPECT_EQ(AnnoDaTesto(" 2009 "), 2009);
    for (const std::string errato : {"", "duemila", "2009a", "0", "-1", "10000"})
        EXPECT_THROW(AnnoDaTesto(errato), EConvertError) << errato;
}
