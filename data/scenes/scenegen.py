#!/usr/bin/python3
"""Writes a scene file, its brush file, the atlas layout and the font list from a description.

  scenegen.py --description X.scene.py --manifest graphics/manifest.txt --graphics DIR
              --strings english.txt --scene OUT.ini --brushes OUT.ini --atlases OUT.txt
              --fonts OUT.txt

The description is a Python file that calls the functions of this module (picture, font,
container, sprite, key, ...) to declare brushes and sprites; see gamescreen.scene.py. Sprites are
placed in window coordinates: the generator takes off the position offsets that the play screen
gives named sprites at insertion, and each parent's element position, so the file holds what a
scene editor would have written (children relative to their parent's element).

The atlas layout lists, for each atlas page, the pictures and where they go; bramble-atlas packs
them into the scene's atlas pictures. The font list names each font brush's bitmap font, which
bramble-fonts exports.
"""

import argparse
import os
import runpy
import sys

# ---------------------------------------------------------------- description state

_scene = {}
_brushes = []       # dicts in declaration order
_brush_by_name = {}
_sprites = []       # dicts in declaration order
_sprite_by_name = {}
_offsets = {}       # sprite name -> (dx, dy) the play screen adds at insertion
_manifest = {}
_next_brush_id = 0x10
_next_sprite_id = 0x100

# Action type numbers of the scene file format, by the names the description uses.
ACTIONS = {"go_to_key": 1, "broadcast": 5}
# Event slots by the event's name; user events are placed by name index.
SLOTS = {"enter": 0, "leave": 1, "down": 2, "up": 3}


def _fail(message):
    sys.stderr.write("scenegen: %s\n" % message)
    sys.exit(1)


def scene(name, width=1024, height=768, music=""):
    _scene.update(name=name, width=width, height=height, music=music)


def offsets(table):
    """Position offsets (x, y) the display handler gives sprites by name when inserted."""
    _offsets.update(table)


def _new_brush(name, **fields):
    global _next_brush_id
    if name in _brush_by_name:
        _fail("brush %s declared twice" % name)
    brush = dict(name=name, id=_next_brush_id, **fields)
    _next_brush_id += 1
    _brushes.append(brush)
    _brush_by_name[name] = brush
    return brush


def _picture_size(name):
    if name not in _manifest:
        _fail("no picture %s in the manifest" % name)
    return _manifest[name]


def picture(name, pictures=None, mode="plain", brush=None):
    """A brush over one picture, or over several of the same role (its frames)."""
    pictures = pictures or [name]
    sizes = [_picture_size(p) for p in pictures]
    width = max(s["width"] for s in sizes)
    height = max(s["height"] for s in sizes)
    if len(pictures) == 1:
        pivot = (sizes[0]["pivot_x"], sizes[0]["pivot_y"])
    else:
        pivot = (width / 2.0, height / 2.0)
    stretch = sizes[0]["stretch"]
    if mode == "stretched" and stretch[0] < 0:
        stretch = (0, 0, width, height)
    return _new_brush(brush or name, kind="picture", pictures=pictures, width=width,
                      height=height, pivot=pivot, mode=mode, stretch=stretch)


def font(name, file, height, fill="FFFFFF", outline=0, outline_color="000000", shadow=0):
    """A brush with a bitmap font, exported from an outline font at a pixel height."""
    return _new_brush(name, kind="font", file=file, height=height, fill=fill, outline=outline,
                      outline_color=outline_color, shadow=shadow)


def emitter(name, particle, count, period=50, shape=0, radius=(0, 10, 0, 20), **behaviour):
    """A particle brush: count particles an emitter, one emitter every period ms."""
    size = _picture_size(particle)
    return _new_brush(name, kind="emitter", pictures=[particle], width=size["width"],
                      height=size["height"], pivot=(size["width"] / 2.0, size["height"] / 2.0),
                      mode="plain", count=count, period=period, shape=shape, radius=radius,
                      behaviour=behaviour, stretch=(-1, -1, -1, -1))


def empty(name):
    """A brush that draws nothing: containers laid over the whole scene."""
    return _new_brush(name, kind="empty", pictures=[], width=0, height=0, pivot=(0, 0),
                      mode="stretched", stretch=(-1, -1, -1, -1))


def key(time=0, dx=0, dy=0, alpha=1.0, scale=1.0, angle=0.0, lightness=1.0, frame=None,
        clickable=True, emit=True, action=None, action2=None):
    """One key frame; dx, dy move the anchor (and rectangle) from the sprite's place."""
    scale_x, scale_y = scale if isinstance(scale, tuple) else (scale, scale)
    return dict(time=time, dx=dx, dy=dy, alpha=alpha, scale_x=scale_x, scale_y=scale_y,
                angle=angle, lightness=lightness, frame=frame, clickable=clickable, emit=emit,
                action=action, action2=action2)


def broadcast(event):
    return ("broadcast", event)


def go_to_key(keys):
    return ("go_to_key", keys)


def sprite(name, brush, at=(0, 0), parent=None, rect=None, keys=None, id=None, loop=False,
           noautoplay=False, passthrough=False, flags=0, events=None, listen=None,
           displayhandler="", text=None, align="center", valign="center", kerning=0.0,
           vspacing=0.0, color="FFFFFF", xflip=False, easein=False, easeout=False):
    """A sprite at its anchor in window coordinates. rect (x1, y1, x2, y2), also in window
    coordinates, sizes stretched, tiled and text sprites; plain sprites take their picture's.
    events maps "down"/"up"/... to an action; listen maps user event names to an action.
    text is the sprite's first text: the string table must hold it under the sprite's key."""
    global _next_sprite_id
    if name and name in _sprite_by_name:
        _fail("sprite %s declared twice" % name)
    if brush not in _brush_by_name:
        _fail("sprite %s: no brush %s" % (name, brush))
    if parent is not None and parent not in _sprite_by_name:
        _fail("sprite %s: parent %s is not declared before it" % (name, parent))
    if id is None:
        id = _next_sprite_id
        _next_sprite_id += 1
    s = dict(name=name, brush=brush, at=at, parent=parent, rect=rect, keys=keys or [key()],
             id=id, loop=loop, noautoplay=noautoplay, passthrough=passthrough, flags=flags,
             events=events or {}, listen=listen or {}, displayhandler=displayhandler,
             text=text, align=align, valign=valign, kerning=kerning, vspacing=vspacing,
             color=color, xflip=xflip, easein=easein, easeout=easeout)
    _sprites.append(s)
    if name:
        _sprite_by_name[name] = s
    return s


# ---------------------------------------------------------------- layout

def _window_offset(s):
    """What the play screen adds to this sprite and its ancestors at insertion."""
    dx = dy = 0
    while s is not None:
        ox, oy = _offsets.get(s["name"], (0, 0))
        dx += ox
        dy += oy
        s = _sprite_by_name.get(s["parent"]) if s["parent"] else None
    return dx, dy


def _absolute(s):
    """The sprite's anchor and rectangle in scene coordinates (as if no parent moved)."""
    dx, dy = _window_offset(s)
    ax, ay = s["at"][0] - dx, s["at"][1] - dy
    brush = _brush_by_name[s["brush"]]
    if s["rect"] is not None:
        x1, y1, x2, y2 = s["rect"]
        rect = (x1 - dx, y1 - dy, x2 - dx, y2 - dy)
    else:
        px, py = brush["pivot"]
        rect = (ax - px, ay - py, ax - px + brush["width"], ay - py + brush["height"])
    return (ax, ay), rect


def _element_origin(s):
    """Where the sprite's element sits in scene coordinates: the rectangle's corner for the
    modes that size by the rectangle, else the anchor less the pivot's place."""
    anchor, rect = _absolute(s)
    brush = _brush_by_name[s["brush"]]
    if brush["kind"] in ("font", "empty") or brush["mode"] != "plain":
        return rect[0], rect[1]
    px, py = brush["pivot"]
    return anchor[0] - px, anchor[1] - py


def _local(s):
    anchor, rect = _absolute(s)
    if s["parent"]:
        ox, oy = _element_origin(_sprite_by_name[s["parent"]])
        anchor = (anchor[0] - ox, anchor[1] - oy)
        rect = (rect[0] - ox, rect[1] - oy, rect[2] - ox, rect[3] - oy)
    return anchor, rect


# ---------------------------------------------------------------- atlases

def _pack(pictures, page, gap):
    """Shelf packing, tallest first: {picture: (atlas number, x, y)} and the page sizes."""
    order = sorted(pictures, key=lambda p: (-_manifest[p]["height"], -_manifest[p]["width"], p))
    places = {}
    pages = []  # [width used, height used, shelves: [y, height, x]]
    for p in order:
        w, h = _manifest[p]["width"], _manifest[p]["height"]
        if w > page or h > page:
            _fail("picture %s (%dx%d) does not fit an atlas page of %d" % (p, w, h, page))
        placed = False
        for n, pg in enumerate(pages):
            for shelf in pg["shelves"]:
                if h <= shelf[1] and shelf[2] + w <= page:
                    places[p] = (n + 1, shelf[2], shelf[0])
                    shelf[2] += w + gap
                    placed = True
                    break
            if not placed and pg["bottom"] + h <= page:
                pg["shelves"].append([pg["bottom"], h, w + gap])
                places[p] = (n + 1, 0, pg["bottom"])
                pg["bottom"] += h + gap
                placed = True
            if placed:
                break
        if not placed:
            pages.append(dict(shelves=[[0, h, w + gap]], bottom=h + gap))
            places[p] = (len(pages), 0, 0)
    sizes = []
    for n, pg in enumerate(pages):
        used_w = max(shelf[2] for shelf in pg["shelves"])
        sizes.append((min(page, _round_up(used_w)), min(page, _round_up(pg["bottom"]))))
    return places, sizes


def _round_up(v):
    size = 64
    while size < v:
        size *= 2
    return size


# ---------------------------------------------------------------- writing

def _fmt(v):
    if isinstance(v, float):
        text = ("%.4f" % v).rstrip("0").rstrip(".")
        return text if text not in ("-0", "") else "0"
    return str(v)


def _write_ini(path, sections):
    lines = []
    for title, entries in sections:
        lines.append("[%s]" % title)
        for k, v in entries:
            lines.append("%s=%s" % (k, _fmt(v)))
    text = "\n".join(lines) + "\n"
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, path)


def _brush_section(b):
    e = [("id", "%x" % b["id"]), ("name", b["name"])]
    if b["kind"] == "font":
        e += [("fontheight", b["height"])]
        return e
    if b["kind"] == "empty":
        e += [("mode", "stretched")]
        return e
    frames = len(b["pictures"])
    if frames > 1:
        e.append(("frames", frames))
    e += [("texture", b["pictures"][0] + ".png")]
    if b["mode"] != "plain":
        e.append(("mode", b["mode"]))
    e += [("texsrcx1", 0), ("texsrcy1", 0), ("texsrcx2", b["width"]), ("texsrcy2", b["height"]),
          ("texpivotx", float(b["pivot"][0])), ("texpivoty", float(b["pivot"][1]))]
    if b["mode"] in ("stretched", "stretchedsides"):
        sx1, sy1, sx2, sy2 = b["stretch"]
        e += [("stretchx1", sx1), ("stretchy1", sy1), ("stretchx2", sx2), ("stretchy2", sy2)]
    if b["kind"] == "emitter":
        bh = dict(blend=(1, 1, 1, 1, 0), agestep=(0.02, 0.03), velocitymin=(0, 0),
                  velocitymax=(0, 0), accel=(0, 0), angle=(0, 0), anglespeed=(0, 0),
                  scale=(1, 1), scalespeed=(0, 0), scaleaccel=0, colormin=(1, 1, 1, 1),
                  colormax=(1, 1, 1, 1))
        bh.update(b["behaviour"])
        r = b["radius"]
        e += [("particles", b["count"]), ("particleemitterperiod", b["period"]),
              ("particleemittershape", b["shape"]), ("particleemitminradius", float(r[0])),
              ("particleemitmaxradius", float(r[1])), ("particleemitminradius2", float(r[2])),
              ("particleemitmaxradius2", float(r[3]))]
        for i, v in enumerate(bh["blend"]):
            e.append(("blend%d" % i, float(v)))
        e += [("agestepmin", float(bh["agestep"][0])), ("agestepmax", float(bh["agestep"][1])),
              ("velocityminx", float(bh["velocitymin"][0])),
              ("velocityminy", float(bh["velocitymin"][1])),
              ("velocitymaxx", float(bh["velocitymax"][0])),
              ("velocitymaxy", float(bh["velocitymax"][1])),
              ("velocityaccelx", float(bh["accel"][0])),
              ("velocityaccely", float(bh["accel"][1])),
              ("anglemin", float(bh["angle"][0])), ("anglemax", float(bh["angle"][1])),
              ("anglespeedmin", float(bh["anglespeed"][0])),
              ("anglespeedmax", float(bh["anglespeed"][1])),
              ("scalemin", float(bh["scale"][0])), ("scalemax", float(bh["scale"][1])),
              ("scalespeedmin", float(bh["scalespeed"][0])),
              ("scalespeedmax", float(bh["scalespeed"][1])),
              ("scaleaccel", float(bh["scaleaccel"]))]
        for prefix, c in (("colormin", bh["colormin"]), ("colormax", bh["colormax"])):
            for channel, v in zip(("red", "green", "blue", "alpha"), c):
                e.append((prefix + channel, float(v)))
    return e


def _action_entries(prefix, action):
    if not action:
        return []
    kind, param = action
    return [(prefix + "type", ACTIONS[kind]), (prefix + "param", param)]


def _sprite_section(s, places):
    b = _brush_by_name[s["brush"]]
    anchor, rect = _local(s)
    e = [("brush", "%x" % b["id"]), ("id", "%x" % s["id"])]
    if s["parent"]:
        e.append(("parent", "%x" % _sprite_by_name[s["parent"]]["id"]))
    if s["name"]:
        e.append(("name", s["name"]))
    for flag, k in (("loop", "loopkeys"), ("noautoplay", "noautoplaykeys"),
                    ("passthrough", "passthrough"), ("xflip", "xflip"),
                    ("easein", "easekeytimein"), ("easeout", "easekeytimeout")):
        if s[flag]:
            e.append((k, 1))
    if b["kind"] == "font":
        if s["align"] != "center":
            e.append(("texthflowmode", s["align"]))
        if s["valign"] != "center":
            e.append(("textvalignmode", s["valign"]))
        if s["kerning"]:
            e.append(("textkerning", float(s["kerning"])))
        if s["vspacing"]:
            e.append(("textvspacing", float(s["vspacing"])))
    if s["flags"]:
        e.append(("flags", "%x" % s["flags"]))
    if s["displayhandler"]:
        e.append(("displayhandler", s["displayhandler"]))
    for event, action in s["events"].items():
        slot = SLOTS[event]
        e += _action_entries("eventaction%d" % (slot + 1), action)
    for index, (names, action) in enumerate(s["listen"].items()):
        slot = index + 4 if index < 4 else (index + 14 if index < 10 else index + 30)
        e.append(("usereventname" if index == 0 else "usereventname%d" % (index + 1), names))
        e += _action_entries("eventaction%d" % (slot + 1), action)
    keys = s["keys"]
    e.append(("keys", len(keys)))
    for n, k in enumerate(keys, 1):
        p = "key%d" % n
        alpha = max(0, min(255, int(round(k["alpha"] * 255))))
        e += [(p + "time", float(k["time"])), (p + "anchorx", float(anchor[0] + k["dx"])),
              (p + "anchory", float(anchor[1] + k["dy"])),
              (p + "rectx1", int(round(rect[0] + k["dx"]))),
              (p + "recty1", int(round(rect[1] + k["dy"]))),
              (p + "rectx2", int(round(rect[2] + k["dx"]))),
              (p + "recty2", int(round(rect[3] + k["dy"]))),
              (p + "color", "%02X%s" % (alpha, s["color"]))]
        if k["scale_x"] != 1 or k["scale_y"] != 1:
            e += [(p + "scalex", float(k["scale_x"])), (p + "scaley", float(k["scale_y"]))]
        if k["angle"]:
            e.append((p + "angle", float(k["angle"])))
        if k["lightness"] != 1:
            e.append((p + "lightness", float(k["lightness"])))
        if not k["clickable"]:
            e.append((p + "clickable", 0))
        if not k["emit"]:
            e.append((p + "emitparticles", 0))
        if k["frame"] is not None:
            e += [(p + "minbrushframe", k["frame"]), (p + "maxbrushframe", k["frame"]),
                  (p + "startbrushframe", k["frame"])]
        e += _action_entries(p + "action", k["action"])
        e += _action_entries(p + "action2", k["action2"])
    if b["kind"] in ("picture", "emitter"):
        for n, pic in enumerate(b["pictures"], 1):
            atlas, x, y = places[pic]
            size = _manifest[pic]
            e += [("atlas%dindex" % n, atlas), ("atlas%dsrcx1" % n, x), ("atlas%dsrcy1" % n, y),
                  ("atlas%dsrcx2" % n, x + size["width"]), ("atlas%dsrcy2" % n, y + size["height"])]
            ox = (b["width"] - size["width"]) // 2
            oy = (b["height"] - size["height"]) // 2
            if ox or oy:
                e += [("atlas%doffsx" % n, ox), ("atlas%doffsy" % n, oy)]
    return e


def _read_manifest(path):
    with open(path) as f:
        for line in f:
            line = line.split("|")[0].strip()
            if not line or line.startswith("#"):
                continue
            name, w, h, px, py, sx1, sy1, sx2, sy2 = line.split()
            _manifest[name] = dict(width=int(w), height=int(h), pivot_x=float(px),
                                   pivot_y=float(py),
                                   stretch=(int(sx1), int(sy1), int(sx2), int(sy2)))


def _read_strings(path):
    """The string table: KEY "text" (quoted texts may run over lines, "" is a quote) or
    KEY text to the end of the line; # starts a comment line."""
    with open(path, encoding="utf-8") as f:
        text = f.read().replace("\r", "")
    strings, i, n = {}, 0, len(text)
    while i < n:
        while i < n and text[i] in " \t\n":
            i += 1
        if i >= n:
            break
        if text[i] == "#":
            i = text.find("\n", i)
            i = n if i < 0 else i
            continue
        start = i
        while i < n and text[i] not in " \t\n":
            i += 1
        key = text[start:i]
        while i < n and text[i] in " \t":
            i += 1
        value = ""
        if i < n and text[i] == '"':
            i += 1
            while i < n:
                if text[i] == '"':
                    if text[i + 1:i + 2] == '"':
                        value += '"'
                        i += 2
                        continue
                    i += 1
                    break
                value += text[i]
                i += 1
        else:
            end = text.find("\n", i)
            end = n if end < 0 else end
            value, i = text[i:end], end
        strings[key] = value
    return strings


def main():
    parser = argparse.ArgumentParser()
    for option in ("description", "manifest", "graphics", "strings", "scene", "brushes",
                   "atlases", "fonts"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--atlas-page", type=int, default=1024)
    parser.add_argument("--font-file", action="append", default=[],
                        help="NAME=PATH: the outline font a description's font NAME is")
    args = parser.parse_args()

    _read_manifest(args.manifest)
    # The description imports this module by name: it must find this run's state.
    sys.modules["scenegen"] = sys.modules[__name__]
    runpy.run_path(args.description)
    if not _scene:
        _fail("the description declares no scene")

    # Every text sprite's first text comes from the string table, under the key the player
    # makes from the scene's name and the sprite's id.
    strings = _read_strings(args.strings)
    for s in _sprites:
        if _brush_by_name[s["brush"]]["kind"] == "font":
            label = ("SCENE_%s_%X" % (_scene["name"], s["id"])).upper()
            if label not in strings:
                _fail("the string table has no %s (text of sprite %s)" % (label, s["name"]))
            if s["text"] is not None and strings[label] != s["text"]:
                _fail("%s is %r in the string table, %r in the description" %
                      (label, strings[label], s["text"]))

    pictures = []
    for b in _brushes:
        for p in b.get("pictures", []):
            if p not in pictures:
                pictures.append(p)
    places, sizes = _pack(pictures, args.atlas_page, 4)

    for path in (args.scene, args.brushes, args.atlases, args.fonts):
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)

    head = [("width", _scene["width"]), ("height", _scene["height"]),
            ("brushes", _scene["name"])]
    if _scene["music"]:
        head.append(("defaultmusic", _scene["music"]))
    _write_ini(args.scene, [("scene", head)] +
               [("sprite%d" % n, _sprite_section(s, places)) for n, s in enumerate(_sprites, 1)])
    _write_ini(args.brushes,
               [("brush%d" % n, _brush_section(b)) for n, b in enumerate(_brushes, 1)])

    lines = []
    for n, (w, h) in enumerate(sizes, 1):
        lines.append("atlas scene_%s_atlas%d %d %d" % (_scene["name"], n, w, h))
        for p in pictures:
            if places[p][0] == n:
                lines.append("%s %d %d" % (os.path.join(args.graphics, p + ".png"),
                                           places[p][1], places[p][2]))
    with open(args.atlases + ".tmp", "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(args.atlases + ".tmp", args.atlases)

    font_files = dict(f.split("=", 1) for f in args.font_file)
    lines = []
    for b in _brushes:
        if b["kind"] == "font":
            if b["file"] not in font_files:
                _fail("no --font-file for the font %s" % b["file"])
            lines.append("font_%x %s %d %s %d %s %d" % (b["id"], font_files[b["file"]],
                                                       b["height"], b["fill"],
                                                       b["outline"], b["outline_color"],
                                                       b["shadow"]))
    with open(args.fonts + ".tmp", "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(args.fonts + ".tmp", args.fonts)


if __name__ == "__main__":
    main()
