// What the page keeps between visits (the level, an online seat's token). A browser may refuse
// storage altogether (a private window, blocked cookies): then every access throws, and the page
// plays on with nothing remembered.

export function stored(key) {
  try {
    return localStorage.getItem(key);
  } catch (error) {
    return null;
  }
}

export function store(key, value) {
  try {
    localStorage.setItem(key, value);
  } catch (error) {
    // not remembered
  }
}

export function forget(key) {
  try {
    localStorage.removeItem(key);
  } catch (error) {
    // nothing was remembered
  }
}
