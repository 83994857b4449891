#pragma once

// Allowed: compare/ builds on text/.
#include "text/planted.h"
