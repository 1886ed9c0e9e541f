"""What the data generators in tools/ share: writing their files, a PNG encoder, and the
--check mode that tells whether a committed folder holds exactly what a fresh run writes."""

import filecmp
import os
import struct
import sys
import tempfile
import zlib


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def png_bytes(width, height, pixel, alpha=False):
    """An 8-bit PNG; pixel(x, y) gives (r, g, b), or (r, g, b, a) with alpha."""
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width))
                    for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def check(folder, generate, names=None):
    """True when folder holds what generate writes: those files (or only `names`), byte for
    byte; notes (.md) beside them do not count."""
    with tempfile.TemporaryDirectory() as fresh:
        generate(fresh)
        expected = sorted(names if names is not None else os.listdir(fresh))
        if names is None:
            present = sorted(f for f in os.listdir(folder) if not f.endswith(".md"))
            if expected != present:
                print("file names differ:", sorted(set(expected) ^ set(present)))
                return False
        _, mismatch, errors = filecmp.cmpfiles(fresh, folder, expected, shallow=False)
        if mismatch or errors:
            print("files differ from a fresh run:", mismatch + errors, file=sys.stderr)
            return False
    return True


def main(default_folder, generate, names=None):
    """`tool [FOLDER]` writes into FOLDER (default: the committed one); `tool --check [FOLDER]`
    exits 0 when FOLDER holds what the tool writes."""
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", default_folder)
    args = sys.argv[1:]
    if args[:1] == ["--check"]:
        sys.exit(0 if check(args[1] if len(args) > 1 else default, generate, names) else 1)
    generate(args[0] if args else default)
