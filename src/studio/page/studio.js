// animstudio's page: files in, settings, the device preview of what the program makes, saving.
// Everything it fetches is the program's own API; the token comes from this page's address.
'use strict';

(() => {
  const STRINGS = {
    en: {
      language: 'Language',
      quit: 'Quit',
      connected: 'Connected',
      connectionLost: 'The program does not answer',
      ended: 'animstudio has ended. You can close this tab.',
      filesTitle: 'Files',
      dropHere: 'Drop files here, or click to choose',
      dropHintVideo: 'Images, a set of frames, animated GIFs, videos, streams',
      dropHintNoVideo: 'Images, a set of frames, animated GIFs, streams (this build reads no video)',
      noFiles: 'No files yet. They are made into one stream in this order.',
      moveUp: 'Move up',
      moveDown: 'Move down',
      remove: 'Remove',
      settingsTitle: 'Settings',
      dither: 'Dither',
      fit: 'Fit',
      background: 'Background',
      fps: 'Frames a second',
      fpsHint: 'the video\'s own',
      start: 'Start',
      duration: 'Duration',
      timeHint: 'seconds or mm:ss',
      wait: 'Wait',
      waitHint: 'the input\'s own timing',
      maxPixels: 'Max pixels',
      make: 'Make',
      split: 'Compare two dithers',
      ditherB: 'Second dither',
      source: 'Source',
      noSource: 'A stream has no source picture',
      play: 'Play',
      pause: 'Pause',
      stepBack: 'Previous frame',
      stepForward: 'Next frame',
      zoom: 'Zoom',
      framesLabel: 'Frames',
      durationLabel: 'Duration',
      bytesLabel: 'Bytes',
      seconds: '{0} s',
      cancel: 'Cancel',
      save: 'Save stream',
      gif: 'Save preview GIF',
      saveBeside: 'Save beside the file',
      uploading: 'Uploading {0}…',
      making: 'Making…',
      made: 'Made {0} frames.',
      madePreviewed: 'Made {0} frames; the preview holds the first {1}.',
      cancelled: 'Cancelled.',
      savedAt: 'Saved as {0}',
      overwriteAsk: '{0} already exists. Replace it?',
      notSaved: 'Not saved.',
      badTime: '{0}: give seconds (12.5) or [hh:]mm:ss[.fff] (1:02.5)',
      badNumber: '{0}: give a number',
      badWhole: '{0}: give a whole number',
      kind_image: 'image',
      kind_gif: 'GIF',
      kind_video: 'video',
      kind_stream: 'stream',
      kind_bmp: 'BMP',
      kind_unknown: 'unknown',
      dither_ordered: 'ordered',
      dither_search: 'search',
      dither_steady: 'steady',
      dither_none: 'none',
      dither_diffusion: 'diffusion',
      fit_contain: 'contain (whole picture)',
      fit_cover: 'cover (fill, crop)',
      fit_stretch: 'stretch',
    },
    ja: {
      language: '言語',
      quit: '終了',
      connected: '接続中',
      connectionLost: 'プログラムから応答がありません',
      ended: 'animstudio を終了しました。このタブは閉じてかまいません。',
      filesTitle: 'ファイル',
      dropHere: 'ここにファイルをドロップ、またはクリックして選択',
      dropHintVideo: '画像、連番の画像、アニメーション GIF、動画、ストリーム',
      dropHintNoVideo: '画像、連番の画像、アニメーション GIF、ストリーム（このビルドは動画を読めません）',
      noFiles: 'ファイルはまだありません。並べた順にひとつのストリームになります。',
      moveUp: '上へ',
      moveDown: '下へ',
      remove: '削除',
      settingsTitle: '設定',
      dither: 'ディザ',
      fit: '合わせ方',
      background: '背景色',
      fps: 'フレームレート',
      fpsHint: '動画のまま',
      start: '開始位置',
      duration: '長さ',
      timeHint: '秒 または 分:秒',
      wait: '待ち',
      waitHint: '入力のタイミングのまま',
      maxPixels: '最大ピクセル数',
      make: '作成',
      split: '2 つのディザを比べる',
      ditherB: '比べるディザ',
      source: '元の素材',
      noSource: 'ストリームには元の画像がありません',
      play: '再生',
      pause: '一時停止',
      stepBack: '前のフレーム',
      stepForward: '次のフレーム',
      zoom: '拡大',
      framesLabel: 'フレーム数',
      durationLabel: '再生時間',
      bytesLabel: 'バイト数',
      seconds: '{0} 秒',
      cancel: '中止',
      save: 'ストリームを保存',
      gif: 'プレビュー GIF を保存',
      saveBeside: '元のファイルと同じ場所に保存',
      uploading: '{0} を読み込み中…',
      making: '作成中…',
      made: '{0} フレームを作成しました。',
      madePreviewed: '{0} フレームを作成しました。プレビューは最初の {1} フレームです。',
      cancelled: '中止しました。',
      savedAt: '{0} に保存しました',
      overwriteAsk: '{0} はすでにあります。置き換えますか？',
      notSaved: '保存しませんでした。',
      badTime: '{0}: 秒（12.5）か [時:]分:秒[.小数]（1:02.5）で指定してください',
      badNumber: '{0}: 数値で指定してください',
      badWhole: '{0}: 整数で指定してください',
      kind_image: '画像',
      kind_gif: 'GIF',
      kind_video: '動画',
      kind_stream: 'ストリーム',
      kind_bmp: 'BMP',
      kind_unknown: '不明',
      dither_ordered: 'ordered（組織的）',
      dither_search: 'search（探索）',
      dither_steady: 'steady（安定）',
      dither_none: 'none（切り捨て）',
      dither_diffusion: 'diffusion（誤差拡散）',
      fit_contain: 'contain（全体、余白つき）',
      fit_cover: 'cover（切り取り）',
      fit_stretch: 'stretch（引き伸ばし）',
    },
  };

  // Drawn rather than taken from a font: not every system font has the media symbols.
  const ICONS = {
    play: '<svg viewBox="0 0 16 16" aria-hidden="true"><path d="M4 2.5v11l9-5.5z"/></svg>',
    pause: '<svg viewBox="0 0 16 16" aria-hidden="true"><path d="M3.5 2.5h3v11h-3zM9.5 2.5h3v11h-3z"/></svg>',
    back: '<svg viewBox="0 0 16 16" aria-hidden="true"><path d="M3 2.5h2v11H3zM13 2.5v11L6 8z"/></svg>',
    forward: '<svg viewBox="0 0 16 16" aria-hidden="true"><path d="M11 2.5h2v11h-2zM3 2.5v11L10 8z"/></svg>',
  };

  const WIDTH = 190;
  const HEIGHT = 170;
  const PIXELS = WIDTH * HEIGHT;
  const FRAME_RECORD = 1 + PIXELS;  // wait byte, then one colour index a pixel
  const MAKE_DELAY_MS = 350;
  // A run's frames the preview keeps (about 290 MB, five minutes at 30 frames a second); the stream has them all.
  const MAX_PREVIEW_FRAMES = 9000;
  const PING_MS = 5000;

  const token = new URLSearchParams(location.search).get('token') || '';
  const $ = (id) => document.getElementById(id);

  const state = {
    lang: 'en',
    session: null,
    colours: new Uint32Array(256),
    waitUnitMs: 10,
    files: [],
    selectedId: null,
    jobs: { a: null, b: null },
    generation: 0,
    makeTimer: 0,
    pending: false,  // a run is asked for and not started yet
    failed: false,   // this run's request or one of its jobs failed
    ended: false,
  };

  const player = { index: 0, playing: true, origin: 0 };

  // ---- text ----

  function t(key, ...values) {
    const text = (STRINGS[state.lang] && STRINGS[state.lang][key]) ?? STRINGS.en[key] ?? key;
    return text.replace(/\{(\d)\}/g, (_, n) => String(values[Number(n)]));
  }

  function applyLanguage(lang) {
    state.lang = STRINGS[lang] ? lang : 'en';
    document.documentElement.lang = state.lang;
    $('lang').value = state.lang;
    for (const element of document.querySelectorAll('[data-i18n]')) {
      element.textContent = t(element.dataset.i18n);
    }
    for (const element of document.querySelectorAll('[data-i18n-title]')) {
      element.title = t(element.dataset.i18nTitle);
      element.setAttribute('aria-label', element.title);
    }
    for (const element of document.querySelectorAll('[data-i18n-placeholder]')) {
      element.placeholder = t(element.dataset.i18nPlaceholder);
    }
    fillChoices($('dither'), state.session ? state.session.dithers : [], 'dither_');
    fillChoices($('dither-b'), state.session ? state.session.dithers : [], 'dither_');
    fillChoices($('fit'), state.session ? state.session.fits : [], 'fit_');
    $('drop-hint').textContent =
      t(state.session && !state.session.readsVideo ? 'dropHintNoVideo' : 'dropHintVideo');
    if (state.ended) {
      $('connection').textContent = t('ended');
    }
    renderFiles();
    renderPlayButton();
    renderFacts();
    renderCaptions();
  }

  function fillChoices(select, names, prefix) {
    const kept = select.value;
    select.replaceChildren(...names.map((name) => {
      const option = document.createElement('option');
      option.value = name;
      const label = t(prefix + name);
      option.textContent = label === prefix + name ? name : label;
      return option;
    }));
    if (names.includes(kept)) {
      select.value = kept;
    }
  }

  // ---- the API ----

  class ApiError extends Error {
    constructor(message, status, body) {
      super(message);
      this.status = status;
      this.body = body;
    }
  }

  async function api(path, options = {}) {
    const headers = { 'X-Studio-Token': token, ...(options.headers || {}) };
    let body = options.body;
    if (options.json !== undefined) {
      headers['Content-Type'] = 'application/json';
      body = JSON.stringify(options.json);
    }
    const response = await fetch(path, { method: options.method || (body ? 'POST' : 'GET'), headers, body });
    if (options.binary && response.ok) {
      return { bytes: await response.arrayBuffer(), headers: response.headers };
    }
    const text = await response.text();
    let data = null;
    try {
      data = text ? JSON.parse(text) : {};
    } catch {
      data = null;
    }
    if (!response.ok) {
      const reason = (data && data.error) || text.trim() || `${response.status} ${response.statusText}`;
      throw new ApiError(reason, response.status, data);
    }
    return data;
  }

  function withToken(path) {
    return `${path}?token=${encodeURIComponent(token)}`;
  }

  function showError(message) {
    $('error').textContent = message;
  }

  function showNotice(message) {
    $('notice').textContent = message;
  }

  // ---- files ----

  async function addFiles(fileList) {
    const files = Array.from(fileList);
    if (!files.length || state.ended) {
      return;
    }
    showError('');
    let added = false;
    let refusal = '';
    for (const file of files) {
      showNotice(t('uploading', file.name));
      try {
        const entry = await api('/api/files', {
          method: 'POST',
          body: file,
          headers: { 'X-File-Name': encodeURIComponent(file.name) },
        });
        performance.mark('studio-upload-done');
        state.files.push(entry);
        added = true;
      } catch (error) {
        // Which of several files it was, unless the reason names it already.
        refusal = error.message.startsWith(`${file.name}: `) ? error.message : `${file.name}: ${error.message}`;
        showError(refusal);
      }
    }
    showNotice('');
    $('files').value = '';
    renderFiles();
    if (added) {
      if (!state.selectedId || !state.files.some((f) => f.id === state.selectedId)) {
        selectFile(state.files[0].id);
      }
      // A new file is made at once: its first frame should show as soon as it exists.
      await startMake();
      if (refusal && !$('error').textContent) {
        showError(refusal);
      }
    }
  }

  // Out of the list at once, so that no run asked for from now on names it.
  async function removeFile(id) {
    state.files = state.files.filter((f) => f.id !== id);
    if (state.selectedId === id) {
      state.selectedId = state.files.length ? state.files[0].id : null;
      renderSource();
    }
    renderFiles();
    scheduleMake();
    try {
      await api(`/api/files/${id}/remove`, { method: 'POST', json: {} });
    } catch (error) {
      showError(error.message);
    }
  }

  function moveFile(id, beforeId) {
    const from = state.files.findIndex((f) => f.id === id);
    if (from < 0 || id === beforeId) {
      return;
    }
    const [moved] = state.files.splice(from, 1);
    const to = beforeId === null ? state.files.length : state.files.findIndex((f) => f.id === beforeId);
    state.files.splice(to < 0 ? state.files.length : to, 0, moved);
    renderFiles();
    scheduleMake();
  }

  function selectFile(id) {
    state.selectedId = id;
    renderFiles();
    renderSource();
  }

  let draggedId = null;

  function renderFiles() {
    const list = $('file-list');
    $('no-files').hidden = state.files.length > 0;
    list.replaceChildren(...state.files.map((file, position) => {
      const item = document.createElement('li');
      item.dataset.id = file.id;
      item.draggable = true;
      item.classList.toggle('selected', file.id === state.selectedId);
      const name = document.createElement('span');
      name.className = 'name';
      // A command-line file is named by its path: the list shows its last part, the whole on hover.
      name.textContent = file.name.split(/[\\/]/).pop();
      name.title = file.name;
      const kind = document.createElement('span');
      kind.className = 'kind';
      kind.textContent = t('kind_' + file.kind);
      const up = smallButton('↑', t('moveUp'), 'move-up', position === 0, () =>
        moveFile(file.id, state.files[position - 1].id));
      const down = smallButton('↓', t('moveDown'), 'move-down', position === state.files.length - 1, () =>
        moveFile(file.id, position + 2 < state.files.length ? state.files[position + 2].id : null));
      const remove = smallButton('×', t('remove'), 'remove', false, () => removeFile(file.id));
      item.append(name, kind, up, down, remove);
      item.addEventListener('click', (event) => {
        if (event.target.tagName !== 'BUTTON') {
          selectFile(file.id);
        }
      });
      item.addEventListener('dragstart', (event) => {
        draggedId = file.id;
        item.classList.add('dragging');
        event.dataTransfer.effectAllowed = 'move';
        event.dataTransfer.setData('text/plain', file.id);
      });
      item.addEventListener('dragend', () => {
        draggedId = null;
        item.classList.remove('dragging');
      });
      item.addEventListener('dragover', (event) => {
        if (draggedId) {
          event.preventDefault();
          item.classList.add('drop-before');
        }
      });
      item.addEventListener('dragleave', () => item.classList.remove('drop-before'));
      item.addEventListener('drop', (event) => {
        if (draggedId) {
          event.preventDefault();
          event.stopPropagation();
          const box = item.getBoundingClientRect();
          const after = event.clientY > box.top + box.height / 2;
          const target = after ? (state.files[position + 1] || null) : file;
          moveFile(draggedId, target ? target.id : null);
        }
      });
      return item;
    }));
    const first = state.files[0];
    $('save-beside').hidden = !(first && first.fromCommandLine);
  }

  function smallButton(text, title, testId, disabled, action) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = text;
    button.title = title;
    button.setAttribute('aria-label', title);
    button.dataset.testid = testId;
    button.disabled = disabled;
    button.addEventListener('click', action);
    return button;
  }

  function renderSource() {
    const box = $('source-box');
    const file = state.files.find((f) => f.id === state.selectedId);
    const shown = file && ['image', 'gif', 'video', 'bmp'].includes(file.kind);
    $('source-view').hidden = !shown;
    if (!shown) {
      box.replaceChildren();
      return;
    }
    const url = withToken(`/api/files/${file.id}/content`);
    const current = box.firstElementChild;
    if (current && current.dataset.url === url) {
      return;
    }
    let element;
    if (file.kind === 'video') {
      element = document.createElement('video');
      element.controls = true;
      element.muted = true;
      element.loop = true;
      element.preload = 'metadata';
    } else {
      element = document.createElement('img');
      element.alt = file.name;
    }
    element.dataset.url = url;
    element.src = url;
    box.replaceChildren(element);
    applyZoom();
  }

  // ---- settings and making ----

  // Seconds ("12.5") or [hh:]mm:ss[.fff] ("1:02.5") as seconds; null when blank.
  function readTime(id, labelKey) {
    const text = $(id).value.trim();
    if (!text) {
      return null;
    }
    const parts = text.split(':');
    if (parts.length > 3 || !parts.every((p, i) => (i === parts.length - 1 ? /^\d+(\.\d+)?$/ : /^\d+$/).test(p))) {
      throw new Error(t('badTime', t(labelKey)));
    }
    return parts.reduce((total, part) => total * 60 + Number(part), 0);
  }

  function readNumber(id, labelKey, whole) {
    const text = $(id).value.trim();
    if (!text) {
      return null;
    }
    if (!(whole ? /^\d+$/ : /^\d+(\.\d+)?$/).test(text)) {
      throw new Error(t(whole ? 'badWhole' : 'badNumber', t(labelKey)));
    }
    return Number(text);
  }

  function readSettings() {
    return {
      dither: $('dither').value,
      fit: $('fit').value,
      background: $('background').value,
      fps: readNumber('fps', 'fps', false),
      start: readTime('start', 'start'),
      duration: readTime('duration', 'duration'),
      wait: readNumber('wait', 'wait', true),
      maxPixels: readNumber('max-pixels', 'maxPixels', true),
      delta: true,
    };
  }

  function applyDefaults(defaults) {
    if (!defaults) {
      return;
    }
    const text = (value) => (value === null || value === undefined ? '' : String(value));
    if (defaults.dither) {
      $('dither').value = defaults.dither;
    }
    if (defaults.fit) {
      $('fit').value = defaults.fit;
    }
    if (defaults.background) {
      $('background').value = defaults.background;
    }
    $('fps').value = text(defaults.fps);
    $('start').value = text(defaults.start);
    $('duration').value = text(defaults.duration);
    $('wait').value = text(defaults.wait);
    $('max-pixels').value = text(defaults.maxPixels);
    const second = state.session.dithers.find((name) => name !== $('dither').value);
    if (second) {
      $('dither-b').value = second;
    }
  }

  // A run asked for makes whatever the current one would still report stale.
  function scheduleMake(delay = MAKE_DELAY_MS) {
    clearTimeout(state.makeTimer);
    ++state.generation;
    state.pending = true;
    state.makeTimer = setTimeout(startMake, delay);
    renderProgress();
  }

  function makeJob(id, generation) {
    return {
      id, generation, state: 'running', framesDone: 0, framesExpected: null, bytes: 0, durationMs: 0,
      frames: [], starts: [0], dropped: false, shownFirst: false,
    };
  }

  async function cancelJobs() {
    const running = Object.values(state.jobs).filter((job) => job && job.state === 'running');
    for (const job of Object.values(state.jobs)) {
      if (job) {
        job.dropped = true;
      }
    }
    await Promise.all(running.map((job) =>
      api(`/api/jobs/${job.id}/cancel`, { method: 'POST', json: {} }).catch(() => {})));
  }

  async function startMake() {
    clearTimeout(state.makeTimer);
    if (state.ended) {
      return;
    }
    const generation = ++state.generation;
    state.pending = true;
    state.failed = false;
    await cancelJobs();
    if (generation !== state.generation) {
      return;
    }
    state.jobs = { a: null, b: null };
    resetPlayer();
    showNotice('');
    if (!state.files.length) {
      state.pending = false;
      showError('');
      renderAll();
      return;
    }
    let settings;
    try {
      settings = readSettings();
    } catch (error) {
      state.pending = false;
      state.failed = true;
      showError(error.message);
      renderAll();
      return;
    }
    showError('');
    const wanted = [['a', settings]];
    if ($('split').checked) {
      wanted.push(['b', { ...settings, dither: $('dither-b').value }]);
    }
    const ids = state.files.map((f) => f.id);
    performance.mark('studio-make-sent');
    for (const [slot, slotSettings] of wanted) {
      let reply;
      try {
        reply = await api('/api/make', { method: 'POST', json: { files: ids, settings: slotSettings } });
      } catch (error) {
        if (generation === state.generation) {
          state.pending = false;
          state.failed = true;
          showError(error.message);
          renderAll();
        }
        return;
      }
      const job = makeJob(reply.job, generation);
      if (generation !== state.generation) {
        api(`/api/jobs/${job.id}/cancel`, { method: 'POST', json: {} }).catch(() => {});
        return;
      }
      state.jobs[slot] = job;
      follow(job, slot);
    }
    if (generation === state.generation) {
      state.pending = false;
      showNotice(t('making'));
    }
    renderAll();
  }

  const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

  // Polls a job and fetches its frames as they are made, quickly until the first one arrives.
  async function follow(job, slot) {
    const current = () => !job.dropped && job.generation === state.generation;
    while (current()) {
      let info;
      try {
        info = await api(`/api/jobs/${job.id}`);
        if (info.framesDone > job.frames.length && job.frames.length < MAX_PREVIEW_FRAMES) {
          await fetchFrames(job);
        }
      } catch (error) {
        if (current()) {
          showError(error.message);
          job.state = 'failed';
          state.failed = true;
          renderAll();
        }
        return;
      }
      if (!current()) {
        return;
      }
      Object.assign(job, {
        state: info.state, framesDone: info.framesDone, framesExpected: info.framesExpected,
        bytes: info.bytes, durationMs: info.durationMs,
      });
      if (info.state !== 'running') {
        finish(job, slot, info);
        return;
      }
      renderProgress();
      renderFacts();
      await sleep(job.frames.length ? 120 : 25);
    }
  }

  function finish(job, slot, info) {
    if (info.state === 'failed') {
      state.failed = true;
      showError(info.error || 'failed');
      showNotice('');
    } else if (info.state === 'cancelled') {
      showNotice(t('cancelled'));
    } else if (slot === 'a') {
      performance.mark('studio-made');
      showNotice(job.frames.length < job.framesDone ? t('madePreviewed', job.framesDone, job.frames.length)
        : t('made', job.framesDone));
    }
    renderAll();
  }

  async function fetchFrames(job) {
    const { bytes } = await api(`/api/jobs/${job.id}/frames?from=${job.frames.length}`, { binary: true });
    const count = Math.min(Math.floor(bytes.byteLength / FRAME_RECORD), MAX_PREVIEW_FRAMES - job.frames.length);
    const all = new Uint8Array(bytes);
    for (let i = 0; i < count; ++i) {
      const record = all.subarray(i * FRAME_RECORD, (i + 1) * FRAME_RECORD);
      job.frames.push(record.subarray(1));
      job.starts.push(job.starts[job.starts.length - 1] + record[0] * state.waitUnitMs);
    }
  }

  // ---- the preview ----

  const canvases = {
    a: { canvas: $('preview'), image: null, shown: null },
    b: { canvas: $('preview-b'), image: null, shown: null },
  };
  for (const view of Object.values(canvases)) {
    const context = view.canvas.getContext('2d');
    view.context = context;
    view.image = context.createImageData(WIDTH, HEIGHT);
    view.pixels = new Uint32Array(view.image.data.buffer);
    context.fillStyle = '#000';
    context.fillRect(0, 0, WIDTH, HEIGHT);
  }

  function setPalette(palette) {
    for (let i = 0; i < 256; ++i) {
      const [r, g, b] = palette[i] || [0, 0, 0];
      state.colours[i] = ((255 << 24) | (b << 16) | (g << 8) | r) >>> 0;
    }
  }

  function drawFrame(slot, index) {
    const view = canvases[slot];
    const job = state.jobs[slot];
    const frame = job && job.frames[Math.min(index, job.frames.length - 1)];
    const key = frame ? `${job.id}:${index}` : 'blank';
    if (view.shown === key) {
      return;
    }
    view.shown = key;
    if (!frame) {
      view.pixels.fill(0xff000000);
    } else {
      const colours = state.colours;
      const pixels = view.pixels;
      for (let i = 0; i < PIXELS; ++i) {
        pixels[i] = colours[frame[i]];
      }
    }
    view.context.putImageData(view.image, 0, 0);
    view.canvas.dataset.frame = frame ? String(index) : '';
    if (frame && !job.shownFirst) {
      job.shownFirst = true;
      performance.mark('studio-first-frame');
    }
  }

  function resetPlayer() {
    player.index = 0;
    player.origin = performance.now();
  }

  // The index of the frame on screen `elapsed` ms after frame 0 began: the last frame whose start is at or
  // before it and whose end is after it, so a frame with a wait of 0 is never on screen while playing.
  function frameAt(starts, count, elapsed) {
    let low = 0;
    let high = count - 1;
    while (low < high) {
      const middle = (low + high) >> 1;
      if (starts[middle + 1] > elapsed) {
        high = middle;
      } else {
        low = middle + 1;
      }
    }
    return low;
  }

  // The player's clock is performance.now(), as the origin's: the frame callback's own time stamp may lag it.
  function tick() {
    const now = performance.now();
    const job = state.jobs.a;
    if (job && job.frames.length && player.playing) {
      const count = job.frames.length;
      const known = job.starts[count];
      let elapsed = now - player.origin;
      if (elapsed >= known) {
        if (job.state === 'done' && known > 0) {
          elapsed %= known;
          player.origin = now - elapsed;
        } else {
          // Still being made (or all waits 0): hold the last frame; what comes next starts from now.
          elapsed = known;
          player.origin = now - known;
        }
      }
      const index = elapsed >= known ? count - 1 : frameAt(job.starts, count, elapsed);
      if (index !== player.index) {
        player.index = index;
        renderPosition();
      }
    }
    drawShown();
    requestAnimationFrame(tick);
  }

  function frameCount() {
    return state.jobs.a ? state.jobs.a.frames.length : 0;
  }

  function seek(index) {
    const count = frameCount();
    if (!count) {
      return;
    }
    player.index = ((index % count) + count) % count;
    player.origin = performance.now() - state.jobs.a.starts[player.index];
    renderPosition();
    drawShown();
  }

  function drawShown() {
    drawFrame('a', player.index);
    if (!$('view-b').hidden) {
      drawFrame('b', player.index);
    }
  }

  function setPlaying(playing) {
    player.playing = playing;
    if (playing && frameCount()) {
      player.origin = performance.now() - state.jobs.a.starts[player.index];
    }
    renderPlayButton();
  }

  // ---- rendering ----

  function renderPlayButton() {
    const button = $('play');
    button.innerHTML = player.playing ? ICONS.pause : ICONS.play;
    button.title = t(player.playing ? 'pause' : 'play');
    button.setAttribute('aria-label', button.title);
    button.setAttribute('aria-pressed', String(player.playing));
  }

  function renderPosition() {
    const count = frameCount();
    const scrubber = $('scrubber');
    scrubber.max = String(Math.max(count - 1, 0));
    scrubber.value = String(Math.min(player.index, Math.max(count - 1, 0)));
    $('position').textContent = count ? `${player.index + 1} / ${count}` : '0 / 0';
  }

  function renderProgress() {
    const job = state.jobs.a;
    const progress = $('progress');
    const running = Object.values(state.jobs).some((j) => j && j.state === 'running');
    if (!job) {
      progress.max = 1;
      progress.value = 0;
      $('progress-text').textContent = '';
    } else if (job.framesExpected) {
      progress.max = job.framesExpected;
      progress.value = Math.min(job.framesDone, job.framesExpected);
      $('progress-text').textContent = `${job.framesDone} / ${job.framesExpected}`;
    } else if (job.state === 'running') {
      progress.removeAttribute('value');
      $('progress-text').textContent = String(job.framesDone);
    } else {
      progress.max = Math.max(job.framesDone, 1);
      progress.value = job.framesDone;
      $('progress-text').textContent = String(job.framesDone);
    }
    $('cancel').disabled = !running;
    progress.dataset.run = String(state.generation);
    progress.dataset.job = job ? job.id : '';
    progress.dataset.state = runState();
  }

  // For the tests as much as for the eye: where the latest run stands.
  function runState() {
    const jobs = Object.values(state.jobs).filter(Boolean);
    if (state.pending) {
      return 'pending';
    }
    if (jobs.some((job) => job.state === 'running')) {
      return 'running';
    }
    if (state.failed) {
      return 'failed';
    }
    if (jobs.some((job) => job.state === 'cancelled')) {
      return 'cancelled';
    }
    return jobs.length ? 'done' : 'idle';
  }

  function renderFacts() {
    const job = state.jobs.a;
    $('frames').textContent = String(job ? job.framesDone : 0);
    $('bytes').textContent = String(job ? job.bytes : 0);
    const ms = job ? job.durationMs : 0;
    $('duration-total').dataset.ms = String(ms);
    $('duration-total').textContent = t('seconds', (ms / 1000).toFixed(2));
  }

  function renderCaptions() {
    const split = $('split').checked;
    const label = (select) => select.selectedOptions[0] ? select.selectedOptions[0].textContent : '';
    $('caption-a').textContent = split ? label($('dither')) : '';
    $('caption-b').textContent = split ? label($('dither-b')) : '';
  }

  function renderButtons() {
    const done = state.jobs.a && state.jobs.a.state === 'done';
    $('save').disabled = !done;
    $('gif').disabled = !done;
    $('save-beside').disabled = !done;
  }

  function renderAll() {
    renderPosition();
    renderProgress();
    renderFacts();
    renderButtons();
    renderCaptions();
  }

  function applyZoom() {
    const zoom = Number($('zoom').value) || 1;
    for (const view of Object.values(canvases)) {
      view.canvas.style.width = `${WIDTH * zoom}px`;
      view.canvas.style.height = `${HEIGHT * zoom}px`;
    }
    const source = $('source-box').firstElementChild;
    if (source) {
      source.style.width = `${WIDTH * zoom}px`;
      source.style.height = `${HEIGHT * zoom}px`;
    }
  }

  // ---- saving ----

  function download(path) {
    const link = document.createElement('a');
    link.href = withToken(path);
    link.download = '';
    document.body.append(link);
    link.click();
    link.remove();
  }

  async function saveBeside() {
    const job = state.jobs.a;
    if (!job || job.state !== 'done') {
      return;
    }
    showError('');
    try {
      const reply = await api(`/api/jobs/${job.id}/save-beside`, { method: 'POST', json: { overwrite: false } });
      showNotice(t('savedAt', reply.path));
    } catch (error) {
      if (error.status === 409 && error.body && error.body.exists) {
        if (!confirm(t('overwriteAsk', error.body.path))) {
          showNotice(t('notSaved'));
          return;
        }
        try {
          const reply = await api(`/api/jobs/${job.id}/save-beside`, { method: 'POST', json: { overwrite: true } });
          showNotice(t('savedAt', reply.path));
        } catch (again) {
          showError(again.message);
        }
      } else {
        showError(error.message);
      }
    }
  }

  // ---- wiring ----

  function wire() {
    $('lang').addEventListener('change', () => applyLanguage($('lang').value));
    $('files').addEventListener('change', () => addFiles($('files').files));

    const drop = $('drop');
    const outside = (event) => event.dataTransfer && Array.from(event.dataTransfer.types).includes('Files');
    document.addEventListener('dragover', (event) => {
      if (outside(event)) {
        event.preventDefault();
        drop.classList.add('over');
      }
    });
    document.addEventListener('dragleave', (event) => {
      if (!event.relatedTarget) {
        drop.classList.remove('over');
      }
    });
    document.addEventListener('drop', (event) => {
      if (outside(event)) {
        event.preventDefault();
        drop.classList.remove('over');
        addFiles(event.dataTransfer.files);
      }
    });

    for (const id of ['dither', 'fit', 'background', 'dither-b']) {
      $(id).addEventListener('change', () => {
        renderCaptions();
        scheduleMake();
      });
    }
    for (const id of ['fps', 'start', 'duration', 'wait', 'max-pixels']) {
      $(id).addEventListener('input', () => scheduleMake());
      $(id).addEventListener('keydown', (event) => {
        if (event.key === 'Enter') {
          startMake();
        }
      });
    }
    $('split').addEventListener('change', () => {
      const split = $('split').checked;
      $('split-row').hidden = !split;
      $('view-b').hidden = !split;
      canvases.b.shown = null;
      renderCaptions();
      scheduleMake(0);
    });
    $('make').addEventListener('click', () => startMake());
    $('cancel').addEventListener('click', async () => {
      clearTimeout(state.makeTimer);
      state.pending = false;
      const running = Object.values(state.jobs).filter((job) => job && job.state === 'running');
      await Promise.all(running.map((job) =>
        api(`/api/jobs/${job.id}/cancel`, { method: 'POST', json: {} }).catch((error) => showError(error.message))));
    });

    $('play').addEventListener('click', () => setPlaying(!player.playing));
    $('step-back').addEventListener('click', () => {
      setPlaying(false);
      seek(player.index - 1);
    });
    $('step-forward').addEventListener('click', () => {
      setPlaying(false);
      seek(player.index + 1);
    });
    $('scrubber').addEventListener('input', () => seek(Number($('scrubber').value)));
    $('zoom').addEventListener('change', applyZoom);

    document.addEventListener('keydown', (event) => {
      if (['INPUT', 'SELECT', 'TEXTAREA', 'BUTTON'].includes(document.activeElement.tagName) &&
          document.activeElement.type !== 'range') {
        return;
      }
      if (event.key === ' ') {
        event.preventDefault();
        setPlaying(!player.playing);
      } else if (event.key === 'ArrowLeft' || event.key === 'ArrowRight') {
        event.preventDefault();
        setPlaying(false);
        seek(player.index + (event.key === 'ArrowLeft' ? -1 : 1));
      }
    });

    $('save').addEventListener('click', () => state.jobs.a && download(`/api/jobs/${state.jobs.a.id}/stream`));
    $('gif').addEventListener('click', () => state.jobs.a && download(`/api/jobs/${state.jobs.a.id}/gif`));
    $('save-beside').addEventListener('click', saveBeside);
    $('quit').addEventListener('click', async () => {
      await cancelJobs();
      try {
        await api('/api/quit', { method: 'POST', json: {} });
      } catch {
        // It may end before it answers.
      }
      state.ended = true;
      $('connection').textContent = t('ended');
      for (const control of document.querySelectorAll('button, input, select')) {
        if (control.id !== 'lang') {
          control.disabled = true;
        }
      }
    });
  }

  function ping() {
    if (state.ended) {
      return;
    }
    api('/api/ping').then(() => {
      $('connection').textContent = t('connected');
      $('connection').classList.remove('lost');
    }, () => {
      $('connection').textContent = t('connectionLost');
      $('connection').classList.add('lost');
    });
  }

  async function start() {
    $('step-back').innerHTML = ICONS.back;
    $('step-forward').innerHTML = ICONS.forward;
    const preferred = (navigator.language || 'en').toLowerCase().startsWith('ja') ? 'ja' : 'en';
    wire();
    applyLanguage(preferred);
    applyZoom();
    renderAll();
    requestAnimationFrame(tick);
    try {
      state.session = await api('/api/session');
    } catch (error) {
      showError(error.message);
      return;
    }
    state.waitUnitMs = state.session.waitUnitMs || 10;
    setPalette(state.session.palette || []);
    applyLanguage(state.lang);
    applyDefaults(state.session.defaults);
    renderCaptions();
    // Another tab's uploads are its own: this one starts with the command line's files.
    state.files = (state.session.files || []).filter((file) => file.fromCommandLine);
    if (state.files.length) {
      selectFile(state.files[0].id);
      startMake();
    }
    renderFiles();
    setInterval(ping, PING_MS);
  }

  start();
})();
