// CI's check of this folder: every JSON file parses, the grammar's patterns
// compile, and every row of the two descriptions given on the command line
// is taken by one of its rules (a heading, a comment or a record's key).
// Usage: node check.js LINE_DESCRIPTION TRAIN_DESCRIPTION
'use strict';
const fs = require('fs');
const path = require('path');

const here = __dirname;
const read = (file) => JSON.parse(fs.readFileSync(path.join(here, file), 'utf8'));
const manifest = read('package.json');
read('language-configuration.json');
const grammars = manifest.contributes.grammars.map((g) => read(g.path));

const patterns = [];
function collect(rule) {
  for (const key of ['match', 'begin', 'end']) {
    if (rule[key] !== undefined) patterns.push(new RegExp(rule[key]));
  }
  for (const inner of rule.patterns || []) collect(inner);
}
for (const grammar of grammars) {
  if (grammar.scopeName !== manifest.contributes.grammars[0].scopeName) {
    throw new Error('the grammar names another scope than package.json');
  }
  grammar.patterns.forEach(collect);
  Object.values(grammar.repository).forEach(collect);
}

const grammar = grammars[0];
const starts = ['heading', 'comment', 'text-row', 'row'].map((name) => {
  const rule = grammar.repository[name];
  return new RegExp(rule.match || rule.begin);
});
let rows = 0;
for (const file of process.argv.slice(2)) {
  const text = fs.readFileSync(file, 'latin1');
  for (const line of text.split(/\r?\n/)) {
    if (line.trim() === '') continue;
    if (!starts.some((start) => start.test(line))) throw new Error(`${file}: no rule takes "${line}"`);
    rows++;
  }
}
console.log(`editors/vscode: ${patterns.length} patterns compile, ${rows} rows of the descriptions highlighted`);
