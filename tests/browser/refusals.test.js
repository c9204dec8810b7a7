// What the program refuses, and what the page does then: a bad file's reason as animmake gives it, requests
// without the page's token, Host or origin, an upload over the limit, a cancelled run, and two tabs at once.
'use strict';

const harness = require('./harness');

harness.skipUnlessReady();

const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const { after, before, test } = require('node:test');

const folder = harness.scratchFolder();
const inputs = harness.makeInputs(folder, { long: true });
const uploadLimitMiB = 8;
let studio;
let browser;

before(async () => {
  studio = await harness.startStudio(['--max-upload', String(uploadLimitMiB)]);
  browser = await harness.launchBrowser();
});

after(async () => {
  await browser?.close();
  await studio?.stop();
});

test('a bad file shows the reason animmake gives, and the page goes on working', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  fs.writeFileSync(`${folder}/broken.png`, 'not an image\n');
  const refused = harness.animmake(folder, ['-o', 'broken.bin', 'broken.png']);
  assert.notEqual(refused.status, 0);
  // The same line but for animmake's own name before it.
  const reason = refused.stderr.split('\n')[0].replace(/^animmake(\.exe)?: /, '');
  assert.match(reason, /^broken\.png: ./);

  const page = await harness.openPage(browser, studio);
  await page.getByTestId('files').setInputFiles(`${folder}/broken.png`);
  await page.waitForFunction(() => document.querySelector('[data-testid=error]').textContent !== '');
  assert.equal(await page.getByTestId('error').textContent(), reason);
  assert.ok(await page.getByTestId('save').isDisabled());

  const listed = page.getByTestId('file-list').locator('li');
  for (let count = await listed.count(); count > 0; --count) {
    await listed.first().getByTestId('remove').click();
  }
  const shown = await harness.makeInPage(page, [`${folder}/${inputs.images[0]}`]);
  assert.equal(shown.state, 'done', shown.error);
  assert.equal(shown.frames, 1);
  assert.equal(shown.error, '');
  assert.ok(await page.getByTestId('save').isEnabled());
  await page.context().close();
});

test('an upload the program refuses keeps its reason shown while the other files are made', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  // A name Windows keeps for a device is refused on every system.
  fs.copyFileSync(`${folder}/${inputs.images[0]}`, `${folder}/CON.png`);
  const page = await harness.openPage(browser, studio);
  const shown = await harness.makeInPage(page, [`${folder}/CON.png`, `${folder}/${inputs.images[1]}`]);
  assert.equal(shown.state, 'done', shown.error);
  assert.match(shown.error, /^CON\.png: ./);
  assert.deepEqual(await page.getByTestId('file-list').locator('.name').allTextContents(), [inputs.images[1]]);
  await page.context().close();
});

test('a setting animmake refuses shows its reason, and a good one makes again', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  const page = await harness.openPage(browser, studio);
  let shown = await harness.makeInPage(page, [`${folder}/${inputs.images[0]}`]);
  for (const [field, option, value] of [['wait', '--wait', '300'], ['fps', '--fps', '2000'],
    ['max-pixels', '--max-pixels', '0']]) {
    const refused = harness.animmake(folder, ['-o', 'refused.bin', option, value, inputs.images[0]]);
    assert.notEqual(refused.status, 0);
    await page.getByTestId(field).fill(value);
    shown = await harness.waitMade(page, shown.run);
    assert.equal(shown.state, 'failed');
    assert.equal(shown.error, refused.stderr.split('\n')[0].replace(/^animmake(\.exe)?: /, ''));
    assert.ok(await page.getByTestId('save').isDisabled());
    await page.getByTestId(field).fill('');
    shown = await harness.waitMade(page, shown.run);
    assert.equal(shown.state, 'done', shown.error);
    assert.equal(shown.error, '');
  }
  await page.context().close();
});

test('requests without the page\'s token, Host or origin are refused with a reason', async () => {
  const wrongHost = `evil.example:${studio.port}`;
  const cases = [
    { what: 'no token', method: 'GET', path: '/api/session', headers: { 'X-Studio-Token': null } },
    { what: 'a wrong token', method: 'GET', path: '/api/session', headers: { 'X-Studio-Token': 'f'.repeat(32) } },
    { what: 'the page itself without a token', method: 'GET', path: '/', headers: { 'X-Studio-Token': null } },
    { what: 'a rebound name', method: 'GET', path: '/api/session', headers: { Host: wrongHost } },
    { what: 'a rebound name with the token in the query', method: 'GET', path: `/?token=${studio.token}`,
      headers: { Host: wrongHost, 'X-Studio-Token': null } },
    { what: 'a POST from another origin', method: 'POST', path: '/api/make',
      headers: { Origin: 'http://evil.example' }, body: '{"files":[],"settings":{}}' },
    { what: 'a POST without an origin', method: 'POST', path: '/api/quit', headers: { Origin: null }, body: '{}' },
  ];
  for (const { what, method, path, headers, body } of cases) {
    const answer = await harness.request(studio, method, path, { headers, body });
    assert.equal(answer.status, 403, what);
    const text = answer.body.toString('utf8').trim();
    assert.ok(text.length > 0 && !text.includes('\n'), `${what}: ${JSON.stringify(text)}`);
  }
  const allowed = await harness.request(studio, 'GET', `/?token=${studio.token}`, { headers: { 'X-Studio-Token': null } });
  assert.equal(allowed.status, 200, 'the page\'s own request');

  const tooLarge = await harness.request(studio, 'POST', '/api/files', {
    headers: { 'X-File-Name': 'large.png', 'Content-Type': 'application/octet-stream' },
    body: Buffer.alloc((uploadLimitMiB + 1) * 1024 * 1024),
  });
  assert.equal(tooLarge.status, 413);
  assert.ok(JSON.parse(tooLarge.body).error);
  assert.equal((await harness.request(studio, 'GET', '/api/ping')).status, 200, 'it still answers');

  // A refusal that comes before the body is read leaves none of it to be taken for the next request.
  const agent = new http.Agent({ keepAlive: true, maxSockets: 1 });
  const refusedName = await harness.request(studio, 'POST', '/api/files', {
    headers: { 'X-File-Name': 'CON.png' }, body: Buffer.alloc(300000, 0x41), agent });
  assert.equal(refusedName.status, 400);
  const next = await harness.request(studio, 'POST', '/api/files', {
    headers: { 'X-File-Name': 'next.png' }, body: Buffer.alloc(300000, 0x41), agent });
  assert.equal(next.status, 200, next.body.toString());
  agent.destroy();
});

test('a cancelled run stops, keeps no stream, and the page can make again', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  const page = await harness.openPage(browser, studio);
  await page.getByTestId('dither').selectOption('search');
  await page.getByTestId('files').setInputFiles(`${folder}/${inputs.long}`);
  await page.waitForFunction(() => Number(document.querySelector('[data-testid=progress]').value) >= 1);
  const job = await page.getByTestId('progress').getAttribute('data-job');
  await page.getByTestId('cancel').click();
  const shown = await harness.waitMade(page);
  assert.equal(shown.state, 'cancelled');
  assert.ok(await page.getByTestId('save').isDisabled());
  const status = JSON.parse((await harness.request(studio, 'GET', `/api/jobs/${job}`)).body);
  assert.equal(status.state, 'cancelled');
  assert.ok(status.framesExpected === null || status.framesDone < status.framesExpected);
  assert.equal((await harness.request(studio, 'GET', `/api/jobs/${job}/stream`)).status, 409);

  await page.getByTestId('file-list').getByTestId('remove').click();
  const again = await harness.makeInPage(page, [`${folder}/${inputs.images[0]}`]);
  assert.equal(again.state, 'done', again.error);
  await page.context().close();
});

test('two tabs make their own streams at the same time', async (t) => {
  if (inputs.missing) {
    return t.skip(inputs.missing);
  }
  const tabs = [
    { files: [inputs.gif], settings: { dither: 'diffusion' } },
    { files: inputs.images, settings: { dither: 'ordered', fit: 'stretch', wait: 3 } },
  ];
  const pages = await Promise.all(tabs.map(() => harness.openPage(browser, studio)));
  const shown = await Promise.all(tabs.map(({ files, settings }, i) =>
    harness.makeInPage(pages[i], files.map((name) => `${folder}/${name}`), settings)));
  for (const [i, { files, settings }] of tabs.entries()) {
    assert.equal(shown[i].state, 'done', shown[i].error);
    const stream = await harness.download(pages[i], 'save', folder);
    assert.ok(stream.bytes.equals(harness.animmakeStream(folder, files, settings)), `tab ${i + 1}`);
  }
  await Promise.all(pages.map((page) => page.context().close()));
});
