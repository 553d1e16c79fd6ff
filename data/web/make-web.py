#!/usr/bin/python3
"""Builds the game's offline credits page.

  make-web.py --template index.html.in --style style.css --songs songs.ini
              --graphics DIR --out DIR

The page lists the jukebox songs of songs.ini and shows two of the game's pictures, copied
from the rendered graphics.
"""

import argparse
import configparser
import html
import os
import shutil
import sys


def main():
    p = argparse.ArgumentParser()
    for name in ("template", "style", "songs", "graphics", "out"):
        p.add_argument("--" + name, required=True)
    args = p.parse_args()
    ini = configparser.ConfigParser(interpolation=None)
    if not ini.read(args.songs):
        sys.exit("make-web.py: cannot read %s" % args.songs)
    rows = []
    n = 1
    while ini.has_section("song%d" % n):
        s = ini["song%d" % n]
        label = s["row"].replace("jukebox_", "").upper()
        credit = s.get("credit", "")
        rows.append('      <li><span class="row">%s</span> <span class="title">%s</span>%s</li>'
                    % (html.escape(label), html.escape(s["title"]),
                       ' <span class="credit">by %s</span>' % html.escape(credit)
                       if credit else ""))
        n += 1
    with open(args.template) as f:
        page = f.read().replace("@SONGS@", "\n".join(rows))
    os.makedirs(args.out, exist_ok=True)
    for picture in ("title_logo.png", "perso.png"):
        shutil.copyfile(os.path.join(args.graphics, picture), os.path.join(args.out, picture))
    shutil.copyfile(args.style, os.path.join(args.out, "style.css"))
    tmp = os.path.join(args.out, "index.html.tmp")
    with open(tmp, "w") as f:
        f.write(page)
    os.replace(tmp, os.path.join(args.out, "index.html"))


if __name__ == "__main__":
    main()
