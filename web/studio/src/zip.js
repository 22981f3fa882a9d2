// A demo folder as a zip, both ways. A zip read is checked before anything
// is inflated: every entry's path stays inside its folder, no entry is a
// link, none is over 16 MiB and all together at most 64 MiB, and each text
// is UTF-8. A zip written holds the folder under its name, as a desktop
// unzip lays it out for `orvanta-live DIR` and `orvanta-capture DIR`.
import { unzipSync, zipSync } from 'fflate';

export const entryLimit = 16 << 20;
export const wholeLimit = 64 << 20;
const textNames = /\.(toml|fsh|vsh|glsl|tracks|score|md|txt)$/i;

export class ZipRefusal extends Error {}

function refuse(why) {
  throw new ZipRefusal(why);
}

// The central directory's entries: names, sizes and whether each is a link,
// from the bytes alone.
function entries(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  let end = -1;
  for (let at = bytes.length - 22; at >= Math.max(0, bytes.length - 22 - 65535); --at) {
    if (view.getUint32(at, true) === 0x06054b50) {
      end = at;
      break;
    }
  }
  if (end < 0) refuse('it is not a zip (no central directory)');
  const count = view.getUint16(end + 10, true);
  let at = view.getUint32(end + 16, true);
  const found = [];
  const names = new TextDecoder('utf-8', { fatal: true });
  for (let i = 0; i < count; ++i) {
    if (at + 46 > bytes.length || view.getUint32(at, true) !== 0x02014b50) refuse('its directory is damaged');
    const madeBy = view.getUint16(at + 4, true) >> 8;
    const size = view.getUint32(at + 24, true);
    const nameLength = view.getUint16(at + 28, true);
    const extraLength = view.getUint16(at + 30, true);
    const commentLength = view.getUint16(at + 32, true);
    const external = view.getUint32(at + 38, true);
    if (at + 46 + nameLength > bytes.length) refuse('its directory is damaged');
    let name;
    try {
      name = names.decode(bytes.subarray(at + 46, at + 46 + nameLength));
    } catch (e) {
      refuse('an entry\'s name is not UTF-8');
    }
    // Unix's file type sits in the high half of the external attributes.
    const link = madeBy === 3 && ((external >>> 16) & 0o170000) === 0o120000;
    found.push({ name, size, link, folder: name.endsWith('/') });
    at += 46 + nameLength + extraLength + commentLength;
  }
  return found;
}

function safePath(name) {
  if (name.startsWith('/') || name.includes('\\') || /^[a-zA-Z]:/.test(name)) return false;
  return name.split('/').every((part) => part !== '..' && part !== '.');
}

// The folder in `bytes`: { name, files: Map(path -> Uint8Array) }, its
// files relative to the folder (a zip of one top folder, or of the files
// themselves). Throws ZipRefusal saying which entry and why.
export function readZip(bytes, fallbackName) {
  if (bytes.length > wholeLimit + (1 << 20)) refuse(`it is over ${wholeLimit >> 20} MiB`);
  const listed = entries(bytes);
  let whole = 0;
  for (const entry of listed) {
    if (!safePath(entry.name)) refuse(`${entry.name}: its path leads outside the folder`);
    if (entry.link) refuse(`${entry.name}: it is a link`);
    if (entry.size > entryLimit) refuse(`${entry.name}: it is over ${entryLimit >> 20} MiB`);
    whole += entry.size;
    if (whole > wholeLimit) refuse(`its files come to over ${wholeLimit >> 20} MiB`);
  }
  let unpacked;
  try {
    unpacked = unzipSync(bytes, {
      // fflate's own sizes, checked again as it inflates.
      filter: (file) => file.originalSize <= entryLimit,
    });
  } catch (e) {
    refuse(`it does not unpack (${e.message || e})`);
  }
  const paths = Object.keys(unpacked).filter((path) => !path.endsWith('/'));
  let total = 0;
  for (const path of paths) {
    if (unpacked[path].length > entryLimit) refuse(`${path}: it is over ${entryLimit >> 20} MiB`);
    total += unpacked[path].length;
  }
  if (total > wholeLimit) refuse(`its files come to over ${wholeLimit >> 20} MiB`);
  const tops = new Set(paths.map((path) => (path.includes('/') ? path.slice(0, path.indexOf('/')) : '')));
  const prefix = tops.size === 1 && !tops.has('') ? [...tops][0] + '/' : '';
  const files = new Map();
  for (const path of paths) files.set(path.slice(prefix.length), unpacked[path]);
  return { name: prefix ? prefix.slice(0, -1) : fallbackName, files: checkFolder(files) };
}

// A folder's files (from a zip, a picker or a drop): every path inside it,
// every text UTF-8, the sizes within the limits, a manifest at its top.
export function checkFolder(files) {
  const utf8 = new TextDecoder('utf-8', { fatal: true });
  let whole = 0;
  for (const [path, bytes] of files) {
    if (!safePath(path) || path === '') refuse(`${path || '(no name)'}: its path leads outside the folder`);
    if (bytes.length > entryLimit) refuse(`${path}: it is over ${entryLimit >> 20} MiB`);
    whole += bytes.length;
    if (whole > wholeLimit) refuse(`its files come to over ${wholeLimit >> 20} MiB`);
    if (textNames.test(path)) {
      try {
        utf8.decode(bytes);
      } catch (e) {
        refuse(`${path}: it is not UTF-8 text`);
      }
    }
  }
  if (!files.has('demo.toml')) refuse('it holds no demo.toml at its top');
  return files;
}

// The folder as a zip of NAME/..., stored with the time given.
export function writeZip(name, files) {
  const tree = {};
  const mtime = new Date();
  for (const [path, bytes] of files) tree[`${name}/${path}`] = [bytes, { mtime, level: /\.(png|ogg)$/i.test(path) ? 0 : 6 }];
  return zipSync(tree);
}
