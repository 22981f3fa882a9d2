// The demos kept in the browser's Origin Private File System:
//   demos/ID/meta.json   { name, created }
//   demos/ID/files/...   the folder's files, as the maker has them
//   last                 the ID worked on last
// A file is written whole (createWritable writes a copy that replaces the
// file only when closed). A write the storage refuses (its quota full) is
// kept in the page and tried again with the next save; the caller says so.
const folderOptions = { create: true };

async function root() {
  if (!navigator.storage || !navigator.storage.getDirectory) {
    throw new Error('this browser keeps no files for pages (no Origin Private File System)');
  }
  return navigator.storage.getDirectory();
}

async function folderAt(path, create) {
  let folder = await root();
  for (const part of path.split('/').filter(Boolean)) {
    folder = await folder.getDirectoryHandle(part, create ? folderOptions : {});
  }
  return folder;
}

async function writeFile(folder, name, bytes) {
  const handle = await folder.getFileHandle(name, { create: true });
  const writable = await handle.createWritable();
  try {
    await writable.write(bytes);
    await writable.close();
  } catch (e) {
    await writable.abort().catch(() => {});
    throw e;
  }
}

async function readFile(folder, name) {
  const handle = await folder.getFileHandle(name);
  return new Uint8Array(await (await handle.getFile()).arrayBuffer());
}

export function isQuotaError(e) {
  return e && (e.name === 'QuotaExceededError' || /quota/i.test(String(e.message || e)));
}

export async function listDemos() {
  const demos = [];
  let folder;
  try {
    folder = await folderAt('demos', true);
  } catch (e) {
    return demos;
  }
  for await (const [id, handle] of folder.entries()) {
    if (handle.kind !== 'directory') continue;
    try {
      const meta = JSON.parse(new TextDecoder().decode(await readFile(handle, 'meta.json')));
      demos.push({ id, name: String(meta.name || id), created: Number(meta.created) || 0 });
    } catch (e) {
      // A demo whose meta did not get written is still the maker's.
      demos.push({ id, name: id, created: 0 });
    }
  }
  return demos.sort((a, b) => a.created - b.created || a.id.localeCompare(b.id));
}

export async function newDemoId() {
  const taken = new Set((await listDemos()).map((demo) => demo.id));
  for (;;) {
    const id = 'd' + Date.now().toString(36) + Math.floor(Math.random() * 1e6).toString(36);
    if (!taken.has(id)) return id;
  }
}

export async function saveMeta(id, meta) {
  await writeFile(await folderAt(`demos/${id}`, true), 'meta.json', new TextEncoder().encode(JSON.stringify(meta)));
}

export async function saveFile(id, path, bytes) {
  const parts = path.split('/');
  const name = parts.pop();
  await writeFile(await folderAt(`demos/${id}/files/${parts.join('/')}`, true), name, bytes);
}

export async function loadFiles(id) {
  const files = new Map();
  const walk = async (folder, prefix) => {
    for await (const [name, handle] of folder.entries()) {
      if (handle.kind === 'directory') await walk(handle, prefix + name + '/');
      else files.set(prefix + name, new Uint8Array(await (await handle.getFile()).arrayBuffer()));
    }
  };
  await walk(await folderAt(`demos/${id}/files`, false), '');
  return files;
}

export async function removeDemo(id) {
  const folder = await folderAt('demos', true);
  await folder.removeEntry(id, { recursive: true });
}

export async function setLast(id) {
  await writeFile(await root(), 'last', new TextEncoder().encode(id));
}

export async function getLast() {
  try {
    return new TextDecoder().decode(await readFile(await root(), 'last'));
  } catch (e) {
    return '';
  }
}
