#!/usr/bin/env bash
# full_image.sh WORDS OUT.hex: a program filling words 0 to WORDS-1, each word
# a different 14-bit value, so a block written to the wrong place shows.
set -euo pipefail
awk -v words="$1" 'BEGIN {
  for (base = 0; base < 2 * words; base += 16) {
    n = 2 * words - base < 16 ? 2 * words - base : 16
    sum = n + int(base / 256) + base % 256
    line = sprintf(":%02X%04X00", n, base)
    for (i = 0; i < n; i += 2) {
      w = ((base + i) / 2 * 7919 + 1237) % 16383   # never 0x3FFF, the erased value
      lo = w % 256; hi = int(w / 256)
      line = line sprintf("%02X%02X", lo, hi); sum += lo + hi
    }
    print line sprintf("%02X", (256 - sum % 256) % 256)
  }
  print ":00000001FF"
}' >"$2"
