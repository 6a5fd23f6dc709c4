// See station_playlist.h.
#include "station_playlist.h"

#include <algorithm>
#include <cstring>

#include "audio_engine.h"
#include "ffmpeg_handles.h"
#include "ffmpeg_io.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

namespace engine {
namespace {

// Entries taken from one playlist, and addresses tried in all for one station: nested
// playlists of dead entries cost a bounded number of connections, not one per entry of each.
constexpr std::size_t kMaxEntries = 32;
constexpr std::size_t kMaxAddressesTried = 64;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Lines(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        lines.push_back(Trim(text.substr(0, end)));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool IsStationScheme(std::string_view address) {
    return StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://");
}

// The path of an address without its query or fragment, for its extension.
std::string_view AddressPath(std::string_view url) {
    return url.substr(0, url.find_first_of("?#"));
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// An entry as an absolute http(s) address; empty for anything else (a local path, another
// scheme), which a station list must never reach.
std::string Resolve(std::string_view entry, const std::string &base) {
    if (entry.empty() || entry.size() > 4096) return {};
    if (IsStationScheme(entry)) return std::string(entry);
    if (entry.find("://") != std::string_view::npos || entry.find(':') < entry.find('/'))
        return {};  // another scheme
    const std::size_t scheme_end = base.find("://");
    if (scheme_end == std::string::npos) return {};
    const std::size_t host_end = base.find_first_of("/?#", scheme_end + 3);
    const std::string origin = base.substr(0, host_end);
    if (entry.starts_with("//")) return base.substr(0, scheme_end + 1) + std::string(entry);
    if (entry.front() == '/') return origin + std::string(entry);
    const std::string_view path = AddressPath(base);
    const std::size_t slash = path.rfind('/');
    if (host_end == std::string::npos || slash == std::string_view::npos || slash < host_end)
        return origin + "/" + std::string(entry);
    return std::string(path.substr(0, slash + 1)) + std::string(entry);
}

bool IsPlaylistType(std::string_view type) {
    type = type.substr(0, type.find(';'));
    type = Trim(type);
    for (std::string_view known :
         {"audio/x-scpls", "application/pls+xml", "audio/scpls", "audio/x-mpegurl", "audio/mpegurl",
          "application/x-mpegurl", "application/vnd.apple.mpegurl", "audio/x-mpequrl"})
        if (EqualsNoCase(type, known)) return true;
    return false;
}

// [playlist] with FileN=address lines, in the order of N as they appear.
std::vector<std::string> PlsEntries(const std::vector<std::string_view> &lines,
                                    const std::string &base) {
    std::vector<std::string> entries;
    for (std::string_view line : lines) {
        if (!StartsWithNoCase(line, "file")) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string address = Resolve(Trim(line.substr(equals + 1)), base);
        if (!address.empty()) entries.push_back(std::move(address));
        if (entries.size() == kMaxEntries) break;
    }
    return entries;
}

// One address a line; lines starting with "#" are comments or extended information.
std::vector<std::string> M3uEntries(const std::vector<std::string_view> &lines,
                                    const std::string &base) {
    std::vector<std::string> entries;
    for (std::string_view line : lines) {
        if (line.empty() || line.front() == '#') continue;
        std::string address = Resolve(line, base);
        if (!address.empty()) entries.push_back(std::move(address));
        if (entries.size() == kMaxEntries) break;
    }
    return entries;
}

// Up to kMaxPlaylistBytes of the address and its content type; false when it cannot be read.
bool Fetch(const std::string &url, CancelToken *token, std::string *body,
           std::string *content_type) {
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", kStationProtocols, 0);
    AddStationConnectionOptions(&options);
    av_dict_set(&options, "icy", "0", 0);  // a playlist has no metadata blocks to strip
    const AVIOInterruptCB interrupt{InterruptCallback, token};
    AVIOContext *raw = nullptr;
    const int opened = avio_open2(&raw, url.c_str(), AVIO_FLAG_READ, &interrupt, &options);
    av_dict_free(&options);
    if (opened < 0 || !raw) return false;
    AvioPtr io(raw);
    std::uint8_t *type = nullptr;
    if (av_opt_get(io.get(), "mime_type", AV_OPT_SEARCH_CHILDREN, &type) >= 0 && type) {
        *content_type = reinterpret_cast<const char *>(type);
        av_free(type);
    }
    body->assign(kMaxPlaylistBytes, '\0');
    std::size_t got = 0;
    while (got < kMaxPlaylistBytes && !token->Expired()) {
        const int n = avio_read(io.get(), reinterpret_cast<unsigned char *>(body->data() + got),
                                static_cast<int>(kMaxPlaylistBytes - got));
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    body->resize(got);
    return got > 0;
}

std::unique_ptr<Decoder> OpenAtDepth(const std::string &url, CancelToken *token, int depth,
                                     std::vector<std::string> *visited, int *error);

std::unique_ptr<Decoder> TryEntries(const std::vector<std::string> &entries, CancelToken *token,
                                    int *error, int depth, std::vector<std::string> *visited) {
    for (const std::string &entry : entries) {
        if (token->Expired() || visited->size() >= kMaxAddressesTried) break;
        // A playlist that points at itself, or two that point at each other, end here.
        if (std::find(visited->begin(), visited->end(), entry) != visited->end()) continue;
        if (auto decoder = OpenAtDepth(entry, token, depth + 1, visited, error)) return decoder;
    }
    return nullptr;
}

// Addresses named like playlists are read as playlists first; any other is opened as a stream,
// and read as a playlist only when what it answers is no audio: a station costs no extra
// connection, and a dead one no second try.
// error: why the address (or the last entry tried) does not play, a BASS_ERROR_* code.
std::unique_ptr<Decoder> OpenAtDepth(const std::string &url, CancelToken *token, int depth,
                                     std::vector<std::string> *visited, int *error) {
    visited->push_back(url);
    const std::string_view path = AddressPath(url);
    const bool named_playlist = EndsWithNoCase(path, ".pls") || EndsWithNoCase(path, ".m3u");
    if (!named_playlist) {
        if (auto decoder = OpenUrlDecoder(url, token, error)) return decoder;
        // Only an answer that is no audio can be a playlist; an address that does not
        // answer, or answers with an error, is not asked again.
        if (*error != BASS_ERROR_FILEFORM) return nullptr;
    }
    if (token->Expired()) return nullptr;
    std::string body, content_type;
    if (!Fetch(url, token, &body, &content_type)) {
        // A stream keeps the reason its own opening met.
        if (named_playlist) *error = token->Expired() ? BASS_ERROR_TIMEOUT : BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    // An address named .m3u is taken at its word, whatever type its server gives it.
    if (EndsWithNoCase(path, ".m3u") && !IsPlaylistType(content_type))
        content_type = "audio/x-mpegurl";
    const std::vector<std::string> entries = PlaylistEntries(body, content_type, url);
    if (!entries.empty()) {
        if (depth >= kMaxPlaylistDepth) {
            *error = BASS_ERROR_FILEFORM;
            return nullptr;
        }
        return TryEntries(entries, token, error, depth, visited);
    }
    // A stream whose address merely ends like a playlist.
    return named_playlist && !token->Expired() ? OpenUrlDecoder(url, token, error) : nullptr;
}

}  // namespace

std::vector<std::string> PlaylistEntries(std::string_view text, std::string_view content_type,
                                         const std::string &base) {
    if (text.size() > kMaxPlaylistBytes) text = text.substr(0, kMaxPlaylistBytes);
    // Text only: a stream's bytes are never taken for addresses.
    if (text.find('\0') != std::string_view::npos) return {};
    const std::vector<std::string_view> lines = Lines(text);
    auto first = std::find_if(lines.begin(), lines.end(),
                              [](std::string_view line) { return !line.empty(); });
    if (first == lines.end()) return {};
    if (EqualsNoCase(*first, "[playlist]")) return PlsEntries(lines, base);
    // HLS is FFmpeg's: its segments are no stations of their own.
    if (text.find("#EXT-X-") != std::string_view::npos) return {};
    if (StartsWithNoCase(*first, "#EXTM3U") || IsPlaylistType(content_type))
        return M3uEntries(lines, base);
    // A plain .m3u served as text or octets: every line an address or a comment.
    const bool all_addresses = std::all_of(lines.begin(), lines.end(), [](std::string_view line) {
        return line.empty() || line.front() == '#' || IsStationScheme(line);
    });
    return all_addresses ? M3uEntries(lines, base) : std::vector<std::string>{};
}

std::unique_ptr<Decoder> OpenStationAddress(const std::string &url, CancelToken *token,
                                            int *error) {
    int unused = BASS_ERROR_TIMEOUT;
    if (!error) error = &unused;
    *error = BASS_ERROR_TIMEOUT;
    std::vector<std::string> visited;
    return OpenAtDepth(url, token, 0, &visited, error);
}

}  // namespace engine
