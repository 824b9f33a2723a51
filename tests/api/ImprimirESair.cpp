// A host that prints and exits at once: loads the library in the given folder, prints the text of a
// file (a fiscal XML when the name ends in .xml), and leaves through exit() without waiting.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3 || ::chdir(argv[1]) != 0) return 2;
    void* biblioteca = ::dlopen(RX457_LIBRARY_PATH, RTLD_NOW);
    if (!biblioteca) return 3;
    std::ifstream arquivo(argv[2], std::ios::binary);
    const std::string texto((std::istreambuf_iterator<char>(arquivo)), std::istreambuf_iterator<char>());
    const std::string nome = argv[2];
    if (nome.size() > 4 && nome.compare(nome.size() - 4, 4, ".xml") == 0) {
        using Fiscal = int(const char*, void*, unsigned, int, int);
        auto imprimir = reinterpret_cast<Fiscal*>(::dlsym(biblioteca, "VEX_ImprimirDocumentoFiscal"));
        if (!imprimir || imprimir(texto.c_str(), nullptr, 0, 0, 0) != 0) return 4;
    } else {
        auto imprimir = reinterpret_cast<void (*)(const char*)>(::dlsym(biblioteca, "VEX_ImprimirTexto"));
        if (!imprimir) return 4;
        imprimir(texto.c_str());
    }
    std::exit(0);
}
