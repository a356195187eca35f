// The disc and ring shapes with which highlights are measured; a shape's parameter points at its
// radius (a double).
#pragma once
#include "shapes/Shape.h"

bool GenerateDiscSubShape(Shape* shape, int phaseX, int phaseY);
bool GenerateRingSubShape(Shape* shape, int phaseX, int phaseY);
