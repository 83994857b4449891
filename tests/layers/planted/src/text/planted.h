#pragma once

// A reach upward that the layer check must refuse: text/ lies below compare/.
#include "compare/planted.h"
