#!/usr/bin/env python3
"""Draws a terminal capture with colours (tmux capture-pane -e -p) as an SVG
picture: one monospaced cell per character, the xterm 256-colour palette."""
import html
import re
import sys

BASE = ['#000000', '#cd0000', '#00cd00', '#cdcd00', '#0000ee', '#cd00cd', '#00cdcd', '#e5e5e5',
        '#7f7f7f', '#ff0000', '#00ff00', '#ffff00', '#5c5cff', '#ff00ff', '#00ffff', '#ffffff']


def palette(n):
    if n < 16:
        return BASE[n]
    if n < 232:
        n -= 16
        steps = [0, 95, 135, 175, 215, 255]
        return '#%02x%02x%02x' % (steps[n // 36], steps[n // 6 % 6], steps[n % 6])
    level = 8 + (n - 232) * 10
    return '#%02x%02x%02x' % (level, level, level)


def cells(line):
    fg, bg, bold, reverse = 7, 0, False, False
    out = []
    for part in re.split(r'(\x1b\[[0-9;]*m)', line):
        if part.startswith('\x1b['):
            codes = [int(c) if c else 0 for c in part[2:-1].split(';')]
            i = 0
            while i < len(codes):
                c = codes[i]
                if c == 0:
                    fg, bg, bold, reverse = 7, 0, False, False
                elif c == 1:
                    bold = True
                elif c == 7:
                    reverse = True
                elif c == 22:
                    bold = False
                elif c == 27:
                    reverse = False
                elif 30 <= c <= 37:
                    fg = c - 30
                elif 90 <= c <= 97:
                    fg = c - 90 + 8
                elif 40 <= c <= 47:
                    bg = c - 40
                elif 100 <= c <= 107:
                    bg = c - 100 + 8
                elif c == 39:
                    fg = 7
                elif c == 49:
                    bg = 0
                elif c in (38, 48) and i + 2 < len(codes) and codes[i + 1] == 5:
                    if c == 38:
                        fg = codes[i + 2]
                    else:
                        bg = codes[i + 2]
                    i += 2
                i += 1
            continue
        for ch in part:
            f, b = (bg, fg) if reverse else (fg, bg)
            out.append((ch, palette(f), palette(b), bold))
    return out


def main():
    lines = open(sys.argv[1], encoding='utf-8', errors='replace').read().rstrip('\n').split('\n')
    cw, ch = 8.4, 17
    width = max(len(cells(l)) for l in lines)
    svg = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d">' % (width * cw + 16, len(lines) * ch + 16),
           '<rect width="100%" height="100%" fill="#000000"/>']
    for y, line in enumerate(lines):
        for x, (c, fg, bg, bold) in enumerate(cells(line)):
            px, py = 8 + x * cw, 8 + y * ch
            if bg != '#000000':
                svg.append('<rect x="%.1f" y="%d" width="%.1f" height="%d" fill="%s"/>' % (px, py, cw + 0.5, ch, bg))
            if c != ' ':
                svg.append('<text x="%.1f" y="%d" font-family="DejaVu Sans Mono" font-size="14" fill="%s"%s>%s</text>'
                           % (px, py + 13, fg, ' font-weight="bold"' if bold else '', html.escape(c)))
    svg.append('</svg>')
    open(sys.argv[2], 'w', encoding='utf-8').write('\n'.join(svg))


main()
