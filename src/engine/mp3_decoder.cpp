// The MP3 file decoder: the frames its header walk found, read straight from the file and
// handed one by one to FFmpeg's MP3 decoder. The walk's table gives the exact length (the
// encoder's delay and padding trimmed as its LAME header says) and lets a seek start on the
// right frame, so positions and lengths agree with the samples played, to the sample.
//
// Threads: opened on the user-interface thread, which walks only the file's head (a few
// milliseconds' worth, at most kOpeningWalkMaxBytes); from then on the decoder, its walk and
// its table belong to the stream's decoder thread alone, which walks the rest: a step at a
// time while idle (RefineLengthStep), and at once as far as a read or a seek needs. Until the
// walk is done the length is an estimate (LengthFrames); the stream publishes it under its
// own lock (Stream::DecodeLoop), so nothing here is shared and nothing here locks. A walk in
// a read or a seek gives up when the stream is freed (its CancelToken).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

#include "decoder.h"
#include "ffmpeg_handles.h"
#include "mp3_frames.h"
#include "steady_clock.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace engine {
namespace {

class FileHandle {
  public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0) close(fd_);
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// Main data of a frame may start up to 511 bytes back, in the frames before it, and the
// frame before the target must decode whole for the target's overlap: a seek starts decoding
// one frame early plus as many as hold this many bytes, at most kMaxPrerollFrames.
constexpr std::int64_t kReservoirBytes = 1024;
constexpr std::size_t kMaxPrerollFrames = 16;
// The resampler may end a few frames short of the length; that much is made up in silence.
constexpr std::int64_t kMaxEndShortfall = 4096;
constexpr int kMaxFrameBytes = 1441;  // 320 kbit/s at 32000 Hz or 160 kbit/s at 8000 Hz, padded
// The file is read this much at a time: a frame is a few hundred bytes, and a read for each
// one (and for its header) was a good part of what the decoder thread spent.
constexpr std::size_t kReadBlockBytes = 64 * 1024;
// What the opening walks on the window's thread: always the first 2 MB (a minute or two of
// sound, read from a cold disk in about 8 ms), then on while 4 ms have not passed, up to
// 16 MB (a long track, about 2.5 ms from memory): a track in the page cache gets its whole
// table at once, a big or cold file its head.
constexpr std::size_t kOpeningWalkSureBytes = 2 * 1024 * 1024;
constexpr std::size_t kOpeningWalkMaxBytes = 16 * 1024 * 1024;
constexpr std::int64_t kOpeningWalkNs = 4'000'000;
// One step of the walk on the decoder thread: a few milliseconds from a cold disk, so that
// a seek or a refill waits no longer for it.
constexpr std::size_t kWalkStepBytes = 1024 * 1024;
// Frames the walk must have found beyond one before it is decoded: the padding the end
// trims (at most 4095 samples, and the decoder's delay) lies within them, so a frame is
// never taken for audio that the end of the stream then turns out to trim.
constexpr std::size_t kFramesAhead = 16;
// Bounds not yet known while the walk goes on.
constexpr std::int64_t kUnbounded = std::numeric_limits<std::int64_t>::max() / 4;

// Reads of a file near the last one served from a block read ahead of them.
class BlockReader {
  public:
    explicit BlockReader(int fd) : file_(fd), block_(kReadBlockBytes) {}
    int fd() const { return file_.get(); }
    // The `count` bytes at `offset`, valid until the next call; null when the file ends
    // before them or cannot be read.
    const std::uint8_t *Bytes(off_t offset, int count);

  private:
    FileHandle file_;
    std::vector<std::uint8_t> block_;
    off_t start_ = 0;   // the file offset of block_[0]
    off_t filled_ = 0;  // how much of block_ the last read gave
};

const std::uint8_t *BlockReader::Bytes(off_t offset, int count) {
    if (offset < 0 || count <= 0 || static_cast<std::size_t>(count) > kReadBlockBytes)
        return nullptr;
    if (offset < start_ || offset + count > start_ + filled_) {
        const ssize_t got = pread(file_.get(), block_.data(), block_.size(), offset);
        start_ = offset;
        filled_ = got > 0 ? got : 0;
        if (count > filled_) return nullptr;
    }
    return block_.data() + (offset - start_);
}

class Mp3FileDecoder final : public Decoder {
  public:
    Mp3FileDecoder(Mp3Walk walk, int fd, const CancelToken *token)
        : walk_(std::move(walk)), table_(walk_.table), file_(fd), token_(token) {}

    bool Open();
    int Read(float *out, int max_frames) override;
    bool Seek(std::int64_t frame) override;
    bool Seekable() const override { return true; }
    std::int64_t LengthFrames() const override { return length_frames_; }
    bool RefineLengthStep() override;

  private:
    // One more step of the walk, with the bounds it changes; false when the stream is freed.
    bool WalkOn();
    void UpdateBounds();
    // The walk has found frame `index` and the frames whose padding could trim it.
    bool Walked(std::size_t index) const {
        return walk_.done || index + kFramesAhead < table_.offsets.size();
    }
    bool DecodeMore();
    bool DecodeFrame(std::size_t index);
    bool FillPacket(const std::uint8_t *data, int bytes);
    bool SetUpResampler(const AVFrame *frame);
    void Append(const AVFrame *frame, int skip, int count);
    void AppendSilence(std::int64_t source_samples);
    void FinishAtEnd();
    std::int64_t ToOutput(std::int64_t source_samples) const;

    Mp3Walk walk_;                // grows until walk_.done
    const Mp3FrameTable &table_;  // walk_'s table
    BlockReader file_;
    const CancelToken *token_;  // the stream's; outlives the decoder
    CodecPtr codec_;
    PacketPtr packet_;
    FramePtr frame_;
    SwrPtr swr_;
    int swr_channels_ = 0, swr_format_ = -1;
    std::int64_t first_sample_ = 0;   // decoded samples before it are the encoder's delay
    std::int64_t end_sample_ = 0;     // decoded samples from it on are its padding
    std::int64_t length_frames_ = 0;  // output frames; an estimate until walk_.done
    std::int64_t out_end_ = 0;        // output frames decoded at most: the length once known
    std::size_t next_frame_ = 0;      // the table's index of the frame decoded next
    std::int64_t discard_until_ = 0;  // decoded samples before it are not handed out
    std::int64_t out_position_ = 0;   // output frame of the next frame that pending_ gains
    bool at_end_ = false;
    std::vector<float> converted_;
    std::vector<float> pending_;   // stereo frames decoded but not yet read
    std::size_t pending_pos_ = 0;  // frames of pending_ already read
};

std::int64_t Mp3FileDecoder::ToOutput(std::int64_t source_samples) const {
    if (table_.sample_rate == kSampleRate) return source_samples;
    return av_rescale_rnd(source_samples, kSampleRate, table_.sample_rate, AV_ROUND_NEAR_INF);
}

bool Mp3FileDecoder::Open() {
    const AVCodec *decoder = avcodec_find_decoder(AV_CODEC_ID_MP3);
    if (!decoder) return false;
    codec_.reset(avcodec_alloc_context3(decoder));
    if (!codec_) return false;
    codec_->thread_count = 1;
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) return false;
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!packet_ || !frame_) return false;
    UpdateBounds();
    discard_until_ = first_sample_;
    // Something must decode: a file of frame headers around garbage is no stream.
    if (!DecodeMore() && length_frames_ > 0) return false;
    return true;
}

// The delay is known from the start; the end, the padding trimmed there and so the length
// only once the walk is done. Until then the length is what the walk expects, and nothing
// bounds the decoding but the frames found.
void Mp3FileDecoder::UpdateBounds() {
    if (walk_.done) {
        first_sample_ = table_.FirstAudioSample();
        end_sample_ = table_.EndAudioSample();
        length_frames_ = ToOutput(end_sample_ - first_sample_);
        out_end_ = length_frames_;
        return;
    }
    // With more than kFramesAhead frames found, this is what FirstAudioSample gives.
    first_sample_ = table_.gapless ? table_.encoder_delay + kMp3DecoderDelay : 0;
    end_sample_ = kUnbounded;
    out_end_ = kUnbounded;
    std::int64_t expected = walk_.ExpectedFrames() * table_.samples_per_frame;
    if (table_.gapless)
        expected = std::min(expected - table_.encoder_padding + kMp3DecoderDelay, expected);
    length_frames_ = ToOutput(std::max<std::int64_t>(expected - first_sample_, 0));
}

bool Mp3FileDecoder::WalkOn() {
    if (token_ && token_->Expired()) return false;
    ContinueMp3Walk(file_.fd(), &walk_, kWalkStepBytes);
    UpdateBounds();
    return true;
}

bool Mp3FileDecoder::RefineLengthStep() {
    if (!walk_.done) WalkOn();
    return walk_.done || (token_ && token_->Expired());
}

bool Mp3FileDecoder::SetUpResampler(const AVFrame *frame) {
    const int channels = frame->ch_layout.nb_channels;
    if (channels < 1 || channels > 2 || frame->sample_rate != table_.sample_rate) return false;
    if (swr_ && swr_channels_ == channels && swr_format_ == frame->format) return true;
    // Mono stays mono through the resampler and is copied to both sides afterwards.
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    SwrContext *raw = nullptr;
    const int result = swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_FLT, kSampleRate, &layout,
                                           static_cast<AVSampleFormat>(frame->format),
                                           frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    SwrPtr swr(raw);
    if (result < 0 || !swr || swr_init(swr.get()) < 0) return false;
    swr_ = std::move(swr);
    swr_channels_ = channels;
    swr_format_ = frame->format;
    return true;
}

// Resamples `count` samples of the frame from `skip` on (or, with null, the resampler's
// tail) and appends them to pending_, never past the length.
void Mp3FileDecoder::Append(const AVFrame *frame, int skip, int count) {
    if (!swr_) return;
    const std::uint8_t *in[2] = {nullptr, nullptr};
    if (frame) {
        const int bytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame->format));
        const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format));
        for (int c = 0; c < (planar ? swr_channels_ : 1); ++c)
            in[c] = frame->extended_data[c] +
                    static_cast<std::size_t>(skip) * bytes * (planar ? 1 : swr_channels_);
    }
    const int capacity = swr_get_out_samples(swr_.get(), frame ? count : 0);
    if (capacity <= 0) return;
    converted_.resize(static_cast<std::size_t>(capacity) * swr_channels_);
    auto *out = reinterpret_cast<std::uint8_t *>(converted_.data());
    const int produced =
        swr_convert(swr_.get(), &out, capacity, frame ? in : nullptr, frame ? count : 0);
    if (produced <= 0) return;
    const auto take = static_cast<int>(std::min<std::int64_t>(produced, out_end_ - out_position_));
    if (take <= 0) return;
    if (pending_pos_ > 0) {
        pending_.erase(pending_.begin(), pending_.begin() + pending_pos_ * 2);
        pending_pos_ = 0;
    }
    // Grown once, then written through a pointer: a frame is over a thousand samples, and
    // the decoder runs this for every frame of the file.
    const std::size_t end = pending_.size();
    pending_.resize(end + static_cast<std::size_t>(take) * 2);
    float *to = pending_.data() + end;
    const float *from = converted_.data();
    const std::size_t step = static_cast<std::size_t>(swr_channels_);
    const std::size_t right = swr_channels_ == 2 ? 1 : 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(take); ++i) {
        to[2 * i] = from[i * step];
        to[2 * i + 1] = from[i * step + right];
    }
    out_position_ += take;
}

void Mp3FileDecoder::AppendSilence(std::int64_t source_samples) {
    const std::int64_t frames = std::min(ToOutput(source_samples), out_end_ - out_position_);
    if (frames <= 0) return;
    pending_.insert(pending_.end(), static_cast<std::size_t>(frames) * 2, 0.0f);
    out_position_ += frames;
}

// One packet buffer of the largest frame's size serves every frame, unless the codec still
// holds a reference to it: a frame's packet costs no allocation of its data.
bool Mp3FileDecoder::FillPacket(const std::uint8_t *data, int bytes) {
    if (!packet_->buf || !av_buffer_is_writable(packet_->buf)) {
        av_packet_unref(packet_.get());
        if (av_new_packet(packet_.get(), kMaxFrameBytes) < 0) return false;
    }
    std::copy_n(data, bytes, packet_->data);
    // The codec may read past the end of a packet: that padding must be zeros.
    std::fill_n(packet_->data + bytes, AV_INPUT_BUFFER_PADDING_SIZE, std::uint8_t{0});
    packet_->size = bytes;
    return true;
}

// Decodes frame `index` and appends what of it is audio and not before discard_until_. A
// frame that does not decode stands in as silence, so what follows keeps its place in time.
// False when the file can no longer be read.
bool Mp3FileDecoder::DecodeFrame(std::size_t index) {
    const std::int64_t start = static_cast<std::int64_t>(index) * table_.samples_per_frame;
    const std::int64_t keep_from = std::max(discard_until_, first_sample_);
    const off_t offset = table_.offsets[index];
    const std::uint8_t *header = file_.Bytes(offset, 4);
    if (!header) return false;
    const int bytes = Mp3FrameBytes(header);
    const std::uint32_t fixed = (std::uint32_t{header[0]} << 24 | std::uint32_t{header[1]} << 16 |
                                 std::uint32_t{header[2]} << 8 | header[3]) &
                                kMp3FixedHeaderMask;
    if (bytes <= 0 || bytes > kMaxFrameBytes || fixed != table_.fixed_header) return false;
    const std::uint8_t *data = file_.Bytes(offset, bytes);
    if (!data || !FillPacket(data, bytes)) return false;
    int result = avcodec_send_packet(codec_.get(), packet_.get());

    bool decoded = false;
    while (result >= 0 || result == AVERROR(EAGAIN)) {
        result = avcodec_receive_frame(codec_.get(), frame_.get());
        if (result < 0) break;
        if (!decoded && SetUpResampler(frame_.get())) {
            decoded = true;
            const std::int64_t from = std::max(keep_from, start);
            const std::int64_t to = std::min(end_sample_, start + std::int64_t{frame_->nb_samples});
            if (to > from)
                Append(frame_.get(), static_cast<int>(from - start), static_cast<int>(to - from));
        }
        av_frame_unref(frame_.get());
    }
    if (!decoded) {
        const std::int64_t from = std::max(keep_from, start);
        const std::int64_t to = std::min(end_sample_, start + table_.samples_per_frame);
        if (to > from) AppendSilence(to - from);
    }
    return true;
}

void Mp3FileDecoder::FinishAtEnd() {
    at_end_ = true;
    if (table_.sample_rate != kSampleRate) Append(nullptr, 0, 0);
    // The resampler's rounding may leave the last few frames missing. (Before the walk is
    // done the end is that of a file that could no longer be read: nothing is made up.)
    const std::int64_t short_by = out_end_ - out_position_;
    if (short_by > 0 && short_by <= kMaxEndShortfall) {
        pending_.insert(pending_.end(), static_cast<std::size_t>(short_by) * 2, 0.0f);
        out_position_ = out_end_;
    }
}

// Decodes until pending_ holds at least one unread frame; false at the end.
bool Mp3FileDecoder::DecodeMore() {
    while (pending_.size() / 2 <= pending_pos_) {
        if (at_end_) return false;
        if (!Walked(next_frame_)) {
            if (!WalkOn()) return false;  // freed: nothing more is wanted
            continue;
        }
        const std::int64_t next_start =
            static_cast<std::int64_t>(next_frame_) * table_.samples_per_frame;
        if (next_frame_ >= table_.offsets.size() || next_start >= end_sample_ ||
            out_position_ >= out_end_) {
            FinishAtEnd();
            continue;
        }
        if (!DecodeFrame(next_frame_)) {
            FinishAtEnd();
            continue;
        }
        ++next_frame_;
    }
    return true;
}

int Mp3FileDecoder::Read(float *out, int max_frames) {
    int produced = 0;
    while (produced < max_frames) {
        if (pending_.size() / 2 <= pending_pos_ && !DecodeMore()) break;
        const std::size_t available = pending_.size() / 2 - pending_pos_;
        const std::size_t take = std::min<std::size_t>(available, max_frames - produced);
        std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pending_pos_ * 2), take * 2,
                    out + static_cast<std::ptrdiff_t>(produced) * 2);
        pending_pos_ += take;
        produced += static_cast<int>(take);
    }
    return produced;
}

bool Mp3FileDecoder::Seek(std::int64_t frame) {
    if (frame < 0 || (walk_.done && frame > length_frames_)) return false;
    std::int64_t source = frame;
    if (table_.sample_rate != kSampleRate)
        source = av_rescale_rnd(frame, table_.sample_rate, kSampleRate, AV_ROUND_DOWN);
    const std::int64_t target = first_sample_ + source;
    // A target beyond the frames found: the walk goes on to it here, on the decoder thread,
    // a step at a time (a far seek into a big file read from a cold disk takes as long as
    // reading the frames' pages up to it).
    while (!Walked(static_cast<std::size_t>(target / table_.samples_per_frame)))
        if (!WalkOn()) return false;
    if (walk_.done && frame > length_frames_) return false;
    std::size_t index = static_cast<std::size_t>(
        std::min<std::int64_t>(target / table_.samples_per_frame, std::ssize(table_.offsets)));
    // Back to a frame from which the decoder's reservoir and overlap are whole at the target.
    std::size_t start = index > 0 ? index - 1 : 0;
    std::int64_t bytes = 0;
    while (start > 0 && bytes < kReservoirBytes && index - start < kMaxPrerollFrames) {
        bytes += std::int64_t{table_.offsets[start]} - table_.offsets[start - 1];
        --start;
    }
    avcodec_flush_buffers(codec_.get());
    swr_.reset();
    swr_format_ = -1;
    pending_.clear();
    pending_pos_ = 0;
    next_frame_ = start;
    discard_until_ = target;
    out_position_ = frame;
    at_end_ = false;
    return true;
}

}  // namespace

std::unique_ptr<Decoder> OpenMp3FileDecoder(const std::string &path, const CancelToken *token) {
    const std::int64_t start_ns = NowNs();
    FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) return nullptr;
    struct stat info {};
    if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0)
        return nullptr;
    Mp3WalkBounds bounds;
    bounds.sure_bytes = kOpeningWalkSureBytes;
    bounds.max_bytes = kOpeningWalkMaxBytes;
    bounds.deadline_ns = start_ns + kOpeningWalkNs;
    std::optional<Mp3Walk> walk =
        BeginMp3Walk(file.get(), static_cast<std::uint64_t>(info.st_size), bounds);
    if (!walk) return nullptr;
    auto decoder = std::make_unique<Mp3FileDecoder>(std::move(*walk), file.release(), token);
    if (!decoder->Open()) return nullptr;
    return decoder;
}

}  // namespace engine
