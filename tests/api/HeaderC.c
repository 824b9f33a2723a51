/* Built as C99: the public header must declare the exports in plain C. */
#include "RX457.h"

int main(void) {
    char mensagem[64];
    VEX_NotificarEventos(0);
    return VEX_ObterUltimoErro(mensagem, sizeof mensagem) == 0 ? 0 : 1;
}
