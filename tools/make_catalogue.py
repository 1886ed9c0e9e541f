#!/usr/bin/env python3
"""Writes the sample effect catalogue into resources/catalogue/.

The maker delivers the real catalogue; this one has the same shape so that every path of the
editor runs without it. Deterministic: running it twice gives the same bytes.

    tools/make_catalogue.py [OUTPUT_FOLDER]
    tools/make_catalogue.py --check [FOLDER]   # exit 1 if FOLDER differs from a fresh run
"""

import os
import random
import struct
import sys

from generated import main, png_bytes, write

# Seven categories in display order: (caption, effects). The counts are the delivered ones.
CATEGORIES = [
    ("Gain", [
        "Amber Drive", "Granite Fuzz", "Copper Boost", "Velvet Overdrive",
        "Sandstone Distortion", "Hornet Fuzz", "Ember Crunch", "Twin-Stage Drive",
        "Thunder Lead", "Quartz Clean Boost", "Rust Bucket", "Blue Hour Drive",
        "Forge 9 Distortion",
    ]),
    ("Modulation", [
        "Lagoon Chorus", "Tidal Flanger", "Orbit Phaser", "Vibe Wheel", "Slow Tremolo",
        "Harmonic Tremolo", "Rotary Cab", "Deep Chorus X2", "Ring Mod", "Tape Wobble",
        "Dual Phaser", "Glass Chorus", "Swirl Flanger", "Pulse Vibrato", "Ensemble 12",
        "Moon Panner",
    ]),
    ("Synthesis", [
        "Square Synth", "Octave Up", "Octave Down", "Sub Bass Synth", "Saw Lead", "Bell Pad",
        "Pluck Synth", "Fifth Harmony", "Arp Sequencer", "Bit Crusher", "Organ Drawbar",
        "Swell Pad",
    ]),
    ("Filter", ["Auto Wah", "Envelope Filter", "Step Filter", "Low-Pass Sweep"]),
    ("Dynamic", ["Soft Compressor", "Noise Gate"]),
    ("Impulse Response", [
        "Amber Drive + IR Loader", "TRX + IR Loader", "Basic IR Loader",
        "Four Band EQ + IR Loader",
    ]),
    ("Other", [
        "Moss Verb", "Hall Reverb", "Tape Echo", "Ping-Pong Delay", "Shimmer + Echo",
        "Looper 30", "Tuner",
    ]),
]

# Byte offset of the IR block (703 or 912 words starting with FF800000) in the IR programs. The
# equaliser loader's block is the editor's own choice (ir/irlayout.cpp holds the same numbers).
IR_BLOCKS = {
    "Amber Drive + IR Loader": (362, 703),
    "TRX + IR Loader": (370, 703),
    "Basic IR Loader": (230, 912),
    "Four Band EQ + IR Loader": (394, 703),
}

# Effect whose header announces 2,176 bytes while the image holds 2,048, as one delivered image does.
LONG_HEADER_EFFECT = "Tape Wobble"
# Effect whose layout header announces one line more than follows ("720" with 6 + 2 lines).
SHORT_LAYOUT_EFFECT = "Hall Reverb"
# Effect with the maximum of 24 controls ("AC2").
FULL_LAYOUT_EFFECT = "Arp Sequencer"
# The two ends of the image sizes (bytes).
SMALLEST_EFFECT = "Tuner"
LARGEST_EFFECT = "Shimmer + Echo"
# The page that shows a picture through a relative reference, and the picture.
PICTURE_EFFECT = "Moss Verb"
PICTURE_FILE = "tovel-pedal.png"

POT_LABELS = [
    "Level", "Gain", "Tone", "Bass", "Mid", "Treble", "Mix", "Rate", "Depth", "Time",
    "Feedback", "Decay", "Attack", "Release", "Threshold", "Presence", "Width", "Spread",
]
SWITCH_LINES = [
    "Clip:OFF:ON", "Mode:Vintage:Modern", "Bright:OFF:ON", "Mute:ON:OFF", "Tap:Tap:Tap",
    "Boost:OFF:ON", "Range:Low:High", "Trails:OFF:ON", "Sync:Free:Tempo", "Polarity:Normal:Invert",
    "Hold:OFF:ON", "Kill:OFF:ON",
]
MULTI_NAMES = ["Tap Division", "Sine Range", "Voice", "Shape", "Octave", "Pattern", "Band"]
ROMAN = ["I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X", "XI", "XII", "XIII",
         "XIV", "XV", "XVI"]

INPUTS = ["mono", "stereo"]
LED_TEXT = [
    ("effect on", "clip indicator"),
    ("effect on", "tap tempo"),
    ("effect on", "LFO rate"),
    ("bypass", "envelope level"),
]
FOOTSWITCH_TEXT = ["bypass on/off", "hold the effect while pressed", "tap tempo", "momentary boost"]

# Accented text: é, ° and the en dash. Catalogue resources are ASCII, so the pages write them as
# HTML character references (the maker's own pages may hold windows-1252 bytes instead).
DESCRIPTIONS = [
    "A warm {kind} voiced for single-coil pickups \u2013 from gentle edge to full café crunch.",
    "{Name} keeps its character at every setting; the tone control sweeps 90\u00b0 of phase.",
    "A studio-grade {kind} with a smooth response \u2013 try it before the amplifier.",
    "Clean, quiet and responsive: {Name} follows your picking dynamics.",
]

KINDS = {
    "Gain": "drive", "Modulation": "modulation", "Synthesis": "synthesizer", "Filter": "filter",
    "Dynamic": "dynamics processor", "Impulse Response": "cabinet simulator", "Other": "ambience",
}

CRLF = b"\r\n"


def resource_name(display_name):
    """The display-name-to-resource-name rule, in upper case as the resources are stored."""
    base = (display_name.replace(" ", "_").replace("-", "_").replace("+", "plus")
            .replace("X", "mult"))
    return base.upper()


def layout_counts(index, name):
    """(pots, switches, multi-switches) for effect number index."""
    if name == FULL_LAYOUT_EFFECT:
        return 10, 12, 2
    if name == SHORT_LAYOUT_EFFECT:
        return 7, 2, 0
    if name in IR_BLOCKS or name.endswith("IR Loader"):
        return 3, 1, 0
    pots = 1 + index % 7
    switches = index % 4
    multis = index % 3 // 2 + (1 if index % 11 == 0 else 0)
    return pots, switches, multis


def layout_lines(index, name, rng):
    pots, switches, multis = layout_counts(index, name)
    lines = ["%X%X%X" % (pots, switches, multis)]
    for p in range(pots):
        lines.append(POT_LABELS[(index + p) % len(POT_LABELS)])
    for s in range(switches):
        lines.append(SWITCH_LINES[(index + s) % len(SWITCH_LINES)])
    for m in range(multis):
        # 4 to 16 positions; the 24-control layout carries both extremes.
        if name == FULL_LAYOUT_EFFECT:
            count = (4, 16)[m]
        else:
            count = 4 + rng.randrange(13)
        label = MULTI_NAMES[(index + m) % len(MULTI_NAMES)]
        if label == "Tap Division":
            options = ["OFF"] + [str(2 * (k + 1)) for k in range(count - 1)]
        else:
            options = ROMAN[:count]
        lines.append(label + "".join(";" + o for o in options))
    if name == SHORT_LAYOUT_EFFECT:
        del lines[pots]  # the header still announces the missing pot line
    return lines


def layout_bytes(index, name, lines):
    # Line ends vary as in the delivered layouts: CR LF or LF, most without a final line end.
    end = b"\n" if index % 3 == 0 else CRLF
    text = end.join(line.encode("ascii") for line in lines)
    if index % 5 == 0:
        text += end
    return text


def image_size(index, name):
    if name in IR_BLOCKS:
        return 4096
    if name == LONG_HEADER_EFFECT:
        return 2048
    if name == SMALLEST_EFFECT:
        return 1280
    if name == LARGEST_EFFECT:
        return 9472
    return 1280 + 32 * ((index * 37) % 96)


def program_image(index, name, control_count, used_addresses, rng):
    size = image_size(index, name)
    image = bytearray(size)
    announced = 2176 if name == LONG_HEADER_EFFECT else size
    image[0] = 0x00
    struct.pack_into(">H", image, 1, announced)
    for k in range(control_count):
        while True:
            address = rng.randrange(0x0100, 0x10000)
            if address not in used_addresses:
                break
        used_addresses.add(address)
        offset = 3 + 2 * k if k < 16 else 49 + 2 * (k - 16)
        struct.pack_into(">H", image, offset, address)
    # Bytes the editor does not read; the virtual pedal learns from them what runs.
    image[35] = index
    image[36] = 1 + index % 5
    if name in IR_BLOCKS:
        start, _ = IR_BLOCKS[name]
        image[start:start + 4] = bytes.fromhex("FF800000")
    return image.hex().upper().encode("ascii")


def page_bytes(index, name, category):
    pots, switches, selectors = layout_counts(index, name)
    parts = ["%d %s" % (n, word if n == 1 else word + "s")
             for n, word in ((pots, "pot"), (switches, "switch"), (selectors, "selector")) if n]
    controls = ", ".join(parts).replace("switchs", "switches") if parts else "none"
    blue, orange = LED_TEXT[index % len(LED_TEXT)]
    kind = KINDS[category]
    # The picture page also carries the accented text, so one page shows both.
    template = DESCRIPTIONS[0 if name == PICTURE_EFFECT else index % len(DESCRIPTIONS)]
    description = template.format(kind=kind, Name=name)
    picture = ""
    if name == PICTURE_EFFECT:
        picture = '<P><IMG SRC="%s" ALT="The pedal" WIDTH="160" HEIGHT="100"></P>\r\n' % PICTURE_FILE
    text = (
        '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0 Transitional//EN">\r\n'
        "<HTML>\r\n<HEAD>\r\n"
        '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=windows-1252">\r\n'
        "<TITLE>%(name)s</TITLE>\r\n</HEAD>\r\n"
        '<BODY STYLE="font-family: sans-serif; font-size: 10pt">\r\n'
        "<H3>%(name)s</H3>\r\n"
        "%(picture)s"
        "<TABLE BORDER=\"0\" CELLPADDING=\"2\">\r\n"
        "<TR><TD><B>Input</B></TD><TD>%(input)s</TD></TR>\r\n"
        "<TR><TD><B>Output</B></TD><TD>%(output)s</TD></TR>\r\n"
        "<TR><TD><B>Blue LED</B></TD><TD>%(blue)s</TD></TR>\r\n"
        "<TR><TD><B>Orange LED</B></TD><TD>%(orange)s</TD></TR>\r\n"
        "<TR><TD><B>Footswitch</B></TD><TD>%(foot)s</TD></TR>\r\n"
        "</TABLE>\r\n"
        "<P>%(description)s</P>\r\n"
        "<P>Controls: %(controls)s.</P>\r\n"
        "</BODY>\r\n</HTML>\r\n"
    ) % {
        "name": name, "picture": picture,
        "input": INPUTS[index % 2], "output": INPUTS[(index // 2) % 2],
        "blue": blue, "orange": orange, "foot": FOOTSWITCH_TEXT[index % len(FOOTSWITCH_TEXT)],
        "description": description, "controls": controls,
    }
    return text.encode("ascii", "xmlcharrefreplace")



def pedal_picture():
    """A 160 x 100 drawing of the pedal: a dark body, two knobs, a blue and an orange LED."""
    knobs = [(50, 35, 14), (110, 35, 14)]
    leds = [(70, 70, 5, (40, 110, 255)), (90, 70, 5, (255, 140, 20))]

    def pixel(x, y):
        for cx, cy, r, colour in leds:
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                return colour
        for cx, cy, r in knobs:
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                return (200, 200, 190)
        if 8 <= x < 152 and 6 <= y < 94:
            return (60, 62, 70)
        return (255, 255, 255)

    return png_bytes(160, 100, pixel)





def generate(out):
    os.makedirs(out, exist_ok=True)
    rng = random.Random(20240611)

    effects = [(name, caption) for caption, names in CATEGORIES for name in names]
    assert len(effects) == 58
    assert len({resource_name(n) for n, _ in effects}) == 58
    # Effect numbers do not follow the categories in the delivered list either.
    order = list(range(58))
    rng.shuffle(order)
    numbered = [effects[i] for i in order]

    lines = [b"0:empty"] + [("%X:%s" % (i + 1, name)).encode("ascii")
                            for i, (name, _) in enumerate(numbered)]
    write(out, "EFFECT_LIST", CRLF.join(lines))

    for caption, names in CATEGORIES:
        write(out, resource_name(caption), CRLF.join(n.encode("ascii") for n in names))

    used_addresses = set()
    for number, (name, caption) in enumerate(numbered, start=1):
        base = resource_name(name)
        lines = layout_lines(number, name, rng)
        pots, switches, multis = layout_counts(number, name)
        write(out, base + "_CTRLS", layout_bytes(number, name, lines))
        write(out, base, program_image(number, name, pots + switches + multis,
                                       used_addresses, rng))
        page = page_bytes(number, name, caption)
        write(out, base + "_INFO", page)
        write(out, name + "-info.html", page)

    write(out, PICTURE_FILE, pedal_picture())


if __name__ == "__main__":
    main("resources/catalogue", generate)
