#pragma once

#include <QByteArray>
#include <QRect>

// Reads what a video player shows on the X server's screen: whether there is a picture, a
// sample that changes with every frame of a moving picture, and the box simulator's key marker
// (tools/boxsim/README.md): the benchmarks see a key command reach the screen without reading text.
namespace TAVO_test_screenVideo {

// Where the simulator draws the key marker in its 1280 × 720 picture: four slots side by side
// from x = markerLeft, the middle of the block at y = markerMiddleY.
constexpr int markerSlots = 4;
constexpr int markerLeft = 1000;
constexpr int markerSlotWidth = 58;
constexpr int markerMiddleY = 97;

// Where the simulator draws a picture's frame number ("streamFrameNumber"): a row of
// frameNumberBlocks squares from (frameNumberLeft, frameNumberTop), block k < frameNumberBits
// white for bit k of the number, the last white when an even number of the others are.
constexpr int frameNumberBits = 16;
constexpr int frameNumberBlocks = frameNumberBits + 1;
constexpr int frameNumberLeft = 48;
constexpr int frameNumberTop = 48;
constexpr int frameNumberBlockSize = 48;

// The part of a player's area that the box's 16:9 picture fills, the bars around it left out.
QRect pictureRect(const QRect &area);
// Grey values of every 8th pixel of every 8th row of the area: equal for equal pictures.
QByteArray sample(const QRect &area);
// True when most of a sample is lit: a picture, not the black of a player without one.
bool isPicture(const QByteArray &sample);
// The key marker's lit slot in the picture at `picture` (screen coordinates, see
// pictureRect()), or -1 while no single slot is lit.
int markerSlot(const QRect &picture);
// The number that the grey values of the frame number's blocks, in order, read; -1 for none
// (a grey between black and white, as two pictures blended, or the parity wrong).
int frameNumberOf(const QByteArray &blockGreys);
// The frame number shown in the picture at `picture` (screen coordinates), or -1.
int frameNumber(const QRect &picture);

} // namespace TAVO_test_screenVideo
