// Host threads calling the exports at once; also run under ThreadSanitizer (label "threads").
#include <string>
#include <thread>
#include <vector>

#include "ImpressoraFixture.h"

namespace {

using rx457test::ImpressoraTest;

TEST_F(ImpressoraTest, ConcurrentHostThreadsNeitherDeadlockNorLoseOutput) {
    carregarComImpressora();
    auto texto = fn<void(const char*)>("VEX_ImprimirTexto");
    auto estado = fn<int(unsigned char*, unsigned)>("VEX_AtualizarEstadoOperacao");
    auto esperar = fn<int()>("VEX_EsperarPeloTerminoImpressao");
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                texto(("linha da thread " + std::to_string(t) + "\n").c_str());
                unsigned char bytes[4];
                if (i % 5 == 0) estado(bytes, 4);
                if (i % 10 == 0) esperar();
            }
        });
    for (std::thread& t : threads) t.join();
    aguardarPapel();
    EXPECT_GE(linhasComTinta(), 8 * 20 * 10) << "every line printed (at least 10 rows of ink each)";
}

TEST_F(ImpressoraTest, FiscalDocumentsAndStatusFromSeveralThreads) {
    carregarComImpressora();
    auto fiscal = fn<int(const char*, InfoDocumento*, unsigned, int, int)>("VEX_ImprimirDocumentoFiscal");
    auto estado = fn<int(unsigned char*, unsigned)>("VEX_AtualizarEstadoOperacao");
    auto esperar = fn<int()>("VEX_EsperarPeloTerminoImpressao");
    const std::string cfe = std::string(FISCAL_SAMPLES_DIR) + "/cfe-sale-hom-1item-infcpl-v006.xml";
    std::vector<std::thread> threads;
    std::vector<int> codigos(4, -1);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            codigos[t] = fiscal(cfe.c_str(), nullptr, 0, 0, 0);
            unsigned char bytes[4];
            estado(bytes, 4);
            esperar();
        });
    for (std::thread& t : threads) t.join();
    aguardarPapel();
    for (int c : codigos) EXPECT_EQ(c, 0);
    EXPECT_GT(linhasComTinta(), 4 * 300);
}

}  // namespace
