// Quorix results page: when some sources were still answering as the page was
// written, asks the search's JSON answer about once a second until the result
// set is complete, then offers the results that arrived since, in a bar at the
// bottom of the window, without moving what the visitor is reading.
//
// The page marks the case with
//   <p class="sources_pending" data-quorix-answer="JSON URL"
//      data-quorix-total="RESULTS SHOWN" data-quorix-more="%d more results ...">
//     ... <a class="show_all_results" href="PAGE URL">...</a></p>
// and the template links this file with <script src="quorix-results.js" defer>.
// Without the mark, or without fetch, it does nothing; the link works alone.
(function () {
  'use strict';

  var POLL_INTERVAL_MS = 1000;
  var GIVE_UP_AFTER_MS = 90000;
  var DEFAULT_OFFER = '%d more results arrived: show them';

  // The answer's address when it lies on this page's origin, else null.
  function answerUrl(notice) {
    try {
      var url = new URL(notice.getAttribute('data-quorix-answer'), window.location.href);
      return url.origin === window.location.origin ? url.href : null;
    } catch (error) {
      return null;
    }
  }

  // An empty live region at the end of the page: filled later, it neither
  // moves the content above it nor goes unannounced.
  function addOfferRegion() {
    var region = document.createElement('div');
    region.className = 'quorix_more';
    region.setAttribute('role', 'status');
    document.body.appendChild(region);
    return region;
  }

  function offer(region, notice, count) {
    var link = document.createElement('a');
    var showAll = notice.querySelector('a.show_all_results');
    link.href = showAll ? showAll.href : window.location.href;
    var text = notice.getAttribute('data-quorix-more') || DEFAULT_OFFER;
    link.textContent = text.replace('%d', String(count));
    region.appendChild(link);
  }

  // The set is complete: offer what it holds beyond the page's count, or,
  // when nothing was added, take away the notice that sources are answering.
  function finish(answer, notice, region, shown) {
    var total = Number(answer.total);
    if (!Number.isFinite(total)) return;
    if (total > shown) {
      offer(region, notice, total - shown);
    } else if (notice.parentNode) {
      notice.parentNode.removeChild(notice);
    }
  }

  // The answer, or null for an HTTP error; a request still open after
  // `timeLeftMs` is given up.
  async function ask(url, timeLeftMs) {
    var controller = typeof AbortController === 'function' ? new AbortController() : null;
    var timer = controller && setTimeout(function () { controller.abort(); }, timeLeftMs);
    try {
      var response = await fetch(url, {
        credentials: 'same-origin',
        cache: 'no-store',
        headers: { Accept: 'application/json' },
        signal: controller ? controller.signal : undefined
      });
      if (!response.ok) return null;
      return await response.json();
    } finally {
      clearTimeout(timer);
    }
  }

  async function watch(notice, url, shown) {
    var region = addOfferRegion();
    var giveUpAt = Date.now() + GIVE_UP_AFTER_MS;
    while (Date.now() < giveUpAt) {
      await new Promise(function (resolve) { setTimeout(resolve, POLL_INTERVAL_MS); });
      var answer = await ask(url, Math.max(giveUpAt - Date.now(), POLL_INTERVAL_MS));
      if (!answer || typeof answer !== 'object') return;
      if (answer.complete === true) {
        finish(answer, notice, region, shown);
        return;
      }
    }
  }

  function start() {
    var notice = document.querySelector('.sources_pending[data-quorix-answer]');
    if (!notice || typeof window.fetch !== 'function') return;
    var url = answerUrl(notice);
    var shown = parseInt(notice.getAttribute('data-quorix-total'), 10);
    if (!url || !Number.isFinite(shown)) return;
    // A failed request or an answer that is not JSON ends the watch quietly:
    // the notice's own link still leads to every result.
    watch(notice, url, shown).catch(function () {});
  }

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', start);
  } else {
    start();
  }
}());
