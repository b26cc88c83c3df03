// playableAudio: recordings moved or encoded into files browsers play, with FFmpeg's libraries.
#include "export/graphics/playable_audio.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "export/graphics/media_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace quillmark::graphics {

namespace {

// A copy larger than this is refused rather than held in memory; an hour of AAC at 128 kbit/s is 58 MB.
constexpr int64_t kMaxBytes = int64_t{512} << 20;
constexpr int kIOBuffer = 64 * 1024;

struct ResamplerFree {
    void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};
struct FifoFree {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
using Resampler = std::unique_ptr<SwrContext, ResamplerFree>;
using Fifo = std::unique_ptr<AVAudioFifo, FifoFree>;

using Result = tl::expected<PlayableAudio, SentenceFailure>;

SentenceFailure failure(const std::string& name, const std::string& why) {
    return {"\u201c" + name + "\u201d couldn't be converted to play in a browser: " + why + "."};
}

SentenceFailure failure(const std::string& name, int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return failure(name, "FFmpeg reported \u201c" + std::string(text) + "\u201d");
}

// Whether browsers play this sound in this container as it is. The container is the name of the format
// FFmpeg read it as ("mov,mp4,m4a,3gp,3g2,mj2" for the MPEG-4 family, "caf" for a Core Audio file).
bool browsersPlay(std::string_view container, AVCodecID codec) {
    if (container == "mp3") return codec == AV_CODEC_ID_MP3;
    if (container.starts_with("mov,")) return codec == AV_CODEC_ID_AAC || codec == AV_CODEC_ID_MP3;
    if (container == "ogg")
        return codec == AV_CODEC_ID_OPUS || codec == AV_CODEC_ID_VORBIS || codec == AV_CODEC_ID_FLAC;
    if (container == "matroska,webm") return codec == AV_CODEC_ID_OPUS || codec == AV_CODEC_ID_VORBIS;
    if (container == "wav")
        return codec == AV_CODEC_ID_PCM_U8 || codec == AV_CODEC_ID_PCM_S16LE || codec == AV_CODEC_ID_PCM_S24LE ||
               codec == AV_CODEC_ID_PCM_F32LE;
    if (container == "flac") return codec == AV_CODEC_ID_FLAC;
    if (container == "aac") return codec == AV_CODEC_ID_AAC;
    return false;
}

// The file being written, kept in memory. The MPEG-4 writer goes back to fill in sizes, so it seeks.
class Writer {
public:
    Writer() = default;
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    ~Writer() {
        if (io_) {
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
        if (format_) avformat_free_context(format_);
    }

    // Makes the writer of the named container format ("ipod" writes .m4a files); an FFmpeg error code.
    int open(const char* container) {
        if (const int error = avformat_alloc_output_context2(&format_, nullptr, container, nullptr); error < 0)
            return error;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIOBuffer));
        if (!buffer) return AVERROR(ENOMEM);
        io_ = avio_alloc_context(buffer, kIOBuffer, 1, this, nullptr, &Writer::write, &Writer::seek);
        if (!io_) {
            av_free(buffer);
            return AVERROR(ENOMEM);
        }
        format_->pb = io_;
        format_->flags |= AVFMT_FLAG_CUSTOM_IO;
        return 0;
    }

    AVFormatContext* format() const { return format_; }
    std::string take() { return std::move(bytes_); }

private:
    static int write(void* opaque, uint8_t* data, int size) {
        auto& self = *static_cast<Writer*>(opaque);
        if (size < 0 || self.position_ + size > kMaxBytes) return AVERROR(EFBIG);
        const size_t end = size_t(self.position_) + size_t(size);
        if (self.bytes_.size() < end) self.bytes_.resize(end);
        std::memcpy(self.bytes_.data() + self.position_, data, size_t(size));
        self.position_ = int64_t(end);
        return size;
    }

    static int64_t seek(void* opaque, int64_t offset, int whence) {
        auto& self = *static_cast<Writer*>(opaque);
        whence &= ~AVSEEK_FORCE;
        if (whence == AVSEEK_SIZE) return int64_t(self.bytes_.size());
        int64_t target = -1;
        if (whence == SEEK_SET) target = offset;
        if (whence == SEEK_CUR) target = self.position_ + offset;
        if (whence == SEEK_END) target = int64_t(self.bytes_.size()) + offset;
        if (target < 0 || target > kMaxBytes) return AVERROR(EINVAL);
        self.position_ = target;
        return target;
    }

    AVFormatContext* format_ = nullptr;
    AVIOContext* io_ = nullptr;
    std::string bytes_;
    int64_t position_ = 0;
};

// Opus in a Core Audio file comes without the identification header that Ogg requires on its first page;
// one is made from the stream's parameters (mono or stereo, the default channel mapping). False when the
// stream has neither header nor one or two channels, so it cannot go into Ogg as it is.
bool giveOpusHeader(AVCodecParameters* parameters) {
    if (parameters->extradata_size >= 19 && std::memcmp(parameters->extradata, "OpusHead", 8) == 0) return true;
    const int channels = parameters->ch_layout.nb_channels;
    if (channels < 1 || channels > 2) return false;
    const auto preSkip = uint16_t(std::clamp(parameters->initial_padding, 0, 65535));
    const auto rate = uint32_t(parameters->sample_rate > 0 ? parameters->sample_rate : 48000);
    const uint8_t header[19] = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, uint8_t(channels),
                                uint8_t(preSkip & 0xff), uint8_t(preSkip >> 8),
                                uint8_t(rate & 0xff), uint8_t(rate >> 8 & 0xff), uint8_t(rate >> 16 & 0xff),
                                uint8_t(rate >> 24), 0, 0, 0};
    auto* data = static_cast<uint8_t*>(av_mallocz(sizeof header + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!data) return false;
    std::memcpy(data, header, sizeof header);
    av_freep(&parameters->extradata);
    parameters->extradata = data;
    parameters->extradata_size = sizeof header;
    return true;
}

// The stream's packets as they are, in another container.
Result moved(AVFormatContext* input, int index, const char* container, const char* extension,
             const std::string& name) {
    const AVStream* in = input->streams[index];
    Writer writer;
    if (const int error = writer.open(container); error < 0) return tl::unexpected(failure(name, error));
    AVStream* out = avformat_new_stream(writer.format(), nullptr);
    if (!out) return tl::unexpected(failure(name, AVERROR(ENOMEM)));
    if (const int error = avcodec_parameters_copy(out->codecpar, in->codecpar); error < 0)
        return tl::unexpected(failure(name, error));
    out->codecpar->codec_tag = 0;
    out->time_base = in->time_base;
    if (out->codecpar->codec_id == AV_CODEC_ID_OPUS && !giveOpusHeader(out->codecpar))
        return tl::unexpected(failure(name, "its Opus sound lacks the header Ogg needs, and none can be made for it"));
    if (const int error = avformat_write_header(writer.format(), nullptr); error < 0)
        return tl::unexpected(failure(name, error));

    Packet packet(av_packet_alloc());
    if (!packet) return tl::unexpected(failure(name, AVERROR(ENOMEM)));
    int64_t copied = 0;
    // A read error ends the sound where the damage starts: what came before it still plays.
    while (av_read_frame(input, packet.get()) >= 0) {
        if (packet->stream_index != index) {
            av_packet_unref(packet.get());
            continue;
        }
        packet->stream_index = 0;
        packet->pos = -1;
        av_packet_rescale_ts(packet.get(), in->time_base, out->time_base);
        if (const int error = av_interleaved_write_frame(writer.format(), packet.get()); error < 0)
            return tl::unexpected(failure(name, error));
        ++copied;
    }
    if (copied == 0) return tl::unexpected(failure(name, "it holds no sound"));
    if (const int error = av_write_trailer(writer.format()); error < 0) return tl::unexpected(failure(name, error));
    return PlayableAudio{extension, writer.take()};
}

// The sample rate the encoder takes that is the input's, else 48 kHz.
int encoderRate(const AVCodec* encoder, int rate) {
    for (const int* r = encoder->supported_samplerates; r && *r; ++r)
        if (*r == rate) return rate;
    return 48000;
}

// Decodes a sound and encodes it as AAC in an .m4a file: mono stays mono, anything more becomes stereo.
class Transcoder {
public:
    explicit Transcoder(const std::string& name) : name_(name) {}
    ~Transcoder() { av_channel_layout_uninit(&inLayout_); }
    Transcoder(const Transcoder&) = delete;
    Transcoder& operator=(const Transcoder&) = delete;

    Result run(AVFormatContext* input, int index) {
        const AVStream* in = input->streams[index];
        const AVCodec* decoder = avcodec_find_decoder(in->codecpar->codec_id);
        if (!decoder) return tl::unexpected(failure(name_, "its sound is in a format FFmpeg can't decode"));
        decoding_.reset(avcodec_alloc_context3(decoder));
        if (!decoding_) return tl::unexpected(failure(name_, AVERROR(ENOMEM)));
        if (const int error = avcodec_parameters_to_context(decoding_.get(), in->codecpar); error < 0)
            return tl::unexpected(failure(name_, error));
        decoding_->pkt_timebase = in->time_base;
        if (const int error = avcodec_open2(decoding_.get(), decoder, nullptr); error < 0)
            return tl::unexpected(failure(name_, error));

        const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!encoder) return tl::unexpected(failure(name_, "this system's FFmpeg has no AAC encoder"));
        encoding_.reset(avcodec_alloc_context3(encoder));
        if (!encoding_) return tl::unexpected(failure(name_, AVERROR(ENOMEM)));
        const int channels = decoding_->ch_layout.nb_channels >= 2 ? 2 : 1;
        av_channel_layout_default(&encoding_->ch_layout, channels);
        encoding_->sample_rate = encoderRate(encoder, decoding_->sample_rate);
        encoding_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        encoding_->bit_rate = channels == 1 ? 64000 : 128000;
        encoding_->time_base = {1, encoding_->sample_rate};
        if (const int error = writer_.open("ipod"); error < 0) return tl::unexpected(failure(name_, error));
        if (writer_.format()->oformat->flags & AVFMT_GLOBALHEADER) encoding_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (const int error = avcodec_open2(encoding_.get(), encoder, nullptr); error < 0)
            return tl::unexpected(failure(name_, error));
        out_ = avformat_new_stream(writer_.format(), nullptr);
        if (!out_) return tl::unexpected(failure(name_, AVERROR(ENOMEM)));
        if (const int error = avcodec_parameters_from_context(out_->codecpar, encoding_.get()); error < 0)
            return tl::unexpected(failure(name_, error));
        out_->time_base = encoding_->time_base;
        if (const int error = avformat_write_header(writer_.format(), nullptr); error < 0)
            return tl::unexpected(failure(name_, error));
        fifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, std::max(encoding_->frame_size, 1024)));
        packet_.reset(av_packet_alloc());
        frame_.reset(av_frame_alloc());
        if (!fifo_ || !packet_ || !frame_) return tl::unexpected(failure(name_, AVERROR(ENOMEM)));

        inBase_ = in->time_base;
        start_ = in->start_time != AV_NOPTS_VALUE ? in->start_time : 0;
        // Packets that do not decode are passed over: the sound around them still plays.
        while (av_read_frame(input, packet_.get()) >= 0) {
            if (packet_->stream_index == index) {
                if (packet_->pts != AV_NOPTS_VALUE && packet_->duration > 0)
                    end_ = std::max(end_, packet_->pts + packet_->duration);
                if (avcodec_send_packet(decoding_.get(), packet_.get()) >= 0) {
                    if (const int error = drainDecoder(); error < 0) return tl::unexpected(failure(name_, error));
                }
            }
            av_packet_unref(packet_.get());
        }
        avcodec_send_packet(decoding_.get(), nullptr);
        if (const int error = drainDecoder(); error < 0) return tl::unexpected(failure(name_, error));
        if (resampler_) {
            if (const int error = resample(nullptr, 0); error < 0) return tl::unexpected(failure(name_, error));
        }
        if (end_ != AV_NOPTS_VALUE && samples_ + av_audio_fifo_size(fifo_.get()) > 0) {
            if (const int error = silenceUntil(end_); error < 0) return tl::unexpected(failure(name_, error));
        }
        if (const int error = encodeQueued(true); error < 0) return tl::unexpected(failure(name_, error));
        if (samples_ == 0) return tl::unexpected(failure(name_, "it holds no sound that could be decoded"));
        avcodec_send_frame(encoding_.get(), nullptr);
        if (const int error = drainEncoder(); error < 0) return tl::unexpected(failure(name_, error));
        if (const int error = av_write_trailer(writer_.format()); error < 0)
            return tl::unexpected(failure(name_, error));
        return PlayableAudio{"m4a", writer_.take()};
    }

private:
    int drainDecoder() {
        while (avcodec_receive_frame(decoding_.get(), frame_.get()) >= 0) {
            const int error = convert(frame_.get());
            av_frame_unref(frame_.get());
            if (error < 0) return error;
        }
        return 0;
    }

    // Queues silence up to the time `until` of the input when the sound queued so far ends before it. Frames
    // that carry no sound (AMR's "no data" frames between words) decode to nothing, and the words after them
    // must still come at their time. A gap longer than a minute is damage, not silence, and stays closed.
    int silenceUntil(int64_t until) {
        const int rate = encoding_->sample_rate;
        const int64_t at = av_rescale_q(until - start_, inBase_, AVRational{1, rate});
        const int64_t gap = at - queued_;
        if (gap < rate / 200 || gap > int64_t{60} * rate) return 0;
        uint8_t** silence = nullptr;
        const int channels = encoding_->ch_layout.nb_channels;
        const int chunk = 4096;
        if (const int error = av_samples_alloc_array_and_samples(&silence, nullptr, channels, chunk,
                                                                 AV_SAMPLE_FMT_FLTP, 0); error < 0)
            return error;
        av_samples_set_silence(silence, 0, chunk, channels, AV_SAMPLE_FMT_FLTP);
        int error = 0;
        for (int64_t left = gap; left > 0 && error >= 0;) {
            const int count = int(std::min<int64_t>(left, chunk));
            if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(silence), count) < count) {
                error = AVERROR(ENOMEM);
                break;
            }
            queued_ += count;
            left -= count;
            error = encodeQueued(false);
        }
        av_freep(&silence[0]);
        av_freep(&silence);
        return error;
    }

    // Resamples a decoded frame into the queue; the resampler is made anew when the sound's form changes.
    int convert(const AVFrame* frame) {
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
            if (const int error = silenceUntil(frame->best_effort_timestamp); error < 0) return error;
        }
        const bool changed = !resampler_ || frame->format != inFormat_ || frame->sample_rate != inRate_ ||
                             av_channel_layout_compare(&frame->ch_layout, &inLayout_) != 0;
        if (changed) {
            if (resampler_) {
                if (const int error = resample(nullptr, 0); error < 0) return error;
            }
            SwrContext* made = nullptr;
            AVChannelLayout layout = frame->ch_layout;
            AVChannelLayout fallback{};
            if (layout.order == AV_CHANNEL_ORDER_UNSPEC) {
                av_channel_layout_default(&fallback, layout.nb_channels);
                layout = fallback;
            }
            int error = swr_alloc_set_opts2(&made, &encoding_->ch_layout, AV_SAMPLE_FMT_FLTP, encoding_->sample_rate,
                                            &layout, AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
            resampler_.reset(made);
            if (error < 0) return error;
            if ((error = swr_init(resampler_.get())) < 0) return error;
            inFormat_ = frame->format;
            inRate_ = frame->sample_rate;
            av_channel_layout_uninit(&inLayout_);
            if ((error = av_channel_layout_copy(&inLayout_, &frame->ch_layout)) < 0) return error;
        }
        return resample(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    }

    // Passes samples (none to flush) through the resampler into the queue, then encodes whole frames.
    int resample(const uint8_t** data, int count) {
        for (;;) {
            const int room = swr_get_out_samples(resampler_.get(), count);
            if (room < 0) return room;
            if (room == 0) return encodeQueued(false);
            Frame converted(av_frame_alloc());
            if (!converted) return AVERROR(ENOMEM);
            converted->format = AV_SAMPLE_FMT_FLTP;
            converted->nb_samples = room;
            if (int error = av_channel_layout_copy(&converted->ch_layout, &encoding_->ch_layout); error < 0) return error;
            if (int error = av_frame_get_buffer(converted.get(), 0); error < 0) return error;
            const int made = swr_convert(resampler_.get(), converted->data, room, data, count);
            if (made < 0) return made;
            if (made > 0 && av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(converted->data), made) < made)
                return AVERROR(ENOMEM);
            queued_ += made;
            // Input is taken whole in one call; flushing repeats until the resampler has nothing left.
            if (data || made == 0) return encodeQueued(false);
        }
    }

    // Encodes the queued samples in frames of the encoder's size; at the end also the last, shorter one.
    int encodeQueued(bool last) {
        const int size = encoding_->frame_size > 0 ? encoding_->frame_size : 1024;
        while (av_audio_fifo_size(fifo_.get()) >= size || (last && av_audio_fifo_size(fifo_.get()) > 0)) {
            Frame frame(av_frame_alloc());
            if (!frame) return AVERROR(ENOMEM);
            frame->format = AV_SAMPLE_FMT_FLTP;
            frame->sample_rate = encoding_->sample_rate;
            frame->nb_samples = size;
            if (int error = av_channel_layout_copy(&frame->ch_layout, &encoding_->ch_layout); error < 0) return error;
            if (int error = av_frame_get_buffer(frame.get(), 0); error < 0) return error;
            const int read = av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data), size);
            if (read < 0) return read;
            if (read < size) {
                if (encoding_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)
                    frame->nb_samples = read;
                else
                    av_samples_set_silence(frame->data, read, size - read, frame->ch_layout.nb_channels,
                                           AV_SAMPLE_FMT_FLTP);
            }
            frame->pts = samples_;
            samples_ += frame->nb_samples;
            if (int error = avcodec_send_frame(encoding_.get(), frame.get()); error < 0) return error;
            if (int error = drainEncoder(); error < 0) return error;
        }
        return 0;
    }

    int drainEncoder() {
        Packet packet(av_packet_alloc());
        if (!packet) return AVERROR(ENOMEM);
        for (;;) {
            const int received = avcodec_receive_packet(encoding_.get(), packet.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return 0;
            if (received < 0) return received;
            packet->stream_index = 0;
            av_packet_rescale_ts(packet.get(), encoding_->time_base, out_->time_base);
            if (int error = av_interleaved_write_frame(writer_.format(), packet.get()); error < 0) return error;
        }
    }

    const std::string& name_;
    Codec decoding_;
    Codec encoding_;
    Writer writer_;
    AVStream* out_ = nullptr;
    Resampler resampler_;
    int inFormat_ = -1;
    int inRate_ = 0;
    AVChannelLayout inLayout_{};
    Fifo fifo_;
    Packet packet_;
    Frame frame_;
    int64_t samples_ = 0;  // samples sent to the encoder
    int64_t queued_ = 0;   // samples put into the queue, silence included
    AVRational inBase_{1, 1};
    int64_t start_ = 0;
    int64_t end_ = AV_NOPTS_VALUE;  // the end of the last packet of sound, in the input's time base
};

}  // namespace

tl::expected<std::optional<PlayableAudio>, SentenceFailure> playableAudio(const std::string& path,
                                                                          const std::string& name) {
    auto file = MediaFile::open(path);
    if (!file) return tl::unexpected(failure(name, "it isn't a recording in a format this system reads"));
    AVFormatContext* input = file->context();
    const int index = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0) return tl::unexpected(failure(name, "it holds no sound"));
    const AVCodecID codec = input->streams[index]->codecpar->codec_id;
    if (browsersPlay(input->iformat->name, codec)) return std::nullopt;

    Result copy = codec == AV_CODEC_ID_AAC    ? moved(input, index, "ipod", "m4a", name)
                  : codec == AV_CODEC_ID_OPUS ? moved(input, index, "ogg", "ogg", name)
                                              : Transcoder(name).run(input, index);
    // Opus that Ogg cannot take as it is (more than two channels and no header) is encoded anew.
    if (!copy && codec == AV_CODEC_ID_OPUS && input->streams[index]->codecpar->ch_layout.nb_channels > 2) {
        file = MediaFile::open(path);
        if (!file) return tl::unexpected(copy.error());
        copy = Transcoder(name).run(file->context(), index);
    }
    if (!copy) return tl::unexpected(copy.error());
    return std::optional<PlayableAudio>(std::move(*copy));
}

}  // namespace quillmark::graphics
