#!/usr/bin/env python3
"""Writes the editor's looks into resources/styles/: eight style sheets STYLE_0 to STYLE_7 and
the small pictures they use (check marks, drop-down arrows, the tile under look 7).

Every sheet comes from one template, so each covers the same controls; the colours of a look
are derived from its ground and accent, and text colours are chosen by their contrast with the
ground they are drawn on. Deterministic: running it twice gives the same bytes.

    tools/make_looks.py [OUTPUT_FOLDER]
    tools/make_looks.py --check [FOLDER]   # exit 1 if FOLDER differs from a fresh run
"""

import math
import os
import string
import struct
import sys

from generated import main, write
from generated import png_bytes as _png


def png_bytes(width, height, pixel):
    """An 8-bit RGBA PNG; pixel(x, y) gives (r, g, b, a)."""
    return _png(width, height, pixel, alpha=True)

# (number, character, ground, accent). Look 7's ground is the tile; its accent is our own.
LOOKS = [
    (0, "dark, red accent", "#252525", "#CB0809"),
    (1, "dark, amber accent", "#252525", "#CB8808"),
    (2, "dark, aqua accent", "#272727", "#66F8E3"),
    (3, "dark, blue accent", "#252525", "#0886CB"),
    (4, "mid-grey, orange accent", "#505050", "#F69E2D"),
    (5, "mid-grey, gold accent", "#505050", "#F4BB40"),
    (6, "light, light-blue accent", "#F0F0F0", "#3DC9ED"),
    (7, "translucent over a tiled picture", None, "#FF8A5B"),
]

TILE = "look7_tile.png"
TILE_SIZE = 96
# Contrast ratios (WCAG) every sheet keeps: text on its ground, disabled text on its ground.
MIN_TEXT_CONTRAST = 4.5
MIN_DISABLED_CONTRAST = 3.0

# --- colours ----------------------------------------------------------------------------------


def rgb(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def hexof(c):
    return "#%02X%02X%02X" % tuple(int(round(v)) for v in c)


def mix(a, b, t):
    """a moved towards b by t (0..1)."""
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def luminance(c):
    def lin(v):
        v /= 255.0
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = (lin(v) for v in c)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


BLACK, WHITE = (0, 0, 0), (255, 255, 255)
NEAR_BLACK, NEAR_WHITE = rgb("#141414"), rgb("#F4F4F4")


def best_text(ground):
    """The near-black or near-white that reads better on ground."""
    return max((NEAR_BLACK, NEAR_WHITE), key=lambda c: contrast(c, ground))


def faded(text, grounds, minimum):
    """text moved towards the first ground as far as it stays readable on every ground."""
    best = text
    for step in range(1, 101):
        c = mix(text, grounds[0], step / 100.0)
        if min(contrast(c, g) for g in grounds) < minimum:
            break
        best = c
    return best


def readable_step(ground, towards, most, text):
    """ground moved towards `towards` by up to `most`, as far as text keeps its contrast."""
    t = most
    while t > 0.02 and contrast(text, mix(ground, towards, t)) < MIN_TEXT_CONTRAST:
        t -= 0.01
    return mix(ground, towards, t)


class Rgba:
    """A translucent colour and what it gives over a known ground."""

    def __init__(self, c, alpha):
        self.c, self.alpha = c, alpha

    def over(self, ground):
        return mix(ground, self.c, self.alpha)

    def css(self):
        return "rgba(%d, %d, %d, %d)" % (self.c + (int(round(self.alpha * 255)),))


# --- pictures ---------------------------------------------------------------------------------



def coverage(inside, x, y, n=4):
    """Share of the pixel (x, y) inside the shape, by n x n samples."""
    hits = sum(inside(x + (i + 0.5) / n, y + (j + 0.5) / n) for i in range(n) for j in range(n))
    return hits / float(n * n)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def check_mark(colour):
    """A 10 x 10 tick in colour on nothing."""
    points = [(1.6, 5.2), (4.0, 7.6), (8.6, 2.2)]

    def inside(x, y):
        return any(segment_distance(x, y, *points[i], *points[i + 1]) <= 1.05
                   for i in range(len(points) - 1))

    return png_bytes(10, 10, lambda x, y: colour + (int(round(255 * coverage(inside, x, y))),))


def down_arrow(colour):
    """An 8 x 5 triangle pointing down."""
    def inside(x, y):
        return y >= 0.5 and abs(x - 4.0) <= (4.6 - y) * 0.95

    return png_bytes(8, 5, lambda x, y: colour + (int(round(255 * coverage(inside, x, y))),))


TILE_DARK, TILE_LIGHT = rgb("#151A26"), rgb("#2D2444")
TILE_HOLE, TILE_RIM = rgb("#0B0D14"), rgb("#4A4F66")


def tile_pixel(x, y):
    """A perforated grille over a slow violet-to-navy wave; seamless at the tile's edges."""
    n = TILE_SIZE
    wave = 0.5 + 0.5 * math.sin(2 * math.pi * (x + y) / n) * math.cos(2 * math.pi * (x - y) / n)
    base = mix(TILE_DARK, TILE_LIGHT, wave)
    pitch = 16
    row = int(y // pitch)
    cy = row * pitch + pitch / 2.0
    shift = (pitch / 2.0) if row % 2 else 0.0
    cx = math.floor((x - shift) / pitch) * pitch + pitch / 2.0 + shift
    d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
    # Shallow holes with a faint lit rim: a calm ground, so text on it stays easy to read.
    if d <= 3.6:
        c = mix(base, TILE_HOLE, 0.55)
    elif d <= 5.0:
        light = max(0.0, -((x + 0.5 - cx) + (y + 0.5 - cy)) / (d * math.sqrt(2)))
        c = mix(base, TILE_RIM, 0.15 + 0.3 * light)
    else:
        c = base
    return tuple(int(round(v)) for v in c) + (255,)


def tile_extremes():
    pixels = [tile_pixel(x, y)[:3] for y in range(TILE_SIZE) for x in range(TILE_SIZE)]
    return min(pixels, key=luminance), max(pixels, key=luminance)


# --- sheets -----------------------------------------------------------------------------------

TEMPLATE = string.Template("""\
/* Look $number: $character.
   Written by tools/make_looks.py from one template for every look; change it there. */

QWidget {
    color: $text;
    selection-background-color: $accent;
    selection-color: $on_accent;
}
QWidget:disabled {
    color: $text_disabled;
}
QWidget:window {
    background-color: $ground;$window_image
}
QLabel, QCheckBox, QRadioButton {
    background: transparent;
}
/* drawn at half opacity: the strongest text keeps it readable */
QLabel#lblSerialNumber {
    color: $text_strong;
}
QToolTip {
    color: $menu_text;
    background-color: $menu;
    background-image: none;
    border: 1px solid $border;
    padding: 2px;
}

/* The main window's menu bar is 24 pixels high. A new sheet makes the bar take the height its
   entries ask for; their padding comes on top of this. Its six menus fit the window's 399
   pixels with 4 pixels either side of each entry. */
QMenuBar {
    background-color: $bar;
    color: $text;
    border-bottom: 1px solid $border;
    min-height: 18px;
}
QMenuBar::item {
    background: transparent;
    padding: 3px 4px;
}
QMenuBar::item:selected {
    background-color: $hover;
}
QMenuBar::item:pressed {
    background-color: $accent;
    color: $on_accent;
}
QMenu {
    background-color: $menu;
    background-image: none;
    color: $menu_text;
    border: 1px solid $border;
    padding: 3px 0px;
}
QMenu::item {
    background: transparent;
    padding: 4px 24px 4px 24px;
}
QMenu::item:selected {
    background-color: $accent;
    color: $on_accent;
}
QMenu::item:disabled {
    color: $menu_text_disabled;
}
QMenu::separator {
    height: 1px;
    background: $border;
    margin: 3px 6px;
}
QMenu::indicator {
    width: 12px;
    height: 12px;
    left: 6px;
}
QMenu::indicator:checked {
    background-color: $accent;
    border-radius: 2px;
    image: url(:/styles/$check);
}

QPushButton, QToolButton {
    background-color: $button;
    color: $text;
    border: 1px solid $border;
    border-radius: 3px;
    padding: 1px 4px;
}
QPushButton:hover, QToolButton:hover {
    background-color: $hover;
    border-color: $accent;
}
QPushButton:focus, QToolButton:focus {
    border-color: $accent;
}
QPushButton:pressed, QToolButton:pressed, QPushButton:checked, QToolButton:checked {
    background-color: $pressed;
    color: $pressed_text;
    border-color: $accent;
}
QPushButton:disabled, QToolButton:disabled {
    background-color: $button_disabled;
    color: $text_disabled;
    border-color: $border_disabled;
}

QCheckBox, QRadioButton {
    spacing: 3px;
}
QCheckBox::indicator, QRadioButton::indicator {
    width: 12px;
    height: 12px;
    background-color: $panel;
    border: 1px solid $border_strong;
    border-radius: 2px;
}
QRadioButton::indicator {
    border-radius: 7px;
}
QCheckBox::indicator:hover, QRadioButton::indicator:hover, QCheckBox:focus::indicator, QRadioButton:focus::indicator {
    border-color: $accent;
}
QCheckBox::indicator:checked {
    background-color: $accent;
    border-color: $accent_edge;
    image: url(:/styles/$check);
}
QRadioButton::indicator:checked {
    background-color: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,
        stop: 0 $accent, stop: 0.55 $accent, stop: 0.65 $panel, stop: 1 $panel);
}
QCheckBox::indicator:disabled, QRadioButton::indicator:disabled {
    background-color: $button_disabled;
    border-color: $border_disabled;
}
QCheckBox::indicator:checked:disabled {
    background-color: $accent_disabled;
    image: url(:/styles/$check_disabled);
}

QComboBox {
    background-color: $button;
    color: $text;
    border: 1px solid $border;
    border-radius: 3px;
    padding: 0px 1px 0px 4px;
}
QComboBox:hover, QComboBox:focus, QComboBox:on {
    border-color: $accent;
}
QComboBox:disabled {
    background-color: $button_disabled;
    color: $text_disabled;
    border-color: $border_disabled;
}
QComboBox::drop-down {
    subcontrol-origin: padding;
    subcontrol-position: center right;
    width: 12px;
    border: none;
}
QComboBox::down-arrow {
    image: url(:/styles/$arrow);
}
QComboBox::down-arrow:disabled {
    image: url(:/styles/$arrow_disabled);
}
QComboBox QAbstractItemView {
    background-color: $menu;
    background-image: none;
    color: $menu_text;
    border: 1px solid $border;
    selection-background-color: $accent;
    selection-color: $on_accent;
    outline: 0px;
}

QAbstractItemView {
    background-color: $panel;
    color: $text;
    border: 1px solid $border;
    selection-background-color: $accent;
    selection-color: $on_accent;
    outline: 0px;
}
QAbstractItemView::item:hover {
    background-color: $panel_hover;
    color: $text;
}
QAbstractItemView::item:selected {
    background-color: $accent;
    color: $on_accent;
}
QAbstractItemView:disabled {
    color: $text_disabled;
}

QPlainTextEdit, QTextEdit, QLineEdit, QSpinBox {
    background-color: $panel;
    color: $text;
    border: 1px solid $border;
    selection-background-color: $accent;
    selection-color: $on_accent;
}
QLineEdit:focus, QSpinBox:focus {
    border-color: $accent;
}
QPlainTextEdit:disabled, QTextEdit:disabled, QLineEdit:disabled, QSpinBox:disabled {
    color: $text_disabled;
}
/* the console: traces line up in columns */
QPlainTextEdit#Memo1 {
    font-family: "DejaVu Sans Mono", "Liberation Mono", monospace;
}

QScrollBar:vertical {
    background: $panel;
    width: 12px;
    margin: 0px;
    border: none;
}
QScrollBar:horizontal {
    background: $panel;
    height: 12px;
    margin: 0px;
    border: none;
}
QScrollBar::handle:vertical {
    background: $scroll_handle;
    min-height: 24px;
    margin: 2px;
    border-radius: 4px;
}
QScrollBar::handle:horizontal {
    background: $scroll_handle;
    min-width: 24px;
    margin: 2px;
    border-radius: 4px;
}
QScrollBar::handle:hover {
    background: $accent;
}
QScrollBar::add-line, QScrollBar::sub-line {
    width: 0px;
    height: 0px;
    border: none;
    background: none;
}
QScrollBar::add-page, QScrollBar::sub-page {
    background: none;
}

QSlider {
    background: transparent;
}
QSlider::groove:horizontal {
    height: 4px;
    background: $groove;
    border-radius: 2px;
}
QSlider::sub-page:horizontal {
    background: $accent_muted;
    border-radius: 2px;
}
QSlider::handle:horizontal {
    background: $accent;
    border: 1px solid $accent_edge;
    width: 10px;
    margin: -5px 0px;
    border-radius: 6px;
}
QSlider::handle:horizontal:hover {
    background: $accent_hover;
}
QSlider::handle:horizontal:focus {
    border-color: $text;
}
QSlider::sub-page:horizontal:disabled {
    background: $groove;
}
QSlider::handle:horizontal:disabled {
    background: $accent_disabled;
    border-color: $border_disabled;
}

tovel--ToggleSwitch {
    qproperty-trackOnColor: $accent;
    qproperty-trackOffColor: $switch_off;
    qproperty-thumbColor: $thumb;
    outline: 1px solid $accent;
}

QProgressBar {
    background-color: $panel;
    color: $text;
    border: 1px solid $border;
    border-radius: 3px;
    text-align: center;
}
QProgressBar::chunk {
    background-color: $chunk;
    border-radius: 2px;
}
QProgressBar:disabled {
    color: $text_disabled;
}
QProgressBar::chunk:disabled {
    background-color: $chunk_disabled;
}

QFrame#lineDivider {
    color: $border_strong;
}
""")


def colours_for(number, character, ground_text, accent_text, tile_light=None):
    """The named colours of one look, and the grounds its texts must read on."""
    accent = rgb(accent_text)
    v = {"number": number, "character": character, "window_image": ""}
    if ground_text is None:
        # Translucent panels over the tile: each colour is checked over the tile's lightest
        # pixel, where text has the least contrast.
        ground = tile_light
        v["window_image"] = ("\n    background-image: url(:/styles/%s);" % TILE
                             + "\n    background-repeat: repeat-xy;")
        text = NEAR_WHITE
        layers = {
            "panel": Rgba(rgb("#0A0C12"), 0.78),
            "panel_hover": Rgba(rgb("#FFFFFF"), 0.14),
            "button": Rgba(rgb("#3C425A"), 0.72),
            "hover": Rgba(rgb("#505878"), 0.80),
            "pressed": Rgba(rgb("#000000"), 0.60),
            "button_disabled": Rgba(rgb("#14161E"), 0.60),
            "border": Rgba(rgb("#FFFFFF"), 0.30),
            "border_disabled": Rgba(rgb("#FFFFFF"), 0.15),
            "border_strong": Rgba(rgb("#FFFFFF"), 0.55),
            "groove": Rgba(rgb("#FFFFFF"), 0.25),
            "scroll_handle": Rgba(rgb("#FFFFFF"), 0.30),
            "bar": Rgba(rgb("#000000"), 0.35),
        }
        solid = {k: c.over(ground) for k, c in layers.items()}
        v.update({k: c.css() for k, c in layers.items()})
        v["ground"] = "#141824"
        menu = rgb("#1C2130")
    else:
        ground = rgb(ground_text)
        text = best_text(ground)
        light = luminance(ground) > 0.5
        towards, away = (BLACK, WHITE) if light else (WHITE, BLACK)
        solid = {
            "panel": WHITE if light else mix(ground, BLACK, 0.35),
            "button": mix(ground, towards, 0.08) if light else readable_step(ground, WHITE, 0.12, text),
            "hover": mix(ground, accent, 0.25) if light else readable_step(ground, WHITE, 0.22, text),
            "pressed": mix(ground, accent, 0.45) if light else mix(ground, BLACK, 0.35),
            "button_disabled": mix(ground, towards, 0.03) if light else mix(ground, WHITE, 0.05),
            "border": mix(ground, towards, 0.30),
            "border_disabled": mix(ground, towards, 0.15),
            "border_strong": mix(ground, towards, 0.50),
            "groove": mix(ground, towards, 0.20),
            "scroll_handle": mix(ground, towards, 0.30),
            "bar": mix(ground, away, 0.15) if not light else mix(ground, WHITE, 0.5),
        }
        solid["panel_hover"] = mix(solid["panel"], accent, 0.18)
        v.update({k: hexof(c) for k, c in solid.items()})
        v["ground"] = hexof(ground)
        menu = mix(ground, WHITE, 0.06) if not light else mix(ground, WHITE, 0.7)

    on_accent = best_text(accent)
    v["text"] = hexof(text)
    v["text_strong"] = hexof(WHITE if luminance(text) > 0.5 else BLACK)
    v["accent"] = accent_text
    v["on_accent"] = hexof(on_accent)
    v["accent_edge"] = hexof(mix(accent, BLACK, 0.3))
    v["accent_hover"] = hexof(mix(accent, WHITE, 0.25))
    v["accent_muted"] = hexof(mix(solid["groove"], accent, 0.6))
    v["accent_disabled"] = hexof(mix(accent, ground, 0.6))
    v["menu"] = hexof(menu)
    v["menu_text"] = hexof(best_text(menu))
    v["menu_text_disabled"] = hexof(faded(best_text(menu), [menu], MIN_DISABLED_CONTRAST + 0.3))
    # pressed buttons darken (or take the accent on a light ground)
    v["pressed_text"] = hexof(best_text(solid["pressed"]))
    # The percentage stands over the bar's filled part as well as its empty part: the fill is
    # the accent deepened (or lightened) until the panel's text reads on it.
    away_from_text = BLACK if luminance(text) > 0.5 else WHITE
    chunk = accent
    for step in range(0, 101):
        chunk = mix(accent, away_from_text, step / 100.0)
        if contrast(text, chunk) >= MIN_TEXT_CONTRAST + 0.2:
            break
    chunk_disabled = mix(chunk, solid["panel"], 0.5)
    v["chunk"] = hexof(chunk)
    v["chunk_disabled"] = hexof(chunk_disabled)
    grounds = [ground, solid["button_disabled"], solid["panel"], chunk_disabled]
    v["text_disabled"] = hexof(faded(text, grounds, MIN_DISABLED_CONTRAST + 0.3))
    v["switch_off"] = hexof(mix(ground, text, 0.35))
    v["thumb"] = hexof(mix(WHITE, ground, 0.05))
    v["check"] = "check_%s.png" % v["on_accent"][1:].lower()
    v["check_disabled"] = "check_%s.png" % v["text_disabled"][1:].lower()
    v["arrow"] = "arrow_%s.png" % v["text"][1:].lower()
    v["arrow_disabled"] = "arrow_%s.png" % v["text_disabled"][1:].lower()

    # Every text stays readable on the ground it is drawn on.
    checks = [
        ("text on ground", text, ground, MIN_TEXT_CONTRAST),
        ("text on panel", text, solid["panel"], MIN_TEXT_CONTRAST),
        ("text on button", text, solid["button"], MIN_TEXT_CONTRAST),
        ("text on hover", text, solid["hover"], MIN_TEXT_CONTRAST),
        ("pressed text", rgb(v["pressed_text"]), solid["pressed"], MIN_TEXT_CONTRAST),
        ("progress text on its fill", text, chunk, MIN_TEXT_CONTRAST),
        ("disabled progress text", rgb(v["text_disabled"]), chunk_disabled, MIN_DISABLED_CONTRAST),
        ("selected text", on_accent, accent, MIN_TEXT_CONTRAST),
        ("menu text", rgb(v["menu_text"]), menu, MIN_TEXT_CONTRAST),
        ("disabled text", rgb(v["text_disabled"]), solid["button_disabled"], MIN_DISABLED_CONTRAST),
        ("disabled menu text", rgb(v["menu_text_disabled"]), menu, MIN_DISABLED_CONTRAST),
    ]
    for what, fg, bg, minimum in checks:
        ratio = contrast(fg, bg)
        if ratio < minimum:
            raise SystemExit("look %d: %s has contrast %.2f, below %.1f" % (number, what, ratio, minimum))
    return v


def generate(out):
    os.makedirs(out, exist_ok=True)
    tile_dark, tile_light = tile_extremes()
    pictures = {}
    for number, character, ground, accent in LOOKS:
        v = colours_for(number, character, ground, accent, tile_light)
        write(out, "STYLE_%d" % number, TEMPLATE.substitute(v).encode("ascii"))
        for key in ("check", "check_disabled"):
            pictures[v[key]] = check_mark
        for key in ("arrow", "arrow_disabled"):
            pictures[v[key]] = down_arrow
    for name, draw in sorted(pictures.items()):
        colour = rgb(name.split("_")[1].split(".")[0])
        write(out, name, draw(colour))
    write(out, TILE, png_bytes(TILE_SIZE, TILE_SIZE, tile_pixel))





if __name__ == "__main__":
    main("resources/styles", generate)
