// The process-wide session and its printing facade: configuration, lock, driver, spool, the line
// position, the font values and the legacy memory bitmap. Exports call these operations under `mutex`.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "RX457.h"
#include "config/Parametros.h"
#include "printer/Driver.h"

namespace ORDAL_VEX {

// Documents queued for later printing: a ring of 64 slots with its own lock, always taken inside the
// session lock. The tail never moves, so at most 63 documents are stored before the spool is emptied.
struct DocumentoSpool {
    std::string dados;
    std::string descricao;
    int32_t estado = 0;
};

struct Spool {
    static constexpr int capacidade = 64;
    std::array<DocumentoSpool, capacidade> documentos;
    int inicio = 0;  // head: the last slot written
    int fim = 0;     // tail
    std::mutex mutex;

    // Stores a copy of the bytes; the document's number (slot + 1), or 0 when the spool is full.
    int armazenarDocumento(const std::string& dados);
    void esvaziar();
};

// What the content of a markup tag must look like.
struct RegraConteudo {
    int somenteNumeros = 0;      // 1: decimal digits, range-checked as a number
    uint32_t tamanhoMinimo = 0;  // bytes; 0 = none
    uint32_t tamanhoMaximo = 0;  // bytes; 0 = none, 0xFFFFFFFF = unlimited
    uint32_t valorMinimo = 0;
    uint32_t valorMaximo = 0xFFFFFFFFu;
    bool conteudoLiteral = false;  // taken up to the closing tag without looking for tags inside
};

class ORVEX {
public:
    // Builds the printer driver for a port name; the session's own creates the virtual printer.
    using FabricaDriver = std::function<std::unique_ptr<Ordal::Printer::Driver>(const std::string& porta)>;

    explicit ORVEX(const std::string& arquivoConfiguracao = "CONVERSOR.ini", FabricaDriver fabrica = {});
    ~ORVEX();
    ORVEX(const ORVEX&) = delete;
    ORVEX& operator=(const ORVEX&) = delete;

    // The one session of the process, constructed when the library is loaded. Defined with the
    // exports (api/Sessao.cpp), which choose the driver it prints through.
    static ORVEX& instancia();

    // ---- configuration ----
    // Loads the configuration file again and hands its values on to printing.
    void recarregarConfiguracao();
    // Section-name aliases accepted by the configuration exports.
    std::string normalizarSecao(const char* secao);

    // ---- driver ----
    // Creates the driver on first use (the port follows the printer) and returns it.
    Ordal::Printer::Driver& obterDriver();
    // Narrows the driver's print area to the configured paper (LARGURA_BOBINA - 8 mm) when that is
    // below the printer's width, else restores the full width.
    void aplicarLarguraBobina();

    // ---- markup (Tags.cpp) ----
    // Scans the text once: plain runs go to `imprimir`, tags become driver or facade operations.
    void interpretarTagsImpressao(const char* texto, unsigned int tamanho,
                                  const std::function<void(const char*, unsigned int)>& imprimir);
    // Checks a tag's content; a rejection writes its message to the error stream.
    static bool validarConteudo(const RegraConteudo& regra, const std::string& nomeTag, const std::string& conteudo);

    // ---- text ----
    // Text with print markup.
    void imprimirTexto(const char* texto, unsigned int tamanho);
    // Text as it stands; advances posicaoLinha.
    void imprimirTextoSimples(const char* texto, unsigned int tamanho);
    void quebrarLinhaPendente();
    void avancarLinhasTexto(int n);

    // ---- paper, drawer ----
    void cortarPapel();
    bool abrirGaveta();

    // ---- header and QR code beside text ----
    void imprimirCabecalho(const char* texto, const char* arquivoLogo);
    void imprimirQRCodeTextoDireita(const char* dadosQR, const char* texto);

    // ---- files and images (VEX codes unless said otherwise) ----
    // Legacy codes: 1 read, -99 null name, -27 unreadable.
    static int lerArquivo(const char* caminho, std::string& conteudo);
    int imprimirImagemArquivo(const char* caminho, int flags, unsigned int divisor, int limiar);
    int imprimirPDF(const char* caminho);
    // 0 loaded, 8 not loadable; the bitmap replaces the previous one.
    int carregarBMPMemoria(const char* caminho, char modo);
    bool imprimirBMPMemoria();

    // ---- fiscal documents (DespachoFiscal.cpp) ----
    // Prints a CF-e sale, a CF-e cancellation or a DANFE NFC-e from its XML text (VEX codes).
    // `aviso`, when given, receives a message for a document printed from XML that was not
    // understood to its end (it stays as it was otherwise).
    int imprimirDocumentoFiscal(const char* xml, const InfoDocumento* info, unsigned int tamanhoInfo, int opcoes,
                                int reservado, std::string* aviso = nullptr);

    // ---- print modes ----
    void alterarModoImpressao(int modos, int operacao);

    // Fields, in the session's declaration order.
    Ordal::Printer::Raster bitmapMemoria;
    Configuracao configuracao;
    std::mutex mutex;
    int32_t tamanhoQRCode = 3;
    int32_t posicaoLinha = 0;
    std::unique_ptr<Ordal::Printer::Driver> driver;
    int32_t fonteCondensada = 1;
    int32_t fonteNormal = 4;
    int32_t fonte = 1;
    void* callbackEventos = nullptr;
    Spool spool;
    int32_t modoImpressaoAtual = 0;
    int32_t modoPadrao = 0;
    int32_t fontePadrao = 1;

    // Tells the driver, for the length of one export call, that the host's call is producing lines.
    class ChamadaEmCurso {
    public:
        explicit ChamadaEmCurso(ORVEX& s) noexcept : s_(s) {
            if (s_.driver) s_.driver->marcarChamada(true);
        }
        ~ChamadaEmCurso() {
            if (s_.driver) s_.driver->marcarChamada(false);
        }
        ChamadaEmCurso(const ChamadaEmCurso&) = delete;
        ChamadaEmCurso& operator=(const ChamadaEmCurso&) = delete;

    private:
        ORVEX& s_;
    };

    // Hands the driver the settings it keeps (time limit, compact raster); nothing without a driver.
    void aplicarAoDriver();

private:
    void repassarConfiguracao();
    // Rewrites PORTA when the driver reached the printer on another port than the configured one.
    void seguirPorta();

    FabricaDriver fabrica_;
    unsigned conexoesVistas_ = 0;  // the driver's connection count when the port was last followed
    int larguraMaximaPontos_ = 0;  // the printer's own width, before any paper narrowing
};

// Converts a facade (VEX) code into the legacy family's: 0 -> 1; 2..5 -> -99; 8 -> -8; 10, 13 -> -27;
// anything else -> 0.
int traduzirCodigo(int codigo);

}  // namespace ORDAL_VEX
