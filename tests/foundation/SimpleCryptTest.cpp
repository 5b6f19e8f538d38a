#include "tests/TestFixtures.h"
#include "foundation/SimpleCrypt.h"

#include "FoundationTestUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

namespace {

const std::string ChiaveFissa = "Kq47VdT#u9Xe&mPr";

std::string Esadecimale(const std::string& byte)
{
    std::string testo;
    char cifre[3];
    for (unsigned char c : byte) {
        std::snprintf(cifre, sizeof cifre, "%02x", c);
        testo += cifre;
    }
    return testo;
}

std::string Pc1Py()
{
    return (std::filesystem::path(TestFixtureDir()).parent_path() / "tools" / "pc1.py").string();
}

} // namespace

TEST(SimpleCrypt, KnownCiphertextsAndRoundTrip)
{
    TSimpleCrypt cifrario(nullptr);
    struct Caso {
        std::string Chiaro;
        std::string Lettere;
    };
    const Caso casi[] = {{"a", "go"}, {"segreto", "hmoalaidboockj"}, {"", ""}};
    for (const Caso& caso : casi) {
        SCOPED_TRACE(caso.Chiaro);
        const int n = static_cast<int>(caso.Chiaro.size());
        EXPECT_EQ(cifrario.Encrypt(ChiaveFissa, caso.Chiaro, n), caso.Lettere);
        EXPECT_EQ(cifrario.Decrypt(ChiaveFissa, caso.Lettere, 2 * n), caso.Chiaro);
    }
}

TEST(SimpleCrypt, LengthsAndOddInputs)
{
    TSimpleCrypt cifrario(nullptr);
    // Only the given number of bytes or letters counts; a trailing single letter is ignored.
    EXPECT_EQ(cifrario.Encrypt(ChiaveFissa, "segreto", 1), "hm");
    EXPECT_EQ(cifrario.Encrypt(ChiaveFissa, "a", 50), "go");
    EXPECT_EQ(cifrario.Decrypt(ChiaveFissa, "hmoalaidboockj", 3), "s");
    EXPECT_EQ(cifrario.Decrypt(ChiaveFissa, "hmoalaidboockjx", 15), "segreto");
    EXPECT_EQ(cifrario.Decrypt(ChiaveFissa, "hmoa", -4), "");

    // The deciphered text ends before its first zero byte.
    const std::string conZero("ab\0cd", 5);
    EXPECT_EQ(cifrario.Decrypt(ChiaveFissa, cifrario.Encrypt(ChiaveFissa, conZero, 5), 10), "ab");

    // Letters outside 'a'..'p' give bytes, never an error.
    EXPECT_NO_THROW(cifrario.Decrypt(ChiaveFissa, "ZZ!!\x80\xFFqq", 8));
    // Only 16 key bytes count.
    EXPECT_EQ(cifrario.Encrypt(ChiaveFissa + "altro", "segreto", 7), "hmoalaidboockj");
}

TEST(SimpleCrypt, AgreesWithThePythonTranscriptionOfPc1)
{
    TCartellaTemporanea cartella;
    const std::string ingresso = cartella.Percorso() + "/coppie.txt";
    std::mt19937 casuale(1991);
    std::vector<std::pair<std::string, std::string>> coppie;
    std::string righe;
    for (int i = 0; i < 1000; ++i) {
        std::string chiave(casuale() % 21, '\0'), dati(casuale() % 64, '\0');
        for (char& c : chiave)
            c = static_cast<char>(1 + casuale() % 255);
        for (char& c : dati)
            c = static_cast<char>(casuale());
        righe += Esadecimale(chiave) + " " + Esadecimale(dati) + "\n";
        coppie.emplace_back(chiave, dati);
    }
    ScriviFile(ingresso, righe);

    FILE* processo = popen(("python3 '" + Pc1Py() + "' batch '" + ingresso + "'").c_str(), "r");
    ASSERT_NE(processo, nullptr);
    std::string uscita;
    char buffer[4096];
    for (size_t letti; (letti = fread(buffer, 1, sizeof buffer, processo)) > 0;)
        uscita.append(buffer, letti);
    ASSERT_EQ(pclose(processo), 0);

    TSimpleCrypt cifrario(nullptr);
    std::istringstream flusso(uscita);
    std::string atteso;
    size_t confrontate = 0;
    for (const auto& [chiave, dati] : coppie) {
        if (!std::getline(flusso, atteso))
            break;
        const int n = static_cast<int>(dati.size());
        ASSERT_EQ(cifrario.Encrypt(chiave, dati, n), atteso) << "pair " << confrontate;
        // Deciphering gives the data back up to its first zero byte.
        EXPECT_EQ(cifrario.Decrypt(chiave, atteso, 2 * n), dati.substr(0, dati.find('\0')));
        ++confrontate;
    }
    EXPECT_EQ(confrontate, coppie.size());
}
