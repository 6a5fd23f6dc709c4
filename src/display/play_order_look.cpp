#include "play_order_look.h"

#include <cstdint>

#include "control_numbers.h"
#include "info_notice.h"
#include "player_state.h"
#include "widgets.h"

void ShowPlayOrder() {
    const int repeatImage = g.repeat == 1   ? kRepeatLitImage
                            : g.repeat == 2 ? kRepeatOneLitImage
                                            : 0;
    SetControlValue(kRepeatCaption,
                    static_cast<std::intptr_t>(repeatImage ? NativeImageHandle(repeatImage) : 0));
    SetControlValue(kShuffleCaption, static_cast<std::intptr_t>(
                                         g.shuffle == 1 ? NativeImageHandle(kShuffleLitImage) : 0));
}

void ShowRepeatChange() {
    ShowPlayOrder();
    ShowInfoNotice(g.repeat == 1   ? "Повтор: весь список"
                   : g.repeat == 2 ? "Повтор: один трек"
                                   : "Повтор выключен");
}

void ShowShuffleChange() {
    ShowPlayOrder();
    ShowInfoNotice(g.shuffle == 1 ? "Перемешивание включено" : "Перемешивание выключено");
}
