#pragma once

// Starts loading the audio engine on a thread of its own and returns at once; the first
// engine call that needs the engine then waits for that load instead of making it. Nothing
// is done when the engine is loaded or being loaded already.
// Only called from the user-interface thread, once the first window is shown: the load
// takes a core for some 50 ms, which the start-up's own work should not wait for.
void LoadEngineAhead();
