// How the player shows its play order: the REPEAT and SHUFFLE captions under the clock lit
// while on, and what a change made of them named for a moment in the information line.
#pragma once

// Lights the captions as repeat and shuffle are now.
void ShowPlayOrder();
// The same after the user changed repeat or shuffle: the new setting's name stands in the
// information line for two seconds ("Повтор: весь список", "Перемешивание включено", ...).
void ShowRepeatChange();
void ShowShuffleChange();
