#include "platform/web/PageScript.h"

namespace platform {

std::string pageScript(const std::string& token) {
  std::string script = R"JS((() => {
  if (window.top !== window || window.__velourReady) return;
  const report = globalThis.__velourNavigate;
  try { delete globalThis.__velourNavigate; } catch (e) {}
  if (typeof report !== 'function') return;
  Object.defineProperty(window, '__velourReady', {value: true});
  const token = '@TOKEN@';
  let pass = null;
  Object.defineProperty(window, '__velourPass', {
    value: (key, url) => { if (key === token) pass = new URL(url, location.href).href; },
    writable: false, configurable: false, enumerable: false});
  Object.defineProperty(window, 'orientation', {get: () => 0, configurable: true});
  if (!('onorientationchange' in window)) window.onorientationchange = null;
  window.open = function(url) {
    if (url !== undefined && url !== null && String(url) !== '') location.href = String(url);
    return null;
  };
  const keepInView = (e) => {
    const el = e.target;
    const holder = el && el.closest ? el.closest('a[target],area[target],form[target]') : null;
    if (holder) holder.target = '_self';
  };
  document.addEventListener('click', keepInView, true);
  document.addEventListener('submit', keepInView, true);
  const typeOf = (e) => {
    const el = e.sourceElement;
    if (e.navigationType === 'traverse') return 2;
    if (e.navigationType === 'reload') return e.formData ? 4 : 3;
    if (e.formData || (el && (el.tagName === 'FORM' || el.form))) return 1;
    if (el && el.closest && el.closest('a,area')) return 0;
    return 5;
  };
  let inBurst = false;
  navigation.addEventListener('navigate', (e) => {
    const url = e.destination.url;
    if (pass !== null && pass === url) { pass = null; return; }
    const active = !!(navigator.userActivation && navigator.userActivation.isActive);
    const entry = {url, type: typeOf(e), held: e.cancelable, same: e.destination.sameDocument,
                   index: e.destination.index, post: !!e.formData, body: '',
                   user: !!e.userInitiated || active};
    if (e.formData) {
      try { entry.body = new URLSearchParams(e.formData).toString(); } catch (x) {}
    }
    if (e.cancelable) e.preventDefault();
    report(JSON.stringify(entry));
    // The end of the task that asked: of a burst of navigations only the last one loads.
    if (!inBurst) {
      inBurst = true;
      queueMicrotask(() => { inBurst = false; report('{"end":true}'); });
    }
  });
})();)JS";
  script.replace(script.find("@TOKEN@"), 7, token);
  return script;
}

}  // namespace platform
