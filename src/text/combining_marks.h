// Which code points are combining marks (Unicode categories Mn, Me, Mc): they belong to the
// character before them, so a text is never cut between the two.
#pragma once

bool IsCombiningMark(char32_t cp);
