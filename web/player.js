// player.js - the page around the browser player: the game's files, saved games, the canvas.
//
// files.json beside the page names the game and lists its files (the compiled game and its
// pictures), which are fetched into the in-memory file system under /game before the game
// starts, with the times the site gives them. Saved games are written there too, beside the
// game, and copied to IndexedDB (an IDBFS folder under /saves) with their times after each save,
// so that a later visit finds them; only they are kept there, never the game's own files, which
// always come fresh from the site. The autosave (slot 0), which the game writes after every turn
// and removes when the game ends, is kept and removed there too; the game offers it again only
// when it is newer than the game file, which is why the times matter. The Saves panel lists the
// slots, hands any of them out as a file and lets a file in again, once the game has checked it.
'use strict';

(function () {
  const ScreenWidth = 800;
  const ScreenHeight = 600;
  const FileScreenshot = 1; // the file kinds of gfx.h
  const FileSavedGame = 2;
  const KeyScreenshot = 370;
  const GameFolder = '/game';
  const SaveRoot = '/saves';

  const canvas = document.getElementById('screen');
  // Drawn straight to the screen: the page shows each change at once, without a copy of the
  // canvas for every frame.
  const context = canvas.getContext('2d', { desynchronized: true });
  const note = document.getElementById('note');
  const stopButton = document.getElementById('stop');
  const savesButton = document.getElementById('saves');
  const savesPanel = document.getElementById('saves-panel');

  let phase = 'loading'; // loading, playing, ended, stopped, failed
  let gameName = '';
  let saveFolder = '';
  let syncing = false; // a copy to IndexedDB is under way
  let syncAgain = false; // and another save came meanwhile
  let firstScreen = null; // when the game first showed its screen and when it first asked
  let firstPrompt = null;

  // What a test (or a curious player, from the console) can look at.
  window.umbTranscript = [];
  window.umbState = function () {
    if (phase !== 'playing') return phase;
    return Module._umb_waiting() ? 'waiting' : 'busy';
  };
  window.umbScreenDump = function () {
    Module._umb_screen_dump();
  };
  window.umbTimes = function () {
    return {
      firstScreenMs: firstScreen,
      firstPromptMs: firstPrompt,
      busyMs: phase === 'loading' ? 0 : Module._umb_busy_ms(),
      showingMs: phase === 'loading' ? 0 : Module._umb_showing_ms(),
    };
  };
  window.umbSavesPending = function () {
    return syncing || syncAgain || savesWritten.size > 0;
  };

  function say(text) {
    note.textContent = text;
  }

  function fail(text) {
    phase = 'failed';
    say(text);
    console.error(text);
  }

  // Whole multiples of the screen's size in device pixels keep the font crisp; a window too
  // small for the screen gets it scaled down.
  function fit() {
    const ratio = window.devicePixelRatio || 1;
    const bar = document.getElementById('bar').offsetHeight;
    const room = Math.min((window.innerWidth * ratio) / ScreenWidth,
      ((window.innerHeight - bar) * ratio) / ScreenHeight);
    const scale = room >= 1 ? Math.floor(room) : room;
    canvas.style.width = (ScreenWidth * scale) / ratio + 'px';
    canvas.style.height = (ScreenHeight * scale) / ratio + 'px';
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen();
    } else {
      const player = document.getElementById('player');
      if (player.requestFullscreen) player.requestFullscreen().catch(function () {});
    }
  }

  function baseName(path) {
    return path.substring(path.lastIndexOf('/') + 1);
  }

  function offerDownload(path, type) {
    const url = URL.createObjectURL(new Blob([FS.readFile(path)], { type: type }));
    const link = document.createElement('a');
    link.href = url;
    link.download = baseName(path);
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function () {
      URL.revokeObjectURL(url);
    }, 60000);
  }

  // Copies the saves made here to IndexedDB, one copy at a time. What another tab of the same
  // game saved meanwhile is fetched first, so that the copy keeps it rather than deleting it, and
  // goes beside the game too: as with one folder shared by two players, the last save of a slot
  // is the one restored.
  const savesToKeep = new Map();
  function flushSaves() {
    if (syncing) {
      syncAgain = true;
      return;
    }
    syncing = true;
    FS.syncfs(true, function (pullError) {
      try {
        // Fetching drops what IndexedDB lacks, the game's folder too before its first save.
        if (!FS.analyzePath(saveFolder).exists) FS.mkdir(saveFolder);
        // Another tab's slots, not its autosave: each game goes on from its own.
        if (!pullError) {
          for (const name of FS.readdir(saveFolder)) {
            if (/\.sv[1-9]$/.test(name) && !savesToKeep.has(name))
              copyFile(saveFolder + '/' + name, GameFolder + '/' + name);
          }
        }
        for (const [name, save] of savesToKeep) {
          const kept = saveFolder + '/' + name;
          if (save !== null) {
            FS.writeFile(kept, save.data);
            FS.utime(kept, save.time, save.time);
          } else if (FS.analyzePath(kept).exists) {
            FS.unlink(kept);
          }
        }
      } catch (error) {
        pullError = pullError || error;
      }
      savesToKeep.clear();
      FS.syncfs(false, function (error) {
        syncing = false;
        if (pullError || error) {
          say('This browser could not keep the saved game for a later visit (' +
            (pullError || error) + ').');
        }
        if (syncAgain) {
          syncAgain = false;
          flushSaves();
        }
        if (!savesPanel.hidden) listSaves();
      });
    });
  }

  // The game wrote a saved game at path, or removed it (the autosave of a game that ended): the
  // file's state now is what IndexedDB is to keep. Saves that come while a copy is under way
  // wait for the next one, which takes only the latest of each file.
  function keepSave(path) {
    if (FS.analyzePath(path).exists)
      savesToKeep.set(baseName(path), { data: FS.readFile(path), time: modifiedMs(path) });
    else
      savesToKeep.set(baseName(path), null);
    flushSaves();
  }

  // The game writes its autosave after every turn: the copy is made once the turn is over, so that
  // the turn's screen does not wait for it. A page closed meanwhile starts the copy as it goes.
  const savesWritten = new Set();
  function keepSaveSoon(path) {
    if (savesWritten.size === 0) setTimeout(keepSavesWritten, 0);
    savesWritten.add(path);
  }
  function keepSavesWritten() {
    for (const path of savesWritten) keepSave(path);
    savesWritten.clear();
  }
  window.addEventListener('pagehide', keepSavesWritten);

  function modifiedMs(path) {
    return FS.stat(path).mtime.getTime();
  }

  // Copies a file with its time: the game offers an autosave only when it is newer than the game.
  function copyFile(from, to) {
    FS.writeFile(to, FS.readFile(from));
    const time = modifiedMs(from);
    FS.utime(to, time, time);
  }

  // The in-memory file system of the emscripten the player is built with keeps a file that a
  // rename replaced in its table of names, so that removing the file later brings the replaced
  // one back. The game writes every file by a rename over the old one, the autosave after every
  // turn, and removes the autosave when the game ends: the replaced file is dropped here.
  function mendRename() {
    const rename = FS.rename;
    FS.rename = function (from, to) {
      let replaced = null;
      try {
        replaced = FS.lookupPath(to).node;
      } catch (error) {
        // nothing is replaced
      }
      rename.call(FS, from, to);
      if (replaced !== null && FS.lookupPath(to).node !== replaced) FS.hashRemoveNode(replaced);
    };
  }

  // ----- The Saves panel -----

  // What the game's check (umb_check_save) says of a file: engine::SaveFit, and -1 before a game
  // was loaded.
  const SaveFits = 0;
  const SaveNotSavedGame = 1;
  const SaveRefusals = {
    '-1': 'cannot be checked: no game is loaded',
    1: 'is not a saved game',
    2: 'is damaged',
    3: 'is a saved game of another game',
  };
  const SlotCount = 9;
  const AutosaveSlot = 0;

  // The file of a slot, as the game names it: the first 8 characters of the game's name, ".sv"
  // and the slot digit.
  function slotPath(slot) {
    return GameFolder + '/' + gameName.substring(0, 8) + '.sv' + slot;
  }

  function tellSaves(text) {
    document.getElementById('saves-message').textContent = text;
  }

  // Lists the slots there are, each with a button that hands its file out unchanged, and offers
  // every slot to import into, saying which would be replaced. Listed again while the player is
  // in the list (a save kept meanwhile), the focus stays on the same slot's button.
  function listSaves() {
    const list = document.getElementById('saves-list');
    const choice = document.getElementById('import-slot');
    const chosen = choice.value || '1';
    const focused = list.contains(document.activeElement) ?
      document.activeElement.closest('li').dataset.slot : null;
    list.replaceChildren();
    choice.replaceChildren();
    for (let slot = 1; slot <= SlotCount + 1; ++slot) {
      const n = slot % (SlotCount + 1); // the autosave last
      const path = slotPath(n);
      const there = FS.analyzePath(path).exists;
      const label = n === AutosaveSlot ? 'Autosave' : 'Slot ' + n;
      if (n !== AutosaveSlot) {
        const option = new Option(label + (there ? ' (replaces the saved game there)' : ''), n);
        choice.appendChild(option);
      }
      if (!there) continue;
      const item = document.createElement('li');
      item.dataset.slot = n;
      item.textContent = label + ', ' + FS.stat(path).mtime.toLocaleString() + ' ';
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = 'Export';
      button.setAttribute('aria-label', 'Export ' + label.toLowerCase() + ' as ' + baseName(path));
      button.addEventListener('click', function () {
        offerDownload(path, 'application/octet-stream');
      });
      item.appendChild(button);
      list.appendChild(item);
    }
    choice.value = chosen;
    document.getElementById('saves-none').hidden = list.children.length > 0;
    if (focused !== null)
      (list.querySelector('li[data-slot="' + focused + '"] button') || choice).focus();
  }

  // Asks the game what bytes are to it; the page never reads the format itself.
  function checkSave(bytes) {
    const at = Module._umb_save_buffer(bytes.length);
    if (at === 0) return SaveNotSavedGame; // longer than any saved game
    Module.HEAPU8.set(bytes, at); // read after the call: the memory may have grown
    return Module._umb_check_save();
  }

  // Lets the file chosen into the slot chosen, and into IndexedDB at once, once the game has
  // found it one of its own saved games; anything else leaves the slot as it was.
  async function importSave() {
    const file = document.getElementById('import-file').files[0];
    const slot = Number(document.getElementById('import-slot').value);
    if (!file) {
      tellSaves('Choose a saved game file first.');
      return;
    }
    const bytes = new Uint8Array(await file.arrayBuffer());
    const verdict = checkSave(bytes);
    if (verdict !== SaveFits) {
      tellSaves(file.name + ' ' + (SaveRefusals[verdict] || 'cannot be used') + ': slot ' + slot +
        ' was left as it was.');
      return;
    }
    const path = slotPath(slot);
    FS.writeFile(path, bytes);
    keepSave(path);
    document.getElementById('import-file').value = '';
    listSaves();
    tellSaves(file.name + ' is now slot ' + slot + ': the game\'s restore command restores it.');
  }

  function openSaves() {
    listSaves();
    tellSaves('');
    savesPanel.hidden = false;
    savesButton.setAttribute('aria-expanded', 'true');
    savesPanel.querySelector('button, input, select').focus();
  }

  // The game has the keys again.
  function closeSaves() {
    savesPanel.hidden = true;
    savesButton.setAttribute('aria-expanded', 'false');
    canvas.focus();
  }

  function setUpSaves() {
    savesButton.addEventListener('click', function () {
      if (savesPanel.hidden) openSaves();
      else closeSaves();
    });
    document.getElementById('saves-close').addEventListener('click', closeSaves);
    document.getElementById('import-form').addEventListener('submit', function (event) {
      event.preventDefault();
      importSave().catch(function (error) {
        tellSaves('The file could not be read (' + error.message + ').');
      });
    });
    // The game takes its keys from the whole window before anything else on the page sees them.
    // Added before the game's, this keeps the keys for the panel while it has the focus (Escape
    // closes it), and Enter and the space bar for the Saves button.
    window.addEventListener('keydown', function (event) {
      const at = document.activeElement;
      if (!savesPanel.hidden && savesPanel.contains(at)) {
        event.stopImmediatePropagation();
        if (event.key === 'Escape') closeSaves();
      } else if (at === savesButton && (event.key === 'Enter' || event.key === ' ')) {
        event.stopImmediatePropagation();
      }
    }, true);
  }

  function makeFolders(path) {
    let at = '';
    for (const part of path.split('/').slice(1, -1)) {
      at += '/' + part;
      if (!FS.analyzePath(at).exists) FS.mkdir(at);
    }
  }

  // Fetches files.json and every file it lists while the player itself loads.
  async function fetchGame() {
    const listing = await fetch('files.json', { cache: 'no-cache' });
    if (!listing.ok) throw new Error('files.json: ' + listing.status + ' ' + listing.statusText);
    const manifest = await listing.json();
    if (typeof manifest.game !== 'string' || !/^[^/.][^/]*$/.test(manifest.game))
      throw new Error('files.json names no game');
    const files = await Promise.all((manifest.files || []).map(async function (name) {
      // Only files inside the game's folder: a listing cannot reach elsewhere.
      if (typeof name !== 'string' || name.split('/').some(function (p) {
        return p === '' || p === '.' || p === '..';
      }))
        throw new Error('files.json lists a bad file name: ' + name);
      const response = await fetch(encodeURI(name), { cache: 'no-cache' });
      if (!response.ok) throw new Error(name + ': ' + response.status + ' ' + response.statusText);
      // The file's time on the site; without one, the oldest time there is.
      const modified = Date.parse(response.headers.get('Last-Modified') || '') || 0;
      return { name: name, data: new Uint8Array(await response.arrayBuffer()), modified: modified };
    }));
    return { game: manifest.game, files: files };
  }

  // Loads the saves kept by an earlier visit into the game's folder, the autosave among them, with
  // the times they were written.
  function restoreSaves() {
    return new Promise(function (resolve) {
      FS.mkdir(SaveRoot);
      FS.mount(IDBFS, {}, SaveRoot);
      FS.syncfs(true, function (error) {
        if (!FS.analyzePath(saveFolder).exists) FS.mkdir(saveFolder);
        if (error) {
          say('Saved games will last only until the page is closed (' + error + ').');
          resolve();
          return;
        }
        for (const name of FS.readdir(saveFolder)) {
          if (/\.sv[0-9]$/.test(name)) copyFile(saveFolder + '/' + name, GameFolder + '/' + name);
        }
        resolve();
      });
    });
  }

  const gameFiles = fetchGame();
  gameFiles.catch(function () {}); // reported once the player has loaded

  window.Module = {
    canvas: canvas,
    noInitialRun: true,
    print: function (text) {
      console.log(text);
    },
    printErr: function (text) {
      console.warn(text);
    },
    onAbort: function (what) {
      fail('The player stopped: ' + what);
    },
    // What the player's browser driver (gfx_web.cpp) calls.
    umbPage: {
      // Only the part of the screen that changed comes, once a frame at most.
      show: function (rgba, x, y, width, height) {
        const pixels = new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, rgba.length);
        context.putImageData(new ImageData(pixels, width, height), x, y);
        if (firstScreen === null) firstScreen = performance.now();
      },
      transcript: function (line) {
        window.umbTranscript.push(line);
      },
      title: function (text) {
        document.title = text !== '' ? text : 'U.M.B.';
      },
      alert: function (caption, text) {
        window.alert(caption + ': ' + text);
      },
      fileWritten: function (path, kind) {
        if (kind === FileScreenshot) offerDownload(path, 'image/bmp');
        if (kind === FileSavedGame) keepSaveSoon(path);
      },
      waiting: function () {
        if (firstPrompt === null) firstPrompt = performance.now();
      },
      ended: function (stopped) {
        phase = stopped ? 'stopped' : 'ended';
        say(stopped ? 'The game was stopped. Reload the page to play again.'
          : 'The game is over. Reload the page to play again.');
      },
      // A turn has kept the game busy a while (a script that may never end): the player may
      // stop it. Saved games are not touched.
      busy: function (on) {
        stopButton.hidden = !on;
      },
      fullScreen: toggleFullScreen,
    },
    onRuntimeInitialized: async function () {
      let loaded;
      try {
        loaded = await gameFiles;
      } catch (error) {
        fail('The game could not be loaded: ' + error.message);
        return;
      }
      gameName = loaded.game;
      saveFolder = SaveRoot + '/' + gameName;
      mendRename();
      FS.mkdir(GameFolder);
      for (const file of loaded.files) {
        makeFolders(GameFolder + '/' + file.name);
        FS.writeFile(GameFolder + '/' + file.name, file.data);
        FS.utime(GameFolder + '/' + file.name, file.modified, file.modified);
      }
      say('');
      await restoreSaves();
      savesButton.disabled = false;
      phase = 'playing';
      // The game's folder is the current one: the game finds its pictures from there
      // (ImagePath), and writes its saves and screenshots there.
      FS.chdir(GameFolder);
      Module.callMain([gameName]);
    },
  };

  // A button keeps no focus, so that Enter and the space bar go on reaching the game.
  document.getElementById('fullscreen').addEventListener('click', function (event) {
    event.currentTarget.blur();
    toggleFullScreen();
  });
  document.getElementById('screenshot').addEventListener('click', function (event) {
    event.currentTarget.blur();
    if (phase === 'playing') Module._umb_press_key(KeyScreenshot);
  });
  stopButton.addEventListener('click', function (event) {
    event.currentTarget.blur();
    if (phase === 'playing') Module._umb_stop();
  });
  setUpSaves();
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', fit);
  fit();
})();
