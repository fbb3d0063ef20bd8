// Takes the picture of a page of scenario_inspect --html (or of the page a
// watch serves, given by its address) that the README shows, with what a
// search finds (a station, a row such as "slowdown 27000", a position)
// chosen, or the whole line when the search is "":
//   node screenshot.js PAGE.html|http://127.0.0.1:PORT/ OUT.png [SEARCH]
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

async function main() {
  const [pagePath, out, station = 'PRATO'] = process.argv.slice(2);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'page-shot-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--user-data-dir=${profile}`],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1400, height: 900 });
    const served = /^http:/.test(pagePath);
    await page.goto(served ? pagePath : 'file://' + path.resolve(pagePath), { waitUntil: 'load' });
    if (station) {
      await page.type('#search', station);
      await page.keyboard.press('Enter');
    }
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.screenshot({ path: out });
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
