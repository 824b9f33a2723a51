// Demonstration: loads libRX457.so as a point-of-sale host does, from a fresh working directory, and
// shows the configuration the library completed there.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "RX457.h"

int main(int argc, char** argv) {
    const std::string pasta = argc > 1 ? argv[1] : "demo-output";
    ::mkdir(pasta.c_str(), 0755);
    if (::chdir(pasta.c_str()) != 0) {
        std::perror(pasta.c_str());
        return 1;
    }
    std::ofstream("CONVERSOR.ini", std::ios::trunc).close();  // an empty file: the library completes it

    void* biblioteca = ::dlopen(RX457_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!biblioteca) {
        std::cerr << "dlopen: " << ::dlerror() << "\n";
        return 1;
    }
    auto ler = reinterpret_cast<decltype(&VEX_LerParametroConfiguracaoVEX)>(
        ::dlsym(biblioteca, "VEX_LerParametroConfiguracaoVEX"));
    auto alterar = reinterpret_cast<decltype(&VEX_AlterarParametroConfiguracaoVEX)>(
        ::dlsym(biblioteca, "VEX_AlterarParametroConfiguracaoVEX"));
    if (!ler || !alterar) {
        std::cerr << "missing export\n";
        return 1;
    }

    alterar("RX457", "LARGURA_BOBINA", "56");
    char valor[256];
    const char* chaves[][2] = {{"RX457", "LARGURA_BOBINA"}, {"BOBINA_XXMM", "FONTE_PADRAO"},
                               {"BOBINA_XXMM", "COLUNAS_TEXTO_CABECALHO"}, {"RX457", "SIMBOLO_MOEDA"}};
    for (auto& c : chaves) {
        const int codigo = ler(c[0], c[1], valor, sizeof valor);
        std::cout << c[0] << "/" << c[1] << " -> " << (codigo == 0 ? valor : "(codigo " + std::to_string(codigo) + ")")
                  << "\n";
    }
    ::dlclose(biblioteca);

    std::ifstream arquivo("CONVERSOR.ini");
    std::stringstream texto;
    texto << arquivo.rdbuf();
    std::cout << "\n" << pasta << "/CONVERSOR.ini:\n" << texto.str();
    return 0;
}
