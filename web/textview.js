// textview.js - the page's text view: the game as text a screen reader follows and a phone
// types into, built from what the game's page front end tells (src/ui/page/page_front.h).
//
// The game tells the page each location, its status line and picture, each message and each
// question with its answer; this view shows them as a heading, paragraphs, a status line and a
// log that only grows (a screen reader reads each addition once, never the command typed). The
// command line below it sends what is typed to the game as the keys the window would get, so
// both views play the same game at once; the "Text view" button, the first thing on the page,
// switches between them and is remembered.
'use strict';

(function () {
  // The events, as page_front.h numbers them.
  const Tell = {
    Open: 0, NewGame: 1, Place: 2, Text: 3, Shown: 4, Status: 5, Picture: 6, Message: 7,
    Reply: 8, Ask: 9, Answer: 10, Closed: 11,
  };
  const AskNames = ['line', 'yesno', 'choice', 'key'];
  const KeyEnter = 13;
  const KeyEscape = 27;
  const KeyUndo = 26;
  const ViewKey = 'umb.view'; // localStorage: "text" or "picture"
  const NarrowWidth = 600; // narrower pages start in the text view
  const HistorySize = 100;
  const SwipeDistance = 30; // CSS pixels up or down that make a swipe

  const $ = (id) => document.getElementById(id);
  const body = document.body;
  const toggle = $('view');
  const view = $('textview');
  const canvas = $('screen');
  const form = $('command');
  const input = $('tv-input');
  const label = $('tv-label');
  const picture = $('tv-picture');
  const place = $('tv-place');
  const texts = $('tv-texts');
  const status = $('tv-status');
  const log = $('tv-log');

  let textView = false;
  let asking = null; // what the game waits for: one of AskNames, or null while it works
  let askEntry = null; // the log's entry of the question asked last, for its answer
  let placeTexts = []; // the location being told
  let pictureUrl = null;
  let picturesOff = false; // F12
  let ended = false;
  const history = [];
  let historyAt = 0; // history.length: the line being typed

  function paragraph(text) {
    const p = document.createElement('p');
    p.textContent = text;
    return p;
  }

  // The command line is there in the text view, and in the picture view once a tap on the
  // screen asked for it (a phone has no other way to bring up its keyboard).
  function showCommand(on) {
    form.hidden = !on;
  }

  // The player reads on from what the turn showed: a new location from its heading, else the
  // newest messages above the command line.
  let placeShown = false;
  function focusInput() {
    if (form.hidden || ended) return;
    input.focus({ preventScroll: true });
    if (!textView) return;
    if (placeShown) place.scrollIntoView({ block: 'start' });
    else window.scrollTo(0, document.documentElement.scrollHeight);
    placeShown = false;
  }

  function setView(text, remember) {
    textView = text;
    if (text) {
      const told = pending;
      pending = [];
      for (const [kind, mode, said] of told) build(kind, mode, said);
    }
    body.classList.toggle('text-view', text);
    view.hidden = !text;
    toggle.setAttribute('aria-pressed', String(text));
    showCommand(text);
    if (remember) {
      try {
        localStorage.setItem(ViewKey, text ? 'text' : 'picture');
      } catch (e) {
        // A browser that keeps nothing still switches.
      }
    }
    // Switched by the player, the focus goes where the keys now go; on load nothing takes it
    // but the command line, which the first question focuses.
    if (remember && !text) canvas.focus();
    if (text) focusInput();
    window.dispatchEvent(new Event('resize')); // the screen fits itself again
  }

  function chosenView() {
    let kept = null;
    try {
      kept = localStorage.getItem(ViewKey);
    } catch (e) {
      kept = null;
    }
    if (kept === 'text' || kept === 'picture') return kept === 'text';
    return window.innerWidth < NarrowWidth;
  }

  function showPicture(path) {
    if (pictureUrl) URL.revokeObjectURL(pictureUrl);
    pictureUrl = null;
    picture.hidden = true;
    if (path === '') return;
    try {
      pictureUrl = URL.createObjectURL(new Blob([FS.readFile(path)]));
    } catch (e) {
      return; // the window tells of a picture it cannot show
    }
    picture.src = pictureUrl;
    picture.hidden = picturesOff;
  }

  // What the input waits for, and its label: written only when they change, as each write costs
  // the page a style pass and may have the label read out again.
  function markAsking(mode, text) {
    const value = mode || '';
    if (input.dataset.asking !== value) input.dataset.asking = value;
    if (text !== undefined && label.textContent !== text) label.textContent = text;
  }

  function labelFor(mode, prompt) {
    const said = prompt.trim();
    if (mode === 'key') return 'Press Enter to go on';
    if (mode === 'line') return said.length > 1 ? said : 'Command';
    return said !== '' ? said : 'Answer';
  }

  // A question: its prompt goes to the log, where its answer will follow. A command line's
  // bare prompt (">") and every answer are hidden from the screen reader: the player knows what
  // was typed.
  function ask(mode, prompt) {
    asking = mode;
    markAsking(mode, labelFor(mode, prompt));
    askEntry = null;
    if (mode !== 'key') {
      askEntry = paragraph('');
      const said = document.createElement('span');
      said.textContent = prompt;
      if (mode === 'line' && prompt.trim().length <= 1) said.setAttribute('aria-hidden', 'true');
      askEntry.appendChild(said);
      log.appendChild(askEntry);
    }
    focusInput();
  }

  function answer(text) {
    asking = null;
    markAsking('');
    if (askEntry && text !== '') {
      const typed = document.createElement('span');
      typed.textContent = text;
      typed.setAttribute('aria-hidden', 'true');
      askEntry.appendChild(typed);
    }
  }

  // While the picture view is shown, what the game tells waits here and is built into the text
  // view when it is shown: the game's turns need not pay for a view nobody sees. What a question
  // is waiting for is kept at once, for the command line a tap brings up.
  let pending = [];
  function onEvent(kind, mode, text) {
    if (!textView) {
      pending.push([kind, mode, text]);
      if (kind === Tell.Ask || kind === Tell.Answer || kind === Tell.Closed) {
        asking = kind === Tell.Ask ? AskNames[mode] || 'key' : null;
        markAsking(asking, kind === Tell.Ask ? labelFor(asking, text) : undefined);
      }
      return;
    }
    build(kind, mode, text);
  }

  function build(kind, mode, text) {
    switch (kind) {
      case Tell.Open:
        $('tv-title').textContent = text;
        break;
      case Tell.NewGame:
        place.textContent = '';
        texts.replaceChildren();
        status.textContent = '';
        showPicture('');
        break;
      case Tell.Place:
        place.textContent = text;
        picture.alt = text;
        placeTexts = [];
        break;
      case Tell.Text:
        placeTexts.push(paragraph(text));
        break;
      case Tell.Shown:
        placeShown = true;
        texts.replaceChildren(...placeTexts);
        placeTexts = [];
        break;
      case Tell.Status:
        status.textContent = text;
        break;
      case Tell.Picture:
        showPicture(text);
        break;
      case Tell.Message:
        log.appendChild(paragraph(text));
        break;
      case Tell.Reply:
        if (askEntry) askEntry.replaceChildren(document.createTextNode(text));
        else log.appendChild(paragraph(text));
        break;
      case Tell.Ask:
        ask(AskNames[mode] || 'key', text);
        break;
      case Tell.Answer:
        answer(text);
        break;
      case Tell.Closed:
        ended = true;
        asking = null;
        markAsking('', 'The game is over');
        input.disabled = true;
        break;
    }
  }

  function press(code) {
    if (code > 0 && window.umbState && window.umbState() !== 'loading') Module._umb_press_key(code);
  }

  // What Enter sends: a command line's characters and Enter; for a question of one key, the
  // first character typed; to go on, Enter. Typed ahead while the game works, it is a command.
  function submit() {
    const value = input.value;
    input.value = '';
    if (asking === 'yesno' || asking === 'choice') {
      const first = value.trim().codePointAt(0);
      if (first !== undefined) press(Module._umb_key_of(first));
      return;
    }
    if (asking === 'key') {
      press(KeyEnter);
      return;
    }
    for (const c of value) press(Module._umb_key_of(c.codePointAt(0)));
    press(KeyEnter);
    if (value.trim() !== '' && history[history.length - 1] !== value) {
      history.push(value);
      if (history.length > HistorySize) history.shift();
    }
    historyAt = history.length;
  }

  function recall(step) {
    const at = historyAt + step;
    if (at < 0 || at > history.length) return;
    historyAt = at;
    input.value = at < history.length ? history[at] : '';
    input.setSelectionRange(input.value.length, input.value.length);
  }

  // Keys typed into the command line are the page's: taken here, before the game's own keys
  // (which listen on the whole window) can see them. What they type goes in as usual.
  // So are keys pressed on the page's buttons and fields: Enter on a focused button presses it.
  window.addEventListener('keydown', function (event) {
    const target = event.target;
    // F12 turns the window's pictures off and on: the text view's too.
    if (event.key === 'F12' && !ended) {
      picturesOff = !picturesOff;
      picture.hidden = picturesOff || pictureUrl === null;
    }
    if (target !== input) {
      if (target.closest && target.closest('button, input, select, textarea, a[href], summary'))
        event.stopImmediatePropagation();
      return;
    }
    // The window's own keys (F11, F12, the screenshot's Ctrl+Alt+S) still reach it.
    const screenshot = event.ctrlKey && event.altKey && event.key.toLowerCase() === 's';
    if (screenshot || /^F[0-9]+$/.test(event.key) || event.key === 'PrintScreen') return;
    event.stopImmediatePropagation();
    if (event.isComposing) return;
    let handled = true;
    if (event.key === 'Enter') submit();
    else if (event.key === 'Escape') press(KeyEscape);
    else if (event.key === 'ArrowUp') recall(-1);
    else if (event.key === 'ArrowDown') recall(1);
    else if (event.key === 'z' && event.ctrlKey && input.value === '' && asking === 'line')
      press(KeyUndo);
    else handled = false;
    if (handled) event.preventDefault();
  }, true);

  form.addEventListener('submit', function (event) {
    event.preventDefault(); // Enter is taken above; a form never reloads the page
  });

  // A swipe up or down on the command line goes back and forth through the commands typed.
  let touchY = null;
  input.addEventListener('touchstart', function (event) {
    touchY = event.touches.length === 1 ? event.touches[0].clientY : null;
  }, { passive: true });
  input.addEventListener('touchend', function (event) {
    if (touchY === null || event.changedTouches.length !== 1) return;
    const moved = event.changedTouches[0].clientY - touchY;
    touchY = null;
    if (Math.abs(moved) >= SwipeDistance) recall(moved < 0 ? -1 : 1);
  });

  // A tap on the screen brings up the command line, and with it a phone's keyboard.
  // (On the click, which comes after the tap has focused the screen.)
  canvas.addEventListener('click', function (event) {
    if (event.pointerType !== 'touch' || textView) return;
    showCommand(true);
    focusInput();
  });

  toggle.addEventListener('click', function () {
    setView(!textView, true);
  });

  Module.umbPage.text = onEvent;
  window.umbTextView = {
    asking: () => asking,
    on: () => textView,
  };
  setView(chosenView(), false);
})();
