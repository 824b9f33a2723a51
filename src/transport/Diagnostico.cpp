#include "transport/Diagnostico.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace UART {

namespace {
std::atomic<ReceptorDiagnostico> receptor_{nullptr};

// The group that owns the device, or the usual one for its kind when it cannot be read.
std::string grupoDoDispositivo(const std::string& caminho) {
    struct stat st {};
    if (::stat(caminho.c_str(), &st) == 0) {
        char buffer[1024];
        group g{};
        group* encontrado = nullptr;
        if (::getgrgid_r(st.st_gid, &g, buffer, sizeof buffer, &encontrado) == 0 && encontrado && g.gr_name)
            return g.gr_name;
    }
    return caminho.find("/usb/lp") != std::string::npos ? "lp" : "dialout";
}
}  // namespace

void definirReceptorDiagnostico(ReceptorDiagnostico receptor) noexcept {
    receptor_.store(receptor, std::memory_order_release);
}

void relatarDiagnostico(const std::string& texto) noexcept {
    std::fprintf(stderr, "%s\n", texto.c_str());
    std::fflush(stderr);
    if (ReceptorDiagnostico r = receptor_.load(std::memory_order_acquire)) r(texto.c_str());
}

std::string textoFalhaAbertura(const std::string& porta, const std::string& caminho, int erro) {
    std::string texto = "RX457: a porta '" + porta + "'";
    if (!caminho.empty() && caminho != porta) texto += " (" + caminho + ")";
    texto += " não pode ser aberta: ";
    texto += std::strerror(erro);
    if (erro == EACCES || erro == EPERM) {
        const std::string grupo = grupoDoDispositivo(caminho.empty() ? porta : caminho);
        texto += "; o usuário precisa pertencer ao grupo '" + grupo + "' (por exemplo: usermod -a -G " + grupo +
                 " <usuário>, e entrar de novo)";
    }
    return texto;
}

}  // namespace UART
