// The memory a WebAssembly module declares: its memory section's count of
// memories, then the first one's flags, initial and maximum pages, each an
// unsigned LEB128. Shared by the build, which lowers the maximum, and the
// browser test, which checks it.

// Null when the module has no memory section (an imported memory). Else the
// count, the initial pages, the maximum pages (null: no maximum) and where
// the maximum's bytes are (maximumAt up to maximumEnd), so that it can be
// written over in place.
export function memoryLimits(wasm) {
  let at = 8;
  const leb = () => {
    let value = 0, shift = 0, byte;
    do {
      byte = wasm[at++];
      value += (byte & 0x7f) * 2 ** shift;
      shift += 7;
    } while (byte & 0x80);
    return value;
  };
  while (at < wasm.length) {
    const id = wasm[at++];
    const size = leb();
    const end = at + size;
    if (id === 5) {
      const count = leb();
      if (count !== 1) return { count };
      const hasMaximum = leb() & 1;
      const initial = leb();
      if (!hasMaximum) return { count, initial, maximum: null };
      const maximumAt = at;
      const maximum = leb();
      return { count, initial, maximum, maximumAt, maximumEnd: at };
    }
    at = end;
  }
  return null;
}
