// Typed INI engine: a parameter class declares its keys once, in one table function, and the engine
// runs that table to load, save, read or change keys of the file. Missing required keys are appended
// with their defaults, so a configuration file completes itself on first use.
//
// The file is read only when it is a regular file of at most 1 MiB (tamanhoMaximoArquivo); a FIFO, a
// device, a directory, a larger file or one that cannot be read whole is treated as no file: nothing is
// read from it, it is never rewritten or replaced, and one line on the error stream says why.
// Rewrites go through a temporary file renamed into place, keeping the file's mode (and, for root, its
// owner and group). Every read-modify-rename holds an exclusive flock on "<file>.lock" beside the real
// file (e.g. "CONVERSOR.ini.lock"), re-reads the file under it and applies only its own change, so two
// processes changing different keys do not undo each other. The lock is never held across anything
// but that read, the in-memory edit and the write.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace Misc::ArquivoINI {

// One key of one pass. Implementations are short-lived objects built for a single declaration.
class InterfaceChave {
public:
    virtual ~InterfaceChave() = default;
    virtual std::string nome() const = 0;
    virtual void restaurarPadrao() = 0;
    // Parses the text and stores it in the bound variable when it is acceptable.
    virtual void lerTexto(const std::string& texto) = 0;
    virtual std::string comoTexto() const = 0;
};

template <typename T>
struct PropriedadesChave {
    const char* nomeChave;
    T* variavel;
    const T* padrao;
    const T* minimo;                   // may be null
    const T* maximo;                   // may be null
    const std::vector<T>* permitidos;  // may be null
};

template <typename T>
class Chave : public InterfaceChave, public PropriedadesChave<T> {
public:
    explicit Chave(const PropriedadesChave<T>& p) : PropriedadesChave<T>(p) {}

    std::string nome() const override { return this->nomeChave ? this->nomeChave : ""; }
    void restaurarPadrao() override {
        if (this->padrao) *this->variavel = *this->padrao;
    }
    void lerTexto(const std::string& texto) override;
    std::string comoTexto() const override;

    // Stores the value only if it passes the allowed list, or else the minimum and maximum.
    void atribuir(const T& valor) {
        if (this->permitidos) {
            for (const T& v : *this->permitidos)
                if (v == valor) {
                    *this->variavel = valor;
                    return;
                }
            return;
        }
        if (this->minimo && valor < *this->minimo) return;
        if (this->maximo && *this->maximo < valor) return;
        *this->variavel = valor;
    }
};

template <>
void Chave<int>::lerTexto(const std::string&);
template <>
std::string Chave<int>::comoTexto() const;
template <>
void Chave<bool>::lerTexto(const std::string&);
template <>
std::string Chave<bool>::comoTexto() const;
template <>
void Chave<std::string>::lerTexto(const std::string&);
template <>
std::string Chave<std::string>::comoTexto() const;

// The file and the pass machinery. The derived INIFile<T> supplies the table.
class INIFileBase {
public:
    enum Modo { Salvar = 1, Carregar = 2, LerChave = 3, AlterarChave = 4 };

    // Largest configuration file that is read; anything larger is ignored as a whole.
    static constexpr std::size_t tamanhoMaximoArquivo = 1024 * 1024;

    // Whether a value text reads back from the file as the same single value: no CR, LF or NUL, no
    // '[' followed by a ']' (the line would be taken for a section header), and within the size bound.
    static bool valorGravavel(std::string_view valor);

    explicit INIFileBase(const std::string& nomeArquivo);
    virtual ~INIFileBase() = default;

    void carregar();
    // Returns false when the file could not be rewritten.
    bool salvar();
    // Saves the in-memory value of one declared key only (appending it when required and missing), so
    // that values changed in the file by other processes are kept. False when the file could not be
    // rewritten.
    bool salvarChave(const char* secao, const char* chave);

    bool lerValor(const char* secao, const char* chave, std::string& valor);
    bool existeChave(const char* secao, const char* chave);
    bool existeSecao(const char* secao);
    bool alterarValor(const char* secao, const char* chave, const char* valor);

    const std::string& nomeArquivo() const { return nomeArquivo_; }
    // One line on the error stream when a load could not be completed (the caller fell back to defaults).
    void avisarFalhaCarga(const char* motivo) noexcept;

protected:
    // Declares every key, in file order; called once per pass.
    virtual void tabela() = 0;
    // Runs after every table pass (load, save or change).
    virtual void aposTabela() {}

    // Declarations for the table. Each returns whether the key was found in the file.
    void secao(const char* nome) { secaoTabela_ = nome; }
    bool chave(const char* nome, int& variavel, int padrao, int minimo, int maximo, bool obrigatoria);
    bool chave(const char* nome, int& variavel, int padrao, const std::vector<int>& permitidos, bool obrigatoria);
    bool chave(const char* nome, int& variavel, int padrao, bool obrigatoria);
    bool chave(const char* nome, bool& variavel, bool padrao, bool obrigatoria);
    bool chave(const char* nome, std::string& variavel, const char* padrao, bool obrigatoria);

    template <typename T>
    bool declarar(const PropriedadesChave<T>& p, bool obrigatoria) {
        Chave<T> c(p);
        return processarChave(secaoTabela_, c, obrigatoria);
    }

    int modo() const { return modo_; }
    // A load or save of every key (not a change or save of one key).
    bool passeCompleto() const { return (modo_ == Salvar || modo_ == Carregar) && !somenteAlvo_; }

    bool processarChave(const std::string& secao, InterfaceChave& chave, bool obrigatoria);
    bool mesmoNome(std::string_view a, std::string_view b) const;

private:
    enum class Leitura { Lido, Ausente, Recusado };

    void executarTabela(int modo);
    // Reads the whole file into texto under the rules in the header comment.
    Leitura lerArquivo(std::string& texto);
    void avisar(const std::string& motivo);
    // The file a rewrite replaces: the target of a symbolic link, else the name as given.
    std::string destinoReal() const;
    bool gravarArquivo(const std::string& conteudo);

    std::string nomeArquivo_;
    std::string secaoAlvo_;  // the section an operation asked for
    std::string chaveAlvo_;
    std::string valorLido_;
    std::string valorEscrever_;
    bool diferenciaMaiusculas_ = false;
    int modo_ = Carregar;
    bool somenteAlvo_ = false;  // a save pass limited to secaoAlvo_/chaveAlvo_
    std::string secaoTabela_;   // the section the table is declaring keys of
    bool falhaGravacao_ = false;
    bool arquivoPresente_ = false;  // textoPasse_ holds the file as read for this pass
    bool passeAlterado_ = false;
    std::string textoPasse_;
    std::string ultimoAviso_;  // so that a file refused again and again is reported once
};

// Binds the parameter class T to a file: T holds the variables, and the explicit specialisations of
// tabela() and aposTabela() for T declare its keys.
template <typename T>
class INIFile : public INIFileBase, public T {
public:
    // Never throws out of the load: a load that fails (out of memory) leaves T's defaults in effect.
    explicit INIFile(const std::string& nomeArquivo) : INIFileBase(nomeArquivo) {
        try {
            carregar();
        } catch (const std::exception& e) {
            static_cast<T&>(*this) = T();
            avisarFalhaCarga(e.what());
        } catch (...) {
            static_cast<T&>(*this) = T();
            avisarFalhaCarga("falha desconhecida");
        }
    }

protected:
    void tabela() override;
    void aposTabela() override {}
};

}  // namespace Misc::ArquivoINI
