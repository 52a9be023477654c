// Takes the WebAssembly that an Emscripten program carries inside its .js as
// base64 out into a .wasm file of its own: a third smaller, and compiled by
// the browser while it downloads. The page hands the bytes to the program
// (Module.wasmBinary), so the program never looks for the file itself.
//
//   node web_split_wasm.mjs program.js out.js out.wasm
import fs from 'node:fs';
import path from 'node:path';

const [input, outJs, outWasm] = process.argv.slice(2);
const text = fs.readFileSync(input, 'utf8');
const found = /"data:application\/octet-stream;base64,([A-Za-z0-9+/=]+)"/.exec(text);
if (!found) {
  console.error(`${input}: no WebAssembly inside`);
  process.exit(1);
}
const wasm = Buffer.from(found[1], 'base64');
if (wasm.readUInt32LE(0) !== 0x6d736100) {
  console.error(`${input}: what it carries is no WebAssembly`);
  process.exit(1);
}
fs.writeFileSync(outWasm, wasm);
fs.writeFileSync(outJs, text.slice(0, found.index) + JSON.stringify(path.basename(outWasm)) +
                 text.slice(found.index + found[0].length));
