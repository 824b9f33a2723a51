// SHA-1 against the system's sha1sum on lengths around the padding boundaries, and incremental use.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "fiscalprint/SHA1.h"

namespace {

std::string sha1sum(const std::string& dados) {
    rx457test::TempDir dir;
    rx457test::writeFile(dir.file("in"), dados);
    int codigo = -1;
    const std::string out = rx457test::runCommand("sha1sum '" + dir.file("in") + "'", &codigo);
    EXPECT_EQ(codigo, 0);
    return out.substr(0, 40);
}

std::string dadosDeTamanho(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s.push_back(char((i * 131 + 7) & 0xFF));
    return s;
}

TEST(SHA1, KnownVectors) {
    EXPECT_EQ(Misc::sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Misc::sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Misc::sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

TEST(SHA1, MatchesSha1sumAroundBlockBoundaries) {
    if (!rx457test::commandAvailable("sha1sum")) GTEST_SKIP() << "sha1sum is not installed";
    for (size_t n : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u, 4097u}) {
        const std::string d = dadosDeTamanho(n);
        EXPECT_EQ(Misc::sha1Hex(d), sha1sum(d)) << "length " << n;
    }
}

TEST(SHA1, DigestOfACopyLetsTheObjectKeepAbsorbing) {
    Misc::SHA1 h;
    h.atualizar("ab", 2);
    EXPECT_EQ(Misc::paraHexadecimal(h.resumo()), Misc::sha1Hex("ab"));
    h.atualizar("c", 1);
    EXPECT_EQ(Misc::paraHexadecimal(h.resumo()), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(h.nome(), "SHA-1");
    EXPECT_EQ(h.tamanhoResumo(), 20u);
    h.reiniciar();
    EXPECT_EQ(Misc::paraHexadecimal(h.resumo()), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(SHA1, PiecewiseFeedingEqualsOneShot) {
    const std::string d = dadosDeTamanho(300);
    for (size_t passo : {1u, 7u, 63u, 64u, 65u}) {
        Misc::SHA1 h;
        for (size_t i = 0; i < d.size(); i += passo) h.atualizar(d.data() + i, std::min(passo, d.size() - i));
        EXPECT_EQ(Misc::paraHexadecimal(h.resumo()), Misc::sha1Hex(d)) << "step " << passo;
    }
}

}  // namespace
