#!/usr/bin/env python3
"""Generates the printer's built-in bitmap fonts and code-page conversion tables.

Reads the public-domain misc-fixed bitmap fonts (PCF files converted with pcf2bdf, or BDF files
given directly) and writes src/printer/fonts/FontesGeradas.{h,cpp} plus the fonts' licence text.
Running it twice on the same inputs produces identical files. See README.md next to this script.
"""

import argparse
import codecs
import gzip
import os
import subprocess
import sys
import tempfile

GLYPHS = 384

# Glyphs 128..159: the characters WPC1252 has at 0x80..0x9F, so that text in that page also prints
# with no conversion. The five bytes WPC1252 leaves undefined hold the shades and the square used by
# the DOS pages (so font 4, which stops at glyph 282, still has all of PC850) and the replacement
# character used as the visible substitute for bytes that have no character.
C1_SPARE = {0x81: 0x2591, 0x8D: 0x2592, 0x8F: 0x2593, 0x90: 0x25A0, 0x9D: 0xFFFD}
SUBSTITUTE = 0xFFFD

# Glyphs 256..: characters of the DOS code pages that Latin-1 lacks. The first 27 (up to 282) are
# the ones PC850 needs, because font 4 only has 283 glyphs.
EXTRA = (
    "ı‗"
    "─│┌┐└┘├┤┬┴┼"
    "═║╔╗╚╝╠╣╦╩╬"
    "▀▄█"
    # glyph 283 onwards: the rest of PC437 / PC860
    "₧⌐ΓΘΣΦΩαδεπστφ"
    "ⁿ∙√∞∩≈≡≤≥⌠⌡"
    "╒╓╕╖╘╙╛╜╞╟╡╢╤╥╧╨╪╫"
    "▌▐"
)

# (n of ESC t n, encoder code-page key, Python codec, C++ name)
CODE_PAGES = [
    (0, 0, "cp437", "PC437"),
    (2, 1, "cp850", "PC850"),
    (3, 2, "cp860", "PC860"),
    (16, 6, "cp1252", "WPC1252"),
    (255, 24, "cp858", "PC858"),
]

# Glyph sets: (C++ name, BDF source, advance, cell height, ascent, glyph count)
GLYPH_SETS = [
    ("F9x21", "9x18", 9, 21, 18, 384),
    ("F10x23", "10x20", 10, 23, 20, 384),
    ("F12x23", "10x20", 12, 23, 19, 283),
    ("F10x24", "10x20", 10, 24, 20, 384),
]

# Descriptor index -> (name, glyph set)
DESCRIPTORS = [
    ("Font", "F9x21"),
    ("Font", "F9x21"),
    ("Fonte A-10", "F10x23"),
    ("Fonte A-10", "F10x23"),
    ("FontA", "F12x23"),
    ("Font D", "F10x24"),
    ("Font E", "F10x24"),
    ("FontC", "F10x24"),
]

SOURCES = ["9x18", "10x20"]


def glyph_unicode_map():
    """Unicode code point of every glyph (0 = blank)."""
    m = [0] * GLYPHS
    for c in range(0x20, 0x7F):
        m[c] = c
    for c in range(0xA0, 0x100):
        m[c] = c
    for b in range(0x80, 0xA0):
        if b in C1_SPARE:
            m[b] = C1_SPARE[b]
        else:
            m[b] = ord(bytes([b]).decode("cp1252"))
    for i, ch in enumerate(EXTRA):
        m[256 + i] = ord(ch)
    assert 256 + len(EXTRA) <= GLYPHS
    assert len(set(u for u in m if u)) == len([u for u in m if u]), "duplicate glyph"
    return m


class BdfFont:
    def __init__(self, path):
        self.glyphs = {}
        self.ascent = self.descent = None
        self.width = None
        self.copyright = ""
        with open(path, encoding="latin-1") as f:
            lines = f.read().split("\n")
        i = 0
        enc = dwidth = bbx = None
        while i < len(lines):
            parts = lines[i].split()
            key = parts[0] if parts else ""
            if key == "FONT_ASCENT":
                self.ascent = int(parts[1])
            elif key == "FONT_DESCENT":
                self.descent = int(parts[1])
            elif key == "FONTBOUNDINGBOX":
                self.width = int(parts[1])
            elif key == "COPYRIGHT":
                self.copyright = lines[i].split(" ", 1)[1].strip('"')
            elif key == "ENCODING":
                enc = int(parts[1])
            elif key == "DWIDTH":
                dwidth = int(parts[1])
            elif key == "BBX":
                bbx = tuple(int(p) for p in parts[1:5])
            elif key == "BITMAP":
                rows = []
                i += 1
                while lines[i].strip() != "ENDCHAR":
                    rows.append(int(lines[i].strip(), 16))
                    i += 1
                w, h, x, y = bbx
                nbits = (w + 7) // 8 * 8
                pixels = set()
                for r, v in enumerate(rows):
                    for c in range(w):
                        if v >> (nbits - 1 - c) & 1:
                            pixels.add((x + c, y + h - 1 - r))
                self.glyphs[enc] = (dwidth, pixels)
                enc = dwidth = bbx = None
            i += 1
        if None in (self.ascent, self.descent, self.width):
            raise ValueError(f"{path}: missing font metrics")


def is_connecting(u):
    # Box drawing, blocks and the integral pieces touch the cell edges so that they join up with
    # their neighbours; they are stretched to the whole cell instead of being placed as letters.
    return 0x2500 <= u <= 0x259F or u in (0x2320, 0x2321)


def periodic_extension(seq, count):
    """Continues seq (the edge first) outward by count items, repeating its shortest period."""
    period = 1
    for p in range(1, 5):
        if len(seq) >= 4 + p and all(seq[i] == seq[i + p] for i in range(4)):
            period = p
            break
    # Position -j outside the edge repeats position (-j mod period) inside.
    return [seq[(-j) % period] for j in range(1, count + 1)]


def place_connecting(font, pixels, adv, height):
    sw, sh = font.width, font.ascent + font.descent
    # Source cell as rows (top first) of column lists.
    rows = [[(x, font.ascent - 1 - r) in pixels for x in range(sw)] for r in range(sh)]
    left = (adv - sw) // 2
    right = adv - sw - left
    if left < 0 or right < 0:
        raise ValueError("source font wider than the cell")
    rows = [list(reversed(periodic_extension(row, left))) + row +
            periodic_extension(list(reversed(row)), right) for row in rows]
    top = (height - sh) // 2
    bottom = height - sh - top
    if top < 0:
        rows = rows[-top:]
        top = 0
    if bottom < 0:
        rows = rows[:bottom]
        bottom = 0
    rows = list(reversed(periodic_extension(rows, top))) + rows + \
        periodic_extension(list(reversed(rows)), bottom)
    assert len(rows) == height and all(len(r) == adv for r in rows)
    return rows


def squeeze(rows, region, excess, inward):
    """Removes excess rows from region (list of row indexes, outermost first) of rows (top first);
    inward is -1 when the glyph's body lies above the region, +1 when below.

    A row equal to its neighbour towards the glyph's body is removed first, so strokes only get
    shorter; otherwise the row nearest the body goes, which keeps the outer shape (the hook of a
    descender, the dot of an accent) intact."""
    for _ in range(excess):
        region = [r for r in region if r < len(rows)]
        victim = None
        for r in region:
            inner = r + inward
            if 0 <= inner < len(rows) and rows[inner] == rows[r]:
                victim = r
                break
        if victim is None:
            victim = region[-1]
        del rows[victim]
        region = [r - 1 if r > victim else r for r in region if r != victim]
    return rows


def place_letter(font, pixels, adv, height, ascent, what):
    if not pixels:
        return None
    left = (adv - font.width) // 2
    ys = [y for _, y in pixels]
    ymax, ymin = max(ys), min(ys)
    xs = [x + left for x, _ in pixels]
    if min(xs) < 0 or max(xs) >= adv:
        raise ValueError(f"{what}: glyph wider than the cell")
    # Rows top first from ymax down to ymin; their cell row is ascent - 1 - y.
    rows = [[(x - left, y) in pixels for x in range(adv)] for y in range(ymax, ymin - 1, -1)]
    top = ascent - 1 - ymax
    below = (ascent - 1 - ymin) - (height - 1)
    if below > 0:
        # Descender deeper than the cell: shorten it (rows under the baseline, lowest first).
        region = [i for i, y in enumerate(range(ymax, ymin - 1, -1)) if y < 0]
        rows = squeeze(rows, list(reversed(region)), below, -1)
    if top < 0:
        # Taller than the cell above the baseline: shorten the part above the cap height.
        n = len(rows)
        region = [i for i in range(n) if ymax - i >= font.ascent - 3]
        rows = squeeze(rows, region, -top, +1)
        top = 0
    if top + len(rows) > height:
        raise ValueError(f"{what}: does not fit")
    return trim(rows, top)


def trim(rows, top):
    while rows and not any(rows[0]):
        rows = rows[1:]
        top += 1
    while rows and not any(rows[-1]):
        rows = rows[:-1]
    if not rows:
        return None
    return top, rows


def encode_rows(rows, adv):
    nbytes = (adv + 7) // 8
    out = []
    for row in rows:
        v = sum(1 << c for c, on in enumerate(row) if on)
        out.extend((v >> (8 * k)) & 0xFF for k in range(nbytes))
    return out


def build_glyph_set(font, adv, height, ascent, count, umap):
    entries = []
    for g in range(GLYPHS):
        u = umap[g]
        placed = None
        if g < count and u and u != 0x20 and u != 0xA0:
            if u not in font.glyphs:
                raise ValueError(f"source font lacks U+{u:04X}")
            pixels = font.glyphs[u][1]
            if is_connecting(u):
                placed = trim(place_connecting(font, pixels, adv, height), 0)
            else:
                placed = place_letter(font, pixels, adv, height, ascent, f"U+{u:04X}")
        entries.append(placed)
    return entries


def char_comment(u):
    if not u:
        return ""
    ch = chr(u)
    if ch in "\\" or u < 0x20:
        return f" U+{u:04X}"
    return f" U+{u:04X} {ch}"


def conversion_table(codec, umap):
    index = {u: g for g, u in enumerate(umap) if u and g >= 128}
    # The Latin-1 characters have their own code as glyph; below 128 they never occur in a table.
    table = []
    missing = []
    for b in range(0x80, 0x100):
        try:
            u = ord(bytes([b]).decode(codec))
        except UnicodeDecodeError:
            u = None
        g = index.get(u) if u is not None else None
        if g is None:
            missing.append((b, u))
            g = index[SUBSTITUTE]
        table.append(g - 128)
    return table, missing


def generate(fonts, out_dir, licence_src, source_names):
    umap = glyph_unicode_map()
    h = []
    h.append("// Generated by tools/fontgen/fontgen.py; do not edit. See tools/fontgen/README.md.")
    h.append("#pragma once")
    h.append("")
    h.append('#include "printer/fonts/Fontes.h"')
    h.append("")
    h.append("namespace Ordal::Printer::FontesGeradas {")
    h.append("")
    h.append("extern const DescritorFonte kDescritores[kNumeroDescritoresFonte];")
    h.append(f"extern const ConversaoPaginaCodigo kConversoes[{len(CODE_PAGES)}];")
    h.append("inline constexpr int kNumeroConversoes = %d;" % len(CODE_PAGES))
    h.append("// Unicode character shown by each glyph (0 = blank).")
    h.append("extern const uint32_t kUnicodeDosGlifos[kGlifosPorFonte];")
    h.append("")
    h.append("}  // namespace Ordal::Printer::FontesGeradas")
    h.append("")

    c = []
    c.append("// Generated by tools/fontgen/fontgen.py; do not edit. See tools/fontgen/README.md.")
    c.append("// Glyph shapes from the public-domain misc-fixed fonts " +
             ", ".join(source_names) + " (see LICENSE-fonts.txt).")
    c.append('#include "printer/fonts/FontesGeradas.h"')
    c.append("")
    c.append("namespace Ordal::Printer::FontesGeradas {")
    c.append("namespace {")
    c.append("")
    for name, src, adv, height, ascent, count in GLYPH_SETS:
        entries = build_glyph_set(fonts[src], adv, height, ascent, count, umap)
        c.append(f"// {adv} x {height} cell, baseline {ascent} rows from the top, from {src}.")
        c.append(f"const uint8_t kPontos{name}[] = {{")
        offsets = []
        pos = 0
        for g, e in enumerate(entries):
            if e is None:
                offsets.append(None)
                continue
            top, rows = e
            data = encode_rows(rows, adv)
            offsets.append(pos)
            pos += len(data)
            c.append(f"    // {g}{char_comment(umap[g])}")
            line = "   "
            for v in data:
                item = f" 0x{v:02X},"
                if len(line) + len(item) > 100:
                    c.append(line)
                    line = "   "
                line += item
            c.append(line)
        c.append("};")
        c.append("")
        c.append(f"const GlifoFonte kGlifos{name}[kGlifosPorFonte] = {{")
        for g, e in enumerate(entries):
            if e is None:
                c.append(f"    {{{adv}, 0, 0, nullptr}},  // {g}{char_comment(umap[g] if g < count else 0)}")
            else:
                top, rows = e
                c.append(f"    {{{adv}, {len(rows)}, {top}, kPontos{name} + {offsets[g]}}},"
                         f"  // {g}{char_comment(umap[g])}")
        c.append("};")
        c.append("")
    missing_all = {}
    for n, key, codec, cname in CODE_PAGES:
        table, missing = conversion_table(codec, umap)
        missing_all[cname] = missing
        c.append(f"// {cname}: byte 0x80 + i shows glyph 128 + kTabela{cname}[i].")
        c.append(f"const uint8_t kTabela{cname}[128] = {{")
        for i in range(0, 128, 16):
            c.append("    " + " ".join(f"{v:3d}," for v in table[i:i + 16]) + f"  // 0x{0x80 + i:02X}")
        c.append("};")
        c.append("")
    c.append("}  // namespace")
    c.append("")
    c.append("const DescritorFonte kDescritores[kNumeroDescritoresFonte] = {")
    sets = {s[0]: s for s in GLYPH_SETS}
    for name, setname in DESCRIPTORS:
        _, _, adv, height, ascent, count = sets[setname]
        c.append(f'    {{"{name}", {adv}, {height}, {ascent}, {count}, 0, kGlifos{setname}}},')
    c.append("};")
    c.append("")
    c.append(f"const ConversaoPaginaCodigo kConversoes[{len(CODE_PAGES)}] = {{")
    for n, key, codec, cname in CODE_PAGES:
        c.append(f"    {{{n}, {key}, kTabela{cname}}},")
    c.append("};")
    c.append("")
    c.append("const uint32_t kUnicodeDosGlifos[kGlifosPorFonte] = {")
    for i in range(0, GLYPHS, 8):
        c.append("    " + " ".join(f"0x{u:04X}," for u in umap[i:i + 8]) + f"  // {i}")
    c.append("};")
    c.append("")
    c.append("}  // namespace Ordal::Printer::FontesGeradas")
    c.append("")

    os.makedirs(out_dir, exist_ok=True)
    write(os.path.join(out_dir, "FontesGeradas.h"), "\n".join(h))
    write(os.path.join(out_dir, "FontesGeradas.cpp"), "\n".join(c))
    if licence_src:
        with open(licence_src, encoding="utf-8") as f:
            text = f.read()
        head = ("The glyph shapes in FontesGeradas.cpp are derived from the misc-fixed bitmap fonts\n"
                + ", ".join(source_names) + " (font-misc-misc, " +
                "\"Public domain font.  Share and enjoy.\"),\nas packaged by Debian in xfonts-base. "
                "The package's copyright file follows.\n\n")
        write(os.path.join(out_dir, "LICENSE-fonts.txt"), head + text)
    return missing_all


def write(path, text):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def load_fonts(args, tmp):
    fonts = {}
    for name in SOURCES:
        if args.bdf_dir:
            path = os.path.join(args.bdf_dir, name + ".bdf")
        else:
            pcf = os.path.join(args.pcf_dir, name + ".pcf.gz")
            raw = os.path.join(tmp, name + ".pcf")
            with gzip.open(pcf) as src, open(raw, "wb") as dst:
                dst.write(src.read())
            path = os.path.join(tmp, name + ".bdf")
            subprocess.run([args.pcf2bdf, "-o", path, raw], check=True)
        fonts[name] = BdfFont(path)
    return fonts


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--out", default=os.path.join(here, "..", "..", "src", "printer", "fonts"),
                    help="output folder (default: src/printer/fonts of this tree)")
    ap.add_argument("--pcf-dir", default="/usr/share/fonts/X11/misc",
                    help="folder with 9x18.pcf.gz and 10x20.pcf.gz")
    ap.add_argument("--bdf-dir", help="folder with 9x18.bdf and 10x20.bdf (instead of --pcf-dir)")
    ap.add_argument("--pcf2bdf", default="pcf2bdf", help="pcf2bdf program")
    ap.add_argument("--licence", default="/usr/share/doc/xfonts-base/copyright",
                    help="licence text copied to LICENSE-fonts.txt ('' to skip)")
    ap.add_argument("--report", action="store_true", help="list code-page bytes without a glyph")
    args = ap.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        fonts = load_fonts(args, tmp)
    missing = generate(fonts, args.out, args.licence or None,
                       [n + ".bdf" for n in SOURCES])
    if args.report:
        for cname, items in missing.items():
            desc = ", ".join(f"0x{b:02X}" + (f" U+{u:04X}" if u is not None else " (undefined)")
                             for b, u in items)
            print(f"{cname}: {desc or 'all characters have a glyph'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
