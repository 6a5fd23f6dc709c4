// A decoder read to its end, the way the tests that compare decoded sound need it.
#pragma once

#include <vector>

#include "decoder.h"

// Every interleaved stereo sample the decoder gives from where it stands to its end.
inline std::vector<float> DecodeAll(engine::Decoder &decoder) {
    std::vector<float> all;
    std::vector<float> chunk(4096 * 2);
    int count;
    while ((count = decoder.Read(chunk.data(), 4096)) > 0)
        all.insert(all.end(), chunk.begin(), chunk.begin() + count * 2);
    return all;
}
