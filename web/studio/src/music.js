import { fetchBytes } from './fetch_bytes.js';

// The studio's music: a score saved in the page is rendered by tunegen's
// synthesizer in a Worker (music_worker.js) and heard as on the desktop's
// player: the bars under way first, spliced into the playing music by the
// program (studio_splice), then the rest of the section, then the whole tune,
// which becomes the folder's tune.ogg. A newer save ends the older render;
// so does a render that runs past the maker's limit. A score that does not
// read is marked on its line, and the music plays on as it was.

export const scoreLimit = 8 * 1024 * 1024;   // tunegen's limit on a score
export const pageMostSeconds = 15 * 60;       // what the Worker's memory holds
export const defaultRenderLimit = 120;        // seconds, the maker may set it
const limitKey = 'orvanta-studio-render-limit';
const quality = 0.5;                          // tunegen's default

function describe(stage, from, to) {
  if (stage === 'bars') return `the bars under way, rows ${from} to ${to}`;
  if (stage === 'section') return `the rest of the section, rows ${from} to ${to}`;
  return 'the whole tune';
}

// `hooks`: program() (the Emscripten module), files() (the open folder's),
// status(text, error), marked() (errors changed), tune(bytes) (a new
// tune.ogg for the folder; resolves once it plays).
export class Music {
  constructor(hooks) {
    this.hooks = hooks;
    this.module = null;     // the compiled orvanta-music.wasm, shared by each Worker
    this.worker = null;
    this.standby = null;    // a Worker with the synthesizer loaded, for the next save
    this.timer = 0;
    this.job = null;
    this.errors = [];       // the score's, as {file, line, message}
    this.heard = [];        // each splice and tune of the last save: {stage, from, to, seconds}
    this.ended = '';        // why the last render was ended, '' for none
    this.said = [];         // what the status said of the music, the last 40 lines
    const stored = Number(window.localStorage.getItem(limitKey));
    this.limit = stored >= 1 ? stored : defaultRenderLimit;
  }

  compile() {
    if (!this.module) {
      this.module = fetchBytes('orvanta-music.wasm').then((bytes) => WebAssembly.compile(bytes));
      this.module.catch(() => { this.module = null; });
    }
    return this.module;
  }

  // A Worker for a render: the one standing by (its synthesizer already
  // instantiated, so that a save is heard sooner), else a new one.
  takeWorker(module) {
    let worker = this.standby;
    this.standby = null;
    if (!worker) {
      worker = new Worker('music_worker.js');
      worker.postMessage({ module });
    }
    return worker;
  }

  standBy() {
    if (this.standby || !this.module) return;
    this.module.then((module) => {
      if (this.standby) return;
      this.standby = new Worker('music_worker.js');
      this.standby.postMessage({ module });
    }, () => {});
  }

  setLimit(seconds) {
    const value = Number(seconds);
    if (!(value >= 1 && value <= 3600)) throw new Error('a render limit of 1 to 3600 seconds');
    this.limit = value;
    window.localStorage.setItem(limitKey, String(value));
    return value;
  }

  info() {
    const program = this.hooks.program();
    return JSON.parse(program.UTF8ToString(program._studio_music()));
  }

  get busy() {
    return this.worker !== null;
  }

  // Where the render stands, for the status and for scripts.
  get state() {
    const job = this.job;
    return {
      busy: this.busy,
      stage: job ? job.stage : '',
      progress: job ? job.progress : 0,
      heard: this.heard.slice(),
      ended: this.ended,
      errors: this.errors.slice(),
      said: this.said.slice(),
      limit: this.limit,
    };
  }

  // Ends a render under way (what it would give is older than the score),
  // and has the next Worker stand by.
  end() {
    if (this.worker) this.worker.terminate();
    this.worker = null;
    clearTimeout(this.timer);
    this.timer = 0;
    this.standBy();
  }

  // A demo opened: its tune is rendered where it is missing or is not the
  // render of its score as it is.
  opened() {
    this.end();
    this.job = null;
    this.errors = [];
    this.heard = [];
    const path = this.info().score;
    const bytes = path ? this.hooks.files().get(path) : null;
    if (bytes) this.start(path, bytes, true);
  }

  // A file of the folder was saved: true where it was the score.
  saved(path, bytes) {
    if (!this.hooks.program() || path !== this.info().score) return false;
    if (this.worker) this.say(`${path}: the render of the older save ended`);
    this.end();
    this.start(path, bytes, false);
    return true;
  }

  say(text, error) {
    // The progress of one stage is one line, updated.
    const last = this.said.length - 1;
    if (last >= 0 && /^rendering the tune: /.test(text) && this.said[last].replace(/\d+%$/, '') === text.replace(/\d+%$/, '')) {
      this.said[last] = text;
    } else {
      this.said.push(text);
      if (this.said.length > 40) this.said.shift();
    }
    this.hooks.status(text, error);
  }

  refuse(path, line, message) {
    this.errors = [{ file: path, line, message }];
    this.hooks.marked();
    this.say(`${line ? `${path}:${line}: ` : ''}${message} (the tune stays as it was)`, true);
  }

  start(path, bytes, check) {
    this.ended = '';
    if (bytes.length > scoreLimit) {
      this.refuse(path, 0, `${path}: over 8 MiB, the most a score may hold`);
      return;
    }
    const info = this.info();
    const tune = this.hooks.files().get('tune.ogg');
    const job = { path, check, savedAt: performance.now(), stage: '', progress: 0, from: 0, to: 0 };
    this.job = job;
    if (!check) this.heard = [];
    // A placeholder until the module is compiled (the first render only):
    // a newer save or the limit ends it as a Worker.
    const pending = { terminate() {} };
    this.worker = pending;
    this.compile().then((module) => {
      if (this.worker !== pending) return;
      const worker = this.takeWorker(module);
      this.worker = worker;
      worker.onmessage = (event) => this.take(worker, job, event.data);
      worker.onerror = (event) => {
        event.preventDefault();
        if (this.worker !== worker) return;
        this.end();
        this.say(`${path}: the render stopped: ${event.message || 'the Worker failed'} (the music plays on)`, true);
      };
      worker.postMessage({
        score: new TextDecoder().decode(bytes), name: path, tune: tune ? tune.slice() : null,
        row: info.row, rowRate: info.rowRate, sections: info.sections, quality,
        mostSeconds: pageMostSeconds, check,
      });
    }, (e) => {
      if (this.worker !== pending) return;
      this.end();
      this.say(`${path}: the music cannot render here: ${e.message || e}`, true);
    });
    this.timer = setTimeout(() => {
      if (this.job !== job || !this.worker) return;
      this.end();
      this.ended = `${path}: the render took longer than ${this.limit} s and was ended; the music plays on as it was`;
      this.say(this.ended, true);
    }, this.limit * 1000);
  }

  since(job) {
    return (performance.now() - job.savedAt) / 1000;
  }

  showProgress(job) {
    if (job.check && job.stage !== 'tune') return;
    this.say(`rendering the tune: ${describe(job.stage, job.from, job.to)}  ${Math.round(job.progress * 100)}%`);
  }

  take(worker, job, message) {
    if (this.worker !== worker) return; // an ended render's last words
    switch (message.type) {
      case 'read':
        if (this.errors.length) {
          this.errors = [];
          this.hooks.marked();
        }
        break;
      case 'error':
        this.end();
        this.refuse(job.path, message.line, message.message.replace(/^[^:]*:\d+: /, ''));
        break;
      case 'current':
        this.end();
        break;
      case 'stage':
        Object.assign(job, { stage: message.stage, from: message.from, to: message.to, progress: 0 });
        this.showProgress(job);
        break;
      case 'progress':
        job.progress = message.fraction;
        this.showProgress(job);
        break;
      case 'splice': {
        const put = this.splice(message.first, message.samples);
        const what = describe(message.stage, message.from, message.to);
        if (put) {
          const seconds = this.since(job);
          this.heard.push({ stage: message.stage, from: message.from, to: message.to, seconds });
          this.say(`${job.path}: ${what} heard ${seconds.toFixed(2)} s after the save`);
        } else {
          this.say(`${job.path}: ${what} could not be put in; the whole tune follows`);
        }
        break;
      }
      case 'tune':
        job.stage = 'tune';
        this.hooks.tune(message.bytes).then(() => {
          const seconds = this.since(job);
          this.heard.push({ stage: 'tune', from: 0, to: job.to, seconds });
          this.say(`${job.path}: the tune is rendered, ${seconds.toFixed(1)} s after the ${job.check ? 'opening' : 'save'}`);
        });
        break;
      case 'done':
        this.end();
        break;
      default:
        break;
    }
  }

  // 16-bit stereo into the program's music from sample frame `first`.
  splice(first, samples) {
    const program = this.hooks.program();
    const pointer = program._malloc(samples.length * 2);
    if (!pointer) return false;
    program.HEAP16.set(samples, pointer >> 1);
    const put = program._studio_splice(first, pointer, samples.length / 2);
    program._free(pointer);
    return put === 1;
  }
}
