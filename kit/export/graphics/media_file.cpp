#include "export/graphics/media_file.h"

#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

namespace quillmark::graphics {

namespace {

// The container formats a phone, a camera or a computer sends as audio or video. FFmpeg can also open
// playlists and scripts that name further files or network addresses (HLS, concat, SDP); an attachment
// must never make us read anything but itself, so only these formats and only the file protocol are allowed.
constexpr const char* kFormats =
    "mov,mp4,m4a,3gp,matroska,webm,avi,mpegts,mpeg,mp3,wav,w64,aiff,caf,amr,amrnb,amrwb,flac,ogg,aac,ac3,eac3,"
    "asf,flv";

void silenceFFmpeg() {
    // The engine prints nothing; FFmpeg would describe every damaged packet on standard error.
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

}  // namespace

void MediaFile::Closer::operator()(AVFormatContext* context) const { avformat_close_input(&context); }

void CodecFree::operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
void FrameFree::operator()(AVFrame* frame) const { av_frame_free(&frame); }
void PacketFree::operator()(AVPacket* packet) const { av_packet_free(&packet); }

std::optional<MediaFile> MediaFile::open(const std::string& path) {
    silenceFFmpeg();
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kFormats, 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext* context = nullptr;
    // "file:" keeps a colon in the path from being read as a protocol name.
    const std::string url = "file:" + path;
    const int opened = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return std::nullopt;
    MediaFile file(context);
    if (avformat_find_stream_info(context, nullptr) < 0) return std::nullopt;
    return file;
}

}  // namespace quillmark::graphics
