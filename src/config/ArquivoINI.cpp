#include "config/ArquivoINI.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "config/MetodoComunicacao.h"

namespace Misc::ArquivoINI {

namespace {

std::string maiusculas(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Trims characters with codes up to 32 (blanks, tabs, carriage returns) from both ends.
std::string aparar(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return s.substr(b, e - b);
}

}  // namespace

// ---- text conversion per type ----

template <>
void Chave<int>::lerTexto(const std::string& texto) {
    std::istringstream in(texto);
    int v;
    if (in >> v) atribuir(v);
}

template <>
std::string Chave<int>::comoTexto() const {
    return std::to_string(*variavel);
}

template <>
void Chave<bool>::lerTexto(const std::string& texto) {
    std::string t = maiusculas(texto);
    if (texto == "1" || t == "TRUE" || t == "SIM")
        *variavel = true;
    else if (texto == "0" || t == "FALSE" || t == "NAO")
        *variavel = false;
}

template <>
std::string Chave<bool>::comoTexto() const {
    return *variavel ? "1" : "0";
}

template <>
void Chave<std::string>::lerTexto(const std::string& texto) {
    std::string t = maiusculas(texto) == "NULL" ? std::string() : texto;
    if (permitidos) {
        for (const std::string& v : *permitidos)
            if (maiusculas(v) == maiusculas(t)) {
                *variavel = v;
                return;
            }
        return;
    }
    if (minimo || maximo)
        atribuir(t);
    else
        *variavel = t;
}

template <>
std::string Chave<std::string>::comoTexto() const {
    return *variavel;
}

template <>
void Chave<ORDAL_VEX::MetodoComunicacao>::lerTexto(const std::string& texto) {
    atribuir(ORDAL_VEX::metodoComunicacaoDeTexto(texto));
}

template <>
std::string Chave<ORDAL_VEX::MetodoComunicacao>::comoTexto() const {
    return ORDAL_VEX::nomeMetodoComunicacao(*variavel);
}

// ---- the file ----

INIFileBase::INIFileBase(const std::string& nomeArquivo) : nomeArquivo_(nomeArquivo) {}

bool INIFileBase::mesmoNome(const std::string& a, const std::string& b) const {
    if (diferenciaMaiusculas_) return a == b;
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void INIFileBase::executarTabela(int modo) {
    modo_ = modo;
    // Load and save passes work on one copy of the file and write it back once, so that completing a
    // fresh file costs one rewrite instead of one per key.
    std::ifstream in(nomeArquivo_, std::ios::binary);
    emPasse_ = modo != AlterarChave && static_cast<bool>(in);
    if (emPasse_) {
        std::ostringstream texto;
        texto << in.rdbuf();
        textoPasse_ = texto.str();
        passeAlterado_ = false;
    }
    in.close();
    tabela();
    if (emPasse_) {
        emPasse_ = false;
        if (passeAlterado_ && !gravarArquivo(textoPasse_)) falhaGravacao_ = true;
        textoPasse_.clear();
    }
    aposTabela();
}

void INIFileBase::carregar() {
    secaoAlvo_.clear();
    falhaGravacao_ = false;
    executarTabela(Carregar);
}

bool INIFileBase::salvar() {
    secaoAlvo_.clear();
    falhaGravacao_ = false;
    executarTabela(Salvar);
    return !falhaGravacao_;
}

bool INIFileBase::lerValor(const char* secao, const char* chave, std::string& valor) {
    const int modoSalvo = modo_;
    const std::string secaoSalva = secaoAlvo_;
    const std::string lidoSalvo = valorLido_;

    modo_ = LerChave;
    secaoAlvo_ = secao ? secao : "";
    valorLido_.clear();
    int transitoria = 0;
    const int padrao = 0;
    Chave<int> c(PropriedadesChave<int>{chave ? chave : "", &transitoria, &padrao, nullptr, nullptr, nullptr});
    const bool achou = processarChave(secaoAlvo_, c, false);
    valor = achou ? valorLido_ : std::string();

    modo_ = modoSalvo;
    secaoAlvo_ = secaoSalva;
    valorLido_ = lidoSalvo;
    return achou;
}

bool INIFileBase::existeChave(const char* secao, const char* chave) {
    std::string ignorado;
    return lerValor(secao, chave, ignorado);
}

bool INIFileBase::existeSecao(const char* secao) {
    std::string ignorado;
    return lerValor(secao, "", ignorado);
}

bool INIFileBase::alterarValor(const char* secao, const char* chave, const char* valor) {
    if (!secao || !chave || !valor) return false;
    std::string atual;
    if (!lerValor(secao, chave, atual)) return false;
    if (atual == valor) return true;

    secaoAlvo_ = secao;
    chaveAlvo_ = chave;
    valorEscrever_ = valor;
    valorLido_.clear();
    falhaGravacao_ = false;
    executarTabela(AlterarChave);
    const bool ok = !falhaGravacao_ && valorLido_ == valor;
    secaoAlvo_.clear();
    chaveAlvo_.clear();
    valorEscrever_.clear();
    modo_ = Carregar;
    return ok;
}

bool INIFileBase::processarChave(const std::string& secao, InterfaceChave& chave, bool obrigatoria) {
    const std::string nome = chave.nome();
    if (modo_ == AlterarChave && !(mesmoNome(secao, secaoAlvo_) && mesmoNome(nome, chaveAlvo_))) return false;

    std::ifstream arquivo;
    std::istringstream copia;
    if (emPasse_) {
        copia.str(textoPasse_);
    } else {
        arquivo.open(nomeArquivo_, std::ios::binary);
        if (!arquivo) return false;
    }
    std::istream& in = emPasse_ ? static_cast<std::istream&>(copia) : arquivo;

    if (modo_ != Salvar && modo_ != Carregar) obrigatoria = false;
    const std::string anterior = chave.comoTexto();
    const std::string textoEscrever = modo_ == AlterarChave ? valorEscrever_ : anterior;
    chave.restaurarPadrao();

    std::string saida;
    bool mudou = false, achou = false, naSecao = false;
    auto anexarObrigatoria = [&] {
        if (modo_ == Salvar) chave.lerTexto(textoEscrever);
        saida += "   " + nome + " = " + chave.comoTexto() + "\n";
        mudou = true;
        obrigatoria = false;
    };

    std::string linha;
    while (std::getline(in, linha)) {
        const size_t abre = linha.find('[');
        const size_t fecha = abre == std::string::npos ? std::string::npos : linha.find(']', abre + 1);
        if (fecha != std::string::npos) {
            if (naSecao && obrigatoria) anexarObrigatoria();
            const std::string nomeSecao = linha.substr(abre + 1, fecha - abre - 1);
            naSecao = mesmoNome(nomeSecao, secao);
            if (modo_ == LerChave && nome.empty() && naSecao) return true;
            if (!nomeSecao.empty()) saida += "\n[" + nomeSecao + "]\n";
            continue;
        }
        const size_t igual = linha.find('=');
        if (igual == std::string::npos || igual == 0 || igual + 1 >= linha.size()) continue;
        const std::string k = aparar(linha.substr(0, igual));
        std::string v = aparar(linha.substr(igual + 1));
        if (naSecao && !nome.empty() && mesmoNome(k, nome)) {
            if (modo_ == LerChave) {
                valorLido_ = v;
                return true;
            }
            achou = true;
            obrigatoria = false;
            chave.lerTexto(v);
            if (modo_ == Salvar || modo_ == AlterarChave) {
                chave.lerTexto(textoEscrever);
                v = chave.comoTexto();
                mudou = true;
                if (modo_ == AlterarChave) valorLido_ = v;
            }
        }
        saida += "   " + k + " = " + v + "\n";
    }
    arquivo.close();

    if (obrigatoria) {
        if (!naSecao) saida += "\n[" + secao + "]\n";
        anexarObrigatoria();
    }
    if (mudou && emPasse_) {
        textoPasse_ = std::move(saida);
        passeAlterado_ = true;
    } else if (mudou && !gravarArquivo(saida)) {
        falhaGravacao_ = true;
        // The file kept its old contents: so does the variable of a change that did not reach it.
        if (modo_ == AlterarChave) {
            chave.lerTexto(anterior);
            valorLido_.clear();
        }
    }
    return achou;
}

// Writes the new contents next to the file and renames it into place, so that a crash or a full disk
// never leaves a truncated configuration behind.
bool INIFileBase::gravarArquivo(const std::string& conteudo) {
    std::string destino = nomeArquivo_;
    char resolvido[PATH_MAX];
    if (::realpath(nomeArquivo_.c_str(), resolvido)) destino = resolvido;

    struct stat st;
    const bool existe = ::stat(destino.c_str(), &st) == 0;
    if (existe && ::access(destino.c_str(), W_OK) != 0) return false;

    const size_t barra = destino.rfind('/');
    const std::string pasta = barra == std::string::npos ? "." : destino.substr(0, barra);
    std::string modelo = pasta + "/.CONVERSOR.ini.XXXXXX";
    if (barra != std::string::npos) modelo = pasta + "/." + destino.substr(barra + 1) + ".XXXXXX";
    std::vector<char> nomeTemp(modelo.begin(), modelo.end());
    nomeTemp.push_back('\0');
    const int fd = ::mkstemp(nomeTemp.data());
    if (fd < 0) return false;

    bool ok = ::fchmod(fd, existe ? (st.st_mode & 07777) : 0644) == 0;
    size_t escrito = 0;
    while (ok && escrito < conteudo.size()) {
        const ssize_t n = ::write(fd, conteudo.data() + escrito, conteudo.size() - escrito);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else escrito += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(nomeTemp.data(), destino.c_str()) != 0) ok = false;
    if (!ok) ::unlink(nomeTemp.data());
    return ok;
}

// ---- typed declarations ----

bool INIFileBase::chave(const char* nome, int& variavel, int padrao, int minimo, int maximo, bool obrigatoria) {
    return declarar(PropriedadesChave<int>{nome, &variavel, &padrao, &minimo, &maximo, nullptr}, obrigatoria);
}

bool INIFileBase::chave(const char* nome, int& variavel, int padrao, const std::vector<int>& permitidos,
                        bool obrigatoria) {
    return declarar(PropriedadesChave<int>{nome, &variavel, &padrao, nullptr, nullptr, &permitidos}, obrigatoria);
}

bool INIFileBase::chave(const char* nome, int& variavel, int padrao, bool obrigatoria) {
    return declarar(PropriedadesChave<int>{nome, &variavel, &padrao, nullptr, nullptr, nullptr}, obrigatoria);
}

bool INIFileBase::chave(const char* nome, bool& variavel, bool padrao, bool obrigatoria) {
    return declarar(PropriedadesChave<bool>{nome, &variavel, &padrao, nullptr, nullptr, nullptr}, obrigatoria);
}

bool INIFileBase::chave(const char* nome, std::string& variavel, const char* padrao, bool obrigatoria) {
    const std::string p = padrao ? padrao : "";
    return declarar(PropriedadesChave<std::string>{nome, &variavel, &p, nullptr, nullptr, nullptr}, obrigatoria);
}

}  // namespace Misc::ArquivoINI
