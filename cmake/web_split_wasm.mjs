// Takes the WebAssembly that an Emscripten program carries inside its .js as
// base64 out into a .wasm file of its own: a third smaller, and compiled by
// the browser while it downloads. The page hands the bytes to the program
// (Module.wasmBinary), so the program never looks for the file itself.
// With a maximum (MiB), the program's memory may grow to that and no
// further, in the module and in the .js that grows it: a browser reserves
// what a module declares, and a phone refuses gigabytes.
//
//   node web_split_wasm.mjs program.js out.js out.wasm [max-MiB]
import fs from 'node:fs';
import path from 'node:path';
import { memoryLimits } from './wasm_memory.mjs';

const [input, outJs, outWasm, maxArg] = process.argv.slice(2);
const fail = (why) => {
  console.error(`${input}: ${why}`);
  process.exit(1);
};
let text = fs.readFileSync(input, 'utf8');
const found = /"data:application\/octet-stream;base64,([A-Za-z0-9+/=]+)"/.exec(text);
if (!found) fail('no WebAssembly inside');
const wasm = Buffer.from(found[1], 'base64');
if (wasm.readUInt32LE(0) !== 0x6d736100) fail('what it carries is no WebAssembly');
text = text.slice(0, found.index) + JSON.stringify(path.basename(outWasm)) + text.slice(found.index + found[0].length);

// The new maximum is written in as many bytes as the old (padded LEB128 is
// valid), so no size or offset around it changes.
function limitMemory(maxPages) {
  const limits = memoryLimits(wasm);
  if (!limits) fail('no memory section (an imported memory?)');
  if (limits.count !== 1) fail('not one memory');
  if (limits.maximum === null) fail('its memory has no maximum to lower');
  if (maxPages < limits.initial) fail(`a maximum of ${maxPages} pages is below its initial ${limits.initial}`);
  const { maximumAt: from, maximumEnd: to } = limits;
  for (let i = from, rest = maxPages; i < to; i++, rest = Math.floor(rest / 128))
    wasm[i] = (rest & 0x7f) | (i < to - 1 ? 0x80 : 0);
  if (Math.floor(maxPages / 128 ** (to - from)) !== 0) fail('the new maximum does not fit where the old was');
}

if (maxArg) {
  const bytes = Number(maxArg) * 1024 * 1024;
  limitMemory(bytes / 65536);
  const heapMax = /getHeapMax=\(\)=>\d+/;
  if (!heapMax.test(text)) fail('no getHeapMax to lower');
  text = text.replace(heapMax, `getHeapMax=()=>${bytes}`);
}
fs.writeFileSync(outWasm, wasm);
fs.writeFileSync(outJs, text);
