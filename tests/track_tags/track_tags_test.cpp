// Tags as a user's collection has them: every format's own kind, Cyrillic in UTF-8, UTF-16
// and Windows-1251 written into frames marked Latin-1, covers, and files that lie.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "test_media.h"
#include "text_encoding.h"
#include "track_tags.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF-like picture bytes";

void Append(Bytes &out, const std::string &text) {
    out.insert(out.end(), text.begin(), text.end());
}

void AppendBigEndian(Bytes &out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// An ID3v2.3 frame (plain sizes in 2.3) of the given id and body.
void Frame(Bytes &tag, const char *id, const std::string &body) {
    Append(tag, id);
    AppendBigEndian(tag, static_cast<std::uint32_t>(body.size()), 4);
    tag.push_back(0);
    tag.push_back(0);
    Append(tag, body);
}

// An ID3v2.3 tag of the frames (sizes syncsafe in the header).
Bytes Id3v2Tag(const Bytes &frames) {
    Bytes tag;
    Append(tag, "ID3");
    tag.push_back(3);
    tag.push_back(0);
    tag.push_back(0);
    const auto size = static_cast<std::uint32_t>(frames.size());
    for (int shift : {21, 14, 7, 0})
        tag.push_back(static_cast<std::uint8_t>((size >> shift) & 0x7F));
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

// Text in UTF-16 with a byte-order mark (encoding 1), from plain UTF-8 Cyrillic/ASCII.
std::string Utf16Body(const std::u16string &text) {
    std::string body = std::string("\x01\xFF\xFE", 3);
    for (char16_t c : text) {
        body += static_cast<char>(c & 0xFF);
        body += static_cast<char>(c >> 8);
    }
    return body;
}

class TrackTagsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new testmedia::TempDir;
        ASSERT_TRUE(testmedia::WriteWav(Path("tone.wav"), 44100, 2, testmedia::SampleKind::kInt16,
                                        testmedia::Sine(440, 1.0, 44100, 2, 0.3)));
        ASSERT_TRUE(testmedia::Ffmpeg(Path("tone.wav"), "-c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0", Path("plain.mp3")));
        // A PNG cover the muxers can embed.
        ASSERT_TRUE(testmedia::Ffmpeg(Path("tone.wav"),
                                      "-f lavfi -i color=c=red:s=8x8 -map 1 -frames:v 1",
                                      Path("cover.png")));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string Path(const std::string &name) { return dir_->Path(name); }

    // The plain MP3 with this ID3v2 tag in front.
    static std::string Mp3With(const std::string &name, const Bytes &tag) {
        Bytes bytes = tag;
        const Bytes audio = testmedia::ReadBytes(Path("plain.mp3"));
        bytes.insert(bytes.end(), audio.begin(), audio.end());
        testmedia::WriteBytes(Path(name), bytes);
        return Path(name);
    }

    // The tone encoded by ffmpeg with Cyrillic UTF-8 metadata (and the cover, when asked).
    static std::string Encoded(const std::string &name, const std::string &codec, bool cover) {
        const std::string metadata =
            " -metadata title=Звезда -metadata artist=Кино -metadata album='Группа крови'"
            " -metadata track=7";
        const std::string picture =
            cover ? " -i " + Path("cover.png") + " -map 0:a -map 1:v -c:v copy -disposition:v attached_pic"
                  : "";
        EXPECT_TRUE(testmedia::Ffmpeg(Path("tone.wav"), picture + " " + codec + metadata, Path(name)))
            << name;
        return Path(name);
    }

    static testmedia::TempDir *dir_;
};
testmedia::TempDir *TrackTagsTest::dir_ = nullptr;

TEST_F(TrackTagsTest, Id3v2_EveryTextEncodingOfRussianTaggers_ReadsAsCyrillic) {
    Bytes frames;
    // Windows-1251 bytes in a frame marked Latin-1, as old Russian taggers wrote them.
    Frame(frames, "TIT2", std::string("\x00", 1) + "\xC7\xE2\xE5\xE7\xE4\xE0");  // Звезда
    // UTF-16 with a byte-order mark.
    Frame(frames, "TPE1", Utf16Body(u"Кино"));
    // Plain Latin-1 that is Latin-1: an accented letter among plain ones.
    Frame(frames, "TALB", std::string("\x00", 1) + "Caf\xE9 Tacvba");
    Frame(frames, "TRCK", std::string("\x00", 1) + "3/12");
    const TrackTags tags = ReadTrackTags(Mp3With("id3.mp3", Id3v2Tag(frames)));
    EXPECT_EQ(tags.title, "Звезда");
    EXPECT_EQ(tags.artist, "Кино");
    EXPECT_EQ(tags.album, "Café Tacvba");
    EXPECT_EQ(tags.trackNumber, 3);
}

TEST_F(TrackTagsTest, Id3v2_FrontCoverPreferredOverOtherPictures) {
    Bytes frames;
    Frame(frames, "TIT2", std::string("\x03", 1) + "Утро");  // UTF-8 frame
    const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + "back";
    // encoding, MIME type, picture type (4: back cover, 3: front), description, data
    Frame(frames, "APIC", std::string("\x00image/png\x00\x04", 12) + std::string("\x00", 1) + png);
    Frame(frames, "APIC", std::string("\x00image/jpeg\x00\x03", 13) + std::string("\x00", 1) + kJpeg);
    const TrackTags tags = ReadTrackTags(Mp3With("apic.mp3", Id3v2Tag(frames)));
    EXPECT_EQ(tags.title, "Утро");
    EXPECT_EQ(tags.picture, kJpeg);
    EXPECT_EQ(tags.pictureExtension, "jpg");
}

TEST_F(TrackTagsTest, EveryTaggedFormat_TitleArtistAlbumNumber) {
    struct Case {
        const char *name, *codec;
    };
    for (const Case &c : {Case{"a.flac", "-c:a flac"}, Case{"a.ogg", "-c:a libvorbis"},
                          Case{"a.opus", "-c:a libopus"}, Case{"a.m4a", "-c:a aac"},
                          Case{"a.mp3", "-c:a libmp3lame"}, Case{"a.wma", "-c:a wmav2"},
                          Case{"a.wv", "-c:a wavpack"}, Case{"a.aiff", "-c:a pcm_s16be -write_id3v2 1"},
                          Case{"a.wav", "-c:a pcm_s16le"}}) {
        SCOPED_TRACE(c.name);
        const TrackTags tags = ReadTrackTags(Encoded(c.name, c.codec, false));
        EXPECT_EQ(tags.title, "Звезда");
        EXPECT_EQ(tags.artist, "Кино");
        EXPECT_EQ(tags.album, "Группа крови");
        // RIFF INFO has no number that ffmpeg writes.
        if (std::string(c.name) != "a.wav") EXPECT_EQ(tags.trackNumber, 7);
    }
}

TEST_F(TrackTagsTest, EmbeddedCovers_FlacAndMp4AndMp3) {
    for (const char *name : {"c.flac", "c.m4a", "c.mp3"}) {
        SCOPED_TRACE(name);
        const std::string codec = std::string(name) == "c.flac"  ? "-c:a flac"
                                  : std::string(name) == "c.m4a" ? "-c:a aac"
                                                                 : "-c:a libmp3lame";
        const TrackTags tags = ReadTrackTags(Encoded(name, codec, true));
        EXPECT_EQ(tags.title, "Звезда");
        EXPECT_EQ(tags.pictureExtension, "png");
        EXPECT_EQ(tags.picture.substr(0, 4), "\x89PNG");
    }
}

// Nothing a file holds makes the reader fail, wait or take what is not a tag.
TEST_F(TrackTagsTest, DamagedAndHostileFiles_EmptyOrPartialNeverStuck) {
    EXPECT_EQ(ReadTrackTags(Path("missing.mp3")).title, "");
    EXPECT_EQ(ReadTrackTags(dir_->Path("")).title, "");  // a folder
    EXPECT_EQ(ReadTrackTags("/dev/zero").title, "");      // a device: never opened
    // A tag whose frame claims more than the file holds, and one cut in the middle.
    Bytes frames;
    Frame(frames, "TIT2", std::string("\x00", 1) + "Title");
    Bytes tag = Id3v2Tag(frames);
    tag[9] = 0x7F;  // claims 127 bytes more than there are
    EXPECT_NO_FATAL_FAILURE(ReadTrackTags(Mp3With("claims.mp3", tag)));
    Bytes cut = Id3v2Tag(frames);
    cut.resize(cut.size() - 3);
    testmedia::WriteBytes(Path("cut.mp3"), cut);
    EXPECT_NO_FATAL_FAILURE(ReadTrackTags(Path("cut.mp3")));
    // Every mutation of good tagged files.
    Bytes cyrillic;
    Frame(cyrillic, "TIT2", std::string("\x00", 1) + "\xC7\xE2\xE5\xE7\xE4\xE0");
    Mp3With("id3.mp3", Id3v2Tag(cyrillic));
    Encoded("a.flac", "-c:a flac", true);
    Encoded("a.ogg", "-c:a libvorbis", false);
    Encoded("a.m4a", "-c:a aac", true);
    Encoded("a.wma", "-c:a wmav2", false);
    for (const char *name : {"id3.mp3", "a.flac", "a.ogg", "a.m4a", "a.wma"}) {
        const Bytes good = testmedia::ReadBytes(Path(name));
        ASSERT_FALSE(good.empty()) << name;
        for (std::uint32_t variant = 0; variant < 60; ++variant) {
            testmedia::WriteBytes(Path(std::string("m-") + name), testmedia::Mutate(good, variant));
            const TrackTags tags = ReadTrackTags(Path(std::string("m-") + name));
            EXPECT_LE(tags.title.size(), kMaxTagTextBytes);
            EXPECT_TRUE(IsValidUtf8(tags.title + tags.artist + tags.album));
        }
    }
}

// A tag reader may look for a tag ahead of the first audio frame all through the file: in an
// "MP3" of zeros (a preallocated download) that would be gigabytes on the window's thread.
TEST_F(TrackTagsTest, ZerosOfGigabytesNamedMp3_GivenUpOnSoon) {
    const std::string path = Path("zeros.mp3");
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 8LL << 30), 0);  // sparse: no disk used
    close(fd);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadTrackTags(path).title, "");
    EXPECT_LT(testmedia::SecondsSince(start), 3.0);
}

TEST(Cp1251InLatin1, RussianWordsYes_WesternAccentsNo) {
    EXPECT_TRUE(LooksLikeCp1251Cyrillic("\xCA\xE8\xED\xEE"));                  // Кино
    EXPECT_TRUE(LooksLikeCp1251Cyrillic("DJ \xD1\xEC\xFD\xF8 - 2000"));        // DJ Смэш
    EXPECT_TRUE(LooksLikeCp1251Cyrillic("\xB8\xEB\xEA\xE0"));                  // ёлка
    EXPECT_FALSE(LooksLikeCp1251Cyrillic("Beyonc\xE9"));
    EXPECT_FALSE(LooksLikeCp1251Cyrillic("Mot\xF6rhead"));
    EXPECT_FALSE(LooksLikeCp1251Cyrillic("\xC4"));       // one letter: Ä as likely as Д
    EXPECT_FALSE(LooksLikeCp1251Cyrillic("plain text"));  // nothing to convert
    EXPECT_FALSE(LooksLikeCp1251Cyrillic(""));
    EXPECT_FALSE(LooksLikeCp1251Cyrillic("\xCA\xE8\xED\xEE Caf\xE9"));  // one word says no
}

}  // namespace
