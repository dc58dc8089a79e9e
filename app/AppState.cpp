#include "AppState.h"

AppState app;
