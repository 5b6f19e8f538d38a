#include "foundation/SecHash.h"

#include "FoundationTestUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

std::string Esadecimale(const std::array<uint32_t, 5>& h)
{
    char testo[41];
    std::snprintf(testo, sizeof testo, "%08x%08x%08x%08x%08x", h[0], h[1], h[2], h[3], h[4]);
    return testo;
}

std::string Sha1sum(const std::string& percorso)
{
    std::string uscita;
    if (FILE* processo = popen(("sha1sum '" + percorso + "'").c_str(), "r")) {
        char buffer[128];
        while (fgets(buffer, sizeof buffer, processo))
            uscita += buffer;
        pclose(processo);
    }
    return uscita.substr(0, 40);
}

} // namespace

TEST(SecHash, DigestOfFilesEqualsSha1sumAroundTheBlockEdges)
{
    TCartellaTemporanea cartella;
    std::mt19937 casuale(12);
    TSecHash hash(nullptr);
    for (size_t dimensione : {0, 1, 55, 56, 63, 64, 65, 119, 120, 1000000}) {
        SCOPED_TRACE(dimensione);
        std::string byte(dimensione, '\0');
        for (char& c : byte)
            c = static_cast<char>(casuale());
        const std::string percorso = cartella.Percorso() + "/dati.bin";
        ScriviFile(percorso, byte);
        const std::string atteso = Sha1sum(percorso);
        ASSERT_EQ(atteso.size(), 40u);
        EXPECT_EQ(Esadecimale(hash.HashFile(percorso)), atteso);
        EXPECT_EQ(Esadecimale(TSecHash::HashBytes(byte)), atteso);
    }
}

TEST(SecHash, FileThatCannotBeOpenedRaisesFileNotFound)
{
    TCartellaTemporanea cartella;
    TSecHash hash(nullptr);
    for (const std::string& percorso : {cartella.Percorso() + "/manca.dat", cartella.Percorso()}) {
        SCOPED_TRACE(percorso);
        try {
            hash.HashFile(percorso);
            ADD_FAILURE() << "no exception";
        } catch (const ESecHashException& e) {
            EXPECT_EQ(e.Message, "File not found !");
        }
    }
}
