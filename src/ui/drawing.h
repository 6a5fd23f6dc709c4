// What the drawing code shares with the slot tables of the layer.
#pragma once

// Ends any drawing and drops the fonts the drawing code keeps, while the application object
// still exists (part of releasing the layer's images and fonts).
void ReleaseDrawingState();
