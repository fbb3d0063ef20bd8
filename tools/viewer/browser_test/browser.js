// The browser the page tests drive: puppeteer-core and Chromium, or a skip
// (status 77, which ctest counts as skipped) that says what is missing.
const fs = require('fs');

const SKIP = 77;
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

function skip(why) {
  console.log(`SKIPPED: ${why}`);
  process.exit(SKIP);
}

let puppeteer;
try {
  puppeteer = require('puppeteer-core');
} catch (error) {
  skip('puppeteer-core is not installed (npm install in tools/viewer/browser_test)');
}
if (!fs.existsSync(CHROMIUM)) skip(`no browser at ${CHROMIUM} (apt-get install chromium)`);

module.exports = { CHROMIUM, puppeteer };
