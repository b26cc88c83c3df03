// Copies of recordings that browsers play, read back with ffprobe, which reads them independently of our code.
#include "export/graphics/playable_audio.h"

#include <cstdio>
#include <tuple>

#include <gtest/gtest.h>

#include "export/graphics/picture.h"
#include "media_fixtures.h"
#include "support/temp_dir.h"

namespace quillmark::graphics {
namespace {

using testing::quoted;
using testing::runQuietly;

// ffprobe's container and audio codec of a file: "ogg opus".
std::string probe(const std::filesystem::path& file) {
    const std::string command = "ffprobe -v error -select_streams a:0 -show_entries format=format_name:stream=codec_name "
                                "-of default=nw=1:nk=1 " + quoted(file) + " 2>/dev/null";
    std::string codec, container;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[256];
        if (fgets(line, sizeof line, pipe)) codec = line;  // the stream comes first, then the format
        if (fgets(line, sizeof line, pipe)) container = line;
        pclose(pipe);
    }
    auto trimmed = [](std::string s) { return s.empty() ? s : s.substr(0, s.size() - 1); };
    return trimmed(container) + " " + trimmed(codec);
}

// Every form a voice message or an audio attachment comes in: moved or encoded into what browsers play,
// keeping its length (AMR's silent frames included), and nothing made for files browsers already play.
TEST(PlayableAudio, RecordingsBecomeFilesBrowsersPlayOfTheSameLength) {
    ASSERT_TRUE(testing::haveTool("ffmpeg") && testing::haveTool("ffprobe")) << "ffmpeg makes the recordings";
    testing::TempDir dir;
    for (auto [name, codec] : {std::pair{"opus.caf", "-ac 1 -c:a libopus -b:a 16k"}, {"alac.caf", "-c:a alac"},
                               {"pcm.caf", "-ar 22050 -ac 2"}, {"voice.aac", "-ac 1 -c:a aac -f adts"},
                               {"voice.m4a", "-c:a aac"}, {"song.mp3", "-c:a libmp3lame"}, {"sound.wav", ""},
                               {"note.ogg", "-c:a libopus"}})
        ASSERT_TRUE(runQuietly("ffmpeg -y -f lavfi -i sine=duration=2.5 " + std::string(codec) + " " + quoted(dir / name)));
    // FFmpeg cannot write AAC into a Core Audio file, as voice messages are recorded: its frames are moved there.
    dir.write("aac.caf", testing::cafOfADTS(testing::readFile(dir / "voice.aac")));
    ASSERT_EQ(probe(dir / "aac.caf"), "caf aac");
    dir.write("old.amr", testing::amrFile(100, 50));  // 2 s of speech, then 1 s of frames without sound

    const std::string mp4 = "mov,mp4,m4a,3gp,3g2,mj2 aac";
    using Case = std::tuple<const char*, std::string, double>;  // the copy's container and codec, its length
    for (const auto& [name, expected, seconds] : std::initializer_list<Case>{{"opus.caf", "ogg opus", 2.5}, {"aac.caf", mp4, 2.5},
                                           {"alac.caf", mp4, 2.5}, {"pcm.caf", mp4, 2.5}, {"old.amr", mp4, 3.0},
                                           {"voice.m4a", "", 0.0}, {"song.mp3", "", 0.0}, {"sound.wav", "", 0.0},
                                           {"note.ogg", "", 0.0}}) {
        SCOPED_TRACE(name);
        auto copy = playableAudio(dir / name, name);
        ASSERT_TRUE(copy) << copy.error();
        ASSERT_EQ(bool(*copy), !expected.empty());
        if (!*copy) continue;
        EXPECT_EQ((*copy)->extension, expected.starts_with("ogg") ? "ogg" : "m4a");
        const auto made = dir.write(std::string(name) + "." + (*copy)->extension, (*copy)->bytes);
        EXPECT_EQ(probe(made), expected);
        ASSERT_TRUE(mediaDuration(made));
        EXPECT_NEAR(*mediaDuration(made), seconds, 0.1);
    }
}

// Damaged recordings give a sentence, or a copy of what survives that plays; never a crash.
TEST(PlayableAudio, DamagedRecordingsFailWithASentence) {
    ASSERT_TRUE(testing::haveTool("ffmpeg")) << "ffmpeg makes the recordings";
    testing::TempDir dir;
    ASSERT_TRUE(runQuietly("ffmpeg -y -f lavfi -i sine=duration=2 -c:a libopus " + quoted(dir / "good.caf")));
    const std::string bytes = testing::readFile(dir / "good.caf");

    auto empty = playableAudio(dir.write("empty.caf", ""), "Audio Message.caf");
    ASSERT_FALSE(empty);
    EXPECT_EQ(empty.error().sentence, "\u201cAudio Message.caf\u201d couldn't be converted to play in a browser: it "
                                      "isn't a recording in a format this system reads.");
    EXPECT_FALSE(playableAudio(dir.write("text.caf", "CAF"), "text.caf"));
    EXPECT_FALSE(playableAudio(dir.write("header-only.caf", bytes.substr(0, 120)), "header-only.caf"));
    auto cut = playableAudio(dir.write("cut.caf", bytes.substr(0, bytes.size() / 2)), "cut.caf");
    if (cut) {
        EXPECT_TRUE(*cut && mediaDuration(dir.write("cut.ogg", (*cut)->bytes)));
    }
}

}  // namespace
}  // namespace quillmark::graphics
