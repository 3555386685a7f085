// The MRAID 3.0 bridge of the Vozave ad client, run in every ad page before the page's own
// scripts. The container in the application is the authority on state and geometry: the page's
// calls go to it as navigations to "vozave-mraid:CALL?key=value&..." (which it refuses and acts
// on), and it answers with window.__vozaveMraid.update({...}): new values first, then the
// events that announce them, in order.
(function () {
  'use strict';
  if (window.__vozaveMraid) return;

  var VERSION = '3.0';
  var EVENTS = ['ready', 'error', 'stateChange', 'sizeChange', 'viewableChange', 'exposureChange',
                'audioVolumeChange'];
  var CLOSE_POSITIONS = ['top-left', 'top-right', 'center', 'bottom-left', 'bottom-right',
                         'top-center', 'bottom-center'];
  var ORIENTATIONS = ['portrait', 'landscape', 'none'];
  var MIN_RESIZE = 50;
  var CLOSE_REGION = 50;
  // How far past the max-size area a resized ad may reach with allowOffscreen: its size.
  var OFFSCREEN_FACTOR = 2;
  var MAX_MESSAGE = 8000;

  var listeners = {};
  var state = 'loading';
  // Set by the container before the page's first line.
  var placementType = window.__vozaveMraidPlacement === 'interstitial' ? 'interstitial' : 'inline';
  try { delete window.__vozaveMraidPlacement; } catch (e) {}
  var viewable = false;
  var currentPosition = {x: 0, y: 0, width: 0, height: 0};
  var defaultPosition = {x: 0, y: 0, width: 0, height: 0};
  var maxSize = {width: 0, height: 0};
  var screenSize = {width: 0, height: 0};
  var exposure = {percent: 0, visible: null, occlusions: null};
  var audioVolume = null;
  var appOrientation = {orientation: 'portrait', locked: false};
  var adLocation = null;
  var supported = {};
  var expandProperties = {width: -1, height: -1, useCustomClose: false, isModal: true};
  var resizeProperties = null;
  var orientationProperties = {allowOrientationChange: true, forceOrientation: 'none'};
  // Whether the user has tapped the page since its ad was last closed: the container takes an
  // expand after a close only on a new tap.
  var tappedSinceClose = true;
  ['pointerup', 'touchend', 'click'].forEach(function (name) {
    window.addEventListener(name, function (event) {
      if (event.isTrusted) tappedSinceClose = true;
    }, true);
  });

  function copy(value) {
    return value === null || typeof value !== 'object' ? value : JSON.parse(JSON.stringify(value));
  }

  function callListener(listener, args) {
    try {
      listener.apply(window, args);
    } catch (e) {
      if (window.console) console.error('mraid listener failed: ' + e);
    }
  }

  function fire(event, args) {
    var list = (listeners[event] || []).slice();
    for (var i = 0; i < list.length; i++) callListener(list[i], args);
  }

  // Events caused by a call of the page reach it in a later task, never inside the call.
  function fireLater(event, args) {
    setTimeout(function () { fire(event, args); }, 0);
  }

  // Also on the console, so that the ad's author (and vozave check) sees the failed call.
  function error(message, action) {
    if (window.console) console.warn('MRAID ' + action + ' failed: ' + message);
    fireLater('error', [message, action]);
  }

  function send(call, parameters) {
    var query = [];
    for (var key in parameters) {
      if (Object.prototype.hasOwnProperty.call(parameters, key)) {
        query.push(key + '=' + encodeURIComponent(String(parameters[key])));
      }
    }
    var url = 'vozave-mraid:' + call + (query.length ? '?' + query.join('&') : '');
    if (url.length > MAX_MESSAGE) {
      error('The arguments are too long', call);
      return;
    }
    window.location.href = url;
  }

  function isNumber(value) {
    return typeof value === 'number' && isFinite(value);
  }

  function isObject(value) {
    return value !== null && typeof value === 'object';
  }

  // The close region's place on an ad at `frame`, as the container puts it.
  function closeRegion(position, frame) {
    var left = frame.x, right = frame.x + frame.width - CLOSE_REGION;
    var top = frame.y, bottom = frame.y + frame.height - CLOSE_REGION;
    var centreX = frame.x + (frame.width - CLOSE_REGION) / 2;
    var centreY = frame.y + (frame.height - CLOSE_REGION) / 2;
    var places = {
      'top-left': [left, top], 'top-right': [right, top], 'center': [centreX, centreY],
      'bottom-left': [left, bottom], 'bottom-right': [right, bottom],
      'top-center': [centreX, top], 'bottom-center': [centreX, bottom]
    };
    return {x: places[position][0], y: places[position][1]};
  }

  // Why resize properties cannot be used where the ad is now, or '' when they can. Before the
  // container has told the max size, only resize() can say.
  function resizeProblem(p) {
    if (!(maxSize.width > 0 && maxSize.height > 0)) return '';
    if (!p.allowOffscreen) {
      return p.width > maxSize.width || p.height > maxSize.height ?
          'The size is larger than the max size and allowOffscreen is false' : '';
    }
    if (p.width > OFFSCREEN_FACTOR * maxSize.width ||
        p.height > OFFSCREEN_FACTOR * maxSize.height) {
      return 'The size is too far past the max size';
    }
    var region = closeRegion(p.customClosePosition, {
      x: defaultPosition.x + p.offsetX, y: defaultPosition.y + p.offsetY,
      width: p.width, height: p.height});
    return region.x < 0 || region.y < 0 || region.x + CLOSE_REGION > maxSize.width ||
        region.y + CLOSE_REGION > maxSize.height ? 'The close region would be off the screen' : '';
  }

  function knownEvent(event, action) {
    if (EVENTS.indexOf(event) >= 0) return true;
    error('Unknown event: ' + String(event), action);
    return false;
  }

  var mraid = {
    getVersion: function () { return VERSION; },

    addEventListener: function (event, listener) {
      if (!knownEvent(event, 'addEventListener')) return;
      if (typeof listener !== 'function') {
        error('The listener is not a function', 'addEventListener');
        return;
      }
      (listeners[event] = listeners[event] || []).push(listener);
      // A new exposure or volume listener hears the current value, soon after it registers.
      var current = null;
      if (event === 'exposureChange') {
        current = [exposure.percent, copy(exposure.visible), copy(exposure.occlusions)];
      } else if (event === 'audioVolumeChange') {
        current = [audioVolume];
      }
      if (current) {
        setTimeout(function () {
          if ((listeners[event] || []).indexOf(listener) >= 0) callListener(listener, current);
        }, 0);
      }
    },

    removeEventListener: function (event, listener) {
      if (!knownEvent(event, 'removeEventListener')) return;
      if (listener === undefined) {
        delete listeners[event];
        return;
      }
      var list = listeners[event] || [];
      var at = list.indexOf(listener);
      if (at < 0) {
        error('The listener is not registered', 'removeEventListener');
        return;
      }
      list.splice(at, 1);
    },

    getState: function () { return state; },
    getPlacementType: function () { return placementType; },
    isViewable: function () { return viewable; },

    open: function (url) {
      if (typeof url !== 'string' || url === '') {
        error('open needs a URL', 'open');
        return;
      }
      send('open', {url: url});
    },

    close: function () {
      if (state === 'loading' || state === 'hidden') return;
      if (state === 'default' && placementType === 'inline') return;
      send('close', {});
    },

    unload: function () { send('unload', {}); },

    expand: function (url) {
      if (state !== 'default' && state !== 'resized') return;
      if (placementType === 'interstitial') return;
      if (url === undefined || url === null) {
        send('expand', {tappedSinceClose: tappedSinceClose});
      } else if (typeof url !== 'string') {
        error('The URL is not a string', 'expand');
      } else {
        send('expand', {url: url, tappedSinceClose: tappedSinceClose});
      }
    },

    getExpandProperties: function () {
      var properties = copy(expandProperties);
      if (properties.width < 0) properties.width = maxSize.width;
      if (properties.height < 0) properties.height = maxSize.height;
      return properties;
    },

    setExpandProperties: function (properties) {
      if (!isObject(properties)) {
        error('The properties are not an object', 'setExpandProperties');
        return;
      }
      if (state === 'expanded') return;
      var width = properties.width;
      var height = properties.height;
      if ((width !== undefined && !isNumber(width)) || (height !== undefined && !isNumber(height))) {
        error('width and height must be numbers', 'setExpandProperties');
        return;
      }
      if (width !== undefined) expandProperties.width = width;
      if (height !== undefined) expandProperties.height = height;
      if (properties.useCustomClose !== undefined) {
        expandProperties.useCustomClose = properties.useCustomClose === true;
      }
    },

    // Kept for older ads; the container's close control shows whatever the page asks.
    useCustomClose: function (custom) { expandProperties.useCustomClose = custom === true; },

    resize: function () {
      if (state === 'loading' || state === 'hidden' || placementType === 'interstitial') return;
      if (state === 'expanded') {
        error('An expanded ad cannot be resized', 'resize');
        return;
      }
      if (!resizeProperties) {
        error('Set the resize properties before resizing', 'resize');
        return;
      }
      send('resize', resizeProperties);
    },

    getResizeProperties: function () {
      return copy(resizeProperties || {width: 0, height: 0, offsetX: 0, offsetY: 0,
                                       customClosePosition: 'top-right', allowOffscreen: true});
    },

    setResizeProperties: function (properties) {
      var action = 'setResizeProperties';
      if (!isObject(properties)) {
        error('The properties are not an object', action);
        return;
      }
      var keys = ['width', 'height', 'offsetX', 'offsetY'];
      for (var i = 0; i < keys.length; i++) {
        if (!isNumber(properties[keys[i]])) {
          error(keys[i] + ' must be a number', action);
          return;
        }
      }
      if (properties.width < MIN_RESIZE || properties.height < MIN_RESIZE) {
        error('The size must be at least 50x50', action);
        return;
      }
      var closePosition = properties.customClosePosition;
      if (closePosition === undefined) closePosition = 'top-right';
      if (CLOSE_POSITIONS.indexOf(closePosition) < 0) {
        error('Unknown customClosePosition: ' + String(closePosition), action);
        return;
      }
      var allowOffscreen = properties.allowOffscreen;
      if (allowOffscreen === undefined) allowOffscreen = true;
      if (typeof allowOffscreen !== 'boolean') {
        error('allowOffscreen must be a boolean', action);
        return;
      }
      var checked = {
        width: properties.width,
        height: properties.height,
        offsetX: properties.offsetX,
        offsetY: properties.offsetY,
        customClosePosition: closePosition,
        allowOffscreen: allowOffscreen
      };
      var problem = resizeProblem(checked);
      if (problem) {
        error(problem, action);
        return;
      }
      resizeProperties = checked;
    },

    getOrientationProperties: function () { return copy(orientationProperties); },

    setOrientationProperties: function (properties) {
      var action = 'setOrientationProperties';
      if (!isObject(properties)) {
        error('The properties are not an object', action);
        return;
      }
      var allow = properties.allowOrientationChange;
      if (allow === undefined) allow = orientationProperties.allowOrientationChange;
      var force = properties.forceOrientation;
      if (force === undefined) force = orientationProperties.forceOrientation;
      if (typeof allow !== 'boolean' || ORIENTATIONS.indexOf(force) < 0) {
        error('allowOrientationChange must be a boolean and forceOrientation one of ' +
              ORIENTATIONS.join(', '), action);
        return;
      }
      orientationProperties = {allowOrientationChange: allow, forceOrientation: force};
      send('setOrientationProperties', orientationProperties);
    },

    getCurrentPosition: function () { return copy(currentPosition); },
    getDefaultPosition: function () { return copy(defaultPosition); },
    getMaxSize: function () { return copy(maxSize); },
    getScreenSize: function () { return copy(screenSize); },
    getCurrentAppOrientation: function () { return copy(appOrientation); },

    getLocation: function () {
      if (adLocation) return copy(adLocation);
      error('The application gave the ad no location', 'getLocation');
      return -1;
    },

    supports: function (feature) { return supported[feature] === true; },

    playVideo: function (uri) {
      if (typeof uri !== 'string' || uri === '') {
        error('playVideo needs a URI', 'playVideo');
        return;
      }
      send('playVideo', {url: uri});
    },

    storePicture: function () { error('This phone cannot store pictures', 'storePicture'); },
    createCalendarEvent: function () {
      error('This phone has no calendar', 'createCalendarEvent');
    }
  };

  // The container's side. Values first, so that a listener of the events that follow reads
  // them already.
  function update(change) {
    if (!isObject(change)) return;
    if (typeof change.state === 'string') {
      if (change.state === 'default' && (state === 'expanded' || state === 'resized')) {
        tappedSinceClose = false;
      }
      state = change.state;
    }
    if (typeof change.placementType === 'string') placementType = change.placementType;
    if (typeof change.viewable === 'boolean') viewable = change.viewable;
    if (isObject(change.currentPosition)) currentPosition = change.currentPosition;
    if (isObject(change.defaultPosition)) defaultPosition = change.defaultPosition;
    if (isObject(change.maxSize)) maxSize = change.maxSize;
    if (isObject(change.screenSize)) screenSize = change.screenSize;
    if (isObject(change.exposure)) exposure = change.exposure;
    if (isObject(change.appOrientation)) appOrientation = change.appOrientation;
    if (isObject(change.supports)) supported = change.supports;
    if ('location' in change) adLocation = isObject(change.location) ? change.location : null;
    var events = Array.isArray(change.events) ? change.events : [];
    for (var i = 0; i < events.length; i++) {
      if (Array.isArray(events[i]) && EVENTS.indexOf(events[i][0]) >= 0) {
        fire(events[i][0], events[i].slice(1));
      }
    }
  }

  Object.defineProperty(window, '__vozaveMraid', {value: Object.freeze({update: update})});

  // The page's first touch of mraid or MRAID_ENV makes it an MRAID ad: the container starts
  // to follow it. A page that touches neither costs nothing.
  var engaged = false;
  function touched() {
    if (engaged) return;
    engaged = true;
    send('engage', {});
  }
  // Each global stays writable, as ads written for other containers may assign their own.
  function watchGlobal(name, value) {
    Object.defineProperty(window, name, {
      configurable: true,
      enumerable: false,
      get: function () { touched(); return value; },
      set: function (replacement) { touched(); value = replacement; }
    });
  }
  if (window.MRAID_ENV !== undefined) watchGlobal('MRAID_ENV', window.MRAID_ENV);
  watchGlobal('mraid', mraid);
})();
