#pragma once

// The program's resources by number, for the resource script and the code
// alike: the resource compiler reads the preprocessor only.
#define CLASS_ICON_ID 107
#define SMALL_ICON_ID 108
