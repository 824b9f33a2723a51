"""A Pythonic layer over the exports of libRX457 (RX457.h): one Impressora object, str converted to
Latin-1, failures raised as ErroRX457."""

import ctypes
import enum
import os
from dataclasses import dataclass

from . import _nativo
from ._nativo import InfoDocumento, InfoImpressora

# Codes of the VEX_* family (RX457.h).
CODIGOS_VEX = {
    1: "impressora não detectada, ou seção ou chave de configuração inexistente",
    2: "argumento inválido",
    3: "ponteiro obrigatório nulo",
    4: "dados ou nome de arquivo vazio",
    5: "tipo fora da faixa, ou documento fiscal de outro tipo",
    6: "estado da impressora não pôde ser lido",
    7: "arquivo de saída não pôde ser criado",
    8: "arquivo de entrada ilegível, ou texto que não é documento fiscal",
    9: "documento não enfileirado",
    10: "valor de configuração não aceito",
    11: "falha interna",
    12: "operação indisponível, ou trabalho não desenhado",
    14: "área de destino pequena demais",
}
# Codes of the legacy RX457_* family: 1 is success.
CODIGOS_LEGADO = {
    0: "falha",
    -99: "parâmetro inválido",
    -8: "arquivo de imagem ausente ou ilegível",
    -27: "arquivo não pôde ser aberto, ou conversor externo ausente",
}


class ErroRX457(Exception):
    """An export reported a failure. `codigo` is its result, `funcao` the export's name and
    `ultimo_erro` what VEX_ObterUltimoErro held afterwards (the message of the last internal failure,
    possibly of an earlier call; empty when there was none)."""

    def __init__(self, funcao, codigo, descricao, ultimo_erro=""):
        self.funcao = funcao
        self.codigo = codigo
        self.descricao = descricao
        self.ultimo_erro = ultimo_erro
        texto = f"{funcao}: código {codigo} ({descricao})"
        if ultimo_erro:
            texto += f": {ultimo_erro}"
        super().__init__(texto)


class CodigoBarras(enum.IntEnum):
    """Symbol types of VEX_ImprimirCodigoBarras."""

    UPC_A = 0
    UPC_E = 1
    EAN13 = 2
    EAN8 = 3
    CODE39 = 4
    ITF = 5
    CODABAR = 6
    CODE93 = 7
    CODE128 = 8
    QRCODE = 9
    PDF417 = 10


class NivelCorrecao(enum.IntEnum):
    """QR code error correction levels."""

    L = 0
    M = 1
    Q = 2
    H = 3


@dataclass(frozen=True)
class EstadoOperacao:
    """The 4 bytes of VEX_AtualizarEstadoOperacao, bit by bit."""

    bytes: bytes
    papel_perto_do_fim: bool
    sem_papel: bool
    tampa_aberta: bool
    gaveta_pino3: bool
    erro_guilhotina: bool
    fora_de_linha: bool
    erro_recuperavel: bool
    erro_irrecuperavel: bool

    @classmethod
    def de_bytes(cls, b):
        b = bytes(b)
        bit = lambda byte, n: bool(b[byte] >> n & 1)
        return cls(b, bit(0, 0), bit(0, 1), bit(0, 2), bit(0, 3), bit(0, 5), bit(0, 6), bit(0, 7), bit(1, 0))


@dataclass(frozen=True)
class Deteccao:
    """What VEX_DetectarImpressora found. modelo: 2 RX-457, 1 RX-268, -1 another printer."""

    modelo: int
    nome_modelo: str
    versao_firmware: str
    porta: str
    largura_pontos: int
    resolucao_dpi: int
    estado: EstadoOperacao


def _texto(valor):
    """str -> Latin-1 bytes (characters the printer cannot print become '?'); bytes as they are."""
    if valor is None:
        return None
    if isinstance(valor, (bytes, bytearray)):
        return bytes(valor)
    return str(valor).encode("latin-1", errors="replace")


def _caminho(valor):
    return os.fsencode(valor)


class Impressora:
    """The printer configured in "CONVERSOR.ini" of the current directory (read when the library is
    loaded, that is, when the first Impressora is created in the process). Every method may be called
    from any thread: the library serialises the calls."""

    def __init__(self, biblioteca=None):
        self._lib = _nativo.carregar(biblioteca)

    # ---- failures ----

    def ultimo_erro(self):
        """The message of the last internal failure (VEX_ObterUltimoErro), or ''."""
        destino = ctypes.create_string_buffer(1024)
        if self._lib.VEX_ObterUltimoErro(destino, len(destino)) != 0:
            return ""
        return destino.value.decode("utf-8", errors="replace")

    def _vex(self, nome, *argumentos):
        codigo = getattr(self._lib, nome)(*argumentos)
        if codigo != 0:
            raise ErroRX457(nome, codigo, CODIGOS_VEX.get(codigo, "código desconhecido"), self.ultimo_erro())
        return codigo

    def _legado(self, nome, *argumentos):
        codigo = getattr(self._lib, nome)(*argumentos)
        if codigo != 1:
            raise ErroRX457(nome, codigo, CODIGOS_LEGADO.get(codigo, "código desconhecido"), self.ultimo_erro())
        return codigo

    # ---- printer ----

    def detectar(self):
        """Asks the printer for its model, firmware and status; ErroRX457 (código 1) if it does not answer."""
        info = InfoImpressora()
        self._vex("VEX_DetectarImpressora", ctypes.byref(info), ctypes.sizeof(info))
        texto = lambda p: (p or b"").decode("latin-1")
        return Deteccao(info.modelo, texto(info.nomeModelo), texto(info.versaoFirmware), texto(info.porta),
                        info.larguraPontos, info.resolucaoDpi, EstadoOperacao.de_bytes(info.estado))

    def estado(self):
        """The printer's operation status (paper, cover, cutter, errors)."""
        b = (ctypes.c_ubyte * 4)()
        self._vex("VEX_AtualizarEstadoOperacao", b, 4)
        return EstadoOperacao.de_bytes(b)

    def esperar_termino(self):
        """Waits (up to 10 s) until the printer has printed everything sent so far; True if it answered."""
        return self._lib.VEX_EsperarPeloTerminoImpressao() == 1

    # ---- printing ----

    def imprimir_texto(self, texto, marcacao=True):
        """Prints text; with marcacao, the print markup (<b>, <ce>, <qrcode>...) is interpreted and a
        final line feed is added when ENTERAUTOMATICO is set. Without it, the bytes go as they are."""
        dados = _texto(texto)
        if not marcacao:
            if b"\0" in dados:
                raise ValueError("texto sem marcação não pode conter o byte 0")
            self._lib.VEX_ImprimirTexto(dados)
            return
        if dados:
            self._legado("RX457_iImprimirTexto", dados, len(dados))

    def codigo_barras(self, tipo, dados, altura=None, largura=None):
        """A barcode of CodigoBarras type; altura and largura (module width) in dots, when given.
        CODE128 takes symbol values (start 103/104/105, then values 0..102): a str is turned into
        them in code set B; bytes are taken as the values themselves."""
        if altura is not None:
            self._lib.VEX_SelecionarAlturaCodigoBarras(int(altura))
        if largura is not None:
            self._lib.VEX_SelecionarLarguraCodigoBarras(int(largura))
        if int(tipo) == CodigoBarras.CODE128 and isinstance(dados, str):
            if any(not " " <= c <= "\x7f" for c in dados):
                raise ValueError("CODE128 em texto aceita só ASCII imprimível")
            dados = bytes([104] + [ord(c) - 32 for c in dados])
        d = _texto(dados)
        self._vex("VEX_ImprimirCodigoBarras", int(tipo), d, len(d))

    def qrcode(self, dados, tamanho_modulo=None, nivel_correcao=None):
        """A QR code; tamanho_modulo in dots, nivel_correcao a NivelCorrecao."""
        if tamanho_modulo is not None:
            self._lib.VEX_QRCodeSelecionarTamanhoModulo(int(tamanho_modulo))
        if nivel_correcao is not None:
            self._lib.VEX_QRCodeSelecionarNivelCorrecaoErro(int(nivel_correcao))
        self.codigo_barras(CodigoBarras.QRCODE, dados)

    def imagem(self, caminho, limiar=128, divisor=100):
        """A BMP file; divisor 100 prints it at its size, 200 at half."""
        self._vex("VEX_ImprimirImagemDoArquivo", _caminho(caminho), int(limiar), int(divisor))

    def documento_fiscal(self, xml, token=None, csc=None, protocolo=None, data_protocolo=None,
                         valor_recebido=None, opcoes=0):
        """A CF-e SAT sale or cancellation, or a DANFE NFC-e, from its XML: bytes, a str holding the XML,
        or the name of a file. An NFC-e needs the taxpayer's token identifier and security code (CSC)."""
        texto = self._xml(xml)
        if b"<infNFe" in texto:
            if not token or not csc:
                raise ValueError("NFC-e: informe token (identificador do CSC) e csc (código de segurança)")
            info = InfoDocumento(1, _texto(token), _texto(csc), _texto(protocolo), _texto(data_protocolo),
                                 _texto(None if valor_recebido is None else str(valor_recebido)))
            self._vex("VEX_ImprimirDocumentoFiscal", texto, ctypes.byref(info), ctypes.sizeof(info), int(opcoes), 0)
        else:
            self._vex("VEX_ImprimirDocumentoFiscal", texto, None, 0, int(opcoes), 0)

    @staticmethod
    def _xml(xml):
        if isinstance(xml, (bytes, bytearray)):
            return bytes(xml)
        if isinstance(xml, str) and xml.lstrip().startswith("<"):
            cabecalho = xml[:100].lower()
            latin1 = "iso-8859-1" in cabecalho or "latin1" in cabecalho or "latin-1" in cabecalho
            return xml.encode("latin-1" if latin1 else "utf-8")
        with open(xml, "rb") as f:
            return f.read()

    ESQUERDA, CENTRO, DIREITA = 0, 1, 2

    def alinhar(self, alinhamento):
        """Alignment of what follows: Impressora.ESQUERDA, CENTRO or DIREITA."""
        self._lib.VEX_SelecionarAlinhamento(int(alinhamento))

    def cortar(self):
        """Feeds the paper past the cutter and cuts it (partial cut)."""
        self._lib.VEX_AcionarCortadorPapel()

    def abrir_gaveta(self):
        """Pulses the cash drawer connector."""
        self._lib.VEX_AbrirGavetaDinheiro()

    def avancar_papel(self, pontos):
        self._lib.VEX_AvancarPapelBobina(int(pontos))

    # ---- jobs: printing collected instead of sent, to be saved as bytes or as an image ----

    def iniciar_trabalho(self):
        """From now on, what is printed is collected in the job instead of reaching the printer."""
        self._lib.VEX_IniciarTrabalhoImpressao()

    def salvar_trabalho_em_arquivo(self, caminho):
        """Writes the job's printer bytes to a file."""
        self._vex("VEX_SalvarTrabalhoImpressaoEmArquivo", _caminho(caminho))

    def salvar_trabalho_como_imagem(self, caminho):
        """Renders the job, as the printer would print it, into a 1-bit BMP file."""
        self._vex("VEX_SalvarTrabalhoImpressaoComoImagem", _caminho(caminho))

    def cancelar_trabalho(self):
        """Discards the job; printing reaches the printer again."""
        self._lib.VEX_CancelarTrabalhoImpressao()

    # ---- configuration ("CONVERSOR.ini") ----

    def ler_parametro(self, secao, chave):
        destino = ctypes.create_string_buffer(4096)
        self._vex("VEX_LerParametroConfiguracaoVEX", _texto(secao), _texto(chave), destino, len(destino))
        return destino.value.decode("latin-1")

    def alterar_parametro(self, secao, chave, valor):
        self._vex("VEX_AlterarParametroConfiguracaoVEX", _texto(secao), _texto(chave), _texto(str(valor)))
