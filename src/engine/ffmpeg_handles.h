// FFmpeg's objects held by unique_ptr from the moment they are created, each with the call
// that frees it. The demuxer of a station is given its connection as custom I/O, which
// avformat_close_input leaves open: FormatPtr closes it after the demuxer is gone.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

namespace engine {

struct FormatCloser {
    void operator()(AVFormatContext *c) const {
        AVIOContext *own_io = (c->flags & AVFMT_FLAG_CUSTOM_IO) ? c->pb : nullptr;
        avformat_close_input(&c);
        avio_closep(&own_io);
    }
};
struct CodecFreer {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct SwrFreer {
    void operator()(SwrContext *s) const { swr_free(&s); }
};
struct DictFreer {
    void operator()(AVDictionary *d) const { av_dict_free(&d); }
};
struct AvFreer {
    void operator()(void *p) const { av_free(p); }
};
struct AvioCloser {
    void operator()(AVIOContext *p) const { avio_closep(&p); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFreer>;
using AvioPtr = std::unique_ptr<AVIOContext, AvioCloser>;
using DictPtr = std::unique_ptr<AVDictionary, DictFreer>;

}  // namespace engine
