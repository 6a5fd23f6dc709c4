// The call interface: a table of streams behind 32-bit handles, argument checks, and the
// translation between the calls' byte units and the streams' frames.
//
// Threads: every call comes from the user-interface thread, so the table needs no lock; the
// threads behind it live in Stream and AudioOutput.
//
// Process exit: the player never shuts the engine down and ends with exit() while a stream
// may play. The engine's state is therefore a heap object that is never destroyed: no static
// destructor can pull memory from under the audio or decoder threads, and those threads end
// with the process. Everything a freed stream owned is released by BASS_StreamFree.
#include "audio_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "audio_output.h"
#include "decoder.h"
#include "engine_probe.h"
#include "equalizer.h"
#include "fft_magnitudes.h"
#include "id3v1.h"
#include "steady_clock.h"
#include "stream.h"
#include "url_opener.h"

namespace {

using engine::kBytesPerFrame;
using engine::NowNs;

// A handle is (generation << kIndexBits) | (slot + 1): never 0, and a freed handle never
// names the slot's next stream.
constexpr unsigned kIndexBits = 12;
constexpr DWORD kIndexMask = (1u << kIndexBits) - 1;
constexpr std::size_t kMaxStreams = kIndexMask;
constexpr QWORD kUnknown = ~QWORD{0};
constexpr DWORD kDataFailed = 0xFFFFFFFFu;
constexpr std::size_t kMaxAddressBytes = 4096;

struct Slot {
    DWORD generation = 1;
    std::unique_ptr<engine::Stream> stream;
};

struct EngineState {
    bool initialised = false;
    int error = BASS_OK;  // BASS_ErrorGetCode
    engine::AudioOutput output;
    std::vector<Slot> slots;
    std::unique_ptr<engine::Spectrum> spectrum;
};

EngineState &State() {
    static EngineState *state = new EngineState;  // intentionally never destroyed
    return *state;
}

void EnsureOutput(bool use_device) {
    EngineState &state = State();
    if (state.initialised) return;
    state.initialised = true;
    engine::KeepLibraryErrorsQuiet();  // the player logs nothing
    // Sets up the TLS library once, before openings may run on several threads.
    avformat_network_init();
    state.output.Open(use_device);
}

engine::Stream *Find(DWORD handle) {
    EngineState &state = State();
    DWORD index = handle & kIndexMask;
    if (index == 0 || index > state.slots.size()) return nullptr;
    Slot &slot = state.slots[index - 1];
    if (slot.generation != handle >> kIndexBits) return nullptr;
    return slot.stream.get();
}

HSTREAM Register(std::unique_ptr<engine::Stream> stream) {
    EngineState &state = State();
    std::size_t index = 0;
    while (index < state.slots.size() && state.slots[index].stream)
        ++index;
    if (index == state.slots.size()) {
        if (index >= kMaxStreams) return 0;
        state.slots.emplace_back();
    }
    Slot &slot = state.slots[index];
    stream->Start();
    state.output.Attach(stream.get());
    slot.stream = std::move(stream);
    return (slot.generation << kIndexBits) | static_cast<DWORD>(index + 1);
}

bool StartsWithNoCase(const char *text, const char *prefix) {
    for (; *prefix; ++text, ++prefix)
        if (std::tolower(static_cast<unsigned char>(*text)) != *prefix) return false;
    return true;
}

// Only http and https addresses of printable characters: a control character could end the
// request line and smuggle headers.
bool AcceptableAddress(const char *url) {
    std::size_t length = strnlen(url, kMaxAddressBytes + 1);
    if (length == 0 || length > kMaxAddressBytes) return false;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(url[i]);
        if (c <= 0x20 || c == 0x7F) return false;
    }
    return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

HSTREAM Fail(int code) {
    State().error = code;
    return 0;
}

HSTREAM Succeed(HSTREAM handle) {
    State().error = BASS_OK;
    return handle;
}

}  // namespace

std::int64_t engine::FirstFrameNs(DWORD handle) {
    engine::Stream *stream = Find(handle);
    return stream ? stream->FirstFrameNs() : 0;
}

void engine::CaptureOutput(std::size_t frames) {
    State().output.StartCapture(frames);
}

std::vector<float> engine::CapturedOutput() {
    return State().output.TakeCapture();
}

extern "C" {

BOOL BASS_Init(int device, DWORD, DWORD, void *, const void *) {
    if (device < -1) return FALSE;
    if (State().initialised) return FALSE;
    // Device 0 is "no sound": the silent clock.
    EnsureOutput(device != 0);
    return TRUE;
}

BOOL BASS_StreamFree(HSTREAM handle) {
    engine::ReapUrlOpeners();
    engine::Stream *stream = Find(handle);
    if (!stream) return Fail(BASS_ERROR_HANDLE);
    EngineState &state = State();
    state.error = BASS_OK;
    Slot &slot = state.slots[(handle & kIndexMask) - 1];
    // Detached first: the output stops touching it at once, then the decoder is joined.
    state.output.Detach(stream);
    slot.stream.reset();
    slot.generation = (slot.generation + 1) & ((1u << (32 - kIndexBits)) - 1);
    if (slot.generation == 0) slot.generation = 1;
    return TRUE;
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD) {
    // Streams from memory and parts of files are not supported.
    if (mem || !file || offset != 0 || length != 0) return Fail(BASS_ERROR_ILLPARAM);
    std::string path(static_cast<const char *>(file));
    if (path.empty()) return Fail(BASS_ERROR_FILEOPEN);
    // A file that cannot be read (gone, no permission) is told from one that is no audio.
    // Only a regular file is opened to see: opening a device may do something by itself.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return Fail(BASS_ERROR_FILEOPEN);
    if (S_ISREG(info.st_mode)) {
        const int probe = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (probe < 0) return Fail(BASS_ERROR_FILEOPEN);
        close(probe);
    }
    EnsureOutput(true);
    auto token = std::make_shared<engine::CancelToken>();
    std::unique_ptr<engine::Decoder> decoder = engine::LooksLikeMidi(path)
                                                   ? engine::OpenMidiDecoder(path)
                                                   : engine::OpenFileDecoder(path, token.get());
    if (!decoder) return Fail(BASS_ERROR_FILEFORM);
    auto stream = std::make_unique<engine::Stream>(std::move(token), std::move(decoder), false,
                                                   engine::ReadId3v1(path));
    HSTREAM handle = Register(std::move(stream));
    return handle ? Succeed(handle) : Fail(BASS_ERROR_MEM);
}

// Returns at once: the stream connects on its own thread and reads as stalled meanwhile; a
// station that cannot be opened within 5 s ends (activity 0, with the reason).
HSTREAM BASS_StreamCreateURL(const char *url, DWORD offset, DWORD, void *, void *) {
    engine::ReapUrlOpeners();
    if (!url || offset != 0) return Fail(BASS_ERROR_ILLPARAM);
    if (!AcceptableAddress(url)) return Fail(BASS_ERROR_PROTOCOL);
    EnsureOutput(true);
    // Schemes are case-blind (HTTP:// as some lists write it); FFmpeg's protocol names are not.
    std::string address(url);
    for (std::size_t i = 0; i < address.size() && address[i] != ':'; ++i)
        address[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(address[i])));
    auto stream =
        std::make_unique<engine::Stream>(std::make_shared<engine::CancelToken>(), address);
    HSTREAM handle = Register(std::move(stream));
    return handle ? Succeed(handle) : Fail(BASS_ERROR_MEM);
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
    engine::Stream *stream = Find(handle);
    return stream && stream->Play(restart != FALSE) ? TRUE : FALSE;
}

BOOL BASS_ChannelPause(DWORD handle) {
    engine::Stream *stream = Find(handle);
    return stream && stream->Pause() ? TRUE : FALSE;
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
    engine::Stream *stream = Find(handle);
    if (!stream || attrib != BASS_ATTRIB_VOL || std::isnan(value)) return FALSE;
    stream->SetVolume(value);  // clamped to 0...1
    return TRUE;
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    engine::Stream *stream = Find(handle);
    if (!stream) {
        State().error = BASS_ERROR_HANDLE;
        return BASS_ACTIVE_STOPPED;
    }
    int reason = BASS_OK;
    DWORD activity = stream->CurrentActivity(&reason);
    State().error = reason;
    return activity;
}

int BASS_ErrorGetCode() {
    return State().error;
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
    engine::Stream *stream = Find(handle);
    // A negative position arrives with its sign bits set: far past any end.
    if (!stream || mode != BASS_POS_BYTE || pos > (QWORD{1} << 62)) return FALSE;
    return stream->Seek(static_cast<std::int64_t>(pos / kBytesPerFrame)) ? TRUE : FALSE;
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
    engine::Stream *stream = Find(handle);
    if (!stream || mode != BASS_POS_BYTE) return kUnknown;
    std::int64_t frames = stream->LengthFrames();
    return frames < 0 ? kUnknown : static_cast<QWORD>(frames) * kBytesPerFrame;
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
    engine::Stream *stream = Find(handle);
    if (!stream || mode != BASS_POS_BYTE) return kUnknown;
    std::int64_t frames = stream->PositionFrames(State().output.LatencyFrames());
    return static_cast<QWORD>(frames) * kBytesPerFrame;
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    // A position with the top bit set is a negative or unknown amount: no duration.
    if (!Find(handle) || static_cast<std::int64_t>(pos) < 0) return -1.0;
    return static_cast<double>(pos) / (engine::kSampleRate * kBytesPerFrame);
}

DWORD BASS_ChannelGetData(DWORD handle, void *buffer, DWORD length) {
    engine::Stream *stream = Find(handle);
    if (!stream || !buffer || length != BASS_DATA_FFT2048) return kDataFailed;
    EngineState &state = State();
    if (!state.spectrum) state.spectrum = std::make_unique<engine::Spectrum>();
    auto *out = static_cast<float *>(buffer);
    float heard[engine::kFftSize];
    if (!stream->CopyHeard(heard, state.output.LatencyFrames())) {
        std::memset(out, 0, engine::kFftBins * sizeof(float));
    } else if (!state.spectrum->Compute(heard, out)) {
        return kDataFailed;
    }
    return engine::kFftBins * sizeof(float);
}

const char *BASS_ChannelGetTags(DWORD handle, DWORD tags) {
    engine::Stream *stream = Find(handle);
    if (!stream) return nullptr;
    if (tags == BASS_TAG_ID3) {
        const engine::Id3v1Block *block = stream->Id3();
        return block ? block->data() : nullptr;
    }
    if (tags == BASS_TAG_META) return stream->IsUrl() ? stream->Metadata() : nullptr;
    if (tags == BASS_TAG_ICY) return stream->IsUrl() ? stream->IcyHeaders() : nullptr;
    return nullptr;
}

BOOL BASS_SetEqualizer(const float *gainsDb, DWORD bands) {
    EngineState &state = State();
    engine::EqSettings settings;
    if (bands > BASS_EQ_BANDS || (bands > 0 && !gainsDb) ||
        !engine::DesignEqualizer(gainsDb, static_cast<int>(bands), &settings))
        return Fail(BASS_ERROR_ILLPARAM);
    state.output.SetEqualizer(settings);
    state.error = BASS_OK;
    return TRUE;
}

BOOL BASS_ChannelQueueAfter(DWORD current, DWORD next) {
    engine::Stream *leader = Find(current);
    engine::Stream *follower = next == 0 ? nullptr : Find(next);
    EngineState &state = State();
    if (!leader || (next != 0 && !follower)) return Fail(BASS_ERROR_HANDLE);
    if (leader->IsUrl() || follower == leader || (follower && follower->IsUrl()))
        return Fail(BASS_ERROR_ILLPARAM);
    state.error = state.output.Queue(leader, follower);
    return state.error == BASS_OK ? TRUE : FALSE;
}

}  // extern "C"
