#!/usr/bin/env node
// animstudio in the page, on a 1080p clip: how long after its upload ends the first frame is on the canvas,
// and how long the page waits for a whole run against animmake's own time on the same clip and settings,
// interleaved in one run. The page's marks (performance.mark) give the moments: studio-upload-done when the
// upload's response came, studio-first-frame when a run's first frame was drawn, studio-make-sent and
// studio-made around a run. The page polls a run every 120 ms once it has frames: a run's time includes up
// to that much.
//
//   bench/studio/first_frame.js [--seconds 10] [--repeats 5] [--dither ordered]
// Environment as the browser tests (tests/browser/harness.js): ANIMSTUDIO, ANIMMAKE, ANIMDUMP; defaults are
// build/animstudio, build/animmake and build/animdump.
'use strict';

const path = require('node:path');
const fs = require('node:fs');
const { spawnSync } = require('node:child_process');

const root = path.resolve(__dirname, '../..');
for (const program of ['animstudio', 'animmake', 'animdump']) {
  process.env[program.toUpperCase()] ||= path.join(root, 'build', program);
}
const harness = require(path.join(root, 'tests/browser/harness.js'));
harness.skipUnlessReady();

const option = (name, fallback) => {
  const at = process.argv.indexOf(`--${name}`);
  return at > 0 ? process.argv[at + 1] : fallback;
};
const seconds = Number(option('seconds', '10'));
const repeats = Number(option('repeats', '5'));
const dither = option('dither', 'ordered');

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};

async function main() {
  const folder = harness.scratchFolder();
  const clip = 'clip-1080p.mp4';
  console.log(`making a ${seconds} s 1920x1080 30 fps H.264 clip`);
  const made = spawnSync('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', '-f', 'lavfi', '-i',
    `testsrc2=size=1920x1080:rate=30,noise=alls=8:allf=t`, '-t', String(seconds), '-pix_fmt', 'yuv420p',
    '-c:v', 'libx264', '-preset', 'veryfast', clip], { cwd: folder, stdio: 'inherit' });
  if (made.status !== 0) {
    throw new Error('ffmpeg could not make the clip');
  }
  const clipBytes = fs.statSync(path.join(folder, clip)).size;

  const studio = await harness.startStudio();
  const browser = await harness.launchBrowser();
  try {
    const page = await harness.openPage(browser, studio);
    await page.getByTestId('dither').selectOption(dither);
    const firstFrames = [];
    const uploads = [];
    const studioRuns = [];
    const animmakeRuns = [];
    for (let i = 0; i < repeats; ++i) {
      // A fresh page each time: the upload, its first frame, then the whole run.
      await page.reload();
      await page.waitForFunction(() => document.querySelector('[data-testid=dither]').options.length > 0);
      await page.getByTestId('dither').selectOption(dither);
      await page.evaluate(() => performance.clearMarks());
      const uploadStart = await page.evaluate(() => performance.now());
      const shown = await harness.makeInPage(page, [path.join(folder, clip)]);
      if (shown.state !== 'done') {
        throw new Error(`the page's run ended ${shown.state}: ${shown.error}`);
      }
      const marks = await page.evaluate(() => Object.fromEntries(
        performance.getEntriesByType('mark').map((mark) => [mark.name, mark.startTime])));
      uploads.push(marks['studio-upload-done'] - uploadStart);
      firstFrames.push(marks['studio-first-frame'] - marks['studio-upload-done']);
      studioRuns.push(marks['studio-made'] - marks['studio-make-sent']);

      const started = process.hrtime.bigint();
      harness.animmakeStream(folder, [clip], { dither });
      animmakeRuns.push(Number(process.hrtime.bigint() - started) / 1e6);
      console.log(`run ${i + 1}: upload ${uploads[i].toFixed(0)} ms, first frame ${firstFrames[i].toFixed(0)} ms ` +
        `after it, the page's run ${studioRuns[i].toFixed(0)} ms, animmake ${animmakeRuns[i].toFixed(0)} ms ` +
        `(${shown.frames} frames)`);
    }
    const ratios = studioRuns.map((time, i) => time / animmakeRuns[i]);
    console.log(`\nclip: ${seconds} s of 1920x1080 at 30 fps, ${(clipBytes / 1048576).toFixed(1)} MiB; dither ${dither}; ` +
      `${repeats} runs`);
    console.log(`first frame after the upload's end: median ${median(firstFrames).toFixed(0)} ms, ` +
      `worst ${Math.max(...firstFrames).toFixed(0)} ms`);
    console.log(`upload: median ${median(uploads).toFixed(0)} ms`);
    console.log(`whole run in the page: median ${median(studioRuns).toFixed(0)} ms; animmake: median ` +
      `${median(animmakeRuns).toFixed(0)} ms; page / animmake: median of the pairwise ratios ` +
      `${median(ratios).toFixed(3)}`);
  } finally {
    await browser.close();
    await studio.stop();
  }
}

main().catch((error) => {
  console.error(error.stack || String(error));
  process.exit(1);
});
