#include "config/ArquivoINI.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "config/MetodoComunicacao.h"

namespace Misc::ArquivoINI {

namespace {

std::string maiusculas(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Trims characters with codes up to 32 (blanks, tabs, carriage returns) from both ends.
std::string_view aparar(std::string_view s) {
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

namespace {

// An exclusive flock on the lock file beside the configuration, released when this goes away.
class TravaArquivo {
public:
    TravaArquivo() = default;
    ~TravaArquivo() { liberar(); }
    TravaArquivo(const TravaArquivo&) = delete;
    TravaArquivo& operator=(const TravaArquivo&) = delete;

    bool adquirir(const std::string& caminho) {
        if (fd_ >= 0) return true;
        // Read access is enough for flock, so users other than the file's creator can lock it too.
        int fd = ::open(caminho.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
        if (fd >= 0)
            (void)::fchmod(fd, 0644);  // whatever the umask, others must be able to open it
        else if (errno == EEXIST)
            fd = ::open(caminho.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) return false;
        while (::flock(fd, LOCK_EX) != 0)
            if (errno != EINTR) {
                ::close(fd);
                return false;
            }
        fd_ = fd;
        return true;
    }
    void liberar() {
        if (fd_ >= 0) ::close(fd_);  // closing the only descriptor releases the lock
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

class Descritor {
public:
    explicit Descritor(int fd) : fd_(fd) {}
    ~Descritor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descritor(const Descritor&) = delete;
    Descritor& operator=(const Descritor&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace

bool INIFileBase::valorGravavel(std::string_view valor) {
    if (valor.size() > tamanhoMaximoArquivo) return false;
    if (valor.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
    // The reader takes any line with a '[' and a later ']' for a section header.
    const size_t abre = valor.find('[');
    return abre == std::string_view::npos || valor.find(']', abre + 1) == std::string_view::npos;
}

INIFileBase::INIFileBase(const std::string& nomeArquivo) : nomeArquivo_(nomeArquivo) {}

bool INIFileBase::mesmoNome(std::string_view a, std::string_view b) const {
    if (diferenciaMaiusculas_) return a == b;
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void INIFileBase::avisar(const std::string& motivo) {
    if (motivo == ultimoAviso_) return;
    ultimoAviso_ = motivo;
    std::fprintf(stderr, "Arquivo de configuração '%s' ignorado (não lido nem regravado): %s.\n", nomeArquivo_.c_str(),
                 motivo.c_str());
    std::fflush(stderr);
}

void INIFileBase::avisarFalhaCarga(const char* motivo) noexcept {
    std::fprintf(stderr, "Arquivo de configuração '%s' não carregado (%s): valores padrão em uso.\n",
                 nomeArquivo_.c_str(), motivo ? motivo : "");
    std::fflush(stderr);
}

// Non-blocking open, so that a FIFO or a device put in the file's place cannot hang the host; a
// bounded read, so that a huge file costs neither the host's memory nor seconds of parsing.
INIFileBase::Leitura INIFileBase::lerArquivo(std::string& texto) {
    texto.clear();
    const char* const naoComum = "não é um arquivo comum";
    const char* const limite = "maior que o limite de 1 MiB";
    // Devices are not even opened (opening some has effects); the check after opening covers a
    // file swapped in between.
    struct stat st;
    if (::stat(nomeArquivo_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        avisar(naoComum);
        return Leitura::Recusado;
    }
    Descritor arquivo(::open(nomeArquivo_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (arquivo.fd() < 0) {
        const int erro = errno;
        if (erro == ENOENT) {
            ultimoAviso_.clear();
            return Leitura::Ausente;
        }
        avisar(std::string("não pode ser aberto (") + std::strerror(erro) + ")");
        return Leitura::Recusado;
    }
    if (::fstat(arquivo.fd(), &st) != 0 || !S_ISREG(st.st_mode)) {
        avisar(naoComum);
        return Leitura::Recusado;
    }
    if (st.st_size > static_cast<off_t>(tamanhoMaximoArquivo)) {
        avisar(limite);
        return Leitura::Recusado;
    }
    texto.reserve(static_cast<size_t>(st.st_size));
    char bloco[16384];
    for (;;) {
        const ssize_t n = ::read(arquivo.fd(), bloco, sizeof bloco);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int erro = errno;
            avisar(std::string("erro de leitura (") + std::strerror(erro) + ")");
            texto.clear();
            return Leitura::Recusado;
        }
        if (n == 0) break;
        // The size may have grown since fstat (or be unknown, as for files of /proc).
        if (texto.size() + static_cast<size_t>(n) > tamanhoMaximoArquivo) {
            avisar(limite);
            texto.clear();
            return Leitura::Recusado;
        }
        texto.append(bloco, static_cast<size_t>(n));
    }
    ultimoAviso_.clear();
    return Leitura::Lido;
}

void INIFileBase::executarTabela(int modo) {
    modo_ = modo;
    // Whatever happens, the pass leaves no copy of the file behind.
    struct FimPasse {
        INIFileBase& f;
        ~FimPasse() {
            f.textoPasse_.clear();
            f.textoPasse_.shrink_to_fit();
            f.arquivoPresente_ = false;
            f.passeAlterado_ = false;
        }
    } fimPasse{*this};

    TravaArquivo trava;
    // A change always writes: it reads the file under the lock from the start.
    if (modo == AlterarChave && !trava.adquirir(destinoReal() + ".lock")) {
        falhaGravacao_ = true;
        aposTabela();
        return;
    }
    passeAlterado_ = false;
    arquivoPresente_ = lerArquivo(textoPasse_) == Leitura::Lido;
    tabela();
    // Load and save passes work on one copy of the file and write it back once. Another process may
    // have changed the file since it was read: the pass is done again on the file as it is now, under
    // the lock, and that result is written.
    if (passeAlterado_ && modo != AlterarChave) {
        if (!trava.adquirir(destinoReal() + ".lock")) {
            falhaGravacao_ = true;
        } else {
            passeAlterado_ = false;
            arquivoPresente_ = lerArquivo(textoPasse_) == Leitura::Lido;
            tabela();
            if (passeAlterado_ && !gravarArquivo(textoPasse_)) falhaGravacao_ = true;
        }
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

bool INIFileBase::salvarChave(const char* secao, const char* chave) {
    if (!secao || !chave || !*chave) return false;
    struct Alvo {
        INIFileBase& f;
        ~Alvo() {
            f.secaoAlvo_.clear();
            f.chaveAlvo_.clear();
            f.somenteAlvo_ = false;
            f.modo_ = Carregar;
        }
    } alvo{*this};
    secaoAlvo_ = secao;
    chaveAlvo_ = chave;
    somenteAlvo_ = true;
    falhaGravacao_ = false;
    executarTabela(Salvar);
    return !falhaGravacao_;
}

bool INIFileBase::lerValor(const char* secao, const char* chave, std::string& valor) {
    const int modoSalvo = modo_;
    const std::string secaoSalva = secaoAlvo_;
    const std::string lidoSalvo = valorLido_;
    const bool somenteAlvoSalvo = somenteAlvo_;
    const bool presenteSalvo = arquivoPresente_;
    std::string textoSalvo;
    textoSalvo.swap(textoPasse_);
    struct Restaurar {
        INIFileBase& f;
        const int& modo;
        const std::string& secao;
        const std::string& lido;
        const bool& somenteAlvo;
        const bool& presente;
        std::string& texto;
        ~Restaurar() {
            f.modo_ = modo;
            f.secaoAlvo_ = secao;
            f.valorLido_ = lido;
            f.somenteAlvo_ = somenteAlvo;
            f.arquivoPresente_ = presente;
            f.textoPasse_.swap(texto);
        }
    } restaurar{*this, modoSalvo, secaoSalva, lidoSalvo, somenteAlvoSalvo, presenteSalvo, textoSalvo};

    modo_ = LerChave;
    somenteAlvo_ = false;
    secaoAlvo_ = secao ? secao : "";
    valorLido_.clear();
    arquivoPresente_ = lerArquivo(textoPasse_) == Leitura::Lido;
    int transitoria = 0;
    const int padrao = 0;
    Chave<int> c(PropriedadesChave<int>{chave ? chave : "", &transitoria, &padrao, nullptr, nullptr, nullptr});
    const bool achou = processarChave(secaoAlvo_, c, false);
    valor = achou ? valorLido_ : std::string();
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
    // Refused before anything is read or written: such a text would come back as another value, or
    // as further keys and sections.
    if (!valorGravavel(valor)) return false;
    std::string atual;
    if (!lerValor(secao, chave, atual)) return false;
    if (atual == valor) return true;

    struct Alvo {
        INIFileBase& f;
        ~Alvo() {
            f.secaoAlvo_.clear();
            f.chaveAlvo_.clear();
            f.valorEscrever_.clear();
            f.modo_ = Carregar;
        }
    } alvo{*this};
    secaoAlvo_ = secao;
    chaveAlvo_ = chave;
    valorEscrever_ = valor;
    valorLido_.clear();
    falhaGravacao_ = false;
    executarTabela(AlterarChave);
    return !falhaGravacao_ && valorLido_ == valor;
}

bool INIFileBase::processarChave(const std::string& secao, InterfaceChave& chave, bool obrigatoria) {
    const std::string nome = chave.nome();
    if ((modo_ == AlterarChave || somenteAlvo_) && !(mesmoNome(secao, secaoAlvo_) && mesmoNome(nome, chaveAlvo_)))
        return false;
    if (!arquivoPresente_) return false;

    if (modo_ != Salvar && modo_ != Carregar) obrigatoria = false;
    const std::string anterior = chave.comoTexto();
    const std::string textoEscrever = modo_ == AlterarChave ? valorEscrever_ : anterior;
    chave.restaurarPadrao();

    // The file as it would be rewritten; a lookup never rewrites, so it does not build one.
    const bool reescrita = modo_ != LerChave;
    std::string saida;
    if (reescrita) saida.reserve(textoPasse_.size() + 64);
    auto linhaChave = [&saida](std::string_view k, std::string_view v) {
        saida.append("   ").append(k).append(" = ").append(v).push_back('\n');
    };
    bool mudou = false, achou = false, naSecao = false;
    auto anexarObrigatoria = [&] {
        if (modo_ == Salvar) chave.lerTexto(textoEscrever);
        linhaChave(nome, chave.comoTexto());
        mudou = true;
        obrigatoria = false;
    };

    // Up to 1 MiB of text is scanned once per key: the scan works on views and allocates nothing
    // per line.
    const std::string_view texto = textoPasse_;
    size_t inicio = 0;
    while (inicio < texto.size()) {
        size_t fim = texto.find('\n', inicio);
        if (fim == std::string_view::npos) fim = texto.size();
        const std::string_view linha = texto.substr(inicio, fim - inicio);
        inicio = fim + 1;

        const size_t abre = linha.find('[');
        const size_t fecha = abre == std::string_view::npos ? std::string_view::npos : linha.find(']', abre + 1);
        if (fecha != std::string_view::npos) {
            if (naSecao && obrigatoria) anexarObrigatoria();
            const std::string_view nomeSecao = linha.substr(abre + 1, fecha - abre - 1);
            naSecao = mesmoNome(nomeSecao, secao);
            if (modo_ == LerChave && nome.empty() && naSecao) return true;
            if (reescrita && !nomeSecao.empty()) saida.append("\n[").append(nomeSecao).append("]\n");
            continue;
        }
        const size_t igual = linha.find('=');
        if (igual == std::string_view::npos || igual == 0 || igual + 1 >= linha.size()) continue;
        const std::string_view k = aparar(linha.substr(0, igual));
        const std::string_view v = aparar(linha.substr(igual + 1));
        if (naSecao && !nome.empty() && mesmoNome(k, nome)) {
            if (modo_ == LerChave) {
                valorLido_ = std::string(v);
                return true;
            }
            achou = true;
            obrigatoria = false;
            chave.lerTexto(std::string(v));
            if (modo_ == Salvar || modo_ == AlterarChave) {
                chave.lerTexto(textoEscrever);
                const std::string novo = chave.comoTexto();
                mudou = true;
                if (modo_ == AlterarChave) valorLido_ = novo;
                linhaChave(k, novo);
                continue;
            }
        }
        if (reescrita) linhaChave(k, v);
    }

    if (obrigatoria) {
        if (!naSecao) saida.append("\n[").append(secao).append("]\n");
        anexarObrigatoria();
    }
    if (!mudou) return achou;
    textoPasse_ = std::move(saida);
    if (modo_ != AlterarChave) {
        passeAlterado_ = true;
    } else if (!gravarArquivo(textoPasse_)) {
        falhaGravacao_ = true;
        // The file kept its old contents: so does the variable of a change that did not reach it.
        chave.lerTexto(anterior);
        valorLido_.clear();
    }
    return achou;
}

std::string INIFileBase::destinoReal() const {
    char resolvido[PATH_MAX];
    return ::realpath(nomeArquivo_.c_str(), resolvido) ? std::string(resolvido) : nomeArquivo_;
}

// Writes the new contents next to the file and renames it into place, so that a crash or a full disk
// never leaves a truncated configuration behind. Called with the lock held.
bool INIFileBase::gravarArquivo(const std::string& conteudo) {
    // A file over the bound would be ignored as a whole at the next load.
    if (conteudo.size() > tamanhoMaximoArquivo) return false;
    const std::string destino = destinoReal();

    struct stat st;
    const bool existe = ::stat(destino.c_str(), &st) == 0;
    if (existe && (!S_ISREG(st.st_mode) || ::access(destino.c_str(), W_OK) != 0)) return false;

    const size_t barra = destino.rfind('/');
    const std::string pasta = barra == std::string::npos ? "." : destino.substr(0, barra);
    std::string modelo = pasta + "/.CONVERSOR.ini.XXXXXX";
    if (barra != std::string::npos) modelo = pasta + "/." + destino.substr(barra + 1) + ".XXXXXX";
    std::vector<char> nomeTemp(modelo.begin(), modelo.end());
    nomeTemp.push_back('\0');
    const int fd = ::mkstemp(nomeTemp.data());
    if (fd < 0) return false;

    // Owner first: a change of owner may clear the set-id bits that the mode then restores.
    bool ok = !existe || ::geteuid() != 0 || ::fchown(fd, st.st_uid, st.st_gid) == 0;
    if (ok) ok = ::fchmod(fd, existe ? (st.st_mode & 07777) : 0644) == 0;
    size_t escrito = 0;
    while (ok && escrito < conteudo.size()) {
        const ssize_t n = ::write(fd, conteudo.data() + escrito, conteudo.size() - escrito);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            escrito += static_cast<size_t>(n);
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
