// The page speaks the browser's language, Japanese for ja, and can be switched either way.
'use strict';

const harness = require('./harness');

harness.skipUnlessReady();

const assert = require('node:assert/strict');
const { after, before, test } = require('node:test');

let studio;
let browser;

before(async () => {
  studio = await harness.startStudio();
  browser = await harness.launchBrowser();
});

after(async () => {
  await browser?.close();
  await studio?.stop();
});

const words = (page) => page.evaluate(() => ({
  lang: document.documentElement.lang,
  chosen: document.querySelector('[data-testid=lang]').value,
  make: document.querySelector('[data-testid=make]').textContent,
  cancel: document.querySelector('[data-testid=cancel]').textContent,
  save: document.querySelector('[data-testid=save]').textContent,
}));

const japanese = { lang: 'ja', chosen: 'ja', make: '作成', cancel: '中止', save: 'ストリームを保存' };
const english = { lang: 'en', chosen: 'en', make: 'Make', cancel: 'Cancel', save: 'Save stream' };

for (const [locale, first, second] of [['ja-JP', japanese, english], ['en-US', english, japanese]]) {
  test(`a browser in ${locale} gets ${first.lang}, and the switch gives ${second.lang}`, async () => {
    const page = await harness.openPage(browser, studio, { locale });
    assert.deepEqual(await words(page), first);
    await page.getByTestId('lang').selectOption(second.lang);
    assert.deepEqual(await words(page), second);
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });
}
