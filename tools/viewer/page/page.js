// The page of scenario_inspect --html: draws the plan and the profile of one
// scenario from the data object in the page, keeps both on one window of
// positions along the line, and shows what the compiled files hold at the
// cell or object pointed at.
'use strict';

(function () {
  const CELL_M = 50;
  const MIN_WINDOW_M = 250;
  const SVG_NS = 'http://www.w3.org/2000/svg';
  const section = (listing, name) => (listing && listing.sections && listing.sections[name]) || [];

  // What the page shows, taken from one data object; a page that follows a
  // build takes a new one now and then (see update below).
  let data, lineLength, objects, runs, stations, boardTexts, track, objectByCell, curves;
  const rowsByKind = {};
  const slowdowns = [];
  const spans = [];
  function take(newData) {
    data = newData;
    lineLength = Math.max(data.line_length_m || 0, CELL_M);
    objects = section(data.cells, 'objects');
    runs = section(data.cells, 'profile_runs');
    stations = section(data.stations, 'stations');
    boardTexts = section(data.stations, 'board_texts');
    track = data.track || [];
    objectByCell = new Map(objects.map((o) => [o.index, o]));
    findRows();
    findSlowdowns();
    findSpans();
  }

  // How each kind of object is drawn: a shape, so that no kind is told from
  // another by colour alone, and where it comes from in the descriptions.
  const KINDS = {
    signal: { shape: 'triangle', colour: '#c62828', name: 'signal', from: 'segnale' },
    stop_marker: { shape: 'bar', colour: '#111111', name: 'stop marker', from: 'stazione: where the train stops' },
    speed_board: { shape: 'diamond', colour: '#1f5fa8', name: 'speed board', from: 'indicatori_vmax' },
    slowdown_warning: { shape: 'down', colour: '#e66a00', name: 'slowdown warning board',
      from: 'rallentamento: 1200 m before the start' },
    slowdown_lead: { shape: 'ring', colour: '#e66a00', name: 'slowdown lead board',
      from: 'rallentamento with f_ta: 1 to 4 before the warning board' },
    slowdown_start: { shape: 'square', colour: '#e66a00', name: 'slowdown start board', from: 'rallentamento at x' },
    slowdown_end: { shape: 'hollow', colour: '#e66a00', name: 'slowdown end board', from: 'rallentamento at x + l' },
    indication_board: { shape: 'pentagon', colour: '#7b3fa0', name: 'indication board', from: 'cartello_indicatore' },
    code_point: { shape: 'circle', colour: '#2e7d32', name: 'code point',
      from: 'code 180 added by the build around a slowdown, or abbattimento' },
    code_cut: { shape: 'cross', colour: '#2e7d32', name: 'code cut', from: 'abbattimento with a code below 1' },
    montagna_marker: { shape: 'dot', colour: '#777777', name: 'montagna marker',
      from: 'montagna with tipo above 10: every 4th cell' },
  };
  // What the files keep of a montagna span is its type: the description's
  // tipo (less 10 when it asks for markers), or 3 for a span that begins
  // within 150 m of the previous one's end. The built-in line marks its
  // tunnels with spans: type 1 the long ones, type 2 the shorter ones.
  const MONTAGNA_MEANING = {
    1: 'montagna type 1 (tipo 1 or 11): a tunnel; the built-in line\'s long ones',
    2: 'montagna type 2 (tipo 2 or 12): a tunnel; the built-in line\'s shorter ones',
    3: 'montagna type 3: a span joined to the one before (it begins within 150 m of its end), or tipo 3',
  };
  const SPAN_COLOURS = ['none', '#9ccc65', '#ffd54f', '#b39ddb'];
  const PLATFORM_COLOUR = '#455a64';
  const CURVE_COLOUR = '#00838f';
  const RADIUS_M = { 1: '10000', 2: '5000', 3: '2500', 4: '1000', 5: '500', 6: 'about 333' };

  // ---- The rows a description writes --------------------------------------

  // Each row of the kinds listed in tables, with its values under the
  // description's own names and the stretch it covers along the line.
  const ROW_KINDS = [
    { key: 'segnale', title: 'Signals', what: 'signal',
      fields: ['posizione', 'sx', 's1', 's2', 's3', 'rapp', 'dx', 'd1', 'd2', 'd3', 'tempo'],
      stretch: (v) => [v[0], v[0]] },
    { key: 'rallentamento', title: 'Slowdowns', what: 'slowdown', fields: ['x', 'v', 'l', 'f_tt', 'f_ta', 'd_v'],
      stretch: (v) => [v[0], v[0] + v[2]],
      meaning: (v) => `${v[1]} km/h from ${v[0]} m to ${v[0] + v[2]} m` +
        (v[0] > 1500 ? `; warning board at ${v[0] - 1200} m` + (v[4] ? ', lead boards before it' : '') : '; no warning board') },
    { key: 'indicatori_vmax', title: 'Speed boards', what: 'speed board',
      fields: ['posizione', 'vas', 'vbs', 'vcs', 'strisces', 'vad', 'vbd', 'vcd', 'strisced'],
      stretch: (v) => [v[0], v[0]] },
    { key: 'curva', title: 'Curves', what: 'curve', fields: ['start', 'length'],
      stretch: (v) => [v[0], v[0] + v[1]],
      meaning: (v, row) => `${row.side === 's' ? 'left' : 'right'}, class ${row.curveClass}` +
        ` (radius ${RADIUS_M[row.curveClass] || '?'} m), ${v[0]} m to ${v[0] + v[1]} m` },
    { key: 'montagna', title: 'Montagna spans', what: 'montagna span', fields: ['inizio', 'fine', 'tipo'],
      stretch: (v) => [v[0], v[1]],
      meaning: (v) => `${v[0]} m to ${v[1]} m, type ${v[2] > 10 ? v[2] - 10 : v[2]}` +
        (v[2] > 10 ? ', with markers' : '') },
    { key: 'abbattimento', title: 'Code points and cuts', what: 'code point', fields: ['position', 'code'],
      stretch: (v) => [v[0], v[0]],
      meaning: (v) => (v[1] >= 1 ? `code point, code ${v[1]}` : 'code cut') },
  ];
  function findRows() {
    for (const kind of ROW_KINDS) {
      rowsByKind[kind.key] = ((data.rows || {})[kind.key] || []).map((text) => {
        const parts = text.split(',');
        const key = parts[0].trim();
        const shown = parts.slice(1).map((p) => p.trim());
        const values = shown.map((p) => Number(p) || 0);
        const row = { kind, key, text, shown, values, side: key.charAt(5), curveClass: Number(key.charAt(6)) };
        [row.from, row.to] = kind.stretch(values);
        row.meaning = kind.meaning ? kind.meaning(values, row) : '';
        return row;
      });
    }
    curves = rowsByKind.curva;
  }

  take(JSON.parse(document.getElementById('scenario-data').textContent));
  const view = { from: 0, to: lineLength };
  let pinnedPosition = null;
  // The station chosen (by its entry), followed when a new build moves it.
  let selectedStation = null;
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

  function findSlowdowns() {
    slowdowns.length = 0;
    let open = null;
    for (const o of objects) {
      if (o.kind === 'slowdown_start') open = { from: o.position_m, speed: o.speed_kmh };
      if (o.kind === 'slowdown_end' && open) {
        slowdowns.push({ from: open.from, to: o.position_m, speed: open.speed });
        open = null;
      }
    }
  }

  // Runs of one span type, joined over runs that differ in other values.
  function findSpans() {
    spans.length = 0;
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
  // Shows the stretch from..to with some room around it, and the details
  // of the place m.
  function showStretch(from, to, m) {
    const room = Math.max((to - from) * 0.2, 700);
    setWindow(from - room, to + room);
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
      case 'down':
        a.points = `${x},${y + s * 1.2} ${x + s},${y - s * 0.8} ${x - s},${y - s * 0.8}`;
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
      case 'hollow':
        Object.assign(a, { x: x - s + 1, y: y - s + 1, width: 2 * s - 2, height: 2 * s - 2, fill: 'white',
          stroke: style.colour, 'stroke-width': 2 });
        return el('rect', a, parent);
      case 'bar':
        Object.assign(a, { x: x - s * 0.45, y: y - s * 1.6, width: s * 0.9, height: s * 3.2 });
        return el('rect', a, parent);
      case 'cross':
        Object.assign(a, { d: `M${x - s},${y - s}L${x + s},${y + s}M${x - s},${y + s}L${x + s},${y - s}`,
          stroke: style.colour, 'stroke-width': 2, fill: 'none' });
        return el('path', a, parent);
      case 'ring':
        Object.assign(a, { cx: x, cy: y, r: s * 0.8, fill: 'white', stroke: style.colour, 'stroke-width': 2.2 });
        return el('circle', a, parent);
      case 'dot':
        Object.assign(a, { cx: x, cy: y, r: s * 0.6 });
        return el('circle', a, parent);
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

  // Labels are measured in the font they are drawn in, so that a name
  // stays inside its box.
  const measure = document.createElement('canvas').getContext('2d');
  function textWidth(text) {
    measure.font = '11px "DejaVu Sans", Arial, sans-serif';
    return measure.measureText(text).width;
  }
  const LABEL_HEIGHT = 15;
  // The box a label of `text` takes with its baseline at y.
  function labelBox(x, y, text, anchor) {
    const width = textWidth(text) + 8;
    const left = anchor === 'end' ? x - width : anchor === 'middle' ? x - width / 2 : x;
    return { left, right: left + width, top: y - 11, bottom: y - 11 + LABEL_HEIGHT, text };
  }
  // A text on a white box, so that it reads over lines and spans.
  function boxedLabel(parent, box) {
    const g = el('g', {}, parent);
    el('rect', { x: box.left, y: box.top, width: box.right - box.left, height: LABEL_HEIGHT, class: 'label-box' }, g);
    el('text', { x: box.left + 4, y: box.top + 11, class: 'label' }, g).textContent = box.text;
    return box;
  }
  const overlaps = (a, b, gap = 2) => a.left < b.right + gap && b.left < a.right + gap &&
    a.top < b.bottom + gap && b.top < a.bottom + gap;
  const overlapsAny = (box, boxes) => boxes.some((b) => overlaps(box, b));
  const inside = (box, area) => box.left >= area.left && box.right <= area.right &&
    box.top >= area.top && box.bottom <= area.bottom;
  // The first of the candidate boxes that lies inside the area and clear of
  // the boxes taken; it is drawn and taken. Null when none fits.
  function placeLabel(parent, candidates, taken, area) {
    for (const box of candidates) {
      if (!inside(box, area) || overlapsAny(box, taken)) continue;
      taken.push(boxedLabel(parent, box));
      return box;
    }
    return null;
  }
  // A title at a fixed place, kept clear of the labels.
  function title(parent, x, y, text, anchor, attributes) {
    el('text', Object.assign({ x, y, 'text-anchor': anchor, class: 'axis-title' }, attributes), parent).textContent = text;
    const box = labelBox(x, y, text, anchor);
    return Object.assign(box, { left: box.left + 2, right: box.right - 2 });
  }

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
  const platformOf = (s) => s.platform_m || [s.position_m, s.position_m];

  function drawProfile() {
    const svg = $('profile');
    const { width, height } = clear(svg);
    patternDefs(svg);
    const left = 48;
    const right = 48;
    // Above the panel: the axis titles, then two rows of station names.
    const top = 58;
    const bottom = 28;
    const pw = width - left - right;
    const ph = height - top - bottom;
    const scale = pw / (view.to - view.from);
    const x = (m) => left + (m - view.from) * scale;
    const shown = (from, to) => to >= view.from && from <= view.to;
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
    const whole = { left: 0, right: width, top: 0, bottom: height };
    const panel = { left, right: left + pw, top, bottom: top + ph };
    const labels = [];

    for (const s of spans) {
      if (!shown(s.from, s.to)) continue;
      const x1 = Math.max(x(s.from), left);
      const x2 = Math.min(x(s.to), left + pw);
      el('rect', { x: x1, y: top, width: Math.max(x2 - x1, 1), height: ph, fill: SPAN_COLOURS[s.type] || '#ccc',
        'fill-opacity': 0.5 }, svg);
    }
    for (const s of slowdowns) {
      if (!shown(s.from, s.to)) continue;
      const x1 = Math.max(x(s.from), left);
      const x2 = Math.min(x(s.to), left + pw);
      el('rect', { x: x1, y: top, width: Math.max(x2 - x1, 2), height: ph, fill: 'url(#hatch)',
        stroke: '#d62728' }, svg);
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
    labels.push(title(svg, 4, 14, 'gradient \u2030', 'start', { fill: '#2e7d32' }));
    labels.push(title(svg, width - 4, 14, 'line speed km/h, adhesion (dashed)', 'end', { fill: '#1f5fa8' }));
    el('line', { x1: left, y1: gy(0), x2: left + pw, y2: gy(0), stroke: '#aaa', 'stroke-dasharray': '4 3' }, svg);

    // Curves along a strip above the objects: left ones up, right ones
    // down, taller for a smaller radius.
    const curveY = top + ph - 52;
    el('line', { x1: left, y1: curveY, x2: left + pw, y2: curveY, class: 'curve-axis' }, svg);
    // Curves that meet within a pixel on one side are drawn as one bar, as
    // tall as the tightest of them: a long line has thousands.
    const bars = { s: null, d: null };
    const drawBar = (side) => {
      const b = bars[side];
      if (!b) return;
      el('rect', { x: b.x1, y: side === 's' ? curveY - b.h : curveY, width: Math.max(b.x2 - b.x1, 1), height: b.h,
        fill: CURVE_COLOUR, class: 'curve' }, svg);
      bars[side] = null;
    };
    for (const c of curves) {
      if (!shown(c.from, c.to)) continue;
      const x1 = Math.max(x(c.from), left);
      const x2 = Math.min(x(c.to), left + pw);
      const h = 3 + 2 * c.curveClass;
      const b = bars[c.side];
      if (b && x1 - b.x2 < 1) {
        b.x2 = Math.max(b.x2, x2);
        b.h = Math.max(b.h, h);
        continue;
      }
      drawBar(c.side);
      bars[c.side] = { x1, x2, h };
    }
    drawBar('s');
    drawBar('d');

    // The step lines, from the runs inside the window only.
    const lines = { gradient: [], speed: [], adhesion: [] };
    for (const r of runs) {
      if (!shown(r.from_m, r.to_m)) continue;
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

    // Stations: their line, their platform along the panel's top, and the
    // name above the panel in the first of two rows where it fits.
    for (const s of stations) {
      const [from, to] = platformOf(s);
      if (shown(from, to)) {
        const x1 = Math.max(x(from), left);
        const x2 = Math.min(x(to), left + pw);
        el('rect', { x: x1, y: top + 1, width: Math.max(x2 - x1, 2), height: 6, fill: PLATFORM_COLOUR,
          class: 'platform' }, svg);
      }
      if (s.position_m < view.from || s.position_m > view.to) continue;
      const sx = x(s.position_m);
      el('line', { x1: sx, y1: top, x2: sx, y2: top + ph, stroke: '#000', 'stroke-width': 0.8,
        'stroke-dasharray': s.stop === 'yes' ? 'none' : '2 3' }, svg);
      const candidates = [32, 49].map((y) => {
        const box = labelBox(sx, y, s.name, 'middle');
        const shift = clamp(box.left, 2, width - 2 - (box.right - box.left)) - box.left;
        return Object.assign(box, { left: box.left + shift, right: box.right + shift });
      });
      placeLabel(svg, candidates, labels, whole);
    }

    // Slowdown speeds after their band, or before it at the panel's end;
    // montagna types at the top of their span where the span is wide
    // enough to hold them.
    for (const s of slowdowns) {
      if (!shown(s.from, s.to)) continue;
      const text = `slowdown ${s.speed} km/h`;
      placeLabel(svg, [top + 48, top + 66, top + 84].flatMap((y) =>
        [labelBox(x(s.to) + 4, y, text, 'start'), labelBox(x(s.from) - 4, y, text, 'end')]), labels, panel);
    }
    for (const s of spans) {
      if (!shown(s.from, s.to)) continue;
      const x1 = Math.max(x(s.from), left);
      const x2 = Math.min(x(s.to), left + pw);
      const box = labelBox(x1 + 2, top + 22, `montagna ${s.type}`, 'start');
      if (box.right <= x2 - 2) placeLabel(svg, [box], labels, panel);
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
        el('line', { x1: ox, y1: rowY + 4, x2: ox, y2: rowY + 12, class: 'approach', 'data-cell': o.index }, svg);
      }
    }
    el('rect', { x: left, y: top, width: pw, height: ph, fill: 'none', stroke: '#999' }, svg);
  }

  // The points of the track from metre `from` to `to` on the page.
  function trackPoints(from, to, px, py) {
    const points = [];
    for (let m = from; m < to; m += CELL_M) {
      const p = trackPointAt(m);
      points.push(`${px(p.x).toFixed(1)},${py(p.y).toFixed(1)}`);
    }
    const p = trackPointAt(to);
    points.push(`${px(p.x).toFixed(1)},${py(p.y).toFixed(1)}`);
    return points.join(' ');
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
    const labels = [];
    labels.push(title(svg, 8, 16, data.plan_turned ? 'Plan (equal scale, turned: the line starts towards the right)'
      : 'Plan (equal scale, the line starts upwards)', 'start', { 'font-weight': 'bold' }));

    // The whole track thin and grey, the window's part dark, both thinned
    // to about one point per pixel.
    const whole = [];
    const shownPart = [];
    let lastX = null; let lastY = null;
    for (const p of track) {
      const X = px(p[1]); const Y = py(p[2]);
      const inWindow = p[0] >= view.from && p[0] <= view.to;
      if (inWindow) { shownPart.push(`${X.toFixed(1)},${Y.toFixed(1)}`); svg.planPoints.push([p[0], X, Y]); }
      if (lastX !== null && Math.abs(X - lastX) < 1 && Math.abs(Y - lastY) < 1 && !inWindow) continue;
      whole.push(`${X.toFixed(1)},${Y.toFixed(1)}`);
      lastX = X; lastY = Y;
    }
    el('polyline', { points: whole.join(' '), class: 'track-out' }, svg);
    const clipped = (from, to) => [Math.max(from, view.from, 0), Math.min(to, view.to)];
    for (const s of spans) {
      const [from, to] = clipped(s.from, s.to);
      if (from > to) continue;
      el('polyline', { points: trackPoints(from, to, px, py), class: 'span-plan', stroke: SPAN_COLOURS[s.type] || '#ccc' }, svg);
    }
    for (const s of stations) {
      const [from, to] = clipped(...platformOf(s));
      if (from > to) continue;
      el('polyline', { points: trackPoints(from, to, px, py), class: 'platform-plan' }, svg);
    }
    el('polyline', { points: shownPart.join(' '), class: 'track' }, svg);

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
    const barM = niceStep(120 / scale, 1);
    el('line', { x1: 12, y1: height - 12, x2: 12 + barM * scale, y2: height - 12, stroke: '#333',
      'stroke-width': 2 }, svg);
    labels.push(title(svg, 12, height - 16, barM >= 1000 ? `${barM / 1000} km` : `${barM} m`, 'start'));
    // Station names: the first free place of a few around the dot, inside
    // the view, tied to the dot by a leader line when it stands away.
    const area = { left: 2, right: width - 2, top: 2, bottom: height - 2 };
    for (const s of stations) {
      if (s.position_m < view.from - 10 * metresPerPixel || s.position_m > view.to + 10 * metresPerPixel) continue;
      const p = trackPointAt(s.position_m);
      const sx = px(p.x); const sy = py(p.y);
      el('circle', { cx: sx, cy: sy, r: 5, fill: s.stop === 'yes' ? '#000' : '#fff', stroke: '#000',
        'stroke-width': 1.5 }, svg);
      const candidates = [];
      for (const [dx, dy] of [[10, -8], [-10, -8], [10, 18], [-10, 18], [10, -30], [-10, -30], [10, 40],
        [-10, 40], [0, -52], [0, 62]]) {
        candidates.push(labelBox(sx + dx, sy + dy, s.name, dx > 0 ? 'start' : dx < 0 ? 'end' : 'middle'));
      }
      const box = placeLabel(svg, candidates, labels, area);
      if (box && (box.bottom < sy - 12 || box.top > sy + 12)) {
        const ex = clamp(sx, box.left, box.right);
        el('line', { x1: sx, y1: sy, x2: ex, y2: box.bottom < sy ? box.bottom : box.top, class: 'leader' }, svg);
      }
    }
    if (pinnedPosition !== null) {
      const p = trackPointAt(pinnedPosition);
      el('circle', { cx: px(p.x), cy: py(p.y), r: 9, fill: 'none', stroke: '#b38600', 'stroke-width': 2.5 }, svg);
    }
  }

  // Every kind the views draw, as they draw it: `data-legend` names the
  // object kind or the drawing, so that what is drawn can be checked
  // against what is explained.
  function drawLegend() {
    const legend = $('legend');
    legend.textContent = '';
    const item = (key, text, draw) => {
      const span = html('span', undefined, legend);
      span.dataset.legend = key;
      const svg = el('svg', { width: 18, height: 18, viewBox: '0 0 18 18', 'aria-hidden': 'true' }, span);
      draw(svg);
      html('span', text, span);
    };
    for (const kind in KINDS) {
      item(kind, `${KINDS[kind].name} (${KINDS[kind].from})`, (svg) => shape(svg, kind, 9, 9, 5));
    }
    item('approach_mark', 'approach mark (profile, zoomed in): 100 to 400 m before a signal, 50 to 200 m before a stop marker',
      (svg) => el('line', { x1: 9, y1: 3, x2: 9, y2: 15, class: 'approach' }, svg));
    item('station_stop', 'station where the train stops (stazione)',
      (svg) => el('circle', { cx: 9, cy: 9, r: 5, fill: '#000' }, svg));
    item('station_passed', 'station passed (stazione of kind 25 and above)',
      (svg) => el('circle', { cx: 9, cy: 9, r: 5, fill: '#fff', stroke: '#000' }, svg));
    item('platform', 'platform: the station\'s stopping stretch',
      (svg) => el('rect', { x: 1, y: 6, width: 16, height: 6, fill: PLATFORM_COLOUR }, svg));
    item('curve', 'curve (profile): curvas left, drawn up; curvad right, drawn down; taller for a smaller radius',
      (svg) => { el('rect', { x: 1, y: 3, width: 7, height: 6, fill: CURVE_COLOUR }, svg);
        el('rect', { x: 10, y: 9, width: 7, height: 6, fill: CURVE_COLOUR }, svg); });
    item('slowdown', 'slowdown (rallentamento): from its start to its end board',
      (svg) => el('rect', { x: 1, y: 3, width: 16, height: 12, fill: '#f7c9c9', stroke: '#d62728' }, svg));
    for (const type of [1, 2, 3]) {
      item(`montagna_type_${type}`, MONTAGNA_MEANING[type],
        (svg) => el('rect', { x: 1, y: 4, width: 16, height: 10, fill: SPAN_COLOURS[type] }, svg));
    }
    const stroke = (colour, dash) => (svg) => el('line', { x1: 1, y1: 9, x2: 17, y2: 9, stroke: colour,
      'stroke-width': 2, 'stroke-dasharray': dash }, svg);
    item('gradient', 'gradient (pendenza, \u2030, left axis)', stroke('#2e7d32', 'none'));
    item('line_speed', 'line speed (velocita, km/h, right axis)', stroke('#1f5fa8', 'none'));
    item('adhesion', 'adhesion (aderenza, right axis)', stroke('#8c564b', '5 3'));
  }

  let searching = false;
  function draw() {
    drawPlan();
    drawProfile();
    $('window-text').textContent = `showing ${km(view.from)} to ${km(view.to)}`;
    // What a search said holds until the views move another way.
    if (!searching) $('search-result').textContent = '';
  }

  // ---- Details -------------------------------------------------------------

  function facts(parent, pairs) {
    const dl = html('dl', undefined, parent);
    for (const [label, value, className] of pairs) {
      if (value === undefined || value === null || value === '') continue;
      html('dt', label, dl);
      const dd = html('dd', String(value), dl);
      if (className) dd.className = className;
    }
    return dl;
  }

  const list = (values) => (values || []).join(' ');
  // What an object's values mean, under the description's names.
  function objectFacts(o) {
    switch (o.kind) {
      case 'signal':
        return [['side s', `sx ${o.side_s_type}; s1 s2 s3 ${list(o.side_s_digits)}`],
          ['side d', `dx ${o.side_d_type}; d1 d2 d3 ${list(o.side_d_digits)}`], ['rapp', o.rapp], ['tempo', o.time]];
      case 'speed_board':
        return [['side s', `${list(o.side_s_speeds_kmh)} km/h (vas vbs vcs), ${o.side_s_stripes} stripes`],
          ['side d', `${list(o.side_d_speeds_kmh)} km/h (vad vbd vcd), ${o.side_d_stripes} stripes`]];
      case 'slowdown_start': case 'slowdown_end': case 'slowdown_warning': case 'slowdown_lead':
        return [['lead board', o.lead_number], ['speed', o.speed_kmh === undefined ? '' : `${o.speed_kmh} km/h`],
          ['d_v', o.d_v], ['f_tt', o.f_tt]];
      case 'stop_marker':
        return [['station', `${o.station_name || ''} (entry ${o.station})`]];
      case 'indication_board':
        return [['text', o.text, 'keeps-blanks'], ['entry', o.text_entry]];
      case 'code_point':
        return [['code', o.code]];
      default:
        return [];
    }
  }

  function rowsOf(key, test) { return (rowsByKind[key] || []).filter(test); }
  // The description rows an object comes from.
  function rowsFor(o) {
    const m = o.position_m;
    const onGrid = (v) => Math.round(v / CELL_M) * CELL_M;
    switch (o.kind) {
      case 'signal': return rowsOf('segnale', (r) => r.from === m);
      case 'speed_board': return rowsOf('indicatori_vmax', (r) => r.from === m);
      case 'slowdown_start': return rowsOf('rallentamento', (r) => onGrid(r.from) === m);
      case 'slowdown_end': return rowsOf('rallentamento', (r) => onGrid(r.to) === m);
      case 'slowdown_warning': return rowsOf('rallentamento', (r) => onGrid(r.from - 1200) === m);
      case 'slowdown_lead': return rowsOf('rallentamento', (r) => m >= r.from - 1450 && m < r.from - 1200);
      case 'code_point': case 'code_cut': return rowsOf('abbattimento', (r) => onGrid(r.from) === m + CELL_M);
      case 'montagna_marker': return rowsOf('montagna', (r) => m >= r.from && m <= r.to);
      default: return [];
    }
  }

  function showDetails(m) {
    const box = $('details');
    box.textContent = '';
    const cell = cellAt(m);
    const position = positionOfCell(cell);
    html('h2', `${position} m (${km(position)}), cell ${cell}`, box);
    if (position > lineLength) html('p', `beyond the line's end (${km(lineLength)})`, box).className = 'muted';
    const object = objectByCell.get(cell);
    if (object && object.kind !== 'empty') {
      html('h3', kindName(object.kind), box);
      facts(box, objectFacts(object));
      for (const row of rowsFor(object)) html('code', row.text, box).className = 'row';
    }
    if (object && object.approach_mark) {
      html('h3', 'approach mark', box);
      html('p', object.approach_mark, box);
    }
    if (!object) html('p', 'no object here', box).className = 'muted';
    const run = runAt(position);
    html('h3', `Profile at ${position} m`, box);
    if (run) {
      const span = spans.find((s) => position >= s.from && position < s.to);
      const curve = curves.find((c) => position >= c.from && position < c.to);
      facts(box, [
        ['line speed', `${run.line_speed_kmh} km/h`],
        ['gradient', `${run.gradient_per_mille} \u2030`],
        ['adhesion', String(run.adhesion)],
        ['montagna', span ? `type ${span.type}, ${span.from}-${span.to} m` +
          (span.markers ? `, ${span.markers} markers` : '') : 'none'],
        ['curve', curve ? curve.meaning : 'none'],
        ['same profile', `${run.from_m}-${run.to_m} m`],
      ]);
    } else {
      html('p', 'beyond the cells', box).className = 'muted';
    }
    for (const s of slowdowns) {
      if (position >= s.from && position <= s.to) {
        html('p', `inside the slowdown ${s.from}-${s.to} m, ${s.speed} km/h`, box);
      }
    }
    for (const s of stations) {
      const [from, to] = platformOf(s);
      if (position >= from && position <= to) {
        html('p', `at the platform of ${s.name} (entry ${s.index}, ${from}-${to} m)`, box);
      }
    }
  }

  function select(m) {
    pinnedPosition = Math.floor(clamp(m, 0, lineLength) / CELL_M) * CELL_M;
    const object = objectByCell.get(cellAt(pinnedPosition));
    selectedStation = object && object.kind === 'stop_marker' ? object.station : null;
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

  const VIEW_KEYS = {
    ArrowLeft: () => pan(-0.2), ArrowRight: () => pan(0.2), '+': () => zoom(0.5), '=': () => zoom(0.5),
    '-': () => zoom(2), '0': () => setWindow(0, lineLength),
    Enter: () => select(pinnedPosition === null ? (view.from + view.to) / 2 : pinnedPosition),
    ArrowUp: () => select((pinnedPosition === null ? view.from : pinnedPosition) + CELL_M),
    ArrowDown: () => select((pinnedPosition === null ? view.from : pinnedPosition) - CELL_M),
  };
  function viewKey(event) {
    if (event.ctrlKey || event.metaKey || event.altKey || !VIEW_KEYS[event.key]) return;
    event.preventDefault();
    VIEW_KEYS[event.key]();
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
    svg.addEventListener('keydown', viewKey);
  }

  // After a row of a table takes the views somewhere, the keys go on
  // working there: the plan takes the focus.
  function focusViews() {
    $('plan').focus({ preventScroll: true });
    $('views').scrollIntoView({ block: 'nearest' });
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

  // The words an author may search a row by: the kind in English or the
  // description's key.
  const KIND_WORDS = {
    signal: 'segnale', segnale: 'segnale', slowdown: 'rallentamento', rallentamento: 'rallentamento',
    'speed board': 'indicatori_vmax', board: 'indicatori_vmax', indicatori_vmax: 'indicatori_vmax',
    curve: 'curva', curva: 'curva', curvas: 'curva', curvad: 'curva', montagna: 'montagna',
    'montagna span': 'montagna', span: 'montagna', tunnel: 'montagna', 'code point': 'abbattimento',
    'code cut': 'abbattimento', abbattimento: 'abbattimento',
  };
  const squeezed = (text) => text.toLowerCase().replace(/\s*,\s*/g, ',').replace(/\s+/g, ' ').trim();
  // A row by kind and position ("signal 15150", "curve at 16850"), the
  // nearest of its kind; or a row whose text holds the query.
  function findRow(query) {
    const q = squeezed(query);
    const byKind = /^([a-z_ ]+?)s?\s+(?:at\s+)?(\d+)\s*m?$/.exec(q);
    const key = byKind && KIND_WORDS[byKind[1]];
    if (key) {
      const m = Number(byKind[2]);
      let best = null;
      for (const row of rowsByKind[key]) {
        const distance = m >= row.from && m <= row.to ? 0 : Math.min(Math.abs(m - row.from), Math.abs(m - row.to));
        if (!best || distance < best.distance) best = { row, distance };
      }
      if (best) return best.row;
    }
    for (const kind of ROW_KINDS) {
      const row = rowsByKind[kind.key].find((r) => squeezed(r.text).includes(q));
      if (row) return row;
    }
    return null;
  }

  function chooseRow(row) {
    showStretch(row.from, row.to, row.from);
  }

  function search(text) {
    const query = text.trim().toLowerCase();
    if (!query) return 'type a station, a board text, a row (signal 1050) or a position such as km 29.0';
    const m = searchPosition(query);
    if (m !== null) {
      goTo(clamp(m, 0, lineLength), 1500);
      if (m > lineLength) return `${km(m)} lies beyond the line's end: showing its end, ${km(lineLength)}`;
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
    const row = findRow(query);
    if (row) { chooseRow(row); return `${row.kind.what} at ${row.from} m: ${row.text}`; }
    return `nothing found for "${text.trim()}"`;
  }

  // The station's stop marker when it has one, else its position.
  function goToStation(station) {
    goTo(stationPosition(station), 1500);
    selectedStation = station.index;
  }
  function stationPosition(station) {
    const marker = objects.find((o) => o.kind === 'stop_marker' && o.station === station.index);
    return marker ? marker.position_m : station.position_m;
  }

  // ---- Tables --------------------------------------------------------------

  // A table of rows; a long one shows its first rows and a button for the
  // rest. Choosing a row (click, Enter or space) calls onChoose.
  const FIRST_ROWS = 100;
  function table(parent, heading, rows, columns, onChoose) {
    const section = html('section', undefined, parent);
    html('h2', heading, section);
    if (!rows.length) { html('p', 'none', section).className = 'muted'; return; }
    const t = html('table', undefined, section);
    const head = html('tr', undefined, html('thead', undefined, t));
    for (const [label] of columns) html('th', label, head);
    const body = html('tbody', undefined, t);
    const addRows = (from, to) => {
      for (const row of rows.slice(from, to)) {
        const tr = html('tr', undefined, body);
        for (const [, value, className] of columns) {
          const td = html('td', String(value(row)), tr);
          if (className) td.className = className;
        }
        if (!onChoose) continue;
        tr.className = 'goes';
        tr.tabIndex = 0;
        tr.title = 'show it in the views';
        tr.addEventListener('click', () => { onChoose(row); focusViews(); });
        tr.addEventListener('keydown', (event) => {
          if (event.key === 'Enter' || event.key === ' ') { event.preventDefault(); onChoose(row); focusViews(); }
        });
      }
    };
    addRows(0, FIRST_ROWS);
    if (rows.length > FIRST_ROWS) {
      const more = html('button', `show all ${rows.length} rows`, section);
      more.type = 'button';
      more.addEventListener('click', () => { addRows(FIRST_ROWS, rows.length); more.remove(); });
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
    box.textContent = '';
    table(box, 'Stations (stazione)', stations, [
      ['entry', (s) => s.index], ['name', (s) => s.name, 'keeps-blanks'], ['position (m)', (s) => s.position_m],
      ['stop', (s) => s.stop], ['kind', (s) => s.kind],
      ['platform (m)', (s) => platformOf(s).join(' to ')], ['time', (s) => s.time],
    ], goToStation);
    for (const kind of ROW_KINDS) {
      const columns = [['km', (r) => km(r.from).slice(3)]];
      if (kind.key === 'curva') columns.push(['key', (r) => r.key]);
      kind.fields.forEach((field, i) => columns.push([field, (r) => (r.shown[i] === undefined ? '' : r.shown[i])]));
      if (kind.meaning) columns.push(['meaning', (r) => r.meaning]);
      columns.push(['description row', (r) => r.text, 'row']);
      table(box, `${kind.title} (${kind.key === 'curva' ? 'curvas, curvad' : kind.key})`, rowsByKind[kind.key],
        columns, chooseRow);
    }
    table(box, 'Indication board texts (cartello_indicatore)', boardTexts, [
      ['entry', (b) => b.index], ['text', (b) => b.text, 'keeps-blanks'],
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

  function drawHeader() {
    document.title = data.title;
    $('title').textContent = data.title;
    $('summary').textContent = `line ${km(lineLength).slice(3)} km, ${stations.length} stations, ` +
      `${objects.filter((o) => o.kind === 'signal').length} signals, ${track.length} plan points`;
    $('warnings').textContent = '';
    for (const warning of data.warnings || []) html('li', warning, $('warnings'));
  }

  // Shows another build of the scenario as the author left the page: the
  // same window of positions (within the new line; the whole line when it
  // showed the whole line), and the chosen station, by its entry, where the
  // new build has put it; a chosen station that is gone leaves nothing
  // chosen.
  function update(newData) {
    const whole = view.from <= 0 && view.to >= lineLength;
    take(newData);
    const width = whole ? lineLength : view.to - view.from;
    const station = selectedStation === null ? undefined : stations.find((s) => s.index === selectedStation);
    if (station) {
      pinnedPosition = Math.floor(stationPosition(station) / CELL_M) * CELL_M;
    } else if (selectedStation !== null || (pinnedPosition !== null && pinnedPosition > lineLength)) {
      pinnedPosition = null;
      selectedStation = null;
    }
    drawHeader();
    drawTables();
    if (pinnedPosition !== null) showDetails(pinnedPosition);
    else $('details').innerHTML = detailsHint;
    setWindow(view.from, view.from + width);
  }

  const detailsHint = $('details').innerHTML;
  drawHeader();
  $('zoom-whole').addEventListener('click', () => setWindow(0, lineLength));
  $('zoom-in').addEventListener('click', () => zoom(0.5));
  $('zoom-out').addEventListener('click', () => zoom(2));
  $('pan-left').addEventListener('click', () => pan(-0.25));
  $('pan-right').addEventListener('click', () => pan(0.25));
  $('search-form').addEventListener('submit', (event) => {
    event.preventDefault();
    searching = true;
    try {
      $('search-result').textContent = search($('search').value);
    } finally {
      searching = false;
    }
  });
  // With nothing focused (after a click on the page's text, say), the keys
  // of the views still work.
  document.addEventListener('keydown', (event) => {
    if (document.activeElement === document.body || document.activeElement === null) viewKey(event);
  });
  attach($('plan'));
  attach($('profile'));
  drawLegend();
  drawTables();
  draw();
  window.addEventListener('resize', draw);
  window.scenarioPage = { view, select, search, goTo, update };
})();
