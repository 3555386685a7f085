// Vozave demo support script. ZEDE_buildAdURL(params) turns the ad client's request
// parameters into an ad URL and answers with exactly one report, by loading a "gmsg" message
// URL: "loadAdURL" (url, type), "invalidRequest" (reason) or "unableToServe" (reason,
// slotname). The demo ad server fills in the two values below when it serves the file.
var ZEDE_AD_ORIGIN = "__ZEDE_AD_ORIGIN__";
// How the script behaves per ad unit ("*" for units not named): "" builds the ad URL;
// "unable", "silent", "spin" and "throw" act out the inventory's faults.
var ZEDE_UNIT_FAULTS = __ZEDE_UNIT_FAULTS__;
// Parameters that stay on the device: the server does not read them.
var ZEDE_SKIPPED = {"ios_metadata": true};
// Ad URLs beyond this length are refused by the server, so the script refuses them first.
var ZEDE_MAX_URL_LENGTH = 7000;

function ZEDE_report(name, fields) {
  var pairs = [];
  for (var key in fields) {
    pairs.push(encodeURIComponent(key) + "=" + encodeURIComponent(fields[key]));
  }
  window.location.href = "gmsg://zede/" + name + (pairs.length ? "?" + pairs.join("&") : "");
}

// Objects and lists travel as JSON text, everything else as its text.
function ZEDE_queryValue(value) {
  if (value === null || value === undefined) return "";
  if (typeof value === "object") return JSON.stringify(value);
  return String(value);
}

function ZEDE_buildAdURL(params) {
  if (typeof params !== "object" || params === null || Array.isArray(params)) {
    ZEDE_report("invalidRequest", {reason: "the request parameters are not an object"});
    return;
  }
  var slot = params.slotname;
  if (typeof slot !== "string" || !/^[0-9a-f]{15}$/.test(slot)) {
    ZEDE_report("invalidRequest",
                {reason: "slotname must be 15 lower-case hexadecimal digits"});
    return;
  }
  var fault = Object.prototype.hasOwnProperty.call(ZEDE_UNIT_FAULTS, slot)
                  ? ZEDE_UNIT_FAULTS[slot] : (ZEDE_UNIT_FAULTS["*"] || "");
  if (fault === "silent") return;
  if (fault === "spin") for (;;) {}
  if (fault === "throw") throw new Error("ZEDE_buildAdURL fails for this ad unit on purpose");
  if (fault === "unable") {
    ZEDE_report("unableToServe", {reason: "no ads for this ad unit", slotname: slot});
    return;
  }
  var pairs = [];
  for (var key in params) {
    if (!Object.prototype.hasOwnProperty.call(params, key) || ZEDE_SKIPPED[key]) continue;
    pairs.push(encodeURIComponent(key) + "=" + encodeURIComponent(ZEDE_queryValue(params[key])));
  }
  var url = ZEDE_AD_ORIGIN + "/zede/ads?" + pairs.join("&");
  if (url.length > ZEDE_MAX_URL_LENGTH) {
    ZEDE_report("invalidRequest", {reason: "the request parameters are too long"});
    return;
  }
  ZEDE_report("loadAdURL", {url: url, type: "vodov"});
}
