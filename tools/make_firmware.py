#!/usr/bin/env python3
"""Writes the stand-in firmware images FIRMWARE_4 and FIRMWARE_5 into resources/firmware/.

The controller's own firmware comes from the maker and is not in this repository. These
stand-ins have the sizes and the first two vector-table words of the maker's images, so every
path of the upgrade runs with them, and they say what they are: the text
"TOVEL-EDITOR STAND-IN FIRMWARE" sits right after the vector table, and the editor refuses to
write an image holding it to a real bridge. Should one ever run on a controller, its reset
handler and every other handler is a branch to itself. Deterministic: running the script twice
gives the same bytes.

    tools/make_firmware.py [OUTPUT_FOLDER]
    tools/make_firmware.py --check [FOLDER]   # exit 1 if FOLDER differs from a fresh run
"""

import os
import random
import struct
import sys

from generated import main, write

FLASH_BASE = 0x08000000
STACK_TOP = 0x20005000      # end of the controller's 20 KB of RAM
VECTOR_COUNT = 76           # 16 core exceptions and 60 interrupts
DEFAULT_HANDLER = 0x200     # offset of the handler every other vector points to
BRANCH_TO_SELF = b"\xfe\xe7"  # Thumb "b ."
MARKER = b"TOVEL-EDITOR STAND-IN FIRMWARE"

# name: (size in bytes, reset handler with its Thumb bit)
IMAGES = {
    "FIRMWARE_4": (24296, 0x08004BC1),
    "FIRMWARE_5": (27164, 0x08005865),
}


def image(name, size, reset):
    variant = int(name[-1])
    rng = random.Random(0x70E1 + variant)
    data = bytearray(rng.getrandbits(8) for _ in range(size))  # stands for code and data
    vectors = [STACK_TOP, reset] + [FLASH_BASE + DEFAULT_HANDLER + 1] * (VECTOR_COUNT - 2)
    data[0:4 * VECTOR_COUNT] = struct.pack("<%dI" % VECTOR_COUNT, *vectors)
    text = (MARKER + b" %d: made by tools/make_firmware.py, NOT the pedal's firmware. "
            b"Do not write it to a pedal.\0" % variant)
    start = 4 * VECTOR_COUNT
    data[start:start + len(text)] = text
    assert start + len(text) <= DEFAULT_HANDLER
    data[DEFAULT_HANDLER:DEFAULT_HANDLER + 2] = BRANCH_TO_SELF
    at = (reset & ~1) - FLASH_BASE
    assert DEFAULT_HANDLER + 2 <= at and at + 2 <= size
    data[at:at + 2] = BRANCH_TO_SELF
    assert len(data) == size
    return bytes(data)


def generate(out):
    os.makedirs(out, exist_ok=True)
    for name, (size, reset) in IMAGES.items():
        write(out, name, image(name, size, reset))


if __name__ == "__main__":
    # Only the images count: the folder may hold the maker's notes beside them.
    main("resources/firmware", generate, names=sorted(IMAGES))
