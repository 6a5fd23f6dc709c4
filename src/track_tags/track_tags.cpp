#include "track_tags.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <new>

#include <aifffile.h>
#include <apefile.h>
#include <apetag.h>
#include <asffile.h>
#include <attachedpictureframe.h>
#include <fileref.h>
#include <flacfile.h>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <infotag.h>
#include <mp4file.h>
#include <mpegfile.h>
#include <oggflacfile.h>
#include <opusfile.h>
#include <textidentificationframe.h>
#include <tfilestream.h>
#include <vorbisfile.h>
#include <wavfile.h>
#include <wavpackfile.h>
#include <xiphcomment.h>

#include "text_encoding.h"

namespace {

// TagLib looks for some tags by reading on until it finds them (an ID3v2 tag ahead of the
// first MPEG frame, say): in a file of a wrong name or of zeros that is the whole file, on
// the window's thread, a kilobyte a call. What one reading may take is bounded, in bytes and
// in calls (a tag and its pictures come in a few large reads); past it the file reads as
// ended.
constexpr unsigned long kReadBudget = kMaxPictureBytes + 8 * 1024 * 1024;
constexpr int kReadCallBudget = 1024;

class BoundedStream : public TagLib::FileStream {
  public:
    explicit BoundedStream(const char *path) : TagLib::FileStream(path, true) {}

    TagLib::ByteVector readBlock(unsigned long length) override {
        const unsigned long allowed = calls_ > 0 ? std::min(length, budget_) : 0;
        budget_ -= allowed;
        --calls_;
        return allowed == 0 ? TagLib::ByteVector() : TagLib::FileStream::readBlock(allowed);
    }

  private:
    unsigned long budget_ = kReadBudget;
    int calls_ = kReadCallBudget;
};

// Cut at kMaxTagTextBytes where a UTF-8 character ends.
std::string Bounded(std::string text) {
    if (text.size() <= kMaxTagTextBytes) return text;
    std::size_t cut = kMaxTagTextBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text;
}

std::string Utf8Of(const TagLib::String &text, bool mayBeCp1251) {
    if (text.isEmpty()) return {};
    std::string out;
    if (mayBeCp1251 && text.isLatin1()) {
        const std::string bytes = text.to8Bit(false);
        out = LooksLikeCp1251Cyrillic(bytes) ? Cp1251ToUtf8(bytes) : text.to8Bit(true);
    } else {
        out = text.to8Bit(true);
    }
    // Blanks that pad fixed-size fields (ID3v1) or end a value show as nothing.
    while (!out.empty() && (out.back() == ' ' || out.back() == '\0'))
        out.pop_back();
    return Bounded(Utf8WithReplacements(out));
}

void TakeMissing(TrackTags &tags, const std::string &title, const std::string &artist,
                 const std::string &album, unsigned int number) {
    if (tags.title.empty()) tags.title = title;
    if (tags.artist.empty()) tags.artist = artist;
    if (tags.album.empty()) tags.album = album;
    if (tags.trackNumber == 0 && number > 0 && number < 100000)
        tags.trackNumber = static_cast<int>(number);
}

// A tag whose every text is what it says (UTF-8, UTF-16, or Latin-1 meant as Latin-1).
void TakeFrom(TrackTags &tags, TagLib::Tag *tag, bool mayBeCp1251 = false) {
    if (tag == nullptr) return;
    TakeMissing(tags, Utf8Of(tag->title(), mayBeCp1251), Utf8Of(tag->artist(), mayBeCp1251),
                Utf8Of(tag->album(), mayBeCp1251), tag->track());
}

// ID3v2 says per frame how its text is encoded: only Latin-1 frames may be Windows-1251.
std::string Id3v2Text(TagLib::ID3v2::Tag *tag, const char *frameId) {
    const TagLib::ID3v2::FrameList &frames = tag->frameListMap()[frameId];
    if (frames.isEmpty()) return {};
    const auto *text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame *>(frames.front());
    if (text == nullptr) return Utf8Of(frames.front()->toString(), false);
    return Utf8Of(text->toString(), text->textEncoding() == TagLib::String::Latin1);
}

void TakePicture(TrackTags &tags, const TagLib::ByteVector &data) {
    if (!tags.picture.empty() || data.isEmpty() || data.size() > kMaxPictureBytes) return;
    std::string bytes(data.data(), data.size());
    std::string extension = PictureExtension(bytes);
    if (extension.empty()) return;
    tags.picture = std::move(bytes);
    tags.pictureExtension = std::move(extension);
}

void TakeFromId3v2(TrackTags &tags, TagLib::ID3v2::Tag *tag) {
    if (tag == nullptr) return;
    TakeMissing(tags, Id3v2Text(tag, "TIT2"), Id3v2Text(tag, "TPE1"), Id3v2Text(tag, "TALB"),
                tag->track());
    // The front cover, else the first picture.
    const TagLib::ID3v2::FrameList &frames = tag->frameListMap()["APIC"];
    const TagLib::ID3v2::AttachedPictureFrame *first = nullptr, *front = nullptr;
    for (const TagLib::ID3v2::Frame *frame : frames) {
        const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame);
        if (picture == nullptr) continue;
        if (first == nullptr) first = picture;
        if (front == nullptr && picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
            front = picture;
    }
    if (front != nullptr) TakePicture(tags, front->picture());
    if (first != nullptr) TakePicture(tags, first->picture());
}

void TakeFromApe(TrackTags &tags, TagLib::APE::Tag *tag) {
    if (tag == nullptr) return;
    TakeFrom(tags, tag);
    const TagLib::APE::ItemListMap &items = tag->itemListMap();
    const auto cover = items.find("COVER ART (FRONT)");
    if (cover == items.end()) return;
    // A file name, a zero byte, then the picture.
    const TagLib::ByteVector data = cover->second.binaryData();
    const int zero = data.find('\0');
    if (zero >= 0) TakePicture(tags, data.mid(static_cast<unsigned int>(zero) + 1));
}

void TakeFromXiph(TrackTags &tags, TagLib::Ogg::XiphComment *comment) {
    if (comment == nullptr) return;
    TakeFrom(tags, comment);
    for (const TagLib::FLAC::Picture *picture : comment->pictureList())
        if (picture->type() == TagLib::FLAC::Picture::FrontCover)
            TakePicture(tags, picture->data());
    for (const TagLib::FLAC::Picture *picture : comment->pictureList())
        TakePicture(tags, picture->data());
}

void TakeFromMp4(TrackTags &tags, TagLib::MP4::Tag *tag) {
    if (tag == nullptr) return;
    TakeFrom(tags, tag);
    if (!tag->contains("covr")) return;
    for (const TagLib::MP4::CoverArt &cover : tag->item("covr").toCoverArtList())
        TakePicture(tags, cover.data());
}

void TakeFromAsf(TrackTags &tags, TagLib::ASF::Tag *tag) {
    if (tag == nullptr) return;
    TakeFrom(tags, tag);
    if (!tag->contains("WM/Picture")) return;
    for (const TagLib::ASF::Attribute &attribute : tag->attribute("WM/Picture"))
        TakePicture(tags, attribute.toPicture().picture());
}

// By the kind of file TagLib took it for; the order of each is the order of precedence.
void ReadKnownFile(TrackTags &tags, TagLib::File *file) {
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        TakeFromId3v2(tags, mpeg->ID3v2Tag());
        TakeFromApe(tags, mpeg->APETag());
        TakeFrom(tags, mpeg->ID3v1Tag(), true);
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        TakeFromId3v2(tags, flac->ID3v2Tag());
        TakeFromXiph(tags, flac->xiphComment());
        for (const TagLib::FLAC::Picture *picture : flac->pictureList())
            if (picture->type() == TagLib::FLAC::Picture::FrontCover)
                TakePicture(tags, picture->data());
        for (const TagLib::FLAC::Picture *picture : flac->pictureList())
            TakePicture(tags, picture->data());
        TakeFrom(tags, flac->ID3v1Tag(), true);
    } else if (auto *vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File *>(file)) {
        TakeFromXiph(tags, vorbis->tag());
    } else if (auto *opus = dynamic_cast<TagLib::Ogg::Opus::File *>(file)) {
        TakeFromXiph(tags, opus->tag());
    } else if (auto *oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File *>(file)) {
        TakeFromXiph(tags, oggFlac->tag());
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        TakeFromMp4(tags, mp4->tag());
    } else if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file)) {
        TakeFromAsf(tags, asf->tag());
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file)) {
        TakeFromId3v2(tags, wav->ID3v2Tag());
        TakeFrom(tags, wav->InfoTag(), true);
    } else if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file)) {
        TakeFromId3v2(tags, aiff->tag());
    } else if (auto *ape = dynamic_cast<TagLib::APE::File *>(file)) {
        TakeFromApe(tags, ape->APETag());
        TakeFrom(tags, ape->ID3v1Tag(), true);
    } else if (auto *wavPack = dynamic_cast<TagLib::WavPack::File *>(file)) {
        TakeFromApe(tags, wavPack->APETag());
        TakeFrom(tags, wavPack->ID3v1Tag(), true);
    } else {
        TakeFrom(tags, file->tag());
    }
}

}  // namespace

std::string PictureExtension(const std::string &bytes) {
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0) return "jpg";
    if (bytes.size() >= 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0) return "png";
    return {};
}

TrackTags ReadTrackTags(const std::string &path) {
    TrackTags tags;
    // Only a regular file: opening a pipe or a device would wait or do something.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return tags;
    try {
        BoundedStream stream(path.c_str());
        if (!stream.isOpen()) return tags;
        // The audio properties are the engine's to know; reading them would cost a scan.
        const TagLib::FileRef ref(&stream, false);
        if (ref.isNull()) return tags;
        ReadKnownFile(tags, ref.file());
    } catch (const std::bad_alloc &) {
        tags = TrackTags{};
    }
    return tags;
}
