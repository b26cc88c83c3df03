// MediaFile: an audio or video file opened with FFmpeg for reading, for the still frames and durations of
// picture.h. Private to the graphics library.
//
//   auto file = MediaFile::open("/data/Attachments/IMG_2.MOV");
//   if (file) avformat_find_stream_info(file->context(), nullptr) ...
#pragma once

#include <memory>
#include <optional>
#include <string>

extern "C" {
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
}

namespace quillmark::graphics {

class MediaFile {
public:
    // Opens a local file as one of the audio and video container formats people send; nothing when it is
    // none of them or cannot be read. The stream information is read already.
    static std::optional<MediaFile> open(const std::string& path);

    AVFormatContext* context() const { return context_.get(); }

private:
    struct Closer {
        void operator()(AVFormatContext* context) const;
    };
    explicit MediaFile(AVFormatContext* context) : context_(context) {}
    std::unique_ptr<AVFormatContext, Closer> context_;
};

// Owning holders of what a decoder works with, each freed the FFmpeg way.
struct CodecFree {
    void operator()(AVCodecContext* codec) const;
};
struct FrameFree {
    void operator()(AVFrame* frame) const;
};
struct PacketFree {
    void operator()(AVPacket* packet) const;
};
using Codec = std::unique_ptr<AVCodecContext, CodecFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

}  // namespace quillmark::graphics
