"""The library itself: where it is found, the records of RX457.h and the prototypes of the exports."""

import ctypes
import ctypes.util
import os
import shutil
import subprocess

NOME_SONAME = "libRX457.so.1"


class InfoImpressora(ctypes.Structure):
    """Filled by VEX_DetectarImpressora (RX457.h). The strings point into the library's own storage."""

    _fields_ = [
        ("modelo", ctypes.c_int32),
        ("nomeModelo", ctypes.c_char_p),
        ("versaoFirmware", ctypes.c_char_p),
        ("reservado", ctypes.c_char_p),
        ("porta", ctypes.c_char_p),
        ("larguraPontos", ctypes.c_int32),
        ("resolucaoDpi", ctypes.c_int32),
        ("flags", ctypes.c_uint32),
        ("zero", ctypes.c_ubyte * 4),
        ("estado", ctypes.c_ubyte * 4),
    ]


class InfoDocumento(ctypes.Structure):
    """What VEX_ImprimirDocumentoFiscal is told about an NFC-e (RX457.h)."""

    _fields_ = [
        ("tipo", ctypes.c_int32),
        ("identificadorToken", ctypes.c_char_p),
        ("codigoSeguranca", ctypes.c_char_p),
        ("numeroProtocolo", ctypes.c_char_p),
        ("dataHoraProtocolo", ctypes.c_char_p),
        ("valorRecebido", ctypes.c_char_p),
    ]


_c = ctypes
# name: (result, arguments); None as result = void.
_PROTOTIPOS = {
    "VEX_ObterUltimoErro": (_c.c_int, [_c.c_char_p, _c.c_uint]),
    "VEX_AlterarParametroConfiguracaoVEX": (_c.c_int, [_c.c_char_p, _c.c_char_p, _c.c_char_p]),
    "VEX_LerParametroConfiguracaoVEX": (_c.c_int, [_c.c_char_p, _c.c_char_p, _c.c_char_p, _c.c_uint]),
    "VEX_DetectarImpressora": (_c.c_int, [_c.POINTER(InfoImpressora), _c.c_uint]),
    "VEX_AtualizarEstadoOperacao": (_c.c_int, [_c.POINTER(_c.c_ubyte), _c.c_uint]),
    "VEX_EsperarPeloTerminoImpressao": (_c.c_int, []),
    "VEX_AbrirGavetaDinheiro": (None, []),
    "VEX_AcionarCortadorPapel": (None, []),
    "VEX_AvancarPapelBobina": (None, [_c.c_uint]),
    "VEX_SelecionarAlinhamento": (None, [_c.c_uint]),
    "VEX_ImprimirTexto": (None, [_c.c_char_p]),
    "VEX_ImprimirImagemDoArquivo": (_c.c_int, [_c.c_char_p, _c.c_int, _c.c_int]),
    "VEX_ImprimirCodigoBarras": (_c.c_int, [_c.c_uint, _c.c_char_p, _c.c_int]),
    "VEX_SelecionarAlturaCodigoBarras": (None, [_c.c_int]),
    "VEX_SelecionarLarguraCodigoBarras": (None, [_c.c_int]),
    "VEX_QRCodeSelecionarNivelCorrecaoErro": (None, [_c.c_int]),
    "VEX_QRCodeSelecionarTamanhoModulo": (None, [_c.c_int]),
    "VEX_ImprimirDocumentoFiscal": (_c.c_int, [_c.c_char_p, _c.POINTER(InfoDocumento), _c.c_uint, _c.c_int, _c.c_int]),
    "VEX_IniciarTrabalhoImpressao": (None, []),
    "VEX_CancelarTrabalhoImpressao": (None, []),
    "VEX_SalvarTrabalhoImpressaoEmArquivo": (_c.c_int, [_c.c_char_p]),
    "VEX_SalvarTrabalhoImpressaoComoImagem": (_c.c_int, [_c.c_char_p]),
    "RX457_iImprimirTexto": (_c.c_int, [_c.c_char_p, _c.c_int]),
}


def _candidatos(caminho):
    if caminho:
        yield os.fspath(caminho)
        return
    if os.environ.get("RX457_BIBLIOTECA"):
        yield os.environ["RX457_BIBLIOTECA"]
    # A system install (the Debian package, or /usr/local after ldconfig).
    achado = ctypes.util.find_library("RX457")
    if achado:
        yield achado
    yield NOME_SONAME
    # An install under another prefix, found through its pkg-config file (PKG_CONFIG_PATH).
    if shutil.which("pkg-config"):
        try:
            pasta = subprocess.run(["pkg-config", "--variable=libdir", "rx457"], capture_output=True, text=True,
                                   timeout=10).stdout.strip()
        except (OSError, subprocess.SubprocessError):
            pasta = ""
        if pasta:
            yield os.path.join(pasta, NOME_SONAME)


_carregadas = {}


def carregar(caminho=None):
    """Loads libRX457 once per process. The library reads "CONVERSOR.ini" from the current directory
    at this moment, so change into the application's folder first."""
    erros = []
    for candidato in _candidatos(caminho):
        if candidato in _carregadas:
            return _carregadas[candidato]
        try:
            lib = ctypes.CDLL(candidato)
        except OSError as e:
            erros.append(f"{candidato}: {e}")
            continue
        for nome, (resultado, argumentos) in _PROTOTIPOS.items():
            funcao = getattr(lib, nome)
            funcao.restype = resultado
            funcao.argtypes = argumentos
        _carregadas[candidato] = lib
        return lib
    raise OSError("libRX457 não encontrada (" + "; ".join(erros) + "). Instale o pacote, ou informe o caminho "
                  "em Impressora(biblioteca=...) ou na variável RX457_BIBLIOTECA.")
