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
