// Orvanta Studio's music Worker: tunegen's synthesizer and the desktop's
// Vorbis encoder (orvanta-music.wasm, tools/live/studio/music_worker.cpp)
// render a score off the page's thread. The page sends the compiled module
// once, then one job a Worker; it ends a render by ending the Worker.
//
// A job: { score, name, tune (the playing tune's bytes, or null), row,
// rowRate, sections, quality, mostSeconds, check }. What comes back, in order:
//   {type:'read', facts}                      the score reads
//   {type:'error', message, line}             it does not, or is refused
//   {type:'current'}                          (check) the tune is this score's
//   {type:'stage', stage, from, to}           a render starts
//   {type:'progress', fraction}               how far it is, 0 to 1
//   {type:'splice', stage, from, to, first, samples}   16-bit stereo, from
//                                             sample frame `first`
//   {type:'tune', bytes, facts}               the whole tune, tune.ogg
//   {type:'done'}
/* global createMusic, importScripts */
importScripts('orvanta-music.js');

let music = null;

function load(module) {
  return createMusic({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
      return {};
    },
    musicProgress: (fraction) => postMessage({ type: 'progress', fraction }),
    print: () => {},
    printErr: (line) => console.warn(line),
  });
}

const barsAhead = 3; // the first stage's length, in bars

function render(M, job) {
  const read = (text, name) => JSON.parse(M.ccall('music_read', 'string', ['string', 'string'], [text, name]));
  const facts = read(job.score, job.name);
  if (facts.error) {
    postMessage({ type: 'error', message: facts.error, line: facts.line });
    return;
  }
  if (facts.seconds > job.mostSeconds) {
    const minutes = (s) => (s / 60).toFixed(1);
    postMessage({ type: 'error', line: 0, message: `${job.name}: the song lasts ${minutes(facts.seconds)} minutes, ` +
                  `longer than the page renders (${minutes(job.mostSeconds)}); tunegen on the desktop renders it` });
    return;
  }
  postMessage({ type: 'read', facts });
  let held = 0;
  if (job.tune) {
    M.FS.writeFile('/playing.ogg', job.tune);
    held = M.ccall('music_levels', 'number', ['string'], ['/playing.ogg']);
    if (job.check && held >= 0 && M.ccall('music_renders', 'number', ['string'], ['/playing.ogg'])) {
      postMessage({ type: 'current' });
      return;
    }
  }
  const bar = Math.floor(job.row / facts.rowsPerBar) * facts.rowsPerBar;
  const quick = !job.check && job.tune && held >= 0 && Math.abs(facts.rowRate - job.rowRate) < 1e-9 &&
                bar >= 0 && bar < facts.rows;
  const section = (stage, from, to) => {
    postMessage({ type: 'stage', stage, from, to });
    M.ccall('music_section', 'number', ['number', 'number', 'number'], [from, to, held > 0 ? 1 : 0]);
    const pointer = M._music_samples();
    const samples = new Int16Array(M.HEAP16.buffer, pointer, M._music_count()).slice();
    postMessage({ type: 'splice', stage, from, to, first: M._music_first(), samples }, [samples.buffer]);
  };
  if (quick) {
    const barsTo = Math.min(bar + barsAhead * facts.rowsPerBar, facts.rows);
    section('bars', bar, barsTo);
    if (barsTo < facts.rows) {
      // On to the end of the section, three bars at the least.
      let to = facts.rows;
      for (const cut of job.sections) {
        if (cut >= barsTo + barsAhead * facts.rowsPerBar) {
          to = Math.min(to, Math.floor(cut));
          break;
        }
      }
      section('section', barsTo, to);
    }
  }
  postMessage({ type: 'stage', stage: 'tune', from: 0, to: facts.rows });
  try { M.FS.unlink('/tune.ogg'); } catch (e) { /* none yet */ }
  const written = M.ccall('music_tune', 'string', ['string', 'number'], ['/tune.ogg', job.quality]);
  if (!written.startsWith('{')) {
    postMessage({ type: 'error', line: 0, message: `${job.name}: ${written}` });
    return;
  }
  const bytes = M.FS.readFile('/tune.ogg');
  M.FS.unlink('/tune.ogg');
  postMessage({ type: 'tune', bytes, facts: JSON.parse(written) }, [bytes.buffer]);
}

onmessage = async (event) => {
  if (event.data.module) {
    music = load(event.data.module);
    return;
  }
  try {
    const M = await music;
    render(M, event.data);
  } catch (e) {
    postMessage({ type: 'error', line: 0, message: `${event.data.name}: the render stopped: ${e.message || e}` });
  }
  postMessage({ type: 'done' });
};
