// What the browser tests share: the skip checks, animstudio started and stopped, Debian's chromium through
// playwright-core, the test inputs (made with the ffmpeg tool) and animmake run on the same inputs.
//
// Environment: ANIMSTUDIO, ANIMMAKE and ANIMDUMP are commands, split at spaces ("build/animstudio", or
// "tools/win32/wine-run.sh build-win32/animstudio.exe"); ANIMMAKE_ENCODING the encoding of animmake's
// messages (shift_jis for animmake.exe under code page 932); CHROMIUM the browser (default /usr/bin/chromium).
// The programs speak the language of the environment they are given, so both get the same one.
'use strict';

const assert = require('node:assert/strict');
const { spawn, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');

const SKIP_STATUS = 77;
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';

function command(name) {
  const value = (process.env[name] || '').trim();
  return value ? value.split(/\s+/) : null;
}

function programMissing(name) {
  const words = command(name);
  if (!words) {
    return `${name} is not set (animstudio is not built)`;
  }
  const program = words.find((word) => word.endsWith('.exe')) || words[0];
  return fs.existsSync(program) ? null : `${program} does not exist`;
}

// Ends the process as skipped, naming the reason, when the browser, the driver or the program is missing.
function skipUnlessReady() {
  let reason = null;
  try {
    require.resolve('playwright-core');
  } catch {
    reason = 'playwright-core is not installed (PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci in tests/browser)';
  }
  if (!reason && !fs.existsSync(chromiumPath)) {
    reason = `${chromiumPath} is missing (Debian package chromium)`;
  }
  reason = reason || programMissing('ANIMSTUDIO') || programMissing('ANIMMAKE') || programMissing('ANIMDUMP');
  if (reason) {
    console.log(`SKIPPED: ${reason}`);
    process.exit(SKIP_STATUS);
  }
}

function scratchFolder() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'animstudio-browser-'));
  process.on('exit', () => fs.rmSync(folder, { recursive: true, force: true }));
  return folder;
}

// ---- the program ----

function firstLine(stream, timeoutMs) {
  return new Promise((resolve, reject) => {
    let text = '';
    const timer = setTimeout(() => reject(new Error(`no address within ${timeoutMs} ms`)), timeoutMs);
    const onData = (chunk) => {
      text += chunk;
      const end = text.indexOf('\n');
      if (end >= 0) {
        clearTimeout(timer);
        stream.off('data', onData);
        stream.resume();
        resolve(text.slice(0, end).trim());
      }
    };
    stream.setEncoding('utf8');
    stream.on('data', onData);
    stream.on('end', () => reject(new Error(`ended before printing its address: ${text}`)));
  });
}

// Starts animstudio without a browser of its own; resolves once it has printed its address.
async function startStudio(args = [], options = {}) {
  const [program, ...before] = command('ANIMSTUDIO');
  const child = spawn(program, [...before, '--no-browser', '--idle-exit', '120', ...args], {
    cwd: options.cwd,
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let messages = '';
  child.stderr.setEncoding('utf8');
  child.stderr.on('data', (chunk) => { messages += chunk; });
  const exited = new Promise((resolve) => child.on('exit', (status, signal) => resolve({ status, signal })));
  let address;
  try {
    address = await firstLine(child.stdout, 60000);
  } catch (error) {
    child.kill();
    throw new Error(`animstudio: ${error.message} ${messages}`);
  }
  const url = new URL(address);
  assert.match(address, /^http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]{32}$/);
  return {
    address,
    origin: url.origin,
    port: Number(url.port),
    token: url.searchParams.get('token'),
    exited,
    messages: () => messages,
    async stop() {
      if (child.exitCode === null && child.signalCode === null) {
        await request(this, 'POST', '/api/quit', { body: '{}' }).catch(() => {});
        const timer = setTimeout(() => child.kill(), 15000);
        await exited;
        clearTimeout(timer);
      }
    },
  };
}

// A request from Node, outside the browser: headers as the page sends them unless `headers` says otherwise
// (a header given as null is left out); `agent` to keep its connection for the next.
function request(studio, method, pathAndQuery, { headers = {}, body, agent } = {}) {
  const wanted = {
    Host: `127.0.0.1:${studio.port}`,
    'X-Studio-Token': studio.token,
    ...(method === 'POST' ? { Origin: studio.origin } : {}),
    ...headers,
  };
  for (const name of Object.keys(wanted)) {
    if (wanted[name] === null) {
      delete wanted[name];
    }
  }
  return new Promise((resolve, reject) => {
    const call = http.request({ host: '127.0.0.1', port: studio.port, method, path: pathAndQuery, headers: wanted,
      agent, timeout: 20000 }, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers,
        body: Buffer.concat(chunks) }));
    });
    call.on('timeout', () => call.destroy(new Error(`${method} ${pathAndQuery}: no answer`)));
    call.on('error', reject);
    call.end(body);
  });
}

// ---- the browser ----

async function launchBrowser() {
  const { chromium } = require('playwright-core');
  // The browser reads the chosen files' names in a UTF-8 locale whatever the programs are given.
  return chromium.launch({ executablePath: chromiumPath, args: ['--no-sandbox'], headless: true,
    env: { ...process.env, LC_ALL: 'C.UTF-8' } });
}

async function openPage(browser, studio, { locale = 'en-US', viewport = { width: 1280, height: 860 } } = {}) {
  const context = await browser.newContext({ locale, acceptDownloads: true, viewport });
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  page.on('console', (message) => message.type() === 'error' && problems.push(message.text()));
  // Only the program's own address: the page must fetch nothing else.
  await context.route((url) => url.origin !== studio.origin, (route) => {
    problems.push(`fetched ${route.request().url()}`);
    return route.abort();
  });
  await page.goto(studio.address);
  await page.waitForFunction(() => document.querySelector('[data-testid=dither]').options.length > 0);
  page.problems = problems;
  return page;
}

const settingFields = { dither: 'dither', fit: 'fit', background: 'background', fps: 'fps', start: 'start',
  duration: 'duration', wait: 'wait', maxPixels: 'max-pixels' };

// Fills the settings before the files go in, so that the one run they start has them all.
async function makeInPage(page, files, settings = {}) {
  for (const [name, value] of Object.entries(settings)) {
    const field = page.getByTestId(settingFields[name]);
    if (await field.evaluate((element) => element.tagName === 'SELECT')) {
      await field.selectOption(value);
    } else {
      await field.fill(String(value));
    }
  }
  const before = await page.getByTestId('progress').getAttribute('data-run');
  await page.getByTestId('files').setInputFiles(files);
  return waitMade(page, before);
}

// Waits for a run after the one numbered `previousRun` to end; resolves to its state and the numbers shown.
async function waitMade(page, previousRun = null, timeout = 60000) {
  await page.waitForFunction((previous) => {
    const progress = document.querySelector('[data-testid=progress]');
    return progress.dataset.run !== previous && ['done', 'failed', 'cancelled'].includes(progress.dataset.state);
  }, previousRun, { timeout });
  return page.evaluate(() => {
    const text = (id) => document.querySelector(`[data-testid=${id}]`).textContent;
    const progress = document.querySelector('[data-testid=progress]');
    return { state: progress.dataset.state, run: progress.dataset.run, frames: Number(text('frames')),
      bytes: Number(text('bytes')), error: text('error') };
  });
}

async function download(page, testId, folder) {
  const [file] = await Promise.all([page.waitForEvent('download'), page.getByTestId(testId).click()]);
  const savedName = `${testId}-${Date.now()}-${file.suggestedFilename()}`;
  await file.saveAs(path.join(folder, savedName));
  return { name: file.suggestedFilename(), savedName, bytes: fs.readFileSync(path.join(folder, savedName)) };
}

// The canvas' pixels: how many colours, and a digest to tell two frames apart.
function canvasPixels(page, testId) {
  return page.getByTestId(testId).evaluate((canvas) => {
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const colours = new Set();
    let digest = 0;
    for (let i = 0; i < data.length; i += 4) {
      const colour = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
      colours.add(colour);
      digest = (Math.imul(digest, 31) + colour) | 0;
    }
    return { colours: colours.size, digest, frame: canvas.dataset.frame };
  });
}

// ---- the inputs and animmake ----

function hasTool(name) {
  return spawnSync(name, ['-version'], { stdio: 'ignore' }).status === 0;
}

function ffmpeg(folder, args) {
  const result = spawnSync('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', ...args], { cwd: folder });
  assert.equal(result.status, 0, `ffmpeg ${args.join(' ')}: ${result.stderr}`);
}

// Test pictures from ffmpeg's test sources (the GIF with a Japanese name) ({missing: reason} when the ffmpeg tool is missing); with `long`,
// also a GIF of 750 frames that takes seconds to make, for a run to be cancelled.
function makeInputs(folder, { long = false } = {}) {
  if (!hasTool('ffmpeg')) {
    return { missing: 'the ffmpeg tool is missing (Debian package ffmpeg)' };
  }
  ffmpeg(folder, ['-f', 'lavfi', '-i', 'testsrc2=size=320x240:rate=1', '-frames:v', '3', 'picture-%d.png']);
  ffmpeg(folder, ['-f', 'lavfi', '-i', 'testsrc=size=160x120:rate=10', '-frames:v', '8', 'うごく絵.gif']);
  ffmpeg(folder, ['-f', 'lavfi', '-i', 'testsrc2=size=320x180:rate=25', '-t', '2', '-pix_fmt', 'yuv420p',
    '-c:v', 'libx264', 'clip.mp4']);
  const inputs = {
    folder,
    images: ['picture-1.png', 'picture-2.png', 'picture-3.png'],
    gif: 'うごく絵.gif',
    video: 'clip.mp4',
    stream: 'made.bin',
  };
  if (long) {
    ffmpeg(folder, ['-f', 'lavfi', '-i', 'testsrc2=size=320x240:rate=25', '-t', '30', 'long.gif']);
    inputs.long = 'long.gif';
  }
  const made = animmake(folder, ['-o', inputs.stream, ...inputs.images, '--wait', '7']);
  assert.equal(made.status, 0, made.stderr);
  return inputs;
}

const toolOptions = { dither: '--dither', fit: '--fit', background: '--background', fps: '--fps', start: '--start',
  duration: '--duration', wait: '--wait', maxPixels: '--max-pixels' };

// animmake with relative names inside `folder`, as the page's uploads are named; its messages as text.
function animmake(folder, args) {
  const [program, ...before] = command('ANIMMAKE');
  const result = spawnSync(program, [...before, '-q', '-f', ...args], { cwd: folder, stdio: ['ignore', 'pipe', 'pipe'] });
  const decoder = new TextDecoder(process.env.ANIMMAKE_ENCODING || 'utf-8');
  return { status: result.status, stderr: decoder.decode(result.stderr).replace(/\r/g, '') };
}

function animmakeStream(folder, files, settings = {}) {
  const options = Object.entries(settings).flatMap(([name, value]) => [toolOptions[name], String(value)]);
  const output = `expected-${Date.now()}-${Math.random().toString(16).slice(2)}.bin`;
  const result = animmake(folder, ['-o', output, ...options, ...files]);
  assert.equal(result.status, 0, result.stderr);
  return fs.readFileSync(path.join(folder, output));
}

// animdump's GIF of a stream file in `folder`.
function animdumpGif(folder, streamName) {
  const [program, ...before] = command('ANIMDUMP');
  const gif = `${streamName}.expected.gif`;
  const result = spawnSync(program, [...before, '--gif', gif, streamName], { cwd: folder, stdio: ['ignore', 'ignore', 'pipe'] });
  assert.equal(result.status, 0, String(result.stderr));
  return fs.readFileSync(path.join(folder, gif));
}

// The wait bytes of a stream's frames, walking its run records (a value, then a one- or two-byte length;
// 0xFF and the wait end a frame).
function streamWaits(bytes) {
  const waits = [];
  let at = 0;
  while (at < bytes.length) {
    if (bytes[at] === 0xff) {
      waits.push(bytes[at + 1]);
      at += 2;
    } else {
      at += bytes[at + 1] & 0x80 ? 2 : 3;
    }
  }
  return waits;
}

module.exports = {
  animdumpGif, animmake, animmakeStream, streamWaits, canvasPixels, download, launchBrowser, makeInPage, makeInputs, openPage, request,
  scratchFolder, skipUnlessReady, startStudio, waitMade,
};
