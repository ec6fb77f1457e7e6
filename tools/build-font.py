#!/usr/bin/python3
"""Build resources/ttf/SpectrumMedium.ttf from resources/font/glyphs.txt.

The font is an 8 x 8 pixel screen font drawn as outlines: one pixel is a
square of 128 font units, the em is 8 pixels (1024 units), 7 pixels lie above
the baseline and 1 below. Each glyph's ink pixels are merged into as few
contours as possible (the exact union of the squares), outer contours run
clockwise and holes counter-clockwise, as TrueType wants.

Besides the hand-drawn glyphs of the sheet this script makes:
  U+0080-U+008F  the 2 x 2 block graphics: code 0x80 + b, where bit 0 is the
                 top-right quadrant, bit 1 top-left, bit 2 bottom-right and
                 bit 3 bottom-left; each quadrant is 4 x 4 pixels
  U+0090-U+00A4  the user-defined graphics, drawn as the capitals A-U of the
                 sheet in inverse video
  .notdef        an empty box

Run with Debian's python (fontTools from python3-fonttools):
    /usr/bin/python3 tools/build-font.py
The output is deterministic: building twice gives identical bytes.
"""

import os
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.agl import UV2AGL

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHEET = os.path.join(ROOT, "resources", "font", "glyphs.txt")
OUTPUT = os.path.join(ROOT, "resources", "ttf", "SpectrumMedium.ttf")

CELL = 8                # pixels per row and per column
PIXEL = 128             # font units per pixel
UPM = CELL * PIXEL      # 1024
ASCENT_PX = 7           # rows 0-6 above the baseline
DESCENT_PX = 1          # row 7 below it
ADVANCE = CELL * PIXEL  # monospaced: every glyph is 8 pixels wide

FAMILY = "Spectrum"
STYLE = "Medium"
VERSION = "1.000"
# Fixed so that rebuilding gives identical bytes (seconds since 1904-01-01).
TIMESTAMP = 3786825600  # 2024-01-01 00:00:00 UTC


def fail(message):
    sys.stderr.write("build-font: %s\n" % message)
    sys.exit(1)


def read_sheet(path):
    """Return {codepoint: (rows, options)} from the glyph sheet."""
    glyphs = {}
    with open(path, encoding="utf-8") as handle:
        lines = handle.read().splitlines()
    index = 0
    while index < len(lines):
        line = lines[index].rstrip()
        index += 1
        if not line or line.startswith(";"):
            continue
        if not line.startswith("U+"):
            fail("%s:%d: expected a 'U+XXXX name' header" % (path, index))
        fields = line.split()
        try:
            codepoint = int(fields[0][2:], 16)
        except ValueError:
            fail("%s:%d: bad code point %r" % (path, index, fields[0]))
        options = {}
        for field in fields[2:]:
            if "=" in field:
                key, value = field.split("=", 1)
                options[key] = value
        rows = lines[index:index + CELL]
        if len(rows) != CELL or any(len(r) != CELL or set(r) - set("#.") for r in rows):
            fail("%s:%d: U+%04X needs %d rows of %d '#'/'.' cells"
                 % (path, index, codepoint, CELL, CELL))
        index += CELL
        if codepoint in glyphs:
            fail("%s:%d: U+%04X drawn twice" % (path, index, codepoint))
        glyphs[codepoint] = (rows, options)
    return glyphs


def block_graphic(bits):
    top = ("####" if bits & 2 else "....") + ("####" if bits & 1 else "....")
    bottom = ("####" if bits & 8 else "....") + ("####" if bits & 4 else "....")
    return [top] * 4 + [bottom] * 4


def inverse(rows):
    return ["".join("." if c == "#" else "#" for c in row) for row in rows]


def contours(rows):
    """Trace the union of the ink pixels into closed contours.

    Coordinates are in pixels, y up, the baseline at y = 0. Every pixel
    contributes its four edges clockwise; edges shared by two ink pixels
    cancel, and the remaining edges are chained into loops. Where two loops
    touch at a corner the walk turns right, keeping them apart.
    """
    edges = set()
    for r, row in enumerate(rows):
        for c, cell in enumerate(row):
            if cell != "#":
                continue
            x0, x1 = c, c + 1
            yb, yt = ASCENT_PX - 1 - r, ASCENT_PX - r
            for edge in (((x0, yb), (x0, yt)), ((x0, yt), (x1, yt)),
                         ((x1, yt), (x1, yb)), ((x1, yb), (x0, yb))):
                reverse = (edge[1], edge[0])
                if reverse in edges:
                    edges.remove(reverse)
                else:
                    edges.add(edge)
    outgoing = {}
    for start, end in edges:
        outgoing.setdefault(start, []).append(end)

    loops = []
    remaining = set(edges)
    while remaining:
        # Start at the lowest-leftmost remaining edge, for a stable order.
        start, end = min(remaining)
        remaining.remove((start, end))
        outgoing[start].remove(end)
        points = [start]
        previous, current = start, end
        while current != start:
            points.append(current)
            dx, dy = current[0] - previous[0], current[1] - previous[1]
            choices = outgoing[current]
            preferences = [(dy, -dx), (dx, dy), (-dy, dx)]  # right, ahead, left
            for ddx, ddy in preferences:
                candidate = (current[0] + ddx, current[1] + ddy)
                if candidate in choices:
                    break
            else:
                fail("contour tracing lost its way")
            choices.remove(candidate)
            remaining.remove((current, candidate))
            previous, current = current, candidate
        loops.append(simplify(points))
    return loops


def simplify(points):
    """Drop the points that lie in the middle of a straight run."""
    kept = []
    count = len(points)
    for i, point in enumerate(points):
        before, after = points[i - 1], points[(i + 1) % count]
        cross = ((point[0] - before[0]) * (after[1] - point[1])
                 - (point[1] - before[1]) * (after[0] - point[0]))
        if cross != 0:
            kept.append(point)
    # Begin each contour at its lowest-leftmost corner.
    first = kept.index(min(kept))
    return kept[first:] + kept[:first]


def draw(rows, xshift=0.0):
    pen = TTGlyphPen(None)
    offset = int(round(xshift * PIXEL))
    for loop in contours(rows):
        pen.moveTo((loop[0][0] * PIXEL + offset, loop[0][1] * PIXEL))
        for x, y in loop[1:]:
            pen.lineTo((x * PIXEL + offset, y * PIXEL))
        pen.closePath()
    return pen.glyph()


def notdef():
    rows = ["........",
            ".######.",
            ".#....#.",
            ".#....#.",
            ".#....#.",
            ".#....#.",
            ".######.",
            "........"]
    return rows


def glyph_name(codepoint):
    if codepoint in UV2AGL and codepoint < 0x80:
        return UV2AGL[codepoint]
    return "uni%04X" % codepoint


def main():
    sheet = read_sheet(SHEET)

    for codepoint in list(range(0x20, 0x80)) + [0xFE]:
        if codepoint not in sheet:
            fail("the sheet lacks U+%04X" % codepoint)
    for bits in range(16):
        if 0x80 + bits in sheet:
            fail("U+%04X is made by the script; remove it from the sheet" % (0x80 + bits))
        sheet[0x80 + bits] = (block_graphic(bits), {})
    for n in range(21):
        codepoint = 0x90 + n
        if codepoint in sheet:
            fail("U+%04X is made by the script; remove it from the sheet" % codepoint)
        sheet[codepoint] = (inverse(sheet[ord("A") + n][0]), {})

    codepoints = sorted(sheet)
    order = [".notdef"] + [glyph_name(cp) for cp in codepoints]
    if len(set(order)) != len(order):
        fail("duplicate glyph names")
    cmap = {cp: glyph_name(cp) for cp in codepoints}

    glyphs = {".notdef": draw(notdef())}
    for cp in codepoints:
        rows, options = sheet[cp]
        glyphs[glyph_name(cp)] = draw(rows, float(options.get("xshift", "0")))

    fb = FontBuilder(UPM, isTTF=True)
    fb.font.recalcTimestamp = False
    fb.updateHead(created=TIMESTAMP, modified=TIMESTAMP, fontRevision=float(VERSION),
                  lowestRecPPEM=8, macStyle=0)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap(cmap)
    fb.setupGlyf(glyphs)
    glyf = fb.font["glyf"]
    metrics = {}
    for name in order:
        glyph = glyf[name]
        metrics[name] = (ADVANCE, getattr(glyph, "xMin", 0) if glyph.numberOfContours else 0)
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=ASCENT_PX * PIXEL, descent=-DESCENT_PX * PIXEL,
                             lineGap=0)
    fb.setupNameTable({
        "copyright": "Original design made for TOS Malvore",
        "familyName": FAMILY,
        "styleName": STYLE,
        "uniqueFontIdentifier": "%s-%s;%s" % (FAMILY, STYLE, VERSION),
        "fullName": "%s %s" % (FAMILY, STYLE),
        "version": "Version %s" % VERSION,
        "psName": "%s-%s" % (FAMILY, STYLE),
        "description": "An 8 x 8 pixel screen font in the style of 8-bit home "
                       "computers, with 2 x 2 block graphics.",
        "typographicFamily": FAMILY,
        "typographicSubfamily": STYLE,
    }, windows=True, mac=False)
    fb.setupOS2(
        version=4,
        xAvgCharWidth=ADVANCE,
        usWeightClass=500,
        usWidthClass=5,
        fsType=0,
        achVendID="NONE",
        fsSelection=0x40 | 0x80,  # REGULAR, USE_TYPO_METRICS
        sTypoAscender=ASCENT_PX * PIXEL,
        sTypoDescender=-DESCENT_PX * PIXEL,
        sTypoLineGap=0,
        usWinAscent=ASCENT_PX * PIXEL,
        usWinDescent=DESCENT_PX * PIXEL,
        sxHeight=4 * PIXEL,
        sCapHeight=6 * PIXEL,
        usDefaultChar=0,
        usBreakChar=0x20,
        usMaxContext=0,
        ulUnicodeRange1=(1 << 0) | (1 << 1),  # Basic Latin, Latin-1 Supplement
        ulUnicodeRange2=0,
        ulUnicodeRange3=0,
        ulUnicodeRange4=0,
        ulCodePageRange1=1 << 0,  # Latin 1
        ulCodePageRange2=0,
        ySubscriptXSize=UPM // 2, ySubscriptYSize=UPM // 2,
        ySubscriptXOffset=0, ySubscriptYOffset=PIXEL,
        ySuperscriptXSize=UPM // 2, ySuperscriptYSize=UPM // 2,
        ySuperscriptXOffset=0, ySuperscriptYOffset=3 * PIXEL,
        yStrikeoutSize=PIXEL, yStrikeoutPosition=3 * PIXEL,
        panose={"bFamilyType": 2, "bSerifStyle": 11, "bWeight": 6,
                "bProportion": 9, "bContrast": 2, "bStrokeVariation": 2,
                "bArmStyle": 2, "bLetterForm": 2, "bMidline": 2, "bXHeight": 4},
    )
    os2 = fb.font["OS/2"]
    os2.usFirstCharIndex = min(codepoints)
    os2.usLastCharIndex = max(codepoints)
    fb.setupPost(isFixedPitch=1, underlinePosition=-PIXEL // 2, underlineThickness=PIXEL)
    fb.setupMaxp()

    os.makedirs(os.path.dirname(OUTPUT), exist_ok=True)
    fb.save(OUTPUT)
    print("build-font: wrote %s (%d glyphs)" % (os.path.relpath(OUTPUT, ROOT), len(order)))


if __name__ == "__main__":
    main()
