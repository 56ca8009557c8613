"""Turns an SVG template of the art folder into pixels: fills its {{name}}
placeholders from the picture's parameters and the shared palette, renders it
with rsvg-convert and decodes the result."""

import argparse
import html
import os
import re
import subprocess

from pngdecode import read_png

PLACEHOLDER = re.compile(r"\{\{\s*([A-Za-z][A-Za-z0-9_-]*)\s*\}\}")
COLOUR = re.compile(r"^#[0-9a-fA-F]{6}$")


def load_palette(path):
    """The palette file: one 'name #rrggbb' a line; '#' at a line's start
    begins a comment. Every picture takes its colours from here by name, so the
    art keeps one palette."""
    palette = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            words = line.split()
            if not words or words[0].startswith("#"):
                continue
            if len(words) != 2 or not COLOUR.match(words[1]):
                raise ValueError("%s:%d: expected 'name #rrggbb'" % (path, number))
            palette[words[0]] = words[1].lower()
    return palette


def hex_to_rgb(colour):
    return tuple(int(colour[i : i + 2], 16) for i in (1, 3, 5))


def fill(template, values, where):
    """Replaces every {{name}}; a name without a value stops the build, so a
    typing error never renders as an empty caption or a black fill."""

    def value(match):
        name = match.group(1)
        if name not in values:
            raise ValueError("%s: no value for {{%s}}" % (where, name))
        return html.escape(values[name], quote=True)

    return PLACEHOLDER.sub(value, template)


def render(svg_text, png_path, rsvg, size=None):
    """Writes the filled SVG beside the PNG (handy when judging the art), renders
    it, and returns (width, height, rgba) of the PNG."""
    svg_path = os.path.splitext(png_path)[0] + ".svg"
    with open(svg_path, "w", encoding="utf-8") as f:
        f.write(svg_text)
    command = [rsvg, "--format", "png", "--output", png_path]
    if size:
        command += ["--width", str(size), "--height", str(size)]
    subprocess.run(command + [svg_path], check=True)
    with open(png_path, "rb") as f:
        return read_png(f.read())


def arguments(description, out_help):
    """The command line both renderers take."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--art", required=True, help="the art folder: palette, list, SVG sources")
    parser.add_argument("--out", required=True, help=out_help)
    parser.add_argument("--rsvg", default="rsvg-convert", help="the SVG renderer")
    return parser.parse_args()


def write_atomically(path, data):
    """Writes through a temporary name, so an interrupted build never leaves a
    half-written picture that looks finished."""
    temporary = path + ".part"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, path)
