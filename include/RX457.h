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
 * its configuration from "CONVERSOR.ini" in the process's current directory when it is loaded.
 */
#ifndef RX457_H
#define RX457_H

#if defined(__GNUC__)
#define RX457_API __attribute__((visibility("default")))
#else
#define RX457_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Session ---- */

/* Stores an event callback pointer (NULL clears it); it is never called. */
RX457_API void VEX_NotificarEventos(void* callback);

/* Copies the message of the last internal failure (empty if none): 0 copied, 3 null, 14 too small. */
RX457_API int VEX_ObterUltimoErro(char* destino, unsigned int tamanho);

/* ---- Configuration ("CONVERSOR.ini") ---- */

/* Changes a key ("BOBINA_XXMM" = section of the paper in use): 0 changed, 1 section or key not found,
   3 null argument, 10 value not accepted (or the file could not be rewritten). */
RX457_API int VEX_AlterarParametroConfiguracaoVEX(const char* secao, const char* chave, const char* valor);

/* Reads a key's text as written in the file: 0 copied, 1 not found, 3 null argument,
   14 buffer too small (the text needs tamanho > its length). */
RX457_API int VEX_LerParametroConfiguracaoVEX(const char* secao, const char* chave, char* valor,
                                              unsigned int tamanho);

#ifdef __cplusplus
}
#endif

#endif /* RX457_H */
