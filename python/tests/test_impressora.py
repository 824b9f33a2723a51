"""Tests of the rx457 package against the real library, the printer being the emulator.

RX457_BIBLIOTECA names the library (else it is looked up as an installed one), RX457_EMULADOR the
rx457-emulator program and RX457_AMOSTRAS the folder of fiscal XML samples; the tests that need one of
the last two are skipped without it."""

import os
import queue
import subprocess
import tempfile
import threading
import time
import unittest

import rx457
from rx457 import CodigoBarras, ErroRX457, Impressora

EMULADOR = os.environ.get("RX457_EMULADOR")
AMOSTRAS = os.environ.get("RX457_AMOSTRAS")
_pasta = None
_emulador = None
_eventos = queue.Queue()
impressora = None


def setUpModule():
    global _pasta, _emulador, impressora
    _pasta = tempfile.TemporaryDirectory(prefix="rx457-python-")
    porta = "/dev/null/sem-impressora"
    if EMULADOR:
        _emulador = subprocess.Popen([EMULADOR, "--stdin-control", "--log"], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        porta = _emulador.stdout.readline().strip()
        threading.Thread(target=_ler_eventos, args=(_emulador.stderr,), daemon=True).start()
    with open(os.path.join(_pasta.name, "CONVERSOR.ini"), "w") as f:
        f.write(f"[RX457]\nPORTA = {porta}\n")
    # The library reads CONVERSOR.ini from the working directory when it is loaded.
    os.chdir(_pasta.name)
    impressora = Impressora()


def tearDownModule():
    if _emulador:
        _emulador.stdin.close()
        _emulador.wait(timeout=30)


def _ler_eventos(fluxo):
    for linha in fluxo:
        if linha.startswith("event: "):
            _eventos.put(linha[7:].strip())


def _esperar_evento(prefixo, segundos=10):
    limite = time.monotonic() + segundos
    while time.monotonic() < limite:
        try:
            evento = _eventos.get(timeout=max(0.0, limite - time.monotonic()))
        except queue.Empty:
            break
        if evento.startswith(prefixo):
            return evento
    return None


class Trabalho(unittest.TestCase):
    """Jobs need no printer: what is printed is collected, then saved."""

    def setUp(self):
        impressora.iniciar_trabalho()
        self.addCleanup(impressora.cancelar_trabalho)

    def bytes_do_trabalho(self):
        caminho = os.path.join(_pasta.name, "trabalho.bin")
        impressora.salvar_trabalho_em_arquivo(caminho)
        with open(caminho, "rb") as f:
            return f.read()

    def test_str_chega_em_latin1_e_o_que_falta_vira_interrogacao(self):
        casos = [("Café pão ª", b"Caf\xe9 p\xe3o \xaa"), ("€ 5", b"? 5"), (b"Caf\xe9", b"Caf\xe9")]
        for texto, esperado in casos:
            with self.subTest(texto=texto):
                impressora.cancelar_trabalho()
                impressora.iniciar_trabalho()
                impressora.imprimir_texto(texto)
                self.assertIn(esperado, self.bytes_do_trabalho())

    def test_sem_marcacao_as_tags_sao_texto(self):
        impressora.imprimir_texto("<b>x</b>", marcacao=False)
        self.assertIn(b"<b>x</b>", self.bytes_do_trabalho())

    def test_imagem_do_trabalho_e_um_bmp_da_largura_da_impressora(self):
        impressora.imprimir_texto("<ce>Recibo</ce>\n")
        impressora.qrcode("https://exemplo.com.br", tamanho_modulo=4)
        impressora.codigo_barras(CodigoBarras.EAN13, "789100031550", altura=60)
        caminho = os.path.join(_pasta.name, "trabalho.bmp")
        impressora.salvar_trabalho_como_imagem(caminho)
        with open(caminho, "rb") as f:
            bmp = f.read()
        self.assertEqual(bmp[:2], b"BM")
        self.assertEqual(int.from_bytes(bmp[18:22], "little", signed=True), 512)
        self.assertGreater(abs(int.from_bytes(bmp[22:26], "little", signed=True)), 100)

    def test_falhas_levantam_erro_com_codigo_e_funcao(self):
        casos = [
            (lambda: impressora.codigo_barras(11, "1"), "VEX_ImprimirCodigoBarras", 5),
            (lambda: impressora.codigo_barras(CodigoBarras.CODE39, ""), "VEX_ImprimirCodigoBarras", 4),
            (lambda: impressora.imagem(os.path.join(_pasta.name, "nao-existe.bmp")), "VEX_ImprimirImagemDoArquivo", 8),
            (lambda: impressora.salvar_trabalho_em_arquivo("/nao/existe/x.bin"), "VEX_SalvarTrabalhoImpressaoEmArquivo", 7),
            (lambda: impressora.documento_fiscal(b"<nada/>"), "VEX_ImprimirDocumentoFiscal", 8),
            (lambda: impressora.ler_parametro("RX457", "NAO_EXISTE"), "VEX_LerParametroConfiguracaoVEX", 1),
            (lambda: impressora.alterar_parametro("RX457", "VELOCIDADE", "1200"), "VEX_AlterarParametroConfiguracaoVEX", 10),
        ]
        for chamada, funcao, codigo in casos:
            with self.subTest(funcao=funcao, codigo=codigo):
                with self.assertRaises(ErroRX457) as erro:
                    chamada()
                self.assertEqual((erro.exception.funcao, erro.exception.codigo), (funcao, codigo))
                self.assertIsInstance(erro.exception.ultimo_erro, str)

    @unittest.skipUnless(AMOSTRAS, "RX457_AMOSTRAS is not set")
    def test_documentos_fiscais_de_arquivo_de_bytes_e_de_str(self):
        nfce = os.path.join(AMOSTRAS, "nfce-nfeproc-310-hom-df-cnpj-troco.xml")
        cfe = os.path.join(AMOSTRAS, "cfe-sale-hom-1item-v008.xml")
        with open(cfe, "rb") as f:
            cfe_bytes = f.read()
        impressora.documento_fiscal(nfce, token="000001", csc="A1B2C3D4E5F6", valor_recebido=10.5)
        impressora.documento_fiscal(cfe_bytes)
        impressora.documento_fiscal(cfe_bytes.decode("utf-8"))
        self.assertIn(b"Troco", self.bytes_do_trabalho())
        with self.assertRaises(ValueError):
            impressora.documento_fiscal(nfce)


@unittest.skipUnless(EMULADOR, "RX457_EMULADOR is not set")
class ComImpressora(unittest.TestCase):
    def test_detectar_e_estado(self):
        d = impressora.detectar()
        self.assertEqual((d.modelo, d.nome_modelo, d.largura_pontos), (2, "RX-457", 512))
        self.assertTrue(d.porta)
        estado = impressora.estado()
        self.assertFalse(estado.sem_papel or estado.tampa_aberta or estado.fora_de_linha)

    def test_corte_e_gaveta_chegam_a_impressora(self):
        impressora.imprimir_texto("Teste\n")
        impressora.cortar()
        impressora.abrir_gaveta()
        self.assertTrue(impressora.esperar_termino())
        self.assertIsNotNone(_esperar_evento("cut-partial"))
        self.assertIsNotNone(_esperar_evento("drawer"))


if __name__ == "__main__":
    unittest.main()
