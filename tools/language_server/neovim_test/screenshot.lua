-- For the README's screenshot: a train description in Neovim with the
-- server's diagnostics shown, the cursor on PRATO's position and its hover
-- open. Reads SERVER and FILE from the environment.
vim.o.fileencodings = 'cp1252'
vim.cmd('edit ++enc=cp1252 ' .. vim.fn.fnameescape(os.getenv('FILE')))
vim.o.number = true
vim.o.signcolumn = 'yes'
local client = vim.lsp.start_client({ name = 'scenario', cmd = { os.getenv('SERVER') } })
vim.lsp.buf_attach_client(0, client)
vim.wait(10000, function() return #vim.diagnostic.get(0) > 0 end, 50)
vim.api.nvim_win_set_cursor(0, { 47, 14 })
vim.cmd('normal! zt')
vim.api.nvim_win_set_cursor(0, { 49, 14 })
vim.cmd('normal! 8k')
vim.api.nvim_win_set_cursor(0, { 47, 14 })
vim.lsp.buf.hover()
