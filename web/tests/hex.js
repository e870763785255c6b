// Intel HEX files for the rows, as the command line's end-to-end table
// makes them.
'use strict';

function record(address, bytes, type = 0) {
  const body = [bytes.length, (address >> 8) & 0xff, address & 0xff, type, ...bytes];
  const sum = (0x100 - (body.reduce((a, b) => a + b, 0) & 0xff)) & 0xff;
  return ':' + [...body, sum].map((b) => b.toString(16).padStart(2, '0').toUpperCase()).join('') + '\n';
}
const endRecord = () => record(0, [], 1);
const bytes = (n, seed) => Array.from({ length: n }, (_, i) => (seed + 13 * i) & 0xff);

// Data in blocks 0, 1 and 10, a config word the loader leaves out, an end record.
function smallProgram() {
  let hex = record(0, [0, 0], 4);
  for (let a = 0; a < 0x60; a += 16) hex += record(a, bytes(16, a));
  return hex + record(10 * 64 + 8, bytes(16, 0x55)) + record(0x400e, [0x30, 0x3f]) + endRecord();
}

// Every word below the bootloader's area of the chip (bootBoundary bytes).
function fullProgram(bootBoundary) {
  let hex = '';
  for (let a = 0; a < bootBoundary; a += 16) hex += record(a, bytes(Math.min(16, bootBoundary - a), a >> 4).map((b, i) => (i & 1 ? b & 0x3f : b)));
  return hex + endRecord();
}

const kBootBoundary = { 819: 2 * 2048 - 328, 88: 2 * 4096 - 328 };

const files = {
  program: smallProgram,
  full88: () => fullProgram(kBootBoundary[88]),
  bootArea819: () => record(0, bytes(16, 1)) + record(kBootBoundary[819] - 8, bytes(16, 2)) + endRecord(),
  configOnly: () => record(0x400e, [0x30, 0x3f]) + endRecord(),
  cutShort: () => smallProgram().slice(0, smallProgram().lastIndexOf(':')),
};

module.exports = { files };
