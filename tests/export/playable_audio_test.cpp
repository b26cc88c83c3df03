// Copies of recordings that browsers play, checked with ffprobe, which reads them independently of our code.
#include "export/graphics/playable_audio.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "export/graphics/picture.h"
#include "media_fixtures.h"
#include "support/temp_dir.h"

namespace quillmark::graphics {
namespace {

using testing::quoted;
using testing::runQuietly;
using testing::TempDir;

// ffprobe's "container,codec" of a file's audio, such as "ogg,opus".
std::string probe(const std::filesystem::path& file) {
    const std::string command = "ffprobe -v error -select_streams a:0 -show_entries format=format_name:stream=codec_name "
                                "-of default=nw=1:nk=1 " + quoted(file) + " 2>/dev/null";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
        pclose(pipe);
    }
    // ffprobe prints the stream's codec first, then the format.
    const auto line = out.find('\n');
    if (line == std::string::npos) return out;
    std::string format = out.substr(line + 1);
    while (!format.empty() && format.back() == '\n') format.pop_back();
    return format + "," + out.substr(0, line);
}

// Every sound a voice message or an audio attachment comes in: moved or encoded into what browsers play,
// with the length kept, and nothing made for files browsers already play.
TEST(PlayableAudio, VoiceMessagesBecomeFilesBrowsersPlayOfTheSameLength) {
    ASSERT_TRUE(testing::haveTool("ffmpeg") && testing::haveTool("ffprobe")) << "ffmpeg makes the recordings";
    TempDir dir;
    struct Case {
        const char* name;
        const char* codec;
        const char* expected;  // ffprobe's container and codec of the copy; empty when none is made
    };
    for (const Case& c : {Case{"opus.caf", "-ac 1 -c:a libopus -b:a 16k", "ogg,opus"},
                          Case{"stereo-opus.caf", "-ac 2 -c:a libopus", "ogg,opus"},
                          Case{"alac.caf", "-c:a alac", "mov,mp4,m4a,3gp,3g2,mj2,aac"},
                          Case{"pcm.caf", "-ar 22050 -ac 2", "mov,mp4,m4a,3gp,3g2,mj2,aac"},
                          Case{"voice.m4a", "-c:a aac", ""}, Case{"song.mp3", "-c:a libmp3lame", ""},
                          Case{"sound.wav", "", ""}, Case{"note.ogg", "-c:a libopus", ""}}) {
        SCOPED_TRACE(c.name);
        const auto source = dir / c.name;
        ASSERT_TRUE(runQuietly("ffmpeg -y -f lavfi -i sine=duration=2.5 " + std::string(c.codec) + " " + quoted(source)));
        auto copy = playableAudio(source, c.name);
        ASSERT_TRUE(copy) << copy.error();
        if (*c.expected == '\0') {
            EXPECT_FALSE(*copy);
            continue;
        }
        ASSERT_TRUE(*copy);
        const auto made = dir.write(std::string(c.name) + "." + (*copy)->extension, (*copy)->bytes);
        EXPECT_EQ(probe(made), c.expected);
        EXPECT_EQ((*copy)->extension, std::string(c.expected).starts_with("ogg") ? "ogg" : "m4a");
        const auto seconds = mediaDuration(made);
        ASSERT_TRUE(seconds);
        EXPECT_NEAR(*seconds, 2.5, 0.1);
    }

    // A voice message recorded as AAC in .caf: its frames moved as they are.
    const auto adts = dir / "voice.aac";
    ASSERT_TRUE(runQuietly("ffmpeg -y -f lavfi -i sine=duration=2.5 -ac 1 -c:a aac -f adts " + quoted(adts)));
    const auto aac = dir.write("aac.caf", testing::cafOfADTS(testing::readFile(adts)));
    ASSERT_EQ(probe(aac), "caf,aac");
    auto moved = playableAudio(aac, "aac.caf");
    ASSERT_TRUE(moved && *moved) << (moved ? "nothing made" : moved.error().sentence);
    EXPECT_EQ((*moved)->extension, "m4a");
    EXPECT_EQ(probe(dir.write("aac.caf.m4a", (*moved)->bytes)), "mov,mp4,m4a,3gp,3g2,mj2,aac");
    ASSERT_TRUE(mediaDuration(dir / "aac.caf.m4a"));
    EXPECT_NEAR(*mediaDuration(dir / "aac.caf.m4a"), 2.5, 0.1);

    // An old voice message: AMR, encoded anew at its 8 kHz.
    const auto amr = dir.write("Audio Message.amr", testing::amrFile(100, 50));
    auto copy = playableAudio(amr, "Audio Message.amr");
    ASSERT_TRUE(copy && *copy) << (copy ? "nothing made" : copy.error().sentence);
    const auto made = dir.write("amr.m4a", (*copy)->bytes);
    EXPECT_EQ(probe(made), "mov,mp4,m4a,3gp,3g2,mj2,aac");
    ASSERT_TRUE(mediaDuration(made));
    EXPECT_NEAR(*mediaDuration(made), 3.0, 0.1);
}

// Damaged recordings give a sentence or a copy of what survives, never a crash.
TEST(PlayableAudio, DamagedRecordingsFailWithASentence) {
    ASSERT_TRUE(testing::haveTool("ffmpeg")) << "ffmpeg makes the recordings";
    TempDir dir;
    const auto good = dir / "good.caf";
    ASSERT_TRUE(runQuietly("ffmpeg -y -f lavfi -i sine=duration=2 -c:a libopus " + quoted(good)));
    const std::string bytes = testing::readFile(good);

    auto empty = playableAudio(dir.write("empty.caf", ""), "Audio Message.caf");
    ASSERT_FALSE(empty);
    EXPECT_EQ(empty.error().sentence,
              "\u201cAudio Message.caf\u201d couldn't be converted to play in a browser: it isn't a recording in a "
              "format this system reads.");
    EXPECT_FALSE(playableAudio(dir.write("text.caf", "CAF"), "text.caf"));
    EXPECT_FALSE(playableAudio(dir / "missing.caf", "missing.caf"));
    EXPECT_FALSE(playableAudio(dir.write("header-only.caf", bytes.substr(0, 120)), "header-only.caf"));

    // Cut short or overwritten in the middle: whatever comes back must be a file that plays.
    std::string scribbled = bytes;
    for (size_t i = scribbled.size() / 3; i < scribbled.size() / 2; ++i) scribbled[i] = char(i * 131);
    for (const auto& [name, damaged] : {std::pair{"cut.caf", bytes.substr(0, bytes.size() / 2)},
                                        std::pair{"scribbled.caf", scribbled}}) {
        auto copy = playableAudio(dir.write(name, damaged), name);
        if (!copy) continue;
        ASSERT_TRUE(*copy) << name;
        EXPECT_TRUE(mediaDuration(dir.write(std::string(name) + ".ogg", (*copy)->bytes))) << name;
    }
}

}  // namespace
}  // namespace quillmark::graphics
