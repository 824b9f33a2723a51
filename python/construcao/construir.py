"""Build backend (PEP 517 and PEP 660) for the rx457 package, with the standard library only.

The package is pure Python: a wheel is a zip of rx457/ plus the .dist-info files, which is all this
writes. Keeping it here means no setuptools has to be fetched, so installing works offline."""

import base64
import hashlib
import os
import re
import tarfile
import zipfile

_RAIZ = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_PACOTE = "rx457"


def _projeto():
    with open(os.path.join(_RAIZ, "pyproject.toml"), encoding="utf-8") as f:
        texto = f.read()
    secao = texto[texto.index("[project]"):]
    def campo(nome):
        m = re.search(r'^%s\s*=\s*"([^"]*)"' % nome, secao, re.M)
        return m.group(1) if m else ""
    return campo("name"), campo("version"), campo("description"), campo("requires-python")


def _metadados():
    nome, versao, descricao, python = _projeto()
    with open(os.path.join(_RAIZ, "README.md"), encoding="utf-8") as f:
        leiame = f.read()
    return (
        "Metadata-Version: 2.1\n"
        f"Name: {nome}\nVersion: {versao}\nSummary: {descricao}\n"
        "License: MIT\n"
        f"Requires-Python: {python}\n"
        "Description-Content-Type: text/markdown\n\n" + leiame
    )


def _dist_info():
    nome, versao, _, _ = _projeto()
    return f"{nome}-{versao}.dist-info"


def _resumo(dados):
    digest = base64.urlsafe_b64encode(hashlib.sha256(dados).digest()).rstrip(b"=").decode()
    return f"sha256={digest},{len(dados)}"


def _escrever_wheel(pasta, arquivos):
    """arquivos: (name inside the wheel, bytes). Adds WHEEL, METADATA and RECORD."""
    nome, versao, _, _ = _projeto()
    info = _dist_info()
    arquivos = list(arquivos) + [
        (f"{info}/METADATA", _metadados().encode("utf-8")),
        (f"{info}/WHEEL", b"Wheel-Version: 1.0\nGenerator: construir\nRoot-Is-Purelib: true\nTag: py3-none-any\n"),
    ]
    # The project's licence file, when the package is built from the source tree.
    licenca = os.path.join(_RAIZ, "..", "LICENSE")
    if os.path.isfile(licenca):
        with open(licenca, "rb") as f:
            arquivos.append((f"{info}/LICENSE", f.read()))
    registro = "".join(f"{n},{_resumo(d)}\n" for n, d in arquivos) + f"{info}/RECORD,,\n"
    arquivos.append((f"{info}/RECORD", registro.encode("utf-8")))
    nome_wheel = f"{nome}-{versao}-py3-none-any.whl"
    with zipfile.ZipFile(os.path.join(pasta, nome_wheel), "w", zipfile.ZIP_DEFLATED) as z:
        for n, d in arquivos:
            info_zip = zipfile.ZipInfo(n, date_time=(2020, 1, 1, 0, 0, 0))
            info_zip.external_attr = 0o644 << 16
            z.writestr(info_zip, d, zipfile.ZIP_DEFLATED)
    return nome_wheel


def _fontes():
    pasta = os.path.join(_RAIZ, _PACOTE)
    for nome in sorted(os.listdir(pasta)):
        if nome.endswith(".py"):
            with open(os.path.join(pasta, nome), "rb") as f:
                yield f"{_PACOTE}/{nome}", f.read()


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_editable(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    info = os.path.join(metadata_directory, _dist_info())
    os.makedirs(info, exist_ok=True)
    with open(os.path.join(info, "METADATA"), "w", encoding="utf-8") as f:
        f.write(_metadados())
    return _dist_info()


prepare_metadata_for_build_editable = prepare_metadata_for_build_wheel


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    return _escrever_wheel(wheel_directory, _fontes())


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    # The package stays where it is; a .pth line puts this folder on the path.
    return _escrever_wheel(wheel_directory, [(f"{_PACOTE}.pth", (_RAIZ + "\n").encode("utf-8"))])


def build_sdist(sdist_directory, config_settings=None):
    nome, versao, _, _ = _projeto()
    base = f"{nome}-{versao}"
    arquivo = f"{base}.tar.gz"
    with tarfile.open(os.path.join(sdist_directory, arquivo), "w:gz") as tar:
        for relativo in ["pyproject.toml", "README.md", "construcao/construir.py"] + [n for n, _ in _fontes()]:
            tar.add(os.path.join(_RAIZ, relativo), arcname=f"{base}/{relativo}")
    return arquivo
