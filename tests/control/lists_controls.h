// The controls of the media lists as the player builds them: window 0 with the track panel
// (list 13 and the hidden folder label 12) and the station panel (list 14).
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

class ListControlsTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// Every item of a list control, read by selecting each in turn; the selection is restored.
std::vector<std::string> ListItems(int control);
