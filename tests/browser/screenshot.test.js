// The README's picture: the page with a made stream, its two dithers side by side beside the source.
// Written to ANIMSTUDIO_SCREENSHOT (docs/animstudio.png when made for the README).
'use strict';

const harness = require('./harness');

harness.skipUnlessReady();

const assert = require('node:assert/strict');
const fs = require('node:fs');
const { test } = require('node:test');

test('the page with a made stream, as a picture', async (t) => {
  const folder = harness.scratchFolder();
  const inputs = harness.makeInputs(folder);
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  const output = process.env.ANIMSTUDIO_SCREENSHOT || `${folder}/animstudio.png`;
  const studio = await harness.startStudio();
  const browser = await harness.launchBrowser();
  try {
    const page = await harness.openPage(browser, studio, { viewport: { width: 1600, height: 900 } });
    await page.getByTestId('split').check();
    await page.getByTestId('dither-b').selectOption('search');
    const shown = await harness.makeInPage(page, [inputs.gif, ...inputs.images].map((name) => `${folder}/${name}`),
      { fit: 'cover', wait: 25 });
    assert.equal(shown.state, 'done', shown.error);
    await page.getByTestId('play').click();
    await page.getByTestId('scrubber').fill('8');
    await page.locator('[data-testid=file-list] li').nth(1).click();
    await page.waitForFunction(() => {
      const source = document.querySelector('#source-box img');
      return source && source.complete && source.naturalWidth > 0;
    });
    await page.screenshot({ path: output });
    const picture = fs.readFileSync(output);
    assert.equal(picture.subarray(1, 4).toString('latin1'), 'PNG');
  } finally {
    await browser.close();
    await studio.stop();
  }
});
