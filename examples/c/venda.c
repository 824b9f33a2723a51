/* A sale printed through libRX457: the printer is detected, the receipt is written in the print markup,
 * a QR code points to the receipt online, and the paper is cut.
 *
 * The library reads "CONVERSOR.ini" from the current directory (its [RX457] PORTA names the printer's
 * port, e.g. /dev/ttyACM0 or /dev/usb/lp0). Texts are Latin-1 (ISO-8859-1): "\xE9" is 'é'. */
#include <stdio.h>
#include <string.h>

#include <RX457.h>

static int imprimir(const char* texto) {
    /* Legacy family: 1 is success. */
    if (RX457_iImprimirTexto(texto, 0) != 1) {
        fprintf(stderr, "texto recusado\n");
        return 0;
    }
    return 1;
}

int main(void) {
    InfoImpressora info;
    int codigo = VEX_DetectarImpressora(&info, sizeof info);
    if (codigo != 0) {
        char erro[256];
        VEX_ObterUltimoErro(erro, sizeof erro);
        fprintf(stderr, "impressora nao detectada (codigo %d) %s\n", codigo, erro);
        return 1;
    }
    printf("Impressora %s, firmware %s, em %s (%d pontos, %d dpi)\n", info.nomeModelo, info.versaoFirmware, info.porta,
           info.larguraPontos, info.resolucaoDpi);

    if (!imprimir("<ce><e><b>PADARIA BOA MASSA</b></e>\nRua das Flores, 123 - S\xE3o Paulo</ce><tc>-</tc>") ||
        !imprimir("2 x P\xE3o franc\xEAs               R$  1,60\n"
                  "1 x Caf\xE9 com leite            R$  6,50\n<tc>-</tc>") ||
        !imprimir("<b>TOTAL                         R$  8,10</b>\n<dt></dt> <hr></hr>\n"))
        return 1;

    /* A QR code through the barcode export: type 9, the data's length taken with strlen (0). */
    const char* endereco = "https://exemplo.com.br/recibo/2026";
    VEX_SelecionarAlinhamento(1);
    codigo = VEX_ImprimirCodigoBarras(9, endereco, 0);
    VEX_SelecionarAlinhamento(0);
    if (codigo != 0) {
        fprintf(stderr, "QR code recusado (codigo %d)\n", codigo);
        return 1;
    }
    imprimir("<ce>Obrigado pela prefer\xEAncia!</ce>\n<sl>3</sl>");
    VEX_AcionarCortadorPapel();

    /* Printing goes on in the library's own thread: wait for the printer before leaving. */
    if (VEX_EsperarPeloTerminoImpressao() != 1) {
        fprintf(stderr, "a impressora nao confirmou o fim da impressao\n");
        return 1;
    }
    puts("Venda impressa.");
    return 0;
}
