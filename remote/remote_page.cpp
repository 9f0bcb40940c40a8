// The page of the web remote: the document, its style and its script, served as three files so
// that the page's policy runs no inline script or style; nothing comes from another site, so it
// works on a network without the internet. And the page that asks for the token.

#include "remote/remote_api.h"

namespace kalvento {

const std::string& remotePage() {
    static const std::string page = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>KALVENTO PLAYER remote</title>
<link rel="stylesheet" href="/app.css">
</head><body>
<header><b>KALVENTO PLAYER</b><span id="state" class="off">connecting</span></header>
<main>
<section><h3>Shown clip</h3><img id="frame" alt="the shown clip">
<p>Folder <b id="folder">-</b> <span id="folder-name"></span> &middot; clip <b id="clip">-</b> of <b id="clip-count">-</b></p></section>
<section><h3>Camera</h3><img id="camera" alt="the camera picture" hidden><p id="camera-off">The camera is off.</p></section>
<section><h3>Motion, last 60 s</h3><canvas id="plot" width="600" height="160"></canvas>
<p>own <b id="own">-</b> &middot; shared <b id="shared">-</b> &middot; threshold <b id="threshold">-</b></p>
<input id="slider" type="range" min="0" max="50000" step="8" aria-label="threshold">
<div><button id="threshold-down" data-step="-8">threshold &minus;</button><button id="threshold-up" data-step="8">threshold +</button><button data-key="g">calibrate</button></div></section>
<section><h3>Steer</h3>
<div><button id="prev-folder" data-key="p">&#9664; folder</button><button id="next-folder" data-key="n">folder &#9654;</button>
<button data-key="J">random clip</button><button data-key="TAB">automatic replay</button>
<button data-key="q">camera on/off</button><button data-key="u">QR codes</button><button data-key="ESC">pause</button><button data-key="ENTER">resume</button>
<button id="osd" disabled>OSD level</button></div>
<p id="greyed" hidden></p>
<form id="key-form"><input id="key" maxlength="5" size="6" placeholder="key"><button>send key</button></form>
<p id="question-box">Question: <span id="question">none</span> <span id="answer-state"></span></p>
<form id="answer-form"><input id="answer" maxlength="250" placeholder="answer"><button>answer</button></form>
<p id="error"></p></section>
<section><h3>Numbers</h3><table id="numbers"></table></section>
</main>
<script src="/app.js"></script>
</body></html>
)PAGE";
    return page;
}

const std::string& remotePageStyle() {
    static const std::string style = R"STYLE(body{margin:0;font:15px/1.4 system-ui,sans-serif;background:#111;color:#eee;overflow-wrap:anywhere}
header{padding:8px 12px;background:#222;display:flex;justify-content:space-between;flex-wrap:wrap;gap:8px}
main{display:grid;grid-template-columns:minmax(0,1fr) minmax(0,1fr);gap:12px;padding:12px}
section{background:#1c1c1c;border-radius:8px;padding:10px;min-width:0}
img,canvas{width:100%;background:#000;border-radius:4px;display:block}
canvas{height:160px}
button,input{font:inherit;min-height:44px;padding:8px 12px;margin:3px;border-radius:6px;border:1px solid #555;background:#2d2d2d;color:#eee}
button:disabled{opacity:.4}
input[type=range]{width:95%}
table{width:100%;border-collapse:collapse;table-layout:fixed}td{padding:2px 4px;border-bottom:1px solid #2a2a2a}
td:first-child{width:40%}
td:last-child{text-align:right;font-variant-numeric:tabular-nums}
#state.off{color:#f66}#error{color:#f96;min-height:1.2em}
[hidden]{display:none!important}
@media (max-width:600px){main{grid-template-columns:minmax(0,1fr)}}
#greyed{color:#bbb;font-size:13px}
.login{max-width:420px;margin:40px auto;padding:16px}
.login input{width:100%;box-sizing:border-box}
)STYLE";
    return style;
}

const std::string& remotePageScript() {
    static const std::string script = R"SCRIPT("use strict";
const token = new URLSearchParams(location.search).get("token") || "";
const withToken = u => token ? u + (u.includes("?") ? "&" : "?") + "token=" + encodeURIComponent(token) : u;
const $ = id => document.getElementById(id);
let status = null, allowed = [], samples = [], lastShown = "";
function post(path, body) {
  return fetch(withToken("/api/v1/" + path), {method: "POST", headers: {"Content-Type": "application/json"}, body: JSON.stringify(body)})
    .then(r => r.json().then(j => { $("error").textContent = r.ok ? (j.used ? "the player took the answer" : "") : (j.error || r.status); }))
    .catch(e => { $("error").textContent = String(e); });
}
document.querySelectorAll("button[data-key]").forEach(b => b.addEventListener("click", () => post("key", {key: b.dataset.key})));
$("key-form").addEventListener("submit", e => { e.preventDefault(); post("key", {key: $("key").value}); });
$("answer-form").addEventListener("submit", e => { e.preventDefault(); post("answer", {text: $("answer").value}); });
$("slider").addEventListener("change", () => post("threshold", {value: Number($("slider").value)}));
// The steps of the v and V keys, set as a value, so they need no key on the list.
document.querySelectorAll("button[data-step]").forEach(b => b.addEventListener("click", () => status &&
  post("threshold", {value: Math.max(0, status.motion.QBN_threshold + Number(b.dataset.step))})));
$("osd").addEventListener("click", () => status && status.osdKey && post("key", {key: status.osdKey}));
function show(s) {
  status = s;
  $("folder").textContent = s.folder.number; $("folder-name").textContent = s.folder.name;
  $("clip").textContent = s.clip.index; $("clip-count").textContent = s.clip.count;
  $("own").textContent = s.motion.DifferenceSum; $("shared").textContent = s.motion.DiffSum;
  $("threshold").textContent = s.motion.QBN_threshold;
  if (document.activeElement !== $("slider")) $("slider").value = s.motion.QBN_threshold;
  $("question").textContent = s.question || "none";
  $("camera").hidden = !s.camera.on; $("camera-off").hidden = s.camera.on;
  allowed = s.keys || [];
  const greyed = [];
  const offer = (b, key) => { b.disabled = !allowed.includes(key);
    b.title = !key ? "no on-screen display" : b.disabled ? key + " is not on the player's --http-keys list" : "";
    if (b.disabled && key) greyed.push(b.textContent.trim() + " (" + key + ")"); };
  document.querySelectorAll("button[data-key]").forEach(b => offer(b, b.dataset.key));
  offer($("osd"), s.osdKey);
  $("greyed").hidden = !greyed.length;
  $("greyed").textContent = greyed.length ? "Greyed buttons need their key on the player's --http-keys list: " + greyed.join(", ") : "";
  const answer = s.answer || {};
  $("answer-state").textContent = !s.question ? "" : answer.answerable ? "(answer it here)" :
    "(answered at the player" + (answer.key ? "; key " + answer.key + " is not on --http-keys or a terminal answers it)" : ")");
  const rows = [["engine", s.engine], ["camera", s.camera.on ? "on " + (s.camera.source || "#" + s.camera.channel) : "off"],
    ["margin", s.motion.margin.toFixed(2)], ["turns per second", s.turnsPerSecond.toFixed(1)], ["OSD level", s.osdLevel],
    ...(s.engine === "gesture" ? [["gesture", s.gesture.name + " phase " + s.gesture.phase + " speed " + s.gesture.speed + " accel " + s.gesture.acceleration + " width " + s.gesture.width]] : []),
    ["automatic replay", s.autoReplay ? "on" : "off"], ["uptime", Math.round(s.uptime) + " s"],
    ["OSC keys / motion / dropped", s.osc.keys + " / " + s.osc.motion + " / " + s.osc.dropped],
    ["web refused", s.http.unauthorised + s.http.foreignOrigin + s.http.tooLarge + s.http.badRequest + s.http.notFound + s.http.keysRefused]];
  $("numbers").replaceChildren(...rows.map(([k, v]) => { const tr = document.createElement("tr");
    tr.innerHTML = "<td></td><td></td>"; tr.cells[0].textContent = k; tr.cells[1].textContent = v; return tr; }));
  const shown = s.folder.number + "/" + s.clip.index;
  if (shown !== lastShown) { lastShown = shown; refreshPictures(); }
  for (const [t, own, shared, thr] of s.samples || []) samples.push({t, own, shared, thr});
  if (!s.samples || !s.samples.length) samples.push({t: s.uptime, own: s.motion.DifferenceSum, shared: s.motion.DiffSum, thr: s.motion.QBN_threshold});
  const cut = s.uptime - 60; while (samples.length && samples[0].t < cut) samples.shift();
  draw(s.uptime);
}
function draw(now) {
  const c = $("plot"), g = c.getContext("2d"), w = c.width, h = c.height;
  g.fillStyle = "#000"; g.fillRect(0, 0, w, h);
  const top = Math.max(1, ...samples.map(p => Math.max(p.own, p.shared, p.thr))) * 1.1;
  const x = t => w - (now - t) / 60 * w, y = v => h - v / top * h;
  const line = (key, colour) => { g.strokeStyle = colour; g.beginPath();
    samples.forEach((p, i) => i ? g.lineTo(x(p.t), y(p[key])) : g.moveTo(x(p.t), y(p[key]))); g.stroke(); };
  g.lineWidth = 2; line("shared", "#48f"); line("own", "#4f4");
  const last = samples.length ? samples[samples.length - 1].thr : 0;
  g.strokeStyle = "#f44"; g.beginPath(); g.moveTo(0, y(last)); g.lineTo(w, y(last)); g.stroke();
  c.dataset.drawn = String(Number(c.dataset.drawn || 0) + 1);
}
function refreshPictures() {
  const t = Date.now();
  $("frame").src = withToken("/api/v1/frame.jpg?t=" + t);
  if (status && status.camera.on) $("camera").src = withToken("/api/v1/camera.jpg?t=" + t);
}
function poll() { fetch(withToken("/api/v1/status")).then(r => r.json()).then(show).catch(() => {}); }
function connect() {
  const ws = new WebSocket(withToken((location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/api/v1/ws"));
  ws.onopen = () => { $("state").textContent = "live"; $("state").className = ""; };
  ws.onmessage = e => show(JSON.parse(e.data));
  ws.onclose = () => { $("state").textContent = "reconnecting"; $("state").className = "off"; setTimeout(connect, 2000); };
}
poll(); connect(); setInterval(refreshPictures, 500); refreshPictures();
setInterval(() => { if ($("state").className === "off") poll(); }, 1000);
)SCRIPT";
    return script;
}

const std::string& tokenPage() {
    static const std::string page = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>KALVENTO PLAYER remote: token</title>
<link rel="stylesheet" href="/app.css">
</head><body><form class="login" method="get" action="/">
<h2>KALVENTO PLAYER remote</h2>
<p>This player wants its token. It is printed where the player started (the line
"Web remote: http://...?token=..."), and it is in the settings file or the token file of
the service.</p>
<p><label>Token <input id="token" name="token" type="password" autocomplete="current-password" required autofocus></label></p>
<p><button>Open the remote</button></p>
</form></body></html>
)PAGE";
    return page;
}

}  // namespace kalvento
