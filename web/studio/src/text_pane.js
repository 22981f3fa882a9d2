// The text pane: CodeMirror 6 with GLSL and TOML highlighting, each compile
// or manifest error marked on its line, and a change handed on once typing
// has paused (300 ms) or at once on Ctrl+S.
import { EditorState } from '@codemirror/state';
import { EditorView, keymap, lineNumbers, highlightActiveLine, drawSelection } from '@codemirror/view';
import { defaultKeymap, history, historyKeymap, indentWithTab } from '@codemirror/commands';
import { StreamLanguage, syntaxHighlighting, defaultHighlightStyle, bracketMatching } from '@codemirror/language';
import { searchKeymap } from '@codemirror/search';
import { setDiagnostics, lintGutter } from '@codemirror/lint';
import { shader } from '@codemirror/legacy-modes/mode/clike';
import { toml } from '@codemirror/legacy-modes/mode/toml';

export const typingPause = 300;

const dark = EditorView.theme({
  '&': { color: '#d8dbe2', backgroundColor: '#16181c', fontSize: '13px' },
  '.cm-content': { caretColor: '#fff', fontFamily: 'ui-monospace, monospace' },
  '.cm-gutters': { backgroundColor: '#1a1d22', color: '#667', border: 'none' },
  '.cm-activeLine': { backgroundColor: '#1f232a' },
  '&.cm-focused .cm-selectionBackground, .cm-selectionBackground': { backgroundColor: '#2f4058' },
}, { dark: true });

function languageOf(path) {
  if (/\.(fsh|vsh|glsl)$/i.test(path)) return [StreamLanguage.define(shader)];
  if (/\.toml$/i.test(path)) return [StreamLanguage.define(toml)];
  return [];
}

export class TextPane {
  constructor(parent, onChange) {
    this.parent = parent;
    this.onChange = onChange;
    this.path = '';
    this.timer = 0;
    this.view = null;
  }

  // Shows `text` as `path`'s; changes made to it go to onChange(path, text).
  show(path, text) {
    this.flush();
    this.path = path;
    const save = () => {
      this.flush();
      return true;
    };
    const state = EditorState.create({
      doc: text,
      extensions: [
        lineNumbers(), history(), drawSelection(), highlightActiveLine(), bracketMatching(), lintGutter(),
        syntaxHighlighting(defaultHighlightStyle, { fallback: true }), dark, ...languageOf(path),
        keymap.of([{ key: 'Mod-s', run: save, preventDefault: true }, indentWithTab, ...defaultKeymap,
                   ...historyKeymap, ...searchKeymap]),
        EditorView.updateListener.of((update) => {
          if (!update.docChanged) return;
          clearTimeout(this.timer);
          this.timer = setTimeout(() => this.flush(), typingPause);
          this.pending = true;
        }),
      ],
    });
    if (this.view) this.view.destroy();
    this.view = new EditorView({ state, parent: this.parent });
  }

  text() {
    return this.view ? this.view.state.doc.toString() : '';
  }

  // Hands on a change not handed on yet.
  flush() {
    clearTimeout(this.timer);
    if (!this.pending || !this.view) return;
    this.pending = false;
    this.onChange(this.path, this.text());
  }

  // The errors of the file shown, marked on their lines (line 0: the first).
  mark(errors) {
    if (!this.view) return;
    const doc = this.view.state.doc;
    const diagnostics = errors.filter((e) => e.file === this.path).map((e) => {
      const line = doc.line(Math.min(Math.max(1, e.line || 1), doc.lines));
      return { from: line.from, to: Math.max(line.from, line.to), severity: 'error', message: e.message };
    });
    this.view.dispatch(setDiagnostics(this.view.state, diagnostics));
  }
}
