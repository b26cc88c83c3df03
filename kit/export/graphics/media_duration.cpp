// mediaDuration: the playing time of an audio or video file with FFmpeg.
#include "export/graphics/picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "export/graphics/media_file.h"

extern "C" {
#include <libavcodec/packet.h>
#include <libavformat/avformat.h>
}

namespace quillmark::graphics {

namespace {

// AMR files carry no length: FFmpeg guesses one from the first frames' bit rate, and a voice memo that
// changes rate or has silent frames comes out wrong. The same holds for any container whose length is
// only a guess from the bit rate (an MP3 without a header giving its frame count).
bool lengthIsGuessed(const AVFormatContext* format) {
    if (std::strncmp(format->iformat->name, "amr", 3) == 0) return true;
    if (format->duration == AV_NOPTS_VALUE || format->duration <= 0) return true;
    return format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
}

// The main stream: the video when there is one (not a cover picture), else the audio.
int mainStream(AVFormatContext* format) {
    for (AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
        const int index = av_find_best_stream(format, type, -1, -1, nullptr, 0);
        if (index >= 0 && !(format->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC)) return index;
    }
    return -1;
}

// The length of the main stream counted packet by packet: the sum of their durations, or the span of their
// times when the packets carry no durations.
std::optional<double> countedLength(AVFormatContext* format) {
    const int index = mainStream(format);
    if (index < 0) return std::nullopt;
    const AVRational base = format->streams[index]->time_base;
    // Reading starts at the first packet: the packets read while probing are handed out again first.
    const Packet packet(av_packet_alloc());
    if (!packet) return std::nullopt;
    int64_t sum = 0;
    int64_t first = INT64_MAX;
    int64_t end = INT64_MIN;
    while (av_read_frame(format, packet.get()) >= 0) {
        if (packet->stream_index == index) {
            if (packet->duration > 0) sum += packet->duration;
            if (packet->pts != AV_NOPTS_VALUE) {
                first = std::min(first, packet->pts);
                end = std::max(end, packet->pts + std::max<int64_t>(packet->duration, 0));
            }
        }
        av_packet_unref(packet.get());
    }
    const int64_t ticks = sum > 0 ? sum : (end > first ? end - first : 0);
    if (ticks <= 0) return std::nullopt;
    return double(ticks) * av_q2d(base);
}

}  // namespace

std::optional<double> mediaDuration(const std::string& path) {
    auto file = MediaFile::open(path);
    if (!file) return std::nullopt;
    AVFormatContext* format = file->context();

    std::optional<double> seconds;
    if (lengthIsGuessed(format))
        seconds = countedLength(format);
    else
        seconds = double(format->duration) / AV_TIME_BASE;
    if (!seconds || !std::isfinite(*seconds) || *seconds <= 0) return std::nullopt;
    return seconds;
}

}  // namespace quillmark::graphics
