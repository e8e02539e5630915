#!/usr/bin/env python3
"""Writes the cat pictures as SVG.

Both cats are one scene: the same white cat with light-brown patches, seen
from the front and a little from below.  Only the face changes: the "empty"
cat calls for food with its mouth wide open and its eyes squeezed, the "full"
cat sits with its mouth closed, looking at you.

Two levels of detail are drawn from the same geometry:
  * regular (cat_*.svg) for 128, 96 and 64 pixels: whiskers, stripes, fur;
  * small (cat_*_small.svg) for 48 and 32 pixels: thicker outline, larger
    eyes and mouth, nothing finer than about a pixel.

All coordinates live in a 128 x 128 box.  Edit here, run this script, then
run tools/make_icons.  The SVG files it writes are committed; --check tells
whether they still match this script.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# Palette.
FUR = "#FFFFFF"
FUR_SHADE = "#EEE8E2"
LINE = "#6E5D52"        # outline: warm grey-brown, reads on white and grey
PATCH = "#DDA86E"       # light brown
PATCH_SMALL = "#D89C5E" # a shade deeper, so the patches survive at 32 px
STRIPE = "#C48A52"      # darker tabby stripes inside the patches
EAR_PINK = "#F4B3BE"
NOSE = "#EE8797"
EYE = "#2F241F"
MOUTH_IN = "#7E1626"
MOUTH_RIM = "#F391A3"
TONGUE = "#E35B74"
BLUSH = "#F7A9B8"


def mirror(path_points):
    """Mirror a list of (x, y) pairs across the vertical centre line."""
    return [(128 - x, y) for x, y in path_points]


def fmt(v):
    s = ("%.2f" % v).rstrip("0").rstrip(".")
    return s if s != "-0" else "0"


def pts(points):
    return " ".join("%s,%s" % (fmt(x), fmt(y)) for x, y in points)


def cubic_path(start, segments, close=True):
    """start=(x,y); segments=list of 3-point tuples for C commands."""
    d = "M %s" % pts([start])
    for seg in segments:
        d += " C %s" % pts(seg)
    if close:
        d += " Z"
    return d


def mirror_segments(start, segments):
    return (128 - start[0], start[1]), [tuple(mirror(s)) for s in segments]


# ---------------------------------------------------------------- geometry

# The chest: shoulders slope out from under the head and leave the picture
# on both sides and at the bottom, so the bottom rows are fur across the
# whole width.
BODY = ("M -8,140 L -8,118 C 2,104 12,96 26,90 L 102,90 "
        "C 116,96 126,104 136,118 L 136,140 Z")

# The head, seen a little from below: broad cheeks, full chin.
HEAD_START = (64, 17)
HEAD_SEGMENTS = [
    ((90, 17), (110, 28), (115, 48)),
    ((119, 63), (119, 80), (107, 91)),
    ((95, 100), (79, 103), (64, 103)),
    ((49, 103), (33, 100), (21, 91)),
    ((9, 80), (9, 63), (13, 48)),
    ((18, 28), (38, 17), (64, 17)),
]

# Tufts of cheek fur poking out at the sides (regular detail only).
TUFT_LEFT = "M 16,66 L 6,72 L 14,75 L 7,82 L 20,84 Z"

# Left ear; the right one is its mirror image.  The tip touches the top edge.
EAR_START = (15, 58)
EAR_SEGMENTS = [
    ((12, 40), (13, 20), (19, 6)),
    ((21, 1.5), (24, 1.5), (27, 4)),
    ((38, 12), (48, 20), (56, 30)),
]
EAR_INNER_START = (21, 40)
EAR_INNER_SEGMENTS = [
    ((20, 30), (21, 20), (24, 12)),
    ((32, 18), (39, 24), (45, 31)),
    ((36, 32), (27, 36), (21, 40)),
]


def head_d():
    return cubic_path(HEAD_START, HEAD_SEGMENTS)


def ear_d(side):
    start, segs = EAR_START, EAR_SEGMENTS
    if side == "right":
        start, segs = mirror_segments(start, segs)
    return cubic_path(start, segs)


def ear_inner_d(side):
    start, segs = EAR_INNER_START, EAR_INNER_SEGMENTS
    if side == "right":
        start, segs = mirror_segments(start, segs)
    return cubic_path(start, segs)


# Brown patches, clipped to the head and ears.  A cap over the left ear and
# forehead, a smaller one over the right ear, a spot on the crown.
PATCH_LEFT = ("M 0,0 L 58,0 C 58,14 56,24 50,30 C 46,36 50,44 44,46 "
              "C 36,48 30,42 24,46 C 16,52 10,56 0,56 Z")
PATCH_RIGHT = ("M 80,0 L 128,0 L 128,44 C 120,46 114,40 106,38 "
               "C 98,36 96,30 90,28 C 84,26 80,18 80,0 Z")
PATCH_CROWN = "M 60,17 C 70,17 76,20 74,25 C 72,30 62,31 58,27 C 54,23 54,17 60,17 Z"
STRIPES = [
    "M 50,19 C 48,24 46,28 44,31",
    "M 41,17 C 40,22 37,26 35,29",
    "M 101,26 C 98,29 96,32 95,35",
]


# ---------------------------------------------------------------- drawing

class Style:
    def __init__(self, small):
        self.small = small
        self.outline = 9.0 if small else 5.0   # stroke drawn behind the fill
        self.inner = 6.0 if small else 3.2     # lines on the face
        self.eye_y = 54 if small else 55
        self.eye_dx = 24 if small else 23


def outlined(d, fill, width, extra=""):
    """A shape whose outline shows only outside its fill."""
    return ('<path d="%s" fill="none" stroke="%s" stroke-width="%s" '
            'stroke-linejoin="round"%s/>\n'
            '<path d="%s" fill="%s"%s/>\n' % (d, LINE, fmt(width), extra, d, fill, extra))


def face_full(st):
    """Mouth closed, eyes open, pink nose over a small 'w' smile."""
    out = []
    ex, ey = st.eye_dx, st.eye_y
    if st.small:
        rx, ry = 11, 13
    else:
        rx, ry = 9.5, 11.5
    for cx in (64 - ex, 64 + ex):
        out.append('<ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="%s"/>'
                   % (fmt(cx), fmt(ey), fmt(rx), fmt(ry), EYE))
        if st.small:
            out.append('<circle cx="%s" cy="%s" r="4.5" fill="#FFFFFF"/>'
                       % (fmt(cx + 3), fmt(ey - 4)))
        else:
            out.append('<circle cx="%s" cy="%s" r="3.6" fill="#FFFFFF"/>'
                       % (fmt(cx + 3), fmt(ey - 4.5)))
            out.append('<circle cx="%s" cy="%s" r="1.7" fill="#FFFFFF"/>'
                       % (fmt(cx - 3.5), fmt(ey + 4.5)))
    # Cheek blush.
    if not st.small:
        for cx in (30, 98):
            out.append('<ellipse cx="%s" cy="76" rx="8" ry="4.5" fill="%s" '
                       'opacity="0.7"/>' % (cx, BLUSH))
    # Nose and mouth.
    if st.small:
        out.append('<path d="M 54,67 L 74,67 C 74,72 68,76 64,77 '
                   'C 60,76 54,72 54,67 Z" fill="%s"/>' % NOSE)
        out.append('<path d="M 64,76 L 64,81 M 48,79 C 52,87 60,87 64,81 '
                   'C 68,87 76,87 80,79" fill="none" stroke="%s" '
                   'stroke-width="%s" stroke-linecap="round" '
                   'stroke-linejoin="round"/>' % (LINE, fmt(st.inner)))
    else:
        out.append('<path d="M 56,68 L 72,68 C 72,72 67,75 64,76 '
                   'C 61,75 56,72 56,68 Z" fill="%s" stroke="%s" '
                   'stroke-width="1.4" stroke-linejoin="round"/>' % (NOSE, "#C86A7A"))
        out.append('<path d="M 64,76 L 64,80 M 53,79 C 56,86 61,86 64,80 '
                   'C 67,86 72,86 75,79" fill="none" stroke="%s" '
                   'stroke-width="%s" stroke-linecap="round" '
                   'stroke-linejoin="round"/>' % (LINE, fmt(st.inner)))
    return "\n".join(out) + "\n"


def face_empty(st):
    """Mouth wide open, eyes squeezed to arcs."""
    out = []
    ex, ey = st.eye_dx, st.eye_y
    w = 7.0 if st.small else 4.2
    half = 11 if st.small else 10
    for cx in (64 - ex, 64 + ex):
        # An arch: the cat squeezes its eyes while it calls.
        out.append('<path d="M %s,%s C %s,%s %s,%s %s,%s" fill="none" '
                   'stroke="%s" stroke-width="%s" stroke-linecap="round"/>'
                   % (fmt(cx - half), fmt(ey + 4),
                      fmt(cx - half * 0.6), fmt(ey - 6),
                      fmt(cx + half * 0.6), fmt(ey - 6),
                      fmt(cx + half), fmt(ey + 4), EYE, fmt(w)))
    if not st.small:
        for cx in (28, 100):
            out.append('<ellipse cx="%s" cy="74" rx="7" ry="4" fill="%s" '
                       'opacity="0.7"/>' % (cx, BLUSH))
    # Nose sits above the open mouth.
    if st.small:
        out.append('<path d="M 56,57 L 72,57 C 72,61 67,64 64,65 '
                   'C 61,64 56,61 56,57 Z" fill="%s"/>' % NOSE)
        mx, my, mrx, mry, rim = 64, 84, 23, 17, 5.0
    else:
        out.append('<path d="M 57,60 L 71,60 C 71,63.5 66.5,66 64,67 '
                   'C 61.5,66 57,63.5 57,60 Z" fill="%s" stroke="%s" '
                   'stroke-width="1.4" stroke-linejoin="round"/>' % (NOSE, "#C86A7A"))
        mx, my, mrx, mry, rim = 64, 85, 19, 15, 3.6
    out.append('<clipPath id="mouth"><ellipse cx="%s" cy="%s" rx="%s" ry="%s"/></clipPath>'
               % (fmt(mx), fmt(my), fmt(mrx), fmt(mry)))
    out.append('<ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="%s"/>'
               % (fmt(mx), fmt(my), fmt(mrx), fmt(mry), MOUTH_IN))
    # Tongue at the bottom of the mouth.
    out.append('<ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="%s" clip-path="url(#mouth)"/>'
               % (fmt(mx), fmt(my + mry * 0.95), fmt(mrx * 0.62), fmt(mry * 0.55), TONGUE))
    out.append('<ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="none" stroke="%s" '
               'stroke-width="%s"/>' % (fmt(mx), fmt(my), fmt(mrx), fmt(mry), MOUTH_RIM, fmt(rim)))
    if not st.small:
        # Little fangs under the rim.
        for fx, sgn in ((mx - 9, 1), (mx + 9, -1)):
            out.append('<path d="M %s,%s L %s,%s L %s,%s Z" fill="#FFFFFF"/>'
                       % (fmt(fx - 3), fmt(my - mry + 1.8), fmt(fx + 3), fmt(my - mry + 1.8),
                          fmt(fx + sgn * 0.6), fmt(my - mry + 7)))
    return "\n".join(out) + "\n"


def whiskers():
    lines = []
    for (x1, y1, x2, y2) in ((30, 68, 10, 64), (30, 73, 9, 74), (31, 78, 12, 84)):
        for a, b, c, d in ((x1, y1, x2, y2), (128 - x1, y1, 128 - x2, y2)):
            lines.append("M %s,%s L %s,%s" % (a, b, c, d))
    return ('<path d="%s" fill="none" stroke="%s" stroke-width="1.3" '
            'stroke-linecap="round" opacity="0.75"/>\n' % (" ".join(lines), LINE))


def scene(mood, small):
    st = Style(small)
    o = []
    o.append('<?xml version="1.0" encoding="UTF-8"?>\n')
    o.append('<!-- Purrbox cat, %s%s. Written by art/draw_cats.py. -->\n'
             % (mood, ", small sizes" if small else ""))
    o.append('<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" '
             'viewBox="0 0 128 128">\n')
    head_union = [ear_d("left"), ear_d("right"), head_d()]
    # Cheek tufts join the silhouette at the regular size only.
    head_union_extra = [] if small else [
        '<path d="%s"/>' % TUFT_LEFT,
        '<path d="%s" transform="matrix(-1 0 0 1 128 0)"/>' % TUFT_LEFT,
    ]
    o.append('<defs>\n<clipPath id="headclip">\n')
    for d in head_union:
        o.append('<path d="%s"/>\n' % d)
    o.append('</clipPath>\n<clipPath id="bodyclip"><path d="%s"/></clipPath>\n</defs>\n' % BODY)

    # Chest, with a soft shade under the chin so the head stands out.
    o.append(outlined(BODY, FUR, st.outline))
    o.append('<ellipse cx="64" cy="99" rx="46" ry="11" fill="%s" '
             'clip-path="url(#bodyclip)"/>\n' % FUR_SHADE)

    # Head and ears: all outlines first, then all fills, so the outline
    # runs around the whole silhouette and not across the ear bases.
    o.append('<g fill="none" stroke="%s" stroke-width="%s" stroke-linejoin="round">\n'
             % (LINE, fmt(st.outline)))
    for d in head_union:
        o.append('<path d="%s"/>\n' % d)
    for e in head_union_extra:
        o.append(e + "\n")
    o.append('</g>\n<g fill="%s">\n' % FUR)
    for d in head_union:
        o.append('<path d="%s"/>\n' % d)
    for e in head_union_extra:
        o.append(e + "\n")
    o.append('</g>\n')

    # Patches.
    o.append('<g clip-path="url(#headclip)" fill="%s">\n'
             % (PATCH_SMALL if small else PATCH))
    o.append('<path d="%s"/>\n<path d="%s"/>\n<path d="%s"/>\n'
             % (PATCH_LEFT, PATCH_RIGHT, PATCH_CROWN))
    if not small:
        o.append('<path d="%s" fill="none" stroke="%s" stroke-width="2.6" '
                 'stroke-linecap="round"/>\n' % (" ".join(STRIPES), STRIPE))
    o.append('</g>\n')

    # Inner ears.
    for side in ("left", "right"):
        o.append('<path d="%s" fill="%s"/>\n' % (ear_inner_d(side), EAR_PINK))

    if not small:
        o.append(whiskers())
    o.append(face_empty(st) if mood == "empty" else face_full(st))
    o.append('</svg>\n')
    return "".join(o)


def main(argv):
    check = argv == ["--check"]
    if argv and not check:
        print("usage: draw_cats.py [--check]", file=sys.stderr)
        return 2
    outputs = {}
    for mood in ("empty", "full"):
        outputs["cat_%s.svg" % mood] = scene(mood, small=False)
        outputs["cat_%s_small.svg" % mood] = scene(mood, small=True)
    status = 0
    for name, text in sorted(outputs.items()):
        path = os.path.join(HERE, name)
        if check:
            try:
                with open(path, encoding="utf-8", newline="") as f:
                    same = f.read() == text
            except FileNotFoundError:
                same = False
            print("%s art/%s" % ("up to date:" if same else "STALE:", name))
            status = status or (0 if same else 1)
            continue
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        print("wrote art/%s" % name)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
