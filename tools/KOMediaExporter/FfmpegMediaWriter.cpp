#include "FfmpegMediaWriter.h"

#include <algorithm>
#include <cstring>

#include "RgbImage.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int64_t kAudioBitRate = 64000;

std::string ffmpegError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerDeleter {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

}  // namespace

struct FfmpegMediaWriter::State {
    MediaWriterFormat format;
    AVFormatContext* container = nullptr;
    bool fileOpen = false;
    bool headerWritten = false;
    bool finished = false;
    std::unique_ptr<AVPacket, PacketDeleter> packet;

    std::unique_ptr<AVCodecContext, CodecContextDeleter> audioCodec;
    AVStream* audioStream = nullptr;
    std::unique_ptr<AVFrame, FrameDeleter> audioFrame;
    std::vector<float> audioPending;  // samples of the frame being gathered
    uint64_t audioSamples = 0;        // samples handed to the encoder
    uint64_t audioSamplesIn = 0;      // samples received

    std::unique_ptr<AVCodecContext, CodecContextDeleter> videoCodec;
    AVStream* videoStream = nullptr;
    std::unique_ptr<AVFrame, FrameDeleter> videoFrame;
    std::unique_ptr<SwsContext, ScalerDeleter> scaler;
    std::string videoCodecName;
    uint64_t videoFrames = 0;

    ~State() {
        if (container != nullptr) {
            if (fileOpen) {
                avio_closep(&container->pb);
            }
            avformat_free_context(container);
        }
    }
};

FfmpegMediaWriter::FfmpegMediaWriter() = default;

FfmpegMediaWriter::~FfmpegMediaWriter() = default;

bool FfmpegMediaWriter::fail(const std::string& text) {
    errorText_ = text;
    return false;
}

bool FfmpegMediaWriter::fail(const std::string& text, int code) {
    return fail(text + ": " + ffmpegError(code));
}

bool FfmpegMediaWriter::open(const std::string& path, const std::string& containerName,
                             const MediaWriterFormat& format) {
    std::lock_guard guard(mutex_);
    state_ = std::make_unique<State>();
    state_->format = format;
    // The encoders' statistics and notes would mix with the caller's progress line.
    av_log_set_level(AV_LOG_ERROR);
    if (!format.hasAudio && !format.hasVideo) {
        return fail("there is neither audio nor video to write");
    }
    int code =
        avformat_alloc_output_context2(&state_->container, nullptr, containerName.c_str(), nullptr);
    if (code < 0 || state_->container == nullptr) {
        return fail("the container \"" + containerName + "\" is not available", code);
    }
    state_->packet.reset(av_packet_alloc());
    if (!state_->packet) {
        return fail("out of memory");
    }
    if (format.hasVideo && !openVideo()) {
        return false;
    }
    if (format.hasAudio && !openAudio()) {
        return false;
    }
    // "file:" keeps names with a colon from being read as another protocol.
    code = avio_open(&state_->container->pb, ("file:" + path).c_str(), AVIO_FLAG_WRITE);
    if (code < 0) {
        return fail("cannot write \"" + path + "\"", code);
    }
    state_->fileOpen = true;
    code = avformat_write_header(state_->container, nullptr);
    if (code < 0) {
        return fail("cannot start the " + containerName + " file", code);
    }
    state_->headerWritten = true;
    return true;
}

bool FfmpegMediaWriter::openAudio() {
    State& s = *state_;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr) {
        return fail("this build of FFmpeg has no AAC encoder");
    }
    s.audioCodec.reset(avcodec_alloc_context3(codec));
    if (!s.audioCodec) {
        return fail("out of memory");
    }
    AVCodecContext* context = s.audioCodec.get();
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = static_cast<int>(s.format.sampleRate);
    const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    av_channel_layout_copy(&context->ch_layout, &mono);
    context->bit_rate = kAudioBitRate;
    context->time_base = AVRational{1, context->sample_rate};
    if ((s.container->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    int code = avcodec_open2(context, codec, nullptr);
    if (code < 0) {
        return fail("cannot start the AAC encoder", code);
    }
    s.audioStream = avformat_new_stream(s.container, nullptr);
    if (s.audioStream == nullptr) {
        return fail("out of memory");
    }
    s.audioStream->time_base = context->time_base;
    code = avcodec_parameters_from_context(s.audioStream->codecpar, context);
    if (code < 0) {
        return fail("cannot describe the audio stream", code);
    }
    s.audioFrame.reset(av_frame_alloc());
    if (!s.audioFrame) {
        return fail("out of memory");
    }
    s.audioFrame->format = context->sample_fmt;
    s.audioFrame->sample_rate = context->sample_rate;
    av_channel_layout_copy(&s.audioFrame->ch_layout, &context->ch_layout);
    s.audioFrame->nb_samples = context->frame_size > 0 ? context->frame_size : 1024;
    code = av_frame_get_buffer(s.audioFrame.get(), 0);
    if (code < 0) {
        return fail("out of memory", code);
    }
    s.audioPending.reserve(static_cast<size_t>(s.audioFrame->nb_samples));
    return true;
}

bool FfmpegMediaWriter::openVideo() {
    State& s = *state_;
    const AVCodec* codec = nullptr;
    if (!s.format.preferMjpeg) {
        codec = avcodec_find_encoder_by_name("libx264");
    }
    const bool h264 = codec != nullptr;
    if (codec == nullptr) {
        codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    }
    if (codec == nullptr) {
        return fail("this build of FFmpeg has neither an H.264 nor a Motion JPEG encoder");
    }
    if (s.format.width < 2 || s.format.height < 2 || s.format.width % 2 != 0 ||
        s.format.height % 2 != 0 || s.format.framesPerSecond < 1) {
        return fail("the video size or frame rate is not one that can be encoded");
    }
    s.videoCodec.reset(avcodec_alloc_context3(codec));
    if (!s.videoCodec) {
        return fail("out of memory");
    }
    AVCodecContext* context = s.videoCodec.get();
    context->width = static_cast<int>(s.format.width);
    context->height = static_cast<int>(s.format.height);
    context->time_base = AVRational{1, s.format.framesPerSecond};
    context->framerate = AVRational{s.format.framesPerSecond, 1};
    context->gop_size = s.format.framesPerSecond * 2;
    if (h264) {
        context->pix_fmt = AV_PIX_FMT_YUV420P;
        // A still camera over a room: a fast preset loses little, and the machine does other work.
        av_opt_set(context->priv_data, "preset", "veryfast", 0);
        av_opt_set(context->priv_data, "crf", "23", 0);
    } else {
        context->pix_fmt = AV_PIX_FMT_YUVJ420P;
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = FF_QP2LAMBDA * 4;
    }
    if ((s.container->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    int code = avcodec_open2(context, codec, nullptr);
    if (code < 0) {
        return fail(
            std::string("cannot start the ") + (h264 ? "H.264" : "Motion JPEG") + " encoder", code);
    }
    s.videoCodecName = h264 ? "h264" : "mjpeg";
    s.videoStream = avformat_new_stream(s.container, nullptr);
    if (s.videoStream == nullptr) {
        return fail("out of memory");
    }
    s.videoStream->time_base = context->time_base;
    s.videoStream->avg_frame_rate = context->framerate;
    s.videoStream->r_frame_rate = context->framerate;
    code = avcodec_parameters_from_context(s.videoStream->codecpar, context);
    if (code < 0) {
        return fail("cannot describe the video stream", code);
    }
    s.videoFrame.reset(av_frame_alloc());
    if (!s.videoFrame) {
        return fail("out of memory");
    }
    s.videoFrame->format = context->pix_fmt;
    s.videoFrame->width = context->width;
    s.videoFrame->height = context->height;
    code = av_frame_get_buffer(s.videoFrame.get(), 0);
    if (code < 0) {
        return fail("out of memory", code);
    }
    return true;
}

bool FfmpegMediaWriter::encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    State& s = *state_;
    int code = avcodec_send_frame(codec, frame);
    if (code < 0) {
        return fail("the encoder refused a frame", code);
    }
    for (;;) {
        code = avcodec_receive_packet(codec, s.packet.get());
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) {
            return true;
        }
        if (code < 0) {
            return fail("encoding failed", code);
        }
        av_packet_rescale_ts(s.packet.get(), codec->time_base, stream->time_base);
        s.packet->stream_index = stream->index;
        code = av_interleaved_write_frame(s.container, s.packet.get());
        if (code < 0) {
            return fail("cannot write the file", code);
        }
    }
}

bool FfmpegMediaWriter::encodeAudioFrame() {
    State& s = *state_;
    AVFrame* frame = s.audioFrame.get();
    // The encoder may still hold the previous frame's buffer.
    int code = av_frame_make_writable(frame);
    if (code < 0) {
        return fail("out of memory", code);
    }
    frame->nb_samples = static_cast<int>(s.audioPending.size());
    std::memcpy(frame->data[0], s.audioPending.data(), s.audioPending.size() * sizeof(float));
    frame->pts = static_cast<int64_t>(s.audioSamples);
    s.audioSamples += s.audioPending.size();
    s.audioPending.clear();
    return encode(s.audioCodec.get(), s.audioStream, frame);
}

bool FfmpegMediaWriter::writeAudio(const int16_t* samples, size_t count) {
    std::lock_guard guard(mutex_);
    if (!state_ || !state_->headerWritten || state_->finished || !state_->audioCodec) {
        return fail("the file is not open for audio");
    }
    State& s = *state_;
    const size_t frameSize = static_cast<size_t>(
        s.audioCodec->frame_size > 0 ? s.audioCodec->frame_size : s.audioFrame->nb_samples);
    for (size_t i = 0; i < count; ++i) {
        s.audioPending.push_back(static_cast<float>(samples[i]) / 32768.0f);
        if (s.audioPending.size() == frameSize && !encodeAudioFrame()) {
            return false;
        }
    }
    s.audioSamplesIn += count;
    return true;
}

bool FfmpegMediaWriter::writeVideoFrame(const RgbImage* image, bool sameAsPrevious) {
    std::lock_guard guard(mutex_);
    if (!state_ || !state_->headerWritten || state_->finished || !state_->videoCodec) {
        return fail("the file is not open for video");
    }
    State& s = *state_;
    AVFrame* frame = s.videoFrame.get();
    int code = av_frame_make_writable(frame);
    if (code < 0) {
        return fail("out of memory", code);
    }
    // A buffer the encoder still holds is copied by av_frame_make_writable, so a repeat finds
    // the previous picture in place.
    if (!sameAsPrevious || s.videoFrames == 0) {
        if (image == nullptr || image->getData() == nullptr) {
            // Black: no light, no colour. Full-range pictures start at 0, limited-range at 16.
            const uint8_t luma = s.videoCodec->pix_fmt == AV_PIX_FMT_YUVJ420P ? 0 : 16;
            for (int y = 0; y < frame->height; ++y) {
                std::memset(frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0], luma,
                            static_cast<size_t>(frame->width));
            }
            for (int plane = 1; plane < 3; ++plane) {
                for (int y = 0; y < (frame->height + 1) / 2; ++y) {
                    std::memset(
                        frame->data[plane] + static_cast<ptrdiff_t>(y) * frame->linesize[plane],
                        128, static_cast<size_t>((frame->width + 1) / 2));
                }
            }
        } else {
            s.scaler.reset(sws_getCachedContext(
                s.scaler.release(), static_cast<int>(image->getWidth()),
                static_cast<int>(image->getHeight()), AV_PIX_FMT_BGR24, frame->width, frame->height,
                static_cast<AVPixelFormat>(frame->format), SWS_BILINEAR, nullptr, nullptr,
                nullptr));
            if (!s.scaler) {
                return fail("cannot convert a picture of " + std::to_string(image->getWidth()) +
                            "x" + std::to_string(image->getHeight()) + " pixels");
            }
            const uint8_t* source[1] = {image->getData()};
            const int sourceStride[1] = {static_cast<int>(image->getPitch())};
            sws_scale(s.scaler.get(), source, sourceStride, 0, static_cast<int>(image->getHeight()),
                      frame->data, frame->linesize);
        }
    }
    frame->pts = static_cast<int64_t>(s.videoFrames);
    ++s.videoFrames;
    return encode(s.videoCodec.get(), s.videoStream, frame);
}

bool FfmpegMediaWriter::finish() {
    std::lock_guard guard(mutex_);
    if (!state_ || !state_->headerWritten || state_->finished) {
        return fail("the file is not open");
    }
    State& s = *state_;
    s.finished = true;
    if (s.audioCodec) {
        if (!s.audioPending.empty() && !encodeAudioFrame()) {
            return false;
        }
        if (!encode(s.audioCodec.get(), s.audioStream, nullptr)) {
            return false;
        }
    }
    if (s.videoCodec && !encode(s.videoCodec.get(), s.videoStream, nullptr)) {
        return false;
    }
    int code = av_write_trailer(s.container);
    if (code < 0) {
        return fail("cannot complete the file", code);
    }
    code = avio_closep(&s.container->pb);
    s.fileOpen = false;
    if (code < 0) {
        return fail("cannot write the file", code);
    }
    return true;
}

std::string FfmpegMediaWriter::videoCodecName() const {
    std::lock_guard guard(mutex_);
    return state_ ? state_->videoCodecName : std::string();
}

uint64_t FfmpegMediaWriter::audioSamplesWritten() const {
    std::lock_guard guard(mutex_);
    return state_ ? state_->audioSamplesIn : 0;
}

uint64_t FfmpegMediaWriter::videoFramesWritten() const {
    std::lock_guard guard(mutex_);
    return state_ ? state_->videoFrames : 0;
}

std::string FfmpegMediaWriter::errorText() const {
    std::lock_guard guard(mutex_);
    return errorText_;
}
