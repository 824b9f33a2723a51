#!/usr/bin/env python3
"""Keeps the user documentation true to the library: the key reference (configuracao.md) against the
parameter table and the tag reference (marcacao.md) against the tag table.

The tables are read when the test runs: key and tag names from the sources, and defaults, required
keys, accepted values and content rules from the library itself (a fresh "CONVERSOR.ini" it completes,
values it accepts or refuses, the validation messages it writes). Run by ctest with RX457_BIBLIOTECA
(the built library) and RX457_FONTES (the source tree)."""

import ctypes
import os
import re
import sys
import tempfile
import unittest

FONTES = os.environ.get("RX457_FONTES", os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DOCS = os.path.join(FONTES, "docs")
PORTA_NENHUMA = "/dev/null/sem-impressora"

lib = None
arquivo_novo = ""
pasta = None


def setUpModule():
    global lib, arquivo_novo, pasta
    pasta = tempfile.TemporaryDirectory(prefix="rx457-docs-")
    open(os.path.join(pasta.name, "CONVERSOR.ini"), "w").close()
    # Loaded in a folder whose empty CONVERSOR.ini the library completes with every required key.
    os.chdir(pasta.name)
    lib = ctypes.CDLL(os.environ["RX457_BIBLIOTECA"])
    lib.VEX_AlterarParametroConfiguracaoVEX.argtypes = [ctypes.c_char_p] * 3
    lib.RX457_iImprimirTexto.argtypes = [ctypes.c_char_p, ctypes.c_int]
    lib.VEX_SalvarTrabalhoImpressaoEmArquivo.argtypes = [ctypes.c_char_p]
    with open("CONVERSOR.ini", encoding="latin-1") as f:
        arquivo_novo = f.read()
    assert alterar("RX457", "PORTA", PORTA_NENHUMA) == 0


def tearDownModule():
    os.chdir("/")
    pasta.cleanup()


def alterar(secao, chave, valor):
    return lib.VEX_AlterarParametroConfiguracaoVEX(secao.encode(), chave.encode(), valor.encode("latin-1"))


def tabela_markdown(arquivo, primeira_coluna):
    """Rows of the Markdown table whose header starts with primeira_coluna, cells without backticks."""
    with open(os.path.join(DOCS, arquivo), encoding="utf-8") as f:
        linhas = f.read().splitlines()
    inicio = next(i for i, l in enumerate(linhas) if l.startswith("| " + primeira_coluna + " |"))
    linhas_tabela = []
    for linha in linhas[inicio + 2:]:
        if not linha.startswith("|"):
            break
        celulas = [c.strip().replace("`", "") for c in re.split(r"(?<!\\)\|", linha.strip())[1:-1]]
        linhas_tabela.append(celulas)
    return linhas_tabela


def secoes_do_ini(texto):
    chaves, secao = {}, None
    for linha in texto.splitlines():
        m = re.match(r"\s*\[(.+)\]\s*$", linha)
        if m:
            secao = m.group(1)
        elif "=" in linha and secao:
            k, v = linha.split("=", 1)
            chaves[(secao, k.strip())] = v.strip()
    return chaves


class ReferenciaConfiguracao(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.linhas = tabela_markdown("configuracao.md", "Seção")
        cls.doc = {(l[0], l[1]): l for l in cls.linhas}

    def test_todas_as_chaves_da_tabela_de_parametros_estao_documentadas(self):
        with open(os.path.join(FONTES, "src", "config", "Parametros.cpp"), encoding="utf-8") as f:
            fonte = f.read()
        nomes = set(re.findall(r'\bchave\(\s*"([A-Z0-9_]+)"', fonte))
        nomes |= set(re.findall(r'PropriedadesChave<[^>]+>\s*\{\s*"([A-Z0-9_]+)"', fonte))
        self.assertTrue(nomes)
        self.assertEqual(nomes, {chave for _, chave in self.doc})
        self.assertEqual(len(self.linhas), len(self.doc), "chave documentada duas vezes")

    def test_obrigatorias_e_padroes_como_a_biblioteca_completa_o_arquivo(self):
        novo = secoes_do_ini(arquivo_novo)
        obrigatorias = {k for k, l in self.doc.items() if l[5] == "sim"}
        self.assertEqual(set(novo), obrigatorias)
        for chave in obrigatorias:
            padrao = self.doc[chave][3]
            with self.subTest(chave=chave):
                self.assertEqual(novo[chave], "" if padrao == "(vazio)" else padrao)

    def test_chaves_nao_obrigatorias_existem_na_tabela(self):
        for (secao, chave), l in self.doc.items():
            if l[5] != "não":
                continue
            antes, depois = ("0", "1") if l[2] == "booleano" else ("a", "b")
            with self.subTest(chave=chave):
                with open("CONVERSOR.ini", encoding="latin-1") as f:
                    texto = f.read()
                self.assertNotIn(f" {chave} =", texto)
                texto = texto.replace(f"[{secao}]\n", f"[{secao}]\n   {chave} = {antes}\n", 1)
                with open("CONVERSOR.ini", "w", encoding="latin-1") as f:
                    f.write(texto)
                # Only a declared key can be changed: an unknown one is "not found" (1).
                self.assertEqual(alterar(secao, chave, depois), 0)
                with open("CONVERSOR.ini", encoding="latin-1") as f:
                    texto = f.read()
                with open("CONVERSOR.ini", "w", encoding="latin-1") as f:
                    f.write(texto.replace(f"   {chave} = {depois}\n", ""))

    def test_valores_aceitos_e_recusados(self):
        for (secao, chave), l in self.doc.items():
            tipo, padrao, aceitos, obrigatoria = l[2], l[3], l[4], l[5]
            if obrigatoria != "sim" or chave == "PORTA":
                continue
            aceitar, recusar = [], []
            faixa = re.fullmatch(r"(-?\d+)\.\.(-?\d+)", aceitos)
            if faixa:
                minimo, maximo = int(faixa.group(1)), int(faixa.group(2))
                aceitar, recusar = [str(minimo), str(maximo)], [str(minimo - 1), str(maximo + 1)]
            elif tipo == "booleano":
                self.assertEqual(aceitos, "0, 1")
                aceitar, recusar = ["0", "1"], ["2"]
            elif aceitos == "qualquer":
                aceitar = ["12345"] if tipo == "inteiro" else ["Texto de teste"]
                recusar = ["abc"] if tipo == "inteiro" else []
            else:
                aceitar = [v.strip() for v in aceitos.split(",")]
                recusar = ["1200"] if tipo == "inteiro" else ["OUTRO"]
            for valor, esperado in [(v, 0) for v in aceitar] + [(v, 10) for v in recusar]:
                with self.subTest(chave=f"{secao}/{chave}", valor=valor):
                    self.assertEqual(alterar(secao, chave, valor), esperado)
            alterar(secao, chave, "" if padrao == "(vazio)" else padrao)


def imprimir_em_trabalho(texto):
    """Prints the marked-up text into a job; returns (job bytes, what the library wrote on stderr)."""
    sys.stderr.flush()
    with tempfile.TemporaryFile() as erro:
        salvo = os.dup(2)
        os.dup2(erro.fileno(), 2)
        try:
            lib.VEX_IniciarTrabalhoImpressao()
            lib.RX457_iImprimirTexto(texto, len(texto))
            lib.VEX_SalvarTrabalhoImpressaoEmArquivo(b"trabalho.bin")
            lib.VEX_CancelarTrabalhoImpressao()
        finally:
            os.dup2(salvo, 2)
            os.close(salvo)
        erro.seek(0)
        mensagens = erro.read().decode("utf-8", "replace")
    with open("trabalho.bin", "rb") as f:
        return f.read(), mensagens


class ReferenciaMarcacao(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.doc = {l[0]: l for l in tabela_markdown("marcacao.md", "Tag")}

    def test_tags_tipos_e_regras_como_na_tabela_de_tags(self):
        with open(os.path.join(FONTES, "src", "text", "Tags.cpp"), encoding="utf-8") as f:
            fonte = f.read()
        fonte_tabela = {}
        padrao = (r'\b(sw|ct|nm)\(\s*"([^"]+)"\s*,\s*'
                  r'(qualquer\(\)|literal|(tamanho|digitos|numero)\(\s*(\d+)\s*,\s*(\w+)\s*\))?')
        for tipo, nome, regra, funcao, minimo, maximo in re.findall(padrao, fonte):
            if tipo == "sw":
                fonte_tabela[nome] = ("chave", "—")
            elif regra == "literal":
                fonte_tabela[nome] = ("literal", "qualquer")
            elif regra == "qualquer()":
                fonte_tabela[nome] = ("conteúdo", "qualquer")
            else:
                faixa = f"{minimo}..{'' if maximo == 'kIlimitado' else maximo}"
                texto = {"tamanho": f"{faixa} bytes", "digitos": f"dígitos, {faixa}", "numero": f"número {faixa}"}
                fonte_tabela[nome] = ("numérica" if tipo == "nm" else "conteúdo", texto[funcao])
        self.assertGreaterEqual(len(fonte_tabela), 33)
        self.assertEqual(fonte_tabela, {n: (l[1], l[2]) for n, l in self.doc.items()})

    def test_toda_tag_documentada_e_reconhecida(self):
        bytes_trabalho, _ = imprimir_em_trabalho(b"<zz>")
        self.assertIn(b"<zz>", bytes_trabalho, "controle: o que não é tag sai como texto")
        for nome in self.doc:
            with self.subTest(tag=nome):
                bytes_trabalho, _ = imprimir_em_trabalho(f"<{nome}>".encode())
                self.assertNotIn(f"<{nome}>".encode(), bytes_trabalho)

    def test_regras_de_conteudo_aplicadas_pela_biblioteca(self):
        for nome, (_, tipo, regra, _) in self.doc.items():
            casos = []  # (content, expected message fragment or None)
            m = re.fullmatch(r"(dígitos, |número )?(\d+)\.\.(\d*)( bytes)?", regra)
            if regra == "qualquer":
                casos.append(("A" * 300, None))
            elif m:
                minimo, maximo = int(m.group(2)), int(m.group(3)) if m.group(3) else None
                numero = m.group(1) == "número "
                digito = "1" if m.group(1) else "A"
                if numero:
                    casos.append((str(maximo), None))
                    casos.append((str(maximo + 1), f"Valor acima do máximo ({maximo})"))
                    if minimo > 0:
                        casos.append((str(minimo - 1), f"Valor abaixo do mínimo ({minimo})"))
                else:
                    casos.append((digito * minimo, None))
                    if maximo is not None:
                        casos.append((digito * (maximo + 1), f"Excede a extensão máxima suportada ({maximo} bytes)"))
                    if minimo > 1:
                        casos.append((digito * (minimo - 1), f"Não possue a extensão mínima requerida ({minimo} bytes)"))
                    if minimo == 1:
                        casos.append(("", "Conteúdo vazio"))
                    if m.group(1) == "dígitos, ":
                        casos.append(("1" * (minimo - 1) + "x", "Caracter não numérico"))
            elif tipo != "chave":
                self.fail(f"regra não reconhecida: {nome}: {regra}")
            for conteudo, mensagem in casos:
                with self.subTest(tag=nome, conteudo=conteudo[:20]):
                    _, erros = imprimir_em_trabalho(f"<{nome}>{conteudo}</{nome}>".encode())
                    if mensagem is None:
                        for regra_violada in ("extensão", "Valor ", "não numérico", "Conteúdo vazio"):
                            self.assertNotIn(regra_violada, erros)
                    else:
                        self.assertIn(mensagem, erros)


class Ligacoes(unittest.TestCase):
    def test_ligacoes_entre_documentos_apontam_para_arquivos_que_existem(self):
        for arquivo in sorted(os.listdir(DOCS)) + ["../README.md"]:
            if not arquivo.endswith(".md"):
                continue
            with open(os.path.join(DOCS, arquivo), encoding="utf-8") as f:
                texto = f.read()
            for alvo in re.findall(r"\]\(([^)#:]+)(?:#[^)]*)?\)", texto):
                with self.subTest(arquivo=arquivo, alvo=alvo):
                    base = os.path.dirname(os.path.join(DOCS, arquivo))
                    self.assertTrue(os.path.exists(os.path.join(base, alvo)))


if __name__ == "__main__":
    unittest.main()
