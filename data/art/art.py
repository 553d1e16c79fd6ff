#!/usr/bin/python3
"""The game's pictures, drawn as SVG and rendered to PNG.

  art.py --out DIR --svg-dir SVGDIR [--jobs N] [--only NAME,...] [--rsvg PROGRAM]

writes SVGDIR/<name>.svg for every picture (only when its text changed), renders
DIR/<name>.png with rsvg-convert where the SVG is newer than the PNG, and writes
DIR/manifest.txt: one line per picture with its size, the suggested pivot (the point that sits
on a sprite's anchor) and, for pictures meant to stretch, the inner rectangle that stretches.
"""

import argparse
import math
import os
import random
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from svgkit import (blur_filter, circle, document, ellipse, fmt, gloss, heart_path, linear,
                    outlined, path, pts, radial, rect, shadow_filter, star_points, uid)

TITLE_FONT = "Leckerli One"

ASSETS = []


def asset(name, width, height, pivot=None, stretch=None, note=""):
    def register(fn):
        ASSETS.append(dict(name=name, width=width, height=height, draw=fn,
                           pivot=pivot if pivot else (width / 2.0, height / 2.0),
                           stretch=stretch, note=note))
        return fn
    return register


# Palette: one hue family per kind of thing, each with a light, a mid and an outline tone.
LEAF = ("#a6e36a", "#5fb53e", "#2f6b23")
LEAF_DARK = "#3f8a2c"
SKY_TOP, SKY_MID, SKY_LOW = "#3d9de4", "#86cdf5", "#e4f6ff"
GOLD = ("#fff0a0", "#ffc928", "#a86b00")
HEART = ("#ff9fb2", "#f23d63", "#9e1f3d")
WOOD = ("#d98c4a", "#9c5426", "#4f2a10")
STONE = ("#d2dae1", "#8e9ba7", "#4b5560")
BRAMBLE = ("#b05a98", "#6e2a60", "#3a1233")
SKIN = ("#ffd27a", "#f59331", "#8a4512")
INK = "#2a1a10"
CREAM = "#fff8e6"


# ---------------------------------------------------------------- sky and scenery

@asset("sky_backdrop", 768, 1024, note="sky behind everything; stretch over the window")
def sky_backdrop(w, h):
    g, sun, haze = uid("sky"), uid("sun"), uid("haze")
    defs = (linear(g, [(0, SKY_TOP), (0.55, SKY_MID), (1, SKY_LOW)])
            + radial(sun, [(0, "#fffbe0", 0.85), (0.35, "#fff6c8", 0.35), (1, "#fff6c8", 0)],
                     cx=0.82, cy=0.06, r=0.55)
            + radial(haze, [(0, "#ffffff", 0.5), (1, "#ffffff", 0)], cx=0.5, cy=1.0, r=0.7))
    body = (rect(0, 0, w, h, extra='fill="url(#%s)"' % g)
            + rect(0, 0, w, h, extra='fill="url(#%s)"' % sun)
            + rect(0, 0, w, h, extra='fill="url(#%s)"' % haze))
    return document(w, h, body, defs)


def puff_cluster(cx, cy, s, rng):
    """Circles of one soft cloud, flat underneath."""
    shapes = []
    n = rng.randint(4, 6)
    for i in range(n):
        t = (i + 0.5) / n
        x = cx + (t - 0.5) * 2.2 * s
        r = s * (0.42 + 0.38 * math.sin(math.pi * t)) * rng.uniform(0.85, 1.1)
        shapes.append(circle(x, cy - r * 0.35, r))
    shapes.append(rect(cx - 1.15 * s, cy - 0.2 * s, 2.3 * s, 0.45 * s, rx=0.22 * s))
    return "".join(shapes)


@asset("nuages_tile", 512, 512, note="thin cloud layer; tiles in both directions")
def nuages_tile(w, h):
    rng = random.Random(7)
    body = []
    for layer, (count, size, opacity) in enumerate([(5, 46, 0.24), (4, 70, 0.18)]):
        shapes = []
        for i in range(count):
            cx, cy = rng.uniform(0, w), (i + rng.uniform(0.1, 0.9)) * h / count
            cloud = puff_cluster(0, 0, size * rng.uniform(0.8, 1.2), rng)
            for dx in (-w, 0, w):
                for dy in (-h, 0, h):
                    shapes.append('<g transform="translate(%s %s)">%s</g>'
                                  % (fmt(cx + dx), fmt(cy + dy), cloud))
        body.append('<g fill="#ffffff" opacity="%s">%s</g>' % (fmt(opacity), "".join(shapes)))
    return document(w, h, "".join(body))


CLOUD_LOOKS = {
    1: (300, 150, 11),
    2: (240, 120, 5),
    3: (360, 170, 23),
}


def big_cloud(w, h, seed):
    rng = random.Random(seed)
    pad = 5.0
    base = h - pad - 4
    belly = h * 0.34
    shapes = [rect(pad + 4, base - belly, w - 2 * pad - 8, belly, rx=belly / 2)]
    n = 4 if w < 280 else 5
    for i in range(n):
        t = (i + 0.5) / n
        bump = math.sin(math.pi * t)
        r = (h * 0.16 + h * 0.2 * bump) * rng.uniform(0.92, 1.05)
        x = pad + r + (w - 2 * pad - 2 * r) * t
        top = pad + 2 + (h - 2 * pad) * 0.42 * (1 - bump) + rng.uniform(0, 6)
        shapes.append(circle(x, top + r, r))
    shapes = "".join(shapes)
    fill, clip = uid("cf"), uid("cc")
    defs = (linear(fill, [(0, "#ffffff"), (0.55, "#f8fcff"), (1, "#d5e8f6")], 0, 0, 0, h,
                   units="user")
            + '<clipPath id="%s">%s</clipPath>' % (clip, shapes))
    body = (outlined(shapes, "url(#%s)" % fill, "#a9cde9", 2.5)
            + '<g clip-path="url(#%s)">' % clip
            + ellipse(w * 0.5, base + 2, w * 0.48, h * 0.16, 'fill="#bcd8ee" opacity="0.6"')
            + ellipse(w * 0.36, h * 0.36, w * 0.16, h * 0.07, 'fill="#ffffff" opacity="0.95"')
            + "</g>")
    return document(w, h, body, defs)


for _look, (_w, _h, _seed) in CLOUD_LOOKS.items():
    asset("nuage_%d" % _look, _w, _h, note="cloud look %d of 3 (brush frame %d)" % (_look, _look - 1))(
        lambda w, h, s=_seed: big_cloud(w, h, s))


@asset("fade_bas", 1024, 240, pivot=(512, 240),
       note="cloud bank along the bottom of the window; pivot at its bottom middle")
def fade_bas(w, h):
    g = uid("fb")
    defs = linear(g, [(0, "#ffffff", 0), (0.55, "#ffffff", 0.35), (1, "#ffffff", 0.85)])
    rng = random.Random(3)
    shapes = []
    x = -30
    while x < w + 60:
        r = rng.uniform(40, 75)
        shapes.append(circle(x, h - r * 0.55 + rng.uniform(0, 12), r))
        x += r * 1.3
    shapes.append(rect(0, h - 40, w, 40))
    # A paler row of puffs behind the front row gives the bank some depth.
    back = "".join(circle(60 + i * 150.0, h - 46, (60 + 20 * math.sin(i)) * 0.8)
                   for i in range(8))
    body = (rect(0, 0, w, h, extra='fill="url(#%s)"' % g)
            + '<g fill="#ffffff" opacity="0.55">%s</g>' % back
            + '<g fill="#ffffff" opacity="0.92">%s</g>' % "".join(shapes))
    return document(w, h, body, defs)


def stalk_x(y, cx):
    return cx + 5 * math.sin(2 * math.pi * y / 512.0)


def small_leaf(x, y, angle, size):
    """A small heart-shaped bean leaf whose stem starts at (x, y)."""
    s = size
    d = ("M0,0 C%s,%s %s,%s %s,0 C%s,%s %s,%s 0,0 Z"
         % (fmt(s * 0.3), fmt(-s * 0.55), fmt(s * 1.0), fmt(-s * 0.5), fmt(s * 1.15),
            fmt(s * 1.0), fmt(s * 0.5), fmt(s * 0.3), fmt(s * 0.55)))
    vein = "M%s,0 L%s,0" % (fmt(s * 0.12), fmt(s * 0.95))
    return ('<g transform="translate(%s %s) rotate(%s)">' % (fmt(x), fmt(y), fmt(angle))
            + path(d, 'fill="%s" stroke="%s" stroke-width="3" stroke-linejoin="round"'
                   % (LEAF[1], LEAF[2]))
            + path("M%s,%s C%s,%s %s,%s %s,%s" % (fmt(s * 0.2), fmt(-s * 0.12), fmt(s * 0.45),
                                               fmt(-s * 0.36), fmt(s * 0.8), fmt(-s * 0.3),
                                               fmt(s * 0.95), fmt(-s * 0.08)),
                   'fill="none" stroke="%s" stroke-width="3" stroke-linecap="round" opacity="0.7"'
                   % LEAF[0])
            + path(vein, 'stroke="%s" stroke-width="2" opacity="0.6" fill="none"' % LEAF[2])
            + "</g>")


def tendril(x, y, direction, size):
    d = direction
    return path("M%s,%s c%s,%s %s,%s %s,%s s%s,%s %s,%s s%s,%s %s,%s"
                % (fmt(x), fmt(y), fmt(d * size * 0.5), fmt(-size * 0.2), fmt(d * size * 0.9),
                   fmt(-size * 0.1), fmt(d * size), fmt(-size * 0.45), fmt(-d * size * 0.25),
                   fmt(-size * 0.55), fmt(-d * size * 0.35), fmt(-size * 0.25),
                   fmt(d * size * 0.15), fmt(size * 0.2), fmt(d * size * 0.2), fmt(size * 0.05)),
                'fill="none" stroke="%s" stroke-width="4" stroke-linecap="round"' % LEAF_DARK)


@asset("haricot", 160, 512, pivot=(80, 0),
       note="beanstalk; tiles vertically with a period of 512 px; stalk centred at x 80, 34 px wide")
def haricot(w, h):
    cx = 80.0
    ys = [y * 4.0 for y in range(-16, 144)]
    stalk = " ".join("%s%s,%s" % ("M" if i == 0 else "L", fmt(stalk_x(y, cx)), fmt(y))
                     for i, y in enumerate(ys))
    hl = " ".join("%s%s,%s" % ("M" if i == 0 else "L", fmt(stalk_x(y, cx) - 8), fmt(y))
                  for i, y in enumerate(ys))
    # The vine winds round the stalk twice per tile: the runs behind are drawn first.
    behind, front = [], []
    run, side = [], None
    for y in [v * 2.0 for v in range(-40, 300)]:
        phase = 2 * math.pi * y / 256.0
        x = stalk_x(y, cx) + 18 * math.sin(phase)
        s = math.cos(phase) >= 0
        if side is None:
            side = s
        if s != side:
            run.append((x, y))
            (front if side else behind).append(run)
            run, side = [(x, y)], s
        else:
            run.append((x, y))
    (front if side else behind).append(run)

    def vine(runs, light):
        out = []
        for r in runs:
            d = "M" + " L".join("%s,%s" % (fmt(x), fmt(y)) for x, y in r)
            out.append(path(d, 'fill="none" stroke="%s" stroke-width="16" stroke-linecap="round"'
                            % LEAF[2]))
            out.append(path(d, 'fill="none" stroke="%s" stroke-width="10" stroke-linecap="round"'
                            % (LEAF[0] if light else LEAF_DARK)))
        return "".join(out)

    # Leaves close to an edge are drawn once more a period away, so the seam matches.
    wrapped = []
    for dy, towards, ang, size in ((70, 1, -30, 34), (200, -1, 200, 30), (330, 1, -15, 28),
                                   (450, -1, 215, 34)):
        for shift in (-512, 0, 512):
            y = dy + shift
            x = stalk_x(y, cx) + towards * 14
            wrapped.append(small_leaf(x, y, ang, size))
            wrapped.append(tendril(x - towards * 4, y + 30, towards, 16))
    body = (vine(behind, False)
            + path(stalk, 'fill="none" stroke="%s" stroke-width="38"' % LEAF[2])
            + path(stalk, 'fill="none" stroke="%s" stroke-width="30"' % LEAF[1])
            + path(hl, 'fill="none" stroke="%s" stroke-width="7" opacity="0.8"' % LEAF[0])
            + "".join(path("M%s,%s q8,6 16,0" % (fmt(stalk_x(y, cx) - 6), fmt(y)),
                           'fill="none" stroke="%s" stroke-width="2.5" opacity="0.5"' % LEAF[2])
                      for y in range(20, 512, 64))
            + "".join(wrapped)
            + vine(front, True))
    return document(w, h, body)


def bean_leaf(w, h, mirror):
    """A broad leaf whose stem reaches the right edge (mirrored: the left edge)."""
    sx = w / 256.0
    sy = h / 96.0
    P = lambda x, y: "%s,%s" % (fmt(x * sx), fmt(y * sy))
    d = ("M%s C%s %s %s C%s %s %s C%s %s %s C%s %s %s Z"
         % (P(228, 46), P(218, 12), P(170, 3), P(122, 7), P(72, 12), P(32, 30), P(6, 50),
            P(30, 68), P(72, 90), P(126, 89), P(182, 88), P(220, 80), P(228, 46)))
    rib = "M%s C%s %s %s" % (P(228, 46), P(170, 42), P(90, 44), P(14, 52))
    g, clip = uid("lf"), uid("lc")
    defs = (linear(g, [(0, LEAF[0]), (0.5, LEAF[1]), (1, "#46972f")])
            + '<clipPath id="%s">%s</clipPath>' % (clip, path(d)))
    veins = []
    for x in (196, 166, 136, 106, 78, 52):
        y = 44 + (228 - x) * 0.03
        veins.append("M%s Q%s %s" % (P(x, y), P(x - 16, y - 14), P(x - 34, y - 24)))
        veins.append("M%s Q%s %s" % (P(x, y + 1), P(x - 16, y + 14), P(x - 32, y + 24)))
    stem = "M%s L%s" % (P(220, 46), P(256, 44))
    body = (
        path(stem, 'stroke="%s" stroke-width="%s" stroke-linecap="round"' % (LEAF[2], fmt(16 * sy)))
        + path(stem, 'stroke="%s" stroke-width="%s" stroke-linecap="round"' % (LEAF[1], fmt(8 * sy)))
        + path(d, 'fill="%s" stroke="%s" stroke-width="9" stroke-linejoin="round"'
               % (LEAF[2], LEAF[2]))
        + path(d, 'fill="url(#%s)"' % g)
        + '<g clip-path="url(#%s)">' % clip
        + ellipse(128 * sx, 96 * sy, 130 * sx, 20 * sy, 'fill="#2f7a24" opacity="0.35"')
        + path("M%s C%s %s %s" % (P(200, 14), P(160, 6), P(100, 8), P(48, 30)),
               'fill="none" stroke="#ffffff" stroke-width="7" stroke-linecap="round" '
               'opacity="0.4"')
        + path(" ".join(veins), 'fill="none" stroke="%s" stroke-width="2.5" '
               'stroke-linecap="round" opacity="0.5"' % LEAF[2])
        + "</g>"
        + path(rib, 'fill="none" stroke="%s" stroke-width="4" stroke-linecap="round" '
               'opacity="0.75"' % LEAF[2])
    )
    if mirror:
        body = '<g transform="translate(%d 0) scale(-1 1)">%s</g>' % (w, body)
    return document(w, h, body, defs)


@asset("feuille_g", 256, 96, pivot=(128, 48),
       note="leaf on the left of the stalk; its stem ends at the right edge")
def feuille_g(w, h):
    return bean_leaf(w, h, False)


@asset("feuille_d", 256, 96, pivot=(128, 48),
       note="leaf on the right of the stalk; its stem ends at the left edge")
def feuille_d(w, h):
    return bean_leaf(w, h, True)


# ---------------------------------------------------------------- the character

def character(extra_defs):
    """The hero, a round sprout in a 128 x 144 box, arms up as it climbs."""
    body_g, belly_g = uid("pb"), uid("pbl")
    extra_defs.append(radial(body_g, [(0, "#ffe9a6"), (0.45, SKIN[0]), (0.85, SKIN[1]),
                                      (1, "#e07a1c")], cx=0.4, cy=0.32, r=0.75))
    extra_defs.append(linear(belly_g, [(0, "#fff3cf", 0.0), (1, "#fff3cf", 0.85)]))
    o = 'stroke="%s" stroke-width="5" stroke-linejoin="round"' % SKIN[2]
    sprout = (
        path("M64,40 C62,30 66,22 65,14", 'fill="none" stroke="%s" stroke-width="9" '
             'stroke-linecap="round"' % LEAF[2])
        + path("M64,40 C62,30 66,22 65,14", 'fill="none" stroke="%s" stroke-width="4" '
               'stroke-linecap="round"' % LEAF[1])
        + path("M65,16 C56,2 36,0 26,10 C36,20 54,22 65,16 Z",
               'fill="%s" stroke="%s" stroke-width="4" stroke-linejoin="round"' % (LEAF[1], LEAF[2]))
        + path("M65,16 C76,0 98,0 106,8 C96,20 76,22 65,16 Z",
               'fill="%s" stroke="%s" stroke-width="4" stroke-linejoin="round"' % (LEAF[1], LEAF[2]))
        + path("M60,12 C50,7 40,7 33,10", 'fill="none" stroke="%s" stroke-width="3" '
               'stroke-linecap="round" opacity="0.9"' % LEAF[0])
        + path("M70,11 C80,5 92,5 99,8", 'fill="none" stroke="%s" stroke-width="3" '
               'stroke-linecap="round" opacity="0.9"' % LEAF[0])
    )
    limbs = (
        ellipse(0, 0, 9, 15, 'transform="translate(18 92) rotate(-58)" fill="%s" %s'
                % (SKIN[1], o))
        + ellipse(0, 0, 9, 15, 'transform="translate(110 92) rotate(58)" fill="%s" %s'
                  % (SKIN[1], o))
        + ellipse(49, 132, 13, 9, 'fill="%s" %s' % (SKIN[1], o))
        + ellipse(79, 132, 13, 9, 'fill="%s" %s' % (SKIN[1], o))
    )
    face = (
        ellipse(64, 108, 27, 19, 'fill="url(#%s)"' % belly_g)
        + ellipse(48, 78, 12, 14, 'fill="#ffffff" stroke="%s" stroke-width="3"' % INK)
        + ellipse(80, 78, 12, 14, 'fill="#ffffff" stroke="%s" stroke-width="3"' % INK)
        + circle(49, 74, 7.5, 'fill="%s"' % INK)
        + circle(81, 74, 7.5, 'fill="%s"' % INK)
        + circle(46.5, 71, 2.8, 'fill="#ffffff"')
        + circle(78.5, 71, 2.8, 'fill="#ffffff"')
        + circle(52, 77, 1.4, 'fill="#ffffff"')
        + circle(84, 77, 1.4, 'fill="#ffffff"')
        + path("M39,58 Q47,53 55,57", 'fill="none" stroke="%s" stroke-width="3.5" '
               'stroke-linecap="round"' % SKIN[2])
        + path("M73,57 Q81,53 89,58", 'fill="none" stroke="%s" stroke-width="3.5" '
               'stroke-linecap="round"' % SKIN[2])
        + ellipse(33, 95, 8, 5, 'fill="#ff6f7f" opacity="0.55"')
        + ellipse(95, 95, 8, 5, 'fill="#ff6f7f" opacity="0.55"')
        + path("M53,97 Q64,101 75,97 Q73,112 64,112 Q55,112 53,97 Z",
               'fill="#8c2a1e" stroke="%s" stroke-width="3" stroke-linejoin="round"' % INK)
        + path("M57,106 Q64,101 71,106 Q68,111 64,111 Q60,111 57,106 Z", 'fill="#ff8fa0"')
    )
    gl_defs, gl = gloss(52, 60, 22, 11, 0.7)
    extra_defs.append(gl_defs)
    return (limbs + sprout
            + circle(64, 88, 46, 'fill="url(#%s)" %s' % (body_g, o))
            + gl + face)


@asset("perso", 128, 144, pivot=(64, 88),
       note="the hero; pivot at the centre of its round body")
def perso(w, h):
    defs = []
    body = character(defs)
    return document(w, h, body, "".join(defs))


@asset("persohud", 64, 64, note="the hero's head for the HUD")
def persohud(w, h):
    defs = []
    clip, plate = uid("hc"), uid("hp")
    defs.append('<clipPath id="%s">%s</clipPath>' % (clip, circle(32, 32, 27)))
    defs.append(linear(plate, [(0, "#bfe8ff"), (1, "#6cbbef")]))
    hero = character(defs)
    body = (circle(32, 32, 29, 'fill="#ffffff" stroke="#1f4f7a" stroke-width="3"')
            + circle(32, 32, 27, 'fill="url(#%s)"' % plate)
            + '<g clip-path="url(#%s)"><g transform="translate(32 46) scale(0.56) '
              'translate(-64 -82)">%s</g></g>' % (clip, hero)
            + circle(32, 32, 27, 'fill="none" stroke="#ffffff" stroke-width="2.5"'))
    return document(w, h, body, "".join(defs))


# ---------------------------------------------------------------- drops

def coin(cx, cy, r, defs):
    g, rim = uid("cg"), uid("cr")
    defs.append(radial(g, [(0, GOLD[0]), (0.55, GOLD[1]), (1, "#e89a00")], cx=0.38, cy=0.3,
                       r=0.8))
    defs.append(linear(rim, [(0, "#ffd84a"), (1, "#c07a00")]))
    sw = max(2.0, r / 9.0)
    s = r / 32.0
    emblem = ('<g transform="translate(%s %s) scale(%s)">' % (fmt(cx), fmt(cy), fmt(s))
              + path("M0,-15 C11,-12 15,-2 11,8 C7,14 2,16 0,17 C-2,16 -7,14 -11,8 "
                     "C-15,-2 -11,-12 0,-15 Z",
                     'fill="#e9a300" stroke="#b37400" stroke-width="2.5" stroke-linejoin="round"')
              + path("M0,-11 L0,13", 'stroke="#b37400" stroke-width="2.5" stroke-linecap="round"')
              + path("M0,-1 L6,-6 M0,6 L-6,1", 'stroke="#b37400" stroke-width="2" '
                     'stroke-linecap="round"')
              + path("M-6,-9 C-3,-12 2,-12 4,-11", 'fill="none" stroke="#fff3b0" '
                     'stroke-width="2" stroke-linecap="round"')
              + "</g>")
    gd, gl = gloss(cx - r * 0.15, cy - r * 0.45, r * 0.6, r * 0.32, 0.75)
    defs.append(gd)
    return (circle(cx, cy + r * 0.1, r, 'fill="%s" stroke="%s" stroke-width="%s"'
                   % ("#c98400", GOLD[2], fmt(sw)))
            + circle(cx, cy, r, 'fill="url(#%s)" stroke="%s" stroke-width="%s"'
                     % (g, GOLD[2], fmt(sw)))
            + circle(cx, cy, r * 0.72, 'fill="none" stroke="#e8a400" stroke-width="%s"'
                     % fmt(sw * 0.9))
            + emblem + gl)


def sparkle(cx, cy, size, colour="#ffffff", opacity=1.0):
    return path("M" + " L".join("%s,%s" % (fmt(x), fmt(y))
                                for x, y in star_points(cx, cy, 4, size, size * 0.28)) + " Z",
                'fill="%s" opacity="%s"' % (colour, fmt(opacity)))


@asset("piece", 72, 72, note="coin (drop kind 1)")
def piece(w, h):
    defs = []
    body = coin(35, 34, 30, defs) + sparkle(56, 14, 9)
    return document(w, h, body, "".join(defs))


@asset("hud_coin", 52, 52, note="coin icon beside the HUD's coin count")
def hud_coin(w, h):
    defs = []
    return document(w, h, coin(26, 25, 22, defs), "".join(defs))


@asset("coeur", 80, 72, note="heart (drop kind 0): seven seconds of protection")
def coeur(w, h):
    g, glow = uid("hg"), uid("hgl")
    defs = (radial(g, [(0, HEART[0]), (0.55, "#ff5e7e"), (1, "#d42a50")], cx=0.35, cy=0.3, r=0.8)
            + radial(glow, [(0, "#ffd0dc", 0.8), (0.6, "#ffb3c6", 0.35), (1, "#ffb3c6", 0)]))
    gd, gl = gloss(30, 22, 14, 8, 0.8)
    hp = heart_path(40, 38, 64, 58)
    body = (ellipse(40, 36, 40, 36, 'fill="url(#%s)"' % glow)
            + path(heart_path(40, 41, 64, 58), 'fill="#a8213f"')
            + path(hp, 'fill="url(#%s)" stroke="%s" stroke-width="4.5" stroke-linejoin="round"'
                   % (g, HEART[2]))
            + gl + circle(22, 24, 3.2, 'fill="#ffffff"') + sparkle(60, 16, 7))
    return document(w, h, body, defs + gd)


@asset("coffre", 104, 88, note="treasure chest (drop kind 2): ten coins")
def coffre(w, h):
    wood, lid, band = uid("wd"), uid("wl"), uid("bd")
    defs = (linear(wood, [(0, WOOD[0]), (1, WOOD[1])])
            + linear(lid, [(0, "#eaa265"), (1, "#b8692f")])
            + linear(band, [(0, "#ffe680"), (1, "#e0a100")]))
    o = 'stroke="%s" stroke-width="4" stroke-linejoin="round"' % WOOD[2]
    ob = 'stroke="%s" stroke-width="3" stroke-linejoin="round"' % GOLD[2]
    gd, gl = gloss(44, 20, 28, 6, 0.6)
    body = (
        rect(8, 42, 88, 40, 8, 'fill="url(#%s)" %s' % (wood, o))
        + path("M8,44 L8,32 C8,12 96,12 96,32 L96,44 Z", 'fill="url(#%s)" %s' % (lid, o))
        + path("M12,60 L92,60 M12,72 L92,72", 'stroke="%s" stroke-width="2" opacity="0.45"'
               % WOOD[2])
        + path("M16,30 C20,22 40,18 52,18", 'fill="none" stroke="#ffffff" stroke-width="3" '
               'stroke-linecap="round" opacity="0.35"')
        + rect(20, 16, 11, 66, 3, 'fill="url(#%s)" %s' % (band, ob))
        + rect(73, 16, 11, 66, 3, 'fill="url(#%s)" %s' % (band, ob))
        + rect(6, 39, 92, 9, 4, 'fill="url(#%s)" %s' % (band, ob))
        + rect(42, 36, 20, 24, 5, 'fill="url(#%s)" %s' % (band, ob))
        + circle(52, 46, 3.6, 'fill="%s"' % WOOD[2])
        + path("M50.5,47 L49.5,54 L54.5,54 L53.5,47 Z", 'fill="%s"' % WOOD[2])
        + "".join(circle(x, y, 1.8, 'fill="%s"' % GOLD[2]) for x, y in
                  ((25.5, 24), (25.5, 74), (78.5, 24), (78.5, 74)))
        + gl + sparkle(90, 14, 9) + sparkle(14, 20, 5, opacity=0.9))
    return document(w, h, body, defs + gd)


def smooth_closed(points):
    """A closed path through the midpoints of a polygon, rounding every corner."""
    n = len(points)
    mids = [((points[i][0] + points[(i + 1) % n][0]) / 2, (points[i][1] + points[(i + 1) % n][1]) / 2)
            for i in range(n)]
    d = "M%s,%s" % (fmt(mids[-1][0]), fmt(mids[-1][1]))
    for i in range(n):
        d += " Q%s,%s %s,%s" % (fmt(points[i][0]), fmt(points[i][1]), fmt(mids[i][0]),
                                fmt(mids[i][1]))
    return d + " Z"


@asset("pierre", 96, 84, note="stone (drop kind 3): an obstacle")
def pierre(w, h):
    rng = random.Random(21)
    poly = []
    for i in range(9):
        a = 2 * math.pi * i / 9 - math.pi / 2
        rx, ry = 43 * rng.uniform(0.88, 1.0), 37 * rng.uniform(0.86, 1.0)
        poly.append((48 + rx * math.cos(a), 43 + ry * math.sin(a)))
    d = smooth_closed(poly)
    g, clip = uid("sg"), uid("sc")
    defs = (radial(g, [(0, STONE[0]), (0.6, "#a7b3be"), (1, STONE[1])], cx=0.38, cy=0.3, r=0.8)
            + '<clipPath id="%s">%s</clipPath>' % (clip, path(d)))
    body = (
        path(d, 'fill="url(#%s)" stroke="%s" stroke-width="5" stroke-linejoin="round"'
             % (g, STONE[2]))
        + '<g clip-path="url(#%s)">' % clip
        + ellipse(54, 86, 50, 22, 'fill="#5d6a76" opacity="0.35"')
        + path("M18,36 Q26,14 50,10 Q34,22 30,40 Z", 'fill="#ffffff" opacity="0.35"')
        + "</g>"
        + path("M58,22 L52,34 L60,42 L55,52", 'fill="none" stroke="%s" stroke-width="3" '
               'stroke-linecap="round" stroke-linejoin="round" opacity="0.7"' % STONE[2])
        + path("M28,56 L38,60 L44,68", 'fill="none" stroke="%s" stroke-width="2.5" '
               'stroke-linecap="round" stroke-linejoin="round" opacity="0.6"' % STONE[2])
        + ellipse(70, 12, 12, 5, 'fill="#79b850" stroke="#3f7a2a" stroke-width="2"')
        + circle(64, 11, 4, 'fill="#8fcc5e"')
        + circle(76, 10, 3.5, 'fill="#8fcc5e"'))
    return document(w, h, body, defs)


@asset("piquants", 104, 104, note="bramble burr with thorns (drop kind 4): an obstacle")
def piquants(w, h):
    cx, cy = 52.0, 53.0
    thorn_g, ball = uid("tg"), uid("bg")
    defs = (linear(thorn_g, [(0, "#fff1c4"), (1, "#d9b56e")])
            + radial(ball, [(0, BRAMBLE[0]), (0.6, "#8c3a7c"), (1, BRAMBLE[1])], cx=0.38,
                     cy=0.32, r=0.8))
    thorns = []
    for i in range(12):
        a = 2 * math.pi * i / 12 + 0.13
        tip = (cx + 49 * math.cos(a), cy + 48 * math.sin(a))
        b1 = (cx + 30 * math.cos(a - 0.24), cy + 30 * math.sin(a - 0.24))
        b2 = (cx + 30 * math.cos(a + 0.24), cy + 30 * math.sin(a + 0.24))
        thorns.append("M%s,%s L%s,%s L%s,%s Z" % (fmt(b1[0]), fmt(b1[1]), fmt(tip[0]),
                                               fmt(tip[1]), fmt(b2[0]), fmt(b2[1])))
    drupes = []
    for ring, (r0, n) in enumerate(((22, 9), (11, 5))):
        for i in range(n):
            a = 2 * math.pi * i / n + ring * 0.3
            drupes.append(circle(cx + r0 * math.cos(a), cy + r0 * math.sin(a), 9.5,
                                 'fill="url(#%s)" stroke="%s" stroke-width="1.5" opacity="0.55"'
                                 % (ball, BRAMBLE[2])))
    gd, gl = gloss(44, 34, 16, 8, 0.55)
    body = (
        path(" ".join(thorns), 'fill="url(#%s)" stroke="#5a3a1a" stroke-width="3" '
             'stroke-linejoin="round"' % thorn_g)
        + circle(cx, cy, 33, 'fill="url(#%s)" stroke="%s" stroke-width="4.5"' % (ball, BRAMBLE[2]))
        + "".join(drupes) + gl
        + ellipse(42, 52, 8, 9, 'fill="#ffffff" stroke="%s" stroke-width="2"' % INK)
        + ellipse(62, 52, 8, 9, 'fill="#ffffff" stroke="%s" stroke-width="2"' % INK)
        + circle(43.5, 54, 4.2, 'fill="%s"' % INK)
        + circle(60.5, 54, 4.2, 'fill="%s"' % INK)
        + path("M33,41 L49,46 M71,41 L55,46", 'stroke="%s" stroke-width="4" '
               'stroke-linecap="round"' % INK)
        + path("M44,68 Q52,62 60,68", 'fill="none" stroke="%s" stroke-width="3.5" '
               'stroke-linecap="round"' % INK))
    return document(w, h, body, defs + gd)


# ---------------------------------------------------------------- effects

@asset("tap_circle", 128, 128, note="ring shown where the player taps; grows and fades")
def tap_circle(w, h):
    f, fill = uid("tb"), uid("tf")
    defs = (blur_filter(f, 3)
            + radial(fill, [(0, "#ffffff", 0), (0.75, "#ffffff", 0.12), (1, "#ffffff", 0.35)]))
    body = (circle(64, 64, 52, 'fill="none" stroke="#bfe6ff" stroke-width="12" opacity="0.8" '
                   'filter="url(#%s)"' % f)
            + circle(64, 64, 52, 'fill="url(#%s)" stroke="#ffffff" stroke-width="7"' % fill))
    return document(w, h, body, defs)


@asset("particle_heart", 40, 36, note="particle of the heart catch")
def particle_heart(w, h):
    g = uid("ph")
    defs = radial(g, [(0, "#ffe3ea"), (0.5, "#ff8fa8"), (1, "#f2476c")], cx=0.35, cy=0.3, r=0.8)
    body = (path(heart_path(20, 18, 34, 31), 'fill="url(#%s)" stroke="#ffffff" '
                 'stroke-width="2" stroke-linejoin="round"' % g)
            + ellipse(13, 11, 5, 3, 'fill="#ffffff" opacity="0.8"'))
    return document(w, h, body, defs)


@asset("particle_sparkle", 40, 40, note="particle of the coin and chest catch")
def particle_sparkle(w, h):
    g, glow = uid("ps"), uid("pg")
    defs = (radial(g, [(0, "#ffffff"), (0.35, "#fff6b0"), (1, "#ffc21a")])
            + radial(glow, [(0, "#fff3a0", 0.7), (1, "#fff3a0", 0)]))
    pts4 = star_points(20, 20, 4, 19, 5)
    body = (circle(20, 20, 14, 'fill="url(#%s)"' % glow)
            + path("M" + " L".join("%s,%s" % (fmt(x), fmt(y)) for x, y in pts4) + " Z",
                   'fill="url(#%s)"' % g))
    return document(w, h, body, defs)


@asset("particle_glow", 32, 32, note="soft round particle, white: tint it with the emitter colour")
def particle_glow(w, h):
    g = uid("gl")
    defs = radial(g, [(0, "#ffffff", 1), (0.4, "#ffffff", 0.6), (1, "#ffffff", 0)])
    return document(w, h, circle(16, 16, 16, 'fill="url(#%s)"' % g), defs)


# ---------------------------------------------------------------- buttons

BUTTONS = {
    # name: (size, light, mid, lip, outline)
    "play": ("#a8f070", "#42b336", "#2b8a2a", "#1d5c1d"),
    "jukebox": ("#d9b0ff", "#8c52e6", "#6232b0", "#3c1d70"),
    "web": ("#9ad9ff", "#2d93e6", "#1f66b0", "#133f70"),
    "volume": ("#ffe38a", "#f7a21e", "#c06d08", "#7a4204"),
    "close": ("#ffa3a3", "#e8424a", "#b0222c", "#6e1119"),
    "share": ("#ffb8d6", "#f0508f", "#b82c66", "#701538"),
    "scores": ("#fff0a0", "#f5b800", "#c08300", "#7a4f00"),
    "jukebox_nav": ("#9cf5e2", "#1fb89f", "#15877a", "#0c524a"),
}


def icon(kind):
    """White icons in a 100-wide box centred on the origin."""
    w = 'fill="#ffffff"'
    sw = lambda n: 'fill="none" stroke="#ffffff" stroke-width="%d" stroke-linecap="round" ' \
                   'stroke-linejoin="round"' % n
    if kind == "play":
        return path("M-11,-22 L23,0 L-11,22 Z", w + ' stroke="#ffffff" stroke-width="10" '
                    'stroke-linejoin="round"')
    if kind == "note":
        return (ellipse(0, 0, 10, 7.5, 'transform="translate(-14 17) rotate(-22)" ' + w)
                + ellipse(0, 0, 10, 7.5, 'transform="translate(16 11) rotate(-22)" ' + w)
                + path("M-5.5,15 L-5.5,-18 M24.5,9 L24.5,-24", sw(6))
                + path("M-5.5,-20 L24.5,-27 L24.5,-16 L-5.5,-9 Z", w))
    if kind == "globe":
        return (circle(0, 0, 25, sw(6)) + ellipse(0, 0, 11, 25, sw(5))
                + path("M-25,0 L25,0 M-21,-12 Q0,-8 21,-12 M-21,12 Q0,8 21,12", sw(5)))
    if kind in ("volume_on", "volume_off"):
        speaker = path("M-25,-9 L-13,-9 L3,-23 L3,23 L-13,9 L-25,9 Z",
                       w + ' stroke="#ffffff" stroke-width="5" stroke-linejoin="round"')
        if kind == "volume_on":
            return speaker + path("M13,-10 Q20,0 13,10 M20,-19 Q33,0 20,19", sw(6))
        return speaker + path("M12,-10 L30,10 M30,-10 L12,10", sw(7))
    if kind == "close":
        return path("M-15,-15 L15,15 M15,-15 L-15,15", sw(12))
    if kind == "heart":
        return path(heart_path(0, 2, 46, 41), w)
    if kind == "trophy":
        return (path("M-18,-24 L18,-24 L16,-4 Q12,12 0,13 Q-12,12 -16,-4 Z", w)
                + path("M-17,-17 Q-30,-17 -27,-5 Q-24,4 -14,5 M17,-17 Q30,-17 27,-5 Q24,4 14,5",
                       sw(5))
                + rect(-5, 11, 10, 10, 0, w) + rect(-15, 20, 30, 8, 3, w))
    if kind == "prev":
        return path("M7,-21 L-13,0 L7,21", sw(12))
    if kind == "next":
        return path("M-7,-21 L13,0 L-7,21", sw(12))
    raise ValueError(kind)


def round_button(size, colours, glyph):
    light, mid, lip, line = colours
    g, rid = uid("bf"), uid("br")
    lip_h = size * 0.06
    r = size / 2.0 - 3 - lip_h / 2
    cx, cy = size / 2.0, size / 2.0 - lip_h / 2
    defs = (radial(g, [(0, light), (0.75, mid), (1, mid)], cx=0.5, cy=0.25, r=0.85)
            + linear(rid, [(0, "#ffffff", 0.5), (1, "#ffffff", 0.05)]))
    gd, gl = gloss(cx, cy - r * 0.45, r * 0.66, r * 0.36, 0.5)
    s = size / 100.0
    body = (circle(cx, cy + lip_h, r, 'fill="%s" stroke="%s" stroke-width="4"' % (lip, line))
            + circle(cx, cy, r, 'fill="url(#%s)" stroke="%s" stroke-width="4"' % (g, line))
            + circle(cx, cy, r - 6, 'fill="none" stroke="url(#%s)" stroke-width="3"' % rid)
            + gl
            + '<g transform="translate(%s %s) scale(%s)" opacity="0.35">'
            % (fmt(cx), fmt(cy + 3), fmt(s))
            + icon(glyph).replace("#ffffff", line) + "</g>"
            + '<g transform="translate(%s %s) scale(%s)">%s</g>' % (fmt(cx), fmt(cy), fmt(s),
                                                                   icon(glyph)))
    return document(size, size, body, defs + gd)


for _name, _size, _colours, _glyph, _note in (
        ("btn_play", 168, "play", "play", "play button"),
        ("btn_jukebox", 128, "jukebox", "note", "opens the jukebox (jukeButton)"),
        ("btn_web", 104, "web", "globe", "opens the web page"),
        ("btn_volume_on", 104, "volume", "volume_on", "volume toggle, key 0: sound on"),
        ("btn_volume_off", 104, "volume", "volume_off", "volume toggle, key 1: muted"),
        ("btn_close", 88, "close", "close", "closes the game-over popup"),
        ("btn_scores", 104, "scores", "trophy", "scores button"),
        ("btn_prev", 88, "jukebox_nav", "prev", "previous song in the jukebox"),
        ("btn_next", 88, "jukebox_nav", "next", "next song in the jukebox")):
    asset(_name, _size, _size, note=_note)(
        lambda w, h, c=_colours, g=_glyph: round_button(w, BUTTONS[c], g))


def pill_button(w, h, colours, left_icon):
    light, mid, lip, line = colours
    g = uid("pf")
    lip_h = round(h * 0.08)
    bh = h - 6 - lip_h
    defs = linear(g, [(0, light), (0.6, mid), (1, mid)])
    gd, gl = gloss(w / 2.0, 3 + bh * 0.3, w / 2.0 - bh * 0.45, bh * 0.22, 0.5)
    body = (rect(3, 3 + lip_h, w - 6, bh, bh / 2.0, 'fill="%s" stroke="%s" stroke-width="4"'
                 % (lip, line))
            + rect(3, 3, w - 6, bh, bh / 2.0, 'fill="url(#%s)" stroke="%s" stroke-width="4"'
                   % (g, line))
            + rect(9, 8, w - 18, bh - 10, (bh - 10) / 2.0, 'fill="none" stroke="#ffffff" '
                   'stroke-width="2.5" opacity="0.35"')
            + gl + left_icon(3 + bh / 2.0, 3 + bh / 2.0, bh))
    return document(w, h, body, defs + gd)


@asset("btn_share", 240, 96, pivot=(120, 44),
       note="share button; a heart on the left, the caption (ShareButtonText) sits right of x 84")
def btn_share(w, h):
    def left(cx, cy, bh):
        s = bh / 100.0
        return ('<g transform="translate(%s %s) scale(%s)" opacity="0.3">%s</g>'
                % (fmt(cx + 4), fmt(cy + 3), fmt(s), icon("heart").replace("#ffffff", "#701538"))
                + '<g transform="translate(%s %s) scale(%s)">%s</g>'
                % (fmt(cx + 4), fmt(cy), fmt(s), icon("heart")))
    return pill_button(w, h, BUTTONS["share"], left)


@asset("btn_continue", 340, 108, pivot=(170, 50),
       note="continue for 100 coins; a coin on the left, the caption sits right of x 96")
def btn_continue(w, h):
    defs = []

    def left(cx, cy, bh):
        return coin(cx + 6, cy - 1, bh * 0.34, defs)
    svg = pill_button(w, h, BUTTONS["play"], left)
    return svg.replace("<defs>", "<defs>" + "".join(defs), 1)


# ---------------------------------------------------------------- panels and plates

@asset("popup_panel", 600, 560, stretch=(80, 80, 520, 470),
       note="game-over popup panel; stretches between its leafy corners")
def popup_panel(w, h):
    frame, paper, sh = uid("pf"), uid("pp"), uid("ps")
    defs = (linear(frame, [(0, LEAF[0]), (0.5, LEAF[1]), (1, "#3e9130")])
            + linear(paper, [(0, "#fffdf6"), (1, "#fbebc8")])
            + shadow_filter(sh, dy=8, blur=7, opacity=0.35))
    x, y, pw, ph = 16, 14, w - 32, h - 40
    inner = rect(x + 26, y + 26, pw - 52, ph - 52, 28, 'fill="url(#%s)" stroke="#d9b98a" '
                 'stroke-width="3"' % paper)
    corners = []
    for (cx, cy, along, down, big) in ((x + 16, y + 16, -8, 98, True),
                                       (x + pw - 16, y + 16, 188, 82, True),
                                       (x + 16, y + ph - 16, 8, -98, False),
                                       (x + pw - 16, y + ph - 16, 172, -82, False)):
        size = 46 if big else 34
        corners.append(small_leaf(cx, cy, along, size) + small_leaf(cx, cy, down, size * 0.85))
    berries = "".join(berry(bx, by, 10) for bx, by in ((x + 14, y + 14), (x + pw - 14, y + 14)))
    body = ('<g filter="url(#%s)">' % sh
            + rect(x, y, pw, ph, 44, 'fill="url(#%s)" stroke="%s" stroke-width="5"'
                   % (frame, LEAF[2]))
            + "</g>"
            + rect(x + 8, y + 6, pw - 16, ph * 0.3, 38, 'fill="#ffffff" opacity="0.18"')
            + rect(x + 22, y + 22, pw - 44, ph - 44, 32, 'fill="none" stroke="#2f6b23" '
                   'stroke-width="4" opacity="0.5"')
            + inner
            + rect(x + 44, y + 30, pw - 88, 14, 7, 'fill="#ffffff" opacity="0.6"')
            + "".join(corners) + berries)
    return document(w, h, body, defs)


def berry(cx, cy, r):
    """A small blackberry: a cluster of shiny drupelets."""
    out = []
    for dx, dy in ((0, 0), (-0.6, -0.5), (0.6, -0.5), (-0.6, 0.5), (0.6, 0.5), (0, -0.95),
                   (0, 0.95)):
        x, y = cx + dx * r, cy + dy * r
        out.append(circle(x, y, r * 0.5, 'fill="%s" stroke="%s" stroke-width="1.5"'
                          % (BRAMBLE[1], BRAMBLE[2])))
        out.append(circle(x - r * 0.15, y - r * 0.18, r * 0.14, 'fill="#ffffff" opacity="0.8"'))
    return "".join(out)


@asset("popup_ribbon", 480, 112, note="ribbon across the top of the popup, for its title")
def popup_ribbon(w, h):
    g, d = uid("rg"), uid("rd")
    defs = (linear(g, [(0, "#ff9a8a"), (0.5, "#f2566e"), (1, "#d33a57")])
            + linear(d, [(0, "#b02a46"), (1, "#8a1d36")]))
    o = 'stroke="#6e1128" stroke-width="4" stroke-linejoin="round"'
    body = (path("M8,42 L78,42 L78,100 L8,100 L30,71 Z", 'fill="url(#%s)" %s' % (d, o))
            + path("M472,42 L402,42 L402,100 L472,100 L450,71 Z", 'fill="url(#%s)" %s' % (d, o))
            + path("M56,86 L78,100 L78,86 Z", 'fill="#5e0f22"')
            + path("M424,86 L402,100 L402,86 Z", 'fill="#5e0f22"')
            + path("M56,14 Q240,2 424,14 L424,86 Q240,74 56,86 Z", 'fill="url(#%s)" %s' % (g, o))
            + path("M66,24 Q240,12 414,24", 'fill="none" stroke="#ffffff" stroke-width="5" '
                   'stroke-linecap="round" opacity="0.45"')
            + path("M64,78 Q240,66 416,78", 'fill="none" stroke="#ffffff" stroke-width="2.5" '
                   'stroke-dasharray="8 8" opacity="0.5"'))
    return document(w, h, body, defs)


@asset("blanket", 32, 32, stretch=(0, 0, 32, 32),
       note="dark veil behind popups (PopupBlanket, JukeboxBlanket, PurchaseBlanket); stretch it")
def blanket(w, h):
    return document(w, h, rect(0, 0, w, h, 0, 'fill="#14203c" fill-opacity="0.6"'))


@asset("message_plate", 520, 150, stretch=(60, 40, 460, 106),
       note="plate of the start, pause and purchase messages")
def message_plate(w, h):
    sh, g = uid("ms"), uid("mg")
    defs = (shadow_filter(sh, dy=6, blur=5, opacity=0.25)
            + linear(g, [(0, "#ffffff", 0.95), (1, "#eef8ff", 0.88)]))
    body = ('<g filter="url(#%s)">' % sh
            + rect(8, 6, w - 16, h - 22, 52, 'fill="url(#%s)" stroke="#5aaee6" '
                   'stroke-width="4"' % g) + "</g>"
            + rect(50, 14, w - 100, 14, 7, 'fill="#ffffff" opacity="0.8"'))
    return document(w, h, body, defs)


@asset("hud_plate", 280, 72, stretch=(36, 20, 244, 52),
       note="translucent plate behind the HUD's meters and coins")
def hud_plate(w, h):
    g = uid("hp")
    defs = linear(g, [(0, "#2d6aa8", 0.55), (1, "#123a66", 0.6)])
    body = (rect(3, 3, w - 6, h - 6, (h - 6) / 2.0, 'fill="url(#%s)" stroke="#ffffff" '
                 'stroke-opacity="0.8" stroke-width="3"' % g)
            + rect(16, 8, w - 32, 10, 5, 'fill="#ffffff" opacity="0.22"'))
    return document(w, h, body, defs)


@asset("icon_best", 64, 56, note="crown beside the best distance in the popup")
def icon_best(w, h):
    g = uid("cr")
    defs = linear(g, [(0, GOLD[0]), (1, GOLD[1])])
    d = "M6,18 L20,30 L32,8 L44,30 L58,18 L52,48 L12,48 Z"
    body = (path(d, 'fill="url(#%s)" stroke="%s" stroke-width="4" stroke-linejoin="round"'
                 % (g, GOLD[2]))
            + rect(12, 40, 40, 8, 2, 'fill="#e9a300"')
            + circle(6, 16, 4.5, 'fill="%s" stroke="%s" stroke-width="2"' % (HEART[1], HEART[2]))
            + circle(32, 7, 4.5, 'fill="#5ec8f0" stroke="#1f6f9a" stroke-width="2"')
            + circle(58, 16, 4.5, 'fill="%s" stroke="%s" stroke-width="2"' % (LEAF[1], LEAF[2]))
            + path("M16,36 L30,36", 'stroke="#ffffff" stroke-width="3" stroke-linecap="round" '
                   'opacity="0.6"'))
    return document(w, h, body, defs)


# ---------------------------------------------------------------- lettering

def lettering(text, size, fill_stops, line, x, y, anchor="middle", rotate=0, sticker=True):
    g = uid("lt")
    defs = linear(g, fill_stops)
    t = ('<text x="%s" y="%s" text-anchor="%s" font-family="%s" font-size="%s" %%s>%s</text>'
         % (fmt(x), fmt(y), anchor, TITLE_FONT, fmt(size), text))
    out = ""
    if sticker:
        out += t % ('fill="#ffffff" stroke="#ffffff" stroke-width="%s" stroke-linejoin="round"'
                    % fmt(size * 0.26))
    out += t % ('fill="%s" stroke="%s" stroke-width="%s" stroke-linejoin="round"'
                % (line, line, fmt(size * 0.14)))
    out += t % 'fill="url(#%s)"' % g
    clip = uid("lc")
    defs += '<clipPath id="%s">%s</clipPath>' % (clip, rect(-2000, -2000, 6000,
                                                            2000 + y - size * 0.36))
    out += '<g clip-path="url(#%s)">%s</g>' % (clip, t % 'fill="#ffffff" opacity="0.3"')
    if rotate:
        out = '<g transform="rotate(%s %s %s)">%s</g>' % (fmt(rotate), fmt(x), fmt(y), out)
    return defs, out


@asset("title_logo", 720, 360, note="the title, The Bramble Way")
def title_logo(w, h):
    sh = uid("ts")
    defs = [shadow_filter(sh, dy=7, blur=5, opacity=0.3)]
    d1, the = lettering("The", 64, [(0, "#fffbe6"), (1, "#ffe08a")], "#245b1a", 150, 92,
                        rotate=-8)
    d2, bramble = lettering("Bramble", 150, [(0, "#f4ff9a"), (0.45, "#9fe05a"), (1, "#3fa23a")],
                            "#245b1a", 372, 212)
    d3, way = lettering("Way", 104, [(0, "#ffe9a6"), (0.5, "#ffb43b"), (1, "#f07a1c")],
                        "#7a3a0a", 560, 300)
    defs += [d1, d2, d3]
    vine = path("M60,262 C130,300 250,300 330,268 C380,248 420,250 450,266",
                'fill="none" stroke="%s" stroke-width="14" stroke-linecap="round"' % LEAF[2])
    vine += path("M60,262 C130,300 250,300 330,268 C380,248 420,250 450,266",
                 'fill="none" stroke="%s" stroke-width="7" stroke-linecap="round"' % LEAF[1])
    deco = (small_leaf(120, 284, 150, 34) + small_leaf(220, 292, 30, 30)
            + small_leaf(330, 268, -150, 30) + small_leaf(420, 254, -40, 28)
            + berry(92, 272, 12) + berry(270, 290, 10)
            + '<g transform="translate(652 80) rotate(14)">'
            + path(heart_path(0, 0, 46, 42), 'fill="%s" stroke="%s" stroke-width="4" '
                   'stroke-linejoin="round"' % (HEART[1], HEART[2]))
            + ellipse(-9, -8, 7, 4, 'fill="#ffffff" opacity="0.75"') + "</g>"
            + sparkle(612, 40, 12) + sparkle(690, 132, 8) + sparkle(36, 150, 9))
    body = ('<g filter="url(#%s)">' % sh + vine + deco + the + bramble + way + "</g>")
    return document(w, h, body, "".join(defs))


@asset("gameover_title", 440, 110, note="lettering for the popup's ribbon: Game Over")
def gameover_title(w, h):
    d, t = lettering("Game Over", 76, [(0, "#ffffff"), (1, "#ffe3a0")], "#7a1d36", 220, 78,
                     sticker=False)
    return document(w, h, t, d)


# ---------------------------------------------------------------- jukebox

@asset("jukebox_bg", 768, 1024, note="backdrop of the jukebox screen; stretch over the window")
def jukebox_bg(w, h):
    g, ray = uid("jb"), uid("jr")
    defs = (linear(g, [(0, "#24174f"), (0.5, "#58308a"), (1, "#d0679a")])
            + linear(ray, [(0, "#ffffff", 0.14), (1, "#ffffff", 0)]))
    rng = random.Random(5)
    rays = []
    for a in (-38, -22, -8, 6, 20, 34):
        a0, a1 = math.radians(a - 4 + 90), math.radians(a + 4 + 90)
        rays.append(path("M384,-40 L%s,%s L%s,%s Z" % (
            fmt(384 + 1400 * math.cos(a0)), fmt(-40 + 1400 * math.sin(a0)),
            fmt(384 + 1400 * math.cos(a1)), fmt(-40 + 1400 * math.sin(a1))),
            'fill="url(#%s)"' % ray))
    stars = "".join(circle(rng.uniform(0, w), rng.uniform(0, h * 0.7), rng.uniform(1, 2.6),
                           'fill="#ffffff" opacity="%s"' % fmt(rng.uniform(0.3, 0.9)))
                    for _ in range(70))
    notes = "".join('<g transform="translate(%s %s) rotate(%s) scale(%s)" opacity="0.12">%s</g>'
                    % (fmt(rng.uniform(40, w - 40)), fmt(rng.uniform(60, h - 60)),
                       fmt(rng.uniform(-25, 25)), fmt(rng.uniform(0.5, 1.1)), icon("note"))
                    for _ in range(14))
    body = (rect(0, 0, w, h, 0, 'fill="url(#%s)"' % g) + "".join(rays) + stars + notes)
    return document(w, h, body, defs)


JUKEBOX_KEYS = [("a", 4, 377), ("b", 6, 477), ("c", 6, 577)]
JUKEBOX_KEY_W, JUKEBOX_KEY_H = 76, 70


def jukebox_key_positions():
    """Top-left corner of every key on jukebox_cover, by key name."""
    out = {}
    for row, count, y in JUKEBOX_KEYS:
        gap = 14 if count == 4 else 6
        total = count * JUKEBOX_KEY_W + (count - 1) * gap
        x0 = 320 - total // 2
        for i in range(count):
            out["jukebox_%s%d" % (row, i + 1)] = (x0 + i * (JUKEBOX_KEY_W + gap), y)
    return out


@asset("jukebox_cover", 640, 900,
       note="the jukebox; display window at (96,196)-(544,324) for jukebox_text1/2, key panel "
            "at (64,352)-(576,672), key places listed in README.md")
def jukebox_cover(w, h):
    wood, face, tube, screen, panel, grille, sh = (uid("jw"), uid("jf"), uid("jt"), uid("js"),
                                                   uid("jp"), uid("jg"), uid("jsh"))
    defs = (linear(wood, [(0, "#6e3312"), (0.2, "#c47a3c"), (0.5, "#d98c4a"), (0.8, "#c47a3c"),
                          (1, "#6e3312")], 0, 0, 1, 0)
            + linear(face, [(0, "#3b2163"), (1, "#1d1236")])
            + linear(tube, [(0, "#ff6fae"), (0.35, "#ffd84a"), (0.65, "#5ef0d0"),
                            (1, "#ff6fae")], 0, 0, 1, 0)
            + linear(screen, [(0, "#15244f"), (1, "#0a1230")])
            + linear(panel, [(0, "#fff3d6"), (1, "#ecd3a2")])
            + linear(grille, [(0, "#2a1a3f"), (1, "#120a20")])
            + shadow_filter(sh, dy=8, blur=6, opacity=0.4, colour="#0a0518"))

    def arch(inset):
        r = 280 - inset
        return ("M%s,%s L%s,300 A%s,%s 0 0 1 %s,300 L%s,%s" % (
            fmt(40 + inset), fmt(880 - inset * 0.2), fmt(40 + inset), fmt(r), fmt(r),
            fmt(600 - inset), fmt(600 - inset), fmt(880 - inset * 0.2)))
    outer = arch(0) + " Q600,896 584,896 L56,896 Q40,896 40,880 Z"
    lights = []
    for i in range(15):
        a = math.pi * (1 - i / 14.0)
        x, y = 320 + 262 * math.cos(a), 300 - 262 * math.sin(a)
        colour = ("#ff6fae", "#ffd84a", "#5ef0d0")[i % 3]
        lights.append(circle(x, y, 7, 'fill="%s" stroke="#ffffff" stroke-width="2"' % colour))
    slats = "".join(rect(118, 726 + i * 22, 404, 8, 4, 'fill="#d9b060" opacity="0.85"')
                    for i in range(6))
    d_title, title = lettering("Jukebox", 74, [(0, "#ffffff"), (1, "#ffd98a")], "#5a1f6e",
                               320, 150, sticker=False)
    defs += d_title
    body = (
        '<g filter="url(#%s)">' % sh
        + path(outer, 'fill="url(#%s)" stroke="#3d1d08" stroke-width="6" stroke-linejoin="round"'
               % wood) + "</g>"
        + path(arch(18), 'fill="none" stroke="#3d1d08" stroke-width="24"')
        + path(arch(18), 'fill="none" stroke="url(#%s)" stroke-width="16"' % tube)
        + path(arch(18), 'fill="none" stroke="#ffffff" stroke-width="4" opacity="0.6"')
        + path(arch(36) + " Z", 'fill="url(#%s)" stroke="#3d1d08" stroke-width="4"' % face)
        + "".join(lights)
        + title
        + rect(90, 190, 460, 140, 22, 'fill="#d9b060" stroke="#6e4a10" stroke-width="4"')
        + rect(96, 196, 448, 128, 18, 'fill="url(#%s)"' % screen)
        + rect(100, 200, 440, 120, 15, 'fill="none" stroke="#5ef0d0" stroke-width="3" '
               'opacity="0.55"')
        + path("M110,206 L240,206 L200,316 L110,316 Z", 'fill="#ffffff" opacity="0.06"')
        + rect(60, 348, 520, 328, 26, 'fill="#d9b060" stroke="#6e4a10" stroke-width="4"')
        + rect(64, 352, 512, 320, 22, 'fill="url(#%s)"' % panel)
        + rect(76, 360, 488, 10, 5, 'fill="#ffffff" opacity="0.6"')
        + rect(100, 700, 440, 166, 32, 'fill="#d9b060" stroke="#6e4a10" stroke-width="4"')
        + rect(106, 706, 428, 154, 28, 'fill="url(#%s)"' % grille)
        + slats
        + '<g transform="translate(320 783)">'
        + circle(0, 0, 34, 'fill="#d9b060" stroke="#6e4a10" stroke-width="4"')
        + path(heart_path(0, 2, 38, 34), 'fill="%s" stroke="%s" stroke-width="3"'
               % (HEART[1], HEART[2])) + "</g>"
        + rect(70, 880, 60, 16, 6, 'fill="#3d1d08"') + rect(510, 880, 60, 16, 6,
                                                             'fill="#3d1d08"'))
    return document(w, h, body, defs)


def jukebox_key(label, lit):
    w, h = JUKEBOX_KEY_W, JUKEBOX_KEY_H
    g, tg = uid("kg"), uid("kt")
    lip = 3 if lit else 7
    top = 4 + (7 - lip)
    if lit:
        defs = (radial(g, [(0, "#ffffe0"), (0.5, "#ffe45c"), (1, "#ffa62b")], cx=0.5, cy=0.4,
                       r=0.7)
                + linear(tg, [(0, "#a3360b"), (1, "#7a2200")]))
        face_line, lip_col, text_col = "#8a4a00", "#c46a00", "url(#%s)" % tg
    else:
        defs = (linear(g, [(0, "#fffaf0"), (1, "#ead4a8")])
                + linear(tg, [(0, "#6a3f1a"), (1, "#4a2a10")]))
        face_line, lip_col, text_col = "#6e4a1a", "#b08a55", "url(#%s)" % tg
    bh = h - 8 - 7
    body = (rect(3, top + lip, w - 6, bh, 12, 'fill="%s" stroke="%s" stroke-width="3"'
                 % (lip_col, face_line))
            + rect(3, top, w - 6, bh, 12, 'fill="url(#%s)" stroke="%s" stroke-width="3"'
                   % (g, face_line))
            + rect(9, top + 4, w - 18, 8, 4, 'fill="#ffffff" opacity="%s"'
                   % ("0.75" if lit else "0.6"))
            + '<text x="%s" y="%s" text-anchor="middle" font-family="%s" font-size="33" '
              'fill="%s">%s</text>' % (fmt(w / 2.0), fmt(top + bh / 2.0 + 11), TITLE_FONT,
                                       text_col, label))
    if lit:
        body = (rect(1, top - 2, w - 2, bh + 4, 14, 'fill="none" stroke="#fff6a0" '
                     'stroke-width="2" opacity="0.9"') + body)
    return document(w, h, body, defs)


for _key, (_x, _y) in jukebox_key_positions().items():
    _label = _key[len("jukebox_"):].upper()
    _place = "top-left corner on jukebox_cover at (%d,%d)" % (_x, _y)
    asset(_key, JUKEBOX_KEY_W, JUKEBOX_KEY_H, note="jukebox key %s; %s" % (_label, _place))(
        lambda w, h, l=_label: jukebox_key(l, False))
    asset(_key + "x", JUKEBOX_KEY_W, JUKEBOX_KEY_H,
          note="jukebox key %s, lit; %s" % (_label, _place))(
        lambda w, h, l=_label: jukebox_key(l, True))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--svg-dir", required=True)
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 4)
    parser.add_argument("--only", default="")
    parser.add_argument("--rsvg", default="rsvg-convert")
    args = parser.parse_args()

    check_font()
    svg_dir = args.svg_dir
    os.makedirs(svg_dir, exist_ok=True)
    os.makedirs(args.out, exist_ok=True)
    only = set(n for n in args.only.split(",") if n)
    names = set()
    todo = []
    for a in ASSETS:
        if a["name"] in names:
            sys.exit("art.py: picture %s is drawn twice" % a["name"])
        names.add(a["name"])
        if only and a["name"] not in only:
            continue
        svg = a["draw"](a["width"], a["height"])
        svg_path = os.path.join(svg_dir, a["name"] + ".svg")
        png_path = os.path.join(args.out, a["name"] + ".png")
        if read(svg_path) != svg:
            with open(svg_path, "w") as f:
                f.write(svg)
        if not os.path.exists(png_path) or os.path.getmtime(png_path) < os.path.getmtime(svg_path):
            todo.append((a, svg_path, png_path))

    def render(job):
        a, svg_path, png_path = job
        tmp = png_path + ".tmp"
        r = subprocess.run([args.rsvg, "-w", str(a["width"]), "-h", str(a["height"]),
                            "-f", "png", "-o", tmp, svg_path],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if r.returncode != 0:
            return "%s: %s" % (a["name"], r.stdout.strip())
        os.replace(tmp, png_path)
        return None

    with ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        errors = [e for e in pool.map(render, todo) if e]
    if errors:
        sys.exit("art.py: rendering failed:\n" + "\n".join(errors))
    if not only:
        write_manifest(os.path.join(args.out, "manifest.txt"))
    print("art.py: %d pictures, %d rendered" % (len(ASSETS), len(todo)))


def read(p):
    try:
        with open(p) as f:
            return f.read()
    except OSError:
        return None


def check_font():
    try:
        r = subprocess.run(["fc-match", "-f", "%{family}", TITLE_FONT], stdout=subprocess.PIPE,
                           text=True)
        found = r.stdout
    except OSError:
        found = ""
    if TITLE_FONT.lower() not in found.lower():
        sys.exit("art.py: the font \"%s\" is missing (Debian package fonts-leckerli-one; "
                 "scripts/install-deps installs it)" % TITLE_FONT)


def write_manifest(p):
    lines = ["# name width height pivot_x pivot_y stretch_x1 stretch_y1 stretch_x2 stretch_y2"
             " | note",
             "# Sizes in pixels. The pivot is where the picture sits on a sprite's anchor;"
             " the stretch rectangle (-1 when the picture is not meant to stretch) is the"
             " inner part that a stretched brush scales."]
    for a in ASSETS:
        s = a["stretch"] or (-1, -1, -1, -1)
        lines.append("%s %d %d %s %s %d %d %d %d | %s" % (
            a["name"], a["width"], a["height"], fmt(float(a["pivot"][0])),
            fmt(float(a["pivot"][1])), s[0], s[1], s[2], s[3], a["note"]))
    # Written every time: the build takes its date as the date of the whole set.
    with open(p + ".tmp", "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(p + ".tmp", p)


if __name__ == "__main__":
    main()
