// Where the desktop finds a track's cover: the picture in the file, written once into the
// player's cache folder, else a cover file beside the track.
#pragma once

#include <cstddef>
#include <string>

#include "track_tags.h"

// Covers kept in the cache folder; the oldest beyond these go when a new one is written.
inline constexpr std::size_t kMaxCachedCovers = 64;

// The cache folder from XDG_CACHE_HOME and HOME ($XDG_CACHE_HOME/volnar/, with its "/");
// empty when neither gives an absolute folder.
std::string CoverCacheFolder();
// A picture of the folder (with its "/") named cover, folder or front (any case of those
// spellings, .jpg, .jpeg or .png) that is a regular file; empty when there is none. Looks
// for a fixed set of names: a folder of thousands of files is not listed.
std::string FolderCoverFile(const std::string &folder);
// The file of the track's cover, for a file:// address: the tags' picture in cacheFolder
// (named by its bytes, handed to the background writer only when not there already), else
// FolderCoverFile of the track's folder; empty when there is none.
std::string CoverFileFor(const TrackTags &tags, const std::string &trackPath,
                         const std::string &cacheFolder);
