"""rx457-preview against the library's own job image: the same document, printed into a job and saved
with VEX_SalvarTrabalhoImpressaoComoImagem, must give the very same BMP, and the PNG the same pixels.

RX457_PREVIEW names the tool, RX457_BIBLIOTECA the library and RX457_AMOSTRAS the fiscal samples."""

import atexit
import ctypes
import os
import shutil
import struct
import sys
import subprocess
import tempfile
import time
import unittest
import zlib

PREVIEW = os.environ["RX457_PREVIEW"]
AMOSTRAS = os.environ["RX457_AMOSTRAS"]
TOKEN, CSC = "000001", "A1B2C3D4E5F6G7H8"

pasta = None


class InfoDocumento(ctypes.Structure):
    _fields_ = [("tipo", ctypes.c_int32)] + [(n, ctypes.c_char_p) for n in (
        "identificadorToken", "codigoSeguranca", "numeroProtocolo", "dataHoraProtocolo", "valorRecebido")]


def setUpModule():
    global pasta
    pasta = tempfile.TemporaryDirectory(prefix="rx457-preview-teste-")
    os.chdir(pasta.name)


def tearDownModule():
    os.chdir("/")
    pasta.cleanup()


def gerar_referencia(largura, tipo, entrada, saida):
    """In a process of its own (the printer's state lasts as long as the session): the library's job
    image of the input, on paper of largura mm. tipo: fiscal, texto, or trabalho (the job's bytes
    saved with VEX_SalvarTrabalhoImpressaoEmArquivo, written to saida)."""
    trabalho = tempfile.mkdtemp(prefix="rx457-referencia-")
    atexit.register(shutil.rmtree, trabalho, True)
    open(os.path.join(trabalho, "CONVERSOR.ini"), "w").close()
    os.chdir(trabalho)
    lib = ctypes.CDLL(os.environ["RX457_BIBLIOTECA"])
    lib.VEX_AlterarParametroConfiguracaoVEX.argtypes = [ctypes.c_char_p] * 3
    lib.RX457_iImprimirTexto.argtypes = [ctypes.c_char_p, ctypes.c_int]
    lib.VEX_ImprimirDocumentoFiscal.argtypes = [ctypes.c_char_p, ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_int]
    assert lib.VEX_AlterarParametroConfiguracaoVEX(b"RX457", b"PORTA", b"/dev/null/sem-impressora") == 0
    assert lib.VEX_AlterarParametroConfiguracaoVEX(b"RX457", b"LARGURA_BOBINA", largura.encode()) == 0
    with open(entrada, "rb") as f:
        dados = f.read()
    lib.VEX_IniciarTrabalhoImpressao()
    if tipo == "fiscal":
        info = InfoDocumento(1, TOKEN.encode(), CSC.encode(), None, None, None)
        nfce = b"<infNFe" in dados
        assert lib.VEX_ImprimirDocumentoFiscal(dados, ctypes.byref(info) if nfce else None,
                                               ctypes.sizeof(info) if nfce else 0, 0, 0) == 0
    else:
        lib.RX457_iImprimirTexto(dados, len(dados))
    if tipo == "trabalho":
        assert lib.VEX_SalvarTrabalhoImpressaoEmArquivo(saida.encode()) == 0
    else:
        assert lib.VEX_SalvarTrabalhoImpressaoComoImagem(saida.encode()) == 0


def referencia(largura, tipo, entrada):
    saida = os.path.abspath("referencia.bin")
    subprocess.run([sys.executable, __file__, "--referencia", str(largura), tipo, os.path.abspath(entrada), saida],
                   check=True)
    with open(saida, "rb") as f:
        return f.read()


def previa(*argumentos):
    """Runs rx457-preview; returns (exit code, BMP bytes or None, PNG bytes or None, stderr, seconds)."""
    for nome in ("previa.png", "previa.bmp"):
        if os.path.exists(nome):
            os.remove(nome)
    inicio = time.monotonic()
    r = subprocess.run([PREVIEW, "--bmp", "--out", "previa.png", *argumentos], capture_output=True, text=True)
    segundos = time.monotonic() - inicio
    ler = lambda n: open(n, "rb").read() if os.path.exists(n) else None
    return r.returncode, ler("previa.bmp"), ler("previa.png"), r.stderr, segundos


def pixels_bmp(bmp):
    inicio, largura, altura = struct.unpack_from("<I", bmp, 10)[0], *struct.unpack_from("<ii", bmp, 18)
    passo, linhas = (largura + 31) // 32 * 4, []
    for y in range(abs(altura)):
        origem = y if altura < 0 else abs(altura) - 1 - y
        linha = bmp[inicio + origem * passo:inicio + origem * passo + (largura + 7) // 8]
        linhas.append(bytes(linha))
    return largura, abs(altura), linhas


def pixels_png(png):
    assert png[:8] == b"\x89PNG\r\n\x1a\n"
    pos, dados, ihdr = 8, b"", None
    while pos < len(png):
        tamanho, tipo = struct.unpack_from(">I4s", png, pos)
        corpo = png[pos + 8:pos + 8 + tamanho]
        assert zlib.crc32(png[pos + 4:pos + 8 + tamanho]) == struct.unpack_from(">I", png, pos + 8 + tamanho)[0]
        if tipo == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", corpo)
        elif tipo == b"IDAT":
            dados += corpo
        pos += 12 + tamanho
    largura, altura, bits, cor = ihdr[:4]
    assert (bits, cor) == (1, 3)
    cru, n = zlib.decompress(dados), (largura + 7) // 8
    linhas = []
    for y in range(altura):
        assert cru[y * (n + 1)] == 0
        linhas.append(cru[y * (n + 1) + 1:(y + 1) * (n + 1)])
    return largura, altura, linhas


class Previa(unittest.TestCase):
    def assertMesmaImagem(self, referencia, codigo, bmp, png, erro):
        self.assertEqual(codigo, 0, erro)
        self.assertEqual(bmp, referencia)
        largura, altura, linhas = pixels_bmp(bmp)
        # Bits past the width are padding in the BMP; the PNG clears them.
        resto = largura % 8
        if resto:
            linhas = [l[:-1] + bytes([l[-1] & (0xFF << (8 - resto)) & 0xFF]) for l in linhas]
        self.assertEqual(pixels_png(png), (largura, altura, linhas))

    def test_cada_amostra_fiscal_igual_a_imagem_do_trabalho_e_em_menos_de_um_segundo(self):
        amostras = sorted(n for n in os.listdir(AMOSTRAS) if n.endswith(".xml"))
        self.assertGreaterEqual(len(amostras), 8)
        for nome in amostras:
            caminho = os.path.join(AMOSTRAS, nome)
            for largura in (56, 80):
                with self.subTest(amostra=nome, largura=largura):
                    esperado = referencia(largura, "fiscal", caminho)
                    codigo, bmp, png, erro, segundos = previa("--width", str(largura), "--token", TOKEN,
                                                              "--csc", CSC, caminho)
                    self.assertMesmaImagem(esperado, codigo, bmp, png, erro)
                    self.assertLess(segundos, 1.0)

    def test_texto_com_marcacao_e_o_trabalho_salvo_dele(self):
        texto = ("<ce><b>Caf\xe9 com p\xe3o</b></ce>\n<tc>-</tc><qrcode>https://exemplo.com.br</qrcode>"
                 "<code128>ABC-123</code128><pdf>12345</pdf>Total <e>R$ 8,10</e>\n<gui></gui>").encode("latin-1")
        with open("recibo.txt", "wb") as f:
            f.write(texto)
        esperado = referencia(80, "texto", "recibo.txt")
        self.assertMesmaImagem(esperado, *previa("recibo.txt")[:4])
        # The job's printer bytes, '<' and NUL bytes included, render into the same page.
        with open("trabalho.bin", "wb") as f:
            f.write(referencia(80, "trabalho", "recibo.txt"))
        with open("trabalho.bin", "rb") as f:
            self.assertIn(b"\0", f.read())
        self.assertMesmaImagem(esperado, *previa("trabalho.bin")[:4])
        # The same text written in UTF-8 and converted by --utf8.
        with open("recibo-utf8.txt", "wb") as f:
            f.write(texto.decode("latin-1").encode("utf-8"))
        self.assertMesmaImagem(esperado, *previa("--utf8", "recibo-utf8.txt")[:4])
        codigo, _, _, erro, _ = previa("recibo-utf8.txt")
        self.assertEqual(codigo, 0)
        self.assertIn("UTF-8", erro)

    def test_entradas_e_opcoes_recusadas(self):
        with open("nada.txt", "w") as f:
            f.write("sem documento")
        casos = [(["--width", "60", "nada.txt"], 2), (["--kind", "xml", "nada.txt"], 2), (["--sem-isso", "nada.txt"], 2),
                 ([], 2), (["nao-existe.xml"], 1), (["--kind", "fiscal", "nada.txt"], 1)]
        for argumentos, esperado in casos:
            with self.subTest(argumentos=argumentos):
                self.assertEqual(previa(*argumentos)[0], esperado)


if __name__ == "__main__":
    if sys.argv[1:2] == ["--referencia"]:
        gerar_referencia(*sys.argv[2:6])
    else:
        unittest.main()
