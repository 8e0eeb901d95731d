// The KELVARO breathing belt as Scratch 3 blocks.
//
// The KELVARO monitor serves this file at http://localhost:8000/kelvaro-belt.js once "Scratch 3"
// is ticked on its "Spec. Setting" page. Load it into TurboWarp as a custom extension from that
// address (https://turbowarp.org/editor?extension=http://localhost:8000/kelvaro-belt.js): the
// editor then runs it unsandboxed, and it reads the belt from the monitor's WebSocket. The monitor
// answers only editors it knows (the Origins of [Scratch3] in its Darev.ini).
//
// Copyright the KELVARO monitor developers. GPL-3.0-or-later.
(function (Scratch) {
  'use strict';

  // The monitor writes the port it serves into this address as it serves the file.
  const BRIDGE = 'ws://localhost:8000/belt';
  // How often to look for the monitor again while it is not there (not started yet, restarted,
  // or its "Scratch 3" box unticked).
  const RETRY_MS = 1000;

  // What every block reports while no monitor is connected: nothing moves, no belt.
  function resting() {
    return {
      force: 0,
      force2: 0,
      GX: 0,
      GY: 0,
      GZ: 0,
      breathsPerMinute: 0,
      phase: '',
      apnea: false,
      activity: 0,
      connected: false,
    };
  }

  function number(value) {
    const n = Number(value);
    return Number.isFinite(n) ? n : 0;
  }

  class KelvaroBelt {
    constructor() {
      this.values = resting();
      this.socket = null;
      this.retry = null;
      this.open();
    }

    getInfo() {
      return {
        id: 'kelvarobelt',
        name: 'KELVARO belt',
        color1: '#2a9d8f',
        color2: '#23867a',
        color3: '#1b6b61',
        blocks: [
          {opcode: 'force1', blockType: Scratch.BlockType.REPORTER, text: 'force 1'},
          {opcode: 'force2', blockType: Scratch.BlockType.REPORTER, text: 'force 2'},
          {
            opcode: 'acceleration',
            blockType: Scratch.BlockType.REPORTER,
            text: 'acceleration [AXIS]',
            arguments: {
              AXIS: {type: Scratch.ArgumentType.STRING, menu: 'axis', defaultValue: 'x'},
            },
          },
          {
            opcode: 'breathsPerMinute',
            blockType: Scratch.BlockType.REPORTER,
            text: 'breaths per minute',
          },
          {opcode: 'beltActivity', blockType: Scratch.BlockType.REPORTER, text: 'belt activity'},
          '---',
          {opcode: 'breathingIn', blockType: Scratch.BlockType.BOOLEAN, text: 'breathing in?'},
          {opcode: 'beltConnected', blockType: Scratch.BlockType.BOOLEAN, text: 'belt connected?'},
          {opcode: 'noBreath', blockType: Scratch.BlockType.BOOLEAN, text: 'no breath?'},
          '---',
          {opcode: 'whenBreatheIn', blockType: Scratch.BlockType.HAT, text: 'when I breathe in'},
          {opcode: 'whenBreatheOut', blockType: Scratch.BlockType.HAT, text: 'when I breathe out'},
          {
            opcode: 'whenForceAbove',
            blockType: Scratch.BlockType.HAT,
            text: 'when force 1 > [N]',
            arguments: {N: {type: Scratch.ArgumentType.NUMBER, defaultValue: 100}},
          },
        ],
        menus: {
          axis: {acceptReporters: true, items: ['x', 'y', 'z']},
        },
      };
    }

    force1() {
      return this.values.force;
    }

    force2() {
      return this.values.force2;
    }

    acceleration(args) {
      switch (String(args && args.AXIS).toLowerCase()) {
        case 'x':
          return this.values.GX;
        case 'y':
          return this.values.GY;
        case 'z':
          return this.values.GZ;
        default:
          return 0;
      }
    }

    breathsPerMinute() {
      return this.values.breathsPerMinute;
    }

    beltActivity() {
      return this.values.activity;
    }

    breathingIn() {
      return this.values.phase === 'in';
    }

    beltConnected() {
      return this.values.connected;
    }

    noBreath() {
      return this.values.apnea;
    }

    // The hats are edge-triggered: the editor starts their scripts when the answer turns true.
    whenBreatheIn() {
      return this.values.phase === 'in';
    }

    whenBreatheOut() {
      return this.values.phase === 'out';
    }

    whenForceAbove(args) {
      return this.values.force > number(args && args.N);
    }

    // The connection to the monitor: opened at once, opened again a second after it ends, and
    // never a reason to throw into the editor.
    open() {
      this.retry = null;
      let socket;
      try {
        socket = new WebSocket(BRIDGE);
      } catch (e) {
        this.later();
        return;
      }
      this.socket = socket;
      socket.onmessage = (event) => this.take(event && event.data);
      socket.onclose = () => this.closed(socket);
      // A failed connection is closed too; the close says what to do.
      socket.onerror = () => {};
    }

    closed(socket) {
      if (this.socket !== socket) return;
      this.socket = null;
      this.values = resting();
      this.later();
    }

    later() {
      if (this.retry !== null) return;
      this.retry = setTimeout(() => this.open(), RETRY_MS);
    }

    // One message of the monitor: a notification's values, or the belt's state when it changes.
    take(text) {
      let m;
      try {
        m = JSON.parse(String(text));
      } catch (e) {
        return;
      }
      if (!m || typeof m !== 'object') return;
      this.values = {
        force: number(m.force),
        force2: number(m.force2),
        GX: number(m.GX),
        GY: number(m.GY),
        GZ: number(m.GZ),
        breathsPerMinute: number(m.breathsPerMinute),
        phase: m.phase === 'in' || m.phase === 'out' ? m.phase : '',
        apnea: m.apnea === true,
        activity: number(m.activity),
        connected: m.connected === true,
      };
    }
  }

  Scratch.extensions.register(new KelvaroBelt());
})(Scratch);
