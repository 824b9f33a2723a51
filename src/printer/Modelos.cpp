#include "printer/Modelos.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "transport/Rede.h"

namespace UART {
std::unique_ptr<Base> criarLink(const std::string& nomePorta) {
    if (Rede::ehEnderecoRede(nomePorta)) return std::make_unique<Rede>();
    return std::make_unique<UART>(parametrosPadrao());
}
}  // namespace UART

namespace Ordal::Printer {

namespace {

Specification especificacao(int32_t dpi, int32_t largura) {
    Specification e;
    e.resolucaoX = e.resolucaoY = e.resolucao = dpi;
    e.larguraPontos = largura;
    e.fontes[0] = Fonte{"Normal", 12, 24, 0};
    e.fontes[1] = Fonte{"Condensada", 9, 17, 0};
    e.espelharFontes();
    return e;
}

Settings configuracao(const char* descricao, int32_t curto, int32_t corte) {
    Settings s;
    s.fabricanteDriver = "Ordal";
    s.descricaoModelo = descricao;
    s.versaoDriver = "1.00";
    s.link = nullptr;
    s.avancoCurto = curto;
    s.avancoCorte = corte;
    return s;
}

// A printer whose status keeps changing must not keep the caller reading forever.
constexpr int kLeiturasEstaveisMaximas = 8;

}  // namespace

// --- RX457 ---------------------------------------------------------------------------------------

const Specification& RX457::especificacaoModelo() {
    static const Specification e = especificacao(180, 512);
    return e;
}

const Settings& RX457::configuracaoModelo() {
    static const Settings s = configuracao("Esc/POS for RX457", 50, 208);
    return s;
}

RX457::RX457(const std::string& nomePorta)
    : EscPOS(especificacaoModelo(), configuracaoModelo()), link_(UART::criarLink(nomePorta)) {
    link = link_.get();
    conectar(nomePorta);
}

RX457::~RX457() {
    if (link_) link_->fechar();
    link = nullptr;
}

bool RX457::lerStatus(PalavraStatus& destino) {
    PalavraStatus palavra{};
    const bool primeira = EscPOS::lerStatus(palavra);
    if (primeira) {
        for (int i = 0; i < kLeiturasEstaveisMaximas; ++i) {
            PalavraStatus nova{};
            if (!EscPOS::lerStatus(nova) || nova == palavra) break;
            palavra = nova;
        }
    }
    destino = palavra;
    return primeira;
}

bool RX457::definirImagemNVDeBitmapPadrao(int n, const Bitmap& bitmap, int flags) {
    aguardarFimImpressao(10000);
    bool ok = EscPOS::definirImagemNVDeBitmapPadrao(n, bitmap, flags);
    if (pausaGravacaoNV > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pausaGravacaoNV));
    return ok;
}

std::string RX457::consultar(std::string_view comando, int ms, int maximo) {
    if (link && link->estaAberto()) {
        // A late reply to an earlier query would be taken for this one.
        uint8_t descarte[256];
        link->ler(descarte, sizeof descarte);
    }
    return EscPOS::consultar(comando, ms, maximo);
}

// --- RX268 ---------------------------------------------------------------------------------------

namespace {

// Sixteen codes a row.
// clang-format off
const uint8_t kConversaoRX268[128] = {
    // 0x80..0x9F: no printable equivalent
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    // 0xA0
    0xFF, 0xAD, 0x9B, 0x9C, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0xA6, 0xAE, 0xAA, 0x20, 0x20, 0x20,
    // 0xB0
    0xF8, 0xF1, 0x20, 0x20, 0x20, 0xE6, 0x20, 0x20, 0x20, 0x20, 0xA7, 0xAF, 0xAC, 0xAB, 0x20, 0xA8,
    // 0xC0
    0x91, 0x86, 0x8F, 0x8E, 0x20, 0x20, 0x20, 0x80, 0x92, 0x90, 0x89, 0x20, 0x98, 0x8B, 0x20, 0x20,
    // 0xD0
    0x20, 0xA5, 0xA9, 0x9F, 0x8C, 0x99, 0x20, 0x20, 0x20, 0x9D, 0x96, 0x20, 0x9A, 0x20, 0x20, 0xE1,
    // 0xE0
    0x85, 0xA0, 0x83, 0x84, 0x20, 0x20, 0x20, 0x87, 0x8A, 0x82, 0x88, 0x20, 0x8D, 0xA1, 0x20, 0x20,
    // 0xF0
    0x20, 0xA4, 0x95, 0xA2, 0x93, 0x94, 0x20, 0x20, 0x20, 0x97, 0xA3, 0x20, 0x81, 0x20, 0x20, 0x20,
};
// clang-format on

struct PaginaRX268 {
    uint8_t n;
    int32_t chave;
    const uint8_t* tabela;
};

const PaginaRX268 kPaginasRX268[16] = {
    {0, 0, nullptr},   {2, 1, nullptr},   {3, 2, nullptr},   {4, 3, nullptr},
    {5, 4, nullptr},   {8, 9, nullptr},   {12, 18, nullptr}, {13, 23, nullptr},
    {14, 21, nullptr}, {18, 8, nullptr},  {20, 5, nullptr},  {25, 19, nullptr},
    {32, 20, nullptr}, {40, 15, nullptr}, {59, 7, nullptr},  {3, 6, kConversaoRX268},
};

}  // namespace

const Specification& RX268::especificacaoModelo() {
    static const Specification e = especificacao(203, 576);
    return e;
}

const Settings& RX268::configuracaoModelo() {
    static const Settings s = configuracao("Esc/POS for RX268", 1300, 1300);
    return s;
}

const uint8_t* RX268::tabelaConversaoPadrao() { return kConversaoRX268; }

RX268::RX268(const std::string& nomePorta)
    : EscPOS(especificacaoModelo(), configuracaoModelo()), link_(UART::criarLink(nomePorta)) {
    link = link_.get();
    conectar(nomePorta);
}

RX268::~RX268() {
    if (link_) link_->fechar();
    link = nullptr;
}

void RX268::avancarPapel(int pontos) {
    while (pontos > 0) {
        int k = std::min(pontos, 32);
        emitir({0x1B, 0x4A, static_cast<uint8_t>(k)});
        pontos -= k;
    }
}

bool RX268::selecionarTabelaCaracteres(int chave) {
    for (const auto& p : kPaginasRX268) {
        if (p.chave == chave) {
            tabelaConversao = p.tabela;
            emitir({0x1B, 0x74, p.n});
            return true;
        }
    }
    return false;
}

bool RX268::imprimirTexto(std::string_view bytes) {
    if (!tabelaConversao) return enviar(bytes);
    bool ok = true;
    std::string pedaco;
    for (size_t inicio = 0; inicio < bytes.size(); inicio += 1024) {
        pedaco.assign(bytes.substr(inicio, 1024));
        for (char& c : pedaco) {
            auto b = static_cast<uint8_t>(c);
            if (b >= 0x80) c = static_cast<char>(tabelaConversao[b - 0x80]);
        }
        ok = enviar(pedaco) && ok;
    }
    return ok;
}

bool RX268::lerIdentificacao(PrinterID& destino) {
    static const char cmd[3] = {0x1D, 0x49, 0x10};
    std::string resposta = consultar(std::string_view(cmd, 3), 1000, 5);
    if (resposta.empty()) return false;
    destino = PrinterID{};
    destino.nomeModelo = resposta;
    return true;
}

}  // namespace Ordal::Printer
