// What the studio fetches from its own folder, as bytes.

// The bytes at `url`, or an error naming it.
export async function fetchBytes(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url} is missing`);
  return new Uint8Array(await response.arrayBuffer());
}
