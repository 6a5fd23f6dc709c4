// The player's side of the audio engine: the engine is a shared library of its own. With it
// come FFmpeg's and FluidSynth's hundred-odd libraries, whose loading and relocation take some
// 50 ms and 25 MB, so the player starts without them: they are loaded on a thread of their
// own once the first window is up (LoadEngineAhead), or by the first stream, whichever comes
// first. Loaded on the window's thread, the first track would hold the window up that long.
//
// Threads: every call below comes from the user-interface thread, as every engine call does;
// the loading thread only opens the library and looks its calls up (OpenEngine), touching
// nothing else here. Its result, g_ahead.calls, is written by that thread alone and read only
// after the join, which orders the two: no lock is needed. The first call that needs the
// engine joins it; the process's end waits for it too (Ahead's destructor), so that the
// libraries' own start and end never overlap.
//
// Until the engine is loaded no stream exists, so every call on a handle fails as it would
// for a handle that names nothing. BASS_Init and the equaliser's setting are remembered and
// made when the engine loads (the player sets the equaliser at start-up, long before
// anything plays).
#include <dlfcn.h>
#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <system_error>
#include <thread>

#include "audio_engine.h"
#include "engine_loading.h"

namespace {

// The engine's calls, looked up by name in the loaded library.
struct EngineCalls {
    decltype(&BASS_Init) init;
    decltype(&BASS_StreamFree) streamFree;
    decltype(&BASS_StreamCreateFile) streamCreateFile;
    decltype(&BASS_StreamCreateURL) streamCreateUrl;
    decltype(&BASS_ChannelPlay) channelPlay;
    decltype(&BASS_ChannelPause) channelPause;
    decltype(&BASS_ChannelSetAttribute) channelSetAttribute;
    decltype(&BASS_ChannelIsActive) channelIsActive;
    decltype(&BASS_ChannelSetPosition) channelSetPosition;
    decltype(&BASS_ChannelGetLength) channelGetLength;
    decltype(&BASS_ChannelGetPosition) channelGetPosition;
    decltype(&BASS_ChannelBytes2Seconds) channelBytes2Seconds;
    decltype(&BASS_ChannelGetData) channelGetData;
    decltype(&BASS_ChannelGetTags) channelGetTags;
    decltype(&BASS_ErrorGetCode) errorGetCode;
    decltype(&BASS_ChannelQueueAfter) channelQueueAfter;
    decltype(&BASS_SetEqualizer) setEqualizer;
};

struct InitCall {
    bool made = false;
    int device = -1;
    DWORD freq = 0, flags = 0;
    void *win = nullptr;
};

EngineCalls *g_engine = nullptr;  // loaded and complete, or nullptr
bool g_loadTried = false;
InitCall g_init;
// The equaliser's gains until the engine loads; bands 0: off.
struct {
    float gains[BASS_EQ_BANDS] = {};
    DWORD bands = 0;
} g_equalizer;

bool Readable(const std::string &path) {
    return access(path.c_str(), R_OK) == 0;
}

// Next to the executable, where the build puts the player; in the installed tree's engine
// folder, found from the executable's folder; else, for the test programs in the build's
// sub-folders, where the build put it. An installed executable never reaches into a build.
std::string EngineFile() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return VOLNAR_ENGINE_BUILD_PATH;
    const std::string executable(self, static_cast<std::size_t>(length));
    const std::string folder = executable.substr(0, executable.rfind('/') + 1);
    const std::string beside = folder + VOLNAR_ENGINE_FILE;
    if (Readable(beside)) return beside;
    const std::string installed = folder + VOLNAR_ENGINE_FROM_BIN "/" VOLNAR_ENGINE_FILE;
    if (Readable(installed)) return installed;
    if (executable.starts_with(VOLNAR_BUILD_FOLDER "/")) return VOLNAR_ENGINE_BUILD_PATH;
    return installed;
}

template <typename Function>
bool Find(void *library, const char *name, Function &function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// The engine opened and its calls found, or nullptr. Touches nothing of this file's state, so
// that the loading thread may run it.
EngineCalls *OpenEngine() {
    // Local: the engine's libraries never take the place of the player's own symbols.
    // Lazy: of the hundred-odd libraries' calls to one another only those made are bound,
    // when first made, instead of all of them at once (a fifth of the load's time). The
    // packages' versioned dependencies guarantee that every one is there.
    void *library = dlopen(EngineFile().c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    auto *calls = new EngineCalls;
    const bool complete = Find(library, "BASS_Init", calls->init) &&
                          Find(library, "BASS_StreamFree", calls->streamFree) &&
                          Find(library, "BASS_StreamCreateFile", calls->streamCreateFile) &&
                          Find(library, "BASS_StreamCreateURL", calls->streamCreateUrl) &&
                          Find(library, "BASS_ChannelPlay", calls->channelPlay) &&
                          Find(library, "BASS_ChannelPause", calls->channelPause) &&
                          Find(library, "BASS_ChannelSetAttribute", calls->channelSetAttribute) &&
                          Find(library, "BASS_ChannelIsActive", calls->channelIsActive) &&
                          Find(library, "BASS_ChannelSetPosition", calls->channelSetPosition) &&
                          Find(library, "BASS_ChannelGetLength", calls->channelGetLength) &&
                          Find(library, "BASS_ChannelGetPosition", calls->channelGetPosition) &&
                          Find(library, "BASS_ChannelBytes2Seconds", calls->channelBytes2Seconds) &&
                          Find(library, "BASS_ChannelGetData", calls->channelGetData) &&
                          Find(library, "BASS_ChannelGetTags", calls->channelGetTags) &&
                          Find(library, "BASS_ErrorGetCode", calls->errorGetCode) &&
                          Find(library, "BASS_ChannelQueueAfter", calls->channelQueueAfter) &&
                          Find(library, "BASS_SetEqualizer", calls->setEqualizer);
    if (!complete) {
        delete calls;
        dlclose(library);
        return nullptr;
    }
    return calls;
}

// The load ahead under way or done, until the first call that needs the engine takes it.
struct Ahead {
    std::thread thread;
    EngineCalls *calls = nullptr;  // the thread's result: read only after the join

    ~Ahead() {
        if (thread.joinable()) thread.join();
    }
} g_ahead;

EngineCalls *LoadEngine() {
    if (g_loadTried) return g_engine;
    g_loadTried = true;
    EngineCalls *calls = nullptr;
    if (g_ahead.thread.joinable()) {
        g_ahead.thread.join();
        calls = g_ahead.calls;
    } else {
        calls = OpenEngine();
    }
    if (calls == nullptr) return nullptr;
    // The engine and its threads stay until the process ends.
    g_engine = calls;
    if (g_init.made) g_engine->init(g_init.device, g_init.freq, g_init.flags, g_init.win, nullptr);
    if (g_equalizer.bands > 0) g_engine->setEqualizer(g_equalizer.gains, g_equalizer.bands);
    return g_engine;
}

}  // namespace

void LoadEngineAhead() {
    if (g_loadTried || g_ahead.thread.joinable()) return;
    try {
        g_ahead.thread = std::thread([] {
            pthread_setname_np(pthread_self(), "volnar-load");
            g_ahead.calls = OpenEngine();
        });
    } catch (const std::system_error &) {
        // No thread to be had: the first stream loads the engine itself.
    }
}

extern "C" {

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void *win, const void *clsid) {
    if (g_engine) return g_engine->init(device, freq, flags, win, clsid);
    if (g_init.made) return FALSE;  // initialised already
    g_init = InitCall{true, device, freq, flags, win};
    return TRUE;
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags) {
    EngineCalls *engine = LoadEngine();
    return engine ? engine->streamCreateFile(mem, file, offset, length, flags) : 0;
}

HSTREAM BASS_StreamCreateURL(const char *url, DWORD offset, DWORD flags, void *proc, void *user) {
    EngineCalls *engine = LoadEngine();
    return engine ? engine->streamCreateUrl(url, offset, flags, proc, user) : 0;
}

BOOL BASS_StreamFree(HSTREAM handle) {
    return g_engine ? g_engine->streamFree(handle) : FALSE;
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
    return g_engine ? g_engine->channelPlay(handle, restart) : FALSE;
}

BOOL BASS_ChannelPause(DWORD handle) {
    return g_engine ? g_engine->channelPause(handle) : FALSE;
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
    return g_engine ? g_engine->channelSetAttribute(handle, attrib, value) : FALSE;
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    return g_engine ? g_engine->channelIsActive(handle) : BASS_ACTIVE_STOPPED;
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
    return g_engine ? g_engine->channelSetPosition(handle, pos, mode) : FALSE;
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
    return g_engine ? g_engine->channelGetLength(handle, mode) : ~QWORD{0};
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
    return g_engine ? g_engine->channelGetPosition(handle, mode) : ~QWORD{0};
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    return g_engine ? g_engine->channelBytes2Seconds(handle, pos) : -1.0;
}

DWORD BASS_ChannelGetData(DWORD handle, void *buffer, DWORD length) {
    return g_engine ? g_engine->channelGetData(handle, buffer, length) : 0xFFFFFFFFu;
}

const char *BASS_ChannelGetTags(DWORD handle, DWORD tags) {
    return g_engine ? g_engine->channelGetTags(handle, tags) : nullptr;
}

BOOL BASS_ChannelQueueAfter(DWORD current, DWORD next) {
    return g_engine ? g_engine->channelQueueAfter(current, next) : FALSE;
}

BOOL BASS_SetEqualizer(const float *gainsDb, DWORD bands) {
    if (g_engine) return g_engine->setEqualizer(gainsDb, bands);
    // The engine's own checks, so that what it will refuse is refused now.
    if (bands > BASS_EQ_BANDS || (bands > 0 && !gainsDb)) return FALSE;
    for (DWORD i = 0; i < bands; ++i)
        if (!std::isfinite(gainsDb[i])) return FALSE;
    g_equalizer.bands = bands;
    std::copy_n(gainsDb, bands, g_equalizer.gains);
    return TRUE;
}

// Without the engine no stream exists: every call so far was on a handle that names nothing,
// or a creation that failed because the engine could not be loaded.
int BASS_ErrorGetCode(void) {
    if (g_engine) return g_engine->errorGetCode();
    return g_loadTried ? BASS_ERROR_UNKNOWN : BASS_ERROR_HANDLE;
}

}  // extern "C"
