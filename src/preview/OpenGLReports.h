// The title of the preview's context, GLEW and hidden-window failure reports, which go to the
// debug log only.
#pragma once

constexpr const char kTitleContextUnexpectedError[] = "Debug - Unexpected Error";
