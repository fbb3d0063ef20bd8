#!/usr/bin/env python3
"""Draws a picture of scenario_inspect --svg with librsvg (rsvg-convert) and
with ImageMagick's own renderer (convert MSVG:) and checks that both show
every station name: inside each name's box both renders hold pixels of the
text colour, and the two renders differ on less than 2 % of their pixels.

  svg_render_test.py PICTURE.svg WORK_DIR

Exits 77, a skip for ctest, when a renderer is missing."""

import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

SKIP = 77
SVG = "{http://www.w3.org/2000/svg}"
LABEL_BOX_STROKE = "#999999"
MOST_DIFFERING = 0.02


def renderers():
    rsvg = shutil.which("rsvg-convert")
    # Named so that ImageMagick does not hand the file to librsvg.
    magick = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else shutil.which("convert")
    if not rsvg or not magick:
        print("SKIPPED: needs rsvg-convert (librsvg2-bin) and convert (imagemagick)")
        sys.exit(SKIP)
    return rsvg, magick


def label_boxes(svg_path):
    """The box and the text of each label drawn on a white box."""
    children = list(ET.parse(svg_path).getroot())
    boxes = []
    for box, text in zip(children, children[1:]):
        if box.tag != SVG + "rect" or box.get("stroke") != LABEL_BOX_STROKE or text.tag != SVG + "text":
            continue
        x, y = float(box.get("x")), float(box.get("y"))
        boxes.append((text.text, x, y, float(box.get("width")), float(box.get("height"))))
    return boxes


def dark_pixels(magick, png, x, y, width, height):
    """How many pixels of the box (its edge left out) are near black."""
    crop = f"{max(int(width) - 4, 1)}x{max(int(height) - 4, 1)}+{int(x) + 2}+{int(y) + 2}"
    out = subprocess.run([magick, png, "-crop", crop, "+repage", "-colorspace", "Gray",
                          "-threshold", "45%", "-negate", "-format", "%[fx:mean*w*h]", "info:"],
                         check=True, capture_output=True, text=True).stdout
    return float(out)


def differing_share(magick, a, b):
    result = subprocess.run(["compare", "-metric", "AE", "-fuzz", "25%", a, b, "null:"],
                            capture_output=True, text=True)
    pixels = float(re.split(r"\s", result.stderr.strip())[0])
    size = subprocess.run([magick, a, "-format", "%[fx:w*h]", "info:"], check=True,
                          capture_output=True, text=True).stdout
    return pixels / float(size)


def main():
    svg, work = sys.argv[1], sys.argv[2]
    rsvg, magick = renderers()
    os.makedirs(work, exist_ok=True)
    by_rsvg = os.path.join(work, "rsvg.png")
    by_magick = os.path.join(work, "magick.png")
    subprocess.run([rsvg, "--background-color", "white", svg, "-o", by_rsvg], check=True)
    subprocess.run([magick, "MSVG:" + svg, by_magick], check=True)
    failures = []
    boxes = label_boxes(svg)
    if not boxes:
        failures.append("no labels on white boxes in the picture")
    for text, x, y, width, height in boxes:
        for name, png in (("librsvg", by_rsvg), ("ImageMagick", by_magick)):
            if dark_pixels(magick, png, x, y, width, height) < 3:
                failures.append(f"{name}: no text in the box of {text!r}")
    share = differing_share(magick, by_rsvg, by_magick)
    print(f"{len(boxes)} labels; the renders differ on {share:.2%} of their pixels")
    if share >= MOST_DIFFERING:
        failures.append(f"the renders differ on {share:.2%} of their pixels")
    for failure in failures:
        print("FAIL", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
