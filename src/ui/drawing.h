// What the drawing code shares with the rest of the image and font half of the layer.
#pragma once

// Ends any drawing and drops the fonts the drawing code keeps, while the application object
// still exists (part of releasing the layer's images and fonts).
void ReleaseDrawingState();

// Forgets the text widths measured so far: a newly registered font can change how a face
// already measured resolves.
void ForgetMeasuredTexts();
