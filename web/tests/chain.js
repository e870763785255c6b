// The test port's chain of real components: fernbow-sim on a
// pseudo-terminal, ser2net serving it as raw TCP, websockify bridging that
// to the WebSocket the page takes as ?port=. Also fernbow-cli against a
// board of its own, to compare with.
'use strict';
const { spawn, spawnSync } = require('child_process');
const fs = require('fs');
const net = require('net');
const path = require('path');

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Whether something listens on 127.0.0.1:port, from the kernel's table
// (connecting would make ser2net open the device).
function listening(port) {
  const local = `0100007F:${port.toString(16).toUpperCase().padStart(4, '0')}`;
  return fs.readFileSync('/proc/net/tcp', 'utf8').split('\n')
    .some((line) => { const f = line.trim().split(/\s+/); return f[1] === local && f[3] === '0A'; });
}

async function waitListening(port, what, logFile) {
  for (let i = 0; i < 500 && !listening(port); ++i) await sleep(20);
  if (!listening(port)) throw new Error(`${what} does not listen on ${port}: ${readText(logFile)}`);
}

function readText(file) {
  try { return fs.readFileSync(file, 'utf8'); } catch (e) { return ''; }
}

function started(argv, folder, name) {
  const log = path.join(folder, `${name}.log`);
  const child = spawn(argv[0], argv.slice(1), { cwd: folder, stdio: ['ignore', 'pipe', fs.openSync(log, 'a')] });
  child.log = log;
  child.ended = new Promise((resolve) => child.once('exit', (code, signal) => resolve({ code, signal })));
  return child;
}

async function stopped(child) {
  if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
  const timer = setTimeout(() => child.kill('SIGKILL'), 10000);
  const end = await child.ended;
  clearTimeout(timer);
  return end;
}

// A board: its device path, and its flash as Intel HEX once stopped.
async function startBoard(tools, folder, name, chip, options) {
  const dump = path.join(folder, `${name}-flash.hex`);
  const board = started([tools.sim, '--chip', chip, '--dump', dump, '--log', path.join(folder, `${name}-frames.log`),
    ...options], folder, name);
  board.device = await new Promise((resolve, reject) => {
    let text = '';
    board.stdout.on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) resolve(text.split('\n')[0].trim());
    });
    board.ended.then(() => reject(new Error(`fernbow-sim ended: ${readText(board.log)}`)));
  });
  board.flash = async () => { await stopped(board); return readText(dump); };
  return board;
}

// ser2net and websockify in front of a board; url is the page's test port,
// tcpUrl the same line for fernbow-cli.
async function startBridge(folder, device) {
  const tcpPort = await freePort();
  const config = path.join(folder, 'ser2net.yaml');
  fs.writeFileSync(config, `connection: &board\n  accepter: tcp,127.0.0.1,${tcpPort}\n` +
    `  connector: serialdev,${device},19200n81,local\n`);
  const ser2net = started(['/usr/sbin/ser2net', '-n', '-c', config, '-P', path.join(folder, 'ser2net.pid')],
    folder, 'ser2net');
  await waitListening(tcpPort, 'ser2net', ser2net.log);
  const wsPort = await freePort();
  const websockify = started(['websockify', `127.0.0.1:${wsPort}`, `127.0.0.1:${tcpPort}`], folder, 'websockify');
  await waitListening(wsPort, 'websockify', websockify.log);
  return {
    url: `ws://127.0.0.1:${wsPort}`,
    tcpUrl: `tcp://127.0.0.1:${tcpPort}`,
    stop: async () => { await stopped(websockify); await stopped(ser2net); },
  };
}

function runCli(tools, args) {
  const started = process.hrtime.bigint();
  const run = spawnSync(tools.cli, ['--wait', '30', ...args], { encoding: 'utf8', timeout: 120000 });
  return { status: run.status, out: run.stdout + run.stderr, ms: Number(process.hrtime.bigint() - started) / 1e6 };
}

module.exports = { startBoard, startBridge, runCli, readText, sleep };
