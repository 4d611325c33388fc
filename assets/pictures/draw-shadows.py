#!/usr/bin/env python3
"""Draws the soft frame textures of the quote show.

shadow5.png (32-bit with an alpha channel): the shadow's strength, nearly full inside the
square 0.2..0.8 and fading to nothing towards the border, so that the nine parts cut at 0.2
and 0.8 make a soft frame around a picture and the whole texture a soft backdrop behind a
caption. The strength is its grey level and the alpha channel is opaque: the platform's
picture loaders draw through GDI and keep at most a mask of partial alpha (Wine drops
everything below half), while grey levels come through exactly. The program turns the grey
into alpha and draws the shadow black.
shadow7.png (no alpha, for 16-bit textures): the same strength as brightness, for the
colour blending the 16-bit path uses (white darkens most).

Usage: draw-shadows.py OUT_FOLDER   (ImageMagick's convert on the PATH)
"""
import os
import subprocess
import sys
import tempfile

SIZE = 128
INNER_LOW, INNER_HIGH = 0.2, 0.8
PEAK = 0.82


def strength(x, y):
    """0..PEAK: full inside the inner square, a smooth fall-off to 0 at the border."""
    def outside(t):
        if t < INNER_LOW:
            return (INNER_LOW - t) / INNER_LOW
        if t > INNER_HIGH:
            return (t - INNER_HIGH) / (1.0 - INNER_HIGH)
        return 0.0
    dx, dy = outside(x), outside(y)
    d = min(1.0, (dx * dx + dy * dy) ** 0.5)
    s = 1.0 - d
    return PEAK * s * s * (3.0 - 2.0 * s)


def main():
    out = sys.argv[1]
    rgba, rgb = bytearray(), bytearray()
    for j in range(SIZE):
        for i in range(SIZE):
            a = strength((i + 0.5) / SIZE, (j + 0.5) / SIZE)
            v = round(a * 255)
            rgba += bytes((v, v, v, 255))
            rgb += bytes((v, v, v))
    with tempfile.TemporaryDirectory() as work:
        pam = os.path.join(work, "s5.pam")
        with open(pam, "wb") as f:
            f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (SIZE, SIZE))
            f.write(rgba)
        ppm = os.path.join(work, "s7.ppm")
        with open(ppm, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (SIZE, SIZE))
            f.write(rgb)
        subprocess.run(["convert", pam, "-strip", "-define", "png:color-type=6",
                        os.path.join(out, "shadow5.png")], check=True)
        subprocess.run(["convert", ppm, "-strip", "-define", "png:color-type=2",
                        os.path.join(out, "shadow7.png")], check=True)


if __name__ == "__main__":
    main()
