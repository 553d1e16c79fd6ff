"""Small helpers that keep every picture of the game in one style: soft gradients, a dark
outline of the object's own hue, a white gloss on top and a lip under buttons."""

import math

_ids = [0]


def uid(prefix):
    _ids[0] += 1
    return "%s%d" % (prefix, _ids[0])


def fmt(v):
    """Numbers written short and locale-free."""
    if isinstance(v, float):
        s = "%.2f" % v
        s = s.rstrip("0").rstrip(".")
        return "0" if s == "-0" else s
    return str(v)


def pts(points):
    return " ".join("%s,%s" % (fmt(x), fmt(y)) for x, y in points)


def document(width, height, body, defs=""):
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" '
        'width="%d" height="%d" viewBox="0 0 %d %d">\n<defs>%s</defs>\n%s\n</svg>\n'
        % (width, height, width, height, defs, body)
    )


def linear(gid, stops, x1=0, y1=0, x2=0, y2=1, units=None):
    u = ' gradientUnits="userSpaceOnUse"' if units == "user" else ""
    s = "".join(
        '<stop offset="%s" stop-color="%s"%s/>'
        % (fmt(o), c, (' stop-opacity="%s"' % fmt(a)) if a is not None else "")
        for o, c, a in (_stop(st) for st in stops)
    )
    return '<linearGradient id="%s" x1="%s" y1="%s" x2="%s" y2="%s"%s>%s</linearGradient>' % (
        gid, fmt(x1), fmt(y1), fmt(x2), fmt(y2), u, s)


def radial(gid, stops, cx=0.5, cy=0.5, r=0.5, fx=None, fy=None, units=None):
    u = ' gradientUnits="userSpaceOnUse"' if units == "user" else ""
    f = ""
    if fx is not None:
        f = ' fx="%s" fy="%s"' % (fmt(fx), fmt(fy))
    s = "".join(
        '<stop offset="%s" stop-color="%s"%s/>'
        % (fmt(o), c, (' stop-opacity="%s"' % fmt(a)) if a is not None else "")
        for o, c, a in (_stop(st) for st in stops)
    )
    return '<radialGradient id="%s" cx="%s" cy="%s" r="%s"%s%s>%s</radialGradient>' % (
        gid, fmt(cx), fmt(cy), fmt(r), f, u, s)


def _stop(st):
    if len(st) == 2:
        return st[0], st[1], None
    return st


def shadow_filter(fid, dy=4, blur=3, opacity=0.3, colour="#102040"):
    return (
        '<filter id="%s" x="-20%%" y="-20%%" width="140%%" height="150%%">'
        '<feGaussianBlur in="SourceAlpha" stdDeviation="%s"/>'
        '<feOffset dy="%s" result="b"/>'
        '<feFlood flood-color="%s" flood-opacity="%s"/>'
        '<feComposite in2="b" operator="in"/>'
        '<feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge></filter>'
        % (fid, fmt(blur), fmt(dy), colour, fmt(opacity))
    )


def blur_filter(fid, blur):
    return (
        '<filter id="%s" x="-50%%" y="-50%%" width="200%%" height="200%%">'
        '<feGaussianBlur stdDeviation="%s"/></filter>' % (fid, fmt(blur))
    )


def outlined(shapes, fill, stroke, width):
    """A union of shapes with one outline around the whole: the shapes stroked twice as wide
    first, then filled on top, so inner seams disappear."""
    return (
        '<g fill="%s" stroke="%s" stroke-width="%s" stroke-linejoin="round">%s</g>'
        '<g fill="%s">%s</g>' % (stroke, stroke, fmt(2 * width), shapes, fill, shapes)
    )


def circle(cx, cy, r, extra=""):
    return '<circle cx="%s" cy="%s" r="%s" %s/>' % (fmt(cx), fmt(cy), fmt(r), extra)


def ellipse(cx, cy, rx, ry, extra=""):
    return '<ellipse cx="%s" cy="%s" rx="%s" ry="%s" %s/>' % (
        fmt(cx), fmt(cy), fmt(rx), fmt(ry), extra)


def rect(x, y, w, h, rx=0, extra=""):
    return '<rect x="%s" y="%s" width="%s" height="%s" rx="%s" %s/>' % (
        fmt(x), fmt(y), fmt(w), fmt(h), fmt(rx), extra)


def path(d, extra=""):
    return '<path d="%s" %s/>' % (d, extra)


def star_points(cx, cy, n, outer, inner, rotation=-90):
    out = []
    for i in range(2 * n):
        r = outer if i % 2 == 0 else inner
        a = math.radians(rotation + i * 180.0 / n)
        out.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return out


def heart_path(cx, cy, w, h):
    """A plump heart of width w and height h centred on (cx, cy)."""
    x0 = cx - w / 2
    y0 = cy - h / 2
    p = lambda fx, fy: "%s,%s" % (fmt(x0 + fx * w), fmt(y0 + fy * h))
    return (
        "M%s C%s %s %s C%s %s %s C%s %s %s C%s %s %s Z"
        % (p(0.5, 0.25), p(0.42, 0.02), p(0.0, 0.0), p(0.0, 0.33),
           p(0.0, 0.62), p(0.3, 0.8), p(0.5, 1.0),
           p(0.7, 0.8), p(1.0, 0.62), p(1.0, 0.33),
           p(1.0, 0.0), p(0.58, 0.02), p(0.5, 0.25))
    )


def gloss(cx, cy, rx, ry, opacity=0.55):
    gid = uid("gloss")
    return (
        linear(gid, [(0, "#ffffff", opacity), (1, "#ffffff", 0)]),
        ellipse(cx, cy, rx, ry, 'fill="url(#%s)"' % gid),
    )
