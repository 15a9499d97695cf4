// The application settings record now lives in the core.
#include "config/UConfig.h"
