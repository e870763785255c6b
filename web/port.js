// The port the engine writes through (Module.link in the module): Web
// Serial, or the test port ?port=ws://HOST:PORT, a WebSocket that carries
// the line's raw bytes. Keeps what arrives until the engine takes it, and
// records the run's byte trace.
'use strict';

// A WebSocket whose messages are the line's bytes (websockify in front of a
// raw TCP serial server). The connection is made once and kept, as a cable
// is: websockify reaches the serial server only after the WebSocket is open,
// so bytes sent at once could arrive late and be taken for the answer to
// later ones. Opening waits until the connection has settled; closing only
// stops listening.
const kSettleMs = 300;

function webSocketTransport(url) {
  let socket = null;
  let connected = null;  // resolves to whether the connection is up
  let listener = null;
  function connect() {
    return new Promise((resolve) => {
      let ws;
      try {
        ws = new WebSocket(url, ['binary']);
      } catch (e) {
        resolve(false);
        return;
      }
      ws.binaryType = 'arraybuffer';
      ws.onopen = () => { socket = ws; setTimeout(() => resolve(true), kSettleMs); };
      ws.onmessage = (event) => { if (listener) listener.onBytes(new Uint8Array(event.data)); };
      ws.onclose = () => {
        const wasOpen = socket === ws;
        socket = null;
        connected = null;
        if (wasOpen && listener) listener.onGone();
        resolve(false);
      };
    });
  }
  return {
    label: url,
    // As long as the pause between two wake-ups: the hops are not measured.
    answerSlackMs: 200,
    // Connects ahead of the first open, so that the settling is over by then.
    connect() {
      if (!connected) connected = connect();
      return connected;
    },
    async open(onBytes, onGone) {
      if (!connected) connected = connect();
      if (!(await connected)) return false;
      listener = { onBytes, onGone };
      return true;
    },
    close() {
      const was = listener !== null;
      listener = null;
      return was;
    },
    isOpen: () => listener !== null && socket !== null && socket.readyState === WebSocket.OPEN,
    write(bytes) {
      if (!this.isOpen()) return false;
      socket.send(bytes);
      return true;
    },
  };
}

// A port granted through Web Serial, at the rate asked for. A port closes
// in the background; the next open of the same port waits for that.
const serialClosing = new WeakMap();

function webSerialTransport(port, baudRate) {
  let reader = null;
  let writer = null;
  let open = false;
  async function readLoop(onBytes, onGone) {
    try {
      for (;;) {
        const { value, done } = await reader.read();
        if (done) break;
        if (value) onBytes(value);
      }
    } catch (e) {
      // The port went away (unplugged) or was closed: the same to the engine.
    }
    if (open) { open = false; onGone(); }
  }
  return {
    label: 'serial port',
    answerSlackMs: 0,
    async open(onBytes, onGone) {
      await serialClosing.get(port);
      try {
        await port.open({ baudRate });
        reader = port.readable.getReader();
        writer = port.writable.getWriter();
      } catch (e) {
        return false;
      }
      open = true;
      readLoop(onBytes, onGone);
      return true;
    },
    close() {
      if (!reader) return false;
      const wasOpen = open;
      open = false;
      const [r, w] = [reader, writer];
      reader = writer = null;
      serialClosing.set(port, (async () => {
        try { await r.cancel(); } catch (e) { /* already gone */ }
        r.releaseLock();
        w.releaseLock();
        try { await port.close(); } catch (e) { /* already gone */ }
      })());
      return wasOpen;
    },
    isOpen: () => open,
    write(bytes) {
      if (!open) return false;
      writer.write(bytes).catch(() => {});
      return true;
    },
  };
}

// The engine's side of a transport: bytes wait here until taken.
function makeLink(transport) {
  let pending = new Uint8Array(0);
  let waiter = null;
  const trace = [];
  const start = performance.now();
  const note = (direction, bytes) => trace.push({ at: performance.now() - start, direction, bytes });
  const wake = () => {
    if (waiter && (pending.length >= waiter.count || !transport.isOpen())) waiter.resolve();
  };
  const link = {
    trace,
    answerSlackMs: transport.answerSlackMs,
    onBytes: null,  // also told of every byte that arrives (the monitor)
    open: () => transport.open((bytes) => {
      note('<', bytes);
      const joined = new Uint8Array(pending.length + bytes.length);
      joined.set(pending);
      joined.set(bytes, pending.length);
      pending = joined;
      if (link.onBytes) link.onBytes(bytes);
      wake();
    }, () => { note('!', new Uint8Array(0)); wake(); }),
    close: () => transport.close(),
    isOpen: () => transport.isOpen(),
    take(count) {
      const taken = pending.slice(0, count);
      pending = pending.slice(taken.length);
      return taken;
    },
    wait(count, ms) {
      if (pending.length >= count || !transport.isOpen()) return Promise.resolve();
      return new Promise((resolve) => {
        const timer = setTimeout(done, ms);
        function done() { clearTimeout(timer); waiter = null; resolve(); }
        waiter = { count, resolve: done };
      });
    },
    send(bytes) {
      pending = new Uint8Array(0);
      if (!transport.write(bytes)) return false;
      note('>', bytes);
      return true;
    },
  };
  return link;
}

// The trace as text: one line per chunk, milliseconds from the run's start.
function traceText(trace) {
  const hex = (bytes) => Array.from(bytes, (b) => b.toString(16).padStart(2, '0').toUpperCase()).join(' ');
  return trace.map((t) => `${t.at.toFixed(1).padStart(9)} ${t.direction} ${t.direction === '!' ? 'port gone' : hex(t.bytes)}`)
    .join('\n') + '\n';
}
