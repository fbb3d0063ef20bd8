// Starts scenario_language_server for line and train descriptions.
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

let client;

function activate(context) {
  const command = vscode.workspace.getConfiguration('scenarioDescriptions').get('server');
  client = new LanguageClient(
    'scenarioDescriptions',
    'Scenario descriptions',
    { command, args: ['--stdio'] },
    { documentSelector: [{ language: 'scenario-line' }, { language: 'scenario-train' }] });
  context.subscriptions.push(client);
  client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
