#include "SimbolosImpressos.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace impressos {

namespace {

std::string citar(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'')
            r += "'\\''";
        else
            r.push_back(c);
    }
    return r + "'";
}

uint32_t u32(const std::string& b, size_t o) {
    return uint32_t(uint8_t(b[o])) | uint32_t(uint8_t(b[o + 1])) << 8 | uint32_t(uint8_t(b[o + 2])) << 16 |
           uint32_t(uint8_t(b[o + 3])) << 24;
}

std::string base64(const std::string& s) {
    static const std::string alfabeto = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string r;
    uint32_t acc = 0;
    int bits = 0;
    for (char c : s) {
        const size_t v = alfabeto.find(c);
        if (v == std::string::npos) continue;
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            r.push_back(static_cast<char>((acc >> bits) & 0xFF));
        }
    }
    return r;
}

}  // namespace

Bancada::Bancada()
    : emulador_(std::make_unique<rx457emu::PrinterEmulator>()),
      impressora_(std::make_unique<Impressora>(emulador_->slavePath())) {}

std::string Bancada::capturar(const std::string& nome, const std::function<void(Impressora&)>& desenhar) {
    const std::string caminho = dir_.file(nome + ".bmp");
    impressora_->inicializar();
    impressora_->salvarImagem(caminho);
    desenhar(*impressora_);
    impressora_->limparImagem();
    // For a look at what the decoders were given.
    if (const char* pasta = std::getenv("RX457_MANTER_CAPTURAS"))
        rx457test::writeFile(std::string(pasta) + "/" + nome + ".bmp", rx457test::readFile(caminho));
    return caminho;
}

bool Imagem::linhaComTinta(int y) const {
    for (int x = 0; x < largura; ++x)
        if (ponto(x, y)) return true;
    return false;
}

int Imagem::primeiraColuna(int y0, int y1) const {
    for (int x = 0; x < largura; ++x)
        for (int y = y0; y < y1; ++y)
            if (ponto(x, y)) return x;
    return -1;
}

int Imagem::ultimaColuna(int y0, int y1) const {
    for (int x = largura - 1; x >= 0; --x)
        for (int y = y0; y < y1; ++y)
            if (ponto(x, y)) return x;
    return -1;
}

Imagem lerCaptura(const std::string& caminho) {
    const std::string b = rx457test::readFile(caminho);
    Imagem img;
    if (b.size() < 130 || b[0] != 'B' || b[1] != 'M') return img;
    img.largura = static_cast<int>(u32(b, 18));
    img.altura = -static_cast<int32_t>(u32(b, 22));
    if (img.largura <= 0 || img.altura <= 0) return Imagem{};
    const size_t passo = static_cast<size_t>((img.largura + 31) / 32 * 4);
    if (b.size() < 130 + passo * img.altura) return Imagem{};
    img.pontos.assign(static_cast<size_t>(img.largura) * img.altura, 0);
    for (int y = 0; y < img.altura; ++y)
        for (int x = 0; x < img.largura; ++x)
            img.pontos[static_cast<size_t>(y) * img.largura + x] =
                (uint8_t(b[130 + y * passo + x / 8]) >> (7 - x % 8)) & 1;
    return img;
}

bool temZbar() { return rx457test::commandAvailable("zbarimg"); }
bool temZXing() { return rx457test::commandAvailable("ZXingReader"); }

std::vector<std::string> lerZbar(const std::string& caminho) {
    std::vector<std::string> r;
    int rc = -1;
    const std::string xml = rx457test::runCommand(
        "zbarimg -q --nodbus --xml -Supca.enable -Supce.enable -Sisbn10.disable -Sisbn13.disable " + citar(caminho) +
            " 2>/dev/null",
        &rc);
    for (size_t p = xml.find("<data"); p != std::string::npos; p = xml.find("<data", p + 1)) {
        const size_t fimTag = xml.find('>', p);
        const size_t ini = xml.find("<![CDATA[", p);
        const size_t fim = ini == std::string::npos ? ini : xml.find("]]></data>", ini);
        if (fimTag == std::string::npos || fim == std::string::npos) break;
        const bool b64 = xml.substr(p, fimTag - p).find("base64") != std::string::npos;
        const std::string dado = xml.substr(ini + 9, fim - ini - 9);
        r.push_back(b64 ? base64(dado) : dado);
    }
    return r;
}

std::vector<std::string> lerZXing(const std::string& caminho, const std::string& formatos) {
    std::vector<std::string> r;
    int rc = -1;
    const std::string saida =
        rx457test::runCommand("ZXingReader -format " + formatos + " " + citar(caminho) + " 2>/dev/null", &rc);
    size_t p = 0;
    while ((p = saida.find("\nBytes:", p)) != std::string::npos) {
        p += 7;
        const size_t fim = saida.find('\n', p);
        std::string bytes;
        int acc = -1;
        for (size_t i = p; i < (fim == std::string::npos ? saida.size() : fim); ++i) {
            const char c = saida[i];
            if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
            const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
            if (acc < 0) {
                acc = v;
            } else {
                bytes.push_back(static_cast<char>(acc * 16 + v));
                acc = -1;
            }
        }
        r.push_back(bytes);
    }
    return r;
}

std::string expandirCode39(const std::string& lido) {
    std::string r;
    for (size_t i = 0; i < lido.size(); ++i) {
        const char c = lido[i];
        const char x = i + 1 < lido.size() ? lido[i + 1] : '\0';
        const bool letra = x >= 'A' && x <= 'Z';
        if (c == '+' && letra) {
            r.push_back(static_cast<char>(x - 'A' + 'a'));
        } else if (c == '$' && letra) {
            r.push_back(static_cast<char>(x - 'A' + 1));
        } else if (c == '/' && ((x >= 'A' && x <= 'O') || x == 'Z')) {
            r.push_back(x == 'Z' ? ':' : static_cast<char>(x - 'A' + '!'));
        } else if (c == '%' && letra) {
            static const char tabela[] = "\x1b\x1c\x1d\x1e\x1f;<=>?[\\]^_{|}~\x7f";
            if (x <= 'T')
                r.push_back(tabela[x - 'A']);
            else if (x == 'U')
                r.push_back('\0');
            else if (x == 'V')
                r.push_back('@');
            else if (x == 'W')
                r.push_back('`');
            else
                r.push_back('\x7f');
        } else {
            r.push_back(c);
            continue;
        }
        ++i;
    }
    return r;
}

}  // namespace impressos
