// Headless Chromium with the page, through puppeteer-core.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const kChromium = '/usr/bin/chromium';

async function launch(folder) {
  const profile = fs.mkdtempSync(path.join(folder || os.tmpdir(), 'chromium-'));
  return puppeteer.launch({
    executablePath: kChromium,
    headless: true,
    userDataDir: profile,
    // Without the background-networking flags Chromium waits on refused
    // connections at start.
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--allow-file-access-from-files'],
  });
}

// Opens the page from disk and waits until it is ready; the milliseconds from
// navigation to ready as the page measured them.
async function openPage(browser, site, query, before) {
  const page = await browser.newPage();
  await page.setViewport({ width: 900, height: 640 });
  page.errors = [];
  page.on('pageerror', (e) => page.errors.push(String(e)));
  if (before) await page.evaluateOnNewDocument(before);
  await page.goto('file://' + path.join(site, 'index.html') + (query || ''));
  await page.waitForFunction(() => document.body.dataset.state !== 'loading', { timeout: 20000 });
  return page;
}

// Chooses the file, presses Write Flash and waits for the run to end.
async function writeFlash(page, hexPath) {
  const input = await page.$('#file');
  await input.uploadFile(hexPath);
  await page.click('#write');
  await page.waitForFunction(() => document.body.dataset.state !== 'ready', { timeout: 10000, polling: 20 });
  // Whether the commands are disabled while the run goes on (null when it
  // was over before this could look).
  const disabledWhileRunning = await page.evaluate(() => (document.body.dataset.state === 'running'
    ? ['port', 'file', 'write'].every((id) => document.getElementById(id).disabled) : null));
  await page.waitForFunction(() => document.body.dataset.state === 'done', { timeout: 90000, polling: 50 });
  return page.evaluate((disabled) => ({
    disabledWhileRunning: disabled,
    status: document.getElementById('status').textContent,
    outcome: document.body.dataset.outcome,
    runMs: Number(document.body.dataset.runMs),
    readyMs: Number(document.body.dataset.readyMs),
  }), disabledWhileRunning);
}

// The texts of the boxes the page shows, each closed with OK, up to the
// first that includes keep (left open for the screenshot).
async function readBoxes(page, keep) {
  const texts = [];
  for (;;) {
    const text = await page.evaluate(() => document.getElementById('box').open && document.getElementById('box-text').textContent);
    if (text === false) return texts;
    texts.push(text);
    if (keep && text.includes(keep)) return texts;
    await page.click('#box-ok');
  }
}

module.exports = { launch, openPage, writeFlash, readBoxes };
