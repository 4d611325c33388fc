#!/usr/bin/env python3
"""Draws the quote show's pictures and packs them with their layout records.

Eight small landscapes (sunset over the sea, misty mountains, a starry night, a summer
meadow, desert dunes, a pine forest in the mist, northern lights, a mirror lake at dawn),
painted from gradients, value-noise ridges and a fixed random seed, so every build makes
the same files. Landscape pictures are 4 : 3, portrait ones 3 : 4; each is stored as a
256 x 256 JPEG (a power-of-two texture on every device) and its "dims" record gives the
proportions the show restores.

Usage: draw-pictures.py BDLPACK OUT_FOLDER   (writes OUT_FOLDER/images.bdl; ImageMagick's
convert on the PATH)
"""
import math
import os
import random
import struct
import subprocess
import sys

TEXTURE = 256
QUALITY = 90


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(lerp(a, b, t) for a, b in zip(c1, c2))


def smooth(t):
    t = max(0.0, min(1.0, t))
    return t * t * (3 - 2 * t)


def hexc(h):
    return tuple(int(h[i:i + 2], 16) for i in (1, 3, 5))


def gradient(stops, t):
    """Colour at t (0..1) along [(position, colour), ...]."""
    for (p1, c1), (p2, c2) in zip(stops, stops[1:]):
        if t <= p2:
            return mix(c1, c2, (t - p1) / (p2 - p1) if p2 > p1 else 0)
    return stops[-1][1]


class Noise1D:
    """Smooth value noise in octaves: ridge lines of hills and mountains."""

    def __init__(self, rng, points=64):
        self.values = [[rng.random() for _ in range(points + 1)] for _ in range(6)]
        self.points = points

    def __call__(self, x, octaves=4, base=2.0):
        total, amp, freq, norm = 0.0, 1.0, base, 0.0
        for o in range(octaves):
            v = self.values[o]
            f = (x * freq) % self.points
            i = int(f)
            t = smooth(f - i)
            total += amp * lerp(v[i], v[i + 1], t)
            norm += amp
            amp *= 0.5
            freq *= 2.0
        return total / norm


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def paint(self, fn):
        """fn(x, y, u, v, colour) -> new colour; u, v in 0..1, v = 0 at the top."""
        for y in range(self.h):
            v = (y + 0.5) / self.h
            for x in range(self.w):
                u = (x + 0.5) / self.w
                i = y * self.w + x
                self.px[i] = fn(x, y, u, v, self.px[i])

    def ridge(self, height_at, colour_at, soft=1.0):
        """Fills below a ridge line y = height_at(u) (in 0..1 from the top), antialiased."""
        for x in range(self.w):
            u = (x + 0.5) / self.w
            top = height_at(u) * self.h
            for y in range(max(0, int(top) - 2), self.h):
                cover = smooth((y + 0.5 - top) / soft + 0.5)
                if cover <= 0:
                    continue
                i = y * self.w + x
                self.px[i] = mix(self.px[i], colour_at(u, (y + 0.5) / self.h), cover)

    def disc(self, cx, cy, r, colour, glow=0.0, glow_colour=None):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                i = y * self.w + x
                if glow > 0 and d > r:
                    g = math.exp(-((d - r) / glow) ** 2) * 0.6
                    self.px[i] = mix(self.px[i], glow_colour or colour, g)
                self.px[i] = mix(self.px[i], colour, smooth(r - d + 0.5))

    def save_ppm(self, path):
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.w, self.h))
            f.write(bytes(max(0, min(255, int(round(c)))) for p in self.px for c in p))


def sky(c, stops):
    c.paint(lambda x, y, u, v, p: gradient(stops, v))


def sunset(rng):
    c = Canvas(340, 256)
    sky(c, [(0, hexc("#2b1f4f")), (0.35, hexc("#a8436b")), (0.55, hexc("#f08a4b")), (0.62, hexc("#ffd08a"))])
    c.disc(220, 150, 22, hexc("#fff1c4"), glow=40, glow_colour=hexc("#ffb35c"))
    horizon = 0.62
    n = Noise1D(rng)

    def sea(x, y, u, v, p):
        if v < horizon:
            return p
        depth = (v - horizon) / (1 - horizon)
        base = mix(hexc("#c0587a"), hexc("#1d1b3a"), depth ** 0.6)
        # the sun's path on the water: broken streaks under the sun
        streak = n(u * 6 + v * 40, 3) > 0.55 - 0.2 * depth
        near_sun = math.exp(-((x - 220) / (18 + 60 * depth)) ** 2)
        return mix(base, hexc("#ffd9a0"), near_sun * (0.85 if streak else 0.25))
    c.paint(sea)
    return c


def mountains(rng):
    c = Canvas(340, 256)
    sky(c, [(0, hexc("#8fb8de")), (0.6, hexc("#e6eef5")), (1, hexc("#f4f1ea"))])
    layers = [("#9fb3c8", 0.35, 0.25), ("#7f97b2", 0.45, 0.22), ("#5d7795", 0.58, 0.2), ("#3f5674", 0.72, 0.18),
              ("#263a52", 0.86, 0.14)]
    for colour, base, amp in layers:
        n = Noise1D(rng)
        col = hexc(colour)
        c.ridge(lambda u, n=n, base=base, amp=amp: base - amp * (n(u * 1.3, 5) - 0.3),
                lambda u, v, col=col: mix(col, hexc("#e6eef5"), 0.25 * (1 - v)))
    return c


def night(rng):
    c = Canvas(340, 256)
    sky(c, [(0, hexc("#050a1f")), (0.7, hexc("#1b2d5c")), (1, hexc("#3b4f80"))])
    for _ in range(260):
        x, y = rng.randrange(340), rng.randrange(200)
        b = rng.random() ** 3
        i = y * 340 + x
        c.px[i] = mix(c.px[i], (255, 255, 240), 0.4 + 0.6 * b)
    c.disc(260, 60, 20, hexc("#fdf6d8"), glow=22, glow_colour=hexc("#5d76b0"))
    c.disc(270, 54, 18, hexc("#0b1433"))  # the dark part of the crescent
    n = Noise1D(rng)
    c.ridge(lambda u: 0.74 - 0.08 * n(u * 2, 4), lambda u, v: hexc("#0a1226"))
    n2 = Noise1D(rng)
    c.ridge(lambda u: 0.86 - 0.05 * n2(u * 3, 4), lambda u, v: hexc("#03060f"))
    return c


def meadow(rng):
    c = Canvas(340, 256)
    sky(c, [(0, hexc("#3d7fd1")), (0.55, hexc("#a9d3f5"))])
    across, down = Noise1D(rng), Noise1D(rng)

    def clouds(x, y, u, v, p):
        if v > 0.5:
            return p
        d = across(u * 2.2, 4) * down(v * 3.0 + u * 0.4, 3) * (1 - v * 1.8)
        return mix(p, (255, 255, 255), 0.9 * smooth((d - 0.22) * 7))
    c.paint(clouds)
    for colour, base, amp, scale in (("#7fb24a", 0.55, 0.08, 1.2), ("#5e9a38", 0.66, 0.07, 1.6),
                                     ("#3f7d2a", 0.8, 0.06, 2.0)):
        n = Noise1D(rng)
        col = hexc(colour)
        c.ridge(lambda u, n=n, base=base, amp=amp, scale=scale: base - amp * n(u * scale, 3),
                lambda u, v, col=col: mix(col, hexc("#2c5a1c"), (v - 0.5) * 0.8))
    flowers = [hexc("#f2d13a"), hexc("#f5f5f5"), hexc("#e0507a"), hexc("#9b6fd6")]
    for _ in range(420):
        x, y = rng.randrange(340), int(256 * (0.72 + 0.28 * rng.random() ** 0.7))
        if y >= 256:
            continue
        col = rng.choice(flowers)
        size = 1 if y < 215 else 2
        for dy in range(size):
            for dx in range(size):
                if x + dx < 340 and y + dy < 256:
                    c.px[(y + dy) * 340 + x + dx] = col
    return c


def dunes(rng):
    c = Canvas(340, 256)
    sky(c, [(0, hexc("#4f8fc9")), (0.45, hexc("#f3d9a4"))])
    c.disc(70, 55, 16, hexc("#fffbe8"), glow=30, glow_colour=hexc("#fde6b0"))
    for light, dark, base, amp in (("#e8b36c", "#b9783d", 0.5, 0.1), ("#dca05a", "#a2602c", 0.64, 0.12),
                                   ("#cf8d48", "#8e4f22", 0.8, 0.12)):
        n = Noise1D(rng)
        l, d = hexc(light), hexc(dark)

        def shade(u, v, n=n, l=l, d=d, base=base, amp=amp):
            top = base - amp * n(u * 1.1, 3)
            return mix(l, d, smooth((v - top) * 5))
        c.ridge(lambda u, n=n, base=base, amp=amp: base - amp * n(u * 1.1, 3), shade)
    return c


def forest(rng):
    c = Canvas(192, 256)
    sky(c, [(0, hexc("#c9d8d2")), (1, hexc("#eef2ec"))])
    for layer, (colour, base) in enumerate((("#9fb5a8", 0.55), ("#76958a", 0.65), ("#4d7266", 0.77),
                                            ("#264a3f", 0.9))):
        col = hexc(colour)
        trees = [(rng.random(), base - 0.05 - 0.25 * rng.random() * (1 - layer * 0.15)) for _ in range(14 + layer * 4)]

        def height(u, trees=trees, base=base):
            top = base
            for tx, ty in trees:
                half = 0.05 + 0.02 * (base - ty)
                d = abs(u - tx)
                if d < half:
                    top = min(top, ty + (base - ty) * d / half * 1.1)
            return top
        c.ridge(height, lambda u, v, col=col: mix(col, hexc("#eef2ec"), 0.15 * (1 - v)), soft=1.2)

        def mist(x, y, u, v, p, base=base):
            return mix(p, hexc("#eef2ec"), 0.18 * smooth((v - base + 0.1) * 6) * smooth((base + 0.12 - v) * 6))
        c.paint(mist)
    return c


def aurora(rng):
    c = Canvas(340, 256)
    sky(c, [(0, hexc("#040b18")), (0.75, hexc("#0c2233"))])
    n = Noise1D(rng)

    def lights(x, y, u, v, p):
        centre = 0.3 + 0.15 * math.sin(u * 5.0 + 1.0) + 0.08 * n(u * 3, 3)
        d = v - centre
        band = math.exp(-(d / 0.12) ** 2) if d < 0 else math.exp(-(d / 0.03) ** 2)
        curtain = 0.55 + 0.45 * n(u * 18, 2)
        green = mix(hexc("#3ef2a0"), hexc("#8f5cf0"), smooth(-d * 6))
        return mix(p, green, band * curtain * 0.85)
    c.paint(lights)
    for _ in range(150):
        x, y = rng.randrange(340), rng.randrange(180)
        i = y * 340 + x
        c.px[i] = mix(c.px[i], (240, 245, 255), 0.5 * rng.random())
    m = Noise1D(rng)
    c.ridge(lambda u: 0.76 - 0.1 * m(u * 1.6, 4), lambda u, v: mix(hexc("#dfe8f2"), hexc("#7d93ad"), (v - 0.66) * 3))
    return c


def lake(rng):
    c = Canvas(192, 256)
    sky(c, [(0, hexc("#6f86c4")), (0.3, hexc("#e8a7b8")), (0.48, hexc("#fbe0c0"))])
    horizon = 0.5
    n = Noise1D(rng)

    def ridge_at(u):
        return horizon - 0.2 * (n(u * 1.4, 5) - 0.2)

    def scene(x, y, u, v, p):
        if v < horizon:
            top = ridge_at(u)
            if v >= top:
                return mix(hexc("#4b3f63"), hexc("#6b5a7d"), (v - top) / max(0.01, horizon - top))
            return p
        mirror = 2 * horizon - v
        top = ridge_at(u)
        if mirror >= top:
            base = mix(hexc("#4b3f63"), hexc("#6b5a7d"), (mirror - top) / max(0.01, horizon - top))
        else:
            base = gradient([(0, hexc("#6f86c4")), (0.3, hexc("#e8a7b8")), (0.48, hexc("#fbe0c0"))], mirror)
        ripple = 0.12 * math.sin(v * 260 + 3 * n(u * 8, 2))
        return mix(base, hexc("#2b3557"), 0.25 + ripple * (v - horizon))
    c.paint(scene)
    return c


PICTURES = [
    ("sunset", sunset), ("mountains", mountains), ("night", night), ("meadow", meadow),
    ("dunes", dunes), ("forest", forest), ("aurora", aurora), ("lake", lake),
]


def main():
    bdlpack, out = sys.argv[1], sys.argv[2]
    work = os.path.join(out, "pictures")
    os.makedirs(work, exist_ok=True)
    args = [bdlpack, "pack", os.path.join(out, "images.bdl"), "-c", "image"]
    dims = ["-c", "dims"]
    for seed, (name, draw) in enumerate(PICTURES, start=1):
        canvas = draw(random.Random(1000 + seed))
        ppm = os.path.join(work, name + ".ppm")
        jpg = os.path.join(work, name + ".jpg")
        canvas.save_ppm(ppm)
        subprocess.run(["convert", ppm, "-filter", "Lanczos", "-resize", "%dx%d!" % (TEXTURE, TEXTURE),
                        "-strip", "-sampling-factor", "1x1", "-quality", str(QUALITY), jpg], check=True)
        os.remove(ppm)
        width, height = (320, 240) if canvas.w > canvas.h else (240, 320)
        rec = os.path.join(work, name + ".dims")
        with open(rec, "wb") as f:
            f.write(struct.pack("<II", width, height) + name.encode("ascii") + b"\0")
        args.append("%s=%s" % (name, jpg))
        dims.append("%s=%s" % (name, rec))
    subprocess.run(args + dims, check=True)


if __name__ == "__main__":
    main()
