#include "skin_resources.h"

void RegisterEmbeddedFonts() {}
void LoadSkinImages() {}
