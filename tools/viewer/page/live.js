// The part of the page that scenario_inspect --watch --serve adds: it
// follows the builds of the descriptions being edited without a reload,
// through the server's stream of events, and lists the problems of the last
// save above the drawing, which stays that of the last good build.
'use strict';

(function () {
  const state = JSON.parse(document.getElementById('live-state').textContent);
  let generation = state.generation;
  let build = state.build;

  const box = document.createElement('section');
  box.id = 'live';
  box.setAttribute('aria-live', 'polite');
  box.setAttribute('aria-label', 'Last save');
  const status = document.createElement('p');
  status.id = 'live-status';
  const problems = document.createElement('ul');
  problems.id = 'live-problems';
  box.append(status, problems);
  document.querySelector('header').after(box);

  const plural = (n, word) => `${n} ${word}${n === 1 ? '' : 's'}`;
  const clock = () => new Date().toLocaleTimeString();

  function where(p) {
    if (!p.file) return '';
    return p.file + (p.line ? `:${p.line}` + (p.column ? `:${p.column}` : '') : '');
  }

  function showSave(save) {
    const errors = save.problems.filter((p) => p.error).length;
    const warnings = save.problems.length - errors;
    box.className = errors || !save.built ? 'problems' : warnings ? 'warnings-only' : 'clean';
    // Before any good build there is nothing to draw: the views stay hidden.
    document.body.classList.toggle('live-no-build', !save.shows_build);
    if (save.built) {
      status.textContent = `Built at ${clock()}` + (warnings ? ` with ${plural(warnings, 'warning')}` : '') +
        '; the page follows every save.';
    } else {
      status.textContent = `The last save (${clock()}) was not built` +
        (errors ? `: ${plural(errors, 'error')}` : '') + (warnings ? `, ${plural(warnings, 'warning')}` : '') +
        (save.shows_build ? '. Below is the last good build.'
          : '. Nothing is built yet: the page draws the first save that builds.');
    }
    problems.textContent = '';
    for (const p of save.problems) {
      const item = document.createElement('li');
      item.className = p.error ? 'error' : 'warning';
      const place = document.createElement('span');
      place.className = 'where';
      place.textContent = where(p);
      item.append(place, `${place.textContent ? ': ' : ''}${p.error ? 'error' : 'warning'}: ${p.message}`);
      problems.append(item);
    }
  }

  // One request at a time; a build announced meanwhile is fetched after it.
  let fetching = false;
  let again = false;
  async function refresh() {
    if (fetching) { again = true; return; }
    fetching = true;
    try {
      const response = await fetch(`state.json?build=${build}`, { cache: 'no-store' });
      const next = await response.json();
      // The views are shown first: a first build is drawn at their size.
      showSave(next.save);
      if (next.page) window.scenarioPage.update(next.page);
      build = next.build;
      generation = next.generation;
      window.scenarioPage.generation = generation;
    } catch (error) {
      status.textContent = `Could not fetch the last build (${error}); it is tried again at the next save.`;
    } finally {
      fetching = false;
      if (again) { again = false; refresh(); }
    }
  }

  showSave(state.save);
  window.scenarioPage.generation = generation;
  const events = new EventSource('events');
  events.addEventListener('build', (event) => {
    if (Number(event.data) !== generation) refresh();
  });
  events.addEventListener('open', () => {
    if (box.className === 'gone') refresh();
  });
  events.addEventListener('error', () => {
    if (events.readyState === EventSource.CLOSED || events.readyState === EventSource.CONNECTING) {
      box.className = 'gone';
      status.textContent = 'The watch does not answer (stopped?): the page shows the last build it sent.';
    }
  });
})();
