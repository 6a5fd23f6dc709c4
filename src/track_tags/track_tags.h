// What a track's tags say of it (title, artist, album, number, cover), read with TagLib from
// any format that has tags: ID3v2.2 to 2.4 and ID3v1 (MP3, WAV, AIFF), APEv2, Vorbis
// comments (FLAC, Ogg, Opus), MP4 atoms, ASF, RIFF INFO. The file is untrusted: a damaged or
// hostile one gives empty fields. Called when a track starts, never for a whole folder.
#pragma once

#include <cstddef>
#include <string>

struct TrackTags {
    std::string title, artist, album;  // UTF-8; empty: none
    int trackNumber = 0;               // 0: none
    std::string picture;               // the front cover as stored (JPEG or PNG); empty: none
    std::string pictureExtension;      // "jpg" or "png", told by the picture's own bytes
};

// A picture larger than this is not taken (no cover needs it; a hostile tag may claim more).
inline constexpr std::size_t kMaxPictureBytes = 16 * 1024 * 1024;
// Texts are cut to this many bytes (at a character boundary).
inline constexpr std::size_t kMaxTagTextBytes = 1024;

// The tags of the file at path. Fields the file has in several tags come from the first of:
// ID3v2, APE, Vorbis comment, MP4, ASF, RIFF INFO, ID3v1. Text of a Latin-1 ID3 frame, of
// ID3v1 or of RIFF INFO that reads as Windows-1251 Russian is taken as that.
TrackTags ReadTrackTags(const std::string &path);

// "jpg" or "png" when the bytes start as such a picture does; empty otherwise.
std::string PictureExtension(const std::string &bytes);
