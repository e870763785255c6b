// Runs one row of rows.js: node run-row.js NAME SITE HOST_BUILD SHOTS
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { rows } = require('./rows');
const { files } = require('./hex');
const { startBoard, startBridge, runCli, sleep } = require('./chain');
const { launch, openPage, writeFlash, readBoxes } = require('./page-driver');

// A port nothing listens on, for rows that never reach the board.
const kNoBoard = { url: 'ws://127.0.0.1:9', stop: async () => {} };

async function main() {
  const [name, site, hostBuild, shots] = process.argv.slice(2);
  const row = rows.find((r) => r.name === name);
  if (!row) throw new Error(`no row ${name}`);
  const tools = { sim: path.join(hostBuild, 'sim/fernbow-sim'), cli: path.join(hostBuild, 'cli/fernbow-cli') };
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), `fernbow-web-${name}-`));
  const hexPath = path.join(folder, row.fileName || 'program.hex');
  if (row.hex) fs.writeFileSync(hexPath, files[row.hex]());
  // fernbow-sim's own bootloader without line timing; the chip model in real time.
  const boardOptions = row.sim && (row.sim.includes('--chip-model') ? row.sim : ['--instant', ...row.sim]);
  const failures = [];
  const expect = (ok, what) => { if (!ok) failures.push(what); };

  // The command line first, on a board of its own.
  let cli;
  let cliFlash;
  if (row.chip) {
    const cliBoard = await startBoard(tools, folder, 'cli-board', row.chip, boardOptions);
    cli = runCli(tools, ['--port', cliBoard.device, hexPath]);
    cliFlash = await cliBoard.flash();
  }

  const board = row.chip && await startBoard(tools, folder, 'board', row.chip, boardOptions);
  const bridge = board ? await startBridge(folder, board.device) : kNoBoard;
  const browser = await launch(folder);
  let result = {};
  let page;
  try {
    if (row.noWebSerial) {
      page = await openPage(browser, site, '', () => { delete Navigator.prototype.serial; });
      result.shown = await page.$eval('#unsupported', (e) => (e.hidden ? '' : e.textContent));
    } else {
      page = await openPage(browser, site, `?port=${bridge.url}`);
      if (row.fileName) {
        await (await page.$('#file')).uploadFile(hexPath);
      } else {
        result = await writeFlash(page, hexPath);
      }
      result.boxes = await readBoxes(page, row.box);
    }
    if (row.monitor) {
      await page.waitForFunction((text) => document.getElementById('monitor-text').textContent.includes(text),
        { timeout: 15000 }, row.monitor).catch(() => {});
      result.monitor = await page.$eval('#monitor-text', (e) => e.textContent);
    }
    if (row.trace) result.trace = await page.evaluate(() => traceText(lastTrace));
    fs.mkdirSync(shots, { recursive: true });
    await page.screenshot({ path: path.join(shots, `${name}.png`) });
  } finally {
    await browser.close();
    await bridge.stop();
  }
  await sleep(100);

  if (row.status !== undefined) expect(result.status === row.status, `status "${row.status}"`);
  if (row.box) expect(result.boxes.some((text) => text.includes(row.box)), `box "${row.box}"`);
  if (row.monitor) expect(result.monitor.includes(row.monitor), `monitor "${row.monitor}"`);
  if (row.trace) expect(result.trace.includes(row.trace), `trace "${row.trace}"`);
  if (row.disabledWhileRunning) expect(result.disabledWhileRunning === true, 'the commands disabled during the run');
  if (row.shown) expect(result.shown.includes(row.shown), `the sentence "${row.shown}"`);
  if (board) {
    const flash = await board.flash();
    expect(flash !== '' && flash === cliFlash, "the board's flash as the command line left its own");
  }
  expect(page.errors.length === 0, 'no uncaught error in the page');
  console.log(`page: ${JSON.stringify(result)}` + (cli ? `\ncli (exit ${cli.status}): ${cli.out}` : ''));
  if (failures.length) {
    console.log(`expected but not seen: ${failures.join('; ')}\npage errors: ${page.errors.join('\n')}` +
      `\nfolder: ${folder}`);
    process.exit(1);
  }
  fs.rmSync(folder, { recursive: true, force: true });
}

main().catch((e) => { console.error(e); process.exit(1); });
