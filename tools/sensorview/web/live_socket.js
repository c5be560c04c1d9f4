// sensorview's WebSocket, received in a worker of its own: the page's thread
// spends tens of milliseconds at a time drawing charts and the camera's picture,
// and a message that came meanwhile would wait for it. Here each message is taken
// at once, its readings' delays measured on arrival, and it is handed to the page.
'use strict';

const socket = new WebSocket('ws://' + self.location.host + '/live');
socket.binaryType = 'blob';

socket.onopen = () => self.postMessage({ type: 'open' });
socket.onclose = () => self.postMessage({ type: 'close' });

socket.onmessage = (event) => {
  const now = Date.now(); // before any work on the message
  if (typeof event.data !== 'string') {
    self.postMessage({ type: 'frame', blob: event.data });
    return;
  }
  const message = JSON.parse(event.data);
  if (message.type === 'readings') {
    // The time stamps are the computer's local time counted as UTC: shifted back
    // by the zone's offset, they are the readings' arrival times.
    const offset = new Date(now).getTimezoneOffset() * 60000;
    message.delays = message.r.map((reading) => now - (reading[1] + offset));
  }
  self.postMessage(message);
};
