// What the browser tests share besides the browser: checks counted and said
// ("FAILED: ..."), folders made for a run and removed at its end (kept when
// a check failed, for the pictures in them), a signal ending the run at once
// with those folders gone, and the closing "N passed, N failed".
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export function harness(prefix) {
  const run = { passed: 0, failed: 0, keep: false, temporaries: [] };
  const removeAll = () => {
    for (const folder of run.temporaries) fs.rmSync(folder, { recursive: true, force: true });
  };
  for (const [signal, number] of [['SIGINT', 2], ['SIGTERM', 15]]) {
    process.on(signal, () => {
      removeAll();
      process.exit(128 + number);
    });
  }
  return {
    check(ok, what) {
      if (ok) {
        run.passed += 1;
      } else {
        run.failed += 1;
        run.keep = true;
        console.log('FAILED: ' + what);
      }
    },
    temporary() {
      const folder = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
      run.temporaries.push(folder);
      return folder;
    },
    failed() {
      return run.failed;
    },
    // Says the count and ends the process with its status.
    finish() {
      if (!run.keep) removeAll();
      console.log(`${run.passed} passed, ${run.failed} failed`);
      process.exit(run.failed ? 1 : 0);
    },
  };
}
