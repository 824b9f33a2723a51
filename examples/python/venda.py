#!/usr/bin/env python3
"""A sale printed through the rx457 package (pip install ./python).

    python3 venda.py                  # prints on the printer of CONVERSOR.ini (current directory)
    python3 venda.py --previa v.bmp   # no printer: the receipt is rendered into a BMP file
"""

import argparse
import sys

from rx457 import CodigoBarras, ErroRX457, Impressora

ITENS = [("Pão francês", 2, 0.80), ("Café com leite", 1, 6.50), ("Pão de queijo", 3, 2.50)]


def moeda(valor):
    return f"{valor:,.2f}".replace(",", "X").replace(".", ",").replace("X", ".")


def main():
    argumentos = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    argumentos.add_argument("--previa", metavar="ARQUIVO.bmp", help="desenha o recibo neste BMP em vez de imprimir")
    opcoes = argumentos.parse_args()

    impressora = Impressora()
    try:
        if opcoes.previa:
            impressora.iniciar_trabalho()
        else:
            info = impressora.detectar()
            print(f"Impressora {info.nome_modelo} (firmware {info.versao_firmware}) em {info.porta}")

        impressora.imprimir_texto("<ce><e><b>PADARIA BOA MASSA</b></e>\nRua das Flores, 123 - São Paulo</ce><tc>-</tc>")
        total = 0.0
        for nome, quantidade, preco in ITENS:
            valor = quantidade * preco
            total += valor
            impressora.imprimir_texto(f"{quantidade} x {nome:<24}R$ {moeda(valor):>7}\n")
        impressora.imprimir_texto(f"<tc>-</tc><b>{'TOTAL':<28}R$ {moeda(total):>7}</b>\n")
        impressora.alinhar(Impressora.CENTRO)
        impressora.codigo_barras(CodigoBarras.CODE128, "VENDA-2026-0001", altura=50)
        impressora.qrcode("https://exemplo.com.br/recibo/2026-0001", tamanho_modulo=5)
        impressora.alinhar(Impressora.ESQUERDA)
        impressora.imprimir_texto("<ce>Obrigado pela preferência!</ce>\n<sl>3</sl>")
        impressora.cortar()

        if opcoes.previa:
            impressora.salvar_trabalho_como_imagem(opcoes.previa)
            impressora.cancelar_trabalho()
            print(f"Recibo desenhado em {opcoes.previa}")
        elif not impressora.esperar_termino():
            print("a impressora não confirmou o fim da impressão", file=sys.stderr)
            return 1
        else:
            print("Venda impressa.")
    except ErroRX457 as erro:
        print(erro, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
