#include "project/BuildHooks.h"

BuildHooks* buildHooks = nullptr;
