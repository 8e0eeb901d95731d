// The extension as an editor runs it: fetched from the monitor's bridge, registered with the
// Scratch 3 virtual machine (npm's scratch-vm) through a small stand-in for the editor's
// `Scratch` object, and used by a project the VM runs. The bridge is kelvaro-bridge-peer: the
// simulated belt, four times as fast as the wall clock, through the monitor's road.
//
//   KELVARO_BRIDGE_PEER=build/dev/tests/kelvaro-bridge-peer node --test scratch3/test/
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const {spawn} = require('node:child_process');
const nodeVm = require('node:vm');

let VirtualMachine, BlockType, ArgumentType, WebSocket;
try {
  VirtualMachine = require('scratch-vm');
  ({BlockType, ArgumentType} = VirtualMachine);
  ({WebSocket} = require('ws'));
} catch (e) {
  throw new Error(`the test's packages are missing: run scripts/setup (npm ci in scratch3/): ${e}`);
}

const PEER = process.env.KELVARO_BRIDGE_PEER;
const EDITOR = 'https://turbowarp.org';

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function until(condition, ms, what) {
  const end = Date.now() + ms;
  while (!condition()) {
    if (Date.now() > end) throw new Error(`waited ${ms} ms for ${what}`);
    await sleep(20);
  }
}

// The bridge on the simulated belt (on `belts` belts); resolves once it serves.
function startPeer(port = 0, belts = 1) {
  assert.ok(PEER, 'KELVARO_BRIDGE_PEER names kelvaro-bridge-peer');
  const child = spawn(PEER, ['--port', String(port), '--belts', String(belts)],
                      {stdio: ['ignore', 'pipe', 'inherit']});
  return new Promise((resolve, reject) => {
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const m = /^port (\d+)$/m.exec(out);
      if (m) resolve({child, port: Number(m[1])});
    });
    child.on('exit', (code) => reject(new Error(`kelvaro-bridge-peer ended (${code}): ${out}`)));
  });
}

function stopPeer(peer) {
  return new Promise((resolve) => {
    if (peer.child.exitCode !== null) return resolve();
    peer.child.removeAllListeners('exit');
    peer.child.on('exit', () => resolve());
    peer.child.kill('SIGTERM');
  });
}

// A browser's WebSocket names the page that opens it; this one names an editor's.
function webSocketFrom(origin) {
  return class EditorWebSocket extends WebSocket {
    constructor(url) {
      super(url, {origin});
    }
  };
}

// What the editor gives an unsandboxed extension: Scratch.extensions.register hands the object
// to the VM's extension manager, as TurboWarp does.
function scratchFor(vm, registered) {
  return {
    BlockType,
    ArgumentType,
    vm,
    extensions: {
      unsandboxed: true,
      register(extension) {
        const info = extension.getInfo();
        const service = vm.extensionManager._registerInternalExtension(extension);
        vm.extensionManager._loadedExtensions.set(info.id, service);
        registered.push(extension);
      },
    },
  };
}

// Runs the served file as the editor runs it: a script of its own, with the editor's globals.
function load(source, vm, WebSocketClass) {
  const registered = [];
  nodeVm.runInNewContext(
      source,
      {Scratch: scratchFor(vm, registered), WebSocket: WebSocketClass, setTimeout, clearTimeout},
      {filename: 'kelvaro-belt.js'});
  assert.equal(registered.length, 1, 'the extension registers once');
  return registered[0];
}

// The test is over: no more looking for the monitor, so that Node can end.
function disarm(extension) {
  extension.later = () => {};
  clearTimeout(extension.retry);
  if (extension.socket) extension.socket.close();
}

async function fetchExtension(port) {
  const response = await fetch(`http://localhost:${port}/kelvaro-belt.js`);
  assert.equal(response.status, 200);
  assert.match(response.headers.get('content-type'), /^text\/javascript/);
  assert.equal(response.headers.get('access-control-allow-origin'), '*');
  return response.text();
}

// A stage whose scripts use the blocks: the green flag keeps "force" and "connected" set from
// the reporters, each breath counts, and force 1 above `threshold` counts.
function project(threshold) {
  const variable = (name, id) => [name, id];
  const change = (id, name, parent) => ({
    opcode: 'data_changevariableby', next: null, parent, shadow: false, topLevel: false,
    inputs: {VALUE: [1, [4, '1']]}, fields: {VARIABLE: variable(name, id)},
  });
  const hat = (opcode, next, inputs = {}) => ({
    opcode, next, parent: null, shadow: false, topLevel: true, x: 0, y: 0, inputs, fields: {},
  });
  const blocks = {
    flag: {
      opcode: 'event_whenflagclicked', next: 'forever', parent: null, shadow: false,
      topLevel: true, x: 0, y: 0, inputs: {}, fields: {},
    },
    forever: {
      opcode: 'control_forever', next: null, parent: 'flag', shadow: false, topLevel: false,
      inputs: {SUBSTACK: [2, 'setForce']}, fields: {},
    },
    setForce: {
      opcode: 'data_setvariableto', next: 'setConnected', parent: 'forever', shadow: false,
      topLevel: false, inputs: {VALUE: [3, 'force1', [10, '0']]},
      fields: {VARIABLE: variable('force', 'vForce')},
    },
    force1: {
      opcode: 'kelvarobelt_force1', next: null, parent: 'setForce', shadow: false,
      topLevel: false, inputs: {}, fields: {},
    },
    setConnected: {
      opcode: 'data_setvariableto', next: null, parent: 'setForce', shadow: false,
      topLevel: false, inputs: {VALUE: [3, 'connected', [10, '']]},
      fields: {VARIABLE: variable('connected', 'vConnected')},
    },
    connected: {
      opcode: 'kelvarobelt_beltConnected', next: null, parent: 'setConnected', shadow: false,
      topLevel: false, inputs: {}, fields: {},
    },
    breatheIn: hat('kelvarobelt_whenBreatheIn', 'countIn'),
    countIn: change('vIn', 'inhales', 'breatheIn'),
    breatheOut: hat('kelvarobelt_whenBreatheOut', 'countOut'),
    countOut: change('vOut', 'exhales', 'breatheOut'),
    above: hat('kelvarobelt_whenForceAbove', 'countAbove', {N: [1, [4, String(threshold)]]}),
    countAbove: change('vAbove', 'above', 'above'),
  };
  return {
    targets: [{
      isStage: true, name: 'Stage',
      variables: {
        vForce: ['force', 0], vConnected: ['connected', ''], vIn: ['inhales', 0],
        vOut: ['exhales', 0], vAbove: ['above', 0],
      },
      lists: {}, broadcasts: {}, blocks, comments: {}, currentCostume: 0,
      costumes: [{
        assetId: 'cd21514d0531fdffb22204e0ec5ed84a', name: 'backdrop1',
        md5ext: 'cd21514d0531fdffb22204e0ec5ed84a.svg', dataFormat: 'svg',
        rotationCenterX: 240, rotationCenterY: 180,
      }],
      sounds: [], volume: 100, layerOrder: 0, tempo: 60, videoTransparency: 50,
      videoState: 'on', textToSpeechLanguage: null,
    }],
    monitors: [],
    extensions: ['kelvarobelt'],
    meta: {semver: '3.0.0', vm: '0.2.0', agent: ''},
  };
}

// What the bridge sends, as another editor on the same bridge reads it.
function observe(port) {
  const seen = [];
  const socket = new WebSocket(`ws://localhost:${port}/belt`, {origin: EDITOR});
  socket.on('message', (data) => seen.push({at: Date.now(), m: JSON.parse(String(data))}));
  return {seen, socket};
}

test('the extension in the Scratch VM follows the simulated belt and reconnects', async (t) => {
  const thrown = [];
  const onError = (e) => thrown.push(e);
  process.on('uncaughtException', onError);
  process.on('unhandledRejection', onError);
  let peer = await startPeer();
  t.after(async () => {
    await stopPeer(peer);
    process.off('uncaughtException', onError);
    process.off('unhandledRejection', onError);
  });
  const source = await fetchExtension(peer.port);
  assert.ok(source.includes(`'ws://localhost:${peer.port}/belt'`), 'served with its port');

  const observer = observe(peer.port);
  await until(() => observer.seen.length > 120, 10000, 'the belt through the bridge');
  const forces = observer.seen.slice(-120).map((s) => s.m.force);
  const threshold = (Math.min(...forces) + Math.max(...forces)) / 2;

  const vm = new VirtualMachine();
  const extension = load(source, vm, webSocketFrom(EDITOR));
  t.after(() => {
    vm.quit();
    disarm(extension);
    observer.socket.close();
  });
  await sleep(0);  // the VM registers the blocks' primitives asynchronously
  await vm.loadProject(project(threshold));
  const stage = vm.runtime.getTargetForStage();
  const value = (id) => stage.lookupVariableById(id).value;
  vm.start();
  vm.greenFlag();

  await until(() => value('vConnected') === true, 5000, 'belt connected? in the project');
  // Eight seconds of the VM: "force" follows what the bridge sends, breaths fire the hats.
  let followed = 0;
  let samples = 0;
  const distinct = new Set();
  for (const end = Date.now() + 8000; Date.now() < end;) {
    await sleep(100);
    const f = value('vForce');
    const recent = observer.seen.filter((s) => s.at >= Date.now() - 400).map((s) => s.m.force);
    samples++;
    if (recent.includes(f)) followed++;
    distinct.add(f);
  }
  t.diagnostic(`force followed in ${followed} of ${samples} samples, ${distinct.size} values; ` +
               `breathed in ${value('vIn')}, out ${value('vOut')}, above ${value('vAbove')}`);
  assert.ok(followed >= samples * 0.9, `force followed the belt in ${followed} of ${samples}`);
  assert.ok(distinct.size >= 20, `force took ${distinct.size} values`);
  assert.ok(value('vIn') >= 2, `"when I breathe in" fired ${value('vIn')} times`);
  assert.ok(value('vOut') >= 2, `"when I breathe out" fired ${value('vOut')} times`);
  assert.ok(value('vAbove') >= 2, `"when force 1 > ${threshold}" fired ${value('vAbove')} times`);
  assert.equal(typeof extension.breathsPerMinute(), 'number');
  assert.equal(typeof extension.beltActivity(), 'number');
  assert.ok(['x', 'y', 'z'].every((a) => Number.isFinite(extension.acceleration({AXIS: a}))));

  // The monitor goes away: the blocks give 0 and false, and nothing is thrown.
  observer.socket.close();
  await stopPeer(peer);
  await until(() => value('vConnected') === false, 5000, 'belt connected? to turn false');
  assert.equal(value('vForce'), 0);
  assert.equal(extension.noBreath(), false);
  assert.equal(extension.breathingIn(), false);

  // It comes back on the same port: the extension finds it by itself.
  peer = await startPeer(peer.port);
  await until(() => value('vConnected') === true, 5000, 'the extension to reconnect');
  const before = value('vForce');
  await until(() => value('vForce') !== before, 5000, 'force to move again');
  assert.deepEqual(thrown, []);
});

test('a page that is not an editor gets nothing, and a failing WebSocket throws nowhere', async (t) => {
  const peer = await startPeer();
  t.after(() => stopPeer(peer));
  const source = await fetchExtension(peer.port);

  const refused = load(source, new VirtualMachine(), webSocketFrom('https://evil.example'));
  await sleep(1500);
  assert.equal(refused.beltConnected(), false);
  assert.equal(refused.force1(), 0);
  assert.equal(refused.whenBreatheIn(), false);

  class BlockedWebSocket {
    constructor() {
      throw new Error('blocked by the page');
    }
  }
  const blocked = load(source, new VirtualMachine(), BlockedWebSocket);
  assert.equal(blocked.force2(), 0);
  assert.equal(blocked.acceleration({AXIS: 'q'}), 0);
  disarm(blocked);
  disarm(refused);
});

// A stage whose green flag keeps "first" set from "force 1", "second" from "force 1 of [Belt2]"
// and "byName" from "force 1 of [firstName]", and counts Belt2's breaths with its own hat.
function beltProject(firstName) {
  const variable = (name, id) => [name, id];
  const menu = (id, parent, value) => ({
    [id]: {
      opcode: 'kelvarobelt_menu_belt', next: null, parent, shadow: true, topLevel: false,
      inputs: {}, fields: {belt: [value, null]},
    },
  });
  const set = (id, next, parent, reporter, name, varId) => ({
    opcode: 'data_setvariableto', next, parent, shadow: false, topLevel: false,
    inputs: {VALUE: [3, reporter, [10, '0']]}, fields: {VARIABLE: variable(name, varId)},
  });
  const beltForce = (id, parent, menuId) => ({
    opcode: 'kelvarobelt_beltForce1', next: null, parent, shadow: false, topLevel: false,
    inputs: {BELT: [1, menuId]}, fields: {},
  });
  const blocks = {
    flag: {
      opcode: 'event_whenflagclicked', next: 'forever', parent: null, shadow: false,
      topLevel: true, x: 0, y: 0, inputs: {}, fields: {},
    },
    forever: {
      opcode: 'control_forever', next: null, parent: 'flag', shadow: false, topLevel: false,
      inputs: {SUBSTACK: [2, 'setFirst']}, fields: {},
    },
    setFirst: set('setFirst', 'setSecond', 'forever', 'force1', 'first', 'vFirst'),
    force1: {
      opcode: 'kelvarobelt_force1', next: null, parent: 'setFirst', shadow: false,
      topLevel: false, inputs: {}, fields: {},
    },
    setSecond: set('setSecond', 'setByName', 'setFirst', 'forceSecond', 'second', 'vSecond'),
    forceSecond: beltForce('forceSecond', 'setSecond', 'menuSecond'),
    ...menu('menuSecond', 'forceSecond', 'Belt2'),
    setByName: set('setByName', null, 'setSecond', 'forceByName', 'byName', 'vByName'),
    forceByName: beltForce('forceByName', 'setByName', 'menuByName'),
    ...menu('menuByName', 'forceByName', firstName),
    breatheIn: {
      opcode: 'kelvarobelt_whenBeltBreathesIn', next: 'countIn', parent: null, shadow: false,
      topLevel: true, x: 0, y: 0, inputs: {BELT: [1, 'menuHat']}, fields: {},
    },
    ...menu('menuHat', 'breatheIn', 'Belt2'),
    countIn: {
      opcode: 'data_changevariableby', next: null, parent: 'breatheIn', shadow: false,
      topLevel: false, inputs: {VALUE: [1, [4, '1']]},
      fields: {VARIABLE: variable('inhales', 'vIn')},
    },
  };
  const p = project(0);
  p.targets[0].blocks = blocks;
  p.targets[0].variables = {
    vFirst: ['first', 0], vSecond: ['second', 0], vByName: ['byName', 0], vIn: ['inhales', 0],
  };
  return p;
}

test('with two belts, the blocks with a belt argument read the belt they name', async (t) => {
  const peer = await startPeer(0, 2);
  t.after(() => stopPeer(peer));
  const source = await fetchExtension(peer.port);
  const observer = observe(peer.port);
  const ofBelt = (b) => observer.seen.filter((s) => s.m.belt === b);
  await until(() => ofBelt(0).length > 40 && ofBelt(1).length > 40, 10000, 'both belts');
  const firstName = ofBelt(0).at(-1).m.name;
  assert.equal(ofBelt(1).at(-1).m.name, 'Belt2');
  assert.match(firstName, /^[0-9A-F]{4}$/, 'the first belt by its DeviceId');

  const vm = new VirtualMachine();
  const extension = load(source, vm, webSocketFrom(EDITOR));
  t.after(() => {
    vm.quit();
    disarm(extension);
    observer.socket.close();
  });
  // Before the monitor says anything: one belt, and the palette as with one belt.
  const beltBlocks = (info) =>
    info.blocks.filter((b) => typeof b === 'object' && b.arguments && b.arguments.BELT);
  assert.ok(beltBlocks(extension.getInfo()).length >= 11);
  assert.ok(beltBlocks(extension.getInfo()).every((b) => b.hideFromPalette === true));
  await sleep(0);
  assert.ok(!vm.runtime.getBlocksXML().some((c) => c.xml.includes('kelvarobelt_beltForce1')));

  await until(() => extension.belts.filter(Boolean).length === 2, 5000,
              'the extension to know both');
  assert.deepEqual(Array.from(extension.beltMenu(), (e) => e.value), [firstName, 'Belt2']);
  assert.ok(beltBlocks(extension.getInfo()).every((b) => b.hideFromPalette === false));
  await until(() => vm.runtime.getBlocksXML().some((c) => c.xml.includes('kelvarobelt_beltForce1')),
              5000, 'the belt blocks in the palette');

  await vm.loadProject(beltProject(firstName));
  const stage = vm.runtime.getTargetForStage();
  const value = (id) => stage.lookupVariableById(id).value;
  vm.start();
  vm.greenFlag();
  await until(() => value('vSecond') !== 0, 5000, '"force 1 of [Belt2]" in the project');

  let samples = 0;
  const followed = {first: 0, second: 0, byName: 0, apart: 0};
  for (const end = Date.now() + 6000; Date.now() < end;) {
    await sleep(100);
    const recent = (b) => ofBelt(b).filter((s) => s.at >= Date.now() - 400).map((s) => s.m.force);
    const [first, second, byName] = [value('vFirst'), value('vSecond'), value('vByName')];
    samples++;
    if (recent(0).includes(first)) followed.first++;
    if (recent(1).includes(second)) followed.second++;
    if (recent(0).includes(byName)) followed.byName++;
    if (second !== first) followed.apart++;
  }
  t.diagnostic(`in ${samples} samples: ${JSON.stringify(followed)}; Belt2 breathed in ` +
               `${value('vIn')} times`);
  assert.ok(followed.first >= samples * 0.9, `"force 1" followed belt 1: ${followed.first}`);
  assert.ok(followed.second >= samples * 0.9, `"force 1 of [Belt2]": ${followed.second}`);
  assert.ok(followed.byName >= samples * 0.9, `"force 1 of [${firstName}]": ${followed.byName}`);
  assert.ok(followed.apart >= samples * 0.5, `the belts apart in ${followed.apart}`);
  assert.ok(value('vIn') >= 1, `"when [Belt2] breathes in" fired ${value('vIn')} times`);

  // A belt by its number, by its name in another case, and one that is not there.
  const latest = extension.valuesOf(1);
  assert.equal(extension.beltForce2({BELT: '2'}), latest.force2);
  assert.equal(extension.beltAcceleration({BELT: 'belt2', AXIS: 'z'}), latest.GZ);
  assert.equal(extension.beltIsConnected({BELT: 'Belt2'}), true);
  assert.equal(extension.beltIsConnected({BELT: 'nobody'}), false);
  assert.equal(extension.beltForce1({BELT: 'nobody'}), 0);
  assert.equal(extension.beltIsConnected({BELT: '3'}), false);
  assert.equal(extension.beltBreathsPerMinute({}), extension.breathsPerMinute());
});
