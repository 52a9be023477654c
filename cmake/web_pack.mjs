// Packs files of the page smaller, the same bytes once unpacked:
//   node web_pack.mjs gzip <file>        writes <file>.gz and removes <file>
//   node web_pack.mjs png <in> <out>     the PNG with its pixels deflated at the best level
// gzip: the page unpacks it itself (DecompressionStream), so that it travels
// small from any server, compressing or not.
import fs from 'node:fs';
import zlib from 'node:zlib';

const [mode, input, output] = process.argv.slice(2);
const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}
const data = fs.readFileSync(input);
if (mode === 'gzip') {
  fs.writeFileSync(`${input}.gz`, zlib.gzipSync(data, { level: 9 }));
  fs.rmSync(input);
} else if (mode === 'png') {
  const chunks = [];
  let idat = [];
  for (let at = 8; at < data.length;) {
    const length = data.readUInt32BE(at);
    const type = data.toString('latin1', at + 4, at + 8);
    const body = data.subarray(at + 8, at + 8 + length);
    if (type === 'IDAT') idat.push(body);
    else chunks.push({ type, body });
    if (type === 'IHDR') chunks.push({ type: 'IDAT', body: null });
    at += 12 + length;
  }
  const pixels = zlib.deflateSync(zlib.inflateSync(Buffer.concat(idat)), { level: 9 });
  const parts = [data.subarray(0, 8)];
  for (const { type, body } of chunks) {
    const b = body || pixels;
    const head = Buffer.alloc(8);
    head.writeUInt32BE(b.length, 0);
    head.write(type, 4, 'latin1');
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), b])), 0);
    parts.push(head, b, crc);
  }
  fs.writeFileSync(output, Buffer.concat(parts));
} else {
  console.error('usage: web_pack.mjs gzip <file> | png <in> <out>');
  process.exit(2);
}
