/*
 * libRX457: thermal receipt printer library, public C interface.
 *
 * Two families of exports:
 *  - VEX_*   return 0 on success and a small positive code on failure:
 *            1 not found / not detected, 2 invalid argument, 3 null pointer, 4 empty data,
 *            5 out of range or wrong document kind, 6 status unreadable, 7 output file not created,
 *            8 input file unreadable, 9 not queued, 10 value not accepted, 11 internal failure,
 *            12 not available, 14 buffer too small.
 *  - RX457_* (legacy) return 1 on success, 0 on failure, negative codes for bad input.
 *
 * Every export is safe to call from any thread; calls are serialised by the library. The library reads
 * its configuration from "CONVERSOR.ini" in the process's current directory when it is loaded. Only a
 * regular file of at most 1 MiB is read; anything else is ignored (defaults apply) and left untouched.
 * Rewrites of the file by several processes are serialised by a lock on "CONVERSOR.ini.lock" beside it.
 */
#ifndef RX457_H
#define RX457_H

#if defined(__GNUC__)
#define RX457_API __attribute__((visibility("default")))
#else
#define RX457_API
#endif

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Records ---- */

/* Filled by VEX_DetectarImpressora. The strings point into the library's own storage: valid for the
   life of the process, overwritten by the next detection. Minimum size accepted: RX457_TAMANHO_INFO_IMPRESSORA
   bytes (40 in a 32-bit build, 60 in a 64-bit one); pass sizeof(InfoImpressora). */
typedef struct InfoImpressora {
    int32_t modelo;        /* 2 "RX-457", 1 "RX-268", -1 another printer, 0 not detected */
    char* nomeModelo;      /* model name, at most 31 characters */
    char* versaoFirmware;  /* firmware version, at most 31 characters */
    char* reservado;       /* always an empty string */
    char* porta;           /* port the printer answered on, at most 255 characters */
    int32_t larguraPontos; /* printable width in dots */
    int32_t resolucaoDpi;  /* dots per inch */
    uint32_t flags;        /* bit 3 always set */
    unsigned char zero[4];
    unsigned char estado[4]; /* operation status, as VEX_AtualizarEstadoOperacao writes it */
} InfoImpressora;

#define RX457_TAMANHO_INFO_IMPRESSORA (offsetof(InfoImpressora, estado) + 4)

/* What the caller of VEX_ImprimirDocumentoFiscal tells about the document. An NFC-e needs the whole
   record: RX457_TAMANHO_INFO_DOCUMENTO bytes (24 in a 32-bit build, 48 in a 64-bit one); pass
   sizeof(InfoDocumento). A CF-e needs none (NULL with size 0). */
typedef struct InfoDocumento {
    int32_t tipo;                   /* kind expected: 1 NFC-e, 3 CF-e sale, 4 CF-e cancellation */
    const char* identificadorToken; /* identifier of the security code; required, not empty */
    const char* codigoSeguranca;    /* taxpayer's security code; required, at least 6 characters */
    const char* numeroProtocolo;    /* authorisation protocol number; NULL or "" when none */
    const char* dataHoraProtocolo;  /* "AAAA-MM-DDTHH:MM:SS..." (19 characters or more) */
    const char* valorRecebido;      /* amount handed over, "10,50" or "10.50"; NULL when not given */
} InfoDocumento;

#define RX457_TAMANHO_INFO_DOCUMENTO (offsetof(InfoDocumento, valorRecebido) + sizeof(const char*))

/* ---- Session ---- */

/* Stores an event callback pointer (NULL clears it); it is never called. */
RX457_API void VEX_NotificarEventos(void* callback);

/* Copies the message of the last internal failure (empty if none): 0 copied, 3 null, 14 too small. */
RX457_API int VEX_ObterUltimoErro(char* destino, unsigned int tamanho);

/* ---- Configuration ("CONVERSOR.ini") ---- */

/* Changes a key ("BOBINA_XXMM" = section of the paper in use): 0 changed, 1 section or key not found,
   3 null argument, 10 value not accepted (a text with CR or LF, or with '[' before ']', is never
   accepted) or the file could not be rewritten. */
RX457_API int VEX_AlterarParametroConfiguracaoVEX(const char* secao, const char* chave, const char* valor);

/* Reads a key's text as written in the file: 0 copied, 1 not found, 3 null argument,
   14 buffer too small (the text needs tamanho > its length). */
RX457_API int VEX_LerParametroConfiguracaoVEX(const char* secao, const char* chave, char* valor, unsigned int tamanho);

/* ---- Detection and status ---- */

/* Fills *info (len bytes, zeroed first): 0 detected, 1 printer not answering, 3 null, 14 len too small. */
RX457_API int VEX_DetectarImpressora(InfoImpressora* info, unsigned int len);

/* Writes the 4-byte operation status (len bytes zeroed first): 0 read, 6 unreadable, 14 null or len < 4.
   Byte 0: bit 0 paper near end, 1 paper end, 2 cover open, 3 drawer pin 3, 5 cutter error, 6 off line,
   7 recoverable error; byte 1 bit 0 unrecoverable error. */
RX457_API int VEX_AtualizarEstadoOperacao(unsigned char* estado, unsigned int len);

/* Waits up to 10 s for the printer to finish: 1 finished, 0 no answer. Does not block other calls. */
RX457_API int VEX_EsperarPeloTerminoImpressao(void);

/* ---- Paper, drawer, fonts and styles (no result) ---- */

RX457_API void VEX_AbrirGavetaDinheiro(void);                       /* pulses the drawer */
RX457_API void VEX_AcionarCortadorPapel(void);                      /* feeds, then cuts partially */
RX457_API void VEX_AvancarPapelBobina(unsigned int pontos);         /* feeds the dots, 40 inches at most */
RX457_API void VEX_DefinirModoImpressaoPadrao(int fonte, int modo); /* stores the default; prints nothing */
RX457_API void VEX_SelecionarModoImpressaoPadrao(void);             /* applies the stored default */
/* Print modes: bit 0 underline, 1 bold, 2 double height, 3 double width; operacao 0 add, 1 remove,
   other replace. */
RX457_API void VEX_AlterarModoImpressao(int modos, int operacao);
RX457_API void VEX_SelecionarFonteCaracteres(int fonte);               /* font number (mod 8) */
RX457_API void VEX_SelecionarTamanhoCaracter(int largura, int altura); /* multipliers - 1, 0..7 */
RX457_API void VEX_SelecionarConjuntoDeCaracteres(int pagina);         /* code page key */
RX457_API void VEX_SelecionarMargemEsquerda(int margem);               /* left margin in motion units */
RX457_API void VEX_SelecionarLarguraAreaImpressao(int largura);        /* paper width in dots */
RX457_API void VEX_SelecionarEspacamentoEntreCaracteres(int espaco);   /* right-side spacing */
RX457_API void VEX_SelecionarEspacamentoEntreLinhas(int espaco);       /* line spacing */
RX457_API void VEX_SelecionarAlinhamento(unsigned int alinhamento);    /* 0 left, 1 centre, 2 right */
RX457_API void VEX_RedefinirUnidadeMovimentacao(int unidade);          /* motion units, both axes */
RX457_API void VEX_AjustarPosicaoHorizontalAbsoluta(unsigned int posicao);
RX457_API void VEX_AjustarPosicaoVerticalAbsoluta(int posicao); /* page mode only */
RX457_API void VEX_DeslocamentoHorizontal(int deslocamento);
RX457_API void VEX_DeslocamentoVertical(int deslocamento);
/* Prints the text as it stands (no markup, no automatic line feed); NULL does nothing. */
RX457_API void VEX_ImprimirTexto(const char* texto);

/* ---- Page mode ---- */

RX457_API void VEX_SelecionarImpressaoPaginada(void); /* starts a page */
RX457_API void VEX_RealizarImpressaoPaginada(void);   /* prints the page */
RX457_API void VEX_CancelarImpressaoPaginada(void);   /* discards the page */
RX457_API void VEX_DefinirAreaImpressaoModoPaginado(int x, int y, int largura, int altura);
RX457_API void VEX_DesenharLinha(void); /* does nothing */
/* Fills the rectangle of columns x0..x1 and rows y0..y1 with pattern 0..4 (others are ignored). */
RX457_API void VEX_PreencherArea(int x0, int y0, int x1, int y1, int padrao);

/* ---- Images, barcodes, QR codes ---- */

/* Prints a BMP file (divisor 100 = natural size, 200 = half): 0, 3 null or divisor 0, 4 empty name,
   8 not a readable BMP. */
RX457_API int VEX_ImprimirImagemDoArquivo(const char* caminho, int limiar, int divisor);
/* Prints a raster of altura rows of (largura + 7) / 8 bytes (modo 0..3 = normal, double width, double
   height, both): 0, 2 bad size or mode, 3 null data. */
RX457_API int VEX_ImprimirImagemGrafica(int modo, int largura, int altura, const unsigned char* dados);
/* tipo 0 UPC-A, 1 UPC-E, 2 EAN-13, 3 EAN-8, 4 CODE39, 5 ITF, 6 CODABAR, 7 CODE93, 8 CODE128, 9 QR code,
   10 PDF417; tamanho 0 = strlen: 0, 2 negative size or more bytes than the symbol holds (255 for
   types 0..8, 7089 for QR, 5420 for PDF417), 3 null, 4 empty, 5 tipo >= 11. */
RX457_API int VEX_ImprimirCodigoBarras(unsigned int tipo, const char* dados, int tamanho);
RX457_API void VEX_SelecionarAlturaCodigoBarras(int altura);     /* bar height in dots */
RX457_API void VEX_SelecionarLarguraCodigoBarras(int largura);   /* module width in dots */
RX457_API void VEX_QRCodeSelecionarModelo(int modelo);           /* 0 model 1, 1 model 2 */
RX457_API void VEX_QRCodeSelecionarNivelCorrecaoErro(int nivel); /* 0..3 = L, M, Q, H */
RX457_API void VEX_QRCodeSelecionarTamanhoModulo(int tamanho);   /* dots per module */

/* ---- Macros ---- */

RX457_API void VEX_DefinirMacro(void); /* starts or ends recording */
RX457_API void VEX_GravarMacro(void);
RX457_API void VEX_ExecutarMacro(void);

/* ---- Operations this printer does not have ---- */

RX457_API int VEX_LerMICR(char* saida, int tamanho); /* 12, or 3 null / size 0 */
RX457_API int VEX_PreencherCheque(const char* dados, int tamanho, const void* reservado, int opcoes); /* 12, or 3 */
RX457_API int VEX_AutenticarDocumento(const char* texto);           /* 12, or 3 null */
RX457_API int VEX_CancelarEsperaDeDocumento(void);                  /* 0 */
RX457_API void VEX_ImprimirCabecalhoDocumento(void);                /* does nothing */
RX457_API void VEX_ImprimirLogomarca(void);                         /* does nothing */
RX457_API void VEX_ImprimirCampo(int campo, int valor, int opcoes); /* does nothing */

/* ---- Fiscal documents ---- */

/* Prints a CF-e sale, a CF-e cancellation or a DANFE NFC-e from its XML text or file name (opcoes, for an
   NFC-e: 0x01 no item table, 0x02 and 0x04 emission options, 0x08 consumer block, 0x10 no cut):
   0 printed, 2 record too small / protocol date too short / security code under 6 characters / empty
   token, 3 null argument, 4 empty text or protocol date, 5 not the kind in info->tipo, 8 not a fiscal
   document or file unreadable, 11 document rejected (totals that do not add up, more than 500 items). */
RX457_API int VEX_ImprimirDocumentoFiscal(const char* xml, InfoDocumento* info, unsigned int tamanhoInfo, int opcoes,
                                          int reservado);

/* ---- Jobs and spool ---- */

RX457_API void VEX_IniciarTrabalhoImpressao(void);  /* collects printing in the job buffer */
RX457_API void VEX_CancelarTrabalhoImpressao(void); /* discards the job; printing goes out again */
/* Copies the job into the spool: 0 (*numero = document number), 9 spool full (*numero = 0). */
RX457_API int VEX_EnviarTrabalhoImpressaoParaSpooler(const void* reservado, int* numero);
/* Copies a file into the spool: 0, 3 null name, 8 unreadable, 9 spool full. */
RX457_API int VEX_EnviarArquivoParaSpooler(const char* caminho, const void* reservado, int* numero);
/* Writes the job's printer bytes to a file: 0, 3 null, 7 file not created. */
RX457_API int VEX_SalvarTrabalhoImpressaoEmArquivo(const char* caminho);
/* Renders the job into a 1-bit BMP file: 0, 3 null, 7 file not created, 12 not rendered. */
RX457_API int VEX_SalvarTrabalhoImpressaoComoImagem(const char* caminho);
RX457_API int VEX_ObterEstadoDocumentoEmSpooler(int numero);       /* 0 */
RX457_API int VEX_ReimprimirDocumentoEmSpooler(int numero);        /* 1: nothing is reprinted */
RX457_API int VEX_CancelarImpressaoDocumentoEmSpooler(int numero); /* 1: nothing is cancelled */
RX457_API int VEX_ReimprimirUltimoDocumento(void);                 /* 0 */
RX457_API void VEX_EsvaziarSpooler(void);                          /* empties the spool */

/* ---- Legacy family: 1 success, 0 failure, -99 invalid argument, -8 image unreadable,
        -27 file unreadable or converter missing ---- */

#define RX457_TAMANHO_MODELO 32 /* bytes RX457_ModeloImpressora may write, terminator included */

RX457_API int RX457_eBuscarPortaVelocidade(void); /* reads the printer's identification: 1 or 0 */
RX457_API int RX457_fecharPorta(void);            /* 1; the link stays open */
RX457_API int RX457_iAcionarGaveta(void);         /* pulses the drawer: 1 */
/* Status item 1..8 into saida (as "0"/"1" text when comoTexto, else a 32-bit integer); the printer is
   asked at most every 100 ms: 1, 0 not read (too soon or no answer), -99 bad item or null. */
RX457_API int RX457_rConsultaStatusImpressora(int item, int comoTexto, char* saida);
RX457_API int RX457_rStatusGaveta(char* saida); /* item 7 as text */
/* The three setters: 1 saved, 0 not saved (the previous value stays), -99 invalid: null, not starting
   with '0'/'1' (first two), or a text the file cannot hold (CR, LF, '[' before ']'). */
RX457_API int RX457_regCodePageAutomatico(const char* valor); /* "0"/"1" */
RX457_API int RX457_regEnterFinal(const char* valor);         /* "0"/"1" */
RX457_API int RX457_regTabulacao(const char* valor);          /* tab stops text */
/* Prints marked-up text (tamanho 0 = strlen): 1, -99 null text, negative size or more than 16 MiB. */
RX457_API int RX457_iImprimirTexto(const char* texto, int tamanho);
RX457_API int RX457_iImprimirArquivo(const char* caminho); /* marked-up text file: 1, -99, -27 */
RX457_API int RX457_iImprimirBMP(const char* caminho);     /* BMP, or PDF when the name has ".pdf" */
RX457_API int RX457_iImprimirImagem(const char* caminho);  /* BMP file: 1, -8, -99 */
/* Loads a BMP for RX457_iImprimirBMPMemoria; modo '0' or '1' (threshold or dithering): 1, -8, -99. */
RX457_API int RX457_iCarregarBMPMemoria(const char* caminho, int modo);
RX457_API int RX457_iImprimirBMPMemoria(void);      /* 1 printed, 0 nothing loaded */
RX457_API int RX457_iImprimeCheque(void);           /* 1 (no cheque printer) */
RX457_API int RX457_Consulta_UltimaImpressao(void); /* waits up to 10 s for the end of printing: 1 */
/* Copies the printer's model ID (at most RX457_TAMANHO_MODELO bytes with its terminator): 1, 0, -99. */
RX457_API int RX457_ModeloImpressora(char* destino);
RX457_API int RX457_Ler_CMC7(void);              /* 1 */
RX457_API int RX457_Autenticar_Doc(void);        /* 1 */
RX457_API int RX457_ConsultaNumeroSerie(void);   /* 1 */
RX457_API int RX457_regLinhasGuilhotina(void);   /* 0 */
RX457_API int RX457_regModoGaveta(void);         /* 1 */
RX457_API int RX457_regPortaComunicacao(void);   /* 0 */
RX457_API int RX457_regVelocidade(void);         /* 0 */
RX457_API int RX457_rStatusGuilhotina(void);     /* 1 */
RX457_API int RX457_iConfigurarGuilhotina(void); /* 0 */
/* Prints a fiscal document from its XML text or file name: protocol number a1 and its date a2, a3 1 = no
   item table, security code a4, token identifier a5, a6 emission option 0..2, a7 unused, amount received
   a8: 1 printed, 0 not a fiscal document or rejected, -99 invalid argument, -8 unreadable. */
RX457_API int RX457_iImprimirXML_NFCe(const char* xml, const char* a1, const char* a2, int a3, const char* a4,
                                      const char* a5, int a6, int a7, const char* a8);
/* As RX457_iImprimirXML_NFCe without an amount received; a7 is reduced to its low byte. */
RX457_API int RX457_iImprimirXML(const char* xml, const char* a1, const char* a2, int a3, const char* a4,
                                 const char* a5, int a6, int a7);
/* As RX457_iImprimirXML_NFCe without an amount received. */
RX457_API int RX457_iImprimirXMLString(const char* xml, const char* a1, const char* a2, int a3, const char* a4,
                                       const char* a5, int a6, int a7);
/* QR module size (dots, 1..16; other values are ignored) for the QR-beside-text print. */
RX457_API void RX457_setSize_Qrcode(int tamanho);
/* Prints a QR code with marked-up text to its right. */
RX457_API void RX457_iImprimeQRCode_TextoDireita(const char* dadosQR, const char* texto);

#ifdef __cplusplus
}
#endif

#endif /* RX457_H */
