// A colour profile as the image records carry it: an opaque handle that only the colour module
// opens, reads and closes.
#pragma once

typedef void* ColorProfile;  // a Little CMS profile handle
