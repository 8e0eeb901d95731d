// The KELVARO breathing belt as Scratch 3 blocks.
//
// The KELVARO monitor serves this file at http://localhost:8000/kelvaro-belt.js once "Scratch 3"
// is ticked on its "Spec. Setting" page. Load it into TurboWarp as a custom extension from that
// address (https://turbowarp.org/editor?extension=http://localhost:8000/kelvaro-belt.js): the
// editor then runs it unsandboxed, and it reads the belt from the monitor's WebSocket. The monitor
// answers only editors it knows (the Origins of [Scratch3] in its Darev.ini).
//
// The blocks without a belt read the first belt. When the monitor streams further belts, blocks
// with a [BELT] menu of the belts' names ("force 1 of [Anna]") join them in the palette; a menu
// entry, or a reporter dropped into it, picks a belt by its name or its number (1 the first).
//
// Copyright the KELVARO monitor developers. GPL-3.0-or-later.
(function (Scratch) {
  'use strict';

  // The monitor writes the port it serves into this address as it serves the file.
  const BRIDGE = 'ws://localhost:8000/belt';
  // How often to look for the monitor again while it is not there (not started yet, restarted,
  // or its "Scratch 3" box unticked).
  const RETRY_MS = 1000;
  // Belts the monitor streams at once, the first included.
  const BELTS = 4;

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

  // What a block reads of a belt that is not there.
  const ABSENT = Object.freeze(resting());

  function number(value) {
    const n = Number(value);
    return Number.isFinite(n) ? n : 0;
  }

  function axisOf(values, args) {
    switch (String(args && args.AXIS).toLowerCase()) {
      case 'x':
        return values.GX;
      case 'y':
        return values.GY;
      case 'z':
        return values.GZ;
      default:
        return 0;
    }
  }

  class KelvaroBelt {
    constructor() {
      // What the monitor said of each belt, by its slot (0 the first belt): {name, values}.
      this.belts = [];
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
          ...this.beltBlocks(),
        ],
        menus: {
          axis: {acceptReporters: true, items: ['x', 'y', 'z']},
          belt: {acceptReporters: true, items: 'beltMenu'},
        },
      };
    }

    // The blocks with a belt argument; in the palette only while there is more than one belt.
    beltBlocks() {
      const hidden = this.belts.filter(Boolean).length < 2;
      const belt = {type: Scratch.ArgumentType.STRING, menu: 'belt', defaultValue: this.entry(0)};
      const block = (opcode, blockType, text, more = {}) => ({
        opcode,
        blockType,
        text,
        hideFromPalette: hidden,
        arguments: {BELT: belt, ...more},
      });
      const {REPORTER, BOOLEAN, HAT} = Scratch.BlockType;
      const axis = {AXIS: {type: Scratch.ArgumentType.STRING, menu: 'axis', defaultValue: 'x'}};
      const n = {N: {type: Scratch.ArgumentType.NUMBER, defaultValue: 100}};
      return [
        ...(hidden ? [] : ['---']),
        block('beltForce1', REPORTER, 'force 1 of [BELT]'),
        block('beltForce2', REPORTER, 'force 2 of [BELT]'),
        block('beltAcceleration', REPORTER, 'acceleration [AXIS] of [BELT]', axis),
        block('beltBreathsPerMinute', REPORTER, 'breaths per minute of [BELT]'),
        block('beltActivityOf', REPORTER, 'belt activity of [BELT]'),
        block('beltBreathingIn', BOOLEAN, '[BELT] breathing in?'),
        block('beltIsConnected', BOOLEAN, '[BELT] connected?'),
        block('beltNoBreath', BOOLEAN, 'no breath of [BELT]?'),
        block('whenBeltBreathesIn', HAT, 'when [BELT] breathes in'),
        block('whenBeltBreathesOut', HAT, 'when [BELT] breathes out'),
        block('whenBeltForceAbove', HAT, 'when force 1 of [BELT] > [N]', n),
      ];
    }

    // A belt's entry in the menu: its name, or its number while it has none.
    entry(slot) {
      const belt = this.belts[slot];
      return belt && belt.name !== '' ? belt.name : String(slot + 1);
    }

    beltMenu() {
      const entries = [];
      this.belts.forEach((belt, slot) => {
        if (belt) entries.push(this.entry(slot));
      });
      if (entries.length === 0) entries.push(this.entry(0));
      return entries.map((text) => ({text, value: text}));
    }

    // The belt a block's argument names: by its name (the first of that name), else by its
    // number; -1 for none.
    slotOf(args) {
      const wanted = String(args && args.BELT !== undefined ? args.BELT : '').trim();
      if (wanted === '') return 0;
      for (let slot = 0; slot < this.belts.length; slot++) {
        if (this.belts[slot] && this.entry(slot) === wanted) return slot;
      }
      const lower = wanted.toLowerCase();
      for (let slot = 0; slot < this.belts.length; slot++) {
        if (this.belts[slot] && this.entry(slot).toLowerCase() === lower) return slot;
      }
      const n = Number(wanted);
      return Number.isInteger(n) && n >= 1 && n <= BELTS ? n - 1 : -1;
    }

    valuesOf(slot) {
      const belt = slot >= 0 ? this.belts[slot] : undefined;
      return belt ? belt.values : ABSENT;
    }

    get values() {
      return this.valuesOf(0);
    }

    force1() {
      return this.values.force;
    }

    force2() {
      return this.values.force2;
    }

    acceleration(args) {
      return axisOf(this.values, args);
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

    beltForce1(args) {
      return this.valuesOf(this.slotOf(args)).force;
    }

    beltForce2(args) {
      return this.valuesOf(this.slotOf(args)).force2;
    }

    beltAcceleration(args) {
      return axisOf(this.valuesOf(this.slotOf(args)), args);
    }

    beltBreathsPerMinute(args) {
      return this.valuesOf(this.slotOf(args)).breathsPerMinute;
    }

    beltActivityOf(args) {
      return this.valuesOf(this.slotOf(args)).activity;
    }

    beltBreathingIn(args) {
      return this.valuesOf(this.slotOf(args)).phase === 'in';
    }

    beltIsConnected(args) {
      return this.valuesOf(this.slotOf(args)).connected;
    }

    beltNoBreath(args) {
      return this.valuesOf(this.slotOf(args)).apnea;
    }

    whenBeltBreathesIn(args) {
      return this.valuesOf(this.slotOf(args)).phase === 'in';
    }

    whenBeltBreathesOut(args) {
      return this.valuesOf(this.slotOf(args)).phase === 'out';
    }

    whenBeltForceAbove(args) {
      return this.valuesOf(this.slotOf(args)).force > number(args && args.N);
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
      // The belts keep their names, so that the menus stay; nothing of them moves.
      for (const belt of this.belts) {
        if (belt) belt.values = resting();
      }
      this.later();
    }

    later() {
      if (this.retry !== null) return;
      this.retry = setTimeout(() => this.open(), RETRY_MS);
    }

    // One message of the monitor: a notification's values, or a belt's state when it changes. It
    // names its belt ("belt": the slot, "name"); one that does not is the first belt's.
    take(text) {
      let m;
      try {
        m = JSON.parse(String(text));
      } catch (e) {
        return;
      }
      if (!m || typeof m !== 'object') return;
      const slot = m.belt === undefined ? 0 : m.belt;
      if (!Number.isInteger(slot) || slot < 0 || slot >= BELTS) return;
      const known = this.belts[slot];
      const name = typeof m.name === 'string' ? m.name : known ? known.name : '';
      const values = {
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
      this.belts[slot] = {name, values};
      if (!known || known.name !== name) this.refresh();
    }

    // A belt came or got another name: the editor asks for the blocks and their menus again.
    refresh() {
      const manager = Scratch.vm && Scratch.vm.extensionManager;
      if (!manager || typeof manager.refreshBlocks !== 'function') return;
      try {
        Promise.resolve(manager.refreshBlocks()).catch(() => {});
      } catch (e) {
        // The palette stays as it was; the blocks read the belts all the same.
      }
    }
  }

  Scratch.extensions.register(new KelvaroBelt());
})(Scratch);
