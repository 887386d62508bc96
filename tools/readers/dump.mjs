// Prints what an independent DWG reader sees in a drawing, one TAB-separated
// record per line, so that Corvelin's C++ tests can parse it without a JSON
// library. Strings are written as the hexadecimal of their UTF-8 bytes, which
// keeps tabs, newlines and Hebrew safe. See README.md for the record layout.
//
//   node dump.mjs libredwg|libdxfrw FILE.dwg
//
// Exit status: 0 read, 1 the reader failed (an ERROR record says why), 2 usage.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(import.meta.url);

// Records go to stdout only through emit(); anything the WebAssembly modules
// print (libdxfrw writes debug lines to stdout) is sent to stderr instead.
const stdoutWrite = process.stdout.write.bind(process.stdout);
const toStderr = (...args) => process.stderr.write(args.join(' ') + '\n');
console.log = toStderr;
console.info = toStderr;
console.warn = toStderr;

const lines = [];
const emit = (...fields) => lines.push(fields.join('\t'));
// How many entities of each type a block holds, a record a type.
const emitTypeCounts = (owner, types) => {
  const counts = new Map();
  for (const t of types) counts.set(t, (counts.get(t) ?? 0) + 1);
  for (const [t, n] of [...counts].sort()) emit('ENTITIES', owner, hex(String(t)), String(n));
};
const hex = (s) => Buffer.from(s ?? '', 'utf8').toString('hex');
const num = (v) => (typeof v === 'number' && Number.isFinite(v) ? String(v) : '');
const flags = (v) => (Number.isInteger(v) ? String(v) : '');
// libdxfrw keeps the terminating NUL of the 8-bit strings of releases before 2007.
const clean = (s) => String(s ?? '').replace(/\0+$/, '');
const oneLine = (s) => String(s).replace(/[\t\r\n]+/g, ' ');

async function dumpLibreDwg(bytes) {
  const { createModule, LibreDwg } = await import('@mlightcad/libredwg-web');
  // The package's entry lies in dist/, its WebAssembly binary in wasm/.
  const wasmDir = path.join(path.dirname(require.resolve('@mlightcad/libredwg-web')), '..', 'wasm');
  const wasm = await createModule({
    locateFile: (file) => path.join(wasmDir, file),
    print: toStderr,
    printErr: toStderr,
  });
  const libredwg = LibreDwg.createByWasmInstance(wasm);

  const name = 'input.dwg';
  wasm.FS.writeFile(name, bytes);
  const result = wasm.dwg_read_file(name);
  wasm.FS.unlink(name);
  // LibreDWG's error word is a bit set; from CLASSESNOTFOUND (128) upwards the
  // drawing could not be read, below that it only reports repaired defects.
  if (!result.data || result.error >= 128) {
    throw new Error(`LibreDWG could not read the drawing (error code ${result.error})`);
  }
  if (result.error !== 0) emit('WARNING', `LibreDWG error code ${result.error} (non-critical)`);

  const data = result.data;
  const version = libredwg.dwg_get_version_type(data);
  emit('VERSION', version?.hdr ?? '');
  emit('CODEPAGE', String(libredwg.dwg_get_codepage(data)));
  const db = libredwg.convert(data);
  libredwg.dwg_free(data);

  for (const s of db.tables.STYLE.entries) {
    emit('STYLE', hex(s.name), hex(s.font), flags(s.textGenerationFlag));
  }
  for (const l of db.tables.LAYER?.entries ?? []) emit('LAYER', hex(l.name));
  for (const block of db.tables.BLOCK_RECORD.entries) {
    const owner = hex(block.name);
    emit('BLOCK', owner, String(block.entities.length));
    emitTypeCounts(owner, block.entities.map((e) => e.type));
    for (const e of block.entities) {
      if (e.type === 'TEXT') {
        emit('TEXT', e.handle, owner, hex(e.styleName), num(e.startPoint?.x), num(e.startPoint?.y),
             hex(e.text), flags(e.generationFlag));
      } else if (e.type === 'INSERT') {
        emit('INSERT', e.handle, owner, hex(e.name), num(e.insertionPoint?.x), num(e.insertionPoint?.y));
        for (const a of e.attribs ?? []) {
          emit('ATTRIB', a.handle, e.handle, hex(a.tag), hex(a.text?.styleName),
               num(a.text?.startPoint?.x), num(a.text?.startPoint?.y), hex(a.text?.text));
        }
      }
    }
  }
}

async function dumpLibDxfRw(bytes) {
  const createModule = require('@mlightcad/libdxfrw-web/dist/libdxfrw.js');
  const m = await createModule({ print: toStderr, printErr: toStderr });
  const enumName = (enumeration, value) =>
    Object.entries(enumeration).find(([, v]) => v === value)?.[0] ?? String(value?.value);

  const database = new m.DRW_Database();
  const handler = new m.DRW_FileHandler();
  handler.database = database;
  const reader = new m.DRW_DwgR(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength));
  const ok = reader.read(handler, false);
  const error = enumName(m.DWR_Error, reader.getError());
  // libdxfrw reports BAD_READ_OBJECTS for most real drawings because it does
  // not know every non-graphical object; tables and entities are complete then.
  if (!ok && error !== 'BAD_READ_OBJECTS') {
    throw new Error(`libdxfrw could not read the drawing (${error})`);
  }
  if (!ok) emit('WARNING', `libdxfrw reported ${error} (non-critical)`);
  emit('VERSION', enumName(m.DRW_Version, reader.getVersion()));

  const styles = database.textStyles;
  for (let i = 0; i < styles.size(); ++i) {
    const s = styles.get(i);
    emit('STYLE', hex(clean(s.name)), hex(clean(s.font)), flags(s.genFlag));
  }
  if (database.layers) {
    for (let i = 0; i < database.layers.size(); ++i) emit('LAYER', hex(clean(database.layers.get(i).name)));
  }

  const list = (l) => Array.from({ length: l.size() }, (_, i) => l.get(i));
  const byHandle = (a, b) => a.handle - b.handle;
  // Model and paper space entities arrive in one unordered list; the owning
  // block record is not kept, only which space the entity lies in.
  const groups = new Map();
  for (const b of list(database.blocks)) groups.set(clean(b.name), list(b.entities));
  const spaces = database.mBlock ? list(database.mBlock.entities) : [];
  groups.set('*Model_Space', spaces.filter((e) => e.space.value === 0));
  groups.set('*Paper_Space', spaces.filter((e) => e.space.value !== 0));

  const texts = m.DRW_ETYPE.TEXT;
  const inserts = m.DRW_ETYPE.INSERT;
  const handleHex = (h) => h.toString(16).toUpperCase();
  for (const [name, entities] of groups) {
    const owner = hex(name);
    emit('BLOCK', owner, String(entities.length));
    emitTypeCounts(owner, entities.map((e) => enumName(m.DRW_ETYPE, e.eType)));
    for (const e of entities.sort(byHandle)) {
      if (e.eType === texts) {
        const p = e.basePoint;
        emit('TEXT', handleHex(e.handle), owner, hex(clean(e.style)), num(p.x), num(p.y),
             hex(clean(e.text)), flags(e.textGen));
      } else if (e.eType === inserts) {
        const p = e.basePoint;
        emit('INSERT', handleHex(e.handle), owner, hex(clean(e.name)), num(p.x), num(p.y));
      }
    }
  }
}

const readers = { libredwg: dumpLibreDwg, libdxfrw: dumpLibDxfRw };

async function main() {
  const [readerName, file] = process.argv.slice(2);
  const dump = readers[readerName];
  if (!dump || !file) {
    const script = path.relative(process.cwd(), path.join(here, 'dump.mjs'));
    process.stderr.write(`usage: node ${script} libredwg|libdxfrw FILE.dwg\n`);
    return 2;
  }
  try {
    await dump(new Uint8Array(readFileSync(file)));
  } catch (e) {
    // A WebAssembly abort or a missing file is a failure to read as well.
    stdoutWrite(`ERROR\t${oneLine(e?.message ?? e)}\n`);
    return 1;
  }
  stdoutWrite(lines.map((l) => l + '\n').join(''));
  return 0;
}

process.exitCode = await main();
