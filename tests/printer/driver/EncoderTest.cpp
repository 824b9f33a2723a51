#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "Gravadores.h"

using teste::hex;
using teste::paraHex;

namespace {

const uint8_t kDados[32] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB,
                            0xAC, 0xAD, 0xAE, 0xAF, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6,
                            0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0};

const uint8_t* const kGrande = [] {
    static uint8_t b[256];
    for (int i = 0; i < 256; ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
    return b;
}();

struct Caso {
    const char* nome;
    std::function<void(EscPOSPrinter::EscPOS&)> acao;
    std::string esperado;  // hex
};

std::string repetir(const std::string& s, int n) {
    std::string r;
    while (n-- > 0) r += s;
    return r;
}

const std::vector<Caso>& casosEncoder() {
    static const std::vector<Caso> casos = {
        {"cancelarDadosPagina", [](auto& d) { d.cancelarDadosPagina(); }, "18"},
        {"desativarCaracteresUsuario", [](auto& d) { d.desativarCaracteresUsuario(); }, "1B 25 00"},
        {"guilhotina 0x0B", [](auto& d) { d.acionarGuilhotina(0x0B); }, "1B 4A D0 1B 4A 32 1D 56 31"},
        {"guilhotina total", [](auto& d) { d.acionarGuilhotina(4); }, "1D 56 30"},
        {"guilhotina parcial vence total", [](auto& d) { d.acionarGuilhotina(0x0C); }, "1D 56 31"},
        {"guilhotina so avanco curto", [](auto& d) { d.acionarGuilhotina(1); }, "1B 4A 32"},
        {"guilhotina nada", [](auto& d) { d.acionarGuilhotina(0); }, ""},
        {"definirImagemNV 10x3", [](auto& d) { d.definirImagemNV(1, 10, 3, kDados); },
         "1C 71 01 02 00 01 00 A1 A2 A3 A4 A5 A6 00 00 00 00 00 00 00 00 00 00"},
        {"definirImagemNV sem dados", [](auto& d) { d.definirImagemNV(1, 10, 3, nullptr); }, ""},
        {"definirCaracteresUsuario", [](auto& d) { d.definirCaracteresUsuario(0x41, 2, 3, kDados); },
         "1B 26 03 41 41 A1 A2 A3 A4 A5 A6"},
        {"desativarStatusAutomatico", [](auto& d) { d.desativarStatusAutomatico(); }, "1D 61 00"},
        {"selecionarFonteCondensada", [](auto& d) { d.selecionarFonteCondensada(); }, "1B 4D 01"},
        {"desativarQuebraLinha", [](auto& d) { d.desativarQuebraLinha(); }, ""},
        {"ativarQuebraLinha", [](auto& d) { d.ativarQuebraLinha(); }, ""},
        {"negrito",
         [](auto& d) {
             d.selecionarNegrito(true);
             d.selecionarNegrito(false);
         },
         "1B 45 01 1B 45 00"},
        {"ativarStatusAutomatico", [](auto& d) { d.ativarStatusAutomatico(); }, "1D 61 0F"},
        {"selecionarFonteNormal", [](auto& d) { d.selecionarFonteNormal(); }, "1B 4D 00"},
        {"gravarMacro", [](auto& d) { d.gravarMacro(); }, "1D 3A"},
        {"executarMacro", [](auto& d) { d.executarMacro(); }, "1D 5E 01 00 00"},
        {"avancarPapel 600", [](auto& d) { d.avancarPapel(600); }, "1B 4A FF 1B 4A FF 1B 4A 5A"},
        {"avancarPapel 255", [](auto& d) { d.avancarPapel(255); }, "1B 4A FF"},
        {"avancarPapel 0 e negativo",
         [](auto& d) {
             d.avancarPapel(0);
             d.avancarPapel(-3);
         },
         ""},
        {"acionarGaveta", [](auto& d) { d.acionarGaveta(0, 100, 501); }, "1B 70 00 32 FA"},
        {"inicializar", [](auto& d) { d.inicializar(); }, "1B 40"},
        {"imprimirPagina", [](auto& d) { d.imprimirPagina(); }, "1B 0C"},
        {"codigo de barras EAN-13", [](auto& d) { d.imprimirCodigoBarras(2, (const uint8_t*)"123", 3); },
         "1D 6B 43 03 31 32 33"},
        {"codigo de barras CODE128", [](auto& d) { d.imprimirCodigoBarras(8, (const uint8_t*)"h", 1); },
         "1D 6B 49 01 68"},
        {"codigo de barras longo demais",
         [](auto& d) {
             static const std::string longo(256, '1');
             d.imprimirCodigoBarras(4, (const uint8_t*)longo.data(), 256);
         },
         ""},
        {"imprimirImagemNV", [](auto& d) { d.imprimirImagemNV(1, 3); }, "1C 70 01 03"},
        {"imprimirImagemRaster 10x2", [](auto& d) { d.imprimirImagemRaster(0, 10, 2, kDados); },
         "1D 76 30 00 02 00 02 00 A1 A2 A3 A4"},
        {"imprimirImagemRaster modo invalido", [](auto& d) { d.imprimirImagemRaster(4, 10, 2, kDados); }, ""},
        {"reverso", [](auto& d) { d.selecionarReverso(true); }, "1D 42 01"},
        {"alinhamento", [](auto& d) { d.selecionarAlinhamento(2); }, "1B 61 02"},
        {"imagem bits modo 4", [](auto& d) { d.imprimirImagemBits(4, 2, kDados); }, "1B 2A 00 02 00 A1 A2"},
        {"imagem bits modo 5", [](auto& d) { d.imprimirImagemBits(5, 1, kDados); }, "1B 2A 01 01 00 A1"},
        {"imagem bits modo 6", [](auto& d) { d.imprimirImagemBits(6, 2, kDados); }, "1B 2A 20 02 00 A1 A2 A3 A4 A5 A6"},
        {"imagem bits modo 7", [](auto& d) { d.imprimirImagemBits(7, 1, kDados); }, "1B 2A 21 01 00 A1 A2 A3"},
        {"imagem bits modo invalido", [](auto& d) { d.imprimirImagemBits(3, 2, kDados); }, ""},
        {"tabela 0", [](auto& d) { EXPECT_TRUE(d.selecionarTabelaCaracteres(0)); }, "1B 74 00"},
        {"tabela 5", [](auto& d) { EXPECT_TRUE(d.selecionarTabelaCaracteres(5)); }, "1B 74 0E"},
        {"tabela 22", [](auto& d) { EXPECT_TRUE(d.selecionarTabelaCaracteres(22)); }, "1B 74 33"},
        {"tabelas desconhecidas",
         [](auto& d) {
             for (int k : {9, 13, 19, 23, -1, 255}) EXPECT_FALSE(d.selecionarTabelaCaracteres(k)) << k;
         },
         ""},
        {"fonte", [](auto& d) { d.selecionarFonte(1); }, "1B 4D 01"},
        {"tamanho 1x1", [](auto& d) { d.selecionarTamanhoCaractere(1, 1); }, "1D 21 11"},
        {"tamanho 8x9", [](auto& d) { d.selecionarTamanhoCaractere(8, 9); }, "1D 21 01"},
        {"tamanho 7x7", [](auto& d) { d.selecionarTamanhoCaractere(7, 7); }, "1D 21 77"},
        {"fonte HRI",
         [](auto& d) {
             d.selecionarFonteHRI(2);
             d.selecionarFonteHRI(1);
         },
         "1D 66 01 1D 66 00"},
        {"modo pagina", [](auto& d) { d.selecionarModoPagina(); }, "1B 4C"},
        {"posicao HRI", [](auto& d) { d.selecionarPosicaoHRI(2); }, "1D 48 02"},
        {"modo padrao", [](auto& d) { d.selecionarModoPadrao(); }, "1B 53"},
        {"posicao horizontal", [](auto& d) { d.posicaoHorizontalAbsoluta(300); }, "1B 24 2C 01"},
        {"posicao vertical", [](auto& d) { d.posicaoVerticalAbsoluta(258); }, "1D 24 02 01"},
        {"posicionarAbsoluto", [](auto& d) { d.posicionarAbsoluto(1, 2); }, "1B 24 01 00 1D 24 02 00"},
        {"deslocarRelativo", [](auto& d) { d.deslocarRelativo(3, 4); }, "1B 5C 03 00 1D 5C 04 00"},
        {"altura barras", [](auto& d) { d.alturaCodigoBarras(80); }, "1D 68 50"},
        {"largura barras", [](auto& d) { d.larguraCodigoBarras(3); }, "1D 77 03"},
        {"espacamento linhas", [](auto& d) { d.espacamentoEntreLinhas(30); }, "1B 33 1E"},
        {"margem", [](auto& d) { d.margemEsquerda(312); }, "1D 4C 38 01"},
        {"unidades", [](auto& d) { d.unidadesMovimentacao(200, 400); }, "1D 50 14 28"},
        {"dispositivo", [](auto& d) { d.selecionarDispositivo(1); }, "1B 3D 01"},
        {"area pagina recortada", [](auto& d) { d.areaImpressaoPagina(500, 0, 100, 200); },
         "1B 57 F4 01 00 00 0B 00 C8 00"},
        {"area pagina inteira", [](auto& d) { d.areaImpressaoPagina(0, 10, 511, 300); },
         "1B 57 00 00 0A 00 FF 01 2C 01"},
        {"area pagina limite", [](auto& d) { d.areaImpressaoPagina(12, 0, 500, 1); }, "1B 57 0C 00 00 00 F3 01 01 00"},
        {"largura area", [](auto& d) { d.larguraAreaImpressao(512); }, "1D 57 00 02"},
        {"cabecalho raster", [](auto& d) { d.cabecalhoImagemRaster(1, 17, 5); }, "1D 76 30 01 03 00 05 00"},
        {"cabecalho raster modo invalido", [](auto& d) { d.cabecalhoImagemRaster(4, 17, 5); }, ""},
        // Sizes the 16-bit fields cannot carry: nothing is sent, or the image bytes would print as text.
        {"cabecalho raster largo demais", [](auto& d) { d.cabecalhoImagemRaster(0, INT_MAX, 5); }, ""},
        {"raster largo demais", [](auto& d) { d.imprimirImagemRaster(0, INT_MAX, 1, kDados); }, ""},
        {"area pagina extrema", [](auto& d) { d.areaImpressaoPagina(INT_MAX, 0, INT_MAX, 0); },
         "1B 57 FF FF 00 00 00 00 00 00"},
        {"tamanho e qr extremos",
         [](auto& d) {
             d.selecionarTamanhoCaractere(INT_MAX, INT_MIN);
             d.qrSelecionarModelo(INT_MAX);
             d.qrNivelCorrecao(INT_MAX);
         },
         "1D 21 70 1D 28 6B 04 00 31 41 30 00 1D 28 6B 03 00 31 45 2F"},
        {"espacamento caracteres", [](auto& d) { d.espacamentoEntreCaracteres(2); }, "1B 20 02"},
        {"ativarCaracteresUsuario", [](auto& d) { d.ativarCaracteresUsuario(); }, "1B 25 01"},
        {"invertido", [](auto& d) { d.selecionarInvertido(true); }, "1B 7B 01"},
        {"definirMacro", [](auto& d) { d.definirMacro(); }, "1D 3A"},
        {"sublinhado",
         [](auto& d) {
             d.selecionarSublinhado(true);
             d.selecionarSublinhado(false);
         },
         "1B 2D 31 1B 2D 30"},
        {"estacao bobina", [](auto& d) { EXPECT_TRUE(d.selecionarEstacaoPapel(0)); },
         "10 05 03 1B 63 30 01 1B 63 31 01"},
        {"estacao folha", [](auto& d) { EXPECT_TRUE(d.selecionarEstacaoPapel(2)); }, "1B 63 30 04 1B 63 31 04"},
        {"estacao invalida", [](auto& d) { EXPECT_FALSE(d.selecionarEstacaoPapel(3)); }, ""},
        {"ejetarFolha", [](auto& d) { d.ejetarFolha(); }, "0C"},
        {"qr modelo", [](auto& d) { d.qrSelecionarModelo(1); }, "1D 28 6B 04 00 31 41 32 00"},
        {"qr modulo", [](auto& d) { d.qrTamanhoModulo(4); }, "1D 28 6B 03 00 31 43 04"},
        {"qr nivel", [](auto& d) { d.qrNivelCorrecao(3); }, "1D 28 6B 03 00 31 45 33"},
        {"qr imprimir", [](auto& d) { EXPECT_TRUE(d.qrImprimir()); }, "1D 28 6B 03 00 31 51 30 00 00 0A"},
        {"qr dados", [](auto& d) { d.qrArmazenarDados("AB"); }, "1D 28 6B 05 00 31 50 30 41 42"},
        {"qr dados vazios", [](auto& d) { d.qrArmazenarDados(""); }, ""},
        {"qr dados 7090", [](auto& d) { d.qrArmazenarDados(std::string(7090, 'x')); }, ""},
        {"imprimirQRCode",
         [](auto& d) {
             Ordal::Printer::ParametrosQRCode p;
             p.modelo = 1;
             p.tamanhoModulo = 3;
             p.nivelCorrecao = 1;
             p.dados = "Z";
             EXPECT_TRUE(d.imprimirQRCode(p));
         },
         "1D 28 6B 04 00 31 41 32 00 1D 28 6B 03 00 31 43 03 1D 28 6B 03 00 31 45 31 "
         "1D 28 6B 04 00 31 50 30 5A 1D 28 6B 03 00 31 51 30 00 00 0A"},
        {"raster alinhado a direita", [](auto& d) { d.imprimirRasterAlinhado(0, 200, 1, kDados, 2); },
         "1D 4C 38 01 1D 76 30 00 19 00 01 00 " + paraHex(std::string((const char*)kDados, 25)) + " 1D 4C 00 00"},
        {"raster centralizado", [](auto& d) { d.imprimirRasterAlinhado(0, 200, 1, kDados, 1); },
         "1D 4C 9C 00 1D 76 30 00 19 00 01 00 " + paraHex(std::string((const char*)kDados, 25)) + " 1D 4C 00 00"},
        {"raster centralizado com margem",
         [](auto& d) {
             d.margemEsquerda(100);
             d.imprimirRasterAlinhado(0, 8, 1, kDados, 1);
         },
         "1D 4C 64 00 1D 4C 2E 01 1D 76 30 00 01 00 01 00 A1 1D 4C 64 00"},
        {"raster largo demais nao alinha", [](auto& d) { d.imprimirRasterAlinhado(0, 512, 1, kGrande, 2); },
         "1D 76 30 00 40 00 01 00 " + paraHex(std::string((const char*)kGrande, 64)) + " 1D 4C 00 00"},
        {"raster alinhamento corrente",
         [](auto& d) {
             d.selecionarAlinhamento(2);
             d.imprimirRasterAlinhado(0, 504, 1, kGrande, -1);
         },
         "1B 61 02 1D 4C 08 00 1D 76 30 00 3F 00 01 00 " + paraHex(std::string((const char*)kGrande, 63)) +
             " 1D 4C 00 00"},
        {"padrao de teste", [](auto& d) { EXPECT_TRUE(d.imprimirPadraoTeste(0, 16, 2)); },
         "1D 76 30 00 02 00 02 00 AA AA 55 55 1D 4C 00 00"},
        {"padrao de teste parcial", [](auto& d) { EXPECT_TRUE(d.imprimirPadraoTeste(4, 10, 1)); },
         "1D 76 30 00 02 00 01 00 0A 80 1D 4C 00 00"},
        {"padrao de teste vazio", [](auto& d) { EXPECT_FALSE(d.imprimirPadraoTeste(0, 16, 0)); }, ""},
        {"dobrar e reduzir largura",
         [](auto& d) {
             d.reduzirLargura();  // 0: nothing
             d.dobrarLargura();   // 0 -> 1
             d.dobrarLargura();   // 1 -> 3
             d.reduzirLargura();  // 3 -> 1
             d.dobrarAltura();    // 0 -> 1
             d.reduzirAltura();   // 1 -> 0
         },
         "1D 21 10 1D 21 30 1D 21 10 1D 21 11 1D 21 10"},
        {"avancarLinhas", [](auto& d) { d.avancarLinhas(3); }, "0A 0A 0A"},
        {"imprimirFormatado", [](auto& d) { EXPECT_TRUE(d.imprimirFormatado("%d-%s|%05.1f", 5, "x", 2.5)); },
         "35 2D 78 7C 30 30 32 2E 35"},
        {"imprimirTextoC nulo", [](auto& d) { EXPECT_FALSE(d.imprimirTextoC(nullptr)); }, ""},
        {"codigo de barras texto", [](auto& d) { d.imprimirCodigoBarrasTexto(4, "AB"); }, "1D 6B 45 02 41 42"},
        {"codigo de barras completo",
         [](auto& d) {
             static const uint8_t dados[] = {'1', '2'};
             Ordal::Printer::ParametrosCodigoBarras p{5, dados, 2, 1, 3, 100, 16, 2, 0};
             d.imprimirCodigoBarrasCompleto(p);
         },
         "1D 68 64 1D 77 03 1D 4C 10 00 1B 61 01 1D 48 02 1D 66 00 1D 6B 46 02 31 32"},
    };
    return casos;
}

}  // namespace

TEST(Encoder, BytesDeCadaComando) {
    for (const auto& caso : casosEncoder()) {
        teste::EncoderGravador d;
        caso.acao(d);
        EXPECT_EQ(paraHex(d.bytes), paraHex(hex(caso.esperado))) << caso.nome;
    }
}

TEST(Encoder, QrDadosNoLimite) {
    teste::EncoderGravador d;
    d.qrArmazenarDados(std::string(7089, 'q'));
    ASSERT_EQ(d.bytes.size(), 7089u + 8);
    EXPECT_EQ(paraHex(d.bytes.substr(0, 8)), "1D 28 6B B4 1B 31 50 30");
    EXPECT_EQ(d.bytes.substr(8), std::string(7089, 'q'));
}

TEST(Encoder, EstadoGuardado) {
    teste::EncoderGravador d;
    EXPECT_EQ(d.fonte, 4);
    d.selecionarFonte(1);
    d.selecionarAlinhamento(2);
    d.margemEsquerda(40);
    d.selecionarTamanhoCaractere(8, 9);
    EXPECT_EQ(d.fonte, 1);
    EXPECT_EQ(d.alinhamento, 2);
    EXPECT_EQ(d.Ordal::Printer::Status::margemEsquerda, 40);
    // What is stored is what the command selects (3 bits each).
    EXPECT_EQ(d.multLargura, 0);
    EXPECT_EQ(d.multAltura, 1);
    EXPECT_TRUE(d.selecionarEstacaoPapel(1));
    EXPECT_EQ(d.estacaoPapel, 1);
    EXPECT_FALSE(d.selecionarEstacaoPapel(-1));
    EXPECT_EQ(d.estacaoPapel, 1);
}

TEST(Encoder, TrabalhoCapturaEnvioMasNaoComandosDiretos) {
    teste::EncoderGravador d;
    d.iniciarTrabalho();
    d.imprimirTextoC("abc");
    d.acionarGaveta(1, 2, 4);  // direct: reaches the device now
    d.definirImagemNV(0, 8, 1, (const uint8_t*)"\xFF");
    d.avancarPapel(10);
    EXPECT_EQ(paraHex(d.bytes), paraHex(hex("1B 70 01 01 02 1C 71 00 01 00 01 00 FF 00 00 00 00 00 00 00")));
    EXPECT_EQ(d.obterTrabalho(), "abc" + hex("1B 4A 0A"));
    d.limpar();
    EXPECT_TRUE(d.enviarTrabalho());
    EXPECT_EQ(d.bytes, "abc" + hex("1B 4A 0A"));
    ASSERT_EQ(d.escritas.size(), 1u);  // the job goes out in one write
    d.encerrarTrabalho();
    d.limpar();
    d.imprimirTextoC("x");
    EXPECT_EQ(d.bytes, "x");
    EXPECT_EQ(d.obterTrabalho(), "abc" + hex("1B 4A 0A"));
    d.limparTrabalho();
    EXPECT_EQ(d.obterTrabalho(), "");
    d.iniciarTrabalho();
    d.imprimirTextoC("novo");
    EXPECT_EQ(d.obterTrabalho(), "novo");
}

TEST(Modelos, RX457AvancoECorte) {
    teste::RX457Gravador d(teste::kSemDispositivo);
    d.acionarGuilhotina(0x0B);
    EXPECT_EQ(paraHex(d.bytes), "1B 4A D0 1B 4A 32 1D 56 31");
}

TEST(Modelos, RX268AvancoEmPedacosDe32) {
    teste::RX268Gravador d(teste::kSemDispositivo);
    d.avancarPapel(600);
    EXPECT_EQ(paraHex(d.bytes), paraHex(repetir(hex("1B 4A 20"), 18) + hex("1B 4A 18")));
    d.limpar();
    d.acionarGuilhotina(3);  // 1300 + 1300 dots, no cut
    EXPECT_EQ(d.bytes.size(), 3u * (2 * (1300 / 32 + 1)));
}

TEST(Modelos, RX268TabelasEConversao) {
    teste::RX268Gravador d(teste::kSemDispositivo);
    struct Caso {
        int chave;
        bool conhecida;
        const char* bytes;
        bool converte;
    } casos[] = {
        {0, true, "1B 74 00", false}, {6, true, "1B 74 03", true},   {9, true, "1B 74 08", false},
        {6, true, "1B 74 03", true},  {23, true, "1B 74 0D", false}, {7, true, "1B 74 3B", false},
        {10, false, "", false},       {24, false, "", false},
    };
    for (const auto& c : casos) {
        const uint8_t* antes = d.tabelaConversao;
        d.limpar();
        EXPECT_EQ(d.selecionarTabelaCaracteres(c.chave), c.conhecida) << c.chave;
        EXPECT_EQ(paraHex(d.bytes), paraHex(hex(c.bytes))) << c.chave;
        if (c.conhecida)
            EXPECT_EQ(d.tabelaConversao != nullptr, c.converte) << c.chave;
        else
            EXPECT_EQ(d.tabelaConversao, antes) << "unknown key keeps the table";
    }
    // Table installed by key 6: Latin-1 accents to the printer's code page.
    ASSERT_TRUE(d.selecionarTabelaCaracteres(6));
    d.limpar();
    d.imprimirTexto("a\xE7\xE3o \x80\xA0\xC7\xFC\xDF\xBF\xFF");
    EXPECT_EQ(paraHex(d.bytes), paraHex("a" + hex("87 84") + "o " + hex("20 FF 80 81 E1 A8 20")));
    d.limpar();
    std::string longo(3000, '\xE9');
    d.imprimirTexto(longo);
    ASSERT_EQ(d.escritas.size(), 3u);
    EXPECT_EQ(d.escritas[0], std::string(1024, '\x82'));
    EXPECT_EQ(d.escritas[2].size(), 952u);
    ASSERT_TRUE(d.selecionarTabelaCaracteres(0));
    d.limpar();
    d.imprimirTexto("\xE7");
    EXPECT_EQ(d.bytes, "\xE7");
}

TEST(Modelos, TabelaDeConversaoCompleta) {
    const uint8_t* t = Ordal::Printer::RX268::tabelaConversaoPadrao();
    const char* linhas[8] = {
        "20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20", "20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20",
        "FF AD 9B 9C 20 20 20 20 20 20 A6 AE AA 20 20 20", "F8 F1 20 20 20 E6 20 20 20 20 A7 AF AC AB 20 A8",
        "91 86 8F 8E 20 20 20 80 92 90 89 20 98 8B 20 20", "20 A5 A9 9F 8C 99 20 20 20 9D 96 20 9A 20 20 E1",
        "85 A0 83 84 20 20 20 87 8A 82 88 20 8D A1 20 20", "20 A4 95 A2 93 94 20 20 20 97 A3 20 81 20 20 20",
    };
    for (int r = 0; r < 8; ++r)
        EXPECT_EQ(paraHex(std::string((const char*)t + 16 * r, 16)), linhas[r])
            << "row " << std::hex << (0x80 + 16 * r);
}

TEST(Modelos, Templates) {
    using namespace Ordal::Printer;
    teste::RX457Gravador a(teste::kSemDispositivo);
    teste::RX268Gravador b(teste::kSemDispositivo);
    EXPECT_EQ(a.resolucao(), 180);
    EXPECT_EQ(a.larguraPontos(), 512);
    EXPECT_EQ(b.resolucao(), 203);
    EXPECT_EQ(b.larguraPontos(), 576);
    EXPECT_STREQ(a.descricaoModelo, "Esc/POS for RX457");
    EXPECT_STREQ(b.descricaoModelo, "Esc/POS for RX268");
    EXPECT_STREQ(a.fabricanteDriver, "Ordal");
    EXPECT_STREQ(a.versaoDriver, "1.00");
    EXPECT_EQ(a.avancoCurto, 50);
    EXPECT_EQ(a.avancoCorte, 208);
    EXPECT_EQ(b.avancoCurto, 1300);
    EXPECT_STREQ(a.obterFonte(0).nome, "Normal");
    EXPECT_EQ(a.obterFonte(1).largura, 9);
    EXPECT_EQ(a.obterFonte(1).altura, 17);
    // Font numbers mean their value mod 8.
    EXPECT_STREQ(a.obterFonte(9).nome, "Condensada");
    EXPECT_EQ(a.obterFonte(8).largura, 12);
    EXPECT_EQ(a.obterFonte(17).largura, 9);  // record i mod 16
    ASSERT_NE(a.link, nullptr);
    EXPECT_EQ(a.codigoPorta(), 0x0A00);
    EXPECT_EQ(a.nomePorta(), teste::kSemDispositivo) << "a port named by its path keeps that name";
    EXPECT_TRUE(a.link->estaFechado());
    EXPECT_EQ(a.link->velocidade, 115200);
    EXPECT_EQ(a.fonte, 4);
    EXPECT_EQ(a.qrcode.modelo, 1);
    EXPECT_EQ(a.qrcode.tamanhoModulo, 2u);
    EXPECT_EQ(a.qrcode.nivelCorrecao, 0);
}
