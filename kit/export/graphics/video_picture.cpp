// pictureOfVideoFile: a still frame of a video with FFmpeg.
#include "export/graphics/picture.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "export/graphics/media_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace quillmark::graphics {

namespace {

struct ScalerFree {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
using Scaler = std::unique_ptr<SwsContext, ScalerFree>;

// A damaged file can keep a decoder busy without ever giving a frame; this bounds the work for one picture.
constexpr int kMaxPackets = 2000;

// The clockwise quarter turns the player applies to the decoded pictures: 0 to 3.
int quarterTurns(const AVStream* stream) {
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (data == nullptr || size < 9 * sizeof(int32_t)) return 0;
    int32_t matrix[9];
    std::copy_n(data, sizeof matrix, reinterpret_cast<uint8_t*>(matrix));
    const double counterclockwise = av_display_rotation_get(matrix);
    if (!std::isfinite(counterclockwise)) return 0;
    const long turns = std::lround(-counterclockwise / 90.0);
    return int(((turns % 4) + 4) % 4);
}

// Turns packed RGB pixels clockwise by quarter turns.
std::vector<uint8_t> turned(const std::vector<uint8_t>& rgb, int width, int height, int turns) {
    if (turns == 0) return rgb;
    std::vector<uint8_t> out(rgb.size());
    const int outWidth = turns == 2 ? width : height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int ox = x, oy = y;
            if (turns == 1) ox = height - 1 - y, oy = x;
            if (turns == 2) ox = width - 1 - x, oy = height - 1 - y;
            if (turns == 3) ox = y, oy = width - 1 - x;
            std::copy_n(&rgb[(size_t(y) * width + x) * 3], 3, &out[(size_t(oy) * outWidth + ox) * 3]);
        }
    }
    return out;
}

bool isFullRangeFormat(int format) {
    return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P ||
           format == AV_PIX_FMT_YUVJ440P || format == AV_PIX_FMT_YUVJ411P;
}

// The frame as RGB, scaled to fit maxPixels × maxPixels as it is shown (pixel aspect and turns applied),
// never enlarged, converted with the frame's own colour matrix and range.
std::optional<Picture> pictureOfFrame(const AVFrame& frame, AVRational sampleAspect, int turns, int maxPixels) {
    if (frame.width < 1 || frame.height < 1) return std::nullopt;
    double shownWidth = frame.width;
    if (sampleAspect.num > 0 && sampleAspect.den > 0) shownWidth *= av_q2d(sampleAspect);
    const double shownHeight = frame.height;
    const double scale = std::min(1.0, maxPixels / std::max(shownWidth, shownHeight));
    const int width = std::max(1, int(std::lround(shownWidth * scale)));
    const int height = std::max(1, int(std::lround(shownHeight * scale)));

    Scaler scaler(sws_getContext(frame.width, frame.height, AVPixelFormat(frame.format), width, height,
                                 AV_PIX_FMT_RGB24, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                 nullptr, nullptr));
    if (!scaler) return std::nullopt;

    // Files that do not say which matrix they use follow the usual convention: BT.709 for HD, BT.601 below.
    int colorspace = frame.colorspace;
    if (colorspace == AVCOL_SPC_UNSPECIFIED || colorspace == AVCOL_SPC_RESERVED)
        colorspace = frame.height >= 720 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    const int fullRange = frame.color_range == AVCOL_RANGE_JPEG || isFullRangeFormat(frame.format) ? 1 : 0;
    sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(colorspace), fullRange,
                             sws_getCoefficients(AVCOL_SPC_BT709), 1, 0, 1 << 16, 1 << 16);

    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    uint8_t* planes[4] = {rgb.data(), nullptr, nullptr, nullptr};
    int strides[4] = {width * 3, 0, 0, 0};
    if (sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) != height)
        return std::nullopt;

    Picture picture;
    picture.rgb = turned(rgb, width, height, turns);
    picture.width = turns % 2 == 1 ? height : width;
    picture.height = turns % 2 == 1 ? width : height;
    return picture;
}

// Decodes the video stream from the reading position on: the first frame whose time is at or after `target`,
// else the last frame before it; nothing when the decoder gives no frame at all.
Frame decodeFrom(AVFormatContext* format, AVCodecContext* codec, int streamIndex, int64_t target) {
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    Frame latest;
    if (!packet || !frame) return nullptr;

    // Returns true when the wanted frame has been found.
    auto drain = [&]() {
        while (avcodec_receive_frame(codec, frame.get()) >= 0) {
            const int64_t time = frame->best_effort_timestamp;
            latest.reset(av_frame_clone(frame.get()));
            av_frame_unref(frame.get());
            if (time == AV_NOPTS_VALUE || time >= target) return true;
        }
        return false;
    };

    bool ended = false;
    for (int packets = 0; packets < kMaxPackets && !ended; ++packets) {
        const int read = av_read_frame(format, packet.get());
        if (read < 0) {
            ended = true;
            avcodec_send_packet(codec, nullptr);
        } else if (packet->stream_index != streamIndex) {
            av_packet_unref(packet.get());
            continue;
        } else {
            // A packet the decoder refuses is skipped: the next one may still decode.
            avcodec_send_packet(codec, packet.get());
            av_packet_unref(packet.get());
        }
        if (drain()) return latest;
    }
    return latest;
}

}  // namespace

std::optional<Picture> pictureOfVideoFile(const std::string& path, int maxPixels) {
    if (maxPixels < 1) return std::nullopt;
    auto file = MediaFile::open(path);
    if (!file) return std::nullopt;
    AVFormatContext* format = file->context();

    const AVCodec* decoder = nullptr;
    const int streamIndex = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (streamIndex < 0 || decoder == nullptr) return std::nullopt;
    AVStream* stream = format->streams[streamIndex];
    // A cover picture stored in an audio file is not a video.
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) return std::nullopt;

    Codec codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0) return std::nullopt;
    codec->thread_count = 1;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0) return std::nullopt;

    // The frame shown at 0.1 s, counted from the start of the video's own timeline.
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    const int64_t target = start + av_rescale_q(1, AVRational{1, 10}, stream->time_base);

    Frame frame;
    if (av_seek_frame(format, streamIndex, target, AVSEEK_FLAG_BACKWARD) >= 0)
        frame = decodeFrom(format, codec.get(), streamIndex, target);
    if (!frame) {
        // Seeking failed or landed where nothing decodes: take the first frame of the file.
        avcodec_flush_buffers(codec.get());
        if (av_seek_frame(format, streamIndex, start, AVSEEK_FLAG_BACKWARD) < 0 &&
            avformat_seek_file(format, -1, INT64_MIN, 0, INT64_MAX, 0) < 0)
            return std::nullopt;
        frame = decodeFrom(format, codec.get(), streamIndex, INT64_MIN);
    }
    if (!frame) return std::nullopt;

    AVRational aspect = av_guess_sample_aspect_ratio(format, stream, frame.get());
    return pictureOfFrame(*frame, aspect, quarterTurns(stream), maxPixels);
}

}  // namespace quillmark::graphics
