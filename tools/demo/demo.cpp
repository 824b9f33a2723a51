// Demonstration: a point-of-sale host in miniature. It starts the printer emulator on a pseudo-terminal,
// loads libRX457.so from a fresh working directory configured for that port, prints a receipt that
// shows what the markup can do and the three kinds of fiscal receipt from real XML files, and writes
// each page the emulator received as an image.
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "ImagemPNG.h"
#include "PrinterEmulator.h"
#include "RX457.h"
#include "ReciboDemo.h"

namespace {

void* biblioteca = nullptr;

template <typename F>
F* exportacao(const char* nome) {
    auto* f = reinterpret_cast<F*>(::dlsym(biblioteca, nome));
    if (!f) {
        std::cerr << "exportacao ausente: " << nome << "\n";
        std::exit(1);
    }
    return f;
}

void salvarPagina(rx457emu::PrinterEmulator& emulador, const std::string& nome) {
    exportacao<int()>("VEX_EsperarPeloTerminoImpressao")();
    emulador.waitQuiet(300, 20000);
    if (!emulador.writePageBMP(nome + ".bmp")) {
        std::cerr << nome << ": pagina vazia\n";
        return;
    }
    const std::vector<uint8_t> bmp = emulador.pageBMP();
    rx457preview::Imagem1Bit imagem;
    std::string erro;
    const bool png =
        rx457preview::lerBMP1Bit(std::string(bmp.begin(), bmp.end()), imagem, erro) &&
        static_cast<bool>(std::ofstream(nome + ".png", std::ios::binary) << rx457preview::codificarPNG(imagem));
    std::cout << "  " << nome << ".bmp" << (png ? " e " + nome + ".png" : "") << " (" << emulador.pageWidth() << " x "
              << emulador.pageHeight() << " pontos)\n";
    emulador.clearPage();
}

int imprimirFiscal(const std::string& arquivo, bool nfce) {
    auto imprimir = exportacao<int(const char*, InfoDocumento*, unsigned int, int, int)>("VEX_ImprimirDocumentoFiscal");
    InfoDocumento info{};
    info.tipo = 1;
    info.identificadorToken = "000001";
    info.codigoSeguranca = "A1B2C3D4E5F6G7H8I9J0K1L2M3N4O5P6Q7R8";
    return nfce ? imprimir(arquivo.c_str(), &info, sizeof info, 0x08, 0) : imprimir(arquivo.c_str(), nullptr, 0, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string pasta = argc > 1 ? argv[1] : "demo-output";
    const std::string amostras = argc > 2 ? argv[2] : RX457_FISCAL_SAMPLES;
    ::mkdir(pasta.c_str(), 0755);
    if (::chdir(pasta.c_str()) != 0) {
        std::perror(pasta.c_str());
        return 1;
    }

    rx457emu::PrinterEmulator emulador;
    rx457demo::escreverLogo("logo.bmp");
    std::ofstream("CONVERSOR.ini", std::ios::trunc) << "[RX457]\nPORTA = " << emulador.slavePath()
                                                    << "\nLARGURA_BOBINA = 80\n"
                                                       "[BOBINA_80MM]\nARQUIVO_IMAGEM_LOGOMARCA = logo.bmp\n"
                                                       "[BOBINA_56MM]\nARQUIVO_IMAGEM_LOGOMARCA = logo.bmp\n";

    biblioteca = ::dlopen(RX457_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!biblioteca) {
        std::cerr << "dlopen: " << ::dlerror() << "\n";
        return 1;
    }

    InfoImpressora impressora{};
    if (exportacao<int(InfoImpressora*, unsigned int)>("VEX_DetectarImpressora")(&impressora, sizeof impressora) != 0) {
        std::cerr << "impressora nao detectada em " << emulador.slavePath() << "\n";
        return 1;
    }
    std::cout << "Impressora " << impressora.nomeModelo << " (firmware " << impressora.versaoFirmware << ") em "
              << impressora.porta << ", " << impressora.larguraPontos << " pontos a " << impressora.resolucaoDpi
              << " dpi\nPaginas escritas em " << pasta << "/:\n";

    rx457demo::imprimirRecibo([](const char* nome) { return reinterpret_cast<void*>(exportacao<void()>(nome)); });
    salvarPagina(emulador, "recibo");

    struct Documento {
        const char* arquivo;
        const char* pagina;
        bool nfce;
    } documentos[] = {
        {"cfe-sale-hom-1item-infcpl-v006.xml", "cfe-venda", false},
        {"cfe-cancel-hom-v006.xml", "cfe-cancelamento", false},
        {"nfce-nfeproc-310-hom-df-cnpj-troco.xml", "nfce-danfe", true},
    };
    int falhas = 0;
    for (const Documento& d : documentos) {
        const int codigo = imprimirFiscal(amostras + "/" + d.arquivo, d.nfce);
        if (codigo != 0) {
            std::cerr << d.arquivo << ": codigo " << codigo << "\n";
            ++falhas;
            continue;
        }
        salvarPagina(emulador, d.pagina);
    }
    ::dlclose(biblioteca);
    return falhas == 0 ? 0 : 1;
}
