#!/usr/bin/env python3
"""A host that speaks only the inherited dialogue: wake-up 0xC1, the two-byte
answer, 68-byte frames answered "K" or "N", 19200 baud. It writes a HEX file
as fernbow-cli lays it out (jump at 0, the first four words moved below the
loader's entry; no reset-code mend) and never sends anything else.

    inherited_host.py DEVICE FILE.hex 88|819
Exit status 0 when every frame drew "K"."""
import os
import select
import sys
import termios
import time

ENTRY = {"88": 0xF60, "819": 0x760}
JUMP = {"88": [0x8A, 0x15, 0x60, 0x2F], "819": [0x60, 0x2F]}


def load(path):
    image = bytearray([0xFF]) * 0x8000
    base = 0
    for line in open(path):
        line = line.strip()
        if not line.startswith(":"):
            continue
        raw = bytes.fromhex(line[1:])
        count, address, kind = raw[0], raw[1] << 8 | raw[2], raw[3]
        if kind == 4:
            base = (raw[4] << 8 | raw[5]) << 16
        elif kind == 0 and base + address < 0x4000:
            image[base + address:base + address + count] = raw[4:4 + count]
    return image


def read(fd, count, seconds):
    got = b""
    end = time.monotonic() + seconds
    while len(got) < count and time.monotonic() < end:
        if select.select([fd], [], [], 0.02)[0]:
            got += os.read(fd, count - len(got))
    return got


def main():
    device, path, chip = sys.argv[1:4]
    entry = ENTRY[chip]
    image = load(path)
    boundary = 2 * entry - 8
    image[boundary:boundary + 8] = image[0:8]
    image[0:len(JUMP[chip])] = bytes(JUMP[chip])
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
    attrs = termios.tcgetattr(fd)
    attrs[0] = attrs[1] = attrs[3] = 0
    attrs[2] = termios.CS8 | termios.CREAD | termios.CLOCAL
    attrs[4] = attrs[5] = termios.B19200
    termios.tcsetattr(fd, termios.TCSANOW, attrs)
    for _ in range(100):
        termios.tcflush(fd, termios.TCIOFLUSH)
        os.write(fd, b"\xC1")
        answer = read(fd, 2, 0.05)
        if len(answer) == 2:
            break
        time.sleep(0.2)
    else:
        sys.exit("no answer to the wake-up")
    print("answer", answer.hex())
    for offset in range(0, boundary // 64 * 64 + 64, 64):
        block = image[offset:offset + 64]
        if block == b"\xFF" * 64:
            continue
        frame = bytes([offset >> 9 & 0xFF, offset >> 1 & 0xFF, 0x40]) + block
        frame += bytes([-sum(frame) & 0xFF])
        for _ in range(10):
            termios.tcflush(fd, termios.TCIOFLUSH)
            os.write(fd, frame)
            reply = read(fd, 1, 3)
            if reply == b"K":
                break
        else:
            sys.exit("block at word 0x%04X refused: %r" % (offset // 2, reply))
    print("all blocks taken")


main()
