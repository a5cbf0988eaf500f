// What the wizard pages share: reading their fields and reporting how a
// drawing went. The drawing itself goes through window.external, the
// program's drawing object; a call that fails throws with its message.
"use strict";

function field(id) { return document.getElementById(id); }
function number(id) { return Number(field(id).value); }
function text(id) { return field(id).value; }
function checked(id) { return field(id).checked; }

function report(message, failed) {
  var status = field("status");
  status.textContent = message;
  status.className = failed ? "failed" : "";
}

// Shows the size of the image the page will draw on, or that there is none.
function showImageSize() {
  try {
    var board = window.external;
    field("size").textContent = board.ImageWidth() + " x " + board.ImageHeight() + " pixels";
  } catch (e) {
    field("size").textContent = "no image yet: the wizard starts a new one";
  }
}

// Makes sure there is an image: a white one of the given size when the
// workspace is empty or when asked for. A new image is one edit step that
// Undo takes back.
function ensureImage(wanted, width, height) {
  var board = window.external;
  var empty = false;
  try { empty = board.ImageWidth() === 0 || board.ImageHeight() === 0; } catch (e) { empty = true; }
  if (wanted || empty) board.NewImage(width, height);
}

// Runs a drawing and, when it went well, shows the image.
function run(draw) {
  try {
    draw(window.external);
    report("Done.", false);
    window.external.ShowImage();
  } catch (e) {
    report("The drawing stopped: " + e.message, true);
  }
}
