// Files given on the command line: the page opens with them, makes them at once, and saves beside the first,
// asking before it replaces a file there.
'use strict';

const harness = require('./harness');

harness.skipUnlessReady();

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { after, before, test } = require('node:test');

const folder = harness.scratchFolder();
const inputs = harness.makeInputs(folder);
let studio;
let browser;

before(async () => {
  if (!inputs.missing) {
    studio = await harness.startStudio(inputs.images.slice(0, 2), { cwd: folder });
    browser = await harness.launchBrowser();
  }
});

after(async () => {
  await browser?.close();
  await studio?.stop();
});

test('the command line\'s files are made at once and saved beside the first, replaced only when confirmed',
  async (t) => {
    if (inputs.missing) {
      return t.skip(inputs.missing);
    }
    const page = await harness.openPage(browser, studio);
    const shown = await harness.waitMade(page);
    assert.equal(shown.state, 'done', shown.error);
    const names = page.getByTestId('file-list').locator('.name');
    assert.deepEqual(await names.allTextContents(), inputs.images.slice(0, 2).map((image) => path.basename(image)));
    assert.equal(await names.first().getAttribute('title'), inputs.images[0]);
    const beside = `${folder}/picture-1.bin`;
    const expected = harness.animmakeStream(folder, inputs.images.slice(0, 2));

    const notice = page.locator('#notice');
    await page.getByTestId('save-beside').click();
    await page.waitForFunction(() => document.querySelector('#notice').textContent.includes('picture-1.bin'));
    assert.ok(fs.readFileSync(beside).equals(expected));

    fs.writeFileSync(beside, 'kept');
    const asked = [];
    page.once('dialog', (dialog) => {
      asked.push(dialog.message());
      return dialog.dismiss();
    });
    await page.getByTestId('save-beside').click();
    await page.waitForFunction(() => document.querySelector('#notice').textContent === 'Not saved.');
    assert.equal(asked.length, 1);
    assert.match(asked[0], /picture-1\.bin/);
    assert.equal(fs.readFileSync(beside, 'latin1'), 'kept');

    page.once('dialog', (dialog) => dialog.accept());
    await notice.evaluate((element) => { element.textContent = ''; });
    await page.getByTestId('save-beside').click();
    await page.waitForFunction(() => document.querySelector('#notice').textContent.includes('picture-1.bin'));
    assert.ok(fs.readFileSync(beside).equals(expected));
    await page.context().close();
  });
