#!/usr/bin/python3
"""Generate Nimbra's picture resources.

Everything is drawn procedurally with Pillow (Debian package python3-pil):
the product mark (logo.png, app.ico) and, for every supported game, an abstract
tile picture (icons/<code>.jpg) and a background picture (bgs/<code>.jpg).

Output is deterministic: every random choice comes from a generator seeded
from the game code, so re-running the script reproduces the same files.

Usage:  /usr/bin/python3 tools/gen-assets/gen_assets.py [--only CODE ...] [--out DIR]
"""

from __future__ import annotations

import argparse
import io
import math
import random
import struct
import sys
import zlib
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

REPO_ROOT = Path(__file__).resolve().parents[2]
DEFAULT_OUT = REPO_ROOT / "resources" / "assets"

FONT_CANDIDATES = [
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans-Bold.ttf",
]

BG_W, BG_H = 1200, 620          # background size
TILE = 256                      # tile size
SS = 2                          # supersampling factor for scene rendering
UI_DARK = (7, 12, 24)           # #070c18, the UI's base colour

GAME_CODES = ["jx3", "lol", "apex", "la", "yj", "ys",
              "taris", "cs2", "dnf", "pubg", "val", "wow"]

ICO_SIZES = [16, 20, 24, 32, 40, 48, 64, 128, 256]


# ---------------------------------------------------------------------------
# small colour / maths helpers
# ---------------------------------------------------------------------------

def hexc(s: str) -> tuple[int, int, int]:
    s = s.lstrip("#")
    return (int(s[0:2], 16), int(s[2:4], 16), int(s[4:6], 16))


def lerp(a: float, b: float, t: float) -> float:
    return a + (b - a) * t


def mix(c1, c2, t: float):
    return tuple(int(round(lerp(a, b, t))) for a, b in zip(c1, c2))


def smoothstep(t: float) -> float:
    t = min(1.0, max(0.0, t))
    return t * t * (3 - 2 * t)


def interp_stops(stops, pos: float):
    """stops: [(position, value)] sorted; value is a number or a colour tuple."""
    if pos <= stops[0][0]:
        return stops[0][1]
    for (p0, v0), (p1, v1) in zip(stops, stops[1:]):
        if pos <= p1:
            t = (pos - p0) / (p1 - p0) if p1 > p0 else 1.0
            if isinstance(v0, tuple):
                return mix(v0, v1, t)
            return lerp(v0, v1, t)
    return stops[-1][1]


def seed_for(name: str) -> int:
    return zlib.crc32(name.encode("utf-8"))


def md_profile(rng: random.Random, x0, x1, levels, y0, y1, amp, rough=0.55):
    """1-D midpoint displacement: returns [(x, y)] with 2**levels + 1 points."""
    n = 2 ** levels
    ys = [0.0] * (n + 1)
    ys[0], ys[n] = y0, y1
    step, a = n, amp
    while step > 1:
        half = step // 2
        for i in range(half, n, step):
            ys[i] = (ys[i - half] + ys[i + half]) / 2 + rng.uniform(-a, a)
        a *= rough
        step = half
    return [(x0 + (x1 - x0) * i / n, ys[i]) for i in range(n + 1)]


def noise1d(rng: random.Random, n: int, rough=0.6):
    """Smooth-ish 1-D noise in [-1, 1], n samples."""
    levels = max(1, math.ceil(math.log2(max(2, n - 1))))
    pts = md_profile(rng, 0, 1, levels, rng.uniform(-0.5, 0.5), rng.uniform(-0.5, 0.5), 0.7, rough)
    vals = [p[1] for p in pts]
    m = max(1e-6, max(abs(v) for v in vals))
    out = []
    for i in range(n):
        f = i * (len(vals) - 1) / max(1, n - 1)
        k = min(int(f), len(vals) - 2)
        out.append(lerp(vals[k], vals[k + 1], f - k) / m)
    return out


# ---------------------------------------------------------------------------
# canvas: a supersampled RGB image with layered compositing helpers.
# All coordinates given to the helpers are in output pixels.
# ---------------------------------------------------------------------------

class Canvas:
    def __init__(self, w=BG_W, h=BG_H, ss=SS, color=(0, 0, 0)):
        self.bw, self.bh, self.ss = w, h, ss
        self.W, self.H = w * ss, h * ss
        self.img = Image.new("RGB", (self.W, self.H), color)

    # -- coordinates --------------------------------------------------------
    def P(self, pts):
        s = self.ss
        return [(x * s, y * s) for x, y in pts]

    def mask(self):
        return Image.new("L", (self.W, self.H), 0)

    # -- gradient images ------------------------------------------------------
    def vgrad(self, stops):
        """Vertical colour gradient; stops [(y, colour)]."""
        col = Image.new("RGB", (1, self.H))
        col.putdata([interp_stops(stops, (i + 0.5) / self.ss) for i in range(self.H)])
        return col.resize((self.W, self.H), Image.NEAREST)

    def hgrad(self, stops):
        row = Image.new("RGB", (self.W, 1))
        row.putdata([interp_stops(stops, (i + 0.5) / self.ss) for i in range(self.W)])
        return row.resize((self.W, self.H), Image.NEAREST)

    def vmask(self, stops):
        """Vertical mask; stops [(y, opacity 0..1)]."""
        col = Image.new("L", (1, self.H))
        col.putdata([int(255 * interp_stops(stops, (i + 0.5) / self.ss)) for i in range(self.H)])
        return col.resize((self.W, self.H), Image.NEAREST)

    def hmask(self, stops):
        row = Image.new("L", (self.W, 1))
        row.putdata([int(255 * interp_stops(stops, (i + 0.5) / self.ss)) for i in range(self.W)])
        return row.resize((self.W, self.H), Image.NEAREST)

    def lgrad(self, p0, c0, p1, c1, extra=None):
        """Linear colour gradient along p0 -> p1 (any direction)."""
        stops = [(0.0, c0)] + (extra or []) + [(1.0, c1)]
        gw, gh = max(2, self.bw // 8), max(2, self.bh // 8)
        dx, dy = p1[0] - p0[0], p1[1] - p0[1]
        ll = dx * dx + dy * dy or 1.0
        small = Image.new("RGB", (gw, gh))
        data = []
        for j in range(gh):
            y = (j + 0.5) * self.bh / gh
            for i in range(gw):
                x = (i + 0.5) * self.bw / gw
                t = ((x - p0[0]) * dx + (y - p0[1]) * dy) / ll
                data.append(interp_stops(stops, min(1.0, max(0.0, t))))
        small.putdata(data)
        return small.resize((self.W, self.H), Image.BILINEAR)

    def rgrad_mask(self, cx, cy, r, stops, ry=None):
        """Radial mask; stops [(fraction of radius, opacity)]."""
        ry = ry or r
        gw, gh = max(2, self.bw // 6), max(2, self.bh // 6)
        small = Image.new("L", (gw, gh))
        data = []
        for j in range(gh):
            y = (j + 0.5) * self.bh / gh
            for i in range(gw):
                x = (i + 0.5) * self.bw / gw
                d = math.hypot((x - cx) / r, (y - cy) / ry)
                data.append(int(255 * interp_stops(stops, d)))
        small.putdata(data)
        return small.resize((self.W, self.H), Image.BILINEAR)

    # -- compositing ----------------------------------------------------------
    def _src(self, src):
        if isinstance(src, Image.Image):
            return src
        return Image.new("RGB", (self.W, self.H), src)

    def put(self, src, mask, alpha=1.0, blur=0.0, mode="normal", fade=None):
        if blur > 0:
            mask = mask.filter(ImageFilter.GaussianBlur(blur * self.ss))
        if fade is not None:
            mask = ImageChops.multiply(mask, fade)
        if alpha < 1.0:
            a = max(0.0, alpha)
            mask = mask.point(lambda v: int(v * a + 0.5))
        src = self._src(src)
        if mode == "normal":
            self.img.paste(src, (0, 0), mask)
        else:
            base = Image.new("RGB", (self.W, self.H), (255, 255, 255) if mode == "multiply" else (0, 0, 0))
            base.paste(src, (0, 0), mask)
            if mode == "screen":
                self.img = ImageChops.screen(self.img, base)
            elif mode == "add":
                self.img = ImageChops.add(self.img, base)
            elif mode == "multiply":
                self.img = ImageChops.multiply(self.img, base)
            else:
                raise ValueError(mode)

    def fill(self, src):
        self.img = self._src(src).copy()

    def poly(self, pts, src, alpha=1.0, blur=0.0, mode="normal", fade=None):
        m = self.mask()
        ImageDraw.Draw(m).polygon(self.P(pts), fill=255)
        self.put(src, m, alpha, blur, mode, fade)
        return m

    def polys(self, list_of_pts, src, alpha=1.0, blur=0.0, mode="normal", fade=None):
        m = self.mask()
        d = ImageDraw.Draw(m)
        for pts in list_of_pts:
            d.polygon(self.P(pts), fill=255)
        self.put(src, m, alpha, blur, mode, fade)
        return m

    def ellipse(self, cx, cy, rx, ry, src, alpha=1.0, blur=0.0, mode="normal", fade=None):
        s = self.ss
        m = self.mask()
        ImageDraw.Draw(m).ellipse([(cx - rx) * s, (cy - ry) * s, (cx + rx) * s, (cy + ry) * s], fill=255)
        self.put(src, m, alpha, blur, mode, fade)
        return m

    def line(self, pts, width, src, alpha=1.0, blur=0.0, mode="normal", fade=None):
        m = self.mask()
        ImageDraw.Draw(m).line(self.P(pts), fill=255, width=max(1, int(round(width * self.ss))), joint="curve")
        self.put(src, m, alpha, blur, mode, fade)
        return m

    def glow(self, cx, cy, r, color, alpha=1.0, ry=None, mode="screen"):
        """Soft radial light with a smooth falloff."""
        ry = ry or r
        m = self.rgrad_mask(cx, cy, r, [(0.0, 1.0), (0.25, 0.62), (0.5, 0.28), (0.75, 0.08), (1.0, 0.0)], ry)
        self.put(color, m, alpha, 0, mode)

    def result(self):
        return self.img.resize((self.bw, self.bh), Image.LANCZOS)


def closed_to_bottom(profile, bottom=BG_H + 20):
    return list(profile) + [(profile[-1][0], bottom), (profile[0][0], bottom)]


def bumps_profile(rng, x0, x1, step, base, peaks, jitter=6.0, shape=2.0):
    """Skyline made of separate peaks: peaks [(centre_x, height, half_width[, right_half_width])]."""
    n = int((x1 - x0) / step) + 1
    nz = noise1d(rng, n, 0.7)
    pts = []
    for i in range(n):
        x = x0 + i * step
        h = 0.0
        for pk in peaks:
            c, hgt, wl = pk[0], pk[1], pk[2]
            wr = pk[3] if len(pk) > 3 else wl
            t = abs(x - c) / (wl if x < c else wr)
            h = max(h, hgt * math.exp(-(t ** shape)))
        pts.append((x, base - h + nz[i] * jitter))
    return pts


def karst_peaks(rng, x0, x1, count, hmin, hmax, wmin, wmax, calm_from=700, calm=0.55):
    """Random tower-karst peaks, each a steep tower on a broad shoulder."""
    out = []
    for _ in range(count):
        c = rng.uniform(x0, x1)
        h = rng.uniform(hmin, hmax) * (calm if c > calm_from else 1.0)
        w = rng.uniform(wmin, wmax)
        out.append((c, h, w * rng.uniform(0.8, 1.25), w * rng.uniform(0.8, 1.25)))
        out.append((c + rng.uniform(-w, w), h * rng.uniform(0.3, 0.5), w * 2.6, w * 2.6))
    return out


def stroke_points(pts, width_fn):
    """Turn a polyline into a tapered ribbon polygon; width_fn(t in 0..1) -> width."""
    left, right = [], []
    n = len(pts)
    for i, (x, y) in enumerate(pts):
        a = pts[max(0, i - 1)]
        b = pts[min(n - 1, i + 1)]
        dx, dy = b[0] - a[0], b[1] - a[1]
        ln = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / ln, dx / ln
        w = width_fn(i / max(1, n - 1)) / 2
        left.append((x + nx * w, y + ny * w))
        right.append((x - nx * w, y - ny * w))
    return left + right[::-1]


# ---------------------------------------------------------------------------
# scenes: each draws a 1200x620 picture and returns (canvas, tile_box, accent)
#   tile_box = (centre_x, centre_y, side) of the square the tile is cut from.
# ---------------------------------------------------------------------------

def scene_jx3(rng):
    """Wuxia: ink-wash karst towers in layered mist, a vermilion sun and a cliff pine."""
    cv = Canvas()
    cv.fill(cv.vgrad([(0, hexc("#0c171d")), (180, hexc("#1f3536")),
                      (380, hexc("#5f7c75")), (470, hexc("#98aea2")), (620, hexc("#a9bbae"))]))
    # wash blotches in the sky
    for _ in range(6):
        cv.glow(rng.uniform(0, 1200), rng.uniform(40, 300), rng.uniform(160, 320),
                hexc("#3c5a58"), 0.3, ry=rng.uniform(50, 90))
    # vermilion sun with a soft halo
    cv.glow(330, 150, 160, hexc("#a8442f"), 0.4)
    cv.ellipse(330, 150, 42, 42, hexc("#c4533a"), 0.9, blur=0.8)

    def karst_layer(base, peaks, ink, wash, fade_to, jitter=4, shape=3.0, edge=0.5):
        """Tower-karst skyline: ink-dark near the ridge, washing out into mist below."""
        prof = bumps_profile(rng, -20, 1220, 3, base, peaks, jitter, shape)
        tops = min(p[1] for p in prof)
        col = cv.vgrad([(tops, hexc(ink)), (base - 40, hexc(wash))])
        fade = cv.vmask([(tops, 1.0), (base - 60, 0.85), (fade_to, 0.0)])
        cv.poly(closed_to_bottom(prof), col, 1.0, 0.6, fade=fade)
        cv.line(prof, 2.2, hexc(ink), edge, 1.2, fade=fade)    # dry-brush ridge line
        return prof

    far = karst_peaks(rng, 380, 1220, 11, 90, 200, 18, 30)
    karst_layer(450, far, "#4c6964", "#86a097", 490, shape=3.2, edge=0.3)
    cv.put(hexc("#c5d3c6"), cv.vmask([(380, 0), (455, 0.55), (530, 0.0)]), 0.85)
    mid = karst_peaks(rng, 250, 1220, 8, 110, 270, 22, 34, calm_from=650, calm=0.45)
    mid += [(470, 300, 26, 30), (520, 210, 24)]
    mprof = karst_layer(540, mid, "#22353a", "#5d766f", 590, jitter=5, shape=3.0, edge=0.5)
    # a small pavilion on the tallest mid tower
    top_pt = min((p for p in mprof if 440 < p[0] < 500), key=lambda p: p[1])
    px, py = top_pt[0], top_pt[1] + 5
    pav = hexc("#22353a")
    cv.poly([(px - 22, py - 10), (px + 22, py - 10), (px + 13, py - 19), (px - 13, py - 19)], pav, 1.0, 0.4)
    cv.poly([(px - 10, py - 19), (px + 10, py - 19), (px, py - 31)], pav, 1.0, 0.4)
    cv.poly([(px - 12, py - 10), (px + 12, py - 10), (px + 12, py + 4), (px - 12, py + 4)], pav, 1.0, 0.4)
    cv.put(hexc("#bccabd"), cv.vmask([(470, 0), (560, 0.6), (620, 0.25)]), 0.85)
    # near cliff on the far left, low rocks elsewhere
    key = [(-20, 185), (40, 172), (95, 196), (125, 240), (140, 300), (168, 352), (180, 420),
           (215, 480), (270, 545), (360, 590), (480, 606)]
    cliff = [key[0]]
    for (xa, ya), (xb, yb) in zip(key, key[1:]):
        seg = md_profile(rng, xa, xb, 3, ya, yb, 9, 0.55)
        cliff += seg[1:]
    rocks = md_profile(rng, 480, 1220, 5, 606, 608, 14, 0.5)
    near = cliff + rocks[1:]
    ink = hexc("#0d1719")
    cv.poly(closed_to_bottom(near), cv.vgrad([(160, ink), (620, hexc("#26373a"))]), 1.0, 0.5)
    cv.line(near, 2.5, ink, 0.7, 1.0)
    # a pine leaning out from the cliff top, its foliage in flat ink pads
    base_x, base_y = 70, 182
    trunk = [(base_x, base_y), (base_x + 30, base_y - 34), (base_x + 80, base_y - 52), (base_x + 150, base_y - 58)]
    cv.poly(stroke_points(trunk, lambda t: 10 - 6 * t), ink, 1.0, 0.5)
    cv.poly(stroke_points([(base_x + 70, base_y - 50), (base_x + 96, base_y - 92)], lambda t: 5 - 2 * t), ink, 1.0, 0.5)
    for (dx, dy, w) in [(12, -30, 40), (66, -72, 56), (126, -76, 54), (168, -66, 40), (98, -104, 42)]:
        cx, cy = base_x + dx, base_y + dy
        cv.ellipse(cx, cy, w, w * 0.2, ink, 1.0, 1.2)
        cv.ellipse(cx + w * 0.1, cy - w * 0.12, w * 0.68, w * 0.13, ink, 1.0, 1.0)
    # birds
    for (bx, by, s) in [(450, 110, 9), (476, 126, 7), (500, 104, 6), (530, 132, 5)]:
        cv.line([(bx - s, by - s * 0.4), (bx - s * 0.3, by - s * 0.1), (bx, by + s * 0.15),
                 (bx + s * 0.3, by - s * 0.1), (bx + s, by - s * 0.45)], 1.6, hexc("#162426"), 0.9, 0.2)
    return cv, (300, 300, 470), hexc("#c4533a")


def scene_lol(rng):
    """Arena: perspective hex floor glowing around a golden rune circle."""
    cv = Canvas()
    cv.fill(cv.vgrad([(0, hexc("#040812")), (250, hexc("#0a1b2c")), (300, hexc("#113246")),
                      (340, hexc("#0b2130")), (620, hexc("#050b14"))]))
    cx, hy, F, cam_h = 380.0, 300.0, 520.0, 2.2

    def proj(X, Z):
        return (cx + X * F / Z, hy + cam_h * F / Z)

    # horizon rim glow
    cv.glow(cx, hy + 8, 700, hexc("#1a6f8a"), 0.55, ry=70)
    cv.glow(cx, hy + 4, 260, hexc("#d6a64e"), 0.35, ry=30)
    # hex floor
    R = 1.0
    sq3 = math.sqrt(3)
    centre = (0.0, 9.0)
    m_sharp = cv.mask()
    d = ImageDraw.Draw(m_sharp)
    for q in range(-22, 23):
        for r in range(-2, 40):
            X = R * sq3 * (q + r / 2)
            Z = R * 1.5 * r + 2.0
            if Z < 1.2 or Z > 60:
                continue
            dist = math.hypot(X - centre[0], (Z - centre[1]) * 1.3)
            inten = math.exp(-dist / 7.0) * 0.95 + 0.10
            inten *= min(1.0, (60 - Z) / 30)
            if inten < 0.03:
                continue
            verts = []
            for k in range(6):
                a = math.radians(60 * k + 30)
                vz = Z + R * 0.94 * math.sin(a)
                if vz < 0.6:
                    break
                verts.append(proj(X + R * 0.94 * math.cos(a), vz))
            if len(verts) < 6:
                continue
            w = max(1, int(round(2.4 * cv.ss * 6 / Z)))
            d.line(cv.P(verts + [verts[0]]), fill=int(255 * min(1.0, inten)), width=w)
    cv.put(hexc("#2fc6d8"), m_sharp, 0.9, blur=0.4, mode="screen")
    cv.put(hexc("#1b8fb0"), m_sharp, 0.8, blur=5, mode="screen")
    # golden rune ring (projected circle + hexagon)
    for rad, wdt, col, a in [(3.2, 3.0, "#f0c060", 1.0), (2.6, 1.6, "#e0a848", 0.8)]:
        ring = [proj(centre[0] + rad * math.cos(t * math.pi / 90), centre[1] + rad * 0.999 * math.sin(t * math.pi / 90))
                for t in range(181)]
        cv.line(ring, wdt, hexc(col), a, 0.3, mode="screen")
        cv.line(ring, wdt * 4, hexc("#c07a20"), 0.6, 6, mode="screen")
    hexv = [proj(centre[0] + 2.6 * math.cos(math.radians(60 * k)), centre[1] + 2.6 * math.sin(math.radians(60 * k)))
            for k in range(7)]
    cv.line(hexv, 1.6, hexc("#ffd98a"), 0.9, 0.3, mode="screen")
    # light column rising from the ring
    bx, by = proj(*centre)
    colm = cv.hmask([(bx - 130, 0), (bx - 40, 0.5), (bx, 1), (bx + 40, 0.5), (bx + 130, 0)])
    cv.put(hexc("#e9b45a"), colm, 0.55, blur=10, mode="screen", fade=cv.vmask([(0, 0), (by - 40, 0.8), (by, 1.0), (by + 30, 0)]))
    cv.glow(bx, by, 320, hexc("#c98a2e"), 0.55, ry=120)
    # rising sparks
    for _ in range(70):
        x = rng.gauss(bx, 120)
        y = rng.uniform(60, by)
        r = rng.uniform(0.8, 2.4)
        cv.ellipse(x, y, r, r, hexc("#ffd98a"), rng.uniform(0.3, 0.9), 0.4, mode="screen")
    return cv, (380, 320, 440), hexc("#2fc6d8")


def scene_apex(rng):
    """Canyon at dusk: jagged ridge layers with warm rim light."""
    cv = Canvas()
    cv.fill(cv.vgrad([(0, hexc("#1a0f2e")), (150, hexc("#45203f")), (300, hexc("#a3432f")),
                      (390, hexc("#e9874a")), (440, hexc("#f6b26a")), (620, hexc("#f6b26a"))]))
    cv.glow(330, 410, 520, hexc("#ff9a50"), 0.55, ry=260)
    cv.ellipse(330, 408, 34, 34, hexc("#ffe0a8"), 1.0, 1.0)
    # thin cloud streaks
    for _ in range(7):
        y = rng.uniform(90, 330)
        x = rng.uniform(-100, 1000)
        cv.ellipse(x, y, rng.uniform(150, 380), rng.uniform(4, 9), hexc("#5c2640"), 0.45, 4)
        cv.ellipse(x + 20, y + 6, rng.uniform(120, 300), 2.5, hexc("#ffb070"), 0.25, 2)

    layers = [  # base_left, base_right, amp, colour, rim alpha
        (380, 420, 70, "#a05144", 0.35),
        (420, 450, 110, "#6e2c37", 0.45),
        (470, 520, 150, "#3e1627", 0.5),
        (520, 600, 160, "#1b0a16", 0.55),
    ]
    for i, (b0, b1, amp, col, rim) in enumerate(layers):
        prof = md_profile(rng, -20, 1220, 6, b0 - rng.uniform(0, amp), b1, amp, 0.62)
        if i == 3:  # tall canyon wall on the far left
            prof = [(x, y - max(0.0, (420 - x) / 420) ** 1.3 * 330) for x, y in prof]
        cv.poly(closed_to_bottom(prof), hexc(col), 1.0, 0.4)
        cv.line(prof, 1.6, hexc("#ffb27a"), rim, 0.5, mode="screen")
        if i < 3:  # dust haze at the foot of each layer
            cv.put(hexc("#f0925a"), cv.vmask([(b1 - 40, 0), (b1 + 40, 0.45), (b1 + 90, 0)]), 0.55)
    return cv, (300, 360, 460), hexc("#ff8c50")


def scene_la(rng):
    """Open sea at sunset with a distant island and a spire."""
    cv = Canvas()
    hz = 390
    cv.fill(cv.vgrad([(0, hexc("#0c1836")), (140, hexc("#21386b")), (290, hexc("#7a6a8c")),
                      (360, hexc("#e0a878")), (hz, hexc("#f4c98e")),
                      (hz + 1, hexc("#3a4a70")), (470, hexc("#1c2b4d")), (620, hexc("#0a1430"))]))
    sx = 240
    cv.glow(sx, hz - 10, 520, hexc("#ffb070"), 0.5, ry=200)
    cv.ellipse(sx, hz - 12, 30, 30, hexc("#fff0c8"), 1.0, 1.2)
    cv.put(hexc("#3a4a70"), cv.vmask([(hz, 0), (hz + 0.5, 1)]))  # crisp horizon over the sun
    # long clouds lit from below
    for _ in range(8):
        y = rng.uniform(120, 320)
        x = rng.uniform(-150, 1100)
        w = rng.uniform(180, 420)
        cv.ellipse(x, y, w, rng.uniform(5, 11), hexc("#2a2f58"), 0.55, 4)
        cv.ellipse(x + 10, y + 6, w * 0.8, 2.5, hexc("#ffb890"), 0.35 * (1.0 - y / 500), 2)
    # distant island with a ruined spire, hazy blue
    prof = bumps_profile(rng, 430, 720, 3, hz, [(500, 38, 50), (560, 62, 40), (630, 30, 60)], 2.5, 2.0)
    prof = [(430, hz)] + prof + [(720, hz)]
    cv.poly(prof, hexc("#4b4f7a"), 1.0, 0.6)
    cv.poly([(553, hz - 58), (558, hz - 105), (562, hz - 105), (567, hz - 58)], hexc("#4b4f7a"), 1.0, 0.4)
    cv.poly([(556, hz - 105), (560, hz - 122), (564, hz - 105)], hexc("#4b4f7a"), 1.0, 0.4)
    cv.poly([(470, hz - 30), (474, hz - 52), (478, hz - 30)], hexc("#4b4f7a"), 1.0, 0.4)
    # a far small islet
    cv.poly([(820, hz), (850, hz - 9), (880, hz - 6), (905, hz)], hexc("#59608a"), 0.8, 0.6)
    # sea: sun glitter column and scattered wave glints
    m = cv.mask()
    d = ImageDraw.Draw(m)
    for _ in range(520):
        y = hz + 3 + (rng.random() ** 1.7) * (620 - hz)
        depth = min(1.0, (y - hz) / (620 - hz))
        x = rng.gauss(sx, 14 + 150 * depth)
        L = rng.uniform(6, 30) * (0.5 + depth * 2)
        v = int(255 * (1.0 - depth) ** 1.2 * rng.uniform(0.4, 1.0))
        d.line(cv.P([(x - L / 2, y), (x + L / 2, y)]), fill=v, width=max(1, int(cv.ss * (0.8 + depth * 1.6))))
    cv.put(hexc("#ffd8a0"), m, 0.85, 0.5, mode="screen")
    m = cv.mask()
    d = ImageDraw.Draw(m)
    for _ in range(380):
        y = hz + 3 + (rng.random() ** 1.4) * (620 - hz)
        depth = min(1.0, (y - hz) / (620 - hz))
        x = rng.uniform(-50, 1250)
        L = rng.uniform(8, 40) * (0.5 + depth * 2)
        d.line(cv.P([(x - L / 2, y), (x + L / 2, y)]), fill=int(rng.uniform(60, 150)), width=max(1, int(cv.ss * (0.8 + depth))))
    cv.put(hexc("#8fa6d8"), m, 0.35, 0.6, mode="screen")
    cv.glow(560, hz + 4, 300, hexc("#e9a070"), 0.25, ry=20)
    return cv, (380, 330, 420), hexc("#f4c98e")


def scene_yj(rng):
    """Martial arts: layered bamboo grove cut by a crimson sword arc."""
    cv = Canvas()
    cv.fill(cv.vgrad([(0, hexc("#06120e")), (240, hexc("#12372a")), (420, hexc("#1b4a37")), (620, hexc("#07140f"))]))
    cv.glow(330, 260, 420, hexc("#7fc89a"), 0.35, ry=300)
    cv.ellipse(330, 230, 70, 70, hexc("#d9efd2"), 0.35, 14)

    def stalk(x, width, lean, col, node_col, alpha, blur, leaves):
        top, bot = -30, 650
        dx = lean * (bot - top)
        cv.poly([(x - width / 2, bot), (x + width / 2, bot), (x + width / 2 + dx, top), (x - width / 2 + dx, top)],
                col, alpha, blur)
        # highlight strip along the left edge
        cv.poly([(x - width / 2 + 1, bot), (x - width / 2 + width * 0.28, bot),
                 (x - width / 2 + width * 0.28 + dx, top), (x - width / 2 + 1 + dx, top)],
                mix(col, (220, 255, 220), 0.25), alpha * 0.6, blur)
        y = bot - rng.uniform(20, 90)
        nodes = []
        while y > top:
            xx = x + lean * (bot - y)
            cv.line([(xx - width / 2 - 1, y), (xx + width / 2 + 1, y)], max(1.2, width * 0.12), node_col, alpha, blur)
            nodes.append((xx, y))
            y -= rng.uniform(80, 130)
        if leaves:
            for (nx, ny) in nodes:
                if rng.random() < 0.45 and ny < 460:
                    side = rng.choice([-1, 1])
                    for k in range(rng.randint(2, 4)):
                        ang = math.radians(rng.uniform(15, 55)) * side
                        L = rng.uniform(50, 95) * (width / 14 + 0.4)
                        ex = nx + math.sin(ang) * L
                        ey = ny + math.cos(abs(ang)) * L * 0.55 + rng.uniform(-10, 10)
                        midx, midy = (nx + ex) / 2, (ny + ey) / 2 - L * 0.06
                        pts = [(nx, ny), (midx, midy), (ex, ey)]
                        cv.poly(stroke_points(pts, lambda t: max(0.5, math.sin(math.pi * t ** 0.8) * L * 0.16)),
                                col, alpha, blur)

    # far, mid, near layers; the right side stays sparse
    for _ in range(16):
        x = rng.uniform(-20, 1220)
        stalk(x, rng.uniform(5, 9), rng.uniform(-0.02, 0.02), hexc("#3f7f5e"), hexc("#5e9e7c"), 0.45, 2.5, True)
    cv.put(hexc("#9ed0a8"), cv.vmask([(300, 0), (520, 0.35), (620, 0.15)]), 0.6)
    for _ in range(11):
        x = rng.uniform(-20, 820)
        stalk(x, rng.uniform(10, 15), rng.uniform(-0.03, 0.03), hexc("#1f5a3f"), hexc("#3b7d5c"), 0.9, 0.9, True)
    for x in (40, 120, 620):
        stalk(x + rng.uniform(-15, 15), rng.uniform(20, 28), rng.uniform(-0.04, 0.01), hexc("#0a2218"), hexc("#1c4a34"), 1.0, 0.4, True)
    # crimson sword arc
    pts = []
    rot = math.radians(-24)
    for i in range(80):
        t = i / 79
        a = math.radians(lerp(200, 340, t))
        ex, ey = math.cos(a) * 330, math.sin(a) * 150
        pts.append((350 + ex * math.cos(rot) - ey * math.sin(rot), 360 + ex * math.sin(rot) + ey * math.cos(rot)))
    ribbon = stroke_points(pts, lambda t: 22 * math.sin(math.pi * t) ** 1.3 + 0.5)
    cv.poly(ribbon, hexc("#ff2d3a"), 0.8, 10, mode="screen")
    cv.poly(ribbon, hexc("#ff4a3d"), 0.95, 0.6, mode="screen")
    core = stroke_points(pts, lambda t: 7 * math.sin(math.pi * t) ** 1.6 + 0.2)
    cv.poly(core, hexc("#fff0e0"), 0.95, 0.4, mode="screen")
    for _ in range(40):  # drifting leaf fragments
        x, y = rng.uniform(60, 700), rng.uniform(120, 520)
        a = rng.uniform(0, math.pi)
        L = rng.uniform(6, 14)
        cv.poly(stroke_points([(x, y), (x + math.cos(a) * L, y + math.sin(a) * L)], lambda t: math.sin(math.pi * t) * 3.2),
                hexc("#7fc89a"), rng.uniform(0.35, 0.8), 0.3)
    return cv, (320, 320, 440), hexc("#ff4a3d")


def scene_ys(rng):
    """Anime open world: floating islands over a sea of soft clouds."""
    cv = Canvas()
    cv.fill(cv.vgrad([(0, hexc("#1b2e66")), (200, hexc("#3f6cb8")), (400, hexc("#8fa8d8")),
                      (520, hexc("#e9b8a8")), (620, hexc("#f0c8a8"))]))
    cv.glow(240, 120, 380, hexc("#fff2c8"), 0.45)

    def cloud(cx, cy, w, h, alpha, col_top="#ffffff", col_bot="#a9b8e0", blur=6):
        m = cv.mask()
        d = ImageDraw.Draw(m)
        s = cv.ss
        for _ in range(int(8 + w / 25)):
            px = cx + rng.uniform(-w / 2, w / 2)
            r = rng.uniform(0.25, 0.5) * h * (1.2 - abs(px - cx) / w)
            py = cy - rng.uniform(0, h * 0.35)
            d.ellipse([(px - r * 1.3) * s, (py - r) * s, (px + r * 1.3) * s, (py + r) * s], fill=255)
        d.rectangle([(cx - w / 2) * s, cy * s, (cx + w / 2) * s, (cy + h * 0.12) * s], fill=255)
        shade = cv.vgrad([(cy - h * 0.7, hexc(col_top)), (cy + h * 0.1, hexc(col_bot))])
        cv.put(shade, m, alpha, blur)

    for _ in range(7):  # high wisps
        wx, wy, ww = rng.uniform(0, 1200), rng.uniform(50, 230), rng.uniform(120, 260)
        for k in range(4):
            cv.ellipse(wx + rng.uniform(-ww * 0.4, ww * 0.4), wy + rng.uniform(-6, 6), ww * rng.uniform(0.3, 0.6),
                       rng.uniform(5, 12), hexc("#f4f0ff"), 0.22, 6)

    def island(cx, cy, w, depth, alpha, haze, trees=True, falls=False):
        grass = mix(hexc("#6fcf86"), hexc("#a9bfe0"), haze)
        grass_top = mix(hexc("#b8f0a0"), hexc("#c9d8f0"), haze)
        rock_a = mix(hexc("#8a6f8e"), hexc("#a9b6dc"), haze)
        rock_b = mix(hexc("#3a2c4e"), hexc("#8a9acb"), haze)
        under = md_profile(rng, cx - w / 2, cx + w / 2, 4, cy, cy, depth * 0.15, 0.6)
        under = [(x, y + depth * (1 - abs((x - cx) / (w / 2))) ** 1.4 * (0.8 + 0.2 * math.sin(x))) for x, y in under]
        rock = cv.lgrad((cx, cy), rock_a, (cx, cy + depth), rock_b)
        cv.poly(under, rock, alpha, 0.5)
        top = [(cx + w / 2 * math.cos(math.radians(a)), cy + w * 0.07 * math.sin(math.radians(a)) - 4)
               for a in range(0, 361, 10)]
        cv.poly(top, cv.lgrad((cx, cy - 12), grass_top, (cx, cy + 8), grass), alpha, 0.5)
        if trees:
            leaf_dark = mix(hexc("#2f7f5a"), hexc("#a9bfe0"), haze)
            leaf_mid = mix(hexc("#4fae6e"), hexc("#b4c8e6"), haze)
            trunk = mix(hexc("#5a4038"), hexc("#a9b6dc"), haze)
            n = max(1, int(w / 70))
            for k in range(n):
                tx = cx - w * 0.32 + (k + rng.uniform(0.2, 0.8)) * (w * 0.64 / n)
                tr = rng.uniform(0.045, 0.075) * w
                ty = cy - 6
                cv.poly([(tx - tr * 0.12, ty), (tx + tr * 0.12, ty), (tx + tr * 0.08, ty - tr * 1.4), (tx - tr * 0.08, ty - tr * 1.4)],
                        trunk, alpha, 0.4)
                for (ox, oy, rr, col) in [(-0.55, -1.2, 0.7, leaf_dark), (0.5, -1.3, 0.75, leaf_dark), (0.0, -1.85, 0.85, leaf_dark),
                                          (-0.2, -2.05, 0.5, leaf_mid), (0.25, -1.55, 0.45, leaf_mid)]:
                    cv.ellipse(tx + ox * tr, ty + oy * tr, rr * tr, rr * tr * 0.9, col, alpha, 0.5)
                cv.ellipse(tx - tr * 0.3, ty - tr * 2.25, tr * 0.35, tr * 0.22, grass_top, alpha * 0.6, 1.2)
            for _ in range(int(w / 40)):  # bushes along the rim
                bx = cx + rng.uniform(-w * 0.42, w * 0.42)
                br = rng.uniform(0.02, 0.035) * w
                cv.ellipse(bx, cy - 6 - br * 0.4, br * 1.3, br, leaf_mid, alpha, 0.5)
        if falls:
            fx = cx + w * 0.3
            cv.poly([(fx - 5, cy), (fx + 5, cy), (fx + 9, cy + 260), (fx - 9, cy + 260)], hexc("#e8f4ff"), alpha * 0.8, 1.5,
                    fade=cv.vmask([(cy, 1), (cy + 260, 0)]))

    island(820, 250, 130, 110, 0.85, 0.55, trees=True)
    island(620, 150, 80, 70, 0.8, 0.65, trees=True)
    island(320, 300, 330, 230, 1.0, 0.0, trees=True, falls=True)
    # sea of clouds
    for i in range(9):
        cloud(-60 + i * 160 + rng.uniform(-30, 30), 540 + rng.uniform(-20, 20), rng.uniform(260, 360), rng.uniform(90, 130),
              0.9, "#fff6f0", "#c6b4d8", blur=8)
    cv.put(hexc("#f6e6ea"), cv.vmask([(560, 0), (620, 0.6)]), 0.7)
    for _ in range(40):  # sparkles
        x, y = rng.uniform(100, 700), rng.uniform(60, 420)
        r = rng.uniform(0.8, 2.0)
        cv.ellipse(x, y, r, r, hexc("#fff8d0"), rng.uniform(0.4, 0.9), 0.3, mode="screen")
    return cv, (340, 330, 440), hexc("#6fcf86")


def scene_taris(rng):
    """Fantasy MMO: a cluster of glowing crystal shards in a violet cavern."""
    cv = Canvas()
    cv.fill(cv.vgrad([(0, hexc("#08051a")), (300, hexc("#1a0f3a")), (620, hexc("#2a1456"))]))
    cv.glow(300, 420, 520, hexc("#6a3cd0"), 0.6, ry=360)
    cv.glow(300, 460, 220, hexc("#d07cff"), 0.45)
    # cavern ceiling: a few dim stalactites fading into the dark
    drips = []
    x = -20.0
    while x < 1220:
        w = rng.uniform(30, 90)
        drips.append([(x, -20), (x + w, -20), (x + w * rng.uniform(0.4, 0.6), rng.uniform(30, 120))])
        x += w * rng.uniform(0.6, 1.0)
    cv.polys(drips, hexc("#05030f"), 0.8, 2.0, fade=cv.vmask([(0, 1.0), (130, 0.3)]))

    def crystal(bx, by, ang, length, width, c_light, c_dark, alpha=1.0, blur=0.5, glow=True):
        ux, uy = math.sin(math.radians(ang)), -math.cos(math.radians(ang))
        nx, ny = -uy, ux
        tip = (bx + ux * length, by + uy * length)
        sh = length * 0.78
        L0 = (bx + nx * width / 2, by + ny * width / 2)
        R0 = (bx - nx * width / 2, by - ny * width / 2)
        L1 = (bx + ux * sh + nx * width / 2, by + uy * sh + ny * width / 2)
        R1 = (bx + ux * sh - nx * width / 2, by + uy * sh - ny * width / 2)
        C0 = (bx + nx * width * 0.08, by + ny * width * 0.08)
        C1 = (bx + ux * sh + nx * width * 0.08, by + uy * sh + ny * width * 0.08)
        if glow:
            cv.poly([L0, L1, tip, R1, R0], c_light, alpha * 0.55, width * 0.9, mode="screen")
        g1 = cv.lgrad((bx, by), mix(c_dark, (0, 0, 0), 0.3), tip, c_light)
        cv.poly([L0, L1, tip, C1, C0], g1, alpha, blur)
        g2 = cv.lgrad((bx, by), mix(c_dark, (0, 0, 0), 0.55), tip, c_dark)
        cv.poly([C0, C1, tip, R1, R0], g2, alpha, blur)
        cv.line([C0, C1, tip], max(1.0, width * 0.04), mix(c_light, (255, 255, 255), 0.6), alpha * 0.8, 0.4)

    shards = [  # base x, base y, angle, length, width
        (180, 640, -28, 330, 56), (250, 650, -8, 420, 74), (330, 640, 14, 360, 62), (390, 650, 32, 250, 48),
        (120, 650, -48, 210, 44), (450, 660, 50, 170, 38), (300, 660, 2, 200, 44), (210, 660, -20, 170, 36),
    ]
    palettes = [("#e0a8ff", "#6b2fc0"), ("#9fe8ff", "#3c54c8"), ("#f0b8ff", "#7a34b8")]
    for i, (bx, by, ang, L, W) in enumerate(shards):
        cl, cd = palettes[i % len(palettes)]
        crystal(bx, by, ang, L, W, hexc(cl), hexc(cd))
    # small floating shards
    for (x, y, a, L, W, al) in [(560, 300, 20, 70, 16, 0.9), (620, 200, -15, 50, 12, 0.8), (520, 150, 35, 36, 9, 0.7),
                                (900, 360, 10, 46, 12, 0.45), (1040, 240, -25, 34, 9, 0.35), (700, 420, 40, 40, 10, 0.6)]:
        crystal(x, y, a, L, W, hexc("#c8a0ff"), hexc("#4d2fa0"), al, 0.4)
    for _ in range(90):
        x, y = rng.gauss(320, 200), rng.uniform(80, 600)
        r = rng.uniform(0.7, 2.0)
        cv.ellipse(x, y, r, r, hexc(rng.choice(["#e8c8ff", "#a8f0ff"])), rng.uniform(0.3, 0.9), 0.3, mode="screen")
    cv.put(hexc("#1a0b38"), cv.vmask([(560, 0), (620, 0.5)]))
    return cv, (300, 390, 460), hexc("#c58cff")


def scene_cs2(rng):
    """Tactical shooter: angular rooftops and towers in dusty ochre light."""
    cv = Canvas()
    cv.fill(cv.vgrad([(0, hexc("#3a2614")), (180, hexc("#7a5226")), (360, hexc("#c98f44")),
                      (450, hexc("#e6bb72")), (620, hexc("#e6bb72"))]))
    cv.glow(380, 330, 520, hexc("#ffd890"), 0.45, ry=260)

    def skyline(base, hmin, hmax, col, x0=-20, x1=1220, wmin=40, wmax=140, calm_right=True, features=True):
        polys = []
        x = x0
        while x < x1:
            w = rng.uniform(wmin, wmax)
            h = rng.uniform(hmin, hmax)
            if calm_right and x > 650:
                h *= 0.6
            top = base - h
            polys.append([(x, base + 200), (x, top), (x + w, top), (x + w, base + 200)])
            if features:
                r = rng.random()
                if r < 0.25:  # stepped top
                    polys.append([(x + w * 0.2, top), (x + w * 0.2, top - h * 0.15), (x + w * 0.7, top - h * 0.15), (x + w * 0.7, top)])
                elif r < 0.4:  # antenna
                    polys.append([(x + w * 0.5 - 1.5, top), (x + w * 0.5 - 1.5, top - 60), (x + w * 0.5 + 1.5, top - 60), (x + w * 0.5 + 1.5, top)])
                elif r < 0.55:  # water tank
                    tx = x + w * 0.3
                    polys.append([(tx, top), (tx, top - 26), (tx + 24, top - 30), (tx + 48, top - 26), (tx + 48, top)])
                elif r < 0.65:  # slanted roof
                    polys.append([(x, top), (x + w, top), (x + w, top - 30)])
            x += w + rng.uniform(-10, 10)
        return cv.polys(polys, hexc(col), 1.0, 0.4)

    skyline(430, 60, 200, "#b07a3c")
    cv.put(hexc("#e0a860"), cv.vmask([(300, 0), (440, 0.5), (520, 0.2)]), 0.6)
    skyline(480, 70, 230, "#7a4c22")
    cv.put(hexc("#d0914a"), cv.vmask([(380, 0), (500, 0.35), (560, 0.1)]), 0.6)
    # near layer: crisp angular blocks with window slits and an arch
    near_col = hexc("#2a190c")
    cv.polys([
        [(-20, 640), (-20, 150), (90, 150), (90, 120), (150, 120), (150, 150), (210, 150), (210, 640)],
        [(210, 640), (210, 300), (330, 270), (330, 640)],
        [(330, 640), (330, 360), (470, 360), (470, 640)],
        [(470, 640), (470, 430), (620, 430), (620, 640)],
        [(600, 640), (600, 500), (1220, 520), (1220, 640)],
        [(140, 120), (146, 40), (150, 40), (154, 120)],
    ], near_col, 1.0, 0.3)
    # a crane on the left
    cv.line([(260, 300), (262, 90)], 5, near_col, 1.0, 0.3)
    cv.line([(180, 100), (420, 92)], 4, near_col, 1.0, 0.3)
    cv.line([(390, 93), (390, 190)], 1.5, near_col, 1.0, 0.3)
    cv.poly([(382, 190), (398, 190), (398, 204), (382, 204)], near_col, 1.0, 0.3)
    # windows and arch cut-outs lit by the haze
    lit = hexc("#c98a44")
    wins = []
    for col in range(4):
        for row in range(6):
            if rng.random() < 0.7:
                x, y = 12 + col * 46, 190 + row * 58
                wins.append([(x, y), (x + 16, y), (x + 16, y + 30), (x, y + 30)])
    for row in range(3):
        x, y = 350 + row * 0, 390 + row * 60
        for k in range(3):
            if rng.random() < 0.75:
                wins.append([(x + k * 42, y), (x + k * 42 + 22, y), (x + k * 42 + 22, y + 10), (x + k * 42, y + 10)])
    cv.polys(wins, lit, 0.55, 0.3)
    arch = [(495, 640), (495, 520)] + [(545 + 50 * math.cos(math.radians(a)), 520 - 50 * math.sin(math.radians(a)))
                                         for a in range(180, -1, -10)] + [(595, 520), (595, 640)]
    cv.poly([(p[0], p[1]) for p in arch], cv.vgrad([(460, hexc("#e8b06a")), (640, hexc("#6a4220"))]), 0.9, 0.4)
    # dust motes
    for _ in range(120):
        x, y = rng.uniform(0, 900), rng.uniform(100, 560)
        r = rng.uniform(0.6, 1.8)
        cv.ellipse(x, y, r, r, hexc("#ffe0a0"), rng.uniform(0.2, 0.6), 0.4, mode="screen")
    return cv, (280, 360, 460), hexc("#e6a84a")


def scene_dnf(rng):
    """Side-scrolling dungeon: receding stone arcades lit by torches."""
    cv = Canvas()
    cv.fill(cv.vgrad([(0, hexc("#070914")), (300, hexc("#141a33")), (520, hexc("#1c2140")), (620, hexc("#0a0c18"))]))
    floor_y = 520

    def arch_holes(y_base, span, pillar_w, arch_h, x_off):
        holes, pillars = [], []
        x = x_off
        while x < 1260:
            l, r = x + pillar_w / 2, x + span - pillar_w / 2
            cx, rad = (l + r) / 2, (r - l) / 2
            spring = y_base - arch_h
            pts = [(l, y_base), (l, spring)]
            pts += [(cx + rad * math.cos(math.radians(a)), spring - rad * math.sin(math.radians(a))) for a in range(180, -1, -6)]
            pts += [(r, spring), (r, y_base)]
            holes.append(pts)
            pillars.append(x)
            x += span
        m = cv.mask()
        d = ImageDraw.Draw(m)
        for pts in holes:
            d.polygon(cv.P(pts), fill=255)
        return m, pillars

    def wall_with_holes(top, y_base, holes_mask, blur):
        wall = cv.mask()
        ImageDraw.Draw(wall).rectangle([0, max(0, top * cv.ss), cv.W, y_base * cv.ss], fill=255)
        wall = ImageChops.subtract(wall, holes_mask)
        if blur:
            wall = wall.filter(ImageFilter.GaussianBlur(blur * cv.ss))
        return wall

    def bricks(wall, y0, y1, course, brick, col, alpha):
        m = cv.mask()
        d = ImageDraw.Draw(m)
        for i, y in enumerate(range(int(y0), int(y1), course)):
            d.line(cv.P([(-20, y), (1220, y)]), fill=255, width=cv.ss)
            off = 0 if i % 2 else brick // 2
            for x in range(-20 + off, 1220, brick):
                d.line(cv.P([(x, y), (x, y + course)]), fill=200, width=cv.ss)
        cv.put(col, ImageChops.multiply(m, wall), alpha)

    # back arcade: openings full of pale blue fog
    cv.put(cv.vgrad([(200, hexc("#27325a")), (470, hexc("#4f6196"))]), cv.vmask([(0, 1), (470, 1), (471, 0)]))
    holes, _ = arch_holes(470, 150, 38, 140, -40)
    wall = wall_with_holes(0, 470, holes, 0.8)
    cv.put(hexc("#1b2140"), wall)
    bricks(wall, 10, 470, 22, 44, hexc("#2a3256"), 0.5)
    cv.put(hexc("#8aa0d8"), cv.vmask([(330, 0), (470, 0.3), (520, 0)]), 0.6)
    # main arcade: large dark arches, pillars carrying torches
    span = 300
    holes, pillars = arch_holes(floor_y, span, 76, 200, -90)
    wall = wall_with_holes(-20, floor_y, holes, 0.4)
    cv.put(hexc("#0e1122"), wall)
    bricks(wall, 0, floor_y, 26, 60, hexc("#1e2444"), 0.8)
    # arch rims and capitals catch the torchlight
    m = cv.mask()
    d = ImageDraw.Draw(m)
    for x in pillars:
        l, r = x + 38, x + span - 38
        cx, rad = (l + r) / 2, (r - l) / 2
        spring = floor_y - 200
        rim = [(cx + (rad + 4) * math.cos(math.radians(a)), spring - (rad + 4) * math.sin(math.radians(a))) for a in range(180, -1, -4)]
        d.line(cv.P(rim), fill=255, width=cv.ss * 3)
        d.rectangle(cv.P([(x - 46, spring - 4), (x + 46, spring + 8)]), fill=255)
    cv.put(hexc("#2c2f4e"), m, 1.0, 0.4)
    # torches
    for tx in pillars:
        strength = 1.0 if tx < 700 else 0.5
        ty = floor_y - 250
        cv.glow(tx, ty, 260, hexc("#ff7a2a"), 0.6 * strength)
        cv.poly([(tx - 7, ty + 10), (tx + 7, ty + 10), (tx + 4, ty + 40), (tx - 4, ty + 40)], hexc("#3a2412"), 1.0, 0.3)
        flame = [(tx, ty - 30), (tx + 9, ty - 5), (tx + 6, ty + 10), (tx - 6, ty + 10), (tx - 9, ty - 5)]
        cv.poly(flame, hexc("#ffb040"), strength, 1.5, mode="screen")
        cv.poly([(tx, ty - 14), (tx + 4, ty + 2), (tx, ty + 8), (tx - 4, ty + 2)], hexc("#fff0c0"), strength, 1.0, mode="screen")
    # floor with torch reflections
    cv.poly([(-20, floor_y), (1220, floor_y), (1220, 640), (-20, 640)],
            cv.vgrad([(floor_y, hexc("#23284a")), (620, hexc("#07080f"))]), 1.0, 0.3)
    m = cv.mask()
    d = ImageDraw.Draw(m)
    for y in (floor_y + 16, floor_y + 40, floor_y + 74):
        d.line(cv.P([(-20, y), (1220, y)]), fill=255, width=cv.ss)
    for k in range(-10, 30):
        x = k * 60
        d.line(cv.P([(x, floor_y), (x - 40 + (x - 400) * 0.25, 640)]), fill=150, width=cv.ss)
    cv.put(hexc("#353b68"), m, 0.5)
    for tx in pillars:
        cv.glow(tx, floor_y + 34, 140, hexc("#ff8a3a"), 0.35 if tx < 700 else 0.15, ry=26)
    # foreground: a chain hanging on the left, a dark pillar edge
    for k in range(8):
        y = k * 17 - 6
        if k % 2:
            cv.ellipse(150, y, 3, 9, hexc("#05060c"), 1.0, 0.3)
        else:
            cv.ellipse(150, y, 6, 9, hexc("#05060c"), 1.0, 0.3)
    for _ in range(40):  # embers
        x, y = rng.uniform(0, 800), rng.uniform(120, 500)
        r = rng.uniform(0.6, 1.6)
        cv.ellipse(x, y, r, r, hexc("#ffb060"), rng.uniform(0.3, 0.8), 0.3, mode="screen")
    return cv, (270, 330, 440), hexc("#ff8a3a")


def scene_pubg(rng):
    """Battle royale: rolling open fields under a drop plane's contrail."""
    cv = Canvas()
    cv.fill(cv.vgrad([(0, hexc("#3c5e82")), (200, hexc("#7f9db4")), (340, hexc("#cdbf9c")),
                      (400, hexc("#e8cf98")), (620, hexc("#e8cf98"))]))
    cv.glow(180, 360, 480, hexc("#ffd8a0"), 0.45, ry=220)
    # contrail: a straight line widening and fading behind the plane
    px, py = 470, 118
    ex, ey = 1240, 206
    for k, (w, a, b) in enumerate([(3, 0.85, 0.6), (9, 0.35, 3), (22, 0.18, 8)]):
        pts = [(px + 14, py + 1), (ex, ey)]
        rib = stroke_points([(lerp(pts[0][0], pts[1][0], t / 20), lerp(pts[0][1], pts[1][1], t / 20)) for t in range(21)],
                            lambda t, w=w: w * (0.3 + 1.7 * t))
        cv.poly(rib, hexc("#fbf6ee"), a, b, fade=cv.hmask([(px, 1.0), (ex, 0.25)]))
    # the plane
    pc = hexc("#2a3344")
    cv.poly([(px - 20, py - 1), (px + 18, py + 1), (px + 16, py + 4), (px - 20, py + 3)], pc, 1.0, 0.2)
    cv.poly([(px - 2, py + 1), (px + 10, py - 14), (px + 14, py - 14), (px + 6, py + 2)], pc, 1.0, 0.2)
    cv.poly([(px - 2, py + 2), (px + 10, py + 15), (px + 14, py + 15), (px + 6, py + 2)], pc, 1.0, 0.2)
    cv.poly([(px + 13, py), (px + 19, py - 8), (px + 21, py - 8), (px + 19, py + 1)], pc, 1.0, 0.2)
    # parachutes drifting down
    for (cx, cy, s) in [(540, 190, 7), (585, 230, 6), (620, 175, 5)]:
        pts = [(cx + s * math.cos(math.radians(a)), cy - s * 0.8 * math.sin(math.radians(a))) for a in range(0, 181, 15)]
        cv.poly(pts, hexc("#5b6578"), 0.9, 0.2)
        cv.line([(cx - s, cy), (cx, cy + s * 1.6), (cx + s, cy)], 0.6, hexc("#5b6578"), 0.8, 0)
        cv.ellipse(cx, cy + s * 1.7, 1.2, 1.6, hexc("#3b4252"), 0.9, 0)
    # rolling hills
    def hills(base, amp, col, fade_top=None, seedphase=0.0, freq=1.0):
        pts = []
        ph1, ph2 = rng.uniform(0, 6), rng.uniform(0, 6)
        for x in range(-20, 1221, 10):
            y = base - amp * (0.55 * math.sin(x / 210 * freq + ph1) + 0.35 * math.sin(x / 97 * freq + ph2) + 0.1 * math.sin(x / 41 + ph1))
            pts.append((x, y))
        cv.poly(closed_to_bottom(pts), col if fade_top is None else col, 1.0, 0.6)
        return pts

    far = hills(395, 14, cv.vgrad([(360, hexc("#8c9a86")), (420, hexc("#a9ab8a"))]))
    cv.put(hexc("#e8d8b0"), cv.vmask([(380, 0), (410, 0.4), (440, 0)]), 0.6)
    mid = hills(440, 24, cv.vgrad([(400, hexc("#6f7d45")), (500, hexc("#55632e"))]))
    # tree line and a farmhouse on the mid hill
    for _ in range(26):
        i = rng.randint(2, 60)
        x, y = mid[i]
        r = rng.uniform(6, 13)
        cv.ellipse(x, y - r * 0.8, r * 0.8, r, hexc("#3d4a24"), 1.0, 0.5)
    hx, hy = mid[38]
    cv.poly([(hx - 20, hy + 4), (hx - 20, hy - 14), (hx, hy - 28), (hx + 20, hy - 14), (hx + 20, hy + 4)], hexc("#4a3b2a"), 1.0, 0.3)
    cv.poly([(hx + 20, hy + 4), (hx + 20, hy - 10), (hx + 42, hy - 10), (hx + 42, hy + 4)], hexc("#5a4a34"), 1.0, 0.3)
    near = hills(505, 30, cv.vgrad([(460, hexc("#7d8a3c")), (620, hexc("#3f4a1e"))]), freq=0.7)
    # crop rows on the near field
    m = cv.mask()
    d = ImageDraw.Draw(m)
    for k in range(-20, 40):
        x0 = 300 + k * 24
        d.line(cv.P([(x0 * 0.35 + 200, 470), (x0 * 1.8 - 240, 700)]), fill=70, width=cv.ss * 2)
    near_mask = cv.mask()
    ImageDraw.Draw(near_mask).polygon(cv.P(closed_to_bottom(near)), fill=255)
    cv.put(hexc("#2e3816"), ImageChops.multiply(m, near_mask), 0.6, 0.5)
    # power line poles
    for (x, y, h) in [(120, 520, 90), (300, 500, 60), (430, 488, 38)]:
        cv.line([(x, y), (x, y - h)], 3 * h / 90 + 1, hexc("#2b2a22"), 1.0, 0.3)
        cv.line([(x - h * 0.18, y - h * 0.9), (x + h * 0.18, y - h * 0.9)], 2 * h / 90 + 0.8, hexc("#2b2a22"), 1.0, 0.3)
    cv.line([(120 - 16, 520 - 81), (300 - 11, 500 - 54), (430 - 7, 488 - 34)], 0.8, hexc("#2b2a22"), 0.8, 0)
    cv.line([(120 + 16, 520 - 81), (300 + 11, 500 - 54), (430 + 7, 488 - 34)], 0.8, hexc("#2b2a22"), 0.8, 0)
    return cv, (420, 300, 520), hexc("#e8cf98")


def scene_val(rng):
    """Tactical hero shooter: sharp red and teal geometric planes."""
    cv = Canvas()
    cv.fill(cv.lgrad((0, 0), hexc("#101b27"), (1200, 620), hexc("#0b121b")))
    red, teal = hexc("#ff4655"), hexc("#19d3c5")
    # large planes
    cv.poly([(-20, 80), (560, 640), (-20, 640)], cv.lgrad((0, 620), mix(red, (0, 0, 0), 0.2), (420, 260), mix(red, (16, 27, 39), 0.85)), 0.95, 0.4)
    cv.poly([(120, -20), (620, -20), (260, 520)], cv.lgrad((620, 0), mix(teal, (16, 27, 39), 0.45), (200, 480), mix(teal, (16, 27, 39), 0.95)), 0.9, 0.4)
    cv.poly([(300, 640), (700, 120), (760, 160), (420, 640)], cv.lgrad((700, 120), red, (360, 640), mix(red, (16, 27, 39), 0.7)), 0.85, 0.4)
    cv.poly([(520, 640), (820, 300), (840, 330), (600, 640)], cv.lgrad((820, 300), mix(teal, (255, 255, 255), 0.1), (560, 640), mix(teal, (16, 27, 39), 0.8)), 0.6, 0.4)
    cv.poly([(560, -20), (1220, -20), (1220, 200)], cv.lgrad((1220, 0), mix(red, (16, 27, 39), 0.75), (700, 60), mix(red, (16, 27, 39), 0.95)), 0.6, 0.6)
    cv.poly([(900, 640), (1220, 380), (1220, 640)], cv.lgrad((1220, 640), mix(teal, (16, 27, 39), 0.7), (1000, 520), mix(teal, (16, 27, 39), 0.95)), 0.6, 0.6)
    # glows along the intersection
    cv.glow(420, 360, 360, red, 0.35, mode="screen")
    cv.glow(240, 160, 300, teal, 0.25, mode="screen")
    # crisp accent lines
    for (p0, p1, col, w, a) in [((40, 620), (700, 40), red, 2.0, 0.9), ((0, 300), (520, 620), teal, 1.5, 0.8),
                                ((560, 0), (330, 620), (240, 240, 240), 1.0, 0.45), ((720, 620), (1200, 300), teal, 1.0, 0.25),
                                ((760, 0), (1200, 250), red, 1.0, 0.25)]:
        cv.line([p0, p1], w, col, a, 0.2)
        cv.line([p0, p1], w * 5, col, a * 0.4, 5, mode="screen")
    # small sharp triangles
    for _ in range(18):
        x, y = rng.uniform(40, 760), rng.uniform(40, 580)
        s = rng.uniform(6, 22)
        a = rng.uniform(0, math.tau)
        pts = [(x + s * math.cos(a + k * 2.2), y + s * math.sin(a + k * 2.2) * 0.8) for k in range(3)]
        cv.poly(pts, rng.choice([red, teal, (235, 235, 230)]), rng.uniform(0.5, 0.95), 0.2)
    # fine hatching in the top-left corner
    m = cv.mask()
    d = ImageDraw.Draw(m)
    for k in range(14):
        d.line(cv.P([(20 + k * 12, 20), (20 + k * 12 + 40, 70)]), fill=160, width=cv.ss * 2)
    cv.put((235, 235, 230), m, 0.35)
    return cv, (380, 320, 460), red


def scene_wow(rng):
    """Fantasy MMO classic: aurora curtains over frozen peaks and a still lake."""
    cv = Canvas()
    cv.fill(cv.vgrad([(0, hexc("#02050f")), (220, hexc("#08163a")), (420, hexc("#1b3158"))]))
    # stars
    m = cv.mask()
    d = ImageDraw.Draw(m)
    s = cv.ss
    for _ in range(260):
        x, y = rng.uniform(0, 1200), rng.uniform(0, 400) ** 1.0
        r = rng.choice([0.6, 0.6, 0.8, 1.0, 1.3])
        d.ellipse([(x - r) * s, (y - r) * s, (x + r) * s, (y + r) * s], fill=int(rng.uniform(90, 255)))
    cv.put(hexc("#e8f0ff"), m, 0.9, 0.2, mode="screen")

    # aurora: vertical light streaks rising from a wavy base curve
    def aurora(base_fn, height_fn, inten_fn, color, alpha, blur, seed_off):
        nz = noise1d(random.Random(seed_off), 400, 0.8)
        m = cv.mask()
        d = ImageDraw.Draw(m)
        for xi in range(cv.W):
            x = xi / cv.ss
            k = nz[int(x / 1200 * 399)]
            inten = inten_fn(x) * (0.55 + 0.45 * k)
            if inten <= 0.02:
                continue
            yb = base_fn(x)
            h = height_fn(x) * (0.8 + 0.3 * k)
            segs = 10
            for j in range(segs):
                v = int(255 * min(1.0, inten) * (1 - j / segs) ** 1.6)
                y0, y1 = yb - h * j / segs, yb - h * (j + 1) / segs
                d.line([(xi, y0 * cv.ss), (xi, y1 * cv.ss)], fill=v)
        cv.put(color, m, alpha, blur, mode="screen")

    base = lambda x: 250 + 55 * math.sin(x / 170 + 0.6) + 25 * math.sin(x / 63)
    inten = lambda x: max(0.0, 1.0 - max(0.0, x - 500) / 600) * (0.7 + 0.3 * math.sin(x / 90))
    aurora(base, lambda x: 170 + 40 * math.sin(x / 120), inten, hexc("#3dffa8"), 0.85, 2.5, seed_for("wow-a1"))
    aurora(lambda x: base(x) - 70, lambda x: 150, lambda x: inten(x) * 0.6, hexc("#8a6bff"), 0.6, 4, seed_for("wow-a2"))
    aurora(lambda x: base(x) + 6, lambda x: 30, inten, hexc("#b8ffe0"), 0.5, 1.5, seed_for("wow-a3"))
    cv.glow(300, 300, 500, hexc("#1a7a6a"), 0.35, ry=220)

    lake = 520

    def peaks(keys, col_top, col_bot, shade_col, shade_alpha, rough):
        """Snowy range through alternating peak/valley key points, with shadowed faces."""
        prof = [keys[0]]
        for (xa, ya), (xb, yb) in zip(keys, keys[1:]):
            prof += md_profile(rng, xa, xb, 3, ya, yb, rough, 0.55)[1:]
        top = min(p[1] for p in keys)
        g = cv.vgrad([(top, hexc(col_top)), (lake - 20, hexc(col_bot))])
        body = cv.poly(closed_to_bottom(prof, lake + 2), g, 1.0, 0.4)
        shade = cv.mask()
        sd = ImageDraw.Draw(shade)
        for i in range(1, len(keys) - 1):
            pk, vl = keys[i], keys[i + 1]
            if not (pk[1] < keys[i - 1][1] and pk[1] < vl[1]):
                continue
            ridge = [p for p in prof if pk[0] <= p[0] <= vl[0]]
            foot = (pk[0] + (vl[0] - pk[0]) * rng.uniform(0.3, 0.5), lake + 2)
            spine = []
            for k in range(13):
                t = k / 12
                jit = rng.uniform(-5, 5) if 0 < k < 12 else 0
                spine.append((lerp(pk[0], foot[0], t ** 0.8) + jit, lerp(pk[1], foot[1], t)))
            sd.polygon(cv.P(ridge + [(vl[0], vl[1] + (lake - vl[1]) * 0.35), (vl[0] - (vl[0] - foot[0]) * 0.3, lake + 2)]
                            + spine[::-1]), fill=255)
        cv.put(hexc(shade_col), ImageChops.multiply(shade, body), shade_alpha, 0.5)
        return prof

    far_keys = [(-20, 400), (90, 330), (200, 380), (330, 300), (450, 370), (600, 320), (720, 390),
                (850, 350), (980, 410), (1100, 380), (1220, 420)]
    peaks(far_keys, "#6f88b4", "#1e2f54", "#0d1a3a", 0.5, 14)
    cv.put(hexc("#2a4a70"), cv.vmask([(380, 0), (500, 0.5), (lake, 0.25)]), 0.55)
    near_keys = [(-20, 420), (70, 350), (150, 420), (300, 235), (430, 400), (520, 330), (600, 430),
                 (720, 410), (860, 470), (1000, 450), (1220, 490)]
    peaks(near_keys, "#b8cce6", "#22365a", "#101f40", 0.6, 10)
    # frozen lake mirroring the sky
    refl = cv.img.crop((0, (2 * lake - cv.bh) * cv.ss, cv.W, lake * cv.ss)).transpose(Image.FLIP_TOP_BOTTOM)
    refl = Image.blend(refl, Image.new("RGB", refl.size, hexc("#0a1838")), 0.55)
    refl = refl.filter(ImageFilter.GaussianBlur(1.5 * cv.ss))
    cv.img.paste(refl, (0, lake * cv.ss))
    m = cv.mask()
    d = ImageDraw.Draw(m)
    for _ in range(60):
        y = rng.uniform(lake + 4, 620)
        x = rng.uniform(-50, 1200)
        L = rng.uniform(40, 220)
        d.line(cv.P([(x, y), (x + L, y)]), fill=int(rng.uniform(40, 120)), width=cv.ss)
    cv.put(hexc("#9ac8e8"), m, 0.5, 0.3)
    cv.line([(-20, lake), (1220, lake)], 1.0, hexc("#8ab0d8"), 0.4, 0.3)
    return cv, (330, 330, 440), hexc("#3dffa8")


SCENES = {
    "jx3": scene_jx3, "lol": scene_lol, "apex": scene_apex, "la": scene_la,
    "yj": scene_yj, "ys": scene_ys, "taris": scene_taris, "cs2": scene_cs2,
    "dnf": scene_dnf, "pubg": scene_pubg, "val": scene_val, "wow": scene_wow,
}


# ---------------------------------------------------------------------------
# finishing: grain, calmer right half, tile framing and label
# ---------------------------------------------------------------------------

def add_grain(img: Image.Image, rng: random.Random, amount: float, blur: float = 0.0) -> Image.Image:
    w, h = img.size
    noise = Image.frombytes("L", (w, h), rng.randbytes(w * h))
    noise = noise.point(lambda v: int(128 + (v - 128) * amount / 128))
    if blur:
        noise = noise.filter(ImageFilter.GaussianBlur(blur))
    return ImageChops.add(img, Image.merge("RGB", (noise, noise, noise)), 1.0, -128)


def finish_background(img: Image.Image, rng: random.Random) -> Image.Image:
    w, h = img.size
    cv = Canvas(w, h, 1)
    cv.img = img.copy()
    # soften detail and pull brightness down over the right half, where the UI card sits
    soft = img.filter(ImageFilter.GaussianBlur(3.0))
    cv.img.paste(soft, (0, 0), cv.hmask([(0.5 * w, 0.0), (0.8 * w, 0.75), (w, 0.9)]))
    cv.put(UI_DARK, cv.hmask([(0.4 * w, 0.0), (w, 0.5)]))
    # gentle vignette
    cv.put(UI_DARK, cv.rgrad_mask(w * 0.4, h * 0.45, w * 0.85, [(0.0, 0.0), (0.7, 0.0), (1.25, 0.55)], ry=h * 0.95))
    return add_grain(cv.img, rng, 5, 0.6)


_font_cache: dict[int, ImageFont.FreeTypeFont] = {}


def bold_font(size: int) -> ImageFont.FreeTypeFont:
    if size not in _font_cache:
        for path in FONT_CANDIDATES:
            if Path(path).exists():
                _font_cache[size] = ImageFont.truetype(path, size)
                break
        else:
            sys.exit("gen_assets: DejaVu Sans Bold not found; apt-get install fonts-dejavu-core")
    return _font_cache[size]


def make_tile(raw: Image.Image, box, label: str, accent, rng: random.Random) -> Image.Image:
    cx, cy, side = box
    x0 = min(max(0, cx - side / 2), raw.width - side)
    y0 = min(max(0, cy - side / 2), raw.height - side)
    crop = raw.crop((int(x0), int(y0), int(x0 + side), int(y0 + side)))
    tile = crop.resize((TILE * 2, TILE * 2), Image.LANCZOS)
    cv = Canvas(TILE * 2, TILE * 2, 1)
    cv.img = tile
    S = TILE * 2
    # darken the lower part for the label
    cv.put(UI_DARK, cv.vmask([(S * 0.45, 0.0), (S * 0.78, 0.55), (S, 0.8)]))
    cv.put(UI_DARK, cv.rgrad_mask(S / 2, S / 2, S * 0.75, [(0.0, 0.0), (0.75, 0.0), (1.0, 0.35)]))
    text = label.upper()
    margin = 34
    size = 150
    font = bold_font(size)
    while size > 40:
        font = bold_font(size)
        l, t, r, b = font.getbbox(text)
        if r - l <= S - 2 * margin:
            break
        size -= 4
    l, t, r, b = font.getbbox(text)
    tx = margin - l
    ty = S - margin - b
    # accent bar above the label
    bar_y = ty + t - 34
    cv.poly([(margin + 4, bar_y), (margin + 84, bar_y), (margin + 74, bar_y + 12), (margin + 4, bar_y + 12)], accent, 1.0, 0)
    # shadow then text
    sh = Image.new("L", (S, S), 0)
    ImageDraw.Draw(sh).text((tx + 3, ty + 5), text, font=font, fill=255)
    cv.put((0, 0, 0), sh, 0.7, 6)
    tm = Image.new("L", (S, S), 0)
    ImageDraw.Draw(tm).text((tx, ty), text, font=font, fill=255)
    cv.put(cv.vgrad([(ty + t, (255, 255, 255)), (ty + b, mix((255, 255, 255), accent, 0.25))]), tm, 1.0)
    out = cv.img.resize((TILE, TILE), Image.LANCZOS)
    return add_grain(out, rng, 4, 0.5)


def save_jpeg(img: Image.Image, path: Path, quality: int):
    path.parent.mkdir(parents=True, exist_ok=True)
    img.convert("RGB").save(path, "JPEG", quality=quality, optimize=True, progressive=False)


# ---------------------------------------------------------------------------
# product mark
# ---------------------------------------------------------------------------

BLUE, ORANGE = hexc("#50aaff"), hexc("#ff8c50")
MID = hexc("#b47ce6")   # keeps the blue-to-orange blend saturated instead of grey


def rounded_square_mask(size: int, inset: float, radius: float) -> Image.Image:
    m = Image.new("L", (size, size), 0)
    ImageDraw.Draw(m).rounded_rectangle([inset, inset, size - 1 - inset, size - 1 - inset], radius=radius, fill=255)
    return m


def mark_glyph(size: int, weight: float) -> list[list[tuple[float, float]]]:
    """The bolt-shaped 'N' as polygons in pixel coordinates of a size x size canvas.

    Drawn in a 100-unit box; weight scales the stroke thickness (1.0 = normal)."""
    u = size / 100.0
    sl = 0.16  # italic slant

    k = 0.86 + 0.1 * (weight - 1.0) / 0.25  # glyph scale: larger at tiny sizes

    def P(x, y):
        x = x + (50 - y) * sl
        return ((50 + (x - 50) * k) * u, (50 + (y - 50) * k) * u)

    e = (weight - 1.0) * 6.0            # extra thickness for tiny sizes
    top, bot = 22.0, 78.0
    left_stem = [P(18 - e / 2, bot), P(18 - e / 2, top), P(32 + e / 2, top), P(32 + e / 2, bot)]
    right_stem = [P(68 - e / 2, bot), P(68 - e / 2, top), P(82 + e / 2, top), P(82 + e / 2, bot)]
    # the diagonal is a lightning bolt: two slanted bars joined by ledges that
    # jut into the letter's counters
    bolt = [
        P(18 - e / 2, top), P(33 + e / 2, top),
        P(56 + e / 2, 46), P(63 + e / 2, 46),     # ledge pointing right
        P(82 + e / 2, bot), P(67 - e / 2, bot),
        P(44 - e / 2, 54), P(37 - e / 2, 54),     # ledge pointing left
    ]
    return [left_stem, right_stem, bolt]


def draw_mark(px: int) -> Image.Image:
    """Render the mark at px x px, drawing at a large scale and reducing."""
    scale = max(4, math.ceil(1024 / px))
    S = px * scale
    small = px <= 32
    inset = S * (0.02 if px >= 64 else 0.0)
    radius = S * 0.24
    body = rounded_square_mask(S, inset, radius)
    # diagonal gradient: blue (top-left) to orange (bottom-right)
    g = Image.new("RGB", (64, 64))
    stops = [(0.0, BLUE), (0.5, MID), (1.0, ORANGE)]
    g.putdata([interp_stops(stops, smoothstep((i + j) / 126.0 * 1.15 - 0.08)) for j in range(64) for i in range(64)])
    grad = g.resize((S, S), Image.BILINEAR)
    img = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    img.paste(grad, (0, 0), body)
    # inner depth: darker lower edge and a soft top sheen
    if not small:
        shade = Image.new("L", (S, S), 0)
        ImageDraw.Draw(shade).ellipse([-S * 0.3, S * 0.55, S * 1.3, S * 1.6], fill=255)
        shade = ImageChops.multiply(shade.filter(ImageFilter.GaussianBlur(S * 0.08)), body)
        img.paste((120, 40, 40), (0, 0), shade.point(lambda v: int(v * 0.22)))
        sheen = Image.new("L", (S, S), 0)
        ImageDraw.Draw(sheen).ellipse([-S * 0.2, -S * 0.75, S * 1.2, S * 0.42], fill=255)
        sheen = ImageChops.multiply(sheen.filter(ImageFilter.GaussianBlur(S * 0.05)), body)
        img.paste((255, 255, 255), (0, 0), sheen.point(lambda v: int(v * 0.16)))
    # glyph, with a soft drop shadow for separation from the bright gradient
    weight = 1.25 if px <= 20 else 1.15 if px <= 32 else 1.0
    glyph = Image.new("L", (S, S), 0)
    gd = ImageDraw.Draw(glyph)
    for poly in mark_glyph(S, weight):
        gd.polygon(poly, fill=255)
    shadow = glyph.filter(ImageFilter.GaussianBlur(S * (0.02 if not small else 0.012)))
    shadow = ImageChops.offset(shadow, int(S * 0.012), int(S * 0.02))
    shadow = ImageChops.multiply(shadow, body)
    img.paste((20, 18, 50), (0, 0), shadow.point(lambda v: int(v * 0.55)))
    img.paste((255, 255, 255), (0, 0), glyph)
    # keep alpha strictly inside the body
    a = ImageChops.multiply(img.getchannel("A"), body)
    img.putalpha(a)
    return img.resize((px, px), Image.LANCZOS)


def png_bytes(img: Image.Image) -> bytes:
    buf = io.BytesIO()
    img.save(buf, "PNG", optimize=True)
    return buf.getvalue()


def write_ico(path: Path, images: list[Image.Image]):
    """Windows .ico with PNG-compressed entries."""
    blobs = [png_bytes(im) for im in images]
    header = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    entries = b""
    for im, blob in zip(images, blobs):
        w, h = im.size
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    path.write_bytes(header + entries + b"".join(blobs))


def check_ico(path: Path, sizes: list[int]):
    data = path.read_bytes()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, kind, count) == (0, 1, len(sizes)), (reserved, kind, count)
    for i, want in enumerate(sizes):
        w, h, colors, res, planes, bpp, size, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        assert (w or 256) == want and (h or 256) == want, (i, w, h)
        blob = data[off:off + size]
        assert blob[:8] == b"\x89PNG\r\n\x1a\n", i
        im = Image.open(io.BytesIO(blob))
        assert im.size == (want, want) and im.mode == "RGBA", (im.size, im.mode)
    with Image.open(path) as ico:  # Pillow's own reader agrees
        assert set(ico.info.get("sizes", ())) == {(s, s) for s in sizes}


def draw_tray_mark(px: int, on: bool) -> Image.Image:
    """The mark for the system tray: in colour with a green dot while accelerating, grey when idle."""
    img = draw_mark(px)
    if not on:
        grey = img.convert("LA").convert("RGBA")
        grey.putalpha(img.getchannel("A").point(lambda v: int(v * 0.85)))
        return grey
    S = px * 4
    dot = Image.new("L", (S, S), 0)
    r = S * 0.2
    cx, cy = S - r - S * 0.01, S - r - S * 0.01
    ImageDraw.Draw(dot).ellipse([cx - r, cy - r, cx + r, cy + r], fill=255)
    ring = Image.new("L", (S, S), 0)
    ImageDraw.Draw(ring).ellipse([cx - r * 1.3, cy - r * 1.3, cx + r * 1.3, cy + r * 1.3], fill=255)
    big = img.resize((S, S), Image.LANCZOS)
    # a dark ring cut around the dot keeps it apart from the mark on any panel colour
    big.paste((8, 14, 28, 255), (0, 0), ring)
    big.paste((61, 255, 168, 255), (0, 0), dot)
    return big.resize((px, px), Image.LANCZOS)


# ---------------------------------------------------------------------------

def main(argv=None) -> int:
    ap = argparse.ArgumentParser(description="Generate Nimbra's picture resources.")
    ap.add_argument("--out", type=Path, default=DEFAULT_OUT)
    ap.add_argument("--only", nargs="*", help="game codes to render (default: all); 'logo' for the mark")
    args = ap.parse_args(argv)
    out: Path = args.out
    only = set(args.only) if args.only else None

    if only is None or "logo" in only:
        out.mkdir(parents=True, exist_ok=True)
        draw_mark(256).save(out / "logo.png", "PNG", optimize=True)
        write_ico(out / "app.ico", [draw_mark(s) for s in ICO_SIZES])
        check_ico(out / "app.ico", ICO_SIZES)
        draw_tray_mark(64, True).save(out / "tray-on.png", "PNG", optimize=True)
        draw_tray_mark(64, False).save(out / "tray-off.png", "PNG", optimize=True)
        print("wrote logo.png, app.ico, tray-on.png, tray-off.png")

    for code in GAME_CODES:
        if only is not None and code not in only:
            continue
        rng = random.Random(seed_for(code))
        cv, box, accent = SCENES[code](rng)
        raw = cv.result()
        save_jpeg(finish_background(raw, random.Random(seed_for(code + "-bg"))), out / "bgs" / f"{code}.jpg", 78)
        save_jpeg(make_tile(raw, box, code, accent, random.Random(seed_for(code + "-tile"))), out / "icons" / f"{code}.jpg", 82)
        print(f"wrote {code}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
