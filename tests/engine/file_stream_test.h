// A fixture for tests of file streams: the engine started once, a scratch folder, and every
// stream the test made freed after it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio_engine.h"
#include "test_media.h"

class FileStreamTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BASS_Init(-1, 44100, 0, nullptr, nullptr); }
    void TearDown() override {
        for (HSTREAM handle : created_)
            BASS_StreamFree(handle);
    }
    // A stream of the file (0 when it does not open), freed after the test.
    HSTREAM Create(const std::string &path) {
        HSTREAM handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
        if (handle) created_.push_back(handle);
        return handle;
    }

    testmedia::TempDir dir_;
    std::vector<HSTREAM> created_;
};
