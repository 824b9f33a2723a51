// rx457-preview: a receipt as the printer would print it, without any printer. The library is loaded
// in a private working directory whose "CONVERSOR.ini" names a port that cannot exist, the input is
// printed into a job, and the job is rendered by the library's own engine into a BMP, then a PNG.
#include <dlfcn.h>
#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "ImagemPNG.h"
#include "RX457.h"

namespace {

// A path below a file, never a directory: opening it fails at once, so no device is probed or waited
// for, whatever is plugged into the machine.
constexpr const char* kPortaInexistente = "/dev/null/rx457-preview";
// Placeholders for the NFC-e QR code when the caller gives none: the code is drawn, but does not verify.
constexpr const char* kTokenFicticio = "000001";
constexpr const char* kCSCFicticio = "PREVIA0000000000000000000000000000000";

void uso(std::FILE* f) {
    std::fputs(
        "uso: rx457-preview [opções] ENTRADA\n"
        "Desenha, sem impressora, o que a impressora imprimiria: um XML fiscal (CF-e SAT, cancelamento,\n"
        "NFC-e), um texto com marcação de impressão ou um arquivo de bytes da impressora (trabalho salvo).\n"
        "  --width 56|80        largura da bobina em mm (padrão: 80, ou a do --config)\n"
        "  --out ARQUIVO        imagem de saída, .png ou .bmp (padrão: nome da entrada com .png)\n"
        "  --bmp                grava também o BMP ao lado do PNG\n"
        "  --kind fiscal|text|bytes  tipo da entrada (padrão: reconhecido pelo conteúdo)\n"
        "  --token ID           identificador do CSC da NFC-e (padrão: 000001, fictício)\n"
        "  --csc CODIGO         código de segurança do contribuinte da NFC-e (padrão: fictício)\n"
        "  --options N          opções da NFC-e, como em VEX_ImprimirDocumentoFiscal (padrão: 0)\n"
        "  --config ARQUIVO     usa a configuração deste CONVERSOR.ini (a porta é ignorada)\n"
        "  --utf8               converte o texto de UTF-8 para Latin-1 antes de imprimir\n"
        "  --help               mostra esta ajuda\n",
        f);
}

[[noreturn]] void falhar(const std::string& mensagem, int codigo = 1) {
    std::cerr << "rx457-preview: " << mensagem << "\n";
    std::exit(codigo);
}

bool lerArquivo(const std::string& caminho, std::string& conteudo) {
    std::ifstream in(caminho, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    conteudo = s.str();
    return !in.bad();
}

bool gravarArquivo(const std::string& caminho, const std::string& conteudo) {
    std::ofstream out(caminho, std::ios::binary | std::ios::trunc);
    out.write(conteudo.data(), static_cast<std::streamsize>(conteudo.size()));
    out.close();
    return static_cast<bool>(out);
}

std::string absoluto(const std::string& caminho, const std::string& base) {
    return caminho.empty() || caminho[0] == '/' ? caminho : base + "/" + caminho;
}

std::string pastaDe(const std::string& caminho) {
    const size_t barra = caminho.rfind('/');
    return barra == std::string::npos ? "." : barra == 0 ? "/" : caminho.substr(0, barra);
}

enum class Tipo { Fiscal, Texto, Bytes };

// The same tests the library applies to a fiscal text; control bytes other than tab, line feed and
// carriage return mean printer commands.
Tipo reconhecer(const std::string& conteudo) {
    if (conteudo.find("<infNFe") != std::string::npos || conteudo.find("<infCFe") != std::string::npos)
        return Tipo::Fiscal;
    for (unsigned char c : conteudo)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return Tipo::Bytes;
    return Tipo::Texto;
}

bool pareceUTF8(const std::string& t) {
    bool multibyte = false;
    for (size_t i = 0; i < t.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (c < 0x80) continue;
        const size_t n = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
        if (n == 0 || i + n >= t.size()) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(t[i + k]) & 0xC0) != 0x80) return false;
        multibyte = true;
        i += n;
    }
    return multibyte;
}

// Characters outside Latin-1 become '?', as the printer has no glyph for them.
std::string utf8ParaLatin1(const std::string& t) {
    std::string saida;
    for (size_t i = 0; i < t.size();) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        uint32_t cp = c;
        size_t n = 1;
        if ((c & 0xE0) == 0xC0 && i + 1 < t.size()) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(t[i + 1]) & 0x3Fu);
            n = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = 0xFFFF;
            n = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = 0xFFFF;
            n = 4;
        }
        saida += cp < 0x100 ? static_cast<char>(cp) : '?';
        i += n;
    }
    return saida;
}

// <ibmp> names an image relative to the host's working directory: here, the directory the preview was
// started in, not the private one the library runs in.
std::string imagensAbsolutas(const std::string& texto, const std::string& base) {
    static const std::string abre = "<ibmp>", fecha = "</ibmp>";
    std::string saida;
    size_t pos = 0;
    for (;;) {
        const size_t a = texto.find(abre, pos);
        if (a == std::string::npos) break;
        const size_t inicio = a + abre.size(), f = texto.find(fecha, inicio);
        if (f == std::string::npos) break;
        saida.append(texto, pos, inicio - pos);
        saida += absoluto(texto.substr(inicio, f - inicio), base);
        pos = f;
    }
    return saida + texto.substr(pos);
}

void* biblioteca = nullptr;

template <typename F>
F* exportacao(const char* nome) {
    auto* f = reinterpret_cast<F*>(::dlsym(biblioteca, nome));
    if (!f) falhar(std::string("a biblioteca não tem a função ") + nome);
    return f;
}

std::string ultimoErro() {
    char texto[512] = {0};
    exportacao<decltype(VEX_ObterUltimoErro)>("VEX_ObterUltimoErro")(texto, sizeof texto);
    return texto;
}

void alterar(const char* secao, const char* chave, const std::string& valor) {
    const int r = exportacao<decltype(VEX_AlterarParametroConfiguracaoVEX)>("VEX_AlterarParametroConfiguracaoVEX")(
        secao, chave, valor.c_str());
    if (r != 0)
        falhar(std::string("configuração ") + secao + "/" + chave + " = '" + valor + "' recusada (código " +
               std::to_string(r) + ")");
}

std::string lerParametro(const char* secao, const char* chave) {
    char valor[4096] = {0};
    const int r = exportacao<decltype(VEX_LerParametroConfiguracaoVEX)>("VEX_LerParametroConfiguracaoVEX")(
        secao, chave, valor, sizeof valor);
    return r == 0 ? std::string(valor) : std::string();
}

std::string pastaTemporaria;

void removerPastaTemporaria() {
    if (pastaTemporaria.empty()) return;
    ::nftw(
        pastaTemporaria.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 8,
        FTW_DEPTH | FTW_PHYS);
    pastaTemporaria.clear();
}

}  // namespace

int main(int argc, char** argv) {
    std::string entrada, saida, config, largura, token = kTokenFicticio, csc = kCSCFicticio, tipoForcado;
    int opcoes = 0;
    bool bmpTambem = false, converterUTF8 = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto valor = [&]() -> std::string {
            if (i + 1 >= argc) falhar("falta o valor de " + a, 2);
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            uso(stdout);
            return 0;
        } else if (a == "--width") {
            largura = valor();
            if (largura != "56" && largura != "80") falhar("--width aceita 56 ou 80", 2);
        } else if (a == "--out") {
            saida = valor();
        } else if (a == "--bmp") {
            bmpTambem = true;
        } else if (a == "--kind") {
            tipoForcado = valor();
            if (tipoForcado != "fiscal" && tipoForcado != "text" && tipoForcado != "bytes")
                falhar("--kind aceita fiscal, text ou bytes", 2);
        } else if (a == "--token") {
            token = valor();
        } else if (a == "--csc") {
            csc = valor();
        } else if (a == "--options") {
            char* fim = nullptr;
            const std::string v = valor();
            opcoes = static_cast<int>(std::strtol(v.c_str(), &fim, 0));
            if (v.empty() || *fim) falhar("--options espera um número", 2);
        } else if (a == "--config") {
            config = valor();
        } else if (a == "--utf8") {
            converterUTF8 = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            uso(stderr);
            falhar("opção desconhecida: " + a, 2);
        } else if (entrada.empty()) {
            entrada = a;
        } else {
            falhar("só uma entrada por vez", 2);
        }
    }
    if (entrada.empty()) {
        uso(stderr);
        return 2;
    }

    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) falhar("pasta atual inacessível");
    const std::string pastaOriginal = cwd;

    std::string conteudo;
    if (!lerArquivo(entrada, conteudo)) falhar("não foi possível ler " + entrada);
    const Tipo tipo = tipoForcado == "fiscal"  ? Tipo::Fiscal
                      : tipoForcado == "text"  ? Tipo::Texto
                      : tipoForcado == "bytes" ? Tipo::Bytes
                                               : reconhecer(conteudo);
    std::string textoConfig;
    if (!config.empty() && !lerArquivo(config, textoConfig)) falhar("não foi possível ler " + config);
    const std::string pastaConfig = config.empty() ? pastaOriginal : absoluto(pastaDe(config), pastaOriginal);

    if (saida.empty()) {
        std::string base = entrada.substr(entrada.rfind('/') == std::string::npos ? 0 : entrada.rfind('/') + 1);
        const size_t ponto = base.rfind('.');
        if (ponto != std::string::npos && ponto > 0) base.resize(ponto);
        saida = base + ".png";
    }
    saida = absoluto(saida, pastaOriginal);
    const size_t barraSaida = saida.rfind('/'), pontoSaida = saida.rfind('.');
    const bool temExtensao = pontoSaida != std::string::npos && pontoSaida > barraSaida + 1;
    const std::string extensao = temExtensao ? saida.substr(pontoSaida) : std::string();
    const bool saidaBMP = extensao == ".bmp" || extensao == ".BMP";
    const std::string bmpAoLado = (temExtensao ? saida.substr(0, pontoSaida) : saida) + ".bmp";

    const char* tmp = std::getenv("TMPDIR");
    std::string molde = (tmp && *tmp ? std::string(tmp) : std::string("/tmp")) + "/rx457-preview-XXXXXX";
    if (!::mkdtemp(molde.data())) falhar(std::string("pasta temporária: ") + std::strerror(errno));
    pastaTemporaria = molde;
    std::atexit(removerPastaTemporaria);
    if (!gravarArquivo(pastaTemporaria + "/CONVERSOR.ini", textoConfig))
        falhar("não foi possível escrever a configuração");
    // The library reads "CONVERSOR.ini" from the working directory when it is loaded, and again before
    // every fiscal document.
    if (::chdir(pastaTemporaria.c_str()) != 0) falhar(std::string("pasta temporária: ") + std::strerror(errno));
    biblioteca = ::dlopen("libRX457.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!biblioteca) falhar(std::string("biblioteca não carregada: ") + ::dlerror());

    alterar("RX457", "PORTA", kPortaInexistente);
    alterar("RX457", "IP_E_PORTA", "");
    if (!largura.empty() || config.empty()) alterar("RX457", "LARGURA_BOBINA", largura.empty() ? "80" : largura);
    if (tipo == Tipo::Bytes) alterar("RX457", "ENTERAUTOMATICO", "0");
    // Logos named relative to the configuration file are found from the private directory too.
    for (const char* secao : {"BOBINA_56MM", "BOBINA_80MM"}) {
        const std::string logo = lerParametro(secao, "ARQUIVO_IMAGEM_LOGOMARCA");
        if (!logo.empty() && logo[0] != '/') alterar(secao, "ARQUIVO_IMAGEM_LOGOMARCA", absoluto(logo, pastaConfig));
    }
    const std::string logoAntigo = lerParametro("RX457", "PATH_LOGO_XML");
    if (!logoAntigo.empty() && logoAntigo[0] != '/')
        alterar("RX457", "PATH_LOGO_XML", absoluto(logoAntigo, pastaConfig));

    // The first use of the printer reports, once, that the port cannot be opened: expected here.
    std::fflush(stderr);
    const int erroSalvo = ::dup(2), nulo = ::open("/dev/null", O_WRONLY);
    if (erroSalvo >= 0 && nulo >= 0) ::dup2(nulo, 2);
    exportacao<decltype(VEX_IniciarTrabalhoImpressao)>("VEX_IniciarTrabalhoImpressao")();
    std::fflush(stderr);
    if (erroSalvo >= 0 && nulo >= 0) ::dup2(erroSalvo, 2);
    if (nulo >= 0) ::close(nulo);
    if (erroSalvo >= 0) ::close(erroSalvo);

    auto imprimirTexto = exportacao<decltype(RX457_iImprimirTexto)>("RX457_iImprimirTexto");
    if (tipo == Tipo::Fiscal) {
        const bool nfce = conteudo.find("<infNFe") != std::string::npos;
        InfoDocumento info{};
        info.tipo = 1;
        info.identificadorToken = token.c_str();
        info.codigoSeguranca = csc.c_str();
        auto imprimir = exportacao<decltype(VEX_ImprimirDocumentoFiscal)>("VEX_ImprimirDocumentoFiscal");
        const int r = nfce ? imprimir(conteudo.c_str(), &info, sizeof info, opcoes, 0)
                           : imprimir(conteudo.c_str(), nullptr, 0, opcoes, 0);
        if (r != 0) {
            const std::string erro = ultimoErro();
            falhar("documento fiscal não impresso (código " + std::to_string(r) + (erro.empty() ? "" : ": " + erro) +
                   ")");
        }
    } else if (tipo == Tipo::Texto) {
        if (converterUTF8)
            conteudo = utf8ParaLatin1(conteudo);
        else if (pareceUTF8(conteudo))
            std::cerr << "rx457-preview: aviso: o texto parece UTF-8, mas a impressora imprime Latin-1 (ISO-8859-1); "
                         "use --utf8 para converter\n";
        conteudo = imagensAbsolutas(conteudo, pastaOriginal);
        if (!conteudo.empty() && imprimirTexto(conteudo.data(), static_cast<int>(conteudo.size())) != 1)
            falhar("texto não impresso (grande demais?)");
    } else {
        // The bytes reach the job unchanged: each piece ends at a '<', so no markup tag can start in it.
        size_t pos = 0;
        while (pos < conteudo.size()) {
            size_t fim = conteudo.find('<', pos);
            fim = fim == std::string::npos ? conteudo.size() : fim + 1;
            if (imprimirTexto(conteudo.data() + pos, static_cast<int>(fim - pos)) != 1) falhar("bytes não enviados");
            pos = fim;
        }
    }

    const std::string imagemJob = pastaTemporaria + "/previa.bmp";
    const int r = exportacao<decltype(VEX_SalvarTrabalhoImpressaoComoImagem)>("VEX_SalvarTrabalhoImpressaoComoImagem")(
        imagemJob.c_str());
    std::string bmp;
    if (r != 0 || !lerArquivo(imagemJob, bmp)) falhar("imagem não desenhada (código " + std::to_string(r) + ")");
    exportacao<decltype(VEX_CancelarTrabalhoImpressao)>("VEX_CancelarTrabalhoImpressao")();

    rx457preview::Imagem1Bit imagem;
    std::string erro;
    if (!rx457preview::lerBMP1Bit(bmp, imagem, erro)) falhar("imagem do trabalho: " + erro);
    if (saidaBMP) {
        if (!gravarArquivo(saida, bmp)) falhar("não foi possível escrever " + saida);
    } else {
        if (!gravarArquivo(saida, rx457preview::codificarPNG(imagem))) falhar("não foi possível escrever " + saida);
        if (bmpTambem && !gravarArquivo(bmpAoLado, bmp)) falhar("não foi possível escrever " + bmpAoLado);
    }
    std::cout << saida << (bmpTambem && !saidaBMP ? " e " + bmpAoLado : "") << ": " << imagem.largura << " x "
              << imagem.altura << " pontos\n";
    return 0;
}
