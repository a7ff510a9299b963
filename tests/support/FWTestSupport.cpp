// Header-only for now; the library needs one translation unit.
#include "FWTestSupport.h"
