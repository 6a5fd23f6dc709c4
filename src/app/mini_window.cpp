// The mini window: its skin, scrolling line, exit mark, volume number and volume bar.
#include "control_numbers.h"
#include "widgets.h"
#include "window_layout.h"

void BuildMiniWindow() {
    SetWindowBackgroundImage(NativeWindowHandle(kMiniWindow), NativeImageHandle(kMiniSkinImage));
    SetWindowSeeThroughImage(NativeWindowHandle(kMiniWindow),
                             NativeImageHandle(kMiniSkinSeeThroughImage));
    CreateImageControl(kMiniMarqueeStrip, 12, 14, 0, 0, NativeImageHandle(kMiniMarqueeImage));

    CreateFontInSlot(kMiniExitFont, "Arial", 7, 0);
    CreateLinkLabel(kMiniExit, 217, 1, 7, 7, "*", RGB(206, 2, 4));
    SetControlColour(kMiniExit, kTextColour, RGB(18, 18, 18));
    // The link draws its text itself in the colour set above (or the hover colour), so the
    // default text colour here changes nothing; the transparent back lets the skin show.
    SetControlColours(kMiniExit, kDefaultColour, kTransparentColour);
    SetControlFont(kMiniExit, NativeFontHandle(kMiniExitFont));

    CreateFontInSlot(kMiniVolumeFont, "Tahoma", 7, 0);
    CreateTextLabel(kMiniVolumeLabel, 207, 35, 15, 10, "50", 0);
    SetControlColour(kMiniVolumeLabel, kBackColour, RGB(24, 24, 24));
    SetControlColour(kMiniVolumeLabel, kTextColour, RGB(158, 157, 132));
    SetControlFont(kMiniVolumeLabel, NativeFontHandle(kMiniVolumeFont));

    CreateImageControl(kMiniVolumeBar, 100, 37, 0, 0, NativeImageHandle(kMiniVolumeImage));
}
