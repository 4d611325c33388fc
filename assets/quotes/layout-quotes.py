#!/usr/bin/env python3
"""Lays out the quotations with the shipped caption font and packs quotes.bdl.

The program draws a caption with the platform's text drawing: the font at a cell height of
24 pixels, bold, centred and word-wrapped in a 512 x 256 surface, with a 2-pixel drop
shadow. This tool measures every text with the same font file (advance widths at that
size, as the rasteriser rounds them), breaks it into lines no wider than MAX_LINE, far
inside the 510 pixels the program wraps at, so that the program lays out exactly these
lines, and writes the breaks into the text. From the measured box it derives the entry's
header: the text quad in world units (one scale for every caption, so none is stretched),
the empty bottom of the caption texture, the backdrop, and the text's horizontal place
right of its picture, checked to stay on screen on 4 : 3 and 16 : 10 screens over the
text's whole move towards the viewer.

Usage: layout-quotes.py FONT.TTF FAMILY QUOTES.txt DIMS_FOLDER BDLPACK OUT_FOLDER
"""
import glob
import os
import struct
import subprocess
import sys

from fontTools.ttLib import TTFont

CELL_HEIGHT = 24          # CreateFont height: the cell (ascent + descent)
SURFACE_W, SURFACE_H = 512, 256
SHADOW = 2
MAX_LINE = 300            # pixels; the program wraps at 510
MAX_LINES = 4
LINE_SLACK = 2            # pixels per line for the rasteriser's rounding of ascent and descent
PAD_X, PAD_Y = 55, 24     # backdrop beyond the text box, each side, in pixels: room for
                          # the script's swashes and the backdrop's soft edge
SCALE = 0.0041            # world units per caption pixel: about one screen pixel at 1024 x 768
PICTURE_X, FRAME = -1.2, 0.35
START_Z, END_Z = 3.0, 2.5
HALF_FOV_X = 0.77         # half the near plane's width over its distance: the same on 4:3 and 16:10
HALF_FOV_Y_WIDE = 0.48125  # 16:10: height / width x 0.77
MARGIN = 0.05
ENCODING = "cp1252"


def words_width(font, text):
    """Width in pixels: each advance scaled to the pixel size and rounded, as the rasteriser does."""
    upem = font["head"].unitsPerEm
    os2 = font["OS/2"]
    ppem = CELL_HEIGHT * upem / (os2.usWinAscent + os2.usWinDescent)
    cmap = font.getBestCmap()
    hmtx = font["hmtx"]
    rounded = exact = 0.0
    for ch in text:
        glyph = cmap.get(ord(ch))
        if glyph is None:
            raise SystemExit("the caption font has no glyph for %r in %r" % (ch, text))
        advance = hmtx[glyph][0] * ppem / upem
        rounded += round(advance)
        exact += advance
    # Bold at the font's own weight: no synthetic emboldening widens it. Take the wider.
    return max(rounded, exact)


def break_lines(font, text):
    lines, line = [], ""
    for word in text.split():
        trial = word if not line else line + " " + word
        if words_width(font, trial) <= MAX_LINE:
            line = trial
        else:
            if not line:
                raise SystemExit("the word %r is wider than a caption line" % word)
            lines.append(line)
            line = word
    if line:
        lines.append(line)
    return lines


def picture_extent(dims_folder, name):
    path = os.path.join(dims_folder, name + ".dims")
    with open(path, "rb") as f:
        w, h = struct.unpack("<II", f.read(8))
    # The picture's cloth: the shorter side is 1.0 world unit.
    return (w / h, 1.0) if w >= h else (1.0, h / w)


def place_text(picture_width, backdrop_w, backdrop_h, what):
    """Text x so the backdrop stays right of the picture's frame and on screen at both depths."""
    frame_right = PICTURE_X + picture_width / 2 + FRAME
    low, high = -1e9, 1e9
    for z in (START_Z, END_Z):
        shift = (START_Z - z) * 0.5
        # Left of the backdrop right of the frame as the viewer sees it, right edge on screen.
        low = max(low, frame_right * z / START_Z + MARGIN - shift + backdrop_w / 2)
        high = min(high, HALF_FOV_X * z - MARGIN - shift - backdrop_w / 2)
        if backdrop_h / 2 > HALF_FOV_Y_WIDE * z - MARGIN:
            raise SystemExit("%s: the caption is too tall for a 16:10 screen" % what)
    if low > high:
        raise SystemExit("%s: the caption does not fit beside its picture" % what)
    return (low + high) / 2


def entry(font, family, picture, author, text, dims_folder, what):
    lines = break_lines(font, text)
    if author:
        lines.append("\u2014 " + author)
        if words_width(font, lines[-1]) > MAX_LINE:
            raise SystemExit("%s: the author's name is wider than a line" % what)
    if len(lines) > MAX_LINES:
        raise SystemExit("%s: %d lines, at most %d fit" % (what, len(lines), MAX_LINES))
    widest = max(words_width(font, line) for line in lines)
    text_px = len(lines) * (CELL_HEIGHT + LINE_SLACK) + SHADOW
    shown_px = min(SURFACE_H, text_px + 4)
    text_w, text_h = SURFACE_W * SCALE, SURFACE_H * SCALE
    used_w = 1.0  # the text is centred across the whole surface width
    empty_bottom = 1.0 - shown_px / SURFACE_H
    backdrop_w = (widest + SHADOW + 2 * PAD_X) * SCALE
    backdrop_h = (text_px + 2 * PAD_Y) * SCALE
    picture_w, picture_h = picture_extent(dims_folder, picture)
    if PICTURE_X - picture_w / 2 - FRAME < -HALF_FOV_X * START_Z or picture_h / 2 + FRAME > HALF_FOV_Y_WIDE * START_Z:
        raise SystemExit("%s: the picture %s does not fit on screen" % (what, picture))
    text_x = place_text(picture_w, backdrop_w, backdrop_h, what)
    header = struct.pack("<iIIII9f", -30, 512, 512, 8000, 0xFFFFFF, text_w, text_h, used_w, empty_bottom, text_x,
                         backdrop_w / 2, backdrop_h / 2, backdrop_w, backdrop_h)
    caption = "\r\n".join(lines)
    return header + picture.encode("ascii") + b"\0" + caption.encode(ENCODING) + b"\0"


def main():
    font_path, family, quotes_path, dims_folder, bdlpack, out = sys.argv[1:7]
    font = TTFont(font_path)
    declared = {r.toUnicode() for r in font["name"].names if r.nameID == 1}
    if family not in declared:
        raise SystemExit("the caption font declares %s, not %r" % (sorted(declared), family))
    pictures = {os.path.basename(p)[:-5] for p in glob.glob(os.path.join(dims_folder, "*.dims"))}
    work = os.path.join(out, "quotes")
    os.makedirs(work, exist_ok=True)
    args = [bdlpack, "pack", os.path.join(out, "quotes.bdl"), "-c", "quotes"]
    count = 0
    with open(quotes_path, encoding="utf-8") as f:
        for number, line in enumerate(f, start=1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            picture, author, text = line.split("|", 2)
            what = "%s:%d" % (os.path.basename(quotes_path), number)
            if picture not in pictures:
                raise SystemExit("%s: no picture named %s" % (what, picture))
            count += 1
            name = "quote%02d" % count
            path = os.path.join(work, name)
            with open(path, "wb") as blob:
                blob.write(entry(font, family, picture, author, text, dims_folder, what))
            args.append("%s=%s" % (name, path))
    if count < 40:
        raise SystemExit("only %d quotations" % count)
    subprocess.run(args, check=True)


if __name__ == "__main__":
    main()
