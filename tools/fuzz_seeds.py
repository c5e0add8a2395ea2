#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora under tests/fuzz_corpus/ from a build's generated assets.

    tools/fuzz_seeds.py build/run/Data

Seeds are kept small (a few KB), so that each fuzzing run starts from files the engine really
loads while spending its time on mutations rather than on decoding big pictures:
  texture/  crops of the generated sheets, re-encoded as PNGs in the colour types and bit
            depths a .vqtex may use, one interlaced; plus a cut-short sheet
  sound/    the short generated effects as they are, one cut after its headers, a tiny WAV
  font/     the shipped font cut down to a few glyphs (needs python3-fonttools)
  input_script/  scripts in the documented format, good and malformed
"""
import os
import struct
import sys
import zlib

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
out = os.path.join(root, "tests", "fuzz_corpus")


def write(target, name, data):
    d = os.path.join(out, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


# ---- PNG reading (8-bit RGBA or RGB, not interlaced: what the generator writes) ----------
def read_png(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, w = 8, b"", None
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and ctype in (2, 6) and interlace == 0
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    bpp = 4 if ctype == 6 else 3
    raw = zlib.decompress(idat)
    stride = w * bpp
    rows, prev = [], bytearray(stride)
    for y in range(h):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1: line[i] = (line[i] + a) & 255
            elif f == 2: line[i] = (line[i] + b) & 255
            elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line) if bpp == 4 else bytes(
            sum(([line[3 * x], line[3 * x + 1], line[3 * x + 2], 255] for x in range(w)), [])))
        prev = line
    return w, h, rows  # rows of RGBA


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def png(w, h, ctype, depth, scanlines, extra=b"", interlace=0):
    ihdr = struct.pack(">IIBBBBB", w, h, depth, ctype, 0, 0, interlace)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra +
            chunk(b"IDAT", zlib.compress(scanlines, 9)) + chunk(b"IEND", b""))


def crop(rows, x0, y0, w, h, step=1):
    return [rows[y0 + y * step][4 * x0:][:4 * w * step] for y in range(h)], w, h


def rgba_png(rows, w, h, step=1):
    lines = b"".join(b"\0" + bytes(r[i] for x in range(w) for i in range(4 * x * step, 4 * x * step + 4))
                     for r in rows)
    return png(w, h, 6, 8, lines)


def textures(data):
    for name, (x0, y0) in [("hookpoint.vqtex", (0, 0)), ("smog.vqtex", (8, 8)),
                           ("block.vqtex", (0, 0)), ("ring.vqtex", (16, 16))]:
        w, h, rows = read_png(os.path.join(data, name))
        cw, ch = min(24, w - x0), min(24, h - y0)
        sub = [rows[y0 + y] for y in range(ch)]
        sub = [r[4 * x0:4 * (x0 + cw)] for r in sub]
        base = name.split(".")[0]
        write("texture", base + "-rgba.vqtex", rgba_png(sub, cw, ch))
        if base == "hookpoint":
            # The same picture as RGB, grey with alpha, 16-bit RGBA, palette, 1-bit grey and
            # interlaced: the loader must take every form a PNG may have.
            rgb = b"".join(b"\0" + bytes(v for x in range(cw) for v in r[4 * x:4 * x + 3]) for r in sub)
            write("texture", base + "-rgb.vqtex", png(cw, ch, 2, 8, rgb))
            ga = b"".join(b"\0" + bytes(v for x in range(cw) for v in (r[4 * x + 1], r[4 * x + 3])) for r in sub)
            write("texture", base + "-grey-alpha.vqtex", png(cw, ch, 4, 8, ga))
            deep = b"".join(b"\0" + bytes(v for x in range(cw) for c in r[4 * x:4 * x + 4] for v in (c, c)) for r in sub)
            write("texture", base + "-rgba16.vqtex", png(cw, ch, 6, 16, deep))
            palette = bytes([0, 0, 0, 255, 255, 255, 200, 40, 40, 40, 200, 40])
            idx = b"".join(b"\0" + bytes((r[4 * x + 3] >> 6) for x in range(cw)) for r in sub)
            write("texture", base + "-palette.vqtex",
                  png(cw, ch, 3, 8, idx, chunk(b"PLTE", palette) + chunk(b"tRNS", b"\x00\xff")))
            bits = b"".join(b"\0" + bytes(sum(((r[4 * (8 * i + k) + 3] > 127) << (7 - k)
                                               for k in range(8) if 8 * i + k < cw))
                                          for i in range((cw + 7) // 8)) for r in sub)
            write("texture", base + "-grey1.vqtex", png(cw, ch, 0, 1, bits))
            # Adam7: seven passes, each a small image of its own.
            passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
            lines = b""
            for px, py, sx, sy in passes:
                xs = list(range(px, cw, sx))
                if not xs: continue
                for y in range(py, ch, sy):
                    lines += b"\0" + bytes(v for x in xs for v in sub[y][4 * x:4 * x + 4])
            write("texture", base + "-interlaced.vqtex", png(cw, ch, 6, 8, lines, interlace=1))
    whole = open(os.path.join(data, "hookpoint.vqtex"), "rb").read()
    write("texture", "hookpoint-cut.vqtex", whole[:2048])


def sounds(data):
    for name in ["attack00.ogg", "hit_p13_a.ogg", "arrow01.ogg"]:
        blob = open(os.path.join(data, name), "rb").read()
        write("sound", name, blob)
    write("sound", "attack00-headers-only.ogg", open(os.path.join(data, "attack00.ogg"), "rb").read()[:3500])
    pcm = b"".join(struct.pack("<hh", (i * 997) % 20000 - 10000, (i * 641) % 20000 - 10000) for i in range(400))
    wav = (b"RIFF" + struct.pack("<I", 36 + len(pcm)) + b"WAVEfmt " +
           struct.pack("<IHHIIHH", 16, 1, 2, 22050, 22050 * 4, 4, 16) + b"data" + struct.pack("<I", len(pcm)) + pcm)
    write("sound", "tiny.wav", wav)


def font(data):
    try:
        from fontTools import subset
        from fontTools.ttLib import TTFont
    except ImportError:
        print("fontTools missing (python3-fonttools): font seeds left as they are", file=sys.stderr)
        return
    for text, name in [("Ag0", "dejavu-ag0.ttf"), ("ProgramGraphicsSound: 1.0!", "dejavu-credits.ttf")]:
        f = TTFont(os.path.join(data, "font.ttf"))
        options = subset.Options()
        options.hinting = name.endswith("ag0.ttf")
        options.layout_features = []
        options.name_IDs = [1, 2]
        s = subset.Subsetter(options)
        s.populate(text=text)
        s.subset(f)
        path = os.path.join(out, "font", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        f.save(path)


def scripts():
    write("input_script", "game.txt",
          b"# choose Normal, shoot, reel, jump, pause\n1 mouse 800 430\n10 down left\n12 up left\n"
          b"120 mouse 1400 200\n121 down left\n130 down right\n150 up right\n151 up left\n"
          b"160 down middle\n161 up middle\n200 down pad3\n202 up pad3\n260 quit\n")
    write("input_script", "pads.txt", b"5 down pad0\n5 down pad15\r\n6 up pad0\t# tabs and CR\n7 mouse -1.5e3 9e2\n")
    write("input_script", "bad-button.txt", b"1 down pad16\n")
    write("input_script", "bad-number.txt", b"3 mouse 10 nan\n")
    write("input_script", "empty-lines.txt", b"\n\n   \n# only comments\n")


if __name__ == "__main__":
    data = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build", "run", "Data")
    textures(data)
    sounds(data)
    font(data)
    scripts()
