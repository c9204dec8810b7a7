// The preview's controls on one made stream: stepping, the scrubber, play and pause, the zoom and the split
// view's second dither.
'use strict';

const harness = require('./harness');

harness.skipUnlessReady();

const assert = require('node:assert/strict');
const { after, before, test } = require('node:test');

const folder = harness.scratchFolder();
const inputs = harness.makeInputs(folder);
let studio;
let browser;
let page;

before(async () => {
  studio = await harness.startStudio();
  browser = await harness.launchBrowser();
  page = await harness.openPage(browser, studio);
  if (!inputs.missing) {
    const shown = await harness.makeInPage(page, [`${folder}/${inputs.gif}`], { wait: 4 });
    assert.equal(shown.state, 'done', shown.error);
    assert.equal(shown.frames, 8);
  }
});

after(async () => {
  await browser?.close();
  await studio?.stop();
});

const shownFrame = async () => harness.canvasPixels(page, 'preview');

test('stepping and the scrubber show the frame they name', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  assert.equal(await page.getByTestId('play').getAttribute('aria-pressed'), 'true', 'it plays once made');
  await page.getByTestId('play').click();
  await page.getByTestId('scrubber').fill('2');
  const third = await shownFrame();
  assert.equal(third.frame, '2');
  await page.getByTestId('step-forward').click();
  const fourth = await shownFrame();
  assert.equal(fourth.frame, '3');
  assert.notEqual(fourth.digest, third.digest);
  assert.equal(await page.getByTestId('scrubber').inputValue(), '3');
  await page.getByTestId('step-back').click();
  await page.getByTestId('step-back').click();
  assert.equal((await shownFrame()).frame, '1');
  await page.getByTestId('step-back').click();
  await page.getByTestId('step-back').click();
  assert.equal((await shownFrame()).frame, '7', 'a step back from the first frame goes to the last');
  await page.getByTestId('scrubber').fill('2');
  assert.equal((await shownFrame()).digest, third.digest);
});

test('play moves through the frames at their waits; pause holds one', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  // Paused: the frame stays for longer than several waits.
  const held = (await shownFrame()).frame;
  await page.waitForTimeout(200);
  assert.equal((await shownFrame()).frame, held);
  await page.getByTestId('play').click();
  const seen = new Set();
  for (let tries = 0; tries < 100 && seen.size < 8; ++tries) {
    seen.add((await shownFrame()).frame);
    await page.waitForTimeout(10);
  }
  assert.equal(seen.size, 8, `frames seen while playing: ${[...seen]}`);
  await page.getByTestId('play').click();
  const paused = (await shownFrame()).frame;
  await page.waitForTimeout(200);
  assert.equal((await shownFrame()).frame, paused);
});

test('the zoom enlarges the preview without smoothing', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  for (const zoom of ['1', '3', '4']) {
    await page.getByTestId('zoom').selectOption(zoom);
    const box = await page.getByTestId('preview').boundingBox();
    assert.deepEqual([box.width, box.height], [190 * Number(zoom), 170 * Number(zoom)]);
  }
  const rendering = await page.getByTestId('preview').evaluate((canvas) => getComputedStyle(canvas).imageRendering);
  assert.equal(rendering, 'pixelated');
});

test('the split view makes and shows a second dither beside the first', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  const run = () => page.getByTestId('progress').getAttribute('data-run');
  let before = await run();
  await page.getByTestId('split').check();
  assert.equal((await harness.waitMade(page, before)).state, 'done');
  before = await run();
  await page.getByTestId('dither-b').selectOption('none');
  const shown = await harness.waitMade(page, before);
  assert.equal(shown.state, 'done', shown.error);
  await page.getByTestId('scrubber').fill('5');
  const left = await harness.canvasPixels(page, 'preview');
  const right = await harness.canvasPixels(page, 'preview-b');
  assert.equal(right.frame, '5');
  assert.ok(left.colours > 8 && right.colours > 8);
  assert.notEqual(left.digest, right.digest, 'both sides show the same pixels');
  assert.ok(await page.getByTestId('preview-b').isVisible());
});

test('each frame is on screen for its wait in units, one of 0 never, on the page\'s own clock', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  // Three streams of one frame each keep their waits when joined: 5, 0 and 20 units.
  const waits = [5, 0, 20];
  const streams = waits.map((wait, i) => {
    const name = `wait-${wait}.bin`;
    const made = harness.animmake(folder, ['-o', name, '--wait', String(wait), inputs.images[i]]);
    assert.equal(made.status, 0, made.stderr);
    return `${folder}/${name}`;
  });
  const timed = await harness.openPage(browser, studio);
  const shown = await harness.makeInPage(timed, streams);
  assert.equal(shown.state, 'done', shown.error);
  const unitMs = JSON.parse((await harness.request(studio, 'GET', '/api/session')).body).waitUnitMs;

  // The page's time stands still but for the steps below.
  await timed.clock.install();
  await timed.clock.pauseAt(Date.now() + 10000);
  await timed.getByTestId('play').click();
  await timed.getByTestId('scrubber').fill('0');
  await timed.getByTestId('play').click();
  const seen = [];
  const stepMs = 5;
  for (let at = 0; at <= 50 * unitMs + 40; at += stepMs) {
    seen.push({ at, frame: Number(await timed.getByTestId('preview').getAttribute('data-frame')) });
    await timed.clock.runFor(stepMs);
  }
  assert.ok(!seen.some(({ frame }) => frame === 1), 'the frame with a wait of 0 was shown');
  // Where the frame on screen changed, and to which one: at 50 ms to the third, at 250 ms back to the first,
  // each within one animation frame of the page's clock.
  const changes = seen.filter((sample, i) => i > 0 && sample.frame !== seen[i - 1].frame);
  const expected = [[5 * unitMs, 2], [25 * unitMs, 0], [30 * unitMs, 2], [50 * unitMs, 0]];
  assert.equal(changes.length, expected.length, JSON.stringify(changes));
  for (const [i, [at, frame]] of expected.entries()) {
    assert.equal(changes[i].frame, frame);
    assert.ok(changes[i].at >= at && changes[i].at <= at + 20, `frame ${frame} came at ${changes[i].at} ms, not ${at}`);
  }
  await timed.context().close();
});
