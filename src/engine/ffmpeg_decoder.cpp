// The FFmpeg decoder: MP3, WAV and whatever else FFmpeg recognises by content, from local
// files or from http/https station addresses. A file is opened on the user-interface thread,
// a station on a connecting thread (url_opener.cpp); from then on the decoder is used only by
// its stream's decoder thread. Every blocking FFmpeg call goes through the interrupt
// callback, which reads a CancelToken (atomics only).
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio_engine.h"
#include "blank_head.h"
#include "decoder.h"
#include "ffmpeg_handles.h"
#include "ffmpeg_io.h"
#include "icy_metadata.h"
#include "time_bounds.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace engine {
namespace {

// Opening a station reads at most this much to recognise its format and then to find its
// parameters: about a second of a typical station, so that one without a first burst is
// still open within the time-out.
constexpr int kUrlFormatProbeBytes = 16 * 1024;
constexpr int kUrlProbeBytes = 32 * 1024;
// A station that sends nothing for this long is taken as gone (microseconds).
constexpr std::chrono::microseconds kUrlReadTimeout{5000000};
// Connections tried for one opening when what arrives cannot be read as audio: each
// connection joins the station at another point of its stream.
constexpr int kStationOpenAttempts = 3;
// Packets scanned per refinement step when the container only estimated its length.
constexpr int kScanPacketsPerStep = 400;
// Bad packets tolerated in a row before a source is given up as undecodable.
constexpr int kMaxBadPacketsInRow = 200;
// How far FFmpeg may read a local file without sound: the opening up to its first decoded
// frame (tags with pictures, an index and the probe included), and playback past the last
// decoded frame. A file of zeros with an audio name, or one whose sound ends while its bytes
// go on, would otherwise be read to its end: on the window's thread while it opens, and by
// a busy decoder thread afterwards.
constexpr std::int64_t kOpenReadBudget = std::int64_t{8} << 20;
constexpr std::int64_t kSilentReadBudget = std::int64_t{16} << 20;
// The same for a station's connection: its opening (an HLS master playlist included, which
// is read through it) and what it sends past its last decoded frame. A server sending zeros
// as audio/mpeg, an endless playlist or a gzip bomb (inflated by FFmpeg's http reader even
// though it was never asked for) would otherwise fill memory while the opening waits out
// its 5 s.
constexpr std::int64_t kStationOpenReadBudget = std::int64_t{256} << 10;
constexpr std::int64_t kStationSilentReadBudget = std::int64_t{1} << 20;

// What every read of a local file or of a station's connection checks, through the interrupt
// callback: the stream's cancel, and the bytes the reader may still take. Lives in its
// decoder, which is used by one thread at a time.
struct ReadGuard {
    CancelToken *token = nullptr;
    const AVFormatContext *format = nullptr;  // a file's context, from its allocation on
    const AVIOContext *io = nullptr;          // a station's connection, once open
    std::int64_t limit = -1;                  // bytes read past which reads fail; -1: none

    std::int64_t BytesRead() const {
        if (io) return io->bytes_read;
        return format && format->pb ? format->pb->bytes_read : 0;
    }
    void Allow(std::int64_t bytes) { limit = BytesRead() + bytes; }
};

int GuardedInterrupt(void *opaque) {
    const auto *guard = static_cast<const ReadGuard *>(opaque);
    if (guard->token->Expired()) return 1;
    return guard->limit >= 0 && guard->BytesRead() > guard->limit ? 1 : 0;
}

// https: the peer's chain must lead to a trusted authority and name the host. GnuTLS reads
// the system's store by itself; SSL_CERT_FILE, the variable other TLS users honour, names a
// file to trust instead.
void AddTlsOptions(AVDictionary **options) {
    av_dict_set(options, "tls_verify", "1", 0);
    const char *trusted = std::getenv("SSL_CERT_FILE");
    if (trusted && trusted[0]) av_dict_set(options, "ca_file", trusted, 0);
}

// Formats whose titles come in the stream itself as Vorbis comments, not as ICY metadata.
bool CarriesCommentTitles(const AVInputFormat *format) {
    return format &&
           (std::strcmp(format->name, "ogg") == 0 || std::strcmp(format->name, "flac") == 0);
}

// The title a player shows for a set of Vorbis comments: "ARTIST - TITLE", or whichever of the
// two there is; empty with neither.
std::string CommentTitle(const AVDictionary *tags) {
    const AVDictionaryEntry *title = av_dict_get(tags, "title", nullptr, 0);
    const AVDictionaryEntry *artist = av_dict_get(tags, "artist", nullptr, 0);
    std::string text;
    if (artist && artist->value[0]) text = artist->value;
    if (title && title->value[0]) text += (text.empty() ? "" : " - ") + std::string(title->value);
    // The same bound as an ICY block, so a hostile comment costs no more than a hostile block.
    if (text.size() > kMaxIcyBlockBytes) text.resize(kMaxIcyBlockBytes);
    return text;
}

using IoOpen = int (*)(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **);

// The library's own opener, taken from the first context (every context starts with it).
IoOpen LibraryIoOpen(IoOpen first) {
    static const IoOpen library = first;
    return library;
}

// Every connection a station's format opens, nested ones too (HLS playlists, segments and
// keys), is checked as the first one is: FFmpeg hands only a few options on by itself.
int CheckedIoOpen(AVFormatContext *s, AVIOContext **pb, const char *url, int flags,
                  AVDictionary **options) {
    AVDictionary *own = nullptr;
    AVDictionary **used = options ? options : &own;
    AddTlsOptions(used);
    const int result = LibraryIoOpen(nullptr)(s, pb, url, flags, used);
    av_dict_free(&own);
    return result;
}

// FFmpeg reports why a connection failed only in its log: a failed host name lookup and a
// failed TLS handshake both come back as EIO. Its error lines are kept, per thread, as the
// name of the component that wrote the last one; nothing is printed.
thread_local char last_error_component[16];

void RememberLibraryError(void *object, int level, const char *, va_list) {
    if (level > AV_LOG_ERROR || !object) return;
    const AVClass *kind = *static_cast<const AVClass *const *>(object);
    const char *name = kind && kind->item_name ? kind->item_name(object) : "";
    std::snprintf(last_error_component, sizeof last_error_component, "%s", name ? name : "");
}

// The BASS_ERROR_* code for a station connection that could not be made.
int ConnectionError(int result, const CancelToken *token) {
    if (token->Expired() || result == AVERROR(ETIMEDOUT) || result == AVERROR_EXIT)
        return BASS_ERROR_TIMEOUT;
    switch (result) {
        case AVERROR_HTTP_BAD_REQUEST:
        case AVERROR_HTTP_UNAUTHORIZED:
        case AVERROR_HTTP_FORBIDDEN:
        case AVERROR_HTTP_NOT_FOUND:
        case AVERROR_HTTP_OTHER_4XX:
        case AVERROR_PROTOCOL_NOT_FOUND:
        case AVERROR(EINVAL):  // a redirect to a protocol off the list
            return BASS_ERROR_FILEOPEN;
        case AVERROR(EIO):
            if (std::strcmp(last_error_component, "tls") == 0) return BASS_ERROR_SSL;
            if (std::strcmp(last_error_component, "tcp") == 0) return BASS_ERROR_FILEOPEN;
            return BASS_ERROR_NONET;
        default:
            return BASS_ERROR_NONET;
    }
}

// The demuxer for the content type a station declares, or null to recognise it by content.
// A station is joined wherever its stream happens to be, usually inside a frame; recognised
// by content alone, an MP3 stream joined there scores low enough that another format's
// guess can tie with it or beat it (a stream whose first bytes happen to be 1F 8B is taken
// for compressed game music, for one), and the opening fails. The MP3 and ADTS readers
// themselves skip to the first whole frame.
const AVInputFormat *DeclaredFormat(AVIOContext *io) {
    std::uint8_t *value = nullptr;
    if (av_opt_get(io, "mime_type", AV_OPT_SEARCH_CHILDREN, &value) < 0 || !value) return nullptr;
    std::unique_ptr<std::uint8_t, AvFreer> owned(value);
    std::string type(reinterpret_cast<const char *>(value));
    type = type.substr(0, type.find(';'));
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    type.erase(type.find_last_not_of(" \t") + 1);
    static constexpr struct {
        const char *type, *format;
    } kTypes[] = {{"audio/mpeg", "mp3"},   {"audio/mp3", "mp3"},   {"audio/mpeg3", "mp3"},
                  {"audio/x-mpeg", "mp3"}, {"audio/x-mp3", "mp3"}, {"audio/mpg", "mp3"},
                  {"audio/aac", "aac"},    {"audio/aacp", "aac"},  {"audio/x-aac", "aac"}};
    for (const auto &entry : kTypes)
        if (type == entry.type) return av_find_input_format(entry.format);
    return nullptr;
}

AVFormatContext *NewFormatContext(int (*interrupt)(void *), void *opaque) {
    AVFormatContext *raw = avformat_alloc_context();
    if (!raw) return nullptr;
    raw->interrupt_callback.callback = interrupt;
    raw->interrupt_callback.opaque = opaque;
    // The first frames tell everything the decoder needs; reading seconds of audio ahead
    // would only slow every opening down.
    raw->max_analyze_duration = AV_TIME_BASE / 2;
    return raw;
}

// Opens a local file within the opening's read budget; the guard watches the context from
// here on.
FormatPtr OpenFileInput(const std::string &path, ReadGuard *guard) {
    AVFormatContext *raw = NewFormatContext(GuardedInterrupt, guard);
    if (!raw) return nullptr;
    guard->format = raw;
    guard->limit = kOpenReadBudget;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    std::string name = "file:" + path;
    int result = avformat_open_input(&raw, name.c_str(), nullptr, &options);
    DictPtr left_over(options);
    if (result < 0) {  // avformat_open_input freed the context
        guard->format = nullptr;
        return nullptr;
    }
    FormatPtr format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        guard->format = nullptr;  // before the context is closed below
        return nullptr;
    }
    return format;
}

// One connection to one station address. use_declared_type: read the stream as the format
// its content type names, when it names one this knows. error: a BASS_ERROR_* code.
FormatPtr OpenStationInput(const std::string &url, ReadGuard *guard, bool use_declared_type,
                           int *error) {
    CancelToken *token = guard->token;
    guard->io = nullptr;
    guard->limit = kStationOpenReadBudget;
    AVIOInterruptCB interrupt{GuardedInterrupt, guard};
    AVDictionary *options = nullptr;
    // Untrusted addresses may reach only the station protocols, and nested opens (redirects,
    // HLS parts) inherit the list; a local path can never become another protocol.
    av_dict_set(&options, "protocol_whitelist", kStationProtocols, 0);
    AddStationConnectionOptions(&options);
    AVIOContext *raw_io = nullptr;
    last_error_component[0] = '\0';
    int result = avio_open2(&raw_io, url.c_str(), AVIO_FLAG_READ, &interrupt, &options);
    DictPtr left_over(options);
    if (result < 0 || !raw_io) {
        *error = ConnectionError(result, token);
        return nullptr;
    }
    AvioPtr io(raw_io);
    guard->io = raw_io;
    // Closing a connection (a TLS goodbye) still asks the interrupt callback, when the
    // context the guard counts is already freed: the guard forgets it first.
    const auto fail = [guard, error](int code) {
        *error = code;
        guard->io = nullptr;
        return FormatPtr();
    };
    const AVInputFormat *declared = use_declared_type ? DeclaredFormat(io.get()) : nullptr;
    AVFormatContext *raw = NewFormatContext(GuardedInterrupt, guard);
    if (!raw) return fail(BASS_ERROR_MEM);
    if (LibraryIoOpen(raw->io_open)) raw->io_open = CheckedIoOpen;
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    raw->probesize = kUrlProbeBytes;
    raw->format_probesize = kUrlFormatProbeBytes;
    AVDictionary *format_options = nullptr;
    av_dict_set(&format_options, "protocol_whitelist", kStationProtocols, 0);
    result = avformat_open_input(&raw, url.c_str(), declared, &format_options);
    DictPtr format_left_over(format_options);
    if (result < 0)  // the context is freed, the connection is still ours
        return fail(token->Expired() ? BASS_ERROR_TIMEOUT : BASS_ERROR_FILEFORM);
    io.release();  // closed with the context from here on (FormatCloser)
    FormatPtr format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return fail(token->Expired() ? BASS_ERROR_TIMEOUT : BASS_ERROR_FILEFORM);
    return format;
}

class FfmpegDecoder final : public Decoder {
  public:
    FfmpegDecoder(std::string address, bool is_url, CancelToken *token)
        : address_(std::move(address)), is_url_(is_url), token_(token) {
        guard_.token = token;
        scan_guard_.token = token;
    }
    // The contexts close after this body, and closing a connection still asks the interrupt
    // callback: the guards forget them first.
    ~FfmpegDecoder() override {
        guard_.io = nullptr;
        guard_.format = nullptr;
        scan_guard_.format = nullptr;
    }

    // A file, or one connection to a station (see OpenStationInput).
    bool Open(bool use_declared_type = false, int *error = nullptr);
    int Read(float *out, int max_frames) override;
    bool Seek(std::int64_t frame) override;
    bool Seekable() const override { return !is_url_; }
    std::int64_t LengthFrames() const override { return length_frames_; }
    bool RefineLengthStep() override;
    std::string Metadata() override;
    std::string StationName() override;
    bool Finished() const override;

  private:
    void UpdateCommentTitle(const AVPacket *packet);
    bool DecodeMore();
    bool Convert(const AVFrame *frame);
    void NoteFirstFrame(const AVFrame *frame);
    void CorrectEndTrim(AVPacket *packet) const;
    bool SetUpResampler(const AVFrame *frame);
    std::int64_t FramePosition(const AVFrame *frame) const;

    std::string address_;   // immutable after open
    bool is_url_;           // immutable after open
    CancelToken *token_;    // owned by the stream, outlives this
    ReadGuard guard_;       // the reads of format_, a file or a connection
    ReadGuard scan_guard_;  // a file's reads of scan_
    FormatPtr format_;
    CodecPtr codec_;
    PacketPtr packet_;
    FramePtr frame_;
    SwrPtr swr_;
    int stream_index_ = -1;
    int swr_rate_ = 0, swr_channels_ = 0, swr_format_ = -1;
    std::vector<float> converted_;  // mono or stereo frames from the resampler
    std::vector<float> pending_;    // stereo frames decoded but not yet read
    std::size_t pending_pos_ = 0;   // frames of pending_ already read
    bool source_ended_ = false;     // the demuxer reported the end of its input
    bool draining_ = false;
    bool at_end_ = false;
    int bad_packets_ = 0;
    std::int64_t length_frames_ = -1;
    bool length_estimated_ = false;
    std::int64_t align_target_ = -1;  // after a seek: the frame the output must start at
    bool first_frame_seen_ = false;
    // Samples (at the source rate) the demuxer counted for a Vorbis stream's first packet,
    // which decodes to nothing (see NoteFirstFrame).
    std::int64_t uncounted_start_ = 0;
    FormatPtr scan_;  // a second reader counting the real length
    std::int64_t scan_ticks_ = 0;
    std::int64_t scan_trimmed_ = 0;  // samples at the source rate
    bool comment_titles_ = false;    // immutable after open: an Ogg or FLAC station
    std::string comment_title_;      // the current logical stream's title, empty for none
    bool name_asked_ = false;        // the headers were looked at for the station's name
    std::string station_name_;
};

bool FfmpegDecoder::Open(bool use_declared_type, int *error) {
    int unused = 0;
    if (!error) error = &unused;
    *error = BASS_ERROR_FILEFORM;
    format_ = is_url_ ? OpenStationInput(address_, &guard_, use_declared_type, error)
                      : OpenFileInput(address_, &guard_);
    if (!format_) return false;
    *error = BASS_ERROR_FILEFORM;
    const AVCodec *decoder = nullptr;
    stream_index_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream_index_ < 0 || !decoder || decoder->type != AVMEDIA_TYPE_AUDIO) return false;
    AVStream *stream = format_->streams[stream_index_];
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        if (static_cast<int>(i) != stream_index_) format_->streams[i]->discard = AVDISCARD_ALL;
    codec_.reset(avcodec_alloc_context3(decoder));
    if (!codec_) return false;
    if (avcodec_parameters_to_context(codec_.get(), stream->codecpar) < 0) return false;
    codec_->thread_count = 1;
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) return false;
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!packet_ || !frame_) return false;
    comment_titles_ = is_url_ && CarriesCommentTitles(format_->iformat);
    UpdateCommentTitle(nullptr);

    if (!is_url_) {
        std::int64_t frames = -1;
        if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE) {
            frames = av_rescale_q(stream->duration, stream->time_base, {1, kSampleRate});
            // An Ogg stream's length is its last granule position, which for Opus counts
            // the pre-skip the decoder drops (6.5 ms of a typical file).
            const AVCodecParameters *codec = stream->codecpar;
            if (std::strcmp(format_->iformat->name, "ogg") == 0 &&
                codec->codec_id == AV_CODEC_ID_OPUS && codec->initial_padding > 0)
                frames -= av_rescale(codec->initial_padding, kSampleRate, 48000);
        } else if (format_->duration > 0) {
            frames = av_rescale(format_->duration, kSampleRate, AV_TIME_BASE);
        }
        length_frames_ = std::max<std::int64_t>(frames, 0);
        // A bitrate guess is wrong for VBR files without a header and counts trailing tags
        // as audio; an MP3 header counts the encoder's delay and padding, which the decoder
        // drops. Either way the packets are counted on the decoder thread.
        length_estimated_ = format_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE ||
                            std::strcmp(format_->iformat->name, "mp3") == 0;
    }
    // A page of text or a picture is not a stream: demand one decoded frame of real audio.
    if (!DecodeMore()) {
        if (token_->Expired()) *error = BASS_ERROR_TIMEOUT;
        return false;
    }
    *error = BASS_OK;
    return true;
}

std::int64_t FfmpegDecoder::FramePosition(const AVFrame *frame) const {
    std::int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) return -1;
    const AVStream *stream = format_->streams[stream_index_];
    if (stream->start_time != AV_NOPTS_VALUE) pts -= stream->start_time;
    return av_rescale_q(pts, stream->time_base, {1, kSampleRate});
}

bool FfmpegDecoder::SetUpResampler(const AVFrame *frame) {
    int channels = frame->ch_layout.nb_channels;
    if (channels <= 0 || channels > 64 || frame->sample_rate <= 0 || frame->sample_rate > 1000000)
        return false;
    if (swr_ && swr_rate_ == frame->sample_rate && swr_channels_ == channels &&
        swr_format_ == frame->format)
        return true;
    AVChannelLayout in_layout{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&in_layout, channels);
    } else if (av_channel_layout_copy(&in_layout, &frame->ch_layout) < 0) {
        return false;
    }
    // Mono stays mono through the resampler and is copied to both sides afterwards, so a
    // full-scale mono file plays at full scale on each channel.
    AVChannelLayout out_layout{};
    av_channel_layout_default(&out_layout, channels == 1 ? 1 : 2);
    SwrContext *raw = nullptr;
    int result = swr_alloc_set_opts2(&raw, &out_layout, AV_SAMPLE_FMT_FLT, kSampleRate, &in_layout,
                                     static_cast<AVSampleFormat>(frame->format), frame->sample_rate,
                                     0, nullptr);
    av_channel_layout_uninit(&in_layout);
    av_channel_layout_uninit(&out_layout);
    SwrPtr swr(raw);
    if (result < 0 || !swr || swr_init(swr.get()) < 0) return false;
    swr_ = std::move(swr);
    swr_rate_ = frame->sample_rate;
    swr_channels_ = channels;
    swr_format_ = frame->format;
    return true;
}

// Appends the resampled frames of one decoded frame (or, with null, the resampler's tail)
// to pending_. False when the frame cannot be converted.
// Vorbis in Ogg: the demuxer counts a duration for the stream's first packet, but a Vorbis
// decoder gives no samples for it (they only prime the overlap of the next one). The first
// frame's time then lies that far past the stream's start, and the padding the demuxer cuts
// off the last packet, worked out from the final granule position and those counts, is that
// much too long: 128 samples of a typical file went missing at its end, so that an album
// played without gaps lost a moment at every join. libvorbis itself (sox, oggdec) gives the
// granule position's count exactly.
void FfmpegDecoder::NoteFirstFrame(const AVFrame *frame) {
    if (first_frame_seen_) return;
    first_frame_seen_ = true;
    const AVStream *stream = format_->streams[stream_index_];
    if (is_url_ || stream->codecpar->codec_id != AV_CODEC_ID_VORBIS) return;
    const std::int64_t pts = frame->best_effort_timestamp;
    const std::int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    if (pts == AV_NOPTS_VALUE || pts <= start || frame->sample_rate <= 0) return;
    const std::int64_t samples =
        av_rescale_q(pts - start, stream->time_base, {1, frame->sample_rate});
    // No more than a Vorbis block's overlap can be so uncounted.
    if (samples <= 8192) uncounted_start_ = samples;
}

void FfmpegDecoder::CorrectEndTrim(AVPacket *packet) const {
    if (uncounted_start_ == 0) return;
    std::size_t size = 0;
    std::uint8_t *skip = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
    if (!skip || size < 8) return;
    const std::int64_t padding = AV_RL32(skip + 4);
    if (padding > 0) AV_WL32(skip + 4, std::max<std::int64_t>(padding - uncounted_start_, 0));
}

bool FfmpegDecoder::Convert(const AVFrame *frame) {
    if (frame) NoteFirstFrame(frame);
    if (frame && !SetUpResampler(frame)) return false;
    if (!swr_) return true;
    int in_count = frame ? frame->nb_samples : 0;
    int capacity = swr_get_out_samples(swr_.get(), in_count);
    if (capacity < 0) return false;
    int out_channels = swr_channels_ == 1 ? 1 : 2;
    converted_.resize(static_cast<std::size_t>(capacity + 16) * out_channels);
    auto *out = reinterpret_cast<std::uint8_t *>(converted_.data());
    int produced = swr_convert(
        swr_.get(), &out, capacity + 16,
        frame ? const_cast<const std::uint8_t **>(frame->extended_data) : nullptr, in_count);
    if (produced < 0) return false;
    std::size_t skip = 0;
    if (frame && align_target_ >= 0) {
        // A seek lands on a packet at or before the target; drop what lies before it.
        std::int64_t position = FramePosition(frame);
        if (position >= 0 && position < align_target_)
            skip = static_cast<std::size_t>(
                std::min<std::int64_t>(align_target_ - position, produced));
        if (position < 0 || position + produced >= align_target_) align_target_ = -1;
    }
    if (pending_pos_ > 0) {
        pending_.erase(pending_.begin(), pending_.begin() + pending_pos_ * 2);
        pending_pos_ = 0;
    }
    for (std::size_t i = skip; i < static_cast<std::size_t>(produced); ++i) {
        if (out_channels == 1) {
            pending_.push_back(converted_[i]);
            pending_.push_back(converted_[i]);
        } else {
            pending_.push_back(converted_[i * 2]);
            pending_.push_back(converted_[i * 2 + 1]);
        }
    }
    return true;
}

bool FfmpegDecoder::Finished() const {
    // A live station has no length; a finished HLS playlist has one (FFmpeg gives it only for
    // playlists that end), and its end is the end of the stream, not a dropped connection.
    return is_url_ && at_end_ && source_ended_ && format_ && format_->duration > 0;
}

// Decodes until pending_ holds at least one frame; false at the end of the source.
bool FfmpegDecoder::DecodeMore() {
    while (pending_.size() / 2 <= pending_pos_) {
        if (at_end_) return false;
        int result = avcodec_receive_frame(codec_.get(), frame_.get());
        if (result == 0) {
            bad_packets_ = 0;
            guard_.Allow(is_url_ ? kStationSilentReadBudget : kSilentReadBudget);
            bool converted = Convert(frame_.get());
            av_frame_unref(frame_.get());
            if (!converted) {
                at_end_ = true;
                return false;
            }
            continue;
        }
        if (result == AVERROR_EOF) {
            Convert(nullptr);
            at_end_ = true;
            continue;
        }
        if (result != AVERROR(EAGAIN)) {
            // A damaged frame is skipped; a source that is nothing but damage ends.
            if (++bad_packets_ > kMaxBadPacketsInRow) at_end_ = true;
            continue;
        }
        if (draining_) {
            at_end_ = true;
            continue;
        }
        result = av_read_frame(format_.get(), packet_.get());
        if (result == AVERROR_EOF) source_ended_ = true;
        if (result < 0) {
            // End of file, a dropped connection or a cancel: let the decoder give what it holds.
            draining_ = true;
            if (avcodec_send_packet(codec_.get(), nullptr) < 0) at_end_ = true;
            if (token_->Expired()) at_end_ = true;
            continue;
        }
        if (packet_->stream_index == stream_index_) {
            UpdateCommentTitle(packet_.get());
            CorrectEndTrim(packet_.get());
            result = avcodec_send_packet(codec_.get(), packet_.get());
            if (result < 0 && result != AVERROR(EAGAIN) && ++bad_packets_ > kMaxBadPacketsInRow)
                at_end_ = true;
        }
        av_packet_unref(packet_.get());
    }
    return true;
}

int FfmpegDecoder::Read(float *out, int max_frames) {
    int produced = 0;
    while (produced < max_frames) {
        if (pending_.size() / 2 <= pending_pos_ && !DecodeMore()) break;
        std::size_t available = pending_.size() / 2 - pending_pos_;
        std::size_t take = std::min<std::size_t>(available, max_frames - produced);
        std::copy_n(pending_.begin() + pending_pos_ * 2, take * 2, out + produced * 2);
        pending_pos_ += take;
        produced += static_cast<int>(take);
    }
    return produced;
}

bool FfmpegDecoder::Seek(std::int64_t frame) {
    if (is_url_ || frame < 0) return false;
    guard_.Allow(kSilentReadBudget);  // what the seek itself reads included
    AVStream *stream = format_->streams[stream_index_];
    std::int64_t ts = av_rescale_q(frame, {1, kSampleRate}, stream->time_base);
    if (stream->start_time != AV_NOPTS_VALUE) ts += stream->start_time;
    if (av_seek_frame(format_.get(), stream_index_, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(format_.get(), stream_index_, ts, AVSEEK_FLAG_ANY) < 0)
        return false;
    avcodec_flush_buffers(codec_.get());
    swr_.reset();
    pending_.clear();
    pending_pos_ = 0;
    draining_ = false;
    at_end_ = false;
    bad_packets_ = 0;
    align_target_ = frame;
    return true;
}

bool FfmpegDecoder::RefineLengthStep() {
    if (!length_estimated_ || token_->Expired()) return true;
    if (!scan_) {
        scan_ = OpenFileInput(address_, &scan_guard_);
        if (!scan_ || stream_index_ >= static_cast<int>(scan_->nb_streams)) {
            length_estimated_ = false;
            return true;
        }
    }
    PacketPtr packet(av_packet_alloc());
    if (!packet) return true;
    for (int i = 0; i < kScanPacketsPerStep; ++i) {
        if (av_read_frame(scan_.get(), packet.get()) < 0) {
            const AVStream *stream = scan_->streams[stream_index_];
            int rate = stream->codecpar->sample_rate;
            if (scan_ticks_ > 0 && rate > 0) {
                std::int64_t frames =
                    av_rescale_q(scan_ticks_, stream->time_base, {1, kSampleRate}) -
                    av_rescale(scan_trimmed_, kSampleRate, rate);
                length_frames_ = std::max<std::int64_t>(frames, 0);
            }
            length_estimated_ = false;
            scan_guard_.format = nullptr;
            scan_.reset();
            return true;
        }
        if (packet->stream_index == stream_index_ && packet->duration > 0) {
            // Counting ends, as playback does, where the packets of sound do.
            scan_guard_.Allow(kSilentReadBudget);
            scan_ticks_ += packet->duration;
            // Samples the decoder will drop: the encoder's delay and the final padding.
            std::size_t size = 0;
            const std::uint8_t *skip =
                av_packet_get_side_data(packet.get(), AV_PKT_DATA_SKIP_SAMPLES, &size);
            if (skip && size >= 8) scan_trimmed_ += AV_RL32(skip) + AV_RL32(skip + 4);
        }
        av_packet_unref(packet.get());
    }
    return false;
}

// Each logical stream of an Ogg station starts with its own comments; the demuxer marks the
// stream as updated and hands the new set along with the first packet after them.
void FfmpegDecoder::UpdateCommentTitle(const AVPacket *packet) {
    if (!comment_titles_) return;
    AVStream *stream = format_->streams[stream_index_];
    std::size_t size = 0;
    const std::uint8_t *packed =
        packet ? av_packet_get_side_data(packet, AV_PKT_DATA_METADATA_UPDATE, &size) : nullptr;
    if (packed) {
        AVDictionary *tags = nullptr;
        if (av_packet_unpack_dictionary(packed, size, &tags) == 0)
            comment_title_ = CommentTitle(tags);
        av_dict_free(&tags);
        stream->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
    } else if (!packet || (stream->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED)) {
        comment_title_ = CommentTitle(stream->metadata);
        stream->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
    }
}

// Ogg and FLAC stations get the ICY form of their comment title, so the player reads and shows
// it as it does every other station's.
std::string FfmpegDecoder::Metadata() {
    if (comment_titles_ && !comment_title_.empty()) return "StreamTitle='" + comment_title_ + "';";
    if (!is_url_ || !format_ || !format_->pb) return {};
    std::uint8_t *value = nullptr;
    if (av_opt_get(format_->pb, "icy_metadata_packet", AV_OPT_SEARCH_CHILDREN, &value) < 0 ||
        !value)
        return {};
    std::unique_ptr<std::uint8_t, AvFreer> owned(value);
    const char *text = reinterpret_cast<const char *>(value);
    return NormaliseIcyBlock(text, std::strlen(text));
}

// The headers do not change while a connection lasts: looked at once.
std::string FfmpegDecoder::StationName() {
    if (name_asked_ || !is_url_ || !format_ || !format_->pb) return station_name_;
    name_asked_ = true;
    std::uint8_t *value = nullptr;
    if (av_opt_get(format_->pb, "icy_metadata_headers", AV_OPT_SEARCH_CHILDREN, &value) < 0 ||
        !value)
        return station_name_;
    std::unique_ptr<std::uint8_t, AvFreer> owned(value);
    station_name_ = IcyNameFromHeaders(reinterpret_cast<const char *>(value));
    return station_name_;
}

bool IsRegularFile(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

const char *const kStationProtocols = "http,https,tcp,tls,crypto";

int InterruptCallback(void *opaque) {
    return static_cast<const CancelToken *>(opaque)->Expired() ? 1 : 0;
}

void AddStationConnectionOptions(AVDictionary **options) {
    av_dict_set(options, "icy", "1", 0);
    const auto timeout = std::chrono::duration_cast<std::chrono::microseconds>(
        Scaled(std::chrono::nanoseconds(kUrlReadTimeout)));
    av_dict_set(options, "rw_timeout", std::to_string(timeout.count()).c_str(), 0);
    av_dict_set(options, "reconnect", "0", 0);
    AddTlsOptions(options);
}

bool CancelToken::Expired() const {
    if (cancel.load()) return true;
    if (parent && parent->Expired()) return true;
    std::int64_t deadline = deadline_ns.load();
    if (deadline == 0) return false;
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() >= deadline;
}

std::unique_ptr<Decoder> OpenFileDecoder(const std::string &path, CancelToken *token) {
    // A FIFO or device would block the open forever; folders are no audio either.
    if (!IsRegularFile(path)) return nullptr;
    if (HeadIsBlank(path)) return nullptr;
    // MP3 files go by their frame table; what the header scan cannot map FFmpeg still opens.
    if (auto mp3 = OpenMp3FileDecoder(path, token)) return mp3;
    auto decoder = std::make_unique<FfmpegDecoder>(path, false, token);
    if (!decoder->Open()) return nullptr;
    return decoder;
}

std::unique_ptr<Decoder> OpenUrlDecoder(const std::string &url, CancelToken *token, int *error) {
    int code = BASS_ERROR_TIMEOUT;
    for (int attempt = 0; attempt < kStationOpenAttempts && !token->Expired(); ++attempt) {
        auto decoder = std::make_unique<FfmpegDecoder>(url, true, token);
        // The first connection reads the stream as the type the server declares; should
        // that fail, the next ones recognise it by content (a station may declare wrongly).
        if (decoder->Open(attempt == 0, &code)) {
            if (error) *error = BASS_OK;
            return decoder;
        }
        // A refused, missing or timed-out station would fail again the same way.
        if (code != BASS_ERROR_FILEFORM) break;
    }
    if (error) *error = code;
    return nullptr;
}

void KeepLibraryErrorsQuiet() {
    av_log_set_level(AV_LOG_ERROR);
    av_log_set_callback(RememberLibraryError);
}

}  // namespace engine
