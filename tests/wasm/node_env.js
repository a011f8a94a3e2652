// Emscripten gives a program a made-up environment; under node it gets
// node's, so that SOURCE_DATE_EPOCH and the like reach it as they reach the
// native program.
if (typeof process === 'object' && process.env) {
  Module['preRun'] = Module['preRun'] || [];
  Module['preRun'].push(function () { Object.assign(ENV, process.env); });
}
