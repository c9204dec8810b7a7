// Each kind of input made in the page: the saved stream is byte for byte animmake's with the same settings,
// the numbers the page shows are the saved stream's, and the preview shows its frames.
'use strict';

const harness = require('./harness');

harness.skipUnlessReady();

const assert = require('node:assert/strict');
const { after, before, test } = require('node:test');

const folder = harness.scratchFolder();
const inputs = harness.makeInputs(folder);
const inFolder = (names) => names.map((name) => `${folder}/${name}`);
let studio;
let browser;
let session;

before(async () => {
  studio = await harness.startStudio();
  browser = await harness.launchBrowser();
  session = JSON.parse((await harness.request(studio, 'GET', '/api/session')).body);
});

after(async () => {
  await browser?.close();
  await studio?.stop();
});

const cases = [
  { what: 'images', files: () => inputs.images, settings: { dither: 'search', fit: 'cover', wait: 5 },
    saved: 'picture-1.bin' },
  { what: 'an animated GIF', files: () => [inputs.gif], settings: { dither: 'steady', fit: 'contain', background: '#336699' },
    saved: 'うごく絵.bin' },
  { what: 'a video', files: () => [inputs.video], settings: { fps: 12.5, start: 0.4, duration: 1 },
    saved: 'clip.bin', video: true },
  { what: 'a stream and an image', files: () => [inputs.stream, inputs.images[1]], settings: { dither: 'none' },
    saved: 'made.bin' },
];

for (const { what, files, settings, saved, video } of cases) {
  test(`${what}: the saved stream is animmake's, and the page shows its numbers and frames`, async (t) => {
    if (inputs.missing) {
      return t.skip(inputs.missing);
    }
    if (video && !session.readsVideo) {
      return t.skip('this build reads no video');
    }
    const page = await harness.openPage(browser, studio);
    const shown = await harness.makeInPage(page, inFolder(files()), settings);
    assert.equal(shown.state, 'done', shown.error);

    const stream = await harness.download(page, 'save', folder);
    assert.equal(stream.name, saved);
    assert.ok(stream.bytes.equals(harness.animmakeStream(folder, files(), settings)),
      'the page\'s stream differs from animmake\'s');
    const waits = harness.streamWaits(stream.bytes);
    assert.equal(shown.frames, waits.length);
    assert.equal(shown.bytes, stream.bytes.length);
    const totalMs = waits.reduce((sum, wait) => sum + wait * session.waitUnitMs, 0);
    assert.equal(Number(await page.getByTestId('duration-total').getAttribute('data-ms')), totalMs);

    const preview = await harness.canvasPixels(page, 'preview');
    assert.ok(preview.colours > 8, `the preview shows ${preview.colours} colours`);
    const gif = await harness.download(page, 'gif', folder);
    assert.equal(gif.name, saved.replace(/\.bin$/, '.gif'));
    assert.ok(gif.bytes.equals(harness.animdumpGif(folder, stream.savedName)), 'the GIF differs from animdump\'s');
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });
}

test('the list\'s order is the stream\'s: the up and down buttons and a drag reorder it', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  const page = await harness.openPage(browser, studio);
  let shown = await harness.makeInPage(page, inFolder(inputs.images));
  const items = page.getByTestId('file-list').locator('li');
  const names = () => items.locator('.name').allTextContents();

  await items.nth(0).getByTestId('move-down').click();
  shown = await harness.waitMade(page, shown.run);
  assert.deepEqual(await names(), ['picture-2.png', 'picture-1.png', 'picture-3.png']);
  await items.nth(2).dragTo(items.nth(0), { targetPosition: { x: 10, y: 2 } });
  shown = await harness.waitMade(page, shown.run);
  const order = ['picture-3.png', 'picture-2.png', 'picture-1.png'];
  assert.deepEqual(await names(), order);
  assert.equal(shown.state, 'done', shown.error);
  const stream = await harness.download(page, 'save', folder);
  assert.equal(stream.name, 'picture-3.bin');
  assert.ok(stream.bytes.equals(harness.animmakeStream(folder, order)));
  await page.context().close();
});
