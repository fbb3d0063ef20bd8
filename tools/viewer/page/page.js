// The page of scenario_inspect --html: draws the plan and the profile of one
// scenario from the data object in the page, keeps both on one window of
// positions along the line, and shows what the compiled files hold at the
// cell or object pointed at.
'use strict';

(function () {
  const data = JSON.parse(document.getElementById('scenario-data').textContent);
  const CELL_M = 50;
  const MIN_WINDOW_M = 250;
  const SVG_NS = 'http://www.w3.org/2000/svg';
  const lineLength = Math.max(data.line_length_m || 0, CELL_M);

  const section = (listing, name) => (listing && listing.sections && listing.sections[name]) || [];
  const objects = section(data.cells, 'objects');
  const runs = section(data.cells, 'profile_runs');
  const stations = section(data.stations, 'stations');
  const boardTexts = section(data.stations, 'board_texts');
  const track = data.track || [];
  const objectByCell = new Map(objects.map((o) => [o.index, o]));

  // How each kind of object is drawn: a shape and a letter, so that no
  // kind is told from another by colour alone.
  const KINDS = {
    signal: { shape: 'triangle', colour: '#c62828', letter: 'S', name: 'signal' },
    stop_marker: { shape: 'bar', colour: '#111111', letter: 'P', name: 'stop marker' },
    speed_board: { shape: 'diamond', colour: '#1f5fa8', letter: 'V', name: 'speed board' },
    slowdown_warning: { shape: 'square', colour: '#e66a00', letter: 'w', name: 'slowdown warning board' },
    slowdown_start: { shape: 'square', colour: '#e66a00', letter: 'R', name: 'slowdown start board' },
    slowdown_end: { shape: 'square', colour: '#e66a00', letter: 'E', name: 'slowdown end board' },
    slowdown_lead: { shape: 'square', colour: '#e66a00', letter: 'L', name: 'slowdown lead board' },
    indication_board: { shape: 'pentagon', colour: '#7b3fa0', letter: 'I', name: 'indication board' },
    code_point: { shape: 'circle', colour: '#2e7d32', letter: 'C', name: 'code point' },
    code_cut: { shape: 'cross', colour: '#2e7d32', letter: 'X', name: 'code cut' },
    montagna_marker: { shape: 'circle', colour: '#777777', letter: 'M', name: 'span marker' },
  };
  // Span types are stored as the line description gives them, except that a
  // span starting within 150 m of the previous one's end is stored as type
  // 3, joined to it; markers stand in every 4th cell of spans asked with them.
  const SPAN_MEANING = { 0: 'none', 1: '1 (as the line description gave it)',
    2: '2 (as the line description gave it)',
    3: '3 (as given, or a span joined to the one before: it starts within 150 m of its end)' };
  const SPAN_COLOURS = ['none', '#9ccc65', '#ffd54f', '#b39ddb'];

  const view = { from: 0, to: lineLength };
  let pinnedPosition = null;
  let hoverPosition = null;

  // ---- Small helpers -------------------------------------------------------

  const $ = (id) => document.getElementById(id);
  function el(name, attributes, parent) {
    const node = document.createElementNS(SVG_NS, name);
    for (const key in attributes) node.setAttribute(key, attributes[key]);
    if (parent) parent.appendChild(node);
    return node;
  }
  function html(name, text, parent) {
    const node = document.createElement(name);
    if (text !== undefined) node.textContent = text;
    if (parent) parent.appendChild(node);
    return node;
  }
  const clamp = (v, lo, hi) => Math.min(Math.max(v, lo), hi);
  const kindName = (kind) => (KINDS[kind] ? KINDS[kind].name : String(kind).replace(/_/g, ' '));
  function km(m) {
    return 'km ' + (m / 1000).toFixed(m % 1000 === 0 ? 1 : 3).replace(/0+$/, '').replace(/\.$/, '.0');
  }
  const cellAt = (m) => Math.floor(m / CELL_M) + 1;  // the cell whose object stands at m
  const positionOfCell = (cell) => (cell - 1) * CELL_M;

  // "side_s_speeds_kmh" reads "side s speeds (km/h)".
  const UNITS = [['_per_mille', '\u2030'], ['_percent', '%'], ['_kmh', 'km/h'], ['_degrees', '\u00b0'],
    ['_m', 'm'], ['_s', 's']];
  function factLabel(key) {
    for (const [suffix, unit] of UNITS) {
      if (key.endsWith(suffix)) return key.slice(0, -suffix.length).replace(/_/g, ' ') + ' (' + unit + ')';
    }
    return key.replace(/_/g, ' ');
  }
  const factText = (value) => (Array.isArray(value) ? value.join(' ') : String(value));

  // ---- What lies where -----------------------------------------------------

  function runAt(m) {
    let lo = 0;
    let hi = runs.length - 1;
    while (lo <= hi) {
      const mid = (lo + hi) >> 1;
      if (m < runs[mid].from_m) hi = mid - 1;
      else if (m >= runs[mid].to_m) lo = mid + 1;
      else return runs[mid];
    }
    return null;
  }

  const slowdowns = [];
  (function findSlowdowns() {
    let open = null;
    for (const o of objects) {
      if (o.kind === 'slowdown_start') open = { from: o.position_m, speed: o.speed_kmh };
      if (o.kind === 'slowdown_end' && open) {
        slowdowns.push({ from: open.from, to: o.position_m, speed: open.speed });
        open = null;
      }
    }
  })();

  // Runs of one span type, joined over runs that differ in other values.
  const spans = [];
  for (const r of runs) {
    const last = spans[spans.length - 1];
    if (!r.montagna_type) continue;
    if (last && last.type === r.montagna_type && last.to === r.from_m) last.to = r.to_m;
    else spans.push({ type: r.montagna_type, from: r.from_m, to: r.to_m, markers: 0 });
  }
  for (const o of objects) {
    if (o.kind !== 'montagna_marker') continue;
    const span = spans.find((s) => o.position_m >= s.from && o.position_m <= s.to + CELL_M);
    if (span) span.markers += 1;
  }

  function trackPointAt(m) {
    if (!track.length) return null;
    let lo = 0;
    let hi = track.length - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (track[mid][0] <= m) lo = mid;
      else hi = mid - 1;
    }
    const a = track[lo];
    const b = track[Math.min(lo + 1, track.length - 1)];
    if (b[0] === a[0] || m <= a[0]) return { x: a[1], y: a[2] };
    const t = clamp((m - a[0]) / (b[0] - a[0]), 0, 1);
    return { x: a[1] + (b[1] - a[1]) * t, y: a[2] + (b[2] - a[2]) * t };
  }

  // ---- The window both views show ------------------------------------------

  function setWindow(from, to) {
    const full = lineLength;
    let width = clamp(to - from, MIN_WINDOW_M, full);
    let start = clamp(from, 0, Math.max(full - width, 0));
    if (width >= full) start = 0;
    view.from = start;
    view.to = start + width;
    draw();
  }
  const zoom = (factor, around) => {
    const at = around === undefined ? (view.from + view.to) / 2 : around;
    setWindow(at - (at - view.from) * factor, at + (view.to - at) * factor);
  };
  const pan = (fraction) => {
    const shift = (view.to - view.from) * fraction;
    setWindow(view.from + shift, view.to + shift);
  };
  // Centres the views on m with about `width` metres shown, and shows m's
  // details.
  function goTo(m, width) {
    setWindow(m - width / 2, m + width / 2);
    select(Math.floor(m / CELL_M) * CELL_M);
  }

  // ---- Drawing -------------------------------------------------------------

  function shape(parent, kind, x, y, size, attributes) {
    const style = KINDS[kind] || { shape: 'circle', colour: '#666' };
    const a = Object.assign({ fill: style.colour, stroke: 'white', 'stroke-width': 1, class: 'obj' },
      attributes);
    const s = size;
    switch (style.shape) {
      case 'triangle':
        a.points = `${x},${y - s * 1.2} ${x + s},${y + s * 0.8} ${x - s},${y + s * 0.8}`;
        return el('polygon', a, parent);
      case 'diamond':
        a.points = `${x},${y - s * 1.3} ${x + s},${y} ${x},${y + s * 1.3} ${x - s},${y}`;
        return el('polygon', a, parent);
      case 'pentagon':
        a.points = `${x - s},${y + s} ${x + s},${y + s} ${x + s},${y - s * 0.3} ${x},${y - s * 1.2} ${x - s},${y - s * 0.3}`;
        return el('polygon', a, parent);
      case 'square':
        Object.assign(a, { x: x - s, y: y - s, width: 2 * s, height: 2 * s });
        return el('rect', a, parent);
      case 'bar':
        Object.assign(a, { x: x - s * 0.45, y: y - s * 1.6, width: s * 0.9, height: s * 3.2 });
        return el('rect', a, parent);
      case 'cross':
        Object.assign(a, { d: `M${x - s},${y - s}L${x + s},${y + s}M${x - s},${y + s}L${x + s},${y - s}`,
          stroke: style.colour, 'stroke-width': 2, fill: 'none' });
        return el('path', a, parent);
      default:
        Object.assign(a, { cx: x, cy: y, r: s });
        return el('circle', a, parent);
    }
  }

  // Whether an object of `kind` at (x, y) is the first of its kind on that
  // pixel: a whole long line puts thousands of objects on a few hundred
  // pixels, and drawing each would only slow the page down. Zoomed in,
  // every object has its own pixel.
  function onePerPixel() {
    const seen = new Set();
    return (kind, x, y) => {
      const key = `${kind} ${Math.round(x)} ${Math.round(y)}`;
      if (seen.has(key)) return false;
      seen.add(key);
      return true;
    };
  }

  // A text on a white box, so that it reads over lines and spans.
  function boxedLabel(parent, x, y, text, anchor) {
    const width = text.length * 6.6 + 6;
    const left = anchor === 'end' ? x - width : anchor === 'middle' ? x - width / 2 : x;
    const g = el('g', {}, parent);
    el('rect', { x: left, y: y - 11, width, height: 15, class: 'label-box' }, g);
    const t = el('text', { x: left + 3, y: y, class: 'label' }, g);
    t.textContent = text;
    return { left, right: left + width, top: y - 11, bottom: y + 4 };
  }
  const overlapsAny = (box, boxes) => boxes.some((b) => box.left < b.right + 4 && b.left < box.right + 4 &&
    box.top < b.bottom + 2 && b.top < box.bottom + 2);

  function clear(svg) {
    while (svg.firstChild) svg.removeChild(svg.firstChild);
    const box = svg.getBoundingClientRect();
    const width = Math.max(box.width, 200);
    const height = Math.max(box.height, 100);
    svg.setAttribute('viewBox', `0 0 ${width} ${height}`);
    return { width, height };
  }

  function patternDefs(svg) {
    const defs = el('defs', {}, svg);
    const p = el('pattern', { id: 'hatch', width: 6, height: 6, patternUnits: 'userSpaceOnUse',
      patternTransform: 'rotate(45)' }, defs);
    el('rect', { width: 6, height: 6, fill: '#d62728', 'fill-opacity': 0.12 }, p);
    el('line', { x1: 0, y1: 0, x2: 0, y2: 6, stroke: '#d62728', 'stroke-width': 2 }, p);
  }

  // Kilometre ticks of a window: a step of 1, 2 or 5 times a power of ten.
  function niceStep(range, count) {
    const rough = range / count;
    const power = Math.pow(10, Math.floor(Math.log10(rough)));
    for (const f of [1, 2, 5]) if (f * power >= rough) return f * power;
    return 10 * power;
  }

  const cellsShown = (pixelsPerMetre) => pixelsPerMetre * CELL_M >= 5;

  function drawProfile() {
    const svg = $('profile');
    const { width, height } = clear(svg);
    patternDefs(svg);
    const left = 48;
    const right = 48;
    const top = 40;
    const bottom = 28;
    const pw = width - left - right;
    const ph = height - top - bottom;
    const scale = pw / (view.to - view.from);
    const x = (m) => left + (m - view.from) * scale;
    const inside = (from, to) => to >= view.from && from <= view.to;
    let gradientLimit = 5;
    let speedLimit = 20;
    for (const r of runs) {
      if (r.from_m >= lineLength) continue;
      gradientLimit = Math.max(gradientLimit, Math.abs(r.gradient_per_mille));
      speedLimit = Math.max(speedLimit, r.line_speed_kmh, r.adhesion);
    }
    gradientLimit = Math.ceil(gradientLimit / 5) * 5;
    speedLimit = Math.ceil(speedLimit / 20) * 20;
    const gy = (g) => top + ph * (0.5 - g / gradientLimit / 2);
    const vy = (v) => top + ph * (1 - v / speedLimit);
    svg.profileGeometry = { left, pw, scale };

    for (const s of spans) {
      if (!inside(s.from, s.to)) continue;
      const x1 = Math.max(x(s.from), left);
      const x2 = Math.min(x(s.to), left + pw);
      el('rect', { x: x1, y: top, width: Math.max(x2 - x1, 1), height: ph, fill: SPAN_COLOURS[s.type] || '#ccc',
        'fill-opacity': 0.5 }, svg);
      if (x2 - x1 > 26) el('text', { x: x1 + 3, y: top + ph - 4, 'font-size': 10 }, svg).textContent = 'span ' + s.type;
    }
    for (const s of slowdowns) {
      if (!inside(s.from, s.to)) continue;
      const x1 = Math.max(x(s.from), left);
      const x2 = Math.min(x(s.to), left + pw);
      el('rect', { x: x1, y: top, width: Math.max(x2 - x1, 2), height: ph, fill: 'url(#hatch)',
        stroke: '#d62728' }, svg);
      boxedLabel(svg, x2 + 4, top + 48, `slowdown ${s.speed} km/h`, 'start');
    }

    const axis = el('g', { class: 'axis' }, svg);
    const step = niceStep(view.to - view.from, 10);
    for (let m = Math.ceil(view.from / step) * step; m <= view.to; m += step) {
      el('line', { x1: x(m), y1: top, x2: x(m), y2: top + ph, class: 'grid' }, axis);
      el('text', { x: x(m), y: top + ph + 16, 'text-anchor': 'middle' }, axis).textContent =
        (m / 1000).toFixed(step >= 1000 ? 0 : step >= 100 ? 1 : 2);
    }
    for (let g = -gradientLimit; g <= gradientLimit; g += gradientLimit / 2) {
      el('text', { x: left - 6, y: gy(g) + 4, 'text-anchor': 'end', fill: '#2e7d32' }, axis).textContent = g;
    }
    for (let v = 0; v <= speedLimit; v += speedLimit / 4) {
      el('text', { x: left + pw + 6, y: vy(v) + 4, fill: '#1f5fa8' }, axis).textContent = v;
    }
    el('text', { x: 4, y: 14, fill: '#2e7d32' }, axis).textContent = 'gradient \u2030';
    el('text', { x: width - 4, y: 14, 'text-anchor': 'end', fill: '#1f5fa8' }, axis).textContent =
      'line speed km/h, adhesion (dashed)';
    el('line', { x1: left, y1: gy(0), x2: left + pw, y2: gy(0), stroke: '#aaa', 'stroke-dasharray': '4 3' }, svg);

    // The step lines, from the runs inside the window only.
    const lines = { gradient: [], speed: [], adhesion: [] };
    for (const r of runs) {
      if (!inside(r.from_m, r.to_m)) continue;
      const x1 = clamp(x(r.from_m), left, left + pw);
      const x2 = clamp(x(r.to_m), left, left + pw);
      lines.gradient.push(`${x1},${gy(r.gradient_per_mille)} ${x2},${gy(r.gradient_per_mille)}`);
      lines.speed.push(`${x1},${vy(r.line_speed_kmh)} ${x2},${vy(r.line_speed_kmh)}`);
      lines.adhesion.push(`${x1},${vy(r.adhesion)} ${x2},${vy(r.adhesion)}`);
    }
    el('polyline', { points: lines.adhesion.join(' '), fill: 'none', stroke: '#8c564b', 'stroke-width': 1.2,
      'stroke-dasharray': '5 3' }, svg);
    el('polyline', { points: lines.speed.join(' '), fill: 'none', stroke: '#1f5fa8', 'stroke-width': 2 }, svg);
    el('polyline', { points: lines.gradient.join(' '), fill: 'none', stroke: '#2e7d32', 'stroke-width': 2 }, svg);

    if (cellsShown(scale)) {
      const first = Math.max(Math.floor(view.from / CELL_M), 0);
      const last = Math.ceil(view.to / CELL_M);
      for (let c = first; c <= last; ++c) {
        const cell = c + 1;
        const box = el('rect', { x: x(c * CELL_M) - scale * CELL_M / 2, y: top + ph - 34, width: scale * CELL_M,
          height: 34, class: 'cellbox', 'data-cell': cell }, svg);
        if (pinnedPosition === positionOfCell(cell)) box.classList.add('selected');
      }
    }

    const labels = [];
    for (const s of stations) {
      if (s.position_m < view.from || s.position_m > view.to) continue;
      const sx = x(s.position_m);
      el('line', { x1: sx, y1: top, x2: sx, y2: top + ph, stroke: '#000', 'stroke-width': 0.8,
        'stroke-dasharray': s.stop === 'yes' ? 'none' : '2 3' }, svg);
      for (const row of [0, 1]) {
        const y = 14 + row * 17 + 8;
        const w = s.name.length * 6.6 + 6;
        const box = { left: sx - w / 2, right: sx + w / 2, top: y - 11, bottom: y + 4 };
        if (row === 1 && overlapsAny(box, labels)) break;
        if (!overlapsAny(box, labels)) {
          labels.push(boxedLabel(svg, sx, y, s.name, 'middle'));
          break;
        }
      }
    }

    const rowY = top + ph - 14;
    const drawn = onePerPixel();
    for (const o of objects) {
      if (o.position_m < view.from || o.position_m > view.to) continue;
      const ox = x(o.position_m);
      if (KINDS[o.kind]) {
        if (!drawn(o.kind, ox, 0)) continue;
        shape(svg, o.kind, ox, rowY - (o.kind === 'signal' ? 0 : 12), 5, { 'data-cell': o.index });
      } else if (o.approach_code && cellsShown(scale)) {
        el('line', { x1: ox, y1: rowY + 4, x2: ox, y2: rowY + 12, stroke: '#555', 'stroke-width': 2,
          'data-cell': o.index }, svg);
      }
    }
    el('rect', { x: left, y: top, width: pw, height: ph, fill: 'none', stroke: '#999' }, svg);
  }

  function drawPlan() {
    const svg = $('plan');
    const { width, height } = clear(svg);
    const pad = 34;
    svg.planPoints = [];
    if (!track.length) {
      el('text', { x: width / 2, y: height / 2, 'text-anchor': 'middle', fill: '#a00' }, svg).textContent =
        'the plan file has no set points';
      return;
    }
    // The frame: the part of the track in the window, at one scale for both
    // axes, never narrower than a fifth of the window so that a straight
    // stretch keeps some room around it.
    let minX = Infinity; let maxX = -Infinity; let minY = Infinity; let maxY = -Infinity;
    for (const p of track) {
      if (p[0] < view.from - CELL_M || p[0] > view.to + CELL_M) continue;
      minX = Math.min(minX, p[1]); maxX = Math.max(maxX, p[1]);
      minY = Math.min(minY, p[2]); maxY = Math.max(maxY, p[2]);
    }
    if (minX === Infinity) {
      const p = trackPointAt(view.from);
      minX = maxX = p.x; minY = maxY = p.y;
    }
    const least = (view.to - view.from) / 5;
    const cx = (minX + maxX) / 2;
    const cy = (minY + maxY) / 2;
    const spanX = Math.max(maxX - minX, least);
    const spanY = Math.max(maxY - minY, least);
    const scale = Math.min((width - 2 * pad) / spanX, (height - 2 * pad) / spanY);
    const px = (x) => width / 2 + (x - cx) * scale;
    const py = (y) => height / 2 - (y - cy) * scale;

    // The whole track thin and grey, the window's part dark, both thinned
    // to about one point per pixel.
    const whole = [];
    const shown = [];
    let lastX = null; let lastY = null;
    for (const p of track) {
      const X = px(p[1]); const Y = py(p[2]);
      const inWindow = p[0] >= view.from && p[0] <= view.to;
      if (inWindow) { shown.push(`${X.toFixed(1)},${Y.toFixed(1)}`); svg.planPoints.push([p[0], X, Y]); }
      if (lastX !== null && Math.abs(X - lastX) < 1 && Math.abs(Y - lastY) < 1 && !inWindow) continue;
      whole.push(`${X.toFixed(1)},${Y.toFixed(1)}`);
      lastX = X; lastY = Y;
    }
    el('polyline', { points: whole.join(' '), class: 'track-out' }, svg);
    for (const s of spans) {
      if (s.to < view.from || s.from > view.to) continue;
      const points = [];
      for (let m = Math.max(s.from, view.from); m <= Math.min(s.to, view.to); m += CELL_M) {
        const p = trackPointAt(m);
        points.push(`${px(p.x).toFixed(1)},${py(p.y).toFixed(1)}`);
      }
      if (points.length === 1) points.push(points[0]);
      el('polyline', { points: points.join(' '), class: 'span-plan', stroke: SPAN_COLOURS[s.type] || '#ccc' }, svg);
    }
    el('polyline', { points: shown.join(' '), class: 'track' }, svg);

    const metresPerPixel = 1 / scale;
    if (cellsShown(scale)) {
      for (let m = Math.ceil(view.from / CELL_M) * CELL_M; m <= view.to; m += CELL_M) {
        const p = trackPointAt(m);
        const cell = cellAt(m);
        const ring = el('circle', { cx: px(p.x), cy: py(p.y), r: 3, class: 'cellbox', 'data-cell': cell }, svg);
        if (pinnedPosition === m) ring.classList.add('selected');
      }
    }
    const drawn = onePerPixel();
    for (const o of objects) {
      if (!KINDS[o.kind] || o.position_m < view.from || o.position_m > view.to) continue;
      const p = trackPointAt(o.position_m);
      if (!drawn(o.kind, px(p.x), py(p.y))) continue;
      shape(svg, o.kind, px(p.x) + 9, py(p.y) - 9, 5, { 'data-cell': o.index });
    }
    const labels = [];
    for (const s of stations) {
      if (s.position_m < view.from - 10 * metresPerPixel || s.position_m > view.to + 10 * metresPerPixel) continue;
      const p = trackPointAt(s.position_m);
      const sx = px(p.x); const sy = py(p.y);
      el('circle', { cx: sx, cy: sy, r: 5, fill: s.stop === 'yes' ? '#000' : '#fff', stroke: '#000',
        'stroke-width': 1.5 }, svg);
      // Greedy placement: the first free place of a few around the dot,
      // tied to it by a leader line when it stands away.
      const w = s.name.length * 6.6 + 6;
      for (const [dx, dy] of [[10, -8], [-10 - w, -8], [10, 18], [-10 - w, 18], [10, -30], [-10 - w, -30],
        [10, 40], [-10 - w, 40]]) {
        const box = { left: sx + dx, right: sx + dx + w, top: sy + dy - 11, bottom: sy + dy + 4 };
        if (overlapsAny(box, labels)) continue;
        if (Math.abs(dy) > 20) el('line', { x1: sx, y1: sy, x2: sx + dx + (dx < 0 ? w : 0), y2: sy + dy - 4,
          stroke: '#888', 'stroke-width': 0.7 }, svg);
        labels.push(boxedLabel(svg, sx + dx, sy + dy, s.name, 'start'));
        break;
      }
    }
    if (pinnedPosition !== null) {
      const p = trackPointAt(pinnedPosition);
      el('circle', { cx: px(p.x), cy: py(p.y), r: 9, fill: 'none', stroke: '#b38600', 'stroke-width': 2.5 }, svg);
    }
    const barM = niceStep(120 / scale, 1);
    el('line', { x1: 12, y1: height - 12, x2: 12 + barM * scale, y2: height - 12, stroke: '#333',
      'stroke-width': 2 }, svg);
    el('text', { x: 12, y: height - 16, 'font-size': 11 }, svg).textContent =
      barM >= 1000 ? `${barM / 1000} km` : `${barM} m`;
    el('text', { x: 8, y: 16, 'font-size': 12, 'font-weight': 'bold' }, svg).textContent = 'Plan (equal scale)';
  }

  function drawLegend() {
    const legend = $('legend');
    legend.textContent = '';
    const item = (draw, text) => {
      const span = html('span', undefined, legend);
      const svg = el('svg', { width: 18, height: 18, viewBox: '0 0 18 18', 'aria-hidden': 'true' }, span);
      draw(svg);
      html('span', text, span);
    };
    for (const kind of ['signal', 'stop_marker', 'speed_board', 'slowdown_start', 'indication_board']) {
      item((svg) => shape(svg, kind, 9, 9, 5), kind === 'slowdown_start' ? 'slowdown boards' : kindName(kind));
    }
    item((svg) => el('circle', { cx: 9, cy: 9, r: 5, fill: '#000' }, svg), 'station, stop');
    item((svg) => el('circle', { cx: 9, cy: 9, r: 5, fill: '#fff', stroke: '#000' }, svg), 'station, passed');
    for (const type of [1, 2, 3]) {
      item((svg) => el('rect', { x: 1, y: 4, width: 16, height: 10, fill: SPAN_COLOURS[type] }, svg),
        'span type ' + SPAN_MEANING[type]);
    }
    item((svg) => shape(svg, 'montagna_marker', 9, 9, 4), 'span marker (every 4th cell, where asked)');
  }

  function draw() {
    drawPlan();
    drawProfile();
    $('window-text').textContent = `showing ${km(view.from)} to ${km(view.to)}`;
  }

  // ---- Details -------------------------------------------------------------

  function factList(parent, entry) {
    const dl = html('dl', undefined, parent);
    for (const key in entry) {
      if (['index', 'position_m', 'kind', 'raw', 'heading'].includes(key)) continue;
      html('dt', factLabel(key), dl);
      html('dd', factText(entry[key]), dl);
    }
    return dl;
  }

  function showDetails(m) {
    const box = $('details');
    box.textContent = '';
    const cell = cellAt(m);
    const position = positionOfCell(cell);
    html('h2', `Cell ${cell} at ${position} m (${km(position)})`, box);
    const object = objectByCell.get(cell);
    if (object) {
      html('h3', object.kind === 'empty' ? 'approach mark' : kindName(object.kind), box);
      factList(box, object);
    } else {
      html('p', 'no object in this cell', box).className = 'muted';
    }
    const profileCell = Math.floor(position / CELL_M);
    const run = runAt(position);
    html('h3', `Profile from ${position} m (cell ${profileCell})`, box);
    if (run) {
      const dl = html('dl', undefined, box);
      const add = (k, v) => { html('dt', k, dl); html('dd', v, dl); };
      add('line speed', `${run.line_speed_kmh} km/h`);
      add('gradient', `${run.gradient_per_mille} \u2030`);
      add('adhesion', String(run.adhesion));
      add('span type', SPAN_MEANING[run.montagna_type] || String(run.montagna_type));
      const span = spans.find((s) => position >= s.from && position < s.to);
      if (span) add('span', `${span.from}-${span.to} m, ${span.markers ? span.markers + ' markers' : 'no markers'}`);
      add('run', `cells ${run.first_cell}-${run.last_cell} (${run.from_m}-${run.to_m} m)`);
    } else {
      html('p', 'beyond the cells', box).className = 'muted';
    }
    for (const s of slowdowns) {
      if (position >= s.from && position <= s.to) {
        html('p', `inside the slowdown ${s.from}-${s.to} m, ${s.speed} km/h`, box);
      }
    }
    for (const s of stations) {
      const [from, to] = s.platform_m || [s.position_m, s.position_m];
      if (position >= from && position <= to) {
        html('p', `at the platform of ${s.name} (entry ${s.index}, ${from}-${to} m)`, box);
      }
    }
  }

  function select(m) {
    pinnedPosition = Math.floor(clamp(m, 0, lineLength) / CELL_M) * CELL_M;
    showDetails(pinnedPosition);
    draw();
  }

  // ---- Pointer and keyboard ------------------------------------------------

  // The position under the pointer: along the profile's axis, or the
  // nearest shown point of the plan.
  function positionAt(svg, event) {
    const box = svg.getBoundingClientRect();
    const vb = svg.viewBox.baseVal;
    const X = (event.clientX - box.left) * (vb.width / box.width);
    const Y = (event.clientY - box.top) * (vb.height / box.height);
    const target = event.target && event.target.getAttribute && event.target.getAttribute('data-cell');
    if (target) return positionOfCell(Number(target));
    if (svg.id === 'profile') {
      const g = svg.profileGeometry;
      return clamp(view.from + (X - g.left) / g.scale, 0, lineLength);
    }
    let best = null;
    let bestDistance = Infinity;
    for (const [m, px, py] of svg.planPoints || []) {
      const d = (px - X) * (px - X) + (py - Y) * (py - Y);
      if (d < bestDistance) { bestDistance = d; best = m; }
    }
    return best;
  }

  function attach(svg) {
    let drag = null;
    svg.addEventListener('pointerdown', (event) => {
      drag = { x: event.clientX, from: view.from, to: view.to, moved: false };
      svg.setPointerCapture(event.pointerId);
    });
    svg.addEventListener('pointermove', (event) => {
      if (drag) {
        const dx = event.clientX - drag.x;
        if (Math.abs(dx) > 3) drag.moved = true;
        if (drag.moved) {
          svg.classList.add('dragging');
          const metres = dx * (drag.to - drag.from) / svg.getBoundingClientRect().width;
          setWindow(drag.from - metres, drag.to - metres);
        }
        return;
      }
      const m = positionAt(svg, event);
      if (m !== null && m !== undefined) { hoverPosition = m; showDetails(m); }
    });
    svg.addEventListener('pointerup', (event) => {
      const clicked = drag && !drag.moved;
      drag = null;
      svg.classList.remove('dragging');
      if (clicked) {
        const m = positionAt(svg, event);
        if (m !== null && m !== undefined) select(m);
      }
    });
    svg.addEventListener('pointerleave', () => {
      hoverPosition = null;
      if (pinnedPosition !== null) showDetails(pinnedPosition);
    });
    svg.addEventListener('wheel', (event) => {
      event.preventDefault();
      const m = positionAt(svg, event);
      zoom(event.deltaY < 0 ? 0.8 : 1.25, m === null ? undefined : m);
    }, { passive: false });
    svg.addEventListener('keydown', (event) => {
      const keys = {
        ArrowLeft: () => pan(-0.2), ArrowRight: () => pan(0.2), '+': () => zoom(0.5), '=': () => zoom(0.5),
        '-': () => zoom(2), '0': () => setWindow(0, lineLength),
        Enter: () => select(pinnedPosition === null ? (view.from + view.to) / 2 : pinnedPosition),
        ArrowUp: () => select((pinnedPosition === null ? view.from : pinnedPosition) + CELL_M),
        ArrowDown: () => select((pinnedPosition === null ? view.from : pinnedPosition) - CELL_M),
      };
      if (keys[event.key]) { event.preventDefault(); keys[event.key](); }
    });
  }

  // ---- Search --------------------------------------------------------------

  // "km 29.0", "29 km", "29.0" (km within the line) or "29000 m".
  function searchPosition(text) {
    const match = /^\s*(km\s*)?(\d+(?:[.,]\d+)?)\s*(km|m)?\s*$/i.exec(text);
    if (!match) return null;
    const value = Number(match[2].replace(',', '.'));
    if (match[3] && match[3].toLowerCase() === 'm') return value;
    if (match[1] || match[3] || value * 1000 <= lineLength) return value * 1000;
    return value;
  }

  function search(text) {
    const query = text.trim().toLowerCase();
    if (!query) return 'type a station, a board text or a position such as km 29.0';
    const m = searchPosition(query);
    if (m !== null) {
      goTo(clamp(m, 0, lineLength), 1500);
      return `${km(m)}`;
    }
    const station = stations.find((s) => s.name.toLowerCase().includes(query));
    if (station) { goToStation(station); return `station ${station.name}`; }
    const board = boardTexts.find((b) => b.text.toLowerCase().includes(query));
    if (board) {
      const cell = objects.find((o) => o.kind === 'indication_board' && o.text_entry === board.index);
      if (cell) { goTo(cell.position_m, 1500); return `board ${board.text}`; }
      return `board text entry ${board.index} is on no board`;
    }
    return `nothing found for "${text.trim()}"`;
  }

  // The station's stop marker when it has one, else its position.
  function goToStation(station) {
    const marker = objects.find((o) => o.kind === 'stop_marker' && o.station === station.index);
    goTo(marker ? marker.position_m : station.position_m, 1500);
  }

  // ---- Tables --------------------------------------------------------------

  function table(parent, title, rows, columns, onChoose) {
    html('h2', title, parent);
    if (!rows.length) { html('p', 'none', parent).className = 'muted'; return; }
    const t = html('table', undefined, parent);
    const head = html('tr', undefined, html('thead', undefined, t));
    for (const [label] of columns) html('th', label, head);
    const body = html('tbody', undefined, t);
    for (const row of rows) {
      const tr = html('tr', undefined, body);
      for (const [, value] of columns) html('td', value(row), tr);
      if (onChoose) {
        tr.className = 'goes';
        tr.tabIndex = 0;
        tr.title = 'show it in the views';
        tr.addEventListener('click', () => onChoose(row));
        tr.addEventListener('keydown', (event) => {
          if (event.key === 'Enter' || event.key === ' ') { event.preventDefault(); onChoose(row); }
        });
      }
    }
  }

  function otherFacts(row) {
    const parts = [];
    for (const key in row) {
      if (['index', 'heading', 'raw'].includes(key)) continue;
      parts.push(`${factLabel(key)}: ${factText(row[key])}`);
    }
    return parts.join('; ');
  }

  function drawTables() {
    const box = $('tables');
    table(box, 'Stations', stations, [
      ['entry', (s) => s.index], ['name', (s) => s.name], ['position (m)', (s) => s.position_m],
      ['stop', (s) => s.stop], ['kind', (s) => s.kind],
      ['platform (m)', (s) => (s.platform_m || []).join(' to ')], ['time', (s) => s.time],
    ], (s) => { goToStation(s); $('views').scrollIntoView({ block: 'nearest' }); });
    table(box, 'Indication board texts', boardTexts, [
      ['entry', (b) => b.index], ['text', (b) => b.text],
    ], (b) => search(b.text));
    table(box, 'Header entries', section(data.stations, 'header_entries'), [
      ['entry', (e) => e.index], ['meaning', (e) => (e.heading || '').replace(/^entry \d+:?\s*/, '')],
      ['values', otherFacts],
    ]);
    table(box, 'Competition codes', section(data.stations, 'competition_codes')
      .concat(section(data.cells, 'header')), [['codes', otherFacts]]);
    const notes = (data.cells.notes || []).concat(data.stations.notes || []);
    html('h2', 'Notes', box);
    if (!notes.length) html('p', 'none', box).className = 'muted';
    const list = html('ul', undefined, box);
    for (const note of notes) html('li', note, list);
  }

  // ---- Start ---------------------------------------------------------------

  document.title = data.title;
  $('title').textContent = data.title;
  $('summary').textContent = `line ${km(lineLength).slice(3)} km, ${stations.length} stations, ` +
    `${objects.filter((o) => o.kind === 'signal').length} signals, ${track.length} plan points`;
  for (const warning of data.warnings || []) html('li', warning, $('warnings'));
  $('zoom-whole').addEventListener('click', () => setWindow(0, lineLength));
  $('zoom-in').addEventListener('click', () => zoom(0.5));
  $('zoom-out').addEventListener('click', () => zoom(2));
  $('pan-left').addEventListener('click', () => pan(-0.25));
  $('pan-right').addEventListener('click', () => pan(0.25));
  $('search-form').addEventListener('submit', (event) => {
    event.preventDefault();
    $('search-result').textContent = search($('search').value);
  });
  attach($('plan'));
  attach($('profile'));
  drawLegend();
  drawTables();
  draw();
  window.addEventListener('resize', draw);
  window.scenarioPage = { view, select, search, goTo };
})();
