#!/usr/bin/env python3
"""Writes the seed fonts of the outline-font fuzz target into fuzz/corpus/font: small subsets of
DejaVu Sans (Debian package fonts-dejavu-core) made with fontTools (python3-fonttools), with the
legacy 'kern' table kept, with and without hinting.
"""
import os

from fontTools import subset
from fontTools.ttLib import TTFont

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
SEEDS = [
    ("kerned_av.ttf", "AVTo", True),
    ("hinted_hg.ttf", "Hg!", True),
    ("unhinted_latin.ttf", "Wave, fjord!", False),
    ("accents.ttf", "\u00c5\u00e9\u00fc\ufffd", False),
]


def main():
    out = os.path.join(HERE, "corpus", "font")
    os.makedirs(out, exist_ok=True)
    for name, text, hinted in SEEDS:
        options = subset.Options()
        options.legacy_kern = True
        options.layout_features = []
        options.hinting = hinted
        options.name_IDs = [1]
        options.notdef_outline = True
        font = TTFont(SOURCE)
        subsetter = subset.Subsetter(options)
        subsetter.populate(text=text)
        subsetter.subset(font)
        for table in ("GSUB", "GPOS", "GDEF", "MATH", "FFTM"):
            if table in font:
                del font[table]
        font.save(os.path.join(out, name))


if __name__ == "__main__":
    main()
