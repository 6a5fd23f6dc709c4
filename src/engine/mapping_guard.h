// A file mapping that survives its file shrinking. Reading a mapped page that lies wholly
// past the file's end raises SIGBUS, which would end the player: a tag editor or a download
// that rewrites a file while it is being opened, or a network share that goes away, does
// that. While a MappingGuard lives, such a fault inside its range puts a page of zeros in
// place of the lost one and is noted; faults anywhere else go where they went before.
#pragma once

#include <cstddef>

namespace engine {

class MappingGuard {
  public:
    MappingGuard(const void *begin, std::size_t size);
    ~MappingGuard();
    MappingGuard(const MappingGuard &) = delete;
    MappingGuard &operator=(const MappingGuard &) = delete;

    // False when no guard could be set up (too many at once); the mapping must then not
    // be read.
    bool Active() const { return slot_ >= 0; }
    // True once a read of the range has found its file shorter than when it was mapped.
    bool Faulted() const;

  private:
    int slot_ = -1;
};

}  // namespace engine
