#!/usr/bin/env bash
# Writes the binary seeds of the fuzz corpus: WAV files of each kind an impulse-response import
# meets (made with sox) and firmware images around the image checks. The outputs are committed;
# run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/corpus"
mkdir -p irimport firmwareimage

wav() { # name, then sox output options
    local name=$1; shift
    sox -n -r 48000 -c 1 -b 24 -e signed-integer /tmp/tovel-seed-$$.wav synth 0.004 sine 1000 vol 0.8
    sox /tmp/tovel-seed-$$.wav "$@" "irimport/$name.wav"
    rm -f /tmp/tovel-seed-$$.wav
}
wav pcm24-48k -r 48000 -b 24 -e signed-integer
wav pcm16-44k1 -r 44100 -b 16 -e signed-integer
wav pcm8-stereo -r 48000 -b 8 -e unsigned-integer -c 2
wav float32-96k -r 96000 -b 32 -e floating-point
wav alaw-8k -r 8000 -e a-law
wav pcm32-48k -r 48000 -b 32 -e signed-integer
# A header whose data chunk announces far more than the file holds.
python3 - <<'PY'
import struct
samples = b"".join(struct.pack("<h", v) for v in (32767, -32768, 1000, -1000) * 8)
fmt = struct.pack("<HHIIHH", 1, 1, 48000, 96000, 2, 16)
body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"LIST" + struct.pack("<I", 4) + b"INFO"
body += b"data" + struct.pack("<I", 0xFFFFFFFF) + samples
open("irimport/truncated-data.wav", "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)

# Firmware images: one choice byte (0: as it is), then the image.
def image(stack, reset, size):
    b = bytearray((i * 37) & 0xFF for i in range(size))
    b[0:8] = struct.pack("<II", stack, reset)
    return bytes(b)
open("firmwareimage/fit", "wb").write(b"\x00" + image(0x20005000, 0x08000101, 600))
open("firmwareimage/no-thumb-bit", "wb").write(b"\x00" + image(0x20005000, 0x08000100, 600))
open("firmwareimage/stack-outside-ram", "wb").write(b"\x00" + image(0x30000000, 0x08000101, 300))
open("firmwareimage/whole-flash", "wb").write(b"\x03" + image(0x20005000, 0x08000101, 256))
open("firmwareimage/too-large", "wb").write(b"\x04" + image(0x20005000, 0x08000101, 256))
open("firmwareimage/short", "wb").write(b"\x00\x00\x50\x00\x20")
PY
