// The window's listing tests reach the shared simulated-camera helpers through this name.
#pragma once

#include "support/simulated_camera.h"
