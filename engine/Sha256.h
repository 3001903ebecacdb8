// SHA-256 is the system's, wrapped in the framework; the engine's files name it here.
#pragma once

#include "framework/Sha256.h"
