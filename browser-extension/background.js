// The Ostrevane extension: lets the window switcher list, select and close this browser's
// tabs. It keeps one native-messaging port to Ostrevane's connector and answers three
// requests ("list", "activate", "close"); it tells the switcher when tabs or windows
// change, so that its list follows at once. The same file runs as Chromium's service
// worker and as Firefox's background script.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const HOST = "com.local.ostrevane";

// Texts are capped so that a list of many tabs stays a small message; a tab is found
// again by comparing capped texts.
const MAX_TITLE = 1024;
const MAX_URL = 8192;
const MAX_ICON_URL = 2048;
const MAX_ICON_DATA = 16384;
// Changes arrive in bursts (a page load updates title, address and icon): tell the
// switcher once per burst.
const CHANGE_DELAY_MS = 15;
const FIRST_RETRY_MS = 1000;
const LAST_RETRY_MS = 30000;

let port = null;
let retryMs = FIRST_RETRY_MS;
let changeTimer = null;
// Window ids, the most recently focused first.
let windowOrder = [];

function cap(text, limit) {
  return typeof text === "string" ? text.slice(0, limit) : text;
}

function iconAddress(tab) {
  const icon = tab.favIconUrl;
  if (typeof icon !== "string") return null;
  if (/^https?:/i.test(icon) && icon.length <= MAX_ICON_URL) return icon;
  if (/^data:/i.test(icon) && icon.length <= MAX_ICON_DATA) return icon;
  return null;
}

function bringToFront(windowId) {
  windowOrder = [windowId, ...windowOrder.filter((id) => id !== windowId)];
}

// The windows that hold tabs, front to back, each with its tabs in strip order.
async function windowsFrontToBack() {
  const tabs = await api.tabs.query({});
  const byWindow = new Map();
  for (const tab of tabs) {
    if (!byWindow.has(tab.windowId)) byWindow.set(tab.windowId, []);
    byWindow.get(tab.windowId).push(tab);
  }
  for (const id of byWindow.keys()) if (!windowOrder.includes(id)) windowOrder.push(id);
  return windowOrder
    .filter((id) => byWindow.has(id))
    .map((id) => ({ id, tabs: byWindow.get(id).sort((a, b) => a.index - b.index) }));
}

async function listTabs() {
  const rows = [];
  (await windowsFrontToBack()).forEach((window, w) => {
    for (const tab of window.tabs) {
      const row = [w + 1, tab.index + 1, tab.active, cap(tab.title ?? null, MAX_TITLE),
        tabAddress(tab)];
      const icon = iconAddress(tab);
      if (icon) row.push(icon);
      rows.push(row);
    }
  });
  return { type: "tabs", tabs: rows };
}

function tabAt(windows, windowIndex, tabIndex) {
  const window = windows[windowIndex - 1];
  return window ? window.tabs[tabIndex - 1] ?? null : null;
}

// Until its first page commits, Chromium gives a tab an empty address and the one it is
// loading as its pending address.
function tabAddress(tab) {
  return cap(tab.url || tab.pendingUrl || "", MAX_URL);
}

// The first tab whose address matches, or, for a tab recorded without one, whose title does.
function tabWithAddress(windows, url, title) {
  for (const window of windows) {
    for (const tab of window.tabs) {
      const tabURL = tabAddress(tab);
      if ((url !== "" && tabURL === url) || (url === "" && title !== "" && cap(tab.title ?? "", MAX_TITLE) === title)) {
        return tab;
      }
    }
  }
  return null;
}

// Chromium browsers trust the recorded position first; the others the address.
async function activate(request) {
  const windows = await windowsFrontToBack();
  const byPosition = () => tabAt(windows, request.windowIndex, request.tabIndex);
  const byAddress = () => tabWithAddress(windows, request.url ?? "", request.title ?? "");
  const tab = request.match === "position" ? byPosition() ?? byAddress() : byAddress() ?? byPosition();
  if (!tab) return { type: "result", ok: false };
  await api.tabs.update(tab.id, { active: true });
  await api.windows.update(tab.windowId, { focused: true });
  bringToFront(tab.windowId);
  return { type: "result", ok: true };
}

async function close(request) {
  const tab = tabAt(await windowsFrontToBack(), request.windowIndex, request.tabIndex);
  if (!tab) return { type: "result", ok: false };
  await api.tabs.remove(tab.id);
  return { type: "result", ok: true };
}

const handlers = { list: listTabs, activate, close };

async function answer(request) {
  const handler = handlers[request.type];
  let reply;
  try {
    reply = handler ? await handler(request) : { type: "error", message: "unknown request" };
  } catch (error) {
    reply = { type: "error", message: String(error) };
  }
  post({ ...reply, id: request.id });
}

function post(message) {
  if (!port) return;
  try {
    port.postMessage(message);
  } catch (error) {
    port = null; // disconnected meanwhile; onDisconnect reconnects
  }
}

function tabsChanged() {
  if (!port || changeTimer !== null) return;
  changeTimer = setTimeout(() => {
    changeTimer = null;
    post({ type: "changed" });
  }, CHANGE_DELAY_MS);
}

async function browserName() {
  if (api.runtime.getBrowserInfo) {
    const info = await api.runtime.getBrowserInfo();
    return `${info.name} ${info.version}`;
  }
  const match = /(Chromium|Chrome|Edg|OPR|Brave|Vivaldi)\/([\d.]+)/.exec(navigator.userAgent);
  return match ? `${match[1]} ${match[2]}` : "Chromium";
}

function connect() {
  if (port) return;
  try {
    port = api.runtime.connectNative(HOST);
  } catch (error) {
    port = null;
    scheduleReconnect();
    return;
  }
  port.onMessage.addListener((message) => {
    retryMs = FIRST_RETRY_MS; // the connector is there
    if (message && typeof message.id === "number") answer(message);
  });
  port.onDisconnect.addListener(() => {
    port = null;
    scheduleReconnect();
  });
  browserName().then((browser) => post({
    type: "hello",
    version: api.runtime.getManifest().version,
    browser,
  }));
}

// The connector is started again, with growing pauses while it cannot be (not installed yet).
function scheduleReconnect() {
  const delay = retryMs;
  retryMs = Math.min(retryMs * 2, LAST_RETRY_MS);
  setTimeout(connect, delay);
}

async function learnWindowOrder() {
  try {
    const windows = await api.windows.getAll({});
    const focused = windows.find((w) => w.focused) ?? (await api.windows.getLastFocused({}).catch(() => null));
    windowOrder = windows.map((w) => w.id);
    if (focused) bringToFront(focused.id);
  } catch (error) {
    windowOrder = [];
  }
}

// Listeners are registered at once, so that an event wakes a stopped service worker.
api.windows.onFocusChanged.addListener((windowId) => {
  if (windowId !== api.windows.WINDOW_ID_NONE) bringToFront(windowId);
  tabsChanged();
});
api.windows.onCreated.addListener((window) => {
  bringToFront(window.id);
  tabsChanged();
});
api.windows.onRemoved.addListener((windowId) => {
  windowOrder = windowOrder.filter((id) => id !== windowId);
  tabsChanged();
});
for (const event of ["onCreated", "onRemoved", "onMoved", "onAttached", "onDetached", "onActivated", "onReplaced"]) {
  api.tabs[event].addListener(tabsChanged);
}
api.tabs.onUpdated.addListener((tabId, change) => {
  if ("title" in change || "url" in change || "favIconUrl" in change) tabsChanged();
});

learnWindowOrder().then(connect);
