-- Neovim's own LSP client (0.7.2, as Debian ships it) on one description:
-- opens FILE as Windows-1252, starts SERVER, waits for its diagnostics and
-- writes them to OUT as "LINE:COLUMN: error|warning|note: MESSAGE", the
-- column counted in characters, as the builder counts Windows-1252 bytes.
-- Then hovers at HOVER_LINE:HOVER_COLUMN (1-based) and writes the text to
-- OUT.hover. Ends Neovim with status 1 when no diagnostics came.
local server = os.getenv('SERVER')
local file = os.getenv('FILE')
local out = os.getenv('OUT')

vim.o.fileencodings = 'cp1252'
vim.cmd('edit ++enc=cp1252 ' .. vim.fn.fnameescape(file))
assert(vim.bo.fileencoding == 'cp1252', 'the description is read as Windows-1252')

local client = vim.lsp.start_client({
  name = 'scenario_language_server',
  cmd = { server },
  root_dir = vim.fn.fnamemodify(file, ':p:h'),
})
vim.lsp.buf_attach_client(0, client)

local arrived = vim.wait(15000, function() return #vim.diagnostic.get(0) > 0 end, 50)
if not arrived then
  io.stderr:write('no diagnostics from the server\n')
  vim.cmd('cquit 1')
end

local severities = { [1] = 'error', [2] = 'warning', [3] = 'note', [4] = 'hint' }
local lines = {}
for _, d in ipairs(vim.diagnostic.get(0)) do
  local text = vim.api.nvim_buf_get_lines(0, d.lnum, d.lnum + 1, false)[1] or ''
  local column = vim.str_utfindex(text, d.col) + 1
  table.insert(lines, string.format('%d:%d: %s: %s', d.lnum + 1, column, severities[d.severity], d.message))
end
table.sort(lines)
vim.fn.writefile(lines, out)

local hover_line = tonumber(os.getenv('HOVER_LINE') or '1') - 1
local hover_column = tonumber(os.getenv('HOVER_COLUMN') or '1') - 1
local params = {
  textDocument = { uri = vim.uri_from_bufnr(0) },
  position = { line = hover_line, character = hover_column },
}
local answers = vim.lsp.buf_request_sync(0, 'textDocument/hover', params, 5000) or {}
local hover = {}
for _, answer in pairs(answers) do
  if answer.result and answer.result.contents then
    for _, l in ipairs(vim.split(answer.result.contents.value, '\n')) do table.insert(hover, l) end
  end
end
vim.fn.writefile(hover, out .. '.hover')
vim.lsp.stop_client(client)
vim.cmd('qall!')
