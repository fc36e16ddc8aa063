#pragma once
// Moved to tests/support so that every area's tests can share it.
#include "support/temp_dir.h"
