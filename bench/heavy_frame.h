// heavy_frame.h: the car scene's heaviest picture, for the benchmark programs that redraw it as
// a program would.
#pragma once

// Draws the heaviest picture of the car scene with the scene's own painting: three skies, the
// landscape, the button panel, nine cars, the ferry and the traffic light, about 180
// primitives, with the sun, the cars and the ferry moved on by the frame number.
void draw_heaviest_frame(int frame);
