#!/usr/bin/python3
"""The game's desktop icon, drawn in the pictures' style and rendered for the hicolor theme.

  icon.py --out DIR --name NAME [--rsvg PROGRAM]

writes DIR/scalable/apps/NAME.svg and DIR/<size>x<size>/apps/NAME.png for every size of
SIZES, so DIR can be installed as share/icons/hicolor as it is.
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from art import GOLD, LEAF, SKY_LOW, SKY_MID, SKY_TOP, character, coin, small_leaf  # noqa: E402
from svgkit import circle, document, gloss, linear, path, rect, uid  # noqa: E402

SIZES = (16, 22, 24, 32, 48, 64, 128, 256, 512)


def icon_svg():
    """A rounded sky tile with a beanstalk, a cloud, a coin and the hero in front; bold shapes
    that still read at 16 px."""
    defs = []
    sky, clip = uid("is"), uid("ic")
    defs.append(linear(sky, [(0, SKY_TOP), (0.6, SKY_MID), (1, SKY_LOW)]))
    defs.append('<clipPath id="%s">%s</clipPath>' % (clip, rect(8, 8, 240, 240, rx=52)))
    stalk = ("M196,260 C176,200 214,150 192,96 C182,70 190,40 200,0")
    scenery = (
        rect(8, 8, 240, 240, extra='fill="url(#%s)"' % sky)
        + circle(60, 214, 40, 'fill="#ffffff" opacity="0.9"')
        + circle(110, 226, 34, 'fill="#ffffff" opacity="0.9"')
        + circle(18, 232, 30, 'fill="#ffffff" opacity="0.9"')
        + path(stalk, 'fill="none" stroke="%s" stroke-width="26" stroke-linecap="round"'
               % LEAF[2])
        + path(stalk, 'fill="none" stroke="%s" stroke-width="16" stroke-linecap="round"'
               % LEAF[1])
        + small_leaf(190, 150, -160, 46)
        + small_leaf(196, 78, -20, 42))
    gd, gl = gloss(128, 46, 96, 30, 0.35)
    defs.append(gd)
    hero = ('<g transform="translate(112 138) scale(1.3) translate(-64 -88)">%s</g>'
            % character(defs))
    body = ('<g clip-path="url(#%s)">%s%s%s</g>' % (clip, scenery, coin(58, 62, 26, defs), gl)
            + hero
            + rect(8, 8, 240, 240, rx=52,
                   extra='fill="none" stroke="%s" stroke-width="6"' % GOLD[2]))
    return document(256, 256, body, "".join(defs))


def write_if_changed(p, text):
    try:
        with open(p) as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(p + ".tmp", "w") as f:
        f.write(text)
    os.replace(p + ".tmp", p)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--name", required=True)
    parser.add_argument("--rsvg", default="rsvg-convert")
    args = parser.parse_args()

    scalable = os.path.join(args.out, "scalable", "apps")
    os.makedirs(scalable, exist_ok=True)
    svg = os.path.join(scalable, args.name + ".svg")
    write_if_changed(svg, icon_svg())
    for size in SIZES:
        folder = os.path.join(args.out, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        png = os.path.join(folder, args.name + ".png")
        r = subprocess.run([args.rsvg, "-w", str(size), "-h", str(size), "-f", "png",
                            "-o", png + ".tmp", svg],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if r.returncode != 0:
            sys.exit("icon.py: rendering %d px failed: %s" % (size, r.stdout.strip()))
        os.replace(png + ".tmp", png)
    print("icon.py: %s in %d sizes" % (args.name, len(SIZES)))


if __name__ == "__main__":
    main()
