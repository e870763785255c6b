// The page's measures, run by hand (cmake --build DIR --target perf):
//   node bench.js SITE HOST_BUILD
// a full PIC16F88 image at line rate through the page and through
// fernbow-cli over the same ser2net port in one run, the page's time from
// opening to ready, and the size of the module and scripts gzipped.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { files } = require('./hex');
const { startBoard, startBridge, runCli, sleep } = require('./chain');
const { launch, openPage, writeFlash } = require('./page-driver');

const kRounds = 3;

async function main() {
  const [site, hostBuild] = process.argv.slice(2);
  const tools = { sim: path.join(hostBuild, 'sim/fernbow-sim'), cli: path.join(hostBuild, 'cli/fernbow-cli') };
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'fernbow-web-bench-'));
  const hexPath = path.join(folder, 'full88.hex');
  fs.writeFileSync(hexPath, files.full88());
  console.log(`working in ${folder}`);

  const gzipped = ['fernbow-engine.js', 'page.js', 'port.js', 'index.html']
    .map((name) => zlib.gzipSync(fs.readFileSync(path.join(site, name)), { level: 9 }).length)
    .reduce((a, b) => a + b, 0);

  const board = await startBoard(tools, folder, 'board', '88', []);
  const bridge = await startBridge(folder, board.device);
  const browser = await launch(folder);
  const cliMs = [];
  const pageMs = [];
  const readyMs = [];
  try {
    for (let round = 0; round < kRounds; ++round) {
      const cli = runCli(tools, ['--port', bridge.tcpUrl, hexPath]);
      if (cli.status !== 0) throw new Error(`fernbow-cli, round ${round + 1} (${cli.ms.toFixed(0)} ms): ${cli.out}`);
      cliMs.push(cli.ms);
      const page = await openPage(browser, site, `?port=${bridge.url}`);
      // No user presses Write Flash within half a second of the page showing:
      // by then the test port's connection has settled, as a cable would be.
      await sleep(500);
      const result = await writeFlash(page, hexPath);
      if (result.outcome !== 'programmed') throw new Error(`page: ${JSON.stringify(result)}`);
      pageMs.push(result.runMs);
      readyMs.push(result.readyMs);
      await page.close();
      // ser2net serves one connection at a time: let the page's go first.
      await sleep(500);
    }
  } finally {
    await browser.close();
    await bridge.stop();
    await board.flash();
  }
  const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];
  console.log(`full PIC16F88 image, median of ${kRounds}: page ${median(pageMs).toFixed(0)} ms, ` +
    `fernbow-cli ${median(cliMs).toFixed(0)} ms (x${(median(pageMs) / median(cliMs)).toFixed(3)})`);
  console.log(`page opened to ready: ${median(readyMs)} ms (each: ${readyMs.join(', ')})`);
  console.log(`module and scripts gzipped: ${(gzipped / 1024).toFixed(1)} KiB`);
  fs.rmSync(folder, { recursive: true, force: true });
}

main().catch((e) => { console.error(e); process.exit(1); });
