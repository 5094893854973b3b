// The installed page: a service worker keeps the whole site for playing offline (see
// service_worker.js). When a visit finds a new version published, the worker takes it and this
// page runs it at once if no key has reached the game yet, and else at the next visit: a match
// in play is never cut short.
import { page } from './page.js';
if ('serviceWorker' in navigator) {
  const updating = navigator.serviceWorker.controller !== null; // served by an earlier worker
  navigator.serviceWorker.addEventListener('controllerchange', () => {
    if (updating && !page.begun) location.reload();
  });
  // After the first frame, so that caching the site does not hold it up.
  window.addEventListener('load', () => {
    navigator.serviceWorker.register('service_worker.js').catch((error) => {
      console.warn('voltaro: no offline play:', error);
    });
  });
}
