// sensorview's page: one WebSocket brings the phones' readings, the status and the
// camera's frames; dygraphs draws every field of each measurement over the last
// seconds, a canvas the track of the location fixes. window.sensorview holds the
// page's state, so that a test (or a curious person's console) can read it.
'use strict';

(function () {
  const HORIZONTAL_LOCATION = 4;
  const MAX_FIXES = 3600;
  const MAX_LATENCIES = 20000;
  const REDRAW_MS = 250;
  // Fields drawn together in one chart; every other field gets a chart of its own.
  const GROUP_OF = {
    X: 'X, Y, Z', Y: 'X, Y, Z', Z: 'X, Y, Z',
    Azimuth: 'azimuth, pitch, roll', Pitch: 'azimuth, pitch, roll', Roll: 'azimuth, pitch, roll',
    TrueHeading: 'headings', MagneticHeading: 'headings',
  };
  const UNIT_OF = {
    1: 'm/s²', 2: 'rad/s', 5: 'T', 6: 'degrees',
    Latitude: 'degrees', Longitude: 'degrees', Altitude: 'm', HorizontalAccuracy: 'm',
    VerticalAccuracy: 'm', Course: 'degrees', Speed: 'm/s', 'headings': 'degrees',
    HeadingAccuracy: 'degrees',
  };

  // Up to eight significant digits, without an exponent where one can be avoided:
  // 47.377202 and 0.000021 both stay readable in the legend.
  const readable = (value) => String(Number(Number(value).toPrecision(8)));

  // dygraphs' own ticks of the y-axis, each labelled with the decimals their spacing
  // needs and no more, the same for every tick: 47.37715 and 47.3772 side by side,
  // not 47.37715000000001 cut off by the label's box.
  function yTicks(low, high, pixels, opts, chart, values) {
    const ticks = Dygraph.numericTicks(low, high, pixels, opts, chart, values);
    if (ticks.length < 2) return ticks;
    const step = Math.abs(ticks[1].v - ticks[0].v);
    const decimals = Math.min(12, Math.max(0, Math.ceil(-Math.log10(step) - 1e-6)));
    for (const tick of ticks) tick.label = (Math.abs(tick.v) < step / 2 ? 0 : tick.v).toFixed(decimals);
    return ticks;
  }

  const view = {
    connected: false,
    hello: null,
    status: null,
    windowSeconds: 10,
    phones: {},
    missed: { readings: 0, frames: 0 },
    frames: { received: 0, shown: 0, width: 0, height: 0 },
    latencies: [], // ms from a reading's time stamp to its arrival at the page's WebSocket
    messages: 0,
  };
  window.sensorview = view;

  const byId = (id) => document.getElementById(id);
  function element(tag, className, text) {
    const made = document.createElement(tag);
    if (className) made.className = className;
    if (text !== undefined) made.textContent = text;
    return made;
  }

  // ---- phones, measurements and charts ----

  function addPhone(intro) {
    const section = element('section', 'phone');
    section.dataset.phone = intro.name;
    section.append(element('h2', '', intro.name + ' — ' + intro.app + ' app, UDP port ' + intro.port));
    const body = element('div', 'phone-body');
    const side = element('div', 'side');
    side.append(element('h3', '', 'readings per second'));
    const rates = element('table', 'rates');
    rates.innerHTML = '<thead><tr><th></th><th>per s</th><th>in all</th></tr></thead><tbody></tbody>';
    side.append(rates);
    side.append(element('h3', '', 'track of the location fixes'));
    const track = element('canvas', 'track');
    track.width = 320;
    track.height = 320;
    side.append(track, element('p', 'note track-note', 'no fix yet'));
    const charts = element('div', 'charts');
    body.append(charts, side);
    section.append(body);
    byId('phones').append(section);
    view.phones[intro.name] = {
      intro, section, charts, rates, track, measurements: {}, fixes: [], trackDirty: false,
    };
  }

  function measurementName(code) {
    const names = view.hello ? view.hello.measurements : {};
    return names[code] || 'measurement ' + code;
  }

  function groupOf(phone, code, fieldNames) {
    let measurement = phone.measurements[code];
    if (!measurement) {
      measurement = phone.measurements[code] = { groups: {}, count: 0 };
    }
    const groups = [];
    for (const field of fieldNames) {
      const key = GROUP_OF[field] || field;
      let group = measurement.groups[key];
      if (!group) {
        group = measurement.groups[key] = {
          key, fields: [], rows: [], chart: null, dirty: true, box: null,
          unit: UNIT_OF[GROUP_OF[field] ? code : field] || UNIT_OF[key] || '',
        };
        const box = element('div', 'chart-box');
        box.dataset.measurement = code;
        box.dataset.group = key;
        box.append(element('h3', '', measurementName(code) + ': ' + key +
                           (group.unit ? ' (' + group.unit + ')' : '')));
        const plot = element('div', 'chart');
        box.append(plot);
        group.box = box;
        group.plot = plot;
        phone.charts.append(box);
      }
      if (!group.fields.includes(field)) group.fields.push(field);
      if (!groups.includes(group)) groups.push(group);
    }
    return groups;
  }

  function addReadings(message) {
    const phone = view.phones[message.phone];
    if (!phone) return;
    for (const delay of message.delays) view.latencies.push(delay);
    for (const [code, time, fields] of message.r) {
      const names = Object.keys(fields);
      for (const group of groupOf(phone, code, names)) {
        const row = [time];
        for (const field of group.fields) row.push(field in fields ? fields[field] : null);
        group.rows.push(row);
        group.dirty = true;
      }
      phone.measurements[code].count += 1;
      if (code === HORIZONTAL_LOCATION && 'Latitude' in fields && 'Longitude' in fields) {
        phone.fixes.push({ t: time, lat: fields.Latitude, lon: fields.Longitude,
                           accuracy: fields.HorizontalAccuracy });
        if (phone.fixes.length > MAX_FIXES) phone.fixes.shift();
        phone.trackDirty = true;
      }
    }
    if (view.latencies.length > MAX_LATENCIES) view.latencies.splice(0, view.latencies.length - MAX_LATENCIES);
  }

  // Keeps the rows of the last windowSeconds before the newest.
  function trim(group) {
    const rows = group.rows;
    if (rows.length === 0) return;
    const oldest = rows[rows.length - 1][0] - view.windowSeconds * 1000;
    let first = 0;
    while (first < rows.length && rows[first][0] < oldest) first += 1;
    if (first > 0) rows.splice(0, first);
  }

  function drawGroup(group) {
    trim(group);
    if (group.rows.length === 0) return;
    const newest = group.rows[group.rows.length - 1][0];
    const dateWindow = [newest - view.windowSeconds * 1000, newest];
    const labels = ['time'].concat(group.fields);
    if (!group.chart) {
      group.chart = new Dygraph(group.plot, group.rows, {
        labels, labelsUTC: true, dateWindow, legend: 'always', labelsSeparateLines: false,
        strokeWidth: 1.5, connectSeparatedPoints: true, drawPoints: group.rows.length < 30,
        axisLabelFontSize: 12, animatedZooms: false, interactionModel: {},
        axes: {
          // Times are milliseconds; dygraphs' own date ticks and labels show them.
          x: { ticker: Dygraph.dateTicker, axisLabelFormatter: Dygraph.dateAxisLabelFormatter,
               valueFormatter: Dygraph.dateValueFormatter },
          // Room for a latitude to the metre (47.37715); the unit is in the chart's
          // heading, so no axis title takes the labels' place.
          y: { ticker: yTicks, axisLabelWidth: 72, valueFormatter: readable },
        },
      });
    } else {
      group.chart.updateOptions({ file: group.rows, labels, dateWindow,
                                  drawPoints: group.rows.length < 30 });
    }
    group.dirty = false;
  }

  // ---- the track ----

  function drawTrack(phone) {
    phone.trackDirty = false;
    const canvas = phone.track;
    const context = canvas.getContext('2d');
    context.clearRect(0, 0, canvas.width, canvas.height);
    const fixes = phone.fixes;
    const note = phone.section.querySelector('.track-note');
    if (fixes.length === 0) return;
    // Metres east and north of the first fix (flat earth: a walk is small).
    const lat0 = fixes[0].lat;
    const lon0 = fixes[0].lon;
    const metresPerDegree = 111320;
    const east = (fix) => (fix.lon - lon0) * metresPerDegree * Math.cos(lat0 * Math.PI / 180);
    const north = (fix) => (fix.lat - lat0) * metresPerDegree;
    let minE = Infinity, maxE = -Infinity, minN = Infinity, maxN = -Infinity;
    for (const fix of fixes) {
      const a = fix.accuracy || 0;
      minE = Math.min(minE, east(fix) - a); maxE = Math.max(maxE, east(fix) + a);
      minN = Math.min(minN, north(fix) - a); maxN = Math.max(maxN, north(fix) + a);
    }
    const margin = 12;
    const span = Math.max(maxE - minE, maxN - minN, 10);
    const scale = (canvas.width - 2 * margin) / span;
    const x = (fix) => margin + (east(fix) - minE) * scale;
    const y = (fix) => canvas.height - margin - (north(fix) - minN) * scale;
    context.fillStyle = 'rgba(33, 150, 243, 0.08)';
    context.strokeStyle = 'rgba(33, 150, 243, 0.35)';
    for (const fix of fixes) {
      if (!(fix.accuracy > 0)) continue;
      context.beginPath();
      context.arc(x(fix), y(fix), fix.accuracy * scale, 0, 2 * Math.PI);
      context.fill();
    }
    context.strokeStyle = '#1565c0';
    context.lineWidth = 2;
    context.beginPath();
    fixes.forEach((fix, i) => (i === 0 ? context.moveTo(x(fix), y(fix)) : context.lineTo(x(fix), y(fix))));
    context.stroke();
    const last = fixes[fixes.length - 1];
    context.fillStyle = '#d32f2f';
    context.beginPath();
    context.arc(x(last), y(last), 4, 0, 2 * Math.PI);
    context.fill();
    // A scale bar of a round number of metres.
    const bar = Math.pow(10, Math.floor(Math.log10(span / 3)));
    context.fillStyle = '#222';
    context.fillRect(margin, canvas.height - 6, bar * scale, 2);
    context.font = '11px sans-serif';
    context.fillText(bar + ' m', margin + bar * scale + 4, canvas.height - 3);
    note.textContent = fixes.length + ' fixes; last ' + last.lat.toFixed(6) + ', ' + last.lon.toFixed(6) +
      (last.accuracy !== undefined && last.accuracy !== null ? ' ± ' + last.accuracy.toFixed(1) + ' m' : '');
  }

  // ---- status, accounting, misses, frames ----

  function showStatus(status) {
    view.status = status;
    byId('clients').textContent = status.clients + (status.clients === 1 ? ' browser' : ' browsers');
    for (const [name, phoneStatus] of Object.entries(status.phones)) {
      const phone = view.phones[name];
      if (!phone) continue;
      const body = phone.rates.tBodies[0];
      body.textContent = '';
      for (const [code, total] of Object.entries(phoneStatus.totals)) {
        const row = element('tr');
        row.append(element('td', '', measurementName(code)),
                   element('td', '', (phoneStatus.rates[code] || 0).toFixed(1)),
                   element('td', '', String(total)));
        body.append(row);
      }
    }
    const body = byId('accounting').tBodies[0];
    body.textContent = '';
    for (const row of status.accounting) {
      const line = element('tr');
      line.append(element('td', '', row.label));
      for (const key of ['delivered', 'fromOtherSender', 'malformed', 'droppedBySystem']) {
        line.append(element('td', '', row[key] === null ? '—' : String(row[key])));
      }
      body.append(line);
    }
    if (status.camera) {
      byId('frame-caption').textContent = view.hello.camera.id + ', ' + view.hello.camera.resolution +
        ': ' + status.camera.rate.toFixed(1) + ' frames a second from the camera, ' +
        view.frames.received + ' shown here';
    }
  }

  function showMissed(missed) {
    view.missed = missed;
    byId('missed').textContent = 'this browser fell behind and missed ' + missed.readings +
      ' readings and ' + missed.frames + ' frames';
  }

  // Frames are decoded off the page's thread, one at a time; a frame that comes
  // while one is decoded waits, and a newer one replaces it.
  let decoding = false;
  let waitingFrame = null;
  function showFrame(blob) {
    view.frames.received += 1;
    if (decoding) {
      waitingFrame = blob;
      return;
    }
    decoding = true;
    createImageBitmap(blob).then((bitmap) => {
      const canvas = byId('frame');
      canvas.width = bitmap.width;
      canvas.height = bitmap.height;
      canvas.getContext('2d').drawImage(bitmap, 0, 0);
      view.frames.shown += 1;
      view.frames.width = bitmap.width;
      view.frames.height = bitmap.height;
      bitmap.close();
    }).catch(() => {
      view.frames.failed = (view.frames.failed || 0) + 1;
    }).finally(() => {
      decoding = false;
      if (waitingFrame) {
        const next = waitingFrame;
        waitingFrame = null;
        view.frames.received -= 1; // counted when it came
        showFrame(next);
      }
    });
  }

  function hello(message) {
    view.hello = message;
    byId('phones').textContent = '';
    view.phones = {};
    for (const intro of message.phones) addPhone(intro);
    byId('camera').hidden = !message.camera;
  }

  function connected(live) {
    view.connected = live;
    const state = byId('connection');
    state.textContent = live ? 'live' : 'disconnected (reload to try again)';
    state.className = live ? 'state live' : 'state down';
  }

  function receive(event) {
    const message = event.data;
    if (message.type === 'open') return connected(true);
    if (message.type === 'close') return connected(false);
    view.messages += 1;
    if (message.type === 'frame') showFrame(message.blob);
    else if (message.type === 'hello') hello(message);
    else if (message.type === 'readings') addReadings(message);
    else if (message.type === 'status') showStatus(message);
    else if (message.type === 'missed') showMissed(message);
  }

  // The WebSocket lives in a worker (live_socket.js), which passes each message on;
  // the page holds the worker for as long as it is open.
  let live = null;
  function connect() {
    live = new Worker('/live_socket.js');
    live.onmessage = receive;
  }

  function redraw() {
    for (const phone of Object.values(view.phones)) {
      for (const measurement of Object.values(phone.measurements)) {
        for (const group of Object.values(measurement.groups)) {
          if (group.dirty) drawGroup(group);
        }
      }
      if (phone.trackDirty) drawTrack(phone);
    }
  }

  // What a chart holds, read back through dygraphs' own interface: the rows of one
  // field of one measurement, oldest first (for tests).
  view.chartValues = function (phoneName, code, field) {
    const phone = view.phones[phoneName];
    const measurement = phone && phone.measurements[code];
    if (!measurement) return [];
    for (const group of Object.values(measurement.groups)) {
      const column = group.fields.indexOf(field) + 1;
      if (column === 0 || !group.chart) continue;
      const values = [];
      for (let row = 0; row < group.chart.numRows(); row += 1) values.push(group.chart.getValue(row, column));
      return values;
    }
    return [];
  };

  function start() {
    const input = byId('window');
    input.addEventListener('change', () => {
      const seconds = Number(input.value);
      if (seconds >= 1 && seconds <= 300) view.windowSeconds = seconds;
      for (const phone of Object.values(view.phones)) {
        for (const measurement of Object.values(phone.measurements)) {
          for (const group of Object.values(measurement.groups)) group.dirty = true;
        }
      }
    });
    view.windowSeconds = Number(input.value) || 10;
    connect();
    setInterval(redraw, REDRAW_MS);
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();
}());
