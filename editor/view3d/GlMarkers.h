#pragma once
// The wire cube and wire sphere markers of the 3D view, drawn by freeglut (initialised once,
// on first use: only the GUI draws them).
namespace lithoscope {

void DrawWireCube(double size);
void DrawWireSphere(double radius, int slices, int stacks);

}  // namespace lithoscope
