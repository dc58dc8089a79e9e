#include "AppState.h"

AppState app;

void InitAppState() {
    app.dwmPolicyValue = TRUE;
    app.warningSeconds = 60;
}
