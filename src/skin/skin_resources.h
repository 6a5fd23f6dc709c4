// The skin carried inside the executable: the PNG images and two TrueType fonts; and
// the program's icon.
#pragma once

// Makes the embedded fonts "MicroTech" and "Digital-7" usable by this process only.
void RegisterEmbeddedFonts();
// Creates the blank drawing images and decodes the embedded images into their slots.
void LoadSkinImages();
// Gives every window the program's icon, in each embedded size.
void SetEmbeddedProgramIcon();
