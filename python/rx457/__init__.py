"""rx457: a libRX457 (impressora térmica de recibos) usada do Python, através do ctypes.

    from rx457 import Impressora
    impressora = Impressora()            # lê CONVERSOR.ini da pasta atual
    impressora.imprimir_texto("<ce><b>Café</b></ce>\\n")
    impressora.qrcode("https://exemplo.com.br")
    impressora.cortar()

Textos `str` são convertidos para Latin-1 (ISO-8859-1), a codificação que a impressora imprime;
`bytes` são passados como estão. Falhas levantam ErroRX457, com o código e VEX_ObterUltimoErro.
"""

from ._nativo import InfoDocumento, InfoImpressora
from .impressora import (
    CodigoBarras,
    Deteccao,
    ErroRX457,
    EstadoOperacao,
    Impressora,
    NivelCorrecao,
)

__all__ = [
    "CodigoBarras",
    "Deteccao",
    "ErroRX457",
    "EstadoOperacao",
    "Impressora",
    "InfoDocumento",
    "InfoImpressora",
    "NivelCorrecao",
]
__version__ = "1.0.0"
