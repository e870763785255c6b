// The page: the dialog's controls around the engine (fernbow-engine.js),
// and the serial monitor after a successful write.
'use strict';

const kProgrammed = 1;  // FlashOutcome::Programmed
const kAppName = 'Fernbow';
const $ = (id) => document.getElementById(id);
const testPort = new URLSearchParams(location.search).get('port');

let engine = null;
let serialPort = null;  // granted through Web Serial
let testTransport = null;  // the WebSocket test port, kept for the page's life
let hexFile = null;
let lastTrace = null;
let monitorLink = null;
let leaving = false;

function setState(state) { document.body.dataset.state = state; }

// Boxes one after the other, each until its OK.
const boxes = [];
function showBox(text, caption) {
  boxes.push({ text, caption });
  if (!$('box').open) nextBox();
}
function nextBox() {
  const next = boxes.shift();
  if (!next) return;
  $('box-caption').textContent = next.caption;
  $('box-text').textContent = next.text;
  $('box').showModal();
}

function enableCommands(enable) {
  for (const id of ['port', 'file', 'write']) $(id).disabled = !enable;
}

// A new transport for the chosen port at the given rate; null when none is chosen.
function transport(baudRate) {
  if (testPort) return testTransport;
  return serialPort ? webSerialTransport(serialPort, baudRate) : null;
}

function portName(port) {
  const info = port.getInfo();
  return info.usbVendorId === undefined ? 'serial port'
    : `USB ${info.usbVendorId.toString(16).padStart(4, '0')}:${info.usbProductId.toString(16).padStart(4, '0')}`;
}

async function choosePort() {
  try {
    serialPort = await navigator.serial.requestPort();
    $('port-name').textContent = portName(serialPort);
  } catch (e) {
    // The chooser was dismissed: the port stays as it was.
  }
}

function takeFile(file) {
  if (!file) return;
  const dot = file.name.lastIndexOf('.');
  if (dot > 0 && file.name.slice(dot + 1).toLowerCase() !== 'hex') {
    showBox('Must be HEX file!', kAppName);
    return;
  }
  hexFile = file;
}

const pumpChannel = new MessageChannel();
let pumpResume = null;
pumpChannel.port1.onmessage = () => pumpResume();

const pageHooks = {
  status: (text) => { $('status').textContent = text; },
  progress: (pos) => { $('progress').value = Math.min(pos, 100); },
  box: showBox,
  beep() {
    try {
      const audio = new AudioContext();
      const tone = audio.createOscillator();
      tone.connect(audio.destination);
      tone.start();
      tone.stop(audio.currentTime + 0.15);
    } catch (e) { /* no sound here */ }
  },
  // One turn of the browser's event loop, without the timers' delay.
  pump: () => new Promise((resolve) => {
    pumpResume = () => resolve(!leaving);
    pumpChannel.port2.postMessage(0);
  }),
};

async function writeFlash() {
  if (document.body.dataset.state === 'running') return;
  const chosen = transport(19200);
  if (!chosen) { showBox("Can't open comport", kAppName); return; }
  if (!hexFile) { showBox("Can't open file", kAppName); return; }
  let text;
  try {
    text = new Uint8Array(await hexFile.arrayBuffer());
  } catch (e) {
    showBox("Can't read file", kAppName);
    return;
  }
  await closeMonitor();
  enableCommands(false);
  setState('running');
  const link = makeLink(chosen);
  engine.link = link;
  const started = performance.now();
  const hex = engine._malloc(text.length || 1);
  engine.HEAPU8.set(text, hex);
  const outcome = await engine.ccall('fernbow_write', 'number', ['number', 'number'], [hex, text.length], { async: true });
  engine._free(hex);
  document.body.dataset.runMs = String(Math.round(performance.now() - started));
  lastTrace = link.trace;
  $('save-trace').disabled = false;
  enableCommands(true);
  const failure = outcome < 0 ? "Can't open comport" : engine.UTF8ToString(engine._fernbow_failure_text(outcome));
  if (failure) showBox(failure, kAppName);
  const warning = engine.UTF8ToString(engine._fernbow_reset_warning());
  if (warning) showBox(warning, kAppName);
  document.body.dataset.outcome = outcome < 0 ? 'port not opened' : engine.UTF8ToString(engine._fernbow_outcome_word(outcome));
  setState('done');
  if (outcome === kProgrammed) openMonitor();
}

function saveTrace() {
  const url = URL.createObjectURL(new Blob([traceText(lastTrace)], { type: 'text/plain' }));
  const a = document.createElement('a');
  a.href = url;
  a.download = 'fernbow-trace.txt';
  a.click();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

async function openMonitor() {
  await closeMonitor();
  $('monitor').hidden = false;
  const link = makeLink(transport(Number($('rate').value)));
  const decoder = new TextDecoder();
  link.onBytes = (bytes) => {
    const out = $('monitor-text');
    out.textContent += decoder.decode(bytes, { stream: true });
    out.scrollTop = out.scrollHeight;
  };
  monitorLink = link;
  if (!(await link.open())) $('monitor-text').textContent += '[the port could not be opened]\n';
}

async function closeMonitor() {
  if (!monitorLink) return;
  monitorLink.close();
  monitorLink = null;
  $('monitor').hidden = true;
}

function wire() {
  $('port').onclick = choosePort;
  $('file').onchange = () => takeFile($('file').files[0]);
  $('write').onclick = writeFlash;
  $('save-trace').onclick = saveTrace;
  $('rate').onchange = openMonitor;
  $('monitor-close').onclick = closeMonitor;
  $('box').addEventListener('close', nextBox);
  document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dropping'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dropping'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dropping');
    if (document.body.dataset.state !== 'running') takeFile(e.dataTransfer.files[0]);
  });
  window.addEventListener('pagehide', () => { leaving = true; });
}

async function start() {
  if (!testPort && !('serial' in navigator)) {
    $('unsupported').hidden = false;
    setState('unsupported');
    return;
  }
  if (testPort) {
    testTransport = webSocketTransport(testPort);
    testTransport.connect();
    $('port-name').textContent = testPort;
    $('port').disabled = true;
  } else {
    // A port granted before is offered again.
    const granted = await navigator.serial.getPorts();
    if (granted.length) { serialPort = granted[0]; $('port-name').textContent = portName(serialPort); }
    navigator.serial.addEventListener('disconnect', (e) => {
      if (e.target === serialPort) { serialPort = null; $('port-name').textContent = 'no port chosen'; }
    });
  }
  wire();
  engine = await FernbowEngine({ page: pageHooks, link: null });
  $('app').hidden = false;
  document.body.dataset.readyMs = String(Math.round(performance.now()));
  setState('ready');
}

start();
