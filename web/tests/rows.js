// The page against fernbow-sim through the test port: the command line's
// outcome table, each row also run through fernbow-cli on a board of its own
// with the same faults, whose flash the page's board must end with.
'use strict';

const kSuccess = 'Pic successfully programmed! ';

// status: the status line afterwards; box: a text the page's box shows;
// monitor: a text the monitor pane shows afterwards; trace: a text of the
// byte trace the page saves; disabledWhileRunning: the commands are seen
// disabled during the run. Rows without a chip need no board: fileName is
// the name the file is chosen under, noWebSerial opens the page as a
// browser without Web Serial sees it, expecting the sentence shown.
const rows = [
  { name: 'Programmed88', chip: '88', sim: [], hex: 'program', status: kSuccess, trace: '> C1' },
  { name: 'LateTarget', chip: '88', sim: ['--ignore-wakeups', '3'], hex: 'program', status: kSuccess },
  { name: 'SilentBlockTimesOut', chip: '88', sim: ['--silent', '1'], hex: 'program', status: 'Timeout!',
    disabledWhileRunning: true },
  { name: 'TenRefusals', chip: '88', sim: ['--nack', '1:10'], hex: 'program', status: 'Transmission problem' },
  { name: 'UnexpectedAnswer', chip: '88', sim: ['--answer', 'X'], hex: 'program',
    status: 'Unexpected responce form target' },
  { name: 'BootArea819', chip: '819', sim: [], hex: 'bootArea819',
    box: 'hex file address overlaps boot area. Programming aborted.' },
  { name: 'NoProgramData', chip: '819', sim: [], hex: 'configOnly', box: 'No program data in file' },
  { name: 'CutShortFileRefused', chip: '819', sim: [], hex: 'cutShort', box: 'no end record' },
  { name: 'BoardHangsUp', chip: '88', sim: ['--hangup-after', '1'], hex: 'program', status: 'Timeout!' },
  { name: 'MonitorShowsGreeting', chip: '88', sim: ['--echo', '--idle-ms', '1500'], hex: 'program', status: kSuccess,
    monitor: 'fernbow-sim: program running, echoing' },
  // Our bootloader firmware in gpsim instead of fernbow-sim's model of it.
  { name: 'ChipModelFirmware', chip: '88', sim: ['--chip-model'], hex: 'program', status: kSuccess },
  { name: 'NotAHexFile', hex: 'program', fileName: 'program.txt', box: 'Must be HEX file!' },
  { name: 'NoWebSerial', noWebSerial: true, shown: 'only Chromium-based browsers have' },
];

module.exports = { rows };

if (require.main === module && process.argv[2] === '--names') console.log(rows.map((r) => r.name).join(';'));
