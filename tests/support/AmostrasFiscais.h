// Access to the real fiscal XML files kept with the tests.
#pragma once

#include <string>

#include "TestSupport.h"

inline std::string caminhoAmostra(const std::string& nome) { return std::string(FISCAL_SAMPLES_DIR) + "/" + nome; }

inline std::string lerAmostra(const std::string& nome) { return rx457test::readFile(caminhoAmostra(nome)); }

// Replaces the first occurrence of de by para; the test fails when de is not there.
inline std::string trocar(std::string texto, const std::string& de, const std::string& para) {
    size_t p = texto.find(de);
    if (p == std::string::npos) {
        ADD_FAILURE() << "texto ausente: " << de;
        return texto;
    }
    return texto.replace(p, de.size(), para);
}
