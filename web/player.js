// player.js - the page around the browser player: the game's files, saved games, the canvas.
//
// files.json beside the page names the game and lists its files (the compiled game and its
// pictures), which are fetched into the in-memory file system under /game before the game
// starts. Saved games are written there too, beside the game, and copied to IndexedDB (an IDBFS
// folder under /saves) after each save, so that a later visit finds them; only they are kept
// there, never the game's own files, which always come fresh from the site.
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
    return syncing || syncAgain;
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

  function offerDownload(path) {
    const url = URL.createObjectURL(new Blob([FS.readFile(path)], { type: 'image/bmp' }));
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
        if (!pullError) {
          for (const name of FS.readdir(saveFolder)) {
            if (/\.sv[1-9]$/.test(name) && !savesToKeep.has(name))
              FS.writeFile(GameFolder + '/' + name, FS.readFile(saveFolder + '/' + name));
          }
        }
        for (const [name, data] of savesToKeep) FS.writeFile(saveFolder + '/' + name, data);
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
      });
    });
  }

  function keepSave(path) {
    savesToKeep.set(baseName(path), FS.readFile(path));
    flushSaves();
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
      return { name: name, data: new Uint8Array(await response.arrayBuffer()) };
    }));
    return { game: manifest.game, files: files };
  }

  // Loads the saves kept by an earlier visit into the game's folder.
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
          if (/\.sv[1-9]$/.test(name))
            FS.writeFile(GameFolder + '/' + name, FS.readFile(saveFolder + '/' + name));
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
        if (kind === FileScreenshot) offerDownload(path);
        if (kind === FileSavedGame) keepSave(path);
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
      FS.mkdir(GameFolder);
      for (const file of loaded.files) {
        makeFolders(GameFolder + '/' + file.name);
        FS.writeFile(GameFolder + '/' + file.name, file.data);
      }
      say('');
      await restoreSaves();
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
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', fit);
  fit();
})();
