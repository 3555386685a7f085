// What the demo ad server's MRAID creatives share: they check the container against the public
// MRAID 3.0 contract, using only the `mraid` object and `window.MRAID_ENV`, and print every
// finding as one console line of a fixed form, so that a person or a test can grep the log:
//   mraid-check PASS <check>
//   mraid-check FAIL <check>: <why>
//   mraid-event <event> <each argument as JSON>
//   mraid-info <what> <value>
//   mraid-done <creative> <stage>     every check of that stage has been printed
var mraidChecks = (function () {
  "use strict";

  // How long an event that the container owes may take, how long "nothing happens" is watched
  // for, and how long the further errors of one call are let in.
  var kEventWait = 3000;
  var kQuietWait = 600;
  var kSettleWait = 150;
  var kFeatures = ["sms", "tel", "calendar", "storePicture", "inlineVideo", "location", "vpaid"];

  function json(value) {
    try {
      var text = JSON.stringify(value);
      return text === undefined ? String(value) : text;
    } catch (e) {
      return String(value);
    }
  }

  function pass(name) {
    console.log("mraid-check PASS " + name);
  }
  function fail(name, why) {
    console.log("mraid-check FAIL " + name + ": " + why);
  }
  function check(name, ok, why) {
    if (ok) pass(name);
    else fail(name, why);
    return !!ok;
  }
  function info(what, value) {
    console.log("mraid-info " + what + " " + json(value));
  }
  function done(creative, stage) {
    console.log("mraid-done " + creative + " " + stage);
  }

  function isNumber(value) {
    return typeof value === "number" && isFinite(value);
  }
  function isRect(r) {
    return !!r && isNumber(r.x) && isNumber(r.y) && isNumber(r.width) && isNumber(r.height);
  }
  // Positions are in points; a container may round them.
  function sameRect(a, b) {
    return isRect(a) && isRect(b) && Math.abs(a.x - b.x) < 1 && Math.abs(a.y - b.y) < 1 &&
           Math.abs(a.width - b.width) < 1 && Math.abs(a.height - b.height) < 1;
  }
  function rectText(r) {
    return isRect(r) ? r.x + "," + r.y + " " + r.width + "x" + r.height : json(r);
  }
  function checkRect(name, actual, expected) {
    return check(name, sameRect(actual, expected),
                 "got " + rectText(actual) + ", expected " + rectText(expected));
  }
  function maxRect() {
    var max = mraid.getMaxSize();
    return {x: 0, y: 0, width: max.width, height: max.height};
  }

  // Prints every event of `names` as it arrives.
  function printEvents(names) {
    names.forEach(function (name) {
      mraid.addEventListener(name, function () {
        console.log("mraid-event " + name + " " +
                    Array.prototype.map.call(arguments, json).join(" "));
      });
    });
  }

  // Runs `then` once the container is ready: at once for an ad that registers after `ready`
  // fired, else on `ready`. A container whose answers make a check throw fails the creative's
  // "script" check rather than silencing the rest.
  function whenReady(creative, then) {
    if (typeof mraid !== "object" || !mraid) {
      fail(creative + ".bridge", "no mraid object");
      return;
    }
    var run = guarded(creative, then);
    if (mraid.getState() !== "loading") {
      run();
      return;
    }
    mraid.addEventListener("ready", function onReady() {
      mraid.removeEventListener("ready", onReady);
      run();
    });
  }

  // `handler`, with anything it throws printed as a failure of the creative's script.
  function guarded(creative, handler) {
    return function () {
      try {
        return handler.apply(this, arguments);
      } catch (e) {
        fail(creative + ".script", "threw " + e);
      }
    };
  }

  // Runs steps one after the other: each is a function(next). Error events carry no call of
  // their own, so two checks that wait for one must not overlap.
  function steps(list, finished) {
    var at = 0;
    (function next() {
      if (at < list.length) list[at++](next);
      else if (finished) finished();
    })();
  }

  // A step: `call` must end in an `error` event whose action is one of `actions`, sent later
  // and not from inside the call; `after` (optional) then checks what the call left. Further
  // errors of the same call, arriving soon after, are not taken for the next step's.
  function expectError(name, actions, call, after) {
    actions = [].concat(actions);
    return function (next) {
      var calling = false, finished = false, timer;
      function finish(ok, why) {
        if (finished) return;
        finished = true;
        clearTimeout(timer);
        if (ok && after) {
          var problem = after();
          if (problem) ok = false, why = problem;
        }
        check(name, ok, why);
        setTimeout(function () {
          mraid.removeEventListener("error", onError);
          next();
        }, kSettleWait);
      }
      // Errors of other calls (a stage the user started meanwhile) are not this call's answer;
      // a wrong action for this call ends at the time-out.
      function onError(message, action) {
        if (actions.indexOf(action) < 0) return;
        if (calling) return finish(false, "the error was sent from inside the call");
        finish(true);
      }
      mraid.addEventListener("error", onError);
      timer = setTimeout(function () {
        finish(false, "no error with action " + actions.join(" or "));
      }, kEventWait);
      calling = true;
      try {
        call();
      } catch (e) {
        calling = false;
        return finish(false, "the call threw " + e);
      }
      calling = false;
    };
  }

  // A step: after `call`, for a while, no state change and no error; then `after` (optional)
  // checks what is left.
  function expectQuiet(name, call, after) {
    return function (next) {
      var heard = [];
      function onState(state) {
        heard.push("stateChange " + state);
      }
      function onError(message, action) {
        heard.push("error " + action + " (" + message + ")");
      }
      mraid.addEventListener("stateChange", onState);
      mraid.addEventListener("error", onError);
      try {
        call();
      } catch (e) {
        heard.push("the call threw " + e);
      }
      setTimeout(function () {
        mraid.removeEventListener("stateChange", onState);
        mraid.removeEventListener("error", onError);
        var problem = heard.length ? "got " + heard.join(", ") : after ? after() : "";
        check(name, !problem, problem);
        next();
      }, kQuietWait);
    };
  }

  // A step: waits until `condition()` holds, at most for the event wait.
  function expectSoon(name, condition, why) {
    return function (next) {
      var started = Date.now();
      (function poll() {
        if (condition()) {
          pass(name);
          next();
        } else if (Date.now() - started > kEventWait) {
          fail(name, why());
          next();
        } else {
          setTimeout(poll, 50);
        }
      })();
    };
  }

  // What every first part checks once ready: the environment, the version, the placement,
  // the features, the location, the geometry and the unsupported calls.
  function environmentSteps(prefix, placement, size) {
    var env = window.MRAID_ENV;
    info("env", env);
    check(prefix + ".env-version", env && env.version === "3.0",
          "MRAID_ENV.version is " + json(env && env.version));
    check(prefix + ".env-sdk",
          env && typeof env.sdk === "string" && env.sdk !== "" &&
              typeof env.sdkVersion === "string" && env.sdkVersion !== "",
          "MRAID_ENV sdk and sdkVersion are " + json(env && [env.sdk, env.sdkVersion]));
    check(prefix + ".env-optional",
          env && ["appId", "ifa"].every(function (key) {
            return !(key in env) || typeof env[key] === "string";
          }) && ["limitAdTracking", "coppa"].every(function (key) {
            return !(key in env) || typeof env[key] === "boolean";
          }),
          "wrong types in " + json(env));
    check(prefix + ".version", mraid.getVersion() === "3.0",
          "getVersion() is " + json(mraid.getVersion()));
    check(prefix + ".placement", mraid.getPlacementType() === placement,
          "getPlacementType() is " + json(mraid.getPlacementType()));

    var supported = {};
    kFeatures.forEach(function (feature) {
      supported[feature] = mraid.supports(feature);
    });
    info("supports", supported);
    check(prefix + ".supports",
          kFeatures.every(function (feature) {
            return typeof supported[feature] === "boolean";
          }) && supported.storePicture === false && supported.calendar === false,
          "supports() gave " + json(supported) +
              ", expected booleans, false for the calls that end in an error");

    var max = mraid.getMaxSize(), screen = mraid.getScreenSize();
    check(prefix + ".sizes",
          isNumber(max.width) && isNumber(max.height) && max.width > 0 && max.height > 0 &&
              max.width <= screen.width && max.height <= screen.height,
          "max size " + json(max) + ", screen size " + json(screen));
    if (size) {
      var position = mraid.getDefaultPosition();
      checkRect(prefix + ".default-size", {x: position.x, y: position.y, width: size.width,
                                           height: size.height}, position);
      checkRect(prefix + ".current-is-default", mraid.getCurrentPosition(), position);
    }
    var expand = mraid.getExpandProperties();
    check(prefix + ".expand-properties",
          expand && expand.isModal === true && isNumber(expand.width) && isNumber(expand.height),
          "getExpandProperties() is " + json(expand));

    return [
      expectError(prefix + ".open-without-tap", "open", function () {
        mraid.open(location.origin + "/landing/offers.html");
      }),
      expectError(prefix + ".unknown-event", "addEventListener", function () {
        mraid.addEventListener("noSuchEvent", function () {});
      }),
      expectError(prefix + ".store-picture", "storePicture", function () {
        mraid.storePicture(location.origin + "/landing/garden.png");
      }),
      expectError(prefix + ".calendar", "createCalendarEvent", function () {
        mraid.createCalendarEvent({description: "Seeds day", start: "2027-03-21T10:00:00"});
      }),
      locationStep(prefix + ".location"),
    ];
  }

  // A step: getLocation gives a location only where the app gave the ad one; else -1 and an
  // error with action "getLocation", sent later.
  function locationStep(name) {
    return function (next) {
      var errors = [];
      function onError(message, action) {
        errors.push(action);
      }
      mraid.addEventListener("error", onError);
      var answer = mraid.getLocation();
      var sentInsideTheCall = errors.length > 0, started = Date.now();
      (function poll() {
        var refused = answer === -1, waited = Date.now() - started;
        if (refused ? !errors.length && waited < kEventWait : waited < kQuietWait) {
          return setTimeout(poll, 50);
        }
        mraid.removeEventListener("error", onError);
        if (refused) {
          check(name, !sentInsideTheCall && errors.join() === "getLocation",
                sentInsideTheCall ? "the error was sent from inside the call"
                                  : "getLocation() gave -1 with errors " + json(errors) +
                                        ", expected one with action getLocation");
        } else {
          info("location", answer);
          check(name, answer && isNumber(answer.lat) && isNumber(answer.lon) &&
                          [1, 2, 3].indexOf(answer.type) >= 0 && !errors.length,
                "getLocation() gave " + json(answer) + " with errors " + json(errors));
        }
        next();
      })();
    };
  }

  return {
    json: json,
    pass: pass,
    fail: fail,
    check: check,
    info: info,
    done: done,
    isRect: isRect,
    sameRect: sameRect,
    checkRect: checkRect,
    maxRect: maxRect,
    printEvents: printEvents,
    whenReady: whenReady,
    guarded: guarded,
    steps: steps,
    expectError: expectError,
    expectQuiet: expectQuiet,
    expectSoon: expectSoon,
    environmentSteps: environmentSteps,
  };
})();
